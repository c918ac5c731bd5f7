// Audio menu and Monitoring menu.

#include "panel/settings/qpraviksettingspage.h"

#include <algorithm>
#include <cmath>

#include "audio/taudiosettings.h"
#include "audio/tcomravennacontroller.h"
#include "audio/tmatrixsettings.h"
#include "model/tcomdevice.h"
#include "model/unitfirmware.h"
#include "panel/settings/settingsids.h"

using namespace SettingsId;

namespace {

constexpr std::uint32_t kKnobFunctionFirmware = 0x10800;
constexpr std::uint32_t kOperationModeFirmware = 0x1FFFF;
constexpr std::uint32_t kAes67Firmware = 0x10CFF;
constexpr std::uint32_t kIntercomFirmware = 0x10600;

constexpr unsigned kAes2InputOption = 0x80;

// Item 118's range; the compressor's list stops below it whatever the unit
// reports as its limiter threshold.
constexpr int kLimiterLowest = -20;
constexpr int kLimiterHighest = -2;
constexpr int kCompressorLowest = -40;

constexpr int kIndent = 60;
constexpr int kSectionTop = 20;

bool inputFormatShown()
{
    return frontPanelAudioSettings()->auxiliaryBoard() && (frontPanelDevice()->deviceOptions() & kAes2InputOption);
}

bool aes67Shown()
{
    TComDevice* device = frontPanelDevice();
    return frontPanelAudioSettings()->auxiliaryBoard() && (device->deviceOptions() & kRavennaOption)
        && (device->hardwareType() & 0xF) != 0 && unitFirmwareVersion > kAes67Firmware;
}

QString dbfs(int value)
{
    return QPravikSettingsPage::tr("%1 dBFS").arg(value);
}

} // namespace

// --- Audio menu -------------------------------------------------------------

void QPravikSettingsPage::createAudioMenu()
{
    auto* page = new QPravikMenuItems(AudioMenu, this);
    editedMatrixOptions = static_cast<int>(frontPanelMatrixSettings()->options());
    const bool dante = frontPanelDevice()->deviceOptions() & kDanteOption;

    QPravikMenuItem* item = addMenuRow(page, InputLimiterItem, QPravikMenuItem::ChoiceList,
                                       tr("Input Limiters Threshold"));
    item->addChoice(0, tr("Off"));
    for (int threshold : {-3, -6, -9, -12, -16})
        item->addChoice(threshold, dbfs(threshold));
    if (inputFormatShown()) {
        item = addMenuRow(page, InputFormatItem, QPravikMenuItem::Switch, tr("AES / AUX2 Input Format"));
        item->addChoice(0, tr("Digital (AES 1/2)"));
        item->addChoice(1, tr("Analog (AUX2)"));
        item->setLocked(!frontPanelAudioSettings()->takesKey("input_source"));
    }
    item = addMenuRow(page, KnobFunctionItem, QPravikMenuItem::Switch, tr("Channel Knob Function"));
    item->addChoice(0, tr("Side Tone"));
    item->addChoice(1, tr("Mic Fader"));
    item->setLocked(unitFirmwareVersion < kKnobFunctionFirmware);
    if (inputFormatShown() && unitFirmwareVersion > kOperationModeFirmware) {
        item = addMenuRow(page, OperationModeItem, QPravikMenuItem::Switch, tr("Operation Mode"));
        item->addChoice(0, tr("Standard"));
        item->addChoice(1, tr("Extended"));
    }
    item = addMenuRow(page, MonitoringMenu, QPravikMenuItem::SubMenu, tr("Monitoring Options"));
    item->setValueText(tr("Configure the monitoring options"), false);

    addMenuRow(page, -1, QPravikMenuItem::SectionHeader, tr("Program Limiter / Compressor"), 10, kSectionTop);
    addMenuRow(page, DynamicProcessingItem, QPravikMenuItem::Switch, tr("Dynamic Processing"), kIndent);
    item = addMenuRow(page, LimiterThresholdItem, QPravikMenuItem::WheelOnRelease, tr("Limiter Threshold"),
                      kIndent);
    for (int threshold = kLimiterLowest; threshold <= kLimiterHighest; ++threshold)
        item->addChoice(threshold, dbfs(threshold));
    addMenuRow(page, CompressorThresholdItem, QPravikMenuItem::WheelOnRelease, tr("Compressor Threshold"),
               kIndent);
    item = addMenuRow(page, CompressorRatioItem, QPravikMenuItem::ChoiceList, tr("Compressor Ratio"), kIndent);
    const std::pair<int, const char*> ratios[] = {{10, "1:1 (Off)"}, {15, "1.5:1"}, {20, "2:1"}, {30, "3:1"}, {60, "6:1"}};
    for (const auto& [value, text] : ratios)
        item->addChoice(value, QString::fromLatin1(text));
    item = addMenuRow(page, AttackTimeItem, QPravikMenuItem::ChoiceList, tr("Attack Time"), kIndent);
    item->addChoice(0, tr("Fast"));
    item->addChoice(1, tr("Medium"));
    item->addChoice(2, tr("Slow"));

    const bool aes67 = aes67Shown();
    if (aes67) {
        addMenuRow(page, -1, QPravikMenuItem::SectionHeader, tr("AES67"), 10, kSectionTop);
        item = addMenuRow(page, Aes67StateItem, QPravikMenuItem::ChoiceList, tr("State"), kIndent);
        item->addChoice(0, tr("Disabled"));
        item->addChoice(1, tr("Active"));
    } else {
        // The module link always follows a header.
        addMenuRow(page, -1, QPravikMenuItem::SectionHeader, QString(), 10, kSectionTop);
    }
    item = addMenuRow(page, RavennaMenu, QPravikMenuItem::SubMenu, dante ? tr("DANTE") : tr("RAVENNA"),
                      aes67 ? kIndent : 10);
    item->setValueText(dante ? tr("Configure the DANTE interface") : tr("Configure the RAVENNA interface"), false);

    updateAudioMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateAudioMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    for (int id : {InputLimiterItem, InputFormatItem, KnobFunctionItem,
                   OperationModeItem, DynamicProcessingItem, LimiterThresholdItem,
                   CompressorThresholdItem, CompressorRatioItem, AttackTimeItem,
                   Aes67StateItem, RavennaMenu})
        if (QPravikMenuItem* item = page->findItem(id))
            showAudioItem(item);
}

int QPravikSettingsPage::compressorRatioChoice(float ratio)
{
    const float tenfold = ratio * 10.0f;
    return std::isfinite(tenfold) && std::fabs(tenfold) < 1e6f ? int(std::lround(tenfold)) : -1;
}

// The models' value of one Audio item; also what a refused change goes back to.
void QPravikSettingsPage::showAudioItem(QPravikMenuItem* item)
{
    TAudioSettings* audio = frontPanelAudioSettings();
    TComDevice* device = frontPanelDevice();
    switch (item->id) {
    case InputLimiterItem:
        selectOrShow(item, audio->limiterThreshold(),
                     audio->limiterThreshold() == 0 ? tr("Off") : dbfs(audio->limiterThreshold()));
        break;
    case InputFormatItem:
        item->setChecked(audio->inputSource() == TAudioSettings::Analog);
        break;
    case KnobFunctionItem:
        item->setChecked(matrixOptions() & kKnobFunctionBit);
        break;
    case OperationModeItem:
        item->setChecked(device->operationMode() == 1);
        break;
    case DynamicProcessingItem:
        item->setChecked(audio->drcState());
        break;
    case LimiterThresholdItem:
        selectOrShow(item, audio->drcLimThreshold(), dbfs(audio->drcLimThreshold()));
        break;
    case CompressorThresholdItem:
        // Always strictly below the limiter.
        item->clearChoices();
        for (int threshold = kCompressorLowest; threshold < std::min(audio->drcLimThreshold(), kLimiterHighest);
             ++threshold)
            item->addChoice(threshold, dbfs(threshold));
        selectOrShow(item, audio->drcThresholdCmp(), dbfs(audio->drcThresholdCmp()));
        item->refreshControl();
        break;
    case CompressorRatioItem:
        item->setCurrentValue(compressorRatioChoice(audio->drcRatio()), true, true);
        break;
    case AttackTimeItem:
        item->setCurrentValue(audio->drcAttack(), true, true);
        break;
    case Aes67StateItem:
        item->setCurrentValue(device->aes67Reset() ? 0 : 1, true, true);
        break;
    case RavennaMenu:
        item->setLocked(!(audio->auxiliaryBoard() && (device->deviceOptions() & kRavennaOption)
                          && !device->aes67Reset() && frontPanelRavenna()->state() != TComController::Unloaded));
        break;
    default:
        break;
    }
}

// --- Monitoring menu --------------------------------------------------------

void QPravikSettingsPage::createMonitoringMenu()
{
    auto* page = new QPravikMenuItems(MonitoringMenu, this);
    QPravikMenuItem* item = addMenuRow(page, SideToneItem, QPravikMenuItem::Switch, tr("Side Tone"));
    item->addChoice(0, tr("Permanently available"));
    item->addChoice(1, tr("Only when routed to Program or Coord."));
    item = addMenuRow(page, IntercomItem, QPravikMenuItem::Switch, tr("Intercom Functions"));
    item->addChoice(0, tr("Fade non-relevant signals"));
    item->addChoice(1, tr("Mute non-relevant signals"));
    item->setLocked(unitFirmwareVersion < kIntercomFirmware);
    showMonitoringWord(page, false);
    pushPage(page);
}

// The unit's word, shown and taken as the edits' start; with keepEdits the
// bits the operator set and has not applied stay as set.
void QPravikSettingsPage::showMonitoringWord(QPravikMenuItems* page, bool keepEdits)
{
    if (!keepEdits)
        monitoringSet = 0;
    editedMatrixOptions = static_cast<int>(monitoringWord());
    updateMonitoringMenu(page);
}

void QPravikSettingsPage::updateMonitoringMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    if (QPravikMenuItem* item = page->findItem(SideToneItem))
        item->setChecked(matrixOptions() & kSideToneBit);
    if (QPravikMenuItem* item = page->findItem(IntercomItem))
        item->setChecked(matrixOptions() & kIntercomBit);
}

// A bit set back to what the unit held when the menu opened is still the
// operator's: the unit may have changed it since.
std::uint32_t QPravikSettingsPage::monitoringWord() const
{
    return (frontPanelMatrixSettings()->options() & ~monitoringSet) | (matrixOptions() & monitoringSet);
}

bool QPravikSettingsPage::isMonitoringMenuModified(QPravikMenuItems* page)
{
    return page && page->menuId == MonitoringMenu && monitoringWord() != frontPanelMatrixSettings()->options();
}

bool QPravikSettingsPage::applyMonitoringMenu(QPravikMenuItems* page)
{
    if (!page)
        return false;
    TMatrixSettings* matrix = frontPanelMatrixSettings();
    // The unit may have changed other bits since the menu was built (the
    // knob's, or a switch the operator left alone): those stay the unit's.
    const std::uint32_t word = monitoringWord();
    if (page->menuId != MonitoringMenu || matrix->options() == word)
        return true;
    showMessage(tr("Applying changes..."), 1000);
    if (!matrix->setOptions(word, true)) {
        // A unit that refused shows its word again; without a loaded matrix
        // there is no such word and the edits stay for another try.
        if (matrix->state() != TComController::Unloaded)
            showMonitoringWord(page, false);
        showMessage(tr("Failed to apply changes!"), 0);
        return false;
    }
    // The next edits start from what the unit now holds.
    showMonitoringWord(page, false);
    return true;
}
