#pragma once

// The probe's firmware area (0x0100C000 up to 0x01100000) as a correct
// update from the simulator's firmware file of a version leaves it: the
// file's records, erased bytes elsewhere and the start marker.

#include "probe/maintenance/firmware_image.h"
#include "sim/sim_probe_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace firmware_area {

constexpr uint32_t kStart = 0x0100C000;
constexpr uint32_t kSize = 0x01100000 - kStart;

inline std::vector<uint8_t> Expected(uint16_t version)
{
    CFirmwareImage image;
    EXPECT_EQ(image.ReadText(CSimProbeImages::FirmwareImage(version)), CFirmwareImage::EResult::Ok);
    std::vector<uint8_t> area(kSize, 0xFF);
    for (const auto& block : image.Blocks())
        std::copy(block.data.begin(), block.data.end(), area.begin() + (block.address - kStart));
    const uint8_t marker[4] = {0xAA, 0x55, 0x55, 0xAA};
    std::copy(marker, marker + 4, area.begin() + (CFirmwareImage::kMarkerAddress - kStart));
    return area;
}

} // namespace firmware_area
