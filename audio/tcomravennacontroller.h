#pragma once

#include "model/tcomcontroller.h"

#include <map>
#include <string>
#include <vector>

// One network interface of the Ravenna board; the unit's keys of the second
// interface carry the suffix "1".
struct TComRavennaInterface
{
    bool linkUp = false;
    int dhcpMode = 1;   // 0 off, 1 on, 2 zeroconf
    int vlanId = 1;
    int ptpState = -1;  // TComRavennaController::PtpState
    std::string ipAddr;
    std::string subnet;
    std::string gateway;
    std::string hwAddr;
};

// The transmit stream's settings on one interface.
struct TComRavennaOutput
{
    bool autoconf = false;
    int mcPort = 5004;
    std::string mcAddr;
};

// One receive stream; on the wire "<streamId>/<streamSubId>/<name>" in UTF-8.
struct TComRavennaStream
{
    int streamId = 0xFFFF;  // 0xFFFF: no stream
    int streamSubId = 0;
    int state1 = -1;        // TComRavennaController::StreamState of each path
    int state2 = -1;
    std::string name = "None";  // the unit's UTF-8 bytes
};

// "<streamId>/<streamSubId>/<name>", the name in UTF-8.
std::string ravennaStreamText(const TComRavennaStream& stream);
// A receive stream's text into its record, states kept. False, record
// untouched, unless the channel is one an announced stream can offer
// (0 to kMaxAnnouncedChannels).
bool parseStreamRecord(TComRavennaStream& stream, const std::string& text);
// An announced stream "<streamId>/<channelCount>/<name>" into its record (the
// count in streamSubId). False, record untouched, unless both numbers are
// plain decimal digits and the count is at most kMaxAnnouncedChannels.
bool parseAnnouncedStream(TComRavennaStream& stream, const std::string& text);
// No reply may make the channel choice grow without bound.
constexpr int kMaxAnnouncedChannels = 255;

// Mirror of the unit's AES67/RAVENNA board (target "audio", keys "rav_*"):
// identity, clocking, the two network interfaces, six receive streams and
// the transmit stream. Setters store what the unit accepted and announce
// nothing; it subscribes to nothing and takes no messages.
class TComRavennaController : public TComController
{
    Q_OBJECT
public:
    using StreamIn = TComRavennaStream;

    enum StreamState {
        StreamUnknown = -1,
        StreamDisabled = 0,
        StreamIdle,
        StreamWaiting,
        StreamTransmitting,
        StreamReceiving,
        StreamReceivingWarning,
        StreamReceivingNoSync,
        StreamReceivingSyncErr,
        StreamAddrCollision,
        StreamNotEnoughDec
    };
    enum PtpState {
        PtpUnknown = -1,
        PtpNotDefined = 0,
        PtpInitializing,
        PtpFaulty,
        PtpDisabled,
        PtpListening,
        PtpPreMaster,
        PtpMaster,
        PtpPassive,
        PtpNotCalibrated,
        PtpSlave
    };
    enum LockState { LockUnknown = 0, Unlocked, Locking, Locked };
    enum NetMode { Switch = 0, Redundant = 1 };
    enum DhcpMode { DhcpOff = 0, DhcpOn = 1, Zeroconf = 2 };

    static constexpr int kInterfaces = 2;
    static constexpr int kStreams = 6;

    explicit TComRavennaController(zel::CCom* session);

    bool modeOut() const { return m_modeOut; }
    int ifCount() const { return m_ifCount; }
    int netMode() const { return m_netMode; }
    int sampleRate() const { return m_sampleRate; }
    int resolution() const { return m_resolution; }
    int ptpDomain() const { return m_ptpDomain; }
    int delayMinIn() const { return m_delayMinIn; }
    int delayMaxIn() const { return m_delayMaxIn; }
    int delayIn() const { return m_delayIn; }
    int netifOut() const { return m_netifOut; }
    int chCountOut() const { return m_chCountOut; }
    float ptimeOut() const { return m_ptimeOut; }
    int syncState() const { return m_syncState; }
    int lockState() const { return m_lockState; }
    const std::string& manufacturer() const { return m_manufacturer; }
    const std::string& hardwareName() const { return m_hardwareName; }
    const std::string& deviceName() const { return m_deviceName; }
    const std::string& nameOut() const { return m_nameOut; }
    const std::string& hardwareRev() const { return m_hardwareRev; }
    const std::string& firmwareVer() const { return m_firmwareVer; }
    const std::string& firmwareRev() const { return m_firmwareRev; }
    const std::string& rescueosRev() const { return m_rescueosRev; }
    // Interface arguments choose by their lowest bit: 0 the first, 1 the second.
    const TComRavennaInterface& iface(int i) const { return m_iface[i & 1]; }
    const TComRavennaOutput& output(int i) const { return m_output[i & 1]; }
    // index 0..5; anything else gives stream 0.
    const TComRavennaStream& streamIn(int index) const;

    // With send the unit gets the value first and a refusal keeps the old one.
    bool setSampleRate(int rate, bool send) { return setKey("rav_sample_rate", rate, send); }
    bool setResolution(int bits, bool send) { return setKey("rav_resolution", bits, send); }
    bool setPtpDomain(int domain, bool send) { return setKey("rav_ptp_domain", domain, send); }
    bool setVlanId(int i, int id, bool send) { return setKey(ifKey("rav_vlan_id", i), id, send); }
    bool setDelayIn(int samples, bool send) { return setKey("rav_delay_in", samples, send); }
    bool setNetifOut(int netif, bool send) { return setKey("rav_netif_ou", netif, send); }
    // A port of 0 or below is stored without being sent.
    bool setMcPortOut(int i, int port, bool send) { return setKey(ifKey("rav_mc_port_ou", i), port, send && port > 0); }
    // Names and addresses: an empty one is stored without being sent.
    bool setDeviceName(const std::string& name, bool send) { return setKey("rav_device_name", name, send); }
    bool setNetMode(int mode, bool send) { return setKey("rav_net_mode", mode, send); }
    // Sends "on"/"off" and stores 1 or 0; a zeroconf interface counts as on.
    bool setDhcp(int i, bool on, bool send);
    // Any addressing mode, zeroconf included (sent as setDhcp sends it).
    bool setDhcpMode(int i, int mode, bool send) { return setKey(ifKey("rav_dhcp", i), mode, send); }
    // Addresses reach the unit only while the interface's DHCP is off.
    bool setIpAddress(int i, const std::string& addr, bool send) { return setKey(ifKey("rav_ip_addr", i), addr, send); }
    bool setSubnet(int i, const std::string& mask, bool send) { return setKey(ifKey("rav_subnet", i), mask, send); }
    bool setGateway(int i, const std::string& addr, bool send) { return setKey(ifKey("rav_gateway", i), addr, send); }
    // Stores the stream's id, sub-id and name and clears both reception
    // states; false for an index outside 0..5.
    bool setStreamIn(int index, const TComRavennaStream& stream, bool send);
    bool setModeOut(bool on, bool send) { return setKey("rav_mode_ou", on, send); }
    bool setNameOut(const std::string& name, bool send) { return setKey("rav_name_ou", name, send); }
    bool setAutoconfOut(int i, bool on, bool send) { return setKey(ifKey("rav_autoconf_ou", i), on, send); }
    bool setMcAddressOut(int i, const std::string& addr, bool send)
    {
        return setKey(ifKey("rav_mc_addr_ou", i), addr, send);
    }

    // Restores the reset values; the identity texts, the net mode and the
    // delays are kept.
    void reset() override;
    // Every value of the reply to its field; false when a stream text was
    // malformed (the other values still count).
    bool applyReply(const ValueMap& values) { return applyValues(values); }

    // Resets a loaded controller, reads the keys (none: no request) and goes ready.
    bool load(const std::vector<std::string>& keys);
    // The module's identity as the unit's firmware names it, read once the
    // firmware revision answered.
    static std::vector<std::string> identityKeys();
    // What the board offers, as the unit lists it.
    bool refreshSampleRate(std::vector<int>& rates);
    bool refreshResolution(std::vector<int>& resolutions);
    // The streams announced on the network, each with its channel count in
    // streamSubId; items parseAnnouncedStream refuses are skipped and logged.
    bool parseStreamIn(std::vector<TComRavennaStream>& streams);

    bool sendNumber(const std::string& key, int value);
    bool sendString(const std::string& key, const std::string& value);
    bool sendValues(const ValueMap& values);

protected:
    const ParamKeys& keyTable() const override;
    bool sendValues(int group, const ValueMap& values) override;
    int fetchValues(int group, const std::vector<std::string>& keys, ValueMap& values,
                    ValueMap& errors) override;

private:
    static std::string ifKey(const char* key, int i) { return i & 1 ? key + std::string("1") : key; }
    template <int I>
    bool staticAddressing() const { return m_iface[I].dhcpMode == DhcpOff; }
    template <int I>
    std::string dhcpText() const;
    template <int N>
    bool parseStream(const std::string& text);
    template <int N>
    std::string streamText() const { return ravennaStreamText(m_streamIn[N]); }
    template <int N>
    bool parseStatus(const std::string& text);
    bool parseIfCount(const std::string& text);
    bool listItems(const std::string& key, std::vector<std::string>& items);
    bool listNumbers(const std::string& key, std::vector<int>& numbers);

    // Start values are the key table's; those the reset keeps start here.
    bool m_modeOut;
    int m_ifCount;
    int m_netMode = Switch;
    int m_sampleRate;
    int m_resolution;
    int m_ptpDomain;
    int m_delayMinIn = 1;
    int m_delayMaxIn = 24000;
    int m_delayIn = 512;
    int m_netifOut;
    int m_chCountOut;
    float m_ptimeOut;
    int m_syncState;
    int m_lockState;
    std::string m_manufacturer;
    std::string m_hardwareName;
    std::string m_deviceName;
    std::string m_nameOut;
    std::string m_hardwareRev;
    std::string m_firmwareVer;
    std::string m_firmwareRev;
    std::string m_rescueosRev;
    TComRavennaInterface m_iface[kInterfaces];
    TComRavennaOutput m_output[kInterfaces];
    TComRavennaStream m_streamIn[kStreams];
};

// The process-wide Ravenna controller, made on first use with the session of
// frontPanelCom() and destroyed at exit.
TComRavennaController* frontPanelRavenna();
