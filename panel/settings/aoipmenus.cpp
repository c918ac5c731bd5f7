// AoIP (SIP) controller menu and the two SIP account menus. Both edit the
// device model's AoIP controller: the items are compared with it, and the
// apply stores the changed values, writes their keys together and has the
// unit re-initialise the AoIP interface.
#include "panel/settings/qpraviksettingspage.h"

#include <QGridLayout>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/tcomaoipcontroller.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"
#include "model/unitfirmware.h"
#include "panel/kit/controls.h"
#include "panel/settings/controlleredit.h"
#include "panel/settings/settingsids.h"

using namespace SettingsId;

namespace {

using Item = QPravikMenuItem;
using Aoip = TComAoIPController;
using Account = TComSipAccount;

// Firmware words past which rows and keys exist.
constexpr std::uint32_t kAlternatePortFirmware = 0x10701;   // 1.7.2
constexpr std::uint32_t kAccountsFirmware = 0x10801;        // 1.8.2
constexpr std::uint32_t kStreamPatternFirmware = 0x109FF;   // 1.10.0
constexpr std::uint32_t kJitterBufferFirmware = 0x10BFF;    // 1.12.0
constexpr std::uint32_t kSessionTimersFirmware = 0x10EFF;   // 1.15.0
constexpr std::uint32_t kKeepAliveTargetFirmware = 0x110FF; // 1.17.0
constexpr int kAlternatePortOffset = 2;
constexpr int kMaxPort = 65535;
constexpr int kMaxTos = 255;

bool firmwareAbove(std::uint32_t word)
{
    return unitFirmwareVersion > word;
}

using settingsmenu::tr;

QString seconds(int n)
{
    return tr("%1 seconds").arg(n);
}

// The whole text as a decimal number within the range; anything else,
// "5060x", "+5" or " 5" included, is no number and so no edit.
std::optional<int> decimalIn(const QString& text, int low, int high)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (QChar ch : text)
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return std::nullopt;
    const int n = text.toInt();
    if (n < low || n > high)
        return std::nullopt;
    return n;
}

// The number items of both menus and their ranges.
const struct NumberRow
{
    int id;
    int (Aoip::*get)() const;
    bool (Aoip::*set)(int, bool);
    const char* key;
    int low;
    int high;
} kNumberRows[] = {
    {SipPortItem, &Aoip::sipUdpPort, &Aoip::setSipUdpPort, "SIP_UDP_PORT", 1, kMaxPort},
    {RtpPortItem, &Aoip::rtpStartPort, &Aoip::setRtpStartPort, "RTP_START_PORT", 1, kMaxPort},
    {DirectRtpPortItem, &Aoip::drtpRtpPort, &Aoip::setDrtpRtpPort, "drtp_rtp_port", 1, kMaxPort},
    {RtpDscpItem, &Aoip::rtpTos, &Aoip::setRtpTos, "rtp_tos", 0, kMaxTos},
};

const NumberRow* numberRow(int id)
{
    for (const NumberRow& row : kNumberRows)
        if (row.id == id)
            return &row;
    return nullptr;
}

// A number item's value: a text that is no number within its range is
// none (the page puts such a text back as soon as it is typed).
void editNumber(ControllerEdit& edit, int id, Aoip& c)
{
    const NumberRow* row = numberRow(id);
    const Item* item = edit.editable(id);
    if (const std::optional<int> n = item ? decimalIn(item->valueText(), row->low, row->high) : std::nullopt)
        edit.update(c, (c.*row->get)(), *n, row->set, row->key);
}

void editAccountText(ControllerEdit& edit, int id, Account& a, std::string Account::*field,
                     bool (Account::*set)(const std::string&, bool), const std::string& key)
{
    std::string text;
    if (edit.textValue(id, text, toUnitUtf8))
        edit.update(a, a.*field, text, set, key.c_str());
}

// Menu 10, in the order the apply writes it.
void editAoip(ControllerEdit& edit, Aoip& c)
{
    edit.choice(DefaultProtocolItem, c, &Aoip::audioMode, &Aoip::setAudioMode, "audio_mode");
    edit.toggle(DoubleStreamItem, c, &Aoip::doubleStream, &Aoip::setDoubleStream, "double_stream");
    edit.choice(StreamPatternItem, c, &Aoip::streamPattern, &Aoip::setStreamPattern, "stream_pattern");
    edit.toggle(JitterBufferItem, c, &Aoip::jitterab, &Aoip::setJitterab, "jitterab");
    edit.toggle(StunStateItem, c, &Aoip::stunMode, &Aoip::setStunMode, "stun_mode");
    edit.text(StunServerItem, c, &Aoip::stunServer, &Aoip::setStunServer, "stun_server", toUnitUtf8);
    edit.toggle(SipRegistrationItem, c, &Aoip::sipMode, &Aoip::setSipMode, "sip_mode");
    edit.toggle(SipIncomingCallsItem, c, &Aoip::sipAcceptCalls, &Aoip::setSipAcceptCalls, "sip_acc_calls");
    edit.toggle(SipCallsOriginItem, c, &Aoip::sipCheckCalls, &Aoip::setSipCheckCalls, "sip_chk_calls");
    // The switch's choice: none while it shows a unit number of neither account.
    int account = 0;
    if (edit.choiceValue(DefaultAccountItem, account))
        edit.update(c, c.sipDefAccount(), account + 1, &Aoip::setSipDefAccount, "sip_def_account");
    editAccountText(edit, RegistrarItem, c.account1(), &Account::registrar, &Account::setRegistrar, "sip_registrar");
    edit.text(OutboundProxyItem, c, &Aoip::sipProxy, &Aoip::setSipProxy, "sip_proxy", toUnitUtf8);
    edit.choice(KeepAliveIntervalItem, c, &Aoip::sipKeepAliveInterval, &Aoip::setSipKeepAliveInterval,
                "SIP_KA_INTERVAL");
    edit.choice(KeepAliveTargetItem, c, &Aoip::sipKeepAliveTarget, &Aoip::setSipKeepAliveTarget, "SIP_KA_TARGET");
    edit.choice(RegistrationPeriodItem, c, &Aoip::sipReRegisterTimeout, &Aoip::setSipReRegisterTimeout,
                "SIP_RE_REG_TO");
    editNumber(edit, SipPortItem, c);
    editNumber(edit, RtpPortItem, c);
    edit.toggle(SessionTimersItem, c, &Aoip::sipSessionTimers, &Aoip::setSipSessionTimers, "sip_sess_timers");
    edit.toggle(DirectRtpCallsItem, c, &Aoip::drtpAcceptCalls, &Aoip::setDrtpAcceptCalls, "drtp_acc_calls");
    edit.toggle(SendOnlyItem, c, &Aoip::drtpSendOnly, &Aoip::setDrtpSendOnly, "drtp_send_only");
    editNumber(edit, DirectRtpPortItem, c);
    edit.choice(ReleaseTimeoutItem, c, &Aoip::drtpReleaseTimeout, &Aoip::setDrtpReleaseTimeout, "drtp_rel_timeout");
    editNumber(edit, RtpDscpItem, c);
    edit.choice(PacketReplicationItem, c, &Aoip::ecmBfShift, &Aoip::setEcmBfShift, "MP_ECM_BF_SHIFT");
}

// Menu 76 or 77: the account's keys end in "2" for the second one; the
// ports are shared.
void editAccount(ControllerEdit& edit, Aoip& c, Account& a)
{
    const std::string suffix = a.number == 2 ? "2" : "";
    editAccountText(edit, SipUserItem, a, &Account::user, &Account::setUser, "sip_user" + suffix);
    editAccountText(edit, SipDisplayNameItem, a, &Account::displayName, &Account::setDisplayName,
                    "sip_display_name" + suffix);
    editAccountText(edit, SipAuthUserItem, a, &Account::authUser, &Account::setAuthUser, "sip_auth_user" + suffix);
    editAccountText(edit, SipPasswordItem, a, &Account::password, &Account::setPassword, "sip_password" + suffix);
    editAccountText(edit, AccountRegistrarItem, a, &Account::registrar, &Account::setRegistrar,
                    "sip_registrar" + suffix);
    edit.toggle(AlternateSipPortItem, c, &Aoip::sipUseUport2, &Aoip::setSipUseUport2, "sip_use_uport2");
    editNumber(edit, SipPortItem, c);
    editNumber(edit, RtpPortItem, c);
}

void editPage(ControllerEdit& edit, int menuId)
{
    Aoip& c = frontPanelDevice()->aoip();
    if (menuId == AoipMenu)
        editAoip(edit, c);
    else
        editAccount(edit, c, menuId == SipAccountMenuFirst ? c.account1() : c.account2());
}

void addChoices(Item* item, std::initializer_list<std::pair<int, const char*>> choices)
{
    for (const auto& choice : choices)
        item->addChoice(choice.first, tr(choice.second));
}

void addSeconds(Item* item, std::initializer_list<int> values)
{
    for (int n : values)
        item->addChoice(n, seconds(n));
}

void setSwitch(Item* item, bool on)
{
    item->setChecked(on);
}

void setNumber(Item* item, qint64 value)
{
    item->setValueText(QString::number(value), false);
}

void setText(Item* item, const std::string& bytes)
{
    item->setValueText(fromUnitUtf8(bytes), false);
}

Item* lockedRow(QPravikMenuItems* page, int id, int type, const QString& label, bool locked, int left)
{
    Item* item = QPravikSettingsPage::addMenuRow(page, id, type, label, left);
    item->setLocked(locked);
    return item;
}

} // namespace

// --- AoIP (SIP) controller menu -------------------------------------------------

void QPravikSettingsPage::buildAoipControllerMenu()
{
    TComDevice* device = frontPanelDevice();
    Aoip& c = device->aoip();
    std::vector<std::string> keys = {"audio_mode",  "stun_mode", "stun_server",     "sip_mode",
                                     "sip_acc_calls", "sip_registrar", "sip_proxy", "SIP_KA_INTERVAL",
                                     "SIP_RE_REG_TO"};
    const bool portsHere = !firmwareAbove(kAlternatePortFirmware);
    const bool accounts = firmwareAbove(kAccountsFirmware);
    if (portsHere)
        keys.insert(keys.end(), {"SIP_UDP_PORT", "RTP_START_PORT"});
    keys.insert(keys.end(), {"drtp_acc_calls", "drtp_send_only", "drtp_rtp_port", "drtp_rel_timeout", "rtp_tos",
                             "MP_ECM_BF_SHIFT", "double_codec", "double_stream"});
    if (accounts) {
        keys.insert(keys.end(), {"sip_chk_calls", "sip_def_account", "sip_registrar2"});
        const std::pair<std::uint32_t, const char*> later[] = {{kStreamPatternFirmware, "stream_pattern"},
                                                               {kJitterBufferFirmware, "jitterab"},
                                                               {kSessionTimersFirmware, "sip_sess_timers"},
                                                               {kKeepAliveTargetFirmware, "SIP_KA_TARGET"}};
        for (const auto& key : later) {
            if (!firmwareAbove(key.first))
                break;
            keys.push_back(key.second);
        }
    }
    c.readParams(keys);

    auto* page = new QPravikMenuItems(AoipMenu, this);
    const bool unloaded = c.state() == TComController::Unloaded;
    const bool doubleStreaming = device->deviceOptions() & kDoubleStreamOption;
    const bool patterns = doubleStreaming && accounts && firmwareAbove(kStreamPatternFirmware);
    const bool dstreamLocked = unloaded || c.doubleCodec() || c.audioMode() != Aoip::Sip;
    const auto section = [page](const QString& label) { addMenuRow(page, -1, Item::SectionHeader, label, 10, 20); };

    Item* item = lockedRow(page, DefaultProtocolItem, Item::ChoiceList, tr("Default Protocol for Outgoing Calls"),
                           unloaded, 10);
    addChoices(item, {{Aoip::Sip, QT_TR_NOOP("SIP")}});
    if (!c.doubleCodec() || c.audioMode() == Aoip::Rtp)
        addChoices(item, {{Aoip::Rtp, QT_TR_NOOP("Direct RTP")}});
    selectOrShow(item, c.audioMode(), callProtocolLabel(c.audioMode()));
    if (doubleStreaming) {
        setSwitch(lockedRow(page, DoubleStreamItem, Item::Switch, tr("Double Streaming for SIP Calls"), dstreamLocked,
                            10),
                  c.doubleStream());
    }
    if (patterns) {
        item = lockedRow(page, StreamPatternItem, Item::ChoiceList, tr("Double Streaming Pattern"), dstreamLocked, 10);
        addChoices(item, {{0, QT_TR_NOOP("True Diversity")},
                          {1, QT_TR_NOOP("Bonding 50/50")},
                          {2, QT_TR_NOOP("Bonding 66/33")},
                          {3, QT_TR_NOOP("Bonding 33/66")}});
        selectOrShow(item, c.streamPattern(), QString::number(c.streamPattern()));
    }
    if (patterns && firmwareAbove(kJitterBufferFirmware)) {
        item = lockedRow(page, JitterBufferItem, Item::Switch, tr("Jitter Buffer Mode"), unloaded, 10);
        item->addChoice(0, QStringLiteral("Fixed latency"));
        item->addChoice(1, QStringLiteral("Adaptive"));
        setSwitch(item, c.jitterab());
    }

    section(tr("STUN"));
    setSwitch(lockedRow(page, StunStateItem, Item::Switch, tr("State"), unloaded, 60), c.stunMode());
    setText(lockedRow(page, StunServerItem, Item::Text, tr("Server"), unloaded, 60), c.stunServer());

    section(tr("SIP"));
    setSwitch(lockedRow(page, SipRegistrationItem, Item::Switch, tr("Registration"), unloaded, 60), c.sipMode());
    item = lockedRow(page, SipIncomingCallsItem, Item::Switch, tr("Incoming Calls"), unloaded, 60);
    addChoices(item, {{0, QT_TR_NOOP("Disabled")}, {1, QT_TR_NOOP("Accept")}});
    setSwitch(item, c.sipAcceptCalls());
    if (accounts) {
        item = lockedRow(page, SipCallsOriginItem, Item::Switch, tr("Incoming Calls Origin"), unloaded, 60);
        addChoices(item, {{0, QT_TR_NOOP("Any")}, {1, QT_TR_NOOP("Only from SIP Server")}});
        setSwitch(item, c.sipCheckCalls());
        item = lockedRow(page, DefaultAccountItem, Item::Switch, tr("Default SIP Account"), unloaded, 60);
        addChoices(item, {{0, QT_TR_NOOP("Account 1")}, {1, QT_TR_NOOP("Account 2")}});
    } else {
        setText(lockedRow(page, RegistrarItem, Item::Text, tr("Registrar"), unloaded, 60), c.account1().registrar);
    }
    lockedRow(page, SipAccountMenuFirst, Item::SubMenu, tr("Account 1"), unloaded, 60)
        ->setValueText(tr("Configure the primary SIP Account"), false);
    lockedRow(page, SipAccountMenuLast, Item::SubMenu, tr("Account 2"), unloaded, 60)
        ->setValueText(tr("Configure the secondary SIP Account"), false);
    setText(lockedRow(page, OutboundProxyItem, Item::Text, tr("Outbound Proxy"), unloaded, 60), c.sipProxy());
    item = lockedRow(page, KeepAliveIntervalItem, Item::ChoiceList, tr("Keepalive Interval"), unloaded, 60);
    addSeconds(item, {5, 10, 15, 20, 25, 30, 45, 60, 90, 120, 180});
    selectOrShow(item, c.sipKeepAliveInterval(), seconds(c.sipKeepAliveInterval()));
    if (accounts && firmwareAbove(kKeepAliveTargetFirmware)) {
        item = lockedRow(page, KeepAliveTargetItem, Item::ChoiceList, tr("Keepalive Target"), unloaded, 60);
        addChoices(item, {{0, QT_TR_NOOP("User Agent")}, {1, QT_TR_NOOP("SIP Server")}});
        selectOrShow(item, c.sipKeepAliveTarget(), QString::number(c.sipKeepAliveTarget()));
    }
    item = lockedRow(page, RegistrationPeriodItem, Item::ChoiceList, tr("Minimum Registration Period"), unloaded, 60);
    addSeconds(item, {30, 60, 90});
    for (int minutes : {2, 3, 5, 10, 15, 30, 60})
        item->addChoice(minutes * 60, tr("%1 minutes").arg(minutes));
    selectOrShow(item, c.sipReRegisterTimeout(), seconds(c.sipReRegisterTimeout()));
    if (portsHere) {
        setNumber(lockedRow(page, SipPortItem, Item::Number, tr("SIP Port"), unloaded, 60), c.sipUdpPort());
        setNumber(lockedRow(page, RtpPortItem, Item::Number, tr("RTP Port"), unloaded, 60), c.rtpStartPort());
    }
    if (accounts && firmwareAbove(kSessionTimersFirmware)) {
        item = lockedRow(page, SessionTimersItem, Item::Switch, tr("Periodically Refresh Sessions"), unloaded, 60);
        addChoices(item, {{0, QT_TR_NOOP("Disabled")}, {1, QT_TR_NOOP("Use Session Timers")}});
        setSwitch(item, c.sipSessionTimers());
    }

    section(tr("Direct RTP"));
    item = lockedRow(page, DirectRtpCallsItem, Item::Switch, tr("Incoming Calls"), unloaded, 60);
    addChoices(item, {{0, QT_TR_NOOP("Disabled")}, {1, QT_TR_NOOP("Accept")}});
    setSwitch(item, c.drtpAcceptCalls());
    setSwitch(lockedRow(page, SendOnlyItem, Item::Switch, tr("Send Only"), unloaded, 60), c.drtpSendOnly());
    setNumber(lockedRow(page, DirectRtpPortItem, Item::Number, tr("RTP Port"), unloaded, 60), c.drtpRtpPort());
    item = lockedRow(page, ReleaseTimeoutItem, Item::ChoiceList, tr("Release Timeout"), unloaded, 60);
    item->addChoice(1, tr("%1 second").arg(1));
    addSeconds(item, {2, 5, 10, 20, 30});
    selectOrShow(item, c.drtpReleaseTimeout(), seconds(c.drtpReleaseTimeout()));

    section(tr("Quality of Service"));
    setNumber(lockedRow(page, RtpDscpItem, Item::Number, tr("RTP DSCP"), unloaded, 60), c.rtpTos());
    item = lockedRow(page, PacketReplicationItem, Item::ChoiceList, tr("Packet Replication"), unloaded, 60);
    addChoices(item,
               {{0, QT_TR_NOOP("None")}, {1, QT_TR_NOOP("Short Delay")}, {2, QT_TR_NOOP("Interleaved (recommended)")}});
    selectOrShow(item, c.ecmBfShift(), QString::number(c.ecmBfShift()));

    refreshDefaultAccountItem(page);
    pushPage(page);
}

void QPravikSettingsPage::refreshDefaultAccountItem(QPravikMenuItems* page)
{
    Item* item = page ? page->findItem(DefaultAccountItem) : nullptr;
    if (!item)
        return;
    const Aoip& c = frontPanelDevice()->aoip();
    const std::string& second = c.account2().registrar;
    const bool usable = c.audioMode() == Aoip::Sip && !c.doubleCodec() && !c.doubleStream() && !second.empty()
                        && second != c.account1().registrar && c.state() != TComController::Unloaded;
    item->setLocked(!usable);
    const int account = c.sipDefAccount();
    item->setChecked(account == 2);
    selectOrShow(item, account == 1 || account == 2 ? account - 1 : -1, QString::number(account));
}

// The build's lock rule for the chosen protocol: double streaming stays
// locked beside double codec too.
void QPravikSettingsPage::updateDoubleStreamingItems(QPravikMenuItem* item)
{
    if (!item || !item->page || item->page->menuId != AoipMenu || item->id != DefaultProtocolItem || item->locked)
        return;
    const std::optional<int> chosen = itemValue(item);
    if (!chosen)
        return;
    const Aoip& c = frontPanelDevice()->aoip();
    const bool off = *chosen != Aoip::Sip || c.state() == TComController::Unloaded || c.doubleCodec();
    if (Item* stream = item->page->findItem(DoubleStreamItem)) {
        stream->setChecked(off ? false : c.doubleStream());
        stream->setLocked(off);
    }
    if (Item* pattern = item->page->findItem(StreamPatternItem))
        pattern->setLocked(off);
}

// Only menus 10 and 76 take a typed number: menu 77 shows its ports locked.
void QPravikSettingsPage::checkAoipNumber(QPravikMenuItem* item)
{
    const NumberRow* row = numberRow(item->id);
    if (!row || item->locked || decimalIn(item->valueText(), row->low, row->high))
        return;
    undoTyping(item, QString::number((frontPanelDevice()->aoip().*row->get)()));
    showMessage(tr("Failed to apply changes!"), 0);
}

bool QPravikSettingsPage::aoipControllerMenuModified(QPravikMenuItems* page)
{
    return page && (aoipReinitPending || ControllerEdit::modified(page, [page](ControllerEdit& edit) {
                        editPage(edit, page->menuId);
                    }));
}

bool QPravikSettingsPage::applyAoipControllerMenu(QPravikMenuItems* page)
{
    return page && commitAoipPage(page);
}

// Shared by the AoIP menu and the account menus. A refused write puts the
// controller and the account back, so a retry sends the same keys; a refused
// re-initialisation leaves the values (the unit holds them) and is sent
// alone by the next apply.
bool QPravikSettingsPage::commitAoipPage(QPravikMenuItems* page)
{
    Aoip& c = frontPanelDevice()->aoip();
    ControllerEdit edit(page, ControllerEdit::Store);
    editPage(edit, page->menuId);
    if (edit.keys().empty() && !aoipReinitPending)
        return true;
    showMessage(tr("Applying changes..."), 0);
    // A secret the codec cannot encode makes writeParams send nothing.
    if (!edit.keys().empty() && !c.writeParams(edit.keys())) {
        edit.rollback();
        showMessage(tr("Failed to apply changes!"), 0);
        return false;
    }
    if (!c.reinit(c.network(), false)) {
        aoipReinitPending = true;
        showMessage(tr("Failed to apply changes!"), 0);
        return false;
    }
    aoipReinitPending = false;
    closePopup();
    return true;
}

// --- SIP account menus -------------------------------------------------------------

void QPravikSettingsPage::buildSipAccountMenu(int menuId)
{
    Aoip& c = frontPanelDevice()->aoip();
    const bool second = menuId != SipAccountMenuFirst;
    const Account& a = second ? c.account2() : c.account1();
    const std::string suffix = second ? "2" : "";
    const bool registrar = firmwareAbove(kAccountsFirmware);
    const bool ports = firmwareAbove(kAlternatePortFirmware);
    std::vector<std::string> keys;
    for (const char* key : {"sip_user", "sip_display_name", "sip_auth_user", "sip_password"})
        keys.push_back(key + suffix);
    if (registrar)
        keys.push_back("sip_registrar" + suffix);
    if (ports)
        keys.insert(keys.end(), {"sip_use_uport2", "SIP_UDP_PORT", "RTP_START_PORT"});
    c.readParams(keys);

    auto* page = new QPravikMenuItems(menuId, this);
    const bool unloaded = c.state() == TComController::Unloaded;
    setText(lockedRow(page, SipUserItem, Item::Text, tr("User Name"), unloaded, 10), a.user);
    setText(lockedRow(page, SipDisplayNameItem, Item::Text, tr("Display Name"), unloaded, 10), a.displayName);
    setText(lockedRow(page, SipAuthUserItem, Item::Text, tr("User Authentication"), unloaded, 10), a.authUser);
    setText(lockedRow(page, SipPasswordItem, Item::Password, tr("Authentication Password"), unloaded, 10), a.password);
    if (registrar)
        setText(lockedRow(page, AccountRegistrarItem, Item::Text, tr("Registrar"), unloaded, 10), a.registrar);
    if (ports) {
        if (second) {
            setSwitch(lockedRow(page, AlternateSipPortItem, Item::Switch, tr("Use Alternate SIP Port"), unloaded, 10),
                      c.sipUseUport2());
        }
        // The unit's port may be any number: the sum is taken wide.
        const qint64 offset = second ? kAlternatePortOffset : 0;
        setNumber(lockedRow(page, SipPortItem, Item::Number, tr("SIP Port"), second || unloaded, 10),
                  c.sipUdpPort() + (c.sipUseUport2() ? offset : 0));
        setNumber(lockedRow(page, RtpPortItem, Item::Number, tr("RTP Port"), second || unloaded, 10),
                  c.rtpStartPort() + offset);
    }
    pushPage(page);
}

bool QPravikSettingsPage::sipAccountMenuModified(QPravikMenuItems* page)
{
    return aoipControllerMenuModified(page);
}

bool QPravikSettingsPage::applySipAccountMenu(QPravikMenuItems* page)
{
    return page && commitAoipPage(page);
}
