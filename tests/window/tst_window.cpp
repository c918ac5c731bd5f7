#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/tokencodec.h"
#include "audio/tmatrixsettings.h"
#include "model/locale.h"
#include "model/tcomaudioconnection.h"
#include "model/tcomdevice.h"
#include "model/tcomrequesthelper.h"
#include "model/unitfirmware.h"
#include "panel/kit/connpanel.h"
#include "panel/kit/controls.h"
#include "panel/kit/popup.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikconnectionpage.h"
#include "panel/pages/qpravikloginpage.h"
#include "panel/pages/qpravikwindow.h"
#include "panel/settings/qpraviksettingspage.h"
#include "tests/support/testrows.h"
#include "tests/support/unitsimulator.h"

namespace {

const QByteArray kIdentity = "PARAM;target:general;GET:device;GET:version;GET:builddate;";

// What the scripted unit answers to the device's reads: Ethernet, AoIP,
// no AES67 reset pending.
const QByteArray kDeviceValues = "PARAM;aoip_version:2.1;sip_state:registered;sip_state2:unregistered;"
                                 "default_network:eth.0;secondary_network:eth.0;cable:yes;"
                                 "codec_mode:cmode_normal;coord_mode:disabled;codec:OPUS/48000/stereo/128000;"
                                 "dcodec_1:;dcodec_2:;operation_mode:standard;dstream_mode:disabled;"
                                 "aes67_reset:off;return:OK;";

QByteArrayList bodiesMatching(const UnitSimulator& unit, const QRegularExpression& pattern)
{
    QByteArrayList bodies = unit.requestBodies();
    bodies.removeIf([&](const QByteArray& body) { return !pattern.match(QString::fromLatin1(body)).hasMatch(); });
    return bodies;
}

QByteArray token(const char* clear)
{
    char* out = nullptr;
    const int length = encryptToken(clear, int(std::strlen(clear)), &out);
    QByteArray text(out, length);
    std::free(out);
    return text;
}

// How long a test waits for what it checks: generous, since a busy machine
// may take long, and a wait ends as soon as its condition holds.
constexpr int kWaitMs = 30000;

// A call the unit answers late, when scripted to.
bool sendSlow()
{
    TCommand request(TCommand::Param);
    request.setParam("target", "slow");
    request.setParam("x", "1");
    return TComRequestHelper(frontPanelCom()).send(request, kWaitMs);
}

// The unit's name (empty: the link is down), version and passwords (null: the
// read fails); the level chosen, the text typed (null: no keyboard expected; "-":
// cancelled; "~": the link drops first), the message and the firmware word
// (logged in unless a message shows).
struct LoginRow
{
    const char* name;
    QByteArray device, version, passwords;
    int level;
    QString typed, message;
    uint firmware;
};

const std::vector<LoginRow>& loginRows()
{
    static const QByteArray all = "password_al:" + token("admin") + ";password_el:" + token("expert")
                                  + ";password_ol:" + token("op") + ";";
    static const QByteArray none = "password_el:;";
    static const QString newer = "Newer firmware detected on this\nunit (Version %1)\n\nAn update of the "
                                 "\"Kandelo\" application is recommended to access all the features of the device";
    static const std::vector<LoginRow> rows = {
        {"link down", "", "2.0.9", none, 0, {}, "Not connected!", 0xFFFFFF},
        {"device in other case", "Pravik", "2.0.9", none, 0, {}, "Remote device is not\na Velto!", 0xFFFFFF},
        {"2.0.9, no password", "pravik", "2.0.9", none, 2, {}, {}, 0x020009},
        {"2.1.0 warns", "pravik", "2.1.0", none, 1, {}, newer.arg("2.1.0"), 0x020100},
        {"no version", "pravik", QByteArray(), none, 0, {}, {}, 0xFFFFFF},
        {"password read fails", "pravik", "2.0.9", QByteArray(), 2, {}, "Not connected!", 0x020009},
        {"operator", "pravik", "2.0.9", all, 0, "op", {}, 0x020009},
        {"expert", "pravik", "2.0.9", all, 1, "expert", {}, 0x020009},
        {"administrator", "pravik", "2.0.9", all, 2, "admin", {}, 0x020009},
        {"wrong password", "pravik", "2.0.9", all, 2, "expert", "Wrong password!", 0x020009},
        {"empty password", "pravik", "2.0.9", all, 0, "", "Wrong password!", 0x020009},
        {"cancelled", "pravik", "2.0.9", all, 1, "-", {}, 0x020009},
        {"link drops at the keyboard", "pravik", "2.0.9", all, 1, "~expert", {}, 0x020009},
    };
    return rows;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        currentAccessLevel = OperatorLevel;
        unitFirmwareVersion = 0xFFFFFF;
        unit = new UnitSimulator;
        QVERIFY(unit->listen());
        window = new QPravikWindow;
    }

    void cleanup()
    {
        delete window;
        delete unit;
    }

    void settingsMenuRequests()
    {
        connectLink();
        QPravikSettingsPage* settings = window->settingsPage();
        window->pageActivated(QPravik::PageAudioAuxiliary);
        // Closed to the Operator; and with no menu open yet there is nothing to go back to.
        window->pageActivated(QPravik::PageAudioMenu);
        window->pageActivated(QPravik::PageSettings);
        QCOMPARE(window->page(), 5);

        window->pageActivated(QPravik::PageCodingMenu);
        QCOMPARE(window->page(), 11);
        QCOMPARE(settings->currentEntryId, 2);
        QCOMPARE(settings->pendingTarget, 13);
        // Another menu from inside keeps where the menu was entered from.
        currentAccessLevel = ExpertLevel;
        window->pageActivated(QPravik::PageAudioMenu);
        QCOMPARE(settings->currentEntryId, 3);
        QCOMPARE(settings->returnPage, QPravik::PageAudioAuxiliary);

        // Exit goes back there, and leaves no menu to go back to.
        settings->openEntry(0, -1);
        QCOMPARE(window->page(), 5);
        window->pageActivated(QPravik::PageSettings);
        QCOMPARE(window->page(), 5);
    }

    void forwardedKeys()
    {
        connectLink();
        // Reached without a key, so nothing is remembered: the way back is still
        // the main page, never the login page.
        window->pageActivated(QPravik::PageHeadphone3);
        const auto key = [this](int kind, int fromControl) {
            QCoreApplication::postEvent(window, new QPravikEvent(kind, QPravik::CallKey, fromControl));
            QCoreApplication::sendPostedEvents(window);
        };
        key(QPravikEvent::KeyPress, 0); // from an open popup: dropped
        QCOMPARE(window->page(), 9);
        key(QPravikEvent::KeyPress, 1);
        QCOMPARE(window->page(), 2);
        key(QPravikEvent::KeyPress, 1);
        QCOMPARE(window->page(), 1);
    }

    void loginOutcomes_data() { indexRows(loginRows()); }
    void loginOutcomes()
    {
        QFETCH(int, row);
        const auto& [name, device, version, passwords, level, typed, message, firmware] = loginRows()[row];
        scriptUnit(device, version, passwords);
        if (!device.isEmpty())
            connectLink();
        QPravikLoginPage* login = loginPage();
        QPravikSwitch* switches[] = {login->operatorSwitch, login->expertSwitch, login->administratorSwitch};
        switches[level]->click();
        QVERIFY(switches[level]->isChecked() && !switches[level]->isEnabled());
        login->loginButton->click();

        auto* keyboard = login->findChild<QPravikVirtual*>();
        QCOMPARE(keyboard != nullptr, !typed.isNull());
        if (keyboard) {
            QCOMPARE(keyboard->lineEdit.echoMode(), QLineEdit::Password);
            if (typed.startsWith('~')) {
                unit->close();
                QTRY_VERIFY_WITH_TIMEOUT(frontPanelCom()->state() != RpcConnection::ConnectedState, kWaitMs);
            }
            if (typed != "-") {
                keyboard->lineEdit.setText(typed.mid(typed.startsWith('~')));
                keyboard->cancelled = 0;
            }
            keyboard->close();
        }
        const bool in = message.isEmpty() || message.startsWith("Newer");
        QCOMPARE(shownMessage(), message);
        QCOMPARE(window->page(), in && typed != "-" && !typed.startsWith('~') ? 1 : 0);
        QCOMPARE(currentAccessLevel, window->page() == 1 ? level : 0);
        QCOMPARE(unitFirmwareVersion, firmware);
    }

    void loginRequests()
    {
        scriptUnit("pravik", "2.0.9", "password_al:;password_el:;password_ol:;");
        QSignalSpy tabs(window, &QPravikWindow::loginClicked);
        connectLink();
        window->connectionPage()->panel(2)->setText("left over", 1);
        loginPage()->loginButton->click();
        QCOMPARE(window->page(), 1);
        QCOMPARE(tabs.size(), 1);
        QCOMPARE(tabs.first().first().toString(), QString::fromUtf8("Studio \xC3\xA9"));
        QVERIFY(window->connectionPage()->panel(2)->text(1).isEmpty());
        QVERIFY(window->isSetupRunning());

        const QByteArray passwords = "PARAM;cat:ui;controller_id:pv_frontpanel;target:db;type:pv_frontpanel;"
                                     "GET:password_al;GET:password_el;GET:password_ol;";
        const QByteArrayList expected = {
            kIdentity, passwords,
            "PARAM;cat:ui;controller_id:web;target:db;type:pv_frontpanel;GET:tabname;", passwords};
        const QByteArrayList sent = unit->requestBodies();
        QCOMPARE(sent.mid(0, 4), expected);
        // Then the set-up pass, which loads the device first.
        QCOMPARE(sent.value(4), QByteArray("PARAM;target:general;LIST:device_opts;"));
    }

    void messagesWaitForSynchronousCalls()
    {
        connectLink();
        unit->onRequestMatching(QRegularExpression("slow"),
                                {UnitSimulator::delay(300), UnitSimulator::reply("PARAM;return:OK;")});
        QPravikConnPanel* line1 = window->connectionPage()->panel(1);
        const auto display = [](const char* text) {
            TCommand event(TCommand::Event);
            event.setParam("event_type", "display");
            event.setParam("message", text);
            return RpcMessage::createSignal(event);
        };

        // A message that came while idle, its dispatch event still on its way
        // when a call starts; two more sent by the unit during the call.
        window->messageReceived(display("first"));
        int pendingDuringCall = -1;
        QString lineDuringCall;
        bool pushed = false;
        QElapsedTimer sincePushed;
        QVERIFY(duringHeldCall([&] {
            if (!pushed) {
                unit->pushSignal("INFO;info_type:remote_numbers;remote_aoip1:111;");
                unit->pushSignal("INFO;info_type:remote_numbers;remote_aoip1:222;");
                pushed = true;
                sincePushed.start();
            }
            // Time for them to arrive; the call is held however long it takes.
            if (sincePushed.elapsed() < 200)
                return false;
            pendingDuringCall = window->pendingMessages();
            lineDuringCall = line1->text(0);
            return true;
        }));
        QCOMPARE(pendingDuringCall, 1);
        QVERIFY(lineDuringCall.isEmpty());
        QVERIFY(shownMessage().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(line1->text(0), QString("222"), kWaitMs);
        QCOMPARE(shownMessage(), QString("first"));
        QCOMPARE(window->pendingMessages(), 0);

        // A link lost during a call drops what is still queued.
        window->messageReceived(display("late"));
        QVERIFY(!duringHeldCall([&] {
            pendingDuringCall = window->pendingMessages();
            frontPanelCom()->disconnectFromUnit();
            return true;
        }));
        QCOMPARE(pendingDuringCall, 1);
        QCOMPARE(window->pendingMessages(), 0);
        QTest::qWait(20);
        QCOMPARE(shownMessage(), QString("first"));
    }

    void unitMessagePopups_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");

        QTest::newRow("going down") << QByteArray("EVENT;event_type:shuttingdown;") << "System is going down...";
        QTest::newRow("update") << QByteArray("EVENT;event_type:system_update;state:x;")
                                << "System update started...\nDo not turn off the unit!\n\nx";
        QTest::newRow("update failed") << QByteArray("EVENT;event_type:system_update;cause:x;state:y;")
                                       << "System update failed!\nx\nPlease reboot the unit!";
        QTest::newRow("display") << QByteArray("EVENT;event_type:display;message:<b>Caf\xC3\xA9</b>;")
                                 << QString::fromLatin1("<b>Caf\xE9</b>");
        QTest::newRow("AES67 upload") << QByteArray("INFO;info_type:audio_changeset;info_source:zman.0;"
                                                    "system_update:1;progress:42;")
                                      << "AES67 module update...\n\nUploading firmware 42%\n\nDo not turn off the unit!";
        QTest::newRow("AES67 failed") << QByteArray("INFO;info_type:audio_changeset;info_source:zman.0;system_update:3;")
                                      << "AES67 module update failed!\n\nPlease reboot the unit!";
        QTest::newRow("AES67 finished") << QByteArray("INFO;info_type:audio_changeset;info_source:zman.0;system_update:4;")
                                        << "AES67 module update finished\n\nPlease reboot the unit!";
    }

    void unitMessagePopups()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        connectLink();
        unit->pushSignal(body);
        QTRY_COMPARE_WITH_TIMEOUT(shownMessage(), text, kWaitMs);
        QCOMPARE(window->pendingMessages(), 0);
        if (auto* box = window->findChild<QPravikMessage*>())
            QCOMPARE(box->label->textFormat(), Qt::PlainText);
    }

    void audioLevels()
    {
        connectLink();
        window->pageActivated(QPravik::PageAudio);
        unit->pushSignal("EVENT;event_type:audio_levels;txL:3;rxL:x;rxR:7;ou1:4;in2:5;in11:6;");
        QTRY_COMPARE_WITH_TIMEOUT(window->txL, 3, kWaitMs);
        const auto levels = [this] {
            return QList<int>{window->txR, window->rxL, window->rxR, window->ou1, window->ou2,
                              window->inputLevels[0], window->inputLevels[1], window->inputLevels[10]};
        };
        QCOMPARE(levels(), (QList<int>{99, 0, 7, 4, 99, 99, 5, 6}));
        QCOMPARE(window->pendingMessages(), 0);

        // Another page: the strip only; the settings page: nothing at all.
        window->pageActivated(QPravik::PageAudioInput);
        unit->pushSignal("EVENT;event_type:audio_levels;txL:8;in2:9;");
        QTRY_COMPARE_WITH_TIMEOUT(window->txL, 8, kWaitMs);
        QCOMPARE(window->inputLevels[1], 5);
        window->pageActivated(QPravik::PageNetworkMenu);
        unit->pushSignal("EVENT;event_type:audio_levels;txL:1;");
        unit->pushSignal("EVENT;event_type:display;message:marker;");
        QTRY_COMPARE_WITH_TIMEOUT(shownMessage(), QString("marker"), kWaitMs);
        QCOMPARE(window->txL, 8);
    }

    void linkDropAndReturn()
    {
        scriptUnit("pravik", "2.0.9", "password_al:;password_el:;password_ol:;");
        connectLink();
        frontPanelCom()->disconnectFromUnit();
        connectLink();
        QTest::qWait(200);
        QCOMPARE(unit->requests().size(), 0); // logged out: nothing starts

        loginPage()->loginButton->click();
        window->pageActivated(QPravik::PageAudioInput);
        unit->pushSignal("EVENT;event_type:audio_levels;txL:3;");
        QTRY_COMPARE_WITH_TIMEOUT(window->txL, 3, kWaitMs);
        frontPanelCom()->disconnectFromUnit();
        QCOMPARE(window->page(), 4);
        QCOMPARE(window->txL, 99);
        QVERIFY(!window->isSetupRunning());

        unit->clearReceived();
        connectLink();
        QVERIFY(!window->isSetupRunning());
        QTRY_VERIFY_WITH_TIMEOUT(window->isSetupRunning(), kWaitMs);
        QVERIFY(unit->requests().first().body.contains("GET:password_al"));
    }

    void setupPass_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<bool>("newer");
        QTest::newRow("1.9.255") << QByteArray("1.9.255") << false;
        QTest::newRow("1.10.0") << QByteArray("1.10.0") << true;
    }

    void setupPass()
    {
        QFETCH(QByteArray, version);
        QFETCH(bool, newer);
        scriptLoadableUnit(version);
        // The matrix fails once.
        unit->onRequestMatching(QRegularExpression("GET:matrix_in"), {UnitSimulator::errorReply(204)}, 1);
        connectLink();
        loginPage()->loginButton->click();
        QVERIFY(frontPanelDevice()->isReady());
        QVERIFY(window->isKeepAliveRunning());
        QCOMPARE(window->soundPlayerState(), 0);
        QCOMPARE(window->connectionPage()->panel(1)->text(0), QString("sip:a@b"));
        QCOMPARE(window->connectionPage()->panel(2)->text(2), QString("555"));

        const QByteArray relays = newer ? "GET:relay1_in;GET:relay2_in;GET:relay1_out;GET:relay2_out;" : "";
        const QByteArrayList own = {
            "DO;action:subscribe;info:remote_numbers;",
            "PARAM;target:ui;ui:pv_frontpanel;GET:remote_aoip1;GET:remote_aoip2;GET:remote_isdn1;GET:remote_isdn2;"
            "GET:remote_voice;" + relays,
            "PARAM;target:audio;GET:rec_status;",
            "DO;action:subscribe;event_type:audio_levels;period:500;port:1;",
            "DO;action:request;event_type:comm_events;",
        };
        QCOMPARE(bodiesMatching(*unit, QRegularExpression("remote_|rec_status|event_type")), own);
        const QByteArrayList module = bodiesMatching(*unit, QRegularExpression("GET:rav_"));
        QCOMPARE(module.size(), 2);
        QCOMPARE(module.last().contains("GET:rav_if_count;"), newer);
        QVERIFY(module.last().contains("GET:rav_manufacturer;GET:rav_hardware_name;"));
        QCOMPARE(frontPanelMatrixSettings()->state(), int(TComController::Unloaded));

        // The next pass retries what failed and nothing that loaded.
        window->setupControllers();
        QCOMPARE(frontPanelMatrixSettings()->state(), int(TComController::Ready));
        QCOMPARE(bodiesMatching(*unit, QRegularExpression("LIST:device_opts")).size(), 1);
        QCOMPARE(bodiesMatching(*unit, QRegularExpression("GET:matrix_in")).size(), 2);
        QCOMPARE(bodiesMatching(*unit, QRegularExpression("GET:auxiliary_board")).size(), 1);
        QCOMPARE(bodiesMatching(*unit, QRegularExpression("GET:rav_")).size(), 2);
    }

    void keepAlive()
    {
        scriptLoadableUnit("1.10.0");
        unit->onRequestMatching(QRegularExpression("slow"),
                                {UnitSimulator::delay(300), UnitSimulator::reply("PARAM;return:OK;")});
        connectLink();
        loginPage()->loginButton->click();
        QVERIFY(window->isKeepAliveRunning());
        const QRegularExpression networks("LIST:network;");
        const int before = int(bodiesMatching(*unit, networks).size());
        window->keepAliveEvent();
        QCOMPARE(bodiesMatching(*unit, networks).size(), before + 1);

        // A tick during a call is skipped.
        unit->onRequest("PARAM;target:network;LIST:network;", {UnitSimulator::errorReply(204)});
        QVERIFY(duringHeldCall([this] {
            window->keepAliveEvent();
            return true;
        }));
        QCOMPARE(bodiesMatching(*unit, networks).size(), before + 1);

        // A failed read reopens the link, once.
        window->keepAliveEvent();
        QVERIFY(!window->isKeepAliveRunning());
        QVERIFY(!frontPanelDevice()->isReady());
        QVERIFY(!frontPanelCom()->connectToUnit("127.0.0.1", unit->port(), 0));
        QVERIFY(unit->waitUntil([this] { return unit->connectionCount() == 2; }, kWaitMs));
        QTRY_COMPARE_WITH_TIMEOUT(frontPanelCom()->state(), RpcConnection::ConnectedState, kWaitMs);
        // Logged in: the session starts again by itself.
        QTRY_VERIFY_WITH_TIMEOUT(window->isSetupRunning(), kWaitMs);
        QCOMPARE(unit->connectionCount(), 2);
    }

    void callSequence()
    {
        scriptLoadableUnit("1.10.0");
        connectLink();
        loginPage()->loginButton->click();
        window->pageActivated(QPravik::PageConnection);
        QPravikStatusPanel* strip = window->connectionPage()->statusPanel;
        QPravikConnPanel* line1 = window->connectionPage()->panel(1);
        // Ready on Ethernet with a number stored for line 1; line 2 has no codec of its own.
        QCOMPARE(strip->lines[0].linkState, 2);
        QCOMPARE(strip->lines[1].linkState, 0);
        QCOMPARE(line1->info->noteLabel->text(), QString("Ethernet\n") + QPravikLocalize::codecDescription(frontPanelDevice()->codec1()));

        auto* call = new TComAudioConnection(frontPanelCom(), TComBaseConnection::Line1);
        call->start(TComAudioConnection::Outgoing, 5, "eth.0");
        QVERIFY(frontPanelDevice()->addConnection(call));
        const struct { int state, status; const char* label; int link; bool quality; } steps[] = {
            {1, 1, "Call in progress...", 3, false},
            {2, 6, "Call in progress (negociating)", 3, false},
            {2, 8, "Call in progress (waiting for sync)", 3, false},
            {2, 9, "Call established (synchronized)", 4, true},
            {2, 10, "Call established (sync lost)", 5, true},
            {3, 11, "Releasing call...", 6, false},
            {4, 12, "Call released", 2, false},
        };
        for (const auto& step : steps) {
            call->setState(step.state, step.status);
            QCOMPARE(line1->stateLabel->text(), QString(step.label));
            QCOMPARE(strip->lines[0].linkState, step.link);
            QCOMPARE(line1->info->state(), step.link);
            QCOMPARE(strip->lines[0].qualityEnabled, step.quality);
        }

        // A line with a call keeps its codec menu closed; the Coding menu opens.
        window->pageActivated(QPravik::PageCodec1Menu);
        QCOMPARE(window->page(), 2);
        window->pageActivated(QPravik::PageCodec2Menu);
        QCOMPARE(window->page(), 11);
        window->pageActivated(QPravik::PageConnection);

        // On the settings page the strip is left alone; the labels still follow.
        window->pageActivated(QPravik::PageNetworkMenu);
        call->setState(1, 5);
        QCOMPARE(line1->stateLabel->text(), QString("Incoming call..."));
        QCOMPARE(strip->lines[0].linkState, 2);
        frontPanelDevice()->removeConnection(5);
    }

private:
    void connectLink();
    // Makes the slow call and has the unit hold it until step() reports it
    // has done its part (step runs again until then), then answer it unless
    // the link went down meanwhile. The call's result.
    bool duringHeldCall(const std::function<bool()>& step);
    // A unit that answers the login: identity, passwords and the post-login requests.
    void scriptUnit(const QByteArray& device, const QByteArray& version, const QByteArray& passwords);
    // A unit whose device, matrix, audio settings, softkeys and AES67 module load.
    void scriptLoadableUnit(const QByteArray& version);
    QString shownMessage() const;
    QPravikLoginPage* loginPage() const { return static_cast<QPravikLoginPage*>(window->pageWidget(0)); }

    UnitSimulator* unit = nullptr;
    QPravikWindow* window = nullptr;
};

void TestWindow::connectLink()
{
    QVERIFY(frontPanelCom()->connectToUnit("127.0.0.1", unit->port(), 0));
    QTRY_COMPARE_WITH_TIMEOUT(frontPanelCom()->state(), RpcConnection::ConnectedState, kWaitMs);
}

bool TestWindow::duringHeldCall(const std::function<bool()>& step)
{
    unit->onRequestMatching(QRegularExpression("target:slow"), {}, 1);
    const qsizetype before = unit->requests().size();
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, [&] {
        const QList<SimFrame> frames = unit->requests();
        const auto held = std::find_if(frames.begin() + before, frames.end(),
                                       [](const SimFrame& frame) { return frame.body.contains("target:slow"); });
        if (held == frames.end() || !step())
            return;
        poll.stop();
        if (frontPanelCom()->state() != RpcConnection::ConnectedState)
            return;
        UnitSimulator::Action answer = UnitSimulator::reply("PARAM;return:OK;");
        answer.useRequestId = false;
        answer.id = held->id;
        unit->run({answer});
    });
    poll.start();
    return sendSlow();
}

void TestWindow::scriptUnit(const QByteArray& device, const QByteArray& version, const QByteArray& passwords)
{
    // Refused at once: the device does not load unless a test scripts it.
    unit->setDefaultActions({UnitSimulator::errorReply(204)});
    QByteArray identity = "PARAM;device:" + device + ";builddate:2026;";
    // Without a version the unit reports the key as not set.
    identity += version.isNull() ? "version:101-parameter not set;return:ERROR;" : "version:" + version + ";return:OK;";
    unit->onRequest(kIdentity, {UnitSimulator::reply(identity)});
    unit->onRequestMatching(QRegularExpression("GET:password_al"),
                            {passwords.isNull() ? UnitSimulator::errorReply(204)
                                                : UnitSimulator::reply("PARAM;" + passwords + "return:OK;")});
    unit->onRequestMatching(QRegularExpression("GET:tabname"),
                            {UnitSimulator::reply("PARAM;tabname:Studio \xC3\xA9;return:OK;")});
}

void TestWindow::scriptLoadableUnit(const QByteArray& version)
{
    unit->setDefaultActions({UnitSimulator::errorReply(204)});
    unit->onRequestMatching(QRegularExpression("^DO;"), {UnitSimulator::reply("DO;return:OK;")});
    unit->onRequestMatching(QRegularExpression("GET:"), {UnitSimulator::reply(kDeviceValues)});
    unit->onRequest("PARAM;target:general;LIST:device_opts;",
                    {UnitSimulator::reply("PARAM;device_opts:ravenna,record_1,hardware_1;return:OK;")});
    unit->onRequest("PARAM;target:network;LIST:network;",
                    {UnitSimulator::reply("PARAM;network:aoip,eth.0;return:OK;")});
    unit->onRequestMatching(QRegularExpression("GET:matrix_in"),
                            {UnitSimulator::reply("PARAM;matrix_opt:00000000;return:OK;")});
    unit->onRequestMatching(QRegularExpression("GET:auxiliary_board"),
                            {UnitSimulator::reply("PARAM;auxiliary_board:yes;return:OK;")});
    unit->onRequestMatching(QRegularExpression("GET:rav_"),
                            {UnitSimulator::reply("PARAM;rav_firmware_rev:7;return:OK;")});
    unit->onRequestMatching(QRegularExpression("GET:remote_aoip1"),
                            {UnitSimulator::reply("PARAM;remote_aoip1:sip:a@b;remote_voice:555;relay1_in:on;"
                                                  "return:OK;")});
    unit->onRequestMatching(QRegularExpression("GET:rec_status"),
                            {UnitSimulator::reply("PARAM;rec_status:play_paused;return:OK;")});
    scriptUnit("pravik", version, "password_al:;password_el:;password_ol:;");
}

QString TestWindow::shownMessage() const
{
    auto* box = window->findChild<QPravikMessage*>();
    return box ? box->message : QString();
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
