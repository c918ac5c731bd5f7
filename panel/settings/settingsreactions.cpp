#include "panel/settings/qpraviksettingspage.h"

#include <algorithm>
#include <vector>

#include "link/tcommand.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"
#include "panel/kit/controls.h"
#include "panel/kit/menuselect.h"
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

// Codec 1 as mono for the mobile voice coordination, at its bit rate when
// the unit offers that for mono, else at the first one it offers.
bool codec1AsMono(TComDevice* device)
{
    CodecConfig coding = device->codec1();
    if (coding.channelMode != 1 && coding.channelMode != 2)
        return true;
    coding.channelMode = 0;
    std::vector<int> rates;
    device->listBitrates(0, coding.codec, 0, coding.sampleRate, rates, int(kInvalidInterface));
    if (rates.empty())
        coding.bitRate = 64000;
    else if (std::find(rates.begin(), rates.end(), coding.bitRate) == rates.end())
        coding.bitRate = rates.front();
    return device->setDualCodec(1, codecConfigToString(coding), true);
}

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
    else if (mode == 2)
        done = codec1AsMono(device) && device->setCoordMode(1, true) && device->setCodecMode(0, true);
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
        if (const std::optional<int> value = itemValue(item))
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
            const int alternate = item->switchButton->isChecked() ? 2 : 0;
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

void QPravikSettingsPage::codingAudioReaction(const ItemReaction& /*reaction*/)
{
}

// ===========================================================================
// AoIP module (RAVENNA/DANTE)
// ===========================================================================

void QPravikSettingsPage::moduleReaction(const ItemReaction& /*reaction*/)
{
}

// ===========================================================================
// Book: stored lists and record pages
// ===========================================================================

void QPravikSettingsPage::bookReaction(const ItemReaction& /*reaction*/)
{
}

// ===========================================================================
// Tools
// ===========================================================================

void QPravikSettingsPage::toolsReaction(const ItemReaction& /*reaction*/)
{
}
