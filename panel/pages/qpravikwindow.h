#pragma once

#include <QPointer>
#include <QStackedLayout>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "link/rpcconnection.h"
#include "panel/pages/panelshared.h"

class QPravikMessage;

// The replica of the unit's 800 x 480 front panel: a stack of twelve pages,
// one of them visible. Only the login page can be shown while the link is
// not connected. Its construction is the first use of the session object.
class QPravikWindow : public QWidget
{
    Q_OBJECT
public:
    enum { PageCount = 12 };

    explicit QPravikWindow(QWidget* parent = nullptr);
    ~QPravikWindow() override;

    int page() const { return currentPage; }
    QWidget* pageWidget(int index) const;
    bool isCallKeyHeld() const { return callKeyHeld; }

    // Shows text in the window's one message box; 0 ms keeps it until clicked.
    void showMessage(const QString& text, int autoCloseMs);

signals:
    void loginClicked(const QString& tabName);

public slots:
    void pageActivated(QPravik::Page page);
    void messagePopupClosed();
    void stateChanged(RpcConnection::ConnectionState state);

protected:
    void customEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void createPages();

    int currentPage = QPravik::PageLogin;
    int returnPage = QPravik::PageLogin;
    bool callKeyHeld = false;
    QTimer setupTimer;
    QTimer keepAliveTimer;
    QStackedLayout* stack = nullptr;
    QWidget* pages[PageCount] = {};
    QPointer<QPravikMessage> messagePopup;
};
