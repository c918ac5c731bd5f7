#include "model/tcomethernetcontroller.h"

#include "link/protocolkeys.h"
#include "link/tcommand.h"

namespace {

const char* const kModeWords[] = {"dhcp", "manual", "pppoe", "bgan"};
const char* const kLinkModeWords[] = {"autonegotiation", "10000baseT-FD", "2500baseT-FD",
                                      "1000baseT-FD", "1000baseT-HD", "100baseT-FD",
                                      "100baseT-HD", "10baseT-FD", "10baseT-HD"};
const char* const kQualityWords[] = {"very_bad", "bad", "low", "middle", "high", "very_high"};
const char* const kAjbWords[] = {"safe", "standard", "punchy"};

constexpr KeyWords kModes = keyWords(kModeWords, 0, -1);
constexpr KeyWords kLinkModes = keyWords(kLinkModeWords, 0, -1);
constexpr KeyWords kQualities = keyWords(kQualityWords, 2, 2);
constexpr KeyWords kAjbProfiles = keyWords(kAjbWords, 1, 1);

} // namespace

std::string ethernetModeName(int mode) { return kModes.name(mode); }
int ethernetModeFromName(const std::string& name) { return kModes.code(name); }
std::string linkModeName(int mode) { return kLinkModes.name(mode); }
int linkModeFromName(const std::string& name) { return kLinkModes.code(name); }
std::string networkQualityName(int quality) { return kQualities.name(quality); }
int networkQualityFromName(const std::string& name) { return kQualities.code(name); }
std::string ajbProfileName(int profile) { return kAjbProfiles.name(profile); }
int ajbProfileFromName(const std::string& name) { return kAjbProfiles.code(name); }

const KeyWords& networkQualityWords() { return kQualities; }
const KeyWords& ajbProfileWords() { return kAjbProfiles; }

TComEthernetController::TComEthernetController(zel::CCom* session)
    : TComNetworkController(session, EthernetType)
{
    restoreStartValues();
}

const ParamKeys& TComEthernetController::keyTable() const
{
    using E = TComEthernetController;
    // In the order refresh() asks for them.
    static const ParamKeys& table = *new ParamKeys{
        key<&E::m_cable>("cable", KeyWire::onOff("plugged", "unplugged"), CableParam).readOnly(),
        key<&E::m_mode>("mode", kModes, ModeParam).skipUnset().startsAt(-1),
        key<&E::m_localAddr>("local_addr", LocalAddrParam).sendWhen(&E::manualMode).skipUnset(),
        key<&E::m_subnet>("subnet", SubnetParam).sendWhen(&E::manualMode).skipUnset(),
        key<&E::m_gateway>("gateway", GatewayParam).sendWhen(&E::manualMode),
        key<&E::m_dns1>("dns1", Dns1Param).sendWhen(&E::manualMode),
        key<&E::m_dns2>("dns2", Dns2Param).sendWhen(&E::manualMode),
        key<&E::m_linkMode>("link_mode", kLinkModes, LinkModeParam).skipUnset().startsAt(-1),
        key<&E::m_linkModeNeg>("link_mode_neg", kLinkModes, LinkModeNegParam).readOnly().startsAt(-1),
        key<&E::m_hwAddr>("hw_addr", HwAddrParam).readOnly(),
        key<&E::m_networkQuality>("network_quality", kQualities, NetworkQualityParam).skipUnset().startsAt(-1),
        key<&E::m_ajbProfile>("ajb_profile", kAjbProfiles, AjbProfileParam)
            .skipUnset()
            .startsAt(-1)
            .readAboveFirmware(kAjbProfileFirmware),
    };
    return table;
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
        for (const char* key : {"local_addr", "subnet", "gateway", "dns1", "dns2"})
            setKey(key, *event.param(key, true), false);
        const std::string& cable = *event.param("cable", true);
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
