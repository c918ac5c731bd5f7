#include "model/tcomdevice.h"

#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/protocolkeys.h"
#include "model/unitfirmware.h"

#include <QSignalBlocker>

namespace {

constexpr int kTimeoutMs = 5000;

// Firmware words past which the unit has the gated keys.
constexpr std::uint32_t kJitterabFirmware = 0x10BFF;
constexpr std::uint32_t kAes67ResetFirmware = 0x10CFF;
constexpr std::uint32_t kOperationModeFirmware = 0x1FFFF;

// Option bits the loaders and setters look at.
constexpr std::uint32_t kIsdnDoubleCodecOption = 0x0002;

const char* const kCodecModeWords[] = {"cmode_normal", "cmode_double"};
const char* const kEnabledWords[] = {"disabled", "enabled"};
const char* const kOperationModeWords[] = {"standard", "extended"};
constexpr KeyWords kCodecModes = keyWords(kCodecModeWords, 0, 0);
constexpr KeyWords kEnabled = keyWords(kEnabledWords, 0, 0);
// Every word but "standard" is the extended mode.
constexpr KeyWords kOperationModes = keyWords(kOperationModeWords, 1, 1);

TCommand paramRequest(const std::string& target)
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), target);
    return request;
}

TCommand reinitAoipRequest()
{
    TCommand request(TCommand::Do);
    request.setParam(wire::key::action(), wire::action::reinit());
    request.setParam(wire::key::target(), wire::target::network());
    request.setParam(wire::key::network(), "aoip");
    return request;
}


bool startsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool isCall(const TComBaseConnection* connection)
{
    const int kind = connection->kind();
    return kind == TComBaseConnection::Line1 || kind == TComBaseConnection::Line2
        || kind == TComBaseConnection::CoordLine;
}

// The number after a prefix the item starts with; false when it does not.
bool numberAfter(const std::string& item, const char* prefix, int& number)
{
    if (!startsWith(item, prefix))
        return false;
    number = fromString<int>(item.substr(std::char_traits<char>::length(prefix)));
    return true;
}

const std::string& param(const TCommand& command, const std::string& key)
{
    return *command.param(key, true);
}

// The code of a word of the table, or -1 for any other text.
template <std::size_t N>
int wordCode(const std::string& text, const char* const (&words)[N])
{
    for (std::size_t i = 0; i < N; ++i) {
        if (text == words[i])
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

std::uint32_t interfaceClassFromName(const std::string& name)
{
    if (name == "aoip")
        return kAoipClass;
    if (startsWith(name, "eth."))
        return kEthClass;
    if (startsWith(name, "isdn."))
        return kIsdnClass;
    if (startsWith(name, "mobile."))
        return kMobileClass;
    if (startsWith(name, "wifi."))
        return kWifiClass;
    return kInvalidInterface;
}

std::uint32_t interfaceCodeFromName(const std::string& name)
{
    const std::uint32_t cls = interfaceClassFromName(name);
    if (cls == kInvalidInterface)
        return kInvalidInterface;
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos || dot + 1 == name.size())
        return cls;
    // An index past one byte would land in another class.
    const int index = fromString<int>(name.substr(dot + 1));
    return index >= 0 && index <= 0xFF ? cls + static_cast<std::uint32_t>(index) : kInvalidInterface;
}

std::uint32_t interfaceIndexFromName(const std::string& name)
{
    return interfaceCodeFromName(name) & 0xFF;
}

std::uint32_t interfaceIndex(std::uint32_t code)
{
    return code & 0xFF;
}

std::string interfaceName(int code)
{
    const std::string index = toString(code & 0xFF);
    switch (code & 0xF00) {
    case kAoipClass:
        return "aoip";
    case kEthClass:
        return "eth." + index;
    case kIsdnClass:
        return "isdn." + index;
    case kMobileClass:
        return "mobile." + index;
    case kWifiClass:
        return "wifi." + index;
    }
    return std::string();
}

std::uint32_t interfaceClass(int code)
{
    const std::uint32_t cls = static_cast<std::uint32_t>(code) & 0xF00;
    return cls <= kWifiClass ? cls : kInvalidInterface;
}

int transportOfClass(int interfaceClass)
{
    switch (interfaceClass) {
    case kEthClass:
    case kMobileClass:
    case kWifiClass:
        return IpTransport;
    case kIsdnClass:
        return IsdnTransport;
    }
    return NoTransport;
}

int transportOf(int code)
{
    return transportOfClass(code & 0xF00);
}

int transportFromName(const std::string& name)
{
    // "aoip" is no transport of its own.
    const std::uint32_t cls = interfaceClassFromName(name);
    return cls == kAoipClass ? NoTransport : transportOfClass(static_cast<int>(cls));
}

int connectionTransport(const TComBaseConnection* connection)
{
    if (!connection || connection->id() == -1 || connection->network().empty())
        return NoTransport;
    const auto* call = dynamic_cast<const TComAudioConnection*>(connection);
    if (call && call->txCodec().codec == kGsmCodec)
        return GsmTransport;
    return transportFromName(connection->network());
}

DeviceOptions deviceOptionsFromItems(const std::vector<std::string>& items)
{
    DeviceOptions options;
    std::uint32_t& bits = options.bits;
    for (const std::string& item : items) {
        int n = 0;
        if (item == "ip_dcodec") {
            bits |= 0x0001;
        } else if (item == "isdn_dcodec") {
            bits |= 0x0002;
        } else if (item == "ravenna") {
            bits |= 0x0004;
        } else if (numberAfter(item, "ravenna_", n)) {
            bits |= n == 2 ? 0x0400 : 0;
        } else if (numberAfter(item, "remote_access_", n)) {
            bits |= (n > 0 ? 0x0008 : 0) | (n > 2 ? 0x0010 : 0);
        } else if (numberAfter(item, "ip_dstream_", n)) {
            bits |= (n > 0 ? 0x0020 : 0) | (n > 1 ? 0x0040 : 0);
        } else if (numberAfter(item, "record_", n)) {
            bits |= n > 0 ? 0x0100 : 0;
        } else if (numberAfter(item, "hardware_", n)) {
            options.hardwareType = n;
            static const std::uint32_t hardwareBits[16] = {0, 0x0280, 0x0A00, 0x1080, 0x0280};
            bits |= hardwareBits[n & 15];
        }
    }
    return options;
}

std::vector<int> codecChoices(const std::string& listKey, const std::vector<std::string>& items)
{
    std::vector<int> choices;
    choices.reserve(items.size());
    for (const std::string& item : items) {
        if (listKey == wire::key::alg())
            choices.push_back(codecFromName(item));
        else if (listKey == wire::key::mode())
            choices.push_back(channelModeFromName(item));
        else
            choices.push_back(fromString<int>(item));
    }
    return choices;
}

int mobileBarsForQuality(int quality)
{
    return quality > 25 ? 5 : quality > 19 ? 4 : quality > 13 ? 3 : quality > 5 ? 2 : quality > 0 ? 1 : 0;
}

int wifiBarsForQuality(int quality)
{
    return quality > 28 ? 5 : quality > 22 ? 4 : quality > 20 ? 3 : quality > 16 ? 2 : quality >= 12 ? 1 : 0;
}

int audioModeFlagsFor(int codecMode, int channelMode, int coordMode, int operationMode)
{
    enum { Mono = 0, DualMono = 1, Stereo = 2 };
    const bool coord = coordMode == 1;
    if (codecMode == 1)
        return channelMode == DualMono || channelMode == Stereo ? 32 : 16;
    switch (channelMode) {
    case Stereo:
        return coord && operationMode == 1 ? 64 : 2;
    case DualMono:
        return coord ? 64 : 4;
    case Mono:
        return coord ? 8 : 1;
    }
    return 1;
}

TComDevice::TComDevice(zel::CCom* session)
    : m_requests(session)
    , m_aoip(session)
    , m_ethernet(session)
    , m_mobile(session)
    , m_wifi(session)
{
    connect(&m_ethernet, &TComController::controllerStateChanged, this,
            &TComDevice::ethernetControllerStateChanged);
    connect(&m_mobile, &TComController::controllerStateChanged, this, &TComDevice::mobileControllerStateChanged);
    connect(&m_wifi, &TComController::controllerStateChanged, this, &TComDevice::wifiControllerStateChanged);
}

TComDevice::~TComDevice()
{
    // The controllers go after the device's own part: nothing of theirs may reach it.
    m_wifi.disconnect();
    m_mobile.disconnect();
    m_ethernet.disconnect();
    removeAllConnections();
}

void TComDevice::ethernetControllerStateChanged(TComController*)
{
    emit deviceStateChanged(EthernetChanged);
}

void TComDevice::mobileControllerStateChanged(TComController*)
{
    emit deviceStateChanged(MobileChanged);
}

void TComDevice::wifiControllerStateChanged(TComController*)
{
    emit deviceStateChanged(WifiChanged);
}

void TComDevice::updateMobileSignalBars()
{
    m_mobileSignalBars = mobileBarsForQuality(m_mobile.signalQuality());
}

void TComDevice::updateWifiSignalBars()
{
    m_wifiSignalBars = wifiBarsForQuality(m_wifi.signalQuality());
}

int TComDevice::audioModeFlags() const
{
    if (!m_ready)
        return 1;
    return audioModeFlagsFor(codecMode(), static_cast<int>(m_codec1.channelMode), coordMode(), operationMode());
}

int TComDevice::activeAudioConnection() const
{
    if (!m_ready)
        return 1;
    const auto* call = dynamic_cast<const TComAudioConnection*>(findAudioConnection(1));
    if (!call || call->txCodec().codec == -1)
        return audioModeFlags();
    const int channelMode = static_cast<int>(call->txCodec().channelMode);
    if (channelMode < 0 || channelMode > 2)
        return audioModeFlags();
    // A running stereo call shows coordination in either operation mode.
    return audioModeFlagsFor(codecMode(), channelMode, coordMode(), 1);
}

int TComDevice::transportForLine(int line) const
{
    return line == 2 && isDoubleStreamMode() ? GsmTransport : transportFromName(defaultNetwork());
}

bool TComDevice::hasInterface(const std::string& name) const
{
    return m_interfaces.count(interfaceCodeFromName(name)) != 0;
}

bool TComDevice::hasInterfaceOfTransport(int transport) const
{
    for (const auto& entry : m_interfaces) {
        if (transportOf(static_cast<int>(entry.first)) == transport)
            return true;
    }
    return false;
}

bool TComDevice::setDoubleStreamMode(int mode)
{
    return m_settings.setKey("dstream_mode", mode, false);
}

bool TComDevice::addConnection(TComBaseConnection* connection)
{
    if (!connection || connection->id() == -1 || connection->network().empty()
        || m_connections.count(connection->id()))
        return false;
    m_connections[connection->id()] = connection;
    connection->attach(this);
    emit connectionAdded(connection);
    return true;
}

void TComDevice::removeConnection(int id)
{
    const auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    TComBaseConnection* connection = it->second;
    connection->detach(this);
    m_connections.erase(it);
    // Heard even while a refresh keeps the device quiet: receivers hold the pointer.
    const bool wasBlocked = blockSignals(false);
    emit connectionRemoved(connection);
    blockSignals(wasBlocked);
    delete connection;
}

void TComDevice::removeAllConnections()
{
    // A receiver of connectionRemoved may change the map: take the lowest id each time.
    while (!m_connections.empty())
        removeConnection(m_connections.begin()->first);
}

bool TComDevice::hasAudioConnection() const
{
    for (const auto& entry : m_connections) {
        if (isCall(entry.second))
            return true;
    }
    return false;
}

TComBaseConnection* TComDevice::connection(int id) const
{
    const auto it = m_connections.find(id);
    return it == m_connections.end() ? nullptr : it->second;
}

TComBaseConnection* TComDevice::findConnectionByKind(int kind) const
{
    for (const auto& entry : m_connections) {
        if (entry.second->kind() == kind)
            return entry.second;
    }
    return nullptr;
}

TComBaseConnection* TComDevice::findAudioConnection(int which) const
{
    for (const auto& entry : m_connections) {
        const int kind = entry.second->kind();
        if (which == 1 ? kind == TComBaseConnection::Line1
                       : kind == TComBaseConnection::Line2 || kind == TComBaseConnection::CoordLine)
            return entry.second;
    }
    return nullptr;
}

TComBaseConnection* TComDevice::findConnection(int kind, const std::string& network) const
{
    for (const auto& entry : m_connections) {
        if (entry.second->kind() == kind && entry.second->network() == network)
            return entry.second;
    }
    return nullptr;
}

TComBaseConnection* TComDevice::findConnectionByName(const std::string& network) const
{
    for (const auto& entry : m_connections) {
        if (isCall(entry.second) && entry.second->network() == network)
            return entry.second;
    }
    return nullptr;
}

TComAudioConnection* TComDevice::findAudioConnectionByTransport(int transport) const
{
    for (const auto& entry : m_connections) {
        auto* call = dynamic_cast<TComAudioConnection*>(entry.second);
        if (call && connectionTransport(call) == transport)
            return call;
    }
    return nullptr;
}

void TComDevice::clear(bool removeConnections)
{
    if (removeConnections)
        removeAllConnections();
    m_ready = false;
    m_mobileSignalBars = 0;
    m_wifiSignalBars = 0;
    m_settings.restoreStartValues();
    m_codec1 = CodecConfig();
    m_codec2 = CodecConfig();
    m_interfaces.clear();
    m_aoip.reset();
    m_relaysKnown = false;
    m_relay1 = Relay(1);
    m_relay2 = Relay(2);
}

void TComDevice::notifyDataConnectionStateChanged(TComDataConnection* connection)
{
    emit dataConnectionStateChanged(connection);
}

void TComDevice::notifyAudioConnectionStateChanged(TComAudioConnection* connection)
{
    emit audioConnectionStateChanged(connection);
}

void TComDevice::notifyAudioCallStatusChanged(TComAudioConnection* connection)
{
    emit audioCallStatusChanged(connection);
}

void TComDevice::notifyAudioCallStatisticChanged(TComAudioConnection* connection)
{
    emit audioCallStatisticChanged(connection);
}

void TComDevice::notifyAudioCallRelayChanged(TComAudioConnection* connection)
{
    emit audioCallRelayChanged(connection);
}

// --- unit settings -----------------------------------------------------------

TComDevice::UnitSettings::UnitSettings(TComDevice& device)
    : TComController(nullptr, AudioType) // every request goes through the device's helper
    , m_device(device)
{
}

const ParamKeys& TComDevice::UnitSettings::keyTable() const
{
    using S = UnitSettings;
    static const ParamKeys& table = *new ParamKeys{
        key<&S::codecMode>("codec_mode", kCodecModes, CodecModeChanged).inGroup(CodecModeChain),
        key<&S::coordMode>("coord_mode", kEnabled, CoordModeChanged).inGroup(AudioGroup),
        key<&S::doubleStreamMode>("dstream_mode", kEnabled, DoubleStreamModeChanged).readOnly(),
        key<&S::operationMode>("operation_mode", kOperationModes, OperationModeChanged).inGroup(OperationModeChain),
        key<&S::aes67Reset>("aes67_reset", Aes67ResetChanged).inGroup(AudioGroup),
        key<&S::defaultNetwork>("default_network", DefaultNetworkChanged).inGroup(NetworkGroup),
        key<&S::secondaryNetwork>("secondary_network", SecondaryNetworkChanged).inGroup(NetworkGroup),
    };
    return table;
}

bool TComDevice::UnitSettings::sendValues(int group, const ValueMap& values)
{
    switch (group) {
    case CodecModeChain:
        return m_device.sendCodecMode(values.begin()->second);
    case OperationModeChain:
        return m_device.sendOperationMode(values.begin()->second);
    case NetworkGroup:
        return m_device.sendParams(wire::target::network(), values);
    }
    return m_device.sendParams(wire::target::audio(), values);
}

int TComDevice::UnitSettings::fetchValues(int group, const std::vector<std::string>& keys, ValueMap& values,
                                          ValueMap& errors)
{
    TCommand request = paramRequest(group == NetworkGroup ? wire::target::network() : wire::target::audio());
    for (const std::string& key : keys)
        request.addGet(key);
    return m_device.m_requests.getParams(request, values, errors, kTimeoutMs);
}

void TComDevice::UnitSettings::paramChanged(int index)
{
    emit m_device.deviceStateChanged(static_cast<DeviceState>(index));
}

bool TComDevice::sendParams(const std::string& target, const ValueMap& values)
{
    TCommand request = paramRequest(target);
    for (const auto& p : values)
        request.setParam(p.first, p.second);
    return m_requests.setParams(request, kTimeoutMs) == static_cast<int>(request.params.size());
}

bool TComDevice::sendModeChain(const std::vector<TCommand>& requests)
{
    for (const TCommand& request : requests) {
        const bool accepted = request.verb == TCommand::Do
            ? m_requests.send(request, kTimeoutMs)
            : m_requests.setParams(request, kTimeoutMs) == static_cast<int>(request.params.size());
        if (!accepted)
            return false;
    }
    return true;
}

bool TComDevice::sendCodecMode(const std::string& word)
{
    const bool dual = word == kCodecModeWords[1];
    TCommand board = paramRequest(wire::target::network());
    board.setParam(wire::key::network(), "aoip");
    board.setParam("double_codec", dual ? "on" : "off");
    if (dual)
        board.setParam("audio_mode", "SIP");
    TCommand audio = paramRequest(wire::target::audio());
    audio.setParam("ip-codec_mode", word);
    if (m_deviceOptions & kIsdnDoubleCodecOption)
        audio.setParam("isdn-codec_mode", word);
    return sendModeChain({board, audio, reinitAoipRequest()});
}

bool TComDevice::sendOperationMode(const std::string& word)
{
    std::vector<TCommand> chain;
    for (const char* part : {"dsp", "aic"}) {
        chain.push_back(paramRequest(wire::target::audio()));
        chain.back().setParam("audio", part);
        chain.back().setParam("operation_mode", word);
    }
    chain.push_back(paramRequest(wire::target::network()));
    chain.back().setParam(wire::key::network(), "aoip");
    chain.back().setParam("operation_mode", word);
    chain.push_back(reinitAoipRequest());
    return sendModeChain(chain);
}

bool TComDevice::getParams(const std::string& target, const std::vector<std::string>& keys, ValueMap& values)
{
    TCommand request = paramRequest(target);
    for (const std::string& key : keys)
        request.addGet(key);
    ValueMap answered;
    ValueMap errors;
    m_requests.getParams(request, answered, errors, kTimeoutMs);
    // Only what was asked for: a unit that says more changes nothing else.
    for (const std::string& key : keys) {
        const auto found = answered.find(key);
        if (found != answered.end())
            values.insert(*found);
    }
    return TComRequestHelper::allAnswered(request, values);
}

bool TComDevice::setDefaultNetwork(const std::string& name, bool send)
{
    if (name == defaultNetwork())
        return true;
    if (!m_settings.setKey("default_network", name, send))
        return false;
    followDefaultNetwork(name);
    return true;
}

void TComDevice::followDefaultNetwork(const std::string& name)
{
    // The controllers' own state changes are not announced; the code after is.
    const bool wasBlocked = blockSignals(true);
    DeviceState code;
    switch (interfaceClassFromName(name)) {
    case kEthClass:
        m_ethernet.attach(name, 0, false);
        m_ethernet.readParams({"mode", "cable"});
        code = EthernetChanged;
        break;
    case kMobileClass:
        m_mobile.attach(name, 0, false);
        m_mobile.readParams({"mode", "signal_quality"});
        updateMobileSignalBars();
        code = MobileChanged;
        break;
    case kWifiClass:
        m_wifi.attach(name, 0, false);
        m_wifi.readParams({"signal_quality"});
        updateWifiSignalBars();
        code = WifiChanged;
        break;
    default:
        blockSignals(wasBlocked);
        return;
    }
    blockSignals(wasBlocked);
    emit deviceStateChanged(code);
}

bool TComDevice::setSecondaryNetwork(const std::string& name, bool send)
{
    return m_settings.setKey("secondary_network", name, send);
}

bool TComDevice::setCodecMode(int mode, bool send)
{
    return m_settings.setKey("codec_mode", mode, send);
}

bool TComDevice::setCoordMode(int mode, bool send)
{
    return m_settings.setKey("coord_mode", mode, send);
}

bool TComDevice::setOperationMode(int mode, bool send)
{
    return m_settings.setKey("operation_mode", mode, send);
}

bool TComDevice::setAes67Reset(bool on, bool send)
{
    return m_settings.setKey("aes67_reset", on, send);
}

bool TComDevice::setDualCodec(int codec, const std::string& codecText, bool send)
{
    const CodecConfig config = codecConfigFromString(codecText);
    if (config.codec == -1)
        return true;
    CodecConfig& stored = codec == 2 ? m_codec2 : m_codec1;
    if (config == stored)
        return true;
    if (send) {
        const std::string& key = codec == 2 ? wire::key::dcodec2()
            : codecMode() == 1             ? wire::key::dcodec1()
                                           : wire::key::codec();
        if (!sendParams(wire::target::audio(), {{key, codecText}}))
            return false;
    }
    stored = config;
    emit deviceStateChanged(codec == 2 ? Codec2Changed : Codec1Changed);
    return true;
}

std::string TComDevice::defaultCodecKey(int codec, const std::string& network) const
{
    const std::string& key = codec == 2 ? wire::key::dcodecTx2() : wire::key::dcodecTx1();
    if (network == wire::target::ip())
        return "ip-" + key;
    if (network == wire::target::isdn() && (m_deviceOptions & kIsdnDoubleCodecOption))
        return "isdn-" + key;
    return std::string();
}

bool TComDevice::loadDefaultCodecs(int codec, const std::string& network, CodecConfig& out)
{
    const std::string key = defaultCodecKey(codec, network);
    ValueMap values;
    if (key.empty() || !getParams(wire::target::audio(), {key}, values))
        return false;
    out = codecConfigFromString(values[key]);
    return true;
}

bool TComDevice::setDefaultCodec(int codec, const std::string& network, const std::string& codecText)
{
    const std::string key = defaultCodecKey(codec, network);
    return !key.empty() && sendParams(wire::target::audio(), {{key, codecText}});
}

bool TComDevice::listChoices(TCommand request, int codecMode, int interfaceClass, const std::string& listKey,
                             std::vector<int>& out)
{
    out.clear();
    request.setParam(wire::key::target(), wire::target::audio());
    request.setParam(wire::key::codecMode(), codecMode == 1 ? "double_codec" : "single_codec");
    if (interfaceClass == int(kEthClass) || interfaceClass == int(kMobileClass) || interfaceClass == int(kWifiClass))
        request.setParam(wire::key::network(), wire::target::ip());
    else if (interfaceClass == int(kIsdnClass))
        request.setParam(wire::key::network(), wire::target::isdn());
    request.addList(listKey);
    std::vector<std::string> items;
    if (!m_requests.getList(request, items, kTimeoutMs))
        return false;
    out = codecChoices(listKey, items);
    return true;
}

bool TComDevice::listCodecAlgorithms(int codecMode, std::vector<int>& out, int interfaceClass)
{
    return listChoices(TCommand(TCommand::Param), codecMode, interfaceClass, wire::key::alg(), out);
}

bool TComDevice::listCodecModes(int codecMode, int algorithm, int codec, std::vector<int>& out, int interfaceClass)
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::alg(), codecName(static_cast<std::uint32_t>(algorithm)));
    if (operationMode() == 1 && codecMode == 1)
        request.setParam("dcodec", codec == 2 ? wire::key::dcodec2() : wire::key::dcodec1());
    return listChoices(request, codecMode, interfaceClass, wire::key::mode(), out);
}

bool TComDevice::listSampleRates(int codecMode, int algorithm, int channelMode, std::vector<int>& out,
                                 int interfaceClass)
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::alg(), codecName(static_cast<std::uint32_t>(algorithm)));
    request.setParam(wire::key::mode(), channelModeName(channelMode));
    return listChoices(request, codecMode, interfaceClass, wire::key::samplerate(), out);
}

bool TComDevice::listBitrates(int codecMode, int algorithm, int channelMode, int sampleRate, std::vector<int>& out,
                              int interfaceClass)
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::alg(), codecName(static_cast<std::uint32_t>(algorithm)));
    request.setParam(wire::key::mode(), channelModeName(channelMode));
    request.setParam(wire::key::samplerate(), toString(sampleRate));
    return listChoices(request, codecMode, interfaceClass, wire::key::bitrate(), out);
}

bool TComDevice::sendPowerAction(const std::string& action)
{
    zel::CCom* session = m_requests.session();
    if (!session)
        return false;
    TCommand request(TCommand::Do);
    request.setParam(wire::key::action(), action);
    TCommand reply;
    const int result = session->sendSyncMsg(request, reply, 0, 300);
    // A unit going down may drop the link before it answers: the request went out.
    return result == RpcConnection::CanceledError
        || (result == 0 && *reply.param(wire::key::return_(), true) == wire::reply::ok());
}

bool TComDevice::reboot()
{
    return sendPowerAction(wire::action::reboot());
}

bool TComDevice::shutdown()
{
    return sendPowerAction(wire::action::shutdown());
}

// --- loading --------------------------------------------------------------------

bool TComDevice::loadDeviceOptions()
{
    TCommand request = paramRequest(wire::target::general());
    request.addList("device_opts");
    std::vector<std::string> items;
    if (!m_requests.getList(request, items, kTimeoutMs))
        return false;
    const DeviceOptions options = deviceOptionsFromItems(items);
    m_deviceOptions = options.bits;
    m_hardwareType = options.hardwareType;
    return true;
}

bool TComDevice::loadNetworks()
{
    TCommand request = paramRequest(wire::target::network());
    request.addList(wire::key::network());
    std::vector<std::string> names;
    if (!m_requests.getList(request, names, kTimeoutMs))
        return false;
    m_interfaces.clear();
    for (const std::string& name : names) {
        const std::uint32_t code = interfaceCodeFromName(name);
        if (code != kInvalidInterface)
            m_interfaces.emplace(code, name); // the first name of a code stays
    }
    return !m_interfaces.empty();
}

bool TComDevice::loadNetworkKeys(const std::vector<std::string>& keys)
{
    ValueMap values;
    if (!getParams(wire::target::network(), keys, values))
        return false;
    bool ok = true;
    const auto defaultName = values.find("default_network");
    if (defaultName != values.end())
        ok = setDefaultNetwork(defaultName->second, false);
    const auto secondaryName = values.find("secondary_network");
    if (secondaryName != values.end())
        ok = setSecondaryNetwork(secondaryName->second, false) && ok;
    return ok;
}

bool TComDevice::loadNetworkChoice()
{
    if (m_deviceOptions & kDoubleStreamOption)
        return loadNetworkKeys({"default_network", "secondary_network"});
    return loadNetworkKeys({"default_network"});
}

bool TComDevice::loadDefaultNetwork()
{
    return loadNetworkKeys({"default_network"});
}

bool TComDevice::loadSecondaryNetwork()
{
    return loadNetworkKeys({"secondary_network"});
}

bool TComDevice::loadAudioSettings()
{
    const std::string& modeKey = wire::key::codecMode();
    const std::string operationKey = "operation_mode";
    std::vector<std::string> keys{modeKey, wire::key::coordMode(), wire::key::codec(), wire::key::dcodec1(),
                                  wire::key::dcodec2()};
    if (unitFirmwareVersion > kOperationModeFirmware)
        keys.push_back(operationKey);
    if (m_deviceOptions & kDoubleStreamOption)
        keys.push_back(wire::key::dstreamMode());
    ValueMap values;
    if (!getParams(wire::target::audio(), keys, values))
        return false;
    {
        const QSignalBlocker quiet(this);
        for (const std::string& key : {wire::key::coordMode(), operationKey, wire::key::dstreamMode()}) {
            const auto found = values.find(key);
            if (found != values.end())
                m_settings.parseKey(key, found->second);
        }
    }
    const bool dual = values[modeKey] == kCodecModeWords[1];
    m_codec1 = CodecConfig();
    m_codec2 = CodecConfig();
    if (dual) {
        m_codec1 = codecConfigFromString(values[wire::key::dcodec1()]);
        m_codec2 = codecConfigFromString(values[wire::key::dcodec2()]);
    } else {
        m_codec1 = codecConfigFromString(values[wire::key::codec()]);
    }
    return setCodecMode(dual ? 1 : 0, false);
}

bool TComDevice::loadAes67Reset()
{
    if (unitFirmwareVersion <= kAes67ResetFirmware)
        return true;
    // A unit that cannot answer keeps the flag as it was: the key is optional.
    ValueMap values;
    if (getParams(wire::target::audio(), {"aes67_reset"}, values)) {
        const QSignalBlocker quiet(this);
        m_settings.parseKey("aes67_reset", values["aes67_reset"]);
    }
    return true;
}

bool TComDevice::refresh()
{
    const bool wasBlocked = blockSignals(true);
    clear(false);
    loadDeviceOptions();
    if (loadNetworks() && m_interfaces.count(kAoipClass) && m_aoip.attach("aoip", 0, false)) {
        std::vector<std::string> keys{"aoip_version", "sip_state", "sip_state2"};
        if (unitFirmwareVersion > kJitterabFirmware)
            keys.push_back("jitterab");
        if (m_aoip.readParams(keys) && loadNetworkChoice() && loadAudioSettings() && loadAes67Reset()) {
            m_ready = true;
            for (const std::string& info : {wire::event::audioChangeset(), wire::event::networkInfo(),
                                            wire::event::batteryLevel()})
                m_requests.subscribe(info);
        }
    }
    blockSignals(wasBlocked);
    if (!m_ready)
        return false;
    emit deviceStateChanged(Loaded);
    adoptDataLinks();
    // A receiver may have cleared the device meanwhile.
    return m_ready;
}

void TComDevice::adoptDataLinks()
{
    // The names are copied: a receiver or a dropped link may clear the device
    // during any request or announcement below.
    std::vector<std::string> names;
    for (const auto& entry : m_interfaces) {
        const std::uint32_t cls = interfaceClass(static_cast<int>(entry.first));
        if (cls == kMobileClass || cls == kWifiClass)
            names.push_back(entry.second);
    }
    TComDataConnection scratch(m_requests.session()); // asks only, never registered
    for (const std::string& name : names) {
        const int id = scratch.queryId(name);
        if (id == -1 || m_connections.count(id))
            continue;
        auto* link = new TComDataConnection(m_requests.session());
        link->start(id, name, TComDataConnection::Connected);
        if (!addConnection(link)) {
            delete link;
            continue;
        }
        if (connection(id) == link)
            emit dataConnectionStateChanged(link);
    }
}

// --- messages from the unit ------------------------------------------------------

bool TComDevice::handleInfo(const TCommand& info)
{
    const std::string& type = param(info, wire::key::infoType());
    if (type == wire::event::networkInfo()) {
        // The report names its interface: at most one controller takes it.
        if (m_mobile.handleInfo(info)) {
            updateMobileSignalBars();
            emit deviceStateChanged(MobileSignalChanged);
        } else if (m_wifi.handleInfo(info)) {
            updateWifiSignalBars();
            emit deviceStateChanged(WifiSignalChanged);
        }
    } else if (type == wire::event::batteryLevel()) {
        const std::string& text = param(info, "level");
        const int level = fromString<int>(text);
        if (!text.empty() && level != m_batteryLevel) {
            m_batteryLevel = level;
            emit deviceStateChanged(BatteryLevelChanged);
        }
    } else if (type == wire::event::sipRegistration()) {
        takeRegistration(info, m_aoip.account1(), SipRegistration1Changed);
    } else if (type == wire::event::sipRegistration2()) {
        takeRegistration(info, m_aoip.account2(), SipRegistration2Changed);
    } else if (type == wire::event::audioChangeset()) {
        const std::string& reset = param(info, "aes67_reset");
        if (!reset.empty())
            setAes67Reset(reset == "on", false);
    } else {
        return false;
    }
    return true;
}

void TComDevice::takeRegistration(const TCommand& info, const TComSipAccount& account, DeviceState code)
{
    const bool registered = account.registered;
    const std::string cause = account.stateCause;
    if (m_aoip.handleInfo(info) && (account.registered != registered || account.stateCause != cause))
        emit deviceStateChanged(code);
}

bool TComDevice::handleEvent(const TCommand& event)
{
    const std::string& type = param(event, wire::key::eventType());
    if (type.empty())
        return false;
    if (type == wire::event::defaultNetwork()) {
        // Copied: the controller switch waits in requests.
        const std::string name = param(event, wire::key::network());
        setDefaultNetwork(name, false);
    } else if (type == wire::event::secondaryNetwork()) {
        setSecondaryNetwork(param(event, wire::key::network()), false);
    } else if (type == wire::event::defaultCodec()) {
        takeDefaultCodec(event);
    } else if (type == wire::event::codecChange()) {
        takeCodecChange(event);
    } else if (type == wire::event::configInfo()) {
        offerConfigInfo(event);
    } else if (type == wire::event::aoipConfig()) {
        m_aoip.setJitterab(param(event, "auto_jbuffer") == "on", false);
    } else if (type == wire::event::callAutoRedial() || type == wire::event::callProceeding()
               || type == wire::event::callActive() || type == wire::event::dspStatus()) {
        takeCallProgress(event, TComAudioConnection::Outgoing);
    } else if (type == wire::event::callReceived() || type == wire::event::callRing()) {
        takeCallProgress(event, TComAudioConnection::Incoming);
    } else if (type == wire::event::dataConnected()) {
        takeDataConnected(event);
    } else if (type == wire::event::relayIn()) {
        takeRelays(event);
    } else {
        const std::string& id = param(event, wire::key::id());
        TComBaseConnection* target = id.empty() ? nullptr : connection(fromString<int>(id));
        if (!target)
            return false;
        deliver(target, event);
    }
    return true;
}

void TComDevice::takeDefaultCodec(const TCommand& event)
{
    const int operation = wordCode(param(event, "operation_mode"), kOperationModeWords);
    if (operation != -1)
        setOperationMode(operation, false);
    const int mode = wordCode(param(event, wire::key::codecMode()), kCodecModeWords);
    if (mode == 0) {
        if (param(event, wire::key::type()) == wire::target::ip())
            takeDoubleStreamWord(event);
        const int coord = wordCode(param(event, wire::key::coordMode()), kEnabledWords);
        if (coord != -1)
            setCoordMode(coord, false);
        setCodecMode(0, false);
        const std::string& codec = param(event, wire::key::codec());
        if (!codec.empty())
            setDualCodec(1, codec, false);
    } else if (mode == 1) {
        // Two codecs run neither two streams nor the coordination line.
        setDoubleStreamMode(0);
        setCoordMode(0, false);
        setCodecMode(1, false);
        for (const int codec : {1, 2}) {
            const std::string& text = param(event, codec == 1 ? wire::key::dcodec1() : wire::key::dcodec2());
            if (!text.empty())
                setDualCodec(codec, text, false);
        }
    }
}

void TComDevice::takeCodecChange(const TCommand& event)
{
    if (param(event, wire::key::type()) != wire::target::ip())
        return;
    const int mode = wordCode(param(event, wire::key::codecMode()), kCodecModeWords);
    if (mode == 0)
        takeDoubleStreamWord(event);
    else if (mode == 1)
        setDoubleStreamMode(0);
}

void TComDevice::takeDoubleStreamWord(const TCommand& event)
{
    const int mode = wordCode(param(event, wire::key::dstreamMode()), kEnabledWords);
    if (mode != -1)
        setDoubleStreamMode(mode);
}

void TComDevice::offerConfigInfo(const TCommand& event)
{
    // Each controller decides by the interface named whether the event is its own.
    if (m_ethernet.handleEvent(event))
        emit deviceStateChanged(EthernetChanged);
    if (m_mobile.handleEvent(event))
        emit deviceStateChanged(MobileChanged);
    if (m_wifi.handleEvent(event))
        emit deviceStateChanged(WifiChanged);
}

bool TComDevice::deliverToKnown(const TCommand& event, int& id)
{
    // Without an id there is no connection to follow.
    const std::string& idText = param(event, wire::key::id());
    if (idText.empty())
        return true;
    id = fromString<int>(idText);
    TComBaseConnection* known = connection(id);
    if (known)
        deliver(known, event);
    return known != nullptr;
}

void TComDevice::takeCallProgress(const TCommand& event, int direction)
{
    int id = -1;
    if (deliverToKnown(event, id))
        return;
    // A call the unit already runs.
    const std::string& link = param(event, wire::key::commLink());
    const int line = link == "audio2" ? 1 : link == wire::key::coordLine() ? 2 : 0;
    auto* call = new TComAudioConnection(m_requests.session(), line);
    call->start(direction, id, param(event, wire::key::network()));
    if (param(event, wire::key::eventType()) == wire::event::dspStatus())
        call->parseCallInfo(event);
    if (!addConnection(call)) {
        delete call;
        return;
    }
    // A receiver may have had the device let go of the call (a dropped link clears it).
    if (connection(id) != call)
        return;
    emit audioConnectionStateChanged(call);
    if (connection(id) == call)
        deliver(call, event);
}

void TComDevice::takeDataConnected(const TCommand& event)
{
    int id = -1;
    if (deliverToKnown(event, id))
        return;
    // Connecting until the event itself, given to it once registered, connects it.
    auto* link = new TComDataConnection(m_requests.session());
    link->start(id, param(event, wire::key::network()), TComDataConnection::Connecting);
    if (!addConnection(link)) {
        delete link;
        return;
    }
    if (connection(id) == link)
        deliver(link, event);
}

void TComDevice::takeRelays(const TCommand& event)
{
    // The relays of line 2, the coordination line and data links are theirs.
    const std::string& id = param(event, wire::key::id());
    const TComBaseConnection* owner = id.empty() ? nullptr : connection(fromString<int>(id));
    if (owner && owner->kind() != TComBaseConnection::Line1)
        return;
    const bool on1 = param(event, "relay1") == "on";
    const bool on2 = param(event, "relay2") == "on";
    const std::string& config1 = param(event, "config1");
    const std::string& config2 = param(event, "config2");
    if (m_relaysKnown && on1 == m_relay1.on && on2 == m_relay2.on && config1 == m_relay1.config
        && config2 == m_relay2.config)
        return;
    m_relaysKnown = true;
    m_relay1.previousConfig = m_relay1.config;
    m_relay2.previousConfig = m_relay2.config;
    m_relay1.on = on1;
    m_relay2.on = on2;
    m_relay1.config = config1;
    m_relay2.config = config2;
    emit deviceStateChanged(RelaysChanged);
}

void TComDevice::deliver(TComBaseConnection* connection, const TCommand& event)
{
    const int id = connection->id();
    // State 4 is final for calls and data links alike. A receiver of the
    // connection's notifications may have had the device destroy it: it is
    // looked at again only while the id still maps to it.
    if (connection->handleEvent(event) && this->connection(id) == connection && connection->state() == 4)
        removeConnection(id);
}

TComDevice* frontPanelDevice()
{
    // Made after the session it uses, so destroyed before it.
    static TComDevice device(frontPanelCom());
    return &device;
}
