#ifndef KANDELO_LINK_RPCASYNCCALL_H
#define KANDELO_LINK_RPCASYNCCALL_H

// A request issued with RpcConnection::asyncCall: a cheap handle to a shared,
// reference-counted call record. The connection keeps one handle in its map
// of pending calls until the reply, the time-out or the link going down;
// the caller keeps another and learns the outcome through a watcher.
//
// A call refused by asyncCall stays in state Pending and carries only a
// non-zero errorCode(): test errorCode() right after asyncCall, never
// isFinished().

#include "link/rpcmessage.h"
#include "link/tcommand.h"

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class RpcAsyncCallWatcherHelper : public QObject
{
    Q_OBJECT
public:
    RpcAsyncCallWatcherHelper() : QObject(nullptr) {}

signals:
    void finished();
};

class RpcAsyncCall
{
public:
    enum State : quint32 { Pending = 0, Succeeded = 2, Failed = 3 };

    // How replies are gathered depends only on ListCall (values appended).
    enum CallKind : quint32 {
        OtherCall = 0,       // PARAM with "target" or "cat", INFO, EVENT
        ActionCall = 1,      // DO
        ListCall = 2,        // PARAM with a LIST key
        GetCall = 3,         // PARAM with a GET key, or with no parameters
        UntargetedCall = 4   // PARAM with parameters but no "target" or "cat"
    };

    // The shared record, one per issued call.
    struct Data
    {
        QAtomicInt ref;
        qint32 id = -1;
        RpcAsyncCallWatcherHelper* watcherHelper = nullptr;
        quint32 kind = OtherCall;
        quint32 state = Pending;
        TCommand reply;
        qint32 errorCode = 0;
        qint64 timeoutMs = -1;
        QElapsedTimer timer;

        explicit Data(qint32 id = -1) : id(id) {}
        ~Data();
        Data(const Data&) = delete;
        Data& operator=(const Data&) = delete;

        void setCallKind(const TCommand& request);
        void startTimeout(int seconds);
        bool isTimedOut() const;
    };

    RpcAsyncCall() = default;
    RpcAsyncCall(const RpcAsyncCall& other);
    RpcAsyncCall& operator=(const RpcAsyncCall& other);
    ~RpcAsyncCall();

    bool isFinished() const;
    bool isSucceeded() const;
    bool isFailed() const;
    int errorCode() const;
    int id() const;
    QString toString() const;
    // Type 2 with the gathered reply when succeeded; type 3 with the code
    // when failed; type 3 with -1 while pending or without record.
    RpcMessage reply() const;

    static RpcAsyncCall failedCall(int errorCode);
    static RpcAsyncCall completedCall(const TCommand& reply);

    // For the connection, which owns the call's lifecycle.
    Data* data() const { return d; }
    static RpcAsyncCall create(qint32 id);

private:
    explicit RpcAsyncCall(Data* record);
    void release();

    Data* d = nullptr;
};

// Emits finished(this) once the watched call has succeeded or failed. A
// watcher without record never fires. The receiver reads the outcome
// through the watcher and disposes of it.
class RpcAsyncCallWatcher : public QObject, public RpcAsyncCall
{
    Q_OBJECT
public:
    explicit RpcAsyncCallWatcher(const RpcAsyncCall& call, QObject* parent = nullptr);
    ~RpcAsyncCallWatcher() override;

signals:
    void finished(RpcAsyncCallWatcher* watcher);

private slots:
    void helperFinished();
};

#endif
