#pragma once

#include <QBrush>
#include <QColor>

class QFont;
class QPainter;
class QSize;
class QString;
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

// What is drawn of a text too large for its box, so that a text of the unit
// keeps to its place and only what is drawn changes: with wrap its lines
// break where a word-wrapped text breaks them; a line too wide is cut at the
// right with an ellipsis; lines below the box are left out, the last one shown
// then ending in an ellipsis (at least one line is shown). The result holds
// its line breaks and is drawn without wrapping.
QString fitText(const QString& text, const QFont& font, const QSize& box, bool wrap);

class QIcon;
class QLabel;

// The image as an icon that is decoded when it is first drawn or measured,
// once for every icon made of that image.
QIcon iconWhenDrawn(const QString& resource);

// Shows the image in the label, decoded when the label is first shown or
// drawn: most of the window's pages are built at start and never shown. An
// image set on the label before then wins.
void setPixmapWhenDrawn(QLabel* label, const QString& resource);
