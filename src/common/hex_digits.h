#pragma once

#include <array>
#include <cstdint>

// Table-driven hexadecimal digits for the program file readers and the
// S-record writer, which handle hundreds of MiB of text.
namespace hexdigits {

// Value of a hexadecimal digit (either case), or -1 for any other character.
inline constexpr std::array<int8_t, 256> kValue = [] {
    std::array<int8_t, 256> t{};
    for (auto& v : t)
        v = -1;
    for (int c = '0'; c <= '9'; ++c)
        t[c] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        t[c] = static_cast<int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        t[c] = static_cast<int8_t>(c - 'a' + 10);
    return t;
}();

// The two upper-case digits of every byte value, most significant first.
inline constexpr std::array<std::array<char, 2>, 256> kPair = [] {
    constexpr char digits[] = "0123456789ABCDEF";
    std::array<std::array<char, 2>, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = {digits[b >> 4], digits[b & 15]};
    return t;
}();

// Decodes the two digits at p into `out`; false when either is not a hex digit.
inline bool DecodeByte(const char* p, uint8_t& out)
{
    const int hi = kValue[static_cast<unsigned char>(p[0])];
    const int lo = kValue[static_cast<unsigned char>(p[1])];
    if ((hi | lo) < 0)
        return false;
    out = static_cast<uint8_t>(hi << 4 | lo);
    return true;
}

// Decodes `count` bytes from 2 * count digits; false at the first non-digit.
inline bool DecodeBytes(const char* p, uint8_t* out, unsigned count)
{
    for (unsigned i = 0; i < count; ++i, p += 2) {
        if (!DecodeByte(p, out[i]))
            return false;
    }
    return true;
}

} // namespace hexdigits
