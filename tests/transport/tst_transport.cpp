// The RPC transport against the simulated unit on loopback.
#include "link/logmask.h"
#include "link/rpcasynccall.h"
#include "link/rpcconnection.h"
#include "link/rpcmessage.h"
#include "link/tcommand.h"
#include "tests/support/unitsimulator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <climits>

Q_DECLARE_METATYPE(UnitSimulator::Actions)

namespace {

struct LogEntry
{
    QtMsgType type;
    QString text;    // the line inside the debug stream's quotes
    bool quoted;     // arrived as a double quote, the line, a double quote and a blank
};
QList<LogEntry> g_log;
QtMessageHandler g_previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    const bool quoted = text.size() >= 3 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1String("\" "));
    g_log.append({type, quoted ? text.mid(1, text.size() - 3) : text, quoted});
}

// Collects the log lines written while it lives.
struct LogCapture
{
    LogCapture()
    {
        g_log.clear();
        g_previousHandler = qInstallMessageHandler(captureMessage);
    }
    ~LogCapture() { qInstallMessageHandler(g_previousHandler); }
    int count(const QString& line) const
    {
        int n = 0;
        for (const LogEntry& e : std::as_const(g_log))
            n += e.text == line ? 1 : 0;
        return n;
    }
    bool any(const QString& part) const
    {
        for (const LogEntry& e : std::as_const(g_log)) {
            if (e.text.contains(part))
                return true;
        }
        return false;
    }
    // Every line of the link in the debug stream's form.
    bool linkLinesQuoted() const
    {
        for (const LogEntry& e : std::as_const(g_log)) {
            if (e.text.startsWith(QLatin1String("Rpc")) && !e.quoted)
                return false;
        }
        return !g_log.isEmpty();
    }
    QtMsgType typeOf(const QString& line) const
    {
        for (const LogEntry& e : std::as_const(g_log)) {
            if (e.text == line)
                return e.type;
        }
        return QtFatalMsg;
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
    qint64 unreadBytes() const { return m_socket.bytesAvailable(); }
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
        if (!unit.isListening() && !unit.listen())
            return false;
        link.connect(QStringLiteral("127.0.0.1"), unit.port());
        return unit.waitUntil([this] {
            return link.state() == RpcConnection::ConnectedState && unit.hasClient();
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

QByteArray le(quint32 v)
{
    char w[4];
    qToLittleEndian<quint32>(v, w);
    return QByteArray(w, 4);
}

} // namespace

class TransportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void frameLayout();
    void frameDecoding();
    void readerStates();
    void callHandles();
    void callKinds();
    void maskedLogBodies();

    void connectStates();
    void refusedCallsUseIds();
    void idWraps();
    void sendWritesFramesAsTheyAre();
    void coalescedAndSplitFrames();
    void receiverDisconnectStopsTheRead();
    void receiverDisconnectAfterNestedLoopStopsTheRead();
    void badMagicReportedOnce();
    void oversizedFrameRefused();
    void timeOut();
    void cancelOnDisconnectInIdOrder();
    void reconnectAfterDrop();
    void reconnectAfterRefusal();
    void dropMidFrameThenCleanReconnect();
    void gathering_data();
    void gathering();
    void unknownType();
    void signalsHeldWhileCallPending();
    void queuedSignalsDroppedWhenLinkFalls();
    void bytesArrivingDuringANestedLoopAreRead();
    void logLinesMaskSecrets();

    void simulatorScript();
    void simulatorProgram();
};

void TransportTest::initTestCase()
{
    // Ten ticks to a reconnection would otherwise take ten seconds.
    RpcConnection::setTickInterval(20);
}

void TransportTest::frameLayout()
{
    const RpcMessage request = RpcMessage::createRequest(7, command("PARAM;target:audio;GET:gain;"));
    const QByteArray body("PARAM;target:audio;GET:gain;");
    const QByteArray frame = RpcMessage::toFrame(request);
    QCOMPARE(frame, QByteArray("ORVARpcM") + le(24 + body.size()) + le(7) + le(1) + le(0) + body);
    // The simulator's own encoder agrees byte for byte.
    QCOMPARE(frame, unitsim::encodeFrame(7, 1, 0, body));

    const QByteArray signal = RpcMessage::toFrame(RpcMessage::createSignal(command("EVENT;event_type:x;")));
    QCOMPARE(signal.mid(12, 4), QByteArray("\xff\xff\xff\xff", 4));
    QCOMPARE(signal.mid(16, 4), le(4));

    const QByteArray error = RpcMessage::toFrame(RpcMessage::createErrorReply(request, 204));
    QCOMPARE(error, unitsim::encodeFrame(7, 3, 204, QByteArray()));

    // An empty command has no body; type 0 and unwritable verbs give nothing.
    QCOMPARE(RpcMessage::toFrame(RpcMessage::createRequest(TCommand())),
             unitsim::encodeFrame(-1, 1, 0, QByteArray()));
    QVERIFY(RpcMessage::toFrame(RpcMessage()).isEmpty());
    QVERIFY(RpcMessage::toFrame(RpcMessage::createRequest(TCommand(9))).isEmpty());

    const RpcMessage reply = RpcMessage::createReply(request, command("PARAM;return:OK;"));
    QCOMPARE(reply.id(), 7);
    QCOMPARE(reply.type(), quint32(RpcMessage::Reply));
}

void TransportTest::frameDecoding()
{
    const QByteArray body("PARAM;a:1;return:OK;");
    const QByteArray good = unitsim::encodeFrame(42, 2, 0, body);
    const RpcMessage m = RpcMessage::fromFrame(good);
    QCOMPARE(m.id(), 42);
    QCOMPARE(m.type(), quint32(2));
    QCOMPARE(written(m.command()), body);

    QCOMPARE(RpcMessage::fromFrame(good.left(23)).type(), quint32(0));
    QCOMPARE(RpcMessage::fromFrame(unitsim::encodeFrame(1, 0, 0, body)).type(), quint32(0));
    QCOMPARE(RpcMessage::fromFrame(unitsim::encodeFrame(1, 5, 0, body)).type(), quint32(0));
    QCOMPARE(RpcMessage::fromFrame(unitsim::encodeHeader(1, 2, 0, 20)).type(), quint32(0));
    QByteArray badMagic = good;
    badMagic[0] = 'X';
    QCOMPARE(RpcMessage::fromFrame(badMagic).type(), quint32(0));
    // Shorter than its own length field: not a frame, and nothing read past the end.
    QCOMPARE(RpcMessage::fromFrame(good.left(good.size() - 1)).type(), quint32(0));

    const RpcMessage headerOnly = RpcMessage::fromFrame(unitsim::encodeFrame(-1, 3, 117, QByteArray()));
    QCOMPARE(headerOnly.id(), -1);
    QCOMPARE(headerOnly.type(), quint32(3));
    QCOMPARE(headerOnly.errorCode(), 117);
    QCOMPARE(headerOnly.command().verb, quint32(TCommand::NoVerb));

    const RpcMessage badBody = RpcMessage::fromFrame(unitsim::encodeFrame(3, 4, 0, "GET;x:1;"));
    QCOMPARE(badBody.type(), quint32(4));
    QCOMPARE(badBody.id(), 3);
    QCOMPARE(badBody.command().verb, quint32(TCommand::NoVerb));
}

void TransportTest::readerStates()
{
    // Without an owner frames and errors go nowhere; the states still hold.
    RpcFrameReader reader;
    reader.init(nullptr);
    const QByteArray frame = unitsim::encodeFrame(1, 4, 0, "EVENT;event_type:a;");
    reader.feed(frame.constData(), quint32(frame.size() - 1));
    QCOMPARE(reader.state, qint32(RpcFrameReader::ReadingBody));
    QCOMPARE(reader.filled, quint32(frame.size() - 1));
    reader.feed(frame.constData() + frame.size() - 1, 1);
    // An idle reader holds no memory.
    QCOMPARE(reader.state, qint32(RpcFrameReader::Idle));
    QVERIFY(!reader.buffer);

    const QByteArray bad(24, 'x');
    reader.feed(bad.constData(), quint32(bad.size()));
    QCOMPARE(reader.state, qint32(RpcFrameReader::BadFrame));
    QVERIFY(!reader.buffer);
    reader.feed(frame.constData(), quint32(frame.size()));
    QCOMPARE(reader.state, qint32(RpcFrameReader::BadFrame));

    reader.reset(RpcFrameReader::Idle, true);
    reader.feed(frame.constData(), 10);
    QCOMPARE(reader.state, qint32(RpcFrameReader::ReadingHeader));
    reader.clear();
    QCOMPARE(reader.state, qint32(RpcFrameReader::Idle));
    QVERIFY(!reader.buffer);
    QCOMPARE(reader.filled, quint32(0));
}

void TransportTest::callHandles()
{
    RpcAsyncCall empty;
    QCOMPARE(empty.errorCode(), -1);
    QCOMPARE(empty.id(), -1);
    QCOMPARE(empty.toString(), QStringLiteral("errorCode -1"));
    QVERIFY(empty.isFinished());
    QVERIFY(empty.isFailed());
    QVERIFY(!empty.isSucceeded());
    QCOMPARE(empty.reply().type(), quint32(RpcMessage::ErrorReply));
    QCOMPARE(empty.reply().errorCode(), -1);

    const RpcAsyncCall failed = RpcAsyncCall::failedCall(-5);
    QVERIFY(failed.isFailed());
    QCOMPARE(failed.reply().errorCode(), -5);
    const RpcAsyncCall done = RpcAsyncCall::completedCall(command("DO;return:OK;"));
    QVERIFY(done.isSucceeded());
    QCOMPARE(written(done.reply().command()), QByteArray("DO;return:OK;"));

    // The last handle takes the watcher helper with it.
    QPointer<RpcAsyncCallWatcherHelper> helper;
    {
        RpcAsyncCall call = RpcAsyncCall::create(5);
        RpcAsyncCall copy = call;
        copy = copy;
        {
            RpcAsyncCallWatcher watcher(call);
            helper = call.data()->watcherHelper;
            QVERIFY(helper);
            QCOMPARE(watcher.id(), 5);
            QVERIFY(!watcher.isFinished());
            QCOMPARE(watcher.reply().errorCode(), -1);  // still pending
        }
        QVERIFY(helper);
    }
    QVERIFY(!helper);

    RpcAsyncCallWatcher orphan{RpcAsyncCall()};
    QSignalSpy never(&orphan, &RpcAsyncCallWatcher::finished);
    QVERIFY(orphan.isFailed());
    QCOMPARE(never.count(), 0);
}

void TransportTest::callKinds()
{
    const auto kind = [](const char* text) {
        RpcAsyncCall call = RpcAsyncCall::create(1);
        call.data()->setCallKind(command(text));
        return int(call.data()->kind);
    };
    QCOMPARE(kind("DO;action:reboot;"), 1);
    QCOMPARE(kind("PARAM;target:network;LIST:names;GET:x;"), 2);
    QCOMPARE(kind("PARAM;target:audio;GET:gain;"), 3);
    QCOMPARE(kind("PARAM;"), 3);
    QCOMPARE(kind("PARAM;type:x;"), 4);
    QCOMPARE(kind("PARAM;target:audio;gain:3;"), 0);
    QCOMPARE(kind("PARAM;cat:ui;type:x;"), 0);
    QCOMPARE(kind("INFO;info_type:x;"), 0);
}

void TransportTest::maskedLogBodies()
{
    for (const char* key : {"password", "password_ol", "sip_password2", "passphrase", "remote_access_pwd",
                            "pin", "puk2", "upw", "wifi_passphrase"})
        QVERIFY2(isSecretKey(key), key);
    for (const char* key : {"pin_persistent", "target", "seconds_passed", "username", "GET", "type"})
        QVERIFY2(!isSecretKey(key), key);

    QCOMPARE(maskSecretValues(std::string("PARAM;password_ol:abc;target:db;")),
             std::string("PARAM;password_ol:***;target:db;"));
    // An escaped ";" inside the secret does not leak its tail.
    QCOMPARE(maskSecretValues(std::string("PARAM;sip_password:a\\;b;x:1;")),
             std::string("PARAM;sip_password:***;x:1;"));
    // Escapes the parser skips at the start of an item do not hide the key.
    QVERIFY(maskSecretValues(std::string("PARAM;\\;pin:1234;")).find("1234") == std::string::npos);
    QVERIFY(maskSecretValues(std::string("PARAM;pass\\word:1234;")).find("1234") == std::string::npos);
    // Asking for a secret, flags about one and empty values stay readable.
    QCOMPARE(maskSecretValues(std::string("PARAM;pin_persistent:on;GET:password;pin:;")),
             std::string("PARAM;pin_persistent:on;GET:password;pin:;"));
    QCOMPARE(maskSecretValues(QStringLiteral("PARAM;name:\u00e9;puk:1;")),
             QStringLiteral("PARAM;name:\u00e9;puk:***;"));
}

void TransportTest::connectStates()
{
    LogCapture log;
    Harness h;
    QVERIFY(h.up());
    QCOMPARE(h.states, (QList<int>{2, 0, 3}));
    QCOMPARE(h.link.retryCountdown(), -1);
    QVERIFY(h.link.isEnabled());
    QCOMPARE(log.count(h.prefix("RpcClientConnection", "connect") + ", connecting to host)"), 1);
    QCOMPARE(log.count(h.prefix("RpcClientConnection", "socketChanged")
                       + ", will retry connecting to host in 10 seconds)"),
             1);
    QCOMPARE(log.count(h.prefix("RpcConnection", "notifyStateChanged") + ", state=3)"), 1);
    QVERIFY(log.linkLinesQuoted());

    // A second connect while enabled does nothing.
    h.link.connect(QStringLiteral("127.0.0.1"), 1);
    QCOMPARE(h.link.port(), h.unit.port());

    // Connecting again at once works, even while the socket is still
    // closing with bytes to write.
    QVERIFY(h.link.send(RpcMessage::createRequest(command("DO;action:bye;"))));
    h.link.disconnect();
    QVERIFY(!h.link.isEnabled());
    h.link.connect(QStringLiteral("127.0.0.1"), h.unit.port());
    QVERIFY(h.unit.waitForConnections(2));
    QTRY_COMPARE(h.link.state(), RpcConnection::ConnectedState);
    // ... at the first attempt, not by a later retry.
    QCOMPARE(log.count(h.prefix("RpcClientConnection", "timerEvent") + ", connecting to host)"), 0);
}

void TransportTest::refusedCallsUseIds()
{
    Harness h;
    QVERIFY(h.unit.listen());
    // Not connected: refused, yet the id is used up.
    RpcAsyncCall refused = h.call("PARAM;target:general;GET:device;");
    QCOMPARE(refused.errorCode(), -3);
    QCOMPARE(refused.id(), 1);
    QVERIFY(!refused.isFinished());
    QCOMPARE(refused.reply().type(), quint32(RpcMessage::ErrorReply));
    QCOMPARE(refused.reply().errorCode(), -1);

    h.link.connect(QStringLiteral("127.0.0.1"), h.unit.port());
    QCOMPARE(h.link.state(), RpcConnection::ConnectingState);
    QCOMPARE(h.call("PARAM;").errorCode(), -3);
    QTRY_COMPARE(h.link.state(), RpcConnection::ConnectedState);

    const RpcAsyncCall notRequest =
        h.link.asyncCall(RpcMessage::createSignal(command("EVENT;event_type:x;")), 5);
    QCOMPARE(notRequest.errorCode(), -2);
    QCOMPARE(h.link.asyncCall(RpcMessage::createRequest(TCommand()), 5).errorCode(), -7);

    h.unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
    const RpcAsyncCall accepted = h.call("PARAM;target:general;GET:device;");
    QCOMPARE(accepted.errorCode(), 0);
    QCOMPARE(accepted.id(), 5);
    QVERIFY(h.waitCompleted(1));
    QCOMPARE(h.unit.requests().size(), 1);
    QCOMPARE(h.unit.requests().first().id, 5);
    // Refused calls are never reported.
    QCOMPARE(h.completed.size(), 1);
    QCOMPARE(h.completed.first().id(), 5);
}

void TransportTest::idWraps()
{
    Harness h;
    QVERIFY(h.up());
    h.unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
    h.link.setLastId(INT_MAX - 1);
    QCOMPARE(h.call("PARAM;").id(), INT_MAX);
    QCOMPARE(h.call("PARAM;").id(), 0);
    QCOMPARE(h.call("PARAM;").id(), 1);
    QVERIFY(h.waitCompleted(3));
    QCOMPARE(h.unit.requests().at(1).id, 0);
    for (const RpcMessage& m : std::as_const(h.completed))
        QCOMPARE(m.type(), quint32(RpcMessage::Reply));
}

void TransportTest::sendWritesFramesAsTheyAre()
{
    Harness h;
    QVERIFY(!h.link.send(RpcMessage::createRequest(command("DO;"))));  // not connected
    QVERIFY(h.up());
    QVERIFY(!h.link.send(RpcMessage()));
    RpcMessage reply = RpcMessage::createReply(RpcMessage::createRequest(77, TCommand()), TCommand());
    QVERIFY(h.link.send(reply));
    QVERIFY(h.link.send(RpcMessage::createRequest(command("DO;action:x;"))));
    QVERIFY(h.unit.waitForFrames(2));
    const SimFrame first = h.unit.received().at(0);
    QCOMPARE(first.length, quint32(24));
    QCOMPARE(first.id, 77);
    QCOMPARE(first.type, quint32(2));
    QVERIFY(first.body.isEmpty());
    QCOMPARE(h.unit.received().at(1).id, -1);
    QCOMPARE(h.unit.received().at(1).body, QByteArray("DO;action:x;"));
    QCOMPARE(h.link.pendingCallCount(), 0);

    // A call's frame carries the connection's id and errorCode 0, whatever
    // the request held.
    RpcMessage request = RpcMessage::createRequest(99, command("DO;action:y;"));
    request.setErrorCode(7);
    const RpcAsyncCall call = h.link.asyncCall(request, 5);
    QCOMPARE(call.errorCode(), 0);
    QVERIFY(h.unit.waitForFrames(3));
    const SimFrame third = h.unit.received().at(2);
    QCOMPARE(third.id, call.id());
    QCOMPARE(third.type, quint32(1));
    QCOMPARE(third.errorCode, 0);
    QCOMPARE(third.length, quint32(24 + third.body.size()));
}

void TransportTest::coalescedAndSplitFrames()
{
    Harness h;
    QVERIFY(h.up());
    h.unit.sendRaw(unitsim::encodeFrame(1, 4, 0, "EVENT;event_type:a;")
                   + unitsim::encodeFrame(2, 1, 0, "DO;action:b;"));
    QTRY_COMPARE(h.received.size(), 2);
    QCOMPARE(h.received.at(0).id(), 1);
    QCOMPARE(written(h.received.at(0).command()), QByteArray("EVENT;event_type:a;"));
    QCOMPARE(h.received.at(1).type(), quint32(RpcMessage::Request));

    // One byte at a time: delivered once, whole.
    const QByteArray frame = unitsim::encodeFrame(3, 4, 0, "INFO;info_type:battery_level;level:80;");
    UnitSimulator::Actions trickle;
    for (char c : frame) {
        trickle.append(UnitSimulator::raw(QByteArray(1, c)));
        trickle.append(UnitSimulator::delay(1));
    }
    h.unit.run(trickle);
    QTRY_COMPARE(h.received.size(), 3);
    QCOMPARE(written(h.received.at(2).command()), QByteArray("INFO;info_type:battery_level;level:80;"));

    // A length field of 10 takes up the 24 header bytes; the next frame
    // starts right after them. A signal without body is a bad message.
    h.unit.sendRaw(unitsim::encodeHeader(4, 4, 0, 10) + unitsim::encodeFrame(5, 4, 0, "EVENT;event_type:c;"));
    QTRY_COMPARE(h.received.size(), 4);
    QCOMPARE(h.received.at(3).id(), 5);
    QCOMPARE(h.errors, (QList<int>{-10}));
}

void TransportTest::receiverDisconnectStopsTheRead()
{
    Harness h;
    QVERIFY(h.up());
    // The second frame arrives in the same read, but belongs to a link the
    // receiver of the first has taken down.
    QObject::connect(&h.link, &RpcConnection::messageReceived, &h.link,
                     [&](const RpcMessage&) { h.link.disconnect(); });
    h.unit.sendRaw(unitsim::encodeFrame(1, 4, 0, "EVENT;event_type:a;")
                   + unitsim::encodeFrame(2, 4, 0, "EVENT;event_type:b;"));
    QTRY_COMPARE(h.received.size(), 1);
    QVERIFY(h.unit.waitForDisconnect());
    QCOMPARE(h.received.size(), 1);
    QCOMPARE(h.received.first().id(), 1);
    QVERIFY(h.errors.isEmpty());
}

void TransportTest::receiverDisconnectAfterNestedLoopStopsTheRead()
{
    Harness h;
    QVERIFY(h.up());
    // The receiver waits in its own loop until the next frame lies unread
    // in the socket, then takes the link down: that frame is not delivered.
    bool first = true;
    QObject::connect(&h.link, &RpcConnection::messageReceived, &h.link, [&](const RpcMessage&) {
        if (!first)
            return;
        first = false;
        h.unit.pushSignal("EVENT;event_type:stale;", 2);
        h.unit.waitUntil([&] { return h.link.unreadBytes() > 0; });
        h.link.disconnect();
    });
    h.unit.pushSignal("EVENT;event_type:a;", 1);
    QTRY_COMPARE(h.received.size(), 1);
    QVERIFY(h.unit.waitForDisconnect());
    QCOMPARE(h.received.size(), 1);

    // The next connection starts clean.
    h.link.connect(QStringLiteral("127.0.0.1"), h.unit.port());
    QVERIFY(h.unit.waitForConnections(2));
    QTRY_COMPARE(h.link.state(), RpcConnection::ConnectedState);
    QVERIFY(h.unit.waitForClient());
    h.unit.pushSignal("EVENT;event_type:new;", 3);
    QTRY_COMPARE(h.received.size(), 2);
    QCOMPARE(h.received.at(1).id(), 3);
    QVERIFY(h.errors.isEmpty());
}

void TransportTest::badMagicReportedOnce()
{
    Harness h;
    QVERIFY(h.up());
    h.unit.sendRaw(QByteArray(30, 'x'));
    QTRY_COMPARE(h.errors, (QList<int>{-8}));
    h.unit.sendRaw(QByteArray(60, 'y') + unitsim::encodeFrame(1, 4, 0, "EVENT;event_type:a;"));
    h.unit.sendRaw(unitsim::encodeFrame(2, 4, 0, "EVENT;event_type:b;"));
    // Let a round trip pass: the reader stays stopped and reports nothing more.
    h.unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
    QCOMPARE(h.call("PARAM;", 1).errorCode(), 0);
    QVERIFY(h.waitCompleted(1));
    QCOMPARE(h.completed.first().errorCode(), -5);
    QCOMPARE(h.errors, (QList<int>{-8}));
    QVERIFY(h.received.isEmpty());

    // The reconnection after a drop starts a clean reader.
    h.unit.dropClient();
    QVERIFY(h.unit.waitForConnections(2));
    QTRY_COMPARE(h.link.state(), RpcConnection::ConnectedState);
    h.unit.pushSignal("EVENT;event_type:after;");
    QTRY_COMPARE(h.received.size(), 1);
    QCOMPARE(written(h.received.first().command()), QByteArray("EVENT;event_type:after;"));
}

void TransportTest::oversizedFrameRefused()
{
    Harness h;
    QVERIFY(h.up());
    h.unit.sendRaw(unitsim::encodeHeader(1, 4, 0, RpcMessage::MaxFrameLength + 1));
    QTRY_COMPARE(h.errors, (QList<int>{-8}));
    h.unit.pushSignal("EVENT;event_type:a;");
    h.unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
    h.call("PARAM;", 1);
    QVERIFY(h.waitCompleted(1));
    QVERIFY(h.received.isEmpty());
    QCOMPARE(h.errors, (QList<int>{-8}));
}

void TransportTest::timeOut()
{
    LogCapture log;
    Harness h;
    QVERIFY(h.up());
    QElapsedTimer sent;
    sent.start();
    const RpcAsyncCall call = h.call("PARAM;target:general;GET:device;", 1);
    QCOMPARE(call.errorCode(), 0);
    RpcAsyncCallWatcher watcher(call);
    QSignalSpy finished(&watcher, &RpcAsyncCallWatcher::finished);
    QObject::connect(&watcher, &RpcAsyncCallWatcher::finished, &watcher,
                     [&](RpcAsyncCallWatcher* w) { h.order.append(QStringLiteral("finished %1").arg(w->id())); });
    QVERIFY(h.waitCompleted(1));
    // Never before its time.
    QVERIFY(sent.elapsed() >= 1000);
    QCOMPARE(finished.count(), 1);
    // The watcher hears first, then the connection reports.
    QCOMPARE(h.order, (QStringList{QStringLiteral("finished %1").arg(call.id()),
                                   QStringLiteral("completed %1").arg(call.id())}));
    QCOMPARE(watcher.errorCode(), -5);
    QCOMPARE(h.completed.first().type(), quint32(RpcMessage::ErrorReply));
    QCOMPARE(h.completed.first().errorCode(), -5);
    QCOMPARE(log.count(h.prefix("RpcConnection", "timerEvent")
                       + QStringLiteral(", time out on message %1)").arg(call.id())),
             1);

    // Late replies find nothing pending and are dropped silently, error
    // replies and bodiless ones too.
    h.unit.sendFrame(call.id(), 2, 0, "PARAM;device:Velto;return:OK;");
    h.unit.sendFrame(call.id(), 3, 204, QByteArray());
    h.unit.sendFrame(call.id(), 2, 0, QByteArray());
    h.unit.pushSignal("EVENT;event_type:marker;");
    QTRY_COMPARE(h.received.size(), 1);
    QCOMPARE(h.completed.size(), 1);
    QVERIFY(h.errors.isEmpty());

    // A call without time-out waits until answered.
    h.unit.onRequest("DO;action:slow;", {UnitSimulator::delay(1200), UnitSimulator::reply("DO;return:OK;")});
    QCOMPARE(h.call("DO;action:slow;", 0).errorCode(), 0);
    QVERIFY(h.waitCompleted(2));
    QCOMPARE(h.completed.at(1).type(), quint32(RpcMessage::Reply));
}

void TransportTest::cancelOnDisconnectInIdOrder()
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

void TransportTest::reconnectAfterDrop()
{
    LogCapture log;
    Harness h;
    QVERIFY(h.up());
    QCOMPARE(h.call("PARAM;").errorCode(), 0);
    QVERIFY(h.unit.waitForRequests(1));
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
    });
    h.unit.dropClient();
    QVERIFY(h.waitCompleted(1));
    QCOMPARE(h.completed.first().errorCode(), -6);
    QVERIFY(h.unit.waitForConnections(2));
    QTRY_COMPARE(h.link.state(), RpcConnection::ConnectedState);
    QVERIFY(h.states.contains(0));
    QCOMPARE(h.states.last(), 3);
    QCOMPARE(log.count(h.prefix("RpcClientConnection", "timerEvent") + ", connecting to host)"), 1);
    QCOMPARE(ticksToAttempt, 10);
    QCOMPARE(h.link.retryCountdown(), -1);

    h.unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
    QCOMPARE(h.call("PARAM;").errorCode(), 0);
    QVERIFY(h.waitCompleted(2));
    QCOMPARE(h.completed.at(1).type(), quint32(RpcMessage::Reply));
}

void TransportTest::reconnectAfterRefusal()
{
    LogCapture log;
    Harness h;
    QVERIFY(h.unit.listen());
    const quint16 port = h.unit.port();
    h.unit.close();
    h.link.connect(QStringLiteral("127.0.0.1"), port);
    QTRY_VERIFY(!h.errors.isEmpty());
    QCOMPARE(h.errors.first(), -4);
    QTRY_COMPARE(h.link.state(), RpcConnection::UnconnectedState);
    QCOMPARE(h.states.mid(0, 2), (QList<int>{2, 0}));
    QVERIFY(h.link.retryCountdown() > 0);
    QVERIFY(log.any(h.prefix("RpcConnection", "socketError") + ", error="));
    QCOMPARE(log.typeOf(h.prefix("RpcConnection", "notifyErrorOccurred") + ", error=-4)"), QtCriticalMsg);
    QVERIFY(log.linkLinesQuoted());

    QVERIFY(h.unit.listen(QHostAddress::LocalHost, port));
    QVERIFY(h.unit.waitForClient());
    QTRY_COMPARE(h.link.state(), RpcConnection::ConnectedState);
    QVERIFY(log.count(h.prefix("RpcClientConnection", "timerEvent") + ", connecting to host)") >= 1);
}

void TransportTest::dropMidFrameThenCleanReconnect()
{
    Harness h;
    QVERIFY(h.up());
    h.unit.setDefaultActions({UnitSimulator::reply("PARAM;name:second;return:OK;")});
    h.unit.onRequest("PARAM;target:general;GET:name;",
                     {UnitSimulator::dropMidFrame("PARAM;name:first;return:OK;", 30)}, 1);
    QCOMPARE(h.call("PARAM;target:general;GET:name;").errorCode(), 0);
    QVERIFY(h.waitCompleted(1));
    QCOMPARE(h.completed.first().errorCode(), -6);

    QVERIFY(h.unit.waitForConnections(2));
    QTRY_COMPARE(h.link.state(), RpcConnection::ConnectedState);
    QCOMPARE(h.call("PARAM;target:general;GET:name;").errorCode(), 0);
    QVERIFY(h.waitCompleted(2));
    QCOMPARE(h.completed.at(1).type(), quint32(RpcMessage::Reply));
    QCOMPARE(written(h.completed.at(1).command()), QByteArray("PARAM;name:second;return:OK;"));
    // The peer closing is a socket error; the cut frame is no frame error.
    QVERIFY(!h.errors.isEmpty());
    for (int e : std::as_const(h.errors))
        QCOMPARE(e, -4);
}

void TransportTest::gathering_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<UnitSimulator::Actions>("replies");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("gathered");
    QTest::addColumn<int>("linkError");
    using U = UnitSimulator;

    QTest::newRow("list pieces joined by comma")
        << QByteArray("PARAM;target:network;LIST:names;")
        << U::Actions{U::reply("PARAM;names:a;return:PROGRESS;"), U::reply("PARAM;names:b;return:PROGRESS;"),
                      U::reply("PARAM;names:c;return:OK;")}
        << 0 << QByteArray("PARAM;names:a,b,c;return:OK;") << 0;
    QTest::newRow("list pieces joined by group separator")
        << QByteArray("PARAM;target:network;LIST:names;")
        << U::Actions{U::reply("PARAM;names:a;return:PROGRESS;returnFmt:EXT;"),
                      U::reply("PARAM;names:b;return:PROGRESS;returnFmt:EXT;"),
                      U::reply("PARAM;names:c;return:OK;returnFmt:EXT;")}
        << 0 << QByteArray("PARAM;names:a\x1d" "b\x1d" "c;return:OK;returnFmt:EXT;") << 0;
    QTest::newRow("first value wins outside lists")
        << QByteArray("PARAM;target:audio;GET:gain;")
        << U::Actions{U::reply("PARAM;gain:1;return:PROGRESS;"), U::reply("PARAM;gain:2;level:3;return:OK;")}
        << 0 << QByteArray("PARAM;gain:1;level:3;return:OK;") << 0;
    QTest::newRow("parameters not set read as empty")
        << QByteArray("PARAM;target:audio;GET:a;GET:b;")
        << U::Actions{U::reply("DO;a:101-parameter not set;b:101-parameter not set;return:ERROR;")}
        << 0 << QByteArray("DO;a:;b:;return:OK;") << 0;
    QTest::newRow("a refused value makes an error that still succeeds")
        << QByteArray("PARAM;target:audio;a:1;c:9;")
        << U::Actions{U::reply("PARAM;a:101-parameter not set;c:105-invalid value;return:ERROR;")}
        << 0 << QByteArray("PARAM;a:;c:105-invalid value;return:ERROR;") << 0;
    QTest::newRow("bare error stays a refusal")
        << QByteArray("DO;action:reboot;") << U::Actions{U::reply("DO;return:ERROR;")}
        << 0 << QByteArray("DO;return:ERROR;") << 0;
    QTest::newRow("error after a piece still counts")
        << QByteArray("PARAM;target:audio;GET:gain;")
        << U::Actions{U::reply("PARAM;gain:1;return:PROGRESS;"), U::reply("PARAM;gain:105-invalid value;return:ERROR;")}
        << 0 << QByteArray("PARAM;gain:1;return:ERROR;") << 0;
    QTest::newRow("NOK is a bad message")
        << QByteArray("DO;action:x;") << U::Actions{U::reply("DO;return:NOK;")}
        << -10 << QByteArray() << -10;
    QTest::newRow("missing return is a bad message")
        << QByteArray("DO;action:x;") << U::Actions{U::reply("DO;a:1;")}
        << -10 << QByteArray() << -10;
    QTest::newRow("reply without body")
        << QByteArray("DO;action:x;") << U::Actions{U::reply(QByteArray())}
        << -10 << QByteArray() << -10;
    QTest::newRow("reply that does not parse")
        << QByteArray("DO;action:x;") << U::Actions{U::reply("HELLO;")}
        << -10 << QByteArray() << -10;
    QTest::newRow("error reply carries the unit's code")
        << QByteArray("DO;action:x;") << U::Actions{U::errorReply(204)}
        << 204 << QByteArray() << 0;
    QTest::newRow("error reply with code 0 never succeeds")
        << QByteArray("DO;action:x;") << U::Actions{U::errorReply(0, "DO;return:OK;")}
        << -10 << QByteArray() << -10;
}

void TransportTest::gathering()
{
    QFETCH(QByteArray, request);
    QFETCH(UnitSimulator::Actions, replies);
    QFETCH(int, code);
    QFETCH(QByteArray, gathered);
    QFETCH(int, linkError);

    Harness h;
    QVERIFY(h.up());
    UnitSimulator::Actions script;
    for (const UnitSimulator::Action& a : replies) {
        script.append(a);
        script.append(UnitSimulator::delay(10));  // pieces arrive one by one
    }
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
    QCOMPARE(h.errors, linkError ? QList<int>{linkError} : QList<int>{});
    QCOMPARE(h.link.pendingCallCount(), 0);
}

void TransportTest::unknownType()
{
    Harness h;
    QVERIFY(h.up());
    h.unit.sendFrame(9, 7, 0, "EVENT;event_type:x;");
    QTRY_COMPARE(h.errors, (QList<int>{-9}));
    h.unit.pushSignal("EVENT;event_type:next;");
    QTRY_COMPARE(h.received.size(), 1);
    QCOMPARE(h.received.first().id(), -1);
}

void TransportTest::signalsHeldWhileCallPending()
{
    LogCapture log;
    Harness h;
    QVERIFY(h.up());
    h.link.setDeferSignals(true);
    h.unit.onRequest("DO;action:x;", {UnitSimulator::signal("EVENT;event_type:first;", 11),
                                      UnitSimulator::request("DO;action:ping;", 12),
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

void TransportTest::queuedSignalsDroppedWhenLinkFalls()
{
    Harness h;
    QVERIFY(h.up());
    h.link.setDeferSignals(true);
    h.unit.onRequest("DO;action:x;", {UnitSimulator::signal("EVENT;event_type:lost;"), UnitSimulator::delay(50),
                                      UnitSimulator::drop()});
    QCOMPARE(h.call("DO;action:x;").errorCode(), 0);
    QVERIFY(h.waitCompleted(1));
    QCOMPARE(h.completed.first().errorCode(), -6);
    QVERIFY(h.unit.waitForConnections(2));
    QTRY_COMPARE(h.link.state(), RpcConnection::ConnectedState);
    QVERIFY(h.received.isEmpty());
}

void TransportTest::bytesArrivingDuringANestedLoopAreRead()
{
    Harness h;
    QVERIFY(h.up());
    h.unit.onRequest("DO;action:first;", {UnitSimulator::reply("DO;return:OK;")});
    h.unit.onRequest("DO;action:second;", {UnitSimulator::reply("DO;return:OK;")});
    // A receiver that waits in its own event loop, as a blocking caller
    // would: the second reply arrives while the first frame is being handled.
    bool nested = false;
    QObject::connect(&h.link, &RpcConnection::messageCompleted, &h.link, [&](const RpcMessage&) {
        if (nested)
            return;
        nested = true;
        h.call("DO;action:second;");
        h.unit.waitForRequests(2);
        QEventLoop loop;
        QTimer::singleShot(200, &loop, &QEventLoop::quit);
        loop.exec();
    });
    h.call("DO;action:first;");
    QVERIFY(h.waitCompleted(2, 3000));
    QCOMPARE(h.completed.at(1).type(), quint32(RpcMessage::Reply));
}

void TransportTest::logLinesMaskSecrets()
{
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
    QVERIFY(h.link.send(RpcMessage::createRequest(command("PARAM;name:say \"hi\";"))));
    QVERIFY(h.unit.waitForFrames(4));

    QCOMPARE(log.count(h.prefix("RpcConnection", "asyncCall")
                       + QStringLiteral(", header=%1/1/0, message=PARAM;password_ol:***;target:db;, timeout=5)")
                             .arg(write.id())),
             1);
    QCOMPARE(log.count(h.prefix("RpcConnection", "asyncCall")
                       + QStringLiteral(", header=%1/1/0, message=PARAM;target:db;GET:password_ol;, timeout=10)")
                             .arg(read.id())),
             1);
    QCOMPARE(log.count(h.prefix("RpcConnection", "parserReady")
                       + ", message=PARAM;password_ol:***;return:OK;)"),
             1);
    QCOMPARE(log.count(h.prefix("RpcConnection", "parserReady") + QStringLiteral(", header=%1/2/0)").arg(read.id())),
             1);
    QCOMPARE(log.count(h.prefix("RpcConnection", "send") + ", header=-1/1/0, message=PARAM;sip_password:***;)"), 1);
    // Quotes in a body are logged as they are, not escaped.
    QCOMPARE(log.count(h.prefix("RpcConnection", "send") + ", header=-1/1/0, message=PARAM;name:say \"hi\";)"), 1);
    QVERIFY(log.linkLinesQuoted());
    for (const LogEntry& e : std::as_const(g_log)) {
        QVERIFY2(!e.text.contains("topsecret") && !e.text.contains("dG9rZW4") && !e.text.contains("hush"),
                 qPrintable(e.text));
    }
    // The caller still gets the real value.
    QCOMPARE(*read.reply().command().param("password_ol"), std::string("dG9rZW4="));

    h.link.disconnect();
    QCOMPARE(log.count(h.prefix("RpcClientConnection", "disconnect") + ", disconnecting from host)"), 1);
    QVERIFY(log.count(h.prefix("RpcConnection", "cancelPendingCalls") + ")") >= 1);
}

void TransportTest::simulatorScript()
{
    UnitSimulator unit;
    QString why;
    QVERIFY(!unit.loadScript("on PARAM;\n  bogus\n", &why));
    QCOMPARE(why, QStringLiteral("line 2: bad action \"bogus\""));
    QVERIFY(!unit.loadScript("  reply PARAM;return:OK;\n", &why));
    QVERIFY(why.startsWith("line 1:"));
    QVERIFY(!unit.loadScript("match (\n", &why));
    QVERIFY(!unit.loadScript("every 0\n", &why));

    // Earlier blocks win; a block without actions stays silent.
    Harness h;
    QVERIFY2(h.unit.loadScript("# unit\n"
                              "on DO;action:quiet;\n"
                              "match ^DO;\n"
                              "  reply DO;return:PROGRESS;\n"
                              "  delay 10\n"
                              "  reply DO;return:OK;\n"
                              "match .*\n"
                              "  error 204\n"
                              "connect\n"
                              "  signal EVENT;event_type:hello;\n",
                              &why),
             qPrintable(why));
    QVERIFY(h.up());
    QTRY_COMPARE(h.received.size(), 1);
    const RpcAsyncCall done = h.call("DO;action:reboot;");
    const RpcAsyncCall refused = h.call("PARAM;target:x;");
    const RpcAsyncCall quiet = h.call("DO;action:quiet;", 1);
    QVERIFY(h.waitCompleted(3));
    QCOMPARE(written(done.reply().command()), QByteArray("DO;return:OK;"));
    QCOMPARE(refused.errorCode(), 204);
    QCOMPARE(quiet.errorCode(), -5);

    QVERIFY(h.unit.loadScript("every 20\n  signal EVENT;event_type:tick;\n"));
    QTRY_VERIFY(h.received.size() >= 3);
    QCOMPARE(written(h.received.last().command()), QByteArray("EVENT;event_type:tick;"));
}

void TransportTest::simulatorProgram()
{
    const QString program = qEnvironmentVariable("KANDELO_BINARY_DIR") + "/tests/support/unitsim-server";
    if (!QFileInfo::exists(program))
        QSKIP("unitsim-server not built");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile script(dir.filePath("unit.txt"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("on PARAM;target:general;GET:device;\n  reply PARAM;device:Velto;return:OK;\n");
    script.close();

    QProcess server;
    server.start(program, {"--script", script.fileName(), "--address", "127.0.0.1", "--port", "0"});
    QVERIFY(server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), 10000);
    const QString line = QString::fromLatin1(server.readLine()).trimmed();
    QVERIFY2(line.startsWith("listening on 127.0.0.1:"), qPrintable(line));
    const quint16 port = quint16(line.section(':', -1).toUInt());

    TestConnection link;
    QList<RpcMessage> completed;
    QObject::connect(&link, &RpcConnection::messageCompleted, &link,
                     [&](const RpcMessage& m) { completed.append(m); });
    link.connect("127.0.0.1", port);
    QTRY_COMPARE(link.state(), RpcConnection::ConnectedState);
    const RpcAsyncCall call = link.asyncCall(RpcMessage::createRequest(command("PARAM;target:general;GET:device;")), 5);
    QTRY_COMPARE(completed.size(), 1);
    QCOMPARE(*call.reply().command().param("device"), std::string("Velto"));
    link.disconnect();

    server.kill();
    server.waitForFinished();

    QProcess bad;
    bad.start(program, {"--script", dir.filePath("missing.txt")});
    QVERIFY(bad.waitForFinished());
    QCOMPARE(bad.exitCode(), 2);
}

QTEST_GUILESS_MAIN(TransportTest)
#include "tst_transport.moc"
