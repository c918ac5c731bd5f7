#include <QtTest>

#include <climits>

#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"

using namespace SettingsId;
using Stats = QPravikSettingsPage::LineStatistics;

class TestSettingsStatus : public QObject
{
    Q_OBJECT
    QString text(int id, int parent = -1) const { return page()->findItemOfParent(id, parent)->valueText(); }
    QPravikMenuItems* page() const { return f->page->currentItems(); }
    void reply(const char* pattern, const QByteArray& body)
    { f->unit.onRequestMatching(QRegularExpression(pattern), {UnitSimulator::reply(body)}); }
    SettingsFixture* f = nullptr;

private slots:
    void init() { QVERIFY((f = new SettingsFixture)->start()); }
    void cleanup() { delete f; }

    void statusRoot()
    {
        const struct { std::function<void(TComDevice*)> mode; const char* text; } rows[] = {
            {[](TComDevice* d) { d->setCodecMode(1, false); }, "Double Codec"},
            {[](TComDevice* d) { d->setCoordMode(1, false), d->setOperationMode(1, false); },
             "Single Codec and Mobile Voice Coordination"},
        };
        for (const auto& row : rows) {
            QVERIFY(f->loadDevice("aoip,wifi.0,eth.1,eth.0"));
            reply("LIST:network", "PARAM;network:aoip,wifi.0,eth.1,eth.0;return:OK;");
            reply("GET:serialno", "PARAM;serialno:A1;version:1.14.2;return:OK;");
            row.mode(frontPanelDevice());
            QVERIFY(f->openEntry(StatusEntry));
            QString lines;
            for (QPravikMenuItem* item : page()->allItems())
                lines += item->id >= 285 && item->id <= 300 ? QString::number(item->id) + ' ' : QString();
            QCOMPARE(lines, "285 286 297 ");
            QCOMPARE(text(ModeStatusItem), row.text);
            QCOMPARE(text(SerialNumberItem) + text(SoftwareBuildItem), "A1Not Available");
        }
    }

    void callGroups()
    {
        QVERIFY(f->loadDevice("aoip,eth.0,isdn.0"));
        f->page->createConnectionsMenu();
        const auto shown = [this](int group) {
            QString ids;
            for (int id = CallStateItem; id <= LatestAoipStatisticsItem; ++id)
                if (!page()->findItemOfParent(id, group)->isHidden())
                    ids += QString::number(id % 10);
            return ids;
        };
        const char* progress = "Call in progress (negociating)";
        const char* sync = "Call established (synchronized)";
        const struct { const char* event; int group; const char* shown; const char* state; const char* tx; } rows[] = {
            {"0100-call proceeding;id:5;comm_link:audio;network:eth.0", 260, "234", "Call in progress...", ""},
            {"1000-call active;id:5;comm_link:audio;network:eth.0", 260, "234", progress, ""},
            {"dsp_status;state:sync;id:5;network:eth.0", 260, "234", sync, ""},
            {"tx-quality-report;net-quality:80;id:5;network:eth.0", 260, "234568", sync, "80%"},
            {"rx-quality-report;net-quality:70;id:5;network:eth.0", 260, "2345678", sync, "80%"},
            {"1900-call released;id:5;network:eth.0", 260, "239", "Idle", ""},
            {"1000-call active;id:6;comm_link:audio2;network:isdn.0", 261, "234", progress, ""},
            {"tx-quality-report;net-quality:80;id:6;network:isdn.0", 261, "234", progress, ""},
        };
        for (const auto& row : rows) {
            f->unit.pushSignal(QByteArray("EVENT;event_type:") + row.event + ";");
            QVERIFY2(f->unit.waitUntil([&] {
                f->page->updateConnectionsMenu(page(), 1);
                f->page->updateConnectionsMenu(page(), 2);
                return shown(row.group) == row.shown && text(CallStateItem, row.group) == row.state
                    && text(TransmissionQualityItem, row.group) == row.tx
                    && text(CallStateItem, 521 - row.group) == "Idle";
            }), row.event);
        }
    }

    void statistics()
    {
        const QString max = "Total: 2147483647, Lost: 2147483647";
        const struct { std::function<void(Stats&)> set; int item; QString text; } rows[] = {
            {[](Stats& s) { s.rx[0].packetsTotal = 990, s.rx[0].packetsLost = 10; }, 276, "Total: 990, Lost: 10 (1.00%)"},
            {[](Stats& s) { s.tx[0].packetsTotal = 1000, s.tx[0].packetsLost = 10; }, 273, "Total: 1000, Lost: 10 (1.00%)"},
            {[](Stats& s) { s.tx[0].packetsTotal = 990, s.tx[0].packetsLost = 10; }, 273, "Total: 990, Lost: 10 (1.01%)"},
            {[](Stats& s) { s.tx[0].packetsTotal = s.tx[0].packetsLost = INT_MAX; }, 273, max + " (100.00%)"},
            {[](Stats& s) { s.rx[0].packetsTotal = s.rx[0].packetsLost = INT_MAX; }, 276, max + " (50.00%)"},
            {[](Stats& s) { s.tx[0].packetsLost = 5; }, 273, "Total: 0, Lost: 5 (0.00%)"},
            {[](Stats& s) { s.rx[0].packetsLost = 5; }, 276, "Total: 0, Lost: 5 (0.00%)"},
            {[](Stats& s) { s.tx[1].netQuality = 0, s.tx[1].duration = 3725; }, 272, "00:00:00\n01:02:05"},
            {[](Stats& s) { s.rx[1].netQuality = 0, s.rx[0].duration = -5; }, 275, "00:00:00"},
            {[](Stats& s) { s.rx[0].bufferCurrent = 40; }, 278, "Latency: 40 ms"},
        };
        f->page->createStatisticsMenu(Statistics1Menu);
        for (const auto& row : rows) {
            f->page->lineStatistics[0] = Stats();
            row.set(f->page->lineStatistics[0]);
            f->page->updateStatisticsMenu(page());
            QCOMPARE(text(row.item).section("\nDiscarded", 0, 0), row.text);
        }
    }

    void networkTexts()
    {
        QVERIFY(f->loadDevice("aoip,eth.1,mobile.0,wifi.0"));
        reply("LIST:network", "PARAM;network:aoip,eth.1,mobile.0,wifi.0;return:OK;");
        reply("GET:pin", "PARAM;pin:122-pin required;return:ERROR;");
        reply("wifi.0;.*GET:ssid", "PARAM;ssid:lab;signal_quality_dbm:-60 dBm;local_addr:;data_connection:on;"
                                   "data_connection_state:processing;return:OK;");
        f->unit.onRequestMatching(QRegularExpression("eth.1;.*GET:mode"), {UnitSimulator::errorReply(117)}, 1);
        // The Ethernet menu's failed load left eth.0's address behind.
        TComEthernetController& ethernet = f->page->ethernetController;
        ethernet.attach("eth.0", 0, false), ethernet.setLocalAddr("192.0.2.99", false), ethernet.setState(-1);
        QVERIFY(f->openEntry(StatusEntry));
        QCOMPARE(text(286), " [ Unknown, Unknown ]");
        QCOMPARE(text(289), "PIN Required");
        QVERIFY(!f->unit.requestBodies().join().contains("operator_long"));
        QCOMPARE(text(297), "lab [ Connection in Progress, -60 dBm ]");
        reply("eth.1;.*GET:mode", "PARAM;mode:dhcp;local_addr:192.0.2.7;link_mode_neg:1000baseT-FD;return:OK;");
        f->page->updateEthernetStatusText(page(), 286);
        QCOMPARE(text(286), "192.0.2.7 [ DHCP, 1000BaseT-FD ]");

        reply("GET:audio_mode", "PARAM;audio_mode:MC;return:OK;");
        f->page->createAoipStatusMenu();
        QVERIFY(text(ProtocolStatusItem).isEmpty() && page()->findItem(ProtocolStatusItem)->currentIndex == -1);
    }
};

QTEST_MAIN(TestSettingsStatus)
#include "tst_settingsstatus.moc"
