#include "panel/kit/menuitem.h"

#include <QGridLayout>
#include <QPainter>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOption>
#include <QTextLayout>
#include <QtMath>

#include "panel/kit/controls.h"
#include "panel/kit/look.h"
#include "panel/kit/menuwidget.h"

namespace {

using menukit::setTextColour;

const QColor valueBlue(0, 162, 232);
const QColor lockedGrey(127, 127, 127);

QFont pixelFont(const QWidget* w, int pixelSize)
{
    QFont f = w->font();
    f.setPixelSize(pixelSize);
    return f;
}

QLabel* makeIcon(QWidget* parent, const QString& resource)
{
    auto* label = new QLabel(parent);
    label->setFixedSize(34, 34);
    label->setScaledContents(true);
    setPixmapWhenDrawn(label, resource);
    return label;
}

} // namespace

void menukit::setTextColour(QWidget* w, const QColor& colour)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    w->setPalette(pal);
}

QFrame* menukit::line(QFrame::Shape shape, QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setFrameShape(shape);
    frame->setFrameShadow(QFrame::Plain);
    return frame;
}

// --- QPravikMenuBase ---------------------------------------------------------

QPravikMenuBase::QPravikMenuBase(int id, QWidget* parent)
    : QWidget(parent)
    , id(id)
    , gridLayout(new QGridLayout(this))
{
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setSpacing(0);
}

QString QPravikMenuBase::titleText() const
{
    return titleLabel ? titleLabel->text() : QString();
}

// --- QPravikMenuEntry --------------------------------------------------------

QPravikMenuEntry::QPravikMenuEntry(int id, QWidget* parent)
    : QPravikMenuBase(id, parent)
    , owner(qobject_cast<QPravikMenuEntries*>(parent))
{
    gridLayout->setColumnStretch(0, 0);
    gridLayout->setColumnStretch(1, 1);

    iconLabel = new QLabel(this);
    iconLabel->setMargin(5);
    iconLabel->setFixedSize(60, 60);
    iconLabel->setScaledContents(true);
    gridLayout->addWidget(iconLabel, 0, 0);

    titleLabel = new QPravikRowLabel(this);
    titleLabel->setTextFormat(Qt::PlainText);
    titleLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    titleLabel->setFont(pixelFont(this, 22));
    setTextColour(titleLabel, Qt::white);
    gridLayout->addWidget(titleLabel, 0, 1);

    gridLayout->addWidget(menukit::line(QFrame::HLine, this), 1, 0, 1, 2);
}

void QPravikMenuEntry::setState(int newState)
{
    if (newState == state)
        return;
    state = newState;
    setTextColour(titleLabel, state == Current ? valueBlue : state == Disabled ? lockedGrey : QColor(Qt::white));
}

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

QSize QPravikRowLabel::minimumSizeHint() const
{
    if (!plainText())
        return QLabel::minimumSizeHint();
    // As QLabel: the height of the text on as few lines as it takes, the
    // width of its longest word when it wraps.
    const QSize hint = sizeForWidth(-1);
    return QSize(sizeForWidth(0).width(), qMin(hint.height(), sizeForWidth(QWIDGETSIZE_MAX).height()));
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

// --- QPwdLabel ---------------------------------------------------------------

QPwdLabel::QPwdLabel(QWidget* parent)
    : QPravikRowLabel(parent)
{
    setAccessibleName(tr("Hidden value"));
}

void QPwdLabel::setSecret(const QString& secret)
{
    hidden = secret;
    setText(QString(secret.size(), QLatin1Char('*')));
}

// --- QPravikMenuItem ---------------------------------------------------------

QPravikMenuItem::QPravikMenuItem(int id, int type, QPravikMenuItems* page)
    : QPravikMenuItem(id, -1, type, page)
{
}

QPravikMenuItem::QPravikMenuItem(int id, int parentId, int type, QPravikMenuItems* page)
    : QPravikMenuBase(id, page)
    , page(page)
    , type(type)
    , parentId(parentId)
{
    gridLayout->setColumnStretch(0, 1);
    gridLayout->setColumnStretch(1, 0);

    // Titles and values may come from the unit (names, SSIDs): never markup.
    titleLabel = new QPravikRowLabel(this);
    titleLabel->setTextFormat(Qt::PlainText);
    titleLabel->setFixedHeight(32);
    titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    titleLabel->setFont(pixelFont(this, 22));
    setTextColour(titleLabel, Qt::white);
    gridLayout->addWidget(titleLabel, 0, 0);

    if (type != SectionHeader) {
        valueLabel = (type == Password || type == Pin) ? new QPwdLabel(this) : new QPravikRowLabel(this);
        valueLabel->setTextFormat(Qt::PlainText);
        valueLabel->setMinimumHeight(26);
        valueLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        valueLabel->setWordWrap(true);
        valueLabel->setFont(pixelFont(this, 18));
        setTextColour(valueLabel, valueBlue);
        gridLayout->addWidget(valueLabel, 1, 0);
    }

    QWidget* control = nullptr;
    switch (type) {
    case Switch:
        switchButton = new QPravikSwitch(this);
        switchButton->setFixedSize(60, 34);
        switchButton->setCheckable(true);
        connect(switchButton, &QPravikSwitch::clicked, this, &QPravikMenuItem::switchClicked);
        control = switchButton;
        break;
    case SubMenu:
        control = iconLabel = makeIcon(this, QStringLiteral(":/images/navright.png"));
        break;
    case Action:
        control = iconLabel = makeIcon(this, QStringLiteral(":/images/action.png"));
        break;
    case WheelOnRelease:
    case WheelEveryStep:
        wheel = new QPravikWheel(this);
        wheel->setFixedSize(58, 58);
        wheel->setFont(pixelFont(this, 18));
        connect(wheel, &QPravikWheel::valueChanged, this, &QPravikMenuItem::wheelChanged);
        connect(wheel, &QPravikWheel::toggled, this, &QPravikMenuItem::wheelToggled);
        control = wheel;
        break;
    default:
        break;
    }
    if (control)
        gridLayout->addWidget(control, 0, 1, 2, 1);

    gridLayout->addWidget(menukit::line(QFrame::HLine, this), 2, 0, 1, 2);
}

void QPravikMenuItem::addChoice(int value, const QString& text)
{
    choices.append({value, text});
}

void QPravikMenuItem::clearChoices()
{
    currentIndex = -1;
    choices.clear();
}

int QPravikMenuItem::indexOfValue(int value, bool strict) const
{
    if (choices.isEmpty())
        return -1;
    for (int i = 0; i < choices.size(); ++i)
        if (choices.at(i).value == value)
            return i;
    return strict ? -1 : 0;
}

int QPravikMenuItem::indexOfText(const QString& text, bool strict) const
{
    if (choices.isEmpty())
        return -1;
    for (int i = 0; i < choices.size(); ++i)
        if (choices.at(i).text == text)
            return i;
    return strict ? -1 : 0;
}

int QPravikMenuItem::setCurrentValue(int value, bool showText, bool strict)
{
    currentIndex = indexOfValue(value, strict);
    if (currentIndex >= 0 && showText)
        showChoice(currentIndex);
    if (currentIndex >= 0 && isWheel() && isVisible())
        refreshControl();
    return currentIndex;
}

int QPravikMenuItem::setCurrentText(const QString& text, bool showText, bool strict)
{
    currentIndex = indexOfText(text, strict);
    if (currentIndex >= 0 && showText)
        showChoice(currentIndex);
    if (currentIndex >= 0 && isWheel() && isVisible())
        refreshControl();
    return currentIndex;
}

int QPravikMenuItem::currentValue() const
{
    return hasChoice(currentIndex) ? choices.at(currentIndex).value : -1;
}

QString QPravikMenuItem::valueText() const
{
    if (const auto* secret = qobject_cast<const QPwdLabel*>(valueLabel))
        return secret->secret();
    return valueLabel ? valueLabel->text() : QString();
}

void QPravikMenuItem::setValueText(const QString& text, bool strict)
{
    setValueTextColor(text, QColor(), strict);
}

void QPravikMenuItem::setValueTextColor(const QString& text, const QColor& colour, bool strict)
{
    if (!valueLabel)
        return;
    if (auto* secret = qobject_cast<QPwdLabel*>(valueLabel))
        secret->setSecret(text);
    else
        valueLabel->setText(text);
    if (colour.isValid() && valueLabel->palette().color(QPalette::WindowText) != colour)
        setTextColour(valueLabel, colour);
    if (type == ChoiceList)
        setCurrentText(text, false, strict);
}

void QPravikMenuItem::setValueTextGlobalColor(const QString& text, Qt::GlobalColor colour, bool strict)
{
    setValueTextColor(text, QColor(colour), strict);
}

void QPravikMenuItem::setLocked(bool lock)
{
    applyLocked(lock, lock ? lockedGrey : valueBlue);
}

void QPravikMenuItem::applyLocked(bool lock, const QColor& colour)
{
    if (valueLabel && colour.isValid() && valueLabel->palette().color(QPalette::WindowText) != colour)
        setTextColour(valueLabel, colour);
    if (lock == locked)
        return;
    locked = lock;
    if (switchButton)
        switchButton->setEnabled(!locked);
    refreshControl();
}

void QPravikMenuItem::setChecked(bool on)
{
    if (!switchButton)
        return;
    switchButton->setChecked(on);
    refreshSwitchText();
}

void QPravikMenuItem::refreshSwitchText()
{
    if (!valueLabel)
        return;
    const bool on = switchButton && switchButton->isChecked();
    if (choices.size() < 2) {
        valueLabel->setText(on ? tr("Active") : tr("Disabled"));
        return;
    }
    currentIndex = on ? 1 : 0;
    showChoice(currentIndex);
}

void QPravikMenuItem::refreshControl()
{
    if (type == Switch) {
        // A value of neither choice is the unit's own: showing or locking the
        // item must not turn it into the choice the switch happens to rest on.
        if (!showsOtherValue())
            refreshSwitchText();
        return;
    }
    if (!wheel)
        return;
    // A wheel committed on release throws away a turn that was never released.
    wheel->revertOnLeave = type == WheelOnRelease;
    if (choices.isEmpty()) {
        wheel->setCheckable(false);
    } else {
        wheel->setCheckable(!locked);
        wheel->setMaximum(choices.size() - 1);
        const int shown = indexOfText(valueText(), true);
        if (shown >= 0)
            wheel->setValue(shown);
    }
    wheel->update();
}

void QPravikMenuItem::switchClicked()
{
    refreshSwitchText();
    notifyChanged();
}

// The list may have shrunk since the wheel's maximum was set: an index
// outside it is ignored.
void QPravikMenuItem::wheelChanged(int index)
{
    if (!hasChoice(index))
        return;
    showChoice(index);
    if (type == WheelEveryStep) {
        currentIndex = index;
        notifyChanged();
    }
}

void QPravikMenuItem::wheelToggled(bool checked)
{
    if (!valueLabel)
        return;
    if (type == WheelOnRelease)
        setTextColour(valueLabel, checked ? QColor(Qt::red) : valueBlue);
    if (checked && wheel) {
        pressedAt = wheel->value();
        shownAtPress = valueLabel->text();
    }
    if (checked || !page || !wheel)
        return;
    const int index = wheel->value();
    if (!hasChoice(index))
        return;
    // Let go where it was taken (or turned back there on leaving): a value of
    // no choice, the unit's own, stays; the wheel's resting place is no pick.
    if (!hasChoice(currentIndex) && index == pressedAt) {
        valueLabel->setText(shownAtPress);
        return;
    }
    const int previous = currentIndex;
    currentIndex = index;
    showChoice(index);
    wheel->setValue(index);
    if (type == WheelEveryStep || index != previous)
        notifyChanged();
}

void QPravikMenuItem::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        refreshControl();
    QPravikMenuBase::showEvent(event);
}

bool QPravikMenuItem::showsOtherValue() const
{
    return choices.size() >= 2 && !hasChoice(currentIndex) && valueLabel && !valueLabel->text().isEmpty()
           && indexOfText(valueLabel->text(), true) < 0;
}

void QPravikMenuItem::showChoice(int index)
{
    if (valueLabel && hasChoice(index))
        valueLabel->setText(choices.at(index).text);
}

void QPravikMenuItem::notifyChanged()
{
    if (page)
        page->notifyItemChanged(this);
}
