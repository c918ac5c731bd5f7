#pragma once

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QList>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QGridLayout;
class QPravikMenuEntries;
class QPravikMenuItems;
class QPravikSwitch;
class QPravikWheel;
class QTextLayout;

// Shared by the menu kit's rows, pages and popups.
namespace menukit {

void setTextColour(QWidget* w, const QColor& colour);
QFrame* line(QFrame::Shape shape, QWidget* parent);

// Rows and pages are found by their exact class: a subclass does not match.
template <class T>
T* exactClass(QWidget* w)
{
    return w && w->metaObject() == &T::staticMetaObject ? static_cast<T*>(w) : nullptr;
}

} // namespace menukit

// One row of the settings menu: a root entry or a menu item.
class QPravikMenuBase : public QWidget
{
    Q_OBJECT
public:
    QPravikMenuBase(int id, QWidget* parent = nullptr);

    QString titleText() const;

    int id;
    QGridLayout* gridLayout = nullptr;
    QLabel* titleLabel = nullptr; // built by the subclass
};

// A line of the root column: an icon and a title.
class QPravikMenuEntry : public QPravikMenuBase
{
    Q_OBJECT
public:
    enum State { Normal = 0, Current = 1, Disabled = 2 };

    // The parent is the entry column the entry is meant for.
    QPravikMenuEntry(int id, QWidget* parent = nullptr);

    void setState(int state);

    int state = Normal;
    QPravikMenuEntries* owner = nullptr;
    QLabel* iconLabel = nullptr;
};

// A label of a menu row. It gives the sizes and the pixels a QLabel gives,
// but lays its text out once per width and keeps what it measured: QLabel
// lays a wrapped text out five times for its size hints, again for every
// height a layout pass asks, and again at every paint, and a page of a
// hundred rows asks many. Each new width shapes the text again, as Qt's
// layout starts afresh; a width asked again, or a paint at the width last
// laid out, lays nothing out. A text that fits on one line is not measured
// again for each width. Labels it cannot size or draw the same way (rich text,
// pictures, margins, frames, tabs, right-to-left text) are left to QLabel.
class QPravikRowLabel : public QLabel
{
public:
    explicit QPravikRowLabel(QWidget* parent = nullptr);
    ~QPravikRowLabel() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
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
};

// Shows one asterisk per character of a secret. The secret is kept apart:
// the label's text and accessible name never hold it, so neither other
// programs (screen readers, UI automation) nor a grab can read it.
class QPwdLabel : public QPravikRowLabel
{
    Q_OBJECT
public:
    explicit QPwdLabel(QWidget* parent = nullptr);

    void setSecret(const QString& secret);
    const QString& secret() const { return hidden; }

private:
    QString hidden;
};

// A line of a menu page: a title, a value below it and, by type, a control
// at the right. Also holds the choices that a choice list, a switch or a
// wheel selects from.
class QPravikMenuItem : public QPravikMenuBase
{
    Q_OBJECT
public:
    enum Type {
        SectionHeader = 0,
        ReadOnly = 1,
        Switch = 2,
        Text = 3,
        Password = 4,
        Number = 5,
        Pin = 6,
        ChoiceList = 7,
        SubMenu = 8,
        WheelOnRelease = 9,
        WheelEveryStep = 10,
        Action = 11
    };

    struct Choice {
        int value;
        QString text;
    };

    QPravikMenuItem(int id, int type, QPravikMenuItems* page);
    QPravikMenuItem(int id, int parentId, int type, QPravikMenuItems* page);

    // Choices. A lookup that finds nothing gives -1 when strict, else the
    // first choice; an empty list always gives -1.
    void addChoice(int value, const QString& text);
    void clearChoices();
    int indexOfValue(int value, bool strict) const;
    int indexOfText(const QString& text, bool strict) const;
    int setCurrentValue(int value, bool showText, bool strict);
    int setCurrentText(const QString& text, bool showText, bool strict);
    int choiceCount() const { return choices.size(); }
    int currentValue() const; // -1 without a current choice

    // Value text; a choice list follows the shown text with its current index.
    QString valueText() const;
    void setValueText(const QString& text, bool strict);
    void setValueTextColor(const QString& text, const QColor& colour, bool strict);
    void setValueTextGlobalColor(const QString& text, Qt::GlobalColor colour, bool strict);

    // A locked item is grey and ignores clicks.
    void setLocked(bool locked);
    void applyLocked(bool locked, const QColor& colour);

    void setChecked(bool on);
    void refreshSwitchText();
    void refreshControl();

    QPravikMenuItems* page;
    int type;
    bool locked = false;
    int parentId;
    int currentIndex = -1;
    QLabel* valueLabel = nullptr; // QPwdLabel for passwords and PINs; none for section headers
    QLabel* iconLabel = nullptr;
    QPravikSwitch* switchButton = nullptr;
    QPravikWheel* wheel = nullptr;
    QList<Choice> choices;

public slots:
    void switchClicked();
    void wheelChanged(int index);
    void wheelToggled(bool checked);

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool isWheel() const { return type == WheelOnRelease || type == WheelEveryStep; }
    bool hasChoice(int index) const { return index >= 0 && index < choices.size(); }
    // A switch of two or more choices showing a text of none of them, with no
    // current choice: it keeps both until flipped or set.
    bool showsOtherValue() const;
    void showChoice(int index);
    void notifyChanged();

    // Where the wheel was when pressed into editing, and the text shown then.
    int pressedAt = -1;
    QString shownAtPress;
};
