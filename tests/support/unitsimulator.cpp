#include "tests/support/unitsimulator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

namespace {

constexpr int kHeaderSize = 24;
constexpr quint32 kMaxFrameLength = 64u * 1024u * 1024u;
const QByteArray kMagic("ORVARpcM");

void appendWord(QByteArray& out, quint32 value)
{
    char word[4];
    qToLittleEndian<quint32>(value, word);
    out.append(word, 4);
}

UnitSimulator::Action frameAction(quint32 type, const QByteArray& body, qint32 errorCode, bool useRequestId,
                                  qint32 id)
{
    UnitSimulator::Action a;
    a.type = type;
    a.bytes = body;
    a.errorCode = errorCode;
    a.useRequestId = useRequestId;
    a.id = id;
    return a;
}

// Cuts a byte stream into frames; a bad magic or an absurd length stops it.
class FrameDecoder
{
public:
    QList<SimFrame> feed(const QByteArray& bytes)
    {
        QList<SimFrame> frames;
        if (failed)
            return frames;
        m_pending.append(bytes);
        while (m_pending.size() >= kHeaderSize) {
            const auto* p = reinterpret_cast<const uchar*>(m_pending.constData());
            SimFrame f;
            f.length = qFromLittleEndian<quint32>(p + 8);
            f.id = qint32(qFromLittleEndian<quint32>(p + 12));
            f.type = qFromLittleEndian<quint32>(p + 16);
            f.errorCode = qint32(qFromLittleEndian<quint32>(p + 20));
            if (!m_pending.startsWith(kMagic) || f.length > kMaxFrameLength) {
                failed = true;
                m_pending.clear();
                break;
            }
            // A length below the header size still takes up the header.
            const qsizetype total = qMax<qsizetype>(kHeaderSize, f.length);
            if (m_pending.size() < total)
                break;
            f.body = m_pending.mid(kHeaderSize, total - kHeaderSize);
            m_pending.remove(0, total);
            frames.append(f);
        }
        return frames;
    }
    bool failed = false;

private:
    QByteArray m_pending;
};

} // namespace

namespace unitsim {

namespace {

// One block for the header and what follows it.
QByteArray header(qint32 id, quint32 type, qint32 errorCode, quint32 length, qsizetype reserve)
{
    QByteArray out;
    out.reserve(reserve);
    out.append(kMagic);
    appendWord(out, length);
    appendWord(out, quint32(id));
    appendWord(out, type);
    appendWord(out, quint32(errorCode));
    return out;
}

} // namespace

QByteArray encodeHeader(qint32 id, quint32 type, qint32 errorCode, quint32 length)
{
    return header(id, type, errorCode, length, kHeaderSize);
}

QByteArray encodeFrame(qint32 id, quint32 type, qint32 errorCode, const QByteArray& body)
{
    const qsizetype size = kHeaderSize + body.size();
    return header(id, type, errorCode, quint32(size), size).append(body);
}

} // namespace unitsim

struct UnitSimulator::Client
{
    QPointer<QTcpSocket> socket;
    FrameDecoder decoder;
    int number = 0;
};

UnitSimulator::Action UnitSimulator::reply(const QByteArray& body)
{
    return frameAction(2, body, 0, true, -1);
}

UnitSimulator::Action UnitSimulator::errorReply(qint32 code, const QByteArray& body)
{
    return frameAction(3, body, code, true, -1);
}

UnitSimulator::Action UnitSimulator::signal(const QByteArray& body, qint32 id)
{
    return frameAction(4, body, 0, false, id);
}

UnitSimulator::Action UnitSimulator::raw(const QByteArray& bytes)
{
    Action a;
    a.kind = Action::SendRaw;
    a.bytes = bytes;
    return a;
}

UnitSimulator::Action UnitSimulator::delay(int ms)
{
    Action a;
    a.kind = Action::Delay;
    a.ms = ms;
    return a;
}

UnitSimulator::Action UnitSimulator::drop()
{
    Action a;
    a.kind = Action::Drop;
    return a;
}

UnitSimulator::UnitSimulator(QObject* parent)
    : QObject(parent)
{
}

UnitSimulator::~UnitSimulator()
{
    close();
}

bool UnitSimulator::listen(const QHostAddress& address, quint16 port)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        QObject::connect(m_server, &QTcpServer::newConnection, this, &UnitSimulator::onNewConnection);
    }
    m_server->close();
    return m_server->listen(address, port);
}

void UnitSimulator::close()
{
    if (m_server)
        m_server->close();
    for (Client* c : std::as_const(m_clients)) {
        if (c->socket) {
            c->socket->disconnect(this);
            c->socket->abort();
            c->socket->deleteLater();
        }
        delete c;
    }
    m_clients.clear();
}

quint16 UnitSimulator::port() const
{
    return m_server && m_server->isListening() ? m_server->serverPort() : 0;
}

void UnitSimulator::addRule(Rule rule)
{
    m_rules.prepend(rule);
}

void UnitSimulator::onRequest(const QByteArray& exactBody, const Actions& actions, int times)
{
    addRule({exactBody, QRegularExpression(), actions, times});
}

void UnitSimulator::onRequestMatching(const QRegularExpression& pattern, const Actions& actions, int times)
{
    addRule({QByteArray(), pattern, actions, times});
}

void UnitSimulator::setDefaultActions(const Actions& actions)
{
    m_defaultActions = actions;
}

UnitSimulator::Client* UnitSimulator::current() const
{
    for (auto it = m_clients.crbegin(); it != m_clients.crend(); ++it) {
        if ((*it)->socket && (*it)->socket->state() == QAbstractSocket::ConnectedState)
            return *it;
    }
    return nullptr;
}

bool UnitSimulator::hasClient() const
{
    return current() != nullptr;
}

void UnitSimulator::run(const Actions& actions)
{
    if (Client* c = current())
        execute(c->socket, -1, actions);
}

void UnitSimulator::pushSignal(const QByteArray& body, qint32 id)
{
    run({signal(body, id)});
}

void UnitSimulator::sendRaw(const QByteArray& bytes)
{
    run({raw(bytes)});
}

QList<SimFrame> UnitSimulator::requests() const
{
    QList<SimFrame> out;
    for (const SimFrame& f : m_received) {
        if (f.type == 1)
            out.append(f);
    }
    return out;
}

QByteArrayList UnitSimulator::requestBodies() const
{
    QByteArrayList out;
    for (const SimFrame& f : m_received) {
        if (f.type == 1)
            out.append(f.body);
    }
    return out;
}

QByteArrayList UnitSimulator::takeRequestBodies()
{
    const QByteArrayList out = requestBodies();
    clearReceived();
    return out;
}

void UnitSimulator::onNewConnection()
{
    while (QTcpSocket* s = m_server->nextPendingConnection()) {
        // A reply in pieces must not wait on the peer's delayed acknowledgement.
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto* c = new Client;
        c->socket = s;
        c->number = ++m_connections;
        m_clients.append(c);
        QObject::connect(s, &QTcpSocket::readyRead, this, [this, c] { onReadyRead(c); });
        QObject::connect(s, &QTcpSocket::disconnected, this, [this, c] { onClientGone(c); });
    }
}

void UnitSimulator::onClientGone(Client* client)
{
    if (!m_clients.removeOne(client))
        return;
    if (client->socket) {
        client->socket->disconnect(this);
        client->socket->deleteLater();
    }
    delete client;
}

void UnitSimulator::onReadyRead(Client* client)
{
    // Not readAll(), which sets out with a block far larger than a request.
    QTcpSocket* socket = client->socket;
    const QList<SimFrame> frames = client->decoder.feed(socket->read(socket->bytesAvailable()));
    for (SimFrame f : frames) {
        // An answer may drop the connection and free the client.
        if (!m_clients.contains(client) || !client->socket)
            return;
        f.connection = client->number;
        m_received.append(f);
        if (f.type == 1)
            answer(client, f);
    }
    if (m_clients.contains(client) && client->socket && client->decoder.failed) {
        qWarning("UnitSimulator: undecodable input, dropping the client");
        client->socket->abort();
    }
}

void UnitSimulator::answer(Client* client, const SimFrame& request)
{
    for (int i = 0; i < m_rules.size(); ++i) {
        Rule& r = m_rules[i];
        const bool matches = r.pattern.pattern().isEmpty()
                                 ? request.body == r.exact
                                 : r.pattern.match(QString::fromLatin1(request.body)).hasMatch();
        if (!matches)
            continue;
        const Actions actions = r.actions;
        if (r.remaining > 0 && --r.remaining == 0)
            m_rules.removeAt(i);
        execute(client->socket, request.id, actions);
        return;
    }
    execute(client->socket, request.id, m_defaultActions);
}

void UnitSimulator::execute(QPointer<QTcpSocket> socket, qint32 requestId, const Actions& actions, int from)
{
    for (int i = from; i < actions.size(); ++i) {
        if (!socket || socket->state() != QAbstractSocket::ConnectedState)
            return;
        const Action& a = actions.at(i);
        const qint32 id = a.useRequestId ? requestId : a.id;
        switch (a.kind) {
        case Action::SendFrame:
            socket->write(unitsim::encodeFrame(id, a.type, a.errorCode, a.bytes));
            socket->flush();
            break;
        case Action::SendRaw:
            socket->write(a.bytes);
            socket->flush();
            break;
        case Action::Delay:
            QTimer::singleShot(qMax(0, a.ms), this,
                               [this, socket, requestId, actions, i] { execute(socket, requestId, actions, i + 1); });
            return;
        case Action::Drop:
            socket->disconnectFromHost();
            return;
        }
    }
}

bool UnitSimulator::waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

bool UnitSimulator::waitForClient(int timeoutMs)
{
    return waitUntil([this] { return hasClient(); }, timeoutMs);
}

bool UnitSimulator::waitForRequests(int count, int timeoutMs)
{
    return waitUntil([this, count] { return requests().size() >= count; }, timeoutMs);
}

bool UnitSimulator::waitForDisconnect(int timeoutMs)
{
    return waitUntil([this] { return !hasClient(); }, timeoutMs);
}
