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

class RequestHelperTest : public QObject
{
    Q_OBJECT
private slots:
    void withoutSessionOrParameters();
    void sendAndCall();
    void getValueJudgement();
    void setParamsCountsAccepted();
    void getParamsSplitsValuesAndErrors();
    void getListAppendsAndSplits();
    void timeoutAndBusy();
};

class ControllerTest : public QObject
{
    Q_OBJECT
private slots:
    void causeToState();
    void networkRequestShapes();
    void attachAndReset();
    void linkDroppedDuringCall();
};

class EthernetTest : public QObject
{
    Q_OBJECT
private slots:
    void wordTables();
    void settersSendByMode();
    void refreshByFirmware();
    void readAndWrite();
    void configInfoEvent();
};

class IsdnTest : public QObject
{
    Q_OBJECT
private slots:
    void protocolWords();
    void settersAndFiveAs();
    void readAndWrite();
};
