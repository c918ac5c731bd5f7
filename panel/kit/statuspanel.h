#pragma once

#include <QWidget>

class QLabel;
class QPravikBars;
class QPravikBattery;
class QPravikButton;
class QPravikDataActive;
class QPravikNetQuality;
class QPravikSigQuality;
class QPravikStatusPanel;

// What the panel window drives on whatever status strip the current page
// shows. A line argument of 1 selects line 1 (program), any other line 2
// (coordination). Not an owner: a strip is never deleted through it.
class IPravikStatusPanel
{
public:
    virtual void setSoundIdState(int state) = 0;
    virtual void setBatteryLevel(int level) = 0;
    virtual void setNetwork(int interfaceCode, int generation) = 0;
    virtual void setProgramMode(int modeFlags, int operationMode) = 0;
    virtual void setDataActive(bool active) = 0;
    virtual void setSignalQuality(int state, int bars) = 0;
    // Levels count down from full scale (0 full, 30 or more empty, 99 no value).
    virtual void setAudioLevels(int txL, int txR, int rxL, int rxR, int ou1, int ou2, bool immediate) = 0;
    virtual void setLinkState(int line, int state) = 0;
    virtual void setLinkQualityEnabled(int line, bool enabled) = 0;
    virtual void setLinkQuality(int line, int quality1, int quality2) = 0;
    virtual void setSipState(int line, int state) = 0;

protected:
    ~IPravikStatusPanel() = default;
};

// A page that shows a status strip: every operation goes to the strip the
// page made and set here. A page that shows more of the same state
// overrides the operation and still passes it on.
class QPravikStatusForward : public IPravikStatusPanel
{
public:
    void setSoundIdState(int state) override;
    void setBatteryLevel(int level) override;
    void setNetwork(int interfaceCode, int generation) override;
    void setProgramMode(int modeFlags, int operationMode) override;
    void setDataActive(bool active) override;
    void setSignalQuality(int state, int bars) override;
    void setAudioLevels(int txL, int txR, int rxL, int rxR, int ou1, int ou2, bool immediate) override;
    void setLinkState(int line, int state) override;
    void setLinkQualityEnabled(int line, bool enabled) override;
    void setLinkQuality(int line, int quality1, int quality2) override;
    void setSipState(int line, int state) override;

    // Owned by the page as its child widget.
    QPravikStatusPanel* statusPanel = nullptr;

protected:
    ~QPravikStatusForward() = default;
};

// The status strip along a page's top edge. Only displays: every operation
// but the levels does nothing when its values are those already shown. The
// compact strip (audio pages) has no receive meters and no quality gauges.
class QPravikStatusPanel : public QWidget, public IPravikStatusPanel
{
    Q_OBJECT
public:
    explicit QPravikStatusPanel(int compact, QWidget* parent = nullptr);

    void setSoundIdState(int state) override;
    void setBatteryLevel(int level) override;
    void setNetwork(int interfaceCode, int generation) override;
    void setProgramMode(int modeFlags, int operationMode) override;
    void setDataActive(bool active) override;
    void setSignalQuality(int state, int bars) override;
    void setAudioLevels(int txL, int txR, int rxL, int rxR, int ou1, int ou2, bool immediate) override;
    void setLinkState(int line, int state) override;
    void setLinkQualityEnabled(int line, bool enabled) override;
    void setLinkQuality(int line, int quality1, int quality2) override;
    void setSipState(int line, int state) override;

    struct Line {
        bool qualityEnabled = false;
        int linkState = 0;
        int sipState = 0;
        QPravikButton* caption = nullptr;
        QPravikButton* sip = nullptr;
        QPravikBars* tx = nullptr;
        QPravikBars* rx = nullptr;                      // null when compact
        QPravikNetQuality* quality[2] = {nullptr, nullptr}; // up, down; null when compact
    };

    const int compact;
    int modeFlags = -1;
    int operationMode = -1;
    int interfaceCode = 0xFFFF;
    int generation = 0;
    bool dataActive = false;
    QLabel* networkLabel = nullptr;
    QPravikSigQuality* signalGauge = nullptr;
    QPravikDataActive* dataGlyph = nullptr;
    Line lines[2];
    int batteryLevel = -1;
    QPravikBattery* battery = nullptr;
    int soundIdState = 0;
    QPravikButton* soundId = nullptr;

signals:
    void soundIdClicked();

public slots:
    void soundLabelClicked();

private:
    Line& line(int number) { return lines[number == 1 ? 0 : 1]; }
};
