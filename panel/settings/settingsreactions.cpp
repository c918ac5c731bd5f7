#include "panel/settings/qpraviksettingspage.h"

#include "panel/settings/settingsids.h"

#include <algorithm>
#include <vector>

#include "audio/tmatrixsettings.h"
#include "link/protocolkeys.h"
#include "model/tcomdevice.h"
#include "panel/kit/controls.h"

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

namespace {

bool isTwoChannel(const CodecConfig& coding)
{
    return coding.channelMode == 1 || coding.channelMode == 2;
}

} // namespace

// Mono keeps its bit rate when the unit lists it for mono; else the first
// listed one, or 64000 when none is.
CodecConfig QPravikSettingsPage::monoCoding(CodecConfig coding, int codecMode)
{
    coding.channelMode = 0;
    std::vector<int> rates;
    frontPanelDevice()->listBitrates(codecMode, coding.codec, 0, coding.sampleRate, rates, kInvalidInterface);
    if (rates.empty())
        coding.bitRate = 64000;
    else if (std::find(rates.begin(), rates.end(), coding.bitRate) == rates.end())
        coding.bitRate = rates.front();
    return coding;
}

void QPravikSettingsPage::codingAudioReaction(const ItemReaction& reaction)
{
    if (reaction.hook != ItemReaction::Changed)
        return;
    QPravikMenuItem* item = reaction.item;
    switch (item->page->menuId) {
    case Codec1Menu:
    case Codec2Menu:
        codecCodingItemChanged(item);
        break;
    case AutoBitRateMenu:
        writeAutoBitRateItem(item);
        break;
    case AudioMenu:
        audioItemChanged(item);
        break;
    case MonitoringMenu:
        monitoringItemChanged(item);
        break;
    default:
        break;
    }
}

void QPravikSettingsPage::monitoringItemChanged(QPravikMenuItem* item)
{
    if (item->id == SideToneItem || item->id == IntercomItem) {
        const std::uint32_t bit = item->id == SideToneItem ? kSideToneBit : kIntercomBit;
        editedMatrixOptions = static_cast<int>(switchOn(item) ? matrixOptions() | bit : matrixOptions() & ~bit);
    }
    header->setModified(isMonitoringMenuModified(item->page));
}

void QPravikSettingsPage::codecCodingItemChanged(QPravikMenuItem* item)
{
    const int value = item->currentValue();
    if (item->currentIndex >= 0) {
        bool refill = true;
        switch (item->id) {
        case AlgorithmItem:
            editedCoding.codec = value;
            break;
        case ChannelModeItem:
            editedCoding.channelMode = std::uint32_t(value);
            break;
        case SamplingRateItem:
            editedCoding.sampleRate = value;
            break;
        case BitRateItem:
            editedCoding.bitRate = value;
            break;
        default:
            refill = false;
            break;
        }
        if (refill)
            updateCodecCodingMenu(item->page);
    }
    header->setModified(isCodecCodingMenuModified(item->page));
}

void QPravikSettingsPage::audioItemChanged(QPravikMenuItem* item)
{
    TAudioSettings* audio = frontPanelAudioSettings();
    TComDevice* device = frontPanelDevice();
    const bool hasValue = item->currentIndex >= 0;
    const int value = item->currentValue();
    bool ok = true;
    switch (item->id) {
    case InputLimiterItem:
        ok = !hasValue || audio->setLimiterThreshold(value, true);
        break;
    case InputFormatItem:
        ok = audio->setInputSource(switchOn(item) ? TAudioSettings::Analog : TAudioSettings::Digital, true);
        break;
    case KnobFunctionItem: {
        // Only this bit travels: Monitoring edits not applied stay behind.
        TMatrixSettings* matrix = frontPanelMatrixSettings();
        const std::uint32_t word = switchOn(item) ? matrix->options() | kKnobFunctionBit
                                                  : matrix->options() & ~kKnobFunctionBit;
        ok = matrix->setOptions(word, true);
        editedMatrixOptions = static_cast<int>(matrix->options());
        break;
    }
    case OperationModeItem:
        if (!hasValue)
            return;
        if (device->hasAudioConnection()) {
            showAudioItem(item);
            showMessage(tr("Cannot apply changes\n(a connection is established)"), 0);
            return;
        }
        ok = changeOperationMode(switchOn(item) ? 1 : 0);
        break;
    case DynamicProcessingItem:
        ok = audio->setDrcState(switchOn(item), true);
        break;
    case LimiterThresholdItem:
        if (!hasValue)
            return;
        // The compressor must stay below the limiter.
        ok = (value > audio->drcThresholdCmp() || audio->setDrcThresholdCmp(value - 1, true))
            && audio->setDrcLimThreshold(value, true);
        if (ok)
            updateAudioMenu(item->page);
        break;
    case CompressorThresholdItem:
        ok = !hasValue || audio->setDrcThresholdCmp(value, true);
        break;
    case CompressorRatioItem:
        ok = !hasValue || audio->setDrcRatio(float(value) / 10.0f, true);
        break;
    case AttackTimeItem:
        ok = !hasValue || audio->setDrcAttack(value, true);
        break;
    case Aes67StateItem:
        if (!hasValue)
            return;
        if ((device->hardwareType() & 0xF) == 4 && device->hasAudioConnection()) {
            showAudioItem(item);
            showMessage(tr("Cannot apply changes\n(a connection is established)"), 0);
            return;
        }
        ok = device->setAes67Reset(value == 0, true);
        if (ok) {
            frontPanelRavenna()->reset();
            updateAudioMenu(item->page);
        }
        break;
    default:
        return;
    }
    if (!ok) {
        showAudioItem(item);
        showMessage(tr("Failed to apply changes!"), 0);
    }
}

// Standard operation takes mono codings only: a two-channel codec 1, or
// the default coding it would start with, is made mono first.
bool QPravikSettingsPage::changeOperationMode(int mode)
{
    TComDevice* device = frontPanelDevice();
    if (mode == 0) {
        if (device->codecMode() == 1) {
            if (isTwoChannel(device->codec1())
                && !device->setDualCodec(1, codecConfigToString(monoCoding(device->codec1(), 1)), true))
                return false;
        } else {
            CodecConfig defaultCoding;
            if (device->loadDefaultCodecs(1, wire::target::ip(), defaultCoding) && isTwoChannel(defaultCoding)
                && !device->setDefaultCodec(1, wire::target::ip(), codecConfigToString(monoCoding(defaultCoding, 1))))
                return false;
        }
        if (device->codecMode() == 0 && device->audioModeFlags() == 0x40 && isTwoChannel(device->codec1())
            && !device->setDualCodec(1, codecConfigToString(monoCoding(device->codec1(), 0)), true))
            return false;
    }
    return device->setOperationMode(mode, true);
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
