#ifndef KANDELO_LINK_LOGLINE_H
#define KANDELO_LINK_LOGLINE_H

// Diagnostic lines in the form of a text item of Qt's debug stream: the text
// in double quotes, followed by a blank. Qt 6's stream would escape quotes
// inside the text and drop the blank, so the form is built here.

#include <QString>

// Whether debug lines go anywhere; callers skip building a line when not.
bool debugLogEnabled();

void logDebug(const QString& line);
// At critical level, as the program reports its errors.
void logError(const QString& line);

#endif
