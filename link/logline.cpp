#include "link/logline.h"

#include <QLoggingCategory>
#include <QMessageLogContext>

namespace {

void emitLine(QtMsgType type, const QString& line)
{
    QString quoted;
    quoted.reserve(line.size() + 3);
    quoted.append(QLatin1Char('"')).append(line).append(QLatin1String("\" "));
    // What qDebug() hands the handler, without building a stream first.
    const QMessageLogContext context(nullptr, 0, nullptr, "default");
    qt_message_output(type, context, quoted);
}

} // namespace

bool debugLogEnabled()
{
    return QLoggingCategory::defaultCategory()->isDebugEnabled();
}

void logDebug(const QString& line)
{
    if (debugLogEnabled())
        emitLine(QtDebugMsg, line);
}

void logError(const QString& line)
{
    if (QLoggingCategory::defaultCategory()->isCriticalEnabled())
        emitLine(QtCriticalMsg, line);
}
