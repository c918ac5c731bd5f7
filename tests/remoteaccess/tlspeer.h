#pragma once

// The remote-access server on loopback: socat terminates TLS with a given
// certificate and hands each query, in plain text, to a loopback server that
// answers it as scripted. That server runs in its own thread, since the
// query blocks the thread that asks.

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QMutex>
#include <QProcess>
#include <QSemaphore>
#include <QSslKey>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

#ifdef Q_OS_LINUX
#include <signal.h>
#include <sys/prctl.h>
#endif

class TlsPeer : public QThread
{
public:
    enum Mode { Reply, Silent, Trickle };

    TlsPeer(const QByteArray &certificatePem, const QByteArray &keyPem, QSsl::KeyAlgorithm algorithm)
        : certificate(certificatePem), key(keyPem), algorithm(algorithm)
    {
    }
    ~TlsPeer() override
    {
        stopSocat();
        quit();
        wait();
    }

    static bool available() { return !QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty(); }

    // Starts socat and the plain server, and returns once socat accepts
    // connections (port 0: any free one). On failure see errorString().
    bool listenOn(const QHostAddress &address, quint16 port = 0)
    {
        if (isRunning() || socat) {
            error = QStringLiteral("already listening");
            return false;
        }
        if (!available()) {
            error = QStringLiteral("socat is not installed (it terminates TLS for the test server)");
            return false;
        }
        if (QSslKey(key, algorithm).isNull()) {
            error = QStringLiteral("the server key cannot be read");
            return false;
        }
        if (!files.isValid() || !writeFile(QStringLiteral("cert.pem"), certificate)
            || !writeFile(QStringLiteral("key.pem"), key)) {
            error = QStringLiteral("cannot write the certificate and key for socat");
            return false;
        }
        start();
        started.acquire();
        if (backendPort == 0) {
            error = QStringLiteral("the plain server behind socat cannot listen");
            return false;
        }
        // A free port may be taken before socat binds it: then try another.
        const int attempts = port == 0 ? 5 : 1;
        for (int attempt = 0; attempt < attempts; ++attempt) {
            quint16 listenPort = port;
            if (listenPort == 0) {
                QTcpServer probe;
                if (!probe.listen(address, 0)) {
                    error = probe.errorString();
                    return false;
                }
                listenPort = probe.serverPort();
            }
            if (startSocat(address, listenPort)) {
                this->port = listenPort;
                return true;
            }
        }
        return false;
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
        Server server(this);
        const bool ok = server.listen(QHostAddress::LocalHost, 0);
        backendPort = ok ? server.serverPort() : 0;
        started.release();
        if (ok)
            exec();
    }

private:
    // The plain end: what socat decrypted arrives here, and what is written
    // here socat encrypts. Closing here closes the client's connection too.
    class Server : public QTcpServer
    {
    public:
        explicit Server(TlsPeer *owner) : owner(owner) {}

    protected:
        void incomingConnection(qintptr descriptor) override
        {
            auto *socket = new QTcpSocket(this);
            if (!socket->setSocketDescriptor(descriptor)) {
                delete socket;
                return;
            }
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                buffer->append(socket->readAll());
                // Every query carries a body of 265 bytes.
                const qsizetype body = buffer->indexOf("uid=");
                if (body < 0 || buffer->size() - body < 265)
                    return;
                owner->serve(socket, *buffer);
                buffer->clear();
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }

    private:
        TlsPeer *owner;
    };

    void serve(QTcpSocket *socket, const QByteArray &request)
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

    bool writeFile(const QString &name, const QByteArray &data)
    {
        QFile file(files.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
    }

    // fork: each query gets its own connection to the plain end.
    bool startSocat(const QHostAddress &address, quint16 listenPort)
    {
        const bool v6 = address.protocol() == QAbstractSocket::IPv6Protocol;
        const QString bind = v6 ? QStringLiteral("[%1],pf=ip6").arg(address.toString()) : address.toString();
        const QString log = files.filePath(QStringLiteral("socat.log"));
        socat = std::make_unique<QProcess>();
        socat->setStandardInputFile(QProcess::nullDevice());
        socat->setStandardOutputFile(QProcess::nullDevice());
        // A file, not a pipe: nobody reads socat's log while a query blocks.
        socat->setStandardErrorFile(log);
#ifdef Q_OS_LINUX
        // A test that dies without its destructor must not leave socat listening.
        socat->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
        socat->start(QStringLiteral("socat"),
                     {QStringLiteral("-d"), QStringLiteral("-d"),
                      QStringLiteral("OPENSSL-LISTEN:%1,bind=%2,reuseaddr,fork,cert=%3,key=%4,"
                                     "verify=0,openssl-min-proto-version=TLS1.2")
                          .arg(listenPort)
                          .arg(bind, files.filePath(QStringLiteral("cert.pem")),
                               files.filePath(QStringLiteral("key.pem"))),
                      QStringLiteral("TCP:127.0.0.1:%1").arg(backendPort)});
        if (!socat->waitForStarted(10000)) {
            error = QStringLiteral("socat does not start: ") + socat->errorString();
            stopSocat();
            return false;
        }
        // Listening shows only by a connection being accepted.
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            QTcpSocket probe;
            probe.connectToHost(address, listenPort);
            if (probe.waitForConnected(500)) {
                probe.abort();
                if (!socatEnded(0))
                    return true;
            }
            if (socatEnded(50))
                break;
        }
        QFile file(log);
        const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
        error = QStringLiteral("socat does not listen on %1:%2: %3")
                    .arg(address.toString()).arg(listenPort)
                    .arg(QString::fromLocal8Bit(text.mid(text.lastIndexOf('\n') + 1)));
        stopSocat();
        return false;
    }

    bool socatEnded(int msecs)
    {
        return socat->state() == QProcess::NotRunning || socat->waitForFinished(msecs);
    }

    void stopSocat()
    {
        if (!socat)
            return;
        if (socat->state() != QProcess::NotRunning) {
            // The children it forked end once the plain end closes their connections.
            socat->terminate();
            if (!socat->waitForFinished(5000)) {
                socat->kill();
                socat->waitForFinished(5000);
            }
        }
        socat.reset();
    }

    const QByteArray certificate;
    const QByteArray key;
    const QSsl::KeyAlgorithm algorithm;
    QTemporaryDir files;
    std::unique_ptr<QProcess> socat;
    QString error;
    QSemaphore started;
    std::atomic<quint16> backendPort{0};

    mutable QMutex mutex;
    Mode mode = Reply;
    QByteArray answer;
    QByteArray received;
    int requests = 0;
};
