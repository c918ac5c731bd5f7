#pragma once

#include <QString>
#include <QWidget>

#include "panel/pages/panelshared.h"

class QLabel;
class QPravikButton;
class QPravikSwitch;

// The coloured box of a line's connection panel: title, note and remote party,
// with a phone icon for the call state. Its texts come from the unit and are
// shown as plain text.
class QPravikConnInfo : public QWidget
{
    Q_OBJECT
public:
    explicit QPravikConnInfo(QWidget* parent = nullptr);

    // The line's link state: colour and icon.
    void setState(int state);
    int state() const { return currentState; }
    // A width below 1 or a negative radius is refused.
    void setBorderWidth(int width);
    void setCornerRadius(float radius);

    QLabel* titleLabel = nullptr;
    QLabel* noteLabel = nullptr;
    QLabel* textLabel = nullptr;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int borderWidth = 1;
    float cornerRadius = 15.0f;
    int currentState = 0;
};

// One line's column on the connection page: state text, info box and the
// line's buttons. Keeps three texts for its owner and turns clicks into
// signals; the owner decides what they do.
class QPravikConnPanel : public QWidget
{
    Q_OBJECT
public:
    // line 1: program line; 2: coordination line.
    QPravikConnPanel(int line, QWidget* parent = nullptr);

    // Stored texts 0..2; any other index reads empty.
    QString text(int index) const;
    // Stores under 0..2 only, but shows the text in the info box in any case.
    void setText(const QString& text, int index);
    void clear();
    void setLinkState(int state);
    void setProgramMode(int modeFlags, int operationMode);

    const int line;
    int modeFlags = -1;
    int operationMode = -1;
    QString texts[3];
    QLabel* stateLabel = nullptr;
    QPravikConnInfo* info = nullptr;
    QPravikButton* bookButton = nullptr;
    QPravikButton* historyButton = nullptr;
    QPravikButton* dialButton = nullptr;
    QPravikButton* codingButton = nullptr;
    QLabel* autoRedialLabel = nullptr;
    QPravikSwitch* autoRedialSwitch = nullptr;

signals:
    void panelClicked();
    void dialClicked();
    void histClicked();
    void autoRedialClicked();
    void pageActivated(QPravik::Page page);

public slots:
    void bookClicked();
    void codingClicked();
};
