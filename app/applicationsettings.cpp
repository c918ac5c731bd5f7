#include "app/applicationsettings.h"

#include "link/logline.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

// The fields a unit has in the file.
bool sameStoredDevice(const KnownDevice &a, const KnownDevice &b)
{
    return a.name == b.name && a.serialno == b.serialno && a.password == b.password;
}

} // namespace

ApplicationSettings::ApplicationSettings(const QString &path)
    : configPath(path)
{
}

int ApplicationSettings::nextDeviceId(const KnownDeviceMap &devices)
{
    int id = 1;
    while (devices.contains(id))
        ++id;
    return id;
}

void ApplicationSettings::setKnownDevices(const KnownDeviceMap &devices)
{
    knownDevices = devices;
    for (int i = recentDevices.size() - 1; i >= 0; --i) {
        if (!knownDevices.contains(recentDevices.at(i)))
            recentDevices.removeAt(i);
    }
}

QMap<int, int> ApplicationSettings::applyDeviceEdits(const KnownDeviceMap &shown,
                                                     const KnownDeviceMap &edited)
{
    KnownDeviceMap devices = knownDevices;
    for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
        if (!edited.contains(it.key())) {
            // Gone from the recent list before an added unit may take its id.
            devices.remove(it.key());
            recentDevices.removeAll(it.key());
        }
    }
    KnownDeviceMap taken = devices;
    taken.insert(edited);
    QMap<int, int> moved;
    for (KnownDevice device : edited) {
        const auto was = shown.constFind(device.id);
        if (was != shown.cend()) {
            if (!sameStoredDevice(*was, device))
                devices.insert(device.id, device);
            continue;
        }
        if (devices.contains(device.id)) {
            const int id = nextDeviceId(taken);
            moved.insert(device.id, id);
            device.id = id;
            taken.insert(id, device);
        }
        devices.insert(device.id, device);
    }
    setKnownDevices(devices);
    return moved;
}

bool ApplicationSettings::addRecentDevice(int id)
{
    recentDevices.removeAll(id);
    recentDevices.prepend(id);
    if (maxDevices >= 1) {
        while (recentDevices.size() > maxDevices)
            recentDevices.removeLast();
    }
    return true;
}

namespace {

// Positive decimal integer, or 0 when the text is anything else.
int positiveNumber(QStringView text)
{
    bool ok = false;
    const int value = text.toString().toInt(&ok, 10);
    return ok && value > 0 ? value : 0;
}

void readLogger(QXmlStreamReader &xml, ApplicationSettings &settings)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    if (int v = positiveNumber(attributes.value(QLatin1String("logMaxSize"))))
        settings.logMaxSize = v;
    if (int v = positiveNumber(attributes.value(QLatin1String("logMaxFiles"))))
        settings.logMaxFiles = v;
    const int verbosity = positiveNumber(attributes.value(QLatin1String("sshVerbosity")));
    if (verbosity >= 1 && verbosity <= 4)
        settings.sshVerbosity = verbosity;
    xml.skipCurrentElement();
}

void readServer(QXmlStreamReader &xml, ApplicationSettings &settings)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    settings.hostname = attributes.value(QLatin1String("hostname")).toString();
    if (int v = positiveNumber(attributes.value(QLatin1String("hostport"))))
        settings.hostport = v;
    xml.skipCurrentElement();
}

void readCertificates(QXmlStreamReader &xml, ApplicationSettings &settings)
{
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("certificate")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            TrustedCertificate certificate;
            certificate.sslError = positiveNumber(attributes.value(QLatin1String("sslError")));
            certificate.organization = attributes.value(QLatin1String("organization")).toString();
            certificate.commonName = attributes.value(QLatin1String("commonName")).toString();
            if (certificate.sslError > 0)
                settings.trustedCertificates.append(certificate);
        }
        xml.skipCurrentElement();
    }
}

void readApplicationSettings(QXmlStreamReader &xml, ApplicationSettings &settings)
{
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("logger"))
            readLogger(xml, settings);
        else if (xml.name() == QLatin1String("server"))
            readServer(xml, settings);
        else if (xml.name() == QLatin1String("trustedCertificates"))
            readCertificates(xml, settings);
        else
            xml.skipCurrentElement();
    }
}

void readKnownDevices(QXmlStreamReader &xml, ApplicationSettings &settings)
{
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("device")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            KnownDevice device;
            device.id = positiveNumber(attributes.value(QLatin1String("id")));
            device.name = attributes.value(QLatin1String("name")).toString();
            device.serialno = attributes.value(QLatin1String("serialno")).toString();
            device.password = attributes.value(QLatin1String("password")).toString();
            if (device.name.isEmpty())
                device.name = QStringLiteral("noname");
            if (device.id > 0 && !settings.knownDevices.contains(device.id)
                && !device.serialno.isEmpty() && !device.password.isEmpty())
                settings.knownDevices.insert(device.id, device);
        }
        xml.skipCurrentElement();
    }
}

void readRecentDevices(QXmlStreamReader &xml, ApplicationSettings &settings)
{
    if (int v = positiveNumber(xml.attributes().value(QLatin1String("maxDevices"))))
        settings.maxDevices = v;
    // A later list in the same file may lower the limit below what an
    // earlier one filled.
    while (settings.maxDevices >= 1 && settings.recentDevices.size() > settings.maxDevices)
        settings.recentDevices.removeLast();
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("device")
            && (settings.maxDevices < 1 || settings.recentDevices.size() < settings.maxDevices)) {
            const int id = positiveNumber(xml.attributes().value(QLatin1String("id")));
            if (id > 0 && settings.knownDevices.contains(id))
                settings.recentDevices.append(id);
        }
        xml.skipCurrentElement();
    }
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF)
        || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Text the file can hold: characters XML 1.0 does not allow become '?'
// (the writer would otherwise drop them silently).
QString xmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (char32_t c : text.toUcs4())
        out.append(isXmlChar(c) ? QString::fromUcs4(&c, 1) : QStringLiteral("?"));
    return out;
}

// The file is ISO-8859-1: what Latin-1 cannot hold becomes a character reference.
QByteArray toLatin1WithReferences(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (char32_t c : text.toUcs4()) {
        if (c <= 0xFF)
            out.append(char(c));
        else
            out.append("&#").append(QByteArray::number(uint(c))).append(';');
    }
    return out;
}

} // namespace

QByteArray configurationDocument(const ApplicationSettings &settings)
{
    QString body;
    QXmlStreamWriter xml(&body);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);

    xml.writeStartElement(QStringLiteral("settings"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));

    xml.writeStartElement(QStringLiteral("applicationSettings"));
    xml.writeStartElement(QStringLiteral("logger"));
    xml.writeAttribute(QStringLiteral("logMaxSize"), QString::number(settings.logMaxSize));
    xml.writeAttribute(QStringLiteral("logMaxFiles"), QString::number(settings.logMaxFiles));
    if (settings.sshVerbosity > 0)
        xml.writeAttribute(QStringLiteral("sshVerbosity"), QString::number(settings.sshVerbosity));
    xml.writeEndElement();
    if (!settings.hostname.isEmpty() || settings.hostport >= 1) {
        xml.writeStartElement(QStringLiteral("server"));
        if (!settings.hostname.isEmpty())
            xml.writeAttribute(QStringLiteral("hostname"), xmlText(settings.hostname));
        if (settings.hostport > 0)
            xml.writeAttribute(QStringLiteral("hostport"), QString::number(settings.hostport));
        xml.writeEndElement();
    }
    if (!settings.trustedCertificates.isEmpty()) {
        xml.writeStartElement(QStringLiteral("trustedCertificates"));
        for (const TrustedCertificate &certificate : settings.trustedCertificates) {
            if (certificate.organization.isEmpty() && certificate.commonName.isEmpty())
                continue;
            xml.writeStartElement(QStringLiteral("certificate"));
            xml.writeAttribute(QStringLiteral("sslError"), QString::number(certificate.sslError));
            if (!certificate.organization.isEmpty())
                xml.writeAttribute(QStringLiteral("organization"), xmlText(certificate.organization));
            if (!certificate.commonName.isEmpty())
                xml.writeAttribute(QStringLiteral("commonName"), xmlText(certificate.commonName));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement(); // applicationSettings

    xml.writeStartElement(QStringLiteral("knownDevices"));
    for (const KnownDevice &device : settings.knownDevices) {
        xml.writeStartElement(QStringLiteral("device"));
        xml.writeAttribute(QStringLiteral("id"), QString::number(device.id));
        xml.writeAttribute(QStringLiteral("name"), xmlText(device.name));
        xml.writeAttribute(QStringLiteral("serialno"), xmlText(device.serialno));
        xml.writeAttribute(QStringLiteral("password"), xmlText(device.password));
        xml.writeEndElement();
    }
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("recentDevices"));
    xml.writeAttribute(QStringLiteral("maxDevices"), QString::number(settings.maxDevices));
    for (int id : settings.recentDevices) {
        xml.writeStartElement(QStringLiteral("device"));
        xml.writeAttribute(QStringLiteral("id"), QString::number(id));
        xml.writeEndElement();
    }
    xml.writeEndElement();

    xml.writeEndElement(); // settings
    xml.writeEndDocument();

    // The writer has no codec: the declaration and the encoding are ours.
    return QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>") + toLatin1WithReferences(body);
}

namespace {

// Reads the document into the record; false when it was not used whole.
bool readDocument(ApplicationSettings &settings, const QByteArray &bytes)
{
    const KnownDeviceMap before = settings.knownDevices;
    settings.knownDevices.clear();
    settings.recentDevices.clear();
    settings.trustedCertificates.clear();

    QXmlStreamReader xml(bytes);
    if (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("settings")
            || xml.attributes().value(QLatin1String("version")) != QLatin1String("1"))
            xml.raiseError(QStringLiteral("the document is not settings of version 1"));
    }
    while (!xml.hasError() && xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("applicationSettings"))
            readApplicationSettings(xml, settings);
        else if (xml.name() == QLatin1String("knownDevices"))
            readKnownDevices(xml, settings);
        else if (xml.name() == QLatin1String("recentDevices"))
            readRecentDevices(xml, settings);
        else
            xml.skipCurrentElement();
    }
    if (xml.hasError()) {
        logError(QStringLiteral("%1(filename=%2) failed to read file at line %3, column %4 with error %5")
                     .arg(QLatin1String("readConfiguration"), settings.configPath,
                          QString::number(xml.lineNumber()), QString::number(xml.columnNumber()),
                          xml.errorString()));
    }
    // The tunnel lives in memory only: a re-read must not lose the one a
    // reconnect is going to use.
    for (auto it = settings.knownDevices.begin(); it != settings.knownDevices.end(); ++it) {
        const auto old = before.constFind(it.key());
        if (old != before.constEnd() && old->serialno == it->serialno && old->password == it->password) {
            it->tunnelPort = old->tunnelPort;
            it->tunnelText = old->tunnelText;
        }
    }
    return !xml.hasError();
}

bool readFile(ApplicationSettings &settings, QByteArray *bytes, bool *complete)
{
    QFile file(settings.configPath);
    if (!file.open(QIODevice::ReadOnly)) {
        logError(QStringLiteral("%1(filename=%2) failed to open file with error %3")
                     .arg(QLatin1String("readConfiguration"), settings.configPath, file.errorString()));
        return false;
    }
    *bytes = file.readAll();
    const bool whole = readDocument(settings, *bytes);
    if (complete)
        *complete = whole;
    return true;
}

void logWriteError(const QString &path, const QString &error)
{
    logError(QStringLiteral("%1(filename=%2) failed to write file with error %3")
                 .arg(QLatin1String("writeConfiguration"), path, error));
}

// The file holds unit passwords: ownerOnly makes it its owner's alone.
bool writeBytes(const QString &path, const QByteArray &bytes, bool ownerOnly)
{
    // Written beside the old file and renamed over it, so a crash or a full
    // disk never leaves a torn file behind; written in place only where the
    // directory takes no new file but the file itself may be written.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    // Unbuffered, so a short write shows in the count: a failed flush inside
    // commit() goes unnoticed and would rename a torn file into place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        logWriteError(path, file.errorString());
        return false;
    }
    // Written in place over another's file, the mode cannot change: say so, but save.
    if (ownerOnly && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        qWarning().noquote().nospace()
            << '"' << QStringLiteral("%1(filename=%2) could not make the file its owner's only")
                          .arg(QLatin1String("writeConfiguration"), path)
            << "\" ";
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        const QString error = file.errorString();
        file.cancelWriting();
        logWriteError(path, error);
        return false;
    }
    return true;
}

} // namespace

bool readConfiguration(ApplicationSettings &settings, bool *complete)
{
    QByteArray bytes;
    return readFile(settings, &bytes, complete);
}

bool writeConfiguration(const ApplicationSettings &settings)
{
    // The file holds the units' passwords: every save leaves it its owner's alone.
    const QFileInfo old(settings.configPath);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    const bool loose = old.exists() && (old.permissions() & others);
    if (!writeBytes(settings.configPath, configurationDocument(settings), true))
        return false;
    if (loose && !(QFile::permissions(settings.configPath) & others))
        qInfo().noquote().nospace()
            << '"' << QStringLiteral("%1(filename=%2) made the file readable by its owner only")
                          .arg(QLatin1String("writeConfiguration"), settings.configPath)
            << "\" ";
    return true;
}

QString unreadableCopyPath(const QString &configPath)
{
    return configPath + QLatin1String(".bad");
}

ConfigurationSave saveConfiguration(ApplicationSettings &settings,
                                    const std::function<void(ApplicationSettings &)> &change)
{
    const bool exists = QFileInfo::exists(settings.configPath);
    QByteArray bytes;
    bool complete = true;
    const bool read = exists && readFile(settings, &bytes, &complete);
    if (change)
        change(settings);
    if (exists && !read) {
        logWriteError(settings.configPath, QStringLiteral("it could not be read, so it is kept as it is"));
        return ConfigurationSave::Failed;
    }
    if (!complete) {
        const QString copy = unreadableCopyPath(settings.configPath);
        if (!writeBytes(copy, bytes, true))
            return ConfigurationSave::Failed;
        qWarning().noquote().nospace()
            << '"' << QStringLiteral("%1(filename=%2) kept the file it could not read whole as %3")
                          .arg(QLatin1String("saveConfiguration"), settings.configPath, copy)
            << "\" ";
    }
    if (!writeConfiguration(settings))
        return ConfigurationSave::Failed;
    return complete ? ConfigurationSave::Saved : ConfigurationSave::SavedKeepingUnreadable;
}
