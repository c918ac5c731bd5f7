// A scripted stand-in for the unit: a real TCP server that speaks the unit's
// RPC framing with its own encoder and decoder (deliberately not the
// program's), so tests exercise the real link against an independent peer.
//
//   UnitSimulator unit;
//   QVERIFY(unit.listen());                         // 127.0.0.1, ephemeral port
//   unit.onRequest("PARAM;target:general;GET:device;",
//                  {UnitSimulator::reply("PARAM;device:Velto;return:OK;")});
//   unit.onRequestMatching(QRegularExpression("^DO;"),
//                  {UnitSimulator::reply("DO;return:PROGRESS;"), UnitSimulator::delay(200),
//                   UnitSimulator::reply("DO;return:OK;")});
//   link.connect("127.0.0.1", unit.port());
//   QVERIFY(unit.waitForClient());
//   unit.pushSignal("EVENT;event_type:rebooting;");
//   QVERIFY(unit.waitForRequests(1));
//
// Replies echo the id of the request they answer. A request that matches no
// rule gets the default actions (none: the unit stays silent). Rules added
// later take precedence. Everything runs in the thread that owns the
// simulator; the wait functions spin its event loop.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRegularExpression>

#include <functional>

class QTcpServer;
class QTcpSocket;

// One frame as seen on the wire.
struct SimFrame
{
    qint32 id = -1;
    quint32 type = 0;
    qint32 errorCode = 0;
    quint32 length = 0;       // the header's length field
    QByteArray body;          // the body bytes as sent, no terminator
    int connection = 0;       // which accepted connection carried it (1, 2, ...)
};

// The simulator's own framing, independent of the program's.
namespace unitsim {
QByteArray encodeFrame(qint32 id, quint32 type, qint32 errorCode, const QByteArray& body);
// A header whose length field says whatever the caller wants (for bad-peer tests).
QByteArray encodeHeader(qint32 id, quint32 type, qint32 errorCode, quint32 length);
} // namespace unitsim

class UnitSimulator : public QObject
{
public:
    // One step of the unit's answer to a request, or of a pushed sequence.
    struct Action
    {
        enum Kind { SendFrame, SendRaw, Delay, Drop };
        Kind kind = SendFrame;
        quint32 type = 2;
        qint32 errorCode = 0;
        bool useRequestId = true;   // echo the request's id
        qint32 id = -1;             // used when useRequestId is false
        QByteArray bytes;           // body for frames, raw bytes for SendRaw
        int ms = 0;                 // Delay: milliseconds
    };
    using Actions = QList<Action>;

    static Action reply(const QByteArray& body);                        // type 2
    static Action errorReply(qint32 code, const QByteArray& body = {});  // type 3
    static Action signal(const QByteArray& body, qint32 id = -1);       // type 4
    static Action raw(const QByteArray& bytes);
    static Action delay(int ms);
    // A graceful close: the peer still reads what was written before.
    static Action drop();

    explicit UnitSimulator(QObject* parent = nullptr);
    ~UnitSimulator() override;

    bool listen(const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 0);
    void close();                      // stops listening and drops every client
    quint16 port() const;              // 0 while not listening

    // times < 0: the rule stays; otherwise it is used that many times.
    void onRequest(const QByteArray& exactBody, const Actions& actions, int times = -1);
    void onRequestMatching(const QRegularExpression& pattern, const Actions& actions, int times = -1);
    void setDefaultActions(const Actions& actions);
    // Forgets every rule: requests get the default actions until new rules come.
    void clearRules() { m_rules.clear(); }

    // Live control of the current (most recent) client.
    void run(const Actions& actions);
    void pushSignal(const QByteArray& body, qint32 id = -1);
    void sendRaw(const QByteArray& bytes);
    bool hasClient() const;
    int connectionCount() const { return m_connections; }

    // Everything received, in arrival order, over all connections.
    QList<SimFrame> received() const { return m_received; }
    QList<SimFrame> requests() const;  // type 1 only
    QByteArrayList requestBodies() const;
    // The request bodies, forgetting everything received.
    QByteArrayList takeRequestBodies();
    void clearReceived() { m_received.clear(); }

    // Each spins the event loop until the condition holds or the time is up.
    bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
    bool waitForClient(int timeoutMs = 5000);
    bool waitForRequests(int count, int timeoutMs = 5000);  // frames of type 1 in total
    bool waitForDisconnect(int timeoutMs = 5000);

private:
    struct Rule
    {
        QByteArray exact;            // used when pattern is empty
        QRegularExpression pattern;
        Actions actions;
        int remaining = -1;
    };
    struct Client;
    void addRule(Rule rule);
    void onNewConnection();
    void onReadyRead(Client* client);
    void onClientGone(Client* client);
    void answer(Client* client, const SimFrame& request);
    void execute(QPointer<QTcpSocket> socket, qint32 requestId, const Actions& actions, int from = 0);
    Client* current() const;

    QTcpServer* m_server = nullptr;
    QList<Rule> m_rules;
    QList<Client*> m_clients;
    Actions m_defaultActions;
    QList<SimFrame> m_received;
    int m_connections = 0;
};
