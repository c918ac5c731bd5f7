#ifndef CCOM_H
#define CCOM_H

#include "link/rpcasynccall.h"
#include "link/rpcconnection.h"
#include "link/rpcmessage.h"
#include "link/tcommand.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <map>
#include <string>
#include <vector>

class QUdpSocket;

namespace zel {

// The one session with the unit: owns the link, offers a blocking call on top
// of its asynchronous calls, a fire-and-forget send, the unit's per-client
// "db" store and an optional UDP receiver for audio-level events. Users
// connect to this object only; it re-emits the link's signals unchanged.
class CCom : public QObject
{
    Q_OBJECT
public:
    explicit CCom(QObject* parent = nullptr);
    ~CCom() override;

    // False when the link is already started, the address is not a literal
    // IPv4 address or port is 0. A udpPort other than 0 opens the datagram
    // receiver once; it stays until disconnectFromUnit.
    bool connectToUnit(const QString& address, quint16 port, quint16 udpPort);
    void disconnectFromUnit();

    // Category and controller type sent with every "db" request; always 0.
    int setIdentity(const std::string& category, const std::string& controllerType);

    // Parameters the unit refused in the last synchronous call (with
    // "return" = "ERROR"); -1 when there were none.
    int lastErrors(TCommand& out) const;

    // Sends a request without waiting for a reply: 0, or -1 while a
    // synchronous call waits or when the link cannot send.
    int sendMessage(const TCommand& command);

    // Sends the request and waits for its reply in a nested event loop that
    // keeps user input queued. 0, a negative link error (-1 while another
    // synchronous call waits), or the unit's code from an error reply.
    // timeoutMs is used in whole seconds; below one second means 5 s.
    // Not to be called from a receiver of messageReceived or messageCompleted:
    // defer such work to the event loop. The link still reads on and times
    // out inside such a wait, so a call made there gets its reply.
    int sendSyncMsg(const TCommand& request, TCommand& reply, int reserved, int timeoutMs);

    // The unit's store for this client: 0 when the unit answered "OK", -1
    // when it refused anything or the identity is unset, else the call's code.
    int dbWrite(const std::map<std::string, std::string>& values, int timeoutMs);
    int dbRead(const std::vector<std::string>& keys, std::map<std::string, std::string>& values,
               int timeoutMs);

    RpcConnection::ConnectionState state() const;
    bool isEnabled() const;          // a connection was started and not stopped
    bool isIdle() const { return m_idle; }
    const QString& host() const { return m_host; }
    quint16 port() const { return m_port; }
    quint16 udpPort() const { return m_udpPort; }
    const std::string& category() const { return m_category; }
    const std::string& controllerType() const { return m_controllerType; }

    // Whole seconds handed to the link for a time-out in milliseconds.
    static int timeoutSeconds(int timeoutMs);

signals:
    void stateChanged(RpcConnection::ConnectionState state);
    void errorOccurred(RpcConnection::ConnectionError error);
    void messageCompleted(const RpcMessage& message);
    void messageReceived(const RpcMessage& message);
    void sendSyncMsgCompleted();
    void busyStateChanged(bool busy);

public slots:
    void callCompleted(RpcAsyncCallWatcher* watcher);
    void readPendingDatagrams();

private:
    void addIdentity(TCommand& command) const;

    RpcClientConnection m_link;
    QPointer<QUdpSocket> m_udpSocket;
    QString m_host;
    quint16 m_port = 0;
    quint16 m_udpPort = 0;
    std::string m_category;
    std::string m_controllerType;
    bool m_idle = true;
    bool m_waiting = false;
    int m_syncResult = 0;
    TCommand m_syncReply;
    TCommand m_syncErrors;
    RpcAsyncCallWatcher* m_watcher = nullptr;
};

} // namespace zel

#endif // CCOM_H
