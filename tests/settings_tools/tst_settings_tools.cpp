// The Tools menus against the simulated unit; each table row runs on a fresh page.
#include <QtTest>

#include "audio/tmatrixsettings.h"
#include "model/qpraviksoftkeys.h"
#include "model/secretvalue.h"
#include "panel/kit/controls.h"
#include "panel/kit/menuselect.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"

using namespace SettingsId;
using Sim = UnitSimulator;
using Change = std::function<void(SettingsFixture&, QPravikMenuItem*)>;

namespace {

const QByteArray kOk = "PARAM;return:OK;";
const QString kFailed = "Failed to apply changes!";

QPravikMenuItem* itemOf(SettingsFixture& f, int id) { return f.page->currentItems()->findItem(id); }
QByteArray sent(SettingsFixture& f) { return f.unit.takeRequestBodies().join('\n'); }
QString seen(const char* row, const QStringList& parts) { return QString(row) + '|' + parts.join('|'); }
int failingEncoder(const char*, int, char**) { return -1; }

// The open page's rows as "id" or "id*" (locked), in order.
QString rowsOf(SettingsFixture& f)
{
    QStringList out;
    for (QPravikMenuItem* item : f.page->currentItems()->allItems())
        out << QString::number(item->id) + (item->locked ? "*" : "");
    return out.join(' ');
}

// Chooses a value on the item, or in the selection popup it opens.
Change choose(int value, bool popup = false)
{
    return [value, popup](SettingsFixture& f, QPravikMenuItem* item) {
        if (!popup)
            return item->setCurrentValue(value, true, false), f.page->itemChanged(item);
        QPravikMenuSelect* select = f.page->openSelection(QString(), item, true);
        select->setCurrent(select->findSelectable(value)), select->okClicked();
    };
}

} // namespace

class TestSettingsTools : public QObject
{
    Q_OBJECT

private slots:
    // A password goes out as a token ("written" decoded, "-" for none), empty when
    // cleared; one the unit refused (reply "7": its own error code) is not kept.
    void passwords()
    {
        const struct { const char* row; QString typed; QByteArray reply; QString written, shown; } table[] = {
            {"change", "s3cret", kOk, "s3cret", "s3cret"},
            {"clear", "", kOk, "", ""},
            {"unchanged", "old", {}, "-", "old"},
            {"ERROR", "new", "PARAM;return:ERROR;", "new", "old"},
            {"unit's code", "new", "7", "new", "old"},
            {"no token", "new", {}, "-", "old"},
            {"beyond Latin-1", QString::fromUtf8("pa\u20acs"), kOk, "-", "old"},
        };
        for (const auto& r : table) {
            SettingsFixture f;
            QVERIFY(f.start());
            f.unit.onRequestMatching(QRegularExpression("password_al:"), {r.reply == "7" ? Sim::errorReply(7) : Sim::reply(r.reply)});
            f.page->adminPassword = "old";
            f.page->createPasswordsMenu();
            f.unit.clearReceived();
            const bool noToken = r.reply.isEmpty() && r.typed != "old";
            const SecretTokenEncoder saved = noToken ? setSecretTokenEncoder(failingEncoder) : nullptr;
            QPravikMenuItem* item = itemOf(f, AdminPasswordItem);
            item->setValueText(r.typed, false);
            f.page->itemChanged(item);
            if (noToken)
                setSecretTokenEncoder(saved);
            const auto m = QRegularExpression("password_al:([^;]*);").match(sent(f));
            const std::string token = m.captured(1).toStdString();
            const QString written = !m.hasMatch() ? "-" : token.empty() ? "" : token == r.typed.toStdString() ? "in clear"
                                                                        : QString::fromStdString(decryptSecretValue(token));
            QCOMPARE(seen(r.row, {written, item->valueText(), f.page->adminPassword, f.shownMessage()}),
                     seen(r.row, {r.written, r.shown, r.shown, r.shown == r.typed ? QString() : kFailed}));
        }
    }

    // A level without a password is taken at once and opens the locks, the Audio
    // entry too; one with a password only through the keyboard ("-": none).
    void accessLevel()
    {
        const struct { const char* row; QString admin, typed; int level; QString rows; } table[] = {
            {"no password", "", "-", 2, "191 194 198 209 229 241 252"},
            {"Expert's password for 2", "adm", "exp", 0, "191 194 198* 209* 229* 241* 252*"},
        };
        for (const auto& r : table) {
            SettingsFixture f(OperatorLevel);
            QVERIFY(f.start() && f.loadDevice() && f.openEntry(ToolsEntry));
            f.unit.onRequestMatching(QRegularExpression("GET:password_al;"), {Sim::errorReply(204)});
            f.page->adminPassword = r.admin;
            f.page->expertPassword = "exp";
            QPravikMenuItem* item = itemOf(f, AccessLevelItem);
            choose(AdministratorLevel)(f, item);
            QPravikVirtual* keyboard = f.page->findChild<QPravikVirtual*>();
            const QString before = keyboard ? item->valueText() : "-";
            if (keyboard) {
                keyboard->lineEdit.setText(r.typed);
                f.page->keyboardAccepted(item, keyboard);
            }
            const int audio = f.page->entries->findEntry(AudioEntry)->state;
            QCOMPARE(seen(r.row, {before, QString::number(currentAccessLevel), rowsOf(f), audio ? "" : "Audio",
                                  f.shownMessage()}),
                     seen(r.row, {r.typed == "-" ? "-" : "Operator", QString::number(r.level), r.rows,
                                  r.level ? "Audio" : "", r.level ? "" : "Wrong password!"}));
        }
    }

    // The Tools menu by recording option, firmware and level; the Miscellaneous reads: GPIO
    // lists only on full hardware, and a key held without a value (240) stays editable.
    void offered()
    {
        const QByteArray gets = "PARAM;target:network;GET:auto_redial_link1;GET:auto_redial_link2;"
                                "GET:auto_redial_attempts;GET:auto_redial_time;\nPARAM;target:general;GET:ext_input1;"
                                "GET:ext_input2;GET:ext_relay1;GET:ext_relay2;GET:ntp_addr;GET:ntp_addr_custom;";
        const QByteArray lists = gets + "\nPARAM;target:general;LIST:ext_input1;\nPARAM;target:general;LIST:ext_input2;"
                                        "\nPARAM;target:general;LIST:ext_relay1;\nPARAM;target:general;LIST:ext_relay2;";
        const QString gpio = "-1 231* 232* 233* 234* -1 235* 236* 237* 238* -1 239* 240";
        const struct { const char* row; QByteArray options; uint firmware; int level; QByteArray probe;
                       QString rows, soundId; QByteArray reads; QString misc; } table[] = {
            {"no recording, Operator", "", 0x10A00, 0, {}, "191 194 198* 209* 229* 241* 252*", "", lists, gpio},
            {"1.9, Expert", "record_1", 0x109FF, 1, "DO;return:OK;", "191 194 196 198 209 229 241 252*", "Disabled",
             lists, gpio},
            {"1.10, Administrator", "record_1,hardware_2", 0x10A00, 2, {}, "191 194 195 198 209 229 241 252", "", gets,
             "-1 235* 236* 237* 238* -1 239* 240"},
            {"1.9, no file", "record_1", 0x109FF, 2, "DO;return:ERROR;", "191 194 196* 198 209 229 241 252",
             "Audio file is missing", lists, gpio},
        };
        for (const auto& r : table) {
            SettingsFixture f(r.level, r.firmware);
            f.unit.onRequest("DO;action:open;name:/mnt/datax/sound_ID.wav;target:general;type:record;",
                             {Sim::reply(r.probe)});
            QVERIFY(f.start() && f.loadDevice("aoip,eth.0", r.options) && f.openEntry(ToolsEntry));
            const QStringList tools{rowsOf(f), itemOf(f, SoundIdItem) ? itemOf(f, SoundIdItem)->valueText() : ""};
            f.unit.onRequestMatching(QRegularExpression("GET:ntp_addr_custom;"),
                                     {Sim::reply("PARAM;ntp_addr_custom:101-parameter not set;ext_input1:100-x;return:ERROR;")});
            f.unit.clearReceived();
            f.page->createMiscellaneousMenu();
            QCOMPARE(seen(r.row, tools + QStringList{sent(f), rowsOf(f)}),
                     seen(r.row, {r.rows, r.soundId, r.reads, r.misc}));
        }
    }

    // Items whose only key this firmware does not take are locked: on 1.6.5 a click on
    // the row, or on its switch, sends and stores nothing and says nothing; 1.7.0 takes them.
    void untakenKeysLocked()
    {
        TAudioSettings* audio = frontPanelAudioSettings();
        const auto name = [](int input) { return [input] { return frontPanelMatrixSettings()->inputName(input); }; };
        const struct { const char* row; int entry, link, id; std::function<QString()> stored; } table[] = {
            {"input format", AudioEntry, -1, InputFormatItem, [audio] { return QString::number(audio->inputSource()); }},
            {"sound ID", ToolsEntry, -1, SoundIdItem, [audio] { return QString::fromStdString(audio->waveFile()); }},
            {"RAV. 3", ToolsEntry, LabelsMenu, 225, name(14)},
            {"RAV. 4", ToolsEntry, LabelsMenu, 226, name(15)},
            {"RAV. 5", ToolsEntry, LabelsMenu, 227, name(16)},
        };
        for (const auto& r : table) {
            for (const uint firmware : {0x10605u, 0x10700u}) {
                SettingsFixture f(AdministratorLevel, firmware);
                f.unit.onRequestMatching(QRegularExpression("action:open;"), {Sim::reply("DO;return:OK;")});
                QVERIFY(f.start() && f.loadDevice("aoip,eth.0", "ravenna,record_1,hardware_1"));
                audio->applyReply({{"auxiliary_board", "yes"}});
                QVERIFY(f.openEntry(r.entry) && (r.link < 0 || f.click({r.link})));
                QPravikMenuItem* item = f.item(r.id);
                QVERIFY2(item && item->locked == (firmware < 0x10700), r.row);
                const QString stored = r.stored(), shown = item->valueText();
                f.unit.clearReceived();
                if (!item->locked)
                    continue;
                QVERIFY(f.click(item));
                if (item->switchButton)
                    QTest::mouseClick(item->switchButton, Qt::LeftButton);
                const auto keyboards = f.page->findChildren<QPravikVirtual*>();
                const bool typing = std::any_of(keyboards.begin(), keyboards.end(), [](QWidget* k) { return k->isVisible(); });
                QCOMPARE(seen(r.row, {sent(f), r.stored(), item->valueText(), f.shownMessage(), typing ? "keyboard" : ""}),
                         seen(r.row, {"", stored, shown, "", ""}));
            }
        }
        audio->applyReply({{"auxiliary_board", "no"}});
    }

    // Immediate items: a change's request (pattern), the reply, then message and value text. The
    // unit's NTP server is none of those offered; item -1 is no item.
    void immediate()
    {
        const auto misc = [](QPravikSettingsPage* p) { p->createMiscellaneousMenu(); };
        const auto trouble = [](QPravikSettingsPage* p) { p->createTroubleshootingMenu(); };
        const auto labels = [](QPravikSettingsPage* p) {
            frontPanelSoftkeys()->applyInfoLabel("info_label1", "Studio A"), p->createLabelsMenu();
        };
        const auto softkey1 = [](QPravikSettingsPage* p) {
            frontPanelSoftkeys()->parseSoftkey("softkey1", ""), p->createSoftkeyMenu(SoftkeyMenuFirst);
        };
        const auto autologinRow = [](QPravikSettingsPage* p) {
            p->createMiscellaneousMenu();
            QPravikMenuItem* item = QPravikSettingsPage::addMenuRow(p->currentItems(), AutologinItem,
                                                                    QPravikMenuItem::ChoiceList, "Autologin");
            item->addChoice(0, "Off"), item->addChoice(1, "On");
        };
        const Change click = [](SettingsFixture&, QPravikMenuItem* i) { i->switchButton->click(); };
        const auto type = [](const char* text) {
            return [text](SettingsFixture& f, QPravikMenuItem* i) { i->setValueText(text, false), f.page->itemChanged(i); };
        };
        const Change custom = [](SettingsFixture& f, QPravikMenuItem* i) {
            i->page->findItem(NtpServerItem)->setCurrentValue(0, true, false), i->setValueText("ntp.example.org", false);
            f.page->itemChanged(i);
        };
        // Refused once, then taken; the third time nothing goes.
        const Change autologinTwice = [](SettingsFixture& f, QPravikMenuItem* i) {
            f.unit.onRequestMatching(QRegularExpression("autologin:"), {Sim::reply(kOk)});
            f.unit.onRequestMatching(QRegularExpression("autologin:"), {Sim::errorReply(117)}, 1);
            for (int n = 0; n < 3; ++n)
                choose(0)(f, i);
        };
        const Change construct = [](SettingsFixture&, QPravikMenuItem*) {
            QPravikSettingsPage page;
            QCoreApplication::processEvents();
        };
        const QString resetText = "Select the category of settings to reset";
        const char* const twoWrites = "\\A[^\\n]*autologin:off;[^\\n]*\\n[^\\n]*autologin:off;[^\\n]*\\z";
        const struct { const char* row; std::function<void(QPravikSettingsPage*)> open; int item; Change change;
                       const char* request; QByteArray reply; int delayMs; QString message, shown; } table[] = {
            {"sound ID refused", [](QPravikSettingsPage* p) { p->createSoundIdMenu(); }, SoundIdItem, click,
             "wave_file:/mnt/datax/sound_ID.wav;", "PARAM;return:ERROR;", 0, kFailed, "Disabled"},
            {"softkey category None",
             [](QPravikSettingsPage* p) { frontPanelSoftkeys()->parseSoftkey("softkey1", "C00F01"), p->createSoftkeyMenu(SoftkeyMenuFirst); },
             SoftkeyCategoryItem, choose(-1), "^PARAM;softkey1:;target:general;$", kOk, 0, "", "None"},
            {"custom server while Custom", misc, CustomNtpServerItem, custom,
             "^PARAM;ntp_addr:ntp.example.org;ntp_addr_custom:ntp.example.org;target:general;$", kOk, 0, "",
             "ntp.example.org"},
            {"relay 9", misc, GpioRelay1Item, [](SettingsFixture& f, QPravikMenuItem* i) { i->addChoice(9, "9"), choose(9)(f, i); },
             "^PARAM;ext_relay1:relay_state_none;target:general;$", kOk, 0, "", "9"},
            {"full reset", trouble, ResetItem, choose(6, true), "^DO;action:reset;level:full;$", "DO;return:OK;", 6000,
             "", resetText},
            {"SIP accounts", trouble, ResetItem, choose(7, true), "^DO;action:reset;level:sipaccount;$",
             "DO;return:ERROR;", 0, "Failed to reload the SIP Accounts!", resetText},
            {"info label refused", labels, InfoLabelItemFirst, type("Studio B"),
             "^PARAM;info_label1:Studio B;target:general;$", "PARAM;return:ERROR;", 0, kFailed, "Studio A"},
            {"input name refused", [labels](QPravikSettingsPage* p) { frontPanelMatrixSettings()->setState(0), labels(p); },
             InputLabelItemFirst, type("Mic A"), "^PARAM;matrix_in1:[0-9A-F]+,Mic A;target:audio;$",
             "PARAM;return:ERROR;", 0, kFailed, "INPUT 1"},
            {"input name, matrix not read", [labels](QPravikSettingsPage* p) { frontPanelMatrixSettings()->setState(-1), labels(p); },
             InputLabelItemFirst, type("Mic A"), "\\A\\z", kOk, 0, kFailed, "INPUT 1"},
            {"softkey category refused", softkey1, SoftkeyCategoryItem, choose(1),
             "^PARAM;softkey1:C01F01B01;target:general;$", "PARAM;return:ERROR;", 0, kFailed, "None"},
            {"custom server, no server chosen", misc, CustomNtpServerItem, type("ntp.example.org"),
             "^PARAM;ntp_addr_custom:ntp.example.org;target:general;$", kOk, 0, "", "ntp.example.org"},
            {"custom server refused, no server chosen", misc, CustomNtpServerItem, type("ntp.example.org"),
             "^PARAM;ntp_addr_custom:ntp.example.org;target:general;$", "PARAM;return:ERROR;", 0, kFailed,
             "old.example.org"},
            {"GPIO input refused", misc, GpioInput1Item, choose(2), "^PARAM;ext_input1:input_event_r2;target:general;$",
             "PARAM;return:ERROR;", 0, kFailed, QPravikSettingsPage::inputEventLabel(1)},
            {"relay refused", misc, GpioRelay1Item, choose(2), "^PARAM;ext_relay1:relay_state_r2;target:general;$",
             "PARAM;return:ERROR;", 0, kFailed, QPravikSettingsPage::relayStateLabel(1)},
            {"auto redial refused", misc, AutoRedial1Item, click, "^PARAM;auto_redial_link1:on;target:network;$",
             "PARAM;return:ERROR;", 0, kFailed, "Disabled"},
            {"NTP server refused", misc, NtpServerItem, choose(2), "^PARAM;ntp_addr:0.pool.ntp.org;target:general;$",
             "PARAM;return:ERROR;", 0, kFailed, ""},
            {"syslog server refused", trouble, SyslogServerItem, type("new.example.org"),
             "^DO;action:change_syslog;log_addr:new.example.org;target:general;$", "DO;return:ERROR;", 0, kFailed,
             "log.example.org"},
            {"autologin until written", autologinRow, AutologinItem, autologinTwice, twoWrites, kOk, 0, kFailed, "Off"},
            {"constructing the page", [](QPravikSettingsPage*) {}, -1, construct, "\\A\\z", kOk, 0, "", ""},
        };
        for (const auto& r : table) {
            SettingsFixture f(AdministratorLevel, 0x10F00);
            f.unit.onRequestMatching(QRegularExpression("action:open;"), {Sim::reply("DO;return:OK;")});
            QVERIFY(f.start() && f.loadDevice());
            f.unit.onRequestMatching(QRegularExpression("GET:(auto_redial_link1|ext_input1|log_level);"),
                                     {Sim::reply("PARAM;auto_redial_link1:off;auto_redial_link2:on;auto_redial_attempts:3;"
                                                 "auto_redial_time:5;ext_input1:input_event_r1;ext_input2:input_event_none;"
                                                 "ext_relay1:relay_state_r1;ext_relay2:relay_state_none;"
                                                 "ntp_addr:time.example.net;ntp_addr_custom:old.example.org;log_level:6;"
                                                 "log_addr:log.example.org;return:OK;")});
            f.unit.onRequestMatching(QRegularExpression("LIST:ext_"),
                                     {Sim::reply("PARAM;ext_input1:input_event_none,input_event_r1,input_event_r2;"
                                                 "ext_relay1:relay_state_none,relay_state_r1,relay_state_r2;return:OK;")});
            r.open(f.page);
            const QRegularExpression pattern(r.request, QRegularExpression::MultilineOption);
            f.unit.onRequestMatching(pattern, {Sim::delay(r.delayMs), Sim::reply(r.reply)});
            f.unit.clearReceived();
            QPravikMenuItem* item = r.item < 0 ? nullptr : itemOf(f, r.item);
            r.change(f, item);
            QCOMPARE(seen(r.row, {pattern.match(sent(f)).hasMatch() ? "sent" : "", f.shownMessage(),
                                  item ? item->valueText() : ""}),
                     seen(r.row, {"sent", r.message, r.shown}));
        }
        frontPanelMatrixSettings()->setState(-1);
    }

    // The remote-access settings by direct call: texts go back byte for byte,
    // locked texts are never written, and one refused key fails the apply.
    void remoteAccess()
    {
        const QByteArray texts = "remote_access_pwd:p\xE2\x82\xAC;remote_access_server:s\xE2\x82\xAC.example;";
        const QByteArray head = "PARAM;remote_access:on;remote_access_network:auto;", all = head + texts;
        const QByteArray read = "PARAM;remote_access:off;remote_access_network:%1;serialno:1;codec_id:c;"
                                "remote_access_server:s\xE2\x82\xAC.example;remote_access_pwd:p\xE2\x82\xAC;return:OK;";
        const struct { const char* row; int level; QByteArray options, reply, written, network = "auto", read = "",
                       reread = ""; } table[] = {
            {"option level 3", 2, "remote_access_3", kOk, all},
            {"option level 1", 2, "remote_access_1", kOk, head + "remote_access_pwd:p\xE2\x82\xAC;"},
            {"Expert", 1, "remote_access_3", kOk, head},
            {"one key refused", 2, "remote_access_3", "PARAM;remote_access:1-x;return:ERROR;", all},
            {"unknown network", 2, "remote_access_3", kOk, "PARAM;remote_access:on;" + texts, "lte.0"},
            // Only the switch was read or edited: the blanks of the refused read stay unwritten.
            {"after a failed read", 2, "remote_access_3", kOk, "PARAM;remote_access:on;", "auto", "PARAM;return:ERROR;"},
            {"password not read back", 2, "remote_access_3", kOk, all, "auto", "", "PARAM;return:ERROR;"},
        };
        for (const auto& r : table) {
            // A read that failed leaves nothing to compare with: no mark, no password.
            const QString modified = r.read.isEmpty() ? "modified" : "", password = r.read.isEmpty() ? "p\u20AC" : "";
            SettingsFixture f(r.level);
            QVERIFY(f.start() && f.loadDevice("aoip,eth.0", r.options));
            f.unit.onRequestMatching(QRegularExpression("GET:remote_access"),
                                     {Sim::reply(r.read.isEmpty() ? QByteArray(read).replace("%1", r.network) : r.read)});
            f.unit.onRequestMatching(QRegularExpression("^PARAM;remote_access:"), {Sim::reply(r.reply)});
            if (!r.reread.isEmpty())
                f.unit.onRequestMatching(QRegularExpression("^PARAM;target:general;GET:remote_access_pwd;$"),
                                         {Sim::reply(r.reread)});
            f.page->createRemoteAccessMenu();
            itemOf(f, RemoteAccessItem)->switchButton->click();
            f.unit.clearReceived();
            const bool applied = f.page->applyRemoteAccessMenu(f.page->currentItems());
            QCOMPARE(seen(r.row, {itemOf(f, ControlInterfaceItem)->valueText(), f.page->header->modified ? "modified" : "",
                                  f.unit.requestBodies().value(0).toPercentEncoding(), applied ? "applied" : f.shownMessage(),
                                  itemOf(f, RemoteCodecPasswordItem)->valueText()}),
                     seen(r.row, {r.network == "auto" ? "Auto" : r.network, modified, (r.written + "target:general;").toPercentEncoding(),
                                  r.reply == kOk ? "applied" : kFailed, password}));
        }
    }
};

QTEST_MAIN(TestSettingsTools)
#include "tst_settings_tools.moc"
