// Starts the panel against the example unit of unitsim-server and renders
// every page and the main settings menus into DIR/<name>.png (offscreen), or
// shows the panel on the screen for a person to try (--show):
//   screenshots [--out DIR] [--show] [--unit HOST:PORT]
// Without --unit it starts its own unitsim-server with the example script;
// that server ends with the tool, however the tool ends.
#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTextStream>
#include <QVBoxLayout>

#include <cstdio>
#include <functional>
#include <memory>

#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "model/tcomaudioconnection.h"
#include "model/tcomdevice.h"
#include "panel/kit/connpanel.h"
#include "panel/kit/controls.h"
#include "panel/pages/qpravikconnectionpage.h"
#include "panel/pages/qpravikloginpage.h"
#include "panel/pages/qpravikwindow.h"
#include "panel/settings/qpraviksettingspage.h"
#include "panel/settings/settingsids.h"
#include "tests/support/unitsimprocess.h"

namespace {

const char* const kPageNames[QPravik::PageSettings] = {
    "login",    "main",        "connection",  "audio",       "audio-input", "audio-auxiliary",
    "audio-output", "headphone-1", "headphone-2", "headphone-3", "headphone-4"};

// A settings menu as the panel opens it, then the sub-menu links followed.
struct MenuPicture
{
    const char* name;
    QPravik::Page page;
    int subMenu; // 0: the menu the page opens on
};

const MenuPicture kMenuPictures[] = {
    {"menu-network", QPravik::PageNetworkMenu, 0},
    {"menu-codec-1", QPravik::PageCodec1Menu, 0},
    {"menu-audio", QPravik::PageAudioMenu, 0},
    {"menu-module", QPravik::PageAudioMenu, SettingsId::RavennaMenu},
    {"menu-call-profiles", QPravik::PageBookMenu, SettingsId::CallProfilesMenu},
    {"menu-tools", QPravik::PageToolsMenu, 0},
    {"menu-status", QPravik::PageStatusMenu, 0},
};
// Taken once line 1 has a call.
const MenuPicture kCallPicture = {"menu-connections", QPravik::PageStatusMenu, SettingsId::ConnectionsMenu};

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

// The two hardware keys a unit has beside its screen, and a way out, under
// the panel: the window itself has no frame.
QWidget* keyBar(QWidget* parent, QPravikWindow* panel)
{
    auto* bar = new QWidget(parent);
    auto* row = new QHBoxLayout(bar);
    const auto addButton = [&](const QString& text, const std::function<void()>& action) {
        auto* button = new QPushButton(text, bar);
        button->setFocusPolicy(Qt::NoFocus);
        QObject::connect(button, &QPushButton::clicked, bar, action);
        row->addWidget(button);
    };
    const auto pressKey = [panel](int key) {
        return [panel, key] {
            for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
                QCoreApplication::postEvent(panel, new QKeyEvent(type, key, Qt::NoModifier, QString(), false, 1));
        };
    };
    addButton(QStringLiteral("Headphones"), pressKey(QPravik::HeadphoneKey));
    addButton(QStringLiteral("Call"), pressKey(QPravik::CallKey));
    row->addStretch();
    addButton(QStringLiteral("Close"), [parent] { parent->close(); });
    return bar;
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

    // The program's main window: black, its font, the panel on top.
    QWidget top;
    QPalette colours = top.palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::white);
    top.setPalette(colours);
    top.setAutoFillBackground(true);
    top.setFont(QPravik::panelFont(top.font()));
    auto* column = new QVBoxLayout(&top);
    column->setContentsMargins(0, 0, 0, 0);
    auto* window = new QPravikWindow(&top);
    column->addWidget(window);
    if (show)
        column->addWidget(keyBar(&top, window));
    top.show();
    if (!frontPanelCom()->connectToUnit(host, port, 0)
        || !waitFor([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }, 5000))
        return fail(QStringLiteral("no unit on %1:%2").arg(host).arg(port));
    if (show)
        return app.exec();

    const QDir out(parser.value(outOption));
    if (!out.mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("cannot make ") + out.path());
    // A page is taken once the unit's next level message has reached it: the
    // meters of a page fill only while it is shown.
    int levelMessages = 0;
    QObject::connect(frontPanelCom(), &zel::CCom::messageReceived, &top, [&levelMessages](const RpcMessage& message) {
        if (message.type() == RpcMessage::Signal
            && *message.command().param(wire::key::eventType()) == wire::link::audioLevels())
            ++levelMessages;
    });
    const auto save = [&](const char* name, bool levels) {
        const int seen = levelMessages;
        if (levels)
            waitFor([&] { return levelMessages > seen; }, 2000);
        QCoreApplication::processEvents();
        const QString file = out.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
        return window->grab().save(file) ? QString() : file;
    };
    QPravikSettingsPage* settings = window->settingsPage();
    const auto menu = [&](const MenuPicture& picture) {
        window->pageActivated(picture.page);
        if (picture.subMenu) {
            QPravikMenuItems* parent = settings->currentItems();
            if (QPravikMenuItem* link = parent ? parent->findItem(picture.subMenu) : nullptr)
                settings->itemActivated(link);
            // A menu this build or unit lacks gets no picture rather than its parent's.
            if (settings->currentItems() == parent) {
                QTextStream(stderr) << "screenshots: " << picture.name << ": no such menu here" << Qt::endl;
                return QString();
            }
        }
        return save(picture.name, false);
    };
    if (const QString bad = save(kPageNames[QPravik::PageLogin], false); !bad.isEmpty())
        return fail(QStringLiteral("cannot write ") + bad);

    // The Administrator logs in, so that every menu opens; the session loads
    // the device, matrix and audio settings.
    auto* login = static_cast<QPravikLoginPage*>(window->pageWidget(QPravik::PageLogin));
    login->administratorSwitch->click();
    login->loginButton->click();
    if (!waitFor([] { return frontPanelAudioSettings()->state() == TComController::Ready
                             && frontPanelMatrixSettings()->state() == TComController::Ready; },
                 10000))
        return fail(QStringLiteral("the session did not load"));
    for (int page = QPravik::PageMain; page < QPravik::PageSettings; ++page) {
        window->pageActivated(QPravik::Page(page));
        if (const QString bad = save(kPageNames[page], true); !bad.isEmpty())
            return fail(QStringLiteral("cannot write ") + bad);
    }
    for (const MenuPicture& picture : kMenuPictures) {
        if (const QString bad = menu(picture); !bad.isEmpty())
            return fail(QStringLiteral("cannot write ") + bad);
    }

    // A call on line 1, placed from the connection page as a person would.
    window->pageActivated(QPravik::PageConnection);
    for (QPravikConnPanel* line : window->connectionPage()->findChildren<QPravikConnPanel*>()) {
        if (line->line == 1)
            emit line->panelClicked();
    }
    if (!waitFor([] {
            const auto* call = static_cast<const TComAudioConnection*>(frontPanelDevice()->connection(41));
            return call && call->status() == TComAudioConnection::Synchronised;
        }, 5000))
        return fail(QStringLiteral("the example unit's call did not come up"));
    if (const QString bad = menu(kCallPicture); !bad.isEmpty())
        return fail(QStringLiteral("cannot write ") + bad);
    return 0;
}
