#pragma once

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <libssh/libssh.h>

class QTcpSocket;
class QTimer;

// Carries one local TCP connection at a time through a forwarded SSH channel.
// Lives in a worker thread; its owner drives it only through queued signals.
class SshClient : public QObject
{
    Q_OBJECT

public:
    // Hands every accepted connection to its parent client.
    class Listener : public QTcpServer
    {
    public:
        explicit Listener(SshClient *client);

    protected:
        void incomingConnection(qintptr descriptor) override;

    private:
        SshClient *client;
    };

    // Seconds any blocking libssh call may wait for the server, and seconds
    // without traffic after which a connection whose local client left stops
    // waiting for the far side to end its side.
    enum { DefaultTimeout = 30 };

    enum SessionState {
        Failure = -1,
        Stopped = 0,
        Listening = 1,
        LocalClientGone = 2,
        LocalClientConnected = 3,
    };

    // Deployment value; every real connection overrides it with the configured host.
    static QString defaultHost();

    explicit SshClient(int verbosity, QObject *parent = nullptr);
    ~SshClient() override;

    // Written by the owner after construction, before startSession().
    int verbosity;
    int port = 234;
    int remotePort = 0;
    int localPort = 7001;
    QHostAddress listenAddress{QStringLiteral("127.0.0.1")};
    QString host;
    QString user;
    QString password;
    int timeout = DefaultTimeout;

    void acceptLocalSocket(qintptr descriptor);
    bool openChannel();
    void closeChannel();
    void closeLocalSocket();
    void closeListener();

    static void logCallback(int priority, const char *function, const char *text, void *userdata);

public slots:
    bool startSession();
    void stopSession();
    bool processSession();
    void readLocalSocket();
    void socketStateChanged(QAbstractSocket::SocketState state);

signals:
    void logMessage(const QString &text);
    void sessionStateChanged(int state);

private:
    void endSession();
    QString sshError() const;
    void logFailure(const char *function, const QString &reason);

    Listener *listener = nullptr;
    QTimer *pollTimer = nullptr;
    QTcpSocket *localSocket = nullptr;
    ssh_session session = nullptr;
    ssh_channel channel = nullptr;
    // The channel refused local bytes; it ends once its own data is read.
    bool channelWriteFailed = false;
    // The local client's last byte went into the channel, then its end.
    bool localEofSent = false;
    // Since a byte last went through the channel either way.
    QElapsedTimer lastTraffic;
};
