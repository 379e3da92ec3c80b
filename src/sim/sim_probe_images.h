#pragma once

#include <cstdint>
#include <string>

// Firmware images and JEDEC logic files of our own making for the simulated
// probe: the demo's and the tests' sample files. Their contents are made up
// (a deterministic pattern per version); they carry what the simulated
// loader looks at: the firmware header ("QX7ARMFW" and the version) at the
// start of the firmware area, and a fuse map of 134 rows of 240 fuses.
class CSimProbeImages {
public:
    // Firmware image as S3 records of 64 data bytes, with an S0 header and an
    // S7 end record; data at 0x0100C000 (the header first) and behind the
    // start marker's word at 0x01040004.
    static std::string FirmwareImage(uint16_t version);
    // A JEDEC file whose fuse map has four 60-character lines per row.
    static std::string JedecFile(uint16_t version);
    // Row `row` of that file's fuse map.
    static std::string FuseRow(uint16_t version, int row);
};
