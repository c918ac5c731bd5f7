#include "model/tcomdataconnection.h"

#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"
#include "model/tcomdevice.h"
#include "model/tcomrequesthelper.h"

namespace {

// The unit's word for a data link over the interface.
const char* linkMode(const std::string& network)
{
    return interfaceClassFromName(network) == 0x400 ? "wifi" : "data";
}

} // namespace

TComDataConnection::TComDataConnection(zel::CCom* session)
    : TComBaseConnection(session, Data)
{
}

void TComDataConnection::reset()
{
    TComBaseConnection::reset();
    setState(Idle);
}

void TComDataConnection::setState(int state)
{
    if (state == m_state)
        return;
    m_state = state;
    if (m_listener)
        m_listener->notifyDataConnectionStateChanged(this);
}

bool TComDataConnection::start(int id, const std::string& network, int state)
{
    if (m_state != Idle)
        return false;
    m_id = id;
    m_network = network;
    setState(state);
    return true;
}

bool TComDataConnection::handleEvent(const TCommand& event)
{
    const std::string& type = *event.param(wire::key::eventType(), true);
    const std::string& id = *event.param(wire::key::id(), true);
    const std::string& network = *event.param(wire::key::network(), true);
    if (type.empty() || id.empty() || network.empty() || fromString<int>(id) != m_id || network != m_network)
        return false;
    if (type == wire::event::dataConnected())
        setState(Connected);
    else if (type == wire::event::dataDisconnected())
        setState(Disconnected);
    else
        return false;
    return true;
}

bool TComDataConnection::connect(const std::string& network)
{
    if (!m_requests.canRequest() || m_state != Idle)
        return false;
    TCommand request(TCommand::Do);
    request.setParam(wire::key::action(), wire::action::con());
    request.setParam(wire::key::commLink(), "data");
    request.setParam(wire::key::mode(), linkMode(network));
    request.setParam(wire::key::network(), network);
    Reply reply;
    if (!exchange(request, reply))
        return false;
    m_id = idFromText(reply[wire::key::id()]);
    m_network = network;
    setState(Connecting);
    return true;
}

bool TComDataConnection::disconnect()
{
    if (!m_requests.canRequest() || (m_state != Connecting && m_state != Connected))
        return false;
    if (!requestDisconnect())
        return false;
    setState(Disconnecting);
    return true;
}

int TComDataConnection::queryId(const std::string& network)
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::network());
    request.setParam(wire::key::network(), network);
    request.setParam(wire::key::mode(), linkMode(network));
    request.addGet(wire::key::id());
    std::string id;
    TComRequestHelper helper = m_requests;
    return helper.getValue(request, id, 5000) ? idFromText(id) : -1;
}
