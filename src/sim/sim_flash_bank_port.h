#pragma once

#include "sim/sim_flash_array.h"
#include "sim/sim_flash_device.h"

#include <cstdint>
#include <optional>

// A programming call's route onto one bank of a flash array, found once for
// the whole call instead of once per bus cycle: for an array of one device
// as wide as its bus, a bus-wide cycle at a bus address inside the bank goes
// straight to that device's ReadCycle or WriteCycle. The cycles are exactly
// those the board would pass on (same device offset, same word), so the
// device's state machine, faults and times see no difference; what is saved
// is the board's region look-up and the array's lane handling.
class CSimFlashBankPort {
public:
    // The port for cycles of `busBytes` at bus addresses [first, last] (both
    // aligned to the bus) of `array`; none unless the array has one device
    // per bank, `busBytes` is its bus width and both addresses lie in one bank.
    static std::optional<CSimFlashBankPort> Open(CSimFlashArray& array, uint32_t busBytes, uint32_t first,
                                                 uint32_t last);

    // A bus cycle at a bus address inside the bank, aligned to the bus.
    bool Read(uint32_t address, uint32_t& value)
    {
        value = device_->ReadCycle(DeviceOffset(address)) & mask_;
        return true;
    }
    bool Write(uint32_t address, uint32_t value)
    {
        device_->WriteCycle(DeviceOffset(address), value & mask_);
        return true;
    }

private:
    CSimFlashBankPort(const CSimFlashArray& array, CSimFlashDevice& device, uint32_t bankBase)
        : array_(&array), device_(&device), bankBase_(bankBase), mask_(array.WordMask())
    {
    }
    uint32_t DeviceOffset(uint32_t address) const { return array_->DeviceOffset(address - bankBase_); }

    const CSimFlashArray* array_;
    CSimFlashDevice* device_;
    uint32_t bankBase_; // the bus address of the bank's first byte
    uint32_t mask_;
};
