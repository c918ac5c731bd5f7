#pragma once

#include <QFrame>
#include <QLabel>
#include <QString>

#include "audio/matrixindex.h"
#include "panel/kit/controls.h"
#include "panel/kit/rowlabel.h"

// Receive/transmit balance of a source, 0..12 with 6 the centre. Engaged,
// keyed and turned like a knob without panning; every key the slider does
// not use goes on to the panel window.
class QPravikAudioBalance : public QPravikKnob
{
    Q_OBJECT
public:
    explicit QPravikAudioBalance(QWidget* parent = nullptr);

    void setMinimum(int minimum) { QPravikKnob::setMinimum(minimum); }
    void setMaximum(int maximum) { QPravikKnob::setMaximum(maximum); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

// What every headphone source strip holds and reports, so that pages can treat
// full strips and compact slots alike.
class QPravikAudioBase : public QFrame
{
    Q_OBJECT
public:
    static constexpr int GainOff = -160;

    explicit QPravikAudioBase(QWidget* parent = nullptr);

    virtual void setInput(QPravik::Inputs input) = 0;
    virtual void setPanning(QPravik::PanCtrl panning) = 0;
    virtual void setGain(int gain) = 0;
    // name: the owner's label of the input, shown under the port name.
    // relabel: refresh the shown names even when the name is unchanged.
    virtual void setName(const QString& name, bool relabel) = 0;
    virtual void setBalance(int balance) = 0;

    // The device option word, which chooses some port names. The owner sets it
    // from the device model; a change relabels the strip.
    void setDeviceOptions(unsigned options);

    int gain() const { return currentGain; }
    int balance() const { return currentBalance; }
    QPravik::Inputs input() const { return currentInput; }
    QPravik::PanCtrl panning() const { return currentPanning; }
    QString name() const { return currentName; }
    // Port name of the input, and the name on a second line when there is one.
    QString title() const;

signals:
    void inputChanged(QPravik::Inputs input);
    void panningChanged(QPravik::PanCtrl panning);
    void gainChanged(int gain);
    void balanceChanged(int balance);

protected:
    QString portName() const;

    int currentGain = GainOff;
    int currentBalance = 0;
    QPravik::Inputs currentInput = QPravik::InputNone;
    QPravik::PanCtrl currentPanning = QPravik::PanNone;
    QString currentName;
    unsigned deviceOptions = 0;
};

// Full strip: port name and name, a gain knob that is also the panning
// control (-31..16 dB, its minimum "Off"), and optionally a balance slider.
// A gain set from outside is kept as given and only drawn within that range.
class QPravikAudioInput : public QPravikAudioBase
{
    Q_OBJECT
public:
    // mode 0: labels above the knob; any other: knob above the labels.
    QPravikAudioInput(int mode, QWidget* parent = nullptr, bool withBalance = false, bool offersStereo = false);
    // panning false: a plain gain knob (side tone).
    QPravikAudioInput(int mode, bool panning, QWidget* parent = nullptr, bool withBalance = false,
                      bool offersStereo = false);

    void setMode(int mode);
    int mode() const { return currentMode; }
    // 0 operable; 1 keeps the label colours; 2 grey labels; others white labels.
    // The knob works in state 0 only.
    void setState(int state);
    int state() const { return currentState; }

    void setInput(QPravik::Inputs input) override;
    void setPanning(QPravik::PanCtrl panning) override;
    void setGain(int gain) override;
    void setName(const QString& name, bool relabel) override;
    void setBalance(int balance) override;

    QPravikRowLabel portLabel;
    QPravikRowLabel nameLabel;
    QPravikKnob knob;
    QPravikAudioBalance balanceSlider;
    const bool withBalance;
    const bool offersStereo;

public slots:
    void knobGainChanged(int value);
    void knobPanningChanged(QPravik::PanCtrl panning);
    void audioBalanceChanged(int value);

private:
    int currentMode;
    int currentState = 0;

    void layOut();
    // The gain a knob value stands for: a panning knob's minimum is "Off".
    int gainOf(int knobValue) const;
};

// Compact slot: a button naming the source (a click picks another), the gain
// as text and the pan marks beside it. A right click anywhere on it is
// reported on its own.
class QPravikAudioButton : public QPravikAudioBase
{
    Q_OBJECT
public:
    explicit QPravikAudioButton(QWidget* parent = nullptr);

    // Active (while the slot's popup is open): outlined button, white text.
    void setActive(bool active);
    bool isActive() const { return active; }

    void setInput(QPravik::Inputs input) override;
    void setPanning(QPravik::PanCtrl panning) override;
    void setGain(int gain) override;
    void setName(const QString& name, bool relabel) override;
    void setBalance(int) override {}

    QPravikButton sourceButton;
    // Shows the gain text and, around it, the pan marks.
    QPravikAudio gainLabel;

signals:
    void buttonClicked();
    void rightButtonClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool active = false;
};
