#include "link/rpcasynccall.h"

#include "link/rpcconnection.h"

RpcAsyncCall::Data::~Data()
{
    delete watcherHelper;
}

void RpcAsyncCall::Data::setCallKind(const TCommand& request)
{
    if (request.verb == TCommand::Do) {
        kind = ActionCall;
        return;
    }
    if (request.verb != TCommand::Param) {
        kind = OtherCall;
        return;
    }
    // The same shapes as TCommand::requestKind, numbered as the gatherer needs.
    switch (request.requestKind()) {
    case TCommand::ListRequest: kind = ListCall; break;
    case TCommand::GetRequest: kind = GetCall; break;
    case TCommand::UntargetedRequest: kind = UntargetedCall; break;
    default: kind = OtherCall; break;
    }
}

void RpcAsyncCall::Data::startTimeout(int seconds)
{
    if (seconds <= 0)
        return;
    // In 64 bits: a huge time-out must not wrap into a short one or none.
    timeoutMs = qint64(seconds) * 1000;
    timer.start();
}

bool RpcAsyncCall::Data::isTimedOut() const
{
    return timeoutMs > 0 && timer.isValid() && timer.elapsed() > timeoutMs;
}

RpcAsyncCall::RpcAsyncCall(Data* record)
    : d(record)
{
    if (d)
        d->ref.ref();
}

RpcAsyncCall::RpcAsyncCall(const RpcAsyncCall& other)
    : d(other.d)
{
    if (d)
        d->ref.ref();
}

RpcAsyncCall& RpcAsyncCall::operator=(const RpcAsyncCall& other)
{
    if (d == other.d)
        return *this;
    if (other.d)
        other.d->ref.ref();
    release();
    d = other.d;
    return *this;
}

RpcAsyncCall::~RpcAsyncCall()
{
    release();
}

void RpcAsyncCall::release()
{
    if (d && !d->ref.deref())
        delete d;
    d = nullptr;
}

RpcAsyncCall RpcAsyncCall::create(qint32 id)
{
    return RpcAsyncCall(new Data(id));
}

bool RpcAsyncCall::isFinished() const
{
    return !d || d->state != Pending;
}

bool RpcAsyncCall::isSucceeded() const
{
    return d && d->state == Succeeded;
}

bool RpcAsyncCall::isFailed() const
{
    return !d || d->state == Failed;
}

int RpcAsyncCall::errorCode() const
{
    return d ? d->errorCode : int(RpcConnection::InvalidCallError);
}

int RpcAsyncCall::id() const
{
    return d ? d->id : -1;
}

QString RpcAsyncCall::toString() const
{
    return QStringLiteral("errorCode %1").arg(errorCode());
}

RpcMessage RpcAsyncCall::reply() const
{
    if (!d)
        return RpcMessage(-1, RpcMessage::ErrorReply, RpcConnection::InvalidCallError, TCommand());
    switch (d->state) {
    case Succeeded:
        return RpcMessage(d->id, RpcMessage::Reply, 0, d->reply);
    case Failed:
        return RpcMessage(d->id, RpcMessage::ErrorReply, d->errorCode, TCommand());
    default:
        return RpcMessage(d->id, RpcMessage::ErrorReply, RpcConnection::InvalidCallError,
                          TCommand());
    }
}

RpcAsyncCall RpcAsyncCall::failedCall(int errorCode)
{
    RpcAsyncCall call = create(-1);
    call.d->state = Failed;
    call.d->errorCode = errorCode;
    return call;
}

RpcAsyncCall RpcAsyncCall::completedCall(const TCommand& reply)
{
    RpcAsyncCall call = create(-1);
    call.d->state = Succeeded;
    call.d->reply = reply;
    return call;
}

RpcAsyncCallWatcher::RpcAsyncCallWatcher(const RpcAsyncCall& call, QObject* parent)
    : QObject(parent), RpcAsyncCall(call)
{
    Data* record = data();
    if (!record)
        return;
    if (!record->watcherHelper)
        record->watcherHelper = new RpcAsyncCallWatcherHelper;
    QObject::connect(record->watcherHelper, &RpcAsyncCallWatcherHelper::finished, this,
                     &RpcAsyncCallWatcher::helperFinished);
}

RpcAsyncCallWatcher::~RpcAsyncCallWatcher() = default;

void RpcAsyncCallWatcher::helperFinished()
{
    emit finished(this);
}
