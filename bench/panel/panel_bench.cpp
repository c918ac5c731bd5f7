// Meters fed as the panel feeds them (a dozen values twice a second), with
// changing and with repeated values, counting repaints; and the locale
// table's load and lookup.
#include "model/locale.h"
#include "panel/kit/indicators.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QList>

#include <string>
#include <vector>

namespace {

class PaintCounter : public QObject
{
public:
    long count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

// A full status strip's meters (transmit and receive of both lines, two bars
// each) and four vertical input meters: twelve values.
struct Strip {
    QWidget window;
    QList<QPravikBars*> pairs;
    QList<QPravikBars*> inputs;
    PaintCounter paints;

    Strip()
    {
        window.resize(600, 200);
        const QRect pairGeometry[] = {{66, 34, 278, 20}, {66, 60, 278, 20}, {352, 34, 116, 20}, {352, 60, 116, 20}};
        for (const QRect& g : pairGeometry) {
            auto* bars = new QPravikBars(&window);
            bars->setGeometry(g);
            bars->setTwoBars(true);
            pairs << bars;
        }
        for (int i = 0; i < 4; ++i) {
            auto* bars = new QPravikBars(&window);
            bars->setVertical(true);
            bars->setGeometry(10 + 30 * i, 90, 16, 100);
            inputs << bars;
        }
        window.show();
        QCoreApplication::processEvents();
        for (QPravikBars* bars : pairs + inputs)
            bars->installEventFilter(&paints);
    }

    // One update: values from the pattern's step, then the paint pass.
    void feed(int step)
    {
        int k = 0;
        for (QPravikBars* bars : std::as_const(pairs)) {
            bars->setLevels((step * 7 + k * 5) % 31, (step * 11 + k * 3) % 31, false);
            ++k;
        }
        for (QPravikBars* bars : std::as_const(inputs))
            bars->setLevel((step * 13 + k++ * 7) % 31, false);
        QCoreApplication::processEvents();
    }
};

void BM_MetersChanging(benchmark::State& state)
{
    Strip strip;
    int step = 0;
    strip.paints.count = 0;
    for (auto _ : state)
        strip.feed(++step);
    state.counters["repaints/update"] = benchmark::Counter(double(strip.paints.count) / double(state.iterations()));
}

void BM_MetersUnchanged(benchmark::State& state)
{
    Strip strip;
    // Held peaks fall for up to 25 updates before they meet the level.
    for (int i = 0; i < 30; ++i)
        strip.feed(1);
    strip.paints.count = 0;
    for (auto _ : state)
        strip.feed(1);
    state.counters["repaints/update"] = benchmark::Counter(double(strip.paints.count) / double(state.iterations()));
}

void BM_LocaleLoad(benchmark::State& state)
{
    for (auto _ : state) {
        TLocale locale;
        benchmark::DoNotOptimize(locale.entries().size());
    }
}

void BM_LocaleLookup(benchmark::State& state)
{
    const TLocale locale;
    const std::vector<std::string> keys = {"100-wrong password", "122-pin required", "output_level",
                                           "cmode_double", "not-a-key", "another unknown word"};
    for (auto _ : state)
        for (const std::string& key : keys)
            benchmark::DoNotOptimize(locale.text(key));
    state.SetItemsProcessed(state.iterations() * qint64(keys.size()));
}

} // namespace

BENCHMARK(BM_MetersChanging)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MetersUnchanged)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocaleLoad)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocaleLookup);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
