#pragma once

#include <QList>
#include <QWidget>

#include <cstdint>

#include "audio/matrixindex.h"
#include "panel/kit/statuspanel.h"
#include "panel/pages/panelshared.h"

class QAbstractButton;
class QLabel;
class QPravikButton;
class QPravikKnob;
class QPravikSwitch;
class TComController;

// Base of the four audio pages: the header (home button and compact status
// strip, which the window drives through the page), and what the three
// settings pages share: the tab bar, the input name buttons with their
// rename keyboard, and the routing switches, each standing for one cell of
// the routing matrix and following it.
class QPravikAudioWidget : public QWidget, public QPravikStatusForward
{
    Q_OBJECT
public:
    explicit QPravikAudioWidget(QWidget* parent = nullptr);

    // Lays the page out for the full hardware again. The window calls it
    // after each login, before the unit's state loads and lays it out anew.
    virtual void refresh() = 0;

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
    // A model value shown on a control: its signals are blocked, so showing
    // never writes.
    static void showValue(QPravikKnob* knob, int value);
    static void showChecked(QAbstractButton* button, bool checked);

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
    // Whether the page offers a routing switch now (its own rules: pairs,
    // input source). A switch is enabled only when offered and the unit's
    // firmware takes the key of its cell.
    void offerRoute(QPravikSwitch* button, bool offered);
    // Every routing switch enabled as offered and as the firmware takes it:
    // after each login, once the firmware is known.
    void gateRoutes();
    // Every name button and routing switch from the matrix, gates included.
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
        bool offered;
    };
    struct NameButton
    {
        QPravikButton* button;
        int input;
    };
    void readInputName(const NameButton& name);
    static void gateRoute(const Route& route);

    QList<Route> routes;
    QList<NameButton> nameButtons;
};
