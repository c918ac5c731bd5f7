#include "model/tcombaseconnection.h"

TComBaseConnection::TComBaseConnection(zel::CCom* session, int kind)
    : m_session(session)
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
