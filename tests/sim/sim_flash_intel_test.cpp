// Intel command set at bus level: block erase with lane masks, the status
// register per lane (ready, erase and program errors), program 1->0 only,
// and the 16-bit STR91xF flash.

#include "sim_flash_test_board.h"

#include <gtest/gtest.h>

namespace {

// Two x8 chips on a 16-bit bus: commands go to both lanes, mask 0xFFFF.
class IntelTwoLanes : public testing::Test {
protected:
    // "Intel  28F004B5-T": sectors 3 x 128 KiB, 96 KiB, 2 x 8 KiB, 16 KiB; sector 1 at device 0x20000.
    static constexpr uint32_t kSector1 = 0x20000 * 2;

    void Make(const std::string& extra = "")
    {
        clock_ = std::make_shared<CManualClock>();
        board_ = MakeBoard("flash \"Intel  28F004B5-T\" base=0 bus=16 sector-erase=2ms program=5us\n" + extra, clock_);
        ASSERT_EQ(FirmwareProgram(*board_, 5, 2, ~(0x100000u - 1), kSector1, Pattern(16)), 0);
    }

    void BlockErase(uint32_t at)
    {
        board_->BusWrite(at, 2, 0x2020);
        board_->BusWrite(at, 2, 0xD0D0);
    }

    void ClearAndReadArray(uint32_t at)
    {
        board_->BusWrite(at, 2, 0x5050);
        board_->BusWrite(at, 2, 0xFFFF);
    }

    uint32_t Status() { return Read(*board_, kSector1, 2); }

    std::shared_ptr<CManualClock> clock_;
    std::unique_ptr<CSimBoardModel> board_;
};

TEST_F(IntelTwoLanes, BlockEraseReportsBusyThenReadyInEachLane)
{
    Make();
    BlockErase(kSector1 + 0x100); // any address inside the block
    EXPECT_EQ(Status(), 0x0000u);
    clock_->AdvanceMicros(1999);
    EXPECT_EQ(Status(), 0x0000u);
    clock_->AdvanceMicros(1);
    EXPECT_EQ(Status(), 0x8080u);
    EXPECT_EQ(Read(*board_, 0, 2), 0x8080u) << "status at any address until read array";
    ClearAndReadArray(kSector1);
    EXPECT_EQ(PeekBytes(*board_, kSector1, 16), std::vector<uint8_t>(16, 0xFF));
    EXPECT_EQ(Status(), 0xFFFFu);
}

TEST_F(IntelTwoLanes, EraseFailureShowsBit5InItsLaneAndClearStatusResetsIt)
{
    Make("fault erase-fail 0x40000\n"); // lane 0
    BlockErase(kSector1);
    clock_->AdvanceMicros(2000);
    EXPECT_EQ(Status(), 0x80A0u);
    board_->BusWrite(kSector1, 2, 0x5050);
    EXPECT_EQ(Status(), 0x8080u);
    board_->BusWrite(kSector1, 2, 0xFFFF);
    std::vector<uint8_t> bytes = PeekBytes(*board_, kSector1, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bytes[i], i % 2 ? 0xFF : Pattern(16)[i]) << i;
}

TEST_F(IntelTwoLanes, HungLaneStaysBusyWhileTheOtherIsReady)
{
    Make("fault erase-hang 0x40001\n"); // lane 1
    BlockErase(kSector1);
    clock_->AdvanceMicros(60000000);
    EXPECT_EQ(Status(), 0x0080u);
    ClearAndReadArray(kSector1); // read array abandons the hung erase
    EXPECT_EQ(Status(), uint32_t(0xFF | Pattern(2)[1] << 8));
}

TEST_F(IntelTwoLanes, EraseSetupFollowedByAnythingButConfirmIsASequenceError)
{
    Make();
    board_->BusWrite(kSector1, 2, 0x2020);
    board_->BusWrite(kSector1, 2, 0xFFFF);
    EXPECT_EQ(Status(), 0xB0B0u);
    ClearAndReadArray(kSector1);
    EXPECT_EQ(PeekBytes(*board_, kSector1, 16), Pattern(16));
}

TEST_F(IntelTwoLanes, ProgramClearsBitsOnlyAndFlagsBit4Otherwise)
{
    Make();
    const uint32_t at = 0x100;
    auto program = [&](uint32_t value) {
        board_->BusWrite(at, 2, 0x4040);
        board_->BusWrite(at, 2, value);
    };
    program(0x0FF0);
    EXPECT_EQ(Status() & 0x8080, 0u) << "busy";
    clock_->AdvanceMicros(10);
    EXPECT_EQ(Status(), 0x8080u);
    program(0xFF00); // lane 0: 0xF0 -> 0x00 fine; lane 1: 0x0F -> 0xFF impossible
    clock_->AdvanceMicros(10);
    EXPECT_EQ(Status(), 0x9080u);
    ClearAndReadArray(at);
    EXPECT_EQ(Read(*board_, at, 2), 0x0F00u);
}

TEST(IntelWideBus, TwoX16ChipsOnA32BitBusUseTheLowByteOfEachLane)
{
    // "Intel  28F400B5-B (256K x 16)": sectors 16 KiB, 2 x 8 KiB, ...; sector 1 at device 0x4000.
    auto board = MakeBoard("flash \"Intel  28F400B5-B (256K x 16)\" base=0x20000000 bus=32\n"
                           "fault erase-fail 0x20008002\n"); // sector 1, lane 1
    const uint32_t sector1 = 0x20000000 + 0x4000 * 2;
    ASSERT_EQ(FirmwareProgram(*board, 6, 4, ~(0x100000u - 1), sector1, Pattern(8)), 0);
    board->BusWrite(sector1, 4, 0x00200020);
    board->BusWrite(sector1, 4, 0x00D000D0);
    EXPECT_EQ(Read(*board, sector1, 4), 0x00A00080u);
    board->BusWrite(sector1, 4, 0x00500050);
    board->BusWrite(sector1, 4, 0x00FF00FF);
    std::vector<uint8_t> bytes = PeekBytes(*board, sector1, 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(bytes[i], i % 4 >= 2 ? Pattern(8)[i] : 0xFF) << i;
}

TEST(IntelStr91, SixteenBitCommandsWithBit7ReadyAndBit5Failure)
{
    // "STR91xF Flash (32K)": 4 x 8 KiB on a 16-bit bus.
    auto board = MakeBoard("flash \"STR91xF Flash (32K)\" base=0x00400000 bus=16\n"
                           "fault erase-fail 0x00404000\n");
    ASSERT_EQ(FirmwareProgram(*board, 49, 2, ~(0x8000u - 1), 0x00402000, Pattern(4)), 0);
    ASSERT_EQ(FirmwareProgram(*board, 49, 2, ~(0x8000u - 1), 0x00404000, Pattern(4)), 0);
    for (uint32_t at : {0x00402000u, 0x00404000u}) {
        board->BusWrite(at, 2, 0x20);
        board->BusWrite(at, 2, 0xD0);
        uint32_t status = Read(*board, at, 2);
        EXPECT_EQ(status & 0xA0, at == 0x00402000u ? 0x80u : 0xA0u);
        board->BusWrite(at, 2, 0x50);
        board->BusWrite(at, 2, 0xFFFF);
    }
    EXPECT_EQ(PeekBytes(*board, 0x00402000, 4), std::vector<uint8_t>(4, 0xFF));
    EXPECT_EQ(PeekBytes(*board, 0x00404000, 4), Pattern(4));
}

} // namespace
