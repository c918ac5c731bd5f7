#pragma once

#include "model/tcomrequesthelper.h"

#include <QCoreApplication>
#include <QMap>
#include <QObject>
#include <QString>

#include <cstdint>
#include <string>

class QPravikSoftkeys;
class TCommand;

// One of the unit's seven programmable keys: the category of its function,
// the function within that category and how the key behaves when pressed.
// A plain record owned by QPravikSoftkeys, which sends and announces every
// change made here.
class QPravikSoftkey
{
    Q_DECLARE_TR_FUNCTIONS(QPravikSoftkey)
public:
    enum Category {
        None = -1,
        CoughKey = 0,
        TalkToSpeaker = 1,
        TalkToOutput = 2,
        AuxToBus = 3,
        Contacts = 4,
        Info = 5,
        Shortcuts = 6
    };
    // A function's number within its category, 1 upward; 0 is none.
    using Function = int;
    enum Behavior { NotApplicable = 0, Temporary = 1, Toggle = 2, Pulse = 3 };

    QPravikSoftkey(QPravikSoftkeys* owner, int index);

    QPravikSoftkeys* owner() const { return m_owner; }
    // The unit numbers the key index() + 1.
    int index() const { return m_index; }
    int category() const { return m_category; }
    Function function() const { return m_function; }
    int behavior() const { return m_behavior; }
    int functionMask() const { return m_functionMask; }
    // The audio input (or talking position) the function acts on; -1 none.
    int input() const { return m_input; }
    // Where the function sends it; -1 none.
    int output() const { return m_output; }

    // Value and display name, sorted by value.
    QMap<int, QString> categories() const;
    // The functions this key may take in that category (by number, or by
    // functionCode() with codes); remembers the mask it found.
    QMap<int, QString> functions(int category, bool codes);
    QMap<int, QString> behaviors(int category) const;

    // Each sends the key first and, once the unit took it, stores and
    // announces the change; a refusal keeps the key and announces nothing.
    // An equal value is true with nothing sent, an unavailable one false.
    bool setCategory(int category);
    bool setFunction(int function);
    bool setFunctionByte(unsigned char function) { return setFunction(function); }
    bool setBehavior(int behavior);
    // Takes function n (its low byte) without checking it, with the
    // category's default behaviour; sent first as above.
    bool applyFunction(int n);
    // "C<category>F<function>[B<behaviour>]" in two-digit hex; empty for None.
    std::string wireText() const;

    static QString categoryName(int category);
    static QString functionName(int category, int function);
    // The same on a unit of that device option word.
    static QString functionName(int category, int function, std::uint32_t options);
    static QString behaviorName(int behavior);
    // Display order of a function; -1 outside its category.
    static int functionRank(int category, int function);
    // Rank in the high byte, the function number in the low byte.
    static int functionCode(int category, int function);
    // Bit n-1 set: function n of the category is available to key `index`
    // on a unit of that firmware word, device option word and auxiliary board.
    static std::uint32_t availableFunctions(int category, int index, std::uint32_t firmware,
                                            std::uint32_t options, bool auxiliaryBoard);
    // Function within its category of a running number 0..62 of the older
    // wire form; 0 for any other number.
    static int legacyFunction(int number);

private:
    void clearFunction();
    // The fields of function n in the current category, nothing sent.
    void takeFunction(int n);
    // Sends the key as `next` holds it; true also while nothing is due.
    bool sendFirst(const QPravikSoftkey& next) const;

    QPravikSoftkeys* m_owner;
    int m_index;
    int m_category = None;
    int m_function = 0;
    int m_behavior = NotApplicable;
    int m_functionMask = -1;
    int m_input = -1;
    int m_output = -1;
};

// The programmable keys and the four label texts beside them. Every change
// made here goes to the unit at once (target "general"); what the unit
// reports in "config_changeset" is applied without being sent back.
class QPravikSoftkeys : public QObject
{
    Q_OBJECT
public:
    static constexpr int kKeyCount = 7;

    explicit QPravikSoftkeys(QObject* parent = nullptr);

    // Key i; any i outside 0..6 gives key 0.
    QPravikSoftkey* softkey(int i);
    QString infoLabel(int index) const;
    QString contactLabel(int index) const;
    // True only while a value from the unit is being applied.
    bool isApplying() const { return m_applying; }

    // Whether the unit has its auxiliary audio board: some functions need it.
    // Handed in by whoever reads the audio settings.
    void setAuxiliaryBoard(bool present) { m_auxiliaryBoard = present; }
    bool auxiliaryBoard() const { return m_auxiliaryBoard; }

    // Subscribes to "config_changeset" and reads every key and label;
    // applies the answer only when each of them came back.
    bool load();
    void handleConfigChangeset(const TCommand& info);

    // Index 0 or 1 (any other is false). The text goes to the unit first; a
    // refusal keeps the old one and announces nothing.
    bool setInfoLabel(int index, const QString& text);
    bool setContactLabel(int index, const QString& text);

    // One unit value, applied without being sent back. Keys of a number
    // outside their range are ignored.
    void parseSoftkey(const std::string& key, const std::string& value);
    void applyInfoLabel(const std::string& key, const std::string& value);
    void applyContactLabel(const std::string& key, const std::string& value);

signals:
    void softKeyCategoryChanging(QPravikSoftkey* key, QPravikSoftkey::Category category);
    void softKeyFunctionChanging(QPravikSoftkey* key, QPravikSoftkey::Function function);
    void softKeyFunctionChanged(QPravikSoftkey* key);
    void softKeyBehaviorChanged(QPravikSoftkey* key);
    void infoLabelChanged(int index, const QString& text);
    void contactLabelChanged(int index, const QString& text);

private:
    friend class QPravikSoftkey;

    // A PARAM of target "general" with key + number = value; false when the
    // unit did not take it. Nothing is sent, and true, while applying.
    bool sendValue(const char* key, int number, const std::string& value);
    // Sends (unless applying) and stores, then announces through `changed`.
    bool storeLabel(QString* labels, const char* key, int index, const QString& text,
                    void (QPravikSoftkeys::*changed)(int, const QString&));
    void applyValues(const TComRequestHelper::ValueMap& values);

    bool m_applying = false;
    bool m_auxiliaryBoard = false;
    TComRequestHelper m_requests;
    QString m_infoLabels[2];
    QString m_contactLabels[2];
    QPravikSoftkey m_keys[kKeyCount];
};

// The process-wide softkey model: made without parent on the first call,
// destroyed at program exit.
QPravikSoftkeys* frontPanelSoftkeys();
// Key i (0 to 6) of it; any other i gives key 0.
QPravikSoftkey* frontPanelSoftkey(int i);
