#include "model/locale.h"

#include "link/valuetext.h"
#include "model/textconv.h"

#include <QFile>
#include <QtDebug>

#include <iterator>

// --- TLocale ---------------------------------------------------------------

TLocale::TLocale()
{
    loadFile(QStringLiteral(":/locale/English.locale"));
}

TLocale::TLocale(const QString& fileName)
{
    loadFile(fileName);
}

void TLocale::loadFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning().noquote() << "TLocale: cannot read" << fileName << "-" << file.errorString();
        return;
    }
    load(file);
}

void TLocale::load(QIODevice& device)
{
    // Read at once and split: reading line by line costs a large buffer a line.
    const QByteArray bytes = device.readAll();
    for (qsizetype start = 0, end = 0; start < bytes.size(); start = end + 1) {
        end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        const QByteArray line = bytes.mid(start, end - start).simplified();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        // Simplified already: the text keeps a blank that follows the colon.
        table.emplace(std::string(line.constData(), std::size_t(colon)),
                      std::string(line.constData() + colon + 1, std::size_t(line.size() - colon - 1)));
    }
}

QString TLocale::text(const std::string& key) const
{
    const auto it = table.find(key);
    return fromUtf8StdString(it == table.end() ? key : it->second);
}

QString TLocale::causeText(int cause) const
{
    return text(errorText(cause));
}

TLocale* frontPanelLocale()
{
    static TLocale locale;
    return &locale;
}

// --- QPravikLocalize -------------------------------------------------------

QString QPravikLocalize::interfaceName(int code, unsigned options)
{
    // Codes are a class in 0xF00 and a number in 0xFF; anything above is no interface.
    if (code & ~0xFFF)
        return tr("Invalid");
    const int n = code & 0xFF;
    switch (code & 0xF00) {
    case 0x100:
        if (n == 0)
            return tr("Ethernet");
        if (n == 1)
            return tr("Ethernet (aux)");
        return tr("Ethernet (ext %1)").arg(n - 1);
    case 0x200:
        return tr("ISDN");
    case 0x300:
        if (options & InternalModems)
            return n <= 1 ? tr("Mobile (int %1)").arg(n + 1) : tr("Mobile (ext %1)").arg(n - 1);
        return n == 0 ? tr("Mobile") : tr("Mobile (ext %1)").arg(n);
    case 0x400:
        return tr("Wi-Fi (ext %1)").arg(n + 1);
    default:
        return tr("Invalid");
    }
}

QString QPravikLocalize::codecName(int codec)
{
    static const char* const names[] = {
        "G.711 A-Law", "G.711 u-Law", "G.711",         "G.722",       "G.722 SRT",    "G.722 H.242",
        "G.722 H.221", "4SB ADPCM",   "MPEG L2 J.52",  "MPEG L2",     "TDAC",         "TDAC G.722",
        "G.722 TDAC",  "Celp",        "AAC LC",        "AAC HE",      "AAC HEv2",     nullptr,
        nullptr,       "Opus",        "L16",           "L20",         "L24",          "AAC LC LOAS",
        "AAC HE LOAS", "AAC HEv2 LOAS", "MPEG L3",     "AAC LD",      "AAC ELD"};
    if (codec == 17)
        return tr("Mobile Voice");
    if (codec == 18)
        return tr("Phone");
    if (codec < 0 || codec >= int(std::size(names)))
        return tr("Invalid");
    return QLatin1String(names[codec]);
}

QString QPravikLocalize::channelModeName(int mode)
{
    switch (mode) {
    case 0:
        return tr("Mono");
    case 1:
        return tr("Dual Mono");
    case 2:
        return tr("Stereo");
    case 3:
        return tr("J-Stereo");
    default:
        return tr("Invalid");
    }
}

QString QPravikLocalize::codecDescription(const CodecConfig& codec)
{
    const int c = codec.codec;
    QString out = codecName(c);
    const bool detailed = (c >= 7 && c <= 9) || (c >= 14 && c <= 16) || (c >= 19 && c <= 28)
                          || (c == 13 && codec.fec >= 0);
    if (!detailed)
        return out;
    if (codec.sampleRate > 0)
        out += QStringLiteral(" %1kHz").arg(codec.sampleRate / 1000);
    out += QLatin1Char(' ') + channelModeName(int(codec.channelMode));
    if (codec.bitRate > 0) {
        out += codec.bitRate % 1000 == 0 ? QStringLiteral(" %1kbit/s").arg(codec.bitRate / 1000)
                                         : QStringLiteral(" %1bit/s").arg(codec.bitRate);
    }
    if (c == 8 || (c == 9 && codec.fec >= 0))
        out += QStringLiteral(" FEC:%1").arg(codec.fec);
    else if (c == 13)
        out += QStringLiteral(" FEC:P%1").arg(codec.fec);
    return out;
}

QString QPravikLocalize::audioPortName(int input, unsigned options)
{
    // Network audio ports have a second name, chosen by a device option.
    struct Port {
        const char* name;
        const char* dntName;
    };
    static const Port ports[] = {
        {QT_TRANSLATE_NOOP("QPravikLocalize", "INPUT 1"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "INPUT 2"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "INPUT 3"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "INPUT 4"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "AUX 1"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "AUX 2"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "AES 1"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "AES 2"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "USB"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "RAV. 1"), QT_TRANSLATE_NOOP("QPravikLocalize", "DNT. 1")},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "RAV. 2"), QT_TRANSLATE_NOOP("QPravikLocalize", "DNT. 2")},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "MOBILE"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "PROGRAM\nRETURN"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "COORD\nRETURN"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "RAV. 3"), QT_TRANSLATE_NOOP("QPravikLocalize", "DNT. 3")},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "RAV. 4"), QT_TRANSLATE_NOOP("QPravikLocalize", "DNT. 4")},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "RAV. 5"), QT_TRANSLATE_NOOP("QPravikLocalize", "DNT. 5")},
        {nullptr, nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "RAV. 6"), QT_TRANSLATE_NOOP("QPravikLocalize", "DNT. 6")},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "PROGRAM\nRETURN"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "PROGRAM"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "COORD"), nullptr},
        {nullptr, nullptr},
        {nullptr, nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "PROGRAM"), nullptr},
        {nullptr, nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "SIDE\nTONE"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "SIDE\nTONE"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "SIDE\nTONE"), nullptr},
        {QT_TRANSLATE_NOOP("QPravikLocalize", "SIDE\nTONE"), nullptr},
    };
    if (input < 0 || input >= int(std::size(ports)) || !ports[input].name)
        return tr("Invalid");
    const Port& port = ports[input];
    const bool dnt = port.dntName && (options & DntPortNames);
    return tr(dnt ? port.dntName : port.name);
}
