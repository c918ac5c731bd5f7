#include <QtTest>
#include <QtTest/qtestspontaneevent.h>

#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QWheelEvent>

#include <limits>

#include "panel/kit/controls.h"
#include "panel/kit/frontpanel.h"
#include "panel/kit/popup.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/panelshared.h"

namespace {

struct Posted {
    int kind;
    int key;
    int fromControl;
    bool operator==(const Posted& o) const { return kind == o.kind && key == o.key && fromControl == o.fromControl; }
};

// Stands in for the panel window: records what the kit posts to it.
class RecordingWindow : public QWidget
{
public:
    QList<Posted> events;

protected:
    void customEvent(QEvent* event) override
    {
        if (event->type() == QPravikEvent::EventType) {
            const auto* e = static_cast<QPravikEvent*>(event);
            events.append({e->kind, e->key, e->fromControl});
        }
    }
};

const QColor engagedBlue(0, 141, 233);

bool near(QColor a, QColor b, int tolerance = 40)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

// Pixel on the circle of radius `radius` around the centre of a 100 x 100
// control's face, at `angle` degrees clockwise from straight down.
QColor probe(const QImage& image, double angle, double radius)
{
    const double a = qDegreesToRadians(angle);
    const QPointF centre(49.5, 49.5);
    const QPointF at = centre + QPointF(-qSin(a), qCos(a)) * radius;
    return image.pixelColor(qRound(at.x()), qRound(at.y()));
}

void sendWheel(QWidget* w, int delta)
{
    QWheelEvent wheel(QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
}

// Key codes of the unit's own keys have no text; QTest cannot type them.
void sendKey(QWidget* w, QEvent::Type type, int key)
{
    QKeyEvent event(type, key, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void flushPosted()
{
    QCoreApplication::sendPostedEvents();
}

// Deferred deletion only runs from the event loop.
void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void preparePalette(QWidget* w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace

class PanelKitTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sharedValues();
    void versionPacking_data();
    void versionPacking();

    void idleKnobHandsKeysToWindow();
    void engagedKnobStepsWithinBounds();
    void knobWheelAndRightClick();
    void panningCycles_data();
    void panningCycles();
    void nothingPostedWithoutWindow();
    void knobSetters();
    void knobSteps();
    void knobCentreText_data();
    void knobCentreText();
    void knobFullIntRange();
    void wheelKeysAndRevert();
    void wheelSetters();
    void knobPointerAndRingColour();
    void emptyRangesPointAtStart();
    void imagesAreEmbedded();
    void switchShowsItsImage();
    void buttonAndAudioLook();

    void messageOkAndCancel();
    void messageTimeout();
    void messageWithoutButtonsClosesOnClick();
    void popupClosesOnClickOutside();
    void messageTimerRules();
    void popupForwardsKeys();

    void dialPadKeys();
    void keyboardLayouts();
    void keyboardEditing();
    void keyboardOutcome();

private:
    RecordingWindow* window = nullptr;
};

void PanelKitTest::init()
{
    window = new RecordingWindow;
    frontPanelWindow = window;
}

void PanelKitTest::cleanup()
{
    frontPanelWindow = nullptr;
    delete window;
    window = nullptr;
    runDeferredDeletes();
}

void PanelKitTest::sharedValues()
{
    QCOMPARE(unitFirmwareVersion, 0xFFFFFFu);
    QCOMPARE(currentAccessLevel, 0);
    const int inputs[8] = {1, 2, 3, 13, 0, 2, 3, 13};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(headphoneKnobInputs[i], inputs[i]);

    QPravikEvent deferred(QPravikEvent::DeferredMessage);
    QCOMPARE(int(deferred.type()), 1000);
    QCOMPARE(deferred.key, -1);
    QCOMPARE(deferred.fromControl, 0);
    QCOMPARE(int(QPravik::PageStatusMenu), 21);
    QCOMPARE(int(QPravik::PageHeadphone4), 10);
}

void PanelKitTest::versionPacking_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("packed");
    QTest::newRow("build number ignored") << "2.00.0.5197" << 0x00020000u;
    QTest::newRow("zero-padded minor is decimal") << "2.08.1" << 0x00020801u;
    QTest::newRow("two-digit minor") << "2.10.3" << 0x00020A03u;
    QTest::newRow("two parts") << "3.1" << 0x00030100u;
    QTest::newRow("one part") << "7" << 0x00070000u;
    QTest::newRow("empty") << "" << 0u;
    QTest::newRow("no leading number") << "v2.1.0" << 0u;
    QTest::newRow("low byte only") << "300.1.2" << ((300u & 0xFFu) << 16 | 0x0102u);
    QTest::newRow("hexadecimal part") << "0x1A.2.3" << 0x001A0203u;
    QTest::newRow("leading blanks") << "  1.2.3" << 0x00010203u;
    QTest::newRow("missing part stops") << "2..3" << 0x00020000u;
    QTest::newRow("trailing separator") << "1.2." << 0x00010200u;
    QTest::newRow("other separator") << "1-14-0" << 0x00010E00u;
}

void PanelKitTest::versionPacking()
{
    QFETCH(QString, text);
    QFETCH(uint, packed);
    QCOMPARE(parseVersionString(text.toStdString()), std::uint32_t(packed));
}

void PanelKitTest::idleKnobHandsKeysToWindow()
{
    QPravikKnob knob(false);
    knob.setMaximum(10);
    QSignalSpy changed(&knob, &QPravikKnob::valueChanged);

    QTest::keyPress(&knob, Qt::Key_Plus);
    QTest::keyRelease(&knob, Qt::Key_Plus);
    QVERIFY(window->events.isEmpty()); // posted, not sent
    flushPosted();

    QCOMPARE(window->events.size(), 2);
    QCOMPARE(window->events.at(0), (Posted{6, Qt::Key_Plus, 1}));
    QCOMPARE(window->events.at(1), (Posted{7, Qt::Key_Plus, 1}));
    QCOMPARE(knob.value(), 0);
    QCOMPARE(changed.count(), 0);
}

void PanelKitTest::engagedKnobStepsWithinBounds()
{
    QPravikKnob knob(false);
    knob.resize(100, 100);
    knob.setMinimum(-2);
    knob.setMaximum(1);
    knob.setValue(0);
    knob.show();
    knob.setChecked(true);
    QSignalSpy changed(&knob, &QPravikKnob::valueChanged);

    QTest::keyClick(&knob, Qt::Key_Plus);
    QCOMPARE(knob.value(), 1);
    QTest::keyPress(&knob, Qt::Key_Plus); // at the maximum: swallowed
    QCOMPARE(knob.value(), 1);
    QTest::keyClick(&knob, Qt::Key_Minus);
    QTest::keyClick(&knob, Qt::Key_Minus);
    QTest::keyClick(&knob, Qt::Key_Minus);
    QTest::keyPress(&knob, Qt::Key_Minus); // at the minimum: swallowed
    QCOMPARE(knob.value(), -2);
    QCOMPARE(changed.count(), 4);
    QCOMPARE(changed.last().first().toInt(), -2);

    // The select key does nothing on a knob without panning; other keys go on.
    QTest::keyPress(&knob, Qt::Key_Enter);
    QTest::keyPress(&knob, Qt::Key_F3);
    flushPosted();
    QList<Posted> presses;
    int releases = 0;
    for (const Posted& p : window->events) {
        if (p.kind == 6)
            presses.append(p);
        else if (p.kind == 7 && p.fromControl == 1)
            ++releases;
    }
    QCOMPARE(presses.size(), 1);
    QCOMPARE(presses.first(), (Posted{6, Qt::Key_F3, 1}));
    QCOMPARE(releases, 4); // the engaged knob still passes every release
}

void PanelKitTest::knobWheelAndRightClick()
{
    QPravikKnob knob(true);
    knob.resize(100, 100);
    knob.setMaximum(5);
    knob.show();
    QSignalSpy changed(&knob, &QPravikKnob::valueChanged);
    QSignalSpy panned(&knob, &QPravikKnob::panningChanged);

    // Idle: wheel and right click become keys for the window.
    sendWheel(&knob, 120);
    QTest::mousePress(&knob, Qt::RightButton);
    QTest::mouseRelease(&knob, Qt::RightButton);
    flushPosted();
    QCOMPARE(window->events.size(), 2);
    QCOMPARE(window->events.at(0), (Posted{6, Qt::Key_Plus, 1}));
    QCOMPARE(window->events.at(1), (Posted{6, Qt::Key_Enter, 1}));
    QVERIFY(!knob.isChecked());

    // A left click engages.
    QTest::mouseClick(&knob, Qt::LeftButton);
    QVERIFY(knob.isChecked());
    sendWheel(&knob, 120);
    sendWheel(&knob, 120);
    sendWheel(&knob, -120);
    QCOMPARE(knob.value(), 1);
    QCOMPARE(changed.count(), 3);

    QTest::mousePress(&knob, Qt::RightButton);
    QCOMPARE(knob.panning(), QPravik::PanBoth);
    QCOMPARE(panned.count(), 1);
    QCOMPARE(panned.first().first().value<QPravik::PanCtrl>(), QPravik::PanBoth);
    QVERIFY(knob.isChecked()); // the right button does not toggle
    window->events.clear();
    flushPosted();
    QVERIFY(window->events.isEmpty());
}

void PanelKitTest::panningCycles_data()
{
    QTest::addColumn<bool>("stereo");
    QTest::addColumn<QList<int>>("cycle");
    // A knob starts at 0 (none).
    QTest::newRow("stereo") << true << QList<int>{4, 3, 1, 2, 0, 4, 3};
    QTest::newRow("no stereo") << false << QList<int>{3, 1, 2, 0, 3, 1};
}

void PanelKitTest::panningCycles()
{
    QFETCH(bool, stereo);
    QFETCH(QList<int>, cycle);
    QPravikKnob knob(true, nullptr, stereo);
    knob.show();
    knob.setChecked(true);
    QList<int> seen;
    for (int i = 0; i < cycle.size(); ++i) {
        sendKey(&knob, QEvent::KeyPress, i % 2 ? int(Qt::Key_Return) : 0x160);
        seen.append(knob.panning());
    }
    QCOMPARE(seen, cycle);

    knob.setPanning(QPravik::PanStereo);
    QTest::keyPress(&knob, Qt::Key_Enter);
    QCOMPARE(knob.panning(), QPravik::PanBoth);
}

void PanelKitTest::nothingPostedWithoutWindow()
{
    QPravikKnob knob(false);
    QPravikWheel wheel;
    frontPanelWindow = nullptr;
    QTest::keyClick(&knob, Qt::Key_Plus);
    QTest::keyClick(&wheel, Qt::Key_Minus);
    flushPosted();
    QVERIFY(window->events.isEmpty());

    // A window that is gone is treated as no window.
    auto* gone = new RecordingWindow;
    frontPanelWindow = gone;
    delete gone;
    QVERIFY(frontPanelWindow.isNull());
    QTest::keyClick(&knob, Qt::Key_Plus);
    flushPosted();
}

void PanelKitTest::knobSetters()
{
    QPravikKnob knob(false);
    QSignalSpy changed(&knob, &QPravikKnob::valueChanged);
    knob.setMaximum(10, QStringLiteral("Max"));
    knob.setValue(4); // invisible: stored silently
    QCOMPARE(knob.value(), 4);
    QCOMPARE(changed.count(), 0);

    knob.show();
    knob.setValue(50);
    QCOMPARE(knob.value(), 10);
    QCOMPARE(changed.count(), 1);
    knob.setValue(10);
    QCOMPARE(changed.count(), 1);

    knob.setMaximum(8);
    QCOMPARE(knob.value(), 8);
    knob.setMinimum(-3);
    knob.setValue(-20);
    QCOMPARE(knob.value(), -3);
    knob.setMinimum(2);
    QCOMPARE(knob.value(), 2);
    QCOMPARE(changed.count(), 2); // 10 and -3; the bounds moved the value silently

    QPravikKnob plain(false);
    plain.show();
    QSignalSpy panned(&plain, &QPravikKnob::panningChanged);
    plain.setPanning(QPravik::PanLeft);
    QCOMPARE(plain.panning(), QPravik::PanNone);
    QCOMPARE(panned.count(), 0);

    QPravikKnob pan(true);
    QSignalSpy panSpy(&pan, &QPravikKnob::panningChanged);
    pan.setPanning(QPravik::PanLeft); // hidden: stored silently
    QCOMPARE(pan.panning(), QPravik::PanLeft);
    QCOMPARE(panSpy.count(), 0);
    pan.show();
    pan.setPanning(QPravik::PanRight);
    pan.setPanning(QPravik::PanRight);
    QCOMPARE(panSpy.count(), 1);
}

void PanelKitTest::knobSteps()
{
    QPravikKnob knob(false);
    knob.addStep(0, QStringLiteral("Off"));
    knob.addStep(5, QStringLiteral("Low"));
    knob.addStep(9, QStringLiteral("High"));
    // A second layout pass adds the same steps again.
    knob.addStep(0, QStringLiteral("Off"));
    knob.addStep(5, QStringLiteral("Low"));
    QCOMPARE(knob.stepCount(), 3);
    knob.addStep(5, QStringLiteral("Medium"));
    QCOMPARE(knob.stepCount(), 4);

    QCOMPARE(knob.indexOfValue(5), 1);
    QCOMPARE(knob.indexOfValue(7), -1);
    QCOMPARE(knob.indexOfText(QStringLiteral("High")), 2);
    QCOMPARE(knob.indexOfText(QStringLiteral("none")), -1);
    QCOMPARE(knob.valueAt(2), 9);
    QCOMPARE(knob.valueAt(4), -1);
    QCOMPARE(knob.valueAt(-1), -1);
    QCOMPARE(knob.textAt(3), QStringLiteral("Medium"));
    QCOMPARE(knob.textAt(-5), QString());
    QCOMPARE(knob.textAt(99), QString());
}

void PanelKitTest::knobCentreText_data()
{
    QTest::addColumn<QString>("minText");
    QTest::addColumn<QString>("maxText");
    QTest::addColumn<int>("labelMode");
    QTest::addColumn<int>("stepValue");
    QTest::addColumn<QString>("shown");
    // The knob sits at 5, on both bounds; its one step is labelled "Low".
    QTest::newRow("number") << "" << "" << 0 << 5 << "5";
    QTest::newRow("minimum text first") << "Off" << "Full" << 1 << 5 << "Off";
    QTest::newRow("maximum text before label") << "" << "Full" << 1 << 5 << "Full";
    QTest::newRow("step label") << "" << "" << 1 << 5 << "Low";
    QTest::newRow("labels off") << "" << "" << 0 << 5 << "5";
    QTest::newRow("no matching step") << "" << "" << 1 << 3 << "5";
}

void PanelKitTest::knobCentreText()
{
    QFETCH(QString, minText);
    QFETCH(QString, maxText);
    QFETCH(int, labelMode);
    QFETCH(int, stepValue);
    QFETCH(QString, shown);

    // A knob with an empty range draws its pointer alike, so two knobs differ
    // only by their centre text; the reference shows `shown` as its minimum text.
    auto render = [](const QString& min, const QString& max, int mode, int step) {
        QPravikKnob knob(false);
        knob.resize(100, 100);
        knob.setMaximum(5, max);
        knob.setMinimum(5, min);
        if (step >= 0)
            knob.addStep(step, QStringLiteral("Low"));
        knob.stepLabelMode = mode;
        return knob.grab().toImage();
    };
    const QImage image = render(minText, maxText, labelMode, stepValue);
    QCOMPARE(image, render(shown, QString(), 0, -1));
    if (shown != QLatin1String("5"))
        QVERIFY(image != render(QString(), QString(), 0, -1));
}

void PanelKitTest::knobFullIntRange()
{
    QWidget host;
    auto* knob = new QPravikKnob(false, &host);
    knob->setGeometry(0, 0, 100, 100);
    preparePalette(&host);
    knob->setMinimum(std::numeric_limits<int>::min());
    knob->setMaximum(std::numeric_limits<int>::max());
    host.show();
    knob->setChecked(true);

    QImage image = knob->grab().toImage(); // 0 is the middle: straight up
    QVERIFY(near(probe(image, 180, 47), Qt::white));

    knob->setValue(std::numeric_limits<int>::max());
    QTest::keyPress(knob, Qt::Key_Plus);
    QCOMPARE(knob->value(), std::numeric_limits<int>::max());
    image = knob->grab().toImage();
    QVERIFY(near(probe(image, 330, 47), Qt::white));

    knob->setValue(std::numeric_limits<int>::min());
    QTest::keyPress(knob, Qt::Key_Minus);
    QCOMPARE(knob->value(), std::numeric_limits<int>::min());
    image = knob->grab().toImage();
    QVERIFY(near(probe(image, 30, 47), Qt::white));
}

void PanelKitTest::wheelKeysAndRevert()
{
    QWidget host;
    auto* wheel = new QPravikWheel(&host);
    auto* other = new QPravikKnob(false, &host);
    wheel->setGeometry(0, 0, 100, 100);
    other->setGeometry(100, 0, 100, 100);
    wheel->setMaximum(3);
    wheel->setValue(1);
    wheel->revertOnLeave = true;
    host.show();
    host.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&host));
    QSignalSpy changed(wheel, &QPravikWheel::valueChanged);

    QTest::mouseClick(wheel, Qt::LeftButton);
    QVERIFY(wheel->isChecked());
    QVERIFY(wheel->hasFocus());
    QTest::keyClick(wheel, Qt::Key_Plus);
    QTest::keyClick(wheel, Qt::Key_Plus);
    QTest::keyPress(wheel, Qt::Key_Plus); // at the maximum: swallowed
    QCOMPARE(wheel->value(), 3);
    QCOMPARE(changed.count(), 2);
    sendWheel(wheel, -120);
    QCOMPARE(wheel->value(), 2);

    other->setFocus(Qt::MouseFocusReason);
    QVERIFY(!wheel->isChecked());
    QCOMPARE(wheel->value(), 1); // unconfirmed value thrown away

    // Without revert the turned value stays; at 0 minus is swallowed.
    wheel->revertOnLeave = false;
    wheel->setFocus(Qt::MouseFocusReason);
    wheel->setChecked(true);
    QTest::keyClick(wheel, Qt::Key_Minus);
    QTest::keyPress(wheel, Qt::Key_Minus);
    QCOMPARE(wheel->value(), 0);
    other->setFocus(Qt::MouseFocusReason);
    QCOMPARE(wheel->value(), 0);

    flushPosted();
    window->events.clear();
    QTest::keyPress(wheel, Qt::Key_Plus); // idle: to the window
    QTest::keyRelease(wheel, Qt::Key_Plus);
    flushPosted();
    QCOMPARE(window->events.size(), 2);
    QCOMPARE(window->events.at(0), (Posted{6, Qt::Key_Plus, 1}));
    QCOMPARE(window->events.at(1), (Posted{7, Qt::Key_Plus, 1}));
}

void PanelKitTest::wheelSetters()
{
    QPravikWheel wheel;
    wheel.show();
    QSignalSpy changed(&wheel, &QPravikWheel::valueChanged);
    wheel.setValue(2); // above the maximum 0: ignored
    QCOMPARE(wheel.value(), 0);
    wheel.setMaximum(5);
    wheel.setValue(4);
    wheel.setValue(-1);
    QCOMPARE(wheel.value(), 4);
    wheel.setMaximum(2);
    QCOMPARE(wheel.value(), 2);
    QCOMPARE(changed.count(), 0);

    // The lowered maximum is also the value the wheel reverts to.
    wheel.revertOnLeave = true;
    wheel.setChecked(true);
    QTest::keyClick(&wheel, Qt::Key_Minus);
    QCOMPARE(wheel.value(), 1);
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QApplication::sendEvent(&wheel, &out);
    QCOMPARE(wheel.value(), 2);
}

void PanelKitTest::knobPointerAndRingColour()
{
    QWidget host;
    auto* knob = new QPravikKnob(false, &host);
    auto* other = new QPravikKnob(false, &host);
    knob->setGeometry(0, 0, 100, 100);
    other->setGeometry(100, 0, 100, 100);
    preparePalette(&host);
    knob->setMaximum(10);
    host.show();
    host.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&host));

    // Minimum: lower left; the pointer crosses the ring.
    QImage image = knob->grab().toImage();
    QVERIFY(near(probe(image, 30, 47), Qt::white));
    QVERIFY(near(probe(image, 30, 39), Qt::white));
    QVERIFY(near(probe(image, 330, 47), Qt::black));
    QVERIFY(near(probe(image, 180, 43), Qt::white)); // the ring itself

    knob->setValue(10); // maximum: lower right
    image = knob->grab().toImage();
    QVERIFY(near(probe(image, 330, 47), Qt::white));
    QVERIFY(near(probe(image, 30, 47), Qt::black));

    knob->setValue(5); // middle: straight up
    image = knob->grab().toImage();
    QVERIFY(near(probe(image, 180, 47), Qt::white));
    QVERIFY(near(probe(image, 90, 47), Qt::black));

    // Engaged (focused and checked): blue ring and pointer.
    QTest::mouseClick(knob, Qt::LeftButton);
    QVERIFY(knob->hasFocus() && knob->isChecked());
    image = knob->grab().toImage();
    QVERIFY(near(probe(image, 90, 43), engagedBlue));
    QVERIFY(near(probe(image, 180, 47), engagedBlue));

    // Checked without focus is not engaged.
    other->setFocus(Qt::MouseFocusReason);
    knob->setChecked(true);
    image = knob->grab().toImage();
    QVERIFY(near(probe(image, 90, 43), Qt::white));

    knob->setEnabled(false);
    image = knob->grab().toImage();
    QVERIFY(near(probe(image, 90, 43), QColor(Qt::darkGray)));
}

void PanelKitTest::emptyRangesPointAtStart()
{
    QWidget host;
    auto* knob = new QPravikKnob(false, &host);
    auto* wheel = new QPravikWheel(&host);
    knob->setGeometry(0, 0, 100, 100);
    wheel->setGeometry(100, 0, 100, 100);
    preparePalette(&host);
    knob->setMinimum(4);
    knob->setMaximum(4);
    host.show();

    QImage image = knob->grab().toImage();
    QVERIFY(near(probe(image, 30, 47), Qt::white));
    QVERIFY(near(probe(image, 180, 47), Qt::black));
    image = wheel->grab().toImage();
    QVERIFY(near(probe(image, 30, 47), Qt::white));
    QVERIFY(near(probe(image, 180, 47), Qt::black));

    wheel->setMaximum(4);
    wheel->setValue(4);
    image = wheel->grab().toImage();
    QVERIFY(near(probe(image, 330, 47), Qt::white));
}

void PanelKitTest::imagesAreEmbedded()
{
    const QStringList names = {
        "Kandelo", "action", "audio", "back", "book", "call-history", "check", "coding",
        "copy", "dialpad", "exit-menu", "headphone-black", "headphone-white", "home",
        "input-settings", "message", "mixer", "navleft", "navright", "network", "pair_off",
        "pair_on", "phone-call", "phone-hangup", "refresh", "settings", "shutdown", "status",
        "switch_off", "switch_on", "tools"};
    QCOMPARE(names.size(), 31);
    for (const QString& name : names) {
        const QImage image(QStringLiteral(":/images/%1.png").arg(name));
        QVERIFY2(!image.isNull(), qPrintable(name));
    }
    QCOMPARE(QImage(":/images/switch_on.png").size(), QSize(60, 34));
    QCOMPARE(QImage(":/images/pair_on.png").size(), QSize(50, 40));
    QCOMPARE(QImage(":/images/navright.png").size(), QSize(34, 34));
}

void PanelKitTest::switchShowsItsImage()
{
    QPravikSwitch sw;
    sw.setCheckable(true);
    sw.resize(60, 34);
    const QImage off = sw.grab().toImage();
    sw.setChecked(true);
    const QImage on = sw.grab().toImage();
    const QImage onImage(":/images/switch_on.png");
    QCOMPARE(on.pixelColor(10, 17).rgb(), onImage.pixelColor(10, 17).rgb());
    QVERIFY(on != off);
}

namespace {

int countNear(const QImage& image, const QRect& area, const QColor& color)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (near(image.pixelColor(x, y), color, 60))
                ++n;
    return n;
}

} // namespace

void PanelKitTest::buttonAndAudioLook()
{
    QWidget host;
    preparePalette(&host);
    auto* solid = new QPravikButton(&host);
    auto* outline = new QPravikButton(&host);
    solid->setGeometry(0, 0, 98, 66);
    outline->setGeometry(100, 0, 98, 66);
    solid->borderWidth = 4;
    QPalette white = solid->palette();
    white.setColor(QPalette::Window, Qt::white);
    solid->setPalette(white);
    white.setBrush(QPalette::Window, QBrush(Qt::white, Qt::NoBrush));
    outline->setPalette(white);
    outline->borderWidth = 2;
    outline->cornerRadius = 0.0f;
    auto* audio = new QPravikAudio(&host);
    audio->setGeometry(0, 100, 120, 40);
    QFont font = audio->font();
    font.setPixelSize(30);
    audio->setFont(font);
    host.resize(240, 160);
    host.show();

    QImage image = solid->grab().toImage();
    QVERIFY(near(image.pixelColor(49, 33), Qt::white));
    image = outline->grab().toImage();
    QVERIFY(near(image.pixelColor(49, 33), Qt::black)); // no fill: only the frame
    QVERIFY(near(image.pixelColor(0, 33), Qt::white));

    QSignalSpy panned(audio, &QPravikAudio::panningChanged);
    audio->setMode(2);
    QCOMPARE(audio->mode(), 2);
    audio->setPanning(QPravik::PanLeft);
    QCOMPARE(panned.count(), 1);
    image = audio->grab().toImage();
    QVERIFY(countNear(image, QRect(0, 0, 60, 40), Qt::green) > 0);
    QCOMPARE(countNear(image, QRect(60, 0, 60, 40), Qt::red), 0);

    audio->setPanning(QPravik::PanStereo); // both marks
    image = audio->grab().toImage();
    QVERIFY(countNear(image, QRect(0, 0, 60, 40), Qt::green) > 0);
    QVERIFY(countNear(image, QRect(60, 0, 60, 40), Qt::red) > 0);

    audio->hide();
    audio->setPanning(QPravik::PanRight);
    QCOMPARE(audio->panning(), QPravik::PanRight);
    QCOMPARE(panned.count(), 2);
}

void PanelKitTest::messageOkAndCancel()
{
    QWidget page;
    page.resize(800, 480);
    page.show();

    for (bool ok : {true, false}) {
        QPointer<QPravikMessage> box = new QPravikMessage(QStringLiteral("Apply?"), 3, &page);
        QVERIFY(box->cancelButton && box->okButton);
        QCOMPARE(box->cancelButton->text(), QStringLiteral("Cancel"));
        QCOMPARE(box->okButton->text(), QStringLiteral("OK"));
        QCOMPARE(box->size(), QSize(400, 180));
        int outcome = -1;
        connect(box.data(), &QPravikPopup::popupClosed, this, [&outcome, &box] { outcome = box->cancelled; });
        box->popup();
        QVERIFY(box->isVisible());
        QVERIFY(box->cancelButton->geometry().x() < box->okButton->geometry().x());
        QTest::mouseClick(ok ? box->okButton : box->cancelButton, Qt::LeftButton);
        QCOMPARE(outcome, ok ? 0 : 1);
        QVERIFY(box); // the opener may still read it in its slot
        runDeferredDeletes();
        QVERIFY(box.isNull());
    }
}

void PanelKitTest::messageTimeout()
{
    QPointer<QPravikMessage> box = new QPravikMessage(QStringLiteral("Connecting"), 1, nullptr);
    QSignalSpy closed(box.data(), &QPravikPopup::popupClosed);
    int outcome = -1;
    connect(box.data(), &QPravikPopup::popupClosed, this, [&outcome, &box] { outcome = box->cancelled; });
    box->autoCloseMs = 20;
    box->show();
    QVERIFY(box->timer.isActive());
    QCOMPARE(box->autoCloseMs, 0);
    QVERIFY(closed.wait(5000));
    QCOMPARE(outcome, 1);
    runDeferredDeletes();
    QVERIFY(box.isNull());
}

void PanelKitTest::messageWithoutButtonsClosesOnClick()
{
    QPointer<QPravikMessage> box = new QPravikMessage(QStringLiteral("Please wait"), 0, nullptr);
    QVERIFY(!box->cancelButton && !box->okButton);
    QSignalSpy closed(box.data(), &QPravikPopup::popupClosed);
    box->popup();
    QCOMPARE(QWidget::mouseGrabber(), box.data());
    QTest::mouseClick(box.data(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(closed.count(), 1);
    QCOMPARE(box->cancelled, 1);
    runDeferredDeletes();
    QVERIFY(box.isNull());
    QVERIFY(!QWidget::mouseGrabber());

    // Closed twice before its deletion, a box reports its outcome once.
    QPointer<QPravikMessage> unshown = new QPravikMessage(QStringLiteral("Please wait"), 1, nullptr);
    QSignalSpy unshownClosed(unshown.data(), &QPravikPopup::popupClosed);
    unshown->close();
    unshown->close();
    QCOMPARE(unshownClosed.count(), 1);
    runDeferredDeletes();
    QVERIFY(unshown.isNull());
}

void PanelKitTest::popupClosesOnClickOutside()
{
    QWidget page;
    page.resize(800, 480);
    page.show();
    QPointer<QPravikMessage> box = new QPravikMessage(QStringLiteral("Apply?"), 3, &page);
    QSignalSpy closed(box.data(), &QPravikPopup::popupClosed);
    int outcome = -1;
    connect(box.data(), &QPravikPopup::popupClosed, this, [&outcome, &box] { outcome = box->cancelled; });
    box->move(200, 150);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.data()));
    QTest::mouseClick(box->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(-50, -50));
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(outcome, 1);
    runDeferredDeletes();
    QVERIFY(box.isNull());
}

namespace {

// Lets a test hand the box a show event as the window system would.
class ShownMessage : public QPravikMessage
{
public:
    using QPravikMessage::QPravikMessage;
    void deliverShow(QShowEvent* event) { showEvent(event); }
};

} // namespace

void PanelKitTest::messageTimerRules()
{
    auto* box = new ShownMessage(QStringLiteral("one"), 1, nullptr);
    box->autoCloseMs = 60000;
    box->show();
    QVERIFY(box->timer.isActive());

    // Same text: the running timer is left alone.
    box->setMessage(QStringLiteral("one"));
    QVERIFY(box->timer.isActive());
    // New text without a new time: stops it.
    box->setMessage(QStringLiteral("two"));
    QVERIFY(!box->timer.isActive());
    // New text with a time: starts it and consumes the time.
    box->autoCloseMs = 60000;
    box->setMessage(QStringLiteral("three"));
    QVERIFY(box->timer.isActive());
    QCOMPARE(box->autoCloseMs, 0);
    QCOMPARE(box->label->text(), QStringLiteral("three"));
    box->timer.stop();
    // Same text with a new time while showing: the time still runs.
    box->autoCloseMs = 60000;
    box->setMessage(QStringLiteral("three"));
    QVERIFY(box->timer.isActive());
    QCOMPARE(box->autoCloseMs, 0);
    box->timer.stop();

    // A hidden box keeps a time given with the same text for its next show.
    box->hide();
    box->autoCloseMs = 60000;
    box->setMessage(QStringLiteral("three"));
    QVERIFY(!box->timer.isActive());
    QCOMPARE(box->autoCloseMs, 60000);

    // The window system re-showing the box starts nothing.
    QShowEvent spontaneous;
    QSpontaneKeyEvent::setSpontaneous(&spontaneous);
    box->deliverShow(&spontaneous);
    QVERIFY(!box->timer.isActive());
    QCOMPARE(box->autoCloseMs, 60000);
    box->show();
    QVERIFY(box->timer.isActive());
    box->close();
    runDeferredDeletes();
}

void PanelKitTest::popupForwardsKeys()
{
    QPointer<QPravikMessage> box = new QPravikMessage(QStringLiteral("Key"), 1, nullptr);
    box->show();
    sendKey(box.data(), QEvent::KeyPress, 257);
    sendKey(box.data(), QEvent::KeyRelease, 257);
    flushPosted();
    QCOMPARE(window->events.size(), 2);
    QCOMPARE(window->events.at(0), (Posted{6, 257, 0}));
    QCOMPARE(window->events.at(1), (Posted{7, 257, 0}));
    QVERIFY(box->isVisible());

    frontPanelWindow = nullptr;
    sendKey(box.data(), QEvent::KeyPress, 261);
    sendKey(box.data(), QEvent::KeyRelease, 261);
    flushPosted();
    QCOMPARE(window->events.size(), 2);
    box->close();
    runDeferredDeletes();
    QVERIFY(box.isNull());
}

namespace {

QStringList visibleLabels(const QPravikVirtual& keyboard)
{
    QStringList labels;
    for (QPravikButton* key : keyboard.keys)
        labels.append(key->isVisibleTo(&keyboard) ? key->text() : QString());
    return labels;
}

} // namespace

void PanelKitTest::dialPadKeys()
{
    auto* pad = new QPravikVirtual(0, nullptr);
    QList<int> hidden;
    int shown = 0;
    for (int i = 0; i < 32; ++i) {
        QCOMPARE(pad->keys[i]->property("vkb_button").toInt(), i);
        if (pad->keys[i]->isVisibleTo(pad))
            ++shown;
        else
            hidden.append(i);
    }
    QCOMPARE(shown, 21);
    QCOMPARE(hidden, (QList<int>{0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 26}));
    QCOMPARE(pad->keys[30]->geometry(), QRect(488, 310, 64, 64));

    pad->keys[30]->click();
    pad->keys[5]->click();
    pad->keys[9]->click();
    QCOMPARE(pad->lineEdit.text(), QStringLiteral("01+"));

    // "Abc" turns the pad into a full keyboard for good, with a wide space bar.
    QCOMPARE(pad->keys[29]->text(), QStringLiteral("Abc"));
    pad->keys[29]->click();
    QCOMPARE(pad->fullKeyboard, 1);
    QCOMPARE(pad->layout, 0);
    QCOMPARE(pad->keys[30]->geometry(), QRect(248, 310, 384, 64));
    QCOMPARE(pad->keys[30]->text(), QStringLiteral(" "));
    QCOMPARE(pad->keys[0]->text(), QStringLiteral("q"));
    QVERIFY(pad->keys[0]->isVisibleTo(pad));
    pad->keys[29]->click(); // "12!?"
    pad->keys[29]->click(); // "Abc"
    QCOMPARE(pad->keys[30]->geometry(), QRect(248, 310, 384, 64));
    QCOMPARE(pad->fullKeyboard, 1);
    delete pad;
}

void PanelKitTest::keyboardLayouts()
{
    QPravikVirtual keyboard(1, nullptr);
    QStringList labels = visibleLabels(keyboard);
    QCOMPARE(labels.mid(0, 10).join(QString()), QStringLiteral("qwertyuiop"));
    QCOMPARE(labels.mid(10, 10).join(QString()), QStringLiteral("asdfghjklz"));
    QCOMPARE(labels.mid(20, 6).join(QString()), QStringLiteral("xcvbnm"));
    QCOMPARE(labels.mid(26), (QStringList{"Caps", "Backspace", "Cancel", "12!?", " ", "OK"}));
    QCOMPARE(keyboard.keys[27]->geometry(), QRect(648, 230, 144, 64));
    QCOMPARE(keyboard.keys[25]->geometry(), QRect(568, 230, 64, 64));
    QCOMPARE(keyboard.keys[19]->geometry(), QRect(728, 150, 64, 64));

    keyboard.keys[26]->click(); // Caps
    QCOMPARE(keyboard.layout, 1);
    QCOMPARE(visibleLabels(keyboard).mid(0, 10).join(QString()), QStringLiteral("QWERTYUIOP"));
    keyboard.keys[26]->click();
    QCOMPARE(keyboard.layout, 0);

    keyboard.keys[29]->click(); // "12!?"
    QCOMPARE(keyboard.layout, 2);
    labels = visibleLabels(keyboard);
    QCOMPARE(labels.mid(10, 16).join(QString()), QStringLiteral("@&%=+-*/(),:;_\\."));
    QCOMPARE(labels.at(26), QStringLiteral("1 / 2"));
    QCOMPARE(labels.at(29), QStringLiteral("Abc"));
    keyboard.keys[26]->click(); // to the second page
    QCOMPARE(keyboard.layout, 3);
    labels = visibleLabels(keyboard);
    QCOMPARE(labels.mid(10, 16).join(QString()), QStringLiteral("#$~[]{}<>|,!?'\"."));
    QCOMPARE(labels.at(26), QStringLiteral("2 / 2"));
    keyboard.keys[26]->click();
    QCOMPARE(keyboard.layout, 2);
    keyboard.keys[26]->click();
    keyboard.keys[29]->click(); // "Abc" from the second page
    QCOMPARE(keyboard.layout, 0);
    QCOMPARE(keyboard.keys[0]->text(), QStringLiteral("q"));

    // From upper case, "12!?" also goes to the symbols.
    keyboard.keys[26]->click();
    keyboard.keys[29]->click();
    QCOMPARE(keyboard.layout, 2);

    for (int i = 0; i < 32; ++i)
        QVERIFY(keyboard.keys[i]->isVisibleTo(&keyboard));
    QCOMPARE(keyboard.size(), QSize(800, 390));
}

void PanelKitTest::keyboardEditing()
{
    auto* keyboard = new QPravikVirtual(1, nullptr);
    keyboard->lineEdit.setText(QStringLiteral("abc"));
    keyboard->show();
    QCOMPARE(keyboard->lineEdit.cursorPosition(), 3); // typing continues the opener's text

    keyboard->lineEdit.setCursorPosition(1);
    keyboard->keys[20]->click(); // x
    QCOMPARE(keyboard->lineEdit.text(), QStringLiteral("axbc"));
    keyboard->keys[30]->click();
    QCOMPARE(keyboard->lineEdit.text(), QStringLiteral("ax bc"));
    keyboard->keys[27]->click();
    keyboard->keys[27]->click();
    QCOMPARE(keyboard->lineEdit.text(), QStringLiteral("abc"));
    QCOMPARE(keyboard->lineEdit.cursorPosition(), 1);

    keyboard->lineEdit.clear();
    keyboard->keys[27]->click();
    QCOMPARE(keyboard->lineEdit.text(), QString());

    // A click from something that is not one of the keys changes nothing.
    QPravikButton stranger;
    connect(&stranger, &QPravikButton::clicked, keyboard, &QPravikVirtual::buttonClicked);
    stranger.click();
    stranger.setProperty("vkb_button", 99);
    stranger.click();
    stranger.setProperty("vkb_button", -1);
    stranger.click();
    QCOMPARE(keyboard->lineEdit.text(), QString());
    QVERIFY(keyboard->isVisible());
    keyboard->close();
    runDeferredDeletes();
}

void PanelKitTest::keyboardOutcome()
{
    for (bool ok : {true, false}) {
        QPointer<QPravikVirtual> keyboard = new QPravikVirtual(1, nullptr);
        keyboard->titleLabel.setText(QStringLiteral("Name"));
        keyboard->show();
        keyboard->keys[0]->click();
        int outcome = -1;
        QString typed;
        connect(keyboard.data(), &QPravikPopup::popupClosed, this, [&] {
            outcome = keyboard->cancelled;
            typed = keyboard->lineEdit.text();
        });
        keyboard->keys[ok ? 31 : 28]->click();
        QCOMPARE(outcome, ok ? 0 : 1);
        QCOMPARE(typed, QStringLiteral("q"));
        QVERIFY(!keyboard->isVisible());
        runDeferredDeletes();
        QVERIFY(keyboard.isNull());
    }
}

QTEST_MAIN(PanelKitTest)
#include "tst_panelkit.moc"
