#include "project/memory_range.h"
#include "support/scripted_message_box.h"

#include <gtest/gtest.h>

TEST(MemoryRange, SetClipsAtTheTopAndCountsInThirtyTwoBits)
{
    struct Case {
        uint32_t start, second;
        int mode;
        uint32_t size;
    } cases[] = {
        {0, 0xFFFFFFFF, 0, 0},                // whole space: the 32-bit count wraps to 0
        {0xFFFFFF00, 0x200, 1, 0x100},        // length clipped at 0xFFFFFFFF
        {0x100, 0xFF, 0, 0},                  // end below start
        {0x100, 0x1FF, 0, 0x100},
        {0x100, 0x10, 1, 0x10},
        {0xFFFFFFFF, 1, 1, 1},
        {0xFFFFFFFF, 2, 1, 1},
    };
    for (const auto& c : cases) {
        CMemoryRange r(c.start, c.second, c.mode);
        EXPECT_EQ(r.GetSize(), c.size) << std::hex << c.start << " " << c.second << " " << c.mode;
        EXPECT_EQ(r.IsLengthMode(), c.mode != 0);
    }
}

TEST(MemoryRange, SettersKeepTheRangeBelowTheTop)
{
    CMemoryRange r(0x1000, 0x2000, 1);
    r.SetStart(0xFFFFF000);
    EXPECT_EQ(r.GetSize(), 0x1000u);
    r.lengthMode = 0;
    r.SetSize(0x5000);
    EXPECT_EQ(r.GetSize(), 0x1000u);
    EXPECT_TRUE(r.IsLengthMode());
    EXPECT_EQ(r.GetEnd(), 0xFFFFFFFFu);
    EXPECT_EQ(CMemoryRange(5, 0, 1).GetEnd(), 0u);
}

TEST(MemoryRange, ValidateRangeMessages)
{
    struct Case {
        uint32_t start, second;
        int mode;
        const char* message; // nullptr: valid
    } cases[] = {
        {0x100, 0xFF, 0, "Start address should not be greater than end address !"},
        {0x100, 0, 1, "Code size is 0 !"},
        {0xFFFFFFFF, 2, 1, "Out of maximum memory address !\n (Endaddress > 0xFFFFFFFF)"},
        {0xFFFFFFFF, 1, 1, nullptr},
        {0x100, 0x100, 0, nullptr},
    };
    for (const auto& c : cases) {
        CScriptedMessageBox box;
        EXPECT_EQ(CMemoryRange::ValidateRange(c.start, c.second, c.mode, &box), c.message == nullptr);
        if (c.message) {
            ASSERT_EQ(box.shown.size(), 1u);
            EXPECT_EQ(box.shown[0].text, c.message);
            EXPECT_EQ(box.shown[0].caption, "Invalid Input");
            EXPECT_EQ(box.shown[0].icon, EMsgIcon::Exclamation);
        } else {
            EXPECT_TRUE(box.shown.empty());
        }
        // Without an owner the answer is the same and nothing is shown.
        EXPECT_EQ(CMemoryRange::ValidateRange(c.start, c.second, c.mode, nullptr), c.message == nullptr);
    }
}

TEST(MemoryRange, CheckInsideBuildsItsMessageFromThePrefix)
{
    const CMemoryRange physical(0x08000000, 0x200000, 1);
    EXPECT_TRUE(CMemoryRange(0x08000000, 0x200000, 1).CheckInside(physical, "", nullptr));
    EXPECT_FALSE(CMemoryRange(0x07FFFFFF, 2, 1).CheckInside(physical, "", nullptr));
    EXPECT_FALSE(CMemoryRange(0x081FFFFF, 2, 1).CheckInside(physical, "", nullptr));

    CScriptedMessageBox box;
    EXPECT_FALSE(CMemoryRange(0x08200000, 4, 1).CheckInside(physical, "", &box));
    EXPECT_FALSE(CMemoryRange(0x08200000, 4, 1).CheckInside(physical, "Destination address is ", &box));
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0].text, "Out of physical memory range !\n (Base: 08000000, Size: 00200000)");
    EXPECT_EQ(box.shown[1].text,
              "Destination address is out of physical memory range !\n (Base: 08000000, Size: 00200000)");
    EXPECT_EQ(box.shown[1].caption, "Invalid Input");

    CScriptedMessageBox hexCase;
    CMemoryRange(0, 4, 1).CheckInside(CMemoryRange(0xABCDEF00, 0xAB, 1), "", &hexCase);
    EXPECT_EQ(hexCase.shown.at(0).text, "Out of physical memory range !\n (Base: ABCDEF00, Size: 000000ab)");
}

TEST(MemoryRange, OverlapsAndEquality)
{
    EXPECT_TRUE(CMemoryRange(0x100, 0x100, 1).Overlaps(CMemoryRange(0x1FF, 1, 1)));
    EXPECT_FALSE(CMemoryRange(0x100, 0x100, 1).Overlaps(CMemoryRange(0x200, 1, 1)));
    EXPECT_FALSE(CMemoryRange(0x100, 0x100, 1).Overlaps(CMemoryRange(0xFF, 1, 1)));
    // A range that ends at the very top still overlaps what lies inside it.
    EXPECT_TRUE(CMemoryRange(0xFFFF0000, 0x10000, 1).Overlaps(CMemoryRange(0xFFFF8000, 0x10, 1)));
    EXPECT_EQ(CMemoryRange(1, 2, 1), CMemoryRange(1, 2, 1));
    EXPECT_NE(CMemoryRange(1, 2, 1), CMemoryRange(1, 2, 0));
}
