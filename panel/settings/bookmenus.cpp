#include "panel/settings/qpraviksettingspage.h"

#include "panel/settings/settingsids.h"

// Book menu, stored lists, call-profile editor and entry menus.

void QPravikSettingsPage::createBookMenu()
{
}

void QPravikSettingsPage::createCallProfilesMenu()
{
}

void QPravikSettingsPage::createCallProfileMenu(int /*rowId*/, const QString& /*name*/)
{
}

bool QPravikSettingsPage::readCallProfile(int /*rowId*/, const QString& /*name*/)
{
    return false;
}

bool QPravikSettingsPage::applyCallProfile(QPravikMenuItems* /*page*/)
{
    return true;
}

void QPravikSettingsPage::createPresetsMenu()
{
}

void QPravikSettingsPage::createPresetMenu(int /*rowId*/, const QString& /*name*/)
{
}

void QPravikSettingsPage::createSipProfilesMenu()
{
}

void QPravikSettingsPage::createSipProfileMenu(int /*rowId*/, const QString& /*name*/)
{
}

void QPravikSettingsPage::createSnapshotsMenu()
{
}

void QPravikSettingsPage::createSnapshotMenu(int /*rowId*/, const QString& /*name*/)
{
}
