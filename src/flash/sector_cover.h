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

// Replaces `map`'s selection (re-dimensioned to banks x sectors) by the
// sectors the ranges touch; answers how many were selected.
int SelectSectorsTouching(const SFlashArray& array, const std::vector<CMemoryRange>& ranges, CEraseMap& map);
