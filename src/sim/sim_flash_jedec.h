#pragma once

#include "sim/sim_flash_algorithm.h"
#include "sim/sim_flash_device.h"

// A chip with the JEDEC (AMD-style) command set:
//   program       AA@U1 55@U2 A0@U1, then the data at its address
//   chip erase    AA@U1 55@U2 80@U1 AA@U1 55@U2 10@U1
//   sector erase  AA@U1 55@U2 80@U1 AA@U1 55@U2 30@sector
//   reset         F0 (alone or after AA@U1 55@U2)
//   autoselect    AA@U1 55@U2 90@U1: reads answer the manufacturer code at
//                 query address 0, the device code at 1, 0 elsewhere
//   CFI query     98 at query address 0x55 (from read or autoselect mode):
//                 reads answer the CFI table
// A cycle that does not fit the sequence returns the chip to read mode.
// Autoselect and CFI are left only by a reset (F0, or AA 55 F0): other
// writes there are ignored; a reset from a CFI query entered out of
// autoselect goes back to autoselect.
//
// Query addresses count device words: byte addresses on x8 chips, byte
// addresses halved on x8/x16 chips in byte mode (the odd byte reads the high
// half of the word), word addresses on x16 chips, double-word addresses on
// the x16/x32 family.
//
// The chip decodes only its low address lines, as real parts do. Which
// device-internal addresses U1 and U2 are depends on the unlock family:
//   x8 addressing, x8 chip:         byte  address bits 10..0 = 0x555 / 0x2AA
//   byte/word addressing, x8 chip:  byte  address bits 11..0 = 0xAAA / 0x555
//   byte/word addressing, x16 chip: word  address bits 10..0 = 0x555 / 0x2AA
//   x16/x32 addressing:             dword address bits 10..0 = 0x555 / 0x2AA
//                                   (a x16 chip's word address must be even)
// These are what the unlock offsets 0x5555/0x2AAA, 0xAAAA/0x5555,
// 0xAAAA/0x5554, 0x5554/0xAAA8 and 0x15554/0xAAA8 (times the devices side by
// side) hit once the bus address is divided by the lanes.
//
// While busy, reads answer the status: DQ7 the complement of the data being
// programmed (0 while erasing), DQ6 toggling on every read, DQ3 set while
// erasing, DQ5 set once the operation has run its time and failed (chips of
// families without the failure bit just return to read mode instead). After
// a failure the chip stays in the status until a reset command.
class CSimFlashJedec final : public CSimFlashDevice {
public:
    CSimFlashJedec(const CSimFlashGeometry& geometry, const CSimFlashAlgorithm& algorithm,
                   const CSimFlashTiming& timing, CClock& clock);

    void WriteCycle(uint32_t offset, uint32_t value) override;
    uint32_t ReadCycle(uint32_t offset) override;

private:
    enum class EState {
        Read, Unlock1, Unlock2, ProgramData, EraseSetup, EraseUnlock1, EraseUnlock2, Busy, Autoselect, Cfi,
        IdUnlock1, IdUnlock2 // AA, AA 55 in autoselect or CFI mode (a reset may follow)
    };

    // 1 or 2 when `offset` decodes to U1 or U2, else 0.
    int Decode(uint32_t offset) const;
    void StartErase(const std::vector<int>& sectors);
    // Leaves Busy when the operation has ended (and succeeded, or failed on a
    // chip that cannot say so).
    void Settle();
    // Writes in autoselect or CFI mode.
    void IdentityWrite(uint32_t offset, uint8_t c, int a);
    // What a read in autoselect or CFI mode answers.
    uint32_t IdentityRead(uint32_t offset, EState mode) const;
    bool IsCfiEntry(uint32_t offset) const;

    uint32_t shift_;
    uint32_t mask_;
    uint32_t unlock1_;
    uint32_t unlock2_;
    bool failureBit_;
    uint32_t queryShift_; // device byte address -> query address

    EState state_ = EState::Read;
    bool erasing_ = false;
    uint8_t data7_ = 0;
    uint64_t end_ = 0;
    bool fails_ = false;
    bool hangs_ = false;
    bool toggle_ = false;
    EState idMode_ = EState::Autoselect; // the mode an unfinished reset sequence goes back to
    bool cfiFromAutoselect_ = false;
};
