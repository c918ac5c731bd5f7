#pragma once

#include <QList>
#include <QMap>
#include <QWidget>

#include <functional>

#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "model/tcomdevice.h"
#include "panel/kit/audiostrip.h"
#include "panel/kit/statuspanel.h"
#include "panel/pages/panelshared.h"

class QFrame;

// Common base of the four headphone pages (one per headphone position of the
// unit). Position N (1..4) mixes into the matrix outputs 2N (left) and
// 2N + 1 (right); every strip stands for one matrix input. The base owns the
// status strip, the strip maps, the swipe between the stops of a mix that
// does not fit, the layout, the reactions to the device, audio and matrix
// models that all positions share, the redraw from the matrix and the
// writing handlers of the strips.
class QPravikHeadphoneWidget : public QWidget, public QPravikStatusForward
{
    Q_OBJECT
public:
    ~QPravikHeadphoneWidget() override;

    // After each login: back to no swipe area, every strip operable; the
    // model loads that follow lay the page out again.
    virtual void refresh();
    // Takes gains and pannings from another position's page; the strips'
    // own signals write them into this position's outputs.
    void copySettingsTo(QPravikHeadphoneWidget* source);

    int position() const { return pos; }
    int scrollStop() const { return scrollState; }
    bool hasThreeStops() const { return threeStops; }
    const QFrame* scrollIndicator() const { return indicator; }
    QPravikAudioInput* sideToneStrip() const { return sideTone; }
    // The strip (or, on positions 1 and 2, the slot) that holds an input.
    QPravikAudioBase* stripFor(int input) const { return strips.value(input); }
    QPravikAudioBase* slotFor(int input) const { return slotButtons.value(input); }
    // Left to right: "1", "3", home, "4", "2".
    QPravikButton* navigationButton(int index) const { return index >= 0 && index < 5 ? navigation[index] : nullptr; }

signals:
    void pageActivated(QPravik::Page page);
    // Positions 1 and 2: copy this position's settings to position target (1..4).
    void copySettingsClicked(int target);

public slots:
    void deviceStateChanged(TComDevice::DeviceState state);
    void audioControllerStateChanged(TComController* controller);
    void audioControllerParamChanged(TComController* controller, TAudioSettings::CtlrParam param);
    void matrixControllerStateChanged(TComController* controller);
    void matrixOptionsChanged(TMatrixSettings::MatrixOpts previous);
    void matrixInputNameChanged(QPravik::Inputs input);
    void matrixNodeChanged(QPravik::Inputs input, QPravik::Outputs output);

    void knobSideToneChanged(int gain);
    void knobValueChanged(int gain);
    void knobPanningChanged(QPravik::PanCtrl panning);
    void knobProgPanningChanged(QPravik::PanCtrl panning);
    void knobCoordPanningChanged(QPravik::PanCtrl panning);
    void audioBalanceChanged(int step);

protected:
    // Only the position pages are made: they add the strips the base lays out.
    QPravikHeadphoneWidget(int position, QWidget* parent);

    // Stops of the swipe: none, top, middle (three stops only), bottom.
    enum Stop { NoSwipe = 0, TopStop = 1, MiddleStop = 2, BottomStop = 3 };

    // Set while the page writes to the matrix: the writing handlers return at
    // once and the page does not redraw from the model's echoes. Nested
    // guards leave the flag as the outer one set it.
    struct Busy
    {
        explicit Busy(bool& flag) : flag(flag), was(flag) { flag = true; }
        ~Busy() { flag = was; }
        bool& flag;
        const bool was;
    };

    int leftOutput() const { return 2 * pos + 2; }
    int rightOutput() const { return 2 * pos + 3; }

    // A new full strip of this page at its start place, hidden and disabled,
    // with its handlers connected; Program (20) and Coord (21) get their own
    // panning handlers and the balance control, Program the stereo state.
    QPravikAudioInput* addStrip(int input, int mode);
    void addSideTone();
    // The five page buttons along the bottom; this page's own is outlined.
    void addNavigation();
    // Centres a popup over the page.
    void centre(QWidget* popup) const;
    static int layoutRank(int input);
    QPravikAudioInput* inputStrip(int input) const;
    // Every full strip: those in strips, then the parked ones.
    QList<QPravikAudioInput*> allInputStrips() const;
    // Writes the initial state of the strips (and slots) into the matrix.
    void writeInitialState();
    // Connects the page to the models; the position pages call it once their
    // widgets exist.
    void connectModels();

    void relayoutStrips();
    void scrollStrips(bool dragging, int delta);
    void applyOperationMode(int mode);
    void updateInputSourceStates();
    // Program and Coord out of the mix (standard operation mode): their
    // strips at 0 dB and routed nowhere, their own nodes written only.
    void removeProgramAndCoord();
    // The Program strip's panning as the matrix holds it, the stereo state included.
    QPravik::PanCtrl programPanning() const;
    // The nodes of one input on this position's outputs, in one batch.
    bool writePanning(int input, QPravik::PanCtrl panning);
    // Runs writes of this position's cells as one headphone batch. writes
    // stops at the first change the model refuses; the batch is then
    // dropped, its cells back and nothing sent. True when the unit took
    // everything.
    bool inBatch(const std::function<bool()>& writes);

    // Whether this firmware's keys carry an input's nodes and gains on this
    // position: a strip that no key carries is not offered.
    bool offered(int input) const;
    // Strips this firmware cannot carry are retired like the unit's missing
    // inputs; the side tone is locked when its key is not taken.
    void retireUntaken();
    // The strip, slot or side tone of an input as the model holds it on
    // this position, with their signals blocked.
    void drawInput(int input, int output);
    void redrawInputs(const QList<int>& inputs);
    // An operator's write: writes runs while busy, then a refusal redraws
    // the inputs it touched and is shown (see settle).
    void operatorWrite(const QList<int>& inputs, const std::function<bool()>& writes);
    // The end of a write: see settleWrite. While refusals are held (a copy
    // from another position) a refusal is redrawn and remembered instead
    // of shown.
    bool settle(bool taken, const std::function<void()>& redraw = {});

    // Hooks of the position pages, run after the base's own reaction.
    virtual void pageDeviceStateChanged(TComDevice::DeviceState) {}
    virtual void pageMatrixLoaded() {}
    virtual void inputSourceChanged() { updateInputSourceStates(); }

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

    static TMatrixSettings* matrix() { return frontPanelMatrixSettings(); }
    static TComDevice* device() { return frontPanelDevice(); }

    bool busy = false;
    bool holdRefusals = false;
    bool refusalHeld = false;
    bool relabel = false;
    int scrollState = NoSwipe;
    int pressY = -1;
    int lastY = 0;
    bool threeStops = false;
    const int pos;
    QPravikAudioInput* sideTone = nullptr;
    QMap<int, QPravikAudioBase*> strips;
    QMap<int, QPravikAudioBase*> parked;
    QMap<int, QPravikAudioBase*> slotButtons;
    QFrame* indicator = nullptr;
    QPravikButton* navigation[5] = {};

};
