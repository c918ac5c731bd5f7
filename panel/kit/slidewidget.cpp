#include "panel/kit/slidewidget.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

namespace {

constexpr int dragThreshold = 10;
const QColor handleColor(0, 162, 232);

template <class Area>
void setUpArea(Area* area, bool resizable)
{
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidgetResizable(resizable);
    area->setFocusPolicy(Qt::NoFocus);
    area->setFrameStyle(0);
    auto* bar = new QPravikSlideScroll(area);
    bar->setStyle(QPravikSlideStyle::shared());
    area->setVerticalScrollBar(bar);
}

// One scroll step of a drag. Steps under the threshold leave the anchor
// where it was, so slow drags add up; a pointer outside the area scrolls nothing.
template <class Area>
void dragTo(Area* area, int y)
{
    if (area->dragY == -1) {
        area->dragY = y;
        return;
    }
    if (y < 0 || y >= area->height() || qAbs(area->dragY - y) < dragThreshold)
        return;
    QScrollBar* bar = area->verticalScrollBar();
    bar->setValue(bar->value() + area->dragY - y);
    area->dragY = y;
}

} // namespace

// --- QPravikSlideWidget ------------------------------------------------------

QPravikSlideWidget::QPravikSlideWidget(QWidget* parent)
    : QScrollArea(parent)
{
    setUpArea(this, true);
    contentWidget = new QWidget;
    contentLayout = new QVBoxLayout(contentWidget);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(0);
    contentLayout->setAlignment(Qt::AlignTop);
    setWidget(contentWidget);
}

void QPravikSlideWidget::itemClicked(QWidget*) {}

void QPravikSlideWidget::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    dragY = -1;
    clickPending = true;
}

void QPravikSlideWidget::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    const bool anchored = dragY != -1;
    dragTo(this, event->position().toPoint().y());
    // The first move only sets the anchor; the second one ends the click.
    if (anchored)
        clickPending = false;
}

void QPravikSlideWidget::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    dragY = -1;
    if (!clickPending)
        return;
    clickPending = false;
    if (QWidget* child = childAt(event->position().toPoint()))
        itemClicked(child);
}

// --- QPravikSlideSimple ------------------------------------------------------

QPravikSlideSimple::QPravikSlideSimple(QWidget* parent)
    : QScrollArea(parent)
{
    setUpArea(this, false);
    contentWidget = new QWidget;
    setWidget(contentWidget);
}

void QPravikSlideSimple::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    dragY = -1;
}

void QPravikSlideSimple::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    dragTo(this, event->position().toPoint().y());
}

void QPravikSlideSimple::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    dragY = -1;
}

// --- QPravikSlideScroll ------------------------------------------------------

QPravikSlideScroll::QPravikSlideScroll(QWidget* parent)
    : QScrollBar(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

int QPravikSlideScroll::handleTop(int barHeight) const
{
    const qint64 range = qint64(maximum()) - minimum();
    if (range <= 0)
        return -1;
    const qint64 length = barHeight / 5;
    const qint64 offset = qBound<qint64>(0, qint64(value()) - minimum(), range);
    return int((barHeight - length - 1) * offset / range);
}

void QPravikSlideScroll::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.eraseRect(0, 0, width(), height());
    const int top = handleTop(height());
    if (top < 0)
        return;
    const int half = width() / 2;
    p.fillRect(half, top, half, height() / 5, handleColor);
}

// --- QPravikSlideStyle -------------------------------------------------------

QPravikSlideStyle* QPravikSlideStyle::shared()
{
    // Every list of every menu page uses this one; the application frees it.
    static QPointer<QPravikSlideStyle> instance;
    if (!instance) {
        instance = new QPravikSlideStyle;
        instance->setParent(QCoreApplication::instance());
    }
    return instance;
}

int QPravikSlideStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    if (metric == PM_ScrollBarExtent)
        return 10;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QSize QPravikSlideStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                          const QWidget* widget) const
{
    if (type == CT_ScrollBar)
        return size;
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}
