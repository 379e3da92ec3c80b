// The qemu-flash board statement: its syntax, and the boards it refuses
// because QEMU's flash models cannot stand for them. These limits keep a
// green QEMU-backed run from being read as covering what QEMU does not judge:
// byte-mode unlock (codes 11, 23, 32), x16/x32 addressing (35 to 38), JEDEC
// chips side by side, Intel boot-block layouts and any erase block that is
// not the catalogue's sector, page-write chips and on-chip flash. (QEMU's
// JEDEC model has no DQ5, so no JEDEC failure can be shown with it, and its
// Intel model programs over programmed cells and erases without the D0
// confirm: those stay with the simulator's own models too.) None of these
// needs QEMU: the board is refused before QEMU would start.
#include "sim/board_file.h"
#include "sim/sim_board_model.h"
#include "sim/sim_flash_geometry.h"
#include "sim/sim_qemu_flash.h"
#include "support/qemu_skip.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct SLineCase {
    const char* line;
    const char* error; // "" when the line parses
};

TEST(QemuFlashStatement, ParsesOrNamesTheFault)
{
    const SLineCase cases[] = {
        {"qemu-flash musicpal device=\"AMD  Am29LV640MB (4M x 16)\" base=0x80000000 bus=16 regions=8x8K,127x64K "
         "drive=f.img read-only",
         ""},
        {"qemu-flash", "line 1: qemu-flash needs a QEMU machine"},
        {"qemu-flash pc device=\"AMD  Am29F010\" base=0 bus=8",
         "line 1: unknown QEMU machine \"pc\" (expected musicpal, xilinx-zynq-a9, connex, verdex, versatilepb)"},
        {"qemu-flash musicpal device=\"AMD Am29F010\" base=0 bus=16", "line 1: unknown flash device \"AMD Am29F010\""},
        {"qemu-flash musicpal base=0 bus=16", "line 1: qemu-flash needs device=\"NAME\""},
        {"qemu-flash musicpal device=\"AMD  Am29F010\" bus=16", "line 1: qemu-flash needs base=ADDR"},
        {"qemu-flash musicpal device=\"AMD  Am29F010\" base=0", "line 1: qemu-flash needs bus=8, 16 or 32"},
        {"qemu-flash musicpal device=\"AMD  Am29F010\" base=0 bus=16 regions=3x48K", "line 1: bad regions \"3x48K\""},
        {"qemu-flash musicpal device=\"AMD  Am29F010\" base=0 bus=16 regions=1x8K,1x8K,1x8K,1x8K,1x8K",
         "line 1: bad regions"},
        {"qemu-flash musicpal device=\"AMD  Am29F010\" base=0 bus=16 read-only read-only",
         "line 1: read-only given twice"},
        {"qemu-flash musicpal device=\"AMD  Am29F010\" base=0 bus=16 cs=0x10:1", "line 1: unknown key \"cs\""},
    };
    for (const auto& c : cases) {
        CBoardFile board;
        std::string error;
        const bool ok = CBoardFile::Parse(c.line, board, error);
        if (!*c.error) {
            ASSERT_TRUE(ok) << c.line << ": " << error;
            ASSERT_EQ(board.qemuFlashes.size(), 1u);
            const auto& q = board.qemuFlashes[0];
            EXPECT_EQ(q.machine, "musicpal");
            EXPECT_EQ(q.device, "AMD  Am29LV640MB (4M x 16)");
            EXPECT_EQ(q.base, 0x80000000u);
            EXPECT_EQ(q.busBits, 16u);
            EXPECT_EQ(q.regions, (std::vector<std::pair<uint32_t, uint32_t>>{{8, 8192}, {127, 65536}}));
            EXPECT_EQ(q.drive, "f.img");
            EXPECT_TRUE(q.readOnly);
        } else {
            EXPECT_FALSE(ok) << c.line;
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.line << "\n  got: " << error;
        }
    }
}

struct SBoardCase {
    const char* statement;
    const char* error; // "" when QEMU can stand for it
};

TEST(QemuFlashStatement, RefusesWhatQemusModelsCannotStandFor)
{
    const SBoardCase cases[] = {
        // What QEMU's models judge.
        {"musicpal device=\"AMD  Am29LV640MB (4M x 16)\" base=0x80000000 bus=16 regions=8x8K,127x64K", ""},
        {"musicpal device=\"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 bus=16 regions=1x16K,2x8K,1x32K,127x64K",
         ""},
        {"xilinx-zynq-a9 device=\"AMD  Am29LV065D\" base=0x80000000 bus=8 regions=1024x64K", ""},
        {"connex device=\"Intel  28F128J3 (8M x 16)\" base=0 bus=16", ""},
        {"connex device=\"Intel  28F016SA (2M x 8)\" base=0 bus=16 banks=4", ""},
        {"versatilepb device=\"Intel  28F256J3 (16M x 16)\" base=0x80000000 bus=32", ""},
        {"versatilepb device=\"Intel  28F016SA (2M x 8)\" base=0x80000000 bus=32 banks=8", ""},
        // Byte-mode unlock, x16/x32 addressing.
        {"xilinx-zynq-a9 device=\"AMD  Am29LV160MB (2M x 8)\" base=0x80000000 bus=8",
         "code 32 unlocks a x8/x16 chip in byte mode"},
        {"musicpal device=\"AMD  Am29F200B (256K x 8)\" base=0x80000000 bus=16", "code 11 unlocks a x8/x16 chip"},
        {"musicpal device=\"AMD  Am29LV640MB (4M x 16)\" base=0x80000000 bus=8",
         "QEMU's musicpal has its flash on a 16-bit bus, not 8"},
        // JEDEC chips side by side.
        {"musicpal device=\"AMD  Am29LV065D\" base=0x80000000 bus=16", "QEMU's JEDEC model has no chips side by side"},
        // Command sets the machine's model does not speak.
        {"connex device=\"AMD  Am29LV640MB (4M x 16)\" base=0 bus=16", "a JEDEC device cannot stand on connex"},
        {"musicpal device=\"Intel  28F128J3 (8M x 16)\" base=0 bus=16", "an Intel device cannot stand on musicpal"},
        {"connex device=\"Atmel  AT29C1024\" base=0 bus=16", "QEMU has no model of page-write chips"},
        {"versatilepb device=\"AT91SAM7S128 Flash\" base=0 bus=32", "QEMU has no model of on-chip flash"},
        // Erase blocks that are not the catalogue's sectors: Intel boot
        // blocks, 64 KiB blocks where the machine has 128 KiB, JEDEC boot
        // sectors without regions=.
        {"connex device=\"Intel  28F160C3-B\" base=0 bus=16",
         "QEMU's erase blocks on connex differ from the sectors of \"Intel  28F160C3-B\" at bus offset 0x2000 "
         "(QEMU's blocks there are uniform, 128 KiB on the bus)"},
        {"connex device=\"Intel  28F016SA (1M x 16)\" base=0 bus=16", "QEMU's erase blocks on connex differ"},
        {"connex device=\"Intel  28F320J3 (4M x 8)\" base=0 bus=16", "QEMU's erase blocks on connex differ"},
        {"musicpal device=\"AMD  Am29LV640MB (4M x 16)\" base=0x80000000 bus=16",
         "QEMU's erase blocks on musicpal differ from the sectors of \"AMD  Am29LV640MB (4M x 16)\" at bus offset "
         "0x2000 (regions= sets QEMU's blocks)"},
        // Sizes.
        {"musicpal device=\"AMD  Am29LV640MB (4M x 16)\" base=0x80000000 bus=16 regions=8x8K,63x64K",
         "regions= add up to 4 MiB; QEMU's musicpal takes a flash of 8 MiB or 16 MiB or 32 MiB"},
        {"connex device=\"Intel  28F128J3 (8M x 16)\" base=0 bus=16 banks=2",
         "2 bank(s) of \"Intel  28F128J3 (8M x 16)\" take 32 MiB, more than QEMU's connex flash of 16 MiB"},
        {"connex device=\"Intel  28F128J3 (8M x 16)\" base=0 bus=16 regions=128x128K",
         "QEMU's connex has uniform erase blocks: regions= does not apply"},
        {"musicpal device=\"AMD  Am29LV640MB (4M x 16)\" base=0x80100000 bus=16 regions=8x8K,127x64K",
         "base 0x80100000 must be a multiple of the bank size"},
    };
    for (const auto& c : cases) {
        CBoardFile board;
        std::string error;
        ASSERT_TRUE(CBoardFile::Parse(std::string("qemu-flash ") + c.statement, board, error)) << error;
        const auto flash = CSimQemuFlash::Check(board.qemuFlashes.at(0), error);
        if (!*c.error)
            EXPECT_NE(flash, nullptr) << c.statement << ": " << error;
        else {
            EXPECT_EQ(flash, nullptr) << c.statement;
            EXPECT_NE(error.find(c.error), std::string::npos) << c.statement << "\n  got: " << error;
        }
    }
}

// A board refused for what QEMU cannot do names its line, and one that
// overlaps another region is refused before QEMU is started.
TEST(QemuFlashStatement, BoardNamesTheLine)
{
    CBoardFile file;
    std::string error;
    ASSERT_TRUE(CBoardFile::Parse("ram 0x80000000 64K\n"
                                  "qemu-flash connex device=\"Intel  28F128J3 (8M x 16)\" base=0x80000000 bus=16\n",
                                  file, error))
        << error;
    CSimBoardModel board;
    EXPECT_FALSE(board.Build(file, error));
    EXPECT_EQ(error.rfind("line 2: qemu-flash \"Intel  28F128J3 (8M x 16)\" 0x80000000..0x80FFFFFF overlaps ram", 0),
              0u)
        << error;
    EXPECT_TRUE(board.QemuFlashes().empty());
}

} // namespace

// QEMU's own CFI answers through a qemu-flash region: the erase block layout
// QEMU was built with is the catalogue device's, per chip (QEMU's JEDEC
// regions and its Intel device width as the board sets them), read with the
// bus cycles a host would use.
struct SCfiCase {
    const char* name;
    const char* statement;
    uint32_t busBytes;
    uint32_t deviceWidth;
};

void PrintTo(const SCfiCase& c, std::ostream* os)
{
    *os << c.name;
}

class QemuFlashCfi : public ::testing::TestWithParam<SCfiCase> {};

TEST_P(QemuFlashCfi, EraseBlocksAreTheCataloguesSectors)
{
    TARVEL_SKIP_WITHOUT_QEMU();
    const SCfiCase& c = GetParam();
    CBoardFile file;
    std::string error;
    ASSERT_TRUE(CBoardFile::Parse(std::string("qemu-flash ") + c.statement, file, error)) << error;
    CSimBoardModel board;
    ASSERT_TRUE(board.Build(file, error)) << error;
    const uint32_t base = file.qemuFlashes[0].base;
    const uint32_t lanes = c.busBytes / c.deviceWidth;
    uint32_t replicated = 0;
    for (uint32_t lane = 0; lane < lanes; ++lane)
        replicated |= 0x98u << (8 * lane * c.deviceWidth);
    // CFI query at device word 0x55; entry i answers at device word i, one
    // byte per chip, the same in every lane.
    ASSERT_TRUE(board.BusWrite(base + 0x55 * c.deviceWidth * lanes, int(c.busBytes), replicated));
    auto entry = [&](uint32_t i) {
        uint32_t value = 0;
        EXPECT_TRUE(board.BusRead(base + i * c.deviceWidth * lanes, int(c.busBytes), value));
        for (uint32_t lane = 1; lane < lanes; ++lane)
            EXPECT_EQ((value >> (8 * lane * c.deviceWidth)) & 0xFF, value & 0xFF) << "lane " << lane;
        return value & 0xFF;
    };
    ASSERT_EQ(entry(0x10), uint32_t('Q'));
    ASSERT_EQ(entry(0x11), uint32_t('R'));
    ASSERT_EQ(entry(0x12), uint32_t('Y'));
    std::vector<uint32_t> blocks;
    const uint32_t regions = entry(0x2C);
    for (uint32_t r = 0; r < regions; ++r) {
        const uint32_t count = (entry(0x2D + 4 * r) | entry(0x2E + 4 * r) << 8) + 1;
        const uint32_t size = (entry(0x2F + 4 * r) | entry(0x30 + 4 * r) << 8) * 256;
        for (uint32_t i = 0; i < count; ++i)
            blocks.push_back(size);
    }
    CSimFlashGeometry geometry;
    ASSERT_TRUE(LookupSimFlashGeometry(file.qemuFlashes[0].device, geometry));
    ASSERT_GE(blocks.size(), geometry.sectorStarts.size());
    for (size_t s = 0; s < geometry.sectorStarts.size(); ++s)
        EXPECT_EQ(blocks[s], geometry.SectorEnd(int(s)) - geometry.SectorStart(int(s))) << "sector " << s;
}

INSTANTIATE_TEST_SUITE_P(
    Boards, QemuFlashCfi,
    ::testing::Values(
        SCfiCase{"JedecBottomBoot",
                 "musicpal device=\"AMD  Am29LV640MB (4M x 16)\" base=0x80000000 bus=16 regions=8x8K,127x64K", 2, 2},
        SCfiCase{"JedecTopBoot",
                 "musicpal device=\"AMD  Am29LV640MT (4M x 16)\" base=0x80000000 bus=16 regions=127x64K,8x8K", 2, 2},
        SCfiCase{"JedecX8BottomBoot", "xilinx-zynq-a9 device=\"AMD  Am29LV008BB\" base=0x80000000 bus=8 "
                 "regions=1x16K,2x8K,1x32K,1023x64K",
                 1, 1},
        SCfiCase{"IntelOneX16On16", "verdex device=\"Intel  28F256J3 (16M x 16)\" base=0x80000000 bus=16", 2, 2},
        SCfiCase{"IntelTwoX8On16", "connex device=\"Intel  28F016SA (2M x 8)\" base=0x80000000 bus=16", 2, 1},
        SCfiCase{"IntelTwoX16On32", "versatilepb device=\"Intel  28F128J3 (8M x 16)\" base=0x80000000 bus=32", 4,
                 2}),
    [](const ::testing::TestParamInfo<SCfiCase>& info) { return info.param.name; });

namespace {

// An existing drive is QEMU's flash as it is: one of another size than the
// machine takes is refused and left alone.
TEST(QemuFlashStatement, DriveOfTheWrongSizeIsRefusedAndKept)
{
    TARVEL_SKIP_WITHOUT_QEMU();
    CTempDir dir;
    const std::string drive = dir.File("small.img");
    WriteFileBytes(drive, std::string(4096, '\x11'));
    CBoardFile file;
    std::string error;
    ASSERT_TRUE(CBoardFile::Parse("\nqemu-flash connex device=\"Intel  28F128J3 (8M x 16)\" base=0 bus=16 drive=" +
                                      drive,
                                  file, error))
        << error;
    CSimBoardModel board;
    EXPECT_FALSE(board.Build(file, error));
    EXPECT_EQ(error, "line 2: drive \"" + drive + "\" holds 4096 bytes; QEMU's connex flash here takes 16777216");
    EXPECT_EQ(ReadFileBytes(drive), std::string(4096, '\x11'));
}

} // namespace
