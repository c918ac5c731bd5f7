#include "panel/settings/qpraviksettingspage.h"

#include "panel/settings/settingsids.h"

// Audio menu and Monitoring menu.

void QPravikSettingsPage::createAudioMenu()
{
}

void QPravikSettingsPage::updateAudioMenu(QPravikMenuItems* /*page*/)
{
}

void QPravikSettingsPage::createMonitoringMenu()
{
}

bool QPravikSettingsPage::applyMonitoringMenu(QPravikMenuItems* /*page*/)
{
    return true;
}
