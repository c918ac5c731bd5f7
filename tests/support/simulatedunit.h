#pragma once

#include "link/ccom.h"
#include "tests/support/firmwareword.h"
#include "tests/support/unitsimulator.h"

#include <QRegularExpression>

// The real session connected to the simulated unit over loopback. Requests
// that no rule takes are refused at once, so a missing rule fails quickly
// and a request sent where none should be makes its operation fail.
struct SimulatedUnit
{
    SimulatedUnit() { unit.setDefaultActions({UnitSimulator::errorReply(204)}); }

    bool start()
    {
        return unit.listen() && com.connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0)
            && unit.waitUntil([this] { return com.state() == RpcConnection::ConnectedState; });
    }
    // The unit answers exactly this request, once.
    void expect(const QByteArray& request, const QByteArray& reply = "PARAM;return:OK;")
    {
        unit.onRequest(request, {UnitSimulator::reply(reply)}, 1);
    }
    // The unit refuses the next request the pattern matches.
    void refuse(const char* pattern)
    {
        unit.onRequestMatching(QRegularExpression(pattern), {UnitSimulator::errorReply(117)}, 1);
    }
    QByteArrayList bodies() const { return unit.requestBodies(); }

    UnitSimulator unit;
    zel::CCom com; // declared last: goes before the unit it talks to
};
