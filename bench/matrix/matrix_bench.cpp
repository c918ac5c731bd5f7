// The matrix's node operations per call, unloaded (the model alone) and
// loaded (each call sends its key to the simulated unit on loopback); and a
// whole "audio_changeset" of every matrix key applied to a loaded model,
// with the signals it emits and the requests it sends (none).
#include "audio/tmatrixsettings.h"
#include "bench/link/ratioreporter.h"
#include "link/ccom.h"
#include "link/tcommand.h"
#include "model/unitfirmware.h"
#include "tests/support/unitsimulator.h"

#include <QCoreApplication>

#include <map>
#include <memory>
#include <vector>

namespace {

struct Session
{
    UnitSimulator unit;
    zel::CCom com;
    bool up = false;

    Session()
    {
        unit.onRequestMatching(QRegularExpression("^PARAM;matrix_"), {UnitSimulator::reply("PARAM;return:OK;")});
        up = unit.listen() && com.connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0)
             && unit.waitUntil([this] { return com.state() == RpcConnection::ConnectedState; });
    }
};

Session* g_session = nullptr;

int requestCount()
{
    return int(g_session->unit.requests().size());
}

// arg 0: unloaded, nothing is sent; arg 1: loaded, every call sends a key.
template <class Op>
void runNodeOperation(benchmark::State& state, Op op)
{
    if (!g_session->up) {
        state.SkipWithError("simulated unit not reachable");
        return;
    }
    TMatrixSettings matrix(&g_session->com);
    if (state.range(0))
        matrix.setState(TComController::Ready);
    g_session->unit.clearReceived();
    bool flip = true; // every call changes the node
    for (auto _ : state) {
        op(matrix, flip);
        flip = !flip;
    }
    state.counters["requests/op"] = benchmark::Counter(double(requestCount()) / double(state.iterations()));
}

void BM_SetNode(benchmark::State& state)
{
    runNodeOperation(state, [](TMatrixSettings& m, bool flip) { m.setNode(5, 2, flip); });
}

void BM_SetNodeGain(benchmark::State& state)
{
    runNodeOperation(state, [](TMatrixSettings& m, bool flip) { m.setNodeGain(5, 2, flip ? -10.0f : -11.0f); });
}

// Every key of firmware 2.0.0, with values that differ between the two sets.
TCommand changeset(bool second)
{
    TCommand info(TCommand::Info);
    info.setParam("info_type", "audio_changeset");
    info.setParam("info_source", "core");
    for (const std::string& key : TMatrixSettings::refreshKeys()) {
        const auto is = [&key](const char* prefix) { return key.rfind(prefix, 0) == 0; };
        std::string value;
        if (is("matrix_in"))
            value = second ? "0040,Out" : "00C3,In";
        else if (is("matrix_ou"))
            value = second ? "7E" : "81";
        else if (is("matrix_hp"))
            value = QByteArray(second ? "AA" : "55").repeated(21).toStdString();
        else if (is("matrix_po"))
            value = second ? "04030201" : "01020304";
        else if (is("matrix_bal"))
            value = second ? "060606060606" : "000102030405";
        else if (key == "matrix_mgn")
            value = second ? "80800000" : "7A7B0000";
        else if (key == "matrix_vol")
            value = second ? "E0E0E0E0" : "DADADADA";
        else
            value = second ? "00000002" : "00000001";
        info.setParam(key, value);
    }
    return info;
}

void BM_ApplyChangeset(benchmark::State& state)
{
    if (!g_session->up) {
        state.SkipWithError("simulated unit not reachable");
        return;
    }
    TMatrixSettings matrix(&g_session->com);
    matrix.setState(TComController::Ready);
    long signalCount = 0;
    const auto count = [&signalCount] { ++signalCount; };
    QObject::connect(&matrix, &TMatrixSettings::nodeChanged, count);
    QObject::connect(&matrix, &TMatrixSettings::inputNameChanged, count);
    QObject::connect(&matrix, &TMatrixSettings::inputGainChanged, count);
    QObject::connect(&matrix, &TMatrixSettings::outputGainChanged, count);
    QObject::connect(&matrix, &TMatrixSettings::audioConfigChanged, count);
    QObject::connect(&matrix, &TMatrixSettings::matrixOptionsChanged, count);
    const TCommand sets[2] = {changeset(false), changeset(true)};
    g_session->unit.clearReceived();
    bool flip = false;
    for (auto _ : state) {
        matrix.handleInfo(sets[flip]);
        flip = !flip;
    }
    state.counters["keys"] = double(sets[0].params.size() - 2);
    state.counters["signals/apply"] = double(signalCount) / double(state.iterations());
    state.counters["requests"] = requestCount();
}

// Baselines: the same changes made to plain containers, without signals.
void BM_PlainNode(benchmark::State& state)
{
    std::vector<float> gains(24 * 8, 0.0f);
    bool flip = true;
    for (auto _ : state) {
        gains[5 * 8 + 2] = flip ? -10.0f : -11.0f;
        benchmark::DoNotOptimize(gains.data());
        flip = !flip;
    }
}

void BM_PlainChangeset(benchmark::State& state)
{
    const TCommand sets[2] = {changeset(false), changeset(true)};
    std::map<std::string, std::string> values;
    bool flip = false;
    for (auto _ : state) {
        for (const auto& [key, value] : sets[flip].params)
            values[key] = value;
        benchmark::DoNotOptimize(values.size());
        flip = !flip;
    }
}

// A synchronous round trip of the same request and answer to the same
// simulated unit, without the model: what a loaded call cannot undercut.
void BM_PlainRoundTrip(benchmark::State& state)
{
    TCommand request;
    TCommand::parse("PARAM;matrix_hp1:" + std::string(42, 'A') + ";", request);
    TCommand reply;
    for (auto _ : state) {
        if (g_session->com.sendSyncMsg(request, reply, 0, 5000) != 0) {
            state.SkipWithError("call failed");
            break;
        }
    }
}

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

BENCHMARK(BM_SetNode)->ArgName("loaded")->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_SetNodeGain)->ArgName("loaded")->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_ApplyChangeset);
BENCHMARK(BM_PlainNode);
BENCHMARK(BM_PlainChangeset);
BENCHMARK(BM_PlainRoundTrip)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    argv = initializeInterleaved(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // The link logs every frame; the figures are the matrix's, not the log's.
    qInstallMessageHandler(dropMessages);
    unitFirmwareVersion = 0x20000;
    auto session = std::make_unique<Session>();
    g_session = session.get();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    g_session = nullptr;
    reporter.printHeading("Against the same change to a plain container:");
    reporter.ratio("set node, unloaded", "BM_SetNode/loaded:0/real_time", "BM_PlainNode", true);
    reporter.ratio("set node gain, unloaded", "BM_SetNodeGain/loaded:0/real_time", "BM_PlainNode", true);
    reporter.ratio("audio_changeset of every matrix key", "BM_ApplyChangeset", "BM_PlainChangeset", true);
    reporter.printHeading("Against a synchronous call of the same bytes through the session, no model:");
    reporter.ratio("set node, loaded", "BM_SetNode/loaded:1/real_time", "BM_PlainRoundTrip/real_time");
    reporter.ratio("set node gain, loaded", "BM_SetNodeGain/loaded:1/real_time", "BM_PlainRoundTrip/real_time");
    benchmark::Shutdown();
    return 0;
}
