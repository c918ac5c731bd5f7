#pragma once

#include "model/tcomaoipcontroller.h"
#include "link/valuetext.h"
#include "model/tcomaudioconnection.h"
#include "model/tcombaseconnection.h"
#include "model/tcomdataconnection.h"
#include "model/tcomethernetcontroller.h"
#include "model/tcommobilecontroller.h"
#include "model/tcomrequesthelper.h"
#include "model/tcomwificontroller.h"

#include <QObject>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Interface codes: the unit names each interface ("aoip", "eth.0",
// "mobile.1", ...); the program keeps a class in bits 8-11 and the index in
// bits 0-7. A name of no class, or an index outside 0..255, is 0xFFFF.
constexpr std::uint32_t kInvalidInterface = 0xFFFF;
constexpr std::uint32_t kAoipClass = 0x000;
constexpr std::uint32_t kEthClass = 0x100;
constexpr std::uint32_t kIsdnClass = 0x200;
constexpr std::uint32_t kMobileClass = 0x300;
constexpr std::uint32_t kWifiClass = 0x400;
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
// -1 without an id or an interface; 2 for a call that sends GSM (the
// coordination line); else the transport of its interface.
int connectionTransport(const TComBaseConnection* connection);

// The option bits and hardware number of the items of the unit's
// "device_opts" list.
struct DeviceOptions
{
    std::uint32_t bits = 0;
    int hardwareType = 0;
};
DeviceOptions deviceOptionsFromItems(const std::vector<std::string>& items);

// Device option bits read in more than one place.
constexpr std::uint32_t kRavennaOption = 0x4;            // an audio network module is fitted
constexpr std::uint32_t kDoubleStreamOption = 0x20;      // IP calls can double their stream
constexpr std::uint32_t kRecordingOption = 0x100;        // the unit records
constexpr std::uint32_t kDanteOption = 0x400;            // the audio network module is a Dante one
constexpr std::uint32_t kReducedHardwareOption = 0x800;  // no GPIO, fewer inputs and keys

// The items of a codec choice list as numbers: "alg" codec numbers, "mode"
// channel modes (-1 for a name of neither), "samplerate" and "bitrate" numbers.
std::vector<int> codecChoices(const std::string& listKey, const std::vector<std::string>& items);

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
    bool aes67Reset() const { return m_settings.aes67Reset; }
    int mobileSignalBars() const { return m_mobileSignalBars; }
    int wifiSignalBars() const { return m_wifiSignalBars; }
    int batteryLevel() const { return m_batteryLevel; }
    std::uint32_t deviceOptions() const { return m_deviceOptions; }
    // The number N of the option "hardware_N".
    int hardwareType() const { return m_hardwareType; }
    int codecMode() const { return m_settings.codecMode; }
    int coordMode() const { return m_settings.coordMode; }
    int doubleStreamMode() const { return m_settings.doubleStreamMode; }
    int operationMode() const { return m_settings.operationMode; }
    const std::string& defaultNetwork() const { return m_settings.defaultNetwork; }
    const std::string& secondaryNetwork() const { return m_settings.secondaryNetwork; }
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
    // The same from the transmit coding of the running line-1 call.
    int activeAudioConnection() const;
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
    // The first call whose connectionTransport() is transport.
    TComAudioConnection* findAudioConnectionByTransport(int transport) const;

    // Loads the whole device after the link came up, its signals held back
    // until the one Loaded; true when the device is ready.
    bool refresh();
    // The loaders refresh is made of. A failed one keeps what it would
    // have replaced.
    bool loadDeviceOptions();
    // True when at least one interface is known.
    bool loadNetworks();
    bool loadNetworkChoice();
    bool loadDefaultNetwork();
    bool loadSecondaryNetwork();
    bool loadAudioSettings();
    bool loadAes67Reset();

    // The unit settings. An equal value is true with nothing sent; with
    // send the unit is asked first and a refusal keeps the old value and
    // announces nothing; otherwise the value is stored and announced.
    // A new default network also attaches the controller of its class.
    bool setDefaultNetwork(const std::string& name, bool send);
    bool setSecondaryNetwork(const std::string& name, bool send);
    // Three requests, stopping at the first refusal.
    bool setCodecMode(int mode, bool send);
    bool setCoordMode(int mode, bool send);
    // Four requests, stopping at the first refusal.
    bool setOperationMode(int mode, bool send);
    bool setAes67Reset(bool on, bool send);
    // Codec 2, or codec 1 (the single codec); a text of no known codec is
    // ignored.
    bool setDualCodec(int codec, const std::string& codecText, bool send);
    // The default coding of codec 1 or 2 for the network "ip" or "isdn";
    // neither touches the device.
    bool loadDefaultCodecs(int codec, const std::string& network, CodecConfig& out);
    bool setDefaultCodec(int codec, const std::string& network, const std::string& codecText);
    // The unit's choices for a coding in codec mode codecMode (1: double)
    // on an interface class; out holds them in the unit's order.
    bool listCodecAlgorithms(int codecMode, std::vector<int>& out, int interfaceClass);
    bool listCodecModes(int codecMode, int algorithm, int codec, std::vector<int>& out, int interfaceClass);
    bool listSampleRates(int codecMode, int algorithm, int channelMode, std::vector<int>& out, int interfaceClass);
    bool listBitrates(int codecMode, int algorithm, int channelMode, int sampleRate, std::vector<int>& out,
                      int interfaceClass);
    // True when the unit took the request, also when it dropped the link
    // before answering; false when nothing went out or the unit refused.
    bool reboot();
    bool shutdown();

    // The unit's INFO messages: network, battery, SIP registration and audio
    // reports. True for a type the device knows, whether or not it changed
    // anything.
    bool handleInfo(const TCommand& info);
    // The unit's EVENT messages: network choice, coding, interface
    // configuration, relays, and the progress of calls and data links, which
    // may register a connection; any other event goes to the connection its
    // "id" names, and a connection that ends is removed. False for an empty
    // type and for an unknown one that names no connection.
    bool handleEvent(const TCommand& event);

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
    // The unit settings the device mirrors, on the controllers' key table:
    // its setters store, send and announce (deviceStateChanged with the
    // row's code) as every controller's do.
    class UnitSettings : public TComController
    {
    public:
        // The request a key travels in; a mode travels as a chain of them.
        enum Group { AudioGroup, NetworkGroup, CodecModeChain, OperationModeChain };

        explicit UnitSettings(TComDevice& device);
        using TComController::parseKey;
        using TComController::restoreStartValues;
        using TComController::setKey;

        int codecMode = 0;        // 1: double codec
        int coordMode = 0;        // 1: coordination line enabled
        int doubleStreamMode = 0; // 1: enabled
        int operationMode = 0;    // 0 standard, 1 extended
        bool aes67Reset = false;
        std::string defaultNetwork;
        std::string secondaryNetwork;

    protected:
        const ParamKeys& keyTable() const override;
        bool sendValues(int group, const ValueMap& values) override;
        int fetchValues(int group, const std::vector<std::string>& keys, ValueMap& values,
                        ValueMap& errors) override;
        void paramChanged(int index) override;

    private:
        TComDevice& m_device;
    };

    using ValueMap = TComRequestHelper::ValueMap;
    // A PARAM request with "target"; true when every parameter was accepted.
    bool sendParams(const std::string& target, const ValueMap& values);
    bool sendModeChain(const std::vector<TCommand>& requests);
    bool sendCodecMode(const std::string& word);
    bool sendOperationMode(const std::string& word);
    // GETs the keys into values (no others); true when every one was answered.
    bool getParams(const std::string& target, const std::vector<std::string>& keys, ValueMap& values);
    bool loadNetworkKeys(const std::vector<std::string>& keys);
    void followDefaultNetwork(const std::string& name);
    void adoptDataLinks();
    std::string defaultCodecKey(int codec, const std::string& network) const;
    bool listChoices(TCommand request, int codecMode, int interfaceClass, const std::string& listKey,
                     std::vector<int>& out);
    bool sendPowerAction(const std::string& action);
    void takeRegistration(const TCommand& info, const TComSipAccount& account, DeviceState code);
    void takeDefaultCodec(const TCommand& event);
    void takeCodecChange(const TCommand& event);
    void takeDoubleStreamWord(const TCommand& event);
    void offerConfigInfo(const TCommand& event);
    // True when the event needs no new connection: it names no id, or the
    // registered connection of its id took it. Otherwise id is the event's.
    bool deliverToKnown(const TCommand& event, int& id);
    void takeCallProgress(const TCommand& event, int direction);
    void takeDataConnected(const TCommand& event);
    void takeRelays(const TCommand& event);
    // Hands the event to a registered connection and removes it when the
    // event ended it.
    void deliver(TComBaseConnection* connection, const TCommand& event);

    TComRequestHelper m_requests;
    bool m_ready = false;
    int m_mobileSignalBars = 0;
    int m_wifiSignalBars = 0;
    int m_batteryLevel = -1; // not reported
    std::uint32_t m_deviceOptions = 0;
    int m_hardwareType = 0;
    UnitSettings m_settings{*this};
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
