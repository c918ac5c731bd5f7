#pragma once

#include <QWidget>

#include "panel/kit/statuspanel.h"
#include "panel/pages/panelshared.h"

class QPravikWindow;

// Base of the main and connection pages: their full-height status strip,
// which the window feeds through the page's IPravikStatusPanel operations.
class QPravikBasePage : public QWidget, public QPravikStatusForward
{
    Q_OBJECT
public:
    explicit QPravikBasePage(QPravikWindow* parent);

    // Named apart from QWidget::window(), the top-level widget.
    QPravikWindow* const panelWindow;
};
