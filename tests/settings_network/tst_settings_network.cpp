#include <QtTest>

#include "panel/kit/controls.h"
#include "panel/kit/menuselect.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"

using namespace SettingsId;

namespace {

// The operator's edit: a switch clicked when it must turn, a list's value (the
// network list's through its popup), or a text.
void edit(QPravikMenuItems* page, int id, const QVariant& value)
{
    QPravikMenuItem* item = page->findItem(id);
    if (id == NetworkListItem) {
        QPravikMenuSelect* select = page->menuWidget->openSelection(QString(), item, true);
        select->setCurrent(select->findSelectable(value.toInt()));
        select->okClicked();
    } else if (value.typeId() == QMetaType::Bool) {
        if (item->switchButton->isChecked() != value.toBool())
            item->switchButton->click();
    } else {
        if (value.typeId() == QMetaType::Int)
            item->setCurrentValue(value.toInt(), true, true);
        else
            item->setValueText(value.toString(), false);
        page->notifyItemChanged(item);
    }
}

const QByteArray kEthernet = "local_addr:10.0.0.2;subnet:255.0.0.0;dns1:10.0.0.3;network_quality:low;return:OK;";
const QByteArray kIsdn = "protocol:isdn_udss1;addr_sb0_ch0:301;return:OK;";
const QByteArray kWifi = "ssid:Home;authentication:WPA-PSK;passphrase:secret;network_quality:low;return:OK;";
const QByteArray kWrites = "^PARAM;(?!.*(GET|LIST):)";

} // namespace

class TestSettingsNetwork : public QObject
{
    Q_OBJECT

private slots:
    // The interface menus read the unit, take the operator's edits and send them in one commit; a refused
    // commit keeps the mark and is sent again whole. Locks are checked afterwards.
    void interfaceMenus()
    {
        const struct {
            const char* what; int menu; QByteArray values; QList<QPair<int, QVariant>> edits; QByteArrayList sent;
            const char* refused = nullptr; QList<QPair<int, bool>> locks = {}; QByteArray scanned = "";
        } rows[] = {
            {"DHCP to manual", 12, "mode:dhcp;" + kEthernet, {{DhcpItem, false}, {EthernetQualityItem, 4}},
             {"PARAM;dns1:10.0.0.3;dns2:;gateway:;local_addr:10.0.0.2;mode:manual;"
              "network:eth.0;network_quality:high;subnet:255.0.0.0;target:network;"}},
            {"manual to DHCP", 12, "mode:manual;" + kEthernet, {{IpAddressItem, "10.0.0.9"}, {DhcpItem, true}},
             {"PARAM;mode:dhcp;network:eth.0;target:network;"}},
            {"PPPoE keeps its mode", 13, "mode:pppoe;" + kEthernet, {{EthernetQualityItem, 1}},
             {"PARAM;network:eth.1;network_quality:bad;target:network;"}},
            {"refused, then the same", 12, "mode:manual;" + kEthernet, {{IpAddressItem, "10.0.0.9"}},
             {"PARAM;local_addr:10.0.0.9;network:eth.0;target:network;"}, "local_addr"},
            {"5as alone", 11, "5as:off;" + kIsdn, {{FiveAsItem, true}}, {"PARAM;5as:on;target:audio;"}},
            {"5as refused, both again", 11, "5as:off;" + kIsdn, {{FiveAsItem, true}, {IsdnProtocolItem, 1}},
             {"PARAM;network:isdn.0;protocol:isdn_ni2;target:network;", "PARAM;5as:on;target:audio;"}, "5as",
             {{SpidItem, false}, {LocalNumber1Item, true}, {SubAddress2Item, true}}},
            {"WPA2-PSK", 20, "data_connection:off;" + kWifi, {{SecurityItem, 4}},
             {"PARAM;authentication:WPA2-PSK;authentication_custom:WPA2-PSK;network:wifi.0;target:network;"}},
            {"Auto", 20, "data_connection:off;" + kWifi, {{SecurityItem, 1}},
             {"PARAM;authentication:auto;network:wifi.0;target:network;"}},
            {"off, no network in reach", 20, "data_connection:on;" + kWifi, {{WifiActiveItem, false}},
             {"PARAM;data_connection:off;network:wifi.0;target:network;"}, nullptr,
             {{NetworkListItem, true}, {SsidItem, false}}},
            {"a listed name", 20, "data_connection:off;" + kWifi, {{NetworkListItem, 0}},
             {"PARAM;authentication:auto;network:wifi.0;passphrase:;ssid:Caf\xC3\xA9;target:network;"}, nullptr, {},
             "Caf\xC3\xA9,Home"},
        };
        SettingsFixture f;
        QVERIFY(f.start() && f.loadDevice("aoip,eth.0,eth.1,isdn.0,wifi.0"));
        f.unit.onRequestMatching(QRegularExpression(kWrites), {UnitSimulator::reply("PARAM;return:OK;")});
        for (const auto& row : rows) {
            f.unit.onRequestMatching(QRegularExpression("GET:(mode|protocol|ssid|5as);"),
                                     {UnitSimulator::reply("PARAM;" + row.values)});
            f.unit.onRequestMatching(QRegularExpression("LIST:ssid;"),
                                     {UnitSimulator::reply("PARAM;ssid:" + row.scanned + ";return:OK;")});
            row.menu == IsdnMenu ? f.page->createIsdnMenu()
                : row.menu >= WifiMenuFirst ? f.page->createWifiMenu(row.menu) : f.page->buildEthernetMenu(row.menu);
            QPravikMenuItems* page = f.page->currentItems();
            for (const auto& change : row.edits)
                edit(page, change.first, change.second);
            QVERIFY2(f.page->header->modified, row.what);
            const auto apply = [&] { f.unit.clearReceived(); f.page->applyChanges(); return !f.page->header->modified; };
            if (row.refused) {
                f.unit.onRequestMatching(QRegularExpression(row.refused), {UnitSimulator::errorReply(117)}, 1);
                QVERIFY2(!apply(), row.what);
                QCOMPARE(f.shownMessage(), QStringLiteral("Failed to apply changes!"));
            }
            QVERIFY2(apply(), row.what);
            QCOMPARE(f.unit.requestBodies(), row.sent);
            for (const auto& lock : row.locks)
                QVERIFY2(page->findItem(lock.first)->locked == lock.second, row.what);
            f.page->goBack();
        }
    }

    // Menu 1 by the unit's interfaces and options and the access level.
    void networkMenu()
    {
        // The rows ("*": locked), labels of the mobile and Wi-Fi links shown, item 8's text (red) and item 9's.
        const struct {
            int level; QByteArray networks; QByteArray options; QList<QPair<QByteArray, QByteArray>> values; QString rows;
            QStringList labels; QString secondary, codecMode;
        } rows[] = {
            {OperatorLevel, "aoip,eth.0,eth.1,isdn.0,mobile.0,mobile.1,wifi.0,wifi.1", "",
             {{"coord_mode:disabled", "coord_mode:enabled"}, {"stereo", "dmono"}}, "7 9 -1 10* 12* 13* 11* 16 17 20* 21*",
             {"Mobile settings (Internal)", "Mobile settings (External 1)", "Wi-Fi settings (External 1)",
              "Wi-Fi settings (External 2)"}, "", "Single Codec"},
            {ExpertLevel, "aoip,eth.0,mobile.0,mobile.1,mobile.2,mobile.3", "ip_dstream_2,hardware_3",
             {{"dstream_mode:disabled", "dstream_mode:enabled"}, {"coord_mode:disabled", "coord_mode:enabled"},
              {"secondary_network:eth.0", "secondary_network:"}, {"standard", "extended"}},
             "7 8 9 -1 10 12 16 17 18 19",
             {"Mobile settings (Internal 1)", "Mobile settings (Internal 2)", "Mobile settings (External 1)",
              "Mobile settings (External 2)"}, "Invalid", "Single Codec and Mobile Voice Coordination"},
        };
        for (const auto& row : rows) {
            QByteArray values = SettingsFixture::kDeviceValues;
            for (const auto& change : row.values)
                values.replace(change.first, change.second);
            SettingsFixture f(row.level);
            QVERIFY(f.start() && f.loadDevice(row.networks, row.options, values) && f.openEntry(1));
            QPravikMenuItems* page = f.page->currentItems();
            QStringList ids, labels;
            for (QPravikMenuItem* item : page->allItems()) {
                ids.append(QString::number(item->id) + (item->locked ? "*" : ""));
                if (item->id >= MobileMenuFirst && item->id <= WifiMenuLast && item->isVisibleTo(f.page))
                    labels.append(item->titleText());
            }
            QCOMPARE(ids.join(' '), row.rows);
            QCOMPARE(labels, row.labels);
            QCOMPARE(page->findItem(DefaultNetworkItem)->choiceCount(), row.networks.count(','));
            const QPravikMenuItem* secondary = page->findItem(SecondaryNetworkItem);
            QVERIFY(!secondary || (secondary->valueText() == row.secondary
                                   && secondary->valueLabel->palette().color(QPalette::WindowText) == Qt::red));
            QCOMPARE(page->findItem(CodecModeItem)->valueText(), row.codecMode);
        }
        // The coordination choice follows the modem of the unit connected now.
        SettingsFixture f;
        QVERIFY(f.start() && f.loadDevice("aoip,eth.0,mobile.0") && f.openEntry(1));
        QCOMPARE(f.page->currentItems()->findItem(CodecModeItem)->choiceCount(), 3);
        f.unit.onRequestMatching(QRegularExpression("LIST:mode;"), {UnitSimulator::reply("PARAM;mode:data;return:OK;")});
        QVERIFY(f.push("EVENT;event_type:reinit;", [&] { return f.page->firstMobileCapabilities == -1; }));
        QVERIFY(f.loadDevice("aoip,eth.0,mobile.0") && f.openEntry(1));
        QCOMPARE(f.page->currentItems()->findItem(CodecModeItem)->choiceCount(), 2);
    }

    // Items 7-9 go to the unit at once; a call or a refusal puts them back.
    void immediateItems()
    {
        // The unit's bit rates for codec 1 in mono, codec 1 as sent, and whether the unit refuses it.
        const struct { QByteArray rates; QByteArray codec; bool refused; } rows[] = {
            {"64000,128000", "codec:OPUS/48000/mono/128000", false},
            {"32000,64000", "codec:OPUS/48000/mono/32000", false},
            {"", "codec:OPUS/48000/mono/64000", false},
            {"", "codec:OPUS/48000/mono/64000", true},
        };
        for (const auto& row : rows) {
            SettingsFixture f;
            QVERIFY(f.start() && f.loadDevice("aoip,eth.0,mobile.0") && f.openEntry(1));
            f.unit.onRequestMatching(QRegularExpression(kWrites), {UnitSimulator::reply("PARAM;return:OK;")});
            f.unit.onRequestMatching(QRegularExpression("LIST:bitrate;"),
                                     {UnitSimulator::reply("PARAM;bitrate:" + row.rates + ";return:OK;")});
            const QByteArray sent = "PARAM;" + row.codec + ";target:audio;";
            if (row.refused)
                f.unit.onRequest(sent, {UnitSimulator::errorReply(117)});
            f.unit.clearReceived();
            edit(f.page->currentItems(), CodecModeItem, 2);
            const QByteArrayList bodies = f.unit.requestBodies();
            QVERIFY2(bodies.contains(sent) && (bodies.last() == sent) == row.refused, row.codec); // none after a refusal
            QCOMPARE(f.shownMessage(), row.refused ? QStringLiteral("Failed to apply changes!") : QString());
        }
        SettingsFixture f;
        QVERIFY(f.start() && f.loadDevice("aoip,eth.0,eth.1") && f.openEntry(1) && f.startCall(5, "audio", "eth.0"));
        f.unit.clearReceived();
        edit(f.page->currentItems(), DefaultNetworkItem, 0x101);
        QCOMPARE(f.page->currentItems()->findItem(DefaultNetworkItem)->currentValue(), 0x100);
        QCOMPARE(f.shownMessage(), QStringLiteral("Cannot apply changes\n(a connection is established)"));
        QVERIFY(f.unit.requestBodies().isEmpty());
    }

    // Each operator scan fills the list anew; a failed one keeps it.
    void operatorScan()
    {
        SettingsFixture f;
        QVERIFY(f.start() && f.loadDevice("aoip,eth.0,mobile.1"));
        auto* page = new QPravikMenuItems(MobileMenuFirst + 1, f.page);
        auto* item = new QPravikMenuItem(PreferredOperatorItem, QPravikMenuItem::Action, page);
        page->addItem(item);
        f.page->pushPage(page);
        for (const QByteArray reply : {"PARAM;plmn:Orange,SFR,Free;return:OK;", "PARAM;plmn:Orange,SFR,Free;return:OK;", ""}) {
            f.unit.onRequest("PARAM;network:mobile.1;target:network;LIST:plmn;",
                             {reply.isEmpty() ? UnitSimulator::errorReply(117) : UnitSimulator::reply(reply)}, 1);
            f.page->itemChanged(item);
            delete f.page->findChild<QPravikMenuSelect*>();
            QVERIFY(item->choiceCount() == 4 && item->choices.last().text == QStringLiteral("Free"));
        }
        QCOMPARE(f.shownMessage(), QStringLiteral("Failed to scan networks!"));
    }
};

QTEST_MAIN(TestSettingsNetwork)
#include "tst_settings_network.moc"
