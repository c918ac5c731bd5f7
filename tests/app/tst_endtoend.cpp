// The whole program through real peers on loopback: a TLS server that
// answers the remote-access query, OpenSSH's sshd with a password account,
// and unitsim-server serving the example unit behind the forwarded port.

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

#include <functional>
#include <memory>

#include "app/applicationsettings.h"
#include "app/logfile.h"
#include "app/devicedialogs.h"
#include "app/velto.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/tokencodec.h"
#include "model/tcomaudioconnection.h"
#include "model/tcomdevice.h"
#include "panel/kit/connpanel.h"
#include "panel/kit/controls.h"
#include "panel/kit/popup.h"
#include "panel/kit/statuspanel.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikbanner.h"
#include "panel/pages/qpravikconnectionpage.h"
#include "panel/pages/qpravikloginpage.h"
#include "panel/pages/qpravikmainpage.h"
#include "panel/pages/qpravikwindow.h"
#include "panel/settings/qpraviksettingspage.h"
#include "panel/settings/settingsids.h"
#include "modalhelper.h"
#include "tests/remoteaccess/tlspeer.h"
#include "tests/sshfixture/sshdfixture.h"
#include "tests/support/unitsimprocess.h"
#include "tests/support/unitsimulator.h"

namespace {

const char* const IssuerName = "Kandelo Test Issuer";
const QByteArray ReplyHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
const QByteArray AdminPassword = "admin-Secret-53";
const QByteArray ExpertPassword = "expert-Secret-71";
const QByteArray OperatorPassword = "operator-Secret-29";
const QByteArray WifiPassphrase = "wifi-Secret-47";
const QByteArray SipPassword = "sip-Secret-83";
const QByteArray Pin = "4739";

QByteArray token(const QByteArray& clear)
{
    char* out = nullptr;
    const int length = encryptToken(clear.constData(), int(clear.size()), &out);
    QByteArray text(out, length);
    std::free(out);
    return text;
}

// The example unit, with passwords on the Administrator and Expert levels (and
// the Operator's once it has one), refusing one bit rate.
QString writeScript(const QTemporaryDir& dir, const QByteArray& operatorPassword = {})
{
    QFile example(QString(KANDELO_SOURCE_DIR) + "/tests/support/example-unit.txt");
    QFile script(dir.filePath("unit.txt"));
    if (!example.open(QIODevice::ReadOnly) || !script.open(QIODevice::WriteOnly))
        return {};
    script.write("on ^PARAM;codec:OPUS/48000/stereo/64000;\n  error 117\non GET:password_al\n  reply PARAM;password_al:"
                 + token(AdminPassword) + ";password_el:" + token(ExpertPassword) + ";password_ol:"
                 + (operatorPassword.isEmpty() ? QByteArray() : token(operatorPassword)) + ";return:OK;\n"
                 + example.readAll());
    return script.fileName();
}

QString fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

// A loopback address of its own, so that parallel runs do not meet.
const QHostAddress ServerAddress(QString("127.0.%1.%2")
                                     .arg(QRandomGenerator::global()->bounded(100, 250))
                                     .arg(QRandomGenerator::global()->bounded(2, 250)));

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // As in the program: every message goes to the log file.
        previousHandler = qInstallMessageHandler(logMessageHandler);
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

    void cleanupTestCase()
    {
        qInstallMessageHandler(previousHandler);
    }

    void connectLogInWalkDropDisconnect()
    {
        QTemporaryDir scriptDir;
        UnitSimProcess unit(KANDELO_UNITSIM_SERVER, writeScript(scriptDir));
        QVERIFY2(unit.start(), qPrintable(unit.errorString()));
        const quint16 unitPort = unit.port();
        if (unitPort <= 31488)
            QSKIP("the unit simulator's port is below the tunnel port offset");
        writeSettings(sshd->port());
        const QString connected = "Connected to device <Studio <7>>";
        auto window = std::make_unique<Velto>();
        Velto& w = *window;
        QVERIFY(w.initialize());
        QPravikWindow* panel = w.frontPanel;
        // Every line the link writes goes to the log, as with the most verbose settings.
        QLoggingCategory::setFilterRules("default.debug=true");

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

        // The operator picks the unit.
        emit w.recentMenu->aboutToShow();
        w.recentMenu->actions().first()->trigger();
        QCOMPARE(server->requestCount(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), connected, 30000);
        QTRY_VERIFY(unit.hasClient());
        QCOMPARE(w.currentLocalAddress(), QString("127.0.0.%1").arg(deviceId));
        QVERIFY(w.disconnectAction->isEnabled());
        QVERIFY(!w.recentMenu->isEnabled());
        QCOMPARE(panel->page(), int(QPravik::PageLogin));

        // Cancel on the disconnect question keeps everything as it is.
        answerMessageBox(QMessageBox::Cancel);
        w.disconnectAction->trigger();
        QCOMPARE(w.statusLabel->text(), connected);
        QVERIFY(frontPanelCom()->isEnabled());

        // The panel's keyboard, as the operator types on it.
        const auto type = [](QWidget* on, const QString& text) {
            auto* keyboard = on->findChild<QPravikVirtual*>();
            QVERIFY(keyboard);
            keyboard->lineEdit.setText(text);
            keyboard->cancelled = 0;
            keyboard->close();
        };
        // Logged in with the level's password.
        const auto logIn = [&](int level, const QByteArray& password) {
            auto* login = static_cast<QPravikLoginPage*>(panel->pageWidget(QPravik::PageLogin));
            (level == AdministratorLevel ? login->administratorSwitch : login->operatorSwitch)->click();
            login->loginButton->click();
            type(login, QString::fromLatin1(password));
            QCOMPARE(panel->page(), int(QPravik::PageMain));
            QCOMPARE(currentAccessLevel, level);
            QTRY_VERIFY(frontPanelDevice()->isReady());
        };
        logIn(AdministratorLevel, AdminPassword);
        QCOMPARE(w.tabLabel->text(), QString("Studio 7"));
        // The login's own requests, then the session's first pass, which loads the device first.
        const QByteArray passwords = "PARAM;cat:ui;controller_id:pv_frontpanel;target:db;type:pv_frontpanel;"
                                     "GET:password_al;GET:password_el;GET:password_ol;";
        QTRY_VERIFY(unit.requests().size() >= 5);
        QCOMPARE(unit.requests().mid(0, 5),
                 (QByteArrayList{"PARAM;target:general;GET:device;GET:version;GET:builddate;", passwords,
                                 "PARAM;cat:ui;controller_id:web;target:db;type:pv_frontpanel;GET:tabname;", passwords,
                                 "PARAM;target:general;LIST:device_opts;"}));

        // Every page; redrawing one sends nothing (but the keep-alive's read).
        const auto sentSince = [&unit](qsizetype from) {
            QByteArrayList sent = unit.requests().mid(from);
            sent.removeAll("PARAM;target:network;LIST:network;");
            return sent;
        };
        QTRY_VERIFY(panel->txL != 99);
        for (int page : {2, 3, 4, 5, 6, 7, 8, 9, 10, int(QPravik::PageNetworkMenu), 1}) {
            panel->pageActivated(QPravik::Page(page));
            QCOMPARE(panel->page(), page == QPravik::PageNetworkMenu ? int(QPravik::PageSettings) : page);
            QTest::qWait(50);
            const qsizetype before = unit.requests().size();
            QVERIFY(!panel->grab().isNull());
            panel->repaint();
            QTest::qWait(50);
            QVERIFY2(sentSince(before).isEmpty(), sentSince(before).join(' ').constData());
        }
        QVERIFY2(unit.unanswered().isEmpty(), unit.unanswered().join(' ').constData());

        // The settings menu: every link of every page opens a page of its own,
        // and going through them reads only.
        using namespace SettingsId;
        QPravikSettingsPage* settings = panel->settingsPage();
        const auto writesSince = [&](qsizetype from) {
            QByteArrayList writes = sentSince(from);
            writes.removeIf([](const QByteArray& body) {
                return body.contains("GET:") || body.contains("LIST:") || body.contains("action:open;")
                       || body.contains("action:subscribe");
            });
            return writes;
        };
        QStringList opened;
        std::function<void()> walk = [&] {
            QPravikMenuItems* page = settings->currentItems();
            QList<int> links;
            for (QPravikMenuItem* item : page->allItems())
                if (item->type == QPravikMenuItem::SubMenu && !item->locked && item->isVisibleTo(page))
                    links << item->id;
            for (int id : links) {
                page->itemClicked(page->findItem(id)->titleLabel);
                QPravikMenuItems* sub = settings->currentItems();
                QVERIFY2(sub != page, qPrintable(QString::number(id)));
                opened << QString::number(sub->menuId);
                walk();
                settings->goBack();
                QCOMPARE(settings->currentItems(), page);
            }
        };
        qsizetype walkStart = unit.requests().size();
        panel->pageActivated(QPravik::PageNetworkMenu);
        for (int entry = 1; entry <= 6; ++entry) {
            settings->entries->itemClicked(settings->entries->findEntry(entry)->titleLabel);
            QCOMPARE(settings->currentEntryId, entry);
            opened << "|" << QString::number(entry);
            walk();
        }
        QCOMPARE(opened.join(' '), QString("| 1 10 76 77 12 11 16 17 20 | 2 98 100 | 3 114 123 129 137 138 139 140 141 "
                                           "142 143 148 | 4 173 178 178 178 174 178 175 178 176 178 | 5 195 198 199 "
                                           "200 201 202 203 204 205 209 229 241 252 | 6 259 270 270 279 289 290"));

        // The shortcut pages from the panel's keys (the others from the window)
        // open their menu; "Exit" goes back to the page they came from.
        auto* connection = panel->connectionPage();
        QPravikConnPanel* line1 = connection->panel(1);
        QPravikMainPage* mainPage = panel->mainPage();
        const struct { int page; QAbstractButton* key; int from; int menu; } shortcuts[] = {
            {12, mainPage->settingsKey, 1, NetworkMenu}, {13, nullptr, 3, CodingMenu},
            {14, line1->codingButton, 2, Codec1Menu},    {15, nullptr, 2, Codec2Menu},
            {16, nullptr, 4, AudioMenu},                 {17, nullptr, 1, ToolsMenu},
            {18, nullptr, 1, BookMenu},                  {19, line1->bookButton, 2, CallProfilesMenu},
            {20, nullptr, 2, CallProfilesMenu},          {21, mainPage->statusKey, 1, StatusMenu},
        };
        for (const auto& shortcut : shortcuts) {
            panel->pageActivated(QPravik::Page(shortcut.from));
            shortcut.key ? shortcut.key->click() : panel->pageActivated(QPravik::Page(shortcut.page));
            QCOMPARE(panel->page(), int(QPravik::PageSettings));
            QCOMPARE(settings->currentItems()->menuId, shortcut.menu);
            settings->entries->itemClicked(settings->entries->findEntry(ExitEntry)->titleLabel);
            QCOMPARE(panel->page(), shortcut.from);
        }
        QVERIFY2(writesSince(walkStart).isEmpty(), writesSince(walkStart).join(' ').constData());
        QVERIFY2(unit.unanswered().isEmpty(), unit.unanswered().join(' ').constData());

        // One edited menu and one immediate item of each area, as the unit
        // receives them; a refused commit keeps the edit and the mark, and the
        // menu opened again shows the unit's value.
        const auto open = [&](const QList<int>& path) {
            panel->pageActivated(QPravik::PageNetworkMenu);
            settings->openEntry(path.first(), -1);
            for (int id : path.mid(1))
                settings->currentItems()->itemClicked(settings->currentItems()->findItem(id)->titleLabel);
            return settings->currentItems();
        };
        const auto received = [&](qsizetype from, const QByteArray& start) {
            const QByteArrayList bodies = unit.requests().mid(from);
            return std::any_of(bodies.cbegin(), bodies.cend(),
                               [&](const QByteArray& body) { return body.startsWith(start); });
        };
        const QString failed = "Failed to apply changes!";
        const auto shown = [&] { return settings->messagePopup ? settings->messagePopup->message : QString(); };
        const struct { QList<int> path; int item; QVariant value; QByteArray sent; bool refused = false; } edits[] = {
            {{1, 12}, EthernetQualityItem, 1, "PARAM;network:eth.0;network_quality:bad;target:network;"},
            {{1, 20}, PassphraseItem, QString::fromLatin1(WifiPassphrase),
             "PARAM;network:wifi.0;passphrase:" + WifiPassphrase + ";target:network;"},
            {{1, 17}, PinCodeItem, QString::fromLatin1(Pin), "PARAM;network:mobile.1;pin:" + Pin + ";target:network;"},
            {{1, 10, 76}, 97, QString::fromLatin1(SipPassword), "PARAM;network:aoip;sip_password:"},
            {{2, 98}, BitRateItem, 64000, "PARAM;codec:OPUS/48000/stereo/64000;target:audio;", true},
            {{2, 98}, BitRateItem, 96000, "PARAM;codec:OPUS/48000/stereo/96000;target:audio;"},
            {{2, 100}, AutoAdaptItem, false, "PARAM;abr_calls:off;target:audio;"},
            {{3}, DynamicProcessingItem, true, "PARAM;drc_state:on;target:audio;"},
            {{3, 114}, SideToneItem, true, "PARAM;matrix_opt:80000000;target:audio;"},
            {{3, RavennaMenu}, ModuleDeviceNameItem, QString("Velto B"), "PARAM;rav_device_name:Velto B;target:audio;"},
            {{3, RavennaMenu, OutputStreamMenu}, OutputNameItem, QString("Velto out 2"),
             "PARAM;rav_name_ou:Velto out 2;target:audio;"},
            // The record's name goes back as the unit gave it.
            {{4, 173, RecordRowBase + 1}, ProfileBitRateItem, 96000,
             "DO;action:update;codec:OPUS/48000/stereo/96000;codec_mode:cmode_normal;coord_mode:disabled;id:1;name:"
                 + QString::fromLatin1("Studio \xC5\x81\xC3\xB3" "d\xC5\xBA").toUtf8()
                 + ";network:eth.0;remote_addr:sip:lodz@example.net;target:general;type:remote_profile;"},
            {{5, 229}, AutoRedial2Item, true, "PARAM;auto_redial_link2:on;target:network;"},
            {{5, 252}, OperatorPasswordItem, QString::fromLatin1(OperatorPassword),
             "PARAM;cat:ui;controller_id:pv_frontpanel;password_ol:"},
        };
        for (const auto& edit : edits) {
            QPravikMenuItems* page = open(edit.path);
            QPravikMenuItem* item = page->findItem(edit.item);
            QVERIFY2(item, edit.sent.constData());
            QTest::qWait(60);
            const qsizetype before = unit.requests().size();
            if (item->type == QPravikMenuItem::Switch) {
                item->switchButton->click();
            } else if (edit.value.typeId() == QMetaType::Int) {
                item->setCurrentValue(edit.value.toInt(), true, true);
                page->notifyItemChanged(item);
            } else {
                page->itemClicked(item->titleLabel);
                type(page, edit.value.toString());
            }
            if (settings->header->modified)
                settings->applyChanges();
            QTRY_VERIFY2(received(before, edit.sent), unit.requests().mid(before).join(" // ").constData());
            QCOMPARE(shown() == failed, edit.refused);
            settings->closePopup();
            if (edit.refused) {
                QVERIFY(settings->header->modified);
                QCOMPARE(item->currentValue(), edit.value.toInt());
                QCOMPARE(open(edit.path)->findItem(edit.item)->currentValue(), 128000);
            }
        }

        // A call profile loaded into line 1 shows its number on the connection page.
        panel->pageActivated(QPravik::PageConnection);
        line1->bookButton->click();
        settings->currentItems()->itemClicked(settings->currentItems()->findItem(RecordRowBase + 1)->titleLabel);
        settings->currentItems()->itemClicked(settings->currentItems()->findItem(LoadRecordItem)->titleLabel);
        auto* load = settings->findChild<QPravikMessage*>();
        QVERIFY(load);
        load->okButton->click();
        QCOMPARE(line1->info->textLabel->text(), QString("sip:lodz@example.net"));

        // A call on line 1 to that number, followed on the audio connections page, and hung up.
        panel->pageActivated(QPravik::PageConnection);
        QTest::mouseClick(line1->info, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(line1->stateLabel->text(), QString("Call established (synchronized)"), 5000);
        QPravikMenuItems* calls = open({StatusEntry, ConnectionsMenu});
        QTRY_COMPARE(calls->findItem(CallStateItem)->valueText(), QString("Call established (synchronized)"));
        panel->pageActivated(QPravik::PageConnection);
        QTest::mouseClick(line1->info, Qt::LeftButton);
        auto* question = connection->findChild<QPravikMessage*>();
        QVERIFY(question);
        question->okButton->click();
        QTRY_VERIFY(!frontPanelDevice()->findAudioConnection(1));
        panel->pageActivated(QPravik::PageMain);
        QTRY_VERIFY2(panel->mainPage()->banner->text1->text().contains("Idle"),
                     qPrintable(panel->mainPage()->banner->text1->text()));
        QVERIFY(unit.requests().contains("DO;action:dcon;id:41;network:eth.0;"));

        // The unit goes away: the link drops and the panel goes back to its login
        // page; the road runs again after 10 s without a new query, on one link.
        panel->pageActivated(QPravik::PageAudioInput);
        unit.stop();
        QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), QString("SSH connection failure"), 30000);
        QCOMPARE(panel->page(), int(QPravik::PageLogin));
        QCOMPARE(panel->txL, 99);
        QVERIFY(!frontPanelDevice()->isReady());
        // It comes back holding the Operator's new password, which lets the Operator in.
        writeScript(scriptDir, OperatorPassword);
        QVERIFY(unit.start(unitPort));
        QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), connected, 40000);
        QCOMPARE(server->requestCount(), 1);
        QTRY_VERIFY(unit.hasClient());
        logIn(OperatorLevel, OperatorPassword);
        QTest::qWait(200);
        QCOMPARE(unit.connections(), 1);

        // Disconnect: the login page again.
        panel->pageActivated(QPravik::PageAudio);
        answerMessageBox(QMessageBox::Yes);
        w.disconnectAction->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), QString("No active connection"), 15000);
        QCOMPARE(panel->page(), int(QPravik::PageLogin));
        QTRY_VERIFY(!w.hasSshClient());
        QVERIFY(!frontPanelCom()->isEnabled());
        QVERIFY(w.recentMenu->isEnabled());
        QTRY_VERIFY(!unit.hasClient());

        // Leaving while connected takes the tunnel and the link down on the way out.
        emit w.recentMenu->aboutToShow();
        w.recentMenu->actions().first()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w.statusLabel->text(), connected, 30000);
        QTRY_VERIFY(unit.hasClient());
        const QString logDir = QCoreApplication::applicationDirPath() + "/logs";
        window.reset();
        QVERIFY(!frontPanelCom()->isEnabled());
        QTRY_VERIFY(!unit.hasClient());

        // No secret in the clear in the log or in the settings file, which keeps
        // only the unit's own password, nor on the wire but the PIN and the Wi-Fi
        // passphrase, which the unit takes as they are.
        const QByteArrayList secrets = {AdminPassword, ExpertPassword, OperatorPassword, token(ExpertPassword),
                                        SshdFixture::password().toLatin1(), SipPassword, WifiPassphrase, Pin};
        const QByteArray wire = unit.requests().join('\n');
        QString logs;
        for (const QFileInfo& file : QDir(logDir).entryInfoList({"*.log"}, QDir::Files))
            logs += fileText(file.filePath());
        QVERIFY(logs.contains("RpcConnection"));
        const QString settingsFile = fileText(QCoreApplication::applicationDirPath() + "/Kandelo.xml");
        QVERIFY(settingsFile.contains("unit-pass"));
        for (const QByteArray& secret : secrets) {
            QVERIFY2(secret == WifiPassphrase || secret == Pin || !wire.contains(secret), secret.constData());
            QVERIFY2(!logs.contains(QString::fromLatin1(secret)), secret.constData());
            QVERIFY2(!settingsFile.contains(QString::fromLatin1(secret)), secret.constData());
        }
        QVERIFY(!logs.contains("unit-pass"));
        QVERIFY2(unit.unanswered().isEmpty(), unit.unanswered().join(' ').constData());
        QLoggingCategory::setFilterRules("default.debug=false");
    }

    void leavingWhileTheTunnelStarts()
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

private:
    // The configuration every window of this test reads.
    void writeSettings(quint16 sshPort, const QHostAddress& host = ServerAddress);

    const int deviceId = QRandomGenerator::global()->bounded(10, 250);
    std::unique_ptr<SshdFixture> sshd;
    std::unique_ptr<TlsPeer> server;
    QtMessageHandler previousHandler = nullptr;
};

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

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
