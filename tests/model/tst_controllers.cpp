#include "tst_model.h"

#include "simulatedunit.h"

#include "model/tcomethernetcontroller.h"
#include "model/tcomisdncontroller.h"
#include "model/unitfirmware.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QByteArray kOk = "PARAM;return:OK;";

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

} // namespace

void ControllerTest::causeToState()
{
    QCOMPARE(controllerStateFromReply("122-pin required"), 6);
    QCOMPARE(controllerStateFromReply(""), 0);
    QCOMPARE(controllerStateFromReply("200-unknown error"), 0);
    QCOMPARE(controllerStateFromReply("not a cause"), 0);
    QCOMPARE(controllerStateFromReply("100-wrong password"), 1);
    QCOMPARE(controllerStateFromReply("010-sim missing"), 4);
    QCOMPARE(controllerStateFromReply("011-sim locked"), 5);
    QCOMPARE(controllerStateFromReply("124-puk required"), 5);
    QCOMPARE(controllerStateFromReply("015-not allowed"), 3);
    QCOMPARE(controllerStateFromReply("123-not registered"), 2);
    QCOMPARE(controllerStateFromCause(0), 0);
    QCOMPARE(controllerStateFromCause(200), 1);
    QCOMPARE(controllerStateFromCause(122), 6);
    QCOMPARE(controllerStateFromCause(-3), 1);
}

void ControllerTest::networkRequestShapes()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComEthernetController eth(sim.com());

    // Not attached: no name, so making it the default sends nothing.
    QVERIFY(!eth.setAsDefaultNetwork());
    QVERIFY(eth.attach("eth.0", 0, false));
    QCOMPARE(eth.network(), std::string("eth.0"));

    sim.expect("PARAM;mode:dhcp;network:eth.0;target:network;", kOk, 1);
    QVERIFY(eth.setParam("mode", "dhcp", true));
    sim.expect("PARAM;target:network;x:1;", kOk, 1);
    QVERIFY(eth.setParam("x", "1", false));
    sim.expect("PARAM;mode:dhcp;network:eth.0;target:network;",
               "PARAM;mode:105-invalid value;return:ERROR;", 1);
    QVERIFY(!eth.setParam("mode", "dhcp", true));
    QVERIFY(eth.requestHelper().lastError().empty());
    sim.expect("PARAM;dns1:a;dns2:b;network:eth.0;target:network;", kOk, 1);
    QVERIFY(eth.setParams({{"dns2", "b"}, {"dns1", "a"}}, true));

    std::string value;
    sim.expect("PARAM;network:eth.0;target:network;GET:hw_addr;", "PARAM;hw_addr:00:11;return:OK;", 1);
    QVERIFY(eth.getParam("hw_addr", value, true));
    QCOMPARE(value, std::string("00:11"));
    TComNetworkController::ValueMap values, errors;
    sim.expect("PARAM;network:eth.0;target:network;GET:mode;GET:cable;",
               "PARAM;cable:plugged;mode:dhcp;return:OK;", 1);
    QCOMPARE(eth.getParams({"mode", "cable"}, values, errors, true), 2);
    std::vector<std::string> items;
    sim.expect("PARAM;network:eth.0;target:network;LIST:link_modes;",
               "PARAM;link_modes:autonegotiation,10baseT-HD;return:OK;", 1);
    QVERIFY(eth.getList("link_modes", items, true));
    QCOMPARE(items.size(), std::size_t(2));

    sim.expect("PARAM;default_network:eth.0;target:network;", kOk, 1);
    QVERIFY(eth.setAsDefaultNetwork());
    sim.expect("PARAM;default_network:wifi.0;target:network;",
               "PARAM;default_network:110-not available;return:ERROR;", 1);
    QVERIFY(!eth.setAsDefaultNetwork("wifi.0"));

    QSignalSpy states(&eth, &TComController::controllerStateChanged);
    sim.expect("DO;action:reinit;network:eth.1;target:network;", "DO;return:OK;", 1);
    QVERIFY(eth.reinit("eth.1", true));
    QCOMPARE(eth.state(), 0);
    sim.expect("DO;action:reinit;network:eth.0;target:network;", "DO;return:OK;", 1);
    QVERIFY(eth.reinit("eth.0", true));
    QCOMPARE(eth.state(), -1);
    QCOMPARE(states.count(), 1);

    QCOMPARE(sim.bodies().size(), 11);
}

void ControllerTest::attachAndReset()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComEthernetController eth(sim.com());
    QSignalSpy states(&eth, &TComController::controllerStateChanged);
    QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);
    QCOMPARE(eth.type(), 2);
    QCOMPARE(eth.state(), -1);

    QVERIFY(!eth.attach("", 1, true));
    QCOMPARE(states.count(), 0);

    QVERIFY(eth.attach("eth.0", 0, false));
    QCOMPARE(eth.state(), 0);
    QCOMPARE(states.count(), 2);                      // -1 -> 1 -> 0
    QCOMPARE(states.first().first().value<TComController*>(), &eth);

    // Attaching again resets first.
    QVERIFY(eth.attach("eth.1", 0, false));
    QCOMPARE(states.count(), 5);                      // 0 -> -1 -> 1 -> 0
    QCOMPARE(eth.network(), std::string("eth.1"));

    // Refused as default network: the name stays and the controller is unloaded.
    sim.expect("PARAM;default_network:eth.2;target:network;",
               "PARAM;default_network:110-not available;return:ERROR;", 1);
    QVERIFY(!eth.attach("eth.2", 0, true));
    QCOMPARE(eth.network(), std::string("eth.1"));
    QCOMPARE(eth.state(), -1);

    // The refresh while attaching announces nothing.
    FirmwareWord fw(0x10C00);
    sim.expect("PARAM;network:eth.0;target:network;GET:cable;GET:mode;GET:local_addr;GET:subnet;"
               "GET:gateway;GET:dns1;GET:dns2;GET:link_mode;GET:link_mode_neg;GET:hw_addr;"
               "GET:network_quality;GET:ajb_profile;",
               "PARAM;ajb_profile:punchy;cable:plugged;dns1:1.1.1.1;dns2:;gateway:10.0.0.1;"
               "hw_addr:00:a0;link_mode:100baseT-FD;link_mode_neg:1000baseT-FD;local_addr:10.0.0.2;"
               "mode:manual;network:eth.0;network_quality:high;return:OK;subnet:255.0.0.0;target:network;", 1);
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
    sim.unit().onRequestMatching(QRegularExpression("GET:cable;"), {UnitSimulator::errorReply(117)}, 1);
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

void ControllerTest::linkDroppedDuringCall()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComEthernetController eth(sim.com());
    QVERIFY(eth.attach("eth.0", 0, false));
    QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);

    // The unit goes away while the setter waits: the old value stays, nothing is announced.
    sim.unit().onRequest("PARAM;mode:manual;network:eth.0;target:network;",
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

void EthernetTest::wordTables()
{
    const char* const modes[] = {"dhcp", "manual", "pppoe", "bgan"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(ethernetModeName(i), std::string(modes[i]));
        QCOMPARE(ethernetModeFromName(modes[i]), i);
    }
    QCOMPARE(ethernetModeName(-1), std::string("dhcp"));
    QCOMPARE(ethernetModeName(4), std::string("dhcp"));
    QCOMPARE(ethernetModeFromName("DHCP"), -1);

    const char* const links[] = {"autonegotiation", "10000baseT-FD", "2500baseT-FD",
                                 "1000baseT-FD", "1000baseT-HD", "100baseT-FD",
                                 "100baseT-HD", "10baseT-FD", "10baseT-HD"};
    for (int i = 0; i < 9; ++i) {
        QCOMPARE(linkModeName(i), std::string(links[i]));
        QCOMPARE(linkModeFromName(links[i]), i);
    }
    QCOMPARE(linkModeName(9), std::string("autonegotiation"));
    QCOMPARE(linkModeFromName(""), -1);

    const char* const qualities[] = {"very_bad", "bad", "low", "middle", "high", "very_high"};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(networkQualityName(i), std::string(qualities[i]));
        QCOMPARE(networkQualityFromName(qualities[i]), i);
    }
    QCOMPARE(networkQualityName(-1), std::string("low"));
    QCOMPARE(networkQualityFromName("great"), 2);

    const char* const profiles[] = {"safe", "standard", "punchy"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(ajbProfileName(i), std::string(profiles[i]));
        QCOMPARE(ajbProfileFromName(profiles[i]), i);
    }
    QCOMPARE(ajbProfileName(3), std::string("standard"));
    QCOMPARE(ajbProfileFromName(""), 1);
}

void EthernetTest::settersSendByMode()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComEthernetController eth(sim.com());
    QVERIFY(eth.attach("eth.0", 0, false));
    QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);

    // DHCP: addresses are stored and announced, never sent.
    sim.expect("PARAM;mode:dhcp;network:eth.0;target:network;", kOk, 1);
    QVERIFY(eth.setMode(0, true));
    QVERIFY(eth.setLocalAddr("10.0.0.2", true));
    QVERIFY(eth.setGateway("10.0.0.1", true));
    QCOMPARE(eth.localAddr(), std::string("10.0.0.2"));

    // The same value again sends and emits nothing.
    QVERIFY(eth.setMode(0, true));

    // A refused setter keeps the old value and emits nothing.
    sim.expect("PARAM;mode:manual;network:eth.0;target:network;",
               "PARAM;mode:116-invalid state;return:ERROR;", 1);
    QVERIFY(!eth.setMode(1, true));
    QCOMPARE(eth.mode(), 0);
    QCOMPARE(indices(params), (QList<int>{0, 1, 3}));

    // Manual: addresses go to the unit; an empty gateway is sent, an empty address is not.
    sim.expect("PARAM;mode:manual;network:eth.0;target:network;", kOk, 1);
    QVERIFY(eth.setMode(1, true));
    sim.expect("PARAM;local_addr:10.0.0.3;network:eth.0;target:network;", kOk, 1);
    QVERIFY(eth.setLocalAddr("10.0.0.3", true));
    QVERIFY(eth.setSubnet("", true));
    sim.expect("PARAM;gateway:;network:eth.0;target:network;", kOk, 1);
    QVERIFY(eth.setGateway("", true));
    sim.expect("PARAM;dns2:9.9.9.9;network:eth.0;target:network;",
               "PARAM;dns2:105-invalid value;return:ERROR;", 1);
    QVERIFY(!eth.setDns2("9.9.9.9", true));
    QCOMPARE(eth.dns2(), std::string());

    // -1 is stored but never sent.
    QVERIFY(eth.setLinkMode(-1, true));
    sim.expect("PARAM;link_mode:100baseT-HD;network:eth.0;target:network;", kOk, 1);
    QVERIFY(eth.setLinkMode(6, true));
    sim.expect("PARAM;network:eth.0;network_quality:very_high;target:network;", kOk, 1);
    QVERIFY(eth.setNetworkQuality(5, true));
    sim.expect("PARAM;ajb_profile:safe;network:eth.0;target:network;", kOk, 1);
    QVERIFY(eth.setAjbProfile(0, true));

    // Read-only values.
    params.clear();
    eth.setLinkModeNeg(-1);
    eth.setLinkModeNeg(5);
    eth.setLinkModeNeg(5);
    QVERIFY(eth.setHwAddr("00:a0"));
    eth.setCable(true);
    QCOMPARE(indices(params), (QList<int>{7, 8, 9}));

    QCOMPARE(sim.bodies(), QByteArrayList({
        "PARAM;mode:dhcp;network:eth.0;target:network;",
        "PARAM;mode:manual;network:eth.0;target:network;",
        "PARAM;mode:manual;network:eth.0;target:network;",
        "PARAM;local_addr:10.0.0.3;network:eth.0;target:network;",
        "PARAM;gateway:;network:eth.0;target:network;",
        "PARAM;dns2:9.9.9.9;network:eth.0;target:network;",
        "PARAM;link_mode:100baseT-HD;network:eth.0;target:network;",
        "PARAM;network:eth.0;network_quality:very_high;target:network;",
        "PARAM;ajb_profile:safe;network:eth.0;target:network;"}));
}

void EthernetTest::refreshByFirmware()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComEthernetController eth(sim.com());
    QVERIFY(eth.attach("eth.0", 0, false));
    const QByteArray base = "PARAM;network:eth.0;target:network;GET:cable;GET:mode;GET:local_addr;"
                            "GET:subnet;GET:gateway;GET:dns1;GET:dns2;GET:link_mode;GET:link_mode_neg;"
                            "GET:hw_addr;GET:network_quality;";
    sim.expect(base, "PARAM;mode:bgan;network_quality:;return:OK;");
    sim.expect(base + "GET:ajb_profile;", "PARAM;ajb_profile:;mode:pppoe;return:OK;");
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
    QCOMPARE(sim.bodies(), QByteArrayList({base, base + "GET:ajb_profile;"}));
}

void EthernetTest::readAndWrite()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComEthernetController eth(sim.com());
    QVERIFY(eth.attach("eth.0", 0, false));
    QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);

    QVERIFY(!eth.readParams({}));
    sim.expect("PARAM;network:eth.0;target:network;GET:mode;GET:link_mode;GET:cable;",
               "PARAM;cable:unplugged;link_mode:101-parameter not set;mode:fancy;return:ERROR;", 1);
    QVERIFY(eth.readParams({"mode", "link_mode", "cable"}));
    QCOMPARE(eth.mode(), -1);
    QCOMPARE(eth.linkMode(), -1);
    QVERIFY(!eth.cable());
    QCOMPARE(params.count(), 0);

    sim.expect("PARAM;network:eth.0;target:network;GET:mode;", "PARAM;mode:manual;return:OK;", 1);
    QVERIFY(eth.refreshMode());
    QCOMPARE(eth.mode(), 1);
    sim.unit().onRequestMatching(QRegularExpression("GET:mode;"), {UnitSimulator::errorReply(117)}, 1);
    QVERIFY(!eth.readParams({"mode"}));
    QCOMPARE(eth.mode(), 1);

    // Read-only keys alone: nothing to write, nothing sent.
    sim.clear();
    QVERIFY(!eth.writeParams({"hw_addr", "cable", "link_mode_neg"}));
    QVERIFY(!eth.writeParams({}));
    QTest::qWait(50);
    QVERIFY(sim.bodies().isEmpty());

    // writeParams sends addresses whatever the mode, empty ones too.
    QVERIFY(eth.setMode(0, false));
    QVERIFY(eth.setDns1("1.1.1.1", false));
    sim.expect("PARAM;ajb_profile:standard;dns1:1.1.1.1;gateway:;link_mode:autonegotiation;mode:dhcp;"
               "network:eth.0;network_quality:low;target:network;",
               "PARAM;gateway:105-invalid value;return:ERROR;", 1);
    QVERIFY(!eth.writeParams({"mode", "dns1", "gateway", "link_mode", "network_quality",
                              "ajb_profile", "hw_addr"}));
    QCOMPARE(eth.dns1(), std::string("1.1.1.1"));
    QCOMPARE(sim.bodies().size(), 1);
}

void EthernetTest::configInfoEvent()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComEthernetController eth(sim.com());
    QVERIFY(eth.attach("eth.0", 0, false));
    QVERIFY(eth.setLocalAddr("10.0.0.2", false));
    QVERIFY(eth.setDns2("8.8.4.4", false));
    eth.setCable(true);
    QSignalSpy params(&eth, &TComNetworkController::controllerParamChanged);

    TCommand other(TCommand::Event);
    other.setParam("event_type", "config info");
    other.setParam("network", "eth.1");
    other.setParam("mode", "manual");
    QVERIFY(!eth.handleEvent(other));
    TCommand unnamed(TCommand::Event);
    unnamed.setParam("event_type", "config info");
    QVERIFY(!eth.handleEvent(unnamed));
    QVERIFY(!eth.handleInfo(other));
    QCOMPARE(params.count(), 0);
    QCOMPARE(eth.mode(), -1);

    TCommand config(TCommand::Event);
    config.setParam("event_type", "config info");
    config.setParam("network", "eth.0");
    config.setParam("mode", "manual");
    config.setParam("local_addr", "192.168.1.5");
    config.setParam("gateway", "192.168.1.1");
    QVERIFY(eth.handleEvent(config));
    QCOMPARE(indices(params), (QList<int>{0, 1, 3, 5, 12}));
    QCOMPARE(eth.mode(), 1);
    QCOMPARE(eth.localAddr(), std::string("192.168.1.5"));
    QCOMPARE(eth.dns2(), std::string());     // absent from the event: cleared
    QVERIFY(eth.cable());                    // absent from the event: kept

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
    QVERIFY(sim.bodies().isEmpty());
}

void IsdnTest::protocolWords()
{
    QCOMPARE(isdnProtocolName(0), std::string("isdn_udss1"));
    QCOMPARE(isdnProtocolName(1), std::string("isdn_ni2"));
    QCOMPARE(isdnProtocolName(2), std::string("isdn_ntt"));
    QCOMPARE(isdnProtocolName(7), std::string("isdn_udss1"));
    QCOMPARE(isdnProtocolFromName("isdn_ni1"), 1);
    QCOMPARE(isdnProtocolFromName("isdn_ni2"), 1);
    QCOMPARE(isdnProtocolFromName("isdn_ntt"), 2);
    QCOMPARE(isdnProtocolFromName(""), 0);
    QCOMPARE(isdnProtocolFromName("isdn_udss1"), 0);
}

void IsdnTest::settersAndFiveAs()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComIsdnController isdn(sim.com());
    QCOMPARE(isdn.type(), 3);
    QVERIFY(isdn.attach("isdn.0", 0, false));
    QCOMPARE(isdn.state(), 0);
    QSignalSpy params(&isdn, &TComNetworkController::controllerParamChanged);

    sim.expect("PARAM;5as:on;target:audio;", kOk, 1);
    QVERIFY(isdn.set5as(true, true));
    QVERIFY(isdn.set5as(true, true));        // unchanged: nothing sent
    sim.expect("PARAM;5as:off;target:audio;", "PARAM;5as:115-resource busy;return:ERROR;", 1);
    QVERIFY(!isdn.set5as(false, true));
    QVERIFY(isdn.fiveAs());

    sim.expect("PARAM;network:isdn.0;protocol:isdn_udss1;target:network;", kOk, 1);
    QVERIFY(isdn.setProtocol(9, true));      // written as the default word, stored as given
    QCOMPARE(isdn.protocol(), 9);
    sim.expect("PARAM;network:isdn.0;spid:0123;target:network;", kOk, 1);
    QVERIFY(isdn.setSpid("0123", true));
    sim.expect("PARAM;addr_sb0_ch1:555;network:isdn.0;target:network;",
               "PARAM;addr_sb0_ch1:105-invalid value;return:ERROR;", 1);
    QVERIFY(!isdn.setAddrSb0Ch1("555", true));
    QVERIFY(isdn.setSubaddrSb0Ch0("7", false));
    QCOMPARE(indices(params), (QList<int>{0, 1, 2, 5}));

    params.clear();
    QSignalSpy states(&isdn, &TComController::controllerStateChanged);
    isdn.reset();
    QCOMPARE(params.count(), 0);
    QCOMPARE(states.count(), 1);
    QVERIFY(!isdn.fiveAs());
    QCOMPARE(isdn.protocol(), 0);
    QCOMPARE(isdn.spid(), std::string());

    QCOMPARE(sim.bodies(), QByteArrayList({
        "PARAM;5as:on;target:audio;",
        "PARAM;5as:off;target:audio;",
        "PARAM;network:isdn.0;protocol:isdn_udss1;target:network;",
        "PARAM;network:isdn.0;spid:0123;target:network;",
        "PARAM;addr_sb0_ch1:555;network:isdn.0;target:network;"}));
}

void IsdnTest::readAndWrite()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComIsdnController isdn(sim.com());

    // attach with a refresh: the audio switch and the network keys separately.
    sim.expect("PARAM;network:isdn.0;target:network;GET:protocol;GET:spid;GET:addr_sb0_ch0;"
               "GET:addr_sb0_ch1;GET:subaddr_sb0_ch0;GET:subaddr_sb0_ch1;",
               "PARAM;addr_sb0_ch0:4711;protocol:isdn_ni1;return:OK;spid:;", 1);
    sim.expect("PARAM;target:audio;GET:5as;", "PARAM;5as:on;return:OK;", 1);
    QVERIFY(isdn.attach("isdn.0", 3, false));
    QCOMPARE(isdn.protocol(), 1);
    QCOMPARE(isdn.addrSb0Ch0(), std::string("4711"));
    QVERIFY(isdn.fiveAs());

    // Only "5as": one audio request, no network part.
    sim.clear();
    sim.expect("PARAM;target:audio;GET:5as;", "PARAM;5as:off;return:OK;", 1);
    QVERIFY(isdn.readParams({"5as"}));
    QVERIFY(!isdn.fiveAs());
    QCOMPARE(sim.bodies(), QByteArrayList({"PARAM;target:audio;GET:5as;"}));

    // Either part succeeding is enough.
    sim.unit().onRequestMatching(QRegularExpression("GET:spid;"), {UnitSimulator::errorReply(117)}, 1);
    sim.expect("PARAM;target:audio;GET:5as;", "PARAM;5as:on;return:OK;", 1);
    QVERIFY(isdn.readParams({"spid", "5as"}));
    QVERIFY(isdn.fiveAs());
    sim.unit().onRequestMatching(QRegularExpression("GET:5as;"), {UnitSimulator::errorReply(117)}, 1);
    QVERIFY(!isdn.readParams({"5as"}));

    // The protocol read as "isdn_ni1" is written back as "isdn_ni2"; the network
    // request goes first, the audio one follows even when the first was refused.
    sim.clear();
    QVERIFY(isdn.setSpid("99", false));
    sim.expect("PARAM;network:isdn.0;protocol:isdn_ni2;spid:99;target:network;",
               "PARAM;spid:105-invalid value;return:ERROR;", 1);
    sim.expect("PARAM;5as:on;target:audio;", kOk, 1);
    QVERIFY(!isdn.writeParams({"5as", "spid", "protocol", "hw_addr"}));
    QCOMPARE(sim.bodies(), QByteArrayList({"PARAM;network:isdn.0;protocol:isdn_ni2;spid:99;target:network;",
                                           "PARAM;5as:on;target:audio;"}));

    sim.expect("PARAM;5as:on;target:audio;", kOk, 1);
    QVERIFY(isdn.writeParams({"5as"}));
    QVERIFY(!isdn.writeParams({"cable"}));
    QVERIFY(!isdn.writeParams({}));
    QCOMPARE(sim.bodies().size(), 3);

    TCommand event(TCommand::Event);
    event.setParam("event_type", "config info");
    event.setParam("network", "isdn.0");
    QVERIFY(!isdn.handleEvent(event));
    QVERIFY(!isdn.handleInfo(event));
}
