#pragma once

#include <QRegularExpression>

#include <cstdint>

#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "model/tcomdevice.h"
#include "panel/kit/controls.h"
#include "panel/kit/popup.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/panelshared.h"
#include "panel/pages/qpravikwindow.h"
#include "panel/settings/qpraviksettingspage.h"
#include "panel/settings/settingsids.h"
#include "tests/support/firmwareword.h"
#include "tests/support/unitsimulator.h"

// The panel window on the front-panel session, linked to the simulated unit,
// with its settings page, at an access level and a firmware word. Unit
// messages reach the page the way the window hands them on. Requests no rule
// takes are refused at once, so a missing rule fails quickly. Use: start(),
// loadDevice("aoip,eth.0,eth.1"), startCall(5, "audio", "eth.1"), openEntry(1).
struct SettingsFixture
{
    // The unit's answer to every GET of the device's load.
    static constexpr const char* kDeviceValues =
        "PARAM;aoip_version:2.1;sip_state:registered;sip_state2:unregistered;default_network:eth.0;"
        "secondary_network:eth.0;cable:yes;codec_mode:cmode_normal;coord_mode:disabled;"
        "codec:OPUS/48000/stereo/128000;dcodec_1:;dcodec_2:;operation_mode:standard;dstream_mode:disabled;"
        "aes67_reset:off;return:OK;";

    explicit SettingsFixture(int level = AdministratorLevel, std::uint32_t firmware = 0xFFFFFF)
        : firmwareWord(firmware), savedLevel(currentAccessLevel)
    {
        currentAccessLevel = level;
        unit.setDefaultActions({UnitSimulator::errorReply(204)});
    }
    ~SettingsFixture()
    {
        delete window;
        frontPanelCom()->disconnectFromUnit();
        // The device model outlives the test: no call or interface carries over.
        frontPanelDevice()->clear(true);
        currentAccessLevel = savedLevel;
    }

    bool start()
    {
        if (!unit.listen() || !frontPanelCom()->connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0)
            || !unit.waitUntil([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }))
            return false;
        window = new QPravikWindow;
        page = window->settingsPage();
        window->show();
        window->pageActivated(QPravik::PageMain);
        // Menus are built on the page as the operator sees it, so that each
        // row's show-time refresh runs: the Tools entry reads nothing.
        return window->page() == QPravik::PageMain && openEntry(SettingsId::ToolsEntry) && page->isVisible();
    }

    // Opens the settings page on a root entry (1-6) from the main page's side,
    // as the window's menu shortcuts do.
    bool openEntry(int entry)
    {
        static const QPravik::Page pages[] = {QPravik::PageMain,        QPravik::PageNetworkMenu,
                                              QPravik::PageCodingMenu,  QPravik::PageAudioMenu,
                                              QPravik::PageBookMenu,    QPravik::PageToolsMenu,
                                              QPravik::PageStatusMenu};
        if (entry < 1 || entry > 6)
            return false;
        window->pageActivated(pages[entry]);
        return window->page() == QPravik::PageSettings && page->currentEntryId == entry;
    }

    // An item of the menu shown, null when it has none.
    QPravikMenuItem* item(int id) const
    {
        QPravikMenuItems* shown = page ? page->currentItems() : nullptr;
        return shown ? shown->findItem(id) : nullptr;
    }
    // Clicks the shown menu's rows in turn, as the operator does: links open
    // their menus, switches wait for their own click.
    bool click(std::initializer_list<int> ids)
    {
        for (int id : ids) {
            if (!click(item(id)))
                return false;
        }
        return true;
    }
    static bool click(QPravikMenuItem* row)
    {
        if (!row || !row->isVisible())
            return false;
        row->page->itemClicked(row->titleLabel);
        return true;
    }
    // Types a text into an item through the keyboard its row opens, and
    // presses OK.
    bool type(int id, const QString& text) { return type(item(id), text); }
    static bool type(QPravikMenuItem* row, const QString& text)
    {
        if (!click(row))
            return false;
        // One closed before may wait for its deletion.
        QPravikVirtual* keyboard = nullptr;
        for (QPravikVirtual* open : row->page->findChildren<QPravikVirtual*>())
            keyboard = open->isVisible() ? open : keyboard;
        if (!keyboard)
            return false;
        keyboard->lineEdit.setText(text);
        keyboard->keys[VirtualKeyboardKeyCount - 1]->click(); // OK
        return true;
    }

    // Loads the device model: the unit's interfaces ("aoip,eth.0" ...), its
    // "device_opts" and the values of every GET.
    bool loadDevice(const QByteArray& networks = "aoip,eth.0", const QByteArray& options = "",
                    const QByteArray& values = kDeviceValues)
    {
        unit.onRequest("PARAM;target:general;LIST:device_opts;",
                       {UnitSimulator::reply("PARAM;device_opts:" + options + ";return:OK;")}, 1);
        unit.onRequest("PARAM;target:network;LIST:network;",
                       {UnitSimulator::reply("PARAM;network:" + networks + ";return:OK;")}, 1);
        // Stays for later reads; a test's own later rules take precedence.
        unit.onRequestMatching(QRegularExpression("GET:"), {UnitSimulator::reply(values)});
        const bool loaded = frontPanelDevice()->refresh();
        unit.clearReceived();
        return loaded;
    }

    // A message of the unit, handled once the condition holds.
    bool push(const QByteArray& body, const std::function<bool()>& handled)
    {
        unit.pushSignal(body);
        return unit.waitUntil(handled);
    }
    // A call the unit reports as running: comm link "audio", "audio2" or "coord_line".
    bool startCall(int id, const QByteArray& link, const QByteArray& network)
    {
        return push("EVENT;event_type:1000-call active;id:" + QByteArray::number(id) + ";comm_link:" + link
                        + ";network:" + network + ";",
                    [id] { return frontPanelDevice()->connection(id) != nullptr; });
    }

    // The text of the settings page's open message popup, empty when none.
    QString shownMessage() const { return page && page->messagePopup ? page->messagePopup->message : QString(); }

    UnitSimulator unit;
    FirmwareWord firmwareWord;
    int savedLevel;
    QPravikWindow* window = nullptr;
    QPravikSettingsPage* page = nullptr;
};
