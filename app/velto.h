#pragma once

#include <QAbstractSocket>
#include <QColor>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSslError>
#include <QString>
#include <QThread>
#include <QTimer>

#include "app/applicationsettings.h"
#include "app/remoteaccess.h"
#include "link/rpcconnection.h"

class LogFile;
class QAction;
class QCloseEvent;
class QLabel;
class QMenu;
class QPravikWindow;
class QSslCertificate;
class SshClient;

// The program's one window: hosts the front-panel replica, shows the state of
// the connection, and owns the settings, the log writer, the SSH tunnel with
// its worker thread and the reconnect timer.
class Velto : public QMainWindow, private RemoteAccessSink
{
    Q_OBJECT
public:
    enum { LinkPort = 7001, DefaultSshPort = 234, ReconnectInterval = 10000 };

    explicit Velto(QWidget* parent = nullptr);
    ~Velto() override;

    bool initialize();
    void setStatusMessage(const QString& text, const QColor& color);
    void connectToDevice(int id, bool reconnect);
    bool resolveDevice(const QString& host, KnownDevice& device);
    bool readConfiguration();
    // Saves the settings from the file as it is now plus change (see
    // saveConfiguration); what went wrong is shown in configurationLabel.
    bool writeConfiguration(const std::function<void(ApplicationSettings&)>& change = {});

    bool hasSshClient() const { return sshClient != nullptr; }
    bool isReconnectWanted() const { return reconnectWanted; }
    bool isReconnectTimerActive() const { return reconnectTimer.isActive(); }
    int currentDeviceId() const { return deviceId; }
    const QString& currentLocalAddress() const { return localAddress; }
    const QString& currentDeviceName() const { return deviceName; }
    // Test seam: the program always gives the tunnel's libssh calls 30 s.
    void setSshTimeoutForTest(int seconds) { sshTimeout = seconds; }

    QPravikWindow* frontPanel = nullptr;
    QWidget* buttonBar = nullptr;
    QLabel* statusLabel = nullptr;
    QLabel* configurationLabel = nullptr;   // a failed or unusual save, beside the connection texts
    QLabel* tabLabel = nullptr;
    QMenu* recentMenu = nullptr;
    QAction* disconnectAction = nullptr;
    QAction* manageDevicesAction = nullptr;
    QAction* authenticationAction = nullptr;
    QAction* aboutAction = nullptr;
    ApplicationSettings settings;

signals:
    void doSshStartSession();
    void doSshStopSession();

public slots:
    void sslStateChanged(QAbstractSocket::SocketState state);
    void sslEncrypted();
    void sslError(QAbstractSocket::SocketError error);
    void sslErrors(const QList<QSslError>& errors);
    void onSshLogMessage(const QString& text);
    void onSshSessionStateChanged(int state);
    void onSshReconnectRequest();
    void stateChanged(RpcConnection::ConnectionState state);
    void busyStateChanged(bool busy);
    void manageDevices();
    void updateDevices();
    void connectDevice();
    void disconnectDevice();
    void authenticationClicked();
    void aboutClicked();
    void loginClicked(const QString& tabName);
    void button1Clicked();
    void button2Clicked();
    void button3Clicked();
    void keyboardClosed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void setupFrontPanel();
    void sslDumpCertificate(const QSslCertificate& certificate);
    void postPanelKey(int key);
    // "&Recent", "&Manage devices" and "&Authentication" alike, "&Disconnect" apart.
    void setMenusEnabled(bool connectMenus, bool disconnect);
    void takeLinkDown();
    bool linkEnabled() const;
    QString serverHost() const;

    // RemoteAccessSink
    void showStatus(const QString& text) override;
    void logLine(const QString& line) override;

    QTimer reconnectTimer;
    QThread sshThread;
    QPointer<RemoteAccessQuery> remoteAccess;   // set only while a query runs
    bool reconnectWanted = false;
    SshClient* sshClient = nullptr;
    int sshTimeout = 0;   // seconds; 0 keeps the client's own
    int deviceId = 0;
    QString localAddress;
    QString deviceName;
    LogFile* logFile = nullptr;
};

// The process-wide main window: set at the end of its construction and
// cleared just before its log writer is deleted.
Velto* mainWindow();
