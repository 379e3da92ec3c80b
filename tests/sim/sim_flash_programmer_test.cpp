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

CTarget MakeTarget(const CProgramCase& c, const std::string& extra = "", const std::string& flashKeys = "",
                   std::shared_ptr<CClock> clock = nullptr)
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
    t.board = MakeBoard(Format("ram 0x%08X 64K\nflash \"%s\" base=0x%08X bus=%d%s\n", kRam, c.device, t.base,
                               c.busBits, flashKeys.c_str()) +
                            extra,
                        std::move(clock));
    return t;
}

void PrintTo(const CProgramCase& c, std::ostream* out)
{
    *out << "code " << int(c.code) << ", " << c.busBits << "-bit bus";
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

// A manual clock that counts how often it is read.
class CCountingClock final : public CClock {
public:
    uint64_t NowMicros() override
    {
        ++reads;
        return clock.NowMicros();
    }
    void Wait(uint64_t micros) override { clock.Wait(micros); }
    CManualClock clock;
    uint64_t reads = 0;
};

TEST_P(FirmwareProgramming, ReadsTheClockOnlyWhenTheChipTakesTime)
{
    // Without a program time the chip is done at the first look: programming
    // runs at memory speed, never asking the time. With one, the chip is
    // busy until its time has passed on the board's clock.
    for (const bool timed : {false, true}) {
        SCOPED_TRACE(timed ? "program=10us" : "no program time");
        auto clock = std::make_shared<CCountingClock>();
        CTarget t = MakeTarget(GetParam(), "", timed ? " program=10us" : "", clock);
        const std::vector<uint8_t> data = Pattern(256);
        uint32_t fail = 0;
        ASSERT_EQ(t.Setup(), 0);
        const uint64_t start = clock->clock.NowMicros();
        ASSERT_EQ(t.Program(t.base + 0x200, data, fail), 0) << std::hex << fail;
        EXPECT_EQ(PeekBytes(*t.board, t.base + 0x200, 256), data);
        if (timed) {
            // The devices side by side on the bus program in parallel, each
            // word of a device in width x 10 us.
            EXPECT_GE(clock->clock.NowMicros() - start, 256u / t.busBytes * t.geometry.deviceWidth * 10u);
        } else {
            EXPECT_EQ(clock->reads, 0u);
        }
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

struct CSetupCase {
    const char* why;
    uint8_t code;
    uint8_t busBytes;
    uint32_t p1;
    uint32_t workspace;
    int status;
};

TEST(FirmwareSetup, ChecksModeBusWidthParametersAndWorkspace)
{
    auto board = MakeBoard("ram 0x40000000 64K\n"
                           "flash \"AMD  Am29F040\" base=0x01000000 bus=16\n");
    const uint32_t mask1M = ~(0x100000u - 1);
    const CSetupCase cases[] = {
        {"end of session", 0, 0, 0, 0, 0},
        {"verify", 1, 0, 0, 0, 0},
        {"code no device uses", 7, 2, mask1M, kNoWorkspace, 1},
        {"code out of range", 200, 2, mask1M, kNoWorkspace, 1},
        {"bus width 3", 2, 3, mask1M, kNoWorkspace, 4},
        {"x16 device on an 8-bit bus", 12, 1, mask1M, kNoWorkspace, 4},
        {"x32 device on a 16-bit bus", 36, 2, mask1M, kNoWorkspace, 4},
        {"on-chip flash on the wrong bus", 40, 2, mask1M, kNoWorkspace, 4},
        {"bank mask 0", 2, 2, 0, kNoWorkspace, 4},
        {"bank mask with a hole", 2, 2, 0xFFF00001, kNoWorkspace, 4},
        {"device size 0", 42, 1, 0, kRam, 4},
        {"workspace required, none given", 42, 1, 0x20000, kNoWorkspace, 3},
        {"workspace required, no RAM there", 27, 1, ~(0x40000u - 1), 0x50000000, 3},
        {"workspace runs past the RAM", 2, 2, mask1M, kRam + 0x10000 - 0x400, 3},
        {"no workspace", 2, 2, mask1M, kNoWorkspace, 0},
        {"workspace in RAM", 2, 2, mask1M, kRam, 0},
        {"workspace not used by the code", 46, 4, 0x8000, 0x50000000, 0},
        {"page write with its workspace", 28, 4, ~(0x40000u - 1), kRam + 0x800, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(board->FlashSetup(c.code, c.busBytes, c.p1, c.workspace, 0), c.status) << c.why;
}

TEST(FirmwareSetup, AWorkspaceInUseIsOverwrittenAndNothingBeyondIt)
{
    auto board = MakeBoard("ram 0x40000000 64K\n"
                           "flash \"AMD  Am29F040\" base=0x01000000 bus=16\n");
    for (uint32_t i = 0; i < 4096; i += 4)
        ASSERT_TRUE(board->BusWrite(kRam + 0x1000 + i, 4, 0x5A5A5A5A));
    ASSERT_EQ(board->FlashSetup(2, 2, ~(0x100000u - 1), kRam + 0x1000, 0), 0);
    EXPECT_NE(PeekBytes(*board, kRam + 0x1000, 2048), std::vector<uint8_t>(2048, 0x5A));
    EXPECT_EQ(PeekBytes(*board, kRam + 0x1800, 2048), std::vector<uint8_t>(2048, 0x5A));
}

TEST(FirmwareSetup, ProgrammingOutsideASessionIsAnInvalidMode)
{
    auto board = MakeBoard("flash \"AMD  Am29F040\" base=0x01000000 bus=16\n");
    const uint8_t byte = 0;
    uint32_t fail = 0;
    EXPECT_EQ(board->FlashProgram(0x01000000, &byte, 1, fail), -4102);
    ASSERT_EQ(board->FlashSetup(2, 2, ~(0x100000u - 1), kNoWorkspace, 0), 0);
    EXPECT_EQ(board->FlashSetup(2, 3, ~(0x100000u - 1), kNoWorkspace, 0), 4);
    EXPECT_EQ(board->FlashProgram(0x01000000, &byte, 1, fail), -4102) << "a failed setup ends the session";
    ASSERT_EQ(board->FlashSetup(2, 2, ~(0x100000u - 1), kNoWorkspace, 0), 0);
    EXPECT_EQ(board->FlashProgram(0x01000000, &byte, 1, fail), 0);
    board->FlashSetup(0, 0, 0, 0, 0);
    EXPECT_EQ(board->FlashProgram(0x01000000, &byte, 1, fail), -4102);
}

TEST(FirmwarePrograms, AcrossTwoBanksAndFailsWhereNothingAnswers)
{
    // Two banks of 1 MiB (two x8 chips each); the block straddles them and
    // the second bank ends the flash.
    auto board = MakeBoard("flash \"AMD  Am29F040\" base=0x01000000 bus=16 banks=2\n");
    const std::vector<uint8_t> data = Pattern(64);
    EXPECT_EQ(FirmwareProgram(*board, 2, 2, ~(0x100000u - 1), 0x010FFFE0, data), 0);
    EXPECT_EQ(PeekBytes(*board, 0x010FFFE0, 64), data);
    uint32_t fail = 0;
    EXPECT_EQ(FirmwareProgram(*board, 2, 2, ~(0x100000u - 1), 0x011FFFF0, data, &fail), -1206);
    EXPECT_EQ(fail, 0x01200000u);
}

// On-chip flash erased through FlashErase / FlashEraseStatus.
class OnChipErase : public testing::Test {
protected:
    void SetUp() override
    {
        clock_ = std::make_shared<CManualClock>();
        board_ = MakeBoard("ram 0x40000000 64K\n"
                           "flash \"LPC2000 Flash (128K)\" base=0 bus=8 sector-erase=100ms\n"
                           "flash \"MAC7112 Program Flash (256K)\" base=0x01000000 bus=32 sector-erase=20ms "
                           "chip-erase=300ms\n"
                           "flash \"STR71xF Flash (256K)\" base=0x02000000 bus=32 sector-erase=30ms\n"
                           "flash \"STR71xF Flash (16K)\" base=0x02100000 bus=32 sector-erase=30ms\n"
                           "flash \"ADuC7000 Flash\" base=0x03000000 bus=16 sector-erase=2ms\n"
                           "flash \"AT91SAM7S32 Flash\" base=0x04000000 bus=32 chip-erase=10ms\n"
                           "fault erase-fail 0x01005000\n"
                           "fault erase-hang 0x01007000\n",
                           clock_);
    }

    // Puts zeros at the start of each sector (offsets given) of an on-chip flash.
    void Mark(uint8_t code, uint8_t bus, uint32_t p1, uint32_t base, std::vector<uint32_t> offsets)
    {
        for (uint32_t o : offsets)
            ASSERT_EQ(FirmwareProgram(*board_, code, bus, p1, base + o, std::vector<uint8_t>(4, 0), nullptr,
                                      code == 42 ? kRam : kNoWorkspace),
                      0);
    }

    bool Erased(uint32_t address) { return PeekBytes(*board_, address, 4) == std::vector<uint8_t>(4, 0xFF); }

    std::pair<int, uint32_t> Status()
    {
        uint8_t state = 0xEE;
        uint32_t value = 0;
        board_->FlashEraseStatus(state, value);
        return {state, value};
    }

    std::shared_ptr<CManualClock> clock_;
    std::unique_ptr<CSimBoardModel> board_;
};

TEST_F(OnChipErase, NothingRequestedReportsDoneAndZero)
{
    EXPECT_EQ(Status(), std::make_pair(0, 0u));
}

TEST_F(OnChipErase, Code40SectorRequestWaitsForTheEraseAndReportsItsTime)
{
    Mark(40, 4, ~(0x40000u - 1), 0x01000000, {0x2000, 0x3000, 0x4000});
    const uint64_t before = clock_->NowMicros();
    ASSERT_EQ(board_->FlashErase(40, 1, 0, 0x01003000, kNoWorkspace, 0), 0);
    EXPECT_GE(clock_->NowMicros() - before, 20000u);
    EXPECT_EQ(Status(), std::make_pair(0, 20u));
    EXPECT_FALSE(Erased(0x01002000));
    EXPECT_TRUE(Erased(0x01003000));
    EXPECT_FALSE(Erased(0x01004000));

    EXPECT_EQ(board_->FlashErase(40, 1, 0, 0x01003100, kNoWorkspace, 0), 4) << "not a sector start";
    EXPECT_EQ(board_->FlashErase(40, 2, 0, 0x01003000, kNoWorkspace, 0), 1);
    ASSERT_EQ(board_->FlashErase(40, 0, 0, 0x01000000, kNoWorkspace, 0), 0);
    EXPECT_EQ(Status().first, 2) << "the whole device includes the sector that never finishes";
}

TEST_F(OnChipErase, Code40FailureAndHangReportTheSectorAddress)
{
    ASSERT_EQ(board_->FlashErase(40, 1, 0, 0x01005000, kNoWorkspace, 0), 0);
    EXPECT_EQ(Status(), std::make_pair(1, 0x01005000u));

    const uint64_t before = clock_->NowMicros();
    ASSERT_EQ(board_->FlashErase(40, 1, 0, 0x01007000, kNoWorkspace, 0), 0);
    EXPECT_GE(clock_->NowMicros() - before, 2000000u) << "gave the erase its two seconds";
    EXPECT_EQ(Status(), std::make_pair(2, 0x01007000u));
    EXPECT_EQ(board_->FlashErase(40, 1, 0, 0x01003000, kNoWorkspace, 0), 4) << "still busy";
}

TEST_F(OnChipErase, Code42ErasesTheSectorsOfTheMaskAndStaysBusyMeanwhile)
{
    Mark(42, 1, 0x20000, 0, {0x2000, 0x4000, 0x6000});
    ASSERT_EQ(board_->FlashErase(42, 0, 0x20000, (1u << 1) | (1u << 3), kRam, 0), 0);
    EXPECT_EQ(Status().first, 2);
    clock_->AdvanceMicros(199999);
    EXPECT_EQ(Status().first, 2);
    clock_->AdvanceMicros(1);
    EXPECT_EQ(Status(), std::make_pair(0, 200u));
    EXPECT_TRUE(Erased(0x2000));
    EXPECT_FALSE(Erased(0x4000));
    EXPECT_TRUE(Erased(0x6000));
}

TEST_F(OnChipErase, RequestsThatNameNoSectorOrDeviceAreRefused)
{
    EXPECT_EQ(board_->FlashErase(2, 0, 0, 0, kNoWorkspace, 0), 1) << "not an on-chip code";
    EXPECT_EQ(board_->FlashErase(42, 1, 0x20000, 1, kRam, 0), 1) << "42 knows mode 0 only";
    EXPECT_EQ(board_->FlashErase(42, 0, 0x20000, 1u << 15, kRam, 0), 4) << "the device has 15 sectors";
    EXPECT_EQ(board_->FlashErase(42, 0, 0x20000, 0, kRam, 0), 4) << "no sector";
    EXPECT_EQ(board_->FlashErase(42, 0, 0x40000, 1, kRam, 0), 4) << "no device of that size";
    EXPECT_EQ(board_->FlashErase(42, 0, 0x20000, 1, kNoWorkspace, 0), 3) << "42 needs its workspace";
    EXPECT_EQ(board_->FlashErase(43, 0, 0x4000, 1, kNoWorkspace, 0), 4) << "two-sector devices use bits 16 up";
    EXPECT_EQ(board_->FlashErase(44, 1, 0, 0x03000100, kNoWorkspace, 0), 4) << "not a sector start";
    EXPECT_EQ(board_->FlashErase(46, 0, 0x10000, 0x04000000, kNoWorkspace, 0), 4) << "wrong device size";
}

TEST_F(OnChipErase, Code43SmallDevicesUseTheUpperMaskBits)
{
    Mark(43, 4, ~(0x4000u - 1), 0x02100000, {0, 0x2000});
    Mark(43, 4, ~(0x40000u - 1), 0x02000000, {0});
    ASSERT_EQ(board_->FlashErase(43, 0, 0x4000, 1u << 17, kNoWorkspace, 0), 0);
    clock_->AdvanceMicros(30000);
    EXPECT_EQ(Status(), std::make_pair(0, 30u));
    EXPECT_FALSE(Erased(0x02100000));
    EXPECT_TRUE(Erased(0x02102000));
    EXPECT_FALSE(Erased(0x02000000));
    ASSERT_EQ(board_->FlashErase(43, 0, 0x40000, 1u << 0, kNoWorkspace, 0), 0);
    clock_->AdvanceMicros(30000);
    EXPECT_TRUE(Erased(0x02000000));
}

TEST_F(OnChipErase, Codes44And46EraseASectorOrTheWholeDevice)
{
    Mark(44, 2, ~(0x10000u - 1), 0x03000000, {0x200, 0x400});
    ASSERT_EQ(board_->FlashErase(44, 1, 0, 0x03000400, kNoWorkspace, 0), 0);
    clock_->AdvanceMicros(2000);
    EXPECT_EQ(Status().first, 0);
    EXPECT_FALSE(Erased(0x03000200));
    EXPECT_TRUE(Erased(0x03000400));

    Mark(46, 4, 0x8000, 0x04000000, {0x80, 0x7000});
    ASSERT_EQ(board_->FlashErase(46, 0, 0x8000, 0x04000000, kNoWorkspace, 0), 0);
    EXPECT_EQ(Status().first, 2);
    clock_->AdvanceMicros(10000);
    EXPECT_EQ(Status(), std::make_pair(0, 10u));
    EXPECT_TRUE(Erased(0x04000080));
    EXPECT_TRUE(Erased(0x04007000));
}

} // namespace
