#include "link/frontpanelcom.h"

#include "link/ccom.h"

zel::CCom* frontPanelCom()
{
    // Function-local static: thread-safe first construction, destroyed at exit.
    static zel::CCom session(nullptr);
    return &session;
}
