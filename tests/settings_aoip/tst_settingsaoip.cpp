#include <QtTest>

#include <functional>

#include "link/tokencodec.h"
#include "model/secretvalue.h"
#include "panel/kit/controls.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"
#include "tests/support/testrows.h"

using namespace SettingsId;
using Edit = std::function<void(QPravikMenuItems*)>;

namespace {

const QByteArray kReinit = "DO;action:reinit;network:aoip;target:network;";
const QByteArray kStunOn = "PARAM;network:aoip;stun_mode:on;target:network;";
const char* const kFailed = "Failed to apply changes!";
QStringList logLines;
UnitSimulator* simulator = nullptr;

Edit toggle(int id) { return [id](auto* p) { p->findItem(id)->switchButton->click(); }; }
Edit type(int id, QString text) { return [id, text](auto* p) { p->findItem(id)->setValueText(text, false); }; }
// Typed by the operator on the row's keyboard: the page reacts to it.
Edit typed(int id, QString text) { return [id, text](auto* p) { QVERIFY(SettingsFixture::type(p->findItem(id), text)); }; }

// Rows shown of 67-69, 74, 75, 78, 81, 84-86, and the GET's last key.
const struct { const char* name; unsigned firmware; const char* options; const char* rows; const char* last; }
kRows[] = {
    {"1.7.1 double streaming", 0x10701, "ip_dstream_1", "67 78 84 85 ", "GET:double_stream;"},
    {"1.8.2", 0x10802, "", "74 75 ", "GET:sip_registrar2;"},
    {"1.10.0 double streaming", 0x10A00, "ip_dstream_1", "67 68 74 75 ", "GET:stream_pattern;"},
    {"1.12.0 double streaming", 0x10C00, "ip_dstream_1", "67 68 69 74 75 ", "GET:jitterab;"},
    {"1.15.0", 0x10F00, "", "74 75 86 ", "GET:sip_sess_timers;"},
    {"1.17.0 double streaming", 0x11100, "ip_dstream_1", "67 68 69 74 75 81 86 ", "GET:SIP_KA_TARGET;"},
};

// refused: W the unit refuses writes, R the first re-initialisation.
// pinState answers a mobile menu's state read, pinReply its PIN; shown is
// "id=text" of an item afterwards ('#' after a locked one).
struct ApplyRow { const char* name; int menu; const char* values; Edit edit; int applies; const char* refused;
                  QByteArrayList sent; const char* message; const char* pinState = ""; const char* pinReply = "";
                  const char* shown = ""; };
const char* const kSecondAccount = "audio_mode:SIP;double_codec:off;double_stream:off;sip_registrar:a;sip_registrar2:b;"
                                   "stun_mode:off;sip_def_account:3;";
const QByteArray kPin = "PARAM;network:mobile.0;pin:1234;target:network;";
const QByteArray kPinSave = "PARAM;network:mobile.0;pin_persistent:on;target:network;";
const char* const kPinRequired = "PARAM;pin:122-pin required;return:ERROR;";
const char* const kRegistered = "PARAM;pin:ready;registration_state:registered;return:OK;";

const ApplyRow kApplies[] = {
    {"multicast stays unwritten", 10, "audio_mode:MC;stun_mode:off;", toggle(70), 1, "", {kStunOn, kReinit}, ""},
    {"stun and keep-alive", 10, "stun_mode:off;SIP_KA_INTERVAL:15;",
     [](auto* p) { toggle(70)(p), p->findItem(80)->setCurrentValue(30, true, true); }, 1, "",
     {"PARAM;SIP_KA_INTERVAL:30;network:aoip;stun_mode:on;target:network;", kReinit}, ""},
    {"refused write sent again", 10, "stun_mode:off;", toggle(70), 2, "W", {kStunOn, kStunOn}, kFailed},
    {"refused reinit sent alone", 10, "stun_mode:off;", toggle(70), 2, "R", {kStunOn, kReinit, kReinit}, ""},
    {"pending reinit stays with its unit", 10, "stun_mode:off;", [](auto* p) {
         auto* s = static_cast<QPravikSettingsPage*>(p->menuWidget);
         toggle(70)(p), s->applyChanges(), s->closePopup();
         QCOMPARE(simulator->takeRequestBodies(), (QByteArrayList{kStunOn, kReinit}));
         s->forgetUnitCapabilities(); // as a dropped link does
         s->buildAoipControllerMenu();
         simulator->clearReceived();
         QVERIFY(!s->aoipControllerMenuModified(s->currentItems())); }, 1, "R", {}, ""},
    {"default account of neither choice unwritten", 10, kSecondAccount, toggle(70), 1, "", {kStunOn, kReinit}, "", "", "", "75=3"},
    {"default account chosen", 10, kSecondAccount, toggle(75), 1, "",
     {"PARAM;network:aoip;sip_def_account:2;target:network;", kReinit}, "", "", "", "75=Account 2"},
    {"port text not a number", 10, "drtp_rtp_port:9000;", type(89, "9002x"), 1, "", {}, ""},
    {"port below range", 10, "drtp_rtp_port:9000;", type(89, "0"), 1, "", {}, ""},
    {"port out of range goes back", 76, "SIP_UDP_PORT:5060;", typed(SipPortItem, "70000"), 1, "", {}, kFailed, "", "", "84=5060"},
    {"DSCP out of range goes back", 10, "rtp_tos:46;", typed(91, "256"), 1, "", {}, kFailed, "", "", "91=46"},
    {"port in range kept", 10, "drtp_rtp_port:9000;", typed(89, "65535"), 1, "",
     {"PARAM;drtp_rtp_port:65535;network:aoip;target:network;", kReinit}, "", "", "", "89=65535"},
    {"port refused after an edit keeps the edit", 10, "drtp_rtp_port:9000;",
     [](auto* p) { typed(89, "9002")(p), typed(89, "70000")(p); }, 1, "",
     {"PARAM;drtp_rtp_port:9002;network:aoip;target:network;", kReinit}, "", "", "", "89=9002"},
    {"alternate port alone", 77, "sip_use_uport2:off;", toggle(83), 1, "",
     {"PARAM;network:aoip;sip_use_uport2:on;target:network;", kReinit}, ""},
    {"password as token", 77, "", type(97, "s3cret"), 1, "",
     {"PARAM;network:aoip;sip_password2:TOKEN;target:network;", kReinit}, ""},
    {"password encoder fails", 77, "", [](auto* p) { setSecretTokenEncoder([](const char*, int, char**) { return -1; }),
                                                     type(97, "s3cret")(p); }, 1, "", {}, kFailed},
    {"name beyond Latin-1", 76, "", type(95, QString::fromUtf8("Zo\xc3\xab \xe6\x97\xa5")), 1, "",
     {"PARAM;network:aoip;sip_display_name:Zo\xc3\xab \xe6\x97\xa5;target:network;", kReinit}, ""},
    {"unit bytes unchanged", 76, "sip_user:a\xff\xc3;", {}, 1, "", {}, ""},
    {"wrong PIN", 16, "mode:data;", type(41, "1234"), 1, "", {kPin}, "Wrong PIN code!", kPinRequired,
     "PARAM;pin:100-wrong password;return:ERROR;"},
    {"PUK required", 16, "mode:data;", type(41, "1234"), 1, "", {kPin}, "Failed to apply PIN code!", kPinRequired,
     "PARAM;pin:124-puk required;return:ERROR;"},
    {"accepted PIN never again", 16, "pin_persistent:off;", [](auto* p) { type(41, "1234")(p), toggle(42)(p); }, 2, "W",
     {kPin, kPinSave, kPinSave}, kFailed, kPinRequired, "PARAM;return:OK;"},
    {"operator waits a minute", 16, "plmn:auto;", type(44, "Op"), 1, "",
     {"PARAM;network:mobile.0;plmn:Op;target:network;"}, "Applying changes...", kRegistered},
};

// Shown ids ("*" locked) and RAT choices by SIM state, access level and the unit's RAT list.
const struct { const char* name; const char* pin; int level; const char* rats; const char* rows; const char* choices; }
kMobileRows[] = {
    {"SIM missing", "PARAM;pin:010-sim missing;return:ERROR;", 2, "", "53* 54* 55* 56* ", ""},
    {"SIM locked", "PARAM;pin:011-sim locked;return:ERROR;", 2, "", "53* 54* 55* 56* ", ""},
    {"PIN required", kPinRequired, 2, "", "41 42 53* 54* 55* 56* ", ""},
    {"operator level", kRegistered, 0, "PARAM;rat:auto,only GSM,only LTE 5G;return:OK;",
     "42 43 44* 45 46 51* 47 48* 49* 50* 53* 54* 55* 56* 57* 58* ", "Auto 2G 4G/LTE and 5G "},
    {"RAT list refused", kRegistered, 2, "",
     "42 43 44 45 46 51 47 48 49 50 53* 54* 55* 56* 57* 58* ", "Auto 2G 3G 4G/LTE "},
};

} // namespace

class TestSettingsAoip : public QObject
{
    Q_OBJECT
    QPravikMenuItems* page() const { return f->page->currentItems(); }
    void reply(const char* pattern, const QByteArray& body, int times = -1)
    { f->unit.onRequestMatching(QRegularExpression(pattern), {UnitSimulator::reply(body)}, times); }
    SettingsFixture* f = nullptr;

private slots:
    void init() { QVERIFY((f = new SettingsFixture)->start()); simulator = &f->unit; }
    void cleanup() { delete f; }

    void aoipRows_data() { indexRows(kRows); }
    void aoipRows()
    {
        QFETCH(int, row);
        FirmwareWord word(kRows[row].firmware);
        QVERIFY(f->loadDevice("aoip,eth.0", kRows[row].options));
        reply("GET:audio_mode", "PARAM;audio_mode:MC;return:OK;");
        f->page->buildAoipControllerMenu();
        QString shown;
        for (QPravikMenuItem* item : page()->allItems())
            if (QList<int>{67, 68, 69, 74, 75, 78, 81, 84, 85, 86}.contains(item->id))
                shown += QString("%1 ").arg(item->id);
        QCOMPARE(shown, kRows[row].rows);
        const QByteArray get = f->unit.requestBodies().value(0);
        QVERIFY(get.endsWith(kRows[row].last) && get.contains("GET:SIP_UDP_PORT;") == (kRows[row].firmware <= 0x10701));
        // No choice of its own: shown as the unit's, never taken for "SIP".
        QCOMPARE(page()->findItem(DefaultProtocolItem)->valueText(), "Multicast");
    }

    void applies_data() { indexRows(kApplies); }
    void applies()
    {
        QFETCH(int, row);
        const auto& r = kApplies[row];
        QVERIFY(f->loadDevice());
        reply("GET:", "PARAM;" + QByteArray(r.values) + "return:OK;");
        reply("^PARAM;(?!.*GET:)", QByteArray(strchr(r.refused, 'W') ? "PARAM;return:ERROR;" : "PARAM;return:OK;"));
        reply("^DO;", "DO;return:OK;");
        reply("^DO;", QByteArray(strchr(r.refused, 'R') ? "DO;return:ERROR;" : "DO;return:OK;"), 1);
        reply("LIST:network;", "PARAM;network:aoip,eth.0;return:OK;");
        if (r.menu <= MobileMenuLast)
            reply("GET:pin;", r.pinState), reply(";pin:", r.pinReply);
        const int m = r.menu;
        if (m >= MobileMenuFirst && m <= MobileMenuLast)
            f->page->buildMobileMenu(m);
        else
            QVERIFY(f->openEntry(NetworkEntry) && f->click({AoipMenu}) && (m == AoipMenu || f->click({m})));
        f->unit.clearReceived();
        if (r.edit)
            r.edit(page());
        logLines.clear();
        const QtMessageHandler saved =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) { logLines << text; });
        for (int i = 0; i < r.applies; ++i)
            f->page->applyChanges();
        qInstallMessageHandler(saved);
        setSecretTokenEncoder(encryptToken);
        const QString log = logLines.join('\n');
        QByteArrayList sent = f->unit.requestBodies();
        // A token differs at every encoding: it must hold the typed text and stay out of the log.
        static const QRegularExpression token("sip_password2:([^;]+)");
        for (QByteArray& body : sent) {
            const QString found = token.match(QString::fromLatin1(body)).captured(1);
            QVERIFY(found.isEmpty() || (decryptSecretValue(found.toStdString()) == "s3cret" && !log.contains(found)));
            body.replace("sip_password2:" + found.toLatin1(), "sip_password2:TOKEN");
        }
        QCOMPARE(sent, r.sent);
        QCOMPARE(f->shownMessage(), r.message);
        if (const QStringList shown = QString(r.shown).split('='); shown.size() == 2) {
            const QPravikMenuItem* item = page()->findItem(shown[0].toInt());
            QCOMPARE(item->valueText() + (item->locked ? "#" : ""), shown[1]);
        }
        QVERIFY(!log.contains("1234") && !log.contains("s3cret"));
        QCOMPARE(log.contains("sip_password2:***"), sent.join().contains("sip_password2"));
        QCOMPARE(log.contains(";pin:***"), sent.join().contains(";pin:"));
        QCOMPARE(log.contains("timeout=60"), sent.join().contains("plmn:"));
    }

    // A default account of neither choice, on the menu as the operator meets
    // it: shown as the unit's number through showing, hiding, refreshing and
    // a return from an account menu, never written until the switch is flipped.
    void defaultAccountOfNeitherChoice()
    {
        QVERIFY(f->loadDevice());
        reply("GET:", "PARAM;" + QByteArray(kSecondAccount) + "return:OK;");
        reply("^PARAM;(?!.*GET:)", "PARAM;return:OK;");
        reply("^DO;", "DO;return:OK;");
        reply("LIST:network;", "PARAM;network:aoip,eth.0;return:OK;");
        const auto seen = [this] {
            const QPravikMenuItem* item = f->item(DefaultAccountItem);
            return item->valueText() + (item->currentIndex < 0 ? "" : "*") + (f->page->header->modified ? " modified" : "");
        };
        const auto stun = [this] { f->item(StunStateItem)->switchButton->click(); };
        QVERIFY(f->openEntry(NetworkEntry) && f->click({AoipMenu}));
        QCOMPARE(seen(), "3");
        stun(), stun();
        QCOMPARE(seen(), "3");
        f->window->hide(), f->window->show();
        QCOMPARE(seen(), "3");
        QVERIFY(f->click({SipAccountMenuFirst}));
        f->page->goBack();
        f->page->refreshMenu();
        QCOMPARE(seen(), "3");
        f->unit.clearReceived();
        stun(), f->page->applyChanges();
        QCOMPARE(f->unit.takeRequestBodies(), (QByteArrayList{kStunOn, kReinit}));
        QCOMPARE(seen(), "3");
        f->item(DefaultAccountItem)->switchButton->click();
        QCOMPARE(seen(), "Account 2* modified");
        f->page->applyChanges();
        QCOMPARE(f->unit.takeRequestBodies(),
                 (QByteArrayList{"PARAM;network:aoip;sip_def_account:2;target:network;", kReinit}));
    }

    void mobileMenus_data() { indexRows(kMobileRows); }
    void mobileMenus()
    {
        QFETCH(int, row);
        const auto& r = kMobileRows[row];
        currentAccessLevel = r.level;
        QVERIFY(f->loadDevice("aoip,eth.0,mobile.0"));
        reply("GET:", "PARAM;mode:gsm_voice;rat:auto;authentication:PAP;network_quality:low;return:OK;");
        reply("GET:pin;", r.pin);
        if (*r.rats)
            reply("LIST:rat", r.rats);
        f->page->buildMobileMenu(MobileMenuFirst);
        QString shown, choices;
        for (QPravikMenuItem* item : page()->allItems())
            shown += item->id < 0 ? QString() : QString("%1%2 ").arg(item->id).arg(item->locked ? "*" : "");
        for (int i = 0; page()->findItem(43) && i < page()->findItem(43)->choiceCount(); ++i)
            choices += page()->findItem(43)->choices[i].text + ' ';
        QCOMPARE(shown, r.rows);
        QCOMPARE(choices, r.choices);
    }
};

QTEST_MAIN(TestSettingsAoip)
#include "tst_settingsaoip.moc"
