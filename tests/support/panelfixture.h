#pragma once

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QRegularExpression>

#include <cstdint>

#include "audio/taudiosettings.h"
#include "audio/tcomravennacontroller.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "model/tcomdevice.h"
#include "model/unitfirmware.h"
#include "panel/kit/controls.h"
#include "panel/kit/popup.h"
#include "panel/pages/panelshared.h"
#include "panel/pages/qpravikaudiopage.h"
#include "panel/pages/qpravikheadphonewidget.h"
#include "panel/pages/qpravikloginpage.h"
#include "panel/pages/qpravikmainpage.h"
#include "panel/pages/qpravikwindow.h"
#include "tests/support/unitsimulator.h"

// The panel window shown on the front-panel session, linked to the simulated
// unit and logged in through its login page, as an operator does: the set-up
// pass loads the device, the matrix, the audio settings, the softkeys and the
// module from the unit's scripted answers (set the public texts before
// login()). Pages are reached through the panel's own buttons and keys.
// Writes are taken unless refuse() names them.
//
//   PanelFixture panel("1.6.5");
//   panel.audioValues = "auxiliary_board:yes;input1_gain:10;";
//   QVERIFY(panel.login());
//   QVERIFY(panel.open(QPravik::PageAudio));
//   panel.refuse("input1_gain");
struct PanelFixture
{
    explicit PanelFixture(QByteArray version = "2.0.9", int level = AdministratorLevel)
        : version(std::move(version)), level(level), savedLevel(currentAccessLevel),
          savedFirmware(unitFirmwareVersion)
    {
    }
    ~PanelFixture()
    {
        delete window;
        frontPanelCom()->disconnectFromUnit();
        // The models outlive the test: nothing of this unit carries over, and
        // the next login loads them all anew.
        frontPanelDevice()->clear(true);
        frontPanelAudioSettings()->reset();
        frontPanelMatrixSettings()->reset();
        frontPanelRavenna()->reset();
        currentAccessLevel = savedLevel;
        unitFirmwareVersion = savedFirmware;
    }
    PanelFixture(const PanelFixture&) = delete;
    PanelFixture& operator=(const PanelFixture&) = delete;

    // What the unit answers to the reads of a login's set-up pass.
    QByteArray deviceOptions = "ravenna,record_1,hardware_1";
    QByteArray networks = "aoip,eth.0";
    QByteArray deviceValues = "aoip_version:2.1;sip_state:registered;sip_state2:unregistered;"
                              "default_network:eth.0;secondary_network:eth.0;cable:yes;codec_mode:cmode_normal;"
                              "coord_mode:disabled;codec:OPUS/48000/stereo/128000;dcodec_1:;dcodec_2:;"
                              "operation_mode:standard;dstream_mode:disabled;aes67_reset:off;";
    QByteArray matrixValues = "matrix_opt:00000000;";
    QByteArray audioValues = "auxiliary_board:yes;";
    // False: the unit refuses every write (PARAM, and DO but subscriptions and requests).
    bool takesWrites = true;

    // Connects, scripts the unit and logs in at the fixture's level; true on
    // the main page with the set-up pass done.
    bool login()
    {
        unit.setDefaultActions({UnitSimulator::errorReply(204)});
        rescript();
        if (!unit.listen() || !frontPanelCom()->connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0)
            || !unit.waitUntil([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }))
            return false;
        window = new QPravikWindow;
        window->resize(800, 480);
        window->show();
        return logIn();
    }
    // The link drops and comes back; the operator logs in again.
    bool loginAgain()
    {
        frontPanelCom()->disconnectFromUnit();
        if (!unit.waitUntil([] { return frontPanelCom()->state() != RpcConnection::ConnectedState; }))
            return false;
        window->pageActivated(QPravik::PageLogin);
        if (!frontPanelCom()->connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0)
            || !unit.waitUntil([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }))
            return false;
        return logIn();
    }

    // The unit refuses the next write of key with an ERROR reply (every
    // write of it when times is -1).
    void refuse(const QByteArray& key, int times = 1)
    {
        unit.onRequestMatching(QRegularExpression("^PARAM;(?!.*GET:).*\\b" + QRegularExpression::escape(key) + ":"),
                               {UnitSimulator::reply("PARAM;" + key + ":105-invalid value;return:ERROR;")}, times);
    }
    // The writes received since the last call, forgetting everything received.
    QByteArrayList takeWrites()
    {
        QByteArrayList writes = unit.takeRequestBodies();
        writes.removeIf([](const QByteArray& body) {
            return !body.startsWith("PARAM;") || body.contains("GET:") || body.contains("LIST:");
        });
        return writes;
    }

    // Opens a page as the operator does: the main page's mixing key, the
    // audio pages' buttons and tabs, the headphone key and the headphone
    // pages' navigation buttons.
    bool open(QPravik::Page page)
    {
        const int shown = window->page();
        if (shown == page)
            return window->pageWidget(page)->isVisible();
        if (page == QPravik::PageMain) {
            if (isHeadphonePage(shown))
                static_cast<QPravikHeadphoneWidget*>(window->pageWidget(shown))->navigationButton(2)->click();
            else if (isAudioPage(shown))
                static_cast<QPravikAudioWidget*>(window->pageWidget(shown))->homeButton->click();
            else
                window->pageActivated(QPravik::PageMain);
        } else if (isAudioPage(page)) {
            if (!isAudioPage(shown)) {
                if (!open(QPravik::PageMain))
                    return false;
                window->mainPage()->mixingKey->click();
            }
            QWidget* from = window->pageWidget(window->page());
            if (page == QPravik::PageAudio) {
                if (window->page() != QPravik::PageAudio)
                    clickAt(from, QPoint(692, 407)); // back
            } else {
                if (window->page() == QPravik::PageAudio)
                    static_cast<QPravikAudioPage*>(from)->settingsButton->click();
                static const char* const tabs[] = {"Input\nSettings", "Aux\nSettings", "Output\nSettings"};
                if (page != window->page())
                    clickText(window->pageWidget(window->page()), QString::fromLatin1(tabs[page - QPravik::PageAudioInput]));
            }
        } else if (isHeadphonePage(page)) {
            if (!isHeadphonePage(shown))
                headphoneKey();
            // Left to right: "1", "3", home, "4", "2".
            static const int buttons[] = {0, 4, 1, 3};
            if (window->page() != page)
                static_cast<QPravikHeadphoneWidget*>(window->pageWidget(window->page()))
                    ->navigationButton(buttons[page - QPravik::PageHeadphone1])
                    ->click();
        }
        return window->page() == page && window->pageWidget(page)->isVisible();
    }
    void headphoneKey()
    {
        QKeyEvent key(QEvent::KeyPress, QPravik::HeadphoneKey, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &key);
    }

    // The operator engages a knob and turns it by steps, then lets it go.
    static void turn(QPravikKnob* knob, int steps)
    {
        knob->setChecked(true);
        for (int i = 0; i < qAbs(steps); ++i) {
            QKeyEvent key(QEvent::KeyPress, steps > 0 ? Qt::Key_Plus : Qt::Key_Minus, Qt::NoModifier);
            QCoreApplication::sendEvent(knob, &key);
        }
        knob->setChecked(false);
    }

    // The window's message box: its text, empty when none is open; and how
    // many are open.
    QString shownMessage() const
    {
        const QList<QPravikMessage*> boxes = openMessages();
        return boxes.isEmpty() ? QString() : boxes.first()->message;
    }
    QList<QPravikMessage*> openMessages() const
    {
        QList<QPravikMessage*> open;
        for (QPravikMessage* box : window->findChildren<QPravikMessage*>())
            if (box->isVisible())
                open << box;
        return open;
    }
    void closeMessages()
    {
        for (QPravikMessage* box : openMessages())
            box->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static bool isHeadphonePage(int page) { return page >= QPravik::PageHeadphone1 && page <= QPravik::PageHeadphone4; }
    static bool isAudioPage(int page) { return page >= QPravik::PageAudio && page <= QPravik::PageAudioOutput; }

    QByteArray version;
    int level;
    UnitSimulator unit;
    QPravikWindow* window = nullptr;

    // The unit answers from the public texts as they stand now, its rules
    // of refuse() forgotten.
    void rescript()
    {
        unit.clearRules();
        unit.onRequestMatching(QRegularExpression("^DO;"), {UnitSimulator::reply("DO;return:OK;")});
        unit.onRequestMatching(QRegularExpression("GET:"), {UnitSimulator::reply("PARAM;" + deviceValues + "return:OK;")});
        unit.onRequest("PARAM;target:general;LIST:device_opts;",
                       {UnitSimulator::reply("PARAM;device_opts:" + deviceOptions + ";return:OK;")});
        unit.onRequest("PARAM;target:network;LIST:network;",
                       {UnitSimulator::reply("PARAM;network:" + networks + ";return:OK;")});
        unit.onRequestMatching(QRegularExpression("GET:matrix_in"),
                               {UnitSimulator::reply("PARAM;" + matrixValues + "return:OK;")});
        unit.onRequestMatching(QRegularExpression("GET:rav_"),
                               {UnitSimulator::reply("PARAM;rav_firmware_rev:7;return:OK;")});
        // After the module's rule: the audio settings read "rav_in_pair" too.
        unit.onRequestMatching(QRegularExpression("GET:auxiliary_board"),
                               {UnitSimulator::reply("PARAM;" + audioValues + "return:OK;")});
        unit.onRequest("PARAM;target:general;GET:device;GET:version;GET:builddate;",
                       {UnitSimulator::reply("PARAM;device:pravik;builddate:2026;version:" + version + ";return:OK;")});
        unit.onRequestMatching(QRegularExpression("GET:password_al"),
                               {UnitSimulator::reply("PARAM;password_al:;password_el:;password_ol:;return:OK;")});
        // Writes are taken; refuse() adds the exceptions, which come later and win.
        unit.onRequestMatching(QRegularExpression("^PARAM;(?!.*GET:)(?!.*LIST:)"),
                               {UnitSimulator::reply(takesWrites ? "PARAM;return:OK;" : "PARAM;return:ERROR;")});
        if (!takesWrites)
            unit.onRequestMatching(QRegularExpression("^DO;(?!action:(subscribe|unsubscribe|request);)"),
                                   {UnitSimulator::reply("DO;return:ERROR;")});
    }

private:
    bool logIn()
    {
        auto* login = static_cast<QPravikLoginPage*>(window->pageWidget(QPravik::PageLogin));
        QPravikSwitch* switches[] = {login->operatorSwitch, login->expertSwitch, login->administratorSwitch};
        if (!switches[level]->isChecked())
            switches[level]->click();
        login->loginButton->click();
        closeMessages(); // a newer firmware is pointed out
        unit.clearReceived();
        return window->page() == QPravik::PageMain && frontPanelMatrixSettings()->state() == TComController::Ready
            && frontPanelAudioSettings()->state() == TComController::Ready;
    }
    static void clickText(QWidget* page, const QString& text)
    {
        for (QAbstractButton* button : page->findChildren<QAbstractButton*>())
            if (button->text() == text && button->isVisible()) {
                button->click();
                return;
            }
    }
    static void clickAt(QWidget* page, QPoint topLeft)
    {
        for (QAbstractButton* button : page->findChildren<QAbstractButton*>())
            if (button->pos() == topLeft && button->isVisible()) {
                button->click();
                return;
            }
    }

    int savedLevel;
    std::uint32_t savedFirmware;
};
