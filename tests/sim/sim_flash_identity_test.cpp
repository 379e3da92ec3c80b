// What the simulated chips say about themselves: autoselect and read
// identifier codes, the CFI table built from the catalogue geometry, and the
// commands that enter and leave those modes (and only those).

#include "sim/sim_flash_identity.h"
#include "sim_flash_test_board.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kBase = 0x80000000;

// JEDEC x16 on a 16-bit bus: unlock at word 0x555 / 0x2AA.
void Unlock(CSimBoardModel& board, uint8_t command)
{
    board.BusWrite(kBase + 0xAAAA, 2, 0xAAAA);
    board.BusWrite(kBase + 0x5554, 2, 0x5555);
    board.BusWrite(kBase + 0xAAAA, 2, Replicated(command, 2));
}

void ProgramWord(CSimBoardModel& board, uint32_t address, uint16_t value)
{
    Unlock(board, 0xA0);
    board.BusWrite(address, 2, value);
}

TEST(SimFlashIdentity, JedecModesAreEnteredAndLeftByTheirCommandsOnly)
{
    auto board = MakeBoard("flash \"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 bus=16\n");
    ProgramWord(*board, kBase, 0x1234);
    ProgramWord(*board, kBase + 2, 0x5678);
    ASSERT_EQ(Read(*board, kBase, 2), 0x1234u);

    // Autoselect: our codes for the row (maker AMD, row 78).
    Unlock(*board, 0x90);
    EXPECT_EQ(Read(*board, kBase, 2), 0x0001u);
    EXPECT_EQ(Read(*board, kBase + 2, 2), 78u);
    EXPECT_EQ(Read(*board, kBase + 4, 2), 0u);
    board->BusWrite(kBase + 0x10, 2, 0x0000); // not a command: still autoselect
    EXPECT_EQ(Read(*board, kBase, 2), 0x0001u);
    // CFI out of autoselect, and a reset back to autoselect, then to the array.
    board->BusWrite(kBase + 0xAA, 2, 0x9898);
    EXPECT_EQ(Read(*board, kBase + 0x20, 2), uint32_t('Q'));
    board->BusWrite(kBase, 2, 0xF0F0);
    EXPECT_EQ(Read(*board, kBase, 2), 0x0001u);
    board->BusWrite(kBase, 2, 0xF0F0);
    EXPECT_EQ(Read(*board, kBase, 2), 0x1234u);

    // CFI from read mode at query address 0x55 only; left by AA 55 F0.
    board->BusWrite(kBase + 0xAC, 2, 0x9898);
    EXPECT_EQ(Read(*board, kBase + 0x20, 2), 0xFFFFu);
    board->BusWrite(kBase + 0xAA, 2, 0x9898);
    EXPECT_EQ(Read(*board, kBase + 0x22, 2), uint32_t('R'));
    Unlock(*board, 0xF0);
    EXPECT_EQ(Read(*board, kBase + 2, 2), 0x5678u);

    // The chip still programs and erases as before.
    ProgramWord(*board, kBase + 4, 0x0F0F);
    EXPECT_EQ(Read(*board, kBase + 4, 2), 0x0F0Fu);
    JedecErase(*board, 2, kBase + 0xAAAA, kBase + 0x5554, kBase, 0x30);
    EXPECT_EQ(Read(*board, kBase, 2), 0xFFFFu);
}

TEST(SimFlashIdentity, BoardFileGivesCodesAndTakesCfiAway)
{
    auto board = MakeBoard("flash \"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 bus=16 id=0xC2:0x2249 cfi=no\n");
    Unlock(*board, 0x90);
    EXPECT_EQ(Read(*board, kBase, 2), 0xC2u);
    EXPECT_EQ(Read(*board, kBase + 2, 2), 0x2249u);
    board->BusWrite(kBase, 2, 0xF0F0);
    board->BusWrite(kBase + 0xAA, 2, 0x9898); // ignored: no CFI
    EXPECT_EQ(Read(*board, kBase + 0x20, 2), 0xFFFFu);
}

TEST(SimFlashIdentity, IntelIdentifierAndQueryUntilReadArray)
{
    // Two x8 chips of the x8/x16 kind in byte mode side by side: each byte
    // lane answers, at word-spaced addresses (query address x 2 x 2 lanes).
    auto board = MakeBoard("flash \"Intel  28F128J3 (16M x 8)\" base=0x80000000 bus=16\n");
    board->BusWrite(kBase, 2, 0x9090);
    EXPECT_EQ(Read(*board, kBase, 2), 0x8989u);
    board->BusWrite(kBase, 2, 0x9898);
    EXPECT_EQ(Read(*board, kBase + 0x10 * 4, 2), 0x5151u);
    EXPECT_EQ(Read(*board, kBase + 0x27 * 4, 2), 0x1818u); // 16 MiB
    board->BusWrite(kBase, 2, 0xFFFF);
    EXPECT_EQ(Read(*board, kBase + 0x10 * 4, 2), 0xFFFFu);
}

struct SCfiCase {
    const char* device;
    std::vector<std::pair<uint32_t, uint32_t>> regions; // as listed: {count, size}
    uint8_t boot;                                       // JEDEC extended table's boot flag
};

TEST(SimFlashIdentity, CfiTablesFollowTheCatalogueGeometry)
{
    const SCfiCase cases[] = {
        // Bottom boot in address order; top boot listed from the small blocks up.
        {"AMD  Am29LV160MB (1M x 16)", {{1, 0x4000}, {2, 0x2000}, {1, 0x8000}, {31, 0x10000}}, 2},
        {"AMD  Am29LV160MT (1M x 16)", {{1, 0x4000}, {2, 0x2000}, {1, 0x8000}, {31, 0x10000}}, 3},
        {"AMD  Am29LV065D", {{128, 0x10000}}, 0},
        {"AMD  Am29PDL128G (4M x 32)", {{8, 0x2000}, {254, 0x10000}, {8, 0x2000}}, 0},
        // Intel lists in address order whatever the boot position.
        {"Intel  28F160B3-T", {{31, 0x10000}, {8, 0x2000}}, 0},
    };
    for (const SCfiCase& c : cases) {
        SCOPED_TRACE(c.device);
        CSimFlashGeometry g;
        ASSERT_TRUE(LookupSimFlashGeometry(c.device, g));
        const auto table = BuildSimCfiTable(g, *FindSimFlashAlgorithm(g.programAlgorithm));
        ASSERT_GT(table.size(), 0x2Cu + 4 * c.regions.size());
        EXPECT_EQ(std::string(table.begin() + 0x10, table.begin() + 0x13), "QRY");
        const bool jedec = FindSimFlashAlgorithm(g.programAlgorithm)->commandSet == ESimCommandSet::Jedec;
        EXPECT_EQ(table[0x13], jedec ? 2 : 1);
        EXPECT_EQ(1u << table[0x27], g.size);
        ASSERT_EQ(table[0x2C], c.regions.size());
        for (size_t i = 0; i < c.regions.size(); ++i) {
            EXPECT_EQ(table[0x2D + 4 * i] + 256u * table[0x2E + 4 * i] + 1, c.regions[i].first) << i;
            EXPECT_EQ((table[0x2F + 4 * i] + 256u * table[0x30 + 4 * i]) * 256, c.regions[i].second) << i;
        }
        const size_t primary = table[0x15] + 256u * table[0x16];
        ASSERT_LT(primary + 0xF, table.size());
        EXPECT_EQ(std::string(table.begin() + primary, table.begin() + primary + 3), "PRI");
        if (jedec) {
            EXPECT_EQ(table[primary + 0xF], c.boot);
        }
    }
}

} // namespace
