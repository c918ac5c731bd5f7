#include <QtTest>

#include "audio/matrixwire.h"
#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "model/tcomdevice.h"
#include "model/unitfirmware.h"
#include "panel/kit/popup.h"
#include "panel/pages/qpravikheadphonemirrorpage.h"
#include "panel/pages/qpravikheadphonepopups.h"
#include "panel/pages/qpravikheadphoneslotpage.h"
#include "tests/support/unitsimulator.h"

namespace {

using Bytes = matrixwire::Bytes;

// The inputs of each operation mode in layout order (side tones as 26..29).
const QList<int> kExtendedOrder = {26, 27, 28, 29, 0, 1, 2, 3, 20, 21, 8, 4, 5, 6, 7, 9, 10, 14, 15, 16, 18, 11, 17, 19, 12, 13, 24, 25, 22, 23};
const QList<int> kStandardOrder = {26, 27, 28, 29, 0, 1, 2, 3, 12, 13, 8, 4, 5, 6, 7, 9, 10, 14, 15, 16, 18, 11, 17, 19, 20, 21, 24, 25, 22, 23};

// One matrix_hp byte's parts.
int gainCode(std::uint8_t b) { return b & 0x3F; }
int panOf(std::uint8_t b) { return (b >> 6 & 1) | (b >> 7 & 1) << 1; }

} // namespace

class HeadphonePagesTest : public QObject
{
    Q_OBJECT
    UnitSimulator unit;
    QPravikHeadphoneSlotPage* slotPages[2] = {};
    QPravikHeadphoneMirrorPage* mirrorPages[2] = {};
    TMatrixSettings* matrix = frontPanelMatrixSettings();
    TComDevice* device = frontPanelDevice();

    QList<QPravikHeadphoneWidget*> pages() const
    {
        return {slotPages[0], slotPages[1], mirrorPages[0], mirrorPages[1]};
    }

    // What the panel does after a login: refresh, then the device, audio and
    // matrix loads, with the unit's answers.
    void login(const QByteArray& options, int mode, const QByteArray& matrixValues = "matrix_opt:20000000;",
               const QByteArray& audioValues = "auxiliary_board:yes;")
    {
        for (QPravikHeadphoneWidget* page : pages())
            page->refresh();
        unit.onRequest("PARAM;target:general;LIST:device_opts;", {UnitSimulator::reply("PARAM;device_opts:" + options + ";return:OK;")}, 1);
        QVERIFY(device->loadDeviceOptions());
        device->setOperationMode(mode, false);
        emit device->deviceStateChanged(TComDevice::Loaded);
        unit.onRequestMatching(QRegularExpression("GET:matrix_in1;"), {UnitSimulator::reply("PARAM;" + matrixValues + "return:OK;")}, 1);
        QVERIFY(matrix->load(true));
        unit.onRequestMatching(QRegularExpression("GET:auxiliary_board;"), {UnitSimulator::reply("PARAM;" + audioValues + "return:OK;")}, 1);
        QVERIFY(frontPanelAudioSettings()->load(true));
        unit.clearReceived();
    }

    // The matrix_hp frames of a pair sent since the last call, decoded.
    QList<Bytes> headphoneFrames(int pair, QByteArrayList* others = nullptr)
    {
        QList<Bytes> frames;
        const QRegularExpression key(QString("^PARAM;matrix_hp%1:([0-9A-F]+);target:audio;$").arg(pair + 1));
        for (const SimFrame& f : unit.requests()) {
            const auto match = key.match(QString::fromLatin1(f.body));
            Bytes bytes{};
            if (match.hasMatch() && matrixwire::decodeHeadphone(pair, match.captured(1).toStdString(), bytes) > 0)
                frames << bytes;
            else if (others)
                *others << f.body;
        }
        unit.clearReceived();
        return frames;
    }

    // Inputs of the shown strips, top row first.
    static QList<int> shownOrder(QPravikHeadphoneWidget* page)
    {
        QList<QPravikAudioBase*> shown;
        for (QPravikAudioBase* s : page->findChildren<QPravikAudioBase*>(QString(), Qt::FindDirectChildrenOnly))
            if (s->isVisibleTo(page) && !qobject_cast<QPravikAudioButton*>(s))
                shown << s;
        std::sort(shown.begin(), shown.end(), [](auto* a, auto* b) { return qMakePair(a->y(), a->x()) < qMakePair(b->y(), b->x()); });
        QList<int> inputs;
        for (auto* s : shown)
            inputs << s->input();
        return inputs;
    }

    template <class Popup>
    Popup* openPopup(QWidget* page)
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return page->findChild<Popup*>();
    }

private slots:
    void initTestCase()
    {
        unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
        QVERIFY(unit.listen() && frontPanelCom()->connectToUnit("127.0.0.1", unit.port(), 0));
        QVERIFY(unit.waitUntil([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }));
        // As the panel window builds them: the models' echoes held back.
        const QSignalBlocker m(matrix), a(frontPanelAudioSettings());
        slotPages[0] = new QPravikHeadphone1Page;
        slotPages[1] = new QPravikHeadphone2Page;
        mirrorPages[0] = new QPravikHeadphone3Page;
        mirrorPages[1] = new QPravikHeadphone4Page;
        for (QPravikHeadphoneWidget* page : pages()) {
            page->resize(800, 480);
            page->show();
        }
    }
    void cleanupTestCase() { qDeleteAll(pages()); }

    void swipeStops()
    {
        login("ravenna,hardware_1", 1);
        struct Row {
            int page, startStop;
            QList<int> ys; // press, moves..., release
            int stop, indicatorY;
        };
        const Row rows[] = {
            {0, 1, {300, 291, 280, 280}, 1, 104},      // 9 px ignored; a small drag snaps back
            {0, 1, {300, 240, 230, 230}, 2, 192},      // 64 px or more: the middle of three stops
            {0, 2, {300, 230, 230}, 3, 280},
            {0, 3, {150, 170, 390, 390}, 3, 260},      // left the band: no more following, no snap
            {0, 3, {150, 220, 220}, 2, 192},
            {2, 1, {300, 230, 230}, 3, 280},           // two stops only
            {2, 3, {150, 220, 220}, 1, 104},
        };
        for (const Row& row : rows) {
            QPravikHeadphoneWidget* page = pages()[row.page];
            QCOMPARE(page->scrollStop(), row.startStop);
            QTest::mousePress(page, Qt::LeftButton, {}, QPoint(1, row.ys.first()));
            for (int i = 1; i < row.ys.size() - 1; ++i)
                QTest::mouseMove(page, QPoint(1, row.ys[i]));
            QTest::mouseRelease(page, Qt::LeftButton, {}, QPoint(1, row.ys.last()));
            QCOMPARE(page->scrollStop(), row.stop);
            QCOMPARE(page->scrollIndicator()->y(), row.indicatorY);
        }
        QVERIFY(slotPages[0]->hasThreeStops() && !mirrorPages[0]->hasThreeStops());
    }

    void layoutByStopAndMode()
    {
        struct Row {
            QByteArray options, matrixValues;
            int mode, page, enabled;
        };
        // 12 and 16 strips of position 3 in both modes; 16 of position 1 with its three stops.
        const Row rows[] = {{"hardware_3", "matrix_opt:00000000;", 1, 2, 12},
                            {"hardware_1", "matrix_opt:00000000;", 0, 2, 16},
                            {"hardware_1", "matrix_opt:20000000;", 0, 0, 13}};
        for (const Row& row : rows) {
            login(row.options, row.mode, row.matrixValues);
            QPravikHeadphoneWidget* page = pages()[row.page];
            QList<int> expected;
            for (int input : row.mode ? kExtendedOrder : kStandardOrder) {
                const QPravikAudioBase* s = input >= 26 ? page->sideToneStrip() : page->stripFor(input);
                if (s && s->isEnabledTo(page) && (input < 26 || input == 26 + page->position()))
                    expected << input;
            }
            QCOMPARE(expected.size(), row.enabled);
            const int row1 = page->position() < 2 ? 4 : 6;
            QCOMPARE(shownOrder(page), expected.mid(0, 2 * row1));
            if (page->scrollStop() == 0)
                continue;
            QTest::mousePress(page, Qt::LeftButton, {}, QPoint(1, 300));
            QTest::mouseMove(page, QPoint(1, 230));
            QTest::mouseRelease(page, Qt::LeftButton, {}, QPoint(1, 230));
            QCOMPARE(shownOrder(page), expected.mid(row1, 2 * row1));
        }
        // 19 strips where position 3 has 18 places over its stops: the last stays hidden.
        QPravikHeadphoneWidget* page = mirrorPages[0];
        for (int input : {20, 21})
            page->stripFor(input)->setEnabled(true);
        QTest::mousePress(page, Qt::LeftButton, {}, QPoint(1, 300));
        QTest::mouseMove(page, QPoint(1, 230));
        QCOMPARE(page->scrollStop(), 3);
        QCOMPARE(shownOrder(page).size(), 12);
        QVERIFY(!page->stripFor(21)->isVisibleTo(page));
    }

    void redrawFromMatrix()
    {
        login("ravenna,hardware_1", 1);
        QPravikHeadphoneWidget* page = slotPages[0];
        struct Row {
            QList<QPair<int, int>> cells; // input, pan bits on outputs 2 and 3
            int input, panning;
        };
        const Row rows[] = {{{{8, 1}}, 8, 1},
                            {{{8, 2}}, 8, 2},
                            {{{8, 0}}, 8, 0},
                            {{{20, 1}, {12, 1}, {24, 2}, {19, 2}}, 20, 4}, // the stereo pattern
                            {{{19, 3}}, 20, 1},
                            {{{20, 3}}, 20, 3},
                            {{{3, 2}}, 3, 2}};                             // a slot
        for (const Row& row : rows) {
            const auto snapshot = matrix->headphoneRoute(0);
            for (const auto& cell : row.cells) {
                matrix->setNode(cell.first, 2, cell.second & 1);
                matrix->setNode(cell.first, 3, cell.second & 2);
            }
            matrix->setHeadphoneRoute(0, snapshot);
            const QPravikAudioBase* s = page->stripFor(row.input) ? page->stripFor(row.input) : page->slotFor(row.input);
            QCOMPARE(int(s->panning()), row.panning);
        }
        matrix->setNodeGain(0, 2, -6);
        matrix->setNodeGain(4, 2, -12);
        matrix->setNodeBalance(20, 2, 9);
        QVERIFY(page->sideToneStrip()->gain() == -6 && page->stripFor(4)->gain() == -12 && page->stripFor(20)->balance() == 9);
        // One frame per batch and one for the gain; the redraw wrote nothing back.
        QCOMPARE(headphoneFrames(0).size(), 8);
    }

    void writesOneBatchPerChange()
    {
        login("ravenna,hardware_1", 1);
        auto* program = qobject_cast<QPravikAudioInput*>(slotPages[0]->stripFor(20));
        QTest::mouseClick(&program->knob, Qt::LeftButton);
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(&program->knob, Qt::Key_Plus);
        QList<Bytes> frames = headphoneFrames(0);
        QCOMPARE(frames.size(), 5);
        // Off (-31) and five steps up: -26 dB, code 6, on the four Program inputs.
        for (int input : {20, 12, 24, 19})
            QCOMPARE(gainCode(frames.last()[input]), 6);
        program->setPanning(QPravik::PanStereo);
        frames = headphoneFrames(0);
        QCOMPARE(frames.size(), 1);
        QVERIFY(panOf(frames[0][20]) == 1 && panOf(frames[0][12]) == 1 && panOf(frames[0][24]) == 2 && panOf(frames[0][19]) == 2);

        // The audio popup of a slot: one frame on OK after a change, none on Cancel or an untouched OK.
        QPravikAudioButton* slot = slotPages[0]->slotAt(0);
        matrix->setNodeGain(slot->input(), 2, 20), matrix->setNodeGain(slot->input(), 3, 20), headphoneFrames(0);
        for (const auto& [ok, touched] : {std::pair{false, true}, {true, false}, {true, true}}) {
            slot->rightButtonClicked();
            auto* popup = openPopup<QPravikHeadphoneAudio>(slotPages[0]);
            QVERIFY(popup && slot->isActive());
            if (touched)
                popup->strip->setGain(-9), popup->strip->setPanning(QPravik::PanRight);
            ok ? popup->okClicked() : popup->cancelClicked();
            frames = headphoneFrames(0);
            QCOMPARE(frames.size(), ok && touched ? 1 : 0);
            QCOMPARE(slot->gain(), ok && touched ? -9 : 20);
        }
        QVERIFY(!slot->isActive() && gainCode(frames[0][1]) == 23 && panOf(frames[0][1]) == 2);

        // Position 3 in the standard mode: the Program knob turns input 20 alone.
        login("ravenna,hardware_1", 0);
        mirrorPages[0]->stripFor(20)->setGain(-3);
        frames = headphoneFrames(2);
        QVERIFY(frames.size() == 1 && gainCode(frames[0][20]) == 29 && gainCode(frames[0][12]) == 0);
        // The standard mode took Program and Coord out of every mix, and only them.
        QVERIFY(!matrix->isNodeOn(20, 2) && !matrix->isNodeOn(21, 5) && matrix->isNodeOn(12, 2) && matrix->isNodeOn(13, 9));
    }

    void slotSelection()
    {
        login("ravenna,hardware_1", 1);
        QPravikHeadphoneSlotPage* page = slotPages[0];
        const auto choose = [&](int row, int steps, int panning, bool ok) {
            page->slotAt(row)->buttonClicked();
            auto* popup = openPopup<QPravikHeadphoneSelect>(page);
            for (int i = 0; i < std::abs(steps); ++i)
                QTest::keyClick(popup, steps > 0 ? Qt::Key_Plus : Qt::Key_Minus);
            popup->display->setPanning(QPravik::PanCtrl(panning));
            ok ? popup->okClicked() : popup->cancelClicked();
            return popup->items;
        };
        QByteArrayList others;
        currentAccessLevel = OperatorLevel;
        QCOMPARE(choose(0, 1, 3, true).size(), 1);
        currentAccessLevel = ExpertLevel;
        // The slots and operable strips without balance, in layout order.
        QList<QPair<int, QString>> items = choose(0, 0, 3, false);
        QList<int> inputs;
        for (const auto& item : items)
            inputs << item.first;
        QCOMPARE(inputs, (QList<int>{1, 2, 3, 8, 4, 5, 9, 10, 14, 15, 16, 18, 13})); // AES 1 and 2 greyed: analog

        // The slot's own input: its panning only, no program-output bytes.
        choose(0, 0, 1, true);
        QList<Bytes> frames = headphoneFrames(0, &others);
        QVERIFY(frames.size() == 1 && panOf(frames[0][1]) == 1 && others.isEmpty());
        // Input 8 from its strip: slot and strip swap, the slot shows input 8's gain.
        matrix->setNodeGain(8, 2, -20);
        page->slotAt(0)->setGain(-5);
        choose(0, 3, 2, true);
        QVERIFY(page->slotAt(0)->input() == 8 && page->slotAt(0)->gain() == -20 && page->stripFor(1)->gain() == -5);
        QVERIFY(page->stripFor(1)->panning() == QPravik::PanLeft && headphoneKnobInputs[0] == 8);
        frames = headphoneFrames(0, &others);
        QVERIFY(panOf(frames.last()[8]) == 2 && panOf(frames.last()[1]) == 1);
        QCOMPARE(others, QByteArrayList{"PARAM;matrix_po1:0903040E;target:audio;"});
        // Input 3 from the next slot: the two slots swap.
        others.clear();
        choose(0, -1, 3, true);
        QVERIFY(page->slotAt(0)->input() == 3 && page->slotAt(2)->input() == 8 && headphoneKnobInputs[2] == 8);
        headphoneFrames(0, &others);
        QCOMPARE(others.last(), QByteArray("PARAM;matrix_po1:0403090E;target:audio;"));

        // The extended mode hides Coord return: its slot takes the first operable strip.
        device->setOperationMode(0, false);
        others.clear();
        device->setOperationMode(1, false);
        headphoneFrames(0, &others);
        QVERIFY(page->slotAt(3)->input() == 1 && page->stripFor(13));
        QVERIFY(others.contains("PARAM;matrix_po1:04030902;target:audio;"));
        // A load that moves a slot writes nothing back: slot and strip swap the unit's gains, +20 and -31 dB.
        Bytes cells{};
        cells[3] = 0xC0 | 52, cells[9] = 0xC0 | 1;
        matrix->applyReply({{"matrix_hp1", matrixwire::encodeHeadphone(0, cells, unitFirmwareVersion)},
                            {"matrix_po1", "0A030902"}});
        QVERIFY(page->slotAt(0)->input() == 9 && page->stripFor(3)->gain() == 20 && headphoneFrames(0).isEmpty());
    }

    void copyBetweenPositions()
    {
        login("ravenna,hardware_1", 1);
        QSignalSpy copied(slotPages[0], &QPravikHeadphoneWidget::copySettingsClicked);
        for (int level : {OperatorLevel, ExpertLevel}) {
            currentAccessLevel = level;
            slotPages[0]->copyButton(1)->click();
            auto* box = openPopup<QPravikMessage>(slotPages[0]);
            QCOMPARE(box->message, level == OperatorLevel ? QString("Operator is not allowed to perform this operation")
                                                          : QString("Copy gain and routing settings to position 3?"));
            level == OperatorLevel ? box->button1Clicked() : box->button2Clicked();
        }
        QCOMPARE(copied.size(), 1);
        QCOMPARE(copied[0][0].toInt(), 3);
        // Position 1 has no strip of microphone 1: position 3 takes its side-tone cell.
        matrix->setNodeGain(0, 2, -7);
        slotPages[0]->stripFor(8)->setGain(20); // beyond the knob's range: copied as it is
        mirrorPages[0]->copySettingsTo(slotPages[0]);
        QVERIFY(mirrorPages[0]->stripFor(0)->gain() == -7 && mirrorPages[0]->stripFor(8)->gain() == 20);
        QVERIFY(matrix->nodeGain(8, 6) == 20 && matrix->nodeGain(8, 7) == 20);
        // A target that already copies another output takes nothing.
        matrix->copyOutput(2, 6);
        QCOMPARE(slotPages[0]->copyButton(1)->palette().color(QPalette::Window), QColor(127, 127, 127));
        slotPages[0]->copyButton(1)->click();
        QVERIFY(!openPopup<QPravikMessage>(slotPages[0]));
        matrix->removeOutputCopy(2, 6);
    }

    void mirrorSwitches()
    {
        login("ravenna,hardware_1", 0);
        QPravikHeadphoneMirrorPage* page = mirrorPages[0];
        QByteArrayList sent;
        const auto frames = [&] { sent.clear(); headphoneFrames(2, &sent); return sent; };
        page->mirrorSwitch(1)->click();
        QVERIFY(matrix->copySource(6) == 2 && matrix->copySource(7) == 3 && page->mirroredPosition() == 0);
        QVERIFY(qobject_cast<QPravikAudioInput*>(page->stripFor(0))->state() == 0 && qobject_cast<QPravikAudioInput*>(page->stripFor(8))->state() == 1);
        QCOMPARE(frames(), QByteArrayList{"PARAM;matrix_po3:01000000;target:audio;"});
        page->mirrorSwitch(2)->click();
        QVERIFY(matrix->copySource(6) == 4 && !page->mirrorSwitch(1)->isChecked());
        QCOMPARE(frames(), QByteArrayList{"PARAM;matrix_po3:02000000;target:audio;"});
        // Program monitoring replaces the mirror and gives it back.
        page->mirrorSwitch(3)->click();
        QVERIFY(matrix->copySource(6) == 0 && matrix->copySource(7) == 0 && !page->mirrorSwitch(2)->isEnabled());
        matrix->applyReply({{"matrix_po3", "01000000"}});
        QVERIFY(page->mirrorSwitch(1)->isChecked() && !page->mirrorSwitch(2)->isChecked() && frames().isEmpty());
        QVERIFY(matrix->copySource(6) == 0);
        page->mirrorSwitch(3)->click();
        QVERIFY(matrix->copySource(6) == 2 && matrix->copySource(7) == 3 && page->mirrorSwitch(2)->isEnabled());
        // The unit ends the mirror.
        matrix->applyReply({{"matrix_po3", "00000000"}});
        QVERIFY(!page->mirrorSwitch(1)->isChecked() && !matrix->isOutputCopy(6) && page->mirroredPosition() == -1);
        QVERIFY(qobject_cast<QPravikAudioInput*>(page->stripFor(8))->state() == 0);
        QVERIFY(page->mirrorSwitch(3)->isVisible());
        device->setOperationMode(1, false);
        QVERIFY(!page->mirrorSwitch(3)->isVisible());
    }

    void selectPopupKeys()
    {
        auto* popup = new QPravikHeadphoneSelect;
        QSignalSpy closed(popup, &QPravikPopup::popupClosed);
        for (int input : {4, 5, 6})
            popup->addItem(input, QString("AUX %1").arg(input));
        popup->setCurrent(9);
        QVERIFY(popup->current == -1 && popup->display->text() == "Use encoder");
        popup->setCurrent(6);
        QTest::keyClick(popup, Qt::Key_Plus);
        QVERIFY(popup->current == 0 && popup->display->mode() == 4);
        QWheelEvent down(QPointF(), QPointF(), QPoint(), QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(popup, &down);
        QCOMPARE(popup->display->text(), QString("AUX 6"));
        QList<int> cycle;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(popup, Qt::Key_Return);
            cycle << popup->display->panning();
        }
        QCOMPARE(cycle, (QList<int>{1, 2, 0, 3}));
        popup->cancelClicked();
        QVERIFY(popup->chosenInput == -1 && popup->cancelled == 1 && closed.size() == 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

};

QTEST_MAIN(HeadphonePagesTest)
#include "tst_hppages.moc"
