#pragma once

#include "sim/sim_flash_device.h"

// The flash of a microcontroller (MAC71xx, LPC2000, STR71x, ADuC7000,
// ST30F77x, AT91SAM7S). The bus sees it as read-only memory: writes are
// ignored. The probe's firmware programs it in place and erases it through
// an erase job that runs for the board's erase time.
class CSimFlashOnChip final : public CSimFlashDevice {
public:
    using CSimFlashDevice::CSimFlashDevice;

    void WriteCycle(uint32_t, uint32_t) override {}
    uint32_t ReadCycle(uint32_t offset) override { return ArrayWord(offset); }

    // Starts erasing `sectors` (all sectors when empty). The contents change
    // at once; the job's state follows the clock.
    void BeginErase(const std::vector<int>& sectors);

    enum class EJobState { Idle, Busy, Done, Failed };
    // State of the last erase job; for a failed job `failedSector` is the
    // first sector that failed, for a finished one `micros` its duration.
    EJobState EraseState(int& failedSector, uint64_t& micros);

private:
    bool started_ = false;
    EEraseResult result_ = EEraseResult::Done;
    int failedSector_ = -1;
    uint64_t end_ = 0;
    uint64_t duration_ = 0;
};
