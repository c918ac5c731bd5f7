// Replies and "audio_changeset" information as the command language hands
// them over: any key:value set reaches both audio models without harm, what
// they store stays within the ranges the pages rely on, a repeated message
// changes nothing, a stream text reads back as the record it describes, and a
// stream's channel, stored or announced, stays within its bound. Fed as a GET
// reply, what their key tables write back reads back as itself.

#include "fuzzcheck.h"

#include "audio/taudiosettings.h"
#include "audio/tcomravennacontroller.h"
#include "link/tcommand.h"
#include "link/valuetext.h"

namespace {

bool inRange(int value, int low, int high) { return value >= low && value <= high; }

// Both separators with something before each, and a channel an announced
// stream can offer.
bool streamForm(const std::string& text)
{
    const std::size_t first = text.find('/');
    const std::size_t second = first == 0 || first == std::string::npos ? first : text.find('/', first + 1);
    return second != 0 && second != std::string::npos && second > first + 1
        && inRange(fromString<int>(text.substr(first + 1, second - first - 1)), 0, kMaxAnnouncedChannels);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(fuzz::silentMessageHandler);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TCommand message;
    TCommand::parse(std::string(reinterpret_cast<const char*>(data), size), message);

    TAudioSettings audio(nullptr);
    int changes = 0;
    QObject::connect(&audio, &TAudioSettings::controllerParamChanged, [&changes] { ++changes; });
    FUZZ_CHECK(audio.handleInfo(message) == (*message.param("info_type") == "audio_changeset"));
    FUZZ_CHECK(audio.applyReply(message.params));
    FUZZ_CHECK(inRange(audio.drcAttack(), 0, 2) && inRange(audio.inputSource(), 0, 1));
    changes = 0;
    FUZZ_CHECK(audio.applyReply(message.params) && changes == 0);

    TCommand reply = message;
    reply.setParam("return", "OK", TCommand::Replace);
    fuzz::Replies unit;
    TAudioSettings audioTable(nullptr);
    TComRavennaController ravennaTable(nullptr);
    fuzz::checkKeyTable(audioTable, unit, reply);
    fuzz::checkKeyTable(ravennaTable, unit, reply);

    TComRavennaController ravenna(nullptr), copy(nullptr);
    bool wellFormed = true;
    for (int i = 0; i < TComRavennaController::kStreams; ++i) {
        const std::string* text = message.param("rav_stream_in" + std::to_string(i), false);
        wellFormed = wellFormed && (!text || streamForm(*text));
    }
    FUZZ_CHECK(ravenna.applyReply(message.params) == wellFormed);
    FUZZ_CHECK(ravenna.ifCount() >= 1 && inRange(ravenna.lockState(), 0, 3));
    FUZZ_CHECK(inRange(ravenna.iface(0).dhcpMode, 0, 2) && inRange(ravenna.iface(1).ptpState, -1, 9));
    for (int i = 0; i < TComRavennaController::kStreams; ++i) {
        const TComRavennaStream& s = ravenna.streamIn(i);
        FUZZ_CHECK(inRange(s.state1, -1, 9) && inRange(s.state2, -1, 9));
        FUZZ_CHECK(copy.applyReply({{"rav_stream_in" + std::to_string(i), ravennaStreamText(s)}}));
        const TComRavennaStream& back = copy.streamIn(i);
        FUZZ_CHECK(back.streamId == s.streamId && back.streamSubId == s.streamSubId && back.name == s.name);
    }
    // An announced stream never offers a negative or unbounded channel count.
    TComRavennaStream announced;
    if (const std::string* text = message.param("rav_stream_in", false); text && parseAnnouncedStream(announced, *text))
        FUZZ_CHECK(announced.streamId >= 0 && inRange(announced.streamSubId, 0, kMaxAnnouncedChannels));
    return 0;
}
