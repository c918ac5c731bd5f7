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

// Handler tests need a published window; the handler never dereferences it.
Velto *fakeWindow()
{
    static char window;
    return reinterpret_cast<Velto *>(&window);
}

} // namespace

class TestLogConfig : public QObject
{
    Q_OBJECT

private slots:
    // log files
    void sizeLimit();
    void scanKeepsOnlyLogFiles();
    void pruneAtStart();
    void maxFilesChanges();
    void rotationAtAndAboveLimit();
    void sameSecondKeepsEarlierData();
    void openFileNeverPruned();
    void directoryFailures();
    void closeKeepsLastFile();
    void handlerTagsAndPublication();
    void handlerFromThreads();

    // configuration file
    void deviceLists();
    void defaultDocumentBytes();
    void fullDocumentBytes();
    void roundTrip();
    void versionAndRoot();
    void scalarRules();
    void deviceRules();
    void recentRules();
    void certificateRules();
    void malformedKeepsWhatWasRead();
    void fileErrors();
    void interruptedWriteKeepsOldFile();
};

void TestLogConfig::sizeLimit()
{
    QCOMPARE(LogFile::sizeLimit(512), 524288);
    QCOMPARE(LogFile::sizeLimit(1), 1024);
    QCOMPARE(LogFile::sizeLimit(0), -1);
    QCOMPARE(LogFile::sizeLimit(-7), -1);
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
    log.scanDirectory(d);
    QCOMPARE(names(log.files()), QStringList({"000-Kandelo.log", "240101T000000-Kandelo.log"}));
    QVERIFY(QFileInfo(log.files().first()).isAbsolute());
    QVERIFY(!log.isOpen());

    QVERIFY(log.setDirectory(d));
    QCOMPARE(names(log.files()),
             QStringList({"000-Kandelo.log", "240101T000000-Kandelo.log", "240131T174502-Kandelo.log"}));
    QCOMPARE(log.currentFileName(), log.files().last());
    QCOMPARE(log.directory(), d);
}

void TestLogConfig::pruneAtStart()
{
    QTemporaryDir tmp;
    const QString d = tmp.path();
    const QStringList seeded = {"230101T000000-Kandelo.log", "230102T000000-Kandelo.log",
                                "230103T000000-Kandelo.log", "230104T000000-Kandelo.log"};
    for (const QString &n : seeded)
        writeFile(d + "/" + n, n.toLatin1());
    writeFile(d + "/notes.txt", "foreign");

    ClockedLogFile log;
    log.setMaxFiles(3);
    QVERIFY(log.setDirectory(d));
    const QStringList kept = {"230103T000000-Kandelo.log", "230104T000000-Kandelo.log",
                              "240131T174502-Kandelo.log"};
    QCOMPARE(names(log.files()), kept);
    QCOMPARE(dirEntries(d), kept + QStringList{"notes.txt"});
}

void TestLogConfig::maxFilesChanges()
{
    QTemporaryDir tmp;
    const QString d = tmp.path();
    for (int i = 1; i <= 4; ++i)
        writeFile(d + QString("/23010%1T000000-Kandelo.log").arg(i), "x");

    ClockedLogFile log;
    log.setMaxFiles(0);
    QCOMPARE(log.maxFiles(), -1);
    log.setMaxFiles(-3);
    QCOMPARE(log.maxFiles(), -1);
    QVERIFY(log.setDirectory(d));
    QCOMPARE(log.files().size(), 5);
    QCOMPARE(dirEntries(d).size(), 5);

    // A lower limit prunes at once while a file is open.
    log.setMaxFiles(2);
    QCOMPARE(log.maxFiles(), 2);
    QCOMPARE(names(log.files()), QStringList({"230104T000000-Kandelo.log", "240131T174502-Kandelo.log"}));
    QCOMPARE(dirEntries(d), names(log.files()));
}

void TestLogConfig::rotationAtAndAboveLimit()
{
    QTemporaryDir tmp;
    const QString d = tmp.path();
    ClockedLogFile log;
    log.maxSize = 100;
    QVERIFY(log.setDirectory(d));
    const QString first = log.currentFileName();

    log.write(QByteArray(60, 'a'));
    log.writeLine(QByteArray(39, 'b'));   // exactly 100 bytes: stays open
    QCOMPARE(log.currentFileName(), first);
    QCOMPARE(QFileInfo(first).size(), 100);

    log.now = log.now.addSecs(1);
    log.writeLine("over");                // past the limit: rotates after the write
    const QString second = log.currentFileName();
    QVERIFY(second != first);
    QCOMPARE(QFileInfo(second).fileName(), QString("240131T174503-Kandelo.log"));
    QVERIFY(readAll(first).endsWith("over\n"));
    QCOMPARE(readAll(first).size(), 105);
    QCOMPARE(QFileInfo(second).size(), 0);
    QCOMPARE(log.files(), QStringList({first, second}));

    log.writeLine("next");
    QCOMPARE(readAll(second), QByteArray("next\n"));

    // Without a limit nothing rotates.
    log.maxSize = -1;
    log.now = log.now.addSecs(1);
    log.write(QByteArray(500, 'c'));
    QCOMPARE(log.currentFileName(), second);
}

void TestLogConfig::sameSecondKeepsEarlierData()
{
    QTemporaryDir tmp;
    const QString d = tmp.path();
    const QString name = d + "/240131T174502-Kandelo.log";
    writeFile(name, "earlier run\n");

    // A restart within the same second appends to the earlier file.
    ClockedLogFile log;
    log.maxSize = 20;
    QVERIFY(log.setDirectory(d));
    QCOMPARE(log.files(), QStringList({QFileInfo(name).absoluteFilePath()}));
    log.writeLine("first line");
    QCOMPARE(log.files().size(), 1);

    // A rotation within the same second keeps writing the same file.
    log.writeLine("second line");
    QCOMPARE(log.files().size(), 1);
    QCOMPARE(readAll(name), QByteArray("earlier run\nfirst line\nsecond line\n"));

    // The clock went back to the name of an earlier file: both contents stay,
    // and the path is listed once.
    log.now = log.now.addSecs(5);
    log.writeLine("third line");   // still to the first file: it rotates afterwards
    QCOMPARE(log.files().size(), 2);
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

void TestLogConfig::openFileNeverPruned()
{
    QTemporaryDir tmp;
    const QString d = tmp.path();
    writeFile(d + "/250101T000000-Kandelo.log", "from the future");

    // The clock is behind the newest name: the open file does not sort last.
    ClockedLogFile log;
    log.setMaxFiles(1);
    QVERIFY(log.setDirectory(d));
    QVERIFY(log.isOpen());
    QVERIFY(QFile::exists(log.currentFileName()));
    QCOMPARE(log.files(), QStringList({log.currentFileName()}));
    QCOMPARE(dirEntries(d), QStringList({"240131T174502-Kandelo.log"}));
}

void TestLogConfig::directoryFailures()
{
    QTemporaryDir tmp;
    const QString blocker = tmp.path() + "/plain";
    writeFile(blocker, "not a directory");

    ClockedLogFile log;
    QVERIFY(!log.setDirectory(QString()));
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
    QCOMPARE(readAll(first), QByteArray("line\n"));
    broken.writeLine("dropped");
    QCOMPARE(readAll(first), QByteArray("line\n"));
}

void TestLogConfig::closeKeepsLastFile()
{
    QTemporaryDir tmp;
    QString path;
    {
        ClockedLogFile log;
        QVERIFY(log.setDirectory(tmp.path()));
        log.writeLine("kept");
        path = log.currentFileName();
        log.close();
        QVERIFY(!log.isOpen());
        QVERIFY(log.files().isEmpty());
    }
    QCOMPARE(readAll(path), QByteArray("kept\n"));
}

void TestLogConfig::handlerTagsAndPublication()
{
    QTemporaryDir tmp;
    ClockedLogFile log;
    QVERIFY(log.setDirectory(tmp.path()));
    const QString path = log.currentFileName();

    const QtMessageHandler previous = qInstallMessageHandler(logMessageHandler);
    qDebug("before publication");
    setMainWindow(fakeWindow(), &log);
    QCOMPARE(mainWindow(), fakeWindow());
    qDebug("debug text");
    qWarning("warning text");
    qInfo("info text");
    qCritical("critical text");
    qDebug() << QStringLiteral("stream");
    qDebug("caf\xc3\xa9");
    logMessageHandler(QtFatalMsg, QMessageLogContext(), QStringLiteral("fatal text"));
    logMessageHandler(QtMsgType(42), QMessageLogContext(), QStringLiteral("unknown type"));
    setMainWindow(nullptr, nullptr);
    qDebug("after withdrawal");
    // A window without an open log writer drops messages too.
    ClockedLogFile unopened;
    setMainWindow(fakeWindow(), &unopened);
    qDebug("no file");
    setMainWindow(nullptr, nullptr);
    qInstallMessageHandler(previous);
    QCOMPARE(mainWindow(), nullptr);

    const QList<QByteArray> lines = readAll(path).split('\n');
    const QList<QByteArray> expected = {" debug debug text", " info  warning text", " info  info text",
                                        " error critical text", " debug \"stream\"",
                                        " debug caf\xc3\xa9", " fatal fatal text", ""};
    QCOMPARE(lines.size(), expected.size());
    const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$");
    for (int i = 0; i + 1 < lines.size(); ++i) {
        QVERIFY2(time.match(QString::fromLatin1(lines[i].left(12))).hasMatch(), lines[i].constData());
        QCOMPARE(lines[i].mid(12), expected[i]);
    }
    QVERIFY(lines.last().isEmpty());
}

void TestLogConfig::handlerFromThreads()
{
    // Qt warns from its own threads too: lines stay whole and none is lost.
    QTemporaryDir tmp;
    ClockedLogFile log;
    QVERIFY(log.setDirectory(tmp.path()));
    const QtMessageHandler previous = qInstallMessageHandler(logMessageHandler);
    setMainWindow(fakeWindow(), &log);
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
    setMainWindow(nullptr, nullptr);
    qInstallMessageHandler(previous);

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

    ApplicationSettings s("x.xml");
    for (int id = 1; id <= 10; ++id)
        s.addRecentDevice(id);
    QCOMPARE(s.recentDevices, QList<int>({10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
    QVERIFY(s.addRecentDevice(8));   // third moves to the front, no duplicate
    QCOMPARE(s.recentDevices, QList<int>({8, 10, 9, 7, 6, 5, 4, 3, 2, 1}));
    s.addRecentDevice(11);           // a new id drops the last one
    QCOMPARE(s.recentDevices, QList<int>({11, 8, 10, 9, 7, 6, 5, 4, 3, 2}));
    s.maxDevices = 0;                // no limit
    s.addRecentDevice(12);
    QCOMPARE(s.recentDevices.size(), 11);

    s.recentDevices = {4, 3, 1, 4, 2};
    s.setKnownDevices(map);
    QCOMPARE(s.recentDevices, QList<int>({4, 1, 4, 2}));
    QCOMPARE(s.knownDevices.keys(), QList<int>({1, 2, 4}));
}

void TestLogConfig::defaultDocumentBytes()
{
    QTemporaryDir tmp;
    ApplicationSettings s(tmp.path() + "/Kandelo.xml");
    QCOMPARE(s.logMaxSize, 512);
    QCOMPARE(s.logMaxFiles, 25);
    QCOMPARE(s.maxDevices, 10);
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
}

static ApplicationSettings fullSettings(const QString &path)
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

void TestLogConfig::fullDocumentBytes()
{
    QTemporaryDir tmp;
    const ApplicationSettings s = fullSettings(tmp.path() + "/Kandelo.xml");
    QVERIFY(writeConfiguration(s));
    QCOMPARE(readAll(s.configPath),
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
    QCOMPARE(configurationDocument(s), readAll(s.configPath));
}

void TestLogConfig::roundTrip()
{
    QTemporaryDir tmp;
    const ApplicationSettings s = fullSettings(tmp.path() + "/Kandelo.xml");
    QVERIFY(writeConfiguration(s));
    const QByteArray bytes = readAll(s.configPath);
    QVERIFY(!bytes.contains("account"));

    ApplicationSettings r(s.configPath);
    r.user = "kept user";
    r.password = "kept password";
    QVERIFY(readConfiguration(r));
    QCOMPARE(r.logMaxSize, 1024);
    QCOMPARE(r.logMaxFiles, 5);
    QCOMPARE(r.sshVerbosity, 3);
    QCOMPARE(r.hostport, 2222);
    QCOMPARE(r.hostname, QString("ra.example.com"));
    QCOMPARE(r.user, QString("kept user"));
    QCOMPARE(r.password, QString("kept password"));
    QCOMPARE(r.maxDevices, 4);
    QCOMPARE(r.recentDevices, QList<int>({7, 2}));
    QCOMPARE(r.knownDevices.keys(), QList<int>({2, 7}));
    const KnownDevice &d = r.knownDevices.value(7);
    QCOMPARE(d.id, 7);
    QCOMPARE(d.name, s.knownDevices.value(7).name);
    QCOMPARE(d.serialno, QString("SN7"));
    QCOMPARE(d.password, QString("pw7"));
    QCOMPARE(d.tunnelPort, 0);
    QVERIFY(d.tunnelText.isEmpty());
    QCOMPARE(r.knownDevices.value(2).password, QString("p?w"));
    // The certificate without issuer names was not written back.
    QCOMPARE(r.trustedCertificates.size(), 2);
    QCOMPARE(r.trustedCertificates[0].sslError, 20);
    QCOMPARE(r.trustedCertificates[0].organization, QString("Acme"));
    QCOMPARE(r.trustedCertificates[0].commonName, QString("Acme CA"));
    QCOMPARE(r.trustedCertificates[1].sslError, 19);
    QVERIFY(r.trustedCertificates[1].organization.isEmpty());

    QVERIFY(writeConfiguration(r));
    QCOMPARE(readAll(r.configPath), bytes);
}

static ApplicationSettings readFixture(const QByteArray &xml, ApplicationSettings s = ApplicationSettings())
{
    static QTemporaryDir tmp;
    s.configPath = tmp.path() + "/fixture.xml";
    QFile f(s.configPath);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(xml);
    f.close();
    if (!readConfiguration(s))
        qWarning("fixture not read");
    return s;
}

void TestLogConfig::versionAndRoot()
{
    ApplicationSettings before;
    before.logMaxSize = 77;
    before.knownDevices.insert(1, KnownDevice{1, 0, "n", "", "s", "p"});
    before.recentDevices = {1};
    before.trustedCertificates = {{3, "o", "c"}};
    const QByteArray body = "><applicationSettings><logger logMaxSize=\"9\"/></applicationSettings>"
                            "<knownDevices><device id=\"1\" serialno=\"s\" password=\"p\"/></knownDevices>"
                            "<recentDevices><device id=\"1\"/></recentDevices></settings>";
    for (const QByteArray &head : {QByteArray("<settings version=\"2\""), QByteArray("<settings"),
                                   QByteArray("<settings version=\" 1\""), QByteArray("<config version=\"1\"")}) {
        QByteArray xml = head + body;
        if (head.startsWith("<config"))
            xml.replace("</settings>", "</config>");
        const ApplicationSettings s = readFixture(xml, before);
        QVERIFY(s.knownDevices.isEmpty());
        QVERIFY(s.recentDevices.isEmpty());
        QVERIFY(s.trustedCertificates.isEmpty());
        QCOMPARE(s.logMaxSize, 77);
    }
    const ApplicationSettings ok = readFixture("<settings version=\"1\"" + body, before);
    QCOMPARE(ok.logMaxSize, 9);
    QCOMPARE(ok.recentDevices, QList<int>({1}));
}

void TestLogConfig::scalarRules()
{
    ApplicationSettings before;
    before.sshVerbosity = 2;
    before.hostname = "old.example.com";
    before.hostport = 99;

    ApplicationSettings s = readFixture(
        "<settings version=\"1\"><applicationSettings>"
        "<logger logMaxSize=\"abc\" logMaxFiles=\"-1\" sshVerbosity=\"5\" extra=\"x\"/>"
        "<server hostport=\"1234\"/>"
        "</applicationSettings><recentDevices maxDevices=\"0\"/></settings>", before);
    QCOMPARE(s.logMaxSize, 512);
    QCOMPARE(s.logMaxFiles, 25);
    QCOMPARE(s.sshVerbosity, 2);
    QCOMPARE(s.hostname, QString());
    QCOMPARE(s.hostport, 1234);
    QCOMPARE(s.maxDevices, 10);

    s = readFixture("<settings version=\"1\"><applicationSettings>"
                    "<logger logMaxSize=\"2048\" logMaxFiles=\"3\" sshVerbosity=\"0\"/>"
                    "<server hostname=\"h\" hostport=\"0\"/><logger sshVerbosity=\"4\"/>"
                    "</applicationSettings></settings>", before);
    QCOMPARE(s.logMaxSize, 2048);
    QCOMPARE(s.logMaxFiles, 3);
    QCOMPARE(s.sshVerbosity, 4);
    QCOMPARE(s.hostname, QString("h"));
    QCOMPARE(s.hostport, 99);

    // Elements out of place are skipped with their children.
    s = readFixture("<settings version=\"1\"><logger logMaxSize=\"5\"/>"
                    "<applicationSettings><other><logger logMaxSize=\"6\"/></other></applicationSettings>"
                    "</settings>", before);
    QCOMPARE(s.logMaxSize, 512);
}

void TestLogConfig::deviceRules()
{
    const ApplicationSettings s = readFixture(
        "<settings version=\"1\"><knownDevices>"
        "<device id=\"3\" name=\"First\" serialno=\"S3\" password=\"P3\"/>"
        "<device id=\"3\" name=\"Duplicate\" serialno=\"D\" password=\"D\"/>"
        "<device id=\"4\" name=\"NoPassword\" serialno=\"S4\"/>"
        "<device id=\"5\" name=\"EmptySerial\" serialno=\"\" password=\"P5\"/>"
        "<device id=\"0\" serialno=\"S\" password=\"P\"/>"
        "<device id=\"x\" serialno=\"S\" password=\"P\"/>"
        "<device id=\"-2\" serialno=\"S\" password=\"P\"/>"
        "<device id=\"6\" serialno=\"S6\" password=\"P6\"/>"
        "<device id=\"8\" name=\"\" serialno=\"S8\" password=\"P8\"><device id=\"9\" serialno=\"S\" password=\"P\"/></device>"
        "<group><device id=\"10\" serialno=\"S\" password=\"P\"/></group>"
        "</knownDevices>"
        "<recentDevices><device id=\"4\"/><device id=\"6\"/><device id=\"5\"/><device id=\"3\"/>"
        "<device id=\"11\"/><device id=\"6\"/></recentDevices></settings>");
    QCOMPARE(s.knownDevices.keys(), QList<int>({3, 6, 8}));
    QCOMPARE(s.knownDevices.value(3).name, QString("First"));
    QCOMPARE(s.knownDevices.value(3).serialno, QString("S3"));
    QCOMPARE(s.knownDevices.value(6).name, QString("noname"));
    QCOMPARE(s.knownDevices.value(8).name, QString("noname"));
    // Dropped and unknown units leave the recent list with them; duplicates stay.
    QCOMPARE(s.recentDevices, QList<int>({6, 3, 6}));
}

void TestLogConfig::recentRules()
{
    const QByteArray known = "<knownDevices><device id=\"1\" serialno=\"S\" password=\"P\"/>"
                             "<device id=\"2\" serialno=\"S\" password=\"P\"/>"
                             "<device id=\"3\" serialno=\"S\" password=\"P\"/></knownDevices>";
    ApplicationSettings s = readFixture("<settings version=\"1\">" + known
                                        + "<recentDevices maxDevices=\"2\"><device id=\"9\"/><device id=\"3\"/>"
                                          "<device id=\"1\"/><device id=\"2\"/></recentDevices></settings>");
    QCOMPARE(s.maxDevices, 2);
    QCOMPARE(s.recentDevices, QList<int>({3, 1}));

    // Recent ids count only after the known units they name.
    s = readFixture("<settings version=\"1\"><recentDevices><device id=\"1\"/></recentDevices>" + known
                    + "</settings>");
    QCOMPARE(s.knownDevices.size(), 3);
    QVERIFY(s.recentDevices.isEmpty());
}

void TestLogConfig::certificateRules()
{
    ApplicationSettings s = readFixture(
        "<settings version=\"1\"><applicationSettings><trustedCertificates>"
        "<certificate sslError=\"0\" commonName=\"zero\"/>"
        "<certificate commonName=\"missing\"/>"
        "<certificate sslError=\"12\"/>"
        "<certificate sslError=\"14\" organization=\"O\"/>"
        "<other sslError=\"15\" commonName=\"other\"/>"
        "</trustedCertificates></applicationSettings></settings>");
    QCOMPARE(s.trustedCertificates.size(), 2);
    QCOMPARE(s.trustedCertificates[0].sslError, 12);
    QCOMPARE(s.trustedCertificates[1].organization, QString("O"));
    QVERIFY(s.trustedCertificates[1].commonName.isEmpty());

    const QByteArray doc = configurationDocument(s);
    QVERIFY(!doc.contains("sslError=\"12\""));
    QVERIFY(doc.contains("<certificate sslError=\"14\" organization=\"O\"/>"));

    // Every entry unnamed: the element itself still stands, empty.
    s.trustedCertificates.removeLast();
    QVERIFY(configurationDocument(s).contains("    <trustedCertificates/>\n"));
}

void TestLogConfig::malformedKeepsWhatWasRead()
{
    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression("^\"readConfiguration\\(filename=.*fixture\\.xml\\) failed to read "
                                            "file at line 3, column \\d+ with error .*\" $"));
    const ApplicationSettings s = readFixture(
        "<settings version=\"1\">\n<knownDevices><device id=\"1\" serialno=\"S\" password=\"P\"/>\n"
        "<device id=\"2\" serialno=\"S\" password=P/></knownDevices>\n"
        "<recentDevices><device id=\"1\"/></recentDevices></settings>");
    QCOMPARE(s.knownDevices.keys(), QList<int>({1}));
    QVERIFY(s.recentDevices.isEmpty());
}

void TestLogConfig::fileErrors()
{
    QTemporaryDir tmp;
    ApplicationSettings s(tmp.path() + "/missing/Kandelo.xml");
    s.knownDevices.insert(1, KnownDevice{1, 0, "n", "", "s", "p"});
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
