#include "panel/pages/qpravikaudiooutputpage.h"

#include <QFrame>
#include <QLabel>

#include "audio/tmatrixsettings.h"
#include "model/unitfirmware.h"
#include "panel/kit/controls.h"
#include "panel/kit/look.h"
#include "panel/kit/slidewidget.h"

namespace {

using Page = QPravikAudioOutputPage;

constexpr int rowOutputs[Page::RowCount] = {QPravik::Output11, QPravik::Output10, QPravik::Output14,
                                            QPravik::Output12, QPravik::Output13};
constexpr int columnX[Page::ColumnCount] = {338, 444, 126, 232, 550};

// Firmware up to this version has no headphone-4 routing of the outputs.
constexpr std::uint32_t lastWithoutHeadphone4 = 0x10DFF;
// Width of the headphone-4 column, by which the table narrows without it.
constexpr int headphone4Width = 106;

// Where a row stands in the scrolled table: y of its level knob, label,
// separator and switches, without and with the LINE 2 row.
struct RowPlace
{
    int knob, label, separator, switches;
};
constexpr RowPlace rowPlaces[2][Page::RowCount] = {
    {{0, 0, 0, 3}, {46, 68, 54, 71}, {143, 164, 143, 167}, {0, 136, 122, 139}, {0, 204, 190, 207}},
    {{0, 0, 0, 3}, {59, 82, 61, 85}, {143, 164, 143, 167}, {0, 246, 225, 249}, {0, 328, 307, 331}},
};

bool secondOfPair(int row)
{
    return row == Page::Line2 || row == Page::Ravenna2;
}

// The matrix input a switch routes. In extended mode the second output of
// each pair takes the Program mix and its return from their right channels.
int cellInput(int row, int column, bool extended)
{
    const bool right = extended && secondOfPair(row);
    switch (column) {
    case Page::Program:
        return right ? QPravik::InputProgram2 : QPravik::InputProgram;
    case Page::Coord:
        return QPravik::InputCoord;
    case Page::ProgramReturn:
        return right ? QPravik::InputProgramReturn2 : QPravik::InputProgramReturn;
    case Page::CoordReturn:
        return QPravik::InputCoordReturn;
    default:
        return secondOfPair(row) ? QPravik::Input23 : QPravik::Input22;
    }
}

TAudioSettings* audio()
{
    return frontPanelAudioSettings();
}

} // namespace

QPravikAudioOutputPage::QPravikAudioOutputPage(QWidget* parent)
    : QPravikAudioWidget(parent)
{
    setupWidgets();

    connect(frontPanelDevice(), &TComDevice::deviceStateChanged, this, &QPravikAudioOutputPage::deviceStateChanged);
    TAudioSettings* settings = audio();
    connect(settings, &TComController::controllerStateChanged, this,
            &QPravikAudioOutputPage::audioControllerStateChanged);
    connect(settings, &TAudioSettings::controllerParamChanged, this,
            &QPravikAudioOutputPage::audioControllerParamChanged);
}

void QPravikAudioOutputPage::setupWidgets()
{
    const auto header = [this](int x, const QString& text) {
        return makeLabel(QRect(x, 90, 106, 40), text, 14, Qt::AlignHCenter | Qt::AlignTop);
    };
    header(25, tr("Level"));
    header(139, tr("Program\nreturn"));
    header(245, tr("Coord.\nreturn"));
    header(351, tr("Program"));
    header(457, tr("Coord."));
    headphoneHeader = header(563, tr("Headphone\n4"));

    scrollArea = new QPravikSlideSimple(this);
    scrollArea->setGeometry(36, 130, 758, 266);
    QWidget* content = scrollArea->contentWidget;
    content->resize(746, 244);

    const QString names[RowCount] = {tr("USB"), tr("LINE 1"), tr("LINE 2"), tr("RAVENNA 1"), tr("RAVENNA 2")};
    for (int r = 0; r < RowCount; ++r) {
        OutputRow& row = rows[r];
        const RowPlace& place = rowPlaces[0][r];
        if (r == Line1 || r == Line2) {
            row.level = new QPravikKnob(false, content);
            row.level->setGeometry(0, place.knob, 84, 84);
            row.level->setMinimum(4, QString());
            row.level->setMaximum(22, QString());
            row.level->setValue(16);
            setPixelSize(row.level, 22);
            connect(row.level, &QPravikKnob::valueChanged, this, &QPravikAudioOutputPage::knobValueChanged);
        }
        row.label = makeLabel(QRect(640, place.label, 106, 40), names[r], 14, Qt::AlignLeft | Qt::AlignVCenter,
                              content);
        if (r != Usb) {
            const bool right = secondOfPair(r);
            row.marker = makeLabel(QRect(r <= Line2 ? 700 : 736, place.label, 20, 40),
                                   right ? QStringLiteral("R") : QStringLiteral("L"), 14,
                                   Qt::AlignLeft | Qt::AlignVCenter, content);
            setTextColour(row.marker, right ? Qt::red : Qt::green);
            row.separator = new QFrame(content);
            row.separator->setFrameShape(QFrame::HLine);
            row.separator->setFrameShadow(QFrame::Plain);
            row.separator->setGeometry(120, place.separator, 496, 1);
        }
        for (int c = 0; c < ColumnCount; ++c) {
            if (r != Usb || c != Headphone4)
                row.switches[c] = makeRouteSwitch(cellInput(r, c, false), rowOutputs[r], columnX[c], place.switches,
                                                  content);
        }
    }
    const auto pair = [this, content](int y) {
        auto* button = new QPravikPair(content);
        button->setGeometry(620, y, 106, 40);
        button->setCheckable(true);
        connect(button, &QAbstractButton::clicked, this, &QPravikAudioOutputPage::pairClicked);
        return button;
    };
    linePair = pair(122);
    networkPair = pair(190);

    createTabBar(QPravik::PageAudioOutput);
    layoutRows(false, true);
    applyRouteCells();
}

void QPravikAudioOutputPage::layoutRows(bool showLine2, bool showHeadphone4)
{
    line2Shown = showLine2;
    OutputRow& line2 = rows[Line2];
    for (QWidget* widget : {static_cast<QWidget*>(line2.level), static_cast<QWidget*>(line2.label),
                            static_cast<QWidget*>(line2.separator)})
        widget->setVisible(showLine2);
    for (int c = Program; c < Headphone4; ++c)
        line2.switches[c]->setVisible(showLine2);
    line2.switches[Headphone4]->setVisible(showLine2 && showHeadphone4);
    headphoneHeader->setVisible(showHeadphone4);
    for (Row r : {Line1, Ravenna1, Ravenna2})
        rows[r].switches[Headphone4]->setVisible(showHeadphone4);

    // Everything right of the switches moves in when the last column goes.
    const int narrowing = showHeadphone4 ? 0 : headphone4Width;
    for (int r = 0; r < RowCount; ++r) {
        const RowPlace& place = rowPlaces[showLine2][r];
        OutputRow& row = rows[r];
        if (row.level)
            row.level->move(0, place.knob);
        row.label->move(640 - narrowing, place.label);
        if (row.marker) {
            row.marker->move((r <= Line2 ? 700 : 736) - narrowing, place.label);
            row.separator->setGeometry(120, place.separator, 496 - narrowing, 1);
        }
        for (QPravikSwitch* button : row.switches)
            if (button)
                button->move(button->x(), place.switches);
    }
    // A pair button stands midway between its two row labels.
    linePair->move(620 - narrowing, 122);
    networkPair->move(620 - narrowing, showLine2 ? 286 : 170);
    scrollArea->contentWidget->resize(746 - narrowing, showLine2 ? 368 : 244);
    scrollArea->resize(758 - narrowing, 266);
    showPairs();
}

void QPravikAudioOutputPage::applyHardwareLayout()
{
    const bool reduced = deviceOptions() & ReducedHardware;
    rows[Usb].label->setVisible(!reduced);
    for (QPravikSwitch* button : rows[Usb].switches)
        if (button)
            button->setVisible(!reduced);
    layoutRows(false, !reduced && unitFirmwareVersion > lastWithoutHeadphone4);
}

void QPravikAudioOutputPage::applyRouteCells()
{
    const bool ext = extendedMode();
    for (Row r : {Line2, Ravenna2})
        for (Column c : {Program, ProgramReturn})
            setRouteCell(rows[r].switches[c], cellInput(r, c, ext), rowOutputs[r]);
}

// A linked pair's second output follows the first: its own controls rest.
void QPravikAudioOutputPage::showPairs()
{
    const TAudioSettings* a = audio();
    const bool ext = extendedMode();
    const bool lineLinked = ext && a->linePair();
    showChecked(linePair, a->linePair());
    linePair->setVisible(ext);
    // The markers sit in the rows: a hidden LINE 2 row shows none.
    rows[Line1].marker->setVisible(line2Shown && lineLinked);
    rows[Line2].marker->setVisible(line2Shown && lineLinked);
    rows[Line2].level->setEnabled(!lineLinked && a->takesKey("line_output2_level"));
    for (QPravikSwitch* button : rows[Line2].switches)
        offerRoute(button, !lineLinked);

    const bool network = deviceOptions() & RavennaModule;
    const bool networkLinked = ext && a->ravOutPair();
    showChecked(networkPair, a->ravOutPair());
    networkPair->setVisible(network && ext);
    rows[Ravenna1].marker->setVisible(network && networkLinked);
    rows[Ravenna2].marker->setVisible(network && networkLinked);
    for (QPravikSwitch* button : rows[Ravenna2].switches)
        offerRoute(button, !networkLinked);
}

int QPravikAudioOutputPage::lineLevel(Row row)
{
    const TAudioSettings* a = audio();
    return row == Line1 ? a->lineOutputLevel() : a->lineOutput2Level();
}

void QPravikAudioOutputPage::showLevel(Row row)
{
    const int level = lineLevel(row);
    showValue(rows[row].level, level);
    // The knob's top level, 22, is the output at 0 dB.
    frontPanelMatrixSettings()->setOutputGain(row == Line1 ? QPravik::Output10 : QPravik::Output14,
                                              float(level - 22));
}

void QPravikAudioOutputPage::setRavennaUsable(bool usable)
{
    for (Row r : {Ravenna1, Ravenna2}) {
        setGrey(rows[r].label, !usable);
        for (QPravikSwitch* button : rows[r].switches)
            button->setCheckable(usable);
    }
    // Switches checkable again show their routes anew.
    if (usable)
        readMatrixControls();
}

void QPravikAudioOutputPage::refresh()
{
    setRavennaUsable(true);
    rows[Usb].label->show();
    for (QPravikSwitch* button : rows[Usb].switches)
        if (button)
            button->show();
    layoutRows(false, true);
}

void QPravikAudioOutputPage::showEvent(QShowEvent* event)
{
    const bool dante = deviceOptions() & DanteModule;
    rows[Ravenna1].label->setText(dante ? tr("DANTE 1") : tr("RAVENNA 1"));
    rows[Ravenna2].label->setText(dante ? tr("DANTE 2") : tr("RAVENNA 2"));
    QPravikAudioWidget::showEvent(event);
}

void QPravikAudioOutputPage::deviceStateChanged(TComDevice::DeviceState state)
{
    if (state == TComDevice::Loaded) {
        applyHardwareLayout();
        if (!(deviceOptions() & RavennaModule))
            setRavennaUsable(false);
    } else if (state != TComDevice::OperationModeChanged) {
        return;
    }
    showPairs();
    applyRouteCells();
}

void QPravikAudioOutputPage::audioControllerStateChanged(TComController* controller)
{
    if (controller->state() != TComController::Ready)
        return;
    applyHardwareLayout();
    // The network outputs need the auxiliary board; LINE 2 needs it too.
    if (!audio()->auxiliaryBoard())
        setRavennaUsable(false);
    else if (deviceOptions() & AuxOrAes)
        layoutRows(true, unitFirmwareVersion > lastWithoutHeadphone4);
    showPairs();
    showLevel(Line1);
    showLevel(Line2);
}

void QPravikAudioOutputPage::audioControllerParamChanged(TComController*, TAudioSettings::CtlrParam param)
{
    switch (param) {
    case TAudioSettings::LineOutputLevel:
        showLevel(Line1);
        break;
    case TAudioSettings::LineOutput2Level:
        showLevel(Line2);
        break;
    case TAudioSettings::RavOutPair:
    case TAudioSettings::LinePair:
        showPairs();
        break;
    default:
        break;
    }
}

void QPravikAudioOutputPage::knobValueChanged(int value)
{
    const Row row = sender() == rows[Line1].level ? Line1 : Line2;
    if (sender() != rows[row].level)
        return;
    TAudioSettings* a = audio();
    const bool taken = row == Line1 ? a->setLineOutputLevel(value, true) : a->setLineOutput2Level(value, true);
    settleWrite(this, taken, [this, row] { showValue(rows[row].level, lineLevel(row)); });
}

void QPravikAudioOutputPage::pairClicked()
{
    TAudioSettings* a = audio();
    bool taken = true;
    if (sender() == linePair)
        taken = a->setLinePair(linePair->isChecked(), true);
    else if (sender() == networkPair)
        taken = a->setRavOutPair(networkPair->isChecked(), true);
    settleWrite(this, taken, [this] { showPairs(); });
}
