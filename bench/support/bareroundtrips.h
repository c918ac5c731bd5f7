#pragma once

// The floor a benchmark of the panel's requests is held against: a bare
// QTcpSocket client, connected once as the panel is, making the same requests
// one after the other to the same unit, each waiting on its socket for the
// final answer, asleep until bytes arrive. Unsolicited messages are read and
// dropped.

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QtEndian>

#include <ctime>

#include "link/rpcmessage.h"

// CPU seconds of the calling thread so far.
inline double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

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
        const double cpuBefore = threadCpuSeconds();
        for (const QByteArray& body : bodies) {
            answered = false;
            ++waitingFor;
            socket.write(RpcMessage::frame(waitingFor, RpcMessage::Request, 0, body.toStdString()));
            socket.flush();
            // A wait with a time limit in the event loop would spin
            // (processEvents with a time limit never sleeps); this one
            // sleeps in poll() and reads through readyRead.
            const QDeadlineTimer deadline(10000);
            while (!answered) {
                if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
                    return -1;
            }
        }
        cpu = threadCpuSeconds() - cpuBefore;
        return clock.nsecsElapsed() / 1e9;
    }

    // CPU seconds of the last roundTrips.
    double cpuSeconds() const { return cpu; }

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
    double cpu = 0;
};
