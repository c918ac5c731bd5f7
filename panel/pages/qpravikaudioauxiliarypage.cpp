#include "panel/pages/qpravikaudioauxiliarypage.h"

#include <QLabel>

#include "panel/kit/controls.h"
#include "panel/kit/look.h"

const int QPravikAudioAuxiliaryPage::columnInputs[ColumnCount] = {
    QPravik::InputUsb,  QPravik::InputAux1,     QPravik::InputAux2,    QPravik::InputAes1,
    QPravik::InputAes2, QPravik::InputNetwork1, QPravik::InputNetwork2};

namespace {

constexpr int programLeftY = 216;
constexpr int programRightY = 276;
constexpr int coordY = 336;

TAudioSettings* audio()
{
    return frontPanelAudioSettings();
}

// A stereo pair links a first column (AUX 1, AES 1, Ravenna 1) with the next.
bool pairedColumn(int column)
{
    const TAudioSettings* a = audio();
    switch (column) {
    case QPravikAudioAuxiliaryPage::Aux1:
    case QPravikAudioAuxiliaryPage::Aux2:
        return a->auxPair();
    case QPravikAudioAuxiliaryPage::Aes1:
    case QPravikAudioAuxiliaryPage::Aes2:
        return a->aesPair();
    case QPravikAudioAuxiliaryPage::Ravenna1:
    case QPravikAudioAuxiliaryPage::Ravenna2:
        return a->ravInPair();
    default:
        return false;
    }
}

bool secondOfPair(int column)
{
    return column == QPravikAudioAuxiliaryPage::Aux2 || column == QPravikAudioAuxiliaryPage::Aes2
           || column == QPravikAudioAuxiliaryPage::Ravenna2;
}

} // namespace

QPravikAudioAuxiliaryPage::QPravikAudioAuxiliaryPage(QWidget* parent)
    : QPravikAudioWidget(parent)
{
    setupWidgets();

    connect(frontPanelDevice(), &TComDevice::deviceStateChanged, this,
            &QPravikAudioAuxiliaryPage::deviceStateChanged);
    TAudioSettings* settings = audio();
    connect(settings, &TComController::controllerStateChanged, this,
            &QPravikAudioAuxiliaryPage::audioControllerStateChanged);
    connect(settings, &TAudioSettings::controllerParamChanged, this,
            &QPravikAudioAuxiliaryPage::audioControllerParamChanged);
}

void QPravikAudioAuxiliaryPage::setupWidgets()
{
    for (int c = 0; c < ColumnCount; ++c)
        nameButtons[c] = makeInputButton(columnInputs[c], QRect(24 + 102 * c, 138, 98, 52));
    for (int c = 0; c < ColumnCount; ++c)
        programLeft[c] = makeRouteSwitch(columnInputs[c], QPravik::OutputProgramLeft, 43 + 102 * c, programLeftY);
    for (int c = 0; c < ColumnCount; ++c)
        coord[c] = makeRouteSwitch(columnInputs[c], QPravik::OutputCoord, 43 + 102 * c, coordY);
    for (int c = 0; c < ColumnCount; ++c)
        programRight[c] = makeRouteSwitch(columnInputs[c], QPravik::OutputProgramRight, 43 + 102 * c, programRightY);
    const int rowY[3] = {programLeftY, programRightY, coordY};
    for (int r = 0; r < 3; ++r)
        rowLabels[r] = makeLabel(QRect(734, rowY[r], 66, 34), QString(), 14, Qt::AlignLeft | Qt::AlignVCenter);
    createTabBar(QPravik::PageAudioAuxiliary);
    applyLayout();
}

void QPravikAudioAuxiliaryPage::applyLayout()
{
    const bool ext = extendedMode();
    for (int c = 0; c < ColumnCount; ++c) {
        // Reduced hardware has only AUX 1 and the Ravenna inputs, which move
        // next to it.
        const bool shown = !reducedLayout || c == Aux1 || c == Ravenna1 || c == Ravenna2;
        const int place = reducedLayout && c >= Ravenna1 ? c - 3 : c;
        const int x = 43 + 102 * place;
        const bool linked = ext && pairedColumn(c);
        nameButtons[c]->move(24 + 102 * place, 138);
        nameButtons[c]->setVisible(shown);
        programLeft[c]->move(x, programLeftY);
        programLeft[c]->setVisible(shown && !(linked && secondOfPair(c)));
        programRight[c]->move(x, programRightY);
        programRight[c]->setVisible(shown && ext && !(linked && !secondOfPair(c)));
        // Standard mode has no Program right row: Coord. moves up into it.
        coord[c]->move(x, ext ? coordY : programRightY);
        coord[c]->setVisible(shown);
    }
    const int labelX = reducedLayout ? 428 : 734;
    rowLabels[0]->setText(ext ? tr("Prog\nLeft") : tr("Prog."));
    rowLabels[1]->setText(ext ? tr("Prog\nRight") : tr("Coord."));
    rowLabels[2]->setText(tr("Coord."));
    rowLabels[0]->move(labelX, programLeftY);
    rowLabels[1]->move(labelX, programRightY);
    rowLabels[2]->move(labelX, coordY);
    rowLabels[2]->setVisible(ext);
}

void QPravikAudioAuxiliaryPage::setColumnState(int column, ColumnState state)
{
    QPravikButton* button = nameButtons[column];
    setLampColours(button, Qt::gray, state == Usable ? QColor(Qt::white) : QColor(127, 127, 127));
    button->setEnabled(state != Absent);
    const int input = columnInputs[column];
    const struct
    {
        QPravikSwitch* button;
        int output;
    } switches[] = {{programLeft[column], QPravik::OutputProgramLeft},
                    {coord[column], QPravik::OutputCoord},
                    {programRight[column], QPravik::OutputProgramRight}};
    for (const auto& s : switches) {
        offerRoute(s.button, state != Unused);
        s.button->setCheckable(state == Usable);
        // A switch checkable again shows its route anew.
        if (state == Usable)
            setRouteCell(s.button, input, s.output);
    }
}

// AUX 2 and the AES inputs are alternatives: the input source picks one.
void QPravikAudioAuxiliaryPage::showInputSource()
{
    const bool digital = audio()->inputSource() != TAudioSettings::Analog;
    setColumnState(Aux2, digital ? Unused : Usable);
    setColumnState(Aes1, digital ? Usable : Unused);
    setColumnState(Aes2, digital ? Usable : Unused);
}

void QPravikAudioAuxiliaryPage::refresh()
{
    reducedLayout = false;
    for (int c = 0; c < ColumnCount; ++c)
        setColumnState(c, Usable);
    applyLayout();
}

void QPravikAudioAuxiliaryPage::deviceStateChanged(TComDevice::DeviceState state)
{
    if (state == TComDevice::Loaded) {
        reducedLayout = deviceOptions() & ReducedHardware;
        if (!(deviceOptions() & RavennaModule)) {
            setColumnState(Ravenna1, Absent);
            setColumnState(Ravenna2, Absent);
        }
    }
    if (state == TComDevice::Loaded || state == TComDevice::OperationModeChanged)
        applyLayout();
}

void QPravikAudioAuxiliaryPage::audioControllerStateChanged(TComController* controller)
{
    if (controller->state() != TComController::Ready)
        return;
    reducedLayout = deviceOptions() & ReducedHardware;
    if (!audio()->auxiliaryBoard()) {
        for (int c = Aux1; c < ColumnCount; ++c)
            setColumnState(c, Absent);
    } else if (deviceOptions() & AuxOrAes) {
        showInputSource();
    }
    applyLayout();
}

void QPravikAudioAuxiliaryPage::audioControllerParamChanged(TComController*, TAudioSettings::CtlrParam param)
{
    switch (param) {
    case TAudioSettings::InputSource:
        if (audio()->auxiliaryBoard() && (deviceOptions() & AuxOrAes))
            showInputSource();
        break;
    case TAudioSettings::AuxPair:
    case TAudioSettings::AesPair:
    case TAudioSettings::RavInPair:
        applyLayout();
        break;
    default:
        break;
    }
}
