#include <QtTest>

#include <functional>

#include "model/locale.h"
#include "panel/kit/menuselect.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"

using namespace SettingsId;
using Reply = UnitSimulator;

namespace {

// The device's values with some replaced ("codec_mode:cmode_double" ...).
QByteArray deviceValues(const QByteArrayList& changes)
{
    QByteArray values = SettingsFixture::kDeviceValues;
    for (const QByteArray& change : changes) {
        const QByteArray key = change.left(change.indexOf(':') + 1);
        const int at = values.indexOf(";" + key) + 1;
        values.replace(at, values.indexOf(';', at) - at, change);
    }
    return values;
}

void storeList(SettingsFixture& f, const QByteArray& kind, const QByteArray& elements)
{
    f.unit.onRequest("PARAM;target:general;LIST:" + kind + ";",
                     {Reply::reply("PARAM;" + kind + ":" + elements + ";return:OK;")});
}

void storeProfile(SettingsFixture& f, int id, const QByteArray& values)
{
    f.unit.onRequest("DO;action:open;id:" + QByteArray::number(id) + ";target:general;type:remote_profile;",
                     {Reply::reply("DO;" + values + "return:OK;")});
}

// "title:id" of every record row, in the page's order.
QString rows(QPravikMenuItems* page)
{
    QStringList out;
    for (QPravikMenuItem* item : page->allItems()) {
        if (item->id >= RecordRowBase)
            out << item->titleText() + ":" + QString::number(item->id);
    }
    return out.join('|');
}

QPravikMenuSelect* openSelection(QPravikSettingsPage* page)
{
    const auto popups = page->findChildren<QPravikMenuSelect*>();
    for (QPravikMenuSelect* popup : popups) {
        if (popup->isVisible())
            return popup;
    }
    return nullptr;
}

} // namespace

class TestSettingsBook : public QObject
{
    Q_OBJECT

private slots:
    void lists()
    {
        const struct
        {
            int level;
            std::uint32_t firmware;
            int menu;
            QByteArray elements;
            const char* rows;
            int items; // all items of the page, the new-record item and spacer included
        } cases[] = {
            {ExpertLevel, 0x010702, PresetsMenu,
             "3/Beta,1/alpha,2/Gamma,7/a/b,noslash,x/Bad,-129/Neg,99999999999/Big,+4/Plus,5/<b>x</b>",
             "<b>x</b>:311|a/b:313|alpha:307|Beta:309|Gamma:308", 7},
            {OperatorLevel, 0x010702, SnapshotsMenu, "", "", 0},
            {OperatorLevel, 0x010701, BookMenu, "", "", 3},
            {OperatorLevel, 0x010702, BookMenu, "", "", 4},
        };
        for (const auto& c : cases) {
            SettingsFixture f(c.level, c.firmware);
            QVERIFY(f.start());
            storeList(f, "local_profile", c.elements);
            storeList(f, "snapshot", c.elements);
            if (c.menu == BookMenu)
                f.page->createBookMenu();
            else if (c.menu == PresetsMenu)
                f.page->createPresetsMenu();
            else
                f.page->createSnapshotsMenu();
            QPravikMenuItems* page = f.page->currentItems();
            QCOMPARE(rows(page), QString::fromLatin1(c.rows));
            QCOMPARE(page->allItems().size(), c.items);
        }
    }

    // Which stored call profiles the list offers, and at level 0 which it locks.
    void callProfileEvaluation()
    {
        const QByteArray opus = "network:eth.0;codec:OPUS/48000/stereo/128000;";
        const QByteArray isdnMono = "network:isdn.0;codec:MPA2/48000/mono/64000;";
        const QByteArray voice = "network:mobile.0;codec:GSM;";
        const QByteArrayList single, dual{"codec_mode:cmode_double"}, coord{"coord_mode:enabled", "codec:G722"},
            dualExt{"codec_mode:cmode_double", "operation_mode:extended"};
        const struct
        {
            const char* what;
            QByteArrayList device;
            int target;
            const char* busy;
            QByteArray profile;
            const char* row; // "-" none, "U" unlocked, "L" locked, or "U"/"L" and the summary
        } cases[] = {
            {"summary", single, 0, "", opus + "remote_addr:1001;remote_addr2:1002;",
             "U[ AoIP ] 1001,1002\nEthernet - Opus 48kHz Stereo 128kbit/s"},
            {"line 1 busy", single, 19, "1", opus, "L"},
            {"voice", single, 0, "", voice, "L[ Voice ]\nMobile - Mobile Voice"},
            {"voice for line 1", single, 19, "", voice, "-"},
            {"voice for line 2", single, 20, "", voice, "-"},
            {"voice, coordination", coord, 20, "", voice, "U"},
            {"coordination, line 2", coord, 20, "", opus, "-"},
            {"no codec", single, 0, "", "network:eth.0;remote_addr:5;", "U[ AoIP ] 5\nEthernet - No coding algorithm set"},
            {"unknown codec", single, 0, "", "network:eth.0;codec:FOO;", "-"},
            {"no network", single, 0, "", "codec:G722;", "-"},
            {"no such interface", single, 0, "", "network:eth.1;codec:G722;", "L"},
            {"other transport, line 2", dual, 20, "", isdnMono, "-"},
            {"other transport, line 2 busy", dual, 0, "2", isdnMono, "L"},
            {"other transport", dual, 0, "", isdnMono, "U"},
            {"ISDN mono not at 64000", dual, 19, "", "network:isdn.0;codec:MPA2/48000/mono/128000;", "-"},
            {"ISDN mono not at 64000, root", dual, 0, "", "network:isdn.0;codec:MPA2/48000/mono/128000;", "L"},
            {"stereo, standard", dual, 0, "", opus, "L"},
            {"stereo, extended", dualExt, 0, "", opus, "U"},
            {"stereo for line 1", dual, 19, "", opus, "U"},
            {"stereo for line 2", dual, 20, "", opus, "-"},
            {"stereo, a line busy", dualExt, 0, "1", opus, "L"},
        };
        for (const auto& c : cases) {
            SettingsFixture f(OperatorLevel);
            QVERIFY(f.start());
            QVERIFY(f.loadDevice("aoip,eth.0,isdn.0,mobile.0", "", deviceValues(c.device)));
            frontPanelDevice()->removeAllConnections(); // the device outlives a fixture
            if (strchr(c.busy, '1'))
                QVERIFY(f.startCall(5, "audio", "eth.0"));
            if (strchr(c.busy, '2'))
                QVERIFY(f.startCall(6, "audio2", "eth.0"));
            storeList(f, "remote_profile", "1/P");
            storeProfile(f, 1, c.profile);
            f.page->pendingTarget = c.target;
            f.page->createCallProfilesMenu();
            QPravikMenuItem* row = f.page->currentItems()->findItem(307);
            const QString got = QString::fromLatin1(c.what) + ": "
                + (!row ? QStringLiteral("-")
                                     : QString(row->locked ? 'L' : 'U')
                    + (strlen(c.row) > 1 ? row->valueText() : QString()));
            QCOMPARE(got, QString::fromLatin1(c.what) + ": " + c.row);
        }
    }
};

QTEST_MAIN(TestSettingsBook)
#include "tst_settingsbook.moc"
