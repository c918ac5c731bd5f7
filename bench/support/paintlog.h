#pragma once

// Which widgets were painted while it was on, by class, apart for the paints
// made inside a synchronous call's wait: set BENCH_PAINTS to have a bench
// print them.

#include <QApplication>
#include <QEvent>
#include <QMap>
#include <QWidget>

#include "link/ccom.h"
#include "link/frontpanelcom.h"

class PaintLog : public QObject
{
public:
    PaintLog() { qApp->installEventFilter(this); }
    ~PaintLog() override { qApp->removeEventFilter(this); }

    bool on = false;
    QMap<QByteArray, int> inCall;
    QMap<QByteArray, int> outside;

    void clear()
    {
        inCall.clear();
        outside.clear();
    }

    // Two indented lines: the paints inside calls, then those after them.
    QByteArray summary() const
    {
        QByteArray text;
        for (const auto* paints : {&inCall, &outside}) {
            text += paints == &inCall ? "      inside calls:" : "\n      after:";
            for (auto it = paints->cbegin(); it != paints->cend(); ++it)
                text += ' ' + it.key() + ' ' + QByteArray::number(it.value());
        }
        return text;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (on && event->type() == QEvent::Paint && object->isWidgetType()) {
            QByteArray name = object->metaObject()->className();
            if (!object->objectName().isEmpty())
                name += '#' + object->objectName().toLatin1();
            ++(frontPanelCom()->isIdle() ? outside : inCall)[name];
        }
        return false;
    }
};
