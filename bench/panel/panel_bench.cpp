// Meters fed as the panel feeds them (a dozen values twice a second), with
// changing and with repeated values, counting repaints; and the locale
// table's load and lookup.
#include "bench/link/ratioreporter.h"
#include "model/locale.h"
#include "panel/kit/indicators.h"

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

// The floor of a repaint: QWidget::update of the same areas, painted by a
// widget that draws nothing but its background.
void BM_PlainUpdate(benchmark::State& state)
{
    Strip strip;
    QList<QWidget*> plain;
    for (QPravikBars* bars : strip.pairs + strip.inputs) {
        auto* widget = new QWidget(&strip.window);
        widget->setAttribute(Qt::WA_OpaquePaintEvent);
        widget->setAutoFillBackground(true);
        widget->setGeometry(bars->geometry());
        bars->hide();
        widget->show();
        plain << widget;
    }
    QCoreApplication::processEvents();
    for (auto _ : state) {
        for (QWidget* widget : std::as_const(plain))
            widget->update();
        QCoreApplication::processEvents();
    }
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
BENCHMARK(BM_PlainUpdate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocaleLoad)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocaleLookup);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    argv = initializeInterleaved(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printHeading("Against QWidget::update of the same areas (12 values, 8 widgets):");
    reporter.ratio("meters, changing values", "BM_MetersChanging", "BM_PlainUpdate", true);
    reporter.ratio("meters, unchanged values", "BM_MetersUnchanged", "BM_PlainUpdate", true);
    // No baseline fits a table built once at start: held against a budget.
    reporter.printHeading("Against a budget of 10 ms at start and 1 us per lookup:");
    const double load = reporter.seconds("BM_LocaleLoad", true);
    const double lookup = reporter.seconds("BM_LocaleLookup", true);
    if (load > 0)
        std::printf("%-56s %10.3f us, ratio to budget %6.3f\n", "locale table load", load * 1e6, load / 10e-3);
    if (lookup > 0)
        std::printf("%-56s %10.3f us, ratio to budget %6.3f\n", "locale lookups (6 keys)", lookup * 1e6,
                    lookup / 6 / 1e-6);
    benchmark::Shutdown();
    return 0;
}
