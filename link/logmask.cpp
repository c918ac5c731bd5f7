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

// A quick look before the item walk, which most bodies never need. An
// escape could split a key's letters, so a body with one always gets it.
bool mayNameSecret(const std::string& body)
{
    if (body.find('\\') != std::string::npos)
        return true;
    static const std::array<bool, 256> starts = [] {
        std::array<bool, 256> table{};
        for (const char* part : kSecretParts) {
            table[static_cast<unsigned char>(part[0])] = true;
            table[static_cast<unsigned char>(part[0] - 'a' + 'A')] = true;
        }
        return table;
    }();
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (!starts[static_cast<unsigned char>(body[i])])
            continue;
        const char first = lower(body[i]);
        for (const char* part : kSecretParts) {
            if (part[0] != first)
                continue;
            std::size_t n = 1;
            while (part[n] && i + n < body.size() && lower(body[i + n]) == part[n])
                ++n;
            if (!part[n])
                return true;
        }
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
