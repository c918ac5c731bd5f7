#include "audio/tcomravennacontroller.h"

#include "link/frontpanelcom.h"
#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"
#include "model/textconv.h"
#include "model/unitfirmware.h"

#include <algorithm>

namespace {

const char* const kStreamStateWords[] = {"disabled",          "idle",          "waiting",
                                         "transmitting",      "receiving",     "receiving warning",
                                         "receiving no sync", "receiving sync err", "addr collision",
                                         "not enough dec"};
const char* const kPtpStateWords[] = {"not defined", "initializing", "faulty",         "disabled", "listening",
                                      "pre master",  "master",       "passive", "not calibrated", "slave"};
// Code 0 is "none of them"; the board never writes an empty word.
const char* const kLockStateWords[] = {"", "unlocked", "locking", "locked"};
const char* const kDhcpWords[] = {"off", "on", "zeroconf"};
const char* const kNetModeWords[] = {"switch", "redund"};

constexpr KeyWords kStreamStates = keyWords(kStreamStateWords, 0, -1);
constexpr KeyWords kPtpStates = keyWords(kPtpStateWords, 0, -1);
constexpr KeyWords kLockStates = keyWords(kLockStateWords, 0, 0);
constexpr KeyWords kDhcpModes = keyWords(kDhcpWords, 0, 0);
constexpr KeyWords kNetModes = keyWords(kNetModeWords, 0, 0);

// The identity keys exist from firmware 1.7.0 on, the interface count from 1.10.0.
constexpr std::uint32_t kIdentityFirmware = 0x106FF;
constexpr std::uint32_t kIfCountFirmware = 0x109FF;

const char* const kStreamKey = "rav_stream_in";

} // namespace

std::string ravennaStreamText(const TComRavennaStream& stream)
{
    return toString(stream.streamId) + '/' + toString(stream.streamSubId) + '/' + stream.name;
}

bool parseStreamRecord(TComRavennaStream& stream, const std::string& text)
{
    TComRavennaStream parsed = stream;
    if (!parseSlashTriple(parsed, text) || parsed.streamSubId < 0 || parsed.streamSubId > kMaxAnnouncedChannels)
        return false;
    stream = parsed;
    return true;
}

bool parseAnnouncedStream(TComRavennaStream& stream, const std::string& text)
{
    const auto digits = [](const std::string& word) {
        return !word.empty() && word.size() <= 9
            && std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::size_t p1 = text.find('/');
    const std::size_t p2 = p1 == std::string::npos ? p1 : text.find('/', p1 + 1);
    if (p2 == std::string::npos || !digits(text.substr(0, p1)) || !digits(text.substr(p1 + 1, p2 - p1 - 1)))
        return false;
    TComRavennaStream parsed;
    if (!parseStreamRecord(parsed, text))
        return false;
    stream = parsed;
    return true;
}

TComRavennaController* frontPanelRavenna()
{
    static TComRavennaController ravenna(frontPanelCom());
    return &ravenna;
}

TComRavennaController::TComRavennaController(zel::CCom* session)
    : TComController(session, AudioType)
{
    restoreStartValues();
}

const ParamKeys& TComRavennaController::keyTable() const
{
    using R = TComRavennaController;
    using I = TComRavennaInterface;
    using O = TComRavennaOutput;
    using S = TComRavennaStream;
    // In the order refresh() asks for them; the rest only when a caller names them.
    static const ParamKeys& table = *new ParamKeys{
        key<&R::m_manufacturer>("rav_manufacturer", KeyWire::utf8()).readOnly().keptOnReset()
            .readAboveFirmware(kIdentityFirmware),
        key<&R::m_hardwareName>("rav_hardware_name", KeyWire::utf8()).readOnly().keptOnReset()
            .readAboveFirmware(kIdentityFirmware),
        key<&R::m_ifCount>("rav_if_count").readOnly().startsAt(1).readAboveFirmware(kIfCountFirmware)
            .parsedBy(&R::parseIfCount),
        key<&R::m_deviceName>("rav_device_name", KeyWire::utf8()).skipUnset(),
        key<&R::m_sampleRate>("rav_sample_rate").startsAt(48000),
        key<&R::m_resolution>("rav_resolution").startsAt(24),
        key<&R::m_ptpDomain>("rav_ptp_domain"),
        key<&R::m_iface, &I::dhcpMode>("rav_dhcp", kDhcpModes).at(0).startsAt(DhcpOn).writtenBy(&R::dhcpText<0>),
        key<&R::m_iface, &I::ipAddr>("rav_ip_addr").at(0).skipUnset().sendWhen(&R::staticAddressing<0>),
        key<&R::m_iface, &I::subnet>("rav_subnet").at(0).skipUnset().sendWhen(&R::staticAddressing<0>),
        key<&R::m_iface, &I::gateway>("rav_gateway").at(0).skipUnset().sendWhen(&R::staticAddressing<0>),
        key<&R::m_iface, &I::hwAddr>("rav_hw_addr").at(0).readOnly(),
        // A stream's text and states go through their own parser and writer;
        // reset() restores the records itself ("None" is no start text).
        key<&R::m_streamIn, &S::name>("rav_stream_in0").at(0).keptOnReset().parsedBy(&R::parseStream<0>)
            .writtenBy(&R::streamText<0>),
        key<&R::m_streamIn, &S::state1>("rav_status_in0").at(0).readOnly().keptOnReset().parsedBy(&R::parseStatus<0>),
        key<&R::m_streamIn, &S::name>("rav_stream_in1").at(1).keptOnReset().parsedBy(&R::parseStream<1>)
            .writtenBy(&R::streamText<1>),
        key<&R::m_streamIn, &S::state1>("rav_status_in1").at(1).readOnly().keptOnReset().parsedBy(&R::parseStatus<1>),
        key<&R::m_delayMinIn>("rav_delay_min_in").readOnly().keptOnReset().emptyKept(),
        key<&R::m_delayMaxIn>("rav_delay_max_in").readOnly().keptOnReset().emptyKept(),
        key<&R::m_delayIn>("rav_delay_in").keptOnReset().emptyKept(),
        key<&R::m_nameOut>("rav_name_ou", KeyWire::utf8()).skipUnset(),
        key<&R::m_modeOut>("rav_mode_ou"),
        key<&R::m_output, &O::autoconf>("rav_autoconf_ou").at(0),
        key<&R::m_output, &O::mcAddr>("rav_mc_addr_ou").at(0).skipUnset(),
        key<&R::m_output, &O::mcPort>("rav_mc_port_ou").at(0).startsAt(5004),
        key<&R::m_chCountOut>("rav_ch_count_ou").readOnly().startsAt(2),
        key<&R::m_ptimeOut>("rav_ptime_ou").readOnly().startsAt(1.0),
        key<&R::m_syncState>("rav_sync_state").readOnly(),
        key<&R::m_iface, &I::linkUp>("rav_link_state").at(0).readOnly(),
        key<&R::m_iface, &I::ptpState>("rav_ptp_state", kPtpStates).at(0).readOnly().startsAt(PtpUnknown),
        key<&R::m_hardwareRev>("rav_hardware_rev").readOnly().keptOnReset(),
        key<&R::m_firmwareRev>("rav_firmware_rev").readOnly().keptOnReset(),

        key<&R::m_firmwareVer>("rav_firmware_ver").readOnly().keptOnReset().notRefreshed(),
        key<&R::m_rescueosRev>("rav_rescueos_rev").readOnly().keptOnReset().notRefreshed(),
        key<&R::m_netMode>("rav_net_mode", kNetModes).keptOnReset().notRefreshed(),
        key<&R::m_lockState>("rav_lock_state", kLockStates).readOnly().notRefreshed(),
        key<&R::m_netifOut>("rav_netif_ou").notRefreshed(),
        // An empty VLAN id reads as 0, not as the start value.
        key<&R::m_iface, &I::vlanId>("rav_vlan_id").at(0).startsAt(1).emptyReadsAs(0).notRefreshed(),
        key<&R::m_iface, &I::vlanId>("rav_vlan_id1").at(1).startsAt(1).emptyReadsAs(0).notRefreshed(),
        key<&R::m_iface, &I::dhcpMode>("rav_dhcp1", kDhcpModes).at(1).startsAt(DhcpOn).writtenBy(&R::dhcpText<1>)
            .notRefreshed(),
        key<&R::m_iface, &I::ipAddr>("rav_ip_addr1").at(1).skipUnset().sendWhen(&R::staticAddressing<1>)
            .notRefreshed(),
        key<&R::m_iface, &I::subnet>("rav_subnet1").at(1).skipUnset().sendWhen(&R::staticAddressing<1>)
            .notRefreshed(),
        key<&R::m_iface, &I::gateway>("rav_gateway1").at(1).skipUnset().sendWhen(&R::staticAddressing<1>)
            .notRefreshed(),
        key<&R::m_iface, &I::hwAddr>("rav_hw_addr1").at(1).readOnly().notRefreshed(),
        key<&R::m_iface, &I::linkUp>("rav_link_state1").at(1).readOnly().notRefreshed(),
        key<&R::m_iface, &I::ptpState>("rav_ptp_state1", kPtpStates).at(1).readOnly().startsAt(PtpUnknown)
            .notRefreshed(),
        key<&R::m_output, &O::autoconf>("rav_autoconf_ou1").at(1).notRefreshed(),
        key<&R::m_output, &O::mcAddr>("rav_mc_addr_ou1").at(1).skipUnset().notRefreshed(),
        key<&R::m_output, &O::mcPort>("rav_mc_port_ou1").at(1).startsAt(5004).notRefreshed(),
        key<&R::m_streamIn, &S::name>("rav_stream_in2").at(2).keptOnReset().notRefreshed()
            .parsedBy(&R::parseStream<2>).writtenBy(&R::streamText<2>),
        key<&R::m_streamIn, &S::state1>("rav_status_in2").at(2).readOnly().keptOnReset().notRefreshed()
            .parsedBy(&R::parseStatus<2>),
        key<&R::m_streamIn, &S::name>("rav_stream_in3").at(3).keptOnReset().notRefreshed()
            .parsedBy(&R::parseStream<3>).writtenBy(&R::streamText<3>),
        key<&R::m_streamIn, &S::state1>("rav_status_in3").at(3).readOnly().keptOnReset().notRefreshed()
            .parsedBy(&R::parseStatus<3>),
        key<&R::m_streamIn, &S::name>("rav_stream_in4").at(4).keptOnReset().notRefreshed()
            .parsedBy(&R::parseStream<4>).writtenBy(&R::streamText<4>),
        key<&R::m_streamIn, &S::state1>("rav_status_in4").at(4).readOnly().keptOnReset().notRefreshed()
            .parsedBy(&R::parseStatus<4>),
        key<&R::m_streamIn, &S::name>("rav_stream_in5").at(5).keptOnReset().notRefreshed()
            .parsedBy(&R::parseStream<5>).writtenBy(&R::streamText<5>),
        key<&R::m_streamIn, &S::state1>("rav_status_in5").at(5).readOnly().keptOnReset().notRefreshed()
            .parsedBy(&R::parseStatus<5>),
    };
    return table;
}

const TComRavennaStream& TComRavennaController::streamIn(int index) const
{
    return m_streamIn[index >= 0 && index < kStreams ? index : 0];
}

template <int I>
std::string TComRavennaController::dhcpText() const
{
    // Zeroconf is written as "on": the board takes only "on" and "off".
    return kDhcpModes.name(m_iface[I].dhcpMode == DhcpOff ? DhcpOff : DhcpOn);
}

template <int N>
bool TComRavennaController::parseStream(const std::string& text)
{
    return parseStreamRecord(m_streamIn[N], text);
}

template <int N>
bool TComRavennaController::parseStatus(const std::string& text)
{
    // "first,second": one state per path; a single word is the first path's.
    TComRavennaStream& stream = m_streamIn[N];
    const std::size_t comma = text.find(',');
    stream.state1 = kStreamStates.code(text.substr(0, comma));
    if (comma == std::string::npos)
        stream.state2 = StreamDisabled;
    else if (comma + 1 < text.size())
        stream.state2 = kStreamStates.code(text.substr(comma + 1));
    return true;
}

bool TComRavennaController::parseIfCount(const std::string& text)
{
    m_ifCount = std::max(1, fromString<int>(text));
    return true;
}

bool TComRavennaController::setDhcp(int i, bool on, bool send)
{
    if ((m_iface[i & 1].dhcpMode != DhcpOff) == on)
        return true;
    return setKey(ifKey("rav_dhcp", i), on ? DhcpOn : DhcpOff, send);
}

bool TComRavennaController::setStreamIn(int index, const TComRavennaStream& stream, bool send)
{
    if (index < 0 || index >= kStreams)
        return false;
    TComRavennaStream& stored = m_streamIn[index];
    if (stream.streamId == stored.streamId && stream.streamSubId == stored.streamSubId && stream.name == stored.name)
        return true;
    if (send && !sendString(kStreamKey + toString(index), ravennaStreamText(stream)))
        return false;
    stored.streamId = stream.streamId;
    stored.streamSubId = stream.streamSubId;
    stored.name = stream.name;
    stored.state1 = StreamUnknown;
    stored.state2 = StreamUnknown;
    return true;
}

void TComRavennaController::reset()
{
    // Assigned whole: the setter's equality shortcut would keep stale states
    // on a stream that already is the empty one.
    std::fill(std::begin(m_streamIn), std::end(m_streamIn), TComRavennaStream());
    TComController::reset();
}

bool TComRavennaController::load(const std::vector<std::string>& keys)
{
    return loadQuietly([&] { return keys.empty() || readParams(keys); });
}

std::vector<std::string> TComRavennaController::identityKeys()
{
    std::vector<std::string> keys;
    if (unitFirmwareVersion > 0x106FF)
        keys.insert(keys.end(), {"rav_manufacturer", "rav_hardware_name"});
    if (unitFirmwareVersion > 0x109FF)
        keys.push_back("rav_if_count");
    keys.insert(keys.end(), {"rav_device_name", "rav_hardware_rev"});
    return keys;
}

bool TComRavennaController::listItems(const std::string& key, std::vector<std::string>& items)
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::audio());
    request.addList(key);
    return helper.getList(request, items, 5000);
}

bool TComRavennaController::listNumbers(const std::string& key, std::vector<int>& numbers)
{
    numbers.clear();
    std::vector<std::string> items;
    const bool ok = listItems(key, items);
    for (const std::string& item : items)
        numbers.push_back(fromString<int>(item));
    return ok;
}

bool TComRavennaController::refreshSampleRate(std::vector<int>& rates)
{
    return listNumbers("rav_sample_rate", rates);
}

bool TComRavennaController::refreshResolution(std::vector<int>& resolutions)
{
    return listNumbers("rav_resolution", resolutions);
}

bool TComRavennaController::parseStreamIn(std::vector<TComRavennaStream>& streams)
{
    streams.clear();
    std::vector<std::string> items;
    const bool ok = listItems(kStreamKey, items);
    for (const std::string& item : items) {
        TComRavennaStream stream;
        if (parseAnnouncedStream(stream, item))
            streams.push_back(stream);
        else
            qWarning("TComRavennaController: announced stream skipped: %s", item.c_str());
    }
    return ok;
}

bool TComRavennaController::sendNumber(const std::string& key, int value)
{
    return sendString(key, toString(value));
}

bool TComRavennaController::sendString(const std::string& key, const std::string& value)
{
    return sendValues(ValueMap{{key, value}});
}

bool TComRavennaController::sendValues(const ValueMap& values)
{
    return setTargetValues(wire::target::audio(), values);
}

bool TComRavennaController::sendValues(int, const ValueMap& values)
{
    return sendValues(values);
}

int TComRavennaController::fetchValues(int, const std::vector<std::string>& keys, ValueMap& values,
                                       ValueMap& errors)
{
    return getTargetValues(wire::target::audio(), keys, values, errors);
}
