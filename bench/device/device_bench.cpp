// A full TComDevice::refresh against the simulated unit, answering at once,
// after 5 ms and after 20 ms: refresh is a chain of synchronous round trips,
// so a delayed run should cost the round trips times the delay plus the
// prompt run.
#include "bench/link/ratioreporter.h"
#include "link/ccom.h"
#include "model/tcomdevice.h"
#include "tests/support/unitsimulator.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>
#include <memory>

namespace {

const int kDelays[] = {0, 5, 20};

// Every read of the refresh answered from one table of values.
const QByteArray kValues = "PARAM;aoip_version:2.1;sip_state:registered;sip_state2:unregistered;jitterab:on;"
                           "default_network:eth.0;secondary_network:mobile.0;mode:auto;cable:yes;"
                           "codec_mode:cmode_normal;coord_mode:enabled;codec:OPUS/48000/stereo/128000;dcodec_1:;"
                           "dcodec_2:;operation_mode:extended;dstream_mode:enabled;aes67_reset:on;return:OK;";

struct Unit
{
    UnitSimulator unit;
    zel::CCom com;
    bool up = false;

    explicit Unit(int delayMs)
    {
        const auto answer = [delayMs](const QByteArray& body) {
            return UnitSimulator::Actions{UnitSimulator::delay(delayMs), UnitSimulator::reply(body)};
        };
        unit.onRequestMatching(QRegularExpression("^DO;"), answer("DO;return:OK;"));
        unit.onRequestMatching(QRegularExpression("GET:"), answer(kValues));
        unit.onRequest("PARAM;target:general;LIST:device_opts;",
                       answer("PARAM;device_opts:ip_dcodec,ip_dstream_1,hardware_3;return:OK;"));
        unit.onRequest("PARAM;target:network;LIST:network;",
                       answer("PARAM;network:aoip,eth.0,mobile.0,wifi.0;return:OK;"));
        unit.onRequest("PARAM;mode:data;network:mobile.0;target:network;GET:id;", answer("PARAM;id:4;return:OK;"));
        if (!unit.listen())
            return;
        com.connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0);
        up = unit.waitUntil([this] { return com.state() == RpcConnection::ConnectedState; });
    }
};

double g_roundTrips[3] = {0, 0, 0};

void BM_Refresh(benchmark::State& state)
{
    const int index = int(state.range(0));
    Unit unit(kDelays[index]);
    if (!unit.up) {
        state.SkipWithError("simulated unit not reachable");
        return;
    }
    long requests = 0;
    for (auto _ : state) {
        // A new device each time: every refresh adopts the data link anew.
        state.PauseTiming();
        auto device = std::make_unique<TComDevice>(&unit.com);
        unit.unit.clearReceived();
        state.ResumeTiming();
        if (!device->refresh()) {
            state.SkipWithError("refresh failed");
            break;
        }
        state.PauseTiming();
        requests += unit.unit.requests().size();
        device.reset();
        state.ResumeTiming();
    }
    g_roundTrips[index] = state.iterations() ? double(requests) / double(state.iterations()) : 0;
    state.counters["round trips"] = g_roundTrips[index];
    state.counters["delay ms"] = kDelays[index];
}
BENCHMARK(BM_Refresh)->Arg(0)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    argv = initializeInterleaved(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const double prompt = reporter.seconds("BM_Refresh/0/min_time:1.000/real_time");
    reporter.printHeading("Refresh with 5 and 20 ms per reply against round trips x the delay + the prompt refresh:");
    for (int index : {1, 2}) {
        const double delayed =
            reporter.seconds("BM_Refresh/" + std::to_string(index) + "/min_time:1.000/real_time");
        if (prompt < 0 || delayed < 0) {
            std::printf("(not run)\n");
            continue;
        }
        const double limit = g_roundTrips[index] * kDelays[index] / 1e3 + prompt;
        std::printf("%2d ms: round trips %.0f, prompt %.2f ms, delayed %.2f ms, limit %.2f ms, ratio %.3f (at most 1.2)\n",
                    kDelays[index], g_roundTrips[index], prompt * 1e3, delayed * 1e3, limit * 1e3, delayed / limit);
    }
    return 0;
}
