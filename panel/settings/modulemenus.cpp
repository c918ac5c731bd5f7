#include "panel/settings/qpraviksettingspage.h"

#include "panel/settings/settingsids.h"

// RAVENNA/DANTE module menus.

void QPravikSettingsPage::createRavennaMenu()
{
}

void QPravikSettingsPage::updateRavennaMenu(QPravikMenuItems* /*page*/)
{
}

void QPravikSettingsPage::createIpAddressingMenu(int /*menuId*/)
{
}

bool QPravikSettingsPage::applyIpAddressingMenu(QPravikMenuItems* /*page*/)
{
    return true;
}

void QPravikSettingsPage::createInputStreamsMenu()
{
}

void QPravikSettingsPage::updateInputStreamsMenu(QPravikMenuItems* /*page*/)
{
}

void QPravikSettingsPage::createInputStreamMenu(int /*menuId*/)
{
}

void QPravikSettingsPage::updateInputStreamMenu(QPravikMenuItems* /*page*/)
{
}

bool QPravikSettingsPage::applyInputStreamMenu(QPravikMenuItems* /*page*/)
{
    return true;
}

void QPravikSettingsPage::createOutputStreamMenu()
{
}

void QPravikSettingsPage::updateOutputStreamMenu(QPravikMenuItems* /*page*/)
{
}

bool QPravikSettingsPage::applyOutputStreamMenu(QPravikMenuItems* /*page*/)
{
    return true;
}
