#include "panel/kit/look.h"

#include <QPainter>
#include <QPalette>
#include <QWidget>

void setLampColours(QWidget* widget, const QBrush& window, const QColor& text)
{
    QPalette palette = widget->palette();
    palette.setBrush(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    widget->setPalette(palette);
}

void setPixelSize(QWidget* widget, int pixels)
{
    QFont font = widget->font();
    font.setPixelSize(pixels);
    widget->setFont(font);
}

QColor linkStateColour(int state)
{
    switch (state) {
    case 1: return QColor(170, 255, 170);
    case 2: return QColor(0, 255, 0);
    case 3: return QColor(255, 255, 0);
    case 4: return QColor(255, 0, 0);
    case 5: return QColor(240, 101, 101);
    case 6: return QColor(234, 177, 102);
    default: return QColor(127, 127, 127);
    }
}

void paintFilledFrame(QPainter& painter, const QWidget* widget, int border, float radius)
{
    const QBrush window = widget->palette().brush(QPalette::Window);
    const double b = border;
    painter.setPen(QPen(window.color(), b));
    painter.setBrush(window);
    const QRectF frame(b / 2.0, b / 2.0, widget->width() - b, widget->height() - b);
    if (radius != 0.0f)
        painter.drawRoundedRect(frame, radius, radius, Qt::AbsoluteSize);
    else
        painter.drawRect(frame);
}
