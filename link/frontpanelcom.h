#ifndef FRONTPANELCOM_H
#define FRONTPANELCOM_H

namespace zel {
class CCom;
}

// The process-wide session with the unit: made without parent on the first
// call, destroyed at program exit. Every layer reaches the unit through it.
zel::CCom* frontPanelCom();

#endif // FRONTPANELCOM_H
