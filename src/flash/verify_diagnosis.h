#pragma once

#include "flash/sector_cover.h"

#include <cstdint>
#include <string>
#include <vector>

// One byte where target flash differs from the image.
struct SByteDifference {
    uint32_t address = 0;
    uint8_t imageByte = 0;
    uint8_t targetByte = 0;
};

// What a failed verify found when the target was read back from its first
// failing address to the end of the range: how many bytes differ, the first
// of them, which way the bits are wrong (a bit reading 0 where the image has
// 1 points at an erase problem, a bit reading 1 where the image has 0 at a
// programming problem), and the sectors the differences lie in.
struct SVerifyDiagnosis {
    static constexpr size_t kListed = 16; // differences listed one by one

    uint32_t from = 0;       // first address read back
    uint64_t bytesRead = 0;  // bytes read back from `from` on
    uint64_t rangeBytes = 0; // bytes the read back should have covered
    uint64_t differingBytes = 0;
    std::vector<SByteDifference> first; // the first kListed differences, in address order
    uint64_t bitsReadZero = 0;          // image 1, target 0
    uint64_t bitsReadOne = 0;           // image 0, target 1
    std::vector<SFlashSector> sectors;  // sectors holding a difference, in address order
    std::string stoppedBy;              // why the read back ended early; empty when it covered the range

    [[nodiscard]] bool Complete() const { return stoppedBy.empty(); }

    // Compares `length` bytes read back at `address` with the image's bytes;
    // `flash` lists the array's sectors in address order (empty: none known).
    void Add(uint32_t address, const uint8_t* image, const uint8_t* target, uint32_t length,
             const std::vector<SFlashSector>& flash);

    // The findings as lines of text, for a log or a failure box's details.
    [[nodiscard]] std::string Text() const;
};
