#include "panel/pages/qpravikheadphonewidget.h"

#include <QFrame>
#include <QMouseEvent>
#include <QSignalBlocker>

#include <algorithm>
#include <cstdlib>

#include "model/locale.h"
#include "model/unitfirmware.h"
#include "panel/kit/look.h"

namespace {

// The swipe band and the big move that changes the stop.
constexpr int kBandTop = 104;
constexpr int kBandBottom = 380;
constexpr int kBigMove = 64;
constexpr int kDragStep = 9;

// Places of positions 1 and 2 (two rows of four) and 3 and 4 (two rows of six).
const QPoint kNarrowPlaces[] = {{135, 104}, {267, 104}, {399, 104}, {531, 104},
                                {135, 244}, {267, 244}, {399, 244}, {531, 244}};
const QPoint kWidePlaces[] = {{3, 104},   {135, 104}, {267, 104}, {399, 104}, {531, 104}, {663, 104},
                              {3, 244},   {135, 244}, {267, 244}, {399, 244}, {531, 244}, {663, 244}};

// Layout rank of each input (0..25) and side-tone label (26..29); ascending
// rank is the order of the strips. The standard mode ranks Program and Coord
// return (12, 13) where the extended mode ranks Program and Coord (20, 21).
constexpr int kRankCount = 30;
constexpr int kExtendedRanks[kRankCount] = {5,  6,  7,  8,  12, 13, 14, 15, 11, 16, 17, 22, 25, 26, 18,
                                            19, 20, 23, 21, 24, 9,  10, 29, 30, 27, 28, 1,  2,  3,  4};
int layoutRanks[kRankCount] = {5,  6,  7,  8,  12, 13, 14, 15, 11, 16, 17, 22, 25, 26, 18,
                               19, 20, 23, 21, 24, 9,  10, 29, 30, 27, 28, 1,  2,  3,  4};

constexpr int kReducedHardwareInputs[] = {3, 8, 5, 6, 7};
constexpr int kAuxiliaryBoardInputs[] = {4, 5, 6, 7, 9, 10, 14, 15, 16, 18};
constexpr int kNetworkAudioInputs[] = {9, 10, 14, 15, 16, 18};
constexpr int kSecondNetworkInputs[] = {14, 15, 16, 18};

// Device option bits the pages react to.
constexpr std::uint32_t kDigitalInputOption = 0x80;
constexpr std::uint32_t kSecondNetworkOption = 0x200;
// Side tone: bit 5 of the most significant byte of the matrix options.
constexpr std::uint32_t kSideToneOption = 0x20000000;
// Firmware that has the sixth network input and the third stop.
constexpr std::uint32_t kSixthNetworkFirmware = 0x10CFF;

bool sideToneOn(std::uint32_t options)
{
    return (options & kSideToneOption) != 0;
}

QPravik::PanCtrl panningOf(bool left, bool right)
{
    return QPravik::PanCtrl((left ? QPravik::PanLeft : 0) | (right ? QPravik::PanRight : 0));
}

// The operator's own name of an input: the matrix's label without the port name.
QString ownName(int input)
{
    const TMatrixSettings* m = frontPanelMatrixSettings();
    const QString port = QPravikLocalize::audioPortName(input, m->deviceOptions());
    const QString label = m->inputLabel(input);
    return label.size() > port.size() ? label.mid(port.size() + 1) : QString();
}

} // namespace

QPravikHeadphoneWidget::QPravikHeadphoneWidget(int position, QWidget* parent)
    : QWidget(parent)
    , pos(position)
{
    statusPanel = new QPravikStatusPanel(0, this);
    statusPanel->move(132, 7);
    statusPanel->setProgramMode(1, 0);

    indicator = new QFrame(this);
    indicator->setFrameStyle(QFrame::Panel | QFrame::Plain);
    indicator->setFixedSize(5, 100);
    indicator->hide();
    indicator->move(position < 2 ? 663 : 795, kBandTop);
    const QColor accent(0, 162, 232);
    QPalette palette = indicator->palette();
    palette.setColor(QPalette::Window, accent);
    palette.setColor(QPalette::WindowText, accent);
    indicator->setPalette(palette);
    indicator->setAutoFillBackground(true);
}

QPravikHeadphoneWidget::~QPravikHeadphoneWidget()
{
    strips.clear();
    parked.clear();
    slotButtons.clear();
}

int QPravikHeadphoneWidget::layoutRank(int input)
{
    return input >= 0 && input < kRankCount ? layoutRanks[input] : kRankCount + 1;
}

// --- building ------------------------------------------------------------------

QPravikAudioInput* QPravikHeadphoneWidget::addStrip(int input, int mode)
{
    const bool program = input == QPravik::InputProgram;
    const bool coord = input == QPravik::InputCoord;
    auto* strip = new QPravikAudioInput(mode, this, program || coord, program);
    strip->move(kNarrowPlaces[0]);
    strip->hide();
    strip->setEnabled(false);
    strip->setInput(QPravik::Inputs(input));
    strip->setPanning(QPravik::PanBoth);
    connect(strip, &QPravikAudioBase::gainChanged, this, &QPravikHeadphoneWidget::knobValueChanged);
    if (program)
        connect(strip, &QPravikAudioBase::panningChanged, this, &QPravikHeadphoneWidget::knobProgPanningChanged);
    else if (coord)
        connect(strip, &QPravikAudioBase::panningChanged, this, &QPravikHeadphoneWidget::knobCoordPanningChanged);
    else
        connect(strip, &QPravikAudioBase::panningChanged, this, &QPravikHeadphoneWidget::knobPanningChanged);
    if (program || coord)
        connect(strip, &QPravikAudioBase::balanceChanged, this, &QPravikHeadphoneWidget::audioBalanceChanged);
    return strip;
}

void QPravikHeadphoneWidget::addSideTone()
{
    sideTone = new QPravikAudioInput(0, false, this);
    sideTone->move(kNarrowPlaces[0]);
    sideTone->hide();
    sideTone->setEnabled(false);
    // The strip is labelled as the side tone; it writes the position's own microphone.
    sideTone->setInput(QPravik::Inputs(QPravik::InputCount + pos));
    connect(sideTone, &QPravikAudioBase::gainChanged, this, &QPravikHeadphoneWidget::knobSideToneChanged);
}

void QPravikHeadphoneWidget::addNavigation()
{
    static const char* const texts[5] = {"1", "3", "", "4", "2"};
    static const QPravik::Page pages[5] = {QPravik::PageHeadphone1, QPravik::PageHeadphone3, QPravik::PageMain,
                                           QPravik::PageHeadphone4, QPravik::PageHeadphone2};
    const QPravik::Page own = QPravik::Page(QPravik::PageHeadphone1 + pos);
    for (int i = 0; i < 5; ++i) {
        auto* button = new QPravikButton(this);
        button->setGeometry(112 + 120 * i, 400, 98, 66);
        button->borderWidth = 4;
        setPixelSize(button, 18);
        button->setIconSize(QSize(48, 48));
        button->setText(QString::fromLatin1(texts[i]));
        navigation[i] = button;
        if (pages[i] == QPravik::PageMain) {
            button->setIcon(iconWhenDrawn(QStringLiteral(":/images/home.png")));
        } else if (pages[i] == own) {
            // The page shown: outlined, not a way anywhere.
            button->setIcon(iconWhenDrawn(QStringLiteral(":/images/headphone-white.png")));
            setLampColours(button, QBrush(Qt::white, Qt::NoBrush), Qt::white);
            continue;
        } else {
            button->setIcon(iconWhenDrawn(QStringLiteral(":/images/headphone-black.png")));
        }
        setLampColours(button, Qt::white, Qt::black);
        const QPravik::Page page = pages[i];
        connect(button, &QPravikButton::clicked, this, [this, page] { emit pageActivated(page); });
    }
}

QPravikAudioInput* QPravikHeadphoneWidget::inputStrip(int input) const
{
    return qobject_cast<QPravikAudioInput*>(strips.value(input));
}

QList<QPravikAudioInput*> QPravikHeadphoneWidget::allInputStrips() const
{
    QList<QPravikAudioInput*> all;
    for (QPravikAudioBase* strip : strips) {
        if (auto* input = qobject_cast<QPravikAudioInput*>(strip))
            all << input;
    }
    for (QPravikAudioBase* strip : parked) {
        auto* input = qobject_cast<QPravikAudioInput*>(strip);
        if (input && !all.contains(input))
            all << input;
    }
    return all;
}

void QPravikHeadphoneWidget::writeInitialState()
{
    TMatrixSettings* m = matrix();
    for (QPravikAudioBase* slot : slotButtons) {
        m->setNode(slot->input(), leftOutput(), slot->panning() & QPravik::PanLeft);
        m->setNode(slot->input(), rightOutput(), slot->panning() & QPravik::PanRight);
    }
    for (QPravikAudioBase* strip : strips) {
        for (int output : {leftOutput(), rightOutput()})
            m->setNodeGain(strip->input(), output, float(strip->gain()));
        m->setNode(strip->input(), leftOutput(), strip->panning() & QPravik::PanLeft);
        m->setNode(strip->input(), rightOutput(), strip->panning() & QPravik::PanRight);
    }
}

void QPravikHeadphoneWidget::connectModels()
{
    connect(device(), &TComDevice::deviceStateChanged, this, &QPravikHeadphoneWidget::deviceStateChanged);
    TAudioSettings* audio = frontPanelAudioSettings();
    connect(audio, &TComController::controllerStateChanged, this,
            &QPravikHeadphoneWidget::audioControllerStateChanged);
    connect(audio, &TAudioSettings::controllerParamChanged, this,
            &QPravikHeadphoneWidget::audioControllerParamChanged);
    TMatrixSettings* m = matrix();
    connect(m, &TComController::controllerStateChanged, this, &QPravikHeadphoneWidget::matrixControllerStateChanged);
    connect(m, &TMatrixSettings::matrixOptionsChanged, this, &QPravikHeadphoneWidget::matrixOptionsChanged);
    connect(m, &TMatrixSettings::inputNameChanged, this, &QPravikHeadphoneWidget::matrixInputNameChanged);
    connect(m, &TMatrixSettings::nodeChanged, this, &QPravikHeadphoneWidget::matrixNodeChanged);
}

void QPravikHeadphoneWidget::centre(QWidget* popup) const
{
    popup->move(mapToGlobal(QPoint(0, 0))
                + QPoint((width() - popup->width()) / 2, (height() - popup->height()) / 2));
}

// --- swipe and layout ------------------------------------------------------------

void QPravikHeadphoneWidget::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    const int y = event->position().toPoint().y();
    pressY = -1;
    if (scrollState != NoSwipe && y >= kBandTop && y <= kBandBottom) {
        lastY = y;
        pressY = y;
    }
}

void QPravikHeadphoneWidget::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (scrollState == NoSwipe || pressY == -1)
        return;
    const int y = event->position().toPoint().y();
    if (y < kBandTop || y > kBandBottom) {
        pressY = -1;
    } else if (std::abs(lastY - y) > kDragStep) {
        scrollStrips(true, pressY - y);
        lastY = y;
    }
}

void QPravikHeadphoneWidget::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    const int y = event->position().toPoint().y();
    if (scrollState != NoSwipe && pressY != -1 && y >= kBandTop && y <= kBandBottom)
        scrollStrips(false, pressY - y);
    pressY = -1;
}

void QPravikHeadphoneWidget::scrollStrips(bool dragging, int delta)
{
    const int h = indicator->height();
    const int top = kBandTop;
    const int bottom = kBandBottom - h;
    const int middle = kBandTop + (kBandBottom - kBandTop - h) / 2;
    const bool big = delta <= -kBigMove || delta >= kBigMove;
    int y = indicator->y();
    int stop = scrollState;
    if (!dragging) {
        y = stop <= TopStop ? top : stop == MiddleStop ? middle : bottom;
    } else if (scrollState == TopStop) {
        if (delta <= 0)
            y = top;
        else if (!big)
            y = top + delta;
        else if (threeStops)
            y = middle, stop = MiddleStop;
        else
            y = bottom, stop = BottomStop;
    } else if (scrollState == MiddleStop) {
        // A jump past the band's edge rests at that end, the stop unchanged.
        if (middle + delta <= kBandTop)
            y = top;
        else if (middle + delta >= kBandBottom)
            y = bottom;
        else if (!big)
            y = middle + delta;
        else if (delta < 0)
            y = top, stop = TopStop;
        else
            y = bottom, stop = BottomStop;
    } else if (scrollState == BottomStop) {
        if (delta >= 0)
            y = bottom;
        else if (!big)
            y = bottom + delta;
        else if (threeStops)
            y = middle, stop = MiddleStop;
        else
            y = top, stop = TopStop;
    } else {
        return;
    }
    indicator->move(indicator->x(), y);
    if (stop != scrollState) {
        scrollState = stop;
        pressY = -1;
        relayoutStrips();
    }
}

void QPravikHeadphoneWidget::relayoutStrips()
{
    if (strips.isEmpty())
        return;
    QList<QPravikAudioBase*> order;
    if (sideTone)
        order << sideTone;
    order << strips.values();
    std::stable_sort(order.begin(), order.end(), [](const QPravikAudioBase* a, const QPravikAudioBase* b) {
        return layoutRank(a->input()) < layoutRank(b->input());
    });

    const bool narrow = pos < 2;
    const QPoint* places = narrow ? kNarrowPlaces : kWidePlaces;
    const int placeCount = narrow ? int(std::size(kNarrowPlaces)) : int(std::size(kWidePlaces));
    const bool lastOfThree = scrollState == BottomStop && threeStops;
    int i = 0;
    for (QPravikAudioBase* strip : order) {
        if (!strip->isEnabledTo(this)) {
            strip->hide();
            continue;
        }
        // The place of the i-th enabled strip and whether the stop shows it;
        // strips off the stop wait at the place they take one stop away.
        const int index = i++;
        int place = 0;
        bool shown = false;
        if (!narrow) {
            shown = scrollState <= TopStop ? index < 12 : index >= 6;
            place = scrollState <= TopStop ? (index < 12 ? index : index - 6) : (index < 6 ? index : index - 6);
        } else if (scrollState <= TopStop) {
            shown = index < 8;
            place = index < 8 ? index : index < 12 ? index - 4 : index - 8;
        } else if (!lastOfThree) {
            shown = index >= 4 && index < 12;
            place = index < 4 ? index : index < 12 ? index - 4 : index - 8;
        } else {
            shown = index >= 8;
            place = index < 4 ? index : index < 8 ? index - 4 : index - 8;
        }
        // More strips than places: the surplus stays hidden where it is.
        if (place < placeCount)
            strip->move(places[place]);
        strip->setVisible(shown && place < placeCount);
        if (auto* input = qobject_cast<QPravikAudioInput*>(strip))
            input->setMode(narrow ? 1 : 0);
    }
}

void QPravikHeadphoneWidget::applyOperationMode(int mode)
{
    const bool extended = mode != 0;
    const auto apply = [this](int input, bool on) {
        if (QPravikAudioInput* strip = inputStrip(input)) {
            strip->setVisible(on);
            strip->setEnabled(on);
            strip->setState(on ? 0 : 2);
        }
    };
    apply(QPravik::InputProgramReturn, !extended);
    apply(QPravik::InputCoordReturn, !extended);
    apply(QPravik::InputProgram, extended);
    apply(QPravik::InputCoord, extended);
    retireUntaken();
    std::copy(std::begin(kExtendedRanks), std::end(kExtendedRanks), layoutRanks);
    if (!extended) {
        layoutRanks[12] = 9;
        layoutRanks[13] = 10;
        layoutRanks[20] = 25;
        layoutRanks[21] = 26;
    }
    scrollStrips(false, 0);
    relayoutStrips();
}

void QPravikHeadphoneWidget::updateInputSourceStates()
{
    const TAudioSettings* audio = frontPanelAudioSettings();
    if (audio->state() != TComController::Ready || !audio->auxiliaryBoard()
        || !(device()->deviceOptions() & kDigitalInputOption))
        return;
    const bool digital = audio->inputSource() == TAudioSettings::Digital;
    const auto set = [this](int input, int state) {
        QPravikAudioInput* strip = inputStrip(input);
        if (strip && strip->state() != 2)
            strip->setState(state);
    };
    set(QPravik::InputAux2, digital ? 1 : 0);
    set(QPravik::InputAes1, digital ? 0 : 1);
    set(QPravik::InputAes2, digital ? 0 : 1);
}

void QPravikHeadphoneWidget::refresh()
{
    sideTone->hide();
    sideTone->setEnabled(false);
    scrollState = NoSwipe;
    threeStops = false;
    pressY = -1;
    indicator->hide();
    scrollStrips(false, 0);
    relayoutStrips();
    // Strips are made disabled; a new login makes every one operable again.
    for (QPravikAudioBase* strip : strips) {
        if (auto* input = qobject_cast<QPravikAudioInput*>(strip))
            input->setState(0);
        strip->setEnabled(true);
    }
    for (int input : kSecondNetworkInputs) {
        if (QPravikAudioBase* strip = strips.value(input))
            strip->hide();
    }
    for (int input : kReducedHardwareInputs) {
        if (QPravikAudioBase* strip = strips.value(input)) {
            strip->show();
            strip->setEnabled(true);
        }
    }
    retireUntaken();
}

bool QPravikHeadphoneWidget::offered(int input) const
{
    return matrix()->takesNode(input, leftOutput()) && matrix()->takesNodeGain(input, leftOutput());
}

void QPravikHeadphoneWidget::retireUntaken()
{
    for (QPravikAudioBase* strip : strips) {
        auto* input = qobject_cast<QPravikAudioInput*>(strip);
        if (input && !offered(input->input())) {
            input->setState(2);
            input->hide();
            input->setEnabled(false);
        }
    }
    // The side tone keeps its place: the operator sees it is there, locked.
    sideTone->setState(matrix()->takesNodeGain(pos, leftOutput()) ? 0 : 2);
}

// --- model reactions ---------------------------------------------------------------

void QPravikHeadphoneWidget::deviceStateChanged(TComDevice::DeviceState state)
{
    if (state == TComDevice::OperationModeChanged) {
        applyOperationMode(device()->operationMode());
    } else if (state == TComDevice::Loaded) {
        const std::uint32_t options = device()->deviceOptions();
        matrix()->setDeviceOptions(options);
        for (QPravikAudioInput* strip : allInputStrips())
            strip->setDeviceOptions(options);
        for (QPravikAudioBase* slot : slotButtons)
            slot->setDeviceOptions(options);
        const auto retire = [this](int input) {
            if (QPravikAudioInput* strip = inputStrip(input)) {
                strip->setState(2);
                strip->hide();
                strip->setEnabled(false);
            }
        };
        if (!(options & kRavennaOption)) {
            for (int input : kNetworkAudioInputs) {
                if (QPravikAudioInput* strip = inputStrip(input))
                    strip->setState(2);
            }
        }
        if (!(options & kSecondNetworkOption)) {
            for (int input : kSecondNetworkInputs)
                retire(input);
        } else if (unitFirmwareVersion <= kSixthNetworkFirmware) {
            retire(QPravik::InputNetwork6);
        }
        applyOperationMode(device()->operationMode());
    }
    pageDeviceStateChanged(state);
}

void QPravikHeadphoneWidget::audioControllerStateChanged(TComController* controller)
{
    if (!controller || controller->state() != TComController::Ready)
        return;
    if (!frontPanelAudioSettings()->auxiliaryBoard()) {
        for (int input : kAuxiliaryBoardInputs) {
            if (QPravikAudioInput* strip = inputStrip(input))
                strip->setState(2);
        }
    }
    const bool withSideTone = sideToneOn(matrix()->options());
    if (device()->deviceOptions() & kSecondNetworkOption) {
        scrollState = TopStop;
        pressY = -1;
        if (withSideTone) {
            sideTone->setEnabled(true);
            if (pos < 2 && unitFirmwareVersion > kSixthNetworkFirmware)
                threeStops = true;
        }
        indicator->show();
        scrollStrips(false, 0);
        relayoutStrips();
    } else if (withSideTone) {
        sideTone->setEnabled(true);
        scrollState = TopStop;
        pressY = -1;
        indicator->show();
        scrollStrips(false, 0);
        relayoutStrips();
    }
    updateInputSourceStates();
}

void QPravikHeadphoneWidget::audioControllerParamChanged(TComController*, TAudioSettings::CtlrParam param)
{
    if (param == TAudioSettings::InputSource)
        inputSourceChanged();
}

void QPravikHeadphoneWidget::matrixOptionsChanged(TMatrixSettings::MatrixOpts previous)
{
    const bool on = sideToneOn(matrix()->options());
    if (on == sideToneOn(previous))
        return;
    sideTone->setEnabled(on);
    if (!(device()->deviceOptions() & kSecondNetworkOption)) {
        scrollState = on ? TopStop : NoSwipe;
        pressY = -1;
        indicator->setVisible(on);
    } else if (pos < 2 && unitFirmwareVersion > kSixthNetworkFirmware) {
        threeStops = on;
        if (on && scrollState == BottomStop)
            scrollState = MiddleStop;
        else if (!on && scrollState == MiddleStop)
            scrollState = BottomStop;
    }
    scrollStrips(false, 0);
    relayoutStrips();
}

void QPravikHeadphoneWidget::matrixControllerStateChanged(TComController* controller)
{
    if (!controller || controller->state() != TComController::Ready)
        return;
    if (device()->deviceOptions() & kReducedHardwareOption) {
        for (int input : kReducedHardwareInputs) {
            if (QPravikAudioBase* strip = strips.value(input)) {
                strip->hide();
                strip->setEnabled(false);
            }
        }
    }
    pageMatrixLoaded();
}

void QPravikHeadphoneWidget::matrixInputNameChanged(QPravik::Inputs input)
{
    const QString name = ownName(input);
    if (QPravikAudioBase* slot = slotButtons.value(input))
        slot->setName(name, relabel);
    if (QPravikAudioBase* strip = strips.value(input))
        strip->setName(name, relabel);
}

void QPravikHeadphoneWidget::showEvent(QShowEvent* event)
{
    for (QPravikAudioBase* slot : slotButtons)
        slot->setName(ownName(slot->input()), false);
    for (QPravikAudioBase* strip : strips)
        strip->setName(ownName(strip->input()), false);
    QWidget::showEvent(event);
}

void QPravikHeadphoneWidget::matrixNodeChanged(QPravik::Inputs input, QPravik::Outputs output)
{
    if ((output != leftOutput() && output != rightOutput()) || busy)
        return;
    const Busy guard(busy);
    drawInput(input, output);
}

void QPravikHeadphoneWidget::drawInput(int input, int output)
{
    const TMatrixSettings* m = matrix();
    const int gain = int(m->nodeGain(input, output));
    if (input == pos) {
        const QSignalBlocker quiet(sideTone);
        sideTone->setGain(gain);
        return;
    }
    const QPravik::PanCtrl panning = panningOf(m->isNodeOn(input, leftOutput()), m->isNodeOn(input, rightOutput()));
    if (QPravikAudioBase* slot = slotButtons.value(input)) {
        const QSignalBlocker quiet(slot);
        slot->setGain(gain);
        slot->setPanning(panning);
    }
    if (QPravikAudioBase* strip = strips.value(input)) {
        const QSignalBlocker quiet(strip);
        strip->setGain(gain);
        strip->setPanning(input == QPravik::InputProgram ? programPanning() : panning);
        strip->setBalance(m->nodeBalance(input, output));
    }
    // The Program strip's stereo state also follows its partners' nodes.
    if (input == 12 || input == 19 || input == 24) {
        if (QPravikAudioBase* program = strips.value(QPravik::InputProgram)) {
            const QSignalBlocker quiet(program);
            program->setPanning(programPanning());
        }
    }
}

void QPravikHeadphoneWidget::redrawInputs(const QList<int>& inputs)
{
    for (int input : inputs)
        drawInput(input, leftOutput());
}

bool QPravikHeadphoneWidget::settle(bool taken, const std::function<void()>& redraw)
{
    if (taken)
        return true;
    if (!holdRefusals)
        return settleWrite(this, false, redraw);
    if (redraw)
        redraw();
    refusalHeld = true;
    return false;
}

QPravik::PanCtrl QPravikHeadphoneWidget::programPanning() const
{
    const TMatrixSettings* m = matrix();
    const auto nodes = [&](int input) {
        return panningOf(m->isNodeOn(input, leftOutput()), m->isNodeOn(input, rightOutput()));
    };
    // Program left with its return left and the second program and its
    // return right is the stereo state.
    const QPravik::PanCtrl panning = nodes(QPravik::InputProgram);
    const bool stereo = panning == QPravik::PanLeft && nodes(12) == QPravik::PanLeft
        && nodes(24) == QPravik::PanRight && nodes(19) == QPravik::PanRight;
    return stereo ? QPravik::PanStereo : panning;
}

// --- writing handlers --------------------------------------------------------------

bool QPravikHeadphoneWidget::inBatch(const std::function<bool()>& writes)
{
    TMatrixSettings* m = matrix();
    const auto snapshot = m->headphoneRoute(pos);
    if (!writes()) {
        // What the batch held of the change goes back unsent.
        m->dropHeadphoneRoute(pos, snapshot);
        return false;
    }
    return m->setHeadphoneRoute(pos, snapshot);
}

bool QPravikHeadphoneWidget::writePanning(int input, QPravik::PanCtrl panning)
{
    return inBatch([&] {
        return matrix()->setNode(input, leftOutput(), panning & QPravik::PanLeft)
            && matrix()->setNode(input, rightOutput(), panning & QPravik::PanRight);
    });
}

void QPravikHeadphoneWidget::operatorWrite(const QList<int>& inputs, const std::function<bool()>& writes)
{
    bool taken = false;
    {
        const Busy guard(busy);
        taken = writes();
    }
    // The model's echoes of a refused write went by while busy: redraw now.
    settle(taken, [this, inputs] { redrawInputs(inputs); });
}

void QPravikHeadphoneWidget::knobSideToneChanged(int gain)
{
    if (busy)
        return;
    // The left cell carries the key; the right one follows it.
    operatorWrite({pos}, [&] {
        return matrix()->setNodeGain(pos, leftOutput(), float(gain))
            && matrix()->setNodeGain(pos, rightOutput(), float(gain));
    });
}

void QPravikHeadphoneWidget::knobValueChanged(int gain)
{
    const auto* strip = qobject_cast<QPravikAudioBase*>(sender());
    if (!strip || busy)
        return;
    const int input = strip->input();
    const int left = leftOutput();
    const int right = rightOutput();
    QList<QPair<int, int>> cells = {{input, left}, {input, right}};
    QList<int> inputs = {input};
    // Positions 3 and 4 tie the partner inputs in the extended mode only.
    const bool tie = pos < 2 || device()->operationMode() == 1;
    if (tie && input == QPravik::InputProgram) {
        cells << qMakePair(12, left) << qMakePair(12, right);
        for (int partner : {24, 19}) {
            if (pos < 2)
                cells << qMakePair(partner, left);
            cells << qMakePair(partner, right);
        }
        inputs << 12 << 24 << 19;
    } else if (tie && input == QPravik::InputCoord) {
        cells << qMakePair(13, left) << qMakePair(13, right);
        inputs << 13;
    }
    operatorWrite(inputs, [&] {
        return inBatch([&] {
            return std::all_of(cells.cbegin(), cells.cend(), [&](const QPair<int, int>& cell) {
                return matrix()->setNodeGain(cell.first, cell.second, float(gain));
            });
        });
    });
}

void QPravikHeadphoneWidget::knobPanningChanged(QPravik::PanCtrl panning)
{
    const auto* strip = qobject_cast<QPravikAudioBase*>(sender());
    if (!strip || busy)
        return;
    const int input = strip->input();
    operatorWrite({input}, [&] { return writePanning(input, panning); });
}

void QPravikHeadphoneWidget::knobProgPanningChanged(QPravik::PanCtrl panning)
{
    const auto* strip = qobject_cast<QPravikAudioBase*>(sender());
    if (!strip || busy)
        return;
    const QList<int> inputs = {strip->input(), 12, 24, 19};
    const bool stereo = panning == QPravik::PanStereo;
    operatorWrite(inputs, [&] {
        return inBatch([&] {
            return std::all_of(inputs.cbegin(), inputs.cend(), [&](int input) {
                // Stereo: Program and its return on the left, the second
                // program and its return on the right.
                const bool left = stereo ? input == inputs[0] || input == 12 : (panning & QPravik::PanLeft) != 0;
                const bool right = stereo ? !left : (panning & QPravik::PanRight) != 0;
                return matrix()->setNode(input, leftOutput(), left) && matrix()->setNode(input, rightOutput(), right);
            });
        });
    });
}

void QPravikHeadphoneWidget::knobCoordPanningChanged(QPravik::PanCtrl panning)
{
    const auto* strip = qobject_cast<QPravikAudioBase*>(sender());
    if (!strip || busy)
        return;
    QList<int> inputs = {strip->input()};
    if (pos < 2 || device()->operationMode() == 1)
        inputs << QPravik::InputCoordReturn;
    operatorWrite(inputs, [&] {
        return inBatch([&] {
            return std::all_of(inputs.cbegin(), inputs.cend(), [&](int input) {
                return matrix()->setNode(input, leftOutput(), panning & QPravik::PanLeft)
                    && matrix()->setNode(input, rightOutput(), panning & QPravik::PanRight);
            });
        });
    });
}

void QPravikHeadphoneWidget::audioBalanceChanged(int step)
{
    const auto* strip = qobject_cast<QPravikAudioBase*>(sender());
    if (!strip || busy)
        return;
    const int left = leftOutput();
    const int right = rightOutput();
    QList<QPair<int, int>> cells;
    if (strip->input() == QPravik::InputProgram)
        cells = {{20, left}, {20, right}, {12, left}, {12, right}, {24, right}, {19, right}};
    else if (strip->input() == QPravik::InputCoord)
        cells = {{21, left}, {21, right}, {13, left}, {13, right}};
    // Each input's steps go on their own key at once: the first one the
    // unit refuses ends the change.
    operatorWrite({strip->input()}, [&] {
        return inBatch([&] {
            return std::all_of(cells.cbegin(), cells.cend(), [&](const QPair<int, int>& cell) {
                return matrix()->setNodeBalance(cell.first, cell.second, step);
            });
        });
    });
}

void QPravikHeadphoneWidget::removeProgramAndCoord()
{
    if (busy)
        return;
    const Busy guard(busy);
    inBatch([&] {
        for (int input : {QPravik::InputProgram, QPravik::InputCoord}) {
            for (int output : {leftOutput(), rightOutput()}) {
                if (!matrix()->setNodeGain(input, output, 0.0f) || !matrix()->setNode(input, output, false))
                    return false;
            }
        }
        return true;
    });
    // Not the operator's doing: the strips show what the unit took, unannounced.
    redrawInputs({QPravik::InputProgram, QPravik::InputCoord});
}

// --- copy between positions ----------------------------------------------------------

void QPravikHeadphoneWidget::copySettingsTo(QPravikHeadphoneWidget* source)
{
    if (!source || source == this)
        return;
    QMap<int, QPravikAudioBase*> lookup = source->slotButtons;
    for (auto it = source->strips.cbegin(); it != source->strips.cend(); ++it)
        lookup.insert(it.key(), it.value());
    // The strips' own handlers write each copied value; the copy is one
    // change of the operator's: it ends at the first refusal, told once.
    holdRefusals = true;
    refusalHeld = false;
    for (QPravikAudioBase* slot : slotButtons) {
        if (const QPravikAudioBase* from = lookup.value(slot->input()); from && !refusalHeld)
            slot->setPanning(from->panning());
    }
    for (QPravikAudioBase* strip : strips.values()) {
        const int input = strip->input();
        const QPravikAudioBase* from = lookup.value(input);
        // Position 1 has no strip of the microphones 1 and 2: they come from the matrix.
        const bool fromMatrix = !from && source->pos == 0 && (input == 0 || input == 1);
        if (refusalHeld || !offered(input) || (!from && !fromMatrix))
            continue;
        strip->setGain(from ? from->gain() : int(matrix()->nodeGain(input, 2 + 2 * input)));
        if (!refusalHeld)
            strip->setPanning(from ? from->panning() : QPravik::PanBoth);
    }
    holdRefusals = false;
    settle(!refusalHeld);
}
