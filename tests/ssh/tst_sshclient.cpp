#include "app/sshclient.h"
#include "tests/sshfixture/sshdfixture.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include <sys/socket.h>

namespace {

constexpr int stateTimeout = 30000;
constexpr int dataTimeout = 180000;

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
    QRandomGenerator generator(seed);
    generator.fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
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
    data += socket.readAll();
    return data;
}

} // namespace

// Drives a client the way the main window does: moved to a worker thread,
// started and stopped by queued signals, heard through queued signals.
class Driver : public QObject
{
    Q_OBJECT

public:
    Driver(const SshdFixture &sshd, int remotePort, int id,
           const QString &password = SshdFixture::password(), int verbosity = 1)
    {
        client = new SshClient(verbosity);
        client->host = sshd.host();
        client->port = sshd.port();
        client->user = SshdFixture::user();
        client->password = password;
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
        if (QTest::currentTestFailed()) {
            for (const QString &line : std::as_const(log))
                qInfo().noquote() << "libssh:" << line;
        }
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

    // Starts the session and waits for the listener.
    bool listening()
    {
        emit doSshStartSession();
        return QTest::qWaitFor([this] { return !states.isEmpty(); }, stateTimeout) && states == QList<int>{1};
    }

    bool startDirectly()
    {
        bool result = true;
        QMetaObject::invokeMethod(client, &SshClient::startSession, Qt::BlockingQueuedConnection, &result);
        return result;
    }

    QThread thread;
    SshClient *client = nullptr;
    QList<int> states;
    QStringList log;

signals:
    void doSshStartSession();
    void doSshStopSession();
};

class TestSshClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void lifecycle();
    void severalMegabytesBothWays();
    void peerClosesAfterAnswer_data();
    void peerClosesAfterAnswer();
    void clientSendsAndLeavesAtOnce();
    void serverGoneDropsLocalClient();
    void peerStopsReading_data();
    void peerStopsReading();
    void channelRefusedDropsOnlyTheLocalClient();
    void unusableSettingsFailAfterLogin_data();
    void unusableSettingsFailAfterLogin();
    void failsBeforeLogin_data();
    void failsBeforeLogin();

private:
    SshdFixture sshd;
};

namespace {

bool connectClient(QTcpSocket &socket, int id)
{
    socket.connectToHost(testAddress(id), 7001);
    return socket.waitForConnected(stateTimeout);
}

// A local client the tunnel turns away, or nothing listening at all.
bool turnedAway(int id)
{
    QTcpSocket socket;
    socket.connectToHost(testAddress(id), 7001);
    socket.waitForConnected(stateTimeout);
    return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, stateTimeout);
}

} // namespace

void TestSshClient::initTestCase()
{
    if (!sshd.start())
        QSKIP(qPrintable(QStringLiteral("SSH tunnel tests skipped: %1").arg(sshd.errorString())));
}

void TestSshClient::cleanup()
{
    if (QTest::currentTestFailed())
        qInfo().noquote() << "sshd:" << sshd.log().right(4000);
}

void TestSshClient::cleanupTestCase()
{
    sshd.stop();
}

void TestSshClient::lifecycle()
{
    EchoPeer echo;
    QVERIFY(echo.isListening());
    Driver driver(sshd, echo.port(), 201, SshdFixture::password(), 4);

    // Never started: stopping finds nothing and reports nothing.
    emit driver.doSshStopSession();
    driver.settle();
    QVERIFY(driver.states.isEmpty());

    QVERIFY(driver.listening());
    // A second start while the session exists is refused without a report.
    QVERIFY(!driver.startDirectly());
    driver.settle();
    QCOMPARE(driver.states, QList<int>{1});

    {
        QTcpSocket socket;
        QVERIFY(connectClient(socket, 201));
        QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3}), stateTimeout);
        // One local client at a time.
        QVERIFY(turnedAway(201));
        socket.write("ping through the tunnel");
        QCOMPARE(readAtLeast(socket, 23), QByteArray("ping through the tunnel"));
        driver.settle();
        QCOMPARE(driver.states, (QList<int>{1, 3}));
        QCOMPARE(echo.connectionCount(), 1);
        socket.disconnectFromHost();
    }
    QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2}), stateTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(echo.openConnections(), 0, stateTimeout);

    // The listener stays: a new local client gets a new channel.
    QTcpSocket again;
    QVERIFY(connectClient(again, 201));
    QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2, 3}), stateTimeout);
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

void TestSshClient::severalMegabytesBothWays()
{
    // Both directions at once: the client keeps sending while the echo comes
    // back, which must neither stall nor reorder anything.
    EchoPeer echo;
    Driver driver(sshd, echo.port(), 202);
    QVERIFY(driver.listening());
    QTcpSocket socket;
    QVERIFY(connectClient(socket, 202));
    const QByteArray data = payload(6 * 1024 * 1024, 202);
    socket.write(data);
    const QByteArray back = readAtLeast(socket, data.size());
    QCOMPARE(back.size(), data.size());
    QVERIFY(back == data);
    QCOMPARE(driver.states, (QList<int>{1, 3}));
}

void TestSshClient::peerClosesAfterAnswer_data()
{
    QTest::addColumn<qint64>("answer");
    QTest::addColumn<bool>("keepSending");
    QTest::addColumn<int>("id");
    QTest::newRow("local client quiet") << qint64(300 * 1024) << false << 203;
    // The server's write then fails and it closes the channel while the
    // answer's tail still waits in the tunnel.
    QTest::newRow("local client still sends") << qint64(768 * 1024) << true << 220;
}

void TestSshClient::peerClosesAfterAnswer()
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
    // The pause lets the server take in all of the answer before it meets
    // the reset the closed peer answers further bytes with.
    QVERIFY(QTest::qWaitFor(
        [&] {
            back += socket.readAll();
            if (keepSending && !closed.isEmpty() && !sinceClose.isValid())
                sinceClose.start();
            if (sinceClose.isValid() && sinceClose.elapsed() > 500
                && socket.state() == QAbstractSocket::ConnectedState)
                socket.write("x");
            return back.size() > answer || socket.state() != QAbstractSocket::ConnectedState;
        },
        dataTimeout));
    back += socket.readAll();
    QCOMPARE(back.size(), data.size());
    QVERIFY(back == data);
    QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2}), stateTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, stateTimeout);

    echo.closeAfter(-1);
    QTcpSocket next;
    QVERIFY(connectClient(next, id));
    QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2, 3}), stateTimeout);
    next.write("still there");
    QCOMPARE(readAtLeast(next, 11), QByteArray("still there"));
}

void TestSshClient::clientSendsAndLeavesAtOnce()
{
    // The bytes reach the local socket while the channel is still being
    // opened, and the client is gone before it is: they must still be sent.
    const QByteArray data = payload(256 * 1024, 207);
    EchoPeer echo;
    Driver driver(sshd, echo.port(), 207);
    QVERIFY(driver.listening());
    QTcpSocket socket;
    QVERIFY(connectClient(socket, 207));
    socket.write(data);
    QVERIFY(socket.waitForBytesWritten(stateTimeout));
    // Half-close: a full close could reset the connection once the echo arrives.
    QCOMPARE(::shutdown(int(socket.socketDescriptor()), SHUT_WR), 0);
    QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2}), stateTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(echo.bytesReceived(), qint64(data.size()), stateTimeout);
}

void TestSshClient::serverGoneDropsLocalClient()
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

namespace {
// Takes connections but reads nothing until resumed, so every buffer on the
// way fills and the channel's window shuts.
class PausedPeer : public QTcpServer
{
public:
    PausedPeer() { listen(QHostAddress::LocalHost, 0); }
    void resume()
    {
        paused = false;
        for (QTcpSocket *socket : std::as_const(sockets)) {
            socket->setReadBufferSize(0);
            received += socket->readAll();
        }
    }
    QByteArray received;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setReadBufferSize(1024);
        socket->setSocketDescriptor(descriptor);
        sockets << socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (!paused)
                received += socket->readAll();
        });
    }

private:
    bool paused = true;
    QList<QTcpSocket *> sockets;
};
} // namespace

void TestSshClient::peerStopsReading_data()
{
    QTest::addColumn<bool>("resume");
    QTest::addColumn<int>("id");
    QTest::newRow("stop while the window is shut") << false << 214;
    QTest::newRow("window opens again") << true << 215;
}

void TestSshClient::peerStopsReading()
{
    QFETCH(bool, resume);
    QFETCH(int, id);
    PausedPeer peer;
    QVERIFY(peer.isListening());
    Driver driver(sshd, peer.serverPort(), id);
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
        peer.resume();
        QTRY_VERIFY_WITH_TIMEOUT(peer.received.size() >= data.size(), dataTimeout);
        QVERIFY(peer.received == data);
    }
    // The worker still hears the stop.
    emit driver.doSshStopSession();
    QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 3, 2, 0}), stateTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, stateTimeout);
}

void TestSshClient::channelRefusedDropsOnlyTheLocalClient()
{
    // Nothing listens on the remote port: the server refuses the channel, the
    // local client is turned away silently and the session stays up.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    Driver driver(sshd, closedPort, 208);
    QVERIFY(driver.listening());
    QVERIFY(turnedAway(208));
    driver.settle();
    QCOMPARE(driver.states, QList<int>{1});
    emit driver.doSshStopSession();
    QTRY_COMPARE_WITH_TIMEOUT(driver.states, (QList<int>{1, 0}), stateTimeout);
}

void TestSshClient::unusableSettingsFailAfterLogin_data()
{
    QTest::addColumn<int>("remotePort");
    QTest::addColumn<int>("localPort");
    QTest::addColumn<bool>("nullAddress");
    QTest::addColumn<bool>("addressTaken");
    QTest::addColumn<int>("id");
    QTest::newRow("remote port never set") << 0 << 7001 << false << false << 205;
    QTest::newRow("remote port above 65535") << 65536 << 7001 << false << false << 210;
    QTest::newRow("local port 0") << 1 << 0 << false << false << 216;
    QTest::newRow("local port above 65535") << 1 << 65536 + 7001 << false << false << 217;
    QTest::newRow("null listen address") << 1 << 7001 << true << false << 218;
    QTest::newRow("local address taken") << 1 << 7001 << false << true << 219;
}

void TestSshClient::unusableSettingsFailAfterLogin()
{
    QFETCH(int, remotePort);
    QFETCH(int, localPort);
    QFETCH(bool, nullAddress);
    QFETCH(bool, addressTaken);
    QFETCH(int, id);
    QTcpServer occupier;
    if (addressTaken)
        QVERIFY(occupier.listen(testAddress(id), 7001));
    const QString accepted = QStringLiteral("Accepted password for %1").arg(SshdFixture::user());
    const qsizetype loginsBefore = sshd.log().count(accepted);
    Driver driver(sshd, remotePort, id);
    driver.client->localPort = localPort;
    if (nullAddress)
        driver.client->listenAddress = QHostAddress();
    emit driver.doSshStartSession();
    QTRY_COMPARE_WITH_TIMEOUT(driver.states, QList<int>{-1}, stateTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(sshd.log().count(accepted) > loginsBefore, stateTimeout);
    occupier.close();
    QTcpSocket socket;
    QVERIFY(!connectClient(socket, id));

    // Nothing was left behind: stopping reports nothing.
    emit driver.doSshStopSession();
    driver.settle();
    QCOMPARE(driver.states, QList<int>{-1});
}

void TestSshClient::failsBeforeLogin_data()
{
    // A server port outside 1..65535 would reach the wrong server: libssh
    // keeps the low 16 bits (65536 + p reaches p) or takes its default for 0.
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("portOffset");
    QTest::addColumn<int>("id");
    QTest::newRow("wrong password") << "not-the-password" << 0 << 206;
    QTest::newRow("server port above 65535") << SshdFixture::password() << 65536 << 211;
    QTest::newRow("server port negative") << SshdFixture::password() << -65536 << 212;
}

void TestSshClient::failsBeforeLogin()
{
    QFETCH(QString, password);
    QFETCH(int, portOffset);
    QFETCH(int, id);
    EchoPeer echo;
    Driver driver(sshd, echo.port(), id, password);
    driver.client->port = portOffset + sshd.port();
    const qsizetype loginsBefore = sshd.log().count(QStringLiteral("Accepted password"));
    emit driver.doSshStartSession();
    QTRY_COMPARE_WITH_TIMEOUT(driver.states, QList<int>{-1}, stateTimeout);
    QCOMPARE(sshd.log().count(QStringLiteral("Accepted password")), loginsBefore);
    QTcpSocket socket;
    QVERIFY(!connectClient(socket, id));
    QCOMPARE(echo.connectionCount(), 0);
}

QTEST_GUILESS_MAIN(TestSshClient)
#include "tst_sshclient.moc"
