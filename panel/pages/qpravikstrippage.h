#pragma once

#include <QWidget>

#include "panel/kit/statuspanel.h"
#include "panel/pages/panelshared.h"

class QPravikWindow;

// A page with its own status strip, which the window drives through the page.
// Pages that are still to come stand here with only the strip and the
// operations the window calls on them.
class QPravikStripPage : public QWidget, public IPravikStatusPanel
{
    Q_OBJECT
public:
    QPravikStripPage(int compact, QPravikWindow* parent);

    void setSoundIdState(int state) override { statusPanel->setSoundIdState(state); }
    void setBatteryLevel(int level) override { statusPanel->setBatteryLevel(level); }
    void setNetwork(int code, int generation) override { statusPanel->setNetwork(code, generation); }
    void setProgramMode(int flags, int mode) override { statusPanel->setProgramMode(flags, mode); }
    void setDataActive(bool active) override { statusPanel->setDataActive(active); }
    void setSignalQuality(int state, int bars) override { statusPanel->setSignalQuality(state, bars); }
    void setAudioLevels(int txL, int txR, int rxL, int rxR, int ou1, int ou2, bool immediate) override
    {
        statusPanel->setAudioLevels(txL, txR, rxL, rxR, ou1, ou2, immediate);
    }
    void setLinkState(int line, int state) override { statusPanel->setLinkState(line, state); }
    void setLinkQualityEnabled(int line, bool on) override { statusPanel->setLinkQualityEnabled(line, on); }
    void setLinkQuality(int line, int q1, int q2) override { statusPanel->setLinkQuality(line, q1, q2); }
    void setSipState(int line, int state) override { statusPanel->setSipState(line, state); }

    QPravikWindow* window;
    QPravikStatusPanel* statusPanel;

signals:
    void pageActivated(QPravik::Page page);
};
