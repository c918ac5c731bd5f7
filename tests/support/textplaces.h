#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QLabel>
#include <QStringList>

#include "panel/kit/controls.h"

// Whether the texts a page shows keep to their places.
namespace textplaces {

// A key whose text runs off both sides of the room inside its frame, as a
// centred text cut to its room does (one cut with an ellipsis stays off a
// side). Looked at between the rounded corners.
inline bool cutAtSides(QPravikButton* key)
{
    const int b = key->borderWidth;
    const int corner = int(key->cornerRadius) + 1;
    const QImage image = key->grab().toImage();
    const auto marked = [&](int x) {
        for (int y = b + corner; y < key->height() - b - corner; ++y)
            if (image.pixel(x, y) != image.pixel(x, b + corner))
                return true;
        return false;
    };
    return !key->text().isEmpty() && marked(b) && marked(key->width() - b - 1);
}

// The shown widgets under root out of their places: reaching out of their
// parents (top to bottom too, outside a list, which scrolls), labels asking
// for more width than they have, keys with a text cut at both sides.
inline QStringList outOfPlace(QWidget* root)
{
    QStringList out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const QWidget* parent = w->parentWidget();
        const auto* area = qobject_cast<const QAbstractScrollArea*>(parent->parentWidget());
        const bool scrolls = area && area->viewport() == parent;
        const QRect r = w->geometry();
        const auto* label = qobject_cast<QLabel*>(w);
        auto* key = qobject_cast<QPravikButton*>(w);
        if (w->isVisible() && !w->isWindow()
            && (r.left() < 0 || r.right() >= parent->width() || (!scrolls && (r.top() < 0 || r.bottom() >= parent->height()))
                || (label && !label->text().isEmpty() && label->minimumSizeHint().width() > label->width())
                || (key && cutAtSides(key))))
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
