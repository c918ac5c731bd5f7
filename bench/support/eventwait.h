#pragma once

// Waits of the benchmarks that drive the panel: the event loop runs, sleeping
// while there is nothing to do.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <functional>

// Until the condition holds or the time is up.
inline bool waitFor(const std::function<bool()>& condition, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(int(std::min<qint64>(deadline.remainingTime(), 5)), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

inline void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Until every event posted so far has been handled, the repaint the last
// changes asked for included: a window's update request is posted at low
// priority, and events of one priority keep their order, so a low-priority
// event posted now comes after it (and after any layout it waits for).
inline void finishRepaint()
{
    class Marker : public QObject
    {
    public:
        explicit Marker(QEventLoop& loop) : loop(loop) {}
        bool event(QEvent* event) override
        {
            if (event->type() != QEvent::User)
                return QObject::event(event);
            loop.quit();
            return true;
        }

    private:
        QEventLoop& loop;
    };
    QEventLoop loop;
    Marker marker(loop);
    QCoreApplication::postEvent(&marker, new QEvent(QEvent::User), Qt::LowEventPriority);
    loop.exec();
}
