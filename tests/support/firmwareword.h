#pragma once

#include "model/unitfirmware.h"

#include <cstdint>

// The unit's firmware word for one scope.
struct FirmwareWord
{
    explicit FirmwareWord(std::uint32_t word) : saved(unitFirmwareVersion) { unitFirmwareVersion = word; }
    ~FirmwareWord() { unitFirmwareVersion = saved; }
    FirmwareWord(const FirmwareWord&) = delete;
    FirmwareWord& operator=(const FirmwareWord&) = delete;
    std::uint32_t saved;
};
