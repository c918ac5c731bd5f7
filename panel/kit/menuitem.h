#pragma once

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QList>
#include <QString>
#include <QWidget>

#include "panel/kit/rowlabel.h"

class QGridLayout;
class QPravikMenuEntries;
class QPravikMenuItems;
class QPravikSwitch;
class QPravikWheel;

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
