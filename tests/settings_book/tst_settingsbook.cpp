#include <QtTest>

#include "model/locale.h"
#include "panel/kit/menuselect.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"

using namespace SettingsId;

namespace {

// One run against a unit whose lists all hold `stored` and whose record 1
// opens to `profile`. The script's steps, split at "|", act as the operator
// does; some of them report what the page shows.
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

// The record requests, and the unit settings a load changed by key.
QString sent(SettingsFixture& f)
{
    static const QRegularExpression record("^DO;(account:\\d;)?action:(create|load|update|delete);");
    const char* const settings[][2] = {
        {"coord_mode:", "coord"}, {"double_codec:", "mode"}, {"default_network:", "net"}, {"codec:", "codec"}};
    QStringList out;
    for (const QByteArray& body : f.unit.requestBodies()) {
        QString tag = record.match(QString::fromLatin1(body)).hasMatch() ? QString::fromLatin1(body) : QString();
        for (const auto& s : settings) {
            if (tag.isEmpty() && body.startsWith("PARAM;") && body.contains(s[0]) && !body.contains("GET:"))
                tag = s[1];
        }
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
        if (op == "book") {
            p->createBookMenu();
        } else if (op == "list") {
            const int menu = a[1].toInt();
            menu == CallProfilesMenu ? p->createCallProfilesMenu()
            : menu == PresetsMenu    ? p->createPresetsMenu()
            : menu == SipProfilesMenu ? p->createSipProfilesMenu()
                                      : p->createSnapshotsMenu();
        } else if (op == "entry") { // of row 307 of the current list
            const int list = p->currentItems()->menuId;
            const QString name = item(f, "307")->titleText();
            list == PresetsMenu ? p->createPresetMenu(307, name)
            : list == SipProfilesMenu ? p->createSipProfileMenu(307, name)
                                      : p->createSnapshotMenu(307, name);
        } else if (op == "editor") {
            p->createCallProfileMenu(a[1].toInt(), a.value(2));
        } else if (op == "type") {
            QPravikVirtual* keyboard = p->openKeyboard(1, item(f, a[1]), false);
            keyboard->lineEdit.setText(a.value(2));
            p->keyboardAccepted(item(f, a[1]), keyboard);
        } else if (op == "choose") {
            for (QPravikMenuSelect* popup : p->findChildren<QPravikMenuSelect*>()) {
                if (popup->isVisible()) {
                    popup->setCurrent(popup->findSelectable(a[1].toInt()));
                    popup->okClicked();
                }
            }
        } else if (op == "text" || op == "value" || op == "change") {
            if (op == "text")
                item(f, a[1])->setValueText(a[2], true);
            if (op == "value")
                item(f, a[1])->setCurrentValue(a[2].toInt(), true, true);
            p->itemChanged(item(f, a[1]));
        } else if (op == "refuse") { // the next request matching a[1] gets the reply a[2..]
            const QByteArray reply = step.section(' ', 2).toLatin1();
            f.unit.onRequestMatching(QRegularExpression(a[1]), {UnitSimulator::reply(reply)}, 1);
        } else if (op == "apply") {
            p->applyCallProfile(p->currentItems());
        } else if (op == "firmware") {
            unitFirmwareVersion = a[1].toUInt(nullptr, 16);
        } else if (op == "rate") {
            p->editedProfile.coding.bitRate = a[1].toInt();
            p->updateCallProfileEditor(p->currentItems());
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
            QPravikMenuItem* i = item(f, "307");
            out += !i ? QStringLiteral("-") : (i->locked ? "L " : "U ") + i->valueText();
        } else if (op == "offers") {
            out += item(f, a[1])->indexOfValue(a[2].toInt(), true) >= 0 ? "yes" : "no";
        } else if (op == "coding") {
            const CodecConfig& c = p->editedProfile.coding;
            out += QStringLiteral("%1/%2 ").arg(c.sampleRate).arg(c.bitRate) + item(f, "183")->valueText();
        } else if (op == "second") {
            out += p->editedProfile.secondRemoteAddress;
        } else {
            out += " " + step;
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
        if (strchr(c->busy, '1'))
            QVERIFY(f.startCall(5, "audio", "eth.0"));
        if (strchr(c->busy, '2'))
            QVERIFY(f.startCall(6, "audio2", "eth.0"));
        f.unit.onRequestMatching(QRegularExpression("^(PARAM|DO);(?!.*(GET|LIST):)"),
                                 {UnitSimulator::reply("DO;return:OK;")});
        for (const char* kind : {"remote_profile", "local_profile", "sip_profile", "snapshot"})
            f.unit.onRequest(QByteArray("PARAM;target:general;LIST:") + kind + ";",
                             {UnitSimulator::reply("PARAM;" + QByteArray(kind) + ":" + c->stored + ";return:OK;")});
        f.unit.onRequest("DO;action:open;id:1;target:general;type:remote_profile;",
                         {UnitSimulator::reply("DO;" + c->profile + "return:OK;")});
        f.page->pendingTarget = c->target;
        QSignalSpy loaded(f.page, &QPravikMenuWidget::menuItemChanges);
        const QString reports = run(f, c->script);
        const QString signal = loaded.isEmpty() ? QString() : loaded.last().at(1).toString();
        QCOMPARE(QString::fromLatin1(c->what) + ": " + sent(f) + " # " + f.shownMessage() + " # " + signal + " # "
                     + reports,
                 QString::fromLatin1(c->what) + ": " + c->expected);
    }
}

const QByteArrayList single, dual{"codec_mode:cmode_double"}, coord{"coord_mode:enabled", "codec:G722"},
    dualExtended{"codec_mode:cmode_double", "operation_mode:extended"};
constexpr int Op = OperatorLevel, Ex = ExpertLevel;

} // namespace

class TestSettingsBook : public QObject
{
    Q_OBJECT

private slots:
    void lists()
    {
        const Case cases[] = {
            {"rows", Ex, single, 0, "", "3/Beta,1/alpha,2/Gamma,7/a/b,noslash,x/Bad,-129/Neg,99999999999/Big,+4/P,5/<b>x</b>",
             "", "list 174|rows", " #  #  #   <b>x</b>:311 a/b:313 alpha:307 Beta:309 Gamma:308"},
            {"empty at level 0", Op, single, 0, "", "", "", "list 176|rows", " #  #  # "},
            {"firmware 1.7.1", Op, single, 0, "", "", "", "firmware 10701|book|states 173,174,175,176", " #  #  # UU-U"},
            {"firmware 1.7.2", Op, single, 0, "", "", "", "firmware 10702|book|states 173,174,175,176", " #  #  # UUUU"},
        };
        check(std::begin(cases), std::end(cases));
    }

    // Which stored call profiles the list offers, and at level 0 which it locks.
    void callProfileEvaluation()
    {
        const QByteArray opus = "network:eth.0;codec:OPUS/48000/stereo/128000;";
        const QByteArray isdnMono = "network:isdn.0;codec:MPA2/48000/mono/64000;";
        const QByteArray voice = "network:mobile.0;codec:GSM;";
        const Case cases[] = {
            {"summary", Op, single, 0, "", "1/P", opus + "remote_addr:1001;remote_addr2:1002;", "list 173|row",
             " #  #  # U [ AoIP ] 1001,1002\nEthernet - Opus 48kHz Stereo 128kbit/s"},
            {"line 1 busy", Op, single, 19, "1", "1/P", opus, "list 173|row", " #  #  # L " + QString("[ AoIP ]\nEthernet - Opus 48kHz Stereo 128kbit/s")},
            {"voice", Op, single, 0, "", "1/P", voice, "list 173|row", " #  #  # L [ Voice ]\nMobile - Mobile Voice"},
            {"voice for line 2", Op, single, 20, "", "1/P", voice, "list 173|row", " #  #  # -"},
            {"voice, coordination", Op, coord, 20, "", "1/P", voice, "list 173|states 307", " #  #  # U"},
            {"coordination, line 2", Op, coord, 20, "", "1/P", opus, "list 173|row", " #  #  # -"},
            {"no codec", Op, single, 0, "", "1/P", "network:eth.0;", "list 173|row",
             " #  #  # U [ AoIP ]\nEthernet - No coding algorithm set"},
            {"unknown codec", Op, single, 0, "", "1/P", "network:eth.0;codec:FOO;", "list 173|row", " #  #  # -"},
            {"other transport, line 2", Op, dual, 20, "", "1/P", isdnMono, "list 173|row", " #  #  # -"},
            {"other transport, busy", Op, dual, 0, "2", "1/P", isdnMono, "list 173|states 307", " #  #  # L"},
            {"ISDN mono not at 64000", Op, dual, 19, "", "1/P", "network:isdn.0;codec:MPA2/48000/mono/128000;",
             "list 173|row", " #  #  # -"},
            {"stereo, standard", Op, dual, 0, "", "1/P", opus, "list 173|states 307", " #  #  # L"},
            {"stereo, extended", Op, dualExtended, 0, "", "1/P", opus, "list 173|states 307", " #  #  # U"},
            {"stereo for line 1", Op, dual, 19, "", "1/P", opus, "list 173|states 307", " #  #  # U"},
            {"stereo for line 2", Op, dual, 20, "", "1/P", opus, "list 173|row", " #  #  # -"},
        };
        check(std::begin(cases), std::end(cases));
    }

    void callProfileEditor()
    {
        const QByteArray g722 = "network:eth.0;codec:G722;remote_addr:1;";
        const Case cases[] = {
            {"new", Ex, single, 0, "", "", "", "editor -1 noname|states 182,183,184,187,189|apply",
             "DO;action:create;name:noname;network:eth.0;remote_addr:;target:general;type:remote_profile; #  #  # hhh--"},
            {"renamed", Ex, single, 0, "", "", g722, "editor 307 Old|text 179 New|apply",
             "DO;action:create;codec:G722;codec_mode:cmode_normal;coord_mode:disabled;name:New;network:eth.0;"
             "remote_addr:1;target:general;type:remote_profile; #  #  # "},
            {"G.711", Ex, single, 0, "", "", "network:eth.0;codec:G711;", "editor 307 P|coding",
             " #  #  # 48000/64000 8 kHz"},
            {"voice", Ex, single, 0, "", "", "network:mobile.0;codec:G722;",
             "firmware 110FF|editor 307 P|offers 181 17|firmware 11100|editor 307 P|offers 181 17|value 181 17|"
             "states 182,183,184,186", " #  #  # noyeshhhh"},
            {"voice on eth.0", Ex, single, 0, "", "", g722, "firmware 11100|editor 307 P|offers 181 17",
             " #  #  # no"},
            {"ISDN second number", Ex, single, 0, "", "", "network:isdn.0;codec:MPA2/48000/mono/128000;remote_addr2:7;",
             "editor 307 P|states 186|second|rate 64000|states 186|second|rate 128000|second", " #  #  # U7h7"},
            {"locked while modified", Ex, single, 0, "", "", g722, "editor 307 P|states 187,189|text 185 2|states 187,189",
             " #  #  # UULL"},
        };
        check(std::begin(cases), std::end(cases));
    }

    void reactions()
    {
        const QByteArray roadA = "network:isdn.0;codec:G722;coord_mode:enabled;codec_mode:cmode_normal;";
        const QByteArray unicode = "1/Caf\xc3\xa9 \xe2\x98\x83\xff";
        const Case cases[] = {
            {"new preset", Ex, single, 0, "", "", "", "list 174|type 177 Morning",
             "DO;action:create;name:Morning;target:general;type:local_profile; #  #  # "},
            {"SIP profile from account 2", Ex, single, 0, "", "", "", "list 175|type 177 Desk|choose 2",
             "DO;account:2;action:create;name:Desk;target:general;type:sip_profile; #  #  # "},
            {"load preset", Op, single, 0, "", "1/P", "", "list 174|change 307",
             "DO;action:load;id:1;target:general;type:local_profile; #  #  # "},
            {"load preset, busy", Op, single, 0, "1", "1/P", "", "list 174|change 307",
             " # Cannot load the preset\n(a connection is established) #  # "},
            {"SIP warning", Op, single, 0, "", "1/S", "",
             "list 175|refuse action:load DO;cause:140-inconsistant with sip2;return:ERROR;|change 307|choose 1",
             "DO;account:1;action:load;id:1;target:general;type:sip_profile; # SIP profile loaded with a warning!\n("
                 + frontPanelLocale()->text("140-inconsistant with sip2") + ") #  # "},
            {"update keeps the name", Ex, single, 0, "", unicode, "", "list 176|entry|change 188",
             QString::fromLatin1("DO;action:update;id:1;name:" + unicode.mid(2) + ";target:general;type:snapshot; #  #  # ")},
            {"delete", Ex, single, 0, "", "1/S", "", "list 175|entry|change 189|states 307",
             "DO;action:delete;id:1;target:general;type:sip_profile; #  #  # -"},
            {"road A", Ex, dual, 0, "", "", roadA, "editor 307 P|change 187", "coord mode net codec #  # 19 # "},
            {"road A refused", Ex, dual, 0, "", "", roadA, "editor 307 P|refuse double_codec PARAM;return:ERROR;|change 187",
             "coord mode # Failed to load the call profile! #  # "},
            {"voice into line 2", Ex, single, 20, "", "", "network:mobile.0;codec:GSM;", "editor 307 P|change 187",
             " #  # 20 # "},
            {"line 1 busy", Ex, single, 0, "1", "", "network:eth.0;codec:G722;", "editor 307 P|change 187",
             " # Cannot load the profile\n(a connection is established) #  # "},
        };
        check(std::begin(cases), std::end(cases));
    }
};

QTEST_MAIN(TestSettingsBook)
#include "tst_settingsbook.moc"
