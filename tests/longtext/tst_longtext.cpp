#include <QtTest>

#include "panel/kit/connpanel.h"
#include "panel/kit/menuwidget.h"
#include "panel/pages/qpravikbanner.h"
#include "panel/pages/qpravikconnectionpage.h"
#include "panel/pages/qpravikheadphonepopups.h"
#include "panel/settings/settingsids.h"
#include "tests/support/panelfixture.h"
#include "tests/support/settingsfixture.h"
#include "tests/support/textplaces.h"

using namespace SettingsId;

namespace {

// What keeps out of its place under root, as the operator sees it (laid
// out), listed for a readable comparison.
QString faults(const QString& place, QWidget* root)
{
    QCoreApplication::processEvents();
    const QStringList found = textplaces::outsideParents(root) + textplaces::textsOverEdges(root);
    return found.isEmpty() ? QString() : place + QStringLiteral(": ") + found.join(QStringLiteral("; "));
}

// A picture of what the operator sees, to look at: in the temporary folder.
void save(QWidget* shown, const QString& what)
{
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
    shown->grab().save(QDir::temp().filePath(QStringLiteral("longtext-%1-%2.png").arg(what, tag)));
}

void longTexts()
{
    // As the unit sends them: UTF-8, 64 characters.
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("words") << QByteArray("Studio Berlin Olympiastadion Kommentator 3 Backup Leitung Nord 1");
    QTest::newRow("one word") << QByteArray("StudioBerlinOlympiastadionKommentator3BackupLeitungNordWest12345");
    QTest::newRow("Latin-1 accents")
        << QByteArray("\xc3\x89quipe Z\xc3\xbcrich \xc3\x86r\xc3\xb8 Fa\xc3\xa7" "ade Gr\xc3\xb6\xc3\x9f" "e "
                      "Se\xc3\xb1" "al \xc3\x98resund \xc3\x85lesund M\xc3\xbcller J\xc3\xb6rg");
}

} // namespace

class LongTextTest : public QObject
{
    Q_OBJECT

private slots:
    // Book's four lists, each with a long name among short ones: every row
    // and its link arrow stay inside the page's room, the title keeps the
    // name as the unit gave it, and an opened record keeps its menu inside.
    void recordLists_data() { longTexts(); }
    void recordLists()
    {
        QFETCH(QByteArray, text);
        const QString name = QString::fromUtf8(text);
        QCOMPARE(name.size(), 64);
        SettingsFixture f;
        QVERIFY(f.start());
        QVERIFY(f.loadDevice());
        for (const QByteArray kind : {"remote_profile", "local_profile", "sip_profile", "snapshot"})
            f.unit.onRequest("PARAM;target:general;LIST:" + kind + ";",
                             {UnitSimulator::reply("PARAM;" + kind + ":1/" + text + ",2/Short;return:OK;")});
        f.unit.onRequestMatching(QRegularExpression("^DO;action:open"),
                                 {UnitSimulator::reply("DO;network:eth.0;codec:OPUS/48000/stereo/128000;"
                                                       "remote_addr:1001;return:OK;")});
        for (int list : {CallProfilesMenu, PresetsMenu, SipProfilesMenu, SnapshotsMenu}) {
            QVERIFY(f.openEntry(BookEntry));
            QVERIFY(f.click({list}));
            QPravikMenuItems* page = f.page->currentItems();
            QVERIFY(page && page->menuId == list);
            QPravikMenuItem* row = page->findItem(RecordRowBase + 1);
            QVERIFY(row && row->isVisible());
            QCOMPARE(row->titleText(), name);
            const int room = page->viewport()->width();
            for (QPravikMenuItem* item : page->allItems()) {
                QVERIFY2(item->geometry().right() < room, qPrintable(QString::number(item->id)));
                if (item->iconLabel)
                    QVERIFY(item->iconLabel->geometry().right() < room);
            }
            QCOMPARE(faults(QString::number(list), f.window), QString());
            if (list == CallProfilesMenu)
                save(f.window, QStringLiteral("call-profiles"));
        }
        // The snapshot opened: its name in the header and as a value.
        QVERIFY(f.click({RecordRowBase + 1}));
        QCOMPARE(f.page->currentItems()->menuId, RecordMenu);
        QCOMPARE(faults(QStringLiteral("entry"), f.window), QString());
        save(f.window, QStringLiteral("snapshot"));
    }

    // The shown window with the unit's long texts: the names of the inputs
    // (main page keys, audio pages' name buttons, headphone strips and
    // slots), the relay labels, the remote number in the banner and on the
    // line panel. Each page keeps every text inside its place.
    void shownWindow_data() { longTexts(); }
    void shownWindow()
    {
        QFETCH(QByteArray, text);
        PanelFixture panel;
        panel.matrixValues = "matrix_opt:00000000;matrix_po1:01020304;matrix_po2:05060708;matrix_po3:01020304;"
                             "matrix_po4:05060708;";
        QVERIFY(panel.login());
        // The unit tells what changed: the models outlive a login.
        QByteArray names;
        for (int input = 1; input <= 26; ++input)
            names += "matrix_in" + QByteArray::number(input) + ":0000," + text + ";";
        panel.unit.pushSignal("INFO;info_type:audio_changeset;info_source:aic;" + names);
        panel.unit.pushSignal("INFO;info_type:config_changeset;info_source:hcc;info_label1:" + text + ";contact_label2:" + text + ";");
        panel.unit.pushSignal("INFO;info_type:remote_numbers;remote_aoip1:" + text + ";");
        QPravikMainPage* main = panel.window->mainPage();
        QTRY_COMPARE(main->banner->record(1).extra, QString::fromUtf8(text));

        const QPravik::Page pages[] = {QPravik::PageAudio,       QPravik::PageAudioInput, QPravik::PageAudioAuxiliary,
                                       QPravik::PageAudioOutput, QPravik::PageHeadphone1, QPravik::PageHeadphone2,
                                       QPravik::PageHeadphone3,  QPravik::PageHeadphone4, QPravik::PageMain};
        for (QPravik::Page page : pages) {
            QVERIFY(panel.open(page));
            QWidget* shown = panel.window->pageWidget(page);
            QCOMPARE(faults(QString::number(page), shown), QString());
            if (page == QPravik::PageAudioInput || page == QPravik::PageHeadphone1 || page == QPravik::PageMain)
                save(shown, QStringLiteral("page-%1").arg(page));
            if (page == QPravik::PageHeadphone1) {
                // A slot's choice of source names the inputs too.
                QPravikAudioButton* named = nullptr;
                for (QPravikAudioButton* slot : shown->findChildren<QPravikAudioButton*>())
                    named = slot->isVisible() && slot->title().endsWith(QString::fromUtf8(text)) ? slot : named;
                QVERIFY(named);
                named->sourceButton.click();
                auto* select = shown->findChild<QPravikHeadphoneSelect*>();
                QVERIFY(select && select->isVisible());
                QCOMPARE(select->display->text(), named->title());
                QCOMPARE(faults(QStringLiteral("select"), select), QString());
                save(select, QStringLiteral("select"));
                select->close();
            }
        }
        QCOMPARE(main->inputKeys[0]->text(), QString::fromUtf8(text));
        QCOMPARE(main->infoKeys[0]->text(), QString::fromUtf8(text));
        panel.window->pageActivated(QPravik::PageConnection);
        QCOMPARE(faults(QStringLiteral("connection"), panel.window->connectionPage()), QString());
        QVERIFY(panel.takeWrites().isEmpty());
    }
};

QTEST_MAIN(LongTextTest)
#include "tst_longtext.moc"
