#ifndef REMOTEACCESS_H
#define REMOTEACCESS_H

#include "app/applicationsettings.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslError>
#include <QString>

class QSslCertificate;
class QSslSocket;

// Salts of the unit digests, shared with the remote-access server: changing
// either locks every unit out.
constexpr unsigned char DigestPrefixSalt[4] = {0xab, 0x16, 0x5b, 0x6f};
constexpr unsigned char DigestSuffixSalt[4] = {0xe6, 0xdd, 0x75, 0x94};

// Keccak-512 of the prefix salt, data and suffix salt (64 bytes).
QByteArray saltedDigest(const QByteArray &data);

// Tunnel port from the server's "m=" field; 0 when unusable.
int parseForwardPort(const QString &text);

// "uid=<hex>&upw=<hex>" for a unit: always 265 bytes.
QByteArray remoteAccessBody(const KnownDevice &device);

// The request head from its token, filled with the peer address (an IPv6
// address in brackets) and the body length; empty when the token does not
// decode. Without a token: the program's own head.
QByteArray remoteAccessHead(const QByteArray &headToken, const QHostAddress &peer, int bodyLength);
QByteArray remoteAccessHead(const QHostAddress &peer, int bodyLength);

// What the server granted. Complete only when the query succeeded; after a
// failed field check it holds what the reply did give.
struct RemoteAccount
{
    QString user;
    QString password;
    int tunnelPort = 0;
    QString tunnelText;
};

enum class RemoteAccessOutcome {
    Authenticated,
    ConnectFailed,          // no handshake, or a certificate error not waived
    SendFailed,             // request not written, or no head to send
    InvalidResponse,        // fewer than two lines, larger than the cap, or still
                            // arriving after the deadline
    UnknownDevice,          // first line without "200 OK"
    AuthenticationFailed,   // user, password or a usable tunnel port missing
};

struct RemoteAccessResult
{
    RemoteAccessOutcome outcome = RemoteAccessOutcome::ConnectFailed;
    RemoteAccount account;
    bool authenticated() const { return outcome == RemoteAccessOutcome::Authenticated; }
};

// Judges a whole reply of the server (never SendFailed or ConnectFailed).
RemoteAccessOutcome parseRemoteAccessReply(const QByteArray &reply, RemoteAccount &account);

// Where a query shows its progress: status texts are already translated and
// meant for the status line in red; the query blocks right after each one,
// so the receiver repaints at once. Log lines read "operation(values)".
class RemoteAccessSink
{
public:
    virtual ~RemoteAccessSink() = default;
    virtual void showStatus(const QString &text) = 0;
    virtual void logLine(const QString &line) = 0;
};

// One blocking query to the remote-access server over TLS on port 443: sends
// the unit's digests and reads back the SSH account and tunnel port. The
// socket lives only for one call to resolve().
class RemoteAccessQuery : public QObject
{
    Q_OBJECT
public:
    enum { ReplyCap = 64 * 1024, Timeout = 30000, ReadSlice = 200 };

    RemoteAccessQuery(const QList<TrustedCertificate> &trusted, RemoteAccessSink &sink,
                      QObject *parent = nullptr);

    RemoteAccessResult resolve(const QString &host, const KnownDevice &device);

    // Test seams: the program always uses port 443 and 30 s.
    void setServerPortForTest(quint16 port) { serverPort = port; }
    void setTimeoutsForTest(int handshakeMs, int silenceMs, int deadlineMs)
    {
        handshakeTimeout = handshakeMs;
        replySilence = silenceMs;
        replyDeadline = deadlineMs;
    }

public slots:
    void sslStateChanged(QAbstractSocket::SocketState state);
    void sslEncrypted();
    void sslError(QAbstractSocket::SocketError error);
    void sslErrors(const QList<QSslError> &errors);
    void sslDumpCertificate(const QSslCertificate &certificate);

private:
    void log(const char *operation, const QString &text);
    void status(const char *text, const QString &arg);
    bool readReply(QSslSocket &socket, const QString &host, QByteArray *reply);

    QList<TrustedCertificate> trustedCertificates;
    RemoteAccessSink &sink;
    QSslSocket *sslSocket = nullptr;    // set only while the handshake runs
    quint16 serverPort = 443;
    int handshakeTimeout = Timeout;
    int replySilence = Timeout;     // a wait this long without data ends the reply
    int replyDeadline = Timeout;    // data after it: the reply was cut off
    bool waitingInSlices = false;
};

#endif // REMOTEACCESS_H
