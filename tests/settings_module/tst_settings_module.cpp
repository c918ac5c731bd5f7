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
             const char* seen; QByteArrayList writes; };

class SettingsModuleTest : public QObject
{
    Q_OBJECT
    SettingsFixture f;
    TComRavennaController* rav = frontPanelRavenna();
    std::function<QString()> look;

    QPravikMenuItem* item(int id) { return f.page->currentItems() ? f.page->currentItems()->findItem(id) : nullptr; }
    // Audio menu, then the links given.
    void open(std::initializer_list<int> path) { f.openEntry(3); for (int id : path) f.page->itemActivated(item(id)); }
    void type(int id, const char* text) { item(id)->setValueText(QString::fromUtf8(text), false), f.page->itemChanged(item(id)); }
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
    // The keys the unit was asked for, without their prefix.
    QString reads()
    {
        QStringList keys;
        for (const QByteArray& body : bodies)
            for (const QString& part : QString::fromUtf8(body).split(';'))
                if (part.startsWith("GET:rav_"))
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
            rav->setState(module.count("unloaded") ? TComController::Unloaded : TComController::Ready);
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
        look = [this] { return rows() + '|' + item(SampleRateItem)->valueText() + '|' + reads(); };
        const char* common = "device_name,sample_rate,resolution,";
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
            {"not loaded", "", 0x10F00, {{"unloaded", ""}, {"rav_manufacturer", "Acme"}}, at(2), "124#,125#,126#,127#,129#,137#,148#,165,163,166,167,168,171,170|44.1 kHz|", {}},
        });
        Q_UNUSED(common);
    }
};

QTEST_MAIN(SettingsModuleTest)
#include "tst_settings_module.moc"
