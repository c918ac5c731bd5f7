#pragma once

#include "audio/taudiosettings.h"
#include "model/tcomdevice.h"
#include "panel/pages/qpravikaudiowidget.h"

class QFrame;
class QPravikKnob;
class QPravikPair;
class QPravikSlideSimple;

// What the unit's outputs carry: per output (USB, LINE 1, LINE 2, Ravenna or
// Dante 1 and 2) a row of switches for the Program and Coord. mixes, their
// returns and the headphone-4 mix, the line output levels and the stereo
// pairs of the line and network outputs. The rows scroll: the full table is
// taller than the page.
class QPravikAudioOutputPage : public QPravikAudioWidget
{
    Q_OBJECT
public:
    enum Row { Usb, Line1, Line2, Ravenna1, Ravenna2, RowCount };
    enum Column { Program, Coord, ProgramReturn, CoordReturn, Headphone4, ColumnCount };

    explicit QPravikAudioOutputPage(QWidget* parent = nullptr);

    void refresh() override;

    struct OutputRow
    {
        QPravikKnob* level = nullptr;   // line rows only
        QLabel* label = nullptr;
        QLabel* marker = nullptr;       // "L" or "R" of a stereo pair; none on USB
        QFrame* separator = nullptr;    // above the row; none above USB
        QPravikSwitch* switches[ColumnCount] = {}; // no headphone-4 switch on USB
    };
    QLabel* headphoneHeader;
    QPravikSlideSimple* scrollArea;
    OutputRow rows[RowCount];
    QPravikPair* linePair;
    QPravikPair* networkPair;

public slots:
    void deviceStateChanged(TComDevice::DeviceState state);
    void audioControllerStateChanged(TComController* controller);
    void audioControllerParamChanged(TComController* controller, TAudioSettings::CtlrParam param);
    void pairClicked();
    void knobValueChanged(int value);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setupWidgets();
    // The rows for a unit with or without LINE 2 and the headphone-4 column.
    void layoutRows(bool showLine2, bool showHeadphone4);
    void applyHardwareLayout();
    // The cells the Program and Program-return switches of LINE 2 and
    // Ravenna 2 stand for in the current operation mode.
    void applyRouteCells();
    void showPairs();
    static int lineLevel(Row row);
    void showLevel(Row row);
    void setRavennaUsable(bool usable);

    bool line2Shown = false;
};
