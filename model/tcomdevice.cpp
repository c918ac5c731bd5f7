#include "model/tcomdevice.h"

#include "link/frontpanelcom.h"

namespace {

constexpr std::uint32_t kAoipClass = 0x000;
constexpr std::uint32_t kEthClass = 0x100;
constexpr std::uint32_t kIsdnClass = 0x200;
constexpr std::uint32_t kMobileClass = 0x300;
constexpr std::uint32_t kWifiClass = 0x400;

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
    return audioModeFlagsFor(m_codecMode, static_cast<int>(m_codec1.channelMode), m_coordMode, m_operationMode);
}

int TComDevice::transportForLine(int line) const
{
    return line == 2 && isDoubleStreamMode() ? GsmTransport : transportFromName(m_defaultNetwork);
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
    if (mode != m_doubleStreamMode) {
        m_doubleStreamMode = mode;
        emit deviceStateChanged(DoubleStreamModeChanged);
    }
    return true;
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
    emit connectionRemoved(connection);
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

void TComDevice::clear(bool removeConnections)
{
    if (removeConnections)
        removeAllConnections();
    m_ready = false;
    m_aes67Reset = false;
    m_mobileSignalBars = 0;
    m_wifiSignalBars = 0;
    m_codecMode = 0;
    m_coordMode = 0;
    m_doubleStreamMode = 0;
    m_operationMode = 0;
    m_codec1 = CodecConfig();
    m_codec2 = CodecConfig();
    m_defaultNetwork.clear();
    m_secondaryNetwork.clear();
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

TComDevice* frontPanelDevice()
{
    // Made after the session it uses, so destroyed before it.
    static TComDevice device(frontPanelCom());
    return &device;
}
