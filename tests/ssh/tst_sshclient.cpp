#include "app/sshclient.h"
#include "tests/sshfixture/sshdfixture.h"
#include "tests/support/testrows.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include <sys/socket.h>

namespace {

constexpr int stateTimeout = 30000;
constexpr int dataTimeout = 180000;
// The tunnel's own time-out, in seconds, where a test waits for it to run
// out: short, yet long enough for a login on a busy machine, which the same
// time-out bounds.
constexpr int shortTunnelTimeout = 5;

// Every test listens on its own loopback address so that parallel runs and
// sockets lingering from an earlier test never meet. The main window's tests
// use 127.0.0.<unit id> with the same port, so these stay out of that range;
// the third part is drawn once per run, for runs from other build trees.
QHostAddress testAddress(int id)
{
    static const int net = int(QRandomGenerator::global()->bounded(1, 100));
    return QHostAddress(QStringLiteral("127.0.%1.%2").arg(net).arg(id));
}

QByteArray payload(qsizetype size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
    return data;
}

// Reads from socket until want bytes have arrived or the peer closed; keeps
// the event loop running for the echo peer, which lives in this thread.
QByteArray readAtLeast(QTcpSocket &socket, qsizetype want)
{
    QByteArray data;
    (void)QTest::qWaitFor(
        [&] {
            data += socket.readAll();
            return data.size() >= want
                || (socket.state() != QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0);
        },
        dataTimeout);
    return data + socket.readAll();
}

bool connectClient(QTcpSocket &socket, int id)
{
    socket.connectToHost(testAddress(id), 7001);
    return socket.waitForConnected(stateTimeout);
}

// A local client the tunnel turns away, or nothing listening at all.
bool turnedAway(int id)
{
    QTcpSocket socket;
    connectClient(socket, id);
    return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, stateTimeout);
}

QStringList reasons(const QStringList &log)
{
    return log.filter(QRegularExpression(QStringLiteral("^(startSession|openChannel)\\(.+\\)$")));
}

} // namespace

// Drives a client the way the main window does: moved to a worker thread,
// started and stopped by queued signals, heard through queued signals. Its
// settings may be changed until the start.
class Driver : public QObject
{
    Q_OBJECT

public:
    Driver(const SshdFixture &sshd, int remotePort, int id)
    {
        client = new SshClient(1);
        client->host = sshd.host();
        client->port = sshd.port();
        client->user = SshdFixture::user();
        client->password = SshdFixture::password();
        client->remotePort = remotePort;
        client->listenAddress = testAddress(id);
        client->moveToThread(&thread);
        connect(client, &SshClient::sessionStateChanged, this, [this](int state) { states << state; });
        connect(client, &SshClient::logMessage, this, [this](const QString &text) { log << text; });
        connect(this, &Driver::doSshStartSession, client, &SshClient::startSession);
        connect(this, &Driver::doSshStopSession, client, &SshClient::stopSession);
        thread.start();
    }

    ~Driver() override
    {
        if (QTest::currentTestFailed())
            qInfo().noquote() << "libssh:" << log.join(QLatin1String("\nlibssh: "));
        QMetaObject::invokeMethod(client, [this] { delete client; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }

    // Makes sure everything the worker did so far has been reported here.
    void settle()
    {
        QMetaObject::invokeMethod(client, [] {}, Qt::BlockingQueuedConnection);
        QCoreApplication::sendPostedEvents(this);
    }

    // Starts the session and waits for its first report.
    bool listening()
    {
        emit doSshStartSession();
        return QTest::qWaitFor([this] { return !states.isEmpty(); }, stateTimeout) && states == QList<int>{1};
    }

    QThread thread;
    SshClient *client = nullptr;
    QList<int> states;
    QStringList log;

signals:
    void doSshStartSession();
    void doSshStopSession();
};

// Every failure leaves nothing behind and the log says why. A port outside
// 1..65535 would reach the wrong place: libssh keeps the low 16 bits
// (65536 + p reaches p) or takes its default for 0.
struct StartFailure
{
    const char* name;
    const char* password;  // empty: the right one
    int sshPortOffset;
    bool stall;
    int remotePort;  // -1: the echo peer's
    int localPort;
    bool nullAddress, addressTaken, loggedIn;
    const char* reason;
    int id;
};
const StartFailure kStartFails[] = {
    {"wrong password", "not-it", 0, false, -1, 7001, false, false, false, "Access denied", 206},
    {"server port above 65535", "", 65536, false, -1, 7001, false, false, false, "outside 1..65535", 211},
    {"server port negative", "", -65536, false, -1, 7001, false, false, false, "outside 1..65535", 212},
    // The login gives up after the time-out instead of waiting on.
    {"server stops answering", "", 0, true, -1, 7001, false, false, false, "no answer", 222},
    {"remote port never set", "", 0, false, 0, 7001, false, false, true, "unusable", 205},
    {"remote port above 65535", "", 0, false, 65536, 7001, false, false, true, "unusable", 210},
    {"local port 0", "", 0, false, -1, 0, false, false, true, "unusable", 216},
    {"local port above 65535", "", 0, false, -1, 65536 + 7001, false, false, true, "unusable", 217},
    {"null listen address", "", 0, false, -1, 7001, true, false, true, "unusable", 218},
    {"local address taken", "", 0, false, -1, 7001, false, true, true, "cannot listen", 219},
};

class TestSshClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!sshd.start())
            QSKIP(qPrintable(QStringLiteral("SSH tunnel tests skipped: %1").arg(sshd.errorString())));
    }

    void cleanup()
    {
        if (QTest::currentTestFailed())
            qInfo().noquote() << "sshd:" << sshd.log().right(4000);
    }

    void lifecycle()
    {
        EchoPeer echo;
        Driver driver(sshd, echo.port(), 201);
        driver.client->verbosity = 4;

        // Never started: stopping finds nothing and reports nothing.
        emit driver.doSshStopSession();
        driver.settle();
        QVERIFY(driver.states.isEmpty());

        QVERIFY(driver.listening());
        // A second start while the session exists is refused without a report.
        bool started = true;
        QMetaObject::invokeMethod(driver.client, &SshClient::startSession, Qt::BlockingQueuedConnection, &started);
        QVERIFY(!started);

        {
            QTcpSocket socket;
            QVERIFY(connectClient(socket, 201));
            QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3}), stateTimeout);
            // One local client at a time.
            QVERIFY(turnedAway(201));
            socket.write("ping through the tunnel");
            QCOMPARE(readAtLeast(socket, 23), QByteArray("ping through the tunnel"));
            QCOMPARE(echo.connectionCount(), 1);
        }
        QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2}), stateTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(echo.openConnections(), 0, stateTimeout);

        // The listener stays: a new local client gets a new channel.
        QTcpSocket again;
        QVERIFY(connectClient(again, 201));
        again.write("again");
        QCOMPARE(readAtLeast(again, 5), QByteArray("again"));
        QCOMPARE(echo.connectionCount(), 2);

        // Stop with a local client: first 2, then 0; the local client is let go.
        emit driver.doSshStopSession();
        QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2, 3, 2, 0}), stateTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(again.state(), QAbstractSocket::UnconnectedState, stateTimeout);
        QTcpSocket late;
        QVERIFY(!connectClient(late, 201));

        // libssh's records arrive as "function(text)" and never carry the password.
        QVERIFY(!driver.log.isEmpty());
        const QRegularExpression form(QStringLiteral("^\\w+\\(.*\\)$"), QRegularExpression::DotMatchesEverythingOption);
        for (const QString &line : std::as_const(driver.log)) {
            QVERIFY2(form.match(line).hasMatch(), qPrintable(line));
            QVERIFY2(!line.contains(SshdFixture::password()), qPrintable(line));
        }
    }

    void severalMegabytesBothWays()
    {
        // The client keeps sending while the echo comes back, which must neither
        // stall nor reorder anything.
        EchoPeer echo;
        Driver driver(sshd, echo.port(), 202);
        QVERIFY(driver.listening());
        QTcpSocket socket;
        QVERIFY(connectClient(socket, 202));
        const QByteArray data = payload(6 * 1024 * 1024, 202);
        socket.write(data);
        QVERIFY(readAtLeast(socket, data.size()) == data);
        QCOMPARE(driver.states, (QList<int>{1, 3}));
    }

    void peerClosesAfterAnswer_data()
    {
        QTest::addColumn<qint64>("answer");
        QTest::addColumn<bool>("keepSending");
        QTest::addColumn<int>("id");
        QTest::newRow("local client quiet") << qint64(300 * 1024) << false << 203;
        // The server's write then fails and it closes the channel while the
        // answer's tail still waits in the tunnel.
        QTest::newRow("local client still sends") << qint64(768 * 1024) << true << 220;
    }

    void peerClosesAfterAnswer()
    {
        // Every byte the unit's side sent before it closed must still reach the
        // local client before the local connection ends.
        QFETCH(qint64, answer);
        QFETCH(bool, keepSending);
        QFETCH(int, id);
        EchoPeer echo;
        echo.closeAfter(answer);
        QSignalSpy closed(&echo, &EchoPeer::connectionClosed);
        Driver driver(sshd, echo.port(), id);
        QVERIFY(driver.listening());

        QTcpSocket socket;
        QVERIFY(connectClient(socket, id));
        const QByteArray data = payload(answer, quint32(id));
        socket.write(data);
        QByteArray back;
        QElapsedTimer sinceClose;
        // The pause, and most of the answer come back, let the server take in
        // all of it before it meets the reset the closed peer answers further
        // bytes with: the tunnel moves 1 KiB a turn, so under load a fixed pause
        // alone is too short.
        QVERIFY(QTest::qWaitFor(
            [&] {
                back += socket.readAll();
                if (keepSending && !closed.isEmpty() && !sinceClose.isValid())
                    sinceClose.start();
                if (sinceClose.isValid() && sinceClose.elapsed() > 500
                    && back.size() >= answer - 64 * 1024
                    && socket.state() == QAbstractSocket::ConnectedState)
                    socket.write("x");
                return back.size() > answer || socket.state() != QAbstractSocket::ConnectedState;
            },
            dataTimeout));
        back += socket.readAll();
        QVERIFY(back == data);
        QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2}), stateTimeout);

        echo.closeAfter(-1);
        QTcpSocket next;
        QVERIFY(connectClient(next, id));
        next.write("still there");
        QCOMPARE(readAtLeast(next, 11), QByteArray("still there"));
    }

    void clientSendsAndLeavesAtOnce_data()
    {
        QTest::addColumn<bool>("farSideReads");
        QTest::addColumn<int>("id");
        QTest::newRow("far side reads once the client is let go") << true << 207;
        // Waiting for the far side must not last for ever.
        QTest::newRow("far side never reads") << false << 224;
    }

    void clientSendsAndLeavesAtOnce()
    {
        // The bytes reach the local socket while the channel is still being
        // opened, and the client is gone before it is: they must still be sent,
        // also when the far side takes them only after the local client is gone
        // and answers while it takes them.
        QFETCH(bool, farSideReads);
        QFETCH(int, id);
        const QByteArray data = payload(256 * 1024, quint32(id));
        EchoPeer echo;
        echo.pause();
        Driver driver(sshd, echo.port(), id);
        QVERIFY(driver.listening());
        // Only the far side's silence is to run out, not the login: the
        // time-out shrinks once the session is up, in the worker's own thread.
        if (!farSideReads)
            QMetaObject::invokeMethod(driver.client, [&driver] { driver.client->timeout = 1; },
                                      Qt::BlockingQueuedConnection);
        QTcpSocket socket;
        QVERIFY(connectClient(socket, id));
        socket.write(data);
        QVERIFY(socket.waitForBytesWritten(stateTimeout));
        // Half-close: a full close could reset the connection once the echo arrives.
        QCOMPARE(::shutdown(int(socket.socketDescriptor()), SHUT_WR), 0);
        // The local client is let go before the far side has taken a byte.
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, stateTimeout);
        driver.settle();
        if (farSideReads) {
            echo.resume();
            QTRY_COMPARE_WITH_TIMEOUT(echo.bytesReceived(), qint64(data.size()), stateTimeout);
            QCOMPARE(echo.receivedDigest(), QCryptographicHash::hash(data, QCryptographicHash::Sha1));
        }
        QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2}), stateTimeout);
    }

    void serverGoneDropsLocalClient()
    {
        // The server's side of the session dies: the local client must not be
        // left connected to a dead tunnel.
        SshdFixture own;
        QVERIFY2(own.start(), qPrintable(own.errorString()));
        EchoPeer echo;
        Driver driver(own, echo.port(), 213);
        QVERIFY(driver.listening());
        QTcpSocket socket;
        QVERIFY(connectClient(socket, 213));
        socket.write("before");
        QCOMPARE(readAtLeast(socket, 6), QByteArray("before"));

        QVERIFY(own.dropConnections() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2}), stateTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, stateTimeout);
        emit driver.doSshStopSession();
        QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2, 0}), stateTimeout);
    }

    void peerStopsReading_data()
    {
        QTest::addColumn<bool>("resume");
        QTest::addColumn<int>("id");
        QTest::newRow("stop while the window is shut") << false << 214;
        QTest::newRow("window opens again") << true << 215;
    }

    void peerStopsReading()
    {
        QFETCH(bool, resume);
        QFETCH(int, id);
        EchoPeer echo;
        echo.pause();
        echo.mute();
        Driver driver(sshd, echo.port(), id);
        QVERIFY(driver.listening());
        QTcpSocket socket;
        QVERIFY(connectClient(socket, id));
        QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3}), stateTimeout);
        // More than all buffers on the way hold; wait until nothing moves.
        const QByteArray data = payload(32 * 1024 * 1024, id);
        socket.write(data);
        qint64 pending = -1;
        QVERIFY(QTest::qWaitFor(
            [&] {
                const qint64 before = pending;
                QTest::qWait(300);
                pending = socket.bytesToWrite();
                return pending > 0 && pending == before;
            },
            dataTimeout));

        if (resume) {
            echo.resume();
            QTRY_COMPARE_WITH_TIMEOUT(echo.bytesReceived(), qint64(data.size()), dataTimeout);
            QCOMPARE(echo.receivedDigest(), QCryptographicHash::hash(data, QCryptographicHash::Sha1));
        }
        // The worker still hears the stop.
        emit driver.doSshStopSession();
        QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2, 0}), stateTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, stateTimeout);
    }

    void localClientTurnedAway_data()
    {
        QTest::addColumn<bool>("stall");
        QTest::addColumn<int>("id");
        QTest::newRow("nothing listens on the remote port") << false << 208;
        // Opening the channel gives up after the time-out instead of waiting on.
        QTest::newRow("server stops answering") << true << 223;
    }

    void localClientTurnedAway()
    {
        // The channel does not open: the local client is turned away silently,
        // the session stays up and still hears its stop.
        QFETCH(bool, stall);
        QFETCH(int, id);
        quint16 closedPort = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            closedPort = probe.serverPort();
        }
        EchoPeer echo;
        StallingProxy proxy(QHostAddress(sshd.host()), sshd.port());
        Driver driver(sshd, stall ? echo.port() : closedPort, id);
        driver.client->host = QStringLiteral("127.0.0.1");
        driver.client->port = proxy.port();
        // A refused channel needs no time-out; a stalled one gives up after it.
        if (stall)
            driver.client->timeout = shortTunnelTimeout;
        QVERIFY(driver.listening());
        if (stall)
            proxy.stall();
        QVERIFY(turnedAway(id));
        driver.settle();
        QCOMPARE(driver.states, QList<int>{1});
        emit driver.doSshStopSession();
        QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 0}), stateTimeout);
        QCOMPARE(echo.connectionCount(), 0);
        QCOMPARE(reasons(driver.log).size(), 1);
    }

    void startFails_data() { indexRows(kStartFails); }

    void startFails()
    {
        QFETCH(int, row);
        const auto& [name, password, sshPortOffset, stall, remotePort, localPort, nullAddress, addressTaken,
                     loggedIn, reason, id] = kStartFails[row];
        QTcpServer occupier;
        if (addressTaken)
            QVERIFY(occupier.listen(testAddress(id), 7001));
        EchoPeer echo;
        StallingProxy proxy(QHostAddress(sshd.host()), sshd.port());
        proxy.stallAfterKeyExchange();
        Driver driver(sshd, remotePort < 0 ? echo.port() : remotePort, id);
        if (*password)
            driver.client->password = password;
        driver.client->port += sshPortOffset;
        driver.client->localPort = localPort;
        if (nullAddress)
            driver.client->listenAddress = QHostAddress();
        if (stall) {
            driver.client->host = QStringLiteral("127.0.0.1");
            driver.client->port = proxy.port();
            driver.client->timeout = shortTunnelTimeout;
        }
        const QString accepted = QStringLiteral("Accepted password for %1").arg(SshdFixture::user());
        const qsizetype loginsBefore = sshd.log().count(accepted);
        emit driver.doSshStartSession();
        QTRY_COMPARE_WITH_TIMEOUT(driver.states, QList<int>{-1}, stateTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(sshd.log().count(accepted) > loginsBefore, loggedIn, stateTimeout);
        QCOMPARE(proxy.stalledConnections(), stall ? 1 : 0);
        const QStringList said = reasons(driver.log);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().contains(reason), qPrintable(said.first()));

        occupier.close();
        QTcpSocket socket;
        QVERIFY(!connectClient(socket, id));
        QCOMPARE(echo.connectionCount(), 0);
        // Nothing was left behind: stopping reports nothing.
        emit driver.doSshStopSession();
        driver.settle();
        QCOMPARE(driver.states, QList<int>{-1});
    }

private:
    SshdFixture sshd;
};


QTEST_GUILESS_MAIN(TestSshClient)
#include "tst_sshclient.moc"
