#include "project/archive.h"
#include "project/erase_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

TEST(EraseMap, NewMapIsEmpty)
{
    CEraseMap map;
    int banks = -1, sectors = -1;
    map.GetSize(banks, sectors);
    EXPECT_EQ(banks, 0);
    EXPECT_EQ(sectors, 0);
    EXPECT_FALSE(map.IsModified());
    EXPECT_FALSE(map.IsSectorSelected(0, 0));
}

TEST(EraseMap, ResizeKeepsTheSelectionOnlyForUnchangedDimensions)
{
    CEraseMap map;
    ASSERT_TRUE(map.Resize(2, 10));
    EXPECT_TRUE(map.IsModified());
    map.SelectSector(1, 9, 1);
    map.ClearModified();

    EXPECT_TRUE(map.Resize(2, 10));
    EXPECT_TRUE(map.IsSectorSelected(1, 9));
    EXPECT_FALSE(map.IsModified());

    EXPECT_TRUE(map.Resize(2, 11));
    EXPECT_FALSE(map.IsSectorSelected(1, 9));
    EXPECT_TRUE(map.IsModified());
    EXPECT_EQ(map.CountSelected(), 0);

    // Dimensions the file cannot hold are refused and change nothing.
    map.SelectSector(0, 0, 1);
    EXPECT_FALSE(map.Resize(0x10000, 1));
    EXPECT_FALSE(map.Resize(-1, 4));
    EXPECT_EQ(map.GetSectors(), 11);
    EXPECT_TRUE(map.IsSectorSelected(0, 0));
}

TEST(EraseMap, PositionsOutsideTheDimensionsAreIgnored)
{
    CEraseMap map;
    map.Resize(2, 10);
    map.ClearModified();
    for (auto [bank, sector] : {std::pair{2, 0}, {0, 10}, {-1, 0}, {0, -1}, {-1, 15}}) {
        map.SelectSector(bank, sector, 1);
        EXPECT_FALSE(map.IsSectorSelected(bank, sector)) << bank << "/" << sector;
    }
    EXPECT_FALSE(map.IsModified());
    EXPECT_EQ(map.CountSelected(), 0);

    map.SelectSector(1, 3, 5); // any nonzero flag selects
    EXPECT_TRUE(map.IsSectorSelected(1, 3));
    EXPECT_TRUE(map.IsModified());
    map.SelectSector(1, 3, 0);
    EXPECT_FALSE(map.IsSectorSelected(1, 3));
}

TEST(EraseMap, FileFormOfTwoBanksOfTenSectors)
{
    CEraseMap map;
    map.Resize(2, 10);
    map.SelectSector(0, 0, 1);
    map.SelectSector(1, 9, 1);
    CArchive out;
    map.Serialize(out);
    EXPECT_FALSE(map.IsModified());
    Bytes expected{0x14, 0x00};
    Bytes selection(20, 0);
    selection[0] = 1;
    selection[19] = 1;
    expected.insert(expected.end(), selection.begin(), selection.end());
    expected.insert(expected.end(), {0x02, 0x00, 0x0A, 0x00});
    EXPECT_EQ(out.GetBuffer(), expected);

    CEraseMap back;
    back.Resize(1, 1);
    CArchive in(out.GetBuffer());
    back.Serialize(in);
    ASSERT_TRUE(in.Ok());
    EXPECT_FALSE(back.IsModified());
    EXPECT_EQ(back.GetBanks(), 2);
    EXPECT_EQ(back.GetSectors(), 10);
    EXPECT_EQ(back.FormatSelection(), "0/0, 1/9");
}

TEST(EraseMap, AByteArrayThatDoesNotMatchTheDimensionsIsRefused)
{
    // 3 bytes for 2 x 2 sectors: reading it would index past the array.
    const Bytes buf{0x03, 0x00, 1, 1, 1, 0x02, 0x00, 0x02, 0x00};
    CEraseMap map;
    map.Resize(1, 3);
    map.SelectSector(0, 2, 1);
    CArchive in(buf);
    map.Serialize(in);
    EXPECT_EQ(in.GetError(), EArchiveError::BadData);
    EXPECT_EQ(map.GetBanks(), 1);
    EXPECT_TRUE(map.IsSectorSelected(0, 2));
}

TEST(EraseMap, OddSelectionBytesCountAsUnselectedAndAreKept)
{
    const Bytes buf{0x02, 0x00, 2, 1, 0x01, 0x00, 0x02, 0x00};
    CEraseMap map;
    CArchive in(buf);
    map.Serialize(in);
    ASSERT_TRUE(in.Ok());
    EXPECT_FALSE(map.IsSectorSelected(0, 0));
    EXPECT_TRUE(map.IsSectorSelected(0, 1));
    CArchive out;
    map.Serialize(out);
    EXPECT_EQ(out.GetBuffer(), buf);
}

TEST(EraseMap, SetSelectionFromAList)
{
    CEraseMap map;
    map.Resize(2, 10);
    map.SelectSector(0, 5, 1);
    map.ClearModified();
    std::string error;
    ASSERT_TRUE(map.SetSelection("0/1, 1/9,0/2", error)) << error;
    EXPECT_EQ(map.FormatSelection(), "0/1, 0/2, 1/9");
    EXPECT_TRUE(map.IsModified());

    struct Case {
        const char* list;
        const char* error;
    } bad[] = {
        {"", "an empty entry in the sector list (expected bank/sector, e.g. 0/3)"},
        {"0/1,,1/2", "an empty entry in the sector list (expected bank/sector, e.g. 0/3)"},
        {"0/10", "sector 0/10 lies outside the erase map (2 banks of 10 sectors)"},
        {"2/0", "sector 2/0 lies outside the erase map (2 banks of 10 sectors)"},
        {"1-2", "\"1-2\" is not a bank/sector pair (e.g. 0/3)"},
        {"a/b", "\"a/b\" is not a bank/sector pair (e.g. 0/3)"},
        {"0/-1", "\"0/-1\" is not a bank/sector pair (e.g. 0/3)"},
        {"0/999999", "\"0/999999\" is not a bank/sector pair (e.g. 0/3)"},
    };
    for (const auto& c : bad) {
        EXPECT_FALSE(map.SetSelection(c.list, error)) << c.list;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(map.FormatSelection(), "0/1, 0/2, 1/9");
    }
}

TEST(EraseMap, ClippedKeepsThePartInsideAndTakeSelectionWritesOnlyThatBack)
{
    CEraseMap map;
    map.Resize(4, 40);
    map.SelectSector(0, 1, 1);
    map.SelectSector(0, 38, 1);
    map.SelectSector(3, 0, 1);
    map.ClearModified();

    struct Case {
        int banks, sectors;
        int wantBanks, wantSectors;
        std::string selected;
    };
    for (const Case& c : {Case{1, 35, 1, 35, "0/1"}, Case{16, 100, 4, 40, "0/1, 0/38, 3/0"},
                          Case{0, 35, 0, 35, ""}, Case{-1, -5, 0, 0, ""}, Case{4, 1, 4, 1, "3/0"}}) {
        const CEraseMap part = map.Clipped(c.banks, c.sectors);
        EXPECT_EQ(part.GetBanks(), c.wantBanks) << c.banks << "x" << c.sectors;
        EXPECT_EQ(part.GetSectors(), c.wantSectors) << c.banks << "x" << c.sectors;
        EXPECT_EQ(part.FormatSelection(), c.selected) << c.banks << "x" << c.sectors;
        EXPECT_FALSE(part.IsModified());
    }

    // Unchanged, the part writes back nothing that counts as a change.
    CEraseMap part = map.Clipped(2, 35);
    map.TakeSelection(part);
    EXPECT_FALSE(map.IsModified());
    std::string error;
    ASSERT_TRUE(part.SetSelection("1/34", error)) << error;
    map.TakeSelection(part);
    EXPECT_TRUE(map.IsModified());
    EXPECT_EQ(map.FormatSelection(), "0/38, 1/34, 3/0") << "outside the part: kept";

    // Odd bytes (only a damaged file holds them) pass through untouched.
    CArchive out;
    map.Serialize(out);
    std::vector<uint8_t> bytes = out.TakeBuffer();
    bytes[2 + 2 * 40 + 5] = 7; // bank 2, sector 5
    CArchive in(bytes);
    CEraseMap read;
    read.Serialize(in);
    ASSERT_TRUE(in.Ok());
    read.TakeSelection(read.Clipped(4, 40));
    CArchive again;
    read.Serialize(again);
    EXPECT_EQ(again.TakeBuffer(), bytes);
}
