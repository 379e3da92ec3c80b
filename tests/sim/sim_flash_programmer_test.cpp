// The firmware's flash algorithms on the simulated board: FlashSetup's
// checks, programming through each device's own command set for every
// program algorithm code of the catalogue, verify, -1206 with the first
// failing byte, and the on-chip erase requests.

#include "sim/sim_flash_algorithm.h"
#include "sim/sim_flash_geometry.h"
#include "sim_flash_test_board.h"

#include "common/text_format.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kRam = 0x40000000;
constexpr uint32_t kNoWorkspace = 0xFFFFFFFF;

struct CProgramCase {
    uint8_t code;
    const char* device;
    int busBits;
};

struct CTarget {
    std::unique_ptr<CSimBoardModel> board;
    CSimFlashGeometry geometry;
    const CSimFlashAlgorithm* algorithm = nullptr;
    uint32_t base = 0;
    uint8_t busBytes = 0;
    uint32_t p1 = 0;
    uint32_t workspace = kNoWorkspace;

    int Setup() { return board->FlashSetup(algorithm->code, busBytes, p1, workspace, 0); }
    int Program(uint32_t address, const std::vector<uint8_t>& data, uint32_t& fail)
    {
        return board->FlashProgram(address, data.data(), uint32_t(data.size()), fail);
    }
};

// LPC2000 flash sits at 0; everything else at 16 MiB.
uint32_t BaseFor(uint8_t code)
{
    return code == 42 ? 0 : 0x01000000;
}

CTarget MakeTarget(const CProgramCase& c, const std::string& extra = "")
{
    CTarget t;
    EXPECT_TRUE(LookupSimFlashGeometry(c.device, t.geometry)) << c.device;
    t.algorithm = FindSimFlashAlgorithm(t.geometry.programAlgorithm);
    EXPECT_NE(t.algorithm, nullptr);
    t.base = BaseFor(c.code);
    t.busBytes = uint8_t(c.busBits / 8);
    uint32_t bankSize = t.geometry.size * (t.busBytes / t.geometry.deviceWidth);
    t.p1 = t.algorithm->sizeInP1 ? t.geometry.size : ~(bankSize - 1);
    if (t.algorithm->workspace == ESimWorkspace::Required)
        t.workspace = kRam;
    t.board = MakeBoard(Format("ram 0x%08X 64K\nflash \"%s\" base=0x%08X bus=%d\n", kRam, c.device, t.base,
                               c.busBits) +
                        extra);
    return t;
}

std::string CaseName(const testing::TestParamInfo<CProgramCase>& info)
{
    return "code" + std::to_string(info.param.code) + "_bus" + std::to_string(info.param.busBits);
}

class FirmwareProgramming : public testing::TestWithParam<CProgramCase> {};

TEST_P(FirmwareProgramming, ProgramsAMisalignedBlockKeepingItsNeighboursAndVerifies)
{
    CTarget t = MakeTarget(GetParam());
    ASSERT_EQ(t.algorithm->code, GetParam().code);
    const uint32_t at = t.base + 0x1FFD; // crosses bus words and, for page writes, a page
    const std::vector<uint8_t> before(13, 0x11), after(7, 0x22);
    const std::vector<uint8_t> data = Pattern(300);
    uint32_t fail = 0;
    ASSERT_EQ(t.Setup(), 0);
    ASSERT_EQ(t.Program(at - 13, before, fail), 0);
    ASSERT_EQ(t.Program(at + 300, after, fail), 0);
    ASSERT_EQ(t.Program(at, data, fail), 0) << std::hex << fail;
    EXPECT_EQ(PeekBytes(*t.board, at - 13, 13), before);
    EXPECT_EQ(PeekBytes(*t.board, at, 300), data);
    EXPECT_EQ(PeekBytes(*t.board, at + 300, 7), after);
    EXPECT_EQ(PeekBytes(*t.board, at + 307, 4), std::vector<uint8_t>(4, 0xFF));

    ASSERT_EQ(t.board->FlashSetup(1, 0, 0, 0, 0), 0);
    EXPECT_EQ(t.Program(at, data, fail), 0);
    std::vector<uint8_t> other = data;
    other[123] ^= 0x01;
    other[200] ^= 0x80;
    EXPECT_EQ(t.Program(at, other, fail), -1206);
    EXPECT_EQ(fail, at + 123);
}

TEST_P(FirmwareProgramming, AZeroBitThatMustBecomeOneFailsAtItsByteExceptOnPageWriteChips)
{
    CTarget t = MakeTarget(GetParam());
    const uint32_t at = t.base + 0x400;
    std::vector<uint8_t> data = Pattern(64, 0x00); // no byte is 0xFF
    uint32_t fail = 0;
    ASSERT_EQ(t.Setup(), 0);
    ASSERT_EQ(t.Program(at, data, fail), 0);
    data[37] = 0xFF;
    data[38] = 0x00;
    int status = t.Program(at, data, fail);
    if (t.algorithm->commandSet == ESimCommandSet::PageWrite) {
        EXPECT_EQ(status, 0);
        EXPECT_EQ(PeekBytes(*t.board, at, 64), data);
    } else {
        EXPECT_EQ(status, -1206);
        EXPECT_EQ(fail, at + 37);
        EXPECT_EQ(PeekBytes(*t.board, at + 36, 1)[0], data[36]);
    }
}

TEST_P(FirmwareProgramming, AStuckBitFailsAtItsByte)
{
    CTarget t = MakeTarget(GetParam(), Format("fault stuck 0x%08X bit=6 value=1\n", BaseFor(GetParam().code) + 0x805));
    uint32_t fail = 0;
    ASSERT_EQ(t.Setup(), 0);
    EXPECT_EQ(t.Program(t.base + 0x800, std::vector<uint8_t>(16, 0x00), fail), -1206);
    EXPECT_EQ(fail, t.base + 0x805);
}

const std::vector<CProgramCase> kCases = {
    {2, "AMD  Am29F040", 16},
    {5, "Intel  28F004B5-T", 32},
    {6, "Intel  28F400B5-B (256K x 16)", 16},
    {11, "AMD  Am29LV400B (512K x 8)", 8},
    {12, "AMD  Am29LV400B (256K x 16)", 32},
    {22, "Atmel  AT49x040 (512K x 8)", 8},
    {23, "Atmel  AT49x4096A (512K x 8)", 16},
    {24, "SST 39VF400A (256K x 16)", 16},
    {27, "Atmel  AT29C020", 8},
    {28, "Atmel  AT29C1024", 32},
    {29, "Intel  28F320J3 (4M x 8)", 8},
    {30, "Intel  28F320J3 (2M x 16)", 32},
    {31, "AMD  Am29LV017M", 32},
    {32, "AMD  Am29LV160MB (2M x 8)", 16},
    {33, "AMD  Am29LV160MB (1M x 16)", 16},
    {35, "AMD  Am29PL320DB (2M x 16)", 32},
    {36, "AMD  Am29PL320DB (1M x 32)", 32},
    {40, "MAC7112 Program Flash (256K)", 32},
    {41, "MAC7100 Data Flash (32K)", 16},
    {42, "LPC2000 Flash (128K)", 8},
    {43, "STR71xF Flash (256K)", 32},
    {44, "ADuC7000 Flash", 16},
    {45, "ST30F772 Flash (256K)", 32},
    {46, "AT91SAM7S32 Flash", 32},
    {49, "STR91xF Flash (512K+32K)", 16},
};

INSTANTIATE_TEST_SUITE_P(EveryCode, FirmwareProgramming, testing::ValuesIn(kCases), CaseName);

TEST(FirmwareProgrammingCases, CoverEveryModelledCode)
{
    int count = 0;
    const CSimFlashAlgorithm* rows = SimFlashAlgorithms(count);
    for (int i = 0; i < count; ++i) {
        bool found = false;
        for (const auto& c : kCases)
            found |= c.code == rows[i].code;
        EXPECT_TRUE(found) << "code " << rows[i].code;
    }
}

} // namespace
