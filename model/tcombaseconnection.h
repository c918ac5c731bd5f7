#pragma once

#include "model/tcomrequesthelper.h"

#include <map>
#include <memory>
#include <string>

class TCommand;
class TComDevice;

// A call or data link the unit runs, known by the unit's connection id.
// Not a QObject: a connection tells its device of changes, and the device
// announces them. Owned by the device once added to it.
class TComBaseConnection
{
public:
    // What the connection carries ("comm_link" on the wire).
    enum Kind { Line1 = 0, Line2 = 1, CoordLine = 2, Data = 3 };

    TComBaseConnection(zel::CCom* session, int kind);
    virtual ~TComBaseConnection();
    TComBaseConnection(const TComBaseConnection&) = delete;
    TComBaseConnection& operator=(const TComBaseConnection&) = delete;

    // The device that is told of changes from now on.
    virtual void attach(TComDevice* device);
    // Nobody is told any more (whichever device asks).
    virtual void detach(TComDevice* device);
    // Forgets the unit's id and interface.
    virtual void reset();
    // Applies an event carrying this connection's id; true when it was ours.
    virtual bool handleEvent(const TCommand& event) = 0;

    zel::CCom* session() const { return m_requests.session(); }
    TComRequestHelper& requestHelper() { return m_requests; }
    TComDevice* listener() const { return m_listener; }
    int kind() const { return m_kind; }
    int state() const { return m_state; }
    int id() const { return m_id; }
    const std::string& network() const { return m_network; }

protected:
    using Reply = std::map<std::string, std::string>;

    // One request through the session, waiting at most five seconds; true
    // when the unit answered "OK", with the reply's values. Otherwise the
    // unit's error number (200 when the link failed or the cause is unknown).
    bool exchange(const TCommand& request, Reply& reply, int* error = nullptr) const;
    // Asks the unit to end this connection ("dcon"); true when it agreed.
    bool requestDisconnect() const;
    // The unit's id text as a number; -1 for none, so that a reply or event
    // without an id never names connection 0.
    static int idFromText(const std::string& text);

    // Expires with the connection: a receiver of a notification may have
    // the device destroy it.
    std::weak_ptr<void> lifetime() const { return m_lifetime; }

    TComRequestHelper m_requests;
    TComDevice* m_listener = nullptr;
    int m_kind;
    int m_state = 0;
    int m_id = -1;
    std::string m_network;

private:
    std::shared_ptr<char> m_lifetime = std::make_shared<char>();
};
