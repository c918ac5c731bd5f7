#pragma once

#include "model/tcomnetworkcontroller.h"

#include <string>
#include <vector>

// Words of the mobile keys. A rat code outside 1..8 is written "auto", an
// authentication code other than 1 and 2 as the empty text; an unknown rat
// word reads as -1, an unknown authentication word as 0.
std::string mobileRatName(int rat);              // "auto" "only UMTS" ... "only 5G"
int mobileRatFromName(const std::string& name);
std::string mobileAuthenticationName(int code);  // "" "PAP" "CHAP"
int mobileAuthenticationFromName(const std::string& name);
// "failure" 1, "processing" 2, "active" 3, anything else 0; shared with Wi-Fi.
const KeyWords& dataConnectionStateWords();

// The radio generation a "technology" word names: -1 none, 0 GSM family,
// 1 any other (3G), 2 LTE, 3 5G.
int mobileTechnologyFromName(const std::string& name);
// The number in front of an optional unit: "-71 dBm" and "-71" give -71.
int mobileSignalFromText(const std::string& text);

// Mirrors one mobile interface of the unit: the modem, the SIM and its PIN,
// the registration and operator, the signal and radio technology and the
// data-connection settings. Its state follows the SIM/PIN and registration
// state the unit reports (states 0..6); it never emits controllerParamChanged.
class TComMobileController : public TComNetworkController
{
    Q_OBJECT
public:
    enum Mode { VoiceMode = 0, DataMode = 1 };

    // Bits of optionMask(): what the unit offers.
    enum Option : unsigned {
        EchoCancelOption = 0x1,
        NoiseGateOption = 0x2,
        DiversityOption = 0x8,
        VoiceModeOption = 0x10,
        DataModeOption = 0x20,
        FirstRatOption = 0x40,   // rat code n: FirstRatOption << n
        PapOption = 0x8000,
        ChapOption = 0x10000
    };

    // enterPin() results.
    enum PinResult { PinAccepted = 0, PinFailed = -1, PinWrong = -2, PukRequired = -3 };

    explicit TComMobileController(zel::CCom* session);

    int mode() const { return m_mode; }
    const std::string& manufacturer() const { return m_manufacturer; }
    const std::string& model() const { return m_model; }
    const std::string& revision() const { return m_revision; }
    const std::string& plmn() const { return m_plmn; }
    const std::string& operatorLong() const { return m_operatorLong; }
    const std::string& operatorShort() const { return m_operatorShort; }
    const std::string& apn() const { return m_apn; }
    const std::string& imei() const { return m_imei; }
    const std::string& imsi() const { return m_imsi; }
    const std::string& msisdn() const { return m_msisdn; }
    const std::string& username() const { return m_username; }
    const std::string& password() const { return m_password; }
    unsigned optionMask() const { return m_optionMask; }
    int signalQuality() const { return m_signalQuality; }
    int technology() const { return m_technology; }
    bool diversity() const { return m_diversity; }
    bool echoCancel() const { return m_echoCancel; }
    bool noiseGate() const { return m_noiseGate; }
    bool pinPersistent() const { return m_pinPersistent; }
    bool dataConnection() const { return m_dataConnection; }
    int dataConnectionState() const { return m_dataConnectionState; }
    int rat() const { return m_rat; }
    int authentication() const { return m_authentication; }
    int networkQuality() const { return m_networkQuality; }
    int ajbProfile() const { return m_ajbProfile; }

    bool setMode(int mode, bool send) { return setKey("mode", mode, send); }
    bool setRat(int rat, bool send) { return setKey("rat", rat, send); }
    bool setPinPersistent(bool on, bool send) { return setKey("pin_persistent", on, send); }
    bool setApn(const std::string& text, bool send) { return setKey("apn", text, send); }
    bool setDataConnection(bool on, bool send) { return setKey("data_connection", on, send); }
    bool setUsername(const std::string& text, bool send) { return setKey("username", text, send); }
    bool setPassword(const std::string& text, bool send) { return setKey("password", text, send); }
    bool setAuthentication(int code, bool send) { return setKey("authentication", code, send); }
    bool setNetworkQuality(int quality, bool send) { return setKey("network_quality", quality, send); }
    bool setAjbProfile(int profile, bool send) { return setKey("ajb_profile", profile, send); }
    bool setDiversity(bool on, bool send) { return setKey("diversity", on, send); }
    bool setEchoCancel(bool on, bool send) { return setKey("echo_cancel", on, send); }
    bool setNoiseGate(bool on, bool send) { return setKey("noise_gate", on, send); }
    // The preferred operator; an empty text chooses "auto". The unit may take
    // a while to look for the operator, so the request waits 6 s.
    bool selectOperator(const std::string& text, bool send);

    bool setModeFromString(const std::string& text) { return parseKey("mode", text); }
    bool setRatFromString(const std::string& text) { return parseKey("rat", text); }
    bool setPlmnFromString(const std::string& text);
    bool setPinPersistentFromString(const std::string& text) { return parseKey("pin_persistent", text); }
    bool setApnFromString(const std::string& text) { return parseKey("apn", text); }
    bool setDataConnectionFromString(const std::string& text) { return parseKey("data_connection", text); }
    bool setUsernameFromString(const std::string& text) { return parseKey("username", text); }
    bool setPasswordFromString(const std::string& text) { return parseKey("password", text); }
    bool setAuthenticationFromString(const std::string& text) { return parseKey("authentication", text); }
    bool setNetworkQualityFromString(const std::string& text) { return parseKey("network_quality", text); }
    bool setAjbProfileFromString(const std::string& text) { return parseKey("ajb_profile", text); }
    // The three option switches also mark their option as offered.
    bool setDiversityFromString(const std::string& text) { return parseOption("diversity", text); }
    bool setEchoCancelFromString(const std::string& text) { return parseOption("echo_cancel", text); }
    bool setNoiseGateFromString(const std::string& text) { return parseOption("noise_gate", text); }
    bool setSignalQualityFromString(const std::string& text);
    bool setTechnologyFromString(const std::string& text);

    bool refreshMode() { return refreshKey("mode"); }
    bool refreshRat() { return refreshKey("rat"); }
    bool refreshPlmn() { return refreshKey("plmn"); }
    bool refreshPinPersistent() { return refreshKey("pin_persistent"); }
    bool refreshApn() { return refreshKey("apn"); }
    bool refreshDataConnection() { return refreshKey("data_connection"); }
    bool refreshUsername() { return refreshKey("username"); }
    bool refreshPassword() { return refreshKey("password"); }
    bool refreshAuthentication() { return refreshKey("authentication"); }
    bool refreshNetworkQuality() { return refreshKey("network_quality"); }
    bool refreshAjbProfile() { return refreshKey("ajb_profile"); }
    // A failed read also marks the option as not offered.
    bool refreshDiversity() { return refreshOption("diversity"); }
    bool refreshEchoCancel() { return refreshOption("echo_cancel"); }
    bool refreshNoiseGate() { return refreshOption("noise_gate"); }

    // PinResult: accepted, wrong PIN, PUK required (state 5), or failed.
    int enterPin(const std::string& pin, int timeoutMs);
    // The state the unit's SIM/PIN and registration stand for; 1 when unknown.
    bool queryState(int& state);

    bool readParams(const std::vector<std::string>& keys) override;
    bool handleInfo(const TCommand& info) override;
    bool handleEvent(const TCommand& event) override;
    // Flags bit 0 loads every key, bit 1 asks which options the unit offers.
    bool attach(const std::string& network, unsigned flags, bool makeDefault) override;

protected:
    const ParamKeys& keyTable() const override;
    bool sendValues(int group, const ValueMap& values) override;

private:
    bool parseOption(const std::string& key, const std::string& text);
    bool refreshOption(const std::string& key);
    bool setOperatorLongFromString(const std::string& text);
    bool setOperatorShortFromString(const std::string& text);
    std::string plmnText() const;
    void queryOptions();

    // Start values are the key table's.
    int m_mode;
    std::string m_manufacturer;
    std::string m_model;
    std::string m_revision;
    std::string m_plmn;
    std::string m_operatorLong;
    std::string m_operatorShort;
    std::string m_apn;
    std::string m_imei;
    std::string m_imsi;
    std::string m_msisdn;
    std::string m_username;
    std::string m_password;
    unsigned m_optionMask = 0; // not a key: kept by reset()
    int m_signalQuality;
    int m_technology;
    bool m_diversity;
    bool m_echoCancel;
    bool m_noiseGate;
    bool m_pinPersistent;
    bool m_dataConnection;
    int m_dataConnectionState;
    int m_rat;
    int m_authentication;
    int m_networkQuality;
    int m_ajbProfile;
};
