#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "model/tcomdevice.h"
#include "model/unitfirmware.h"
#include "panel/kit/controls.h"
#include "panel/kit/indicators.h"
#include "panel/kit/slidewidget.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikaudioauxiliarypage.h"
#include "panel/pages/qpravikaudioinputpage.h"
#include "panel/pages/qpravikaudiooutputpage.h"
#include "panel/pages/qpravikaudiopage.h"
#include "tests/support/unitsimulator.h"

#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include <functional>

namespace {

// The operator engages the knob and turns it by steps.
void turn(QPravikKnob* knob, int steps)
{
    knob->setChecked(true);
    for (int i = 0; i < qAbs(steps); ++i) {
        QKeyEvent key(QEvent::KeyPress, steps > 0 ? Qt::Key_Plus : Qt::Key_Minus, Qt::NoModifier);
        QCoreApplication::sendEvent(knob, &key);
    }
}


// Where a widget stands, or that it is hidden.
QString place(const QWidget* w)
{
    return w->isHidden() ? QStringLiteral("hidden") : QStringLiteral("%1,%2").arg(w->x()).arg(w->y());
}

using Places = QList<QPair<QWidget*, const char*>>;

void checkPlaces(const Places& expected, const char* unit)
{
    for (const auto& [widget, where] : expected)
        QVERIFY2(place(widget) == QLatin1String(where),
                 qPrintable(QStringLiteral("%1: %2 at %3").arg(unit, widget->metaObject()->className(), place(widget))));
}

} // namespace

class AudioPagesTest : public QObject
{
    Q_OBJECT
    UnitSimulator unit;
    TAudioSettings* audio = frontPanelAudioSettings();
    TMatrixSettings* matrix = frontPanelMatrixSettings();

    QByteArrayList sent() { return unit.takeRequestBodies(); }
    // What the panel's set-up pass does after a login: the device, then the
    // matrix and the audio settings load.
    bool reconnect(const QByteArray& options, int mode)
    {
        unit.onRequest("PARAM;target:general;LIST:device_opts;",
                       {UnitSimulator::reply("PARAM;device_opts:" + options + ";return:OK;")}, 1);
        TComDevice* device = frontPanelDevice();
        if (!device->loadDeviceOptions() || !device->setOperationMode(mode, false))
            return false;
        emit device->deviceStateChanged(TComDevice::Loaded);
        const bool loaded = matrix->load(false) && audio->load(false);
        unit.clearReceived();
        return loaded;
    }
    static void prepare(QWidget& page)
    {
        page.resize(800, 480);
        page.show();
    }

private slots:
    void initTestCase()
    {
        unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
        QVERIFY(unit.listen() && frontPanelCom()->connectToUnit("127.0.0.1", unit.port(), 0));
        QVERIFY(unit.waitUntil([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }));
        QVERIFY(matrix->load(false) && audio->load(false));
    }
    void init() { unit.clearReceived(); }

    // The operator's turns, switches and renames, each with the keys the unit
    // gets (standard mode, full hardware).
    void operatorWrites()
    {
        QPravikAudioPage overview;
        QPravikAudioInputPage inputs;
        prepare(overview);
        prepare(inputs);
        const auto rename = [&inputs](int row, bool ok) {
            inputs.rows[row].name->click();
            auto* keyboard = inputs.findChild<QPravikVirtual*>();
            QVERIFY(keyboard && keyboard->titleLabel.text() == QStringLiteral("INPUT %1").arg(row + 1));
            keyboard->lineEdit.setText(QStringLiteral("Talk"));
            keyboard->keys[ok ? 31 : 28]->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        const struct
        {
            const char* what;
            std::function<void()> act;
            QByteArrayList keys;
        } rows[] = {
            {"input 1 gain", [&] { turn(overview.input1Knob, 2); },
             {"PARAM;input1_gain:1;target:audio;", "PARAM;input1_gain:2;target:audio;"}},
            {"input 3 level, pad on",
             [&] {
                 audio->setInput3Pad(true, false);
                 turn(overview.input3LevelKnob, 1);
             },
             {"PARAM;input3_level:1;target:audio;"}},
            {"USB gain", [&] { turn(overview.usbKnob, -1); }, {"PARAM;matrix_in9:001F,;target:audio;"}},
            {"program master", [&] { turn(overview.programMasterKnob, -1); },
             {"PARAM;matrix_mgn:7F800000;target:audio;"}},
            {"coord master", [&] { turn(overview.coordMasterKnob, 1); }, {"PARAM;matrix_mgn:7F810000;target:audio;"}},
            {"phantom", [&] { inputs.rows[0].phantom->click(); }, {"PARAM;input1_power:48V;target:audio;"}},
            {"Mic/Line", [&] { inputs.rows[3].micLine->click(); }, {"PARAM;input4_pad:on;target:audio;"}},
            {"route", [&] { inputs.rows[1].programLeft->click(); }, {"PARAM;matrix_in2:00A0,;target:audio;"}},
            {"rename", [&] { rename(2, true); }, {"PARAM;matrix_in3:0020,Talk;target:audio;"}},
            {"cancelled rename", [&] { rename(3, false); }, {}},
        };
        for (const auto& row : rows) {
            row.act();
            const QByteArrayList keys = sent();
            QVERIFY2(keys == row.keys, row.what + QByteArray(": ") + keys.join(' '));
        }
        QCOMPARE(inputs.rows[2].name->text(), QStringLiteral("INPUT 3\nTalk"));
        QVERIFY(overview.input3LevelKnob->isVisible() && !overview.input3GainKnob->isVisible());
    }

    // Values from the unit that a knob cannot show are shown clamped and
    // never written back.
    void modelValuesWriteNothing()
    {
        QPravikAudioPage page;
        prepare(page);
        matrix->applyReply({{"matrix_mgn", "5D7D0000"}, {"matrix_in9", "0000,"}, {"matrix_in5", "003F,"}});
        audio->applyReply({{"input1_gain", "60"}, {"input2_gain", "-3"}});
        QCOMPARE(sent(), QByteArrayList());
        // -35 dB and -3 dB on the standard master scale, -160 and +31 dB on input knobs.
        QVERIFY(page.programMasterKnob->value() == -12 && page.coordMasterKnob->value() == -3);
        QVERIFY(page.usbKnob->value() == -30 && page.aux1Knob->value() == 16);
        QVERIFY(page.input1Knob->value() == 50 && page.input2Knob->value() == 0);
    }

    // Extended mode: the stepped master scale survives reconnects with its
    // five steps; the unit's gains land on the steps whose label or value
    // matches; the operator's steps write their labels' gains; pairs write.
    void masterScaleAndPairs()
    {
        QPravikAudioPage page;
        prepare(page);
        audio->applyReply({{"auxiliary_board", "yes"}});
        for (int i = 0; i < 3; ++i)
            QVERIFY(reconnect("ravenna,hardware_1", 1));
        QVERIFY(page.programMasterKnob->stepCount() == 5 && page.coordMasterKnob->stepCount() == 5);
        QCOMPARE(page.programMasterKnob->minimum(), -17);
        // gain from the unit -> knob value; -13 to -16 dB read as the steps labelled -20 to -50.
        const QList<QPair<int, int>> gains{{-30, -14}, {-120, -17}, {-35, -17}, {-17, -17},
                                           {-13, -13}, {-16, -16}, {5, 5}};
        for (const auto& [gain, value] : gains) {
            const QByteArray byte = QByteArray::number(gain + 128, 16).toUpper().rightJustified(2, '0');
            matrix->applyReply({{"matrix_mgn", (byte + "800000").toStdString()}});
            QCOMPARE(page.programMasterKnob->value(), value);
        }
        QCOMPARE(sent(), QByteArrayList());
        QCOMPARE(page.programMasterKnob->textAt(page.programMasterKnob->indexOfValue(-16)), QStringLiteral("-50"));
        matrix->applyReply({{"matrix_mgn", "744E0000"}}); // -12 dB and -50 dB
        turn(page.programMasterKnob, -3);
        turn(page.coordMasterKnob, -1);
        QCOMPARE(sent(), (QByteArrayList{"PARAM;matrix_mgn:6C4E0000;target:audio;",
                                         "PARAM;matrix_mgn:624E0000;target:audio;",
                                         "PARAM;matrix_mgn:584E0000;target:audio;",
                                         "PARAM;matrix_mgn:58080000;target:audio;"}));
        for (QPravikPair* pair : {page.input12Pair, page.input34Pair, page.auxPairButton, page.ravPairButton}) {
            QVERIFY(pair->isVisible());
            pair->click();
        }
        QVERIFY(!page.aesPairButton->isVisible());
        QCOMPARE(sent(), (QByteArrayList{"PARAM;input2_pair:on;target:audio;", "PARAM;input4_pair:on;target:audio;",
                                         "PARAM;aux_pair:on;target:audio;", "PARAM;rav_in_pair:on;target:audio;"}));
    }

    // The overview page by the unit's options (extended mode), each after a
    // login's refresh: reduced hardware moves AUX 1 and the Ravenna block and
    // hides what it lacks; a Dante module names the block on the next show;
    // without the auxiliary board its inputs and their pairs stay off, while
    // the Ravenna pair and second knob follow the module's own option.
    void overviewByHardware()
    {
        QPravikAudioPage page;
        prepare(page);
        const struct
        {
            QByteArray options;
            const char* board;
            const char* title;
            Places places;
        } units[] = {
            {"ravenna,hardware_1", "yes", "RAVENNA",
             {{page.aux1Knob, "586,171"}, {page.rav1Knob, "250,347"}, {page.aesPairButton, "hidden"}}},
            {"ravenna,ravenna_2,hardware_2", "yes", "DANTE",
             {{page.aux1Knob, "362,171"}, {page.meters[4], "350,167"}, {page.rav1Knob, "26,347"},
              {page.ravPairButton, "100,430"}, {page.usbKnob, "hidden"}, {page.input4GainKnob, "hidden"},
              {page.aesTitle, "hidden"}, {page.input34Pair, "hidden"}, {page.auxPairButton, "hidden"}}},
            {"ravenna,hardware_1", "no", "RAVENNA",
             {{page.input34Pair, "324,125"}, {page.auxPairButton, "hidden"}, {page.ravPairButton, "324,430"}}},
        };
        for (const auto& unit : units) {
            page.refresh();
            audio->applyReply({{"auxiliary_board", unit.board}});
            QVERIFY(reconnect(unit.options, 1));
            page.hide();
            page.show();
            QCOMPARE(page.ravTitle->text(), QString::fromLatin1(unit.title));
            checkPlaces(unit.places, unit.options);
            QVERIFY(page.rav2Knob->isEnabled());
        }
    }

    // The input page's switches and headers by operation mode, pairing and
    // hardware, and the nodes its route switches set.
    void inputPageByModeAndHardware()
    {
        QPravikAudioInputPage page;
        prepare(page);
        QVERIFY(reconnect("ravenna,hardware_1", 0));
        checkPlaces({{page.rows[3].programLeft, "609,336"}, {page.rows[1].programRight, "hidden"},
                     {page.programRightHeader, "hidden"}},
                    "standard");
        QVERIFY(page.programLeftHeader->text() == "Program" && page.rows[2].separators[0]->width() == 390);

        QVERIFY(reconnect("ravenna,hardware_1", 1));
        audio->applyReply({{"input2_pair", "on"}, {"input4_pair", "on"}});
        checkPlaces({{page.rows[0].programLeft, "539,132"}, {page.rows[0].programRight, "hidden"},
                     {page.rows[1].programLeft, "hidden"}, {page.rows[1].programRight, "627,200"},
                     {page.rows[2].programRight, "hidden"}, {page.rows[3].programLeft, "hidden"}},
                    "extended, paired");
        QVERIFY(!page.rows[3].micLine->isEnabled() && page.rows[2].separators[1]->width() == 248);
        page.rows[1].programRight->click();
        page.rows[0].coord->click();
        QCOMPARE(sent(),
                 (QByteArrayList{"PARAM;matrix_in2:0120,;target:audio;", "PARAM;matrix_in1:0060,;target:audio;"}));

        QVERIFY(reconnect("hardware_2", 1));
        checkPlaces({{page.rows[3].name, "hidden"}, {page.rows[3].limiter, "hidden"}}, "reduced");
        page.refresh();
        checkPlaces({{page.rows[3].name, "26,327"}, {page.rows[3].limiter, "250,336"}}, "refreshed");
    }

    // The auxiliary page by hardware, operation mode and pairs, each after a
    // login's refresh: no switch lies on another, extended mode has three rows
    // whatever bit 0x80 says, and reduced hardware moves the Ravenna columns
    // with all their switches next to AUX 1.
    void auxiliaryPageLayouts()
    {
        using P = QPravikAudioAuxiliaryPage;
        P page;
        prepare(page);
        const struct
        {
            QByteArray options;
            int mode;
            const char* name;
            Places places;
        } units[] = {
            {"ravenna,hardware_1", 0, "aux-standard",
             {{page.coord[P::Usb], "43,276"}, {page.programRight[P::Ravenna1], "hidden"}, {page.rowLabels[2], "hidden"}}},
            {"ravenna,hardware_1", 1, "aux-extended-aes-pair",
             {{page.programRight[P::Aes1], "hidden"}, {page.coord[P::Aes1], "349,336"},
              {page.programLeft[P::Aes2], "hidden"}, {page.programRight[P::Aes2], "451,276"},
              {page.programRight[P::Aux1], "145,276"}, {page.rowLabels[2], "734,336"}}},
            {"ravenna,hardware_2", 1, "aux-reduced-extended",
             {{page.nameButtons[P::Usb], "hidden"}, {page.coord[P::Aes2], "hidden"},
              {page.programRight[P::Aux2], "hidden"}, {page.programRight[P::Ravenna1], "247,276"},
              {page.coord[P::Ravenna2], "349,336"}}},
            {"hardware_2", 0, "aux-reduced-standard",
             {{page.coord[P::Ravenna2], "349,276"}, {page.programRight[P::Ravenna2], "hidden"}, {page.rowLabels[2], "hidden"}}},
        };
        audio->applyReply({{"auxiliary_board", "yes"}});
        for (const auto& unit : units) {
            page.refresh();
            QVERIFY(reconnect(unit.options, unit.mode));
            audio->applyReply({{"aes_pair", "on"}});
            checkPlaces(unit.places, unit.name);
            QCOMPARE(page.rowLabels[0]->text(), QString::fromLatin1(unit.mode ? "Prog\nLeft" : "Prog."));
            const bool module = unit.options.startsWith("ravenna");
            QVERIFY(page.nameButtons[P::Ravenna2]->isEnabled() == module);
            QVERIFY(page.coord[P::Ravenna1]->isCheckable() == module);
        }
    }

    // The routes the auxiliary page's switches write per column and mode; a
    // switch of an input the unit lacks neither toggles nor writes, and shows
    // its route again once the input is back.
    void auxiliaryPageWrites()
    {
        using P = QPravikAudioAuxiliaryPage;
        P page;
        prepare(page);
        audio->applyReply({{"auxiliary_board", "yes"}});
        QVERIFY(reconnect("ravenna,hardware_1", 0));
        page.programLeft[P::Usb]->click();
        page.coord[P::Aux2]->click();
        const QByteArrayList standard = sent();
        QVERIFY(reconnect("ravenna,hardware_1", 1));
        page.programRight[P::Ravenna2]->click();
        audio->applyReply({{"input_source", "digital"}});
        page.coord[P::Aes1]->click();
        QVERIFY(!page.coord[P::Aux2]->isEnabled());
        QCOMPARE(standard + sent(),
                 (QByteArrayList{"PARAM;matrix_in9:00A0,;target:audio;", "PARAM;matrix_in6:0060,;target:audio;",
                                 "PARAM;matrix_in11:0120,;target:audio;", "PARAM;matrix_in7:0060,;target:audio;"}));
        QVERIFY(reconnect("hardware_1", 1));
        matrix->applyReply({{"matrix_in10", "00C0,"}});
        page.programLeft[P::Ravenna1]->click();
        QVERIFY(sent().isEmpty() && matrix->isNodeOn(9, 0) && !page.programLeft[P::Ravenna1]->isChecked());
        page.refresh();
        QVERIFY(page.programLeft[P::Ravenna1]->isChecked() && page.coord[P::Ravenna1]->isChecked());
    }

    // The output table by firmware, hardware and auxiliary board (extended
    // mode): LINE 2 with the board and bit 0x80, the headphone-4 column above
    // 1.13.255 with everything right of it moving in without it, grey Ravenna
    // rows without the module or the board.
    void outputPageLayouts()
    {
        using P = QPravikAudioOutputPage;
        P page;
        prepare(page);
        const struct
        {
            QByteArray options;
            const char* board;
            std::uint32_t firmware;
            int width;
            const char* name;
            Places places;
        } units[] = {
            {"ravenna,hardware_1", "yes", 0x10E00, 758, "output-full",
             {{page.rows[P::Line1].label, "640,82"}, {page.rows[P::Line2].switches[P::Headphone4], "550,167"}}},
            {"ravenna,hardware_1", "yes", 0x10DFF, 652, "output-no-headphone4",
             {{page.rows[P::Line1].label, "534,82"}, {page.rows[P::Line2].switches[P::Headphone4], "hidden"},
              {page.headphoneHeader, "hidden"}}},
            {"ravenna,hardware_2", "yes", 0x10E00, 652, "output-reduced",
             {{page.rows[P::Usb].label, "hidden"}, {page.rows[P::Line2].label, "hidden"},
              {page.rows[P::Ravenna1].switches[P::Coord], "444,139"}, {page.linePair, "514,122"}}},
            {"hardware_1", "yes", 0x10E00, 758, "output-no-module", {{page.networkPair, "hidden"}}},
            {"ravenna,hardware_1", "no", 0x10E00, 758, "output-no-board",
             {{page.rows[P::Line2].label, "hidden"}, {page.rows[P::Ravenna2].label, "640,204"}, {page.networkPair, "620,170"}}},
        };
        for (const auto& unit : units) {
            unitFirmwareVersion = unit.firmware;
            page.refresh();
            audio->applyReply({{"auxiliary_board", unit.board}});
            QVERIFY(reconnect(unit.options, 1));
            checkPlaces(unit.places, unit.name);
            QCOMPARE(page.scrollArea->width(), unit.width);
            const bool ravenna = unit.options.startsWith("ravenna") && QByteArray(unit.board) == "yes";
            QCOMPARE(page.rows[P::Ravenna1].switches[P::Program]->isCheckable(), ravenna);
        }
        unitFirmwareVersion = 0xFFFFFF;
    }

    // The cells the output switches write in each mode, and show after a
    // reload and a change of mode; line levels set the outputs' matrix gains;
    // a linked LINE 2 rests.
    void outputPageWrites()
    {
        using P = QPravikAudioOutputPage;
        P page;
        prepare(page);
        audio->applyReply({{"auxiliary_board", "yes"}});
        QVERIFY(reconnect("ravenna,hardware_1", 0));
        page.rows[P::Line2].switches[P::Program]->click();
        page.rows[P::Usb].switches[P::CoordReturn]->click();
        page.rows[P::Line1].switches[P::Headphone4]->click();
        const QByteArrayList standard = sent();
        QVERIFY(reconnect("ravenna,hardware_1", 1));
        QVERIFY(!page.rows[P::Line2].switches[P::Program]->isChecked());
        page.rows[P::Line2].switches[P::Program]->click();
        page.rows[P::Ravenna2].switches[P::ProgramReturn]->click();
        page.rows[P::Ravenna2].switches[P::Headphone4]->click();
        QCOMPARE(standard + sent(),
                 (QByteArrayList{"PARAM;matrix_ou15:01;target:audio;", "PARAM;matrix_ou12:08;target:audio;",
                                 "PARAM;matrix_ou11:10;target:audio;", "PARAM;matrix_ou15:40;target:audio;",
                                 "PARAM;matrix_ou14:80;target:audio;", "PARAM;matrix_ou14:A0;target:audio;"}));

        unit.onRequestMatching(QRegularExpression("GET:matrix_in1;"),
                               {UnitSimulator::reply("PARAM;matrix_ou15:41;matrix_ou14:80;return:OK;")}, 1);
        QVERIFY(matrix->load(true));
        unit.clearReceived();
        const auto shown = [&page](P::Row r, P::Column c) { return page.rows[r].switches[c]->isChecked(); };
        QVERIFY(shown(P::Line2, P::Program) && shown(P::Ravenna2, P::ProgramReturn) && !shown(P::Ravenna2, P::Program));
        QVERIFY(frontPanelDevice()->setOperationMode(0, false));
        QVERIFY(shown(P::Line2, P::Program) && !shown(P::Ravenna2, P::ProgramReturn));

        for (const auto& [level, gain] : QList<QPair<int, float>>{{16, -6}, {22, 0}, {4, -18}}) {
            const std::string text = std::to_string(level);
            audio->applyReply({{"line_output_level", text}, {"line_output2_level", text}});
            QVERIFY(matrix->outputGain(10) == gain && matrix->outputGain(14) == gain);
            QVERIFY(page.rows[P::Line1].level->value() == level && page.rows[P::Line2].level->value() == level);
        }
        turn(page.rows[P::Line1].level, 1);
        QVERIFY(frontPanelDevice()->setOperationMode(1, false));
        page.linePair->click();
        QCOMPARE(sent(),
                 (QByteArrayList{"PARAM;line_output_level:5;target:audio;", "PARAM;line_pair:on;target:audio;"}));
        QVERIFY(matrix->outputGain(10) == -17 && !page.rows[P::Line2].level->isEnabled());
        QVERIFY(!page.rows[P::Line2].switches[P::Coord]->isEnabled() && page.rows[P::Line2].marker->isVisible());
        QScrollBar* bar = page.scrollArea->verticalScrollBar();
        bar->setValue(bar->maximum());
    }
};

QTEST_MAIN(AudioPagesTest)
#include "tst_audiopages.moc"
