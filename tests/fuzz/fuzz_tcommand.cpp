// The command language: any text parses without harm, and what the writer
// writes reads back as the same command and writes again as the same text.
// The escaped value lists split back into what was joined.

#include "fuzzcheck.h"

#include "link/tcommand.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> nonEmpty(const std::vector<std::string>& keys)
{
    std::vector<std::string> out;
    for (const std::string& key : keys)
        if (!key.empty())
            out.push_back(key);
    return out;
}

// write, parse, write: the second text equals the first and the command
// survives whole.
void checkRoundTrip(const TCommand& command)
{
    std::string first;
    if (TCommand::write(command, first) != 0) {
        FUZZ_CHECK(command.verb < TCommand::Param || command.verb > TCommand::Event
                   || !command.params.empty());
        return;
    }
    TCommand parsed;
    FUZZ_CHECK(TCommand::parse(first, parsed) == 0);
    FUZZ_CHECK(parsed.verb == command.verb);
    FUZZ_CHECK(parsed.params == command.params);
    FUZZ_CHECK(parsed.getKeys == nonEmpty(command.getKeys));
    FUZZ_CHECK(parsed.listKeys == nonEmpty(command.listKeys));
    std::string second;
    FUZZ_CHECK(TCommand::write(parsed, second) == 0);
    FUZZ_CHECK(second == first);
}

void checkList(const std::vector<std::string>& items, bool slash)
{
    std::string joined;
    std::vector<std::string> split;
    if (slash) {
        joinEscapedSlash(items, joined);
        splitEscapedSlash(joined, split);
    } else {
        joinEscaped(items, joined);
        splitEscaped(joined, split);
    }
    // A single empty item joins to the empty text, which splits to nothing.
    if (items.size() == 1 && items[0].empty())
        FUZZ_CHECK(split.empty());
    else
        FUZZ_CHECK(split == items);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string whole(reinterpret_cast<const char*>(data), size);

    // The input as a command text from the unit.
    TCommand parsed;
    if (TCommand::parse(whole, parsed) == 0) {
        FUZZ_CHECK(parsed.verb >= TCommand::Param && parsed.verb <= TCommand::Event);
        for (const std::string& key : parsed.getKeys)
            FUZZ_CHECK(!key.empty());
        for (const std::string& key : parsed.listKeys)
            FUZZ_CHECK(!key.empty());
        std::string text;
        if (TCommand::write(parsed, text) == 0) {
            TCommand again;
            FUZZ_CHECK(TCommand::parse(text, again) == 0);
            std::string textAgain;
            FUZZ_CHECK(TCommand::write(again, textAgain) == 0);
            FUZZ_CHECK(textAgain == text);
        }
        parsed.cause();
    } else {
        FUZZ_CHECK(parsed.verb == TCommand::NoVerb && parsed.params.empty() && parsed.getKeys.empty()
                   && parsed.listKeys.empty());
    }

    // The input as a command built by the program.
    fuzz::Input input(data, size);
    TCommand built(input.byte() % 6);
    std::vector<std::string> items;
    while (!input.empty()) {
        const std::uint8_t op = input.byte();
        const std::string a = input.text(31);
        switch (op % 4) {
        case 0:
            built.setParam(a, input.text(63), op >> 2, char(op));
            break;
        case 1:
            built.addGet(a);
            break;
        case 2:
            built.addList(a);
            break;
        default:
            items.push_back(a);
            break;
        }
    }
    checkRoundTrip(built);
    checkList(items, false);
    checkList(items, true);

    // unescapeToken from every position of a text ends, and never moves back.
    std::string out;
    std::size_t position = 0;
    std::size_t steps = 0;
    while (position != std::string::npos) {
        const std::size_t next = unescapeToken(whole, out, position, ",;/");
        FUZZ_CHECK(next == std::string::npos || (next > position && next <= whole.size()));
        position = next;
        FUZZ_CHECK(++steps <= whole.size() + 1);
    }
    FUZZ_CHECK(out.size() <= whole.size());
    return 0;
}
