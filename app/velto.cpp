#include "app/velto.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHostAddress>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QSslCertificate>
#include <QSslSocket>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/devicedialogs.h"
#include "app/logfile.h"
#include "app/sshclient.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/logline.h"
#include "link/tcommand.h"
#include "model/tcomrequesthelper.h"
#include "model/textconv.h"
#include "panel/kit/controls.h"
#include "panel/kit/frontpanel.h"
#include "panel/kit/look.h"
#include "panel/kit/rowlabel.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/panelshared.h"
#include "panel/pages/qpravikwindow.h"

namespace {

Velto* theMainWindow = nullptr;

// Red while a synchronous call runs. The bar paints that background itself:
// a new palette would be handed down to every child at each call.
class StatusBar : public QStatusBar
{
public:
    using QStatusBar::QStatusBar;

    void setBusy(bool on)
    {
        if (busy == on)
            return;
        busy = on;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (busy)
            QPainter(this).fillRect(rect(), Qt::red);
        QStatusBar::paintEvent(event);
    }

private:
    bool busy = false;
};

void setTextColour(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QString configurationPath()
{
    QString name = QStringLiteral("Kandelo.exe");
    name.replace(QLatin1String(".exe"), QLatin1String(".xml"), Qt::CaseSensitive);
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

} // namespace

Velto* mainWindow()
{
    return theMainWindow;
}

Velto::Velto(QWidget* parent)
    : QMainWindow(parent, Qt::WindowFlags())
    , settings(configurationPath())
{
    reconnectTimer.setParent(this);
    sshThread.setParent(this);

    if (objectName().isEmpty())
        setObjectName(QStringLiteral("KandeloClass"));
    resize(800, 600);
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralwidget"));
    setCentralWidget(central);
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("menubar"));
    bar->setGeometry(QRect(0, 0, 800, 21));
    setMenuBar(bar);
    auto* status = new StatusBar(this);
    status->setObjectName(QStringLiteral("statusbar"));
    setStatusBar(status);
    setWindowTitle(QCoreApplication::translate("KandeloClass", "MainWindow"));
    QMetaObject::connectSlotsByName(this);

    createMenus();
    setupFrontPanel();

    zel::CCom* session = frontPanelCom();
    connect(frontPanel, &QPravikWindow::loginClicked, this, &Velto::loginClicked);
    connect(session, &zel::CCom::stateChanged, this, &Velto::stateChanged);
    connect(session, &zel::CCom::busyStateChanged, this, &Velto::busyStateChanged);
    connect(&reconnectTimer, &QTimer::timeout, this, &Velto::onSshReconnectRequest);

    if (QFile::exists(settings.configPath))
        readConfiguration();
    else
        writeConfiguration();

    logFile = new LogFile(QStringLiteral("Kandelo"));
    logFile->maxSize = LogFile::sizeLimit(settings.logMaxSize);
    logFile->setMaxFiles(settings.logMaxFiles);
    logFile->setDirectory(QCoreApplication::applicationDirPath() + QLatin1String("/logs"));

    theMainWindow = this;
    setMessageLog(logFile);
}

Velto::~Velto()
{
    reconnectTimer.disconnect();
    sshThread.disconnect();
    frontPanel->disconnect();
    frontPanelCom()->disconnect();
    if (sshClient) {
        sshClient->disconnect();
        sshClient->deleteLater();
        sshClient = nullptr;
    }
    // A tunnel still starting then gives up after its current wait.
    sshThread.requestInterruption();
    sshThread.quit();
    sshThread.wait();
    // Popups still open must not forward keys to a panel that is going away.
    frontPanelWindow = nullptr;
    theMainWindow = nullptr;
    setMessageLog(nullptr);
    delete logFile;
    logFile = nullptr;
}

void Velto::createMenus()
{
    recentMenu = new QMenu(tr("&Recent"), this);
    recentMenu->setEnabled(false);
    connect(recentMenu, &QMenu::aboutToShow, this, &Velto::updateDevices);
    menuBar()->addMenu(recentMenu);

    disconnectAction = new QAction(tr("&Disconnect"), this);
    disconnectAction->setEnabled(false);
    connect(disconnectAction, &QAction::triggered, this, &Velto::disconnectDevice);
    menuBar()->addAction(disconnectAction);

    manageDevicesAction = new QAction(tr("&Manage devices"), this);
    manageDevicesAction->setEnabled(false);
    connect(manageDevicesAction, &QAction::triggered, this, &Velto::manageDevices);
    menuBar()->addAction(manageDevicesAction);

    // Made and switched with the others, but placed nowhere.
    authenticationAction = new QAction(tr("&Authentication"), this);
    authenticationAction->setEnabled(false);
    connect(authenticationAction, &QAction::triggered, this, &Velto::authenticationClicked);

    aboutAction = new QAction(tr("?"), this);
    aboutAction->setEnabled(true);
    connect(aboutAction, &QAction::triggered, this, &Velto::aboutClicked);
    menuBar()->addAction(aboutAction);
}

void Velto::setupFrontPanel()
{
    setWindowTitle(QStringLiteral("%1 - Version %2")
                       .arg(QString::fromLatin1(KandeloDisplayName),
                            QString::fromLatin1(KandeloVersionText)));
    setFixedSize(800, 615);

    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, Qt::black);
    windowPalette.setColor(QPalette::WindowText, Qt::white);
    setPalette(windowPalette);
    // Menu-bar entries are drawn in the button-text colour: keep them readable on black.
    QPalette menuPalette = menuBar()->palette();
    menuPalette.setColor(QPalette::Active, QPalette::ButtonText, Qt::white);
    menuPalette.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::white);
    menuBar()->setPalette(menuPalette);
    setFont(QPravik::panelFont(font()));

    statusLabel = new QLabel(tr("No active connection"));
    setTextColour(statusLabel, Qt::red);
    // Filled with the bar's black, as the bar below it is: a label that
    // lets the bar show through is painted a second time with the bar when
    // both change at once, as they do at the end of every call.
    statusLabel->setAutoFillBackground(true);
    statusBar()->setAutoFillBackground(true);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(statusLabel, 1);
    // Permanent, so neither a connection text nor "BUSY" hides it; the
    // connection text gives way when both do not fit.
    statusLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    configurationLabel = new QLabel;
    configurationLabel->setContentsMargins(0, 0, 4, 0);
    setTextColour(configurationLabel, Qt::red);
    configurationLabel->hide();
    statusBar()->addPermanentWidget(configurationLabel);
    // Of a fixed size, that of the window's width and the bar's own height:
    // each time "BUSY" takes the place of statusLabel and gives it back, the
    // bar lays itself out again, and a bar that might change size would have
    // the whole window laid out again with it.
    statusBar()->setFixedSize(width(), statusBar()->sizeHint().height());

    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setAlignment(Qt::AlignTop);
    centralWidget()->setLayout(layout);

    frontPanel = new QPravikWindow(this);
    frontPanelWindow = frontPanel;
    layout->addWidget(frontPanel, 0);

    auto* topLine = new QFrame(this);
    topLine->setFrameShape(QFrame::HLine);
    topLine->setFrameShadow(QFrame::Plain);
    layout->addWidget(topLine, 0);

    buttonBar = new QWidget(this);
    buttonBar->setFixedHeight(86);
    buttonBar->hide();
    layout->addWidget(buttonBar);

    auto* bottomLine = new QFrame(this);
    bottomLine->setFrameShape(QFrame::HLine);
    bottomLine->setFrameShadow(QFrame::Plain);
    layout->addWidget(bottomLine, 1, Qt::AlignBottom);

    QPalette buttonPalette = palette();
    buttonPalette.setColor(QPalette::Window, Qt::white);
    buttonPalette.setColor(QPalette::WindowText, Qt::black);

    struct ButtonSpec
    {
        int x;
        const char* icon;
        void (Velto::*slot)();
        const char* name;
    };
    const ButtonSpec specs[] = {
        {10, ":/images/message.png", &Velto::button3Clicked, "messageButton"},
        {272, ":/images/headphone-black.png", &Velto::button1Clicked, "headphoneButton"},
        {430, ":/images/phone-call.png", &Velto::button2Clicked, "phoneCallButton"},
    };
    for (const ButtonSpec& spec : specs) {
        auto* button = new QPravikButton(buttonBar);
        button->setObjectName(QLatin1String(spec.name));
        button->setGeometry(spec.x, 10, 98, 66);
        button->borderWidth = 4;
        button->setPalette(buttonPalette);
        button->setIcon(iconWhenDrawn(QString::fromLatin1(spec.icon)));
        connect(button, &QPravikButton::clicked, this, spec.slot);
    }

    tabLabel = elidedLabel(buttonBar); // the unit's name may be longer than its box
    tabLabel->setGeometry(577, 10, 210, 66);
    tabLabel->setAlignment(Qt::AlignCenter);
    tabLabel->setFrameStyle(QFrame::Panel | QFrame::Plain);
    tabLabel->setLineWidth(1);
    // The name comes from the unit: shown as it is, never as markup.
    tabLabel->setTextFormat(Qt::PlainText);
    tabLabel->setWordWrap(true);
    QFont tabFont = tabLabel->font();
    tabFont.setPixelSize(20);
    tabLabel->setFont(tabFont);
    tabLabel->hide();
}

bool Velto::initialize()
{
    if (QSslSocket::supportsSsl()) {
        // "&Disconnect" stays as made: disabled.
        recentMenu->setEnabled(true);
        manageDevicesAction->setEnabled(true);
        authenticationAction->setEnabled(true);
        return true;
    }
    logDebug(QStringLiteral("%1(SSL is not supported)").arg(QLatin1String("initialize")));
    setStatusMessage(tr("SSL is not supported"), Qt::red);
    return false;
}

void Velto::setStatusMessage(const QString& text, const QColor& color)
{
    if (statusLabel->palette().color(QPalette::WindowText) != color)
        setTextColour(statusLabel, color);
    statusLabel->setText(text);
}

void Velto::setMenusEnabled(bool connectMenus, bool disconnect)
{
    recentMenu->setEnabled(connectMenus);
    manageDevicesAction->setEnabled(connectMenus);
    authenticationAction->setEnabled(connectMenus);
    disconnectAction->setEnabled(disconnect);
}

void Velto::busyStateChanged(bool busy)
{
    static_cast<StatusBar*>(statusBar())->setBusy(busy);
    if (busy)
        statusBar()->showMessage(tr("BUSY"), 0);
    else
        statusBar()->clearMessage();
}

void Velto::closeEvent(QCloseEvent* event)
{
    const auto answer = QMessageBox::question(this, tr("Exit application"),
                                              tr("Are you sure to exit?"),
                                              QMessageBox::Yes | QMessageBox::Cancel,
                                              QMessageBox::Cancel);
    if (answer == QMessageBox::Yes)
        event->accept();
    else
        event->ignore();
}

void Velto::loginClicked(const QString& tabName)
{
    tabLabel->setText(tabName);
    tabLabel->setVisible(!tabName.isEmpty());
    buttonBar->show();
}

void Velto::postPanelKey(int key)
{
    QCoreApplication::postEvent(frontPanel, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier,
                                                          QString(), false, 1));
    QCoreApplication::postEvent(frontPanel, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier,
                                                          QString(), false, 1));
}

void Velto::button1Clicked()
{
    postPanelKey(QPravik::HeadphoneKey);
}

void Velto::button2Clicked()
{
    postPanelKey(QPravik::CallKey);
}

void Velto::button3Clicked()
{
    auto* keyboard = new QPravikVirtual(1, this);
    keyboard->setWindowModality(Qt::ApplicationModal);
    keyboard->move(pos() + QPoint((width() - keyboard->width()) / 2,
                                  (height() - keyboard->height()) / 2));
    keyboard->titleLabel.setText(tr("Enter Message"));
    keyboard->lineEdit.setText(QString());
    connect(keyboard, &QPravikPopup::popupClosed, this, &Velto::keyboardClosed);
    keyboard->show();
}

void Velto::keyboardClosed()
{
    auto* keyboard = qobject_cast<QPravikVirtual*>(sender());
    if (!keyboard || keyboard->cancelled)
        return;
    keyboard->hide();
    const QString text = keyboard->lineEdit.text();
    if (text.isEmpty())
        return;

    TCommand command(TCommand::Do);
    command.setParam("action", "display");
    command.setParam("message", toUnitUtf8(text));
    TComRequestHelper helper(frontPanelCom());
    if (!helper.send(command, 5000)) {
        QMessageBox::critical(this, tr("Send message"), tr("Failed to send message!"),
                              QMessageBox::Ok, QMessageBox::NoButton);
    }
}

// ---- configuration and device lists ---------------------------------------

bool Velto::readConfiguration()
{
    return ::readConfiguration(settings);
}

bool Velto::writeConfiguration(const std::function<void(ApplicationSettings&)>& change)
{
    const ConfigurationSave saved = saveConfiguration(settings, change);
    const QString name = QFileInfo(settings.configPath).fileName();
    if (saved == ConfigurationSave::Failed)
        configurationLabel->setText(tr("Failed to save %1").arg(name));
    else if (saved == ConfigurationSave::SavedKeepingUnreadable)
        configurationLabel->setText(tr("%1 unreadable, kept as %2")
                                        .arg(name, unreadableCopyPath(name)));
    configurationLabel->setVisible(saved != ConfigurationSave::Saved);
    return saved != ConfigurationSave::Failed;
}

void Velto::updateDevices()
{
    recentMenu->clear();
    readConfiguration();
    if (settings.recentDevices.isEmpty()) {
        QAction* empty = recentMenu->addAction(tr("List is empty"));
        empty->setEnabled(false);
        return;
    }
    for (int id : std::as_const(settings.recentDevices)) {
        const auto it = settings.knownDevices.constFind(id);
        if (it == settings.knownDevices.constEnd())
            continue;
        // A name is text: "&" must not turn into a mnemonic.
        QString text = it->name;
        text.replace(QLatin1Char('&'), QLatin1String("&&"));
        QAction* action = recentMenu->addAction(text);
        action->setData(id);
        connect(action, &QAction::triggered, this, &Velto::connectDevice);
    }
}

// ---- dialogs ---------------------------------------------------------------

void Velto::manageDevices()
{
    readConfiguration();
    const KnownDeviceMap shown = settings.knownDevices;
    ManageDevicesDialog dialog(this);
    dialog.setDevices(shown);
    const int result = dialog.exec();
    // The file may have changed while the dialog was open: only the
    // operator's own edits are taken into it.
    QMap<int, int> moved;
    writeConfiguration([&](ApplicationSettings& current) {
        moved = current.applyDeviceEdits(shown, dialog.knownDevices());
    });
    if (result == QDialog::Accepted && !sshClient)
        connectToDevice(moved.value(dialog.selectedId, dialog.selectedId), false);
}

void Velto::authenticationClicked()
{
    readConfiguration();
    ServerInfoDialog dialog(this);
    dialog.userEdit->setText(settings.user);
    dialog.passwordEdit->setText(settings.password);
    if (dialog.exec() != QDialog::Accepted)
        return;
    settings.user = dialog.userEdit->text();
    settings.password = dialog.passwordEdit->text();
    writeConfiguration();
}

void Velto::aboutClicked()
{
    VeltoDialog dialog(this);
    dialog.exec();
}

// ---- connect road ------------------------------------------------------------

bool Velto::linkEnabled() const
{
    return frontPanelCom()->isEnabled();
}

QString Velto::serverHost() const
{
    return settings.hostname.isEmpty() ? SshClient::defaultHost() : settings.hostname;
}

void Velto::connectDevice()
{
    auto* action = qobject_cast<QAction*>(sender());
    if (!action || sshClient)
        return;
    connectToDevice(action->data().toInt(), false);
}

void Velto::connectToDevice(int id, bool reconnect)
{
    if (!settings.knownDevices.contains(id))
        return;
    KnownDevice device = settings.knownDevices.value(id);
    deviceId = id;
    localAddress = QStringLiteral("127.0.0.%1").arg(id);
    deviceName = device.name.isEmpty() ? tr("noname") : device.name;
    // A unit another window removed meanwhile is not listed again.
    writeConfiguration([id](ApplicationSettings& current) {
        if (current.knownDevices.contains(id))
            current.addRecentDevice(id);
    });

    const QString host = serverHost();
    if (!reconnect) {
        recentMenu->setEnabled(false);
        manageDevicesAction->setEnabled(false);
        if (!resolveDevice(host, device)) {
            recentMenu->setEnabled(true);
            manageDevicesAction->setEnabled(true);
            return;
        }
        KnownDeviceMap devices = settings.knownDevices;
        devices.insert(id, device);
        settings.setKnownDevices(devices);
    }

    sshClient = new SshClient(settings.sshVerbosity);
    sshClient->host = host;
    sshClient->port = settings.hostport >= 1 ? settings.hostport : int(DefaultSshPort);
    sshClient->user = settings.user;
    sshClient->password = settings.password;
    sshClient->localPort = LinkPort;
    sshClient->remotePort = device.tunnelPort;
    sshClient->listenAddress = QHostAddress(localAddress);
    if (sshTimeout > 0)
        sshClient->timeout = sshTimeout;
    sshClient->moveToThread(&sshThread);

    connect(sshClient, &SshClient::logMessage, this, &Velto::onSshLogMessage);
    connect(sshClient, &SshClient::sessionStateChanged, this, &Velto::onSshSessionStateChanged);
    connect(this, &Velto::doSshStartSession, sshClient, &SshClient::startSession);
    connect(this, &Velto::doSshStopSession, sshClient, &SshClient::stopSession);

    setStatusMessage(tr("Opening SSH session..."), Qt::red);
    setMenusEnabled(false, false);
    sshThread.start(QThread::InheritPriority);
    reconnectWanted = false;
    emit doSshStartSession();
}

void Velto::takeLinkDown()
{
    frontPanelCom()->disconnectFromUnit();
    buttonBar->hide();
    frontPanel->pageActivated(QPravik::PageLogin);
}

void Velto::onSshSessionStateChanged(int state)
{
    onSshLogMessage(QStringLiteral("Session state is %1").arg(state));
    switch (state) {
    case SshClient::Listening:
        setStatusMessage(tr("SSH session success"), Qt::red);
        reconnectTimer.stop();
        if (!linkEnabled() && frontPanelCom()->connectToUnit(localAddress, LinkPort, 0)) {
            setStatusMessage(tr("Connecting to device <%1>").arg(deviceName), Qt::red);
            disconnectAction->setEnabled(true);
        }
        break;
    case SshClient::LocalClientGone:
        setStatusMessage(tr("Closing SSH session..."), Qt::red);
        setMenusEnabled(false, false);
        // A second report, with the link already down, must not cancel the reconnect.
        if (linkEnabled())
            reconnectWanted = true;
        takeLinkDown();
        emit doSshStopSession();
        break;
    case SshClient::Stopped:
    case SshClient::Failure: {
        if (reconnectWanted)
            setStatusMessage(tr("SSH connection failure"), Qt::red);
        else if (state == SshClient::Failure)
            setStatusMessage(tr("SSH session failure"), Qt::red);
        else
            setStatusMessage(tr("No active connection"), Qt::red);
        const bool retry = reconnectWanted || state == SshClient::Failure;
        setMenusEnabled(!retry, retry);
        if (retry)
            reconnectTimer.start(ReconnectInterval);
        else
            reconnectTimer.stop();
        takeLinkDown();
        if (sshClient) {
            sshClient->disconnect();
            disconnect(this, nullptr, sshClient, nullptr);
            sshClient->deleteLater();
            sshClient = nullptr;
        }
        break;
    }
    default:
        break;
    }
}

void Velto::onSshReconnectRequest()
{
    if (!sshClient)
        connectToDevice(deviceId, true);
}

void Velto::onSshLogMessage(const QString& text)
{
    logDebug(QStringLiteral("SshClient(%1)").arg(text));
}

void Velto::stateChanged(RpcConnection::ConnectionState state)
{
    if (state == RpcConnection::ConnectedState) {
        setTextColour(statusLabel, Qt::white);
        statusLabel->setText(tr("Connected to device <%1>").arg(deviceName));
        return;
    }
    setTextColour(statusLabel, Qt::red);
    if (!linkEnabled())
        statusLabel->setText(tr("No active connection"));
    else if (state == RpcConnection::ConnectingState)
        statusLabel->setText(tr("Connecting to device <%1>").arg(deviceName));
    else
        statusLabel->setText(tr("Not connected to device <%1>").arg(deviceName));
}

void Velto::disconnectDevice()
{
    if (sshClient && linkEnabled()) {
        const auto answer = QMessageBox::question(this, tr("Disconnect"),
                                                  tr("Are you sure to disconnect?"),
                                                  QMessageBox::Yes | QMessageBox::Cancel,
                                                  QMessageBox::Cancel);
        // Cancel keeps the live connection exactly as it is.
        if (answer != QMessageBox::Yes)
            return;
        if (sshClient) {
            setStatusMessage(tr("Closing SSH session..."), Qt::red);
            setMenusEnabled(false, false);
            takeLinkDown();
            reconnectWanted = false;
            reconnectTimer.stop();
            emit doSshStopSession();
            return;
        }
    }
    setStatusMessage(tr("No active connection"), Qt::red);
    setMenusEnabled(true, false);
    reconnectWanted = false;
    reconnectTimer.stop();
}

// ---- remote access -------------------------------------------------------------

bool Velto::resolveDevice(const QString& host, KnownDevice& device)
{
    if (!settings.knownDevices.contains(device.id))
        return false;
    RemoteAccessQuery query(settings.trustedCertificates, *this);
    remoteAccess = &query;
    const RemoteAccessResult result = query.resolve(host, device);
    remoteAccess = nullptr;

    const bool authenticated = result.authenticated();
    if (!authenticated && result.outcome != RemoteAccessOutcome::AuthenticationFailed)
        return false;
    // Whatever the reply named is taken, even when the reply as a whole is
    // refused. A field the reply left out stays null, one it sent empty does not.
    const RemoteAccount& account = result.account;
    if (!account.user.isNull())
        settings.user = account.user;
    if (!account.password.isNull())
        settings.password = account.password;
    if (account.tunnelPort > 0) {
        device.tunnelPort = account.tunnelPort;
        device.tunnelText = account.tunnelText;
    }
    return authenticated;
}

void Velto::showStatus(const QString& text)
{
    setStatusMessage(text, Qt::red);
    statusLabel->repaint();
}

void Velto::logLine(const QString& line)
{
    logDebug(line);
}

void Velto::sslStateChanged(QAbstractSocket::SocketState state)
{
    if (remoteAccess)
        remoteAccess->sslStateChanged(state);
}

void Velto::sslEncrypted()
{
    if (remoteAccess)
        remoteAccess->sslEncrypted();
}

void Velto::sslError(QAbstractSocket::SocketError error)
{
    if (remoteAccess)
        remoteAccess->sslError(error);
}

void Velto::sslErrors(const QList<QSslError>& errors)
{
    if (remoteAccess)
        remoteAccess->sslErrors(errors);
}

void Velto::sslDumpCertificate(const QSslCertificate& certificate)
{
    if (remoteAccess)
        remoteAccess->sslDumpCertificate(certificate);
}
