#include "panel/settings/qpraviksettingspage.h"

#include "panel/settings/settingsids.h"

// Network menu and the interface menus: Ethernet, ISDN, Mobile and Wi-Fi.

void QPravikSettingsPage::buildNetworkMenu()
{
}

void QPravikSettingsPage::refreshNetworkItem(QPravikMenuItem* /*item*/)
{
}

void QPravikSettingsPage::createIsdnMenu()
{
}

bool QPravikSettingsPage::isdnMenuModified(QPravikMenuItems* /*page*/)
{
    return false;
}

bool QPravikSettingsPage::applyIsdnMenu(QPravikMenuItems* /*page*/)
{
    return true;
}

void QPravikSettingsPage::buildEthernetMenu(int /*menuId*/)
{
}

void QPravikSettingsPage::refreshEthernetItems(QPravikMenuItems* /*page*/)
{
}

bool QPravikSettingsPage::ethernetMenuModified(QPravikMenuItems* /*page*/)
{
    return false;
}

bool QPravikSettingsPage::applyEthernetMenu(QPravikMenuItems* /*page*/)
{
    return true;
}

void QPravikSettingsPage::buildMobileMenu(int /*menuId*/)
{
}

bool QPravikSettingsPage::mobileMenuModified(QPravikMenuItems* /*page*/)
{
    return false;
}

bool QPravikSettingsPage::applyMobileMenu(QPravikMenuItems* /*page*/)
{
    return true;
}

void QPravikSettingsPage::createWifiMenu(int /*menuId*/)
{
}

bool QPravikSettingsPage::wifiMenuModified(QPravikMenuItems* /*page*/)
{
    return false;
}

bool QPravikSettingsPage::applyWifiMenu(QPravikMenuItems* /*page*/)
{
    return true;
}
