#include "audio/tmatrixsettings.h"

#include "link/frontpanelcom.h"
#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"
#include "model/locale.h"
#include "model/textconv.h"
#include "model/unitfirmware.h"

#include <QSignalBlocker>

#include <cmath>

using namespace matrixwire;

namespace {

// The matrix keys, in the order refresh() reads them. A row stands for the
// key itself (first 0) or for the key followed by each number first..last.
struct MatrixKey
{
    const char* word;
    Key kind;
    int first;
    int last;
    std::uint32_t readAbove; // firmware gates: open when the word is above; 0: always
    std::uint32_t sendAbove;
};

const MatrixKey kKeys[] = {
    {"matrix_in", InputKey, 1, 11, 0, 0},
    {"matrix_ou", OutputKey, 11, 14, 0, 0},
    {"matrix_hp", HeadphoneKey, 1, 4, 0, 0},
    {"matrix_po", ProgramOutputKey, 1, 4, 0, 0},
    {"matrix_opt", OptionsKey, 0, 0, 0, 0},
    {"matrix_mgn", MasterGainsKey, 0, 0, 0x105FF, 0x105FF},
    {"matrix_in", InputKey, 15, 18, 0x106FF, 0x106FF},
    {"matrix_ou", OutputKey, 15, 15, 0x106FF, 0x106FF},
    {"matrix_vol", VolumeKey, 0, 0, 0x107FF, 0x107FF},
    {"matrix_in", InputKey, 19, 19, 0x10CFF, 0x10CFF},
    {"matrix_bal", BalanceKey, 1, 4, 0x1FFFF, 0},
};

bool firmwareAbove(std::uint32_t gate)
{
    return gate == 0 || unitFirmwareVersion > gate;
}

// The row of a key kind and 0-based index; null when that key does not exist.
const MatrixKey* matrixKey(Key kind, int index)
{
    for (const MatrixKey& key : kKeys) {
        if (key.kind == kind && (key.first == 0 || (index + 1 >= key.first && index + 1 <= key.last)))
            return &key;
    }
    return nullptr;
}

std::string keyName(Key kind, int index)
{
    const MatrixKey* key = matrixKey(kind, index);
    return key->first == 0 ? std::string(key->word) : key->word + toString(index + 1);
}

// The 0-based index a key's number names; -1 when it names none. Only the
// plain decimal form names one, so "05" or "5x" never stand in for "5".
int keyIndex(const std::string& number)
{
    if (number.empty() || number.size() > 3 || number[0] == '0'
        || number.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return fromString<int>(number) - 1;
}

bool startsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

constexpr int pairOf(int output) { return (output - 2) / 2; }
constexpr bool isHeadphoneOutput(int output) { return output >= 2 && output <= 9; }
constexpr bool hasInputKey(int input) { return (input >= 0 && input <= 10) || (input >= 14 && input <= 18); }
constexpr bool hasOutputKey(int output) { return output >= 10 && output <= 14; }
constexpr bool isCell(int input, int output)
{
    return input >= 0 && input < kInputs && output >= 0 && output < kOutputs;
}
// Outputs that take part in copies.
constexpr bool isCopyOutput(int output) { return (output >= 0 && output <= 9) || output == 18 || output == 19; }

// Inputs of "matrix_ou" by bit.
constexpr int kOutputByteInputs[8] = {20, 21, 12, 13, 22, 23, 24, 19};
// The order in which an applied output byte switches them.
constexpr int kOutputApplyBits[8] = {0, 6, 1, 2, 7, 3, 4, 5};

constexpr std::uint32_t kCopied = 1u << 31;
constexpr std::uint32_t kCopy = 1u << 30;
constexpr std::uint32_t kModeBits = kCopied | kCopy;

// A program output carries this input's node into its copies.
int copyFeedInput(int source)
{
    return source == 0 ? 20 : source == 1 ? 21 : source == 18 ? 24 : -1;
}

const char* const kDefaultProgramOutputs[4] = {"0203040E", "0103040E", "00000000", "00000000"};

} // namespace

// Values from the unit (and reset) run the model operations with every key
// send held back: the caches of the key being applied are set by its applier.
struct TMatrixSettings::Applying
{
    explicit Applying(TMatrixSettings& m) : matrix(m) { ++matrix.m_applying; }
    ~Applying() { --matrix.m_applying; }
    TMatrixSettings& matrix;
};

TMatrixSettings* frontPanelMatrixSettings()
{
    static TMatrixSettings matrix(frontPanelCom());
    return &matrix;
}

TMatrixSettings::TMatrixSettings(zel::CCom* session)
    : TComController(session, AudioType)
{
    const QSignalBlocker blocker(this);
    for (HeadphoneBytes& bytes : m_headphoneBytes)
        bytes.fill(0xC0);
    for (HeadphoneBytes& steps : m_balanceSteps)
        steps.fill(6);
    for (int n = 0; n < 4; ++n)
        parseProgramOutput(n, kDefaultProgramOutputs[n]);
    parseOptions("00000000");
    parseMasterGains("80800000");
    parseVolume("E0E0E0E0");
    for (int p = 0; p < kPairs; ++p) {
        for (int i = 0; i < kInputs; ++i) {
            if (headphoneCarries(p, i)) {
                cellAt(i, 2 * p + 2).balance = 6;
                cellAt(i, 2 * p + 3).balance = 6;
            }
        }
    }
    for (int o : {2, 3, 4, 5, 6, 7, 8, 9, 10, 14})
        m_outputGains[static_cast<std::size_t>(o)] = kOffDb;
    const int nodes[][2] = {{0, 2}, {0, 3}, {1, 4}, {1, 5}, {2, 6}, {2, 7}, {3, 8}, {3, 9}, {21, 17}, {17, 15}};
    for (const auto& node : nodes)
        cellAt(node[0], node[1]).on = true;
}

// --- values -----------------------------------------------------------------

const TMatrixSettings::Cell& TMatrixSettings::cell(int input, int output) const
{
    static const Cell none;
    return isCell(input, output) ? m_cells[static_cast<std::size_t>(input * kOutputs + output)] : none;
}

TMatrixSettings::Cell& TMatrixSettings::cellAt(int input, int output)
{
    return m_cells[static_cast<std::size_t>(input * kOutputs + output)];
}

float TMatrixSettings::inputGain(int input) const
{
    return input >= 0 && input < kInputs ? m_inputGains[static_cast<std::size_t>(input)] : 0.0f;
}

float TMatrixSettings::outputGain(int output) const
{
    return output >= 0 && output < kOutputs ? m_outputGains[static_cast<std::size_t>(output)] : 0.0f;
}

float TMatrixSettings::outputValue(int index) const
{
    return index >= 0 && index < 4 ? m_outputValues[static_cast<std::size_t>(index)] : 0.0f;
}

TMatrixSettings::ProgramOutput TMatrixSettings::programOutput(int index) const
{
    return index >= 0 && index < 4 ? m_programOutputs[static_cast<std::size_t>(index)] : ProgramOutput{};
}

std::uint32_t TMatrixSettings::outputRoute(int output) const
{
    return output >= 0 && output < kOutputs ? m_outputRoutes[static_cast<std::size_t>(output)] : 0;
}

QString TMatrixSettings::inputName(int input) const
{
    const bool named = input >= 0 && input < kInputs && !m_inputNames[static_cast<std::size_t>(input)].isEmpty();
    return named ? m_inputNames[static_cast<std::size_t>(input)]
                 : QPravikLocalize::audioPortName(input, m_deviceOptions);
}

QString TMatrixSettings::inputLabel(int input) const
{
    QString label = QPravikLocalize::audioPortName(input, m_deviceOptions);
    if (input >= 0 && input < kInputs && !m_inputNames[static_cast<std::size_t>(input)].isEmpty())
        label += QLatin1Char('\n') + m_inputNames[static_cast<std::size_t>(input)];
    return label;
}

// --- key texts from the model -------------------------------------------------

InputRecord TMatrixSettings::inputRecord(int input) const
{
    const std::size_t i = static_cast<std::size_t>(input);
    // The microphone inputs' gains live with the audio settings: fixed 0 dB here.
    int word = input > 3 ? gainCode(m_inputGains[i]) : 32;
    word |= cell(input, 1).on << 6 | cell(input, 0).on << 7 | cell(input, 18).on << 8;
    return InputRecord{static_cast<std::uint16_t>(word), toUnitUtf8(m_inputNames[i])};
}

std::uint8_t TMatrixSettings::outputByte(int output) const
{
    int byte = 0;
    for (int bit = 0; bit < 8; ++bit)
        byte |= cell(kOutputByteInputs[bit], output).on << bit;
    return static_cast<std::uint8_t>(byte);
}

bool TMatrixSettings::keyAccepted(Kind kind, int index, const std::string& cached, const std::string& text)
{
    if (text == cached)
        return true;
    // Before the unit's matrix is read there is nothing to build the key on:
    // a change kept now would be shown as the unit's until the read replaced it.
    if (state() != Ready)
        return false;
    // A key this firmware does not take carries nothing: the change would be
    // shown as the unit's while the unit never had it.
    if (!firmwareAbove(matrixKey(kind, index)->sendAbove))
        return false;
    return sendValue(keyName(kind, index), text);
}

bool TMatrixSettings::keyOpen(Kind kind, int index) const
{
    const MatrixKey* key = matrixKey(kind, index);
    return !key || firmwareAbove(key->sendAbove);
}

bool TMatrixSettings::takesNode(int input, int output) const
{
    if (!isCell(input, output))
        return false;
    if (hasInputKey(input) && (output == 0 || output == 1 || output == 18))
        return keyOpen(InputKey, input);
    if (hasOutputKey(output))
        return keyOpen(OutputKey, output);
    // A pair's own input is switched by no key.
    if (isHeadphoneOutput(output) && headphoneCarries(pairOf(output), input))
        return input <= headphoneLastInput(unitFirmwareVersion);
    return true;
}

bool TMatrixSettings::takesNodeGain(int input, int output) const
{
    if (!isCell(input, output))
        return false;
    if (isHeadphoneOutput(output) && input == pairOf(output))
        return keyOpen(VolumeKey, 0);
    if (isHeadphoneOutput(output) && headphoneCarries(pairOf(output), input))
        return input <= headphoneLastInput(unitFirmwareVersion);
    return true;
}

bool TMatrixSettings::takesOutputGain(int output) const
{
    const bool master = output == 0 || output == 1 || output == 18;
    return output >= 0 && output < kOutputs && (!master || keyOpen(MasterGainsKey, 0));
}

bool TMatrixSettings::sendInputKey(int input)
{
    if (m_applying || !hasInputKey(input))
        return true;
    InputRecord& cached = m_inputRecords[static_cast<std::size_t>(input)];
    const InputRecord record = inputRecord(input);
    if (!keyAccepted(InputKey, input, encodeInput(cached, unitFirmwareVersion),
                     encodeInput(record, unitFirmwareVersion)))
        return false;
    cached = record;
    return true;
}

bool TMatrixSettings::sendOutputKey(int output)
{
    if (m_applying || !hasOutputKey(output))
        return true;
    std::uint8_t& cached = m_outputBytes[static_cast<std::size_t>(output - 10)];
    const std::uint8_t byte = outputByte(output);
    if (!keyAccepted(OutputKey, output, encodeByte(cached), encodeByte(byte)))
        return false;
    cached = byte;
    return true;
}

bool TMatrixSettings::updateHeadphoneByte(int input, int output)
{
    if (m_applying || !isHeadphoneOutput(output))
        return true;
    const int p = pairOf(output);
    if (!headphoneCarries(p, input))
        return true;
    const Cell& left = cell(input, 2 * p + 2);
    const int byte = gainCode(left.gain) | left.on << 6 | cell(input, 2 * p + 3).on << 7;
    HeadphoneBytes& cached = m_headphoneBytes[static_cast<std::size_t>(p)];
    if (byte == cached[static_cast<std::size_t>(input)])
        return true;
    // The key of an older firmware ends before this input: nothing would carry it.
    if (input > headphoneLastInput(unitFirmwareVersion))
        return false;
    HeadphoneBytes next = cached;
    next[static_cast<std::size_t>(input)] = static_cast<std::uint8_t>(byte);
    // An open batch sends the pair's key once, at its commit.
    if (!m_batch[static_cast<std::size_t>(p)]
        && !keyAccepted(HeadphoneKey, p, encodeHeadphone(p, cached, unitFirmwareVersion),
                        encodeHeadphone(p, next, unitFirmwareVersion)))
        return false;
    cached = next;
    return true;
}

bool TMatrixSettings::updateVolume(int input, int output)
{
    if (m_applying || input > 3 || !isHeadphoneOutput(output) || pairOf(output) != input)
        return true;
    const int shift = (3 - input) * 8;
    const std::uint32_t code = static_cast<std::uint32_t>(gainCode(cell(input, 2 * input + 2).gain));
    const std::uint32_t next = (m_volumes & ~(0x3Fu << shift)) | code << shift;
    if (!keyAccepted(VolumeKey, 0, encodeWord(m_volumes), encodeWord(next)))
        return false;
    m_volumes = next;
    return true;
}

// --- node, input and output operations ----------------------------------------

bool TMatrixSettings::setNode(int input, int output, bool on)
{
    if (!isCell(input, output))
        return false;
    if (cell(input, output).on == on)
        return true;
    // One key at most carries a cell: when the unit refuses it, the cell stays.
    cellAt(input, output).on = on;
    if (!sendInputKey(input) || !sendOutputKey(output) || !updateHeadphoneByte(input, output)
        || !updateVolume(input, output)) {
        cellAt(input, output).on = !on;
        return false;
    }
    emit nodeChanged(QPravik::Inputs(input), QPravik::Outputs(output));
    return true;
}

bool TMatrixSettings::setNodeGain(int input, int output, float gainDb)
{
    if (!isCell(input, output) || std::isnan(gainDb))
        return false;
    const float previous = cell(input, output).gain;
    if (previous == gainDb)
        return true;
    cellAt(input, output).gain = gainDb;
    if (!updateHeadphoneByte(input, output) || !updateVolume(input, output)) {
        cellAt(input, output).gain = previous;
        return false;
    }
    emit nodeChanged(QPravik::Inputs(input), QPravik::Outputs(output));
    return true;
}

bool TMatrixSettings::setNodeBalance(int input, int output, int step)
{
    if (!isCell(input, output) || step < 0 || step > 255)
        return false;
    if (cell(input, output).balance == step)
        return true;
    if (!m_applying && isHeadphoneOutput(output)) {
        const int p = pairOf(output);
        HeadphoneBytes& cached = m_balanceSteps[static_cast<std::size_t>(p)];
        HeadphoneBytes next = cached;
        next[static_cast<std::size_t>(input)] = static_cast<std::uint8_t>(step);
        if (!keyAccepted(BalanceKey, p, encodeBalance(cached), encodeBalance(next)))
            return false;
        cached = next;
    }
    cellAt(input, output).balance = static_cast<std::uint8_t>(step);
    emit nodeChanged(QPravik::Inputs(input), QPravik::Outputs(output));
    return true;
}

bool TMatrixSettings::setInputName(int input, const QString& name)
{
    if (input < 0 || input >= kInputs)
        return false;
    QString& stored = m_inputNames[static_cast<std::size_t>(input)];
    if (stored == name)
        return true;
    // A name no key of this unit carries would be kept here alone, shown as
    // the unit's while the unit never had it.
    const MatrixKey* key = hasInputKey(input) ? matrixKey(InputKey, input) : nullptr;
    if (!m_applying && (state() != Ready || !key || !firmwareAbove(key->sendAbove)))
        return false;
    // The key carries the input's routing too: it is built from the model.
    const QString previous = stored;
    stored = name;
    if (!sendInputKey(input)) {
        stored = previous;
        return false;
    }
    emit inputNameChanged(QPravik::Inputs(input));
    return true;
}

bool TMatrixSettings::setInputGain(int input, float gainDb)
{
    if (input < 0 || input >= kInputs || std::isnan(gainDb))
        return false;
    float& stored = m_inputGains[static_cast<std::size_t>(input)];
    const float previous = stored;
    if (previous == gainDb)
        return true;
    stored = gainDb;
    if (!sendInputKey(input)) {
        stored = previous;
        return false;
    }
    emit inputGainChanged(QPravik::Inputs(input));
    return true;
}

bool TMatrixSettings::setOutputGain(int output, float gainDb)
{
    if (output < 0 || output >= kOutputs || std::isnan(gainDb))
        return false;
    if (m_outputGains[static_cast<std::size_t>(output)] == gainDb)
        return true;
    // Outputs 0 and 18 share byte 3 of the master gains, output 1 has byte 2:
    // the word goes first and brings the gains it carries along.
    const int shift = output == 1 ? 16 : output == 0 || output == 18 ? 24 : -1;
    if (shift >= 0) {
        const std::uint32_t byte = masterGainByte(gainDb);
        return setMasterGains((m_masterGains & ~(0xFFu << shift)) | byte << shift, true);
    }
    showOutputGain(output, gainDb);
    return true;
}

void TMatrixSettings::showOutputGain(int output, float gainDb)
{
    float& stored = m_outputGains[static_cast<std::size_t>(output)];
    if (stored == gainDb)
        return;
    stored = gainDb;
    emit outputGainChanged(QPravik::Outputs(output));
}

// --- word setters -------------------------------------------------------------

// A word the operator sets goes the way every key does (keyAccepted);
// values from the unit, and setters without send, only store.
bool TMatrixSettings::wordAccepted(Kind kind, int index, const std::string& cached, const std::string& text, bool send)
{
    return !send || m_applying || keyAccepted(kind, index, cached, text);
}

bool TMatrixSettings::setOptions(const MatrixOpts& options, bool send)
{
    if (options == m_options)
        return true;
    if (!wordAccepted(OptionsKey, 0, encodeWord(m_options), encodeWord(options), send))
        return false;
    const MatrixOpts previous = m_options;
    m_options = options;
    emit matrixOptionsChanged(previous);
    return true;
}

bool TMatrixSettings::setMasterGains(std::uint32_t word, bool send)
{
    if (word != m_masterGains) {
        if (!wordAccepted(MasterGainsKey, 0, encodeWord(m_masterGains), encodeWord(word), send))
            return false;
        m_masterGains = word;
    }
    // The gains follow the word even when it is unchanged: a gain left apart
    // from it would outlive every reload.
    const float program = static_cast<float>(static_cast<int>(word >> 24) - 128);
    showOutputGain(0, program);
    showOutputGain(18, program);
    showOutputGain(1, static_cast<float>(static_cast<int>((word >> 16) & 0xFF) - 128));
    return true;
}

bool TMatrixSettings::setProgramOutput(int index, const ProgramOutput& word, bool send)
{
    if (index < 0)
        return false;
    if (index > 3 || m_programOutputs[static_cast<std::size_t>(index)] == word)
        return true;
    ProgramOutput& stored = m_programOutputs[static_cast<std::size_t>(index)];
    if (!wordAccepted(ProgramOutputKey, index, encodeWord4(stored), encodeWord4(word), send))
        return false;
    stored = word;
    emit audioConfigChanged(QPravik::Inputs(index));
    return true;
}

// --- headphone batch ------------------------------------------------------------

TMatrixSettings::HeadphoneBytes TMatrixSettings::headphoneRoute(int pair)
{
    if (pair < 0 || pair >= kPairs) {
        HeadphoneBytes none;
        none.fill(0xC0);
        return none;
    }
    m_batch[static_cast<std::size_t>(pair)] = true;
    BatchCells& held = m_batchCells[static_cast<std::size_t>(pair)];
    for (int i = 0; i < kInputs; ++i) {
        held[static_cast<std::size_t>(2 * i)] = cell(i, 2 * pair + 2);
        held[static_cast<std::size_t>(2 * i + 1)] = cell(i, 2 * pair + 3);
    }
    return m_headphoneBytes[static_cast<std::size_t>(pair)];
}

bool TMatrixSettings::setHeadphoneRoute(int pair, const HeadphoneBytes& snapshot)
{
    if (pair < 0)
        return false;
    if (pair >= kPairs || !m_batch[static_cast<std::size_t>(pair)])
        return true;
    m_batch[static_cast<std::size_t>(pair)] = false;
    if (keyAccepted(HeadphoneKey, pair, encodeHeadphone(pair, snapshot, unitFirmwareVersion),
                    encodeHeadphone(pair, m_headphoneBytes[static_cast<std::size_t>(pair)], unitFirmwareVersion)))
        return true;
    restoreBatch(pair, snapshot);
    return false;
}

void TMatrixSettings::dropHeadphoneRoute(int pair, const HeadphoneBytes& snapshot)
{
    if (pair < 0 || pair >= kPairs || !m_batch[static_cast<std::size_t>(pair)])
        return;
    m_batch[static_cast<std::size_t>(pair)] = false;
    restoreBatch(pair, snapshot);
}

// The unit has what it had before the batch: so have the cache and the cells
// the key carries (a balance goes on its own key and stays), and every page
// shows the mix again.
void TMatrixSettings::restoreBatch(int pair, const HeadphoneBytes& snapshot)
{
    m_headphoneBytes[static_cast<std::size_t>(pair)] = snapshot;
    const BatchCells& held = m_batchCells[static_cast<std::size_t>(pair)];
    for (int i = 0; i < kInputs; ++i) {
        if (!headphoneCarries(pair, i))
            continue;
        for (int side = 0; side < 2; ++side) {
            const Cell& before = held[static_cast<std::size_t>(2 * i + side)];
            Cell& now = cellAt(i, 2 * pair + 2 + side);
            if (now.on == before.on && now.gain == before.gain)
                continue;
            now.on = before.on;
            now.gain = before.gain;
            emit nodeChanged(QPravik::Inputs(i), QPravik::Outputs(2 * pair + 2 + side));
        }
    }
}

// --- output copies --------------------------------------------------------------

void TMatrixSettings::copyOutput(int source, int copy)
{
    if (source == copy || !isCopyOutput(source) || !isCopyOutput(copy))
        return;
    std::uint32_t& from = m_outputRoutes[static_cast<std::size_t>(source)];
    std::uint32_t& to = m_outputRoutes[static_cast<std::size_t>(copy)];
    if ((to & kModeBits) != 0 || (from & kModeBits) == kCopy)
        return;
    from |= kCopied | 1u << copy;
    to |= kCopy | 1u << source;
    if (copyFeedInput(source) >= 0)
        cellAt(copyFeedInput(source), copy).on = true;
    emit nodeCopyChanged(QPravik::Outputs(source), QPravik::Outputs(copy));
}

void TMatrixSettings::removeOutputCopy(int source, int copy)
{
    if (source == copy || !isCopyOutput(source) || !isCopyOutput(copy))
        return;
    std::uint32_t& to = m_outputRoutes[static_cast<std::size_t>(copy)];
    // Only the copy's own source may end it: another source's word would
    // keep naming it as a copy.
    if ((to & kModeBits) != kCopy || !(to & 1u << source))
        return;
    m_outputRoutes[static_cast<std::size_t>(source)] &= ~(1u << copy);
    to = 0;
    if (copyFeedInput(source) >= 0)
        cellAt(copyFeedInput(source), copy).on = false;
    emit nodeCopyChanged(QPravik::Outputs(source), QPravik::Outputs(copy));
}

bool TMatrixSettings::isOutputCopy(int output) const
{
    return isCopyOutput(output) && (m_outputRoutes[static_cast<std::size_t>(output)] & kModeBits) == kCopy;
}

int TMatrixSettings::copySource(int output) const
{
    if (!isOutputCopy(output))
        return -1;
    const std::uint32_t word = m_outputRoutes[static_cast<std::size_t>(output)];
    for (int o = 0; o <= 9; ++o) {
        if (word & 1u << o)
            return o;
    }
    return word & 1u << 18 ? 18 : word & 1u << 19 ? 19 : -1;
}

void TMatrixSettings::storeOutputValue(int output, float value)
{
    if (output >= 0 && output < 4)
        m_outputValues[static_cast<std::size_t>(output)] = value;
}

// --- appliers -------------------------------------------------------------------

bool TMatrixSettings::parseInput(int input, const std::string& text)
{
    InputRecord record;
    if (!hasInputKey(input) || !decodeInput(text, record))
        return false;
    const Applying applying(*this);
    m_inputRecords[static_cast<std::size_t>(input)] = record;
    setNode(input, 0, record.word & 0x80);
    setNode(input, 18, record.word & 0x100);
    setNode(input, 1, record.word & 0x40);
    setInputName(input, fromUnitUtf8(record.name));
    if (input > 3)
        setInputGain(input, gainFromCode(record.word));
    return true;
}

bool TMatrixSettings::parseOutput(int output, const std::string& text)
{
    std::uint8_t byte = 0;
    if (!hasOutputKey(output) || !decodeByte(text, byte))
        return false;
    const Applying applying(*this);
    m_outputBytes[static_cast<std::size_t>(output - 10)] = byte;
    for (int bit : kOutputApplyBits)
        setNode(kOutputByteInputs[bit], output, byte & 1 << bit);
    return true;
}

bool TMatrixSettings::parseHeadphone(int pair, const std::string& text)
{
    if (pair < 0 || pair >= kPairs)
        return false;
    HeadphoneBytes bytes = m_headphoneBytes[static_cast<std::size_t>(pair)];
    int count = decodeHeadphone(pair, text, bytes);
    if (count < 0)
        return false;
    const Applying applying(*this);
    m_headphoneBytes[static_cast<std::size_t>(pair)] = bytes;
    // An open batch holds the pair's cells for the page that opened it.
    if (m_batch[static_cast<std::size_t>(pair)])
        return true;
    // Every cell the text names follows the unit, also one that a refused
    // send left different from an unchanged byte.
    for (int i = 0; i < kInputs && count > 0; ++i) {
        if (!headphoneCarries(pair, i))
            continue;
        --count;
        const std::uint8_t byte = bytes[static_cast<std::size_t>(i)];
        const float gain = gainFromCode(byte);
        const bool on[2] = {(byte & 0x40) != 0, (byte & 0x80) != 0};
        for (int side = 0; side < 2; ++side) {
            const int o = 2 * pair + 2 + side;
            Cell& c = cellAt(i, o);
            if (c.on == on[side] && c.gain == gain)
                continue;
            c.on = on[side];
            c.gain = gain;
            emit nodeChanged(QPravik::Inputs(i), QPravik::Outputs(o));
        }
    }
    return true;
}

bool TMatrixSettings::parseProgramOutput(int index, const std::string& text)
{
    ProgramOutput word{};
    if (index < 0 || index > 3 || !decodeWord4(text, word))
        return false;
    return setProgramOutput(index, word, false);
}

bool TMatrixSettings::parseOptions(const std::string& text)
{
    std::uint32_t word = 0;
    return decodeWord(text, word) && setOptions(word, false);
}

bool TMatrixSettings::parseMasterGains(const std::string& text)
{
    std::uint32_t word = 0;
    if (!decodeWord(text, word))
        return false;
    const Applying applying(*this);
    return setMasterGains(word, false);
}

bool TMatrixSettings::parseVolume(const std::string& text)
{
    std::uint32_t word = 0;
    if (!decodeWord(text, word))
        return false;
    const Applying applying(*this);
    m_volumes = word;
    for (int q = 0; q < kPairs; ++q) {
        const float gain = gainFromCode(static_cast<int>(word >> (3 - q) * 8));
        setNodeGain(q, 2 * q + 2, gain);
        setNodeGain(q, 2 * q + 3, gain);
    }
    return true;
}

void TMatrixSettings::setBalances(int input, int pair, std::uint8_t step)
{
    for (int o : {2 * pair + 2, 2 * pair + 3}) {
        if (cell(input, o).balance != step) {
            cellAt(input, o).balance = step;
            emit nodeChanged(QPravik::Inputs(input), QPravik::Outputs(o));
        }
    }
}

bool TMatrixSettings::parseBalance(int pair, const std::string& text)
{
    if (pair < 0 || pair >= kPairs)
        return false;
    HeadphoneBytes& steps = m_balanceSteps[static_cast<std::size_t>(pair)];
    if (!decodeBalance(text, steps))
        return false;
    for (int input : kBalanceInputs)
        setBalances(input, pair, steps[static_cast<std::size_t>(input)]);
    return true;
}

// --- controller operations --------------------------------------------------------

const ParamKeys& TMatrixSettings::keyTable() const
{
    // The matrix keys pack many fields each; their table is kKeys.
    static const ParamKeys& none = *new ParamKeys;
    return none;
}

bool TMatrixSettings::sendValues(int, const ValueMap& values)
{
    return setTargetValues(wire::target::audio(), values);
}

int TMatrixSettings::fetchValues(int, const std::vector<std::string>& keys, ValueMap& values, ValueMap& errors)
{
    return getTargetValues(wire::target::audio(), keys, values, errors);
}

bool TMatrixSettings::sendValue(const std::string& key, const std::string& value)
{
    return sendValues(0, {{key, value}});
}

std::vector<std::string> TMatrixSettings::refreshKeys()
{
    std::vector<std::string> keys;
    for (const MatrixKey& key : kKeys) {
        if (!firmwareAbove(key.readAbove))
            continue;
        if (key.first == 0)
            keys.emplace_back(key.word);
        for (int n = key.first; n >= 1 && n <= key.last; ++n)
            keys.push_back(key.word + toString(n));
    }
    return keys;
}

bool TMatrixSettings::refresh()
{
    return readParams(refreshKeys());
}

bool TMatrixSettings::readParams(const std::vector<std::string>& keys)
{
    if (keys.empty())
        return false;
    ValueMap values;
    ValueMap errors;
    if (fetchValues(0, keys, values, errors) < 1)
        return false;
    keepAsked(values, keys);
    return applyReply(values);
}

bool TMatrixSettings::writeParams(const std::vector<std::string>&)
{
    return false;
}

bool TMatrixSettings::applyReply(const ValueMap& values)
{
    for (const auto& [key, value] : values) {
        for (const MatrixKey& row : kKeys) {
            const bool indexed = row.first != 0;
            if (indexed ? !startsWith(key, row.word) : key != row.word)
                continue;
            const int index = indexed ? keyIndex(key.substr(std::char_traits<char>::length(row.word))) : 0;
            switch (row.kind) {
            case InputKey: parseInput(index, value); break;
            case OutputKey: parseOutput(index, value); break;
            case HeadphoneKey: parseHeadphone(index, value); break;
            case ProgramOutputKey: parseProgramOutput(index, value); break;
            case OptionsKey: parseOptions(value); break;
            case MasterGainsKey: parseMasterGains(value); break;
            case VolumeKey: parseVolume(value); break;
            case BalanceKey: parseBalance(index, value); break;
            }
            break;
        }
    }
    return true;
}

bool TMatrixSettings::handleInfo(const TCommand& info)
{
    const std::string& type = *info.param(wire::key::infoType(), true);
    if (type.empty() || type != wire::event::audioChangeset())
        return false;
    applyReply(info.params);
    return true;
}

bool TMatrixSettings::load(bool read)
{
    if (!loadQuietly([&] { return !read || refresh(); }))
        return false;
    helper.subscribe(wire::event::audioChangeset());
    return true;
}

void TMatrixSettings::reset()
{
    helper.unsubscribe(wire::event::audioChangeset());
    {
        const QSignalBlocker blocker(this);
        const Applying applying(*this);
        // A batch a page left open would hold its pair's sends back for good.
        m_batch.fill(false);
        for (int i = 0; i < static_cast<int>(m_inputRecords.size()); ++i)
            parseInput(i, "20,");
        for (int o = 10; o <= 14; ++o)
            parseOutput(o, "00");
        HeadphoneBytes muted;
        muted.fill(0xC0);
        for (int p = 0; p < kPairs; ++p) {
            parseHeadphone(p, encodeHeadphone(p, muted, 0xFFFFFF));
            parseBalance(p, "060606060606");
        }
        for (int n = 0; n < 4; ++n)
            parseProgramOutput(n, kDefaultProgramOutputs[n]);
        parseOptions("00000000");
        parseMasterGains("80800000");
        parseVolume("E0E0E0E0");
    }
    TComController::reset();
}

