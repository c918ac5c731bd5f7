#include "panel/settings/qpraviksettingspage.h"

#include <iterator>

// Value labels and the unit keys of the GPIO and relay settings.

namespace {

// The label of a code within a table starting at code first, else the default.
template <std::size_t N>
const char* pick(const char* const (&labels)[N], int code, int first, const char* other)
{
    return code >= first && code < first + int(N) ? labels[code - first] : other;
}

struct KeyLabel
{
    const char* key;
    const char* label;
};

// Code 0 is the "none" row; a code outside the table maps to it.
const KeyLabel kInputEvents[] = {
    {"input_event_none", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Disabled")},
    {"input_event_r1", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Contact 1")},
    {"input_event_r2", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Contact 2")},
    {"input_event_redial", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Redial Codec 1")},
    {"input_event_release", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Release Codec 1")},
    {"input_event_redrel", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Redial/Release Codec 1")},
    {"input_event_redial2", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Redial Codec 2")},
    {"input_event_release2", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Release Codec 2")},
    {"input_event_redrel2", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Redial/Release Codec 2")},
    {"input_event_progsoff", QT_TRANSLATE_NOOP("QPravikSettingsPage", "All PGM Buttons Off")},
    {"input_event_coord1on", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Coord 1")},
    {"input_event_coord2on", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Coord 2")},
    {"input_event_coord3on", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Coord 3")},
    {"input_event_coord4on", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Coord 4")},
};

const KeyLabel kRelayStates[] = {
    {"relay_state_none", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Disabled")},
    {"relay_state_r1", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Info 1")},
    {"relay_state_r2", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Info 2")},
    {"relay_state_line", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Line Status Codec 1")},
    {"relay_state_sync", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Sync Status Codec 1")},
    {"relay_state_line2", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Line Status Codec 2")},
    {"relay_state_sync2", QT_TRANSLATE_NOOP("QPravikSettingsPage", "Sync Status Codec 2")},
    {"relay_state_onair", QT_TRANSLATE_NOOP("QPravikSettingsPage", "On Air Status")},
};

template <std::size_t N>
int codeOfKey(const KeyLabel (&table)[N], const std::string& key)
{
    for (std::size_t code = 1; code < N; ++code)
        if (key == table[code].key)
            return int(code);
    return 0;
}

template <std::size_t N>
const KeyLabel& rowOfCode(const KeyLabel (&table)[N], int code)
{
    return code > 0 && code < int(N) ? table[code] : table[0];
}

QString label(const char* text)
{
    return QPravikSettingsPage::tr(text);
}

} // namespace

bool QPravikSettingsPage::qstringLessCaseInsensitive(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

QString QPravikSettingsPage::interfaceTypeLabel(int type)
{
    static const char* const labels[] = {QT_TR_NOOP("AoIP"), QT_TR_NOOP("ISDN"), QT_TR_NOOP("Voice")};
    return label(pick(labels, type, 0, QT_TR_NOOP("Unknown")));
}

QString QPravikSettingsPage::ipModeLabel(int mode)
{
    static const char* const labels[] = {QT_TR_NOOP("DHCP"), QT_TR_NOOP("Manual"), QT_TR_NOOP("PPPoE"),
                                         QT_TR_NOOP("BGAN")};
    return label(pick(labels, mode, 0, QT_TR_NOOP("Unknown")));
}

QString QPravikSettingsPage::linkModeLabel(int mode)
{
    static const char* const labels[] = {
        QT_TR_NOOP("Auto Negotiation"), QT_TR_NOOP("10000BaseT-FD"), QT_TR_NOOP("2500BaseT-FD"),
        QT_TR_NOOP("1000BaseT-FD"),     QT_TR_NOOP("1000BaseT-HD"),  QT_TR_NOOP("100BaseT-FD"),
        QT_TR_NOOP("100BaseT-HD"),      QT_TR_NOOP("10BaseT-FD"),    QT_TR_NOOP("10BaseT-HD")};
    return label(pick(labels, mode, 0, QT_TR_NOOP("Unknown")));
}

QString QPravikSettingsPage::callProtocolLabel(int protocol)
{
    static const char* const labels[] = {QT_TR_NOOP("Direct RTP"), QT_TR_NOOP("Multicast")};
    return label(pick(labels, protocol, 1, QT_TR_NOOP("SIP")));
}

QString QPravikSettingsPage::natTypeLabel(int type)
{
    static const char* const labels[] = {
        QT_TR_NOOP("Failure"),   QT_TR_NOOP("Open Access"), QT_TR_NOOP("Blocked"),
        QT_TR_NOOP("Symmetric UDP"), QT_TR_NOOP("Full Cone"), QT_TR_NOOP("Symmetric"),
        QT_TR_NOOP("Restricted Cone"), QT_TR_NOOP("Port Restricted Cone")};
    return label(pick(labels, type, 1, QT_TR_NOOP("Unknown")));
}

QString QPravikSettingsPage::radioTechLabel(int tech)
{
    static const char* const labels[] = {QT_TR_NOOP("2G"), QT_TR_NOOP("3G"), QT_TR_NOOP("4G/LTE"), QT_TR_NOOP("5G")};
    return label(pick(labels, tech, 0, QT_TR_NOOP("Unknown")));
}

namespace {
const char* const kConnectionStates[] = {QT_TRANSLATE_NOOP("QPravikSettingsPage", "Not Connected or Failure"),
                                         QT_TRANSLATE_NOOP("QPravikSettingsPage", "Connection in Progress"),
                                         QT_TRANSLATE_NOOP("QPravikSettingsPage", "Connection Established")};
}

QString QPravikSettingsPage::connectionStateLabel(int state)
{
    return label(pick(kConnectionStates, state, 1, QT_TR_NOOP("Disabled")));
}

QString QPravikSettingsPage::accessStateLabel(int state)
{
    return label(pick(kConnectionStates, state, 1, QT_TR_NOOP("Not active")));
}

QString QPravikSettingsPage::aoipStreamStatusLabel(int status)
{
    static const char* const labels[] = {
        QT_TR_NOOP("Disabled"),     QT_TR_NOOP("Idle"),
        QT_TR_NOOP("Waiting"),      QT_TR_NOOP("Transmitting"),
        QT_TR_NOOP("Receiving"),    QT_TR_NOOP("Receiving (Warning)"),
        QT_TR_NOOP("Receiving (No Sync)"), QT_TR_NOOP("Receiving (Sync Error)"),
        QT_TR_NOOP("Address Collision"),   QT_TR_NOOP("Not Enough Decoders")};
    return label(pick(labels, status, 0, QT_TR_NOOP("Unknown Status")));
}

QString QPravikSettingsPage::ptpStateLabel(int state)
{
    static const char* const labels[] = {
        QT_TR_NOOP("Not Defined"), QT_TR_NOOP("Initializing"), QT_TR_NOOP("Faulty"),
        QT_TR_NOOP("Disabled"),    QT_TR_NOOP("Listening"),    QT_TR_NOOP("Pre-master"),
        QT_TR_NOOP("Master"),      QT_TR_NOOP("Passive"),      QT_TR_NOOP("Not Calibrated"),
        QT_TR_NOOP("Slave")};
    return label(pick(labels, state, 0, QT_TR_NOOP("Unknown State")));
}

QString QPravikSettingsPage::lockStateLabel(int state)
{
    static const char* const labels[] = {QT_TR_NOOP("Unlocked"), QT_TR_NOOP("Locking"), QT_TR_NOOP("Locked")};
    return label(pick(labels, state, 1, QT_TR_NOOP("Unknown State")));
}

int QPravikSettingsPage::inputEventFromKey(const std::string& key)
{
    return codeOfKey(kInputEvents, key);
}

std::string QPravikSettingsPage::inputEventKey(int code)
{
    return rowOfCode(kInputEvents, code).key;
}

QString QPravikSettingsPage::inputEventLabel(int code)
{
    return label(rowOfCode(kInputEvents, code).label);
}

int QPravikSettingsPage::relayStateFromKey(const std::string& key)
{
    return codeOfKey(kRelayStates, key);
}

std::string QPravikSettingsPage::relayStateKey(int code)
{
    return rowOfCode(kRelayStates, code).key;
}

QString QPravikSettingsPage::relayStateLabel(int code)
{
    return label(rowOfCode(kRelayStates, code).label);
}
