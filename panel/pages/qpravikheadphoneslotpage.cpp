#include "panel/pages/qpravikheadphoneslotpage.h"

#include <QCoreApplication>
#include <QFrame>

#include <algorithm>

#include "panel/kit/look.h"
#include "panel/kit/popup.h"
#include "panel/pages/qpravikheadphonepopups.h"

namespace {

// Per position (1, 2): the slots' first inputs, top to bottom, of which all
// but input 3 also have a strip kept aside; the first row group of strips in
// creation order; the positions the copy buttons copy to.
constexpr int kSlotInputs[2][4] = {{1, 2, 3, 13}, {0, 2, 3, 13}};
constexpr int kFirstGroup[2][9] = {{1, 2, 12, 20, 13, 21, 8, 4, 5}, {0, 2, 12, 20, 13, 21, 8, 4, 5}};
constexpr int kSecondGroup[] = {6, 7, 9, 10, 14, 15, 16, 18};
constexpr int kCopyTargets[2][3] = {{2, 3, 4}, {1, 3, 4}};
constexpr int kRowStep = 109;

// Inputs a slot never takes over from a strip when the extended mode hides
// Program and Coord return.
constexpr int kNotForSlots[] = {12, 13, 19, 20, 21, 24};

} // namespace

QPravikHeadphoneSlotPage::QPravikHeadphoneSlotPage(int position, QWidget* parent)
    : QPravikHeadphoneWidget(position, parent)
{
    setupUi();
    writeInitialState();
    connectModels();
    connect(matrix(), &TMatrixSettings::audioConfigChanged, this, &QPravikHeadphoneSlotPage::matrixAudioConfigChanged);
    connect(matrix(), &TMatrixSettings::nodeCopyChanged, this, &QPravikHeadphoneSlotPage::matrixNodeCopyChanged);
}

void QPravikHeadphoneSlotPage::setupUi()
{
    const int slotX = pos == 0 ? 5 : 696;
    const int copyX = pos == 0 ? 696 : 5;
    for (int row = 0; row < 4; ++row) {
        auto* slot = new QPravikAudioButton(this);
        slot->move(slotX, 7 + kRowStep * row);
        slot->setInput(QPravik::Inputs(kSlotInputs[pos][row]));
        slot->setPanning(QPravik::PanBoth);
        connect(slot, &QPravikAudioButton::buttonClicked, this, &QPravikHeadphoneSlotPage::buttonClicked);
        connect(slot, &QPravikAudioBase::panningChanged, this, &QPravikHeadphoneSlotPage::labelPanningChanged);
        connect(slot, &QPravikAudioButton::rightButtonClicked, this, &QPravikHeadphoneSlotPage::rightButtonClicked);
        slotButtons.insert(slot->input(), slot);
        slotRow[row] = slot;
    }
    for (int row = 0; row < 3; ++row) {
        auto* button = new QPravikButton(this);
        button->setGeometry(copyX, 7 + kRowStep * row, 98, 66);
        button->borderWidth = 4;
        button->setIcon(iconWhenDrawn(QStringLiteral(":/images/copy.png")));
        button->setIconSize(QSize(48, 48));
        setPixelSize(button, 18);
        // The number beside the icon.
        copyTargets[row] = kCopyTargets[pos][row];
        button->setText(QStringLiteral("         %1").arg(copyTargets[row]));
        setLampColours(button, Qt::white, Qt::black);
        connect(button, &QPravikButton::clicked, this, &QPravikHeadphoneSlotPage::copyClicked);
        copyButtons[row] = button;
    }
    addSideTone();
    for (int input : kFirstGroup[pos]) {
        QPravikAudioInput* strip = addStrip(input, 0);
        const bool heldBySlot = input != 3 && std::count(std::begin(kSlotInputs[pos]), std::end(kSlotInputs[pos]), input);
        (heldBySlot ? parked : strips).insert(input, strip);
    }
    auto* separator = new QFrame(this);
    separator->setGeometry(152, 240, 496, 1);
    separator->setFrameStyle(QFrame::HLine | QFrame::Plain);
    for (int input : kSecondGroup)
        strips.insert(input, addStrip(input, 1));
    addNavigation();
}

int QPravikHeadphoneSlotPage::slotIndex(const QObject* slot) const
{
    for (int row = 0; row < 4; ++row) {
        if (slotRow[row] == slot)
            return row;
    }
    return -1;
}

void QPravikHeadphoneSlotPage::refresh()
{
    QPravikHeadphoneWidget::refresh();
    navigation[3]->show();
    for (QPravikAudioButton* slot : slotRow)
        slot->show();
    copyButtons[2]->show();
    // Parked strips stand in for the slots only on reduced hardware.
    for (QPravikAudioBase* strip : parked) {
        strip->hide();
        strip->setEnabled(false);
        if (strips.value(strip->input()) == strip)
            strips.remove(strip->input());
    }
}

// --- model reactions ---------------------------------------------------------------

void QPravikHeadphoneSlotPage::pageDeviceStateChanged(TComDevice::DeviceState state)
{
    if (state != TComDevice::OperationModeChanged)
        return;
    if (device()->operationMode() != 1) {
        removeProgramAndCoord();
        return;
    }
    // The extended mode hides Program and Coord return: a slot holding one
    // takes the first operable strip instead.
    for (int row = 0; row < 4; ++row) {
        const int byte = matrix()->programOutput(pos)[row];
        if (byte != 13 && byte != 14)
            continue;
        QPravikAudioInput* replacement = nullptr;
        for (QPravikAudioBase* strip : strips) {
            auto* input = qobject_cast<QPravikAudioInput*>(strip);
            if (input && input->state() == 0 && input->isEnabledTo(this)
                && !std::count(std::begin(kNotForSlots), std::end(kNotForSlots), int(input->input()))) {
                replacement = input;
                break;
            }
        }
        if (!replacement)
            continue;
        // Not the operator's change: a refusal leaves the slots as they were, unannounced.
        if (!moveSlot(slotRow[row], replacement->input(), replacement->panning()))
            break;
    }
}

void QPravikHeadphoneSlotPage::pageMatrixLoaded()
{
    if (device()->deviceOptions() & kReducedHardwareOption) {
        navigation[3]->hide();
        for (QPravikAudioButton* slot : slotRow)
            slot->hide();
        copyButtons[2]->hide();
        for (QPravikAudioBase* strip : parked) {
            if (strips.contains(strip->input()))
                continue;
            strip->setEnabled(true);
            strip->show();
            strips.insert(strip->input(), strip);
        }
    }
    relabel = true;
    for (int input = 0; input <= 24; ++input) {
        matrixInputNameChanged(QPravik::Inputs(input));
        matrixNodeChanged(QPravik::Inputs(input), QPravik::Outputs(leftOutput()));
    }
    matrixNodeChanged(QPravik::Inputs(pos), QPravik::Outputs(leftOutput()));
    matrixAudioConfigChanged(QPravik::Inputs(pos));
    relabel = false;
    if (device()->operationMode() == 0)
        removeProgramAndCoord();
}

void QPravikHeadphoneSlotPage::matrixAudioConfigChanged(QPravik::Inputs index)
{
    if (index != pos || (device()->deviceOptions() & kReducedHardwareOption))
        return;
    for (QPravikAudioButton* slot : slotRow) {
        const int input = matrix()->programOutput(pos)[slotIndex(slot)] - 1;
        QPravikAudioBase* other = slotButtons.value(input);
        if (other && other != slot)
            assignSlot(slot, input, other->panning());
        if (QPravikAudioBase* strip = strips.value(input))
            assignSlot(slot, input, strip->panning());
    }
}

void QPravikHeadphoneSlotPage::matrixNodeCopyChanged(QPravik::Outputs, QPravik::Outputs copy)
{
    for (int row = 0; row < 3; ++row) {
        if (copy == 2 * copyTargets[row]) {
            const QColor colour = matrix()->isOutputCopy(copy) ? QColor(127, 127, 127) : QColor(Qt::white);
            QPalette palette = copyButtons[row]->palette();
            palette.setColor(QPalette::Window, colour);
            copyButtons[row]->setPalette(palette);
        }
    }
}

// --- slots ---------------------------------------------------------------------------

void QPravikHeadphoneSlotPage::labelPanningChanged(QPravik::PanCtrl panning)
{
    const auto* slot = qobject_cast<QPravikAudioBase*>(sender());
    if (!slot || busy)
        return;
    const int input = slot->input();
    operatorWrite({input}, [&] { return writePanning(input, panning); });
}

void QPravikHeadphoneSlotPage::buttonClicked()
{
    auto* slot = qobject_cast<QPravikAudioButton*>(sender());
    if (slotIndex(slot) < 0)
        return;
    auto* popup = new QPravikHeadphoneSelect(this);
    popup->setWindowModality(Qt::ApplicationModal);
    centre(popup);
    slot->setActive(true);
    if (currentAccessLevel == OperatorLevel) {
        popup->addItem(slot->input(), slot->title());
    } else {
        // Every slot and every operable strip without a balance control.
        QList<QPravikAudioBase*> offered = slotButtons.values();
        for (QPravikAudioBase* strip : strips) {
            const auto* input = qobject_cast<QPravikAudioInput*>(strip);
            if (input && input->state() == 0 && !input->withBalance && input->isEnabledTo(this))
                offered << strip;
        }
        std::stable_sort(offered.begin(), offered.end(), [](const QPravikAudioBase* a, const QPravikAudioBase* b) {
            return layoutRank(a->input()) < layoutRank(b->input());
        });
        for (const QPravikAudioBase* entry : offered)
            popup->addItem(entry->input(), entry->title());
    }
    popup->setCurrent(slot->input());
    popup->display->setPanning(slot->panning());
    popup->item = slot;
    connect(popup, &QPravikPopup::popupClosed, this, &QPravikHeadphoneSlotPage::popupSelectClosed);
    popup->setVisible(true);
}

void QPravikHeadphoneSlotPage::popupSelectClosed()
{
    const auto* popup = qobject_cast<QPravikHeadphoneSelect*>(sender());
    const int row = popup ? slotIndex(static_cast<QObject*>(popup->item)) : -1;
    if (row < 0)
        return;
    QPravikAudioButton* slot = slotRow[row];
    slot->setActive(false);
    const int input = popup->chosenInput;
    const auto panning = QPravik::PanCtrl(popup->chosenPanning);
    if (input < 0)
        return;
    // The slot's own input: its panning, which the slot's signal writes.
    if (input == slot->input()) {
        slot->setPanning(panning);
        return;
    }
    settle(moveSlot(slot, input, panning));
}

bool QPravikHeadphoneSlotPage::assignSlot(QPravikAudioBase* slot, int input, QPravik::PanCtrl panning)
{
    const int own = slot->input();
    if (own == input)
        return false;
    const QPravik::PanCtrl ownPanning = slot->panning();
    const QString ownName = slot->name();
    const int ownGain = slot->gain();
    QPravikAudioBase* holder = strips.value(input);
    const bool fromStrip = holder != nullptr;
    if (!holder)
        holder = slotButtons.value(input);
    if (!holder)
        return false;
    const QString holderName = holder->name();
    const int holderGain = holder->gain();
    // Each widget takes the values the model holds for its new input: the
    // swap itself changes nothing the unit has.
    const Busy guard(busy);

    // The holder takes the slot's input with its panning, name and gain; the
    // slot takes the chosen input with the holder's name and gain.
    (fromStrip ? strips : slotButtons).remove(input);
    slotButtons.remove(own);
    holder->setInput(QPravik::Inputs(own));
    holder->setPanning(ownPanning);
    holder->setName(ownName, false);
    holder->setGain(ownGain);
    (fromStrip ? strips : slotButtons).insert(own, holder);
    if (fromStrip) {
        // The strip is the new input's now, not greyed for the one it had.
        if (auto* strip = qobject_cast<QPravikAudioInput*>(holder)) {
            strip->setState(0);
            strip->setEnabled(true);
        }
        relayoutStrips();
        updateInputSourceStates();
        applyOperationMode(device()->operationMode());
    }
    slot->setInput(QPravik::Inputs(input));
    slot->setPanning(panning);
    slot->setName(holderName, false);
    slot->setGain(holderGain);
    slotButtons.insert(input, slot);
    headphoneKnobInputs[4 * pos + slotIndex(slot)] = input;
    if (!fromStrip)
        headphoneKnobInputs[4 * pos + slotIndex(holder)] = own;
    return true;
}

bool QPravikHeadphoneSlotPage::moveSlot(QPravikAudioBase* slot, int input, QPravik::PanCtrl panning)
{
    const int own = slot->input();
    const QPravik::PanCtrl ownPanning = slot->panning();
    bool taken = true;
    {
        const Busy guard(busy);
        if (!assignSlot(slot, input, panning))
            return true;
        // The chosen panning reaches the input's nodes even when the slot showed it already.
        taken = writePanning(input, panning) && sendProgramOutput();
        if (!taken)
            assignSlot(slot, own, ownPanning);
    }
    if (!taken)
        redrawInputs({own, input});
    return taken;
}

bool QPravikHeadphoneSlotPage::sendProgramOutput()
{
    TMatrixSettings::ProgramOutput bytes{};
    for (int row = 0; row < 4; ++row)
        bytes[row] = std::uint8_t(slotRow[row]->input() + 1);
    return matrix()->setProgramOutput(pos, bytes, true);
}

void QPravikHeadphoneSlotPage::rightButtonClicked()
{
    auto* slot = qobject_cast<QPravikAudioButton*>(sender());
    if (slotIndex(slot) < 0)
        return;
    auto* popup = new QPravikHeadphoneAudio(this);
    popup->setWindowModality(Qt::ApplicationModal);
    centre(popup);
    slot->setActive(true);
    popup->strip->setInput(slot->input());
    popup->strip->setGain(slot->gain());
    popup->strip->setPanning(slot->panning());
    popup->item = slot;
    connect(popup, &QPravikPopup::popupClosed, this, &QPravikHeadphoneSlotPage::popupAudioClosed);
    popup->setVisible(true);
}

void QPravikHeadphoneSlotPage::popupAudioClosed()
{
    const auto* popup = qobject_cast<QPravikHeadphoneAudio*>(sender());
    const int row = popup ? slotIndex(static_cast<QObject*>(popup->item)) : -1;
    if (row < 0)
        return;
    QPravikAudioButton* slot = slotRow[row];
    slot->setActive(false);
    if (!popup->accepted || busy)
        return;
    const int input = slot->input();
    const int gain = popup->strip->gain();
    const QPravik::PanCtrl panning = popup->strip->panning();
    operatorWrite({input}, [&] {
        slot->setPanning(panning);
        slot->setGain(gain);
        TMatrixSettings* m = matrix();
        return inBatch([&] {
            return m->setNodeGain(input, leftOutput(), float(gain)) && m->setNodeGain(input, rightOutput(), float(gain))
                && m->setNode(input, leftOutput(), panning & QPravik::PanLeft)
                && m->setNode(input, rightOutput(), panning & QPravik::PanRight);
        });
    });
}

// --- copy to another position ----------------------------------------------------------

void QPravikHeadphoneSlotPage::copyClicked()
{
    int row = 0;
    while (row < 3 && copyButtons[row] != sender())
        ++row;
    if (row == 3)
        return;
    const int target = copyTargets[row];
    if (matrix()->isOutputCopy(2 * target))
        return;
    QPravikMessage* box = currentAccessLevel == OperatorLevel
        ? new QPravikMessage(tr("Operator is not allowed to perform this operation"), QPravikMessage::CancelButton, this)
        : new QPravikMessage(tr("Copy gain and routing settings to position %1?").arg(target),
                             QPravikMessage::CancelButton | QPravikMessage::OkButton, this);
    box->setWindowModality(Qt::ApplicationModal);
    centre(box);
    box->setProperty("copyTarget", target);
    connect(box, &QPravikPopup::popupClosed, this, &QPravikHeadphoneSlotPage::messageClosed);
    box->popup();
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
}

void QPravikHeadphoneSlotPage::messageClosed()
{
    const auto* box = qobject_cast<QPravikMessage*>(sender());
    if (!box || box->cancelled)
        return;
    const int target = box->property("copyTarget").toInt();
    if (target != 0)
        emit copySettingsClicked(target);
}
