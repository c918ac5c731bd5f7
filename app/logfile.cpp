#include "app/logfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStringEncoder>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

// The local zone's offset from UTC in seconds at a time in milliseconds since
// the epoch, as QDateTime's local time has it, without its cost per call: the
// C library looks at the zone's file again every time. Asked for once a
// minute, per thread: daylight-saving changes fall on whole minutes, so they
// are followed at once, and a change of zone within a minute.
int localOffset(qint64 msecsSinceEpoch)
{
    thread_local qint64 minute = std::numeric_limits<qint64>::min();
    thread_local int offset = 0;
    if (msecsSinceEpoch / 60000 != minute) {
        minute = msecsSinceEpoch / 60000;
        offset = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).offsetFromUtc();
    }
    return offset;
}

// "hh:mm:ss.zzz" of a local time in milliseconds since the epoch.
void writeTimeOfDay(qint64 localMSecs, char (&out)[12])
{
    constexpr qint64 day = 24 * 60 * 60 * 1000;
    const qint64 ms = (localMSecs % day + day) % day;
    const auto put = [&out](int at, qint64 value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            out[at + i] = char('0' + value % 10);
    };
    put(0, ms / 3600000, 2);
    out[2] = ':';
    put(3, ms / 60000 % 60, 2);
    out[5] = ':';
    put(6, ms / 1000 % 60, 2);
    out[8] = '.';
    put(9, ms % 1000, 3);
}

} // namespace

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
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    return QDateTime::fromMSecsSinceEpoch(now, Qt::OffsetFromUTC, localOffset(now));
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
    const QDateTime now = currentDateTime();
    const QString name = QFileInfo(pathFor(now, path)).absoluteFilePath();
    QFile *f = new QFile(name);
    // A second file within the same second gets the same name: append to it
    // rather than truncate what is already there.
    const QIODevice::OpenMode mode = f->exists() ? QIODevice::Append : QIODevice::Truncate;
    if (!f->open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered | mode)) {
        delete f;
        return false;
    }
    file = f;
    fileSize = f->size();
    namedAt = now;
    fileList.removeAll(name);
    fileList.append(name);
    pruneFiles();
    return true;
}

bool LogFile::write(const QByteArray &bytes)
{
    if (!file)
        return false;
    const qint64 count = file->write(bytes);
    fileSize += qMax<qint64>(count, 0);
    const bool written = count == bytes.size();
    if (maxSize > 0 && fileSize > maxSize) {
        // Names go to the second: within the same one the next file would be
        // this one again.
        const QDateTime now = currentDateTime();
        if (now.date() == namedAt.date()
            && now.time().msecsSinceStartOfDay() / 1000 == namedAt.time().msecsSinceStartOfDay() / 1000)
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
    // Time, tag, text and newline in one block, the text encoded straight
    // into it as toLocal8Bit() would.
    constexpr qsizetype timeSize = 12, tagSize = 7;
    QStringEncoder toLocal8Bit(QStringEncoder::System, QStringEncoder::Flag::Stateless);
    QByteArray line(timeSize + tagSize + toLocal8Bit.requiredSpace(text.size()) + 1, Qt::Uninitialized);
    char time[timeSize];
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    writeTimeOfDay(now + qint64(localOffset(now)) * 1000, time);
    char *out = std::copy_n(tag, tagSize, std::copy_n(time, timeSize, line.data()));
    out = toLocal8Bit.appendToBuffer(out, text);
    *out++ = '\n';
    line.truncate(out - line.constData());
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
