#include "link/ccom.h"
#include "model/tcomethernetcontroller.h"
#include "model/tcomisdncontroller.h"
#include "model/tcomrequesthelper.h"
#include "model/textconv.h"
#include "model/unitfirmware.h"
#include "tests/support/unitsimulator.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// The real session connected to the simulated unit over loopback. Requests
// that no rule takes are refused at once, so a missing rule fails quickly
// and a request sent where none should be makes its operation fail.
struct SimulatedUnit
{
    SimulatedUnit() { unit.setDefaultActions({UnitSimulator::errorReply(204)}); }

    bool start()
    {
        return unit.listen() && com.connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0)
            && unit.waitUntil([this] { return com.state() == RpcConnection::ConnectedState; });
    }
    // The unit answers exactly this request with one reply.
    void expect(const QByteArray& request, const QByteArray& reply, int times = 1)
    {
        unit.onRequest(request, {UnitSimulator::reply(reply)}, times);
    }
    QByteArrayList bodies() const
    {
        QByteArrayList out;
        for (const SimFrame& f : unit.requests())
            out.append(f.body);
        return out;
    }

    UnitSimulator unit;
    zel::CCom com; // declared last: goes before the unit it talks to
};

const QByteArray kOk = "PARAM;return:OK;";
// The Ethernet refresh; firmware past 0x10BFF adds "GET:ajb_profile;".
const QByteArray kEthRefresh = "PARAM;network:eth.0;target:network;GET:cable;GET:mode;GET:local_addr;"
                               "GET:subnet;GET:gateway;GET:dns1;GET:dns2;GET:link_mode;GET:link_mode_neg;"
                               "GET:hw_addr;GET:network_quality;";

TCommand paramGet(const std::string& target, std::initializer_list<std::string> keys)
{
    TCommand c(TCommand::Param);
    c.setParam("target", target);
    for (const std::string& k : keys)
        c.addGet(k);
    return c;
}

// Indices of controllerParamChanged, in emission order.
QList<int> indices(const QSignalSpy& spy)
{
    QList<int> out;
    for (const QList<QVariant>& args : spy)
        out.append(args.at(1).toInt());
    return out;
}

struct FirmwareWord
{
    explicit FirmwareWord(std::uint32_t v) : saved(unitFirmwareVersion) { unitFirmwareVersion = v; }
    ~FirmwareWord() { unitFirmwareVersion = saved; }
    std::uint32_t saved;
};

struct StreamRecord
{
    int streamId = 0xFFFF;
    int streamSubId = 0;
    std::string name = "None";
};

} // namespace

class ModelTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedUnit> sim;

private slots:
    void init()
    {
        sim = std::make_unique<SimulatedUnit>();
        QVERIFY(sim->start());
    }
    void cleanup() { sim.reset(); }

    void latin1Conversions();
    void utf8Conversions_data();
    void utf8Conversions();
    void slashTriple_data();
    void slashTriple();
    void wordTables();

    void helperWithoutSessionOrParameters();
    void helperSendAndCall();
    void helperReplyJudgement_data();
    void helperReplyJudgement();
    void helperGetParamsSplitsValuesAndErrors();
    void helperGetListAppendsAndSplits();
    void helperTimeoutAndBusy();

    void networkRequestShapes();
    void attachAndReset();
    void linkDroppedDuringCall();
    void ethernetSettersSendByMode();
    void ethernetRefreshByFirmware();
    void ethernetReadAndWrite();
    void ethernetConfigInfoEvent();
    void isdnSettersAndFiveAs();
    void isdnReadAndWrite();
};

void ModelTest::latin1Conversions()
{
    QCOMPARE(toStdString(QString()), std::string());
    QCOMPARE(fromUtf8StdString(std::string()), QString());
    QCOMPARE(toStdString(QString(QChar(0xE9))), std::string("\xE9"));
    // Each half of a surrogate pair is one code unit, so one "?" each.
    QCOMPARE(toStdString(QString::fromUtf8("a\xF0\x9F\x8E\xB5" "b")), std::string("a??b"));
    QCOMPARE(toUtf8StdString(QString(QChar(0x20AC))), std::string("?"));

    // NUL and high bytes pass both ways unchanged.
    const std::string bytes("a\0\x80\xFF", 4);
    const QString q = toQString(bytes);
    QCOMPARE(q.size(), 4);
    QCOMPARE(q.at(3).unicode(), char16_t(0xFF));
    QCOMPARE(toStdString(q), bytes);

    QString all;
    for (int c = 1; c <= 0xFF; ++c)
        all.append(QChar(c));
    const std::string utf8 = toUtf8StdString(all);
    QVERIFY(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())) == all); // well-formed UTF-8
    QCOMPARE(fromUtf8StdString(utf8), all);
}

void ModelTest::utf8Conversions_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("e-acute") << QByteArray("\xC3\xA9") << QString(QChar(0xE9));
    QTest::newRow("euro stays bytes") << QByteArray("\xE2\x82\xAC")
                                      << (QString(QChar(0xE2)) + QChar(0x82) + QChar(0xAC));
    QTest::newRow("lone lead at end") << QByteArray("x\xC3") << (QString("x") + QChar(0xC3));
    QTest::newRow("lead without continuation") << QByteArray("\xC3" "A") << (QString(QChar(0xC3)) + "A");
    QTest::newRow("stray continuation") << QByteArray("\xA9") << QString(QChar(0xA9));
}

void ModelTest::utf8Conversions()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(fromUtf8StdString(bytes.toStdString()), text);
}

void ModelTest::slashTriple_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<QByteArray>("name");
    // Failures leave the record as it was: 0xFFFF, 0, "None".
    QTest::newRow("full") << QByteArray("12/3/Studio A") << true << 12 << 3 << QByteArray("Studio A");
    QTest::newRow("utf8 name") << QByteArray("1/2/Caf\xC3\xA9") << true << 1 << 2 << QByteArray("Caf\xE9");
    QTest::newRow("name with slash") << QByteArray("1/2/a/b") << true << 1 << 2 << QByteArray("a/b");
    QTest::newRow("ends after second slash") << QByteArray("4/5/") << true << 4 << 5 << QByteArray();
    QTest::newRow("bad numbers read as 0") << QByteArray("x/y/n") << true << 0 << 0 << QByteArray("n");
    QTest::newRow("empty") << QByteArray() << false << 0xFFFF << 0 << QByteArray("None");
    QTest::newRow("no slash") << QByteArray("12") << false << 0xFFFF << 0 << QByteArray("None");
    QTest::newRow("one slash") << QByteArray("4/5") << false << 0xFFFF << 0 << QByteArray("None");
    QTest::newRow("starts with slash") << QByteArray("/1/n") << false << 0xFFFF << 0 << QByteArray("None");
    QTest::newRow("ends after first slash") << QByteArray("1/") << false << 0xFFFF << 0 << QByteArray("None");
    QTest::newRow("empty middle") << QByteArray("1//n") << false << 0xFFFF << 0 << QByteArray("None");
}

void ModelTest::slashTriple()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(QByteArray, name);
    StreamRecord record;
    QCOMPARE(parseSlashTriple(record, text.toStdString()), ok);
    QCOMPARE(record.streamId, first);
    QCOMPARE(record.streamSubId, second);
    QCOMPARE(record.name, name.toStdString());
}

void ModelTest::wordTables()
{
    // Reading undoes writing for every index; the controller tests below pin
    // the spelling of the words on the wire. Here: the edges.
    for (int i = 0; i < 4; ++i)
        QCOMPARE(ethernetModeFromName(ethernetModeName(i)), i);
    for (int i = 0; i < 9; ++i)
        QCOMPARE(linkModeFromName(linkModeName(i)), i);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(networkQualityFromName(networkQualityName(i)), i);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(ajbProfileFromName(ajbProfileName(i)), i);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(isdnProtocolFromName(isdnProtocolName(i)), i);
    QCOMPARE(linkModeName(8), std::string("10baseT-HD"));
    QCOMPARE(isdnProtocolName(2), std::string("isdn_ntt"));

    QCOMPARE(ethernetModeName(-1), std::string("dhcp"));
    QCOMPARE(ethernetModeName(4), std::string("dhcp"));
    QCOMPARE(ethernetModeFromName("DHCP"), -1);
    QCOMPARE(linkModeName(9), std::string("autonegotiation"));
    QCOMPARE(linkModeFromName(""), -1);
    QCOMPARE(networkQualityName(-1), std::string("low"));
    QCOMPARE(networkQualityFromName("great"), 2);
    QCOMPARE(ajbProfileName(3), std::string("standard"));
    QCOMPARE(ajbProfileFromName(""), 1);
    QCOMPARE(isdnProtocolName(7), std::string("isdn_udss1"));
    QCOMPARE(isdnProtocolFromName("isdn_ni1"), 1);
    QCOMPARE(isdnProtocolFromName(""), 0);

    // The cause-to-state map: the special 200, non-causes, one shared entry, the default.
    QCOMPARE(controllerStateFromReply("200-unknown error"), 0);
    QCOMPARE(controllerStateFromReply(""), 0);
    QCOMPARE(controllerStateFromReply("not a cause"), 0);
    QCOMPARE(controllerStateFromReply("010-sim missing"), 4);
    QCOMPARE(controllerStateFromReply("011-sim locked"), 5);
    QCOMPARE(controllerStateFromReply("124-puk required"), 5);
    QCOMPARE(controllerStateFromReply("100-wrong password"), 1);
    QCOMPARE(controllerStateFromCause(200), 1);
    QCOMPARE(controllerStateFromCause(-3), 1);
}

void ModelTest::helperWithoutSessionOrParameters()
{
    TComRequestHelper none;
    std::string value = "old";
    std::vector<std::string> items;
    TComRequestHelper::ValueMap values, errors;
    TCommand get = paramGet("network", {"mode"});
    QVERIFY(!none.send(get));
    QVERIFY(!none.getValue(get, value));
    QCOMPARE(value, std::string());
    QCOMPARE(none.setParams(get), -1);
    QCOMPARE(none.getParams(get, values, errors), -1);
    QVERIFY(!none.subscribe("network_info"));
    TCommand list = paramGet("general", {});
    list.addList("device_opts");
    QVERIFY(!none.getList(list, items));
    QVERIFY(!none.call(get, values));

    TComRequestHelper helper(&sim->com);
    // Malformed requests never reach the unit.
    QVERIFY(!helper.send(TCommand(TCommand::Do)));
    QCOMPARE(helper.setParams(TCommand(TCommand::Param)), -1);
    QVERIFY(!helper.getValue(paramGet("network", {"a", "b"}), value));
    TCommand noList = paramGet("network", {});
    QVERIFY(!helper.getList(noList, items));
    QCOMPARE(helper.getParams(noList, values, errors), -1);
    QTest::qWait(50);
    QVERIFY(sim->bodies().isEmpty());
}

void ModelTest::helperSendAndCall()
{
    TComRequestHelper helper(&sim->com);

    sim->expect("DO;action:subscribe;info:network_info;", "DO;return:OK;");
    QVERIFY(helper.subscribe("network_info"));
    sim->expect("DO;action:unsubscribe;info:sip_registration;",
               "DO;cause:115-resource busy;return:ERROR;");
    QVERIFY(!helper.unsubscribe("sip_registration"));
    QCOMPARE(helper.lastError(), std::string("115-resource busy"));

    TCommand con(TCommand::Do);
    con.setParam("action", "con");
    con.setParam("remote_addr", "sip:a@b");
    sim->expect("DO;action:con;remote_addr:sip:a@b;", "DO;id:7;return:OK;state:busy;");
    TComRequestHelper::ValueMap reply{{"state", "kept"}};
    QVERIFY(helper.call(con, reply));
    QVERIFY(helper.lastError().empty()); // every operation starts with a clean last error
    QCOMPARE(reply.size(), std::size_t(2));
    QCOMPARE(reply["id"], std::string("7"));
    QCOMPARE(reply["state"], std::string("kept"));

    sim->expect("DO;action:con;remote_addr:sip:a@b;", "DO;cause:120-no connection;return:ERROR;");
    reply.clear();
    QVERIFY(!helper.call(con, reply));
    QVERIFY(reply.empty());
    QCOMPARE(helper.lastError(), std::string("120-no connection"));
}

void ModelTest::helperReplyJudgement_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QByteArrayList>("replies"); // empty: an error reply
    QTest::addColumn<int>("result");             // getValue: 1 or 0; setParams: the count
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("get OK") << false << QByteArrayList{"PARAM;mode:manual;return:OK;"} << 1 << QByteArray("manual");
    // A key held without a value is a success with an empty value.
    QTest::newRow("get not set") << false << QByteArrayList{"PARAM;mode:101-parameter not set;return:ERROR;"}
                                 << 1 << QByteArray();
    // A refused key comes back through the session's follow-up.
    QTest::newRow("get refused key") << false << QByteArrayList{"PARAM;mode:102-unknown parameter;return:ERROR;"}
                                     << 0 << QByteArray("102-unknown parameter");
    QTest::newRow("get PROGRESS keeps first")
        << false << QByteArrayList{"PARAM;mode:dhcp;return:PROGRESS;", "PARAM;mode:bgan;return:OK;"} << 1
        << QByteArray("dhcp");
    QTest::newRow("get error reply") << false << QByteArrayList{} << 0 << QByteArray();
    QTest::newRow("set OK") << true << QByteArrayList{kOk} << 3 << QByteArray();
    QTest::newRow("set one refused") << true << QByteArrayList{"PARAM;gateway:105-invalid value;return:ERROR;"} << 2
                                     << QByteArray();
    // Even a unit that refuses more keys than were sent never gives a negative count.
    QTest::newRow("set more refused than sent")
        << true << QByteArrayList{"PARAM;a:105-x;b:105-x;c:105-x;d:105-x;return:ERROR;"} << 0 << QByteArray();
    // "ERROR" without any error text names no key: still not "all accepted".
    QTest::newRow("set ERROR naming no key") << true << QByteArrayList{"PARAM;gateway:busy;return:ERROR;"} << -1
                                             << QByteArray();
    QTest::newRow("set error reply") << true << QByteArrayList{} << -1 << QByteArray();
}

void ModelTest::helperReplyJudgement()
{
    QFETCH(bool, set);
    QFETCH(QByteArrayList, replies);
    QFETCH(int, result);
    QFETCH(QByteArray, value);
    TComRequestHelper helper(&sim->com);
    TCommand request = paramGet("network", {"mode"});
    if (set) {
        request = TCommand(TCommand::Param);
        request.setParam("target", "network");
        request.setParam("network", "eth.0");
        request.setParam("gateway", "10.0.0.1");
    }
    UnitSimulator::Actions actions;
    for (const QByteArray& reply : replies)
        actions.append(UnitSimulator::reply(reply));
    if (actions.isEmpty())
        actions.append(UnitSimulator::errorReply(117));
    sim->unit.onRequest(set ? "PARAM;gateway:10.0.0.1;network:eth.0;target:network;"
                            : "PARAM;target:network;GET:mode;", actions, 1);
    std::string got = "old";
    QCOMPARE(set ? helper.setParams(request) : int(helper.getValue(request, got)), result);
    if (!set)
        QCOMPARE(got, value.toStdString());
    QVERIFY(helper.lastError().empty());
}

void ModelTest::helperGetParamsSplitsValuesAndErrors()
{
    TComRequestHelper helper(&sim->com);
    const TCommand get = paramGet("network", {"mode", "dns1", "dns2"});
    const QByteArray text = "PARAM;target:network;GET:mode;GET:dns1;GET:dns2;";

    sim->expect(text, "PARAM;dns1:101-parameter not set;dns2:102-unknown parameter;mode:dhcp;"
                     "return:ERROR;target:network;");
    TComRequestHelper::ValueMap values{{"mode", "kept"}}, errors;
    QCOMPARE(helper.getParams(get, values, errors), 3);
    QCOMPARE(values["mode"], std::string("kept"));
    QCOMPARE(values["dns1"], std::string());
    QCOMPARE(values.count("dns2"), std::size_t(0));
    QCOMPARE(values.count("return"), std::size_t(0));
    QCOMPARE(errors.size(), std::size_t(1));
    QCOMPARE(errors["dns2"], std::string("102-unknown parameter"));
    QVERIFY(!TComRequestHelper::allAnswered(get, values));

    // An echoed "target" counts as a value but not as an answered key.
    sim->expect(text, "PARAM;dns1:8.8.8.8;dns2:;mode:manual;return:OK;target:network;");
    values.clear();
    errors.clear();
    QCOMPARE(helper.getParams(get, values, errors), 4);
    QVERIFY(errors.empty());
    QVERIFY(TComRequestHelper::allAnswered(get, values));
    values.erase("dns2");
    QVERIFY(!TComRequestHelper::allAnswered(get, values));
    QVERIFY(!TComRequestHelper::allAnswered(TCommand(TCommand::Param), values));
}

void ModelTest::helperGetListAppendsAndSplits()
{
    TComRequestHelper helper(&sim->com);
    TCommand list = paramGet("general", {});
    list.addList("device_opts");
    const QByteArray text = "PARAM;target:general;LIST:device_opts;";

    std::vector<std::string> items{"old"};
    sim->unit.onRequest(text, {UnitSimulator::reply("PARAM;device_opts:ip_dcodec;return:PROGRESS;"),
                              UnitSimulator::reply("PARAM;device_opts:x\\\\,y;return:PROGRESS;"),
                              UnitSimulator::reply("PARAM;device_opts:ravenna;return:OK;")}, 1);
    QVERIFY(helper.getList(list, items));
    QCOMPARE(items, (std::vector<std::string>{"old", "ip_dcodec", "x,y", "ravenna"}));

    // Gathered with "returnFmt" "EXT": items are split at the group separator only.
    items.clear();
    sim->unit.onRequest(text, {UnitSimulator::reply("PARAM;device_opts:a,b;return:PROGRESS;returnFmt:EXT;"),
                              UnitSimulator::reply("PARAM;device_opts:c;return:OK;returnFmt:EXT;")}, 1);
    QVERIFY(helper.getList(list, items));
    QCOMPARE(items, (std::vector<std::string>{"a,b", "c"}));

    items.clear();
    sim->expect(text, "PARAM;device_opts:;return:OK;");
    QVERIFY(helper.getList(list, items));
    QVERIFY(items.empty());

    sim->expect(text, "PARAM;device_opts:105-invalid value;return:ERROR;");
    QVERIFY(!helper.getList(list, items));
}

void ModelTest::helperTimeoutAndBusy()
{
    TComRequestHelper helper(&sim->com);
    const TCommand get = paramGet("network", {"mode"});
    const QByteArray text = "PARAM;target:network;GET:mode;";
    std::string value;

    sim->unit.onRequest(text, {}, 1); // the unit stays silent
    QVERIFY(!helper.getValue(get, value, 1000));

    // A second synchronous request while one waits is refused at once.
    sim->unit.onRequest(text, {UnitSimulator::delay(300),
                              UnitSimulator::reply("PARAM;mode:pppoe;return:OK;")}, 1);
    TComRequestHelper other(&sim->com);
    int nested = 99;
    QTimer::singleShot(0, [&] {
        TComRequestHelper::ValueMap values, errors;
        nested = other.getParams(get, values, errors);
    });
    QVERIFY(helper.getValue(get, value));
    QCOMPARE(value, std::string("pppoe"));
    QCOMPARE(nested, -1);
    QCOMPARE(sim->bodies().size(), 2);
}

void ModelTest::networkRequestShapes()
{
    TComEthernetController eth(&sim->com);

    // Not attached: no name, so making it the default sends nothing.
    QVERIFY(!eth.setAsDefaultNetwork());
    QVERIFY(eth.attach("eth.0", 0, false));
    QCOMPARE(eth.network(), std::string("eth.0"));

    // Without "send" the network's name stays out of the request.
    sim->expect("PARAM;target:network;x:1;", kOk);
    QVERIFY(eth.setParam("x", "1", false));
    sim->expect("PARAM;dns1:a;dns2:b;network:eth.0;target:network;", kOk);
    QVERIFY(eth.setParams({{"dns2", "b"}, {"dns1", "a"}}, true));

    std::string value;
    sim->expect("PARAM;network:eth.0;target:network;GET:hw_addr;", "PARAM;hw_addr:00:11;return:OK;");
    QVERIFY(eth.getParam("hw_addr", value, true));
    QCOMPARE(value, std::string("00:11"));
    TComNetworkController::ValueMap values, errors;
    sim->expect("PARAM;network:eth.0;target:network;GET:mode;GET:cable;",
               "PARAM;cable:plugged;mode:dhcp;return:OK;");
    QCOMPARE(eth.getParams({"mode", "cable"}, values, errors, true), 2);
    std::vector<std::string> items;
    sim->expect("PARAM;network:eth.0;target:network;LIST:link_modes;",
               "PARAM;link_modes:autonegotiation,10baseT-HD;return:OK;");
    QVERIFY(eth.getList("link_modes", items, true));
    QCOMPARE(items.size(), std::size_t(2));

    sim->expect("PARAM;default_network:eth.0;target:network;", kOk);
    QVERIFY(eth.setAsDefaultNetwork());

    // Re-initialising another network leaves this one's state alone.
    QSignalSpy states(&eth, &TComController::controllerStateChanged);
    sim->expect("DO;action:reinit;network:eth.1;target:network;", "DO;return:OK;");
    QVERIFY(eth.reinit("eth.1", true));
    QCOMPARE(eth.state(), 0);
    sim->expect("DO;action:reinit;network:eth.0;target:network;", "DO;return:OK;");
    QVERIFY(eth.reinit("eth.0", true));
    QCOMPARE(eth.state(), -1);
    QCOMPARE(states.count(), 1);

    QCOMPARE(sim->bodies().size(), 8);
}

void ModelTest::attachAndReset()
{
    TComEthernetController eth(&sim->com);
    QSignalSpy states(&eth, &TComController::controllerStateChanged);
    QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);
    QCOMPARE(eth.state(), -1);

    QVERIFY(!eth.attach("", 1, true));
    QCOMPARE(states.count(), 0);

    QVERIFY(eth.attach("eth.0", 0, false));
    QCOMPARE(eth.state(), 0);
    QCOMPARE(states.count(), 2); // -1 -> 1 -> 0
    QCOMPARE(states.first().first().value<TComController*>(), &eth);

    // Attaching again resets first.
    QVERIFY(eth.attach("eth.1", 0, false));
    QCOMPARE(states.count(), 5); // 0 -> -1 -> 1 -> 0
    QCOMPARE(eth.network(), std::string("eth.1"));

    // Refused as default network: the name stays and the controller is unloaded.
    sim->expect("PARAM;default_network:eth.2;target:network;",
               "PARAM;default_network:110-not available;return:ERROR;");
    QVERIFY(!eth.attach("eth.2", 0, true));
    QCOMPARE(eth.network(), std::string("eth.1"));
    QCOMPARE(eth.state(), -1);

    // The refresh while attaching announces nothing.
    FirmwareWord fw(0x10C00);
    sim->expect(kEthRefresh + "GET:ajb_profile;",
               "PARAM;ajb_profile:punchy;cable:plugged;dns1:1.1.1.1;dns2:;gateway:10.0.0.1;"
               "hw_addr:00:a0;link_mode:100baseT-FD;link_mode_neg:1000baseT-FD;local_addr:10.0.0.2;"
               "mode:manual;network:eth.0;network_quality:high;return:OK;subnet:255.0.0.0;target:network;");
    states.clear();
    QVERIFY(eth.attach("eth.0", 1, false));
    QCOMPARE(params.count(), 0);
    QCOMPARE(states.count(), 2);
    QCOMPARE(eth.mode(), 1);
    QCOMPARE(eth.localAddr(), std::string("10.0.0.2"));
    QCOMPARE(eth.linkModeNeg(), 3);
    QCOMPARE(eth.ajbProfile(), 2);
    QVERIFY(eth.cable());

    // A failed refresh leaves the controller unloaded.
    sim->unit.onRequestMatching(QRegularExpression("GET:cable;"), {UnitSimulator::errorReply(117)}, 1);
    QVERIFY(!eth.attach("eth.0", 1, false));
    QCOMPARE(eth.state(), -1);
    QVERIFY(!eth.signalsBlocked());

    // reset() restores the defaults silently, apart from the state.
    QVERIFY(eth.attach("eth.0", 0, false));
    eth.setLinkModeNeg(4);
    params.clear();
    states.clear();
    eth.reset();
    QCOMPARE(params.count(), 0);
    QCOMPARE(states.count(), 1);
    QCOMPARE(eth.linkModeNeg(), -1);
    QCOMPARE(eth.mode(), -1);
    QCOMPARE(eth.localAddr(), std::string());
    QVERIFY(!eth.cable());
    eth.reset();
    QCOMPARE(states.count(), 1);
}

void ModelTest::linkDroppedDuringCall()
{
    TComEthernetController eth(&sim->com);
    QVERIFY(eth.attach("eth.0", 0, false));
    QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);

    // The unit goes away while the setter waits: the old value stays, nothing is announced.
    sim->unit.onRequest("PARAM;mode:manual;network:eth.0;target:network;",
                       {UnitSimulator::delay(20), UnitSimulator::drop()}, 1);
    QVERIFY(!eth.setMode(1, true));
    QCOMPARE(eth.mode(), -1);
    QCOMPARE(params.count(), 0);
    QVERIFY(eth.requestHelper().lastError().empty());

    // Without a link a refresh fails, and so does attaching with it.
    QVERIFY(!eth.refreshMode());
    QVERIFY(!eth.attach("eth.0", 1, false));
    QCOMPARE(eth.state(), -1);
    QVERIFY(!eth.signalsBlocked());
}

void ModelTest::ethernetSettersSendByMode()
{
    TComEthernetController eth(&sim->com);
    QVERIFY(eth.attach("eth.0", 0, false));
    QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);

    // DHCP: addresses are stored and announced, never sent.
    sim->expect("PARAM;mode:dhcp;network:eth.0;target:network;", kOk);
    QVERIFY(eth.setMode(0, true));
    QVERIFY(eth.setLocalAddr("10.0.0.2", true));
    QVERIFY(eth.setGateway("10.0.0.1", true));
    QCOMPARE(eth.localAddr(), std::string("10.0.0.2"));
    QVERIFY(eth.setMode(0, true)); // the same value again sends and emits nothing

    // A refused setter keeps the old value and emits nothing.
    sim->expect("PARAM;mode:manual;network:eth.0;target:network;", "PARAM;mode:116-invalid state;return:ERROR;");
    QVERIFY(!eth.setMode(1, true));
    QCOMPARE(eth.mode(), 0);
    QCOMPARE(indices(params), (QList<int>{0, 1, 3}));

    // Manual: addresses go to the unit; an empty gateway is sent, an empty address is not.
    sim->expect("PARAM;mode:manual;network:eth.0;target:network;", kOk);
    QVERIFY(eth.setMode(1, true));
    sim->expect("PARAM;local_addr:10.0.0.3;network:eth.0;target:network;", kOk);
    QVERIFY(eth.setLocalAddr("10.0.0.3", true));
    QVERIFY(eth.setLocalAddr("", true));
    QCOMPARE(eth.localAddr(), std::string());
    sim->expect("PARAM;gateway:;network:eth.0;target:network;", kOk);
    QVERIFY(eth.setGateway("", true));

    // -1 is stored but never sent.
    sim->expect("PARAM;link_mode:100baseT-HD;network:eth.0;target:network;", kOk);
    QVERIFY(eth.setLinkMode(6, true));
    QVERIFY(eth.setLinkMode(-1, true));
    QCOMPARE(eth.linkMode(), -1);
    sim->expect("PARAM;network:eth.0;network_quality:very_high;target:network;", kOk);
    QVERIFY(eth.setNetworkQuality(5, true));
    sim->expect("PARAM;ajb_profile:safe;network:eth.0;target:network;", kOk);
    QVERIFY(eth.setAjbProfile(0, true));
    QCOMPARE(sim->bodies().size(), 8);

    // Read-only values.
    params.clear();
    eth.setLinkModeNeg(-1);
    eth.setLinkModeNeg(5);
    eth.setLinkModeNeg(5);
    QVERIFY(eth.setHwAddr("00:a0"));
    eth.setCable(true);
    QCOMPARE(indices(params), (QList<int>{7, 8, 9}));
}

void ModelTest::ethernetRefreshByFirmware()
{
    TComEthernetController eth(&sim->com);
    QVERIFY(eth.attach("eth.0", 0, false));
    sim->expect(kEthRefresh, "PARAM;mode:bgan;network_quality:;return:OK;");
    sim->expect(kEthRefresh + "GET:ajb_profile;", "PARAM;ajb_profile:;mode:pppoe;return:OK;");
    {
        FirmwareWord fw(0x10BFF);
        QVERIFY(eth.refresh());
        QCOMPARE(eth.mode(), 3);
        QCOMPARE(eth.networkQuality(), 2);
    }
    {
        FirmwareWord fw(0x10C00);
        QVERIFY(eth.refresh());
        QCOMPARE(eth.mode(), 2);
        QCOMPARE(eth.ajbProfile(), 1);
    }
}

void ModelTest::ethernetReadAndWrite()
{
    TComEthernetController eth(&sim->com);
    QVERIFY(eth.attach("eth.0", 0, false));
    QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);

    QVERIFY(!eth.readParams({}));
    sim->expect("PARAM;network:eth.0;target:network;GET:mode;GET:link_mode;GET:cable;",
               "PARAM;cable:unplugged;link_mode:101-parameter not set;mode:fancy;return:ERROR;");
    QVERIFY(eth.readParams({"mode", "link_mode", "cable"}));
    QCOMPARE(eth.mode(), -1);
    QCOMPARE(eth.linkMode(), -1);
    QVERIFY(!eth.cable());
    QCOMPARE(params.count(), 0);

    sim->expect("PARAM;network:eth.0;target:network;GET:mode;", "PARAM;mode:manual;return:OK;");
    QVERIFY(eth.refreshMode());
    QCOMPARE(eth.mode(), 1);
    sim->unit.onRequestMatching(QRegularExpression("GET:mode;"), {UnitSimulator::errorReply(117)}, 1);
    QVERIFY(!eth.readParams({"mode"}));
    QCOMPARE(eth.mode(), 1);

    // Read-only keys alone: nothing to write, nothing sent.
    sim->unit.clearReceived();
    QVERIFY(!eth.writeParams({"hw_addr", "cable", "link_mode_neg"}));
    QVERIFY(!eth.writeParams({}));

    // writeParams sends addresses whatever the mode, empty ones too.
    QVERIFY(eth.setMode(0, false));
    QVERIFY(eth.setDns1("1.1.1.1", false));
    sim->expect("PARAM;ajb_profile:standard;dns1:1.1.1.1;gateway:;link_mode:autonegotiation;mode:dhcp;"
               "network:eth.0;network_quality:low;target:network;",
               "PARAM;gateway:105-invalid value;return:ERROR;");
    QVERIFY(!eth.writeParams({"mode", "dns1", "gateway", "link_mode", "network_quality",
                              "ajb_profile", "hw_addr"}));
    QCOMPARE(eth.dns1(), std::string("1.1.1.1"));
    QCOMPARE(sim->bodies().size(), 1);
}

void ModelTest::ethernetConfigInfoEvent()
{
    TComEthernetController eth(&sim->com);
    QVERIFY(eth.attach("eth.0", 0, false));
    QVERIFY(eth.setLocalAddr("10.0.0.2", false));
    QVERIFY(eth.setDns2("8.8.4.4", false));
    eth.setCable(true);
    QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);

    // Another network's event, or one naming none, is not ours.
    TCommand config(TCommand::Event);
    config.setParam("event_type", "config info");
    QVERIFY(!eth.handleEvent(config));
    config.setParam("network", "eth.1");
    config.setParam("mode", "manual");
    QVERIFY(!eth.handleEvent(config));
    QVERIFY(!eth.handleInfo(config));
    QCOMPARE(params.count(), 0);
    QCOMPARE(eth.mode(), -1);

    config.setParam("network", "eth.0", 1);
    config.setParam("local_addr", "192.168.1.5");
    config.setParam("gateway", "192.168.1.1");
    QVERIFY(eth.handleEvent(config));
    QCOMPARE(indices(params), (QList<int>{0, 1, 3, 5, 12}));
    QCOMPARE(eth.mode(), 1);
    QCOMPARE(eth.localAddr(), std::string("192.168.1.5"));
    QCOMPARE(eth.dns2(), std::string()); // absent from the event: cleared
    QVERIFY(eth.cable());                // absent from the event: kept

    params.clear();
    config.setParam("cable", "unplugged", 1);
    QVERIFY(eth.handleEvent(config));
    QCOMPARE(indices(params), (QList<int>{9, 12}));

    params.clear();
    TCommand choice(TCommand::Event);
    choice.setParam("event_type", "default_network");
    choice.setParam("network", "eth.0");
    choice.setParam("mode", "pppoe");
    QVERIFY(eth.handleEvent(choice));
    QCOMPARE(indices(params), (QList<int>{0}));
    choice.setParam("event_type", "rebooting", 1);
    QVERIFY(!eth.handleEvent(choice));
    QTest::qWait(20);
    QVERIFY(sim->bodies().isEmpty());
}

void ModelTest::isdnSettersAndFiveAs()
{
    TComIsdnController isdn(&sim->com);
    QVERIFY(isdn.attach("isdn.0", 0, false));
    QSignalSpy params(&isdn, &TComNetworkController::controllerParamChanged);

    sim->expect("PARAM;5as:on;target:audio;", kOk);
    QVERIFY(isdn.set5as(true, true));
    QVERIFY(isdn.set5as(true, true)); // unchanged: nothing sent
    sim->expect("PARAM;5as:off;target:audio;", "PARAM;5as:115-resource busy;return:ERROR;");
    QVERIFY(!isdn.set5as(false, true));
    QVERIFY(isdn.fiveAs());

    sim->expect("PARAM;network:isdn.0;protocol:isdn_udss1;target:network;", kOk);
    QVERIFY(isdn.setProtocol(9, true)); // written as the default word, stored as given
    QCOMPARE(isdn.protocol(), 9);
    sim->expect("PARAM;network:isdn.0;spid:0123;target:network;", kOk);
    QVERIFY(isdn.setSpid("0123", true));
    QVERIFY(isdn.setSubaddrSb0Ch0("7", false));
    QCOMPARE(indices(params), (QList<int>{0, 1, 2, 5}));
    QCOMPARE(sim->bodies().size(), 4);

    params.clear();
    QSignalSpy states(&isdn, &TComController::controllerStateChanged);
    isdn.reset();
    QCOMPARE(params.count(), 0);
    QCOMPARE(states.count(), 1);
    QVERIFY(!isdn.fiveAs());
    QCOMPARE(isdn.protocol(), 0);
    QCOMPARE(isdn.spid(), std::string());
}

void ModelTest::isdnReadAndWrite()
{
    TComIsdnController isdn(&sim->com);

    // attach with a refresh: the audio switch and the network keys separately.
    sim->expect("PARAM;network:isdn.0;target:network;GET:protocol;GET:spid;GET:addr_sb0_ch0;"
               "GET:addr_sb0_ch1;GET:subaddr_sb0_ch0;GET:subaddr_sb0_ch1;",
               "PARAM;addr_sb0_ch0:4711;protocol:isdn_ni1;return:OK;spid:;");
    sim->expect("PARAM;target:audio;GET:5as;", "PARAM;5as:on;return:OK;");
    QVERIFY(isdn.attach("isdn.0", 3, false));
    QCOMPARE(isdn.protocol(), 1);
    QCOMPARE(isdn.addrSb0Ch0(), std::string("4711"));
    QVERIFY(isdn.fiveAs());

    // Only "5as": one audio request, no network part.
    sim->unit.clearReceived();
    sim->expect("PARAM;target:audio;GET:5as;", "PARAM;5as:off;return:OK;");
    QVERIFY(isdn.readParams({"5as"}));
    QVERIFY(!isdn.fiveAs());
    QCOMPARE(sim->bodies(), QByteArrayList({"PARAM;target:audio;GET:5as;"}));

    // Either part succeeding is enough.
    sim->unit.onRequestMatching(QRegularExpression("GET:spid;"), {UnitSimulator::errorReply(117)}, 1);
    sim->expect("PARAM;target:audio;GET:5as;", "PARAM;5as:on;return:OK;");
    QVERIFY(isdn.readParams({"spid", "5as"}));
    QVERIFY(isdn.fiveAs());
    sim->unit.onRequestMatching(QRegularExpression("GET:5as;"), {UnitSimulator::errorReply(117)}, 1);
    QVERIFY(!isdn.readParams({"5as"}));

    // The protocol read as "isdn_ni1" is written back as "isdn_ni2"; the network
    // request goes first, the audio one follows even when the first was refused.
    sim->unit.clearReceived();
    QVERIFY(isdn.setSpid("99", false));
    sim->expect("PARAM;network:isdn.0;protocol:isdn_ni2;spid:99;target:network;",
               "PARAM;spid:105-invalid value;return:ERROR;");
    sim->expect("PARAM;5as:on;target:audio;", kOk);
    QVERIFY(!isdn.writeParams({"5as", "spid", "protocol", "hw_addr"}));
    QCOMPARE(sim->bodies(), QByteArrayList({"PARAM;network:isdn.0;protocol:isdn_ni2;spid:99;target:network;",
                                           "PARAM;5as:on;target:audio;"}));

    sim->expect("PARAM;5as:on;target:audio;", kOk);
    QVERIFY(isdn.writeParams({"5as"}));
    QVERIFY(!isdn.writeParams({"cable"}));
    QVERIFY(!isdn.writeParams({}));
    QCOMPARE(sim->bodies().size(), 3);

    TCommand event(TCommand::Event);
    event.setParam("event_type", "config info");
    event.setParam("network", "isdn.0");
    QVERIFY(!isdn.handleEvent(event));
    QVERIFY(!isdn.handleInfo(event));
}

QTEST_GUILESS_MAIN(ModelTest)
#include "tst_model.moc"
