#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include "panel/kit/popup.h"

class QPravikAudio;
class QPravikAudioInput;

// Picks the input (and panning) of a headphone slot, worked like the unit's
// encoder: '+' and '-' (or the wheel) turn through the entries with wrap,
// the select keys (or a right click) step the panning. OK hands out the
// shown entry's input; until then the choice is -1 (cancelled).
class QPravikHeadphoneSelect : public QPravikPopup
{
    Q_OBJECT
public:
    explicit QPravikHeadphoneSelect(QWidget* parent = nullptr);

    void addItem(int input, const QString& title);
    void removeItem(int input);
    // Shows the entry of that input; one not in the list leaves "Use encoder".
    void setCurrent(int input);

    int current = -1;
    int chosenInput = -1;
    int chosenPanning = 0;
    QList<QPair<int, QString>> items;
    // Its mode value is the shown entry's input (-1 none).
    QPravikAudio* display = nullptr;

public slots:
    void okClicked();
    void cancelClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void turn(int by);
    void stepPanning();
};

// Sets a headphone slot's gain and panning with a full strip.
class QPravikHeadphoneAudio : public QPravikPopup
{
    Q_OBJECT
public:
    explicit QPravikHeadphoneAudio(QWidget* parent = nullptr);

    bool accepted = false;
    QPravikAudioInput* strip = nullptr;

public slots:
    void okClicked();
    void cancelClicked();
};
