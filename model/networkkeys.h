#pragma once

#include <string>

// Keys and words of the unit's network and ISDN settings. Each word is built
// on first use, so it is safe from static initialisers and exit handlers.
#define KANDELO_NETWORK_KEYS(X) \
    X(subnet, "subnet") \
    X(gateway, "gateway") \
    X(dns1, "dns1") \
    X(dns2, "dns2") \
    X(linkMode, "link_mode") \
    X(linkModeNeg, "link_mode_neg") \
    X(hwAddr, "hw_addr") \
    X(cable, "cable") \
    X(networkQuality, "network_quality") \
    X(ajbProfile, "ajb_profile") \
    X(fiveAs, "5as") \
    X(protocol, "protocol") \
    X(spid, "spid") \
    X(addrSb0Ch0, "addr_sb0_ch0") \
    X(addrSb0Ch1, "addr_sb0_ch1") \
    X(subaddrSb0Ch0, "subaddr_sb0_ch0") \
    X(subaddrSb0Ch1, "subaddr_sb0_ch1") \
    X(plugged, "plugged") \
    X(on, "on") \
    X(off, "off")

namespace netkey {
#define KANDELO_NETWORK_KEY_DECLARE(name, text) const std::string& name();
KANDELO_NETWORK_KEYS(KANDELO_NETWORK_KEY_DECLARE)
#undef KANDELO_NETWORK_KEY_DECLARE
} // namespace netkey
