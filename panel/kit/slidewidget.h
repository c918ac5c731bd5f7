#pragma once

#include <QProxyStyle>
#include <QScrollArea>
#include <QScrollBar>

class QVBoxLayout;

// Vertical list scrolled by dragging its content. A press that ends without
// turning into a drag is a click on the row under the pointer.
class QPravikSlideWidget : public QScrollArea
{
    Q_OBJECT
public:
    explicit QPravikSlideWidget(QWidget* parent = nullptr);

    int dragY = -1; // where the last scroll step started; -1 = no anchor yet
    bool clickPending = false;
    QWidget* contentWidget = nullptr;
    QVBoxLayout* contentLayout = nullptr; // rows go here

    // The deepest widget under the pointer when a press ended as a click.
    virtual void itemClicked(QWidget* child);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};

// Drag-scrolled area for a content widget its user lays out and sizes.
class QPravikSlideSimple : public QScrollArea
{
    Q_OBJECT
public:
    explicit QPravikSlideSimple(QWidget* parent = nullptr);

    int dragY = -1;
    QWidget* contentWidget = nullptr;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};

// Thin scroll bar that draws only a position mark in the panel's accent colour.
class QPravikSlideScroll : public QScrollBar
{
    Q_OBJECT
public:
    explicit QPravikSlideScroll(QWidget* parent = nullptr);

    // Top of the position mark for a bar of that height; -1 when the range is
    // empty and no mark is drawn.
    int handleTop(int barHeight) const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Makes the slide bars 10 pixels wide; everything else comes from the
// application style.
class QPravikSlideStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // The one instance every slide bar uses, owned by the application.
    static QPravikSlideStyle* shared();

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
};
