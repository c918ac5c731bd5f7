#pragma once

// The remote-access server on loopback: TLS with a given certificate, one
// scripted answer per query. It runs in its own thread, since the query
// blocks the thread that asks.

#include <QHostAddress>
#include <QMutex>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

class TlsPeer : public QThread
{
public:
    enum Mode { Reply, Silent, Trickle };

    TlsPeer(const QByteArray &certificatePem, const QByteArray &keyPem, QSsl::KeyAlgorithm algorithm)
        : certificate(certificatePem), key(keyPem, algorithm)
    {
    }
    ~TlsPeer() override
    {
        quit();
        wait();
    }

    // Starts the thread and waits until it listens (port 0: any free one).
    bool listenOn(const QHostAddress &address, quint16 port = 0)
    {
        listenAddress = address;
        listenPort = port;
        start();
        while (listening == -1)
            QThread::msleep(5);
        return listening == 1;
    }

    void script(Mode m, const QByteArray &reply = QByteArray())
    {
        QMutexLocker lock(&mutex);
        mode = m;
        answer = reply;
        received.clear();
        requests = 0;
    }
    QByteArray request() const
    {
        QMutexLocker lock(&mutex);
        return received;
    }
    int requestCount() const
    {
        QMutexLocker lock(&mutex);
        return requests;
    }

    std::atomic<quint16> port{0};

protected:
    void run() override
    {
        Server server(this);
        if (server.listen(listenAddress, listenPort)) {
            port = server.serverPort();
            listening = 1;
            exec();
        } else {
            listening = 0;
        }
    }

private:
    class Server : public QTcpServer
    {
    public:
        explicit Server(TlsPeer *owner) : owner(owner) {}

    protected:
        void incomingConnection(qintptr descriptor) override
        {
            auto *socket = new QSslSocket(this);
            if (!socket->setSocketDescriptor(descriptor)) {
                delete socket;
                return;
            }
            socket->setLocalCertificate(owner->certificate);
            socket->setPrivateKey(owner->key);
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QSslSocket::readyRead, socket, [this, socket, buffer] {
                buffer->append(socket->readAll());
                // Every query carries a body of 265 bytes.
                const qsizetype body = buffer->indexOf("uid=");
                if (body < 0 || buffer->size() - body < 265)
                    return;
                owner->serve(socket, *buffer);
                buffer->clear();
            });
            connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
            socket->startServerEncryption();
        }

    private:
        TlsPeer *owner;
    };

    void serve(QSslSocket *socket, const QByteArray &request)
    {
        Mode m;
        QByteArray reply;
        {
            QMutexLocker lock(&mutex);
            received = request;
            ++requests;
            m = mode;
            reply = answer;
        }
        if (m == Reply) {
            socket->write(reply);
            socket->disconnectFromHost();
        } else if (m == Trickle) {
            // A start that looks good, then one byte now and then, never ending.
            socket->write("HTTP/1.1 200 OK\r\n\r\nu=a&p=b&m=00");
            auto *timer = new QTimer(socket);
            QObject::connect(timer, &QTimer::timeout, socket, [socket] { socket->write("."); });
            timer->start(100);
        }
    }

    const QSslCertificate certificate;
    const QSslKey key;
    QHostAddress listenAddress;
    quint16 listenPort = 0;
    std::atomic<int> listening{-1};   // -1 not yet known, 0 failed, 1 listening

    mutable QMutex mutex;
    Mode mode = Reply;
    QByteArray answer;
    QByteArray received;
    int requests = 0;
};
