#pragma once

// A real OpenSSH server for tests, a TCP echo peer for forwarded channels,
// and a proxy that can make the server stall.
//
//   SshdFixture sshd;                 // 127.0.0.1 unless told otherwise
//   if (!sshd.start())
//       QSKIP(qPrintable(sshd.errorString()));   // not root, no sshd, ...
//   EchoPeer echo;                    // listens on 127.0.0.1, ephemeral port
//   client.host = sshd.host(); client.port = sshd.port();
//   client.user = SshdFixture::user(); client.password = SshdFixture::password();
//   client.remotePort = echo.port();  // "localhost" on the server's side
//
// start() needs root. Each test process gets its own local account
// ("kandelo-<pid>") with a random password, made by its first start() and
// removed with its last fixture; accounts of test processes that died are
// removed by the next start(), so parallel runs, from one checkout or many,
// never share or break an account. sshd runs in the foreground as a child
// process with its own config, host key and pid file in a temporary
// directory, on the given loopback address and a free high port.

#include <QByteArray>
#include <QCryptographicHash>
#include <QHostAddress>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>

#include <memory>

class QTcpSocket;

class SshdFixture
{
public:
    explicit SshdFixture(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost));
    ~SshdFixture();
    SshdFixture(const SshdFixture &) = delete;
    SshdFixture &operator=(const SshdFixture &) = delete;

    // True when sshd accepts connections; otherwise errorString() says why
    // (suitable as a skip reason).
    bool start();
    void stop();
    bool isRunning() const;
    QString errorString() const { return error; }

    QString host() const { return address.toString(); }
    quint16 port() const { return listenPort; }
    // This process's account; valid once a start() succeeded.
    static QString user();
    static QString password();
    // Kills the processes serving the open connections, as if the server went
    // away under its clients; returns how many were killed. sshd keeps listening.
    int dropConnections();
    // sshd's own log (stderr), for failure diagnostics.
    QString log() const;

private:
    QHostAddress address;
    quint16 listenPort = 0;
    bool holdsAccount = false;
    QString error;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QProcess> sshd;
    mutable QByteArray output;
};

// Echoes every byte back on each accepted connection, served by the event loop
// of the thread it lives in (so a test must not block that thread while it
// waits for the echo). closeAfter(n) makes it echo n bytes of a connection
// and then close that connection; pause() makes it read nothing, so every
// buffer on the way fills, until resume(); mute() makes it send nothing back.
class EchoPeer : public QTcpServer
{
    Q_OBJECT

public:
    explicit EchoPeer(QObject *parent = nullptr);
    quint16 port() const { return serverPort(); }
    void closeAfter(qint64 bytes) { closeLimit = bytes; }
    void pause() { paused = true; }
    void resume();
    void mute() { muted = true; }
    int connectionCount() const { return accepted; }
    qint64 bytesReceived() const { return received; }
    QByteArray receivedDigest() const { return digest.result(); }   // SHA-1 of all bytes read
    int openConnections() const { return int(sockets.size()); }

signals:
    void connectionClosed();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void echo(QTcpSocket *socket);

    qint64 closeLimit = -1;
    bool paused = false;
    bool muted = false;
    int accepted = 0;
    qint64 received = 0;
    QCryptographicHash digest{QCryptographicHash::Sha1};
    QList<QTcpSocket *> sockets;
};

// Stands between an SSH client and sshd (on 127.0.0.1, ephemeral port) and
// forwards both ways until it stalls: from then on it holds back what the
// client sends, as a server that stopped answering would. stall() does so
// at once for every connection; stallAfterKeyExchange() makes each new
// connection stall right after the client's NEWKEYS, before the login.
class StallingProxy : public QTcpServer
{
public:
    StallingProxy(const QHostAddress &server, quint16 serverPort);
    quint16 port() const { return serverPort(); }
    void stall() { stalled = true; }
    void stallAfterKeyExchange() { afterKeyExchange = true; }
    int stalledConnections() const { return stalledCount; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    QHostAddress server;
    quint16 upstreamPort;
    bool stalled = false;
    bool afterKeyExchange = false;
    int stalledCount = 0;
};
