#include "model/tcombaseconnection.h"

#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"
#include "model/tcomrequesthelper.h"

TComBaseConnection::TComBaseConnection(zel::CCom* session, int kind)
    : m_requests(session)
    , m_kind(kind)
{
}

TComBaseConnection::~TComBaseConnection() = default;

void TComBaseConnection::attach(TComDevice* device)
{
    m_listener = device;
}

void TComBaseConnection::detach(TComDevice*)
{
    m_listener = nullptr;
}

void TComBaseConnection::reset()
{
    m_id = -1;
    m_network.clear();
}

bool TComBaseConnection::exchange(const TCommand& request, Reply& reply, int* error) const
{
    TComRequestHelper helper = m_requests;
    const bool ok = helper.call(request, reply, 5000);
    if (error)
        *error = ok ? 0 : errorCodeFromText(helper.lastError());
    return ok;
}

bool TComBaseConnection::requestDisconnect() const
{
    TCommand request(TCommand::Do);
    request.setParam(wire::key::action(), wire::action::dcon());
    request.setParam(wire::key::network(), m_network);
    request.setParam(wire::key::id(), toString(m_id));
    Reply reply;
    return exchange(request, reply);
}

int TComBaseConnection::idFromText(const std::string& text)
{
    return text.empty() ? -1 : fromString<int>(text);
}
