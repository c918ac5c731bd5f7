#include "tst_model.h"

#include "simulatedunit.h"

#include "model/tcomrequesthelper.h"

#include <QTest>
#include <QTimer>

namespace {

TCommand paramGet(const std::string& target, std::initializer_list<std::string> keys)
{
    TCommand c(TCommand::Param);
    c.setParam("target", target);
    for (const std::string& k : keys)
        c.addGet(k);
    return c;
}

} // namespace

void RequestHelperTest::withoutSessionOrParameters()
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

    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComRequestHelper helper(sim.com());
    // Malformed requests never reach the unit.
    QVERIFY(!helper.send(TCommand(TCommand::Do)));
    QCOMPARE(helper.setParams(TCommand(TCommand::Param)), -1);
    TCommand twoGets = paramGet("network", {"a", "b"});
    QVERIFY(!helper.getValue(twoGets, value));
    TCommand noList = paramGet("network", {});
    QVERIFY(!helper.getList(noList, items));
    QCOMPARE(helper.getParams(noList, values, errors), -1);
    QTest::qWait(50);
    QVERIFY(sim.bodies().isEmpty());
}

void RequestHelperTest::sendAndCall()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComRequestHelper helper(sim.com());

    sim.expect("DO;action:subscribe;info:network_info;", "DO;return:OK;");
    QVERIFY(helper.subscribe("network_info"));
    sim.expect("DO;action:unsubscribe;info:sip_registration;",
               "DO;cause:115-resource busy;return:ERROR;");
    QVERIFY(!helper.unsubscribe("sip_registration"));
    QCOMPARE(helper.lastError(), std::string("115-resource busy"));

    TCommand con(TCommand::Do);
    con.setParam("action", "con");
    con.setParam("remote_addr", "sip:a@b");
    sim.expect("DO;action:con;remote_addr:sip:a@b;", "DO;id:7;return:OK;state:busy;");
    TComRequestHelper::ValueMap reply{{"state", "kept"}};
    QVERIFY(helper.call(con, reply));
    QVERIFY(helper.lastError().empty());
    QCOMPARE(reply.size(), std::size_t(2));
    QCOMPARE(reply["id"], std::string("7"));
    QCOMPARE(reply["state"], std::string("kept"));

    sim.expect("DO;action:con;remote_addr:sip:a@b;", "DO;cause:120-no connection;return:ERROR;");
    reply.clear();
    QVERIFY(!helper.call(con, reply));
    QVERIFY(reply.empty());
    QCOMPARE(helper.lastError(), std::string("120-no connection"));

    // Every operation starts with a clean last error.
    sim.expect("DO;action:subscribe;info:audio_changeset;", "DO;return:OK;");
    QVERIFY(helper.subscribe("audio_changeset"));
    QVERIFY(helper.lastError().empty());

    QCOMPARE(sim.bodies(), QByteArrayList({"DO;action:subscribe;info:network_info;",
                                           "DO;action:unsubscribe;info:sip_registration;",
                                           "DO;action:con;remote_addr:sip:a@b;",
                                           "DO;action:con;remote_addr:sip:a@b;",
                                           "DO;action:subscribe;info:audio_changeset;"}));
}

void RequestHelperTest::getValueJudgement()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComRequestHelper helper(sim.com());
    const TCommand get = paramGet("network", {"mode"});
    const QByteArray text = "PARAM;target:network;GET:mode;";
    std::string value;

    sim.expect(text, "PARAM;mode:manual;return:OK;", 1);
    QVERIFY(helper.getValue(get, value));
    QCOMPARE(value, std::string("manual"));

    // A key held without a value is a success with an empty value.
    sim.expect(text, "PARAM;mode:101-parameter not set;return:ERROR;", 1);
    QVERIFY(helper.getValue(get, value));
    QCOMPARE(value, std::string());

    // A refused key comes back through the session's follow-up.
    sim.expect(text, "PARAM;mode:102-unknown parameter;return:ERROR;", 1);
    QVERIFY(!helper.getValue(get, value));
    QCOMPARE(value, std::string("102-unknown parameter"));
    QVERIFY(helper.lastError().empty());

    // A reply gathered from PROGRESS pieces keeps the first value.
    sim.unit().onRequest(text, {UnitSimulator::reply("PARAM;mode:dhcp;return:PROGRESS;"),
                                UnitSimulator::reply("PARAM;mode:bgan;return:OK;")}, 1);
    QVERIFY(helper.getValue(get, value));
    QCOMPARE(value, std::string("dhcp"));

    // Refused by the unit with an error reply.
    sim.unit().onRequest(text, {UnitSimulator::errorReply(204)}, 1);
    QVERIFY(!helper.getValue(get, value));
    QCOMPARE(value, std::string());
}

void RequestHelperTest::setParamsCountsAccepted()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComRequestHelper helper(sim.com());
    TCommand set(TCommand::Param);
    set.setParam("target", "network");
    set.setParam("network", "eth.0");
    set.setParam("gateway", "10.0.0.1");
    const QByteArray text = "PARAM;gateway:10.0.0.1;network:eth.0;target:network;";

    sim.expect(text, "PARAM;return:OK;", 1);
    QCOMPARE(helper.setParams(set), 3);

    sim.expect(text, "PARAM;gateway:105-invalid value;return:ERROR;", 1);
    QCOMPARE(helper.setParams(set), 2);
    QVERIFY(helper.lastError().empty());

    // Even a unit that refuses more keys than were sent never gives a negative count.
    sim.expect(text, "PARAM;a:105-invalid value;b:105-invalid value;c:105-invalid value;"
                     "d:105-invalid value;return:ERROR;", 1);
    QCOMPARE(helper.setParams(set), 0);

    // "ERROR" without any error text names no key: still not "all accepted".
    sim.expect(text, "PARAM;gateway:busy;return:ERROR;", 1);
    QCOMPARE(helper.setParams(set), -1);

    sim.unit().onRequest(text, {UnitSimulator::errorReply(117)}, 1);
    QCOMPARE(helper.setParams(set), -1);
}

void RequestHelperTest::getParamsSplitsValuesAndErrors()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComRequestHelper helper(sim.com());
    const TCommand get = paramGet("network", {"mode", "dns1", "dns2"});
    const QByteArray text = "PARAM;target:network;GET:mode;GET:dns1;GET:dns2;";

    sim.expect(text, "PARAM;dns1:101-parameter not set;dns2:102-unknown parameter;mode:dhcp;"
                     "return:ERROR;target:network;", 1);
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
    sim.expect(text, "PARAM;dns1:8.8.8.8;dns2:;mode:manual;return:OK;target:network;", 1);
    values.clear();
    errors.clear();
    QCOMPARE(helper.getParams(get, values, errors), 4);
    QVERIFY(errors.empty());
    QVERIFY(TComRequestHelper::allAnswered(get, values));
    values.erase("dns2");
    QVERIFY(!TComRequestHelper::allAnswered(get, values));
    QVERIFY(!TComRequestHelper::allAnswered(TCommand(TCommand::Param), values));
}

void RequestHelperTest::getListAppendsAndSplits()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComRequestHelper helper(sim.com());
    TCommand list(TCommand::Param);
    list.setParam("target", "general");
    list.addList("device_opts");
    const QByteArray text = "PARAM;target:general;LIST:device_opts;";

    std::vector<std::string> items{"old"};
    sim.unit().onRequest(text, {UnitSimulator::reply("PARAM;device_opts:ip_dcodec;return:PROGRESS;"),
                                UnitSimulator::reply("PARAM;device_opts:x\\\\,y;return:PROGRESS;"),
                                UnitSimulator::reply("PARAM;device_opts:ravenna;return:OK;")}, 1);
    QVERIFY(helper.getList(list, items));
    QCOMPARE(items, (std::vector<std::string>{"old", "ip_dcodec", "x,y", "ravenna"}));

    // Gathered with "returnFmt" "EXT": items are split at the group separator only.
    items.clear();
    sim.unit().onRequest(text, {UnitSimulator::reply("PARAM;device_opts:a,b;return:PROGRESS;returnFmt:EXT;"),
                                UnitSimulator::reply("PARAM;device_opts:c;return:OK;returnFmt:EXT;")}, 1);
    QVERIFY(helper.getList(list, items));
    QCOMPARE(items, (std::vector<std::string>{"a,b", "c"}));

    items.clear();
    sim.expect(text, "PARAM;device_opts:;return:OK;", 1);
    QVERIFY(helper.getList(list, items));
    QVERIFY(items.empty());

    sim.expect(text, "PARAM;device_opts:105-invalid value;return:ERROR;", 1);
    QVERIFY(!helper.getList(list, items));
}

void RequestHelperTest::timeoutAndBusy()
{
    SimulatedUnit sim;
    QVERIFY(sim.start());
    TComRequestHelper helper(sim.com());
    const TCommand get = paramGet("network", {"mode"});
    const QByteArray text = "PARAM;target:network;GET:mode;";
    std::string value;

    sim.unit().onRequest(text, {}, 1);   // the unit stays silent
    QVERIFY(!helper.getValue(get, value, 1000));

    // A second synchronous request while one waits is refused at once.
    sim.unit().onRequest(text, {UnitSimulator::delay(300),
                                UnitSimulator::reply("PARAM;mode:pppoe;return:OK;")}, 1);
    TComRequestHelper other(sim.com());
    int nested = 99;
    bool nestedDone = false;
    QTimer::singleShot(0, [&] {
        TComRequestHelper::ValueMap values, errors;
        nested = other.getParams(get, values, errors);
        nestedDone = true;
    });
    QVERIFY(helper.getValue(get, value));
    QCOMPARE(value, std::string("pppoe"));
    QVERIFY(nestedDone);
    QCOMPARE(nested, -1);
    QCOMPARE(sim.bodies().size(), 2);
}
