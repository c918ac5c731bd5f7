#include "panel/pages/qpravikwindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>

#include "audio/taudiosettings.h"
#include "audio/tcomravennacontroller.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/protocolkeys.h"
#include "link/valuetext.h"
#include "model/locale.h"
#include "model/qpraviksoftkeys.h"
#include "model/tcomaudioconnection.h"
#include "model/tcombaseconnection.h"
#include "model/tcomdataconnection.h"
#include "model/tcomrequesthelper.h"
#include "model/textconv.h"
#include "model/unitfirmware.h"
#include "panel/kit/connpanel.h"
#include "panel/kit/popup.h"
#include "panel/pages/qpravikaudioauxiliarypage.h"
#include "panel/pages/qpravikaudioinputpage.h"
#include "panel/pages/qpravikaudiooutputpage.h"
#include "panel/pages/qpravikaudiopage.h"
#include "panel/pages/qpravikconnectionpage.h"
#include "panel/pages/qpravikheadphonemirrorpage.h"
#include "panel/pages/qpravikheadphoneslotpage.h"
#include "panel/pages/qpravikloginpage.h"
#include "panel/pages/qpravikmainpage.h"
#include "panel/settings/qpraviksettingspage.h"

namespace {

constexpr int kNoLevel = 99;
constexpr int kSetupIntervalMs = 5000;
constexpr int kKeepAliveIntervalMs = 15000;
constexpr int kRestartDelayMs = 100;
constexpr int kRequestTimeoutMs = 5000;

// Words of the unit's messages that only the window uses.
const char* const kRemoteNumbers = "remote_numbers";
const char* const kReinit = "reinit";
const char* const kSystemStatus = "system_status";
const char* const kMessage = "message";

// Where each remote number of the unit goes: the line's panel and its text index.
const struct
{
    const char* key;
    int line;
    int index;
} kRemoteNumberKeys[] = {
    {"remote_aoip1", 1, 0}, {"remote_aoip2", 2, 0}, {"remote_isdn1", 1, 1},
    {"remote_isdn2", 2, 1}, {"remote_voice", 2, 2},
};

bool isHeadphonePage(int page)
{
    return page >= QPravik::PageHeadphone1 && page <= QPravik::PageHeadphone4;
}

const std::string& valueOf(const TCommand& command, const std::string& key)
{
    return *command.param(key, true);
}

bool hasKey(const TCommand& command, const std::string& key)
{
    return command.param(key, false) != nullptr;
}

// Line 1 is the first program line, line 2 the second or the coordination line.
int lineOf(const TComBaseConnection* connection)
{
    return connection->kind() == TComBaseConnection::Line1 ? 1 : 2;
}

void setQuality(IPravikStatusPanel* panel, int line, const TComAudioConnection* call, int stream)
{
    panel->setLinkQuality(line, call->txStatistics(stream).netQuality, call->rxStatistics(stream).netQuality);
    panel->setLinkQualityEnabled(line, true);
}

void clearQuality(IPravikStatusPanel* panel, int line)
{
    panel->setLinkQualityEnabled(line, false);
    panel->setLinkQuality(line, 100, 100);
}

// A meter level of a level message; a key the unit left out shows no value.
int levelOf(const TCommand& command, const std::string& key)
{
    const std::string* value = command.param(key, false);
    return value ? fromString<int>(*value) : kNoLevel;
}

// What the settings menu takes as a change of the audio module, to redraw an
// open Audio menu.
TCommand coreAudioChange()
{
    TCommand info(TCommand::Info);
    info.setParam(wire::key::infoType(), wire::event::audioChangeset());
    info.setParam(wire::key::infoSource(), "core");
    return info;
}

} // namespace

QPravikWindow::QPravikWindow(QWidget* parent)
    : QWidget(parent)
{
    std::fill(std::begin(inputLevels), std::end(inputLevels), kNoLevel);
    // The models are made in this order on first use, and die in the reverse.
    zel::CCom* session = frontPanelCom();
    TComDevice* device = frontPanelDevice();
    TAudioSettings* audio = frontPanelAudioSettings();
    TMatrixSettings* matrix = frontPanelMatrixSettings();
    if (session->setIdentity("ui", "pv_frontpanel") != 0) {
        qWarning("Failed to initialize zel::CCom!");
        return;
    }
    connect(session, &zel::CCom::stateChanged, this, &QPravikWindow::stateChanged);
    connect(session, &zel::CCom::messageReceived, this, &QPravikWindow::messageReceived);
    connect(session, &zel::CCom::sendSyncMsgCompleted, this, &QPravikWindow::sendSyncMsgCompleted);
    connect(device, &TComDevice::deviceStateChanged, this, &QPravikWindow::deviceStateChanged);
    connect(device, &TComDevice::connectionAdded, this, &QPravikWindow::connectionAdded);
    connect(device, &TComDevice::connectionRemoved, this, &QPravikWindow::connectionRemoved);
    connect(device, &TComDevice::dataConnectionStateChanged, this, &QPravikWindow::dataConnectionStateChanged);
    connect(device, &TComDevice::audioConnectionStateChanged, this, &QPravikWindow::audioConnectionStateChanged);
    connect(device, &TComDevice::audioCallStatusChanged, this, &QPravikWindow::audioCallStatusChanged);
    connect(device, &TComDevice::audioCallStatisticChanged, this, &QPravikWindow::audioCallStatisticChanged);
    connect(device, &TComDevice::audioCallRelayChanged, this, &QPravikWindow::audioCallRelayChanged);
    connect(audio, &TAudioSettings::controllerStateChanged, this, &QPravikWindow::audioControllerStateChanged);
    connect(audio, &TAudioSettings::controllerParamChanged, this, &QPravikWindow::audioControllerParamChanged);
    setupTimer.setInterval(kSetupIntervalMs);
    keepAliveTimer.setInterval(kKeepAliveIntervalMs);
    connect(&setupTimer, &QTimer::timeout, this, &QPravikWindow::setupControllers);
    connect(&keepAliveTimer, &QTimer::timeout, this, &QPravikWindow::keepAliveEvent);

    // The pages read the models while they are built without waking each other.
    matrix->blockSignals(true);
    audio->blockSignals(true);
    createPages();
    audio->blockSignals(false);
    matrix->blockSignals(false);
}

QPravikWindow::~QPravikWindow()
{
    setupTimer.disconnect();
    keepAliveTimer.disconnect();
    frontPanelCom()->disconnect(this);
    frontPanelCom()->disconnectFromUnit();
    deferredMessages.clear();
}

void QPravikWindow::createPages()
{
    setWindowFlags(Qt::FramelessWindowHint);
    setFixedSize(800, 480);
    stack = new QStackedLayout;
    stack->setStackingMode(QStackedLayout::StackOne);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    pages[QPravik::PageLogin] = new QPravikLoginPage(this);
    pages[QPravik::PageMain] = new QPravikMainPage(this);
    pages[QPravik::PageConnection] = new QPravikConnectionPage(this);
    pages[QPravik::PageAudio] = new QPravikAudioPage(this);
    pages[QPravik::PageAudioInput] = new QPravikAudioInputPage(this);
    pages[QPravik::PageAudioAuxiliary] = new QPravikAudioAuxiliaryPage(this);
    pages[QPravik::PageAudioOutput] = new QPravikAudioOutputPage(this);
    pages[QPravik::PageHeadphone1] = new QPravikHeadphone1Page(this);
    pages[QPravik::PageHeadphone2] = new QPravikHeadphone2Page(this);
    pages[QPravik::PageHeadphone3] = new QPravikHeadphone3Page(this);
    pages[QPravik::PageHeadphone4] = new QPravikHeadphone4Page(this);
    auto* settings = new QPravikSettingsPage(this);
    pages[QPravik::PageSettings] = settings;

    for (int page = 0; page < PageCount; ++page)
        stack->addWidget(pages[page]);
    for (int page = QPravik::PageAudio; page <= QPravik::PageAudioOutput; ++page)
        connect(static_cast<QPravikAudioWidget*>(pages[page]), &QPravikAudioWidget::pageActivated, this,
                &QPravikWindow::pageActivated);
    for (int page = QPravik::PageHeadphone1; page <= QPravik::PageHeadphone4; ++page)
        connect(static_cast<QPravikHeadphoneWidget*>(pages[page]), &QPravikHeadphoneWidget::pageActivated, this,
                &QPravikWindow::pageActivated);
    for (int page : {QPravik::PageHeadphone1, QPravik::PageHeadphone2})
        connect(static_cast<QPravikHeadphoneWidget*>(pages[page]),
                &QPravikHeadphoneWidget::copySettingsClicked, this, &QPravikWindow::copyMonitoringClicked);
    connect(settings, &QPravikMenuWidget::pageActivated, this, &QPravikWindow::pageActivated);
    connect(settings, &QPravikMenuWidget::menuItemChanges, this, &QPravikWindow::menuItemChanges);

    setLayout(stack);
    stack->setCurrentIndex(currentPage);
}

QWidget* QPravikWindow::pageWidget(int index) const
{
    return index >= 0 && index < PageCount ? pages[index] : nullptr;
}

QPravikMainPage* QPravikWindow::mainPage() const
{
    return static_cast<QPravikMainPage*>(pages[QPravik::PageMain]);
}

QPravikConnectionPage* QPravikWindow::connectionPage() const
{
    return static_cast<QPravikConnectionPage*>(pages[QPravik::PageConnection]);
}

QPravikSettingsPage* QPravikWindow::settingsPage() const
{
    return static_cast<QPravikSettingsPage*>(pages[QPravik::PageSettings]);
}

IPravikStatusPanel* QPravikWindow::statusPanel(int page) const
{
    return dynamic_cast<IPravikStatusPanel*>(pageWidget(page));
}

int QPravikWindow::shownStripPage() const
{
    if (!stack || stack->currentIndex() == QPravik::PageSettings)
        return -1;
    return stack->currentIndex();
}

void QPravikWindow::refreshShownPage()
{
    const int page = shownStripPage();
    if (page >= 0)
        updatePage(page);
}

// ---- pages and keys ---------------------------------------------------------

void QPravikWindow::pageActivated(QPravik::Page page)
{
    if (page == currentPage || !stack || page < QPravik::PageLogin || page > QPravik::PageStatusMenu)
        return;
    if (page != QPravik::PageLogin && frontPanelCom()->state() != RpcConnection::ConnectedState)
        return;

    QPravikSettingsPage* settings = settingsPage();
    int target = page;
    if (page > QPravik::PageSettings) {
        // A line's codec and call profiles stay closed while it holds a call.
        const int line = page == QPravik::PageCodec1Menu || page == QPravik::PageCallProfiles1   ? 1
                         : page == QPravik::PageCodec2Menu || page == QPravik::PageCallProfiles2 ? 2
                                                                                                : 0;
        if (line && frontPanelDevice()->findAudioConnection(line))
            return;
        int entry = 0;
        int shortcut = -1;
        switch (page) {
        case QPravik::PageNetworkMenu: entry = 1; break;
        case QPravik::PageCodingMenu:
        case QPravik::PageCodec1Menu:
        case QPravik::PageCodec2Menu: entry = 2; shortcut = page; break;
        case QPravik::PageAudioMenu: entry = 3; break;
        case QPravik::PageToolsMenu: entry = 5; break;
        case QPravik::PageBookMenu:
        case QPravik::PageCallProfiles1:
        case QPravik::PageCallProfiles2: entry = 4; shortcut = page; break;
        default: entry = 6; break;
        }
        if (!settings->openEntry(entry, shortcut))
            return;
        target = QPravik::PageSettings;
    } else if (page == QPravik::PageSettings) {
        // After "Exit" there is no menu to go back to: reopening it would leave at once.
        if (settings->currentEntryId <= 0 || !settings->openEntry(settings->currentEntryId, -1))
            return;
    }
    if (target == QPravik::PageSettings && currentPage != QPravik::PageSettings)
        settings->returnPage = QPravik::Page(currentPage);

    currentPage = target;
    if (QWidget* focused = QApplication::focusWidget()) {
        focused->releaseKeyboard();
        focused->clearFocus();
    }
    stack->setCurrentIndex(target);
    if (target != QPravik::PageSettings) {
        pushAudioLevels(target, true);
        updatePage(target);
    }
}

void QPravikWindow::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    if (currentPage == QPravik::PageLogin)
        return;
    // Logged in, a jump back never lands on the login page.
    const auto back = QPravik::Page(qMax(returnPage, int(QPravik::PageMain)));
    switch (event->key()) {
    case QPravik::HeadphoneKey:
        if (isHeadphonePage(currentPage)) {
            pageActivated(back);
        } else {
            if (currentPage != QPravik::PageConnection)
                returnPage = currentPage;
            pageActivated(QPravik::PageHeadphone1);
        }
        break;
    case QPravik::CallKey:
        callKeyHeld = true;
        if (currentPage == QPravik::PageConnection) {
            pageActivated(back);
        } else {
            if (!isHeadphonePage(currentPage))
                returnPage = currentPage;
            pageActivated(QPravik::PageConnection);
        }
        break;
    default:
        break;
    }
}

void QPravikWindow::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
    if (currentPage != QPravik::PageLogin && event->key() == QPravik::CallKey)
        callKeyHeld = false;
}

void QPravikWindow::customEvent(QEvent* event)
{
    event->accept();
    if (event->type() != QPravikEvent::EventType)
        return;
    const auto* pravik = static_cast<QPravikEvent*>(event);
    if (pravik->kind == QPravikEvent::DeferredMessage) {
        // Inside a synchronous call the message waits: the call's end drains it.
        if (!deferredMessages.isEmpty() && frontPanelCom()->isIdle())
            dispatch(deferredMessages.takeFirst());
        return;
    }
    if (pravik->kind != QPravikEvent::KeyPress && pravik->kind != QPravikEvent::KeyRelease)
        return;
    if (currentPage == QPravik::PageLogin || (pravik->key >= 59 && pravik->key <= 65))
        return;
    // A popup that is open keeps the page keys to itself.
    if ((pravik->key == QPravik::HeadphoneKey || pravik->key == QPravik::CallKey) && pravik->fromControl == 0)
        return;
    const QEvent::Type type =
        pravik->kind == QPravikEvent::KeyPress ? QEvent::KeyPress : QEvent::KeyRelease;
    QKeyEvent key(type, pravik->key, Qt::NoModifier, QString(), false, 1);
    if (type == QEvent::KeyPress)
        keyPressEvent(&key);
    else
        keyReleaseEvent(&key);
}

void QPravikWindow::copyMonitoringClicked(int position)
{
    auto* source = qobject_cast<QPravikHeadphoneWidget*>(sender());
    if (!source || position < 1 || position > 4)
        return;
    static_cast<QPravikHeadphoneWidget*>(pages[QPravik::PageHeadphone1 + position - 1])->copySettingsTo(source);
}

// ---- message box --------------------------------------------------------------

void QPravikWindow::showMessage(const QString& text, int autoCloseMs)
{
    if (messagePopup) {
        messagePopup->autoCloseMs = autoCloseMs;
        messagePopup->setMessage(text);
        return;
    }
    auto* box = new QPravikMessage(text, 0, this);
    // The texts come from the unit as often as not: never read as markup.
    box->label->setTextFormat(Qt::PlainText);
    messagePopup = box;
    box->setWindowModality(Qt::ApplicationModal);
    box->move(mapToGlobal(QPoint(0, 0))
              + QPoint((width() - box->width()) / 2, (height() - box->height()) / 2));
    connect(box, &QPravikPopup::popupClosed, this, &QPravikWindow::messagePopupClosed);
    box->autoCloseMs = autoCloseMs;
    box->popup();
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
}

void QPravikWindow::messagePopupClosed()
{
    messagePopup = nullptr;
}

// ---- status strips ----------------------------------------------------------

void QPravikWindow::updatePage(int page)
{
    IPravikStatusPanel* panel = statusPanel(page);
    if (!panel)
        return;
    refreshAudioState(page);
    TComDevice* device = frontPanelDevice();
    panel->setBatteryLevel(device->batteryLevel());

    const std::string& network = device->defaultNetwork();
    const std::uint32_t interfaceClass = interfaceClassFromName(network);
    const TComBaseConnection* data = device->findConnection(3, network);
    const bool dataActive = data && data->state() == 2;
    switch (interfaceClass) {
    case 0x100:
        panel->setNetwork(0x100, 0);
        panel->setDataActive(device->ethernet().cable());
        break;
    case 0x300:
        panel->setNetwork(0x300, device->mobile().technology() + 1);
        panel->setDataActive(dataActive);
        panel->setSignalQuality(device->mobile().state(), device->mobileSignalBars());
        break;
    case 0x400:
        panel->setNetwork(0x400, 0);
        panel->setDataActive(dataActive);
        panel->setSignalQuality(device->wifi().state(), device->wifiSignalBars());
        break;
    default:
        panel->setNetwork(int(interfaceClass), 0);
        panel->setDataActive(false);
        break;
    }
    panel->setProgramMode(device->activeAudioConnection(), device->operationMode());
    panel->setSipState(1, sipStateForLine(1));
    panel->setSipState(2, sipStateForLine(2));
    updateLine(panel, 1);
    updateLine(panel, 2);
}

int QPravikWindow::sipStateForLine(int line) const
{
    TComDevice* device = frontPanelDevice();
    const TComSipAccount& account = line == 2 ? device->aoip().account2() : device->aoip().account1();
    if (account.registered)
        return device->transportForLine(line) != 0 ? 2 : 1;
    return account.user.empty() ? 0 : 3;
}

void QPravikWindow::setLineTexts(int line, const QString& first, const QString& second)
{
    connectionPage()->setLineNote(line, first + QLatin1Char('\n') + second);
    mainPage()->setLineTexts(line, first, second);
}

void QPravikWindow::setLineRemote(int line, const QString& text)
{
    connectionPage()->setLineText(line, text, -1);
    mainPage()->setLineExtra(line, text);
}

void QPravikWindow::showIdleLine(int line)
{
    TComDevice* device = frontPanelDevice();
    const unsigned options = device->deviceOptions();
    if (line == 2 && device->isDoubleStreamMode()) {
        setLineTexts(line, QPravikLocalize::interfaceName(0x300, options), QPravikLocalize::codecName(0x11));
    } else {
        setLineTexts(line,
                     QPravikLocalize::interfaceName(int(interfaceCodeFromName(device->defaultNetwork())), options),
                     QPravikLocalize::codecDescription(line == 1 ? device->codec1() : device->codec2()));
    }
    setLineRemote(line, lineRemoteText(line));
}

QString QPravikWindow::lineRemoteText(int line) const
{
    return connectionPage()->panel(line)->text(frontPanelDevice()->transportForLine(line));
}

void QPravikWindow::showCallCoding(int line, const TComAudioConnection* call)
{
    setLineTexts(line,
                 QPravikLocalize::interfaceName(int(interfaceCodeFromName(call->network())),
                                                frontPanelDevice()->deviceOptions()),
                 QPravikLocalize::codecDescription(call->txCodec()));
}

void QPravikWindow::showQuality(IPravikStatusPanel* panel, int line, const TComAudioConnection* call)
{
    setQuality(panel, line, call, 0);
    if (line == 1 && call->twoStreams())
        setQuality(panel, 2, call, 1);
}

void QPravikWindow::hideQuality(IPravikStatusPanel* panel, int line, const TComAudioConnection* call)
{
    clearQuality(panel, line);
    if (line == 1 && call->twoStreams())
        clearQuality(panel, 2);
}

void QPravikWindow::updateLine(IPravikStatusPanel* panel, int line)
{
    if (!panel)
        return;
    TComDevice* device = frontPanelDevice();
    if (const auto* call = dynamic_cast<const TComAudioConnection*>(device->findAudioConnection(line))) {
        const int state = call->state();
        if (state == TComAudioConnection::SettingUp) {
            panel->setLinkState(line, 3);
        } else if (state == TComAudioConnection::Disconnected) {
            panel->setLinkState(line, 6);
        } else if (state == TComAudioConnection::Connected) {
            const int status = call->status();
            panel->setLinkState(line, status >= 6 && status <= 8 ? 3 : status == 10 ? 5 : 4);
            if (call->txCodec().codec != -1)
                showCallCoding(line, call);
        }
        if (state == TComAudioConnection::Connected && connectionTransport(call) == IpTransport)
            showQuality(panel, line, call);
        else
            hideQuality(panel, line, call);
        if (!call->remoteAddresses().empty())
            setLineRemote(line, fromUnitUtf8(call->remoteAddresses()));
        return;
    }

    const auto* first = dynamic_cast<const TComAudioConnection*>(device->findAudioConnection(1));
    if (line == 2 && first && first->twoStreams())
        setQuality(panel, 2, first, 1);
    else
        clearQuality(panel, line);

    int idle = 0;
    if (device->isReady() && interfaceClassFromName(device->defaultNetwork()) != kInvalidInterface)
        idle = lineRemoteText(line).isEmpty() ? 1 : 2;
    if (line == 1 || device->isDoubleStreamMode() || device->codecMode() == 1) {
        showIdleLine(line);
        panel->setLinkState(line, idle);
    } else {
        panel->setLinkState(2, 0);
    }
}

void QPravikWindow::refreshAudioState(int page)
{
    IPravikStatusPanel* panel = statusPanel(page);
    if (!panel)
        return;
    int state = 0;
    if (playerState == 0)
        state = 1;
    else if (frontPanelAudioSettings()->waveShortcut() && page == QPravik::PageMain)
        state = 2;
    panel->setSoundIdState(state);
}

void QPravikWindow::pushAudioLevels(int page, bool immediate)
{
    IPravikStatusPanel* panel = statusPanel(page);
    if (!panel)
        return;
    panel->setAudioLevels(txL, txR, rxL, rxR, ou1, ou2, immediate);
    if (page == QPravik::PageAudio)
        static_cast<QPravikAudioPage*>(pages[page])->setMeterLevels(inputLevels, InputLevelCount, immediate);
}

void QPravikWindow::resetLevels()
{
    txL = txR = rxL = rxR = ou1 = ou2 = kNoLevel;
    std::fill(std::begin(inputLevels), std::end(inputLevels), kNoLevel);
}

// ---- session ----------------------------------------------------------------

void QPravikWindow::sendLoginInfo()
{
    zel::CCom* session = frontPanelCom();
    TComRequestHelper helper(session);
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::db());
    request.setParam(wire::key::cat(), session->category());
    request.setParam(wire::key::type(), session->controllerType());
    request.setParam("controller_id", "web");
    request.addGet("tabname");
    TComRequestHelper::ValueMap values;
    TComRequestHelper::ValueMap errors;
    helper.getParams(request, values, errors, kRequestTimeoutMs);
    const auto tab = values.find("tabname");
    emit loginClicked(tab == values.end() ? QString() : fromUtf8StdString(tab->second));

    for (int line = 1; line <= 2; ++line)
        connectionPage()->panel(line)->clear();
    for (int page = QPravik::PageAudio; page <= QPravik::PageAudioOutput; ++page)
        static_cast<QPravikAudioWidget*>(pages[page])->refresh();
    for (int page = QPravik::PageHeadphone1; page <= QPravik::PageHeadphone4; ++page)
        static_cast<QPravikHeadphoneWidget*>(pages[page])->refresh();
    startInitialization();
}

void QPravikWindow::startInitialization()
{
    if (frontPanelCom()->state() != RpcConnection::ConnectedState)
        return;
    settingsPage()->readPasswords();
    setupControllers();
    setupTimer.start();
}

bool QPravikWindow::loadDevice()
{
    TComDevice* device = frontPanelDevice();
    if (!device->refresh())
        return false;
    refreshShownPage();

    TComRequestHelper helper(frontPanelCom());
    helper.subscribe(kRemoteNumbers);
    TCommand numbers(TCommand::Param);
    numbers.setParam(wire::key::target(), wire::target::ui());
    numbers.setParam("ui", "pv_frontpanel");
    for (const auto& number : kRemoteNumberKeys)
        numbers.addGet(number.key);
    const bool relays = unitFirmwareVersion > 0x109FF;
    if (relays) {
        for (const char* key : {"relay1_in", "relay2_in", "relay1_out", "relay2_out"})
            numbers.addGet(key);
    }
    TComRequestHelper::ValueMap values;
    TComRequestHelper::ValueMap errors;
    helper.getParams(numbers, values, errors, kRequestTimeoutMs);
    applyRemoteNumbers(values);
    if (relays) {
        for (int relay = 0; relay < 2; ++relay) {
            const std::string number = std::to_string(relay + 1);
            const auto in = values.find("relay" + number + "_in");
            if (in != values.end())
                mainPage()->setRelayInState(relay, in->second == "on");
            const auto out = values.find("relay" + number + "_out");
            if (out != values.end())
                mainPage()->setRelayOutState(relay, out->second == "on");
        }
    }

    if (device->deviceOptions() & kRecordingOption) {
        TCommand recorder(TCommand::Param);
        recorder.setParam(wire::key::target(), wire::target::audio());
        recorder.addGet("rec_status");
        values.clear();
        helper.getParams(recorder, values, errors, kRequestTimeoutMs);
        const auto status = values.find("rec_status");
        if (status != values.end())
            playerState = status->second == "play" || status->second == "play_paused" ? 0 : -1;
    }
    refreshShownPage();

    TCommand levels(TCommand::Do);
    levels.setParam(wire::key::action(), wire::action::subscribe());
    levels.setParam(wire::key::eventType(), wire::link::audioLevels());
    levels.setParam("port", "1");
    levels.setParam("period", "500");
    helper.send(levels, kRequestTimeoutMs);
    TCommand events(TCommand::Do);
    events.setParam(wire::key::action(), "request");
    events.setParam(wire::key::eventType(), "comm_events");
    helper.send(events, kRequestTimeoutMs);
    return true;
}

void QPravikWindow::setupControllers()
{
    // The set-up timer may fire inside a call of the pass itself: a second
    // pass would clear the device under the first.
    if (settingUp)
        return;
    settingUp = true;
    TComDevice* device = frontPanelDevice();
    // Every later stage needs what the device stage loads.
    if (!device->isReady() && !loadDevice()) {
        settingUp = false;
        return;
    }

    TMatrixSettings* matrix = frontPanelMatrixSettings();
    if (matrix->state() == TComController::Unloaded && matrix->load(true))
        mainPage()->refreshAudioConfig();

    TAudioSettings* audio = frontPanelAudioSettings();
    if (audio->state() == TComController::Unloaded && audio->load(true)) {
        frontPanelSoftkeys()->setAuxiliaryBoard(audio->auxiliaryBoard());
        frontPanelSoftkeys()->load();
    }

    TComRavennaController* ravenna = frontPanelRavenna();
    if (audio->state() == TComController::Ready && audio->auxiliaryBoard() && (device->deviceOptions() & kRavennaOption)
        && !device->aes67Reset() && ravenna->state() == TComController::Unloaded
        && ravenna->load({"rav_firmware_rev"})) {
        ravenna->readParams(TComRavennaController::identityKeys());
        settingsPage()->handleCoreEvent(coreAudioChange());
    }
    settingUp = false;
}

void QPravikWindow::resetModels()
{
    frontPanelDevice()->clear(true);
    frontPanelAudioSettings()->reset();
    frontPanelMatrixSettings()->reset();
    frontPanelRavenna()->reset();
    settingsPage()->forgetUnitCapabilities();
}

void QPravikWindow::stateChanged(RpcConnection::ConnectionState state)
{
    switch (state) {
    case RpcConnection::ConnectedState:
        // On the login page the login itself starts the session.
        if (currentPage != QPravik::PageLogin)
            QTimer::singleShot(kRestartDelayMs, this, &QPravikWindow::startInitialization);
        break;
    case RpcConnection::UnconnectedState:
    case RpcConnection::ClosingState: {
        setupTimer.stop();
        keepAliveTimer.stop();
        resetLevels();
        deferredMessages.clear();
        playerState = -1;
        resetModels();
        const int page = shownStripPage();
        if (page >= 0) {
            pushAudioLevels(page, true);
            updatePage(page);
        }
        break;
    }
    default:
        break;
    }
}

void QPravikWindow::keepAliveEvent()
{
    zel::CCom* session = frontPanelCom();
    // A tick during a call is skipped, not delayed.
    if (session->state() != RpcConnection::ConnectedState || !session->isIdle()
        || !frontPanelDevice()->isReady() || frontPanelDevice()->loadNetworks())
        return;
    keepAliveTimer.stop();
    const QString host = session->host();
    const quint16 port = session->port();
    const quint16 udpPort = session->udpPort();
    session->disconnectFromUnit();
    session->connectToUnit(host, port, udpPort);
}

// ---- unit messages ----------------------------------------------------------

void QPravikWindow::messageReceived(const RpcMessage& message)
{
    if (message.type() != RpcMessage::Signal)
        return;
    const TCommand& command = message.command();
    if (command.verb == TCommand::Event && valueOf(command, wire::key::eventType()) == wire::link::audioLevels()) {
        const int page = shownStripPage();
        IPravikStatusPanel* panel = page >= 0 ? statusPanel(page) : nullptr;
        if (!panel)
            return;
        txL = levelOf(command, "txL");
        txR = levelOf(command, "txR");
        rxL = levelOf(command, "rxL");
        rxR = levelOf(command, "rxR");
        ou1 = levelOf(command, "ou1");
        ou2 = levelOf(command, "ou2");
        panel->setAudioLevels(txL, txR, rxL, rxR, ou1, ou2, false);
        if (page == QPravik::PageAudio) {
            for (int i = 0; i < InputLevelCount; ++i)
                inputLevels[i] = levelOf(command, "in" + std::to_string(i + 1));
            static_cast<QPravikAudioPage*>(pages[page])->setMeterLevels(inputLevels, InputLevelCount, false);
        }
        return;
    }
    deferredMessages.append(message);
    if (frontPanelCom()->isIdle())
        QCoreApplication::postEvent(this, new QPravikEvent(QPravikEvent::DeferredMessage));
}

void QPravikWindow::sendSyncMsgCompleted()
{
    if (!deferredMessages.isEmpty())
        QTimer::singleShot(0, this, &QPravikWindow::processDeferredMessages);
}

void QPravikWindow::processDeferredMessages()
{
    // A handler's own calls queue what arrives meanwhile; it is taken here too.
    // Should another call be under way, its end drains the rest.
    while (!deferredMessages.isEmpty() && frontPanelCom()->isIdle())
        dispatch(deferredMessages.takeFirst());
}

void QPravikWindow::dispatch(const RpcMessage& message)
{
    const TCommand& command = message.command();
    if (command.verb == TCommand::Info)
        handleInfoMessage(command);
    else if (command.verb == TCommand::Event)
        handleEventMessage(command);
}

void QPravikWindow::handleInfoMessage(const TCommand& info)
{
    const std::string& type = valueOf(info, wire::key::infoType());
    if (type.empty())
        return;
    const std::string& source = valueOf(info, wire::key::infoSource());
    if (type == wire::event::audioChangeset()) {
        if (source == "aic") {
            frontPanelAudioSettings()->handleInfo(info);
            frontPanelMatrixSettings()->handleInfo(info);
        } else if (source == "zman.0" || source == "bklyn.0") {
            // The module went down: the next set-up pass reloads it.
            if (hasKey(info, kSystemStatus) && !(fromString<int>(valueOf(info, kSystemStatus)) & 1)) {
                frontPanelRavenna()->reset();
                settingsPage()->handleCoreEvent(coreAudioChange());
            }
            if (hasKey(info, wire::event::systemUpdate())) {
                const int progress = fromString<int>(valueOf(info, wire::key::progress()));
                QString text;
                switch (fromString<int>(valueOf(info, wire::event::systemUpdate()))) {
                case 1:
                    text = QStringLiteral("AES67 module update...\n\nUploading firmware %1%\n\nDo not turn off the unit!")
                               .arg(progress);
                    break;
                case 2:
                    text = QStringLiteral("AES67 module update...\n\nInstalling firmware %1%\n\nDo not turn off the unit!")
                               .arg(progress);
                    break;
                case 3: text = QStringLiteral("AES67 module update failed!\n\nPlease reboot the unit!"); break;
                case 4: text = QStringLiteral("AES67 module update finished\n\nPlease reboot the unit!"); break;
                default: break;
                }
                if (!text.isEmpty())
                    showMessage(text, 0);
            }
        } else if (source == "core") {
            frontPanelDevice()->handleInfo(info);
        }
    } else if (type == wire::event::configChangeset()) {
        if (source == "hcc")
            frontPanelSoftkeys()->handleConfigChangeset(info);
    } else if (type == kRemoteNumbers) {
        handleRemoteNumbers(info);
    } else {
        frontPanelDevice()->handleInfo(info);
    }
    settingsPage()->handleCoreEvent(info);
}

void QPravikWindow::applyRemoteNumbers(const std::map<std::string, std::string>& values)
{
    for (const auto& number : kRemoteNumberKeys) {
        const auto found = values.find(number.key);
        if (found != values.end())
            connectionPage()->panel(number.line)->setText(fromUnitUtf8(found->second), number.index);
    }
}

void QPravikWindow::handleRemoteNumbers(const TCommand& info)
{
    applyRemoteNumbers(info.params);
    refreshShownPage();
}

void QPravikWindow::handleEventMessage(const TCommand& event)
{
    const std::string& type = valueOf(event, wire::key::eventType());
    if (type.empty())
        return;
    if (type == wire::event::shuttingdown()) {
        showMessage(tr("System is going down..."), 0);
    } else if (type == wire::event::rebooting()) {
        showMessage(tr("System is restarting..."), 0);
    } else if (type == kReinit) {
        playerState = -1;
        resetModels();
        settingsPage()->readPasswords();
        setupControllers();
        refreshShownPage();
    } else if (type == wire::event::systemUpdate()) {
        const std::string& cause = valueOf(event, wire::key::cause());
        if (cause.empty())
            showMessage(QStringLiteral("System update started...\nDo not turn off the unit!\n\n%1")
                            .arg(frontPanelLocale()->text(valueOf(event, wire::key::state()))),
                        0);
        else
            showMessage(QStringLiteral("System update failed!\n%1\nPlease reboot the unit!")
                            .arg(frontPanelLocale()->text(cause)),
                        0);
    } else if (type == wire::event::display()) {
        const std::string& text = valueOf(event, kMessage);
        if (!text.empty())
            showMessage(fromUtf8StdString(text), 0);
    } else if (type == wire::event::recStatus()) {
        const std::string& state = valueOf(event, wire::key::state());
        if (state == "play" || state == "play_paused")
            playerState = 0;
        else if (state == "stopped" || state == "error")
            playerState = -1;
        const int page = shownStripPage();
        if (page >= 0)
            refreshAudioState(page);
    } else {
        frontPanelDevice()->handleEvent(event);
    }
    if (type != wire::event::relayIn())
        settingsPage()->handleParamEvent(event);
}

// ---- models -------------------------------------------------------------------

void QPravikWindow::audioControllerStateChanged(TComController* controller)
{
    const int page = shownStripPage();
    if (page >= 0 && controller->state() == 0 && (frontPanelDevice()->deviceOptions() & kRecordingOption))
        refreshAudioState(page);
}

void QPravikWindow::audioControllerParamChanged(TComController*, TAudioSettings::CtlrParam param)
{
    const int page = shownStripPage();
    if (page >= 0 && (param == TAudioSettings::WaveFile || param == TAudioSettings::WaveShortcut)
        && (frontPanelDevice()->deviceOptions() & kRecordingOption))
        refreshAudioState(page);
}

void QPravikWindow::deviceStateChanged(TComDevice::DeviceState state)
{
    TComDevice* device = frontPanelDevice();
    switch (state) {
    case TComDevice::RelaysChanged:
        mainPage()->setRelayInState(0, device->relay1().on);
        mainPage()->setRelayInState(1, device->relay2().on);
        return;
    case TComDevice::Aes67ResetChanged:
        // The next set-up pass reloads the module.
        if ((device->hardwareType() & 0xF) && (device->deviceOptions() & kRavennaOption) && device->aes67Reset())
            frontPanelRavenna()->reset();
        return;
    case TComDevice::OperationModeChanged:
        if (frontPanelMatrixSettings()->state() == TComController::Ready)
            frontPanelMatrixSettings()->setOperationMode(device->operationMode());
        break;
    default:
        break;
    }
    refreshShownPage();
    if (state == TComDevice::Loaded)
        keepAliveTimer.start();
}

void QPravikWindow::connectionAdded(TComBaseConnection*)
{
}

void QPravikWindow::connectionRemoved(TComBaseConnection* connection)
{
    if (connection->kind() != 3)
        refreshShownPage();
}

void QPravikWindow::dataConnectionStateChanged(TComDataConnection* connection)
{
    // Only the default network's link lights the data indicator.
    if (connection->network() == frontPanelDevice()->defaultNetwork())
        refreshShownPage();
}

void QPravikWindow::audioConnectionStateChanged(TComAudioConnection* connection)
{
    const int line = lineOf(connection);
    const int state = connection->state();
    if (state == TComAudioConnection::Disconnected) {
        connectionPage()->setLineStatus(line, tr("Releasing call..."));
    } else if (state == TComAudioConnection::Ended) {
        const std::string& cause = connection->cause();
        connectionPage()->setLineStatus(line, cause.empty() ? tr("Call released")
                                                            : tr("Call released (%1)").arg(frontPanelLocale()->text(cause)));
        showIdleLine(line);
    }

    IPravikStatusPanel* panel = statusPanel(shownStripPage());
    if (!panel)
        return;
    if (state == TComAudioConnection::SettingUp) {
        panel->setLinkState(line, 3);
    } else if (state == TComAudioConnection::Disconnected) {
        panel->setLinkState(line, 6);
        hideQuality(panel, line, connection);
    } else if (state == TComAudioConnection::Ended) {
        panel->setLinkState(line, lineRemoteText(line).isEmpty() ? 1 : 2);
        hideQuality(panel, line, connection);
    }
}

void QPravikWindow::audioCallStatusChanged(TComAudioConnection* connection)
{
    const int line = lineOf(connection);
    const int state = connection->state();
    const int status = connection->status();
    const QString remote = fromUnitUtf8(connection->remoteAddresses());
    QPravikConnectionPage* page = connectionPage();
    if (state == TComAudioConnection::SettingUp) {
        if (status == TComAudioConnection::Ringing) {
            page->setLineStatus(line, tr("Incoming call..."));
            setLineRemote(line, remote);
        } else if (status == TComAudioConnection::AutoRedial) {
            page->setLineStatus(line, tr("Call redial pending..."));
        } else {
            page->setLineStatus(line, tr("Call in progress..."));
        }
    } else if (state == TComAudioConnection::Connected) {
        switch (status) {
        case TComAudioConnection::Active:
            if (connection->txCodec().codec != -1)
                showCallCoding(line, connection);
            page->setLineStatus(line, tr("Call in progress (%1)").arg(tr("negociating")));
            setLineRemote(line, remote);
            break;
        case TComAudioConnection::Negotiating:
            page->setLineStatus(line, tr("Call in progress (%1)").arg(tr("negociating")));
            break;
        case TComAudioConnection::WaitingForSync:
            page->setLineStatus(line, tr("Call in progress (%1)").arg(tr("waiting for sync")));
            break;
        case TComAudioConnection::Synchronised:
            showCallCoding(line, connection);
            page->setLineStatus(line, tr("Call established (%1)").arg(tr("synchronized")));
            break;
        case TComAudioConnection::SyncLost:
            page->setLineStatus(line, tr("Call established (%1)").arg(tr("sync lost")));
            break;
        default:
            break;
        }
        if (status >= TComAudioConnection::Negotiating && status <= TComAudioConnection::SyncLost
            && !remote.isEmpty())
            setLineRemote(line, remote);
    }

    if (IPravikStatusPanel* panel = statusPanel(shownStripPage())) {
        if (state == TComAudioConnection::SettingUp) {
            panel->setLinkState(line, 3);
        } else if (state == TComAudioConnection::Connected) {
            if (status >= TComAudioConnection::Active && status <= TComAudioConnection::WaitingForSync) {
                panel->setLinkState(line, 3);
            } else if (status == TComAudioConnection::SyncLost) {
                panel->setLinkState(line, 5);
            } else {
                panel->setLinkState(line, 4);
                const int previous = connection->previousStatus();
                if (previous != TComAudioConnection::Synchronised && previous != TComAudioConnection::SyncLost) {
                    TComDevice* device = frontPanelDevice();
                    panel->setProgramMode(device->activeAudioConnection(), device->operationMode());
                    if (connectionTransport(connection) == IpTransport)
                        showQuality(panel, line, connection);
                }
            }
        }
    }
    settingsPage()->handleCallState(connection);
}

void QPravikWindow::audioCallStatisticChanged(TComAudioConnection* connection)
{
    IPravikStatusPanel* panel = statusPanel(shownStripPage());
    if (panel && connection->kind() == TComBaseConnection::Line2)
        setQuality(panel, 2, connection, 0);
    else if (panel && connection->kind() == TComBaseConnection::Line1)
        showQuality(panel, 1, connection);
    settingsPage()->handleStatistics(connection);
}

void QPravikWindow::audioCallRelayChanged(TComAudioConnection* connection)
{
    if (connection->kind() != TComBaseConnection::Line1 || !connection->relayOutValid())
        return;
    mainPage()->setRelayOutState(0, connection->relayOut1());
    mainPage()->setRelayOutState(1, connection->relayOut2());
}

void QPravikWindow::menuItemChanges(QPravikMenuItem*, int menuId)
{
    if (menuId != QPravik::PageCallProfiles1 && menuId != QPravik::PageCallProfiles2)
        return;
    const CallProfileRecord& profile = settingsPage()->editedProfile;
    if (profile.remoteAddress.isEmpty())
        return;
    QString address = profile.remoteAddress;
    if (!profile.secondRemoteAddress.isEmpty())
        address += QLatin1Char(',') + profile.secondRemoteAddress;
    TComDevice* device = frontPanelDevice();
    if (!device->isReady() || interfaceClassFromName(device->defaultNetwork()) == kInvalidInterface)
        return;
    const int line = menuId == QPravik::PageCallProfiles1 ? 1 : 2;
    const int transport = device->transportForLine(line);
    connectionPage()->setLineText(line, address, transport);
    connectionPage()->setLinkState(line, 2);
    sendRemoteNumber(line, address, transport);
}

void QPravikWindow::sendRemoteNumber(int line, const QString& number, int kind)
{
    if (kind == -1)
        return;
    std::string key = "remote_";
    if (kind == 2)
        key += "voice";
    else
        key += std::string(kind == 1 ? "isdn" : "aoip") + (line == 2 ? "2" : "1");
    TCommand info(TCommand::Info);
    info.setParam(wire::key::infoType(), kRemoteNumbers);
    info.setParam(key, toUnitUtf8(number));
    frontPanelCom()->sendMessage(info);
    mainPage()->setLineExtra(line, number);
}
