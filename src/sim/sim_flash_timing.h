#pragma once

#include <cstdint>

// How long a flash device is busy, in microseconds. Zero means done at once.
struct CSimFlashTiming {
    uint64_t sectorEraseMicros = 0;   // one sector (JEDEC 80/30, Intel block, on-chip sector)
    uint64_t chipEraseMicros = 0;     // the whole device (JEDEC 80/10, on-chip mass erase)
    uint64_t programMicrosPerByte = 0; // per byte written (a x16 word takes twice as long)
};
