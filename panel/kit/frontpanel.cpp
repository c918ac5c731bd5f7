#include "panel/kit/frontpanel.h"

#include <QCoreApplication>

#include "panel/pages/panelshared.h"

QPointer<QWidget> frontPanelWindow;

void postKeyToFrontPanel(int kind, int key, int fromControl)
{
    QWidget* window = frontPanelWindow.data();
    if (!window)
        return;
    QCoreApplication::postEvent(window, new QPravikEvent(kind, key, fromControl));
}
