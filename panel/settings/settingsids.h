#pragma once

// Ids of the settings menu. Menu pages and items share one number space: a
// root entry's first page has the entry's id, a sub-menu page the id of the
// link item that opens it. Families served by one builder are given by their
// first and last id; the builder takes the index from the id.
namespace SettingsId {

// --- root entries ----------------------------------------------------------
constexpr int ExitEntry = 0;
constexpr int NetworkEntry = 1;
constexpr int CodingEntry = 2;
constexpr int AudioEntry = 3;
constexpr int BookEntry = 4;
constexpr int ToolsEntry = 5;
constexpr int StatusEntry = 6;

// --- network and interfaces ------------------------------------------------
constexpr int NetworkMenu = 1;
constexpr int DefaultNetworkItem = 7;
constexpr int SecondaryNetworkItem = 8;
constexpr int CodecModeItem = 9;
constexpr int AoipMenu = 10;
constexpr int IsdnMenu = 11;
constexpr int EthernetMenuFirst = 12; // "eth.0" .. "eth.3"
constexpr int EthernetMenuLast = 15;
constexpr int MobileMenuFirst = 16;   // "mobile.0" .. "mobile.3"
constexpr int MobileMenuLast = 19;
constexpr int WifiMenuFirst = 20;     // "wifi.0" .. "wifi.3"
constexpr int WifiMenuLast = 23;
constexpr int DhcpItem = 24;
constexpr int IpAddressItem = 25;
constexpr int SubnetMaskItem = 26;
constexpr int DefaultGatewayItem = 27;
constexpr int PreferredDnsItem = 28;
constexpr int AuxiliaryDnsItem = 29;
constexpr int LinkModeItem = 30;
constexpr int EthernetQualityItem = 31;
constexpr int MacAddressItem = 32;
constexpr int EthernetAjbItem = 33;
constexpr int FiveAsItem = 34;
constexpr int IsdnProtocolItem = 35;
constexpr int LocalNumber1Item = 36;
constexpr int LocalNumber2Item = 37;
constexpr int SubAddress1Item = 38;
constexpr int SubAddress2Item = 39;
constexpr int SpidItem = 40;
constexpr int PinCodeItem = 41;
constexpr int PreferredOperatorItem = 44;
constexpr int WifiActiveItem = 59;
constexpr int NetworkListItem = 60;
constexpr int SsidItem = 61;
constexpr int SecurityItem = 62;
constexpr int PassphraseItem = 63;
constexpr int WifiQualityItem = 64;
constexpr int WifiAjbItem = 65;
constexpr int DefaultProtocolItem = 66;
constexpr int SipAccountMenuFirst = 76;
constexpr int SipAccountMenuLast = 77;
constexpr int AlternateSipPortItem = 83;
constexpr int SipPortItem = 84;

// --- AoIP module (RAVENNA/DANTE) -------------------------------------------
constexpr int RavennaMenu = 123;
constexpr int IpAddressingMenuFirst = 129;
constexpr int IpAddressingMenuLast = 130;
constexpr int InputStreamsMenu = 137;
constexpr int InputStreamMenuFirst = 138;
constexpr int InputStreamMenuLast = 143;
constexpr int StreamChannelItem = 145;
constexpr int OutputStreamMenu = 148;

// --- coding, audio and monitoring ------------------------------------------
constexpr int CodingMenu = 2;
constexpr int AudioMenu = 3;
constexpr int Codec1Menu = 98;
constexpr int Codec2Menu = 99;
constexpr int AutoBitRateMenu = 100;
constexpr int MonitoringMenu = 114;
constexpr int AlgorithmItem = 101;
constexpr int ChannelModeItem = 102;
constexpr int SamplingRateItem = 103;
constexpr int BitRateItem = 104;
constexpr int RelayItem = 105;
constexpr int AutoAdaptItem = 106;
constexpr int AdaptPolicyItem = 107;
constexpr int MinimumBitRateItem = 108;
constexpr int MaximumBitRateItem = 109;
constexpr int InputLimiterItem = 110;
constexpr int InputFormatItem = 111;
constexpr int KnobFunctionItem = 112;
constexpr int OperationModeItem = 113;
constexpr int SideToneItem = 115;
constexpr int IntercomItem = 116;
constexpr int DynamicProcessingItem = 117;
constexpr int LimiterThresholdItem = 118;
constexpr int CompressorThresholdItem = 119;
constexpr int CompressorRatioItem = 120;
constexpr int AttackTimeItem = 121;
constexpr int Aes67StateItem = 122;

// --- book ------------------------------------------------------------------
constexpr int BookMenu = 4;
constexpr int CallProfilesMenu = 173;
constexpr int PresetsMenu = 174;
constexpr int SipProfilesMenu = 175;
constexpr int SnapshotsMenu = 176;
constexpr int NewRecordItem = 177;
constexpr int RecordMenu = 178;      // one stored record; its list is the parent
constexpr int RecordNameItem = 179;
constexpr int ProfileNetworkItem = 180;
constexpr int ProfileAlgorithmItem = 181;
constexpr int ProfileChannelModeItem = 182;
constexpr int ProfileSampleRateItem = 183;
constexpr int ProfileBitRateItem = 184;
constexpr int ProfileRemoteItem = 185;
constexpr int ProfileSecondRemoteItem = 186;
constexpr int LoadRecordItem = 187;
constexpr int UpdateRecordItem = 188;
constexpr int DeleteRecordItem = 189;
constexpr int RecordRowBase = 306;   // a list row is this plus the record's id

// --- tools -----------------------------------------------------------------
constexpr int ToolsMenu = 5;
constexpr int ShutdownItem = 190;
constexpr int RebootItem = 191;
constexpr int AccessLevelItem = 194;
constexpr int SoundIdMenu = 195;
constexpr int SoftkeysMenu = 198;
constexpr int SoftkeyMenuFirst = 199;
constexpr int SoftkeyMenuLast = 205;
constexpr int LabelsMenu = 209;
constexpr int InputLabelItemFirst = 214;
constexpr int InputLabelItemLast = 228;
constexpr int MiscellaneousMenu = 229;
constexpr int TroubleshootingMenu = 241;
constexpr int ResetItem = 244;
constexpr int RemoteAccessMenu = 245;
constexpr int PasswordsMenu = 252;
constexpr int SoundIdItem = 196;       // "Play Sound ID", in menu 5 or 195 by firmware
constexpr int SoundIdShortcutItem = 197;
constexpr int SoftkeyCategoryItem = 206;
constexpr int SoftkeyFunctionItem = 207;
constexpr int SoftkeyModeItem = 208;
constexpr int InfoLabelItemFirst = 210; // 210, 211
constexpr int ContactLabelItemFirst = 212; // 212, 213
constexpr int AutologinItem = 230;
constexpr int GpioInput1Item = 231;
constexpr int GpioInput2Item = 232;
constexpr int GpioRelay1Item = 233;
constexpr int GpioRelay2Item = 234;
constexpr int AutoRedial1Item = 235;
constexpr int AutoRedial2Item = 236;
constexpr int RedialAttemptsItem = 237;
constexpr int RedialTimeItem = 238;
constexpr int NtpServerItem = 239;
constexpr int CustomNtpServerItem = 240;
constexpr int LogLevelItem = 242;
constexpr int SyslogServerItem = 243;
constexpr int RemoteAccessItem = 246;
constexpr int ControlInterfaceItem = 247;
constexpr int RemoteServerItem = 248;
constexpr int RemoteSerialNumberItem = 249;
constexpr int RemoteCodecIdItem = 250;
constexpr int RemoteCodecPasswordItem = 251;
constexpr int AdminPasswordItem = 253;
constexpr int ExpertPasswordItem = 254;
constexpr int OperatorPasswordItem = 255;

// --- status ----------------------------------------------------------------
constexpr int StatusMenu = 6;
constexpr int ConnectionsMenu = 259;
constexpr int Connection1Item = 260;
constexpr int Connection2Item = 261;
constexpr int DetailedStatisticsItem = 268;
constexpr int LatestAoipStatisticsItem = 269;
constexpr int Statistics1Menu = 270;
constexpr int Statistics2Menu = 271;
constexpr int AoipStatusMenu = 279;
constexpr int EthernetStatusItemFirst = 285; // "eth.0" .. "eth.3"
constexpr int EthernetStatusItemLast = 288;
constexpr int MobileStatusMenuFirst = 289;
constexpr int MobileStatusMenuLast = 292;
constexpr int WifiStatusItemFirst = 297;
constexpr int WifiStatusItemLast = 300;
constexpr int ModeStatusItem = 256;
constexpr int Codec1StatusItem = 257;
constexpr int Codec2StatusItem = 258;
constexpr int CallStateItem = 262;
constexpr int CallNetworkItem = 263;
constexpr int CallRemoteAddressItem = 264;
constexpr int QualityHeaderItem = 265;
constexpr int TransmissionQualityItem = 266;
constexpr int ReceptionQualityItem = 267;
constexpr int TxDurationItem = 272;
constexpr int TxPacketsItem = 273;
constexpr int TxJitterItem = 274;
constexpr int RxDurationItem = 275;
constexpr int RxPacketsItem = 276;
constexpr int RxJitterItem = 277;
constexpr int RxBufferItem = 278;
constexpr int ProtocolStatusItem = 280;
constexpr int SipUser1StatusItem = 281;
constexpr int SipUser2StatusItem = 282;
constexpr int PublicIpStatusItem = 283;
constexpr int NatTypeStatusItem = 284;
constexpr int OperatorStatusItem = 293;
constexpr int RadioTechStatusItem = 294;
constexpr int SignalStatusItem = 295;
constexpr int DataServiceStatusItem = 296;
constexpr int SerialNumberItem = 302;
constexpr int FirmwareVersionItem = 303;
constexpr int AoipVersionItem = 304;
constexpr int SoftwareBuildItem = 305;

} // namespace SettingsId
