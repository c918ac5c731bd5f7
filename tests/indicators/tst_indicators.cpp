#include <QtTest>

#include <functional>
#include <memory>

#include "panel/kit/indicators.h"
#include "tests/support/paintcounter.h"

namespace {

const QColor black(Qt::black), white(Qt::white), green(Qt::green), yellow(Qt::yellow), red(Qt::red);

template <class W>
QWidget* make(std::function<void(W&)> setup, QSize size = QSize())
{
    auto* w = new W;
    if (size.isValid())
        w->resize(size);
    setup(*w);
    return w;
}

} // namespace

class IndicatorsTest : public QObject
{
    Q_OBJECT

private slots:
    void peakHold()
    {
        // Rows: values fed, immediate, the peak after each update.
        QList<int> drop{0}, dropPeaks{0}, quiet{25}, quietPeaks{25};
        for (int update = 1; update <= 22; ++update) {
            drop << 20;
            dropPeaks << (update <= 10 ? 0 : qMin(20, 2 * (update - 10)));
            quiet << 99;
            quietPeaks << (update <= 10 ? 25 : qMin(30, 25 + 2 * (update - 10)));
        }
        const std::tuple<QList<int>, bool, QList<int>> rows[] = {
            {drop, false, dropPeaks},
            {quiet, false, quietPeaks},
            {{0, 20, 25}, true, {0, 20, 25}},
            {{10, 20, 20, 4, 20}, false, {10, 10, 10, 4, 4}},
            {{-5, 99, -5}, false, {0, 0, 0}}};
        for (const auto& [values, immediate, peaks] : rows) {
            QPravikBars bars;
            QCOMPARE(bars.peak(), 30);
            for (int i = 0; i < values.size(); ++i) {
                bars.setLevel(values[i], immediate);
                QCOMPARE(bars.level(), qBound(0, values[i], 30));
                QCOMPARE(bars.peak(), peaks[i]);
            }
        }
    }

    void repaintsOnlyOnChange()
    {
        QWidget strip;
        auto* bars = new QPravikBars(&strip);
        auto* battery = new QPravikBattery(&strip);
        auto* net = new QPravikNetQuality(&strip);
        auto* sig = new QPravikSigQuality(&strip);
        strip.show();
        QVERIFY(QTest::qWaitForWindowExposed(&strip));
        PaintCounter counter;
        for (QWidget* w : strip.findChildren<QWidget*>())
            w->installEventFilter(&counter);

        const std::pair<std::function<void()>, int> steps[] = {
            {[&] { bars->setLevel(0, false); bars->setLevel(20, false); }, 1},
            {[&] { bars->setLevel(20, false); }, 0},  // peak held: only the counter moves
            {[&] { bars->setLevel(20, true); }, 1},
            {[&] { bars->setLevel(20, true); bars->setLevel(20, false); }, 0},
            {[&] { bars->setLevel(99, true); bars->setLevel(99, false); }, 1},
            {[&] { bars->setLevels(3, 4, false); }, 1},
            {[&] { bars->setLevels(3, 4, false); bars->setVertical(false); bars->setTwoBars(false); }, 0},
            {[&] { battery->setLevel(0); net->setQuality(150); net->setDirection(0); sig->setQuality(-1, -3); }, 0},
            {[&] { battery->setLevel(50); net->setQuality(-7); sig->setQuality(0, 9); }, 3}};
        for (const auto& [action, paints] : steps) {
            QCoreApplication::processEvents();
            counter.count = 0;
            action();
            QCoreApplication::processEvents();
            QCOMPARE(counter.count, paints);
        }
        QCOMPARE(net->quality(), -1);
        QCOMPARE(sig->bars(), 5);
    }

    void looks()
    {
        QPalette palette;
        palette.setColor(QPalette::Window, black);
        palette.setColor(QPalette::WindowText, white);
        QApplication::setPalette(palette);

        // 278 x 20 meter: bar area x 3..274; yellow from x 166, red from 247; two
        // bars on rows 3..8 and 11..16. 16 x 120 meter: green rows 117..49,
        // yellow 48..15, red 14..3.
        const QSize strip(278, 20), column(16, 120);
        auto meter = [](QList<int> values, bool two = false, bool immediate = false) {
            return [=](QPravikBars& b) {
                b.setTwoBars(two);
                for (int i = 0; i < values.size(); i += two ? 2 : 1)
                    two ? b.setLevels(values[i], values[i + 1], immediate) : b.setLevel(values[i], immediate);
            };
        };
        auto battery = [](int level) { return make<QPravikBattery>([=](auto& b) { b.setLevel(level); }); };
        const std::pair<QWidget*, QList<std::pair<QPoint, QColor>>> looks[] = {
            {make<QPravikBars>(meter({}), strip),  // fresh: full
             {{{0, 0}, black}, {{2, 2}, white}, {{165, 10}, green}, {{166, 10}, yellow}, {{247, 10}, red}, {{274, 16}, red}}},
            {make<QPravikBars>(meter({99}), strip), {{{100, 10}, black}, {{166, 3}, white}, {{247, 16}, white}}},
            {make<QPravikBars>(meter({0, 20}), strip), {{{92, 10}, green}, {{93, 10}, black}, {{270, 10}, black}, {{271, 10}, red}}},
            {make<QPravikBars>(meter({5, 20}), strip), {{{224, 10}, black}, {{225, 10}, yellow}, {{228, 10}, yellow}}},
            {make<QPravikBars>(meter({0, 15}, true, true), strip),
             {{{50, 8}, green}, {{50, 9}, black}, {{50, 10}, black}, {{50, 11}, green}, {{50, 16}, green}, {{150, 16}, black}}},
            {make<QPravikBars>([](auto& b) { b.setVertical(true); }, column),
             {{{1, 1}, QColor(80, 80, 80)}, {{13, 49}, green}, {{8, 48}, yellow}, {{8, 15}, yellow}, {{8, 14}, red}, {{8, 3}, red}}},
            {make<QPravikBars>([&](auto& b) { b.setVertical(true); meter({29, 30})(b); }, column), {{{8, 117}, black}}},
            {make<QPravikBars>([](auto& b) { b.setEnabled(false); }, strip), {{{2, 2}, black}, {{100, 10}, black}}},
            {battery(20), {{{8, 1}, red}, {{1, 10}, red}, {{8, 22}, red}, {{8, 21}, black}}},
            {battery(40), {{{1, 10}, white}, {{8, 24}, QColor(255, 127, 39)}}},
            {battery(100), {{{3, 6}, green}, {{14, 24}, green}}},
            {battery(119), {{{1, 10}, white}, {{8, 24}, black}, {{9, 12}, black}}},
            {battery(120), {{{9, 12}, white}, {{4, 8}, black}}},
            {battery(140), {{{8, 1}, QColor(0, 146, 64)}, {{8, 10}, QColor(0, 146, 64)}}},
            {make<QPravikNetQuality>([](auto& n) { n.setQuality(85); }),
             {{{6, 0}, white}, {{12, 7}, white}, {{6, 8}, black}, {{6, 41}, white}, {{2, 41}, black}, {{2, 45}, white}}},
            {make<QPravikNetQuality>([](auto& n) { n.setQuality(10); n.setDirection(1); }),
             {{{6, 35}, white}, {{6, 31}, black}, {{2, 40}, white}, {{2, 45}, black}}},
            {make<QPravikNetQuality>([](auto& n) { n.setEnabled(false); }), {{{6, 0}, QColor(50, 50, 50)}}},
            {make<QPravikSigQuality>([](auto& s) { s.setQuality(0, 5); }), {{{2, 16}, white}, {{4, 16}, black}, {{21, 1}, white}}},
            {make<QPravikSigQuality>([](auto& s) { s.setQuality(1, 2); }), {{{6, 10}, red}, {{11, 8}, black}}},
            {make<QPravikSigQuality>([](auto& s) { s.setQuality(4, 5); }), {{{1, 13}, black}, {{21, 1}, black}}},
            {make<QPravikDataActive>([](auto&) {}), {{{4, 10}, white}, {{13, 17}, white}, {{8, 10}, black}}}};
        for (const auto& [widget, probes] : looks) {
            const std::unique_ptr<QWidget> owner(widget);
            const QImage image = widget->grab().toImage();
            for (const auto& [at, colour] : probes) {
                const QColor seen = image.pixelColor(at);
                // The charging bolt is antialiased: a shade off is fine.
                QVERIFY2(qAbs(seen.red() - colour.red()) + qAbs(seen.green() - colour.green())
                             + qAbs(seen.blue() - colour.blue()) <= 40,
                         qPrintable(QString("%1 (%2,%3): %4").arg(widget->metaObject()->className())
                                        .arg(at.x()).arg(at.y()).arg(seen.name())));
            }
        }
    }
};


QTEST_MAIN(IndicatorsTest)
#include "tst_indicators.moc"
