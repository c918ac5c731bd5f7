#ifndef KANDELO_LINK_PROGRAMVERSION_H
#define KANDELO_LINK_PROGRAMVERSION_H

// The program's own version text: shown in the title bar and the about box,
// and the firmware reference a unit's version is compared with at login.
inline constexpr char KandeloVersionText[] = "2.00.0.5197";

#endif
