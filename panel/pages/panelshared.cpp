#include "panel/pages/panelshared.h"

#include <cctype>

#include "panel/pages/qpravikwindow.h"

int currentAccessLevel = OperatorLevel;

int headphoneKnobInputs[8] = {1, 2, 3, 13, 0, 2, 3, 13};

bool settleWrite(QWidget* page, bool taken, const std::function<void()>& redraw)
{
    if (taken)
        return true;
    if (redraw)
        redraw();
    QWidget* widget = page;
    while (widget && !qobject_cast<QPravikWindow*>(widget))
        widget = widget->parentWidget();
    if (auto* window = qobject_cast<QPravikWindow*>(widget))
        window->showMessage(QPravikWindow::tr("Failed to apply changes!"), 0);
    else
        qWarning("%s: the unit did not take a change", page ? page->metaObject()->className() : "panel");
    return false;
}

QFont QPravik::panelFont(QFont base)
{
    base.setFamily(QStringLiteral("Arial"));
    base.setWeight(QFont::Bold);
    base.setPixelSize(14);
    return base;
}

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads one number at pos, decimal or "0x" hexadecimal. Leading zeros stay
// decimal: the unit pads its version parts ("2.08.1"), so an octal reading
// would pack the wrong version. Only the low byte is kept.
bool readNumber(const std::string& text, std::size_t& pos, std::uint32_t& out)
{
    std::size_t p = pos;
    while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p])))
        ++p;
    if (p < text.size() && text[p] == '+')
        ++p;
    if (p >= text.size() || !std::isdigit(static_cast<unsigned char>(text[p])))
        return false;

    std::uint32_t value = 0;
    if (text[p] == '0' && p + 2 < text.size() && (text[p + 1] == 'x' || text[p + 1] == 'X')
        && hexDigit(text[p + 2]) >= 0) {
        p += 2;
        while (p < text.size() && hexDigit(text[p]) >= 0)
            value = ((value << 4) | static_cast<std::uint32_t>(hexDigit(text[p++]))) & 0xFFu;
    } else {
        while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p])))
            value = (value * 10u + static_cast<std::uint32_t>(text[p++] - '0')) & 0xFFu;
    }
    pos = p;
    out = value;
    return true;
}

} // namespace

std::uint32_t parseVersionString(const std::string& text)
{
    std::uint32_t packed = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 3; ++part) {
        std::uint32_t number = 0;
        if (!readNumber(text, pos, number))
            break;
        packed |= number << (16 - 8 * part);
        if (pos >= text.size())
            break;
        ++pos; // the separator
    }
    return packed;
}
