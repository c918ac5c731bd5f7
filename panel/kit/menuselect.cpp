#include "panel/kit/menuselect.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

#include "panel/kit/controls.h"
#include "panel/kit/menuitem.h"

// --- QPravikMenuSelectable ---------------------------------------------------

QPravikMenuSelectable::QPravikMenuSelectable(int value, QWidget* parent)
    : QWidget(parent)
    , value(value)
    , layout(new QGridLayout(this))
{
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(15);
    layout->setColumnStretch(0, 0);
    layout->setColumnStretch(1, 1);

    switchButton = new QPravikSwitch(this);
    switchButton->setFixedSize(60, 34);
    switchButton->setCheckable(true);
    connect(switchButton, &QPravikSwitch::clicked, this, &QPravikMenuSelectable::switchClicked);
    layout->addWidget(switchButton, 0, 0);

    label = elidedLabel(this);
    label->setMinimumHeight(44);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setWordWrap(true);
    menukit::setTextColour(label, Qt::white);
    layout->addWidget(label, 0, 1);
    layout->addWidget(menukit::line(QFrame::HLine, this), 1, 0, 1, 2);
}

void QPravikMenuSelectable::switchClicked()
{
    if (owner)
        owner->setCurrent(this);
}

// --- QPravikMenuSelect -------------------------------------------------------

void QPravikMenuSelect::QMyPravikSlideWidget::itemClicked(QWidget* child)
{
    auto* row = menukit::exactClass<QPravikMenuSelectable>(child ? child->parentWidget() : nullptr);
    if (row && row->owner)
        row->owner->setCurrent(row);
}

QPravikMenuSelect::QPravikMenuSelect(QWidget* parent)
    : QPravikPopup(parent)
{
    setFixedSize(400, 340);
    const QPalette pal = applyPopupLook();
    QFont f = font();
    f.setPixelSize(18);
    setFont(f);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(0);

    messageLabel = new QLabel(this);
    messageLabel->setTextFormat(Qt::PlainText);
    messageLabel->hide();
    messageLabel->setWordWrap(true);
    messageLabel->setMargin(5);
    messageLabel->setAlignment(Qt::AlignHCenter);
    messageLabel->setFrameStyle(QFrame::Panel | QFrame::Plain);
    column->addWidget(messageLabel);

    list = new QMyPravikSlideWidget(this);
    column->addWidget(list, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(10, 10, 10, 0);
    buttons->setSpacing(20);
    QPalette buttonPalette = pal;
    buttonPalette.setColor(QPalette::Window, Qt::white);
    buttonPalette.setColor(QPalette::WindowText, Qt::black);
    auto button = [&](const QString& text) {
        auto* b = new QPravikButton(this);
        b->setText(text);
        b->setPalette(buttonPalette);
        b->setFixedHeight(60);
        buttons->addWidget(b);
        return b;
    };
    cancelButton = button(tr("Cancel"));
    connect(cancelButton, &QPravikButton::clicked, this, &QPravikMenuSelect::cancelClicked);
    okButton = button(tr("OK"));
    connect(okButton, &QPravikButton::clicked, this, &QPravikMenuSelect::okClicked);
    column->addLayout(buttons);
}

void QPravikMenuSelect::setMessage(const QString& text)
{
    messageLabel->setText(text);
    messageLabel->setVisible(!text.isEmpty());
}

void QPravikMenuSelect::addSelectable(QPravikMenuSelectable* row)
{
    if (row && !row->owner)
        appendSelectable(row);
}

void QPravikMenuSelect::appendSelectable(QPravikMenuSelectable* row)
{
    list->contentLayout->addWidget(row);
    row->owner = this;
}

void QPravikMenuSelect::setCurrent(QPravikMenuSelectable* row)
{
    if (row == currentRow)
        return;
    if (currentRow) {
        currentRow->switchButton->setChecked(false);
        currentRow->switchButton->setEnabled(true);
    }
    // The current row's switch cannot be turned off by hand.
    if (row && row->owner == this) {
        currentRow = row;
        row->switchButton->setChecked(true);
        row->switchButton->setEnabled(false);
    }
}

QPravikMenuSelectable* QPravikMenuSelect::findSelectable(int value) const
{
    QVBoxLayout* rows = list->contentLayout;
    for (int i = 0; i < rows->count(); ++i) {
        auto* row = menukit::exactClass<QPravikMenuSelectable>(rows->itemAt(i)->widget());
        if (row && row->value == value)
            return row;
    }
    return nullptr;
}

void QPravikMenuSelect::okClicked()
{
    if (currentRow)
        cancelled = 0;
    hide();
    close();
}

void QPravikMenuSelect::cancelClicked()
{
    hide();
    close();
}

void QPravikMenuSelect::showEvent(QShowEvent* event)
{
    QPravikPopup::showEvent(event);
    if (!event->spontaneous() && currentRow)
        list->ensureWidgetVisible(currentRow, 50, 50);
}
