#pragma once

#include <QList>

#include "audio/taudiosettings.h"
#include "model/tcomdevice.h"
#include "panel/pages/qpravikaudiowidget.h"

class QFrame;

// The settings table of the four analog inputs: per input its name, the
// phantom power, limiter, Mic/Line and 80 Hz filter switches where the input
// has them, and its routes to Program left, Program right and Coord. In
// standard mode the Program output is mono; in extended mode a stereo pair
// routes its first input left and its second right only.
class QPravikAudioInputPage : public QPravikAudioWidget
{
    Q_OBJECT
public:
    explicit QPravikAudioInputPage(QWidget* parent = nullptr);

    void refresh() override;

    struct Row
    {
        QPravikButton* name = nullptr;
        QFrame* separators[2] = {}; // above the row: left and right part; none above row 1
        QPravikSwitch* phantom = nullptr; // none on row 4
        QPravikSwitch* limiter = nullptr;
        QPravikSwitch* micLine = nullptr; // rows 3 and 4 only
        QPravikSwitch* filter = nullptr;  // rows 3 and 4 only
        QPravikSwitch* programLeft = nullptr;
        QPravikSwitch* programRight = nullptr;
        QPravikSwitch* coord = nullptr;
    };
    Row rows[4];
    QLabel* limiterHeader;
    QLabel* micLineHeader;
    QLabel* filterHeader;
    QLabel* programLeftHeader;
    QLabel* programRightHeader;
    QLabel* coordHeader;

public slots:
    void deviceStateChanged(TComDevice::DeviceState state);
    void audioControllerStateChanged(TComController* controller);
    void audioControllerParamChanged(TComController* controller, TAudioSettings::CtlrParam param);
    void switchClicked();

private:
    // A switch of an input's own setting in the audio settings.
    struct SettingSwitch
    {
        QPravikSwitch* button;
        TAudioSettings::CtlrParam param;
        bool (TAudioSettings::*value)() const;
        bool (TAudioSettings::*write)(bool, bool);
    };

    void setupWidgets();
    QPravikSwitch* makeSettingSwitch(int x, int y, TAudioSettings::CtlrParam param,
                                     bool (TAudioSettings::*value)() const, bool (TAudioSettings::*write)(bool, bool));
    QList<QWidget*> rowWidgets(int row) const;
    bool hasInput4() const;
    void applyHardwareLayout();
    void applyOperationMode(int mode);
    void showPair12();
    void showPair34();

    QList<SettingSwitch> settingSwitches;
};
