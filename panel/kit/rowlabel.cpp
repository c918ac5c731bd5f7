#include "panel/kit/rowlabel.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTextLayout>
#include <QtMath>

#include "panel/kit/look.h"

// --- QPravikRowLabel ---------------------------------------------------------

namespace {

// A text laid out here as QPainter::drawText and QFontMetrics::boundingRect
// lay it out: left to right only, and nothing those two treat apart (tabs,
// carriage returns, length variants, blanks that end a line).
bool layableText(const QString& text)
{
    if (text.isEmpty())
        return false;
    QChar previous;
    for (const QChar c : text) {
        if (c == u'\t' || c == u'\r' || c == QChar(0x9c) || c.isSurrogate() || (c == u'\n' && previous == u' '))
            return false;
        switch (c.direction()) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirAN:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirLRE:
        case QChar::DirLRO:
        case QChar::DirPDF:
        case QChar::DirRLI:
        case QChar::DirLRI:
        case QChar::DirFSI:
        case QChar::DirPDI:
            return false;
        default:
            break;
        }
        previous = c;
    }
    return previous != u' ';
}

// Lines of a text that is not wrapped are as wide as this.
constexpr qreal kUnwrapped = 0x01000000;

} // namespace

QPravikRowLabel::QPravikRowLabel(QWidget* parent)
    : QLabel(parent)
{
}

QPravikRowLabel::~QPravikRowLabel() = default;

QSize QPravikRowLabel::sizeHint() const
{
    if (!plainText())
        return QLabel::sizeHint();
    return sizeForWidth(-1);
}

void QPravikRowLabel::setElided(bool on)
{
    if (on == elided)
        return;
    elided = on;
    updateGeometry();
    update();
}

QSize QPravikRowLabel::minimumSizeHint() const
{
    QSize hint;
    if (!plainText()) {
        hint = QLabel::minimumSizeHint();
    } else {
        // As QLabel: the height of the text on as few lines as it takes, the
        // width of its longest word when it wraps.
        const QSize natural = sizeForWidth(-1);
        hint = QSize(sizeForWidth(0).width(), qMin(natural.height(), sizeForWidth(QWIDGETSIZE_MAX).height()));
    }
    if (elided) {
        const int around = width() - contentsRect().width() + 2 * margin();
        hint.setWidth(qMin(hint.width(), fontMetrics().horizontalAdvance(QChar(0x2026)) + around));
    }
    return hint;
}

int QPravikRowLabel::heightForWidth(int width) const
{
    if (!plainText())
        return QLabel::heightForWidth(width);
    return sizeForWidth(width).height();
}

// Plain text with no margin, indent, frame or picture: the sizes below are
// then those QLabel computes. An empty label may never have had a text,
// which QLabel sizes otherwise; it costs nothing to measure anyway.
bool QPravikRowLabel::plainText() const
{
    ensurePolished();
    return textFormat() == Qt::PlainText && !text().isEmpty() && margin() == 0 && indent() < 0
           && frameWidth() == 0 && contentsMargins().isNull() && !buddy() && pixmap().isNull() && picture().isNull()
           && !movie();
}

// QLabel's own rule: a wrapped text asked for no width tries the width of 80
// average characters, then half and a quarter of it while the text stays on
// few lines.
QSize QPravikRowLabel::sizeForWidth(int width) const
{
    if (minimumWidth() > 0)
        width = qMax(width, minimumWidth());
    const bool wrap = wordWrap();
    const QFontMetrics metrics = fontMetrics();
    const bool tryWidth = width < 0 && wrap;
    if (tryWidth)
        width = qMin(metrics.averageCharWidth() * 80, maximumSize().width());
    else if (width < 0)
        width = 2000;
    QRect rect = textRect(width);
    if (tryWidth && rect.height() < 4 * metrics.lineSpacing() && rect.width() > width / 2)
        rect = textRect(width / 2);
    if (tryWidth && rect.height() < 2 * metrics.lineSpacing() && rect.width() > width / 4)
        rect = textRect(width / 4);
    return rect.size().expandedTo(minimumSize());
}

// The text's bounding box laid out in that width, as QLabel asks the font
// metrics for it.
QRect QPravikRowLabel::textRect(int width) const
{
    const Qt::LayoutDirection direction = text().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    int flags = int(QStyle::visualAlignment(direction, alignment())) | Qt::TextExpandTabs;
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    flags &= ~(Qt::AlignVCenter | Qt::AlignHCenter);
    layoutReady();
    if (flags != measuredFlags) {
        measuredFlags = flags;
        byWidth.clear();
        oneLine = boundingRect(QWIDGETSIZE_MAX, flags);
        // Left-aligned, the width only moves where lines break. Unwrapped, it
        // never matters; wrapped, a width that holds the longest line with
        // room for the last glyph's overhang breaks none.
        const QFontMetrics metrics = fontMetrics();
        if (!(flags & Qt::AlignLeft))
            roomNeeded = QWIDGETSIZE_MAX + 1;
        else if (!(flags & Qt::TextWordWrap))
            roomNeeded = 0;
        else
            roomNeeded = oneLine.width() + qMax(0, -metrics.minRightBearing()) + metrics.averageCharWidth();
    }
    if (width >= roomNeeded || width == QWIDGETSIZE_MAX)
        return oneLine;
    for (const auto& [measuredWidth, rect] : byWidth) {
        if (measuredWidth == width)
            return rect;
    }
    const QRect rect = boundingRect(width, flags);
    // A page asks two or three widths (with and without its scroll bar).
    if (byWidth.size() == 4)
        byWidth.erase(byWidth.begin());
    byWidth.emplace_back(width, rect);
    return rect;
}

// Takes the label's text and font for a new layout when either changed since
// the last measurement: true when the text is laid out here.
bool QPravikRowLabel::layoutReady() const
{
    if (text() == measuredText && font() == measuredFont)
        return textLayout != nullptr;
    measuredText = text();
    measuredFont = font();
    measuredFlags = -1;
    linesWidth = -1;
    textLayout.reset();
    if (!layableText(measuredText))
        return false;
    QString laid = measuredText;
    laid.replace(u'\n', QChar::LineSeparator);
    textLayout = std::make_unique<QTextLayout>(laid, measuredFont);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft); // placed by the alignment below, not by the layout
    textLayout->setTextOption(option);
    textLayout->setCacheEnabled(true);
    return true;
}

// What QFontMetrics::boundingRect gives for the text in a rectangle that wide.
QRect QPravikRowLabel::boundingRect(int width, int flags) const
{
    if (!textLayout)
        return fontMetrics().boundingRect(0, 0, width, 2000, flags, measuredText);
    int lines = 0;
    return linesBox(QRectF(0, 0, width, 2000), flags, false, lines).toAlignedRect();
}

// Lays the text out in lines of that width, the one way Qt documents:
// beginLayout, lines until none is left, endLayout. beginLayout throws the
// shaping away, so each new width shapes the text again.
void QPravikRowLabel::layOutLines(qreal lineWidth) const
{
    if (lineWidth == linesWidth)
        return;
    const qreal leading = QFontMetricsF(measuredFont).leading();
    qreal height = -leading;
    textLayout->beginLayout();
    for (QTextLine line = textLayout->createLine(); line.isValid(); line = textLayout->createLine()) {
        line.setLineWidth(lineWidth);
        height = qCeil(height + leading);
        line.setPosition(QPointF(0, height));
        height += line.ascent() + line.descent();
    }
    textLayout->endLayout();
    linesWidth = lineWidth;
}

// The box the text's lines take in the rectangle, placed by the alignment,
// as the painter reckons it: lines on whole pixels, the font's leading
// between them; painting stops at the first line that reaches the bottom.
// lines: how many of them that is.
QRectF QPravikRowLabel::linesBox(const QRectF& rect, int flags, bool painting, int& lines) const
{
    layOutLines((flags & Qt::TextWordWrap) ? qMax<qreal>(0, rect.width()) : kUnwrapped);
    const qreal leading = QFontMetricsF(measuredFont).leading();
    qreal height = -leading;
    qreal width = 0;
    lines = 0;
    while (lines < textLayout->lineCount()) {
        const QTextLine line = textLayout->lineAt(lines++);
        height = qCeil(height + leading) + line.ascent() + line.descent();
        width = qMax(width, line.naturalTextWidth());
        if (painting && height >= rect.height())
            break;
    }
    qreal x = 0;
    qreal y = 0;
    if (flags & Qt::AlignBottom)
        y = rect.height() - height;
    else if (flags & Qt::AlignVCenter)
        y = (rect.height() - height) / 2;
    if (flags & Qt::AlignRight)
        x = rect.width() - width;
    else if (flags & Qt::AlignHCenter)
        x = (rect.width() - width) / 2;
    return QRectF(rect.x() + x, rect.y() + y, width, height);
}

// QLabel's painting of a plain text, from the lines already laid out.
void QPravikRowLabel::paintEvent(QPaintEvent* event)
{
    if (elided && paintFitted())
        return;
    const QFont shown = font();
    if (!plainText() || !isEnabled() || (textInteractionFlags() & (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard))
        || shown.pixelSize() <= 0 || shown.underline() || shown.overline() || shown.strikeOut()
        || style()->inherits("QStyleSheetStyle") || !layoutReady()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    QStyleOption option;
    option.initFrom(this);
    painter.setPen(QPen(option.palette.brush(foregroundRole()), painter.pen().widthF()));
    int flags = int(QStyle::visualAlignment(Qt::LeftToRight, alignment()));
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    const QRectF rect(contentsRect());
    int lines = 0;
    const QRectF box = linesBox(rect, flags, true, lines);
    const bool clip = !rect.contains(box);
    if (clip) {
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
    }
    for (int i = 0; i < lines; ++i) {
        const QTextLine line = textLayout->lineAt(i);
        qreal x = 0;
        if (flags & Qt::AlignRight)
            x = rect.width() - line.horizontalAdvance();
        else if (flags & Qt::AlignHCenter)
            x = (rect.width() - line.horizontalAdvance()) / 2;
        line.draw(&painter, QPointF(rect.x() + x, box.y()));
    }
    if (clip)
        painter.restore();
}

// Draws a text larger than its box as fitText draws it, as QLabel draws a
// plain text otherwise; false when the text fits and is left to the usual
// painting.
bool QPravikRowLabel::paintFitted()
{
    if (textFormat() != Qt::PlainText || text().isEmpty() || !pixmap().isNull() || !picture().isNull() || movie())
        return false;
    const QRect box = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const int align =
        int(QStyle::visualAlignment(text().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight, alignment()));
    QSize needed;
    if (plainText()) {
        needed = textRect(box.width()).size();
    } else {
        int flags = align | Qt::TextExpandTabs;
        if (wordWrap())
            flags |= Qt::TextWordWrap;
        needed = fontMetrics().boundingRect(QRect(0, 0, box.width(), QWIDGETSIZE_MAX), flags, text()).size();
    }
    if (needed.width() <= box.width() && needed.height() <= box.height())
        return false;
    // Lines are left out only where they would be: a label as tall as its
    // text keeps them all.
    const QSize room(box.width(), needed.height() > box.height() ? box.height() : QWIDGETSIZE_MAX);
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, box, align, palette(), isEnabled(), fitText(text(), font(), room, wordWrap()),
                          foregroundRole());
    return true;
}

QPravikRowLabel* elidedLabel(QWidget* parent)
{
    auto* label = new QPravikRowLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setElided(true);
    return label;
}
