#include "panel/settings/qpraviksettingspage.h"

#include <QDebug>
#include <QGridLayout>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "link/protocolkeys.h"
#include "link/valuetext.h"
#include "model/locale.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"
#include "panel/pages/panelshared.h"
#include "panel/settings/booklist.h"
#include "panel/settings/settingsids.h"

// Book menu, stored lists, call-profile editor and entry menus.

using namespace SettingsId;

namespace {

constexpr int kBookTimeoutMs = 5000;
constexpr std::uint32_t kSipProfilesAbove = 0x010701;
constexpr std::uint32_t kVoiceAbove = 0x0110FF;
constexpr int kLastFixedRateCodec = 6;  // G.711 and G.722 forms
constexpr int kLastNarrowBandCodec = 2; // the G.711 forms

} // namespace

const BookList& bookList(int menuId)
{
#define BOOK_TR(text) QT_TRANSLATE_NOOP("QPravikSettingsPage", text)
    static const BookList lists[] = {
        [] {
            BookList t(CallProfilesMenu, "remote_profile");
            t.newTitle = BOOK_TR("New Call Profile");
            t.newValue = BOOK_TR("Create a new call profile");
            t.nameTitle = BOOK_TR("Call Profile Name");
            t.loadValue = BOOK_TR("Load the call profile");
            t.deleteValue = BOOK_TR("Delete the call profile");
            t.deleteFailed = BOOK_TR("Failed to delete the call profile!");
            return t;
        }(),
        [] {
            BookList t(PresetsMenu, "local_profile");
            t.newTitle = BOOK_TR("New Preset");
            t.newValue = BOOK_TR("Create a new preset");
            t.rowValueOperator = BOOK_TR("Load the preset");
            t.rowValueOther = BOOK_TR("Load, update or delete the preset");
            t.nameTitle = BOOK_TR("Preset Name");
            t.loadValue = BOOK_TR("Load the preset");
            t.updateValue = BOOK_TR("Update the preset");
            t.deleteValue = BOOK_TR("Delete the preset");
            t.creating = BOOK_TR("Creating the preset...");
            t.createFailed = BOOK_TR("Failed to create the preset!");
            t.loadBusy = BOOK_TR("Cannot load the preset\n(a connection is established)");
            t.loading = BOOK_TR("Loading the preset...");
            t.loadFailed = BOOK_TR("Failed to load the preset!");
            t.updateFailed = BOOK_TR("Failed to update the preset!");
            t.deleteFailed = BOOK_TR("Failed to delete the preset!");
            return t;
        }(),
        [] {
            BookList t(SipProfilesMenu, "sip_profile");
            t.newTitle = BOOK_TR("New SIP Profile");
            t.newValue = BOOK_TR("Create a new SIP profile");
            t.rowValueOperator = BOOK_TR("Load the SIP profile");
            t.rowValueOther = BOOK_TR("Load or delete the SIP profile");
            t.nameTitle = BOOK_TR("SIP Profile Name");
            t.loadValue = BOOK_TR("Load the SIP profile");
            t.deleteValue = BOOK_TR("Delete the SIP profile");
            t.creating = BOOK_TR("Creating the SIP profile...");
            t.createFailed = BOOK_TR("Failed to create the SIP profile!");
            t.loadBusy = BOOK_TR("Cannot load the SIP profile\n(a connection is established)");
            t.loading = BOOK_TR("Loading the SIP profile...");
            t.loadFailed = BOOK_TR("Failed to load the SIP profile!");
            t.deleteFailed = BOOK_TR("Failed to delete the SIP profile!");
            return t;
        }(),
        [] {
            BookList t(SnapshotsMenu, "snapshot");
            t.newTitle = BOOK_TR("New Snapshot");
            t.newValue = BOOK_TR("Create a new snapshot");
            t.rowValueOperator = BOOK_TR("Load the snapshot");
            t.rowValueOther = BOOK_TR("Load, update or delete the snapshot");
            t.nameTitle = BOOK_TR("Snapshot Name");
            t.loadValue = BOOK_TR("Load the snapshot");
            t.updateValue = BOOK_TR("Update the snapshot");
            t.deleteValue = BOOK_TR("Delete the snapshot");
            t.creating = BOOK_TR("Creating the snapshot...");
            t.createFailed = BOOK_TR("Failed to create the snapshot!");
            t.loadBusy = BOOK_TR("Cannot load the snapshot\n(a connection is established)");
            t.loadFailed = BOOK_TR("Failed to load the snapshot!");
            t.updateFailed = BOOK_TR("Failed to update the snapshot!");
            t.deleteFailed = BOOK_TR("Failed to delete the snapshot!");
            return t;
        }(),
    };
#undef BOOK_TR
    for (const BookList& list : lists) {
        if (list.menuId == menuId)
            return list;
    }
    return lists[0];
}

namespace {

using settingsmenu::tr;

QPravikMenuItem* addItem(QPravikMenuItems* page, int id, int parentId, int type, const QString& title,
                         const QString& value = QString())
{
    QPravikMenuItem* item = QPravikSettingsPage::addMenuRow(page, id, type, title, 10, 0, parentId);
    item->setValueText(value, true);
    return item;
}

void addSpacer(QPravikMenuItems* page)
{
    QPravikSettingsPage::addMenuRow(page, -1, QPravikMenuItem::SectionHeader, QString(), 10, 10);
}

struct StoredRecord
{
    int id = 0;
    QString name;
};

// "id/name". The id must be plain decimal digits whose row id fits an int:
// anything looser would load, update or delete another record.
bool parseRecord(const std::string& element, StoredRecord& record)
{
    const std::size_t slash = element.find('/');
    if (slash == std::string::npos || slash == 0 || slash > 10)
        return false;
    long long id = 0;
    for (std::size_t i = 0; i < slash; ++i) {
        if (element[i] < '0' || element[i] > '9')
            return false;
        id = id * 10 + (element[i] - '0');
    }
    if (id > INT_MAX - RecordRowBase)
        return false;
    record.id = int(id);
    record.name = fromUnitUtf8(element.substr(slash + 1));
    return true;
}

// The records of one kind, sorted by name; a failed request keeps what
// arrived before it.
std::vector<StoredRecord> readRecords(TComRequestHelper& requests, const char* kind)
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::general());
    request.addList(kind);
    std::vector<std::string> elements;
    requests.getList(request, elements, kBookTimeoutMs);
    std::vector<StoredRecord> records;
    for (const std::string& element : elements) {
        StoredRecord record;
        if (parseRecord(element, record))
            records.push_back(std::move(record));
        else
            qWarning().noquote() << "Book: list element without a record id skipped:" << toQString(element);
    }
    std::sort(records.begin(), records.end(), [](const StoredRecord& a, const StoredRecord& b) {
        return QPravikSettingsPage::qstringLessCaseInsensitive(a.name, b.name);
    });
    return records;
}

// The list page with its "new" item, above the Operator level only.
QPravikMenuItems* createListPage(QPravikSettingsPage* settings, const BookList& list)
{
    auto* page = new QPravikMenuItems(list.menuId, settings);
    if (currentAccessLevel != OperatorLevel) {
        addItem(page, NewRecordItem, -1,
                list.menuId == CallProfilesMenu ? QPravikMenuItem::SubMenu : QPravikMenuItem::Action,
                tr(list.newTitle), tr(list.newValue));
        addSpacer(page);
    }
    return page;
}

QPravikMenuItem* addRecordRow(QPravikMenuItems* page, const StoredRecord& record, const QString& value)
{
    return addItem(page, RecordRowBase + record.id, page->menuId,
                   currentAccessLevel == OperatorLevel ? QPravikMenuItem::Action : QPravikMenuItem::SubMenu,
                   record.name, value);
}

bool isLineTarget(int target)
{
    return target == QPravik::PageCallProfiles1 || target == QPravik::PageCallProfiles2;
}

const std::string* replyValue(const TComRequestHelper::ValueMap& reply, const char* key)
{
    const auto found = reply.find(key);
    return found == reply.end() ? nullptr : &found->second;
}

TCommand openProfileRequest(int id)
{
    TCommand request(TCommand::Do);
    request.setParam(wire::key::action(), wire::action::open());
    request.setParam(wire::key::target(), wire::target::general());
    request.setParam(wire::key::type(), bookList(CallProfilesMenu).kind);
    request.setParam(wire::key::id(), toString(id));
    return request;
}

// What decides whether a stored call profile can be used now.
struct ProfileContext
{
    TComDevice* device;
    int target;
    bool doubleCodec;
    int defaultTransport;
    bool line1Busy;
    bool line2Busy;
    bool coordination;
};

// The row's summary and whether it can be loaded now; false for a profile
// that does not fit the unit and gets no row.
bool evaluateProfile(const ProfileContext& c, const TComRequestHelper::ValueMap& reply, QString& summary,
                     bool& available)
{
    const bool line1Target = c.target == QPravik::PageCallProfiles1;
    const bool line2Target = c.target == QPravik::PageCallProfiles2;
    const std::string* network = replyValue(reply, "network");
    if (!network)
        return false;
    const int transport = transportFromName(*network);
    if (!c.device->hasInterfaceOfTransport(transport))
        return false;
    available = c.device->hasInterface(*network);
    int label = transport;
    const std::string* codecText = replyValue(reply, "codec");
    if (!c.doubleCodec) {
        if (codecText && codecConfigFromString(*codecText).codec == kGsmCodec)
            label = GsmTransport;
    } else if (transport != c.defaultTransport) {
        if (line2Target)
            return false;
        if (c.line1Busy || c.line2Busy)
            available = false;
    }

    summary = QStringLiteral("[ ") + QPravikSettingsPage::interfaceTypeLabel(label) + QStringLiteral(" ]");
    const std::string* remote = replyValue(reply, "remote_addr");
    if (remote && !remote->empty())
        summary += QLatin1Char(' ') + fromUnitUtf8(*remote);
    const std::string* remote2 = replyValue(reply, "remote_addr2");
    if (remote2 && !remote2->empty())
        summary += QLatin1Char(',') + fromUnitUtf8(*remote2);
    summary += QLatin1Char('\n')
        + QPravikLocalize::interfaceName(int(interfaceCodeFromName(*network)), c.device->deviceOptions());

    if (c.doubleCodec ? (c.line1Busy && c.line2Busy) || (line1Target && c.line1Busy) || (line2Target && c.line2Busy)
                      : c.line1Busy)
        available = false;
    if (!codecText) {
        summary += QStringLiteral(" - ") + tr("No coding algorithm set");
        return true;
    }
    const CodecConfig coding = codecConfigFromString(*codecText);
    if (coding.codec == -1)
        return false;
    if (coding.codec == kGsmCodec) {
        if (line1Target || (!c.coordination && line2Target))
            return false;
        if (!c.coordination || !line2Target)
            available = false;
    } else if (c.coordination && line2Target) {
        return false;
    }
    if (c.doubleCodec) {
        if (coding.channelMode == 0) {
            if (label == IsdnTransport && coding.bitRate != 64000) {
                if (isLineTarget(c.target))
                    return false;
                available = false;
            }
        } else if (line2Target) {
            return false;
        } else if (c.line1Busy || c.line2Busy || (!line1Target && c.device->operationMode() == 0)) {
            available = false;
        }
    }
    summary += QStringLiteral(" - ") + QPravikLocalize::codecDescription(coding);
    return true;
}

} // namespace

// ------------------------------------------------------------------ lists ---

void QPravikSettingsPage::createBookMenu()
{
    auto* page = new QPravikMenuItems(BookMenu, this);
    const struct
    {
        int id;
        const char* title;
        const char* value;
    } links[] = {
        {CallProfilesMenu, QT_TR_NOOP("Call Profiles"), QT_TR_NOOP("Manage the call profiles")},
        {PresetsMenu, QT_TR_NOOP("Presets"), QT_TR_NOOP("Manage the presets")},
        {SipProfilesMenu, QT_TR_NOOP("SIP Profiles"), QT_TR_NOOP("Manage the SIP profiles")},
        {SnapshotsMenu, QT_TR_NOOP("Snapshots"), QT_TR_NOOP("Manage the snapshots")},
    };
    for (const auto& link : links) {
        if (link.id != SipProfilesMenu || unitFirmwareVersion > kSipProfilesAbove)
            addItem(page, link.id, -1, QPravikMenuItem::SubMenu, tr(link.title), tr(link.value));
    }
    pushPage(page);
}

void QPravikSettingsPage::createCallProfilesMenu()
{
    profileListStale = false;
    TComDevice* device = frontPanelDevice();
    const int flags = device->audioModeFlags();
    const ProfileContext context{device,
                                 pendingTarget,
                                 device->codecMode() == 1,
                                 transportFromName(device->defaultNetwork()),
                                 device->findAudioConnection(1) != nullptr,
                                 device->findAudioConnection(2) != nullptr,
                                 flags == 8 || flags == 64};
    QPravikMenuItems* page = createListPage(this, bookList(CallProfilesMenu));
    const std::vector<StoredRecord> records = readRecords(requestHelper, bookList(CallProfilesMenu).kind);
    device->loadNetworks();
    for (const StoredRecord& record : records) {
        TComRequestHelper::ValueMap reply;
        QString summary;
        bool available = true;
        if (!requestHelper.call(openProfileRequest(record.id), reply, kBookTimeoutMs)
            || !evaluateProfile(context, reply, summary, available))
            continue;
        QPravikMenuItem* row = addRecordRow(page, record, summary);
        if (currentAccessLevel == OperatorLevel)
            row->setLocked(!available);
    }
    pushPage(page);
}

void QPravikSettingsPage::createRecordList(int menuId)
{
    const BookList& list = bookList(menuId);
    QPravikMenuItems* page = createListPage(this, list);
    const QString value = tr(currentAccessLevel == OperatorLevel ? list.rowValueOperator : list.rowValueOther);
    for (const StoredRecord& record : readRecords(requestHelper, list.kind))
        addRecordRow(page, record, value);
    pushPage(page);
}

void QPravikSettingsPage::createPresetsMenu()
{
    createRecordList(PresetsMenu);
}

void QPravikSettingsPage::createSipProfilesMenu()
{
    createRecordList(SipProfilesMenu);
}

void QPravikSettingsPage::createSnapshotsMenu()
{
    createRecordList(SnapshotsMenu);
}

// --------------------------------------------------- call-profile editor ---

namespace {

// The unit's choices into a coding item: the record's value when offered,
// else the first offered one; locked below two choices.
void fillCodingChoices(QPravikMenuItem* item, const std::vector<int>& values, int& current,
                       const std::function<QString(int)>& text)
{
    for (int value : values)
        item->addChoice(value, text(value));
    if (!values.empty() && std::find(values.begin(), values.end(), current) == values.end())
        current = values.front();
    // Without the unit's list the record's own value still shows.
    if (item->setCurrentValue(current, true, true) < 0 && current != -1)
        item->setValueText(text(current), true);
    item->setLocked(values.size() < 2);
    item->setVisible(true);
}

void hideCodingItem(QPravikMenuItem* item)
{
    item->setValueText(QString(), true);
    item->setLocked(true);
    item->setVisible(false);
}

QString kiloText(const char* format, int value)
{
    return tr(format).arg(value / 1000);
}

// The first rule that applies decides whether the edited profile can be
// loaded now.
bool callProfileLoadable(const CallProfileRecord& p, int pendingTarget)
{
    TComDevice* device = frontPanelDevice();
    if (!device->hasInterface(interfaceName(p.network)))
        return false;
    const bool line1Busy = device->findAudioConnection(1) != nullptr;
    const bool line2Busy = device->findAudioConnection(2) != nullptr;
    if (device->codecMode() != 1)
        return !line1Busy && (p.coding.codec != kGsmCodec || p.openedFor == QPravik::PageCallProfiles2);
    if (line1Busy && line2Busy)
        return false;
    const int transport = transportOf(p.network);
    if (transport != transportFromName(device->defaultNetwork()))
        return p.openedFor != QPravik::PageCallProfiles2 && !line1Busy && !line2Busy;
    if (p.coding.channelMode == 0)
        return p.coding.codec != kGsmCodec && (transport != IsdnTransport || p.coding.bitRate == 64000);
    if (pendingTarget == QPravik::PageCallProfiles2 || line1Busy || line2Busy)
        return false;
    return pendingTarget == QPravik::PageCallProfiles1 || device->operationMode() != 0;
}

} // namespace

void QPravikSettingsPage::createCallProfileMenu(int rowId, const QString& name)
{
    auto* page = new QPravikMenuItems(RecordMenu, CallProfilesMenu, this);
    readCallProfile(rowId, name);
    TComDevice* device = frontPanelDevice();
    const BookList& list = bookList(CallProfilesMenu);

    addItem(page, RecordNameItem, -1, QPravikMenuItem::Text, tr(list.nameTitle), name);
    addSpacer(page);
    QPravikMenuItem* network = addItem(page, ProfileNetworkItem, -1, QPravikMenuItem::ChoiceList, tr("Network"));
    for (const auto& interface : device->interfaces()) {
        if (interface.first != kAoipClass)
            network->addChoice(int(interface.first),
                               QPravikLocalize::interfaceName(int(interface.first), device->deviceOptions()));
    }
    if (network->setCurrentValue(editedProfile.network, true, true) < 0)
        network->setValueTextGlobalColor(
            QPravikLocalize::interfaceName(editedProfile.network, device->deviceOptions()), Qt::red, true);
    addItem(page, ProfileAlgorithmItem, -1, QPravikMenuItem::ChoiceList, tr("Algorithm"));
    addItem(page, ProfileChannelModeItem, -1, QPravikMenuItem::ChoiceList, tr("Channel Mode"));
    addItem(page, ProfileSampleRateItem, -1, QPravikMenuItem::ChoiceList, tr("Sampling Rate"));
    addItem(page, ProfileBitRateItem, -1, QPravikMenuItem::ChoiceList, tr("Bit Rate"));
    addItem(page, ProfileRemoteItem, -1, QPravikMenuItem::Number, tr("Remote Number"), editedProfile.remoteAddress);
    addItem(page, ProfileSecondRemoteItem, -1, QPravikMenuItem::Number, tr("Second Remote Number"),
            editedProfile.secondRemoteAddress);
    if (rowId >= RecordRowBase) {
        addSpacer(page);
        addItem(page, LoadRecordItem, rowId, QPravikMenuItem::Action, tr("Load"), tr(list.loadValue));
        addItem(page, DeleteRecordItem, rowId, QPravikMenuItem::Action, tr("Delete"), tr(list.deleteValue));
    }
    updateCallProfileEditor(page);
    updateCallProfileActions(page);
    referenceProfile = editedProfile;
    pushPage(page);
}

bool QPravikSettingsPage::readCallProfile(int rowId, const QString& name)
{
    TComDevice* device = frontPanelDevice();
    CallProfileRecord& p = editedProfile;
    p.reset();
    p.origin = 0;
    p.entryId = rowId;
    p.name = name;
    p.openedFor = pendingTarget;
    p.codecMode = isLineTarget(pendingTarget) ? device->codecMode() : 0;
    if (rowId < RecordRowBase)
        return true;
    TComRequestHelper::ValueMap reply;
    if (!requestHelper.call(openProfileRequest(rowId - RecordRowBase), reply, kBookTimeoutMs))
        return false;
    const std::string* network = replyValue(reply, "network");
    p.network = int(interfaceCodeFromName(network ? *network : device->defaultNetwork()));
    if (const std::string* codec = replyValue(reply, "codec"))
        p.coding = codecConfigFromString(*codec);
    if (const std::string* mode = replyValue(reply, "codec_mode")) {
        if (*mode == "cmode_normal")
            p.codecMode = 0;
        else if (*mode == "cmode_double")
            p.codecMode = 1;
    }
    const std::string* coord = replyValue(reply, "coord_mode");
    if (coord && p.codecMode == 0 && *coord == "enabled")
        p.coordMode = 1;
    // The numbers go back to the unit and to the line as they came.
    if (const std::string* remote = replyValue(reply, "remote_addr"))
        p.remoteAddress = fromUnitUtf8(*remote);
    if (const std::string* remote = replyValue(reply, "remote_addr2"))
        p.secondRemoteAddress = fromUnitUtf8(*remote);
    p.lines = device->operationMode() == 1 && p.coding.channelMode != 0 ? 1 : 3;
    return true;
}

void QPravikSettingsPage::updateCallProfileEditor(QPravikMenuItems* page)
{
    if (!page)
        return;
    TComDevice* device = frontPanelDevice();
    CodecConfig& coding = editedProfile.coding;
    const int codecMode = editedProfile.codecMode;
    const int networkClass = int(interfaceClass(editedProfile.network));
    const bool noCoding = coding.codec == -1 || coding.codec == kGsmCodec;

    if (QPravikMenuItem* item = page->findItem(ProfileAlgorithmItem)) {
        item->clearChoices();
        item->addChoice(-1, tr("None"));
        if (interfaceName(editedProfile.network) == "mobile.0" && unitFirmwareVersion > kVoiceAbove)
            item->addChoice(kGsmCodec, tr("Voice"));
        std::vector<int> algorithms;
        device->listCodecAlgorithms(codecMode, algorithms, networkClass);
        for (int algorithm : algorithms)
            item->addChoice(algorithm, QPravikLocalize::codecName(algorithm));
        if (item->setCurrentValue(coding.codec, true, true) < 0)
            item->setValueText(QPravikLocalize::codecName(coding.codec), true);
        item->setLocked(algorithms.size() < 2);
    }
    if (QPravikMenuItem* item = page->findItem(ProfileChannelModeItem)) {
        item->clearChoices();
        if (noCoding) {
            hideCodingItem(item);
        } else {
            std::vector<int> modes;
            device->listCodecModes(codecMode, coding.codec, 1, modes, networkClass);
            int mode = int(coding.channelMode);
            fillCodingChoices(item, modes, mode, [](int m) { return QPravikLocalize::channelModeName(m); });
            coding.channelMode = std::uint32_t(mode);
        }
    }
    if (QPravikMenuItem* item = page->findItem(ProfileSampleRateItem)) {
        item->clearChoices();
        if (noCoding) {
            hideCodingItem(item);
        } else if (coding.codec <= kLastFixedRateCodec) {
            // The unit keeps these at 48000/64000 whatever their real rate.
            coding.sampleRate = 48000;
            coding.bitRate = 64000;
            item->addChoice(48000, tr("%1 kHz").arg(coding.codec <= kLastNarrowBandCodec ? 8 : 16));
            item->setCurrentValue(48000, true, true);
            item->setLocked(true);
            item->setVisible(true);
        } else {
            std::vector<int> rates;
            device->listSampleRates(codecMode, coding.codec, int(coding.channelMode), rates, networkClass);
            fillCodingChoices(item, rates, coding.sampleRate, [](int r) { return kiloText("%1 kHz", r); });
        }
    }
    if (QPravikMenuItem* item = page->findItem(ProfileBitRateItem)) {
        item->clearChoices();
        if (noCoding) {
            hideCodingItem(item);
        } else {
            std::vector<int> rates;
            device->listBitrates(codecMode, coding.codec, int(coding.channelMode), coding.sampleRate, rates,
                                 networkClass);
            fillCodingChoices(item, rates, coding.bitRate, [](int r) { return kiloText("%1 kbit/s", r); });
        }
    }
    if (QPravikMenuItem* item = page->findItem(ProfileSecondRemoteItem)) {
        // A hidden item keeps its text, so the number comes back with the rate.
        const int transport = transportOf(editedProfile.network);
        bool shown = false;
        if (transport == IsdnTransport) {
            shown = coding.codec != -1 && coding.bitRate == 128000;
            item->titleLabel->setText(tr("Second Remote Number"));
        } else if (transport == IpTransport && coding.codec != kGsmCodec) {
            shown = device->deviceOptions() & kDoubleStreamOption;
            item->titleLabel->setText(tr("Secondary Number (for Double Streaming)"));
        }
        editedProfile.secondRemoteAddress = shown ? item->valueText() : QString();
        item->setVisible(shown);
    }
}

void QPravikSettingsPage::updateCallProfileActions(QPravikMenuItems* page)
{
    if (!page)
        return;
    if (QPravikMenuItem* load = page->findItem(LoadRecordItem))
        load->setLocked(header->modified || !editedProfile.isValid()
                        || !callProfileLoadable(editedProfile, pendingTarget));
    if (QPravikMenuItem* remove = page->findItem(DeleteRecordItem))
        remove->setLocked(header->modified);
}

bool QPravikSettingsPage::applyCallProfile(QPravikMenuItems* page)
{
    if (!page || page->menuId != RecordMenu || page->parentId != CallProfilesMenu)
        return false;
    const CallProfileRecord& p = editedProfile;
    // A stored profile saved under another name is a new one; the old stays.
    const bool update = p.entryId != -1 && p.name == referenceProfile.name;
    if (update && p.entryId < RecordRowBase)
        return false;
    TComDevice* device = frontPanelDevice();
    TCommand request(TCommand::Do);
    request.setParam(wire::key::target(), wire::target::general());
    request.setParam(wire::key::action(), update ? wire::action::update() : wire::action::create());
    request.setParam(wire::key::type(), bookList(CallProfilesMenu).kind);
    if (update)
        request.setParam(wire::key::id(), toString(p.entryId - RecordRowBase));
    request.setParam(wire::key::name(), toUnitUtf8(p.name));
    request.setParam(wire::key::network(), interfaceName(p.network));
    if (p.coding.codec == kGsmCodec) {
        request.setParam(wire::key::codecMode(), "cmode_normal");
        request.setParam(wire::key::coordMode(), "enabled");
    } else if (p.coding.codec != -1) {
        request.setParam(wire::key::codecMode(), device->codecMode() == 1 ? "cmode_double" : "cmode_normal");
        request.setParam(wire::key::coordMode(), device->audioModeFlags() == 8 ? "enabled" : "disabled");
    }
    if (p.coding.codec != -1)
        request.setParam(wire::key::codec(), codecConfigToString(p.coding));
    request.setParam(wire::key::remoteAddr(), toUnitUtf8(p.remoteAddress));
    if (!p.secondRemoteAddress.isEmpty())
        request.setParam(wire::key::remoteAddr2(), toUnitUtf8(p.secondRemoteAddress));
    if (requestHelper.send(request, kBookTimeoutMs))
        return true;
    showMessage(update ? tr("Failed to update the call profile!") : tr("Failed to create the call profile!"), 0);
    return false;
}

// ------------------------------------------------------------ entry menus ---

void QPravikSettingsPage::createRecordMenu(int listMenuId, int rowId, const QString& name)
{
    const BookList& list = bookList(listMenuId);
    auto* page = new QPravikMenuItems(RecordMenu, listMenuId, this);
    addItem(page, RecordNameItem, -1, QPravikMenuItem::ReadOnly, tr(list.nameTitle), name)->setLocked(true);
    addSpacer(page);
    addItem(page, LoadRecordItem, rowId, QPravikMenuItem::Action, tr("Load"), tr(list.loadValue));
    if (list.updateValue)
        addItem(page, UpdateRecordItem, rowId, QPravikMenuItem::Action, tr("Update"), tr(list.updateValue));
    addItem(page, DeleteRecordItem, rowId, QPravikMenuItem::Action, tr("Delete"), tr(list.deleteValue));
    pushPage(page);
}

void QPravikSettingsPage::createPresetMenu(int rowId, const QString& name)
{
    createRecordMenu(PresetsMenu, rowId, name);
}

void QPravikSettingsPage::createSipProfileMenu(int rowId, const QString& name)
{
    createRecordMenu(SipProfilesMenu, rowId, name);
}

void QPravikSettingsPage::createSnapshotMenu(int rowId, const QString& name)
{
    createRecordMenu(SnapshotsMenu, rowId, name);
}
