// Incoming frames dispatched by a connection with calls outstanding: replies
// gathered into their calls, error replies, requests and signals (held back
// while calls are pending). Whatever arrives, every call ends in exactly one
// consistent state and held signals never outlive the last pending call.

#include "fuzzcheck.h"

#include "link/rpcasynccall.h"
#include "link/rpcconnection.h"
#include "link/rpcmessage.h"
#include "link/tcommand.h"


#include <string>
#include <vector>

namespace {

class Probe : public RpcConnection
{
public:
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
    probe.setDefer(flags & 1);
    for (int i = 0; i < callCount; ++i)
        probe.addCall(quint32(i + 1), input.byte() % 6);

    std::string stream;
    while (!input.empty()) {
        const quint32 type = input.byte() % 6;
        const qint32 id = qint32(input.byte() % 9);
        const qint32 errorCode = qint8(input.byte());
        stream += frameBytes(id, type, errorCode, input.text());
    }
    probe.feed(stream);

    // Every call is either still pending or finished, never both.
    for (const RpcAsyncCall& call : probe.calls) {
        FUZZ_CHECK(probe.isPending(quint32(call.id())) != call.isFinished());
        if (call.isSucceeded()) {
            FUZZ_CHECK(call.errorCode() == 0);
            const std::string* outcome = call.data()->reply.param("return", false);
            FUZZ_CHECK(outcome && (*outcome == "OK" || *outcome == "ERROR"));
        }
        if (call.isFailed())
            FUZZ_CHECK(call.errorCode() != 0);
    }
    FUZZ_CHECK(probe.pendingCallCount() > 0 || probe.deferredSignalCount() == 0);
    return 0;
}
