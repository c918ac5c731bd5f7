#pragma once

#include "model/tcomnetworkcontroller.h"

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

    bool setMode(int mode, bool send);
    bool setLocalAddr(const std::string& text, bool send);
    bool setSubnet(const std::string& text, bool send);
    bool setGateway(const std::string& text, bool send);
    bool setDns1(const std::string& text, bool send);
    bool setDns2(const std::string& text, bool send);
    bool setLinkMode(int mode, bool send);
    bool setNetworkQuality(int quality, bool send);
    bool setAjbProfile(int profile, bool send);
    // Read-only values: stored, never sent.
    void setLinkModeNeg(int mode);
    bool setHwAddr(const std::string& text);
    void setCable(bool plugged);

    bool setModeFromString(const std::string& text);
    bool setModeFromString(const std::string& text, bool send);
    bool setLocalAddrFromString(const std::string& text);
    bool setSubnetFromString(const std::string& text);
    bool setGatewayFromString(const std::string& text);
    bool setDns1FromString(const std::string& text);
    bool setDns2FromString(const std::string& text);
    bool setLinkModeFromString(const std::string& text);
    bool setLinkModeNegFromString(const std::string& text);
    bool setHwAddrFromString(const std::string& text);
    bool setCableFromString(const std::string& text);
    bool setNetworkQualityFromString(const std::string& text);
    bool setAjbProfileFromString(const std::string& text);

    bool refreshMode();
    bool refreshLocalAddr();
    bool refreshSubnet();
    bool refreshGateway();
    bool refreshDns1();
    bool refreshDns2();
    bool refreshLinkMode();
    bool refreshLinkModeNeg();
    bool refreshHwAddr();
    bool refreshCable();
    bool refreshNetworkQuality();
    bool refreshAjbProfile();

    void reset() override;
    bool refresh() override;
    bool readParams(const std::vector<std::string>& keys) override;
    bool writeParams(const std::vector<std::string>& keys) override;
    bool handleInfo(const TCommand& info) override;
    bool handleEvent(const TCommand& event) override;
    bool attach(const std::string& network, unsigned flags, bool makeDefault) override;

private:
    bool setAddress(std::string& field, int index, const std::string& key, const std::string& text,
                    bool send, bool sendEmpty);
    bool setCode(int& field, int index, const std::string& key, int code, const std::string& word,
                 bool send);
    bool applyValue(const std::string& key, const std::string& value);

    int m_mode = -1;
    int m_linkMode = -1;
    int m_linkModeNeg = -1;
    bool m_cable = false;
    int m_networkQuality = -1;
    int m_ajbProfile = -1;
    std::string m_localAddr;
    std::string m_subnet;
    std::string m_gateway;
    std::string m_dns1;
    std::string m_dns2;
    std::string m_hwAddr;
};
