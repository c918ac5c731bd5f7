#include "link/rpcconnection.h"

#include "link/logline.h"
#include "link/logmask.h"
#include "link/protocolkeys.h"

#include <QHostAddress>
#include <QtEndian>

#include <climits>
#include <string>
#include <utility>

namespace {

int g_tickInterval = 1000;
const int kRetryTicks = 10;

quint32 headerWord(const char* frame, int offset)
{
    return qFromLittleEndian<quint32>(frame + offset);
}

// ", header=<id>/<type>/<errorCode>"
void appendHeader(LogLine& line, qint32 id, quint32 type, qint32 errorCode)
{
    line << ", header=" << id << "/" << type << "/" << errorCode;
}

// ", message=<body with its secrets masked>"
void appendBody(LogLine& line, const std::string& body)
{
    std::string masked;
    line << ", message=" << loggableBody(body, masked);
}

} // namespace

RpcConnection::RpcConnection(QObject* parent)
    : QObject(parent)
{
    m_reader.init(this);
    m_timer.setInterval(g_tickInterval);
    // Queued: a receiver of what a tick reports may wait in a nested event
    // loop, and Qt does not fire a timer again inside its own activation.
    QObject::connect(&m_timer, &QTimer::timeout, this,
                     static_cast<void (RpcConnection::*)()>(&RpcConnection::timerEvent),
                     Qt::QueuedConnection);
    // Not readyRead: Qt holds that back while a receiver of it runs, and a
    // receiver of ours may wait in a nested event loop for the next frame.
    QObject::connect(&m_socket, &QTcpSocket::channelReadyRead, this, &RpcConnection::socketRead);
    QObject::connect(&m_socket, &QTcpSocket::connected, this, &RpcConnection::socketConnected);
    QObject::connect(&m_socket, &QTcpSocket::stateChanged, this, &RpcConnection::socketChanged);
    QObject::connect(&m_socket, &QTcpSocket::errorOccurred, this, &RpcConnection::socketError);
}

RpcConnection::~RpcConnection()
{
    QObject::disconnect(&m_socket, nullptr, this, nullptr);
    QObject::disconnect(&m_timer, nullptr, this, nullptr);
    if (m_enabled)
        shutdown("disconnect");
}

void RpcConnection::setTickInterval(int ms)
{
    g_tickInterval = ms > 0 ? ms : 1000;
}

int RpcConnection::tickInterval()
{
    return g_tickInterval;
}

LogLine RpcConnection::lineStart(const char* className, const char* method) const
{
    LogLine line;
    line << className << "::" << method << "(address=" << m_address << ":" << m_port;
    return line;
}

void RpcConnection::logLine(const char* className, const char* method, const char* extra) const
{
    logLine(className, method, [extra](LogLine& line) { line << extra; });
}

void RpcConnection::logCritical(const char* className, const char* method, int error) const
{
    (lineStart(className, method) << ", error=" << error << ")").writeError();
}

bool RpcConnection::send(const RpcMessage& message)
{
    if (m_state != ConnectedState || message.type() == RpcMessage::Invalid)
        return false;
    std::string body;
    if (message.command().verb != TCommand::NoVerb && TCommand::write(message.command(), body) != 0)
        return false;
    logLine("RpcConnection", "send", [&](LogLine& line) {
        appendHeader(line, message.id(), message.type(), message.errorCode());
        appendBody(line, body);
    });
    return writeFrame(RpcMessage::frame(message.id(), message.type(), message.errorCode(), body));
}

bool RpcConnection::writeFrame(const QByteArray& frame)
{
    const bool queued = m_socket.write(frame) != -1;
    // Out now rather than on the next pass of the event loop. A failing
    // flush takes the link down at once.
    m_socket.flush();
    return queued && m_state == ConnectedState;
}

RpcAsyncCall RpcConnection::asyncCall(const RpcMessage& request, int timeoutSeconds)
{
    // Ids run 1 .. INT_MAX, then 0; one is used up even by a refused call.
    quint32 next = quint32(m_lastId) + 1;
    if (next > quint32(INT_MAX))
        next = 0;
    m_lastId = qint32(next);
    const qint32 id = m_lastId;

    RpcAsyncCall call = RpcAsyncCall::create(id);
    RpcAsyncCall::Data* record = call.data();
    if (m_state != ConnectedState) {
        record->errorCode = NotConnectedError;
        return call;
    }
    if (request.type() != RpcMessage::Request) {
        record->errorCode = NotRequestError;
        return call;
    }
    std::string body;
    if (TCommand::write(request.command(), body) != 0) {
        record->errorCode = EncodeError;
        return call;
    }
    logLine("RpcConnection", "asyncCall", [&](LogLine& line) {
        appendHeader(line, id, request.type(), 0);
        appendBody(line, body);
        line << ", timeout=" << timeoutSeconds;
    });
    if (!writeFrame(RpcMessage::frame(id, RpcMessage::Request, 0, body))) {
        record->errorCode = SocketError;
        return call;
    }
    record->setCallKind(request.command());
    record->startTimeout(timeoutSeconds);
    m_pendingCalls.insert(uint(id), call);
    return call;
}

void RpcConnection::completeCall(const RpcAsyncCall& call, int code)
{
    finishCall(call, RpcAsyncCall::Succeeded, code);
}

void RpcConnection::failCall(const RpcAsyncCall& call, int code)
{
    finishCall(call, RpcAsyncCall::Failed, code);
}

void RpcConnection::finishCall(const RpcAsyncCall& call, quint32 state, int code)
{
    RpcAsyncCall::Data* record = call.data();
    if (!record)
        return;
    record->state = state;
    record->errorCode = code;
    if (record->watcherHelper)
        emit record->watcherHelper->finished();
    emit messageCompleted(call.reply());
}

void RpcConnection::cancelPendingCalls()
{
    logLine("RpcConnection", "cancelPendingCalls");
    // Empty the map first: a call issued by a receiver below stays pending.
    const QMap<uint, RpcAsyncCall> taken = std::exchange(m_pendingCalls, {});
    for (auto it = taken.cbegin(); it != taken.cend(); ++it) {
        logLine("RpcConnection", "cancelPendingCalls",
                [&](LogLine& line) { line << ", canceling message " << qint32(it.key()); });
        failCall(it.value(), CanceledError);
    }
    notifyDeferredSignals();
}

void RpcConnection::notifyDeferredSignals()
{
    if (!m_pendingCalls.isEmpty())
        return;
    while (!m_deferredSignals.isEmpty()) {
        const RpcMessage message = m_deferredSignals.takeFirst();
        logLine("RpcConnection", "notifyDeferredSignals",
                [&](LogLine& line) { line << ", dequeue message id=" << message.id(); });
        emit messageReceived(message);
    }
}

void RpcConnection::notifyStateChanged(ConnectionState state)
{
    logLine("RpcConnection", "notifyStateChanged", [state](LogLine& line) { line << ", state=" << state; });
    emit stateChanged(state);
}

void RpcConnection::notifyErrorOccurred(int code)
{
    logCritical("RpcConnection", "notifyErrorOccurred", code);
    emit errorOccurred(ConnectionError(code));
}

void RpcConnection::socketRead()
{
    // Taken from the socket no further than the frame under assembly: a
    // receiver of a frame may wait in a nested event loop, where new bytes
    // run this again and it must go on from exactly here, in stream order.
    // Once a receiver has disconnected, what is left belongs to a link that
    // is gone.
    char chunk[4096];
    while (m_socket.bytesAvailable() > 0) {
        const quint32 wanted = m_reader.wanted();
        if (wanted == 0) {
            m_socket.skip(m_socket.bytesAvailable());  // the reader has stopped
            break;
        }
        const qint64 n = m_socket.read(chunk, qMin<qint64>(wanted, qint64(sizeof chunk)));
        if (n <= 0)
            break;
        const quint32 generation = m_reader.generation;
        m_reader.feed(chunk, quint32(n));
        if (m_reader.generation != generation && !m_enabled)
            break;
    }
}

void RpcConnection::timerEvent()
{
    // Move the expired calls out before failing any: receivers may re-enter.
    QList<RpcAsyncCall> expired;
    for (auto it = m_pendingCalls.begin(); it != m_pendingCalls.end();) {
        RpcAsyncCall::Data* record = it.value().data();
        if (!record || record->isTimedOut()) {
            if (record)
                expired.append(it.value());
            it = m_pendingCalls.erase(it);
        } else {
            ++it;
        }
    }
    for (const RpcAsyncCall& call : std::as_const(expired)) {
        logLine("RpcConnection", "timerEvent",
                [&](LogLine& line) { line << ", time out on message " << call.id(); });
        failCall(call, TimeoutError);
    }
    notifyDeferredSignals();
}

void RpcConnection::socketConnected()
{
    m_state = ConnectedState;
    notifyStateChanged(ConnectedState);
}

void RpcConnection::socketChanged(QAbstractSocket::SocketState socketState)
{
    ConnectionState mapped = UnconnectedState;
    switch (socketState) {
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        mapped = ConnectingState;
        break;
    case QAbstractSocket::ClosingState:
        mapped = ClosingState;
        break;
    default:
        // Connected included: state 3 comes only with connected().
        mapped = UnconnectedState;
        break;
    }
    if (mapped == m_state)
        return;
    m_state = mapped;
    notifyStateChanged(mapped);
    m_deferredSignals.clear();
    cancelPendingCalls();
}

void RpcConnection::socketError(QAbstractSocket::SocketError socketError)
{
    logCritical("RpcConnection", "socketError", int(socketError));
    notifyErrorOccurred(SocketError);
}

void RpcConnection::shutdown(const char* method)
{
    m_enabled = false;
    logLine("RpcClientConnection", method, ", disconnecting from host");
    m_timer.stop();
    m_reader.clear();
    m_deferredSignals.clear();
    cancelPendingCalls();
    switch (m_socket.state()) {
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        m_socket.abort();
        break;
    case QAbstractSocket::ConnectedState:
        m_socket.disconnectFromHost();
        break;
    default:
        break;
    }
}

void RpcConnection::parserReady(const char* frame, quint32 size)
{
    if (!frame || size < quint32(RpcMessage::HeaderSize))
        return;
    const quint32 length = headerWord(frame, 8);
    const qint32 id = qint32(headerWord(frame, 12));
    const quint32 type = headerWord(frame, 16);
    const qint32 errorCode = qint32(headerWord(frame, 20));
    logLine("RpcConnection", "parserReady", [&](LogLine& line) { appendHeader(line, id, type, errorCode); });

    // Only a frame of at least 25 bytes that the reader delivered whole has a body.
    const bool hasBody = length > quint32(RpcMessage::HeaderSize) && length == size;

    switch (type) {
    case RpcMessage::Request:
    case RpcMessage::Signal: {
        TCommand command;
        if (!hasBody) {
            notifyErrorOccurred(BadMessageError);
            break;
        }
        const std::string body(frame + RpcMessage::HeaderSize, length - RpcMessage::HeaderSize);
        if (TCommand::parse(body, command) != 0) {
            notifyErrorOccurred(BadMessageError);
            break;
        }
        logLine("RpcConnection", "parserReady", [&](LogLine& line) { appendBody(line, body); });
        const RpcMessage message(id, type, 0, command);
        if (type == RpcMessage::Signal && m_deferSignals && !m_pendingCalls.isEmpty()) {
            logLine("RpcConnection", "parserReady",
                    [id](LogLine& line) { line << ", enqueue message id=" << id; });
            m_deferredSignals.append(message);
        } else {
            emit messageReceived(message);
        }
        break;
    }
    case RpcMessage::Reply:
    case RpcMessage::ErrorReply:
        dispatchReply(hasBody ? frame : nullptr, hasBody ? length : 0, id, errorCode,
                      type == RpcMessage::ErrorReply);
        break;
    default:
        notifyErrorOccurred(UnknownTypeError);
        break;
    }
    notifyDeferredSignals();
}

void RpcConnection::dispatchReply(const char* frame, quint32 length, qint32 id, qint32 errorCode,
                                  bool errorReply)
{
    const auto it = m_pendingCalls.constFind(uint(id));
    if (it == m_pendingCalls.cend())
        return;  // a late reply to a call that timed out or was cancelled
    const RpcAsyncCall call = it.value();
    RpcAsyncCall::Data* record = call.data();
    // Every outcome but a partial reply ends the call. The entry goes before
    // the call finishes: its receivers may issue new calls at once.
    const auto finish = [this, id] { m_pendingCalls.remove(uint(id)); };
    if (!record) {
        finish();
        notifyErrorOccurred(InvalidCallError);
        return;
    }

    if (errorReply) {
        finish();
        // A code of 0 would read as success; the unit sent no usable outcome.
        if (errorCode == 0) {
            failCall(call, BadMessageError);
            notifyErrorOccurred(BadMessageError);
        } else {
            failCall(call, errorCode);
        }
        return;
    }

    TCommand reply;
    const std::string body = frame ? std::string(frame + RpcMessage::HeaderSize,
                                                 length - RpcMessage::HeaderSize)
                                   : std::string();
    if (!frame || TCommand::parse(body, reply) != 0) {
        finish();
        failCall(call, BadMessageError);
        notifyErrorOccurred(BadMessageError);
        return;
    }
    logLine("RpcConnection", "parserReady", [&](LogLine& line) { appendBody(line, body); });

    const std::string outcome = *reply.param(wire::link::return_(), true);
    const char separator = *reply.param(wire::link::returnFmt(), true) == wire::link::ext() ? '\x1d' : ',';
    // LIST values arrive in pieces and are joined; anything else keeps the
    // first value the unit gave.
    const auto gather = [record, separator](TCommand& piece) {
        if (record->reply.params.empty())
            record->reply.params.swap(piece.params);  // nothing to join yet
        else if (record->kind == RpcAsyncCall::ListCall)
            record->reply.merge(piece, TCommand::Append, separator);
        else
            record->reply.merge(piece, TCommand::KeepExisting, separator);
    };

    if (outcome == wire::link::progress()) {
        // The call stays pending; its time-out keeps running.
        reply.params.erase(wire::link::return_());
        reply.params.erase(wire::link::returnFmt());
        gather(reply);
        return;
    }

    finish();
    if (outcome == wire::link::ok()) {
        record->reply.verb = reply.verb;
        gather(reply);
        completeCall(call, NoError);
    } else if (outcome == wire::link::error()) {
        // The call succeeds; the caller reads the outcome from "return".
        record->reply.verb = reply.verb;
        reply.params.erase(wire::link::return_());
        // An ERROR that names nothing is a refusal, never a success.
        bool realError = reply.params.empty();
        for (const auto& [key, value] : reply.params) {
            const bool notSet = value == wire::link::parameterNotSet();
            // A refused value counts even when a piece already gave the key.
            realError = realError || !notSet;
            record->reply.setParam(key, notSet ? std::string() : value, TCommand::KeepExisting);
        }
        record->reply.setParam(wire::link::return_(),
                               realError ? wire::link::error() : wire::link::ok(), TCommand::Replace);
        completeCall(call, NoError);
    } else {
        failCall(call, BadMessageError);
        notifyErrorOccurred(BadMessageError);
    }
}

RpcClientConnection::RpcClientConnection(QObject* parent)
    : RpcConnection(parent)
{
}

RpcClientConnection::~RpcClientConnection()
{
    QObject::disconnect(&m_socket, nullptr, this, nullptr);
    QObject::disconnect(&m_timer, nullptr, this, nullptr);
    disconnect();
}

void RpcClientConnection::connect(const QString& address, quint16 port)
{
    if (m_enabled)
        return;
    // A socket still closing from a disconnect just before would refuse to
    // connect; drop it while reconnection is off.
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.abort();
    m_enabled = true;
    m_retryCountdown = -1;
    m_address = address;
    m_port = port;
    logLine("RpcClientConnection", "connect", ", connecting to host");
    m_reader.clear();
    m_timer.start(g_tickInterval);
    m_socket.connectToHost(QHostAddress(address), port, QIODevice::ReadWrite);
}

void RpcClientConnection::disconnect()
{
    if (!m_enabled)
        return;
    shutdown("disconnect");
}

void RpcClientConnection::timerEvent()
{
    RpcConnection::timerEvent();
    if (!m_enabled || m_state != UnconnectedState || m_retryCountdown < 1)
        return;
    if (--m_retryCountdown > 0)
        return;
    logLine("RpcClientConnection", "timerEvent", ", connecting to host");
    // A frame cut by the drop must not poison the next connection.
    m_reader.clear();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.abort();
    m_socket.connectToHost(QHostAddress(m_address), m_port, QIODevice::ReadWrite);
}

void RpcClientConnection::socketConnected()
{
    RpcConnection::socketConnected();
    m_retryCountdown = -1;
}

void RpcClientConnection::socketChanged(QAbstractSocket::SocketState socketState)
{
    const ConnectionState before = m_state;
    RpcConnection::socketChanged(socketState);
    if (m_state == before || !m_enabled || m_state != UnconnectedState)
        return;
    m_retryCountdown = kRetryTicks;
    logLine("RpcClientConnection", "socketChanged", [](LogLine& line) {
        line << ", will retry connecting to host in " << kRetryTicks << " seconds";
    });
}
