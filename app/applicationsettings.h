#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <functional>

// A unit the operator knows. tunnelPort and tunnelText come from the
// remote-access server on each connect and are never stored in the file.
struct KnownDevice
{
    int id = 0;
    int tunnelPort = 0;
    QString name;
    QString tunnelText;
    QString serialno;
    QString password;
};

// A TLS certificate error the operator chose to accept for an issuer.
struct TrustedCertificate
{
    int sslError = 0;
    QString organization;
    QString commonName;
};

typedef QMap<int, KnownDevice> KnownDeviceMap;

// Working copy of the configuration file; the file stays the reference.
class ApplicationSettings
{
public:
    explicit ApplicationSettings(const QString &configPath = QString());

    // Smallest id >= 1 that the map does not use.
    static int nextDeviceId(const KnownDeviceMap &devices);
    // Replaces the known units and drops recent ids that are no longer known.
    void setKnownDevices(const KnownDeviceMap &devices);
    // Moves id to the front of the recent list and trims it to maxDevices.
    bool addRecentDevice(int id);
    // Takes the device manager's work (the units it was shown, the units it
    // gave back) into the units the record holds now: units it removed go,
    // units it added or changed come in, units it left alone stay as they are
    // here, so a unit added meanwhile elsewhere is kept. An added unit whose id
    // was taken meanwhile gets a free one; the result maps such ids.
    QMap<int, int> applyDeviceEdits(const KnownDeviceMap &shown, const KnownDeviceMap &edited);

    QString configPath;
    int logMaxSize = 512;       // KB per log file, < 1 no limit
    int logMaxFiles = 25;       // < 1 no limit
    int sshVerbosity = 0;
    int hostport = 0;           // < 1: the default SSH port
    QString hostname;           // empty: the built-in server
    QString user;               // memory only
    QString password;           // memory only
    int maxDevices = 10;        // < 1 no limit
    KnownDeviceMap knownDevices;
    QList<int> recentDevices;   // most recent first
    QList<TrustedCertificate> trustedCertificates;
};

// Reads settings.configPath into the record. False only when the file cannot
// be opened; a malformed document keeps what was read before the fault, and
// complete tells whether the whole document was used. The in-memory tunnel of
// a unit whose serial number and password did not change survives the read.
bool readConfiguration(ApplicationSettings &settings, bool *complete = nullptr);

// Writes the record to settings.configPath, atomically where the directory
// allows it; a new file is readable by its owner only.
bool writeConfiguration(const ApplicationSettings &settings);

enum class ConfigurationSave { Saved, SavedKeepingUnreadable, Failed };

// Saves a change the way every save must, from the file as it is now: re-reads
// it, applies change to the record, writes it. A file that was not read whole
// is first kept as unreadableCopyPath (its content would be lost otherwise),
// and one that cannot be read at all is not written over.
ConfigurationSave saveConfiguration(ApplicationSettings &settings,
                                    const std::function<void(ApplicationSettings &)> &change = {});
QString unreadableCopyPath(const QString &configPath);

// The exact bytes writeConfiguration puts in the file.
QByteArray configurationDocument(const ApplicationSettings &settings);
