#include "panel/kit/connpanel.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "model/unitfirmware.h"
#include "panel/kit/controls.h"
#include "panel/kit/look.h"
#include "panel/kit/rowlabel.h"

namespace {

// The book button reaches a coordination line's profiles from firmware 1.17.0 on.
constexpr std::uint32_t coordBookFirmware = 0x110FF;

// Numbers, names and state texts of the unit: kept inside the panel.
QLabel* infoLabel(QWidget* parent, Qt::Alignment alignment, int pixels)
{
    QLabel* label = elidedLabel(parent);
    label->setAlignment(alignment);
    label->setWordWrap(true);
    setPixelSize(label, pixels);
    return label;
}

QPravikButton* iconButton(QWidget* parent, const QString& icon, const QRect& geometry)
{
    auto* button = new QPravikButton(parent);
    button->borderWidth = 4;
    setLampColours(button, Qt::white);
    button->setIcon(iconWhenDrawn(icon));
    button->setGeometry(geometry);
    return button;
}

} // namespace

// --- QPravikConnInfo ---------------------------------------------------------

QPravikConnInfo::QPravikConnInfo(QWidget* parent)
    : QWidget(parent)
{
    setLampColours(this, linkStateColour(0));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(0);
    titleLabel = infoLabel(this, Qt::AlignTop | Qt::AlignHCenter, 22);
    QFont bold = titleLabel->font();
    bold.setWeight(QFont::Bold);
    titleLabel->setFont(bold);
    titleLabel->setText(tr("Program"));
    noteLabel = infoLabel(this, Qt::AlignCenter, 14);
    textLabel = infoLabel(this, Qt::AlignCenter, 14);
    column->addWidget(titleLabel);
    column->addWidget(noteLabel);
    column->addWidget(textLabel);
}

void QPravikConnInfo::setState(int state)
{
    if (state == currentState)
        return;
    currentState = state;
    setLampColours(this, linkStateColour(state));
    update();
}

void QPravikConnInfo::setBorderWidth(int width)
{
    if (width < 1 || width == borderWidth)
        return;
    borderWidth = width;
    update();
}

void QPravikConnInfo::setCornerRadius(float radius)
{
    if (radius < 0 || radius == cornerRadius)
        return;
    cornerRadius = radius;
    update();
}

void QPravikConnInfo::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    emit clicked();
}

void QPravikConnInfo::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    paintFilledFrame(p, this, borderWidth, cornerRadius);

    if (currentState == 2)
        p.drawPixmap(QRect(5, 5, 50, 50), QPixmap(QStringLiteral(":/images/phone-call.png")));
    else if (currentState >= 3 && currentState <= 5)
        p.drawPixmap(QRect(5, 0, 50, 50), QPixmap(QStringLiteral(":/images/phone-hangup.png")));
}

// --- QPravikConnPanel --------------------------------------------------------

QPravikConnPanel::QPravikConnPanel(int line, QWidget* parent)
    : QWidget(parent)
    , line(line)
{
    setFixedSize(324, 312);

    stateLabel = infoLabel(this, Qt::AlignCenter, 14);
    QPalette palette = stateLabel->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    stateLabel->setPalette(palette);
    stateLabel->setAutoFillBackground(true);
    stateLabel->setText(tr("Idle"));
    stateLabel->setGeometry(0, 0, 324, 22);

    info = new QPravikConnInfo(this);
    info->setGeometry(0, 22, 324, 128);
    info->titleLabel->setText(line == 1 ? tr("Program") : tr("Coordination"));
    connect(info, &QPravikConnInfo::clicked, this, &QPravikConnPanel::panelClicked);

    bookButton = iconButton(this, QStringLiteral(":/images/book.png"), QRect(0, 165, 98, 66));
    historyButton = iconButton(this, QStringLiteral(":/images/call-history.png"), QRect(113, 165, 98, 66));
    dialButton = iconButton(this, QStringLiteral(":/images/dialpad.png"), QRect(226, 165, 98, 66));
    codingButton = iconButton(this, QStringLiteral(":/images/coding.png"), QRect(56, 246, 98, 66));
    connect(bookButton, &QPravikButton::clicked, this, &QPravikConnPanel::bookClicked);
    connect(historyButton, &QPravikButton::clicked, this, &QPravikConnPanel::histClicked);
    connect(dialButton, &QPravikButton::clicked, this, &QPravikConnPanel::dialClicked);
    connect(codingButton, &QPravikButton::clicked, this, &QPravikConnPanel::codingClicked);

    autoRedialLabel = infoLabel(this, Qt::AlignCenter, 14);
    autoRedialLabel->setWordWrap(false);
    autoRedialLabel->setText(tr("Auto redial"));
    autoRedialLabel->setGeometry(162, 246, 113, 32);
    autoRedialSwitch = new QPravikSwitch(this);
    autoRedialSwitch->setCheckable(true);
    autoRedialSwitch->setGeometry(188, 278, 60, 34);
    connect(autoRedialSwitch, &QPravikSwitch::clicked, this, &QPravikConnPanel::autoRedialClicked);
}

QString QPravikConnPanel::text(int index) const
{
    return index >= 0 && index < 3 ? texts[index] : QString();
}

void QPravikConnPanel::setText(const QString& text, int index)
{
    if (index >= 0 && index < 3)
        texts[index] = text;
    info->textLabel->setText(text);
}

void QPravikConnPanel::clear()
{
    for (QString& t : texts)
        t.clear();
    info->textLabel->clear();
    stateLabel->setText(tr("Idle"));
}

void QPravikConnPanel::setLinkState(int state)
{
    info->setState(state);
}

void QPravikConnPanel::setProgramMode(int flags, int operation)
{
    if (flags == modeFlags && operation == operationMode)
        return;
    modeFlags = flags;
    operationMode = operation;

    if (line == 1) {
        const bool stereoFlags = flags == 2 || flags == 4 || flags == 32 || flags == 64;
        info->titleLabel->setText(!stereoFlags ? tr("Program") : operation == 0 ? tr("Program / Coord") : tr("Prog. L/R"));
        return;
    }

    const bool exists = flags == 8 || flags == 16 || flags == 32 || flags == 64;
    const bool coding = flags == 16 || flags == 32;
    historyButton->setVisible(exists);
    dialButton->setVisible(exists);
    autoRedialLabel->setVisible(exists);
    autoRedialSwitch->setVisible(exists);
    codingButton->setVisible(coding);
    bookButton->setVisible(unitFirmwareVersion > coordBookFirmware ? exists : coding);
    info->titleLabel->setText(exists ? tr("Coordination") : QString());
    if (!exists) {
        info->noteLabel->setText(tr("No additional connection\nin single codec mode"));
        info->setState(0);
        info->textLabel->clear();
    }
}

void QPravikConnPanel::bookClicked()
{
    emit pageActivated(line == 1 ? QPravik::PageCallProfiles1 : QPravik::PageCallProfiles2);
}

void QPravikConnPanel::codingClicked()
{
    emit pageActivated(line == 1 ? QPravik::PageCodec1Menu : QPravik::PageCodec2Menu);
}
