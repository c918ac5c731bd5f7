#pragma once

#include "panel/pages/qpravikstrippage.h"

class QPravikConnPanel;

// Page 2: a connection panel per line. Until the page is built it keeps the
// panels' texts and states for the window and nothing else.
class QPravikConnectionPage : public QPravikStripPage
{
    Q_OBJECT
public:
    explicit QPravikConnectionPage(QPravikWindow* parent);

    void setProgramMode(int flags, int mode) override;
    void setLinkState(int line, int state) override;

    // Line 1 or 2; other lines are ignored.
    void setLineStatus(int line, const QString& text);
    void setLineNote(int line, const QString& text);
    void setLineText(int line, const QString& text, int index);
    QPravikConnPanel* panel(int line) const;

    QPravikConnPanel* panels[2];
};
