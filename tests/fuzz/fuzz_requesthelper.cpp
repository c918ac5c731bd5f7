// The request helper's judgement of the unit's replies: a run of replies
// (follow-ups included) to a GET, LIST, PARAM or single-key request. A
// refused read leaves what the caller held, the same replies applied again
// change nothing, and a list stays within its bound and splits as it came.

#include "fuzzcheck.h"

#include "link/valuetext.h"

namespace {

using ValueMap = TComRequestHelper::ValueMap;

struct Outcome
{
    int result = 0;
    ValueMap values{{"kept", "old"}}, errors;
    std::vector<std::string> items{"old"};
    std::string value = "old";
    bool operator==(const Outcome& o) const
    {
        return result == o.result && values == o.values && errors == o.errors && items == o.items
               && value == o.value;
    }
};

Outcome apply(int op, const TCommand& request, const std::vector<std::string>& replies, Outcome state,
              fuzz::Replies* unit = nullptr)
{
    fuzz::Replies own(replies);
    TComRequestHelper helper(unit ? unit : &own);
    switch (op) {
    case 0: state.result = helper.getParams(request, state.values, state.errors); break;
    case 1: state.result = helper.getList(request, state.items); break;
    case 2: state.result = helper.setParams(request); break;
    default: state.result = helper.getValue(request, state.value); break;
    }
    return state;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(fuzz::silentMessageHandler);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const int op = input.byte() % 4;
    // The request's keys, then the replies, one a line.
    std::vector<std::string> keys, replies;
    splitAny(input.text(), keys, ",");
    splitAny(input.rest(), replies, "\n");
    TCommand request(TCommand::Param);
    request.setParam("target", "network");
    for (const std::string& key : keys)
        op == 1 ? request.addList(key) : op == 2 ? request.setParam(key, "1") : request.addGet(key);

    const Outcome start;
    fuzz::Replies unit(replies);
    const Outcome once = apply(op, request, replies, start, &unit);
    // A refused read or list leaves what the caller held.
    if (op < 2 && once.result <= 0)
        FUZZ_CHECK(once.values == start.values && once.errors.empty() && once.items == start.items);
    FUZZ_CHECK(once.items.size() - 1 <= TComRequestHelper::kMaxListItems);
    FUZZ_CHECK(op != 2 || (once.result >= -1 && once.result <= int(request.params.size())));
    FUZZ_CHECK(op != 0 || once.result < 0 || (once.result == int(once.values.size()) && !once.values.count("return")));
    // One final reply: its items are the list's own, split as they were joined.
    if (op == 1 && once.result && unit.next == 1) {
        const TCommand& reply = unit.replies.front();
        const std::string& text = *reply.param(keys.front());
        if (*reply.param("returnFmt") == "EXT") {
            std::string joined;
            for (std::size_t i = 1; i < once.items.size(); ++i)
                joined += (i > 1 ? "\x1D" : "") + once.items[i];
            FUZZ_CHECK(joined == text);
        } else {
            std::vector<std::string> items{"old"};
            splitEscaped(text, items);
            FUZZ_CHECK(items == once.items);
        }
    }
    // The same replies again: the same answer, and a read onto its own result adds nothing.
    FUZZ_CHECK(apply(op, request, replies, start) == once);
    if (op == 0) {
        const Outcome twice = apply(op, request, replies, once);
        FUZZ_CHECK(twice.values == once.values && twice.errors == once.errors && twice.result == once.result);
    }
    return 0;
}
