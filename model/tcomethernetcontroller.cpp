#include "model/tcomethernetcontroller.h"

#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "model/networkkeys.h"
#include "model/unitfirmware.h"

namespace {

const char* const kModeWords[] = {"dhcp", "manual", "pppoe", "bgan"};
const char* const kLinkModeWords[] = {"autonegotiation", "10000baseT-FD", "2500baseT-FD",
                                      "1000baseT-FD", "1000baseT-HD", "100baseT-FD",
                                      "100baseT-HD", "10baseT-FD", "10baseT-HD"};
const char* const kQualityWords[] = {"very_bad", "bad", "low", "middle", "high", "very_high"};
const char* const kAjbWords[] = {"safe", "standard", "punchy"};

template <std::size_t N>
std::string wordOf(const char* const (&words)[N], int code, int fallback)
{
    return words[code >= 0 && code < static_cast<int>(N) ? code : fallback];
}

template <std::size_t N>
int codeOf(const char* const (&words)[N], const std::string& word, int fallback)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (word == words[i])
            return static_cast<int>(i);
    }
    return fallback;
}

// The ajb profile exists from firmware 1.12.0 on.
constexpr std::uint32_t kAjbProfileFirmware = 0x10BFF;

} // namespace

std::string ethernetModeName(int mode) { return wordOf(kModeWords, mode, 0); }
int ethernetModeFromName(const std::string& name) { return codeOf(kModeWords, name, -1); }
std::string linkModeName(int mode) { return wordOf(kLinkModeWords, mode, 0); }
int linkModeFromName(const std::string& name) { return codeOf(kLinkModeWords, name, -1); }
std::string networkQualityName(int quality) { return wordOf(kQualityWords, quality, 2); }
int networkQualityFromName(const std::string& name) { return codeOf(kQualityWords, name, 2); }
std::string ajbProfileName(int profile) { return wordOf(kAjbWords, profile, 1); }
int ajbProfileFromName(const std::string& name) { return codeOf(kAjbWords, name, 1); }

TComEthernetController::TComEthernetController(zel::CCom* session)
    : TComNetworkController(session, EthernetType)
{
}

bool TComEthernetController::setCode(int& field, int index, const std::string& key, int code,
                                     const std::string& word, bool send)
{
    if (code == field)
        return true;
    if (send && code != -1 && !setParam(key, word, true))
        return false;
    field = code;
    emit controllerParamChanged(this, index);
    return true;
}

bool TComEthernetController::setAddress(std::string& field, int index, const std::string& key,
                                        const std::string& text, bool send, bool sendEmpty)
{
    if (text == field)
        return true;
    // Addresses only reach the unit in manual mode; otherwise they are kept
    // for when the mode is switched.
    if (send && m_mode == Manual && (sendEmpty || !text.empty()) && !setParam(key, text, true))
        return false;
    field = text;
    emit controllerParamChanged(this, index);
    return true;
}

bool TComEthernetController::setMode(int mode, bool send)
{
    return setCode(m_mode, ModeParam, wire::key::mode(), mode, ethernetModeName(mode), send);
}

bool TComEthernetController::setLocalAddr(const std::string& text, bool send)
{
    return setAddress(m_localAddr, LocalAddrParam, wire::key::localAddr(), text, send, false);
}

bool TComEthernetController::setSubnet(const std::string& text, bool send)
{
    return setAddress(m_subnet, SubnetParam, netkey::subnet(), text, send, false);
}

bool TComEthernetController::setGateway(const std::string& text, bool send)
{
    return setAddress(m_gateway, GatewayParam, netkey::gateway(), text, send, true);
}

bool TComEthernetController::setDns1(const std::string& text, bool send)
{
    return setAddress(m_dns1, Dns1Param, netkey::dns1(), text, send, true);
}

bool TComEthernetController::setDns2(const std::string& text, bool send)
{
    return setAddress(m_dns2, Dns2Param, netkey::dns2(), text, send, true);
}

bool TComEthernetController::setLinkMode(int mode, bool send)
{
    return setCode(m_linkMode, LinkModeParam, netkey::linkMode(), mode, linkModeName(mode), send);
}

bool TComEthernetController::setNetworkQuality(int quality, bool send)
{
    return setCode(m_networkQuality, NetworkQualityParam, netkey::networkQuality(), quality,
                   networkQualityName(quality), send);
}

bool TComEthernetController::setAjbProfile(int profile, bool send)
{
    return setCode(m_ajbProfile, AjbProfileParam, netkey::ajbProfile(), profile,
                   ajbProfileName(profile), send);
}

void TComEthernetController::setLinkModeNeg(int mode)
{
    if (mode == m_linkModeNeg)
        return;
    m_linkModeNeg = mode;
    emit controllerParamChanged(this, LinkModeNegParam);
}

bool TComEthernetController::setHwAddr(const std::string& text)
{
    if (text != m_hwAddr) {
        m_hwAddr = text;
        emit controllerParamChanged(this, HwAddrParam);
    }
    return true;
}

void TComEthernetController::setCable(bool plugged)
{
    if (plugged == m_cable)
        return;
    m_cable = plugged;
    emit controllerParamChanged(this, CableParam);
}

bool TComEthernetController::setModeFromString(const std::string& text)
{
    setMode(ethernetModeFromName(text), false);
    return true;
}

bool TComEthernetController::setModeFromString(const std::string& text, bool send)
{
    return setMode(ethernetModeFromName(text), send);
}

bool TComEthernetController::setLocalAddrFromString(const std::string& text)
{
    setLocalAddr(text, false);
    return true;
}

bool TComEthernetController::setSubnetFromString(const std::string& text)
{
    setSubnet(text, false);
    return true;
}

bool TComEthernetController::setGatewayFromString(const std::string& text)
{
    setGateway(text, false);
    return true;
}

bool TComEthernetController::setDns1FromString(const std::string& text)
{
    setDns1(text, false);
    return true;
}

bool TComEthernetController::setDns2FromString(const std::string& text)
{
    setDns2(text, false);
    return true;
}

bool TComEthernetController::setLinkModeFromString(const std::string& text)
{
    setLinkMode(linkModeFromName(text), false);
    return true;
}

bool TComEthernetController::setLinkModeNegFromString(const std::string& text)
{
    setLinkModeNeg(linkModeFromName(text));
    return true;
}

bool TComEthernetController::setHwAddrFromString(const std::string& text)
{
    return setHwAddr(text);
}

bool TComEthernetController::setCableFromString(const std::string& text)
{
    setCable(text == netkey::plugged());
    return true;
}

bool TComEthernetController::setNetworkQualityFromString(const std::string& text)
{
    setNetworkQuality(networkQualityFromName(text), false);
    return true;
}

bool TComEthernetController::setAjbProfileFromString(const std::string& text)
{
    setAjbProfile(ajbProfileFromName(text), false);
    return true;
}

bool TComEthernetController::refreshMode()
{
    return refreshKey(wire::key::mode(), &TComEthernetController::setModeFromString);
}

bool TComEthernetController::refreshLocalAddr()
{
    return refreshKey(wire::key::localAddr(), &TComEthernetController::setLocalAddrFromString);
}

bool TComEthernetController::refreshSubnet()
{
    return refreshKey(netkey::subnet(), &TComEthernetController::setSubnetFromString);
}

bool TComEthernetController::refreshGateway()
{
    return refreshKey(netkey::gateway(), &TComEthernetController::setGatewayFromString);
}

bool TComEthernetController::refreshDns1()
{
    return refreshKey(netkey::dns1(), &TComEthernetController::setDns1FromString);
}

bool TComEthernetController::refreshDns2()
{
    return refreshKey(netkey::dns2(), &TComEthernetController::setDns2FromString);
}

bool TComEthernetController::refreshLinkMode()
{
    return refreshKey(netkey::linkMode(), &TComEthernetController::setLinkModeFromString);
}

bool TComEthernetController::refreshLinkModeNeg()
{
    return refreshKey(netkey::linkModeNeg(), &TComEthernetController::setLinkModeNegFromString);
}

bool TComEthernetController::refreshHwAddr()
{
    return refreshKey(netkey::hwAddr(), &TComEthernetController::setHwAddrFromString);
}

bool TComEthernetController::refreshCable()
{
    return refreshKey(netkey::cable(), &TComEthernetController::setCableFromString);
}

bool TComEthernetController::refreshNetworkQuality()
{
    return refreshKey(netkey::networkQuality(), &TComEthernetController::setNetworkQualityFromString);
}

bool TComEthernetController::refreshAjbProfile()
{
    return refreshKey(netkey::ajbProfile(), &TComEthernetController::setAjbProfileFromString);
}

void TComEthernetController::reset()
{
    const bool wasBlocked = blockSignals(true);
    m_mode = -1;
    m_linkMode = -1;
    m_linkModeNeg = -1;
    m_cable = false;
    m_networkQuality = -1;
    m_ajbProfile = -1;
    m_localAddr.clear();
    m_subnet.clear();
    m_gateway.clear();
    m_dns1.clear();
    m_dns2.clear();
    m_hwAddr.clear();
    blockSignals(wasBlocked);
    TComNetworkController::reset();
}

bool TComEthernetController::refresh()
{
    std::vector<std::string> keys = {netkey::cable(), wire::key::mode(), wire::key::localAddr(),
                                     netkey::subnet(), netkey::gateway(), netkey::dns1(),
                                     netkey::dns2(), netkey::linkMode(), netkey::linkModeNeg(),
                                     netkey::hwAddr(), netkey::networkQuality()};
    if (unitFirmwareVersion > kAjbProfileFirmware)
        keys.push_back(netkey::ajbProfile());
    return readParams(keys);
}

bool TComEthernetController::applyValue(const std::string& key, const std::string& value)
{
    static const struct {
        const std::string& (*key)();
        bool (TComEthernetController::*apply)(const std::string&);
    } parsers[] = {
        {netkey::cable, &TComEthernetController::setCableFromString},
        {wire::key::mode, &TComEthernetController::setModeFromString},
        {wire::key::localAddr, &TComEthernetController::setLocalAddrFromString},
        {netkey::subnet, &TComEthernetController::setSubnetFromString},
        {netkey::gateway, &TComEthernetController::setGatewayFromString},
        {netkey::dns1, &TComEthernetController::setDns1FromString},
        {netkey::dns2, &TComEthernetController::setDns2FromString},
        {netkey::linkMode, &TComEthernetController::setLinkModeFromString},
        {netkey::linkModeNeg, &TComEthernetController::setLinkModeNegFromString},
        {netkey::hwAddr, &TComEthernetController::setHwAddrFromString},
        {netkey::networkQuality, &TComEthernetController::setNetworkQualityFromString},
        {netkey::ajbProfile, &TComEthernetController::setAjbProfileFromString},
    };
    for (const auto& p : parsers) {
        if (key == p.key())
            return (this->*p.apply)(value);
    }
    return false;
}

bool TComEthernetController::readParams(const std::vector<std::string>& keys)
{
    if (keys.empty())
        return false;
    ValueMap values;
    ValueMap errors;
    if (getParams(keys, values, errors, true) <= 0)
        return false;
    for (const auto& p : values)
        applyValue(p.first, p.second);
    return true;
}

bool TComEthernetController::writeParams(const std::vector<std::string>& keys)
{
    if (keys.empty())
        return false;
    ValueMap values;
    for (const std::string& key : keys) {
        if (key == wire::key::mode())
            values[key] = ethernetModeName(m_mode);
        else if (key == netkey::linkMode())
            values[key] = linkModeName(m_linkMode);
        else if (key == wire::key::localAddr())
            values[key] = m_localAddr;
        else if (key == netkey::subnet())
            values[key] = m_subnet;
        else if (key == netkey::gateway())
            values[key] = m_gateway;
        else if (key == netkey::dns1())
            values[key] = m_dns1;
        else if (key == netkey::dns2())
            values[key] = m_dns2;
        else if (key == netkey::networkQuality())
            values[key] = networkQualityName(m_networkQuality);
        else if (key == netkey::ajbProfile())
            values[key] = ajbProfileName(m_ajbProfile);
    }
    if (values.empty())
        return false;
    return setParams(values, true);
}

bool TComEthernetController::handleInfo(const TCommand&)
{
    return false;
}

bool TComEthernetController::handleEvent(const TCommand& event)
{
    const std::string& type = *event.param(wire::key::eventType(), true);
    const std::string& network = *event.param(wire::key::network(), true);
    if (type.empty() || network.empty() || network != this->network())
        return false;

    const std::string& mode = *event.param(wire::key::mode(), true);
    if (type == wire::event::defaultNetwork()) {
        if (!mode.empty())
            setModeFromString(mode);
        return true;
    }
    if (type == wire::event::configInfo()) {
        if (!mode.empty())
            setModeFromString(mode);
        // The event carries the whole configuration: an address it lacks is gone.
        setLocalAddr(*event.param(wire::key::localAddr(), true), false);
        setSubnet(*event.param(netkey::subnet(), true), false);
        setGateway(*event.param(netkey::gateway(), true), false);
        setDns1(*event.param(netkey::dns1(), true), false);
        setDns2(*event.param(netkey::dns2(), true), false);
        const std::string& cable = *event.param(netkey::cable(), true);
        if (!cable.empty())
            setCableFromString(cable);
        emit controllerParamChanged(this, ConfigInfoParam);
        return true;
    }
    return false;
}

bool TComEthernetController::attach(const std::string& network, unsigned flags, bool makeDefault)
{
    if (!TComNetworkController::attach(network, flags, makeDefault))
        return false;
    setState(Ready);
    return true;
}
