#include "panel/kit/look.h"

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
