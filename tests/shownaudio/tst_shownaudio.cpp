#include "tests/support/panelfixture.h"
#include "tests/support/testrows.h"

#include "panel/kit/statuspanel.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikaudioauxiliarypage.h"
#include "panel/pages/qpravikaudioinputpage.h"
#include "panel/pages/qpravikaudiooutputpage.h"

#include <QTest>

#include <algorithm>
#include <functional>

namespace {

// One operator action the unit refuses: its control, the key:value each of
// its writes carries and how many go out, and whether control and model
// show the unit's value.
struct Refusal
{
    const char* what;
    QWidget* control;
    QByteArray sent;
    int writes;
    std::function<void()> act;
    std::function<bool()> atUnitValue;
};

// Each step of a refused knob sends the same value: the knob went back.
Refusal knob(const char* what, QPravikKnob* knob, int steps, const char* sent, const std::function<double()>& model)
{
    const int shown = knob->value();
    const double value = model();
    return {what, knob, sent, qAbs(steps), [knob, steps] { PanelFixture::turn(knob, steps); },
            [=] { return knob->value() == shown && model() == value; }};
}

Refusal click(const char* what, QAbstractButton* button, const char* sent, const std::function<bool()>& model)
{
    const bool checked = button->isChecked();
    return {what, button, sent, 1, [button] { button->click(); },
            [=] { return button->isChecked() == checked && model() == checked; }};
}

Refusal route(const char* what, QAbstractButton* button, const char* sent, int input, int output)
{
    return click(what, button, sent, [=] { return frontPanelMatrixSettings()->isNodeOn(input, output); });
}

// "mic" typed on the rename keyboard and confirmed.
Refusal rename(const char* what, QWidget* page, QPravikButton* button, const char* sent, int input)
{
    const QString label = button->text();
    const QString name = frontPanelMatrixSettings()->inputName(input);
    const auto type = [page, button] {
        button->click();
        auto* keyboard = page->findChild<QPravikVirtual*>();
        QVERIFY(keyboard && keyboard->isVisible());
        keyboard->lineEdit.clear();
        for (const char* text : {"m", "i", "c", "OK"})
            for (QPravikButton* key : keyboard->keys)
                if (key->text() == QLatin1String(text))
                    key->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    return {what, button, sent, 1, type,
            [=] { return button->text() == label && frontPanelMatrixSettings()->inputName(input) == name; }};
}

template <class P>
P* shown(PanelFixture& panel, QPravik::Page page)
{
    return static_cast<P*>(panel.window->pageWidget(page));
}

QList<Refusal> overviewRefusals(PanelFixture& panel)
{
    auto* page = shown<QPravikAudioPage>(panel, QPravik::PageAudio);
    const TAudioSettings* a = frontPanelAudioSettings();
    const TMatrixSettings* m = frontPanelMatrixSettings();
    return {knob("input 1", page->input1Knob, 2, "input1_gain:11", [a] { return a->input1Gain(); }),
            knob("input 3 level", page->input3LevelKnob, 1, "input3_level:-4", [a] { return a->input3Level(); }),
            knob("input 4 gain", page->input4GainKnob, -2, "input4_gain:29", [a] { return a->input4Gain(); }),
            knob("AUX 2", page->aux2Knob, -1, "matrix_in6:001F,", [m] { return m->inputGain(5); }),
            // Program left and right are one byte of the word: one write a step.
            knob("Program master", page->programMasterKnob, 2, "matrix_mgn:7B800000",
                 [m] { return m->outputGain(0) + m->outputGain(18); }),
            knob("Coord. master", page->coordMasterKnob, 1, "matrix_mgn:7A810000", [m] { return m->outputGain(1); }),
            click("inputs 3+4", page->input34Pair, "input4_pair:on", [a] { return a->input4Pair(); }),
            click("network pair", page->ravPairButton, "rav_in_pair:on", [a] { return a->ravInPair(); })};
}

QList<Refusal> inputRefusals(PanelFixture& panel)
{
    auto* page = shown<QPravikAudioInputPage>(panel, QPravik::PageAudioInput);
    const TAudioSettings* a = frontPanelAudioSettings();
    return {click("phantom 1", page->rows[0].phantom, "input1_power:48V", [a] { return a->input1Power(); }),
            click("Mic/Line 3", page->rows[2].micLine, "input3_pad:off", [a] { return a->input3Pad(); }),
            route("input 2 Program right", page->rows[1].programRight, "matrix_in2:0120,", 1, 18),
            rename("input 2 name", page, page->rows[1].name, "matrix_in2:0020,mic", 1)};
}

QList<Refusal> auxiliaryRefusals(PanelFixture& panel)
{
    using P = QPravikAudioAuxiliaryPage;
    auto* page = shown<P>(panel, QPravik::PageAudioAuxiliary);
    return {route("network 1 Coord.", page->coord[P::Ravenna1], "matrix_in10:0060,", 9, 1),
            rename("AUX 1 name", page, page->nameButtons[P::Aux1], "matrix_in5:0020,mic", 4)};
}

QList<Refusal> outputRefusals(PanelFixture& panel)
{
    using P = QPravikAudioOutputPage;
    auto* page = shown<P>(panel, QPravik::PageAudioOutput);
    const TAudioSettings* a = frontPanelAudioSettings();
    return {knob("LINE 2 level", page->rows[P::Line2].level, 3, "line_output2_level:17",
                 [a] { return a->lineOutput2Level(); }),
            click("line pair", page->linePair, "line_pair:on", [a] { return a->linePair(); }),
            route("LINE 2 Coord.", page->rows[P::Line2].switches[P::Coord], "matrix_ou15:02", 21, 14)};
}

QList<Refusal> mainRefusals(PanelFixture& panel)
{
    QPravikButton* lamp = panel.window->mainPage()->statusPanel->soundId;
    const TAudioSettings* a = frontPanelAudioSettings();
    return {{"sound ID", lamp, "wave_file:/mnt/datax/sound_ID.wav", 1, [lamp] { lamp->click(); },
             [a, lamp] { return a->waveFile().empty() && lamp->isVisible(); }}};
}

const struct
{
    const char* name;
    QPravik::Page page;
    QList<Refusal> (*refusals)(PanelFixture&);
} refusalPages[] = {{"overview", QPravik::PageAudio, overviewRefusals},
                    {"input", QPravik::PageAudioInput, inputRefusals},
                    {"auxiliary", QPravik::PageAudioAuxiliary, auxiliaryRefusals},
                    {"output", QPravik::PageAudioOutput, outputRefusals},
                    {"main sound ID", QPravik::PageMain, mainRefusals}};

// A unit in extended mode (on firmware that has it) offering every input
// and output of the pages.
void extendedUnit(PanelFixture& panel)
{
    panel.deviceValues.replace("operation_mode:standard", "operation_mode:extended");
    panel.audioValues = "auxiliary_board:yes;input_source:analog;input1_gain:10;input3_pad:on;input3_level:-5;"
                        "input4_gain:30;line_output2_level:16;wave_scut:on;";
    panel.matrixValues = "matrix_opt:00000000;matrix_mgn:7A800000;";
}

} // namespace

// The audio pages as the operator meets them on the shown window after a
// login, with a unit that refuses writes.
class ShownAudioTest : public QObject
{
    Q_OBJECT

private slots:
    void refusedKnob()
    {
        PanelFixture panel;
        panel.audioValues = "auxiliary_board:yes;input1_gain:10;";
        QVERIFY(panel.login());
        QVERIFY(panel.open(QPravik::PageAudio));
        auto* page = static_cast<QPravikAudioPage*>(panel.window->pageWidget(QPravik::PageAudio));
        QCOMPARE(page->input1Knob->value(), 10);
        panel.refuse("input1_gain", -1);
        PanelFixture::turn(page->input1Knob, 3);
        QCOMPARE(frontPanelAudioSettings()->input1Gain(), 10);
        QCOMPARE(page->input1Knob->value(), 10);
        QCOMPARE(panel.openMessages().size(), 1);
        QCOMPARE(panel.shownMessage(), QString("Failed to apply changes!"));
        QCOMPARE(panel.takeWrites().size(), 3);
    }

    // Each of the page's writes refused in turn: the control and the model
    // stay at the unit's value, one message says so, and only the action's
    // own writes went out; leaving the page and coming back changes nothing.
    void refusedWrites_data() { indexRows(refusalPages); }
    void refusedWrites()
    {
        QFETCH(int, row);
        const auto& tested = refusalPages[row];
        PanelFixture panel;
        extendedUnit(panel);
        QVERIFY(panel.login() && panel.open(tested.page));
        const QList<Refusal> refusals = tested.refusals(panel);
        for (const Refusal& refusal : refusals) {
            QVERIFY2(refusal.control->isVisible() && refusal.control->isEnabled(), refusal.what);
            QVERIFY2(refusal.atUnitValue(), refusal.what);
            panel.refuse(refusal.sent.left(refusal.sent.indexOf(':')), refusal.writes);
            refusal.act();
            QVERIFY2(refusal.atUnitValue(), refusal.what);
            const QByteArrayList writes = panel.takeWrites();
            const auto carries = [&refusal](const QByteArray& body) { return body.contains(";" + refusal.sent + ";"); };
            QVERIFY2(writes.size() == refusal.writes && std::all_of(writes.begin(), writes.end(), carries),
                     refusal.what + QByteArray(": ") + writes.join(' '));
            QVERIFY2(panel.openMessages().size() == 1 && panel.shownMessage() == "Failed to apply changes!",
                     refusal.what);
            panel.closeMessages();
        }
        QVERIFY(panel.open(tested.page == QPravik::PageMain ? QPravik::PageAudio : QPravik::PageMain));
        QVERIFY(panel.open(tested.page));
        for (const Refusal& refusal : refusals)
            QVERIFY2(refusal.atUnitValue(), refusal.what);
        QCOMPARE(panel.takeWrites(), QByteArrayList());
        QVERIFY(panel.openMessages().isEmpty());
    }

    // Refused master steps, then the link drops and the operator logs in
    // again: every knob of the page shows the unit's value.
    void masterGainsAfterNewLogin()
    {
        PanelFixture panel;
        extendedUnit(panel);
        QVERIFY(panel.login() && panel.open(QPravik::PageAudio));
        auto* page = shown<QPravikAudioPage>(panel, QPravik::PageAudio);
        panel.refuse("matrix_mgn", -1);
        PanelFixture::turn(page->programMasterKnob, 1);
        PanelFixture::turn(page->coordMasterKnob, 1);
        panel.closeMessages();
        QVERIFY(panel.loginAgain() && panel.open(QPravik::PageAudio));
        const TMatrixSettings* m = frontPanelMatrixSettings();
        QVERIFY(m->outputGain(0) == -6 && m->outputGain(18) == -6 && m->outputGain(1) == 0);
        const QList<QPair<QPravikKnob*, int>> knobs = {{page->programMasterKnob, -6}, {page->coordMasterKnob, 0},
                                                       {page->input1Knob, 10}, {page->input3LevelKnob, -5},
                                                       {page->input4GainKnob, 30}, {page->usbKnob, 0}};
        for (const auto& [knob, value] : knobs)
            QCOMPARE(knob->value(), value);
        QCOMPARE(panel.takeWrites(), QByteArrayList());
    }

    // Firmware without the master gains word offers no master knob.
    void mastersOnOldFirmware()
    {
        PanelFixture panel("1.5.9");
        QVERIFY(panel.login() && panel.open(QPravik::PageAudio));
        auto* page = shown<QPravikAudioPage>(panel, QPravik::PageAudio);
        QVERIFY(!page->programMasterKnob->isEnabled() && !page->coordMasterKnob->isEnabled());
        PanelFixture::turn(page->programMasterKnob, 1);
        QVERIFY(page->programMasterKnob->value() == 0 && frontPanelMatrixSettings()->outputGain(0) == 0);
        QCOMPARE(panel.takeWrites(), QByteArrayList());
    }

    // A control whose key the unit's firmware does not take is not offered,
    // also after the line pairing changes (1.x has no extended mode: the
    // unit reports the pairing; 2.x pairs in extended mode); touched anyway,
    // it sends and stores nothing. A newer firmware offers it.
    void gatedControls_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<int>("control"); // -1 the LINE 2 knob, else a LINE 2 switch column
        const char* const columns[] = {"Program", "Coord.", "Program return", "Coord. return"};
        for (const QByteArray version : {"1.6.5", "2.0.9"}) {
            QTest::newRow(version + " LINE 2 level") << version << -1;
            for (int c = 0; c < 4; ++c)
                QTest::newRow(version + " LINE 2 " + columns[c]) << version << c;
        }
    }
    void gatedControls()
    {
        using P = QPravikAudioOutputPage;
        QFETCH(QByteArray, version);
        QFETCH(int, control);
        const bool offered = version.startsWith('2');
        PanelFixture panel(version);
        extendedUnit(panel);
        QVERIFY(panel.login() && panel.open(QPravik::PageAudioOutput));
        auto* page = shown<P>(panel, QPravik::PageAudioOutput);
        const P::OutputRow& line2 = page->rows[P::Line2];
        QWidget* widget = control < 0 ? static_cast<QWidget*>(line2.level) : line2.switches[control];
        QVERIFY(widget->isVisible());
        QCOMPARE(widget->isEnabled(), offered);
        const TAudioSettings* a = frontPanelAudioSettings();
        QCOMPARE(page->linePair->isVisible(), offered);
        if (offered) {
            page->linePair->click();
            QVERIFY(!widget->isEnabled());
            page->linePair->click();
            QCOMPARE(panel.takeWrites(), (QByteArrayList{"PARAM;line_pair:on;target:audio;",
                                                         "PARAM;line_pair:off;target:audio;"}));
        } else {
            for (const bool paired : {true, false}) {
                panel.unit.pushSignal("INFO;info_type:audio_changeset;info_source:aic;line_pair:"
                                      + QByteArray(paired ? "on;" : "off;"));
                QVERIFY(panel.unit.waitUntil([a, paired] { return a->linePair() == paired; }));
            }
        }
        QCOMPARE(widget->isEnabled(), offered);
        if (offered)
            return;

        const TMatrixSettings* m = frontPanelMatrixSettings();
        if (control < 0) {
            PanelFixture::turn(line2.level, 2);
            QVERIFY(line2.level->value() == 16 && a->lineOutput2Level() == 16);
        } else {
            // The cells of the switches in standard mode.
            const int inputs[] = {QPravik::InputProgram, QPravik::InputCoord, QPravik::InputProgramReturn,
                                  QPravik::InputCoordReturn};
            line2.switches[control]->click();
            QVERIFY(!line2.switches[control]->isChecked() && !m->isNodeOn(inputs[control], QPravik::Output14));
        }
        QCOMPARE(panel.takeWrites(), QByteArrayList());
        QVERIFY(panel.openMessages().isEmpty());
    }
};

QTEST_MAIN(ShownAudioTest)
#include "tst_shownaudio.moc"
