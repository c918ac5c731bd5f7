#pragma once

#include <QCoreApplication>
#include <QString>

#include <map>
#include <string>

class QIODevice;
struct CodecConfig;

// The unit's words (error causes, parameter names and values) in the unit's
// own display wording. Lines read "key:text"; the key ends at the first colon.
class TLocale
{
public:
    // The embedded table.
    TLocale();
    // Another table file under the same rules; a missing file gives an empty table.
    explicit TLocale(const QString& fileName);

    // Adds the entries of an open device; a key already present keeps its text.
    void load(QIODevice& device);

    // The key's text, or the key itself when the table has none.
    QString text(const std::string& key) const;
    // The text of the unit's cause string for an error number.
    QString causeText(int cause) const;

    const std::map<std::string, std::string>& entries() const { return table; }

private:
    void loadFile(const QString& fileName);

    std::map<std::string, std::string> table;
};

// The process-wide table: built on first use, destroyed at exit.
TLocale* frontPanelLocale();

// Display names of the numbers the model uses. Translatable, not read from the
// locale table. `options` is the device option word.
class QPravikLocalize
{
    Q_DECLARE_TR_FUNCTIONS(QPravikLocalize)

public:
    // Bits of the device option word that change names.
    static constexpr unsigned InternalModems = 0x1000;  // mobile interfaces 0 and 1 are built in
    static constexpr unsigned DntPortNames = 0x400;     // network audio ports are named "DNT."

    static QString interfaceName(int code, unsigned options);
    static QString codecName(int codec);
    static QString channelModeName(int mode);
    static QString codecDescription(const CodecConfig& codec);
    // input is a routing-matrix input number.
    static QString audioPortName(int input, unsigned options);
};
