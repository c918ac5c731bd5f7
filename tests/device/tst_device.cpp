#include "model/tcomaoipcontroller.h"
#include "link/ccom.h"
#include "model/secretvalue.h"
#include "model/tcomdevice.h"
#include "tests/support/simulatedunit.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>
#include <utility>

namespace {

using A = TComAoIPController;

// The shared rig; a request holding the text is answered once, and the
// bodies are read after a pause that lets a stray request show.
struct DeviceUnit : SimulatedUnit
{
    void answer(const QByteArray& text, const QByteArray& reply)
    {
        const QRegularExpression literal(QRegularExpression::escape(text));
        unit.onRequestMatching(literal, {UnitSimulator::reply(reply)}, 1);
    }
    QByteArrayList bodies(int settle = 20) const
    {
        QTest::qWait(settle);
        return SimulatedUnit::bodies();
    }
};

struct Connection : TComBaseConnection
{
    Connection(int kind, int id, const char* net) : TComBaseConnection(nullptr, kind) { m_id = id, m_network = net; }
    bool handleEvent(const TCommand&) override { return false; }
};

int failingEncoder(const char*, int, char**) { return -1; }

TCommand command(const QByteArray& text)
{
    TCommand parsed;
    TCommand::parse(text.toStdString(), parsed);
    return parsed;
}

// What a scripted unit answers to every read of a refresh.
const QByteArray kValues = "PARAM;aoip_version:2.1;sip_state:registered;sip_state2:unregistered;jitterab:on;"
                           "default_network:eth.0;secondary_network:mobile.0;mode:auto;cable:yes;"
                           "codec_mode:cmode_normal;coord_mode:enabled;codec:OPUS/48000/stereo/128000;dcodec_1:;"
                           "dcodec_2:;operation_mode:extended;dstream_mode:enabled;aes67_reset:on;return:OK;";

void scriptUnit(UnitSimulator& unit)
{
    unit.onRequestMatching(QRegularExpression("^DO;"), {UnitSimulator::reply("DO;return:OK;")});
    unit.onRequestMatching(QRegularExpression("GET:"), {UnitSimulator::reply(kValues)});
    unit.onRequest("PARAM;target:general;LIST:device_opts;",
                   {UnitSimulator::reply("PARAM;device_opts:ip_dcodec,ravenna_2,remote_access_3,ip_dstream_1,"
                                         "hardware_19;return:OK;")});
    unit.onRequest("PARAM;target:network;LIST:network;",
                   {UnitSimulator::reply("PARAM;network:aoip,eth.0,mobile.0,wifi.0,bogus;return:OK;")});
    unit.onRequest("PARAM;mode:data;network:mobile.0;target:network;GET:id;",
                   {UnitSimulator::reply("PARAM;id:4;return:OK;")});
}

// What the device announces: state codes, +id and -id for connections added
// and removed, s<status> and S<state> of calls, d<state> of data links. The
// first announcement starting with clearOn clears the device, as a dropped
// link does.
struct Announcements
{
    explicit Announcements(TComDevice& d) : device(d)
    {
        const auto on = [&](auto signal, const char* tag, auto value) {
            QObject::connect(&d, signal, &d, [=](auto c) { note(tag + std::to_string(value(c))); });
        };
        on(&TComDevice::deviceStateChanged, "", [](int s) { return s; });
        on(&TComDevice::connectionAdded, "+", [](TComBaseConnection* c) { return c->id(); });
        on(&TComDevice::connectionRemoved, "-", [](TComBaseConnection* c) { return c->id(); });
        on(&TComDevice::audioCallStatusChanged, "s", [](TComAudioConnection* c) { return c->status(); });
        on(&TComDevice::audioConnectionStateChanged, "S", [](TComAudioConnection* c) { return c->state(); });
        on(&TComDevice::dataConnectionStateChanged, "d", [](TComDataConnection* c) { return c->state(); });
        QObject::connect(&d, &TComDevice::audioCallStatisticChanged, &d, [this] { note("q"); });
        QObject::connect(&d, &TComDevice::audioCallRelayChanged, &d, [this] { note("r"); });
    }
    void note(const std::string& token)
    {
        seen += (seen.empty() ? "" : " ") + token;
        if (!clearOn.empty() && token.rfind(clearOn, 0) == 0)
            device.clear(true);
    }
    bool feed(const QByteArray& text)
    {
        const TCommand m = command(text);
        return m.verb == TCommand::Info ? device.handleInfo(m) : device.handleEvent(m);
    }
    TComDevice& device;
    std::string seen, clearOn;
};

} // namespace

class DeviceTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<DeviceUnit> sim;
    std::unique_ptr<A> aoip;

private slots:
    void init()
    {
        sim = std::make_unique<DeviceUnit>();
        QVERIFY(sim->start());
        if (!QByteArray(QTest::currentTestFunction()).startsWith("aoip"))
            return;
        aoip = std::make_unique<A>(&sim->com);
        QVERIFY(aoip->attach("aoip", 0, false));
        sim->unit.clearReceived();
    }
    void cleanup() { aoip.reset(), sim.reset(); }

    void aoipReadInTwoGets()
    {
        const QByteArray settings = "PARAM;network:aoip;target:network;GET:jitterab;";
        const QByteArray status = "PARAM;target:network;GET:aoip_version;GET:sip_state;";
        const struct { std::vector<std::string> keys; bool refuseFirst; bool result; QByteArrayList sent; } rows[] = {
            {{"aoip_version", "sip_state"}, false, true, {status}},
            {{"jitterab"}, false, true, {settings}},
            {{"aoip_version", "jitterab", "sip_state"}, false, true, {settings, status}},
            {{"aoip_version", "jitterab", "sip_state"}, true, false, {settings}},
        };
        for (const auto& row : rows) {
            sim->unit.clearReceived();
            sim->answer(settings, row.refuseFirst ? "PARAM;jitterab:102-unknown parameter;return:ERROR;"
                                                  : "PARAM;jitterab:on;return:OK;");
            sim->answer(status, "PARAM;aoip_version:2.1;return:OK;sip_state:registered;");
            QCOMPARE(aoip->readParams(row.keys), row.result);
            QCOMPARE(sim->bodies(), row.sent);
        }
        QVERIFY(aoip->jitterab() && aoip->account1().registered);
    }

    void aoipReceivedValues()
    {
        // Each read replies to the keys of both GETs.
        const auto read = [this](const std::map<std::string, std::string>& values) {
            QByteArray reply = "PARAM;return:OK;";
            std::vector<std::string> keys;
            for (const auto& [key, text] : values)
                reply += QByteArray::fromStdString(key + ':' + text + ';'), keys.push_back(key);
            sim->unit.onRequestMatching(QRegularExpression("GET:"), {UnitSimulator::reply(reply)}, 2);
            return aoip->readParams(keys);
        };
        QVERIFY(read({{"SIP_UDP_PORT", "7000"}, {"rtp_tos", "0"}, {"SIP_KA_TARGET", "2"}, {"stream_pattern", "3-3"},
                      {"MP_ECM_BF_SHIFT", "3"}, {"stun_nat_type", "nat-full-cone"}, {"sip_user2", "J\xC3\xBCrg"},
                      {"sip_password", encryptSecretValue("p\xC3\xA4ss")}, {"sip_state", "403-forbidden"},
                      {"SIP_KA_INTERVAL", "20"}}));
        QVERIFY(aoip->rtpTos() == 0 && aoip->sipKeepAliveTarget() == 0 && aoip->streamPattern() == 0
                && aoip->ecmBfShift() == 0 && aoip->stunNatType() == A::NatFullCone);
        QVERIFY(aoip->account2().user == "J\xC3\xBCrg" && aoip->account1().password == "p\xC3\xA4ss");
        QVERIFY(!aoip->account1().registered && aoip->account1().stateCause == "403-forbidden");
        // Numbers below the least value are not taken; an empty one is the start value.
        QVERIFY(read({{"SIP_UDP_PORT", "0"}, {"SIP_KA_INTERVAL", ""}, {"sip_password", "no token"},
                      {"sip_state", "unregistered"}, {"SIP_KA_TARGET", "1"}}));
        QVERIFY(aoip->sipUdpPort() == 7000 && aoip->sipKeepAliveInterval() == 15 && aoip->sipKeepAliveTarget() == 1);
        QVERIFY(aoip->account1().password == "no token" && aoip->account1().stateCause.empty());
        // The token of an empty password holds the empty text: no failure.
        QVERIFY(read({{"SIP_UDP_PORT", "-5"}, {"sip_password", encryptSecretValue("")}}));
        QVERIFY(aoip->sipUdpPort() == 7000 && aoip->account1().password.empty());
    }

    void aoipSetters()
    {
        const struct {
            std::function<bool(A&)> set;
            QByteArray sent;
            bool result;
            std::function<bool(const A&)> holds;
        } rows[] = {
            // Refused values: true, nothing stored or sent.
            {[](A& a) { return a.setSipUdpPort(0, true) && a.setRtpTos(-1, true); }, {}, true,
             [](const A& a) { return a.sipUdpPort() == 5060 && a.rtpTos() == 0; }},
            {[](A& a) { return a.setSipKeepAliveTarget(2, true); },
             "PARAM;SIP_KA_TARGET:2;network:aoip;target:network;", true,
             [](const A& a) { return a.sipKeepAliveTarget() == 2; }},
            {[](A& a) { return a.setAudioMode(A::Rtp, true); }, "PARAM;audio_mode:RTP;network:aoip;target:network;",
             false, [](const A& a) { return a.audioMode() == A::Sip; }},
        };
        for (const auto& row : rows) {
            sim->unit.clearReceived();
            const QByteArray reply = row.result ? "PARAM;return:OK;" : "PARAM;x:105-invalid value;return:ERROR;";
            sim->unit.onRequest(row.sent, {UnitSimulator::reply(reply)}, 1);
            QCOMPARE(row.set(*aoip), row.result);
            QCOMPARE(sim->bodies(), row.sent.isEmpty() ? QByteArrayList() : QByteArrayList{row.sent});
            QVERIFY(row.holds(*aoip));
        }
    }

    void aoipWriteParams()
    {
        aoip->account1().setPassword("s\xC3\xA9same", false);
        aoip->setSipProxy("pr\xC3\xB6xy", false);
        QVERIFY(!aoip->writeParams({}));
        QVERIFY(!aoip->writeParams({"public_addr", "sip_state", "aoip_version"}));
        // A password that cannot be made a token never goes out in clear.
        const SecretTokenEncoder real = setSecretTokenEncoder(failingEncoder);
        QVERIFY(!aoip->writeParams({"sip_proxy", "sip_password"}));
        setSecretTokenEncoder(real);
        QVERIFY(sim->bodies().isEmpty());

        sim->answer("sip_password", "PARAM;return:OK;");
        QVERIFY(aoip->writeParams({"sip_proxy", "sip_password", "public_addr", "SIP_UDP_PORT"}));
        const QByteArrayList sent = sim->bodies();
        TCommand request;
        QVERIFY(sent.size() == 1 && TCommand::parse(sent[0].toStdString(), request) >= 0);
        QCOMPARE(decryptSecretValue(request.params["sip_password"]), std::string("s\xC3\xA9same"));
        request.params.erase("sip_password");
        QCOMPARE(request.params, (TCommand::ParamMap{{"SIP_UDP_PORT", "5060"}, {"network", "aoip"},
                                                     {"sip_proxy", "pr\xC3\xB6xy"}, {"target", "network"}}));
    }

    void aoipRegistrationAndReset()
    {
        TCommand info(TCommand::Info);
        QVERIFY(!aoip->handleInfo(info));
        info.setParam("info_type", "sip_registration");
        info.setParam("sip_state", "registered");
        info.setParam("sip_state_cause", "200-ok");
        QVERIFY(aoip->handleInfo(info) && aoip->handleInfo(info));
        QVERIFY(aoip->account1().registered && aoip->account1().stateCause == "200-ok");
        info.setParam("info_type", "sip_registration2", TCommand::Replace);
        info.setParam("sip_state2", "registered");
        QVERIFY(aoip->handleInfo(info) && aoip->account2().registered);
        info.setParam("info_type", "network_info", TCommand::Replace);
        QVERIFY(!aoip->handleInfo(info));

        sim->answer("aoip_version", "PARAM;aoip_version:2.1;return:OK;");
        QVERIFY(aoip->readParams({"aoip_version"}));
        aoip->setRtpStartPort(6000, false);
        sim->unit.clearReceived();
        QSignalSpy states(aoip.get(), &TComController::controllerStateChanged);
        aoip->reset();
        aoip->reset();
        QCOMPARE(sim->bodies(), (QByteArrayList{"DO;action:unsubscribe;info:sip_registration;",
                                                "DO;action:unsubscribe;info:sip_registration2;"}));
        QCOMPARE(states.count(), 1);
        QVERIFY(!aoip->account1().registered && aoip->account1().stateCause.empty());
        QVERIFY(aoip->rtpStartPort() == 5006 && A(nullptr).rtpStartPort() == 5004);
        QCOMPARE(aoip->aoipVersion(), std::string("2.1"));
    }

    void interfaceCodes()
    {
        const struct { const char* name; std::uint32_t code, cls; int transport; } rows[] = {
            {"aoip", 0, 0, -1},           {"eth.0", 0x100, 0x100, 0},   {"isdn.1", 0x201, 0x200, 1},
            {"mobile.0", 0x300, 0x300, 0}, {"wifi.2", 0x402, 0x400, 0}, {"eth.", 0x100, 0x100, 0},
            {"eth.255", 0x1FF, 0x100, 0}, {"eth.256", 0xFFFF, 0x100, 0}, {"eth.-1", 0xFFFF, 0x100, 0},
            {"wifi.-1024", 0xFFFF, 0x400, 0}, {"aoip.1", 0xFFFF, 0xFFFF, -1}, {"ethernet", 0xFFFF, 0xFFFF, -1},
        };
        for (const auto& row : rows) {
            QVERIFY2(interfaceCodeFromName(row.name) == row.code && interfaceClassFromName(row.name) == row.cls
                         && transportFromName(row.name) == row.transport, row.name);
            QVERIFY(row.code == 0xFFFF || interfaceCodeFromName(interfaceName(int(row.code))) == row.code);
        }
        QVERIFY(interfaceName(0x003) == "aoip" && interfaceName(0x500).empty() && interfaceName(0xFFFF).empty());
        QVERIFY(interfaceClass(0x500) == 0xFFFF && transportOf(0x203) == 1 && transportOf(0xFFFF) == -1);
    }

    void deviceOptionItems()
    {
        const struct { std::vector<std::string> items; std::uint32_t bits; int hardware; } rows[] = {
            {{"ip_dcodec", "ravenna_2", "remote_access_3", "ip_dstream_1", "hardware_19"}, 0x14B9, 19},
            {{"ip_dstream_2", "remote_access_2", "ravenna_1"}, 0x68, 0},
            {{"hardware_2", "record_1", "isdn_dcodec", "ravenna"}, 0xB06, 2},
            {{"hardware_4", "record_0", "ip_dcodec_x", "hardware_-1"}, 0x280, -1},
        };
        for (const auto& row : rows) {
            const DeviceOptions options = deviceOptionsFromItems(row.items);
            QVERIFY(options.bits == row.bits && options.hardwareType == row.hardware);
        }
    }

    void connectionRegistry()
    {
        auto device = std::make_unique<TComDevice>(nullptr);
        QList<int> removed;
        connect(device.get(), &TComDevice::connectionRemoved, this, [&](TComBaseConnection* c) {
            QVERIFY(!c->listener());
            removed << c->id();
        });
        QList<int> codes;
        connect(device.get(), &TComDevice::deviceStateChanged, this, [&](TComDevice::DeviceState s) { codes << s; });
        QSignalSpy added(device.get(), &TComDevice::connectionAdded);

        Connection noId(0, -1, "eth.0"), noName(0, 4, ""), duplicate(0, 5, "eth.1");
        for (Connection* c : {new Connection(3, 9, "wifi.0"), new Connection(2, 7, "mobile.0"),
                              new Connection(0, 3, "eth.0"), new Connection(1, 5, "eth.0")})
            QVERIFY(device->addConnection(c));
        QVERIFY(!device->addConnection(nullptr) && !device->addConnection(&noId) && !device->addConnection(&noName)
                && !device->addConnection(&duplicate));
        QCOMPARE(added.count(), 4);
        QCOMPARE(device->connection(3)->listener(), device.get());
        QVERIFY(device->findAudioConnection(1)->id() == 3 && device->findAudioConnection(2)->id() == 5);
        QVERIFY(device->findConnectionByName("mobile.0")->id() == 7 && device->findConnection(3, "wifi.0")->id() == 9);
        QVERIFY(!device->findConnection(3, "eth.0") && device->transportForLine(1) == -1);

        device->removeConnection(5);
        device->removeConnection(42);
        QVERIFY(device->addConnection(new Connection(1, 5, "eth.0")));
        device->clear(false);
        QCOMPARE(device->connections().size(), std::size_t(4));
        device->clear(true);
        QCOMPARE(removed, (QList<int>{5, 3, 5, 7, 9}));

        // Forwarded: the network controllers' states (not the AoIP's) and a double-stream change.
        device->ethernet().setState(1);
        device->aoip().setState(1);
        device->wifi().setState(1);
        device->mobile().setState(1);
        device->setDoubleStreamMode(1);
        device->setDoubleStreamMode(1);
        QCOMPARE(codes, (QList<int>{TComDevice::EthernetChanged, TComDevice::WifiChanged, TComDevice::MobileChanged,
                                    TComDevice::DoubleStreamModeChanged}));

        QVERIFY(device->addConnection(new Connection(3, 2, "wifi.0")));
        QVERIFY(device->addConnection(new Connection(0, 1, "eth.0")));
        removed.clear();
        device.reset();
        QCOMPARE(removed, (QList<int>{1, 2}));
    }

    void connectionRequests()
    {
        zel::CCom down; // never connected: nothing can be sent
        TComAudioConnection line1(&sim->com, 0), coord(&sim->com, 2), line2(&sim->com, 1), idle(&down, 0);
        TComAudioConnection refused(&sim->com, 0), accepted(&sim->com, 0), never(&sim->com, 0);
        TComDataConnection data(&sim->com);
        TComDevice device(&sim->com);
        std::vector<int> rates{1};
        const struct { std::function<int()> op; QByteArray sent, reply; int result; } rows[] = {
            {[&] { return line1.call("eth.0", "a,b,c,d,e"); },
             "DO;action:con;comm_link:audio;network:eth.0;remote_addr:a;remote_addr2:b;remote_addr3:c;remote_addr4:d;",
             "DO;id:7;return:OK;", 0},
            // An empty second address ends the list; a reply without an id names no connection.
            {[&] { return coord.call("mobile.0", "a,,c"); },
             "DO;action:con;comm_link:coord_line;network:mobile.0;remote_addr:a;", "DO;return:OK;", 0},
            {[&] { return line2.call("eth.0", ""); }, "DO;action:con;comm_link:audio2;network:eth.0;remote_addr:;",
             "DO;cause:127-connection active;return:ERROR;", 127},
            {[&] { return refused.call("eth.0", "1"); }, "DO;action:con;comm_link:audio;network:eth.0;remote_addr:1;",
             "DO;return:ERROR;", 200},
            {[&] { return line1.call("eth.0", "1"); }, {}, {}, 200},
            {[&] { return idle.call("eth.0", "1"); }, {}, {}, 200},
            {[&] { return int(accepted.accept(9, "isdn.0")); }, "DO;action:conacc;id:9;network:isdn.0;",
             "DO;id:9;return:OK;", 1},
            {[&] { return int(line1.hangUp()); }, "DO;action:dcon;id:7;network:eth.0;", "DO;return:OK;", 1},
            {[&] { return int(never.hangUp()); }, {}, {}, 0},
            {[&] { return int(data.connect("wifi.0")); }, "DO;action:con;comm_link:data;mode:wifi;network:wifi.0;",
             "DO;id:3;return:OK;", 1},
            {[&] { return data.queryId("mobile.0"); }, "PARAM;mode:data;network:mobile.0;target:network;GET:id;",
             "PARAM;id:12;return:OK;", 12},
            {[&] { return data.queryId("mobile.1"); }, "PARAM;mode:data;network:mobile.1;target:network;GET:id;",
             "PARAM;id:;return:OK;", -1},
            {[&] { return device.listBitrates(1, 19, 2, 48000, rates, 0x300) ? rates.back() : -2; },
             "PARAM;alg:OPUS;codec_mode:double_codec;mode:stereo;network:ip;samplerate:48000;target:audio;"
             "LIST:bitrate;", "PARAM;bitrate:64000,128000;return:OK;", 128000},
        };
        for (const auto& row : rows) {
            sim->unit.clearReceived();
            sim->unit.onRequest(row.sent, {UnitSimulator::reply(row.reply)}, 1);
            QCOMPARE(row.op(), row.result);
            QCOMPARE(sim->bodies(), row.sent.isEmpty() ? QByteArrayList() : QByteArrayList{row.sent});
        }
        QVERIFY(line1.id() == 7 && line1.state() == 3 && line1.status() == 11 && line1.remoteAddresses().empty());
        QVERIFY(coord.id() == -1 && coord.txCodec().codec == 17 && coord.rxCodec().codec == 17);
        QVERIFY(line2.state() == 0 && accepted.direction() == 1 && accepted.status() == 2);
        QVERIFY(data.id() == 3 && data.state() == 1 && data.network() == "wifi.0");
    }

    void callEvents()
    {
        // As the device passes them on (q, r: statistics, relay); x: not ours.
        TComDevice device(nullptr);
        Announcements seen(device);
        const auto event = [](const char* type, const QByteArray& more = {}) {
            return "EVENT;event_type:" + QByteArray(type) + ";id:7;network:eth.0;" + more;
        };
        const struct { int line; QByteArrayList events; std::string seen; } rows[] = {
            {0,
             {event("0600-call received"), event("call ring", "remote_addr:111;bchannelno:1;"),
              event("call ring", "remote_addr:222;bchannelno:1;"),
              event("1000-call active", "codec_tx:OPUS/48000/stereo/128000;auto_bitrate:on;"),
              event("dsp_status", "state:sync;relay:on;"), event("dsp_status", "state:sync;"),
              event("tx-quality-report", "stream_id:2;net-quality:80;jtr-max:5;"), event("tx-quality-report"),
              "EVENT;event_type:relay_out;id:7;", "EVENT;event_type:relay_out;id:7;network:eth.9;",
              "EVENT;event_type:1200-call disconnected;id:8;network:eth.0;",
              "EVENT;event_type:1200-call disconnected;id:7;network:eth.1;",
              event("1901-call lost", "cause:016-no signal;")},
             "+7 s5 s5 s5 s6 S2 s9 s9 q r x x s14 S4"},
            {2, {event("0100-call proceeding"), event("1000-call active", "codec_tx:OPUS/48000/stereo/128000;")},
             "+7 s4 s6 S2 s9"},
            {3, {"EVENT;event_type:data connected;id:7;network:wifi.0;", event("data connected"),
                 event("data disconnected")}, "+7 x d2 d4"},
        };
        for (const auto& row : rows) {
            seen.seen.clear();
            TComBaseConnection* connection = nullptr;
            if (row.line == 3) {
                auto* data = new TComDataConnection(nullptr);
                data->start(7, "eth.0", 1);
                connection = data;
            } else {
                auto* call = new TComAudioConnection(nullptr, row.line);
                call->start(1, 7, "eth.0");
                connection = call;
            }
            QVERIFY(device.addConnection(connection));
            for (const QByteArray& text : row.events) {
                if (!connection->handleEvent(command(text)))
                    seen.note("x");
            }
            QCOMPARE(seen.seen, row.seen);
            const auto* call = dynamic_cast<TComAudioConnection*>(connection);
            if (call && row.line == 2)
                QVERIFY(call->txCodec().codec == 17 && call->rxCodec().codec == 17);
            if (call && row.line == 0) {
                // An ISDN channel's first address stays; only the report's figures change.
                const auto& second = call->txStatistics(1);
                QVERIFY(call->ringCount() == 3 && call->remoteAddresses() == "111" && call->txCodec().channelMode == 2);
                QVERIFY(second.netQuality == 80 && second.jitterMaximum == 5 && second.duration == 0
                        && call->txStatistics(0).netQuality == -1);
                QVERIFY(call->autoBitrate() && call->relayChannel() && call->cause() == "016-no signal");
            }
            device.removeConnection(7);
        }

        // A receiver that has the device let go of the call ends its handling.
        auto* coord = new TComAudioConnection(nullptr, 2);
        coord->start(1, 7, "eth.0");
        QVERIFY(device.addConnection(coord));
        seen.seen.clear(), seen.clearOn = "s";
        QVERIFY(coord->handleEvent(command(event("1000-call active"))));
        QVERIFY(seen.seen == "s6 -7" && device.connections().empty());
    }

    void messages()
    {
        zel::CCom down; // unconnected: the controller switch asks and gets no answer
        TComDevice device(&down);
        Announcements seen(device);
        const struct { QByteArray message; bool handled; std::string seen; } rows[] = {
            {"INFO;info_type:remote_numbers;", false, ""},
            {"EVENT;event_type:default_network;network:mobile.0;", true, "1 9"},
            {"EVENT;event_type:default_network;network:eth.0;", true, "1 8"},
            {"EVENT;event_type:secondary_network;network:mobile.0;", true, "2"},
            {"INFO;info_type:network_info;info_source:mobile.0;signal_quality:20;", true, "10"},
            {"INFO;info_type:network_info;info_source:wifi.0;", true, ""},
            {"EVENT;event_type:config info;network:eth.0;", true, "8"},
            {"INFO;info_type:battery_level;level:50;", true, "16"},
            {"INFO;info_type:battery_level;level:50;", true, ""},
            {"INFO;info_type:sip_registration;sip_state:registered;", true, "13"},
            {"INFO;info_type:sip_registration;sip_state:registered;", true, ""},
            {"INFO;info_type:sip_registration2;sip_state2:x;sip_state_cause2:503-busy;", true, "14"},
            {"INFO;info_type:audio_changeset;aes67_reset:on;", true, "17"},
            // Operation mode, double stream, coordination, codec mode (unchanged), coding.
            {"EVENT;event_type:default_codec;type:ip;operation_mode:extended;codec_mode:cmode_normal;"
             "dstream_mode:enabled;coord_mode:enabled;codec:OPUS/48000/stereo/128000;", true, "18 7 6 3"},
            {"EVENT;event_type:default_codec;codec_mode:cmode_double;dcodec_1:G722/16000/mono/64000;"
             "dcodec_2:L16/48000/mono/0;", true, "7 6 5 3 4"},
            {"EVENT;event_type:codec_change;type:isdn;codec_mode:cmode_normal;dstream_mode:enabled;", true, ""},
            {"EVENT;event_type:codec_change;type:ip;codec_mode:cmode_normal;dstream_mode:enabled;", true, "7"},
            {"EVENT;event_type:user_info;id:3;", false, ""},
            // Calls and data links: registered, announced, given the event; removed once ended.
            {"EVENT;event_type:0600-call received;id:7;comm_link:audio2;network:eth.0;", true, "+7 S1 s5"},
            {"EVENT;event_type:1901-call lost;id:7;network:eth.0;", true, "s14 S4 -7"},
            {"EVENT;event_type:1200-call disconnected;id:7;network:eth.0;", false, ""},
            {"EVENT;event_type:dsp_status;id:8;network:eth.0;state:sync;remote_addr:a;", true, "+8 S1 s9 S2"},
            {"EVENT;event_type:0100-call proceeding;network:eth.0;", true, ""},
            {"EVENT;event_type:call ring;id:9;comm_link:coord_line;", true, ""},
            {"EVENT;event_type:call ring;id:5;comm_link:coord_line;network:mobile.0;", true, "+5 S1 s5"},
            {"EVENT;event_type:data connected;id:3;network:wifi.0;", true, "+3 d2"},
            {"EVENT;event_type:data disconnected;id:3;network:wifi.0;", true, "d4 -3"},
            // Relays: the coordination line's are its own; the first report counts, a repeat does not.
            {"EVENT;event_type:relay_in;id:5;relay1:on;", true, ""},
            {"EVENT;event_type:relay_in;", true, "15"},
            {"EVENT;event_type:relay_in;", true, ""},
            {"EVENT;event_type:relay_in;id:8;relay1:on;config1:mic;", true, "15"},
            {"EVENT;event_type:relay_in;id:99;relay1:on;config1:talk;", true, "15"},
        };
        for (const auto& row : rows) {
            QVERIFY2(seen.feed(row.message) == row.handled, row.message.constData());
            QCOMPARE(std::exchange(seen.seen, {}), row.seen);
        }
        QVERIFY(device.mobileSignalBars() == 4 && device.relay1().previousConfig == "mic");
        QVERIFY(device.findAudioConnectionByTransport(2) == device.connection(5)
                && connectionTransport(device.connection(8)) == 0);
    }

    void receiverClearsDevice()
    {
        // Nothing of a connection removed inside an announcement may be touched after it (ASan watches).
        const QByteArray received = "EVENT;event_type:0600-call received;id:7;network:eth.0;";
        const struct { std::string clearOn; QByteArrayList messages; std::string seen; } rows[] = {
            {"+", {received}, "+7 -7"},
            {"+", {"EVENT;event_type:data connected;id:3;network:wifi.0;"}, "+3 -3"},
            {"S1", {received}, "+7 S1 -7"},
            {"s14", {received, "EVENT;event_type:1901-call lost;id:7;network:eth.0;"}, "+7 S1 s5 s14 -7"},
        };
        for (const auto& row : rows) {
            TComDevice device(nullptr);
            Announcements seen(device);
            seen.clearOn = row.clearOn;
            for (const QByteArray& message : row.messages)
                QVERIFY(seen.feed(message));
            QVERIFY(seen.seen == row.seen && device.connections().empty());
        }
    }

    void refreshByFirmware()
    {
        scriptUnit(sim->unit);
        for (const std::uint32_t firmware : {0x10B05u, 0x10C00u, 0x10D00u, 0x20000u}) {
            const FirmwareWord fw(firmware);
            sim->unit.clearReceived();
            TComDevice device(&sim->com);
            QList<int> codes;
            connect(&device, &TComDevice::deviceStateChanged, this, [&](TComDevice::DeviceState s) { codes << s; });
            QSignalSpy links(&device, &TComDevice::dataConnectionStateChanged);
            QVERIFY(device.refresh());

            QByteArrayList expected{"PARAM;target:general;LIST:device_opts;", "PARAM;target:network;LIST:network;",
                                    "DO;action:subscribe;info:sip_registration;",
                                    "DO;action:subscribe;info:sip_registration2;"};
            if (firmware >= 0x10C00)
                expected << "PARAM;network:aoip;target:network;GET:jitterab;";
            expected << "PARAM;target:network;GET:aoip_version;GET:sip_state;GET:sip_state2;"
                     << "PARAM;target:network;GET:default_network;GET:secondary_network;"
                     << "PARAM;network:eth.0;target:network;GET:mode;GET:cable;"
                     << "PARAM;target:audio;GET:codec_mode;GET:coord_mode;GET:codec;GET:dcodec_1;GET:dcodec_2;"
                            + QByteArray(firmware >= 0x20000 ? "GET:operation_mode;" : "") + "GET:dstream_mode;";
            if (firmware >= 0x10D00)
                expected << "PARAM;target:audio;GET:aes67_reset;";
            expected << "DO;action:subscribe;info:audio_changeset;" << "DO;action:subscribe;info:network_info;"
                     << "DO;action:subscribe;info:battery_level;"
                     << "PARAM;mode:data;network:mobile.0;target:network;GET:id;"
                     << "PARAM;mode:wifi;network:wifi.0;target:network;GET:id;";
            QCOMPARE(sim->bodies(0), expected);

            QCOMPARE(codes, QList<int>{TComDevice::Loaded});
            QVERIFY(device.isReady() && device.deviceOptions() == 0x14B9 && device.hardwareType() == 19);
            QVERIFY(device.defaultNetwork() == "eth.0" && device.secondaryNetwork() == "mobile.0");
            QVERIFY(device.coordMode() == 1 && device.doubleStreamMode() == 1 && device.codec1().codec == 19);
            QVERIFY(device.operationMode() == int(firmware >= 0x20000) && device.aes67Reset() == (firmware >= 0x10D00));
            QVERIFY(device.ethernet().state() == 0 && device.aoip().account1().registered);
            QVERIFY(links.count() == 1 && device.connections().size() == 1);
            QCOMPARE(device.connection(4)->network(), std::string("mobile.0"));

            // Stereo with coordination: the extended mode only for the configuration, any for a running call.
            QCOMPARE(device.audioModeFlags(), firmware >= 0x20000 ? 64 : 2);
            auto* call = new TComAudioConnection(nullptr, 0);
            call->start(0, 9, "eth.0");
            call->handleEvent(command("EVENT;event_type:1000-call active;id:9;network:eth.0;codec_tx:L16/8/stereo/0;"));
            QVERIFY(device.addConnection(call) && device.activeAudioConnection() == 64);
            QVERIFY(device.findAudioConnectionByTransport(0) == call && !device.findAudioConnectionByTransport(2));
        }
    }

    void refreshStageFails()
    {
        scriptUnit(sim->unit);
        // The request the unit refuses once, and the reply it gives instead.
        const QByteArray refusal = "PARAM;x:105-invalid value;return:ERROR;";
        const struct { QByteArray request, reply; } rows[] = {
            {"LIST:network;", "PARAM;network:eth.0;return:OK;"}, // no AoIP board
            {"GET:aoip_version", refusal},
            {"GET:default_network", refusal},
            {"GET:codec_mode", "PARAM;codec_mode:cmode_normal;return:OK;"}, // not every key answered
        };
        TComDevice device(&sim->com);
        QSignalSpy codes(&device, &TComDevice::deviceStateChanged);
        for (const auto& row : rows) {
            sim->answer(row.request, row.reply);
            QVERIFY(!device.refresh() && !device.isReady());
            QCOMPARE(codes.count(), 0);
            QVERIFY(device.refresh() && device.isReady());
            QCOMPARE(codes.count(), 1);
            codes.clear();
        }
        // The link drops inside a refresh and the device is cleared: each removal is still heard.
        connect(&sim->com, &zel::CCom::stateChanged, &device, [&] { device.clear(true); });
        sim->unit.onRequest("PARAM;target:network;LIST:network;", {UnitSimulator::drop()}, 1);
        QSignalSpy removed(&device, &TComDevice::connectionRemoved);
        const int held = int(device.connections().size());
        QVERIFY(held > 0 && !device.refresh() && removed.count() == held);
    }

    void codecModeChain()
    {
        const QByteArrayList chain{"PARAM;audio_mode:SIP;double_codec:on;network:aoip;target:network;",
                                   "PARAM;ip-codec_mode:cmode_double;target:audio;",
                                   "DO;action:reinit;network:aoip;target:network;"};
        for (int refused = 0; refused <= chain.size(); ++refused) {
            sim->unit.clearReceived();
            for (int i = 0; i < chain.size(); ++i) {
                const QByteArray verb = chain[i].left(chain[i].indexOf(';') + 1);
                const QByteArray reply = i == refused ? "x:105-invalid value;return:ERROR;" : "return:OK;";
                sim->unit.onRequest(chain[i], {UnitSimulator::reply(verb + reply)}, 1);
            }
            TComDevice device(&sim->com);
            QSignalSpy codes(&device, &TComDevice::deviceStateChanged);
            const bool accepted = refused == chain.size();
            QCOMPARE(device.setCodecMode(1, true), accepted);
            QCOMPARE(sim->bodies(), chain.mid(0, refused + 1));
            QVERIFY(device.codecMode() == int(accepted) && codes.count() == int(accepted));
            QVERIFY(device.setCodecMode(int(accepted), true)); // equal: nothing more sent
        }
    }

    void rebootAndShutdown()
    {
        zel::CCom down;
        QVERIFY(!TComDevice(&down).reboot() && !TComDevice(nullptr).shutdown());
        TComDevice device(&sim->com);
        sim->answer("reboot", "DO;return:OK;");
        sim->answer("shutdown", "DO;cause:115-resource busy;return:ERROR;");
        QVERIFY(device.reboot() && !device.shutdown());
        // The unit goes down before it answers.
        sim->unit.onRequestMatching(QRegularExpression("shutdown"), {UnitSimulator::drop()}, 1);
        QVERIFY(device.shutdown());
        QCOMPARE(sim->bodies().last(), QByteArray("DO;action:shutdown;"));
    }
};

QTEST_GUILESS_MAIN(DeviceTest)
#include "tst_device.moc"
