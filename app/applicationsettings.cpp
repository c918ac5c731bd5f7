#include "app/applicationsettings.h"

#include <QByteArray>

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
}

bool ApplicationSettings::addRecentDevice(int id)
{
    recentDevices.removeAll(id);
    recentDevices.prepend(id);
    return true;
}

bool readConfiguration(ApplicationSettings &)
{
    return false;
}

bool writeConfiguration(const ApplicationSettings &)
{
    return false;
}

QByteArray configurationDocument(const ApplicationSettings &)
{
    return QByteArray();
}
