#include "tests/support/unitsimulator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

namespace unitsim {

QByteArray magic()
{
    return QByteArrayLiteral("ORVARpcM");
}

QByteArray encodeHeader(qint32 id, quint32 type, qint32 errorCode, quint32 length)
{
    QByteArray out = magic();
    char word[4];
    qToLittleEndian<quint32>(length, word);
    out.append(word, 4);
    qToLittleEndian<quint32>(quint32(id), word);
    out.append(word, 4);
    qToLittleEndian<quint32>(type, word);
    out.append(word, 4);
    qToLittleEndian<quint32>(quint32(errorCode), word);
    out.append(word, 4);
    return out;
}

QByteArray encodeFrame(qint32 id, quint32 type, qint32 errorCode, const QByteArray& body)
{
    return encodeHeader(id, type, errorCode, quint32(kHeaderSize + body.size())) + body;
}

QList<SimFrame> FrameDecoder::feed(const QByteArray& bytes)
{
    QList<SimFrame> frames;
    if (m_failed)
        return frames;
    m_pending.append(bytes);
    while (m_pending.size() >= kHeaderSize) {
        if (!m_pending.startsWith(magic())) {
            m_failed = true;
            m_error = QStringLiteral("bad magic");
            m_pending.clear();
            break;
        }
        const auto* p = reinterpret_cast<const uchar*>(m_pending.constData());
        SimFrame f;
        f.length = qFromLittleEndian<quint32>(p + 8);
        f.id = qint32(qFromLittleEndian<quint32>(p + 12));
        f.type = qFromLittleEndian<quint32>(p + 16);
        f.errorCode = qint32(qFromLittleEndian<quint32>(p + 20));
        if (f.length > kMaxFrameLength) {
            m_failed = true;
            m_error = QStringLiteral("frame length %1 too large").arg(f.length);
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

} // namespace unitsim

struct UnitSimulator::Rule
{
    enum Match { Exact, Pattern };
    Match match = Exact;
    QByteArray exact;
    QRegularExpression pattern;
    Actions actions;
    int remaining = -1;

    bool matches(const SimFrame& request) const
    {
        switch (match) {
        case Exact:
            return request.body == exact;
        case Pattern:
            return pattern.match(QString::fromLatin1(request.body)).hasMatch();
        }
        return false;
    }
};

struct UnitSimulator::Client
{
    QPointer<QTcpSocket> socket;
    unitsim::FrameDecoder decoder;
    int number = 0;
};

UnitSimulator::Action UnitSimulator::frame(quint32 type, const QByteArray& body, qint32 errorCode,
                                           bool useRequestId, qint32 id)
{
    Action a;
    a.kind = Action::SendFrame;
    a.type = type;
    a.bytes = body;
    a.errorCode = errorCode;
    a.useRequestId = useRequestId;
    a.id = id;
    return a;
}

UnitSimulator::Action UnitSimulator::reply(const QByteArray& body)
{
    return frame(2, body);
}

UnitSimulator::Action UnitSimulator::errorReply(qint32 code, const QByteArray& body)
{
    return frame(3, body, code);
}

UnitSimulator::Action UnitSimulator::signal(const QByteArray& body, qint32 id)
{
    return frame(4, body, 0, false, id);
}

UnitSimulator::Action UnitSimulator::request(const QByteArray& body, qint32 id)
{
    return frame(1, body, 0, false, id);
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

UnitSimulator::Action UnitSimulator::dropMidFrame(const QByteArray& body, int keepBytes)
{
    Action a;
    a.kind = Action::DropMidFrame;
    a.type = 2;
    a.bytes = body;
    a.ms = keepBytes;
    return a;
}

UnitSimulator::UnitSimulator(QObject* parent)
    : QObject(parent)
{
}

UnitSimulator::~UnitSimulator()
{
    close();
    qDeleteAll(m_rules);
}

bool UnitSimulator::listen(const QHostAddress& address, quint16 port)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        QObject::connect(m_server, &QTcpServer::newConnection, this, &UnitSimulator::onNewConnection);
    }
    if (m_server->isListening())
        m_server->close();
    return m_server->listen(address, port);
}

void UnitSimulator::close()
{
    qDeleteAll(m_periodic);
    m_periodic.clear();
    if (m_server)
        m_server->close();
    const auto clients = m_clients;
    for (Client* c : clients) {
        if (c->socket) {
            c->socket->disconnect(this);
            c->socket->abort();
            c->socket->deleteLater();
        }
        m_clients.removeOne(c);
        delete c;
    }
}

bool UnitSimulator::isListening() const
{
    return m_server && m_server->isListening();
}

quint16 UnitSimulator::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

QHostAddress UnitSimulator::address() const
{
    return m_server ? m_server->serverAddress() : QHostAddress();
}

void UnitSimulator::onRequest(const QByteArray& exactBody, const Actions& actions, int times)
{
    auto* r = new Rule;
    r->match = Rule::Exact;
    r->exact = exactBody;
    r->actions = actions;
    r->remaining = times;
    m_rules.prepend(r);
}

void UnitSimulator::onRequestMatching(const QRegularExpression& pattern, const Actions& actions, int times)
{
    auto* r = new Rule;
    r->match = Rule::Pattern;
    r->pattern = pattern;
    r->actions = actions;
    r->remaining = times;
    m_rules.prepend(r);
}

void UnitSimulator::setDefaultActions(const Actions& actions)
{
    m_defaultActions = actions;
}

void UnitSimulator::setConnectActions(const Actions& actions)
{
    m_connectActions = actions;
}

void UnitSimulator::addPeriodicActions(int ms, const Actions& actions)
{
    auto* t = new QTimer(this);
    t->setInterval(qMax(1, ms));
    QObject::connect(t, &QTimer::timeout, this, [this, actions] {
        if (Client* c = current())
            execute(c->socket, -1, actions);
    });
    t->start();
    m_periodic.append(t);
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

void UnitSimulator::pushSignal(const QByteArray& body, qint32 id)
{
    run({signal(body, id)});
}

void UnitSimulator::sendFrame(qint32 id, quint32 type, qint32 errorCode, const QByteArray& body)
{
    run({frame(type, body, errorCode, false, id)});
}

void UnitSimulator::sendRaw(const QByteArray& bytes)
{
    run({raw(bytes)});
}

void UnitSimulator::run(const Actions& actions)
{
    if (Client* c = current())
        execute(c->socket, -1, actions);
}

void UnitSimulator::dropClient()
{
    run({drop()});
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

void UnitSimulator::onNewConnection()
{
    while (QTcpSocket* s = m_server->nextPendingConnection()) {
        auto* c = new Client;
        c->socket = s;
        c->number = ++m_connections;
        m_clients.append(c);
        QObject::connect(s, &QTcpSocket::readyRead, this, [this, c] { onReadyRead(c); });
        QObject::connect(s, &QTcpSocket::disconnected, this, [this, c] { onClientGone(c); });
        if (!m_connectActions.isEmpty())
            execute(c->socket, -1, m_connectActions);
    }
}

void UnitSimulator::onClientGone(Client* client)
{
    if (!m_clients.contains(client))
        return;
    m_clients.removeOne(client);
    if (client->socket) {
        client->socket->disconnect(this);
        client->socket->deleteLater();
    }
    delete client;
}

void UnitSimulator::onReadyRead(Client* client)
{
    if (!client->socket)
        return;
    const QList<SimFrame> frames = client->decoder.feed(client->socket->readAll());
    // A frame's handler may drop the connection; keep the socket alive meanwhile.
    QPointer<QTcpSocket> socket = client->socket;
    const int number = client->number;
    for (SimFrame f : frames) {
        // An answer may drop the connection and free the client.
        if (!socket || !m_clients.contains(client))
            return;
        f.connection = number;
        m_received.append(f);
        emit frameReceived(f);
        if (f.type == 1 && socket && m_clients.contains(client))
            answer(client, f);
    }
    if (!socket || !m_clients.contains(client))
        return;
    if (client->decoder.failed()) {
        qWarning("UnitSimulator: %s, dropping the client", qPrintable(client->decoder.error()));
        socket->abort();
    }
}

void UnitSimulator::answer(Client* client, const SimFrame& request)
{
    for (int i = 0; i < m_rules.size(); ++i) {
        Rule* r = m_rules.at(i);
        if (!r->matches(request))
            continue;
        const Actions actions = r->actions;
        if (r->remaining > 0 && --r->remaining == 0) {
            m_rules.removeAt(i);
            delete r;
        }
        execute(client->socket, request.id, actions);
        return;
    }
    execute(client->socket, request.id, m_defaultActions);
}

void UnitSimulator::execute(QPointer<QTcpSocket> socket, qint32 requestId, Actions actions)
{
    while (!actions.isEmpty()) {
        if (!socket || socket->state() != QAbstractSocket::ConnectedState)
            return;
        const Action a = actions.takeFirst();
        switch (a.kind) {
        case Action::SendFrame:
            socket->write(unitsim::encodeFrame(a.useRequestId ? requestId : a.id, a.type,
                                               a.errorCode, a.bytes));
            socket->flush();
            break;
        case Action::SendRaw:
            socket->write(a.bytes);
            socket->flush();
            break;
        case Action::Delay:
            QTimer::singleShot(qMax(0, a.ms), this, [this, socket, requestId, actions] {
                execute(socket, requestId, actions);
            });
            return;
        case Action::Drop:
            // A graceful close: the peer still reads what was written before.
            socket->disconnectFromHost();
            return;
        case Action::DropMidFrame: {
            const QByteArray f = unitsim::encodeFrame(requestId, a.type, 0, a.bytes);
            const int keep = a.ms < 0 ? int(f.size() / 2) : qMin<int>(a.ms, int(f.size()));
            socket->write(f.left(keep));
            socket->disconnectFromHost();
            return;
        }
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

bool UnitSimulator::waitForConnections(int count, int timeoutMs)
{
    return waitUntil([this, count] { return m_connections >= count; }, timeoutMs);
}

bool UnitSimulator::waitForRequests(int count, int timeoutMs)
{
    return waitUntil([this, count] { return requests().size() >= count; }, timeoutMs);
}

bool UnitSimulator::waitForFrames(int count, int timeoutMs)
{
    return waitUntil([this, count] { return m_received.size() >= count; }, timeoutMs);
}

bool UnitSimulator::waitForDisconnect(int timeoutMs)
{
    return waitUntil([this] { return !hasClient(); }, timeoutMs);
}

static bool parseActionLine(const QString& line, UnitSimulator::Action* action, QString* why)
{
    const QString word = line.section(QLatin1Char(' '), 0, 0);
    const QString rest = line.section(QLatin1Char(' '), 1);
    bool ok = true;
    if (word == QLatin1String("reply")) {
        *action = UnitSimulator::reply(rest.toLatin1());
    } else if (word == QLatin1String("signal")) {
        *action = UnitSimulator::signal(rest.toLatin1());
    } else if (word == QLatin1String("request")) {
        *action = UnitSimulator::request(rest.toLatin1());
    } else if (word == QLatin1String("error")) {
        const int code = rest.section(QLatin1Char(' '), 0, 0).toInt(&ok);
        *action = UnitSimulator::errorReply(code, rest.section(QLatin1Char(' '), 1).toLatin1());
    } else if (word == QLatin1String("delay")) {
        const int ms = rest.toInt(&ok);
        ok = ok && ms >= 0;
        *action = UnitSimulator::delay(ms);
    } else if (word == QLatin1String("raw")) {
        QString hex = rest;
        hex.remove(QLatin1Char(' '));
        const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
        ok = !bytes.isEmpty() && bytes.size() * 2 == hex.size();
        *action = UnitSimulator::raw(bytes);
    } else if (word == QLatin1String("drop") && rest.isEmpty()) {
        *action = UnitSimulator::drop();
    } else if (word == QLatin1String("dropmid")) {
        const int keep = rest.section(QLatin1Char(' '), 0, 0).toInt(&ok);
        *action = UnitSimulator::dropMidFrame(rest.section(QLatin1Char(' '), 1).toLatin1(), keep);
    } else {
        ok = false;
    }
    if (!ok)
        *why = QStringLiteral("bad action \"%1\"").arg(line);
    return ok;
}

bool UnitSimulator::loadScript(const QString& text, QString* error)
{
    enum Block { None, On, Match, Default, Connect, Every };
    struct Pending { Block block = None; QString arg; Actions actions; };
    QList<Pending> blocks;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        QString why;
        if (line.at(0).isSpace()) {
            Action a;
            if (blocks.isEmpty())
                why = QStringLiteral("action outside a block");
            else if (parseActionLine(trimmed, &a, &why))
                blocks.last().actions.append(a);
        } else {
            const QString word = line.section(QLatin1Char(' '), 0, 0);
            Pending p;
            p.arg = line.section(QLatin1Char(' '), 1);
            if (word == QLatin1String("on") && !p.arg.isEmpty()) {
                p.block = On;
            } else if (word == QLatin1String("match") && !p.arg.isEmpty()) {
                p.block = Match;
                if (!QRegularExpression(p.arg).isValid())
                    why = QStringLiteral("bad pattern \"%1\"").arg(p.arg);
            } else if (word == QLatin1String("default") && p.arg.isEmpty()) {
                p.block = Default;
            } else if (word == QLatin1String("connect") && p.arg.isEmpty()) {
                p.block = Connect;
            } else if (word == QLatin1String("every") && p.arg.toInt() > 0) {
                p.block = Every;
            } else {
                why = QStringLiteral("bad block \"%1\"").arg(line);
            }
            blocks.append(p);
        }
        if (!why.isEmpty()) {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(n + 1).arg(why);
            return false;
        }
    }
    // Earlier lines of a script take precedence, as a reader expects.
    for (auto it = blocks.crbegin(); it != blocks.crend(); ++it) {
        switch (it->block) {
        case On:
            onRequest(it->arg.toLatin1(), it->actions);
            break;
        case Match:
            onRequestMatching(QRegularExpression(it->arg), it->actions);
            break;
        case Default:
            setDefaultActions(it->actions);
            break;
        case Connect:
            setConnectActions(it->actions);
            break;
        case Every:
            addPeriodicActions(it->arg.toInt(), it->actions);
            break;
        case None:
            break;
        }
    }
    return true;
}
