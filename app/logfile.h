#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class QFile;
class Velto;

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
    void write(const QByteArray &bytes);
    void writeLine(const QByteArray &bytes);
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
    QString baseName;
    QString dir;
    QStringList fileList;   // oldest first; the open file is the newest
};

// The process-wide main window, published at the end of its construction
// together with its log writer and withdrawn (both null) just before that
// writer is deleted. The message handler writes only while both are set.
void setMainWindow(Velto *window, LogFile *logFile);
Velto *mainWindow();

// Qt message handler: one line per message into the main window's log.
void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text);
