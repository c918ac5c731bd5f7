#include <QtTest>

#include <functional>

#include "panel/kit/connpanel.h"
#include "panel/pages/qpravikconnectionpage.h"
#include "panel/settings/callprofilerecord.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"

using Page = QPravikSettingsPage;

class TestSettingsFrame : public QObject
{
    Q_OBJECT

private slots:
    void callProfileRecord()
    {
        const auto named = [](const std::function<void(CallProfileRecord&)>& change) {
            CallProfileRecord r;
            r.name = QStringLiteral("Studio");
            r.network = 0x400;
            change(r);
            return r;
        };
        const struct
        {
            const char* what;
            CallProfileRecord record;
            bool valid;
        } validity[] = {
            {"default", CallProfileRecord(), false},
            {"wifi, no coding, no address", named([](CallProfileRecord&) {}), false},
            {"with an address", named([](CallProfileRecord& r) { r.remoteAddress = "1001"; }), true},
            {"with a codec", named([](CallProfileRecord& r) { r.coding.codec = 19; }), true},
            {"network -1", named([](CallProfileRecord& r) { r.network = -1; r.coding.codec = 19; }), false},
            {"network 1280", named([](CallProfileRecord& r) { r.network = 1280; r.remoteAddress = "1"; }), false},
        };
        for (const auto& row : validity)
            QVERIFY2(row.record.isValid() == row.valid, row.what);

        const CallProfileRecord base = named([](CallProfileRecord& r) { r.remoteAddress = "1001"; });
        const struct
        {
            const char* what;
            std::function<void(CallProfileRecord&)> change;
            bool equal;
        } equality[] = {
            {"origin", [](CallProfileRecord& r) { r.origin = 0; }, true},
            {"entry id", [](CallProfileRecord& r) { r.entryId = 310; }, true},
            {"opened for", [](CallProfileRecord& r) { r.openedFor = 19; }, true},
            {"lines", [](CallProfileRecord& r) { r.lines = 1; }, true},
            {"codec mode", [](CallProfileRecord& r) { r.codecMode = 1; }, true},
            {"coord mode", [](CallProfileRecord& r) { r.coordMode = 1; }, true},
            {"coding extra", [](CallProfileRecord& r) { r.coding.fec = 2; }, false},
            {"second address", [](CallProfileRecord& r) { r.secondRemoteAddress = "2"; }, false},
        };
        for (const auto& row : equality) {
            CallProfileRecord other(base);
            row.change(other);
            QVERIFY2((other == base) == row.equal, row.what);
        }

        CallProfileRecord self = named([](CallProfileRecord& r) { r.lines = 1; r.secondRemoteAddress = "2"; });
        const CallProfileRecord& alias = self;
        self = alias;
        QCOMPARE(self.name, QStringLiteral("Studio"));
        QCOMPARE(self.secondRemoteAddress, QStringLiteral("2"));
        self.reset();
        QVERIFY(self.name.isEmpty() && self.secondRemoteAddress.isEmpty());
        QCOMPARE(self.network, 256);
        QCOMPARE(self.lines, -1);
    }

    // Only where a default or a shared table could go wrong.
    void converters()
    {
        const struct
        {
            QString got;
            const char* expected;
        } labels[] = {
            {Page::callProtocolLabel(0), "SIP"},
            {Page::callProtocolLabel(-1), "SIP"},
            {Page::natTypeLabel(0), "Unknown"},
            {Page::accessStateLabel(0), "Not active"},
            {Page::connectionStateLabel(0), "Disabled"},
            {Page::relayStateLabel(8), "Disabled"},
            {QString::fromStdString(Page::inputEventKey(14)), "input_event_none"},
            {QString::fromStdString(Page::relayStateKey(-1)), "relay_state_none"},
            {QString::number(Page::inputEventFromKey("INPUT_EVENT_R1")), "0"},
            {QString::number(Page::relayStateFromKey("relay_state_onair ")), "0"},
        };
        for (const auto& row : labels)
            QCOMPARE(row.got, QString::fromLatin1(row.expected));
        for (int code = 0; code <= 13; ++code)
            QCOMPARE(Page::inputEventFromKey(Page::inputEventKey(code)), code);
        for (int code = 0; code <= 7; ++code)
            QCOMPARE(Page::relayStateFromKey(Page::relayStateKey(code)), code);
        QVERIFY(!Page::qstringLessCaseInsensitive("Studio", "studio"));
        QVERIFY(!Page::qstringLessCaseInsensitive("studio", "Studio"));
        QVERIFY(Page::qstringLessCaseInsensitive("alpha", "Beta"));
    }

    void itemValueAndRouting()
    {
        SettingsFixture f;
        QVERIFY(f.start());
        auto* page = new QPravikMenuItems(999, f.page);
        f.page->pushPage(page);
        auto* item = new QPravikMenuItem(200, QPravikMenuItem::ChoiceList, page);
        page->addItem(item);
        QVERIFY(!Page::itemValue(item));
        item->addChoice(-1, QStringLiteral("None"));
        item->addChoice(3, QStringLiteral("Info"));
        QVERIFY(!Page::itemValue(item));
        item->setCurrentValue(-1, true, true);
        QCOMPARE(Page::itemValue(item), std::optional<int>(-1));

        // Neither an item without a page nor a menu of no area reacts.
        QPravikMenuItem orphan(SettingsId::DefaultNetworkItem, QPravikMenuItem::ChoiceList, nullptr);
        f.unit.clearReceived();
        f.page->itemChanged(&orphan);
        f.page->itemChanged(item);
        f.page->selectionAccepted(item, nullptr);
        QVERIFY(f.unit.requestBodies().isEmpty());
        QVERIFY(f.shownMessage().isEmpty());
    }

    void loadedProfileDialsLine1()
    {
        SettingsFixture f;
        QVERIFY(f.start());
        QVERIFY(f.loadDevice());
        f.page->editedProfile.remoteAddress = QStringLiteral("1001");
        f.page->editedProfile.secondRemoteAddress = QStringLiteral("1002");
        emit f.page->menuItemChanges(nullptr, QPravik::PageCallProfiles1);
        QCOMPARE(f.window->connectionPage()->panel(1)->text(0), QStringLiteral("1001,1002"));
        QVERIFY(f.window->connectionPage()->panel(2)->text(0).isEmpty());
    }
};

QTEST_MAIN(TestSettingsFrame)
#include "tst_settingsframe.moc"
