#pragma once

// A real OpenSSH server for tests, plus a TCP echo peer for forwarded channels.
//
//   SshdFixture sshd;                 // 127.0.0.1 unless told otherwise
//   if (!sshd.start())
//       QSKIP(qPrintable(sshd.errorString()));   // not root, no sshd, ...
//   EchoPeer echo;                    // listens on 127.0.0.1, ephemeral port
//   client.host = sshd.host(); client.port = sshd.port();
//   client.user = SshdFixture::user(); client.password = SshdFixture::password();
//   client.remotePort = echo.port();  // "localhost" on the server's side
//
// start() needs root: it creates (or resets) the local account "kandelo-test"
// with a known password, then runs sshd in the foreground as a child process
// with its own config, host key and pid file in a temporary directory,
// listening on the given loopback address and a free high port. Account setup
// is idempotent and serialised between processes, so tests may run in
// parallel. The destructor stops sshd and removes the directory.

#include <QByteArray>
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
    static QString user();
    static QString password();
    // Kills the processes serving the open connections, as if the server went
    // away under its clients; returns how many were killed. sshd keeps listening.
    int dropConnections();
    // sshd's own log (stderr), for failure diagnostics.
    QString log() const;

private:
    bool prepareAccount();
    bool writeConfig();
    bool waitForBanner(int timeoutMs);

    QHostAddress address;
    quint16 listenPort = 0;
    QString error;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QProcess> sshd;
    mutable QByteArray output;
};

// Echoes every byte back on each accepted connection, served by the event loop
// of the thread it lives in (so a test must not block that thread while it
// waits for the echo). closeAfter(n) makes it echo n bytes of a connection
// and then close that connection.
class EchoPeer : public QTcpServer
{
    Q_OBJECT

public:
    explicit EchoPeer(QObject *parent = nullptr);
    quint16 port() const { return serverPort(); }
    void closeAfter(qint64 bytes) { closeLimit = bytes; }
    int connectionCount() const { return accepted; }
    qint64 bytesReceived() const { return received; }
    int openConnections() const;
    void closeAll();

signals:
    void connectionClosed();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void echo(QTcpSocket *socket);

    qint64 closeLimit = -1;
    int accepted = 0;
    qint64 received = 0;
    QList<QTcpSocket *> sockets;
};
