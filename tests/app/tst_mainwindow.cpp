#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QKeyEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include "app/applicationsettings.h"
#include "app/devicedialogs.h"
#include "app/logfile.h"
#include "app/velto.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/tcommand.h"
#include "model/tcomrequesthelper.h"
#include "panel/kit/frontpanel.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikwindow.h"
#include "modalhelper.h"
#include "tests/support/paintcounter.h"
#include "tests/support/unitsimulator.h"

namespace {

// Nothing listens here, so a remote-access query fails at once.
const char* const DeadServer = "127.0.0.254";

QString configPath()
{
    return QCoreApplication::applicationDirPath() + "/Kandelo.xml";
}

QColor textColour(QWidget* widget)
{
    return widget->palette().color(QPalette::WindowText);
}

KnownDevice unit(int id, const QString& name)
{
    return KnownDevice{id, 0, name, QString(), QString("SN%1").arg(id), QString("pw%1").arg(id)};
}

// Writes the configuration file the next window reads.
void writeConfig(const QList<KnownDevice>& devices, const QList<int>& recent)
{
    ApplicationSettings settings(configPath());
    settings.hostname = DeadServer;
    for (const KnownDevice& d : devices)
        settings.knownDevices.insert(d.id, d);
    settings.recentDevices = recent;
    QVERIFY(writeConfiguration(settings));
}

ApplicationSettings readConfig()
{
    ApplicationSettings settings(configPath());
    readConfiguration(settings);
    return settings;
}

// Enabled states of "&Recent", "&Disconnect", the device manager, the
// account action and the about box, one digit each.
QString menus(Velto& w)
{
    QString state;
    for (bool on : {w.recentMenu->isEnabled(), w.disconnectAction->isEnabled(),
                    w.manageDevicesAction->isEnabled(), w.authenticationAction->isEnabled(),
                    w.aboutAction->isEnabled()})
        state += on ? '1' : '0';
    return state;
}

const QString Idle("10111");
const QString Retrying("01001");
const QString Starting("00001");

// Connects the session to a simulator on loopback.
bool linkTo(UnitSimulator& unit)
{
    return frontPanelCom()->connectToUnit("127.0.0.1", unit.port(), 0)
        && QTest::qWaitFor([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; });
}

// Opens the message keyboard, types text and closes it as the user would.
void typeMessage(Velto& w, const QString& text, bool accept)
{
    w.button3Clicked();
    auto* keyboard = w.findChild<QPravikVirtual*>();
    QVERIFY(keyboard);
    QCOMPARE(keyboard->windowModality(), Qt::ApplicationModal);
    keyboard->lineEdit.setText(text);
    if (accept)
        keyboard->cancelled = 0;
    keyboard->close();
    QTRY_VERIFY(!w.findChild<QPravikVirtual*>());
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QDir().rmdir(configPath());
        QFile::remove(configPath());
        frontPanelCom()->disconnectFromUnit();
    }

    void startAndEnd()
    {
        auto* w = new Velto;
        QVERIFY(QFile::exists(configPath()));
        QVERIFY(QDir(QCoreApplication::applicationDirPath() + "/logs").exists());
        QCOMPARE(mainWindow(), w);
        QCOMPARE(menus(*w), Starting);
        QVERIFY(w->initialize());
        QCOMPARE(menus(*w), Idle);
        // The menu bar holds exactly four entries; the account action is not one of them.
        QCOMPARE(w->menuBar()->actions(), (QList<QAction*>{w->recentMenu->menuAction(), w->disconnectAction,
                                                           w->manageDevicesAction, w->aboutAction}));
        QCOMPARE(w->statusLabel->text(), QString("No active connection"));
        QVERIFY(w->buttonBar->isHidden());
        QCOMPARE(frontPanelWindow.data(), static_cast<QWidget*>(w->frontPanel));

        // Leaving takes the link down and withdraws the window's pointers.
        UnitSimulator unit;
        QVERIFY(unit.listen());
        QVERIFY(linkTo(unit));
        delete w;
        QCOMPARE(mainWindow(), nullptr);
        QVERIFY(frontPanelWindow.isNull());
        QVERIFY(!frontPanelCom()->isEnabled());
        QVERIFY(unit.waitForDisconnect());
    }

    void recentMenuLists()
    {
        writeConfig({}, {});
        Velto w;
        w.initialize();
        emit w.recentMenu->aboutToShow();
        QCOMPARE(w.recentMenu->actions().size(), 1);
        QCOMPARE(w.recentMenu->actions().first()->text(), QString("List is empty"));
        QVERIFY(!w.recentMenu->actions().first()->isEnabled());

        // The file is read again each time the menu opens.
        writeConfig({unit(1, "One"), unit(2, "R&D"), unit(5, "Five")}, {5, 1, 2});
        emit w.recentMenu->aboutToShow();
        const QList<QAction*> entries = w.recentMenu->actions();
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries.at(0)->text(), QString("Five"));
        QCOMPARE(entries.at(0)->data().toInt(), 5);
        QCOMPARE(entries.at(2)->text(), QString("R&&D"));

        // Re-reading keeps the in-memory tunnel of an unchanged unit only.
        w.settings.knownDevices[1].tunnelPort = 40000;
        w.settings.knownDevices[1].tunnelText = "0000000022c0";
        w.settings.knownDevices[5].tunnelPort = 40001;
        KnownDevice changed = unit(5, "Five");
        changed.serialno = "other";
        writeConfig({unit(1, "One"), unit(2, "R&D"), changed}, {5, 1, 2});
        emit w.recentMenu->aboutToShow();
        QCOMPARE(w.settings.knownDevices.value(1).tunnelPort, 40000);
        QCOMPARE(w.settings.knownDevices.value(1).tunnelText, QString("0000000022c0"));
        QCOMPARE(w.settings.knownDevices.value(5).tunnelPort, 0);
    }

    void failedQueryStillRecordsRecentUnit()
    {
        writeConfig({unit(1, "One"), unit(2, "")}, {1});
        Velto w;
        w.initialize();
        emit w.recentMenu->aboutToShow();
        w.recentMenu->actions().at(0)->trigger();   // unit 1: the dead server refuses
        QCOMPARE(w.statusLabel->text(), QString("Failure to connect to server <%1>").arg(DeadServer));
        QCOMPARE(menus(w), Idle);
        QVERIFY(!w.hasSshClient());
        QCOMPARE(w.currentLocalAddress(), QString("127.0.0.1"));

        // Not in the recent list, but known: the manager's connect takes it.
        whenModal<ManageDevicesDialog>([](ManageDevicesDialog* dialog) {
            clickRow(dialog->view, rowOf(dialog->view, 2));
            dialog->connectButton->click();
        });
        w.manageDevices();
        QCOMPARE(w.currentDeviceId(), 2);
        QCOMPARE(w.currentDeviceName(), QString("noname"));
        QCOMPARE(readConfig().recentDevices, QList<int>({2, 1}));
        QCOMPARE(menus(w), Idle);

        // Unknown ids do nothing at all.
        w.connectToDevice(9, false);
        QCOMPARE(w.currentDeviceId(), 2);
    }

    void savesStartFromTheFileAndTellTheUser()
    {
        // A file cut short is kept beside it before the first save writes it over.
        const QByteArray cut = "<settings version=\"1\"><applicationSettings><server hostname=\"127.0.0.254\"/>"
                               "</applicationSettings><knownDevices><device id=\"1\" serialno=\"S\" password=\"P\"/>";
        QFile file(configPath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(cut) == cut.size());
        file.close();
        QFile::remove(configPath() + ".bad");
        Velto w;
        w.initialize();
        QVERIFY(w.configurationLabel->isHidden());
        w.connectToDevice(1, false);   // saves the recent list; the dead server then refuses
        QFile bad(configPath() + ".bad");
        QVERIFY(bad.open(QIODevice::ReadOnly));
        QCOMPARE(bad.readAll(), cut);
        QVERIFY(!w.configurationLabel->isHidden());
        QCOMPARE(w.configurationLabel->text(), QString("Kandelo.xml unreadable, kept as Kandelo.xml.bad"));
        QCOMPARE(textColour(w.configurationLabel), QColor(Qt::red));

        // A unit another window added meanwhile stays; a clean save clears the note.
        writeConfig({unit(1, "One"), unit(2, "Two")}, {2});
        w.connectToDevice(1, false);
        QCOMPARE(readConfig().knownDevices.keys(), QList<int>({1, 2}));
        QCOMPARE(readConfig().recentDevices, QList<int>({1, 2}));
        QVERIFY(w.configurationLabel->isHidden());

        // A file that cannot be read is not written over, and the user is told.
        QVERIFY(QFile::remove(configPath()) && QDir().mkdir(configPath()));
        w.connectToDevice(2, false);
        QCOMPARE(w.configurationLabel->text(), QString("Failed to save Kandelo.xml"));
        QVERIFY(!w.configurationLabel->isHidden());
        QCOMPARE(w.settings.recentDevices, QList<int>({2, 1}));   // the change stays in memory
    }

    void linkSupervisionStates()
    {
        writeConfig({unit(3, "Three")}, {});
        Velto w;
        w.initialize();
        w.connectToDevice(3, false);   // fails at the query, but sets the address
        QCOMPARE(w.currentLocalAddress(), QString("127.0.0.3"));

        UnitSimulator unit;
        if (!unit.listen(QHostAddress("127.0.0.3"), Velto::LinkPort))
            QSKIP("127.0.0.3:7001 is taken on this machine");

        // What the tunnel reports drives the link and the menus.
        w.onSshSessionStateChanged(1);
        QCOMPARE(w.statusLabel->text(), QString("Connecting to device <Three>"));
        QVERIFY(w.disconnectAction->isEnabled());
        QTRY_COMPARE(w.statusLabel->text(), QString("Connected to device <Three>"));
        QCOMPARE(textColour(w.statusLabel), QColor(Qt::white));
        w.frontPanel->pageActivated(QPravik::PageMain);
        w.loginClicked("Tab");

        // A second "listening" report with the link up changes nothing.
        w.onSshSessionStateChanged(1);
        QCOMPARE(w.statusLabel->text(), QString("SSH session success"));

        // The tunnel's local client went away, and goes away again while the
        // tunnel stops: the second report must not cancel the reconnect.
        w.onSshSessionStateChanged(2);
        QVERIFY(w.isReconnectWanted());
        QVERIFY(!frontPanelCom()->isEnabled());
        QVERIFY(w.buttonBar->isHidden());
        QCOMPARE(w.frontPanel->page(), 0);
        QCOMPARE(menus(w), Starting);
        w.onSshSessionStateChanged(2);
        QVERIFY(w.isReconnectWanted());
        w.onSshSessionStateChanged(0);
        QCOMPARE(w.statusLabel->text(), QString("SSH connection failure"));
        QCOMPARE(textColour(w.statusLabel), QColor(Qt::red));
        QCOMPARE(menus(w), Retrying);
        QVERIFY(w.isReconnectTimerActive());

        // Disconnect while waiting for the retry: back to idle, nothing wanted.
        w.disconnectDevice();
        QCOMPARE(w.statusLabel->text(), QString("No active connection"));
        QCOMPARE(menus(w), Idle);
        QVERIFY(!w.isReconnectTimerActive());
        QVERIFY(!w.isReconnectWanted());

        // A failing tunnel is retried; a plain stop is not.
        w.onSshSessionStateChanged(-1);
        QCOMPARE(w.statusLabel->text(), QString("SSH session failure"));
        QCOMPARE(menus(w), Retrying);
        w.onSshSessionStateChanged(0);
        QCOMPARE(w.statusLabel->text(), QString("No active connection"));
        QCOMPARE(menus(w), Idle);
        QVERIFY(!w.isReconnectTimerActive());

        // Link states while the link is wanted but not connected.
        QVERIFY(frontPanelCom()->connectToUnit("127.0.0.3", Velto::LinkPort, 0));
        w.stateChanged(RpcConnection::ConnectingState);
        QCOMPARE(w.statusLabel->text(), QString("Connecting to device <Three>"));
        w.stateChanged(RpcConnection::UnconnectedState);
        QCOMPARE(w.statusLabel->text(), QString("Not connected to device <Three>"));
        frontPanelCom()->disconnectFromUnit();
        w.stateChanged(RpcConnection::ConnectingState);
        QCOMPARE(w.statusLabel->text(), QString("No active connection"));
    }

    void busyDuringSynchronousCall()
    {
        Velto w;
        UnitSimulator unit;
        QVERIFY(unit.listen());
        unit.onRequestMatching(QRegularExpression("^PARAM"),
                               {UnitSimulator::delay(300), UnitSimulator::reply("PARAM;return:OK;")});
        QVERIFY(linkTo(unit));

        QString during;
        QTimer::singleShot(100, &w, [&] { during = w.statusBar()->currentMessage(); });
        TCommand request(TCommand::Param);
        request.setParam("target", "general");
        request.setParam("x", "1");
        QVERIFY(TComRequestHelper(frontPanelCom()).send(request, 5000));
        QCOMPARE(during, QString("BUSY"));
        QCOMPARE(w.statusBar()->currentMessage(), QString());
    }

    // Red behind "BUSY" while a call runs, the connection text hidden;
    // after it black with the text back, painted once.
    void busyLook()
    {
        Velto w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        UnitSimulator unit;
        QVERIFY(unit.listen());
        unit.onRequestMatching(QRegularExpression("^PARAM"),
                               {UnitSimulator::delay(300), UnitSimulator::reply("PARAM;return:OK;")});
        QVERIFY(linkTo(unit));
        QTRY_VERIFY(w.statusLabel->text().startsWith("Connected"));
        // The bar's pixels other than its background, and its white ones (the text).
        const auto look = [&w](QRgb background) {
            const QImage bar = w.statusBar()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QPair<int, int> marks;
            for (int y = 0; y < bar.height(); ++y) {
                for (int x = 0; x < bar.width(); ++x) {
                    marks.first += bar.pixel(x, y) != background;
                    marks.second += bar.pixel(x, y) == qRgb(255, 255, 255);
                }
            }
            return marks;
        };
        const QPair<int, int> idle = look(qRgb(0, 0, 0));
        QPair<int, int> busy;
        bool textShown = true;
        QTimer::singleShot(100, &w, [&] {
            textShown = w.statusLabel->isVisible();
            busy = look(qRgb(255, 0, 0));
        });
        TCommand request(TCommand::Param);
        request.setParam("target", "general");
        QVERIFY(TComRequestHelper(frontPanelCom()).send(request, 5000));
        PaintCounter paints(w.statusLabel);
        QTRY_VERIFY(paints.count > 0);
        QTest::qWait(50);
        QCOMPARE(paints.count, 1);
        QVERIFY(!textShown && w.statusLabel->isVisible());
        QVERIFY2(busy.first > 0 && busy.first < idle.first && busy.second > 0,
                 qPrintable(QString("%1 %2 %3").arg(busy.first).arg(idle.first).arg(busy.second)));
        QCOMPARE(look(qRgb(0, 0, 0)), idle);
    }

    void panelKeys()
    {
        Velto w;
        QPravikWindow* panel = w.frontPanel;
        const auto press = [panel](int key, QEvent::Type type = QEvent::KeyPress) {
            QKeyEvent event(type, key, Qt::NoModifier, QString(), false, 1);
            QCoreApplication::sendEvent(panel, &event);
        };
        // Offline only the login page shows, and the keys do nothing there.
        panel->pageActivated(QPravik::PageMain);
        press(257);
        press(261);
        QCOMPARE(panel->page(), 0);
        QVERIFY(!panel->isCallKeyHeld());

        UnitSimulator unit;
        QVERIFY(unit.listen());
        QVERIFY(linkTo(unit));
        panel->pageActivated(QPravik::PageAudio);
        press(257);
        QCOMPARE(panel->page(), 7);
        press(257);
        QCOMPARE(panel->page(), 3);
        // From a headphone page the call key does not remember that page.
        press(257);
        panel->pageActivated(QPravik::PageHeadphone2);
        press(261);
        QCOMPARE(panel->page(), 2);
        QVERIFY(panel->isCallKeyHeld());
        press(261, QEvent::KeyRelease);
        QVERIFY(!panel->isCallKeyHeld());
        press(261);
        QCOMPARE(panel->page(), 3);
        // From the connection page the headphone key does not remember it.
        panel->pageActivated(QPravik::PageMain);
        press(261);
        press(257);
        QCOMPARE(panel->page(), 7);
        press(257);
        QCOMPARE(panel->page(), 1);

        // The tab name comes from the unit: plain text, and none shows no label.
        w.loginClicked(QString());
        QVERIFY(!w.buttonBar->isHidden());
        QVERIFY(w.tabLabel->isHidden());
        w.loginClicked("<b>Studio</b>");
        QVERIFY(!w.tabLabel->isHidden());
        QCOMPARE(w.tabLabel->textFormat(), Qt::PlainText);
        // A long one is kept whole and asks no more room than its box has.
        for (const QString name : {"Studio Berlin Olympiastadion Kommentator 3 Backup Leitung Nord 1",
                                   "StudioBerlinOlympiastadionKommentator3BackupLeitungNordWest12345"}) {
            w.loginClicked(name);
            QCOMPARE(w.tabLabel->text(), name);
            QVERIFY(w.tabLabel->minimumSizeHint().width() <= w.tabLabel->width());
        }

        // The bar's buttons post their keys, a press and a release each.
        auto* headphone = w.buttonBar->findChild<QAbstractButton*>("headphoneButton");
        auto* call = w.buttonBar->findChild<QAbstractButton*>("phoneCallButton");
        QVERIFY(headphone && call);
        headphone->click();
        QCOMPARE(panel->page(), 1);
        QTRY_COMPARE(panel->page(), 7);
        call->click();
        QTRY_COMPARE(panel->page(), 2);
        QTRY_VERIFY(!panel->isCallKeyHeld());
    }

    void typedMessage()
    {
        Velto w;
        // No link at all: refused at once, and said so.
        QString text;
        answerMessageBox(QMessageBox::Ok, &text);
        typeMessage(w, "hello", true);
        QCOMPARE(text, QString("Failed to send message!"));

        UnitSimulator unit;
        QVERIFY(unit.listen());
        // The newest rule is tried first: one OK, then refusals.
        unit.onRequestMatching(QRegularExpression("^DO;"),
                               {UnitSimulator::reply("DO;return:ERROR;cause:204-not allowed;")});
        unit.onRequestMatching(QRegularExpression("^DO;"), {UnitSimulator::reply("DO;return:OK;")}, 1);
        QVERIFY(linkTo(unit));

        // Cancelled or empty: nothing is sent.
        typeMessage(w, "ignored", false);
        typeMessage(w, "", true);
        QTest::qWait(50);
        QCOMPARE(unit.requests().size(), 0);

        typeMessage(w, QString::fromUtf8("Grüße; ok"), true);
        QVERIFY(unit.waitForRequests(1));
        QCOMPARE(unit.requests().first().body,
                 QByteArray("DO;action:display;message:Gr\xC3\xBC\xC3\x9F" "e\\; ok;"));

        // The unit refuses.
        text.clear();
        answerMessageBox(QMessageBox::Ok, &text);
        typeMessage(w, "hello", true);
        QCOMPARE(text, QString("Failed to send message!"));
        QCOMPARE(unit.requests().size(), 2);
    }

    void exitQuestion()
    {
        Velto w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QString text;
        answerMessageBox(QMessageBox::Cancel, &text);
        QVERIFY(!w.close());
        QCOMPARE(text, QString("Are you sure to exit?"));
        QVERIFY(w.isVisible());

        answerMessageBox(QMessageBox::Yes);
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
    }

    void deviceManagerSavesOnClose()
    {
        writeConfig({unit(1, "One"), unit(2, "Two"), unit(3, "Three")}, {2, 3});
        Velto w;
        w.initialize();

        // Add a unit and delete unit 2, then close with the window's close button.
        whenModal<ManageDevicesDialog>([](ManageDevicesDialog* dialog) {
            whenModal<DeviceInfoDialog>([](DeviceInfoDialog* info) {
                info->serialEdit->setText("0042");
                info->passwordEdit->setText("secret");
                info->okButton->click();
            });
            dialog->addButton->click();
            clickRow(dialog->view, rowOf(dialog->view, 2));
            answerMessageBox(QMessageBox::Yes);
            dialog->deleteButton->click();
            dialog->close();
        });
        w.manageDevices();

        const ApplicationSettings saved = readConfig();
        QCOMPARE(saved.knownDevices.keys(), QList<int>({1, 3, 4}));
        QCOMPARE(saved.knownDevices.value(4).serialno, QString("0042"));
        QCOMPARE(saved.recentDevices, QList<int>({3}));
        QCOMPARE(w.settings.knownDevices.keys(), QList<int>({1, 3, 4}));
        QVERIFY(!w.hasSshClient());
    }

    void authenticationKeepsAccountInMemory()
    {
        Velto w;
        w.initialize();
        whenModal<ServerInfoDialog>([](ServerInfoDialog* dialog) {
            dialog->userEdit->setText("account");
            dialog->passwordEdit->setText("hidden-pass");
            dialog->okButton->click();
        });
        w.authenticationAction->trigger();
        QCOMPARE(w.settings.user, QString("account"));
        QCOMPARE(w.settings.password, QString("hidden-pass"));
        QFile file(configPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY(!content.contains("account"));
        QVERIFY(!content.contains("hidden-pass"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
