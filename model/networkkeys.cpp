#include "model/networkkeys.h"

namespace netkey {
#define KANDELO_NETWORK_KEY_DEFINE(name, text) \
    const std::string& name() \
    { \
        static const std::string* const word = new std::string(text); \
        return *word; \
    }
KANDELO_NETWORK_KEYS(KANDELO_NETWORK_KEY_DEFINE)
#undef KANDELO_NETWORK_KEY_DEFINE
} // namespace netkey
