#include "model/qpraviksoftkeys.h"

#include "link/frontpanelcom.h"
#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"
#include "model/unitfirmware.h"

#include <QDebug>
#include <QScopedValueRollback>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTimeoutMs = 5000;

// Firmware words: the behaviour travels above the first, Contacts has its
// third function from the second, and the further cough and talk functions
// come above the third.
constexpr std::uint32_t kBehaviorOnWire = 0x10703;
constexpr std::uint32_t kThirdContact = 0x10E00;
constexpr std::uint32_t kMoreFunctions = 0x10EFF;

// Device option bits.
constexpr std::uint32_t kOptionTalkAux = 0x4;
constexpr std::uint32_t kOptionTalkLine2 = 0x80;

// The unit's device option word.
std::uint32_t deviceOptionWord()
{
    return frontPanelDevice()->deviceOptions();
}

struct CategoryRow
{
    const char* name;
    int functions;
    int defaultBehavior;
    unsigned behaviors; // bit b: behaviour b allowed
};

const CategoryRow kNoCategory = {QT_TRANSLATE_NOOP("QPravikSoftkey", "None"), 0, 0, 1u << 0};
const CategoryRow kCategories[] = {
    {QT_TRANSLATE_NOOP("QPravikSoftkey", "Cough Key"), 4, 1, 1u << 1},
    {QT_TRANSLATE_NOOP("QPravikSoftkey", "Talk to Speaker"), 16, 1, 1u << 1 | 1u << 2},
    {QT_TRANSLATE_NOOP("QPravikSoftkey", "Talk to Output"), 20, 1, 1u << 1 | 1u << 2},
    {QT_TRANSLATE_NOOP("QPravikSoftkey", "Aux to Bus"), 14, 2, 1u << 2},
    {QT_TRANSLATE_NOOP("QPravikSoftkey", "Contacts"), 3, 2, 1u << 2},
    {QT_TRANSLATE_NOOP("QPravikSoftkey", "Info"), 2, 0, 1u << 0},
    {QT_TRANSLATE_NOOP("QPravikSoftkey", "Shortcuts"), 9, 3, 1u << 3},
};

const CategoryRow& categoryRow(int category)
{
    return category >= 0 && category < 7 ? kCategories[category] : kNoCategory;
}

bool inRange(int category, int function)
{
    return function >= 1 && function <= categoryRow(category).functions;
}

const char* const kBehaviorNames[] = {
    QT_TRANSLATE_NOOP("QPravikSoftkey", "Not Applicable"),
    QT_TRANSLATE_NOOP("QPravikSoftkey", "Temporary"),
    QT_TRANSLATE_NOOP("QPravikSoftkey", "Toggle"),
    QT_TRANSLATE_NOOP("QPravikSoftkey", "Pulse"),
};

const char* const kShortcutNames[] = {
    QT_TRANSLATE_NOOP("QPravikSoftkey", "Home"),    QT_TRANSLATE_NOOP("QPravikSoftkey", "Mixing"),
    QT_TRANSLATE_NOOP("QPravikSoftkey", "Inputs"),  QT_TRANSLATE_NOOP("QPravikSoftkey", "Network"),
    QT_TRANSLATE_NOOP("QPravikSoftkey", "Coding"),  QT_TRANSLATE_NOOP("QPravikSoftkey", "Audio"),
    QT_TRANSLATE_NOOP("QPravikSoftkey", "Book"),    QT_TRANSLATE_NOOP("QPravikSoftkey", "Tools"),
    QT_TRANSLATE_NOOP("QPravikSoftkey", "Status"),
};

// Display order of the Talk to Output functions: each position lists USB,
// LINE1, LINE2, then its two RAV/DNT outputs.
const int kTalkToOutputRanks[] = {1, 2, 4, 5, 6, 7, 9, 10, 11, 12, 14, 15, 16, 17, 19, 20, 3, 8, 13, 18};

// Sizes of the categories in the older wire form's running function number.
const int kLegacyGroups[] = {4, 16, 16, 14, 2, 2, 9};

QString ravName(int which, std::uint32_t options)
{
    return QString::fromLatin1(options & kDanteOption ? "DNT%1" : "RAV%1").arg(which);
}

// What a function acts on and where it goes, with the names that make up
// its display name.
struct Target
{
    int input = -1;
    int output = -1;
    QString from;
    QString to;
};

Target talkToSpeaker(int n)
{
    const int position = (n - 1) / 4 + 1;
    const int slot = (n - 1) % 4;
    Target t{position - 1, -1, QString::number(position), QPravikSoftkey::tr("All")};
    if (slot < 3) {
        // The other positions in rising order.
        const int other = slot + 1 + (slot + 1 >= position ? 1 : 0);
        t.output = 2 * other;
        t.to = QString::number(other);
    }
    return t;
}

Target talkToOutput(int n, std::uint32_t options)
{
    if (n > 16)
        return {n - 17, 14, QString::number(n - 16), QStringLiteral("LINE2")};
    const int position = (n - 1) / 4 + 1;
    const QString names[] = {QStringLiteral("USB"), QStringLiteral("LINE1"), ravName(1, options), ravName(2, options)};
    const int outputs[] = {11, 10, 12, 13};
    const int slot = (n - 1) % 4;
    return {position - 1, outputs[slot], QString::number(position), names[slot]};
}

Target auxToBus(int n, std::uint32_t options)
{
    const int source = (n - 1) / 2;
    const QString names[] = {QStringLiteral("USB"),  QStringLiteral("AUX1"), QStringLiteral("AUX2"),
                             QStringLiteral("AES1"), QStringLiteral("AES2"), ravName(1, options),
                             ravName(2, options)};
    const int inputs[] = {8, 4, 5, 6, 7, 9, 10};
    const bool coord = (n - 1) % 2;
    return {inputs[source], coord ? 1 : 0, names[source], QString::fromLatin1(coord ? "COORD" : "PGM")};
}

// Only for a function within its category's range.
Target targetOf(int category, int n, std::uint32_t options)
{
    switch (category) {
    case QPravikSoftkey::CoughKey:
        return {n - 1, -1, {}, {}};
    case QPravikSoftkey::TalkToSpeaker:
        return talkToSpeaker(n);
    case QPravikSoftkey::TalkToOutput:
        return talkToOutput(n, options);
    case QPravikSoftkey::AuxToBus:
        return auxToBus(n, options);
    }
    return {};
}

// Functions of the key-bound categories by key index, {older, newer} firmware.
const std::uint32_t kKeyMasks[5][7][2] = {
    // Cough Key
    {{0x1, 0x1}, {0x5, 0x5}, {0x5, 0x7}, {0xC, 0xF}, {0xA, 0xB}, {0xA, 0xA}, {0x2, 0x2}},
    // Talk to Speaker
    {{0x7, 0x7}, {0x707, 0x707}, {0x707, 0x707}, {0x7700, 0x7700}, {0x7070, 0x7070}, {0x7070, 0x7070},
     {0x70, 0x70}},
    // Talk to Output
    {{0x3, 0x3}, {0x303, 0x303}, {0x303, 0x303}, {0x3300, 0x3333}, {0x3030, 0x3030}, {0x3030, 0x3030},
     {0x30, 0x30}},
    // Talk to Output, added with the auxiliary board and option 0x4
    {{0xC, 0xC}, {0xC0C, 0xC0C}, {0xC0C, 0xC0C}, {0xCC00, 0xCCCC}, {0xC0C0, 0xC0C0}, {0xC0C0, 0xC0C0},
     {0xC0, 0xC0}},
    // Talk to Output, added with the auxiliary board and option 0x80
    {{0x10000, 0x10000}, {0x50000, 0x50000}, {0x50000, 0x50000}, {0xC0000, 0xF0000}, {0xA0000, 0xA0000},
     {0xA0000, 0xA0000}, {0x20000, 0x20000}},
};
const std::uint32_t kReducedMasks[] = {0x7, 0x333, 0xF0EEE};

// The key families the model mirrors, all of target "general": the prefix,
// how many keys (numbered from 1) and what applies a unit value of one.
struct Family
{
    const char* prefix;
    int count;
    void (QPravikSoftkeys::*apply)(const std::string& key, const std::string& value);
};

const Family kInfoLabels = {"info_label", 2, &QPravikSoftkeys::applyInfoLabel};
const Family kContactLabels = {"contact_label", 2, &QPravikSoftkeys::applyContactLabel};
const Family kSoftkeys = {"softkey", QPravikSoftkeys::kKeyCount, &QPravikSoftkeys::parseSoftkey};
// In the order the keys are read.
const Family* const kFamilies[] = {&kInfoLabels, &kContactLabels, &kSoftkeys};

// The number after the family's prefix, 1..count; 0 for any other key.
int keyNumber(const std::string& key, const Family& family)
{
    if (key.rfind(family.prefix, 0) != 0)
        return 0;
    const int n = fromString<int>(key.substr(std::strlen(family.prefix)));
    return n >= 1 && n <= family.count ? n : 0;
}

} // namespace

// --- QPravikSoftkey --------------------------------------------------------

QPravikSoftkey::QPravikSoftkey(QPravikSoftkeys* owner, int index)
    : m_owner(owner)
    , m_index(index)
{
}

QMap<int, QString> QPravikSoftkey::categories() const
{
    QMap<int, QString> list;
    for (int category = None; category <= Shortcuts; ++category)
        list.insert(category, categoryName(category));
    return list;
}

std::uint32_t QPravikSoftkey::availableFunctions(int category, int index, std::uint32_t firmware,
                                                 std::uint32_t options, bool aux)
{
    if (category < CoughKey || category > Shortcuts)
        return 0;
    const bool reduced = options & kReducedHardwareOption;
    if (category == AuxToBus) {
        std::uint32_t mask = reduced ? 0 : 0x3;
        if (aux)
            mask |= 0xC | (reduced ? 0 : 0x3F0) | (options & kOptionTalkAux ? 0x3C00 : 0);
        return mask;
    }
    if (category > TalkToOutput) {
        // Not bound to the key. Contacts has its third function only on
        // newer firmware.
        const bool fewer = category == Contacts && firmware < kThirdContact;
        return fewer ? 0x3 : (1u << categoryRow(category).functions) - 1;
    }
    if (index < 0 || index >= QPravikSoftkeys::kKeyCount)
        return 0;
    const int newer = firmware > kMoreFunctions ? 1 : 0;
    std::uint32_t mask = kKeyMasks[category][index][newer];
    if (category == TalkToOutput && aux) {
        if (options & kOptionTalkAux)
            mask |= kKeyMasks[3][index][newer];
        if (options & kOptionTalkLine2)
            mask |= kKeyMasks[4][index][newer];
    }
    return reduced ? mask & kReducedMasks[category] : mask;
}

QMap<int, QString> QPravikSoftkey::functions(int category, bool codes)
{
    QMap<int, QString> list;
    if (category < CoughKey || category > Shortcuts) {
        list.insert(0, functionName(None, 0));
        return list;
    }
    const std::uint32_t mask =
        availableFunctions(category, m_index, unitFirmwareVersion, deviceOptionWord(), m_owner->auxiliaryBoard());
    m_functionMask = static_cast<int>(mask);
    for (int n = 1; n <= categoryRow(category).functions; ++n) {
        if (mask & (1u << (n - 1)))
            list.insert(codes ? functionCode(category, n) : n, functionName(category, n));
    }
    return list;
}

QMap<int, QString> QPravikSoftkey::behaviors(int category) const
{
    QMap<int, QString> list;
    const unsigned allowed = categoryRow(category).behaviors;
    for (int b = NotApplicable; b <= Pulse; ++b) {
        if (allowed & (1u << b))
            list.insert(b, behaviorName(b));
    }
    return list;
}

void QPravikSoftkey::clearFunction()
{
    m_function = 0;
    m_behavior = NotApplicable;
    m_input = -1;
    m_output = -1;
}

bool QPravikSoftkey::setCategory(int category)
{
    if (category == m_category)
        return true;
    if (category < None || category > Shortcuts)
        return false;
    QPravikSoftkey next = *this;
    next.m_category = category;
    next.m_functionMask = -1;
    int first = 0;
    if (category >= Contacts) {
        first = 1;
    } else if (category != None) {
        const QMap<int, QString> list = next.functions(category, false);
        first = list.isEmpty() ? 0 : list.firstKey();
    }
    next.takeFunction(first);
    if (!sendFirst(next))
        return false;
    emit m_owner->softKeyCategoryChanging(this, static_cast<Category>(category));
    *this = next;
    emit m_owner->softKeyFunctionChanged(this);
    return true;
}

void QPravikSoftkey::takeFunction(int n)
{
    clearFunction();
    m_function = n & 0xFF;
    if (inRange(m_category, m_function)) {
        const Target target = targetOf(m_category, m_function, 0);
        m_input = target.input;
        m_output = target.output;
    }
    m_behavior = categoryRow(m_category).defaultBehavior;
}

bool QPravikSoftkey::applyFunction(int n)
{
    QPravikSoftkey next = *this;
    next.takeFunction(n);
    if (!sendFirst(next))
        return false;
    *this = next;
    emit m_owner->softKeyFunctionChanged(this);
    return true;
}

bool QPravikSoftkey::setFunction(int function)
{
    if (function == m_function)
        return true;
    if (!functions(m_category, false).contains(function))
        return false;
    QPravikSoftkey next = *this;
    next.takeFunction(function);
    if (!sendFirst(next))
        return false;
    emit m_owner->softKeyFunctionChanging(this, function);
    *this = next;
    emit m_owner->softKeyFunctionChanged(this);
    return true;
}

bool QPravikSoftkey::setBehavior(int behavior)
{
    if (behavior == m_behavior)
        return true;
    if (!behaviors(m_category).contains(behavior))
        return false;
    QPravikSoftkey next = *this;
    next.m_behavior = behavior;
    if (!sendFirst(next))
        return false;
    m_behavior = behavior;
    emit m_owner->softKeyBehaviorChanged(this);
    return true;
}

bool QPravikSoftkey::sendFirst(const QPravikSoftkey& next) const
{
    return m_owner->sendValue(kSoftkeys.prefix, m_index + 1, next.wireText());
}

std::string QPravikSoftkey::wireText() const
{
    if (m_category == None)
        return {};
    std::string text = "C" + toHexString(m_category, 2) + "F" + toHexString(m_function, 2);
    if (unitFirmwareVersion > kBehaviorOnWire)
        text += "B" + toHexString(m_behavior, 2);
    return text;
}

QString QPravikSoftkey::categoryName(int category)
{
    return tr(categoryRow(category).name);
}

QString QPravikSoftkey::functionName(int category, int function)
{
    return functionName(category, function, deviceOptionWord());
}

QString QPravikSoftkey::functionName(int category, int function, std::uint32_t options)
{
    if (!inRange(category, function))
        return tr("None");
    switch (category) {
    case CoughKey:
        return tr("Cough %1").arg(function);
    case TalkToSpeaker:
    case TalkToOutput: {
        const Target t = targetOf(category, function, options);
        return tr("%1 Talk %2").arg(t.from, t.to);
    }
    case AuxToBus: {
        const Target t = targetOf(category, function, options);
        return tr("%1 to %2").arg(t.from, t.to);
    }
    case Contacts:
        return function == 3 ? tr("All PGM Buttons Off") : tr("Contact %1").arg(function);
    case Info:
        return tr("Info %1").arg(function);
    }
    return tr(kShortcutNames[function - 1]);
}

QString QPravikSoftkey::behaviorName(int behavior)
{
    return tr(kBehaviorNames[behavior >= Temporary && behavior <= Pulse ? behavior : NotApplicable]);
}

int QPravikSoftkey::functionRank(int category, int function)
{
    if (!inRange(category, function))
        return -1;
    return category == TalkToOutput ? kTalkToOutputRanks[function - 1] : function;
}

int QPravikSoftkey::functionCode(int category, int function)
{
    const unsigned rank = static_cast<unsigned>(functionRank(category, function));
    return static_cast<int>(((rank << 8) & 0xFFFFu) | static_cast<unsigned>(function));
}

int QPravikSoftkey::legacyFunction(int number)
{
    if (number < 0)
        return 0;
    for (int size : kLegacyGroups) {
        if (number < size)
            return number + 1;
        number -= size;
    }
    return 0;
}

// --- QPravikSoftkeys -------------------------------------------------------

QPravikSoftkeys::QPravikSoftkeys(QObject* parent)
    : QObject(parent)
    , m_requests(frontPanelCom())
    , m_keys{{this, 0}, {this, 1}, {this, 2}, {this, 3}, {this, 4}, {this, 5}, {this, 6}}
{
}

QPravikSoftkey* QPravikSoftkeys::softkey(int i)
{
    return &m_keys[i >= 0 && i < kKeyCount ? i : 0];
}

QString QPravikSoftkeys::infoLabel(int index) const
{
    return index == 0 || index == 1 ? m_infoLabels[index] : QString();
}

QString QPravikSoftkeys::contactLabel(int index) const
{
    return index == 0 || index == 1 ? m_contactLabels[index] : QString();
}

bool QPravikSoftkeys::sendValue(const char* key, int number, const std::string& value)
{
    if (m_applying)
        return true;
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::general());
    request.setParam(key + toString(number), value);
    return m_requests.setParams(request, kTimeoutMs) == static_cast<int>(request.params.size());
}

bool QPravikSoftkeys::setInfoLabel(int index, const QString& text)
{
    return storeLabel(m_infoLabels, kInfoLabels.prefix, index, text, &QPravikSoftkeys::infoLabelChanged);
}

bool QPravikSoftkeys::setContactLabel(int index, const QString& text)
{
    return storeLabel(m_contactLabels, kContactLabels.prefix, index, text, &QPravikSoftkeys::contactLabelChanged);
}

bool QPravikSoftkeys::storeLabel(QString* labels, const char* key, int index, const QString& text,
                                 void (QPravikSoftkeys::*changed)(int, const QString&))
{
    if (index != 0 && index != 1)
        return false;
    if (labels[index] == text)
        return true;
    if (!sendValue(key, index + 1, toUnitUtf8(text)))
        return false;
    labels[index] = text;
    emit(this->*changed)(index, text);
    return true;
}

void QPravikSoftkeys::parseSoftkey(const std::string& key, const std::string& value)
{
    const int n = keyNumber(key, kSoftkeys);
    if (!n)
        return;
    QScopedValueRollback<bool> applying(m_applying, true);
    QPravikSoftkey& softkey = m_keys[n - 1];
    if (value.empty()) {
        softkey.setCategory(QPravikSoftkey::None);
    } else if (value.size() > 5 && value[0] == 'C') {
        // "C<cc>F<ff>[B<bb>]"; the letters between the numbers are not examined.
        softkey.setCategory(static_cast<int>(fromHexString<long>(value.substr(1, 2))));
        softkey.setFunction(static_cast<int>(fromHexString<long>(value.substr(4, 2))));
        if (value.size() > 8)
            softkey.setBehavior(static_cast<int>(fromHexString<long>(value.substr(7, 2))));
    } else {
        // The older form: the category in the upper half, a running function
        // number over all categories in the lower half.
        const int number = fromString<int>(value);
        softkey.setCategory(number >> 16);
        softkey.setFunction(QPravikSoftkey::legacyFunction(number & 0xFFFF));
    }
}

void QPravikSoftkeys::applyInfoLabel(const std::string& key, const std::string& value)
{
    if (const int n = keyNumber(key, kInfoLabels)) {
        QScopedValueRollback<bool> applying(m_applying, true);
        setInfoLabel(n - 1, fromUnitUtf8(value));
    }
}

void QPravikSoftkeys::applyContactLabel(const std::string& key, const std::string& value)
{
    if (const int n = keyNumber(key, kContactLabels)) {
        QScopedValueRollback<bool> applying(m_applying, true);
        setContactLabel(n - 1, fromUnitUtf8(value));
    }
}

void QPravikSoftkeys::applyValues(const TComRequestHelper::ValueMap& values)
{
    for (const auto& p : values) {
        for (const Family* family : kFamilies) {
            if (p.first.rfind(family->prefix, 0) == 0) {
                (this->*family->apply)(p.first, p.second);
                break;
            }
        }
    }
}

void QPravikSoftkeys::handleConfigChangeset(const TCommand& info)
{
    if (*info.param(wire::key::infoType()) == wire::event::configChangeset())
        applyValues(info.params);
}

bool QPravikSoftkeys::load()
{
    m_requests.subscribe(wire::event::configChangeset());
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::general());
    for (const Family* family : kFamilies) {
        for (int n = 1; n <= family->count; ++n)
            request.addGet(family->prefix + toString(n));
    }
    TComRequestHelper::ValueMap values;
    TComRequestHelper::ValueMap errors;
    m_requests.getParams(request, values, errors, kTimeoutMs);
    if (!TComRequestHelper::allAnswered(request, values)) {
        const auto answered = std::count_if(request.getKeys.begin(), request.getKeys.end(),
                                            [&values](const std::string& key) { return values.count(key) > 0; });
        qDebug().noquote().nospace() << "QPravikSoftkeys::load(answered=" << answered << " of "
                                     << request.getKeys.size() << ") applied nothing";
        return false;
    }
    applyValues(values);
    return true;
}

QPravikSoftkeys* frontPanelSoftkeys()
{
    // Function-local static: made on first use, destroyed at exit.
    static QPravikSoftkeys softkeys(nullptr);
    return &softkeys;
}

QPravikSoftkey* frontPanelSoftkey(int i)
{
    return frontPanelSoftkeys()->softkey(i);
}
