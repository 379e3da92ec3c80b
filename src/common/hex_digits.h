#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
// Decodes 16 digits at p into 8 bytes (the low half of `bytes`, the high
// half zero); false when any is not a hex digit.
inline bool Decode16(const char* p, __m128i& bytes)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Digits '0'..'9'; letters after folding to lower case 'a'..'f'. Bytes
    // of 0x80 and above are negative and fail both tests.
    const __m128i isDigit = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)),
                                          _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)));
    const __m128i lower = _mm_or_si128(v, _mm_set1_epi8(0x20));
    const __m128i isLetter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                           _mm_cmplt_epi8(lower, _mm_set1_epi8('f' + 1)));
    if (_mm_movemask_epi8(_mm_or_si128(isDigit, isLetter)) != 0xFFFF)
        return false;
    const __m128i nibbles = _mm_or_si128(_mm_and_si128(isDigit, _mm_sub_epi8(v, _mm_set1_epi8('0'))),
                                         _mm_andnot_si128(isDigit, _mm_sub_epi8(lower, _mm_set1_epi8('a' - 10))));
    // Each 16-bit lane holds (high digit, low digit) in memory order.
    const __m128i high = _mm_slli_epi16(_mm_and_si128(nibbles, _mm_set1_epi16(0x00FF)), 4);
    const __m128i low = _mm_srli_epi16(nibbles, 8);
    bytes = _mm_packus_epi16(_mm_or_si128(high, low), _mm_setzero_si128());
    return true;
}

// Eight bytes from kTailMask + 8 - k keep the last 8 - k of eight bytes.
inline constexpr uint8_t kTailMask[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Decodes 16 digits at p into 8 bytes at `out`; false when any is not a hex digit.
inline bool Decode16(const char* p, uint8_t* out)
{
    __m128i bytes;
    if (!Decode16(p, bytes))
        return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
    return true;
}
#endif

// Decodes `count` bytes from 2 * count digits, 8 bytes at a time where the
// machine allows, and sets `sum` to the low 8 bits of the sum of the bytes
// decoded (summed while they are in registers: reading them back at once
// would wait for the stores). Answers the number of bytes decoded: `count`,
// or the index of the first byte whose digits are not both hexadecimal.
inline size_t DecodeRun(const char* p, uint8_t* out, size_t count, uint8_t& sum)
{
    size_t i = 0;
    unsigned total = 0;
#if defined(__SSE2__)
    __m128i acc = _mm_setzero_si128();
    for (; i + 8 <= count; i += 8) {
        __m128i bytes;
        if (!Decode16(p + 2 * i, bytes))
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), bytes);
        acc = _mm_add_epi64(acc, _mm_sad_epu8(bytes, _mm_setzero_si128()));
    }
    // A tail of 1 to 7 bytes behind at least 8: the last 16 digits decoded
    // once more, the bytes already counted masked out of the sum.
    if (i < count && i >= 8 && i + 8 > count) {
        const size_t at = count - 8;
        __m128i bytes;
        if (Decode16(p + 2 * at, bytes)) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + at), bytes);
            const __m128i counted = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kTailMask + 8 - (i - at)));
            acc = _mm_add_epi64(acc, _mm_sad_epu8(_mm_and_si128(bytes, counted), _mm_setzero_si128()));
            i = count;
        }
    }
    total = static_cast<unsigned>(_mm_cvtsi128_si32(acc));
#endif
    for (; i < count; ++i) {
        if (!DecodeByte(p + 2 * i, out[i])) {
            sum = static_cast<uint8_t>(total);
            return i;
        }
        total += out[i];
    }
    sum = static_cast<uint8_t>(total);
    return count;
}

inline size_t DecodeRun(const char* p, uint8_t* out, size_t count)
{
    uint8_t sum;
    return DecodeRun(p, out, count, sum);
}

// The low 8 bits of the sum of `count` bytes.
inline uint8_t Sum8(const uint8_t* p, size_t count)
{
    unsigned sum = 0;
    size_t i = 0;
#if defined(__SSE2__)
    __m128i acc = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16)
        acc = _mm_add_epi64(acc, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)),
                                               _mm_setzero_si128()));
    sum = static_cast<unsigned>(_mm_cvtsi128_si32(acc)) + static_cast<unsigned>(_mm_extract_epi16(acc, 4));
#endif
    for (; i < count; ++i)
        sum += p[i];
    return static_cast<uint8_t>(sum);
}

} // namespace hexdigits
