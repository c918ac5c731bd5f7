// The frame reader cuts an arbitrary byte stream, handed over in arbitrary
// pieces, into exactly the frames a straightforward reading of the format
// gives: in order, none longer than the cap, nothing after a bad header, and
// each piece of input consumed in bounded time.

#include "fuzzcheck.h"

#include "link/rpcconnection.h"
#include "link/rpcmessage.h"
#include "link/tcommand.h"


#include <string>
#include <vector>

namespace {

// What the connection reports for one input, in order.
struct Event
{
    int error = 0;  // errorOccurred code, or 0 for a message
    qint32 id = 0;
    quint32 type = 0;
    std::string body;  // the message's command, written back

    bool operator==(const Event& other) const
    {
        return error == other.error && id == other.id && type == other.type && body == other.body;
    }
};

std::string commandText(const TCommand& command)
{
    std::string text;
    if (TCommand::write(command, text) != 0)
        text = "<unwritable>";
    return text;
}

quint32 le32(const std::string& s, std::size_t at)
{
    return quint32(quint8(s[at])) | quint32(quint8(s[at + 1])) << 8 | quint32(quint8(s[at + 2])) << 16
           | quint32(quint8(s[at + 3])) << 24;
}

// One datagram: fromFrame accepts exactly a whole frame of a known type,
// and what it gives frames and reads back unchanged.
void checkDatagram(const std::string& bytes)
{
    const RpcMessage message = RpcMessage::fromFrame(QByteArray(bytes.data(), qsizetype(bytes.size())));
    const bool whole = bytes.size() >= 24 && bytes.compare(0, 8, std::string(rpcFrameMagic, 8)) == 0
                       && le32(bytes, 8) >= 24 && le32(bytes, 8) <= bytes.size();
    const quint32 type = whole ? le32(bytes, 16) : 0;
    if (!whole || type < RpcMessage::Request || type > RpcMessage::Signal) {
        FUZZ_CHECK(message.type() == RpcMessage::Invalid && message.command().verb == TCommand::NoVerb);
        return;
    }
    FUZZ_CHECK(message.type() == type && message.id() == qint32(le32(bytes, 12))
               && message.errorCode() == qint32(le32(bytes, 20)));
    TCommand body;
    if (le32(bytes, 8) > 24 && TCommand::parse(bytes.substr(24, le32(bytes, 8) - 24), body) == 0)
        FUZZ_CHECK(commandText(message.command()) == commandText(body));
    else
        FUZZ_CHECK(message.command().verb == TCommand::NoVerb);

    const QByteArray again = RpcMessage::toFrame(message);
    if (again.isEmpty())
        return;  // a parsed key the writer refuses
    const RpcMessage back = RpcMessage::fromFrame(again);
    FUZZ_CHECK(back.type() == message.type() && back.id() == message.id()
               && back.errorCode() == message.errorCode());
    FUZZ_CHECK(commandText(back.command()) == commandText(message.command()));
    FUZZ_CHECK(RpcMessage::toFrame(back) == again);
}

// The format read plainly from the whole stream at once. Without pending
// calls, replies are dropped silently.
// A message with this id makes the receiver drop the link, as a disconnect
// from a slot does: the reader is cleared in the middle of its input.
const qint32 kResetId = -2;

struct Expected
{
    std::vector<Event> events;
    bool reset = false;     // a receiver cleared the reader
    bool stopped = false;   // bad magic or oversized length
    std::size_t left = 0;   // bytes of an unfinished frame
};

Expected expectedEvents(const std::string& stream)
{
    Expected out;
    std::size_t pos = 0;
    while (stream.size() - pos >= std::size_t(RpcMessage::HeaderSize)) {
        const quint32 length = le32(stream, pos + 8);
        if (stream.compare(pos, 8, std::string(rpcFrameMagic, 8)) != 0
            || length > RpcMessage::MaxFrameLength) {
            out.events.push_back({RpcConnection::FrameError, 0, 0, {}});
            out.stopped = true;
            return out;
        }
        const std::size_t frameSize = length > quint32(RpcMessage::HeaderSize) ? length : 24;
        if (stream.size() - pos < frameSize)
            break;
        checkDatagram(stream.substr(pos, frameSize));
        const qint32 id = qint32(le32(stream, pos + 12));
        const quint32 type = le32(stream, pos + 16);
        if (type == RpcMessage::Request || type == RpcMessage::Signal) {
            TCommand command;
            if (frameSize > 24 && TCommand::parse(stream.substr(pos + 24, frameSize - 24), command) == 0) {
                out.events.push_back({0, id, type, commandText(command)});
                if (id == kResetId) {
                    out.reset = true;
                    return out;
                }
            } else
                out.events.push_back({RpcConnection::BadMessageError, 0, 0, {}});
        } else if (type != RpcMessage::Reply && type != RpcMessage::ErrorReply) {
            out.events.push_back({RpcConnection::UnknownTypeError, 0, 0, {}});
        }
        pos += frameSize;
    }
    out.left = stream.size() - pos;
    return out;
}

class Probe : public RpcConnection
{
public:
    Probe()
    {
        QObject::connect(this, &RpcConnection::messageReceived, [this](const RpcMessage& m) {
            events.push_back({0, m.id(), m.type(), commandText(m.command())});
            if (m.id() == kResetId) {
                m_reader.clear();
                reset = true;
            }
        });
        QObject::connect(this, &RpcConnection::errorOccurred,
                         [this](RpcConnection::ConnectionError e) { events.push_back({int(e), 0, 0, {}}); });
    }

    RpcFrameReader& reader() { return m_reader; }
    std::vector<Event> events;
    bool reset = false;
};

void checkReader(const RpcFrameReader& r)
{
    switch (r.state) {
    case RpcFrameReader::Idle:
        FUZZ_CHECK(r.buffer == nullptr && r.filled == 0);
        break;
    case RpcFrameReader::ReadingHeader:
        FUZZ_CHECK(r.buffer && r.size == quint32(RpcMessage::HeaderSize) && r.filled < r.size);
        break;
    case RpcFrameReader::ReadingBody:
        FUZZ_CHECK(r.buffer && r.size > quint32(RpcMessage::HeaderSize));
        FUZZ_CHECK(r.size <= RpcMessage::MaxFrameLength);
        FUZZ_CHECK(r.filled >= quint32(RpcMessage::HeaderSize) && r.filled < r.size);
        break;
    case RpcFrameReader::BadFrame:
        FUZZ_CHECK(r.buffer == nullptr);
        break;
    default:
        FUZZ_CHECK(!"unexpected reader state");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt("fuzz_framereader");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    // First byte: the largest piece handed to feed() at once (0: all).
    const unsigned maxPiece = input.byte();
    unsigned seed = input.byte();
    const std::string stream = input.rest();

    Probe probe;
    std::size_t pos = 0;
    while (pos < stream.size() && !probe.reset) {
        std::size_t piece = stream.size() - pos;
        if (maxPiece != 0) {
            seed = seed * 1103515245u + 12345u;
            piece = qMin<std::size_t>(piece, 1 + (seed >> 16) % maxPiece);
        }
        probe.reader().feed(stream.data() + pos, quint32(piece));
        checkReader(probe.reader());
        pos += piece;
    }

    checkDatagram(stream);
    const Expected expected = expectedEvents(stream);
    FUZZ_CHECK(probe.events == expected.events);
    const RpcFrameReader& r = probe.reader();
    FUZZ_CHECK(probe.reset == expected.reset);
    if (expected.reset) {
        FUZZ_CHECK(r.state == RpcFrameReader::Idle && !r.buffer && r.filled == 0);
    } else if (expected.stopped) {
        FUZZ_CHECK(r.state == RpcFrameReader::BadFrame);
    } else {
        FUZZ_CHECK(r.filled == expected.left);
        FUZZ_CHECK((r.state == RpcFrameReader::Idle) == (expected.left == 0));
    }
    return 0;
}
