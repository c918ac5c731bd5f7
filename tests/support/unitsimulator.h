// A scripted stand-in for the unit: a real TCP server that speaks the unit's
// RPC framing with its own encoder and decoder (deliberately not the
// program's), so tests exercise the real link against an independent peer.
//
// Usage:
//   UnitSimulator unit;
//   QVERIFY(unit.listen());                         // 127.0.0.1, ephemeral port
//   unit.onRequest("PARAM;target:general;GET:device;",
//                  {UnitSimulator::reply("PARAM;device:Velto;return:OK;")});
//   unit.onRequestMatching(QRegularExpression("^DO;"),
//                  {UnitSimulator::reply("DO;return:PROGRESS;"),
//                   UnitSimulator::delay(200),
//                   UnitSimulator::reply("DO;return:OK;")});
//   unit.onRequestMatching(QRegularExpression("reboot"), {UnitSimulator::errorReply(204)});
//   link.connect("127.0.0.1", unit.port());
//   QVERIFY(unit.waitForClient());
//   unit.pushSignal("EVENT;event_type:rebooting;");
//   QVERIFY(unit.waitForRequests(1));
//   QCOMPARE(unit.received().first().body, QByteArray("PARAM;..."));
//
// Replies echo the id of the request they answer. A request that matches no
// rule gets the default actions (none: the unit stays silent). Rules added
// later take precedence over earlier ones. Everything runs in the thread
// that owns the simulator; the wait functions spin its event loop.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRegularExpression>
#include <QString>

#include <functional>

class QTcpServer;
class QTcpSocket;
class QTimer;

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
constexpr int kHeaderSize = 24;
constexpr quint32 kMaxFrameLength = 64u * 1024u * 1024u;
QByteArray magic();
QByteArray encodeFrame(qint32 id, quint32 type, qint32 errorCode, const QByteArray& body);
// A header whose length field says whatever the caller wants (for bad-peer tests).
QByteArray encodeHeader(qint32 id, quint32 type, qint32 errorCode, quint32 length);

// Cuts a byte stream into frames. A bad magic or an absurd length stops it.
class FrameDecoder
{
public:
    QList<SimFrame> feed(const QByteArray& bytes);
    bool failed() const { return m_failed; }
    QString error() const { return m_error; }

private:
    QByteArray m_pending;
    bool m_failed = false;
    QString m_error;
};
} // namespace unitsim

class UnitSimulator : public QObject
{
    Q_OBJECT
public:
    // One step of the unit's answer to a request, or of a scripted push.
    struct Action
    {
        enum Kind { SendFrame, SendRaw, Delay, Drop, DropMidFrame };
        Kind kind = SendFrame;
        quint32 type = 2;
        qint32 errorCode = 0;
        bool useRequestId = true;   // echo the request's id
        qint32 id = -1;             // used when useRequestId is false
        QByteArray bytes;           // body for frames, raw bytes for SendRaw
        int ms = 0;                 // Delay: milliseconds; DropMidFrame: bytes kept (-1 = half)
    };
    using Actions = QList<Action>;

    static Action reply(const QByteArray& body);                      // type 2
    static Action errorReply(qint32 code, const QByteArray& body = {}); // type 3
    static Action signal(const QByteArray& body, qint32 id = -1);      // type 4
    static Action request(const QByteArray& body, qint32 id = -1);     // type 1 from the unit
    static Action frame(quint32 type, const QByteArray& body, qint32 errorCode = 0,
                        bool useRequestId = true, qint32 id = -1);
    static Action raw(const QByteArray& bytes);
    static Action delay(int ms);
    static Action drop();
    // Sends the first keepBytes of a reply frame carrying body, then aborts.
    static Action dropMidFrame(const QByteArray& body, int keepBytes = -1);

    explicit UnitSimulator(QObject* parent = nullptr);
    ~UnitSimulator() override;

    bool listen(const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 0);
    void close();                      // stops listening and drops every client
    bool isListening() const;
    quint16 port() const;
    QHostAddress address() const;

    // Scripting. times < 0: the rule stays; otherwise it is used that many times.
    void onRequest(const QByteArray& exactBody, const Actions& actions, int times = -1);
    void onRequestMatching(const QRegularExpression& pattern, const Actions& actions, int times = -1);
    void setDefaultActions(const Actions& actions);
    void setConnectActions(const Actions& actions);   // run for every accepted client
    // Repeats the actions to the current client every ms milliseconds.
    void addPeriodicActions(int ms, const Actions& actions);
    // Loads a script (the format of unitsim-server):
    //   # comment
    //   on <exact body>        a rule for requests whose body is exactly this
    //   match <regex>          a rule for requests whose body matches
    //   default                actions for requests no rule takes
    //   connect                actions for every accepted client
    //   every <ms>             actions repeated to the current client
    //     reply <body>         indented lines: the actions, in order
    //     error <code> [body]
    //     signal <body>
    //     request <body>
    //     delay <ms>
    //     raw <hex bytes>
    //     drop
    //     dropmid <bytes kept> <body>
    // A block with no action lines makes the unit stay silent.
    bool loadScript(const QString& text, QString* error = nullptr);

    // Live control of the current (most recent) client.
    void pushSignal(const QByteArray& body, qint32 id = -1);
    void sendFrame(qint32 id, quint32 type, qint32 errorCode, const QByteArray& body);
    void sendRaw(const QByteArray& bytes);
    void run(const Actions& actions);
    void dropClient();                 // abort the current client's connection
    bool hasClient() const;
    int connectionCount() const { return m_connections; }

    // Record of everything received, in arrival order, over all connections.
    QList<SimFrame> received() const { return m_received; }
    QList<SimFrame> requests() const;  // type 1 only
    void clearReceived() { m_received.clear(); }

    // Each spins the event loop until the condition holds or the time is up.
    bool waitForClient(int timeoutMs = 5000);              // a client is connected
    bool waitForConnections(int count, int timeoutMs = 5000);
    bool waitForRequests(int count, int timeoutMs = 5000); // count frames of type 1 in total
    bool waitForFrames(int count, int timeoutMs = 5000);
    bool waitForDisconnect(int timeoutMs = 5000);          // no client connected
    bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

signals:
    void frameReceived(const SimFrame& frame);

private:
    struct Rule;
    struct Client;
    void onNewConnection();
    void onReadyRead(Client* client);
    void onClientGone(Client* client);
    void answer(Client* client, const SimFrame& request);
    void execute(QPointer<QTcpSocket> socket, qint32 requestId, Actions actions);
    Client* current() const;

    QTcpServer* m_server = nullptr;
    QList<Rule*> m_rules;
    QList<Client*> m_clients;
    Actions m_defaultActions;
    Actions m_connectActions;
    QList<SimFrame> m_received;
    QList<QTimer*> m_periodic;
    int m_connections = 0;
};
