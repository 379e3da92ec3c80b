#pragma once

#include "sim/sim_flash_algorithm.h"
#include "sim/sim_flash_geometry.h"

#include <cstdint>
#include <vector>

// What a simulated chip says about itself: the manufacturer and device codes
// of its autoselect (JEDEC) or read-identifier (Intel) mode, and whether it
// answers the CFI query. A board file may give other codes (id=) or a chip
// without CFI (cfi=no).
struct CSimFlashIdentity {
    uint16_t manufacturer = 0;
    uint16_t device = 0;
    bool cfi = true;
};

// Our own codes for a catalogue row: the maker's JEDEC manufacturer code from
// the name's maker (0x00 for an unknown maker) and the row number as the
// device code.
CSimFlashIdentity DefaultSimFlashIdentity(const CSimFlashGeometry& geometry);

// The CFI query table of a chip with this geometry, indexed by query address
// (0x10 holds "Q"): primary command set 0x0002 for JEDEC chips and 0x0001 for
// Intel chips, the device size, the interface, the erase block regions and a
// primary extended table ("PRI"). JEDEC chips with the small sectors at the
// top list their regions from the small ones up and say "top boot" in the
// extended table, as such chips do; every other chip lists them in address
// order. Empty for a geometry that CFI cannot describe (a sector that is not
// a multiple of 256 bytes, a size that is not a power of two).
std::vector<uint8_t> BuildSimCfiTable(const CSimFlashGeometry& geometry, const CSimFlashAlgorithm& algorithm);
