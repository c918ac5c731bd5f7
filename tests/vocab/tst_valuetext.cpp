#include "link/valuetext.h"

#include <QtTest>

#include <climits>
#include <list>
#include <vector>

Q_DECLARE_METATYPE(CodecConfig)

namespace {

std::string bytes(const QByteArray &a) { return a.toStdString(); }

CodecConfig config(int codec, int rate, unsigned mode, int bits, int fec)
{
    CodecConfig c;
    c.codec = codec;
    c.sampleRate = rate;
    c.channelMode = mode;
    c.bitRate = bits;
    c.fec = std::int16_t(fec);
    return c;
}

} // namespace

class TestValueText : public QObject
{
    Q_OBJECT

private slots:
    void numberTexts();
    void fromStringValues_data();
    void fromStringValues();
    void utf8Latin1_data();
    void utf8Latin1();
    void codecNames();
    void codecConfig_data();
    void codecConfig();
    void splittingAndDurations();
    void unitErrors();
};

void TestValueText::numberTexts()
{
    QCOMPARE(toString(LONG_MIN), std::string("-9223372036854775808"));
    QCOMPARE(toString(ULONG_MAX), std::string("18446744073709551615"));
    QCOMPARE(toString(std::int16_t(-1)), std::string("-1"));
    QCOMPARE(toString(0.5f), std::string("0.5"));
    QCOMPARE(toString(48.0f), std::string("48"));
    QCOMPARE(toString(1234567.0f), std::string("1.23457e+06"));

    QCOMPARE(toHexString(255, 4), std::string("00FF"));
    QCOMPARE(toHexString(0L, 0), std::string("0"));
    // Negative values are 32-bit two's complement, also with a 64-bit long.
    QCOMPARE(toHexString(-1L, 0), std::string("FFFFFFFF"));
    QCOMPARE(toHexString(-2L, 10), std::string("00FFFFFFFE"));
    QCOMPARE(toHexString(0x123456789AL, 0), std::string("123456789A"));
    QCOMPARE(toHexString(ULONG_MAX, 0), std::string("FFFFFFFFFFFFFFFF"));
    QCOMPARE(toHexString(0xABCUL, -3), std::string("ABC"));

    QCOMPARE(fromHexString<long>("1f"), 31L);
    QCOMPARE(fromHexString<long>("0x1F"), 0L);
    QCOMPARE(fromHexString<long>(""), 0L);
    QCOMPARE(fromHexString<long>("-1"), 0L);
    QCOMPARE(fromHexString<long>("FFFFFFFF"), 4294967295L);
    QCOMPARE(fromHexString<unsigned long>("1FFFFFFFFFFFFFFFF"), ULONG_MAX);

    QCOMPARE(parsePNumber("P2"), short(2));
    QCOMPARE(parsePNumber("2"), short(2));
    QCOMPARE(parsePNumber("P"), short(0));
    QCOMPARE(parsePNumber("p2"), short(0));
}

void TestValueText::fromStringValues_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<long>("asLong");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<short>("asShort");
    QTest::addColumn<float>("asFloat");

    auto row = [](const char *name, const QByteArray &text, long l, int i, short s, float f) {
        QTest::newRow(name) << text << l << i << s << f;
    };
    row("plain", "12", 12, 12, 12, 12.0f);
    row("trailing letter", "12a", 0, 0, 0, 0.0f);
    row("leading blank", " 12", 0, 0, 0, 0.0f);
    row("empty", "", 0, 0, 0, 0.0f);
    row("fraction", "1.5", 1, 1, 1, 1.5f);
    row("plus", "+7", 7, 7, 7, 7.0f);
    row("sign only", "-", 0, 0, 0, 0.0f);
    row("stops at sign", "12-3", 12, 12, 12, 12.0f);
    row("exponent refused", "1e3", 0, 0, 0, 0.0f);
    row("int overflow saturates", "99999999999", 99999999999L, INT_MAX, SHRT_MAX, 99999999999.0f);
    row("short overflow", "-40000", -40000, -40000, SHRT_MIN, -40000.0f);
    row("nul byte", QByteArray("1\0002", 3), 0, 0, 0, 0.0f);
}

void TestValueText::fromStringValues()
{
    QFETCH(QByteArray, text);
    QFETCH(long, asLong);
    QFETCH(int, asInt);
    QFETCH(short, asShort);
    QFETCH(float, asFloat);
    QCOMPARE(fromString<long>(bytes(text)), asLong);
    QCOMPARE(fromString<int>(bytes(text)), asInt);
    QCOMPARE(fromString<short>(bytes(text)), asShort);
    QCOMPARE(fromString<float>(bytes(text)), asFloat);
}

void TestValueText::utf8Latin1_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QByteArray>("latin1");

    QTest::newRow("e acute") << QByteArray("\xC3\xA9") << QByteArray("\xE9");
    QTest::newRow("y umlaut") << QByteArray("\xC3\xBF") << QByteArray("\xFF");
    QTest::newRow("euro passes") << QByteArray("\xE2\x82\xAC") << QByteArray();
    QTest::newRow("lone lead at end") << QByteArray("a\xC3") << QByteArray();
    QTest::newRow("lead without continuation") << QByteArray("\xC3" "A") << QByteArray();
    QTest::newRow("other lead byte") << QByteArray("\xC4\x80") << QByteArray();
}

// An empty Latin-1 column means the bytes pass unchanged, one way only.
void TestValueText::utf8Latin1()
{
    QFETCH(QByteArray, utf8);
    QFETCH(QByteArray, latin1);
    if (latin1.isEmpty()) {
        QCOMPARE(QByteArray::fromStdString(utf8ToLatin1(bytes(utf8))), utf8);
        return;
    }
    QCOMPARE(QByteArray::fromStdString(utf8ToLatin1(bytes(utf8))), latin1);
    QCOMPARE(QByteArray::fromStdString(latin1ToUtf8(bytes(latin1))), utf8);

    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    QCOMPARE(utf8ToLatin1(latin1ToUtf8(all)), all);
}

void TestValueText::codecNames()
{
    QCOMPARE(codecName(0), std::string("PCMA"));
    QCOMPARE(codecName(7), std::string("4SB"));
    QCOMPARE(codecName(28), std::string("AAC-eld"));
    for (std::uint32_t i = 0; i < 29; ++i)
        QCOMPARE(codecFromName(codecName(i)), int(i));
    QCOMPARE(codecName(29), std::string());
    QCOMPARE(codecName(0xFFFFFFFFu), std::string());
    QCOMPARE(codecFromName("celp"), -1);
    QCOMPARE(codecFromName(""), -1);

    QCOMPARE(channelModeName(3), std::string("jstereo"));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(channelModeFromName(channelModeName(i)), i);
    QCOMPARE(channelModeName(-1), std::string());
    QCOMPARE(channelModeName(4), std::string());
    QCOMPARE(channelModeFromName("Stereo"), -1);
}

enum Way { Writes = 1, Reads = 2, Both = 3 };

void TestValueText::codecConfig_data()
{
    QTest::addColumn<CodecConfig>("config");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("way");

    auto row = [](const char *name, const CodecConfig &c, const QByteArray &text, int way) {
        QTest::newRow(name) << c << text << way;
    };
    row("G722", config(3, 48000, 0, 64000, -1), "G722", Both);
    row("OPUS", config(19, 48000, 2, 128000, -1), "OPUS/48000/stereo/128000", Both);
    row("MPA2 always fec", config(8, 48000, 3, 256000, -1), "MPA2/48000/jstereo/256000/-1", Both);
    row("MPA2P no fec", config(9, 48000, 2, 128000, 0), "MPA2P/48000/stereo/128000", Writes);
    row("CELP fec", config(13, 16000, 0, 24000, 2), "CELP/16000/mono/24000/P2", Both);
    row("CELP short", config(13, 16000, 0, 24000, -1), "CELP", Both);
    row("GSM short", config(17, 8000, 0, 13000, -1), "GSM", Writes);
    row("unknown codec", config(40, 1, 0, 2, -1), "", Writes);
    row("bad mode", config(19, 48000, 7, 1, -1), "OPUS/48000//1", Writes);
    // Defaults filled in by the reader.
    row("TDAC", config(10, 32000, 0, 64000, -1), "TDAC", Reads);
    row("TDAC_G722", config(11, -1, 0, 64000, -1), "TDAC_G722", Reads);
    row("CELP three parts", config(13, 16000, 0, 24000, -1), "CELP/8000/mono", Reads);
    row("OPUS three parts", config(19, -1, 0, -1, -1), "OPUS/48000/stereo", Reads);
    row("unknown", config(-1, -1, 0, -1, -1), "XYZ/1/mono/2", Reads);
    row("only slashes", config(-1, -1, 0, -1, -1), "///", Reads);
    row("unknown mode", config(19, 48000, 0xFFFFFFFFu, 64000, -1), "OPUS/48000/quad/64000", Reads);
    row("extra parts ignored", config(8, 32000, 0, 64000, 1), "MPA2/32000/mono/64000/1/9/9", Reads);
    row("rate saturates", config(19, INT_MAX, 0, 1, -1), "OPUS/99999999999/mono/1", Reads);
}

void TestValueText::codecConfig()
{
    QFETCH(CodecConfig, config);
    QFETCH(QByteArray, text);
    QFETCH(int, way);
    if (way & Writes)
        QCOMPARE(QByteArray::fromStdString(codecConfigToString(config)), text);
    if (way & Reads) {
        const CodecConfig got = codecConfigFromString(bytes(text));
        QVERIFY2(got == config, qPrintable(QString("read %1/%2/%3/%4/%5").arg(got.codec)
                     .arg(got.sampleRate).arg(got.channelMode).arg(got.bitRate).arg(got.fec)));
    }
}

void TestValueText::splittingAndDurations()
{
    std::list<std::string> list{"kept"};
    QCOMPARE(splitToList("/a//b/", list, "/"), std::size_t(3));
    QCOMPARE(list, (std::list<std::string>{"kept", "a", "b"}));

    std::vector<std::string> parts;
    QCOMPARE(splitAny("a, b;;c", parts, ",; "), std::size_t(3));
    QCOMPARE(parts, (std::vector<std::string>{"a", "b", "c"}));
    parts.clear();
    QCOMPARE(splitAny(",,,", parts, ","), std::size_t(0));
    QCOMPARE(splitAny("abc", parts, nullptr), std::size_t(1));
    QCOMPARE(splitAny(std::string("x\0y", 3), parts, ","), std::size_t(2));
    QCOMPARE(parts.back(), std::string("x\0y", 3));

    std::string out = "old";
    QCOMPARE(formatDuration(3725, out), std::size_t(8));
    QCOMPARE(out, std::string("01:02:05"));
    formatDuration(360000, out);
    QCOMPARE(out, std::string("100:00:00"));
    formatDuration(UINT64_MAX, out);
    QCOMPARE(out, std::string("5124095576030431:00:15"));
}

void TestValueText::unitErrors()
{
    for (int n : {0, 29, 99, 142, 199, 200, 205, -1, INT_MIN, INT_MAX})
        QCOMPARE(errorText(n), std::string("200-unknown error"));
    QCOMPARE(errorText(1), std::string("001-location unavailable"));
    QCOMPARE(errorText(204), std::string("204-unknown command"));

    // Every own text starts with its number and reads back to it.
    int own = 0;
    for (int n = 1; n <= 204; ++n) {
        const std::string &text = errorText(n);
        if (text == "200-unknown error")
            continue;
        ++own;
        QCOMPARE(text.substr(0, 3), QByteArray::number(n).rightJustified(3, '0').toStdString());
        QCOMPARE(errorCodeFromText(text), n);
    }
    QCOMPARE(own, 74);

    for (const char *text : {"117-timeout ", "117", "", "200-unknown error", "OK"})
        QCOMPARE(errorCodeFromText(text), 200);
}

int runValueTextTests(int argc, char **argv)
{
    TestValueText t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_valuetext.moc"
