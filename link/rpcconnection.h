#ifndef KANDELO_LINK_RPCCONNECTION_H
#define KANDELO_LINK_RPCCONNECTION_H

// The TCP link to one unit: writes frames, keeps the pending calls with their
// time-outs, assembles incoming frames, holds back the unit's signals while
// calls are outstanding, and reports its state and errors.
//
// Everything runs in the thread that owns the connection. Receivers of
// messageReceived, messageCompleted and of a watcher's finished may spin
// nested event loops: every operation here tolerates being re-entered, and
// the socket is read on inside such a loop, frames delivered in order.

#include "link/logline.h"
#include "link/rpcasynccall.h"
#include "link/rpcmessage.h"

#include <QAbstractSocket>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

class RpcConnection : public QObject
{
    Q_OBJECT
public:
    enum ConnectionState {
        UnconnectedState = 0,
        ClosingState = 1,
        ConnectingState = 2,
        ConnectedState = 3
    };
    Q_ENUM(ConnectionState)

    // Result codes of calls and of errorOccurred. A failed call may also
    // carry the unit's own code from an error reply.
    enum ConnectionError {
        NoError = 0,
        InvalidCallError = -1,
        NotRequestError = -2,
        NotConnectedError = -3,
        SocketError = -4,
        TimeoutError = -5,
        CanceledError = -6,
        EncodeError = -7,
        FrameError = -8,
        UnknownTypeError = -9,
        BadMessageError = -10
    };
    Q_ENUM(ConnectionError)

    explicit RpcConnection(QObject* parent = nullptr);
    ~RpcConnection() override;

    // Writes the message's frame as it is (its own id, type and errorCode);
    // no call is recorded. True when the frame was handed to the socket.
    bool send(const RpcMessage& message);
    // Sends a type-1 request under the next message id and records the call.
    // errorCode() of the result: 0 when pending, else -3, -2, -7 or -4.
    // timeoutSeconds <= 0: no time-out.
    RpcAsyncCall asyncCall(const RpcMessage& request, int timeoutSeconds);

    bool isEnabled() const { return m_enabled; }
    bool deferSignals() const { return m_deferSignals; }
    void setDeferSignals(bool on) { m_deferSignals = on; }
    ConnectionState state() const { return m_state; }
    QString address() const { return m_address; }
    quint16 port() const { return m_port; }
    qint32 lastId() const { return m_lastId; }
    int pendingCallCount() const { return int(m_pendingCalls.size()); }
    int deferredSignalCount() const { return int(m_deferredSignals.size()); }

    // Test seam: the period of the tick that checks time-outs and counts down
    // reconnections, for connections started afterwards. 1000 ms by default.
    static void setTickInterval(int ms);
    static int tickInterval();

signals:
    void stateChanged(RpcConnection::ConnectionState state);
    void errorOccurred(RpcConnection::ConnectionError error);
    void messageCompleted(const RpcMessage& message);
    void messageReceived(const RpcMessage& message);

protected slots:
    void socketRead();
    virtual void timerEvent();
    virtual void socketConnected();
    virtual void socketChanged(QAbstractSocket::SocketState socketState);
    virtual void socketError(QAbstractSocket::SocketError socketError);

protected:
    using QObject::timerEvent;

    void completeCall(const RpcAsyncCall& call, int code);
    void failCall(const RpcAsyncCall& call, int code);
    void cancelPendingCalls();
    void notifyDeferredSignals();
    void notifyStateChanged(ConnectionState state);
    void notifyErrorOccurred(int code);
    // One complete frame from the reader: header at the start, size bytes.
    void parserReady(const char* frame, quint32 size);
    // The link-down steps shared by disconnect and the destructor.
    void shutdown(const char* method);
    // "<Class>::<method>(address=<a>:<p>" + what extra(line) appends + ")" at
    // debug level; nothing is built unless debug lines are written.
    template <typename Extra>
    void logLine(const char* className, const char* method, Extra extra) const
    {
        if (!debugLogEnabled())
            return;
        LogLine line = lineStart(className, method);
        extra(line);
        (line << ")").writeDebug();
    }
    void logLine(const char* className, const char* method, const char* extra = "") const;
    // The same form at critical level, with ", error=<error>".
    void logCritical(const char* className, const char* method, int error) const;
    LogLine lineStart(const char* className, const char* method) const;

    bool m_enabled = false;
    bool m_deferSignals = false;
    ConnectionState m_state = UnconnectedState;
    qint32 m_lastId = 0;
    quint16 m_port = 0;
    QString m_address = QStringLiteral("0.0.0.0");
    QList<RpcMessage> m_deferredSignals;
    QMap<uint, RpcAsyncCall> m_pendingCalls;
    RpcFrameReader m_reader;
    QTimer m_timer;
    QTcpSocket m_socket;

private:
    friend struct RpcFrameReader;
    void finishCall(const RpcAsyncCall& call, quint32 state, int code);
    // Hands a frame to the socket and flushes it; false when it failed.
    bool writeFrame(const QByteArray& frame);
    void dispatchReply(const char* frame, quint32 size, qint32 id, qint32 errorCode, bool errorReply);
};

// The outgoing connection, with reconnection ten ticks after the link falls.
class RpcClientConnection : public RpcConnection
{
    Q_OBJECT
public:
    explicit RpcClientConnection(QObject* parent = nullptr);
    ~RpcClientConnection() override;

    // Does nothing while enabled.
    void connect(const QString& address, quint16 port);
    // Does nothing unless enabled. Pending calls fail with -6, queued
    // signals are dropped, and no reconnection follows.
    void disconnect();

    // Ticks left before the next attempt; -1 when none is pending.
    int retryCountdown() const { return m_retryCountdown; }

protected slots:
    void timerEvent() override;
    void socketConnected() override;
    void socketChanged(QAbstractSocket::SocketState socketState) override;

protected:
    using RpcConnection::timerEvent;

private:
    int m_retryCountdown = -1;
};

#endif
