#include "model/tcomcontroller.h"

#include "link/tcommand.h"
#include "link/valuetext.h"

TComController::TComController(zel::CCom* session, int type)
    : helper(session)
    , m_type(type)
{
}

void TComController::setState(int state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit controllerStateChanged(this);
}

void TComController::reset()
{
    setState(Unloaded);
}

bool TComController::handleInfo(const TCommand&)
{
    return false;
}

bool TComController::handleEvent(const TCommand&)
{
    return false;
}

int controllerStateFromCause(int cause)
{
    switch (cause) {
    case 0:
        return TComController::Ready;
    case 10:
        return TComController::SimMissing;
    case 11:
    case 124:
        return TComController::SimLocked;
    case 15:
        return TComController::NotAllowed;
    case 122:
        return TComController::PinRequired;
    case 123:
        return TComController::NotRegistered;
    default:
        return TComController::Attached;
    }
}

int controllerStateFromReply(const std::string& cause)
{
    const int code = errorCodeFromText(cause);
    return code == 200 ? TComController::Ready : controllerStateFromCause(code);
}
