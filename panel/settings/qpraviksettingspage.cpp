#include "panel/settings/qpraviksettingspage.h"

#include <QGridLayout>
#include <QPixmap>

#include <map>
#include <string>
#include <vector>

#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "model/secretvalue.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"

namespace {

constexpr int kPasswordTimeoutMs = 10000;

enum RootEntry { ExitEntry = 0, NetworkEntry, CodingEntry, AudioEntry, BookEntry, ToolsEntry, StatusEntry };

} // namespace

QPravikSettingsPage::QPravikSettingsPage(QWidget* parent)
    : QPravikMenuWidget(parent)
    , requestHelper(frontPanelCom())
{
    buildRootEntries();
}

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
    int id = 0;
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

bool QPravikSettingsPage::openEntry(int entryId, int target)
{
    updateAudioEntryState();
    return QPravikMenuWidget::openEntry(entryId, target);
}

bool QPravikSettingsPage::entryActivated(QPravikMenuEntry* entry)
{
    if (!QPravikMenuWidget::entryActivated(entry))
        return false;
    if (entry->id == ExitEntry)
        emit pageActivated(returnPage);
    if (entry->id == CodingEntry)
        createCodingMenu();
    if (entry->id == AudioEntry)
        createAudioMenu();
    if (pendingTarget == 14 || pendingTarget == 15) {
        QPravikMenuItems* cur = currentItems();
        if (QPravikMenuItem* item = cur && cur->menuId == 2 ? cur->findItem(pendingTarget + 84) : nullptr)
            itemActivated(item);
    }
    return true;
}

void QPravikSettingsPage::itemActivated(QPravikMenuItem* item)
{
    QPravikMenuWidget::itemActivated(item);
    if (item->id == 98 || item->id == 99)
        createCodecCodingMenu(item->id);
    else if (item->id == 100)
        createAutoBitRateMenu();
    else if (item->id == 114)
        createMonitoringMenu();
}

void QPravikSettingsPage::itemChanged(QPravikMenuItem* item)
{
    QPravikMenuWidget::itemChanged(item);
    if (item->page)
        codingAndAudioItemChanged(item);
}

void QPravikSettingsPage::applyChanges()
{
    QPravikMenuItems* cur = currentItems();
    if (!cur) {
        QPravikMenuWidget::applyChanges();
        return;
    }
    TComDevice* device = frontPanelDevice();
    bool ok = true;
    if (cur->menuId == 98 || cur->menuId == 99) {
        if (device->findAudioConnection(cur->menuId == 98 ? 1 : 2)) {
            showMessage(tr("Cannot apply changes\n(a connection is established)"), 0);
            return;
        }
        ok = applyCodecCodingMenu(cur);
    } else if (cur->menuId == 114) {
        ok = applyMonitoringMenu(cur);
    }
    if (ok)
        QPravikMenuWidget::applyChanges();
}

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

// No menu is built yet, so there is no open page for a unit message to refresh.
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
