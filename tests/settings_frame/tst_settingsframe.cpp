#include <QtTest>

#include "link/tcommand.h"
#include "panel/kit/connpanel.h"
#include "panel/kit/controls.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikconnectionpage.h"
#include "panel/settings/callprofilerecord.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"

using Page = QPravikSettingsPage;
using namespace SettingsId;

namespace {

// Counts the changes the kit reports, then reacts as the page does.
struct SpyPage : QPravikSettingsPage
{
    void itemChanged(QPravikMenuItem* item) override
    {
        changes.append(itemValue(item).value_or(-99));
        QPravikSettingsPage::itemChanged(item);
    }
    QList<int> changes;
};

QPravikMenuItems* pushPage(QPravikSettingsPage* page, int menuId, int parentId = -1)
{
    auto* items = new QPravikMenuItems(menuId, parentId, page);
    page->pushPage(items);
    return items;
}

QPravikMenuItem* addItem(QPravikMenuItems* page, int id, int type, int parentId = -1)
{
    auto* item = new QPravikMenuItem(id, parentId, type, page);
    page->addItem(item);
    return item;
}

QPravikMessage* actionPopup(QWidget* page)
{
    for (QPravikMessage* box : page->findChildren<QPravikMessage*>())
        if (box->isVisible() && box->buttons)
            return box;
    return nullptr;
}

CallProfileRecord record(int network, int codec, const char* address)
{
    CallProfileRecord r;
    r.name = QStringLiteral("Studio");
    r.network = network;
    r.coding.codec = codec;
    r.remoteAddress = QString::fromLatin1(address);
    return r;
}

} // namespace

class TestSettingsFrame : public QObject
{
    Q_OBJECT

private slots:
    void callProfileRecord()
    {
        const std::pair<CallProfileRecord, bool> validity[] = {
            {CallProfileRecord(), false},   {record(0x400, -1, ""), false}, {record(0x400, -1, "1001"), true},
            {record(0x400, 19, ""), true}, {record(-1, 19, "1"), false},   {record(1280, 19, "1"), false}};
        for (const auto& [r, valid] : validity)
            QVERIFY2(r.isValid() == valid, qPrintable(QString::number(r.network) + r.remoteAddress));

        // Where the record came from takes no part in the comparison; the coding does.
        const CallProfileRecord base = record(0x400, -1, "1001");
        for (int CallProfileRecord::*field : {&CallProfileRecord::origin, &CallProfileRecord::entryId,
                                              &CallProfileRecord::openedFor, &CallProfileRecord::lines,
                                              &CallProfileRecord::codecMode, &CallProfileRecord::coordMode}) {
            CallProfileRecord other(base);
            other.*field = 7;
            QVERIFY(other == base);
        }
        CallProfileRecord other(base);
        other.coding.fec = 2;
        QVERIFY(!(other == base));

        const CallProfileRecord& alias = other;
        other = alias;
        QVERIFY(other.name == base.name && other.coding.fec == 2);
        other.reset();
        QVERIFY(other.name.isEmpty() && other.remoteAddress.isEmpty());
        QVERIFY(other.network == 256 && other.lines == -1);
    }

    // Only where a default or a shared table could go wrong.
    void converters()
    {
        const std::pair<QString, const char*> labels[] = {
            {Page::callProtocolLabel(-1), "SIP"},
            {QString::fromStdString(Page::inputEventKey(14)), "input_event_none"},
            {QString::number(Page::inputEventFromKey("INPUT_EVENT_R1")), "0"},
        };
        for (const auto& [got, expected] : labels)
            QCOMPARE(got, QString::fromLatin1(expected));
        for (int code = 0; code <= 13; ++code)
            QCOMPARE(Page::inputEventFromKey(Page::inputEventKey(code)), code);
        for (int code = 0; code <= 7; ++code)
            QCOMPARE(Page::relayStateFromKey(Page::relayStateKey(code)), code);
        QVERIFY(!Page::qstringLessCaseInsensitive("Studio", "studio") && !Page::qstringLessCaseInsensitive("studio", "Studio"));
    }

    void itemValueRoutingAndDial()
    {
        SettingsFixture f;
        QVERIFY(f.start());
        QVERIFY(f.loadDevice());
        QPravikMenuItem* item = addItem(pushPage(f.page, 999), 200, QPravikMenuItem::ChoiceList);
        item->addChoice(-1, QStringLiteral("None"));
        QVERIFY(!Page::itemValue(item));
        item->setCurrentValue(-1, true, true);
        QCOMPARE(Page::itemValue(item), std::optional<int>(-1));

        // Neither an item without a page nor a menu of no area reacts.
        QPravikMenuItem orphan(DefaultNetworkItem, QPravikMenuItem::ChoiceList, nullptr);
        f.page->itemChanged(&orphan);
        f.page->itemChanged(item);
        f.page->selectionAccepted(item, nullptr);
        QVERIFY(f.unit.requestBodies().isEmpty() && f.shownMessage().isEmpty());

        // A loaded call profile dials its numbers on line 1.
        f.page->editedProfile = record(0x100, -1, "1001");
        f.page->editedProfile.secondRemoteAddress = QStringLiteral("1002");
        emit f.page->menuItemChanges(nullptr, QPravik::PageCallProfiles1);
        QCOMPARE(f.window->connectionPage()->panel(1)->text(0), QStringLiteral("1001,1002"));
    }

    // A guard refuses only for a connection on the menu's own interface or line.
    void applyGuards()
    {
        SettingsFixture f;
        QVERIFY(f.start());
        QVERIFY(f.loadDevice("aoip,eth.0,eth.1,isdn.0,mobile.0"));
        const std::tuple<const char*, const char*, int, bool> rows[] = {
            {"audio", "eth.1", 13, true},         {"audio", "eth.1", 12, false},
            {"coord_line", "mobile.0", 99, true}, {"coord_line", "mobile.0", 98, false},
            {"audio", "isdn.0", 10, false},       {"audio", "isdn.0", 76, false},
            {"audio", "isdn.0", 77, false},       {"audio", "isdn.0", 11, true},
            {"audio", "eth.0", 10, true},         {"audio", "eth.0", 77, true},
        };
        int id = 1;
        for (const auto& [link, network, menu, refused] : rows) {
            const QByteArray what = QByteArray(network) + " menu " + QByteArray::number(menu);
            frontPanelDevice()->removeAllConnections();
            QVERIFY2(f.startCall(id++, link, network), what);
            f.page->closePopup();
            pushPage(f.page, menu);
            f.page->header->setModified(true);
            f.unit.clearReceived();
            f.page->applyChanges();
            const QString busy = QStringLiteral("Cannot apply changes\n(a connection is established)");
            QVERIFY2(f.shownMessage() == (refused ? busy : QString()), what);
            QVERIFY2(f.page->header->modified == refused && f.unit.requestBodies().isEmpty(), what);
        }
    }

    void applySuccessRows()
    {
        SettingsFixture f;
        QVERIFY(f.start());
        QVERIFY(f.loadDevice("aoip,eth.0,mobile.0"));
        // An applied call profile becomes the reference, and the editor closes.
        pushPage(f.page, CallProfilesMenu);
        pushPage(f.page, RecordMenu, CallProfilesMenu);
        f.page->editedProfile.name = QStringLiteral("Studio B");
        f.unit.onRequestMatching(QRegularExpression("^DO;action:create;"), {UnitSimulator::reply("DO;return:OK;")});
        f.page->header->setModified(true);
        f.page->applyChanges();
        QCOMPARE(f.page->currentItems()->menuId, int(CallProfilesMenu));
        QCOMPARE(f.page->referenceProfile.name, QStringLiteral("Studio B"));

        // The SIM took its PIN while a call runs: the link relabels, locked, and the page closes.
        QVERIFY(f.startCall(3, "audio", "eth.0"));
        QPravikMenuItems* network = pushPage(f.page, NetworkMenu);
        QPravikMenuItem* link = addItem(network, MobileMenuFirst, QPravikMenuItem::SubMenu);
        addItem(pushPage(f.page, MobileMenuFirst), PinCodeItem, QPravikMenuItem::Pin);
        f.page->header->setModified(true);
        f.page->applyChanges();
        QCOMPARE(f.page->currentItems(), network);
        QCOMPARE(link->valueText(), QStringLiteral("Configure the Mobile controller"));
        QVERIFY(link->locked && !f.page->header->modified);
    }

    void confirmations()
    {
        // Page, its parent, item, its parent, the question (none: no popup).
        const std::tuple<int, int, int, int, const char*> rows[] = {
            {PresetsMenu, -1, 310, PresetsMenu, "Load the preset?"},
            {SnapshotsMenu, -1, 306, SnapshotsMenu, "Load the snapshot?"},
            {ToolsMenu, -1, RebootItem, -1, "Are you sure you want to restart the system?"},
            {RecordMenu, CallProfilesMenu, DeleteRecordItem, 308, "Delete the call profile?"},
            {RecordMenu, CallProfilesMenu, UpdateRecordItem, 308, nullptr},
            {RecordMenu, PresetsMenu, UpdateRecordItem, 308, "Update the preset?"},
            {RecordMenu, SipProfilesMenu, UpdateRecordItem, 308, nullptr},
            {RecordMenu, SnapshotsMenu, LoadRecordItem, 305, nullptr},
        };
        for (bool ok : {false, true}) {
            for (const auto& [menu, pageParent, id, itemParent, text] : rows) {
                SpyPage page;
                QPravikMenuItem* item = addItem(pushPage(&page, menu, pageParent), id, QPravikMenuItem::Action, itemParent);
                page.itemActivated(item);
                QPravikMessage* box = actionPopup(&page);
                const QByteArray what = QByteArray::number(id) + " of " + QByteArray::number(menu);
                QVERIFY2(box ? box->message == QString::fromUtf8(text) : !text, what);
                if (!box)
                    continue;
                (ok ? box->okButton : box->cancelButton)->click();
                QTRY_VERIFY(!box->isVisible());
                QCoreApplication::processEvents();
                QVERIFY2(page.changes.size() == (ok ? 1 : 0), what);
            }
        }
    }

    void accessLevelPrompt()
    {
        const int saved = currentAccessLevel;
        currentAccessLevel = ExpertLevel;
        Page page;
        QPravikMenuItem* level = addItem(pushPage(&page, ToolsMenu), AccessLevelItem, QPravikMenuItem::ChoiceList);
        for (const char* name : {"Operator", "Expert", "Administrator"})
            level->addChoice(level->choiceCount(), QString::fromLatin1(name));
        level->setCurrentValue(AdministratorLevel, true, true);
        QPravikVirtual* keyboard = page.openKeyboard(1, level, true);
        currentAccessLevel = saved;
        QCOMPARE(keyboard->titleLabel.text(), QStringLiteral("Enter Password"));
        QCOMPARE(keyboard->lineEdit.echoMode(), QLineEdit::Password);
        QCOMPARE(keyboard->property("vkb_accessLevel").toInt(), int(AdministratorLevel));
        QVERIFY(level->valueText() == "Expert" && level->currentValue() == ExpertLevel);
    }

    // A click on the row commits what an engaged wheel shows, once.
    void wheelCommit()
    {
        for (bool engaged : {true, false}) {
            SpyPage page;
            QPravikMenuItem* wheel = addItem(pushPage(&page, AudioMenu), 120, QPravikMenuItem::WheelOnRelease);
            for (int value : {0, 10, 20, 30})
                wheel->addChoice(value, QString::number(value));
            wheel->setCurrentValue(0, true, true);
            page.show(); // a shown wheel is the one the kit resets
            wheel->wheel->setChecked(engaged);
            QTest::keyClick(wheel->wheel, Qt::Key_Plus);
            QTest::keyClick(wheel->wheel, Qt::Key_Plus);
            page.itemActivated(wheel);
            QCOMPARE(page.changes, engaged ? QList<int>{20} : QList<int>{});
        }
    }

    void unitEvents()
    {
        SettingsFixture f;
        QVERIFY(f.start());
        QVERIFY(f.loadDevice("aoip,eth.0,eth.1,mobile.0,mobile.1"));
        // No scan while the modem's data service runs.
        QVERIFY(f.push("EVENT;event_type:data connected;id:7;network:mobile.1;",
                       [] { return frontPanelDevice()->connection(7); }));
        f.page->itemActivated(addItem(pushPage(f.page, 17), PreferredOperatorItem, QPravikMenuItem::ChoiceList));
        QCOMPARE(f.shownMessage(), QStringLiteral("Cannot change setting\n(the data service is active)"));
        QVERIFY(!actionPopup(f.page));

        // The Status page follows the interface a configuration event names, up to "eth.3".
        pushPage(f.page, StatusMenu);
        f.page->ethernetController.attach("eth.0", 0, false);
        for (const char* network : {"eth.1", "eth.4", "mobile.0"}) {
            TCommand event(TCommand::Event);
            event.setParam("event_type", "config info");
            event.setParam("network", network);
            f.page->handleParamEvent(event);
            QCOMPARE(f.page->ethernetController.network(), std::string("eth.1"));
        }

        // Only the program lines' statistics are kept.
        for (const QByteArray link : {"coord_line", "audio2"}) {
            frontPanelDevice()->removeAllConnections();
            QVERIFY(f.startCall(9, link, "eth.0"));
            const auto* call = static_cast<TComAudioConnection*>(frontPanelDevice()->connection(9));
            QVERIFY(f.push("EVENT;event_type:rx-quality-report;id:9;network:eth.0;net-quality:80;",
                           [call] { return call->rxStatistics(0).netQuality == 80; }));
            QCOMPARE(f.page->lineStatistics[0].rx[0].netQuality, -1);
            QCOMPARE(f.page->lineStatistics[1].rx[0].netQuality, link == "audio2" ? 80 : -1);
        }
    }
};

QTEST_MAIN(TestSettingsFrame)
#include "tst_settingsframe.moc"
