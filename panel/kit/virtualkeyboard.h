#pragma once

#include <QLabel>
#include <QLineEdit>

#include "panel/kit/popup.h"

class QPravikButton;

// Key labels of the on-screen keyboard: layouts 0-3 of the full keyboard
// (lower case, upper case, symbols 1/2, symbols 2/2) and 4, the dial pad.
// An empty label hides the key.
constexpr int VirtualKeyboardKeyCount = 32;
constexpr int VirtualKeyboardDialPad = 4;
extern const char* const VirtualKeyboardLayouts[5][VirtualKeyboardKeyCount];

// On-screen keyboard popup: a dial pad (fullKeyboard 0) that can become a
// full keyboard for good, or a full keyboard with four layouts. The typed
// text stays in lineEdit for the opener to read when the popup closes.
class QPravikVirtual : public QPravikPopup
{
    Q_OBJECT
public:
    class QMyLineEdit : public QLineEdit
    {
    public:
        using QLineEdit::QLineEdit;
    };

    QPravikVirtual(int fullKeyboard, QWidget* parent = nullptr);

    void updateKeys(int layout);

    int fullKeyboard;
    int layout = 0;
    QLabel titleLabel;
    QMyLineEdit lineEdit;
    QPravikButton* keys[VirtualKeyboardKeyCount] = {};

public slots:
    void buttonClicked();

protected:
    void showEvent(QShowEvent* event) override;
};
