// What the mobile and Wi-Fi controllers read from the unit: signal and
// technology texts, the scan list with its escaped commas, and the INFO and
// EVENT messages handed to them.

#include "fuzzcheck.h"

#include "link/tcommand.h"
#include "model/tcommobilecontroller.h"
#include "model/tcomwificontroller.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt("fuzz_netcontrollers");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t flags = input.byte();
    const std::string text = input.text();
    wifiSignalFromText(text); // any reading, but no overflow
    const int technology = mobileTechnologyFromName(text);
    FUZZ_CHECK(technology >= -1 && technology <= 3);

    // Scanned names read back as they were joined, commas and all.
    std::vector<std::string> names, again;
    std::string joined;
    splitEscaped(text, names);
    joinEscaped(names, joined);
    splitEscaped(joined, again);
    FUZZ_CHECK(again == names || (names == std::vector<std::string>{""} && again.empty()));

    // A message, pointed at the controllers' interfaces as the flags say.
    TCommand message;
    TCommand::parse(input.rest(), message);
    const char* network = flags & 1 ? "mobile.0" : "wifi.0";
    if (flags & 2)
        message.setParam("info_type", "network_info", TCommand::Replace);
    if (flags & 4)
        message.setParam("info_source", network, TCommand::Replace);
    if (flags & 8)
        message.setParam("event_type", flags & 16 ? "config info" : "default_network", TCommand::Replace);
    if (flags & 32)
        message.setParam("network", network, TCommand::Replace);

    TComMobileController mobile(nullptr);
    TComWifiController wifi(nullptr);
    FUZZ_CHECK(mobile.attach("mobile.0", 0, false) && wifi.attach("wifi.0", 0, false));
    const bool info = *message.param("info_type") == "network_info";
    const std::string& type = *message.param("event_type");
    const bool event = type == "config info" || type == "default_network";
    FUZZ_CHECK(mobile.handleInfo(message) == (info && *message.param("info_source") == "mobile.0"));
    FUZZ_CHECK(wifi.handleInfo(message) == (info && *message.param("info_source") == "wifi.0"));
    FUZZ_CHECK(mobile.handleEvent(message) == (event && *message.param("network") == "mobile.0"));
    FUZZ_CHECK(wifi.handleEvent(message) == (event && *message.param("network") == "wifi.0"));
    // Operator names are kept only for a registered modem, as the unit sent them.
    FUZZ_CHECK(mobile.state() >= 0 && mobile.state() <= 6 && wifi.state() == 0);
    FUZZ_CHECK(mobile.operatorLong().empty()
               || (mobile.state() == 0 && mobile.operatorLong() == *message.param("operator_long")));
    FUZZ_CHECK(mobile.technology() >= -1 && mobile.technology() <= 3 && mobile.mode() >= -1 && mobile.mode() <= 1);
    return 0;
}
