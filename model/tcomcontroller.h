#pragma once

#include "model/controllerkeys.h"
#include "model/tcomrequesthelper.h"

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class TCommand;

namespace zel {
class CCom;
}

// Base of every mirror of a part of the unit's state: typed copies of the
// unit's parameters, read with GET, written with PARAM, kept current from
// the unit's INFO and EVENT messages.
//
// Each controller describes its keys once, in keyTable(); reset, refresh,
// readParams, writeParams, the setters and their text forms all walk it.
class TComController : public QObject
{
    Q_OBJECT
public:
    using ValueMap = TComRequestHelper::ValueMap;

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

    // Whether the key is one of this controller's and this unit's firmware
    // takes it: a control of a key it does not take is not offered.
    bool takesKey(const std::string& key) const;

    TComRequestHelper& requestHelper() { return helper; }
    const TComRequestHelper& requestHelper() const { return helper; }

    // Restores the start values without sending or announcing anything; state -1.
    virtual void reset();
    // Reads every key of the table that the unit's firmware has.
    virtual bool refresh();
    // False for an empty list, when no value came back or a value was
    // malformed; every value that came back goes to its key's text form.
    virtual bool readParams(const std::vector<std::string>& keys);
    // The current values of the listed writable keys, one request per group;
    // false when nothing was to be sent or any key was refused. Nothing is
    // sent when a secret cannot be made a token.
    virtual bool writeParams(const std::vector<std::string>& keys);
    // True when the message was meant for this controller.
    virtual bool handleInfo(const TCommand& info);
    virtual bool handleEvent(const TCommand& event);

signals:
    void controllerStateChanged(TComController* controller);

protected:
    virtual const ParamKeys& keyTable() const = 0;
    // One PARAM request for the keys of a group; true when all were accepted.
    virtual bool sendValues(int group, const ValueMap& values) = 0;
    // One GET request for the keys of a group: the helper's getParams result.
    virtual int fetchValues(int group, const std::vector<std::string>& keys, ValueMap& values,
                            ValueMap& errors) = 0;
    // A key's stored value changed (rows with a signal index only).
    virtual void paramChanged(int index);

    // The setter of a key: an equal value is true with nothing sent or
    // announced; with send and the key's gates open the value goes to the
    // unit first and a refusal keeps the old value (false, nothing
    // announced); with send to a firmware that does not take the key it is
    // refused the same way; otherwise the value is stored and announced.
    bool setKey(const std::string& key, int value, bool send);
    bool setKey(const std::string& key, bool value, bool send);
    bool setKey(const std::string& key, const std::string& value, bool send);
    bool setKey(const std::string& key, float value, bool send);
    bool setKey(const std::string& key, const char* value, bool send) = delete;
    // Sends a value in the key's wire form without storing it (int, bool,
    // std::string or float, as the key's field).
    template <class T>
    bool sendKey(const std::string& key, const T& value);
    // The text form of a key's setter: never sends; true for a known key.
    bool parseKey(const std::string& key, const std::string& text);
    // Reads one key and parses it.
    bool refreshKey(const std::string& key);
    // Parses every known key of the map; other keys are skipped. False when
    // a key's own parser found its text malformed (the rest is applied).
    bool applyValues(const ValueMap& values);
    // Resets a loaded controller, runs read with single values unannounced
    // (pages redraw from the state change) and goes ready; false, state
    // left as it was, when read fails.
    bool loadQuietly(const std::function<bool()>& read);
    // readParams, also handing out the keys the unit refused.
    bool readKeys(const std::vector<std::string>& keys, ValueMap* errors);
    // Drops the values of keys a read did not ask for.
    static void keepAsked(ValueMap& values, const std::vector<std::string>& keys);
    // The keys refresh() reads, in table order.
    std::vector<std::string> refreshList() const;
    void restoreStartValues();
    const ParamKey* findKey(const std::string& key) const;
    // A key's current value as it is sent.
    std::string wireText(const ParamKey& row);
    // Requests with "target" = target: the helper's setParams and getParams
    // judged as sendValues and fetchValues are.
    bool setTargetValues(const std::string& target, const ValueMap& values);
    int getTargetValues(const std::string& target, const std::vector<std::string>& keys, ValueMap& values,
                        ValueMap& errors);

    TComRequestHelper helper;

private:
    template <class T>
    bool assign(const std::string& key, const T& value, bool send);
    template <class T>
    bool assign(const ParamKey& row, const T& value, bool send);
    bool maySend(const ParamKey& row, bool unset);

    int m_type;
    int m_state = Unloaded;
};

// The controller state a unit cause text stands for (any unknown or empty
// text is 0, ready).
int controllerStateFromReply(const std::string& cause);
// The same for a cause number; only 0 is ready.
int controllerStateFromCause(int cause);
