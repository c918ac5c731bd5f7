#include "link/logmask.h"

#include "link/tcommand.h"

#include <array>
#include <cctype>
#include <vector>

namespace {

const char kMask[] = "***";

// Every word below holds one of these; a body holding none of them, in any
// case, names no secret. Keep the two lists together.
const char* const kSecretParts[] = {"pass", "pw", "pin", "puk", "secret", "token", "psk"};

bool isSecretWord(std::string word)
{
    while (!word.empty() && std::isdigit(static_cast<unsigned char>(word.back())))
        word.pop_back();
    static const char* const words[] = {"password", "passwd", "passphrase", "pwd", "pw", "upw",
                                        "pin", "puk", "secret", "token", "psk"};
    for (const char* w : words) {
        if (word == w)
            return true;
    }
    // "password1pin" and the like never occur; a word that merely starts with
    // the longer names still carries one.
    return word.rfind("password", 0) == 0 || word.rfind("passphrase", 0) == 0;
}

// Words that describe a secret without being one.
bool isQualifierWord(const std::string& word)
{
    static const char* const words[] = {"persistent", "required", "state", "status", "enabled",
                                        "mode", "type", "length", "len", "set"};
    for (const char* w : words) {
        if (word == w)
            return true;
    }
    return false;
}

// ASCII only, as keys are; the C library's tolower is a call per byte.
char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Whether one of the secret parts starts at at, in any case. The escapes a
// key may hold are passed over: seeing a part where there is none only costs
// the item walk.
bool partStartsAt(const char* at, const char* end)
{
    const char first = lower(*at);
    for (const char* part : kSecretParts) {
        if (part[0] != first)
            continue;
        const char* p = at + 1;
        const char* n = part + 1;
        while (*n && p < end) {
            if (*p == '\\')
                ++p;
            else if (lower(*p) == *n)
                ++p, ++n;
            else
                break;
        }
        if (!*n)
            return true;
    }
    return false;
}

// A quick look at the keys alone, in one pass, before the item walk that
// most bodies never need. Items are cut as the command parser cuts them and
// keys end as maskSecretValues ends them; values are skipped whatever they
// say.
bool mayNameSecret(const std::string& body)
{
    // Bytes a key's scan stops at: the first letters of the parts, and the
    // separators and escapes that change what follows.
    enum : unsigned char { Plain, Letter, Separator };
    static const std::array<unsigned char, 256> kinds = [] {
        std::array<unsigned char, 256> table{};
        for (const char* part : kSecretParts) {
            table[static_cast<unsigned char>(part[0])] = Letter;
            table[static_cast<unsigned char>(part[0] - 'a' + 'A')] = Letter;
        }
        for (const char c : {';', '\\', ':'})
            table[static_cast<unsigned char>(c)] = Separator;
        return table;
    }();
    const char* p = body.data();
    const char* const end = p + body.size();
    bool itemStarted = false; // separators and "\" before an item are dropped
    bool keyStarted = false;  // colons before the key are not its end
    while (p < end) {
        if (keyStarted) {
            while (p < end && kinds[static_cast<unsigned char>(*p)] == Plain)
                ++p;
            if (p == end)
                break;
        }
        char c = *p;
        if (!itemStarted) {
            itemStarted = c != ';' && c != '\\';
            if (!itemStarted) {
                ++p;
                continue;
            }
        } else if (c == ';') {
            itemStarted = keyStarted = false;
            ++p;
            continue;
        }
        const char* at = p;
        if (c == '\\') {
            if (++at == end)
                return false;
            c = *at;
        }
        if (c == ':' && keyStarted) {
            // The value, to the item's end.
            p = at + 1;
            for (;;) {
                while (p < end && *p != ';' && *p != '\\')
                    ++p;
                if (p >= end || *p == ';')
                    break;
                p += 2;
            }
            continue;
        }
        keyStarted = keyStarted || c != ':';
        if (kinds[static_cast<unsigned char>(c)] == Letter && partStartsAt(at, end))
            return true;
        p = at + 1;
    }
    return false;
}

} // namespace

bool isSecretKey(const std::string& key)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : key) {
        if (c == '_' || c == '.' || c == '-' || c == ' ') {
            words.push_back(word);
            word.clear();
        } else {
            word += lower(c);
        }
    }
    words.push_back(word);
    bool secret = false;
    for (const std::string& w : words)
        secret = secret || isSecretWord(w);
    return secret && !isQualifierWord(words.back());
}

std::string maskSecretValues(const std::string& body)
{
    if (!mayNameSecret(body))
        return body;
    // Cut as the command parser cuts, so that no escape can hide a secret
    // key from us; everything but a masked value is copied as it was.
    std::string out;
    out.reserve(body.size());
    std::size_t copied = 0;
    forEachCommandItem(body, 0, [&](const std::string& plain, std::size_t begin, std::size_t end) {
        const std::size_t start = plain.find_first_not_of(':');
        const std::size_t colon = start == std::string::npos ? std::string::npos : plain.find(':', start);
        if (colon == std::string::npos || colon + 1 >= plain.size()
            || !isSecretKey(plain.substr(start, colon - start)))
            return;
        out.append(body, copied, begin - copied);
        out.append(plain, 0, colon + 1);
        out += kMask;
        copied = end;
    });
    out.append(body, copied, std::string::npos);
    return out;
}

const std::string& loggableBody(const std::string& body, std::string& scratch)
{
    if (!mayNameSecret(body))
        return body;
    scratch = maskSecretValues(body);
    return scratch;
}
