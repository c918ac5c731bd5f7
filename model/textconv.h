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

// Lossless pair for unit texts that may go back to the unit (names, SSIDs,
// stream names...): toUnitUtf8(fromUnitUtf8(b)) == b for any bytes, invalid
// UTF-8 included; such bytes are carried as lone surrogates U+DC80..U+DCFF.
QString fromUnitUtf8(const std::string& bytes);
std::string toUnitUtf8(const QString& text);

// Splits "first/second/name" (name kept as the unit's UTF-8 bytes). Leaves the
// outputs untouched and returns false when the text is not of that form
// (both "/" are needed; the name may be empty).
bool parseSlashTriple(int& first, int& second, std::string& name, const std::string& text);

// Record form for the stream records that carry streamId, streamSubId and name.
template <class Record>
bool parseSlashTriple(Record& record, const std::string& text)
{
    return parseSlashTriple(record.streamId, record.streamSubId, record.name, text);
}
