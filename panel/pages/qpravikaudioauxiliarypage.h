#pragma once

#include "panel/pages/qpravikaudiowidget.h"

// Page 5. Until it is built: the audio pages' header and strip only.
class QPravikAudioAuxiliaryPage : public QPravikAudioWidget
{
    Q_OBJECT
public:
    explicit QPravikAudioAuxiliaryPage(QWidget* parent = nullptr) : QPravikAudioWidget(parent) {}

    void refresh() override {}
};
