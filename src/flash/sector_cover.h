#pragma once

#include "project/memory_range.h"

#include <cstdint>
#include <vector>

class CEraseMap;
struct SFlashDevice;

// The sectors that address ranges touch, over every bank of a flash array:
// bank k starts at base + k x bank size, sector s of a bank at its start plus
// the sector's bus offset. A sector is touched when any byte of a range lies
// in it.
struct SFlashArray {
    const SFlashDevice* device = nullptr;
    uint32_t base = 0;
    uint32_t busWidthBytes = 1;
    uint32_t banks = 1;
};

// One sector of a flash array by its bus addresses.
struct SFlashSector {
    uint32_t bank = 0;
    uint32_t sector = 0;
    uint32_t start = 0;
    uint64_t size = 0; // bytes on the bus (all lanes)

    [[nodiscard]] bool Holds(uint64_t address) const { return address >= start && address < start + size; }
};

// Every sector of the array, in address order of banks and sectors.
std::vector<SFlashSector> FlashSectors(const SFlashArray& array);
// The sectors that any byte of `ranges` lies in, in address order.
std::vector<SFlashSector> SectorsTouching(const SFlashArray& array, const std::vector<CMemoryRange>& ranges);

// Replaces `map`'s selection (re-dimensioned to banks x sectors) by the
// sectors the ranges touch; answers how many were selected.
int SelectSectorsTouching(const SFlashArray& array, const std::vector<CMemoryRange>& ranges, CEraseMap& map);
