#include "panel/settings/callprofilerecord.h"

#include "model/tcomdevice.h"

CallProfileRecord::CallProfileRecord(const CallProfileRecord& other)
{
    assign(other);
}

CallProfileRecord& CallProfileRecord::operator=(const CallProfileRecord& other)
{
    if (&other != this)
        assign(other);
    return *this;
}

void CallProfileRecord::assign(const CallProfileRecord& other)
{
    origin = other.origin;
    entryId = other.entryId;
    openedFor = other.openedFor;
    network = other.network;
    lines = other.lines;
    codecMode = other.codecMode;
    coordMode = other.coordMode;
    coding = other.coding;
    name = other.name;
    remoteAddress = other.remoteAddress;
    secondRemoteAddress = other.secondRemoteAddress;
}

void CallProfileRecord::reset()
{
    assign(CallProfileRecord());
}

bool CallProfileRecord::isValid() const
{
    if (interfaceClass(network) == kInvalidInterface || name.isEmpty())
        return false;
    return coding.codec != -1 || !remoteAddress.isEmpty();
}

bool CallProfileRecord::operator==(const CallProfileRecord& other) const
{
    return network == other.network && name == other.name && remoteAddress == other.remoteAddress
        && secondRemoteAddress == other.secondRemoteAddress && coding == other.coding;
}
