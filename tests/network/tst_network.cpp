// The mobile and Wi-Fi controllers against the simulated unit, through the
// real session.
#include "model/tcommobilecontroller.h"
#include "model/tcomwificontroller.h"
#include "tests/support/simulatedunit.h"
#include "tests/support/testrows.h"

#include <QTest>

#include <functional>
#include <memory>

namespace {

QStringList g_log;
QtMessageHandler g_previousHandler = nullptr;

void captureHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    g_log.append(text);
    if (type != QtDebugMsg)
        g_previousHandler(type, context, text);
}

// Both controllers attached on the simulated unit, which refuses every
// request no rule takes, so one sent where none should be fails.
struct Rig : SimulatedUnit
{
    Rig()
    {
        ok = start() && mobile.attach("mobile.0", 0, false) && wifi.attach("wifi.0", 0, false);
        unit.clearReceived();
        g_log.clear();
    }

    TComMobileController mobile{&com};
    TComWifiController wifi{&com};
    bool ok = false;
};

const char kWifiRefresh[] = "PARAM;network:wifi.0;target:network;GET:ssid;GET:ssid_custom;GET:authentication;"
                            "GET:authentication_custom;GET:passphrase;GET:data_connection;GET:data_connection_state;"
                            "GET:network_quality;";

// One operation, the one request it sends (if any) and a text its log line
// holds: the time-out as the link logs it, or a masked secret. No row's
// secret ("4711") may reach the log in clear.
struct Step
{
    const char* name;
    std::function<bool(Rig&)> run;
    QByteArray sent;
    const char* logged;
};

const Step kRequests[] = {
    {"mode", [](Rig& r) { return r.mobile.setMode(1, true); }, "PARAM;mode:data;network:mobile.0;target:network;",
     nullptr},
    {"rat unset, then written",
     [](Rig& r) { return r.mobile.setRat(3, false) && r.mobile.setRat(-1, true) && r.mobile.writeParams({"rat"}); },
     "PARAM;network:mobile.0;rat:auto;target:network;", "timeout=5)"},
    {"no authentication",
     [](Rig& r) { return r.mobile.setAuthentication(2, false) && r.mobile.setAuthentication(0, true); },
     "PARAM;authentication:;network:mobile.0;target:network;", nullptr},
    {"automatic operator", [](Rig& r) { return r.mobile.selectOperator("", true) && r.mobile.plmn() == "auto"; },
     "PARAM;network:mobile.0;plmn:auto;target:network;", "timeout=6)"},
    {"mobile write",
     [](Rig& r) {
         return r.mobile.selectOperator("2", false) && r.mobile.writeParams({"imei", "plmn", "ajb_profile"});
     },
     "PARAM;ajb_profile:standard;network:mobile.0;plmn:2;target:network;", "timeout=60)"},
    {"ppp password", [](Rig& r) { return r.mobile.setPassword("4711", true); },
     "PARAM;network:mobile.0;password:4711;target:network;", "password:***;target"},
    {"pin", [](Rig& r) { return r.mobile.enterPin("4711", 15000) == 0; },
     "PARAM;network:mobile.0;pin:4711;target:network;", "pin:***;target:network;, timeout=15)"},
    {"wifi refresh 1.11", [](Rig& r) { FirmwareWord fw(0x10BFF); return r.wifi.refresh(); }, kWifiRefresh,
     "message=PARAM;passphrase:***;return:OK;)"},
    {"ssid", [](Rig& r) { return r.wifi.setSsid("Caf\xC3\xA9", true) && r.wifi.ssid() == "Caf\xC3\xA9"; },
     "PARAM;network:wifi.0;ssid:Caf\xC3\xA9;target:network;", nullptr},
    {"passphrase", [](Rig& r) { return r.wifi.setPassphrase("\xC3\xBC" "4711", true); },
     "PARAM;network:wifi.0;passphrase:\xC3\xBC" "4711;target:network;", "passphrase:***;target"},
    {"unknown security", [](Rig& r) { return r.wifi.setAuthentication(1, false) && r.wifi.setAuthentication(7, true)
                                                  && r.wifi.authentication() == 0; },
     "PARAM;authentication:none;network:wifi.0;target:network;", nullptr},
    {"wifi write",
     [](Rig& r) {
         return r.wifi.setSsidCustom("\xC3\xA9", false)
                && r.wifi.writeParams({"ssid_custom", "authentication_custom", "network_quality"});
     },
     "PARAM;authentication_custom:none;network:wifi.0;network_quality:low;ssid_custom:\xC3\xA9;target:network;",
     nullptr},
};

// The SIM and registration states: the unit's answers (a script), then a
// "network_info" of the interface, then the PIN "1234" entered.
#define QUERY "on PARAM;network:mobile.0;target:network;GET:pin;GET:registration_state;\n  reply PARAM;"
#define PIN "on PARAM;network:mobile.0;pin:1234;target:network;\n  reply PARAM;"
#define INFO "INFO;info_source:mobile.0;info_type:network_info;"
const struct
{
    const char* name;
    const char* script;
    const char* info;
    int pinResult;
    int state;
    const char* operatorName;
} kStates[] = {
    // An echoed "target" is no answer to the query.
    {"pin required", QUERY "pin:122-pin required;return:ERROR;target:network;", "", -1, 6, ""},
    {"sim missing", QUERY "pin:010-sim missing;registration_state:123-not registered;return:ERROR;", "", -1, 4, ""},
    {"no registration", QUERY "pin:ready;return:OK;", "", -1, 1, ""},
    {"not registered", QUERY "pin:ready;registration_state:123-not registered;return:OK;", "", -1, 2, ""},
    {"registered, pin accepted", QUERY "pin:ready;registration_state:home;return:OK;\n" PIN "return:OK;", "", 0, 0, ""},
    {"wrong pin", PIN "pin:100-wrong password;return:ERROR;", "", -2, 1, ""},
    {"puk required", PIN "pin:124-puk required;return:ERROR;", "", -3, 5, ""},
    {"puk as cause", PIN "cause:124-puk required;return:ERROR;", "", -3, 5, ""},
    {"other cause", PIN "pin:122-pin required;return:ERROR;", "", -1, 1, ""},
    {"no cause", PIN "return:ERROR;", "", -1, 1, ""},
    {"info not registered", "", INFO "registration_state:123-not registered;", -1, 2, ""},
    {"info operator", "", INFO "operator_long:Telekom;registration_state:123-not registered;", -1, 0, "Telekom"},
    {"info no signal", "", INFO "operator_long:016-no signal;registration_state:roaming;", -1, 1, ""},
    {"info without registration", "", INFO "operator_long:Telekom;", -1, 1, ""},
};
#undef QUERY
#undef PIN
#undef INFO

// Scripts the unit's answers in a compact form: "on BODY" (exact request) or
// "match PATTERN", each followed by indented "reply BODY" or "error CODE"
// lines. Earlier blocks take precedence, so they are registered last.
void scriptUnit(UnitSimulator& unit, const QByteArray& text)
{
    QList<std::pair<QByteArray, UnitSimulator::Actions>> blocks;
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray t = line.trimmed();
        if (t.isEmpty())
            continue;
        if (!line.startsWith(' '))
            blocks.append({t, {}});
        else
            blocks.last().second.append(t.startsWith("reply ") ? UnitSimulator::reply(t.mid(6))
                                                              : UnitSimulator::errorReply(t.mid(6).toInt()));
    }
    for (auto it = blocks.crbegin(); it != blocks.crend(); ++it) {
        if (it->first.startsWith("on "))
            unit.onRequest(it->first.mid(3), it->second);
        else
            unit.onRequestMatching(QRegularExpression(QString::fromLatin1(it->first.mid(6))), it->second);
    }
}

} // namespace

class NetworkTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<Rig> rig;

private slots:
    void initTestCase() { g_previousHandler = qInstallMessageHandler(captureHandler); }
    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }
    void init()
    {
        rig = std::make_unique<Rig>();
        QVERIFY(rig->ok);
    }
    void cleanup() { rig.reset(); }

    void requests_data() { indexRows(kRequests); }
    void requests()
    {
        QFETCH(int, row);
        const Step& step = kRequests[row];
        if (!step.sent.isEmpty())
            rig->expect(step.sent, "PARAM;passphrase:4711;return:OK;");
        QVERIFY(step.run(*rig));
        QCOMPARE(rig->unit.requests().size(), step.sent.isEmpty() ? 0 : 1);
        const QString log = g_log.join(QLatin1Char('\n'));
        QVERIFY(!log.contains(QLatin1String("4711")));
        if (step.logged)
            QVERIFY2(log.contains(QLatin1String(step.logged)), step.logged);
    }

    void signalAndTechnology_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("mobileSignal");
        QTest::addColumn<int>("wifiSignal");
        QTest::addColumn<int>("technology");
        QTest::newRow("empty") << QByteArray() << 0 << 0 << -1;
        QTest::newRow("dBm") << QByteArray("-85 dBm") << -85 << -85 << 1;
        QTest::newRow("bare -71") << QByteArray("-71") << -71 << 21 << 1;
        QTest::newRow("bare -113") << QByteArray("-113") << -113 << 0 << 1;
        QTest::newRow("bare 0") << QByteArray("0") << 0 << 0 << 1;
        // Read as the largest int; mapping it must not overflow.
        QTest::newRow("out of range") << QByteArray("99999999999") << 2147483647 << 1073741880 << 1;
        QTest::newRow("GSM COMPACT") << QByteArray("GSM COMPACT") << 0 << 0 << 0;
        QTest::newRow("LTE") << QByteArray("LTE") << 0 << 0 << 2;
        QTest::newRow("5G") << QByteArray("5G") << 0 << 0 << 3;
    }
    void signalAndTechnology()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, mobileSignal);
        QFETCH(int, wifiSignal);
        QFETCH(int, technology);
        QCOMPARE(mobileSignalFromText(text.toStdString()), mobileSignal);
        QCOMPARE(wifiSignalFromText(text.toStdString()), wifiSignal);
        QCOMPARE(mobileTechnologyFromName(text.toStdString()), technology);
    }

    void mobileStates_data() { indexRows(kStates); }
    void mobileStates()
    {
        QFETCH(int, row);
        const auto& c = kStates[row];
        scriptUnit(rig->unit, c.script);
        QVERIFY(rig->mobile.attach("mobile.0", 0, false));
        TCommand message;
        if (TCommand::parse(c.info, message) == 0) {
            QVERIFY(rig->mobile.handleInfo(message));
            message.setParam("info_source", "mobile.1", TCommand::Replace);
            QVERIFY(!rig->mobile.handleInfo(message));
        }
        QCOMPARE(rig->mobile.enterPin("1234", 15000), c.pinResult);
        QCOMPARE(rig->mobile.state(), c.state);
        QCOMPARE(rig->mobile.operatorLong(), std::string(c.operatorName));
    }

    void optionQueries_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<uint>("mask");
        QTest::newRow("offered") << QByteArray("match LIST:mode;\n  reply PARAM;mode:data;return:OK;\n"
                                              "match LIST:rat;\n  reply PARAM;rat:only LTE,only 5G,3G;return:OK;\n"
                                              "match LIST:auth\n  reply PARAM;authentication:CHAP,none;return:OK;\n")
                                 << 0x20u + 0x1000u + 0x4000u + 0x10000u;
        QTest::newRow("all refused") << QByteArray() << 0x30u + 0x11C0u;
        // Items received before a list breaks off offer nothing.
        QTest::newRow("rat list breaks off") << QByteArray("match LIST:mode;\n  reply PARAM;mode:;return:OK;\n"
                                                           "match LIST:rat;\n"
                                                           "  reply PARAM;rat:only 5G;return:PROGRESS;\n  error 117\n")
                                             << 0x11C0u;
    }
    void optionQueries()
    {
        QFETCH(QByteArray, script);
        QFETCH(uint, mask);
        scriptUnit(rig->unit, script);
        QVERIFY(rig->mobile.attach("mobile.0", 2, false));
        QCOMPARE(rig->mobile.optionMask(), mask);
    }

    void mobileReadParams()
    {
        TComMobileController& m = rig->mobile;
        scriptUnit(rig->unit, "match GET:echo_cancel;\n  reply PARAM;echo_cancel:on;noise_gate:on;"
                             "operator_long:123-not registered;operator_short:T;plmn:;return:OK;\n"
                             "match GET:noise_gate;\n"
                             "  reply PARAM;mode:data;noise_gate:102-unknown parameter;return:ERROR;\n");
        QVERIFY(m.readParams({"echo_cancel", "noise_gate", "operator_long", "operator_short", "plmn"}));
        QCOMPARE(m.optionMask(), 0x3u);
        QCOMPARE(m.operatorLong(), std::string()); // a cause is no operator's name
        QCOMPARE(m.operatorShort(), std::string("T"));
        QCOMPARE(m.plmn(), std::string("auto"));
        // A choice never read goes out as the automatic one it reads as.
        m.reset();
        rig->expect("PARAM;network:mobile.0;plmn:auto;target:network;");
        QVERIFY(m.writeParams({"plmn"}));
        // A refused option key is not offered; what came back is still read.
        QVERIFY(m.readParams({"noise_gate", "mode"}));
        QCOMPARE(m.optionMask(), 0x1u);
        QCOMPARE(m.mode(), 1);
        // The mask survives a reset, not the next attach.
        m.reset();
        QCOMPARE(m.optionMask(), 0x1u);
        QVERIFY(m.attach("mobile.0", 0, false));
        QCOMPARE(m.optionMask(), 0u);
        TCommand event;
        TCommand::parse("EVENT;event_type:config info;network:mobile.0;network_mode:data;", event);
        QVERIFY(m.handleEvent(event));
        QCOMPARE(m.mode(), 1);
    }

    void wifiTextsAndScan()
    {
        TComWifiController& w = rig->wifi;
        const QByteArray get = "PARAM;network:wifi.0;target:network;GET:ssid;";
        rig->expect(get, "PARAM;return:OK;ssid:Caf\xC3\xA9;");
        QVERIFY(w.refreshSsid());
        QCOMPARE(w.ssid(), std::string("Caf\xC3\xA9"));
        QVERIFY(w.setSsid("Caf\xC3\xA9", true)); // the same text: nothing sent
        // Any bytes are kept as they came.
        rig->expect(get, "PARAM;return:OK;ssid:\xE2\x82\xAC\xC3;");
        QVERIFY(w.refreshSsid());
        QCOMPARE(w.ssid(), std::string("\xE2\x82\xAC\xC3"));

        const QByteArray scan = "PARAM;network:wifi.0;target:network;LIST:ssid;";
        rig->expect(scan, "PARAM;return:OK;ssid:Home,Caf\xC3\xA9,Bar\\\\,Guest;");
        const std::vector<std::string> found{"Home", "Caf\xC3\xA9", "Bar,Guest"};
        QVERIFY(w.scanNetworks());
        QCOMPARE(w.networkList(), found);
        rig->expect("PARAM;network:wifi.0;ssid:Caf\xC3\xA9;target:network;"); // chosen: written as scanned
        QVERIFY(w.setSsid(w.networkList()[1], true));
        rig->unit.onRequest(scan, {UnitSimulator::reply("PARAM;return:PROGRESS;ssid:Other;"),
                                   UnitSimulator::errorReply(117)}, 1);
        QVERIFY(!w.scanNetworks());
        QCOMPARE(w.networkList(), found);
        QCOMPARE(rig->unit.requests().size(), 5);
        QCOMPARE(w.state(), 0);
        w.reset();
        QCOMPARE(w.networkList(), found);
        // A list longer than any unit holds is refused and the last scan stays.
        for (const int commas : {99999, 999}) {
            rig->expect(scan, "PARAM;return:OK;ssid:" + QByteArray(commas, ',') + ';');
            QCOMPARE(w.scanNetworks(), commas < 1000);
            QCOMPARE(w.networkList().size(), commas < 1000 ? std::size_t(commas) + 1 : found.size());
        }

        TCommand info;
        TCommand::parse("INFO;info_source:wifi.0;info_type:network_info;signal_quality_dbm:-71;", info);
        QVERIFY(w.handleInfo(info));
        QCOMPARE(w.signalQuality(), 21);
    }
};

QTEST_GUILESS_MAIN(NetworkTest)
#include "tst_network.moc"
