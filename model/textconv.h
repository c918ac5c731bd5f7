#pragma once

#include <QString>

#include <string>

// Protocol values are byte strings; display values are QStrings. Conversion
// happens only at the user-interface edge.

// One byte per UTF-16 code unit; anything above U+00FF becomes '?'.
std::string toStdString(const QString& text);
// One character per byte, embedded NUL bytes included.
QString toQString(const std::string& bytes);
// UTF-8 limited to the Latin-1 repertoire (characters above U+00FF become '?').
std::string toUtf8StdString(const QString& text);
// Folds two-byte UTF-8 forms of U+0080..U+00FF; any other byte passes as itself.
QString fromUtf8StdString(const std::string& bytes);

// Splits "first/second/name" (name in UTF-8, stored as Latin-1). Leaves the
// outputs untouched and returns false when the text is not of that form
// (both "/" are needed; the name may be empty).
bool parseSlashTriple(int& first, int& second, std::string& name, const std::string& text);

// Record form for the stream records that carry streamId, streamSubId and name.
template <class Record>
bool parseSlashTriple(Record& record, const std::string& text)
{
    return parseSlashTriple(record.streamId, record.streamSubId, record.name, text);
}
