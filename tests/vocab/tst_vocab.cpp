#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"

#include <QRandomGenerator>
#include <QtTest>

#include <climits>
#include <list>
#include <map>
#include <set>
#include <tuple>
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

bool sameCommand(const TCommand &a, const TCommand &b)
{
    return a.verb == b.verb && a.params == b.params && a.getKeys == b.getKeys
        && a.listKeys == b.listKeys;
}

} // namespace

// The link's vocabulary: protocol words, value texts and the command language.
class TestVocab : public QObject
{
    Q_OBJECT

private slots:
    // protocol words
    void protocolWords();

    // value texts
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

    // command language
    void parseTable_data();
    void parseTable();
    void paramLookup();
    void writeOrderAndForm();
    void writesRefused();
    void escapingRoundTrips_data();
    void escapingRoundTrips();
    void setParamModes();
    void requestKinds();
    void merging();
    void causes();
    void splitAndJoin_data();
    void splitAndJoin();
    void unescapeTokenEdges();
    void randomBytesRoundTrip();
};

void TestVocab::protocolWords()
{
    QCOMPARE(earlyRequest, std::string("target:db"));

    std::map<std::string, int> sizes;
    std::map<std::string, int> counts;
    for (const auto &entry : wire::allWords()) {
        ++sizes[entry.group];
        const std::string &w = entry.word();
        ++counts[w];
        QVERIFY2(w.empty() || (w.front() != ' ' && w.back() != ' '), w.c_str());
    }
    const std::map<std::string, int> expected = {
        {"key", 84}, {"target", 14}, {"action", 36}, {"reply", 4},
        {"event", 81}, {"codec", 29}, {"channelMode", 4}, {"rate", 14},
        {"unitError", 75}, {"link", 13}, {"session", 1},
    };
    QCOMPARE(sizes, expected);

    // Only the words the unit's vocabulary repeats appear twice.
    const std::set<std::string> repeated = {
        "return", "network", "mode", "info", "relay_in", "relay_out", "system_update",
        "display", "PROGRESS", "OK", "NOK", "ERROR", "101-parameter not set",
        "", // the link's and the session's empty words
    };
    for (const auto &c : counts)
        QVERIFY2(c.second == (repeated.count(c.first) ? 2 : 1), c.first.c_str());
    QVERIFY(&wire::link::ok() != &wire::reply::ok());

    // The unit's own spellings.
    QCOMPARE(wire::unitError::wifiConnecting(), std::string("137-wifi connecting..."));
    QCOMPARE(wire::unitError::inconsistantWithSip2(), std::string("140-inconsistant with sip2"));
    QCOMPARE(wire::unitError::sip1NotConfigured(), std::string("141-sip1_not configured"));
    QCOMPARE(wire::event::callActive(), std::string("1000-call active"));
    QCOMPARE(wire::codec::fourSb(), std::string("4SB"));
    QCOMPARE(wire::key::return_(), std::string("return"));
    QCOMPARE(wire::link::controllerId(), std::string("controller_id"));
}

void TestVocab::numberTexts()
{
    QCOMPARE(toString(LONG_MIN), std::string("-9223372036854775808"));
    QCOMPARE(toString(ULONG_MAX), std::string("18446744073709551615"));
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

void TestVocab::fromStringValues_data()
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

void TestVocab::fromStringValues()
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

void TestVocab::utf8Latin1_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QByteArray>("latin1");

    QTest::newRow("e acute") << QByteArray("\xC3\xA9") << QByteArray("\xE9");
    QTest::newRow("nbsp") << QByteArray("\xC2\xA0") << QByteArray("\xA0");
    QTest::newRow("y umlaut") << QByteArray("\xC3\xBF") << QByteArray("\xFF");
    QTest::newRow("euro passes") << QByteArray("\xE2\x82\xAC") << QByteArray();
    QTest::newRow("lone lead at end") << QByteArray("a\xC3") << QByteArray();
    QTest::newRow("lead without continuation") << QByteArray("\xC3" "A") << QByteArray();
    QTest::newRow("other lead byte") << QByteArray("\xC4\x80") << QByteArray();
}

// An empty Latin-1 column means the bytes pass unchanged, one way only.
void TestVocab::utf8Latin1()
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

void TestVocab::codecNames()
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

void TestVocab::codecConfig_data()
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

void TestVocab::codecConfig()
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

void TestVocab::splittingAndDurations()
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

void TestVocab::unitErrors()
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

void TestVocab::parseTable_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("result");
    QTest::addColumn<uint>("verb");
    QTest::addColumn<QByteArray>("params");
    QTest::addColumn<QByteArray>("gets");
    QTest::addColumn<QByteArray>("lists");

    auto row = [](const char *name, const QByteArray &text, int result, uint verb,
                  const char *params, const char *gets = "", const char *lists = "") {
        QTest::newRow(name) << text << result << verb << QByteArray(params) << QByteArray(gets)
                            << QByteArray(lists);
    };
    row("bare verb", "PARAM;", 0, TCommand::Param, "");
    row("no separator", "PARAM", -1, TCommand::NoVerb, "");
    row("empty", "", -1, TCommand::NoVerb, "");
    row("leading separators", ";;DO;", 0, TCommand::Do, "");
    row("not a verb", "GET;x:1;", -1, TCommand::NoVerb, "");
    row("lower case verb", "param;a:1;", -1, TCommand::NoVerb, "");
    row("info", "INFO;info_type:x", 0, TCommand::Info, "info_type=x");
    row("event", "EVENT;", 0, TCommand::Event, "");
    row("first wins", "PARAM;a:1;a:2;", 0, TCommand::Param, "a=1");
    row("bare item", "PARAM;x;", 0, TCommand::Param, "x=x");
    row("bare GET", "PARAM;GET;", 0, TCommand::Param, "", "GET");
    row("empty GET", "PARAM;GET:;LIST:;", 0, TCommand::Param, "");
    row("get and list", "PARAM;GET:a;LIST:b;GET:a;", 0, TCommand::Param, "", "a|a", "b");
    row("colon in value", "PARAM;k:v:w;", 0, TCommand::Param, "k=v:w");
    row("leading colon", "PARAM;:k:v;", 0, TCommand::Param, "k=v");
    row("colon no key", "PARAM;:x;", 0, TCommand::Param, "x=:x");
    row("escaped separator", "PARAM;k:a\\;b;", 0, TCommand::Param, "k=a;b");
    row("escaped backslash", "PARAM;k:a\\\\;", 0, TCommand::Param, "k=a\\");
    row("escaped letter", "PARAM;k:a\\b;", 0, TCommand::Param, "k=ab");
    row("empty items", "PARAM;k:1;;;m:2", 0, TCommand::Param, "k=1|m=2");
    row("only colons", "PARAM;::;a:1;", 0, TCommand::Param, "a=1");
    row("escaped colon splits", "PARAM;k\\:v;", 0, TCommand::Param, "k=v");
    row("trailing backslash", "PARAM;k:v\\", 0, TCommand::Param, "k=v");
    row("item starts with backslash", "PARAM;\\\\k:v;", 0, TCommand::Param, "k=v");
}

void TestVocab::parseTable()
{
    QFETCH(QByteArray, text);
    QFETCH(int, result);
    QFETCH(uint, verb);
    QFETCH(QByteArray, params);
    QFETCH(QByteArray, gets);
    QFETCH(QByteArray, lists);

    TCommand c(TCommand::Do);
    c.setParam("stale", "1");
    c.addGet("stale");
    QCOMPARE(TCommand::parse(bytes(text), c), result);
    QCOMPARE(uint(c.verb), verb);
    QCOMPARE(paramsText(c), params);
    QCOMPARE(keysText(c.getKeys), gets);
    QCOMPARE(keysText(c.listKeys), lists);
}

void TestVocab::paramLookup()
{
    TCommand c;
    QCOMPARE(TCommand::parse("PARAM;k:;", c), 0);
    const std::string *k = c.param("k", false);
    QVERIFY(k);
    QVERIFY(k->empty());
    QVERIFY(!c.param("absent", false));
    const std::string *shared = c.param("absent", true);
    QVERIFY(shared && shared->empty());
    QCOMPARE(TCommand().param("other"), shared); // one shared empty text
    QCOMPARE(c.params.size(), std::size_t(1)); // lookups never insert
}

void TestVocab::writeOrderAndForm()
{
    TCommand c(TCommand::Param);
    c.setParam(wire::key::type(), "sc_frontpanel");
    c.setParam(wire::link::controllerId(), "web");
    c.setParam(wire::key::target(), wire::target::db());
    c.setParam(wire::key::cat(), wire::target::ui());
    c.addGet("tabname");
    std::string out = "old";
    QCOMPARE(TCommand::write(c, out), 0);
    QCOMPARE(out, std::string("PARAM;cat:ui;controller_id:web;target:db;type:sc_frontpanel;"
                              "GET:tabname;"));

    TCommand order(TCommand::Info);
    for (const char *key : {"abc", "a", "ab", "Z"})
        order.setParam(key, "1");
    order.addList("l2");
    order.addList("l1");
    order.addGet("g");
    QCOMPARE(TCommand::write(order, out), 0);
    QCOMPARE(out, std::string("INFO;Z:1;a:1;ab:1;abc:1;GET:g;LIST:l2;LIST:l1;"));

    QCOMPARE(TCommand::write(TCommand(TCommand::Do), out), 0);
    QCOMPARE(out, std::string("DO;"));
}

void TestVocab::writesRefused()
{
    // Verbs without a word, and keys the parser would read back as something else.
    const std::vector<std::pair<std::uint32_t, const char *>> bad = {
        {0u, "a"}, {5u, "a"}, {0xFFFFFFFFu, "a"}, {TCommand::Param, ""}, {TCommand::Param, "a:b"},
        {TCommand::Param, ";a"}, {TCommand::Param, "\\a"}, {TCommand::Param, "GET"},
        {TCommand::Param, "LIST"},
    };
    for (const auto &b : bad) {
        TCommand c(b.first);
        c.setParam(b.second, "v");
        std::string out = "untouched";
        QVERIFY2(TCommand::write(c, out) == -1, b.second);
        QCOMPARE(out, std::string("untouched"));
    }
}

void TestVocab::escapingRoundTrips_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("separator and backslash") << QByteArray("k") << QByteArray("a;b\\c")
                                             << QByteArray("k:a\\;b\\\\c");
    QTest::newRow("leading backslash") << QByteArray("k") << QByteArray("\\x") << QByteArray("k:\\\\x");
    QTest::newRow("trailing backslash") << QByteArray("k") << QByteArray("x\\") << QByteArray("k:x\\\\");
    QTest::newRow("colons") << QByteArray("k") << QByteArray(":a:") << QByteArray("k::a:");
    QTest::newRow("binary") << QByteArray("k") << QByteArray("\0\xff;", 3)
                            << QByteArray("k:\0\xff\\;", 6);
    // A ";" inside a key must not add parameters on the wire.
    QTest::newRow("separator in key") << QByteArray("a;target") << QByteArray("db")
                                      << QByteArray("a\\;target:db");
}

void TestVocab::escapingRoundTrips()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, written);

    TCommand c(TCommand::Param);
    c.setParam(bytes(key), bytes(value));
    c.addGet("x;y");
    std::string text;
    QCOMPARE(TCommand::write(c, text), 0);
    QCOMPARE(QByteArray::fromStdString(text), "PARAM;" + written + ";GET:x\\;y;");

    TCommand back;
    QCOMPARE(TCommand::parse(text, back), 0);
    QVERIFY(sameCommand(c, back));
}

void TestVocab::setParamModes()
{
    TCommand c(TCommand::Param);
    c.setParam("a", "1");
    c.setParam("a", "2");
    QCOMPARE(*c.param("a"), std::string("1"));
    c.setParam("a", "4", 7); // any other mode replaces
    QCOMPARE(*c.param("a"), std::string("4"));

    c.setParam("n", "1");
    c.setParam("n", "2", TCommand::Append, ',');
    QCOMPARE(*c.param("n"), std::string("1,2"));
    c.setParam("e", "");
    c.setParam("e", "2", TCommand::Append, ',');
    QCOMPARE(*c.param("e"), std::string("2"));
    // Appending a parameter to itself.
    c.setParam("n", *c.param("n"), TCommand::Append, '|');
    QCOMPARE(*c.param("n"), std::string("1,2|1,2"));

    c.addGet("");
    c.addList("");
    QVERIFY(c.getKeys.empty() && c.listKeys.empty());
}

void TestVocab::requestKinds()
{
    TCommand c(TCommand::Param);
    QCOMPARE(c.requestKind(), std::uint32_t(TCommand::GetRequest)); // no parameters
    c.setParam("type", "x");
    QCOMPARE(c.requestKind(), std::uint32_t(TCommand::UntargetedRequest));
    c.setParam("cat", "ui");
    QCOMPARE(c.requestKind(), std::uint32_t(TCommand::SetRequest));
    c.addGet("x");
    QCOMPARE(c.requestKind(), std::uint32_t(TCommand::GetRequest));
    c.addList("y");
    QCOMPARE(c.requestKind(), std::uint32_t(TCommand::ListRequest));
    TCommand t(TCommand::Param);
    t.setParam("target", "audio");
    QCOMPARE(t.requestKind(), std::uint32_t(TCommand::SetRequest));
}

void TestVocab::merging()
{
    TCommand other(TCommand::Do);
    other.setParam("a", "new");
    other.setParam("b", "2");
    other.addGet("g");

    const std::vector<std::pair<int, QByteArray>> modes = {
        {TCommand::KeepExisting, "a=old|b=2"}, {TCommand::Replace, "a=new|b=2"},
        {TCommand::Append, "a=old;new|b=2"}};
    TCommand c;
    for (const auto &m : modes) {
        c.reset(TCommand::Param);
        c.setParam("a", "old");
        c.merge(other, m.first, ';');
        QCOMPARE(paramsText(c), m.second);
        QCOMPARE(c.verb, std::uint32_t(TCommand::Param));
        QVERIFY(c.getKeys.empty());
    }
    c.merge(c, TCommand::Append, ',');
    QCOMPARE(paramsText(c), QByteArray("a=old;new,old;new|b=2,2"));
}

void TestVocab::causes()
{
    TCommand c;
    QCOMPARE(c.cause(), 200);
    c.setParam("cause", "122-pin required");
    c.setParam("x", "105-invalid value");
    c.setParam("y", "105-invalid value ");
    QCOMPARE(c.cause(), 122);
    QCOMPARE(c.paramErrorCode("x"), 105);
    QCOMPARE(c.paramErrorCode("y"), 200);
    QCOMPARE(c.paramErrorCode("absent"), 200);
}

void TestVocab::splitAndJoin_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("items");

    QTest::newRow("empty piece") << QByteArray("a,,b") << QByteArray("a||b");
    QTest::newRow("trailing comma") << QByteArray("a,") << QByteArray("a|");
    QTest::newRow("escaped comma") << QByteArray("x\\,y") << QByteArray("x,y");
    QTest::newRow("escaped backslash") << QByteArray("x\\\\,y") << QByteArray("x\\|y");
    QTest::newRow("empty text") << QByteArray() << QByteArray();
    QTest::newRow("single comma") << QByteArray(",") << QByteArray("|");
    QTest::newRow("lone trailing backslash") << QByteArray("a\\") << QByteArray("a");
}

void TestVocab::splitAndJoin()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, items);

    using Split = void (*)(const std::string &, std::vector<std::string> &);
    using Join = void (*)(const std::vector<std::string> &, std::string &);
    const std::vector<std::tuple<char, Split, Join>> variants = {
        {',', splitEscaped, joinEscaped}, {'/', splitEscapedSlash, joinEscapedSlash}};
    for (const auto &[separator, split, join] : variants) {
        std::vector<std::string> parts;
        split(bytes(QByteArray(text).replace(',', separator)), parts);
        QCOMPARE(keysText(parts), QByteArray(items).replace(',', separator));
        QCOMPARE(int(parts.size()), text.isEmpty() ? 0 : int(items.count('|')) + 1);

        // Joining what was split reads back the same pieces.
        std::string joined = "prefix:";
        join(parts, joined);
        std::vector<std::string> again;
        split(joined.substr(7), again);
        QCOMPARE(again, parts);
    }
}

void TestVocab::unescapeTokenEdges()
{
    std::string out;
    QCOMPARE(unescapeToken("abc", out, std::string::npos, ","), std::string::npos);
    QCOMPARE(unescapeToken("abc", out, 10, ","), std::string::npos);
    QVERIFY(out.empty());
    QCOMPARE(unescapeToken("ab,cd", out, 1, ","), std::size_t(3));
    QCOMPARE(out, std::string("b"));
    out.clear();
    QCOMPARE(unescapeToken("ab", out, 2, ","), std::string::npos);
    QVERIFY(out.empty());

    std::string escaped = ">";
    escapeText("a,b/c\\", escaped, ",/");
    QCOMPARE(escaped, std::string(">a\\,b\\/c\\\\"));
}

// Arbitrary bytes, biased toward the language's special characters.
static std::string randomText(QRandomGenerator &rng)
{
    static const char special[] = ";:\\,/PARAMDOGETLIST";
    const int length = int(rng.bounded(120));
    std::string text;
    if (rng.bounded(4) != 0)
        text = rng.bounded(2) ? "PARAM;" : ";EVENT;";
    for (int i = 0; i < length; ++i) {
        if (rng.bounded(3) == 0)
            text += char(rng.bounded(256));
        else
            text += special[rng.bounded(int(sizeof(special) - 1))];
    }
    return text;
}

void TestVocab::randomBytesRoundTrip()
{
    QRandomGenerator rng(20261206);
    int written = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string text = randomText(rng);
        TCommand first;
        if (TCommand::parse(text, first) != 0) {
            QCOMPARE(first.verb, std::uint32_t(TCommand::NoVerb));
            QVERIFY(first.params.empty() && first.getKeys.empty() && first.listKeys.empty());
            continue;
        }
        std::string once;
        if (TCommand::write(first, once) != 0)
            continue; // a key that cannot be written; refused, not mangled
        ++written;
        TCommand second;
        QCOMPARE(TCommand::parse(once, second), 0);
        QVERIFY2(sameCommand(first, second), text.c_str());
        std::string twice;
        QCOMPARE(TCommand::write(second, twice), 0);
        QCOMPARE(twice, once);
    }
    QVERIFY(written > 10000);
}

QTEST_GUILESS_MAIN(TestVocab)
#include "tst_vocab.moc"
