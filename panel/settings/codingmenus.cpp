#include "panel/settings/qpraviksettingspage.h"

#include "panel/settings/settingsids.h"

// Coding menu, codec coding menus and auto bit rate.

void QPravikSettingsPage::createCodingMenu()
{
}

void QPravikSettingsPage::updateCodingMenu(QPravikMenuItems* /*page*/)
{
}

void QPravikSettingsPage::createCodecCodingMenu(int /*menuId*/)
{
}

bool QPravikSettingsPage::applyCodecCodingMenu(QPravikMenuItems* /*page*/)
{
    return true;
}

void QPravikSettingsPage::createAutoBitRateMenu()
{
}
