// Incoming frames dispatched by a connection with calls outstanding: replies
// gathered into their calls, error replies, requests and signals (held back
// while calls are pending). The real connection is compared, event by event,
// with a plain model of the dispatch rules.

#include "fuzzcheck.h"

#include "link/rpcasynccall.h"
#include "link/rpcconnection.h"
#include "link/rpcmessage.h"
#include "link/tcommand.h"


#include <map>
#include <string>
#include <vector>

namespace {

struct Event
{
    enum Kind { Received, Error, Completed } kind;
    qint32 id = 0;
    quint32 type = 0;      // Received: message type; Completed: RpcAsyncCall state
    int code = 0;          // Error: error code; Completed: call's errorCode
    std::uint32_t verb = 0;
    TCommand::ParamMap params;

    bool operator==(const Event& o) const
    {
        return kind == o.kind && id == o.id && type == o.type && code == o.code && verb == o.verb
               && params == o.params;
    }
};

struct ModelCall
{
    bool hasRecord = true;
    bool list = false;
    std::uint32_t verb = 0;
    TCommand::ParamMap params;
};

void setParam(TCommand::ParamMap& params, const std::string& key, const std::string& value, bool append,
              char separator)
{
    auto it = params.find(key);
    if (it == params.end())
        params.emplace(key, value);
    else if (append)
        it->second = it->second.empty() ? value : it->second + separator + value;
}

class Model
{
public:
    bool deferSignals = false;
    std::map<quint32, ModelCall> pending;
    std::vector<Event> deferred;
    std::vector<Event> events;

    void frame(qint32 id, quint32 type, qint32 errorCode, const std::string& body)
    {
        if (type == RpcMessage::Request || type == RpcMessage::Signal) {
            TCommand command;
            if (body.empty() || TCommand::parse(body, command) != 0) {
                error(RpcConnection::BadMessageError);
            } else {
                Event e{Event::Received, id, type, 0, command.verb, command.params};
                if (type == RpcMessage::Signal && deferSignals && !pending.empty())
                    deferred.push_back(e);
                else
                    events.push_back(e);
            }
        } else if (type == RpcMessage::Reply || type == RpcMessage::ErrorReply) {
            reply(id, type == RpcMessage::ErrorReply, errorCode, body);
        } else {
            error(RpcConnection::UnknownTypeError);
        }
        if (pending.empty()) {
            events.insert(events.end(), deferred.begin(), deferred.end());
            deferred.clear();
        }
    }

private:
    void error(int code) { events.push_back({Event::Error, 0, 0, code, 0, {}}); }
    void completed(qint32 id, const ModelCall& call)
    {
        events.push_back({Event::Completed, id, RpcAsyncCall::Succeeded, 0, call.verb, call.params});
    }
    void failed(qint32 id, int code)
    {
        events.push_back({Event::Completed, id, RpcAsyncCall::Failed, code, 0, {}});
    }

    void reply(qint32 id, bool errorReply, qint32 errorCode, const std::string& body)
    {
        auto it = pending.find(quint32(id));
        if (it == pending.end())
            return;
        ModelCall call = it->second;
        pending.erase(it);
        if (!call.hasRecord) {
            error(RpcConnection::InvalidCallError);
            return;
        }
        if (errorReply) {
            // A zero code would read as success.
            if (errorCode == 0) {
                failed(id, RpcConnection::BadMessageError);
                error(RpcConnection::BadMessageError);
            } else {
                failed(id, errorCode);
            }
            return;
        }
        TCommand reply;
        if (body.empty() || TCommand::parse(body, reply) != 0) {
            failed(id, RpcConnection::BadMessageError);
            error(RpcConnection::BadMessageError);
            return;
        }
        const std::string outcome = reply.params.count("return") ? reply.params["return"] : "";
        const bool ext = reply.params.count("returnFmt") && reply.params["returnFmt"] == "EXT";
        const char separator = ext ? '\x1d' : ',';
        if (outcome == "PROGRESS" || outcome == "OK") {
            if (outcome == "PROGRESS") {
                reply.params.erase("return");
                reply.params.erase("returnFmt");
            } else {
                call.verb = reply.verb;
            }
            for (const auto& [key, value] : reply.params)
                setParam(call.params, key, value, call.list, separator);
            if (outcome == "PROGRESS")
                pending[quint32(id)] = call;
            else
                completed(id, call);
            return;
        }
        if (outcome == "ERROR") {
            call.verb = reply.verb;
            reply.params.erase("return");
            // An ERROR that names nothing stays a refusal.
            bool realError = reply.params.empty();
            for (const auto& [key, value] : reply.params) {
                const bool notSet = value == "101-parameter not set";
                realError = realError || !notSet;
                setParam(call.params, key, notSet ? std::string() : value, false, ',');
            }
            call.params["return"] = realError ? "ERROR" : "OK";
            completed(id, call);
            return;
        }
        failed(id, RpcConnection::BadMessageError);
        error(RpcConnection::BadMessageError);
    }
};

class Probe : public RpcConnection
{
public:
    Probe()
    {
        QObject::connect(this, &RpcConnection::messageReceived, [this](const RpcMessage& m) {
            events.push_back({Event::Received, m.id(), m.type(), 0, m.command().verb, m.command().params});
        });
        QObject::connect(this, &RpcConnection::errorOccurred, [this](RpcConnection::ConnectionError e) {
            events.push_back({Event::Error, 0, 0, int(e), 0, {}});
        });
        QObject::connect(this, &RpcConnection::messageCompleted, [this](const RpcMessage&) {
            // The message alone does not tell which call; the record does.
            completions.push_back(events.size());
            events.push_back({Event::Completed, 0, 0, 0, 0, {}});
        });
    }

    void setDefer(bool on) { m_deferSignals = on; }
    void addCall(quint32 id, int kind)
    {
        if (kind > int(RpcAsyncCall::UntargetedCall)) {
            m_pendingCalls.insert(id, RpcAsyncCall());  // an entry without record
            return;
        }
        RpcAsyncCall call = RpcAsyncCall::create(qint32(id));
        call.data()->kind = quint32(kind);
        m_pendingCalls.insert(id, call);
        calls.push_back(call);
    }
    void feed(const std::string& bytes) { m_reader.feed(bytes.data(), quint32(bytes.size())); }
    bool isPending(quint32 id) const { return m_pendingCalls.contains(id); }

    std::vector<Event> events;
    std::vector<std::size_t> completions;
    std::vector<RpcAsyncCall> calls;
};

std::string frameBytes(qint32 id, quint32 type, qint32 errorCode, const std::string& body)
{
    std::string out(rpcFrameMagic, 8);
    for (quint32 word : {quint32(24 + body.size()), quint32(id), type, quint32(errorCode)})
        for (int i = 0; i < 4; ++i)
            out += char((word >> (8 * i)) & 0xff);
    return out + body;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt("fuzz_dispatch");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t flags = input.byte();
    const int callCount = (flags >> 1) & 7;

    Probe probe;
    Model model;
    probe.setDefer(flags & 1);
    model.deferSignals = flags & 1;
    for (int i = 0; i < callCount; ++i) {
        const int kind = input.byte() % 6;
        probe.addCall(quint32(i + 1), kind);
        ModelCall call;
        call.hasRecord = kind <= int(RpcAsyncCall::UntargetedCall);
        call.list = kind == int(RpcAsyncCall::ListCall);
        model.pending[quint32(i + 1)] = call;
    }

    std::string stream;
    while (!input.empty()) {
        const quint32 type = input.byte() % 6;
        const qint32 id = qint32(input.byte() % 9);
        const qint32 errorCode = qint8(input.byte());
        const std::string body = input.text();
        stream += frameBytes(id, type, errorCode, body);
        model.frame(id, type, errorCode, body);
    }
    probe.feed(stream);

    // Fill in which call each completion belonged to, in the model's order.
    std::size_t next = 0;
    for (std::size_t at : probe.completions) {
        while (next < model.events.size() && model.events[next].kind != Event::Completed)
            ++next;
        FUZZ_CHECK(next < model.events.size());
        const qint32 id = model.events[next].id;
        ++next;
        const RpcAsyncCall* call = nullptr;
        for (const RpcAsyncCall& c : probe.calls)
            if (c.id() == id)
                call = &c;
        FUZZ_CHECK(call && call->isFinished());
        Event& e = probe.events[at];
        e.id = id;
        e.type = call->data()->state;
        e.code = call->errorCode();
        if (call->isSucceeded()) {
            e.verb = call->data()->reply.verb;
            e.params = call->data()->reply.params;
        }
    }
    FUZZ_CHECK(probe.events == model.events);

    // Every call is either still pending or finished, never both.
    for (const RpcAsyncCall& call : probe.calls) {
        const bool pending = probe.isPending(quint32(call.id()));
        FUZZ_CHECK(pending != call.isFinished());
        FUZZ_CHECK(pending == (model.pending.count(quint32(call.id())) == 1));
        if (call.isSucceeded()) {
            FUZZ_CHECK(call.errorCode() == 0);
            const std::string* outcome = call.data()->reply.param("return", false);
            FUZZ_CHECK(outcome && (*outcome == "OK" || *outcome == "ERROR"));
        }
        if (call.isFailed())
            FUZZ_CHECK(call.errorCode() != 0);
    }
    FUZZ_CHECK(probe.pendingCallCount() > 0 || probe.deferredSignalCount() == 0);
    FUZZ_CHECK(probe.deferredSignalCount() == int(model.deferred.size()));
    return 0;
}
