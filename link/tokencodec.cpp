#include "link/tokencodec.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Our key region: fixed once, never to change, or every stored token breaks.
const unsigned char keyRegion[288] = {
    0xe0, 0xcf, 0x50, 0x42, 0x3b, 0x2b, 0xbb, 0xf9, 0x43, 0x3e, 0xef, 0xd7, 0xee, 0xf6, 0x06, 0xd2,
    0x79, 0x5c, 0x15, 0xcf, 0x25, 0xeb, 0x6c, 0x92, 0xeb, 0x21, 0xc2, 0xfe, 0x34, 0xe7, 0xb1, 0xe2,
    0xa5, 0x0b, 0xc8, 0x30, 0xf3, 0xd5, 0x3a, 0x0b, 0x73, 0x42, 0x51, 0x63, 0x3d, 0xcf, 0x2d, 0xde,
    0x9d, 0xa7, 0x1a, 0xcc, 0x8b, 0xd5, 0x74, 0x92, 0x88, 0xdf, 0x78, 0xd4, 0x73, 0x65, 0xa2, 0x70,
    0x1f, 0x8c, 0xd9, 0xa4, 0x36, 0xa6, 0x89, 0x27, 0x90, 0x72, 0xf4, 0xd7, 0x0e, 0xf2, 0x7a, 0x93,
    0xd1, 0xea, 0xed, 0xd2, 0x3b, 0xfb, 0x11, 0x8a, 0x6d, 0xdf, 0x31, 0xeb, 0x85, 0x44, 0xca, 0xf8,
    0xc5, 0x40, 0x69, 0x9e, 0x43, 0x0f, 0xe5, 0x94, 0xe0, 0xc3, 0x85, 0xa2, 0xe1, 0xb0, 0x68, 0x85,
    0x86, 0x0b, 0x1a, 0x04, 0x4c, 0x4c, 0x67, 0x17, 0xb3, 0x95, 0x21, 0x49, 0xe4, 0xcf, 0xea, 0x5c,
    0x77, 0x04, 0xad, 0x37, 0x1e, 0x3b, 0x35, 0xf4, 0xe7, 0x1e, 0x63, 0x75, 0x2f, 0x0b, 0x35, 0xe9,
    0x28, 0x8a, 0xb1, 0x6a, 0x0d, 0x87, 0x0e, 0x1c, 0xbb, 0x42, 0xd1, 0xc6, 0x5c, 0x3b, 0xda, 0xed,
    0x7e, 0x86, 0x81, 0x44, 0x68, 0x1e, 0xac, 0x62, 0x0c, 0x05, 0xef, 0x1e, 0x29, 0x17, 0xc3, 0x1e,
    0x13, 0xe8, 0x81, 0x59, 0xbd, 0x76, 0x3f, 0x30, 0x64, 0x4d, 0x48, 0x17, 0xe9, 0x88, 0xf1, 0x39,
    0xcd, 0xf7, 0xb6, 0xff, 0x36, 0x4b, 0xaf, 0xf2, 0x78, 0x31, 0x97, 0x52, 0x6f, 0xa1, 0xaf, 0xf5,
    0x69, 0xcf, 0x9b, 0xb8, 0x94, 0x58, 0x8e, 0x7e, 0x86, 0xd6, 0xc9, 0x9a, 0x9c, 0xeb, 0x2f, 0x2c,
    0xa7, 0x3d, 0xc7, 0x28, 0xff, 0xea, 0x1c, 0x92, 0x3e, 0x3b, 0xea, 0x5c, 0x5e, 0xdf, 0x3c, 0x03,
    0xae, 0x36, 0xad, 0x1e, 0xb3, 0x3f, 0xf0, 0xeb, 0x07, 0x2e, 0xd0, 0x52, 0x29, 0x9f, 0x39, 0xc3,
    0xdc, 0x1d, 0xfb, 0x7d, 0x6f, 0x5f, 0x81, 0x2b, 0x94, 0x10, 0xc9, 0x6c, 0xad, 0x85, 0xf4, 0x19,
    0xe1, 0x38, 0x8b, 0x55, 0x82, 0xe9, 0x87, 0xb7, 0x54, 0xcc, 0xea, 0xb1, 0x8a, 0x5d, 0x99, 0x59,
};

enum {
    HeadSize = 8,
    CheckSize = 16,
    RecordHead = HeadSize + CheckSize,
    BlockSize = 16,
    MinTokenLength = 56,
    Version = 0x10,
};

const char base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// A selector byte picks 16 bytes at its offset; 255 + 16 still fits in 288.
const unsigned char* piece(unsigned char selector)
{
    return keyRegion + selector;
}

struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
struct MdCtxFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

// AES-128-CBC with PKCS#7 padding into out, which must hold length + 16
// bytes; the result length, or -1.
int aes128Cbc(bool encrypt, const unsigned char* key, const unsigned char* iv,
              const unsigned char* in, int length, unsigned char* out)
{
    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return -1;
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, key, iv, encrypt ? 1 : 0) != 1)
        return -1;
    int written = 0;
    if (length > 0 && EVP_CipherUpdate(ctx.get(), out, &written, in, length) != 1)
        return -1;
    int last = 0;
    if (EVP_CipherFinal_ex(ctx.get(), out + written, &last) != 1)
        return -1;
    return written + last;
}

// check = MD5(outer piece + MD5(inner piece + ciphertext))
bool computeCheck(const unsigned char* head, const unsigned char* cipher, int length,
                  unsigned char* check)
{
    unsigned char inner[CheckSize];
    if (keyedMd5(piece(head[4]), cipher, length, inner) != CheckSize)
        return false;
    return keyedMd5(piece(head[5]), inner, CheckSize, check) == CheckSize;
}

void base64Encode(const unsigned char* in, size_t length, char* out)
{
    size_t o = 0;
    for (size_t i = 0; i < length; i += 3) {
        const unsigned b0 = in[i];
        const unsigned b1 = i + 1 < length ? in[i + 1] : 0;
        const unsigned b2 = i + 2 < length ? in[i + 2] : 0;
        out[o++] = base64Alphabet[b0 >> 2];
        out[o++] = base64Alphabet[((b0 & 0x03) << 4) | (b1 >> 4)];
        out[o++] = i + 1 < length ? base64Alphabet[((b1 & 0x0f) << 2) | (b2 >> 6)] : '=';
        out[o++] = i + 2 < length ? base64Alphabet[b2 & 0x3f] : '=';
    }
    out[o] = '\0';
}

int base64Value(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Characters outside the alphabet (padding, line breaks, blanks) are skipped.
std::vector<unsigned char> base64Decode(const char* in, int length)
{
    std::vector<unsigned char> out;
    out.reserve(size_t(length) / 4 * 3);
    unsigned bits = 0;
    int count = 0;
    for (int i = 0; i < length; ++i) {
        const int v = base64Value(static_cast<unsigned char>(in[i]));
        if (v < 0)
            continue;
        bits = ((bits << 6) | unsigned(v)) & 0xfff;
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<unsigned char>(bits >> count));
        }
    }
    return out;
}

} // namespace

int keyedMd5(const unsigned char* key16, const unsigned char* data, int length, unsigned char* out16)
{
    if (!key16 || !out16 || length < 0 || (length > 0 && !data))
        return -1;
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1)
        return -1;
    if (EVP_DigestUpdate(ctx.get(), key16, 16) != 1)
        return -1;
    if (length > 0 && EVP_DigestUpdate(ctx.get(), data, size_t(length)) != 1)
        return -1;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &size) != 1 || size != 16)
        return -1;
    std::memcpy(out16, digest, 16);
    return 16;
}

int encryptToken(const char* value, int length, char** token)
{
    if (!token || length < 0 || (length > 0 && !value))
        return -1;
    // Keep the Base64 text length within int.
    if (length > INT_MAX / 2)
        return -1;
    const int cipherLength = (length / BlockSize + 1) * BlockSize;
    const size_t recordLength = size_t(RecordHead) + size_t(cipherLength);
    std::vector<unsigned char> record(recordLength + BlockSize);

    unsigned char* head = record.data();
    if (RAND_bytes(head, HeadSize) != 1)
        return -1;
    head[0] = static_cast<unsigned char>(Version | (head[0] & 0x0f));

    unsigned char* cipher = head + RecordHead;
    const int n = aes128Cbc(true, piece(head[1]), piece(head[2]),
                            reinterpret_cast<const unsigned char*>(value), length, cipher);
    if (n != cipherLength)
        return -1;
    if (!computeCheck(head, cipher, n, head + HeadSize))
        return -1;

    const size_t textLength = (recordLength + 2) / 3 * 4;
    char* text = static_cast<char*>(std::malloc(textLength + 1));
    if (!text)
        return -1;
    base64Encode(record.data(), recordLength, text);
    OPENSSL_cleanse(record.data(), record.size());
    *token = text;
    return int(textLength);
}

int decryptToken(const char* token, int length, char** value)
{
    if (!token || !value || length < MinTokenLength || length % 4 != 0)
        return -1;
    std::vector<unsigned char> record = base64Decode(token, length);
    // Blanks in the text can leave too few bytes; refuse before any digest.
    if (record.size() < size_t(RecordHead) + BlockSize)
        return -1;
    const unsigned char* head = record.data();
    if ((head[0] & 0xf0) != Version)
        return -1;

    const unsigned char* cipher = head + RecordHead;
    const size_t cipherLength = record.size() - RecordHead;
    if (cipherLength % BlockSize != 0)
        return -1;
    unsigned char check[CheckSize];
    if (!computeCheck(head, cipher, int(cipherLength), check))
        return -1;
    if (CRYPTO_memcmp(check, head + HeadSize, CheckSize) != 0)
        return -1;

    unsigned char* plain = static_cast<unsigned char*>(std::malloc(cipherLength + BlockSize + 1));
    if (!plain)
        return -1;
    const int n = aes128Cbc(false, piece(head[1]), piece(head[2]), cipher, int(cipherLength), plain);
    if (n < 0) {
        OPENSSL_cleanse(plain, cipherLength + BlockSize + 1);
        std::free(plain);
        return -1;
    }
    plain[n] = 0;
    *value = reinterpret_cast<char*>(plain);
    return n;
}
