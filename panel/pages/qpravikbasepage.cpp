#include "panel/pages/qpravikbasepage.h"

#include "panel/pages/qpravikwindow.h"

QPravikBasePage::QPravikBasePage(QPravikWindow* parent)
    : QWidget(parent)
    , panelWindow(parent)
{
    statusPanel = new QPravikStatusPanel(0, this);
    statusPanel->move(132, 7);
    statusPanel->setProgramMode(1, 0);
}
