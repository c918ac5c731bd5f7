#pragma once

#include <QString>

#include <cstdint>

#include "link/valuetext.h"
#include "model/tcomrequesthelper.h"

#include "panel/kit/menuwidget.h"

class TCommand;
class TComAudioConnection;

// The settings menu (page 11). Until its menus are built it offers the root
// entries and what the panel window and the login page call on it: opening a
// root entry, leaving by "Exit", the level passwords and the unit message
// hooks, which have no open menu to refresh yet.
class QPravikSettingsPage : public QPravikMenuWidget
{
    Q_OBJECT
public:
    // What the window joins into a remote number when a call profile is
    // loaded into a line.
    struct CallProfile
    {
        QString remoteAddress;
        QString secondRemoteAddress;
    };

    explicit QPravikSettingsPage(QWidget* parent = nullptr);

    bool entryActivated(QPravikMenuEntry* entry) override;
    bool openEntry(int entryId, int target) override;

    // Reads the three level passwords from the unit's store. On failure the
    // passwords held before stay and false is returned.
    bool readPasswords();
    // Administrator for 2, Expert for 1, Operator for anything else.
    const QString& passwordForLevel(int level) const;

    void handleCoreEvent(const TCommand& info);
    void handleParamEvent(const TCommand& event);
    void handleCallState(TComAudioConnection* connection);
    void handleStatistics(TComAudioConnection* connection);

    CallProfile editedProfile;
    QString adminPassword;
    QString expertPassword;
    QString operatorPassword;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildRootEntries();
    // The Audio menu is closed to the Operator level.
    void updateAudioEntryState();

public:
    CodecConfig editedCoding;
    CodecConfig readCoding;
    bool readRelay = false;
    std::uint32_t editedMatrixOptions = 0;
    TComRequestHelper requestHelper;

    // --- coding, audio and monitoring ---------------------------------------
    void createCodingMenu();
    void updateCodingMenu(QPravikMenuItems* page);
    void createCodecCodingMenu(int menuId);
    void updateCodecCodingMenu(QPravikMenuItems* page);
    bool isCodecCodingMenuModified(QPravikMenuItems* page);
    bool applyCodecCodingMenu(QPravikMenuItems* page);
    void createAutoBitRateMenu();
    void createAudioMenu();
    void updateAudioMenu(QPravikMenuItems* page);
    void createMonitoringMenu();
    void updateMonitoringMenu(QPravikMenuItems* page);
    bool isMonitoringMenuModified(QPravikMenuItems* page);
    bool applyMonitoringMenu(QPravikMenuItems* page);
    void codingAndAudioItemChanged(QPravikMenuItem* item);
    void itemChanged(QPravikMenuItem* item) override;
    void applyChanges() override;
    void itemActivated(QPravikMenuItem* item) override;

private:
    // Bits of the routing matrix's options word.
    static constexpr std::uint32_t kKnobFunctionBit = 1u << 29;
    static constexpr std::uint32_t kIntercomBit = 1u << 30;
    static constexpr std::uint32_t kSideToneBit = 1u << 31;
    // The auto bit rate values as the unit last accepted them.
    struct AutoBitRate
    {
        bool calls = false;
        int profile = 1;
        int minimum = 0;
        int maximum = 0;
    };
    AutoBitRate keptAutoBitRate;

    static QPravikMenuItem* addMenuRow(QPravikMenuItems* page, int id, int type, const QString& title, int left = 10,
                                       int top = 0);
    static bool switchOn(const QPravikMenuItem* item);
    // Selects value; a value with no choice keeps no selection and shows text.
    static void selectOrShow(QPravikMenuItem* item, int value, const QString& text);
    // The ratio choice: the ratio times ten, rounded.
    static int compressorRatioChoice(float ratio);
    static CodecConfig monoCoding(CodecConfig coding, int codecMode);
    void showKeptAutoBitRate(QPravikMenuItem* item);
    void writeAutoBitRateItem(QPravikMenuItem* item);
    void showAudioItem(QPravikMenuItem* item);
    void codecCodingItemChanged(QPravikMenuItem* item);
    void audioItemChanged(QPravikMenuItem* item);
    bool changeOperationMode(int mode);
};
