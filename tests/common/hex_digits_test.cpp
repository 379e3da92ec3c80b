// The record readers' hex decoding: every run length (the 8-byte steps and
// the tail decoded again), the sum of the bytes decoded, and the index of
// the first byte with a bad digit wherever it lies.
#include "common/hex_digits.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

TEST(HexDigits, DecodeRunDecodesSumsAndStopsAtTheFirstBadDigit)
{
    std::mt19937 rng(7);
    for (size_t count = 0; count <= 40; ++count) {
        SCOPED_TRACE(count);
        std::vector<uint8_t> bytes(count);
        std::string text;
        unsigned sum = 0;
        for (size_t i = 0; i < count; ++i) {
            bytes[i] = static_cast<uint8_t>(rng());
            sum += bytes[i];
            const auto pair = hexdigits::kPair[bytes[i]];
            // Lower-case letters on every third byte.
            text += i % 3 == 0 ? static_cast<char>(std::tolower(pair[0])) : pair[0];
            text += pair[1];
        }
        std::vector<uint8_t> out(count + 8, 0xEE);
        uint8_t got = 0;
        ASSERT_EQ(hexdigits::DecodeRun(text.data(), out.data(), count, got), count);
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(count)), bytes);
        EXPECT_EQ(got, static_cast<uint8_t>(sum));
        EXPECT_EQ(out[count], 0xEE); // nothing written past the run

        for (size_t bad = 0; bad < 2 * count; ++bad) {
            for (const char c : {'G', ':', '/', '@', '`', 'g', '\x80'}) {
                std::string broken = text;
                broken[bad] = c;
                ASSERT_EQ(hexdigits::DecodeRun(broken.data(), out.data(), count, got), bad / 2)
                    << "bad digit " << c << " at " << bad;
                unsigned before = 0;
                for (size_t i = 0; i < bad / 2; ++i)
                    before += bytes[i];
                ASSERT_EQ(got, static_cast<uint8_t>(before)) << bad;
            }
        }
    }
}
