#include "panel/kit/look.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHash>
#include <QIcon>
#include <QIconEngine>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QTextLayout>
#include <QWidget>

namespace {

// The image of a resource, decoded once: a page may show a hundred labels of
// the same image, and finding it again by name costs more than showing it.
// Kept to the end of the process, as QPixmap's own cache would keep it.
QPixmap decodedImage(const QString& resource)
{
    static auto* decoded = new QHash<QString, QPixmap>;
    auto it = decoded->constFind(resource);
    if (it == decoded->cend())
        it = decoded->insert(resource, QPixmap(resource));
    return *it;
}

class PixmapOnFirstPaint : public QObject
{
public:
    PixmapOnFirstPaint(QLabel* label, const QString& resource)
        : QObject(label), resource(resource), label(label)
    {
        setObjectName(QStringLiteral("pixmapOnFirstPaint"));
        label->installEventFilter(this);
    }

    QString resource;

protected:
    // Set when the label is shown, before its first paint: set while it
    // paints, the image would have it painted a second time.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == label && (event->type() == QEvent::Show || event->type() == QEvent::Paint)) {
            label->removeEventFilter(this);
            if (label->pixmap().isNull())
                label->setPixmap(decodedImage(resource));
            // At once, not later: a long page shows a hundred icons, and a
            // deferred deletion posts an event for each.
            delete this;
        }
        return false;
    }

private:
    QLabel* label;
};

// Hands everything to the icon of the decoded image, made on first use.
// Icons of one image share its one decoded copy.
class IconOnFirstUse : public QIconEngine
{
public:
    explicit IconOnFirstUse(const QString& resource) : resource(resource) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new IconOnFirstUse(resource); }
    QString key() const override { return QStringLiteral("IconOnFirstUse"); }

private:
    const QIcon& icon()
    {
        if (decoded.isNull())
            decoded = QIcon(decodedImage(resource));
        return decoded;
    }

    QString resource;
    QIcon decoded;
};

} // namespace

QIcon iconWhenDrawn(const QString& resource)
{
    return QIcon(new IconOnFirstUse(resource));
}

void setPixmapWhenDrawn(QLabel* label, const QString& resource)
{
    // A second image before the first paint replaces the first.
    auto* pending = static_cast<PixmapOnFirstPaint*>(
        label->findChild<QObject*>(QStringLiteral("pixmapOnFirstPaint"), Qt::FindDirectChildrenOnly));
    if (pending)
        pending->resource = resource;
    else
        new PixmapOnFirstPaint(label, resource);
}

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

QString fitText(const QString& text, const QFont& font, const QSize& box, bool wrap)
{
    const QFontMetrics metrics(font);
    const int width = qMax(0, box.width());
    const int rows = qMax(1, (box.height() + metrics.leading()) / qMax(1, metrics.lineSpacing()));
    const QString ellipsis(QChar(0x2026));
    QStringList lines;
    bool more = false; // text follows the last line kept
    const QStringList paragraphs = text.split(u'\n');
    for (qsizetype p = 0; p < paragraphs.size() && !more; ++p) {
        const QString& paragraph = paragraphs.at(p);
        QList<int> starts{0};
        if (wrap && !paragraph.isEmpty()) {
            starts.clear();
            QTextLayout layout(paragraph, font);
            QTextOption option;
            option.setWrapMode(QTextOption::WordWrap);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
                starts << line.textStart();
            }
            layout.endLayout();
        }
        for (qsizetype i = 0; i < starts.size(); ++i) {
            if (lines.size() == rows) {
                more = true;
                break;
            }
            // The last line there is room for takes the rest of its paragraph.
            const bool last = lines.size() == rows - 1 || i + 1 == starts.size();
            QString line = last ? paragraph.mid(starts.at(i)) : paragraph.mid(starts.at(i), starts.at(i + 1) - starts.at(i));
            while (line.endsWith(u' '))
                line.chop(1);
            lines << metrics.elidedText(line, Qt::ElideRight, width);
            if (lines.size() == rows && i + 1 < starts.size())
                break; // the rest of the paragraph went into that line
        }
        if (lines.size() == rows && p + 1 < paragraphs.size())
            more = true;
    }
    if (more && !lines.last().endsWith(ellipsis))
        lines.last() = metrics.elidedText(lines.last() + ellipsis, Qt::ElideRight, width);
    return lines.join(u'\n');
}
