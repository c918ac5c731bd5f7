#pragma once

#include <vector>

#include "panel/pages/qpravikbasepage.h"

class QPravikButton;
class QPravikConnPanel;
class TComAudioConnection;

// Page 2, the call page: one connection panel per line under the status
// strip. From it the operator dials or picks a number, places, confirms and
// releases a call, sets a running call's bit rate, switches auto redial and
// opens a line's coding or phone-book menu. It keeps no call state: the
// device model's connections are looked up again in every slot.
class QPravikConnectionPage : public QPravikBasePage
{
    Q_OBJECT
public:
    explicit QPravikConnectionPage(QPravikWindow* parent);

    void setProgramMode(int modeFlags, int operationMode) override;
    void setLinkState(int line, int state) override;

    // Line 1 or 2; other lines do nothing.
    void setLineStatus(int line, const QString& text);
    void setLineNote(int line, const QString& text);
    // Index -1 shows the text without storing it.
    void setLineText(int line, const QString& text, int index);
    // Line 1 or 2; null otherwise.
    QPravikConnPanel* panel(int line) const;

    // The current rate joins the unit's list where it fits: before the first
    // greater rate when the one before is smaller, or last when every rate is
    // smaller; never twice.
    static void mergeBitrate(std::vector<int>& rates, int current);

    QPravikConnPanel* panels[2] = {};
    QPravikButton* homeKey = nullptr;
    QPravikButton* networkKey = nullptr;

public slots:
    void pageActivated(QPravik::Page page);
    void codingClosed();
    void panelClicked();
    void messagePopupClosed();
    void dialClicked();
    void dialClosed();
    void histClicked();
    void histClosed();
    void autoRedialClicked();
    void page1Clicked();
    void page2Clicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setupUi();
    // The panel that sent the running signal; null for any other sender.
    QPravikConnPanel* senderPanel() const;
    // The panel a closing popup was opened for.
    QPravikConnPanel* popupPanel(void* item) const;
    TComAudioConnection* lineConnection(int line) const;
    // The device is ready, its default network valid and the line free.
    bool canDial(int line) const;
    // Stores and shows a number chosen for a line and tells the unit.
    void takeNumber(QPravikConnPanel* linePanel, const QString& number);
    void placeCall(QPravikConnPanel* linePanel);
    void openBitrates(QPravikConnPanel* linePanel, const TComAudioConnection* call);
};
