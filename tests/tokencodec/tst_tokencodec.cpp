#include "link/tokencodec.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtTest>

#include <cstdlib>

namespace {

// Owns a codec buffer; the codec hands out malloc'd memory.
struct Buffer {
    char* data = nullptr;
    ~Buffer() { std::free(data); }
};

QByteArray encrypt(const QByteArray& value)
{
    Buffer token;
    const int n = encryptToken(value.constData(), int(value.size()), &token.data);
    return n < 0 ? QByteArray() : QByteArray(token.data, n);
}

// Value, or a null array on failure.
QByteArray decrypt(const QByteArray& token, int* result = nullptr)
{
    Buffer value;
    const int n = decryptToken(token.constData(), int(token.size()), &value.data);
    if (result)
        *result = n;
    if (n < 0) {
        if (value.data)
            qWarning("buffer handed out on failure");
        return QByteArray();
    }
    if (value.data[n] != '\0')
        qWarning("value not NUL-terminated");
    return n == 0 ? QByteArray("") : QByteArray(value.data, n);
}

QByteArray randomBytes(int n)
{
    QByteArray bytes(n, '\0');
    for (int i = 0; i < n; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

// Re-encodes a token after changing one byte of its record.
QByteArray withByte(const QByteArray& token, int index, char value)
{
    QByteArray record = QByteArray::fromBase64(token);
    record[index] = value;
    return record.toBase64();
}

} // namespace

class TokenCodecTest : public QObject
{
    Q_OBJECT
private slots:
    void keyedDigest()
    {
        const QByteArray key = randomBytes(16);
        const QByteArray data = randomBytes(100);
        const auto* k = reinterpret_cast<const unsigned char*>(key.constData());
        unsigned char out[16];
        QCOMPARE(keyedMd5(k, reinterpret_cast<const unsigned char*>(data.constData()), int(data.size()), out), 16);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(out), 16),
                 QCryptographicHash::hash(key + data, QCryptographicHash::Md5));
        QCOMPARE(keyedMd5(k, nullptr, 0, out), 16);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(out), 16), QCryptographicHash::hash(key, QCryptographicHash::Md5));
        QCOMPARE(keyedMd5(k, nullptr, -1, out), -1);
    }

    void roundTripsAndShape()
    {
        int result = -2;
        QCOMPARE(encrypt(QByteArray()).size(), 56);
        QCOMPARE(decrypt(encrypt(QByteArray()), &result), QByteArray(""));
        QCOMPARE(result, 0);

        for (const QByteArray& value : {randomBytes(15), randomBytes(16), QByteArray("a\0b", 3), randomBytes(4000)}) {
            const QByteArray token = encrypt(value);
            const QByteArray record = QByteArray::fromBase64(token);
            QCOMPARE(record.size(), 24 + (value.size() / 16 + 1) * 16);
            QCOMPARE(token, record.toBase64());
            QCOMPARE(quint8(record[0]) & 0xf0, 0x10);
            QCOMPARE(decrypt(token), value);
        }

        // The random head makes every token of the same value different.
        QVERIFY(encrypt("secret") != encrypt("secret"));
    }

    void headBytes()
    {
        // Changes to the check and the ciphertext are the fuzz harness's; these
        // are the head bytes.
        const QByteArray token = encrypt("front panel password");
        const QByteArray record = QByteArray::fromBase64(token);
        // The check selectors choose its key pieces: changing one breaks the check.
        for (int i : {4, 5})
            QVERIFY(decrypt(withByte(token, i, char(record[i] + 1))).isNull());
        // Key and IV selectors are not covered by the check; the value never survives.
        for (int i : {1, 2})
            QVERIFY(decrypt(withByte(token, i, char(record[i] + 1))) != "front panel password");
        // Another version nibble.
        QVERIFY(decrypt(withByte(token, 0, char(0x20 | (record[0] & 0x0f)))).isNull());
        // The low nibble of the version byte is outside the check's cover.
        QCOMPARE(decrypt(withByte(token, 0, char(0x1f))), QByteArray("front panel password"));
    }

    void wrongLengthsRefused()
    {
        const QByteArray token = encrypt("x");
        for (const QByteArray& bad : {token.left(52), token + "A", QByteArray()}) {
            int result = 0;
            QVERIFY(decrypt(bad, &result).isNull());
            QCOMPARE(result, -1);
        }
        // Right length, but blanks leave fewer bytes than a record needs.
        QVERIFY(decrypt(token.left(20) + QByteArray(36, ' ')).isNull());
        QVERIFY(decrypt(QByteArray(56, '=')).isNull());
        // A record whose ciphertext is not whole blocks.
        QVERIFY(decrypt(token.left(52) + "    ").isNull());
    }

    void badArguments()
    {
        char* out = nullptr;
        QCOMPARE(encryptToken(nullptr, 3, &out), -1);
        QCOMPARE(encryptToken("abc", -1, &out), -1);
        QCOMPARE(encryptToken("abc", 3, nullptr), -1);
        QCOMPARE(encryptToken(nullptr, 0, &out), 56);
        std::free(out);
        out = nullptr;
        QCOMPARE(decryptToken(nullptr, 56, &out), -1);
        QVERIFY(out == nullptr);
    }

    void init() { QTest::failOnWarning(QRegularExpression(".")); }
};


QTEST_GUILESS_MAIN(TokenCodecTest)
#include "tst_tokencodec.moc"
