#include <QtTest>

#include <functional>

#include "panel/kit/controls.h"
#include "panel/kit/menuselect.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"

using namespace SettingsId;

namespace {

using Edits = QList<QPair<int, QVariant>>;

// What an operator does to an item: a switch is clicked when it must turn,
// a list takes a value, any other item a text.
void edit(QPravikMenuItems* page, int id, const QVariant& value)
{
    QPravikMenuItem* item = page->findItem(id);
    if (value.typeId() == QMetaType::Bool) {
        if (item->switchButton->isChecked() != value.toBool())
            item->switchButton->click();
        return;
    }
    if (value.typeId() == QMetaType::Int)
        item->setCurrentValue(value.toInt(), true, true);
    else
        item->setValueText(value.toString(), false);
    page->notifyItemChanged(item);
}

const QByteArray kEthernet = "cable:plugged;local_addr:10.0.0.2;subnet:255.0.0.0;gateway:10.0.0.1;dns1:10.0.0.3;"
                             "dns2:;link_mode:autonegotiation;link_mode_neg:;hw_addr:00:50:c2;network_quality:low;"
                             "ajb_profile:safe;return:OK;";
const QByteArray kIsdn = "protocol:isdn_udss1;spid:;addr_sb0_ch0:301;addr_sb0_ch1:302;subaddr_sb0_ch0:;"
                         "subaddr_sb0_ch1:;return:OK;";
const QByteArray kWifi = "ssid:Home;ssid_custom:;authentication:WPA-PSK;authentication_custom:WPA-PSK;"
                         "passphrase:secret;data_connection_state:;network_quality:low;ajb_profile:safe;return:OK;";

} // namespace

class TestSettingsNetwork : public QObject
{
    Q_OBJECT

private slots:
    // The interface menus read the unit, take the operator's edits and send
    // them in one commit; a refused commit is sent again whole.
    void interfaceMenus()
    {
        const struct
        {
            const char* what;
            int menu;
            QByteArray values;
            Edits edits;
            QByteArrayList sent;
            const char* refused = nullptr; // the unit refuses the first commit's request
            std::function<bool(QPravikMenuItems*)> after = nullptr;
        } rows[] = {
            {"DHCP to manual", 12, "mode:dhcp;" + kEthernet, {{DhcpItem, false}, {EthernetQualityItem, 4}},
             {"PARAM;dns1:10.0.0.3;dns2:;gateway:10.0.0.1;local_addr:10.0.0.2;mode:manual;"
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
             [](QPravikMenuItems* p) {
                 return p->findItem(SpidItem)->locked == false && p->findItem(LocalNumber1Item)->locked
                     && p->findItem(SubAddress2Item)->locked;
             }},
            {"WPA2-PSK", 20, "data_connection:off;" + kWifi, {{SecurityItem, 4}},
             {"PARAM;authentication:WPA2-PSK;authentication_custom:WPA2-PSK;network:wifi.0;target:network;"}},
            {"Auto", 20, "data_connection:off;" + kWifi, {{SecurityItem, 1}},
             {"PARAM;authentication:auto;network:wifi.0;target:network;"}},
            {"off, no network in reach", 20, "data_connection:on;" + kWifi, {{WifiActiveItem, false}},
             {"PARAM;data_connection:off;network:wifi.0;target:network;"}, nullptr,
             [](QPravikMenuItems* p) { return p->findItem(NetworkListItem)->locked && !p->findItem(SsidItem)->locked; }},
        };
        SettingsFixture f;
        QVERIFY(f.start() && f.loadDevice("aoip,eth.0,eth.1,isdn.0,wifi.0"));
        f.unit.onRequestMatching(QRegularExpression("^PARAM;(?!.*GET:)"), {UnitSimulator::reply("PARAM;return:OK;")});
        f.unit.onRequestMatching(QRegularExpression("GET:5as"), {UnitSimulator::reply("PARAM;5as:off;return:OK;")});
        for (const auto& row : rows) {
            f.unit.onRequestMatching(QRegularExpression("GET:(mode|protocol|ssid);"),
                                     {UnitSimulator::reply("PARAM;" + row.values)});
            if (row.menu == IsdnMenu)
                f.page->createIsdnMenu();
            else if (row.menu >= WifiMenuFirst)
                f.page->createWifiMenu(row.menu);
            else
                f.page->buildEthernetMenu(row.menu);
            QPravikMenuItems* page = f.page->currentItems();
            QVERIFY2(page && page->menuId == row.menu, row.what);
            for (const auto& change : row.edits)
                edit(page, change.first, change.second);
            QVERIFY2(f.page->header->modified, row.what);
            const auto apply = [&] {
                f.unit.clearReceived();
                return row.menu == IsdnMenu ? f.page->applyIsdnMenu(page)
                    : row.menu >= WifiMenuFirst ? f.page->applyWifiMenu(page)
                                                : f.page->applyEthernetMenu(page);
            };
            if (row.refused) {
                f.unit.onRequestMatching(QRegularExpression(row.refused), {UnitSimulator::errorReply(117)}, 1);
                QVERIFY2(!apply(), row.what);
                QCOMPARE(f.shownMessage(), QStringLiteral("Failed to apply changes!"));
                QCOMPARE(f.unit.requestBodies(), row.sent);
            }
            QVERIFY2(apply(), row.what);
            QCOMPARE(f.unit.requestBodies(), row.sent);
            QVERIFY2(!row.after || row.after(page), row.what);
            f.page->goBack();
        }
    }
};

QTEST_MAIN(TestSettingsNetwork)
#include "tst_settings_network.moc"
