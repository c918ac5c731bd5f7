#include "panel/settings/qpraviksettingspage.h"

#include "audio/taudiosettings.h"
#include "audio/tcomravennacontroller.h"
#include "audio/tmatrixsettings.h"
#include "link/protocolkeys.h"
#include "link/valuetext.h"
#include "model/tcomdevice.h"
#include "panel/settings/settingsids.h"

// --- Coding and audio -------------------------------------------------------

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

void QPravikSettingsPage::codingAndAudioItemChanged(QPravikMenuItem* item)
{
    QPravikMenuItems* page = item->page;
    switch (page->menuId) {
    case settings::Codec1Item:
    case settings::Codec2Item:
        codecCodingItemChanged(item);
        break;
    case settings::AutoBitRateItem:
        writeAutoBitRateItem(item);
        break;
    case settings::AudioMenu:
        audioItemChanged(item);
        break;
    case settings::MonitoringItem:
        if (item->id == settings::SideToneItem || item->id == settings::IntercomItem) {
            const std::uint32_t bit = item->id == settings::SideToneItem ? kSideToneBit : kIntercomBit;
            editedMatrixOptions = switchOn(item) ? editedMatrixOptions | bit : editedMatrixOptions & ~bit;
        }
        header->setModified(isMonitoringMenuModified(page));
        break;
    default:
        break;
    }
}

void QPravikSettingsPage::codecCodingItemChanged(QPravikMenuItem* item)
{
    const int value = item->currentValue();
    if (item->currentIndex >= 0) {
        bool refill = true;
        switch (item->id) {
        case settings::AlgorithmItem:
            editedCoding.codec = value;
            break;
        case settings::ChannelModeItem:
            editedCoding.channelMode = std::uint32_t(value);
            break;
        case settings::SamplingRateItem:
            editedCoding.sampleRate = value;
            break;
        case settings::BitRateItem:
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
    case settings::InputLimiterItem:
        ok = !hasValue || audio->setLimiterThreshold(value, true);
        break;
    case settings::InputFormatItem:
        ok = audio->setInputSource(switchOn(item) ? TAudioSettings::Analog : TAudioSettings::Digital, true);
        break;
    case settings::KnobFunctionItem: {
        // Only this bit travels: Monitoring edits not applied stay behind.
        TMatrixSettings* matrix = frontPanelMatrixSettings();
        const std::uint32_t word = switchOn(item) ? matrix->options() | kKnobFunctionBit
                                                  : matrix->options() & ~kKnobFunctionBit;
        ok = matrix->setOptions(word, true);
        editedMatrixOptions = matrix->options();
        break;
    }
    case settings::OperationModeItem:
        if (!hasValue)
            return;
        if (device->hasAudioConnection()) {
            showAudioItem(item);
            showMessage(tr("Cannot apply changes\n(a connection is established)"), 0);
            return;
        }
        ok = changeOperationMode(switchOn(item) ? 1 : 0);
        break;
    case settings::DynamicProcessingItem:
        ok = audio->setDrcState(switchOn(item), true);
        break;
    case settings::LimiterThresholdItem:
        if (!hasValue)
            return;
        // The compressor must stay below the limiter.
        ok = (value > audio->drcThresholdCmp() || audio->setDrcThresholdCmp(value - 1, true))
            && audio->setDrcLimThreshold(value, true);
        if (ok)
            updateAudioMenu(item->page);
        break;
    case settings::CompressorThresholdItem:
        ok = !hasValue || audio->setDrcThresholdCmp(value, true);
        break;
    case settings::CompressorRatioItem:
        ok = !hasValue || audio->setDrcRatio(float(value) / 10.0f, true);
        break;
    case settings::AttackTimeItem:
        ok = !hasValue || audio->setDrcAttack(value, true);
        break;
    case settings::Aes67StateItem:
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
