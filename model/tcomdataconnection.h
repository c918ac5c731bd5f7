#pragma once

#include "model/tcombaseconnection.h"

#include <string>

// An IP data link the unit runs over a mobile or Wi-Fi interface. Between
// connect and "data connected", and between disconnect and "data
// disconnected", its state reflects only what this program asked for.
class TComDataConnection : public TComBaseConnection
{
public:
    enum State { Idle = 0, Connecting = 1, Connected = 2, Disconnecting = 3, Disconnected = 4 };

    explicit TComDataConnection(zel::CCom* session);

    void reset() override;
    // "data connected" and "data disconnected" of this id and interface.
    bool handleEvent(const TCommand& event) override;

    // Tells the device when the value changes.
    void setState(int state);
    // Follows a link the unit already runs; only while idle.
    bool start(int id, const std::string& network, int state);
    bool connect(const std::string& network);
    bool disconnect();
    // The id of the link the unit runs over the interface, or -1; the
    // connection itself does not change.
    int queryId(const std::string& network);
};
