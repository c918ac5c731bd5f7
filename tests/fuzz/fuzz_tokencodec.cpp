// Tokens: any text handed to the decoder is refused or decoded without harm;
// a token the encoder made decodes to its value, survives characters outside
// the alphabet, and is refused once any byte the check guards is changed.
//
// The key and IV selectors (head bytes 1 and 2) lie outside the check by the
// token format, so changing them is not counted as tampering here.

#include "fuzzcheck.h"

#include "link/tokencodec.h"

#include <QByteArray>

#include <cstdlib>
#include <string>

namespace {

// decryptToken's result as a string; false when refused.
bool decrypt(const QByteArray& token, std::string& value)
{
    char* out = nullptr;
    const int n = decryptToken(token.constData(), int(token.size()), &out);
    if (n < 0) {
        FUZZ_CHECK(out == nullptr);
        return false;
    }
    FUZZ_CHECK(out != nullptr && out[n] == '\0');
    value.assign(out, std::size_t(n));
    std::free(out);
    return true;
}

bool covered(int position)
{
    return position == 0 || position == 4 || position == 5 || position >= 8;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The input as a token from the unit or a stored file.
    const QByteArray raw(reinterpret_cast<const char*>(data), qsizetype(size));
    std::string value;
    if (decrypt(raw, value))
        FUZZ_CHECK(value.size() < size);

    // The input as a value and the ways to change its token.
    fuzz::Input input(data, size);
    const std::string secret = input.text(80);
    char* text = nullptr;
    const int length = encryptToken(secret.data(), int(secret.size()), &text);
    FUZZ_CHECK(length >= 56 && text != nullptr && int(std::strlen(text)) == length);
    const QByteArray token(text, length);
    std::free(text);
    FUZZ_CHECK(decrypt(token, value) && value == secret);

    // Blanks and line breaks are skipped by the decoder.
    QByteArray spaced = token;
    spaced.insert(int(input.byte()) % (spaced.size() + 1), "  \r\n");
    FUZZ_CHECK(decrypt(spaced, value) && value == secret);

    const QByteArray record = QByteArray::fromBase64(token);
    FUZZ_CHECK(record.size() >= 40 && (record.size() - 24) % 16 == 0);
    while (!input.empty()) {
        QByteArray changed = record;
        const int position = int(input.byte()) % int(record.size());
        std::uint8_t mask = input.byte();
        if (position == 0)
            mask = std::uint8_t(mask << 4);  // the low four bits are random filler
        if (mask == 0)
            mask = position == 0 ? 0x10 : 0x01;
        changed[position] = char(changed[position] ^ char(mask));
        const bool refused = !decrypt(changed.toBase64(), value);
        if (covered(position))
            FUZZ_CHECK(refused);
        else if (position == 3 || position == 6 || position == 7)
            FUZZ_CHECK(!refused && value == secret);

        // A block cut off or added.
        QByteArray resized = record;
        if (mask & 1)
            resized.append(QByteArray(16, char(mask)));
        else if (resized.size() >= 56)
            resized.chop(16);
        else
            resized.chop(1);
        FUZZ_CHECK(!decrypt(resized.toBase64(), value));
    }
    return 0;
}
