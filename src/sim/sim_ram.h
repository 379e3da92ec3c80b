#pragma once

#include "sim/sim_board_store.h"

#include <cstdint>

// A RAM region of the board: any access width at any alignment, little-endian
// byte lanes, contents 0x00 at power-up.
class CSimRam {
public:
    CSimRam(uint32_t base, uint64_t size) : base_(base), store_(size, 0x00) {}

    uint32_t Base() const { return base_; }
    uint64_t Size() const { return store_.Size(); }

    // `offset` from the base; the caller has checked that the access fits.
    uint32_t Read(uint64_t offset, int widthBytes) const { return store_.GetWord(offset, widthBytes); }
    void Write(uint64_t offset, int widthBytes, uint32_t value) { store_.SetWord(offset, widthBytes, value); }

private:
    uint32_t base_;
    CSimBoardStore store_;
};
