#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class QFile;

// Size- and count-bounded set of time-stamped log files in one directory.
class LogFile
{
public:
    explicit LogFile(const QString &baseName);
    virtual ~LogFile();

    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    // Bytes per file for a limit in KB: -1 (no limit) below 1 KB, and the
    // largest 32-bit limit where the product would not fit.
    static qint32 sizeLimit(int kilobytes);

    void setMaxFiles(int count);
    bool setDirectory(const QString &path);
    void scanDirectory(const QString &path);
    bool open(const QString &path);
    // False when the bytes did not reach a file.
    bool write(const QByteArray &bytes);
    bool writeLine(const QByteArray &bytes);
    void pruneFiles();
    void close();

    bool isOpen() const { return file != nullptr; }
    int maxFiles() const { return maxFileCount; }
    QString directory() const { return dir; }
    QStringList files() const { return fileList; }
    QString currentFileName() const;

    qint32 maxSize = -1;   // bytes per file, -1 no limit; set by the owner

protected:
    // Local time that names a new file.
    virtual QDateTime currentDateTime() const;

private:
    QString pathFor(const QDateTime &when, const QString &path) const;

    int maxFileCount = -1;
    QFile *file = nullptr;
    qint64 fileSize = 0;   // bytes in the open file, counted as they are written
    QDateTime namedAt;     // the time the open file's name gives
    QString baseName;
    QString dir;
    QStringList fileList;   // oldest first; the open file is the newest
};

// The log the message handler writes to: published by its owner once it is
// set up and withdrawn (null) before it is deleted.
void setMessageLog(LogFile *logFile);

// Qt message handler: one line per message into the published log. Errors and
// fatal messages, and every line the log cannot take (none published, no file
// open, a failed write), also go to standard error.
void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text);
