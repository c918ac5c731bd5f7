// The interface controllers' key tables (Ethernet, ISDN, mobile, Wi-Fi) fed
// any GET reply on any firmware: applied twice it changes nothing, and what
// the controller writes back reads back as itself.

#include "fuzzcheck.h"

#include "model/tcomethernetcontroller.h"
#include "model/tcomisdncontroller.h"
#include "model/tcommobilecontroller.h"
#include "model/tcomwificontroller.h"
#include "model/unitfirmware.h"

#include <memory>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt("fuzz_keytables");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t kind = input.byte();
    unitFirmwareVersion = input.word();
    TCommand reply;
    TCommand::parse(input.rest(), reply);
    if (kind & 4)
        reply.setParam("return", "OK", TCommand::Replace);

    std::unique_ptr<TComNetworkController> controller;
    switch (kind % 4) {
    case 0: controller = std::make_unique<TComEthernetController>(nullptr); break;
    case 1: controller = std::make_unique<TComIsdnController>(nullptr); break;
    case 2: controller = std::make_unique<TComMobileController>(nullptr); break;
    default: controller = std::make_unique<TComWifiController>(nullptr); break;
    }
    static const char* const kNetworks[] = {"eth.0", "isdn.0", "mobile.0", "wifi.0"};
    FUZZ_CHECK(controller->attach(kNetworks[kind % 4], 0, false));
    int changes = 0;
    QObject::connect(controller.get(), &TComNetworkController::controllerParamChanged, [&] { ++changes; });
    fuzz::Replies unit;
    fuzz::checkKeyTable(*controller, unit, reply);
    // The last two reads brought the same values: nobody was told of a change.
    changes = 0;
    controller->refresh();
    FUZZ_CHECK(changes == 0);
    return 0;
}
