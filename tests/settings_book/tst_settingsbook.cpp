#include <QtTest>

#include "model/locale.h"
#include "panel/kit/connpanel.h"
#include "panel/kit/menuselect.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikconnectionpage.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"

using namespace SettingsId;

namespace {

// Lists all holding `stored`, record 1 opening to `profile`; steps act or report.
struct Case
{
    const char* what;
    int level;
    QByteArrayList device; // device values that differ from the fixture's
    int target;            // the pending target: 19 / 20 from a line's book button
    const char* busy;      // lines with a call: "1", "2", "12"
    QByteArray stored;
    QByteArray profile;
    const char* script;
    QString expected; // record requests and load steps sent # message # signal # reports
};

QByteArray deviceValues(const QByteArrayList& changes)
{
    QByteArray values = SettingsFixture::kDeviceValues;
    for (const QByteArray& change : changes) {
        const int at = values.indexOf(";" + change.left(change.indexOf(':') + 1)) + 1;
        values.replace(at, values.indexOf(';', at) - at, change);
    }
    return values;
}

QPravikMenuItem* item(SettingsFixture& f, const QString& id)
{
    return f.page->currentItems()->findItem(id.toInt());
}

// The record requests, and the unit settings a load changed, by key.
QString sent(SettingsFixture& f)
{
    static const QRegularExpression record("^DO;(account:\\d;)?action:(create|load|update|delete);"),
        setting("^PARAM(?!.*GET:).*(coord_mode|double_codec|default_network|;codec):");
    QStringList out;
    for (const QByteArray& body : f.unit.requestBodies()) {
        const QString text = QString::fromLatin1(body);
        const QRegularExpressionMatch m = setting.match(text);
        const QString tag = record.match(text).hasMatch() ? text : m.hasMatch() ? m.captured(1) : QString();
        if (!tag.isEmpty() && (out.isEmpty() || out.last() != tag))
            out << tag;
    }
    return out.join(' ');
}

QString run(SettingsFixture& f, const char* script)
{
    QString out;
    for (const QString& step : QString::fromLatin1(script).split('|', Qt::SkipEmptyParts)) {
        const QStringList a = step.split(' ');
        const QString& op = a[0];
        QPravikSettingsPage* p = f.page;
        using P = QPravikSettingsPage;
        static void (P::*const lists[])() = {&P::createBookMenu, &P::createCallProfilesMenu, &P::createPresetsMenu,
                                             &P::createSipProfilesMenu, &P::createSnapshotsMenu};
        static void (P::*const entries[])(int, const QString&) = {&P::createPresetMenu, &P::createSipProfileMenu,
                                                                  &P::createSnapshotMenu};
        if (op == "list") { // 172 the Book menu, 173-176 a list
            (p->*lists[a[1].toInt() - 172])();
        } else if (op == "entry") { // of row 307 of the current list
            (p->*entries[p->currentItems()->menuId - PresetsMenu])(307, item(f, "307")->titleText());
        } else if (op == "editor") {
            p->createCallProfileMenu(a[1].toInt(), a.value(2));
        } else if (op == "type") {
            QPravikVirtual* keyboard = p->openKeyboard(1, item(f, a[1]), false);
            keyboard->lineEdit.setText(a.value(2));
            p->keyboardAccepted(item(f, a[1]), keyboard);
        } else if (op == "choose") { // in the newest selection popup
            QPravikMenuSelect* popup = p->findChildren<QPravikMenuSelect*>().last();
            popup->setCurrent(popup->findSelectable(a[1].toInt()));
            popup->okClicked();
        } else if (op == "text" || op == "change") {
            if (op == "text")
                item(f, a[1])->setValueText(a[2], true);
            p->itemChanged(item(f, a[1]));
        } else if (op == "refuse") { // the next request matching a[1] gets the reply a[2..]
            f.unit.onRequestMatching(QRegularExpression(a[1]), {UnitSimulator::reply(step.section(' ', 2).toLatin1())}, 1);
        } else if (op == "apply") {
            p->applyCallProfile(p->currentItems());
        } else if (op == "firmware") {
            unitFirmwareVersion = a[1].toUInt(nullptr, 16);
        } else if (op == "rate") { // reports the second number's item and value
            p->editedProfile.coding.bitRate = a[1].toInt();
            p->updateCallProfileEditor(p->currentItems());
            out += (item(f, "186")->isVisibleTo(p) ? "U" : "h") + p->editedProfile.secondRemoteAddress;
        } else if (op == "states") { // U unlocked, L locked, h hidden, - absent
            for (const QString& id : a[1].split(',')) {
                QPravikMenuItem* i = item(f, id);
                out += !i ? '-' : !i->isVisibleTo(p) ? 'h' : i->locked ? 'L' : 'U';
            }
        } else if (op == "rows") {
            QStringList rows;
            for (QPravikMenuItem* i : p->currentItems()->allItems())
                rows << (i->id >= RecordRowBase ? i->titleText() + ':' + QString::number(i->id) : QString());
            out += rows.join(' ');
        } else if (op == "row") {
            QPravikMenuItem* row = item(f, "307");
            out += !row ? QStringLiteral("-") : (row->locked ? "L " : "U ") + row->valueText();
        } else if (op == "offers") {
            out += item(f, a[1])->indexOfValue(a[2].toInt(), true) >= 0 ? "yes" : "no";
        } else if (op == "number") { // item 185 as shown
            out += item(f, "185")->valueText() + ' ';
        } else if (op == "numbers") { // what the unit was told of line 1, and what line 1 shows
            f.unit.waitUntil([&f] { return f.unit.requestBodies().join().contains("INFO;"); }, 2000);
            for (const QByteArray& body : f.unit.requestBodies())
                if (body.startsWith("INFO;"))
                    out += QString::fromLatin1(body) + ' ';
            out += f.window->connectionPage()->panel(1)->text(0);
        } else if (op == "coding") {
            const CodecConfig& c = p->editedProfile.coding;
            out += QStringLiteral("%1/%2 ").arg(c.sampleRate).arg(c.bitRate) + item(f, "183")->valueText();
        }
    }
    return out;
}

void check(const Case* begin, const Case* end)
{
    for (const Case* c = begin; c != end; ++c) {
        SettingsFixture f(c->level);
        QVERIFY(f.start());
        QVERIFY(f.loadDevice("aoip,eth.0,isdn.0,mobile.0", "", deviceValues(c->device)));
        frontPanelDevice()->removeAllConnections(); // the device outlives a fixture
        for (const char* line = c->busy; *line; ++line)
            QVERIFY(f.startCall(*line - '0', *line == '1' ? "audio" : "audio2", "eth.0"));
        const auto ok = [](const QByteArray& body) { return UnitSimulator::Actions{UnitSimulator::reply(body)}; };
        f.unit.onRequestMatching(QRegularExpression("^(PARAM|DO);(?!.*(GET|LIST):)"), ok("DO;return:OK;"));
        for (const QByteArray kind : {"remote_profile", "local_profile", "sip_profile", "snapshot"})
            f.unit.onRequest("PARAM;target:general;LIST:" + kind + ";", ok("PARAM;" + kind + ":" + c->stored + ";return:OK;"));
        f.unit.onRequest("DO;action:open;id:1;target:general;type:remote_profile;", ok("DO;" + c->profile + "return:OK;"));
        f.page->pendingTarget = c->target;
        QSignalSpy loaded(f.page, &QPravikMenuWidget::menuItemChanges);
        const QString reports = run(f, c->script);
        const QString signal = loaded.isEmpty() ? QString() : loaded.last().at(1).toString();
        const QString what = QString::fromLatin1(c->what) + ": ";
        QCOMPARE(what + sent(f) + " # " + f.shownMessage() + " # " + signal + " # " + reports, what + c->expected);
    }
}

const QByteArrayList single, dual{"codec_mode:cmode_double"}, coord{"coord_mode:enabled", "codec:G722"},
    dualExtended{"codec_mode:cmode_double", "operation_mode:extended"};

} // namespace

class TestSettingsBook : public QObject
{
    Q_OBJECT

private slots:
    void lists()
    {
        const QByteArray opus = "network:eth.0;codec:OPUS/48000/stereo/128000;", voice = "network:mobile.0;codec:GSM;";
        const QByteArray isdn128 = "network:isdn.0;codec:MPA2/48000/mono/128000;";
        const Case cases[] = {
            {"rows", 1, single, 0, "", "3/Beta,1/alpha,2/Gamma,7/a/b,noslash,x/Bad,-129/Neg,99999999999/Big,+4/P,5/<b>x</b>",
             "", "list 174|rows", " #  #  #   <b>x</b>:311 a/b:313 alpha:307 Beta:309 Gamma:308"},
            {"empty at level 0", 0, single, 0, "", "", "", "list 176|rows", " #  #  # "},
            {"firmware 1.7.1, 1.7.2", 0, single, 0, "", "", "",
             "firmware 10701|list 172|states 173,174,175,176|firmware 10702|list 172|states 173,174,175,176",
             " #  #  # UU-UUUUU"},
            {"summary", 0, single, 0, "", "1/P", opus + "remote_addr:1001;remote_addr2:1002;", "list 173|row",
             " #  #  # U [ AoIP ] 1001,1002\nEthernet - Opus 48kHz Stereo 128kbit/s"},
            {"summary in UTF-8", 0, single, 0, "", "1/P", opus + "remote_addr:sip:caf\xc3\xa9@example.org;", "list 173|row",
             " #  #  # U [ AoIP ] sip:caf\u00e9@example.org\nEthernet - Opus 48kHz Stereo 128kbit/s"},
            {"line 1 busy", 0, single, 19, "1", "1/P", opus, "list 173|states 307", " #  #  # L"},
            {"voice", 0, single, 0, "", "1/P", voice, "list 173|row", " #  #  # L [ Voice ]\nMobile - Mobile Voice"},
            {"voice, coordination", 0, coord, 20, "", "1/P", voice, "list 173|states 307", " #  #  # U"},
            {"no codec", 0, single, 0, "", "1/P", "network:eth.0;", "list 173|row",
             " #  #  # U [ AoIP ]\nEthernet - No coding algorithm set"},
            {"unknown codec", 0, single, 0, "", "1/P", "network:eth.0;codec:FOO;", "list 173|row", " #  #  # -"},
            {"ISDN mono not at 64000", 0, dual, 19, "", "1/P", isdn128, "list 173|row", " #  #  # -"},
            {"stereo, standard", 0, dual, 0, "", "1/P", opus, "list 173|states 307", " #  #  # L"},
            {"stereo, extended", 0, dualExtended, 0, "", "1/P", opus, "list 173|states 307", " #  #  # U"},
        };
        check(std::begin(cases), std::end(cases));
    }

    void callProfileEditor()
    {
        const QByteArray g722 = "network:eth.0;codec:G722;remote_addr:1;", mobile = "network:mobile.0;codec:G722;";
        const Case cases[] = {
            {"new", 1, single, 0, "", "", "", "editor -1 noname|states 182,183,184,187,189|apply",
             "DO;action:create;name:noname;network:eth.0;remote_addr:;target:general;type:remote_profile; #  #  # hhh--"},
            {"renamed", 1, single, 0, "", "", g722, "editor 307 Old|text 179 New|apply",
             "DO;action:create;codec:G722;codec_mode:cmode_normal;coord_mode:disabled;name:New;network:eth.0;"
             "remote_addr:1;target:general;type:remote_profile; #  #  # "},
            {"remote number byte for byte", 1, single, 0, "", "", "network:eth.0;codec:G722;remote_addr:sip:caf\xc3\xa9@example.org;",
             "editor 307 Old|number|text 179 New|apply",
             QString::fromLatin1("DO;action:create;codec:G722;codec_mode:cmode_normal;coord_mode:disabled;name:New;network:eth.0;"
                                 "remote_addr:sip:caf\xc3\xa9@example.org;target:general;type:remote_profile; #  #  # ")
                 + "sip:caf\u00e9@example.org "},
            {"G.711", 1, single, 0, "", "", "network:eth.0;codec:G711;", "editor 307 P|coding", " #  #  # 48000/64000 8 kHz"},
            {"voice", 1, single, 0, "", "", mobile, "firmware 110FF|editor 307 P|offers 181 17|firmware 11100|editor 307 P|"
             "offers 181 17|text 181 Voice|states 182,183,184,186", " #  #  # noyeshhhh"},
            {"voice on eth.0", 1, single, 0, "", "", g722, "firmware 11100|editor 307 P|offers 181 17", " #  #  # no"},
            {"ISDN second number", 1, single, 0, "", "", "network:isdn.0;codec:MPA2/48000/mono/128000;remote_addr2:7;",
             "editor 307 P|rate 128000|rate 64000|rate 128000", " #  #  # U7hU7"},
            {"locked while modified", 1, single, 0, "", "", g722, "editor 307 P|states 187,189|text 185 2|states 187,189",
             " #  #  # UULL"},
        };
        check(std::begin(cases), std::end(cases));
    }

    void reactions()
    {
        const QByteArray roadA = "network:isdn.0;codec:G722;coord_mode:enabled;codec_mode:cmode_normal;";
        const QByteArray unicode = "1/Caf\xc3\xa9 \xe2\x98\x83\xff";
        const Case cases[] = {
            {"new preset", 1, single, 0, "", "", "", "list 174|type 177 Morning",
             "DO;action:create;name:Morning;target:general;type:local_profile; #  #  # "},
            {"SIP profile from account 2", 1, single, 0, "", "", "", "list 175|type 177 Desk|choose 2",
             "DO;account:2;action:create;name:Desk;target:general;type:sip_profile; #  #  # "},
            {"load preset", 0, single, 0, "", "1/P", "", "list 174|change 307",
             "DO;action:load;id:1;target:general;type:local_profile; #  #  # "},
            {"SIP warning", 0, single, 0, "", "1/S", "",
             "list 175|refuse action:load DO;cause:140-inconsistant with sip2;return:ERROR;|change 307|choose 1",
             "DO;account:1;action:load;id:1;target:general;type:sip_profile; # SIP profile loaded with a warning!\n("
                 + frontPanelLocale()->text("140-inconsistant with sip2") + ") #  # "},
            {"update keeps the name", 1, single, 0, "", unicode, "", "list 176|entry|change 188",
             QString::fromLatin1("DO;action:update;id:1;name:" + unicode.mid(2) + ";target:general;type:snapshot; #  #  # ")},
            {"delete", 1, single, 0, "", "1/S", "", "list 175|entry|change 189|states 307",
             "DO;action:delete;id:1;target:general;type:sip_profile; #  #  # -"},
            {"road A", 1, dual, 0, "", "", roadA, "editor 307 P|change 187",
             "coord_mode double_codec default_network ;codec #  # 19 # "},
            {"road A refused", 1, dual, 0, "", "", roadA, "editor 307 P|refuse double_codec PARAM;return:ERROR;|change 187",
             "coord_mode double_codec # Failed to load the call profile! #  # "},
            {"remote number to line 1", 1, single, 0, "", "", "network:eth.0;codec:G722;remote_addr:sip:caf\xc3\xa9@example.org;",
             "editor 307 P|change 187|numbers", QString(";codec #  # 19 # ")
                 + QString::fromLatin1("INFO;info_type:remote_numbers;remote_aoip1:sip:caf\xc3\xa9@example.org; ")
                 + "sip:caf\u00e9@example.org"},
            {"voice into line 2", 1, single, 20, "", "", "network:mobile.0;codec:GSM;", "editor 307 P|change 187", " #  # 20 # "},
            {"line 1 busy", 1, single, 0, "1", "", "network:eth.0;codec:G722;", "editor 307 P|change 187",
             " # Cannot load the profile\n(a connection is established) #  # "},
        };
        check(std::begin(cases), std::end(cases));
    }
};

QTEST_MAIN(TestSettingsBook)
#include "tst_settingsbook.moc"
