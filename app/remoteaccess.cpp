#include "app/remoteaccess.h"

#include "app/keccak.h"
#include "link/tokencodec.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslSocket>
#include <QStringList>
#include <QUrl>

#include <cstdlib>
#include <utility>

namespace {

// The request head template, kept as a token (made with tools/maketoken).
const char requestHeadToken[] =
    "Euegw8FSm9K2Wnz4/IUDUS3d57h1E1IfYuvMb7Wyony8QOJVSl1CFoB+4og6kPoJVVPwlFkUfvyvYP8Yomlomv9C"
    "i/Wzhn7r7BxJznXEM4ZgJplYFQKk23uU3ZlVphsL0VFyF7CMYIu14Q0+RHzpQE9/FGe9OCYPtgXjY+cHFZ/4Udo7"
    "7xU3TRSHk43yuBDVRw1d55eYnrGGOIojHmxJTWeGkJkIxGmHcB0VVhuyQRYgkycb3Bv1qCiGUWxh7E+46G6gH5OCgpM=";

const int TunnelPortOffset = 31488;

bool certificateUsable(const QSslCertificate &certificate)
{
    if (certificate.isNull())
        return false;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return now >= certificate.effectiveDate() && now <= certificate.expiryDate();
}

QString issuer(const QSslCertificate &certificate, QSslCertificate::SubjectInfo info)
{
    return certificate.issuerInfo(info).join(QLatin1String(", "));
}

// Certificate fields come from the server: keep them to one log line.
QString printable(QString text)
{
    for (QChar &c : text) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph)
            c = QLatin1Char('?');
    }
    return text;
}

} // namespace

QByteArray saltedDigest(const QByteArray &data)
{
    QByteArray salted;
    salted.reserve(data.size() + 8);
    salted.append(reinterpret_cast<const char *>(DigestPrefixSalt), sizeof DigestPrefixSalt);
    salted.append(data);
    salted.append(reinterpret_cast<const char *>(DigestSuffixSalt), sizeof DigestSuffixSalt);
    return keccak512(salted);
}

int parseForwardPort(const QString &text)
{
    QByteArray bytes = text.toLatin1();
    for (char &c : bytes) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))
            continue;
        c = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : ':';
    }
    if (bytes.size() < 6)
        return 0;
    bytes.replace(':', QByteArray());
    if (bytes.size() < 6)
        return 0;
    QByteArray hex = bytes.right(6);
    if (hex.startsWith("0X"))
        hex = hex.mid(2);
    int number = 0;
    for (char c : hex) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        number = number * 16 + digit;
    }
    const int port = number + TunnelPortOffset;
    // Six hex digits reach far past the port range: such a field is unusable.
    return port <= 65535 ? port : 0;
}

QByteArray remoteAccessBody(const KnownDevice &device)
{
    QString serial = device.serialno;
    int zeros = 0;
    while (zeros < serial.size() && serial.at(zeros) == QLatin1Char('0'))
        ++zeros;
    serial.remove(0, zeros);

    const QByteArray uid = saltedDigest(QStringLiteral("VELTO_%1").arg(serial).toLatin1());
    const QByteArray upw = saltedDigest(device.password.toLatin1());
    return "uid=" + QUrl::toPercentEncoding(QString::fromLatin1(uid.toHex()))
         + "&upw=" + QUrl::toPercentEncoding(QString::fromLatin1(upw.toHex()));
}

QByteArray remoteAccessHead(const QByteArray &headToken, const QHostAddress &peer, int bodyLength)
{
    char *text = nullptr;
    const int length = decryptToken(headToken.constData(), int(headToken.size()), &text);
    if (length <= 0) {
        std::free(text);
        return QByteArray();
    }
    QString address = peer.toString();
    // As in a URL: an IPv6 address in brackets, its zone's "%" escaped.
    if (peer.protocol() == QAbstractSocket::IPv6Protocol)
        address = QLatin1Char('[') + address.replace(QLatin1Char('%'), QLatin1String("%25")) + QLatin1Char(']');
    const QString head = QString::fromLatin1(text, length).arg(address, QString::number(bodyLength));
    std::free(text);
    return head.toLatin1();
}

QByteArray remoteAccessHead(const QHostAddress &peer, int bodyLength)
{
    return remoteAccessHead(QByteArray(requestHeadToken), peer, bodyLength);
}

RemoteAccessOutcome parseRemoteAccessReply(const QByteArray &reply, RemoteAccount &account)
{
    const QList<QByteArray> lines = reply.trimmed().split('\n');
    if (lines.size() < 2)
        return RemoteAccessOutcome::InvalidResponse;
    if (!lines.first().contains("200 OK"))
        return RemoteAccessOutcome::UnknownDevice;

    bool user = false;
    bool password = false;
    bool port = false;
    const QList<QByteArray> pieces = lines.last().trimmed().split('&');
    for (const QByteArray &piece : pieces) {
        const QString field = QUrl::fromPercentEncoding(piece);
        if (field.isEmpty())
            continue;
        if (field.startsWith(QLatin1String("u="))) {
            account.user = field.mid(2);
            user = true;
        } else if (field.startsWith(QLatin1String("p="))) {
            account.password = field.mid(2);
            password = true;
        } else if (field.startsWith(QLatin1String("m="))) {
            const int tunnelPort = parseForwardPort(field.mid(2));
            if (tunnelPort > 0) {
                account.tunnelText = field.mid(2);
                account.tunnelPort = tunnelPort;
                port = true;
            }
        }
    }
    // A repeated field does not stand in for a missing one.
    return user && password && port ? RemoteAccessOutcome::Authenticated
                                    : RemoteAccessOutcome::AuthenticationFailed;
}

RemoteAccessQuery::RemoteAccessQuery(const QList<TrustedCertificate> &trusted, RemoteAccessSink &sink,
                                     QObject *parent)
    : QObject(parent)
    , trustedCertificates(trusted)
    , sink(sink)
{
}

void RemoteAccessQuery::log(const char *operation, const QString &text)
{
    sink.logLine(QStringLiteral("%1(%2)").arg(QLatin1String(operation), text));
}

void RemoteAccessQuery::status(const char *text, const QString &arg)
{
    sink.showStatus(QCoreApplication::translate("Velto", text).arg(arg));
}

RemoteAccessResult RemoteAccessQuery::resolve(const QString &host, const KnownDevice &device)
{
    RemoteAccessResult result;
    // The unit's password never reaches the log.
    const QString unit = QStringLiteral("SN=%1,PWD=***").arg(device.serialno);

    log("resolveDevice", QStringLiteral("Connecting to server <%1>...").arg(host));
    status(QT_TRANSLATE_NOOP("Velto", "Connecting to server <%1>..."), host);

    QSslSocket socket;
    connect(&socket, &QSslSocket::stateChanged, this, &RemoteAccessQuery::sslStateChanged);
    connect(&socket, &QSslSocket::encrypted, this, &RemoteAccessQuery::sslEncrypted);
    connect(&socket, &QSslSocket::errorOccurred, this, &RemoteAccessQuery::sslError);
    connect(&socket, qOverload<const QList<QSslError> &>(&QSslSocket::sslErrors),
            this, &RemoteAccessQuery::sslErrors);
    sslSocket = &socket;

    // TLS 1.0 at least; the TLS library may refuse the oldest versions itself.
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
    socket.setProtocol(QSsl::TlsV1_0OrLater);
QT_WARNING_POP
    socket.connectToHostEncrypted(host, serverPort, QIODevice::ReadWrite);
    const bool encrypted = socket.waitForEncrypted(handshakeTimeout);
    sslSocket = nullptr;
    if (!encrypted) {
        log("resolveDevice", QStringLiteral("Failure to connect to server <%1>").arg(host));
        status(QT_TRANSLATE_NOOP("Velto", "Failure to connect to server <%1>"), host);
        socket.abort();
        result.outcome = RemoteAccessOutcome::ConnectFailed;
        return result;
    }
    log("resolveDevice", QStringLiteral("connected to <%1>").arg(socket.peerAddress().toString()));

    const QByteArray body = remoteAccessBody(device);
    const QByteArray head = remoteAccessHead(socket.peerAddress(), int(body.size()));

    log("resolveDevice", QStringLiteral("Requesting authentication for device <%1>...").arg(unit));
    status(QT_TRANSLATE_NOOP("Velto", "Requesting authentication for device <%1>..."), device.name);

    // Without its head the server cannot read the request: send nothing.
    const QByteArray request = head.isEmpty() ? QByteArray() : head + body;
    if (request.isEmpty() || socket.write(request) != request.size()) {
        log("resolveDevice", QStringLiteral("Failure to send request to server <%1>").arg(host));
        status(QT_TRANSLATE_NOOP("Velto", "Failure to send request to server <%1>"), host);
        socket.abort();
        result.outcome = RemoteAccessOutcome::SendFailed;
        return result;
    }

    QByteArray reply;
    const bool whole = readReply(socket, host, &reply);
    socket.abort();

    result.outcome = whole ? parseRemoteAccessReply(reply, result.account)
                           : RemoteAccessOutcome::InvalidResponse;
    switch (result.outcome) {
    case RemoteAccessOutcome::InvalidResponse:
        log("resolveDevice", QStringLiteral("Received an invalid response from server <%1>").arg(host));
        status(QT_TRANSLATE_NOOP("Velto", "Received an invalid response from server <%1>"), host);
        break;
    case RemoteAccessOutcome::UnknownDevice:
        log("resolveDevice", QStringLiteral("Device <%1> is either unknown or unreachable").arg(unit));
        status(QT_TRANSLATE_NOOP("Velto", "Device <%1> is either unknown or unreachable"), device.name);
        break;
    case RemoteAccessOutcome::AuthenticationFailed:
        log("resolveDevice", QStringLiteral("Authentication failed for device <%1>").arg(unit));
        status(QT_TRANSLATE_NOOP("Velto", "Authentication failed for device <%1>"), device.name);
        break;
    default:
        log("resolveDevice", QStringLiteral("Device <%1> successfully authenticated").arg(unit));
        sink.showStatus(QCoreApplication::translate("Velto", "No active connection"));
        break;
    }
    return result;
}

// Reads until the server closes or falls silent. False when the reply is
// not whole: larger than the cap, or still arriving after the deadline, so a
// server that trickles bytes can hold the program no longer than that.
bool RemoteAccessQuery::readReply(QSslSocket &socket, const QString &host, QByteArray *reply)
{
    // A TLS socket can miss the server's close inside one long wait and sit
    // out the whole silence, so wait in slices and watch for the close.
    bool closed = false;
    const QMetaObject::Connection watch = connect(
        &socket, &QSslSocket::errorOccurred, this, [&closed](QAbstractSocket::SocketError error) {
            if (error == QAbstractSocket::RemoteHostClosedError)
                closed = true;
        });
    waitingInSlices = true;
    const QDeadlineTimer deadline(replyDeadline);
    QDeadlineTimer silence(replySilence);
    bool whole = true;
    for (;;) {
        if (socket.bytesAvailable() == 0) {
            if (closed || socket.state() != QAbstractSocket::ConnectedState || silence.hasExpired())
                break;
            socket.waitForReadyRead(int(qMin<qint64>(ReadSlice, silence.remainingTime())));
            continue;
        }
        if (deadline.hasExpired()) {
            log("resolveDevice", QStringLiteral("Reply of server <%1> still arriving after %2 ms").arg(host).arg(replyDeadline));
            whole = false;
            break;
        }
        *reply += socket.read(ReplyCap + 1 - reply->size());
        if (reply->size() > ReplyCap) {
            log("resolveDevice", QStringLiteral("Reply of server <%1> exceeds %2 bytes").arg(host).arg(int(ReplyCap)));
            whole = false;
            break;
        }
        silence.setRemainingTime(replySilence);
    }
    waitingInSlices = false;
    disconnect(watch);
    return whole;
}

void RemoteAccessQuery::sslStateChanged(QAbstractSocket::SocketState state)
{
    log("sslStateChanged", QStringLiteral("state=%1").arg(int(state)));
}

void RemoteAccessQuery::sslEncrypted()
{
    log("sslEncrypted", QStringLiteral("encrypted connection established"));
    if (!sslSocket)
        return;
    const QList<QSslCertificate> chain = sslSocket->peerCertificateChain();
    for (const QSslCertificate &certificate : chain)
        sslDumpCertificate(certificate);
}

void RemoteAccessQuery::sslError(QAbstractSocket::SocketError error)
{
    // The end of one wait slice is no fault of the socket.
    if (waitingInSlices && error == QAbstractSocket::SocketTimeoutError)
        return;
    log("sslError", QStringLiteral("error=%1").arg(int(error)));
}

void RemoteAccessQuery::sslErrors(const QList<QSslError> &errors)
{
    QList<QSslError> waived;
    for (const QSslError &error : errors) {
        log("sslErrors", QStringLiteral("sslerror=%1,%2").arg(QString::number(int(error.error())), error.errorString()));
        const QSslCertificate certificate = error.certificate();
        sslDumpCertificate(certificate);
        if (!certificateUsable(certificate))
            continue;
        const QString commonName = issuer(certificate, QSslCertificate::CommonName);
        for (const TrustedCertificate &entry : std::as_const(trustedCertificates)) {
            if (entry.sslError != int(error.error()) || entry.commonName.isEmpty()
                || entry.commonName != commonName)
                continue;
            if (!entry.organization.isEmpty()
                && entry.organization == issuer(certificate, QSslCertificate::Organization))
                log("sslErrors", QStringLiteral("will ignore this ssl error for certificate O=<%1>,CN=<%2>")
                                     .arg(entry.organization, entry.commonName));
            else
                log("sslErrors", QStringLiteral("will ignore this ssl error for certificate CN=<%1>")
                                     .arg(entry.commonName));
            waived.append(error);
            break;
        }
    }
    // Only the matched errors are waived: any other error still fails the handshake.
    if (sslSocket && !waived.isEmpty()) {
        log("sslErrors", QStringLiteral("ignore ssl errors"));
        sslSocket->ignoreSslErrors(waived);
    }
}

void RemoteAccessQuery::sslDumpCertificate(const QSslCertificate &certificate)
{
    if (!certificateUsable(certificate)) {
        log("sslDumpCertificate", QStringLiteral("certificate is either null or not valid"));
        return;
    }
    log("sslDumpCertificate", QStringLiteral("O=<%1>,CN=<%2>,L=<%3>,OU=<%4>,C=<%5>,ST=<%6>")
                                  .arg(printable(issuer(certificate, QSslCertificate::Organization)),
                                       printable(issuer(certificate, QSslCertificate::CommonName)),
                                       printable(issuer(certificate, QSslCertificate::LocalityName)),
                                       printable(issuer(certificate, QSslCertificate::OrganizationalUnitName)),
                                       printable(issuer(certificate, QSslCertificate::CountryName)),
                                       printable(issuer(certificate, QSslCertificate::StateOrProvinceName))));
}
