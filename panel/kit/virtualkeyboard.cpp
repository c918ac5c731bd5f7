#include "panel/kit/virtualkeyboard.h"

#include <QShowEvent>
#include <QVariant>

#include "panel/kit/controls.h"

const char* const VirtualKeyboardLayouts[5][VirtualKeyboardKeyCount] = {
    // lower case
    {"q", "w", "e", "r", "t", "y", "u", "i", "o", "p",
     "a", "s", "d", "f", "g", "h", "j", "k", "l", "z",
     "x", "c", "v", "b", "n", "m",
     "Caps", "Backspace", "Cancel", "12!?", " ", "OK"},
    // upper case
    {"Q", "W", "E", "R", "T", "Y", "U", "I", "O", "P",
     "A", "S", "D", "F", "G", "H", "J", "K", "L", "Z",
     "X", "C", "V", "B", "N", "M",
     "Caps", "Backspace", "Cancel", "12!?", " ", "OK"},
    // symbols 1/2
    {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0",
     "@", "&", "%", "=", "+", "-", "*", "/", "(", ")",
     ",", ":", ";", "_", "\\", ".",
     "1 / 2", "Backspace", "Cancel", "Abc", " ", "OK"},
    // symbols 2/2
    {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0",
     "#", "$", "~", "[", "]", "{", "}", "<", ">", "|",
     ",", "!", "?", "'", "\"", ".",
     "2 / 2", "Backspace", "Cancel", "Abc", " ", "OK"},
    // dial pad
    {"", "", "", "", "@", "1", "2", "3", ".", "+",
     "", "", "", "", ":", "4", "5", "6", "*", "#",
     "", "", ",", "7", "8", "9",
     "", "Backspace", "Cancel", "Abc", "0", "OK"},
};

namespace {

enum FunctionKey { KeyCaps = 26, KeyBackspace = 27, KeyCancel = 28, KeyMode = 29, KeySpace = 30, KeyOk = 31 };

bool typesText(int key)
{
    return (key >= 0 && key <= 25) || key == KeySpace;
}

} // namespace

QPravikVirtual::QPravikVirtual(int fullKeyboard, QWidget* parent)
    : QPravikPopup(parent)
    , fullKeyboard(fullKeyboard)
    , titleLabel(this)
    , lineEdit(this)
{
    setFixedSize(800, 390);
    const QPalette pal = applyPopupLook();

    QFont titleFont = font();
    titleFont.setPixelSize(18);
    QFont keyFont = font();
    keyFont.setPixelSize(22);

    titleLabel.setGeometry(8, 15, 304, 40);
    titleLabel.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    titleLabel.setFont(titleFont);

    lineEdit.setGeometry(327, 15, 466, 40);
    lineEdit.setFrame(false);
    lineEdit.setFont(keyFont);

    QPalette typingPalette = pal;
    typingPalette.setBrush(QPalette::Window, QBrush(Qt::white, Qt::NoBrush));
    typingPalette.setColor(QPalette::WindowText, Qt::white);
    QPalette functionPalette = pal;
    functionPalette.setBrush(QPalette::Window, QBrush(QColor(Qt::gray), Qt::SolidPattern));
    functionPalette.setColor(QPalette::WindowText, Qt::white);

    for (int i = 0; i < VirtualKeyboardKeyCount; ++i) {
        auto* key = new QPravikButton(this);
        key->borderWidth = 2;
        key->cornerRadius = 10.0f;
        key->setFont(keyFont);
        key->setPalette(typesText(i) ? typingPalette : functionPalette);
        key->setProperty("vkb_button", i);
        if (i < 10)
            key->setGeometry(8 + 80 * i, 70, 64, 64);
        else if (i < 20)
            key->setGeometry(8 + 80 * (i - 10), 150, 64, 64);
        else if (i < 26)
            key->setGeometry(168 + 80 * (i - 20), 230, 64, 64);
        connect(key, &QPravikButton::clicked, this, &QPravikVirtual::buttonClicked);
        keys[i] = key;
    }
    keys[KeyCaps]->setGeometry(8, 230, 144, 64);
    keys[KeyBackspace]->setGeometry(648, 230, 144, 64);
    keys[KeyCancel]->setGeometry(8, 310, 144, 64);
    keys[KeyMode]->setGeometry(168, 310, 64, 64);
    if (fullKeyboard)
        keys[KeySpace]->setGeometry(248, 310, 384, 64);
    else
        keys[KeySpace]->setGeometry(488, 310, 64, 64);
    keys[KeyOk]->setGeometry(648, 310, 144, 64);

    updateKeys(0);
}

void QPravikVirtual::updateKeys(int newLayout)
{
    int table = 0;
    if (fullKeyboard == 0)
        table = VirtualKeyboardDialPad;
    else if (newLayout >= 1 && newLayout <= 3)
        table = newLayout;
    for (int i = 0; i < VirtualKeyboardKeyCount; ++i) {
        const QString label = QString::fromLatin1(VirtualKeyboardLayouts[table][i]);
        keys[i]->setText(label);
        keys[i]->setVisible(!label.isEmpty());
    }
    layout = newLayout;
}

void QPravikVirtual::buttonClicked()
{
    const QObject* source = sender();
    if (!source)
        return;
    const QVariant property = source->property("vkb_button");
    if (!property.isValid())
        return;
    bool ok = false;
    const int key = property.toInt(&ok);
    if (!ok || key < 0 || key >= VirtualKeyboardKeyCount)
        return;

    if (typesText(key)) {
        lineEdit.insert(keys[key]->text());
        return;
    }
    switch (key) {
    case KeyCaps: {
        static const int next[4] = {1, 0, 3, 2};
        updateKeys(layout >= 0 && layout <= 3 ? next[layout] : 1);
        break;
    }
    case KeyBackspace:
        lineEdit.backspace();
        break;
    case KeyCancel:
        close();
        break;
    case KeyMode:
        if (fullKeyboard) {
            updateKeys(layout == 2 || layout == 3 ? 0 : 2);
        } else {
            fullKeyboard = 1;
            const QRect space = keys[KeySpace]->geometry();
            keys[KeySpace]->setGeometry(space.x() - 240, space.y(), 384, space.height());
            updateKeys(0);
        }
        break;
    case KeyOk:
        cancelled = 0;
        close();
        break;
    default:
        break;
    }
}

void QPravikVirtual::showEvent(QShowEvent* event)
{
    QPravikPopup::showEvent(event);
    if (event->spontaneous())
        return;
    lineEdit.setFocus(Qt::MouseFocusReason);
    lineEdit.end(false);
}
