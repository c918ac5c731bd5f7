#include "model/textconv.h"

#include "link/valuetext.h"

std::string toStdString(const QString& text)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        out.push_back(u <= 0xFF ? static_cast<char>(u) : '?');
    }
    return out;
}

QString toQString(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toUtf8StdString(const QString& text)
{
    return latin1ToUtf8(toStdString(text));
}

QString fromUtf8StdString(const std::string& bytes)
{
    return toQString(utf8ToLatin1(bytes));
}

bool parseSlashTriple(int& first, int& second, std::string& name, const std::string& text)
{
    const std::size_t p1 = text.find('/');
    if (p1 == std::string::npos || p1 == 0 || p1 + 1 >= text.size())
        return false;
    // Both separators are required: "12/3" would otherwise pass as a stream
    // with no name although the unit always writes the second one.
    const std::size_t p2 = text.find('/', p1 + 1);
    if (p2 == std::string::npos || p2 == p1 + 1)
        return false;
    first = fromString<int>(text.substr(0, p1));
    second = fromString<int>(text.substr(p1 + 1, p2 - p1 - 1));
    name = utf8ToLatin1(text.substr(p2 + 1));
    return true;
}
