#include "link/protocolkeys.h"

#include <QtTest>

#include <map>
#include <set>

// Built by this file's static initialisation, whose order relative to the
// library's is unspecified: the words must already be usable here.
static const std::string earlyRequest = wire::key::target() + ":" + wire::target::db();

class TestProtocolKeys : public QObject
{
    Q_OBJECT

private slots:
    void table();
    void unitSpellings();
};

void TestProtocolKeys::table()
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
}

void TestProtocolKeys::unitSpellings()
{
    QCOMPARE(wire::unitError::inconsistantWithSip2(), std::string("140-inconsistant with sip2"));
    QCOMPARE(wire::unitError::sip1NotConfigured(), std::string("141-sip1_not configured"));
    QCOMPARE(wire::event::callActive(), std::string("1000-call active"));
    QCOMPARE(wire::codec::fourSb(), std::string("4SB"));
    QCOMPARE(wire::key::return_(), std::string("return"));
    QCOMPARE(wire::link::controllerId(), std::string("controller_id"));
}

int runProtocolKeysTests(int argc, char **argv)
{
    TestProtocolKeys t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_protocolkeys.moc"
