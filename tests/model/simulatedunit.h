#pragma once

#include "link/ccom.h"
#include "tests/support/unitsimulator.h"

#include <QByteArrayList>

#include <memory>

// The real session connected to the simulated unit over loopback. Requests
// that no rule takes are refused at once, so a missing rule fails quickly.
class SimulatedUnit
{
public:
    SimulatedUnit();
    ~SimulatedUnit();

    bool start();
    zel::CCom* com() { return m_com.get(); }
    UnitSimulator& unit() { return *m_unit; }

    // The unit answers exactly this request with one reply.
    void expect(const QByteArray& request, const QByteArray& reply, int times = -1);
    // Bodies of every request received so far, in order.
    QByteArrayList bodies() const;
    void clear() { m_unit->clearReceived(); }

private:
    std::unique_ptr<UnitSimulator> m_unit;
    std::unique_ptr<zel::CCom> m_com;
};
