#include "model/tcomisdncontroller.h"

#include "link/protocolkeys.h"

namespace {

const char* const kProtocolWords[] = {"isdn_udss1", "isdn_ni2", "isdn_ntt"};
constexpr KeyWords kProtocols = keyWords(kProtocolWords, 0, 0);

} // namespace

std::string isdnProtocolName(int protocol)
{
    return kProtocols.name(protocol);
}

int isdnProtocolFromName(const std::string& name)
{
    return name == "isdn_ni1" ? TComIsdnController::Ni : kProtocols.code(name);
}

TComIsdnController::TComIsdnController(zel::CCom* session)
    : TComNetworkController(session, IsdnType)
{
    restoreStartValues();
}

const ParamKeys& TComIsdnController::keyTable() const
{
    using I = TComIsdnController;
    static const ParamKeys& table = *new ParamKeys{
        key<&I::m_fiveAs>("5as", FiveAsParam).inGroup(AudioGroup),
        key<&I::m_protocol>("protocol", kProtocols, ProtocolParam).parsedBy(&I::setProtocolFromString),
        key<&I::m_spid>("spid", SpidParam),
        key<&I::m_addrSb0Ch0>("addr_sb0_ch0", AddrSb0Ch0Param),
        key<&I::m_addrSb0Ch1>("addr_sb0_ch1", AddrSb0Ch1Param),
        key<&I::m_subaddrSb0Ch0>("subaddr_sb0_ch0", SubaddrSb0Ch0Param),
        key<&I::m_subaddrSb0Ch1>("subaddr_sb0_ch1", SubaddrSb0Ch1Param),
    };
    return table;
}

bool TComIsdnController::setProtocolFromString(const std::string& text)
{
    setProtocol(isdnProtocolFromName(text), false);
    return true;
}

bool TComIsdnController::sendValues(int group, const ValueMap& values)
{
    return group == AudioGroup ? setTargetValues(wire::target::audio(), values)
                               : TComNetworkController::sendValues(group, values);
}

int TComIsdnController::fetchValues(int group, const std::vector<std::string>& keys, ValueMap& values,
                                    ValueMap& errors)
{
    return group == AudioGroup ? getTargetValues(wire::target::audio(), keys, values, errors)
                               : TComNetworkController::fetchValues(group, keys, values, errors);
}

bool TComIsdnController::attach(const std::string& network, unsigned flags, bool makeDefault)
{
    if (!TComNetworkController::attach(network, flags, makeDefault))
        return false;
    setState(Ready);
    return true;
}
