#include "tests/sshfixture/sshdfixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtEndian>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char sshdPath[] = "/usr/sbin/sshd";
const char keygenPath[] = "/usr/bin/ssh-keygen";
// The process's account, shared by its fixtures.
struct Account
{
    QString name;
    QByteArray password;
    int users = 0;
};
Account account;

bool run(const QString &program, const QStringList &arguments, const QByteArray &input, QString *failure)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        *failure = QStringLiteral("%1 %2 failed: %3 %4")
                       .arg(program, arguments.join(QLatin1Char(' ')), process.errorString(),
                            QString::fromLocal8Bit(process.readAll()).trimmed());
        return false;
    }
    return true;
}

// Account set-up and removal of all test processes take turns.
std::unique_ptr<QLockFile> lockAccounts(QString *failure)
{
    auto lock = std::make_unique<QLockFile>(QDir::tempPath() + QStringLiteral("/kandelo-test-account.lock"));
    lock->setStaleLockTime(120000);
    if (!lock->tryLock(120000)) {
        *failure = QStringLiteral("could not lock the test account set-up");
        return nullptr;
    }
    return lock;
}

void removeAccount(const QString &name)
{
    QString ignored;
    // Forced: a session process of the account may still be ending.
    if (!run("userdel", {"--force", name}, {}, &ignored))
        run("usermod", {"--lock", "--expiredate", "1", name}, {}, &ignored);
}

// Accounts of test processes that are gone.
void removeLeftovers()
{
    const QRegularExpression ours(QStringLiteral("^kandelo-(\\d+)$"));
    QStringList doomed;
    ::setpwent();
    while (const passwd *entry = ::getpwent()) {
        const QString name = QString::fromLocal8Bit(entry->pw_name);
        const QRegularExpressionMatch match = ours.match(name);
        if (match.hasMatch() && !QFileInfo::exists(QStringLiteral("/proc/") + match.captured(1)))
            doomed << name;
    }
    ::endpwent();
    for (const QString &name : std::as_const(doomed))
        removeAccount(name);
}

bool acquireAccount(QString *failure)
{
    if (account.users > 0) {
        ++account.users;
        return true;
    }
    const std::unique_ptr<QLockFile> lock = lockAccounts(failure);
    if (!lock)
        return false;
    removeLeftovers();
    const QString name = QStringLiteral("kandelo-%1").arg(QCoreApplication::applicationPid());
    // Not only ASCII: SSH carries passwords as UTF-8.
    QByteArray password(24, Qt::Uninitialized);
    const char alphabet[] = "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    for (char &c : password)
        c = alphabet[QRandomGenerator::system()->bounded(int(sizeof alphabet) - 1)];
    password += "-\xc3\xa9";
    if (!::getpwnam(name.toLocal8Bit().constData())
        && !run("useradd", {"--system", "--no-create-home", "--home-dir", "/nonexistent", "--shell",
                            "/usr/sbin/nologin", "--comment", "Kandelo tunnel tests", name}, {}, failure))
        return false;
    if (!run("chpasswd", {}, name.toLocal8Bit() + ':' + password + '\n', failure)) {
        removeAccount(name);
        return false;
    }
    account = {name, password, 1};
    return true;
}

void releaseAccount()
{
    if (--account.users > 0)
        return;
    QString ignored;
    const std::unique_ptr<QLockFile> lock = lockAccounts(&ignored);
    removeAccount(account.name);
    account = {};
}

} // namespace

SshdFixture::SshdFixture(const QHostAddress &address) : address(address) {}

SshdFixture::~SshdFixture()
{
    stop();
    if (holdsAccount)
        releaseAccount();
}

QString SshdFixture::user()
{
    return account.name;
}

QString SshdFixture::password()
{
    return QString::fromUtf8(account.password);
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

bool SshdFixture::start()
{
    if (isRunning())
        return true;
    if (::geteuid() != 0) {
        error = QStringLiteral("needs root: the tunnel tests create a temporary local account and "
                               "run their own sshd (run them through .ci/run or as root)");
        return false;
    }
    if (!QFileInfo(QString::fromLatin1(sshdPath)).isExecutable()) {
        error = QStringLiteral("%1 is missing (install openssh-server)").arg(QString::fromLatin1(sshdPath));
        return false;
    }
    // sshd refuses to start without its privilege separation directory.
    ::mkdir("/run/sshd", 0755);
    if (!holdsAccount && !(holdsAccount = acquireAccount(&error)))
        return false;

    dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kandelo-sshd-XXXXXX"));
    const QString hostKey = dir->filePath(QStringLiteral("host_ed25519"));
    if (!dir->isValid()
        || !run(QString::fromLatin1(keygenPath), {"-q", "-t", "ed25519", "-N", "", "-f", hostKey}, {}, &error))
        return false;

    // A free port may be taken between probe and bind: try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        QTcpServer probe;
        if (!probe.listen(address, 0)) {
            error = QStringLiteral("cannot bind %1").arg(address.toString());
            return false;
        }
        listenPort = probe.serverPort();
        probe.close();
        QStringList arguments{"-D", "-e", "-f", "/dev/null"};
        for (const QString &option : QStringList{
                 QStringLiteral("ListenAddress=%1:%2").arg(address.toString()).arg(listenPort), "HostKey=" + hostKey,
                 "PidFile=" + dir->filePath("sshd.pid"), "AllowUsers=" + user(), "PasswordAuthentication=yes",
                 "KbdInteractiveAuthentication=no", "PubkeyAuthentication=no", "AuthorizedKeysFile=none",
                 "PermitRootLogin=no", "UsePAM=no", "AllowTcpForwarding=yes", "UseDNS=no", "MaxStartups=100",
                 "MaxSessions=100", "LogLevel=VERBOSE"})
            arguments << "-o" << option;
        output.clear();
        sshd = std::make_unique<QProcess>();
        sshd->setReadChannel(QProcess::StandardError);
        sshd->start(QString::fromLatin1(sshdPath), arguments);
        const QDeadlineTimer deadline(15000);
        while (sshd->waitForReadyRead(int(deadline.remainingTime()))) {
            output += sshd->readAllStandardError();
            if (output.contains("Server listening on"))
                return true;
        }
        stop();
        error = QStringLiteral("sshd did not come up on %1:%2: %3")
                    .arg(address.toString()).arg(listenPort).arg(QString::fromLocal8Bit(output).trimmed());
    }
    return false;
}

void SshdFixture::stop()
{
    if (!sshd)
        return;
    sshd->terminate();
    if (!sshd->waitForFinished(5000)) {
        sshd->kill();
        sshd->waitForFinished(5000);
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
    QList<qint64> doomed;
    QList<qint64> parents{sshd->processId()};
    while (!parents.isEmpty()) {
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(parents.takeFirst()));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &child : children.readAll().split(' ')) {
            if (child.toLongLong() > 0) {
                parents << child.toLongLong();
                doomed << child.toLongLong();
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

void EchoPeer::resume()
{
    paused = false;
    for (QTcpSocket *socket : std::as_const(sockets)) {
        socket->setReadBufferSize(0);
        echo(socket);
    }
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
    if (paused)
        socket->setReadBufferSize(1024);
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
    if (paused)
        return;
    const qint64 echoed = socket->property("echoed").toLongLong();
    QByteArray data = socket->readAll();
    received += data.size();
    digest.addData(data);
    if (muted)
        return;
    const bool last = closeLimit >= 0 && echoed + data.size() >= closeLimit;
    if (last)
        data.truncate(closeLimit - echoed);
    socket->write(data);
    socket->setProperty("echoed", echoed + data.size());
    if (last)
        socket->disconnectFromHost();
}

StallingProxy::StallingProxy(const QHostAddress &server, quint16 serverPort)
    : server(server), upstreamPort(serverPort)
{
    listen(QHostAddress(QHostAddress::LocalHost), 0);
}

void StallingProxy::incomingConnection(qintptr descriptor)
{
    auto *client = new QTcpSocket(this);
    if (!client->setSocketDescriptor(descriptor)) {
        ::close(static_cast<int>(descriptor));
        delete client;
        return;
    }
    auto *upstream = new QTcpSocket(client);
    upstream->connectToHost(server, upstreamPort);
    // What the client sent, cut into whole units (version line, packets) to
    // find its NEWKEYS; everything up to there is unencrypted.
    auto scan = std::make_shared<QByteArray>();
    auto held = std::make_shared<bool>(false);
    auto forward = [this, client, upstream, scan, held] {
        const QByteArray data = client->readAll();
        if (*held || stalled) {
            if (!*held)
                ++stalledCount;
            *held = true;
            return;
        }
        if (!afterKeyExchange) {
            upstream->write(data);
            return;
        }
        scan->append(data);
        for (;;) {
            qsizetype unit = 0;
            bool newKeys = false;
            if (scan->startsWith("SSH-")) {
                unit = scan->indexOf('\n') + 1;
            } else if (scan->size() >= 6) {
                const quint32 length = qFromBigEndian<quint32>(scan->constData());
                if (scan->size() >= qsizetype(length) + 4)
                    unit = qsizetype(length) + 4;
                newKeys = scan->at(5) == 21;
            }
            if (unit <= 0)
                return;
            upstream->write(scan->left(unit));
            scan->remove(0, unit);
            if (newKeys) {
                *held = true;
                ++stalledCount;
                return;
            }
        }
    };
    // Bytes that come before the server is reached wait in the client socket.
    connect(upstream, &QTcpSocket::connected, client, forward);
    connect(client, &QTcpSocket::readyRead, client, [upstream, forward] {
        if (upstream->state() == QAbstractSocket::ConnectedState)
            forward();
    });
    connect(upstream, &QTcpSocket::readyRead, client, [client, upstream] { client->write(upstream->readAll()); });
    connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
    connect(client, &QTcpSocket::disconnected, client, [client, upstream] {
        upstream->disconnectFromHost();
        client->deleteLater();
    });
}
