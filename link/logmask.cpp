#include "link/logmask.h"

#include <cctype>
#include <vector>

namespace {

const char kMask[] = "***";

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
            word += char(std::tolower(static_cast<unsigned char>(c)));
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
    // Items are separated by ";" that is not escaped by "\"; the key runs to
    // the first ":" of the item. The scan mirrors the command parser closely
    // enough that no secret value can slip through an escape.
    std::string out;
    out.reserve(body.size());
    size_t i = 0;
    const size_t n = body.size();
    while (i < n) {
        size_t end = i;
        bool escaped = false;
        for (; end < n; ++end) {
            if (escaped)
                escaped = false;
            else if (body[end] == '\\')
                escaped = true;
            else if (body[end] == ';')
                break;
        }
        const std::string item = body.substr(i, end - i);
        // The parser undoes escapes over the whole item before it splits off
        // the key, so an escaped ":" still ends the key; do the same.
        std::string plain;
        for (size_t k = 0; k < item.size(); ++k) {
            if (item[k] == '\\') {
                if (++k >= item.size())
                    break;
            }
            plain += item[k];
        }
        const size_t start = plain.find_first_not_of(':');
        const size_t colon = start == std::string::npos ? std::string::npos : plain.find(':', start);
        if (colon != std::string::npos && colon + 1 < plain.size()
            && isSecretKey(plain.substr(start, colon - start)))
            out += plain.substr(0, colon + 1) + kMask;
        else
            out += item;
        if (end < n)
            out += ';';
        i = end + 1;
    }
    return out;
}

QString maskSecretValues(const QString& body)
{
    return QString::fromUtf8(maskSecretValues(body.toUtf8().toStdString()));
}
