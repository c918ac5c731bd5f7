#include "panel/settings/qpraviksettingspage.h"

#include "panel/settings/settingsids.h"

// Status menu, audio connections, statistics and AoIP status.

void QPravikSettingsPage::createStatusMenu()
{
}

void QPravikSettingsPage::updateStatusMenu(QPravikMenuItems* /*page*/)
{
}

void QPravikSettingsPage::updateEthernetStatusText(QPravikMenuItems* /*page*/, int /*itemId*/)
{
}

void QPravikSettingsPage::createConnectionsMenu()
{
}

void QPravikSettingsPage::updateConnectionsMenu(QPravikMenuItems* /*page*/, int /*line*/)
{
}

void QPravikSettingsPage::updateConnectionMenu(QPravikMenuItems* /*page*/, TComAudioConnection* /*connection*/)
{
}

void QPravikSettingsPage::createStatisticsMenu(int /*menuId*/)
{
}

void QPravikSettingsPage::updateStatisticsMenu(QPravikMenuItems* /*page*/)
{
}

void QPravikSettingsPage::createAoipStatusMenu()
{
}

void QPravikSettingsPage::updateAoipStatusMenu(QPravikMenuItems* /*page*/)
{
}

void QPravikSettingsPage::createMobileStatusMenu(int /*menuId*/)
{
}

void QPravikSettingsPage::updateMobileStatusMenu(QPravikMenuItems* /*page*/, int /*menuId*/)
{
}
