#pragma once

#include "panel/pages/qpravikheadphonewidget.h"

class QLabel;
class QPravikSwitch;

// Headphone positions 3 and 4: the strips of the base and four switches that
// let the position's outputs mirror position 1, position 2, the Program or
// the Coord output (output copies of the matrix model). The mirrored
// position goes to the unit as byte 0 of the position's program output.
class QPravikHeadphoneMirrorPage : public QPravikHeadphoneWidget
{
    Q_OBJECT
public:
    void refresh() override;

    // 1 and 2 mirror positions 1 and 2, 3 monitors Program, 4 Coord.
    QPravikSwitch* mirrorSwitch(int number) const
    {
        return number >= 1 && number <= 4 ? switches[number - 1] : nullptr;
    }
    int mirroredPosition() const { return monitorSource; }

public slots:
    void matrixAudioConfigChanged(QPravik::Inputs index);
    void switch1Clicked();
    void switch2Clicked();
    void switch3Clicked();
    void switch4Clicked();

protected:
    QPravikHeadphoneMirrorPage(int position, QWidget* parent);

    void pageDeviceStateChanged(TComDevice::DeviceState state) override;
    void pageMatrixLoaded() override;
    void inputSourceChanged() override;

private:
    void setupUi();
    // source 0: position 1, 1: position 2.
    void mirrorClicked(int source);
    // output 0: Program, 1: Coord.
    void monitorClicked(int output);
    void startMirror(int source);
    void setStripStates(int state, int except = -1);
    bool sendMirroredPosition();
    bool isMonitoring() const;

    // What a mirror switch changes, kept to put back when the unit refuses.
    struct Mirror
    {
        int source = -1;
        bool checked[2] = {};
        int copies[2] = {-1, -1}; // sources of the left and right outputs
        QList<QPair<QPravikAudioInput*, int>> states;
    };
    Mirror mirror() const;
    void restore(const Mirror& before);

    QPravikSwitch* switches[4] = {};
    QLabel* programLabel = nullptr;
    QLabel* coordLabel = nullptr;
    int monitorSource = -1; // -1 none, 0 position 1, 1 position 2
};

class QPravikHeadphone3Page : public QPravikHeadphoneMirrorPage
{
    Q_OBJECT
public:
    explicit QPravikHeadphone3Page(QWidget* parent = nullptr) : QPravikHeadphoneMirrorPage(2, parent) {}
};

class QPravikHeadphone4Page : public QPravikHeadphoneMirrorPage
{
    Q_OBJECT
public:
    explicit QPravikHeadphone4Page(QWidget* parent = nullptr) : QPravikHeadphoneMirrorPage(3, parent) {}
};
