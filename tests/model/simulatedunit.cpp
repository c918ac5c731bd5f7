#include "simulatedunit.h"

SimulatedUnit::SimulatedUnit()
    : m_unit(new UnitSimulator)
    , m_com(new zel::CCom)
{
    m_unit->setDefaultActions({UnitSimulator::errorReply(204)});
}

SimulatedUnit::~SimulatedUnit()
{
    m_com.reset();
    m_unit.reset();
}

bool SimulatedUnit::start()
{
    if (!m_unit->listen())
        return false;
    if (!m_com->connectToUnit(QStringLiteral("127.0.0.1"), m_unit->port(), 0))
        return false;
    return m_unit->waitUntil([this] { return m_com->state() == RpcConnection::ConnectedState; });
}

void SimulatedUnit::expect(const QByteArray& request, const QByteArray& reply, int times)
{
    m_unit->onRequest(request, {UnitSimulator::reply(reply)}, times);
}

QByteArrayList SimulatedUnit::bodies() const
{
    QByteArrayList out;
    for (const SimFrame& f : m_unit->requests())
        out.append(f.body);
    return out;
}
