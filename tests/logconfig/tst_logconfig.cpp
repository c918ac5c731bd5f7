#include "app/applicationsettings.h"
#include "app/logfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <limits>
#include <sys/resource.h>

namespace {

// A log writer whose clock the test sets.
class ClockedLogFile : public LogFile
{
public:
    ClockedLogFile()
        : LogFile(QStringLiteral("Kandelo"))
    {
    }
    QDateTime now = QDateTime(QDate(2024, 1, 31), QTime(17, 45, 2));

protected:
    QDateTime currentDateTime() const override { return now; }
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList names(const QStringList &paths)
{
    QStringList out;
    for (const QString &p : paths)
        out << QFileInfo(p).fileName();
    return out;
}

QStringList dirEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Installs the handler and publishes the log for the guard's life, so a
// failed check cannot leave a dead writer published.
struct Published
{
    explicit Published(LogFile *log)
        : previous(qInstallMessageHandler(logMessageHandler))
    {
        setMessageLog(log);
    }
    ~Published()
    {
        setMessageLog(nullptr);
        qInstallMessageHandler(previous);
    }
    QtMessageHandler previous;
};

// What the reader sets, in one line, for table-driven expectations.
QString summary(const ApplicationSettings &s)
{
    QStringList known, recent, certs;
    for (const KnownDevice &d : s.knownDevices)
        known << QString("%1:%2:%3").arg(d.id).arg(d.name, d.serialno);
    for (int id : s.recentDevices)
        recent << QString::number(id);
    for (const TrustedCertificate &c : s.trustedCertificates)
        certs << QString("%1:%2:%3").arg(c.sslError).arg(c.organization, c.commonName);
    return QString("log %1/%2/%3 server %4:%5 max %6").arg(s.logMaxSize).arg(s.logMaxFiles)
               .arg(s.sshVerbosity).arg(s.hostname).arg(s.hostport).arg(s.maxDevices)
           + " known " + known.join(',') + " recent " + recent.join(',') + " certs " + certs.join(',');
}

ApplicationSettings fullSettings(const QString &path)
{
    ApplicationSettings s(path);
    s.logMaxSize = 1024;
    s.logMaxFiles = 5;
    s.sshVerbosity = 3;
    s.hostport = 2222;
    s.hostname = "ra.example.com";
    s.user = "account-user";
    s.password = "account-secret";
    s.maxDevices = 4;
    s.trustedCertificates = {{20, "Acme", "Acme CA"}, {19, "", "Self"}, {18, "", ""}};
    s.knownDevices.insert(7, KnownDevice{7, 5000, QString::fromUtf8("Caf\xc3\xa9 \xe2\x82\xac <1> & \"q\""),
                                         "tunnel text", "SN7", "pw7"});
    s.knownDevices.insert(2, KnownDevice{2, 0, "Two", "", "SN2", QString("p\x01w")});
    s.recentDevices = {7, 2};
    return s;
}

} // namespace

class TestLogConfig : public QObject
{
    Q_OBJECT

private slots:
    // log files
    void sizeLimit();
    void scanKeepsOnlyLogFiles();
    void pruning_data();
    void pruning();
    void rotationAtAndAboveLimit();
    void sameSecondKeepsEarlierData();
    void directoryFailures();
    void handlerTagsAndPublication();
    void handlerFromThreads();

    // configuration file
    void deviceLists();
    void documentAndRoundTrip();
    void readingRules_data();
    void readingRules();
    void diagnostics();
    void interruptedWriteKeepsOldFile();
};

void TestLogConfig::sizeLimit()
{
    QCOMPARE(LogFile::sizeLimit(1), 1024);
    QCOMPARE(LogFile::sizeLimit(0), -1);
    QCOMPARE(LogFile::sizeLimit(2097151), 2147482624);
    QCOMPARE(LogFile::sizeLimit(2097152), std::numeric_limits<qint32>::max());
    QCOMPARE(LogFile::sizeLimit(std::numeric_limits<int>::max()), std::numeric_limits<qint32>::max());
}

void TestLogConfig::scanKeepsOnlyLogFiles()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString d = tmp.path();
    writeFile(d + "/240101T000000-Kandelo.log", "a");
    writeFile(d + "/000-Kandelo.log", "b");               // no time stamp, still ours
    writeFile(d + "/240101T000000-Kandelo.log.bak", "c");
    writeFile(d + "/240101T000000-Other.log", "d");
    writeFile(d + "/240101T000000-kandelo.log", "e");     // case differs
    writeFile(d + "/Kandelo.log", "f");                   // no hyphen
    QVERIFY(QDir(d).mkdir("240101T000001-Kandelo.log"));  // not a regular file
    QVERIFY(QFile::link(d + "/240101T000000-Kandelo.log", d + "/240101T000002-Kandelo.log"));

    ClockedLogFile log;
    QVERIFY(log.setDirectory(d));
    QCOMPARE(names(log.files()),
             QStringList({"000-Kandelo.log", "240101T000000-Kandelo.log", "240131T174502-Kandelo.log"}));
    QVERIFY(QFileInfo(log.files().first()).isAbsolute());
    QCOMPARE(log.currentFileName(), log.files().last());
}

void TestLogConfig::pruning_data()
{
    QTest::addColumn<QStringList>("seeded");
    QTest::addColumn<int>("atStart");
    QTest::addColumn<int>("keptAtStart");
    QTest::addColumn<int>("lowered");
    QTest::addColumn<QStringList>("left");

    const QStringList four = {"230101T000000-Kandelo.log", "230102T000000-Kandelo.log",
                              "230103T000000-Kandelo.log", "230104T000000-Kandelo.log"};
    QTest::newRow("at start") << four + QStringList{"notes.txt"} << 3 << 3 << 0
                              << QStringList{"230103T000000-Kandelo.log", "230104T000000-Kandelo.log",
                                             "240131T174502-Kandelo.log", "notes.txt"};
    // A limit below 1 means none; a lower limit prunes at once while a file is open.
    QTest::newRow("lowered while open") << four << -3 << 5 << 2
                                        << QStringList{"230104T000000-Kandelo.log",
                                                       "240131T174502-Kandelo.log"};
    // The clock is behind the newest name: the open file does not sort last.
    QTest::newRow("open file kept") << QStringList{"250101T000000-Kandelo.log"} << 1 << 1 << 0
                                    << QStringList{"240131T174502-Kandelo.log"};
}

void TestLogConfig::pruning()
{
    QFETCH(QStringList, seeded);
    QFETCH(int, atStart);
    QFETCH(int, keptAtStart);
    QFETCH(int, lowered);
    QFETCH(QStringList, left);

    QTemporaryDir tmp;
    const QString d = tmp.path();
    for (const QString &n : seeded)
        writeFile(d + "/" + n, n.toLatin1());
    ClockedLogFile log;
    log.setMaxFiles(atStart);
    QVERIFY(log.setDirectory(d));
    QCOMPARE(log.files().size(), keptAtStart);
    if (lowered)
        log.setMaxFiles(lowered);
    QCOMPARE(dirEntries(d), left);
    QCOMPARE(names(log.files()), left.filter(QRegularExpression("-Kandelo\\.log$")));
    QVERIFY(QFile::exists(log.currentFileName()));
}

void TestLogConfig::rotationAtAndAboveLimit()
{
    QTemporaryDir tmp;
    ClockedLogFile log;
    log.maxSize = 100;
    QVERIFY(log.setDirectory(tmp.path()));
    const QString first = log.currentFileName();

    log.write(QByteArray(60, 'a'));
    log.writeLine(QByteArray(39, 'b'));   // exactly 100 bytes: stays open
    QCOMPARE(log.currentFileName(), first);

    log.now = log.now.addSecs(1);
    log.writeLine("over");                // past the limit: rotates after the write
    const QString second = log.currentFileName();
    QCOMPARE(QFileInfo(second).fileName(), QString("240131T174503-Kandelo.log"));
    QCOMPARE(readAll(first).size(), 105);
    QCOMPARE(log.files(), QStringList({first, second}));
    log.writeLine("next");
    QCOMPARE(readAll(second), QByteArray("next\n"));

    // Without a limit nothing rotates.
    log.maxSize = -1;
    log.now = log.now.addSecs(1);
    log.write(QByteArray(500, 'c'));
    QCOMPARE(log.currentFileName(), second);

    log.close();
    QVERIFY(!log.isOpen());
    QVERIFY(log.files().isEmpty());
    QCOMPARE(readAll(second).size(), 505);
}

void TestLogConfig::sameSecondKeepsEarlierData()
{
    QTemporaryDir tmp;
    const QString name = tmp.path() + "/240131T174502-Kandelo.log";
    writeFile(name, "earlier run\n");

    // A restart within the same second appends to the earlier file.
    ClockedLogFile log;
    log.maxSize = 20;
    QVERIFY(log.setDirectory(tmp.path()));
    QCOMPARE(log.files(), QStringList({QFileInfo(name).absoluteFilePath()}));
    log.writeLine("first line");

    // A rotation within the same second keeps writing the same file.
    log.writeLine("second line");
    QCOMPARE(log.files().size(), 1);
    QCOMPARE(readAll(name), QByteArray("earlier run\nfirst line\nsecond line\n"));

    // The clock went back to the name of an earlier file: both contents stay,
    // and the path is listed once.
    log.now = log.now.addSecs(5);
    log.writeLine("third line");   // still to the first file: it rotates afterwards
    const QString later = log.currentFileName();
    log.writeLine(QByteArray(20, 'x'));
    log.now = log.now.addSecs(-5);
    log.writeLine("fourth line");
    QCOMPARE(log.currentFileName(), QFileInfo(name).absoluteFilePath());
    log.writeLine("fifth line");
    QCOMPARE(log.files(), QStringList({later, QFileInfo(name).absoluteFilePath()}));
    QCOMPARE(readAll(name), QByteArray("earlier run\nfirst line\nsecond line\nthird line\nfifth line\n"));
    QCOMPARE(readAll(later), QByteArray(20, 'x') + "\nfourth line\n");
}

void TestLogConfig::directoryFailures()
{
    QTemporaryDir tmp;
    const QString blocker = tmp.path() + "/plain";
    writeFile(blocker, "not a directory");

    ClockedLogFile log;
    QVERIFY(!log.setDirectory(QString()));   // not the file-system root
    QVERIFY(!log.setDirectory(blocker + "/logs"));
    QVERIFY(!log.isOpen());
    QVERIFY(log.directory().isEmpty());
    log.writeLine("dropped");   // no file: nothing happens

    // Missing parents are made; a second setDirectory is refused while open.
    const QString nested = tmp.path() + "/a/b/logs";
    QVERIFY(log.setDirectory(nested));
    QVERIFY(QFileInfo(nested).isDir());
    QVERIFY(!log.setDirectory(tmp.path()));
    QCOMPARE(log.directory(), nested);
    QVERIFY(!log.open(nested));

    // The next file cannot be made: no log until restart, nothing lost before.
    ClockedLogFile broken;
    broken.maxSize = 4;
    const QString dir = tmp.path() + "/broken";
    QVERIFY(broken.setDirectory(dir));
    const QString first = broken.currentFileName();
    broken.now = broken.now.addSecs(1);
    QVERIFY(QDir(dir).mkdir("240131T174503-Kandelo.log"));
    broken.writeLine("line");
    QVERIFY(!broken.isOpen());
    broken.writeLine("dropped");
    QCOMPARE(readAll(first), QByteArray("line\n"));
}

void TestLogConfig::handlerTagsAndPublication()
{
    QTemporaryDir tmp;
    ClockedLogFile log;
    QVERIFY(log.setDirectory(tmp.path()));
    ClockedLogFile unopened;
    {
        Published published(nullptr);
        qDebug("before publication");
        setMessageLog(&log);
        qDebug("debug text");
        qWarning("warning text");
        qInfo("info text");
        qCritical("critical text");
        qDebug() << QStringLiteral("stream");
        qDebug("caf\xc3\xa9");
        logMessageHandler(QtFatalMsg, QMessageLogContext(), QStringLiteral("fatal text"));
        logMessageHandler(QtMsgType(42), QMessageLogContext(), QStringLiteral("unknown type"));
        setMessageLog(nullptr);
        qDebug("after withdrawal");
        // A log writer without an open file takes nothing.
        setMessageLog(&unopened);
        qDebug("no file");
    }

    const QList<QByteArray> lines = readAll(log.currentFileName()).split('\n');
    const QList<QByteArray> expected = {" debug debug text", " info  warning text", " info  info text",
                                        " error critical text", " debug \"stream\"",
                                        " debug caf\xc3\xa9", " fatal fatal text", ""};
    QCOMPARE(lines.size(), expected.size());
    const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$");
    for (int i = 0; i + 1 < lines.size(); ++i) {
        QVERIFY2(time.match(QString::fromLatin1(lines[i].left(12))).hasMatch(), lines[i].constData());
        QCOMPARE(lines[i].mid(12), expected[i]);
    }
}

void TestLogConfig::handlerFromThreads()
{
    // Qt warns from its own threads too: lines stay whole and none is lost.
    QTemporaryDir tmp;
    ClockedLogFile log;
    QVERIFY(log.setDirectory(tmp.path()));
    {
        Published published(&log);
        QList<QThread *> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([t] {
                for (int i = 0; i < 200; ++i)
                    qWarning("thread %d line %d", t, i);
            });
            threads.last()->start();
        }
        for (QThread *thread : threads) {
            thread->wait();
            delete thread;
        }
    }
    const QList<QByteArray> lines = readAll(log.currentFileName()).split('\n');
    QCOMPARE(lines.size(), 801);
    const QRegularExpression form("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d info  thread \\d line \\d+$");
    for (int i = 0; i < 800; ++i)
        QVERIFY2(form.match(QString::fromLatin1(lines[i])).hasMatch(), lines[i].constData());
}

void TestLogConfig::deviceLists()
{
    KnownDeviceMap map;
    QCOMPARE(ApplicationSettings::nextDeviceId(map), 1);
    for (int id : {1, 2, 4})
        map.insert(id, KnownDevice{id, 0, "n", "", "s", "p"});
    QCOMPARE(ApplicationSettings::nextDeviceId(map), 3);

    ApplicationSettings s;
    for (int id = 1; id <= 10; ++id)
        s.addRecentDevice(id);
    QVERIFY(s.addRecentDevice(8));   // moves to the front, no duplicate
    QCOMPARE(s.recentDevices, QList<int>({8, 10, 9, 7, 6, 5, 4, 3, 2, 1}));
    s.addRecentDevice(11);           // a new id drops the last one
    QCOMPARE(s.recentDevices, QList<int>({11, 8, 10, 9, 7, 6, 5, 4, 3, 2}));
    s.maxDevices = 0;                // no limit
    s.addRecentDevice(12);
    QCOMPARE(s.recentDevices.size(), 11);

    s.recentDevices = {4, 3, 1, 4, 2};
    s.setKnownDevices(map);
    QCOMPARE(s.recentDevices, QList<int>({4, 1, 4, 2}));
}

void TestLogConfig::documentAndRoundTrip()
{
    QTemporaryDir tmp;
    ApplicationSettings s(tmp.path() + "/Kandelo.xml");
    QVERIFY(writeConfiguration(s));
    QCOMPARE(readAll(s.configPath),
             QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                        "<settings version=\"1\">\n"
                        "  <applicationSettings>\n"
                        "    <logger logMaxSize=\"512\" logMaxFiles=\"25\"/>\n"
                        "  </applicationSettings>\n"
                        "  <knownDevices/>\n"
                        "  <recentDevices maxDevices=\"10\"/>\n"
                        "</settings>\n"));

    s = fullSettings(s.configPath);
    QVERIFY(writeConfiguration(s));
    const QByteArray bytes = readAll(s.configPath);
    QCOMPARE(bytes,
             QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                        "<settings version=\"1\">\n"
                        "  <applicationSettings>\n"
                        "    <logger logMaxSize=\"1024\" logMaxFiles=\"5\" sshVerbosity=\"3\"/>\n"
                        "    <server hostname=\"ra.example.com\" hostport=\"2222\"/>\n"
                        "    <trustedCertificates>\n"
                        "      <certificate sslError=\"20\" organization=\"Acme\" commonName=\"Acme CA\"/>\n"
                        "      <certificate sslError=\"19\" commonName=\"Self\"/>\n"
                        "    </trustedCertificates>\n"
                        "  </applicationSettings>\n"
                        "  <knownDevices>\n"
                        "    <device id=\"2\" name=\"Two\" serialno=\"SN2\" password=\"p?w\"/>\n"
                        "    <device id=\"7\" name=\"Caf\xe9 &#8364; &lt;1&gt; &amp; &quot;q&quot;\" "
                        "serialno=\"SN7\" password=\"pw7\"/>\n"
                        "  </knownDevices>\n"
                        "  <recentDevices maxDevices=\"4\">\n"
                        "    <device id=\"7\"/>\n"
                        "    <device id=\"2\"/>\n"
                        "  </recentDevices>\n"
                        "</settings>\n"));

    // Memory-only values survive a read; tunnel fields are never stored.
    ApplicationSettings r(s.configPath);
    r.user = "kept user";
    QVERIFY(readConfiguration(r));
    QCOMPARE(summary(r), QString::fromUtf8("log 1024/5/3 server ra.example.com:2222 max 4 known 2:Two:SN2,"
                                           "7:Caf\xc3\xa9 \xe2\x82\xac <1> & \"q\":SN7 recent 7,2 "
                                           "certs 20:Acme:Acme CA,19::Self"));
    QCOMPARE(r.user, QString("kept user"));
    QCOMPARE(r.knownDevices.value(7).tunnelPort, 0);
    QVERIFY(writeConfiguration(r));
    QCOMPARE(readAll(r.configPath), bytes);

    // Every certificate unnamed: the element itself still stands, empty.
    s.trustedCertificates = {{18, "", ""}};
    QVERIFY(configurationDocument(s).contains("    <trustedCertificates/>\n"));
}

void TestLogConfig::readingRules_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("expected");

    // Read over this record: "before" shows what the file left alone.
    const QString before = "log 77/25/2 server old:99 max 10 known  recent  certs ";
    const QByteArray body = "><applicationSettings><logger logMaxSize=\"9\"/></applicationSettings>"
                            "<knownDevices><device id=\"1\" serialno=\"s\" password=\"p\"/></knownDevices>"
                            "<recentDevices><device id=\"1\"/></recentDevices></settings>";
    QTest::newRow("version 1") << "<settings version=\"1\"" + body
                               << "log 9/25/2 server old:99 max 10 known 1:noname:s recent 1 certs ";
    QTest::newRow("version 2") << "<settings version=\"2\"" + body << before;
    QTest::newRow("no version") << "<settings" + body << before;
    QTest::newRow("version with blank") << "<settings version=\" 1\"" + body << before;
    QTest::newRow("other root") << QByteArray("<config version=\"1\"" + body).replace("</settings>", "</config>")
                                << before;

    const QByteArray head = "<settings version=\"1\">";
    QTest::newRow("bad scalars")
        << head + "<applicationSettings><logger logMaxSize=\"abc\" logMaxFiles=\"-1\" sshVerbosity=\"5\""
                  " extra=\"x\"/><server hostport=\"1234\"/></applicationSettings>"
                  "<recentDevices maxDevices=\"0\"/></settings>"
        << "log 77/25/2 server :1234 max 10 known  recent  certs ";
    QTest::newRow("good scalars, later logger wins")
        << head + "<applicationSettings><logger logMaxSize=\"2048\" logMaxFiles=\"3\" sshVerbosity=\"0\"/>"
                  "<server hostname=\"h\" hostport=\"0\"/><logger sshVerbosity=\"4\"/>"
                  "</applicationSettings></settings>"
        << "log 2048/3/4 server h:99 max 10 known  recent  certs ";
    QTest::newRow("out of place skipped with children")
        << head + "<logger logMaxSize=\"5\"/><applicationSettings><other><logger logMaxSize=\"6\"/>"
                  "</other></applicationSettings></settings>"
        << before;

    // Dropped and unknown units leave the recent list with them; duplicates stay.
    QTest::newRow("devices")
        << head + "<knownDevices>"
                  "<device id=\"3\" name=\"First\" serialno=\"S3\" password=\"P3\"/>"
                  "<device id=\"3\" name=\"Duplicate\" serialno=\"D\" password=\"D\"/>"
                  "<device id=\"4\" name=\"NoPassword\" serialno=\"S4\"/>"
                  "<device id=\"5\" name=\"EmptySerial\" serialno=\"\" password=\"P5\"/>"
                  "<device id=\"0\" serialno=\"S\" password=\"P\"/>"
                  "<device id=\"x\" serialno=\"S\" password=\"P\"/>"
                  "<device id=\"-2\" serialno=\"S\" password=\"P\"/>"
                  "<device id=\"6\" serialno=\"S6\" password=\"P6\"/>"
                  "<device id=\"8\" name=\"\" serialno=\"S8\" password=\"P8\">"
                  "<device id=\"9\" serialno=\"S\" password=\"P\"/></device>"
                  "<group><device id=\"10\" serialno=\"S\" password=\"P\"/></group></knownDevices>"
                  "<recentDevices><device id=\"4\"/><device id=\"6\"/><device id=\"5\"/><device id=\"3\"/>"
                  "<device id=\"11\"/><device id=\"6\"/></recentDevices></settings>"
        << "log 77/25/2 server old:99 max 10 known 3:First:S3,6:noname:S6,8:noname:S8 recent 6,3,6 certs ";

    const QByteArray known = "<knownDevices><device id=\"1\" serialno=\"S\" password=\"P\"/>"
                             "<device id=\"2\" serialno=\"S\" password=\"P\"/>"
                             "<device id=\"3\" serialno=\"S\" password=\"P\"/></knownDevices>";
    const QString three = "log 77/25/2 server old:99 max %1 known 1:noname:S,2:noname:S,3:noname:S recent %2 certs ";
    QTest::newRow("recent cut at maxDevices")
        << head + known + "<recentDevices maxDevices=\"2\"><device id=\"9\"/><device id=\"3\"/>"
                          "<device id=\"1\"/><device id=\"2\"/></recentDevices></settings>"
        << three.arg(2).arg("3,1");
    QTest::newRow("recent before known")
        << head + "<recentDevices><device id=\"1\"/></recentDevices>" + known + "</settings>"
        << three.arg(10).arg("");
    QTest::newRow("second recent list lowers the limit")
        << head + known + "<recentDevices maxDevices=\"5\"><device id=\"1\"/><device id=\"2\"/>"
                          "<device id=\"3\"/></recentDevices><recentDevices maxDevices=\"2\"/></settings>"
        << three.arg(2).arg("1,2");

    QTest::newRow("certificates")
        << head + "<applicationSettings><trustedCertificates>"
                  "<certificate sslError=\"0\" commonName=\"zero\"/><certificate commonName=\"missing\"/>"
                  "<certificate sslError=\"12\"/><certificate sslError=\"14\" organization=\"O\"/>"
                  "<other sslError=\"15\" commonName=\"other\"/>"
                  "</trustedCertificates></applicationSettings></settings>"
        << "log 77/25/2 server old:99 max 10 known  recent  certs 12::,14:O:";
}

void TestLogConfig::readingRules()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, expected);

    QTemporaryDir tmp;
    ApplicationSettings s(tmp.path() + "/fixture.xml");
    s.logMaxSize = 77;
    s.sshVerbosity = 2;
    s.hostname = "old";
    s.hostport = 99;
    s.knownDevices.insert(1, KnownDevice{1, 0, "n", "", "s", "p"});
    s.recentDevices = {1};
    s.trustedCertificates = {{3, "o", "c"}};
    writeFile(s.configPath, xml);
    QVERIFY(readConfiguration(s));
    QCOMPARE(summary(s), expected);
}

void TestLogConfig::diagnostics()
{
    // A malformed document keeps what was read before the fault.
    QTemporaryDir tmp;
    ApplicationSettings s(tmp.path() + "/fixture.xml");
    writeFile(s.configPath, "<settings version=\"1\">\n<knownDevices><device id=\"1\" serialno=\"S\" password=\"P\"/>\n"
                            "<device id=\"2\" serialno=\"S\" password=P/></knownDevices>\n"
                            "<recentDevices><device id=\"1\"/></recentDevices></settings>");
    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression("^\"readConfiguration\\(filename=.*fixture\\.xml\\) failed to read "
                                            "file at line 3, column \\d+ with error .*\" $"));
    QVERIFY(readConfiguration(s));
    QCOMPARE(s.knownDevices.keys(), QList<int>({1}));
    QVERIFY(s.recentDevices.isEmpty());

    // A missing file leaves the record as it was.
    s.configPath = tmp.path() + "/missing/Kandelo.xml";
    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression("^\"readConfiguration\\(filename=.*/missing/Kandelo\\.xml\\) failed "
                                            "to open file with error .+\" $"));
    QVERIFY(!readConfiguration(s));
    QCOMPARE(s.knownDevices.size(), 1);
    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression("^\"writeConfiguration\\(filename=.*/missing/Kandelo\\.xml\\) failed "
                                            "to write file with error .+\" $"));
    QVERIFY(!writeConfiguration(s));
    QVERIFY(!QFile::exists(s.configPath));
}

void TestLogConfig::interruptedWriteKeepsOldFile()
{
    QTemporaryDir tmp;
    ApplicationSettings s(tmp.path() + "/Kandelo.xml");
    QVERIFY(writeConfiguration(s));
    const QByteArray old = readAll(s.configPath);

    for (int id = 1; id <= 200; ++id)
        s.knownDevices.insert(id, KnownDevice{id, 0, QString("Unit %1").arg(id), "", "SERIAL", "PASSWORD"});
    QVERIFY(configurationDocument(s).size() > 8192);

    // A file size limit below the document stands in for a full disk.
    struct rlimit saved;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^\"writeConfiguration\\(filename=.*\\) failed to write "
                                                           "file with error .*\" $"));
    const bool written = writeConfiguration(s);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!written);
    QCOMPARE(readAll(s.configPath), old);
    QCOMPARE(dirEntries(tmp.path()), QStringList({"Kandelo.xml"}));

    QVERIFY(writeConfiguration(s));
    ApplicationSettings r(s.configPath);
    QVERIFY(readConfiguration(r));
    QCOMPARE(r.knownDevices.size(), 200);
}

QTEST_GUILESS_MAIN(TestLogConfig)
#include "tst_logconfig.moc"
