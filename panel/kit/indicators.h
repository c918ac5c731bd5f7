#pragma once

#include <QWidget>

// Display-only glyphs of the panel. Each paints itself on an erased background
// and repaints only when a stored value really changes: meters are fed twice a
// second, mostly with the values they already show.

// Audio level meter with peak hold, one or two bars. Levels count down from
// full scale: 0 lights the whole bar, 30 or more (99: no value) nothing.
class QPravikBars : public QWidget
{
    Q_OBJECT
public:
    explicit QPravikBars(QWidget* parent = nullptr);

    void setVertical(bool vertical);
    void setTwoBars(bool two);
    void setLevel(int level, bool immediate);
    void setLevels(int first, int second, bool immediate);

    int level(int bar = 0) const { return bars[bar ? 1 : 0].level; }
    int peak(int bar = 0) const { return bars[bar ? 1 : 0].peak; }

    // The status panel switches this itself and repaints.
    bool twoBars = false;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Bar {
        int level = 0;
        int peak = 30;
        int hold = 0;
    };
    bool feed(Bar& bar, int value, bool immediate) const;

    bool vertical = false;
    const int maximum = 30;
    Bar bars[2];
};

class QPravikBattery : public QWidget
{
    Q_OBJECT
public:
    // 0..100 percent, 120 charging, 140 on external power.
    explicit QPravikBattery(QWidget* parent = nullptr);
    void setLevel(int level);

    int level = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class QPravikNetQuality : public QWidget
{
    Q_OBJECT
public:
    explicit QPravikNetQuality(QWidget* parent = nullptr);
    // -1 (unknown, "?") .. 100.
    void setQuality(int quality);
    // 0 upward marker, 1 downward marker.
    void setDirection(int direction);

    int quality() const { return currentQuality; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int currentQuality = 100;
    int currentDirection = 0;
};

class QPravikSigQuality : public QWidget
{
    Q_OBJECT
public:
    explicit QPravikSigQuality(QWidget* parent = nullptr);
    // state 0 registered (white bars), 4 no SIM, 5 and 6 PIN/PUK wanted, other red bars.
    void setQuality(int state, int bars);

    int bars() const { return currentBars; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int currentState = -1;
    int currentBars = 0;
};

// Static data-activity arrows; the owner shows or hides it.
class QPravikDataActive : public QWidget
{
    Q_OBJECT
public:
    explicit QPravikDataActive(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
