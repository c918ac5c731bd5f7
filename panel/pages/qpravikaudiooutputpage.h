#pragma once

#include "panel/pages/qpravikaudiowidget.h"

// Page 6. Until it is built: the audio pages' header and strip only.
class QPravikAudioOutputPage : public QPravikAudioWidget
{
    Q_OBJECT
public:
    explicit QPravikAudioOutputPage(QWidget* parent = nullptr) : QPravikAudioWidget(parent) {}

    void refresh() override {}
};
