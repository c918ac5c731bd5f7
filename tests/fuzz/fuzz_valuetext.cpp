// The value texts the unit sends: numbers, hex, codec settings, error texts,
// lists and the UTF-8 folding. Any text is read without harm, and what the
// program writes reads back as what it wrote.

#include "fuzzcheck.h"

#include "link/valuetext.h"

#include <cinttypes>
#include <climits>
#include <list>
#include <string>
#include <vector>

namespace {

void checkAnyText(const std::string& text)
{
    fromString<int>(text);
    fromString<long>(text);
    fromString<short>(text);
    fromString<float>(text);
    fromHexString<long>(text);
    fromHexString<unsigned long>(text);
    parsePNumber(text);
    codecFromName(text);
    channelModeFromName(text);

    // Folding never grows the text, and unfolding what was folded from
    // Latin-1 gives the Latin-1 back.
    const std::string folded = utf8ToLatin1(text);
    FUZZ_CHECK(folded.size() <= text.size());
    FUZZ_CHECK(utf8ToLatin1(latin1ToUtf8(text)) == text);

    const int code = errorCodeFromText(text);
    FUZZ_CHECK(code == 200 || errorText(code) == text);

    const CodecConfig config = codecConfigFromString(text);
    FUZZ_CHECK(config.codec >= -1 && config.codec <= 28);
    codecConfigToString(config);

    const std::string delimiters = text.empty() ? std::string("/") : text.substr(0, 1);
    std::vector<std::string> parts;
    std::list<std::string> listed;
    const std::size_t count = splitAny(text, parts, "/,");
    FUZZ_CHECK(count == parts.size());
    FUZZ_CHECK(splitToList(text, listed, "/,") == count);
    std::size_t total = 0;
    for (const std::string& part : parts) {
        FUZZ_CHECK(!part.empty() && part.find_first_of("/,") == std::string::npos);
        total += part.size();
    }
    FUZZ_CHECK(total <= text.size());
    std::vector<std::string> own;
    splitAny(text, own, delimiters.c_str());
}

// A codec setting the program writes reads back as far as its text form
// carries it.
void checkCodec(fuzz::Input& input)
{
    CodecConfig config;
    config.codec = input.byte() % 29;
    config.sampleRate = std::int32_t(input.word());
    config.channelMode = input.byte() % 4;
    config.bitRate = std::int32_t(input.word());
    config.fec = std::int16_t(input.word());

    const std::string text = codecConfigToString(config);
    const CodecConfig back = codecConfigFromString(text);
    FUZZ_CHECK(back.codec == config.codec);
    FUZZ_CHECK(codecConfigToString(back) == text);
    const bool longForm = (config.codec >= 7 && config.codec <= 9) || (config.codec >= 14 && config.codec <= 16)
                          || config.codec >= 19 || (config.codec == 13 && config.fec >= 0);
    if (longForm) {
        FUZZ_CHECK(back.sampleRate == config.sampleRate);
        FUZZ_CHECK(back.channelMode == config.channelMode);
        FUZZ_CHECK(back.bitRate == config.bitRate);
        const bool fecWritten = config.codec == 8 || config.codec == 13 || (config.codec == 9 && config.fec > 0);
        if (fecWritten)
            FUZZ_CHECK(back.fec == config.fec);
    }
}

void checkNumbers(fuzz::Input& input)
{
    const std::uint64_t bits = std::uint64_t(input.word()) | std::uint64_t(input.word()) << 32;
    const long value = long(bits);
    FUZZ_CHECK(fromString<long>(toString(value)) == value);
    FUZZ_CHECK(fromString<int>(toString(int(value))) == int(value));
    FUZZ_CHECK(fromString<short>(toString(short(value))) == short(value));
    FUZZ_CHECK(fromHexString<unsigned long>(toHexString((unsigned long)bits)) == bits);
    const int width = input.byte() % 20;
    const std::string hex = toHexString((unsigned long)bits, width);
    FUZZ_CHECK(hex.size() >= std::size_t(width));
    FUZZ_CHECK(fromHexString<unsigned long>(hex) == bits);
    FUZZ_CHECK(parsePNumber("P" + toString(short(value))) == short(value));

    const int number = int(input.word());
    const std::string& error = errorText(number);
    FUZZ_CHECK(error.size() > 4 && error[3] == '-');
    const int code = errorCodeFromText(error);
    FUZZ_CHECK(code == 200 || code == number);

    std::string duration;
    FUZZ_CHECK(formatDuration(bits, duration) == duration.size());
    std::uint64_t h = 0, m = 0, s = 0;
    FUZZ_CHECK(std::sscanf(duration.c_str(), "%" SCNu64 ":%" SCNu64 ":%" SCNu64, &h, &m, &s) == 3);
    FUZZ_CHECK(m < 60 && s < 60 && h == bits / 3600 && m * 60 + s == bits % 3600);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkAnyText(std::string(reinterpret_cast<const char*>(data), size));
    fuzz::Input input(data, size);
    checkCodec(input);
    fuzz::Input again(data, size);
    checkNumbers(again);
    return 0;
}
