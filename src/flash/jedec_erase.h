#pragma once

#include "flash/erase_plan.h"
#include "flash/erase_poll_bus.h"

#include <cstdint>
#include <string>

// The JEDEC erase (algorithm families JedecX8, JedecByteWord, JedecX16X32):
// the unlock cycles at the family's unlock addresses, sector erase (0x30) or
// chip erase (0x10), and the data polling of DQ7/DQ5 until the cells read as
// all ones.
class CJedecErase {
public:
    // The passes: with erase all one whole-chip pass per bank, else one pass
    // per selected sector. False with `error` for a device width the family
    // does not define.
    static bool Plan(const SEraseTarget& target, uint32_t bankSize, CErasePlan& plan, std::string& error);

    // Polls one pass: done when the address reads all ones; with the
    // failure-bit rule, failed when a lane that showed DQ5 still does not.
    static EPollOutcome Poll(const CErasePlan& plan, const SErasePass& pass, uint64_t startMs, CErasePollBus& bus,
                             int& status);

    // Whether some device lane that showed DQ5 in `previous` reads other
    // than all ones in `current`.
    static bool LaneFailed(uint32_t previous, uint32_t current, uint32_t laneWidth, uint32_t busWidth);

    // Device byte offsets of the family's unlock addresses for a device
    // width (before multiplying by the lanes); false for a width the family
    // does not define.
    static bool UnlockOffsets(EEraseFamily family, uint32_t deviceWidth, uint32_t& u1, uint32_t& u2);
};
