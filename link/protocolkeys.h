#ifndef KANDELO_LINK_PROTOCOLKEYS_H
#define KANDELO_LINK_PROTOCOLKEYS_H

// The words of the unit's command language: keys, targets, actions, reply
// words, event and information types, codec and channel-mode names, rates
// and the unit's error texts.
//
// Each word is reached through a function, e.g. wire::key::target() or
// wire::unitError::timeout(). The whole table is built on first use (and
// forced before main) and never destroyed, so the words are safe to use from
// any static initialiser and from destructors that run at exit.
//
// Naming: the word in camelCase; words that are C++ keywords get a trailing
// underscore (wire::key::return_()). A few words exist twice on purpose (the
// unit's vocabulary repeats them); equal texts are the same word on the wire.

#include <cstddef>
#include <string>
#include <vector>

#define KANDELO_WIRE_KEYS(X) \
    X(key, action, "action") \
    X(key, cause, "cause") \
    X(key, causeInfo, "cause_info") \
    X(key, return_, "return") \
    X(key, id, "id") \
    X(key, target, "target") \
    X(key, network, "network") \
    X(key, networkMode, "network_mode") \
    X(key, cat, "cat") \
    X(key, eventType, "event_type") \
    X(key, infoType, "info_type") \
    X(key, infoSource, "info_source") \
    X(key, progress, "progress") \
    X(key, type, "type") \
    X(key, state, "state") \
    X(key, mode, "mode") \
    X(key, password, "password") \
    X(key, info, "info") \
    X(key, codec, "codec") \
    X(key, codecRx, "codec_rx") \
    X(key, codecTx, "codec_tx") \
    X(key, alg, "alg") \
    X(key, bitrate, "bitrate") \
    X(key, samplerate, "samplerate") \
    X(key, mode2, "mode") \
    X(key, errorc, "errorc") \
    X(key, codecMode, "codec_mode") \
    X(key, coordMode, "coord_mode") \
    X(key, dstreamMode, "dstream_mode") \
    X(key, dcodec1, "dcodec_1") \
    X(key, dcodecTx1, "dcodec_tx_1") \
    X(key, dcodecRx1, "dcodec_rx_1") \
    X(key, dcodec2, "dcodec_2") \
    X(key, dcodecTx2, "dcodec_tx_2") \
    X(key, dcodecRx2, "dcodec_rx_2") \
    X(key, commLink, "comm_link") \
    X(key, remoteAddr, "remote_addr") \
    X(key, remoteAddr2, "remote_addr2") \
    X(key, remoteAddr3, "remote_addr3") \
    X(key, remoteAddr4, "remote_addr4") \
    X(key, localAddr, "local_addr") \
    X(key, localAddr2, "local_addr2") \
    X(key, info2, "info") \
    X(key, name, "name") \
    X(key, cmd, "cmd") \
    X(key, relayIn, "relay_in") \
    X(key, relayOut, "relay_out") \
    X(key, coordLine, "coord_line") \
    X(key, stunNatType, "stun_nat_type") \
    X(key, publicAddr, "public_addr") \
    X(key, publicPort, "public_port") \
    X(key, path, "path") \
    X(key, secondsTotal, "seconds_total") \
    X(key, secondsPassed, "seconds_passed") \
    X(key, secondsRemaining, "seconds_remaining") \
    X(key, markBeginSec, "mark_begin_sec") \
    X(key, markEndSec, "mark_end_sec") \
    X(key, markBeginByte, "mark_begin_byte") \
    X(key, markEndByte, "mark_end_byte") \
    X(key, maxBandwidth, "max_bandwidth") \
    X(key, extInput1, "ext_input1") \
    X(key, extInput2, "ext_input2") \
    X(key, extInput3, "ext_input3") \
    X(key, extInput4, "ext_input4") \
    X(key, extInput5, "ext_input5") \
    X(key, extInput6, "ext_input6") \
    X(key, extRelay1, "ext_relay1") \
    X(key, extRelay2, "ext_relay2") \
    X(key, extRelay3, "ext_relay3") \
    X(key, extRelay4, "ext_relay4") \
    X(key, extRelay5, "ext_relay5") \
    X(key, extRelay6, "ext_relay6") \
    X(key, extRelay7, "ext_relay7") \
    X(key, extRelay8, "ext_relay8") \
    X(key, digiIn1, "digi_in1") \
    X(key, digiIn2, "digi_in2") \
    X(key, digiIn3, "digi_in3") \
    X(key, digiIn4, "digi_in4") \
    X(key, digiIn5, "digi_in5") \
    X(key, digiIn6, "digi_in6") \
    X(key, digiIn7, "digi_in7") \
    X(key, digiIn8, "digi_in8") \
    X(key, link1, "link1") \
    X(key, link2, "link2")

#define KANDELO_WIRE_TARGETS(X) \
    X(target, keys, "keys") \
    X(target, network, "network") \
    X(target, audio, "audio") \
    X(target, ui, "ui") \
    X(target, general, "general") \
    X(target, db, "db") \
    X(target, ip, "ip") \
    X(target, eth, "eth") \
    X(target, mobile, "mobile") \
    X(target, wifi, "wifi") \
    X(target, isdn, "isdn") \
    X(target, pots, "pots") \
    X(target, ll, "ll") \
    X(target, hwtest, "hwtest")

#define KANDELO_WIRE_ACTIONS(X) \
    X(action, con, "con") \
    X(action, conacc, "conacc") \
    X(action, sendUserInfo, "send_user_info") \
    X(action, dcon, "dcon") \
    X(action, reboot, "reboot") \
    X(action, shutdown, "shutdown") \
    X(action, reinit, "reinit") \
    X(action, subscribe, "subscribe") \
    X(action, unsubscribe, "unsubscribe") \
    X(action, create, "create") \
    X(action, delete_, "delete") \
    X(action, update, "update") \
    X(action, rename, "rename") \
    X(action, open, "open") \
    X(action, load, "load") \
    X(action, call, "call") \
    X(action, import_, "import") \
    X(action, export_, "export") \
    X(action, reset, "reset") \
    X(action, validate, "validate") \
    X(action, changeRelayIn, "change_relay_in") \
    X(action, changeRelayOut, "change_relay_out") \
    X(action, changeAlarmOut, "change_alarm_out") \
    X(action, changeWatchdogOut, "change_watchdog_out") \
    X(action, systemUpdate, "system_update") \
    X(action, start, "start") \
    X(action, stop, "stop") \
    X(action, play, "play") \
    X(action, record, "record") \
    X(action, fforward, "fforward") \
    X(action, rewind, "rewind") \
    X(action, setMark, "set_mark") \
    X(action, send, "send") \
    X(action, stopUpload, "stop_upload") \
    X(action, display, "display") \
    X(action, changeUsb, "change_usb")

#define KANDELO_WIRE_REPLIES(X) \
    X(reply, progress, "PROGRESS") \
    X(reply, ok, "OK") \
    X(reply, nok, "NOK") \
    X(reply, error, "ERROR")

#define KANDELO_WIRE_EVENTS(X) \
    X(event, hardwareFailure, "0000-hardware failure") \
    X(event, hardwareUnplugged, "0000-hardware unplugged") \
    X(event, configInfo, "config info") \
    X(event, aoipConfig, "aoip_config") \
    X(event, stunInfo, "stun_info") \
    X(event, callInfo, "9900-call info") \
    X(event, codecInformation, "codec_information") \
    X(event, callProceeding, "0100-call proceeding") \
    X(event, callAlerting, "0200-call alerting") \
    X(event, callRing, "call ring") \
    X(event, callReceived, "0600-call received") \
    X(event, callActive, "1000-call active") \
    X(event, userInfo, "user_info") \
    X(event, txQualityReport, "tx-quality-report") \
    X(event, rxQualityReport, "rx-quality-report") \
    X(event, callDisconnected, "1200-call disconnected") \
    X(event, callReleased, "1900-call released") \
    X(event, callLost, "1901-call lost") \
    X(event, callError, "1902-call error") \
    X(event, callAutoRedial, "call auto redial") \
    X(event, dataConnected, "data connected") \
    X(event, dataDisconnected, "data disconnected") \
    X(event, defaultNetwork, "default_network") \
    X(event, secondaryNetwork, "secondary_network") \
    X(event, defaultCodec, "default_codec") \
    X(event, codecChange, "codec_change") \
    X(event, dspStatus, "dsp_status") \
    X(event, recStatus, "rec_status") \
    X(event, channelRequest, "channel_request") \
    X(event, bganDetected, "bgan_detected") \
    X(event, bganState, "bgan_state") \
    X(event, relayIn, "relay_in") \
    X(event, relayOut, "relay_out") \
    X(event, digiIn, "digi_in") \
    X(event, remoteCmd, "remote_cmd") \
    X(event, textMessage, "text_message") \
    X(event, restartRequired, "restart_required") \
    X(event, systemUpdate, "system_update") \
    X(event, rebooting, "rebooting") \
    X(event, shuttingdown, "shuttingdown") \
    X(event, uploadState, "upload_state") \
    X(event, knownKeys, "known_keys") \
    X(event, alarm, "alarm") \
    X(event, controlLink, "control_link") \
    X(event, display, "display") \
    X(event, dataConRequest, "data_con_request") \
    X(event, dataDconRequest, "data_dcon_request") \
    X(event, usbDeviceDetect, "usb_device_detect") \
    X(event, batteryLevel, "battery_level") \
    X(event, inputState, "input_state") \
    X(event, inputLimiter, "input_limiter") \
    X(event, signalQuality, "signal_quality") \
    X(event, networkInfo, "network_info") \
    X(event, potsSpeed, "pots_speed") \
    X(event, timeStamp, "time_stamp") \
    X(event, uploadProgress, "upload_progress") \
    X(event, headphoneSource, "headphone_source") \
    X(event, audioChangeset, "audio_changeset") \
    X(event, sipRegistration, "sip_registration") \
    X(event, sipRegistration2, "sip_registration2") \
    X(event, configChangeset, "config_changeset") \
    X(event, alarmPll1, "alarm_pll1") \
    X(event, alarmPll2, "alarm_pll2") \
    X(event, alarmClk1, "alarm_clk1") \
    X(event, alarmClk2, "alarm_clk2") \
    X(event, alarmSlipClk1, "alarm_slip_clk1") \
    X(event, alarmSlipClk2, "alarm_slip_clk2") \
    X(event, alarmDec1, "alarm_dec1") \
    X(event, alarmDec2, "alarm_dec2") \
    X(event, alarmFallbackEnc1, "alarm_fallback_enc1") \
    X(event, alarmFallbackEnc2, "alarm_fallback_enc2") \
    X(event, alarmFallbackDec1, "alarm_fallback_dec1") \
    X(event, alarmFallbackDec2, "alarm_fallback_dec2") \
    X(event, alarmOvl, "alarm_ovl") \
    X(event, alarmTemperature, "alarm_temperature") \
    X(event, alarmVoltage, "alarm_voltage") \
    X(event, alarmAesUnlock, "alarm_aes_unlock") \
    X(event, alarmAesValidity, "alarm_aes_validity") \
    X(event, alarmAesError, "alarm_aes_error") \
    X(event, alarmInternal, "alarm_internal") \
    X(event, alarmExternal, "alarm_external")

#define KANDELO_WIRE_CODECS(X) \
    X(codec, celp, "CELP") \
    X(codec, pcma, "PCMA") \
    X(codec, pcmu, "PCMU") \
    X(codec, g711, "G711") \
    X(codec, g722, "G722") \
    X(codec, g722Srt, "G722-SRT") \
    X(codec, g722H221, "G722-H221") \
    X(codec, g722H242, "G722-H242") \
    X(codec, tdac, "TDAC") \
    X(codec, tdacG722, "TDAC_G722") \
    X(codec, g722Tdac, "G722_TDAC") \
    X(codec, fourSb, "4SB") \
    X(codec, mpa2, "MPA2") \
    X(codec, mpa2p, "MPA2P") \
    X(codec, aacLbr, "AAC-lbr") \
    X(codec, aacHe, "AAC-he") \
    X(codec, aacHev2, "AAC-hev2") \
    X(codec, mpa3, "MPA3") \
    X(codec, gsm, "GSM") \
    X(codec, phone, "Phone") \
    X(codec, opus, "OPUS") \
    X(codec, l16, "L16") \
    X(codec, l20, "L20") \
    X(codec, l24, "L24") \
    X(codec, aacLbrLoas, "AAC-lbr-loas") \
    X(codec, aacHeLoas, "AAC-he-loas") \
    X(codec, aacHev2Loas, "AAC-hev2-loas") \
    X(codec, aacLd, "AAC-ld") \
    X(codec, aacEld, "AAC-eld")

#define KANDELO_WIRE_CHANNEL_MODES(X) \
    X(channelMode, mono, "mono") \
    X(channelMode, dmono, "dmono") \
    X(channelMode, stereo, "stereo") \
    X(channelMode, jstereo, "jstereo")

#define KANDELO_WIRE_RATES(X) \
    X(rate, r8000, "8000") \
    X(rate, r16000, "16000") \
    X(rate, r24000, "24000") \
    X(rate, r27200, "27200") \
    X(rate, r32000, "32000") \
    X(rate, r48000, "48000") \
    X(rate, r56000, "56000") \
    X(rate, r64000, "64000") \
    X(rate, r96000, "96000") \
    X(rate, r128000, "128000") \
    X(rate, r192000, "192000") \
    X(rate, r256000, "256000") \
    X(rate, r320000, "320000") \
    X(rate, r384000, "384000")

#define KANDELO_WIRE_UNIT_ERRORS(X) \
    X(unitError, locationUnavailable, "001-location unavailable") \
    X(unitError, networkUnreachable, "002-network unreachable") \
    X(unitError, wrongFormat, "003-wrong format") \
    X(unitError, invalidFile, "004-invalid file") \
    X(unitError, destinationUnreachable, "005-destination unreachable") \
    X(unitError, fileCorrupted, "006-file corrupted") \
    X(unitError, wrongVersion, "007-wrong version") \
    X(unitError, wrongUnit, "008-wrong unit") \
    X(unitError, sdcardMissing, "009-sdcard missing") \
    X(unitError, simMissing, "010-sim missing") \
    X(unitError, simLocked, "011-sim locked") \
    X(unitError, noGpsFix, "012-no gps fix") \
    X(unitError, notAttached, "013-not attached") \
    X(unitError, pppTimeout, "014-ppp timeout") \
    X(unitError, notAllowed, "015-not allowed") \
    X(unitError, noSignal, "016-no signal") \
    X(unitError, simBusy, "017-sim busy") \
    X(unitError, phSimPin, "018-ph-sim pin") \
    X(unitError, phFsimPin, "019-ph-fsim pin") \
    X(unitError, phFsimPuk, "020-ph-fsim puk") \
    X(unitError, phNetPin, "021-ph-net pin") \
    X(unitError, phNetPuk, "022-ph-net puk") \
    X(unitError, phNetsubPin, "023-ph-netsub pin") \
    X(unitError, phNetsubPuk, "024-ph-netsub puk") \
    X(unitError, phSpPin, "025-ph-sp pin") \
    X(unitError, phSpPuk, "026-ph-sp puk") \
    X(unitError, phCorpPin, "027-ph-corp pin") \
    X(unitError, phCorpPuk, "028-ph-corp puk") \
    X(unitError, wrongPassword, "100-wrong password") \
    X(unitError, parameterNotSet, "101-parameter not set") \
    X(unitError, unknownParameter, "102-unknown parameter") \
    X(unitError, parameterSetError, "103-parameter set error") \
    X(unitError, mandatoryParameterMissing, "104-mandatory parameter missing") \
    X(unitError, invalidValue, "105-invalid value") \
    X(unitError, invalidId, "106-invalid id") \
    X(unitError, noSpaceLeft, "107-no space left") \
    X(unitError, invalidConfig, "108-invalid config") \
    X(unitError, notSupported, "109-not supported") \
    X(unitError, notAvailable, "110-not available") \
    X(unitError, filenameAlreadyExists, "111-filename already exists") \
    X(unitError, fileNotFound, "112-file not found") \
    X(unitError, unknownDestination, "113-unknown destination") \
    X(unitError, unimplemented, "114-unimplemented") \
    X(unitError, resourceBusy, "115-resource busy") \
    X(unitError, invalidState, "116-invalid state") \
    X(unitError, timeout, "117-timeout") \
    X(unitError, resourceUnavailable, "118-resource unavailable") \
    X(unitError, remoteAddressMissing, "119-remote address missing") \
    X(unitError, noConnection, "120-no connection") \
    X(unitError, noIncomingCallPending, "121-no incoming call pending") \
    X(unitError, pinRequired, "122-pin required") \
    X(unitError, notRegistered, "123-not registered") \
    X(unitError, pukRequired, "124-puk required") \
    X(unitError, pin2Required, "125-pin2 required") \
    X(unitError, puk2Required, "126-puk2 required") \
    X(unitError, connectionActive, "127-connection active") \
    X(unitError, loopControlActive, "128-loop control active") \
    X(unitError, mobileDataServiceOff, "129-mobile data service off") \
    X(unitError, mobileDataServiceFailure, "130-mobile data service failure") \
    X(unitError, mobileDataServiceProcessing, "131-mobile data service processing") \
    X(unitError, usbHostConnected, "132-usb host connected") \
    X(unitError, notAvailableOn4G, "133-not available on 4G") \
    X(unitError, noCable, "134-no cable") \
    X(unitError, wifiOff, "135-wifi off") \
    X(unitError, wifiFailure, "136-wifi failure") \
    X(unitError, wifiConnecting, "137-wifi connecting...") \
    X(unitError, accountNotAccepted, "138-account not accepted") \
    X(unitError, incompatibleWithSip1, "139-incompatible with sip1") \
    X(unitError, inconsistantWithSip2, "140-inconsistant with sip2") \
    X(unitError, sip1NotConfigured, "141-sip1_not configured") \
    X(unitError, unknownError, "200-unknown error") \
    X(unitError, hardwareError, "201-hardware error") \
    X(unitError, fileSystemError, "202-file system error") \
    X(unitError, osError, "203-OS error") \
    X(unitError, unknownCommand, "204-unknown command")

#define KANDELO_WIRE_LINK(X) \
    X(link, empty, "") \
    X(link, return_, "return") \
    X(link, returnFmt, "returnFmt") \
    X(link, progress, "PROGRESS") \
    X(link, ok, "OK") \
    X(link, nok, "NOK") \
    X(link, error, "ERROR") \
    X(link, ext, "EXT") \
    X(link, parameterNotSet, "101-parameter not set")

#define KANDELO_WIRE_LINK_EXTRAS(X) \
    X(link, controllerId, "controller_id") \
    X(link, audioLevels, "audio_levels") \
    X(link, get, "GET") \
    X(link, list, "LIST")

#define KANDELO_WIRE_SESSION(X) \
    X(session, empty, "")
// Every list above, in declaration order.
#define KANDELO_WIRE_ALL(X) \
    KANDELO_WIRE_KEYS(X) \
    KANDELO_WIRE_TARGETS(X) \
    KANDELO_WIRE_ACTIONS(X) \
    KANDELO_WIRE_REPLIES(X) \
    KANDELO_WIRE_EVENTS(X) \
    KANDELO_WIRE_CODECS(X) \
    KANDELO_WIRE_CHANNEL_MODES(X) \
    KANDELO_WIRE_RATES(X) \
    KANDELO_WIRE_UNIT_ERRORS(X) \
    KANDELO_WIRE_LINK(X) \
    KANDELO_WIRE_LINK_EXTRAS(X) \
    KANDELO_WIRE_SESSION(X)

namespace wire {

#define KANDELO_WIRE_DECLARE(ns, name, text) \
    namespace ns { const std::string &name(); }
KANDELO_WIRE_ALL(KANDELO_WIRE_DECLARE)
#undef KANDELO_WIRE_DECLARE

// One word of the table, for code that needs to walk all of them.
struct WordEntry
{
    const char *group;   // namespace of the accessor: "key", "target", ...
    const char *name;    // accessor name, e.g. "return_"
    const std::string &(*word)();
};

// All words in declaration order.
const std::vector<WordEntry> &allWords();

} // namespace wire

#endif
