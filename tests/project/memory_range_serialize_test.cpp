#include "project/archive.h"
#include "project/memory_range.h"

#include <gtest/gtest.h>

#include <vector>

TEST(MemoryRangeSerialize, TenBytesStartSizeModeAndBack)
{
    CMemoryRange range(0x08000000, 0x00020000, 1);
    CArchive out;
    range.Serialize(out);
    ASSERT_TRUE(out.Ok());
    EXPECT_EQ(out.GetBuffer(), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00}));

    CMemoryRange back(1, 1, 0);
    CArchive in(out.GetBuffer());
    back.Serialize(in);
    ASSERT_TRUE(in.Ok());
    EXPECT_EQ(back, range);
}

TEST(MemoryRangeSerialize, ModeIsReadWithoutSignAndSizeIsClipped)
{
    // lengthMode 0xFFFF reads back as 65535 (not -1); a size that would pass
    // 0xFFFFFFFF is clipped like every setter clips it.
    const std::vector<uint8_t> bytes{0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x10, 0x00, 0x00, 0xFF, 0xFF};
    CMemoryRange range;
    CArchive in(bytes);
    range.Serialize(in);
    ASSERT_TRUE(in.Ok());
    EXPECT_EQ(range.start, 0xFFFFFF00u);
    EXPECT_EQ(range.size, 0x100u);
    EXPECT_EQ(range.lengthMode, 0xFFFF);
    EXPECT_EQ(range.GetEnd(), 0xFFFFFFFFu);
}

TEST(MemoryRangeSerialize, AShortReadLeavesTheRangeUnchanged)
{
    const std::vector<uint8_t> bytes{0x10, 0, 0, 0, 0x20, 0, 0, 0, 0x01};
    CMemoryRange range(0x100, 0x10, 1);
    CArchive in(bytes);
    range.Serialize(in);
    EXPECT_EQ(in.GetError(), EArchiveError::EndOfData);
    EXPECT_EQ(range, CMemoryRange(0x100, 0x10, 1));
}
