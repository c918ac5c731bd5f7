#pragma once

#include "panel/pages/qpravikheadphonewidget.h"

class QPravikAudioButton;
class QPravikButton;

// Headphone positions 1 and 2: the strips of the base, four selectable slots
// whose inputs the unit keeps as the position's program-output bytes, and
// three buttons that copy this position's mix to another position.
class QPravikHeadphoneSlotPage : public QPravikHeadphoneWidget
{
    Q_OBJECT
public:
    void refresh() override;

    // Top to bottom.
    QPravikAudioButton* slotAt(int row) const { return row >= 0 && row < 4 ? slotRow[row] : nullptr; }
    QPravikButton* copyButton(int row) const { return row >= 0 && row < 3 ? copyButtons[row] : nullptr; }

public slots:
    void matrixAudioConfigChanged(QPravik::Inputs index);
    void matrixNodeCopyChanged(QPravik::Outputs source, QPravik::Outputs copy);
    void labelPanningChanged(QPravik::PanCtrl panning);
    void buttonClicked();
    void popupSelectClosed();
    void rightButtonClicked();
    void popupAudioClosed();
    void messageClosed();
    void copyClicked();

protected:
    QPravikHeadphoneSlotPage(int position, QWidget* parent);

    void pageDeviceStateChanged(TComDevice::DeviceState state) override;
    void pageMatrixLoaded() override;

private:
    void setupUi();
    // Puts input into the slot, swapping with the strip or slot that holds
    // it; writes nothing. False when nothing holds input.
    bool assignSlot(QPravikAudioBase* slot, int input, QPravik::PanCtrl panning);
    // assignSlot, then the input's nodes with panning and the slots' inputs
    // to the unit; when the unit refuses either, the slots, strips and their
    // inputs go back as they were. False on a refusal.
    bool moveSlot(QPravikAudioBase* slot, int input, QPravik::PanCtrl panning);
    // The slots' inputs to the unit as the position's program-output bytes.
    bool sendProgramOutput();
    int slotIndex(const QObject* slot) const;

    QPravikAudioButton* slotRow[4] = {};
    QPravikButton* copyButtons[3] = {};
    int copyTargets[3] = {};
};

class QPravikHeadphone1Page : public QPravikHeadphoneSlotPage
{
    Q_OBJECT
public:
    explicit QPravikHeadphone1Page(QWidget* parent = nullptr) : QPravikHeadphoneSlotPage(0, parent) {}
};

class QPravikHeadphone2Page : public QPravikHeadphoneSlotPage
{
    Q_OBJECT
public:
    explicit QPravikHeadphone2Page(QWidget* parent = nullptr) : QPravikHeadphoneSlotPage(1, parent) {}
};
