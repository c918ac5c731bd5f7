#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/tcommand.h"
#include "tests/support/firmwareword.h"
#include "tests/support/unitsimulator.h"

#include <QTest>

#include <functional>

using namespace matrixwire;
using Map = TComRequestHelper::ValueMap;

namespace {

// Every signal of the matrix as one line, in emission order.
void recordSignals(TMatrixSettings& m, QStringList& log)
{
    const auto line = [&log](const char* name, int a, int b = -1) {
        log << (b < 0 ? QString("%1 %2").arg(name).arg(a) : QString("%1 %2 %3").arg(name).arg(a).arg(b));
    };
    QObject::connect(&m, &TMatrixSettings::nodeChanged, [=](int i, int o) { line("node", i, o); });
    QObject::connect(&m, &TMatrixSettings::nodeCopyChanged, [=](int s, int c) { line("copy", s, c); });
    QObject::connect(&m, &TMatrixSettings::inputNameChanged, [=](int i) { line("name", i); });
    QObject::connect(&m, &TMatrixSettings::inputGainChanged, [=](int i) { line("gain", i); });
    QObject::connect(&m, &TMatrixSettings::outputGainChanged, [=](int o) { line("output", o); });
    QObject::connect(&m, &TMatrixSettings::audioConfigChanged, [=](int n) { line("program", n); });
    QObject::connect(&m, &TMatrixSettings::matrixOptionsChanged, [=](quint32 w) { line("options", int(w)); });
}

QByteArray param(const QByteArray& key, const QByteArray& value)
{
    return "PARAM;" + key + ':' + value + ";target:audio;";
}

// A changeset that moves every key away from the start values.
const Map kChangeset = {
    {"matrix_in1", "C0,One"}, {"matrix_in5", "C3,Mic"}, {"matrix_in19", "0100,Six"},
    {"matrix_ou11", "81"}, {"matrix_hp1", std::string(42, '5')}, {"matrix_hp4", std::string(42, '9')},
    {"matrix_po1", "01020304"}, {"matrix_opt", "0000000F"}, {"matrix_mgn", "7A7B0000"},
    {"matrix_vol", "DADADADA"}, {"matrix_bal2", "000102030405"}, {"info_type", "audio_changeset"},
};

} // namespace

class MatrixTest : public QObject
{
    Q_OBJECT
    UnitSimulator unit;
    zel::CCom com; // after the unit: goes first

    QByteArrayList sent() { return unit.takeRequestBodies(); }
    void refuse(const char* key) { unit.onRequestMatching(QRegularExpression(key), {UnitSimulator::errorReply(117)}, 1); }

private slots:
    void initTestCase()
    {
        unit.setDefaultActions({UnitSimulator::errorReply(204)});
        unit.onRequestMatching(QRegularExpression("^PARAM;matrix_|^DO;"), {UnitSimulator::reply("PARAM;return:OK;")});
        QVERIFY(unit.listen() && com.connectToUnit("127.0.0.1", unit.port(), 0));
        QVERIFY(unit.waitUntil([this] { return com.state() == RpcConnection::ConnectedState; }));
    }
    void init() { unit.clearReceived(); }

    void codecs()
    {
        TMatrixSettings m(nullptr);
        m.applyReply({{"matrix_in5", "C3,Mic"}, {"matrix_ou11", "81"}, {"matrix_mgn", "7A800000"},
                      {"matrix_vol", "DAC0C0C0"}, {"matrix_hp2", std::string(24, '4')}});
        QVERIFY(m.isNodeOn(4, 0) && m.isNodeOn(4, 1) && !m.isNodeOn(4, 18));
        QCOMPARE(m.inputGain(4), -29.0f);
        QCOMPARE(m.inputName(4), QString("Mic"));
        QCOMPARE(m.inputLabel(4), QString("AUX 1\nMic"));
        for (int i : {20, 21, 12, 13, 22, 23, 24, 19})
            QVERIFY(m.isNodeOn(i, 10) == (i == 20 || i == 19));
        QVERIFY(m.outputGain(0) == -6 && m.outputGain(18) == -6 && m.outputGain(1) == 0);
        QVERIFY(m.nodeGain(0, 2) == -6 && m.nodeGain(0, 3) == -6 && m.nodeGain(3, 9) == kOffDb && m.isNodeOn(0, 3));
        // 24 characters: twelve bytes, inputs 0, 2..10, 12, 13 of pair 1.
        for (int i = 0; i < kInputs; ++i)
            QVERIFY(m.nodeGain(i, 4) == (i == 1 ? kOffDb : i == 11 || i > 13 ? 0 : -28));

        // A byte equal to the cache still reaches cells that differ from it.
        m.applyReply({{"matrix_hp1", QByteArray("C0").repeated(21).toStdString()}});
        QVERIFY(m.isNodeOn(5, 2) && m.isNodeOn(5, 3) && m.nodeGain(5, 2) == kOffDb);

        InputRecord record;
        QVERIFY(decodeInput("C3,Mic", record));
        QCOMPARE(encodeInput(record, 0x1FFFF), std::string("C3,Mic"));
        QCOMPARE(encodeInput(record, 0x20000), std::string("00C3,Mic"));
        // 12, 16 and 21 bytes by firmware.
        QVERIFY(encodeHeadphone(0, {}, 0x106FF).size() == 24 && encodeHeadphone(0, {}, 0x10700).size() == 32
                && encodeHeadphone(0, {}, 0x10D00).size() == 42);
        QVERIFY(gainCode(-40) == 1 && gainCode(40) == 63 && gainCode(-160) == 0 && gainCode(-0.5f) == 32);
        QVERIFY(masterGainByte(-200) == 0 && masterGainByte(300) == 255);

        // Short, malformed and unaddressed values change nothing.
        QStringList log;
        recordSignals(m, log);
        for (const auto& [key, value] : Map{{"matrix_in1", "A3"}, {"matrix_in2", "A,x"}, {"matrix_in12", "80,x"},
                                             {"matrix_in", "80,x"}, {"matrix_in-2147483648", "80,x"},
                                             {"matrix_in05", "80,x"}, {"matrix_in5x", "80,x"},
                                             {"matrix_hp2", std::string(23, '0')}, {"matrix_ou11", "8"},
                                             {"matrix_po1", "0203040"}, {"matrix_bal1", "06060606060"},
                                             {"matrix_opt", "0000001"}, {"matrix_hp5", std::string(42, '0')}})
            m.applyReply({{key, value}});
        QCOMPARE(log, QStringList());
        // Non-hex digits read as 0.
        m.applyReply({{"matrix_ou11", "xy"}});
        QVERIFY(!m.isNodeOn(20, 10));
    }

    void constructionAndReset()
    {
        TMatrixSettings m(nullptr);
        const auto startValues = [&m] {
            QCOMPARE(m.programOutput(0), (Word4{2, 3, 4, 0x0E}));
            QCOMPARE(m.programOutput(1), (Word4{1, 3, 4, 0x0E}));
            QVERIFY(m.masterGains() == 0x80800000 && m.volumes() == 0xE0E0E0E0 && m.options() == 0);
            QVERIFY(m.isNodeOn(0, 2) && m.isNodeOn(3, 9) && m.isNodeOn(21, 17) && m.isNodeOn(17, 15));
            QVERIFY(m.nodeGain(0, 3) == 0 && m.nodeBalance(12, 2) == 6 && m.nodeBalance(24, 9) == 6);
            QVERIFY(m.inputName(4) == "AUX 1" && m.inputGain(5) == 0 && !m.isNodeOn(20, 10));
        };
        startValues();
        QVERIFY(!m.isNodeOn(5, 2) && m.nodeGain(5, 2) == 0 && m.nodeBalance(11, 2) == 0);
        QVERIFY(m.outputGain(2) == kOffDb && m.outputGain(14) == kOffDb && m.outputGain(11) == 0);

        m.applyReply(kChangeset);
        m.setState(0);
        m.copyOutput(2, 6);
        m.setNode(5, 15, true);
        m.setOutputGain(11, -4);
        QStringList log;
        recordSignals(m, log);
        m.reset();
        QVERIFY(log.isEmpty() && m.state() == -1);
        startValues();
        // Carried headphone nodes go on at -160 dB; copies and uncarried values stay.
        QVERIFY(m.isNodeOn(5, 2) && m.isNodeOn(5, 3) && m.nodeGain(5, 2) == kOffDb);
        QVERIFY(m.isOutputCopy(6) && m.isNodeOn(5, 15) && m.outputGain(11) == -4);
    }

    void refreshKeyCounts()
    {
        const std::pair<std::uint32_t, std::size_t> rows[] = {
            {0x10500, 24}, {0x10600, 25}, {0x10700, 30}, {0x10800, 31}, {0x10D00, 32}, {0x20000, 36}};
        for (const auto& [firmware, count] : rows) {
            FirmwareWord fw(firmware);
            QCOMPARE(TMatrixSettings::refreshKeys().size(), count);
        }
    }

    void load()
    {
        FirmwareWord fw(0x20000);
        unit.onRequestMatching(QRegularExpression("GET:matrix_in1;.*GET:matrix_bal4;$"),
                               {UnitSimulator::reply("PARAM;matrix_in5:C3,\xC5\x81ukasz\xFF;return:OK;")}, 1);
        TMatrixSettings m(&com);
        QStringList log;
        recordSignals(m, log);
        QVERIFY(m.load(true));
        QVERIFY(m.state() == 0 && m.inputGain(4) == -29 && log.isEmpty());
        const QByteArrayList bodies = sent();
        QCOMPARE(bodies.size(), 2);
        QCOMPARE(bodies[0].count("GET:"), 36);
        QCOMPARE(bodies[1], QByteArray("DO;action:subscribe;info:audio_changeset;"));
        m.setNode(4, 18, true); // the name goes back as it came, invalid byte included
        QCOMPARE(sent(), QByteArrayList{"PARAM;matrix_in5:01C3,\xC5\x81ukasz\xFF;target:audio;"});
        TCommand info(TCommand::Info);
        info.setParam("info_type", "config_changeset");
        QVERIFY(!m.handleInfo(info));
        TCommand::parse("INFO;info_type:audio_changeset;matrix_in5:C4,;", info);
        QVERIFY(m.handleInfo(info) && m.inputGain(4) == -28 && sent().isEmpty());
    }

    void operationsSendTheirKeys()
    {
        const QByteArray c0x16 = QByteArray("C0").repeated(16);
        const struct Row {
            std::uint32_t firmware;
            std::function<void(TMatrixSettings&)> op;
            QByteArrayList sent;
        } rows[] = {
            {0x10D00, [](auto& m) { m.setNode(5, 0, true); }, {param("matrix_in6", "A0,")}},
            {0x10D00, [](auto& m) { m.setNode(20, 10, true); }, {param("matrix_ou11", "01")}},
            {0x10D00, [](auto& m) { m.setNode(21, 17, false); }, {}},
            {0x10D00, [](auto& m) { m.setNodeGain(5, 2, -10); }, {param("matrix_hp1", "C0C0C0C016" + c0x16)}},
            {0x106FF, [](auto& m) { m.setNodeGain(5, 2, -40); }, {param("matrix_hp1", "C0C0C0C001C0C0C0C0C0C0C0")}},
            {0x10800, [](auto& m) { m.setNodeGain(0, 2, -6); }, {param("matrix_vol", "DAE0E0E0")}},
            {0x107FF, [](auto& m) { m.setNodeGain(0, 2, -6); }, {}},
            {0x10600, [](auto& m) { m.setOutputGain(18, -3); }, {param("matrix_mgn", "7D800000")}},
            {0x105FF, [](auto& m) { m.setOutputGain(18, -3); }, {}},
            {0x10D00, [](auto& m) { m.setInputName(4, "M\u00E9"); }, {param("matrix_in5", "20,M\xC3\xA9")}},
            {0x20000, [](auto& m) { m.setInputName(4, "Mic"); }, {param("matrix_in5", "0020,Mic")}},
            // Refused by the loaded model's unit, or with no matrix read to carry
            // it: the old name stays, unannounced.
            {0x20000, [this](auto& m) {
                 if (m.state() == 0)
                     refuse("matrix_in5");
                 QStringList log;
                 recordSignals(m, log);
                 QVERIFY(!m.setInputName(4, "Mic"));
                 QVERIFY(!m.inputLabel(4).endsWith("Mic"));
                 QVERIFY(log.isEmpty());
             }, {param("matrix_in5", "0020,Mic")}},
            // No key of this unit to carry it: refused, nothing stored.
            {0x106FF, [](auto& m) { QVERIFY(!m.setInputName(14, "Mic") && !m.inputLabel(14).endsWith("Mic")); }, {}},
            {0x20000, [](auto& m) { QVERIFY(!m.setInputName(11, "Mic") && !m.inputLabel(11).endsWith("Mic")); }, {}},
            {0x10D00, [](auto& m) { m.setInputGain(4, -29); }, {param("matrix_in5", "03,")}},
            {0x10D00, [](auto& m) { m.setInputGain(0, -5); }, {}},
            {0x10D00, [](auto& m) { m.setNodeBalance(12, 2, 3); }, {param("matrix_bal1", "030606060606")}},
            {0x10D00, [](auto& m) { m.setNodeBalance(11, 2, 3); }, {}},
            {0x10D00, [](auto& m) { QCOMPARE(m.setOptions(0x12, true), m.state() == 0); }, {param("matrix_opt", "00000012")}},
            {0x10D00, [](auto& m) { QCOMPARE(m.setProgramOutput(1, {1, 2, 3, 4}, true), m.state() == 0); }, {param("matrix_po2", "01020304")}},
            {0x10D00, [](auto& m) { QVERIFY(!m.setProgramOutput(-1, {1, 2, 3, 4}, true)); }, {}},
        };
        for (const Row& row : rows) {
            FirmwareWord fw(row.firmware);
            TMatrixSettings m(&com);
            row.op(m); // unloaded: nothing goes out
            QVERIFY(sent().isEmpty());
            TMatrixSettings loaded(&com);
            loaded.setState(0);
            row.op(loaded);
            QCOMPARE(sent(), row.sent);
        }
    }

    void headphoneBatchAndRefusals()
    {
        FirmwareWord fw(0x10D00);
        TMatrixSettings m(&com);
        m.setState(0);
        const TMatrixSettings::HeadphoneBytes snapshot = m.headphoneRoute(0);
        m.setNodeGain(5, 2, -10);
        m.setNodeGain(5, 3, -10);
        QVERIFY(sent().isEmpty());
        m.setNodeGain(5, 4, -10); // another pair is not held back
        QCOMPARE(sent().size(), 1);
        refuse("matrix_hp1");
        QStringList log;
        recordSignals(m, log);
        QVERIFY(!m.setHeadphoneRoute(0, snapshot));
        QCOMPARE(sent().size(), 1);
        // The cells the refused key carried are the unit's again, and say so.
        QVERIFY(m.nodeGain(5, 2) == 0 && m.nodeGain(5, 3) == 0 && m.nodeGain(5, 4) == -10);
        QCOMPARE(log, (QStringList{"node 5 2", "node 5 3"}));
        QCOMPARE(m.headphoneRoute(0), snapshot);
        QVERIFY(m.setHeadphoneRoute(0, snapshot) && sent().isEmpty());
        // The next change goes with the mix the unit kept.
        m.setNodeGain(6, 2, -10);
        QCOMPARE(sent(), QByteArrayList{param("matrix_hp1", "C0C0C0C0C016" + QByteArray("C0").repeated(15))});
        const TMatrixSettings::HeadphoneBytes before = m.headphoneRoute(0);
        m.setNode(7, 2, true);
        m.setNode(8, 3, true);
        QVERIFY(m.setHeadphoneRoute(0, before) && sent().size() == 1);
        // A batch dropped part way sends nothing and keeps nothing of it.
        const TMatrixSettings::HeadphoneBytes held = m.headphoneRoute(0);
        m.setNode(9, 2, true);
        m.dropHeadphoneRoute(0, held);
        QVERIFY(!m.isNodeOn(9, 2) && m.headphoneRoute(0) == held && m.setHeadphoneRoute(0, held));
        QVERIFY(sent().isEmpty());
        TMatrixSettings::HeadphoneBytes muted;
        muted.fill(0xC0);
        QCOMPARE(m.headphoneRoute(4), muted);
        QVERIFY(!m.setHeadphoneRoute(-1, muted));
    }

    // Every operation the unit refuses, or whose key this firmware does not
    // take, keeps the model and its key's cache at the unit's values and
    // announces nothing; values the unit announces are stored all the same.
    void refusalsChangeNothing()
    {
        const struct
        {
            const char* what;
            std::uint32_t firmware;
            const char* refused; // null: the firmware gate keeps it
            std::function<bool(TMatrixSettings&)> op;
            std::function<bool(const TMatrixSettings&)> unchanged;
        } rows[] = {
            {"route", 0x10D00, "matrix_in5", [](auto& m) { return m.setNode(4, 0, true); },
             [](auto& m) { return !m.isNodeOn(4, 0); }},
            {"output route", 0x10D00, "matrix_ou11", [](auto& m) { return m.setNode(20, 10, true); },
             [](auto& m) { return !m.isNodeOn(20, 10); }},
            {"headphone gain", 0x10D00, "matrix_hp1", [](auto& m) { return m.setNodeGain(5, 2, -10); },
             [](auto& m) { return m.nodeGain(5, 2) == 0; }},
            {"side tone", 0x10800, "matrix_vol", [](auto& m) { return m.setNodeGain(0, 2, -6); },
             [](auto& m) { return m.nodeGain(0, 2) == 0 && m.volumes() == 0xE0E0E0E0; }},
            {"balance", 0x10D00, "matrix_bal1", [](auto& m) { return m.setNodeBalance(12, 2, 3); },
             [](auto& m) { return m.nodeBalance(12, 2) == 6; }},
            {"input gain", 0x10D00, "matrix_in5", [](auto& m) { return m.setInputGain(4, -29); },
             [](auto& m) { return m.inputGain(4) == 0; }},
            {"master gain", 0x10D00, "matrix_mgn", [](auto& m) { return m.setOutputGain(0, 1); },
             [](auto& m) { return m.outputGain(0) == 0 && m.outputGain(18) == 0 && m.masterGains() == 0x80800000; }},
            {"LINE 2 route, 1.6", 0x106FF, nullptr, [](auto& m) { return m.setNode(20, 14, true); },
             [](auto& m) { return !m.isNodeOn(20, 14) && !m.takesNode(20, 14) && m.takesNode(20, 10); }},
            {"network 3 route, 1.6", 0x106FF, nullptr, [](auto& m) { return m.setNode(14, 0, true); },
             [](auto& m) { return !m.isNodeOn(14, 0) && !m.takesNode(14, 0); }},
            {"side tone, 1.7", 0x107FF, nullptr, [](auto& m) { return m.setNodeGain(0, 2, -6); },
             [](auto& m) { return m.nodeGain(0, 2) == 0 && !m.takesNodeGain(0, 2) && m.takesNode(0, 2); }},
            {"master gain, 1.5", 0x105FF, nullptr, [](auto& m) { return m.setOutputGain(1, -3); },
             [](auto& m) { return m.outputGain(1) == 0 && !m.takesOutputGain(1) && m.takesOutputGain(10); }},
            // The key of an older firmware ends at input 13.
            {"headphone mix beyond the key, 1.6", 0x106FF, nullptr, [](auto& m) { return m.setNode(14, 2, true); },
             [](auto& m) { return !m.isNodeOn(14, 2) && !m.takesNode(14, 2) && !m.takesNodeGain(15, 3); }},
        };
        for (const auto& row : rows) {
            FirmwareWord fw(row.firmware);
            // Before the unit's matrix is read nothing carries a change either.
            TMatrixSettings unread(&com);
            QVERIFY2(!row.op(unread) && row.unchanged(unread), row.what);
            TMatrixSettings m(&com);
            m.setState(0);
            QStringList log;
            recordSignals(m, log);
            if (row.refused)
                refuse(row.refused);
            QVERIFY2(!row.op(m), row.what);
            QVERIFY2(row.unchanged(m) && log.isEmpty(), row.what);
            QCOMPARE(sent().size(), row.refused ? 1 : 0);
        }

        // What the unit announces is stored whatever the firmware takes.
        FirmwareWord fw(0x106FF);
        TMatrixSettings m(&com);
        m.setState(0);
        m.applyReply({{"matrix_ou15", "01"}, {"matrix_vol", "DAE0E0E0"}, {"matrix_mgn", "7F800000"}});
        QVERIFY(m.isNodeOn(20, 14) && m.nodeGain(0, 2) == -6 && m.outputGain(18) == -1);
        QVERIFY(sent().isEmpty());
    }

    void appliedValuesSendNothing()
    {
        FirmwareWord fw(0x20000);
        TMatrixSettings m(&com);
        m.setState(0);
        QStringList log;
        recordSignals(m, log);
        refuse("matrix_in5");
        QVERIFY(!m.setNode(4, 0, true));
        refuse("matrix_in1");
        QVERIFY(!m.setNode(0, 0, true));
        QVERIFY(sent().size() == 2 && !m.isNodeOn(4, 0) && !m.isNodeOn(0, 0) && log.isEmpty());
        // The unit kept its key: the next change goes with the unit's values.
        QVERIFY(m.setNode(4, 1, true));
        QCOMPARE(sent(), (QByteArrayList{param("matrix_in5", "0060,")}));

        log.clear();
        m.applyReply(kChangeset);
        QVERIFY(sent().isEmpty() && log.size() > 40);
        log.clear();
        m.applyReply(kChangeset);
        QCOMPARE(log, QStringList());
    }

    void copiesAndSignalOrder()
    {
        TMatrixSettings m(nullptr);
        QStringList log;
        recordSignals(m, log);
        m.copyOutput(2, 6);
        m.copyOutput(4, 6); // already a copy
        m.copyOutput(6, 8); // a copy is no source
        m.copyOutput(3, 3);
        m.copyOutput(12, 2);
        QVERIFY(m.isOutputCopy(6) && m.copySource(6) == 2 && !m.isOutputCopy(2) && m.copySource(2) == -1);
        m.copyOutput(0, 8);
        QVERIFY(m.isNodeOn(20, 8));
        m.removeOutputCopy(4, 6); // not its source
        QVERIFY(m.isOutputCopy(6));
        m.removeOutputCopy(2, 6);
        m.removeOutputCopy(0, 8);
        QVERIFY(!m.isOutputCopy(6) && !m.isNodeOn(20, 8));
        m.applyReply({{"matrix_in5", "C3,Mic"}, {"matrix_opt", "00000001"}, {"matrix_po3", "01000000"}, {"matrix_mgn", "7D800000"}});
        QCOMPARE(log, (QStringList{"copy 2 6", "copy 0 8", "copy 2 6", "copy 0 8", "node 4 0", "node 4 1",
                                   "name 4", "gain 4", "output 0", "output 18", "options 0", "program 2"}));
    }
};

QTEST_GUILESS_MAIN(MatrixTest)
#include "tst_matrix.moc"
