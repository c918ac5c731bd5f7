#pragma once

// The floor a benchmark of the panel's requests is held against: a bare
// QTcpSocket client, connected once as the panel is, making the same requests
// one after the other to the same unit, each waiting for its final answer in
// the event loop as a synchronous call waits. Unsolicited messages are read
// and dropped.

#include <QByteArrayList>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QtEndian>

#include "link/rpcmessage.h"

class BareClient
{
public:
    bool connectTo(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this] { read(); });
        return socket.waitForConnected(5000);
    }

    // The seconds the requests took, or -1 when one went unanswered.
    double roundTrips(const QByteArrayList& bodies)
    {
        QElapsedTimer clock;
        clock.start();
        for (const QByteArray& body : bodies) {
            answered = false;
            ++waitingFor;
            socket.write(RpcMessage::frame(waitingFor, RpcMessage::Request, 0, body.toStdString()));
            socket.flush();
            const QDeadlineTimer deadline(10000);
            while (!answered && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents,
                                                100);
            if (!answered)
                return -1;
        }
        return clock.nsecsElapsed() / 1e9;
    }

private:
    void read()
    {
        input += socket.readAll();
        while (input.size() >= RpcMessage::HeaderSize) {
            const quint32 length = qFromLittleEndian<quint32>(input.constData() + 8);
            if (length < quint32(RpcMessage::HeaderSize) || quint32(input.size()) < length)
                break;
            const qint32 id = qFromLittleEndian<qint32>(input.constData() + 12);
            const quint32 type = qFromLittleEndian<quint32>(input.constData() + 16);
            // A reply in pieces ends with its last one.
            const bool piece = input.left(int(length)).contains("return:PROGRESS");
            if (id == waitingFor && (type == RpcMessage::ErrorReply || (type == RpcMessage::Reply && !piece)))
                answered = true;
            input.remove(0, int(length));
        }
    }

    QTcpSocket socket;
    QByteArray input;
    qint32 waitingFor = 0;
    bool answered = false;
};
