// The unit's version text: any text packs into the low three bytes, and a
// dotted version the unit writes packs to exactly its parts.

#include "fuzzcheck.h"

#include "panel/pages/panelshared.h"

#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::uint32_t packed = parseVersionString(text);
    FUZZ_CHECK((packed & 0xFF000000u) == 0);
    FUZZ_CHECK(parseVersionString(text) == packed);

    fuzz::Input input(data, size);
    const unsigned major = input.byte(), minor = input.byte(), patch = input.byte();
    const std::uint32_t expected = major << 16 | minor << 8 | patch;
    const std::string dotted =
        std::to_string(major) + '.' + std::to_string(minor) + '.' + std::to_string(patch);
    FUZZ_CHECK(parseVersionString(dotted) == expected);
    // A build number or anything else after the third part changes nothing.
    FUZZ_CHECK(parseVersionString(dotted + '.' + input.rest()) == expected);
    // Parts not given stay 0.
    FUZZ_CHECK(parseVersionString(std::to_string(major) + '.' + std::to_string(minor))
               == (expected & 0xFFFF00u));
    FUZZ_CHECK(parseVersionString(std::to_string(major)) == (expected & 0xFF0000u));
    return 0;
}
