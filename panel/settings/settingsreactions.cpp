#include "panel/settings/qpraviksettingspage.h"

#include <QStackedLayout>

#include <algorithm>
#include <functional>
#include <iterator>
#include <optional>
#include <vector>

#include "audio/tcomravennacontroller.h"
#include "audio/tmatrixsettings.h"
#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "model/locale.h"
#include "model/qpraviksoftkeys.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"
#include "panel/kit/controls.h"
#include "panel/kit/menuselect.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/panelshared.h"
#include "panel/settings/booklist.h"
#include "panel/settings/settingsids.h"

using namespace SettingsId;

// The page's menu id decides which area reacts; a menu of no area gets none.
void QPravikSettingsPage::routeReaction(const ItemReaction& reaction)
{
    const int menu = reaction.item->page->menuId;
    const auto within = [menu](int first, int last) { return menu >= first && menu <= last; };
    if (menu == NetworkMenu || menu == AoipMenu || menu == IsdnMenu || within(EthernetMenuFirst, WifiMenuLast)
        || within(SipAccountMenuFirst, SipAccountMenuLast))
        networkReaction(reaction);
    else if (menu == AudioMenu || menu == Codec1Menu || menu == Codec2Menu || menu == AutoBitRateMenu
             || menu == MonitoringMenu)
        codingAudioReaction(reaction);
    else if (menu == RavennaMenu || within(IpAddressingMenuFirst, IpAddressingMenuLast) || menu == InputStreamsMenu
             || within(InputStreamMenuFirst, InputStreamMenuLast) || menu == OutputStreamMenu)
        moduleReaction(reaction);
    else if (within(CallProfilesMenu, SnapshotsMenu) || menu == RecordMenu)
        bookReaction(reaction);
    else if (menu == ToolsMenu || menu == SoundIdMenu || within(SoftkeyMenuFirst, SoftkeyMenuLast)
             || menu == LabelsMenu || menu == MiscellaneousMenu || menu == TroubleshootingMenu
             || menu == RemoteAccessMenu || menu == PasswordsMenu)
        toolsReaction(reaction);
}

// ===========================================================================
// Network: Network menu, AoIP and SIP accounts, ISDN, Ethernet, Mobile, Wi-Fi
// ===========================================================================

namespace {

// The unit may search for operators for three minutes.
constexpr int kOperatorScanMs = 180000;
constexpr int kAutoSecurity = 1;

} // namespace

void QPravikSettingsPage::changeNetworkItem(QPravikMenuItem* item, int value)
{
    TComDevice* device = frontPanelDevice();
    // A red "not offered" network goes back to the normal colour.
    if (item->id == SecondaryNetworkItem)
        item->setLocked(item->locked);
    if (device->hasAudioConnection()) {
        refreshNetworkItem(item);
        showMessage(tr("Cannot apply changes\n(a connection is established)"), 0);
        return;
    }
    if (item->id == CodecModeItem) {
        changeCodecMode(item->page, value);
        return;
    }
    showMessage(tr("Applying changes..."), 1000);
    const std::string name = interfaceName(value);
    const bool done = item->id == DefaultNetworkItem ? device->setDefaultNetwork(name, true)
                                                     : device->setSecondaryNetwork(name, true);
    if (!done) {
        refreshNetworkItem(item);
        showMessage(tr("Failed to apply changes!"), 0);
    }
}

void QPravikSettingsPage::changeCodecMode(QPravikMenuItems* page, int mode)
{
    TComDevice* device = frontPanelDevice();
    showMessage(tr("Applying changes..."), 0);
    bool done = true;
    if (mode == 0 || mode == 1)
        done = device->setCoordMode(0, true) && device->setCodecMode(mode, true);
    else if (mode == 2) {
        // The coordination runs codec 1 in mono.
        const CodecConfig& coding = device->codec1();
        done = ((coding.channelMode != 1 && coding.channelMode != 2)
                || device->setDualCodec(1, codecConfigToString(monoCoding(coding, 0)), true))
            && device->setCoordMode(1, true) && device->setCodecMode(0, true);
    }
    for (int id : {DefaultNetworkItem, SecondaryNetworkItem, CodecModeItem})
        refreshNetworkItem(page->findItem(id));
    if (done)
        closePopup();
    else
        showMessage(tr("Failed to apply changes!"), 0);
}

void QPravikSettingsPage::networkReaction(const ItemReaction& reaction)
{
    QPravikMenuItem* item = reaction.item;
    QPravikMenuItems* page = item->page;
    const int menu = page->menuId;
    const auto within = [menu](int first, int last) { return menu >= first && menu <= last; };
    if (reaction.hook == ItemReaction::SelectionAccepted) {
        if (!reaction.selection || !reaction.selection->currentRow)
            return;
        const QString chosen = reaction.selection->currentRow->label->text();
        if (within(MobileMenuFirst, MobileMenuLast) && item->id == PreferredOperatorItem) {
            item->setValueText(chosen, false);
            header->setModified(mobileMenuModified(page));
        } else if (within(WifiMenuFirst, WifiMenuLast) && item->id == NetworkListItem) {
            chooseWifiNetwork(page, chosen);
        }
        return;
    }
    if (reaction.hook != ItemReaction::Changed)
        return;
    if (menu == NetworkMenu) {
        const std::optional<int> value = itemValue(item);
        if (value && item->id >= DefaultNetworkItem && item->id <= CodecModeItem)
            changeNetworkItem(item, *value);
        return;
    }
    if (menu == AoipMenu) {
        if (item->id == DefaultProtocolItem)
            updateDoubleStreamingItems(item);
        header->setModified(aoipControllerMenuModified(page));
    } else if (within(SipAccountMenuFirst, SipAccountMenuLast)) {
        QPravikMenuItem* port = page->findItem(SipPortItem);
        if (item->id == AlternateSipPortItem && port && item->switchButton) {
            const qint64 alternate = item->switchButton->isChecked() ? 2 : 0; // the unit's port may be any int
            port->setValueText(QString::number(frontPanelDevice()->aoip().sipUdpPort() + alternate), false);
        }
        header->setModified(sipAccountMenuModified(page));
    } else if (menu == IsdnMenu) {
        const std::optional<int> protocol = itemValue(item);
        if (item->id == IsdnProtocolItem && protocol)
            lockIsdnNumbers(page, *protocol, false);
        header->setModified(isdnMenuModified(page));
    } else if (within(EthernetMenuFirst, EthernetMenuLast)) {
        if (item->id == DhcpItem && item->switchButton) {
            for (int id = IpAddressItem; id <= AuxiliaryDnsItem; ++id) {
                if (QPravikMenuItem* address = page->findItem(id))
                    address->setLocked(item->switchButton->isChecked());
            }
        }
        header->setModified(ethernetMenuModified(page));
    } else if (within(MobileMenuFirst, MobileMenuLast)) {
        if (item->id == PreferredOperatorItem)
            scanOperators(item);
        header->setModified(mobileMenuModified(page));
    } else if (within(WifiMenuFirst, WifiMenuLast)) {
        header->setModified(wifiMenuModified(page));
    }
}

void QPravikSettingsPage::scanOperators(QPravikMenuItem* item)
{
    showMessage(tr("Scanning available networks..."), 0);
    TCommand request(TCommand::Param);
    request.setParam("target", "network");
    request.setParam("network", interfaceOfMenu(item->page->menuId));
    request.addList("plmn");
    // A fresh list: the helper appends to what it is given.
    std::vector<std::string> names;
    if (!requestHelper.getList(request, names, kOperatorScanMs)) {
        showMessage(tr("Failed to scan networks!"), 0);
        return;
    }
    closePopup();
    item->clearChoices();
    item->addChoice(0, tr("Auto"));
    for (std::size_t i = 0; i < names.size(); ++i)
        item->addChoice(int(i) + 1, fromUnitUtf8(names[i]));
    openSelection(tr("Select Network"), item, true);
}

// A network picked from the scan replaces the name and asks the unit to find
// its security; picking the network already set changes nothing.
void QPravikSettingsPage::chooseWifiNetwork(QPravikMenuItems* page, const QString& name)
{
    if (toUnitUtf8(name) == wifiController.ssid())
        return;
    if (QPravikMenuItem* ssid = page->findItem(SsidItem))
        ssid->setValueText(name, false);
    if (QPravikMenuItem* security = page->findItem(SecurityItem))
        security->setCurrentValue(kAutoSecurity, true, true);
    if (QPravikMenuItem* passphrase = page->findItem(PassphraseItem))
        passphrase->setValueText(QString(), false);
    header->setModified(wifiMenuModified(page));
}

// ===========================================================================
// Coding and audio: Audio, codec coding, auto bit rate, Monitoring
// ===========================================================================

namespace {

bool isTwoChannel(const CodecConfig& coding)
{
    return coding.channelMode == 1 || coding.channelMode == 2;
}

} // namespace

// Mono keeps its bit rate when the unit lists it for mono; else the first
// listed one, or 64000 when none is.
CodecConfig QPravikSettingsPage::monoCoding(CodecConfig coding, int codecMode)
{
    coding.channelMode = 0;
    std::vector<int> rates;
    frontPanelDevice()->listBitrates(codecMode, coding.codec, 0, coding.sampleRate, rates, kInvalidInterface);
    if (rates.empty())
        coding.bitRate = 64000;
    else if (std::find(rates.begin(), rates.end(), coding.bitRate) == rates.end())
        coding.bitRate = rates.front();
    return coding;
}

void QPravikSettingsPage::codingAudioReaction(const ItemReaction& reaction)
{
    if (reaction.hook != ItemReaction::Changed)
        return;
    QPravikMenuItem* item = reaction.item;
    switch (item->page->menuId) {
    case Codec1Menu:
    case Codec2Menu:
        codecCodingItemChanged(item);
        break;
    case AutoBitRateMenu:
        writeAutoBitRateItem(item);
        break;
    case AudioMenu:
        audioItemChanged(item);
        break;
    case MonitoringMenu:
        monitoringItemChanged(item);
        break;
    default:
        break;
    }
}

void QPravikSettingsPage::monitoringItemChanged(QPravikMenuItem* item)
{
    if (item->id == SideToneItem || item->id == IntercomItem) {
        const std::uint32_t bit = item->id == SideToneItem ? kSideToneBit : kIntercomBit;
        editedMatrixOptions = static_cast<int>(switchOn(item) ? matrixOptions() | bit : matrixOptions() & ~bit);
    }
    header->setModified(isMonitoringMenuModified(item->page));
}

void QPravikSettingsPage::codecCodingItemChanged(QPravikMenuItem* item)
{
    if (const std::optional<int> chosen = itemValue(item)) {
        const int value = *chosen;
        bool refill = true;
        switch (item->id) {
        case AlgorithmItem:
            editedCoding.codec = value;
            break;
        case ChannelModeItem:
            editedCoding.channelMode = std::uint32_t(value);
            break;
        case SamplingRateItem:
            editedCoding.sampleRate = value;
            break;
        case BitRateItem:
            editedCoding.bitRate = value;
            break;
        default:
            refill = false;
            break;
        }
        if (refill)
            updateCodecCodingMenu(item->page);
    }
    header->setModified(isCodecCodingMenuModified(item->page));
}

void QPravikSettingsPage::audioItemChanged(QPravikMenuItem* item)
{
    TAudioSettings* audio = frontPanelAudioSettings();
    TComDevice* device = frontPanelDevice();
    const std::optional<int> chosen = itemValue(item);
    const bool hasValue = chosen.has_value();
    const int value = chosen.value_or(-1);
    bool ok = true;
    switch (item->id) {
    case InputLimiterItem:
        ok = !hasValue || audio->setLimiterThreshold(value, true);
        break;
    case InputFormatItem:
        ok = audio->setInputSource(switchOn(item) ? TAudioSettings::Analog : TAudioSettings::Digital, true);
        break;
    case KnobFunctionItem: {
        // Only this bit travels: Monitoring edits not applied stay behind.
        TMatrixSettings* matrix = frontPanelMatrixSettings();
        const std::uint32_t word = switchOn(item) ? matrix->options() | kKnobFunctionBit
                                                  : matrix->options() & ~kKnobFunctionBit;
        ok = matrix->setOptions(word, true);
        editedMatrixOptions = static_cast<int>(matrix->options());
        break;
    }
    case OperationModeItem:
        if (!hasValue)
            return;
        if (device->hasAudioConnection()) {
            showAudioItem(item);
            showMessage(tr("Cannot apply changes\n(a connection is established)"), 0);
            return;
        }
        ok = changeOperationMode(switchOn(item) ? 1 : 0);
        break;
    case DynamicProcessingItem:
        ok = audio->setDrcState(switchOn(item), true);
        break;
    case LimiterThresholdItem:
        if (!hasValue)
            return;
        // The compressor must stay below the limiter.
        ok = (value > audio->drcThresholdCmp() || audio->setDrcThresholdCmp(value - 1, true))
            && audio->setDrcLimThreshold(value, true);
        if (ok)
            updateAudioMenu(item->page);
        break;
    case CompressorThresholdItem:
        ok = !hasValue || audio->setDrcThresholdCmp(value, true);
        break;
    case CompressorRatioItem:
        ok = !hasValue || audio->setDrcRatio(float(value) / 10.0f, true);
        break;
    case AttackTimeItem:
        ok = !hasValue || audio->setDrcAttack(value, true);
        break;
    case Aes67StateItem:
        if (!hasValue)
            return;
        if ((device->hardwareType() & 0xF) == 4 && device->hasAudioConnection()) {
            showAudioItem(item);
            showMessage(tr("Cannot apply changes\n(a connection is established)"), 0);
            return;
        }
        ok = device->setAes67Reset(value == 0, true);
        if (ok) {
            frontPanelRavenna()->reset();
            updateAudioMenu(item->page);
        }
        break;
    default:
        return;
    }
    if (!ok) {
        showAudioItem(item);
        showMessage(tr("Failed to apply changes!"), 0);
    }
}

// Standard operation takes mono codings only: a two-channel codec 1, or
// the default coding it would start with, is made mono first.
bool QPravikSettingsPage::changeOperationMode(int mode)
{
    TComDevice* device = frontPanelDevice();
    if (mode == 0) {
        if (device->codecMode() == 1) {
            if (isTwoChannel(device->codec1())
                && !device->setDualCodec(1, codecConfigToString(monoCoding(device->codec1(), 1)), true))
                return false;
        } else {
            CodecConfig defaultCoding;
            if (device->loadDefaultCodecs(1, wire::target::ip(), defaultCoding) && isTwoChannel(defaultCoding)
                && !device->setDefaultCodec(1, wire::target::ip(), codecConfigToString(monoCoding(defaultCoding, 1))))
                return false;
        }
        if (device->codecMode() == 0 && device->audioModeFlags() == 0x40 && isTwoChannel(device->codec1())
            && !device->setDualCodec(1, codecConfigToString(monoCoding(device->codec1(), 0)), true))
            return false;
    }
    return device->setOperationMode(mode, true);
}

// ===========================================================================
// AoIP module (RAVENNA/DANTE)
// ===========================================================================

void QPravikSettingsPage::moduleReaction(const ItemReaction& reaction)
{
    if (reaction.hook != ItemReaction::Changed)
        return;
    QPravikMenuItem* item = reaction.item;
    QPravikMenuItems* page = item->page;
    const int menu = page->menuId;
    if (menu == RavennaMenu) {
        moduleItemChanged(item);
    } else if (menu == InputStreamsMenu) {
        if (item->id == ReceiverDelayItem)
            receiverDelayChanged(item);
    } else if (menu == IpAddressingMenuFirst || menu == IpAddressingMenuLast) {
        if (item->id == ModuleDhcpItem)
            for (int id : {ModuleIpAddressItem, ModuleSubnetItem, ModuleGatewayItem})
                if (QPravikMenuItem* address = page->findItem(id))
                    address->setLocked(switchOn(item));
        header->setModified(isIpAddressingMenuModified(page));
    } else if (menu >= InputStreamMenuFirst && menu <= InputStreamMenuLast) {
        const std::optional<int> value = itemValue(item);
        if (item->id == StreamIdItem && value) {
            editedStreamIn.name = toUnitUtf8(item->choices.at(item->currentIndex).text);
            updateInputStreamMenu(page);
        } else if (item->id == StreamChannelItem && value) {
            editedStreamIn.streamSubId = *value;
        }
        header->setModified(isInputStreamMenuModified(page));
    } else if (menu == OutputStreamMenu) {
        if (item->id == AutoConfig1Item || item->id == AutoConfig2Item) {
            const bool lock = frontPanelRavenna()->state() == TComController::Unloaded || switchOn(item);
            for (int id : {item->id + 1, item->id + 2})
                if (QPravikMenuItem* row = page->findItem(id))
                    row->setLocked(lock);
        }
        header->setModified(isOutputStreamMenuModified(page));
    }
}

// Written at once; a refusal, an empty name or a text that is no number
// puts back the controller's value.
void QPravikSettingsPage::moduleItemChanged(QPravikMenuItem* item)
{
    TComRavennaController* ravenna = frontPanelRavenna();
    const std::optional<int> value = itemValue(item);
    bool ok = true;
    switch (item->id) {
    case ModuleDeviceNameItem: {
        const QString name = item->valueText();
        ok = !name.isEmpty() && ravenna->setDeviceName(toUnitUtf8(name), true);
        break;
    }
    case ModuleSampleRateItem:
        ok = !value || ravenna->setSampleRate(*value, true);
        break;
    case ModuleResolutionItem:
        ok = !value || ravenna->setResolution(*value, true);
        break;
    case ModulePtpDomainItem: {
        const std::optional<int> domain = strictNumber(item->valueText());
        ok = domain && ravenna->setPtpDomain(*domain, true);
        break;
    }
    case ModuleNetModeItem:
        if (!value)
            return;
        ok = ravenna->setNetMode(*value, true);
        if (ok)
            showMessage(tr("Changes take effect after\nthe next power cycle"), 0);
        break;
    default:
        return;
    }
    if (!ok) {
        showModuleItem(item);
        showMessage(tr("Failed to apply changes!"), 0);
    }
}

// Only a delay within the module's range is sent.
void QPravikSettingsPage::receiverDelayChanged(QPravikMenuItem* item)
{
    TComRavennaController* ravenna = frontPanelRavenna();
    const std::optional<int> delay = strictNumber(item->valueText());
    if (delay && *delay >= ravenna->delayMinIn() && *delay <= ravenna->delayMaxIn() && ravenna->setDelayIn(*delay, true))
        return;
    item->setValueText(ravenna->delayIn() < 1 ? tr("Automatic") : QString::number(ravenna->delayIn()), false);
    showMessage(tr("Failed to apply changes!"), 0);
}

// ===========================================================================
// Book: stored lists and record pages
// ===========================================================================

namespace bookreaction {

constexpr int kTimeoutMs = 5000;

QString tr(const char* text)
{
    return QPravikSettingsPage::tr(text);
}

TCommand request(const std::string& action, const char* kind, int rowId = -1)
{
    TCommand command(TCommand::Do);
    command.setParam(wire::key::action(), action);
    command.setParam(wire::key::target(), wire::target::general());
    command.setParam(wire::key::type(), kind);
    if (rowId >= RecordRowBase)
        command.setParam(wire::key::id(), toString(rowId - RecordRowBase));
    return command;
}

void askSipAccount(QPravikSettingsPage& page, QPravikMenuItem* item, const char* title)
{
    item->clearChoices();
    item->addChoice(1, tr("Primary SIP Account"));
    item->addChoice(2, tr("Secondary SIP Account"));
    item->setCurrentValue(1, false, false);
    page.openSelection(tr(title), item, true);
}

// The unit's cause of the last refusal in brackets on a line of its own.
QString causeSuffix(const QPravikSettingsPage& page)
{
    const std::string& cause = page.requestHelper.lastError();
    return cause.empty() ? QString() : QStringLiteral("\n(") + frontPanelLocale()->text(cause) + QLatin1Char(')');
}

// On success the list is built anew in place of the current one.
void create(QPravikSettingsPage& page, int menuId, TCommand command, const QString& name)
{
    const BookList& t = bookList(menuId);
    command.setParam(wire::key::name(), toUnitUtf8(name));
    page.showMessage(tr(t.creating), 0);
    if (!page.requestHelper.send(command, kTimeoutMs)) {
        page.showMessage(tr(t.createFailed) + (menuId == SipProfilesMenu ? causeSuffix(page) : QString()), 0);
        return;
    }
    QPravikMenuItems* old = page.currentItems();
    if (menuId == PresetsMenu)
        page.createPresetsMenu();
    else if (menuId == SipProfilesMenu)
        page.createSipProfilesMenu();
    else
        page.createSnapshotsMenu();
    if (old && old != page.currentItems()) {
        page.stack->removeWidget(old);
        old->deleteLater();
    }
    page.closePopup();
}

void load(QPravikSettingsPage& page, int menuId, int rowId, int account = 0)
{
    if (rowId < RecordRowBase)
        return;
    const BookList& t = bookList(menuId);
    if (frontPanelDevice()->hasAudioConnection()) {
        page.showMessage(tr(t.loadBusy), 0);
        return;
    }
    TCommand command = request(wire::action::load(), t.kind, rowId);
    if (account)
        command.setParam("account", toString(account));
    if (t.loading)
        page.showMessage(tr(t.loading), 0);
    if (page.requestHelper.send(command, kTimeoutMs)) {
        if (t.loading)
            page.closePopup();
        page.goBack();
        return;
    }
    QString failure = tr(t.loadFailed);
    if (menuId == SipProfilesMenu) {
        const int cause = errorCodeFromText(page.requestHelper.lastError());
        // The unit took the profile but found it at odds with the accounts.
        if (cause >= 139 && cause <= 141)
            failure = tr("SIP profile loaded with a warning!");
        failure += causeSuffix(page);
    }
    page.showMessage(failure, 0);
}

void update(QPravikSettingsPage& page, QPravikMenuItems* entry, int rowId)
{
    if (rowId < RecordRowBase)
        return;
    const BookList& t = bookList(entry->parentId);
    TCommand command = request(wire::action::update(), t.kind, rowId);
    if (QPravikMenuItem* name = entry->findItem(RecordNameItem))
        command.setParam(wire::key::name(), toUnitUtf8(name->valueText()));
    if (!page.requestHelper.send(command, kTimeoutMs)) {
        page.showMessage(tr(t.updateFailed), 0);
        return;
    }
    page.goBack();
}

void remove(QPravikSettingsPage& page, int listMenuId, int rowId)
{
    if (rowId < RecordRowBase)
        return;
    const BookList& t = bookList(listMenuId);
    if (!page.requestHelper.send(request(wire::action::delete_(), t.kind, rowId), kTimeoutMs)) {
        page.showMessage(tr(t.deleteFailed), 0);
        return;
    }
    QPravikMenuItems* list = page.itemsPage(listMenuId);
    if (QPravikMenuItem* row = list ? list->findItemOfParent(rowId, listMenuId) : nullptr) {
        list->removeItem(row);
        row->deleteLater();
    }
    page.goBack();
}

bool refuseBusyLine(QPravikSettingsPage& page, int line)
{
    if (!frontPanelDevice()->findAudioConnection(line))
        return false;
    page.showMessage(tr("Cannot load the profile\n(a connection is established)"), 0);
    return true;
}

void profileLoaded(QPravikSettingsPage& page, QPravikMenuItem* item, int line)
{
    emit page.menuItemChanges(item, line == 2 ? QPravik::PageCallProfiles2 : QPravik::PageCallProfiles1);
    page.goBack();
}

// From line 2's book button only codec 2 takes the coding; otherwise the
// whole set-up goes to line 1. The first refusal stops; what the unit took
// before it stays.
void loadProfile(QPravikSettingsPage& page, QPravikMenuItem* item, int rowId)
{
    if (rowId < RecordRowBase)
        return;
    TComDevice* device = frontPanelDevice();
    const CallProfileRecord& p = page.editedProfile;
    const std::string coding = codecConfigToString(p.coding);
    const int line = page.pendingTarget == QPravik::PageCallProfiles2 ? 2 : 1;
    if (refuseBusyLine(page, line))
        return;
    const bool loaded = line == 2
        ? p.coding.codec == kGsmCodec || device->setDualCodec(2, coding, true)
        : device->setCoordMode(p.coordMode, true) && device->setCodecMode(p.codecMode, true)
            && device->setDefaultNetwork(interfaceName(p.network), true) && device->setDualCodec(1, coding, true);
    if (!loaded) {
        page.showMessage(tr("Failed to load the call profile!"), 0);
        return;
    }
    profileLoaded(page, item, line);
}

void loadProfileInto(QPravikSettingsPage& page, QPravikMenuItem* item, QPravikMenuSelect* selection)
{
    const int line = selection->currentRow ? selection->currentRow->value : 0;
    if (line != 1 && line != 2) {
        page.showMessage(tr("Failed to load the call profile!"), 0);
        return;
    }
    if (refuseBusyLine(page, line))
        return;
    if (!frontPanelDevice()->setDualCodec(line, codecConfigToString(page.editedProfile.coding), true)) {
        page.showMessage(tr("Failed to load the call profile!"), 0);
        return;
    }
    profileLoaded(page, item, line);
}

void editorFieldChanged(QPravikSettingsPage& page, QPravikMenuItem* item)
{
    CallProfileRecord& p = page.editedProfile;
    const std::optional<int> value = QPravikSettingsPage::itemValue(item);
    const auto setCoding = [&](const std::function<void(CodecConfig&)>& change) {
        if (!value)
            return;
        page.editedCoding = p.coding;
        change(page.editedCoding);
        p.coding = page.editedCoding;
    };
    switch (item->id) {
    case RecordNameItem:
        p.name = item->valueText();
        break;
    case ProfileNetworkItem:
        item->setLocked(item->locked); // back from red to the normal colour
        if (value)
            p.network = *value;
        break;
    case ProfileAlgorithmItem:
        setCoding([&](CodecConfig& c) { c.codec = *value; });
        if (value && *value == -1)
            p.coding = CodecConfig();
        break;
    case ProfileChannelModeItem:
        setCoding([&](CodecConfig& c) { c.channelMode = std::uint32_t(*value); });
        break;
    case ProfileSampleRateItem:
        setCoding([&](CodecConfig& c) { c.sampleRate = *value; });
        break;
    case ProfileBitRateItem:
        setCoding([&](CodecConfig& c) { c.bitRate = *value; });
        break;
    case ProfileRemoteItem:
        p.remoteAddress = item->valueText();
        break;
    case ProfileSecondRemoteItem:
        p.secondRemoteAddress = item->valueText();
        break;
    default:
        break;
    }
    page.updateCallProfileEditor(item->page);
    page.header->setModified(p.isValid() && p != page.referenceProfile);
    page.updateCallProfileActions(item->page);
}

void itemChanged(QPravikSettingsPage& page, QPravikMenuItem* item)
{
    QPravikMenuItems* at = item->page;
    const int menu = at->menuId;
    if (menu != RecordMenu) {
        if (item->id < RecordRowBase || item->parentId != menu)
            return;
        if (menu == CallProfilesMenu)
            loadProfile(page, item, item->id);
        else if (menu == SipProfilesMenu)
            askSipAccount(page, item, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Load into which account?"));
        else
            load(page, menu, item->id);
        return;
    }
    const int list = at->parentId;
    const int rowId = item->parentId;
    if (list == CallProfilesMenu) {
        if (item->id == LoadRecordItem)
            loadProfile(page, item, rowId);
        else if (item->id == DeleteRecordItem)
            remove(page, list, rowId);
        else
            editorFieldChanged(page, item);
    } else if (item->id == LoadRecordItem) {
        if (list == SipProfilesMenu)
            askSipAccount(page, item, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Load into which account?"));
        else
            load(page, list, rowId);
    } else if (item->id == UpdateRecordItem && list != SipProfilesMenu) {
        update(page, at, rowId);
    } else if (item->id == DeleteRecordItem) {
        remove(page, list, rowId);
    }
}

void keyboardAccepted(QPravikSettingsPage& page, QPravikMenuItem* item, QPravikVirtual* keyboard)
{
    const int menu = item->page->menuId;
    if (item->id != NewRecordItem || (menu != PresetsMenu && menu != SipProfilesMenu && menu != SnapshotsMenu))
        return;
    const QString name = keyboard->lineEdit.text();
    if (name.isEmpty())
        return;
    keyboard->hide();
    if (menu != SipProfilesMenu) {
        create(page, menu, request(wire::action::create(), bookList(menu).kind), name);
        return;
    }
    // Kept until the account is chosen.
    page.editedProfile.name = name;
    askSipAccount(page, item, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Create from which account?"));
}

void selectionAccepted(QPravikSettingsPage& page, QPravikMenuItem* item, QPravikMenuSelect* selection)
{
    const int menu = item->page->menuId;
    const int list = item->page->parentId;
    const int account = selection->currentRow ? selection->currentRow->value : 0;
    if (menu == SipProfilesMenu && item->id == NewRecordItem) {
        if (!account || page.editedProfile.name.isEmpty())
            return;
        TCommand command = request(wire::action::create(), bookList(SipProfilesMenu).kind);
        command.setParam("account", toString(account));
        create(page, menu, command, page.editedProfile.name);
    } else if ((menu == CallProfilesMenu && item->id >= RecordRowBase && item->parentId == menu)
               || (menu == RecordMenu && list == CallProfilesMenu && item->id == LoadRecordItem)) {
        loadProfileInto(page, item, selection);
    } else if (account && menu == SipProfilesMenu && item->id >= RecordRowBase && item->parentId == menu) {
        load(page, menu, item->id, account);
    } else if (account && menu == RecordMenu && list == SipProfilesMenu && item->id == LoadRecordItem) {
        load(page, list, item->parentId, account);
    }
}

} // namespace bookreaction

void QPravikSettingsPage::bookReaction(const ItemReaction& reaction)
{
    switch (reaction.hook) {
    case ItemReaction::Changed:
        bookreaction::itemChanged(*this, reaction.item);
        break;
    case ItemReaction::KeyboardAccepted:
        bookreaction::keyboardAccepted(*this, reaction.item, reaction.keyboard);
        break;
    case ItemReaction::SelectionAccepted:
        bookreaction::selectionAccepted(*this, reaction.item, reaction.selection);
        break;
    }
}

// ===========================================================================
// Tools
// ===========================================================================

namespace {

const char* const kResetFailed = QT_TRANSLATE_NOOP("QPravikSettingsPage", "Failed to perform reset action!");
const char* const kResettingSettings = QT_TRANSLATE_NOOP("QPravikSettingsPage", "Reset settings...");

// The reset categories of item 244 by value; the unit takes them without a target.
const struct ResetCategory
{
    const char* level;
    int timeoutMs;
    const char* progress;
    const char* failure;
} kResetCategories[] = {
    {"addrhistory", 5000, nullptr, kResetFailed},
    {"remote_profile", 5000, nullptr, kResetFailed},
    {"local_profile", 5000, nullptr, kResetFailed},
    {"sip_profile", 5000, nullptr, kResetFailed},
    {"snapshot", 5000, nullptr, kResetFailed},
    {"settings", 20000, kResettingSettings, kResetFailed},
    {"full", 20000, kResettingSettings, kResetFailed},
    {"sipaccount", 5000, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Reloading SIP Accounts..."),
     QT_TRANSLATE_NOOP("QPravikSettingsPage", "Failed to reload the SIP Accounts!")},
};

} // namespace

void QPravikSettingsPage::toolsReaction(const ItemReaction& reaction)
{
    QPravikMenuItem* item = reaction.item;
    const int menu = item->page->menuId;
    if (reaction.hook == ItemReaction::KeyboardAccepted) {
        if (item->id == AccessLevelItem)
            checkAccessPassword(item, reaction.keyboard);
        return;
    }
    if (reaction.hook == ItemReaction::SelectionAccepted) {
        if (menu == TroubleshootingMenu && item->id == ResetItem)
            resetUnitSettings(item, reaction.selection);
        return;
    }
    const std::optional<int> value = itemValue(item);
    if (menu == ToolsMenu && (item->id == ShutdownItem || item->id == RebootItem)) {
        TComDevice* device = frontPanelDevice();
        if (!(item->id == ShutdownItem ? device->shutdown() : device->reboot()))
            showMessage(tr("Failed to proceed!"), 0);
    } else if (menu == ToolsMenu && item->id == AccessLevelItem) {
        if (value)
            changeAccessLevel(item, *value);
    } else if ((menu == ToolsMenu || menu == SoundIdMenu)
               && (item->id == SoundIdItem || item->id == SoundIdShortcutItem)) {
        switchSoundId(item);
    } else if (menu >= SoftkeyMenuFirst && menu <= SoftkeyMenuLast && value) {
        QPravikSoftkey* key = frontPanelSoftkey(menu - SoftkeyMenuFirst);
        if (item->id == SoftkeyCategoryItem)
            key->setCategory(*value);
        else if (item->id == SoftkeyFunctionItem)
            key->setFunctionByte(static_cast<unsigned char>(*value));
        else if (item->id == SoftkeyModeItem)
            key->setBehavior(*value);
        updateSoftkeyMenu(item->page);
    } else if (menu == LabelsMenu) {
        changeLabel(item);
    } else if (menu == MiscellaneousMenu && item->id == AutologinItem) {
        if (value && !setAutologin(*value != 0, true))
            showMessage(tr("Failed to apply changes!"), 0);
    } else if (menu == MiscellaneousMenu || menu == TroubleshootingMenu) {
        sendUnitValue(item);
    } else if (menu == RemoteAccessMenu) {
        // Puts back the normal colour of an interface shown in red.
        if (item->id == ControlInterfaceItem)
            item->setLocked(item->locked);
        header->setModified(isRemoteAccessMenuModified(item->page));
    } else if (menu == PasswordsMenu && item->id >= AdminPasswordItem && item->id <= OperatorPasswordItem) {
        changeLevelPassword(item);
    }
}

void QPravikSettingsPage::changeAccessLevel(QPravikMenuItem* item, int level)
{
    // A failed read leaves the passwords of the login to check against.
    readPasswords();
    if (!passwordForLevel(level).isEmpty()) {
        openKeyboard(1, item, true);
        return;
    }
    currentAccessLevel = level;
    updateToolsMenuAccess(item->page);
}

void QPravikSettingsPage::checkAccessPassword(QPravikMenuItem* item, QPravikVirtual* keyboard)
{
    keyboard->hide();
    if (!itemValue(item))
        return;
    const int level = keyboard->property("vkb_accessLevel").toInt();
    if (keyboard->lineEdit.text() != passwordForLevel(level)) {
        showMessage(tr("Wrong password!"), 0);
        return;
    }
    currentAccessLevel = level;
    item->setCurrentValue(level, true, false);
    updateToolsMenuAccess(item->page);
}

void QPravikSettingsPage::changeLabel(QPravikMenuItem* item)
{
    const QString text = item->valueText();
    const int info = item->id - InfoLabelItemFirst;
    const int contact = item->id - ContactLabelItemFirst;
    if (info == 0 || info == 1) {
        frontPanelSoftkeys()->setInfoLabel(info, text);
    } else if (contact == 0 || contact == 1) {
        frontPanelSoftkeys()->setContactLabel(contact, text);
    } else {
        const auto input = inputLabelItems.find(item->id);
        if (input != inputLabelItems.end())
            frontPanelMatrixSettings()->setInputName(input->second, text);
    }
}

void QPravikSettingsPage::changeLevelPassword(QPravikMenuItem* item)
{
    const int level = AdministratorLevel - (item->id - AdminPasswordItem);
    const QString text = item->valueText();
    const bool stored = level == AdministratorLevel ? setAdminPassword(text, true)
                        : level == ExpertLevel      ? setExpertPassword(text, true)
                                                    : setOperatorPassword(text, true);
    if (stored)
        return;
    // A password the unit did not take is nobody's password.
    item->setValueText(passwordForLevel(level), false);
    showMessage(tr("Failed to apply changes!"), 0);
}

void QPravikSettingsPage::resetUnitSettings(QPravikMenuItem* item, QPravikMenuSelect* selection)
{
    if (!selection->currentRow)
        return;
    const int category = selection->currentRow->value;
    if (category < 0 || category >= static_cast<int>(std::size(kResetCategories)))
        return;
    const ResetCategory& reset = kResetCategories[category];
    TCommand command(TCommand::Do);
    command.setParam(wire::key::action(), wire::action::reset());
    command.setParam("level", reset.level);
    if (reset.progress)
        showMessage(tr(reset.progress), 0);
    if (!requestHelper.send(command, reset.timeoutMs)) {
        showMessage(tr(reset.failure), 0);
        return;
    }
    if (category == 5 || category == 6)
        updateTroubleshootingMenu(item->page);
    if (category >= 5)
        closePopup();
}
