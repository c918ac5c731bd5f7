#include "link/protocolkeys.h"

namespace {

#define KANDELO_WIRE_INDEX(ns, name, text) ns##_##name,
enum WordIndex { KANDELO_WIRE_ALL(KANDELO_WIRE_INDEX) WordCount };
#undef KANDELO_WIRE_INDEX

// Built once, in declaration order, and deliberately never freed: objects
// destroyed at exit may still compare against the words.
const std::string *words()
{
    static const std::string *const table = [] {
        static const char *const texts[WordCount] = {
#define KANDELO_WIRE_TEXT(ns, name, text) text,
            KANDELO_WIRE_ALL(KANDELO_WIRE_TEXT)
#undef KANDELO_WIRE_TEXT
        };
        auto *built = new std::string[WordCount];
        for (int i = 0; i < WordCount; ++i)
            built[i] = texts[i];
        return built;
    }();
    return table;
}

// Build the table before main, as the rest of start-up expects.
const bool builtAtStart = (words(), true);

} // namespace

namespace wire {

#define KANDELO_WIRE_DEFINE(ns, name, text) \
    const std::string &ns::name() { return words()[ns##_##name]; }
KANDELO_WIRE_ALL(KANDELO_WIRE_DEFINE)
#undef KANDELO_WIRE_DEFINE

const std::vector<WordEntry> &allWords()
{
    static const std::vector<WordEntry> *const entries = new std::vector<WordEntry>{
#define KANDELO_WIRE_ENTRY(ns, name, text) {#ns, #name, &ns::name},
        KANDELO_WIRE_ALL(KANDELO_WIRE_ENTRY)
#undef KANDELO_WIRE_ENTRY
    };
    return *entries;
}

} // namespace wire
