#include <QtTest>

#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/tcommand.h"
#include "model/locale.h"
#include "model/qpraviksoftkeys.h"
#include "model/tcomaudioconnection.h"
#include "model/tcomdevice.h"
#include "panel/kit/connpanel.h"
#include "panel/kit/controls.h"
#include "panel/kit/menuselect.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikbanner.h"
#include "panel/pages/qpravikconnectionpage.h"
#include "panel/pages/qpravikmainpage.h"
#include "panel/pages/qpravikwindow.h"
#include "tests/support/unitsimulator.h"

namespace {

// What the unit answers to the device's load: Ethernet by default, one codec.
void scriptDevice(UnitSimulator& unit, const QByteArray& options)
{
    unit.onRequestMatching(QRegularExpression("^DO;"), {UnitSimulator::reply("DO;return:OK;")});
    unit.onRequestMatching(QRegularExpression("^PARAM;.*GET:"),
                           {UnitSimulator::reply("PARAM;aoip_version:2.1;sip_state:registered;sip_state2:unregistered;"
                                                 "jitterab:on;default_network:eth.0;secondary_network:eth.0;"
                                                 "mode:auto;cable:yes;codec_mode:cmode_normal;coord_mode:disabled;"
                                                 "codec:OPUS/48000/stereo/128000;dcodec_1:;dcodec_2:;"
                                                 "operation_mode:standard;dstream_mode:disabled;aes67_reset:off;"
                                                 "return:OK;")});
    unit.onRequest("PARAM;target:general;LIST:device_opts;",
                   {UnitSimulator::reply("PARAM;device_opts:" + options + ";return:OK;")});
    unit.onRequest("PARAM;target:network;LIST:network;",
                   {UnitSimulator::reply("PARAM;network:aoip,eth.0;return:OK;")});
}

template <class Popup>
Popup* openPopup(QWidget* page)
{
    // Closed popups linger until their deferred deletion.
    for (Popup* popup : page->findChildren<Popup*>())
        if (popup->isVisible())
            return popup;
    return nullptr;
}

} // namespace

class MainPagesTest : public QObject
{
    Q_OBJECT
    UnitSimulator* unit = nullptr;
    QPravikWindow* window = nullptr;

    QString shownMessage() const
    {
        auto* box = window->findChild<QPravikMessage*>(QString(), Qt::FindDirectChildrenOnly);
        return box ? box->message : QString();
    }
    void loadDevice(const QByteArray& options = "ip_dcodec")
    {
        scriptDevice(*unit, options);
        QVERIFY(frontPanelDevice()->refresh());
    }

private slots:
    void init()
    {
        currentAccessLevel = OperatorLevel;
        unit = new UnitSimulator;
        unit->setDefaultActions({UnitSimulator::errorReply(204)});
        QVERIFY(unit->listen());
        window = new QPravikWindow;
        window->show(); // so that a page's show reaches it
        QVERIFY(frontPanelCom()->connectToUnit("127.0.0.1", unit->port(), 0));
        QTRY_COMPARE(frontPanelCom()->state(), RpcConnection::ConnectedState);
    }
    void cleanup()
    {
        delete window;
        frontPanelDevice()->clear(true);
        delete unit;
    }

    void bannerTexts()
    {
        QPravikBanner banner;
        const struct { int state; const char* extra; const char* text; } rows[] = {
            {0, "", "Idle"}, {2, "", "Idle"}, {3, "", "Connecting"}, {4, "1001", "Connected / 1001"},
            {5, "1001", "Connected / 1001"}, {6, "", "Releasing"}, {7, "", "Idle"}};
        banner.setLineTexts(2, "eth", "G.722");
        for (const auto& row : rows) {
            banner.setLinkState(2, row.state);
            banner.setLineExtra(0, row.extra); // any line but 1 is line 2
            QCOMPARE(banner.text2->text(), "eth / G.722\n" + QString(row.text));
        }
        banner.setProgramMode(1, 0);
        QVERIFY(banner.caption1->text() == "Program" && banner.caption2->text() == "- - -" && banner.text2->isHidden());
        banner.setProgramMode(0x20, 1);
        QVERIFY(banner.caption1->text() == "Prog. L/R" && banner.caption2->text() == "Coord" && !banner.text2->isHidden());
    }

    void mainPageKeys()
    {
        QPravikMainPage page(window);

        // The Mixing key by level, decided when the page shows.
        page.show();
        QVERIFY(page.mixingKey->isHidden());
        page.hide();
        currentAccessLevel = ExpertLevel;
        page.show();
        QVERIFY(!page.mixingKey->isHidden() && !page.mixingCaption->isHidden());

        // Relay inputs: the contact's name, On in red, Off in white; index 5 is Contact 2.
        page.contactLabelChanged(0, "Studio");
        page.setRelayInState(0, true);
        page.setRelayInState(0, true);
        const auto colour = [&] { return page.contactKeys[0]->palette().color(QPalette::WindowText); };
        QVERIFY(page.contactKeys[0]->text() == "Studio\nOn" && colour() == Qt::red);
        page.setRelayInState(0, false);
        QVERIFY(page.contactKeys[0]->text() == "Studio\nOff" && colour() == Qt::white);
        page.setRelayInState(1, true);
        page.contactLabelChanged(5, "");
        QCOMPARE(page.contactKeys[1]->text(), QString("Contact 2\nOn"));

        // Softkey labels follow the model; function 0 shows nothing.
        frontPanelSoftkeys()->parseSoftkey("softkey3", "C00F01");
        QVERIFY(page.softkeyKeys[2]->text() == QPravikSoftkey::functionName(0, 1) && !page.softkeyKeys[2]->text().isEmpty());
        frontPanelSoftkeys()->parseSoftkey("softkey3", "");
        QVERIFY(page.softkeyKeys[2]->text().isEmpty());

        // Input 2 sits on a left and a right key.
        frontPanelMatrixSettings()->applyReply({{"matrix_in3", "0020,Guest"}});
        QVERIFY(page.inputKeys[1]->text() == "Guest" && page.inputKeys[5]->text() == "Guest");
        frontPanelMatrixSettings()->applyReply({{"matrix_in3", "0020,"}});

        // Option bit 0x800 hides a refreshed group, then every key at the next show.
        loadDevice("hardware_2");
        page.matrixAudioConfigChanged(QPravik::Inputs(0));
        QVERIFY(page.inputKeys[0]->isHidden() && !page.inputKeys[4]->isHidden());
        page.hide();
        page.show();
        QVERIFY(page.inputKeys[7]->isHidden());
        loadDevice();
        page.refreshAudioConfig();
        QVERIFY(!page.inputKeys[0]->isHidden());
        QCOMPARE(page.inputKeys[0]->text(), frontPanelMatrixSettings()->inputName(1));
    }

    void soundIdShortcut()
    {
        QPravikMainPage page(window);
        TAudioSettings* audio = frontPanelAudioSettings();
        audio->setWaveShortcut(false, false);
        audio->setWaveFile("", false);
        unit->takeRequestBodies();
        emit page.statusPanel->soundIdClicked();
        QVERIFY(unit->takeRequestBodies().isEmpty());

        audio->setWaveShortcut(true, false);
        unit->onRequestMatching(QRegularExpression("wave_file"), {UnitSimulator::reply("PARAM;return:OK;")});
        emit page.statusPanel->soundIdClicked();
        emit page.statusPanel->soundIdClicked();
        QCOMPARE(unit->takeRequestBodies(), (QByteArrayList{"PARAM;target:audio;wave_file:/mnt/datax/sound_ID.wav;",
                                                      "PARAM;target:audio;wave_file:;"}));
        audio->setWaveShortcut(false, false);
    }

    void bitrateMerge()
    {
        // 48000 goes between, as the coding key shows below.
        const struct { int current; std::vector<int> merged; } rows[] = {
            {96000, {32000, 64000, 96000}}, {64000, {32000, 64000}}, {-1, {32000, 64000}}};
        for (const auto& row : rows) {
            std::vector<int> rates{32000, 64000};
            QPravikConnectionPage::mergeBitrate(rates, row.current);
            QCOMPARE(rates, row.merged);
        }
    }

    void callAndHangUp()
    {
        loadDevice();
        QPravikConnectionPage page(window);
        QPravikConnPanel* line1 = page.panel(1);
        line1->setText("1001", 0);

        // Refused: the unit's cause, and no call kept.
        const QByteArray con = "DO;action:con;comm_link:audio;network:eth.0;remote_addr:1001;";
        unit->onRequest(con, {UnitSimulator::reply("DO;cause:127-connection active;return:ERROR;")}, 1);
        QTest::mouseClick(line1->info, Qt::LeftButton);
        QCOMPARE(shownMessage(), "Failed to initiate call\n(" + frontPanelLocale()->causeText(127) + ")");
        QVERIFY(!frontPanelDevice()->findAudioConnection(1));

        unit->onRequest(con, {UnitSimulator::reply("DO;id:7;return:OK;")}, 1);
        QTest::mouseClick(line1->info, Qt::LeftButton);
        QVERIFY(frontPanelDevice()->findAudioConnection(1));
        QCOMPARE(frontPanelDevice()->findAudioConnection(1)->id(), 7);
        QCOMPARE(window->connectionPage()->panel(1)->stateLabel->text(), QString("Call in progress..."));

        // While the line is busy the dial pad stays shut, and the coding key offers the unit's
        // rates with the call's own merged in, or says that the unit chooses them.
        line1->dialButton->click();
        QVERIFY(!openPopup<QPravikVirtual>(&page));
        const auto callActive = [](const std::string& autoRate) {
            TCommand event;
            TCommand::parse("EVENT;event_type:1000-call active;id:7;network:eth.0;codec_tx:OPUS/48000/stereo/48000;"
                            "codec_rx:OPUS/48000/stereo/64000;auto_bitrate:" + autoRate + ";", event);
            frontPanelDevice()->handleEvent(event);
        };
        callActive("off");
        unit->onRequestMatching(QRegularExpression("LIST:bitrate;"),
                                {UnitSimulator::reply("PARAM;bitrate:32000,64000;return:OK;")}, 1);
        line1->codingButton->click();
        auto* rates = openPopup<QPravikMenuSelect>(&page);
        QVERIFY(rates && rates->currentRow && rates->currentRow->label->text() == "48 kbit/s");
        QVERIFY(rates->findSelectable(32000) && rates->findSelectable(64000));
        rates->setCurrent(rates->findSelectable(64000));
        unit->onRequestMatching(QRegularExpression("^DO;action:send_user_info;id:7;info:AT#AVTXBITRATE=64000"),
                                {UnitSimulator::reply("DO;return:OK;")}, 1);
        unit->takeRequestBodies();
        rates->okButton->click();
        QCOMPARE(unit->takeRequestBodies().size(), 1);
        callActive("on");
        line1->codingButton->click();
        QVERIFY(shownMessage().startsWith("Auto bit rate is active\n\nTx: Opus ") && shownMessage().endsWith(" 64kbit/s"));

        // Touching the box asks before hanging up.
        QTest::mouseClick(line1->info, Qt::LeftButton);
        auto* confirm = openPopup<QPravikMessage>(&page);
        QVERIFY(confirm);
        unit->takeRequestBodies();
        unit->onRequestMatching(QRegularExpression("^DO;action:dcon;"), {UnitSimulator::reply("DO;return:OK;")}, 1);
        confirm->okButton->click();
        QCOMPARE(unit->takeRequestBodies(), QByteArrayList{"DO;action:dcon;id:7;network:eth.0;"});
    }

    void dialAndHistory()
    {
        loadDevice();
        QPravikConnectionPage page(window);
        QPravikConnPanel* line1 = page.panel(1);

        // A dialled number is kept, lights the line and goes to the unit without a reply.
        const auto lastFrame = [this] { return unit->received().isEmpty() ? QByteArray() : unit->received().last().body; };
        line1->dialButton->click();
        auto* dial = openPopup<QPravikVirtual>(&page);
        QVERIFY(dial);
        dial->lineEdit.setText("2002");
        dial->keys[31]->click();
        QTRY_COMPARE(lastFrame(), QByteArray("INFO;info_type:remote_numbers;remote_aoip1:2002;"));
        QCOMPARE(window->mainPage()->banner->record(1).extra, QString("2002"));
        QVERIFY(line1->text(0) == "2002" && line1->info->state() == 2 && page.statusPanel->lines[0].linkState == 2);
        // Cleared: an empty number, link state 1.
        line1->dialButton->click();
        dial = openPopup<QPravikVirtual>(&page);
        dial->lineEdit.clear();
        dial->keys[31]->click();
        QTRY_COMPARE(lastFrame(), QByteArray("INFO;info_type:remote_numbers;remote_aoip1:;"));
        QCOMPARE(line1->info->state(), 1);

        // History: the line's number is preselected, else the first entry,
        // which goes back to the unit as the bytes it listed.
        unit->onRequest("PARAM;target:db;LIST:addr-history;",
                        {UnitSimulator::reply("PARAM;addr-history:caf\xC3\xA9,2002,3003;return:OK;")});
        for (const char* number : {"3003", "9999"}) {
            line1->setText(number, 0);
            line1->historyButton->click();
            auto* select = openPopup<QPravikMenuSelect>(&page);
            QVERIFY(select && select->currentRow);
            QCOMPARE(select->currentRow->label->text(), QString(number == QByteArray("3003") ? "3003" : "caf\u00e9"));
            select->okButton->click();
        }
        QTRY_COMPARE(lastFrame(), QByteArray("INFO;info_type:remote_numbers;remote_aoip1:caf\xC3\xA9;"));
    }

    void autoRedialAndLevels()
    {
        loadDevice();
        QPravikConnectionPage page(window);
        unit->onRequest("PARAM;target:network;GET:auto_redial_link1;GET:auto_redial_link2;",
                        {UnitSimulator::reply("PARAM;auto_redial_link1:on;auto_redial_link2:off;return:OK;")});
        page.show();
        QPravikSwitch* redial = page.panel(1)->autoRedialSwitch;
        QVERIFY(redial->isChecked() && !page.panel(2)->autoRedialSwitch->isChecked() && !redial->isEnabled());

        // The Operator reaches the phone book but no coding menu.
        page.panel(1)->codingButton->click();
        QCOMPARE(window->page(), int(QPravik::PageLogin));
        page.panel(1)->bookButton->click();
        QCOMPARE(window->page(), int(QPravik::PageSettings));

        // An Expert's refused switch shows the unit's value again.
        page.hide();
        currentAccessLevel = ExpertLevel;
        page.show();
        unit->onRequest("PARAM;target:network;auto_redial_link1:off;",
                        {UnitSimulator::reply("PARAM;auto_redial_link1:122-pin required;return:ERROR;")}, 1);
        redial->click();
        QVERIFY(redial->isChecked());
        QCOMPARE(shownMessage(), QString("Failed to apply changes!"));
    }
};

QTEST_MAIN(MainPagesTest)
#include "tst_mainpages.moc"
