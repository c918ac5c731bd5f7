#include "model/tcomwificontroller.h"

#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"
#include "model/tcomethernetcontroller.h"
#include "model/tcommobilecontroller.h"

#include <utility>

namespace {

const char* const kSecurityWords[] = {"none", "auto", "WEP", "WPA-PSK", "WPA2-PSK"};
constexpr KeyWords kSecurities = keyWords(kSecurityWords, 0, 0);

} // namespace

std::string wifiAuthenticationName(int code) { return kSecurities.name(code); }
int wifiAuthenticationFromName(const std::string& name) { return kSecurities.code(name); }

int wifiSignalFromText(const std::string& text)
{
    const std::size_t unit = text.find_first_of(" dBm");
    if (unit != std::string::npos)
        return fromString<int>(text.substr(0, unit));
    // Wide enough that a clamped out-of-range reading cannot overflow.
    const long long value = fromString<int>(text);
    return value == 0 ? 0 : static_cast<int>((value + 113) / 2);
}

TComWifiController::TComWifiController(zel::CCom* session)
    : TComNetworkController(session, WifiType)
{
    restoreStartValues();
}

const ParamKeys& TComWifiController::keyTable() const
{
    using W = TComWifiController;
    // In the order refresh() asks for them; the keys after "ajb_profile" are
    // read only when asked for.
    static const ParamKeys& table = *new ParamKeys{
        key<&W::m_ssid>("ssid", KeyWire::utf8()),
        key<&W::m_ssidCustom>("ssid_custom", KeyWire::utf8()),
        key<&W::m_authentication>("authentication", kSecurities),
        key<&W::m_authenticationCustom>("authentication_custom", kSecurities),
        key<&W::m_passphrase>("passphrase", KeyWire::utf8()),
        key<&W::m_dataConnection>("data_connection"),
        key<&W::m_dataConnectionState>("data_connection_state", dataConnectionStateWords()).readOnly(),
        key<&W::m_networkQuality>("network_quality", networkQualityWords()).skipUnset().startsAt(-1),
        key<&W::m_ajbProfile>("ajb_profile", ajbProfileWords())
            .skipUnset()
            .startsAt(-1)
            .readAboveFirmware(kAjbProfileFirmware),
        key<&W::m_localAddr>("local_addr").readOnly().notRefreshed(),
        // Both signal keys fill the one field.
        key<&W::m_signalQuality>("signal_quality")
            .readOnly()
            .notRefreshed()
            .parsedBy(&W::setSignalQualityFromString),
        key<&W::m_signalQuality>("signal_quality_dbm")
            .readOnly()
            .notRefreshed()
            .parsedBy(&W::setSignalQualityFromString),
    };
    return table;
}

bool TComWifiController::setSignalQualityFromString(const std::string& text)
{
    m_signalQuality = wifiSignalFromText(text);
    return true;
}

bool TComWifiController::scanNetworks()
{
    // Into a scratch list: a scan that fails half-way keeps the last one.
    std::vector<std::string> found;
    if (!getList("ssid", found, true))
        return false;
    m_networkList = std::move(found);
    return true;
}

bool TComWifiController::handleInfo(const TCommand& info)
{
    const std::string& type = *info.param(wire::key::infoType());
    const std::string& source = *info.param(wire::key::infoSource());
    if (type.empty() || source.empty() || source != network() || type != wire::event::networkInfo())
        return false;
    setSignalQualityFromString(*info.param("signal_quality_dbm"));
    return true;
}

bool TComWifiController::handleEvent(const TCommand& event)
{
    const std::string& type = *event.param(wire::key::eventType());
    const std::string& network = *event.param(wire::key::network());
    return !type.empty() && !network.empty() && network == this->network()
           && (type == wire::event::defaultNetwork() || type == wire::event::configInfo());
}

bool TComWifiController::attach(const std::string& network, unsigned flags, bool makeDefault)
{
    if (!TComNetworkController::attach(network, flags, makeDefault))
        return false;
    setState(Ready);
    return true;
}
