#pragma once

#include "flash/erase_plan.h"
#include "flash/erase_poll_bus.h"

#include <cstdint>
#include <string>

// The Intel block erase (algorithm families IntelBlock and IntelBank0):
// Block Erase (0x20, 0xD0) per sector under the lane mask, the status
// register polled until ready, then Clear Status (0x50) and Read Array.
class CIntelErase {
public:
    // The passes, sector by sector (erase all selects every sector); IntelBank0
    // uses 16-bit cycles and bank 0's selection for every bank. False with
    // `error` for a bus the family cannot drive.
    static bool Plan(const SEraseTarget& target, uint32_t bankSize, CErasePlan& plan, std::string& error);

    // Polls one pass's status register: done when every lane is ready,
    // failed when a ready lane shows an error bit.
    static EPollOutcome Poll(const CErasePlan& plan, const SErasePass& pass, uint64_t startMs, CErasePollBus& bus,
                             int& status);

    // The lane mask: on each bus byte that carries a device's low byte, 0xFF.
    static uint32_t LaneMask(uint32_t busWidthBytes, uint32_t deviceWidth);
};
