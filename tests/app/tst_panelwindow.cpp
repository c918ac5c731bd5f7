#include <QKeyEvent>
#include <QtTest>

#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "panel/kit/frontpanel.h"
#include "panel/pages/qpravikwindow.h"
#include "tests/support/unitsimulator.h"

using QPravik::Page;

class TestPanelWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void offlineOnlyLoginPage();
    void headphoneAndCallKeys();
    void forwardedKeys();
    void destructionClosesLink();

private:
    void connectLink();
    void press(int key, QEvent::Type type = QEvent::KeyPress);

    UnitSimulator* unit = nullptr;
    QPravikWindow* window = nullptr;
};

void TestPanelWindow::init()
{
    unit = new UnitSimulator;
    QVERIFY(unit->listen());
    window = new QPravikWindow;
    frontPanelWindow = window;
}

void TestPanelWindow::cleanup()
{
    delete window;
    window = nullptr;
    delete unit;
    unit = nullptr;
}

void TestPanelWindow::connectLink()
{
    QVERIFY(frontPanelCom()->connectToUnit("127.0.0.1", unit->port(), 0));
    QTRY_COMPARE(frontPanelCom()->state(), RpcConnection::ConnectedState);
}

void TestPanelWindow::press(int key, QEvent::Type type)
{
    QKeyEvent event(type, key, Qt::NoModifier, QString(), false, 1);
    QCoreApplication::sendEvent(window, &event);
}

void TestPanelWindow::offlineOnlyLoginPage()
{
    QCOMPARE(window->size(), QSize(800, 480));
    QVERIFY(window->pageWidget(QPravikWindow::PageCount - 1));
    QCOMPARE(window->page(), 0);
    window->pageActivated(QPravik::PageMain);
    QCOMPARE(window->page(), 0);

    // Keys do nothing on the login page.
    press(257);
    press(261);
    QCOMPARE(window->page(), 0);
    QVERIFY(!window->isCallKeyHeld());

    connectLink();
    window->pageActivated(QPravik::PageMain);
    QCOMPARE(window->page(), 1);
    window->pageActivated(QPravik::PageLogin);
    QCOMPARE(window->page(), 0);
    window->pageActivated(QPravik::PageCodingMenu);
    QCOMPARE(window->page(), 11);
}

void TestPanelWindow::headphoneAndCallKeys()
{
    connectLink();
    window->pageActivated(QPravik::PageAudio);

    press(257);
    QCOMPARE(window->page(), 7);
    press(257);
    QCOMPARE(window->page(), 3);

    // From a headphone page the call key does not remember that page.
    press(257);
    window->pageActivated(QPravik::PageHeadphone2);
    press(261);
    QCOMPARE(window->page(), 2);
    QVERIFY(window->isCallKeyHeld());
    press(261, QEvent::KeyRelease);
    QVERIFY(!window->isCallKeyHeld());
    press(261);
    QCOMPARE(window->page(), 3);

    // From the connection page the headphone key does not remember it.
    window->pageActivated(QPravik::PageMain);
    press(261);
    QCOMPARE(window->page(), 2);
    press(257);
    QCOMPARE(window->page(), 7);
    press(257);
    QCOMPARE(window->page(), 1);
}

void TestPanelWindow::forwardedKeys()
{
    connectLink();
    window->pageActivated(QPravik::PageMain);

    // From an open popup (fromControl 0) the page keys are dropped.
    postKeyToFrontPanel(QPravikEvent::KeyPress, 257, 0);
    QCoreApplication::sendPostedEvents(window);
    QCOMPARE(window->page(), 1);

    postKeyToFrontPanel(QPravikEvent::KeyPress, 257, 1);
    QCoreApplication::sendPostedEvents(window);
    QCOMPARE(window->page(), 7);

    postKeyToFrontPanel(QPravikEvent::KeyPress, 261, 1);
    postKeyToFrontPanel(QPravikEvent::KeyRelease, 261, 1);
    QCoreApplication::sendPostedEvents(window);
    QCOMPARE(window->page(), 2);
    QVERIFY(!window->isCallKeyHeld());
}

void TestPanelWindow::destructionClosesLink()
{
    connectLink();
    QVERIFY(frontPanelCom()->isEnabled());
    delete window;
    window = nullptr;
    QVERIFY(!frontPanelCom()->isEnabled());
    QVERIFY(frontPanelWindow.isNull());
    QVERIFY(unit->waitForDisconnect());
}

QTEST_MAIN(TestPanelWindow)
#include "tst_panelwindow.moc"
