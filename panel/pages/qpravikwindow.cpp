#include "panel/pages/qpravikwindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>

#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "panel/kit/popup.h"

namespace {

bool isHeadphonePage(int page)
{
    return page >= QPravik::PageHeadphone1 && page <= QPravik::PageHeadphone4;
}

} // namespace

QPravikWindow::QPravikWindow(QWidget* parent)
    : QWidget(parent)
{
    zel::CCom* session = frontPanelCom();
    if (session->setIdentity("ui", "pv_frontpanel") != 0) {
        qWarning("Failed to initialize zel::CCom!");
        return;
    }
    connect(session, &zel::CCom::stateChanged, this, &QPravikWindow::stateChanged);
    createPages();
}

QPravikWindow::~QPravikWindow()
{
    setupTimer.disconnect();
    keepAliveTimer.disconnect();
    frontPanelCom()->disconnectFromUnit();
}

void QPravikWindow::createPages()
{
    setWindowFlags(Qt::FramelessWindowHint);
    setFixedSize(800, 480);
    stack = new QStackedLayout;
    stack->setStackingMode(QStackedLayout::StackOne);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    for (int i = 0; i < PageCount; ++i) {
        pages[i] = new QWidget(this);
        pages[i]->setObjectName(QStringLiteral("page%1").arg(i));
        stack->addWidget(pages[i]);
    }
    setLayout(stack);
    stack->setCurrentIndex(currentPage);
}

QWidget* QPravikWindow::pageWidget(int index) const
{
    return index >= 0 && index < PageCount ? pages[index] : nullptr;
}

void QPravikWindow::pageActivated(QPravik::Page page)
{
    if (page == currentPage)
        return;
    // The settings menus open only through their own page, which is not here yet.
    if (page < QPravik::PageLogin || int(page) >= int(PageCount) || !stack)
        return;
    if (page != QPravik::PageLogin
        && frontPanelCom()->state() != RpcConnection::ConnectedState)
        return;

    currentPage = page;
    if (QWidget* focused = QApplication::focusWidget()) {
        focused->releaseKeyboard();
        focused->clearFocus();
    }
    stack->setCurrentIndex(page);
}

void QPravikWindow::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    if (currentPage == QPravik::PageLogin)
        return;
    switch (event->key()) {
    case QPravik::HeadphoneKey:
        if (isHeadphonePage(currentPage)) {
            pageActivated(QPravik::Page(returnPage));
        } else {
            if (currentPage != QPravik::PageConnection)
                returnPage = currentPage;
            pageActivated(QPravik::PageHeadphone1);
        }
        break;
    case QPravik::CallKey:
        callKeyHeld = true;
        if (currentPage == QPravik::PageConnection) {
            pageActivated(QPravik::Page(returnPage));
        } else {
            if (!isHeadphonePage(currentPage))
                returnPage = currentPage;
            pageActivated(QPravik::PageConnection);
        }
        break;
    default:
        break;
    }
}

void QPravikWindow::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
    if (currentPage != QPravik::PageLogin && event->key() == QPravik::CallKey)
        callKeyHeld = false;
}

void QPravikWindow::customEvent(QEvent* event)
{
    event->accept();
    if (event->type() != QPravikEvent::EventType)
        return;
    const auto* pravik = static_cast<QPravikEvent*>(event);
    if (pravik->kind != QPravikEvent::KeyPress && pravik->kind != QPravikEvent::KeyRelease)
        return;
    if (currentPage == QPravik::PageLogin || (pravik->key >= 59 && pravik->key <= 65))
        return;
    // A popup that is open keeps the page keys to itself.
    if ((pravik->key == QPravik::HeadphoneKey || pravik->key == QPravik::CallKey) && pravik->fromControl == 0)
        return;
    const QEvent::Type type =
        pravik->kind == QPravikEvent::KeyPress ? QEvent::KeyPress : QEvent::KeyRelease;
    QKeyEvent key(type, pravik->key, Qt::NoModifier, QString(), false, 1);
    if (type == QEvent::KeyPress)
        keyPressEvent(&key);
    else
        keyReleaseEvent(&key);
}

void QPravikWindow::stateChanged(RpcConnection::ConnectionState state)
{
    if (state == RpcConnection::UnconnectedState || state == RpcConnection::ClosingState) {
        setupTimer.stop();
        keepAliveTimer.stop();
    }
}

void QPravikWindow::showMessage(const QString& text, int autoCloseMs)
{
    if (messagePopup) {
        messagePopup->autoCloseMs = autoCloseMs;
        messagePopup->setMessage(text);
        return;
    }
    auto* box = new QPravikMessage(text, 0, this);
    messagePopup = box;
    box->setWindowModality(Qt::ApplicationModal);
    box->move(mapToGlobal(QPoint(0, 0))
              + QPoint((width() - box->width()) / 2, (height() - box->height()) / 2));
    connect(box, &QPravikPopup::popupClosed, this, &QPravikWindow::messagePopupClosed);
    box->autoCloseMs = autoCloseMs;
    box->popup();
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
}

void QPravikWindow::messagePopupClosed()
{
    messagePopup = nullptr;
}
