#include "link/valuetext.h"

#include "link/protocolkeys.h"

#include <array>
#include <cstring>
#include <locale>
#include <map>
#include <sstream>
#include <type_traits>

namespace {

const std::string &emptyText()
{
    static const std::string *const empty = new std::string;
    return *empty;
}

// Index = codec number.
typedef const std::string &(*WordFn)();
const WordFn codecWords[] = {
    &wire::codec::pcma,       &wire::codec::pcmu,        &wire::codec::g711,
    &wire::codec::g722,       &wire::codec::g722Srt,     &wire::codec::g722H242,
    &wire::codec::g722H221,   &wire::codec::fourSb,      &wire::codec::mpa2,
    &wire::codec::mpa2p,      &wire::codec::tdac,        &wire::codec::tdacG722,
    &wire::codec::g722Tdac,   &wire::codec::celp,        &wire::codec::aacLbr,
    &wire::codec::aacHe,      &wire::codec::aacHev2,     &wire::codec::gsm,
    &wire::codec::phone,      &wire::codec::opus,        &wire::codec::l16,
    &wire::codec::l20,        &wire::codec::l24,         &wire::codec::aacLbrLoas,
    &wire::codec::aacHeLoas,  &wire::codec::aacHev2Loas, &wire::codec::mpa3,
    &wire::codec::aacLd,      &wire::codec::aacEld,
};
const int codecCount = int(sizeof(codecWords) / sizeof(codecWords[0]));

enum Codec {
    G722Srt = 4, G722H221 = 6, FourSb = 7, Mpa2 = 8, Mpa2p = 9, Tdac = 10, TdacG722 = 11,
    G722Tdac = 12, Celp = 13, AacLbr = 14, AacHev2 = 16, Opus = 19, AacEld = 28
};

const WordFn channelModeWords[] = {
    &wire::channelMode::mono, &wire::channelMode::dmono,
    &wire::channelMode::stereo, &wire::channelMode::jstereo,
};
const int channelModeCount = 4;

const char decimalChars[] = "+-.0123456789";
const char hexChars[] = "0123456789ABCDEFabcdef";

template <typename T>
T readNumber(const std::string &text, const char *allowed, bool hex)
{
    if (text.empty() || text.find_first_not_of(allowed) != std::string::npos)
        return T(0);
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    if (hex)
        in >> std::hex;
    T value = T(0);
    in >> value;
    // A failed read leaves 0, an out-of-range one the nearest limit.
    return value;
}

std::string streamed(double value)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

template <typename T>
std::string decimal(T value)
{
    // Built from the unsigned magnitude so the most negative value is safe.
    typedef typename std::make_unsigned<T>::type U;
    bool negative = false;
    if constexpr (std::is_signed<T>::value)
        negative = value < 0;
    U magnitude = negative ? U(U(0) - U(value)) : U(value);
    char buffer[24];
    char *p = buffer + sizeof(buffer);
    do {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        *--p = '-';
    return std::string(p, buffer + sizeof(buffer));
}

std::string hex(unsigned long long value, int width)
{
    static const char digits[] = "0123456789ABCDEF";
    char buffer[16];
    char *p = buffer + sizeof(buffer);
    do {
        *--p = digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    std::string text(p, buffer + sizeof(buffer));
    if (width > 0 && std::size_t(width) > text.size())
        text.insert(0, std::size_t(width) - text.size(), '0');
    return text;
}

// Negative values go out as their 32-bit two's complement.
std::string signedHex(long long value, int width)
{
    if (value < 0)
        return hex(static_cast<unsigned long long>(value) & 0xFFFFFFFFull, width);
    return hex(static_cast<unsigned long long>(value), width);
}

// Numbers the unit sends in 32-bit fields saturate like a 32-bit long would.
std::int32_t toInt32(long value)
{
    if (value > 2147483647L)
        return 2147483647;
    if (value < -2147483647L - 1)
        return -2147483647 - 1;
    return std::int32_t(value);
}

template <typename Container>
std::size_t splitRuns(const std::string &text, Container &parts, const char *delimiters)
{
    const char *set = delimiters ? delimiters : "";
    const std::size_t setLength = std::strlen(set);
    std::size_t pos = text.find_first_not_of(set, 0, setLength);
    while (pos != std::string::npos) {
        const std::size_t end = text.find_first_of(set, pos, setLength);
        if (end == std::string::npos) {
            parts.push_back(text.substr(pos));
            break;
        }
        parts.push_back(text.substr(pos, end - pos));
        pos = text.find_first_not_of(set, end, setLength);
    }
    return parts.size();
}

struct ErrorTables
{
    std::array<const std::string *, 204> byNumber;
    std::map<std::string, int> byText;
};

// The unit's error words start with their three-digit number.
const ErrorTables &errorTables()
{
    static const ErrorTables *const tables = [] {
        auto *t = new ErrorTables;
        const std::string *unknown = &wire::unitError::unknownError();
        t->byNumber.fill(unknown);
        for (const auto &entry : wire::allWords()) {
            if (std::strcmp(entry.group, "unitError") != 0)
                continue;
            const std::string &text = entry.word();
            const int number = (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
            if (number < 1 || number > 204)
                continue;
            t->byNumber[std::size_t(number - 1)] = &text;
            if (number != 200)
                t->byText.emplace(text, number);
        }
        return t;
    }();
    return *tables;
}

} // namespace

bool CodecConfig::operator==(const CodecConfig &other) const
{
    return codec == other.codec && sampleRate == other.sampleRate
        && channelMode == other.channelMode && bitRate == other.bitRate
        && fec == other.fec;
}

std::string toString(int value) { return decimal(value); }
std::string toString(unsigned int value) { return decimal(value); }
std::string toString(long value) { return decimal(value); }
std::string toString(unsigned long value) { return decimal(value); }
std::string toString(long long value) { return decimal(value); }
std::string toString(unsigned long long value) { return decimal(value); }
std::string toString(float value) { return streamed(double(value)); }
std::string toString(double value) { return streamed(value); }

std::string toHexString(long value, int width) { return signedHex(value, width); }
std::string toHexString(int value, int width) { return signedHex(value, width); }
std::string toHexString(long long value, int width) { return signedHex(value, width); }
std::string toHexString(unsigned long value, int width) { return hex(value, width); }
std::string toHexString(unsigned int value, int width) { return hex(value, width); }
std::string toHexString(unsigned long long value, int width) { return hex(value, width); }

template <> int fromString<int>(const std::string &text)
{
    return readNumber<int>(text, decimalChars, false);
}

template <> long fromString<long>(const std::string &text)
{
    return readNumber<long>(text, decimalChars, false);
}

template <> short fromString<short>(const std::string &text)
{
    return readNumber<short>(text, decimalChars, false);
}

template <> float fromString<float>(const std::string &text)
{
    return readNumber<float>(text, decimalChars, false);
}

template <> long fromHexString<long>(const std::string &text)
{
    return readNumber<long>(text, hexChars, true);
}

template <> unsigned long fromHexString<unsigned long>(const std::string &text)
{
    return readNumber<unsigned long>(text, hexChars, true);
}

short parsePNumber(const std::string &text)
{
    if (!text.empty() && text[0] == 'P')
        return fromString<short>(text.substr(1));
    return fromString<short>(text);
}

std::string latin1ToUtf8(const std::string &bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::string utf8ToLatin1(const std::string &bytes)
{
    std::string out;
    out.reserve(bytes.size());
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if ((b == 0xC2 || b == 0xC3) && i + 1 < size) {
            const unsigned char n = static_cast<unsigned char>(bytes[i + 1]);
            if ((n & 0xC0) == 0x80) {
                out += static_cast<char>(((b << 6) | (n & 0x3F)) & 0xFF);
                ++i;
                continue;
            }
        }
        out += static_cast<char>(b);
    }
    return out;
}

const std::string &codecName(std::uint32_t codec)
{
    if (codec < std::uint32_t(codecCount))
        return codecWords[codec]();
    return emptyText();
}

int codecFromName(const std::string &name)
{
    for (int i = 0; i < codecCount; ++i) {
        if (codecWords[i]() == name)
            return i;
    }
    return -1;
}

const std::string &channelModeName(int mode)
{
    if (mode >= 0 && mode < channelModeCount)
        return channelModeWords[mode]();
    return emptyText();
}

int channelModeFromName(const std::string &name)
{
    for (int i = 0; i < channelModeCount; ++i) {
        if (channelModeWords[i]() == name)
            return i;
    }
    return -1;
}

std::string codecConfigToString(const CodecConfig &config)
{
    const std::int32_t codec = config.codec;
    std::string text = codec >= 0 ? codecName(std::uint32_t(codec)) : std::string();

    const bool longForm = (codec >= FourSb && codec <= Mpa2p)
        || (codec >= AacLbr && codec <= AacHev2) || (codec >= Opus && codec <= AacEld)
        || (codec == Celp && config.fec >= 0);
    if (!longForm)
        return text;

    text += '/';
    text += toString(config.sampleRate);
    text += '/';
    if (config.channelMode < std::uint32_t(channelModeCount))
        text += channelModeName(int(config.channelMode));
    text += '/';
    text += toString(config.bitRate);

    if (codec == Mpa2) {
        text += '/';
        text += toString(config.fec);
    } else if (codec == Celp) {
        text += "/P";
        text += toString(config.fec);
    } else if (codec == Mpa2p && config.fec > 0) {
        text += '/';
        text += toString(config.fec);
    }
    return text;
}

CodecConfig codecConfigFromString(const std::string &text)
{
    CodecConfig config;
    std::vector<std::string> parts;
    splitAny(text, parts, "/");
    if (parts.empty())
        return config;

    config.codec = codecFromName(parts[0]);
    const int codec = config.codec;
    if (codec >= 0 && codec <= G722H221) {
        config.sampleRate = 48000;
        config.bitRate = 64000;
    } else if (codec == Tdac) {
        config.sampleRate = 32000;
        config.bitRate = 64000;
    } else if (codec == TdacG722 || codec == G722Tdac) {
        config.bitRate = 64000;
    } else if (codec == Celp) {
        config.sampleRate = 16000;
        config.bitRate = 24000;
        if (parts.size() < 4)
            return config;
    }

    if (parts.size() >= 4 && codec >= 0) {
        config.sampleRate = toInt32(fromString<long>(parts[1]));
        // An unknown mode name is kept as -1, as the unit's own reader does.
        config.channelMode = std::uint32_t(channelModeFromName(parts[2]));
        config.bitRate = toInt32(fromString<long>(parts[3]));
        if (parts.size() >= 5) {
            if (codec == Celp)
                config.fec = fromString<short>(parts[4].substr(1));
            else
                config.fec = fromString<short>(parts[4]);
        }
    }
    return config;
}

std::size_t splitToList(const std::string &text, std::list<std::string> &parts,
                        const char *delimiters)
{
    return splitRuns(text, parts, delimiters);
}

std::size_t splitAny(const std::string &text, std::vector<std::string> &parts,
                     const char *delimiters)
{
    return splitRuns(text, parts, delimiters);
}

std::size_t formatDuration(const std::uint64_t &seconds, std::string &out)
{
    const std::uint64_t total = seconds;
    auto twoDigits = [](std::uint64_t n) {
        std::string s = decimal(n);
        if (s.size() < 2)
            s.insert(0, 1, '0');
        return s;
    };
    out = twoDigits(total / 3600);
    out += ':';
    out += twoDigits((total % 3600) / 60);
    out += ':';
    out += twoDigits(total % 60);
    return out.size();
}

const std::string &errorText(int number)
{
    if (number < 1 || number > 204)
        return wire::unitError::unknownError();
    return *errorTables().byNumber[std::size_t(number - 1)];
}

int errorCodeFromText(const std::string &text)
{
    const auto &byText = errorTables().byText;
    const auto it = byText.find(text);
    return it == byText.end() ? 200 : it->second;
}

bool isUnitErrorText(const std::string &text)
{
    // The form first: most values are not error texts and skip the lookup.
    // errorCodeFromText gives 200 for any text it doesn't know as well.
    return looksLikeUnitError(text)
           && (errorCodeFromText(text) != 200 || text == wire::unitError::unknownError());
}

bool looksLikeUnitError(const std::string &text)
{
    if (text.size() < 5 || text[3] != '-')
        return false;
    for (int i = 0; i < 3; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}
