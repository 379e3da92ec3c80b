// The board store's words: little-endian values of 1, 2 and 4 bytes inside
// a 4 KiB page and across two, against the bytes one by one.

#include "sim/sim_board_store.h"

#include <gtest/gtest.h>

namespace {

TEST(SimBoardStore, WordsMatchTheirBytesInsideAndAcrossPages)
{
    for (const uint8_t fill : {uint8_t(0x00), uint8_t(0xFF)}) {
        for (const uint64_t offset : {uint64_t(0x10), uint64_t(4096 - 2), uint64_t(4096 - 1), uint64_t(8192 - 3)}) {
            for (const int count : {1, 2, 4}) {
                SCOPED_TRACE(testing::Message() << "fill " << int(fill) << ", offset " << offset << ", " << count);
                CSimBoardStore store(3 * 4096, fill);
                const uint32_t filled = count == 4 ? 0x01010101u * fill : (0x01010101u * fill) & ((1u << (8 * count)) - 1);
                EXPECT_EQ(store.GetWord(offset, count), filled);
                // A word of fill bytes, then one that is not.
                store.SetWord(offset, count, filled);
                EXPECT_EQ(store.GetWord(offset, count), filled);
                const uint32_t value = 0xA1B2C3D4u >> (8 * (4 - count));
                store.SetWord(offset, count, value);
                EXPECT_EQ(store.GetWord(offset, count), value);
                for (int i = 0; i < count; ++i)
                    EXPECT_EQ(store.Get(offset + i), uint8_t(value >> (8 * i)));
                EXPECT_EQ(store.Get(offset - 1), fill);
                EXPECT_EQ(store.Get(offset + count), fill);
            }
        }
    }
}

} // namespace
