#include <QtTest>

#include "panel/pages/qpravikbanner.h"
#include "panel/pages/qpravikconnectionpage.h"
#include "panel/pages/qpravikheadphonepopups.h"
#include "panel/settings/settingsids.h"
#include "tests/support/panelfixture.h"
#include "tests/support/settingsfixture.h"
#include "tests/support/textplaces.h"

using namespace SettingsId;

namespace {

// What is out of its place under root once laid out, for a readable comparison.
QString faults(const QString& place, QWidget* root)
{
    QCoreApplication::processEvents();
    const QStringList found = textplaces::outOfPlace(root);
    return found.isEmpty() ? QString() : place + QStringLiteral(": ") + found.join(QStringLiteral("; "));
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
    // Book's four lists with a long name among short ones, and the record
    // opened (its name in the header and as a value): rows and arrows stay in
    // the page's room, the row keeps the name whole.
    void recordLists_data() { longTexts(); }
    void recordLists()
    {
        QFETCH(QByteArray, text);
        SettingsFixture f;
        QVERIFY(f.start() && f.loadDevice());
        for (const QByteArray kind : {"remote_profile", "local_profile", "sip_profile", "snapshot"})
            f.unit.onRequest("PARAM;target:general;LIST:" + kind + ";",
                             {UnitSimulator::reply("PARAM;" + kind + ":1/" + text + ",2/Short;return:OK;")});
        f.unit.onRequestMatching(QRegularExpression("^DO;action:open"),
                                 {UnitSimulator::reply("DO;network:eth.0;codec:OPUS/48000/stereo/128000;return:OK;")});
        for (int list : {CallProfilesMenu, PresetsMenu, SipProfilesMenu, SnapshotsMenu}) {
            QVERIFY(f.openEntry(BookEntry) && f.click({list}));
            QCOMPARE(f.item(RecordRowBase + 1)->titleText(), QString::fromUtf8(text));
            QCOMPARE(faults(QString::number(list), f.window), QString());
        }
        QVERIFY(f.click({RecordRowBase + 1}));
        QCOMPARE(f.page->currentItems()->menuId, RecordMenu);
        QCOMPARE(faults(QStringLiteral("record"), f.window), QString());
    }

    // The shown window with the unit's long texts: names of the inputs (main
    // page keys, audio pages' name buttons, headphone strips, slots and their
    // choice of source), relay labels, the remote number in the banner and
    // on the line panel.
    void shownWindow_data() { longTexts(); }
    void shownWindow()
    {
        QFETCH(QByteArray, text);
        PanelFixture panel;
        panel.matrixValues = "matrix_opt:00000000;matrix_po1:01020304;matrix_po2:05060708;";
        QVERIFY(panel.login());
        QByteArray names; // told as changes: the models outlive a login
        for (int input = 1; input <= 26; ++input)
            names += "matrix_in" + QByteArray::number(input) + ":0000," + text + ";";
        panel.unit.pushSignal("INFO;info_type:audio_changeset;info_source:aic;" + names);
        panel.unit.pushSignal("INFO;info_type:config_changeset;info_source:hcc;info_label1:" + text + ";");
        panel.unit.pushSignal("INFO;info_type:remote_numbers;remote_aoip1:" + text + ";");
        QPravikMainPage* main = panel.window->mainPage();
        QTRY_COMPARE(main->banner->record(1).extra, QString::fromUtf8(text));
        for (int page : {3, 4, 5, 6, 7, 8, 9, 10, 1}) { // audio, headphone and main pages
            QVERIFY(panel.open(QPravik::Page(page)));
            QCOMPARE(faults(QString::number(page), panel.window->pageWidget(page)), QString());
        }
        QCOMPARE(main->inputKeys[0]->text(), QString::fromUtf8(text));
        QCOMPARE(main->infoKeys[0]->text(), QString::fromUtf8(text));
        QVERIFY(panel.open(QPravik::PageHeadphone1));
        QWidget* headphone = panel.window->pageWidget(QPravik::PageHeadphone1);
        for (QPravikAudioButton* slot : headphone->findChildren<QPravikAudioButton*>())
            if (slot->isVisible() && slot->title().endsWith(QString::fromUtf8(text)) && !headphone->findChild<QPravikHeadphoneSelect*>())
                slot->sourceButton.click();
        auto* select = headphone->findChild<QPravikHeadphoneSelect*>();
        QVERIFY(select && select->display->text().endsWith(QString::fromUtf8(text)));
        QCOMPARE(faults(QStringLiteral("select"), select), QString());
        select->close();
        panel.window->pageActivated(QPravik::PageConnection);
        QCOMPARE(faults(QStringLiteral("connection"), panel.window->connectionPage()), QString());
        QVERIFY(panel.takeWrites().isEmpty());
    }
};

QTEST_MAIN(LongTextTest)
#include "tst_longtext.moc"
