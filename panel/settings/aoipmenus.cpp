#include "panel/settings/qpraviksettingspage.h"

#include "panel/settings/settingsids.h"

// AoIP (SIP) controller menu and SIP account menus.

void QPravikSettingsPage::buildAoipControllerMenu()
{
}

void QPravikSettingsPage::refreshDefaultAccountItem(QPravikMenuItems* /*page*/)
{
}

void QPravikSettingsPage::updateDoubleStreamingItems(QPravikMenuItem* /*item*/)
{
}

bool QPravikSettingsPage::aoipControllerMenuModified(QPravikMenuItems* /*page*/)
{
    return false;
}

bool QPravikSettingsPage::applyAoipControllerMenu(QPravikMenuItems* /*page*/)
{
    return true;
}

void QPravikSettingsPage::buildSipAccountMenu(int /*menuId*/)
{
}

bool QPravikSettingsPage::sipAccountMenuModified(QPravikMenuItems* /*page*/)
{
    return false;
}

bool QPravikSettingsPage::applySipAccountMenu(QPravikMenuItems* /*page*/)
{
    return true;
}
