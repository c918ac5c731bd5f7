#pragma once

#include <QObject>

class TextConvTest : public QObject
{
    Q_OBJECT
private slots:
    void latin1Conversions();
    void utf8Conversions_data();
    void utf8Conversions();
    void utf8RoundTrip();
    void slashTriple_data();
    void slashTriple();
};
