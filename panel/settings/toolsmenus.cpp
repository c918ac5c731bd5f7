// The Tools entry: reboot, access level, sound ID, programmable keys,
// labels, miscellaneous unit settings, troubleshooting, level passwords and
// the remote-access settings.
#include "panel/settings/qpraviksettingspage.h"

#include <QGridLayout>
#include <QLabel>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/protocolkeys.h"
#include "link/valuetext.h"
#include "model/locale.h"
#include "model/qpraviksoftkeys.h"
#include "model/secretvalue.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"
#include "panel/kit/controls.h"
#include "panel/kit/look.h"
#include "panel/settings/settingsids.h"

using namespace SettingsId;

namespace {

constexpr int kRequestTimeoutMs = 5000;
constexpr int kDatabaseTimeoutMs = 10000;
const char* const kSoundIdFile = "/mnt/datax/sound_ID.wav";

// Device option bits.
constexpr std::uint32_t kRemoteAccessOption = 0x8;
constexpr std::uint32_t kRemoteAccessLevel3 = 0x10;
constexpr std::uint32_t kRavennaExtraStreams = 0x200;

// Firmware words.
constexpr std::uint32_t kSoundIdMenuFirmware = 0x10A00;
constexpr std::uint32_t kSoftkeyModeFirmware = 0x10703;  // the mode is fixed up to this one
constexpr std::uint32_t kSipProfileResetFirmware = 0x10701;
constexpr std::uint32_t kSixthStreamFirmware = 0x10D00;

constexpr int kAutoInterface = 0xFFFF;

std::uint32_t deviceOptions()
{
    return frontPanelDevice()->deviceOptions();
}

TCommand request(std::uint32_t verb, const std::string& target)
{
    TCommand command(verb);
    if (!target.empty())
        command.setParam(wire::key::target(), target);
    return command;
}

// Public pool names only: they belong to no vendor and rotate by themselves.
const char* const kNtpServers[] = {
    "pool.ntp.org",        "0.pool.ntp.org",         "1.pool.ntp.org",    "2.pool.ntp.org",
    "3.pool.ntp.org",      "europe.pool.ntp.org",    "north-america.pool.ntp.org",
};

// Stores a level password; with send it goes to the unit's store first, as
// a token, never in clear.
bool storeLevelPassword(QString& stored, const char* key, const QString& password, bool send)
{
    if (password == stored)
        return true;
    // The unit keeps Latin-1: a wider character would reach it as '?' and
    // lock the operator out at the next login.
    if (std::any_of(password.begin(), password.end(), [](QChar c) { return c.unicode() > 0xFF; }))
        return false;
    if (send) {
        std::string value;
        if (!password.isEmpty() && !makeSecretToken(toStdString(password), value))
            return false;
        if (frontPanelCom()->dbWrite({{key, value}}, kDatabaseTimeoutMs) != 0)
            return false;
    }
    stored = password;
    return true;
}

} // namespace

// --- Tools menu ------------------------------------------------------------------

void QPravikSettingsPage::createToolsMenu()
{
    auto* page = new QPravikMenuItems(ToolsMenu, this);
    QPravikMenuItem* reboot = addMenuRow(page, RebootItem, QPravikMenuItem::Action, tr("Reboot"));
    reboot->setValueText(tr("Restart the system"), false);
    setPixmapWhenDrawn(reboot->iconLabel, QStringLiteral(":/images/shutdown.png"));

    QPravikMenuItem* level = addMenuRow(page, AccessLevelItem, QPravikMenuItem::ChoiceList, tr("Access Level"));
    level->addChoice(OperatorLevel, tr("Operator"));
    level->addChoice(ExpertLevel, tr("Expert"));
    level->addChoice(AdministratorLevel, tr("Administrator"));
    level->setCurrentValue(currentAccessLevel, true, false);

    const std::uint32_t options = deviceOptions();
    if (options & kRecordingOption) {
        if (unitFirmwareVersion < kSoundIdMenuFirmware) {
            addMenuRow(page, SoundIdItem, QPravikMenuItem::Switch, tr("Play Sound ID"));
            updateSoundIdMenu(page);
        } else {
            addMenuRow(page, SoundIdMenu, QPravikMenuItem::SubMenu, tr("Sound ID"))
                ->setValueText(tr("Play sound ID, activate sound ID shortcut"), false);
        }
    }
    const struct
    {
        int id;
        QString title, value;
    } links[] = {
        {SoftkeysMenu, tr("Softkeys"), tr("Configure the programmable keys")},
        {LabelsMenu, tr("Labels"), tr("Configure the info, contact and input labels")},
        {MiscellaneousMenu, tr("Miscellaneous"),
         options & kReducedHardwareOption ? tr("Auto redialing and NTP server") : tr("GPIO, Auto redialing and NTP server")},
        {TroubleshootingMenu, tr("Troubleshooting"), tr("Reset settings, configure event log")},
        {PasswordsMenu, tr("Passwords"), tr("Configure the passwords")},
    };
    for (const auto& link : links)
        addMenuRow(page, link.id, QPravikMenuItem::SubMenu, link.title)->setValueText(link.value, false);
    updateToolsMenuAccess(page);
    pushPage(page);
}

void QPravikSettingsPage::updateToolsMenuAccess(QPravikMenuItems* page)
{
    if (!page)
        return;
    for (int id : {SoftkeysMenu, LabelsMenu, MiscellaneousMenu, TroubleshootingMenu}) {
        if (QPravikMenuItem* item = page->findItem(id))
            item->setLocked(currentAccessLevel == OperatorLevel);
    }
    if (QPravikMenuItem* item = page->findItem(PasswordsMenu))
        item->setLocked(currentAccessLevel != AdministratorLevel);
    updateAudioEntryState();
}

// --- Sound ID menu ---------------------------------------------------------------

void QPravikSettingsPage::createSoundIdMenu()
{
    auto* page = new QPravikMenuItems(SoundIdMenu, this);
    addMenuRow(page, SoundIdItem, QPravikMenuItem::Switch, tr("Play Sound ID"));
    addMenuRow(page, SoundIdShortcutItem, QPravikMenuItem::Switch, tr("Sound ID Shortcut"));
    updateSoundIdMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateSoundIdMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    const bool present = probeSoundIdFile();
    const TAudioSettings* audio = frontPanelAudioSettings();
    if (QPravikMenuItem* play = page->findItem(SoundIdItem)) {
        play->clearChoices();
        play->addChoice(0, present ? tr("Disabled") : tr("Audio file is missing"));
        play->addChoice(1, tr("Active"));
        play->setChecked(present && !audio->waveFile().empty());
        play->setLocked(!present || !audio->takesKey("wave_file"));
    }
    if (QPravikMenuItem* shortcut = page->findItem(SoundIdShortcutItem)) {
        shortcut->setChecked(audio->waveShortcut());
        shortcut->setLocked(!present || !audio->takesKey("wave_scut"));
    }
}

bool QPravikSettingsPage::probeSoundIdFile()
{
    TCommand probe = request(TCommand::Do, wire::target::general());
    probe.setParam(wire::key::action(), wire::action::open());
    probe.setParam(wire::key::type(), "record");
    probe.setParam(wire::key::name(), kSoundIdFile);
    return requestHelper.send(probe, kRequestTimeoutMs);
}

void QPravikSettingsPage::switchSoundId(QPravikMenuItem* item)
{
    TAudioSettings* audio = frontPanelAudioSettings();
    const bool on = switchOn(item);
    settleImmediate(item, item->id == SoundIdItem ? audio->setWaveFile(on ? kSoundIdFile : "", true)
                                                  : audio->setWaveShortcut(on, true));
}

// --- Passwords menu --------------------------------------------------------------

bool QPravikSettingsPage::setAdminPassword(const QString& password, bool send)
{
    return storeLevelPassword(adminPassword, "password_al", password, send);
}

bool QPravikSettingsPage::setExpertPassword(const QString& password, bool send)
{
    return storeLevelPassword(expertPassword, "password_el", password, send);
}

bool QPravikSettingsPage::setOperatorPassword(const QString& password, bool send)
{
    return storeLevelPassword(operatorPassword, "password_ol", password, send);
}

// The page never reads the flag: until a write went through, the unit may
// hold either value, so an equal value is sent all the same.
bool QPravikSettingsPage::setAutologin(bool on, bool send)
{
    if (on == autologin && (autologinWritten || !send))
        return true;
    if (send) {
        if (frontPanelCom()->dbWrite({{"autologin", on ? "on" : "off"}}, kDatabaseTimeoutMs) != 0)
            return false;
        autologinWritten = true;
    }
    autologin = on;
    return true;
}

void QPravikSettingsPage::createPasswordsMenu()
{
    auto* page = new QPravikMenuItems(PasswordsMenu, this);
    readPasswords();
    const struct
    {
        int id;
        QString title;
        const QString& password;
    } rows[] = {
        {AdminPasswordItem, tr("Administrator Password"), adminPassword},
        {ExpertPasswordItem, tr("Expert Password"), expertPassword},
        {OperatorPasswordItem, tr("Operator Password"), operatorPassword},
    };
    for (const auto& row : rows)
        addMenuRow(page, row.id, QPravikMenuItem::Password, row.title)->setValueText(row.password, false);
    pushPage(page);
}

// --- Softkeys menus --------------------------------------------------------------

void QPravikSettingsPage::createSoftkeysMenu()
{
    auto* page = new QPravikMenuItems(SoftkeysMenu, this);
    for (int key = 0; key < QPravikSoftkeys::kKeyCount; ++key)
        addMenuRow(page, SoftkeyMenuFirst + key, QPravikMenuItem::SubMenu, tr("Programmable Key %1").arg(key + 1));
    updateSoftkeysMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateSoftkeysMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    for (int key = 0; key < QPravikSoftkeys::kKeyCount; ++key) {
        QPravikMenuItem* item = page->findItem(SoftkeyMenuFirst + key);
        if (!item)
            continue;
        const QPravikSoftkey* softkey = frontPanelSoftkey(key);
        const int category = softkey->category();
        item->setValueText(category == QPravikSoftkey::None
                               ? QPravikSoftkey::categoryName(category)
                               : tr("%1 [ %2 ]").arg(QPravikSoftkey::categoryName(category),
                                                     QPravikSoftkey::functionName(category, softkey->function())),
                           false);
    }
}

void QPravikSettingsPage::createSoftkeyMenu(int id)
{
    auto* page = new QPravikMenuItems(id, this);
    addMenuRow(page, SoftkeyCategoryItem, QPravikMenuItem::ChoiceList, tr("Category"));
    addMenuRow(page, SoftkeyFunctionItem, QPravikMenuItem::ChoiceList, tr("Function"));
    addMenuRow(page, SoftkeyModeItem, QPravikMenuItem::ChoiceList, tr("Mode"));
    updateSoftkeyMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateSoftkeyMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    QPravikSoftkey* key = frontPanelSoftkey(page->menuId - SoftkeyMenuFirst);
    const int category = key->category();
    const auto refill = [page](int id, const QMap<int, QString>& choices, int current, bool locked) {
        QPravikMenuItem* item = page->findItem(id);
        if (!item)
            return;
        item->clearChoices();
        for (auto it = choices.begin(); it != choices.end(); ++it)
            item->addChoice(it.key(), it.value());
        item->setCurrentValue(current, true, false);
        item->setLocked(locked || choices.size() < 2);
    };
    refill(SoftkeyCategoryItem, key->categories(), category, false);
    refill(SoftkeyFunctionItem, key->functions(category, true),
           QPravikSoftkey::functionCode(category, key->function()), false);
    refill(SoftkeyModeItem, key->behaviors(category), key->behavior(), unitFirmwareVersion <= kSoftkeyModeFirmware);
}

// --- Labels menu -----------------------------------------------------------------

namespace {

// Whether the unit has the matrix input an input label names.
bool hasLabelledInput(int input, std::uint32_t options, bool auxiliaryBoard)
{
    const bool full = !(options & kReducedHardwareOption);
    const bool streams = auxiliaryBoard && (options & kRavennaOption);
    const bool moreStreams = streams && (options & kRavennaExtraStreams);
    switch (input) {
    case 0: case 1: case 2: return true;
    case 3: case 8: return full;
    case 4: return auxiliaryBoard;
    case 5: case 6: case 7: return auxiliaryBoard && full;
    case 9: case 10: return streams;
    case 14: case 15: case 16: return moreStreams;
    case 18: return moreStreams && unitFirmwareVersion >= kSixthStreamFirmware;
    default: return false;
    }
}

} // namespace

void QPravikSettingsPage::createLabelsMenu()
{
    auto* page = new QPravikMenuItems(LabelsMenu, this);
    addMenuRow(page, -1, QPravikMenuItem::SectionHeader, tr("Info and Contact Labels"));
    for (int i = 0; i < 2; ++i)
        addMenuRow(page, InfoLabelItemFirst + i, QPravikMenuItem::Text, tr("Info %1 Label").arg(i + 1), 60);
    for (int i = 0; i < 2; ++i)
        addMenuRow(page, ContactLabelItemFirst + i, QPravikMenuItem::Text, tr("Contact %1 Label").arg(i + 1), 60);
    addMenuRow(page, -1, QPravikMenuItem::SectionHeader, tr("Audio Input Labels"), 10, 20);
    const std::uint32_t options = deviceOptions();
    const bool auxiliaryBoard = frontPanelAudioSettings()->auxiliaryBoard();
    const TMatrixSettings* matrix = frontPanelMatrixSettings();
    for (auto it = inputLabelItems.begin(); it != inputLabelItems.end(); ++it) {
        if (!hasLabelledInput(it->second, options, auxiliaryBoard))
            continue;
        QPravikMenuItem* item = addMenuRow(page, it->first, QPravikMenuItem::Text,
                                           QPravikLocalize::audioPortName(it->second, options), 60);
        // The name travels in the input's own key, the one that also routes
        // it to Program left.
        item->setLocked(!matrix->takesNode(it->second, QPravik::OutputProgramLeft));
    }
    updateLabelsMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateLabelsMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    const QPravikSoftkeys* softkeys = frontPanelSoftkeys();
    for (int i = 0; i < 2; ++i) {
        if (QPravikMenuItem* item = page->findItem(InfoLabelItemFirst + i))
            item->setValueText(softkeys->infoLabel(i), false);
        if (QPravikMenuItem* item = page->findItem(ContactLabelItemFirst + i))
            item->setValueText(softkeys->contactLabel(i), false);
    }
    const TMatrixSettings* matrix = frontPanelMatrixSettings();
    for (auto it = inputLabelItems.begin(); it != inputLabelItems.end(); ++it) {
        if (QPravikMenuItem* item = page->findItem(it->first))
            item->setValueText(matrix->inputName(it->second), false);
    }
}

// --- Miscellaneous and Troubleshooting menus -------------------------------------

void QPravikSettingsPage::createMiscellaneousMenu()
{
    const TComRequestHelper::ValueMap values =
        readUnitValues({AutoRedial1Item, AutoRedial2Item, RedialAttemptsItem, RedialTimeItem, GpioInput1Item,
                        GpioInput2Item, GpioRelay1Item, GpioRelay2Item, NtpServerItem, CustomNtpServerItem});

    auto* page = new QPravikMenuItems(MiscellaneousMenu, this);
    const bool gpio = !(deviceOptions() & kReducedHardwareOption);
    if (gpio) {
        addMenuRow(page, -1, QPravikMenuItem::SectionHeader, tr("GPIO"));
        const struct
        {
            int id;
            QString title;
            bool relay;
        } ports[] = {{GpioInput1Item, tr("Input 1"), false},
                     {GpioInput2Item, tr("Input 2"), false},
                     {GpioRelay1Item, tr("Relay 1"), true},
                     {GpioRelay2Item, tr("Relay 2"), true}};
        for (const auto& port : ports) {
            QPravikMenuItem* item = addMenuRow(page, port.id, QPravikMenuItem::ChoiceList, port.title, 60);
            TCommand list = request(TCommand::Param, wire::target::general());
            list.addList(unitKey(port.id));
            std::vector<std::string> allowed;
            requestHelper.getList(list, allowed, kRequestTimeoutMs);
            for (const std::string& entry : allowed) {
                if (port.relay)
                    item->addChoice(relayStateFromKey(entry), relayStateLabel(relayStateFromKey(entry)));
                else
                    item->addChoice(inputEventFromKey(entry), inputEventLabel(inputEventFromKey(entry)));
            }
        }
    }
    addMenuRow(page, -1, QPravikMenuItem::SectionHeader, tr("Auto Redialing"), 10, gpio ? 20 : 0);
    addMenuRow(page, AutoRedial1Item, QPravikMenuItem::Switch, tr("Auto Redial Codec 1"), 60);
    addMenuRow(page, AutoRedial2Item, QPravikMenuItem::Switch, tr("Auto Redial Codec 2"), 60);
    QPravikMenuItem* attempts =
        addMenuRow(page, RedialAttemptsItem, QPravikMenuItem::WheelOnRelease, tr("Number of Attempts"), 60);
    for (int n = 1; n <= 20; ++n)
        attempts->addChoice(n, QString::number(n));
    attempts->addChoice(0, tr("Infinite"));
    QPravikMenuItem* delay =
        addMenuRow(page, RedialTimeItem, QPravikMenuItem::WheelOnRelease, tr("Time Before Redialing"), 60);
    delay->addChoice(1, tr("1 second"));
    for (int n = 2; n <= 30; ++n)
        delay->addChoice(n, tr("%1 seconds").arg(n));
    addMenuRow(page, -1, QPravikMenuItem::SectionHeader, tr("NTP"), 10, 20);
    QPravikMenuItem* server = addMenuRow(page, NtpServerItem, QPravikMenuItem::ChoiceList, tr("NTP Server"), 60);
    server->addChoice(0, tr("Custom"));
    for (int i = 0; i < int(std::size(kNtpServers)); ++i)
        server->addChoice(i + 1, QString::fromLatin1(kNtpServers[i]));
    addMenuRow(page, CustomNtpServerItem, QPravikMenuItem::Text, tr("Custom Server"), 60);
    fillUnitValues(page, values);
    pushPage(page);
}

void QPravikSettingsPage::createTroubleshootingMenu()
{
    auto* page = new QPravikMenuItems(TroubleshootingMenu, this);
    QPravikMenuItem* level = addMenuRow(page, LogLevelItem, QPravikMenuItem::ChoiceList, tr("Log Level"));
    level->addChoice(5, tr("Coarse"));
    level->addChoice(6, tr("Normal"));
    level->addChoice(8, tr("Debug"));
    addMenuRow(page, SyslogServerItem, QPravikMenuItem::Text, tr("Syslog Server"));
    QPravikMenuItem* reset = addMenuRow(page, ResetItem, QPravikMenuItem::Action, tr("Reset"));
    reset->setValueText(tr("Select the category of settings to reset"), false);
    const QString categories[] = {tr("Call History"),  tr("Call Profiles"),
                                  tr("Presets"),       tr("SIP Profiles"),
                                  tr("Snapshots"),     tr("Restore Default Settings"),
                                  tr("Full Factory Reset"), tr("Reload the Factory SIP Accounts")};
    for (int value = 0; value < int(std::size(categories)); ++value) {
        if (value != 3 || unitFirmwareVersion > kSipProfileResetFirmware)
            reset->addChoice(value, categories[value]);
    }
    reset->setCurrentValue(0, false, false);
    updateTroubleshootingMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateTroubleshootingMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    fillUnitValues(page, readUnitValues({LogLevelItem, SyslogServerItem}));
}

// --- Remote access menu ----------------------------------------------------------

namespace {

// "auto" and a missing value are Auto; a name of no interface is -1.
int remoteInterfaceCode(const TComRequestHelper::ValueMap& values)
{
    const auto found = values.find("remote_access_network");
    if (found == values.end() || found->second == "auto")
        return kAutoInterface;
    const std::uint32_t code = interfaceCodeFromName(found->second);
    return code == kInvalidInterface ? -1 : static_cast<int>(code);
}

std::string remoteInterfaceName(int code)
{
    return code == kAutoInterface ? std::string("auto") : interfaceName(code);
}

TComRequestHelper::ValueMap readRemoteAccess(TComRequestHelper& helper, std::initializer_list<const char*> keys)
{
    TCommand get = request(TCommand::Param, wire::target::general());
    for (const char* key : keys)
        get.addGet(key);
    TComRequestHelper::ValueMap values, refused;
    helper.getParams(get, values, refused, kRequestTimeoutMs);
    return values;
}

const std::string& valueOf(const TComRequestHelper::ValueMap& values, const char* key)
{
    static const std::string none;
    const auto found = values.find(key);
    return found == values.end() ? none : found->second;
}

// The remote-access items the applier writes, by item; the last two are texts.
const struct
{
    int id;
    const char* key;
} kRemoteKeys[] = {{RemoteAccessItem, "remote_access"},
                   {ControlInterfaceItem, "remote_access_network"},
                   {RemoteServerItem, "remote_access_server"},
                   {RemoteCodecPasswordItem, "remote_access_pwd"}};

// On an item whose key the unit did not answer: the wire text it was built
// with, a blank that only the operator's edit makes worth writing.
const char* const kUnreadAs = "unreadAs";

// An item's wire text; none for an interface with no current choice.
std::optional<std::string> remoteWireText(const QPravikMenuItem* item)
{
    if (item->id == RemoteAccessItem)
        return std::string(QPravikSettingsPage::switchOn(item) ? "on" : "off");
    if (item->id != ControlInterfaceItem)
        return toUnitUtf8(item->valueText());
    const std::optional<int> code = QPravikSettingsPage::itemValue(item);
    return code ? std::optional<std::string>(remoteInterfaceName(*code)) : std::nullopt;
}

} // namespace

void QPravikSettingsPage::createRemoteAccessMenu()
{
    const TComRequestHelper::ValueMap values =
        readRemoteAccess(requestHelper, {"serialno", "codec_id", "remote_access", "remote_access_network",
                                         "remote_access_server", "remote_access_pwd"});
    const std::uint32_t options = deviceOptions();
    const bool remoteAccess = options & kRemoteAccessOption;
    const bool administrator = currentAccessLevel == AdministratorLevel;
    auto* page = new QPravikMenuItems(RemoteAccessMenu, this);

    const QString remoteTitle = remoteAccess ? tr("Remote Access") : tr("Remote Assistance");
    addMenuRow(page, RemoteAccessItem, QPravikMenuItem::Switch, remoteTitle)
        ->setChecked(valueOf(values, "remote_access") == "on");

    QPravikMenuItem* network =
        addMenuRow(page, ControlInterfaceItem, QPravikMenuItem::ChoiceList, tr("Interface for Control"));
    network->addChoice(kAutoInterface, tr("Auto"));
    TComDevice* device = frontPanelDevice();
    device->loadNetworks();
    for (const auto& entry : device->interfaces()) {
        const int code = static_cast<int>(entry.first);
        if (transportOf(code) == IpTransport)
            network->addChoice(code, QPravikLocalize::interfaceName(code, options));
    }
    // An interface the device does not list is shown, in red, and never written.
    const int code = remoteInterfaceCode(values);
    if (network->setCurrentValue(code, true, true) < 0)
        network->setValueTextGlobalColor(code < 0 ? toQString(valueOf(values, "remote_access_network"))
                                                  : QPravikLocalize::interfaceName(code, options),
                                         Qt::red, true);

    if (remoteAccess) {
        QPravikMenuItem* server = addMenuRow(page, RemoteServerItem, QPravikMenuItem::Text, tr("Remote Access Server"));
        server->setValueText(fromUnitUtf8(valueOf(values, "remote_access_server")), false);
        server->setLocked(!(administrator && (options & kRemoteAccessLevel3)));
    }
    addMenuRow(page, RemoteSerialNumberItem, QPravikMenuItem::Text, tr("Serial Number"))
        ->setValueText(toQString(valueOf(values, "serialno")), false);
    addMenuRow(page, RemoteCodecIdItem, QPravikMenuItem::Text, tr("Codec Identifier"))
        ->setValueText(toQString(valueOf(values, "codec_id")), false);
    page->findItem(RemoteSerialNumberItem)->setLocked(true);
    page->findItem(RemoteCodecIdItem)->setLocked(true);
    if (remoteAccess) {
        QPravikMenuItem* password =
            addMenuRow(page, RemoteCodecPasswordItem, QPravikMenuItem::Text, tr("Codec Password"));
        password->setValueText(fromUnitUtf8(valueOf(values, "remote_access_pwd")), false);
        password->setLocked(!administrator);
    }
    for (const auto& row : kRemoteKeys) {
        QPravikMenuItem* item = page->findItem(row.id);
        const std::optional<std::string> text = item ? remoteWireText(item) : std::nullopt;
        if (text && !values.count(row.key))
            item->setProperty(kUnreadAs, QByteArray::fromStdString(*text));
    }
    pushPage(page);
}

bool QPravikSettingsPage::isRemoteAccessMenuModified(QPravikMenuItems* page)
{
    if (!page)
        return false;
    const TComRequestHelper::ValueMap values = readRemoteAccess(
        requestHelper, {"remote_access", "remote_access_network", "remote_access_server", "remote_access_pwd"});
    const auto editable = [&](int id, const char* key) -> QPravikMenuItem* {
        QPravikMenuItem* item = page->findItem(id);
        return item && !item->locked && values.count(key) ? item : nullptr;
    };
    if (QPravikMenuItem* item = editable(RemoteAccessItem, "remote_access")) {
        if (switchOn(item) != (valueOf(values, "remote_access") == "on"))
            return true;
    }
    if (QPravikMenuItem* item = editable(ControlInterfaceItem, "remote_access_network")) {
        const std::optional<int> code = itemValue(item);
        if (code && *code != remoteInterfaceCode(values))
            return true;
    }
    for (const auto& text : kRemoteKeys) {
        if (text.id != RemoteServerItem && text.id != RemoteCodecPasswordItem)
            continue;
        if (QPravikMenuItem* item = editable(text.id, text.key)) {
            if (item->valueText() != fromUnitUtf8(valueOf(values, text.key)))
                return true;
        }
    }
    return false;
}

bool QPravikSettingsPage::applyRemoteAccessMenu(QPravikMenuItems* page)
{
    if (!page)
        return false;
    const auto editable = [page](int id) {
        QPravikMenuItem* item = page->findItem(id);
        return item && !item->locked ? item : nullptr;
    };
    TCommand set(TCommand::Param);
    std::vector<QPravikMenuItem*> written;
    for (const auto& row : kRemoteKeys) {
        QPravikMenuItem* item = editable(row.id);
        const std::optional<std::string> text = item ? remoteWireText(item) : std::nullopt;
        if (!text)
            continue;
        const QVariant unread = item->property(kUnreadAs);
        if (unread.isValid() && unread.toByteArray() == QByteArray::fromStdString(*text))
            continue;
        set.setParam(row.key, *text);
        written.push_back(item);
    }
    if (set.params.empty())
        return true;
    set.setParam(wire::key::target(), wire::target::general());
    if (requestHelper.setParams(set, kRequestTimeoutMs) != static_cast<int>(set.params.size())) {
        showMessage(tr("Failed to apply changes!"), 0);
        return false;
    }
    // What went through is the unit's now, blank or not.
    for (QPravikMenuItem* item : written)
        item->setProperty(kUnreadAs, QVariant());
    const bool passwordSent = std::any_of(written.begin(), written.end(),
                                          [](const QPravikMenuItem* item) { return item->id == RemoteCodecPasswordItem; });
    if (passwordSent) {
        // A failed read keeps what the unit just took rather than a blank.
        const TComRequestHelper::ValueMap values = readRemoteAccess(requestHelper, {"remote_access_pwd"});
        QPravikMenuItem* item = editable(RemoteCodecPasswordItem);
        if (item && values.count("remote_access_pwd"))
            item->setValueText(fromUnitUtf8(valueOf(values, "remote_access_pwd")), false);
    }
    return true;
}
