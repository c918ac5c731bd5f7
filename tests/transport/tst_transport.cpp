// The RPC transport against the simulated unit on loopback.
#include "link/logmask.h"
#include "link/rpcasynccall.h"
#include "link/rpcconnection.h"
#include "link/rpcmessage.h"
#include "link/tcommand.h"
#include "tests/support/unitsimulator.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QtTest>

#include <climits>
#include <utility>

Q_DECLARE_METATYPE(UnitSimulator::Actions)

namespace {

// The log lines written while a LogCapture lives, with their type. Every
// line must come in the debug stream's form: a double quote, the line, a
// double quote and a blank; g_unquoted counts those that do not.
QList<QPair<QtMsgType, QString>> g_log;
int g_unquoted = 0;

struct LogCapture
{
    QtMessageHandler previous;
    LogCapture()
    {
        g_log.clear();
        g_unquoted = 0;
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (text.size() < 3 || !text.startsWith('"') || !text.endsWith(QLatin1String("\" ")))
                ++g_unquoted;
            g_log.append({type, text.mid(1, text.size() - 3)});
        });
    }
    ~LogCapture() { qInstallMessageHandler(previous); }
    // Lines equal to line (or containing it, when partial) of the given type.
    int count(const QString& line, bool partial = false, QtMsgType type = QtDebugMsg) const
    {
        int n = 0;
        for (const auto& [t, text] : std::as_const(g_log))
            n += t == type && (partial ? text.contains(line) : text == line) ? 1 : 0;
        return n;
    }
};

TCommand command(const char* text)
{
    TCommand c;
    TCommand::parse(text, c);
    return c;
}

QByteArray written(const TCommand& c)
{
    std::string out;
    TCommand::write(c, out);
    return QByteArray::fromStdString(out);
}

class TestConnection : public RpcClientConnection
{
public:
    void setLastId(qint32 id) { m_lastId = id; }
    QTimer& tickTimer() { return m_timer; }
};

// The link and the simulated unit, with everything the link reports.
struct Harness
{
    // Declared first: the link still reports while it is destroyed.
    QList<int> states;
    QList<int> errors;
    QList<RpcMessage> completed;
    QList<RpcMessage> received;
    QStringList order;  // "completed <id>" and "received <type> <id>" in emission order
    UnitSimulator unit;
    TestConnection link;

    Harness()
    {
        QObject::connect(&link, &RpcConnection::stateChanged, &link,
                         [this](RpcConnection::ConnectionState s) { states.append(int(s)); });
        QObject::connect(&link, &RpcConnection::errorOccurred, &link,
                         [this](RpcConnection::ConnectionError e) { errors.append(int(e)); });
        QObject::connect(&link, &RpcConnection::messageCompleted, &link, [this](const RpcMessage& m) {
            completed.append(m);
            order.append(QStringLiteral("completed %1").arg(m.id()));
        });
        QObject::connect(&link, &RpcConnection::messageReceived, &link, [this](const RpcMessage& m) {
            received.append(m);
            order.append(QStringLiteral("received %1 %2").arg(m.type()).arg(m.id()));
        });
    }

    bool up()
    {
        if (unit.port() == 0 && !unit.listen())
            return false;
        link.connect(QStringLiteral("127.0.0.1"), unit.port());
        return unit.waitUntil([this] {
            return link.state() == RpcConnection::ConnectedState && unit.hasClient();
        });
    }

    // The link comes back by itself after a drop.
    bool back(int connections)
    {
        return unit.waitUntil([this, connections] {
            return unit.connectionCount() >= connections && link.state() == RpcConnection::ConnectedState;
        });
    }

    RpcAsyncCall call(const char* text, int timeout = 5)
    {
        return link.asyncCall(RpcMessage::createRequest(command(text)), timeout);
    }

    bool waitCompleted(int count, int timeoutMs = 5000)
    {
        return unit.waitUntil([this, count] { return completed.size() >= count; }, timeoutMs);
    }

    QString prefix(const char* cls, const char* method) const
    {
        return QStringLiteral("%1::%2(address=127.0.0.1:%3").arg(cls, method).arg(link.port());
    }
};

} // namespace

class TransportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Ten ticks to a reconnection would otherwise take ten seconds.
        RpcConnection::setTickInterval(20);
    }

    void frames()
    {
        // The simulator's own encoder agrees byte for byte.
        const QByteArray body("PARAM;target:audio;GET:gain;");
        const RpcMessage request = RpcMessage::createRequest(7, command(body.constData()));
        QCOMPARE(RpcMessage::toFrame(request), unitsim::encodeFrame(7, 1, 0, body));
        QCOMPARE(RpcMessage::toFrame(RpcMessage::createErrorReply(request, 204)),
                 unitsim::encodeFrame(7, 3, 204, QByteArray()));
        // An empty command has no body; type 0 and unwritable verbs give nothing.
        QCOMPARE(RpcMessage::toFrame(RpcMessage::createSignal(TCommand())),
                 unitsim::encodeFrame(-1, 4, 0, QByteArray()));
        QVERIFY(RpcMessage::toFrame(RpcMessage()).isEmpty());
        QVERIFY(RpcMessage::toFrame(RpcMessage::createRequest(TCommand(9))).isEmpty());

        // Shorter than its own length field: no frame, and nothing read past the end.
        const QByteArray good = unitsim::encodeFrame(42, 2, 0, "PARAM;a:1;return:OK;");
        QCOMPARE(written(RpcMessage::fromFrame(good).command()), QByteArray("PARAM;a:1;return:OK;"));
        QCOMPARE(RpcMessage::fromFrame(good.left(good.size() - 1)).type(), quint32(0));
    }

    void callHandles()
    {
        // A handle without record reads as a call failed with -1, and its
        // watcher never fires.
        RpcAsyncCallWatcher orphan{RpcAsyncCall()};
        QSignalSpy never(&orphan, &RpcAsyncCallWatcher::finished);
        QVERIFY(orphan.isFinished() && orphan.isFailed() && !orphan.isSucceeded());
        QCOMPARE(orphan.reply().errorCode(), -1);
        QCOMPARE(never.count(), 0);

        // The last handle, not the watcher, takes the watcher helper with it.
        QPointer<RpcAsyncCallWatcherHelper> helper;
        {
            RpcAsyncCall call = RpcAsyncCall::create(5);
            RpcAsyncCall copy = call;
            copy = copy;
            {
                RpcAsyncCallWatcher watcher(call);
                helper = call.data()->watcherHelper;
                QCOMPARE(watcher.reply().errorCode(), -1);  // still pending
            }
            QVERIFY(helper);
        }
        QVERIFY(!helper);
    }

    void connectStates()
    {
        LogCapture log;
        Harness h;
        QVERIFY(h.up());
        QCOMPARE(h.states, (QList<int>{2, 0, 3}));
        const QString attempt = h.prefix("RpcClientConnection", "timerEvent") + ", connecting to host)";
        QCOMPARE(log.count(h.prefix("RpcClientConnection", "connect") + ", connecting to host)"), 1);
        QCOMPARE(log.count(h.prefix("RpcClientConnection", "socketChanged")
                           + ", will retry connecting to host in 10 seconds)"),
                 1);
        QCOMPARE(log.count(h.prefix("RpcConnection", "notifyStateChanged") + ", state=3)"), 1);

        // A second connect while enabled does nothing.
        h.link.connect(QStringLiteral("127.0.0.1"), 1);
        QCOMPARE(h.link.port(), h.unit.port());

        // Connecting again at once works, even while the socket is still
        // closing with bytes to write, at the first attempt.
        QVERIFY(h.link.send(RpcMessage::createRequest(command("DO;action:bye;"))));
        h.link.disconnect();
        h.link.connect(QStringLiteral("127.0.0.1"), h.unit.port());
        QVERIFY(h.back(2));
        QCOMPARE(log.count(attempt), 0);

        // A refused connection is retried until the unit listens again.
        h.link.disconnect();
        QTRY_COMPARE(h.link.state(), RpcConnection::UnconnectedState);
        const quint16 port = h.unit.port();
        h.unit.close();
        h.states.clear();
        h.errors.clear();
        h.link.connect(QStringLiteral("127.0.0.1"), port);
        QTRY_VERIFY(!h.errors.isEmpty());
        QCOMPARE(h.errors.first(), -4);
        QTRY_COMPARE(h.link.state(), RpcConnection::UnconnectedState);
        QCOMPARE(h.states.mid(0, 2), (QList<int>{2, 0}));
        QVERIFY(h.link.retryCountdown() > 0);
        QVERIFY(log.count(h.prefix("RpcConnection", "socketError") + ", error=", true, QtCriticalMsg) >= 1);
        QVERIFY(log.count(h.prefix("RpcConnection", "notifyErrorOccurred") + ", error=-4)", false, QtCriticalMsg) >= 1);
        QCOMPARE(g_unquoted, 0);
        QVERIFY(h.unit.listen(QHostAddress::LocalHost, port));
        QVERIFY(h.back(3));
        QVERIFY(log.count(attempt) >= 1);
    }

    void callIds()
    {
        Harness h;
        QVERIFY(h.unit.listen());
        // Not connected: refused, yet the id is used up.
        const RpcAsyncCall refused = h.call("PARAM;target:general;GET:device;");
        QCOMPARE(refused.errorCode(), -3);
        QCOMPARE(refused.id(), 1);
        QVERIFY(!refused.isFinished());

        h.link.connect(QStringLiteral("127.0.0.1"), h.unit.port());
        QCOMPARE(h.call("PARAM;").errorCode(), -3);
        QTRY_COMPARE(h.link.state(), RpcConnection::ConnectedState);
        QCOMPARE(h.link.asyncCall(RpcMessage::createSignal(command("EVENT;event_type:x;")), 5).errorCode(), -2);
        QCOMPARE(h.link.asyncCall(RpcMessage::createRequest(TCommand()), 5).errorCode(), -7);

        // The frame carries the connection's id and errorCode 0, whatever
        // the request held.
        h.unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
        RpcMessage request = RpcMessage::createRequest(99, command("PARAM;target:general;GET:device;"));
        request.setErrorCode(7);
        QCOMPARE(h.link.asyncCall(request, 5).id(), 5);
        QVERIFY(h.waitCompleted(1));
        const SimFrame sent = h.unit.requests().first();
        QCOMPARE(sent.id, 5);
        QCOMPARE(sent.errorCode, 0);
        QCOMPARE(sent.length, quint32(24 + sent.body.size()));
        // Refused calls are never reported.
        QCOMPARE(h.completed.size(), 1);

        // After INT_MAX comes 0.
        h.link.setLastId(INT_MAX - 1);
        QCOMPARE(h.call("PARAM;").id(), INT_MAX);
        QCOMPARE(h.call("PARAM;").id(), 0);
        QVERIFY(h.waitCompleted(3));
        QCOMPARE(h.unit.requests().at(2).id, 0);
        for (const RpcMessage& m : std::as_const(h.completed))
            QCOMPARE(m.type(), quint32(RpcMessage::Reply));

        // send() writes what it is given, bodiless replies included.
        QVERIFY(!h.link.send(RpcMessage()));
        QVERIFY(h.link.send(RpcMessage::createReply(RpcMessage::createRequest(77, TCommand()), TCommand())));
        QVERIFY(h.unit.waitUntil([&] { return h.unit.received().size() >= 4; }));
        const SimFrame reply = h.unit.received().last();
        QCOMPARE(reply.length, quint32(24));
        QCOMPARE(reply.id, 77);
        QCOMPARE(reply.type, quint32(2));
        QCOMPARE(h.link.pendingCallCount(), 0);
        h.link.disconnect();
        QVERIFY(!h.link.send(RpcMessage::createRequest(command("DO;"))));
    }

    void incomingFrames()
    {
        Harness h;
        QVERIFY(h.up());
        h.unit.sendRaw(unitsim::encodeFrame(1, 4, 0, "EVENT;event_type:a;")
                       + unitsim::encodeFrame(2, 1, 0, "DO;action:b;"));
        QTRY_COMPARE(h.received.size(), 2);
        QCOMPARE(written(h.received.at(0).command()), QByteArray("EVENT;event_type:a;"));
        QCOMPARE(h.received.at(1).type(), quint32(RpcMessage::Request));

        // A length field of 10 takes up the 24 header bytes; the next frame
        // starts right after them. A signal without body is a bad message,
        // an unknown type another error; neither stops the reader.
        h.unit.sendRaw(unitsim::encodeHeader(4, 4, 0, 10) + unitsim::encodeFrame(5, 4, 0, "EVENT;event_type:c;"));
        QTRY_COMPARE(h.received.size(), 3);
        QCOMPARE(h.received.at(2).id(), 5);
        h.unit.sendRaw(unitsim::encodeFrame(9, 7, 0, "EVENT;event_type:x;"));
        h.unit.pushSignal("EVENT;event_type:next;", 6);
        QTRY_COMPARE(h.received.size(), 4);
        QCOMPARE(h.received.at(3).id(), 6);
        QCOMPARE(h.errors, (QList<int>{-10, -9}));

        // A frame read with the one before it belongs to a link that the
        // receiver of that one took down.
        QObject::connect(&h.link, &RpcConnection::messageReceived, &h.link, [&](const RpcMessage& m) {
            if (m.id() == 7)
                h.link.disconnect();
        });
        h.unit.sendRaw(unitsim::encodeFrame(7, 4, 0, "EVENT;event_type:a;")
                       + unitsim::encodeFrame(8, 4, 0, "EVENT;event_type:b;"));
        QVERIFY(h.unit.waitForDisconnect());
        QTest::qWait(50);
        QCOMPARE(h.received.size(), 5);
    }

    void badFrameStopsTheReader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("bad magic") << QByteArray(30, 'x');
        // A peer cannot make us allocate what it likes.
        QTest::newRow("length over the cap") << unitsim::encodeHeader(1, 4, 0, RpcMessage::MaxFrameLength + 1);
    }

    void badFrameStopsTheReader()
    {
        QFETCH(QByteArray, bytes);
        Harness h;
        QVERIFY(h.up());
        h.unit.sendRaw(bytes);
        QTRY_COMPARE(h.errors, (QList<int>{-8}));
        h.unit.sendRaw(QByteArray(60, 'y') + unitsim::encodeFrame(1, 4, 0, "EVENT;event_type:a;"));
        // Let a round trip pass: the reader stays stopped and reports nothing more.
        h.unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
        QCOMPARE(h.call("PARAM;", 1).errorCode(), 0);
        QVERIFY(h.waitCompleted(1));
        QCOMPARE(h.completed.first().errorCode(), -5);
        QCOMPARE(h.errors, (QList<int>{-8}));
        QVERIFY(h.received.isEmpty());
    }

    void timeOut()
    {
        LogCapture log;
        Harness h;
        QVERIFY(h.up());
        QElapsedTimer sent;
        sent.start();
        const RpcAsyncCall call = h.call("PARAM;target:general;GET:device;", 1);
        QCOMPARE(call.errorCode(), 0);
        RpcAsyncCallWatcher watcher(call);
        // A receiver of the time-out waits for a call the unit leaves
        // unanswered: the tick that reported the first must not keep the
        // second from timing out.
        int nestedCode = 0;
        QObject::connect(&watcher, &RpcAsyncCallWatcher::finished, &watcher, [&](RpcAsyncCallWatcher* w) {
            h.order.append(QStringLiteral("finished %1").arg(w->id()));
            const RpcAsyncCall nested = h.call("DO;action:silent;", 1);
            RpcAsyncCallWatcher nestedWatcher(nested);
            QEventLoop loop;
            QObject::connect(&nestedWatcher, &RpcAsyncCallWatcher::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            loop.exec();
            nestedCode = nested.errorCode();
        });
        QVERIFY(h.waitCompleted(2, 8000));
        QCOMPARE(nestedCode, -5);
        // Never before its time.
        QVERIFY(sent.elapsed() >= 1000);
        // The watcher hears first, then the connection reports.
        QCOMPARE(h.order, (QStringList{QStringLiteral("finished %1").arg(call.id()),
                                       QStringLiteral("completed %1").arg(call.id() + 1),
                                       QStringLiteral("completed %1").arg(call.id())}));
        QCOMPARE(h.completed.last().type(), quint32(RpcMessage::ErrorReply));
        QCOMPARE(h.completed.last().errorCode(), -5);
        QCOMPARE(log.count(h.prefix("RpcConnection", "timerEvent")
                           + QStringLiteral(", time out on message %1)").arg(call.id())),
                 1);

        // Late replies find nothing pending and are dropped silently, error
        // replies and bodiless ones too.
        h.unit.sendRaw(unitsim::encodeFrame(call.id(), 2, 0, "PARAM;device:Velto;return:OK;")
                       + unitsim::encodeFrame(call.id(), 3, 204, QByteArray())
                       + unitsim::encodeFrame(call.id(), 2, 0, QByteArray()));
        h.unit.pushSignal("EVENT;event_type:marker;");
        QTRY_COMPARE(h.received.size(), 1);
        QCOMPARE(h.completed.size(), 2);
        QVERIFY(h.errors.isEmpty());

        // A call without time-out waits until answered.
        h.unit.onRequest("DO;action:slow;", {UnitSimulator::delay(1200), UnitSimulator::reply("DO;return:OK;")});
        QCOMPARE(h.call("DO;action:slow;", 0).errorCode(), 0);
        QVERIFY(h.waitCompleted(3));
        QCOMPARE(h.completed.at(2).type(), quint32(RpcMessage::Reply));
    }

    void cancelOnDisconnectInIdOrder()
    {
        LogCapture log;
        Harness h;
        QVERIFY(h.up());
        h.link.setDeferSignals(true);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(h.call("PARAM;target:audio;GET:gain;").errorCode(), 0);
        QVERIFY(h.unit.waitForRequests(3));
        h.unit.pushSignal("EVENT;event_type:queued;");
        QTRY_COMPARE(h.link.deferredSignalCount(), 1);

        // A call issued by a receiver while the others are cancelled stays
        // pending; it fails in turn when the socket has closed.
        QList<int> lateCodes;
        QObject::connect(&h.link, &RpcConnection::messageCompleted, &h.link, [&](const RpcMessage&) {
            if (lateCodes.isEmpty())
                lateCodes.append(h.call("PARAM;").errorCode());
        });
        h.link.disconnect();
        QCOMPARE(h.completed.size(), 4);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(h.completed.at(i).id(), i + 1);
            QCOMPARE(h.completed.at(i).errorCode(), -6);
            QCOMPARE(log.count(h.prefix("RpcConnection", "cancelPendingCalls")
                               + QStringLiteral(", canceling message %1)").arg(i + 1)),
                     1);
        }
        QCOMPARE(lateCodes, QList<int>{0});
        QVERIFY(h.received.isEmpty());  // queued signals are dropped
        QVERIFY(h.unit.waitForDisconnect());
        QTRY_COMPARE(h.link.state(), RpcConnection::UnconnectedState);
        QCOMPARE(h.completed.last().id(), 4);
        QCOMPARE(h.completed.last().errorCode(), -6);
        // No reconnection follows a disconnect.
        QCOMPARE(h.link.retryCountdown(), -1);
        QTest::qWait(20 * RpcConnection::tickInterval());
        QCOMPARE(h.unit.connectionCount(), 1);
    }

    void reconnectAfterDrop_data()
    {
        QTest::addColumn<bool>("midFrame");
        QTest::newRow("between frames") << false;
        // A frame cut by the drop must not poison the next connection.
        QTest::newRow("in the middle of a frame") << true;
    }

    void reconnectAfterDrop()
    {
        QFETCH(bool, midFrame);
        LogCapture log;
        Harness h;
        QVERIFY(h.up());
        h.link.setDeferSignals(true);
        h.unit.setDefaultActions({UnitSimulator::reply("PARAM;name:second;return:OK;")});
        // A signal held back for the pending call, then the link falls.
        UnitSimulator::Actions fall{UnitSimulator::signal("EVENT;event_type:lost;"), UnitSimulator::delay(50)};
        if (midFrame)
            fall << UnitSimulator::raw(unitsim::encodeFrame(1, 2, 0, "PARAM;name:first;return:OK;").left(30));
        h.unit.onRequest("PARAM;target:general;GET:name;", fall << UnitSimulator::drop(), 1);
        h.states.clear();
        // Ticks counted from the fall of the link to the new attempt.
        int ticks = -1;
        int ticksToAttempt = -1;
        QObject::connect(&h.link, &RpcConnection::stateChanged, &h.link, [&](RpcConnection::ConnectionState s) {
            if (s == RpcConnection::UnconnectedState && ticksToAttempt < 0)
                ticks = 0;
        });
        QObject::connect(&h.link.tickTimer(), &QTimer::timeout, &h.link, [&] {
            if (ticks < 0 || ticksToAttempt >= 0)
                return;
            ++ticks;
            if (h.link.retryCountdown() == 0)
                ticksToAttempt = ticks;
        }, Qt::QueuedConnection);  // after the link's own handling of the tick
        QCOMPARE(h.call("PARAM;target:general;GET:name;").errorCode(), 0);
        QVERIFY(h.waitCompleted(1));
        QCOMPARE(h.completed.first().errorCode(), -6);
        QVERIFY(h.back(2));
        QVERIFY(h.states.contains(0));
        QCOMPARE(h.states.last(), 3);
        QCOMPARE(log.count(h.prefix("RpcClientConnection", "timerEvent") + ", connecting to host)"), 1);
        QCOMPARE(ticksToAttempt, 10);
        QCOMPARE(h.link.retryCountdown(), -1);
        QVERIFY(h.received.isEmpty());

        QCOMPARE(h.call("PARAM;target:general;GET:name;").errorCode(), 0);
        QVERIFY(h.waitCompleted(2));
        QCOMPARE(written(h.completed.at(1).command()), QByteArray("PARAM;name:second;return:OK;"));
        // The peer closing is a socket error; a cut frame is no frame error.
        QVERIFY(!h.errors.isEmpty());
        for (int e : std::as_const(h.errors))
            QCOMPARE(e, -4);
    }

    void gathering_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<UnitSimulator::Actions>("replies");
        QTest::addColumn<int>("code");  // -10 is also reported as a link error
        QTest::addColumn<QByteArray>("gathered");
        using U = UnitSimulator;
        const auto row = [](const char* name, const char* request, const U::Actions& replies, int code,
                            const char* gathered = "") {
            QTest::newRow(name) << QByteArray(request) << replies << code << QByteArray(gathered);
        };
        const char* list = "PARAM;target:network;LIST:names;";
        const char* gain = "PARAM;target:audio;GET:gain;";
        const char* action = "DO;action:x;";

        row("list pieces joined by comma", list,
            {U::reply("PARAM;names:a;return:PROGRESS;"), U::reply("PARAM;names:b;return:PROGRESS;"),
             U::reply("PARAM;names:c;return:OK;")},
            0, "PARAM;names:a,b,c;return:OK;");
        row("list pieces joined by group separator", list,
            {U::reply("PARAM;names:a;return:PROGRESS;returnFmt:EXT;"),
             U::reply("PARAM;names:b;return:OK;returnFmt:EXT;")},
            0, "PARAM;names:a\x1d" "b;return:OK;returnFmt:EXT;");
        row("first value wins outside lists", gain,
            {U::reply("PARAM;gain:1;return:PROGRESS;"), U::reply("PARAM;gain:2;level:3;return:OK;")}, 0,
            "PARAM;gain:1;level:3;return:OK;");
        row("parameters not set read as empty", "PARAM;target:audio;GET:a;GET:b;",
            {U::reply("DO;a:101-parameter not set;b:101-parameter not set;return:ERROR;")}, 0, "DO;a:;b:;return:OK;");
        row("a refused value makes an error that still succeeds", "PARAM;target:audio;a:1;c:9;",
            {U::reply("PARAM;a:101-parameter not set;c:105-invalid value;return:ERROR;")}, 0,
            "PARAM;a:;c:105-invalid value;return:ERROR;");
        row("bare error stays a refusal", "DO;action:reboot;", {U::reply("DO;return:ERROR;")}, 0, "DO;return:ERROR;");
        row("error after a piece still counts", gain,
            {U::reply("PARAM;gain:1;return:PROGRESS;"), U::reply("PARAM;gain:105-invalid value;return:ERROR;")}, 0,
            "PARAM;gain:1;return:ERROR;");
        row("NOK is a bad message", action, {U::reply("DO;return:NOK;")}, -10);
        row("missing return is a bad message", action, {U::reply("DO;a:1;")}, -10);
        row("reply without body", action, {U::reply(QByteArray())}, -10);
        row("reply that does not parse", action, {U::reply("HELLO;")}, -10);
        row("error reply carries the unit's code", action, {U::errorReply(204)}, 204);
        row("error reply with code 0 never succeeds", action, {U::errorReply(0, "DO;return:OK;")}, -10);
    }

    void gathering()
    {
        QFETCH(QByteArray, request);
        QFETCH(UnitSimulator::Actions, replies);
        QFETCH(int, code);
        QFETCH(QByteArray, gathered);

        Harness h;
        QVERIFY(h.up());
        UnitSimulator::Actions script;
        for (const UnitSimulator::Action& a : replies)
            script << a << UnitSimulator::delay(10);  // pieces arrive one by one
        h.unit.onRequest(written(command(request.constData())), script);
        const RpcAsyncCall call = h.call(request.constData());
        QCOMPARE(call.errorCode(), 0);
        QVERIFY(h.waitCompleted(1));
        QTest::qWait(50);  // nothing more may arrive
        QCOMPARE(h.completed.size(), 1);
        QCOMPARE(call.errorCode(), code);
        QCOMPARE(call.isSucceeded(), code == 0);
        if (code == 0)
            QCOMPARE(written(call.reply().command()), gathered);
        QCOMPARE(h.errors, code == -10 ? QList<int>{-10} : QList<int>{});
        QCOMPARE(h.link.pendingCallCount(), 0);
    }

    void signalsHeldWhileCallPending()
    {
        LogCapture log;
        Harness h;
        QVERIFY(h.up());
        h.link.setDeferSignals(true);
        h.unit.onRequest("DO;action:x;", {UnitSimulator::signal("EVENT;event_type:first;", 11),
                                          UnitSimulator::raw(unitsim::encodeFrame(12, 1, 0, "DO;action:ping;")),
                                          UnitSimulator::signal("EVENT;event_type:second;", 13),
                                          UnitSimulator::delay(50), UnitSimulator::reply("DO;return:OK;")});
        const RpcAsyncCall call = h.call("DO;action:x;");
        QVERIFY(h.waitCompleted(1));
        QTRY_COMPARE(h.received.size(), 3);
        QCOMPARE(h.order, (QStringList{QStringLiteral("received 1 12"),
                                       QStringLiteral("completed %1").arg(call.id()),
                                       QStringLiteral("received 4 11"), QStringLiteral("received 4 13")}));
        QCOMPARE(log.count(h.prefix("RpcConnection", "parserReady") + ", enqueue message id=11)"), 1);
        QCOMPARE(log.count(h.prefix("RpcConnection", "notifyDeferredSignals") + ", dequeue message id=13)"), 1);

        // Without deferral a signal is delivered at once.
        h.order.clear();
        h.link.setDeferSignals(false);
        h.unit.onRequest("DO;action:y;", {UnitSimulator::signal("EVENT;event_type:third;", 14),
                                          UnitSimulator::delay(50), UnitSimulator::reply("DO;return:OK;")});
        const RpcAsyncCall second = h.call("DO;action:y;");
        QVERIFY(h.waitCompleted(2));
        QCOMPARE(h.order, (QStringList{QStringLiteral("received 4 14"),
                                       QStringLiteral("completed %1").arg(second.id())}));
    }

    void bytesArrivingDuringANestedLoopAreRead_data()
    {
        QTest::addColumn<QString>("receiver");
        QTest::addColumn<QStringList>("order");  // 1: the first call, 2: the one made while waiting
        const QStringList inOrder{"received 4 7", "completed 1", "received 4 8", "completed 2"};
        QTest::newRow("messageReceived") << "received" << inOrder;
        QTest::newRow("messageCompleted") << "completed" << inOrder;
        // The watcher hears of the first call before the connection reports it.
        QTest::newRow("watcher's finished")
            << "finished" << QStringList{"received 4 7", "received 4 8", "completed 2", "completed 1"};
    }

    void bytesArrivingDuringANestedLoopAreRead()
    {
        QFETCH(QString, receiver);
        QFETCH(QStringList, order);
        Harness h;
        QVERIFY(h.up());
        h.unit.onRequest("DO;action:first;", {UnitSimulator::signal("EVENT;event_type:a;", 7),
                                              UnitSimulator::reply("DO;return:OK;")});
        h.unit.onRequest("DO;action:second;", {UnitSimulator::signal("EVENT;event_type:b;", 8),
                                               UnitSimulator::reply("DO;return:OK;")});
        // A receiver that waits in its own event loop for a call of its own,
        // as a blocking caller would: the unit answers at once, so the answer
        // must arrive inside the loop, long before its guard ends it.
        bool nested = false;
        bool answeredInside = false;
        QElapsedTimer waited;
        const auto waitForSecond = [&] {
            if (std::exchange(nested, true))
                return;
            const RpcAsyncCall second = h.call("DO;action:second;");
            QEventLoop loop;
            QTimer::singleShot(2000, &loop, &QEventLoop::quit);
            RpcAsyncCallWatcher watcher(second);
            QObject::connect(&watcher, &RpcAsyncCallWatcher::finished, &loop, &QEventLoop::quit);
            waited.start();
            loop.exec();
            answeredInside = second.isFinished();
        };
        if (receiver == "received")
            QObject::connect(&h.link, &RpcConnection::messageReceived, &h.link, waitForSecond);
        else if (receiver == "completed")
            QObject::connect(&h.link, &RpcConnection::messageCompleted, &h.link, waitForSecond);
        const RpcAsyncCall first = h.call("DO;action:first;");
        RpcAsyncCallWatcher watcher(first);
        if (receiver == "finished")
            QObject::connect(&watcher, &RpcAsyncCallWatcher::finished, &watcher, waitForSecond);
        QVERIFY(h.waitCompleted(2));
        QVERIFY(answeredInside);
        QVERIFY2(waited.elapsed() < 1000, qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(h.order, order);
        QCOMPARE(h.completed.at(0).type(), quint32(RpcMessage::Reply));
        QCOMPARE(h.completed.at(1).type(), quint32(RpcMessage::Reply));
    }

    void maskedAfterQuickLook()
    {
        // Bodies whose keys name no secret skip the item walk; these must
        // still come out as the walk gives them.
        const std::pair<const char*, const char*> cases[] = {
            {"PARAM;SIP_PASSWORD:hush;", "PARAM;SIP_PASSWORD:***;"},
            {"PARAM;name:a\\;b\\\\;Token:t;", "PARAM;name:a\\;b\\\\;Token:***;"},
            {"PARAM;p\\in:1234;x:1;", "PARAM;pin:***;x:1;"},
            {"PARAM;\\\\psk:k;::puk2:9;", "PARAM;\\\\psk:***;::puk2:***;"},
            {"PARAM;x\\:pin:1;a:b\\;pin:1;GET:password;", "PARAM;x\\:pin:1;a:b\\;pin:1;GET:password;"}};
        for (const auto& [body, logged] : cases) {
            std::string scratch;
            QCOMPARE(loggableBody(body, scratch), std::string(logged));
        }
    }

    void logLinesMaskSecrets()
    {
        for (const char* key : {"password_ol", "sip_password2", "passphrase", "remote_access_pwd", "PIN", "puk2", "upw"})
            QVERIFY2(isSecretKey(key), key);
        for (const char* key : {"pin_persistent", "seconds_passed", "username", "type"})
            QVERIFY2(!isSecretKey(key), key);
        // Escapes the parser removes neither leak a secret's tail nor hide its key.
        QCOMPARE(maskSecretValues(std::string("PARAM;sip_password:a\\;b;x:1;")),
                 std::string("PARAM;sip_password:***;x:1;"));
        QVERIFY(maskSecretValues(std::string("PARAM;\\;pin:1234;")).find("1234") == std::string::npos);
        QVERIFY(maskSecretValues(std::string("PARAM;pa\\ssword:1234;")).find("1234") == std::string::npos);
        // Asking for a secret, flags about one and empty values stay readable.
        QCOMPARE(maskSecretValues(std::string("PARAM;pin_persistent:on;GET:password;pin:;")),
                 std::string("PARAM;pin_persistent:on;GET:password;pin:;"));

        LogCapture log;
        Harness h;
        QVERIFY(h.up());
        h.unit.onRequestMatching(QRegularExpression("GET:password_ol"),
                                 {UnitSimulator::reply("PARAM;password_ol:dG9rZW4=;return:OK;")});
        h.unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
        const RpcAsyncCall write = h.call("PARAM;target:db;password_ol:topsecret;");
        const RpcAsyncCall read = h.call("PARAM;target:db;GET:password_ol;", 10);
        QVERIFY(h.waitCompleted(2));
        QVERIFY(h.link.send(RpcMessage::createRequest(command("PARAM;sip_password:hush;"))));
        QVERIFY(h.link.send(RpcMessage::createRequest(command("PARAM;name:say \"hi\" %1;"))));
        QVERIFY(h.unit.waitUntil([&] { return h.unit.received().size() >= 4; }));

        const QString asyncCall = h.prefix("RpcConnection", "asyncCall");
        const QString parserReady = h.prefix("RpcConnection", "parserReady");
        const QString send = h.prefix("RpcConnection", "send");
        const QString header = QStringLiteral(", header=%1/1/0, message=");
        QCOMPARE(log.count(asyncCall + header.arg(write.id()) + "PARAM;password_ol:***;target:db;, timeout=5)"), 1);
        QCOMPARE(log.count(asyncCall + header.arg(read.id()) + "PARAM;target:db;GET:password_ol;, timeout=10)"), 1);
        QCOMPARE(log.count(parserReady + ", message=PARAM;password_ol:***;return:OK;)"), 1);
        QCOMPARE(log.count(parserReady + QStringLiteral(", header=%1/2/0)").arg(read.id())), 1);
        QCOMPARE(log.count(send + ", header=-1/1/0, message=PARAM;sip_password:***;)"), 1);
        // Quotes and placeholders in a body are logged as they are.
        QCOMPARE(log.count(send + ", header=-1/1/0, message=PARAM;name:say \"hi\" %1;)"), 1);
        QCOMPARE(g_unquoted, 0);
        for (const auto& [type, text] : std::as_const(g_log))
            QVERIFY2(!text.contains("topsecret") && !text.contains("dG9rZW4") && !text.contains("hush"), qPrintable(text));
        // The caller still gets the real value.
        QCOMPARE(*read.reply().command().param("password_ol"), std::string("dG9rZW4="));

        h.link.disconnect();
        QCOMPARE(log.count(h.prefix("RpcClientConnection", "disconnect") + ", disconnecting from host)"), 1);
        QVERIFY(log.count(h.prefix("RpcConnection", "cancelPendingCalls") + ")") >= 1);
    }
};

QTEST_GUILESS_MAIN(TransportTest)
#include "tst_transport.moc"
