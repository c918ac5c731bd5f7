#include "model/tcomaoipcontroller.h"

#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"

namespace {

const char* const kAudioModeWords[] = {"SIP", "RTP", "MC"};
const char* const kStreamPatternWords[] = {"1-1", "1-2", "2-3", "1-3"};
const char* const kEcmShiftWords[] = {"0", "1", "2"};
// Any text the table lacks, the empty one included, is an unknown NAT.
const char* const kNatWords[] = {"", "failure", "nat-open", "nat-blocked", "nat-symmetric-udp", "nat-full-cone",
                                 "nat-symmetric", "nat-restricted", "nat-port-restricted"};

constexpr KeyWords kAudioModes = keyWords(kAudioModeWords, 0, 0);
constexpr KeyWords kStreamPatterns = keyWords(kStreamPatternWords, 0, 0);
constexpr KeyWords kEcmShifts = keyWords(kEcmShiftWords, 0, 0);
constexpr KeyWords kNatTypes = keyWords(kNatWords, 0, 0);

// Firmware words past which the unit has the gated keys.
constexpr std::uint32_t kUport2Firmware = 0x10701;
constexpr std::uint32_t kAccountsFirmware = 0x10801;
constexpr std::uint32_t kStreamPatternFirmware = 0x109FF;
constexpr std::uint32_t kSessionTimersFirmware = 0x10EFF;
constexpr std::uint32_t kKeepAliveTargetFirmware = 0x110FF;

// A new controller starts at 5004, a reset one at 5006: both are kept, as
// the settings menu has always shown them.
constexpr int kRtpStartPortAfterReset = 5006;

void takeState(TComSipAccount& account, const std::string& state)
{
    account.registered = state == "registered";
    account.stateCause = account.registered || state == "unregistered" ? std::string() : state;
}

// A report stores the cause as it came, also beside "registered".
bool takeRegistration(TComSipAccount& account, const std::string& state, const std::string& cause)
{
    account.registered = state == "registered";
    account.stateCause = cause;
    return true;
}

} // namespace

void TComSipAccount::clear()
{
    registered = false;
    stateCause.clear();
    registrar.clear();
    user.clear();
    displayName.clear();
    authUser.clear();
    password.clear();
}

TComAoIPController::TComAoIPController(zel::CCom* session)
    : TComNetworkController(session, AoIPType)
{
    restoreStartValues();
}

const ParamKeys& TComAoIPController::keyTable() const
{
    using A = TComAoIPController;
    using S = TComSipAccount;
    // In the order refresh() asks for them; each firmware gate lies past the one before.
    static const ParamKeys& table = *new ParamKeys{
        key<&A::m_audioMode>("audio_mode", kAudioModes),
        key<&A::m_doubleCodec>("double_codec"),
        key<&A::m_doubleStream>("double_stream"),
        key<&A::m_sipMode>("sip_mode"),
        key<&A::m_sipAcceptCalls>("sip_acc_calls"),
        key<&A::m_sipProxy>("sip_proxy", KeyWire::utf8()),
        key<&A::m_sipKeepAliveInterval>("SIP_KA_INTERVAL", KeyWire::atLeast(1)).startsAt(15),
        key<&A::m_sipReRegisterTimeout>("SIP_RE_REG_TO", KeyWire::atLeast(1)).startsAt(300),
        key<&A::m_sipUdpPort>("SIP_UDP_PORT", KeyWire::atLeast(1)).startsAt(5060),
        key<&A::m_rtpStartPort>("RTP_START_PORT", KeyWire::atLeast(1)).startsAt(5004),
        key<&A::m_drtpAcceptCalls>("drtp_acc_calls"),
        key<&A::m_drtpSendOnly>("drtp_send_only"),
        key<&A::m_drtpRtpPort>("drtp_rtp_port", KeyWire::atLeast(1)).startsAt(9000),
        key<&A::m_drtpReleaseTimeout>("drtp_rel_timeout", KeyWire::atLeast(1)).startsAt(30),
        key<&A::m_rtpTos>("rtp_tos", KeyWire::atLeast(0)),
        key<&A::m_stunMode>("stun_mode"),
        key<&A::m_stunServer>("stun_server", KeyWire::utf8()),
        key<&A::m_stunNatType>("stun_nat_type", kNatTypes).readOnly().inGroup(StatusGroup),
        key<&A::m_publicAddr>("public_addr").readOnly().inGroup(StatusGroup),
        key<&A::m_ecmBfShift>("MP_ECM_BF_SHIFT", kEcmShifts),
        key<&A::m_sipUseUport2>("sip_use_uport2").readAboveFirmware(kUport2Firmware),
        key<&A::m_sipCheckCalls>("sip_chk_calls").readAboveFirmware(kAccountsFirmware),
        key<&A::m_sipDefAccount>("sip_def_account", KeyWire::atLeast(1))
            .startsAt(1)
            .readAboveFirmware(kAccountsFirmware),
        key<&A::m_streamPattern>("stream_pattern", kStreamPatterns).readAboveFirmware(kStreamPatternFirmware),
        key<&A::m_sipSessionTimers>("sip_sess_timers").readAboveFirmware(kSessionTimersFirmware),
        key<&A::m_sipKeepAliveTarget>("SIP_KA_TARGET")
            .parsedBy(&A::parseKeepAliveTarget)
            .readAboveFirmware(kKeepAliveTargetFirmware),
        key<&A::m_account1, &S::registered>("sip_state").readOnly().inGroup(StatusGroup).parsedBy(&A::parseState1),
        key<&A::m_account1, &S::registrar>("sip_registrar", KeyWire::utf8()),
        key<&A::m_account1, &S::user>("sip_user", KeyWire::utf8()),
        key<&A::m_account1, &S::displayName>("sip_display_name", KeyWire::utf8()),
        key<&A::m_account1, &S::authUser>("sip_auth_user", KeyWire::utf8()),
        key<&A::m_account1, &S::password>("sip_password", KeyWire::secret()),
        key<&A::m_account2, &S::registered>("sip_state2").readOnly().inGroup(StatusGroup).parsedBy(&A::parseState2),
        key<&A::m_account2, &S::user>("sip_user2", KeyWire::utf8()),
        key<&A::m_account2, &S::displayName>("sip_display_name2", KeyWire::utf8()),
        key<&A::m_account2, &S::authUser>("sip_auth_user2", KeyWire::utf8()),
        key<&A::m_account2, &S::password>("sip_password2", KeyWire::secret()),
        key<&A::m_account2, &S::registrar>("sip_registrar2", KeyWire::utf8()).readAboveFirmware(kAccountsFirmware),
        // Read by the device model, not by refresh().
        key<&A::m_jitterab>("jitterab").notRefreshed(),
        key<&A::m_aoipVersion>("aoip_version").readOnly().notRefreshed().keptOnReset().inGroup(StatusGroup),
    };
    return table;
}

bool TComAoIPController::parseKeepAliveTarget(const std::string& text)
{
    m_sipKeepAliveTarget = !text.empty() && fromString<int>(text) == 1 ? 1 : 0;
    return true;
}

bool TComAoIPController::parseState1(const std::string& text)
{
    takeState(m_account1, text);
    return true;
}

bool TComAoIPController::parseState2(const std::string& text)
{
    takeState(m_account2, text);
    return true;
}

int TComAoIPController::fetchValues(int group, const std::vector<std::string>& keys, ValueMap& values,
                                    ValueMap& errors)
{
    // The unit answers the status keys only without the interface's name.
    return getParams(keys, values, errors, group != StatusGroup);
}

bool TComAoIPController::readParams(const std::vector<std::string>& keys)
{
    if (keys.empty())
        return false;
    std::vector<std::string> settings;
    std::vector<std::string> status;
    for (const std::string& key : keys) {
        const ParamKey* row = findKey(key);
        (row && row->group == StatusGroup ? status : settings).push_back(key);
    }
    // A key held without a value comes back empty and reads as its start value.
    ValueMap first;
    ValueMap second;
    ValueMap errors;
    if (!settings.empty() && fetchValues(SettingsGroup, settings, first, errors) < 1)
        return false;
    const bool read = status.empty() || fetchValues(StatusGroup, status, second, errors) > 0;
    keepAsked(first, settings);
    keepAsked(second, status);
    applyValues(first);
    applyValues(second);
    return read;
}

bool TComAoIPController::handleInfo(const TCommand& info)
{
    const std::string& type = *info.param(wire::key::infoType());
    if (type == wire::event::sipRegistration())
        return takeRegistration(m_account1, *info.param("sip_state"), *info.param("sip_state_cause"));
    if (type == wire::event::sipRegistration2())
        return takeRegistration(m_account2, *info.param("sip_state2"), *info.param("sip_state_cause2"));
    return false;
}

void TComAoIPController::reset()
{
    if (state() != Unloaded) {
        helper.unsubscribe(wire::event::sipRegistration());
        helper.unsubscribe(wire::event::sipRegistration2());
    }
    restoreStartValues();
    m_account1.clear();
    m_account2.clear();
    m_rtpStartPort = kRtpStartPortAfterReset;
    setState(Unloaded);
}

bool TComAoIPController::attach(const std::string& network, unsigned flags, bool makeDefault)
{
    if (!TComNetworkController::attach(network, flags, makeDefault))
        return false;
    setState(Ready);
    helper.subscribe(wire::event::sipRegistration());
    helper.subscribe(wire::event::sipRegistration2());
    return true;
}
