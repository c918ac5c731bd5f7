#include "panel/kit/popup.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QShowEvent>
#include <QVBoxLayout>

#include "panel/kit/controls.h"
#include "panel/kit/frontpanel.h"
#include "panel/kit/rowlabel.h"
#include "panel/pages/panelshared.h"

QPravikPopup::QPravikPopup(QWidget* parent)
    : QFrame(parent, Qt::Popup)
{
    setAttribute(Qt::WA_WindowPropagation);
    setAttribute(Qt::WA_DeleteOnClose);
}

// The window's emulation of the hardware keys keeps working under a popup.
void QPravikPopup::keyPressEvent(QKeyEvent* event)
{
    postKeyToFrontPanel(QPravikEvent::KeyPress, event->key(), 0);
}

void QPravikPopup::keyReleaseEvent(QKeyEvent* event)
{
    postKeyToFrontPanel(QPravikEvent::KeyRelease, event->key(), 0);
}

QPalette QPravikPopup::applyPopupLook()
{
    setFrameStyle(QFrame::Panel | QFrame::Plain);
    setLineWidth(4);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(50, 50, 50));
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    return pal;
}

void QPravikPopup::closeEvent(QCloseEvent* event)
{
    setVisible(false);
    // Openers act on the outcome; a second close before the deferred delete
    // (possible for a box that was never shown) must not report it again.
    if (!closeReported) {
        closeReported = true;
        emit popupClosed();
    }
    QFrame::closeEvent(event);
}

QPravikMessage::QPravikMessage(const QString& text, int buttons, QWidget* parent)
    : QPravikPopup(parent)
    , buttons(buttons)
    , message(text)
    , timer(this)
{
    connect(&timer, &QTimer::timeout, this, &QPravikMessage::timeout);

    setFixedSize(400, 180);
    const QPalette pal = applyPopupLook();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(0);

    label = elidedLabel(this); // messages may carry the unit's names and causes
    label->setText(message);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    QFont labelFont = font();
    labelFont.setPixelSize(22);
    label->setFont(labelFont);
    layout->addWidget(label, buttons != 0 ? 1 : 0);

    if (buttons == 0)
        return;

    auto* row = new QHBoxLayout();
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(20);
    QPalette buttonPalette = pal;
    buttonPalette.setColor(QPalette::Window, Qt::white);
    buttonPalette.setColor(QPalette::WindowText, Qt::black);
    QFont buttonFont = font();
    buttonFont.setPixelSize(18);
    auto makeButton = [&](const QString& caption) {
        auto* button = new QPravikButton(this);
        button->setText(caption);
        button->setPalette(buttonPalette);
        button->setFont(buttonFont);
        button->setFixedHeight(60);
        button->setMaximumWidth(180);
        row->addWidget(button);
        return button;
    };
    if (buttons & CancelButton) {
        cancelButton = makeButton(tr("Cancel"));
        connect(cancelButton, &QPravikButton::clicked, this, &QPravikMessage::button1Clicked);
    }
    if (buttons & OkButton) {
        okButton = makeButton(tr("OK"));
        connect(okButton, &QPravikButton::clicked, this, &QPravikMessage::button2Clicked);
    }
    layout->addLayout(row);
}

void QPravikMessage::popup()
{
    setVisible(true);
    // Without buttons a click anywhere is the only way to dismiss the box.
    if (buttons == 0 && QWidget::mouseGrabber() != this)
        grabMouse();
}

void QPravikMessage::startPendingTimer()
{
    timer.start(autoCloseMs);
    autoCloseMs = 0;
}

void QPravikMessage::setMessage(const QString& text)
{
    if (text == message) {
        // Same text, new time while showing: the time still has to run.
        if (isVisible() && autoCloseMs > 0)
            startPendingTimer();
        return;
    }
    message = text;
    label->setText(text);
    if (autoCloseMs > 0)
        startPendingTimer();
    else
        timer.stop();
}

void QPravikMessage::showEvent(QShowEvent* event)
{
    QPravikPopup::showEvent(event);
    if (autoCloseMs >= 1 && !event->spontaneous())
        startPendingTimer();
}

void QPravikMessage::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    close();
}

void QPravikMessage::timeout()
{
    timer.stop();
    setVisible(false);
    close();
}

void QPravikMessage::button1Clicked()
{
    setVisible(false);
    close();
}

void QPravikMessage::button2Clicked()
{
    cancelled = 0;
    setVisible(false);
    close();
}
