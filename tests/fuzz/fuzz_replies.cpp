// The unit's answers no key table reads alone: the modem's state, option
// lists and PIN replies, the Wi-Fi scan, the Ravenna lists, the device's
// settings and the ids calls and data links are given. Input: a choice,
// then replies, one a line, answering the requests in turn. The same
// replies read the same way twice, and keep within what readers rely on.

#include "fuzzcheck.h"

#include "audio/tcomravennacontroller.h"
#include "link/valuetext.h"
#include "model/tcommobilecontroller.h"
#include "model/tcomwificontroller.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"

namespace {

template <class Model>
void feed(Model& model, fuzz::Replies& unit)
{
    model.requestHelper() = TComRequestHelper(&unit);
}

// What the replies left behind, as one text to compare.
std::string read(int choice, fuzz::Replies& unit)
{
    std::string out;
    if (choice == 0) {
        TComMobileController modem(nullptr);
        feed(modem, unit);
        modem.attach("mobile.0", 3, false);
        const int pin = modem.enterPin("1234", 1000);
        FUZZ_CHECK(modem.state() >= -1 && modem.state() <= 6 && pin <= 0 && pin >= -3);
        // A cause text ("123-not registered") is never taken for a name.
        FUZZ_CHECK(controllerStateFromReply(modem.operatorLong()) == 0);
        FUZZ_CHECK(controllerStateFromReply(modem.operatorShort()) == 0);
        out = toString(modem.state()) + toString(int(modem.optionMask())) + toString(pin) + modem.plmn()
              + modem.operatorLong() + '/' + modem.operatorShort() + toString(modem.mode());
    } else if (choice == 1) {
        TComWifiController wifi(nullptr);
        feed(wifi, unit);
        wifi.attach("wifi.0", 0, false);
        for (int scan = 0; scan < 2; ++scan) {
            const std::vector<std::string> last = wifi.networkList();
            // A failed scan keeps the last list.
            FUZZ_CHECK(wifi.scanNetworks() || wifi.networkList() == last);
            FUZZ_CHECK(wifi.networkList().size() <= TComRequestHelper::kMaxListItems);
        }
        joinEscaped(wifi.networkList(), out);
    } else if (choice == 2) {
        TComRavennaController ravenna(nullptr);
        feed(ravenna, unit);
        std::vector<int> rates;
        std::vector<TComRavennaStream> streams;
        out = toString(int(ravenna.refreshSampleRate(rates))) + toString(int(ravenna.parseStreamIn(streams)));
        for (int rate : rates)
            out += ',' + toString(rate);
        // A stream offered reads back from its own text.
        for (const TComRavennaStream& stream : streams) {
            TComRavennaStream again;
            FUZZ_CHECK(parseSlashTriple(again, ravennaStreamText(stream)));
            FUZZ_CHECK(again.streamId == stream.streamId && again.streamSubId == stream.streamSubId
                       && again.name == stream.name);
            out += '/' + ravennaStreamText(stream);
        }
    } else if (choice == 3) {
        TComDevice device(nullptr);
        feed(device, unit);
        device.refresh();
        FUZZ_CHECK(device.codecMode() >= 0 && device.codecMode() <= 1 && device.coordMode() >= 0
                   && device.coordMode() <= 1 && device.operationMode() >= 0 && device.operationMode() <= 1);
        out = toString(device.codecMode()) + toString(device.coordMode()) + toString(device.doubleStreamMode())
              + toString(device.operationMode()) + device.defaultNetwork() + '/' + device.secondaryNetwork();
    } else {
        TComDevice device(nullptr);
        auto* call = new TComAudioConnection(nullptr, TComBaseConnection::Line1);
        auto* link = new TComDataConnection(nullptr);
        feed(*call, unit);
        feed(*link, unit);
        const int placed = call->call("eth.0", "sip:studio@example.org");
        link->connect("eth.0");
        const int queried = link->queryId("eth.0");
        FUZZ_CHECK((placed == 0) == (call->state() != 0) && queried >= -1);
        // A connection is known by its id: one the unit did not name is no connection.
        for (TComBaseConnection* connection : std::initializer_list<TComBaseConnection*>{call, link}) {
            out += toString(connection->id()) + ',';
            if (!device.addConnection(connection))
                delete connection;
            else
                FUZZ_CHECK(connection->id() != -1 && device.connections().at(connection->id()) == connection);
        }
        out += toString(placed) + toString(queried);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt("fuzz_replies");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const int choice = input.byte() % 5;
    std::vector<std::string> lines;
    splitAny(input.rest(), lines, "\n");
    fuzz::Replies first(lines), second(lines);
    FUZZ_CHECK(read(choice, first) == read(choice, second));
    return 0;
}
