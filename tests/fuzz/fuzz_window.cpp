// The panel window's routing of the unit's messages (levels, changesets,
// update progress, remote numbers, display and record status, call events)
// to its pages, built offscreen on a session linked to a unit: any run of
// messages on any page reaches no write of the unit (reads are allowed).

#include "fuzzcheck.h"

#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/rpcmessage.h"
#include "link/valuetext.h"
#include "panel/pages/panelshared.h"
#include "panel/pages/qpravikwindow.h"
#include "tests/support/unitsimulator.h"

#include <QApplication>

namespace {

UnitSimulator* unit = nullptr;
QPravikWindow* window = nullptr;

// A request that changes the unit: neither a read nor a subscription.
bool writes(const SimFrame& frame)
{
    TCommand request;
    TCommand::parse(frame.body.toStdString(), request);
    const std::string& action = *request.param("action");
    return request.requestKind() != TCommand::GetRequest && request.requestKind() != TCommand::ListRequest
           && action != "subscribe" && action != "unsubscribe";
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static int argc = 1;
    static char name[] = "fuzz_window";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(fuzz::silentMessageHandler);
    new QApplication(argc, argv);
    unit = new UnitSimulator;
    // Every request is refused at once: reads fail fast, writes are counted.
    unit->setDefaultActions({UnitSimulator::errorReply(204)});
    if (!unit->listen() || !frontPanelCom()->connectToUnit(QStringLiteral("127.0.0.1"), unit->port(), 0)
        || !unit->waitUntil([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }))
        std::abort();
    window = new QPravikWindow;
    window->show();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    static const QPravik::Page kPages[] = {QPravik::PageMain, QPravik::PageConnection, QPravik::PageAudio,
                                           QPravik::PageAudioOutput, QPravik::PageHeadphone1};
    // Showing a page may read; only what the messages cause is looked at.
    window->pageActivated(kPages[input.byte() % std::size(kPages)]);
    settle();
    unit->clearReceived();

    std::vector<std::string> lines;
    splitAny(input.rest(), lines, "\n");
    for (const std::string& line : lines) {
        TCommand message;
        TCommand::parse(line, message);
        window->messageReceived(RpcMessage::createSignal(message));
    }
    settle();
    for (const SimFrame& frame : unit->requests())
        FUZZ_CHECK(!writes(frame));
    return 0;
}
