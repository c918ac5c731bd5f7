#pragma once

#include "model/tcomnetworkcontroller.h"

#include <cstdint>
#include <string>
#include <vector>

// Words of the Ethernet keys. A code outside a table is written as the
// table's default word; an unknown word reads as -1 (mode, link modes) or as
// the default code (network quality "low" 2, ajb profile "standard" 1).
std::string ethernetModeName(int mode);          // "dhcp" "manual" "pppoe" "bgan"
int ethernetModeFromName(const std::string& name);
std::string linkModeName(int mode);              // "autonegotiation" ... "10baseT-HD"
int linkModeFromName(const std::string& name);
std::string networkQualityName(int quality);     // "very_bad" ... "very_high"
int networkQualityFromName(const std::string& name);
std::string ajbProfileName(int profile);         // "safe" "standard" "punchy"
int ajbProfileFromName(const std::string& name);
// The network-quality and ajb-profile tables, shared by every network controller.
const KeyWords& networkQualityWords();
const KeyWords& ajbProfileWords();
// The ajb profile exists from firmware 1.12.0 on: read when the unit's word is above this.
constexpr std::uint32_t kAjbProfileFirmware = 0x10BFF;

// Mirrors one Ethernet interface of the unit: address mode and addresses,
// wanted and negotiated link mode, hardware address, cable, network quality
// and jitter-buffer profile. Every stored change emits controllerParamChanged
// with the parameter's index; index 12 follows a "config info" event.
class TComEthernetController : public TComNetworkController
{
    Q_OBJECT
public:
    enum Mode { Dhcp = 0, Manual = 1, Pppoe = 2, Bgan = 3 };

    enum Param {
        ModeParam = 0,
        LocalAddrParam = 1,
        SubnetParam = 2,
        GatewayParam = 3,
        Dns1Param = 4,
        Dns2Param = 5,
        LinkModeParam = 6,
        LinkModeNegParam = 7,
        HwAddrParam = 8,
        CableParam = 9,
        NetworkQualityParam = 10,
        AjbProfileParam = 11,
        ConfigInfoParam = 12
    };

    explicit TComEthernetController(zel::CCom* session);

    int mode() const { return m_mode; }
    int linkMode() const { return m_linkMode; }
    int linkModeNeg() const { return m_linkModeNeg; }
    bool cable() const { return m_cable; }
    int networkQuality() const { return m_networkQuality; }
    int ajbProfile() const { return m_ajbProfile; }
    const std::string& localAddr() const { return m_localAddr; }
    const std::string& subnet() const { return m_subnet; }
    const std::string& gateway() const { return m_gateway; }
    const std::string& dns1() const { return m_dns1; }
    const std::string& dns2() const { return m_dns2; }
    const std::string& hwAddr() const { return m_hwAddr; }

    bool setMode(int mode, bool send) { return setKey("mode", mode, send); }
    // Addresses reach the unit only in manual mode; an empty address or
    // subnet is stored without being sent.
    bool setLocalAddr(const std::string& text, bool send) { return setKey("local_addr", text, send); }
    bool setSubnet(const std::string& text, bool send) { return setKey("subnet", text, send); }
    bool setGateway(const std::string& text, bool send) { return setKey("gateway", text, send); }
    bool setDns1(const std::string& text, bool send) { return setKey("dns1", text, send); }
    bool setDns2(const std::string& text, bool send) { return setKey("dns2", text, send); }
    bool setLinkMode(int mode, bool send) { return setKey("link_mode", mode, send); }
    bool setNetworkQuality(int quality, bool send) { return setKey("network_quality", quality, send); }
    bool setAjbProfile(int profile, bool send) { return setKey("ajb_profile", profile, send); }
    // Read-only values: stored, never sent.
    void setLinkModeNeg(int mode) { setKey("link_mode_neg", mode, false); }
    bool setHwAddr(const std::string& text) { return setKey("hw_addr", text, false); }
    void setCable(bool plugged) { setKey("cable", plugged, false); }

    bool setModeFromString(const std::string& text) { return parseKey("mode", text); }
    bool setModeFromString(const std::string& text, bool send) { return setMode(ethernetModeFromName(text), send); }
    bool setLocalAddrFromString(const std::string& text) { return parseKey("local_addr", text); }
    bool setSubnetFromString(const std::string& text) { return parseKey("subnet", text); }
    bool setGatewayFromString(const std::string& text) { return parseKey("gateway", text); }
    bool setDns1FromString(const std::string& text) { return parseKey("dns1", text); }
    bool setDns2FromString(const std::string& text) { return parseKey("dns2", text); }
    bool setLinkModeFromString(const std::string& text) { return parseKey("link_mode", text); }
    bool setLinkModeNegFromString(const std::string& text) { return parseKey("link_mode_neg", text); }
    bool setHwAddrFromString(const std::string& text) { return parseKey("hw_addr", text); }
    bool setCableFromString(const std::string& text) { return parseKey("cable", text); }
    bool setNetworkQualityFromString(const std::string& text) { return parseKey("network_quality", text); }
    bool setAjbProfileFromString(const std::string& text) { return parseKey("ajb_profile", text); }

    bool refreshMode() { return refreshKey("mode"); }
    bool refreshLocalAddr() { return refreshKey("local_addr"); }
    bool refreshSubnet() { return refreshKey("subnet"); }
    bool refreshGateway() { return refreshKey("gateway"); }
    bool refreshDns1() { return refreshKey("dns1"); }
    bool refreshDns2() { return refreshKey("dns2"); }
    bool refreshLinkMode() { return refreshKey("link_mode"); }
    bool refreshLinkModeNeg() { return refreshKey("link_mode_neg"); }
    bool refreshHwAddr() { return refreshKey("hw_addr"); }
    bool refreshCable() { return refreshKey("cable"); }
    bool refreshNetworkQuality() { return refreshKey("network_quality"); }
    bool refreshAjbProfile() { return refreshKey("ajb_profile"); }

    bool handleEvent(const TCommand& event) override;
    bool attach(const std::string& network, unsigned flags, bool makeDefault) override;

protected:
    const ParamKeys& keyTable() const override;

private:
    bool manualMode() const { return m_mode == Manual; }

    // Start values are the key table's.
    int m_mode;
    int m_linkMode;
    int m_linkModeNeg;
    bool m_cable;
    int m_networkQuality;
    int m_ajbProfile;
    std::string m_localAddr;
    std::string m_subnet;
    std::string m_gateway;
    std::string m_dns1;
    std::string m_dns2;
    std::string m_hwAddr;
};
