#pragma once

#include <cstdint>

// The connected unit's firmware version, packed major << 16 | minor << 8 | patch.
// 0xFFFFFF until a login has read the unit's version; only the login writes it.
extern std::uint32_t unitFirmwareVersion;
