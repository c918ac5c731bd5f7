#include "panel/pages/qpravikstrippage.h"

#include "panel/pages/qpravikwindow.h"

QPravikStripPage::QPravikStripPage(int compact, QPravikWindow* parent)
    : QWidget(parent)
    , window(parent)
    , statusPanel(new QPravikStatusPanel(compact, this))
{
    statusPanel->move(132, 7);
    statusPanel->setProgramMode(1, 0);
}
