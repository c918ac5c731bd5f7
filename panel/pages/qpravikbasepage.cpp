#include "panel/pages/qpravikbasepage.h"

#include "panel/pages/qpravikwindow.h"

QPravikBasePage::QPravikBasePage(QPravikWindow* parent)
    : QWidget(parent)
    , panelWindow(parent)
    , statusPanel(new QPravikStatusPanel(0, this))
{
    statusPanel->move(132, 7);
    statusPanel->setProgramMode(1, 0);
}

void QPravikBasePage::setSoundIdState(int state) { statusPanel->setSoundIdState(state); }
void QPravikBasePage::setBatteryLevel(int level) { statusPanel->setBatteryLevel(level); }
void QPravikBasePage::setNetwork(int code, int generation) { statusPanel->setNetwork(code, generation); }
void QPravikBasePage::setProgramMode(int flags, int mode) { statusPanel->setProgramMode(flags, mode); }
void QPravikBasePage::setDataActive(bool active) { statusPanel->setDataActive(active); }
void QPravikBasePage::setSignalQuality(int state, int bars) { statusPanel->setSignalQuality(state, bars); }
void QPravikBasePage::setAudioLevels(int txL, int txR, int rxL, int rxR, int ou1, int ou2, bool immediate)
{
    statusPanel->setAudioLevels(txL, txR, rxL, rxR, ou1, ou2, immediate);
}
void QPravikBasePage::setLinkState(int line, int state) { statusPanel->setLinkState(line, state); }
void QPravikBasePage::setLinkQualityEnabled(int line, bool on) { statusPanel->setLinkQualityEnabled(line, on); }
void QPravikBasePage::setLinkQuality(int line, int q1, int q2) { statusPanel->setLinkQuality(line, q1, q2); }
void QPravikBasePage::setSipState(int line, int state) { statusPanel->setSipState(line, state); }
