#pragma once

#include <QEvent>
#include <QFont>

#include <cstdint>
#include <functional>
#include <string>

#include "model/unitfirmware.h"

namespace QPravik {

// Index in the panel window's page stack; 12 and above only ask for the
// settings page opened on a given menu.
enum Page {
    PageLogin = 0,
    PageMain = 1,
    PageConnection = 2,
    PageAudio = 3,
    PageAudioInput = 4,
    PageAudioAuxiliary = 5,
    PageAudioOutput = 6,
    PageHeadphone1 = 7,
    PageHeadphone2 = 8,
    PageHeadphone3 = 9,
    PageHeadphone4 = 10,
    PageSettings = 11,
    PageNetworkMenu = 12,
    PageCodingMenu = 13,
    PageCodec1Menu = 14,
    PageCodec2Menu = 15,
    PageAudioMenu = 16,
    PageToolsMenu = 17,
    PageBookMenu = 18,
    PageCallProfiles1 = 19,
    PageCallProfiles2 = 20,
    PageStatusMenu = 21
};

// Key codes of the unit's hardware keys that the panel window emulates.
enum HardwareKey { HeadphoneKey = 257, CallKey = 261 };

// The font the main window gives the whole panel: base in bold Arial 14 px.
QFont panelFont(QFont base);

} // namespace QPravik

// The panel's own event: a deferred unit message (kind 1000) or a key press
// or release (kinds 6 and 7) handed to the panel window by a control or popup.
class QPravikEvent : public QEvent
{
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(1000);
    enum Kind { KeyPress = 6, KeyRelease = 7, DeferredMessage = 1000 };

    explicit QPravikEvent(int kind, int key = -1, int fromControl = 0)
        : QEvent(EventType), kind(kind), key(key), fromControl(fromControl)
    {
    }

    int kind;
    int key;
    int fromControl;
};

class QWidget;

// The end of an operator's write made on a page: when the unit did not take
// it (taken false), redraw puts the control back at the model's value (with
// its signals blocked, as every redraw) and the panel window's one message
// box says "Failed to apply changes!": however many steps of a knob the unit
// refuses, there is one box. Returns taken.
bool settleWrite(QWidget* page, bool taken, const std::function<void()>& redraw = {});

enum AccessLevel : int { OperatorLevel = 0, ExpertLevel = 1, AdministratorLevel = 2 };

// The operator's level on the panel; survives a dropped link.
extern int currentAccessLevel;

// Inputs of the four selectable slots of headphone positions 1 (0-3) and 2 (4-7),
// as routing-matrix input numbers.
extern int headphoneKnobInputs[8];

// Packs a dotted version text one byte per part (major << 16 | minor << 8 | patch).
std::uint32_t parseVersionString(const std::string& text);
