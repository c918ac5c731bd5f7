#pragma once

#include "model/tcomcontroller.h"

#include <string>
#include <vector>

// A controller that follows one network interface of the unit ("eth.0",
// "isdn.0", ...). Its requests carry "target" "network" and, where asked
// for, "network" = the interface name.
class TComNetworkController : public TComController
{
    Q_OBJECT
public:
    TComNetworkController(zel::CCom* session, int type);

    const std::string& network() const { return m_network; }

    // Bit 0 of flags: refresh the parameters while attaching. On success the
    // controller ends in state 1 (overrides may go on to 0).
    virtual bool attach(const std::string& network, unsigned flags, bool makeDefault);

    bool setParam(const std::string& key, const std::string& value, bool withNetwork = true);
    bool setParams(const ValueMap& values, bool withNetwork = true, int timeoutMs = 5000);
    bool getParam(const std::string& key, std::string& value, bool withNetwork = true);
    int getParams(const std::vector<std::string>& keys, ValueMap& values, ValueMap& errors,
                  bool withNetwork = true);
    bool getList(const std::string& key, std::vector<std::string>& items, bool withNetwork = true);

    bool setAsDefaultNetwork(const std::string& network);
    bool setAsDefaultNetwork();
    // Asks the unit to re-initialise an interface; resets this controller
    // afterwards when it is its own interface and resetSelf is set.
    bool reinit(const std::string& network, bool resetSelf);

signals:
    void controllerParamChanged(TComController* controller, int index);

protected:
    // Every group travels with "target" "network" and the interface name.
    bool sendValues(int group, const ValueMap& values) override;
    int fetchValues(int group, const std::vector<std::string>& keys, ValueMap& values,
                    ValueMap& errors) override;
    void paramChanged(int index) override;
    // A PARAM request with "target" "network" and, when asked for, the name.
    TCommand networkRequest(bool withNetwork) const;

private:

    std::string m_network;
};
