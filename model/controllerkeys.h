#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

class TComController;

// Words of an enumerated key: code i travels as words[i]. A code outside the
// table is written as the word of writeFallback; a word outside it reads as
// readFallback.
struct KeyWords
{
    const char* const* words;
    int count;
    int writeFallback;
    int readFallback;

    std::string name(int code) const;
    int code(const std::string& word) const;
};

template <std::size_t N>
constexpr KeyWords keyWords(const char* const (&words)[N], int writeFallback, int readFallback)
{
    return KeyWords{words, static_cast<int>(N), writeFallback, readFallback};
}

// How a value travels. Numbers and reals in decimal (an empty text reads as
// the key's start value unless the row says otherwise), codes through a word
// table, switches as two words (true only for exactly the "on" word), texts
// as they are. A UTF-8 text is held as the unit's bytes too, so it goes back
// unchanged: show it with fromUnitUtf8, send typed text with toUnitUtf8. A
// secret is such a text that travels as the token of its bytes.
struct KeyWire
{
    enum Kind { Number, Real, Words, Switch, Text, Utf8Text, Secret };

    Kind kind;
    const KeyWords* words;
    const char* on;
    const char* off;
    // Numbers below it are refused: the setter answers true and keeps the
    // field, and a text read from the unit leaves the field as it is.
    int least = INT_MIN;

    explicit KeyWire(Kind kind, const KeyWords* words = nullptr, const char* on = "on", const char* off = "off")
        : kind(kind), words(words), on(on), off(off)
    {
    }

    static KeyWire number() { return KeyWire(Number); }
    static KeyWire atLeast(int least)
    {
        KeyWire wire(Number);
        wire.least = least;
        return wire;
    }
    static KeyWire real() { return KeyWire(Real); }
    static KeyWire wordTable(const KeyWords& table) { return KeyWire(Words, &table); }
    static KeyWire onOff(const char* on = "on", const char* off = "off") { return KeyWire(Switch, nullptr, on, off); }
    static KeyWire text() { return KeyWire(Text); }
    static KeyWire utf8() { return KeyWire(Utf8Text); }
    static KeyWire secret() { return KeyWire(Secret); }

    // The field type the form carries.
    bool carries(int type) const;
};

// One row of a controller's key table: the key word, the field it mirrors,
// its wire form, the controllerParamChanged index it announces (-1: none)
// and what reads and sends it. Built with key<&Class::member>(...) and the
// modifiers below; see TComController for what walks the table.
struct ParamKey
{
    enum Type { Int, Bool, Text, Real };
    enum Flag : unsigned {
        ReadOnly = 1,     // parsed from the unit, never sent
        NotRefreshed = 2, // read when asked for, left out of refresh()
        SkipUnset = 4,    // the setter stores -1 or an empty text without sending it
        KeptOnReset = 8,  // reset() leaves the field alone
        EmptyKept = 16    // an empty text leaves the field as it is
    };

    std::string word;
    Type type;
    void* (*field)(TComController&, int index);
    KeyWire wire;
    int signal = -1;
    unsigned flags = 0;
    int index = 0;               // element of an array field
    int group = 0;               // request the key travels in (the controller says which)
    std::uint32_t readAbove = 0; // firmware gates: open when unitFirmwareVersion is above; 0: always
    std::uint32_t sendAbove = 0;
    double start = 0;            // start value of numbers, switches and reals; texts start empty
    std::optional<double> emptyValue; // what an empty number text reads as, when not the start value
    bool (TComController::*sendCondition)() const = nullptr; // the setter sends only when true
    bool (TComController::*parser)(const std::string&) = nullptr; // replaces the wire's reading
    std::string (TComController::*writer)() const = nullptr;      // replaces the wire's writing

    ParamKey(std::string word, Type type, void* (*field)(TComController&, int), KeyWire wire, int signal);

    ParamKey& readOnly() { flags |= ReadOnly; return *this; }
    ParamKey& notRefreshed() { flags |= NotRefreshed; return *this; }
    ParamKey& skipUnset() { flags |= SkipUnset; return *this; }
    ParamKey& keptOnReset() { flags |= KeptOnReset; return *this; }
    ParamKey& at(int element) { index = element; return *this; }
    ParamKey& inGroup(int g) { group = g; return *this; }
    ParamKey& readAboveFirmware(std::uint32_t word) { readAbove = word; return *this; }
    ParamKey& sendAboveFirmware(std::uint32_t word) { sendAbove = word; return *this; }
    ParamKey& startsAt(double value) { start = value; return *this; }
    ParamKey& emptyReadsAs(double value) { emptyValue = value; return *this; }
    ParamKey& emptyKept() { flags |= EmptyKept; return *this; }
    template <class Owner>
    ParamKey& sendWhen(bool (Owner::*condition)() const)
    {
        sendCondition = static_cast<bool (TComController::*)() const>(condition);
        return *this;
    }
    template <class Owner>
    ParamKey& parsedBy(bool (Owner::*parse)(const std::string&))
    {
        parser = static_cast<bool (TComController::*)(const std::string&)>(parse);
        return *this;
    }
    template <class Owner>
    ParamKey& writtenBy(std::string (Owner::*write)() const)
    {
        writer = static_cast<std::string (TComController::*)() const>(write);
        return *this;
    }
};

using ParamKeys = std::vector<ParamKey>;

namespace controllerkeys {

template <class>
struct Member;
template <class O, class T>
struct Member<T O::*>
{
    using Owner = O;
    using Value = std::remove_extent_t<T>;
};

// The type of the field M, or of its member path M, Ns...
template <auto M, auto... Ns>
struct Leaf
{
    using Value = typename Member<decltype(M)>::Value;
};
template <auto M, auto N, auto... Ns>
struct Leaf<M, N, Ns...> : Leaf<N, Ns...>
{
};

template <class T>
constexpr ParamKey::Type typeOf()
{
    static_assert(std::is_same_v<T, int> || std::is_same_v<T, bool> || std::is_same_v<T, std::string>
                      || std::is_same_v<T, float>,
                  "a key field is an int, a bool, a std::string or a float (or an array of them)");
    if constexpr (std::is_same_v<T, int>)
        return ParamKey::Int;
    else if constexpr (std::is_same_v<T, bool>)
        return ParamKey::Bool;
    else if constexpr (std::is_same_v<T, std::string>)
        return ParamKey::Text;
    else
        return ParamKey::Real;
}

template <auto M, auto... Ns>
void* field(TComController& controller, int index)
{
    auto& value = static_cast<typename Member<decltype(M)>::Owner&>(controller).*M;
    if constexpr (std::is_array_v<std::remove_reference_t<decltype(value)>>)
        return &(value[index] .* ... .* Ns);
    else
        return (void)index, &(value .* ... .* Ns);
}

KeyWire defaultWire(ParamKey::Type type);

} // namespace controllerkeys

// A row for the field M (a data member, or an array member with .at(i)), or
// for a member of it: key<&C::records, &Record::field>(...).at(i).
// Without a wire form the field's type picks one: number, "on"/"off", text, real.
template <auto M, auto... Ns>
ParamKey key(const std::string& word, KeyWire wire, int signal = -1)
{
    using V = typename controllerkeys::Leaf<M, Ns...>::Value;
    return ParamKey(word, controllerkeys::typeOf<V>(), &controllerkeys::field<M, Ns...>, wire, signal);
}
template <auto M, auto... Ns>
ParamKey key(const std::string& word, const KeyWords& words, int signal = -1)
{
    return key<M, Ns...>(word, KeyWire::wordTable(words), signal);
}
template <auto M, auto... Ns>
ParamKey key(const std::string& word, int signal = -1)
{
    using V = typename controllerkeys::Leaf<M, Ns...>::Value;
    return key<M, Ns...>(word, controllerkeys::defaultWire(controllerkeys::typeOf<V>()), signal);
}
