#include "panel/pages/qpravikheadphonepopups.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "panel/kit/audiostrip.h"
#include "panel/kit/controls.h"
#include "panel/kit/look.h"

namespace {

constexpr int kSelectKey = 0x160;

struct PopupButtons
{
    QPravikButton* cancel;
    QPravikButton* ok;
};

// The layout both popups share: their content above a Cancel and an OK button.
PopupButtons buildPopup(QPravikPopup* popup, QWidget* content, const QSize& size, Qt::Alignment alignment)
{
    popup->setFixedSize(size);
    setPixelSize(popup, 22);
    auto* layout = new QVBoxLayout(popup);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(0);
    layout->addWidget(content, 1, alignment);
    auto* row = new QHBoxLayout();
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(20);
    const auto button = [popup, row](const QString& caption) {
        auto* b = new QPravikButton(popup);
        b->setText(caption);
        b->setFixedHeight(60);
        setPixelSize(b, 18);
        setLampColours(b, Qt::white, Qt::black);
        row->addWidget(b);
        return b;
    };
    PopupButtons buttons{button(QPravikPopup::tr("Cancel")), button(QPravikPopup::tr("OK"))};
    layout->addLayout(row);
    return buttons;
}

} // namespace

// --- QPravikHeadphoneSelect ------------------------------------------------------

QPravikHeadphoneSelect::QPravikHeadphoneSelect(QWidget* parent)
    : QPravikPopup(parent)
{
    applyPopupLook();
    display = new QPravikAudio(this);
    display->setAlignment(Qt::AlignCenter);
    display->setTextFormat(Qt::PlainText);
    display->setText(tr("Use encoder"));
    display->setMode(-1);
    display->setPanning(QPravik::PanBoth);
    QPalette palette = display->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 141, 233));
    display->setPalette(palette);
    const PopupButtons buttons = buildPopup(this, display, QSize(300, 180), {});
    connect(buttons.cancel, &QPravikButton::clicked, this, &QPravikHeadphoneSelect::cancelClicked);
    connect(buttons.ok, &QPravikButton::clicked, this, &QPravikHeadphoneSelect::okClicked);
}

void QPravikHeadphoneSelect::addItem(int input, const QString& title)
{
    items.append(qMakePair(input, title));
}

void QPravikHeadphoneSelect::removeItem(int input)
{
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].first == input) {
            items.removeAt(i);
            return;
        }
    }
}

void QPravikHeadphoneSelect::setCurrent(int input)
{
    display->setText(tr("Use encoder"));
    display->setPanning(QPravik::PanBoth);
    display->setMode(-1);
    current = -1;
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].first == input) {
            current = i;
            display->setText(items[i].second);
            display->setMode(input);
            return;
        }
    }
}

void QPravikHeadphoneSelect::turn(int by)
{
    if (items.isEmpty())
        return;
    current += by;
    if (current < 0)
        current = int(items.size()) - 1;
    else if (current >= items.size())
        current = 0;
    display->setText(items[current].second);
    display->setMode(items[current].first);
}

void QPravikHeadphoneSelect::stepPanning()
{
    // 3 -> 1 -> 2 -> 0 -> 3, anything else back to both.
    switch (display->panning()) {
    case QPravik::PanBoth: display->setPanning(QPravik::PanLeft); break;
    case QPravik::PanLeft: display->setPanning(QPravik::PanRight); break;
    case QPravik::PanRight: display->setPanning(QPravik::PanNone); break;
    default: display->setPanning(QPravik::PanBoth); break;
    }
}

void QPravikHeadphoneSelect::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Plus || key == Qt::Key_Minus)
        turn(key == Qt::Key_Plus ? 1 : -1);
    else if (key == kSelectKey || key == Qt::Key_Return || key == Qt::Key_Enter)
        stepPanning();
    else
        QPravikPopup::keyPressEvent(event);
}

void QPravikHeadphoneSelect::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::RightButton)
        stepPanning();
}

void QPravikHeadphoneSelect::wheelEvent(QWheelEvent* event)
{
    event->accept();
    // A touchpad's begin and end carry no delta: no turn.
    QPoint delta = event->angleDelta();
    if (delta.isNull())
        delta = event->pixelDelta();
    const int d = delta.y() != 0 ? delta.y() : delta.x();
    if (d != 0)
        turn(d < 1 ? -1 : 1);
}

void QPravikHeadphoneSelect::okClicked()
{
    chosenInput = display->mode();
    chosenPanning = display->panning();
    cancelled = 0;
    close();
}

void QPravikHeadphoneSelect::cancelClicked()
{
    close();
}

// --- QPravikHeadphoneAudio -------------------------------------------------------

QPravikHeadphoneAudio::QPravikHeadphoneAudio(QWidget* parent)
    : QPravikPopup(parent)
{
    applyPopupLook();
    strip = new QPravikAudioInput(1, this);
    strip->setInput(QPravik::InputMic1);
    strip->setPanning(QPravik::PanBoth);
    const PopupButtons buttons = buildPopup(this, strip, QSize(300, 240), Qt::AlignHCenter);
    connect(buttons.cancel, &QPravikButton::clicked, this, &QPravikHeadphoneAudio::cancelClicked);
    connect(buttons.ok, &QPravikButton::clicked, this, &QPravikHeadphoneAudio::okClicked);
}

void QPravikHeadphoneAudio::okClicked()
{
    accepted = true;
    cancelled = 0;
    close();
}

void QPravikHeadphoneAudio::cancelClicked()
{
    close();
}
