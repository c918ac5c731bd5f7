#include "panel/kit/indicators.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <iterator>

namespace {

// Opaque, self-erasing glyph with its own text size.
void prepare(QWidget* widget, int fontPixelSize = 0)
{
    widget->setAttribute(Qt::WA_OpaquePaintEvent);
    widget->setAutoFillBackground(false);
    if (fontPixelSize > 0) {
        QFont font = widget->font();
        font.setPixelSize(fontPixelSize);
        widget->setFont(font);
    }
}

} // namespace

// --- QPravikBars -------------------------------------------------------------

QPravikBars::QPravikBars(QWidget* parent) : QWidget(parent)
{
    prepare(this);
}

void QPravikBars::setVertical(bool value)
{
    if (vertical == value)
        return;
    vertical = value;
    update();
}

void QPravikBars::setTwoBars(bool two)
{
    if (twoBars == two)
        return;
    twoBars = two;
    update();
}

void QPravikBars::setLevel(int level, bool immediate)
{
    if (feed(bars[0], level, immediate))
        update();
}

void QPravikBars::setLevels(int first, int second, bool immediate)
{
    const bool firstChanged = feed(bars[0], first, immediate);
    const bool secondChanged = feed(bars[1], second, immediate);
    if (firstChanged || secondChanged)
        update();
}

// Peak hold: a peak stays ten updates after the level fell below it, then
// falls by 2 each update; a louder level takes it at once. True when the level
// or the peak moved.
bool QPravikBars::feed(Bar& bar, int value, bool immediate) const
{
    if (value == bar.level && value == bar.peak && !immediate)
        return false;
    const int clamped = std::clamp(value, 0, maximum);
    const Bar before = bar;
    if (clamped > bar.peak && !immediate) {
        if (++bar.hold > 10)
            bar.peak = std::min(bar.peak + 2, maximum);
    } else {
        bar.hold = 0;
        bar.peak = clamped;
    }
    bar.level = clamped;
    return bar.level != before.level || bar.peak != before.peak;
}

void QPravikBars::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.eraseRect(rect());
    if (!isEnabled())
        return;

    const int w = width();
    const int h = height();
    const QColor lineColour = vertical ? QColor(80, 80, 80) : QColor(Qt::white);
    if (vertical) {
        // A 1-pixel outline of a w x h rectangle covers w + 1 pixels.
        painter.setPen(QPen(lineColour, 1));
        painter.drawRect(1, 1, w - 3, h - 3);
    } else {
        // A 2-pixel pen on the half-way line covers the pixels 1-2 and W-3..W-2.
        painter.setPen(QPen(lineColour, 2));
        painter.drawRect(QRectF(2, 2, w - 4, h - 4));
    }
    painter.setPen(QPen(lineColour, 1));

    // Along the bar: 0 is the quiet end. Across: the bar area's first and last pixel.
    const QRect area = vertical ? QRect(QPoint(3, 3), QPoint(w - 3, h - 3))
                                : QRect(QPoint(3, 3), QPoint(w - 4, h - 4));
    const int length = vertical ? area.height() : area.width();
    const int acrossFirst = vertical ? area.left() : area.top();
    const int acrossLast = vertical ? area.right() : area.bottom();
    const int greenEnd = length * 18 / maximum;
    const int yellowEnd = greenEnd + length * 9 / maximum;

    // The pixels [from, to) along, first..last across.
    auto fill = [&](int from, int to, int first, int last, const QColor& colour) {
        if (to <= from || last < first)
            return;
        if (vertical)
            painter.fillRect(QRect(QPoint(first, area.bottom() - to + 1), QPoint(last, area.bottom() - from)), colour);
        else
            painter.fillRect(QRect(QPoint(area.left() + from, first), QPoint(area.left() + to - 1, last)), colour);
    };
    auto tick = [&](int at) {
        if (vertical)
            painter.drawLine(acrossFirst, area.bottom() - at, acrossLast, area.bottom() - at);
        else
            painter.drawLine(area.left() + at, acrossFirst, area.left() + at, acrossLast);
    };
    tick(greenEnd);
    tick(yellowEnd);

    auto zoneColour = [&](int at) -> QColor {
        return at < greenEnd ? Qt::green : at < yellowEnd ? Qt::yellow : Qt::red;
    };
    const int half = (acrossLast - acrossFirst) / 2;
    const int count = twoBars ? 2 : 1;
    for (int i = 0; i < count; ++i) {
        int first = acrossFirst;
        int last = acrossLast;
        if (twoBars) {
            // Two halves with a 2-pixel gap between them.
            if (i == 0)
                last -= half + 2;
            else
                first += half + 2;
        }
        const int lit = (maximum - bars[i].level) * length / maximum;
        const int peak = (maximum - bars[i].peak) * length / maximum;
        fill(0, std::min(lit, greenEnd), first, last, Qt::green);
        fill(greenEnd, std::min(lit, yellowEnd), first, last, Qt::yellow);
        fill(yellowEnd, lit, first, last, Qt::red);
        if (peak > lit && peak >= 4)
            fill(peak - 4, peak, first, last, zoneColour(peak - 4));
    }
}

// --- QPravikBattery ----------------------------------------------------------

QPravikBattery::QPravikBattery(QWidget* parent) : QWidget(parent)
{
    prepare(this, 10);
    setFixedSize(18, 28);
}

void QPravikBattery::setLevel(int value)
{
    if (level == value)
        return;
    level = value;
    update();
}

void QPravikBattery::paintEvent(QPaintEvent*)
{
    enum { Charging = 120, ExternalPower = 140 };
    const QColor darkGreen(0, 146, 64);
    const QColor frame = level < 21 ? QColor(255, 0, 0) : level == ExternalPower ? darkGreen : QColor(Qt::white);

    QPainter painter(this);
    painter.eraseRect(rect());
    painter.fillRect(5, 0, 8, 3, frame);
    // Covers the pixels 1-2 and 15-16 across, 4-5 and 25-26 down; inside is 3..14 x 6..24.
    painter.setPen(QPen(frame, 2));
    painter.drawRect(QRectF(2, 5, 14, 21));

    if (level >= 0 && level <= 100) {
        const QColor fill = level < 21 ? QColor(255, 0, 0) : level <= 40 ? QColor(255, 127, 39) : QColor(Qt::green);
        painter.fillRect(QRect(QPoint(3, 25 - level * 19 / 100), QPoint(14, 24)), fill);
    } else if (level == Charging) {
        const QPolygon bolt({QPoint(13, 7), QPoint(4, 15), QPoint(9, 15), QPoint(5, 23), QPoint(14, 15), QPoint(9, 15)});
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(Qt::white);
        painter.drawPolygon(bolt, Qt::OddEvenFill);
    } else if (level == ExternalPower) {
        painter.fillRect(QRect(QPoint(3, 6), QPoint(14, 24)), darkGreen);
    }
}

// --- QPravikNetQuality -------------------------------------------------------

QPravikNetQuality::QPravikNetQuality(QWidget* parent) : QWidget(parent)
{
    prepare(this, 18);
    setFixedSize(13, 46);
}

void QPravikNetQuality::setQuality(int quality)
{
    quality = std::clamp(quality, -1, 100);
    if (quality == currentQuality)
        return;
    currentQuality = quality;
    update();
}

void QPravikNetQuality::setDirection(int direction)
{
    if (direction == currentDirection)
        return;
    currentDirection = direction;
    update();
}

void QPravikNetQuality::paintEvent(QPaintEvent*)
{
    const int w = width();
    const QColor colour = isEnabled() ? QColor(Qt::white) : QColor(50, 50, 50);
    QPainter painter(this);
    painter.eraseRect(rect());
    painter.setPen(colour);
    painter.setBrush(colour);
    painter.fillRect(0, 0, w, 2, colour);

    if (currentQuality < 0) {
        painter.drawText(QRect(QPoint(0, 0), QPoint(w - 1, 37)), Qt::AlignCenter, QStringLiteral("?"));
    } else {
        // Six steps from the bottom up: the row each starts at and the quality it needs.
        static const struct {
            int top;
            int above;
        } steps[] = {{34, 9}, {28, 24}, {22, 39}, {16, 54}, {10, 69}, {4, 84}};
        for (const auto& step : steps)
            if (currentQuality > step.above)
                painter.fillRect(0, step.top, w, 4, colour);
    }

    const bool down = currentDirection == 1;
    const int baseRow = down ? 40 : 45;
    const int apexRow = down ? 45 : 40;
    painter.drawPolygon(QPolygon({QPoint(1, baseRow), QPoint(w - 2, baseRow), QPoint(w / 2, apexRow)}));
}

// --- QPravikSigQuality -------------------------------------------------------

QPravikSigQuality::QPravikSigQuality(QWidget* parent) : QWidget(parent)
{
    prepare(this, 10);
    setFixedSize(24, 18);
}

void QPravikSigQuality::setQuality(int state, int bars)
{
    bars = std::clamp(bars, 0, 5);
    if (state == currentState && bars == currentBars)
        return;
    currentState = state;
    currentBars = bars;
    update();
}

void QPravikSigQuality::paintEvent(QPaintEvent*)
{
    enum { NoSim = 4, PinWanted = 5, PukWanted = 6 };
    QPainter painter(this);
    painter.eraseRect(rect());
    for (int x = 0; x <= 20; x += 5)
        painter.fillRect(x, 16, 4, 2, Qt::white);

    const QRect textArea = QRect(QPoint(0, 0), QPoint(23, 14));
    if (currentState == NoSim || currentState == PinWanted || currentState == PukWanted) {
        painter.setPen(QColor(Qt::red));
        painter.drawText(textArea, Qt::AlignCenter,
                         currentState == NoSim ? QStringLiteral("SIM") : QStringLiteral("PIN"));
        return;
    }
    const QColor colour = currentState == 0 ? QColor(Qt::white) : QColor(Qt::red);
    for (int i = 0; i < currentBars; ++i)
        painter.fillRect(QRect(QPoint(5 * i, 12 - 3 * i), QPoint(5 * i + 3, 14)), colour);
}

// --- QPravikDataActive -------------------------------------------------------

QPravikDataActive::QPravikDataActive(QWidget* parent) : QWidget(parent)
{
    prepare(this);
    setFixedSize(18, 18);
}

void QPravikDataActive::paintEvent(QPaintEvent*)
{
    // Up arrow on the left, down arrow on the right, each two pixels wide.
    static const QLine lines[] = {
        {4, 0, 4, 17},   {5, 0, 5, 17},   {0, 4, 4, 0},    {1, 4, 4, 1},
        {5, 0, 9, 4},    {5, 1, 8, 4},    {12, 0, 12, 17}, {13, 0, 13, 17},
        {8, 13, 12, 17}, {9, 13, 12, 16}, {13, 17, 17, 13}, {13, 16, 16, 13}};
    QPainter painter(this);
    painter.eraseRect(rect());
    painter.drawLines(lines, int(std::size(lines)));
}
