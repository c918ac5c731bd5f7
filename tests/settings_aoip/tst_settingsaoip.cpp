#include <QtTest>

#include <cstdint>
#include <functional>

#include "link/tokencodec.h"
#include "model/secretvalue.h"
#include "panel/kit/controls.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"
#include "tests/support/testrows.h"

using namespace SettingsId;
using Item = QPravikMenuItem;
using Edit = std::function<void(QPravikMenuItems*)>;

namespace {

const QByteArray kReinit = "DO;action:reinit;network:aoip;target:network;";
const char* const kFailed = "Failed to apply changes!";

int failingEncoder(const char*, int, char**)
{
    return -1;
}

QStringList logLines;
void keepLog(QtMsgType, const QMessageLogContext&, const QString& text)
{
    logLines << text;
}

Edit toggle(int id)
{
    return [id](QPravikMenuItems* p) { p->findItem(id)->setChecked(!p->findItem(id)->switchButton->isChecked()); };
}
Edit type(int id, const QString& text)
{
    return [id, text](QPravikMenuItems* p) { p->findItem(id)->setValueText(text, false); };
}

const struct
{
    const char* name;
    std::uint32_t firmware;
    const char* options;
    const char* rows; // of 67-69, 74, 75, 78, 81, 84-86
    const char* lastKey;
} kFirmwareRows[] = {
    {"1.7.1 double streaming", 0x10701, "ip_dstream_1", "67 78 84 85 ", "GET:double_stream;"},
    {"1.8.2", 0x10802, "", "74 75 ", "GET:sip_registrar2;"},
    {"1.10.0 double streaming", 0x10A00, "ip_dstream_1", "67 68 74 75 ", "GET:stream_pattern;"},
    {"1.12.0 double streaming", 0x10C00, "ip_dstream_1", "67 68 69 74 75 ", "GET:jitterab;"},
    {"1.15.0", 0x10F00, "", "74 75 86 ", "GET:sip_sess_timers;"},
    {"1.17.0 double streaming", 0x11100, "ip_dstream_1", "67 68 69 74 75 81 86 ", "GET:SIP_KA_TARGET;"},
};

const struct
{
    const char* name;
    int menu;
    const char* values;
    Edit edit;
    int applies;
    bool writes;  // the unit takes PARAM writes
    bool reinits; // ... and the first re-initialisation
    QByteArrayList sent;
    const char* message;
} kApplyRows[] = {
    {"multicast stays unwritten", AoipMenu, "audio_mode:MC;stun_mode:off;", toggle(70), 1, true, true,
     {"PARAM;network:aoip;stun_mode:on;target:network;", kReinit}, ""},
    {"stun and keep-alive", AoipMenu, "stun_mode:off;SIP_KA_INTERVAL:15;",
     [](QPravikMenuItems* p) { toggle(70)(p), p->findItem(80)->setCurrentValue(30, true, true); }, 1, true, true,
     {"PARAM;SIP_KA_INTERVAL:30;network:aoip;stun_mode:on;target:network;", kReinit}, ""},
    {"refused write sent again", AoipMenu, "stun_mode:off;", toggle(70), 2, false, true,
     {"PARAM;network:aoip;stun_mode:on;target:network;", "PARAM;network:aoip;stun_mode:on;target:network;"},
     kFailed},
    {"refused reinit sent alone", AoipMenu, "stun_mode:off;", toggle(70), 2, true, false,
     {"PARAM;network:aoip;stun_mode:on;target:network;", kReinit, kReinit}, ""},
    {"port text not a number", AoipMenu, "drtp_rtp_port:9000;", type(89, "9002x"), 1, true, true, {}, ""},
    {"port below range", AoipMenu, "drtp_rtp_port:9000;", type(89, "0"), 1, true, true, {}, ""},
    {"alternate port alone", SipAccountMenuLast, "sip_use_uport2:off;", toggle(83), 1, true, true,
     {"PARAM;network:aoip;sip_use_uport2:on;target:network;", kReinit}, ""},
    {"password as token", SipAccountMenuLast, "", type(97, "s3cret"), 1, true, true,
     {"PARAM;network:aoip;sip_password2:TOKEN;target:network;", kReinit}, ""},
    {"password encoder fails", SipAccountMenuLast, "",
     [](QPravikMenuItems* p) { setSecretTokenEncoder(failingEncoder), type(97, "s3cret")(p); }, 1, true, true, {},
     kFailed},
    {"name beyond Latin-1", SipAccountMenuFirst, "", type(95, QString::fromUtf8("Zo\xc3\xab \xe6\x97\xa5")), 1, true,
     true, {"PARAM;network:aoip;sip_display_name:Zo\xc3\xab \xe6\x97\xa5;target:network;", kReinit}, ""},
    {"unit bytes unchanged", SipAccountMenuFirst, "sip_user:a\xff\xc3;", {}, 1, true, true, {}, ""},
};

} // namespace

class TestSettingsAoip : public QObject
{
    Q_OBJECT
    QPravikMenuItems* page() const { return f->page->currentItems(); }
    void reply(const char* pattern, const QByteArray& body)
    {
        f->unit.onRequestMatching(QRegularExpression(pattern), {UnitSimulator::reply(body)});
    }
    SettingsFixture* f = nullptr;

private slots:
    void init() { QVERIFY((f = new SettingsFixture)->start()); }
    void cleanup() { delete f; }

    void aoipRows_data() { indexRows(kFirmwareRows); }
    void aoipRows()
    {
        QFETCH(int, row);
        const auto& r = kFirmwareRows[row];
        FirmwareWord word(r.firmware);
        QVERIFY(f->loadDevice("aoip,eth.0", r.options));
        reply("GET:audio_mode", "PARAM;audio_mode:MC;return:OK;");
        f->page->buildAoipControllerMenu();
        QString shown;
        for (Item* item : page()->allItems())
            if (QList<int>{67, 68, 69, 74, 75, 78, 81, 84, 85, 86}.contains(item->id))
                shown += QString::number(item->id) + ' ';
        QCOMPARE(shown, r.rows);
        const QByteArray get = f->unit.requestBodies().value(0);
        QVERIFY2(get.endsWith(r.lastKey), get);
        QCOMPARE(get.contains("GET:SIP_UDP_PORT;"), r.firmware <= 0x10701);
        QCOMPARE(page()->findItem(DefaultProtocolItem)->valueText(), "Multicast");
        QCOMPARE(page()->findItem(DefaultProtocolItem)->currentIndex, -1);
    }

    void applies_data() { indexRows(kApplyRows); }
    void applies()
    {
        QFETCH(int, row);
        const auto& r = kApplyRows[row];
        QVERIFY(f->loadDevice());
        reply("GET:", "PARAM;" + QByteArray(r.values) + "return:OK;");
        if (r.writes)
            reply("^PARAM;(?!.*GET:)", "PARAM;return:OK;");
        reply("^DO;", "DO;return:OK;");
        if (!r.reinits)
            f->unit.onRequestMatching(QRegularExpression("^DO;"), {UnitSimulator::errorReply(204)}, 1);
        if (r.menu == AoipMenu)
            f->page->buildAoipControllerMenu();
        else
            f->page->buildSipAccountMenu(r.menu);
        f->unit.clearReceived();
        if (r.edit)
            r.edit(page());
        logLines.clear();
        const QtMessageHandler saved = qInstallMessageHandler(keepLog);
        for (int i = 0; i < r.applies; ++i)
            f->page->applyChanges();
        qInstallMessageHandler(saved);
        setSecretTokenEncoder(encryptToken);
        QByteArrayList sent = f->unit.requestBodies();
        // A token differs at every encoding: it must hold the typed text.
        static const QRegularExpression token("sip_password2:([^;]*)");
        for (QByteArray& body : sent) {
            const QString found = token.match(QString::fromLatin1(body)).captured(1);
            if (found.isEmpty())
                continue;
            QCOMPARE(decryptSecretValue(found.toStdString()), "s3cret");
            QVERIFY(!logLines.join('\n').contains(found));
            body.replace(found.toLatin1(), "TOKEN");
        }
        QCOMPARE(sent, r.sent);
        QCOMPARE(f->shownMessage(), r.message);
        QCOMPARE(logLines.join('\n').contains("sip_password2:***"), sent.join().contains("sip_password2"));
    }
};

QTEST_MAIN(TestSettingsAoip)
#include "tst_settingsaoip.moc"
