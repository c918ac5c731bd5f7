// Editing items through popups, and the popups the menu widget offers.
#include <QCoreApplication>
#include <QLabel>

#include "panel/kit/menuselect.h"
#include "panel/kit/menuwidget.h"
#include "panel/kit/popup.h"
#include "panel/kit/virtualkeyboard.h"

namespace {

// Centres the popup horizontally over one widget and vertically over another.
void centre(QWidget* popup, const QWidget* horizontal, const QWidget* vertical)
{
    const int x = horizontal->mapToGlobal(QPoint(0, 0)).x() + (horizontal->width() - popup->width()) / 2;
    const int y = vertical->mapToGlobal(QPoint(0, 0)).y() + (vertical->height() - popup->height()) / 2;
    popup->move(x, y);
}

template <class Popup>
Popup* makeModal(Popup* popup)
{
    popup->setWindowModality(Qt::ApplicationModal);
    return popup;
}

// So that the popup is on screen before the caller goes on.
void paintNow()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
}

void prefillKeyboard(QPravikVirtual* keyboard, QPravikMenuItem* item)
{
    attachMenuItem(keyboard, item);
    keyboard->titleLabel.setText(item->titleText());
    keyboard->lineEdit.setText(item->valueText());
}

// One row per choice, the item's current choice checked.
void addChoiceRows(QPravikMenuSelect* select, const QPravikMenuItem* item)
{
    const int current = item->currentValue();
    const bool hasCurrent = item->currentIndex >= 0 && item->currentIndex < item->choiceCount();
    QPravikMenuSelectable* currentRow = nullptr;
    for (const QPravikMenuItem::Choice& choice : item->choices) {
        auto* row = new QPravikMenuSelectable(choice.value);
        row->label->setText(choice.text);
        select->appendSelectable(row);
        if (hasCurrent && !currentRow && choice.value == current)
            currentRow = row;
    }
    select->setCurrent(currentRow);
}

template <class Popup>
Popup* acceptedPopup(QObject* sender)
{
    auto* popup = qobject_cast<Popup*>(sender);
    return popup && popup->cancelled == 0 && attachedMenuItem(popup) ? popup : nullptr;
}

} // namespace

void attachMenuItem(QPravikPopup* popup, QPravikMenuItem* item)
{
    popup->item = item;
    if (!item)
        return;
    // The item's page may be rebuilt while the popup is open. The close is
    // queued: the item is being destroyed, possibly with its page and the
    // popup's opener.
    QObject::connect(item, &QObject::destroyed, popup, [popup] {
        popup->item = nullptr;
        QMetaObject::invokeMethod(popup, [popup] { popup->close(); }, Qt::QueuedConnection);
    });
}

QPravikMenuItem* attachedMenuItem(const QPravikPopup* popup)
{
    return static_cast<QPravikMenuItem*>(popup->item);
}

// --- editing an item ---------------------------------------------------------

void QPravikMenuItems::itemClicked(QWidget* child)
{
    if (!menuWidget || !child)
        return;
    auto* item = menukit::exactClass<QPravikMenuItem>(child->parentWidget());
    if (!item || item->locked)
        return;
    switch (item->type) {
    case QPravikMenuItem::Text:
    case QPravikMenuItem::Password:
        openItemKeyboard(item, 1);
        break;
    case QPravikMenuItem::Number:
    case QPravikMenuItem::Pin:
        openItemKeyboard(item, 0);
        break;
    case QPravikMenuItem::ChoiceList:
        openItemSelection(item);
        break;
    default:
        menuWidget->itemActivated(item);
        break;
    }
}

void QPravikMenuItems::openItemKeyboard(QPravikMenuItem* item, int fullKeyboard)
{
    auto* keyboard = makeModal(new QPravikVirtual(fullKeyboard, this));
    centre(keyboard, menuWidget, menuWidget);
    if (item->type == QPravikMenuItem::Password || item->type == QPravikMenuItem::Pin)
        keyboard->lineEdit.setEchoMode(QLineEdit::Password);
    prefillKeyboard(keyboard, item);
    menuWidget->prepareKeyboard(item, keyboard);
    connect(keyboard, &QPravikPopup::popupClosed, this, &QPravikMenuItems::editionClosed);
    keyboard->show();
}

void QPravikMenuItems::openItemSelection(QPravikMenuItem* item)
{
    if (item->choices.isEmpty())
        return;
    auto* select = makeModal(new QPravikMenuSelect(this));
    centre(select, this, menuWidget);
    attachMenuItem(select, item);
    addChoiceRows(select, item);
    menuWidget->prepareSelection(item, select);
    connect(select, &QPravikPopup::popupClosed, this, &QPravikMenuItems::selectionClosed);
    select->show();
}

void QPravikMenuItems::editionClosed()
{
    auto* keyboard = acceptedPopup<QPravikVirtual>(sender());
    if (!keyboard)
        return;
    QPravikMenuItem* item = attachedMenuItem(keyboard);
    const QString text = keyboard->lineEdit.text();
    if (text == item->valueText())
        return;
    item->setValueText(text, false);
    notifyItemChanged(item);
}

void QPravikMenuItems::selectionClosed()
{
    auto* select = acceptedPopup<QPravikMenuSelect>(sender());
    if (!select || !select->currentRow)
        return;
    QPravikMenuItem* item = attachedMenuItem(select);
    const QString text = select->currentRow->label->text();
    if (text == item->valueText())
        return;
    item->setCurrentText(text, true, false);
    notifyItemChanged(item);
}

// --- popups offered by the menu widget ---------------------------------------

QPravikVirtual* QPravikMenuWidget::openKeyboard(int fullKeyboard, QPravikMenuItem* item, bool show)
{
    auto* keyboard = makeModal(new QPravikVirtual(fullKeyboard, this));
    centre(keyboard, this, this);
    if (item)
        prefillKeyboard(keyboard, item);
    connect(keyboard, &QPravikPopup::popupClosed, this, &QPravikMenuWidget::keyboardPopupClosed);
    if (show) {
        if (item)
            prepareKeyboard(item, keyboard);
        keyboard->show();
        paintNow();
    }
    return keyboard;
}

QPravikMenuSelect* QPravikMenuWidget::openSelection(const QString& message, QPravikMenuItem* item, bool show)
{
    auto* select = makeModal(new QPravikMenuSelect(this));
    centre(select, shownPageOrSelf(), this);
    select->setMessage(message);
    attachMenuItem(select, item);
    if (item && show) {
        addChoiceRows(select, item);
        prepareSelection(item, select);
    }
    connect(select, &QPravikPopup::popupClosed, this, &QPravikMenuWidget::selectionPopupClosed);
    if (show) {
        select->show();
        paintNow();
    }
    return select;
}

void QPravikMenuWidget::showMessage(const QString& text, int timeoutMs)
{
    if (messagePopup) {
        messagePopup->autoCloseMs = timeoutMs;
        messagePopup->setMessage(text);
    } else {
        auto* box = makeModal(new QPravikMessage(text, 0, this));
        messagePopup = box;
        centre(box, shownPageOrSelf(), this);
        connect(box, &QPravikPopup::popupClosed, this, &QPravikMenuWidget::messagePopupClosed);
        box->autoCloseMs = timeoutMs;
        box->popup();
    }
    paintNow();
}

QPravikMessage* QPravikMenuWidget::showAction(const QString& text, QPravikMenuItem* item)
{
    auto* box = makeModal(
        new QPravikMessage(text, QPravikMessage::CancelButton | QPravikMessage::OkButton, this));
    centre(box, shownPageOrSelf(), this);
    connect(box, &QPravikPopup::popupClosed, this, &QPravikMenuWidget::actionPopupClosed);
    attachMenuItem(box, item);
    box->popup();
    paintNow();
    return box;
}

void QPravikMenuWidget::closePopup()
{
    QPravikMessage* box = messagePopup;
    if (!box)
        return;
    messagePopup = nullptr;
    box->hide();
    box->close();
}

void QPravikMenuWidget::messagePopupClosed()
{
    if (sender() == messagePopup)
        messagePopup = nullptr;
}

void QPravikMenuWidget::actionPopupClosed()
{
    if (auto* box = acceptedPopup<QPravikMessage>(sender()))
        itemChanged(attachedMenuItem(box));
}

void QPravikMenuWidget::keyboardPopupClosed()
{
    if (auto* keyboard = acceptedPopup<QPravikVirtual>(sender()))
        keyboardAccepted(attachedMenuItem(keyboard), keyboard);
}

void QPravikMenuWidget::selectionPopupClosed()
{
    if (auto* select = acceptedPopup<QPravikMenuSelect>(sender()))
        selectionAccepted(attachedMenuItem(select), select);
}
