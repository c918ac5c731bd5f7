#pragma once

#include "audio/matrixindex.h"
#include "audio/matrixwire.h"
#include "model/tcomcontroller.h"

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Mirror of the unit's audio routing and mixing matrix (target "audio"):
// 26 inputs by 20 outputs of nodes with gain and headphone balance, input
// names and gains, output gains, headphone mixes, program-output choices,
// options and the output copies the headphone pages keep. The unit packs
// it into the "matrix_*" keys (see matrixwire.h); every key keeps a cache of
// the unit's last known state, and an operation sends only the keys whose
// text it changed, while the model is loaded. Values from the unit run the
// same operations without sending anything back.
class TMatrixSettings : public TComController
{
    Q_OBJECT
public:
    using MatrixOpts = std::uint32_t;
    using HeadphoneBytes = matrixwire::Bytes;
    using ProgramOutput = matrixwire::Word4;

    struct Cell
    {
        bool on = false;
        float gain = 0.0f;       // dB
        std::uint8_t balance = 0; // headphone balance step, 6 the centre
    };

    explicit TMatrixSettings(zel::CCom* session);

    // --- values; out-of-range indices read as a cell or value at its start
    const Cell& cell(int input, int output) const;
    bool isNodeOn(int input, int output) const { return cell(input, output).on; }
    float nodeGain(int input, int output) const { return cell(input, output).gain; }
    int nodeBalance(int input, int output) const { return cell(input, output).balance; }
    float inputGain(int input) const;
    float outputGain(int output) const;
    float outputValue(int index) const;
    MatrixOpts options() const { return m_options; }
    std::uint32_t masterGains() const { return m_masterGains; }
    std::uint32_t volumes() const { return m_volumes; }
    ProgramOutput programOutput(int index) const;
    std::uint32_t outputRoute(int output) const;
    int operationMode() const { return m_operationMode; }

    // The stored name, or the port's label when there is none.
    QString inputName(int input) const;
    // The port's label, then the stored name on a second line.
    QString inputLabel(int input) const;
    // The device option word the port labels depend on (the device model
    // hands it in once it has read the unit's options).
    void setDeviceOptions(std::uint32_t options) { m_deviceOptions = options; }
    std::uint32_t deviceOptions() const { return m_deviceOptions; }

    // --- node, input and output operations: the keys whose text changed go
    // to the unit first; a refusal, a key this unit's firmware does not take,
    // or a matrix not read yet keeps the old value, announces nothing and is
    // false. Equal values, and changes no key carries, are true, with
    // nothing sent.
    bool setNode(int input, int output, bool on);
    bool setNodeGain(int input, int output, float gainDb);
    bool setNodeBalance(int input, int output, int step);
    // Before the matrix is read, or for an input whose key this unit's
    // firmware does not take, there is no key to carry a name: false,
    // nothing stored.
    bool setInputName(int input, const QString& name);
    bool setInputGain(int input, float gainDb);
    // Outputs 0, 1 and 18 go as the master gains word.
    bool setOutputGain(int output, float gainDb);

    // Whether this unit's firmware takes the key that carries a cell's node,
    // its gain, or an output's gain; true where no key carries it.
    bool takesNode(int input, int output) const;
    bool takesNodeGain(int input, int output) const;
    bool takesOutputGain(int output) const;

    // --- word setters: with send the unit gets the word first and a refusal
    // keeps the old one (false), as does a matrix not read yet. The master
    // gains word sets the output gains it carries even when it is unchanged.
    bool setOptions(const MatrixOpts& options, bool send);
    bool setMasterGains(std::uint32_t word, bool send);
    // Indexes above 3 are true with nothing done; negative ones are refused.
    bool setProgramOutput(int index, const ProgramOutput& word, bool send);

    // --- headphone batch: headphoneRoute opens the pair's batch and hands out
    // its bytes; node changes of that pair then wait for setHeadphoneRoute,
    // which sends the key once (when it changed) and closes the batch. A
    // refused commit returns false, puts the snapshot back in the cache and
    // the pair's cells back as they were when the batch opened (announced).
    HeadphoneBytes headphoneRoute(int pair);
    bool setHeadphoneRoute(int pair, const HeadphoneBytes& snapshot);
    // Closes the batch without a send, as a refused commit does: for a page
    // whose change was refused part way.
    void dropHeadphoneRoute(int pair, const HeadphoneBytes& snapshot);

    // --- output copies (kept in the client only; outputs 0..9, 18, 19)
    void copyOutput(int source, int copy);
    void removeOutputCopy(int source, int copy);
    bool isOutputCopy(int output) const;
    int copySource(int output) const;

    void storeOutputValue(int output, float value);
    void setOperationMode(int mode) { m_operationMode = mode; }
    void connectionStateHook(int) {}
    void codecStateHook(bool) {}

    // --- controller operations
    // Unsubscribes, restores the keys' start values without announcing or
    // sending anything; copies, output gains beyond the program outputs and
    // nodes no key carries survive.
    void reset() override;
    bool refresh() override;
    bool readParams(const std::vector<std::string>& keys) override;
    // The matrix writes through its operations only: always false.
    bool writeParams(const std::vector<std::string>& keys) override;
    // Applies an "audio_changeset" information; other types are not ours.
    bool handleInfo(const TCommand& info) override;

    // Resets a loaded model, reads every key (with read) without announcing
    // single values, goes ready and subscribes to "audio_changeset".
    bool load(bool read);
    // Every matrix key of the map to the model, others skipped. True.
    bool applyReply(const ValueMap& values);
    bool sendValue(const std::string& key, const std::string& value);
    // The keys refresh() reads with the current firmware word.
    static std::vector<std::string> refreshKeys();

    // Appliers of one key's value (index = the key's number - 1); false when
    // the index has no key or the value is too short or malformed.
    bool parseInput(int input, const std::string& text);
    bool parseOutput(int output, const std::string& text);
    bool parseHeadphone(int pair, const std::string& text);
    bool parseProgramOutput(int index, const std::string& text);
    bool parseOptions(const std::string& text);
    bool parseMasterGains(const std::string& text);
    bool parseVolume(const std::string& text);
    bool parseBalance(int pair, const std::string& text);

signals:
    void nodeChanged(QPravik::Inputs input, QPravik::Outputs output);
    void nodeCopyChanged(QPravik::Outputs source, QPravik::Outputs copy);
    void inputNameChanged(QPravik::Inputs input);
    void inputGainChanged(QPravik::Inputs input);
    void outputGainChanged(QPravik::Outputs output);
    // index is a program output (0..3), carried in the input type.
    void audioConfigChanged(QPravik::Inputs index);
    // The options before the change; the new ones are already stored.
    void matrixOptionsChanged(TMatrixSettings::MatrixOpts previous);

protected:
    const ParamKeys& keyTable() const override;
    bool sendValues(int group, const ValueMap& values) override;
    int fetchValues(int group, const std::vector<std::string>& keys, ValueMap& values,
                    ValueMap& errors) override;

private:
    using Kind = matrixwire::Key;
    struct Applying;

    Cell& cellAt(int input, int output);
    // Each false when the unit refused its key or its firmware does not take it.
    bool sendInputKey(int input);
    bool sendOutputKey(int output);
    bool updateHeadphoneByte(int input, int output);
    bool updateVolume(int input, int output);
    bool keyOpen(Kind kind, int index) const;
    void showOutputGain(int output, float gainDb);
    void restoreBatch(int pair, const HeadphoneBytes& snapshot);
    // The send rule of the keys with a cache: true when the cache may take
    // the new text (sent and accepted, or no send due).
    bool keyAccepted(Kind kind, int index, const std::string& cached, const std::string& text);
    bool wordAccepted(Kind kind, int index, const std::string& cached, const std::string& text, bool send);
    matrixwire::InputRecord inputRecord(int input) const;
    std::uint8_t outputByte(int output) const;
    void setBalances(int input, int pair, std::uint8_t step);

    int m_applying = 0;                   // appliers and reset running: send nothing
    using BatchCells = std::array<Cell, 2 * matrixwire::kInputs>; // left, right by input
    std::array<bool, matrixwire::kPairs> m_batch{}; // headphone batch open, per pair
    std::array<BatchCells, matrixwire::kPairs> m_batchCells{}; // a pair's cells as its batch opened
    int m_operationMode = 0;
    std::uint32_t m_deviceOptions = 0;
    std::array<QString, matrixwire::kInputs> m_inputNames;
    std::array<float, matrixwire::kInputs> m_inputGains{};
    std::array<float, matrixwire::kOutputs> m_outputGains{};
    std::array<float, 4> m_outputValues{};
    std::array<std::uint32_t, matrixwire::kOutputs> m_outputRoutes{};
    std::array<Cell, matrixwire::kInputs * matrixwire::kOutputs> m_cells{};
    MatrixOpts m_options = 0;
    std::uint32_t m_masterGains = 0x00008080;
    std::uint32_t m_volumes = 0xE0E0E0E0;
    // Caches: the unit's last known state of each key.
    std::array<matrixwire::InputRecord, 19> m_inputRecords;
    std::array<std::uint8_t, 5> m_outputBytes{};
    std::array<HeadphoneBytes, matrixwire::kPairs> m_headphoneBytes{};
    std::array<ProgramOutput, 4> m_programOutputs{};
    std::array<HeadphoneBytes, matrixwire::kPairs> m_balanceSteps{};
};

// The process-wide matrix, made on first use with the session of
// frontPanelCom() and destroyed at exit.
TMatrixSettings* frontPanelMatrixSettings();
