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

namespace {

// Length of the valid UTF-8 sequence at p (strict: no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0.
std::size_t utf8SequenceAt(const unsigned char* p, std::size_t left, char32_t& code)
{
    const unsigned char lead = p[0];
    std::size_t length;
    char32_t min;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (p[i] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
        return;
    }
    const int tail = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    const unsigned char leads[] = {0, 0xC0, 0xE0, 0xF0};
    out.push_back(static_cast<char>(leads[tail] | (code >> (6 * tail))));
    for (int i = tail - 1; i >= 0; --i)
        out.push_back(static_cast<char>(0x80 | ((code >> (6 * i)) & 0x3F)));
}

constexpr char16_t kEscapeBase = 0xDC00;

} // namespace

QString fromUnitUtf8(const std::string& bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < size;) {
        char32_t code = 0;
        const std::size_t length = utf8SequenceAt(p + i, size - i, code);
        if (length == 0) {
            // Only bytes above 0x7F can be invalid, so the escape stays in DC80..DCFF.
            text.append(QChar(static_cast<char16_t>(kEscapeBase + p[i])));
            ++i;
            continue;
        }
        if (code > 0xFFFF) {
            text.append(QChar(QChar::highSurrogate(code)));
            text.append(QChar(QChar::lowSurrogate(code)));
        } else {
            text.append(QChar(static_cast<char16_t>(code)));
        }
        i += length;
    }
    return text;
}

std::string toUnitUtf8(const QString& text)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t u = text.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < size && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            appendUtf8(out, QChar::surrogateToUcs4(u, text.at(i + 1).unicode()));
            ++i;
        } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
            out.push_back(static_cast<char>(u - kEscapeBase));
        } else if (QChar::isSurrogate(u)) {
            appendUtf8(out, 0xFFFD); // a lone surrogate has no UTF-8 form
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
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
    name = text.substr(p2 + 1);
    return true;
}
