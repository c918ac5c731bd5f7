#pragma once

#include "link/valuetext.h"
#include "model/tcombaseconnection.h"

#include <string>

// The codec number of GSM, the coordination line's codec.
constexpr int kGsmCodec = 17;

// One audio call of the unit: a program line (kind 0 or 1) or the
// coordination line (kind 2), which always runs with GSM. It follows the
// unit's call events that carry its id and places, accepts and clears the
// call; every change is told to the device it is attached to.
class TComAudioConnection : public TComBaseConnection
{
public:
    enum State { Idle = 0, SettingUp = 1, Connected = 2, Disconnected = 3, Ended = 4 };
    enum Status {
        NoStatus = 0,
        Calling = 1,
        Accepted = 2,
        AutoRedial = 3,
        Proceeding = 4,
        Ringing = 5, // also "received"; counted in ringCount
        Active = 6,
        Negotiating = 7,
        WaitingForSync = 8,
        Synchronised = 9,
        SyncLost = 10,
        DisconnectedStatus = 11,
        Released = 12,
        Error = 13,
        Lost = 14
    };
    enum Direction { NoDirection = -1, Outgoing = 0, Incoming = 1 };

    // Figures of a "rx-quality-report"; netQuality -1 until one came.
    struct RxStatistics
    {
        int netQuality = -1;
        int duration = 0; // seconds
        int packetsTotal = 0;
        int packetsLost = 0;
        int packetsDiscarded = 0;
        int packetsDuplicated = 0;
        int packetsReordered = 0;
        int jitterAverage = 0; // milliseconds
        int jitterMaximum = 0;
        int bufferCurrent = 0; // jitter-buffer latency, milliseconds
        int bufferMark = 0;    // its initial latency
    };
    // Figures of a "tx-quality-report".
    struct TxStatistics
    {
        int netQuality = -1;
        int duration = 0;
        int packetsTotal = 0;
        int packetsLost = 0;
        int jitterAverage = 0;
        int jitterMaximum = 0;
    };

    // Line 0 and 1 are the program lines, any other the coordination line.
    TComAudioConnection(zel::CCom* session, int line);

    // Also takes the device's codec mode.
    void attach(TComDevice* device) override;
    void reset() override;
    bool handleEvent(const TCommand& event) override;

    // The one place state and status change. Statuses 5 and 9 count as a
    // change every time. False when a receiver had the connection destroyed.
    bool setState(int state, int status);
    // Follows a call the unit already runs.
    bool start(int direction, int id, const std::string& network);
    void clearRemoteAddresses();
    // Up to four comma-separated numbers or addresses, one per channel; an
    // empty piece keeps its place.
    void setRemoteAddresses(const std::string& text);
    // Takes the remote addresses of a call event.
    void parseCallInfo(const TCommand& event);

    // Places the call over the interface: 0, or the unit's error number
    // (200 when nothing could be sent or the unit gave no known cause).
    int call(const std::string& network, const std::string& addresses);
    // Accepts the incoming call id.
    bool accept(int id, const std::string& network);
    // Clears this call while it is being set up or connected.
    bool hangUp();

    int direction() const { return m_direction; }
    int status() const { return m_status; }
    int previousStatus() const { return m_previousStatus; }
    bool doubleCodec() const { return m_doubleCodec; }
    bool twoStreams() const { return m_twoStreams; }
    bool relayChannel() const { return m_relayChannel; }
    bool autoBitrate() const { return m_autoBitrate; }
    int ringCount() const { return m_ringCount; }
    const std::string& cause() const { return m_cause; }
    const std::string& remoteAddresses() const { return m_remoteAddresses; }
    // Channel or stream 1 to 4; empty for any other number.
    const std::string& remoteAddress(int channel) const;
    const CodecConfig& rxCodec() const { return m_rxCodec; }
    const CodecConfig& txCodec() const { return m_txCodec; }
    // Stream 0 or 1.
    const RxStatistics& rxStatistics(int stream) const { return m_rxStatistics[stream & 1]; }
    const TxStatistics& txStatistics(int stream) const { return m_txStatistics[stream & 1]; }
    bool relayOutValid() const { return m_relayOutValid; }
    bool relayOut1() const { return m_relayOut1; }
    bool relayOut2() const { return m_relayOut2; }

private:
    bool isCoordinationLine() const { return m_kind == CoordLine; }
    void presetGsm();
    void takeCodecs(const TCommand& event);
    bool takeRelays(const TCommand& event);
    void takeQualityReport(const TCommand& event, bool transmit);
    void joinRemoteAddresses();

    int m_direction = NoDirection;
    int m_status = NoStatus;
    int m_previousStatus = NoStatus;
    bool m_doubleCodec = false; // kept by reset
    bool m_twoStreams = false;
    bool m_relayChannel = false;
    bool m_autoBitrate = false;
    int m_ringCount = 0;
    std::string m_cause;
    std::string m_remoteAddresses;
    std::string m_remoteAddress[4];
    CodecConfig m_rxCodec;
    CodecConfig m_txCodec;
    RxStatistics m_rxStatistics[2];
    TxStatistics m_txStatistics[2];
    bool m_relayOutValid = false;
    bool m_relayOut1 = false;
    bool m_relayOut2 = false;
};
