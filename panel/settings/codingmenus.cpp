// Coding root menu, the codec coding menus and the auto bit rate menu.

#include "panel/settings/qpraviksettingspage.h"

#include <QDebug>
#include <QGridLayout>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"
#include "model/locale.h"
#include "model/tcomdevice.h"
#include "model/unitfirmware.h"
#include "panel/kit/controls.h"
#include "panel/settings/settingsids.h"

using namespace SettingsId;

namespace {

constexpr int kTimeoutMs = 5000;
constexpr std::uint32_t kAutoBitRateFirmware = 0x10BFF;

bool listed(const std::vector<int>& list, int value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

// A choice the program cannot name (an unknown algorithm or mode, a rate
// that is no number) would go back to the unit as something else.
void dropUnusable(std::vector<int>& list, int lowest, const char* what)
{
    const auto bad = std::remove_if(list.begin(), list.end(), [lowest](int v) { return v < lowest; });
    if (bad != list.end())
        qWarning().noquote() << "Settings: ignoring" << (list.end() - bad) << "unusable" << what << "choices";
    list.erase(bad, list.end());
}

TCommand audioRequest()
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::audio());
    return request;
}

const char* const kRelayKey = "relay";

bool fixedCoding(int codec)
{
    return codec >= 0 && codec <= 6;
}

// The operator's picks over the coding; a field without one keeps its value.
CodecConfig madeCoding(const QPravikMenuItems* page, CodecConfig coding)
{
    const std::pair<int, std::int32_t*> fields[] = {
        {AlgorithmItem, &coding.codec},
        {SamplingRateItem, &coding.sampleRate},
        {BitRateItem, &coding.bitRate},
    };
    for (const auto& [id, field] : fields) {
        if (const std::optional<int> value = QPravikSettingsPage::itemValue(page->findItem(id)))
            *field = *value;
    }
    if (const std::optional<int> value = QPravikSettingsPage::itemValue(page->findItem(ChannelModeItem)))
        coding.channelMode = std::uint32_t(*value);
    return coding;
}

} // namespace

// --- Coding root menu -------------------------------------------------------

void QPravikSettingsPage::createCodingMenu()
{
    auto* page = new QPravikMenuItems(CodingMenu, this);
    addMenuRow(page, Codec1Menu, QPravikMenuItem::SubMenu, QString());
    addMenuRow(page, Codec2Menu, QPravikMenuItem::SubMenu, QString());
    TComDevice* device = frontPanelDevice();
    if (unitFirmwareVersion > kAutoBitRateFirmware && transportFromName(device->defaultNetwork()) == IpTransport) {
        QPravikMenuItem* item = addMenuRow(page, AutoBitRateMenu, QPravikMenuItem::SubMenu,
                                           tr("Auto Bit Rate (Opus)"), 10, 20);
        item->setValueText(tr("Configure the auto bitrate for Opus algorithm"), false);
        item->setLocked(currentAccessLevel == OperatorLevel);
    }
    updateCodingMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateCodingMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    TComDevice* device = frontPanelDevice();
    const unsigned options = device->deviceOptions();
    const QString network = QPravikLocalize::interfaceName(interfaceCodeFromName(device->defaultNetwork()), options);
    if (QPravikMenuItem* item = page->findItem(Codec1Menu)) {
        item->titleLabel->setText(tr("Codec 1 [ %1 ]").arg(network));
        item->setValueText(QPravikLocalize::codecDescription(device->codec1()), false);
        item->setLocked(currentAccessLevel == OperatorLevel);
    }
    if (QPravikMenuItem* item = page->findItem(Codec2Menu)) {
        if (device->codecMode() == 1) {
            item->titleLabel->setText(tr("Codec 2 [ %1 ]").arg(network));
            item->setValueText(QPravikLocalize::codecDescription(device->codec2()), false);
            item->setLocked(currentAccessLevel == OperatorLevel);
        } else if (device->isDoubleStreamMode()) {
            item->titleLabel->setText(tr("Codec 2 [ %1 ]").arg(QPravikLocalize::interfaceName(kMobileClass, options)));
            item->setValueText(QPravikLocalize::codecName(17), false);
            item->setLocked(true);
        } else {
            item->titleLabel->setText(tr("Codec 2"));
            item->setValueText(tr("Not applicable in single codec mode"), false);
            item->setLocked(true);
        }
    }
}

// --- Codec coding menus -----------------------------------------------------

void QPravikSettingsPage::createCodecCodingMenu(int menuId)
{
    auto* page = new QPravikMenuItems(menuId, this);
    TComDevice* device = frontPanelDevice();
    readCoding = menuId == Codec2Menu ? device->codec2() : device->codec1();
    editedCoding = shownCoding = readCoding;
    addMenuRow(page, AlgorithmItem, QPravikMenuItem::ChoiceList, tr("Algorithm"));
    addMenuRow(page, ChannelModeItem, QPravikMenuItem::ChoiceList, tr("Channel Mode"));
    addMenuRow(page, SamplingRateItem, QPravikMenuItem::ChoiceList, tr("Sampling Rate"));
    addMenuRow(page, BitRateItem, QPravikMenuItem::ChoiceList, tr("Bit Rate"));
    if (menuId == Codec1Menu)
        addMenuRow(page, RelayItem, QPravikMenuItem::Switch, tr("Relay transmission"));
    updateCodecCodingMenu(page);
    readCodecRelay(page);
    pushPage(page);
}

void QPravikSettingsPage::updateCodecCodingMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    TComDevice* device = frontPanelDevice();
    const int codecMode = device->codecMode();
    const int codecNumber = page->menuId == Codec1Menu ? 1 : 2;
    // Only the fields after the one the operator just changed follow the
    // unit's lists; a fill from what the unit holds shows it as it is.
    const bool followAlgorithm = editedCoding.codec != shownCoding.codec;
    const bool followMode = followAlgorithm || editedCoding.channelMode != shownCoding.channelMode;
    const bool followRate = followMode || editedCoding.sampleRate != shownCoding.sampleRate;
    std::vector<int> list;
    const auto fillRates = [&list](QPravikMenuItem* item, std::int32_t& current, const QString& format, bool follow) {
        dropUnusable(list, 1, "rate");
        for (int rate : list)
            item->addChoice(rate, format.arg(rate / 1000));
        if (follow && !list.empty() && !listed(list, current))
            current = list.front();
        selectOrShow(item, current, current > 0 ? format.arg(current / 1000) : QString());
        item->setLocked(item->choiceCount() < 2);
    };

    if (QPravikMenuItem* item = page->findItem(AlgorithmItem)) {
        item->clearChoices();
        device->listCodecAlgorithms(codecMode, list, kInvalidInterface);
        dropUnusable(list, 0, "algorithm");
        for (int code : list)
            item->addChoice(code, QPravikLocalize::codecName(code));
        selectOrShow(item, editedCoding.codec, QPravikLocalize::codecName(editedCoding.codec));
        item->setLocked(item->choiceCount() < 2);
    }

    if (QPravikMenuItem* item = page->findItem(ChannelModeItem)) {
        item->clearChoices();
        device->listCodecModes(codecMode, editedCoding.codec, codecNumber, list, kInvalidInterface);
        dropUnusable(list, 0, "channel mode");
        // Standard operation with one mono codec line offers mono only.
        const bool monoOnly = device->operationMode() == 0 && device->audioModeFlags() == 8;
        for (int mode : list)
            if (!monoOnly || mode == 0)
                item->addChoice(mode, QPravikLocalize::channelModeName(mode));
        if (followAlgorithm && !list.empty() && !listed(list, int(editedCoding.channelMode)))
            editedCoding.channelMode = std::uint32_t(list.front());
        const int current = int(editedCoding.channelMode);
        selectOrShow(item, current, QPravikLocalize::channelModeName(current));
        item->setLocked(item->choiceCount() < 2);
    }

    if (QPravikMenuItem* item = page->findItem(SamplingRateItem)) {
        item->clearChoices();
        const int codec = editedCoding.codec;
        if (fixedCoding(codec)) {
            // The G.711 and G.722 families run at one fixed coding.
            if (followMode) {
                editedCoding.sampleRate = 48000;
                editedCoding.bitRate = 64000;
            }
            item->addChoice(48000, tr("%1 kHz").arg(codec <= 2 ? 8 : 16));
            const std::int32_t rate = editedCoding.sampleRate;
            selectOrShow(item, rate, rate > 0 ? tr("%1 kHz").arg(rate / 1000) : QString());
            item->setLocked(true);
        } else {
            device->listSampleRates(codecMode, codec, int(editedCoding.channelMode), list, kInvalidInterface);
            fillRates(item, editedCoding.sampleRate, tr("%1 kHz"), followMode);
        }
    }

    if (QPravikMenuItem* item = page->findItem(BitRateItem)) {
        item->clearChoices();
        // The fixed families list their bit rates at the rate they run at.
        const std::int32_t rate = fixedCoding(editedCoding.codec) ? 48000 : editedCoding.sampleRate;
        device->listBitrates(codecMode, editedCoding.codec, int(editedCoding.channelMode), rate, list,
                             kInvalidInterface);
        fillRates(item, editedCoding.bitRate, tr("%1 kbit/s"), followRate);
    }
    shownCoding = editedCoding;
}

void QPravikSettingsPage::readCodecRelay(QPravikMenuItems* page)
{
    if (QPravikMenuItem* item = page ? page->findItem(RelayItem) : nullptr) {
        TCommand request = audioRequest();
        request.addGet(kRelayKey);
        TComRequestHelper::ValueMap values, errors;
        requestHelper.getParams(request, values, errors, kTimeoutMs);
        const auto found = values.find(kRelayKey);
        const bool known = found != values.end() && (found->second == "on" || found->second == "off");
        readRelay = known && found->second == "on";
        item->clearChoices();
        item->addChoice(0, known ? tr("Disabled") : tr("Not available"));
        item->addChoice(1, tr("Active"));
        item->setChecked(readRelay);
        item->setLocked(!known);
    }
}

bool QPravikSettingsPage::isCodecCodingMenuModified(QPravikMenuItems* page)
{
    if (!page)
        return false;
    if (madeCoding(page, editedCoding) != readCoding)
        return true;
    const QPravikMenuItem* relay = page->findItem(RelayItem);
    return relay && !relay->locked && switchOn(relay) != readRelay;
}

bool QPravikSettingsPage::applyCodecCodingMenu(QPravikMenuItems* page)
{
    if (!page)
        return false;
    editedCoding = madeCoding(page, editedCoding);
    TComDevice* device = frontPanelDevice();
    const int codecNumber = page->menuId == Codec2Menu ? 2 : 1;
    if (editedCoding != readCoding) {
        // A coding without an algorithm is never sent, so a changed rate alone cannot go.
        if (editedCoding.codec == -1 || !device->setDualCodec(codecNumber, codecConfigToString(editedCoding), true)) {
            showMessage(tr("Failed to apply changes!"), 0);
            return false;
        }
        // The fixed families go by name alone: the unit holds their own rates.
        readCoding = codecNumber == 2 ? device->codec2() : device->codec1();
    }
    const QPravikMenuItem* relay = page->findItem(RelayItem);
    if (relay && !relay->locked && switchOn(relay) != readRelay) {
        TCommand request = audioRequest();
        request.setParam(kRelayKey, switchOn(relay) ? "on" : "off");
        if (requestHelper.setParams(request, kTimeoutMs) != int(request.params.size())) {
            // The coding is the unit's now; only the relay is still to go.
            showMessage(tr("Failed to apply changes!"), 0);
            return false;
        }
    }
    editedCoding = shownCoding = readCoding;
    updateCodecCodingMenu(page);
    readCodecRelay(page);
    return true;
}

// --- Auto bit rate menu -----------------------------------------------------

namespace {

std::vector<int> listNumbers(TComRequestHelper& helper, const char* key)
{
    TCommand request = audioRequest();
    request.addList(key);
    std::vector<std::string> items;
    helper.getList(request, items, kTimeoutMs);
    std::vector<int> numbers;
    for (const std::string& item : items)
        numbers.push_back(fromString<int>(item));
    return numbers;
}

} // namespace

void QPravikSettingsPage::createAutoBitRateMenu()
{
    auto* page = new QPravikMenuItems(AutoBitRateMenu, this);
    const TComRequestHelper::ValueMap values =
        readUnitValues({AutoAdaptItem, AdaptPolicyItem, MinimumBitRateItem, MaximumBitRateItem});
    // The unit is asked for its policies too, though the three are fixed here.
    TCommand request = audioRequest();
    request.addList(unitKey(AdaptPolicyItem));
    std::vector<std::string> unusedProfiles;
    requestHelper.getList(request, unusedProfiles, kTimeoutMs);
    const std::vector<int> minimum = listNumbers(requestHelper, unitKey(MinimumBitRateItem));
    const std::vector<int> maximum = listNumbers(requestHelper, unitKey(MaximumBitRateItem));

    TComDevice* device = frontPanelDevice();
    const bool locked = device->findAudioConnection(1) || device->findAudioConnection(2)
        || device->doubleStreamMode() == 1;

    addMenuRow(page, AutoAdaptItem, QPravikMenuItem::Switch, tr("Auto Adapt"));
    QPravikMenuItem* policy = addMenuRow(page, AdaptPolicyItem, QPravikMenuItem::ChoiceList, tr("Adapt Policy"));
    policy->addChoice(0, tr("Safe"));
    policy->addChoice(1, tr("Standard"));
    policy->addChoice(2, tr("Punchy"));
    QPravikMenuItem* low = addMenuRow(page, MinimumBitRateItem, QPravikMenuItem::ChoiceList,
                                      tr("Minimum Bit Rate"));
    QPravikMenuItem* high = addMenuRow(page, MaximumBitRateItem, QPravikMenuItem::ChoiceList,
                                       tr("Maximum Bit Rate"));
    for (int rate : minimum)
        low->addChoice(rate, tr("%1 kbit/s").arg(rate / 1000));
    for (int rate : maximum)
        high->addChoice(rate, tr("%1 kbit/s").arg(rate / 1000));
    fillUnitValues(page, values);
    // Only a call locks these: a value the unit did not answer stays editable.
    for (int id : {AutoAdaptItem, AdaptPolicyItem, MinimumBitRateItem, MaximumBitRateItem})
        page->findItem(id)->setLocked(locked);
    pushPage(page);
}
