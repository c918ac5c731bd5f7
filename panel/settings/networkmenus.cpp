// The Network menu and the interface menus (Ethernet, ISDN, Mobile, Wi-Fi).
#include "panel/settings/qpraviksettingspage.h"

#include <QColor>
#include <QGridLayout>
#include <QPointer>

#include <string>

#include "link/valuetext.h"
#include "model/locale.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"
#include "panel/pages/panelshared.h"
#include "panel/settings/controlleredit.h"
#include "panel/settings/settingsids.h"

using namespace SettingsId;

namespace {

const QColor kLinkBlue(0, 162, 232);

// Device option bits the Network menu reads.
constexpr unsigned kSecondaryStreamOption = 0x40;
constexpr unsigned kInternalModemsOption = 0x1000;

QString networkLabel(int code, unsigned options)
{
    return QPravikLocalize::interfaceName(code, options);
}

// --- the mechanism the interface menus share ----------------------------------

// Binds the page's controller to the menu's interface and reads it whole;
// true when the interface could not be read (its items stay locked).
bool attachUnloaded(TComNetworkController& controller, int menuId)
{
    controller.attach(QPravikSettingsPage::interfaceOfMenu(menuId), 3, false);
    return controller.state() == TComController::Unloaded;
}

// A choice list filled from a table; the unit's value selects its choice,
// and a value the list lacks leaves none (so it is never sent back).
struct Choice
{
    int value;
    const char* text;
};

template <std::size_t N>
QPravikMenuItem* addChoices(QPravikMenuItems* page, int id, const QString& label, const Choice (&choices)[N],
                            int value)
{
    QPravikMenuItem* item = QPravikSettingsPage::addMenuRow(page, id, QPravikMenuItem::ChoiceList, label);
    for (const Choice& choice : choices)
        item->addChoice(choice.value, QPravikSettingsPage::tr(choice.text));
    item->setCurrentValue(value, true, true);
    return item;
}

// An item whose unit gave no value: the one choice "Unknown", locked for good.
void showUnknown(QPravikMenuItem* item)
{
    item->clearChoices();
    item->addChoice(-1, QPravikSettingsPage::tr("Unknown"));
    item->setCurrentValue(-1, true, true);
    item->setLocked(true);
}

const Choice kQualityChoices[] = {
    {5, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Very High")},
    {4, QT_TRANSLATE_NOOP("QPravikSettingsPage", "High")},
    {3, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Middle")},
    {2, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Low")},
    {1, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Bad")},
    {0, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Very Bad")},
};
const Choice kAjbChoices[] = {
    {0, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Safe")},
    {1, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Standard")},
    {2, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Punchy")},
};

// The network-quality item, or the jitter-buffer policy item when the AoIP
// controller runs the adaptive jitter buffer; never both.
void addQualityItem(QPravikMenuItems* page, int qualityId, int ajbId, int quality, int ajb, bool unloaded)
{
    const bool jitterab = frontPanelDevice()->aoip().jitterab();
    QPravikMenuItem* item = jitterab ? addChoices(page, ajbId, QPravikSettingsPage::tr("AJB Policy"), kAjbChoices, ajb)
                                     : addChoices(page, qualityId, QPravikSettingsPage::tr("Network Quality"),
                                                  kQualityChoices, quality);
    if ((jitterab ? ajb : quality) == -1)
        showUnknown(item);
    else
        item->setLocked(unloaded);
}

// The applier's and modified test's walk of the quality item, whichever it is.
template <class C>
void editQuality(ControllerEdit& edit, C& controller, int qualityId, int ajbId)
{
    edit.choice(qualityId, controller, &C::networkQuality, &C::setNetworkQuality, "network_quality");
    edit.choice(ajbId, controller, &C::ajbProfile, &C::setAjbProfile, "ajb_profile");
}

// A text item of an interface menu with its unit key and the controller's
// members that hold it.
template <class C>
struct TextItem
{
    int id;
    const char* label;
    const char* key;
    const std::string& (C::*get)() const;
    bool (C::*set)(const std::string&, bool);
};

} // namespace

// --- Network menu -------------------------------------------------------------

void QPravikSettingsPage::buildNetworkMenu()
{
    TComDevice* device = frontPanelDevice();
    auto* page = new QPravikMenuItems(NetworkMenu, this);
    // On failure the map read before stays.
    device->loadNetworks();
    const TComDevice::Interfaces interfaces = device->interfaces();
    const unsigned options = device->deviceOptions();

    QPravikMenuItem* item = addMenuRow(page, DefaultNetworkItem, QPravikMenuItem::ChoiceList,
                                   tr("Network for Outgoing Calls"));
    for (const auto& entry : interfaces) {
        if (entry.first != kAoipClass)
            item->addChoice(int(entry.first), networkLabel(int(entry.first), options));
    }
    refreshNetworkItem(item);

    if (options & kSecondaryStreamOption) {
        item = addMenuRow(page, SecondaryNetworkItem, QPravikMenuItem::ChoiceList,
                      tr("Secondary IP Network for Double Streaming"));
        for (const auto& entry : interfaces) {
            if (transportOf(int(entry.first)) == IpTransport)
                item->addChoice(int(entry.first), networkLabel(int(entry.first), options));
        }
        refreshNetworkItem(item);
    }

    item = addMenuRow(page, CodecModeItem, QPravikMenuItem::ChoiceList, tr("Codec Mode"));
    item->addChoice(0, tr("Single Codec"));
    item->addChoice(1, tr("Double Codec"));
    if (interfaces.count(kMobileClass)) {
        if (firstMobileCapabilities == -1) {
            mobileController.attach("mobile.0", 2, false);
            firstMobileCapabilities = int(mobileController.optionMask());
        }
        if (firstMobileCapabilities & TComMobileController::VoiceModeOption)
            item->addChoice(2, tr("Single Codec and Mobile Voice Coordination"));
    }
    refreshNetworkItem(item);

    addMenuRow(page, -1, QPravikMenuItem::SectionHeader, QString(), 10, 20);

    const bool operatorLevel = currentAccessLevel == OperatorLevel;
    auto addLink = [&](int id, const QString& label, const QString& value) {
        QPravikMenuItem* link = addMenuRow(page, id, QPravikMenuItem::SubMenu, label);
        link->setValueText(value, false);
        return link;
    };
    if (interfaces.count(kAoipClass))
        addLink(AoipMenu, tr("AoIP settings"), tr("Configure the AoIP controller"))->setLocked(operatorLevel);
    const char* const ethernetValues[] = {
        QT_TR_NOOP("Configure the primary Ethernet interface"),
        QT_TR_NOOP("Configure the auxiliary Ethernet interface"),
        QT_TR_NOOP("Configure the external Ethernet interface"),
        QT_TR_NOOP("Configure the external Ethernet interface"),
    };
    for (int n = 0; n < 4; ++n) {
        if (interfaces.count(kEthClass + n))
            addLink(EthernetMenuFirst + n, tr("LAN%1 settings").arg(n + 1), tr(ethernetValues[n]))
                ->setLocked(operatorLevel);
    }
    if (interfaces.count(kIsdnClass))
        addLink(IsdnMenu, tr("ISDN settings"), tr("Configure the ISDN controller"))->setLocked(operatorLevel);
    for (int n = 0; n < 4; ++n) {
        if (!interfaces.count(kMobileClass + n))
            continue;
        QString label;
        if (options & kInternalModemsOption)
            label = n < 2 ? tr("Mobile settings (Internal %1)").arg(n + 1)
                          : tr("Mobile settings (External %1)").arg(n - 1);
        else
            label = n == 0 ? tr("Mobile settings (Internal)") : tr("Mobile settings (External %1)").arg(n);
        addLink(MobileMenuFirst + n, label, QString())->setVisible(false);
    }
    for (int n = 0; n < 4; ++n) {
        if (interfaces.count(kWifiClass + n))
            addLink(WifiMenuFirst + n, tr("Wi-Fi settings (External %1)").arg(n + 1),
                    QStringLiteral("Configure the Wi-Fi controller"))
                ->setLocked(operatorLevel);
    }

    updateMobileLinks(page);
    pushPage(page);
}

void QPravikSettingsPage::forgetUnitCapabilities()
{
    firstMobileCapabilities = -1;
    // A re-initialisation the last unit refused is not the next one's to do.
    aoipReinitPending = false;
}

void QPravikSettingsPage::updateMobileLinks(QPravikMenuItems* page)
{
    if (!page)
        return;
    for (int id = MobileMenuFirst; id <= MobileMenuLast; ++id) {
        QPravikMenuItem* link = page->findItem(id);
        if (!link || !mobileController.attach(interfaceOfMenu(id), 2, false))
            continue;
        switch (mobileController.state()) {
        case TComController::SimMissing:
            link->setValueTextGlobalColor(tr("SIM Missing"), Qt::red, false);
            break;
        case TComController::SimLocked:
            link->setValueTextGlobalColor(tr("SIM Locked"), Qt::red, false);
            break;
        case TComController::PinRequired:
            link->setValueTextGlobalColor(tr("PIN Required"), Qt::red, false);
            break;
        default:
            link->setValueTextColor(tr("Configure the Mobile controller"), kLinkBlue, false);
            break;
        }
        link->setVisible(true);
    }
}

// The codec-mode choice the device's program mode stands for.
static int codecModeChoice(const TComDevice* device)
{
    const int flags = device->audioModeFlags();
    if (device->operationMode() == 0)
        return flags == 8 ? 2 : flags == 0x10 ? 1 : 0;
    return flags == 0x40 || flags == 8 ? 2 : flags == 0x20 || flags == 0x10 ? 1 : 0;
}

void QPravikSettingsPage::refreshNetworkItem(QPravikMenuItem* item)
{
    if (!item || !item->page || item->page->menuId != NetworkMenu)
        return;
    TComDevice* device = frontPanelDevice();
    switch (item->id) {
    case DefaultNetworkItem:
    case SecondaryNetworkItem: {
        const bool secondary = item->id == SecondaryNetworkItem;
        if (secondary)
            item->setLocked(device->codecMode() == 1 || device->doubleStreamMode() != 1);
        const int code = int(interfaceCodeFromName(secondary ? device->secondaryNetwork() : device->defaultNetwork()));
        if (item->setCurrentValue(code, true, true) >= 0)
            break;
        // A network the list does not offer is shown as the unit has it, and
        // in red where the operator could pick another.
        const QString name = networkLabel(code, device->deviceOptions());
        if (secondary && !item->locked)
            item->setValueTextGlobalColor(name, Qt::red, true);
        else
            item->setValueText(name, true);
        break;
    }
    case CodecModeItem:
        item->setCurrentValue(codecModeChoice(device), true, false);
        break;
    default:
        break;
    }
}

// --- Ethernet menus -------------------------------------------------------------

namespace {

const Choice kLinkModeChoices[] = {
    {0, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Auto Negotiation")},
    {5, QT_TRANSLATE_NOOP("QPravikSettingsPage", "100BaseT-FD")},
    {6, QT_TRANSLATE_NOOP("QPravikSettingsPage", "100BaseT-HD")},
    {7, QT_TRANSLATE_NOOP("QPravikSettingsPage", "10BaseT-FD")},
    {8, QT_TRANSLATE_NOOP("QPravikSettingsPage", "10BaseT-HD")},
};

const TextItem<TComEthernetController> kAddressItems[] = {
    {IpAddressItem, QT_TRANSLATE_NOOP("QPravikSettingsPage", "IP Address"), "local_addr",
     &TComEthernetController::localAddr, &TComEthernetController::setLocalAddr},
    {SubnetMaskItem, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Subnet Mask"), "subnet",
     &TComEthernetController::subnet, &TComEthernetController::setSubnet},
    {DefaultGatewayItem, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Default Gateway"), "gateway",
     &TComEthernetController::gateway, &TComEthernetController::setGateway},
    {PreferredDnsItem, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Preferred DNS"), "dns1",
     &TComEthernetController::dns1, &TComEthernetController::setDns1},
    {AuxiliaryDnsItem, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Auxiliary DNS"), "dns2",
     &TComEthernetController::dns2, &TComEthernetController::setDns2},
};

// The switch reads "DHCP" for every mode but manual: PPPoE and BGAN have no
// place of their own and are kept unless the operator switches to manual.
bool dhcpShown(const TComEthernetController& ethernet)
{
    return ethernet.mode() != TComEthernetController::Manual;
}

// Modified test and applier alike.
void editEthernet(ControllerEdit& edit, TComEthernetController& ethernet)
{
    bool dhcp = false;
    bool manual = false;
    bool modeChanged = false;
    if (edit.switchValue(DhcpItem, dhcp)) {
        manual = !dhcp;
        modeChanged = dhcp != dhcpShown(ethernet);
        if (modeChanged)
            edit.update(ethernet, ethernet.mode(), manual ? int(TComEthernetController::Manual)
                                                          : int(TComEthernetController::Dhcp),
                        &TComEthernetController::setMode, "mode");
    }
    // Switching to manual addressing sends every address, changed or not.
    if (manual) {
        for (const auto& address : kAddressItems)
            edit.text(address.id, ethernet, address.get, address.set, address.key, toStdString, modeChanged);
    }
    edit.choice(LinkModeItem, ethernet, &TComEthernetController::linkMode, &TComEthernetController::setLinkMode,
                "link_mode");
    editQuality(edit, ethernet, EthernetQualityItem, EthernetAjbItem);
}

} // namespace

void QPravikSettingsPage::buildEthernetMenu(int menuId)
{
    auto* page = new QPravikMenuItems(menuId, this);
    TComEthernetController& ethernet = ethernetController;
    const bool unloaded = attachUnloaded(ethernet, menuId);

    addMenuRow(page, DhcpItem, QPravikMenuItem::Switch, tr("DHCP"));
    for (const auto& address : kAddressItems)
        addMenuRow(page, address.id, QPravikMenuItem::Number, tr(address.label));
    QPravikMenuItem* linkMode = addChoices(page, LinkModeItem, tr("Link Mode"), kLinkModeChoices, ethernet.linkMode());
    addQualityItem(page, EthernetQualityItem, EthernetAjbItem, ethernet.networkQuality(), ethernet.ajbProfile(),
                   unloaded);
    QPravikMenuItem* mac = addMenuRow(page, MacAddressItem, QPravikMenuItem::Number, tr("MAC Address"));
    mac->setValueText(toQString(ethernet.hwAddr()), false);
    mac->setLocked(true);

    refreshEthernetItems(page);
    // Only the primary interface's link mode is offered when the menu opens.
    if (ethernet.network() != "eth.0")
        linkMode->setLocked(true);
    pushPage(page);
}

void QPravikSettingsPage::lockEthernetAddresses(QPravikMenuItems* page, bool dhcp, bool unloaded)
{
    for (const auto& address : kAddressItems) {
        if (QPravikMenuItem* item = page->findItem(address.id))
            item->setLocked(unloaded || dhcp);
    }
}

void QPravikSettingsPage::refreshEthernetItems(QPravikMenuItems* page)
{
    if (!page)
        return;
    const TComEthernetController& ethernet = ethernetController;
    const bool unloaded = ethernet.state() == TComController::Unloaded;
    if (QPravikMenuItem* item = page->findItem(DhcpItem)) {
        item->setChecked(dhcpShown(ethernet));
        item->setLocked(unloaded);
    }
    for (const auto& address : kAddressItems) {
        if (QPravikMenuItem* item = page->findItem(address.id))
            item->setValueText(toQString((ethernet.*address.get)()), false);
    }
    lockEthernetAddresses(page, dhcpShown(ethernet), unloaded);
    const struct {
        int id;
        int value;
    } lists[] = {
        {LinkModeItem, ethernet.linkMode()},
        {EthernetQualityItem, ethernet.networkQuality()},
        {EthernetAjbItem, ethernet.ajbProfile()},
    };
    for (const auto& list : lists) {
        QPravikMenuItem* item = page->findItem(list.id);
        if (!item)
            continue;
        if (list.value == -1) {
            showUnknown(item);
            continue;
        }
        if (item->setCurrentValue(list.value, true, true) < 0 && list.id == LinkModeItem)
            item->setValueText(linkModeLabel(list.value), true);
        item->setLocked(unloaded || item->choiceCount() < 2);
    }
}

bool QPravikSettingsPage::ethernetMenuModified(QPravikMenuItems* page)
{
    return ControllerEdit::modified(page, [this](ControllerEdit& edit) { editEthernet(edit, ethernetController); });
}

bool QPravikSettingsPage::applyEthernetMenu(QPravikMenuItems* page)
{
    return ControllerEdit::apply(this, page, ethernetController, [this](ControllerEdit& edit) { editEthernet(edit, ethernetController); });
}

// --- ISDN menu -----------------------------------------------------------------

namespace {

const Choice kProtocolChoices[] = {
    {0, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Euro ISDN")},
    {1, QT_TRANSLATE_NOOP("QPravikSettingsPage", "NI-1 / NI-2")},
    {2, QT_TRANSLATE_NOOP("QPravikSettingsPage", "NTT")},
};

const TextItem<TComIsdnController> kIsdnTextItems[] = {
    {LocalNumber1Item, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Local Number 1"), "addr_sb0_ch0",
     &TComIsdnController::addrSb0Ch0, &TComIsdnController::setAddrSb0Ch0},
    {LocalNumber2Item, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Local Number 2"), "addr_sb0_ch1",
     &TComIsdnController::addrSb0Ch1, &TComIsdnController::setAddrSb0Ch1},
    {SubAddress1Item, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Sub-Address 1"), "subaddr_sb0_ch0",
     &TComIsdnController::subaddrSb0Ch0, &TComIsdnController::setSubaddrSb0Ch0},
    {SubAddress2Item, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Sub-Address 2"), "subaddr_sb0_ch1",
     &TComIsdnController::subaddrSb0Ch1, &TComIsdnController::setSubaddrSb0Ch1},
    {SpidItem, QT_TRANSLATE_NOOP("QPravikSettingsPage", "SPID"), "spid", &TComIsdnController::spid,
     &TComIsdnController::setSpid},
};

void editIsdn(ControllerEdit& edit, TComIsdnController& isdn)
{
    edit.toggle(FiveAsItem, isdn, &TComIsdnController::fiveAs, &TComIsdnController::set5as, "5as");
    edit.choice(IsdnProtocolItem, isdn, &TComIsdnController::protocol, &TComIsdnController::setProtocol, "protocol");
    for (const auto& text : kIsdnTextItems)
        edit.text(text.id, isdn, text.get, text.set, text.key, toStdString);
}

} // namespace

// NI-1 / NI-2 identifies the line by its SPID; the other protocols by the
// local numbers and sub-addresses.
void QPravikSettingsPage::lockIsdnNumbers(QPravikMenuItems* page, int protocol, bool unloaded)
{
    for (const auto& text : kIsdnTextItems) {
        if (QPravikMenuItem* item = page->findItem(text.id))
            item->setLocked(unloaded || (text.id == SpidItem) != (protocol == TComIsdnController::Ni));
    }
}

void QPravikSettingsPage::createIsdnMenu()
{
    auto* page = new QPravikMenuItems(IsdnMenu, this);
    TComIsdnController& isdn = isdnController;
    const bool unloaded = attachUnloaded(isdn, IsdnMenu);

    QPravikMenuItem* item = addMenuRow(page, FiveAsItem, QPravikMenuItem::Switch, tr("5AS"));
    item->setChecked(isdn.fiveAs());
    item->setLocked(unloaded);
    addChoices(page, IsdnProtocolItem, tr("Protocol"), kProtocolChoices, isdn.protocol())->setLocked(unloaded);
    for (const auto& text : kIsdnTextItems)
        addMenuRow(page, text.id, QPravikMenuItem::Number, tr(text.label))
            ->setValueText(toQString((isdn.*text.get)()), false);
    lockIsdnNumbers(page, isdn.protocol(), unloaded);
    pushPage(page);
}

bool QPravikSettingsPage::isdnMenuModified(QPravikMenuItems* page)
{
    return ControllerEdit::modified(page, [this](ControllerEdit& edit) { editIsdn(edit, isdnController); });
}

bool QPravikSettingsPage::applyIsdnMenu(QPravikMenuItems* page)
{
    return ControllerEdit::apply(this, page, isdnController, [this](ControllerEdit& edit) { editIsdn(edit, isdnController); });
}

// --- Mobile menus ---------------------------------------------------------------

namespace {

using Mobile = TComMobileController;

enum MobileItem {
    PinSaveItem = 42,
    RatItem = 43,
    MobileModeItem = 45,
    DataServiceItem = 46,
    ApnItem = 47,
    AuthenticationItem = 48,
    AuthUserItem = 49,
    AuthPasswordItem = 50,
    MobileQualityItem = 51,
    MobileAjbItem = 52,
    ManufacturerItem = 53,
    ImsiItem = 57,
    SubscriberNumberItem = 58,
};

constexpr int kPinTimeoutMs = 15000;

// Each offered only when the unit lists its "rat" value; the mixed
// preferences never are.
const Choice kRatChoices[] = {
    {0, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Auto")},
    {2, QT_TRANSLATE_NOOP("QPravikSettingsPage", "2G")},
    {1, QT_TRANSLATE_NOOP("QPravikSettingsPage", "3G")},
    {6, QT_TRANSLATE_NOOP("QPravikSettingsPage", "4G/LTE")},
    {7, QT_TRANSLATE_NOOP("QPravikSettingsPage", "4G/LTE and 5G")},
    {8, QT_TRANSLATE_NOOP("QPravikSettingsPage", "5G")},
};
const Choice kMobileModeChoices[] = {
    {Mobile::VoiceMode, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Cellphone")},
    {Mobile::DataMode, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Audio over IP")},
};
const Choice kAuthenticationChoices[] = {
    {1, "PAP"},
    {2, "CHAP"},
};

// The operator as the unit names it: the translated "Auto" is its "auto".
std::string operatorName(const QString& text)
{
    return text == QPravikSettingsPage::tr("Auto") ? std::string("auto") : toUnitUtf8(text);
}

void editMobile(ControllerEdit& edit, Mobile& mobile)
{
    edit.toggle(PinSaveItem, mobile, &Mobile::pinPersistent, &Mobile::setPinPersistent, "pin_persistent");
    edit.choice(RatItem, mobile, &Mobile::rat, &Mobile::setRat, "rat");
    edit.text(PreferredOperatorItem, mobile, &Mobile::plmn, &Mobile::selectOperator, "plmn", operatorName);
    edit.choice(MobileModeItem, mobile, &Mobile::mode, &Mobile::setMode, "mode");
    edit.toggle(DataServiceItem, mobile, &Mobile::dataConnection, &Mobile::setDataConnection, "data_connection");
    editQuality(edit, mobile, MobileQualityItem, MobileAjbItem);
    edit.text(ApnItem, mobile, &Mobile::apn, &Mobile::setApn, "apn", toStdString);
    edit.choice(AuthenticationItem, mobile, &Mobile::authentication, &Mobile::setAuthentication, "authentication");
    edit.text(AuthUserItem, mobile, &Mobile::username, &Mobile::setUsername, "username", toStdString);
    edit.text(AuthPasswordItem, mobile, &Mobile::password, &Mobile::setPassword, "password", toStdString);
}

// A typed PIN waits in item 41 until the apply enters it.
QPravikMenuItem* enteredPin(QPravikMenuItems* page)
{
    QPravikMenuItem* pin = page ? page->findItem(PinCodeItem) : nullptr;
    return pin && !pin->locked && !pin->valueText().isEmpty() ? pin : nullptr;
}

} // namespace

// The controller's state shapes the menu: without a usable SIM only the
// modem's identity, with a PIN to enter the PIN items besides.
void QPravikSettingsPage::buildMobileMenu(int menuId)
{
    auto* page = new QPravikMenuItems(menuId, this);
    Mobile& mobile = mobileController;
    const bool unloaded = attachUnloaded(mobile, menuId);
    const bool operatorLocked = unloaded || currentAccessLevel == OperatorLevel;
    const int state = mobile.state();
    const bool noSim = state == TComController::SimMissing || state == TComController::SimLocked;
    const bool full = !noSim && state != TComController::PinRequired;
    const auto lockedText = [page](int id, const QString& label, const QString& text, bool locked) {
        QPravikMenuItem* item = addMenuRow(page, id, QPravikMenuItem::Text, label);
        item->setValueText(text, false);
        item->setLocked(locked);
    };
    const auto section = [page](const QString& label) {
        addMenuRow(page, -1, QPravikMenuItem::SectionHeader, label, 10, 20);
    };

    if (state == TComController::PinRequired)
        addMenuRow(page, PinCodeItem, QPravikMenuItem::Pin, tr("PIN Code"));
    if (!noSim)
        addMenuRow(page, PinSaveItem, QPravikMenuItem::Switch, tr("PIN Save"))->setChecked(mobile.pinPersistent());
    if (full) {
        QPravikMenuItem* item =
            addMenuRow(page, RatItem, QPravikMenuItem::ChoiceList, tr("Preferred Radio Access Technology"));
        for (const Choice& choice : kRatChoices) {
            if (mobile.optionMask() & (Mobile::FirstRatOption << choice.value))
                item->addChoice(choice.value, tr(choice.text));
        }
        if (mobile.rat() == -1) {
            showUnknown(item);
        } else {
            selectOrShow(item, mobile.rat(), toQString(mobileRatName(mobile.rat())));
            item->setLocked(unloaded);
        }
        item = addMenuRow(page, PreferredOperatorItem, QPravikMenuItem::Action, tr("Preferred Network Operator"));
        item->setValueText(mobile.plmn() == "auto" ? tr("Auto") : fromUnitUtf8(mobile.plmn()), false);
        item->setLocked(operatorLocked);
        item = addChoices(page, MobileModeItem, tr("Mode"), kMobileModeChoices, mobile.mode());
        if (mobile.mode() == -1)
            showUnknown(item);
        else
            item->setLocked(unloaded || mobile.mode() != Mobile::VoiceMode);

        section(tr("Audio over IP"));
        item = addMenuRow(page, DataServiceItem, QPravikMenuItem::Switch, tr("Data Service"));
        item->setChecked(mobile.dataConnection());
        item->setLocked(unloaded);
        addQualityItem(page, MobileQualityItem, MobileAjbItem, mobile.networkQuality(), mobile.ajbProfile(),
                       operatorLocked);
        lockedText(ApnItem, tr("Access Point Name"), toQString(mobile.apn()), unloaded);
        item = addMenuRow(page, AuthenticationItem, QPravikMenuItem::ChoiceList, tr("Authentication Mode"));
        if (mobile.authentication() == 0) {
            item->addChoice(0, tr("Not Applicable"));
            item->setCurrentValue(0, true, true);
            item->setLocked(true);
        } else {
            for (const Choice& choice : kAuthenticationChoices)
                item->addChoice(choice.value, tr(choice.text));
            item->setCurrentValue(mobile.authentication(), true, true);
            item->setLocked(operatorLocked);
        }
        lockedText(AuthUserItem, tr("Authentication User Name"), toQString(mobile.username()), operatorLocked);
        lockedText(AuthPasswordItem, tr("Authentication Password"), toQString(mobile.password()), operatorLocked);
    }

    section(tr("Information"));
    lockedText(ManufacturerItem, tr("Manufacturer"), toQString(mobile.manufacturer()), true);
    lockedText(ManufacturerItem + 1, tr("Model"), toQString(mobile.model()), true);
    lockedText(ManufacturerItem + 2, tr("Revision"), toQString(mobile.revision()), true);
    lockedText(ManufacturerItem + 3, tr("IMEI"), toQString(mobile.imei()), true);
    if (full) {
        lockedText(ImsiItem, tr("IMSI"), toQString(mobile.imsi()), true);
        lockedText(SubscriberNumberItem, tr("Subscriber Number"),
                   mobile.msisdn().empty() ? tr("Not Available") : toQString(mobile.msisdn()), true);
    }
    // Indented under their section.
    for (QPravikMenuItem* item : page->allItems()) {
        if (item->id >= DataServiceItem)
            item->gridLayout->setContentsMargins(60, 0, 10, 0);
    }
    pushPage(page);
}

bool QPravikSettingsPage::mobileMenuModified(QPravikMenuItems* page)
{
    return enteredPin(page)
        || ControllerEdit::modified(page, [this](ControllerEdit& edit) { editMobile(edit, mobileController); });
}

// The PIN goes first and alone: a refused PIN stops the apply, an accepted
// one leaves the item at once so that a retry never enters it again.
bool QPravikSettingsPage::applyMobileMenu(QPravikMenuItems* page)
{
    QPointer<QPravikMenuItems> guard = page;
    if (QPravikMenuItem* pin = enteredPin(page)) {
        showMessage(tr("Applying PIN code..."), 0);
        const int result = mobileController.enterPin(toStdString(pin->valueText()), kPinTimeoutMs);
        // The reply waits in a nested loop: the page may have gone meanwhile.
        if (result == Mobile::PinAccepted && guard)
            pin->setValueText(QString(), false);
        if (result != Mobile::PinAccepted) {
            showMessage(result == Mobile::PinWrong ? tr("Wrong PIN code!") : tr("Failed to apply PIN code!"), 0);
            return false;
        }
        closePopup();
        if (!guard)
            return false;
    }
    return ControllerEdit::apply(this, page, mobileController,
                                 [this](ControllerEdit& edit) { editMobile(edit, mobileController); });
}

// --- Wi-Fi menus ---------------------------------------------------------------

namespace {

const Choice kSecurityChoices[] = {
    {0, QT_TRANSLATE_NOOP("QPravikSettingsPage", "None")},
    {1, QT_TRANSLATE_NOOP("QPravikSettingsPage", "Auto")},
};
const Choice kKeySecurityChoices[] = {
    {2, "WEP"},
    {3, "WPA-PSK"},
    {4, "WPA2-PSK"},
};

// The items that choose the network, editable only while the data
// connection is off; the list only while it has a network to offer.
void lockWifiNetworkItems(QPravikMenuItems* page, bool locked)
{
    for (int id : {NetworkListItem, SsidItem, SecurityItem, PassphraseItem}) {
        if (QPravikMenuItem* item = page->findItem(id))
            item->setLocked(locked || (id == NetworkListItem && item->choiceCount() == 0));
    }
}

// Tells the applier whether the data connection changed.
bool editWifi(ControllerEdit& edit, TComWifiController& wifi)
{
    bool active = false;
    const bool activeChanged = edit.switchValue(WifiActiveItem, active) && active != wifi.dataConnection();
    edit.toggle(WifiActiveItem, wifi, &TComWifiController::dataConnection, &TComWifiController::setDataConnection,
                "data_connection");
    edit.text(SsidItem, wifi, &TComWifiController::ssid, &TComWifiController::setSsid, "ssid", toUnitUtf8);
    int security = 0;
    if (edit.choiceValue(SecurityItem, security) && security != wifi.authentication()) {
        edit.update(wifi, wifi.authentication(), security, &TComWifiController::setAuthentication, "authentication");
        if (security != QPravikSettingsPage::kAutoSecurity)
            edit.update(wifi, wifi.authenticationCustom(), security, &TComWifiController::setAuthenticationCustom,
                        "authentication_custom", true);
    }
    edit.text(PassphraseItem, wifi, &TComWifiController::passphrase, &TComWifiController::setPassphrase,
              "passphrase", toUnitUtf8);
    editQuality(edit, wifi, WifiQualityItem, WifiAjbItem);
    return activeChanged;
}

} // namespace

void QPravikSettingsPage::createWifiMenu(int menuId)
{
    auto* page = new QPravikMenuItems(menuId, this);
    TComWifiController& wifi = wifiController;
    const bool unloaded = attachUnloaded(wifi, menuId);
    const bool activeLock = unloaded || wifi.dataConnection();

    QPravikMenuItem* item = addMenuRow(page, WifiActiveItem, QPravikMenuItem::Switch, tr("Active"));
    item->setChecked(wifi.dataConnection());
    item->setLocked(unloaded);

    // A failed scan leaves the networks of the last one.
    wifi.scanNetworks();
    item = addMenuRow(page, NetworkListItem, QPravikMenuItem::Action, tr("Network List"));
    const std::vector<std::string>& networks = wifi.networkList();
    for (std::size_t i = 0; i < networks.size(); ++i)
        item->addChoice(int(i), fromUnitUtf8(networks[i]));
    item->setValueText(networks.empty() ? tr("No Wi-Fi network Found") : tr("Select a Wi-Fi network from list"),
                       false);

    addMenuRow(page, SsidItem, QPravikMenuItem::Text, tr("Name (SSID)"))->setValueText(fromUnitUtf8(wifi.ssid()), false);
    item = addChoices(page, SecurityItem, tr("Security"), kSecurityChoices, wifi.authentication());
    for (const Choice& choice : kKeySecurityChoices)
        item->addChoice(choice.value, QString::fromLatin1(choice.text));
    item->setCurrentValue(wifi.authentication(), true, true);
    addMenuRow(page, PassphraseItem, QPravikMenuItem::Password, tr("Passphrase"))
        ->setValueText(fromUnitUtf8(wifi.passphrase()), false);
    addQualityItem(page, WifiQualityItem, WifiAjbItem, wifi.networkQuality(), wifi.ajbProfile(), unloaded);

    lockWifiNetworkItems(page, activeLock);
    pushPage(page);
}

bool QPravikSettingsPage::wifiMenuModified(QPravikMenuItems* page)
{
    return ControllerEdit::modified(page, [this](ControllerEdit& edit) { editWifi(edit, wifiController); });
}

bool QPravikSettingsPage::applyWifiMenu(QPravikMenuItems* page)
{
    bool activeChanged = false;
    if (!ControllerEdit::apply(this, page, wifiController,
                               [&](ControllerEdit& edit) { activeChanged = editWifi(edit, wifiController); }))
        return false;
    if (activeChanged)
        lockWifiNetworkItems(page, wifiController.dataConnection());
    return true;
}
