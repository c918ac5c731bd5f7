#include <QtTest>
#include <QtTest/qtestspontaneevent.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPointer>
#include <QWheelEvent>

#include <limits>

#include "panel/kit/controls.h"
#include "panel/kit/frontpanel.h"
#include "panel/kit/popup.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/panelshared.h"
#include "tests/support/testrows.h"

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
constexpr int kIntMin = std::numeric_limits<int>::min();
constexpr int kIntMax = std::numeric_limits<int>::max();

// Where the pointer crosses the ring (angle) and where the ring is plain (away).
struct AngleRow {
    const char* name;
    bool isWheel;
    int minimum, maximum, value;
    double angle, away;
};
const AngleRow kAngles[] = {
    {"knob minimum: lower left", false, 0, 10, 0, 30.0, 330.0},
    {"knob maximum: lower right", false, 0, 10, 10, 330.0, 30.0},
    {"knob empty range: start", false, 4, 4, 4, 30.0, 180.0},
    {"knob full int range, 0", false, kIntMin, kIntMax, 0, 180.0, 30.0},
    {"knob full int range, max", false, kIntMin, kIntMax, kIntMax, 330.0, 30.0},
    {"wheel empty range: start", true, 0, 0, 0, 30.0, 180.0},
};

// The knob sits at 5, on both bounds; its one step is labelled "Low".
struct CentreTextRow {
    const char* name;
    QString minText, maxText;
    int labelMode, stepValue;
    QString shown;
};
const CentreTextRow kCentreTexts[] = {
    {"number", "", "", 0, 5, "5"},
    {"minimum text first", "Off", "Full", 1, 5, "Off"},
    {"step label", "", "", 1, 5, "Low"},
    {"no matching step", "", "", 1, 3, "5"},
};

bool near(QColor a, QColor b, int tolerance = 40)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

// Pixel on the circle of radius `radius` around the centre of a 100 x 100
// control's face, at `angle` degrees clockwise from straight down.
QColor probe(const QImage& image, double angle, double radius = 47)
{
    const double a = qDegreesToRadians(angle);
    const QPointF at = QPointF(49.5, 49.5) + QPointF(-qSin(a), qCos(a)) * radius;
    return image.pixelColor(qRound(at.x()), qRound(at.y()));
}

int countNear(const QImage& image, const QRect& area, const QColor& color)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += near(image.pixelColor(x, y), color, 60);
    return n;
}

void sendWheel(QWidget* w, int angle, int pixel = 0)
{
    QWheelEvent wheel(QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)), QPoint(0, pixel), QPoint(0, angle),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
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

// The panel window's look behind its controls: white on black.
void darken(QWidget* w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

template <class W>
W* place(W* w, int x, int width = 100, int height = 100)
{
    w->setGeometry(x, 0, width, height);
    return w;
}

// Lets a test hand the box a show event as the window system would.
class ShownMessage : public QPravikMessage
{
public:
    using QPravikMessage::QPravikMessage;
    void deliverShow(QShowEvent* event) { showEvent(event); }
};

QStringList visibleLabels(const QPravikVirtual& keyboard)
{
    QStringList labels;
    for (QPravikButton* key : keyboard.keys)
        labels.append(key->isVisibleTo(&keyboard) ? key->text() : QString());
    return labels;
}

} // namespace

class PanelKitTest : public QObject
{
    Q_OBJECT

    RecordingWindow* window = nullptr;

private slots:
    void init()
    {
        window = new RecordingWindow;
        frontPanelWindow = window;
    }

    void cleanup()
    {
        frontPanelWindow = nullptr;
        delete window;
        window = nullptr;
        runDeferredDeletes();
    }

    void versionPacking_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("packed");
        QTest::newRow("build number ignored") << "2.00.0.5197" << 0x00020000u;
        QTest::newRow("zero-padded minor is decimal") << "2.08.1" << 0x00020801u;
        QTest::newRow("no leading number") << "v2.1.0" << 0u;
        QTest::newRow("low byte only") << "300.1.2" << ((300u & 0xFFu) << 16 | 0x0102u);
        QTest::newRow("missing part stops") << "2..3" << 0x00020000u;
    }

    void versionPacking()
    {
        QFETCH(QString, text);
        QFETCH(uint, packed);
        QCOMPARE(parseVersionString(text.toStdString()), std::uint32_t(packed));
    }

    void controlKeys_data()
    {
        QTest::addColumn<bool>("isWheel");
        QTest::newRow("knob") << false;
        QTest::newRow("wheel") << true;
    }

    // Knob and wheel alike: idle, every key goes to the window; engaged, plus and
    // minus step within the bounds and other keys still go on.
    void controlKeys()
    {
        QFETCH(bool, isWheel);
        QPravikKnob knob(false);
        QPravikWheel wheel;
        QAbstractButton* control = isWheel ? static_cast<QAbstractButton*>(&wheel) : &knob;
        knob.setMaximum(2);
        knob.setValue(1);
        wheel.setMaximum(2);
        wheel.setValue(1);
        control->resize(100, 100);
        control->show();
        QSignalSpy changed(control, SIGNAL(valueChanged(int)));

        QTest::keyPress(control, Qt::Key_Plus);
        QTest::keyRelease(control, Qt::Key_Plus);
        sendWheel(control, -120);
        sendWheel(control, 0); // a touchpad's begin or end turns nothing
        QVERIFY(window->events.isEmpty()); // posted, not sent
        flushPosted();
        QCOMPARE(window->events, (QList<Posted>{{6, Qt::Key_Plus, 1}, {7, Qt::Key_Plus, 1}, {6, Qt::Key_Minus, 1}}));
        QCOMPARE(changed.count(), 0);

        QTest::mouseClick(control, Qt::LeftButton); // a left click engages
        QVERIFY(control->isChecked());
        sendWheel(control, 0);
        QCOMPARE(changed.count(), 0);
        sendWheel(control, 0, 3); // only a pixel delta: it decides
        QTest::keyPress(control, Qt::Key_Plus); // at the maximum: swallowed
        QTest::keyClick(control, Qt::Key_Minus);
        QTest::keyClick(control, Qt::Key_Minus);
        QTest::keyPress(control, Qt::Key_Minus); // at the minimum: swallowed
        QCOMPARE(changed.count(), 3);
        QCOMPARE(changed.last().first().toInt(), 0);

        // The select key only means something to a panning knob.
        flushPosted();
        window->events.clear();
        QTest::keyPress(control, Qt::Key_Enter);
        QTest::keyPress(control, Qt::Key_F3);
        flushPosted();
        QList<Posted> expected;
        if (isWheel)
            expected.append({6, Qt::Key_Enter, 1});
        expected.append({6, Qt::Key_F3, 1});
        QCOMPARE(window->events, expected);
    }

    void panningCycles_data()
    {
        QTest::addColumn<bool>("stereo");
        QTest::addColumn<QList<int>>("cycle");
        // A knob starts at 0 (none).
        QTest::newRow("stereo") << true << QList<int>{4, 3, 1, 2, 0, 4, 3};
        QTest::newRow("no stereo") << false << QList<int>{3, 1, 2, 0, 3, 1};
    }

    void panningCycles()
    {
        QFETCH(bool, stereo);
        QFETCH(QList<int>, cycle);
        QPravikKnob knob(true, nullptr, stereo);
        knob.resize(100, 100);
        QSignalSpy panned(&knob, &QPravikKnob::panningChanged);
        knob.show();

        // Idle, the right button is the select key for the window.
        QTest::mousePress(&knob, Qt::RightButton);
        flushPosted();
        QCOMPARE(window->events, (QList<Posted>{{6, Qt::Key_Enter, 1}}));

        knob.setChecked(true);
        QList<int> seen;
        for (int i = 0; i < cycle.size(); ++i) {
            if (i % 3 == 2)
                QTest::mousePress(&knob, Qt::RightButton);
            else
                sendKey(&knob, QEvent::KeyPress, i % 3 ? int(Qt::Key_Return) : 0x160);
            seen.append(knob.panning());
        }
        QCOMPARE(seen, cycle);
        QCOMPARE(panned.count(), cycle.size());
        QCOMPARE(panned.last().first().value<QPravik::PanCtrl>(), QPravik::PanCtrl(cycle.last()));
        QVERIFY(knob.isChecked()); // the right button does not toggle

        // A knob that does not pan ignores it.
        QPravikKnob plain(false);
        plain.show();
        plain.setPanning(QPravik::PanLeft);
        QCOMPARE(plain.panning(), QPravik::PanNone);
    }

    void knobValueRules()
    {
        QPravikKnob knob(false);
        QSignalSpy changed(&knob, &QPravikKnob::valueChanged);
        knob.setMaximum(10);
        knob.setValue(4); // invisible: stored silently
        QCOMPARE(knob.value(), 4);
        knob.show();
        knob.setValue(50);
        knob.setValue(10);
        knob.setMaximum(8);
        knob.setMinimum(2);
        QCOMPARE(knob.value(), 8);
        knob.setValue(-20);
        QCOMPARE(knob.value(), 2);
        QCOMPARE(changed.count(), 2); // 10 and 2; the bounds moved the value silently

        // Bounds as far apart as int allows: no step past them.
        knob.setMinimum(kIntMin);
        knob.setMaximum(kIntMax);
        knob.setValue(kIntMax);
        knob.setChecked(true);
        QTest::keyPress(&knob, Qt::Key_Plus);
        QCOMPARE(knob.value(), kIntMax);
        knob.setValue(kIntMin);
        QTest::keyPress(&knob, Qt::Key_Minus);
        QCOMPARE(knob.value(), kIntMin);

        // A second layout pass adds the same steps again: kept once.
        for (int pass = 0; pass < 2; ++pass) {
            knob.addStep(0, QStringLiteral("Off"));
            knob.addStep(5, QStringLiteral("Low"));
        }
        knob.addStep(5, QStringLiteral("Medium"));
        QCOMPARE(knob.stepCount(), 3);
        QCOMPARE(knob.indexOfText(QStringLiteral("Medium")), 2);
    }

    void knobCentreText_data() { indexRows(kCentreTexts); }

    void knobCentreText()
    {
        QFETCH(int, row);
        const auto& [name, minText, maxText, labelMode, stepValue, shown] = kCentreTexts[row];

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

    void pointerAngle_data() { indexRows(kAngles); }

    void pointerAngle()
    {
        QFETCH(int, row);
        const auto& [name, isWheel, minimum, maximum, value, angle, away] = kAngles[row];
        QWidget host;
        darken(&host);
        auto* knob = place(new QPravikKnob(false, &host), 0);
        auto* wheel = place(new QPravikWheel(&host), 100);
        knob->setMinimum(minimum);
        knob->setMaximum(maximum);
        knob->setValue(value);
        wheel->setMaximum(maximum);
        wheel->setValue(value);
        host.show();

        const QImage image = (isWheel ? static_cast<QWidget*>(wheel) : knob)->grab().toImage();
        QVERIFY(near(probe(image, angle), Qt::white));
        QVERIFY(near(probe(image, angle, 39), Qt::white)); // the pointer crosses the ring
        QVERIFY(near(probe(image, away), Qt::black));
        QVERIFY(near(probe(image, away, 43), Qt::white)); // the ring itself
    }

    void knobRingColour()
    {
        QWidget host;
        darken(&host);
        auto* knob = place(new QPravikKnob(true, &host), 0);
        auto* other = place(new QPravikKnob(false, &host), 100);
        knob->setMaximum(10);
        knob->setValue(5);
        knob->setPanning(QPravik::PanLeft);
        QFont font = knob->font();
        font.setPixelSize(30);
        knob->setFont(font);
        const QRect lowerLeft(0, 50, 50, 50);
        host.show();
        host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host));

        // Engaged (focused and checked): blue ring and pointer.
        QTest::mouseClick(knob, Qt::LeftButton);
        QVERIFY(knob->hasFocus() && knob->isChecked());
        QImage image = knob->grab().toImage();
        QVERIFY(near(probe(image, 90, 43), engagedBlue));
        QVERIFY(near(probe(image, 180), engagedBlue));
        QCOMPARE(countNear(image, lowerLeft, Qt::green), 0); // the pan mark too

        // Leaving disengages; checked without focus is not engaged either.
        other->setFocus(Qt::MouseFocusReason);
        QVERIFY(!knob->isChecked());
        knob->setChecked(true);
        image = knob->grab().toImage();
        QVERIFY(near(probe(image, 90, 43), Qt::white));
        QVERIFY(countNear(image, lowerLeft, Qt::green) > 0);

        knob->setEnabled(false);
        image = knob->grab().toImage();
        QVERIFY(near(probe(image, 90, 43), QColor(Qt::darkGray)));
    }

    void wheelRevertsOnLeave()
    {
        QWidget host;
        auto* wheel = place(new QPravikWheel(&host), 0);
        auto* other = place(new QPravikKnob(false, &host), 100);
        wheel->setMaximum(3);
        wheel->setValue(1);
        wheel->setValue(4); // outside 0..maximum: ignored
        wheel->setValue(-1);
        wheel->revertOnLeave = true;
        host.show();
        host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host));

        QTest::mouseClick(wheel, Qt::LeftButton);
        QVERIFY(wheel->hasFocus());
        QTest::keyClick(wheel, Qt::Key_Plus);
        QCOMPARE(wheel->value(), 2);
        other->setFocus(Qt::MouseFocusReason);
        QVERIFY(!wheel->isChecked());
        QCOMPARE(wheel->value(), 1); // unconfirmed value thrown away

        // A lowered maximum is also the value the wheel reverts to.
        wheel->setMaximum(0);
        wheel->setMaximum(3);
        wheel->setFocus(Qt::MouseFocusReason);
        wheel->setChecked(true);
        QTest::keyClick(wheel, Qt::Key_Plus);
        other->setFocus(Qt::MouseFocusReason);
        QCOMPARE(wheel->value(), 0);
    }

    void imagesAndLook()
    {
        const QStringList names = {
            "Kandelo", "action", "audio", "back", "book", "call-history", "check", "coding",
            "copy", "dialpad", "exit-menu", "headphone-black", "headphone-white", "home",
            "input-settings", "message", "mixer", "navleft", "navright", "network", "pair_off",
            "pair_on", "phone-call", "phone-hangup", "refresh", "settings", "shutdown", "status",
            "switch_off", "switch_on", "tools"};
        // Every embedded image is listed here, so each gets checked below.
        QCOMPARE(QDir(QStringLiteral(":/images")).entryList(QDir::Files).size(), names.size());
        for (const QString& name : names)
            QVERIFY2(!QImage(QStringLiteral(":/images/%1.png").arg(name)).isNull(), qPrintable(name));

        QPravikSwitch sw;
        sw.setCheckable(true);
        sw.setChecked(true);
        sw.resize(60, 34);
        QCOMPARE(sw.grab().toImage().pixelColor(10, 17).rgb(), QImage(":/images/switch_on.png").pixelColor(10, 17).rgb());
        // Disabled, it is drawn apart from the working one.
        sw.setEnabled(false);
        QVERIFY(sw.grab().toImage().pixelColor(10, 17).rgb() != QImage(":/images/switch_on.png").pixelColor(10, 17).rgb());

        // A button whose brush has no fill draws only its frame.
        QWidget host;
        darken(&host);
        auto* outline = place(new QPravikButton(&host), 0, 98, 66);
        QPalette white = outline->palette();
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
        QImage image = outline->grab().toImage();
        QVERIFY(near(image.pixelColor(49, 33), Qt::black));
        QVERIFY(near(image.pixelColor(0, 33), Qt::white));

        // Panning marks: left green, right red.
        audio->setPanning(QPravik::PanLeft);
        image = audio->grab().toImage();
        QVERIFY(countNear(image, QRect(0, 0, 60, 40), Qt::green) > 0);
        QCOMPARE(countNear(image, QRect(60, 0, 60, 40), Qt::red), 0);
    }

    void popupOutcomes_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("cancelled");
        QTest::newRow("OK") << "ok" << 0;
        QTest::newRow("Cancel") << "cancel" << 1;
        QTest::newRow("time-out") << "timeout" << 1;
        QTest::newRow("click outside") << "outside" << 1;
        QTest::newRow("click on a box without buttons") << "buttonless" << 1;
        QTest::newRow("closed twice before deletion") << "twice" << 1;
        QTest::newRow("keyboard OK") << "keyboard ok" << 0;
    }

    // However a popup goes, it reports once, the opener can still read it in its
    // slot, and it is gone after the event loop's deferred deletes.
    void popupOutcomes()
    {
        QFETCH(QString, way);
        QFETCH(int, cancelled);
        QWidget page;
        page.resize(800, 480);
        page.show();

        QPointer<QPravikPopup> popup;
        QPravikMessage* box = nullptr;
        QPravikVirtual* keyboard = nullptr;
        if (way.startsWith(QLatin1String("keyboard"))) {
            popup = keyboard = new QPravikVirtual(1, nullptr);
            keyboard->show();
            keyboard->keys[0]->click();
        } else {
            popup = box = new QPravikMessage(QStringLiteral("Apply?"), way == QLatin1String("buttonless") ? 0 : 3, &page);
        }
        int reports = 0;
        int outcome = -1;
        QString typed;
        connect(popup.data(), &QPravikPopup::popupClosed, this, [&] {
            ++reports;
            outcome = popup->cancelled;
            if (keyboard)
                typed = keyboard->lineEdit.text();
        });

        if (way == QLatin1String("ok") || way == QLatin1String("cancel")) {
            box->popup();
            QVERIFY(box->cancelButton->geometry().x() < box->okButton->geometry().x());
            QTest::mouseClick(way == QLatin1String("ok") ? box->okButton : box->cancelButton, Qt::LeftButton);
        } else if (way == QLatin1String("timeout")) {
            box->autoCloseMs = 20;
            box->show();
            QVERIFY(box->timer.isActive());
            QCOMPARE(box->autoCloseMs, 0);
        } else if (way == QLatin1String("outside")) {
            box->move(200, 150);
            box->show();
            QVERIFY(QTest::qWaitForWindowExposed(box));
            QTest::mouseClick(box->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(-50, -50));
        } else if (way == QLatin1String("buttonless")) {
            QVERIFY(!box->cancelButton && !box->okButton);
            box->popup();
            QCOMPARE(QWidget::mouseGrabber(), box);
            QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        } else if (way == QLatin1String("twice")) {
            box->close();
            box->close();
        } else {
            keyboard->keys[way.endsWith(QLatin1String("ok")) ? 31 : 28]->click();
            QVERIFY(!keyboard->isVisible());
        }
        if (way != QLatin1String("outside")) // the click's own event processing deletes it
            QVERIFY(popup);                    // deleted later, not under the opener's feet
        QTRY_COMPARE(reports, 1);
        QCOMPARE(outcome, cancelled);
        if (keyboard)
            QCOMPARE(typed, QStringLiteral("q"));
        runDeferredDeletes();
        QCOMPARE(reports, 1);
        QVERIFY(popup.isNull());
        QVERIFY(!QWidget::mouseGrabber());
    }

    void messageTimerRules()
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

    void popupsForwardKeysAndShareLook()
    {
        QPointer<QPravikMessage> box = new QPravikMessage(QStringLiteral("Key"), 1, nullptr);
        QPointer<QPravikVirtual> keyboard = new QPravikVirtual(1, nullptr);
        box->show();
        sendKey(box.data(), QEvent::KeyPress, 257);
        sendKey(keyboard.data(), QEvent::KeyRelease, 257);
        flushPosted();
        QCOMPARE(window->events, (QList<Posted>{{6, 257, 0}, {7, 257, 0}}));
        QVERIFY(box->isVisible());

        // Without a window, or with one that is gone, nothing is posted.
        frontPanelWindow = nullptr;
        sendKey(box.data(), QEvent::KeyPress, 261);
        auto* gone = new RecordingWindow;
        frontPanelWindow = gone;
        delete gone;
        QVERIFY(frontPanelWindow.isNull());
        sendKey(keyboard.data(), QEvent::KeyPress, 261);
        flushPosted();
        QCOMPARE(window->events.size(), 2);

        box->close();
        keyboard->close();
        runDeferredDeletes();
        QVERIFY(box.isNull() && keyboard.isNull());
    }

    void dialPadKeys()
    {
        QPravikVirtual pad(0, nullptr);
        QVERIFY(!pad.keys[0]->isVisibleTo(&pad));

        pad.keys[30]->click();
        pad.keys[5]->click();
        pad.keys[9]->click();
        QCOMPARE(pad.lineEdit.text(), QStringLiteral("01+"));

        // "Abc" turns the pad into a full keyboard for good, with a wide space bar.
        QCOMPARE(pad.keys[29]->text(), QStringLiteral("Abc"));
        pad.keys[29]->click();
        QCOMPARE(pad.fullKeyboard, 1);
        QCOMPARE(pad.layout, 0);
        QVERIFY(pad.keys[0]->isVisibleTo(&pad));
        pad.keys[29]->click(); // "12!?"
        pad.keys[29]->click(); // "Abc"
        QCOMPARE(pad.keys[30]->geometry(), QRect(248, 310, 384, 64));
        QCOMPARE(pad.fullKeyboard, 1);
    }

    void keyboardLayouts()
    {
        QPravikVirtual keyboard(1, nullptr);
        QCOMPARE(keyboard.size(), QSize(800, 390));
        QCOMPARE(visibleLabels(keyboard).mid(0, 10).join(QString()), QStringLiteral("qwertyuiop"));
        keyboard.keys[26]->click(); // Caps
        QCOMPARE(keyboard.keys[0]->text(), QStringLiteral("Q"));
        keyboard.keys[29]->click(); // from upper case, "12!?" also goes to the symbols
        QCOMPARE(keyboard.layout, 2);
        keyboard.keys[26]->click(); // to the second page
        const QStringList labels = visibleLabels(keyboard);
        QCOMPARE(labels.at(26), QStringLiteral("2 / 2"));
        QVERIFY(!labels.contains(QString())); // every key shows
        keyboard.keys[29]->click(); // "Abc" from the second page
        QCOMPARE(keyboard.layout, 0);
        QCOMPARE(keyboard.keys[0]->text(), QStringLiteral("q"));
    }

    void keyboardEditing()
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

        // A click from something that is not one of the keys changes nothing.
        QPravikButton stranger;
        connect(&stranger, &QPravikButton::clicked, keyboard, &QPravikVirtual::buttonClicked);
        stranger.click();
        stranger.setProperty("vkb_button", 99);
        stranger.click();
        stranger.setProperty("vkb_button", -1);
        stranger.click();
        QCOMPARE(keyboard->lineEdit.text(), QStringLiteral("abc"));
        QVERIFY(keyboard->isVisible());
        keyboard->close();
        runDeferredDeletes();
    }
};

QTEST_MAIN(PanelKitTest)
#include "tst_panelkit.moc"
