#pragma once

#include <QList>
#include <QPointer>
#include <QStackedLayout>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <map>
#include <string>

#include "audio/taudiosettings.h"
#include "link/rpcconnection.h"
#include "link/rpcmessage.h"
#include "model/tcomdevice.h"
#include "panel/pages/panelshared.h"

class IPravikStatusPanel;
class QPravikAudioPage;
class QPravikConnectionPage;
class QPravikMainPage;
class QPravikMenuItem;
class QPravikMessage;
class QPravikSettingsPage;
class TCommand;

// The replica of the unit's 800 x 480 front panel: a stack of twelve pages,
// one of them visible. Only the login page can be shown while the link is
// not connected. It starts and keeps alive the session once an operator has
// logged in, and hands every message of the unit to the models and pages.
class QPravikWindow : public QWidget
{
    Q_OBJECT
public:
    enum { PageCount = 12, InputLevelCount = 11 };

    explicit QPravikWindow(QWidget* parent = nullptr);
    ~QPravikWindow() override;

    int page() const { return currentPage; }
    QWidget* pageWidget(int index) const;
    QPravikMainPage* mainPage() const;
    QPravikConnectionPage* connectionPage() const;
    QPravikSettingsPage* settingsPage() const;
    bool isCallKeyHeld() const { return callKeyHeld; }
    int soundPlayerState() const { return playerState; }
    int pendingMessages() const { return int(deferredMessages.size()); }
    bool isSetupRunning() const { return setupTimer.isActive(); }
    bool isKeepAliveRunning() const { return keepAliveTimer.isActive(); }

    // Shows text in the window's one message box; 0 ms keeps it until clicked.
    void showMessage(const QString& text, int autoCloseMs);
    // Refreshes the status strip of page from the device model.
    void updatePage(int page);
    // The login page's last step: the post-login request, then the session.
    void sendLoginInfo();
    // Tells the unit the number dialled on a line and shows it in the banner.
    void sendRemoteNumber(int line, const QString& number, int kind);

    // Last levels of the unit's meters; 99 means no value.
    int txL = 99, txR = 99, rxL = 99, rxR = 99;
    int inputLevels[InputLevelCount];
    int ou1 = 99, ou2 = 99;

signals:
    void loginClicked(const QString& tabName);

public slots:
    void audioControllerStateChanged(TComController* controller);
    void audioControllerParamChanged(TComController* controller, TAudioSettings::CtlrParam param);
    void pageActivated(QPravik::Page page);
    void messagePopupClosed();
    void setupControllers();
    void copyMonitoringClicked(int position);
    void menuItemChanges(QPravikMenuItem* item, int menuId);
    void deviceStateChanged(TComDevice::DeviceState state);
    void connectionAdded(TComBaseConnection* connection);
    void connectionRemoved(TComBaseConnection* connection);
    void dataConnectionStateChanged(TComDataConnection* connection);
    void audioConnectionStateChanged(TComAudioConnection* connection);
    void audioCallStatusChanged(TComAudioConnection* connection);
    void audioCallStatisticChanged(TComAudioConnection* connection);
    void audioCallRelayChanged(TComAudioConnection* connection);
    void sendSyncMsgCompleted();
    void processDeferredMessages();
    void keepAliveEvent();
    void startInitialization();
    void stateChanged(RpcConnection::ConnectionState state);
    void messageReceived(const RpcMessage& message);

protected:
    void customEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void createPages();
    IPravikStatusPanel* statusPanel(int page) const;
    // The page shown, unless it is the settings page (no strip to feed).
    int shownStripPage() const;
    void refreshShownPage();
    void pushAudioLevels(int page, bool immediate);
    void refreshAudioState(int page);
    int sipStateForLine(int line) const;
    void updateLine(IPravikStatusPanel* panel, int line);
    // A line without a call: its network and coding, and the number it would dial.
    void showIdleLine(int line);
    void setLineTexts(int line, const QString& first, const QString& second);
    void setLineRemote(int line, const QString& text);
    void showCallCoding(int line, const TComAudioConnection* call);
    // The quality gauges of a call's line, and of line 2 when a line-1 call
    // carries two streams.
    void showQuality(IPravikStatusPanel* panel, int line, const TComAudioConnection* call);
    void hideQuality(IPravikStatusPanel* panel, int line, const TComAudioConnection* call);
    QString lineRemoteText(int line) const;
    bool loadDevice();
    void resetLevels();
    void resetModels();
    void dispatch(const RpcMessage& message);
    void handleInfoMessage(const TCommand& info);
    void handleEventMessage(const TCommand& event);
    void handleRemoteNumbers(const TCommand& info);
    void applyRemoteNumbers(const std::map<std::string, std::string>& values);

    int playerState = -1;
    int currentPage = QPravik::PageLogin;
    int returnPage = QPravik::PageLogin;
    bool callKeyHeld = false;
    bool settingUp = false;
    QTimer setupTimer;
    QTimer keepAliveTimer;
    QList<RpcMessage> deferredMessages;
    QStackedLayout* stack = nullptr;
    QWidget* pages[PageCount] = {};
    QPointer<QPravikMessage> messagePopup;
};
