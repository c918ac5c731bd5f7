#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "model/tcomdevice.h"
#include "panel/kit/controls.h"
#include "panel/kit/indicators.h"
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

    QByteArrayList sent() { return unit.takeRequestBodies(); }
    // What the panel's set-up pass does after a login: the device, then the
    // matrix and the audio settings load.
    bool reconnect(const QByteArray& options, int mode)
    {
        unit.onRequest("PARAM;target:general;LIST:device_opts;",
                       {UnitSimulator::reply("PARAM;device_opts:" + options + ";return:OK;")}, 1);
        if (!loadDevice(frontPanelDevice(), mode, 0))
            return false;
        emit frontPanelDevice()->deviceStateChanged(TComDevice::Loaded);
        const bool loaded = matrix->load(false) && audio->load(false);
        unit.clearReceived();
        return loaded;
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
        snapshot(&page, "overview-extended");
    }

    // The overview page by the unit's options (extended mode), each after a
    // login's refresh: reduced hardware moves AUX 1 and the Ravenna block and
    // hides what it lacks; a Dante module names the block on the next show;
    // without the auxiliary board its inputs and their pairs stay off.
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
             {{page.aux1Knob, "586,171"}, {page.meters[4], "574,167"}, {page.rav1Knob, "250,347"},
              {page.rav2Knob, "362,347"}, {page.ravPairButton, "324,430"}, {page.usbKnob, "474,171"},
              {page.input34Pair, "324,125"}, {page.auxPairButton, "660,125"}, {page.aesPairButton, "hidden"}}},
            {"ravenna,ravenna_2,hardware_2", "yes", "DANTE",
             {{page.aux1Knob, "362,171"}, {page.aux1Label, "362,139"}, {page.meters[4], "350,167"},
              {page.ravTitle, "26,315"}, {page.rav1Knob, "26,347"}, {page.rav2Label, "138,432"},
              {page.meters[10], "126,343"}, {page.ravPairButton, "100,430"}, {page.input12Pair, "100,125"},
              {page.usbKnob, "hidden"}, {page.input4GainKnob, "hidden"}, {page.aesTitle, "hidden"},
              {page.input34Pair, "hidden"}, {page.auxPairButton, "hidden"}}},
            {"ravenna,hardware_1", "no", "RAVENNA",
             {{page.aux1Knob, "586,171"}, {page.rav1Knob, "250,347"}, {page.meters[9], "238,343"},
              {page.input34Pair, "324,125"}, {page.auxPairButton, "hidden"}, {page.ravPairButton, "hidden"}}},
        };
        for (const auto& unit : units) {
            page.refresh();
            audio->applyReply({{"auxiliary_board", unit.board}});
            if (!reconnect(unit.options, 1))
                QSKIP("the device model does not read the unit's options yet");
            page.hide();
            page.show();
            QCOMPARE(page.ravTitle->text(), QString::fromLatin1(unit.title));
            checkPlaces(unit.places, unit.options);
            QCOMPARE(page.rav2Knob->isEnabled(), QByteArray(unit.board) == "yes");
            snapshot(&page, "overview-" + QString::fromLatin1(unit.options).replace(',', '-') + unit.board);
        }
    }

    // The input page's switches and headers by operation mode, pairing and
    // hardware, and the nodes its route switches set.
    void inputPageByModeAndHardware()
    {
        QPravikAudioInputPage page;
        prepare(page);
        if (!reconnect("ravenna,hardware_1", 0))
            QSKIP("the device model does not read the unit's options yet");
        checkPlaces({{page.rows[0].limiter, "268,132"}, {page.rows[2].micLine, "374,268"},
                     {page.rows[3].programLeft, "609,336"}, {page.rows[1].programRight, "hidden"},
                     {page.programLeftHeader, "586,90"}, {page.programRightHeader, "hidden"},
                     {page.rows[1].separators[1], "603,183"}},
                    "standard");
        QVERIFY(page.programLeftHeader->text() == "Program" && page.rows[2].separators[0]->width() == 390);
        snapshot(&page, "input-standard-loaded");

        QVERIFY(reconnect("ravenna,hardware_1", 1));
        audio->applyReply({{"input2_pair", "on"}, {"input4_pair", "on"}});
        checkPlaces({{page.rows[0].limiter, "250,132"}, {page.rows[2].micLine, "338,268"},
                     {page.rows[0].programLeft, "539,132"}, {page.rows[0].programRight, "hidden"},
                     {page.rows[1].programLeft, "hidden"}, {page.rows[1].programRight, "627,200"},
                     {page.rows[2].programRight, "hidden"}, {page.rows[3].programLeft, "hidden"},
                     {page.programLeftHeader, "516,90"}, {page.programRightHeader, "604,90"}},
                    "extended, paired");
        QVERIFY(!page.rows[3].micLine->isEnabled() && page.rows[2].separators[1]->width() == 248);
        page.rows[1].programRight->click();
        page.rows[0].coord->click();
        QCOMPARE(sent(),
                 (QByteArrayList{"PARAM;matrix_in2:0120,;target:audio;", "PARAM;matrix_in1:0060,;target:audio;"}));
        snapshot(&page, "input-extended-paired");

        QVERIFY(reconnect("hardware_2", 1));
        checkPlaces({{page.rows[3].name, "hidden"}, {page.rows[3].limiter, "hidden"},
                     {page.rows[3].programLeft, "hidden"}, {page.rows[3].programRight, "hidden"}},
                    "reduced");
        page.refresh();
        checkPlaces({{page.rows[3].name, "26,327"}, {page.rows[3].limiter, "250,336"}}, "refreshed");
    }
};

QTEST_MAIN(AudioPagesTest)
#include "tst_audiopages.moc"
