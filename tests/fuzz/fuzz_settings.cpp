// The settings page's own readers of the unit's replies: the real page built
// offscreen, its request helper, its interface controllers and the models it
// reads all answered from the input. The input picks a menu and opens it the
// way the operator would (a stored-record list with its first row opened),
// then leaves it as it is, refreshes it, goes back, or edits one item and
// applies. Opening, refreshing and going back write nothing; an apply whose
// every write the unit refused is not shown as applied.
//
// Input: five bytes, then the text an edit types (a length byte first), then
// the unit's answers, one a line:
//   byte 0  the menu (kRoutes), byte 1 which of a family (Ethernet 1-4 ...)
//   byte 2  access level (bits 0-1), what follows the opening (bits 2-3:
//           nothing, refresh, edit and apply, back), firmware (bits 4-7)
//   byte 3  the item an edit changes, byte 4 the choice it takes
//   lines   "pattern<TAB>reply": the unit's standing answer to every request
//           whose text holds the pattern; "reply" alone: answers, in turn,
//           one request no pattern matched. A reply that is no command is
//           refused outright. An EVENT or INFO line is a message of the unit,
//           handed to the device before the menu opens and to the page after.
// The models are loaded first, from patterned lines only, as the window does
// after a login.

#include "fuzzcheck.h"

#include "audio/taudiosettings.h"
#include "audio/tcomravennacontroller.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/protocolkeys.h"
#include "link/valuetext.h"
#include "model/qpraviksoftkeys.h"
#include "model/tcomdevice.h"
#include "model/unitfirmware.h"
#include "panel/kit/controls.h"
#include "panel/kit/popup.h"
#include "panel/pages/panelshared.h"
#include "panel/settings/qpraviksettingspage.h"
#include "panel/settings/settingsids.h"
#include "tests/support/unitsimulator.h"

#include <QApplication>

using namespace SettingsId;

namespace {

// A request that changes the unit: neither a read, a list, an open of a
// stored record nor a subscription.
bool writes(const TCommand& request)
{
    if (request.verb == TCommand::Do) {
        const std::string& action = *request.param(wire::key::action());
        return action != wire::action::open() && action != wire::action::subscribe()
               && action != wire::action::unsubscribe() && action != "request";
    }
    return request.requestKind() != TCommand::GetRequest && request.requestKind() != TCommand::ListRequest;
}

// The unit as the input describes it.
class Unit : public TComReplySource
{
public:
    struct Line
    {
        std::string pattern; // empty: answers one unmatched request
        TCommand reply;
        bool refused = false; // no command: the request is refused outright
        bool used = false;
    };

    void load(const std::vector<std::string>& texts)
    {
        lines.clear();
        messages.clear();
        for (const std::string& text : texts) {
            const std::size_t tab = text.find('\t');
            Line line;
            if (tab != std::string::npos)
                line.pattern = text.substr(0, tab);
            line.refused = TCommand::parse(tab == std::string::npos ? text : text.substr(tab + 1), line.reply) < 0;
            if (line.reply.verb == TCommand::Event || line.reply.verb == TCommand::Info)
                messages.push_back(line.reply);
            else
                lines.push_back(std::move(line));
        }
    }

    int exchange(const TCommand& request, TCommand& reply, int) override
    {
        std::string text;
        TCommand::write(request, text);
        Line* answer = nullptr;
        for (Line& line : lines) {
            if (!line.pattern.empty() && text.find(line.pattern) != std::string::npos) {
                answer = &line;
                break;
            }
        }
        if (!answer && !patternsOnly)
            answer = nextUnmatched();
        const int result = answer ? deliver(*answer, reply) : -1;
        if (trace)
            std::fprintf(stderr, "%s -> %d %s\n", text.c_str(), result,
                         answer ? (answer->pattern.empty() ? "(in turn)" : answer->pattern.c_str()) : "(none)");
        if (writes(request)) {
            ++writesSent;
            const std::string& verdict = *reply.param(wire::key::return_());
            if (result == 0 && (verdict == "OK" || verdict == "PROGRESS"))
                ++writesTaken;
            // Navigation only reads.
            FUZZ_CHECK(!navigating);
        }
        return result;
    }

    int followUp(TCommand& reply) override
    {
        Line* line = nextUnmatched();
        return line ? deliver(*line, reply) : -1;
    }

    std::vector<Line> lines;
    std::vector<TCommand> messages;
    // FUZZ_SETTINGS_TRACE set: every request and what answered it, for writing seeds.
    const bool trace = qEnvironmentVariableIsSet("FUZZ_SETTINGS_TRACE");
    bool patternsOnly = false;
    bool navigating = false;
    int writesSent = 0;
    int writesTaken = 0;

private:
    Line* nextUnmatched()
    {
        for (Line& line : lines) {
            if (line.pattern.empty() && !line.used) {
                line.used = true;
                return &line;
            }
        }
        return nullptr;
    }
    static int deliver(const Line& line, TCommand& reply)
    {
        if (line.refused)
            return 204;
        reply = line.reply;
        return 0;
    }
};

// A way into a menu from its root entry: the links taken in turn; the last
// one may be any of a family (first..last), and a list may have its first
// stored record opened.
struct Route
{
    int entry;
    std::vector<int> links;
    int familyLast = -1;
    bool firstRecord = false;
};

const Route kRoutes[] = {
    {NetworkEntry, {}},
    {NetworkEntry, {AoipMenu}},
    {NetworkEntry, {AoipMenu, SipAccountMenuFirst}, SipAccountMenuLast},
    {NetworkEntry, {IsdnMenu}},
    {NetworkEntry, {EthernetMenuFirst}, EthernetMenuLast},
    {NetworkEntry, {MobileMenuFirst}, MobileMenuLast},
    {NetworkEntry, {WifiMenuFirst}, WifiMenuLast},
    {CodingEntry, {}},
    {CodingEntry, {Codec1Menu}, Codec2Menu},
    {CodingEntry, {AutoBitRateMenu}},
    {AudioEntry, {}},
    {AudioEntry, {MonitoringMenu}},
    {AudioEntry, {RavennaMenu}},
    {AudioEntry, {RavennaMenu, IpAddressingMenuFirst}, IpAddressingMenuLast},
    {AudioEntry, {RavennaMenu, InputStreamsMenu}},
    {AudioEntry, {RavennaMenu, InputStreamsMenu, InputStreamMenuFirst}, InputStreamMenuLast},
    {AudioEntry, {RavennaMenu, OutputStreamMenu}},
    {BookEntry, {}},
    {BookEntry, {CallProfilesMenu}, SnapshotsMenu, true},
    {ToolsEntry, {}},
    {ToolsEntry, {SoundIdMenu}},
    {ToolsEntry, {SoftkeysMenu}},
    {ToolsEntry, {SoftkeysMenu, SoftkeyMenuFirst}, SoftkeyMenuLast},
    {ToolsEntry, {LabelsMenu}},
    {ToolsEntry, {MiscellaneousMenu}},
    {ToolsEntry, {TroubleshootingMenu}},
    {ToolsEntry, {PasswordsMenu}},
    {StatusEntry, {}},
    {StatusEntry, {ConnectionsMenu}},
    {StatusEntry, {AoipStatusMenu}},
    {StatusEntry, {MobileStatusMenuFirst}, MobileStatusMenuLast},
};

// Firmware words on each side of the ones the menus tell apart.
const std::uint32_t kFirmware[] = {0x010500, 0x010609, 0x010700, 0x010702, 0x010704, 0x010802, 0x010A00, 0x010A01,
                                   0x010C00, 0x010D00, 0x010F00, 0x011100, 0x020009, 0x020100, 0x0110FF, 0xFFFFFF};

enum Follow { Stay, Refresh, EditAndApply, Back };

Unit unit;
UnitSimulator* session = nullptr;

// The session's own requests: the level passwords and the softkeys' writes.
int sessionWrites()
{
    int count = 0;
    for (const SimFrame& frame : session->requests()) {
        TCommand request;
        TCommand::parse(frame.body.toStdString(), request);
        count += writes(request);
    }
    return count;
}

void answerFromInput(TComController& controller)
{
    controller.requestHelper() = TComRequestHelper(&unit);
}

// Every model back to what no unit has told, answered from the input.
void resetModels()
{
    TComDevice* device = frontPanelDevice();
    device->clear(true);
    for (TComController* controller :
         std::initializer_list<TComController*>{&device->aoip(), &device->ethernet(), &device->mobile(),
                                               &device->wifi(), frontPanelAudioSettings(),
                                               frontPanelMatrixSettings(), frontPanelRavenna()}) {
        controller->reset();
        answerFromInput(*controller);
    }
    // The options a failed read would keep.
    Unit none;
    none.load({"\tPARAM;device_opts:;return:OK;"});
    device->requestHelper() = TComRequestHelper(&none);
    device->loadDeviceOptions();
    device->requestHelper() = TComRequestHelper(&unit);
    TCommand blank(TCommand::Info);
    blank.setParam(wire::key::infoType(), wire::event::configChangeset());
    for (int n = 1; n <= QPravikSoftkeys::kKeyCount; ++n)
        blank.setParam("softkey" + toString(n), "");
    for (int n = 1; n <= 2; ++n) {
        blank.setParam("info_label" + toString(n), "");
        blank.setParam("contact_label" + toString(n), "");
    }
    frontPanelSoftkeys()->handleConfigChangeset(blank);
    frontPanelSoftkeys()->setAuxiliaryBoard(false);
}

// What the window loads after a login, in its order.
void loadModels()
{
    TComDevice* device = frontPanelDevice();
    if (!device->refresh())
        return;
    TMatrixSettings* matrix = frontPanelMatrixSettings();
    matrix->load(true);
    TAudioSettings* audio = frontPanelAudioSettings();
    if (audio->load(true)) {
        frontPanelSoftkeys()->setAuxiliaryBoard(audio->auxiliaryBoard());
        // The softkeys read through the session; their answer comes from the input too.
        TCommand request(TCommand::Param);
        request.setParam(wire::key::target(), wire::target::general());
        for (const char* family : {"info_label", "contact_label"})
            for (int n = 1; n <= 2; ++n)
                request.addGet(family + toString(n));
        for (int n = 1; n <= QPravikSoftkeys::kKeyCount; ++n)
            request.addGet("softkey" + toString(n));
        TComRequestHelper::ValueMap values, errors;
        TComRequestHelper(&unit).getParams(request, values, errors);
        if (TComRequestHelper::allAnswered(request, values)) {
            TCommand changeset(TCommand::Info);
            changeset.params = values;
            changeset.setParam(wire::key::infoType(), wire::event::configChangeset(), TCommand::Replace);
            frontPanelSoftkeys()->handleConfigChangeset(changeset);
        }
    }
    TComRavennaController* ravenna = frontPanelRavenna();
    if (audio->state() == TComController::Ready && audio->auxiliaryBoard() && (device->deviceOptions() & kRavennaOption)
        && !device->aes67Reset() && ravenna->load({"rav_firmware_rev"})) {
        ravenna->readParams(TComRavennaController::identityKeys());
    }
}

// Opens the route's menu by its links, as far as the page lets an operator.
void open(QPravikSettingsPage* page, const Route& route, int member)
{
    if (!page->openEntry(route.entry, 0))
        return;
    for (std::size_t i = 0; i < route.links.size(); ++i) {
        int id = route.links[i];
        if (i + 1 == route.links.size() && route.familyLast >= 0)
            id += member % (route.familyLast - id + 1);
        QPravikMenuItems* shown = page->currentItems();
        QPravikMenuItem* link = shown ? shown->findItem(id) : nullptr;
        if (!link || link->locked)
            return;
        page->itemActivated(link);
    }
    if (!route.firstRecord)
        return;
    QPravikMenuItems* list = page->currentItems();
    for (QPravikMenuItem* row : list ? list->allItems() : QList<QPravikMenuItem*>()) {
        if (row->id >= RecordRowBase && !row->locked) {
            page->itemActivated(row);
            return;
        }
    }
}

// One item of the shown page changed as the operator would.
bool edit(QPravikSettingsPage* page, int which, int choice, const QString& text)
{
    QPravikMenuItems* shown = page->currentItems();
    QList<QPravikMenuItem*> editable;
    for (QPravikMenuItem* item : shown ? shown->allItems() : QList<QPravikMenuItem*>()) {
        if (!item->locked && !item->isHidden() && item->type != QPravikMenuItem::SubMenu
            && item->type != QPravikMenuItem::Action && item->type != QPravikMenuItem::SectionHeader
            && item->type != QPravikMenuItem::ReadOnly)
            editable << item;
    }
    if (editable.isEmpty())
        return false;
    QPravikMenuItem* item = editable.at(which % editable.size());
    if (unit.trace)
        std::fprintf(stderr, "edit: item %d of menu %d\n", item->id, shown->menuId);
    if (item->switchButton) {
        item->switchButton->click();
        return true;
    }
    if (item->choiceCount() > 0) {
        item->setCurrentValue(item->choices.at(choice % item->choiceCount()).value, true, true);
    } else {
        item->setValueText(text, false);
    }
    page->itemChanged(item);
    return true;
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static int argc = 1;
    static char name[] = "fuzz_settings";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(fuzz::silentMessageHandler);
    new QApplication(argc, argv);
    // What still goes through the session (the level passwords, the softkeys'
    // writes) meets a unit that refuses everything at once.
    session = new UnitSimulator;
    session->setDefaultActions({UnitSimulator::errorReply(204)});
    if (!session->listen() || !frontPanelCom()->connectToUnit(QStringLiteral("127.0.0.1"), session->port(), 0)
        || !session->waitUntil([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const Route& route = kRoutes[input.byte() % std::size(kRoutes)];
    const int member = input.byte();
    const int flags = input.byte();
    const int which = input.byte();
    const int choice = input.byte();
    const QString typed = QString::fromStdString(input.text(64));
    std::vector<std::string> lines;
    splitAny(input.rest(), lines, "\n");

    static const int levels[] = {OperatorLevel, ExpertLevel, AdministratorLevel, AdministratorLevel};
    currentAccessLevel = levels[flags & 3];
    unitFirmwareVersion = kFirmware[flags >> 4];
    unit.load(lines);
    unit.writesSent = unit.writesTaken = 0;

    resetModels();
    unit.patternsOnly = true;
    loadModels();
    for (const TCommand& message : unit.messages)
        message.verb == TCommand::Event ? frontPanelDevice()->handleEvent(message)
                                        : frontPanelDevice()->handleInfo(message);
    for (const auto& [id, connection] : frontPanelDevice()->connections())
        connection->requestHelper() = TComRequestHelper(&unit);
    unit.patternsOnly = false;

    auto* page = new QPravikSettingsPage;
    page->requestHelper = TComRequestHelper(&unit);
    for (TComController* controller : std::initializer_list<TComController*>{
             &page->ethernetController, &page->mobileController, &page->wifiController, &page->isdnController})
        answerFromInput(*controller);
    page->resize(800, 480);
    page->show();
    session->clearReceived();

    unit.navigating = true;
    open(page, route, member);
    for (const TCommand& message : unit.messages)
        message.verb == TCommand::Event ? page->handleParamEvent(message) : page->handleCoreEvent(message);
    const int follow = (flags >> 2) & 3;
    if (follow == Refresh)
        page->refreshMenu();
    else if (follow == Back)
        page->goBack();
    FUZZ_CHECK(sessionWrites() == 0);
    unit.navigating = false;

    if (follow == EditAndApply && edit(page, which, choice, typed) && page->header->modified) {
        session->clearReceived();
        unit.writesSent = unit.writesTaken = 0;
        page->applyChanges();
        // Every write refused: the edits are still shown as the operator's,
        // or the page says it failed.
        const bool refused = unit.writesSent + sessionWrites() > 0 && unit.writesTaken == 0;
        const QString said = page->messagePopup ? page->messagePopup->message : QString();
        FUZZ_CHECK(!refused || page->header->modified || said.contains(QLatin1String("Failed"))
                   || said.contains(QLatin1String("Wrong")));
    }

    delete page;
    frontPanelDevice()->clear(true);
    settle();
    return 0;
}
