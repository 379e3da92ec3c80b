#pragma once

#include <cstdint>
#include <string>

// A version of one of the probe's components (loader, firmware, logic): an
// unsigned 16-bit number of which only 1 to 255 are valid.
class CProbeVersion {
public:
    static bool IsValid(uint16_t version) { return version >= 1 && version <= 255; }
    // The display text: hundreds digit, point, two lower digits (113 gives
    // "1.13", 7 gives "0.07"); 0 and 256 or more give "unknown".
    static std::string Text(uint16_t version);
    // The three-digit form used in file names and the logic signature: "113",
    // "007"; "000" for any invalid value.
    static std::string ThreeDigits(uint16_t version);
};
