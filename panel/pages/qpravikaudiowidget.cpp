#include "panel/pages/qpravikaudiowidget.h"

#include <QIcon>
#include <QLabel>
#include <QSignalBlocker>

#include "audio/tmatrixsettings.h"
#include "model/tcomdevice.h"
#include "panel/kit/controls.h"
#include "panel/kit/look.h"
#include "panel/kit/virtualkeyboard.h"

QPravikAudioWidget::QPravikAudioWidget(QWidget* parent)
    : QWidget(parent)
    , homeButton(new QPravikButton(this))
{
    statusPanel = new QPravikStatusPanel(1, this);
    statusPanel->move(132, 7);
    statusPanel->setProgramMode(1, 0);

    homeButton->setGeometry(10, 7, 107, 72);
    homeButton->borderWidth = 4;
    setLampColours(homeButton, Qt::white, Qt::black);
    homeButton->setIcon(iconWhenDrawn(QStringLiteral(":/images/home.png")));
    connect(homeButton, &QAbstractButton::clicked, this, &QPravikAudioWidget::pageClicked);

    // The overview page has neither name buttons nor switches: these do nothing there.
    TMatrixSettings* matrix = frontPanelMatrixSettings();
    connect(matrix, &TComController::controllerStateChanged, this, &QPravikAudioWidget::matrixStateChanged);
    connect(matrix, &TMatrixSettings::inputNameChanged, this, &QPravikAudioWidget::matrixInputNameChanged);
    connect(matrix, &TMatrixSettings::nodeChanged, this, &QPravikAudioWidget::matrixNodeChanged);
}

void QPravikAudioWidget::pageClicked()
{
    emit pageActivated(QPravik::PageMain);
}

std::uint32_t QPravikAudioWidget::deviceOptions()
{
    return frontPanelDevice()->deviceOptions();
}

bool QPravikAudioWidget::extendedMode()
{
    return frontPanelDevice()->operationMode() != 0;
}

// A palette that sets only the text colour leaves the rest to the parent; an
// empty one gives the widget the page's palette back.
void QPravikAudioWidget::setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette;
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void QPravikAudioWidget::setGrey(QWidget* widget, bool grey)
{
    if (grey)
        setTextColour(widget, QColor(127, 127, 127));
    else
        widget->setPalette(QPalette());
}

void QPravikAudioWidget::showValue(QPravikKnob* knob, int value)
{
    const QSignalBlocker blocker(knob);
    knob->setValue(value);
}

void QPravikAudioWidget::showChecked(QAbstractButton* button, bool checked)
{
    const QSignalBlocker blocker(button);
    button->setChecked(checked);
}

QLabel* QPravikAudioWidget::makeLabel(const QRect& geometry, const QString& text, int pixels,
                                      Qt::Alignment alignment, QWidget* parent)
{
    auto* label = new QLabel(text, parent ? parent : this);
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment);
    setPixelSize(label, pixels);
    return label;
}

QPravikButton* QPravikAudioWidget::makePageButton(const QRect& geometry, const QString& text,
                                                   QPravik::Page target)
{
    auto* button = new QPravikButton(this);
    button->setGeometry(geometry);
    button->borderWidth = 4;
    button->setText(text);
    setLampColours(button, Qt::white, Qt::black);
    connect(button, &QAbstractButton::clicked, this, [this, target] { emit pageActivated(target); });
    return button;
}

void QPravikAudioWidget::createTabBar(QPravik::Page own)
{
    const struct
    {
        QPravik::Page page;
        int x;
        const char* text;
    } tabs[] = {
        {QPravik::PageAudioInput, 230, QT_TR_NOOP("Input\nSettings")},
        {QPravik::PageAudioAuxiliary, 351, QT_TR_NOOP("Aux\nSettings")},
        {QPravik::PageAudioOutput, 472, QT_TR_NOOP("Output\nSettings")},
    };
    for (const auto& tab : tabs) {
        const QRect geometry(tab.x, 407, 98, 66);
        QPravikButton* button;
        if (tab.page == own) {
            button = new QPravikButton(this);
            button->setGeometry(geometry);
            button->borderWidth = 4;
            button->setText(tr(tab.text));
            setLampColours(button, QBrush(Qt::white, Qt::NoBrush), Qt::white);
        } else {
            button = makePageButton(geometry, tr(tab.text), tab.page);
        }
        setPixelSize(button, 14);
    }
    QPravikButton* back = makePageButton(QRect(692, 407, 98, 66), QString(), QPravik::PageAudio);
    back->setIcon(iconWhenDrawn(QStringLiteral(":/images/back.png")));
}

QPravikButton* QPravikAudioWidget::makeInputButton(int input, const QRect& geometry)
{
    auto* button = new QPravikButton(this);
    button->setGeometry(geometry);
    setLampColours(button, Qt::gray, Qt::white);
    setPixelSize(button, 14);
    connect(button, &QAbstractButton::clicked, this, &QPravikAudioWidget::buttonClicked);
    nameButtons.append({button, input});
    readInputName(nameButtons.last());
    return button;
}

QPravikSwitch* QPravikAudioWidget::makeRouteSwitch(int input, int output, int x, int y, QWidget* parent)
{
    auto* button = new QPravikSwitch(parent ? parent : this);
    button->setGeometry(x, y, 60, 34);
    button->setCheckable(true);
    connect(button, &QAbstractButton::clicked, this, &QPravikAudioWidget::routeClicked);
    routes.append({button, input, output, true});
    showChecked(button, frontPanelMatrixSettings()->isNodeOn(input, output));
    gateRoute(routes.last());
    return button;
}

void QPravikAudioWidget::setRouteCell(QPravikSwitch* button, int input, int output)
{
    for (Route& route : routes) {
        if (route.button == button) {
            route.input = input;
            route.output = output;
            showChecked(button, frontPanelMatrixSettings()->isNodeOn(input, output));
            gateRoute(route);
        }
    }
}

void QPravikAudioWidget::offerRoute(QPravikSwitch* button, bool offered)
{
    for (Route& route : routes) {
        if (route.button == button) {
            route.offered = offered;
            gateRoute(route);
        }
    }
}

void QPravikAudioWidget::gateRoute(const Route& route)
{
    route.button->setEnabled(route.offered && frontPanelMatrixSettings()->takesNode(route.input, route.output));
}

void QPravikAudioWidget::gateRoutes()
{
    for (const Route& route : std::as_const(routes))
        gateRoute(route);
}

void QPravikAudioWidget::readInputName(const NameButton& name)
{
    name.button->setText(frontPanelMatrixSettings()->inputLabel(name.input));
}

void QPravikAudioWidget::readMatrixControls()
{
    for (const NameButton& name : std::as_const(nameButtons))
        readInputName(name);
    const TMatrixSettings* matrix = frontPanelMatrixSettings();
    for (const Route& route : std::as_const(routes)) {
        showChecked(route.button, matrix->isNodeOn(route.input, route.output));
        gateRoute(route);
    }
}

void QPravikAudioWidget::showEvent(QShowEvent* event)
{
    for (const NameButton& name : std::as_const(nameButtons))
        readInputName(name);
    QWidget::showEvent(event);
}

void QPravikAudioWidget::buttonClicked()
{
    auto* button = qobject_cast<QPravikButton*>(sender());
    if (!button)
        return;
    auto* keyboard = new QPravikVirtual(1, this);
    keyboard->setWindowModality(Qt::ApplicationModal);
    keyboard->move(mapToGlobal(QPoint(0, 0))
                   + QPoint((width() - keyboard->width()) / 2, height() - keyboard->height()));
    keyboard->item = button;
    const QStringList parts = button->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!parts.isEmpty())
        keyboard->titleLabel.setText(parts.first());
    if (parts.size() == 2)
        keyboard->lineEdit.setText(parts.at(1));
    connect(keyboard, &QPravikPopup::popupClosed, this, &QPravikAudioWidget::popupClosed);
    keyboard->show();
}

void QPravikAudioWidget::popupClosed()
{
    auto* keyboard = qobject_cast<QPravikVirtual*>(sender());
    if (!keyboard || keyboard->cancelled)
        return;
    for (const NameButton& name : std::as_const(nameButtons)) {
        if (name.button == keyboard->item) {
            const NameButton renamed = name;
            settleWrite(this, frontPanelMatrixSettings()->setInputName(renamed.input, keyboard->lineEdit.text()),
                        [this, renamed] { readInputName(renamed); });
            return;
        }
    }
}

void QPravikAudioWidget::routeClicked()
{
    for (const Route& route : std::as_const(routes)) {
        if (route.button == sender()) {
            // Qt clears the checked state of a switch made not checkable:
            // its click would switch off a route the page cannot show.
            if (!route.button->isCheckable())
                return;
            const Route clicked = route;
            TMatrixSettings* matrix = frontPanelMatrixSettings();
            settleWrite(this, matrix->setNode(clicked.input, clicked.output, clicked.button->isChecked()),
                        [clicked, matrix] {
                            showChecked(clicked.button, matrix->isNodeOn(clicked.input, clicked.output));
                        });
            return;
        }
    }
}

void QPravikAudioWidget::matrixStateChanged(TComController* controller)
{
    if (controller->state() == TComController::Ready)
        readMatrixControls();
}

void QPravikAudioWidget::matrixInputNameChanged(QPravik::Inputs input)
{
    for (const NameButton& name : std::as_const(nameButtons))
        if (name.input == input)
            readInputName(name);
}

void QPravikAudioWidget::matrixNodeChanged(QPravik::Inputs input, QPravik::Outputs output)
{
    const TMatrixSettings* matrix = frontPanelMatrixSettings();
    for (const Route& route : std::as_const(routes))
        if (route.input == input && route.output == output)
            showChecked(route.button, matrix->isNodeOn(input, output));
}
