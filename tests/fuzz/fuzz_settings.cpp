// The settings page's own readers of the unit's replies: the real page built
// offscreen inside a stand-in for the panel window, its request helper, its
// interface controllers and the models it reads all answered from the input.
// The input picks a menu and opens it the way the operator would (a
// stored-record list with its first row opened), then leaves it as it is,
// refreshes it, goes back, or edits one or two items and applies.
//
// Input: six bytes, then the text an edit types (a length byte first), the
// second edit if any, then the unit's answers, one a line:
//   byte 0  the menu (kRoutes), byte 1 which of a family (Ethernet 1-4 ...)
//   byte 2  access level (bits 0-1), what follows the opening (bits 2-3:
//           nothing, refresh, edit and apply, back), firmware (bits 4-7)
//   byte 3  the item an edit changes, byte 4 the choice it takes
//   byte 5  bit 0: before what follows, the operator leaves for the main
//           page and comes back; bit 1: a second edit follows the first
//           (its item, choice and text after the first text); bit 2: before
//           what follows, a sub-menu of the shown menu is opened and left,
//           so the menu is hidden and shown again
//   lines   "pattern<TAB>reply": the unit's standing answer to every request
//           whose text holds the pattern; "reply" alone: answers, in turn,
//           one request no pattern matched. A reply that is no command is
//           refused outright. An EVENT or INFO line is a message of the unit,
//           handed to the device before the menu opens and, once it is open,
//           as the window hands it on (the audio board's changesets to the
//           audio and routing models) and to the page.
// The models are loaded first, from patterned lines only, as the window does
// after a login. The window builds a root entry's menu while the settings
// page is hidden and then shows the page; coming back from the main page it
// builds the entry's menu anew, so the operator takes the links again.
//
// Each input is played from a fresh login: once with what follows the
// opening and then an apply; an edit, three times more: its edits undone,
// its edits applied, and its edits on the menu opened straight. These hold:
// - Opening, refreshing, going back, leaving and coming back write nothing
//   (the unit's requests and the session's), and every menu opened is shown
//   on the screen. Before any edit the page shows no modified mark, and an
//   apply then writes nothing (but on a stored record, saved whole).
// - An edit that the page refuses at once (it says it failed) leaves the
//   mark as it was and, when the page held edits, the item as it showed.
//   An edit the item keeps without a mark (a stored record's fields and
//   the panel's own access level aside) that the unit took no write of is
//   held nowhere: once the edits are done, the menu opened again shows the
//   item as before them, not as edited.
// - Edits undone (a switch clicked again, a choice set back, a text typed
//   back) that leave every item of the menu as it showed before them leave
//   no mark, and an apply then writes nothing.
// - The apply of the edits: when the unit refused every write, the edits are
//   still shown as the operator's or the page says it failed. The keys it
//   writes are among those the same edits write on a page opened straight
//   after the unit's messages (same items, both marked, the same in-turn
//   answers used): leaving, coming back, reopening or a late message adds no
//   key of an item the operator did not change.

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
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/panelshared.h"
#include "panel/settings/qpraviksettingspage.h"
#include "panel/settings/settingsids.h"
#include "tests/support/unitsimulator.h"

#include <QApplication>
#include <QPointer>
#include <QStackedLayout>

#include <algorithm>
#include <functional>
#include <optional>
#include <set>
#include <tuple>

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
        inTurnUsed = writesSent = writesTaken = 0;
        keysWritten.clear();
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
            for (const auto& [key, value] : request.params)
                keysWritten.insert(key == wire::key::action() ? key + ":" + value : key);
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
    int inTurnUsed = 0;
    // Every key written ("action:..." for an action).
    std::set<std::string> keysWritten;

private:
    Line* nextUnmatched()
    {
        for (Line& line : lines) {
            if (line.pattern.empty() && !line.used) {
                line.used = true;
                ++inTurnUsed;
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
    // What a reset keeps (the audio board, the AoIP version, the module's
    // identity and receive delays) as a program just started holds it: no
    // input inherits it from the one before.
    Unit fresh;
    fresh.load({"GET:\tPARAM;auxiliary_board:no;aoip_version:;rav_manufacturer:;rav_hardware_name:;"
                "rav_delay_min_in:1;rav_delay_max_in:24000;rav_delay_in:512;return:OK;"});
    const std::pair<TComController*, std::vector<std::string>> kept[] = {
        {frontPanelAudioSettings(), {"auxiliary_board"}},
        {&device->aoip(), {"aoip_version"}},
        {frontPanelRavenna(),
         {"rav_manufacturer", "rav_hardware_name", "rav_delay_min_in", "rav_delay_max_in", "rav_delay_in"}}};
    for (const auto& [controller, keys] : kept) {
        controller->requestHelper() = TComRequestHelper(&fresh);
        controller->readParams(keys);
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

// The panel window's page stack, with the main page the operator leaves for.
QStackedLayout* windowPages = nullptr;
QWidget* mainPage = nullptr;

// Every menu the operator opens is on the screen, so its items' show-time
// refresh has run as it does for the operator.
void checkShown(QPravikSettingsPage* page)
{
    QPravikMenuItems* shown = page->currentItems();
    FUZZ_CHECK(!shown || shown->isVisible());
}

// The settings page brought up with the entry's menu, as the window does:
// the menu built while the page is hidden, then the page shown.
bool showEntry(QPravikSettingsPage* page, int entry, int target)
{
    if (!page->openEntry(entry, target))
        return false;
    windowPages->setCurrentWidget(page);
    checkShown(page);
    return true;
}

// The route's links from the entry's menu, as far as the page lets an operator.
void takeLinks(QPravikSettingsPage* page, const Route& route, int member)
{
    for (std::size_t i = 0; i < route.links.size(); ++i) {
        int id = route.links[i];
        if (i + 1 == route.links.size() && route.familyLast >= 0)
            id += member % (route.familyLast - id + 1);
        QPravikMenuItems* shown = page->currentItems();
        QPravikMenuItem* link = shown ? shown->findItem(id) : nullptr;
        if (!link || link->locked)
            return;
        page->itemActivated(link);
        checkShown(page);
    }
    if (!route.firstRecord)
        return;
    QPravikMenuItems* list = page->currentItems();
    for (QPravikMenuItem* row : list ? list->allItems() : QList<QPravikMenuItem*>()) {
        if (row->id >= RecordRowBase && !row->locked) {
            page->itemActivated(row);
            checkShown(page);
            return;
        }
    }
}

// To the main page and back to the settings: the window opens the entry
// anew, and the operator takes the links again.
void leaveAndComeBack(QPravikSettingsPage* page, const Route& route, int member)
{
    windowPages->setCurrentWidget(mainPage);
    FUZZ_CHECK(!page->isVisible());
    if (page->currentEntryId > 0 && showEntry(page, page->currentEntryId, -1))
        takeLinks(page, route, member);
}

// A sub-menu of the shown menu opened and left: the menu is hidden, then
// shown again. Only links the routes know, so nothing but a menu opens.
void visitSubMenu(QPravikSettingsPage* page)
{
    QPravikMenuItems* shown = page->currentItems();
    if (!shown)
        return;
    for (const Route& route : kRoutes) {
        int parent = route.entry;
        for (int link : route.links) {
            QPravikMenuItem* item = parent == shown->menuId ? shown->findItem(link) : nullptr;
            if (item && !item->locked && !item->isHidden()) {
                page->itemActivated(item);
                checkShown(page);
                if (unit.trace)
                    std::fprintf(stderr, "visit: menu %d\n", page->currentItems() ? page->currentItems()->menuId : -1);
                if (page->currentItems() != shown)
                    page->goBack();
                checkShown(page);
                return;
            }
            parent = link;
        }
    }
}

// What an item shows, as far as an operator can tell.
struct Shown
{
    int id = 0;
    QString text;
    std::optional<int> value;
    bool on = false;
    bool locked = false;
    bool hidden = false;

    explicit Shown(const QPravikMenuItem* item)
        : id(item->id), text(item->valueText()), value(QPravikSettingsPage::itemValue(item)),
          on(item->switchButton && item->switchButton->isChecked()), locked(item->locked), hidden(item->isHidden())
    {
    }
    bool operator==(const Shown& other) const
    {
        return std::tie(id, text, value, on, locked, hidden)
               == std::tie(other.id, other.text, other.value, other.on, other.locked, other.hidden);
    }
    bool operator!=(const Shown& other) const { return !(*this == other); }
    bool sameValue(const Shown& other) const
    {
        return std::tie(text, value, on) == std::tie(other.text, other.value, other.on);
    }
};

std::vector<Shown> shownItems(QPravikSettingsPage* page)
{
    std::vector<Shown> items;
    if (QPravikMenuItems* shown = page->currentItems())
        for (const QPravikMenuItem* item : shown->allItems())
            items.emplace_back(item);
    return items;
}

// One edit as the input gives it.
struct Edit
{
    int which = 0;
    int choice = 0;
    QString text;
};

// An edit made: the item and what it showed before.
struct Made
{
    QPointer<QPravikMenuItem> item;
    Shown before;
    int menu;
};

// A stored record is saved whole, each field sent, and only once the
// operator changed it: an apply without a mark is none of the operator's.
bool savedWhole(const QPravikSettingsPage* page)
{
    const QPravikMenuItems* shown = page->currentItems();
    return shown && shown->menuId == RecordMenu;
}

// Edits the items kept without a mark while the unit took no write: what
// each item showed then.
std::vector<Shown> keptUnwritten;

bool saysFailed(const QPravikSettingsPage* page)
{
    const QString said = page->messagePopup ? page->messagePopup->message : QString();
    return said.contains(QLatin1String("Failed")) || said.contains(QLatin1String("Wrong"));
}

// Reacting to an edit as the page does, with the message of the last one
// dismissed first. A refused edit keeps the page's edits.
void changed(QPravikSettingsPage* page, QPravikMenuItem* item, const std::function<void()>& change)
{
    page->closePopup();
    const bool marked = page->header->modified;
    const Shown before(item);
    const int taken = unit.writesTaken;
    QPointer<QPravikMenuItem> edited = item;
    change();
    if (!saysFailed(page)) {
        // Kept without a mark: written at once, unless the unit held it
        // already. The access level is the panel's own.
        if (!marked && !page->header->modified && edited && Shown(edited) != before && !savedWhole(page)
            && before.id != AccessLevelItem && unit.writesTaken == taken)
            keptUnwritten.push_back(Shown(edited));
        return;
    }
    FUZZ_CHECK(page->header->modified == marked);
    FUZZ_CHECK(!marked || !edited || Shown(edited) == before);
}

// Items the operator types into; a choice list or a wheel without choices
// offers nothing to pick.
bool typed(const QPravikMenuItem* item)
{
    return item->type == QPravikMenuItem::Text || item->type == QPravikMenuItem::Password
           || item->type == QPravikMenuItem::Number || item->type == QPravikMenuItem::Pin;
}

// Typed on the keyboard the item's row opens, and OK pressed.
void typeInto(QPravikMenuItem* item, const QString& text)
{
    item->page->itemClicked(item->titleLabel);
    QPravikVirtual* keyboard = nullptr;
    for (QPravikVirtual* open : item->page->findChildren<QPravikVirtual*>())
        keyboard = open->isVisible() ? open : keyboard;
    FUZZ_CHECK(keyboard);
    keyboard->lineEdit.setText(text);
    keyboard->keys[VirtualKeyboardKeyCount - 1]->click(); // OK
}

// One item of the shown menu changed as the operator would.
std::optional<Made> edit(QPravikSettingsPage* page, const Edit& wanted)
{
    QPravikMenuItems* shown = page->currentItems();
    QList<QPravikMenuItem*> editable;
    for (QPravikMenuItem* item : shown ? shown->allItems() : QList<QPravikMenuItem*>()) {
        if (!item->locked && !item->isHidden() && item->type != QPravikMenuItem::SubMenu
            && item->type != QPravikMenuItem::Action && item->type != QPravikMenuItem::SectionHeader
            && item->type != QPravikMenuItem::ReadOnly
            && (item->switchButton || item->choiceCount() > 0 || typed(item)))
            editable << item;
    }
    if (editable.isEmpty())
        return std::nullopt;
    QPravikMenuItem* item = editable.at(wanted.which % editable.size());
    if (unit.trace)
        std::fprintf(stderr, "edit: item %d of menu %d\n", item->id, shown->menuId);
    Made made{item, Shown(item), shown->menuId};
    changed(page, item, [&] {
        if (item->switchButton) {
            item->switchButton->click();
            return;
        }
        // As the kit's selection and keyboard do: what the item shows already changes nothing.
        const QPravikMenuItem::Choice* picked =
            item->choiceCount() > 0 ? &item->choices.at(wanted.choice % item->choiceCount()) : nullptr;
        if ((picked ? picked->text : wanted.text) == item->valueText())
            return;
        if (!picked) {
            typeInto(item, wanted.text);
            return;
        }
        item->setCurrentValue(picked->value, true, true);
        page->itemChanged(item);
    });
    return made;
}

// The edit taken back the way it was made; false when the operator cannot
// (the item went, or it showed no choice of its list).
bool undo(QPravikSettingsPage* page, const Made& made)
{
    QPravikMenuItem* item = made.item;
    if (!item)
        return false;
    if (Shown(item) == made.before)
        return true;
    if (item->locked || item->isHidden())
        return false;
    if (item->switchButton) {
        if (item->switchButton->isChecked() != made.before.on)
            changed(page, item, [item] { item->switchButton->click(); });
        return true;
    }
    if (item->choiceCount() > 0) {
        if (!made.before.value || item->indexOfValue(*made.before.value, true) < 0)
            return false;
        changed(page, item, [&] {
            item->setCurrentValue(*made.before.value, true, true);
            page->itemChanged(item);
        });
        return true;
    }
    changed(page, item, [&] {
        typeInto(item, made.before.text);
    });
    return true;
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// What the input asks for.
struct Plan
{
    const Route* route = nullptr;
    int member = 0;
    int level = OperatorLevel;
    std::uint32_t firmware = 0;
    Follow follow = Stay;
    bool leave = false;
    bool visit = false;
    std::vector<Edit> edits;
    std::vector<std::string> lines;
};

// The ways an input is played, each from a fresh login.
enum class Pass {
    Still,   // what follows the opening, then an apply with no edit
    Undone,  // the edits made and taken back, then an apply
    Edited,  // the edits made and applied
    Straight // the same edits on the menu opened straight after the unit's messages
};

// What an edit pass left for the comparison of the written keys.
struct Outcome
{
    std::vector<std::pair<int, int>> edited; // menu and item of each edit
    bool applied = false;
    int inTurnUsed = 0; // answers taken in turn before the apply
    std::set<std::string> keys;
};

// A message of the unit as the window hands it on.
void tell(QPravikSettingsPage* page, const TCommand& message)
{
    if (message.verb == TCommand::Event) {
        if (*message.param(wire::key::eventType()) != wire::event::relayIn())
            page->handleParamEvent(message);
        return;
    }
    if (*message.param(wire::key::infoType()) == wire::event::audioChangeset()
        && *message.param(wire::key::infoSource()) == "aic") {
        frontPanelAudioSettings()->handleInfo(message);
        frontPanelMatrixSettings()->handleInfo(message);
    }
    page->handleCoreEvent(message);
}

// An edit kept without a mark that the unit took no write of is held for
// nobody: the menu opened again shows what it showed before the edits.
void checkKeptUnwritten(QPravikSettingsPage* page, const Plan& plan, const std::vector<Shown>& first)
{
    if (keptUnwritten.empty())
        return;
    page->closePopup();
    unit.navigating = true;
    if (page->currentEntryId > 0 && showEntry(page, page->currentEntryId, -1))
        takeLinks(page, *plan.route, plan.member);
    unit.navigating = false;
    QPravikMenuItems* shown = page->currentItems();
    for (auto kept = keptUnwritten.rbegin(); shown && kept != keptUnwritten.rend(); ++kept) {
        const auto seen = std::find_if(first.begin(), first.end(), [&](const Shown& s) { return s.id == kept->id; });
        QPravikMenuItem* again = shown->findItem(kept->id);
        const bool last = std::none_of(keptUnwritten.rbegin(), kept, [&](const Shown& s) { return s.id == kept->id; });
        if (last && again && seen != first.end() && !kept->sameValue(*seen))
            FUZZ_CHECK(!Shown(again).sameValue(*kept));
    }
}

Outcome play(const Plan& plan, Pass pass)
{
    keptUnwritten.clear();
    currentAccessLevel = plan.level;
    unitFirmwareVersion = plan.firmware;
    unit.load(plan.lines);

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
    windowPages->addWidget(page);
    session->clearReceived();

    const bool straight = pass == Pass::Straight;
    if (straight)
        for (const TCommand& message : unit.messages)
            tell(page, message);
    unit.navigating = true;
    if (showEntry(page, plan.route->entry, 0))
        takeLinks(page, *plan.route, plan.member);
    if (!straight) {
        for (const TCommand& message : unit.messages)
            tell(page, message);
        if (plan.leave)
            leaveAndComeBack(page, *plan.route, plan.member);
        if (plan.visit)
            visitSubMenu(page);
        if (pass == Pass::Still && plan.follow == Refresh)
            page->refreshMenu();
        else if (pass == Pass::Still && plan.follow == Back)
            page->goBack();
        checkShown(page);
    }
    FUZZ_CHECK(sessionWrites() == 0);
    unit.navigating = false;
    if (unit.trace)
        std::fprintf(stderr, "pass %d: menu %d shown\n", int(pass),
                     page->currentItems() ? page->currentItems()->menuId : -1);
    FUZZ_CHECK(!page->header->modified);

    Outcome outcome;
    if (pass == Pass::Still) {
        if (!savedWhole(page)) {
            page->applyChanges();
            FUZZ_CHECK(unit.writesSent + sessionWrites() == 0);
        }
    } else {
        const std::vector<Shown> before = shownItems(page);
        std::vector<Made> made;
        for (const Edit& wanted : plan.edits) {
            if (std::optional<Made> one = edit(page, wanted)) {
                outcome.edited.emplace_back(one->menu, one->before.id);
                made.push_back(*one);
            }
        }
        if (pass == Pass::Undone) {
            bool undone = true;
            for (auto it = made.rbegin(); undone && it != made.rend(); ++it)
                undone = undo(page, *it);
            if (undone && shownItems(page) == before) {
                FUZZ_CHECK(!page->header->modified);
                session->clearReceived();
                unit.writesSent = 0;
                if (!savedWhole(page))
                    page->applyChanges();
                FUZZ_CHECK(unit.writesSent + sessionWrites() == 0);
            }
        } else if (!made.empty() && page->header->modified) {
            session->clearReceived();
            unit.writesSent = unit.writesTaken = 0;
            unit.keysWritten.clear();
            outcome.inTurnUsed = unit.inTurnUsed;
            page->closePopup();
            page->applyChanges();
            outcome.applied = true;
            outcome.keys = unit.keysWritten;
            // Every write refused: the edits are still shown as the operator's,
            // or the page says it failed.
            const bool refused = unit.writesSent + sessionWrites() > 0 && unit.writesTaken == 0;
            FUZZ_CHECK(!refused || page->header->modified || saysFailed(page));
        }
        checkKeptUnwritten(page, plan, before);
    }

    delete page;
    frontPanelDevice()->clear(true);
    settle();
    return outcome;
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
    // The window: one page shown at a time, the main page first.
    auto* window = new QWidget;
    window->setFixedSize(800, 480);
    windowPages = new QStackedLayout(window);
    windowPages->setContentsMargins(0, 0, 0, 0);
    mainPage = new QWidget;
    windowPages->addWidget(mainPage);
    window->show();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    Plan plan;
    plan.route = &kRoutes[input.byte() % std::size(kRoutes)];
    plan.member = input.byte();
    const int flags = input.byte();
    Edit first;
    first.which = input.byte();
    first.choice = input.byte();
    const int view = input.byte();
    first.text = QString::fromStdString(input.text(64));
    plan.edits.push_back(first);
    if (view & 2) {
        Edit second;
        second.which = input.byte();
        second.choice = input.byte();
        second.text = QString::fromStdString(input.text(64));
        plan.edits.push_back(second);
    }
    splitAny(input.rest(), plan.lines, "\n");

    static const int levels[] = {OperatorLevel, ExpertLevel, AdministratorLevel, AdministratorLevel};
    plan.level = levels[flags & 3];
    plan.firmware = kFirmware[flags >> 4];
    plan.follow = Follow((flags >> 2) & 3);
    plan.leave = view & 1;
    plan.visit = view & 4;

    play(plan, Pass::Still);
    if (plan.follow != EditAndApply)
        return 0;
    play(plan, Pass::Undone);
    const Outcome edited = play(plan, Pass::Edited);
    const Outcome straight = play(plan, Pass::Straight);
    if (edited.applied && straight.applied && edited.edited == straight.edited
        && edited.inTurnUsed == straight.inTurnUsed) {
        for (const std::string& key : edited.keys)
            FUZZ_CHECK(straight.keys.count(key));
    }
    return 0;
}
