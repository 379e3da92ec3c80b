#pragma once

#include <cstdint>
#include <string>

// The rule by which an IP address text is read: four groups separated by
// ".", each up to three decimal digits (an empty group counts as 0) with a
// value of at most 255. The value holds the groups as bytes, the first group
// most significant.
class CIpText {
public:
    static constexpr uint32_t kInvalid = 0xFFFFFFFF;

    // The value, or kInvalid for a fourth digit in a group, a group above
    // 255, any other character (blanks too), fewer or more than four groups,
    // and for 0.0.0.0. "255.255.255.255" gives kInvalid as well.
    static uint32_t Value(const std::string& text);
    static bool IsValid(const std::string& text) { return Value(text) != kInvalid; }
    // A subnet mask: a valid IP text whose ones stand together from the top
    // (255.255.255.0, 255.255.240.0; not 255.0.255.0).
    static bool IsValidMask(const std::string& text);
};
