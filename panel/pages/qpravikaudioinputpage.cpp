#include "panel/pages/qpravikaudioinputpage.h"

#include <QFrame>
#include <QLabel>

#include "panel/kit/controls.h"

namespace {

constexpr int rowY[4] = {132, 200, 268, 336};

// x of the switches that move with the operation mode.
struct Columns
{
    int limiter, micLine, filter, programLeft, programRight;
};
constexpr Columns standardColumns{268, 374, 480, 609, 715};
constexpr Columns extendedColumns{250, 338, 426, 539, 627};

TAudioSettings* audio()
{
    return frontPanelAudioSettings();
}

} // namespace

QPravikAudioInputPage::QPravikAudioInputPage(QWidget* parent)
    : QPravikAudioWidget(parent)
{
    setupWidgets();

    connect(frontPanelDevice(), &TComDevice::deviceStateChanged, this, &QPravikAudioInputPage::deviceStateChanged);
    TAudioSettings* settings = audio();
    connect(settings, &TComController::controllerStateChanged, this,
            &QPravikAudioInputPage::audioControllerStateChanged);
    connect(settings, &TAudioSettings::controllerParamChanged, this,
            &QPravikAudioInputPage::audioControllerParamChanged);
}

QPravikSwitch* QPravikAudioInputPage::makeSettingSwitch(int x, int y, TAudioSettings::CtlrParam param,
                                                        bool (TAudioSettings::*value)() const,
                                                        bool (TAudioSettings::*write)(bool, bool))
{
    auto* button = new QPravikSwitch(this);
    button->setGeometry(x, y, 60, 34);
    button->setCheckable(true);
    showChecked(button, (audio()->*value)());
    connect(button, &QAbstractButton::clicked, this, &QPravikAudioInputPage::switchClicked);
    settingSwitches.append({button, param, value, write});
    return button;
}

void QPravikAudioInputPage::setupWidgets()
{
    using A = TAudioSettings;
    const Columns& c = extendedColumns;
    for (int r = 0; r < 4; ++r) {
        Row& row = rows[r];
        const int y = rowY[r];
        row.name = makeInputButton(QPravik::InputMic1 + r, QRect(26, y - 9, 98, 52));
        if (r > 0) {
            for (int side = 0; side < 2; ++side) {
                auto* line = new QFrame(this);
                line->setFrameShape(QFrame::HLine);
                line->setFrameShadow(QFrame::Plain);
                line->setGeometry(side ? QRect(533, y - 17, 248, 1) : QRect(156, y - 17, 346, 1));
                row.separators[side] = line;
            }
        }
        switch (r) {
        case 0:
            row.phantom = makeSettingSwitch(162, y, A::Input1Power, &A::input1Power, &A::setInput1Power);
            row.limiter = makeSettingSwitch(c.limiter, y, A::Input1Limiter, &A::input1Limiter, &A::setInput1Limiter);
            break;
        case 1:
            row.phantom = makeSettingSwitch(162, y, A::Input2Power, &A::input2Power, &A::setInput2Power);
            row.limiter = makeSettingSwitch(c.limiter, y, A::Input2Limiter, &A::input2Limiter, &A::setInput2Limiter);
            break;
        case 2:
            row.phantom = makeSettingSwitch(162, y, A::Input3Power, &A::input3Power, &A::setInput3Power);
            row.limiter = makeSettingSwitch(c.limiter, y, A::Input3Limiter, &A::input3Limiter, &A::setInput3Limiter);
            row.micLine = makeSettingSwitch(c.micLine, y, A::Input3Pad, &A::input3Pad, &A::setInput3Pad);
            row.filter = makeSettingSwitch(c.filter, y, A::Input3Filter, &A::input3Filter, &A::setInput3Filter);
            break;
        default:
            row.limiter = makeSettingSwitch(c.limiter, y, A::Input4Limiter, &A::input4Limiter, &A::setInput4Limiter);
            row.micLine = makeSettingSwitch(c.micLine, y, A::Input4Pad, &A::input4Pad, &A::setInput4Pad);
            row.filter = makeSettingSwitch(c.filter, y, A::Input4Filter, &A::input4Filter, &A::setInput4Filter);
            break;
        }
        // Program right before Coord.: in standard mode Coord. covers it.
        row.programLeft = makeRouteSwitch(r, QPravik::OutputProgramLeft, c.programLeft, y);
        row.programRight = makeRouteSwitch(r, QPravik::OutputProgramRight, c.programRight, y);
        row.coord = makeRouteSwitch(r, QPravik::OutputCoord, 715, y);
    }

    const auto header = [this](int x, const QString& text) {
        return makeLabel(QRect(x, 90, 106, 40), text, 14, Qt::AlignHCenter | Qt::AlignTop);
    };
    header(139, tr("Phantom"));
    limiterHeader = header(227, tr("Limiter"));
    micLineHeader = header(315, tr("Mic/Line"));
    filterHeader = header(403, tr("80Hz\nFilter"));
    programLeftHeader = header(516, tr("Program\nLeft"));
    programRightHeader = header(604, tr("Program\nRight"));
    coordHeader = header(692, tr("Coord."));

    createTabBar(QPravik::PageAudioInput);
}

QList<QWidget*> QPravikAudioInputPage::rowWidgets(int row) const
{
    const Row& r = rows[row];
    QList<QWidget*> widgets{r.name};
    for (QWidget* w : {static_cast<QWidget*>(r.phantom), static_cast<QWidget*>(r.limiter),
                       static_cast<QWidget*>(r.micLine), static_cast<QWidget*>(r.filter),
                       static_cast<QWidget*>(r.programLeft), static_cast<QWidget*>(r.programRight),
                       static_cast<QWidget*>(r.coord)})
        if (w)
            widgets.append(w);
    return widgets;
}

bool QPravikAudioInputPage::hasInput4() const
{
    return !(deviceOptions() & ReducedHardware);
}

void QPravikAudioInputPage::refresh()
{
    for (QWidget* widget : rowWidgets(3))
        widget->show();
    gateRoutes();
}

void QPravikAudioInputPage::applyHardwareLayout()
{
    if (!hasInput4()) {
        for (QWidget* widget : rowWidgets(3))
            widget->hide();
    }
}

void QPravikAudioInputPage::applyOperationMode(int mode)
{
    const bool ext = mode != 0;
    const Columns& c = ext ? extendedColumns : standardColumns;
    for (int r = 1; r < 4; ++r) {
        const int y = rowY[r] - 17;
        rows[r].separators[0]->setGeometry(156, y, ext ? 346 : 390, 1);
        rows[r].separators[1]->setGeometry(ext ? 533 : 603, y, ext ? 248 : 178, 1);
    }
    for (int r = 0; r < 4; ++r) {
        Row& row = rows[r];
        const int y = rowY[r];
        row.limiter->move(c.limiter, y);
        if (row.micLine) {
            row.micLine->move(c.micLine, y);
            row.filter->move(c.filter, y);
        }
        row.programLeft->move(c.programLeft, y);
        row.programRight->move(c.programRight, y);
    }

    const TAudioSettings* a = audio();
    const bool row4 = hasInput4();
    rows[1].programLeft->setVisible(!ext || !a->input2Pair());
    rows[3].programLeft->setVisible(row4 && (!ext || !a->input4Pair()));
    rows[0].programRight->setVisible(ext && !a->input2Pair());
    rows[1].programRight->setVisible(ext);
    rows[2].programRight->setVisible(ext && !a->input4Pair());
    rows[3].programRight->setVisible(row4 && ext);

    limiterHeader->move(ext ? 227 : 245, 90);
    micLineHeader->move(ext ? 315 : 351, 90);
    filterHeader->move(ext ? 403 : 457, 90);
    programLeftHeader->setText(ext ? tr("Program\nLeft") : tr("Program"));
    programLeftHeader->move(ext ? 516 : 586, 90);
    programRightHeader->setVisible(ext);
}

// What the stereo pair of inputs 1 and 2 leaves to route.
void QPravikAudioInputPage::showPair12()
{
    const bool paired = audio()->input2Pair();
    rows[0].programRight->setVisible(!paired);
    rows[1].programLeft->setVisible(!(extendedMode() && paired));
}

// The same for inputs 3 and 4; a paired input 4 follows input 3, Mic/Line included.
void QPravikAudioInputPage::showPair34()
{
    const bool paired = audio()->input4Pair();
    const bool ext = extendedMode();
    rows[3].micLine->setEnabled(!(ext && paired));
    rows[2].programRight->setVisible(!paired);
    rows[3].programLeft->setVisible(hasInput4() && !(ext && paired));
}

void QPravikAudioInputPage::deviceStateChanged(TComDevice::DeviceState state)
{
    if (state == TComDevice::Loaded)
        applyHardwareLayout();
    if (state == TComDevice::Loaded || state == TComDevice::OperationModeChanged)
        applyOperationMode(frontPanelDevice()->operationMode());
}

void QPravikAudioInputPage::audioControllerStateChanged(TComController*)
{
    const TAudioSettings* a = audio();
    for (const SettingSwitch& s : std::as_const(settingSwitches))
        showChecked(s.button, (a->*s.value)());
    showPair12();
    showPair34();
}

void QPravikAudioInputPage::audioControllerParamChanged(TComController*, TAudioSettings::CtlrParam param)
{
    if (param == TAudioSettings::Input2Pair)
        showPair12();
    if (param == TAudioSettings::Input4Pair)
        showPair34();
    const TAudioSettings* a = audio();
    for (const SettingSwitch& s : std::as_const(settingSwitches))
        if (s.param == param)
            showChecked(s.button, (a->*s.value)());
}

void QPravikAudioInputPage::switchClicked()
{
    for (const SettingSwitch& s : std::as_const(settingSwitches)) {
        if (s.button == sender()) {
            const SettingSwitch clicked = s;
            settleWrite(this, (audio()->*clicked.write)(clicked.button->isChecked(), true),
                        [clicked] { showChecked(clicked.button, (audio()->*clicked.value)()); });
            return;
        }
    }
}
