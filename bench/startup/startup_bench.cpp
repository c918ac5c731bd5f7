// Start-up to the first painted frame of the program's main window, against a
// bare QMainWindow with a menu bar and a status bar in a program that links
// Qt alone (bench_startup_bare), each in a process of its own started afresh,
// in interleaved pairs:
//   bench_startup [pairs]          (30 by default)
// Wall time is from the start of the process to its exit right after the
// first paint; CPU time is the child's own, user and system.
#include "app/logfile.h"
#include "app/velto.h"
#include "bench/samples.h"
#include "bench/startup/firstpaint.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The program as its own main starts it.
int runProgram(int argc, char** argv)
{
    qInstallMessageHandler(logMessageHandler);
    QApplication app(argc, argv);
    int result = 0;
    {
        Velto window;
        window.initialize();
        FirstPaint watch(&window);
        window.show();
        result = app.exec();
    }
    std::printf("%.6f\n", ownCpuSeconds());
    return result;
}

struct Sample
{
    double wall = -1;
    double cpu = -1;
};

Sample runOnce(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer clock;
    clock.start();
    child.start(program, arguments);
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit)
        return {};
    Sample sample;
    sample.wall = clock.nsecsElapsed() / 1e9;
    bool ok = false;
    const QList<QByteArray> lines = child.readAllStandardOutput().trimmed().split('\n');
    sample.cpu = lines.last().toDouble(&ok);
    return ok ? sample : Sample{};
}

void report(const char* what, const std::vector<double>& program, const std::vector<double>& bare)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < program.size(); ++i)
        ratios.push_back(program[i] / bare[i]);
    std::printf("  %-5s program min %8.1f ms, median %8.1f ms; bare min %8.1f ms, median %8.1f ms\n", what,
                minimum(program) * 1e3, median(program) * 1e3, minimum(bare) * 1e3, median(bare) * 1e3);
    std::printf("  %-5s ratio of minima %.2f, of medians %.2f, median of pair ratios %.2f\n", what,
                minimum(program) / minimum(bare), median(program) / median(bare), median(ratios));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 2 && std::string(argv[1]) == "--child")
        return runProgram(1, argv);

    QCoreApplication app(argc, argv);
    const int pairs = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    // A home of its own: the program writes its configuration there.
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    const QString self = QCoreApplication::applicationFilePath();
    const QStringList asProgram = {QStringLiteral("--child")};
    const QString bareWindow = QStringLiteral(KANDELO_STARTUP_BARE);

    // One start of each first: the files they read are then in the page cache.
    runOnce(self, asProgram, environment);
    runOnce(bareWindow, {}, environment);
    const std::string loadBefore = loadAverage();
    std::vector<double> programWall, programCpu, bareWall, bareCpu;
    for (int i = 0; i < pairs; ++i) {
        // Alternating which goes first, so neither always follows the other.
        Sample program, bare;
        if (i % 2) {
            bare = runOnce(bareWindow, {}, environment);
            program = runOnce(self, asProgram, environment);
        } else {
            program = runOnce(self, asProgram, environment);
            bare = runOnce(bareWindow, {}, environment);
        }
        if (program.wall < 0 || bare.wall < 0) {
            std::fprintf(stderr, "bench_startup: a child did not start and paint\n");
            return 1;
        }
        programWall.push_back(program.wall);
        programCpu.push_back(program.cpu);
        bareWall.push_back(bare.wall);
        bareCpu.push_back(bare.cpu);
    }
    std::printf("start-up to the first painted frame, %d interleaved pairs, program against a bare\n"
                "QMainWindow with a menu bar and a status bar in a program linking Qt alone (%s);\n"
                "load average %s before, %s after:\n",
                pairs, qgetenv("QT_QPA_PLATFORM").constData(), loadBefore.c_str(), loadAverage().c_str());
    report("wall", programWall, bareWall);
    report("CPU", programCpu, bareCpu);
    return 0;
}
