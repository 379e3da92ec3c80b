#pragma once

#include "sim/sim_flash_device.h"

// A chip with the Intel command set (also the STR91xF flash):
//   20 then D0 at an address in the block   block erase (20 then anything else:
//                                           command sequence error, status bits 4 and 5)
//   40 or 10, then the data at its address  program one word
//   50 clear status, 70 read status, FF read array
//   90 read identifier (manufacturer code at query address 0, device code at 1)
//   98 CFI query (reads answer the CFI table; a chip without CFI ignores it)
// Commands are taken from the low byte. After a program or erase command the
// chip answers reads with its status register until FF: bit 7 ready, bit 5
// erase error, bit 4 program error (bits 3 and 6 stay 0). Error bits stay set
// until 50. While busy, bit 7 is 0 and writes are ignored, except that FF
// abandons an erase that never finishes. Query addresses count device words
// (on a x8/x16 chip in byte mode both bytes of a word read the query byte).
class CSimFlashIntel final : public CSimFlashDevice {
public:
    CSimFlashIntel(const CSimFlashGeometry& geometry, const CSimFlashTiming& timing, CClock& clock);

    void WriteCycle(uint32_t offset, uint32_t value) override;
    uint32_t ReadCycle(uint32_t offset) override;

private:
    enum class EMode { Array, Status, EraseSetup, ProgramSetup, Busy, Identifier, Query };

    void Settle();
    uint32_t IdentityRead(uint32_t offset) const;

    EMode mode_ = EMode::Array;
    uint8_t status_ = 0x80;
    bool erasing_ = false;
    uint64_t end_ = 0;
    bool fails_ = false;
    bool hangs_ = false;
    uint32_t queryShift_ = 0;
};
