// The program's main window as a user meets it, logging to its own files,
// against unitsim-server's example unit:
//   bench_session [login] [levels] [cpu] [queue] [copy]     (all by default)
// login   login to the main page with 0, 5 and 20 ms before each answer,
//         against a bare QTcpSocket client making the same requests one
//         after the other to the same unit at the same delay, interleaved
// levels  the level stream at 2 and 20 messages a second on pages 1, 3, 7, 11:
//         CPU time and repaints per message, changing and unchanged values
// cpu     the connected, idle main page with levels twice a second, against
//         a bare Qt window in a process of its own over the same 30 s;
//         through SshClient and sshd too when run as root
// queue   100 INFO messages a second during a 10 s password read: the
//         deferred queue's peak length and its drain time
// copy    the headphone copy from position 1 to 3: round trips and wall time
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QStatusBar>
#include <QtEndian>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <vector>
#include <unistd.h>

#include "app/logfile.h"
#include "app/sshclient.h"
#include "app/velto.h"
#include "bench/samples.h"
#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/rpcmessage.h"
#include "link/tcommand.h"
#include "model/tcomdevice.h"
#include "panel/kit/controls.h"
#include "panel/kit/frontpanel.h"
#include "panel/pages/qpravikheadphonewidget.h"
#include "panel/pages/qpravikloginpage.h"
#include "panel/pages/qpravikwindow.h"
#include "tests/sshfixture/sshdfixture.h"
#include "tests/support/unitsimprocess.h"
#include "bench/support/bareroundtrips.h"
#include "bench/support/eventwait.h"
#include "bench/support/paintlog.h"
#include "bench/support/profiledstep.h"
#include "bench/support/without.h"

namespace {

const QString kScript = QStringLiteral(KANDELO_SOURCE_DIR "/tests/support/example-unit.txt");

double processCpu()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// The same requests from a bare client of its own: the seconds they took, or
// -1, and the CPU seconds.
double bareRoundTrips(quint16 port, const QByteArrayList& bodies, double& cpu)
{
    BareClient client;
    const double seconds = client.connectTo(port) ? client.roundTrips(bodies) : -1;
    cpu = client.cpuSeconds();
    return seconds;
}

// Counts the paint events of one widget tree.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* root) : root(root) { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    int paints = 0;
    QMap<QByteArray, int> byClass;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && object->isWidgetType()
            && (object == root || root->isAncestorOf(static_cast<QWidget*>(object)))) {
            ++paints;
            ++byClass[object->metaObject()->className()];
        }
        return false;
    }

private:
    QWidget* root;
};

// The panel connected to host:port and logged in with no password; the time
// the login took to the end of the repaint after it, or -1. The unit, when
// given, holds the login's requests alone.
double logIn(QPravikWindow& panel, const QString& host, quint16 port, UnitSimProcess* unit = nullptr)
{
    frontPanelCom()->disconnectFromUnit();
    panel.pageActivated(QPravik::PageLogin);
    if (!frontPanelCom()->connectToUnit(host, port, 0)
        || !waitFor([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }, 10000))
        return -1;
    // The connection's own repaints are over, and the unit has printed what
    // it received a few ms late.
    settle(50);
    if (unit)
        unit->clear();
    QElapsedTimer clock;
    clock.start();
    double seconds = 0;
    // The widgets a login paints, with BENCH_PAINTS set.
    static std::unique_ptr<PaintLog> paints(qEnvironmentVariableIsSet("BENCH_PAINTS") ? new PaintLog : nullptr);
    if (paints) {
        paints->clear();
        paints->on = true;
    }
    {
        ProfiledStep profiled("login");
        static_cast<QPravikLoginPage*>(panel.pageWidget(QPravik::PageLogin))->loginButton->click();
        finishRepaint();
        seconds = clock.nsecsElapsed() / 1e9;
    }
    if (paints) {
        paints->on = false;
        std::printf("%s\n", paints->summary().constData());
    }
    const bool loaded = panel.page() == QPravik::PageMain && frontPanelDevice()->isReady()
                        && frontPanelMatrixSettings()->state() == TComController::Ready
                        && frontPanelAudioSettings()->state() == TComController::Ready;
    return loaded ? seconds : -1;
}

bool benchLogin(QPravikWindow& panel)
{
    const int repetitions = 5;
    std::printf("login to the main page (device, matrix, audio settings, softkeys loaded) to the end of its\n"
                "repaint, against a bare QTcpSocket client making the same requests in turn, %d interleaved\n"
                "pairs each; load average %s:\n",
                repetitions, loadAverage().c_str());
    for (int delay : {0, 5, 20}) {
        UnitSimProcess unit(QStringLiteral(KANDELO_UNITSIM_SERVER), kScript);
        if (!unit.start(0, delay))
            return std::fprintf(stderr, "%s\n", qPrintable(unit.errorString())), false;
        // A first login, untimed, as a user's is not the first of the process.
        if (logIn(panel, QStringLiteral("127.0.0.1"), unit.port()) < 0)
            return std::fprintf(stderr, "login failed\n"), false;
        frontPanelCom()->disconnectFromUnit();
        settle(50);
        std::vector<double> logins, bare, ratios;
        double bareCpu = 0, bareWall = 0;
        QByteArrayList bodies;
        int fewest = -1, most = 0;
        for (int i = 0; i < repetitions; ++i) {
            // Every other time the bare client goes first, with the requests
            // of the login before; should this login make others, the bare
            // client makes those after it.
            const QByteArrayList replayed = i % 2 ? bodies : QByteArrayList();
            double client = -1, cpu = 0;
            if (i % 2) {
                client = bareRoundTrips(unit.port(), replayed, cpu);
                settle(50);
            }
            const double login = logIn(panel, QStringLiteral("127.0.0.1"), unit.port(), &unit);
            frontPanelCom()->disconnectFromUnit();
            settle(50);
            bodies = unit.requests();
            if (i % 2 == 0 || bodies != replayed) {
                client = bareRoundTrips(unit.port(), bodies, cpu);
                settle(50);
            }
            if (login < 0 || client <= 0)
                return std::fprintf(stderr, "login or bare client failed\n"), false;
            logins.push_back(login);
            bare.push_back(client);
            ratios.push_back(login / client);
            bareCpu += cpu;
            bareWall += client;
            fewest = fewest < 0 ? int(bodies.size()) : std::min(fewest, int(bodies.size()));
            most = std::max(most, int(bodies.size()));
        }
        const QByteArray trips = fewest == most ? QByteArray::number(most)
                                                : QByteArray::number(fewest) + '-' + QByteArray::number(most);
        std::printf("  delay %2d ms, %s round trips: login median %7.2f ms (min %7.2f), bare client median %7.2f ms "
                    "(min %7.2f, CPU %.1f %% of its wall time); ratio of medians %.2f, of minima %.2f, median of "
                    "pair ratios %.2f\n",
                    delay, trips.constData(), median(logins) * 1e3, minimum(logins) * 1e3, median(bare) * 1e3,
                    minimum(bare) * 1e3, bareCpu / bareWall * 100, median(logins) / median(bare),
                    minimum(logins) / minimum(bare), median(ratios));
    }
    return true;
}

RpcMessage levels(int value)
{
    TCommand event(TCommand::Event);
    event.setParam("event_type", "audio_levels");
    for (const char* key : {"txL", "txR", "rxL", "rxR", "ou1", "ou2"})
        event.setParam(key, std::to_string(value));
    for (int i = 1; i <= 11; ++i)
        event.setParam("in" + std::to_string(i), std::to_string(value + i % 3));
    return RpcMessage::createSignal(event);
}

void benchLevels(QPravikWindow& panel)
{
    std::printf("level stream (CPU of the GUI thread and repaints per message)\n");
    for (int page : {1, 3, 7, 11}) {
        panel.pageActivated(QPravik::Page(page == 11 ? int(QPravik::PageNetworkMenu) : page));
        settle(200);
        for (int rate : {2, 20}) {
            for (bool changing : {true, false}) {
                const int count = rate * 3;
                // The peaks of the series before have fallen: they hold ten
                // updates and then fall by steps.
                for (int i = 0; i < 20; ++i)
                    panel.messageReceived(levels(20));
                settle(100);
                PaintCounter paints(&panel);
                const double before = threadCpuSeconds();
                for (int i = 0; i < count; ++i) {
                    panel.messageReceived(levels(changing ? 5 + 10 * (i % 2) : 20));
                    settle(1000 / rate);
                }
                const double cpu = threadCpuSeconds() - before;
                std::printf("  page %2d, %2d/s, %-9s: %7.3f ms CPU, %5.1f repaints per message\n", page, rate,
                            changing ? "changing" : "unchanged", cpu * 1e3 / count, double(paints.paints) / count);
                if (qEnvironmentVariableIsSet("BENCH_PAINTS")) {
                    for (auto it = paints.byClass.cbegin(); it != paints.byClass.cend(); ++it)
                        std::printf("      %s %d\n", it.key().constData(), it.value());
                }
            }
        }
    }
    panel.pageActivated(QPravik::PageMain);
}

double idleCpuPercent(int seconds)
{
    settle(500);
    QElapsedTimer clock;
    clock.start();
    const double before = processCpu();
    settle(seconds * 1000);
    return (processCpu() - before) / (clock.nsecsElapsed() / 1e9) * 100.0;
}

// CPU seconds of another process so far, user and system.
double childCpu(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command's closing parenthesis: utime is the 12th.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

int runBareWindow(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(800, 600);
    window.setCentralWidget(new QWidget);
    window.menuBar()->addMenu(QStringLiteral("File"));
    window.statusBar()->showMessage(QStringLiteral("Ready"));
    window.show();
    return app.exec();
}

void benchCpu(QPravikWindow& panel, quint16 unitPort)
{
    const int seconds = 30;
    std::printf("CPU at rest over the same %d s (levels twice a second), against a bare Qt main window\n"
                "in a process of its own:\n", seconds);
    panel.pageActivated(QPravik::PageMain);
    QProcess bare;
    bare.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--bare-window")});
    if (!bare.waitForStarted(5000))
        return;
    settle(2000); // past the bare window's start
    QElapsedTimer clock;
    clock.start();
    const double ownBefore = processCpu();
    const double bareBefore = childCpu(bare.processId());
    settle(seconds * 1000);
    const double wall = clock.nsecsElapsed() / 1e9;
    const double own = (processCpu() - ownBefore) / wall * 100.0;
    const double other = (childCpu(bare.processId()) - bareBefore) / wall * 100.0;
    bare.kill();
    bare.waitForFinished(5000);
    std::printf("  bare Qt window:               %5.2f %% of a core\n", other);
    std::printf("  program, straight to the unit: %5.2f %% of a core; difference %.2f points of a core%s\n", own,
                own - other, other > 0 ? qPrintable(QStringLiteral(", ratio %1").arg(own / other, 0, 'f', 2)) : "");

    if (geteuid() != 0) {
        std::printf("  through the tunnel: skipped (needs root for sshd)\n");
        return;
    }
    SshdFixture sshd;
    if (!sshd.start()) {
        std::printf("  through the tunnel: skipped (%s)\n", qPrintable(sshd.errorString()));
        return;
    }
    QThread sshThread;
    sshThread.start();
    auto* client = new SshClient(0);
    client->host = sshd.host();
    client->port = sshd.port();
    client->user = SshdFixture::user();
    client->password = SshdFixture::password();
    client->remotePort = unitPort;
    client->listenAddress = QHostAddress(QStringLiteral("127.0.0.223"));
    client->moveToThread(&sshThread);
    bool started = false;
    QMetaObject::invokeMethod(client, &SshClient::startSession, Qt::BlockingQueuedConnection, &started);
    if (started && logIn(panel, QStringLiteral("127.0.0.223"), 7001) >= 0)
        std::printf("  program, through the tunnel (10 s): %5.2f %% of a core\n", idleCpuPercent(10));
    else
        std::printf("  through the tunnel: the session did not start\n");
    frontPanelCom()->disconnectFromUnit();
    QMetaObject::invokeMethod(client, [client] { delete client; }, Qt::BlockingQueuedConnection);
    sshThread.quit();
    sshThread.wait();
}

void benchQueue(QPravikWindow& panel, const QTemporaryDir& dir)
{
    // The example unit whose level-password read takes 10 s while it sends
    // 100 INFO messages a second.
    QFile example(kScript);
    QFile script(dir.filePath("queue.txt"));
    if (!example.open(QIODevice::ReadOnly) || !script.open(QIODevice::WriteOnly))
        return;
    script.write("on GET:password_al\n  delay 10000\n  reply PARAM;password_al:;password_el:;password_ol:;return:OK;\n"
                 "every 10 INFO;info_type:battery_level;battery_level:80;\n"
                 + example.readAll());
    script.close();
    UnitSimProcess unit(QStringLiteral(KANDELO_UNITSIM_SERVER), script.fileName());
    if (!unit.start())
        return;
    frontPanelCom()->disconnectFromUnit();
    panel.pageActivated(QPravik::PageLogin);
    frontPanelCom()->connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0);
    waitFor([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }, 10000);
    // Sampled every 5 ms, in the calls' nested loops too: the longest queue,
    // and how long it took from its peak to empty.
    int peak = 0;
    qint64 peakAt = 0;
    qint64 drainMs = -1;
    QElapsedTimer clock;
    clock.start();
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const int pending = panel.pendingMessages();
        if (pending > peak) {
            peak = pending;
            peakAt = clock.elapsed();
            drainMs = -1;
        } else if (pending == 0 && drainMs < 0 && peak > 0) {
            drainMs = clock.elapsed() - peakAt;
        }
    });
    sampler.start(5);
    static_cast<QPravikLoginPage*>(panel.pageWidget(QPravik::PageLogin))->loginButton->click();
    const double loginSeconds = clock.nsecsElapsed() / 1e9;
    waitFor([&] { return drainMs >= 0; }, 10000);
    std::printf("deferred queue under 100 INFO/s during the login's two 10 s password reads (login %.1f s): peak %d "
                "messages, drained %lld ms after its peak\n",
                loginSeconds, peak, drainMs);
    frontPanelCom()->disconnectFromUnit();
}

void benchCopy(QPravikWindow& panel, UnitSimProcess& unit)
{
    panel.pageActivated(QPravik::PageHeadphone1);
    settle(200);
    unit.clear();
    auto* source = static_cast<QPravikHeadphoneWidget*>(panel.pageWidget(QPravik::PageHeadphone1));
    QElapsedTimer clock;
    clock.start();
    emit source->copySettingsClicked(3);
    const double ms = clock.nsecsElapsed() / 1e6;
    settle(100);
    std::printf("headphone copy 1 -> 3: %d round trips, %.1f ms\n", int(unit.requests().size()), ms);
    panel.pageActivated(QPravik::PageMain);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 2 && std::string(argv[1]) == "--bare-window")
        return runBareWindow(argc, argv);
    // As the program's own main does: its handler, its log files.
    qInstallMessageHandler(logMessageHandler);
    QApplication app(argc, argv);
    QStringList wanted = app.arguments().mid(1);
    if (wanted.isEmpty())
        wanted = {"login", "levels", "cpu", "queue", "copy"};
    Velto window;
    window.initialize();
    window.show();
    takeAwayPrescribedWork(window);
    QPravikWindow& panel = *qobject_cast<QPravikWindow*>(frontPanelWindow.data());
    QTemporaryDir dir;
    bool ok = true;
    if (wanted.contains("login"))
        ok = benchLogin(panel) && ok;

    // The level and copy figures on a unit that streams no levels of its own.
    QFile example(kScript);
    QFile quiet(dir.filePath("quiet.txt"));
    if (!example.open(QIODevice::ReadOnly) || !quiet.open(QIODevice::WriteOnly))
        return 1;
    for (const QByteArray& line : example.readAll().split('\n')) {
        if (!line.startsWith("every "))
            quiet.write(line + '\n');
    }
    quiet.close();
    UnitSimProcess quietUnit(QStringLiteral(KANDELO_UNITSIM_SERVER), quiet.fileName());
    if (!quietUnit.start() || logIn(panel, QStringLiteral("127.0.0.1"), quietUnit.port()) < 0) {
        std::fprintf(stderr, "bench_session: the example unit did not log in\n");
        return 1;
    }
    if (wanted.contains("levels"))
        benchLevels(panel);
    if (wanted.contains("copy"))
        benchCopy(panel, quietUnit);

    UnitSimProcess unit(QStringLiteral(KANDELO_UNITSIM_SERVER), kScript);
    if (!unit.start() || logIn(panel, QStringLiteral("127.0.0.1"), unit.port()) < 0) {
        std::fprintf(stderr, "bench_session: the example unit did not log in\n");
        return 1;
    }
    if (wanted.contains("cpu"))
        benchCpu(panel, unit.port());
    if (wanted.contains("queue"))
        benchQueue(panel, dir);
    frontPanelCom()->disconnectFromUnit();
    return ok ? 0 : 1;
}
