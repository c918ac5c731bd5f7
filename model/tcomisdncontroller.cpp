#include "model/tcomisdncontroller.h"

#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "model/networkkeys.h"

namespace {
constexpr int kTimeoutMs = 5000;
}

std::string isdnProtocolName(int protocol)
{
    switch (protocol) {
    case TComIsdnController::Ni:
        return "isdn_ni2";
    case TComIsdnController::Ntt:
        return "isdn_ntt";
    default:
        return "isdn_udss1";
    }
}

int isdnProtocolFromName(const std::string& name)
{
    if (name == "isdn_ni1" || name == "isdn_ni2")
        return TComIsdnController::Ni;
    if (name == "isdn_ntt")
        return TComIsdnController::Ntt;
    return TComIsdnController::EuroIsdn;
}

TComIsdnController::TComIsdnController(zel::CCom* session)
    : TComNetworkController(session, IsdnType)
{
}

bool TComIsdnController::send5as(bool on)
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::audio());
    request.setParam(netkey::fiveAs(), on ? netkey::on() : netkey::off());
    return helper.setParams(request, kTimeoutMs) == 2;
}

bool TComIsdnController::set5as(bool on, bool send)
{
    if (on == m_fiveAs)
        return true;
    if (send && !send5as(on))
        return false;
    m_fiveAs = on;
    emit controllerParamChanged(this, FiveAsParam);
    return true;
}

bool TComIsdnController::setProtocol(int protocol, bool send)
{
    if (protocol == m_protocol)
        return true;
    if (send && !setParam(netkey::protocol(), isdnProtocolName(protocol), true))
        return false;
    m_protocol = protocol;
    emit controllerParamChanged(this, ProtocolParam);
    return true;
}

bool TComIsdnController::setText(std::string& field, int index, const std::string& key,
                                 const std::string& text, bool send)
{
    if (text == field)
        return true;
    if (send && !setParam(key, text, true))
        return false;
    field = text;
    emit controllerParamChanged(this, index);
    return true;
}

bool TComIsdnController::setSpid(const std::string& text, bool send)
{
    return setText(m_spid, SpidParam, netkey::spid(), text, send);
}

bool TComIsdnController::setAddrSb0Ch0(const std::string& text, bool send)
{
    return setText(m_addrSb0Ch0, AddrSb0Ch0Param, netkey::addrSb0Ch0(), text, send);
}

bool TComIsdnController::setAddrSb0Ch1(const std::string& text, bool send)
{
    return setText(m_addrSb0Ch1, AddrSb0Ch1Param, netkey::addrSb0Ch1(), text, send);
}

bool TComIsdnController::setSubaddrSb0Ch0(const std::string& text, bool send)
{
    return setText(m_subaddrSb0Ch0, SubaddrSb0Ch0Param, netkey::subaddrSb0Ch0(), text, send);
}

bool TComIsdnController::setSubaddrSb0Ch1(const std::string& text, bool send)
{
    return setText(m_subaddrSb0Ch1, SubaddrSb0Ch1Param, netkey::subaddrSb0Ch1(), text, send);
}

bool TComIsdnController::set5asFromString(const std::string& text)
{
    set5as(text == netkey::on(), false);
    return true;
}

bool TComIsdnController::setProtocolFromString(const std::string& text)
{
    setProtocol(isdnProtocolFromName(text), false);
    return true;
}

bool TComIsdnController::setSpidFromString(const std::string& text)
{
    setSpid(text, false);
    return true;
}

bool TComIsdnController::setAddrSb0Ch0FromString(const std::string& text)
{
    setAddrSb0Ch0(text, false);
    return true;
}

bool TComIsdnController::setAddrSb0Ch1FromString(const std::string& text)
{
    setAddrSb0Ch1(text, false);
    return true;
}

bool TComIsdnController::setSubaddrSb0Ch0FromString(const std::string& text)
{
    setSubaddrSb0Ch0(text, false);
    return true;
}

bool TComIsdnController::setSubaddrSb0Ch1FromString(const std::string& text)
{
    setSubaddrSb0Ch1(text, false);
    return true;
}

bool TComIsdnController::refresh5as()
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::audio());
    request.addGet(netkey::fiveAs());
    std::string text;
    if (!helper.getValue(request, text, kTimeoutMs))
        return false;
    return set5asFromString(text);
}

bool TComIsdnController::refreshProtocol()
{
    return refreshKey(netkey::protocol(), &TComIsdnController::setProtocolFromString);
}

bool TComIsdnController::refreshSpid()
{
    return refreshKey(netkey::spid(), &TComIsdnController::setSpidFromString);
}

bool TComIsdnController::refreshAddrSb0Ch0()
{
    return refreshKey(netkey::addrSb0Ch0(), &TComIsdnController::setAddrSb0Ch0FromString);
}

bool TComIsdnController::refreshAddrSb0Ch1()
{
    return refreshKey(netkey::addrSb0Ch1(), &TComIsdnController::setAddrSb0Ch1FromString);
}

bool TComIsdnController::refreshSubaddrSb0Ch0()
{
    return refreshKey(netkey::subaddrSb0Ch0(), &TComIsdnController::setSubaddrSb0Ch0FromString);
}

bool TComIsdnController::refreshSubaddrSb0Ch1()
{
    return refreshKey(netkey::subaddrSb0Ch1(), &TComIsdnController::setSubaddrSb0Ch1FromString);
}

void TComIsdnController::reset()
{
    const bool wasBlocked = blockSignals(true);
    m_fiveAs = false;
    m_protocol = EuroIsdn;
    m_spid.clear();
    m_addrSb0Ch0.clear();
    m_addrSb0Ch1.clear();
    m_subaddrSb0Ch0.clear();
    m_subaddrSb0Ch1.clear();
    blockSignals(wasBlocked);
    TComNetworkController::reset();
}

bool TComIsdnController::refresh()
{
    return readParams({netkey::fiveAs(), netkey::protocol(), netkey::spid(), netkey::addrSb0Ch0(),
                       netkey::addrSb0Ch1(), netkey::subaddrSb0Ch0(), netkey::subaddrSb0Ch1()});
}

bool TComIsdnController::applyValue(const std::string& key, const std::string& value)
{
    static const struct {
        const std::string& (*key)();
        bool (TComIsdnController::*apply)(const std::string&);
    } parsers[] = {
        {netkey::protocol, &TComIsdnController::setProtocolFromString},
        {netkey::spid, &TComIsdnController::setSpidFromString},
        {netkey::addrSb0Ch0, &TComIsdnController::setAddrSb0Ch0FromString},
        {netkey::addrSb0Ch1, &TComIsdnController::setAddrSb0Ch1FromString},
        {netkey::subaddrSb0Ch0, &TComIsdnController::setSubaddrSb0Ch0FromString},
        {netkey::subaddrSb0Ch1, &TComIsdnController::setSubaddrSb0Ch1FromString},
    };
    for (const auto& p : parsers) {
        if (key == p.key())
            return (this->*p.apply)(value);
    }
    return false;
}

bool TComIsdnController::readParams(const std::vector<std::string>& keys)
{
    if (keys.empty())
        return false;
    std::vector<std::string> networkKeys;
    bool withFiveAs = false;
    for (const std::string& key : keys) {
        if (key == netkey::fiveAs())
            withFiveAs = true;
        else
            networkKeys.push_back(key);
    }
    ValueMap values;
    ValueMap errors;
    bool networkRead = false;
    if (!networkKeys.empty())
        networkRead = getParams(networkKeys, values, errors, true) > 0;
    const bool audioRead = withFiveAs && refresh5as();
    if (!networkRead && !audioRead)
        return false;
    for (const auto& p : values)
        applyValue(p.first, p.second);
    return true;
}

const std::string* TComIsdnController::textField(const std::string& key) const
{
    if (key == netkey::spid())
        return &m_spid;
    if (key == netkey::addrSb0Ch0())
        return &m_addrSb0Ch0;
    if (key == netkey::addrSb0Ch1())
        return &m_addrSb0Ch1;
    if (key == netkey::subaddrSb0Ch0())
        return &m_subaddrSb0Ch0;
    if (key == netkey::subaddrSb0Ch1())
        return &m_subaddrSb0Ch1;
    return nullptr;
}

bool TComIsdnController::writeParams(const std::vector<std::string>& keys)
{
    if (keys.empty())
        return false;
    bool withFiveAs = false;
    ValueMap values;
    for (const std::string& key : keys) {
        if (key == netkey::fiveAs())
            withFiveAs = true;
        else if (key == netkey::protocol())
            values[key] = isdnProtocolName(m_protocol);
        else if (const std::string* field = textField(key))
            values[key] = *field;
    }
    // The network request goes first; the audio one is sent even when it failed.
    bool ok = values.empty() ? withFiveAs : setParams(values, true);
    if (withFiveAs)
        ok = send5as(m_fiveAs) && ok;
    return ok;
}

bool TComIsdnController::handleInfo(const TCommand&)
{
    return false;
}

bool TComIsdnController::handleEvent(const TCommand&)
{
    return false;
}

bool TComIsdnController::attach(const std::string& network, unsigned flags, bool makeDefault)
{
    if (!TComNetworkController::attach(network, flags, makeDefault))
        return false;
    setState(Ready);
    return true;
}
