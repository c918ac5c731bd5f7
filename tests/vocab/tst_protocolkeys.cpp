#include "link/protocolkeys.h"

#include <QtTest>

#include <cstring>
#include <map>
#include <set>

// Built by this file's static initialisation, whose order relative to the
// library's is unspecified: the words must already be usable here.
static const std::string earlyRequest = wire::key::target() + ":" + wire::target::db();

class TestProtocolKeys : public QObject
{
    Q_OBJECT

private slots:
    void usableFromStaticInitialisers();
    void groupSizes();
    void duplicatesAreExactlyTheRepeatedWords();
    void noSurroundingBlanks();
    void unitSpellings();
    void accessorsAreStable();
};

void TestProtocolKeys::usableFromStaticInitialisers()
{
    QCOMPARE(earlyRequest, std::string("target:db"));
}

void TestProtocolKeys::groupSizes()
{
    std::map<std::string, int> sizes;
    for (const auto &entry : wire::allWords())
        ++sizes[entry.group];
    const std::map<std::string, int> expected = {
        {"key", 84}, {"target", 14}, {"action", 36}, {"reply", 4},
        {"event", 81}, {"codec", 29}, {"channelMode", 4}, {"rate", 14},
        {"unitError", 75}, {"link", 9 + 4}, {"session", 1},
    };
    QCOMPARE(sizes, expected);
    QCOMPARE(int(wire::allWords().size()), 355);
}

void TestProtocolKeys::duplicatesAreExactlyTheRepeatedWords()
{
    std::map<std::string, int> counts;
    for (const auto &entry : wire::allWords())
        ++counts[entry.word()];
    const std::set<std::string> repeated = {
        "return", "network", "mode", "info", "relay_in", "relay_out", "system_update",
        "display", "PROGRESS", "OK", "NOK", "ERROR", "101-parameter not set",
        "", // the link's and the session's empty words
    };
    for (const auto &c : counts) {
        const int expected = repeated.count(c.first) ? 2 : 1;
        QVERIFY2(c.second == expected, c.first.c_str());
    }
    // Equal texts are still separate objects.
    QVERIFY(&wire::link::ok() != &wire::reply::ok());
    QVERIFY(&wire::key::mode() != &wire::key::mode2());
}

void TestProtocolKeys::noSurroundingBlanks()
{
    for (const auto &entry : wire::allWords()) {
        const std::string &w = entry.word();
        if (w.empty())
            continue;
        QVERIFY2(w.front() != ' ' && w.back() != ' ', w.c_str());
        QVERIFY2(std::strlen(entry.name) > 0, w.c_str());
    }
}

void TestProtocolKeys::unitSpellings()
{
    QCOMPARE(wire::unitError::wifiConnecting(), std::string("137-wifi connecting..."));
    QCOMPARE(wire::unitError::inconsistantWithSip2(), std::string("140-inconsistant with sip2"));
    QCOMPARE(wire::unitError::sip1NotConfigured(), std::string("141-sip1_not configured"));
    QCOMPARE(wire::event::callActive(), std::string("1000-call active"));
    QCOMPARE(wire::codec::fourSb(), std::string("4SB"));
    QCOMPARE(wire::key::return_(), std::string("return"));
    QCOMPARE(wire::link::returnFmt(), std::string("returnFmt"));
    QCOMPARE(wire::link::controllerId(), std::string("controller_id"));
    QCOMPARE(wire::link::audioLevels(), std::string("audio_levels"));
    QCOMPARE(wire::link::get(), std::string("GET"));
    QCOMPARE(wire::link::list(), std::string("LIST"));
    QVERIFY(wire::session::empty().empty());
}

void TestProtocolKeys::accessorsAreStable()
{
    for (const auto &entry : wire::allWords())
        QVERIFY(&entry.word() == &entry.word());
}

int runProtocolKeysTests(int argc, char **argv)
{
    TestProtocolKeys t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_protocolkeys.moc"
