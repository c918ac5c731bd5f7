#include "link/ccom.h"
#include "model/tcomethernetcontroller.h"
#include "model/tcomisdncontroller.h"
#include "model/tcomrequesthelper.h"
#include "model/textconv.h"
#include "tests/support/simulatedunit.h"
#include "tests/support/testrows.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

namespace {

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

// getValue (set false) or setParams against the replies (none: an error reply);
// the result is getValue's 1 or 0, or the count setParams gives.
struct Judgement
{
    const char* name;
    bool set;
    QByteArrayList replies;
    int result;
    QByteArray value;
};
const Judgement kJudgements[] = {
    // A key held without a value is a success with an empty value.
    {"get not set", false, {"PARAM;mode:101-parameter not set;return:ERROR;"}, 1, {}},
    {"get refused key", false, {"PARAM;mode:102-unknown parameter;return:ERROR;"}, 0, "102-unknown parameter"},
    {"get PROGRESS keeps first", false, {"PARAM;mode:dhcp;return:PROGRESS;", "PARAM;mode:bgan;return:OK;"}, 1, "dhcp"},
    {"set one refused", true, {"PARAM;gateway:105-invalid value;return:ERROR;"}, 2, {}},
    // Even a unit that refuses more keys than were sent never gives a negative count.
    {"set more refused than sent", true, {"PARAM;a:105-x;b:105-x;c:105-x;d:105-x;return:ERROR;"}, 0, {}},
    // "ERROR" without any error text names no key: still not "all accepted".
    {"set ERROR naming no key", true, {"PARAM;gateway:busy;return:ERROR;"}, -1, {}},
    {"set error reply", true, {}, -1, {}},
};

struct StreamRecord { int streamId = 0xFFFF; int streamSubId = 0; std::string name = "None"; };

// A controller with the table features the Ethernet and ISDN tables leave
// unused: start values, reals, UTF-8 texts, other switch words, array
// elements, firmware gates and fields kept across a reset.
class SampleController : public TComNetworkController
{
public:
    explicit SampleController(zel::CCom* session) : TComNetworkController(session, AudioType)
    {
        restoreStartValues();
    }
    using TComController::applyValues;
    using TComController::setKey;

    int level, gain[2];
    float ratio;
    std::string name;
    bool power, board = false;

protected:
    const ParamKeys& keyTable() const override
    {
        using S = SampleController;
        static const ParamKeys& table = *new ParamKeys{
            key<&S::level>("level", 0).startsAt(16).sendAboveFirmware(0x106FF),
            key<&S::ratio>("ratio", 1).startsAt(2.0),
            key<&S::name>("name", KeyWire::utf8(), 2).readAboveFirmware(0x109FF),
            key<&S::power>("power", KeyWire::onOff("48V", "off"), 3),
            key<&S::gain>("gain1", 4).at(0),
            key<&S::gain>("gain2", 5).at(1),
            key<&S::board>("board", KeyWire::onOff("yes", "no")).readOnly().keptOnReset().notRefreshed(),
        };
        return table;
    }
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


    void textConversions()
    {
        // Each half of a surrogate pair is one code unit, so one "?" each.
        QCOMPARE(toStdString(QString::fromUtf8("a\xF0\x9F\x8E\xB5" "b")), std::string("a??b"));
        QCOMPARE(toUtf8StdString(QString(QChar(0x20AC))), std::string("?"));
        QCOMPARE(fromUtf8StdString("\xC3\xA9\xE2"), QString(QChar(0xE9)) + QChar(0xE2));
        // NUL and high bytes pass both ways unchanged.
        const std::string bytes("a\0\x80\xFF", 4);
        QCOMPARE(toStdString(toQString(bytes)), bytes);
    }

    void slashTriple()
    {
        // Failures leave the record as it was: 0xFFFF, 0, "None".
        const struct {
            const char* text;
            bool ok;
            int first, second;
            const char* name;
        } rows[] = {
            {"1/2/Caf\xC3\xA9", true, 1, 2, "Caf\xC3\xA9"}, {"1/2/a/b", true, 1, 2, "a/b"},
            {"4/5/", true, 4, 5, ""},                    {"", false, 0xFFFF, 0, "None"},
            {"4/5", false, 0xFFFF, 0, "None"},
            {"/1/n", false, 0xFFFF, 0, "None"},          {"1/", false, 0xFFFF, 0, "None"},
            {"1//n", false, 0xFFFF, 0, "None"},
        };
        for (const auto& row : rows) {
            StreamRecord record;
            QVERIFY2(parseSlashTriple(record, row.text) == row.ok, row.text);
            QVERIFY2(record.streamId == row.first && record.streamSubId == row.second && record.name == row.name,
                     row.text);
        }
    }

    void causeToState()
    {
        // The unit's own unknown error is a failure, while texts that are no
        // cause (an operator name, the empty text) read as ready.
        QCOMPARE(controllerStateFromReply("200-unknown error"), 1);
        QCOMPARE(controllerStateFromReply("registered"), 0);
        QCOMPARE(controllerStateFromReply(""), 0);
        QCOMPARE(controllerStateFromReply("124-puk required"), 5);
        QCOMPARE(controllerStateFromReply("100-wrong password"), 1);
        QCOMPARE(controllerStateFromCause(200), 1);
    }

    void helperRefusesWithoutSessionOrParameters()
    {
        TComRequestHelper none;
        std::string value = "old";
        TComRequestHelper::ValueMap values, errors;
        const TCommand get = paramGet("network", {"mode"});
        QVERIFY(!none.getValue(get, value));
        QCOMPARE(value, std::string());
        QCOMPARE(none.setParams(get), -1);

        // Malformed requests never reach the unit.
        TComRequestHelper helper(&sim->com);
        std::vector<std::string> items;
        QVERIFY(!helper.send(TCommand(TCommand::Do)));
        QCOMPARE(helper.setParams(TCommand(TCommand::Param)), -1);
        QVERIFY(!helper.getValue(paramGet("network", {"a", "b"}), value));
        QVERIFY(!helper.getList(paramGet("network", {}), items));
        QCOMPARE(helper.getParams(paramGet("network", {}), values, errors), -1);
        QTest::qWait(50);
        QVERIFY(sim->bodies().isEmpty());
    }

    void helperSendAndCall()
    {
        TComRequestHelper helper(&sim->com);
        sim->expect("DO;action:unsubscribe;info:sip_registration;", "DO;cause:115-resource busy;return:ERROR;");
        QVERIFY(!helper.unsubscribe("sip_registration"));
        QCOMPARE(helper.lastError(), std::string("115-resource busy"));

        TCommand con(TCommand::Do);
        con.setParam("action", "con");
        sim->expect("DO;action:con;", "DO;id:7;return:OK;state:busy;");
        TComRequestHelper::ValueMap reply{{"state", "kept"}};
        QVERIFY(helper.call(con, reply));
        QVERIFY(helper.lastError().empty()); // every operation starts with a clean last error
        QCOMPARE(reply, (TComRequestHelper::ValueMap{{"id", "7"}, {"state", "kept"}}));

        sim->expect("DO;action:con;", "DO;cause:120-no connection;return:ERROR;");
        reply.clear();
        QVERIFY(!helper.call(con, reply));
        QVERIFY(reply.empty());
        QCOMPARE(helper.lastError(), std::string("120-no connection"));
    }

    void helperReplyJudgement_data() { indexRows(kJudgements); }

    void helperReplyJudgement()
    {
        QFETCH(int, row);
        const auto& [name, set, replies, result, value] = kJudgements[row];
        TComRequestHelper helper(&sim->com);
        TCommand request = paramGet("network", {"mode"});
        if (set)
            QCOMPARE(TCommand::parse("PARAM;gateway:10.0.0.1;network:eth.0;target:network;", request), 0);
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

    void helperGetParamsAndLists()
    {
        TComRequestHelper helper(&sim->com);
        const TCommand get = paramGet("network", {"mode", "dns1", "dns2"});
        const QByteArray text = "PARAM;target:network;GET:mode;GET:dns1;GET:dns2;";
        sim->expect(text, "PARAM;dns1:101-parameter not set;dns2:102-unknown parameter;mode:dhcp;"
                          "return:ERROR;target:network;");
        TComRequestHelper::ValueMap values{{"mode", "kept"}}, errors;
        QCOMPARE(helper.getParams(get, values, errors), 3);
        QCOMPARE(values, (TComRequestHelper::ValueMap{{"dns1", ""}, {"mode", "kept"}, {"target", "network"}}));
        QCOMPARE(errors, (TComRequestHelper::ValueMap{{"dns2", "102-unknown parameter"}}));
        // An echoed "target" counts as a value but not as an answered key.
        QVERIFY(!TComRequestHelper::allAnswered(get, values));
        values["dns2"] = "";
        QVERIFY(TComRequestHelper::allAnswered(get, values));
        // A read that fails after a partial reply leaves the caller's values.
        const auto before = values;
        sim->unit.onRequest(text, {UnitSimulator::reply("PARAM;gateway:1.2.3.4;return:PROGRESS;"),
                                   UnitSimulator::errorReply(117)}, 1);
        QCOMPARE(helper.getParams(get, values, errors), -1);
        QCOMPARE(values, before);
        QVERIFY(!TComRequestHelper::allAnswered(TCommand(TCommand::Param), values));

        TCommand list = paramGet("general", {});
        list.addList("device_opts");
        const QByteArray listText = "PARAM;target:general;LIST:device_opts;";
        std::vector<std::string> items{"old"};
        sim->unit.onRequest(listText, {UnitSimulator::reply("PARAM;device_opts:ip_dcodec;return:PROGRESS;"),
                                       UnitSimulator::reply("PARAM;device_opts:x\\\\,y;return:PROGRESS;"),
                                       UnitSimulator::reply("PARAM;device_opts:ravenna;return:OK;")}, 1);
        QVERIFY(helper.getList(list, items));
        QCOMPARE(items, (std::vector<std::string>{"old", "ip_dcodec", "x,y", "ravenna"}));
        // Gathered with "returnFmt" "EXT": items are split at the group separator only.
        items.clear();
        sim->unit.onRequest(listText, {UnitSimulator::reply("PARAM;device_opts:a,b;return:PROGRESS;returnFmt:EXT;"),
                                       UnitSimulator::reply("PARAM;device_opts:c;return:OK;returnFmt:EXT;")}, 1);
        QVERIFY(helper.getList(list, items));
        QCOMPARE(items, (std::vector<std::string>{"a,b", "c"}));
        sim->expect(listText, "PARAM;device_opts:105-invalid value;return:ERROR;");
        QVERIFY(!helper.getList(list, items));
    }

    void networkRequestShapes()
    {
        TComEthernetController eth(&sim->com);
        // Not attached: no name, so making it the default sends nothing.
        QVERIFY(!eth.setAsDefaultNetwork());
        QVERIFY(eth.attach("eth.0", 0, false));

        sim->expect("PARAM;target:network;x:1;", kOk);
        QVERIFY(eth.setParam("x", "1", false));
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
        QCOMPARE(sim->bodies().size(), 4);
    }

    void attachAndReset()
    {
        TComEthernetController eth(&sim->com);
        QSignalSpy states(&eth, &TComController::controllerStateChanged);
        QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);
        QVERIFY(!eth.attach("", 1, true));
        QCOMPARE(states.count(), 0);
        QVERIFY(eth.attach("eth.0", 0, false));
        QVERIFY(eth.attach("eth.1", 0, false)); // attaching again resets first
        QCOMPARE(states.count(), 5);            // -1 -> 1 -> 0 -> -1 -> 1 -> 0
        QCOMPARE(states.first().first().value<TComController*>(), &eth);

        // Refused as default network: the name stays and the controller is unloaded.
        sim->expect("PARAM;default_network:eth.2;target:network;",
                    "PARAM;default_network:110-not available;return:ERROR;");
        QVERIFY(!eth.attach("eth.2", 0, true));
        QCOMPARE(eth.network(), std::string("eth.1"));
        QCOMPARE(eth.state(), -1);

        // The refresh while attaching announces nothing.
        FirmwareWord fw(0x10C00);
        sim->expect(kEthRefresh + "GET:ajb_profile;",
                    "PARAM;ajb_profile:punchy;cable:plugged;link_mode_neg:1000baseT-FD;local_addr:10.0.0.2;"
                    "mode:manual;network:eth.0;return:OK;target:network;");
        states.clear();
        QVERIFY(eth.attach("eth.0", 1, false));
        QCOMPARE(params.count(), 0);
        QCOMPARE(states.count(), 2);
        QCOMPARE(eth.localAddr(), std::string("10.0.0.2"));
        QCOMPARE(eth.linkModeNeg(), 3);

        // A failed refresh, or a link that drops, leaves the controller unloaded.
        sim->refuse("GET:cable;");
        QVERIFY(!eth.attach("eth.0", 1, false));
        QCOMPARE(eth.state(), -1);
        QVERIFY(!eth.signalsBlocked());

        // reset() restores the start values silently, apart from the state.
        QVERIFY(eth.attach("eth.0", 0, false));
        eth.setLinkModeNeg(4);
        params.clear();
        states.clear();
        eth.reset();
        eth.reset();
        QCOMPARE(params.count(), 0);
        QCOMPARE(states.count(), 1);
        QCOMPARE(eth.linkModeNeg(), -1);
        QCOMPARE(eth.mode(), -1);
        QCOMPARE(eth.localAddr(), std::string());
        QVERIFY(!eth.cable());

        // The unit goes away while a setter waits: the old value stays, nothing is announced.
        QVERIFY(eth.attach("eth.0", 0, false));
        sim->unit.onRequest("PARAM;mode:manual;network:eth.0;target:network;",
                            {UnitSimulator::delay(20), UnitSimulator::drop()}, 1);
        QVERIFY(!eth.setMode(1, true));
        QCOMPARE(eth.mode(), -1);
        QCOMPARE(params.count(), 0);
        QVERIFY(!eth.refreshMode());
        QVERIFY(!eth.attach("eth.0", 1, false));
        QVERIFY(!eth.signalsBlocked());
    }

    // One shared setter behind every named one: an equal value sends and
    // announces nothing; with "send" and the key's conditions met the value goes
    // first and a refusal keeps the old one; otherwise it is stored and announced.
    void setterPattern()
    {
        using E = TComEthernetController;
        using I = TComIsdnController;
        const QByteArray refused = "PARAM;x:105-invalid value;return:ERROR;";
        struct Case {
            const char* name;
            std::function<void(E&, I&)> preset;
            std::function<bool(E&, I&)> call;
            QByteArray request; // empty: nothing reaches the unit
            QByteArray reply;
            bool result;
            QList<int> announced;
            std::function<bool(E&, I&)> stored;
        };
        const auto manual = [](E& e, I&) { e.setMode(E::Manual, false); };
        const auto dhcp = [](E& e, I&) { e.setMode(E::Dhcp, false); };
        const Case cases[] = {
            {"equal value", manual, [](E& e, I&) { return e.setMode(E::Manual, true); }, {}, {}, true, {},
             [](E& e, I&) { return e.mode() == E::Manual; }},
            {"refused", dhcp, [](E& e, I&) { return e.setMode(E::Manual, true); },
             "PARAM;mode:manual;network:eth.0;target:network;", refused, false, {},
             [](E& e, I&) { return e.mode() == E::Dhcp; }},
            {"address outside manual mode is kept, not sent", dhcp,
             [](E& e, I&) { return e.setLocalAddr("10.0.0.2", true); }, {}, {}, true, {E::LocalAddrParam},
             [](E& e, I&) { return e.localAddr() == "10.0.0.2"; }},
            {"address in manual mode", manual, [](E& e, I&) { return e.setSubnet("255.0.0.0", true); },
             "PARAM;network:eth.0;subnet:255.0.0.0;target:network;", kOk, true, {E::SubnetParam}, nullptr},
            {"empty address is not sent", [](E& e, I&) { e.setMode(E::Manual, false); e.setLocalAddr("a", false); },
             [](E& e, I&) { return e.setLocalAddr("", true); }, {}, {}, true, {E::LocalAddrParam}, nullptr},
            {"empty gateway is sent", [](E& e, I&) { e.setMode(E::Manual, false); e.setGateway("g", false); },
             [](E& e, I&) { return e.setGateway("", true); }, "PARAM;gateway:;network:eth.0;target:network;", kOk,
             true, {E::GatewayParam}, nullptr},
            {"-1 is stored, not sent", [](E& e, I&) { e.setLinkMode(6, false); },
             [](E& e, I&) { return e.setLinkMode(-1, true); }, {}, {}, true, {E::LinkModeParam},
             [](E& e, I&) { return e.linkMode() == -1; }},
            {"read-only", nullptr, [](E& e, I&) { return e.setLinkModeNeg(5), e.setHwAddr("00:a0"); }, {}, {}, true,
             {E::LinkModeNegParam, E::HwAddrParam}, nullptr},
            {"word", nullptr, [](E& e, I&) { return e.setNetworkQuality(5, true); },
             "PARAM;network:eth.0;network_quality:very_high;target:network;", kOk, true, {E::NetworkQualityParam},
             nullptr},
            {"5as is an audio parameter", nullptr, [](E&, I& i) { return i.set5as(true, true); },
             "PARAM;5as:on;target:audio;", kOk, true, {I::FiveAsParam}, nullptr},
            {"5as refused", [](E&, I& i) { i.set5as(true, false); }, [](E&, I& i) { return i.set5as(false, true); },
             "PARAM;5as:off;target:audio;", refused, false, {}, [](E&, I& i) { return i.fiveAs(); }},
            {"code outside the words is sent and held as the default word",
             [](E&, I& i) { i.setProtocol(1, false); }, [](E&, I& i) { return i.setProtocol(9, true); },
             "PARAM;network:isdn.0;protocol:isdn_udss1;target:network;", kOk, true, {I::ProtocolParam},
             [](E&, I& i) { return i.protocol() == 0; }},
        };
        for (const Case& c : cases) {
            E eth(&sim->com);
            I isdn(&sim->com);
            QVERIFY(eth.attach("eth.0", 0, false) && isdn.attach("isdn.0", 0, false));
            if (c.preset)
                c.preset(eth, isdn);
            QSignalSpy ethParams(&eth, &TComNetworkController::controllerParamChanged);
            QSignalSpy isdnParams(&isdn, &TComNetworkController::controllerParamChanged);
            sim->unit.clearReceived();
            if (!c.request.isEmpty())
                sim->expect(c.request, c.reply);
            QVERIFY2(c.call(eth, isdn) == c.result, c.name);
            QTest::qWait(c.request.isEmpty() ? 20 : 0);
            QCOMPARE(sim->bodies(), c.request.isEmpty() ? QByteArrayList() : QByteArrayList{c.request});
            QVERIFY2(indices(ethParams) + indices(isdnParams) == c.announced, c.name);
            QVERIFY2(!c.stored || c.stored(eth, isdn), c.name);
        }
    }

    void readAndWriteWalkTheTable()
    {
        TComEthernetController eth(&sim->com);
        QVERIFY(eth.attach("eth.0", 0, false));
        {
            // The ajb profile is asked for from firmware 1.12.0 on; empty values
            // read as the words' fallbacks.
            FirmwareWord fw(0x10BFF);
            sim->expect(kEthRefresh, "PARAM;mode:fancy;network_quality:;return:OK;");
            QVERIFY(eth.refresh());
            QCOMPARE(eth.mode(), -1);
            QCOMPARE(eth.networkQuality(), 2);
        }
        sim->expect(kEthRefresh + "GET:ajb_profile;", "PARAM;ajb_profile:;cable:unplugged;return:OK;");
        QVERIFY(eth.refresh());
        QCOMPARE(eth.ajbProfile(), 1);
        QVERIFY(!eth.readParams({}));
        // What the unit adds unasked is not taken.
        sim->expect("PARAM;network:eth.0;target:network;GET:mode;", "PARAM;mode:static;dns1:6.6.6.6;return:OK;");
        QVERIFY(eth.readParams({"mode"}) && eth.dns1() != "6.6.6.6");
        sim->refuse("GET:mode;");
        QVERIFY(!eth.readParams({"mode"}));

        // writeParams sends addresses whatever the mode, empty ones too, and
        // -1 as the words' defaults; read-only keys alone send nothing.
        QVERIFY(!eth.writeParams({"hw_addr", "cable", "link_mode_neg"}));
        QVERIFY(!eth.writeParams({}));
        QVERIFY(eth.setDns1("1.1.1.1", false));
        sim->unit.clearReceived();
        sim->expect("PARAM;ajb_profile:standard;dns1:1.1.1.1;gateway:;link_mode:autonegotiation;mode:dhcp;"
                    "network:eth.0;network_quality:low;target:network;",
                    "PARAM;gateway:105-invalid value;return:ERROR;");
        QVERIFY(!eth.writeParams({"mode", "dns1", "gateway", "link_mode", "network_quality", "ajb_profile", "hw_addr"}));
        QCOMPARE(eth.dns1(), std::string("1.1.1.1"));
        QCOMPARE(sim->bodies().size(), 1);

        // ISDN: "5as" travels in an audio request of its own, after the network one.
        TComIsdnController isdn(&sim->com);
        sim->expect("PARAM;network:isdn.0;target:network;GET:protocol;GET:spid;GET:addr_sb0_ch0;"
                    "GET:addr_sb0_ch1;GET:subaddr_sb0_ch0;GET:subaddr_sb0_ch1;",
                    "PARAM;addr_sb0_ch0:4711;protocol:isdn_ni1;return:OK;spid:;");
        sim->expect("PARAM;target:audio;GET:5as;", "PARAM;5as:on;return:OK;");
        QVERIFY(isdn.attach("isdn.0", 3, false));
        QCOMPARE(isdn.protocol(), 1);
        QCOMPARE(isdn.addrSb0Ch0(), std::string("4711"));
        QVERIFY(isdn.fiveAs());
        // Either part succeeding is enough to read.
        sim->refuse("GET:spid;");
        sim->expect("PARAM;target:audio;GET:5as;", "PARAM;5as:off;return:OK;");
        QVERIFY(isdn.readParams({"spid", "5as"}));
        QVERIFY(!isdn.fiveAs());
        sim->refuse("GET:5as;");
        QVERIFY(!isdn.readParams({"5as"}));

        // The protocol read as "isdn_ni1" is written back as "isdn_ni2"; the audio
        // request follows even when the network one was refused.
        sim->unit.clearReceived();
        sim->expect("PARAM;network:isdn.0;protocol:isdn_ni2;spid:;target:network;",
                    "PARAM;spid:105-invalid value;return:ERROR;");
        sim->expect("PARAM;5as:off;target:audio;", kOk);
        QVERIFY(!isdn.writeParams({"5as", "spid", "protocol", "hw_addr"}));
        sim->expect("PARAM;5as:off;target:audio;", kOk);
        QVERIFY(isdn.writeParams({"5as"}));
        QCOMPARE(sim->bodies(), QByteArrayList({"PARAM;network:isdn.0;protocol:isdn_ni2;spid:;target:network;",
                                                "PARAM;5as:off;target:audio;", "PARAM;5as:off;target:audio;"}));
    }

    void tableWireForms()
    {
        SampleController sample(&sim->com);
        QVERIFY(sample.attach("x", 0, false));
        QCOMPARE(sample.level, 16);
        QCOMPARE(sample.ratio, 2.0f);
        QSignalSpy params(&sample, &TComNetworkController::controllerParamChanged);

        {
            FirmwareWord fw(0x109FF);
            sim->expect("PARAM;network:x;target:network;GET:level;GET:ratio;GET:power;GET:gain1;GET:gain2;",
                        "PARAM;level:;gain2:-3;power:48V;ratio:2.5;return:OK;");
            QVERIFY(sample.refresh());
        }
        QVERIFY(sample.applyValues({{"name", "Caf\xC3\xA9"}, {"board", "yes"}, {"level", "4"}}));
        QCOMPARE(sample.ratio, 2.5f);
        QVERIFY(sample.power);
        QCOMPARE(sample.gain[1], -3);
        QCOMPARE(sample.name, std::string("Caf\xC3\xA9"));
        QVERIFY(sample.board);
        QVERIFY(sample.applyValues({{"level", ""}})); // an empty number reads as the start value
        QCOMPARE(sample.level, 16);
        QCOMPARE(indices(params), (QList<int>{5, 3, 1, 0, 2, 0}));

        sim->expect("PARAM;gain2:-3;name:Caf\xC3\xA9;network:x;power:48V;target:network;", kOk);
        QVERIFY(sample.writeParams({"name", "power", "gain2", "board"}));
        {
            // A key the firmware does not have yet is refused with send, and
            // only stored without.
            FirmwareWord fw(0x106FF);
            QVERIFY(!sample.setKey("level", 5, true));
            QCOMPARE(sample.level, 16);
            QVERIFY(sample.setKey("level", 5, false));
            QCOMPARE(sample.level, 5);
            QVERIFY(!sample.writeParams({"level"}));
        }
        sim->expect("PARAM;level:6;network:x;target:network;", kOk);
        QVERIFY(sample.setKey("level", 6, true));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("key=level"));
        QVERIFY(!sample.setKey("level", true, true)); // a value of another type is refused

        params.clear();
        sample.reset();
        QCOMPARE(params.count(), 0);
        QCOMPARE(sample.level, 16);
        QCOMPARE(sample.gain[1], 0);
        QVERIFY(sample.board); // kept across a reset
    }

    void ethernetConfigInfoEvent()
    {
        TComEthernetController eth(&sim->com);
        QVERIFY(eth.attach("eth.0", 0, false));
        QVERIFY(eth.setLocalAddr("10.0.0.2", false));
        QVERIFY(eth.setDns2("8.8.4.4", false));
        eth.setCable(true);
        QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);

        // Another network's event is not ours.
        TCommand config(TCommand::Event);
        config.setParam("event_type", "config info");
        config.setParam("network", "eth.1");
        config.setParam("mode", "manual");
        QVERIFY(!eth.handleEvent(config));
        QCOMPARE(params.count(), 0);

        config.setParam("network", "eth.0", 1);
        config.setParam("local_addr", "192.168.1.5");
        config.setParam("gateway", "192.168.1.1");
        QVERIFY(eth.handleEvent(config));
        QCOMPARE(indices(params), (QList<int>{0, 1, 3, 5, 12}));
        QCOMPARE(eth.localAddr(), std::string("192.168.1.5"));
        QCOMPARE(eth.dns2(), std::string()); // absent from the event: cleared
        QVERIFY(eth.cable());                // absent from the event: kept

        params.clear();
        TCommand choice(TCommand::Event);
        choice.setParam("event_type", "default_network");
        choice.setParam("network", "eth.0");
        choice.setParam("mode", "pppoe");
        QVERIFY(eth.handleEvent(choice));
        QCOMPARE(indices(params), (QList<int>{0}));
        QTest::qWait(20);
        QVERIFY(sim->bodies().isEmpty());
    }
};

QTEST_GUILESS_MAIN(ModelTest)
#include "tst_model.moc"
