#include "panel/kit/audiostrip.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QSignalBlocker>

#include <algorithm>

#include "model/locale.h"
#include "panel/kit/frontpanel.h"
#include "panel/kit/look.h"
#include "panel/pages/panelshared.h"

namespace {

const QColor engagedColor(0, 141, 233);

} // namespace

// --- QPravikAudioBalance -----------------------------------------------------

QPravikAudioBalance::QPravikAudioBalance(QWidget* parent)
    : QPravikKnob(false, parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(124, 18);
}

void QPravikAudioBalance::keyPressEvent(QKeyEvent* event)
{
    // The knob swallows the select keys; the slider has no use for them.
    const int key = event->key();
    if (isChecked() && key != Qt::Key_Plus && key != Qt::Key_Minus) {
        event->accept();
        postKeyToFrontPanel(QPravikEvent::KeyPress, key, 1);
        return;
    }
    QPravikKnob::keyPressEvent(event);
}

void QPravikAudioBalance::paintEvent(QPaintEvent*)
{
    const bool engaged = hasFocus() && isChecked();
    QPainter p(this);
    p.fillRect(rect(), Qt::black);

    // A bar whose top is notched down to a point in the middle.
    const QColor wedge = engaged ? engagedColor : QColor(Qt::white);
    const QPolygon shape({QPoint(25, 0), QPoint(25, 16), QPoint(103, 16), QPoint(103, 0), QPoint(64, 14), QPoint(25, 0)});
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(wedge, 1));
    p.setBrush(wedge);
    p.drawPolygon(shape, Qt::OddEvenFill);
    p.restore();

    p.setPen(Qt::white);
    p.drawText(QRect(QPoint(0, 0), QPoint(22, 17)), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Rx"));
    p.drawText(QRect(QPoint(101, 0), QPoint(123, 17)), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Tx"));

    // The drawing has positions for 0..12 only; other values stand at its ends.
    const int x = 28 + 6 * std::clamp(value(), 0, 12);
    p.setPen(QPen(engaged ? QColor(Qt::white) : QColor(Qt::red), 3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(x, 0, x, 16);
}

// --- QPravikAudioBase --------------------------------------------------------

QPravikAudioBase::QPravikAudioBase(QWidget* parent)
    : QFrame(parent)
{
}

void QPravikAudioBase::setDeviceOptions(unsigned options)
{
    if (options == deviceOptions)
        return;
    deviceOptions = options;
    setName(currentName, true);
}

QString QPravikAudioBase::portName() const
{
    return QPravikLocalize::audioPortName(currentInput, deviceOptions);
}

QString QPravikAudioBase::title() const
{
    return currentName.isEmpty() ? portName() : portName() + QLatin1Char('\n') + currentName;
}

// --- QPravikAudioInput -------------------------------------------------------

QPravikAudioInput::QPravikAudioInput(int mode, QWidget* parent, bool withBalance, bool offersStereo)
    : QPravikAudioInput(mode, true, parent, withBalance, offersStereo)
{
}

QPravikAudioInput::QPravikAudioInput(int mode, bool panning, QWidget* parent, bool withBalance, bool offersStereo)
    : QPravikAudioBase(parent)
    , portLabel(this)
    , nameLabel(this)
    , knob(panning, this, offersStereo)
    , balanceSlider(this)
    , withBalance(withBalance)
    , offersStereo(offersStereo)
    , currentMode(mode)
{
    setFixedSize(132, 136);
    for (QPravikRowLabel* label : {&portLabel, &nameLabel}) {
        label->setElided(true); // the owner's name of the input comes from the unit
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
        setPixelSize(label, 14);
    }
    setPixelSize(&knob, 22);
    if (panning) {
        knob.setMinimum(-31, tr("Off"));
        knob.setMaximum(16);
        knob.setValue(-31);
        knob.setPanning(QPravik::PanBoth);
    } else {
        knob.setMinimum(-31);
        knob.setMaximum(16);
        knob.setValue(0);
    }
    balanceSlider.setMinimum(0);
    balanceSlider.setMaximum(12);
    balanceSlider.setValue(6);
    balanceSlider.setVisible(withBalance);
    nameLabel.setVisible(!withBalance);
    layOut();

    connect(&knob, &QPravikKnob::valueChanged, this, &QPravikAudioInput::knobGainChanged);
    connect(&knob, &QPravikKnob::panningChanged, this, &QPravikAudioInput::knobPanningChanged);
    connect(&balanceSlider, &QPravikAudioBalance::valueChanged, this, &QPravikAudioInput::audioBalanceChanged);
}

void QPravikAudioInput::layOut()
{
    if (currentMode == 0) {
        portLabel.setGeometry(0, 0, 132, 40);
        nameLabel.setGeometry(0, 25, 132, 20);
        knob.setGeometry(24, 48, 84, 84);
        balanceSlider.setGeometry(2, 20, 124, 18);
    } else {
        portLabel.setGeometry(0, 91, 132, 40);
        nameLabel.setGeometry(0, 116, 132, 20);
        knob.setGeometry(24, 0, 84, 84);
        balanceSlider.setGeometry(2, 111, 124, 18);
    }
}

void QPravikAudioInput::setMode(int newMode)
{
    if (newMode == currentMode)
        return;
    currentMode = newMode;
    layOut();
}

void QPravikAudioInput::setState(int newState)
{
    if (newState == currentState)
        return;
    currentState = newState;
    if (newState != 1) {
        const QColor text = newState == 2 ? QColor(127, 127, 127) : QColor(Qt::white);
        for (QLabel* label : {&portLabel, &nameLabel}) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, text);
            label->setPalette(palette);
        }
    }
    knob.setEnabled(newState == 0);
}

void QPravikAudioInput::setInput(QPravik::Inputs input)
{
    if (input == currentInput)
        return;
    currentInput = input;
    portLabel.setText(portName());
    emit inputChanged(input);
}

void QPravikAudioInput::setPanning(QPravik::PanCtrl panning)
{
    if (!knob.isPanningKnob() || panning == currentPanning)
        return;
    currentPanning = panning;
    knob.setPanning(panning);
    emit panningChanged(panning);
}

int QPravikAudioInput::gainOf(int knobValue) const
{
    return knob.isPanningKnob() && knobValue <= knob.minimum() ? GainOff : knobValue;
}

void QPravikAudioInput::setGain(int gain)
{
    // The knob follows silently: a programmatic change reports once, from here.
    // It draws what its range can show; the strip keeps the gain it was given,
    // so a unit's gain travels on unchanged and only a turn of the knob is clamped.
    {
        const QSignalBlocker quiet(&knob);
        knob.setValue(std::clamp(gain, knob.minimum(), knob.maximum()));
    }
    if (gain == currentGain)
        return;
    currentGain = gain;
    emit gainChanged(gain);
}

void QPravikAudioInput::setName(const QString& name, bool relabel)
{
    if (name == currentName && !relabel)
        return;
    currentName = name;
    if (relabel)
        portLabel.setText(portName());
    nameLabel.setText(name);
}

void QPravikAudioInput::setBalance(int balance)
{
    const int clamped = std::clamp(balance, balanceSlider.minimum(), balanceSlider.maximum());
    {
        const QSignalBlocker quiet(&balanceSlider);
        balanceSlider.setValue(clamped);
    }
    if (clamped == currentBalance)
        return;
    currentBalance = clamped;
    emit balanceChanged(clamped);
}

void QPravikAudioInput::knobGainChanged(int value)
{
    const int gain = gainOf(value);
    if (gain == currentGain)
        return;
    currentGain = gain;
    emit gainChanged(gain);
}

void QPravikAudioInput::knobPanningChanged(QPravik::PanCtrl panning)
{
    if (!knob.isPanningKnob() || panning == currentPanning)
        return;
    currentPanning = panning;
    emit panningChanged(panning);
}

void QPravikAudioInput::audioBalanceChanged(int value)
{
    if (value == currentBalance)
        return;
    currentBalance = value;
    emit balanceChanged(value);
}

// --- QPravikAudioButton ------------------------------------------------------

QPravikAudioButton::QPravikAudioButton(QWidget* parent)
    : QPravikAudioBase(parent)
    , sourceButton(this)
    , gainLabel(this)
{
    setFixedSize(98, 96);
    sourceButton.setGeometry(0, 0, 98, 66);
    sourceButton.borderWidth = 4;
    setLampColours(&sourceButton, Qt::white);
    setPixelSize(&sourceButton, 14);
    connect(&sourceButton, &QPravikButton::clicked, this, &QPravikAudioButton::buttonClicked);

    gainLabel.setGeometry(7, 76, 84, 20);
    gainLabel.setAlignment(Qt::AlignCenter);
    setPixelSize(&gainLabel, 14);
    gainLabel.setText(tr("Off"));
}

void QPravikAudioButton::setActive(bool on)
{
    if (on == active)
        return;
    active = on;
    if (active)
        setLampColours(&sourceButton, QBrush(Qt::white, Qt::NoBrush), Qt::white);
    else
        setLampColours(&sourceButton, Qt::white, Qt::black);
}

void QPravikAudioButton::setInput(QPravik::Inputs input)
{
    if (input == currentInput)
        return;
    currentInput = input;
    sourceButton.setText(title());
    emit inputChanged(input);
}

void QPravikAudioButton::setName(const QString& name, bool relabel)
{
    if (name == currentName && !relabel)
        return;
    currentName = name;
    sourceButton.setText(title());
}

void QPravikAudioButton::setGain(int gain)
{
    if (gain == currentGain)
        return;
    currentGain = gain;
    gainLabel.setText(gain == GainOff ? tr("Off") : QStringLiteral("%1dB").arg(gain));
    emit gainChanged(gain);
}

void QPravikAudioButton::setPanning(QPravik::PanCtrl panning)
{
    if (panning == currentPanning)
        return;
    currentPanning = panning;
    gainLabel.setPanning(panning);
    emit panningChanged(panning);
}

void QPravikAudioButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        emit rightButtonClicked();
        return;
    }
    QPravikAudioBase::mousePressEvent(event);
}
