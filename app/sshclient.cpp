#include "app/sshclient.h"

#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <libssh/callbacks.h>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <unistd.h>
#endif

#include <algorithm>

namespace {

constexpr int pollInterval = 1;           // ms
constexpr int pollChunk = 1024;           // bytes per tick, channel to local socket
// Local bytes held while the channel's window is shut; beyond this the local
// client is held back by TCP itself.
constexpr qint64 localReadLimit = 64 * 1024;

void closeDescriptor(qintptr descriptor)
{
#ifdef _WIN32
    ::closesocket(static_cast<SOCKET>(descriptor));
#else
    ::close(static_cast<int>(descriptor));
#endif
}

} // namespace

SshClient::Listener::Listener(SshClient *client)
    : QTcpServer(client), client(client)
{
}

void SshClient::Listener::incomingConnection(qintptr descriptor)
{
    client->acceptLocalSocket(descriptor);
}

QString SshClient::defaultHost()
{
    return QStringLiteral("access.velto.invalid");
}

SshClient::SshClient(int verbosity, QObject *parent)
    : QObject(parent), verbosity(verbosity), host(defaultHost())
{
}

SshClient::~SshClient()
{
    stopSession();
    // The log hook is process-wide: never leave it pointing at a dead client.
    if (ssh_get_log_userdata() == this) {
        ssh_set_log_callback(nullptr);
        ssh_set_log_userdata(nullptr);
    }
}

bool SshClient::startSession()
{
    if (session)
        return false;

    ssh_set_log_callback(&SshClient::logCallback);
    ssh_set_log_userdata(this);

    session = ssh_new();
    if (!session) {
        emit sessionStateChanged(Failure);
        return false;
    }

    const QByteArray hostBytes = host.toLatin1();
    const QByteArray userBytes = user.toLatin1();
    const unsigned int sshPort = static_cast<unsigned int>(std::clamp(port, 0, 65535));
    const int logLevel = verbosity;
    ssh_options_set(session, SSH_OPTIONS_HOST, hostBytes.constData());
    ssh_options_set(session, SSH_OPTIONS_PORT, &sshPort);
    ssh_options_set(session, SSH_OPTIONS_USER, userBytes.constData());
    ssh_options_set(session, SSH_OPTIONS_LOG_VERBOSITY, &logLevel);
    // Without it the login, opening a channel and disconnecting wait without
    // end for a server that stops answering.
    const long seconds = timeout;
    ssh_options_set(session, SSH_OPTIONS_TIMEOUT, &seconds);

    // libssh keeps only the low 16 bits of the port and takes 0 for its own
    // default: never let a bad setting reach some other server port.
    const bool portUsable = port >= 1 && port <= 65535;
    if (!portUsable || ssh_connect(session) != SSH_OK) {
        logFailure("startSession", portUsable ? sshError()
                                              : QStringLiteral("server port %1 is outside 1..65535").arg(port));
        ssh_free(session);
        session = nullptr;
        emit sessionStateChanged(Failure);
        return false;
    }

    // The program is leaving and waits for this thread: no second wait.
    if (QThread::currentThread()->isInterruptionRequested()) {
        endSession();
        emit sessionStateChanged(Failure);
        return false;
    }

    // SSH carries passwords as UTF-8 (and the server's reply is decoded so).
    QByteArray secret = password.toUtf8();
    const int auth = ssh_userauth_password(session, nullptr, secret.constData());
    secret.fill('\0');
    if (auth != SSH_AUTH_SUCCESS) {
        logFailure("startSession", sshError());
        endSession();
        emit sessionStateChanged(Failure);
        return false;
    }

    if (remotePort < 1 || remotePort > 65535 || localPort < 1 || localPort > 65535
        || listenAddress.isNull()) {
        logFailure("startSession", QStringLiteral("unusable tunnel ports %1 and %2 or listen address <%3>")
                                       .arg(remotePort).arg(localPort).arg(listenAddress.toString()));
        endSession();
        emit sessionStateChanged(Failure);
        return false;
    }

    listener = new Listener(this);
    if (!listener->listen(listenAddress, static_cast<quint16>(localPort))) {
        logFailure("startSession", QStringLiteral("cannot listen on <%1> port %2: %3")
                                       .arg(listenAddress.toString()).arg(localPort).arg(listener->errorString()));
        closeListener();
        endSession();
        emit sessionStateChanged(Failure);
        return false;
    }
    emit sessionStateChanged(Listening);
    return true;
}

void SshClient::stopSession()
{
    closeListener();
    closeLocalSocket();
    closeChannel();
    if (session) {
        endSession();
        emit sessionStateChanged(Stopped);
    }
}

void SshClient::endSession()
{
    ssh_disconnect(session);
    ssh_free(session);
    session = nullptr;
}

// libssh's reason for the last failure; a call that ran out of time may
// leave none.
QString SshClient::sshError() const
{
    const QString text = QString::fromUtf8(ssh_get_error(session));
    return text.isEmpty() ? QStringLiteral("no answer from the server within %1 s").arg(timeout) : text;
}

// Logged whatever libssh's verbosity: a failed start must say why.
void SshClient::logFailure(const char *function, const QString &reason)
{
    emit logMessage(QStringLiteral("%1(%2)").arg(QLatin1String(function), reason));
}

void SshClient::acceptLocalSocket(qintptr descriptor)
{
    if (!session) {
        closeDescriptor(descriptor);
        return;
    }
    auto *socket = new QTcpSocket(this);
    const bool wrapped = socket->setSocketDescriptor(descriptor, QAbstractSocket::ConnectedState,
                                                     QIODevice::ReadWrite);
    if (!wrapped)
        closeDescriptor(descriptor);

    if (wrapped && !localSocket) {
        if (openChannel()) {
            localSocket = socket;
            localSocket->setReadBufferSize(localReadLimit);
            connect(localSocket, &QAbstractSocket::stateChanged, this, &SshClient::socketStateChanged);
            connect(localSocket, &QIODevice::readyRead, this, &SshClient::readLocalSocket);
            pollTimer = new QTimer(this);
            connect(pollTimer, &QTimer::timeout, this, &SshClient::processSession);
            pollTimer->start(pollInterval);
            emit sessionStateChanged(LocalClientConnected);
            return;
        }
        closeChannel();
    }
    socket->abort();
    socket->deleteLater();
}

bool SshClient::openChannel()
{
    if (!session || channel)
        return false;
    channel = ssh_channel_new(session);
    if (!channel)
        return false;
    const QByteArray origin = listenAddress.toString().toLatin1();
    if (ssh_channel_open_forward(channel, "localhost", remotePort, origin.constData(), localPort)
        != SSH_OK) {
        logFailure("openChannel", sshError());
        ssh_channel_free(channel);
        channel = nullptr;
        return false;
    }
    return true;
}

bool SshClient::processSession()
{
    if (!session || !localSocket || !channel)
        return false;
    if (ssh_channel_is_closed(channel) || ssh_channel_is_eof(channel)) {
        closeLocalSocket();
        closeChannel();
        return false;
    }
    // Local bytes the channel's window could not take before may fit now.
    if (localSocket->bytesAvailable() > 0)
        readLocalSocket();
    const bool localSending = localSocket->state() == QAbstractSocket::ConnectedState;
    if (!localSending && !localEofSent && !channelWriteFailed && localSocket->bytesAvailable() == 0) {
        ssh_channel_send_eof(channel);
        localEofSent = true;
    }
    char buffer[pollChunk];
    const int count = ssh_channel_read_nonblocking(channel, buffer, sizeof buffer, 0);
    if (count < 1) {
        if (channelWriteFailed || (!localSending && lastTraffic.hasExpired(qint64(timeout) * 1000))) {
            closeLocalSocket();
            closeChannel();
        }
        return false;
    }
    lastTraffic.restart();
    // A local client that stopped sending may have gone altogether; what the
    // far side still sends is read all the same, so that it can finish.
    if (!localSending)
        return false;
    return localSocket->write(buffer, count) == count;
}

void SshClient::readLocalSocket()
{
    if (!localSocket)
        return;
    if (!channel || channelWriteFailed) {
        localSocket->readAll();
        return;
    }
    // A blocking write waits without end while the far side keeps its window
    // shut, and then nothing, not even a stop, gets through this thread.
    // Only what the window takes now is sent; the rest waits in the socket.
    const qint64 room = std::min<qint64>(localSocket->bytesAvailable(), ssh_channel_window_size(channel));
    if (room < 1)
        return;
    const QByteArray data = localSocket->peek(room);
    const int written = ssh_channel_write(channel, data.constData(), static_cast<uint32_t>(data.size()));
    if (written < 0) {
        // A far side that closed refuses our bytes while its last ones may
        // still be on the way to us: the poll delivers those, then ends it.
        channelWriteFailed = true;
        return;
    }
    // What the channel did not take stays in the socket for the next turn.
    localSocket->skip(written);
    if (written > 0)
        lastTraffic.restart();
}

// The socket lets a local client go as soon as it stops sending. Its
// connection lasts until the far side has ended its side too, or been silent
// for the time-out: closing the channel at once makes the server drop what it
// has not handed on yet.
void SshClient::socketStateChanged(QAbstractSocket::SocketState state)
{
    if (state != QAbstractSocket::ConnectedState)
        lastTraffic.restart();
}

void SshClient::closeLocalSocket()
{
    if (!localSocket)
        return;
    if (pollTimer) {
        pollTimer->disconnect();
        pollTimer->stop();
        pollTimer->deleteLater();
        pollTimer = nullptr;
    }
    localSocket->disconnect();
    localSocket->deleteLater();
    localSocket = nullptr;
    emit sessionStateChanged(LocalClientGone);
}

void SshClient::closeChannel()
{
    if (!channel)
        return;
    ssh_channel_close(channel);
    ssh_channel_free(channel);
    channel = nullptr;
    channelWriteFailed = false;
    localEofSent = false;
}

void SshClient::closeListener()
{
    if (!listener)
        return;
    listener->disconnect();
    listener->close();
    listener->deleteLater();
    listener = nullptr;
}

void SshClient::logCallback(int priority, const char *function, const char *text, void *userdata)
{
    Q_UNUSED(priority);
    auto *client = static_cast<SshClient *>(userdata);
    if (!client)
        return;
    emit client->logMessage(QStringLiteral("%1(%2)").arg(QString::fromLatin1(function ? function : ""),
                                                          QString::fromLatin1(text ? text : "")));
}
