// The whole connect road through real peers on loopback: a TLS server that
// answers the remote-access query, OpenSSH's sshd with a password account,
// and the unit simulator behind the forwarded port.

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <memory>
#include <unistd.h>

#include "app/applicationsettings.h"
#include "app/devicedialogs.h"
#include "app/velto.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "panel/pages/qpravikwindow.h"
#include "modalhelper.h"
#include "tests/remoteaccess/tlspeer.h"
#include "tests/sshfixture/sshdfixture.h"
#include "tests/support/unitsimulator.h"

namespace {

const char* const IssuerName = "Kandelo Test Issuer";

QString configPath()
{
    return QCoreApplication::applicationDirPath() + "/Kandelo.xml";
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void connectDropReconnectDisconnect();
};

void TestEndToEnd::connectDropReconnectDisconnect()
{
    if (::geteuid() != 0)
        QSKIP("needs root: it runs sshd with a test account and a TLS server on port 443");
    if (QStandardPaths::findExecutable("openssl").isEmpty())
        QSKIP("openssl is not installed (needed to make the server certificate)");
    if (!TlsPeer::available())
        QSKIP("socat is not installed (it terminates TLS for the test server)");

    // A loopback address of its own, so that parallel runs do not meet.
    QRandomGenerator* random = QRandomGenerator::global();
    const QHostAddress serverAddress(
        QString("127.0.%1.%2").arg(random->bounded(100, 250)).arg(random->bounded(2, 250)));
    const int deviceId = random->bounded(10, 250);

    QTemporaryDir certDir;
    QVERIFY(certDir.isValid());
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                              "-subj", QString("/O=Kandelo/CN=%1").arg(IssuerName),
                              "-keyout", certDir.filePath("key.pem"),
                              "-out", certDir.filePath("cert.pem")});
    QVERIFY(openssl.waitForFinished(60000));
    QCOMPARE(openssl.exitCode(), 0);

    SshdFixture sshd(serverAddress);
    if (!sshd.start())
        QSKIP(qPrintable(sshd.errorString()));

    UnitSimulator unit;
    QVERIFY(unit.listen());
    const quint16 unitPort = unit.port();
    if (unitPort <= 31488)
        QSKIP("the unit simulator's port is below the tunnel port offset");

    QFile cert(certDir.filePath("cert.pem"));
    QFile key(certDir.filePath("key.pem"));
    QVERIFY(cert.open(QIODevice::ReadOnly) && key.open(QIODevice::ReadOnly));
    TlsPeer server(cert.readAll(), key.readAll(), QSsl::Rsa);
    const QByteArray replyHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    const QByteArray tunnelField =
        QByteArray::number(unitPort - 31488, 16).rightJustified(12, '0');
    const QByteArray accountReply = replyHead + "u=" + QUrl::toPercentEncoding(SshdFixture::user())
        + "&p=" + QUrl::toPercentEncoding(SshdFixture::password()) + "&m=" + tunnelField + "\n";
    if (!server.listenOn(serverAddress, 443))
        QSKIP(qPrintable(server.errorString()));

    {
        ApplicationSettings settings(configPath());
        settings.hostname = serverAddress.toString();
        settings.hostport = sshd.port();
        KnownDevice device;
        device.id = deviceId;
        device.name = "Studio <7>";
        device.serialno = "000123";
        device.password = "unit-pass";
        settings.knownDevices.insert(deviceId, device);
        settings.recentDevices = {deviceId};
        // Each error the server's certificate raises needs its own exception.
        for (QSslError::SslError error :
             {QSslError::SelfSignedCertificate, QSslError::HostNameMismatch}) {
            TrustedCertificate trusted;
            trusted.sslError = error;
            trusted.commonName = IssuerName;
            settings.trustedCertificates.append(trusted);
        }
        QVERIFY(writeConfiguration(settings));
    }
    const QString connected = "Connected to device <Studio <7>>";

    auto window = std::make_unique<Velto>();
    Velto& w = *window;
    QVERIFY(w.initialize());

    // A reply refused as a whole still leaves behind what it named: an empty
    // user too, but nothing of a field it left out or could not use.
    {
        const QString refused = "Authentication failed for device <Studio <7>>";
        const QString host = serverAddress.toString();
        w.settings.user = "old-user";
        w.settings.password = "old-pass";
        KnownDevice copy = w.settings.knownDevices.value(deviceId);
        server.script(TlsPeer::Reply, replyHead + "u=&p=new%21pass&m=01F4\n");
        QVERIFY(!w.resolveDevice(host, copy));
        QCOMPARE(w.statusLabel->text(), refused);
        QCOMPARE(w.settings.user, QString(""));
        QCOMPARE(w.settings.password, QString("new!pass"));
        QCOMPARE(copy.tunnelPort, 0);
        QVERIFY(copy.tunnelText.isEmpty());

        w.settings.user = "old-user";
        QCOMPARE(server.requestCount(), 1);
        server.script(TlsPeer::Reply, replyHead + "m=0000000001f4&p=other\n");
        QVERIFY(!w.resolveDevice(host, copy));
        QCOMPARE(w.statusLabel->text(), refused);
        QCOMPARE(w.settings.user, QString("old-user"));
        QCOMPARE(w.settings.password, QString("other"));
        QCOMPARE(copy.tunnelPort, 500 + 31488);
        QCOMPARE(copy.tunnelText, QString("0000000001f4"));
        QCOMPARE(w.settings.knownDevices.value(deviceId).tunnelPort, 0);
        QCOMPARE(server.requestCount(), 1);
    }
    server.script(TlsPeer::Reply, accountReply);

    emit w.recentMenu->aboutToShow();
    QCOMPARE(w.recentMenu->actions().size(), 1);
    w.recentMenu->actions().first()->trigger();
    QCOMPARE(server.requestCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), connected, 30000);
    QVERIFY(unit.waitForClient());
    QCOMPARE(w.currentLocalAddress(), QString("127.0.0.%1").arg(deviceId));
    QVERIFY(w.disconnectAction->isEnabled());
    QVERIFY(!w.recentMenu->isEnabled());
    QVERIFY(!w.manageDevicesAction->isEnabled());

    // The link really reaches the unit through the tunnel.
    unit.onRequestMatching(QRegularExpression("^DO;"), {UnitSimulator::reply("DO;return:OK;")});
    TCommand ping(TCommand::Do);
    ping.setParam("action", "display");
    ping.setParam("message", "hello");
    TCommand answer;
    QCOMPARE(frontPanelCom()->sendSyncMsg(ping, answer, 0, 5000), 0);

    // Cancel on the disconnect question keeps everything as it is.
    answerMessageBox(QMessageBox::Cancel);
    w.disconnectAction->trigger();
    QCOMPARE(w.statusLabel->text(), connected);
    QVERIFY(frontPanelCom()->isEnabled());
    QVERIFY(w.hasSshClient());
    QVERIFY(w.disconnectAction->isEnabled());
    QVERIFY(!w.recentMenu->isEnabled());

    w.frontPanel->pageActivated(QPravik::PageMain);
    w.loginClicked("Desk");
    QVERIFY(!w.buttonBar->isHidden());

    // Connect in the device manager while the tunnel runs: saved, not connected;
    // the re-read file keeps the tunnel of the running connection.
    whenModal<ManageDevicesDialog>([](ManageDevicesDialog* dialog) {
        clickRow(dialog->view, 0);
        dialog->connectButton->click();
    });
    w.manageDevices();
    QCOMPARE(server.requestCount(), 1);
    QCOMPARE(w.statusLabel->text(), connected);
    QCOMPARE(w.settings.knownDevices.value(deviceId).tunnelPort, int(unitPort));
    QCOMPARE(w.settings.user, SshdFixture::user());

    // The unit goes away: back to the login page, then a retry after 10 s
    // that makes no new query.
    unit.close();
    QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), QString("SSH connection failure"), 30000);
    QCOMPARE(w.frontPanel->page(), 0);
    QVERIFY(w.buttonBar->isHidden());
    QVERIFY(w.isReconnectTimerActive());
    QVERIFY(w.disconnectAction->isEnabled());
    QVERIFY(unit.listen(QHostAddress::LocalHost, unitPort));
    QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), connected, 40000);
    QCOMPARE(server.requestCount(), 1);
    QVERIFY(!w.isReconnectTimerActive());

    // Disconnect for real.
    answerMessageBox(QMessageBox::Yes);
    w.disconnectAction->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), QString("No active connection"), 15000);
    QTRY_VERIFY(!w.hasSshClient());
    QVERIFY(!frontPanelCom()->isEnabled());
    QVERIFY(!w.isReconnectTimerActive());
    QVERIFY(w.recentMenu->isEnabled());
    QVERIFY(w.manageDevicesAction->isEnabled());
    QVERIFY(!w.disconnectAction->isEnabled());
    QVERIFY(unit.waitForDisconnect(10000));

    // Leaving while connected takes the tunnel and the link down on the way out.
    emit w.recentMenu->aboutToShow();
    w.recentMenu->actions().first()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), connected, 30000);
    QVERIFY(unit.waitForClient());
    window.reset();
    QVERIFY(!frontPanelCom()->isEnabled());
    QVERIFY(unit.waitForDisconnect(10000));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
