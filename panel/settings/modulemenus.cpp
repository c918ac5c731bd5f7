// RAVENNA/DANTE module menus: the module menu, its IP addressing, input
// stream and output stream menus.

#include "panel/settings/qpraviksettingspage.h"

#include <QGridLayout>
#include <QPointer>

#include "audio/tcomravennacontroller.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"
#include "model/unitfirmware.h"
#include "panel/pages/panelshared.h"
#include "panel/settings/controlleredit.h"
#include "panel/settings/settingsids.h"

using namespace SettingsId;

namespace {

constexpr std::uint32_t kIdentityFirmware = 0x106FF;   // 1.7.0 and later
constexpr std::uint32_t kStreamLinkFirmware = 0x10701; // later than 1.7.1
constexpr std::uint32_t kLockStateFirmware = 0x109FF;  // 1.10.0 and later
constexpr std::uint32_t kNetModeFirmware = 0x10A00;    // later than 1.10.0
constexpr std::uint32_t kSixStreamFirmware = 0x10D00;  // 1.13.0 and later
constexpr std::uint32_t kFirmwareVerFirmware = 0x10EFF; // 1.15.0 and later
constexpr unsigned kSixStreamOption = 0x200;
constexpr int kNoStream = 0xFFFF;

constexpr int kIndent = 60;
constexpr int kSectionTop = 20;

// The module's maker decides what it offers: a networking mode and two-port
// choices, no stream menus at all, or no firmware revision key.
enum class ModuleKind { Generic, Networked, Streamless, Revisionless };

ModuleKind moduleKind()
{
    const QString maker = fromUnitUtf8(frontPanelRavenna()->manufacturer());
    if (maker.startsWith(QLatin1String("Merging"), Qt::CaseInsensitive))
        return ModuleKind::Networked;
    if (maker.startsWith(QLatin1String("Audinate"), Qt::CaseInsensitive))
        return ModuleKind::Streamless;
    if (maker.startsWith(QLatin1String("ArchWave"), Qt::CaseInsensitive))
        return ModuleKind::Revisionless;
    return ModuleKind::Generic;
}

TComRavennaController* ravenna()
{
    return frontPanelRavenna();
}

bool loaded()
{
    return ravenna()->state() != TComController::Unloaded;
}

bool sixStreamOption()
{
    return frontPanelDevice()->deviceOptions() & kSixStreamOption;
}

bool streamMenusShown(ModuleKind kind)
{
    return kind != ModuleKind::Streamless && (!sixStreamOption() || unitFirmwareVersion > kStreamLinkFirmware);
}

int streamCount()
{
    if (!sixStreamOption())
        return 2;
    return unitFirmwareVersion < kSixStreamFirmware ? 5 : 6;
}

bool twoInterfaces()
{
    return ravenna()->ifCount() == 2;
}

bool twoInterfaceLayout()
{
    return moduleKind() == ModuleKind::Networked && twoInterfaces();
}

std::string numbered(const char* key, int n)
{
    return key + std::to_string(n);
}

QString rateText(int rate)
{
    const QString khz = rate % 1000 == 0 ? QString::number(rate / 1000) : QString::number(rate / 1000.0, 'f', 1);
    return QStringLiteral("%1 kHz").arg(khz);
}

bool usable(const QPravikMenuItem* item)
{
    return item && !item->locked;
}

void setLeftMargin(QPravikMenuItem* item, int left)
{
    QMargins margins = item->gridLayout->contentsMargins();
    margins.setLeft(left);
    item->gridLayout->setContentsMargins(margins);
}

QString addressingText(int i)
{
    const TComRavennaInterface& iface = ravenna()->iface(i);
    const QString mode = iface.dhcpMode == TComRavennaController::DhcpOn     ? QPravikSettingsPage::tr("DHCP")
                         : iface.dhcpMode == TComRavennaController::Zeroconf ? QPravikSettingsPage::tr("ZeroConf")
                                                                             : QPravikSettingsPage::tr("Static");
    const QString address = iface.ipAddr.empty() ? QPravikSettingsPage::tr("No Address") : fromUnitUtf8(iface.ipAddr);
    return QPravikSettingsPage::tr("%1 [ %2 ]").arg(address, mode);
}

QString streamStates(int n)
{
    const TComRavennaStream& stream = ravenna()->streamIn(n);
    QString state = QPravikSettingsPage::aoipStreamStatusLabel(stream.state1);
    if (stream.state2 != 0)
        state += QLatin1String(" / ") + QPravikSettingsPage::aoipStreamStatusLabel(stream.state2);
    return QPravikSettingsPage::tr("Stream %1 [ %2 ]").arg(n + 1).arg(state);
}

// One text per interface, "%1 / %2" with two of them.
QString perInterface(const std::function<QString(int)>& text)
{
    return twoInterfaces() ? QStringLiteral("%1 / %2").arg(text(0), text(1)) : text(0);
}

std::vector<std::string> ravennaKeys(ModuleKind kind)
{
    std::vector<std::string> keys = {"rav_device_name", "rav_sample_rate", "rav_resolution"};
    if (kind != ModuleKind::Streamless)
        keys.push_back("rav_ptp_domain");
    if (unitFirmwareVersion > kNetModeFirmware && kind == ModuleKind::Networked)
        keys.push_back("rav_net_mode");
    keys.insert(keys.end(), {"rav_dhcp", "rav_ip_addr"});
    if (streamMenusShown(kind)) {
        for (int n = 0; n < streamCount(); ++n)
            keys.push_back(numbered("rav_status_in", n));
        keys.insert(keys.end(), {"rav_name_ou", "rav_mode_ou"});
    }
    if (unitFirmwareVersion > kLockStateFirmware) {
        keys.push_back("rav_lock_state");
        if (kind == ModuleKind::Networked)
            keys.push_back("rav_rescueos_rev");
        if (unitFirmwareVersion > kFirmwareVerFirmware && kind == ModuleKind::Streamless)
            keys.push_back("rav_firmware_ver");
    } else {
        keys.push_back("rav_sync_state");
    }
    keys.insert(keys.end(), {"rav_link_state", "rav_ptp_state"});
    if (unitFirmwareVersion > kIdentityFirmware && kind != ModuleKind::Revisionless)
        keys.push_back("rav_firmware_rev");
    if (twoInterfaces())
        keys.insert(keys.end(), {"rav_dhcp1", "rav_ip_addr1", "rav_link_state1", "rav_ptp_state1"});
    return keys;
}

bool sameRecord(const TComRavennaStream& a, const TComRavennaStream& b)
{
    return a.streamId == b.streamId && a.streamSubId == b.streamSubId && a.name == b.name;
}

const TComRavennaStream* announcedByName(const std::vector<TComRavennaStream>& announced, const std::string& name)
{
    for (const TComRavennaStream& stream : announced)
        if (stream.name == name)
            return &stream;
    return nullptr;
}

// An announced stream of the record's name lends it its id; the stream may
// have fewer channels now, and its last one stands in.
void adoptAnnounced(TComRavennaStream& record, const TComRavennaStream* match)
{
    if (!match)
        return;
    record.streamId = match->streamId;
    if (record.streamSubId >= match->streamSubId)
        record.streamSubId = match->streamSubId - 1;
}

} // namespace

// A number only when the whole text (spaces around it aside) is an optional
// sign and decimal digits that fit an int: "abc" or "12x" is no domain 0 or 12.
std::optional<int> QPravikSettingsPage::strictNumber(const QString& text)
{
    const QString t = text.trimmed();
    const int from = t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (t.size() == from)
        return std::nullopt;
    for (qsizetype i = from; i < t.size(); ++i)
        if (t.at(i) < QLatin1Char('0') || t.at(i) > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    const int value = t.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// --- Module menu -------------------------------------------------------------

void QPravikSettingsPage::createRavennaMenu()
{
    auto* page = new QPravikMenuItems(RavennaMenu, this);
    header->setRefreshVisible(true);
    std::vector<int> rates;
    std::vector<int> resolutions;
    ravenna()->refreshSampleRate(rates);
    ravenna()->refreshResolution(resolutions);
    const ModuleKind kind = moduleKind();

    addMenuRow(page, ModuleDeviceNameItem, QPravikMenuItem::Text, tr("Device Name"))->setLocked(true);
    QPravikMenuItem* item = addMenuRow(page, ModuleSampleRateItem, QPravikMenuItem::ChoiceList, tr("Sampling Frequency"));
    for (int rate : rates)
        item->addChoice(rate, rateText(rate));
    item = addMenuRow(page, ModuleResolutionItem, QPravikMenuItem::ChoiceList, tr("Sample Resolution"));
    for (int bits : resolutions)
        item->addChoice(bits, QStringLiteral("%1 bits").arg(bits));
    if (kind != ModuleKind::Streamless)
        addMenuRow(page, ModulePtpDomainItem, QPravikMenuItem::Number, tr("PTP Domain Number"));
    if (kind == ModuleKind::Networked && unitFirmwareVersion > kNetModeFirmware) {
        item = addMenuRow(page, ModuleNetModeItem, QPravikMenuItem::ChoiceList, tr("Networking Mode"));
        item->addChoice(TComRavennaController::Switch, tr("Switch (same network)"));
        item->addChoice(TComRavennaController::Redundant, tr("Redundancy (separate networks)"));
    }
    addMenuRow(page, IpAddressingMenuFirst, QPravikMenuItem::SubMenu,
               twoInterfaces() ? tr("IP Addressing (Interface 1)") : tr("IP Addressing"));
    if (twoInterfaces())
        addMenuRow(page, IpAddressingMenuLast, QPravikMenuItem::SubMenu, tr("IP Addressing (Interface 2)"));
    if (streamMenusShown(kind)) {
        addMenuRow(page, InputStreamsMenu, QPravikMenuItem::SubMenu, tr("Input Streams"));
        addMenuRow(page, OutputStreamMenu, QPravikMenuItem::SubMenu, tr("Output Stream"));
    }

    // Status and information rows only display.
    const auto show = [&](int id, const QString& title) {
        addMenuRow(page, id, QPravikMenuItem::Text, title, kIndent)->setLocked(true);
    };
    addMenuRow(page, -1, QPravikMenuItem::SectionHeader, tr("Status"), 10, kSectionTop);
    show(unitFirmwareVersion > kLockStateFirmware ? ModuleLockStateItem : ModuleSyncStateItem, tr("Sync State"));
    show(ModuleLinkStateItem, tr("Link State"));
    show(ModulePtpStateItem, tr("PTP State"));
    addMenuRow(page, -1, QPravikMenuItem::SectionHeader, tr("Information"), 10, kSectionTop);
    if (unitFirmwareVersion > kIdentityFirmware) {
        show(ModuleManufacturerItem, tr("Manufacturer"));
        show(ModuleModelItem, tr("Model"));
    }
    if (kind == ModuleKind::Streamless && unitFirmwareVersion > kFirmwareVerFirmware)
        show(ModuleFirmwareItem, tr("Firmware Version"));
    show(ModuleSoftwareRevisionItem, tr("Software Revision"));
    if (kind == ModuleKind::Networked && unitFirmwareVersion > kLockStateFirmware)
        show(ModuleRescueRevisionItem, tr("Maintenance Mode Revision"));
    show(ModuleHardwareRevisionItem, tr("Hardware Revision"));

    updateRavennaMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateRavennaMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    if (loaded())
        ravenna()->readParams(ravennaKeys(moduleKind()));
    for (QPravikMenuItem* item : page->allItems())
        showModuleItem(item);
}

void QPravikSettingsPage::showModuleItem(QPravikMenuItem* item)
{
    TComRavennaController* rav = ravenna();
    const bool unloaded = !loaded();
    switch (item->id) {
    case ModuleDeviceNameItem:
        item->setValueText(fromUnitUtf8(rav->deviceName()), false);
        item->setLocked(unloaded || currentAccessLevel != AdministratorLevel);
        return;
    case ModuleSampleRateItem:
        selectOrShow(item, rav->sampleRate(), rateText(rav->sampleRate()));
        break;
    case ModuleResolutionItem:
        selectOrShow(item, rav->resolution(), QStringLiteral("%1 bits").arg(rav->resolution()));
        break;
    case ModulePtpDomainItem:
        item->setValueText(QString::number(rav->ptpDomain()), false);
        break;
    case ReceiverDelayItem:
        item->setValueText(rav->delayIn() < 1 ? tr("Automatic") : QString::number(rav->delayIn()), false);
        return;
    case ModuleNetModeItem:
        item->setCurrentValue(rav->netMode(), true, true);
        break;
    case IpAddressingMenuFirst:
    case IpAddressingMenuLast:
        item->setValueText(addressingText(item->id - IpAddressingMenuFirst), false);
        break;
    case InputStreamsMenu: {
        QStringList lines;
        for (int n = 0; n < streamCount(); ++n)
            lines << streamStates(n);
        item->setValueText(lines.join(QLatin1Char('\n')), false);
        break;
    }
    case OutputStreamMenu:
        item->setValueText(tr("%1 [ %2 ]").arg(rav->nameOut().empty() ? tr("No Name") : fromUnitUtf8(rav->nameOut()),
                                               rav->modeOut() ? tr("Transmitting") : tr("Disabled")),
                           false);
        break;
    case ModuleSyncStateItem:
        item->setValueText(rav->syncState() != 0 ? tr("OK") : tr("Error"), false);
        return;
    case ModuleLockStateItem:
        item->setValueText(lockStateLabel(rav->lockState()), false);
        return;
    case ModuleLinkStateItem:
        item->setValueText(perInterface([rav](int i) { return rav->iface(i).linkUp ? tr("Active") : tr("Disconnected"); }),
                           false);
        return;
    case ModulePtpStateItem:
        item->setValueText(perInterface([rav](int i) { return ptpStateLabel(rav->iface(i).ptpState); }), false);
        return;
    case ModuleManufacturerItem:
        item->setValueText(fromUnitUtf8(rav->manufacturer()), false);
        return;
    case ModuleModelItem:
        item->setValueText(fromUnitUtf8(rav->hardwareName()), false);
        return;
    case ModuleFirmwareItem:
        item->setValueText(fromUnitUtf8(rav->firmwareVer()), false);
        return;
    case ModuleHardwareRevisionItem:
        item->setValueText(fromUnitUtf8(rav->hardwareRev()), false);
        return;
    case ModuleSoftwareRevisionItem:
        item->setValueText(fromUnitUtf8(rav->firmwareRev()), false);
        return;
    case ModuleRescueRevisionItem:
        item->setValueText(fromUnitUtf8(rav->rescueosRev()), false);
        return;
    default:
        return;
    }
    item->setLocked(unloaded);
}

// --- IP addressing menus -------------------------------------------------------

void QPravikSettingsPage::createIpAddressingMenu(int menuId)
{
    auto* page = new QPravikMenuItems(menuId, this);
    addMenuRow(page, ModuleDhcpItem, QPravikMenuItem::Switch, tr("DHCP"));
    addMenuRow(page, ModuleIpAddressItem, QPravikMenuItem::Number, tr("IP Address"));
    addMenuRow(page, ModuleSubnetItem, QPravikMenuItem::Number, tr("Subnet Mask"));
    addMenuRow(page, ModuleGatewayItem, QPravikMenuItem::Number, tr("Default Gateway"));
    addMenuRow(page, ModuleMacAddressItem, QPravikMenuItem::Number, tr("MAC Address"))->setLocked(true);
    updateIpAddressingMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateIpAddressingMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    const int i = (page->menuId - IpAddressingMenuFirst) % 2;
    if (loaded()) {
        std::vector<std::string> keys = {"rav_dhcp", "rav_ip_addr", "rav_subnet", "rav_gateway", "rav_hw_addr"};
        if (twoInterfaceLayout())
            keys.push_back("rav_vlan_id");
        for (std::string& key : keys)
            key += i ? "1" : "";
        ravenna()->readParams(keys);
    }
    const TComRavennaInterface& iface = ravenna()->iface(i);
    const bool dhcp = iface.dhcpMode != TComRavennaController::DhcpOff;
    if (QPravikMenuItem* item = page->findItem(ModuleDhcpItem)) {
        item->setChecked(dhcp);
        item->setLocked(!loaded());
    }
    const std::pair<int, const std::string*> rows[] = {
        {ModuleIpAddressItem, &iface.ipAddr}, {ModuleSubnetItem, &iface.subnet}, {ModuleGatewayItem, &iface.gateway}};
    for (const auto& [id, text] : rows)
        if (QPravikMenuItem* item = page->findItem(id))
            item->setValueText(fromUnitUtf8(*text), false);
    lockModuleAddresses(page, dhcp, !loaded());
    if (QPravikMenuItem* item = page->findItem(ModuleMacAddressItem))
        item->setValueText(fromUnitUtf8(iface.hwAddr), false);
}

void QPravikSettingsPage::lockModuleAddresses(QPravikMenuItems* page, bool dhcp, bool unloaded)
{
    for (int id : {ModuleIpAddressItem, ModuleSubnetItem, ModuleGatewayItem})
        if (QPravikMenuItem* item = page->findItem(id))
            item->setLocked(unloaded || dhcp);
}

namespace {

// The walk of an IP addressing menu; the setters take the interface first.
void editIpAddressing(ControllerEdit& edit, int menuId)
{
    bool on = false;
    if (!edit.switchValue(ModuleDhcpItem, on))
        return;
    TComRavennaController* rav = ravenna();
    const int i = (menuId - IpAddressingMenuFirst) % 2;
    const std::string suffix = i ? "1" : "";
    // Any mode but off is on: a switch left on keeps the unit's own mode.
    const int mode = rav->iface(i).dhcpMode;
    const int wanted = on == (mode != TComRavennaController::DhcpOff) ? mode
                       : on                                         ? int(TComRavennaController::DhcpOn)
                                                                    : int(TComRavennaController::DhcpOff);
    edit.update(*rav, i, mode, wanted, &TComRavennaController::setDhcpMode, "rav_dhcp" + suffix);
    if (on)
        return;
    using Setter = bool (TComRavennaController::*)(int, const std::string&, bool);
    const struct
    {
        int id;
        const char* key;
        std::string TComRavennaInterface::*field;
        Setter set;
    } rows[] = {{ModuleIpAddressItem, "rav_ip_addr", &TComRavennaInterface::ipAddr, &TComRavennaController::setIpAddress},
                {ModuleSubnetItem, "rav_subnet", &TComRavennaInterface::subnet, &TComRavennaController::setSubnet},
                {ModuleGatewayItem, "rav_gateway", &TComRavennaInterface::gateway, &TComRavennaController::setGateway}};
    for (const auto& row : rows) {
        std::string text;
        if (edit.textValue(row.id, text, toUnitUtf8))
            edit.update(*rav, i, rav->iface(i).*row.field, text, row.set, row.key + suffix);
    }
}

} // namespace

bool QPravikSettingsPage::isIpAddressingMenuModified(QPravikMenuItems* page)
{
    return ControllerEdit::modified(page, [page](ControllerEdit& edit) { editIpAddressing(edit, page->menuId); });
}

bool QPravikSettingsPage::applyIpAddressingMenu(QPravikMenuItems* page)
{
    if (!page)
        return false;
    ControllerEdit edit(page, ControllerEdit::Store);
    editIpAddressing(edit, page->menuId);
    if (edit.keys().empty())
        return true;
    if (!edit.commit(this, *ravenna()))
        return false;
    showMessage(tr("Changes take effect after\nthe next power cycle"), 0);
    return true;
}

// --- Input stream menus ----------------------------------------------------------

void QPravikSettingsPage::createInputStreamsMenu()
{
    auto* page = new QPravikMenuItems(InputStreamsMenu, this);
    for (int n = 0; n < streamCount(); ++n)
        addMenuRow(page, InputStreamMenuFirst + n, QPravikMenuItem::SubMenu, tr("Input Stream %1").arg(n + 1));
    addMenuRow(page, ReceiverDelayItem, QPravikMenuItem::Number, QString());
    updateInputStreamsMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateInputStreamsMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    TComRavennaController* rav = ravenna();
    if (loaded()) {
        std::vector<std::string> keys;
        for (int n = 0; n < streamCount(); ++n)
            keys.push_back(numbered("rav_stream_in", n));
        keys.insert(keys.end(), {"rav_delay_min_in", "rav_delay_max_in", "rav_delay_in"});
        rav->readParams(keys);
    }
    for (int n = 0; n < TComRavennaController::kStreams; ++n) {
        QPravikMenuItem* item = page->findItem(InputStreamMenuFirst + n);
        if (!item)
            continue;
        const TComRavennaStream& stream = rav->streamIn(n);
        const QString name = fromUnitUtf8(stream.name);
        // Shown one-based; the record is the unit's, so the sum is taken wide.
        const qint64 channel = qint64(stream.streamSubId) + 1;
        item->setValueText(stream.streamId == kNoStream ? name : tr("%1 [ Channel %2 ]").arg(name).arg(channel), false);
        item->setLocked(!loaded());
    }
    if (QPravikMenuItem* item = page->findItem(ReceiverDelayItem)) {
        item->titleLabel->setText(tr("Receiver Delay (%1..%2 samples)").arg(rav->delayMinIn()).arg(rav->delayMaxIn()));
        item->setValueText(rav->delayIn() < 1 ? tr("Automatic") : QString::number(rav->delayIn()), false);
        item->setLocked(sixStreamOption() || !loaded());
    }
}

void QPravikSettingsPage::createInputStreamMenu(int menuId)
{
    auto* page = new QPravikMenuItems(menuId, this);
    editedStreamIn = ravenna()->streamIn(menuId - InputStreamMenuFirst);
    referenceStreamIn = editedStreamIn;
    addMenuRow(page, StreamIdItem, QPravikMenuItem::ChoiceList, tr("Stream ID"));
    addMenuRow(page, StreamChannelItem, QPravikMenuItem::ChoiceList, tr("Channel"));
    QPravikMenuItem* mode = addMenuRow(page, StreamModeItem, QPravikMenuItem::ChoiceList, tr("Mode"));
    mode->addChoice(0, tr("Multicast"));
    mode->addChoice(1, tr("Unicast/SIP"));
    mode->setCurrentValue(0, true, true);
    mode->setLocked(true);
    updateInputStreamMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateInputStreamMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    header->setRefreshVisible(false);
    QPointer<QPravikMenuItems> alive = page;
    std::vector<TComRavennaStream> announced;
    ravenna()->parseStreamIn(announced);
    if (!alive)
        return;
    // What the list lends is display: the unit's record gets it too, and
    // edits the operator has not made follow that record.
    const bool edited = !sameRecord(editedStreamIn, referenceStreamIn);
    referenceStreamIn = ravenna()->streamIn(page->menuId - InputStreamMenuFirst);
    adoptAnnounced(referenceStreamIn, announcedByName(announced, referenceStreamIn.name));
    const TComRavennaStream* match = announcedByName(announced, editedStreamIn.name);
    if (edited)
        adoptAnnounced(editedStreamIn, match);
    else
        editedStreamIn = referenceStreamIn;
    if (QPravikMenuItem* item = page->findItem(StreamIdItem)) {
        item->clearChoices();
        for (const TComRavennaStream& stream : announced)
            item->addChoice(stream.streamId, fromUnitUtf8(stream.name));
        // By name: ids may repeat, and an unlisted stream keeps no choice.
        item->setValueText(fromUnitUtf8(editedStreamIn.name), true);
        item->setLocked(!loaded());
    }
    if (QPravikMenuItem* item = page->findItem(StreamChannelItem)) {
        item->clearChoices();
        const bool unlisted = !match && editedStreamIn.streamId != kNoStream;
        item->setValueText(unlisted ? QString::number(qint64(editedStreamIn.streamSubId) + 1) : QString(), false);
        for (int channel = 0; match && channel < match->streamSubId; ++channel)
            item->addChoice(channel, QString::number(channel + 1));
        if (match)
            item->setCurrentValue(editedStreamIn.streamSubId, true, true);
        item->setLocked(!loaded());
    }
}

bool QPravikSettingsPage::isInputStreamMenuModified(QPravikMenuItems* page)
{
    if (!page)
        return false;
    const TComRavennaStream& shown = referenceStreamIn;
    return (usable(page->findItem(StreamIdItem))
            && (editedStreamIn.name != shown.name || editedStreamIn.streamId != shown.streamId))
        || (usable(page->findItem(StreamChannelItem)) && editedStreamIn.streamSubId != shown.streamSubId);
}

bool QPravikSettingsPage::applyInputStreamMenu(QPravikMenuItems* page)
{
    if (!page)
        return false;
    const int n = page->menuId - InputStreamMenuFirst;
    TComRavennaController* rav = ravenna();
    const TComRavennaStream before = rav->streamIn(n);
    if (!isInputStreamMenuModified(page))
        return true;
    // Only a channel the stream offers goes out: its choice must be current.
    QPravikMenuItem* channel = page->findItem(StreamChannelItem);
    const std::optional<int> chosen = itemValue(channel);
    if (!chosen || *chosen != editedStreamIn.streamSubId) {
        if (channel)
            channel->setValueTextGlobalColor(tr("Press refresh before selecting a channel"), Qt::red, true);
        header->setRefreshVisible(true);
        return false;
    }
    rav->setStreamIn(n, editedStreamIn, false);
    showMessage(tr("Applying changes..."), 1000);
    if (!rav->writeParams({numbered("rav_stream_in", n)})) {
        rav->setStreamIn(n, before, false);
        showMessage(tr("Failed to apply changes!"), 0);
        return false;
    }
    referenceStreamIn = editedStreamIn;
    return true;
}

// --- Output stream menu -------------------------------------------------------------

void QPravikSettingsPage::createOutputStreamMenu()
{
    auto* page = new QPravikMenuItems(OutputStreamMenu, this);
    const bool two = twoInterfaceLayout();
    addMenuRow(page, OutputNameItem, QPravikMenuItem::Text, tr("Stream ID"));
    addMenuRow(page, OutputStateItem, QPravikMenuItem::Switch, tr("State"));
    if (two) {
        QPravikMenuItem* item = addMenuRow(page, OutputInterfacesItem, QPravikMenuItem::ChoiceList,
                                           tr("Output Interface(s)"));
        item->addChoice(0, tr("Interface 1"));
        item->addChoice(1, tr("Interface 2"));
        item->addChoice(2, tr("Interfaces 1&2"));
        addMenuRow(page, OutputInterface1Header, QPravikMenuItem::SectionHeader, tr("Interface 1"), 10, kSectionTop);
    }
    addMenuRow(page, AutoConfig1Item, QPravikMenuItem::Switch, tr("Auto Configuration"));
    addMenuRow(page, McAddress1Item, QPravikMenuItem::Number, tr("Multicast Address"));
    addMenuRow(page, McPort1Item, QPravikMenuItem::Number, tr("Multicast Port"));
    if (two) {
        addMenuRow(page, OutputInterface2Header, QPravikMenuItem::SectionHeader, tr("Interface 2"), 10, kSectionTop);
        addMenuRow(page, AutoConfig2Item, QPravikMenuItem::Switch, tr("Auto Configuration"), kIndent);
        addMenuRow(page, McAddress2Item, QPravikMenuItem::Number, tr("Multicast Address"), kIndent);
        addMenuRow(page, McPort2Item, QPravikMenuItem::Number, tr("Multicast Port"), kIndent);
    }
    addMenuRow(page, OutputChannelCountItem, QPravikMenuItem::Number, tr("Channel Count"))->setLocked(true);
    addMenuRow(page, PacketTimeItem, QPravikMenuItem::Number, tr("Packet Time"))->setLocked(true);
    updateOutputStreamMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateOutputStreamMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    TComRavennaController* rav = ravenna();
    const bool two = twoInterfaceLayout();
    if (loaded()) {
        std::vector<std::string> keys = {"rav_name_ou",    "rav_mode_ou",     "rav_autoconf_ou", "rav_mc_addr_ou",
                                         "rav_mc_port_ou", "rav_ch_count_ou", "rav_ptime_ou"};
        if (two)
            keys.insert(keys.end(), {"rav_netif_ou", "rav_autoconf_ou1", "rav_mc_addr_ou1", "rav_mc_port_ou1"});
        rav->readParams(keys);
    }
    const bool unloaded = !loaded();
    const bool both = two && rav->netifOut() == 2;
    if (QPravikMenuItem* item = page->findItem(OutputNameItem)) {
        item->setValueText(fromUnitUtf8(rav->nameOut()), false);
        item->setLocked(unloaded || currentAccessLevel != AdministratorLevel);
    }
    if (QPravikMenuItem* item = page->findItem(OutputStateItem)) {
        item->setChecked(rav->modeOut());
        item->setLocked(unloaded);
    }
    if (QPravikMenuItem* item = page->findItem(OutputInterfacesItem)) {
        item->setCurrentValue(rav->netifOut(), true, true);
        item->setLocked(unloaded);
    }
    for (int i = 0; i < 2; ++i) {
        const TComRavennaOutput& output = rav->output(i);
        const int offset = i * (AutoConfig2Item - AutoConfig1Item);
        if (QPravikMenuItem* head = page->findItem(OutputInterface1Header + offset))
            head->setVisible(both);
        QPravikMenuItem* autoconf = page->findItem(AutoConfig1Item + offset);
        QPravikMenuItem* address = page->findItem(McAddress1Item + offset);
        QPravikMenuItem* port = page->findItem(McPort1Item + offset);
        if (!autoconf || !address || !port)
            continue;
        autoconf->setChecked(output.autoconf);
        autoconf->setLocked(unloaded);
        address->setValueText(fromUnitUtf8(output.mcAddr), false);
        port->setValueText(QString::number(output.mcPort), false);
        for (QPravikMenuItem* item : {autoconf, address, port}) {
            if (i == 0)
                setLeftMargin(item, both ? kIndent : 10);
            else
                item->setVisible(both);
        }
        lockMulticastItems(page, i, output.autoconf, unloaded);
    }
    if (QPravikMenuItem* item = page->findItem(OutputChannelCountItem))
        item->setValueText(QString::number(rav->chCountOut()), false);
    if (QPravikMenuItem* item = page->findItem(PacketTimeItem))
        item->setValueText(tr("%1 ms").arg(double(rav->ptimeOut()), 0, 'f', 3), false);
}

void QPravikSettingsPage::lockMulticastItems(QPravikMenuItems* page, int output, bool autoconf, bool unloaded)
{
    const int offset = output * (AutoConfig2Item - AutoConfig1Item);
    for (int id : {McAddress1Item + offset, McPort1Item + offset})
        if (QPravikMenuItem* item = page->findItem(id))
            item->setLocked(unloaded || autoconf);
}

namespace {

// A multicast port item's value: only a number from 1 to 65535 is a port.
std::optional<int> multicastPort(const QPravikMenuItem* item)
{
    const std::optional<int> port = item ? QPravikSettingsPage::strictNumber(item->valueText()) : std::nullopt;
    return port && *port >= 1 && *port <= 65535 ? port : std::nullopt;
}

// The walk of the output stream menu; an output's setters take its index first.
void editOutputStream(ControllerEdit& edit)
{
    using R = TComRavennaController;
    R* rav = ravenna();
    std::string name;
    if (edit.textValue(OutputNameItem, name, toUnitUtf8) && !name.empty())
        edit.update(*rav, rav->nameOut(), name, &R::setNameOut, "rav_name_ou");
    edit.toggle(OutputStateItem, *rav, &R::modeOut, &R::setModeOut, "rav_mode_ou");
    edit.choice(OutputInterfacesItem, *rav, &R::netifOut, &R::setNetifOut, "rav_netif_ou");
    const char* const keyNames[2][3] = {{"rav_autoconf_ou", "rav_mc_addr_ou", "rav_mc_port_ou"},
                                        {"rav_autoconf_ou1", "rav_mc_addr_ou1", "rav_mc_port_ou1"}};
    for (int i = 0; i < 2; ++i) {
        const int offset = i * (AutoConfig2Item - AutoConfig1Item);
        const TComRavennaOutput& output = rav->output(i);
        bool autoconf = false;
        if (edit.switchValue(AutoConfig1Item + offset, autoconf))
            edit.update(*rav, i, output.autoconf, autoconf, &R::setAutoconfOut, keyNames[i][0]);
        std::string address;
        if (edit.textValue(McAddress1Item + offset, address, toUnitUtf8) && !address.empty())
            edit.update(*rav, i, output.mcAddr, address, &R::setMcAddressOut, keyNames[i][1]);
        // Whatever is stored gets sent, so no other text counts.
        if (const std::optional<int> port = multicastPort(edit.editable(McPort1Item + offset)))
            edit.update(*rav, i, output.mcPort, *port, &R::setMcPortOut, keyNames[i][2]);
    }
}

} // namespace

void QPravikSettingsPage::checkMulticastPort(QPravikMenuItem* item)
{
    if ((item->id != McPort1Item && item->id != McPort2Item) || item->locked || multicastPort(item))
        return;
    undoTyping(item, QString::number(ravenna()->output(item->id == McPort1Item ? 0 : 1).mcPort));
    showMessage(tr("Failed to apply changes!"), 0);
}

bool QPravikSettingsPage::isOutputStreamMenuModified(QPravikMenuItems* page)
{
    return ControllerEdit::modified(page, editOutputStream);
}

bool QPravikSettingsPage::applyOutputStreamMenu(QPravikMenuItems* page)
{
    return ControllerEdit::apply(this, page, *ravenna(), editOutputStream);
}
