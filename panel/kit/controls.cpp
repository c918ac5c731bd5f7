#include "panel/kit/controls.h"

#include <QFocusEvent>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QWheelEvent>
#include <QtMath>

#include "panel/kit/frontpanel.h"
#include "panel/kit/look.h"
#include "panel/pages/panelshared.h"

namespace {

const QColor engagedColor(0, 141, 233);
constexpr int selectKeyCode = 0x160;

QColor ringColor(const QAbstractButton* w)
{
    if (!w->isEnabled())
        return QColor(Qt::darkGray);
    if (w->hasFocus() && w->isChecked())
        return engagedColor;
    return w->palette().color(QPalette::WindowText);
}

QRect faceRect(const QWidget* w)
{
    return QRect(QPoint(7, 7), QPoint(w->width() - 8, w->height() - 8));
}

// Ring and pointer; the angle runs clockwise from straight down.
void paintRing(QPainter& p, const QRect& face, const QColor& color, double angleDeg)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(color, 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(face);

    const QPointF c = QRectF(face).center();
    const double r = face.height() / 2.0;
    const double a = qDegreesToRadians(angleDeg);
    const QPointF dir(-qSin(a), qCos(a));
    p.drawLine(c + dir * (r - 5.0), c + dir * (r + 5.0));
}

// An empty range has no travel: the pointer rests at the start. Worked in
// 64 bits so that bounds far apart cannot overflow.
double pointerAngle(qint64 offset, qint64 range)
{
    if (range <= 0)
        return 30.0;
    return 30.0 + 300.0 * qBound<qint64>(0, offset, range) / range;
}

// The key a wheel event turns as: plus or minus by its angle delta, or by
// its pixel delta when only that is given (touchpads); none (0) when both are
// zero, as at a touchpad's begin and end.
int wheelKey(const QWheelEvent* event)
{
    QPoint d = event->angleDelta();
    if (d.isNull())
        d = event->pixelDelta();
    const int delta = d.y() != 0 ? d.y() : d.x();
    return delta == 0 ? 0 : delta > 0 ? Qt::Key_Plus : Qt::Key_Minus;
}

void forwardKey(const QKeyEvent* event, int fromControl)
{
    const int kind = event->type() == QEvent::KeyRelease ? QPravikEvent::KeyRelease : QPravikEvent::KeyPress;
    postKeyToFrontPanel(kind, event->key(), fromControl);
}

void paintImageCentred(QWidget* w, const QString& resource)
{
    QPixmap image(resource);
    if (image.isNull())
        return;
    // A switch the unit does not offer must not look like one that works.
    if (!w->isEnabled()) {
        QStyleOption option;
        option.initFrom(w);
        image = w->style()->generatedIconPixmap(QIcon::Disabled, image, &option);
    }
    // Odd leftover space makes the target one pixel larger; a smaller widget squeezes the image.
    const int dx = qMax(0, (w->width() - image.width()) / 2);
    const int dy = qMax(0, (w->height() - image.height()) / 2);
    QPainter p(w);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawPixmap(w->rect().adjusted(dx, dy, -dx, -dy), image);
}

} // namespace

// --- QPravikButton ---------------------------------------------------------

QPravikButton::QPravikButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void QPravikButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    paintFilledFrame(p, this, borderWidth, cornerRadius);

    const QRect inside = rect().adjusted(borderWidth, borderWidth, -borderWidth, -borderWidth);
    if (!icon().isNull())
        icon().paint(&p, inside, Qt::AlignCenter, QIcon::Normal, QIcon::Off);
    if (!text().isEmpty()) {
        p.setPen(QPen(palette().color(QPalette::WindowText), 1));
        // Names of the unit may be longer than a key: cut with an ellipsis.
        const int flags = Qt::AlignCenter | Qt::TextWordWrap;
        const QSize needed = p.fontMetrics().boundingRect(inside, flags, text()).size();
        if (needed.width() <= inside.width() && needed.height() <= inside.height()) {
            p.drawText(inside, flags, text());
        } else {
            const QSize room(inside.width(), needed.height() > inside.height() ? inside.height() : QWIDGETSIZE_MAX);
            p.drawText(inside, Qt::AlignCenter, fitText(text(), font(), room, true));
        }
    }
}

// --- QPravikSwitch / QPravikPair -------------------------------------------

QPravikSwitch::QPravikSwitch(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void QPravikSwitch::paintEvent(QPaintEvent*)
{
    paintImageCentred(this, isChecked() ? QStringLiteral(":/images/switch_on.png")
                                        : QStringLiteral(":/images/switch_off.png"));
}

QPravikPair::QPravikPair(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void QPravikPair::paintEvent(QPaintEvent*)
{
    paintImageCentred(this, isChecked() ? QStringLiteral(":/images/pair_on.png")
                                        : QStringLiteral(":/images/pair_off.png"));
}

// --- QPravikKnob -----------------------------------------------------------

QPravikKnob::QPravikKnob(bool panning, QWidget* parent, bool offersStereo)
    : QAbstractButton(parent)
    , stereo(offersStereo)
    , panningKnob(panning)
{
    setFocusPolicy(Qt::ClickFocus);
    setCheckable(true);
}

void QPravikKnob::setMinimum(int minimum, const QString& text)
{
    minValue = minimum;
    minText = text;
    if (currentValue < minValue)
        currentValue = minValue;
    update();
}

void QPravikKnob::setMaximum(int maximum, const QString& text)
{
    maxValue = maximum;
    maxText = text;
    if (currentValue > maxValue)
        currentValue = maxValue;
    update();
}

void QPravikKnob::setValue(int value)
{
    const int clamped = qMax(minValue, qMin(maxValue, value));
    if (clamped == currentValue)
        return;
    currentValue = clamped;
    if (isVisible()) {
        update();
        emit valueChanged(currentValue);
    }
}

void QPravikKnob::setPanning(QPravik::PanCtrl newPan)
{
    if (!panningKnob || newPan == pan)
        return;
    pan = newPan;
    if (isVisible()) {
        update();
        emit panningChanged(pan);
    }
}

void QPravikKnob::addStep(int value, const QString& label)
{
    // Owners may lay a page out more than once; the same step is kept once.
    const QPair<int, QString> entry(value, label);
    if (steps.contains(entry))
        return;
    steps.append(entry);
}

int QPravikKnob::indexOfValue(int value) const
{
    for (int i = 0; i < steps.size(); ++i)
        if (steps.at(i).first == value)
            return i;
    return -1;
}

int QPravikKnob::indexOfText(const QString& text) const
{
    for (int i = 0; i < steps.size(); ++i)
        if (steps.at(i).second == text)
            return i;
    return -1;
}

int QPravikKnob::valueAt(int index) const
{
    if (index < 0 || index >= steps.size())
        return -1;
    return steps.at(index).first;
}

QString QPravikKnob::textAt(int index) const
{
    if (index < 0 || index >= steps.size())
        return QString();
    return steps.at(index).second;
}

void QPravikKnob::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        QKeyEvent select(QEvent::KeyPress, Qt::Key_Enter, Qt::NoModifier, QString(), false, 1);
        keyPressEvent(&select);
        event->accept();
        return;
    }
    QAbstractButton::mousePressEvent(event);
}

void QPravikKnob::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (const int turn = wheelKey(event)) {
        QKeyEvent key(QEvent::KeyPress, turn, Qt::NoModifier);
        keyPressEvent(&key);
    }
}

void QPravikKnob::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    if (!isChecked()) {
        forwardKey(event, 1);
        return;
    }
    const int key = event->key();
    if (key == Qt::Key_Plus) {
        if (qint64(currentValue) + step > maxValue)
            return;
        currentValue += step;
        update();
        emit valueChanged(currentValue);
    } else if (key == Qt::Key_Minus) {
        if (qint64(currentValue) - step < minValue)
            return;
        currentValue -= step;
        update();
        emit valueChanged(currentValue);
    } else if (key == selectKeyCode || key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (!panningKnob)
            return;
        switch (pan) {
        case QPravik::PanBoth: pan = QPravik::PanLeft; break;
        case QPravik::PanLeft: pan = QPravik::PanRight; break;
        case QPravik::PanRight: pan = QPravik::PanNone; break;
        case QPravik::PanNone: pan = stereo ? QPravik::PanStereo : QPravik::PanBoth; break;
        default: pan = QPravik::PanBoth; break;
        }
        update();
        emit panningChanged(pan);
    } else {
        forwardKey(event, 1);
    }
}

void QPravikKnob::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
    forwardKey(event, 1);
}

void QPravikKnob::focusOutEvent(QFocusEvent* event)
{
    setChecked(false);
    QAbstractButton::focusOutEvent(event);
}

QString QPravikKnob::centreText() const
{
    if (currentValue == minValue && !minText.isEmpty())
        return minText;
    if (currentValue == maxValue && !maxText.isEmpty())
        return maxText;
    if (stepLabelMode == 1 && !steps.isEmpty()) {
        const int i = indexOfValue(currentValue);
        if (i >= 0)
            return steps.at(i).second;
    }
    return QString::number(currentValue);
}

void QPravikKnob::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect face = faceRect(this);
    const QColor ring = ringColor(this);
    const bool engaged = isEnabled() && hasFocus() && isChecked();

    p.setPen(QPen(ring, 4));
    p.drawText(face, Qt::AlignCenter, centreText());

    if (panningKnob) {
        p.save();
        QFont small = font();
        small.setPixelSize(qMax(1, QFontInfo(font()).pixelSize() * 2 / 3));
        p.setFont(small);
        const QRect lower(face.left(), face.top() + face.height() / 2, face.width(), face.height() - face.height() / 2);
        const int middle = lower.left() + lower.width() / 2;
        const QRect lowerLeft(QPoint(lower.left(), lower.top()), QPoint(middle, lower.bottom()));
        const QRect lowerRight(QPoint(middle + 1, lower.top()), lower.bottomRight());

        if (pan == QPravik::PanStereo) {
            p.setPen(engaged ? engagedColor : QColor(Qt::white));
            p.drawText(lower, Qt::AlignCenter, QStringLiteral("Stereo"));
        } else {
            if (pan == QPravik::PanNone || pan == QPravik::PanLeft || pan == QPravik::PanBoth) {
                const bool none = pan == QPravik::PanNone;
                p.setPen(none || engaged ? ring : QColor(Qt::green));
                p.drawText(lowerLeft, Qt::AlignRight | Qt::AlignVCenter,
                           none ? QStringLiteral("=") : QStringLiteral("L"));
            }
            if (pan == QPravik::PanNone || pan == QPravik::PanRight || pan == QPravik::PanBoth) {
                const bool none = pan == QPravik::PanNone;
                p.setPen(none || engaged ? ring : QColor(Qt::red));
                p.drawText(lowerRight, Qt::AlignLeft | Qt::AlignVCenter,
                           none ? QStringLiteral("=") : QStringLiteral("R"));
            }
        }
        p.restore();
    }

    paintRing(p, face, ring, pointerAngle(qint64(currentValue) - minValue, qint64(maxValue) - minValue));
}

// --- QPravikWheel ----------------------------------------------------------

QPravikWheel::QPravikWheel(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    setCheckable(true);
}

void QPravikWheel::setMaximum(int maximum)
{
    maxValue = maximum;
    if (maxValue < currentValue) {
        currentValue = maxValue;
        confirmedValue = maxValue;
    }
}

void QPravikWheel::setValue(int value)
{
    if (value < 0 || value > maxValue)
        return;
    currentValue = value;
    confirmedValue = value;
}

void QPravikWheel::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (const int turn = wheelKey(event)) {
        QKeyEvent key(QEvent::KeyPress, turn, Qt::NoModifier);
        keyPressEvent(&key);
    }
}

void QPravikWheel::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    if (!isChecked()) {
        forwardKey(event, 1);
        return;
    }
    if (event->key() == Qt::Key_Plus) {
        if (currentValue >= maxValue)
            return;
        ++currentValue;
        update();
        emit valueChanged(currentValue);
    } else if (event->key() == Qt::Key_Minus) {
        if (currentValue < 1)
            return;
        --currentValue;
        update();
        emit valueChanged(currentValue);
    } else {
        forwardKey(event, 1);
    }
}

void QPravikWheel::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
    forwardKey(event, 1);
}

void QPravikWheel::focusOutEvent(QFocusEvent* event)
{
    if (revertOnLeave && currentValue != confirmedValue) {
        currentValue = confirmedValue;
        update();
    }
    setChecked(false);
    QAbstractButton::focusOutEvent(event);
}

void QPravikWheel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintRing(p, faceRect(this), ringColor(this), pointerAngle(currentValue, maxValue));
}

// --- QPravikAudio ----------------------------------------------------------

QPravikAudio::QPravikAudio(QWidget* parent)
    : QPravikRowLabel(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setElided(true); // shows the unit's names of the inputs
    keepTextOffMarks();
}

// The text keeps to the room between the pan marks at the sides.
void QPravikAudio::keepTextOffMarks()
{
    const QFontMetrics metrics = fontMetrics();
    int mark = 0;
    for (const QChar c : {u'=', u'L', u'R'})
        mark = qMax(mark, metrics.horizontalAdvance(c));
    setContentsMargins(mark, 0, mark, 0);
}

void QPravikAudio::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        keepTextOffMarks();
    QPravikRowLabel::changeEvent(event);
}

void QPravikAudio::setPanning(QPravik::PanCtrl newPan)
{
    if (newPan == pan)
        return;
    pan = newPan;
    if (isVisible()) {
        update();
        emit panningChanged(pan);
    }
}

void QPravikAudio::paintEvent(QPaintEvent* event)
{
    QPravikRowLabel::paintEvent(event);
    QPainter p(this);
    const int vcentre = Qt::AlignVCenter;
    if (pan == QPravik::PanNone) {
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignLeft | vcentre, QStringLiteral("="));
        p.drawText(rect(), Qt::AlignRight | vcentre, QStringLiteral("="));
        return;
    }
    if (pan != QPravik::PanRight) {
        p.setPen(Qt::green);
        p.drawText(rect(), Qt::AlignLeft | vcentre, QStringLiteral("L"));
    }
    if (pan != QPravik::PanLeft) {
        p.setPen(Qt::red);
        p.drawText(rect(), Qt::AlignRight | vcentre, QStringLiteral("R"));
    }
}
