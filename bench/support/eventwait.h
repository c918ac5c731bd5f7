#pragma once

// Waits of the benchmarks that drive the panel: the event loop runs, sleeping
// while there is nothing to do.

#include <QDeadlineTimer>
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
