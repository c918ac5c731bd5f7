#include "panel/settings/qpraviksettingspage.h"

#include "panel/settings/settingsids.h"

// Tools menus.

void QPravikSettingsPage::createToolsMenu()
{
}

void QPravikSettingsPage::createSoundIdMenu()
{
}

void QPravikSettingsPage::createSoftkeysMenu()
{
}

void QPravikSettingsPage::updateSoftkeysMenu(QPravikMenuItems* /*page*/)
{
}

void QPravikSettingsPage::createSoftkeyMenu(int /*menuId*/)
{
}

void QPravikSettingsPage::createLabelsMenu()
{
}

void QPravikSettingsPage::createMiscellaneousMenu()
{
}

void QPravikSettingsPage::createTroubleshootingMenu()
{
}

void QPravikSettingsPage::createPasswordsMenu()
{
}

void QPravikSettingsPage::createRemoteAccessMenu()
{
}

bool QPravikSettingsPage::applyRemoteAccessMenu(QPravikMenuItems* /*page*/)
{
    return true;
}
