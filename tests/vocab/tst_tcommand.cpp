#include "link/tcommand.h"

#include "link/protocolkeys.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

std::string bytes(const QByteArray &a) { return a.toStdString(); }

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

class TestCommand : public QObject
{
    Q_OBJECT

private slots:
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

void TestCommand::parseTable_data()
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

void TestCommand::parseTable()
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

void TestCommand::paramLookup()
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

void TestCommand::writeOrderAndForm()
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

void TestCommand::writesRefused()
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

void TestCommand::escapingRoundTrips_data()
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

void TestCommand::escapingRoundTrips()
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

void TestCommand::setParamModes()
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

void TestCommand::requestKinds()
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

void TestCommand::merging()
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

void TestCommand::causes()
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

void TestCommand::splitAndJoin_data()
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

void TestCommand::splitAndJoin()
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

void TestCommand::unescapeTokenEdges()
{
    std::string out;
    QCOMPARE(unescapeToken("abc", out, std::string::npos, ","), std::string::npos);
    QCOMPARE(unescapeToken("abc", out, 10, ","), std::string::npos);
    QVERIFY(out.empty());
    QCOMPARE(unescapeToken("ab,cd", out, 1, ","), std::size_t(3));
    QCOMPARE(out, std::string("b"));
    out.clear();
    QCOMPARE(unescapeToken("a\\;b;c", out, 0, ";"), std::size_t(5));
    QCOMPARE(out, std::string("a;b"));
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

void TestCommand::randomBytesRoundTrip()
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

int runCommandTests(int argc, char **argv)
{
    TestCommand t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_tcommand.moc"
