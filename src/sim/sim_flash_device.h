#pragma once

#include "common/clock.h"
#include "sim/sim_board_store.h"
#include "sim/sim_flash_geometry.h"
#include "sim/sim_flash_identity.h"
#include "sim/sim_flash_timing.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

// One flash chip (or a microcontroller's flash block): its cells, its faults
// and the bus cycles that reach it. Subclasses model the command sets.
//
// Cells start erased (all ones). Programming only turns 1 bits into 0 bits
// (page-write devices excepted, which rewrite a whole page). A stuck bit
// reads its stuck value whatever is written or erased; an operation whose
// result differs from what was asked for fails the way the command set
// reports failures. Contents change when an operation starts; while it runs
// the device answers with its status instead of the cells.
class CSimFlashDevice {
public:
    CSimFlashDevice(const CSimFlashGeometry& geometry, const CSimFlashTiming& timing, CClock& clock);
    virtual ~CSimFlashDevice() = default;
    CSimFlashDevice(const CSimFlashDevice&) = delete;
    CSimFlashDevice& operator=(const CSimFlashDevice&) = delete;

    const CSimFlashGeometry& Geometry() const { return geometry_; }
    uint32_t Width() const { return geometry_.deviceWidth; }
    uint32_t Size() const { return geometry_.size; }

    // One bus cycle that reaches this device. `offset` is the device byte
    // address of the device word (a multiple of the width); the value holds
    // the device word in its low Width() bytes (bytes the bus did not drive
    // are 0xFF). Commands are taken from the low byte (DQ7..DQ0).
    virtual void WriteCycle(uint32_t offset, uint32_t value) = 0;
    virtual uint32_t ReadCycle(uint32_t offset) = 0;

    // Faults. A sector with an erase failure keeps its contents and the
    // erase reports failure; one with a hang never finishes an erase (the
    // command set's reset or read-array command abandons it).
    void SetEraseFailure(int sector) { eraseFailures_.insert(sector); }
    void SetEraseHang(int sector) { eraseHangs_.insert(sector); }
    void SetStuckBit(uint32_t offset, int bit, int value);
    void ClearFaults();

    // How long programming `bytes` bytes takes.
    uint64_t ProgramMicros(uint32_t bytes) const { return timing_.programMicrosPerByte * bytes; }

    // The codes and the CFI table the chip answers with (command sets that
    // have them); an empty table: the chip does not answer the CFI query.
    void SetIdentity(const CSimFlashIdentity& identity, std::vector<uint8_t> cfiTable)
    {
        identity_ = identity;
        cfiTable_ = identity.cfi ? std::move(cfiTable) : std::vector<uint8_t>{};
    }
    const CSimFlashIdentity& Identity() const { return identity_; }

    // The cells, whatever the device's state (no bus cycle).
    uint8_t Peek(uint32_t offset) const { return store_.Get(offset); }

    enum class EEraseResult { Done, Failed, Hangs };

    // Erases the given sectors (all of them when `sectors` is empty). With a
    // hang nothing changes; a sector that fails keeps its contents or, with a
    // bit stuck at 0, reads that bit as 0. `failedSector` is the first sector
    // that failed or hangs.
    EEraseResult EraseSectors(const std::vector<int>& sectors, int& failedSector);
    // Programs bytes in place, 1 bits to 0 only. True when every byte then
    // reads as asked; otherwise `failOffset` is the first byte that does not.
    bool ProgramBytes(uint32_t offset, const uint8_t* data, uint32_t length, uint32_t& failOffset);

protected:
    uint32_t ArrayWord(uint32_t offset) const { return store_.GetWord(offset, int(Width())); }
    // Programs one device word; true when it then reads `data`.
    bool ProgramWord(uint32_t offset, uint32_t data);
    // Replaces bytes outright (page writes); true when they then read as written.
    bool ReplaceBytes(uint32_t offset, const uint8_t* data, uint32_t length);
    uint64_t Now() { return clock_.NowMicros(); }
    // When an operation of `micros` started now ends, and whether such an end
    // has come. An operation that takes no time ends at 0, which has always
    // come: a board without program or erase times never reads the clock.
    uint64_t EndAfter(uint64_t micros) { return micros == 0 ? 0 : Now() + micros; }
    bool Over(uint64_t end) { return end == 0 || Now() >= end; }
    uint64_t EraseMicros(const std::vector<int>& sectors) const;

    // Byte `index` of the CFI table; 0 beyond its end.
    uint8_t CfiByte(uint32_t index) const { return index < cfiTable_.size() ? cfiTable_[index] : 0; }
    bool AnswersCfi() const { return !cfiTable_.empty(); }

    CSimFlashTiming timing_;
    CClock& clock_;
    CSimFlashIdentity identity_;
    std::vector<uint8_t> cfiTable_;

private:
    uint8_t ApplyStuck(uint32_t offset, uint8_t value) const;

    CSimFlashGeometry geometry_;
    CSimBoardStore store_;
    std::map<uint32_t, std::pair<uint8_t, uint8_t>> stuck_; // offset -> {mask, value}
    std::set<int> eraseFailures_;
    std::set<int> eraseHangs_;
};
