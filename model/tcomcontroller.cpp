#include "model/tcomcontroller.h"

#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"
#include "model/secretvalue.h"
#include "model/unitfirmware.h"

#include <QSignalBlocker>
#include <QtGlobal>

#include <algorithm>
#include <cassert>
#include <map>
#include <utility>

namespace {

constexpr int kTimeoutMs = 5000;

bool firmwareAbove(std::uint32_t gate)
{
    return gate == 0 || unitFirmwareVersion > gate;
}

std::string encode(const KeyWire& wire, int value)
{
    return wire.kind == KeyWire::Words ? wire.words->name(value) : toString(value);
}
std::string encode(const KeyWire& wire, bool value)
{
    return value ? wire.on : wire.off;
}
// A secret that cannot be made a token comes out empty, which no token is.
// Texts are held as the bytes the unit sent, so they go back unchanged.
std::string encode(const KeyWire& wire, const std::string& value)
{
    if (wire.kind == KeyWire::Secret) {
        std::string token;
        return makeSecretToken(value, token) ? token : std::string();
    }
    return value;
}
std::string encode(const KeyWire&, float value)
{
    return toString(value);
}

bool encodable(const KeyWire& wire, const std::string& text)
{
    return wire.kind != KeyWire::Secret || !text.empty();
}

bool isUnset(int value) { return value == -1; }
bool isUnset(const std::string& value) { return value.empty(); }
bool isUnset(bool) { return false; }
bool isUnset(float) { return false; }

} // namespace

std::string KeyWords::name(int code) const
{
    return words[code >= 0 && code < count ? code : writeFallback];
}

int KeyWords::code(const std::string& word) const
{
    for (int i = 0; i < count; ++i) {
        if (word == words[i])
            return i;
    }
    return readFallback;
}

bool KeyWire::carries(int type) const
{
    switch (kind) {
    case Number:
    case Words:
        return type == ParamKey::Int;
    case Switch:
        return type == ParamKey::Bool;
    case Text:
    case Utf8Text:
    case Secret:
        return type == ParamKey::Text;
    case Real:
        return type == ParamKey::Real;
    }
    return false;
}

ParamKey::ParamKey(std::string word, Type type, void* (*field)(TComController&, int), KeyWire wire, int signal)
    : word(std::move(word))
    , type(type)
    , field(field)
    , wire(wire)
    , signal(signal)
{
    assert(wire.carries(type) && (wire.kind != KeyWire::Words || wire.words));
}

KeyWire controllerkeys::defaultWire(ParamKey::Type type)
{
    switch (type) {
    case ParamKey::Int:
        return KeyWire::number();
    case ParamKey::Bool:
        return KeyWire::onOff();
    case ParamKey::Text:
        return KeyWire::text();
    case ParamKey::Real:
        break;
    }
    return KeyWire::real();
}

TComController::TComController(zel::CCom* session, int type)
    : helper(session)
    , m_type(type)
{
}

void TComController::setState(int state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit controllerStateChanged(this);
}

void TComController::reset()
{
    restoreStartValues();
    setState(Unloaded);
}

bool TComController::refresh()
{
    return readParams(refreshList());
}

bool TComController::loadQuietly(const std::function<bool()>& read)
{
    if (state() != Unloaded)
        reset();
    {
        const QSignalBlocker blocker(this);
        if (!read())
            return false;
    }
    setState(Ready);
    return true;
}

bool TComController::readParams(const std::vector<std::string>& keys)
{
    return readKeys(keys, nullptr);
}

bool TComController::writeParams(const std::vector<std::string>& keys)
{
    std::map<int, ValueMap> groups;
    for (const std::string& key : keys) {
        const ParamKey* row = findKey(key);
        if (!row || (row->flags & ParamKey::ReadOnly) || !firmwareAbove(row->sendAbove))
            continue;
        const std::string text = wireText(*row);
        // Nothing goes out when a secret would have to travel in clear.
        if (!encodable(row->wire, text))
            return false;
        groups[row->group][row->word] = text;
    }
    if (groups.empty())
        return false;
    // Every group is sent even when an earlier one was refused.
    bool ok = true;
    for (const auto& group : groups)
        ok = sendValues(group.first, group.second) && ok;
    return ok;
}

bool TComController::handleInfo(const TCommand&)
{
    return false;
}

bool TComController::handleEvent(const TCommand&)
{
    return false;
}

void TComController::paramChanged(int)
{
}

const ParamKey* TComController::findKey(const std::string& key) const
{
    for (const ParamKey& row : keyTable()) {
        if (row.word == key)
            return &row;
    }
    return nullptr;
}

bool TComController::takesKey(const std::string& key) const
{
    const ParamKey* row = findKey(key);
    return row && !(row->flags & ParamKey::ReadOnly) && firmwareAbove(row->sendAbove);
}

bool TComController::maySend(const ParamKey& row, bool unset)
{
    if (row.flags & ParamKey::ReadOnly)
        return false;
    if (unset && (row.flags & ParamKey::SkipUnset))
        return false;
    if (row.sendCondition && !(this->*row.sendCondition)())
        return false;
    return firmwareAbove(row.sendAbove);
}

template <class T>
bool TComController::assign(const ParamKey& row, const T& value, bool send)
{
    if (row.type != controllerkeys::typeOf<T>()) {
        qWarning("%s(key=%s) set with a value of another type", metaObject()->className(), row.word.c_str());
        return false;
    }
    T& field = *static_cast<T*>(row.field(*this, row.index));
    if (field == value)
        return true;
    if constexpr (std::is_same_v<T, int>) {
        if (value < row.wire.least)
            return true;
    }
    // A key this firmware does not take carries nothing: what the operator
    // set would be shown as the unit's while the unit never had it.
    if (send && !firmwareAbove(row.sendAbove))
        return false;
    if (send && maySend(row, isUnset(value))) {
        const std::string text = encode(row.wire, value);
        if (!encodable(row.wire, text) || !sendValues(row.group, {{row.word, text}}))
            return false;
    }
    field = value;
    if (row.signal >= 0)
        paramChanged(row.signal);
    return true;
}

template <class T>
bool TComController::assign(const std::string& key, const T& value, bool send)
{
    const ParamKey* row = findKey(key);
    if (!row) {
        qWarning("%s(key=%s) is no key of this controller", metaObject()->className(), key.c_str());
        return false;
    }
    return assign(*row, value, send);
}

bool TComController::setKey(const std::string& key, int value, bool send)
{
    // A code outside its word table goes out as the fallback word: hold what
    // that word stands for, as the unit will. An unset -1 is never sent.
    const ParamKey* row = findKey(key);
    const bool unset = value == -1 && row && (row->flags & ParamKey::SkipUnset);
    if (row && !unset && row->wire.kind == KeyWire::Words && (value < 0 || value >= row->wire.words->count))
        value = row->wire.words->writeFallback;
    return assign(key, value, send);
}

bool TComController::setKey(const std::string& key, bool value, bool send)
{
    return assign(key, value, send);
}

bool TComController::setKey(const std::string& key, const std::string& value, bool send)
{
    return assign(key, value, send);
}

bool TComController::setKey(const std::string& key, float value, bool send)
{
    return assign(key, value, send);
}

template <class T>
bool TComController::sendKey(const std::string& key, const T& value)
{
    const ParamKey* row = findKey(key);
    if (!row || row->type != controllerkeys::typeOf<T>())
        return false;
    const std::string text = encode(row->wire, value);
    return encodable(row->wire, text) && sendValues(row->group, {{row->word, text}});
}

template bool TComController::sendKey(const std::string&, const int&);
template bool TComController::sendKey(const std::string&, const bool&);
template bool TComController::sendKey(const std::string&, const std::string&);
template bool TComController::sendKey(const std::string&, const float&);

bool TComController::parseKey(const std::string& key, const std::string& text)
{
    const ParamKey* row = findKey(key);
    if (!row)
        return false;
    if (row->parser)
        return (this->*row->parser)(text);
    if (text.empty() && (row->flags & ParamKey::EmptyKept))
        return true;
    const KeyWire& wire = row->wire;
    const double empty = row->emptyValue.value_or(row->start);
    switch (wire.kind) {
    case KeyWire::Number:
        assign(*row, text.empty() ? static_cast<int>(empty) : fromString<int>(text), false);
        break;
    case KeyWire::Real:
        assign(*row, text.empty() ? static_cast<float>(empty) : fromString<float>(text), false);
        break;
    case KeyWire::Words:
        assign(*row, wire.words->code(text), false);
        break;
    case KeyWire::Switch:
        assign(*row, text == wire.on, false);
        break;
    case KeyWire::Text:
    case KeyWire::Utf8Text:
        assign(*row, text, false);
        break;
    case KeyWire::Secret:
        assign(*row, decryptSecretValue(text), false);
        break;
    }
    return true;
}

bool TComController::refreshKey(const std::string& key)
{
    return findKey(key) && readKeys({key}, nullptr);
}

bool TComController::applyValues(const ValueMap& values)
{
    bool ok = true;
    for (const auto& p : values) {
        if (findKey(p.first))
            ok = parseKey(p.first, p.second) && ok;
    }
    return ok;
}

// What the unit adds unasked to a read is not taken: a menu showing that
// key would find it changed under its items and write their stale values back.
void TComController::keepAsked(ValueMap& values, const std::vector<std::string>& keys)
{
    for (auto it = values.begin(); it != values.end();)
        it = std::find(keys.begin(), keys.end(), it->first) == keys.end() ? values.erase(it) : std::next(it);
}

bool TComController::readKeys(const std::vector<std::string>& keys, ValueMap* errors)
{
    if (keys.empty())
        return false;
    std::map<int, std::vector<std::string>> groups;
    for (const std::string& key : keys) {
        const ParamKey* row = findKey(key);
        groups[row ? row->group : 0].push_back(key);
    }
    // One request per group; the read holds when any of them brought a value.
    ValueMap values;
    ValueMap refused;
    bool read = false;
    for (const auto& group : groups)
        read = fetchValues(group.first, group.second, values, refused) > 0 || read;
    if (!read)
        return false;
    if (errors)
        *errors = refused;
    keepAsked(values, keys);
    return applyValues(values);
}

std::vector<std::string> TComController::refreshList() const
{
    std::vector<std::string> keys;
    for (const ParamKey& row : keyTable()) {
        if (!(row.flags & ParamKey::NotRefreshed) && firmwareAbove(row.readAbove))
            keys.push_back(row.word);
    }
    return keys;
}

void TComController::restoreStartValues()
{
    for (const ParamKey& row : keyTable()) {
        if (row.flags & ParamKey::KeptOnReset)
            continue;
        void* field = row.field(*this, row.index);
        switch (row.type) {
        case ParamKey::Int:
            *static_cast<int*>(field) = static_cast<int>(row.start);
            break;
        case ParamKey::Bool:
            *static_cast<bool*>(field) = row.start != 0;
            break;
        case ParamKey::Text:
            static_cast<std::string*>(field)->clear();
            break;
        case ParamKey::Real:
            *static_cast<float*>(field) = static_cast<float>(row.start);
            break;
        }
    }
}

std::string TComController::wireText(const ParamKey& row)
{
    if (row.writer)
        return (this->*row.writer)();
    void* field = row.field(*this, row.index);
    switch (row.type) {
    case ParamKey::Int:
        return encode(row.wire, *static_cast<int*>(field));
    case ParamKey::Bool:
        return encode(row.wire, *static_cast<bool*>(field));
    case ParamKey::Text:
        return encode(row.wire, *static_cast<std::string*>(field));
    case ParamKey::Real:
        break;
    }
    return encode(row.wire, *static_cast<float*>(field));
}

bool TComController::setTargetValues(const std::string& target, const ValueMap& values)
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), target);
    for (const auto& p : values)
        request.setParam(p.first, p.second);
    return helper.setParams(request, kTimeoutMs) == static_cast<int>(request.params.size());
}

int TComController::getTargetValues(const std::string& target, const std::vector<std::string>& keys,
                                    ValueMap& values, ValueMap& errors)
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), target);
    for (const std::string& key : keys)
        request.addGet(key);
    return helper.getParams(request, values, errors, kTimeoutMs);
}

int controllerStateFromCause(int cause)
{
    switch (cause) {
    case 0:
        return TComController::Ready;
    case 10:
        return TComController::SimMissing;
    case 11:
    case 124:
        return TComController::SimLocked;
    case 15:
        return TComController::NotAllowed;
    case 122:
        return TComController::PinRequired;
    case 123:
        return TComController::NotRegistered;
    default:
        return TComController::Attached;
    }
}

int controllerStateFromReply(const std::string& cause)
{
    // errorCodeFromText gives 200 for any text that is no cause (an operator
    // name reads as ready); the unit's own "200-unknown error" is a failure.
    if (cause == wire::unitError::unknownError())
        return TComController::Attached;
    const int code = errorCodeFromText(cause);
    return code == 200 ? TComController::Ready : controllerStateFromCause(code);
}
