#include "link/valuetext.h"

#include <QtTest>

#include <climits>
#include <list>
#include <vector>

Q_DECLARE_METATYPE(CodecConfig)

namespace {

std::string bytes(const QByteArray &a) { return a.toStdString(); }

QByteArray joined(const std::vector<std::string> &items)
{
    QByteArray out;
    for (const auto &s : items)
        out += QByteArray("[") + QByteArray::fromStdString(s) + "]";
    return out;
}

} // namespace

class TestValueText : public QObject
{
    Q_OBJECT

private slots:
    void decimalText();
    void hexText();
    void fromStringValues_data();
    void fromStringValues();
    void fromHexValues();
    void pNumbers();
    void utf8Latin1_data();
    void utf8Latin1();
    void codecNamesBothWays();
    void codecConfigText_data();
    void codecConfigText();
    void codecConfigDefaults_data();
    void codecConfigDefaults();
    void splitting();
    void durations();
    void unitErrors();
};

void TestValueText::decimalText()
{
    QCOMPARE(toString(0), std::string("0"));
    QCOMPARE(toString(-42), std::string("-42"));
    QCOMPARE(toString(LONG_MIN), std::string("-9223372036854775808"));
    QCOMPARE(toString(ULONG_MAX), std::string("18446744073709551615"));
    QCOMPARE(toString(std::int16_t(-1)), std::string("-1"));
    QCOMPARE(toString(0.5f), std::string("0.5"));
    QCOMPARE(toString(48.0f), std::string("48"));
    QCOMPARE(toString(1234567.0f), std::string("1.23457e+06"));
}

void TestValueText::hexText()
{
    QCOMPARE(toHexString(255, 4), std::string("00FF"));
    QCOMPARE(toHexString(255, 0), std::string("FF"));
    QCOMPARE(toHexString(0L, 0), std::string("0"));
    // Negative values are 32-bit two's complement, also with a 64-bit long.
    QCOMPARE(toHexString(-1L, 0), std::string("FFFFFFFF"));
    QCOMPARE(toHexString(-2L, 10), std::string("00FFFFFFFE"));
    QCOMPARE(toHexString(0x123456789AL, 0), std::string("123456789A"));
    QCOMPARE(toHexString(ULONG_MAX, 0), std::string("FFFFFFFFFFFFFFFF"));
    QCOMPARE(toHexString(0xABCUL, -3), std::string("ABC"));
}

void TestValueText::fromStringValues_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<short>("asShort");
    QTest::addColumn<float>("asFloat");

    QTest::newRow("plain") << QByteArray("12") << 12 << short(12) << 12.0f;
    QTest::newRow("trailing letter") << QByteArray("12a") << 0 << short(0) << 0.0f;
    QTest::newRow("leading blank") << QByteArray(" 12") << 0 << short(0) << 0.0f;
    QTest::newRow("empty") << QByteArray() << 0 << short(0) << 0.0f;
    QTest::newRow("fraction") << QByteArray("1.5") << 1 << short(1) << 1.5f;
    QTest::newRow("plus") << QByteArray("+7") << 7 << short(7) << 7.0f;
    QTest::newRow("minus") << QByteArray("-12") << -12 << short(-12) << -12.0f;
    QTest::newRow("sign only") << QByteArray("-") << 0 << short(0) << 0.0f;
    QTest::newRow("dot only") << QByteArray(".") << 0 << short(0) << 0.0f;
    QTest::newRow("stops at sign") << QByteArray("12-3") << 12 << short(12) << 12.0f;
    QTest::newRow("exponent refused") << QByteArray("1e3") << 0 << short(0) << 0.0f;
    QTest::newRow("int overflow saturates") << QByteArray("99999999999") << INT_MAX
                                             << short(SHRT_MAX) << 99999999999.0f;
    QTest::newRow("short overflow") << QByteArray("40000") << 40000 << short(SHRT_MAX)
                                    << 40000.0f;
    QTest::newRow("nul byte") << QByteArray("1\0002", 3) << 0 << short(0) << 0.0f;
}

void TestValueText::fromStringValues()
{
    QFETCH(QByteArray, text);
    QFETCH(int, asInt);
    QFETCH(short, asShort);
    QFETCH(float, asFloat);
    QCOMPARE(fromString<int>(bytes(text)), asInt);
    QCOMPARE(fromString<short>(bytes(text)), asShort);
    QCOMPARE(fromString<float>(bytes(text)), asFloat);
    QCOMPARE(fromString<long>(bytes(text)), text == "99999999999" ? 99999999999L : long(asInt));
}

void TestValueText::fromHexValues()
{
    QCOMPARE(fromHexString<long>("1f"), 31L);
    QCOMPARE(fromHexString<long>("1F"), 31L);
    QCOMPARE(fromHexString<long>("0x1F"), 0L);
    QCOMPARE(fromHexString<long>(""), 0L);
    QCOMPARE(fromHexString<long>("-1"), 0L);
    QCOMPARE(fromHexString<long>("FFFFFFFF"), 4294967295L);
    QCOMPARE(fromHexString<unsigned long>("FFFFFFFFFFFFFFFF"), ULONG_MAX);
    QCOMPARE(fromHexString<unsigned long>("1FFFFFFFFFFFFFFFF"), ULONG_MAX);
}

void TestValueText::pNumbers()
{
    QCOMPARE(parsePNumber("P2"), short(2));
    QCOMPARE(parsePNumber("2"), short(2));
    QCOMPARE(parsePNumber("P"), short(0));
    QCOMPARE(parsePNumber("p2"), short(0));
    QCOMPARE(parsePNumber(""), short(0));
}

void TestValueText::utf8Latin1_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QByteArray>("latin1");
    QTest::addColumn<bool>("bothWays");

    QTest::newRow("ascii") << QByteArray("abc") << QByteArray("abc") << true;
    QTest::newRow("e acute") << QByteArray("\xC3\xA9") << QByteArray("\xE9") << true;
    QTest::newRow("nbsp") << QByteArray("\xC2\xA0") << QByteArray("\xA0") << true;
    QTest::newRow("y umlaut") << QByteArray("\xC3\xBF") << QByteArray("\xFF") << true;
    QTest::newRow("euro passes") << QByteArray("\xE2\x82\xAC") << QByteArray("\xE2\x82\xAC")
                                 << false;
    QTest::newRow("lone lead at end") << QByteArray("a\xC3") << QByteArray("a\xC3") << false;
    QTest::newRow("lead without continuation") << QByteArray("\xC3" "A")
                                               << QByteArray("\xC3" "A") << false;
    QTest::newRow("other lead byte") << QByteArray("\xC4\x80") << QByteArray("\xC4\x80")
                                     << false;
}

void TestValueText::utf8Latin1()
{
    QFETCH(QByteArray, utf8);
    QFETCH(QByteArray, latin1);
    QFETCH(bool, bothWays);
    QCOMPARE(QByteArray::fromStdString(utf8ToLatin1(bytes(utf8))), latin1);
    if (bothWays)
        QCOMPARE(QByteArray::fromStdString(latin1ToUtf8(bytes(latin1))), utf8);

    // Every Latin-1 byte survives the trip through UTF-8.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    QCOMPARE(utf8ToLatin1(latin1ToUtf8(all)), all);
}

void TestValueText::codecNamesBothWays()
{
    const char *names[] = {
        "PCMA", "PCMU", "G711", "G722", "G722-SRT", "G722-H242", "G722-H221", "4SB", "MPA2",
        "MPA2P", "TDAC", "TDAC_G722", "G722_TDAC", "CELP", "AAC-lbr", "AAC-he", "AAC-hev2",
        "GSM", "Phone", "OPUS", "L16", "L20", "L24", "AAC-lbr-loas", "AAC-he-loas",
        "AAC-hev2-loas", "MPA3", "AAC-ld", "AAC-eld",
    };
    for (int i = 0; i < 29; ++i) {
        QCOMPARE(codecName(std::uint32_t(i)), std::string(names[i]));
        QCOMPARE(codecFromName(names[i]), i);
    }
    QCOMPARE(codecName(29), std::string());
    QCOMPARE(codecName(0xFFFFFFFFu), std::string());
    QCOMPARE(codecFromName("celp"), -1);
    QCOMPARE(codecFromName(""), -1);

    const char *modes[] = {"mono", "dmono", "stereo", "jstereo"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(channelModeName(i), std::string(modes[i]));
        QCOMPARE(channelModeFromName(modes[i]), i);
    }
    QCOMPARE(channelModeName(-1), std::string());
    QCOMPARE(channelModeName(4), std::string());
    QCOMPARE(channelModeFromName("Stereo"), -1);
}

static CodecConfig config(int codec, int rate, unsigned mode, int bits, int fec)
{
    CodecConfig c;
    c.codec = codec;
    c.sampleRate = rate;
    c.channelMode = mode;
    c.bitRate = bits;
    c.fec = std::int16_t(fec);
    return c;
}

void TestValueText::codecConfigText_data()
{
    QTest::addColumn<CodecConfig>("config");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("readsBack");

    QTest::newRow("G722") << config(3, 48000, 0, 64000, -1) << QByteArray("G722") << true;
    QTest::newRow("OPUS") << config(19, 48000, 2, 128000, -1)
                          << QByteArray("OPUS/48000/stereo/128000") << true;
    QTest::newRow("MPA2 always fec") << config(8, 48000, 3, 256000, -1)
                                     << QByteArray("MPA2/48000/jstereo/256000/-1") << true;
    QTest::newRow("MPA2P fec") << config(9, 48000, 2, 128000, 3)
                               << QByteArray("MPA2P/48000/stereo/128000/3") << true;
    QTest::newRow("MPA2P no fec") << config(9, 48000, 2, 128000, 0)
                                  << QByteArray("MPA2P/48000/stereo/128000") << false;
    QTest::newRow("CELP fec") << config(13, 16000, 0, 24000, 2)
                              << QByteArray("CELP/16000/mono/24000/P2") << true;
    QTest::newRow("CELP short") << config(13, 16000, 0, 24000, -1) << QByteArray("CELP") << true;
    QTest::newRow("AAC-eld") << config(28, 48000, 1, 64000, -1)
                             << QByteArray("AAC-eld/48000/dmono/64000") << true;
    QTest::newRow("GSM short") << config(17, 8000, 0, 13000, -1) << QByteArray("GSM") << false;
    QTest::newRow("unknown codec") << config(40, 1, 0, 2, -1) << QByteArray() << false;
    QTest::newRow("bad mode") << config(19, 48000, 7, 1, -1) << QByteArray("OPUS/48000//1")
                              << false;
}

void TestValueText::codecConfigText()
{
    QFETCH(CodecConfig, config);
    QFETCH(QByteArray, text);
    QFETCH(bool, readsBack);
    QCOMPARE(QByteArray::fromStdString(codecConfigToString(config)), text);
    if (readsBack)
        QVERIFY(codecConfigFromString(bytes(text)) == config);
}

void TestValueText::codecConfigDefaults_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<CodecConfig>("config");

    QTest::newRow("G722") << QByteArray("G722") << config(3, 48000, 0, 64000, -1);
    QTest::newRow("PCMA") << QByteArray("PCMA") << config(0, 48000, 0, 64000, -1);
    QTest::newRow("TDAC") << QByteArray("TDAC") << config(10, 32000, 0, 64000, -1);
    QTest::newRow("TDAC_G722") << QByteArray("TDAC_G722") << config(11, -1, 0, 64000, -1);
    QTest::newRow("CELP") << QByteArray("CELP") << config(13, 16000, 0, 24000, -1);
    QTest::newRow("CELP three parts") << QByteArray("CELP/8000/mono")
                                      << config(13, 16000, 0, 24000, -1);
    QTest::newRow("CELP full") << QByteArray("CELP/16000/mono/24000/P2")
                               << config(13, 16000, 0, 24000, 2);
    QTest::newRow("OPUS three parts") << QByteArray("OPUS/48000/stereo")
                                      << config(19, -1, 0, -1, -1);
    QTest::newRow("unknown") << QByteArray("XYZ/1/mono/2") << config(-1, -1, 0, -1, -1);
    QTest::newRow("empty") << QByteArray() << config(-1, -1, 0, -1, -1);
    QTest::newRow("only slashes") << QByteArray("///") << config(-1, -1, 0, -1, -1);
    QTest::newRow("unknown mode") << QByteArray("OPUS/48000/quad/64000")
                                  << config(19, 48000, 0xFFFFFFFFu, 64000, -1);
    QTest::newRow("extra parts ignored") << QByteArray("MPA2/32000/mono/64000/1/9/9")
                                         << config(8, 32000, 0, 64000, 1);
    QTest::newRow("rate saturates") << QByteArray("OPUS/99999999999/mono/1")
                                    << config(19, INT_MAX, 0, 1, -1);
}

void TestValueText::codecConfigDefaults()
{
    QFETCH(QByteArray, text);
    QFETCH(CodecConfig, config);
    const CodecConfig got = codecConfigFromString(bytes(text));
    QCOMPARE(got.codec, config.codec);
    QCOMPARE(got.sampleRate, config.sampleRate);
    QCOMPARE(got.channelMode, config.channelMode);
    QCOMPARE(got.bitRate, config.bitRate);
    QCOMPARE(got.fec, config.fec);
}

void TestValueText::splitting()
{
    std::list<std::string> list{"kept"};
    QCOMPARE(splitToList("/a//b/", list, "/"), std::size_t(3));
    QCOMPARE(list, (std::list<std::string>{"kept", "a", "b"}));

    std::vector<std::string> parts;
    QCOMPARE(splitAny("a, b;;c", parts, ",; "), std::size_t(3));
    QCOMPARE(joined(parts), QByteArray("[a][b][c]"));

    parts.clear();
    QCOMPARE(splitAny("", parts, ","), std::size_t(0));
    QCOMPARE(splitAny(",,,", parts, ","), std::size_t(0));
    QCOMPARE(splitAny("abc", parts, nullptr), std::size_t(1));
    QCOMPARE(splitAny(std::string("x\0y", 3), parts, ","), std::size_t(2));
    QCOMPARE(parts.back(), std::string("x\0y", 3));
}

void TestValueText::durations()
{
    std::string out = "old";
    QCOMPARE(formatDuration(3725, out), std::size_t(8));
    QCOMPARE(out, std::string("01:02:05"));
    formatDuration(360000, out);
    QCOMPARE(out, std::string("100:00:00"));
    formatDuration(0, out);
    QCOMPARE(out, std::string("00:00:00"));
    formatDuration(UINT64_MAX, out);
    QCOMPARE(out, std::string("5124095576030431:00:15"));
}

void TestValueText::unitErrors()
{
    for (int n : {0, 29, 50, 99, 142, 199, 200, 205, -1, INT_MIN, INT_MAX})
        QCOMPARE(errorText(n), std::string("200-unknown error"));
    QCOMPARE(errorText(1), std::string("001-location unavailable"));
    QCOMPARE(errorText(117), std::string("117-timeout"));
    QCOMPARE(errorText(140), std::string("140-inconsistant with sip2"));
    QCOMPARE(errorText(204), std::string("204-unknown command"));

    int own = 0;
    for (int n = 1; n <= 204; ++n) {
        const std::string &text = errorText(n);
        if (n == 200 || text == "200-unknown error")
            continue;
        ++own;
        QCOMPARE(text.substr(0, 3), QByteArray::number(n).rightJustified(3, '0').toStdString());
        QCOMPARE(errorCodeFromText(text), n);
    }
    QCOMPARE(own, 28 + 42 + 4);

    QCOMPARE(errorCodeFromText("117-timeout "), 200);
    QCOMPARE(errorCodeFromText("117"), 200);
    QCOMPARE(errorCodeFromText(""), 200);
    QCOMPARE(errorCodeFromText("200-unknown error"), 200);
    QCOMPARE(errorCodeFromText("OK"), 200);
}

int runValueTextTests(int argc, char **argv)
{
    TestValueText t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_valuetext.moc"
