#pragma once

#include "model/tcomcontroller.h"

#include <string>

// Mirror of the unit's analog and digital audio settings (target "audio"):
// input gains and switches, output levels, limiter and compressor, input
// source, sound identification and the port pairings. Kept current by the
// unit's "audio_changeset" information; every stored change but the audio
// profile is announced with controllerParamChanged.
class TAudioSettings : public TComController
{
    Q_OBJECT
public:
    enum CtlrParam {
        Input1Gain = 0,
        Input1Power,
        Input1Limiter,
        Input2Gain,
        Input2Power,
        Input2Limiter,
        Input2Pair,
        Input3Gain,
        Input3Power,
        Input3Level,
        Input3Limiter,
        Input3Filter,
        Input3Pad,
        Input4Gain,
        Input4Level,
        Input4Limiter,
        Input4Filter,
        Input4Pad,
        Input4Pair,
        LineOutputLevel,
        LineOutput2Level,
        LimiterThreshold,
        InputSource,
        WaveFile,
        WaveShortcut,
        DrcState,
        DrcLimThreshold,
        DrcThresholdCmp,
        DrcRatio,
        DrcAttack,
        AuxPair,
        AesPair,
        RavInPair,
        RavOutPair,
        LinePair
    };
    Q_ENUM(CtlrParam)

    enum Source { Analog = 0, Digital = 1 };

    explicit TAudioSettings(zel::CCom* session);

    bool auxiliaryBoard() const { return m_auxiliaryBoard; }
    const std::string& audioProfile() const { return m_audioProfile; }
    int input1Gain() const { return m_input1Gain; }
    bool input1Power() const { return m_input1Power; }
    bool input1Limiter() const { return m_input1Limiter; }
    int input2Gain() const { return m_input2Gain; }
    bool input2Power() const { return m_input2Power; }
    bool input2Limiter() const { return m_input2Limiter; }
    bool input2Pair() const { return m_input2Pair; }
    int input3Gain() const { return m_input3Gain; }
    bool input3Power() const { return m_input3Power; }
    int input3Level() const { return m_input3Level; }
    bool input3Limiter() const { return m_input3Limiter; }
    bool input3Filter() const { return m_input3Filter; }
    bool input3Pad() const { return m_input3Pad; }
    int input4Gain() const { return m_input4Gain; }
    int input4Level() const { return m_input4Level; }
    bool input4Limiter() const { return m_input4Limiter; }
    bool input4Filter() const { return m_input4Filter; }
    bool input4Pad() const { return m_input4Pad; }
    bool input4Pair() const { return m_input4Pair; }
    int lineOutputLevel() const { return m_lineOutputLevel; }
    int lineOutput2Level() const { return m_lineOutput2Level; }
    int limiterThreshold() const { return m_limiterThreshold; }
    int inputSource() const { return m_inputSource; }
    const std::string& waveFile() const { return m_waveFile; }
    bool waveShortcut() const { return m_waveShortcut; }
    bool drcState() const { return m_drcState; }
    int drcLimThreshold() const { return m_drcLimThreshold; }
    int drcThresholdCmp() const { return m_drcThresholdCmp; }
    float drcRatio() const { return m_drcRatio; }
    int drcAttack() const { return m_drcAttack; }
    bool auxPair() const { return m_auxPair; }
    bool aesPair() const { return m_aesPair; }
    bool ravInPair() const { return m_ravInPair; }
    bool ravOutPair() const { return m_ravOutPair; }
    bool linePair() const { return m_linePair; }

    // With send the unit gets the value first and a refusal keeps the old
    // one; a key the unit's firmware lacks is stored without being sent.
    bool setAudioProfile(const std::string& profile, bool send) { return setKey("audio_profile", profile, send); }
    bool setInput1Gain(int gain, bool send) { return setKey("input1_gain", gain, send); }
    bool setInput1Power(bool on, bool send) { return setKey("input1_power", on, send); }
    bool setInput1Limiter(bool on, bool send) { return setKey("input1_limiter", on, send); }
    bool setInput2Gain(int gain, bool send) { return setKey("input2_gain", gain, send); }
    bool setInput2Power(bool on, bool send) { return setKey("input2_power", on, send); }
    bool setInput2Limiter(bool on, bool send) { return setKey("input2_limiter", on, send); }
    bool setInput2Pair(bool on, bool send) { return setKey("input2_pair", on, send); }
    bool setInput3Gain(int gain, bool send) { return setKey("input3_gain", gain, send); }
    bool setInput3Power(bool on, bool send) { return setKey("input3_power", on, send); }
    bool setInput3Level(int level, bool send) { return setKey("input3_level", level, send); }
    bool setInput3Limiter(bool on, bool send) { return setKey("input3_limiter", on, send); }
    bool setInput3Filter(bool on, bool send) { return setKey("input3_filter", on, send); }
    bool setInput3Pad(bool on, bool send) { return setKey("input3_pad", on, send); }
    bool setInput4Gain(int gain, bool send) { return setKey("input4_gain", gain, send); }
    bool setInput4Level(int level, bool send) { return setKey("input4_level", level, send); }
    bool setInput4Limiter(bool on, bool send) { return setKey("input4_limiter", on, send); }
    bool setInput4Filter(bool on, bool send) { return setKey("input4_filter", on, send); }
    bool setInput4Pad(bool on, bool send) { return setKey("input4_pad", on, send); }
    bool setInput4Pair(bool on, bool send) { return setKey("input4_pair", on, send); }
    bool setLineOutputLevel(int level, bool send) { return setKey("line_output_level", level, send); }
    bool setLineOutput2Level(int level, bool send) { return setKey("line_output2_level", level, send); }
    bool setLimiterThreshold(int threshold, bool send) { return setKey("limiter_threshold", threshold, send); }
    // 1 digital, anything else analog.
    bool setInputSource(int source, bool send) { return setKey("input_source", source, send); }
    // The sound-identification file; empty switches it off.
    bool setWaveFile(const std::string& path, bool send) { return setKey("wave_file", path, send); }
    bool setWaveShortcut(bool on, bool send) { return setKey("wave_scut", on, send); }
    bool setDrcState(bool on, bool send) { return setKey("drc_state", on, send); }
    bool setDrcLimThreshold(int threshold, bool send) { return setKey("drc_lim_threshold", threshold, send); }
    bool setDrcThresholdCmp(int threshold, bool send) { return setKey("drc_threshold_cmp", threshold, send); }
    bool setDrcRatio(float ratio, bool send) { return setKey("drc_ratio_cmp", ratio, send); }
    // 0, 1 or 2.
    bool setDrcAttack(int attack, bool send) { return setKey("drc_attack", attack, send); }
    bool setAuxPair(bool on, bool send) { return setKey("aux_pair", on, send); }
    bool setAesPair(bool on, bool send) { return setKey("aes_pair", on, send); }
    bool setRavInPair(bool on, bool send) { return setKey("rav_in_pair", on, send); }
    bool setRavOutPair(bool on, bool send) { return setKey("rav_ou_pair", on, send); }
    bool setLinePair(bool on, bool send) { return setKey("line_pair", on, send); }

    // Unsubscribes from "audio_changeset" and restores the start values
    // silently; the auxiliary board flag stays.
    void reset() override;
    // This model writes through its setters only: always false.
    bool writeParams(const std::vector<std::string>& keys) override;
    // Applies an "audio_changeset" information; other types are not ours.
    bool handleInfo(const TCommand& info) override;

    // Resets a loaded model, reads every key (with read) without announcing
    // single values, goes ready and subscribes to "audio_changeset".
    bool load(bool read);
    // Every known key of the map to its field, unknown ones skipped. True.
    bool applyReply(const ValueMap& values) { return applyValues(values); }
    bool sendValue(const std::string& key, const std::string& value);
    bool sendNumber(const std::string& key, int value);

signals:
    void controllerParamChanged(TComController* controller, TAudioSettings::CtlrParam param);

protected:
    const ParamKeys& keyTable() const override;
    bool sendValues(int group, const ValueMap& values) override;
    int fetchValues(int group, const std::vector<std::string>& keys, ValueMap& values,
                    ValueMap& errors) override;
    void paramChanged(int index) override;

private:
    // "1" and "2" are themselves; any other text is 0.
    bool parseDrcAttack(const std::string& text);

    // Start values are the key table's.
    bool m_auxiliaryBoard = false;
    std::string m_audioProfile;
    int m_input1Gain;
    bool m_input1Power;
    bool m_input1Limiter;
    int m_input2Gain;
    bool m_input2Power;
    bool m_input2Limiter;
    bool m_input2Pair;
    int m_input3Gain;
    bool m_input3Power;
    int m_input3Level;
    bool m_input3Limiter;
    bool m_input3Filter;
    bool m_input3Pad;
    int m_input4Gain;
    int m_input4Level;
    bool m_input4Limiter;
    bool m_input4Filter;
    bool m_input4Pad;
    bool m_input4Pair;
    int m_lineOutputLevel;
    int m_lineOutput2Level;
    int m_limiterThreshold;
    int m_inputSource;
    std::string m_waveFile;
    bool m_waveShortcut;
    bool m_drcState;
    int m_drcLimThreshold;
    int m_drcThresholdCmp;
    float m_drcRatio;
    int m_drcAttack;
    bool m_auxPair;
    bool m_aesPair;
    bool m_ravInPair;
    bool m_ravOutPair;
    bool m_linePair;
};

// The process-wide audio settings, made on first use with the session of
// frontPanelCom() and destroyed at exit.
TAudioSettings* frontPanelAudioSettings();
