#pragma once

#include "panel/pages/qpravikstrippage.h"

// Pages 3 to 6. Until they are built: the compact strip, the refresh after a
// login and the input meters of the overview page, doing nothing.
class QPravikAudioWidget : public QPravikStripPage
{
    Q_OBJECT
public:
    explicit QPravikAudioWidget(QPravikWindow* parent) : QPravikStripPage(1, parent) {}

    virtual void refresh() {}
};

class QPravikAudioPage : public QPravikAudioWidget
{
    Q_OBJECT
public:
    using QPravikAudioWidget::QPravikAudioWidget;

    void setMeterLevels(const int*, int, bool) {}
};

class QPravikAudioInputPage : public QPravikAudioWidget
{
    Q_OBJECT
public:
    using QPravikAudioWidget::QPravikAudioWidget;
};

class QPravikAudioAuxiliaryPage : public QPravikAudioWidget
{
    Q_OBJECT
public:
    using QPravikAudioWidget::QPravikAudioWidget;
};

class QPravikAudioOutputPage : public QPravikAudioWidget
{
    Q_OBJECT
public:
    using QPravikAudioWidget::QPravikAudioWidget;
};
