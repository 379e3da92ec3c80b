#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the simulated board needs to know of one flash device of the
// catalogue: data width, size, page size, algorithm codes and sector starts.
struct CSimFlashGeometry {
    std::string name;
    uint32_t deviceWidth = 0;      // bytes: 1, 2 or 4
    uint32_t size = 0;             // bytes
    uint32_t pageSize = 0;         // 256 for page-write devices, else 0
    uint32_t programAlgorithm = 0;
    uint32_t eraseAlgorithm = 0;   // 0: the device has no separate erase
    std::vector<uint32_t> sectorStarts; // device byte offsets, ascending, from 0

    // Sector holding device byte `offset` (which must lie below the size).
    int SectorOf(uint32_t offset) const;
    uint32_t SectorStart(int sector) const { return sectorStarts[sector]; }
    uint32_t SectorEnd(int sector) const;
};

// Looks a device up by its exact catalogue name; false when it is unknown.
bool LookupSimFlashGeometry(const std::string& name, CSimFlashGeometry& out);
