#pragma once

#include <QList>
#include <QWidget>

#include <cstdint>

#include "audio/matrixindex.h"
#include "panel/kit/statuspanel.h"
#include "panel/pages/panelshared.h"

class QLabel;
class QPravikButton;
class QPravikSwitch;
class TComController;

// Base of the four audio pages: the header (home button and compact status
// strip, which the window drives through the page), and what the three
// settings pages share: the tab bar, the input name buttons with their
// rename keyboard, and the routing switches, each standing for one cell of
// the routing matrix and following it.
class QPravikAudioWidget : public QWidget, public IPravikStatusPanel
{
    Q_OBJECT
public:
    explicit QPravikAudioWidget(QWidget* parent = nullptr);

    // Lays the page out for the full hardware again. The window calls it
    // after each login, before the unit's state loads and lays it out anew.
    virtual void refresh() = 0;

    void setSoundIdState(int state) override { statusPanel->setSoundIdState(state); }
    void setBatteryLevel(int level) override { statusPanel->setBatteryLevel(level); }
    void setNetwork(int code, int generation) override { statusPanel->setNetwork(code, generation); }
    void setProgramMode(int flags, int mode) override { statusPanel->setProgramMode(flags, mode); }
    void setDataActive(bool active) override { statusPanel->setDataActive(active); }
    void setSignalQuality(int state, int bars) override { statusPanel->setSignalQuality(state, bars); }
    void setAudioLevels(int txL, int txR, int rxL, int rxR, int ou1, int ou2, bool immediate) override
    {
        statusPanel->setAudioLevels(txL, txR, rxL, rxR, ou1, ou2, immediate);
    }
    void setLinkState(int line, int state) override { statusPanel->setLinkState(line, state); }
    void setLinkQualityEnabled(int line, bool on) override { statusPanel->setLinkQualityEnabled(line, on); }
    void setLinkQuality(int line, int q1, int q2) override { statusPanel->setLinkQuality(line, q1, q2); }
    void setSipState(int line, int state) override { statusPanel->setSipState(line, state); }

    QPravikStatusPanel* statusPanel;
    QPravikButton* homeButton;

signals:
    void pageActivated(QPravik::Page page);

public slots:
    void pageClicked();

protected:
    // Option bits of the unit that change the pages.
    enum Option : std::uint32_t {
        RavennaModule = 0x4,
        AuxOrAes = 0x80,      // AUX 2 and the AES inputs are alternatives
        DanteModule = 0x400,
        ReducedHardware = 0x800 // no input 4, USB, AUX 2 or AES inputs
    };
    static std::uint32_t deviceOptions();
    static bool extendedMode();

    // Text colours: the page's own, grey for what the unit does not offer.
    static void setTextColour(QWidget* widget, const QColor& colour);
    static void setGrey(QWidget* widget, bool grey);

    QLabel* makeLabel(const QRect& geometry, const QString& text, int pixels, Qt::Alignment alignment,
                      QWidget* parent = nullptr);
    // A white button that asks the window for another page.
    QPravikButton* makePageButton(const QRect& geometry, const QString& text, QPravik::Page target);

    // The settings pages' tab bar; the page's own tab is outlined and inert.
    void createTabBar(QPravik::Page own);
    // A name button of a matrix input; a click opens the rename keyboard.
    QPravikButton* makeInputButton(int input, const QRect& geometry);
    // A routing switch for cell (input, output); a click sets the node. A
    // switch made not checkable stands for a route the unit does not offer:
    // its clicks write nothing.
    QPravikSwitch* makeRouteSwitch(int input, int output, int x, int y, QWidget* parent = nullptr);
    // Lets a switch stand for another cell and shows that cell.
    void setRouteCell(QPravikSwitch* button, int input, int output);
    // Every name button and routing switch from the matrix.
    void readMatrixControls();

    void showEvent(QShowEvent* event) override;

private slots:
    void buttonClicked();
    void popupClosed();
    void routeClicked();
    void matrixStateChanged(TComController* controller);
    void matrixInputNameChanged(QPravik::Inputs input);
    void matrixNodeChanged(QPravik::Inputs input, QPravik::Outputs output);

private:
    struct Route
    {
        QPravikSwitch* button;
        int input;
        int output;
    };
    struct NameButton
    {
        QPravikButton* button;
        int input;
    };
    void readInputName(const NameButton& name);

    QList<Route> routes;
    QList<NameButton> nameButtons;
};
