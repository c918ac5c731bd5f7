#ifndef KECCAK_H
#define KECCAK_H

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// Keccak-512 with the original submission's padding (0x01), not SHA3-512's.
struct KeccakState
{
    std::uint8_t state[200];    // 25 little-endian 64-bit lanes
    std::uint32_t position;     // absorb position in the 72-byte block
};

void keccakInit(KeccakState &s);
void keccakAbsorb(KeccakState &s, const std::uint8_t *bytes, std::size_t length);
void keccakFinal(KeccakState &s, std::uint8_t out[64]);
void keccakF1600(KeccakState &s);

// 64-byte digest of data.
QByteArray keccak512(const QByteArray &data);

#endif // KECCAK_H
