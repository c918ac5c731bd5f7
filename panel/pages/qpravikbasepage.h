#pragma once

#include <QWidget>

#include "panel/kit/statuspanel.h"
#include "panel/pages/panelshared.h"

class QPravikWindow;

// Base of the main and connection pages: their full-height status strip,
// which the window feeds through the page's IPravikStatusPanel operations.
class QPravikBasePage : public QWidget, public IPravikStatusPanel
{
    Q_OBJECT
public:
    explicit QPravikBasePage(QPravikWindow* parent);

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

    // Named apart from QWidget::window(), the top-level widget.
    QPravikWindow* const panelWindow;
    QPravikStatusPanel* const statusPanel;
};
