// Board file parsing: what a good file yields, a clear error with the line
// for every kind of bad input, and the sample boards shipped in boards/.

#include "sim/board_file.h"
#include "sim/qemu_qtest_client.h"
#include "sim/sim_board_model.h"
#include "sim/sim_flash_algorithm.h"
#include "sim/sim_flash_geometry.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

TEST(BoardFile, ParsesEveryKindOfLine)
{
    const char* text = "# a comment line\n"
                       "board Test rig  #2\n"
                       "\n"
                       "ram 0x40000000 64K cs=0xFFE00000:0x3C01:0xFF0F   # trailing comment\n"
                       "ram 1610612736 2M\n"
                       "\tflash \"AMD  Am29LV400B (256K x 16)\" base=0x01000000 bus=32 banks=4 "
                       "sector-erase=700ms chip-erase=8s program=9us cs=0xFFE00004:1\r\n"
                       "flash \"Atmel  AT29C020\" bus=8 base=0\n"
                       "fault erase-fail 0x01010002\n"
                       "fault erase-hang 0x01020000\n"
                       "fault stuck 0x01000005 bit=7 value=0\n";
    CBoardFile board;
    std::string error;
    ASSERT_TRUE(CBoardFile::Parse(text, board, error)) << error;
    EXPECT_EQ(board.name, "Test rig");

    ASSERT_EQ(board.rams.size(), 2u);
    EXPECT_EQ(board.rams[0].base, 0x40000000u);
    EXPECT_EQ(board.rams[0].size, 64u * 1024);
    EXPECT_TRUE(board.rams[0].chipSelect.used);
    EXPECT_EQ(board.rams[0].chipSelect.address, 0xFFE00000u);
    EXPECT_EQ(board.rams[0].chipSelect.value, 0x3C01u);
    EXPECT_EQ(board.rams[0].chipSelect.mask, 0xFF0Fu);
    EXPECT_EQ(board.rams[0].line, 4);
    EXPECT_EQ(board.rams[1].base, 0x60000000u);
    EXPECT_EQ(board.rams[1].size, 2u * 1024 * 1024);
    EXPECT_FALSE(board.rams[1].chipSelect.used);

    ASSERT_EQ(board.flashes.size(), 2u);
    const auto& f = board.flashes[0];
    EXPECT_EQ(f.device, "AMD  Am29LV400B (256K x 16)");
    EXPECT_EQ(f.base, 0x01000000u);
    EXPECT_EQ(f.busBits, 32u);
    EXPECT_EQ(f.banks, 4u);
    EXPECT_EQ(f.sectorEraseMicros, 700000u);
    ASSERT_TRUE(f.chipEraseMicros.has_value());
    EXPECT_EQ(*f.chipEraseMicros, 8000000u);
    EXPECT_EQ(f.programMicrosPerByte, 9u);
    EXPECT_EQ(f.chipSelect.mask, 0xFFFFFFFFu);
    EXPECT_EQ(f.line, 6);
    EXPECT_EQ(board.flashes[1].banks, 1u);
    EXPECT_FALSE(board.flashes[1].chipEraseMicros.has_value());

    ASSERT_EQ(board.faults.size(), 3u);
    EXPECT_EQ(board.faults[0].kind, CBoardFile::EFaultKind::EraseFail);
    EXPECT_EQ(board.faults[0].address, 0x01010002u);
    EXPECT_EQ(board.faults[1].kind, CBoardFile::EFaultKind::EraseHang);
    EXPECT_EQ(board.faults[2].kind, CBoardFile::EFaultKind::StuckBit);
    EXPECT_EQ(board.faults[2].bit, 7);
    EXPECT_EQ(board.faults[2].value, 0);
    EXPECT_EQ(board.faults[2].line, 10);

    CSimBoardModel model;
    EXPECT_TRUE(model.Build(board, error)) << error;
    EXPECT_EQ(model.Name(), "Test rig");
}

struct CBadLine {
    const char* line;
    const char* error;
};

TEST(BoardFile, BadLinesGiveTheirLineNumberAndTheReason)
{
    const std::string f = "flash \"AMD  Am29F010\" ";
    const CBadLine cases[] = {
        {"flahs x", "unknown keyword \"flahs\" (expected board, ram, flash, fault or qemu-flash)"},
        {"board", "board needs a name"},
        {"ram 0x1000", "ram needs a base address and a size: ram BASE SIZE [cs=ADDR:VALUE[:MASK]]"},
        {"ram base=0 4K", "ram needs a base address and a size: ram BASE SIZE [cs=ADDR:VALUE[:MASK]]"},
        {"ram 0x1G000 4K", "bad base address \"0x1G000\""},
        {"ram 0x100000000 4K", "bad base address \"0x100000000\""},
        {"ram 0 0", "bad size \"0\" (a nonzero byte count, K or M allowed)"},
        {"ram 0 5G", "bad size \"5G\" (a nonzero byte count, K or M allowed)"},
        {"ram 0 8M 4K", "unexpected \"4K\" (expected key=value)"},
        {"ram 0 4K cs=0x10", "bad chip select \"0x10\" (expected ADDR:VALUE or ADDR:VALUE:MASK)"},
        {"ram 0 4K cs=1:2:3:4", "bad chip select \"1:2:3:4\" (expected ADDR:VALUE or ADDR:VALUE:MASK)"},
        {"ram 0 4K speed=1", "unknown key \"speed\""},
        {"flash base=0 bus=8", "flash needs a quoted catalogue device name: flash \"NAME\" base=ADDR bus=8|16|32 ..."},
        {"flash \"AMD Am29F010\" base=0 bus=8", "unknown flash device \"AMD Am29F010\""},
        {"flash \"AMD  Am29F010 base=0 bus=8", "unterminated quote"},
        {"flash \"AMD  Am29F010\" bus=8", "flash needs base=ADDR"},
        {"flash \"AMD  Am29F010\" base=0", "flash needs bus=8, 16 or 32"},
        {"flash \"AMD  Am29F010\" base=0 bus=12", "bus must be 8, 16 or 32, not \"12\""},
        {"flash \"AMD  Am29F010\" base=0 bus=8 banks=17", "banks must be 1 to 16, not \"17\""},
        {"flash \"AMD  Am29F010\" base=0 bus=8 banks=0", "banks must be 1 to 16, not \"0\""},
        {"flash \"AMD  Am29F010\" base=0 bus=8 base=4", "base= given twice"},
        {"flash \"AMD  Am29F010\" base=0 bus=8 program=5min",
         "bad duration \"5min\" (a whole number followed by us, ms or s, at most a day)"},
        {"flash \"AMD  Am29F010\" base=0 bus=8 sector-erase=ms",
         "bad duration \"ms\" (a whole number followed by us, ms or s, at most a day)"},
        {"flash \"AMD  Am29F010\" base=0 bus=8 chip-erase=90000s",
         "bad duration \"90000s\" (a whole number followed by us, ms or s, at most a day)"},
        {"fault 0x100", "fault needs a kind and an address: fault erase-fail|erase-hang|stuck ADDR ..."},
        {"fault melt 0x100", "unknown fault \"melt\" (expected erase-fail, erase-hang or stuck)"},
        {"fault erase-fail here", "bad address \"here\""},
        {"fault erase-fail 0x100 bit=1", "unknown key \"bit\""},
        {"fault stuck 0x100 bit=8 value=1", "bit must be 0 to 7, not \"8\""},
        {"fault stuck 0x100 bit=1 value=2", "value must be 0 or 1, not \"2\""},
        {"fault stuck 0x100 bit=1", "a stuck bit needs bit=0..7 and value=0|1"},
    };
    for (const auto& c : cases) {
        // The bad line comes third, after a comment and a good line.
        std::string text = "# board\nram 0x40000000 4K\n" + std::string(c.line) + "\nram 0x50000000 4K\n";
        CBoardFile board;
        board.name = "untouched";
        std::string error;
        EXPECT_FALSE(CBoardFile::Parse(text, board, error)) << c.line;
        EXPECT_EQ(error, std::string("line 3: ") + c.error) << c.line;
        EXPECT_EQ(board.name, "untouched");
        EXPECT_TRUE(board.rams.empty());
    }
}

TEST(BoardFile, ReadingAMissingOrBadFileSaysWhich)
{
    CTempDir dir;
    CBoardFile board;
    std::string error;
    EXPECT_FALSE(CBoardFile::Read(dir.File("none.board"), board, error));
    EXPECT_EQ(error, "cannot open board file \"" + dir.File("none.board") + "\"");

    WriteFileBytes(dir.File("bad.board"), std::string("ram 0 4K\n\x01\x02\x00\xFF\n", 14));
    EXPECT_FALSE(CBoardFile::Read(dir.File("bad.board"), board, error));
    EXPECT_EQ(error.rfind(dir.File("bad.board") + ": line 2: unknown keyword", 0), 0u) << error;

    // A device reports no size and never ends: read up to the limit only.
    EXPECT_FALSE(CBoardFile::Read("/dev/zero", board, error));
    EXPECT_EQ(error, "board file \"/dev/zero\" is larger than 1048576 bytes");
}

TEST(BoardFile, SampleBoardsBuildAndCoverEveryProgramAlgorithm)
{
    const std::filesystem::path dir = std::filesystem::path(TARVEL_TEST_DATA_DIR).parent_path().parent_path() / "boards";
    std::set<uint32_t> codes;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".board")
            continue;
        ++files;
        CBoardFile board;
        std::string error;
        ASSERT_TRUE(CBoardFile::Read(entry.path().string(), board, error)) << error;
        EXPECT_FALSE(board.name.empty()) << entry.path();
        // A board with QEMU's flash is built where QEMU is installed.
        if (!board.qemuFlashes.empty() && CQemuQtestClient::FindProgram().empty())
            continue;
        CSimBoardModel model;
        ASSERT_TRUE(model.Build(board, error)) << error;
        for (const auto& flash : board.flashes) {
            CSimFlashGeometry geometry;
            ASSERT_TRUE(LookupSimFlashGeometry(flash.device, geometry));
            codes.insert(geometry.programAlgorithm);
        }
    }
    EXPECT_GE(files, 4);
    int count = 0;
    const CSimFlashAlgorithm* rows = SimFlashAlgorithms(count);
    for (int i = 0; i < count; ++i)
        EXPECT_TRUE(codes.count(rows[i].code)) << "no sample board has a device of code " << rows[i].code;
}

TEST(BoardFile, TheDefaultBoardIsTheDemoBoard)
{
    CBoardFile fromText, fromFile;
    std::string error;
    ASSERT_TRUE(CBoardFile::Parse(CBoardFile::DefaultText(), fromText, error)) << error;
    const std::filesystem::path demo =
        std::filesystem::path(TARVEL_TEST_DATA_DIR).parent_path().parent_path() / "boards" / "demo.board";
    ASSERT_TRUE(CBoardFile::Read(demo.string(), fromFile, error)) << error;
    CBoardFile def = CBoardFile::Default();
    for (const CBoardFile* b : {&fromFile, &def}) {
        EXPECT_EQ(b->name, fromText.name);
        ASSERT_EQ(b->rams.size(), 1u);
        EXPECT_EQ(b->rams[0].base, fromText.rams[0].base);
        EXPECT_EQ(b->rams[0].size, fromText.rams[0].size);
        ASSERT_EQ(b->flashes.size(), 1u);
        const auto& f = b->flashes[0];
        const auto& t = fromText.flashes[0];
        EXPECT_EQ(f.device, t.device);
        EXPECT_EQ(f.base, t.base);
        EXPECT_EQ(f.busBits, t.busBits);
        EXPECT_EQ(f.banks, t.banks);
        EXPECT_EQ(f.sectorEraseMicros, t.sectorEraseMicros);
        EXPECT_EQ(f.chipEraseMicros, t.chipEraseMicros);
        EXPECT_EQ(f.programMicrosPerByte, t.programMicrosPerByte);
        EXPECT_TRUE(b->faults.empty());
    }
}

TEST(SimFlashGeometry, EveryRowIsConsistentWithItsAlgorithm)
{
    // Each device the board knows: sectors ascend from 0 inside the device,
    // its width is the one its algorithm implies, and only page-write chips
    // have a page size and no erase code.
    const char* names[] = {"AMD  Am29LV001BT", "AMD  Am29F010", "AMD  Am29F040", "AMD  Am29F100T (128K x 8)",
                           "AMD  Am29F100T (64K x 16)", "AMD  Am29LV400B (512K x 8)", "AMD  Am29LV400B (256K x 16)",
                           "AMD  Am29LV017M", "AMD  Am29LV160MB (2M x 8)", "AMD  Am29LV160MB (1M x 16)",
                           "AMD  Am29PL320DB (2M x 16)", "AMD  Am29PL320DB (1M x 32)", "Atmel  AT29C1024",
                           "Atmel  AT29C020", "Atmel  AT49x040 (512K x 8)", "Atmel  AT49x4096A (512K x 8)",
                           "Atmel  AT49x4096A (256K x 16)", "SST 39VF400A (256K x 16)", "Intel  28F004B5-T",
                           "Intel  28F400B5-B (256K x 16)", "Intel  28F320J3 (4M x 8)", "Intel  28F320J3 (2M x 16)",
                           "MAC7112 Program Flash (256K)", "MAC7100 Data Flash (32K)", "LPC2000 Flash (128K)",
                           "LPC2138/48 Flash (512K)", "STR71xF Flash (256K)", "STR71xF Flash (16K)",
                           "ST30F772 Flash (256K)", "ADuC7000 Flash", "AT91SAM7S32 Flash", "STR91xF Flash (32K)",
                           "STR91xF Flash (512K+32K)"};
    for (const char* name : names) {
        CSimFlashGeometry g;
        ASSERT_TRUE(LookupSimFlashGeometry(name, g)) << name;
        const CSimFlashAlgorithm* a = FindSimFlashAlgorithm(g.programAlgorithm);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_EQ(g.deviceWidth, a->deviceWidth) << name;
        bool pages = a->commandSet == ESimCommandSet::PageWrite;
        EXPECT_EQ(g.pageSize, pages ? 256u : 0u) << name;
        EXPECT_EQ(g.eraseAlgorithm, pages ? 0u : g.programAlgorithm) << name;
        ASSERT_FALSE(g.sectorStarts.empty()) << name;
        EXPECT_EQ(g.sectorStarts[0], 0u) << name;
        for (size_t i = 1; i < g.sectorStarts.size(); ++i)
            EXPECT_LT(g.sectorStarts[i - 1], g.sectorStarts[i]) << name;
        EXPECT_LT(g.sectorStarts.back(), g.size) << name;
        EXPECT_EQ(g.size % g.deviceWidth, 0u) << name;
    }
    CSimFlashGeometry g;
    EXPECT_FALSE(LookupSimFlashGeometry("AMD Am29F010", g));
    EXPECT_FALSE(LookupSimFlashGeometry("NONE", g));
}

} // namespace
