#pragma once

// What both children of the start-up benchmark share: the quit after the
// first painted frame and the child's own CPU time.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>

// Quits once the window or any of its widgets has been painted the first
// time; the quit is queued so the whole paint pass, children and flush
// included, is over by then.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QWidget* window) : window(window) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !seen && object->isWidgetType()
            && static_cast<QWidget*>(object)->window() == window) {
            seen = true;
            // exit, not quit: quit would ask the window, which asks the operator.
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return false;
    }

private:
    QWidget* window;
    bool seen = false;
};

inline double ownCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
           + usage.ru_stime.tv_usec / 1e6;
}
