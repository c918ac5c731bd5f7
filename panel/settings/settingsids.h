#pragma once

// Temporary: coding and audio ids until the frame's id header lands.
namespace settings {
enum : int {
    CodingMenu = 2,
    AudioMenu = 3,
    Codec1Item = 98,
    Codec2Item = 99,
    AutoBitRateItem = 100,
    AlgorithmItem = 101,
    ChannelModeItem = 102,
    SamplingRateItem = 103,
    BitRateItem = 104,
    RelayItem = 105,
    AutoAdaptItem = 106,
    AdaptPolicyItem = 107,
    MinimumBitRateItem = 108,
    MaximumBitRateItem = 109,
    InputLimiterItem = 110,
    InputFormatItem = 111,
    KnobFunctionItem = 112,
    OperationModeItem = 113,
    MonitoringItem = 114,
    SideToneItem = 115,
    IntercomItem = 116,
    DynamicProcessingItem = 117,
    LimiterThresholdItem = 118,
    CompressorThresholdItem = 119,
    CompressorRatioItem = 120,
    AttackTimeItem = 121,
    Aes67StateItem = 122,
    RavennaItem = 123,
};
}
