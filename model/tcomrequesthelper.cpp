#include "model/tcomrequesthelper.h"

#include "link/ccom.h"
#include "link/protocolkeys.h"

#include <QDebug>

namespace {

const std::string& returnOf(const TCommand& reply)
{
    return *reply.param(wire::key::return_(), true);
}

void insertAll(const TCommand& reply, TComRequestHelper::ValueMap& into)
{
    for (const auto& p : reply.params)
        into.insert(p);
}

// A PARAM exchange reports refused keys as "PROGRESS" with a follow-up; a
// well-behaved session hands out that follow-up once, marked "ERROR".
constexpr int kMaxFollowUps = 4;

TCommand subscriptionRequest(const std::string& action, const std::string& info)
{
    TCommand request(TCommand::Do);
    request.setParam(wire::key::action(), action);
    request.setParam(wire::key::info(), info);
    return request;
}

} // namespace

TComRequestHelper::TComRequestHelper(zel::CCom* session)
    : m_session(session)
{
}

TComRequestHelper::TComRequestHelper(TComReplySource* source)
    : m_source(source)
{
}

bool TComRequestHelper::exchange(const TCommand& request, TCommand& reply, int timeoutMs)
{
    const int result = m_source ? m_source->exchange(request, reply, timeoutMs)
                                : m_session->sendSyncMsg(request, reply, 0, timeoutMs);
    if (result != 0) {
        qDebug().noquote().nospace() << "TComRequestHelper::exchange(result=" << result << ")";
        return false;
    }
    return true;
}

// Follows "PROGRESS" replies up to the final one, handing each partial reply
// to collect first. False when there is no follow-up or too many.
bool TComRequestHelper::followUntilFinal(TCommand& reply, const std::function<void(const TCommand&)>& collect)
{
    for (int i = 0; returnOf(reply) == wire::reply::progress(); ++i) {
        if (i == kMaxFollowUps)
            return false;
        if (collect)
            collect(reply);
        const int result = m_source ? m_source->followUp(reply) : m_session->lastErrors(reply);
        if (result < 0)
            return false;
    }
    return true;
}

// Split in place and counted as they come, so an endless list costs no more
// than the bound before it is refused.
bool TComRequestHelper::appendItems(const TCommand& reply, const std::string& key,
                                    std::vector<std::string>& items, std::size_t first)
{
    const std::string& value = *reply.param(key, true);
    if (value.empty())
        return true;
    // Gathered with the group separator ("EXT"), items are raw, not escaped.
    const bool raw = *reply.param(wire::link::returnFmt(), true) == wire::link::ext();
    static const std::string comma(1, ',');
    std::size_t pos = 0;
    do {
        if (items.size() - first >= kMaxListItems) {
            qWarning().noquote() << "TComRequestHelper: list" << QString::fromStdString(key)
                                 << "holds more than" << kMaxListItems << "items, refused";
            return false;
        }
        items.emplace_back();
        if (raw) {
            const std::size_t end = value.find('\x1D', pos);
            items.back().assign(value, pos, end == std::string::npos ? std::string::npos : end - pos);
            pos = end == std::string::npos ? end : end + 1;
        } else {
            pos = unescapeToken(value, items.back(), pos, comma);
        }
    } while (pos != std::string::npos);
    return true;
}

bool TComRequestHelper::send(const TCommand& request, int timeoutMs)
{
    ValueMap ignored;
    return call(request, ignored, timeoutMs);
}

bool TComRequestHelper::getValue(const TCommand& request, std::string& value, int timeoutMs)
{
    m_lastError.clear();
    value.clear();
    if (!canRequest() || request.getKeys.size() != 1)
        return false;
    TCommand reply;
    if (!exchange(request, reply, timeoutMs) || !followUntilFinal(reply))
        return false;
    const std::string& key = request.getKeys.front();
    const std::string& result = returnOf(reply);
    if (result == wire::reply::ok()) {
        value = *reply.param(key, true);
        return true;
    }
    if (result == wire::reply::error()) {
        const std::string& text = *reply.param(key, true);
        if (text == wire::unitError::parameterNotSet())
            return true;
        value = text;
        return false;
    }
    return false;
}

int TComRequestHelper::setParams(const TCommand& request, int timeoutMs)
{
    m_lastError.clear();
    if (!canRequest() || request.params.empty())
        return -1;
    TCommand reply;
    if (!exchange(request, reply, timeoutMs) || !followUntilFinal(reply))
        return -1;
    const int count = static_cast<int>(request.params.size());
    const std::string& result = returnOf(reply);
    if (result == wire::reply::ok())
        return count;
    if (result == wire::reply::error()) {
        reply.params.erase(wire::key::return_());
        const int rejected = static_cast<int>(reply.params.size());
        // A refusal that names no key must not read as "all accepted".
        if (rejected == 0)
            return -1;
        return rejected < count ? count - rejected : 0;
    }
    return -1;
}

bool TComRequestHelper::getList(const TCommand& request, std::vector<std::string>& items, int timeoutMs)
{
    m_lastError.clear();
    if (!canRequest() || request.params.empty() || request.listKeys.size() != 1)
        return false;
    TCommand reply;
    const std::string& key = request.listKeys.front();
    const std::size_t first = items.size();
    bool bounded = true;
    const auto append = [&](const TCommand& partial) {
        bounded = bounded && appendItems(partial, key, items, first);
    };
    if (exchange(request, reply, timeoutMs) && followUntilFinal(reply, append)
        && returnOf(reply) == wire::reply::ok()) {
        append(reply);
        if (bounded)
            return true;
    }
    items.resize(first);
    return false;
}

bool TComRequestHelper::call(const TCommand& request, ValueMap& reply, int timeoutMs)
{
    m_lastError.clear();
    if (!canRequest() || request.params.empty())
        return false;
    TCommand answer;
    if (!exchange(request, answer, timeoutMs))
        return false;
    if (returnOf(answer) != wire::reply::ok()) {
        m_lastError = *answer.param(wire::key::cause(), true);
        return false;
    }
    insertAll(answer, reply);
    reply.erase(wire::key::return_());
    return true;
}

int TComRequestHelper::getParams(const TCommand& request, ValueMap& values, ValueMap& errors, int timeoutMs)
{
    m_lastError.clear();
    if (!canRequest() || request.getKeys.empty())
        return -1;
    TCommand reply;
    // Gathered apart: a read that fails half-way leaves values as they were.
    ValueMap got;
    const auto collect = [&](const TCommand& partial) { insertAll(partial, got); };
    if (!exchange(request, reply, timeoutMs) || !followUntilFinal(reply, collect))
        return -1;
    const std::string& result = returnOf(reply);
    if (result == wire::reply::ok()) {
        insertAll(reply, got);
    } else if (result == wire::reply::error()) {
        reply.params.erase(wire::key::return_());
        for (const auto& p : reply.params) {
            if (p.second == wire::unitError::parameterNotSet())
                got.emplace(p.first, std::string());
            else
                errors.insert(p);
        }
    } else {
        return -1;
    }
    got.erase(wire::key::return_());
    values.insert(got.begin(), got.end());
    return static_cast<int>(values.size());
}

bool TComRequestHelper::finalReply(const TCommand& request, TCommand& reply, int timeoutMs)
{
    m_lastError.clear();
    return canRequest() && exchange(request, reply, timeoutMs) && followUntilFinal(reply);
}

bool TComRequestHelper::subscribe(const std::string& info)
{
    m_lastError.clear();
    return !info.empty() && send(subscriptionRequest(wire::action::subscribe(), info));
}

bool TComRequestHelper::unsubscribe(const std::string& info)
{
    m_lastError.clear();
    return !info.empty() && send(subscriptionRequest(wire::action::unsubscribe(), info));
}

bool TComRequestHelper::allAnswered(const TCommand& request, const ValueMap& values)
{
    if (request.getKeys.empty())
        return false;
    for (const std::string& key : request.getKeys) {
        if (!values.count(key))
            return false;
    }
    return true;
}
