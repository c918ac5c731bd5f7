// The built program as a user starts it: alone in an empty directory.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/applicationsettings.h"

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstStartWritesDefaultsAndLogs()
    {
        const QString built = QStringLiteral(KANDELO_EXECUTABLE);
        QVERIFY2(QFile::exists(built), qPrintable(built));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString program = dir.filePath("Kandelo");
        QVERIFY(QFile::copy(built, program));
        QVERIFY(QFile::setPermissions(program, QFile::permissions(built)));
        QTemporaryDir elsewhere;   // the working directory must not matter

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(elsewhere.path());
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, {});
        QVERIFY(process.waitForStarted());

        const QString config = dir.filePath("Kandelo.xml");
        const QDir logs(dir.filePath("logs"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(config), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!logs.entryList({"*-Kandelo.log"}, QDir::Files).isEmpty(), 60000);
        QVERIFY(QDir(elsewhere.path()).isEmpty());

        QFile file(config);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"));
        ApplicationSettings settings(config);
        settings.logMaxSize = settings.logMaxFiles = settings.maxDevices = 0;
        QVERIFY(readConfiguration(settings));
        QCOMPARE(settings.logMaxSize, 512);
        QCOMPARE(settings.logMaxFiles, 25);
        QCOMPARE(settings.maxDevices, 10);
        QVERIFY(settings.knownDevices.isEmpty());
        QVERIFY(settings.hostname.isEmpty());

        // Asked to close by the session: the program ends on its own, cleanly.
        QCOMPARE(process.state(), QProcess::Running);
        process.terminate();
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    void withoutDisplaySaysWhy()
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KANDELO_EXECUTABLE), {});
        QVERIFY(process.waitForFinished(60000));
        QVERIFY(process.exitStatus() == QProcess::CrashExit || process.exitCode() != 0);
        QVERIFY(process.readAllStandardError().contains(" fatal This application failed to start"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
