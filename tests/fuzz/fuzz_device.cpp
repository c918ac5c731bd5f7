// What the device model and the AoIP controller read from the unit: an
// interface name, the items of the option list, and reply values and
// registration messages for the AoIP controller, whose key table, fed them
// as a GET reply, writes back what reads back as itself.

#include "fuzzcheck.h"

#include "model/tcomaoipcontroller.h"
#include "link/tcommand.h"
#include "model/tcomdevice.h"

namespace {
// Takes reply values as a read hands them over.
struct Aoip : TComAoIPController
{
    Aoip() : TComAoIPController(nullptr) {}
    using TComController::applyValues;
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt("fuzz_device");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    // A valid code is its name's class plus one byte, and names itself again.
    const std::string name = input.text();
    const std::uint32_t code = interfaceCodeFromName(name);
    const std::uint32_t cls = interfaceClassFromName(name);
    if (code != kInvalidInterface) {
        FUZZ_CHECK((code & ~0xFFu) == cls && interfaceClass(int(code)) == cls);
        FUZZ_CHECK(interfaceCodeFromName(interfaceName(int(code))) == code);
        FUZZ_CHECK(transportOf(int(code)) == transportFromName(name));
    }

    // Option items, one a line: only the table's bits, the higher grades with the lower.
    std::vector<std::string> items;
    splitAny(input.text(), items, "\n");
    const std::uint32_t bits = deviceOptionsFromItems(items).bits;
    FUZZ_CHECK((bits & ~0x1FFFu) == 0 && (!(bits & 0x10) || (bits & 0x8)) && (!(bits & 0x40) || (bits & 0x20)));

    TCommand message;
    TCommand::parse(input.rest(), message);
    Aoip aoip;
    aoip.applyValues(message.params);
    const std::string& type = *message.param("info_type");
    FUZZ_CHECK(aoip.handleInfo(message) == (type == "sip_registration" || type == "sip_registration2"));
    FUZZ_CHECK(aoip.audioMode() >= 0 && aoip.audioMode() <= 2 && aoip.streamPattern() >= 0
               && aoip.streamPattern() <= 3 && aoip.ecmBfShift() >= 0 && aoip.ecmBfShift() <= 2);
    FUZZ_CHECK(aoip.stunNatType() >= 0 && aoip.stunNatType() <= 8 && aoip.sipKeepAliveTarget() >= 0
               && aoip.sipKeepAliveTarget() <= 1);
    FUZZ_CHECK(aoip.sipUdpPort() >= 1 && aoip.rtpStartPort() >= 1 && aoip.sipDefAccount() >= 1 && aoip.rtpTos() >= 0);
    TCommand reply = message;
    reply.setParam("return", "OK", TCommand::Replace);
    fuzz::Replies unit;
    Aoip table;
    fuzz::checkKeyTable(table, unit, reply);
    // Without a session nothing can be written, secrets included.
    FUZZ_CHECK(!aoip.writeParams({"sip_password", "sip_password2", "sip_user", "stun_server"}));
    return 0;
}
