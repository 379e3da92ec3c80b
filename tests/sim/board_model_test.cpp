// The board model's bus: RAM byte lanes, access rules for flash and
// registers, chip selects that an init list must set, core registers, and
// the checks that fit a board file's lines together.

#include "sim_flash_test_board.h"

#include "common/text_format.h"

#include <gtest/gtest.h>

namespace {

TEST(BoardBus, RamHasLittleEndianLanesAtAnyAlignment)
{
    auto board = MakeBoard("ram 0x40000000 4K\n");
    EXPECT_EQ(Read(*board, 0x40000000, 4), 0u) << "RAM starts zeroed";
    ASSERT_TRUE(board->BusWrite(0x40000001, 4, 0x11223344));
    EXPECT_EQ(Read(*board, 0x40000000, 4), 0x22334400u);
    EXPECT_EQ(Read(*board, 0x40000004, 1), 0x11u);
    EXPECT_EQ(Read(*board, 0x40000002, 2), 0x2233u);
    ASSERT_TRUE(board->BusWrite(0x40000000, 1, 0x1FF)); // only the low byte
    EXPECT_EQ(Read(*board, 0x40000000, 2), 0x44FFu);

    uint32_t value = 0;
    EXPECT_FALSE(board->BusRead(0x40000FFE, 4, value)) << "runs past the region";
    EXPECT_FALSE(board->BusWrite(0x3FFFFFFF, 1, 0)) << "nothing there";
    EXPECT_FALSE(board->BusRead(0x40000000, 3, value)) << "no 3-byte cycles";
    EXPECT_FALSE(board->BusRead(0xFFFFFFFF, 4, value)) << "wraps the address space";
}

TEST(BoardBus, FlashCyclesMustBeAlignedAndMaySplitOrNarrow)
{
    // One x8 chip on an 8-bit bus, and two x16 chips on a 32-bit bus.
    auto board = MakeBoard("flash \"AMD  Am29F010\" base=0x00100000 bus=8\n"
                           "flash \"AMD  Am29LV400B (256K x 16)\" base=0x01000000 bus=32\n");
    ASSERT_EQ(FirmwareProgram(*board, 2, 1, ~(0x20000u - 1), 0x00100000, {1, 2, 3, 4}), 0);
    ASSERT_EQ(FirmwareProgram(*board, 12, 4, ~(0x100000u - 1), 0x01000000, {1, 2, 3, 4, 5, 6, 7, 8}), 0);
    EXPECT_EQ(Read(*board, 0x00100000, 4), 0x04030201u) << "four 8-bit bus cycles";
    EXPECT_EQ(Read(*board, 0x01000002, 2), 0x0403u) << "lane 1 alone";
    EXPECT_EQ(Read(*board, 0x01000005, 1), 0x06u);
    uint32_t value = 0;
    EXPECT_FALSE(board->BusRead(0x01000002, 4, value));
    EXPECT_FALSE(board->BusWrite(0x00100001, 2, 0));
    EXPECT_FALSE(board->BusRead(0x000FFFFF, 2, value)) << "straddles the start of the flash";
}

TEST(BoardBus, OnChipFlashIgnoresPlainWrites)
{
    auto board = MakeBoard("flash \"AT91SAM7S32 Flash\" base=0x00100000 bus=32\n");
    EXPECT_TRUE(board->BusWrite(0x00100000, 4, 0));
    EXPECT_EQ(Read(*board, 0x00100000, 4), 0xFFFFFFFFu);
}

TEST(BoardBus, ChipSelectedRegionsAnswerOnlyOnceTheirRegisterHoldsTheValue)
{
    auto board = MakeBoard("ram 0x40000000 4K\n"
                           "ram 0x80000000 64K cs=0xFFE00000:0x00003C00:0x0000FF00\n"
                           "flash \"AMD  Am29F040\" base=0x01000000 bus=16 cs=0xFFE00004:0x2001\n");
    uint32_t value = 0;
    EXPECT_FALSE(board->BusRead(0x01000000, 2, value));
    EXPECT_FALSE(board->BusWrite(0x80000000, 4, 1));
    EXPECT_EQ(Read(*board, 0xFFE00004, 4), 0u) << "registers read 0 at power-up";
    EXPECT_EQ(board->FlashSetup(2, 2, ~(0x100000u - 1), 0x80000000, 0), 3) << "workspace RAM not selected";
    uint32_t fail = 0;
    const uint8_t byte = 0x12;
    ASSERT_EQ(board->FlashSetup(2, 2, ~(0x100000u - 1), 0xFFFFFFFF, 0), 0);
    EXPECT_EQ(board->FlashProgram(0x01000010, &byte, 1, fail), -1206);
    EXPECT_EQ(fail, 0x01000010u);

    // What an init list does: WM32 to the flash's register, WM16 into the RAM's.
    ASSERT_TRUE(board->BusWrite(0xFFE00004, 4, 0x2001));
    ASSERT_TRUE(board->BusWrite(0xFFE00000, 2, 0x3C55)); // mask 0xFF00: the low byte does not matter
    EXPECT_EQ(Read(*board, 0xFFE00000, 4), 0x3C55u);
    EXPECT_TRUE(board->BusWrite(0x80000000, 4, 1));
    EXPECT_EQ(board->FlashProgram(0x01000010, &byte, 1, fail), 0);
    EXPECT_EQ(Read(*board, 0x01000010, 2), 0xFF12u);

    ASSERT_TRUE(board->BusWrite(0xFFE00005, 1, 0x00)); // 0x0001 now
    EXPECT_FALSE(board->BusRead(0x01000010, 2, value));
    EXPECT_FALSE(board->BusRead(0xFFE00001, 2, value)) << "registers take aligned cycles only";
}

TEST(BoardBus, CoreRegisterWritesAreKept)
{
    auto board = MakeBoard("ram 0 4K\n");
    uint32_t value = 0;
    EXPECT_FALSE(board->RegisterValue(601, 0, value));
    board->WriteRegister(601, 0, 0xD3);
    board->WriteRegister(600, 13, 0x40001000);
    ASSERT_TRUE(board->RegisterValue(601, 0, value));
    EXPECT_EQ(value, 0xD3u);
    ASSERT_TRUE(board->RegisterValue(600, 13, value));
    EXPECT_EQ(value, 0x40001000u);
}

struct CBuildCase {
    const char* text;
    const char* error;
};

TEST(BoardBuild, LinesThatDoNotFitTogetherAreRefusedWithTheirLine)
{
    const CBuildCase cases[] = {
        {"ram 0 64K\nram 0x8000 4K\n", "line 2: ram 0x00008000..0x00008FFF overlaps ram 0x00000000..0x0000FFFF"},
        {"ram 0xFFFFF000 8K\n", "line 1: ram 0xFFFFF000 runs past the end of the address space"},
        {"flash \"AMD  Am29F040\" base=0xFFF80000 bus=16\n",
         "line 1: base 0xFFF80000 must be a multiple of the bank size 0x100000 (the firmware finds a bank's start "
         "by masking the address)"},
        {"flash \"AMD  Am29F040\" base=0xFFF00000 bus=16 banks=2\n",
         "line 1: flash \"AMD  Am29F040\" at 0xFFF00000 runs past the end of the address space"},
        {"flash \"AMD  Am29LV400B (256K x 16)\" base=0 bus=8\n", "line 1: a x16 device needs a bus of at least 16 bits"},
        {"flash \"MAC7112 Program Flash (256K)\" base=0 bus=16\n",
         "line 1: \"MAC7112 Program Flash (256K)\" sits on a 32-bit bus"},
        {"flash \"ADuC7000 Flash\" base=0 bus=16 banks=2\n", "line 1: \"ADuC7000 Flash\" is a single bank"},
        {"ram 0x1000 4K cs=0x1800:1\n", "line 1: chip-select register 0x00001800 lies inside ram 0x00001000..0x00001FFF"},
        {"ram 0 4K\nram 0x1000 4K cs=0x0FFC:1\n", "line 2: chip-select register 0x00000FFC overlaps ram 0x00000000..0x00000FFF"},
        {"ram 0x1000 4K cs=0x2002:1\n", "line 1: chip-select register 0x00002002 must be aligned to 4 bytes"},
        {"ram 0 4K cs=0x2000:1\nram 0x1FF0 0x20\n",
         "line 2: ram 0x00001FF0..0x0000200F overlaps chip-select register 0x00002000"},
        {"ram 0 4K\nfault erase-fail 0x100\n", "line 2: fault address 0x00000100 is not inside a flash"},
        {"flash \"Atmel  AT29C020\" base=0 bus=8\nfault erase-hang 0x100\n",
         "line 2: \"Atmel  AT29C020\" has no separate erase"},
    };
    for (const auto& c : cases) {
        CBoardFile file;
        std::string error;
        ASSERT_TRUE(CBoardFile::Parse(c.text, file, error)) << c.text << error;
        CSimBoardModel board;
        EXPECT_FALSE(board.Build(file, error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

TEST(BoardBuild, RegionsMayShareAChipSelectRegister)
{
    auto board = MakeBoard("ram 0x80000000 4K cs=0xFFE00000:0x01:0x0F\n"
                           "ram 0x90000000 4K cs=0xFFE00000:0x20:0xF0\n");
    uint32_t value = 0;
    ASSERT_TRUE(board->BusWrite(0xFFE00000, 4, 0x01));
    EXPECT_TRUE(board->BusRead(0x80000000, 4, value));
    EXPECT_FALSE(board->BusRead(0x90000000, 4, value));
    ASSERT_TRUE(board->BusWrite(0xFFE00000, 4, 0x21));
    EXPECT_TRUE(board->BusRead(0x80000000, 4, value));
    EXPECT_TRUE(board->BusRead(0x90000000, 4, value));
}

} // namespace
