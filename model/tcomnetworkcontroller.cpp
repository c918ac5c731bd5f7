#include "model/tcomnetworkcontroller.h"

#include "link/protocolkeys.h"

namespace {
constexpr int kTimeoutMs = 5000;
}

TComNetworkController::TComNetworkController(zel::CCom* session, int type)
    : TComController(session, type)
{
}

TCommand TComNetworkController::networkRequest(bool withNetwork) const
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::network());
    if (withNetwork)
        request.setParam(wire::key::network(), m_network);
    return request;
}

bool TComNetworkController::setParam(const std::string& key, const std::string& value, bool withNetwork)
{
    return setParams({{key, value}}, withNetwork);
}

bool TComNetworkController::setParams(const ValueMap& values, bool withNetwork, int timeoutMs)
{
    TCommand request = networkRequest(withNetwork);
    for (const auto& p : values)
        request.setParam(p.first, p.second);
    return helper.setParams(request, timeoutMs) == static_cast<int>(request.params.size());
}

bool TComNetworkController::getParam(const std::string& key, std::string& value, bool withNetwork)
{
    TCommand request = networkRequest(withNetwork);
    request.addGet(key);
    return helper.getValue(request, value, kTimeoutMs);
}

int TComNetworkController::getParams(const std::vector<std::string>& keys, ValueMap& values,
                                     ValueMap& errors, bool withNetwork)
{
    TCommand request = networkRequest(withNetwork);
    for (const std::string& key : keys)
        request.addGet(key);
    return helper.getParams(request, values, errors, kTimeoutMs);
}

bool TComNetworkController::getList(const std::string& key, std::vector<std::string>& items, bool withNetwork)
{
    TCommand request = networkRequest(withNetwork);
    request.addList(key);
    return helper.getList(request, items, kTimeoutMs);
}

bool TComNetworkController::sendValues(int, const ValueMap& values)
{
    return setParams(values, true);
}

int TComNetworkController::fetchValues(int, const std::vector<std::string>& keys, ValueMap& values,
                                       ValueMap& errors)
{
    return getParams(keys, values, errors, true);
}

void TComNetworkController::paramChanged(int index)
{
    emit controllerParamChanged(this, index);
}

bool TComNetworkController::setAsDefaultNetwork(const std::string& network)
{
    // One word on the wire: the key and the event share it.
    return !network.empty() && setParam(wire::event::defaultNetwork(), network, false);
}

bool TComNetworkController::setAsDefaultNetwork()
{
    if (state() == Unloaded || m_network.empty())
        return false;
    return setAsDefaultNetwork(m_network);
}

bool TComNetworkController::reinit(const std::string& network, bool resetSelf)
{
    if (network.empty())
        return false;
    TCommand request(TCommand::Do);
    request.setParam(wire::key::action(), wire::action::reinit());
    request.setParam(wire::key::target(), wire::target::network());
    request.setParam(wire::key::network(), network);
    if (!helper.send(request, kTimeoutMs))
        return false;
    if (resetSelf && network == m_network)
        reset();
    return true;
}

bool TComNetworkController::attach(const std::string& network, unsigned flags, bool makeDefault)
{
    if (network.empty())
        return false;
    if (state() != Unloaded)
        reset();
    if (makeDefault && !setAsDefaultNetwork(network))
        return false;
    m_network = network;
    const bool wasBlocked = blockSignals(true);
    const bool loaded = !(flags & 1u) || refresh();
    blockSignals(wasBlocked);
    if (!loaded)
        return false;
    setState(Attached);
    return true;
}
