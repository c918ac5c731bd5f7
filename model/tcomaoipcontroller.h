#pragma once

#include "model/tcomnetworkcontroller.h"

#include <string>
#include <vector>

class TComAoIPController;

// One SIP account of the AoIP board. Texts are held as the unit's UTF-8 bytes. An account never sends by itself: its values reach the unit
// through the controller's writeParams.
struct TComSipAccount
{
    explicit TComSipAccount(int number) : number(number) {}

    // Empties the texts and the registration; the number stays.
    void clear();

    // Store and answer true; the send flag has no effect (see owner).
    bool setRegistrar(const std::string& value, bool) { return registrar = value, true; }
    bool setUser(const std::string& value, bool) { return user = value, true; }
    bool setDisplayName(const std::string& value, bool) { return displayName = value, true; }
    bool setAuthUser(const std::string& value, bool) { return authUser = value, true; }
    bool setPassword(const std::string& value, bool) { return password = value, true; }

    TComAoIPController* owner = nullptr; // never set, so the send flag has no effect
    int number;                          // 1 or 2: the keys of account 2 end in "2"
    bool registered = false;             // the unit reported "registered"
    std::string stateCause;              // why another state, as the unit said it
    std::string registrar;               // host, optionally ":port"
    std::string user;
    std::string displayName;
    std::string authUser;
    std::string password;                // in clear; travels as a token
};

// Mirrors the unit's audio-over-IP board (network "aoip"): operating mode,
// stream pattern, SIP, direct-RTP and STUN parameters, the NAT detection
// result and two SIP accounts with their registration.
//
// It announces nothing of its own; the device model announces registration
// changes after handleInfo. Setters store without a signal; a number below a
// key's least value is answered true and neither stored nor sent.
class TComAoIPController : public TComNetworkController
{
    Q_OBJECT
public:
    enum AudioMode { Sip = 0, Rtp = 1, Multicast = 2 };
    enum StreamPattern { Pattern1To1 = 0, Pattern1To2 = 1, Pattern2To3 = 2, Pattern1To3 = 3 };
    enum NatType {
        NatUnknown = 0,
        NatFailure = 1,
        NatOpen = 2,
        NatBlocked = 3,
        NatSymmetricUdp = 4,
        NatFullCone = 5,
        NatSymmetric = 6,
        NatRestricted = 7,
        NatPortRestricted = 8
    };

    explicit TComAoIPController(zel::CCom* session);

    int audioMode() const { return m_audioMode; }
    int streamPattern() const { return m_streamPattern; }
    bool doubleCodec() const { return m_doubleCodec; }
    bool doubleStream() const { return m_doubleStream; }
    bool jitterab() const { return m_jitterab; }
    bool sipMode() const { return m_sipMode; }
    bool sipAcceptCalls() const { return m_sipAcceptCalls; }
    bool sipCheckCalls() const { return m_sipCheckCalls; }
    bool sipUseUport2() const { return m_sipUseUport2; }
    bool sipSessionTimers() const { return m_sipSessionTimers; }
    bool drtpAcceptCalls() const { return m_drtpAcceptCalls; }
    bool drtpSendOnly() const { return m_drtpSendOnly; }
    bool stunMode() const { return m_stunMode; }
    int sipDefAccount() const { return m_sipDefAccount; }
    int sipKeepAliveInterval() const { return m_sipKeepAliveInterval; }
    int sipKeepAliveTarget() const { return m_sipKeepAliveTarget; }
    int sipReRegisterTimeout() const { return m_sipReRegisterTimeout; }
    int sipUdpPort() const { return m_sipUdpPort; }
    int rtpStartPort() const { return m_rtpStartPort; }
    int drtpRtpPort() const { return m_drtpRtpPort; }
    int drtpReleaseTimeout() const { return m_drtpReleaseTimeout; }
    int rtpTos() const { return m_rtpTos; }
    int ecmBfShift() const { return m_ecmBfShift; }
    int stunNatType() const { return m_stunNatType; }
    const std::string& aoipVersion() const { return m_aoipVersion; }
    const std::string& stunServer() const { return m_stunServer; }
    const std::string& publicAddr() const { return m_publicAddr; }
    const std::string& sipProxy() const { return m_sipProxy; }
    TComSipAccount& account1() { return m_account1; }
    TComSipAccount& account2() { return m_account2; }
    const TComSipAccount& account1() const { return m_account1; }
    const TComSipAccount& account2() const { return m_account2; }

    bool setAudioMode(int mode, bool send) { return setKey("audio_mode", mode, send); }
    bool setStreamPattern(int pattern, bool send) { return setKey("stream_pattern", pattern, send); }
    bool setDoubleCodec(bool on, bool send) { return setKey("double_codec", on, send); }
    bool setDoubleStream(bool on, bool send) { return setKey("double_stream", on, send); }
    bool setJitterab(bool on, bool send) { return setKey("jitterab", on, send); }
    bool setSipMode(bool on, bool send) { return setKey("sip_mode", on, send); }
    bool setSipAcceptCalls(bool on, bool send) { return setKey("sip_acc_calls", on, send); }
    bool setSipCheckCalls(bool on, bool send) { return setKey("sip_chk_calls", on, send); }
    bool setSipUseUport2(bool on, bool send) { return setKey("sip_use_uport2", on, send); }
    bool setSipProxy(const std::string& text, bool send) { return setKey("sip_proxy", text, send); }
    bool setSipDefAccount(int account, bool send) { return setKey("sip_def_account", account, send); }
    bool setSipKeepAliveInterval(int seconds, bool send) { return setKey("SIP_KA_INTERVAL", seconds, send); }
    bool setSipKeepAliveTarget(int target, bool send) { return setKey("SIP_KA_TARGET", target, send); }
    bool setSipReRegisterTimeout(int seconds, bool send) { return setKey("SIP_RE_REG_TO", seconds, send); }
    bool setSipUdpPort(int port, bool send) { return setKey("SIP_UDP_PORT", port, send); }
    bool setRtpStartPort(int port, bool send) { return setKey("RTP_START_PORT", port, send); }
    bool setSipSessionTimers(bool on, bool send) { return setKey("sip_sess_timers", on, send); }
    bool setDrtpAcceptCalls(bool on, bool send) { return setKey("drtp_acc_calls", on, send); }
    bool setDrtpSendOnly(bool on, bool send) { return setKey("drtp_send_only", on, send); }
    bool setDrtpRtpPort(int port, bool send) { return setKey("drtp_rtp_port", port, send); }
    bool setDrtpReleaseTimeout(int seconds, bool send) { return setKey("drtp_rel_timeout", seconds, send); }
    bool setStunMode(bool on, bool send) { return setKey("stun_mode", on, send); }
    bool setStunServer(const std::string& text, bool send) { return setKey("stun_server", text, send); }
    bool setRtpTos(int tos, bool send) { return setKey("rtp_tos", tos, send); }
    bool setEcmBfShift(int shift, bool send) { return setKey("MP_ECM_BF_SHIFT", shift, send); }

    // Leaves the registration information and restores every field but
    // the board's version; the RTP start port then is 5006.
    void reset() override;
    // Settable keys with the interface's name, the status keys without, in
    // that order; a failed first read skips the second.
    bool readParams(const std::vector<std::string>& keys) override;
    // "sip_registration" and "sip_registration2".
    bool handleInfo(const TCommand& info) override;
    // Ready at once, subscribed to both registrations.
    bool attach(const std::string& network, unsigned flags, bool makeDefault) override;

protected:
    enum Group { SettingsGroup = 0, StatusGroup = 1 };

    const ParamKeys& keyTable() const override;
    int fetchValues(int group, const std::vector<std::string>& keys, ValueMap& values,
                    ValueMap& errors) override;

private:
    bool parseKeepAliveTarget(const std::string& text);
    bool parseState1(const std::string& text);
    bool parseState2(const std::string& text);

    // Start values are the key table's.
    int m_audioMode;
    int m_streamPattern;
    bool m_doubleCodec;
    bool m_doubleStream;
    bool m_jitterab;
    bool m_sipMode;
    bool m_sipAcceptCalls;
    bool m_sipCheckCalls;
    bool m_sipUseUport2;
    bool m_sipSessionTimers;
    bool m_drtpAcceptCalls;
    bool m_drtpSendOnly;
    bool m_stunMode;
    int m_sipDefAccount;
    int m_sipKeepAliveInterval;
    int m_sipKeepAliveTarget;
    int m_sipReRegisterTimeout;
    int m_sipUdpPort;
    int m_rtpStartPort;
    int m_drtpRtpPort;
    int m_drtpReleaseTimeout;
    int m_rtpTos;
    int m_ecmBfShift;
    int m_stunNatType;
    TComSipAccount m_account1{1};
    TComSipAccount m_account2{2};
    std::string m_aoipVersion;
    std::string m_stunServer;
    std::string m_publicAddr;
    std::string m_sipProxy;
};
