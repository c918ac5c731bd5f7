#pragma once

#include <QMap>
#include <QString>

#include "audio/matrixindex.h"
#include "panel/pages/qpravikbasepage.h"

class QLabel;
class QPravikBanner;
class QPravikButton;
class QPravikSoftkey;

// Page 1, the home page: the inputs of headphone positions 1 and 2 on the
// keys at either side, the softkeys' functions along the bottom, the relay
// keys, the call banner and the keys to the settings, status and mixing
// pages. It only shows model state; the sound-ID toggle is the one thing it
// sends.
class QPravikMainPage : public QPravikBasePage
{
    Q_OBJECT
public:
    explicit QPravikMainPage(QPravikWindow* parent);

    void setProgramMode(int modeFlags, int operationMode) override;
    void setLinkState(int line, int state) override;

    // After the routing matrix has loaded.
    void refreshAudioConfig();
    // Index 1: the second key; any other: the first.
    void setRelayOutState(int index, bool on);
    void setRelayInState(int index, bool on);
    void setLineTexts(int line, const QString& first, const QString& second);
    void setLineExtra(int line, const QString& extra);

    QMap<int, QPravikButton*> softkeyButtons;
    QString contactNames[2];
    QPravikBanner* banner = nullptr;
    QPravikButton* inputKeys[8] = {}; // left 1-4, then right 1-4
    QPravikButton* softkeyKeys[7] = {};
    QPravikButton* infoKeys[2] = {};
    QPravikButton* contactKeys[2] = {};
    QPravikButton* settingsKey = nullptr;
    QPravikButton* statusKey = nullptr;
    QPravikButton* mixingKey = nullptr;
    QLabel* mixingCaption = nullptr;

public slots:
    void matrixAudioConfigChanged(QPravik::Inputs group);
    void matrixInputNameChanged(QPravik::Inputs input);
    void softKeyFunctionChanged(QPravikSoftkey* key);
    void infoLabelChanged(int index, const QString& text);
    void contactLabelChanged(int index, const QString& text);
    void soundIdClicked();
    void page1Clicked();
    void page2Clicked();
    void page3Clicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setupUi();
    void setInfoLabel(int index, const QString& text);
    void setContactLabel(int index, const QString& text);
    // Red while on, white while off; false when the key already shows it.
    bool recolourRelay(QPravikButton* key, bool on);
    void showContact(int index);
};
