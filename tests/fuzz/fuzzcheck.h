#ifndef KANDELO_TESTS_FUZZ_FUZZCHECK_H
#define KANDELO_TESTS_FUZZ_FUZZCHECK_H

// Shared by every harness: a failed property aborts, so libFuzzer keeps the
// input and the corpus replay fails under CTest.

#include "link/tcommand.h"
#include "model/secretvalue.h"
#include "model/tcomcontroller.h"
#include "model/tcomrequesthelper.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition)                                                               \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (false)

namespace fuzz {

// Qt's diagnostics (the link logs every frame) would drown the fuzzer's
// output and cost most of the time; properties report through FUZZ_CHECK.
inline void silentMessageHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

// The Qt application the link's sockets and timers need, kept for the whole
// run, with the diagnostics silenced.
inline void startQt(const char* name)
{
    static int argc = 1;
    static std::string programName = name;
    static char* argv[] = {programName.data(), nullptr};
    qInstallMessageHandler(silentMessageHandler);
    new QCoreApplication(argc, argv);
}

// Consumes the input front to back; reads past the end give zeros or empty
// texts, so a harness never has to check lengths itself.
class Input
{
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    std::size_t remaining() const { return m_pos < m_size ? m_size - m_pos : 0; }

    std::uint8_t byte()
    {
        return m_pos < m_size ? m_data[m_pos++] : 0;
    }
    std::uint32_t word()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= std::uint32_t(byte()) << (8 * i);
        return value;
    }
    // A text of up to maxLength bytes, its length given by the next byte.
    std::string text(std::size_t maxLength = 255)
    {
        const std::size_t length = qMin<std::size_t>(byte() % (maxLength + 1), remaining());
        std::string out(reinterpret_cast<const char*>(m_data + m_pos), length);
        m_pos += length;
        return out;
    }
    std::string rest()
    {
        const std::size_t length = remaining();
        std::string out(reinterpret_cast<const char*>(m_data + m_pos), length);
        m_pos += length;
        return out;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// The unit as a request helper meets it: each exchange and follow-up takes
// the next reply (round again with loop), none left fails as a dropped link.
// The requests are kept for the harness to look at.
class Replies : public TComReplySource
{
public:
    explicit Replies(const std::vector<std::string>& texts = {}, bool loop = false) : loop(loop)
    {
        for (const std::string& text : texts) {
            replies.emplace_back();
            TCommand::parse(text, replies.back());
        }
    }
    int exchange(const TCommand& request, TCommand& reply, int) override
    {
        requests.push_back(request);
        return followUp(reply);
    }
    int followUp(TCommand& reply) override
    {
        if (next >= replies.size() && (!loop || replies.empty()))
            return -1;
        reply = replies[next++ % replies.size()];
        return 0;
    }

    std::vector<TCommand> replies;
    std::vector<TCommand> requests;
    std::size_t next = 0;
    bool loop;
};

// What a controller writes of keys, gathered as one reply of the unit.
inline TCommand written(TComController& controller, Replies& unit, const std::vector<std::string>& keys)
{
    unit.replies.assign(1, TCommand(TCommand::Param));
    unit.replies.front().setParam("return", "OK");
    unit.requests.clear();
    controller.writeParams(keys);
    TCommand reply(TCommand::Param);
    for (const TCommand& request : unit.requests)
        reply.params.insert(request.params.begin(), request.params.end());
    reply.setParam("return", "OK", TCommand::Replace);
    return reply;
}

// A secret's token is new each time it is made: what it stands for counts.
inline TCommand::ParamMap plain(TCommand::ParamMap values)
{
    for (auto& value : values)
        value.second = decryptSecretValue(value.second);
    return values;
}

// A key table fed a GET reply: the same reply again changes nothing, and the
// texts the controller then writes read back as themselves.
inline void checkKeyTable(TComController& controller, Replies& unit, const TCommand& reply)
{
    unit.loop = true;
    controller.requestHelper() = TComRequestHelper(&unit);
    unit.replies = {reply};
    controller.refresh();
    std::vector<std::string> keys;
    for (const TCommand& request : unit.requests)
        keys.insert(keys.end(), request.getKeys.begin(), request.getKeys.end());
    const TCommand sent = written(controller, unit, keys);
    for (const TCommand& again : {reply, sent}) {
        unit.replies = {again};
        controller.refresh();
        FUZZ_CHECK(plain(written(controller, unit, keys).params) == plain(sent.params));
    }
}

} // namespace fuzz

#endif
