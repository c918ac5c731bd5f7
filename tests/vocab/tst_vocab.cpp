// The link's vocabulary: protocol words, value texts and the command language.
// Round trips over arbitrary input are the fuzz harnesses' (tests/fuzz); these
// are the edges a reader of the unit's texts must get right.
#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"

#include <QtTest>

#include "tests/support/testrows.h"

#include <climits>
#include <list>
#include <vector>

Q_DECLARE_METATYPE(CodecConfig)

// Built by this file's static initialisation, whose order relative to the
// library's is unspecified: the words must already be usable here.
static const std::string earlyRequest = wire::key::target() + ":" + wire::target::db();

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

QByteArray keysText(const std::vector<std::string> &keys)
{
    QByteArrayList out;
    for (const auto &k : keys)
        out << QByteArray::fromStdString(k);
    return out.join('|');
}

// "k=v|k2=v2" in key order, for compact expectations.
QByteArray paramsText(const TCommand &c)
{
    QByteArrayList out;
    for (const auto &p : c.params)
        out << QByteArray::fromStdString(p.first + '=' + p.second);
    return out.join('|');
}

struct NumberRow {
    const char *name;
    QByteArray text;
    long asLong;
    int asInt;
    short asShort;
    float asFloat;
};
const NumberRow numberRows[] = {
    {"trailing letter", "12a", 0, 0, 0, 0.0f},
    {"leading blank", " 12", 0, 0, 0, 0.0f},
    {"fraction", "1.5", 1, 1, 1, 1.5f},
    {"plus", "+7", 7, 7, 7, 7.0f},
    {"sign only", "-", 0, 0, 0, 0.0f},
    {"stops at sign", "12-3", 12, 12, 12, 12.0f},
    {"exponent refused", "1e3", 0, 0, 0, 0.0f},
    {"int overflow saturates", "99999999999", 99999999999L, INT_MAX, SHRT_MAX, 99999999999.0f},
    {"short overflow", "-40000", -40000, -40000, SHRT_MIN, -40000.0f},
    {"nul byte", QByteArray("1\0002", 3), 0, 0, 0, 0.0f},
};

struct ParseRow {
    const char *name;
    QByteArray text;
    int result;
    uint verb;
    const char *params, *gets, *lists;
};
const ParseRow parseRows[] = {
    {"no separator", "PARAM", -1, TCommand::NoVerb, "", "", ""},
    {"empty", "", -1, TCommand::NoVerb, "", "", ""},
    {"leading separators", ";;DO;", 0, TCommand::Do, "", "", ""},
    {"not a verb", "GET;x:1;", -1, TCommand::NoVerb, "", "", ""},
    {"first wins", "PARAM;a:1;a:2;", 0, TCommand::Param, "a=1", "", ""},
    {"bare item", "PARAM;x;", 0, TCommand::Param, "x=x", "", ""},
    {"bare GET", "PARAM;GET;", 0, TCommand::Param, "", "GET", ""},
    {"empty GET", "PARAM;GET:;LIST:;", 0, TCommand::Param, "", "", ""},
    {"get and list", "INFO;GET:a;LIST:b;GET:a;", 0, TCommand::Info, "", "a|a", "b"},
    {"colon in value", "PARAM;k:v:w;", 0, TCommand::Param, "k=v:w", "", ""},
    {"leading colon", "PARAM;:k:v;", 0, TCommand::Param, "k=v", "", ""},
    {"colon no key", "PARAM;:x;", 0, TCommand::Param, "x=:x", "", ""},
    {"escapes", "PARAM;k:a\\;b\\\\c\\d;", 0, TCommand::Param, "k=a;b\\cd", "", ""},
    {"empty items", "EVENT;k:1;;;m:2", 0, TCommand::Event, "k=1|m=2", "", ""},
    {"only colons", "PARAM;::;a:1;", 0, TCommand::Param, "a=1", "", ""},
    {"escaped colon splits", "PARAM;k\\:v;", 0, TCommand::Param, "k=v", "", ""},
    {"trailing backslash", "PARAM;k:v\\", 0, TCommand::Param, "k=v", "", ""},
    {"item starts with backslash", "PARAM;\\\\k:v;", 0, TCommand::Param, "k=v", "", ""},
};

} // namespace

enum Way { Writes = 1, Reads = 2, Both = 3 };

class TestVocab : public QObject
{
    Q_OBJECT

private slots:
    void numbersAndDurations()
    {
        QCOMPARE(earlyRequest, std::string("target:db"));

        QCOMPARE(toString(1234567.0f), std::string("1.23457e+06"));
        QCOMPARE(toHexString(255, 4), std::string("00FF"));
        // Negative values are 32-bit two's complement, also with a 64-bit long.
        QCOMPARE(toHexString(-2L, 10), std::string("00FFFFFFFE"));
        QCOMPARE(toHexString(0x123456789AL, 0), std::string("123456789A"));
        QCOMPARE(fromHexString<long>("1f"), 31L);
        QCOMPARE(fromHexString<long>("0x1F"), 0L);
        QCOMPARE(fromHexString<unsigned long>("1FFFFFFFFFFFFFFFF"), ULONG_MAX);
        QCOMPARE(parsePNumber("P2"), short(2));
        QCOMPARE(parsePNumber("p2"), short(0));

        std::vector<std::string> parts;
        QCOMPARE(splitAny("a, b;;c", parts, ",; "), std::size_t(3));
        QCOMPARE(splitAny(std::string("x\0y", 3), parts, ","), std::size_t(4));
        QCOMPARE(parts.back(), std::string("x\0y", 3));
        QCOMPARE(splitAny("abc", parts, nullptr), std::size_t(5));
        std::list<std::string> list{"kept"};
        QCOMPARE(splitToList("/a//b/", list, "/"), std::size_t(3));

        std::string out = "old";
        QCOMPARE(formatDuration(3725, out), std::size_t(8));
        QCOMPARE(out, std::string("01:02:05"));
        formatDuration(UINT64_MAX, out);
        QCOMPARE(out, std::string("5124095576030431:00:15"));
    }

    void fromStringValues_data() { indexRows(numberRows); }

    void fromStringValues()
    {
        QFETCH(int, row);
        const NumberRow &r = numberRows[row];
        QCOMPARE(fromString<long>(bytes(r.text)), r.asLong);
        QCOMPARE(fromString<int>(bytes(r.text)), r.asInt);
        QCOMPARE(fromString<short>(bytes(r.text)), r.asShort);
        QCOMPARE(fromString<float>(bytes(r.text)), r.asFloat);
    }

    void utf8Latin1()
    {
        QCOMPARE(utf8ToLatin1("\xC3\xA9"), std::string("\xE9"));
        QCOMPARE(latin1ToUtf8("\xFF"), std::string("\xC3\xBF"));
        // Everything else passes byte for byte.
        for (const char *same : {"\xE2\x82\xAC", "a\xC3", "\xC3" "A", "\xC4\x80"})
            QCOMPARE(utf8ToLatin1(same), std::string(same));
    }

    void codecConfig_data()
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
        row("unknown codec", config(40, 1, 0, 2, -1), "", Writes);
        row("bad mode", config(19, 48000, 7, 1, -1), "OPUS/48000//1", Writes);
        row("TDAC defaults", config(10, 32000, 0, 64000, -1), "TDAC", Reads);
        row("CELP three parts", config(13, 16000, 0, 24000, -1), "CELP/8000/mono", Reads);
        row("OPUS three parts", config(19, -1, 0, -1, -1), "OPUS/48000/stereo", Reads);
        row("unknown", config(-1, -1, 0, -1, -1), "XYZ/1/mono/2", Reads);
        row("only slashes", config(-1, -1, 0, -1, -1), "///", Reads);
        row("unknown mode", config(19, 48000, 0xFFFFFFFFu, 64000, -1), "OPUS/48000/quad/64000", Reads);
        row("rate saturates", config(19, INT_MAX, 0, 1, -1), "OPUS/99999999999/mono/1", Reads);
    }

    void codecConfig()
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

    void unitErrors()
    {
        for (int n : {0, 29, 142, 200, 205, INT_MIN, INT_MAX})
            QCOMPARE(errorText(n), std::string("200-unknown error"));
        QCOMPARE(errorText(117), std::string("117-timeout"));
        QCOMPARE(errorCodeFromText("117-timeout"), 117);
        for (const char *text : {"117-timeout ", "117", "", "200-unknown error"})
            QCOMPARE(errorCodeFromText(text), 200);

        TCommand c;
        QCOMPARE(c.cause(), 200);
        c.setParam("cause", "122-pin required");
        c.setParam("y", "105-invalid value ");
        QCOMPARE(c.cause(), 122);
        QCOMPARE(c.paramErrorCode("y"), 200);

        // The unit's own texts, and the wider form of any unit error text.
        QVERIFY(isUnitErrorText("105-invalid value") && isUnitErrorText("200-unknown error"));
        QVERIFY(!isUnitErrorText("150-made up") && !isUnitErrorText("105-invalid value "));
        QVERIFY(looksLikeUnitError("150-made up") && looksLikeUnitError("200-unknown error"));
        for (const char *text : {"123-", "12a-x", "1234-x", "label"})
            QVERIFY2(!looksLikeUnitError(text), text);
    }

    void parseTable_data() { indexRows(parseRows); }

    void parseTable()
    {
        QFETCH(int, row);
        const ParseRow &r = parseRows[row];
        TCommand c(TCommand::Do);
        c.setParam("stale", "1");
        c.addGet("stale");
        QCOMPARE(TCommand::parse(bytes(r.text), c), r.result);
        QCOMPARE(uint(c.verb), r.verb);
        QCOMPARE(paramsText(c), QByteArray(r.params));
        QCOMPARE(keysText(c.getKeys), QByteArray(r.gets));
        QCOMPARE(keysText(c.listKeys), QByteArray(r.lists));
    }

    void writing()
    {
        TCommand c(TCommand::Param);
        for (const char *key : {"type", "abc", "Z", "a"})
            c.setParam(key, "1");
        c.setParam("v", "a;b\\c");
        c.addList("l2");
        c.addList("l1");
        c.addGet("x;y");
        std::string out = "old";
        QCOMPARE(TCommand::write(c, out), 0);
        QCOMPARE(out, std::string("PARAM;Z:1;a:1;abc:1;type:1;v:a\\;b\\\\c;GET:x\\;y;LIST:l2;LIST:l1;"));
        // A ";" inside a key must not add parameters on the wire.
        TCommand key(TCommand::Param);
        key.setParam("a;target", "db");
        QCOMPARE(TCommand::write(key, out), 0);
        QCOMPARE(out, std::string("PARAM;a\\;target:db;"));

        // Verbs without a word, and keys the parser would read back as something else.
        const std::vector<std::pair<std::uint32_t, const char *>> bad = {
            {0u, "a"}, {5u, "a"}, {TCommand::Param, ""}, {TCommand::Param, "a:b"},
            {TCommand::Param, "\\a"}, {TCommand::Param, "GET"}, {TCommand::Param, "LIST"},
        };
        for (const auto &b : bad) {
            TCommand refused(b.first);
            refused.setParam(b.second, "v");
            out = "untouched";
            QVERIFY2(TCommand::write(refused, out) == -1, b.second);
            QCOMPARE(out, std::string("untouched"));
        }

        // Lookups never insert; absent keys share one empty text.
        QCOMPARE(TCommand::parse("PARAM;k:;", c), 0);
        QVERIFY(c.param("k", false) && c.param("k", false)->empty());
        QVERIFY(!c.param("absent", false));
        QCOMPARE(TCommand().param("other"), c.param("absent", true));
        QCOMPARE(c.params.size(), std::size_t(1));
    }

    void setParamAndMerge()
    {
        TCommand c(TCommand::Param);
        c.setParam("a", "1");
        c.setParam("a", "2");
        QCOMPARE(*c.param("a"), std::string("1"));
        c.setParam("a", "4", 7);  // any other mode replaces
        c.setParam("e", "");
        c.setParam("e", "2", TCommand::Append, ',');
        QCOMPARE(paramsText(c), QByteArray("a=4|e=2"));
        // A parameter appended to itself, and a command merged into itself.
        c.setParam("a", *c.param("a"), TCommand::Append, '|');
        QCOMPARE(*c.param("a"), std::string("4|4"));
        c.merge(c, TCommand::Append, ',');
        QCOMPARE(paramsText(c), QByteArray("a=4|4,4|4|e=2,2"));

        // Only parameters merge; present keys keep their value unless asked.
        TCommand other(TCommand::Do);
        other.setParam("a", "new");
        other.setParam("b", "2");
        other.addGet("g");
        c.reset(TCommand::Param);
        c.setParam("a", "old");
        c.merge(other, TCommand::KeepExisting, ';');
        QCOMPARE(paramsText(c), QByteArray("a=old|b=2"));
        QVERIFY(c.verb == TCommand::Param && c.getKeys.empty());
    }

    void splitAndJoin_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("items");

        QTest::newRow("empty piece") << QByteArray("a,,b") << QByteArray("a||b");
        QTest::newRow("trailing comma") << QByteArray("a,") << QByteArray("a|");
        QTest::newRow("escaped comma") << QByteArray("x\\,y") << QByteArray("x,y");
        QTest::newRow("escaped backslash") << QByteArray("x\\\\,y") << QByteArray("x\\|y");
        QTest::newRow("empty text") << QByteArray() << QByteArray();
        QTest::newRow("lone trailing backslash") << QByteArray("a\\") << QByteArray("a");
    }

    void splitAndJoin()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, items);

        using Split = void (*)(const std::string &, std::vector<std::string> &);
        const std::vector<std::pair<char, Split>> variants = {{',', splitEscaped}, {'/', splitEscapedSlash}};
        for (const auto &[separator, split] : variants) {
            std::vector<std::string> parts;
            split(bytes(QByteArray(text).replace(',', separator)), parts);
            QCOMPARE(keysText(parts), QByteArray(items).replace(',', separator));
            QCOMPARE(int(parts.size()), text.isEmpty() ? 0 : int(items.count('|')) + 1);
        }
        // Joining appends; the fuzz harness splits back what was joined.
        std::string joined = "x:";
        joinEscapedSlash({"a/b", ""}, joined);
        QCOMPARE(joined, std::string("x:a\\/b/"));

        // Positions at or past the end, and npos, end the scan.
        std::string out;
        QCOMPARE(unescapeToken("abc", out, std::string::npos, ","), std::string::npos);
        QCOMPARE(unescapeToken("abc", out, 10, ","), std::string::npos);
        QVERIFY(out.empty());
        QCOMPARE(unescapeToken("ab,cd", out, 1, ","), std::size_t(3));
        QCOMPARE(out, std::string("b"));
    }
};

QTEST_GUILESS_MAIN(TestVocab)
#include "tst_vocab.moc"
