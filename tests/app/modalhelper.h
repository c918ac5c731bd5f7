#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "app/devicedialogs.h"

// Answers the next modal window of type T that opens on top of the current
// one: the handler runs once, from the event loop of that window's exec().
template <typename T>
void whenModal(const std::function<void(T*)>& handler, int attempts = 500)
{
    QPointer<QWidget> before = QApplication::activeModalWidget();
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto left = std::make_shared<int>(attempts);
    QObject::connect(timer, &QTimer::timeout, [timer, handler, before, left]() {
        QWidget* top = QApplication::activeModalWidget();
        T* window = top != before.data() ? qobject_cast<T*>(top) : nullptr;
        if (window || --*left <= 0) {
            timer->stop();
            timer->deleteLater();
        }
        if (window)
            handler(window);
    });
    timer->start();
}

// Presses the given button of the next message box.
inline void answerMessageBox(QMessageBox::StandardButton button, QString* text = nullptr)
{
    whenModal<QMessageBox>([button, text](QMessageBox* box) {
        if (text)
            *text = box->text();
        box->button(button)->click();
    });
}

// Row of the device table that shows the unit with this id, or -1.
inline int rowOf(ManageDevicesView* view, int id)
{
    QStandardItemModel* model = view->itemModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->item(row, 0)->data(Qt::UserRole).toInt() == id)
            return row;
    }
    return -1;
}

// Clicks a row of the device table as the user would.
inline void clickRow(ManageDevicesView* view, int row)
{
    const QRect rect = view->visualRect(view->model()->index(row, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}
