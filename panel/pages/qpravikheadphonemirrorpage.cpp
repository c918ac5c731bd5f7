#include "panel/pages/qpravikheadphonemirrorpage.h"

#include <QFrame>
#include <QLabel>
#include <QSignalBlocker>

#include "panel/kit/controls.h"
#include "panel/kit/look.h"

namespace {

// Per position (3, 4): the first row group of strips in creation order.
constexpr int kFirstGroup[2][8] = {{0, 1, 3, 12, 20, 13, 21, 8}, {0, 1, 2, 12, 20, 13, 21, 8}};
constexpr int kSecondGroup[] = {4, 5, 6, 7, 9, 10, 14, 15, 16, 18};

} // namespace

QPravikHeadphoneMirrorPage::QPravikHeadphoneMirrorPage(int position, QWidget* parent)
    : QPravikHeadphoneWidget(position, parent)
{
    setupUi();
    writeInitialState();
    connectModels();
    connect(matrix(), &TMatrixSettings::audioConfigChanged, this,
            &QPravikHeadphoneMirrorPage::matrixAudioConfigChanged);
}

void QPravikHeadphoneMirrorPage::setupUi()
{
    addSideTone();
    for (int input : kFirstGroup[pos - 2])
        strips.insert(input, addStrip(input, 0));
    auto* separator = new QFrame(this);
    separator->setGeometry(20, 240, 760, 1);
    separator->setFrameStyle(QFrame::HLine | QFrame::Plain);
    for (int input : kSecondGroup)
        strips.insert(input, addStrip(input, 1));

    for (int number = 1; number <= 2; ++number) {
        auto* marker = new QPravikButton(this);
        marker->setGeometry(number == 1 ? 33 : 716, 380, 50, 50);
        marker->setIcon(iconWhenDrawn(QStringLiteral(":/images/headphone-white.png")));
        marker->setIconSize(QSize(42, 42));
        marker->setText(QString::number(number));
        setLampColours(marker, QBrush(Qt::black, Qt::NoBrush), Qt::white);
    }
    const QRect switchPlaces[4] = {{28, 430, 60, 34}, {711, 430, 60, 34}, {40, 10, 60, 34}, {700, 10, 60, 34}};
    for (int i = 0; i < 4; ++i) {
        switches[i] = new QPravikSwitch(this);
        switches[i]->setGeometry(switchPlaces[i]);
        switches[i]->setCheckable(true);
    }
    connect(switches[0], &QPravikSwitch::clicked, this, &QPravikHeadphoneMirrorPage::switch1Clicked);
    connect(switches[1], &QPravikSwitch::clicked, this, &QPravikHeadphoneMirrorPage::switch2Clicked);
    connect(switches[2], &QPravikSwitch::clicked, this, &QPravikHeadphoneMirrorPage::switch3Clicked);
    connect(switches[3], &QPravikSwitch::clicked, this, &QPravikHeadphoneMirrorPage::switch4Clicked);
    const auto label = [this](const QString& text, int x) {
        auto* l = new QLabel(text, this);
        l->setGeometry(x, 50, 98, 40);
        l->setAlignment(Qt::AlignCenter);
        l->setWordWrap(true);
        setPixelSize(l, 14);
        return l;
    };
    programLabel = label(tr("Program Monitoring"), 22);
    coordLabel = label(tr("Coord. Monitoring"), 680);
    addNavigation();
}

void QPravikHeadphoneMirrorPage::refresh()
{
    QPravikHeadphoneWidget::refresh();
    if (pos == 2)
        navigation[3]->show();
}

bool QPravikHeadphoneMirrorPage::isMonitoring() const
{
    return switches[2]->isChecked() || switches[3]->isChecked();
}

void QPravikHeadphoneMirrorPage::setStripStates(int state, int except)
{
    for (QPravikAudioBase* strip : strips) {
        auto* input = qobject_cast<QPravikAudioInput*>(strip);
        if (input && input->state() != 2)
            input->setState(input->input() == except ? 0 : state);
    }
}

bool QPravikHeadphoneMirrorPage::sendMirroredPosition()
{
    TMatrixSettings::ProgramOutput bytes = matrix()->programOutput(pos);
    bytes[0] = std::uint8_t(monitorSource + 1);
    return matrix()->setProgramOutput(pos, bytes, true);
}

QPravikHeadphoneMirrorPage::Mirror QPravikHeadphoneMirrorPage::mirror() const
{
    Mirror now;
    now.source = monitorSource;
    for (int i = 0; i < 2; ++i) {
        now.checked[i] = switches[i]->isChecked();
        now.copies[i] = matrix()->copySource(i == 0 ? leftOutput() : rightOutput());
    }
    for (QPravikAudioBase* strip : strips) {
        if (auto* input = qobject_cast<QPravikAudioInput*>(strip))
            now.states << qMakePair(input, input->state());
    }
    return now;
}

void QPravikHeadphoneMirrorPage::restore(const Mirror& before)
{
    TMatrixSettings* m = matrix();
    for (int i = 0; i < 2; ++i) {
        const int output = i == 0 ? leftOutput() : rightOutput();
        const int source = m->copySource(output);
        if (source == before.copies[i])
            continue;
        if (source >= 0)
            m->removeOutputCopy(source, output);
        if (before.copies[i] >= 0)
            m->copyOutput(before.copies[i], output);
    }
    monitorSource = before.source;
    for (int i = 0; i < 2; ++i) {
        const QSignalBlocker quiet(switches[i]);
        switches[i]->setChecked(before.checked[i]);
    }
    for (const auto& state : before.states)
        state.first->setState(state.second);
}

// --- model reactions ---------------------------------------------------------------

void QPravikHeadphoneMirrorPage::pageDeviceStateChanged(TComDevice::DeviceState state)
{
    if (state != TComDevice::Loaded && state != TComDevice::OperationModeChanged)
        return;
    const bool standard = device()->operationMode() == 0;
    for (QWidget* w : {static_cast<QWidget*>(switches[2]), static_cast<QWidget*>(switches[3]),
                       static_cast<QWidget*>(programLabel), static_cast<QWidget*>(coordLabel)})
        w->setVisible(standard);
    if (state == TComDevice::OperationModeChanged && standard)
        removeProgramAndCoord();
}

void QPravikHeadphoneMirrorPage::inputSourceChanged()
{
    for (const QPravikSwitch* s : switches) {
        if (s->isChecked())
            return;
    }
    updateInputSourceStates();
}

void QPravikHeadphoneMirrorPage::pageMatrixLoaded()
{
    if (pos == 2 && (device()->deviceOptions() & kReducedHardwareOption))
        navigation[3]->hide();
    relabel = true;
    matrixAudioConfigChanged(QPravik::Inputs(pos));
    for (int input = 0; input <= 24; ++input) {
        matrixInputNameChanged(QPravik::Inputs(input));
        matrixNodeChanged(QPravik::Inputs(input), QPravik::Outputs(leftOutput()));
    }
    relabel = false;
    if (device()->operationMode() == 0)
        removeProgramAndCoord();
}

void QPravikHeadphoneMirrorPage::matrixAudioConfigChanged(QPravik::Inputs index)
{
    if (index != pos)
        return;
    const int mirrored = matrix()->programOutput(pos)[0];
    // While Program or Coord is monitored the unit's choice only moves the switches.
    if (mirrored == 1 || mirrored == 2) {
        const int source = mirrored - 1;
        if (isMonitoring()) {
            monitorSource = source;
            switches[source]->setChecked(true);
            switches[1 - source]->setChecked(false);
        } else if (monitorSource != source) {
            switches[source]->click();
        }
        return;
    }
    if (isMonitoring()) {
        switches[0]->setChecked(false);
        switches[1]->setChecked(false);
    } else if (monitorSource == 0 || monitorSource == 1) {
        switches[monitorSource]->click();
    }
    monitorSource = -1;
}

// --- switches --------------------------------------------------------------------------

void QPravikHeadphoneMirrorPage::switch1Clicked() { mirrorClicked(0); }
void QPravikHeadphoneMirrorPage::switch2Clicked() { mirrorClicked(1); }
void QPravikHeadphoneMirrorPage::switch3Clicked() { monitorClicked(0); }
void QPravikHeadphoneMirrorPage::switch4Clicked() { monitorClicked(1); }

void QPravikHeadphoneMirrorPage::startMirror(int source)
{
    matrix()->copyOutput(2 + 2 * source, leftOutput());
    matrix()->copyOutput(3 + 2 * source, rightOutput());
    // The mirrored position's own microphone stays this position's to set.
    setStripStates(1, source);
}

void QPravikHeadphoneMirrorPage::mirrorClicked(int source)
{
    QPravikSwitch* own = switches[source];
    if (busy) {
        own->setChecked(!own->isChecked());
        return;
    }
    // The click has turned the switch already: the state before it is the other one.
    Mirror before = mirror();
    before.checked[source] = !own->isChecked();
    TMatrixSettings* m = matrix();
    bool taken = false;
    if (own->isChecked()) {
        if (monitorSource == 1 - source) {
            m->removeOutputCopy(2 + 2 * monitorSource, leftOutput());
            m->removeOutputCopy(3 + 2 * monitorSource, rightOutput());
        }
        startMirror(source);
        monitorSource = source;
        taken = sendMirroredPosition();
        switches[1 - source]->setChecked(false);
    } else {
        m->removeOutputCopy(2 + 2 * source, leftOutput());
        m->removeOutputCopy(3 + 2 * source, rightOutput());
        monitorSource = -1;
        taken = sendMirroredPosition();
        setStripStates(0);
    }
    settle(taken, [this, before] { restore(before); });
}

void QPravikHeadphoneMirrorPage::monitorClicked(int output)
{
    QPravikSwitch* own = switches[2 + output];
    if (busy) {
        own->setChecked(!own->isChecked());
        return;
    }
    TMatrixSettings* m = matrix();
    const bool on = own->isChecked();
    for (QPravikSwitch* other : switches) {
        if (other != own)
            other->setEnabled(!on);
    }
    if (on) {
        if (monitorSource == 0 || monitorSource == 1) {
            m->removeOutputCopy(2 + 2 * monitorSource, leftOutput());
            m->removeOutputCopy(3 + 2 * monitorSource, rightOutput());
        }
        m->copyOutput(output, leftOutput());
        m->copyOutput(output, rightOutput());
        setStripStates(1);
        return;
    }
    m->removeOutputCopy(output, leftOutput());
    m->removeOutputCopy(output, rightOutput());
    if (monitorSource == 0 || monitorSource == 1)
        startMirror(monitorSource);
    else
        setStripStates(0);
}
