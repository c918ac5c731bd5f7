#include "panel/settings/qpraviksettingspage.h"

#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QStackedLayout>

#include <algorithm>
#include <iterator>
#include <vector>

#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "model/secretvalue.h"
#include "model/tcomdevice.h"
#include "panel/kit/controls.h"
#include "panel/kit/look.h"
#include "panel/kit/virtualkeyboard.h"
#include "model/textconv.h"
#include "panel/settings/settingsids.h"

using namespace SettingsId;

namespace {

constexpr int kPasswordTimeoutMs = 10000;

} // namespace

QPravikSettingsPage::QPravikSettingsPage(QWidget* parent)
    : QPravikMenuWidget(parent),
      requestHelper(frontPanelCom()),
      ethernetController(frontPanelCom()),
      mobileController(frontPanelCom()),
      wifiController(frontPanelCom()),
      isdnController(frontPanelCom())
{
    buildRootEntries();
    // Labels menu item -> routing-matrix input.
    static const int inputs[] = {0, 1, 2, 3, 8, 4, 5, 6, 7, 9, 10, 14, 15, 16, 18};
    int item = InputLabelItemFirst;
    for (int input : inputs)
        inputLabelItems.emplace(item++, input);
    connect(frontPanelAudioSettings(), &TAudioSettings::controllerParamChanged, this,
            &QPravikSettingsPage::audioControllerParamChanged);
    connect(&ethernetController, &TComNetworkController::controllerParamChanged, this,
            &QPravikSettingsPage::ethernetParamChanged);
}

QPravikSettingsPage::~QPravikSettingsPage() = default;

void QPravikSettingsPage::buildRootEntries()
{
    const struct
    {
        const char* label;
        const char* icon;
    } roots[] = {
        {QT_TR_NOOP("Exit"), ":/images/exit-menu.png"},
        {QT_TR_NOOP("Network"), ":/images/network.png"},
        {QT_TR_NOOP("Coding"), ":/images/coding.png"},
        {QT_TR_NOOP("Audio"), ":/images/audio.png"},
        {QT_TR_NOOP("Book"), ":/images/book.png"},
        {QT_TR_NOOP("Tools"), ":/images/tools.png"},
        {QT_TR_NOOP("Status"), ":/images/status.png"},
    };
    int id = ExitEntry;
    for (const auto& root : roots) {
        auto* entry = new QPravikMenuEntry(id++, entries);
        entry->gridLayout->setContentsMargins(10, 0, 10, 0);
        entry->titleLabel->setText(tr(root.label));
        setPixmapWhenDrawn(entry->iconLabel, QString::fromLatin1(root.icon));
        addEntry(entry);
    }
}

void QPravikSettingsPage::updateAudioEntryState()
{
    if (QPravikMenuEntry* audio = entries->findEntry(AudioEntry))
        audio->setState(currentAccessLevel == OperatorLevel ? QPravikMenuEntry::Disabled
                                                            : QPravikMenuEntry::Normal);
}

void QPravikSettingsPage::showEvent(QShowEvent* event)
{
    updateAudioEntryState();
    QPravikMenuWidget::showEvent(event);
}

// --- helpers shared by the menus ---------------------------------------------

QPravikMenuItem* QPravikSettingsPage::addMenuRow(QPravikMenuItems* page, int id, int type, const QString& title,
                                                 int left, int top, int parentId)
{
    auto* item = new QPravikMenuItem(id, parentId, type, page);
    item->gridLayout->setContentsMargins(left, top, 10, 0);
    item->titleLabel->setText(title);
    page->addItem(item);
    return item;
}

// A menu may lack the item (the module's second interface): off.
bool QPravikSettingsPage::switchOn(const QPravikMenuItem* item)
{
    return item && item->switchButton && item->switchButton->isChecked();
}

void QPravikSettingsPage::selectOrShow(QPravikMenuItem* item, int value, const QString& text)
{
    if (item->setCurrentValue(value, true, true) >= 0 || text.isEmpty())
        return;
    item->setValueText(text, true);
    // The text may read as a choice of another value (a rate shown to the
    // kHz): it picks none.
    item->setCurrentValue(value, false, true);
}

std::string QPravikSettingsPage::interfaceOfMenu(int menuId)
{
    if (menuId == IsdnMenu)
        return "isdn.0";
    const struct {
        int first;
        int last;
        const char* prefix;
    } families[] = {
        {EthernetMenuFirst, EthernetMenuLast, "eth."},
        {MobileMenuFirst, MobileMenuLast, "mobile."},
        {WifiMenuFirst, WifiMenuLast, "wifi."},
    };
    for (const auto& family : families) {
        if (menuId >= family.first && menuId <= family.last)
            return family.prefix + std::to_string(menuId - family.first);
    }
    return {};
}

// --- hooks -------------------------------------------------------------------

namespace {

bool within(int id, int first, int last)
{
    return id >= first && id <= last;
}

} // namespace

void QPravikSettingsPage::goBack()
{
    QPravikMenuItems* left = currentItems();
    const bool leftRecord = left && left->menuId == RecordMenu && left->parentId == CallProfilesMenu;
    QPravikMenuWidget::goBack();
    QPravikMenuItems* cur = currentItems();
    if (!cur)
        return;
    const int menu = cur->menuId;
    // The base cleared the mark; a page still holding edits gets it back.
    if (menu == NetworkMenu) {
        for (int id : {DefaultNetworkItem, SecondaryNetworkItem, CodecModeItem})
            refreshNetworkItem(cur->findItem(id));
    } else if (menu == AoipMenu) {
        refreshDefaultAccountItem(cur);
        header->setModified(aoipControllerMenuModified(cur));
    } else if (menu == IsdnMenu) {
        header->setModified(isdnMenuModified(cur));
    } else if (within(menu, EthernetMenuFirst, EthernetMenuLast)) {
        header->setModified(ethernetMenuModified(cur));
    } else if (within(menu, MobileMenuFirst, MobileMenuLast)) {
        header->setModified(mobileMenuModified(cur));
    } else if (within(menu, WifiMenuFirst, WifiMenuLast)) {
        header->setModified(wifiMenuModified(cur));
    } else if (menu == CodingMenu) {
        updateCodingMenu(cur);
    } else if (menu == RavennaMenu) {
        header->setRefreshVisible(true);
        updateRavennaMenu(cur);
    } else if (menu == InputStreamsMenu) {
        updateInputStreamsMenu(cur);
    } else if (menu == CallProfilesMenu) {
        if (!leftRecord || !profileListStale)
            return;
        profileListStale = false;
        createCallProfilesMenu();
        // The new list takes the old one's place under the same breadcrumb.
        if (currentItems() != cur) {
            stack->removeWidget(cur);
            cur->deleteLater();
        }
    } else if (menu == SoftkeysMenu) {
        updateSoftkeysMenu(cur);
    } else if (menu == StatusMenu) {
        header->setRefreshVisible(true);
    } else if (menu == ConnectionsMenu) {
        header->setRefreshVisible(true);
        updateConnectionsMenu(cur, 1);
        updateConnectionsMenu(cur, 2);
    }
}

bool QPravikSettingsPage::isApplyBusy(int menu) const
{
    const TComDevice* device = frontPanelDevice();
    if (menu == AoipMenu || within(menu, SipAccountMenuFirst, SipAccountMenuLast))
        return device->findAudioConnectionByTransport(IpTransport);
    const std::string interface = interfaceOfMenu(menu);
    if (!interface.empty())
        return device->findConnectionByName(interface);
    if (menu == Codec1Menu)
        return device->findAudioConnection(1);
    if (menu == Codec2Menu)
        return device->findAudioConnection(2);
    return false;
}

bool QPravikSettingsPage::runApplier(QPravikMenuItems* cur)
{
    const int menu = cur->menuId;
    if (menu == AoipMenu)
        return applyAoipControllerMenu(cur);
    if (within(menu, SipAccountMenuFirst, SipAccountMenuLast))
        return applySipAccountMenu(cur);
    if (menu == IsdnMenu)
        return applyIsdnMenu(cur);
    if (within(menu, EthernetMenuFirst, EthernetMenuLast))
        return applyEthernetMenu(cur);
    if (within(menu, MobileMenuFirst, MobileMenuLast))
        return applyMobileMenu(cur);
    if (within(menu, WifiMenuFirst, WifiMenuLast))
        return applyWifiMenu(cur);
    if (menu == Codec1Menu || menu == Codec2Menu)
        return applyCodecCodingMenu(cur);
    if (menu == MonitoringMenu)
        return applyMonitoringMenu(cur);
    if (within(menu, IpAddressingMenuFirst, IpAddressingMenuLast))
        return applyIpAddressingMenu(cur);
    if (within(menu, InputStreamMenuFirst, InputStreamMenuLast))
        return applyInputStreamMenu(cur);
    if (menu == OutputStreamMenu)
        return applyOutputStreamMenu(cur);
    if (menu == RecordMenu && cur->parentId == CallProfilesMenu)
        return applyCallProfile(cur);
    if (menu == RemoteAccessMenu)
        return applyRemoteAccessMenu(cur);
    return true;
}

void QPravikSettingsPage::applyChanges()
{
    QPointer<QPravikMenuItems> cur = currentItems();
    if (!cur) {
        QPravikMenuWidget::applyChanges();
        return;
    }
    const int menu = cur->menuId;
    if (isApplyBusy(menu)) {
        // Nothing is sent; the edits and the mark stay for a later try.
        showMessage(tr("Cannot apply changes\n(a connection is established)"), 0);
        return;
    }
    // The applier reports its own failure. A request waits in a nested loop,
    // so the page may be gone when it returns.
    if (!runApplier(cur) || !cur)
        return;
    if (menu == AoipMenu) {
        refreshDefaultAccountItem(cur);
    } else if (within(menu, MobileMenuFirst, MobileMenuLast) && cur->findItem(PinCodeItem)) {
        // The SIM took its PIN: the Network menu's link leads to the controller now.
        QPravikMenuItems* network = itemsPage(NetworkMenu);
        if (QPravikMenuItem* link = network ? network->findItem(menu) : nullptr) {
            link->setValueText(tr("Configure the Mobile controller"), true);
            link->setLocked(frontPanelDevice()->hasAudioConnection());
        }
        goBack();
    } else if (within(menu, InputStreamMenuFirst, InputStreamMenuLast)) {
        QPravikMenuItem* channel = cur->findItem(StreamChannelItem);
        if (channel && !channel->locked && !itemValue(channel) && editedStreamIn.streamId != 0xFFFF) {
            channel->setValueTextGlobalColor(tr("Press refresh before selecting a channel"), Qt::red, true);
            header->setRefreshVisible(true);
        }
    } else if (menu == OutputStreamMenu) {
        updateOutputStreamMenu(cur);
    } else if (menu == RecordMenu && cur->parentId == CallProfilesMenu) {
        profileListStale = true;
        referenceProfile.assign(editedProfile);
        goBack();
    }
    QPravikMenuWidget::applyChanges();
}

void QPravikSettingsPage::refreshMenu()
{
    QPravikMenuWidget::refreshMenu();
    QPointer<QPravikMenuItems> cur = currentItems();
    if (!cur)
        return;
    showMessage(tr("Refreshing..."), 1000);
    // The message lets pending events run, and one may have closed the page.
    if (!cur)
        return;
    const int menu = cur->menuId;
    if (menu == RavennaMenu) {
        updateRavennaMenu(cur);
    } else if (within(menu, InputStreamMenuFirst, InputStreamMenuLast)) {
        updateInputStreamMenu(cur);
        // The list may have taken the edits' channel or given their stream another id.
        if (cur)
            header->setModified(isInputStreamMenuModified(cur));
    } else if (menu == StatusMenu) {
        updateStatusMenu(cur);
    } else if (menu == ConnectionsMenu) {
        updateConnectionsMenu(cur, 1);
        if (cur)
            updateConnectionsMenu(cur, 2);
    } else if (menu == AoipStatusMenu) {
        updateAoipStatusMenu(cur);
    } else if (within(menu, MobileStatusMenuFirst, MobileStatusMenuLast)) {
        updateMobileStatusMenu(cur, menu);
    }
}

void QPravikSettingsPage::openTarget(QPravikMenuEntry* entry)
{
    QPravikMenuWidget::openTarget(entry);
    QPravikMenuItems* cur = currentItems();
    if (!cur)
        return;
    int id = -1;
    if (cur->menuId == CodingMenu && pendingTarget == QPravik::PageCodec1Menu)
        id = Codec1Menu;
    else if (cur->menuId == CodingMenu && pendingTarget == QPravik::PageCodec2Menu)
        id = Codec2Menu;
    else if (cur->menuId == BookMenu
             && (pendingTarget == QPravik::PageCallProfiles1 || pendingTarget == QPravik::PageCallProfiles2))
        id = CallProfilesMenu;
    // The pending target stays: the call-profile list reads it.
    if (QPravikMenuItem* item = id < 0 ? nullptr : cur->findItem(id))
        itemActivated(item);
}

bool QPravikSettingsPage::entryActivated(QPravikMenuEntry* entry)
{
    if (!QPravikMenuWidget::entryActivated(entry))
        return false;
    switch (entry->id) {
    case ExitEntry: emit pageActivated(returnPage); break;
    case NetworkEntry: buildNetworkMenu(); break;
    case CodingEntry: createCodingMenu(); break;
    case AudioEntry: createAudioMenu(); break;
    case BookEntry: createBookMenu(); break;
    case ToolsEntry: createToolsMenu(); break;
    case StatusEntry: createStatusMenu(); break;
    default: break;
    }
    return true;
}

void QPravikSettingsPage::itemActivated(QPravikMenuItem* item)
{
    QPravikMenuWidget::itemActivated(item);
    if (!item || !item->page)
        return;
    if (!openSubMenu(item))
        activateInPage(item);
}

// Links to a sub-menu of their own id.
bool QPravikSettingsPage::openSubMenu(QPravikMenuItem* item)
{
    const int id = item->id;
    const int menu = item->page->menuId;
    if (id == AoipMenu)
        buildAoipControllerMenu();
    else if (within(id, SipAccountMenuFirst, SipAccountMenuLast))
        buildSipAccountMenu(id);
    else if (id == IsdnMenu)
        createIsdnMenu();
    else if (within(id, EthernetMenuFirst, EthernetMenuLast))
        buildEthernetMenu(id);
    else if (within(id, MobileMenuFirst, MobileMenuLast))
        buildMobileMenu(id);
    else if (within(menu, MobileMenuFirst, MobileMenuLast))
        return false;
    else if (within(id, WifiMenuFirst, WifiMenuLast))
        createWifiMenu(id);
    else if (within(menu, WifiMenuFirst, WifiMenuLast))
        return false;
    else if (id == Codec1Menu || id == Codec2Menu)
        createCodecCodingMenu(id);
    else if (id == AutoBitRateMenu)
        createAutoBitRateMenu();
    else if (id == CallProfilesMenu)
        createCallProfilesMenu();
    else if (menu == CallProfilesMenu)
        return false;
    else if (id == PresetsMenu)
        createPresetsMenu();
    else if (menu == PresetsMenu)
        return false;
    else if (id == SipProfilesMenu)
        createSipProfilesMenu();
    else if (menu == SipProfilesMenu)
        return false;
    else if (id == SnapshotsMenu)
        createSnapshotsMenu();
    else if (menu == SnapshotsMenu || menu == RecordMenu)
        return false;
    else if (id == MonitoringMenu)
        createMonitoringMenu();
    else if (id == RavennaMenu)
        createRavennaMenu();
    else if (within(id, IpAddressingMenuFirst, IpAddressingMenuLast))
        createIpAddressingMenu(id);
    else if (id == InputStreamsMenu)
        createInputStreamsMenu();
    else if (within(id, InputStreamMenuFirst, InputStreamMenuLast))
        createInputStreamMenu(id);
    else if (id == OutputStreamMenu)
        createOutputStreamMenu();
    else if (id == SoundIdMenu)
        createSoundIdMenu();
    else if (id == SoftkeysMenu)
        createSoftkeysMenu();
    else if (within(id, SoftkeyMenuFirst, SoftkeyMenuLast))
        createSoftkeyMenu(id);
    else if (id == LabelsMenu)
        createLabelsMenu();
    else if (id == MiscellaneousMenu)
        createMiscellaneousMenu();
    else if (id == TroubleshootingMenu)
        createTroubleshootingMenu();
    else if (id == PasswordsMenu)
        createPasswordsMenu();
    else if (id == RemoteAccessMenu)
        createRemoteAccessMenu();
    else if (id == ConnectionsMenu)
        createConnectionsMenu();
    else if (id == AoipStatusMenu)
        createAoipStatusMenu();
    else if (within(id, MobileStatusMenuFirst, MobileStatusMenuLast))
        createMobileStatusMenu(id);
    else
        return false;
    return true;
}

// Items that act inside their page: confirmations, popups, loads, the wheel.
void QPravikSettingsPage::activateInPage(QPravikMenuItem* item)
{
    const int id = item->id;
    const int menu = item->page->menuId;
    const bool row = id >= RecordRowBase && item->parentId == menu;
    const QString title = item->titleText();
    if (within(menu, MobileMenuFirst, MobileMenuLast)) {
        if (id == PreferredOperatorItem)
            confirmOperatorScan(item, interfaceOfMenu(menu));
    } else if (within(menu, WifiMenuFirst, WifiMenuLast)) {
        if (id == NetworkListItem)
            openSelection(QString(), item, true);
    } else if (menu == CallProfilesMenu) {
        if (id == NewRecordItem)
            createCallProfileMenu(-1, tr("noname"));
        else if (row && item->type == QPravikMenuItem::SubMenu)
            createCallProfileMenu(id, title);
        else if (row && readCallProfile(id, title))
            loadCallProfile(item);
    } else if (within(menu, PresetsMenu, SnapshotsMenu)) {
        static const char* const loads[] = {QT_TR_NOOP("Load the preset?"), QT_TR_NOOP("Load the SIP profile?"),
                                            QT_TR_NOOP("Load the snapshot?")};
        if (id == NewRecordItem)
            openKeyboard(1, item, true);
        else if (row && item->type == QPravikMenuItem::SubMenu && menu == PresetsMenu)
            createPresetMenu(id, title);
        else if (row && item->type == QPravikMenuItem::SubMenu && menu == SipProfilesMenu)
            createSipProfileMenu(id, title);
        else if (row && item->type == QPravikMenuItem::SubMenu)
            createSnapshotMenu(id, title);
        else if (row)
            showAction(tr(loads[menu - PresetsMenu]), item);
    } else if (menu == RecordMenu) {
        activateRecordAction(item);
    } else if (id == RebootItem) {
        showAction(tr("Are you sure you want to restart the system?"), item);
    } else if (id == ShutdownItem) {
        showAction(tr("Are you sure you want to bring the system down?"), item);
    } else if (menu == TroubleshootingMenu && id == ResetItem) {
        openSelection(QString(), item, true);
    } else if (id == DetailedStatisticsItem || id == LatestAoipStatisticsItem) {
        if (item->parentId == Connection1Item)
            createStatisticsMenu(Statistics1Menu);
        else if (item->parentId == Connection2Item)
            createStatisticsMenu(Statistics2Menu);
    } else if (item->type == QPravikMenuItem::WheelOnRelease && item->wheel && item->wheel->isChecked()
               && itemValue(item)) {
        // Released as the wheel itself would be: the shown choice becomes
        // current and one change is told when it moved.
        item->wheel->setChecked(false);
    }
}

// Load, Update and Delete of a stored record's page; the page's parent is its list.
void QPravikSettingsPage::activateRecordAction(QPravikMenuItem* item)
{
    if (item->parentId < RecordRowBase || item->id < LoadRecordItem || item->id > DeleteRecordItem)
        return;
    static const char* const texts[][3] = {
        {nullptr, nullptr, QT_TR_NOOP("Delete the call profile?")},
        {QT_TR_NOOP("Load the preset?"), QT_TR_NOOP("Update the preset?"), QT_TR_NOOP("Delete the preset?")},
        {QT_TR_NOOP("Load the SIP profile?"), nullptr, QT_TR_NOOP("Delete the SIP profile?")},
        {QT_TR_NOOP("Load the snapshot?"), QT_TR_NOOP("Update the snapshot?"), QT_TR_NOOP("Delete the snapshot?")},
    };
    const int list = item->page->parentId;
    if (!within(list, CallProfilesMenu, SnapshotsMenu))
        return;
    if (list == CallProfilesMenu && item->id == LoadRecordItem) {
        // The record page has read the profile already.
        loadCallProfile(item);
        return;
    }
    if (const char* text = texts[list - CallProfilesMenu][item->id - LoadRecordItem])
        showAction(tr(text), item);
}

// A profile read into editedProfile goes to a line: confirmed at once, or
// the line asked for when both codecs run and no line's book button opened us.
void QPravikSettingsPage::loadCallProfile(QPravikMenuItem* item)
{
    if (!editedProfile.isValid())
        return;
    if (frontPanelDevice()->codecMode() == 0 || pendingTarget == QPravik::PageCallProfiles1
        || pendingTarget == QPravik::PageCallProfiles2) {
        showAction(tr("Load the call profile?"), item);
        return;
    }
    item->clearChoices();
    item->addChoice(1, tr("Program"));
    if (editedProfile.lines & 2)
        item->addChoice(2, tr("Coordination"));
    item->setCurrentValue(1, false, false);
    openSelection(tr("Load the call profile?"), item, true);
}

void QPravikSettingsPage::confirmOperatorScan(QPravikMenuItem* item, const std::string& network)
{
    const TComDevice* device = frontPanelDevice();
    if (device->findConnectionByName(network))
        showMessage(tr("Cannot change setting\n(a connection is established)"), 0);
    else if (device->findConnection(TComBaseConnection::Data, network))
        showMessage(tr("Cannot change setting\n(the data service is active)"), 0);
    else
        showAction(tr("This may take a while\n\nAre you sure to proceed?"), item);
}

void QPravikSettingsPage::prepareKeyboard(QPravikMenuItem* item, QPravikVirtual* keyboard)
{
    QPravikMenuWidget::prepareKeyboard(item, keyboard);
    if (!item || !item->page || !keyboard)
        return;
    // Secrets are not kept: no check puts one back.
    const bool secret = item->type == QPravikMenuItem::Password || item->type == QPravikMenuItem::Pin;
    typedItem = secret ? nullptr : item;
    textBeforeTyping = secret ? QString() : item->valueText();
    if (within(item->page->menuId, PresetsMenu, SnapshotsMenu)) {
        if (item->id == NewRecordItem)
            keyboard->lineEdit.clear();
        return;
    }
    const std::optional<int> level = itemValue(item);
    if (item->id != AccessLevelItem || !level)
        return;
    keyboard->titleLabel.setText(tr("Enter Password"));
    keyboard->lineEdit.clear();
    keyboard->lineEdit.setEchoMode(QLineEdit::Password);
    keyboard->setProperty("vkb_accessLevel", *level);
    // The level changes only once the password is accepted.
    item->setCurrentValue(currentAccessLevel, true, false);
}

void QPravikSettingsPage::undoTyping(QPravikMenuItem* item, const QString& otherwise)
{
    item->setValueText(item == typedItem ? textBeforeTyping : otherwise, false);
}

void QPravikSettingsPage::prepareSelection(QPravikMenuItem* item, QPravikMenuSelect* select)
{
    QPravikMenuWidget::prepareSelection(item, select);
}

void QPravikSettingsPage::itemChanged(QPravikMenuItem* item)
{
    QPravikMenuWidget::itemChanged(item);
    if (item && item->page)
        routeReaction({ItemReaction::Changed, item});
}

void QPravikSettingsPage::keyboardAccepted(QPravikMenuItem* item, QPravikVirtual* keyboard)
{
    QPravikMenuWidget::keyboardAccepted(item, keyboard);
    if (item && item->page)
        routeReaction({ItemReaction::KeyboardAccepted, item, keyboard});
}

void QPravikSettingsPage::selectionAccepted(QPravikMenuItem* item, QPravikMenuSelect* select)
{
    QPravikMenuWidget::selectionAccepted(item, select);
    if (item && item->page)
        routeReaction({ItemReaction::SelectionAccepted, item, nullptr, select});
}

bool QPravikSettingsPage::openEntry(int entryId, int target)
{
    updateAudioEntryState();
    return QPravikMenuWidget::openEntry(entryId, target);
}

std::optional<int> QPravikSettingsPage::itemValue(const QPravikMenuItem* item)
{
    if (!item || item->currentIndex < 0 || item->currentIndex >= item->choices.size())
        return std::nullopt;
    return item->choices.at(item->currentIndex).value;
}

// --- window calls ------------------------------------------------------------

bool QPravikSettingsPage::readPasswords()
{
    const std::vector<std::string> keys = {"password_al", "password_el", "password_ol"};
    std::map<std::string, std::string> values;
    // A refusal may come back as the unit's own (positive) code.
    if (frontPanelCom()->dbRead(keys, values, kPasswordTimeoutMs) != 0)
        return false;
    QString* stored[] = {&adminPassword, &expertPassword, &operatorPassword};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const auto found = values.find(keys[i]);
        *stored[i] = found == values.end() || found->second.empty()
                         ? QString()
                         : toQString(decryptSecretValue(found->second));
    }
    return true;
}

const QString& QPravikSettingsPage::passwordForLevel(int level) const
{
    if (level == AdministratorLevel)
        return adminPassword;
    if (level == ExpertLevel)
        return expertPassword;
    return operatorPassword;
}

void QPravikSettingsPage::handleCoreEvent(const TCommand& msg)
{
    QPravikMenuItems* cur = currentItems();
    if (!cur || *msg.param(wire::key::infoType()) != wire::event::audioChangeset())
        return;
    if (cur->menuId == AudioMenu && *msg.param(wire::key::infoSource()) == "core") {
        updateAudioMenu(cur);
    } else if (cur->menuId == MonitoringMenu) {
        // The switches the operator left alone show the unit's word as it is now.
        showMonitoringWord(cur, true);
        header->setModified(isMonitoringMenuModified(cur));
    }
}

void QPravikSettingsPage::handleParamEvent(const TCommand& msg)
{
    const std::string& type = *msg.param(wire::key::eventType());
    QPravikMenuItems* cur = currentItems();
    if (type.empty() || !cur)
        return;
    const int menu = cur->menuId;
    const auto refreshItems = [cur, this](std::initializer_list<int> ids) {
        for (int id : ids)
            refreshNetworkItem(cur->findItem(id));
    };
    if (type == wire::event::defaultNetwork()) {
        if (menu == NetworkMenu)
            refreshItems({DefaultNetworkItem});
        else if (menu == CodingMenu)
            updateCodingMenu(cur);
        else if (menu == StatusMenu)
            updateStatusMenu(cur);
    } else if (type == wire::event::secondaryNetwork() || type == wire::event::codecChange()) {
        if (menu == NetworkMenu)
            refreshItems({SecondaryNetworkItem});
    } else if (type == wire::event::defaultCodec()) {
        if (menu == NetworkMenu)
            refreshItems({SecondaryNetworkItem, CodecModeItem});
        else if (menu == CodingMenu)
            updateCodingMenu(cur);
        else if (menu == AudioMenu)
            updateAudioMenu(cur);
        else if (menu == StatusMenu)
            updateStatusMenu(cur);
    } else if (type == wire::event::configInfo()) {
        feedEthernetConfig(msg, menu);
    }
}

// Only "eth.0" to "eth.3" have a page or a Status item to refresh.
void QPravikSettingsPage::feedEthernetConfig(const TCommand& msg, int menu)
{
    const std::string network = *msg.param(wire::key::network());
    if (interfaceClassFromName(network) != kEthClass
        || interfaceIndexFromName(network) > unsigned(EthernetMenuLast - EthernetMenuFirst))
        return;
    if (within(menu, EthernetMenuFirst, EthernetMenuLast)) {
        if (ethernetController.state() == TComController::Unloaded)
            return;
    } else if (menu == StatusMenu) {
        if (ethernetController.network() != network)
            ethernetController.attach(network, 0, false);
    } else {
        return;
    }
    ethernetController.handleEvent(msg);
}

void QPravikSettingsPage::handleCallState(TComAudioConnection* connection)
{
    QPravikMenuItems* cur = currentItems();
    if (cur && cur->menuId == ConnectionsMenu)
        updateConnectionMenu(cur, connection);
}

void QPravikSettingsPage::handleStatistics(TComAudioConnection* connection)
{
    if (!connection)
        return;
    // The coordination line has no statistics pages.
    if (connection->kind() == TComBaseConnection::Line1 || connection->kind() == TComBaseConnection::Line2) {
        LineStatistics& line = lineStatistics[connection->kind()];
        for (int stream = 0; stream < 2; ++stream) {
            line.rx[stream] = connection->rxStatistics(stream);
            line.tx[stream] = connection->txStatistics(stream);
        }
    }
    QPravikMenuItems* cur = currentItems();
    if (!cur)
        return;
    if (cur->menuId == ConnectionsMenu)
        updateConnectionMenu(cur, connection);
    else if (cur->menuId == Statistics1Menu || cur->menuId == Statistics2Menu)
        updateStatisticsMenu(cur);
}

// The window calls these at call and connection changes; nothing follows them.
void QPravikSettingsPage::stateHook(bool)
{
}

void QPravikSettingsPage::stateHook2(bool)
{
}

void QPravikSettingsPage::callReleasedHook(TComAudioConnection*)
{
}

void QPravikSettingsPage::audioControllerParamChanged(TComController*, TAudioSettings::CtlrParam param)
{
    static const TAudioSettings::CtlrParam shown[] = {
        TAudioSettings::LimiterThreshold, TAudioSettings::InputSource,     TAudioSettings::DrcState,
        TAudioSettings::DrcLimThreshold,  TAudioSettings::DrcThresholdCmp, TAudioSettings::DrcRatio,
        TAudioSettings::DrcAttack};
    QPravikMenuItems* cur = currentItems();
    if (cur && cur->menuId == AudioMenu && std::find(std::begin(shown), std::end(shown), param) != std::end(shown))
        updateAudioMenu(cur);
}

void QPravikSettingsPage::ethernetParamChanged(TComController*, int param)
{
    QPravikMenuItems* cur = currentItems();
    if (!cur || param != TComEthernetController::ConfigInfoParam)
        return;
    if (within(cur->menuId, EthernetMenuFirst, EthernetMenuLast)) {
        refreshEthernetItems(cur);
    } else if (cur->menuId == StatusMenu) {
        const unsigned index = interfaceIndexFromName(ethernetController.network());
        if (index <= unsigned(EthernetStatusItemLast - EthernetStatusItemFirst))
            updateEthernetStatusText(cur, EthernetStatusItemFirst + int(index));
    }
}
