#ifndef KANDELO_LINK_VALUETEXT_H
#define KANDELO_LINK_VALUETEXT_H

// Value texts of the unit's command language: numbers, hex, codec settings,
// durations, the unit's error texts and the UTF-8/Latin-1 byte conversion.
// All work on std::string bytes and keep no state.

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

// One coding setting, as the unit writes it (e.g. "OPUS/48000/stereo/128000").
struct CodecConfig
{
    std::int32_t codec = -1;        // codec number, see codecName()
    std::int32_t sampleRate = -1;   // Hz
    std::uint32_t channelMode = 0;  // see channelModeName()
    std::int32_t bitRate = -1;      // bit/s
    std::int16_t fec = -1;          // forward error correction; "P<n>" for CELP

    bool operator==(const CodecConfig &other) const;
    bool operator!=(const CodecConfig &other) const { return !(*this == other); }
};

// --- numbers -------------------------------------------------------------

// Decimal text, "-" for negatives, no padding. The overloads exist so that any
// integer type picks an exact match instead of an ambiguous conversion.
std::string toString(int value);
std::string toString(unsigned int value);
std::string toString(long value);
std::string toString(unsigned long value);
std::string toString(long long value);
std::string toString(unsigned long long value);
// General format, six significant digits (0.5 -> "0.5", 48 -> "48").
std::string toString(float value);
std::string toString(double value);

// Upper-case hex, left-padded with "0" to at least width digits, no prefix.
// Negative values are written as their 32-bit two's complement.
std::string toHexString(long value, int width = 0);
std::string toHexString(unsigned long value, int width = 0);
std::string toHexString(int value, int width = 0);
std::string toHexString(unsigned int value, int width = 0);
std::string toHexString(long long value, int width = 0);
std::string toHexString(unsigned long long value, int width = 0);

// 0 for an empty text or one holding any character outside "+-.0123456789";
// otherwise the number a stream reads from the start of the text.
// Provided for int, long, short and float.
template <typename T> T fromString(const std::string &text);
template <> int fromString<int>(const std::string &text);
template <> long fromString<long>(const std::string &text);
template <> short fromString<short>(const std::string &text);
template <> float fromString<float>(const std::string &text);

// 0 for an empty text or one holding any non-hex character (so no "0x").
// Provided for long and unsigned long.
template <typename T> T fromHexString(const std::string &text);
template <> long fromHexString<long>(const std::string &text);
template <> unsigned long fromHexString<unsigned long>(const std::string &text);

// "P3" and "3" both give 3.
short parsePNumber(const std::string &text);

// --- byte conversions ----------------------------------------------------

std::string latin1ToUtf8(const std::string &bytes);
// Folds the two-byte forms of U+0080..U+00FF to one byte; everything else
// passes through unchanged.
std::string utf8ToLatin1(const std::string &bytes);

// --- codec texts ---------------------------------------------------------

// Empty text outside 0..28.
const std::string &codecName(std::uint32_t codec);
// -1 for an unknown name; exact and case-sensitive.
int codecFromName(const std::string &name);
// "mono", "dmono", "stereo", "jstereo"; empty text outside 0..3.
const std::string &channelModeName(int mode);
int channelModeFromName(const std::string &name);

std::string codecConfigToString(const CodecConfig &config);
CodecConfig codecConfigFromString(const std::string &text);

// --- lists and durations -------------------------------------------------

// Appends each maximal run of non-delimiter characters (no empty parts, no
// escapes); returns the number of elements parts then holds.
std::size_t splitToList(const std::string &text, std::list<std::string> &parts,
                        const char *delimiters);
std::size_t splitAny(const std::string &text, std::vector<std::string> &parts,
                     const char *delimiters);

// "hh:mm:ss", hours not limited to two digits; returns out's length.
std::size_t formatDuration(const std::uint64_t &seconds, std::string &out);

// --- unit error texts ----------------------------------------------------

// The unit's text for an error number; "200-unknown error" for numbers
// without their own text and outside 1..204.
const std::string &errorText(int number);
// The number whose own text equals the whole text; 200 for anything else.
int errorCodeFromText(const std::string &text);
// One of the unit's own error texts, "200-unknown error" included.
bool isUnitErrorText(const std::string &text);
// The form of a unit error text: three digits, a hyphen and at least one
// more character, so that numbers the table doesn't know count as well.
bool looksLikeUnitError(const std::string &text);

#endif
