#ifndef KANDELO_TESTS_FUZZ_FUZZCHECK_H
#define KANDELO_TESTS_FUZZ_FUZZCHECK_H

// Shared by every harness: a failed property aborts, so libFuzzer keeps the
// input and the corpus replay fails under CTest.

#include <QCoreApplication>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

} // namespace fuzz

#endif
