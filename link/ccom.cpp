#include "link/ccom.h"

#include "link/protocolkeys.h"
#include "link/valuetext.h"

#include <QCoreApplication>
#include <QDebug>
#include <QHostAddress>
#include <QUdpSocket>

#include <utility>

namespace zel {

namespace {

// A datagram never exceeds what UDP can carry; anything claiming more is junk.
constexpr qint64 kMaxDatagram = 65536;

const std::string& valueOf(const TCommand& command, const std::string& key)
{
    return *command.param(key, true);
}

} // namespace

CCom::CCom(QObject* parent)
    : QObject(parent)
    , m_link(nullptr)
{
    m_link.setDeferSignals(true);
    connect(&m_link, &RpcConnection::stateChanged, this, &CCom::stateChanged);
    connect(&m_link, &RpcConnection::errorOccurred, this, &CCom::errorOccurred);
    connect(&m_link, &RpcConnection::messageCompleted, this, &CCom::messageCompleted);
    connect(&m_link, &RpcConnection::messageReceived, this, &CCom::messageReceived);
}

CCom::~CCom()
{
    QObject::disconnect(&m_link, nullptr, nullptr, nullptr);
    disconnectFromUnit();
}

bool CCom::connectToUnit(const QString& address, quint16 port, quint16 udpPort)
{
    if (m_link.isEnabled())
        return false;
    QHostAddress parsed;
    if (!parsed.setAddress(address) || parsed.protocol() != QAbstractSocket::IPv4Protocol
        || port == 0)
        return false;

    if (!m_udpSocket && udpPort != 0) {
        m_udpPort = udpPort;
        m_udpSocket = new QUdpSocket(this);
        if (!m_udpSocket->bind(QHostAddress::Any, udpPort)) {
            qWarning().noquote() << QStringLiteral("zel::CCom::connectToUnit(udpPort=%1) failed to bind with error %2")
                                        .arg(udpPort)
                                        .arg(m_udpSocket->errorString());
        }
        connect(m_udpSocket, &QUdpSocket::readyRead, this, &CCom::readPendingDatagrams);
    }

    m_host = address;
    m_port = port;
    m_link.connect(address, port);
    return true;
}

void CCom::disconnectFromUnit()
{
    if (!m_link.isEnabled())
        return;
    if (m_udpSocket) {
        // Deferred: this may run inside the socket's own readyRead.
        QUdpSocket* socket = m_udpSocket;
        m_udpSocket = nullptr;
        socket->disconnect(this);
        socket->close();
        socket->deleteLater();
    }
    m_link.disconnect();
}

int CCom::setIdentity(const std::string& category, const std::string& controllerType)
{
    m_category = category;
    m_controllerType = controllerType;
    return 0;
}

int CCom::lastErrors(TCommand& out) const
{
    if (m_syncErrors.params.empty())
        return -1;
    out = m_syncErrors;
    return 0;
}

int CCom::sendMessage(const TCommand& command)
{
    if (!m_idle)
        return -1;
    return m_link.send(RpcMessage::createRequest(command)) ? 0 : -1;
}

int CCom::timeoutSeconds(int timeoutMs)
{
    const int seconds = timeoutMs / 1000;
    return seconds > 0 ? seconds : 5;
}

int CCom::sendSyncMsg(const TCommand& request, TCommand& reply, int reserved, int timeoutMs)
{
    Q_UNUSED(reserved);
    if (!m_idle)
        return -1;

    RpcAsyncCall call = m_link.asyncCall(RpcMessage::createRequest(request),
                                         timeoutSeconds(timeoutMs));
    if (call.errorCode() != 0)
        return call.errorCode();

    emit busyStateChanged(true);
    auto* watcher = new RpcAsyncCallWatcher(call, this);
    connect(watcher, &RpcAsyncCallWatcher::finished, this, &CCom::callCompleted);
    m_watcher = watcher;
    m_idle = false;
    m_waiting = true;

    while (m_waiting) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents
                                        | QEventLoop::WaitForMoreEvents);
    }

    reply = std::move(m_syncReply);
    m_idle = true;
    emit busyStateChanged(false);
    emit sendSyncMsgCompleted();
    return m_syncResult;
}

void CCom::callCompleted(RpcAsyncCallWatcher* watcher)
{
    if (!watcher)
        return;
    if (watcher != m_watcher) {
        watcher->deleteLater();
        return;
    }
    m_watcher = nullptr;

    m_syncReply.reset(0);
    m_syncErrors.reset(0);

    if (!watcher->isSucceeded()) {
        // A failed call never reads as success, whatever code it carries.
        const int code = watcher->reply().errorCode();
        m_syncResult = code != 0 ? code : int(RpcConnection::BadMessageError);
    } else {
        // Read in place: the record holds the gathered reply until the
        // watcher goes, and a copy of it would cost an allocation per value.
        const TCommand& answer = watcher->data()->reply;
        const bool isParam = answer.verb == TCommand::Param;
        const std::string& returned = valueOf(answer, wire::key::return_());
        // The unit's own "return" of a PARAM reply does not decide: a value
        // that is one of its error texts is a refusal under "OK" as well.
        // Under "ERROR" any value of that form counts, known or not.
        const bool saidError = isParam && returned != wire::reply::ok();

        m_syncReply.reset(answer.verb);
        for (const auto& [key, value] : answer.params) {
            if (key == wire::key::return_())
                continue;
            if (value.empty() || value == wire::unitError::parameterNotSet())
                m_syncReply.setParam(key, std::string(), 0, ',');
            else if (isParam && (saidError ? looksLikeUnitError(value) : isUnitErrorText(value)))
                m_syncErrors.setParam(key, value, 0, ',');
            else
                m_syncReply.setParam(key, value, 0, ',');
        }
        if (isParam) {
            if (saidError || !m_syncErrors.params.empty()) {
                m_syncReply.setParam(wire::key::return_(), wire::reply::progress(), 0, ',');
                m_syncErrors.setParam(wire::key::return_(), wire::reply::error(), 0, ',');
            } else {
                m_syncReply.setParam(wire::key::return_(), wire::reply::ok(), 0, ',');
            }
        } else {
            m_syncReply.setParam(wire::key::return_(), returned.empty() ? wire::reply::error() : returned, 0, ',');
        }
        m_syncResult = 0;
    }

    m_waiting = false;
    watcher->deleteLater();
}

void CCom::addIdentity(TCommand& command) const
{
    command.setParam(wire::key::target(), wire::target::db(), 0, ',');
    command.setParam(wire::key::cat(), m_category, 0, ',');
    command.setParam(wire::key::type(), m_controllerType, 0, ',');
    command.setParam(wire::link::controllerId(), m_controllerType, 0, ',');
}

int CCom::dbWrite(const std::map<std::string, std::string>& values, int timeoutMs)
{
    if (values.empty())
        return 0;
    if (m_category.empty() || m_controllerType.empty())
        return -1;

    TCommand command(TCommand::Param);
    for (const auto& [key, value] : values)
        command.setParam(key, value, 0, ',');
    addIdentity(command);

    const int result = sendSyncMsg(command, command, timeoutMs, timeoutMs);
    if (result != 0)
        return result;
    return valueOf(command, wire::key::return_()) == wire::reply::ok() ? 0 : -1;
}

int CCom::dbRead(const std::vector<std::string>& keys,
                 std::map<std::string, std::string>& values, int timeoutMs)
{
    if (keys.empty())
        return 0;
    if (m_category.empty() || m_controllerType.empty())
        return -1;

    TCommand command(TCommand::Param);
    for (const std::string& key : keys)
        command.addGet(key);
    addIdentity(command);

    const int result = sendSyncMsg(command, command, timeoutMs, timeoutMs);
    if (result != 0)
        return result;
    const int outcome = valueOf(command, wire::key::return_()) == wire::reply::ok() ? 0 : -1;
    for (const auto& [key, value] : command.params) {
        if (key != wire::key::return_())
            values.insert({key, value});
    }
    return outcome;
}

void CCom::readPendingDatagrams()
{
    // A receiver may drop the socket (disconnectFromUnit) while we drain it.
    QUdpSocket* socket = m_udpSocket;
    while (socket && socket == m_udpSocket && socket->hasPendingDatagrams()) {
        const qint64 size = socket->pendingDatagramSize();
        if (size < 0)
            break;
        // A failed read may leave the datagram queued: stop rather than spin.
        if (size < RpcMessage::HeaderSize || size > kMaxDatagram) {
            if (socket->readDatagram(nullptr, 0) < 0)   // too short for a frame: drop it
                break;
            continue;
        }
        QByteArray datagram(int(size), Qt::Uninitialized);
        const qint64 read = socket->readDatagram(datagram.data(), size);
        if (read < 0)
            break;
        if (read < RpcMessage::HeaderSize)
            continue;
        datagram.truncate(int(read));

        const RpcMessage message = RpcMessage::fromFrame(datagram);
        if (message.type() == RpcMessage::Signal && message.command().verb == TCommand::Event
            && valueOf(message.command(), wire::key::eventType()) == wire::link::audioLevels())
            emit messageReceived(message);
    }
}

RpcConnection::ConnectionState CCom::state() const
{
    return m_link.state();
}

bool CCom::isEnabled() const
{
    return m_link.isEnabled();
}

} // namespace zel
