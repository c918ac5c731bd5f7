#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QList>
#include <QPair>
#include <QString>

#include "panel/kit/rowlabel.h"

namespace QPravik {

// Where a source goes on the left/right output pair.
enum PanCtrl { PanNone = 0, PanLeft = 1, PanRight = 2, PanBoth = 3, PanStereo = 4 };

} // namespace QPravik

Q_DECLARE_METATYPE(QPravik::PanCtrl)

// Flat rectangular panel button with a rounded frame filled in the Window colour.
class QPravikButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit QPravikButton(QWidget* parent = nullptr);

    int borderWidth = 1;
    float cornerRadius = 15.0f;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class QPravikSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit QPravikSwitch(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class QPravikPair : public QAbstractButton
{
    Q_OBJECT
public:
    explicit QPravikPair(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Round knob: engaged by a click, turned with plus/minus or the mouse wheel.
class QPravikKnob : public QAbstractButton
{
    Q_OBJECT
public:
    explicit QPravikKnob(bool panning, QWidget* parent = nullptr, bool offersStereo = false);

    void setMinimum(int minimum, const QString& text = QString());
    void setMaximum(int maximum, const QString& text = QString());
    void setValue(int value);
    void setPanning(QPravik::PanCtrl pan);

    void addStep(int value, const QString& label);
    int indexOfValue(int value) const;
    int indexOfText(const QString& text) const;
    int valueAt(int index) const;
    QString textAt(int index) const;
    int stepCount() const { return steps.size(); }

    int value() const { return currentValue; }
    int minimum() const { return minValue; }
    int maximum() const { return maxValue; }
    QPravik::PanCtrl panning() const { return pan; }
    bool isPanningKnob() const { return panningKnob; }
    bool offersStereo() const { return stereo; }

    // 1: show the label of the step matching the value.
    int stepLabelMode = 0;

signals:
    void valueChanged(int value);
    void panningChanged(QPravik::PanCtrl pan);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString centreText() const;

    bool stereo;
    bool panningKnob;
    QPravik::PanCtrl pan = QPravik::PanNone;
    int currentValue = 0;
    int step = 1;
    int minValue = 0;
    int maxValue = 0;
    QString minText;
    QString maxText;
    QList<QPair<int, QString>> steps;
};

// Knob-like selector over 0..maximum whose value is confirmed by its owner.
class QPravikWheel : public QAbstractButton
{
    Q_OBJECT
public:
    explicit QPravikWheel(QWidget* parent = nullptr);

    void setMaximum(int maximum);
    void setValue(int value);

    int value() const { return currentValue; }
    int maximum() const { return maxValue; }

    // Losing the focus throws away a value the owner has not confirmed.
    bool revertOnLeave = false;

signals:
    void valueChanged(int value);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int currentValue = 0;
    int confirmedValue = 0;
    int maxValue = 0;
};

// Label that also shows where its source is panned.
class QPravikAudio : public QPravikRowLabel
{
    Q_OBJECT
public:
    explicit QPravikAudio(QWidget* parent = nullptr);

    void setMode(int mode) { currentMode = mode; }
    int mode() const { return currentMode; }
    void setPanning(QPravik::PanCtrl pan);
    QPravik::PanCtrl panning() const { return pan; }

signals:
    void panningChanged(QPravik::PanCtrl pan);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void keepTextOffMarks();

    int currentMode = -1;
    QPravik::PanCtrl pan = QPravik::PanNone;
};
