// The configuration file: any content is read without harm; every unit the
// reader accepts is a complete record and comes back whole after the file is
// written and read again, and what is written always reads whole; a file cut
// short keeps the units read before the cut.

#include "fuzzcheck.h"

#include "app/applicationsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace {

QString g_path;

void writeFile(const QByteArray& bytes)
{
    QFile file(g_path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

ApplicationSettings readBytes(const QByteArray& bytes, bool* complete = nullptr)
{
    writeFile(bytes);
    ApplicationSettings settings(g_path);
    FUZZ_CHECK(readConfiguration(settings, complete));
    return settings;
}

bool sameDevice(const KnownDevice& a, const KnownDevice& b)
{
    return a.id == b.id && a.name == b.name && a.serialno == b.serialno && a.password == b.password
           && a.tunnelPort == b.tunnelPort && a.tunnelText == b.tunnelText;
}

bool badEncoding(const QByteArray& bytes)
{
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd())
        xml.readNext();
    return xml.error() == QXmlStreamReader::NotWellFormedError
           && xml.errorString() == QLatin1String("Encountered incorrectly encoded content.");
}

void checkRecord(const ApplicationSettings& s)
{
    for (auto it = s.knownDevices.cbegin(); it != s.knownDevices.cend(); ++it) {
        FUZZ_CHECK(it.key() == it->id && it->id >= 1);
        FUZZ_CHECK(!it->name.isEmpty() && !it->serialno.isEmpty() && !it->password.isEmpty());
        FUZZ_CHECK(it->tunnelPort == 0 && it->tunnelText.isEmpty());
    }
    for (int id : s.recentDevices)
        FUZZ_CHECK(s.knownDevices.contains(id));
    FUZZ_CHECK(s.maxDevices < 1 || s.recentDevices.size() <= s.maxDevices);
    for (const TrustedCertificate& c : s.trustedCertificates)
        FUZZ_CHECK(c.sslError >= 1);
    FUZZ_CHECK(s.logMaxSize >= 1 && s.logMaxFiles >= 1 && s.maxDevices >= 1);
    FUZZ_CHECK(s.sshVerbosity >= 0 && s.sshVerbosity <= 4 && s.hostport >= 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt("fuzz_configuration");
    // Four file writes per input: memory-backed when the system has it.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/kandelo-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/kandelo-fuzz-XXXXXX"));
    FUZZ_CHECK(dir.isValid());
    g_path = dir.filePath(QStringLiteral("Kandelo.xml"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const ApplicationSettings first = readBytes(bytes);
    checkRecord(first);

    // Written and read again, nothing the reader took is lost or changed.
    bool whole = false;
    const ApplicationSettings second = readBytes(configurationDocument(first), &whole);
    FUZZ_CHECK(whole);
    checkRecord(second);
    FUZZ_CHECK(second.knownDevices.size() == first.knownDevices.size());
    for (const KnownDevice& device : first.knownDevices)
        FUZZ_CHECK(second.knownDevices.contains(device.id)
                   && sameDevice(second.knownDevices.value(device.id), device));
    FUZZ_CHECK(second.recentDevices == first.recentDevices);
    FUZZ_CHECK(second.maxDevices == first.maxDevices);
    FUZZ_CHECK(second.logMaxSize == first.logMaxSize && second.logMaxFiles == first.logMaxFiles);
    FUZZ_CHECK(second.sshVerbosity == first.sshVerbosity && second.hostport == first.hostport);
    FUZZ_CHECK(second.hostname == first.hostname);
    QList<TrustedCertificate> kept;
    for (const TrustedCertificate& c : first.trustedCertificates)
        if (!c.organization.isEmpty() || !c.commonName.isEmpty())
            kept.append(c);
    FUZZ_CHECK(second.trustedCertificates.size() == kept.size());
    for (int i = 0; i < kept.size(); ++i) {
        const TrustedCertificate& a = kept.at(i);
        const TrustedCertificate& b = second.trustedCertificates.at(i);
        FUZZ_CHECK(a.sslError == b.sslError && a.organization == b.organization
                   && a.commonName == b.commonName);
    }

    // The same file cut short: every unit read from it is one of the whole
    // file's, unchanged. The recent list may differ, since a later list may
    // lower its limit. Not for text that does not decode: Qt refuses such a
    // document at its first token, wherever the bad byte lies.
    if (size > 1 && !badEncoding(bytes)) {
        const qsizetype cut = qsizetype(size) * data[size - 1] / 256;
        const ApplicationSettings part = readBytes(bytes.left(cut));
        checkRecord(part);
        for (const KnownDevice& device : part.knownDevices)
            FUZZ_CHECK(first.knownDevices.contains(device.id)
                       && sameDevice(first.knownDevices.value(device.id), device));
    }
    return 0;
}
