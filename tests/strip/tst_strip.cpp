#include <QtTest>

#include <functional>

#include "panel/kit/audiostrip.h"
#include "panel/kit/connpanel.h"
#include "panel/kit/frontpanel.h"
#include "panel/kit/indicators.h"
#include "panel/kit/statuspanel.h"
#include "tests/support/firmwareword.h"
#include "tests/support/paintcounter.h"

namespace {

// Stands in for the panel window: records the keys handed to it.
class KeyRecorder : public QWidget
{
public:
    QList<int> keys;

protected:
    void customEvent(QEvent* event) override
    {
        if (event->type() == QPravikEvent::EventType)
            keys << static_cast<QPravikEvent*>(event)->key;
    }
};

QColor windowColour(const QWidget* w)
{
    return w->palette().color(QPalette::Window);
}

} // namespace

class StripTest : public QObject
{
    Q_OBJECT

private slots:
    void statusLayoutByMode()
    {
        const QRect wideCaption(172, 0, 190, 28), caption(232, 0, 112, 28), wideId(370, 0, 34, 28), id(190, 0, 34, 28);
        const QRect tx1(66, 34, 278, 20), tx2(352, 34, 116, 20), wideTx1(66, 34, 197, 20), wideTx2(271, 34, 197, 20);
        struct Row {
            int compact, flags, operation;
            QString text;
            QRect caption, id, tx1, tx2;
            bool coord, twoBars;
        };
        const Row rows[] = {
            {0, 2, 0, "Program / Coord", wideCaption, wideId, wideTx1, wideTx2, false, false},
            {1, 4, 0, "Program / Coord", wideCaption, wideId, wideTx1, wideTx2, false, false},
            {0, 2, 1, "Prog. L/R", caption, id, tx1, tx2, false, true},
            {0, 32, 1, "Prog. L/R", caption, id, tx1, tx2, true, true},
            {0, 32, 0, "Program", caption, id, tx1, tx2, true, false},
            {0, 1, 0, "Program", caption, id, tx1, tx2, false, false},
            {1, 1, 3, "Program", caption, id, tx1, tx2, false, true},
            {0, 8, 2, "Program", caption, id, tx1, tx2, true, true}};
        for (const Row& row : rows) {
            QPravikStatusPanel strip(row.compact);
            strip.setProgramMode(64, 1);  // from another layout
            strip.setProgramMode(row.flags, row.operation);
            const auto& [one, two] = strip.lines;
            const QString where = QString("%1 %2/%3").arg(row.compact).arg(row.flags).arg(row.operation);
            QVERIFY2(one.caption->text() == row.text && one.caption->geometry() == row.caption, qPrintable(where));
            QVERIFY2(strip.soundId->geometry() == row.id && two.caption->isVisibleTo(&strip) == row.coord, qPrintable(where));
            QVERIFY2(one.tx->geometry() == row.tx1 && two.tx->geometry() == row.tx2 && one.tx->twoBars == row.twoBars, qPrintable(where));
            QCOMPARE(!one.rx && !two.rx && !one.quality[0], bool(row.compact));
            if (!row.compact)
                QVERIFY2(one.rx->geometry() == row.tx1.translated(0, 26) && two.rx->geometry() == row.tx2.translated(0, 26)
                             && one.rx->twoBars == row.twoBars, qPrintable(where));
        }
    }

    void statusOperations()
    {
        QPravikStatusPanel full(0), compact(1);
        const std::pair<std::pair<int, int>, QString> networks[] = {
            {{0x100, 3}, "ETH"}, {{0x200, 0}, "ISDN"}, {{0x400, 2}, "WIFI"}, {{0x300, 1}, "2G"}, {{0x300, 4}, "5G"},
            {{0x300, 0}, "MOB"}, {{0x300, 5}, "MOB"}, {{0x301, 3}, ""}, {{0xFFFF, 0}, ""}};
        for (const auto& [network, text] : networks) {
            full.setNetwork(network.first, network.second);
            QCOMPARE(full.networkLabel->text(), text);
            QCOMPARE(full.signalGauge->isVisibleTo(&full), network.first == 0x300 || network.first == 0x400);
        }

        // Sound ID: outlined light yellow, filled yellow, hidden.
        const std::tuple<int, int, Qt::BrushStyle, QColor, bool> soundIds[] = {
            {2, 2, Qt::NoBrush, QColor(255, 255, 170), true}, {1, 4, Qt::SolidPattern, Qt::black, true},
            {0, 4, Qt::SolidPattern, Qt::black, false}};
        for (const auto& [state, border, fill, text, shown] : soundIds) {
            full.setSoundIdState(state);
            QCOMPARE(full.soundId->borderWidth, border);
            QCOMPARE(full.soundId->palette().brush(QPalette::Window).style(), fill);
            QCOMPARE(full.soundId->palette().color(QPalette::WindowText), text);
            QCOMPARE(full.soundId->isVisibleTo(&full), shown);
        }
        for (int level : {50, -1, 120}) {
            full.setBatteryLevel(level);
            QCOMPARE(full.battery->isVisibleTo(&full), level >= 0);
            QCOMPARE(full.battery->level, level);
        }

        // Line 1 is 1; every other number is line 2.
        full.setLinkState(1, 4);
        full.setLinkState(0, 2);
        full.setSipState(7, 2);
        full.setLinkQualityEnabled(2, true);
        full.setLinkQuality(-3, 40, 150);
        QCOMPARE(windowColour(full.lines[0].caption), QColor(255, 0, 0));
        QCOMPARE(windowColour(full.lines[1].caption), QColor(0, 255, 0));
        QCOMPARE(windowColour(full.lines[0].sip), QColor(127, 127, 127));
        QCOMPARE(windowColour(full.lines[1].sip), QColor(0, 146, 64));
        QVERIFY(!full.lines[0].quality[0]->isEnabled() && full.lines[1].quality[1]->isEnabled());
        QCOMPARE(full.lines[1].quality[0]->quality(), 40);
        QCOMPARE(full.lines[1].quality[1]->quality(), 100);

        // Levels by line: Tx L with output 1 on line 1, Tx R on line 2; the
        // compact strip keeps only the Tx meters and ignores the gauges.
        for (QPravikStatusPanel* strip : {&full, &compact}) {
            strip->setLinkQuality(1, 10, 10);
            strip->setLinkQualityEnabled(1, true);
            strip->setAudioLevels(1, 2, 3, 4, 5, 6, true);
            const auto& [one, two] = strip->lines;
            QCOMPARE(QList<int>({one.tx->level(0), one.tx->level(1), two.tx->level(0)}), QList<int>({1, 5, 2}));
            if (!strip->compact)
                QCOMPARE(QList<int>({one.rx->level(0), one.rx->level(1), two.rx->level(0)}), QList<int>({3, 6, 4}));
        }
    }

    void statusRepaintsOnlyOnChange()
    {
        QPravikStatusPanel strip(0);
        strip.setNetwork(0x300, 2);
        strip.show();
        QVERIFY(QTest::qWaitForWindowExposed(&strip));
        PaintCounter counter;
        strip.installEventFilter(&counter);
        for (QWidget* w : strip.findChildren<QWidget*>())
            w->installEventFilter(&counter);

        const std::function<void()> operations[] = {
            [&] { strip.setSoundIdState(2); }, [&] { strip.setBatteryLevel(50); }, [&] { strip.setNetwork(0x400, 0); },
            [&] { strip.setProgramMode(2, 0); }, [&] { strip.setDataActive(true); }, [&] { strip.setSignalQuality(0, 9); },
            [&] { strip.setLinkState(1, 3); }, [&] { strip.setLinkQualityEnabled(2, true); },
            [&] { strip.setLinkQuality(2, 50, 60); }, [&] { strip.setSipState(0, 1); }};
        for (int i = 0; i < int(std::size(operations)); ++i) {
            for (bool repeat : {false, true}) {
                QCoreApplication::processEvents();
                counter.count = 0;
                operations[i]();
                QTest::qWait(50);  // a widget shown is painted on the next update tick
                QVERIFY2(repeat ? counter.count == 0 : counter.count > 0, qPrintable(QString("operation %1, repeat %2").arg(i).arg(repeat)));
            }
        }
    }

    void connPanel()
    {
        QPravikConnPanel program(1), coord(2);
        program.show();
        coord.show();

        // Texts: stored under 0..2 only, shown always; clear keeps the box's state.
        program.setText("a", 0);
        program.setText("b", 5);
        QCOMPARE(QStringList({program.text(0), program.text(1), program.text(5), program.info->textLabel->text()}),
                 QStringList({"a", "", "", "b"}));
        program.setLinkState(2);
        program.stateLabel->setText("Calling");
        program.clear();
        QCOMPARE(QStringList({program.text(0), program.info->textLabel->text(), program.stateLabel->text()}),
                 QStringList({"", "", "Idle"}));
        QCOMPARE(program.info->state(), 2);

        // The book and coding buttons ask for the line's own menu pages.
        for (QPravikConnPanel* panel : {&program, &coord}) {
            QSignalSpy pages(panel, &QPravikConnPanel::pageActivated);
            QTest::mouseClick(panel->bookButton, Qt::LeftButton);
            QTest::mouseClick(panel->codingButton, Qt::LeftButton);
            const bool one = panel->line == 1;
            QCOMPARE(pages.size(), 2);
            QCOMPARE(pages[0][0].value<QPravik::Page>(), one ? QPravik::PageCallProfiles1 : QPravik::PageCallProfiles2);
            QCOMPARE(pages[1][0].value<QPravik::Page>(), one ? QPravik::PageCodec1Menu : QPravik::PageCodec2Menu);
        }

        // Coordination buttons by mode and firmware: book, history, dial, coding, auto redial.
        struct Row {
            std::uint32_t firmware;
            int flags;
            QString shown, title;
        };
        const Row rows[] = {{0xFFFFFF, 1, "-----", ""},           {0xFFFFFF, 8, "BHD-A", "Coordination"},
                            {0x011100, 64, "BHD-A", "Coordination"}, {0x0110FF, 8, "-HD-A", "Coordination"},
                            {0x010A00, 32, "BHDCA", "Coordination"}, {0x010A00, 4, "-----", ""}};
        for (const Row& row : rows) {
            const FirmwareWord fw(row.firmware);
            coord.setProgramMode(row.flags, 0);
            QString shown;
            const std::pair<QWidget*, char> items[] = {{coord.bookButton, 'B'}, {coord.historyButton, 'H'},
                                                       {coord.dialButton, 'D'}, {coord.codingButton, 'C'},
                                                       {coord.autoRedialSwitch, 'A'}};
            for (const auto& [item, letter] : items)
                shown += item->isVisible() ? QChar(letter) : QChar('-');
            QCOMPARE(shown, row.shown);
            QCOMPARE(coord.autoRedialLabel->isVisible(), coord.autoRedialSwitch->isVisible());
            QCOMPARE(coord.info->titleLabel->text(), row.title);
        }
        QCOMPARE(coord.info->noteLabel->text(), "No additional connection\nin single codec mode");

        const std::tuple<int, int, QString> titles[] = {
            {32, 1, "Prog. L/R"}, {4, 0, "Program / Coord"}, {64, 0, "Program / Coord"}, {8, 0, "Program"}, {1, 1, "Program"}};
        for (const auto& [flags, operation, title] : titles) {
            program.setProgramMode(flags, operation);
            QCOMPARE(program.info->titleLabel->text(), title);
        }
        QVERIFY(program.historyButton->isVisible() && program.codingButton->isVisible());
    }

    void inputStripGain()
    {
        QWidget host;
        QPravikAudioInput panning(0, &host, true), sideTone(1, false, &host);
        host.show();
        // Rows run in order on one strip: gain set, gain kept as given, knob value, gainChanged count.
        struct Row {
            QPravikAudioInput* strip;
            int set, stored, knob, emitted;
        };
        const Row rows[] = {{&panning, -160, -160, -31, 0}, {&panning, -40, -40, -31, 1}, {&panning, 5, 5, 5, 1},
                            {&panning, 20, 20, 16, 1},      {&panning, 20, 20, 16, 0},    {&panning, -31, -31, -31, 1},
                            {&sideTone, -40, -40, -31, 1},  {&sideTone, -31, -31, -31, 1}, {&sideTone, 3, 3, 3, 1}};
        for (const Row& row : rows) {
            QSignalSpy gains(row.strip, &QPravikAudioBase::gainChanged);
            row.strip->setGain(row.set);
            QCOMPARE(row.strip->gain(), row.stored);
            QCOMPARE(row.strip->knob.value(), row.knob);
            QCOMPARE(gains.size(), row.emitted);
        }

        // The operator turning a panning knob down to its minimum switches the source off.
        QSignalSpy gains(&panning, &QPravikAudioBase::gainChanged);
        panning.setGain(-30);
        panning.knob.setChecked(true);
        QTest::keyClick(&panning.knob, Qt::Key_Minus);
        QCOMPARE(gains.size(), 2);
        QCOMPARE(gains.last().first().toInt(), -160);

        // Balance: clamped to the slider's 0..12, the marker at x = 28 + 6 x value.
        QSignalSpy balances(&panning, &QPravikAudioBase::balanceChanged);
        panning.setBalance(20);
        QCOMPARE(panning.balance(), 12);
        QCOMPARE(balances.size(), 1);
        const QImage slider = panning.balanceSlider.grab().toImage();
        QCOMPARE(slider.pixelColor(100, 8), QColor(Qt::red));
        QCOMPARE(slider.pixelColor(64, 15), QColor(Qt::white));

        // Engaged, the slider moves with plus and minus and hands every other key,
        // the right button's Enter included, to the window.
        KeyRecorder window;
        frontPanelWindow = &window;
        panning.balanceSlider.setChecked(true);
        QTest::keyClick(&panning.balanceSlider, Qt::Key_Minus);
        QTest::mouseClick(&panning.balanceSlider, Qt::RightButton);
        QCoreApplication::processEvents();
        frontPanelWindow = nullptr;
        QCOMPARE(panning.balance(), 11);
        QCOMPARE(window.keys, QList<int>({Qt::Key_Minus, Qt::Key_Enter}));  // the minus key's release, then Enter
    }

    void buttonSlot()
    {
        QPravikAudioButton slot;
        slot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&slot));
        slot.setInput(QPravik::InputMic1);
        slot.setName("Host", false);
        QCOMPARE(slot.sourceButton.text(), "INPUT 1\nHost");
        slot.setName("", false);
        QCOMPARE(slot.sourceButton.text(), "INPUT 1");
        slot.setInput(QPravik::InputNetwork1);
        slot.setDeviceOptions(0x400);
        QCOMPARE(slot.title(), "DNT. 1");

        for (const auto& [gain, text] : {std::pair<int, QString>{-3, "-3dB"}, {6, "6dB"}, {-160, "Off"}}) {
            slot.setGain(gain);
            QCOMPARE(slot.gainLabel.text(), text);
        }

        // A right click anywhere reports only itself; a left click on the source button only the button.
        QSignalSpy left(&slot, &QPravikAudioButton::buttonClicked), right(&slot, &QPravikAudioButton::rightButtonClicked);
        QTest::mouseClick(&slot, Qt::RightButton, {}, QPoint(50, 85));
        QTest::mouseClick(&slot.sourceButton, Qt::RightButton);
        QCOMPARE(QList<qsizetype>({left.size(), right.size()}), QList<qsizetype>({0, 2}));
        QTest::mouseClick(&slot.sourceButton, Qt::LeftButton);
        QCOMPARE(QList<qsizetype>({left.size(), right.size()}), QList<qsizetype>({1, 2}));
    }
};


QTEST_MAIN(StripTest)
#include "tst_strip.moc"
