#include "tests/sshfixture/sshdfixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTcpSocket>
#include <QThread>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char sshdPath[] = "/usr/sbin/sshd";
const char keygenPath[] = "/usr/bin/ssh-keygen";
const char accountName[] = "kandelo-test";
// Not only ASCII: SSH carries passwords as UTF-8.
const char accountPassword[] = "kandelo-test-Pw1-\xc3\xa9";

bool run(const QString &program, const QStringList &arguments, const QByteArray &input,
         QString *failure)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        *failure = QStringLiteral("%1 did not start: %2").arg(program, process.errorString());
        return false;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        *failure = QStringLiteral("%1 %2 failed: %3")
                       .arg(program, arguments.join(QLatin1Char(' ')),
                            QString::fromLocal8Bit(process.readAll()).trimmed());
        return false;
    }
    return true;
}

quint16 freePort(const QHostAddress &address)
{
    QTcpServer probe;
    if (!probe.listen(address, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

SshdFixture::SshdFixture(const QHostAddress &address) : address(address) {}

SshdFixture::~SshdFixture()
{
    stop();
}

QString SshdFixture::user()
{
    return QString::fromLatin1(accountName);
}

QString SshdFixture::password()
{
    return QString::fromUtf8(accountPassword);
}

bool SshdFixture::isRunning() const
{
    return sshd && sshd->state() == QProcess::Running;
}

QString SshdFixture::log() const
{
    if (sshd)
        output += sshd->readAllStandardError();
    return QString::fromLocal8Bit(output);
}

bool SshdFixture::prepareAccount()
{
    if (::geteuid() != 0) {
        error = QStringLiteral("needs root: the tunnel tests create the local account '%1' and "
                               "run their own sshd (run them through .ci/run or as root)")
                    .arg(user());
        return false;
    }
    for (const char *tool : {sshdPath, keygenPath}) {
        if (!QFileInfo(QString::fromLatin1(tool)).isExecutable()) {
            error = QStringLiteral("%1 is missing (install openssh-server)").arg(QString::fromLatin1(tool));
            return false;
        }
    }

    // Parallel test processes share the account; one of them sets it up at a time.
    QLockFile lock(QDir::tempPath() + QStringLiteral("/kandelo-test-account.lock"));
    lock.setStaleLockTime(120000);
    if (!lock.tryLock(120000)) {
        error = QStringLiteral("could not lock the test account set-up");
        return false;
    }
    if (!::getpwnam(accountName)
        && !run(QStringLiteral("useradd"),
                {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                 QStringLiteral("--home-dir"), QStringLiteral("/nonexistent"),
                 QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"),
                 QStringLiteral("--comment"), QStringLiteral("Kandelo tunnel tests"), user()},
                {}, &error)) {
        return false;
    }
    if (!run(QStringLiteral("chpasswd"), {},
             QByteArray(accountName) + ':' + accountPassword + '\n', &error)) {
        return false;
    }
    // sshd refuses to start without its privilege separation directory.
    if (!QFileInfo::exists(QStringLiteral("/run/sshd")) && ::mkdir("/run/sshd", 0755) != 0
        && !QFileInfo::exists(QStringLiteral("/run/sshd"))) {
        error = QStringLiteral("cannot create /run/sshd");
        return false;
    }
    return true;
}

bool SshdFixture::writeConfig()
{
    const QString path = dir->filePath(QStringLiteral("sshd_config"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    const QString text =
        QStringLiteral("ListenAddress %1:%2\n"
                       "HostKey %3\n"
                       "PidFile %4\n"
                       "AuthorizedKeysFile none\n"
                       "PasswordAuthentication yes\n"
                       "KbdInteractiveAuthentication no\n"
                       "PubkeyAuthentication no\n"
                       "PermitRootLogin no\n"
                       "UsePAM no\n"
                       "AllowUsers %5\n"
                       "AllowTcpForwarding yes\n"
                       "X11Forwarding no\n"
                       "StrictModes no\n"
                       "PrintMotd no\n"
                       "UseDNS no\n"
                       "MaxStartups 100\n"
                       "MaxSessions 100\n"
                       "LogLevel VERBOSE\n")
            .arg(address.toString())
            .arg(listenPort)
            .arg(dir->filePath(QStringLiteral("host_ed25519")), dir->filePath(QStringLiteral("sshd.pid")),
                 user());
    return file.write(text.toUtf8()) > 0;
}

bool SshdFixture::waitForBanner(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (sshd->state() != QProcess::Running)
            return false;
        QTcpSocket probe;
        probe.connectToHost(address, listenPort);
        if (probe.waitForConnected(500)) {
            while (probe.bytesAvailable() < 4 && probe.waitForReadyRead(1000)) {
            }
            if (probe.peek(4) == "SSH-")
                return true;
        }
        QThread::msleep(50);
    }
    return false;
}

bool SshdFixture::start()
{
    if (isRunning())
        return true;
    error.clear();
    if (!prepareAccount())
        return false;

    dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kandelo-sshd-XXXXXX"));
    if (!dir->isValid()) {
        error = QStringLiteral("cannot create a temporary directory");
        return false;
    }
    if (!run(QString::fromLatin1(keygenPath),
             {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
              QString(), QStringLiteral("-f"), dir->filePath(QStringLiteral("host_ed25519"))},
             {}, &error)) {
        return false;
    }

    // The free port may be taken between probe and bind: try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        listenPort = freePort(address);
        if (listenPort == 0) {
            error = QStringLiteral("cannot bind %1").arg(address.toString());
            return false;
        }
        if (!writeConfig())
            return false;
        sshd = std::make_unique<QProcess>();
        sshd->setProcessChannelMode(QProcess::SeparateChannels);
        sshd->start(QString::fromLatin1(sshdPath),
                    {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                     dir->filePath(QStringLiteral("sshd_config"))});
        if (!sshd->waitForStarted(10000)) {
            error = QStringLiteral("sshd did not start: %1").arg(sshd->errorString());
            sshd.reset();
            return false;
        }
        if (waitForBanner(15000))
            return true;
        output += sshd->readAllStandardError();
        stop();
        error = QStringLiteral("sshd did not come up on %1:%2: %3")
                    .arg(address.toString())
                    .arg(listenPort)
                    .arg(QString::fromLocal8Bit(output).trimmed());
    }
    return false;
}

void SshdFixture::stop()
{
    if (!sshd)
        return;
    if (sshd->state() != QProcess::NotRunning) {
        sshd->terminate();
        if (!sshd->waitForFinished(5000)) {
            sshd->kill();
            sshd->waitForFinished(5000);
        }
    }
    output += sshd->readAllStandardError();
    sshd.reset();
}

int SshdFixture::dropConnections()
{
    if (!isRunning())
        return 0;
    // Every descendant holds the connection's socket (the privilege-separated
    // child too), so all of them go.
    QList<qint64> parents{sshd->processId()};
    QList<qint64> doomed;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (qsizetype i = 0; i < parents.size(); ++i) {
        for (const QString &entry : entries) {
            bool numeric = false;
            const qint64 pid = entry.toLongLong(&numeric);
            if (!numeric)
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // "pid (comm) state ppid ...": comm may hold blanks, so start after ')'.
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && fields.at(1).toLongLong() == parents.at(i) && !parents.contains(pid)) {
                parents.append(pid);
                doomed.append(pid);
            }
        }
    }
    for (qint64 pid : std::as_const(doomed))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    return int(doomed.size());
}

EchoPeer::EchoPeer(QObject *parent) : QTcpServer(parent)
{
    listen(QHostAddress(QHostAddress::LocalHost), 0);
}

int EchoPeer::openConnections() const
{
    int open = 0;
    for (QTcpSocket *socket : sockets)
        open += socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;
    return open;
}

void EchoPeer::closeAll()
{
    for (QTcpSocket *socket : sockets)
        socket->disconnectFromHost();
}

void EchoPeer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        ::close(static_cast<int>(descriptor));
        delete socket;
        return;
    }
    ++accepted;
    sockets.append(socket);
    socket->setProperty("echoed", qint64(0));
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { echo(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        sockets.removeOne(socket);
        socket->deleteLater();
        emit connectionClosed();
    });
    echo(socket);
}

void EchoPeer::echo(QTcpSocket *socket)
{
    qint64 echoed = socket->property("echoed").toLongLong();
    QByteArray data = socket->readAll();
    received += data.size();
    if (closeLimit >= 0 && echoed + data.size() >= closeLimit) {
        data.truncate(closeLimit - echoed);
        socket->write(data);
        socket->setProperty("echoed", closeLimit);
        socket->disconnectFromHost();
        return;
    }
    socket->write(data);
    socket->setProperty("echoed", echoed + data.size());
}
