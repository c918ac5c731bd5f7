// Throughput both ways, round-trip latency and idle CPU of the SSH tunnel,
// measured through SshClient and through OpenSSH's "ssh -L" against the same
// sshd, with the ratios of the two. Needs root (see SshdFixture). Idle CPU is
// this whole process for SshClient (its peers are idle meanwhile) and the ssh
// process for OpenSSH. Build with -DKANDELO_BENCH=ON, preferably in Release.
//
//   bench_tunnel [upload-MiB] [download-MiB] [round-trips] [idle-seconds]

#include "app/sshclient.h"
#include "tests/sshfixture/sshdfixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const int ioTimeout = 120000;

// Request: one op byte and a 64-bit size. 'U': the client sends size bytes and
// gets "K" when all arrived; 'D': the peer sends size bytes; 'E': the peer
// echoes size bytes.
class BenchPeer : public QTcpServer
{
public:
    struct Conn {
        QByteArray head;
        char op = 0;
        qint64 left = 0;
        QByteArray echo;
    };

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            ::close(static_cast<int>(descriptor));
            delete socket;
            return;
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            conns.remove(socket);
            socket->deleteLater();
        });
    }

private:
    void serve(QTcpSocket *socket)
    {
        Conn &c = conns[socket];
        QByteArray data = socket->readAll();
        qsizetype at = 0;
        while (at < data.size()) {
            if (c.op == 0) {
                const qsizetype need = 9 - c.head.size();
                c.head += data.mid(at, need);
                at += std::min(need, data.size() - at);
                if (c.head.size() < 9)
                    return;
                c.op = c.head.at(0);
                c.left = qFromBigEndian<qint64>(c.head.constData() + 1);
                c.head.clear();
                if (c.op == 'D') {
                    socket->write(QByteArray(c.left, 'd'));
                    c.op = 0;
                }
                continue;
            }
            const qsizetype take = std::min<qint64>(c.left, data.size() - at);
            if (c.op == 'E')
                c.echo += data.mid(at, take);
            at += take;
            c.left -= take;
            if (c.left == 0) {
                socket->write(c.op == 'U' ? QByteArray("K") : c.echo);
                c.echo.clear();
                c.op = 0;
            }
        }
    }

    QHash<QTcpSocket *, Conn> conns;
};

QByteArray request(char op, qint64 size)
{
    QByteArray head(9, '\0');
    head[0] = op;
    qToBigEndian<qint64>(size, head.data() + 1);
    return head;
}

bool readExactly(QTcpSocket &socket, qint64 size)
{
    qint64 got = 0;
    while (got < size) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(ioTimeout))
            return false;
        got += socket.read(size - got).size();
    }
    return true;
}

bool writeAll(QTcpSocket &socket, const QByteArray &data)
{
    socket.write(data);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(ioTimeout))
            return false;
    }
    return true;
}

struct Figures {
    double uploadMBs = 0;
    double downloadMBs = 0;
    double rttMedianUs = 0;
    double rttMeanUs = 0;
    double idleCpuPercent = 0;
    bool ok = false;
};

double cpuSecondsOfSelf()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
         + usage.ru_stime.tv_usec / 1e6;
}

// Run time of every thread of a process, in nanoseconds resolution (the tick
// counts of /proc/<pid>/stat are too coarse for an idle ssh).
double cpuSecondsOfProcess(qint64 pid)
{
    double total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (file.open(QIODevice::ReadOnly))
            total += file.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return total;
}

// Runs every measurement over one connection to address:7001. cpuNow gives the
// CPU seconds of whatever carries the tunnel.
template <typename CpuProbe>
Figures measure(const QHostAddress &address, qint64 upload, qint64 download, int trips, int idleSeconds,
                CpuProbe cpuNow)
{
    Figures f;
    QTcpSocket socket;
    socket.connectToHost(address, 7001);
    if (!socket.waitForConnected(ioTimeout))
        return f;
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);

    // Warm the path so that channel set-up is not measured.
    if (!writeAll(socket, request('E', 16)) || !writeAll(socket, QByteArray(16, 'w'))
        || !readExactly(socket, 16))
        return f;

    QElapsedTimer clock;
    const QByteArray block(64 * 1024, 'u');
    clock.start();
    if (!writeAll(socket, request('U', upload)))
        return f;
    for (qint64 sent = 0; sent < upload; sent += block.size()) {
        if (!writeAll(socket, block.left(std::min<qint64>(block.size(), upload - sent))))
            return f;
    }
    if (!readExactly(socket, 1))
        return f;
    f.uploadMBs = upload / 1048576.0 / (clock.nsecsElapsed() / 1e9);

    clock.restart();
    if (!writeAll(socket, request('D', download)) || !readExactly(socket, download))
        return f;
    f.downloadMBs = download / 1048576.0 / (clock.nsecsElapsed() / 1e9);

    std::vector<double> rtt;
    const QByteArray ping(64, 'p');
    for (int i = 0; i < trips; ++i) {
        clock.restart();
        if (!writeAll(socket, request('E', ping.size()) + ping) || !readExactly(socket, ping.size()))
            return f;
        rtt.push_back(clock.nsecsElapsed() / 1e3);
    }
    std::sort(rtt.begin(), rtt.end());
    f.rttMedianUs = rtt.empty() ? 0 : rtt[rtt.size() / 2];
    double sum = 0;
    for (double v : rtt)
        sum += v;
    f.rttMeanUs = rtt.empty() ? 0 : sum / rtt.size();

    // Idle: connection open, nothing moving.
    const double before = cpuNow();
    clock.restart();
    QThread::sleep(idleSeconds);
    f.idleCpuPercent = (cpuNow() - before) / (clock.nsecsElapsed() / 1e9) * 100.0;
    f.ok = true;
    return f;
}

bool waitForListener(const QHostAddress &address, QProcess &process)
{
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(address, 7001);
        if (probe.waitForConnected(500)) {
            probe.disconnectFromHost();
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

void printRatio(const char *what, double ours, double theirs, const char *unit, bool higherIsBetter)
{
    std::printf("%-22s %12.3f %12.3f %s", what, ours, theirs, unit);
    if (theirs > 0)
        std::printf("   ratio SshClient/ssh = %.3f (%s is better)\n", ours / theirs,
                    higherIsBetter ? "higher" : "lower");
    else
        std::printf("   ratio n/a (ssh -L measured zero)\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint64 upload = (args.size() > 1 ? args.at(1).toLongLong() : 64) * 1048576;
    const qint64 download = (args.size() > 2 ? args.at(2).toLongLong() : 8) * 1048576;
    const int trips = args.size() > 3 ? args.at(3).toInt() : 500;
    const int idleSeconds = args.size() > 4 ? args.at(4).toInt() : 5;

    SshdFixture sshd;
    if (!sshd.start()) {
        std::fprintf(stderr, "bench_tunnel: %s\n", qPrintable(sshd.errorString()));
        return 2;
    }

    QThread peerThread;
    peerThread.start();
    auto *peer = new BenchPeer;
    peer->moveToThread(&peerThread);
    quint16 peerPort = 0;
    QMetaObject::invokeMethod(peer, [&] {
        peer->listen(QHostAddress(QHostAddress::LocalHost), 0);
        peerPort = peer->serverPort();
    }, Qt::BlockingQueuedConnection);

    // SshClient, in its own worker thread as the program runs it.
    const QHostAddress ourAddress(QStringLiteral("127.0.0.221"));
    QThread sshThread;
    sshThread.start();
    auto *client = new SshClient(0);
    client->host = sshd.host();
    client->port = sshd.port();
    client->user = SshdFixture::user();
    client->password = SshdFixture::password();
    client->remotePort = peerPort;
    client->listenAddress = ourAddress;
    client->moveToThread(&sshThread);
    bool started = false;
    QMetaObject::invokeMethod(client, &SshClient::startSession, Qt::BlockingQueuedConnection, &started);
    if (!started) {
        std::fprintf(stderr, "bench_tunnel: SshClient could not start\n");
        return 1;
    }
    const Figures ours = measure(ourAddress, upload, download, trips, idleSeconds, cpuSecondsOfSelf);
    QMetaObject::invokeMethod(client, [client] { delete client; }, Qt::BlockingQueuedConnection);
    sshThread.quit();
    sshThread.wait();

    // OpenSSH's client forwarding the same way.
    const QHostAddress theirAddress(QStringLiteral("127.0.0.222"));
    QTemporaryDir dir;
    const QString askpass = dir.filePath(QStringLiteral("askpass"));
    {
        QFile script(askpass);
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\necho '" + SshdFixture::password().toUtf8() + "'\n");
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    QProcess ssh;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SSH_ASKPASS"), askpass);
    env.insert(QStringLiteral("SSH_ASKPASS_REQUIRE"), QStringLiteral("force"));
    ssh.setProcessEnvironment(env);
    ssh.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ssh.start(QStringLiteral("ssh"),
              {QStringLiteral("-N"), QStringLiteral("-F"), QStringLiteral("/dev/null"),
               QStringLiteral("-o"), QStringLiteral("StrictHostKeyChecking=no"),
               QStringLiteral("-o"), QStringLiteral("UserKnownHostsFile=/dev/null"),
               QStringLiteral("-o"), QStringLiteral("PubkeyAuthentication=no"),
               QStringLiteral("-o"), QStringLiteral("PreferredAuthentications=password"),
               QStringLiteral("-o"), QStringLiteral("ExitOnForwardFailure=yes"),
               QStringLiteral("-o"), QStringLiteral("LogLevel=ERROR"),
               QStringLiteral("-p"), QString::number(sshd.port()),
               QStringLiteral("-L"), QStringLiteral("%1:7001:localhost:%2").arg(theirAddress.toString()).arg(peerPort),
               QStringLiteral("%1@%2").arg(SshdFixture::user(), sshd.host())});
    if (!ssh.waitForStarted(10000) || !waitForListener(theirAddress, ssh)) {
        std::fprintf(stderr, "bench_tunnel: ssh -L did not come up\n");
        return 1;
    }
    const qint64 sshPid = ssh.processId();
    const Figures theirs = measure(theirAddress, upload, download, trips, idleSeconds,
                                   [sshPid] { return cpuSecondsOfProcess(sshPid); });
    ssh.terminate();
    ssh.waitForFinished(5000);

    QMetaObject::invokeMethod(peer, [peer] { delete peer; }, Qt::BlockingQueuedConnection);
    peerThread.quit();
    peerThread.wait();

    if (!ours.ok || !theirs.ok) {
        std::fprintf(stderr, "bench_tunnel: a measurement failed (SshClient %s, ssh -L %s)\n",
                     ours.ok ? "ok" : "failed", theirs.ok ? "ok" : "failed");
        return 1;
    }
    std::printf("SSH tunnel through sshd on %s:%u; upload %lld MiB, download %lld MiB, %d round trips of "
                "64 bytes, %d s idle\n",
                qPrintable(sshd.host()), sshd.port(), upload / 1048576, download / 1048576, trips, idleSeconds);
    std::printf("%-22s %12s %12s\n", "", "SshClient", "ssh -L");
    printRatio("upload", ours.uploadMBs, theirs.uploadMBs, "MiB/s", true);
    printRatio("download", ours.downloadMBs, theirs.downloadMBs, "MiB/s", true);
    printRatio("round trip (median)", ours.rttMedianUs, theirs.rttMedianUs, "us", false);
    printRatio("round trip (mean)", ours.rttMeanUs, theirs.rttMeanUs, "us", false);
    printRatio("idle CPU", ours.idleCpuPercent, theirs.idleCpuPercent, "% of a core", false);
    std::printf("SshClient polls the channel every 1 ms for at most 1024 bytes: its download stays below "
                "%.2f MiB/s, each answer may wait up to a tick, and the poll runs while a client is connected\n",
                1000 * 1024 / 1048576.0);
    return 0;
}
