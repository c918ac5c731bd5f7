#pragma once

#include <QFrame>
#include <QString>
#include <QTimer>

class QLabel;
class QPravikButton;

// Base of the panel's modal boxes. A popup starts out cancelled; only an OK
// action clears the flag. Every way out goes through close(), which emits
// popupClosed() once before the popup deletes itself.
class QPravikPopup : public QFrame
{
    Q_OBJECT
public:
    explicit QPravikPopup(QWidget* parent = nullptr);

    int cancelled = 1;
    void* item = nullptr; // the opener's own pointer, read back when the popup closes

signals:
    void popupClosed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The boxes' shared look: framed dark grey with white text. Returns the
    // palette it set, for the caller to derive its buttons' palettes from.
    QPalette applyPopupLook();

private:
    bool closeReported = false;
};

// Message box with a centred text, optional Cancel (bit 0) and OK (bit 1)
// buttons, and an optional auto-close time.
class QPravikMessage : public QPravikPopup
{
    Q_OBJECT
public:
    enum Buttons { CancelButton = 1, OkButton = 2 };

    QPravikMessage(const QString& text, int buttons, QWidget* parent = nullptr);

    void popup();
    void setMessage(const QString& text);

    int buttons;
    int autoCloseMs = 0; // pending; consumed when the timer starts
    QString message;
    QLabel* label = nullptr;
    QPravikButton* cancelButton = nullptr;
    QPravikButton* okButton = nullptr;
    QTimer timer;

public slots:
    void timeout();
    void button1Clicked();
    void button2Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void startPendingTimer();
};
