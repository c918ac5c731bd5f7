#include "audio/matrixwire.h"

#include "link/valuetext.h"

#include <algorithm>
#include <cmath>

namespace matrixwire {

namespace {

// Firmware from which the input word travels with four digits.
constexpr std::uint32_t kWideInputWord = 0x20000;

unsigned long hexAt(const std::string& text, std::size_t pos, std::size_t digits)
{
    return fromHexString<unsigned long>(text.substr(pos, digits));
}

} // namespace

int gainCode(float gainDb)
{
    if (gainDb == kOffDb || std::isnan(gainDb))
        return 0;
    return static_cast<int>(std::clamp(gainDb, -31.0f, 31.0f)) + 32;
}

float gainFromCode(int code)
{
    code &= 63;
    return code == 0 ? kOffDb : static_cast<float>(code - 32);
}

std::uint8_t masterGainByte(float gainDb)
{
    if (std::isnan(gainDb))
        return 0x80;
    return static_cast<std::uint8_t>(static_cast<int>(std::clamp(gainDb, -128.0f, 127.0f)) + 128);
}

std::string encodeInput(const InputRecord& record, std::uint32_t firmware)
{
    return toHexString(static_cast<unsigned>(record.word), firmware < kWideInputWord ? 2 : 4) + ',' + record.name;
}

bool decodeInput(const std::string& text, InputRecord& record)
{
    const std::size_t comma = text.find(',');
    if (text.size() < 3 || comma == std::string::npos || comma < 2)
        return false;
    record.word = static_cast<std::uint16_t>(fromHexString<unsigned long>(text.substr(0, comma)));
    record.name = text.substr(comma + 1);
    return true;
}

std::string encodeByte(std::uint8_t byte)
{
    return toHexString(static_cast<unsigned>(byte), 2);
}

bool decodeByte(const std::string& text, std::uint8_t& byte)
{
    if (text.size() < 2)
        return false;
    byte = static_cast<std::uint8_t>(hexAt(text, 0, 2));
    return true;
}

std::string encodeWord(std::uint32_t word)
{
    return toHexString(static_cast<unsigned>(word), 8);
}

bool decodeWord(const std::string& text, std::uint32_t& word)
{
    if (text.size() < 8)
        return false;
    word = static_cast<std::uint32_t>(hexAt(text, 0, 8));
    return true;
}

std::string encodeWord4(const Word4& bytes)
{
    std::string text;
    for (std::uint8_t b : bytes)
        text += encodeByte(b);
    return text;
}

bool decodeWord4(const std::string& text, Word4& bytes)
{
    if (text.size() < 8)
        return false;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(hexAt(text, 2 * i, 2));
    return true;
}

bool headphoneCarries(int pair, int input)
{
    return input >= 0 && input <= 24 && input != 11 && input != 22 && input != 23 && input != pair;
}

int headphoneLastInput(std::uint32_t firmware)
{
    return firmware < 0x10700 ? 13 : firmware < 0x10D00 ? 17 : 24;
}

std::string encodeHeadphone(int pair, const Bytes& bytes, std::uint32_t firmware)
{
    const int last = headphoneLastInput(firmware);
    std::string text;
    for (int i = 0; i <= last; ++i) {
        if (headphoneCarries(pair, i))
            text += encodeByte(bytes[static_cast<std::size_t>(i)]);
    }
    return text;
}

int decodeHeadphone(int pair, const std::string& text, Bytes& bytes)
{
    if (text.size() < 24)
        return -1;
    int count = 0;
    std::size_t pos = 0;
    for (int i = 0; i <= 24 && pos + 2 <= text.size(); ++i) {
        if (!headphoneCarries(pair, i))
            continue;
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(hexAt(text, pos, 2));
        pos += 2;
        ++count;
    }
    return count;
}

std::string encodeBalance(const Bytes& steps)
{
    std::string text;
    for (int input : kBalanceInputs)
        text += encodeByte(steps[static_cast<std::size_t>(input)]);
    return text;
}

bool decodeBalance(const std::string& text, Bytes& steps)
{
    if (text.size() < 12)
        return false;
    std::size_t pos = 0;
    for (int input : kBalanceInputs) {
        steps[static_cast<std::size_t>(input)] = static_cast<std::uint8_t>(hexAt(text, pos, 2));
        pos += 2;
    }
    return true;
}

} // namespace matrixwire
