#pragma once

#include "sim/sim_flash_device.h"

#include <array>
#include <bitset>

// A page-write chip with software data protection (AT29 rows):
//   AA@5555 55@2AAA A0@5555 (device word addresses, bits 14..0 decoded),
//   then up to 256 bytes of one page.
// The load ends with the first read of the chip; the page is then written
// whole: loaded bytes take their new values (0 bits may become 1: the chip
// erases the page itself) and bytes not loaded become 0xFF. While the page is
// written, reads answer DQ7 as the complement of the last byte loaded and
// toggle DQ6. Writes without the unlock cycles are ignored.
class CSimFlashPageWrite final : public CSimFlashDevice {
public:
    static constexpr uint32_t kPageSize = 256;

    CSimFlashPageWrite(const CSimFlashGeometry& geometry, const CSimFlashTiming& timing, CClock& clock);

    void WriteCycle(uint32_t offset, uint32_t value) override;
    uint32_t ReadCycle(uint32_t offset) override;

private:
    enum class EState { Read, Unlock1, Unlock2, Load, Busy };

    int Decode(uint32_t offset) const;

    uint32_t shift_;
    EState state_ = EState::Read;
    int64_t page_ = -1;
    std::array<uint8_t, kPageSize> buffer_{};
    std::bitset<kPageSize> loaded_;
    uint8_t last7_ = 0;
    uint64_t end_ = 0;
    bool toggle_ = false;
};
