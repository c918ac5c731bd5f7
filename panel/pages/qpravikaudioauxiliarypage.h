#pragma once

#include "audio/taudiosettings.h"
#include "model/tcomdevice.h"
#include "panel/pages/qpravikaudiowidget.h"

// Routing of the digital and auxiliary inputs (USB, AUX 1 and 2, AES 1 and
// 2, Ravenna or Dante 1 and 2), one column each, to Program left, Program
// right and Coord., with their name buttons. Standard mode has a mono
// Program row; extended mode routes a stereo pair's first input left only
// and its second right only.
class QPravikAudioAuxiliaryPage : public QPravikAudioWidget
{
    Q_OBJECT
public:
    enum Column { Usb, Aux1, Aux2, Aes1, Aes2, Ravenna1, Ravenna2, ColumnCount };
    static const int columnInputs[ColumnCount];

    explicit QPravikAudioAuxiliaryPage(QWidget* parent = nullptr);

    void refresh() override;

    QPravikButton* nameButtons[ColumnCount];
    QPravikSwitch* programLeft[ColumnCount];
    QPravikSwitch* coord[ColumnCount];
    QPravikSwitch* programRight[ColumnCount];
    QLabel* rowLabels[3];

public slots:
    void deviceStateChanged(TComDevice::DeviceState state);
    void audioControllerStateChanged(TComController* controller);
    void audioControllerParamChanged(TComController* controller, TAudioSettings::CtlrParam param);

private:
    // Unused: the input source chose the other input; Absent: the unit lacks it.
    enum ColumnState { Usable, Unused, Absent };

    void setupWidgets();
    // Places and shows the columns and row labels for the hardware, the
    // operation mode and the stereo pairs.
    void applyLayout();
    void setColumnState(int column, ColumnState state);
    void showInputSource();

    bool reducedLayout = false; // laid out for reduced hardware
};
