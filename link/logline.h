#ifndef KANDELO_LINK_LOGLINE_H
#define KANDELO_LINK_LOGLINE_H

// Diagnostic lines in the form of a text item of Qt's debug stream: the text
// in double quotes, followed by a blank. Qt 6's stream would escape quotes
// inside the text and drop the blank, so the form is built here.

#include <QString>
#include <QVarLengthArray>
#include <QtGlobal>

#include <string>

// Whether debug lines go anywhere; callers skip building a line when not.
bool debugLogEnabled();

void logDebug(const QString& line);
// At critical level, as the program reports its errors.
void logError(const QString& line);

// A line built in place, for the link's frequent lines. Bytes of a
// std::string are taken as Latin-1 characters. Latin-1 pieces gather as bytes
// and join the text in one conversion: appending to a QString piece by piece
// would cost more than the rest of the line.
class LogLine
{
public:
    LogLine();

    LogLine& operator<<(const char* latin1) { return *this << QLatin1String(latin1); }
    LogLine& operator<<(QLatin1String text);
    LogLine& operator<<(const std::string& latin1);
    LogLine& operator<<(const QString& text);
    LogLine& operator<<(qint64 number);

    void writeDebug();
    void writeError();

private:
    void appendBytes(const char* bytes, qsizetype size) { m_latin1.append(bytes, size); }
    // Moves the gathered bytes into the text.
    void flush();

    QString m_text;
    QVarLengthArray<char, 256> m_latin1;
};

#endif
