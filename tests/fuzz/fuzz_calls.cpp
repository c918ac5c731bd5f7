// What calls and data links read from the unit: the items of a codec choice
// list, and a run of call or data events (progress, codecs, quality reports,
// relays, addresses) applied to one connection on a device, and the same run
// (INFO messages too) through the device's own message handling.

#include "fuzzcheck.h"

#include "link/tcommand.h"
#include "model/tcomdevice.h"

namespace {

// Feeds the messages to a device on no session, whose receivers read the
// connections they are handed and, with dropOnAdd, clear the device as soon
// as one is added.
void feedDevice(const std::vector<std::string>& lines, bool dropOnAdd)
{
    // Declared before the device: its destructor still announces removals.
    int added = 0;
    TComDevice device(nullptr);
    QObject::connect(&device, &TComDevice::connectionAdded, [&] {
        if (++added && dropOnAdd)
            device.clear(true);
    });
    QObject::connect(&device, &TComDevice::connectionRemoved, [&] { --added; });
    const auto read = [&](TComBaseConnection* c) { FUZZ_CHECK(c->state() >= 0 && c->state() <= 4); };
    QObject::connect(&device, &TComDevice::audioConnectionStateChanged, read);
    QObject::connect(&device, &TComDevice::audioCallStatusChanged, read);
    QObject::connect(&device, &TComDevice::dataConnectionStateChanged, read);
    for (const std::string& line : lines) {
        TCommand message;
        TCommand::parse(line, message);
        const bool handled = message.verb == TCommand::Info ? device.handleInfo(message) : device.handleEvent(message);
        FUZZ_CHECK(!handled || !message.param(message.verb == TCommand::Info ? "info_type" : "event_type")->empty());
        // What is registered was announced, is whole and has not ended.
        FUZZ_CHECK(added == int(device.connections().size()));
        for (const auto& [id, connection] : device.connections())
            FUZZ_CHECK(id == connection->id() && id != -1 && !connection->network().empty()
                       && connection->listener() == &device && connection->state() != 4);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt("fuzz_calls");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t first = input.byte();
    const int kind = first % 4;

    // Choice list items, one a line, read as the list of the kind's number.
    static const char* const kLists[] = {"alg", "mode", "samplerate", "bitrate"};
    std::vector<std::string> items;
    splitAny(input.text(), items, "\n");
    const std::vector<int> choices = codecChoices(kLists[kind], items);
    FUZZ_CHECK(choices.size() == items.size());
    for (int choice : choices)
        FUZZ_CHECK(kind > 1 || (choice >= -1 && choice <= (kind == 0 ? 28 : 3)));

    // Events, one a line; the first names the connection's id and interface.
    std::vector<std::string> lines;
    splitAny(input.rest(), lines, "\n");
    if (lines.empty())
        return 0;
    feedDevice(lines, first & 4);

    int told = 0;
    TComDevice device(nullptr);
    for (auto signal : {&TComDevice::audioCallStatusChanged, &TComDevice::audioConnectionStateChanged,
                        &TComDevice::audioCallStatisticChanged, &TComDevice::audioCallRelayChanged})
        QObject::connect(&device, signal, [&] { ++told; });
    QObject::connect(&device, &TComDevice::dataConnectionStateChanged, [&] { ++told; });

    TCommand event;
    TCommand::parse(lines.front(), event);
    const int id = fromString<int>(*event.param("id"));
    const std::string& network = *event.param("network");
    TComBaseConnection* connection = nullptr;
    if (kind == 3) {
        auto* link = new TComDataConnection(nullptr);
        link->start(id, network, TComDataConnection::Connecting);
        connection = link;
    } else {
        auto* call = new TComAudioConnection(nullptr, kind);
        call->start(TComAudioConnection::Incoming, id, network);
        connection = call;
    }
    if (!device.addConnection(connection)) {
        delete connection;
        return 0;
    }
    for (const std::string& line : lines) {
        TCommand::parse(line, event);
        const int before = told;
        const bool taken = connection->handleEvent(event);
        // An event that is not the connection's changes nothing and tells nobody.
        FUZZ_CHECK(taken || told == before);
        FUZZ_CHECK(connection->state() >= 0 && connection->state() <= 4 && connection->id() == id);
        if (const auto* call = dynamic_cast<const TComAudioConnection*>(connection)) {
            FUZZ_CHECK(call->relayOutValid() || (!call->relayOut1() && !call->relayOut2()));
            std::string joined;
            for (int channel = 1; channel <= 4; ++channel) {
                const std::string& address = call->remoteAddress(channel);
                if (!address.empty())
                    joined += (joined.empty() ? "" : ",") + address;
            }
            FUZZ_CHECK(joined == call->remoteAddresses());
        }
        if (connection->state() == 4) {
            device.removeConnection(id);
            break;
        }
    }
    return 0;
}
