#include "model/unitfirmware.h"

std::uint32_t unitFirmwareVersion = 0xFFFFFF;
