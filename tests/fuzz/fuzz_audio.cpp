// Replies and "audio_changeset" information from the unit, as the command
// language hands them over: any key:value set reaches both audio models
// without harm, what they store stays within the ranges the pages rely on,
// and a stream text reads back as the record it describes.

#include "fuzzcheck.h"

#include "audio/taudiosettings.h"
#include "audio/tcomravennacontroller.h"
#include "link/tcommand.h"

#include <string>

namespace {

bool streamForm(const std::string& text)
{
    const std::size_t slash = text.find('/');
    if (slash == 0 || slash == std::string::npos)
        return false;
    const std::size_t second = text.find('/', slash + 1);
    return second != std::string::npos && second > slash + 1;
}

bool inRange(int value, int low, int high) { return value >= low && value <= high; }

void checkAudio(const TCommand& message)
{
    TAudioSettings audio(nullptr);
    int changes = 0;
    QObject::connect(&audio, &TAudioSettings::controllerParamChanged, [&changes] { ++changes; });
    const bool changeset = *message.param("info_type") == "audio_changeset";
    FUZZ_CHECK(audio.handleInfo(message) == changeset);
    FUZZ_CHECK(audio.applyReply(message.params));
    FUZZ_CHECK(inRange(audio.drcAttack(), 0, 2) && inRange(audio.inputSource(), 0, 1));
    FUZZ_CHECK(audio.auxiliaryBoard() == (*message.param("auxiliary_board") == "yes"));
    // A repeated message changes nothing more.
    changes = 0;
    FUZZ_CHECK(audio.applyReply(message.params) && changes == 0);
}

void checkRavenna(const TCommand& reply)
{
    TComRavennaController ravenna(nullptr);
    bool wellFormed = true;
    for (int i = 0; i < TComRavennaController::kStreams; ++i) {
        const std::string* text = reply.param("rav_stream_in" + std::to_string(i), false);
        wellFormed = wellFormed && (!text || streamForm(*text));
    }
    FUZZ_CHECK(ravenna.applyReply(reply.params) == wellFormed);
    FUZZ_CHECK(ravenna.ifCount() >= 1 && inRange(ravenna.lockState(), 0, 3) && inRange(ravenna.netMode(), 0, 1));
    for (int i = 0; i < TComRavennaController::kInterfaces; ++i)
        FUZZ_CHECK(inRange(ravenna.iface(i).dhcpMode, 0, 2) && inRange(ravenna.iface(i).ptpState, -1, 9));
    TComRavennaController copy(nullptr);
    for (int i = 0; i < TComRavennaController::kStreams; ++i) {
        const TComRavennaStream& s = ravenna.streamIn(i);
        FUZZ_CHECK(inRange(s.state1, -1, 9) && inRange(s.state2, -1, 9));
        const std::string key = "rav_stream_in" + std::to_string(i);
        FUZZ_CHECK(copy.applyReply({{key, ravennaStreamText(s)}}));
        const TComRavennaStream& back = copy.streamIn(i);
        FUZZ_CHECK(back.streamId == s.streamId && back.streamSubId == s.streamSubId && back.name == s.name);
    }
    ravenna.reset();
    for (int i = 0; i < TComRavennaController::kStreams; ++i) {
        const TComRavennaStream& s = ravenna.streamIn(i);
        FUZZ_CHECK(s.streamId == 0xFFFF && s.state1 == -1 && s.state2 == -1 && s.name == "None");
    }
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
    checkAudio(message);
    checkRavenna(message);
    return 0;
}
