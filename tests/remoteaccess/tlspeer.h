#pragma once

// The remote-access server on loopback: a TLS server with a given
// certificate that answers each query as scripted. It runs in its own thread,
// since the query blocks the thread that asks.

#include <QHostAddress>
#include <QMutex>
#include <QSemaphore>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <utility>
#include <memory>

class TlsPeer : public QThread
{
public:
    enum Mode {
        Reply,    // the reply at once, then close
        Slow,     // the reply in ten pieces 100 ms apart; the connection stays open
        Silent,   // nothing; the connection stays open
    };

    TlsPeer(const QByteArray &certificatePem, const QByteArray &keyPem, QSsl::KeyAlgorithm algorithm)
    {
        configuration.setLocalCertificate(QSslCertificate(certificatePem));
        configuration.setPrivateKey(QSslKey(keyPem, algorithm));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    }
    ~TlsPeer() override
    {
        quit();
        wait();
    }

    // Port 0: any free one. On failure see errorString().
    bool listenOn(const QHostAddress &address, quint16 listenPort = 0)
    {
        this->address = address;
        port = listenPort;
        start();
        started.acquire();
        return port != 0;
    }
    QString errorString() const { return error; }

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
        QSslServer server;
        server.setSslConfiguration(configuration);
        if (!server.listen(address, port)) {
            error = server.errorString();
            port = 0;
        } else {
            port = server.serverPort();
        }
        QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, &server, [this, &server] {
            while (QTcpSocket *socket = server.nextPendingConnection())
                accept(socket);
        });
        started.release();
        if (port != 0)
            exec();
    }

private:
    void accept(QTcpSocket *socket)
    {
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            // Every query carries a body of 265 bytes.
            const qsizetype body = buffer->indexOf("uid=");
            if (body >= 0 && buffer->size() - body >= 265)
                serve(socket, std::exchange(*buffer, QByteArray()));
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    void serve(QTcpSocket *socket, const QByteArray &request)
    {
        QMutexLocker lock(&mutex);
        received = request;
        ++requests;
        if (mode == Reply) {
            socket->write(answer);
            socket->disconnectFromHost();
        } else if (mode == Slow) {
            auto rest = std::make_shared<QByteArray>(answer);
            const qsizetype piece = answer.size() / 10 + 1;
            auto *timer = new QTimer(socket);
            QObject::connect(timer, &QTimer::timeout, socket, [socket, rest, piece] {
                socket->write(rest->left(piece));
                rest->remove(0, piece);
            });
            timer->start(100);
        }
    }

    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    QHostAddress address;
    QString error;
    QSemaphore started;

    mutable QMutex mutex;
    Mode mode = Reply;
    QByteArray answer;
    QByteArray received;
    int requests = 0;
};
