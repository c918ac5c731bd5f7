#pragma once

#include <map>

#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "model/tcomdevice.h"
#include "panel/pages/qpravikaudiowidget.h"

class QPravikBars;
class QPravikKnob;
class QPravikPair;

// The audio overview page: gain knobs and level meters of the analog, USB,
// auxiliary, AES and Ravenna (or Dante) inputs, the stereo-pair buttons and
// the two master gains. Turning a knob or pressing a pair button writes to
// the unit; every value shown is redrawn from the models, without writing.
class QPravikAudioPage : public QPravikAudioWidget
{
    Q_OBJECT
public:
    explicit QPravikAudioPage(QWidget* parent = nullptr);

    // levels[k] belongs to the k-th meter in input order; at most count of them.
    void setMeterLevels(const int* levels, int count, bool immediate);
    void refresh() override;

    std::map<int, QPravikBars*> meters; // by input, 0 to 10
    QPravikKnob* input1Knob;
    QPravikKnob* input2Knob;
    QPravikKnob* input3GainKnob;
    QPravikKnob* input3LevelKnob;
    QPravikKnob* input4GainKnob;
    QPravikKnob* input4LevelKnob;
    QPravikKnob* usbKnob;
    QPravikKnob* aux1Knob;
    QPravikKnob* aux2Knob;
    QPravikKnob* aes1Knob;
    QPravikKnob* aes2Knob;
    QPravikKnob* rav1Knob;
    QPravikKnob* rav2Knob;
    QPravikKnob* programMasterKnob;
    QPravikKnob* coordMasterKnob;
    QLabel* input1Label;
    QLabel* input2Label;
    QLabel* input3Label;
    QLabel* input4Label;
    QLabel* usbLabel;
    QLabel* aux1Label;
    QLabel* aux2Label;
    QLabel* aesTitle;
    QLabel* aes1Label;
    QLabel* aes2Label;
    QLabel* ravTitle;
    QLabel* rav1Label;
    QLabel* rav2Label;
    QPravikButton* settingsButton;
    QPravikPair* input12Pair;
    QPravikPair* input34Pair;
    QPravikPair* auxPairButton;
    QPravikPair* aesPairButton;
    QPravikPair* ravPairButton;

public slots:
    void deviceStateChanged(TComDevice::DeviceState state);
    void audioControllerStateChanged(TComController* controller);
    void audioControllerParamChanged(TComController* controller, TAudioSettings::CtlrParam param);
    void matrixControllerStateChanged(TComController* controller);
    void matrixOptionsChanged(TMatrixSettings::MatrixOpts previous);
    void matrixInputGainChanged(QPravik::Inputs input);
    void matrixOutputGainChanged(QPravik::Outputs output);
    void knob1ValueChanged(int value);
    void knob2ValueChanged(int value);
    void knob3ValueChanged(int value);
    void knob4ValueChanged(int value);
    void knobValueChanged(int value);
    void pairClicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct MatrixKnob
    {
        QPravikKnob* knob;
        int input;
    };

    void setupWidgets();
    QPravikKnob* makeKnob(const QRect& geometry, int minimum, int maximum);
    QPravikPair* makePair(int x, int y);
    void applyHardwareLayout();
    void applyOperationMode(int mode);
    void setMasterScale(bool stepped);
    void placeMovingWidgets(bool reduced);
    // Inputs the unit uses: AUX 2 and AES by the auxiliary board and the
    // input source, Ravenna by the board and the module.
    bool auxInUse() const;
    bool aesInUse() const;
    bool ravennaInUse() const;
    void enableSourceKnobs();
    void showPairButtons();
    void showInputSource(bool digital);
    void showPad(int input);
    void enableInputKnobs();
    // Master knobs are offered where this unit's firmware takes their gains.
    void enableMasterKnobs();
    void showInputKnobs();
    void readMasterKnob(QPravikKnob* knob, float gain);

    MatrixKnob matrixKnobs[7]; // the knobs that show matrix input gains
};
