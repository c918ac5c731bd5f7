#include "app/applicationsettings.h"
#include "app/logfile.h"

#include <QtTest>

#include <csignal>
#include <grp.h>
#include <limits>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A log writer whose clock the test sets.
class ClockedLogFile : public LogFile
{
public:
    ClockedLogFile() : LogFile(QStringLiteral("Kandelo")) {}
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

// Log lines without their time of day, which must lead each of them.
QStringList withoutTime(const QByteArray &text)
{
    static const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d", QRegularExpression::MultilineOption);
    return QString::fromUtf8(text).remove(time).split('\n');
}

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

KnownDevice unit(int id, const QString &name = "n")
{
    return KnownDevice{id, 0, name, "", "S", "P"};
}

} // namespace

class TestLogConfig : public QObject
{
    Q_OBJECT

private slots:
    void directoryAndScan()
    {
        QCOMPARE(LogFile::sizeLimit(2097152), std::numeric_limits<qint32>::max());

        QTemporaryDir tmp;
        const QString d = tmp.path() + "/a/b/logs";
        ClockedLogFile log;
        QVERIFY(!log.setDirectory(QString()));   // not the file-system root
        writeFile(tmp.path() + "/plain", "not a directory");
        QVERIFY(!log.setDirectory(tmp.path() + "/plain/logs"));
        QVERIFY(!log.writeLine("dropped"));
        ClockedLogFile nested;   // missing parents are made
        QVERIFY(nested.setDirectory(d));
        for (const char *n : {"240101T000000-Kandelo.log", "000-Kandelo.log", "240101T000000-Kandelo.log.bak",
                              "240101T000000-Other.log", "240101T000000-kandelo.log", "Kandelo.log"})
            writeFile(d + "/" + n, "x");
        QVERIFY(QDir(d).mkdir("240101T000001-Kandelo.log"));   // not a regular file
        QVERIFY(QFile::link(d + "/240101T000000-Kandelo.log", d + "/240101T000002-Kandelo.log"));

        QVERIFY(log.setDirectory(d));
        QCOMPARE(log.files().join(' ').remove(d + '/'),
                 QString("000-Kandelo.log 240101T000000-Kandelo.log 240131T174502-Kandelo.log"));
        QCOMPARE(log.currentFileName(), log.files().last());
        QVERIFY(!log.setDirectory(tmp.path()));   // refused while a file is open
    }

    void pruning()
    {
        const QStringList four = {"230101T000000-Kandelo.log", "230102T000000-Kandelo.log",
                                  "230103T000000-Kandelo.log", "230104T000000-Kandelo.log"};
        const QString opened = "240131T174502-Kandelo.log";
        struct Row { QStringList seeded; int atStart, lowered; QStringList left; };
        const Row rows[] = {
            {four + QStringList{"notes.txt"}, 3, 0, {four[2], four[3], opened, "notes.txt"}},
            // Below 1 means no limit; a lower limit prunes at once while a file is open.
            {four, -3, 2, {four[3], opened}},
            // The clock is behind the newest name: the open file does not sort last.
            {{"250101T000000-Kandelo.log"}, 1, 0, {opened}},
        };
        for (const Row &row : rows) {
            QTemporaryDir tmp;
            for (const QString &n : row.seeded)
                writeFile(tmp.path() + "/" + n, "x");
            ClockedLogFile log;
            log.setMaxFiles(row.atStart);
            QVERIFY(log.setDirectory(tmp.path()));
            if (row.lowered)
                log.setMaxFiles(row.lowered);
            QCOMPARE(QDir(tmp.path()).entryList(QDir::Files, QDir::Name), row.left);
            QCOMPARE(log.files().join(' ').remove(tmp.path() + '/'), row.left.filter("-Kandelo.log").join(' '));
        }
    }

    void rotation()
    {
        QTemporaryDir tmp;
        const QString first = QFileInfo(tmp.path() + "/240131T174502-Kandelo.log").absoluteFilePath();
        writeFile(first, "earlier run\n");

        // A restart or a rotation within the same second appends to the earlier file.
        ClockedLogFile log;
        log.maxSize = 30;
        QVERIFY(log.setDirectory(tmp.path()));
        QVERIFY(log.writeLine("exactly 30 bytes:"));   // at the limit: stays open
        QVERIFY(log.writeLine("over"));
        QCOMPARE(log.files(), QStringList({first}));
        log.now = log.now.addSecs(1);
        log.writeLine("rotates after this line");
        const QString second = log.currentFileName();
        QCOMPARE(QFileInfo(second).fileName(), QString("240131T174503-Kandelo.log"));
        log.writeLine("next");
        QCOMPARE(readAll(first), QByteArray("earlier run\nexactly 30 bytes:\nover\nrotates after this line\n"));
        QCOMPARE(readAll(second), QByteArray("next\n"));

        // The clock went back to an earlier file's name: both contents stay, the path is listed once.
        log.now = log.now.addSecs(-1);
        log.writeLine(QByteArray(30, 'x'));
        log.writeLine("back");
        QCOMPARE(log.files(), QStringList({second, first}));
        QVERIFY(readAll(first).endsWith("\nback\n"));

        // The next file cannot be made: no log until restart, nothing lost before.
        log.now = log.now.addSecs(5);
        QVERIFY(QDir(tmp.path()).mkdir("240131T174507-Kandelo.log"));
        QVERIFY(log.writeLine(QByteArray(30, 'y')));
        QVERIFY(!log.isOpen());
        QVERIFY(!log.writeLine("dropped"));
        QVERIFY(readAll(first).endsWith(QByteArray(30, 'y') + "\n"));
    }

    void handlerSinks()
    {
        QTemporaryDir tmp;
        ClockedLogFile log;
        QVERIFY(log.setDirectory(tmp.path()));
        QTemporaryFile standardError;   // takes the place of file descriptor 2
        QVERIFY(standardError.open());
        const int saved = dup(2);
        dup2(standardError.handle(), 2);
        const QtMessageHandler previous = qInstallMessageHandler(logMessageHandler);
        qDebug("before publication");
        setMessageLog(&log);
        qDebug("debug text");
        qWarning("warning text");
        qInfo("info text");
        qCritical("critical text");
        qDebug("caf\xc3\xa9");
        logMessageHandler(QtFatalMsg, QMessageLogContext(), QStringLiteral("fatal text"));
        logMessageHandler(QtMsgType(42), QMessageLogContext(), QStringLiteral("unknown type"));
        log.close();   // the log can no longer be written
        qDebug("unwritten");
        setMessageLog(nullptr);
        qDebug("after withdrawal");
        qInstallMessageHandler(previous);
        dup2(saved, 2);
        close(saved);
        QCOMPARE(withoutTime(readAll(tmp.path() + "/240131T174502-Kandelo.log")),
                 QStringList({" debug debug text", " info  warning text", " info  info text", " error critical text",
                              QString::fromUtf8(" debug caf\xc3\xa9"), " fatal fatal text", ""}));
        QCOMPARE(withoutTime(readAll(standardError.fileName())),
                 QStringList({" debug before publication", " error critical text", " fatal fatal text",
                              " debug unwritten", " debug after withdrawal", ""}));
    }

    void deviceLists()
    {
        const KnownDeviceMap map{{1, unit(1)}, {2, unit(2)}, {4, unit(4)}};
        QCOMPARE(ApplicationSettings::nextDeviceId({}), 1);
        QCOMPARE(ApplicationSettings::nextDeviceId(map), 3);

        // 8 moves to the front without a duplicate; the new 11 drops the last one.
        ApplicationSettings s;
        for (int id : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 8, 11})
            QVERIFY(s.addRecentDevice(id));
        QCOMPARE(s.recentDevices, QList<int>({11, 8, 10, 9, 7, 6, 5, 4, 3, 2}));
        s.recentDevices = {4, 3, 1, 4, 2};
        s.setKnownDevices(map);
        QCOMPARE(s.recentDevices, QList<int>({4, 1, 4, 2}));

        // The device manager was shown 1, 2 and 4; meanwhile the file lost 2 and
        // gained 3 and 5. The manager deleted 1, edited 4 and added 5 and 6.
        s.knownDevices = {{2, unit(2)}, {3, unit(3)}, {4, unit(4)}, {5, unit(5, "elsewhere")}};
        KnownDeviceMap edited = map;
        edited.remove(1);
        edited[4].name = "edited";
        edited.insert(5, unit(5, "added"));
        edited.insert(6, unit(6, "added too"));
        QCOMPARE(s.applyDeviceEdits(map, edited), (QMap<int, int>{{5, 1}}));
        QCOMPARE(summary(s).section(" known ", 1),
                 QString("1:added:S,2:n:S,3:n:S,4:edited:S,5:elsewhere:S,6:added too:S recent 4,4,2 certs "));
    }

    void documentAndRoundTrip()
    {
        QTemporaryDir tmp;
        ApplicationSettings s(tmp.path() + "/Kandelo.xml");
        const QByteArray document(
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<settings version=\"1\">\n  <applicationSettings>\n"
            "    <logger logMaxSize=\"1024\" logMaxFiles=\"5\" sshVerbosity=\"3\"/>\n"
            "    <server hostname=\"ra.example.com\" hostport=\"2222\"/>\n    <trustedCertificates>\n"
            "      <certificate sslError=\"20\" organization=\"Acme\" commonName=\"Acme CA\"/>\n"
            "      <certificate sslError=\"19\" commonName=\"Self\"/>\n    </trustedCertificates>\n"
            "  </applicationSettings>\n  <knownDevices>\n"
            "    <device id=\"2\" name=\"Two\" serialno=\"SN2\" password=\"p?w\"/>\n"
            "    <device id=\"7\" name=\"Caf\xe9 &#8364; &lt;1&gt; &amp; &quot;q&quot;\" serialno=\"SN7\" password=\"pw7\"/>\n"
            "  </knownDevices>\n  <recentDevices maxDevices=\"4\">\n    <device id=\"7\"/>\n    <device id=\"2\"/>\n"
            "  </recentDevices>\n</settings>\n");
        // An unnamed certificate is read but not written back.
        writeFile(s.configPath, QByteArray(document).replace("</trustedC", "<certificate sslError=\"18\"/></trustedC"));
        QVERIFY(readConfiguration(s));
        QCOMPARE(summary(s), QString::fromUtf8("log 1024/5/3 server ra.example.com:2222 max 4 known 2:Two:SN2,"
                                               "7:Caf\xc3\xa9 \xe2\x82\xac <1> & \"q\":SN7 recent 7,2 "
                                               "certs 20:Acme:Acme CA,19::Self,18::"));
        // Characters XML cannot hold become '?'; every save leaves the file its owner's alone.
        s.knownDevices[2].password = QString("p\x01w");
        QVERIFY(QFile::remove(s.configPath));
        QVERIFY(writeConfiguration(s));
        QCOMPARE(readAll(s.configPath), document);
        QCOMPARE(QFile::permissions(s.configPath) & 0x00ff, QFileDevice::Permissions());
        QVERIFY(QFile::setPermissions(s.configPath, QFileDevice::Permissions(0x6644)));
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("made the file readable by its owner only"));
        QVERIFY(writeConfiguration(s) && !(QFile::permissions(s.configPath) & 0x00ff));
        s.trustedCertificates = {{18, "", ""}};
        QVERIFY(configurationDocument(s).contains("    <trustedCertificates/>\n"));
    }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("expected");   // what the file leaves of the record read over
        QTest::addColumn<QString>("error");      // empty: the file reads whole
        const QString none = "log 77/25/2 server old:99 max 10 known  recent  certs ";
        auto units = [](const QString &known, const QString &recent, int max = 10) {
            return QString("log 77/25/2 server old:99 max %1 known %2 recent %3 certs ").arg(max).arg(known, recent);
        };

        const QByteArray good = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<settings version=\"1\">\n"
                                "<knownDevices><device id=\"1\" name=\"Caf\xe9\" serialno=\"S\" password=\"P\"/>\n"
                                "<device id=\"2\" serialno=\"S\" password=\"P\"/></knownDevices>\n"
                                "<recentDevices><device id=\"2\"/></recentDevices></settings>\n";
        const QString both = units(QString::fromUtf8("1:Caf\xc3\xa9:S,2:noname:S"), "2");
        const QString first = units(QString::fromUtf8("1:Caf\xc3\xa9:S"), "");
        auto utf16 = [](const QString &text) {
            return "\xff\xfe" + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        };
        QTest::newRow("clean") << good << both << "";
        QTest::newRow("clean UTF-16") << utf16(QString::fromLatin1(good).replace("ISO-8859-1", "UTF-16")) << both << "";
        // A fault ends the reading; what was read before it stays.
        QTest::newRow("syntax error") << QByteArray(good).replace("id=\"2\"", "id=2") << first << "line 4, column \\d+";
        QTest::newRow("truncated") << good.left(good.indexOf("<device id=\"2\"")) << first << "Premature end";
        QTest::newRow("declared UTF-8") << QByteArray(good).replace("ISO-8859-1", "UTF-8") << none << "incorrectly enc";
        QTest::newRow("version 2") << QByteArray(good).replace("version=\"1\">", "version=\"2\">") << none << "version 1";
        QTest::newRow("UTF-16 declared Latin-1") << utf16(QString::fromLatin1(good)) << none << "line 1";
        QTest::newRow("other root") << QByteArray(good).replace("settings", "config") << none << "version 1";

        const QByteArray head = "<settings version=\"1\">";
        QTest::newRow("scalars")
            << head + "<applicationSettings><logger logMaxSize=\"abc\" logMaxFiles=\"3\" sshVerbosity=\"5\" x=\"x\"/>"
                      "<server hostport=\"1234\"/><logger sshVerbosity=\"4\" logMaxFiles=\"-1\"/><other><logger "
                      "logMaxSize=\"6\"/></other><trustedCertificates><certificate sslError=\"0\" commonName=\"z\"/>"
                      "<certificate sslError=\"12\"/><other sslError=\"15\" commonName=\"o\"/></trustedCertificates>"
                      "</applicationSettings><logger logMaxSize=\"5\"/><recentDevices maxDevices=\"0\"/></settings>"
            << "log 77/3/4 server :1234 max 10 known  recent  certs 12::" << "";
        // Dropped and unknown units leave the recent list with them; duplicates stay.
        QTest::newRow("devices")
            << head + "<knownDevices><device id=\"3\" name=\"First\" serialno=\"S\" password=\"P\"/>"
                      "<device id=\"3\" name=\"Duplicate\" serialno=\"D\" password=\"D\"/>"
                      "<device id=\"4\" name=\"NoPassword\" serialno=\"S\"/>"
                      "<device id=\"5\" name=\"EmptySerial\" serialno=\"\" password=\"P\"/>"
                      "<device id=\"0\" serialno=\"S\" password=\"P\"/><device id=\"x\" serialno=\"S\" password=\"P\"/>"
                      "<device id=\"6\" serialno=\"S\" password=\"P\"/>"
                      "<device id=\"8\" name=\"\" serialno=\"S\" password=\"P\">"
                      "<device id=\"9\" serialno=\"S\" password=\"P\"/></device>"
                      "<group><device id=\"10\" serialno=\"S\" password=\"P\"/></group></knownDevices>"
                      "<recentDevices><device id=\"4\"/><device id=\"6\"/><device id=\"5\"/><device id=\"3\"/>"
                      "<device id=\"11\"/><device id=\"6\"/></recentDevices></settings>"
            << units("3:First:S,6:noname:S,8:noname:S", "6,3,6") << "";
        QTest::newRow("recent cut by a later, lower limit")
            << head + "<knownDevices><device id=\"1\" serialno=\"S\" password=\"P\"/><device id=\"2\" serialno=\"S\" "
                      "password=\"P\"/><device id=\"3\" serialno=\"S\" password=\"P\"/></knownDevices><recentDevices "
                      "maxDevices=\"5\"><device id=\"1\"/><device id=\"9\"/><device id=\"2\"/><device id=\"3\"/>"
                      "</recentDevices><recentDevices maxDevices=\"2\"/></settings>"
            << units("1:noname:S,2:noname:S,3:noname:S", "1,2", 2) << "";
    }

    // Every save reads the file first: one that does not read whole is kept
    // beside it, replacing an older copy; what was read is written back whole.
    void readingRules()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, expected);
        QFETCH(QString, error);
        QTemporaryDir tmp;
        ApplicationSettings s(tmp.path() + "/Kandelo.xml");
        s.logMaxSize = 77;
        s.sshVerbosity = 2;
        s.hostname = "old";
        s.hostport = 99;
        s.knownDevices.insert(1, unit(1));
        s.recentDevices = {1};
        s.trustedCertificates = {{3, "o", "c"}};
        writeFile(s.configPath, xml);
        const QString bad = s.configPath + ".bad";
        writeFile(bad, "an older unreadable file");
        if (!error.isEmpty()) {
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^\"readConfiguration\\(filename=.*/Kandelo\\.xml"
                                                                   "\\) failed to read file .*" + error + ".*\" $"));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\"saveConfiguration\\(filename=.*/Kandelo\\.xml\\) "
                                                                  "kept the file it could not read whole as .*/Kandelo"
                                                                  "\\.xml\\.bad\" $"));
        }
        QCOMPARE(saveConfiguration(s),
                 error.isEmpty() ? ConfigurationSave::Saved : ConfigurationSave::SavedKeepingUnreadable);
        QCOMPARE(summary(s), expected);
        QCOMPARE(readAll(bad), error.isEmpty() ? QByteArray("an older unreadable file") : xml);
        if (!error.isEmpty())   // it holds unit passwords
            QCOMPARE(QFile::permissions(bad) & 0x00ff, QFileDevice::Permissions());
        ApplicationSettings r(s.configPath);
        bool complete = false;
        QVERIFY(readConfiguration(r, &complete));
        QVERIFY(complete);
        QCOMPARE(summary(r).split(" certs").first(), summary(s).split(" certs").first());
    }

    void writeFailures()
    {
        // A file size limit below the document stands in for a full disk: the old file stays whole.
        QTemporaryDir tmp;
        ApplicationSettings s(tmp.path() + "/Kandelo.xml");
        QVERIFY(writeConfiguration(s));
        const QByteArray old = readAll(s.configPath);
        for (int id = 1; id <= 300; ++id)
            s.knownDevices.insert(id, unit(id, QString("Unit %1").arg(id)));
        QVERIFY(configurationDocument(s).size() > 8192);
        struct rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = saved;
        limit.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^\"writeConfiguration\\(filename=.*\\) failed to "
                                                               "write file with error .+\" $"));
        const bool written = writeConfiguration(s);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);
        QCOMPARE(readAll(s.configPath), old);
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files), QStringList({"Kandelo.xml"}));

        // A directory that takes no new file: the file itself is written, in
        // place. Root writes into any directory, so a child without privileges tries.
        QVERIFY(QFile::setPermissions(tmp.path(), QFileDevice::Permissions(0x5555)));
        QVERIFY(QFile::setPermissions(s.configPath, QFileDevice::Permissions(0x6666)));
        const pid_t child = fork();
        if (child == 0)
            _exit((geteuid() != 0 || (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0))
                  && writeConfiguration(s) ? 0 : 1);
        int status = 1;
        waitpid(child, &status, 0);
        QVERIFY(QFile::setPermissions(tmp.path(), QFileDevice::Permissions(0x7700)));
        QCOMPARE(status, 0);
        QCOMPARE(readAll(s.configPath), configurationDocument(s));
    }
};

QTEST_GUILESS_MAIN(TestLogConfig)
#include "tst_logconfig.moc"
