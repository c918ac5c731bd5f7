#pragma once

#include "panel/pages/qpravikstrippage.h"

// Pages 7 to 10, one per headphone position. Until they are built: the
// compact strip, the refresh after a login and the copy between positions,
// doing nothing.
class QPravikHeadphoneWidget : public QPravikStripPage
{
    Q_OBJECT
public:
    QPravikHeadphoneWidget(int position, QPravikWindow* parent)
        : QPravikStripPage(1, parent), position(position)
    {
    }

    virtual void refresh() {}
    void copySettingsTo(QPravikHeadphoneWidget*) {}

    const int position; // 0 to 3

signals:
    // Positions 1 and 2: copy this position's settings to position target (1-4).
    void copySettingsClicked(int target);
};
