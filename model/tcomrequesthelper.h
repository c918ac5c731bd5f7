#pragma once

#include "link/tcommand.h"

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zel {
class CCom;
}

// Where the helper's requests are answered when it has no session: any other
// producer of the unit's replies (a recorded exchange, a fuzzer's input).
class TComReplySource
{
public:
    virtual ~TComReplySource() = default;
    // 0 with the reply, or an error code as the session's synchronous call.
    virtual int exchange(const TCommand& request, TCommand& reply, int timeoutMs) = 0;
    // The follow-up of a "PROGRESS" reply, as the session's lastErrors().
    virtual int followUp(TCommand& reply) = 0;
};

// Turns one request into one synchronous exchange with the unit and judges
// the reply. Held by value by every controller and model; copied with its
// owner. Without a session or reply source every operation fails at once.
class TComRequestHelper
{
public:
    typedef std::map<std::string, std::string> ValueMap;

    // More items than any unit lists: a longer LIST reply is refused rather
    // than held (the frame cap would let one reply grow to millions).
    static constexpr std::size_t kMaxListItems = 4096;

    explicit TComRequestHelper(zel::CCom* session = nullptr);
    explicit TComRequestHelper(TComReplySource* source);

    zel::CCom* session() const { return m_session; }
    bool canRequest() const { return m_session || m_source; }
    // The unit's "cause" of the last failed send() or call(); empty otherwise.
    const std::string& lastError() const { return m_lastError; }

    bool send(const TCommand& request, int timeoutMs = 5000);
    // One GET key. A key the unit holds without a value reads as empty.
    bool getValue(const TCommand& request, std::string& value, int timeoutMs = 5000);
    // The number of the request's parameters the unit accepted, or -1.
    int setParams(const TCommand& request, int timeoutMs = 5000);
    // One LIST key; the items are appended to what items already holds. A
    // reply of more than kMaxListItems items fails and leaves items as it was.
    bool getList(const TCommand& request, std::vector<std::string>& items, int timeoutMs = 5000);
    // On "OK" every parameter of the reply (but "return") is added to reply.
    bool call(const TCommand& request, ValueMap& reply, int timeoutMs = 5000);
    // The number of entries of values, or -1. Refused keys go to errors with
    // the unit's text; existing entries are never overwritten.
    int getParams(const TCommand& request, ValueMap& values, ValueMap& errors, int timeoutMs = 5000);
    // The unit's final reply to a request, "PROGRESS" follow-ups followed, for
    // replies no other operation judges; false when none came.
    bool finalReply(const TCommand& request, TCommand& reply, int timeoutMs = 5000);
    bool subscribe(const std::string& info);
    bool unsubscribe(const std::string& info);

    // Every GET key of the request has an entry in values. Judged by the keys
    // rather than by the count getParams() returns, so keys the unit echoes
    // besides them ("target", "returnFmt") cannot make a load fail.
    static bool allAnswered(const TCommand& request, const ValueMap& values);

private:
    bool exchange(const TCommand& request, TCommand& reply, int timeoutMs);
    bool followUntilFinal(TCommand& reply, const std::function<void(const TCommand&)>& collect = {});
    static bool appendItems(const TCommand& reply, const std::string& key, std::vector<std::string>& items,
                            std::size_t first);

    zel::CCom* m_session = nullptr;
    TComReplySource* m_source = nullptr;
    std::string m_lastError;
};
