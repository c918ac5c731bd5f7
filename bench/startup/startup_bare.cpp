// The start-up benchmark's baseline: a bare QMainWindow with a menu bar and a
// status bar, in a program that links Qt alone. It leaves its event loop
// right after its first painted frame and prints its own CPU seconds.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

#include <cstdio>

#include "bench/startup/firstpaint.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int result = 0;
    {
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
