#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

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
        T* window = qobject_cast<T*>(top);
        if (window && top != before.data()) {
            timer->stop();
            timer->deleteLater();
            handler(window);
            return;
        }
        if (--*left <= 0) {
            timer->stop();
            timer->deleteLater();
        }
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
