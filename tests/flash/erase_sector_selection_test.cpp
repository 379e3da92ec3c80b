#include "project/erase_map.h"
#include "flash/erase_sector_selection.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint32_t> RegularSectors(int count, uint32_t size)
{
    std::vector<uint32_t> starts;
    for (int i = 0; i < count; ++i)
        starts.push_back(static_cast<uint32_t>(i) * size);
    return starts;
}

} // namespace

TEST(EraseSectorSelection, PagesOfSixteenRows)
{
    struct Case {
        int sectors;
        int lastPage;
        int rowsPerPage;
    } cases[] = {{0, 0, 0}, {3, 0, 3}, {16, 0, 16}, {17, 1, 16}, {32, 1, 16}, {33, 2, 16}};
    for (const auto& c : cases) {
        CEraseMap map;
        map.Resize(1, c.sectors);
        CEraseSectorSelection sel(map, RegularSectors(c.sectors, 0x1000), 1, 1);
        EXPECT_EQ(sel.GetLastPage(), c.lastPage) << c.sectors;
        EXPECT_EQ(sel.GetRowsPerPage(), c.rowsPerPage) << c.sectors;
        EXPECT_EQ(sel.HasPages(), c.lastPage > 0);
        EXPECT_FALSE(sel.CanPrev());
        EXPECT_EQ(sel.CanNext(), c.lastPage > 0);
    }

    CEraseMap map;
    map.Resize(2, 17);
    CEraseSectorSelection sel(map, RegularSectors(17, 0x1000), 1, 1);
    ASSERT_TRUE(sel.Next());
    EXPECT_FALSE(sel.Next());
    EXPECT_TRUE(sel.CanPrev());
    EXPECT_TRUE(sel.RowExists(0));
    EXPECT_FALSE(sel.RowExists(1));
    EXPECT_EQ(sel.GetRowSector(0), 16);
    EXPECT_EQ(sel.GetRowLabel(0), "   10000");
    EXPECT_EQ(sel.GetRowLabel(1), "");
}

TEST(EraseSectorSelection, RowLabelsAreBusOffsetsWithinTheBank)
{
    // A 128 KiB top-boot x8 device, two side by side on a 16-bit bus.
    const std::vector<uint32_t> starts{0x00000, 0x04000, 0x08000, 0x0C000, 0x10000,
                                       0x14000, 0x18000, 0x1C000, 0x1D000, 0x1E000};
    CEraseMap map;
    map.Resize(1, 10);
    CEraseSectorSelection sel(map, starts, 2, 1);
    const char* expected[] = {"       0", "    8000", "   10000", "   18000", "   20000",
                              "   28000", "   30000", "   38000", "   3A000", "   3C000"};
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(sel.GetRowLabel(row), expected[row]) << row;
    EXPECT_EQ(sel.GetRowLabel(10), "");
}

TEST(EraseSectorSelection, ChoicesOnEveryPageReachTheMapOnlyOnConfirm)
{
    CEraseMap map;
    map.Resize(2, 20);
    map.SelectSector(0, 3, 1);
    map.ClearModified();

    CEraseSectorSelection sel(map, RegularSectors(20, 0x2000), 2, 2);
    EXPECT_TRUE(sel.IsChecked(0, 3));
    sel.Next();
    sel.SetChecked(1, 2, true); // bank 1, sector 18
    sel.SetChecked(1, 5, true); // no sector 21: ignored
    sel.Prev();
    sel.SetChecked(0, 3, false);
    EXPECT_TRUE(map.IsSectorSelected(0, 3)); // nothing written yet (Cancel keeps the map)
    EXPECT_FALSE(map.IsModified());

    sel.Confirm(map);
    EXPECT_EQ(map.FormatSelection(), "1/18");
    EXPECT_TRUE(map.IsModified());
}
