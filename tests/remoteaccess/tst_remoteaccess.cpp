#include "app/keccak.h"
#include "app/remoteaccess.h"
#include "tlspeer.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray keccakReference(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Keccak_512);
}

QByteArray randomBytes(int n)
{
    QByteArray bytes(n, '\0');
    for (int i = 0; i < n; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

QByteArray salted(const QByteArray &data)
{
    return QByteArray(reinterpret_cast<const char *>(DigestPrefixSalt), 4) + data
         + QByteArray(reinterpret_cast<const char *>(DigestSuffixSalt), 4);
}

KnownDevice unit(const QString &serial = QStringLiteral("000123"))
{
    KnownDevice device;
    device.id = 7;
    device.name = QStringLiteral("Studio B");
    device.serialno = serial;
    device.password = QStringLiteral("unit-secret");
    return device;
}

struct RecordingSink : RemoteAccessSink
{
    QStringList statuses;
    QStringList lines;
    void showStatus(const QString &text) override { statuses << text; }
    void logLine(const QString &line) override { lines << line; }
    bool logged(const QString &line) const { return lines.contains(line); }
    bool leaked(const QString &secret) const { return lines.join('\n').contains(secret); }
};

QByteArray okReply(const QByteArray &fields)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n" + fields + "\r\n";
}

} // namespace

Q_DECLARE_METATYPE(TrustedCertificate)

class RemoteAccessTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void keccak();
    void requestBody();
    void forwardPort_data();
    void forwardPort();
    void replyParsing_data();
    void replyParsing();
    void refusedReplyTellsSentFromMissingFields();
    void certificateExceptions_data();
    void certificateExceptions();
    void certificateDumpOnOneLine();

    void authenticated();
    void refusedReplies_data();
    void refusedReplies();
    void certificateDecision_data();
    void certificateDecision();
    void deadlines();

private:
    bool makeCertificate(const QString &name, const QString &altName, const QString &subject = QString());
    std::unique_ptr<TlsPeer> startTlsServer(const QString &name);
    RemoteAccessResult query(quint16 port, const QList<TrustedCertificate> &trusted,
                             RecordingSink &sink, int replyTimeout = 20000);
    QList<TrustedCertificate> trustSelfSigned() const;

    QTemporaryDir dir;
    std::unique_ptr<TlsPeer> ipServer;      // certificate names 127.0.0.1
    std::unique_ptr<TlsPeer> otherServer;   // certificate names another host only
};

bool RemoteAccessTest::makeCertificate(const QString &name, const QString &altName, const QString &subject)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-days", "2", "-keyout", dir.filePath(name + ".key"),
                   "-out", dir.filePath(name + ".crt"),
                   "-utf8", "-subj",
                   subject.isEmpty() ? "/C=CH/ST=Bern/L=Bern/O=Kandelo Test/OU=Lab/CN=Kandelo " + name : subject,
                   "-addext", "subjectAltName=" + altName});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
        qWarning() << openssl.readAllStandardError();
        return false;
    }
    return true;
}

std::unique_ptr<TlsPeer> RemoteAccessTest::startTlsServer(const QString &name)
{
    QFile certificate(dir.filePath(name + ".crt"));
    QFile key(dir.filePath(name + ".key"));
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
        return nullptr;
    auto server = std::make_unique<TlsPeer>(certificate.readAll(), key.readAll(), QSsl::Ec);
    if (!server->listenOn(QHostAddress::LocalHost)) {
        qWarning() << server->errorString();
        return nullptr;
    }
    return server;
}

void RemoteAccessTest::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable("openssl").isEmpty(), "openssl is not installed");
    QVERIFY2(QSslSocket::supportsSsl(), "TLS support missing");
    QVERIFY(dir.isValid());
    QVERIFY(makeCertificate("ip", "IP:127.0.0.1"));
    QVERIFY(makeCertificate("other", "DNS:remote.invalid"));
    if (!TlsPeer::available())
        return;
    ipServer = startTlsServer("ip");
    otherServer = startTlsServer("other");
    QVERIFY(ipServer && otherServer);
}

void RemoteAccessTest::init()
{
    // Only the queries need the TLS server; the rest runs without socat.
    const QByteArrayList queries{"authenticated", "refusedReplies", "certificateDecision", "deadlines"};
    if (!ipServer && queries.contains(QTest::currentTestFunction()))
        QSKIP("socat is not installed (it terminates TLS for the test server)");
}

void RemoteAccessTest::cleanupTestCase()
{
    ipServer.reset();
    otherServer.reset();
}

RemoteAccessResult RemoteAccessTest::query(quint16 port, const QList<TrustedCertificate> &trusted,
                                           RecordingSink &sink, int replyTimeout)
{
    RemoteAccessQuery q(trusted, sink);
    q.setServerPortForTest(port);
    q.setTimeoutsForTest(20000, replyTimeout);
    return q.resolve(QStringLiteral("127.0.0.1"), unit());
}

// The test certificates are self-signed: issuer = subject.
QList<TrustedCertificate> RemoteAccessTest::trustSelfSigned() const
{
    TrustedCertificate entry;
    entry.sslError = int(QSslError::SelfSignedCertificate);
    entry.organization = QStringLiteral("Kandelo Test");
    entry.commonName = QStringLiteral("Kandelo ip");
    return {entry};
}

void RemoteAccessTest::keccak()
{
    QCOMPARE(keccak512(QByteArray()).toHex(),
             QByteArray("0eab42de4c3ceb9235fc91acffe746b29c29a8c366b7c60e4e67c466f36a4304"
                        "c00fa9caf9d87976ba469bcbe06713b435f091ef2769fb160cdab33d3670680e"));
    QCOMPARE(keccak512("abc").toHex(),
             QByteArray("18587dc2ea106b9a1563e32b3312421ca164c7f1f07bc922a9c83d77cea3a1e5"
                        "d0c69910739025372dc14ac9642629379540c17e2a65b19d77aa511a9d00bb96"));
    // Not SHA3-512: the padding byte differs.
    QVERIFY(keccak512("abc") != QCryptographicHash::hash("abc", QCryptographicHash::Sha3_512));

    // Around the 72-byte block, whole and absorbed in uneven pieces.
    for (int n : {1, 71, 72, 73, 143, 144, 145, 1000}) {
        const QByteArray data = randomBytes(n);
        QVERIFY2(keccak512(data) == keccakReference(data), qPrintable(QString::number(n)));
        KeccakState s;
        keccakInit(s);
        int at = 0;
        for (int step = 1; at < n; step = step * 2 + 1) {
            const int take = qMin(step, n - at);
            keccakAbsorb(s, reinterpret_cast<const std::uint8_t *>(data.constData()) + at, std::size_t(take));
            at += take;
        }
        if (n % 72 == 0)
            QCOMPARE(s.position, 0u);
        QByteArray out(64, '\0');
        keccakFinal(s, reinterpret_cast<std::uint8_t *>(out.data()));
        QCOMPARE(out, keccakReference(data));
    }
}

void RemoteAccessTest::requestBody()
{
    QCOMPARE(saltedDigest(QByteArray()), keccakReference(salted(QByteArray())));
    const QByteArray body = remoteAccessBody(unit(QStringLiteral("000123")));
    QCOMPARE(body.size(), 265);
    QCOMPARE(body, remoteAccessBody(unit(QStringLiteral("123"))));
    QCOMPARE(body, "uid=" + keccakReference(salted("VELTO_123")).toHex()
                 + "&upw=" + keccakReference(salted("unit-secret")).toHex());
    // An all-zero serial loses every digit; inner zeros stay.
    QCOMPARE(remoteAccessBody(unit(QStringLiteral("0000"))).left(132),
             "uid=" + keccakReference(salted("VELTO_")).toHex());
    QVERIFY(remoteAccessBody(unit(QStringLiteral("1023"))) != remoteAccessBody(unit(QStringLiteral("123"))));

    KnownDevice latin = unit();
    latin.password = QStringLiteral("m\u00fcde");
    QCOMPARE(remoteAccessBody(latin).mid(137), keccakReference(salted("m\xfc" "de")).toHex());
    QCOMPARE(remoteAccessBody(latin).size(), 265);

    // A head token that does not decode gives no head at all.
    QVERIFY(remoteAccessHead(QByteArray(56, 'A'), QStringLiteral("1.2.3.4"), 265).isEmpty());
    QVERIFY(remoteAccessHead(QByteArray(), QStringLiteral("1.2.3.4"), 265).isEmpty());
}

void RemoteAccessTest::forwardPort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("colons") << "00:00:00:00:01:f4" << 500 + 31488;
    QTest::newRow("plain") << "0000000001f4" << 500 + 31488;
    QTest::newRow("no leading digit") << "zz01f4" << 31488;
    QTest::newRow("too short") << "01F4" << 0;
    QTest::newRow("short after removal") << "01:F4:::" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("hex prefix") << "0000000x01f4" << 500 + 31488;
    QTest::newRow("stops at non-hex") << "0001g4" << 1 + 31488;
    QTest::newRow("highest usable") << "0084ff" << 65535;
    QTest::newRow("past the port range") << "008500" << 0;
    QTest::newRow("all ones") << "ff:ff:ff:ff:ff:ff" << 0;
    QTest::newRow("non-ascii") << QString::fromUtf8("00\u00e9:01:f4") << 500 + 31488;
}

void RemoteAccessTest::forwardPort()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(parseForwardPort(text), port);
}

void RemoteAccessTest::replyParsing_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("user");
    QTest::addColumn<int>("port");
    const int ok = int(RemoteAccessOutcome::Authenticated);
    const int failed = int(RemoteAccessOutcome::AuthenticationFailed);
    QTest::newRow("all three") << okReply("u=alice&p=pa%26ss&m=0000000001f4") << ok << "alice" << 31988;
    QTest::newRow("any order, extras ignored")
        << okReply("x=1&&m=00:00:00:00:01:f4&p=s&u=bob") << ok << "bob" << 31988;
    QTest::newRow("repeated user stands for no port") << okReply("u=a&u=b&p=c") << failed << "b" << 0;
    QTest::newRow("repeated port is still one port") << okReply("u=a&p=b&m=0001f4&m=0001f5") << ok << "a" << 31989;
    QTest::newRow("unusable port") << okReply("u=a&p=b&m=01F4") << failed << "a" << 0;
    QTest::newRow("port past range") << okReply("u=a&p=b&m=ffffff") << failed << "a" << 0;
    QTest::newRow("no password") << okReply("u=a&m=0001f4") << failed << "a" << 31988;
    QTest::newRow("prefixes are case-sensitive") << okReply("U=a&p=b&m=0001f4") << failed << "" << 31988;
    QTest::newRow("nothing") << QByteArray("  \r\n ") << int(RemoteAccessOutcome::InvalidResponse) << "" << 0;
}

void RemoteAccessTest::replyParsing()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, outcome);
    QFETCH(QString, user);
    QFETCH(int, port);
    RemoteAccount account;
    QCOMPARE(int(parseRemoteAccessReply(reply, account)), outcome);
    QCOMPARE(account.user, user);
    QCOMPARE(account.tunnelPort, port);
}

// The window takes from a refused reply exactly the fields it sent: an empty
// one counts, a missing one must stay null.
void RemoteAccessTest::refusedReplyTellsSentFromMissingFields()
{
    RemoteAccount account;
    QCOMPARE(parseRemoteAccessReply("HTTP/1.1 200 OK\n\nu=&m=01F4", account),
             RemoteAccessOutcome::AuthenticationFailed);
    QVERIFY(!account.user.isNull());
    QVERIFY(account.user.isEmpty());
    QVERIFY(account.password.isNull());
    QCOMPARE(account.tunnelPort, 0);
}

void RemoteAccessTest::certificateExceptions_data()
{
    QTest::addColumn<QList<TrustedCertificate>>("entries");
    QTest::addColumn<QString>("waiver");    // the line naming the exception, empty when none
    const auto entry = [](QSslError::SslError code, const QString &organization, const QString &commonName) {
        TrustedCertificate e;
        e.sslError = int(code);
        e.organization = organization;
        e.commonName = commonName;
        return e;
    };
    const QSslError::SslError selfSigned = QSslError::SelfSignedCertificate;
    const QString named("sslErrors(will ignore this ssl error for certificate O=<Kandelo Test>,CN=<Kandelo ip>)");
    const QString commonNameOnly("sslErrors(will ignore this ssl error for certificate CN=<Kandelo ip>)");
    using Entries = QList<TrustedCertificate>;
    QTest::newRow("no entries") << Entries() << QString();
    QTest::newRow("issuer and organisation") << Entries{entry(selfSigned, "Kandelo Test", "Kandelo ip")} << named;
    QTest::newRow("other organisation") << Entries{entry(selfSigned, "Elsewhere", "Kandelo ip")} << commonNameOnly;
    QTest::newRow("other error") << Entries{entry(QSslError::HostNameMismatch, "Kandelo Test", "Kandelo ip")} << QString();
    QTest::newRow("other issuer") << Entries{entry(selfSigned, "Kandelo Test", "Kandelo other")} << QString();
    QTest::newRow("organisation alone") << Entries{entry(selfSigned, "Kandelo Test", "")} << QString();
    QTest::newRow("first match names it")
        << Entries{entry(selfSigned, "Elsewhere", "Kandelo ip"), entry(selfSigned, "Kandelo Test", "Kandelo ip")}
        << commonNameOnly;
}

void RemoteAccessTest::certificateExceptions()
{
    QFETCH(QList<TrustedCertificate>, entries);
    QFETCH(QString, waiver);
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(dir.filePath("ip.crt"));
    QCOMPARE(certificates.size(), 1);
    const QSslError error(QSslError::SelfSignedCertificate, certificates.first());

    RecordingSink sink;
    RemoteAccessQuery q(entries, sink);
    q.sslErrors({error});
    QCOMPARE(sink.lines.first(), QStringLiteral("sslErrors(sslerror=%1,%2)")
                                     .arg(int(QSslError::SelfSignedCertificate))
                                     .arg(error.errorString()));
    QCOMPARE(sink.lines.filter("will ignore"), waiver.isEmpty() ? QStringList() : QStringList{waiver});
    // Outside a handshake there is no socket to tell.
    QVERIFY(!sink.logged("sslErrors(ignore ssl errors)"));
}

void RemoteAccessTest::certificateDumpOnOneLine()
{
    // Line breaks of every kind in an issuer field stay out of the log.
    const QString subject = QStringLiteral("/O=Line\nBreak") + QChar(0x85) + QStringLiteral("End")
                          + QChar(0x2028) + QStringLiteral("X/CN=Odd");
    QVERIFY(makeCertificate("odd", "DNS:odd.invalid", subject));
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(dir.filePath("odd.crt"));
    QCOMPARE(certificates.size(), 1);
    RecordingSink sink;
    RemoteAccessQuery q({}, sink);
    q.sslDumpCertificate(certificates.first());
    q.sslDumpCertificate(QSslCertificate());
    QCOMPARE(sink.lines, QStringList({"sslDumpCertificate(O=<Line?Break?End?X>,CN=<Odd>,L=<>,OU=<>,C=<>,ST=<>)",
                                      "sslDumpCertificate(certificate is either null or not valid)"}));
}

void RemoteAccessTest::authenticated()
{
    ipServer->script(TlsPeer::Reply, okReply("u=tunnel&p=s%40cret%20x&m=0000000001f4"));
    RecordingSink sink;
    const RemoteAccessResult r = query(ipServer->port, trustSelfSigned(), sink);
    QVERIFY(r.authenticated());
    QCOMPARE(r.account.user, QStringLiteral("tunnel"));
    QCOMPARE(r.account.password, QStringLiteral("s@cret x"));
    QCOMPARE(r.account.tunnelPort, 500 + 31488);
    QCOMPARE(r.account.tunnelText, QStringLiteral("0000000001f4"));

    // What reached the server: our head with the peer address and the length, then the body.
    const QByteArray request = ipServer->request();
    const QByteArray body = remoteAccessBody(unit());
    QVERIFY(request.startsWith("POST "));
    QVERIFY(request.contains("\r\nHost: 127.0.0.1\r\n"));
    QVERIFY(request.contains("\r\nContent-Length: 265\r\n"));
    QVERIFY(request.contains("\r\nConnection: close\r\n"));
    QVERIFY(request.endsWith("\r\n\r\n" + body));
    QVERIFY(!request.contains("%1") && !request.contains("%2"));

    QCOMPARE(sink.statuses, QStringList({"Connecting to server <127.0.0.1>...",
                                         "Requesting authentication for device <Studio B>...",
                                         "No active connection"}));
    for (const QString &line : {QStringLiteral("resolveDevice(Connecting to server <127.0.0.1>...)"),
                                QStringLiteral("resolveDevice(connected to <127.0.0.1>)"),
                                QStringLiteral("resolveDevice(Requesting authentication for device <SN=000123,PWD=***>...)"),
                                QStringLiteral("resolveDevice(Device <SN=000123,PWD=***> successfully authenticated)"),
                                QStringLiteral("sslErrors(ignore ssl errors)"),
                                QStringLiteral("sslEncrypted(encrypted connection established)"),
                                QStringLiteral("sslStateChanged(state=%1)").arg(int(QAbstractSocket::ConnectedState)),
                                QStringLiteral("sslDumpCertificate(O=<Kandelo Test>,CN=<Kandelo ip>,L=<Bern>,OU=<Lab>,C=<CH>,ST=<Bern>)")})
        QVERIFY2(sink.logged(line), qPrintable(line));
    QVERIFY(!sink.leaked("unit-secret"));
    QVERIFY(!sink.leaked("s@cret"));
}

void RemoteAccessTest::refusedReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("status");    // the last one; empty: not checked
    QTest::addColumn<QString>("logLine");   // empty: not checked
    const QString invalid("Received an invalid response from server <127.0.0.1>");
    QTest::newRow("unknown device") << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\nu=a&p=b&m=0001f4")
        << int(RemoteAccessOutcome::UnknownDevice) << ""
        << "Device <Studio B> is either unknown or unreachable"
        << "resolveDevice(Device <SN=000123,PWD=***> is either unknown or unreachable)";
    QTest::newRow("single line") << QByteArray("HTTP/1.1 200 OK u=a&p=b&m=0001f4\r\n")
        << int(RemoteAccessOutcome::InvalidResponse) << "" << invalid << "";
    QTest::newRow("closed without a word") << QByteArray() << int(RemoteAccessOutcome::InvalidResponse) << "" << invalid << "";
    QTest::newRow("repeated user, no port") << okReply("u=first&u=second&p=pw")
        << int(RemoteAccessOutcome::AuthenticationFailed) << "second"
        << "Authentication failed for device <Studio B>"
        << "resolveDevice(Authentication failed for device <SN=000123,PWD=***>)";
    QTest::newRow("oversized") << okReply(QByteArray(70000, 'x') + "&u=a&p=b&m=0001f4")
        << int(RemoteAccessOutcome::InvalidResponse) << "" << invalid << "";
}

void RemoteAccessTest::refusedReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, outcome);
    QFETCH(QString, user);
    QFETCH(QString, status);
    QFETCH(QString, logLine);
    ipServer->script(TlsPeer::Reply, reply);
    RecordingSink sink;
    const RemoteAccessResult r = query(ipServer->port, trustSelfSigned(), sink);
    QCOMPARE(int(r.outcome), outcome);
    QCOMPARE(r.account.user, user);
    if (!status.isEmpty())
        QCOMPARE(sink.statuses.last(), status);
    if (!logLine.isEmpty())
        QVERIFY(sink.logged(logLine));
    QCOMPARE(ipServer->requestCount(), 1);
    QVERIFY(!sink.leaked("unit-secret"));
}

void RemoteAccessTest::certificateDecision_data()
{
    QTest::addColumn<bool>("ipCertificate");   // else it names another host only
    QTest::addColumn<QList<TrustedCertificate>>("entries");
    QTest::addColumn<bool>("authenticated");
    QTest::addColumn<QString>("logLine");
    TrustedCertificate stranger = trustSelfSigned().first();
    stranger.commonName = QStringLiteral("Someone Else");
    TrustedCertificate other = trustSelfSigned().first();
    other.commonName = QStringLiteral("Kandelo other");
    TrustedCertificate mismatch = other;
    mismatch.sslError = int(QSslError::HostNameMismatch);
    using Entries = QList<TrustedCertificate>;
    QTest::newRow("entry for another issuer") << true << Entries{stranger} << false
        << QStringLiteral("sslError(error=%1)").arg(int(QAbstractSocket::SslHandshakeFailedError));
    QTest::newRow("host-name mismatch not waived by another entry") << false << Entries{other} << false
        << "sslErrors(ignore ssl errors)";
    QTest::newRow("each error waived") << false << Entries{other, mismatch} << true << "sslErrors(ignore ssl errors)";
}

void RemoteAccessTest::certificateDecision()
{
    QFETCH(bool, ipCertificate);
    QFETCH(QList<TrustedCertificate>, entries);
    QFETCH(bool, authenticated);
    QFETCH(QString, logLine);
    TlsPeer &server = ipCertificate ? *ipServer : *otherServer;
    server.script(TlsPeer::Reply, okReply("u=a&p=b&m=0001f4"));
    RecordingSink sink;
    const RemoteAccessResult r = query(server.port, entries, sink);
    QCOMPARE(r.authenticated(), authenticated);
    QCOMPARE(server.requestCount(), authenticated ? 1 : 0);
    QVERIFY(sink.logged(logLine));
    if (!authenticated) {
        QCOMPARE(r.outcome, RemoteAccessOutcome::ConnectFailed);
        QCOMPARE(sink.statuses.last(), QStringLiteral("Failure to connect to server <127.0.0.1>"));
    }
    if (ipCertificate && !authenticated)
        QVERIFY(!sink.logged("sslErrors(ignore ssl errors)"));
}

void RemoteAccessTest::deadlines()
{
    {
        // Listening without ever accepting: the connection opens, TLS never starts.
        QTcpServer mute;
        QVERIFY(mute.listen(QHostAddress::LocalHost, 0));
        RecordingSink sink;
        RemoteAccessQuery q({}, sink);
        q.setServerPortForTest(mute.serverPort());
        q.setTimeoutsForTest(1000, 1000);
        QCOMPARE(q.resolve(QStringLiteral("127.0.0.1"), unit()).outcome, RemoteAccessOutcome::ConnectFailed);
        QVERIFY(sink.logged("resolveDevice(Failure to connect to server <127.0.0.1>)"));
    }
    {
        ipServer->script(TlsPeer::Silent);
        RecordingSink sink;
        QCOMPARE(query(ipServer->port, trustSelfSigned(), sink, 1000).outcome, RemoteAccessOutcome::InvalidResponse);
        QCOMPARE(ipServer->requestCount(), 1);
        QVERIFY(sink.logged("resolveDevice(Received an invalid response from server <127.0.0.1>)"));
        // Waiting in slices is no socket fault.
        QVERIFY(!sink.logged(QStringLiteral("sslError(error=%1)").arg(int(QAbstractSocket::SocketTimeoutError))));
    }
    {
        // Bytes keep coming, so only the overall deadline ends the read.
        ipServer->script(TlsPeer::Trickle);
        RecordingSink sink;
        const RemoteAccessResult r = query(ipServer->port, trustSelfSigned(), sink, 1500);
        QCOMPARE(r.outcome, RemoteAccessOutcome::AuthenticationFailed);
        QCOMPARE(r.account.user, QStringLiteral("a"));
    }
}

QTEST_GUILESS_MAIN(RemoteAccessTest)
#include "tst_remoteaccess.moc"
