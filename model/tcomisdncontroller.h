#pragma once

#include "model/tcomnetworkcontroller.h"

#include <string>
#include <vector>

// "isdn_udss1" 0, "isdn_ni2" 1, "isdn_ntt" 2. Any other code is written as
// "isdn_udss1"; "isdn_ni1" also reads as 1 and any other word as 0.
std::string isdnProtocolName(int protocol);
int isdnProtocolFromName(const std::string& name);

// Mirrors one ISDN interface: signalling protocol, SPID, local numbers and
// sub-addresses of both channels, and the unit's "5as" switch, which the unit
// keeps among its audio parameters.
class TComIsdnController : public TComNetworkController
{
    Q_OBJECT
public:
    enum Protocol { EuroIsdn = 0, Ni = 1, Ntt = 2 };

    enum Param {
        FiveAsParam = 0,
        ProtocolParam = 1,
        SpidParam = 2,
        AddrSb0Ch0Param = 3,
        AddrSb0Ch1Param = 4,
        SubaddrSb0Ch0Param = 5,
        SubaddrSb0Ch1Param = 6
    };

    explicit TComIsdnController(zel::CCom* session);

    bool fiveAs() const { return m_fiveAs; }
    int protocol() const { return m_protocol; }
    const std::string& spid() const { return m_spid; }
    const std::string& addrSb0Ch0() const { return m_addrSb0Ch0; }
    const std::string& addrSb0Ch1() const { return m_addrSb0Ch1; }
    const std::string& subaddrSb0Ch0() const { return m_subaddrSb0Ch0; }
    const std::string& subaddrSb0Ch1() const { return m_subaddrSb0Ch1; }

    bool set5as(bool on, bool send) { return setKey("5as", on, send); }
    bool setProtocol(int protocol, bool send) { return setKey("protocol", protocol, send); }
    bool setSpid(const std::string& text, bool send) { return setKey("spid", text, send); }
    bool setAddrSb0Ch0(const std::string& text, bool send) { return setKey("addr_sb0_ch0", text, send); }
    bool setAddrSb0Ch1(const std::string& text, bool send) { return setKey("addr_sb0_ch1", text, send); }
    bool setSubaddrSb0Ch0(const std::string& text, bool send) { return setKey("subaddr_sb0_ch0", text, send); }
    bool setSubaddrSb0Ch1(const std::string& text, bool send) { return setKey("subaddr_sb0_ch1", text, send); }

    // The audio request that switches "5as".
    bool send5as(bool on) { return sendKey("5as", on); }

    bool set5asFromString(const std::string& text) { return parseKey("5as", text); }
    bool setProtocolFromString(const std::string& text);
    bool setSpidFromString(const std::string& text) { return parseKey("spid", text); }
    bool setAddrSb0Ch0FromString(const std::string& text) { return parseKey("addr_sb0_ch0", text); }
    bool setAddrSb0Ch1FromString(const std::string& text) { return parseKey("addr_sb0_ch1", text); }
    bool setSubaddrSb0Ch0FromString(const std::string& text) { return parseKey("subaddr_sb0_ch0", text); }
    bool setSubaddrSb0Ch1FromString(const std::string& text) { return parseKey("subaddr_sb0_ch1", text); }

    bool refresh5as() { return refreshKey("5as"); }
    bool refreshProtocol() { return refreshKey("protocol"); }
    bool refreshSpid() { return refreshKey("spid"); }
    bool refreshAddrSb0Ch0() { return refreshKey("addr_sb0_ch0"); }
    bool refreshAddrSb0Ch1() { return refreshKey("addr_sb0_ch1"); }
    bool refreshSubaddrSb0Ch0() { return refreshKey("subaddr_sb0_ch0"); }
    bool refreshSubaddrSb0Ch1() { return refreshKey("subaddr_sb0_ch1"); }

    bool attach(const std::string& network, unsigned flags, bool makeDefault) override;

protected:
    // "5as" is an audio parameter: it travels in its own request.
    enum Group { NetworkGroup = 0, AudioGroup = 1 };

    const ParamKeys& keyTable() const override;
    bool sendValues(int group, const ValueMap& values) override;
    int fetchValues(int group, const std::vector<std::string>& keys, ValueMap& values,
                    ValueMap& errors) override;

private:
    // Start values are the key table's.
    bool m_fiveAs;
    int m_protocol;
    std::string m_spid;
    std::string m_addrSb0Ch0;
    std::string m_addrSb0Ch1;
    std::string m_subaddrSb0Ch0;
    std::string m_subaddrSb0Ch1;
};
