// The locale table loader: any bytes load without harm into entries whose
// "key:text" is a simplified line with no colon in the key; loading more
// never changes a key already there; lookups give the text or the key.

#include "fuzzcheck.h"

#include "model/locale.h"
#include "model/textconv.h"

#include <QBuffer>

static void load(TLocale& locale, const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    FUZZ_CHECK(buffer.open(QIODevice::ReadOnly | QIODevice::Text));
    locale.load(buffer);
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Each input starts from a table without a file, which is worth a warning.
    qInstallMessageHandler(fuzz::silentMessageHandler);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TLocale locale{QString()};
    load(locale, bytes);
    const auto first = locale.entries();
    for (const auto& [key, text] : first) {
        const QByteArray line = QByteArray::fromStdString(key + ':' + text);
        FUZZ_CHECK(line == line.simplified() && !line.startsWith('#'));
        FUZZ_CHECK(key.find(':') == std::string::npos);
        FUZZ_CHECK(locale.text(key) == fromUtf8StdString(text));
    }

    // The same lines again, and the second half on its own: first occurrences stay.
    load(locale, bytes);
    load(locale, bytes.mid(bytes.size() / 2));
    for (const auto& [key, text] : first)
        FUZZ_CHECK(locale.entries().at(key) == text);

    const std::string absent = bytes.toStdString() + '\x01';
    FUZZ_CHECK(locale.entries().count(absent) || locale.text(absent) == fromUtf8StdString(absent));
    return 0;
}
