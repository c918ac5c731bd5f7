// The softkey model against the simulated unit, through the process-wide session.
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/tcommand.h"
#include "model/qpraviksoftkeys.h"
#include "model/unitfirmware.h"
#include "tests/support/testrows.h"
#include "tests/support/unitsimulator.h"

#include <QTest>

#include <functional>

namespace {

using Model = QPravikSoftkeys;

// A fresh model on the session, with the unit's firmware word and
// auxiliary board as given; the unit accepts every other request.
// The signals are logged: "C<category>" and "F<function>" before a change,
// "f" and "b" after a function or behaviour change, "i<n>:" and "c<n>:"
// with a label's text.
struct Rig
{
    Rig(std::uint32_t firmware, bool aux = false) : savedFirmware(unitFirmwareVersion)
    {
        unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
        model.setAuxiliaryBoard(aux);
        ok = unit.listen() && frontPanelCom()->connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0)
             && unit.waitUntil([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; });
        unitFirmwareVersion = firmware;
        auto on = [this](const char* what) { return [this, what](QPravikSoftkey*) { log << what; }; };
        auto label = [this](const char* what) {
            return [this, what](int i, const QString& t) { log << QStringLiteral("%1%2:%3").arg(what).arg(i).arg(t); };
        };
        auto changing = [this](const char* what) {
            return [this, what](QPravikSoftkey*, int value) { log << what + QString::number(value); };
        };
        QObject::connect(&model, &Model::softKeyCategoryChanging, changing("C"));
        QObject::connect(&model, &Model::softKeyFunctionChanging, changing("F"));
        QObject::connect(&model, &Model::softKeyFunctionChanged, on("f"));
        QObject::connect(&model, &Model::softKeyBehaviorChanged, on("b"));
        QObject::connect(&model, &Model::infoLabelChanged, label("i"));
        QObject::connect(&model, &Model::contactLabelChanged, label("c"));
        unit.clearReceived();
    }
    ~Rig()
    {
        unitFirmwareVersion = savedFirmware;
        frontPanelCom()->disconnectFromUnit();
    }
    QByteArray sent() const
    {
        QByteArray bodies;
        for (const SimFrame& f : unit.requests())
            bodies += f.body + '\n';
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

// The functions a key may take by firmware, option word and auxiliary
// board, as a mask; the names in display order where given.
const struct
{
    const char* name;
    std::uint32_t firmware, options;
    bool aux;
    int key, category;
    uint mask;
    const char* names;
} kMasks[] = {
    {"cough key 2, 1.14.255", 0x10EFF, 0, false, 2, 0, 0x5, nullptr},
    {"cough key 2, 1.15.0", 0x10F00, 0, false, 2, 0, 0x7, nullptr},
    {"cough key 3, reduced", 0x10F00, 0x800, false, 3, 0, 0x7, nullptr},
    {"speaker key 1, reduced", 0x10F00, 0x800, false, 1, 1, 0x303, "1 Talk 2,1 Talk 3,3 Talk 1,3 Talk 2"},
    {"output key 3, no board", 0x10F00, 0x84, false, 3, 2, 0x3333, nullptr},
    {"output key 3, board", 0x10F00, 0x84, true, 3, 2, 0xFFFFF, nullptr},
    {"output key 3, board, reduced", 0x10F00, 0x884, true, 3, 2, 0xF0EEE, nullptr},
    {"output key 0, Dante", 0x10EFF, 0x484, true, 0, 2, 0x1000F,
     "1 Talk USB,1 Talk LINE1,1 Talk LINE2,1 Talk DNT1,1 Talk DNT2"},
    {"output key 6, line 2", 0x10E00, 0x80, true, 6, 2, 0x20030, nullptr},
    {"aux, no board", 0xFFFFFF, 0, false, 5, 3, 0x3, "USB to PGM,USB to COORD"},
    {"aux, board", 0xFFFFFF, 0, true, 5, 3, 0x3FF, nullptr},
    {"aux, board, 0x4", 0xFFFFFF, 0x4, true, 5, 3, 0x3FFF, nullptr},
    {"aux, board, reduced", 0xFFFFFF, 0x804, true, 5, 3, 0x3C0C, nullptr},
    {"aux, reduced", 0xFFFFFF, 0x800, false, 5, 3, 0x0, nullptr},
    {"contacts, 1.13.255", 0x10DFF, 0, false, 0, 4, 0x3, nullptr},
    {"contacts, 1.14.0", 0x10E00, 0, false, 0, 4, 0x7, "Contact 1,Contact 2,All PGM Buttons Off"},
};

// What the operator's changes send and announce, and the key 0 they leave.
#define ON_KEY0(...) [](Model& m) { QPravikSoftkey* k = m.softkey(0); (void)k; __VA_ARGS__; }
#define SENT(text) "PARAM;" text ";target:general;\n"
const struct
{
    const char* name;
    std::uint32_t firmware;
    std::function<void(Model&)> change;
    const char* sent;
    const char* announced;
    const char* key0;
} kChanges[] = {
    {"category, 1.7.3", 0x10703, ON_KEY0(k->setCategory(0); k->setCategory(0)), SENT("softkey1:C00F01"), "C0 f",
     "0 1 1 0 -1"},
    {"behaviour, 1.7.4", 0x10704, ON_KEY0(k->setCategory(1); k->setBehavior(2); k->setBehavior(3)),
     SENT("softkey1:C01F01B01") SENT("softkey1:C01F01B02"), "C1 f b", "1 1 2 0 4"},
    {"talk to all is no key's", 0xFFFFFF, ON_KEY0(k->setCategory(1); k->setFunction(4)), SENT("softkey1:C01F01B01"),
     "C1 f", "1 1 1 0 4"},
    {"aux to bus, then none", 0xFFFFFF, ON_KEY0(k->setCategory(3); k->setFunctionByte(2); k->setCategory(-1)),
     SENT("softkey1:C03F01B02") SENT("softkey1:C03F02B02") SENT("softkey1:"), "C3 f F2 f C-1 f", "-1 0 0 -1 -1"},
    // A list of another category does not narrow Info's.
    {"info after a cough list", 0xFFFFFF, ON_KEY0(k->setCategory(5); k->functions(0, false); k->setFunction(2)),
     SENT("softkey1:C05F01B00") SENT("softkey1:C05F02B00"), "C5 f F2 f", "5 2 0 -1 -1"},
    // Labels travel in UTF-8; the refused contact label is neither kept nor announced, so it is tried again.
    {"labels", 0xFFFFFF,
     ON_KEY0(m.setInfoLabel(0, "Caf\u00E9"); m.setInfoLabel(0, "Caf\u00E9"); m.setInfoLabel(2, "x");
             m.setContactLabel(1, "5 \u20AC"); m.setContactLabel(1, "5 \u20AC")),
     SENT("info_label1:Caf\xC3\xA9") SENT("contact_label2:5 \xE2\x82\xAC") SENT("contact_label2:5 \xE2\x82\xAC"),
     "i0:Caf\u00E9", "-1 0 0 -1 -1"},
    // The unit refuses Talk to Output: the key stays as it was and nothing is announced.
    {"refused category", 0xFFFFFF, ON_KEY0(k->setCategory(2)), SENT("softkey1:C02F01B01"), "", "-1 0 0 -1 -1"},
    {"refused behaviour", 0xFFFFFF, ON_KEY0(k->setCategory(1); k->setFunction(2); k->setBehavior(2)),
     SENT("softkey1:C01F01B01") SENT("softkey1:C01F02B01") SENT("softkey1:C01F02B02"), "C1 f F2 f", "1 2 1 0 6"},
    {"keys too short", 0xFFFFFF, ON_KEY0(m.parseSoftkey("soft", "C00F01"); m.parseSoftkey("", "")), "", "",
     "-1 0 0 -1 -1"},
};

// What the unit reports (after a prior report) is applied and announced, never sent back.
const struct
{
    const char* name;
    const char* prior;
    const char* message;
    const char* announced;
    const char* key3;
} kUnitValues[] = {
    {"current form", "", "softkey4:C03F02B02;", "C3 f F2 f", "3 2 2 8 1"},
    {"older form", "", "softkey4:196645;", "C3 f F2 f", "3 2 2 8 1"},
    {"unavailable function", "", "softkey4:C01F04B02;", "C1 f b", "1 9 2 2 2"},
    {"disallowed behaviour", "", "softkey4:C06F09B01;", "C6 f F9 f", "6 9 3 -1 -1"},
    {"unknown category", "", "softkey4:C07F01;", "", "-1 0 0 -1 -1"},
    {"empty is none", "softkey4:C05F02;", "softkey4:;", "C-1 f", "-1 0 0 -1 -1"},
    {"numbers outside", "", "contact_label0:x;info_label3:x;softkey0:C00F01;softkey8:C00F01;softkey:C00F01;", "",
     "-1 0 0 -1 -1"},
    {"labels", "", "contact_label2:\xE2\x82\xAC;info_label1:Caf\xC3\xA9;", "c1:\u20AC i0:Caf\u00E9",
     "-1 0 0 -1 -1"},
    {"other information", "", "info_type:audio_changeset;softkey4:C00F01;", "", "-1 0 0 -1 -1"},
};

} // namespace

class SoftkeysTest : public QObject
{
    Q_OBJECT

private slots:
    void functionMasks_data() { indexRows(kMasks); }
    void functionMasks()
    {
        QFETCH(int, row);
        const auto& c = kMasks[row];
        const uint mask = QPravikSoftkey::availableFunctions(c.category, c.key, c.firmware, c.options, c.aux);
        QCOMPARE(mask, c.mask);
        if (c.names) {
            QMap<int, QString> byCode;
            for (int n = 1; n <= 20; ++n) {
                if (mask & (1u << (n - 1)))
                    byCode.insert(QPravikSoftkey::functionCode(c.category, n),
                                  QPravikSoftkey::functionName(c.category, n, c.options));
            }
            QCOMPARE(byCode.values().join(','), QString(c.names));
        }
        // The model's own lists, on the unit's live values.
        if (c.options == 0) {
            Rig rig(c.firmware, c.aux);
            QVERIFY(rig.ok);
            uint listed = 0;
            for (int n : rig.model.softkey(c.key)->functions(c.category, false).keys())
                listed |= 1u << (n - 1);
            QCOMPARE(listed, c.mask);
        }
    }

    void changesSent_data() { indexRows(kChanges); }
    void changesSent()
    {
        QFETCH(int, row);
        const auto& c = kChanges[row];
        Rig rig(c.firmware);
        QVERIFY(rig.ok);
        rig.unit.onRequestMatching(QRegularExpression("contact_label|:C02|C01F02B02"), {UnitSimulator::errorReply(105)});
        c.change(rig.model);
        QCOMPARE(rig.sent(), QByteArray(c.sent));
        QCOMPARE(rig.log.join(' '), QString(c.announced));
        QCOMPARE(rig.state(0), QString(c.key0));
    }

    void unitValues_data() { indexRows(kUnitValues); }
    void unitValues()
    {
        QFETCH(int, row);
        const auto& c = kUnitValues[row];
        Rig rig(0x10703);
        QVERIFY(rig.ok);
        for (const char* body : {c.prior, c.message}) {
            // A type of the row's own comes first and wins.
            TCommand info;
            QCOMPARE(TCommand::parse(std::string("INFO;") + body + "info_type:config_changeset;", info), 0);
            rig.log.clear();
            rig.model.handleConfigChangeset(info);
        }
        QCOMPARE(rig.log.join(' '), QString(c.announced));
        QCOMPARE(rig.state(3), QString(c.key3));
        QCOMPARE(rig.sent(), QByteArray());
        QVERIFY(!rig.model.isApplying());
    }

    // Applied only when every key and label came back.
    void load_data()
    {
        QTest::addColumn<QByteArray>("last");
        QTest::addColumn<bool>("applied");
        QTest::newRow("all") << QByteArray("softkey7:;return:OK;") << true;
        QTest::newRow("one not set") << QByteArray("softkey7:101-parameter not set;return:ERROR;") << true;
        QTest::newRow("one refused") << QByteArray("softkey7:102-unknown parameter;return:ERROR;") << false;
        QTest::newRow("one missing, echoes") << QByteArray("return:OK;returnFmt:EXT;target:general;") << false;
    }
    void load()
    {
        QFETCH(QByteArray, last);
        QFETCH(bool, applied);
        Rig rig(0x10703);
        QVERIFY(rig.ok);
        const QByteArray get = "PARAM;target:general;GET:info_label1;GET:info_label2;GET:contact_label1;"
                               "GET:contact_label2;GET:softkey1;GET:softkey2;GET:softkey3;GET:softkey4;"
                               "GET:softkey5;GET:softkey6;GET:softkey7;";
        rig.unit.onRequest(get, {UnitSimulator::reply("PARAM;contact_label1:;contact_label2:;info_label1:Caf\xC3\xA9;"
                                                      "info_label2:;softkey1:C05F02;softkey2:;softkey3:;softkey4:;"
                                                      "softkey5:;softkey6:;" + last)});
        QCOMPARE(rig.model.load(), applied);
        QCOMPARE(rig.sent(), "DO;action:subscribe;info:config_changeset;\n" + get + '\n');
        QCOMPARE(rig.log.join(' '), applied ? QStringLiteral("i0:Caf\u00E9 C5 f F2 f") : QString());
        QCOMPARE(frontPanelSoftkey(9), frontPanelSoftkeys()->softkey(0));
    }
};

QTEST_GUILESS_MAIN(SoftkeysTest)
#include "tst_softkeys.moc"
