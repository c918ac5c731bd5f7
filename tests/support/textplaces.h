#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QLabel>
#include <QStringList>
#include <QWidget>

#include "panel/kit/controls.h"

// Whether the texts a page shows keep to their places: no widget wider than
// its parent, and no text drawn where it has no room.
namespace textplaces {

inline QString describe(const QWidget* w)
{
    QString name = QString::fromLatin1(w->metaObject()->className());
    if (const auto* label = qobject_cast<const QLabel*>(w))
        name += QLatin1Char(' ') + label->text().left(20);
    else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        name += QLatin1Char(' ') + button->text().left(20);
    return name.replace(QLatin1Char('\n'), QLatin1Char('|'));
}

// Every shown widget under root that reaches out of its parent: side to
// side everywhere, and top to bottom too except in a list, which scrolls.
inline QStringList outsideParents(QWidget* root)
{
    QStringList out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->isWindow() || !w->isVisibleTo(root) || !w->isVisible())
            continue;
        const QWidget* parent = w->parentWidget();
        const QRect r = w->geometry();
        const auto* area = qobject_cast<const QAbstractScrollArea*>(parent->parentWidget());
        const bool scrolls = area && area->viewport() == parent;
        if (r.left() < 0 || r.right() >= parent->width()
            || (!scrolls && (r.top() < 0 || r.bottom() >= parent->height())))
            out << QStringLiteral("%1 at %2,%3 %4x%5 in %6x%7")
                       .arg(describe(w))
                       .arg(r.x())
                       .arg(r.y())
                       .arg(r.width())
                       .arg(r.height())
                       .arg(parent->width())
                       .arg(parent->height());
    }
    return out;
}

// Whether the pixels of image in area are all the same colour.
inline bool uniform(const QImage& image, const QRect& area)
{
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (image.pixel(x, y) != image.pixel(inside.topLeft()))
                return false;
    return true;
}

// What is wrong, if anything, with a label or key whose text is too large for
// it: drawn cut at the edges of its room. A centred text cut to its room runs
// off both sides; one cut with an ellipsis stays off at least one of them, as
// a text aligned to one side stays off the other. A key's room is inside its
// frame, where it looks without a text as it looks with a text that fits.
inline QString textOverEdges(QWidget* w)
{
    if (auto* key = qobject_cast<QPravikButton*>(w)) {
        const int b = key->borderWidth;
        const QRect inside = key->rect().adjusted(b, b, -b, -b);
        const QSize needed =
            key->fontMetrics().boundingRect(inside, Qt::AlignCenter | Qt::TextWordWrap, key->text()).size();
        if (key->text().isEmpty() || (needed.width() <= inside.width() && needed.height() <= inside.height()))
            return QString();
        QWidget holder; // a window may not take any size
        QPravikButton blank(&holder);
        blank.borderWidth = key->borderWidth;
        blank.cornerRadius = key->cornerRadius;
        blank.setPalette(key->palette());
        blank.setIcon(key->icon());
        blank.resize(key->size());
        const QImage shown = key->grab().toImage();
        const QImage empty = blank.grab().toImage();
        const auto inked = [&](const QRect& edge) { return shown.copy(edge) != empty.copy(edge); };
        const int x0 = inside.left(), x1 = inside.right(), y0 = inside.top(), y1 = inside.bottom();
        if ((inked(QRect(x0, y0, 1, inside.height())) && inked(QRect(x1, y0, 1, inside.height())))
            || (inked(QRect(x0, y0, inside.width(), 1)) && inked(QRect(x0, y1, inside.width(), 1))))
            return describe(w) + QStringLiteral(" cut at its edges");
        return QString();
    }
    auto* label = qobject_cast<QLabel*>(w);
    if (!label || label->text().isEmpty())
        return QString();
    const QRect box = label->contentsRect();
    int flags = int(label->alignment());
    if (label->wordWrap())
        flags |= Qt::TextWordWrap;
    const QSize needed = label->fontMetrics().boundingRect(box, flags, label->text()).size();
    const bool wide = needed.width() > box.width();
    const bool centred = label->alignment() & Qt::AlignVCenter;
    if (!wide && !(centred && needed.height() > box.height()))
        return QString();
    const QImage image = label->grab().toImage();
    const bool left = !uniform(image, QRect(box.left(), box.top(), 1, box.height()));
    const bool right = !uniform(image, QRect(box.right(), box.top(), 1, box.height()));
    const bool top = !uniform(image, QRect(box.left(), box.top(), box.width(), 1));
    const bool bottom = !uniform(image, QRect(box.left(), box.bottom(), box.width(), 1));
    const Qt::Alignment h = label->alignment() & Qt::AlignHorizontal_Mask;
    if ((wide && ((h & Qt::AlignLeft) ? right : (h & Qt::AlignRight) ? left : left && right))
        || (centred && top && bottom))
        return describe(w) + QStringLiteral(" cut at its edge");
    return QString();
}

// The shown labels and keys under root whose texts are cut at their edges.
inline QStringList textsOverEdges(QWidget* root)
{
    QStringList out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const QString fault = w->isVisible() ? textOverEdges(w) : QString();
        if (!fault.isEmpty())
            out << fault;
    }
    return out;
}

} // namespace textplaces
