#pragma once

#include "flash/sector_cover.h"

#include <cstdint>
#include <string>
#include <vector>

class CProbeLibrary;

// One erase block region of a CFI table: `count` blocks of `size` bytes.
struct SFlashEraseRegion {
    uint32_t count = 0;
    uint32_t size = 0;

    bool operator==(const SFlashEraseRegion&) const = default;
};

// What the flash of one bank said about itself.
struct SFlashIdentity {
    uint32_t bank = 0;
    uint32_t bankStart = 0;

    // Autoselect (JEDEC) or read identifier (Intel): the codes of the first
    // device; `codesRead` is false when the reads gave only the array back.
    bool codesRead = false;
    uint16_t manufacturer = 0;
    uint32_t device = 0;

    // The CFI query: "QRY" seen, and what the table says. `devices` is how
    // many devices answered side by side across the bus, each `deviceWidth`
    // bytes wide; `lanesAgree` is false when they answered differently.
    bool cfi = false;
    bool lanesAgree = true;
    uint32_t devices = 0;
    uint32_t deviceWidth = 0;
    uint16_t commandSet = 0;  // 0x0002 AMD/Fujitsu, 0x0001 / 0x0003 Intel, ...
    uint32_t deviceSize = 0;  // bytes, one device
    uint16_t interface = 0;   // 0 x8, 1 x16, 2 x8/x16, 3 x32, 5 x16/x32
    // The erase block regions in address order (a top-boot JEDEC chip's
    // list, which it gives from the small blocks up, already turned round).
    std::vector<SFlashEraseRegion> regions;
    // From the JEDEC extended table: 2 bottom boot, 3 top boot, 0 not said.
    uint8_t bootFlag = 0;
    // The table is not one a chip gives: its regions do not add up to its
    // size, a size or region count out of range.
    bool garbled = false;

    // After the reads the bank's first words read as before them.
    bool backInReadMode = true;

    // The start of every sector in device bytes, ascending, from the regions.
    std::vector<uint32_t> SectorStarts() const;
    // True when the CFI table was read and makes sense.
    bool Usable() const { return cfi && !garbled && lanesAgree; }
};

// The identity of the flash of every bank, read through bus cycles of the
// project's bus width at each bank's start: the JEDEC codes (autoselect,
// or Intel's read identifier) and the CFI query, each followed by the reset
// command of the family (F0 for JEDEC chips, FF for Intel chips) so that the
// chip reads its array again. Commands go to every byte lane, so devices
// side by side answer together whatever their count.
class CFlashIdentify {
public:
    enum class EOutcome {
        Read,         // every bank was read (each bank's cfi says whether it answered)
        Unsupported,  // the family has no identity to read (on-chip flash, page-write chips)
        LibraryError, // a bus access failed: `status`
    };

    // Whether the device's family can be asked at all; false with the reason.
    static bool Supported(const SFlashDevice& device, std::string& why);

    // Reads every bank of `array`. Without a device (array.device nullptr)
    // bank 0 alone is read, the query tried at every address step and the
    // codes asked in the family the CFI table names.
    static EOutcome Read(CProbeLibrary& library, const SFlashArray& array, std::vector<SFlashIdentity>& banks,
                         int& status);
};
