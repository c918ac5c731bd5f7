#include "panel/pages/qpravikaudiopage.h"

#include <QIcon>
#include <QLabel>

#include <algorithm>
#include <initializer_list>

#include "model/locale.h"
#include "model/unitfirmware.h"
#include "panel/kit/controls.h"
#include "panel/kit/indicators.h"
#include "panel/kit/look.h"

namespace {

// Bit 0x20 of the options word's most significant byte.
constexpr TMatrixSettings::MatrixOpts LinkBit = 0x20000000;

// The stepped master scale: the five lowest knob values stand for the dB
// value of their label.
const struct
{
    int value;
    const char* label;
} masterSteps[] = {{-13, "-20"}, {-14, "-30"}, {-15, "-40"}, {-16, "-50"}, {-17, "-120"}};

const QColor masterColour(255, 153, 204);

TAudioSettings* audio()
{
    return frontPanelAudioSettings();
}

TMatrixSettings* matrix()
{
    return frontPanelMatrixSettings();
}

int gainOfKnob(const QPravikKnob* knob, int value)
{
    if (knob->stepLabelMode == 1) {
        const int step = knob->indexOfValue(value);
        if (step >= 0)
            return knob->textAt(step).toInt();
    }
    return value;
}

} // namespace

QPravikAudioPage::QPravikAudioPage(QWidget* parent)
    : QPravikAudioWidget(parent)
{
    setupWidgets();

    connect(frontPanelDevice(), &TComDevice::deviceStateChanged, this, &QPravikAudioPage::deviceStateChanged);
    TAudioSettings* settings = audio();
    connect(settings, &TComController::controllerStateChanged, this, &QPravikAudioPage::audioControllerStateChanged);
    connect(settings, &TAudioSettings::controllerParamChanged, this, &QPravikAudioPage::audioControllerParamChanged);
    TMatrixSettings* routing = matrix();
    connect(routing, &TComController::controllerStateChanged, this, &QPravikAudioPage::matrixControllerStateChanged);
    connect(routing, &TMatrixSettings::matrixOptionsChanged, this, &QPravikAudioPage::matrixOptionsChanged);
    connect(routing, &TMatrixSettings::inputGainChanged, this, &QPravikAudioPage::matrixInputGainChanged);
    connect(routing, &TMatrixSettings::outputGainChanged, this, &QPravikAudioPage::matrixOutputGainChanged);
}

QPravikKnob* QPravikAudioPage::makeKnob(const QRect& geometry, int minimum, int maximum)
{
    auto* knob = new QPravikKnob(false, this);
    knob->setGeometry(geometry);
    knob->setMinimum(minimum, QString());
    knob->setMaximum(maximum, QString());
    knob->setValue(0);
    setPixelSize(knob, 22);
    return knob;
}

QPravikPair* QPravikAudioPage::makePair(int x, int y)
{
    auto* pair = new QPravikPair(this);
    pair->setGeometry(x, y, 50, 40);
    pair->setCheckable(true);
    connect(pair, &QAbstractButton::clicked, this, &QPravikAudioPage::pairClicked);
    return pair;
}

void QPravikAudioPage::setupWidgets()
{
    const unsigned options = deviceOptions();
    const auto portName = [options](int input) { return QPravikLocalize::audioPortName(input, options); };
    const Qt::Alignment centred = Qt::AlignCenter;
    const auto meter = [this](int input, int x, int y) {
        auto* bars = new QPravikBars(this);
        bars->setGeometry(x, y, 10, 92);
        bars->setVertical(true);
        bars->setLevel(30, true);
        meters[input] = bars;
    };
    const auto knob = [this](const QRect& geometry, int minimum, int maximum, void (QPravikAudioPage::*slot)(int)) {
        QPravikKnob* k = makeKnob(geometry, minimum, maximum);
        connect(k, &QPravikKnob::valueChanged, this, slot);
        return k;
    };

    // Created in this order: a widget moved onto another's place on reduced
    // hardware lies above it.
    makeLabel(QRect(26, 100, 400, 30), tr("Analog Input Gains"), 20, Qt::AlignLeft | Qt::AlignVCenter);
    input1Label = makeLabel(QRect(26, 139, 84, 20), portName(0), 14, centred);
    input1Knob = knob(QRect(26, 171, 84, 84), 0, 50, &QPravikAudioPage::knob1ValueChanged);
    meter(0, 14, 167);
    input2Label = makeLabel(QRect(138, 139, 84, 20), portName(1), 14, centred);
    input2Knob = knob(QRect(138, 171, 84, 84), 0, 50, &QPravikAudioPage::knob2ValueChanged);
    meter(1, 126, 167);
    input12Pair = makePair(100, 125);
    input3Label = makeLabel(QRect(250, 139, 84, 20), portName(2), 14, centred);
    input3GainKnob = knob(QRect(250, 171, 84, 84), 0, 50, &QPravikAudioPage::knob3ValueChanged);
    input3LevelKnob = knob(QRect(250, 171, 84, 84), -30, 16, &QPravikAudioPage::knob3ValueChanged);
    input3LevelKnob->hide();
    meter(2, 238, 167);
    input4Label = makeLabel(QRect(362, 139, 84, 20), portName(3), 14, centred);
    input4GainKnob = knob(QRect(362, 171, 84, 84), 0, 50, &QPravikAudioPage::knob4ValueChanged);
    input4LevelKnob = knob(QRect(362, 171, 84, 84), -30, 16, &QPravikAudioPage::knob4ValueChanged);
    input4LevelKnob->hide();
    meter(3, 350, 167);
    input34Pair = makePair(324, 125);
    usbLabel = makeLabel(QRect(474, 139, 84, 20), portName(8), 14, centred);
    usbKnob = knob(QRect(474, 171, 84, 84), -30, 16, &QPravikAudioPage::knobValueChanged);
    meter(8, 462, 167);
    aux1Label = makeLabel(QRect(586, 139, 84, 20), portName(4), 14, centred);
    aux1Knob = knob(QRect(586, 171, 84, 84), -30, 16, &QPravikAudioPage::knobValueChanged);
    meter(4, 574, 167);
    aux2Label = makeLabel(QRect(698, 139, 84, 20), portName(5), 14, centred);
    aux2Knob = knob(QRect(698, 171, 84, 84), -30, 16, &QPravikAudioPage::knobValueChanged);
    meter(5, 686, 167);
    auxPairButton = makePair(660, 125);

    makeLabel(QRect(26, 276, 400, 30), tr("Digital Input Gains"), 20, Qt::AlignLeft | Qt::AlignVCenter);
    aesTitle = makeLabel(QRect(26, 315, 190, 20), tr("AES"), 14, centred);
    aes1Knob = knob(QRect(26, 347, 84, 84), -30, 16, &QPravikAudioPage::knobValueChanged);
    aes1Label = makeLabel(QRect(26, 432, 84, 20), QStringLiteral("1"), 14, centred);
    meter(6, 14, 343);
    aes2Knob = knob(QRect(138, 347, 84, 84), -30, 16, &QPravikAudioPage::knobValueChanged);
    aes2Label = makeLabel(QRect(138, 432, 84, 20), QStringLiteral("2"), 14, centred);
    meter(7, 126, 343);
    aesPairButton = makePair(100, 430);
    ravTitle = makeLabel(QRect(250, 315, 190, 20), tr("RAVENNA"), 14, centred);
    rav1Knob = knob(QRect(250, 347, 84, 84), -30, 16, &QPravikAudioPage::knobValueChanged);
    rav1Label = makeLabel(QRect(250, 432, 84, 20), QStringLiteral("1"), 14, centred);
    meter(9, 238, 343);
    rav2Knob = knob(QRect(362, 347, 84, 84), -30, 16, &QPravikAudioPage::knobValueChanged);
    rav2Label = makeLabel(QRect(362, 432, 84, 20), QStringLiteral("2"), 14, centred);
    meter(10, 350, 343);
    ravPairButton = makePair(324, 430);

    setTextColour(makeLabel(QRect(474, 276, 196, 30), tr("Master Gain"), 20, centred), masterColour);
    setTextColour(makeLabel(QRect(474, 315, 84, 20), portName(20), 14, centred), masterColour);
    programMasterKnob = knob(QRect(474, 347, 84, 84), 0, 0, &QPravikAudioPage::knobValueChanged);
    setTextColour(programMasterKnob, masterColour);
    setTextColour(makeLabel(QRect(586, 315, 84, 20), portName(21), 14, centred), masterColour);
    coordMasterKnob = knob(QRect(586, 347, 84, 84), 0, 0, &QPravikAudioPage::knobValueChanged);
    setTextColour(coordMasterKnob, masterColour);
    setMasterScale(extendedMode());

    settingsButton = makePageButton(QRect(692, 407, 98, 66), QString(), QPravik::PageAudioInput);
    settingsButton->setIcon(iconWhenDrawn(QStringLiteral(":/images/input-settings.png")));

    const MatrixKnob knobs[] = {{usbKnob, QPravik::InputUsb},     {aux1Knob, QPravik::InputAux1},
                                {aux2Knob, QPravik::InputAux2},   {aes1Knob, QPravik::InputAes1},
                                {aes2Knob, QPravik::InputAes2},   {rav1Knob, QPravik::InputNetwork1},
                                {rav2Knob, QPravik::InputNetwork2}};
    std::copy(std::begin(knobs), std::end(knobs), matrixKnobs);
}

// ---- what the unit offers ---------------------------------------------------

bool QPravikAudioPage::auxInUse() const
{
    const TAudioSettings* a = audio();
    return a->auxiliaryBoard() && (!(deviceOptions() & AuxOrAes) || a->inputSource() == TAudioSettings::Analog);
}

bool QPravikAudioPage::aesInUse() const
{
    const TAudioSettings* a = audio();
    return a->auxiliaryBoard() && (!(deviceOptions() & AuxOrAes) || a->inputSource() != TAudioSettings::Analog);
}

// The Ravenna module is an option of its own: its pair and second knob follow
// the option bit, whatever the auxiliary board.
bool QPravikAudioPage::ravennaInUse() const
{
    return deviceOptions() & RavennaModule;
}

// The second knob of a stereo pair follows the first while the pair is
// linked in extended mode; a knob of an input the unit does not use stays off.
void QPravikAudioPage::enableSourceKnobs()
{
    const TAudioSettings* a = audio();
    const bool ext = extendedMode();
    aux2Knob->setEnabled(auxInUse() && !(ext && a->auxPair()));
    aes1Knob->setEnabled(aesInUse());
    aes2Knob->setEnabled(aesInUse() && !(ext && a->aesPair()));
    rav2Knob->setEnabled(ravennaInUse() && !(ext && a->ravInPair()));
}

// Stereo pairs exist in extended mode only, and only for inputs the hardware has.
void QPravikAudioPage::showPairButtons()
{
    const TAudioSettings* a = audio();
    const std::uint32_t options = deviceOptions();
    const bool ext = extendedMode();
    const bool full = !(options & ReducedHardware);
    const bool alternatives = full && (options & AuxOrAes) && a->auxiliaryBoard();
    input12Pair->setVisible(ext);
    input34Pair->setVisible(ext && full);
    auxPairButton->setVisible(ext && alternatives && a->inputSource() == TAudioSettings::Analog);
    aesPairButton->setVisible(ext && alternatives && a->inputSource() != TAudioSettings::Analog);
    ravPairButton->setVisible(ext && ravennaInUse());
}

void QPravikAudioPage::showInputKnobs()
{
    const TAudioSettings* a = audio();
    showValue(input1Knob, a->input1Gain());
    showValue(input2Knob, a->input2Gain());
    showValue(input3GainKnob, a->input3Gain());
    showValue(input3LevelKnob, a->input3Level());
    showValue(input4GainKnob, a->input4Gain());
    showValue(input4LevelKnob, a->input4Level());
}

void QPravikAudioPage::enableMasterKnobs()
{
    const TMatrixSettings* m = matrix();
    programMasterKnob->setEnabled(m->takesOutputGain(QPravik::OutputProgramLeft));
    coordMasterKnob->setEnabled(m->takesOutputGain(QPravik::OutputCoord));
}

void QPravikAudioPage::enableInputKnobs()
{
    const TAudioSettings* a = audio();
    const bool ext = extendedMode();
    input1Knob->setEnabled(true);
    input2Knob->setEnabled(!(ext && a->input2Pair()));
    input3GainKnob->setEnabled(true);
    input3LevelKnob->setEnabled(true);
    input4GainKnob->setEnabled(!(ext && a->input4Pair()));
    input4LevelKnob->setEnabled(!(ext && a->input4Pair()));
}

// ---- layouts ----------------------------------------------------------------

void QPravikAudioPage::placeMovingWidgets(bool reduced)
{
    // Reduced hardware: AUX 1 takes the place of input 4, the Ravenna block that of the AES block.
    const int auxX = reduced ? 362 : 586;
    const int ravX = reduced ? 26 : 250;
    meters[QPravik::InputAux1]->move(auxX - 12, 167);
    aux1Knob->move(auxX, 171);
    aux1Label->move(auxX, 139);
    meters[QPravik::InputNetwork1]->move(ravX - 12, 343);
    meters[QPravik::InputNetwork2]->move(ravX + 100, 343);
    ravTitle->move(ravX, 315);
    rav1Knob->move(ravX, 347);
    rav1Label->move(ravX, 432);
    rav2Knob->move(ravX + 112, 347);
    rav2Label->move(ravX + 112, 432);
    ravPairButton->move(ravX + 74, 430);
}

void QPravikAudioPage::applyHardwareLayout()
{
    if (deviceOptions() & ReducedHardware) {
        for (int input :
             {QPravik::InputMic4, QPravik::InputUsb, QPravik::InputAux2, QPravik::InputAes1, QPravik::InputAes2})
            meters[input]->setEnabled(false);
        for (QWidget* widget : std::initializer_list<QWidget*>{
                 input4Label, input4GainKnob, input4LevelKnob, usbLabel, usbKnob, aux2Label, aux2Knob, aesTitle,
                 aes1Label, aes2Label, aes1Knob, aes2Knob, input12Pair, input34Pair, auxPairButton, aesPairButton,
                 ravPairButton})
            widget->hide();
        placeMovingWidgets(true);
    }
    setMasterScale(extendedMode());
}

void QPravikAudioPage::applyOperationMode(int mode)
{
    showPairButtons();
    enableSourceKnobs();
    enableInputKnobs();
    if (mode == 0) {
        for (int input = QPravik::InputMic1; input <= QPravik::InputMic4; ++input)
            matrix()->setInputGain(input, 0.0f);
    }
    setMasterScale(mode != 0);
}

void QPravikAudioPage::setMasterScale(bool stepped)
{
    for (QPravikKnob* knob : {programMasterKnob, coordMasterKnob}) {
        if (stepped) {
            knob->stepLabelMode = 1;
            for (const auto& step : masterSteps)
                knob->addStep(step.value, QString::fromLatin1(step.label));
            knob->setMinimum(-17, tr("Off"));
        } else {
            knob->stepLabelMode = 0;
            knob->setMinimum(-12, QString());
        }
        knob->setMaximum(12, QString());
    }
    // A bound may have clamped the knob: show the unit's gain on the new scale.
    readMasterKnob(programMasterKnob, matrix()->outputGain(QPravik::OutputProgramLeft));
    readMasterKnob(coordMasterKnob, matrix()->outputGain(QPravik::OutputCoord));
}

void QPravikAudioPage::readMasterKnob(QPravikKnob* knob, float gain)
{
    int value = qRound(gain);
    if (knob->stepLabelMode == 1) {
        const int step = knob->indexOfText(QString::number(gain, 'g', 6));
        if (step >= 0)
            value = knob->valueAt(step);
    }
    showValue(knob, value);
}

void QPravikAudioPage::showInputSource(bool digital)
{
    const TAudioSettings* a = audio();
    const bool ext = extendedMode();
    setGrey(aux2Label, digital);
    meters[QPravik::InputAux2]->setEnabled(!digital);
    for (QLabel* label : {aesTitle, aes1Label, aes2Label})
        setGrey(label, !digital);
    meters[QPravik::InputAes1]->setEnabled(digital);
    meters[QPravik::InputAes2]->setEnabled(digital);
    showChecked(auxPairButton, a->auxPair());
    showChecked(aesPairButton, a->aesPair());
    auxPairButton->setVisible(ext && !digital);
    aesPairButton->setVisible(ext && digital);
    enableSourceKnobs();
}

void QPravikAudioPage::showPad(int input)
{
    const TAudioSettings* a = audio();
    const bool third = input == 3;
    const bool pad = third ? a->input3Pad() : a->input4Pad();
    const bool shown = third || !(deviceOptions() & ReducedHardware);
    (third ? input3GainKnob : input4GainKnob)->setVisible(shown && !pad);
    (third ? input3LevelKnob : input4LevelKnob)->setVisible(shown && pad);
    matrix()->setInputGain(input - 1, pad ? float(third ? a->input3Level() : a->input4Level()) : 0.0f);
}

void QPravikAudioPage::refresh()
{
    for (QLabel* label : {input4Label, usbLabel, aux1Label, aux2Label, aesTitle, aes1Label, aes2Label, ravTitle,
                          rav1Label, rav2Label})
        setGrey(label, false);
    for (QWidget* widget : std::initializer_list<QWidget*>{input4Label, usbLabel, aux2Label, aesTitle, aes1Label,
                                                           aes2Label, input3GainKnob, input4GainKnob})
        widget->show();
    input3LevelKnob->hide();
    input4LevelKnob->hide();
    for (QPravikKnob* knob : {usbKnob, aux1Knob, aux2Knob, aes1Knob, aes2Knob, rav1Knob, rav2Knob})
        knob->show();
    for (QPravikKnob* knob : {input1Knob, input2Knob, input3GainKnob, input3LevelKnob, input4GainKnob,
                              input4LevelKnob, usbKnob, aux1Knob, aux2Knob, aes1Knob, aes2Knob, rav1Knob, rav2Knob})
        knob->setEnabled(true);
    placeMovingWidgets(false);
    enableMasterKnobs();
    const bool metered = unitFirmwareVersion > 0x107FF;
    for (const auto& [input, bars] : meters) {
        bars->setVisible(metered);
        bars->setEnabled(metered);
        bars->setLevel(30, true);
    }
}

void QPravikAudioPage::setMeterLevels(const int* levels, int count, bool immediate)
{
    if (!levels || count < 1)
        return;
    int k = 0;
    for (auto it = meters.begin(); it != meters.end() && k < count; ++it, ++k)
        it->second->setLevel(levels[k], immediate);
}

void QPravikAudioPage::showEvent(QShowEvent* event)
{
    ravTitle->setText(deviceOptions() & DanteModule ? tr("DANTE") : tr("RAVENNA"));
    QPravikAudioWidget::showEvent(event);
}

// ---- reactions ----------------------------------------------------------------

void QPravikAudioPage::deviceStateChanged(TComDevice::DeviceState state)
{
    if (state == TComDevice::Loaded) {
        applyHardwareLayout();
        if (!(deviceOptions() & RavennaModule)) {
            for (QLabel* label : {ravTitle, rav1Label, rav2Label})
                setGrey(label, true);
            rav1Knob->setEnabled(false);
            rav2Knob->setEnabled(false);
            meters[QPravik::InputNetwork1]->setEnabled(false);
            meters[QPravik::InputNetwork2]->setEnabled(false);
        }
    } else if (state == TComDevice::OperationModeChanged) {
        applyOperationMode(frontPanelDevice()->operationMode());
    }
}

void QPravikAudioPage::audioControllerStateChanged(TComController* controller)
{
    if (controller->state() != TComController::Ready)
        return;
    const TAudioSettings* a = audio();
    const std::uint32_t options = deviceOptions();
    applyHardwareLayout();
    if (!a->auxiliaryBoard()) {
        for (QLabel* label : {aux1Label, aux2Label, aesTitle, aes1Label, aes2Label, ravTitle, rav1Label, rav2Label})
            setGrey(label, true);
        for (QPravikKnob* knob : {aux1Knob, aux2Knob, aes1Knob, aes2Knob, rav1Knob, rav2Knob})
            knob->setEnabled(false);
        for (int input : {QPravik::InputAux1, QPravik::InputAux2, QPravik::InputAes1, QPravik::InputAes2,
                          QPravik::InputNetwork1, QPravik::InputNetwork2})
            meters[input]->setEnabled(false);
    } else if (options & AuxOrAes) {
        showInputSource(a->inputSource() != TAudioSettings::Analog);
    }
    enableInputKnobs();
    showInputKnobs();
    showPad(3);
    if (!(options & ReducedHardware))
        showPad(4);
    enableSourceKnobs();
    showChecked(input12Pair, a->input2Pair());
    showChecked(input34Pair, a->input4Pair());
    showChecked(ravPairButton, a->ravInPair());
    showPairButtons();
}

void QPravikAudioPage::audioControllerParamChanged(TComController*, TAudioSettings::CtlrParam param)
{
    const TAudioSettings* a = audio();
    const bool ext = extendedMode();
    const bool linkClear = !(matrix()->options() & LinkBit);
    switch (param) {
    case TAudioSettings::Input1Gain:
        showValue(input1Knob, a->input1Gain());
        break;
    case TAudioSettings::Input2Gain:
        showValue(input2Knob, a->input2Gain());
        break;
    case TAudioSettings::Input2Pair:
        showChecked(input12Pair, a->input2Pair());
        input2Knob->setEnabled(ext ? !a->input2Pair() : linkClear);
        break;
    case TAudioSettings::Input3Gain:
        showValue(input3GainKnob, a->input3Gain());
        if (!a->input3Pad() && linkClear)
            matrix()->setInputGain(QPravik::InputMic3, 0.0f);
        break;
    case TAudioSettings::Input3Level:
        showValue(input3LevelKnob, a->input3Level());
        if (a->input3Pad()) {
            matrix()->setInputGain(QPravik::InputMic3, float(a->input3Level()));
            if (a->input4Pair())
                matrix()->setInputGain(QPravik::InputMic4, float(a->input3Level()));
        }
        break;
    case TAudioSettings::Input3Pad:
        showPad(3);
        break;
    case TAudioSettings::Input4Gain:
        showValue(input4GainKnob, a->input4Gain());
        if (!a->input4Pad() && linkClear)
            matrix()->setInputGain(QPravik::InputMic4, 0.0f);
        break;
    case TAudioSettings::Input4Level:
        showValue(input4LevelKnob, a->input4Level());
        if (a->input4Pad() && !(ext && a->input4Pair()))
            matrix()->setInputGain(QPravik::InputMic4, float(a->input4Level()));
        break;
    case TAudioSettings::Input4Pad:
        showPad(4);
        break;
    case TAudioSettings::Input4Pair:
        showChecked(input34Pair, a->input4Pair());
        input4GainKnob->setEnabled(ext ? !a->input4Pair() : linkClear);
        input4LevelKnob->setEnabled(ext ? !a->input4Pair() : linkClear);
        break;
    case TAudioSettings::InputSource:
        if (a->auxiliaryBoard() && (deviceOptions() & AuxOrAes))
            showInputSource(a->inputSource() != TAudioSettings::Analog);
        break;
    case TAudioSettings::AuxPair:
        showChecked(auxPairButton, a->auxPair());
        enableSourceKnobs();
        break;
    case TAudioSettings::AesPair:
        showChecked(aesPairButton, a->aesPair());
        enableSourceKnobs();
        break;
    case TAudioSettings::RavInPair:
        showChecked(ravPairButton, a->ravInPair());
        enableSourceKnobs();
        break;
    default:
        break;
    }
}

void QPravikAudioPage::matrixControllerStateChanged(TComController* controller)
{
    if (controller->state() != TComController::Ready)
        return;
    enableMasterKnobs();
    for (const MatrixKnob& entry : matrixKnobs)
        matrixInputGainChanged(QPravik::Inputs(entry.input));
    for (QPravik::Outputs output : {QPravik::OutputProgramLeft, QPravik::OutputProgramRight, QPravik::OutputCoord})
        matrixOutputGainChanged(output);
}

void QPravikAudioPage::matrixOptionsChanged(TMatrixSettings::MatrixOpts previous)
{
    const bool linked = matrix()->options() & LinkBit;
    if (bool(previous & LinkBit) == linked)
        return;
    enableInputKnobs();
    if (!linked) {
        for (int input = QPravik::InputMic1; input <= QPravik::InputMic4; ++input)
            matrix()->setInputGain(input, 0.0f);
    }
}

void QPravikAudioPage::matrixInputGainChanged(QPravik::Inputs input)
{
    for (const MatrixKnob& entry : matrixKnobs)
        if (entry.input == input)
            showValue(entry.knob, qRound(matrix()->inputGain(input)));
}

void QPravikAudioPage::matrixOutputGainChanged(QPravik::Outputs output)
{
    if (output == QPravik::OutputProgramLeft || output == QPravik::OutputProgramRight)
        readMasterKnob(programMasterKnob, matrix()->outputGain(output));
    else if (output == QPravik::OutputCoord)
        readMasterKnob(coordMasterKnob, matrix()->outputGain(output));
}

// ---- the operator's writes ------------------------------------------------------

// A refused step puts the knob back at the model's value at once, so the
// next step starts from the unit's value, never from a step it refused.
void QPravikAudioPage::knob1ValueChanged(int value)
{
    settleWrite(this, audio()->setInput1Gain(value, true), [this] { showInputKnobs(); });
}

void QPravikAudioPage::knob2ValueChanged(int value)
{
    settleWrite(this, audio()->setInput2Gain(value, true), [this] { showInputKnobs(); });
}

void QPravikAudioPage::knob3ValueChanged(int value)
{
    TAudioSettings* a = audio();
    const bool taken = a->input3Pad() ? a->setInput3Level(value, true) : a->setInput3Gain(value, true);
    settleWrite(this, taken, [this] { showInputKnobs(); });
}

void QPravikAudioPage::knob4ValueChanged(int value)
{
    TAudioSettings* a = audio();
    const bool taken = a->input4Pad() ? a->setInput4Level(value, true) : a->setInput4Gain(value, true);
    settleWrite(this, taken, [this] { showInputKnobs(); });
}

void QPravikAudioPage::knobValueChanged(int value)
{
    auto* knob = qobject_cast<QPravikKnob*>(sender());
    if (knob == programMasterKnob || knob == coordMasterKnob) {
        // Program left and right share one byte of the master gains word:
        // one write sets both, and a refused one is not sent again.
        const int output = knob == programMasterKnob ? QPravik::OutputProgramLeft : QPravik::OutputCoord;
        settleWrite(this, matrix()->setOutputGain(output, float(gainOfKnob(knob, value))),
                    [this, knob, output] { readMasterKnob(knob, matrix()->outputGain(output)); });
        return;
    }
    for (const MatrixKnob& entry : matrixKnobs) {
        if (entry.knob == knob) {
            const int input = entry.input;
            settleWrite(this, matrix()->setInputGain(input, float(value)),
                        [this, input] { matrixInputGainChanged(QPravik::Inputs(input)); });
            return;
        }
    }
}

void QPravikAudioPage::pairClicked()
{
    using A = TAudioSettings;
    const struct
    {
        QPravikPair* button;
        bool (A::*value)() const;
        bool (A::*write)(bool, bool);
    } pairs[] = {{input12Pair, &A::input2Pair, &A::setInput2Pair},
                 {input34Pair, &A::input4Pair, &A::setInput4Pair},
                 {auxPairButton, &A::auxPair, &A::setAuxPair},
                 {aesPairButton, &A::aesPair, &A::setAesPair},
                 {ravPairButton, &A::ravInPair, &A::setRavInPair}};
    for (const auto& pair : pairs) {
        if (pair.button == sender()) {
            const auto value = pair.value;
            QPravikPair* button = pair.button;
            settleWrite(this, (audio()->*pair.write)(button->isChecked(), true),
                        [button, value] { showChecked(button, (audio()->*value)()); });
            return;
        }
    }
}
