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
const QByteArray ReplyHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";

// A loopback address of its own, so that parallel runs do not meet.
const QHostAddress ServerAddress(QString("127.0.%1.%2")
                                     .arg(QRandomGenerator::global()->bounded(100, 250))
                                     .arg(QRandomGenerator::global()->bounded(2, 250)));

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void connectDropReconnectDisconnect();
    void leavingWhileTheTunnelStarts();

private:
    // The configuration every window of this test reads.
    void writeSettings(quint16 sshPort, const QHostAddress& host = ServerAddress);

    const int deviceId = QRandomGenerator::global()->bounded(10, 250);
    std::unique_ptr<SshdFixture> sshd;
    std::unique_ptr<TlsPeer> server;
};

void TestEndToEnd::initTestCase()
{
    if (QStandardPaths::findExecutable("openssl").isEmpty())
        QSKIP("openssl is not installed (needed to make the server certificate)");
    sshd = std::make_unique<SshdFixture>(ServerAddress);
    if (!sshd->start())
        QSKIP(qPrintable(sshd->errorString()));

    QTemporaryDir certDir;
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                              "-subj", QString("/O=Kandelo/CN=%1").arg(IssuerName),
                              "-keyout", certDir.filePath("key.pem"), "-out", certDir.filePath("cert.pem")});
    QVERIFY(openssl.waitForFinished(60000));
    QCOMPARE(openssl.exitCode(), 0);
    QFile cert(certDir.filePath("cert.pem"));
    QFile key(certDir.filePath("key.pem"));
    QVERIFY(cert.open(QIODevice::ReadOnly) && key.open(QIODevice::ReadOnly));
    server = std::make_unique<TlsPeer>(cert.readAll(), key.readAll(), QSsl::Rsa);
    QVERIFY2(server->listenOn(ServerAddress, 443), qPrintable(server->errorString()));
}

void TestEndToEnd::writeSettings(quint16 sshPort, const QHostAddress& host)
{
    ApplicationSettings settings(QCoreApplication::applicationDirPath() + "/Kandelo.xml");
    settings.hostname = host.toString();
    settings.hostport = sshPort;
    KnownDevice device;
    device.id = deviceId;
    device.name = "Studio <7>";
    device.serialno = "000123";
    device.password = "unit-pass";
    settings.knownDevices.insert(deviceId, device);
    settings.recentDevices = {deviceId};
    // Each error the server's certificate raises needs its own exception.
    for (QSslError::SslError error : {QSslError::SelfSignedCertificate, QSslError::HostNameMismatch}) {
        TrustedCertificate trusted;
        trusted.sslError = error;
        trusted.commonName = IssuerName;
        settings.trustedCertificates.append(trusted);
    }
    QVERIFY(writeConfiguration(settings));
}

void TestEndToEnd::connectDropReconnectDisconnect()
{
    UnitSimulator unit;
    QVERIFY(unit.listen());
    const quint16 unitPort = unit.port();
    if (unitPort <= 31488)
        QSKIP("the unit simulator's port is below the tunnel port offset");
    writeSettings(sshd->port());
    const QString connected = "Connected to device <Studio <7>>";
    auto window = std::make_unique<Velto>();
    Velto& w = *window;
    QVERIFY(w.initialize());

    // A reply refused as a whole still leaves behind what it named: an empty
    // user too, but nothing of a field it left out or could not use.
    {
        const QString refused = "Authentication failed for device <Studio <7>>";
        w.settings.user = "old-user";
        w.settings.password = "old-pass";
        KnownDevice copy = w.settings.knownDevices.value(deviceId);
        server->script(TlsPeer::Reply, ReplyHead + "u=&p=new%21pass&m=01F4\n");
        QVERIFY(!w.resolveDevice(ServerAddress.toString(), copy));
        QCOMPARE(w.statusLabel->text(), refused);
        QCOMPARE(w.settings.user, QString(""));
        QCOMPARE(w.settings.password, QString("new!pass"));
        QCOMPARE(copy.tunnelPort, 0);

        w.settings.user = "old-user";
        server->script(TlsPeer::Reply, ReplyHead + "m=0000000001f4&p=other\n");
        QVERIFY(!w.resolveDevice(ServerAddress.toString(), copy));
        QCOMPARE(w.statusLabel->text(), refused);
        QCOMPARE(w.settings.user, QString("old-user"));
        QCOMPARE(w.settings.password, QString("other"));
        QCOMPARE(copy.tunnelPort, 500 + 31488);
        QCOMPARE(copy.tunnelText, QString("0000000001f4"));
        QCOMPARE(w.settings.knownDevices.value(deviceId).tunnelPort, 0);
        QCOMPARE(server->requestCount(), 1);
    }
    const QByteArray tunnelField = QByteArray::number(unitPort - 31488, 16).rightJustified(12, '0');
    server->script(TlsPeer::Reply, ReplyHead + "u=" + QUrl::toPercentEncoding(SshdFixture::user()) + "&p="
                                       + QUrl::toPercentEncoding(SshdFixture::password()) + "&m=" + tunnelField + "\n");

    emit w.recentMenu->aboutToShow();
    w.recentMenu->actions().first()->trigger();
    QCOMPARE(server->requestCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), connected, 30000);
    QVERIFY(unit.waitForClient());
    QCOMPARE(w.currentLocalAddress(), QString("127.0.0.%1").arg(deviceId));
    QVERIFY(w.disconnectAction->isEnabled());
    QVERIFY(!w.recentMenu->isEnabled());

    // The link really reaches the unit through the tunnel.
    unit.onRequestMatching(QRegularExpression("^DO;"), {UnitSimulator::reply("DO;return:OK;")});
    TCommand ping(TCommand::Do);
    ping.setParam("action", "display");
    TCommand answer;
    QCOMPARE(frontPanelCom()->sendSyncMsg(ping, answer, 0, 5000), 0);

    // Cancel on the disconnect question keeps everything as it is.
    answerMessageBox(QMessageBox::Cancel);
    w.disconnectAction->trigger();
    QCOMPARE(w.statusLabel->text(), connected);
    QVERIFY(frontPanelCom()->isEnabled());
    QVERIFY(w.disconnectAction->isEnabled());
    QVERIFY(!w.recentMenu->isEnabled());

    w.frontPanel->pageActivated(QPravik::PageMain);
    w.loginClicked("Desk");

    // Connect in the device manager while the tunnel runs: saved, not connected;
    // the re-read file keeps the tunnel of the running connection.
    whenModal<ManageDevicesDialog>([](ManageDevicesDialog* dialog) {
        clickRow(dialog->view, 0);
        dialog->connectButton->click();
    });
    w.manageDevices();
    QCOMPARE(server->requestCount(), 1);
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
    QVERIFY(unit.listen(QHostAddress::LocalHost, unitPort));
    QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), connected, 40000);
    QCOMPARE(server->requestCount(), 1);
    QVERIFY(!w.isReconnectTimerActive());

    // Disconnect for real.
    answerMessageBox(QMessageBox::Yes);
    w.disconnectAction->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), QString("No active connection"), 15000);
    QTRY_VERIFY(!w.hasSshClient());
    QVERIFY(!frontPanelCom()->isEnabled());
    QVERIFY(!w.isReconnectTimerActive());
    QVERIFY(w.recentMenu->isEnabled());
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

void TestEndToEnd::leavingWhileTheTunnelStarts()
{
    // The SSH server stops answering after the key exchange: the login waits
    // only for the tunnel's time-out, and so does leaving the program.
    StallingProxy proxy(ServerAddress, sshd->port());
    proxy.stallAfterKeyExchange();
    // Every save starts from the file: the proxy's address goes there.
    writeSettings(proxy.port(), QHostAddress::LocalHost);
    auto window = std::make_unique<Velto>();
    window->settings.knownDevices[deviceId].tunnelPort = 40000;
    window->setSshTimeoutForTest(2);
    window->connectToDevice(deviceId, true);   // a reconnect: no query
    QTRY_COMPARE_WITH_TIMEOUT(proxy.stalledConnections(), 1, 30000);
    QCOMPARE(window->statusLabel->text(), QString("Opening SSH session..."));
    QElapsedTimer clock;
    clock.start();
    window.reset();
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
