#include "link/tcommand.h"

#include "link/protocolkeys.h"
#include "link/valuetext.h"

namespace {

const char *verbWord(std::uint32_t verb)
{
    switch (verb) {
    case TCommand::Param: return "PARAM";
    case TCommand::Do: return "DO";
    case TCommand::Info: return "INFO";
    case TCommand::Event: return "EVENT";
    default: return nullptr;
    }
}

} // namespace

TCommand::TCommand(std::uint32_t verb)
    : verb(verb)
{
}

void TCommand::reset(std::uint32_t newVerb)
{
    verb = newVerb;
    params.clear();
    getKeys.clear();
    listKeys.clear();
}

void TCommand::setParam(const std::string &key, const std::string &value, int mode,
                        char separator)
{
    auto it = params.find(key);
    if (it == params.end()) {
        params.emplace(key, value);
        return;
    }
    if (mode == KeepExisting)
        return;
    if (mode == Append && !it->second.empty()) {
        // Build the tail first: value may be this very parameter.
        std::string tail(1, separator);
        tail += value;
        it->second += tail;
        return;
    }
    it->second = value;
}

void TCommand::addGet(const std::string &key)
{
    if (!key.empty())
        getKeys.push_back(key);
}

void TCommand::addList(const std::string &key)
{
    if (!key.empty())
        listKeys.push_back(key);
}

const std::string *TCommand::param(const std::string &key, bool emptyIfAbsent) const
{
    auto it = params.find(key);
    if (it != params.end())
        return &it->second;
    if (!emptyIfAbsent)
        return nullptr;
    // Never freed: callers may keep the pointer until the process ends.
    static const std::string *const empty = new std::string;
    return empty;
}

std::uint32_t TCommand::requestKind() const
{
    if (!listKeys.empty())
        return ListRequest;
    if (!getKeys.empty() || params.empty())
        return GetRequest;
    if (params.count(wire::key::target()))
        return SetRequest;
    if (!params.count(wire::key::cat()))
        return UntargetedRequest;
    return SetRequest;
}

void TCommand::merge(const TCommand &other, int mode, char separator)
{
    if (&other == this) {
        const TCommand copy(other);
        merge(copy, mode, separator);
        return;
    }
    for (const auto &p : other.params)
        setParam(p.first, p.second, mode, separator);
}

int TCommand::cause() const
{
    return paramErrorCode(wire::key::cause());
}

int TCommand::paramErrorCode(const std::string &key) const
{
    return errorCodeFromText(*param(key, true));
}

// A parameter key the parser would read back differently: it cannot be
// written without changing the command.
static bool unwritableKey(const std::string &key)
{
    return key.empty() || key.find(':') != std::string::npos || key[0] == ';'
        || key[0] == '\\' || key == wire::link::get() || key == wire::link::list();
}

int TCommand::write(const TCommand &command, std::string &out)
{
    const char *word = verbWord(command.verb);
    if (!word)
        return -1;
    // Sized once: escapes aside, the text is its parts and their separators.
    std::size_t size = 8;
    for (const auto &p : command.params)
        size += p.first.size() + p.second.size() + 2;
    for (const auto &key : command.getKeys)
        size += key.size() + 5;
    for (const auto &key : command.listKeys)
        size += key.size() + 6;
    std::string text;
    text.reserve(size);
    text += word;
    text += ';';
    // Keys are escaped like values: the unit's keys are plain words, so this
    // changes nothing for them, but a ";" in a key must not split it into
    // further parameters on the wire.
    for (const auto &p : command.params) {
        if (unwritableKey(p.first))
            return -1;
        escapeText(p.first, text, ";");
        text += ':';
        escapeText(p.second, text, ";");
        text += ';';
    }
    // Empty list keys are dropped as addGet()/addList() drop them.
    for (const auto &key : command.getKeys) {
        if (key.empty())
            continue;
        text += "GET:";
        escapeText(key, text, ";");
        text += ';';
    }
    for (const auto &key : command.listKeys) {
        if (key.empty())
            continue;
        text += "LIST:";
        escapeText(key, text, ";");
        text += ';';
    }
    out.swap(text);
    return 0;
}

int TCommand::parse(const std::string &text, TCommand &command)
{
    command.reset(NoVerb);

    const std::size_t begin = text.find_first_not_of(';');
    if (begin == std::string::npos)
        return -1;
    const std::size_t end = text.find(';', begin);
    if (end == std::string::npos)
        return -1;
    const std::string word = text.substr(begin, end - begin);
    for (std::uint32_t verb = Param; verb <= Event; ++verb) {
        if (word == verbWord(verb))
            command.verb = verb;
    }
    if (command.verb == NoVerb)
        return -1;

    const std::string &get = wire::link::get();
    const std::string &list = wire::link::list();
    forEachCommandItem(text, end + 1, [&](const std::string &item, std::size_t, std::size_t) {
        const std::size_t keyBegin = item.find_first_not_of(':');
        if (keyBegin == std::string::npos)
            return; // only ":" characters: no key, nothing to store
        const std::size_t colon = item.find(':', keyBegin);
        std::string key;
        std::string value;
        if (colon == std::string::npos) {
            key = item.substr(keyBegin);
            value = item;
        } else {
            key = item.substr(keyBegin, colon - keyBegin);
            value = item.substr(colon + 1);
        }
        if (key == get)
            command.addGet(value);
        else if (key == list)
            command.addList(value);
        else
            command.params.try_emplace(std::move(key), std::move(value));  // the first value stays
    });
    return 0;
}

void escapeText(const std::string &text, std::string &out, const std::string &delimiters)
{
    // A table rather than a search of the delimiters for every character.
    bool special[256] = {};
    special[static_cast<unsigned char>('\\')] = true;
    for (const char delimiter : delimiters)
        special[static_cast<unsigned char>(delimiter)] = true;
    out.reserve(out.size() + text.size());
    std::size_t from = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!special[static_cast<unsigned char>(text[at])])
            continue;
        out.append(text, from, at - from);
        out += '\\';
        from = at;
    }
    out.append(text, from, std::string::npos);
}

std::size_t unescapeToken(const std::string &text, std::string &out, std::size_t position,
                          const std::string &delimiters)
{
    if (position == std::string::npos || position > text.size())
        return std::string::npos;
    const std::string special = delimiters + '\\';
    std::size_t pos = position;
    for (;;) {
        const std::size_t hit = text.find_first_of(special, pos);
        if (hit == std::string::npos) {
            out.append(text, pos, std::string::npos);
            return std::string::npos;
        }
        out.append(text, pos, hit - pos);
        if (delimiters.find(text[hit]) != std::string::npos)
            return hit + 1;
        // An escaping "\": keep the next character. A lone "\" at the very
        // end escapes nothing and is dropped.
        if (hit + 1 >= text.size())
            return std::string::npos;
        out += text[hit + 1];
        pos = hit + 2;
    }
}

namespace {

void splitOn(const std::string &text, std::vector<std::string> &items, const char *delimiter)
{
    if (text.empty())
        return;
    const std::string delimiters(delimiter);
    std::size_t pos = 0;
    do {
        items.emplace_back();
        pos = unescapeToken(text, items.back(), pos, delimiters);
    } while (pos != std::string::npos);
}

void joinWith(const std::vector<std::string> &items, std::string &out, char delimiter)
{
    const std::string delimiters(1, delimiter);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += delimiter;
        escapeText(items[i], out, delimiters);
    }
}

} // namespace

void splitEscaped(const std::string &text, std::vector<std::string> &items)
{
    splitOn(text, items, ",");
}

void splitEscapedSlash(const std::string &text, std::vector<std::string> &items)
{
    splitOn(text, items, "/");
}

void joinEscaped(const std::vector<std::string> &items, std::string &out)
{
    joinWith(items, out, ',');
}

void joinEscapedSlash(const std::vector<std::string> &items, std::string &out)
{
    joinWith(items, out, '/');
}
