#pragma once

#include <QFont>
#include <QLabel>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

class QTextLayout;

// A label of a menu row. It gives the sizes and the pixels a QLabel gives,
// but lays its text out once per width and keeps what it measured: QLabel
// lays a wrapped text out five times for its size hints, again for every
// height a layout pass asks, and again at every paint, and a page of a
// hundred rows asks many. Each new width shapes the text again, as Qt's
// layout starts afresh; a width asked again, or a paint at the width last
// laid out, lays nothing out. A text that fits on one line is not measured
// again for each width. Labels it cannot size or draw the same way (rich text,
// pictures, margins, frames, tabs, right-to-left text) are left to QLabel.
//
// An elided label (texts of the unit) keeps to the room it is given: it asks
// for no more width than an ellipsis, and a text too large for its box is
// drawn as fitText draws it. Its text stays as it was set.
class QPravikRowLabel : public QLabel
{
public:
    explicit QPravikRowLabel(QWidget* parent = nullptr);
    ~QPravikRowLabel() override;

    void setElided(bool on);
    bool isElided() const { return elided; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool paintFitted();
    bool plainText() const;
    QSize sizeForWidth(int width) const;
    QRect textRect(int width) const;
    bool layoutReady() const;
    QRect boundingRect(int width, int flags) const;
    void layOutLines(qreal lineWidth) const;
    QRectF linesBox(const QRectF& rect, int flags, bool painting, int& lines) const;

    // What the measurements below were taken of.
    mutable QString measuredText;
    mutable QFont measuredFont;
    mutable int measuredFlags = -1;
    mutable QRect oneLine; // at any width that leaves room for it; null until measured
    mutable int roomNeeded = 0;
    mutable std::vector<std::pair<int, QRect>> byWidth; // the last few narrower widths
    // The measured text in the measured font, null when it is not laid out
    // here; and the width of the lines it was last laid out in.
    mutable std::unique_ptr<QTextLayout> textLayout;
    mutable qreal linesWidth = -1;
    bool elided = false;
};

// A plain-text, elided label: for texts that may come from the unit (names,
// numbers, SSIDs), never markup and never wider than the room it is given.
QPravikRowLabel* elidedLabel(QWidget* parent);
