#pragma once

#include "model/tcomnetworkcontroller.h"

#include <string>
#include <vector>

// Security words: "none" 0, "auto" 1, "WEP" 2, "WPA-PSK" 3, "WPA2-PSK" 4. A
// code outside 1..4 is written "none"; an unknown word reads as 0.
std::string wifiAuthenticationName(int code);
int wifiAuthenticationFromName(const std::string& name);
// A value with a unit (" dBm") is kept as it stands; a bare value v other
// than 0 is mapped to (v + 113) / 2. Both scales are read by their users.
int wifiSignalFromText(const std::string& text);

// Mirrors one Wi-Fi client interface of the unit: the network to join and a
// hand-typed one with their security, the passphrase, the address, the data
// connection, the signal, the network profiles and the networks in range.
// The network names and the passphrase are held as the unit's UTF-8 bytes. Ready once attached; it never emits controllerParamChanged.
class TComWifiController : public TComNetworkController
{
    Q_OBJECT
public:
    explicit TComWifiController(zel::CCom* session);

    const std::string& ssid() const { return m_ssid; }
    const std::string& ssidCustom() const { return m_ssidCustom; }
    const std::string& localAddr() const { return m_localAddr; }
    int authentication() const { return m_authentication; }
    int authenticationCustom() const { return m_authenticationCustom; }
    const std::string& passphrase() const { return m_passphrase; }
    bool dataConnection() const { return m_dataConnection; }
    int dataConnectionState() const { return m_dataConnectionState; }
    int signalQuality() const { return m_signalQuality; }
    int networkQuality() const { return m_networkQuality; }
    int ajbProfile() const { return m_ajbProfile; }
    // The networks of the last successful scan, as the unit named them.
    const std::vector<std::string>& networkList() const { return m_networkList; }

    bool setSsid(const std::string& utf8, bool send) { return setKey("ssid", utf8, send); }
    bool setSsidCustom(const std::string& utf8, bool send) { return setKey("ssid_custom", utf8, send); }
    bool setAuthentication(int code, bool send) { return setKey("authentication", code, send); }
    bool setAuthenticationCustom(int code, bool send) { return setKey("authentication_custom", code, send); }
    bool setPassphrase(const std::string& utf8, bool send) { return setKey("passphrase", utf8, send); }
    bool setDataConnection(bool on, bool send) { return setKey("data_connection", on, send); }
    bool setNetworkQuality(int quality, bool send) { return setKey("network_quality", quality, send); }
    bool setAjbProfile(int profile, bool send) { return setKey("ajb_profile", profile, send); }

    bool setSsidFromString(const std::string& utf8) { return parseKey("ssid", utf8); }
    bool setSsidCustomFromString(const std::string& utf8) { return parseKey("ssid_custom", utf8); }
    bool setAuthenticationFromString(const std::string& text) { return parseKey("authentication", text); }
    bool setAuthenticationCustomFromString(const std::string& text) { return parseKey("authentication_custom", text); }
    bool setPassphraseFromString(const std::string& utf8) { return parseKey("passphrase", utf8); }
    bool setDataConnectionFromString(const std::string& text) { return parseKey("data_connection", text); }
    bool setNetworkQualityFromString(const std::string& text) { return parseKey("network_quality", text); }
    bool setAjbProfileFromString(const std::string& text) { return parseKey("ajb_profile", text); }
    bool setSignalQualityFromString(const std::string& text);

    bool refreshSsid() { return refreshKey("ssid"); }
    bool refreshSsidCustom() { return refreshKey("ssid_custom"); }
    bool refreshAuthentication() { return refreshKey("authentication"); }
    bool refreshAuthenticationCustom() { return refreshKey("authentication_custom"); }
    bool refreshPassphrase() { return refreshKey("passphrase"); }
    bool refreshDataConnection() { return refreshKey("data_connection"); }
    bool refreshNetworkQuality() { return refreshKey("network_quality"); }
    bool refreshAjbProfile() { return refreshKey("ajb_profile"); }

    // Asks the unit for the networks in range; a failed scan keeps the last list.
    bool scanNetworks();

    bool handleInfo(const TCommand& info) override;
    bool handleEvent(const TCommand& event) override;
    bool attach(const std::string& network, unsigned flags, bool makeDefault) override;

protected:
    const ParamKeys& keyTable() const override;

private:
    // Start values are the key table's.
    std::string m_ssid;
    std::string m_ssidCustom;
    std::string m_localAddr;
    int m_authentication;
    int m_authenticationCustom;
    std::string m_passphrase;
    bool m_dataConnection;
    int m_dataConnectionState;
    int m_signalQuality;
    int m_networkQuality;
    int m_ajbProfile;
    std::vector<std::string> m_networkList; // not a key: kept by reset()
};
