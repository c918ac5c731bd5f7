#include "link/logline.h"

#include <QLoggingCategory>
#include <QMessageLogContext>

#include <charconv>

namespace {

void emitQuoted(QtMsgType type, const QString& quoted)
{
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
        (LogLine() << line).writeDebug();
}

void logError(const QString& line)
{
    (LogLine() << line).writeError();
}

LogLine::LogLine()
{
    // Most lines fit; longer ones grow as any string does.
    m_text.reserve(160);
    appendBytes("\"", 1);
}

LogLine& LogLine::operator<<(QLatin1String text)
{
    appendBytes(text.data(), text.size());
    return *this;
}

LogLine& LogLine::operator<<(const std::string& latin1)
{
    appendBytes(latin1.data(), qsizetype(latin1.size()));
    return *this;
}

LogLine& LogLine::operator<<(const QString& text)
{
    flush();
    m_text += text;
    return *this;
}

LogLine& LogLine::operator<<(qint64 number)
{
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    appendBytes(digits, end - digits);
    return *this;
}

void LogLine::flush()
{
    m_text += QLatin1String(m_latin1.constData(), m_latin1.size());
    m_latin1.clear();
}

void LogLine::writeDebug()
{
    if (!debugLogEnabled())
        return;
    appendBytes("\" ", 2);
    flush();
    emitQuoted(QtDebugMsg, m_text);
}

void LogLine::writeError()
{
    if (!QLoggingCategory::defaultCategory()->isCriticalEnabled())
        return;
    appendBytes("\" ", 2);
    flush();
    emitQuoted(QtCriticalMsg, m_text);
}
