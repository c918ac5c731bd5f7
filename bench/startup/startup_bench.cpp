// Start-up to the first painted frame of the program's main window, against a
// bare QMainWindow with a menu bar and a status bar, each in a process of its
// own started afresh, in interleaved pairs:
//   bench_startup [pairs]          (30 by default)
// Wall time is from the start of the process to its exit right after the
// first paint; CPU time is the child's own, user and system.
#include "app/logfile.h"
#include "app/velto.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

// Quits once the window or any of its widgets has been painted the first
// time; the quit is queued so the whole paint pass, children and flush
// included, is over by then.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QWidget* window) : window(window) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !seen && object->isWidgetType()
            && static_cast<QWidget*>(object)->window() == window) {
            seen = true;
            // exit, not quit: quit would ask the window, which asks the operator.
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return false;
    }

private:
    QWidget* window;
    bool seen = false;
};

double ownCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
           + usage.ru_stime.tv_usec / 1e6;
}

int runChild(int argc, char** argv, bool program)
{
    // As the program's own main does.
    if (program)
        qInstallMessageHandler(logMessageHandler);
    QApplication app(argc, argv);
    int result = 0;
    if (program) {
        Velto window;
        window.initialize();
        FirstPaint watch(&window);
        window.show();
        result = app.exec();
    } else {
        QMainWindow window;
        window.resize(800, 600);
        window.setCentralWidget(new QWidget);
        window.menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Quit"));
        window.statusBar()->showMessage(QStringLiteral("Ready"));
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

Sample runOnce(const QString& self, const char* mode, const QProcessEnvironment& environment)
{
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer clock;
    clock.start();
    child.start(self, {QStringLiteral("--child"), QString::fromLatin1(mode)});
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit)
        return {};
    Sample sample;
    sample.wall = clock.nsecsElapsed() / 1e9;
    bool ok = false;
    const QList<QByteArray> lines = child.readAllStandardOutput().trimmed().split('\n');
    sample.cpu = lines.last().toDouble(&ok);
    return ok ? sample : Sample{};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double minimum(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
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
    if (argc == 3 && std::string(argv[1]) == "--child")
        return runChild(1, argv, std::string(argv[2]) == "program");

    QCoreApplication app(argc, argv);
    const int pairs = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    // A home of its own: the program writes its configuration there.
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    const QString self = QCoreApplication::applicationFilePath();

    // One start of each first: the files they read are then in the page cache.
    runOnce(self, "program", environment);
    runOnce(self, "bare", environment);
    std::vector<double> programWall, programCpu, bareWall, bareCpu;
    for (int i = 0; i < pairs; ++i) {
        // Alternating which goes first, so neither always follows the other.
        Sample program, bare;
        if (i % 2) {
            bare = runOnce(self, "bare", environment);
            program = runOnce(self, "program", environment);
        } else {
            program = runOnce(self, "program", environment);
            bare = runOnce(self, "bare", environment);
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
                "QMainWindow with a menu bar and a status bar (%s):\n",
                pairs, qgetenv("QT_QPA_PLATFORM").constData());
    report("wall", programWall, bareWall);
    report("CPU", programCpu, bareCpu);
    return 0;
}
