#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QLabel>
#include <QStringList>
#include <QtMath>

#include "panel/kit/controls.h"

// Whether the texts a page shows keep to their places.
namespace textplaces {

// A label's or key's text that needs more room than it has and is drawn cut
// at the edges of its room. A centred text cut to its room runs off both
// sides; one cut with an ellipsis stays off one, as a text aligned to one
// side stays off the other. A key's room is inside its frame, looked at
// along its straight edges.
inline bool cutAtEdges(QWidget* w)
{
    auto* key = qobject_cast<QPravikButton*>(w);
    auto* label = qobject_cast<QLabel*>(w);
    const QString text = key ? key->text() : label ? label->text() : QString();
    if (text.isEmpty())
        return false;
    const int b = key ? key->borderWidth : 0;
    const int r = key ? qCeil(key->cornerRadius) : 0;
    const QRect room = key ? w->rect().adjusted(b, b, -b, -b) : label->contentsRect();
    const int align = key ? int(Qt::AlignCenter) : int(label->alignment());
    const int wrap = !label || label->wordWrap() ? Qt::TextWordWrap : 0;
    const QSize needed = w->fontMetrics().boundingRect(room, align | wrap, text).size();
    // One line taller than the room cannot be helped.
    const bool wide = needed.width() > room.width();
    const bool tall = (align & Qt::AlignVCenter) && needed.height() > qMax(room.height(), w->fontMetrics().height() * 3 / 2);
    if (!wide && !tall)
        return false;
    const QImage image = w->grab().toImage();
    const auto marked = [&image](int x, int y, int width, int height) {
        for (int i = 0; i < width * height; ++i)
            if (image.pixel(x + i % width, y + i / width) != image.pixel(x, y))
                return true;
        return false;
    };
    const bool left = marked(room.left(), room.top() + r, 1, room.height() - 2 * r);
    const bool right = marked(room.right(), room.top() + r, 1, room.height() - 2 * r);
    const bool top = marked(room.left() + r, room.top(), room.width() - 2 * r, 1);
    const bool bottom = marked(room.left() + r, room.bottom(), room.width() - 2 * r, 1);
    const int h = align & Qt::AlignHorizontal_Mask;
    return (wide && ((h & Qt::AlignLeft) ? right : (h & Qt::AlignRight) ? left : left && right)) || (tall && top && bottom);
}

// The shown widgets under root that reach out of their parents (side to
// side, and top to bottom outside a list, which scrolls) or show a text cut
// at its edges.
inline QStringList outOfPlace(QWidget* root)
{
    QStringList out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const QWidget* parent = w->parentWidget();
        const auto* area = qobject_cast<const QAbstractScrollArea*>(parent->parentWidget());
        const bool scrolls = area && area->viewport() == parent;
        const QRect r = w->geometry();
        const bool outside = r.left() < 0 || r.right() >= parent->width()
                             || (!scrolls && (r.top() < 0 || r.bottom() >= parent->height()));
        if (w->isVisible() && !w->isWindow() && (outside || cutAtEdges(w)))
            out << QStringLiteral("%1 %2 (%3,%4 %5x%6)")
                       .arg(QLatin1String(w->metaObject()->className()), w->property("text").toString().left(20))
                       .arg(r.x())
                       .arg(r.y())
                       .arg(r.width())
                       .arg(r.height());
    }
    return out;
}

} // namespace textplaces
