// The session object against the simulated unit on loopback.
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/protocolkeys.h"
#include "tests/support/unitsimulator.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {

// Collects the link's log lines, to read back the time-out it was handed.
QStringList g_log;
QtMessageHandler g_previousHandler = nullptr;

void captureHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    g_log.append(text);
    if (type != QtDebugMsg && g_previousHandler)
        g_previousHandler(type, context, text);
}

std::string text(const TCommand& command)
{
    std::string out;
    TCommand::write(command, out);
    return out;
}

// Parameters only, whatever the verb.
std::string paramsText(const TCommand& command)
{
    std::string out;
    for (const auto& [key, val] : command.params)
        out += key + ":" + val + ";";
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

quint16 freeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0))
        return 0;
    return probe.localPort();
}

} // namespace

class SessionTest : public QObject
{
    Q_OBJECT

private:
    // A session connected to a fresh simulator.
    struct Rig
    {
        UnitSimulator unit;
        zel::CCom com;
    };
    std::unique_ptr<Rig> connectedRig(quint16 udpPort = 0)
    {
        auto rig = std::make_unique<Rig>();
        if (!rig->unit.listen())
            return nullptr;
        if (!rig->com.connectToUnit(QStringLiteral("127.0.0.1"), rig->unit.port(), udpPort))
            return nullptr;
        if (!rig->unit.waitForClient()
            || !rig->unit.waitUntil([&] { return rig->com.state() == RpcConnection::ConnectedState; }))
            return nullptr;
        return rig;
    }

private slots:
    void initTestCase()
    {
        g_previousHandler = qInstallMessageHandler(captureHandler);
    }
    void cleanupTestCase()
    {
        qInstallMessageHandler(g_previousHandler);
    }

    void accessorIsOneObject()
    {
        zel::CCom* first = frontPanelCom();
        QVERIFY(first);
        QCOMPARE(frontPanelCom(), first);
        QCOMPARE(first->parent(), nullptr);
    }

    void connectRefusals()
    {
        zel::CCom com;
        QList<int> states;
        connect(&com, &zel::CCom::stateChanged, this, [&](RpcConnection::ConnectionState state) {
            states << int(state);
        });
        QVERIFY(!com.connectToUnit(QStringLiteral("localhost"), 7001, 0));
        QVERIFY(!com.connectToUnit(QStringLiteral("::1"), 7001, 0));
        QVERIFY(!com.connectToUnit(QStringLiteral("127.0.0.1"), 0, 0));
        QVERIFY(!com.connectToUnit(QString(), 7001, 0));
        QVERIFY(!com.isEnabled());
        QVERIFY(com.host().isEmpty());
        QCOMPARE(com.port(), quint16(0));

        UnitSimulator unit;
        QVERIFY(unit.listen());
        QVERIFY(com.connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0));
        QVERIFY(com.isEnabled());
        QVERIFY(!com.connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0));
        QVERIFY(unit.waitUntil([&] { return com.state() == RpcConnection::ConnectedState; }));
        QCOMPARE(com.host(), QStringLiteral("127.0.0.1"));
        QCOMPARE(com.port(), unit.port());
        QCOMPARE(com.udpPort(), quint16(0));
        QCOMPARE(unit.connectionCount(), 1);
        QCOMPARE(states.last(), int(RpcConnection::ConnectedState));

        com.disconnectFromUnit();
        QVERIFY(!com.isEnabled());
        QVERIFY(unit.waitForDisconnect());
        // Stopping twice is harmless; connecting again works.
        com.disconnectFromUnit();
        QVERIFY(com.connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0));
        QVERIFY(unit.waitForConnections(2));
    }

    void linkErrorsAreForwarded()
    {
        UnitSimulator unit;
        QVERIFY(unit.listen());
        const quint16 closedPort = unit.port();
        unit.close();

        zel::CCom com;
        QList<int> errors;
        QList<int> states;
        connect(&com, &zel::CCom::errorOccurred, this,
                [&](RpcConnection::ConnectionError error) { errors << int(error); });
        connect(&com, &zel::CCom::stateChanged, this,
                [&](RpcConnection::ConnectionState state) { states << int(state); });
        QVERIFY(com.connectToUnit(QStringLiteral("127.0.0.1"), closedPort, 0));
        QVERIFY(QTest::qWaitFor([&] { return !errors.isEmpty(); }, 5000));
        QCOMPARE(errors.first(), int(RpcConnection::SocketError));
        QVERIFY(states.contains(int(RpcConnection::ConnectingState)));
        QCOMPARE(com.state(), RpcConnection::UnconnectedState);
        // Still started: it retries until told to stop.
        QVERIFY(com.isEnabled());
        com.disconnectFromUnit();
        QVERIFY(!com.isEnabled());
    }

    void timeoutMapping_data()
    {
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("seconds");
        QTest::newRow("0") << 0 << 5;
        QTest::newRow("999") << 999 << 5;
        QTest::newRow("-1") << -1 << 5;
        QTest::newRow("1500") << 1500 << 1;
        QTest::newRow("2500") << 2500 << 2;
        QTest::newRow("5000") << 5000 << 5;
        QTest::newRow("10000") << 10000 << 10;
    }
    void timeoutMapping()
    {
        QFETCH(int, timeoutMs);
        QFETCH(int, seconds);
        QCOMPARE(zel::CCom::timeoutSeconds(timeoutMs), seconds);

        // The link is handed exactly that many seconds.
        auto rig = connectedRig();
        QVERIFY(rig);
        rig->unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
        g_log.clear();
        TCommand reply;
        QCOMPARE(rig->com.sendSyncMsg(paramRequest("x", "1"), reply, 0, timeoutMs), 0);
        const QString expected = QStringLiteral("timeout=%1)").arg(seconds);
        bool seen = false;
        for (const QString& line : std::as_const(g_log)) {
            if (line.contains(QLatin1String("asyncCall")) && line.contains(expected))
                seen = true;
        }
        QVERIFY2(seen, qPrintable(g_log.join('\n')));
    }

    void replyJudgement_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("expectedReply");
        QTest::addColumn<QString>("expectedErrors");   // empty: lastErrors gives -1

        QTest::newRow("ok, parameter not set reads empty")
            << QByteArray("PARAM;return:OK;a:1;b:101-parameter not set;")
            << "PARAM;a:1;b:;return:OK;" << "";
        QTest::newRow("error, refused value goes to lastErrors")
            << QByteArray("PARAM;return:ERROR;a:1;c:105-invalid value;")
            << "PARAM;a:1;return:PROGRESS;" << "c:105-invalid value;return:ERROR;";
        QTest::newRow("error, unknown error texts are refusals too")
            << QByteArray("PARAM;return:ERROR;a:200-unknown error;b:150-made up;c:2;")
            << "PARAM;c:2;return:PROGRESS;"
            << "a:200-unknown error;b:150-made up;return:ERROR;";
        QTest::newRow("error with only unset parameters is success")
            << QByteArray("PARAM;return:ERROR;a:101-parameter not set;")
            << "PARAM;a:;return:OK;" << "";
        QTest::newRow("error without any error text is still a refusal")
            << QByteArray("PARAM;return:ERROR;a:oops;")
            << "PARAM;a:oops;return:PROGRESS;" << "return:ERROR;";
        QTest::newRow("ok, an error-shaped value stands")
            << QByteArray("PARAM;return:OK;label:123-abc;")
            << "PARAM;label:123-abc;return:OK;" << "";
        QTest::newRow("do reply keeps its word")
            << QByteArray("DO;return:OK;id:7;") << "DO;id:7;return:OK;" << "";
        QTest::newRow("do refusal keeps its values")
            << QByteArray("DO;return:ERROR;cause:122-pin required;")
            << "DO;cause:122-pin required;return:ERROR;" << "";
    }
    void replyJudgement()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, expectedReply);
        QFETCH(QString, expectedErrors);

        auto rig = connectedRig();
        QVERIFY(rig);
        rig->unit.setDefaultActions({UnitSimulator::reply(answer)});
        TCommand reply(TCommand::Info);
        reply.setParam("stale", "x", 0, ',');
        QCOMPARE(rig->com.sendSyncMsg(paramRequest("a", "1"), reply, 0, 5000), 0);
        QCOMPARE(QString::fromStdString(text(reply)), expectedReply);

        TCommand errors;
        if (expectedErrors.isEmpty()) {
            QCOMPARE(rig->com.lastErrors(errors), -1);
        } else {
            QCOMPARE(rig->com.lastErrors(errors), 0);
            QCOMPARE(QString::fromStdString(paramsText(errors)), expectedErrors);
        }
    }

    void progressPiecesAreGathered()
    {
        auto rig = connectedRig();
        QVERIFY(rig);
        rig->unit.setDefaultActions({UnitSimulator::reply("PARAM;return:PROGRESS;a:1;"),
                                     UnitSimulator::delay(20),
                                     UnitSimulator::reply("PARAM;return:PROGRESS;b:2;"),
                                     UnitSimulator::reply("PARAM;return:OK;a:9;c:3;")});
        TCommand request(TCommand::Param);
        request.setParam("target", "general", 0, ',');
        request.addGet("a");
        request.addGet("b");
        request.addGet("c");
        TCommand reply;
        QCOMPARE(rig->com.sendSyncMsg(request, reply, 0, 5000), 0);
        QCOMPARE(text(reply), std::string("PARAM;a:1;b:2;c:3;return:OK;"));
        TCommand errors;
        QCOMPARE(rig->com.lastErrors(errors), -1);
    }

    void failures()
    {
        TCommand reply;
        {
            // Not connected: refused at once, no busy bracket, reply untouched.
            zel::CCom com;
            QSignalSpy busy(&com, &zel::CCom::busyStateChanged);
            QSignalSpy done(&com, &zel::CCom::sendSyncMsgCompleted);
            reply = paramRequest("keep", "me");
            QCOMPARE(com.sendSyncMsg(paramRequest("a", "1"), reply, 0, 5000), -3);
            QCOMPARE(value(reply, "keep"), std::string("me"));
            QCOMPARE(busy.count(), 0);
            QCOMPARE(done.count(), 0);
            QCOMPARE(com.sendMessage(paramRequest("a", "1")), -1);
            QVERIFY(com.isIdle());
        }

        auto rig = connectedRig();
        QVERIFY(rig);
        zel::CCom& com = rig->com;
        UnitSimulator& unit = rig->unit;

        // The unit's own code from an error reply.
        unit.onRequestMatching(QRegularExpression("reboot"), {UnitSimulator::errorReply(204)});
        TCommand reboot(TCommand::Do);
        reboot.setParam("action", "reboot", 0, ',');
        reply = paramRequest("keep", "me");
        QCOMPARE(com.sendSyncMsg(reboot, reply, 0, 5000), 204);
        QCOMPARE(reply.verb, 0u);
        QVERIFY(reply.params.empty());

        // An error reply without a code is not success.
        unit.onRequestMatching(QRegularExpression("zero"), {UnitSimulator::errorReply(0)});
        QCOMPARE(com.sendSyncMsg(paramRequest("zero", "1"), reply, 0, 5000), -10);

        // "NOK" is no reply word: bad message, empty reply.
        unit.onRequestMatching(QRegularExpression("nok"), {UnitSimulator::reply("PARAM;return:NOK;")});
        QCOMPARE(com.sendSyncMsg(paramRequest("nok", "1"), reply, 0, 5000), -10);
        QVERIFY(reply.params.empty());

        // Refused parameters, then a failed call: lastErrors forgets them.
        unit.onRequestMatching(QRegularExpression("refuse"),
                               {UnitSimulator::reply("PARAM;return:ERROR;refuse:105-invalid value;")});
        QCOMPARE(com.sendSyncMsg(paramRequest("refuse", "1"), reply, 0, 5000), 0);
        TCommand errors;
        QCOMPARE(com.lastErrors(errors), 0);

        // Silence: time-out after one to two seconds.
        unit.onRequestMatching(QRegularExpression("silent"), {});
        QCOMPARE(com.sendSyncMsg(paramRequest("silent", "1"), reply, 0, 1000), -5);
        QVERIFY(reply.params.empty());
        QCOMPARE(com.lastErrors(errors), -1);

        // The link goes down during the wait: cancelled.
        QTimer::singleShot(50, &com, [&] { com.disconnectFromUnit(); });
        QCOMPARE(com.sendSyncMsg(paramRequest("silent", "2"), reply, 0, 5000), -6);
        QVERIFY(com.isIdle());
        QCOMPARE(com.sendSyncMsg(paramRequest("a", "1"), reply, 0, 5000), -3);
    }

    void peerDropsDuringWait()
    {
        auto rig = connectedRig();
        QVERIFY(rig);
        rig->unit.setDefaultActions({UnitSimulator::delay(30), UnitSimulator::drop()});
        TCommand reply;
        QCOMPARE(rig->com.sendSyncMsg(paramRequest("a", "1"), reply, 0, 5000), -6);
        QVERIFY(rig->com.isIdle());
    }

    void nestedCallsAreRefused()
    {
        auto rig = connectedRig();
        QVERIFY(rig);
        zel::CCom& com = rig->com;
        QCOMPARE(com.setIdentity("ui", "sc_frontpanel"), 0);
        rig->unit.setDefaultActions({UnitSimulator::delay(200),
                                     UnitSimulator::reply("PARAM;return:OK;a:1;")});

        QStringList order;
        connect(&com, &zel::CCom::busyStateChanged, this,
                [&](bool busy) { order << (busy ? "busy" : "idle"); });
        connect(&com, &zel::CCom::sendSyncMsgCompleted, this, [&] { order << "completed"; });

        int nestedSync = 99, nestedSend = 99, nestedWrite = 99, nestedRead = 99;
        bool idleInside = true;
        QTimer::singleShot(20, &com, [&] {
            order << "timer";
            idleInside = com.isIdle();
            TCommand inner;
            nestedSync = com.sendSyncMsg(paramRequest("b", "2"), inner, 0, 5000);
            nestedSend = com.sendMessage(paramRequest("c", "3"));
            std::map<std::string, std::string> values{{"k", "v"}};
            nestedWrite = com.dbWrite(values, 5000);
            nestedRead = com.dbRead({"k"}, values, 5000);
        });

        TCommand reply;
        QCOMPARE(com.sendSyncMsg(paramRequest("a", "1"), reply, 0, 5000), 0);
        QCOMPARE(value(reply, "a"), std::string("1"));
        QCOMPARE(nestedSync, -1);
        QCOMPARE(nestedSend, -1);
        QCOMPARE(nestedWrite, -1);
        QCOMPARE(nestedRead, -1);
        QVERIFY(!idleInside);
        QVERIFY(com.isIdle());
        QCOMPARE(order, QStringList({"busy", "timer", "idle", "completed"}));

        // Nothing but the first request reached the unit.
        QTest::qWait(50);
        QCOMPARE(rig->unit.requests().size(), 1);
        QCOMPARE(rig->unit.requests().first().body, QByteArray("PARAM;a:1;target:general;"));
    }

    void sendMessageFireAndForget()
    {
        auto rig = connectedRig();
        QVERIFY(rig);
        TCommand info(TCommand::Info);
        info.setParam("info_type", "remote_numbers", 0, ',');
        info.setParam("remote_voice", "0123", 0, ',');
        QCOMPARE(rig->com.sendMessage(info), 0);
        QVERIFY(rig->unit.waitForRequests(1));
        const SimFrame frame = rig->unit.requests().first();
        QCOMPARE(frame.id, -1);
        QCOMPARE(frame.type, 1u);
        QCOMPARE(frame.body, QByteArray("INFO;info_type:remote_numbers;remote_voice:0123;"));
    }

    void unitMessagesAreForwarded()
    {
        auto rig = connectedRig();
        QVERIFY(rig);
        QList<RpcMessage> received;
        int completed = 0;
        connect(&rig->com, &zel::CCom::messageReceived, this,
                [&](const RpcMessage& message) { received << message; });

        // A signal sent while the call waits arrives after the call's reply.
        rig->unit.setDefaultActions({UnitSimulator::signal("EVENT;event_type:display;"),
                                     UnitSimulator::delay(30),
                                     UnitSimulator::reply("PARAM;return:OK;")});
        int receivedBeforeReturn = -1;
        connect(&rig->com, &zel::CCom::messageCompleted, this, [&] {
            ++completed;
            receivedBeforeReturn = int(received.size());
        });
        TCommand reply;
        QCOMPARE(rig->com.sendSyncMsg(paramRequest("a", "1"), reply, 0, 5000), 0);
        QCOMPARE(completed, 1);
        QCOMPARE(receivedBeforeReturn, 0);
        QVERIFY(QTest::qWaitFor([&] { return received.size() == 1; }, 2000));
        const RpcMessage message = received.first();
        QCOMPARE(value(message.command(), "event_type"), std::string("display"));
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
        QTest::qWait(20);
        QCOMPARE(unit.requests().size(), 0);

        unit.onRequest("PARAM;autologin:on;cat:ui;controller_id:sc_frontpanel;target:db;type:sc_frontpanel;",
                       {UnitSimulator::reply("PARAM;return:OK;autologin:on;")});
        QCOMPARE(com.dbWrite(values, 10000), 0);
        QCOMPARE(unit.requests().size(), 1);
        QCOMPARE(unit.requests().last().body,
                 QByteArray("PARAM;autologin:on;cat:ui;controller_id:sc_frontpanel;target:db;"
                            "type:sc_frontpanel;"));

        // A refused value is a failure.
        unit.onRequestMatching(QRegularExpression("password_al"),
                               {UnitSimulator::reply("PARAM;return:ERROR;password_al:103-parameter set error;")});
        QCOMPARE(com.dbWrite({{"password_al", "tok"}}, 10000), -1);
        // No answer: the call's own code.
        unit.onRequestMatching(QRegularExpression("silent"), {});
        QCOMPARE(com.dbWrite({{"silent", "1"}}, 1000), -5);

        // Reads: GET keys in the caller's order; old values win; refused
        // keys stay out, readable ones still arrive.
        unit.onRequest("PARAM;cat:ui;controller_id:sc_frontpanel;target:db;type:sc_frontpanel;"
                       "GET:password_ol;GET:password_el;GET:password_al;",
                       {UnitSimulator::reply("PARAM;return:OK;password_ol:t1;password_el:;"
                                             "password_al:101-parameter not set;")});
        std::map<std::string, std::string> read{{"password_ol", "old"}};
        QCOMPARE(com.dbRead({"password_ol", "password_el", "password_al"}, read, 10000), 0);
        QCOMPARE(read.size(), size_t(3));
        QCOMPARE(read["password_ol"], std::string("old"));
        QCOMPARE(read["password_el"], std::string());
        QCOMPARE(read["password_al"], std::string());

        unit.onRequestMatching(QRegularExpression("GET:a;GET:b;"),
                               {UnitSimulator::reply("PARAM;return:ERROR;a:1;b:102-unknown parameter;")});
        read.clear();
        QCOMPARE(com.dbRead({"a", "b"}, read, 10000), -1);
        QCOMPARE(read.size(), size_t(1));
        QCOMPARE(read["a"], std::string("1"));
    }

    void audioLevelDatagrams()
    {
        const quint16 udpPort = freeUdpPort();
        QVERIFY(udpPort != 0);
        auto rig = connectedRig(udpPort);
        QVERIFY(rig);
        QCOMPARE(rig->com.udpPort(), udpPort);
        QList<RpcMessage> received;
        connect(&rig->com, &zel::CCom::messageReceived, this,
                [&](const RpcMessage& message) { received << message; });

        QUdpSocket sender;
        auto send = [&](const QByteArray& datagram) {
            QCOMPARE(sender.writeDatagram(datagram, QHostAddress::LocalHost, udpPort),
                     qint64(datagram.size()));
        };
        const QByteArray levels("EVENT;event_type:audio_levels;in1:-20;");
        send(unitsim::encodeFrame(-1, 1, 0, levels));                       // a request
        send(unitsim::encodeFrame(-1, 4, 0, "INFO;info_type:audio_levels;")); // INFO
        send(unitsim::encodeFrame(-1, 4, 0, "EVENT;event_type:display;"));
        send(unitsim::encodeFrame(-1, 4, 0, "EVENT;event_type:audio_levels2;"));
        send(QByteArray("ORVA"));                                           // short junk
        send(unitsim::encodeHeader(-1, 4, 0, 4000) + "EVENT;");             // length lies
        send(QByteArray());                                                 // empty
        send(unitsim::encodeFrame(5, 4, 0, levels));                        // the one that counts
        QVERIFY(QTest::qWaitFor([&] { return !received.isEmpty(); }, 2000));
        QTest::qWait(100);
        QCOMPARE(received.size(), 1);
        const RpcMessage message = received.first();
        QCOMPARE(message.id(), 5);
        QCOMPARE(value(message.command(), "in1"), std::string("-20"));

        // Disconnecting closes the receiver.
        rig->com.disconnectFromUnit();
        send(unitsim::encodeFrame(6, 4, 0, levels));
        QTest::qWait(100);
        QCOMPARE(received.size(), 1);
    }

    void receiverMayDisconnectWhileDatagramsWait()
    {
        const quint16 udpPort = freeUdpPort();
        QVERIFY(udpPort != 0);
        auto rig = connectedRig(udpPort);
        QVERIFY(rig);
        int seen = 0;
        connect(&rig->com, &zel::CCom::messageReceived, this, [&] {
            ++seen;
            rig->com.disconnectFromUnit();
        });
        QUdpSocket sender;
        const QByteArray frame = unitsim::encodeFrame(-1, 4, 0, "EVENT;event_type:audio_levels;");
        for (int i = 0; i < 3; ++i)
            sender.writeDatagram(frame, QHostAddress::LocalHost, udpPort);
        QVERIFY(QTest::qWaitFor([&] { return seen > 0; }, 2000));
        QTest::qWait(100);
        QCOMPARE(seen, 1);
        QVERIFY(!rig->com.isEnabled());
    }
};

QTEST_MAIN(SessionTest)
#include "tst_session.moc"
