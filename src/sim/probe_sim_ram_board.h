#pragma once

#include "sim/sim_board.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

// A board of plain RAM regions for the simulated probe. Its flash algorithm
// treats RAM like flash: programming ANDs the bytes in, so bits only go from
// 1 to 0 and a byte that needs a 0 turned back into 1 fails; verify compares.
// The on-chip erase sets bytes back to 0xFF: mode 0 the whole region holding
// p2, mode 1 the 4 KiB block holding p2.
class CProbeSimRamBoard final : public CSimBoard {
public:
    static constexpr uint32_t kEraseBlock = 4096;
    static constexpr uint32_t kWorkspaceSize = 2048;
    // The logs of register and bus writes keep at most this many entries.
    static constexpr size_t kMaxLog = 65536;

    // Adds a region of `size` bytes at `base`, every byte `fill`. Regions
    // must not overlap (an overlapping one is refused: false).
    bool AddRegion(uint32_t base, uint32_t size, uint8_t fill);

    bool BusRead(uint32_t address, int widthBytes, uint32_t& value) override;
    bool BusWrite(uint32_t address, int widthBytes, uint32_t value) override;
    void WriteRegister(uint16_t regClass, uint16_t number, uint32_t value) override;
    // Algorithm 0 ends the session, 1 selects verify, any other programming.
    // Programming needs a bus width of 1, 2 or 4 (else status 4) and, when p2
    // names a workspace (not 0xFFFFFFFF), 2 KiB of RAM there (else status 3).
    int FlashSetup(uint8_t algorithm, uint8_t busWidth, uint32_t p1, uint32_t p2, uint32_t p3) override;
    int FlashProgram(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress) override;
    int FlashErase(uint8_t algorithm, uint8_t mode, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4) override;
    void FlashEraseStatus(uint8_t& state, uint32_t& value) override;

    // For tests: bytes as they are now (false when any lies outside RAM).
    bool Peek(uint32_t address, uint32_t length, std::vector<uint8_t>& bytes) const;
    bool Poke(uint32_t address, const std::vector<uint8_t>& bytes);
    // Register writes in order: {class, number} and value.
    const std::vector<std::pair<std::pair<uint16_t, uint16_t>, uint32_t>>& Registers() const { return registers_; }
    // Bus writes in order: address, width, value.
    struct SWrite {
        uint32_t address;
        int width;
        uint32_t value;
    };
    const std::vector<SWrite>& Writes() const { return writes_; }
    void ClearLog();

private:
    enum class ESession { None, Program, Verify };

    // The byte at `address`, or null outside RAM.
    uint8_t* At(uint32_t address);
    const uint8_t* At(uint32_t address) const;
    // The region holding `address`: its base and bytes, or null.
    std::pair<const uint32_t, std::vector<uint8_t>>* RegionOf(uint32_t address);

    std::map<uint32_t, std::vector<uint8_t>> regions_;
    ESession session_ = ESession::None;
    uint8_t eraseState_ = 0;
    uint32_t eraseValue_ = 0;
    std::vector<std::pair<std::pair<uint16_t, uint16_t>, uint32_t>> registers_;
    std::vector<SWrite> writes_;
};
