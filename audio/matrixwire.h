#pragma once

// Text forms of the routing matrix's packed keys (target "audio"). Pure
// functions: the firmware word is passed in. A decoder returns false and
// leaves its output alone when the text is too short or malformed; a hex
// field holding a character that is not a hex digit reads as 0.

#include <array>
#include <cstdint>
#include <string>

namespace matrixwire {

constexpr int kInputs = 26;
constexpr int kOutputs = 20;
constexpr int kPairs = 4;
constexpr float kOffDb = -160.0f;

// The packed keys, by kind.
enum Key { InputKey, OutputKey, HeadphoneKey, ProgramOutputKey, OptionsKey, MasterGainsKey, VolumeKey, BalanceKey };

using Bytes = std::array<std::uint8_t, kInputs>; // one byte per input
using Word4 = std::array<std::uint8_t, 4>;       // a program output, byte 0 first

// The 6-bit gain field: code 0 is off (-160 dB), code c is c - 32 dB. Gains
// are truncated toward zero and held to -31..+31 dB, so they never wrap.
int gainCode(float gainDb);
float gainFromCode(int code);
// A master gain byte: dB + 128, held to -128..+127 dB.
std::uint8_t masterGainByte(float gainDb);

// "matrix_in": node word in hex (2 digits before firmware 2.0.0, 4 from it),
// a comma and the name (the unit's UTF-8 bytes, kept as they came).
struct InputRecord
{
    std::uint16_t word = 0x0020;
    std::string name;

    bool operator==(const InputRecord& other) const { return word == other.word && name == other.name; }
};
std::string encodeInput(const InputRecord& record, std::uint32_t firmware);
bool decodeInput(const std::string& text, InputRecord& record);

// "matrix_ou": two hex digits.
std::string encodeByte(std::uint8_t byte);
bool decodeByte(const std::string& text, std::uint8_t& byte);

// "matrix_opt", "matrix_mgn", "matrix_vol": eight hex digits, most
// significant first; "matrix_po": the same with byte 0 first.
std::string encodeWord(std::uint32_t word);
bool decodeWord(const std::string& text, std::uint32_t& word);
std::string encodeWord4(const Word4& bytes);
bool decodeWord4(const std::string& text, Word4& bytes);

// "matrix_hp": one byte per input the pair's key carries (inputs 0 up to a
// last input that grows with the firmware, without 11, 22, 23 and the
// pair's own input). Gain code in bits 0-5, left node bit 6, right node bit 7.
bool headphoneCarries(int pair, int input);
int headphoneLastInput(std::uint32_t firmware);
std::string encodeHeadphone(int pair, const Bytes& bytes, std::uint32_t firmware);
// Fills the bytes of the inputs the text holds (up to input 24) and returns
// how many; -1 for a text shorter than 24 characters.
int decodeHeadphone(int pair, const std::string& text, Bytes& bytes);

// "matrix_bal": the balance steps of inputs 12, 13, 19, 20, 21 and 24.
constexpr int kBalanceInputs[6] = {12, 13, 19, 20, 21, 24};
std::string encodeBalance(const Bytes& steps);
bool decodeBalance(const std::string& text, Bytes& steps);

} // namespace matrixwire
