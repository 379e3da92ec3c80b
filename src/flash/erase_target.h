#pragma once

#include <cstdint>
#include <vector>

class CEraseMap;
struct SFlashDevice;

// What an erase works on, taken from the project and from the selected
// device's catalogue row. A plain value: CErasePlan::Build turns it into the
// walk over the banks without touching a probe.
struct SEraseTarget {
    static constexpr uint32_t kNoWorkspace = 0xFFFFFFFF;
    static constexpr uint32_t kMaxBanks = 16;

    // Erase algorithm code of the device (0: no separate erase).
    uint32_t eraseAlgorithm = 0;
    // Data bus width in bytes (1, 2 or 4) and width of one device in bytes.
    uint32_t busWidthBytes = 0;
    uint32_t deviceWidth = 0;
    uint32_t deviceSizeBytes = 0;
    // Start of each sector in device bytes, ascending from 0; the last sector
    // ends at the device size.
    std::vector<uint32_t> sectorStarts;
    // Banks one after another from the flash base (1 to 16).
    uint32_t banks = 1;
    uint32_t base = 0;
    // Workspace address in target RAM; kNoWorkspace when the project has none.
    uint32_t workspace = kNoWorkspace;
    // Erase everything (Erase All) instead of the selection.
    bool eraseAll = false;
    // selected[bank][sector]: the erase map's selection, copied (banks x
    // sectors of the device); empty rows for an erase-all.
    std::vector<std::vector<bool>> selected;

    bool IsSelected(uint32_t bank, uint32_t sector) const
    {
        return bank < selected.size() && sector < selected[bank].size() && selected[bank][sector];
    }

    // A target for a catalogue device: its erase algorithm, width, size and
    // sector table, with the project's bus width (bytes), banks, flash base,
    // workspace, the erase-all flag and the erase map's selection
    // (IsSectorSelected for every bank and sector of the device).
    static SEraseTarget ForDevice(const SFlashDevice& device, uint32_t busWidthBytes, uint32_t banks, uint32_t base,
                                  uint32_t workspace, bool eraseAll, const CEraseMap& eraseMap);
};
