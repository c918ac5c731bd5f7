#include "model/tcomaudioconnection.h"

#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "model/tcomdevice.h"

#include <utility>

namespace {

const std::string& param(const TCommand& command, const std::string& key)
{
    return *command.param(key, true);
}

// Report keys beside the fields they fill ("pkts-reorderd" is the unit's spelling).
using Rx = TComAudioConnection::RxStatistics;
using Tx = TComAudioConnection::TxStatistics;
const std::pair<const char*, int Rx::*> kRxKeys[] = {
    {"duration", &Rx::duration},
    {"pkts-total", &Rx::packetsTotal},
    {"pkts-lost", &Rx::packetsLost},
    {"pkts-discarded", &Rx::packetsDiscarded},
    {"pkts-duplicated", &Rx::packetsDuplicated},
    {"pkts-reorderd", &Rx::packetsReordered},
    {"jtr-avg", &Rx::jitterAverage},
    {"jtr-max", &Rx::jitterMaximum},
    {"jb-curr", &Rx::bufferCurrent},
    {"jb-mark", &Rx::bufferMark},
};
const std::pair<const char*, int Tx::*> kTxKeys[] = {
    {"duration", &Tx::duration},
    {"pkts-total", &Tx::packetsTotal},
    {"pkts-lost", &Tx::packetsLost},
    {"jtr-avg", &Tx::jitterAverage},
    {"jtr-max", &Tx::jitterMaximum},
};

// A report sets the net quality and every other figure it carries.
template <class Statistics, class Keys>
void takeFigures(Statistics& statistics, const TCommand& event, const std::string& netQuality, const Keys& keys)
{
    statistics.netQuality = fromString<int>(netQuality);
    for (const auto& [key, field] : keys) {
        const std::string& text = param(event, key);
        if (!text.empty())
            statistics.*field = fromString<int>(text);
    }
}

} // namespace

TComAudioConnection::TComAudioConnection(zel::CCom* session, int line)
    : TComBaseConnection(session, line == 0 ? Line1 : line == 1 ? Line2 : CoordLine)
{
}

void TComAudioConnection::attach(TComDevice* device)
{
    TComBaseConnection::attach(device);
    if (device)
        m_doubleCodec = device->codecMode() == 1;
}

void TComAudioConnection::reset()
{
    TComBaseConnection::reset();
    m_direction = NoDirection;
    m_twoStreams = m_relayChannel = m_autoBitrate = false;
    m_ringCount = 0;
    m_rxCodec = m_txCodec = CodecConfig();
    m_rxStatistics[0] = m_rxStatistics[1] = RxStatistics();
    m_txStatistics[0] = m_txStatistics[1] = TxStatistics();
    m_relayOutValid = m_relayOut1 = m_relayOut2 = false;
    m_cause.clear();
    clearRemoteAddresses();
    setState(Idle, NoStatus);
}

bool TComAudioConnection::setState(int state, int status)
{
    const bool stateChanged = state != m_state;
    const bool statusChanged = status != m_status || status == Ringing || status == Synchronised;
    if (statusChanged) {
        m_previousStatus = m_status;
        m_status = status;
    } else if (!stateChanged) {
        return true;
    }
    m_state = state;
    if (status == Ringing)
        ++m_ringCount;
    if (!m_listener)
        return true;
    const std::weak_ptr<void> alive = lifetime();
    if (statusChanged)
        m_listener->notifyAudioCallStatusChanged(this);
    if (alive.expired())
        return false;
    if (stateChanged && m_listener)
        m_listener->notifyAudioConnectionStateChanged(this);
    return !alive.expired();
}

void TComAudioConnection::presetGsm()
{
    CodecConfig gsm;
    gsm.codec = kGsmCodec;
    m_rxCodec = m_txCodec = gsm;
}

bool TComAudioConnection::start(int direction, int id, const std::string& network)
{
    m_ringCount = 0;
    m_id = id;
    m_direction = direction;
    m_network = network;
    if (isCoordinationLine())
        presetGsm();
    setState(SettingUp, NoStatus);
    return true;
}

const std::string& TComAudioConnection::remoteAddress(int channel) const
{
    static const std::string none;
    return channel >= 1 && channel <= 4 ? m_remoteAddress[channel - 1] : none;
}

void TComAudioConnection::clearRemoteAddresses()
{
    m_remoteAddresses.clear();
    for (std::string& address : m_remoteAddress)
        address.clear();
}

void TComAudioConnection::setRemoteAddresses(const std::string& text)
{
    clearRemoteAddresses();
    if (text.empty())
        return;
    m_remoteAddresses = text;
    // Every "," starts the next channel, so an empty piece keeps the places after it.
    std::size_t start = 0;
    for (std::string& address : m_remoteAddress) {
        const std::size_t comma = text.find(',', start);
        address = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
}

void TComAudioConnection::joinRemoteAddresses()
{
    m_remoteAddresses.clear();
    for (const std::string& address : m_remoteAddress) {
        if (address.empty())
            continue;
        if (!m_remoteAddresses.empty())
            m_remoteAddresses += ',';
        m_remoteAddresses += address;
    }
}

void TComAudioConnection::parseCallInfo(const TCommand& event)
{
    const std::string& address = param(event, wire::key::remoteAddr());
    if (address.empty())
        return;
    const std::string& bChannel = param(event, "bchannelno");
    const std::string& stream = param(event, "stream_id");
    if (!bChannel.empty()) {
        // An ISDN call: the B channel of the first or (sb "1") second S0 bus.
        // An address once known stays.
        std::string* field = nullptr;
        if (m_doubleCodec)
            field = &m_remoteAddress[0];
        else if (bChannel == "1" || bChannel == "2")
            field = &m_remoteAddress[(param(event, "sb") == "1" ? 2 : 0) + (bChannel == "2" ? 1 : 0)];
        if (field && field->empty())
            *field = address;
    } else if (!stream.empty()) {
        m_twoStreams = true;
        m_remoteAddress[stream == "2" ? 1 : 0] = address;
    } else {
        m_remoteAddress[0] = address;
        const std::string* more[] = {&wire::key::remoteAddr2(), &wire::key::remoteAddr3(), &wire::key::remoteAddr4()};
        for (int i = 0; i < 3; ++i) {
            const std::string& text = param(event, *more[i]);
            if (!text.empty())
                m_remoteAddress[i + 1] = text;
        }
    }
    joinRemoteAddresses();
}

void TComAudioConnection::takeCodecs(const TCommand& event)
{
    const std::string& rx = param(event, wire::key::codecRx());
    const std::string& tx = param(event, wire::key::codecTx());
    if (!rx.empty())
        m_rxCodec = codecConfigFromString(rx);
    if (!tx.empty())
        m_txCodec = codecConfigFromString(tx);
}

bool TComAudioConnection::takeRelays(const TCommand& event)
{
    const bool relay1 = param(event, "relay1") == "on";
    const bool relay2 = param(event, "relay2") == "on";
    if (m_relayOutValid && relay1 == m_relayOut1 && relay2 == m_relayOut2)
        return true;
    m_relayOutValid = true;
    m_relayOut1 = relay1;
    m_relayOut2 = relay2;
    if (m_listener)
        m_listener->notifyAudioCallRelayChanged(this);
    return true;
}

void TComAudioConnection::takeQualityReport(const TCommand& event, bool transmit)
{
    const std::string& netQuality = param(event, "net-quality");
    if (netQuality.empty())
        return;
    const int stream = param(event, "stream_id") == "2" ? 1 : 0;
    if (transmit)
        takeFigures(m_txStatistics[stream], event, netQuality, kTxKeys);
    else
        takeFigures(m_rxStatistics[stream], event, netQuality, kRxKeys);
    if (m_listener)
        m_listener->notifyAudioCallStatisticChanged(this);
}

bool TComAudioConnection::handleEvent(const TCommand& event)
{
    const std::string& type = param(event, wire::key::eventType());
    const std::string& id = param(event, wire::key::id());
    if (type.empty() || id.empty() || fromString<int>(id) != m_id)
        return false;
    // Relay reports are the call's whatever interface they name.
    if (type == wire::event::relayOut())
        return takeRelays(event);
    const std::string& network = param(event, wire::key::network());
    if (network.empty() || network != m_network)
        return false;

    if (type == wire::event::callReceived()) {
        setState(SettingUp, Ringing);
    } else if (type == wire::event::callRing()) {
        parseCallInfo(event);
        setState(SettingUp, Ringing);
    } else if (type == wire::event::callInfo()) {
        parseCallInfo(event);
    } else if (type == wire::event::callAutoRedial()) {
        setState(SettingUp, AutoRedial);
    } else if (type == wire::event::callProceeding()) {
        setState(SettingUp, Proceeding);
    } else if (type == wire::event::callActive()) {
        parseCallInfo(event);
        if (isCoordinationLine()) {
            // The coordination line keeps GSM and is in sync as soon as it is up.
            if (setState(Connected, Active))
                setState(Connected, Synchronised);
            return true;
        }
        takeCodecs(event);
        const std::string& autoBitrate = param(event, "auto_bitrate");
        if (!autoBitrate.empty())
            m_autoBitrate = autoBitrate == "on";
        setState(Connected, Active);
    } else if (type == wire::event::dspStatus()) {
        parseCallInfo(event);
        const std::string& dsp = param(event, wire::key::state());
        if (dsp == "negotiating") {
            setState(Connected, Negotiating);
        } else if (dsp == "waiting for sync") {
            setState(Connected, WaitingForSync);
        } else if (dsp == "sync") {
            takeCodecs(event);
            const std::string& relay = param(event, "relay");
            if (!relay.empty())
                m_relayChannel = relay == "on";
            setState(Connected, Synchronised);
        } else if (dsp == "sync lost") {
            setState(Connected, SyncLost);
        }
    } else if (type == wire::event::callDisconnected()) {
        setState(Disconnected, DisconnectedStatus);
    } else if (type == wire::event::callReleased() || type == wire::event::callError()
               || type == wire::event::callLost()) {
        m_cause = param(event, wire::key::cause());
        setState(Ended, type == wire::event::callReleased() ? Released
                        : type == wire::event::callError()  ? Error
                                                            : Lost);
    } else if (type == wire::event::txQualityReport() || type == wire::event::rxQualityReport()) {
        takeQualityReport(event, type == wire::event::txQualityReport());
    } else {
        return false;
    }
    return true;
}

int TComAudioConnection::call(const std::string& network, const std::string& addresses)
{
    static const char* const kCommLinks[] = {"audio", "audio2", "coord_line"};
    if (!m_requests.canRequest() || m_state != Idle)
        return 200;
    setRemoteAddresses(addresses);
    TCommand request(TCommand::Do);
    request.setParam(wire::key::action(), wire::action::con());
    request.setParam(wire::key::commLink(), kCommLinks[m_kind]);
    request.setParam(wire::key::network(), network);
    // From the second on, the first empty address ends the list.
    const std::string* keys[] = {&wire::key::remoteAddr(), &wire::key::remoteAddr2(), &wire::key::remoteAddr3(),
                                 &wire::key::remoteAddr4()};
    request.setParam(*keys[0], m_remoteAddress[0]);
    for (int i = 1; i < 4 && !m_remoteAddress[i].empty(); ++i)
        request.setParam(*keys[i], m_remoteAddress[i]);
    // The call's events bring the addresses back.
    clearRemoteAddresses();
    Reply reply;
    int error = 0;
    if (!exchange(request, reply, &error))
        return error;
    m_id = idFromText(reply[wire::key::id()]);
    m_direction = Outgoing;
    m_ringCount = 0;
    m_network = network;
    if (isCoordinationLine())
        presetGsm();
    setState(SettingUp, Calling);
    return 0;
}

bool TComAudioConnection::accept(int id, const std::string& network)
{
    if (!m_requests.canRequest() || m_state != Idle)
        return false;
    TCommand request(TCommand::Do);
    request.setParam(wire::key::action(), wire::action::conacc());
    request.setParam(wire::key::id(), toString(id));
    request.setParam(wire::key::network(), network);
    Reply reply;
    if (!exchange(request, reply))
        return false;
    m_id = idFromText(reply[wire::key::id()]);
    m_direction = Incoming;
    m_ringCount = 0;
    m_network = network;
    if (isCoordinationLine())
        presetGsm();
    setState(SettingUp, Accepted);
    return true;
}

bool TComAudioConnection::hangUp()
{
    if (!m_requests.canRequest() || (m_state != SettingUp && m_state != Connected))
        return false;
    if (!requestDisconnect())
        return false;
    setState(Disconnected, DisconnectedStatus);
    return true;
}
