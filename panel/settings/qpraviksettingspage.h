#pragma once

#include <QString>

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
};
