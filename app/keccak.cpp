#include "app/keccak.h"

#include <cstring>

namespace {

const int Rate = 72;
const int DigestLength = 64;

const std::uint64_t roundConstants[24] = {
    0x0000000000000001ULL, 0x0000000000008082ULL, 0x800000000000808aULL, 0x8000000080008000ULL,
    0x000000000000808bULL, 0x0000000080000001ULL, 0x8000000080008081ULL, 0x8000000000008009ULL,
    0x000000000000008aULL, 0x0000000000000088ULL, 0x0000000080008009ULL, 0x000000008000000aULL,
    0x000000008000808bULL, 0x800000000000008bULL, 0x8000000000008089ULL, 0x8000000000008003ULL,
    0x8000000000008002ULL, 0x8000000000000080ULL, 0x000000000000800aULL, 0x800000008000000aULL,
    0x8000000080008081ULL, 0x8000000000008080ULL, 0x0000000080000001ULL, 0x8000000080008008ULL,
};

// Rho offsets and pi lane order along the single cycle that starts at lane 1.
const int rotations[24] = {
    1, 3, 6, 10, 15, 21, 28, 36, 45, 55, 2, 14, 27, 41, 56, 8, 25, 43, 62, 18, 39, 61, 20, 44,
};
const int piLanes[24] = {
    10, 7, 11, 17, 18, 3, 5, 16, 8, 21, 24, 4, 15, 23, 19, 13, 12, 2, 20, 14, 22, 9, 6, 1,
};

inline std::uint64_t rotl(std::uint64_t x, int n)
{
    return (x << n) | (x >> (64 - n));
}

// Byte order is fixed to little endian whatever the host's.
inline std::uint64_t loadLane(const std::uint8_t *p)
{
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

inline void storeLane(std::uint8_t *p, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i) {
        p[i] = std::uint8_t(v);
        v >>= 8;
    }
}

} // namespace

void keccakInit(KeccakState &s)
{
    std::memset(s.state, 0, sizeof s.state);
    s.position = 0;
}

void keccakF1600(KeccakState &s)
{
    std::uint64_t a[25];
    for (int i = 0; i < 25; ++i)
        a[i] = loadLane(s.state + 8 * i);

    for (int round = 0; round < 24; ++round) {
        std::uint64_t c[5];
        for (int x = 0; x < 5; ++x)
            c[x] = a[x] ^ a[x + 5] ^ a[x + 10] ^ a[x + 15] ^ a[x + 20];
        for (int x = 0; x < 5; ++x) {
            const std::uint64_t d = c[(x + 4) % 5] ^ rotl(c[(x + 1) % 5], 1);
            for (int y = 0; y < 25; y += 5)
                a[y + x] ^= d;
        }

        std::uint64_t carry = a[1];
        for (int i = 0; i < 24; ++i) {
            const int j = piLanes[i];
            const std::uint64_t next = a[j];
            a[j] = rotl(carry, rotations[i]);
            carry = next;
        }

        for (int y = 0; y < 25; y += 5) {
            std::uint64_t row[5];
            for (int x = 0; x < 5; ++x)
                row[x] = a[y + x];
            for (int x = 0; x < 5; ++x)
                a[y + x] = row[x] ^ (~row[(x + 1) % 5] & row[(x + 2) % 5]);
        }

        a[0] ^= roundConstants[round];
    }

    for (int i = 0; i < 25; ++i)
        storeLane(s.state + 8 * i, a[i]);
}

void keccakAbsorb(KeccakState &s, const std::uint8_t *bytes, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        s.state[s.position++] ^= bytes[i];
        if (s.position == Rate) {
            keccakF1600(s);
            s.position = 0;
        }
    }
}

void keccakFinal(KeccakState &s, std::uint8_t out[64])
{
    s.state[s.position] ^= 0x01;
    s.state[Rate - 1] ^= 0x80;
    keccakF1600(s);
    std::memcpy(out, s.state, DigestLength);
}

QByteArray keccak512(const QByteArray &data)
{
    KeccakState s;
    keccakInit(s);
    keccakAbsorb(s, reinterpret_cast<const std::uint8_t *>(data.constData()), std::size_t(data.size()));
    QByteArray out(DigestLength, '\0');
    keccakFinal(s, reinterpret_cast<std::uint8_t *>(out.data()));
    return out;
}
