#ifndef KANDELO_LINK_TCOMMAND_H
#define KANDELO_LINK_TCOMMAND_H

// One command of the unit's text language: a verb, ordered parameters and
// the keys whose values (GET) or lists (LIST) are asked for.
//
// Text form: VERB;key:value;...;GET:key;LIST:key;
// Keys and values are escaped for ";" with "\".

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class TCommand
{
public:
    enum Verb : std::uint32_t {
        NoVerb = 0,   // empty command; a message with it has no body
        Param = 1,    // "PARAM": read or write parameters of a target
        Do = 2,       // "DO": perform an action
        Info = 3,     // "INFO": information sent by the unit
        Event = 4     // "EVENT": event sent by the unit
    };

    // setParam() and merge() modes.
    enum SetMode {
        KeepExisting = 0,  // insert when absent, keep an existing value
        Replace = 1,       // replace or insert (any mode other than 0 and 2)
        Append = 2         // existing non-empty value gets separator + value
    };

    // requestKind() results.
    enum RequestKind : std::uint32_t {
        SetRequest = 0,         // parameters with a "target" or a "cat"
        GetRequest = 1,         // GET keys, or no parameters at all
        UntargetedRequest = 2,  // parameters without "target" and "cat"
        ListRequest = 3         // LIST keys
    };

    typedef std::map<std::string, std::string> ParamMap;

    explicit TCommand(std::uint32_t verb = NoVerb);

    // Sets the verb and drops every parameter and key.
    void reset(std::uint32_t verb = NoVerb);

    void setParam(const std::string &key, const std::string &value,
                  int mode = KeepExisting, char separator = ',');
    // Empty keys are ignored.
    void addGet(const std::string &key);
    void addList(const std::string &key);

    // The stored value, or (when absent) a shared empty string if
    // emptyIfAbsent, else null. Never inserts.
    const std::string *param(const std::string &key, bool emptyIfAbsent = true) const;

    std::uint32_t requestKind() const;

    // Merges only the other command's parameters (not its verb or keys).
    void merge(const TCommand &other, int mode = KeepExisting, char separator = ',');

    // Unit error number of "cause" (absent: 200).
    int cause() const;
    // Unit error number of any parameter's value (absent: 200).
    int paramErrorCode(const std::string &key) const;

    // Replaces out by the command's text; -1 (out untouched) for a verb
    // outside 1..4 or a parameter key that would not read back as itself
    // (empty, holding ":", starting with ";" or "\", or "GET"/"LIST").
    static int write(const TCommand &command, std::string &out);
    // Resets command and fills it from text; -1 when the text has no valid
    // verb (command is then empty with verb 0).
    static int parse(const std::string &text, TCommand &command);

    std::uint32_t verb;
    ParamMap params;
    std::vector<std::string> getKeys;
    std::vector<std::string> listKeys;
};

// Calls sink(item, begin, end) for each item of a command text from position
// on, as parse() cuts them: ";" ends an item unless escaped, "\" keeps the
// next character whatever it is, and an item never starts with ";" or "\"
// (runs of separators give no empty items). item is unescaped; [begin, end)
// is its span in text. A trailing lone "\" is dropped.
template <typename Sink>
void forEachCommandItem(const std::string &text, std::size_t pos, Sink sink)
{
    const std::size_t size = text.size();
    std::string item;
    while (pos < size) {
        while (pos < size && (text[pos] == ';' || text[pos] == '\\'))
            ++pos;
        if (pos >= size)
            break;
        const std::size_t begin = pos;
        item.clear();
        while (pos < size && text[pos] != ';') {
            // Plain characters up to the next ";" or "\" go in as one run.
            std::size_t run = pos;
            while (run < size && text[run] != ';' && text[run] != '\\')
                ++run;
            item.append(text, pos, run - pos);
            pos = run;
            if (pos < size && text[pos] == '\\') {
                if (++pos >= size)
                    break;
                item += text[pos++];
            }
        }
        sink(item, begin, pos);
    }
}

// Appends text to out with a "\" before every delimiter and every "\".
void escapeText(const std::string &text, std::string &out, const std::string &delimiters);

// Appends to out the characters from position up to the next unescaped
// delimiter, dropping escaping backslashes. Returns the position after that
// delimiter, or npos when the text ended (or position already was npos).
std::size_t unescapeToken(const std::string &text, std::string &out, std::size_t position,
                          const std::string &delimiters);

// Pieces between unescaped "," (or "/"), unescaped; empty pieces included,
// nothing for an empty text. items is expected empty.
void splitEscaped(const std::string &text, std::vector<std::string> &items);
void splitEscapedSlash(const std::string &text, std::vector<std::string> &items);

// Appends the items escaped for "," (or "/"), separated by it.
void joinEscaped(const std::vector<std::string> &items, std::string &out);
void joinEscapedSlash(const std::vector<std::string> &items, std::string &out);

#endif
