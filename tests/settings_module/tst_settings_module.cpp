#include "audio/tcomravennacontroller.h"
#include "panel/kit/controls.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"

#include <QGridLayout>
#include <QTest>

using namespace SettingsId;
using Values = TComController::ValueMap;

// The module as the unit describes it, what the operator does, then what is seen and what the unit was asked to write.
struct Row { const char* name; QByteArray options; std::uint32_t firmware; Values module; std::function<void()> act;
             QByteArray seen; QByteArrayList writes; };

class SettingsModuleTest : public QObject
{
    Q_OBJECT
    SettingsFixture f;
    TComRavennaController* rav = frontPanelRavenna();
    std::function<QString()> look;

    QPravikMenuItem* item(int id) { return f.page->currentItems() ? f.page->currentItems()->findItem(id) : nullptr; }
    // Audio menu, then the links given.
    void open(std::initializer_list<int> path) { f.openEntry(3); for (int id : path) f.page->itemActivated(item(id)); }
    // Through the row's own keyboard.
    void type(int id, const char* text) { QVERIFY(f.type(id, QString::fromUtf8(text))); }
    void choose(int id, int value) { item(id)->setCurrentValue(value, true, true), f.page->itemChanged(item(id)); }
    void flip(int id) { item(id)->switchButton->click(); }
    void refuseOnce(const char* pattern) { f.unit.onRequestMatching(QRegularExpression(pattern), {UnitSimulator::errorReply(117)}, 1); }
    void apply() { f.page->applyChanges(); }
    // Present rows in page order: '#' locked (editable rows), '>' indented, '~' hidden.
    QString rows()
    {
        QStringList out;
        for (QPravikMenuItem* i : f.page->currentItems()->allItems())
            if (i->id > 0)
                out << QString::number(i->id) + (i->locked && i->id < 163 ? "#" : "")
                           + (i->gridLayout->contentsMargins().left() == 60 && i->id < 163 ? ">" : "") + (i->isHidden() ? "~" : "");
        return out.join(',');
    }
    QString state() { return QString("%1|%2").arg(f.page->header->modified).arg(f.shownMessage()); }
    QByteArrayList bodies;
    // The keys the unit was asked for by the open menu, without their prefix.
    QString reads()
    {
        QStringList keys;
        for (const QByteArray& body : bodies)
            for (const QString& part : QString::fromUtf8(body).split(';'))
                if (part.startsWith("GET:rav_") && (f.page->currentItems()->menuId == RavennaMenu || !body.contains("GET:rav_device_name")))
                    keys << part.mid(8);
        return keys.join(',');
    }
    void run(std::initializer_list<Row> table)
    {
        for (const Row& row : table) {
            QVERIFY(f.loadDevice("aoip,eth.0", row.options));
            unitFirmwareVersion = row.firmware;
            currentAccessLevel = AdministratorLevel;
            rav->reset();
            Values module = {{"rav_manufacturer", "Merging"}, {"rav_if_count", "1"}, {"rav_sample_rate", "44100"},
                             {"rav_device_name", "Box"}, {"rav_delay_in", "0"}, {"rav_ptime_ou", "1"}};
            for (const auto& [key, value] : row.module)
                module[key] = value;
            rav->applyReply(module);
            rav->setState(TComController::Ready);
            f.unit.clearReceived();
            row.act();
            bodies = f.unit.takeRequestBodies();
            QByteArrayList sent;
            for (const QByteArray& body : bodies)
                if (!body.contains("GET:") && !body.contains("LIST:"))
                    sent << body.left(body.indexOf(";target")).mid(body.indexOf(';') + 1);
            const QString seen = look();
            QVERIFY2(seen == QString::fromUtf8(row.seen) && sent == row.writes, qPrintable(row.name + (": " + seen) + ' ' + sent.join(' ')));
            f.page->closePopup();
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(f.start());
        f.unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
        f.unit.onRequest("PARAM;target:audio;LIST:rav_sample_rate;", {UnitSimulator::reply("PARAM;rav_sample_rate:48000,96000;return:OK;")});
        f.unit.onRequest("PARAM;target:audio;LIST:rav_stream_in;", {UnitSimulator::reply(
            "PARAM;rav_stream_in:1/2/A,x/2/B,3/256/C,4/-1/D,5/0/E,7/2/\xce\xa9mega;return:OK;")});
    }

    // Rows by module kind, firmware, the six-stream option and interface count; the keys read.
    void moduleMenu()
    {
        const auto at = [this](int level) { return [=] { currentAccessLevel = level; open({RavennaMenu}); }; };
        look = [this] { return rows() + '|' + item(ModuleSampleRateItem)->valueText() + '|' + reads(); };
        run({
            {"1.6.9", "", 0x10609, {{"rav_manufacturer", "Acme"}}, at(2), "124,125,126,127,129,137,148,164,163,166,171,170|44.1 kHz|"
             "device_name,sample_rate,resolution,ptp_domain,dhcp,ip_addr,status_in0,status_in1,name_ou,mode_ou,sync_state,link_state,ptp_state", {}},
            {"option on 1.7.1, Expert", "hardware_1", 0x10701, {{"rav_manufacturer", "archWAVE"}}, at(1), "124#,125,126,127,129,164,163,166,167,168,171,170|44.1 kHz|"
             "device_name,sample_rate,resolution,ptp_domain,dhcp,ip_addr,sync_state,link_state,ptp_state", {}},
            {"option on 1.7.2", "hardware_1", 0x10702, {{"rav_manufacturer", "MERGING x"}}, at(2), "124,125,126,127,129,137,148,164,163,166,167,168,171,170|44.1 kHz|"
             "device_name,sample_rate,resolution,ptp_domain,dhcp,ip_addr,status_in0,status_in1,status_in2,status_in3,status_in4,name_ou,mode_ou,sync_state,link_state,ptp_state,firmware_rev", {}},
            {"two interfaces on 1.10.0", "", 0x10A00, {{"rav_if_count", "2"}}, at(2), "124,125,126,127,129,130,137,148,165,163,166,167,168,171,172,170|44.1 kHz|"
             "device_name,sample_rate,resolution,ptp_domain,dhcp,ip_addr,status_in0,status_in1,name_ou,mode_ou,lock_state,rescueos_rev,link_state,ptp_state,firmware_rev,dhcp1,ip_addr1,link_state1,ptp_state1", {}},
            {"option on 1.12", "hardware_2", 0x10C00, {}, at(2), "124,125,126,127,128,129,137,148,165,163,166,167,168,171,172,170|44.1 kHz|"
             "device_name,sample_rate,resolution,ptp_domain,net_mode,dhcp,ip_addr,status_in0,status_in1,status_in2,status_in3,status_in4,name_ou,mode_ou,lock_state,rescueos_rev,link_state,ptp_state,firmware_rev", {}},
            {"option on 1.13", "hardware_1", 0x10D00, {{"rav_manufacturer", "Acme"}, {"rav_if_count", "2"}}, at(2), "124,125,126,127,129,130,137,148,165,163,166,167,168,171,170|44.1 kHz|"
             "device_name,sample_rate,resolution,ptp_domain,dhcp,ip_addr,status_in0,status_in1,status_in2,status_in3,status_in4,status_in5,name_ou,mode_ou,lock_state,link_state,ptp_state,firmware_rev,dhcp1,ip_addr1,link_state1,ptp_state1", {}},
            {"streamless on 1.13", "", 0x10D00, {{"rav_manufacturer", "Audinate"}}, at(2), "124,125,126,129,165,163,166,167,168,171,170|44.1 kHz|"
             "device_name,sample_rate,resolution,dhcp,ip_addr,lock_state,link_state,ptp_state,firmware_rev", {}},
            {"streamless on 1.15", "", 0x10F00, {{"rav_manufacturer", "audinate"}}, at(2), "124,125,126,129,165,163,166,167,168,169,171,170|44.1 kHz|"
             "device_name,sample_rate,resolution,dhcp,ip_addr,lock_state,firmware_ver,link_state,ptp_state,firmware_rev", {}},
        });
    }

    // Items written at once: a refusal or a text that is no number puts back the model's value.
    void immediateItems()
    {
        look = [this] { return item(ModulePtpDomainItem) ? item(ModulePtpDomainItem)->valueText() + '|' + item(ModuleSampleRateItem)->valueText() + '|' + state()
                                                   : item(ReceiverDelayItem)->valueText() + '|' + state(); };
        const Values module = {{"rav_ptp_domain", "7"}};
        const auto at123 = [this](std::function<void()> act) { return [=] { open({RavennaMenu}), act(); }; };
        const auto delay = [this](const char* text) { return [=] { open({RavennaMenu, InputStreamsMenu}), type(ReceiverDelayItem, text); }; };
        run({
            {"domain abc", "", 0x10F00, module, at123([=] { type(ModulePtpDomainItem, "abc"); }), "7|44.1 kHz|0|Failed to apply changes!", {}},
            {"domain 12x", "", 0x10F00, module, at123([=] { type(ModulePtpDomainItem, "12x"); }), "7|44.1 kHz|0|Failed to apply changes!", {}},
            {"domain too big", "", 0x10F00, module, at123([=] { type(ModulePtpDomainItem, "99999999999"); }), "7|44.1 kHz|0|Failed to apply changes!", {}},
            {"delay at the maximum", "", 0x10F00, module, delay("24000"), "24000|0|", {"rav_delay_in:24000"}},
            {"delay above it", "", 0x10F00, module, delay("24001"), "Automatic|0|Failed to apply changes!", {}},
        });
    }

    // Only changed keys of the open interface go out; a refused commit leaves the model as the unit has it.
    void addressing()
    {
        look = [this] { return QString("%1,%2|").arg(rav->iface(0).dhcpMode).arg(rav->iface(1).dhcpMode) + state(); };
        const Values zeroconf = {{"rav_dhcp", "zeroconf"}, {"rav_if_count", "2"}}, fixed = {{"rav_dhcp", "off"}, {"rav_dhcp1", "off"}, {"rav_if_count", "2"}};
        run({
            {"DHCP on sends the switch alone", "", 0x10F00, fixed,
             [=] { open({RavennaMenu, 129}), type(ModuleIpAddressItem, "10.0.0.9"), flip(ModuleDhcpItem), apply(); }, "1,0|0|Changes take effect after\nthe next power cycle", {"rav_dhcp:on"}},
            {"ZeroConf untouched", "", 0x10F00, zeroconf, [=] { open({RavennaMenu, 129}), apply(); }, "2,1|0|", {}},
            {"second interface", "", 0x10F00, fixed, [=] { open({RavennaMenu, 130}), type(ModuleIpAddressItem, "10.0.0.9"), apply(); },
             "0,0|0|Changes take effect after\nthe next power cycle", {"rav_ip_addr1:10.0.0.9"}},
            {"refused, then retried", "", 0x10F00, zeroconf, [=] {
                 open({RavennaMenu, 129}), flip(ModuleDhcpItem), refuseOnce("rav_dhcp:off"), apply();
                 QCOMPARE(look(), QString("2,1|1|Failed to apply changes!"));
                 apply(); }, "0,1|0|Changes take effect after\nthe next power cycle", {"rav_dhcp:off", "rav_dhcp:off"}},
        });
    }

    // Links by stream count; the announced list read strictly; the channel kept within the stream; names byte for byte.
    void inputStreams()
    {
        const auto links = [this] { return rows() + '|' + reads(); };
        const auto menu = [this] { return QString("%1|%2|%3|").arg(item(StreamIdItem)->choices.size()).arg(item(StreamChannelItem)->valueText())
                                          .arg(f.page->header->refreshVisible) + state(); };
        const auto stream = [this](std::function<void()> act) { return [=] { open({RavennaMenu, InputStreamsMenu, 138}), act(); }; };
        const Values a5 = {{"rav_stream_in0", "1/5/A"}}, a0 = {{"rav_stream_in0", "1/0/A"}};
        look = links;
        run({
            {"two links", "", 0x10F00, {}, [=] { open({RavennaMenu, InputStreamsMenu}); }, "138,139,147|stream_in0,stream_in1,delay_min_in,delay_max_in,delay_in", {}},
            {"five links", "hardware_1", 0x10C00, {}, [=] { open({RavennaMenu, InputStreamsMenu}); },
             "138,139,140,141,142,147#|stream_in0,stream_in1,stream_in2,stream_in3,stream_in4,delay_min_in,delay_max_in,delay_in", {}},
            {"six links", "hardware_1", 0x10D00, {}, [=] { open({RavennaMenu, InputStreamsMenu}); },
             "138,139,140,141,142,143,147#|stream_in0,stream_in1,stream_in2,stream_in3,stream_in4,stream_in5,delay_min_in,delay_max_in,delay_in", {}},
        });
        look = [this] { return item(138)->valueText() + '|' + item(139)->valueText(); };
        run({
            {"a channel beyond any stream's is a failed read", "", 0x10F00, {}, [=] {
                 f.unit.onRequestMatching(QRegularExpression("GET:rav_stream_in0;"),
                     {UnitSimulator::reply("PARAM;rav_stream_in0:1/2147483647/;rav_stream_in1:2/255/B;return:OK;")}, 1);
                 open({RavennaMenu, InputStreamsMenu}); }, "None|B [ Channel 256 ]", {}},
        });
        look = menu;
        run({
            {"channel 5 of two shows the last, nothing sent", "", 0x10F00, a5, stream([=] { apply(); }), "3|2|0|0|", {}},
            {"no channel: nothing sent, a hint", "", 0x10F00, a5, stream([=] { choose(StreamIdItem, 5), apply(); }),
             "3|Press refresh before selecting a channel|1|1|", {}},
            {"a name outside Latin-1 byte for byte", "", 0x10F00, a0, stream([=] { choose(StreamIdItem, 7), choose(StreamChannelItem, 1), apply(); }),
             "3|2|0|0|Applying changes...", {"rav_stream_in0:7/1/\xce\xa9mega"}},
            {"refused, rolled back, retried", "", 0x10F00, a0, stream([=] {
                 choose(StreamIdItem, 7), refuseOnce("rav_stream_in0:"), apply();
                 QCOMPARE(QString::fromStdString(ravennaStreamText(rav->streamIn(0))) + state(), QString("1/0/A1|Failed to apply changes!"));
                 apply(); }), "3|1|0|0|Applying changes...", {"rav_stream_in0:7/0/\xce\xa9mega", "rav_stream_in0:7/0/\xce\xa9mega"}},
        });
        // The announced id and channel clamp are shown, not edited: only the operator's pick is written.
        look = [this] { return item(StreamIdItem)->valueText() + '|' + QString::number(item(StreamIdItem)->currentIndex) + '|'
                               + item(StreamChannelItem)->valueText() + '|' + state(); };
        const Values o3 = {{"rav_stream_in0", "3/0/\xce\xa9mega"}}, gone = {{"rav_stream_in0", "7/1/Gone"}};
        const auto unmarked = [this] { QCOMPARE(state().left(2), QString("0|")); };
        const auto refresh = [this](const QByteArray& list) {
            f.unit.onRequest("PARAM;target:audio;LIST:rav_stream_in;", {UnitSimulator::reply("PARAM;rav_stream_in:" + list + ";return:OK;")}, 1);
            f.page->refreshMenu(); };
        const auto in0 = [this](std::function<void()> act) { return [=] { open({RavennaMenu, InputStreamsMenu, InputStreamMenuFirst}), act(); }; };
        run({
            {"announced under another id", "", 0x10F00, o3, in0([=] { unmarked(), apply(); }), "\xce\xa9mega|2|1|0|", {}},
            {"the same refreshed", "", 0x10F00, o3, in0([=] { refresh("7/2/\xce\xa9mega"), unmarked(), apply(); }), "\xce\xa9mega|0|1|0|Refreshing...", {}},
            {"refreshed with more channels: the unit's again", "", 0x10F00, a5, in0([=] { refresh("9/8/A"), unmarked(), apply(); }), "A|0|6|0|Refreshing...", {}},
            {"the shown channel picked is none, another is written once", "", 0x10F00, o3, in0([=] {
                 choose(StreamChannelItem, 0), unmarked(), choose(StreamChannelItem, 1), apply(), apply(); }),
             "\xce\xa9mega|2|2|0|Applying changes...", {"rav_stream_in0:7/1/\xce\xa9mega"}},
            {"a stream not announced: the unit's text until one is picked", "", 0x10F00, gone, in0([=] {
                 QCOMPARE(look(), QString("Gone|-1|2|0|"));
                 apply(), choose(StreamIdItem, 1), apply(); }),
             "A|0|2|0|Applying changes...", {"rav_stream_in0:1/1/A"}},
        });
    }

    // Layout by kind and the interfaces used; only real changes are counted and sent; a refusal is rolled back.
    void outputStream()
    {
        look = [this] { return rows() + '|' + item(PacketTimeItem)->valueText() + '|' + reads() + '|' + state(); };
        const Values two = {{"rav_if_count", "2"}, {"rav_netif_ou", "0"}, {"rav_mc_addr_ou", "239.0.0.1"}, {"rav_mc_port_ou", "5004"}};
        const auto out = [this](std::function<void()> act) { return [=] { open({RavennaMenu, OutputStreamMenu}), act(); }; };
        const char* keys = "name_ou,mode_ou,autoconf_ou,mc_addr_ou,mc_port_ou,ch_count_ou,ptime_ou";
        const QByteArray allKeys = QByteArray(keys) + ",netif_ou,autoconf_ou1,mc_addr_ou1,mc_port_ou1";
        run({
            {"one interface set", "", 0x10F00, {{"rav_manufacturer", "Acme"}, {"rav_if_count", "2"}}, out([] {}),
             QByteArray("149,150,153,154,155,160#,161#|1.000 ms|") + keys + "|0|", {}},
            {"interface 1 only", "", 0x10F00, two, out([] {}), "149,150,151,152~,153,154,155,156~,157>~,158>~,159>~,160#,161#|1.000 ms|" + allKeys + "|0|", {}},
            {"both after the apply", "", 0x10F00, two, out([=] { choose(OutputInterfacesItem, 2), apply(); }),
             "149,150,151,152,153>,154>,155>,156,157>,158>,159>,160#,161#|1.000 ms|" + allKeys + ',' + allKeys + "|0|Applying changes...", {"rav_netif_ou:2"}},
            {"ports 0, 70000, 8x go back", "", 0x10F00, two, out([=] {
                 for (const char* port : {"0", "70000", "8x"}) {
                     type(McPort1Item, port);
                     QVERIFY(!f.page->header->modified && item(McPort1Item)->valueText() == "5004" && f.shownMessage() == "Failed to apply changes!");
                     f.page->closePopup();
                 }
                 type(McPort1Item, "5004"), apply(); }), "149,150,151,152~,153,154,155,156~,157>~,158>~,159>~,160#,161#|1.000 ms|" + allKeys + ',' + allKeys + "|0|", {}},
            {"a port refused after an edit keeps the edit", "", 0x10F00, two, out([=] {
                 type(McPort1Item, "6000"), type(McPort1Item, "70000");
                 QVERIFY(f.page->header->modified && item(McPort1Item)->valueText() == "6000" && f.shownMessage() == "Failed to apply changes!");
                 apply(); }), "149,150,151,152~,153,154,155,156~,157>~,158>~,159>~,160#,161#|1.000 ms|" + allKeys + ',' + allKeys + "|0|Applying changes...",
             {"rav_mc_port_ou:6000"}},
            {"refused, rolled back, retried", "", 0x10F00, two, out([=] {
                 type(McAddress1Item, "239.1.1.1"), type(McPort1Item, "6000"), refuseOnce("rav_mc"), apply();
                 QCOMPARE(QString::fromStdString(rav->output(0).mcAddr) + QString::number(rav->output(0).mcPort) + state(), QString("239.0.0.150041|Failed to apply changes!"));
                 apply(); }), "149,150,151,152~,153,154,155,156~,157>~,158>~,159>~,160#,161#|1.000 ms|" + allKeys + ',' + allKeys + "|0|Applying changes...",
             {"rav_mc_addr_ou:239.1.1.1;rav_mc_port_ou:6000", "rav_mc_addr_ou:239.1.1.1;rav_mc_port_ou:6000"}},
        });
    }
};

QTEST_MAIN(SettingsModuleTest)
#include "tst_settings_module.moc"
