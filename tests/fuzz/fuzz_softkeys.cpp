// What the softkey model reads from the unit: key texts in the current
// ("C..F..B..") and older (decimal) forms, UTF-8 labels, and whole
// "config_changeset" messages, on any firmware word.

#include "fuzzcheck.h"

#include "link/tcommand.h"
#include "model/qpraviksoftkeys.h"
#include "model/textconv.h"
#include "model/unitfirmware.h"

namespace {

// Every key holds a category, a function it may take (or none) and a
// behaviour its category allows; its wire text reads back as itself.
void checkKeys(QPravikSoftkeys& model)
{
    FUZZ_CHECK(!model.isApplying());
    QPravikSoftkeys again;
    for (int i = 0; i < QPravikSoftkeys::kKeyCount; ++i) {
        QPravikSoftkey* key = model.softkey(i);
        const int category = key->category();
        FUZZ_CHECK(category >= QPravikSoftkey::None && category <= QPravikSoftkey::Shortcuts);
        FUZZ_CHECK(key->behaviors(category).contains(key->behavior()));
        FUZZ_CHECK(key->function() == 0 || key->functions(category, false).contains(key->function()));
        FUZZ_CHECK(category != QPravikSoftkey::None || (key->function() == 0 && key->input() == -1));

        const std::string text = key->wireText();
        again.parseSoftkey("softkey" + std::to_string(i + 1), text);
        QPravikSoftkey* copy = again.softkey(i);
        FUZZ_CHECK(copy->category() == category && copy->function() == key->function());
        FUZZ_CHECK(copy->input() == key->input() && copy->output() == key->output());
        FUZZ_CHECK(unitFirmwareVersion <= 0x10703 || copy->behavior() == key->behavior());
    }
    // Labels read from UTF-8 go back as they came.
    for (const QString& label : {model.infoLabel(0), model.infoLabel(1), model.contactLabel(0), model.contactLabel(1)})
        FUZZ_CHECK(fromUnitUtf8(toUnitUtf8(label)) == label);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt("fuzz_softkeys");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t flags = input.byte();
    unitFirmwareVersion = input.word();
    const std::string key = input.text(32);
    const std::string value = input.text();

    const int legacy = QPravikSoftkey::legacyFunction(static_cast<int>(unitFirmwareVersion));
    FUZZ_CHECK(legacy >= 0 && legacy <= 16);
    FUZZ_CHECK((QPravikSoftkey::functionCode(flags & 7, legacy) & 0xFF) == legacy);
    // Any category, key number and option word: only functions of the category are offered.
    const int category = static_cast<std::int8_t>(flags) / 4;
    const std::uint32_t offered = QPravikSoftkey::availableFunctions(category, flags & 7, unitFirmwareVersion,
                                                                     unitFirmwareVersion, flags & 2);
    for (int n = 1; n <= 32; ++n)
        FUZZ_CHECK(!(offered >> (n - 1) & 1) || QPravikSoftkey::functionRank(category, n) > 0);

    // The session is not connected: anything sent would fail at once.
    QPravikSoftkeys model;
    model.parseSoftkey(key, value);
    model.applyInfoLabel(key, value);
    model.applyContactLabel(key, value);
    checkKeys(model);

    TCommand message;
    TCommand::parse(input.rest(), message);
    if (flags & 1)
        message.setParam("info_type", "config_changeset", TCommand::Replace);
    model.handleConfigChangeset(message);
    checkKeys(model);
    return 0;
}
