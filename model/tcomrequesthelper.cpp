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

// Follows "PROGRESS" replies up to the final one, handing each partial reply
// to collect first. False when the session has no follow-up or sends too many.
template <class Collect>
bool followUntilFinal(zel::CCom* session, TCommand& reply, Collect collect)
{
    for (int i = 0; returnOf(reply) == wire::reply::progress(); ++i) {
        if (i == kMaxFollowUps)
            return false;
        collect(reply);
        if (session->lastErrors(reply) < 0)
            return false;
    }
    return true;
}

bool followUntilFinal(zel::CCom* session, TCommand& reply)
{
    return followUntilFinal(session, reply, [](const TCommand&) {});
}

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

bool TComRequestHelper::exchange(const TCommand& request, TCommand& reply, int timeoutMs)
{
    const int result = m_session->sendSyncMsg(request, reply, 0, timeoutMs);
    if (result != 0) {
        qDebug().noquote().nospace() << "TComRequestHelper::exchange(result=" << result << ")";
        return false;
    }
    return true;
}

void TComRequestHelper::appendItems(const TCommand& reply, const std::string& key,
                                    std::vector<std::string>& items) const
{
    const std::string& value = *reply.param(key, true);
    if (value.empty())
        return;
    std::vector<std::string> found;
    if (*reply.param(wire::link::returnFmt(), true) == wire::link::ext()) {
        // Gathered with the group separator: items are raw, not escaped.
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = value.find('\x1D', start);
            found.push_back(value.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    } else {
        splitEscaped(value, found);
    }
    items.insert(items.end(), found.begin(), found.end());
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
    if (!m_session || request.getKeys.size() != 1)
        return false;
    TCommand reply;
    if (!exchange(request, reply, timeoutMs) || !followUntilFinal(m_session, reply))
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
    if (!m_session || request.params.empty())
        return -1;
    TCommand reply;
    if (!exchange(request, reply, timeoutMs) || !followUntilFinal(m_session, reply))
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
    if (!m_session || request.params.empty() || request.listKeys.size() != 1)
        return false;
    TCommand reply;
    const std::string& key = request.listKeys.front();
    const auto append = [&](const TCommand& partial) { appendItems(partial, key, items); };
    if (!exchange(request, reply, timeoutMs) || !followUntilFinal(m_session, reply, append))
        return false;
    if (returnOf(reply) != wire::reply::ok())
        return false;
    appendItems(reply, key, items);
    return true;
}

bool TComRequestHelper::call(const TCommand& request, ValueMap& reply, int timeoutMs)
{
    m_lastError.clear();
    if (!m_session || request.params.empty())
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
    if (!m_session || request.getKeys.empty())
        return -1;
    TCommand reply;
    const auto collect = [&](const TCommand& partial) { insertAll(partial, values); };
    if (!exchange(request, reply, timeoutMs) || !followUntilFinal(m_session, reply, collect))
        return -1;
    const std::string& result = returnOf(reply);
    if (result == wire::reply::ok()) {
        insertAll(reply, values);
        values.erase(wire::key::return_());
        return static_cast<int>(values.size());
    }
    if (result == wire::reply::error()) {
        reply.params.erase(wire::key::return_());
        values.erase(wire::key::return_());
        for (const auto& p : reply.params) {
            if (p.second == wire::unitError::parameterNotSet())
                values.emplace(p.first, std::string());
            else
                errors.insert(p);
        }
        return static_cast<int>(values.size());
    }
    return -1;
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
