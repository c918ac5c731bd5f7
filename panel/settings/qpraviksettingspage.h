#pragma once

#include <QPointer>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "audio/taudiosettings.h"
#include "audio/tcomravennacontroller.h"
#include "link/valuetext.h"
#include "model/tcomaudioconnection.h"
#include "model/tcomethernetcontroller.h"
#include "model/tcomisdncontroller.h"
#include "model/tcommobilecontroller.h"
#include "model/tcomrequesthelper.h"
#include "model/tcomwificontroller.h"
#include "panel/kit/menuwidget.h"
#include "panel/settings/callprofilerecord.h"

class TCommand;
class TComController;
class QPravikMenuSelect;
class QPravikVirtual;

// The settings menu (page 11). Every menu page is built by code when it is
// opened; the hooks of the menu kit dispatch on the item's id and the menu id
// of its page (see settingsids.h). The members of each area's menus live in
// that area's unit (networkmenus.cpp, aoipmenus.cpp, ...).
class QPravikSettingsPage : public QPravikMenuWidget
{
    Q_OBJECT
public:
    // The statistics blocks of one codec line, in the connection's order.
    struct LineStatistics
    {
        TComAudioConnection::RxStatistics rx[2];
        TComAudioConnection::TxStatistics tx[2];
    };

    // What one of the three reaction hooks hands to the area owning the menu.
    struct ItemReaction
    {
        enum Hook { Changed, KeyboardAccepted, SelectionAccepted };
        Hook hook;
        QPravikMenuItem* item;
        QPravikVirtual* keyboard = nullptr;    // KeyboardAccepted only
        QPravikMenuSelect* selection = nullptr; // SelectionAccepted only
    };

    explicit QPravikSettingsPage(QWidget* parent = nullptr);
    ~QPravikSettingsPage() override;

    // --- hooks of the menu kit, in the base's order ---------------------------
    void goBack() override;
    void applyChanges() override;
    void refreshMenu() override;
    void openTarget(QPravikMenuEntry* entry) override;
    bool entryActivated(QPravikMenuEntry* entry) override;
    void itemActivated(QPravikMenuItem* item) override;
    void prepareKeyboard(QPravikMenuItem* item, QPravikVirtual* keyboard) override;
    void prepareSelection(QPravikMenuItem* item, QPravikMenuSelect* select) override;
    void itemChanged(QPravikMenuItem* item) override;
    void keyboardAccepted(QPravikMenuItem* item, QPravikVirtual* keyboard) override;
    void selectionAccepted(QPravikMenuItem* item, QPravikMenuSelect* select) override;
    bool openEntry(int entryId, int target) override;

    // --- called by the panel window and the login page ------------------------
    // Reads the three level passwords from the unit's store. On failure the
    // passwords held before stay and false is returned.
    bool readPasswords();
    // Administrator for 2, Expert for 1, Operator for anything else.
    const QString& passwordForLevel(int level) const;
    void handleCoreEvent(const TCommand& msg);
    void handleParamEvent(const TCommand& msg);
    void handleCallState(TComAudioConnection* connection);
    void handleStatistics(TComAudioConnection* connection);
    void stateHook(bool on);
    void stateHook2(bool on);
    void callReleasedHook(TComAudioConnection* connection);

    // --- helpers shared by the menus ------------------------------------------
    // The value of the item's current choice; none when no choice is current.
    // A choice's value may itself be -1 ("None"), so currentValue() cannot
    // tell the two apart.
    static std::optional<int> itemValue(const QPravikMenuItem* item);
    // A row added at the end of the page, with its left and top margins.
    static QPravikMenuItem* addMenuRow(QPravikMenuItems* page, int id, int type, const QString& title, int left = 10,
                                       int top = 0, int parentId = -1);
    static bool switchOn(const QPravikMenuItem* item);
    // Selects value; a value with no choice keeps no selection and shows text.
    static void selectOrShow(QPravikMenuItem* item, int value, const QString& text);
    // "isdn.0", "eth.N", "mobile.N" or "wifi.N" of an interface menu; empty
    // for any other menu.
    static std::string interfaceOfMenu(int menuId);
    // A number only when the whole text (spaces around it aside) is an
    // optional sign and decimal digits that fit an int.
    static std::optional<int> strictNumber(const QString& text);

    // --- value labels and unit-key converters ---------------------------------
    // Strict weak order: names differing only in case are equivalent.
    static bool qstringLessCaseInsensitive(const QString& a, const QString& b);
    static QString interfaceTypeLabel(int type);
    static QString ipModeLabel(int mode);
    static QString linkModeLabel(int mode);
    static QString callProtocolLabel(int protocol);
    static QString natTypeLabel(int type);
    static QString radioTechLabel(int tech);
    static QString connectionStateLabel(int state);
    static QString accessStateLabel(int state);
    static QString aoipStreamStatusLabel(int status);
    static QString ptpStateLabel(int state);
    static QString lockStateLabel(int state);
    // GPIO input events and relay output states: keys compare exactly; an
    // unknown key is 0, a code outside the table gives the "none" key.
    static int inputEventFromKey(const std::string& key);
    static std::string inputEventKey(int code);
    static QString inputEventLabel(int code);
    static int relayStateFromKey(const std::string& key);
    static std::string relayStateKey(int code);
    static QString relayStateLabel(int code);

    // --- members shared by the menus, in this order ---------------------------
    int firstMobileCapabilities = -1;
    CodecConfig editedCoding;
    CodecConfig readCoding;
    CodecConfig shownCoding; // what the codec coding items were last filled from
    bool autologin = false;
    bool readRelay = false;
    bool profileListStale = false;
    QString adminPassword;
    QString expertPassword;
    QString operatorPassword;
    std::map<int, int> inputLabelItems; // Labels menu item -> matrix input
    CallProfileRecord editedProfile;
    CallProfileRecord referenceProfile;
    TComRequestHelper requestHelper;
    TComEthernetController ethernetController;
    TComMobileController mobileController;
    TComWifiController wifiController;
    TComIsdnController isdnController;
    int editedMatrixOptions = 0;
    TComRavennaController::StreamIn editedStreamIn;
    // The unit's input stream as the page shows it, the announced list's id
    // and channel clamp taken in: what the edits are compared with.
    TComRavennaController::StreamIn referenceStreamIn;
    LineStatistics lineStatistics[2]; // line 1, line 2

public slots:
    void audioControllerParamChanged(TComController* controller, TAudioSettings::CtlrParam param);
    void ethernetParamChanged(TComController* controller, int param);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildRootEntries();
    // The Audio menu is closed to the Operator level.
    void updateAudioEntryState();
    // Hands a reaction to the area owning the item's menu (settingsreactions.cpp).
    void routeReaction(const ItemReaction& reaction);

    // --- immediate items (settingsreactions.cpp) -------------------------------
    // Items written to the unit when they change. Given whether the unit took
    // the value, a refusal puts the item back to what the unit holds and shows
    // why (`why`, else "Failed to apply changes!"). Returns `taken`.
    bool settleImmediate(QPravikMenuItem* item, bool taken, const QString& why = QString());
    // What the unit holds for an immediate item: its model's value, or the
    // unit's text the item last showed where no model keeps one.
    void showUnitValue(QPravikMenuItem* item);
    // Items of unit values no model keeps (auto bit rate, Miscellaneous,
    // Troubleshooting) show the unit's text of their key and remember it; an
    // item whose key the unit did not answer is locked.
    void fillUnitValues(QPravikMenuItems* page, const TComRequestHelper::ValueMap& values);
    // The unit key of such an item ("" for any other).
    static const char* unitKey(int id);
    // The unit's values of such items' keys: one GET a target, the targets
    // and keys in the order given.
    TComRequestHelper::ValueMap readUnitValues(std::initializer_list<int> ids);
    // Writes such an item at once.
    void writeUnitValue(QPravikMenuItem* item);
    // Apply: a guard finding a connection on the menu's interface or line,
    // and the menu's applier (true for a menu without one).
    bool isApplyBusy(int menuId) const;
    bool runApplier(QPravikMenuItems* page);
    // Item activation: links to sub-menus, then the rows acting in their page.
    bool openSubMenu(QPravikMenuItem* item);
    void activateInPage(QPravikMenuItem* item);
    void activateRecordAction(QPravikMenuItem* item);
    void loadCallProfile(QPravikMenuItem* item);
    void confirmOperatorScan(QPravikMenuItem* item, const std::string& network);
    void feedEthernetConfig(const TCommand& msg, int menuId);
    // A typed text refused at once goes back to what the item showed before
    // the keyboard opened, so an earlier edit not yet applied stays; an item
    // no keyboard was opened for shows `otherwise`.
    void undoTyping(QPravikMenuItem* item, const QString& otherwise);
    QPointer<QPravikMenuItem> typedItem;
    QString textBeforeTyping;

public:
    // ======================================================================
    // Network and interfaces (networkmenus.cpp)
    // ======================================================================
    void buildNetworkMenu();
    void updateMobileLinks(QPravikMenuItems* page);
    void refreshNetworkItem(QPravikMenuItem* item);
    // A new connection to a unit: what was kept of the last unit (its modems,
    // a pending AoIP re-initialisation) goes.
    void forgetUnitCapabilities();
    void createIsdnMenu();
    bool isdnMenuModified(QPravikMenuItems* page);
    bool applyIsdnMenu(QPravikMenuItems* page);
    void buildEthernetMenu(int menuId);
    void refreshEthernetItems(QPravikMenuItems* page);
    bool ethernetMenuModified(QPravikMenuItems* page);
    bool applyEthernetMenu(QPravikMenuItems* page);
    void buildMobileMenu(int menuId);
    bool mobileMenuModified(QPravikMenuItems* page);
    bool applyMobileMenu(QPravikMenuItems* page);
    void createWifiMenu(int menuId);
    bool wifiMenuModified(QPravikMenuItems* page);
    bool applyWifiMenu(QPravikMenuItems* page);
    // The Wi-Fi security choice that has the unit find the network's own.
    static constexpr int kAutoSecurity = 1;

private:
    // The network area's reactions (settingsreactions.cpp).
    void changeNetworkItem(QPravikMenuItem* item, int value);
    void changeCodecMode(QPravikMenuItem* item, int mode);
    void scanOperators(QPravikMenuItem* item);
    void chooseWifiNetwork(QPravikMenuItems* page, const QString& name);
    // NI-1 / NI-2 lines are known by their SPID, the others by their numbers.
    static void lockIsdnNumbers(QPravikMenuItems* page, int protocol, bool unloaded);
    // The addresses are the operator's only with manual addressing.
    static void lockEthernetAddresses(QPravikMenuItems* page, bool dhcp, bool unloaded);

public:

    // ======================================================================
    // AoIP (SIP) controller and SIP accounts (aoipmenus.cpp)
    // ======================================================================
    void buildAoipControllerMenu();
    void refreshDefaultAccountItem(QPravikMenuItems* page);
    void updateDoubleStreamingItems(QPravikMenuItem* item);
    bool aoipControllerMenuModified(QPravikMenuItems* page);
    bool applyAoipControllerMenu(QPravikMenuItems* page);
    void buildSipAccountMenu(int menuId);
    bool sipAccountMenuModified(QPravikMenuItems* page);
    bool applySipAccountMenu(QPravikMenuItems* page);
private:
    // A typed number the key cannot take is refused as the unit would refuse
    // it: the item goes back to what it showed before.
    void checkAoipNumber(QPravikMenuItem* item);
    // Writes the changed items of the AoIP menu or an account menu, then
    // re-initialises the AoIP interface.
    bool commitAoipPage(QPravikMenuItems* page);
    // The unit took the values but refused the re-initialisation.
    bool aoipReinitPending = false;
public:

    // ======================================================================
    // Coding (codingmenus.cpp)
    // ======================================================================
    void createCodingMenu();
    void updateCodingMenu(QPravikMenuItems* page);
    void createCodecCodingMenu(int menuId);
    void updateCodecCodingMenu(QPravikMenuItems* page);
    void readCodecRelay(QPravikMenuItems* page);
    bool isCodecCodingMenuModified(QPravikMenuItems* page);
    bool applyCodecCodingMenu(QPravikMenuItems* page);
    void createAutoBitRateMenu();

private:
    void codecCodingItemChanged(QPravikMenuItem* item);
    // The coding made mono at a bit rate the unit lists for mono.
    static CodecConfig monoCoding(CodecConfig coding, int codecMode);

public:

    // ======================================================================
    // Audio and monitoring (audiomenus.cpp)
    // ======================================================================
    void createAudioMenu();
    void updateAudioMenu(QPravikMenuItems* page);
    void createMonitoringMenu();
    void updateMonitoringMenu(QPravikMenuItems* page);
    bool isMonitoringMenuModified(QPravikMenuItems* page);
    bool applyMonitoringMenu(QPravikMenuItems* page);

private:
    // Bits of the routing matrix's options word.
    static constexpr std::uint32_t kKnobFunctionBit = 1u << 29;
    static constexpr std::uint32_t kIntercomBit = 1u << 30;
    static constexpr std::uint32_t kSideToneBit = 1u << 31;

    std::uint32_t matrixOptions() const { return static_cast<std::uint32_t>(editedMatrixOptions); }
    // The Monitoring bits the operator set since the menu last showed the
    // unit's word: those travel from the edits, the rest from the unit.
    std::uint32_t monitoringSet = 0;
    std::uint32_t monitoringWord() const;
    void showMonitoringWord(QPravikMenuItems* page, bool keepEdits);
    // The ratio choice: the ratio times ten, rounded.
    static int compressorRatioChoice(float ratio);
    // The models' value of one Audio item.
    void showAudioItem(QPravikMenuItem* item);
    void audioItemChanged(QPravikMenuItem* item);
    void monitoringItemChanged(QPravikMenuItem* item);
    bool changeOperationMode(int mode);

public:

    // ======================================================================
    // AoIP module, RAVENNA/DANTE (modulemenus.cpp)
    // ======================================================================
    void createRavennaMenu();
    void updateRavennaMenu(QPravikMenuItems* page);
    void createIpAddressingMenu(int menuId);
    void updateIpAddressingMenu(QPravikMenuItems* page);
    bool isIpAddressingMenuModified(QPravikMenuItems* page);
    bool applyIpAddressingMenu(QPravikMenuItems* page);
    void createInputStreamsMenu();
    void updateInputStreamsMenu(QPravikMenuItems* page);
    void createInputStreamMenu(int menuId);
    void updateInputStreamMenu(QPravikMenuItems* page);
    bool isInputStreamMenuModified(QPravikMenuItems* page);
    bool applyInputStreamMenu(QPravikMenuItems* page);
    void createOutputStreamMenu();
    void updateOutputStreamMenu(QPravikMenuItems* page);
    bool isOutputStreamMenuModified(QPravikMenuItems* page);
    bool applyOutputStreamMenu(QPravikMenuItems* page);

private:
    // The controller's value of one row of menu 123; also what a refused
    // change goes back to.
    void showModuleItem(QPravikMenuItem* item);
    void moduleItemChanged(QPravikMenuItem* item);
    void receiverDelayChanged(QPravikMenuItem* item);
    // A typed multicast port that is no port goes back to the controller's.
    void checkMulticastPort(QPravikMenuItem* item);
    // A module interface's addresses are the operator's only without DHCP.
    static void lockModuleAddresses(QPravikMenuItems* page, bool dhcp, bool unloaded);
    // An output interface's multicast address and port (output 0 or 1) are
    // the operator's only without auto configuration.
    static void lockMulticastItems(QPravikMenuItems* page, int output, bool autoconf, bool unloaded);

public:

    // ======================================================================
    // Book (bookmenus.cpp)
    // ======================================================================
    void createBookMenu();
    void createCallProfilesMenu();
    void createCallProfileMenu(int rowId, const QString& name);
    bool readCallProfile(int rowId, const QString& name);
    bool applyCallProfile(QPravikMenuItems* page);
    void createPresetsMenu();
    void createPresetMenu(int rowId, const QString& name);
    void createSipProfilesMenu();
    void createSipProfileMenu(int rowId, const QString& name);
    void createSnapshotsMenu();
    void createSnapshotMenu(int rowId, const QString& name);
    // Refill the editor's coding items and the Load / Delete locks from
    // editedProfile; a null page does nothing.
    void updateCallProfileEditor(QPravikMenuItems* page);
    void updateCallProfileActions(QPravikMenuItems* page);

private:
    void createRecordList(int menuId);
    void createRecordMenu(int listMenuId, int rowId, const QString& name);

public:

    // ======================================================================
    // Tools (toolsmenus.cpp)
    // ======================================================================
    void createToolsMenu();
    void createSoundIdMenu();
    void createSoftkeysMenu();
    void updateSoftkeysMenu(QPravikMenuItems* page);
    void createSoftkeyMenu(int menuId);
    void createLabelsMenu();
    void createMiscellaneousMenu();
    void createTroubleshootingMenu();
    void createPasswordsMenu();
    void createRemoteAccessMenu();
    bool applyRemoteAccessMenu(QPravikMenuItems* page);
    void updateToolsMenuAccess(QPravikMenuItems* page);
    void updateSoundIdMenu(QPravikMenuItems* page);
    // DO "open" of the sound-ID file: true when the unit has it.
    bool probeSoundIdFile();
    void updateSoftkeyMenu(QPravikMenuItems* page);
    void updateLabelsMenu(QPravikMenuItems* page);
    void updateTroubleshootingMenu(QPravikMenuItems* page);
    bool isRemoteAccessMenuModified(QPravikMenuItems* page);
    // With send the unit's store is written first; false when it refused.
    bool setAdminPassword(const QString& password, bool send);
    bool setExpertPassword(const QString& password, bool send);
    bool setOperatorPassword(const QString& password, bool send);
    bool setAutologin(bool on, bool send);

private:
    void switchSoundId(QPravikMenuItem* item);
    void changeAccessLevel(QPravikMenuItem* item, int level);
    void checkAccessPassword(QPravikMenuItem* item, QPravikVirtual* keyboard);
    void changeLabel(QPravikMenuItem* item);
    void changeSoftkey(QPravikMenuItem* item, int value);
    void changeLevelPassword(QPravikMenuItem* item);
    void resetUnitSettings(QPravikMenuItem* item, QPravikMenuSelect* selection);
    // The page never reads "autologin": until a write went through in this
    // run, the flag it holds says nothing about the unit.
    bool autologinWritten = false;

public:

    // ======================================================================
    // Status (statusmenus.cpp)
    // ======================================================================
    void createStatusMenu();
    void updateStatusMenu(QPravikMenuItems* page);
    void updateEthernetStatusText(QPravikMenuItems* page, int itemId);
    void createConnectionsMenu();
    void updateConnectionsMenu(QPravikMenuItems* page, int line);
    void updateConnectionMenu(QPravikMenuItems* page, TComAudioConnection* connection);
    void createStatisticsMenu(int menuId);
    void updateStatisticsMenu(QPravikMenuItems* page);
    void createAoipStatusMenu();
    void updateAoipStatusMenu(QPravikMenuItems* page);
    void createMobileStatusMenu(int menuId);
    // On the Status root page id is a mobile line item, on a mobile status menu its menu id.
    void updateMobileStatusMenu(QPravikMenuItems* page, int id);
    void updateWifiStatusText(QPravikMenuItems* page, int itemId);

    // ======================================================================
    // Reactions to item changes, accepted keyboards and selections
    // (settingsreactions.cpp), one function per area
    // ======================================================================
    // Menus 1, 10, 11, 12-23, 76, 77.
    void networkReaction(const ItemReaction& reaction);
    // Menus 3, 98, 99, 100, 114.
    void codingAudioReaction(const ItemReaction& reaction);
    // Menus 123, 129, 130, 137, 138-143, 148.
    void moduleReaction(const ItemReaction& reaction);
    // Menus 173-176 and the record pages 178.
    void bookReaction(const ItemReaction& reaction);
    // Menus 5, 195, 199-205, 209, 229, 241, 245, 252.
    void toolsReaction(const ItemReaction& reaction);
};

// The page's translations for the menus' helpers outside the class; a unit
// takes them in with "using settingsmenu::tr;".
namespace settingsmenu {
inline QString tr(const char* text)
{
    return QPravikSettingsPage::tr(text);
}
} // namespace settingsmenu
