#include "panel/settings/qpraviksettingspage.h"

#include <QStackedLayout>

#include <algorithm>
#include <functional>
#include <iterator>
#include <optional>
#include <vector>

#include "audio/taudiosettings.h"
#include "audio/tcomravennacontroller.h"
#include "audio/tmatrixsettings.h"
#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"
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
// Immediate items: written when they change, put back when refused
// ===========================================================================

namespace {

constexpr int kUnitValueTimeoutMs = 5000;

// The unit's text an item of a value no model keeps was last shown for.
const char* const kUnitValue = "unitValue";

// How such an item shows the unit's text of its key.
enum class Shown { InputEvent, RelayState, OnOff, Number, BitRate, AdaptPolicy, NtpServer, Text };

struct UnitRow
{
    int id;
    const char* key;
    const char* target;
    Shown shown;
    const char* missing; // what a key the unit does not answer shows
};

const UnitRow kUnitRows[] = {
    {AutoAdaptItem, "abr_calls", "audio", Shown::OnOff, ""},
    {AdaptPolicyItem, "abr_profile", "audio", Shown::AdaptPolicy, ""},
    {MinimumBitRateItem, "abr_minbr", "audio", Shown::BitRate, ""},
    {MaximumBitRateItem, "abr_maxbr", "audio", Shown::BitRate, ""},
    {GpioInput1Item, "ext_input1", "general", Shown::InputEvent, ""},
    {GpioInput2Item, "ext_input2", "general", Shown::InputEvent, ""},
    {GpioRelay1Item, "ext_relay1", "general", Shown::RelayState, ""},
    {GpioRelay2Item, "ext_relay2", "general", Shown::RelayState, ""},
    {AutoRedial1Item, "auto_redial_link1", "network", Shown::OnOff, ""},
    {AutoRedial2Item, "auto_redial_link2", "network", Shown::OnOff, ""},
    {RedialAttemptsItem, "auto_redial_attempts", "network", Shown::Number, "1"},
    {RedialTimeItem, "auto_redial_time", "network", Shown::Number, "1"},
    {NtpServerItem, "ntp_addr", "general", Shown::NtpServer, ""},
    {CustomNtpServerItem, "ntp_addr_custom", "general", Shown::Text, ""},
    {LogLevelItem, "log_level", "general", Shown::Number, "5"},
    {SyslogServerItem, "log_addr", "general", Shown::Text, ""},
};

// Adapt policies by choice value; the unit's other words read as "standard".
const char* const kAdaptPolicies[] = {"safe", "standard", "punchy"};

const UnitRow* unitRow(int id)
{
    for (const UnitRow& row : kUnitRows) {
        if (row.id == id)
            return &row;
    }
    return nullptr;
}

void rememberUnitText(QPravikMenuItem* item, const std::string& value)
{
    item->setProperty(kUnitValue, QByteArray::fromStdString(value));
}

void showUnitText(QPravikMenuItem* item, const UnitRow& row, const std::string& value)
{
    rememberUnitText(item, value);
    switch (row.shown) {
    case Shown::InputEvent:
        item->setCurrentValue(QPravikSettingsPage::inputEventFromKey(value), true, false);
        break;
    case Shown::RelayState:
        item->setCurrentValue(QPravikSettingsPage::relayStateFromKey(value), true, false);
        break;
    case Shown::OnOff:
        item->setChecked(value == "on");
        break;
    case Shown::Number:
        item->setCurrentValue(fromString<int>(value), true, false);
        break;
    case Shown::BitRate: {
        const int rate = fromString<int>(value);
        QPravikSettingsPage::selectOrShow(item, rate,
                                          rate > 0 ? QPravikSettingsPage::tr("%1 kbit/s").arg(rate / 1000) : QString());
        break;
    }
    case Shown::AdaptPolicy: {
        const auto* policy = std::find(std::begin(kAdaptPolicies), std::end(kAdaptPolicies), value);
        item->setCurrentValue(policy == std::end(kAdaptPolicies) ? 1 : int(policy - std::begin(kAdaptPolicies)), true,
                              true);
        break;
    }
    case Shown::NtpServer: {
        // A server that is not offered shows nothing rather than "Custom".
        const QString text = toQString(value);
        item->setValueText(item->indexOfText(text, true) >= 0 ? text : QString(), true);
        break;
    }
    case Shown::Text:
        item->setValueText(toQString(value), false);
        break;
    }
}

// The wire text of the item's value; none without a current choice.
std::optional<std::string> unitText(const UnitRow& row, QPravikMenuItem* item)
{
    const std::optional<int> value = QPravikSettingsPage::itemValue(item);
    switch (row.shown) {
    case Shown::OnOff:
        return std::string(QPravikSettingsPage::switchOn(item) ? "on" : "off");
    case Shown::Text:
        return toStdString(item->valueText());
    default:
        break;
    }
    if (!value)
        return std::nullopt;
    switch (row.shown) {
    case Shown::InputEvent:
        return QPravikSettingsPage::inputEventKey(*value);
    case Shown::RelayState:
        return QPravikSettingsPage::relayStateKey(*value);
    case Shown::AdaptPolicy:
        return std::string(kAdaptPolicies[*value == 0 || *value == 2 ? *value : 1]);
    case Shown::NtpServer: {
        // "Custom" is the custom server's text.
        const QPravikMenuItem* custom = item->page->findItem(CustomNtpServerItem);
        if (!custom)
            return std::nullopt;
        return toStdString(*value == 0 ? custom->valueText() : item->choices.at(item->currentIndex).text);
    }
    default:
        return std::to_string(*value);
    }
}

} // namespace

bool QPravikSettingsPage::settleImmediate(QPravikMenuItem* item, bool taken, const QString& why)
{
    if (taken)
        return true;
    showUnitValue(item);
    showMessage(why.isEmpty() ? tr("Failed to apply changes!") : why, 0);
    return false;
}

void QPravikSettingsPage::showUnitValue(QPravikMenuItem* item)
{
    QPravikMenuItems* page = item->page;
    switch (page->menuId) {
    case NetworkMenu:
        refreshNetworkItem(item);
        break;
    case AudioMenu:
        showAudioItem(item);
        break;
    case RavennaMenu:
    case InputStreamsMenu:
        showModuleItem(item);
        break;
    case ToolsMenu:
    case SoundIdMenu: {
        const TAudioSettings* audio = frontPanelAudioSettings();
        item->setChecked(item->id == SoundIdItem ? !audio->waveFile().empty() : audio->waveShortcut());
        break;
    }
    case LabelsMenu:
        updateLabelsMenu(page);
        break;
    case PasswordsMenu:
        item->setValueText(passwordForLevel(AdministratorLevel - (item->id - AdminPasswordItem)), false);
        break;
    case AutoBitRateMenu:
    case MiscellaneousMenu:
    case TroubleshootingMenu:
        if (item->id == AutologinItem) {
            item->setChecked(autologin);
            item->setCurrentValue(autologin ? 1 : 0, true, false);
        } else if (const UnitRow* row = unitRow(item->id)) {
            showUnitText(item, *row, item->property(kUnitValue).toByteArray().toStdString());
        }
        break;
    default:
        if (page->menuId >= SoftkeyMenuFirst && page->menuId <= SoftkeyMenuLast)
            updateSoftkeyMenu(page);
        break;
    }
}

const char* QPravikSettingsPage::unitKey(int id)
{
    const UnitRow* row = unitRow(id);
    return row ? row->key : "";
}

TComRequestHelper::ValueMap QPravikSettingsPage::readUnitValues(std::initializer_list<int> ids)
{
    std::vector<std::pair<std::string, TCommand>> gets;
    for (int id : ids) {
        const UnitRow* row = unitRow(id);
        if (!row)
            continue;
        auto get = std::find_if(gets.begin(), gets.end(), [row](const auto& g) { return g.first == row->target; });
        if (get == gets.end()) {
            gets.emplace_back(row->target, TCommand(TCommand::Param));
            get = std::prev(gets.end());
            get->second.setParam(wire::key::target(), row->target);
        }
        get->second.addGet(row->key);
    }
    TComRequestHelper::ValueMap values;
    for (const auto& get : gets) {
        TComRequestHelper::ValueMap refused;
        requestHelper.getParams(get.second, values, refused, kUnitValueTimeoutMs);
    }
    return values;
}

void QPravikSettingsPage::fillUnitValues(QPravikMenuItems* page, const TComRequestHelper::ValueMap& values)
{
    for (const UnitRow& row : kUnitRows) {
        QPravikMenuItem* item = page->findItem(row.id);
        if (!item)
            continue;
        const auto found = values.find(row.key);
        showUnitText(item, row, found == values.end() ? row.missing : found->second);
        item->setLocked(found == values.end());
    }
}

void QPravikSettingsPage::writeUnitValue(QPravikMenuItem* item)
{
    const UnitRow* row = unitRow(item->id);
    const std::optional<std::string> text = row ? unitText(*row, item) : std::nullopt;
    if (!text)
        return;
    const bool syslog = item->id == LogLevelItem || item->id == SyslogServerItem;
    TCommand command(syslog ? TCommand::Do : TCommand::Param);
    command.setParam(wire::key::target(), row->target);
    if (syslog)
        command.setParam(wire::key::action(), "change_syslog");
    command.setParam(row->key, *text);
    // The custom server is also the server in use while "Custom" is chosen;
    // otherwise, and with no server chosen at all, it goes alone.
    QPravikMenuItem* server = item->id == CustomNtpServerItem ? item->page->findItem(NtpServerItem) : nullptr;
    const std::optional<int> chosen = server ? itemValue(server) : std::nullopt;
    if (chosen && *chosen == 0)
        command.setParam(unitRow(NtpServerItem)->key, *text);
    else
        server = nullptr;
    const bool taken =
        requestHelper.setParams(command, kUnitValueTimeoutMs) == static_cast<int>(command.params.size());
    for (QPravikMenuItem* written : {item, server}) {
        if (written && taken)
            rememberUnitText(written, *text);
    }
    if (server && !taken)
        showUnitValue(server);
    settleImmediate(item, taken);
}

// ===========================================================================
// Network: Network menu, AoIP and SIP accounts, ISDN, Ethernet, Mobile, Wi-Fi
// ===========================================================================

namespace {

// The unit may search for operators for three minutes.
constexpr int kOperatorScanMs = 180000;

} // namespace

void QPravikSettingsPage::changeNetworkItem(QPravikMenuItem* item, int value)
{
    TComDevice* device = frontPanelDevice();
    // A red "not offered" network goes back to the normal colour.
    if (item->id == SecondaryNetworkItem)
        item->setLocked(item->locked);
    if (device->hasAudioConnection()) {
        settleImmediate(item, false, tr("Cannot apply changes\n(a connection is established)"));
        return;
    }
    if (item->id == CodecModeItem) {
        changeCodecMode(item, value);
        return;
    }
    showMessage(tr("Applying changes..."), 1000);
    const std::string name = interfaceName(value);
    settleImmediate(item, item->id == DefaultNetworkItem ? device->setDefaultNetwork(name, true)
                                                         : device->setSecondaryNetwork(name, true));
}

void QPravikSettingsPage::changeCodecMode(QPravikMenuItem* item, int mode)
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
    // Whatever the unit took shows in all three.
    for (int id : {DefaultNetworkItem, SecondaryNetworkItem, CodecModeItem})
        refreshNetworkItem(item->page->findItem(id));
    if (settleImmediate(item, done))
        closePopup();
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
        checkAoipNumber(item);
        header->setModified(aoipControllerMenuModified(page));
    } else if (within(SipAccountMenuFirst, SipAccountMenuLast)) {
        QPravikMenuItem* port = page->findItem(SipPortItem);
        if (item->id == AlternateSipPortItem && port && item->switchButton) {
            const qint64 alternate = item->switchButton->isChecked() ? 2 : 0; // the unit's port may be any int
            port->setValueText(QString::number(frontPanelDevice()->aoip().sipUdpPort() + alternate), false);
        }
        checkAoipNumber(item);
        header->setModified(sipAccountMenuModified(page));
    } else if (menu == IsdnMenu) {
        const std::optional<int> protocol = itemValue(item);
        if (item->id == IsdnProtocolItem && protocol)
            lockIsdnNumbers(page, *protocol, false);
        header->setModified(isdnMenuModified(page));
    } else if (within(EthernetMenuFirst, EthernetMenuLast)) {
        if (item->id == DhcpItem && item->switchButton)
            lockEthernetAddresses(page, switchOn(item), ethernetController.state() == TComController::Unloaded);
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
        writeUnitValue(item);
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
        monitoringSet |= bit;
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
            settleImmediate(item, false, tr("Cannot apply changes\n(a connection is established)"));
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
            settleImmediate(item, false, tr("Cannot apply changes\n(a connection is established)"));
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
    settleImmediate(item, ok);
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
            lockModuleAddresses(page, switchOn(item), frontPanelRavenna()->state() == TComController::Unloaded);
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
        if (item->id == AutoConfig1Item || item->id == AutoConfig2Item)
            lockMulticastItems(page, item->id == AutoConfig1Item ? 0 : 1, switchOn(item),
                               frontPanelRavenna()->state() == TComController::Unloaded);
        checkMulticastPort(item);
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
    settleImmediate(item, ok);
}

// Only a delay within the module's range is sent.
void QPravikSettingsPage::receiverDelayChanged(QPravikMenuItem* item)
{
    TComRavennaController* ravenna = frontPanelRavenna();
    const std::optional<int> delay = strictNumber(item->valueText());
    settleImmediate(item, delay && *delay >= ravenna->delayMinIn() && *delay <= ravenna->delayMaxIn()
                              && ravenna->setDelayIn(*delay, true));
}

// ===========================================================================
// Book: stored lists and record pages
// ===========================================================================

namespace bookreaction {

constexpr int kTimeoutMs = 5000;

using settingsmenu::tr;

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
        changeSoftkey(item, *value);
    } else if (menu == LabelsMenu) {
        changeLabel(item);
    } else if (menu == MiscellaneousMenu && item->id == AutologinItem) {
        if (value)
            settleImmediate(item, setAutologin(*value != 0, true));
    } else if (menu == MiscellaneousMenu || menu == TroubleshootingMenu) {
        writeUnitValue(item);
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

// A new category brings its own function and mode lists.
void QPravikSettingsPage::changeSoftkey(QPravikMenuItem* item, int value)
{
    QPravikSoftkey* key = frontPanelSoftkey(item->page->menuId - SoftkeyMenuFirst);
    bool taken = true;
    if (item->id == SoftkeyCategoryItem)
        taken = key->setCategory(value);
    else if (item->id == SoftkeyFunctionItem)
        taken = key->setFunctionByte(static_cast<unsigned char>(value));
    else if (item->id == SoftkeyModeItem)
        taken = key->setBehavior(value);
    if (settleImmediate(item, taken))
        updateSoftkeyMenu(item->page);
}

void QPravikSettingsPage::changeLabel(QPravikMenuItem* item)
{
    const QString text = item->valueText();
    const int info = item->id - InfoLabelItemFirst;
    const int contact = item->id - ContactLabelItemFirst;
    if (info == 0 || info == 1) {
        settleImmediate(item, frontPanelSoftkeys()->setInfoLabel(info, text));
    } else if (contact == 0 || contact == 1) {
        settleImmediate(item, frontPanelSoftkeys()->setContactLabel(contact, text));
    } else {
        const auto input = inputLabelItems.find(item->id);
        if (input != inputLabelItems.end())
            settleImmediate(item, frontPanelMatrixSettings()->setInputName(input->second, text));
    }
}

// A password the unit did not take is nobody's password.
void QPravikSettingsPage::changeLevelPassword(QPravikMenuItem* item)
{
    const int level = AdministratorLevel - (item->id - AdminPasswordItem);
    const QString text = item->valueText();
    settleImmediate(item, level == AdministratorLevel ? setAdminPassword(text, true)
                          : level == ExpertLevel      ? setExpertPassword(text, true)
                                                      : setOperatorPassword(text, true));
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
