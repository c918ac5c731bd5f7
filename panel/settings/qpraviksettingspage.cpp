#include "panel/settings/qpraviksettingspage.h"

#include <QGridLayout>
#include <QPixmap>

#include <vector>

#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "model/secretvalue.h"
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
        entry->iconLabel->setPixmap(QPixmap(QString::fromLatin1(root.icon)));
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

// --- hooks -------------------------------------------------------------------

void QPravikSettingsPage::goBack()
{
    QPravikMenuWidget::goBack();
}

void QPravikSettingsPage::applyChanges()
{
    QPravikMenuWidget::applyChanges();
}

void QPravikSettingsPage::refreshMenu()
{
    QPravikMenuWidget::refreshMenu();
}

void QPravikSettingsPage::openTarget(QPravikMenuEntry* entry)
{
    QPravikMenuWidget::openTarget(entry);
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
}

void QPravikSettingsPage::prepareKeyboard(QPravikMenuItem* item, QPravikVirtual* keyboard)
{
    QPravikMenuWidget::prepareKeyboard(item, keyboard);
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

void QPravikSettingsPage::handleCoreEvent(const TCommand&)
{
}

void QPravikSettingsPage::handleParamEvent(const TCommand&)
{
}

void QPravikSettingsPage::handleCallState(TComAudioConnection*)
{
}

void QPravikSettingsPage::handleStatistics(TComAudioConnection*)
{
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

void QPravikSettingsPage::audioControllerParamChanged(TComController*, TAudioSettings::CtlrParam)
{
}

void QPravikSettingsPage::ethernetParamChanged(TComController*, int)
{
}
