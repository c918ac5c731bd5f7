#pragma once

#include "model/tcomrequesthelper.h"

#include <QObject>

#include <string>
#include <vector>

class TCommand;

namespace zel {
class CCom;
}

// Base of every mirror of a part of the unit's state: typed copies of the
// unit's parameters, read with GET, written with PARAM, kept current from
// the unit's INFO and EVENT messages.
class TComController : public QObject
{
    Q_OBJECT
public:
    enum Type {
        AudioType = 0,      // audio settings, matrix, Ravenna
        AoIPType = 1,
        EthernetType = 2,
        IsdnType = 3,
        MobileType = 4,
        WifiType = 5
    };

    enum State {
        Unloaded = -1,
        Ready = 0,
        Attached = 1,        // attached but not ready, or failed without a better cause
        NotRegistered = 2,   // "123-not registered"
        NotAllowed = 3,      // "015-not allowed"
        SimMissing = 4,      // "010-sim missing"
        SimLocked = 5,       // "011-sim locked" or "124-puk required"
        PinRequired = 6      // "122-pin required"
    };

    TComController(zel::CCom* session, int type);

    int type() const { return m_type; }
    int state() const { return m_state; }
    void setState(int state);

    TComRequestHelper& requestHelper() { return helper; }
    const TComRequestHelper& requestHelper() const { return helper; }

    // Forgets the mirrored values without sending anything; state -1.
    virtual void reset();
    virtual bool refresh() = 0;
    virtual bool readParams(const std::vector<std::string>& keys) = 0;
    virtual bool writeParams(const std::vector<std::string>& keys) = 0;
    // True when the message was meant for this controller.
    virtual bool handleInfo(const TCommand& info);
    virtual bool handleEvent(const TCommand& event);

signals:
    void controllerStateChanged(TComController* controller);

protected:
    TComRequestHelper helper;

private:
    int m_type;
    int m_state = Unloaded;
};

// The controller state a unit cause text stands for (any unknown or empty
// text is 0, ready).
int controllerStateFromReply(const std::string& cause);
// The same for a cause number; only 0 is ready.
int controllerStateFromCause(int cause);
