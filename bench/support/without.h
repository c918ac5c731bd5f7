#pragma once

// What the program's own prescribed work costs, shown by taking it away:
// with BENCH_WITHOUT holding "busy" the status bar no longer turns red
// and reads "BUSY" around each synchronous call, with "log" the program's
// debug lines (the link's requests and replies) are not written. The
// figures so made are not the program's; they only show the share.

#include <QByteArray>
#include <QLoggingCategory>

#include <cstdio>

#include "app/velto.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"

inline void takeAwayPrescribedWork(Velto& program)
{
    const QByteArray without = qgetenv("BENCH_WITHOUT");
    if (without.contains("busy")) {
        QObject::disconnect(frontPanelCom(), &zel::CCom::busyStateChanged, &program, nullptr);
        std::printf("(BENCH_WITHOUT: no BUSY state around the calls)\n");
    }
    if (without.contains("log")) {
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
        std::printf("(BENCH_WITHOUT: no debug lines in the log)\n");
    }
}
