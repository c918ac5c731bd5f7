#include "panel/kit/statuspanel.h"

#include <QHBoxLayout>
#include <QLabel>

#include "panel/kit/controls.h"
#include "panel/kit/indicators.h"
#include "panel/kit/look.h"

namespace {

const QColor grey(127, 127, 127);
const QColor yellow(255, 255, 0);
const QColor lightYellow(255, 255, 170);

enum InterfaceClass { Ethernet = 0x100, Isdn = 0x200, Mobile = 0x300, WiFi = 0x400 };

QPravikButton* lamp(QWidget* parent, const QString& text, const QRect& geometry, const QColor& colour = grey)
{
    auto* button = new QPravikButton(parent);
    button->borderWidth = 4;
    button->cornerRadius = 0;
    setPixelSize(button, 18);
    setLampColours(button, colour);
    button->setText(text);
    button->setGeometry(geometry);
    return button;
}

QLabel* label(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* l = new QLabel(text, parent);
    setPixelSize(l, 14);
    l->setAlignment(Qt::AlignCenter);
    l->setGeometry(geometry);
    return l;
}

QPravikBars* meter(QWidget* parent, const QRect& geometry)
{
    auto* bars = new QPravikBars(parent);
    bars->setGeometry(geometry);
    return bars;
}

QPravikNetQuality* gauge(QWidget* parent, int x, int direction)
{
    auto* quality = new QPravikNetQuality(parent);
    quality->setDirection(direction);
    quality->move(x, 34);
    quality->setEnabled(false);
    return quality;
}

QColor sipColour(int state)
{
    switch (state) {
    case 1: return QColor(0, 255, 0);
    case 2: return QColor(0, 146, 64);
    case 3: return QColor(255, 0, 0);
    default: return grey;
    }
}

} // namespace

QPravikStatusPanel::QPravikStatusPanel(int compact, QWidget* parent)
    : QWidget(parent)
    , compact(compact)
{
    setFixedSize(534, compact ? 54 : 80);
    Line& one = lines[0];
    Line& two = lines[1];

    one.sip = lamp(this, QStringLiteral("SIP"), QRect(0, 0, 52, 28));
    if (!compact) {
        one.quality[0] = gauge(this, 0, 0);
        one.quality[1] = gauge(this, 18, 1);
    }

    auto* networkBox = new QWidget(this);
    networkBox->setGeometry(66, 0, 106, 28);
    auto* row = new QHBoxLayout(networkBox);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    networkLabel = new QLabel(networkBox);
    setPixelSize(networkLabel, 14);
    signalGauge = new QPravikSigQuality(networkBox);
    dataGlyph = new QPravikDataActive(networkBox);
    row->addWidget(networkLabel, 0, Qt::AlignBottom);
    row->addWidget(signalGauge, 0, Qt::AlignBottom);
    row->addWidget(dataGlyph, 0, Qt::AlignBottom);
    row->addWidget(new QLabel(networkBox), 1);

    label(this, QStringLiteral("Tx"), QRect(36, 34, 25, 20));
    one.tx = meter(this, QRect(66, 34, 278, 20));
    if (!compact) {
        label(this, QStringLiteral("Rx"), QRect(36, 60, 25, 20));
        one.rx = meter(this, QRect(66, 60, 278, 20));
    }

    soundId = lamp(this, QStringLiteral("ID"), QRect(190, 0, 34, 28), yellow);
    soundId->hide();
    connect(soundId, &QPravikButton::clicked, this, &QPravikStatusPanel::soundLabelClicked);

    one.caption = lamp(this, tr("Program"), QRect(232, 0, 112, 28));
    two.caption = lamp(this, tr("Coord"), QRect(352, 0, 84, 28));
    two.tx = meter(this, QRect(352, 34, 116, 20));
    if (!compact)
        two.rx = meter(this, QRect(352, 60, 116, 20));
    label(this, QStringLiteral("Tx"), QRect(473, 34, 25, 20));
    if (!compact)
        label(this, QStringLiteral("Rx"), QRect(473, 60, 25, 20));

    battery = new QPravikBattery(this);
    battery->move(450, 0);
    two.sip = lamp(this, QStringLiteral("SIP"), QRect(482, 0, 52, 28));
    if (!compact) {
        two.quality[0] = gauge(this, 503, 0);
        two.quality[1] = gauge(this, 521, 1);
    }

    signalGauge->setVisible(interfaceCode == Mobile || interfaceCode == WiFi);
    signalGauge->setQuality(1, 0);
    dataGlyph->setVisible(dataActive);
    battery->setLevel(batteryLevel);
    battery->hide();
}

void QPravikStatusPanel::soundLabelClicked()
{
    emit soundIdClicked();
}

void QPravikStatusPanel::setSoundIdState(int state)
{
    if (state == soundIdState)
        return;
    soundIdState = state;
    if (state == 2) {
        // Outlined: the frame and the text only.
        soundId->borderWidth = 2;
        soundId->cornerRadius = 3.0f;
        setLampColours(soundId, QBrush(lightYellow, Qt::NoBrush), lightYellow);
    } else {
        soundId->borderWidth = 4;
        soundId->cornerRadius = 0;
        setLampColours(soundId, yellow);
    }
    soundId->setVisible(state != 0);
    soundId->update();
}

void QPravikStatusPanel::setBatteryLevel(int level)
{
    if (level == batteryLevel)
        return;
    const bool wasShown = batteryLevel >= 0;
    batteryLevel = level;
    battery->setLevel(level);
    if (wasShown != (level >= 0))
        battery->setVisible(level >= 0);
}

void QPravikStatusPanel::setNetwork(int code, int generationNumber)
{
    if (code == interfaceCode && generationNumber == generation)
        return;
    interfaceCode = code;
    generation = generationNumber;
    signalGauge->setVisible(code == Mobile || code == WiFi);
    QString text;
    switch (code) {
    case Ethernet: text = tr("ETH"); break;
    case Isdn: text = tr("ISDN"); break;
    case WiFi: text = tr("WIFI"); break;
    case Mobile:
        switch (generationNumber) {
        case 1: text = tr("2G"); break;
        case 2: text = tr("3G"); break;
        case 3: text = tr("4G"); break;
        case 4: text = tr("5G"); break;
        default: text = tr("MOB"); break;
        }
        break;
    default: break;
    }
    networkLabel->setText(text);
}

void QPravikStatusPanel::setProgramMode(int flags, int operation)
{
    if (flags == modeFlags && operation == operationMode)
        return;
    modeFlags = flags;
    operationMode = operation;
    Line& one = lines[0];
    Line& two = lines[1];
    const bool standard = operation == 0;
    const bool stereoFlags = flags == 2 || flags == 4 || flags == 32 || flags == 64;
    // In standard mode flags 2 and 4 carry both lines under one wide caption.
    const bool shared = standard && (flags == 2 || flags == 4);

    one.tx->setTwoBars(!standard);
    if (one.rx)
        one.rx->setTwoBars(!standard);

    one.caption->setGeometry(shared ? QRect(172, 0, 190, 28) : QRect(232, 0, 112, 28));
    one.caption->setText(shared ? tr("Program / Coord") : !standard && stereoFlags ? tr("Prog. L/R") : tr("Program"));
    soundId->setGeometry(shared ? QRect(370, 0, 34, 28) : QRect(190, 0, 34, 28));
    const bool coordHidden = standard ? shared || flags == 1 : flags == 1 || flags == 2 || flags == 4;
    two.caption->setVisible(!coordHidden);

    const int oneWidth = shared ? 197 : 278;
    const int twoX = shared ? 271 : 352;
    const int twoWidth = shared ? 197 : 116;
    one.tx->setGeometry(66, 34, oneWidth, 20);
    two.tx->setGeometry(twoX, 34, twoWidth, 20);
    if (!compact) {
        one.rx->setGeometry(66, 60, oneWidth, 20);
        two.rx->setGeometry(twoX, 60, twoWidth, 20);
    }
    update();
}

void QPravikStatusPanel::setDataActive(bool active)
{
    if (active == dataActive)
        return;
    dataActive = active;
    dataGlyph->setVisible(active);
}

void QPravikStatusPanel::setSignalQuality(int state, int bars)
{
    // The gauge itself ignores a value it already shows.
    signalGauge->setQuality(state, bars);
}

void QPravikStatusPanel::setAudioLevels(int txL, int txR, int rxL, int rxR, int ou1, int ou2, bool immediate)
{
    lines[0].tx->setLevels(txL, ou1, immediate);
    lines[1].tx->setLevel(txR, immediate);
    if (compact)
        return;
    lines[0].rx->setLevels(rxL, ou2, immediate);
    lines[1].rx->setLevel(rxR, immediate);
}

void QPravikStatusPanel::setLinkState(int number, int state)
{
    Line& l = line(number);
    if (state == l.linkState)
        return;
    l.linkState = state;
    setLampColours(l.caption, linkStateColour(state));
}

void QPravikStatusPanel::setLinkQualityEnabled(int number, bool enabled)
{
    Line& l = line(number);
    if (compact || enabled == l.qualityEnabled)
        return;
    l.qualityEnabled = enabled;
    for (QPravikNetQuality* q : l.quality)
        q->setEnabled(enabled);
}

void QPravikStatusPanel::setLinkQuality(int number, int quality1, int quality2)
{
    if (compact)
        return;
    Line& l = line(number);
    l.quality[0]->setQuality(quality1);
    l.quality[1]->setQuality(quality2);
}

void QPravikStatusPanel::setSipState(int number, int state)
{
    Line& l = line(number);
    if (state == l.sipState)
        return;
    l.sipState = state;
    setLampColours(l.sip, sipColour(state));
}

void QPravikStatusForward::setSoundIdState(int state) { statusPanel->setSoundIdState(state); }
void QPravikStatusForward::setBatteryLevel(int level) { statusPanel->setBatteryLevel(level); }
void QPravikStatusForward::setNetwork(int code, int generation) { statusPanel->setNetwork(code, generation); }
void QPravikStatusForward::setProgramMode(int flags, int mode) { statusPanel->setProgramMode(flags, mode); }
void QPravikStatusForward::setDataActive(bool active) { statusPanel->setDataActive(active); }
void QPravikStatusForward::setSignalQuality(int state, int bars) { statusPanel->setSignalQuality(state, bars); }
void QPravikStatusForward::setAudioLevels(int txL, int txR, int rxL, int rxR, int ou1, int ou2, bool immediate)
{
    statusPanel->setAudioLevels(txL, txR, rxL, rxR, ou1, ou2, immediate);
}
void QPravikStatusForward::setLinkState(int line, int state) { statusPanel->setLinkState(line, state); }
void QPravikStatusForward::setLinkQualityEnabled(int line, bool on) { statusPanel->setLinkQualityEnabled(line, on); }
void QPravikStatusForward::setLinkQuality(int line, int q1, int q2) { statusPanel->setLinkQuality(line, q1, q2); }
void QPravikStatusForward::setSipState(int line, int state) { statusPanel->setSipState(line, state); }
