// Frame encode/decode and command text write/parse, each beside memcpy of
// the same bytes (what moving them costs at the least).
#include "bench/link/ratioreporter.h"
#include "link/logmask.h"
#include "link/rpcmessage.h"
#include "link/tcommand.h"

#include <QByteArray>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A typical 20-parameter reply of the unit.
TCommand twentyParameterReply()
{
    TCommand reply(TCommand::Param);
    const char* keys[] = {"codec",      "codec_rx",    "codec_tx",     "bitrate",    "samplerate",
                          "mode",       "network",     "remote_addr",  "remote_addr2", "state",
                          "comm_link",  "dcodec_1",    "dcodec_tx_1",  "info",       "name",
                          "network_mode", "coord_mode", "dstream_mode", "cause",     "return"};
    for (int i = 0; i < 20; ++i) {
        std::string value = "value-" + std::to_string(i * 7919);
        if (i % 5 == 0)
            value += ";with\\escapes";
        reply.setParam(keys[i], value, TCommand::Replace);
    }
    return reply;
}

// A frame body of about size bytes: one LIST value, as the unit sends in bulk.
RpcMessage messageOfSize(int size)
{
    TCommand command(TCommand::Param);
    std::string items;
    int n = 0;
    while (int(items.size()) < size - 40)
        items += "item" + std::to_string(n++) + ",";
    command.setParam("items", items, TCommand::Replace);
    command.setParam("return", "OK", TCommand::Replace);
    return RpcMessage(7, RpcMessage::Reply, 0, command);
}

void BM_FrameEncode(benchmark::State& state)
{
    const RpcMessage message = messageOfSize(int(state.range(0)));
    qint64 bytes = 0;
    for (auto _ : state) {
        QByteArray frame = RpcMessage::toFrame(message);
        bytes += frame.size();
        benchmark::DoNotOptimize(frame.constData());
    }
    state.SetBytesProcessed(bytes);
}

void BM_FrameDecode(benchmark::State& state)
{
    const QByteArray frame = RpcMessage::toFrame(messageOfSize(int(state.range(0))));
    for (auto _ : state) {
        RpcMessage message = RpcMessage::fromFrame(frame);
        benchmark::DoNotOptimize(message.type());
    }
    state.SetBytesProcessed(qint64(state.iterations()) * frame.size());
}

// Stream assembly alone: the reader cuts frames and drops them (no owner).
void BM_FrameReader(benchmark::State& state)
{
    const QByteArray frame = RpcMessage::toFrame(messageOfSize(int(state.range(0))));
    RpcFrameReader reader;
    reader.init(nullptr);
    for (auto _ : state)
        reader.feed(frame.constData(), quint32(frame.size()));
    state.SetBytesProcessed(qint64(state.iterations()) * frame.size());
}

void BM_Memcpy(benchmark::State& state)
{
    const QByteArray frame = RpcMessage::toFrame(messageOfSize(int(state.range(0))));
    std::vector<char> target(size_t(frame.size()));
    for (auto _ : state) {
        std::memcpy(target.data(), frame.constData(), size_t(frame.size()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(qint64(state.iterations()) * frame.size());
}

void BM_CommandWrite(benchmark::State& state)
{
    const TCommand reply = twentyParameterReply();
    std::string text;
    for (auto _ : state) {
        TCommand::write(reply, text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(text.size()));
}

void BM_CommandParse(benchmark::State& state)
{
    std::string text;
    TCommand::write(twentyParameterReply(), text);
    TCommand parsed;
    for (auto _ : state) {
        TCommand::parse(text, parsed);
        benchmark::DoNotOptimize(parsed.params.size());
    }
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(text.size()));
}

void BM_CommandTextMemcpy(benchmark::State& state)
{
    std::string text;
    TCommand::write(twentyParameterReply(), text);
    std::vector<char> target(text.size());
    for (auto _ : state) {
        std::memcpy(target.data(), text.data(), text.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(text.size()));
}

// Bodies the link logs: a request and a long reply that name no secret, and
// a request that does.
std::string loggedBody(int which)
{
    if (which == 2)
        return "PARAM;target:db;cat:ui;sip_password:topsecret;type:sc_frontpanel;";
    if (which == 1) {
        std::string text;
        TCommand::write(twentyParameterReply(), text);
        return text;
    }
    return "PARAM;target:general;GET:device;GET:version;GET:builddate;";
}

void BM_MaskBody(benchmark::State& state)
{
    const std::string body = loggedBody(int(state.range(0)));
    for (auto _ : state) {
        std::string masked = maskSecretValues(body);
        benchmark::DoNotOptimize(masked.data());
    }
}

// What logging the body costs at the least: one copy of it.
void BM_CopyBody(benchmark::State& state)
{
    const std::string body = loggedBody(int(state.range(0)));
    for (auto _ : state) {
        std::string copy = body;
        benchmark::DoNotOptimize(copy.data());
    }
}

} // namespace

BENCHMARK(BM_FrameEncode)->Arg(256)->Arg(16384);
BENCHMARK(BM_FrameDecode)->Arg(256)->Arg(16384);
BENCHMARK(BM_FrameReader)->Arg(256)->Arg(16384);
BENCHMARK(BM_Memcpy)->Arg(256)->Arg(16384);
BENCHMARK(BM_CommandWrite);
BENCHMARK(BM_CommandParse);
BENCHMARK(BM_CommandTextMemcpy);
BENCHMARK(BM_MaskBody)->ArgName("body")->DenseRange(0, 2);
BENCHMARK(BM_CopyBody)->ArgName("body")->DenseRange(0, 2);

int main(int argc, char** argv)
{
    argv = initializeInterleaved(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    reporter.printHeading("Against the limit (memcpy of the same bytes):");
    for (const char* size : {"256", "16384"}) {
        const std::string copy = std::string("BM_Memcpy/") + size;
        const std::string label = std::string(" (") + size + " byte body)";
        reporter.ratio(("frame encode" + label).c_str(), std::string("BM_FrameEncode/") + size, copy, true);
        reporter.ratio(("frame decode" + label).c_str(), std::string("BM_FrameDecode/") + size, copy, true);
        reporter.ratio(("frame reader" + label).c_str(), std::string("BM_FrameReader/") + size, copy, true);
    }
    reporter.ratio("command write, 20-parameter reply", "BM_CommandWrite", "BM_CommandTextMemcpy", true);
    reporter.ratio("command parse, 20-parameter reply", "BM_CommandParse", "BM_CommandTextMemcpy", true);
    reporter.printHeading("Masking a logged body, against a copy of it:");
    const char* bodies[] = {"request naming no secret", "20-parameter reply naming none",
                            "request with a password"};
    for (int i = 0; i < 3; ++i) {
        const std::string arg = "/body:" + std::to_string(i);
        reporter.ratio(bodies[i], "BM_MaskBody" + arg, "BM_CopyBody" + arg, true);
    }
    benchmark::Shutdown();
    return 0;
}
