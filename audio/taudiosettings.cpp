#include "audio/taudiosettings.h"

#include "link/frontpanelcom.h"
#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"

namespace {

const char* const kSourceWords[] = {"analog", "digital"};
constexpr KeyWords kSources = keyWords(kSourceWords, 0, 0);

// Firmware that first has the second line output, the input source and the
// sound identification; then its shortcut; then the port pairings.
constexpr std::uint32_t kSoundIdFirmware = 0x106FF;
constexpr std::uint32_t kShortcutFirmware = 0x109FF;
constexpr std::uint32_t kPairFirmware = 0x1FFFF;

} // namespace

TAudioSettings* frontPanelAudioSettings()
{
    static TAudioSettings settings(frontPanelCom());
    return &settings;
}

TAudioSettings::TAudioSettings(zel::CCom* session)
    : TComController(session, AudioType)
{
    restoreStartValues();
}

const ParamKeys& TAudioSettings::keyTable() const
{
    using A = TAudioSettings;
    const KeyWire power = KeyWire::onOff("48V", "off");
    // In the order refresh() asks for them.
    static const ParamKeys& table = *new ParamKeys{
        key<&A::m_auxiliaryBoard>("auxiliary_board", KeyWire::onOff("yes", "no")).readOnly().keptOnReset(),
        key<&A::m_audioProfile>("audio_profile"),
        key<&A::m_input1Gain>("input1_gain", Input1Gain),
        key<&A::m_input1Power>("input1_power", power, Input1Power),
        key<&A::m_input1Limiter>("input1_limiter", Input1Limiter),
        key<&A::m_input2Gain>("input2_gain", Input2Gain),
        key<&A::m_input2Power>("input2_power", power, Input2Power),
        key<&A::m_input2Limiter>("input2_limiter", Input2Limiter),
        key<&A::m_input3Gain>("input3_gain", Input3Gain),
        key<&A::m_input3Power>("input3_power", power, Input3Power),
        key<&A::m_input3Level>("input3_level", Input3Level),
        key<&A::m_input3Limiter>("input3_limiter", Input3Limiter),
        key<&A::m_input3Filter>("input3_filter", Input3Filter),
        key<&A::m_input3Pad>("input3_pad", Input3Pad),
        key<&A::m_input4Gain>("input4_gain", Input4Gain),
        key<&A::m_input4Level>("input4_level", Input4Level),
        key<&A::m_input4Limiter>("input4_limiter", Input4Limiter),
        key<&A::m_input4Filter>("input4_filter", Input4Filter),
        key<&A::m_input4Pad>("input4_pad", Input4Pad),
        key<&A::m_lineOutputLevel>("line_output_level", LineOutputLevel).startsAt(16),
        key<&A::m_limiterThreshold>("limiter_threshold", LimiterThreshold).startsAt(-9),
        key<&A::m_drcState>("drc_state", DrcState),
        key<&A::m_drcLimThreshold>("drc_lim_threshold", DrcLimThreshold).startsAt(-2),
        key<&A::m_drcThresholdCmp>("drc_threshold_cmp", DrcThresholdCmp).startsAt(-3),
        key<&A::m_drcRatio>("drc_ratio_cmp", DrcRatio).startsAt(2.0),
        key<&A::m_drcAttack>("drc_attack", DrcAttack).parsedBy(&A::parseDrcAttack),
        key<&A::m_lineOutput2Level>("line_output2_level", LineOutput2Level)
            .startsAt(16)
            .readAboveFirmware(kSoundIdFirmware)
            .sendAboveFirmware(kSoundIdFirmware),
        key<&A::m_inputSource>("input_source", kSources, InputSource)
            .readAboveFirmware(kSoundIdFirmware)
            .sendAboveFirmware(kSoundIdFirmware),
        key<&A::m_waveFile>("wave_file", WaveFile)
            .readAboveFirmware(kSoundIdFirmware)
            .sendAboveFirmware(kSoundIdFirmware),
        key<&A::m_waveShortcut>("wave_scut", WaveShortcut)
            .readAboveFirmware(kShortcutFirmware)
            .sendAboveFirmware(kShortcutFirmware),
        // Older firmware does not report the pairings but takes them.
        key<&A::m_input2Pair>("input2_pair", Input2Pair).readAboveFirmware(kPairFirmware),
        key<&A::m_input4Pair>("input4_pair", Input4Pair).readAboveFirmware(kPairFirmware),
        key<&A::m_auxPair>("aux_pair", AuxPair).readAboveFirmware(kPairFirmware),
        key<&A::m_aesPair>("aes_pair", AesPair).readAboveFirmware(kPairFirmware),
        key<&A::m_ravInPair>("rav_in_pair", RavInPair).readAboveFirmware(kPairFirmware),
        key<&A::m_ravOutPair>("rav_ou_pair", RavOutPair).readAboveFirmware(kPairFirmware),
        key<&A::m_linePair>("line_pair", LinePair).readAboveFirmware(kPairFirmware),
    };
    return table;
}

void TAudioSettings::reset()
{
    helper.unsubscribe(wire::event::audioChangeset());
    TComController::reset();
}

bool TAudioSettings::writeParams(const std::vector<std::string>&)
{
    return false;
}

bool TAudioSettings::handleInfo(const TCommand& info)
{
    const std::string& type = *info.param(wire::key::infoType(), true);
    if (type.empty() || type != wire::event::audioChangeset())
        return false;
    applyValues(info.params);
    return true;
}

bool TAudioSettings::load(bool read)
{
    if (!loadQuietly([&] { return !read || refresh(); }))
        return false;
    helper.subscribe(wire::event::audioChangeset());
    return true;
}

bool TAudioSettings::sendValue(const std::string& key, const std::string& value)
{
    return setTargetValues(wire::target::audio(), {{key, value}});
}

bool TAudioSettings::sendNumber(const std::string& key, int value)
{
    return sendValue(key, toString(value));
}

bool TAudioSettings::sendValues(int, const ValueMap& values)
{
    return setTargetValues(wire::target::audio(), values);
}

int TAudioSettings::fetchValues(int, const std::vector<std::string>& keys, ValueMap& values, ValueMap& errors)
{
    return getTargetValues(wire::target::audio(), keys, values, errors);
}

void TAudioSettings::paramChanged(int index)
{
    emit controllerParamChanged(this, static_cast<CtlrParam>(index));
}

bool TAudioSettings::parseDrcAttack(const std::string& text)
{
    setDrcAttack(text == "1" ? 1 : text == "2" ? 2 : 0, false);
    return true;
}
