#pragma once

#include "audio/tcomaoipcontroller.h"
#include "link/valuetext.h"
#include "model/tcombaseconnection.h"
#include "model/tcomethernetcontroller.h"
#include "model/tcommobilecontroller.h"
#include "model/tcomrequesthelper.h"
#include "model/tcomwificontroller.h"

#include <QObject>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class TComAudioConnection;
class TComDataConnection;
Q_DECLARE_OPAQUE_POINTER(TComAudioConnection*)
Q_DECLARE_OPAQUE_POINTER(TComDataConnection*)

// Interface codes: the unit names each interface ("aoip", "eth.0",
// "mobile.1", ...); the program keeps a class in bits 8-11 and the index in
// bits 0-7. A name of no class, or an index outside 0..255, is 0xFFFF.
constexpr std::uint32_t kInvalidInterface = 0xFFFF;
std::uint32_t interfaceClassFromName(const std::string& name);
std::uint32_t interfaceCodeFromName(const std::string& name);
std::uint32_t interfaceIndexFromName(const std::string& name);
std::uint32_t interfaceIndex(std::uint32_t code);
// "aoip", "eth.N", "isdn.N", "mobile.N", "wifi.N"; empty for no class.
std::string interfaceName(int code);
std::uint32_t interfaceClass(int code);

// Transports: 0 IP (Ethernet, mobile data, Wi-Fi), 1 ISDN, 2 GSM voice
// (the coordination line), -1 none.
enum Transport { NoTransport = -1, IpTransport = 0, IsdnTransport = 1, GsmTransport = 2 };
int transportFromName(const std::string& name);
int transportOf(int code);
int transportOfClass(int interfaceClass);

// The option bits and hardware number of the items of the unit's
// "device_opts" list.
struct DeviceOptions
{
    std::uint32_t bits = 0;
    int hardwareType = 0;
};
DeviceOptions deviceOptionsFromItems(const std::vector<std::string>& items);

// Signal bars 0-5 of a mobile or Wi-Fi signal quality; the scales differ.
int mobileBarsForQuality(int quality);
int wifiBarsForQuality(int quality);

// Program-mode flags (1, 2, 4, 8, 16, 32 or 64) of a loaded configuration.
int audioModeFlagsFor(int codecMode, int channelMode, int coordMode, int operationMode);

// The program's mirror of the unit as a whole: options, hardware,
// interfaces, network choice, codec and operation modes, codings, relays,
// battery, its network controllers, and every call and data connection by
// the unit's id. Every change is announced with deviceStateChanged and a
// what-changed code; connection changes with the further signals.
class TComDevice : public QObject
{
    Q_OBJECT
public:
    enum DeviceState {
        Loaded = 0,
        DefaultNetworkChanged = 1,
        SecondaryNetworkChanged = 2,
        Codec1Changed = 3,
        Codec2Changed = 4,
        CodecModeChanged = 5,
        CoordModeChanged = 6,
        DoubleStreamModeChanged = 7,
        EthernetChanged = 8,
        MobileChanged = 9,
        MobileSignalChanged = 10,
        WifiChanged = 11,
        WifiSignalChanged = 12,
        SipRegistration1Changed = 13,
        SipRegistration2Changed = 14,
        RelaysChanged = 15,
        BatteryLevelChanged = 16,
        Aes67ResetChanged = 17,
        OperationModeChanged = 18
    };
    Q_ENUM(DeviceState)

    struct Relay
    {
        explicit Relay(int number) : number(number) {}
        int number;
        bool on = false;
        std::string config;
        std::string previousConfig; // the config the last change replaced
    };

    using Interfaces = std::map<std::uint32_t, std::string>;
    using Connections = std::map<int, TComBaseConnection*>;

    explicit TComDevice(zel::CCom* session);
    ~TComDevice() override;

    TComRequestHelper& requestHelper() { return m_requests; }
    bool isReady() const { return m_ready; }
    bool aes67Reset() const { return m_aes67Reset; }
    int mobileSignalBars() const { return m_mobileSignalBars; }
    int wifiSignalBars() const { return m_wifiSignalBars; }
    int batteryLevel() const { return m_batteryLevel; }
    std::uint32_t deviceOptions() const { return m_deviceOptions; }
    // The number N of the option "hardware_N".
    int hardwareType() const { return m_hardwareType; }
    int codecMode() const { return m_codecMode; }
    int coordMode() const { return m_coordMode; }
    int doubleStreamMode() const { return m_doubleStreamMode; }
    int operationMode() const { return m_operationMode; }
    const std::string& defaultNetwork() const { return m_defaultNetwork; }
    const std::string& secondaryNetwork() const { return m_secondaryNetwork; }
    const Interfaces& interfaces() const { return m_interfaces; }
    const Connections& connections() const { return m_connections; }
    const CodecConfig& codec1() const { return m_codec1; }
    const CodecConfig& codec2() const { return m_codec2; }
    TComAoIPController& aoip() { return m_aoip; }
    TComEthernetController& ethernet() { return m_ethernet; }
    TComMobileController& mobile() { return m_mobile; }
    TComWifiController& wifi() { return m_wifi; }
    bool relaysKnown() const { return m_relaysKnown; }
    const Relay& relay1() const { return m_relay1; }
    const Relay& relay2() const { return m_relay2; }

    // Program-mode flags of the configuration; 1 while not ready.
    int audioModeFlags() const;
    bool isDualCodecMode() const { return audioModeFlags() & 0x30; }
    bool isDoubleStreamMode() const { return audioModeFlags() & 0x48; }
    // 2 for line 2 in double-stream mode, else that of the default network.
    int transportForLine(int line) const;
    bool hasInterface(const std::string& name) const;
    bool hasInterfaceOfTransport(int transport) const;

    // Stores without a request; announces a change.
    bool setDoubleStreamMode(int mode);
    // From the controller's signal quality; announce nothing.
    void updateMobileSignalBars();
    void updateWifiSignalBars();

    // The registry. A connection without id or interface name, or with an
    // id already held, is refused and stays its caller's; otherwise the
    // device attaches and owns it and announces it.
    bool addConnection(TComBaseConnection* connection);
    // Detaches, announces and destroys; an unknown id does nothing.
    void removeConnection(int id);
    // The same for every connection, in ascending id order.
    void removeAllConnections();
    bool hasAudioConnection() const;
    TComBaseConnection* connection(int id) const;
    TComBaseConnection* findConnectionByKind(int kind) const;
    // Line 1: the first call of kind 0; any other line: the first of kind 1 or 2.
    TComBaseConnection* findAudioConnection(int which) const;
    TComBaseConnection* findConnection(int kind, const std::string& network) const;
    // The first call (kind 0, 1 or 2) on that interface.
    TComBaseConnection* findConnectionByName(const std::string& network) const;

    // Forgets what was loaded, announcing nothing; the options, the hardware
    // number, the battery level and the Ethernet, mobile and Wi-Fi
    // controllers stay. With removeConnections the connections go first.
    void clear(bool removeConnections);

    // Made by the connections, one for each of their changes.
    void notifyDataConnectionStateChanged(TComDataConnection* connection);
    void notifyAudioConnectionStateChanged(TComAudioConnection* connection);
    void notifyAudioCallStatusChanged(TComAudioConnection* connection);
    void notifyAudioCallStatisticChanged(TComAudioConnection* connection);
    void notifyAudioCallRelayChanged(TComAudioConnection* connection);

signals:
    void deviceStateChanged(TComDevice::DeviceState state);
    void connectionAdded(TComBaseConnection* connection);
    void connectionRemoved(TComBaseConnection* connection);
    void dataConnectionStateChanged(TComDataConnection* connection);
    void audioConnectionStateChanged(TComAudioConnection* connection);
    void audioCallStatusChanged(TComAudioConnection* connection);
    void audioCallStatisticChanged(TComAudioConnection* connection);
    void audioCallRelayChanged(TComAudioConnection* connection);

private slots:
    void ethernetControllerStateChanged(TComController*);
    void mobileControllerStateChanged(TComController*);
    void wifiControllerStateChanged(TComController*);

private:
    TComRequestHelper m_requests;
    bool m_ready = false;
    bool m_aes67Reset = false;
    int m_mobileSignalBars = 0;
    int m_wifiSignalBars = 0;
    int m_batteryLevel = -1; // not reported
    std::uint32_t m_deviceOptions = 0;
    int m_hardwareType = 0;
    int m_codecMode = 0;        // 1: double codec
    int m_coordMode = 0;        // 1: coordination line enabled
    int m_doubleStreamMode = 0; // 1: enabled
    int m_operationMode = 0;    // 0 standard, 1 extended
    std::string m_defaultNetwork;
    std::string m_secondaryNetwork;
    Interfaces m_interfaces;
    Connections m_connections;
    CodecConfig m_codec1;
    CodecConfig m_codec2;
    TComAoIPController m_aoip;
    TComEthernetController m_ethernet;
    TComMobileController m_mobile;
    TComWifiController m_wifi;
    bool m_relaysKnown = false; // a relay report came since the last clear
    Relay m_relay1{1};
    Relay m_relay2{2};
};

// The process-wide device model, on the process-wide session: made on the
// first call, destroyed at program exit.
TComDevice* frontPanelDevice();
