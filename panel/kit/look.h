#pragma once

#include <QBrush>
#include <QColor>

class QPainter;
class QWidget;

// Shared look of the panel's filled widgets (lamps, buttons, boxes).

// Window brush in every colour group, and the text colour.
void setLampColours(QWidget* widget, const QBrush& window, const QColor& text = Qt::black);

// The widget's own font at a fixed pixel size.
void setPixelSize(QWidget* widget, int pixels);

// Colour of a line's link state, shared by the status strip's captions and the
// connection panels' info boxes.
QColor linkStateColour(int state);

// Fills the widget with its window brush inside a frame of that colour,
// rounded when a radius is given.
void paintFilledFrame(QPainter& painter, const QWidget* widget, int border, float radius);

class QIcon;
class QLabel;
class QString;

// The image as an icon that is decoded when it is first drawn or measured,
// once for every icon made of that image.
QIcon iconWhenDrawn(const QString& resource);

// Shows the image in the label, decoded when the label is first shown or
// drawn: most of the window's pages are built at start and never shown. An
// image set on the label before then wins.
void setPixmapWhenDrawn(QLabel* label, const QString& resource);
