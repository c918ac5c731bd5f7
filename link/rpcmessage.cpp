#include "link/rpcmessage.h"

#include "link/rpcconnection.h"

#include <QtEndian>

#include <cstdlib>
#include <cstring>
#include <string>

const char rpcFrameMagic[8] = {'O', 'R', 'V', 'A', 'R', 'p', 'c', 'M'};

namespace {

void putWord(char* at, quint32 value)
{
    qToLittleEndian<quint32>(value, at);
}

quint32 wordAt(const char* at)
{
    return qFromLittleEndian<quint32>(at);
}

} // namespace

RpcMessage::RpcMessage(qint32 id, quint32 type, qint32 errorCode, const TCommand& command)
    : m_id(id), m_errorCode(errorCode), m_type(type), m_command(command)
{
}

RpcMessage RpcMessage::createRequest(const TCommand& command)
{
    return RpcMessage(-1, Request, 0, command);
}

RpcMessage RpcMessage::createRequest(quint32 id, const TCommand& command)
{
    return RpcMessage(qint32(id), Request, 0, command);
}

RpcMessage RpcMessage::createSignal(const TCommand& command)
{
    return RpcMessage(-1, Signal, 0, command);
}

RpcMessage RpcMessage::createSignal(quint32 id, const TCommand& command)
{
    return RpcMessage(qint32(id), Signal, 0, command);
}

RpcMessage RpcMessage::createReply(const RpcMessage& request, const TCommand& command)
{
    return RpcMessage(request.id(), Reply, 0, command);
}

RpcMessage RpcMessage::createErrorReply(const RpcMessage& request, quint32 errorCode)
{
    return RpcMessage(request.id(), ErrorReply, qint32(errorCode), TCommand());
}

QByteArray RpcMessage::toFrame(const RpcMessage& message)
{
    if (message.type() == Invalid)
        return QByteArray();
    std::string body;
    if (message.command().verb != TCommand::NoVerb
        && TCommand::write(message.command(), body) != 0)
        return QByteArray();
    return frame(message.id(), message.type(), message.errorCode(), body);
}

QByteArray RpcMessage::frame(qint32 id, quint32 type, qint32 errorCode, const std::string& body)
{
    QByteArray out(HeaderSize + qsizetype(body.size()), Qt::Uninitialized);
    char* p = out.data();
    std::memcpy(p, rpcFrameMagic, sizeof rpcFrameMagic);
    putWord(p + 8, quint32(HeaderSize + body.size()));
    putWord(p + 12, quint32(id));
    putWord(p + 16, type);
    putWord(p + 20, quint32(errorCode));
    if (!body.empty())
        std::memcpy(p + HeaderSize, body.data(), body.size());
    return out;
}

RpcMessage RpcMessage::fromFrame(const QByteArray& frame)
{
    RpcMessage message;
    if (frame.size() < HeaderSize)
        return message;
    const char* p = frame.constData();
    if (std::memcmp(p, rpcFrameMagic, sizeof rpcFrameMagic) != 0)
        return message;
    const quint32 length = wordAt(p + 8);
    const quint32 type = wordAt(p + 16);
    // The length field must be covered by the bytes we hold.
    if (length < quint32(HeaderSize) || quint64(length) > quint64(frame.size()) || type < Request
        || type > Signal)
        return message;
    message.m_id = qint32(wordAt(p + 12));
    message.m_type = type;
    message.m_errorCode = qint32(wordAt(p + 20));
    if (length == quint32(HeaderSize))
        return message;
    TCommand command;
    if (TCommand::parse(std::string(p + HeaderSize, length - HeaderSize), command) == 0)
        message.m_command = command;
    return message;
}

quint32 RpcFrameReader::wanted() const
{
    if (state == ReadingHeader || state == ReadingBody)
        return buffer && size > filled ? size - filled : quint32(RpcMessage::HeaderSize);
    return state == Idle ? quint32(RpcMessage::HeaderSize) : 0;
}

void RpcFrameReader::init(RpcConnection* newOwner)
{
    owner = newOwner;
    clear();
}

void RpcFrameReader::reset(int newState, bool freeBuffer)
{
    if (freeBuffer)
        free();
    ++generation;
    filled = 0;
    size = 0;
    state = newState;
}

void RpcFrameReader::clear()
{
    reset(Idle, true);
}

void RpcFrameReader::free()
{
    std::free(buffer);
    buffer = nullptr;
}

void RpcFrameReader::fail(int newState)
{
    free();
    filled = 0;
    size = 0;
    state = newState;
    if (owner)
        owner->notifyErrorOccurred(RpcConnection::FrameError);
}

void RpcFrameReader::deliver()
{
    // The owner may reset us (or spin an event loop) while handling the
    // frame; take the block first so the reader is consistent meanwhile.
    char* frame = buffer;
    const quint32 frameSize = size;
    buffer = nullptr;
    filled = 0;
    size = 0;
    state = Idle;
    if (owner)
        owner->parserReady(frame, frameSize);
    std::free(frame);
}

void RpcFrameReader::feed(const char* data, quint32 count)
{
    if (count == 0 || !data)
        return;
    while (count > 0 && (state == Idle || state == ReadingHeader || state == ReadingBody)) {
        if (state != Idle && (!buffer || size == 0))
            state = Idle;  // reset to a reading state without a frame begun
        if (state == Idle) {
            // A reset that kept the buffer may leave one behind; reuse it.
            char* block = static_cast<char*>(std::realloc(buffer, RpcMessage::HeaderSize));
            if (!block) {
                fail(OutOfMemory);
                return;
            }
            buffer = block;
            size = RpcMessage::HeaderSize;
            filled = 0;
            state = ReadingHeader;
        }
        const quint32 take = qMin(size - filled, count);
        std::memcpy(buffer + filled, data, take);
        filled += take;
        data += take;
        count -= take;
        if (filled < size)
            return;
        if (state == ReadingHeader) {
            if (std::memcmp(buffer, rpcFrameMagic, sizeof rpcFrameMagic) != 0) {
                fail(BadFrame);
                return;
            }
            const quint32 length = wordAt(buffer + 8);
            if (length > RpcMessage::MaxFrameLength) {
                fail(BadFrame);
                return;
            }
            if (length > quint32(RpcMessage::HeaderSize)) {
                char* block = static_cast<char*>(std::realloc(buffer, length));
                if (!block) {
                    fail(OutOfMemory);
                    return;
                }
                buffer = block;
                size = length;
                state = ReadingBody;
                continue;
            }
        }
        // A receiver may reset the reader (a disconnect); the rest of this
        // input then belongs to a link that is gone.
        const quint32 before = generation;
        deliver();
        if (generation != before)
            return;
    }
}
