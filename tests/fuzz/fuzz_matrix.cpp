// The routing matrix's packed keys. Input: a firmware choice, a key choice,
// then the value text, or with the choice's top bit a whole changeset. Any
// text decodes without harm for every key; what is written reads back as
// itself at that firmware, a name's bytes included; applied to the model as
// "audio_changeset" it leaves gains the wire can carry, and applying it
// again changes nothing.

#include "fuzzcheck.h"

#include "audio/tmatrixsettings.h"
#include "model/textconv.h"
#include "model/unitfirmware.h"

#include <cmath>
#include <iterator>

using namespace matrixwire;

namespace {

const std::uint32_t kFirmware[] = {0x10500, 0x10700, 0x10D00, 0x20000, 0xFFFFFF};
const char* const kKeys[] = {"matrix_in1", "matrix_in5", "matrix_in19", "matrix_in12", "matrix_ou11",
                             "matrix_ou15", "matrix_hp1", "matrix_hp4", "matrix_po2", "matrix_opt",
                             "matrix_mgn", "matrix_vol", "matrix_bal3", "matrix_hp0", "matrix_in"};

template <class T, class Decode, class Encode>
void roundTrip(const std::string& text, Decode decode, Encode encode)
{
    T value{};
    if (!decode(text, value))
        return;
    const std::string written = encode(value);
    T again{};
    FUZZ_CHECK(decode(written, again) && again == value && encode(again) == written);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt("fuzz_matrix");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input in(data, size);
    const std::uint32_t firmware = kFirmware[in.byte() % std::size(kFirmware)];
    const std::uint8_t choice = in.byte();
    const std::string key = kKeys[(choice & 0x7F) % std::size(kKeys)];
    const std::string text = in.rest();

    FUZZ_CHECK(toUnitUtf8(fromUnitUtf8(text)) == text);
    roundTrip<InputRecord>(text, decodeInput, [&](const InputRecord& r) { return encodeInput(r, firmware); });
    roundTrip<std::uint8_t>(text, decodeByte, encodeByte);
    roundTrip<std::uint32_t>(text, decodeWord, encodeWord);
    roundTrip<Word4>(text, decodeWord4, encodeWord4);
    const int last = headphoneLastInput(firmware);
    for (int pair = 0; pair < kPairs; ++pair) {
        Bytes bytes{};
        const int count = decodeHeadphone(pair, text, bytes);
        FUZZ_CHECK(count <= 21 && (count < 0) == (text.size() < 24));
        const std::string written = encodeHeadphone(pair, bytes, firmware);
        Bytes again{};
        FUZZ_CHECK(decodeHeadphone(pair, written, again) == int(written.size() / 2));
        for (int i = 0; i <= last; ++i)
            FUZZ_CHECK(!headphoneCarries(pair, i) || again[std::size_t(i)] == bytes[std::size_t(i)]);
    }
    roundTrip<Bytes>(text, decodeBalance, encodeBalance);

    const std::uint32_t saved = unitFirmwareVersion;
    unitFirmwareVersion = firmware;
    TMatrixSettings matrix(nullptr);
    int changes = 0;
    QObject::connect(&matrix, &TMatrixSettings::nodeChanged, [&] { ++changes; });
    QObject::connect(&matrix, &TMatrixSettings::inputNameChanged, [&] { ++changes; });
    QObject::connect(&matrix, &TMatrixSettings::inputGainChanged, [&] { ++changes; });
    QObject::connect(&matrix, &TMatrixSettings::outputGainChanged, [&] { ++changes; });
    QObject::connect(&matrix, &TMatrixSettings::audioConfigChanged, [&] { ++changes; });
    QObject::connect(&matrix, &TMatrixSettings::matrixOptionsChanged, [&] { ++changes; });
    matrix.setState(TComController::Ready);
    TCommand info(TCommand::Info);
    if (choice & 0x80)
        TCommand::parse(text, info);
    else
        info.setParam(key, text);
    info.setParam("info_type", "audio_changeset", TCommand::Replace);
    FUZZ_CHECK(matrix.handleInfo(info));
    for (int i = 0; i < kInputs; ++i) {
        FUZZ_CHECK(matrix.inputGain(i) == kOffDb || std::abs(matrix.inputGain(i)) <= 31);
        for (int o = 0; o < kOutputs; ++o)
            FUZZ_CHECK(matrix.nodeGain(i, o) == kOffDb || std::abs(matrix.nodeGain(i, o)) <= 31);
    }
    for (int o = 0; o < kOutputs; ++o)
        FUZZ_CHECK(matrix.outputGain(o) >= -160 && matrix.outputGain(o) <= 127);
    changes = 0;
    matrix.handleInfo(info);
    FUZZ_CHECK(changes == 0);
    unitFirmwareVersion = saved;
    return 0;
}
