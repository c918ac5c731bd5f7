#include "app/keccak.h"
#include "app/remoteaccess.h"
#include "tests/support/testrows.h"
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

QByteArray salted(const QByteArray &data)
{
    return QByteArray(reinterpret_cast<const char *>(DigestPrefixSalt), 4) + data
         + QByteArray(reinterpret_cast<const char *>(DigestSuffixSalt), 4);
}

KnownDevice unit(const QString &serial = QStringLiteral("000123"))
{
    return KnownDevice{7, 0, QStringLiteral("Studio B"), QString(), serial, QStringLiteral("unit-secret")};
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

TrustedCertificate trust(QSslError::SslError code, const QString &organization, const QString &commonName)
{
    TrustedCertificate entry;
    entry.sslError = int(code);
    entry.organization = organization;
    entry.commonName = commonName;
    return entry;
}

// The test certificates are self-signed: issuer = subject.
const TrustedCertificate selfSigned = trust(QSslError::SelfSignedCertificate, "Kandelo Test", "Kandelo ip");

} // namespace

// The trusted entries against a certificate for the server's address (else one
// naming another host only), and the lines naming the exceptions, in order.
struct Decision
{
    const char *name;
    bool ipCertificate;
    QList<TrustedCertificate> entries;
    bool authenticated;
    QStringList waivers;
};
const QSslError::SslError kSelf = QSslError::SelfSignedCertificate;
const QString kWaiver("sslErrors(will ignore this ssl error for certificate %1)");
const TrustedCertificate kOther = trust(kSelf, "Kandelo Test", "Kandelo other");
const QString kOtherNamed = kWaiver.arg("O=<Kandelo Test>,CN=<Kandelo other>");
const Decision kDecisions[] = {
    {"no entries", true, {}, false, {}},
    {"issuer and organisation", true, {selfSigned}, true, {kWaiver.arg("O=<Kandelo Test>,CN=<Kandelo ip>")}},
    {"other organisation", true, {trust(kSelf, "Elsewhere", "Kandelo ip")}, true, {kWaiver.arg("CN=<Kandelo ip>")}},
    {"other error", true, {trust(QSslError::HostNameMismatch, "Kandelo Test", "Kandelo ip")}, false, {}},
    {"other issuer", true, {kOther}, false, {}},
    {"organisation alone", true, {trust(kSelf, "Kandelo Test", "")}, false, {}},
    {"first match names it", true, {trust(kSelf, "Elsewhere", "Kandelo ip"), selfSigned}, true,
     {kWaiver.arg("CN=<Kandelo ip>")}},
    // Each error needs its own exception: one waived error does not carry another.
    {"host-name mismatch not waived", false, {kOther}, false, {kOtherNamed}},
    {"each error waived", false, {kOther, trust(QSslError::HostNameMismatch, "", "Kandelo other")}, true,
     {kWaiver.arg("CN=<Kandelo other>"), kOtherNamed}},
};

// The window takes from a refused reply exactly the fields it sent: an empty
// one counts, a missing one (null here) must stay null.
struct ReplyRow
{
    const char *name;
    QByteArray reply;
    RemoteAccessOutcome outcome;
    QString user, password;
    int port;
};
const RemoteAccessOutcome kOk = RemoteAccessOutcome::Authenticated, kFailed = RemoteAccessOutcome::AuthenticationFailed;
const ReplyRow kReplies[] = {
    {"all three", okReply("u=alice&p=pa%26ss&m=0000000001f4"), kOk, "alice", "pa&ss", 31988},
    {"any order, extras ignored", okReply("x=1&&m=00:00:00:00:01:f4&p=s&u=bob"), kOk, "bob", "s", 31988},
    {"repeated user stands for no port", okReply("u=a&u=b&p=c"), kFailed, "b", "c", 0},
    {"repeated port is still one port", okReply("u=a&p=b&m=0001f4&m=0001f5"), kOk, "a", "b", 31989},
    {"unusable port", okReply("u=a&p=b&m=01F4"), kFailed, "a", "b", 0},
    {"empty user, no password", "HTTP/1.1 200 OK\n\nu=&m=01F4", kFailed, "", QString(), 0},
    {"prefixes are case-sensitive", okReply("U=a&p=b&m=0001f4"), kFailed, QString(), "b", 31988},
    {"nothing", "  \r\n ", RemoteAccessOutcome::InvalidResponse, QString(), QString(), 0},
};

// Replies that grant nothing, and the slow one that still does. A null status
// is the invalid-response text; "grant" fields go into a well-formed reply
// after "pad" filler bytes.
const QString kInvalid("Received an invalid response from server <127.0.0.1>");
struct Refusal
{
    const char* name;
    TlsPeer::Mode mode;
    const char* reply;
    const char* grant;
    int pad;
    RemoteAccessOutcome outcome;
    const char* user;
    const char* status;
    const char* logLine;  // empty: not checked
    int silence = 20000, deadline = 20000;
};
const Refusal kRefusals[] = {
    {"unknown device", TlsPeer::Reply, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\nu=a&p=b&m=0001f4", nullptr, 0,
     RemoteAccessOutcome::UnknownDevice, "", "Device <Studio B> is either unknown or unreachable",
     "resolveDevice(Device <SN=000123,PWD=***> is either unknown or unreachable)"},
    {"single line", TlsPeer::Reply, "HTTP/1.1 200 OK u=a&p=b&m=0001f4\r\n", nullptr, 0,
     RemoteAccessOutcome::InvalidResponse, "", nullptr, ""},
    {"closed without a word", TlsPeer::Reply, "", nullptr, 0, RemoteAccessOutcome::InvalidResponse, "", nullptr, ""},
    {"repeated user, no port", TlsPeer::Reply, "", "u=first&u=second&p=pw", 0,
     RemoteAccessOutcome::AuthenticationFailed, "second", "Authentication failed for device <Studio B>",
     "resolveDevice(Authentication failed for device <SN=000123,PWD=***>)"},
    {"oversized", TlsPeer::Reply, "", "&u=a&p=b&m=0001f4", 70000, RemoteAccessOutcome::InvalidResponse, "", nullptr,
     "resolveDevice(Reply of server <127.0.0.1> exceeds 65536 bytes)"},
    {"silent server", TlsPeer::Silent, "", nullptr, 0, RemoteAccessOutcome::InvalidResponse, "", nullptr, "", 1000},
    // Still sending when the deadline passes: whatever came is no reply.
    {"cut off by the deadline", TlsPeer::Slow, "", "u=a&p=b&m=0000000001f4", 0, RemoteAccessOutcome::InvalidResponse, "", nullptr,
     "resolveDevice(Reply of server <127.0.0.1> still arriving after 500 ms)", 20000, 500},
    // Sent slowly but whole, and the server falls silent without closing.
    {"slow, ended by silence", TlsPeer::Slow, "", "u=a&p=b&m=0000000001f4", 0, RemoteAccessOutcome::Authenticated, "a",
     "No active connection", "", 500, 5000},
};

namespace {

RemoteAccessResult query(TlsPeer &server, const QList<TrustedCertificate> &trusted, RecordingSink &sink,
                         int silence = 20000, int deadline = 20000)
{
    RemoteAccessQuery q(trusted, sink);
    q.setServerPortForTest(server.port);
    q.setTimeoutsForTest(20000, silence, deadline);
    return q.resolve(QStringLiteral("127.0.0.1"), unit());
}

} // namespace

class RemoteAccessTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable("openssl").isEmpty(), "openssl is not installed");
        QVERIFY2(QSslSocket::supportsSsl(), "TLS support missing");
        QVERIFY(dir.isValid());
        QVERIFY(makeCertificate("ip", "IP:127.0.0.1"));
        QVERIFY(makeCertificate("other", "DNS:remote.invalid"));
        ipServer = startTlsServer("ip");
        otherServer = startTlsServer("other");
        QVERIFY(ipServer && otherServer);
    }

    void keccak()
    {
        QCOMPARE(keccak512("abc").toHex(),
                 QByteArray("18587dc2ea106b9a1563e32b3312421ca164c7f1f07bc922a9c83d77cea3a1e5"
                            "d0c69910739025372dc14ac9642629379540c17e2a65b19d77aa511a9d00bb96"));
        // Not SHA3-512: the padding byte differs.
        QVERIFY(keccak512("abc") != QCryptographicHash::hash("abc", QCryptographicHash::Sha3_512));

        // Around the 72-byte block, whole and absorbed in uneven pieces.
        for (int n : {0, 1, 71, 72, 73, 143, 144, 145, 1000}) {
            QByteArray data(n, Qt::Uninitialized);
            for (char &c : data)
                c = char(QRandomGenerator::global()->bounded(256));
            QVERIFY2(keccak512(data) == keccakReference(data), qPrintable(QString::number(n)));
            KeccakState s;
            keccakInit(s);
            for (int at = 0, step = 1; at < n; at += step, step = step * 2 + 1)
                keccakAbsorb(s, reinterpret_cast<const std::uint8_t *>(data.constData()) + at,
                             std::size_t(qMin(step, n - at)));
            if (n % 72 == 0)
                QCOMPARE(s.position, 0u);
            QByteArray out(64, '\0');
            keccakFinal(s, reinterpret_cast<std::uint8_t *>(out.data()));
            QCOMPARE(out, keccakReference(data));
        }
    }

    void requestBody()
    {
        const QByteArray body = remoteAccessBody(unit(QStringLiteral("000123")));
        QCOMPARE(body, remoteAccessBody(unit(QStringLiteral("123"))));
        QCOMPARE(body, "uid=" + keccakReference(salted("VELTO_123")).toHex()
                     + "&upw=" + keccakReference(salted("unit-secret")).toHex());
        // An all-zero serial loses every digit; inner zeros stay.
        QCOMPARE(remoteAccessBody(unit(QStringLiteral("0000"))).left(132),
                 "uid=" + keccakReference(salted("VELTO_")).toHex());
        QVERIFY(remoteAccessBody(unit(QStringLiteral("1023"))) != body);

        KnownDevice latin = unit();
        latin.password = QStringLiteral("m\u00fcde");
        QCOMPARE(remoteAccessBody(latin).mid(137), keccakReference(salted("m\xfc" "de")).toHex());
        QCOMPARE(remoteAccessBody(latin).size(), 265);
    }

    void requestHead_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QByteArray>("host");
        QTest::newRow("IPv4") << "127.0.0.1" << QByteArray("127.0.0.1");
        QTest::newRow("IPv6") << "::1" << QByteArray("[::1]");
        QTest::newRow("IPv6 with zone") << "fe80::1%lo" << QByteArray("[fe80::1%25lo]");
    }

    void requestHead()
    {
        QFETCH(QString, peer);
        QFETCH(QByteArray, host);
        const QByteArray head = remoteAccessHead(QHostAddress(peer), 265);
        QVERIFY(head.startsWith("POST "));
        QVERIFY2(head.contains("\r\nHost: " + host + "\r\n"), head.constData());
        QVERIFY(head.contains("\r\nContent-Length: 265\r\n"));
        QVERIFY(head.endsWith("\r\n\r\n"));
        // A head token that does not decode gives no head at all.
        QVERIFY(remoteAccessHead(QByteArray(56, 'A'), QHostAddress(peer), 265).isEmpty());
    }

    void forwardPort_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::newRow("colons") << "00:00:00:00:01:f4" << 500 + 31488;
        QTest::newRow("plain") << "0000000001f4" << 500 + 31488;
        QTest::newRow("no leading digit") << "zz01f4" << 31488;
        QTest::newRow("too short") << "01F4" << 0;
        QTest::newRow("short after removal") << "01:F4:::" << 0;
        QTest::newRow("hex prefix") << "0000000x01f4" << 500 + 31488;
        QTest::newRow("stops at non-hex") << "0001g4" << 1 + 31488;
        QTest::newRow("highest usable") << "0084ff" << 65535;
        QTest::newRow("past the port range") << "008500" << 0;
        QTest::newRow("non-ascii") << QString::fromUtf8("00\u00e9:01:f4") << 500 + 31488;
    }

    void forwardPort()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        QCOMPARE(parseForwardPort(text), port);
    }

    void replyParsing_data() { indexRows(kReplies); }

    void replyParsing()
    {
        QFETCH(int, row);
        const ReplyRow &r = kReplies[row];
        RemoteAccount account;
        QCOMPARE(parseRemoteAccessReply(r.reply, account), r.outcome);
        QCOMPARE(account.user, r.user);
        QCOMPARE(account.user.isNull(), r.user.isNull());
        QCOMPARE(account.password, r.password);
        QCOMPARE(account.password.isNull(), r.password.isNull());
        QCOMPARE(account.tunnelPort, r.port);
    }

    void certificateDumpOnOneLine()
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

    void authenticated()
    {
        ipServer->script(TlsPeer::Reply, okReply("u=tunnel&p=s%40cret%20x&m=0000000001f4"));
        RecordingSink sink;
        const RemoteAccessResult r = query(*ipServer, {selfSigned}, sink);
        QVERIFY(r.authenticated());
        QCOMPARE(r.account.user, QStringLiteral("tunnel"));
        QCOMPARE(r.account.password, QStringLiteral("s@cret x"));
        QCOMPARE(r.account.tunnelPort, 500 + 31488);
        QCOMPARE(r.account.tunnelText, QStringLiteral("0000000001f4"));

        // What reached the server: our head for the peer address, then the body.
        const QByteArray body = remoteAccessBody(unit());
        QCOMPARE(ipServer->request(), remoteAccessHead(QHostAddress::LocalHost, 265) + body);

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

    void refusedReplies_data() { indexRows(kRefusals); }

    void refusedReplies()
    {
        QFETCH(int, row);
        const auto& [name, mode, text, grant, pad, outcome, user, statusText, logLine, silence, deadline] =
            kRefusals[row];
        const QByteArray reply = grant ? okReply(QByteArray(pad, 'x') + grant) : QByteArray(text);
        const QString status = statusText ? QString(statusText) : kInvalid;
        ipServer->script(mode, reply);
        ipServer->script(TlsPeer::Mode(mode), reply);
        RecordingSink sink;
        const RemoteAccessResult r = query(*ipServer, {selfSigned}, sink, silence, deadline);
        QCOMPARE(r.outcome, outcome);
        QCOMPARE(r.account.user, QString(user));
        QCOMPARE(sink.statuses.last(), status);
        if (*logLine)
            QVERIFY2(sink.logged(logLine), qPrintable(sink.lines.join('\n')));
        QCOMPARE(ipServer->requestCount(), 1);
        QVERIFY(!sink.leaked("unit-secret"));
        // Waiting in slices is no socket fault.
        QVERIFY(!sink.logged(QStringLiteral("sslError(error=%1)").arg(int(QAbstractSocket::SocketTimeoutError))));
    }

    void certificateDecision_data() { indexRows(kDecisions); }

    void certificateDecision()
    {
        QFETCH(int, row);
        const auto &[name, ipCertificate, entries, authenticated, waivers] = kDecisions[row];
        TlsPeer &server = ipCertificate ? *ipServer : *otherServer;
        server.script(TlsPeer::Reply, okReply("u=a&p=b&m=0001f4"));
        RecordingSink sink;
        const RemoteAccessResult r = query(server, entries, sink);
        QCOMPARE(r.authenticated(), authenticated);
        QCOMPARE(server.requestCount(), authenticated ? 1 : 0);
        QVERIFY(sink.logged(QStringLiteral("sslErrors(sslerror=%1,%2)")
                                .arg(int(QSslError::SelfSignedCertificate))
                                .arg(QSslError(QSslError::SelfSignedCertificate).errorString())));
        QCOMPARE(sink.lines.filter("will ignore"), waivers);
        QCOMPARE(sink.logged("sslErrors(ignore ssl errors)"), !waivers.isEmpty());
        if (!authenticated) {
            QCOMPARE(r.outcome, RemoteAccessOutcome::ConnectFailed);
            QCOMPARE(sink.statuses.last(), QStringLiteral("Failure to connect to server <127.0.0.1>"));
        }
    }

    void handshakeDeadline()
    {
        // Listening without ever accepting: the connection opens, TLS never starts.
        QTcpServer mute;
        QVERIFY(mute.listen(QHostAddress::LocalHost, 0));
        RecordingSink sink;
        RemoteAccessQuery q({}, sink);
        q.setServerPortForTest(mute.serverPort());
        q.setTimeoutsForTest(1000, 1000, 1000);
        QCOMPARE(q.resolve(QStringLiteral("127.0.0.1"), unit()).outcome, RemoteAccessOutcome::ConnectFailed);
        QVERIFY(sink.logged("resolveDevice(Failure to connect to server <127.0.0.1>)"));
    }

private:
    bool makeCertificate(const QString &name, const QString &altName, const QString &subject = QString());
    std::unique_ptr<TlsPeer> startTlsServer(const QString &name);

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

QTEST_GUILESS_MAIN(RemoteAccessTest)
#include "tst_remoteaccess.moc"
