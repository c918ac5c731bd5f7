// The session object against the simulated unit on loopback.
#include "link/ccom.h"
#include "tests/support/unitsimulator.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(UnitSimulator::Actions)

namespace {

std::string text(const TCommand& command)
{
    std::string out;
    TCommand::write(command, out);
    return out;
}

std::string value(const TCommand& command, const std::string& key)
{
    const std::string* found = command.param(key, false);
    return found ? *found : std::string("<absent>");
}

TCommand paramRequest(const std::string& key, const std::string& val)
{
    TCommand command(TCommand::Param);
    command.setParam("target", "general", 0, ',');
    command.setParam(key, val, 0, ',');
    return command;
}

// A session connected to a fresh simulator.
struct Rig
{
    UnitSimulator unit;
    zel::CCom com;
    QList<RpcMessage> received;
};

std::unique_ptr<Rig> connectedRig(quint16 udpPort = 0)
{
    auto rig = std::make_unique<Rig>();
    QObject::connect(&rig->com, &zel::CCom::messageReceived, &rig->com,
                     [r = rig.get()](const RpcMessage& message) { r->received << message; });
    if (!rig->unit.listen() || !rig->com.connectToUnit(QStringLiteral("127.0.0.1"), rig->unit.port(), udpPort)
        || !rig->unit.waitForClient()
        || !rig->unit.waitUntil([&] { return rig->com.state() == RpcConnection::ConnectedState; }))
        return nullptr;
    return rig;
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHost, 0) ? probe.localPort() : 0;
}

} // namespace

class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }

    void connectAndLinkEvents()
    {
        zel::CCom com;
        QList<int> states;
        QList<int> errors;
        connect(&com, &zel::CCom::stateChanged, this, [&](RpcConnection::ConnectionState s) { states << int(s); });
        connect(&com, &zel::CCom::errorOccurred, this, [&](RpcConnection::ConnectionError e) { errors << int(e); });
        for (const char* address : {"localhost", "::1", ""})
            QVERIFY2(!com.connectToUnit(QString::fromLatin1(address), 7001, 0), address);
        QVERIFY(!com.connectToUnit(QStringLiteral("127.0.0.1"), 0, 0));
        QVERIFY(!com.isEnabled());

        // The link's errors and states reach the session's users; it stays
        // started until told to stop, and stopping twice is harmless.
        UnitSimulator unit;
        QVERIFY(unit.listen());
        const quint16 port = unit.port();
        unit.close();
        QVERIFY(com.connectToUnit(QStringLiteral("127.0.0.1"), port, 0));
        QVERIFY(!com.connectToUnit(QStringLiteral("127.0.0.1"), port, 0));
        QVERIFY(QTest::qWaitFor([&] { return !errors.isEmpty(); }, 5000));
        QCOMPARE(errors.first(), int(RpcConnection::SocketError));
        QVERIFY(com.isEnabled());
        com.disconnectFromUnit();
        com.disconnectFromUnit();
        QVERIFY(!com.isEnabled());
        QVERIFY(unit.listen(QHostAddress::LocalHost, port));
        QVERIFY(com.connectToUnit(QStringLiteral("127.0.0.1"), port, 0));
        QVERIFY(unit.waitUntil([&] { return com.state() == RpcConnection::ConnectedState; }));
        QCOMPARE(states.last(), int(RpcConnection::ConnectedState));
    }

    void timeoutMapping()
    {
        // The link is handed whole seconds; below one second means five.
        const QList<QPair<int, int>> cases{{0, 5}, {999, 5}, {-1, 5}, {1500, 1}, {10000, 10}};
        for (const auto& [timeoutMs, seconds] : cases)
            QCOMPARE(zel::CCom::timeoutSeconds(timeoutMs), seconds);
    }

    void replyJudgement_data()
    {
        QTest::addColumn<UnitSimulator::Actions>("answer");
        QTest::addColumn<QString>("expectedReply");
        QTest::addColumn<QString>("expectedErrors");  // empty: lastErrors gives -1
        using U = UnitSimulator;
        const auto row = [](const char* name, const U::Actions& answer, const char* reply, const char* errors = "") {
            QTest::newRow(name) << answer << QString::fromLatin1(reply) << QString::fromLatin1(errors);
        };
        row("ok, parameter not set reads empty", {U::reply("PARAM;return:OK;a:1;b:101-parameter not set;")},
            "PARAM;a:1;b:;return:OK;");
        row("error, refused value goes to lastErrors", {U::reply("PARAM;return:ERROR;a:1;c:105-invalid value;")},
            "PARAM;a:1;return:PROGRESS;", "c:105-invalid value;return:ERROR;");
        row("error, unknown error texts are refusals too",
            {U::reply("PARAM;return:ERROR;a:200-unknown error;b:150-made up;c:2;")}, "PARAM;c:2;return:PROGRESS;",
            "a:200-unknown error;b:150-made up;return:ERROR;");
        row("error with only unset parameters is success", {U::reply("PARAM;return:ERROR;a:101-parameter not set;")},
            "PARAM;a:;return:OK;");
        row("error without any error text is still a refusal", {U::reply("PARAM;return:ERROR;a:oops;")},
            "PARAM;a:oops;return:PROGRESS;", "return:ERROR;");
        // The unit's own "return" of a PARAM reply does not decide.
        row("ok, the unit's error texts are refusals, other shapes stand",
            {U::reply("PARAM;return:OK;label:123-abc;okerr:105-invalid value;u:200-unknown error;")},
            "PARAM;label:123-abc;return:PROGRESS;", "okerr:105-invalid value;return:ERROR;u:200-unknown error;");
        row("refusal in a progress piece, then ok",
            {U::reply("PARAM;return:PROGRESS;c:105-invalid value;"), U::reply("PARAM;return:OK;a:1;")},
            "PARAM;a:1;return:PROGRESS;", "c:105-invalid value;return:ERROR;");
        row("do reply keeps its word", {U::reply("DO;return:OK;id:7;")}, "DO;id:7;return:OK;");
        row("do refusal keeps its values", {U::reply("DO;return:ERROR;cause:122-pin required;")},
            "DO;cause:122-pin required;return:ERROR;");
    }
    void replyJudgement()
    {
        QFETCH(UnitSimulator::Actions, answer);
        QFETCH(QString, expectedReply);
        QFETCH(QString, expectedErrors);

        auto rig = connectedRig();
        QVERIFY(rig);
        rig->unit.setDefaultActions(answer);
        TCommand reply(TCommand::Info);
        reply.setParam("stale", "x", 0, ',');
        QCOMPARE(rig->com.sendSyncMsg(paramRequest("a", "1"), reply, 0, 5000), 0);
        QCOMPARE(QString::fromStdString(text(reply)), expectedReply);

        TCommand errors;
        QCOMPARE(rig->com.lastErrors(errors), expectedErrors.isEmpty() ? -1 : 0);
        std::string params;
        for (const auto& [key, val] : errors.params)
            params += key + ":" + val + ";";
        QCOMPARE(QString::fromStdString(params), expectedErrors);
    }

    void failedCalls()
    {
        // How the link fails a call is its own test's; here every failure
        // must read as one, with nothing left of the call before.
        auto rig = connectedRig();
        QVERIFY(rig);
        zel::CCom& com = rig->com;
        rig->unit.onRequestMatching(QRegularExpression("refuse"),
                                    {UnitSimulator::reply("PARAM;return:ERROR;refuse:105-invalid value;")});
        rig->unit.onRequestMatching(QRegularExpression("failing"), {UnitSimulator::errorReply(204)});
        for (const int code : {204, -6}) {
            TCommand reply;
            QCOMPARE(com.sendSyncMsg(paramRequest("refuse", "1"), reply, 0, 5000), 0);
            TCommand errors;
            QCOMPARE(com.lastErrors(errors), 0);
            if (code == -6)  // the link stopped during the wait
                QTimer::singleShot(50, &com, [&] { com.disconnectFromUnit(); });
            reply = paramRequest("keep", "me");
            QCOMPARE(com.sendSyncMsg(paramRequest(code == -6 ? "silent" : "failing", "1"), reply, 0, 5000), code);
            QCOMPARE(reply.verb, 0u);
            QVERIFY(reply.params.empty());
            QCOMPARE(com.lastErrors(errors), -1);
            QVERIFY(com.isIdle());
        }
        // Not connected: refused at once, no busy bracket, reply untouched.
        QSignalSpy busy(&com, &zel::CCom::busyStateChanged);
        TCommand reply = paramRequest("keep", "me");
        QCOMPARE(com.sendSyncMsg(paramRequest("a", "1"), reply, 0, 5000), -3);
        QCOMPARE(value(reply, "keep"), std::string("me"));
        QCOMPARE(busy.count(), 0);
        QCOMPARE(com.sendMessage(paramRequest("a", "1")), -1);
    }

    void nestedCallsAreRefused()
    {
        auto rig = connectedRig();
        QVERIFY(rig);
        zel::CCom& com = rig->com;
        QCOMPARE(com.setIdentity("ui", "sc_frontpanel"), 0);
        // A signal sent while the call waits arrives after the call's reply.
        rig->unit.setDefaultActions({UnitSimulator::signal("EVENT;event_type:display;"), UnitSimulator::delay(200),
                                     UnitSimulator::reply("PARAM;return:OK;a:1;")});

        QStringList order;
        connect(&com, &zel::CCom::busyStateChanged, this, [&](bool busy) { order << (busy ? "busy" : "idle"); });
        connect(&com, &zel::CCom::sendSyncMsgCompleted, this, [&] { order << "completed"; });
        connect(&com, &zel::CCom::messageCompleted, this, [&] { order << "reply"; });
        connect(&com, &zel::CCom::messageReceived, this, [&] { order << "signal"; });

        QList<int> nested;
        bool idleInside = true;
        QTimer::singleShot(20, &com, [&] {
            order << "timer";
            idleInside = com.isIdle();
            TCommand inner;
            std::map<std::string, std::string> values{{"k", "v"}};
            nested << com.sendSyncMsg(paramRequest("b", "2"), inner, 0, 5000)
                   << com.sendMessage(paramRequest("c", "3")) << com.dbWrite(values, 5000)
                   << com.dbRead({"k"}, values, 5000);
        });

        TCommand reply;
        QCOMPARE(com.sendSyncMsg(paramRequest("a", "1"), reply, 0, 5000), 0);
        QCOMPARE(value(reply, "a"), std::string("1"));
        QCOMPARE(nested, QList<int>({-1, -1, -1, -1}));
        QVERIFY(!idleInside);
        QVERIFY(com.isIdle());
        QTRY_COMPARE(rig->received.size(), 1);
        QCOMPARE(value(rig->received.first().command(), "event_type"), std::string("display"));
        QCOMPARE(order, QStringList({"busy", "timer", "reply", "signal", "idle", "completed"}));

        // Nothing but the first request reached the unit.
        QTest::qWait(50);
        QCOMPARE(rig->unit.requests().size(), 1);
        QCOMPARE(rig->unit.requests().first().body, QByteArray("PARAM;a:1;target:general;"));
    }

    void syncCallFromAReceiverGetsItsReply()
    {
        // Models defer such calls; one that does not still gets its reply,
        // long before its time-out.
        auto rig = connectedRig();
        QVERIFY(rig);
        rig->unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;b:2;")});
        int result = 1;
        qint64 elapsed = -1;
        TCommand reply;
        connect(&rig->com, &zel::CCom::messageReceived, this, [&] {
            QElapsedTimer waited;
            waited.start();
            result = rig->com.sendSyncMsg(paramRequest("b", "2"), reply, 0, 2000);
            elapsed = waited.elapsed();
        });
        rig->unit.pushSignal("EVENT;event_type:display;");
        QTRY_VERIFY(elapsed >= 0);
        QCOMPARE(result, 0);
        QCOMPARE(value(reply, "b"), std::string("2"));
        QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    }

    void dbWriteAndRead()
    {
        auto rig = connectedRig();
        QVERIFY(rig);
        zel::CCom& com = rig->com;
        UnitSimulator& unit = rig->unit;
        std::map<std::string, std::string> values{{"autologin", "on"}};

        // Identity unset or nothing to do: nothing is sent.
        QCOMPARE(com.dbWrite(values, 10000), -1);
        QCOMPARE(com.dbRead({"autologin"}, values, 10000), -1);
        QCOMPARE(com.setIdentity("ui", "sc_frontpanel"), 0);
        QCOMPARE(com.dbWrite({}, 10000), 0);
        QCOMPARE(com.dbRead({}, values, 10000), 0);
        // A message without reply goes out as it is, with no id.
        TCommand info(TCommand::Info);
        info.setParam("info_type", "remote_numbers", 0, ',');
        QCOMPARE(com.sendMessage(info), 0);
        QVERIFY(unit.waitForRequests(1));
        QCOMPARE(unit.requests().first().id, -1);
        QCOMPARE(unit.requests().first().body, QByteArray("INFO;info_type:remote_numbers;"));
        unit.clearReceived();

        unit.onRequest("PARAM;autologin:on;cat:ui;controller_id:sc_frontpanel;target:db;type:sc_frontpanel;",
                       {UnitSimulator::reply("PARAM;return:OK;autologin:on;")});
        QCOMPARE(com.dbWrite(values, 10000), 0);
        QCOMPARE(unit.requests().size(), 1);
        // A refused value is a failure; a failed call gives its own code.
        unit.onRequestMatching(QRegularExpression("password_al"),
                               {UnitSimulator::reply("PARAM;return:ERROR;password_al:103-parameter set error;")});
        QCOMPARE(com.dbWrite({{"password_al", "tok"}}, 10000), -1);
        unit.onRequestMatching(QRegularExpression("failing"), {UnitSimulator::errorReply(204)});
        QCOMPARE(com.dbWrite({{"failing", "1"}}, 10000), 204);

        // Reads: GET keys in the caller's order; old values win; refused
        // keys stay out, readable ones still arrive.
        unit.onRequest("PARAM;cat:ui;controller_id:sc_frontpanel;target:db;type:sc_frontpanel;"
                       "GET:password_ol;GET:password_el;GET:password_al;",
                       {UnitSimulator::reply("PARAM;return:OK;password_ol:t1;password_el:;"
                                             "password_al:101-parameter not set;")});
        std::map<std::string, std::string> read{{"password_ol", "old"}};
        QCOMPARE(com.dbRead({"password_ol", "password_el", "password_al"}, read, 10000), 0);
        QCOMPARE(read, (std::map<std::string, std::string>{{"password_ol", "old"}, {"password_el", ""},
                                                           {"password_al", ""}}));
        unit.onRequestMatching(QRegularExpression("GET:a;GET:b;"),
                               {UnitSimulator::reply("PARAM;return:ERROR;a:1;b:102-unknown parameter;")});
        read.clear();
        QCOMPARE(com.dbRead({"a", "b"}, read, 10000), -1);
        QCOMPARE(read, (std::map<std::string, std::string>{{"a", "1"}}));
    }

    void audioLevelDatagrams()
    {
        const quint16 udpPort = freeUdpPort();
        QVERIFY(udpPort != 0);
        auto rig = connectedRig(udpPort);
        QVERIFY(rig);
        QUdpSocket sender;
        auto send = [&](const QByteArray& datagram) {
            QCOMPARE(sender.writeDatagram(datagram, QHostAddress::LocalHost, udpPort), qint64(datagram.size()));
        };
        const QByteArray levels("EVENT;event_type:audio_levels;in1:-20;");
        send(unitsim::encodeFrame(-1, 1, 0, levels));                        // a request
        send(unitsim::encodeFrame(-1, 4, 0, "INFO;info_type:audio_levels;"));
        send(unitsim::encodeFrame(-1, 4, 0, "EVENT;event_type:display;"));
        send(unitsim::encodeFrame(-1, 4, 0, "EVENT;event_type:audio_levels2;"));
        send(QByteArray("ORVA"));                                            // short junk
        send(unitsim::encodeHeader(-1, 4, 0, 4000) + "EVENT;");              // length lies
        send(QByteArray());                                                  // empty
        send(unitsim::encodeFrame(5, 4, 0, levels));                         // the one that counts
        QVERIFY(QTest::qWaitFor([&] { return !rig->received.isEmpty(); }, 2000));
        QTest::qWait(100);
        QCOMPARE(rig->received.size(), 1);
        QCOMPARE(rig->received.first().id(), 5);
        QCOMPARE(value(rig->received.first().command(), "in1"), std::string("-20"));

        // A receiver may disconnect while datagrams wait: nothing more arrives.
        connect(&rig->com, &zel::CCom::messageReceived, this, [&] { rig->com.disconnectFromUnit(); });
        for (int i = 0; i < 3; ++i)
            send(unitsim::encodeFrame(6 + i, 4, 0, levels));
        QVERIFY(QTest::qWaitFor([&] { return rig->received.size() > 1; }, 2000));
        QTest::qWait(100);
        QCOMPARE(rig->received.size(), 2);
        QVERIFY(!rig->com.isEnabled());
        send(unitsim::encodeFrame(9, 4, 0, levels));
        QTest::qWait(100);
        QCOMPARE(rig->received.size(), 2);
    }
};

QTEST_MAIN(SessionTest)
#include "tst_session.moc"
