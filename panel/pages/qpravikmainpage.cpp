#include "panel/pages/qpravikmainpage.h"

#include <QLabel>

#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "model/qpraviksoftkeys.h"
#include "model/tcomdevice.h"
#include "panel/kit/controls.h"
#include "panel/kit/look.h"
#include "panel/pages/qpravikbanner.h"
#include "panel/pages/qpravikwindow.h"

namespace {

const char* const kSoundIdFile = "/mnt/datax/sound_ID.wav";

QPravikButton* key(QWidget* parent, const QRect& geometry, int frame, const QBrush& window,
                   const QColor& text, int pixels)
{
    auto* button = new QPravikButton(parent);
    button->borderWidth = frame;
    setLampColours(button, window, text);
    if (pixels > 0)
        setPixelSize(button, pixels);
    button->setGeometry(geometry);
    return button;
}

QPravikButton* displayKey(QWidget* parent, const QRect& geometry, int frame, const QColor& colour, int pixels)
{
    QPravikButton* button = key(parent, geometry, frame, QBrush(colour, Qt::NoBrush), Qt::white, pixels);
    button->cornerRadius = 0;
    return button;
}

QPravikButton* iconKey(QWidget* parent, const QRect& geometry, const char* icon)
{
    QPravikButton* button = key(parent, geometry, 4, Qt::white, Qt::black, 0);
    button->setIcon(iconWhenDrawn(QString::fromLatin1(icon)));
    return button;
}

QLabel* caption(QWidget* parent, const QRect& geometry, const QString& text)
{
    auto* label = new QLabel(text, parent);
    setPixelSize(label, 14);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(geometry);
    return label;
}

bool isOn(const QPravikButton* key)
{
    return key->palette().color(QPalette::WindowText) == QColor(Qt::red);
}

} // namespace

QPravikMainPage::QPravikMainPage(QPravikWindow* parent)
    : QPravikBasePage(parent)
{
    setupUi();
    TMatrixSettings* matrix = frontPanelMatrixSettings();
    QPravikSoftkeys* softkeys = frontPanelSoftkeys();
    connect(matrix, &TMatrixSettings::audioConfigChanged, this, &QPravikMainPage::matrixAudioConfigChanged);
    connect(matrix, &TMatrixSettings::inputNameChanged, this, &QPravikMainPage::matrixInputNameChanged);
    connect(softkeys, &QPravikSoftkeys::softKeyFunctionChanged, this, &QPravikMainPage::softKeyFunctionChanged);
    connect(softkeys, &QPravikSoftkeys::infoLabelChanged, this, &QPravikMainPage::infoLabelChanged);
    connect(softkeys, &QPravikSoftkeys::contactLabelChanged, this, &QPravikMainPage::contactLabelChanged);
    connect(statusPanel, &QPravikStatusPanel::soundIdClicked, this, &QPravikMainPage::soundIdClicked);
}

void QPravikMainPage::setupUi()
{
    banner = new QPravikBanner(this);
    banner->setGeometry(130, 334, 545, 80);
    banner->setProgramMode(1, 0);

    const QColor inputColour(255, 153, 204);
    const int rows[4] = {7, 116, 225, 334};
    for (int k = 0; k < 4; ++k) {
        inputKeys[k] = displayKey(this, QRect(5, rows[k], 98, 66), 2, inputColour, 14);
        inputKeys[k + 4] = displayKey(this, QRect(696, rows[k], 98, 66), 2, inputColour, 14);
    }
    const int columns[7] = {19, 130, 242, 354, 465, 577, 689};
    for (int k = 0; k < 7; ++k) {
        softkeyKeys[k] = displayKey(this, QRect(columns[k], 430, 98, 45), 2, QColor(0, 204, 255), 12);
        softkeyButtons.insert(k, softkeyKeys[k]);
    }
    infoKeys[0] = displayKey(this, QRect(285, 116, 98, 66), 4, Qt::white, 14);
    infoKeys[1] = displayKey(this, QRect(418, 116, 98, 66), 4, Qt::white, 14);
    contactKeys[0] = displayKey(this, QRect(285, 225, 98, 66), 4, Qt::white, 14);
    contactKeys[1] = displayKey(this, QRect(418, 225, 98, 66), 4, Qt::white, 14);
    for (int index = 0; index < 2; ++index) {
        setInfoLabel(index, QString());
        setContactLabel(index, QString());
    }

    settingsKey = iconKey(this, QRect(555, 116, 98, 66), ":/images/settings.png");
    caption(this, QRect(555, 190, 98, 20), tr("Settings"));
    statusKey = iconKey(this, QRect(555, 225, 98, 66), ":/images/status.png");
    caption(this, QRect(555, 299, 98, 20), tr("Status"));
    mixingKey = iconKey(this, QRect(146, 116, 98, 66), ":/images/mixer.png");
    mixingCaption = caption(this, QRect(146, 190, 98, 20), tr("Mixing"));
    connect(settingsKey, &QPravikButton::clicked, this, &QPravikMainPage::page1Clicked);
    connect(statusKey, &QPravikButton::clicked, this, &QPravikMainPage::page2Clicked);
    connect(mixingKey, &QPravikButton::clicked, this, &QPravikMainPage::page3Clicked);
}

void QPravikMainPage::setProgramMode(int flags, int mode)
{
    if (statusPanel->modeFlags == flags && statusPanel->operationMode == mode)
        return;
    statusPanel->setProgramMode(flags, mode);
    banner->setProgramMode(flags, mode);
}

void QPravikMainPage::setLinkState(int line, int state)
{
    if (statusPanel->lines[line == 1 ? 0 : 1].linkState == state)
        return;
    statusPanel->setLinkState(line, state);
    banner->setLinkState(line, state);
}

void QPravikMainPage::refreshAudioConfig()
{
    matrixAudioConfigChanged(QPravik::Inputs(0));
    matrixAudioConfigChanged(QPravik::Inputs(1));
}

void QPravikMainPage::setLineTexts(int line, const QString& first, const QString& second)
{
    banner->setLineTexts(line, first, second);
}

void QPravikMainPage::setLineExtra(int line, const QString& extra)
{
    banner->setLineExtra(line, extra);
}

void QPravikMainPage::matrixAudioConfigChanged(QPravik::Inputs group)
{
    if (group != 0 && group != 1)
        return;
    const TMatrixSettings* matrix = frontPanelMatrixSettings();
    const TMatrixSettings::ProgramOutput held = matrix->programOutput(group);
    // Units of reduced hardware have no headphone input keys.
    const bool shown = !(frontPanelDevice()->deviceOptions() & kReducedHardwareOption);
    for (int k = 0; k < 4; ++k) {
        QPravikButton* key = inputKeys[4 * group + k];
        key->setText(matrix->inputName(int(held[std::size_t(k)]) - 1));
        key->setVisible(shown);
    }
}

void QPravikMainPage::matrixInputNameChanged(QPravik::Inputs input)
{
    for (int k = 0; k < 8; ++k) {
        if (headphoneKnobInputs[k] == input)
            inputKeys[k]->setText(frontPanelMatrixSettings()->inputName(input));
    }
}

void QPravikMainPage::softKeyFunctionChanged(QPravikSoftkey* softkey)
{
    QPravikButton* button = softkeyButtons.value(softkey->index());
    if (!button)
        return;
    const QPravikSoftkey* record = frontPanelSoftkey(softkey->index());
    button->setText(record->function() == 0 ? QString()
                                            : QPravikSoftkey::functionName(record->category(), record->function()));
}

void QPravikMainPage::infoLabelChanged(int index, const QString& text)
{
    setInfoLabel(index == 0 ? 0 : 1, text);
}

void QPravikMainPage::contactLabelChanged(int index, const QString& text)
{
    setContactLabel(index == 0 ? 0 : 1, text);
}

void QPravikMainPage::setInfoLabel(int index, const QString& text)
{
    const int k = index == 1 ? 1 : 0;
    infoKeys[k]->setText(!text.isEmpty() ? text : QStringLiteral("%1 %2").arg(tr("Info")).arg(k + 1));
}

void QPravikMainPage::setContactLabel(int index, const QString& text)
{
    const int k = index == 1 ? 1 : 0;
    contactNames[k] = text;
    showContact(k);
}

void QPravikMainPage::showContact(int k)
{
    const QString name =
        !contactNames[k].isEmpty() ? contactNames[k] : QStringLiteral("%1 %2").arg(tr("Contact")).arg(k + 1);
    contactKeys[k]->setText(name + QLatin1Char('\n') + (isOn(contactKeys[k]) ? tr("On") : tr("Off")));
}

bool QPravikMainPage::recolourRelay(QPravikButton* key, bool on)
{
    const QColor colour = on ? QColor(Qt::red) : QColor(Qt::white);
    if (key->palette().color(QPalette::WindowText) == colour)
        return false;
    setLampColours(key, QBrush(colour, Qt::NoBrush), colour);
    return true;
}

void QPravikMainPage::setRelayOutState(int index, bool on)
{
    recolourRelay(infoKeys[index == 1 ? 1 : 0], on);
}

void QPravikMainPage::setRelayInState(int index, bool on)
{
    const int k = index == 1 ? 1 : 0;
    if (recolourRelay(contactKeys[k], on))
        showContact(k);
}

void QPravikMainPage::soundIdClicked()
{
    TAudioSettings* audio = frontPanelAudioSettings();
    if (!audio->waveShortcut())
        return;
    // A refusal changes nothing shown: the lamp follows the model.
    settleWrite(this, audio->setWaveFile(audio->waveFile().empty() ? std::string(kSoundIdFile) : std::string(), true));
}

void QPravikMainPage::page1Clicked()
{
    panelWindow->pageActivated(QPravik::PageNetworkMenu);
}

void QPravikMainPage::page2Clicked()
{
    panelWindow->pageActivated(QPravik::PageStatusMenu);
}

void QPravikMainPage::page3Clicked()
{
    panelWindow->pageActivated(QPravik::PageAudio);
}

void QPravikMainPage::showEvent(QShowEvent* event)
{
    refreshAudioConfig();
    const bool mixing = currentAccessLevel != OperatorLevel;
    mixingKey->setVisible(mixing);
    mixingCaption->setVisible(mixing);
    QPravikBasePage::showEvent(event);
}
