#pragma once

#include "panel/pages/qpravikstrippage.h"

// Page 1. Until the page is built: the relay, banner and audio-configuration
// operations the window calls, doing nothing.
class QPravikMainPage : public QPravikStripPage
{
    Q_OBJECT
public:
    explicit QPravikMainPage(QPravikWindow* parent) : QPravikStripPage(0, parent) {}

    void refreshAudioConfig() {}
    void setRelayInState(int, bool) {}
    void setRelayOutState(int, bool) {}
    void setLineTexts(int, const QString&, const QString&) {}
    void setLineExtra(int, const QString&) {}
};
