#ifndef KANDELO_LINK_RPCMESSAGE_H
#define KANDELO_LINK_RPCMESSAGE_H

// One RPC message and its frame on the wire:
//
//   offset  size  field
//   0       8     magic "ORVARpcM"
//   8       4     length: 24 + body length
//   12      4     id (-1 travels as FF FF FF FF)
//   16      4     type
//   20      4     errorCode
//   24      ...   body: the command text, no terminator
//
// All header words are 32-bit little-endian.

#include "link/tcommand.h"

#include <QByteArray>
#include <QtGlobal>

#include <string>

class RpcConnection;

// The eight bytes every frame starts with.
extern const char rpcFrameMagic[8];

class RpcMessage
{
public:
    enum Type : quint32 {
        Invalid = 0,     // not a message; never framed or sent
        Request = 1,
        Reply = 2,       // the outcome is in the reply's "return"
        ErrorReply = 3,  // the header's errorCode is the failure code
        Signal = 4       // unsolicited event or information from the unit
    };

    static constexpr int HeaderSize = 24;
    // Longer frames are refused: a peer must not make us allocate gigabytes.
    static constexpr quint32 MaxFrameLength = 16u * 1024u * 1024u;

    RpcMessage() = default;
    RpcMessage(qint32 id, quint32 type, qint32 errorCode, const TCommand& command);

    static RpcMessage createRequest(const TCommand& command);
    static RpcMessage createRequest(quint32 id, const TCommand& command);
    static RpcMessage createSignal(const TCommand& command);
    static RpcMessage createSignal(quint32 id, const TCommand& command);
    static RpcMessage createReply(const RpcMessage& request, const TCommand& command);
    static RpcMessage createErrorReply(const RpcMessage& request, quint32 errorCode);

    // The frame, or an empty array for a type-0 message or an unwritable
    // command.
    static QByteArray toFrame(const RpcMessage& message);
    // A default message (type 0) when the bytes are not one complete frame;
    // an empty command when the body does not parse.
    static RpcMessage fromFrame(const QByteArray& frame);
    // The frame of a header and an already written body text.
    static QByteArray frame(qint32 id, quint32 type, qint32 errorCode, const std::string& body);

    qint32 id() const { return m_id; }
    qint32 errorCode() const { return m_errorCode; }
    quint32 type() const { return m_type; }
    const TCommand& command() const { return m_command; }
    TCommand& command() { return m_command; }

    void setId(qint32 id) { m_id = id; }
    void setErrorCode(qint32 errorCode) { m_errorCode = errorCode; }
    void setType(quint32 type) { m_type = type; }
    void setCommand(const TCommand& command) { m_command = command; }

private:
    qint32 m_id = -1;
    qint32 m_errorCode = 0;
    quint32 m_type = Invalid;
    TCommand m_command;
};

// Cuts a TCP byte stream into frames and hands each complete one to its
// owner's parserReady. Embedded in the connection; one heap block per frame,
// freed as soon as the frame is handed on.
struct RpcFrameReader
{
    enum State {
        Idle = 0,
        ReadingHeader = 1,
        ReadingBody = 2,
        OutOfMemory = -1,  // stopped until reset
        BadFrame = -2      // stopped after a bad magic or an oversized length
    };

    RpcConnection* owner = nullptr;  // null: frames and errors are dropped
    qint32 state = Idle;
    quint32 filled = 0;              // bytes of the current frame so far
    quint32 size = 0;                // bytes the current stage needs
    char* buffer = nullptr;
    quint32 generation = 0;          // bumped by every reset: stale input stops

    RpcFrameReader() = default;
    RpcFrameReader(const RpcFrameReader&) = delete;
    RpcFrameReader& operator=(const RpcFrameReader&) = delete;
    ~RpcFrameReader() { free(); }

    // Bytes that complete the current stage (a new header when idle); 0 once
    // stopped. Input of at most this size never runs past a frame's end.
    quint32 wanted() const;

    void init(RpcConnection* owner);
    void reset(int state, bool freeBuffer);
    void clear();
    void free();
    void feed(const char* data, quint32 count);

private:
    void fail(int newState);
    void deliver();
};

#endif
