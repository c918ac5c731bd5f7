// Starts the panel against the example unit of unitsim-server and renders
// every page into DIR/<page>.png (offscreen), or shows the panel on the
// screen for a person to try (--show):
//   screenshots [--out DIR] [--show] [--unit HOST:PORT]
// Without --unit it starts its own unitsim-server with the example script.
#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <memory>

#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "model/tcomdevice.h"
#include "panel/kit/controls.h"
#include "panel/pages/qpravikloginpage.h"
#include "panel/pages/qpravikwindow.h"
#include "tests/support/unitsimprocess.h"

namespace {

const char* const kPageNames[QPravikWindow::PageCount] = {
    "login",    "main",        "connection",  "audio",       "audio-input", "audio-auxiliary",
    "audio-output", "headphone-1", "headphone-2", "headphone-3", "headphone-4", "settings"};

bool waitFor(const std::function<bool()>& condition, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

int fail(const QString& why)
{
    QTextStream(stderr) << "screenshots: " << why << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool show = [&] {
        for (int i = 1; i < argc; ++i) {
            if (QByteArray(argv[i]) == "--show")
                return true;
        }
        return false;
    }();
    if (!show && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders or shows the panel against a simulated unit"));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Directory of the images."),
                                       QStringLiteral("dir"), QStringLiteral("."));
    const QCommandLineOption showOption(QStringLiteral("show"), QStringLiteral("Show the panel instead."));
    const QCommandLineOption unitOption(QStringLiteral("unit"), QStringLiteral("A running unitsim-server."),
                                        QStringLiteral("host:port"));
    parser.addOptions({outOption, showOption, unitOption});
    parser.process(app);
    // The link's own lines would drown what the tool says.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 0;
    std::unique_ptr<UnitSimProcess> server;
    if (parser.isSet(unitOption)) {
        const QString unit = parser.value(unitOption);
        host = unit.section(QLatin1Char(':'), 0, -2);
        port = quint16(unit.section(QLatin1Char(':'), -1).toUInt());
        if (host.isEmpty() || !port)
            return fail(QStringLiteral("--unit wants host:port"));
    } else {
        server = std::make_unique<UnitSimProcess>(QStringLiteral(KANDELO_UNITSIM_SERVER),
                                                  QStringLiteral(KANDELO_SOURCE_DIR "/tests/support/example-unit.txt"));
        if (!server->start())
            return fail(server->errorString());
        port = server->port();
    }

    QPravikWindow window;
    // The colours the program's main window gives the panel it holds.
    QPalette colours = window.palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::white);
    window.setPalette(colours);
    window.setAutoFillBackground(true);
    window.show();
    if (!frontPanelCom()->connectToUnit(host, port, 0)
        || !waitFor([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }, 5000))
        return fail(QStringLiteral("no unit on %1:%2").arg(host).arg(port));
    if (show)
        return app.exec();

    const QDir out(parser.value(outOption));
    if (!out.mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("cannot make ") + out.path());
    const auto render = [&](int page) {
        // The settings page opens on a menu: the Network menu.
        window.pageActivated(QPravik::Page(page == QPravik::PageSettings ? QPravik::PageNetworkMenu : page));
        QCoreApplication::processEvents();
        const QString file = out.filePath(QString::fromLatin1(kPageNames[page]) + QStringLiteral(".png"));
        return window.grab().save(file) ? QString() : file;
    };
    if (const QString bad = render(QPravik::PageLogin); !bad.isEmpty())
        return fail(QStringLiteral("cannot write ") + bad);

    // An Expert logs in; the session loads the device, matrix and audio settings.
    auto* login = static_cast<QPravikLoginPage*>(window.pageWidget(QPravik::PageLogin));
    login->expertSwitch->click();
    login->loginButton->click();
    if (!waitFor([] { return frontPanelAudioSettings()->state() == TComController::Ready
                             && frontPanelMatrixSettings()->state() == TComController::Ready; },
                 10000))
        return fail(QStringLiteral("the session did not load"));
    // The meters have had their first levels.
    waitFor([&window] { return window.txL != 99; }, 2000);
    for (int page = QPravik::PageMain; page < QPravikWindow::PageCount; ++page) {
        if (const QString bad = render(page); !bad.isEmpty())
            return fail(QStringLiteral("cannot write ") + bad);
    }
    return 0;
}
