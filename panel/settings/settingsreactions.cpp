#include "panel/settings/qpraviksettingspage.h"

#include "panel/settings/settingsids.h"

using namespace SettingsId;

// The page's menu id decides which area reacts; a menu of no area gets none.
void QPravikSettingsPage::routeReaction(const ItemReaction& reaction)
{
    const int menu = reaction.item->page->menuId;
    const auto within = [menu](int first, int last) { return menu >= first && menu <= last; };
    if (menu == NetworkMenu || menu == AoipMenu || menu == IsdnMenu || within(EthernetMenuFirst, WifiMenuLast)
        || within(SipAccountMenuFirst, SipAccountMenuLast))
        networkReaction(reaction);
    else if (menu == AudioMenu || menu == Codec1Menu || menu == Codec2Menu || menu == AutoBitRateMenu
             || menu == MonitoringMenu)
        codingAudioReaction(reaction);
    else if (menu == RavennaMenu || within(IpAddressingMenuFirst, IpAddressingMenuLast) || menu == InputStreamsMenu
             || within(InputStreamMenuFirst, InputStreamMenuLast) || menu == OutputStreamMenu)
        moduleReaction(reaction);
    else if (within(CallProfilesMenu, SnapshotsMenu) || menu == RecordMenu)
        bookReaction(reaction);
    else if (menu == ToolsMenu || menu == SoundIdMenu || within(SoftkeyMenuFirst, SoftkeyMenuLast)
             || menu == LabelsMenu || menu == MiscellaneousMenu || menu == TroubleshootingMenu
             || menu == RemoteAccessMenu || menu == PasswordsMenu)
        toolsReaction(reaction);
}

// ===========================================================================
// Network: Network menu, AoIP and SIP accounts, ISDN, Ethernet, Mobile, Wi-Fi
// ===========================================================================

void QPravikSettingsPage::networkReaction(const ItemReaction& /*reaction*/)
{
}

// ===========================================================================
// Coding and audio: Audio, codec coding, auto bit rate, Monitoring
// ===========================================================================

void QPravikSettingsPage::codingAudioReaction(const ItemReaction& /*reaction*/)
{
}

// ===========================================================================
// AoIP module (RAVENNA/DANTE)
// ===========================================================================

void QPravikSettingsPage::moduleReaction(const ItemReaction& /*reaction*/)
{
}

// ===========================================================================
// Book: stored lists and record pages
// ===========================================================================

void QPravikSettingsPage::bookReaction(const ItemReaction& /*reaction*/)
{
}

// ===========================================================================
// Tools
// ===========================================================================

void QPravikSettingsPage::toolsReaction(const ItemReaction& /*reaction*/)
{
}
