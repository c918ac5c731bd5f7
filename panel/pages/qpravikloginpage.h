#pragma once

#include <QWidget>

class QPravikButton;
class QPravikSwitch;
class QPravikWindow;

// Page 0: the operator picks one of the unit's three access levels and logs
// in. Logging in checks the unit's type, records its firmware version and
// checks the level's password, then opens the main page and starts the session.
class QPravikLoginPage : public QWidget
{
    Q_OBJECT
public:
    explicit QPravikLoginPage(QPravikWindow* parent);

    QPravikWindow* window;
    QPravikSwitch* operatorSwitch = nullptr;
    QPravikSwitch* expertSwitch = nullptr;
    QPravikSwitch* administratorSwitch = nullptr;
    QPravikButton* loginButton = nullptr;

public slots:
    void switchClicked();
    void buttonClicked();
    void keyboardClosed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void checkLevel(int level);
    void logIn(int level);
};
