#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>

// Counts the paint events of the widgets it is installed on.
class PaintCounter : public QObject
{
public:
    PaintCounter() = default;
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }

    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};
