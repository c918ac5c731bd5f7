// The softkey model against the simulated unit, through the process-wide session.
#include "audio/taudiosettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/tcommand.h"
#include "model/qpraviksoftkeys.h"
#include "model/unitfirmware.h"
#include "tests/support/unitsimulator.h"

#include <QTest>

#include <functional>

namespace {

using Model = QPravikSoftkeys;
using Change = std::function<void(Model&)>;
#define ON_KEY0(...) Change([](Model& m) { QPravikSoftkey* k = m.softkey(0); (void)k; __VA_ARGS__; })

// A fresh model on the session, with the unit's firmware word, option word
// and auxiliary board as given; it accepts every request no rule takes.
// Every signal is logged: "C<category>" and "F<function>" before a change,
// "f" and "b" after a function or behaviour change, "i<n>:" and "c<n>:"
// with a label's text.
struct Rig
{
    Rig(std::uint32_t firmware, std::uint32_t options, bool aux) : savedFirmware(unitFirmwareVersion)
    {
        unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
        ok = unit.listen() && frontPanelCom()->connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0)
             && unit.waitUntil([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; })
             && unitHas(options, aux);
        unitFirmwareVersion = firmware;
        auto key = [this](const char* what) { return [this, what](QPravikSoftkey*) { log << what; }; };
        QObject::connect(&model, &Model::softKeyCategoryChanging,
                         [this](QPravikSoftkey*, int c) { log << QStringLiteral("C%1").arg(c); });
        QObject::connect(&model, &Model::softKeyFunctionChanging,
                         [this](QPravikSoftkey*, int f) { log << QStringLiteral("F%1").arg(f); });
        QObject::connect(&model, &Model::softKeyFunctionChanged, key("f"));
        QObject::connect(&model, &Model::softKeyBehaviorChanged, key("b"));
        QObject::connect(&model, &Model::infoLabelChanged, [this](int i, const QString& t) { log << QStringLiteral("i%1:%2").arg(i).arg(t); });
        QObject::connect(&model, &Model::contactLabelChanged, [this](int i, const QString& t) { log << QStringLiteral("c%1:%2").arg(i).arg(t); });
        unit.clearReceived();
    }
    ~Rig()
    {
        unitFirmwareVersion = savedFirmware;
        frontPanelCom()->disconnectFromUnit();
    }
    bool unitHas(std::uint32_t options, bool aux)
    {
        unit.onRequestMatching(QRegularExpression("GET:auxiliary_board;"),
                               {UnitSimulator::reply(aux ? "PARAM;auxiliary_board:yes;return:OK;"
                                                         : "PARAM;auxiliary_board:no;return:OK;")});
        return frontPanelAudioSettings()->readParams({"auxiliary_board"}) && options == 0;
    }
    QByteArrayList sent() const
    {
        QByteArrayList bodies;
        for (const SimFrame& f : unit.requests())
            bodies << f.body;
        return bodies;
    }
    QString state(int i)
    {
        QPravikSoftkey* k = model.softkey(i);
        return QStringLiteral("%1 %2 %3 %4 %5")
            .arg(k->category()).arg(k->function()).arg(k->behavior()).arg(k->input()).arg(k->output());
    }

    std::uint32_t savedFirmware;
    UnitSimulator unit;
    Model model;
    QStringList log;
    bool ok = false;
};

} // namespace

Q_DECLARE_METATYPE(Change)

class SoftkeysTest : public QObject
{
    Q_OBJECT

private slots:
    // The functions a key may take, by firmware, option bits and auxiliary
    // board; the names in display order where given.
    void functionMasks_data()
    {
        QTest::addColumn<uint>("firmware");
        QTest::addColumn<uint>("options");
        QTest::addColumn<bool>("aux");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("category");
        QTest::addColumn<uint>("mask");
        QTest::addColumn<QString>("names");
        QTest::newRow("cough key 2, 1.14.255") << 0x10EFFu << 0u << false << 2 << 0 << 0x5u << "";
        QTest::newRow("cough key 2, 1.15.0") << 0x10F00u << 0u << false << 2 << 0 << 0x7u << "";
        QTest::newRow("cough key 4, unknown firmware") << 0xFFFFFFu << 0u << false << 4 << 0 << 0xBu << "";
        QTest::newRow("cough key 3, reduced") << 0x10F00u << 0x800u << false << 3 << 0 << 0x7u << "";
        QTest::newRow("speaker key 1, reduced") << 0x10F00u << 0x800u << false << 1 << 1 << 0x303u
                                                << "1 Talk 2,1 Talk 3,3 Talk 1,3 Talk 2";
        QTest::newRow("output key 3, options, no board") << 0x10F00u << 0x84u << false << 3 << 2 << 0x3333u << "";
        QTest::newRow("output key 3, board") << 0x10F00u << 0x84u << true << 3 << 2 << 0xFFFFFu << "";
        QTest::newRow("output key 3, board, reduced") << 0x10F00u << 0x884u << true << 3 << 2 << 0xF0EEEu << "";
        QTest::newRow("output key 0, Dante") << 0x10EFFu << 0x484u << true << 0 << 2 << 0x1000Fu
                                             << "1 Talk USB,1 Talk LINE1,1 Talk LINE2,1 Talk DNT1,1 Talk DNT2";
        QTest::newRow("output key 6, line 2") << 0x10E00u << 0x80u << true << 6 << 2 << 0x20030u << "";
        QTest::newRow("aux, no board") << 0xFFFFFFu << 0u << false << 5 << 3 << 0x3u << "USB to PGM,USB to COORD";
        QTest::newRow("aux, board") << 0xFFFFFFu << 0u << true << 5 << 3 << 0x3FFu << "";
        QTest::newRow("aux, board, 0x4") << 0xFFFFFFu << 0x4u << true << 5 << 3 << 0x3FFFu << "";
        QTest::newRow("aux, board, reduced") << 0xFFFFFFu << 0x804u << true << 5 << 3 << 0x3C0Cu << "";
        QTest::newRow("aux, reduced") << 0xFFFFFFu << 0x800u << false << 5 << 3 << 0x0u << "";
        QTest::newRow("contacts, 1.13.255") << 0x10DFFu << 0u << false << 0 << 4 << 0x3u << "";
        QTest::newRow("contacts, 1.14.0") << 0x10E00u << 0u << false << 0 << 4 << 0x7u
                                          << "Contact 1,Contact 2,All PGM Buttons Off";
    }
    void functionMasks()
    {
        QFETCH(uint, firmware);
        QFETCH(uint, options);
        QFETCH(bool, aux);
        QFETCH(int, key);
        QFETCH(int, category);
        QFETCH(uint, mask);
        QFETCH(QString, names);
        Rig rig(firmware, options, aux);
        if (!rig.ok && !rig.unitHas(options, aux))
            QSKIP("the unit's options and board cannot be given yet");
        QVERIFY(rig.ok);
        uint found = 0;
        for (int n : rig.model.softkey(key)->functions(category, false).keys())
            found |= 1u << (n - 1);
        QCOMPARE(found, mask);
        if (!names.isEmpty())
            QCOMPARE(rig.model.softkey(key)->functions(category, true).values().join(','), names);
    }

    // What the operator's changes send and announce, and the key 0 they leave.
    void changesSent_data()
    {
        QTest::addColumn<uint>("firmware");
        QTest::addColumn<Change>("change");
        QTest::addColumn<QByteArrayList>("sent");
        QTest::addColumn<QString>("announced");
        QTest::addColumn<QString>("key0");
        const QByteArray c01 = "PARAM;softkey1:C01F01B01;target:general;";
        QTest::newRow("category, 1.7.3") << 0x10703u << ON_KEY0(k->setCategory(0); k->setCategory(0))
                                         << QByteArrayList{"PARAM;softkey1:C00F01;target:general;"} << "C0 f"
                                         << "0 1 1 0 -1";
        QTest::newRow("behaviour, 1.7.4") << 0x10704u << ON_KEY0(k->setCategory(1); k->setBehavior(2); k->setBehavior(3))
                                          << QByteArrayList{c01, "PARAM;softkey1:C01F01B02;target:general;"}
                                          << "C1 f b" << "1 1 2 0 4";
        QTest::newRow("talk to all is no key's") << 0xFFFFFFu << ON_KEY0(k->setCategory(1); k->setFunction(4))
                                                 << QByteArrayList{c01} << "C1 f" << "1 1 1 0 4";
        QTest::newRow("aux to bus, then none")
            << 0xFFFFFFu << ON_KEY0(k->setCategory(3); k->setFunctionByte(2); k->setCategory(-1))
            << QByteArrayList{"PARAM;softkey1:C03F01B02;target:general;", "PARAM;softkey1:C03F02B02;target:general;",
                              "PARAM;softkey1:;target:general;"}
            << "C3 f F2 f C-1 f" << "-1 0 0 -1 -1";
        // A list of another category does not narrow Info's.
        QTest::newRow("info after a cough list")
            << 0xFFFFFFu << ON_KEY0(k->setCategory(5); k->functions(0, false); k->setFunction(2))
            << QByteArrayList{"PARAM;softkey1:C05F01B00;target:general;", "PARAM;softkey1:C05F02B00;target:general;"}
            << "C5 f F2 f" << "5 2 0 -1 -1";
        // Labels travel in UTF-8; a refused one is kept and announced all the same.
        QTest::newRow("labels") << 0xFFFFFFu
                                << ON_KEY0(m.setInfoLabel(0, "Caf\u00E9"); m.setInfoLabel(0, "Caf\u00E9"); m.setInfoLabel(2, "x");
                                           m.setContactLabel(1, "5 \u20AC"); m.setContactLabel(1, "5 \u20AC"))
                                << QByteArrayList{"PARAM;info_label1:Caf\xC3\xA9;target:general;",
                                                  "PARAM;contact_label2:5 ?;target:general;"}
                                << QStringLiteral("i0:Caf\u00E9 c1:5 \u20AC") << "-1 0 0 -1 -1";
        QTest::newRow("keys too short") << 0xFFFFFFu << ON_KEY0(m.parseSoftkey("soft", "C00F01"); m.parseSoftkey("", ""))
                                        << QByteArrayList{} << "" << "-1 0 0 -1 -1";
    }
    void changesSent()
    {
        QFETCH(uint, firmware);
        QFETCH(Change, change);
        QFETCH(QByteArrayList, sent);
        QFETCH(QString, announced);
        QFETCH(QString, key0);
        Rig rig(firmware, 0, false);
        QVERIFY(rig.ok);
        rig.unit.onRequestMatching(QRegularExpression("contact_label"), {UnitSimulator::errorReply(105)});
        change(rig.model);
        QCOMPARE(rig.sent(), sent);
        QCOMPARE(rig.log.join(QLatin1Char(' ')), announced);
        QCOMPARE(rig.state(0), key0);
    }

    // What the unit reports is applied and announced, never sent back.
    void unitValues_data()
    {
        QTest::addColumn<QByteArray>("prior");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("announced");
        QTest::addColumn<QString>("key3");
        QTest::newRow("current form") << QByteArray() << QByteArray("softkey4:C03F02B02;") << "C3 f F2 f" << "3 2 2 8 1";
        QTest::newRow("older form") << QByteArray() << QByteArray("softkey4:196645;") << "C3 f F2 f" << "3 2 2 8 1";
        QTest::newRow("unavailable function") << QByteArray() << QByteArray("softkey4:C01F04B02;") << "C1 f b" << "1 9 2 2 2";
        QTest::newRow("disallowed behaviour") << QByteArray() << QByteArray("softkey4:C06F09B01;") << "C6 f F9 f" << "6 9 3 -1 -1";
        QTest::newRow("unknown category") << QByteArray() << QByteArray("softkey4:C07F01;") << "" << "-1 0 0 -1 -1";
        QTest::newRow("empty is none") << QByteArray("softkey4:C05F02;") << QByteArray("softkey4:;") << "C-1 f" << "-1 0 0 -1 -1";
        QTest::newRow("numbers outside")
            << QByteArray() << QByteArray("contact_label0:x;info_label3:x;softkey0:C00F01;softkey8:C00F01;softkey:C00F01;")
            << "" << "-1 0 0 -1 -1";
        QTest::newRow("labels") << QByteArray() << QByteArray("contact_label2:\xE2\x82\xAC;info_label1:Caf\xC3\xA9;")
                                << QStringLiteral("c1:\u00E2\u0082\u00AC i0:Caf\u00E9") << "-1 0 0 -1 -1";
        QTest::newRow("other information") << QByteArray() << QByteArray("info_type:audio_changeset;softkey4:C00F01;") << ""
                                           << "-1 0 0 -1 -1";
    }
    void unitValues()
    {
        QFETCH(QByteArray, prior);
        QFETCH(QByteArray, message);
        QFETCH(QString, announced);
        QFETCH(QString, key3);
        Rig rig(0x10703, 0, false);
        QVERIFY(rig.ok);
        for (const QByteArray& body : {prior, message}) {
            TCommand info;
            // A type of the row's own comes first and wins.
            QCOMPARE(TCommand::parse(("INFO;" + body + "info_type:config_changeset;").toStdString(), info), 0);
            rig.log.clear();
            rig.model.handleConfigChangeset(info);
        }
        QCOMPARE(rig.log.join(QLatin1Char(' ')), announced);
        QCOMPARE(rig.state(3), key3);
        QVERIFY(rig.sent().isEmpty());
        QVERIFY(!rig.model.isApplying());
    }

    // Applied only when every key and label came back.
    void load_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("applied");
        const QByteArray labels = "PARAM;contact_label1:;contact_label2:;info_label1:Caf\xC3\xA9;info_label2:;";
        const QByteArray keys = "softkey1:C05F02;softkey2:;softkey3:;softkey4:;softkey5:;softkey6:;";
        QTest::newRow("all") << labels + keys + "softkey7:;return:OK;" << true;
        QTest::newRow("one not set") << labels + keys + "softkey7:101-parameter not set;return:ERROR;" << true;
        QTest::newRow("one refused") << labels + keys + "softkey7:102-unknown parameter;return:ERROR;" << false;
        QTest::newRow("one missing, echoes") << labels + keys + "return:OK;returnFmt:EXT;target:general;" << false;
    }
    void load()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, applied);
        Rig rig(0x10703, 0, false);
        QVERIFY(rig.ok);
        const QByteArray get = "PARAM;target:general;GET:info_label1;GET:info_label2;GET:contact_label1;"
                               "GET:contact_label2;GET:softkey1;GET:softkey2;GET:softkey3;GET:softkey4;"
                               "GET:softkey5;GET:softkey6;GET:softkey7;";
        rig.unit.onRequest(get, {UnitSimulator::reply(reply)});
        QCOMPARE(rig.model.load(), applied);
        QCOMPARE(rig.sent(), (QByteArrayList{"DO;action:subscribe;info:config_changeset;", get}));
        QCOMPARE(rig.log.join(QLatin1Char(' ')), applied ? QStringLiteral("i0:Caf\u00E9 C5 f F2 f") : QString());
        QCOMPARE(frontPanelSoftkey(9), frontPanelSoftkeys()->softkey(0));
    }
};

QTEST_GUILESS_MAIN(SoftkeysTest)
#include "tst_softkeys.moc"
