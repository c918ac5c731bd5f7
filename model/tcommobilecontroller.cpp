#include "model/tcommobilecontroller.h"

#include "link/ccom.h"
#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"
#include "model/tcomethernetcontroller.h"

namespace {

const char* const kModeWords[] = {"gsm_voice", "data"};
const char* const kRatWords[] = {"auto", "only UMTS", "only GSM", "UMTS first", "GSM first",
                                 "only GSM UMTS", "only LTE", "only LTE 5G", "only 5G"};
const char* const kAuthenticationWords[] = {"", "PAP", "CHAP"};
const char* const kConnectionStateWords[] = {"", "failure", "processing", "active"};

constexpr KeyWords kModes = keyWords(kModeWords, 0, -1);
constexpr KeyWords kRats = keyWords(kRatWords, 0, -1);
constexpr KeyWords kAuthentications = keyWords(kAuthenticationWords, 0, 0);
constexpr KeyWords kConnectionStates = keyWords(kConnectionStateWords, 0, 0);

constexpr int kTimeoutMs = 5000;
// The modem looks for the chosen operator before it answers.
constexpr int kSelectOperatorMs = 6000;
constexpr int kPlmnWriteMs = 60000;

unsigned optionOfKey(const std::string& key)
{
    if (key == "echo_cancel")
        return TComMobileController::EchoCancelOption;
    if (key == "noise_gate")
        return TComMobileController::NoiseGateOption;
    if (key == "diversity")
        return TComMobileController::DiversityOption;
    return 0;
}

} // namespace

std::string mobileRatName(int rat) { return kRats.name(rat); }
int mobileRatFromName(const std::string& name) { return kRats.code(name); }
std::string mobileAuthenticationName(int code) { return kAuthentications.name(code); }
int mobileAuthenticationFromName(const std::string& name) { return kAuthentications.code(name); }
const KeyWords& dataConnectionStateWords() { return kConnectionStates; }

int mobileTechnologyFromName(const std::string& name)
{
    if (name.empty())
        return -1;
    for (const char* gsm : {"GSM", "GSM COMPACT", "GPRS", "EDGE"}) {
        if (name == gsm)
            return 0;
    }
    if (name == "LTE")
        return 2;
    return name == "5G" ? 3 : 1;
}

int mobileSignalFromText(const std::string& text)
{
    return fromString<int>(text.substr(0, text.find_first_of(" dBm")));
}

TComMobileController::TComMobileController(zel::CCom* session)
    : TComNetworkController(session, MobileType)
{
    restoreStartValues();
}

const ParamKeys& TComMobileController::keyTable() const
{
    using M = TComMobileController;
    // In the order refresh() asks for them; the keys after "ajb_profile" are
    // read only when asked for.
    static const ParamKeys& table = *new ParamKeys{
        key<&M::m_mode>("mode", kModes).skipUnset().startsAt(-1),
        key<&M::m_manufacturer>("manufacturer").readOnly(),
        key<&M::m_model>("model").readOnly(),
        key<&M::m_revision>("revision").readOnly(),
        key<&M::m_imei>("imei").readOnly(),
        key<&M::m_imsi>("imsi").readOnly(),
        key<&M::m_echoCancel>("echo_cancel").parsedBy(&M::setEchoCancelFromString),
        key<&M::m_noiseGate>("noise_gate").parsedBy(&M::setNoiseGateFromString),
        key<&M::m_diversity>("diversity").parsedBy(&M::setDiversityFromString),
        key<&M::m_rat>("rat", kRats).skipUnset().startsAt(-1),
        key<&M::m_plmn>("plmn").parsedBy(&M::setPlmnFromString).writtenBy(&M::plmnText),
        key<&M::m_pinPersistent>("pin_persistent"),
        key<&M::m_apn>("apn"),
        key<&M::m_msisdn>("msisdn").readOnly(),
        key<&M::m_dataConnection>("data_connection"),
        key<&M::m_dataConnectionState>("data_connection_state", kConnectionStates).readOnly(),
        key<&M::m_username>("username"),
        key<&M::m_password>("password"),
        key<&M::m_authentication>("authentication", kAuthentications),
        key<&M::m_networkQuality>("network_quality", networkQualityWords()).skipUnset().startsAt(-1),
        key<&M::m_ajbProfile>("ajb_profile", ajbProfileWords())
            .skipUnset()
            .startsAt(-1)
            .readAboveFirmware(kAjbProfileFirmware),
        key<&M::m_operatorLong>("operator_long")
            .readOnly()
            .notRefreshed()
            .parsedBy(&M::setOperatorLongFromString),
        key<&M::m_operatorShort>("operator_short")
            .readOnly()
            .notRefreshed()
            .parsedBy(&M::setOperatorShortFromString),
        // Both signal keys fill the one field.
        key<&M::m_signalQuality>("signal_quality")
            .readOnly()
            .notRefreshed()
            .parsedBy(&M::setSignalQualityFromString),
        key<&M::m_signalQuality>("signal_quality_dbm")
            .readOnly()
            .notRefreshed()
            .parsedBy(&M::setSignalQualityFromString),
        key<&M::m_technology>("technology")
            .readOnly()
            .notRefreshed()
            .startsAt(-1)
            .parsedBy(&M::setTechnologyFromString),
    };
    return table;
}

bool TComMobileController::sendValues(int, const ValueMap& values)
{
    return setParams(values, true, values.count("plmn") ? kPlmnWriteMs : kTimeoutMs);
}

bool TComMobileController::selectOperator(const std::string& text, bool send)
{
    // Compared as it would be stored: choosing "auto" while the choice is
    // still unknown (empty) must reach the unit.
    const std::string plmn = text.empty() ? std::string("auto") : text;
    if (plmn == m_plmn)
        return true;
    if (send && !setParams({{"plmn", plmn}}, true, kSelectOperatorMs))
        return false;
    m_plmn = plmn;
    return true;
}

bool TComMobileController::setPlmnFromString(const std::string& text)
{
    setKey("plmn", text.empty() ? std::string("auto") : text, false);
    return true;
}

// A choice never read is automatic, as the unit reads an empty one: never
// written as an empty text that would read back as another value.
std::string TComMobileController::plmnText() const
{
    return m_plmn.empty() ? std::string("auto") : m_plmn;
}

bool TComMobileController::parseOption(const std::string& key, const std::string& text)
{
    setKey(key, text == "on", false);
    m_optionMask |= optionOfKey(key);
    return true;
}

bool TComMobileController::refreshOption(const std::string& key)
{
    if (readParams({key}))
        return true;
    m_optionMask &= ~optionOfKey(key);
    return false;
}

bool TComMobileController::setOperatorLongFromString(const std::string& text)
{
    // A cause text in place of the name ("123-not registered") is no operator.
    if (controllerStateFromReply(text) == Ready)
        m_operatorLong = text;
    return true;
}

bool TComMobileController::setOperatorShortFromString(const std::string& text)
{
    if (controllerStateFromReply(text) == Ready)
        m_operatorShort = text;
    return true;
}

bool TComMobileController::setSignalQualityFromString(const std::string& text)
{
    m_signalQuality = mobileSignalFromText(text);
    return true;
}

bool TComMobileController::setTechnologyFromString(const std::string& text)
{
    m_technology = mobileTechnologyFromName(text);
    return true;
}

bool TComMobileController::readParams(const std::vector<std::string>& keys)
{
    ValueMap errors;
    if (!readKeys(keys, &errors))
        return false;
    // An option the unit refuses to tell is one it does not offer.
    for (const auto& refused : errors)
        m_optionMask &= ~optionOfKey(refused.first);
    return true;
}

int TComMobileController::enterPin(const std::string& pin, int timeoutMs)
{
    TCommand request = networkRequest(true);
    request.setParam("pin", pin);
    TCommand reply;
    // A refused PIN comes back as the session's follow-up with the unit's text.
    if (!helper.finalReply(request, reply, timeoutMs))
        return PinFailed;
    if (*reply.param(wire::key::return_()) == wire::reply::ok())
        return PinAccepted;
    std::string cause = *reply.param("pin");
    if (cause.empty())
        cause = *reply.param(wire::key::cause());
    if (cause == wire::unitError::wrongPassword())
        return PinWrong;
    if (cause == wire::unitError::pukRequired()) {
        setState(SimLocked);
        return PukRequired;
    }
    return PinFailed;
}

bool TComMobileController::queryState(int& state)
{
    state = Attached;
    if (!helper.canRequest())
        return false;
    ValueMap values;
    ValueMap errors;
    getParams({"pin", "registration_state"}, values, errors, true);
    const auto pin = values.find("pin");
    const auto registration = values.find("registration_state");
    // Judged by the keys asked for: keys the unit echoes are no answer.
    if (pin == values.end() && registration == values.end()) {
        if (errors.empty())
            return false;
        const auto refused = errors.find("pin");
        if (refused != errors.end())
            state = controllerStateFromReply(refused->second);
        return true;
    }
    // The link files a registration cause ("123-not registered") as a
    // refusal of that key; it still is the registration state.
    std::string registered = registration != values.end() ? registration->second : std::string();
    if (registration == values.end()) {
        const auto cause = errors.find("registration_state");
        if (cause != errors.end())
            registered = cause->second;
    }
    if (pin != values.end() && pin->second == "ready" && !registered.empty())
        state = controllerStateFromReply(registered);
    return true;
}

bool TComMobileController::handleInfo(const TCommand& info)
{
    const std::string& type = *info.param(wire::key::infoType());
    const std::string& source = *info.param(wire::key::infoSource());
    if (type.empty() || source.empty() || source != network() || type != wire::event::networkInfo())
        return false;
    const std::string& operatorLong = *info.param("operator_long");
    const std::string& registration = *info.param("registration_state");
    setTechnologyFromString(*info.param("technology"));
    setSignalQualityFromString(*info.param("signal_quality"));

    int state = Attached;
    if (!registration.empty())
        state = controllerStateFromReply(registration);
    // A cause text where the operator's name belongs says more than the registration.
    if ((state == Ready || state == NotRegistered) && !operatorLong.empty())
        state = controllerStateFromReply(operatorLong);
    if (state == Ready) {
        m_operatorLong = operatorLong;
        m_operatorShort = *info.param("operator_short");
    } else {
        m_operatorLong.clear();
        m_operatorShort.clear();
    }
    setState(state);
    return true;
}

bool TComMobileController::handleEvent(const TCommand& event)
{
    const std::string& type = *event.param(wire::key::eventType());
    const std::string& network = *event.param(wire::key::network());
    if (type.empty() || network.empty() || network != this->network()
        || (type != wire::event::defaultNetwork() && type != wire::event::configInfo()))
        return false;
    const std::string& mode = *event.param(wire::key::networkMode());
    if (!mode.empty())
        setModeFromString(mode);
    return true;
}

bool TComMobileController::attach(const std::string& network, unsigned flags, bool makeDefault)
{
    if (!TComNetworkController::attach(network, flags, makeDefault))
        return false;
    int state = Attached;
    queryState(state);
    setState(state);
    m_optionMask = 0;
    if (flags & 2u)
        queryOptions();
    return true;
}

void TComMobileController::queryOptions()
{
    // Each offered word of a list sets firstBit << its code; a list the unit
    // refuses gives the options every modem has.
    static const struct {
        const char* key;
        const KeyWords& words;
        int firstCode;
        unsigned firstBit;
        unsigned fallback;
    } lists[] = {
        {"mode", kModes, 0, VoiceModeOption, VoiceModeOption | DataModeOption},
        // "auto", "only UMTS", "only GSM" and "only LTE"
        {"rat", kRats, 0, FirstRatOption, FirstRatOption << 0 | FirstRatOption << 1 | FirstRatOption << 2
                                              | FirstRatOption << 6},
        {"authentication", kAuthentications, 1, PapOption >> 1, 0},
    };
    for (const auto& list : lists) {
        // A scratch list: items of a list that fails half-way offer nothing.
        std::vector<std::string> items;
        if (!getList(list.key, items, true)) {
            m_optionMask |= list.fallback;
            continue;
        }
        for (const std::string& item : items) {
            for (int code = list.firstCode; code < list.words.count; ++code) {
                if (item == list.words.words[code])
                    m_optionMask |= list.firstBit << code;
            }
        }
    }
}
