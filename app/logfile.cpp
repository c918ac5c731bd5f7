#include "app/logfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <cstdio>
#include <limits>

LogFile::LogFile(const QString &name)
    : baseName(name)
{
}

LogFile::~LogFile()
{
    close();
}

qint32 LogFile::sizeLimit(int kilobytes)
{
    if (kilobytes < 1)
        return -1;
    const qint64 bytes = qint64(kilobytes) * 1024;
    if (bytes > std::numeric_limits<qint32>::max())
        return std::numeric_limits<qint32>::max();
    return qint32(bytes);
}

void LogFile::setMaxFiles(int count)
{
    if (count == maxFileCount)
        return;
    if (count >= 1) {
        maxFileCount = count;
        if (file)
            pruneFiles();
    } else {
        maxFileCount = -1;
    }
}

bool LogFile::setDirectory(const QString &path)
{
    // An empty path would put the files at the root of the file system.
    if (file || path.isEmpty())
        return false;
    if (!QDir(path).exists() && !QDir().mkpath(path))
        return false;
    dir = path;
    scanDirectory(path);
    return open(path);
}

void LogFile::scanDirectory(const QString &path)
{
    fileList.clear();
    const QString suffix = QLatin1Char('-') + baseName + QLatin1String(".log");
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        // Symbolic links and other non-regular entries are not ours to prune.
        if (!info.isFile() || info.isSymLink())
            continue;
        if (info.fileName().endsWith(suffix, Qt::CaseSensitive))
            fileList.append(info.absoluteFilePath());
    }
    fileList.sort(Qt::CaseSensitive);
}

QDateTime LogFile::currentDateTime() const
{
    return QDateTime::currentDateTime();
}

QString LogFile::pathFor(const QDateTime &when, const QString &path) const
{
    return path + QLatin1Char('/') + when.toString(QStringLiteral("yyMMddThhmmss-")) + baseName
         + QLatin1String(".log");
}

QString LogFile::currentFileName() const
{
    return file ? file->fileName() : QString();
}

bool LogFile::open(const QString &path)
{
    if (file)
        return false;
    const QString name = QFileInfo(pathFor(currentDateTime(), path)).absoluteFilePath();
    QFile *f = new QFile(name);
    // A second file within the same second gets the same name: append to it
    // rather than truncate what is already there.
    const QIODevice::OpenMode mode = f->exists() ? QIODevice::Append : QIODevice::Truncate;
    if (!f->open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered | mode)) {
        delete f;
        return false;
    }
    file = f;
    fileList.removeAll(name);
    fileList.append(name);
    pruneFiles();
    return true;
}

bool LogFile::write(const QByteArray &bytes)
{
    if (!file)
        return false;
    const bool written = file->write(bytes) == bytes.size();
    if (maxSize > 0 && file->size() > maxSize) {
        // Within the same second the next file would be this one again.
        if (QFileInfo(pathFor(currentDateTime(), dir)).absoluteFilePath() == file->fileName())
            return written;
        file->close();
        delete file;
        file = nullptr;
        open(dir);
    }
    return written;
}

bool LogFile::writeLine(const QByteArray &bytes)
{
    QByteArray line(bytes);
    line.append('\n');
    return write(line);
}

void LogFile::pruneFiles()
{
    if (maxFileCount < 1)
        return;
    const QString current = currentFileName();
    int i = 0;
    while (fileList.size() > maxFileCount && i < fileList.size()) {
        // The open file is never deleted, even when the clock went back and
        // it no longer sorts last.
        if (fileList.at(i) == current) {
            ++i;
            continue;
        }
        QFile::remove(fileList.takeAt(i));
    }
}

void LogFile::close()
{
    fileList.clear();
    if (file) {
        file->close();
        delete file;
        file = nullptr;
    }
}

namespace {

// Constant-initialised, so messages during static destruction still find it.
QBasicMutex logMutex;
LogFile *publishedLog = nullptr;
thread_local bool inHandler = false;

const char *tagFor(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return " debug ";
    case QtWarningMsg:
    case QtInfoMsg:
        return " info  ";
    case QtCriticalMsg:
        return " error ";
    case QtFatalMsg:
        return " fatal ";
    }
    return nullptr;
}

} // namespace

void setMessageLog(LogFile *logFile)
{
    QMutexLocker lock(&logMutex);
    publishedLog = logFile;
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    const char *tag = tagFor(type);
    if (!tag)
        return;
    const QByteArray time = QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")).toLatin1();
    QByteArray line;
    line.reserve(time.size() + 7 + text.size() + 1);
    line.append(time).append(tag).append(text.toLocal8Bit()).append('\n');
    // Standard error is the only witness of a start that fails before the log
    // opens, such as one without a display.
    bool toStandardError = type == QtCriticalMsg || type == QtFatalMsg || inHandler;
    if (!inHandler) {
        // A message raised while writing a line (a file warning) would recurse.
        inHandler = true;
        {
            // Qt itself may warn from other threads; the lock keeps lines whole
            // and the writer alive while one is written.
            QMutexLocker lock(&logMutex);
            if (!publishedLog || !publishedLog->write(line))
                toStandardError = true;
        }
        inHandler = false;
    }
    if (toStandardError)
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}
