#include "panel/kit/menuitem.h"

#include <QGridLayout>
#include <QShowEvent>

#include "panel/kit/controls.h"
#include "panel/kit/look.h"
#include "panel/kit/menuwidget.h"

namespace {

using menukit::setTextColour;

const QColor valueBlue(0, 162, 232);
const QColor lockedGrey(127, 127, 127);

QFont pixelFont(const QWidget* w, int pixelSize)
{
    QFont f = w->font();
    f.setPixelSize(pixelSize);
    return f;
}

QLabel* makeIcon(QWidget* parent, const QString& resource)
{
    auto* label = new QLabel(parent);
    label->setFixedSize(34, 34);
    label->setScaledContents(true);
    setPixmapWhenDrawn(label, resource);
    return label;
}

} // namespace

void menukit::setTextColour(QWidget* w, const QColor& colour)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    w->setPalette(pal);
}

QFrame* menukit::line(QFrame::Shape shape, QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setFrameShape(shape);
    frame->setFrameShadow(QFrame::Plain);
    return frame;
}

// --- QPravikMenuBase ---------------------------------------------------------

QPravikMenuBase::QPravikMenuBase(int id, QWidget* parent)
    : QWidget(parent)
    , id(id)
    , gridLayout(new QGridLayout(this))
{
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setSpacing(0);
}

QString QPravikMenuBase::titleText() const
{
    return titleLabel ? titleLabel->text() : QString();
}

// --- QPravikMenuEntry --------------------------------------------------------

QPravikMenuEntry::QPravikMenuEntry(int id, QWidget* parent)
    : QPravikMenuBase(id, parent)
    , owner(qobject_cast<QPravikMenuEntries*>(parent))
{
    gridLayout->setColumnStretch(0, 0);
    gridLayout->setColumnStretch(1, 1);

    iconLabel = new QLabel(this);
    iconLabel->setMargin(5);
    iconLabel->setFixedSize(60, 60);
    iconLabel->setScaledContents(true);
    gridLayout->addWidget(iconLabel, 0, 0);

    titleLabel = elidedLabel(this);
    titleLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    titleLabel->setFont(pixelFont(this, 22));
    setTextColour(titleLabel, Qt::white);
    gridLayout->addWidget(titleLabel, 0, 1);

    gridLayout->addWidget(menukit::line(QFrame::HLine, this), 1, 0, 1, 2);
}

void QPravikMenuEntry::setState(int newState)
{
    if (newState == state)
        return;
    state = newState;
    setTextColour(titleLabel, state == Current ? valueBlue : state == Disabled ? lockedGrey : QColor(Qt::white));
}

// --- QPwdLabel ---------------------------------------------------------------

QPwdLabel::QPwdLabel(QWidget* parent)
    : QPravikRowLabel(parent)
{
    setElided(true);
    setAccessibleName(tr("Hidden value"));
}

void QPwdLabel::setSecret(const QString& secret)
{
    hidden = secret;
    setText(QString(secret.size(), QLatin1Char('*')));
}

// --- QPravikMenuItem ---------------------------------------------------------

QPravikMenuItem::QPravikMenuItem(int id, int type, QPravikMenuItems* page)
    : QPravikMenuItem(id, -1, type, page)
{
}

QPravikMenuItem::QPravikMenuItem(int id, int parentId, int type, QPravikMenuItems* page)
    : QPravikMenuBase(id, page)
    , page(page)
    , type(type)
    , parentId(parentId)
{
    gridLayout->setColumnStretch(0, 1);
    gridLayout->setColumnStretch(1, 0);

    titleLabel = elidedLabel(this);
    titleLabel->setFixedHeight(32);
    titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    titleLabel->setFont(pixelFont(this, 22));
    setTextColour(titleLabel, Qt::white);
    gridLayout->addWidget(titleLabel, 0, 0);

    if (type != SectionHeader) {
        valueLabel = (type == Password || type == Pin) ? new QPwdLabel(this) : elidedLabel(this);
        valueLabel->setTextFormat(Qt::PlainText);
        valueLabel->setMinimumHeight(26);
        valueLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        valueLabel->setWordWrap(true);
        valueLabel->setFont(pixelFont(this, 18));
        setTextColour(valueLabel, valueBlue);
        gridLayout->addWidget(valueLabel, 1, 0);
    }

    QWidget* control = nullptr;
    switch (type) {
    case Switch:
        switchButton = new QPravikSwitch(this);
        switchButton->setFixedSize(60, 34);
        switchButton->setCheckable(true);
        connect(switchButton, &QPravikSwitch::clicked, this, &QPravikMenuItem::switchClicked);
        control = switchButton;
        break;
    case SubMenu:
        control = iconLabel = makeIcon(this, QStringLiteral(":/images/navright.png"));
        break;
    case Action:
        control = iconLabel = makeIcon(this, QStringLiteral(":/images/action.png"));
        break;
    case WheelOnRelease:
    case WheelEveryStep:
        wheel = new QPravikWheel(this);
        wheel->setFixedSize(58, 58);
        wheel->setFont(pixelFont(this, 18));
        connect(wheel, &QPravikWheel::valueChanged, this, &QPravikMenuItem::wheelChanged);
        connect(wheel, &QPravikWheel::toggled, this, &QPravikMenuItem::wheelToggled);
        control = wheel;
        break;
    default:
        break;
    }
    if (control)
        gridLayout->addWidget(control, 0, 1, 2, 1);

    gridLayout->addWidget(menukit::line(QFrame::HLine, this), 2, 0, 1, 2);
}

void QPravikMenuItem::addChoice(int value, const QString& text)
{
    choices.append({value, text});
}

void QPravikMenuItem::clearChoices()
{
    currentIndex = -1;
    choices.clear();
}

int QPravikMenuItem::indexOfValue(int value, bool strict) const
{
    if (choices.isEmpty())
        return -1;
    for (int i = 0; i < choices.size(); ++i)
        if (choices.at(i).value == value)
            return i;
    return strict ? -1 : 0;
}

int QPravikMenuItem::indexOfText(const QString& text, bool strict) const
{
    if (choices.isEmpty())
        return -1;
    for (int i = 0; i < choices.size(); ++i)
        if (choices.at(i).text == text)
            return i;
    return strict ? -1 : 0;
}

int QPravikMenuItem::setCurrentValue(int value, bool showText, bool strict)
{
    currentIndex = indexOfValue(value, strict);
    if (currentIndex >= 0 && showText)
        showChoice(currentIndex);
    if (currentIndex >= 0 && isWheel() && isVisible())
        refreshControl();
    return currentIndex;
}

int QPravikMenuItem::setCurrentText(const QString& text, bool showText, bool strict)
{
    currentIndex = indexOfText(text, strict);
    if (currentIndex >= 0 && showText)
        showChoice(currentIndex);
    if (currentIndex >= 0 && isWheel() && isVisible())
        refreshControl();
    return currentIndex;
}

int QPravikMenuItem::currentValue() const
{
    return hasChoice(currentIndex) ? choices.at(currentIndex).value : -1;
}

QString QPravikMenuItem::valueText() const
{
    if (const auto* secret = qobject_cast<const QPwdLabel*>(valueLabel))
        return secret->secret();
    return valueLabel ? valueLabel->text() : QString();
}

void QPravikMenuItem::setValueText(const QString& text, bool strict)
{
    setValueTextColor(text, QColor(), strict);
}

void QPravikMenuItem::setValueTextColor(const QString& text, const QColor& colour, bool strict)
{
    if (!valueLabel)
        return;
    if (auto* secret = qobject_cast<QPwdLabel*>(valueLabel))
        secret->setSecret(text);
    else
        valueLabel->setText(text);
    if (colour.isValid() && valueLabel->palette().color(QPalette::WindowText) != colour)
        setTextColour(valueLabel, colour);
    if (type == ChoiceList)
        setCurrentText(text, false, strict);
}

void QPravikMenuItem::setValueTextGlobalColor(const QString& text, Qt::GlobalColor colour, bool strict)
{
    setValueTextColor(text, QColor(colour), strict);
}

void QPravikMenuItem::setLocked(bool lock)
{
    applyLocked(lock, lock ? lockedGrey : valueBlue);
}

void QPravikMenuItem::applyLocked(bool lock, const QColor& colour)
{
    if (valueLabel && colour.isValid() && valueLabel->palette().color(QPalette::WindowText) != colour)
        setTextColour(valueLabel, colour);
    if (lock == locked)
        return;
    locked = lock;
    if (switchButton)
        switchButton->setEnabled(!locked);
    refreshControl();
}

void QPravikMenuItem::setChecked(bool on)
{
    if (!switchButton)
        return;
    switchButton->setChecked(on);
    refreshSwitchText();
}

void QPravikMenuItem::refreshSwitchText()
{
    if (!valueLabel)
        return;
    const bool on = switchButton && switchButton->isChecked();
    if (choices.size() < 2) {
        valueLabel->setText(on ? tr("Active") : tr("Disabled"));
        return;
    }
    currentIndex = on ? 1 : 0;
    showChoice(currentIndex);
}

void QPravikMenuItem::refreshControl()
{
    if (type == Switch) {
        // A value of neither choice is the unit's own: showing or locking the
        // item must not turn it into the choice the switch happens to rest on.
        if (!showsOtherValue())
            refreshSwitchText();
        return;
    }
    if (!wheel)
        return;
    // A wheel committed on release throws away a turn that was never released.
    wheel->revertOnLeave = type == WheelOnRelease;
    if (choices.isEmpty()) {
        wheel->setCheckable(false);
    } else {
        wheel->setCheckable(!locked);
        wheel->setMaximum(choices.size() - 1);
        const int shown = indexOfText(valueText(), true);
        if (shown >= 0)
            wheel->setValue(shown);
    }
    wheel->update();
}

void QPravikMenuItem::switchClicked()
{
    refreshSwitchText();
    notifyChanged();
}

// The list may have shrunk since the wheel's maximum was set: an index
// outside it is ignored.
void QPravikMenuItem::wheelChanged(int index)
{
    if (!hasChoice(index))
        return;
    showChoice(index);
    if (type == WheelEveryStep) {
        currentIndex = index;
        notifyChanged();
    }
}

void QPravikMenuItem::wheelToggled(bool checked)
{
    if (!valueLabel)
        return;
    if (type == WheelOnRelease)
        setTextColour(valueLabel, checked ? QColor(Qt::red) : valueBlue);
    if (checked && wheel) {
        pressedAt = wheel->value();
        shownAtPress = valueLabel->text();
    }
    if (checked || !page || !wheel)
        return;
    const int index = wheel->value();
    if (!hasChoice(index))
        return;
    // Let go where it was taken (or turned back there on leaving): a value of
    // no choice, the unit's own, stays; the wheel's resting place is no pick.
    if (!hasChoice(currentIndex) && index == pressedAt) {
        valueLabel->setText(shownAtPress);
        return;
    }
    const int previous = currentIndex;
    currentIndex = index;
    showChoice(index);
    wheel->setValue(index);
    if (type == WheelEveryStep || index != previous)
        notifyChanged();
}

void QPravikMenuItem::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        refreshControl();
    QPravikMenuBase::showEvent(event);
}

bool QPravikMenuItem::showsOtherValue() const
{
    return choices.size() >= 2 && !hasChoice(currentIndex) && valueLabel && !valueLabel->text().isEmpty()
           && indexOfText(valueLabel->text(), true) < 0;
}

void QPravikMenuItem::showChoice(int index)
{
    if (valueLabel && hasChoice(index))
        valueLabel->setText(choices.at(index).text);
}

void QPravikMenuItem::notifyChanged()
{
    if (page)
        page->notifyItemChanged(this);
}
