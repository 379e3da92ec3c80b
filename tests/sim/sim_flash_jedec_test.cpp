// JEDEC flash driven at bus level through the simulated board: unlock
// addresses per family and lane count, chip and sector erase, DQ7/DQ6/DQ5
// status while busy, program 1->0 only, stuck bits.

#include "sim/sim_flash_geometry.h"
#include "sim_flash_test_board.h"

#include "common/text_format.h"

#include <gtest/gtest.h>

namespace {

struct CUnlock {
    uint32_t u1;
    uint32_t u2;
};

struct CJedecCase {
    const char* device;
    int busBits;
    CUnlock right;               // device byte offsets the host uses (times the lanes on the bus)
    std::vector<CUnlock> wrong;  // realistic mistakes, also times the lanes
};

// The host's unlock offsets by family, as device byte offsets.
const CUnlock kX8{0x5555, 0x2AAA};
const CUnlock kByteWord8{0xAAAA, 0x5555};
const CUnlock kByteWord16{0xAAAA, 0x5554};
const CUnlock kX16{0x5554, 0xAAA8};
const CUnlock kX32{0x15554, 0xAAA8};

void PrintTo(const CJedecCase& c, std::ostream* out)
{
    *out << c.device << ", " << c.busBits << "-bit bus";
}

std::string CaseName(const testing::TestParamInfo<CJedecCase>& info)
{
    std::string name;
    for (const char* p = info.param.device; *p; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p)))
            name += *p;
    return name + "_bus" + std::to_string(info.param.busBits);
}

class JedecBus : public testing::TestWithParam<CJedecCase> {
protected:
    static constexpr uint32_t kBase = 0x10000000;

    void SetUp() override
    {
        const CJedecCase& c = GetParam();
        ASSERT_TRUE(LookupSimFlashGeometry(c.device, geometry_));
        busBytes_ = c.busBits / 8;
        lanes_ = busBytes_ / int(geometry_.deviceWidth);
        bankSize_ = geometry_.size * uint32_t(lanes_);
        board_ = MakeBoard(Format("flash \"%s\" base=0x%08X bus=%d banks=2\n", c.device, kBase, c.busBits));
        // Marks at both ends of sectors 1 and 2 of bank 0 and sector 1 of bank 1.
        for (uint32_t spot : Spots())
            ASSERT_EQ(FirmwareProgram(*board_, uint8_t(geometry_.programAlgorithm), uint8_t(busBytes_),
                                      ~(bankSize_ - 1), spot, Pattern(32)),
                      0);
    }

    uint32_t SectorAddress(int bank, int sector) const
    {
        return kBase + uint32_t(bank) * bankSize_ + geometry_.SectorStart(sector) * uint32_t(lanes_);
    }

    std::vector<uint32_t> SpotsOf(int bank, int sector) const
    {
        uint32_t end = kBase + uint32_t(bank) * bankSize_ + geometry_.SectorEnd(sector) * uint32_t(lanes_);
        return {SectorAddress(bank, sector), end - 32};
    }

    std::vector<uint32_t> Spots() const
    {
        std::vector<uint32_t> all;
        for (auto [bank, sector] : {std::pair{0, 1}, {0, 2}, {1, 1}})
            for (uint32_t spot : SpotsOf(bank, sector))
                all.push_back(spot);
        return all;
    }

    bool Erased(int bank, int sector)
    {
        for (uint32_t spot : SpotsOf(bank, sector))
            if (PeekBytes(*board_, spot, 32) != std::vector<uint8_t>(32, 0xFF))
                return false;
        return true;
    }

    bool Intact(int bank, int sector)
    {
        for (uint32_t spot : SpotsOf(bank, sector))
            if (PeekBytes(*board_, spot, 32) != Pattern(32))
                return false;
        return true;
    }

    void SectorErase(CUnlock unlock, uint32_t bankStart, uint32_t sectorAddress, int lanes)
    {
        JedecErase(*board_, busBytes_, bankStart + unlock.u1 * uint32_t(lanes), bankStart + unlock.u2 * uint32_t(lanes),
                   sectorAddress, 0x30);
    }

    CSimFlashGeometry geometry_;
    int busBytes_ = 0;
    int lanes_ = 0;
    uint32_t bankSize_ = 0;
    std::unique_ptr<CSimBoardModel> board_;
};

TEST_P(JedecBus, SectorEraseWithTheFamilysUnlockAddressesErasesOnlyThatSectorInEveryLane)
{
    SectorErase(GetParam().right, kBase, SectorAddress(0, 1), lanes_);
    EXPECT_EQ(Read(*board_, SectorAddress(0, 1), busBytes_), Replicated(0xFF, busBytes_));
    EXPECT_TRUE(Erased(0, 1));
    EXPECT_TRUE(Intact(0, 2));
    EXPECT_TRUE(Intact(1, 1));

    // The same in bank 1 uses that bank's unlock addresses.
    SectorErase(GetParam().right, kBase + bankSize_, SectorAddress(1, 1), lanes_);
    EXPECT_TRUE(Erased(1, 1));
    EXPECT_TRUE(Intact(0, 2));
}

TEST_P(JedecBus, WrongUnlockAddressesEraseNothing)
{
    const CJedecCase& c = GetParam();
    std::vector<std::pair<CUnlock, int>> attempts;
    for (CUnlock wrong : c.wrong)
        attempts.push_back({wrong, lanes_});
    attempts.push_back({{c.right.u2, c.right.u1}, lanes_}); // swapped
    if (lanes_ > 1)
        attempts.push_back({c.right, 1}); // not spread over the lanes
    for (auto [unlock, lanes] : attempts) {
        SectorErase(unlock, kBase, SectorAddress(0, 1), lanes);
        EXPECT_TRUE(Intact(0, 1)) << std::hex << unlock.u1 << "/" << unlock.u2 << " x" << lanes;
        // The device went back to reading its cells.
        EXPECT_EQ(Read(*board_, SectorAddress(0, 1), busBytes_) & 0xFF, Pattern(1)[0]);
    }
    // Unlocking in another bank does not reach bank 0.
    SectorErase(c.right, kBase + bankSize_, SectorAddress(0, 1), lanes_);
    EXPECT_TRUE(Intact(0, 1));

    SectorErase(c.right, kBase, SectorAddress(0, 1), lanes_);
    EXPECT_TRUE(Erased(0, 1));
}

TEST_P(JedecBus, ChipEraseErasesTheWholeBankOnly)
{
    const CUnlock u = GetParam().right;
    const uint32_t bank1 = kBase + bankSize_;
    JedecErase(*board_, busBytes_, bank1 + u.u1 * uint32_t(lanes_), bank1 + u.u2 * uint32_t(lanes_),
               bank1 + u.u1 * uint32_t(lanes_), 0x10);
    EXPECT_TRUE(Erased(1, 1));
    EXPECT_TRUE(Intact(0, 1));
    EXPECT_TRUE(Intact(0, 2));
}

TEST_P(JedecBus, ProgramCyclesOnlyClearBits)
{
    const CUnlock u = GetParam().right;
    const uint32_t u1 = kBase + u.u1 * uint32_t(lanes_), u2 = kBase + u.u2 * uint32_t(lanes_);
    const uint32_t at = SectorAddress(0, 3);
    auto program = [&](uint32_t value) {
        board_->BusWrite(u1, busBytes_, Replicated(0xAA, busBytes_));
        board_->BusWrite(u2, busBytes_, Replicated(0x55, busBytes_));
        board_->BusWrite(u1, busBytes_, Replicated(0xA0, busBytes_));
        board_->BusWrite(at, busBytes_, value);
    };
    const uint32_t mask = busBytes_ == 4 ? 0xFFFFFFFF : (1u << (8 * busBytes_)) - 1;
    program(0xF0F0F0F0 & mask);
    EXPECT_EQ(Read(*board_, at, busBytes_), 0xF0F0F0F0 & mask);
    program(0x3C3C3C3C & mask);
    EXPECT_EQ(PeekBytes(*board_, at, 1)[0], 0x30);
    // A write without the unlock cycles changes nothing.
    board_->BusWrite(at, busBytes_, 0);
    EXPECT_EQ(PeekBytes(*board_, at, 1)[0], 0x30);
}

INSTANTIATE_TEST_SUITE_P(
    Families, JedecBus,
    testing::Values(CJedecCase{"AMD  Am29F040", 8, kX8, {kByteWord8}},
                    CJedecCase{"AMD  Am29F040", 16, kX8, {kByteWord8}},
                    CJedecCase{"AMD  Am29F040", 32, kX8, {kByteWord8}},
                    CJedecCase{"AMD  Am29LV400B (512K x 8)", 8, kByteWord8, {kX8, kByteWord16}},
                    CJedecCase{"AMD  Am29LV400B (512K x 8)", 16, kByteWord8, {kX8}},
                    CJedecCase{"AMD  Am29LV400B (512K x 8)", 32, kByteWord8, {kX8}},
                    CJedecCase{"AMD  Am29LV400B (256K x 16)", 16, kByteWord16, {kX16}},
                    CJedecCase{"AMD  Am29LV400B (256K x 16)", 32, kByteWord16, {kX16}},
                    CJedecCase{"Atmel  AT49x4096A (256K x 16)", 16, kByteWord16, {kX16}},
                    CJedecCase{"AMD  Am29PL320DB (2M x 16)", 16, kX16, {kByteWord16}},
                    CJedecCase{"AMD  Am29PL320DB (2M x 16)", 32, kX16, {kByteWord16}},
                    CJedecCase{"AMD  Am29PL320DB (1M x 32)", 32, kX32, {kByteWord16}}),
    CaseName);

// Status while busy, on a 16-bit bus with two x8 chips (lane 0 = low byte).
class JedecStatus : public testing::Test {
protected:
    static constexpr uint32_t kBase = 0x01000000;
    static constexpr uint32_t kU1 = kBase + 0x5555 * 2;
    static constexpr uint32_t kU2 = kBase + 0x2AAA * 2;
    static constexpr uint32_t kSector2 = kBase + 2 * 0x10000 * 2;

    void Make(const std::string& extra = "")
    {
        clock_ = std::make_shared<CManualClock>();
        board_ = MakeBoard("flash \"AMD  Am29F040\" base=0x01000000 bus=16 sector-erase=1000us program=10us\n" +
                               extra,
                           clock_);
        ASSERT_EQ(FirmwareProgram(*board_, 2, 2, ~(0x100000u - 1), kSector2, Pattern(16)), 0);
    }

    uint32_t Poll() { return Read(*board_, kSector2, 2); }

    std::shared_ptr<CManualClock> clock_;
    std::unique_ptr<CSimBoardModel> board_;
};

TEST_F(JedecStatus, EraseShowsDq7LowAndTogglesDq6UntilItsTimeHasPassed)
{
    Make();
    JedecErase(*board_, 2, kU1, kU2, kSector2, 0x30);
    uint32_t a = Poll(), b = Poll();
    for (uint32_t lane : {0, 8}) {
        EXPECT_EQ(a >> lane & 0x80, 0u);
        EXPECT_EQ(a >> lane & 0x20, 0u);
        EXPECT_EQ(a >> lane & 0x08, 0x08u);
        EXPECT_EQ((a ^ b) >> lane & 0x40, 0x40u);
    }
    clock_->AdvanceMicros(999);
    EXPECT_NE(Poll(), 0xFFFFu);
    clock_->AdvanceMicros(1);
    EXPECT_EQ(Poll(), 0xFFFFu);
}

TEST_F(JedecStatus, EraseFailureSetsDq5InItsLaneOnlyAndKeepsTheSector)
{
    Make("fault erase-fail 0x01040001\n"); // lane 1 (odd bytes), sector 2
    JedecErase(*board_, 2, kU1, kU2, kSector2, 0x30);
    EXPECT_EQ(Poll() >> 8 & 0x20, 0u) << "no failure before the erase time";
    clock_->AdvanceMicros(1000);
    uint32_t a = Poll(), b = Poll();
    EXPECT_EQ(a & 0xFF, 0xFFu);
    EXPECT_EQ(a >> 8 & 0x20, 0x20u);
    EXPECT_EQ((a ^ b) >> 8 & 0x40, 0x40u);
    clock_->AdvanceMicros(1000000);
    EXPECT_EQ(Poll() >> 8 & 0xA0, 0x20u) << "stays failed until reset";

    JedecReset(*board_, 2, kU1, kU2);
    std::vector<uint8_t> bytes = PeekBytes(*board_, kSector2, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bytes[i], i % 2 ? Pattern(16)[i] : 0xFF) << i;
    EXPECT_EQ(Poll(), Read(*board_, kSector2, 2)) << "read mode again";
}

TEST_F(JedecStatus, EraseThatNeverFinishesStaysBusyUntilReset)
{
    Make("fault erase-hang 0x01040000\n"); // lane 0
    JedecErase(*board_, 2, kU1, kU2, kSector2, 0x30);
    clock_->AdvanceMicros(600000000);
    uint32_t a = Poll(), b = Poll();
    EXPECT_EQ(a & 0xA0, 0u);
    EXPECT_EQ(a >> 8, 0xFFu) << "lane 1 finished";
    EXPECT_NE(a, b);
    JedecReset(*board_, 2, kU1, kU2);
    std::vector<uint8_t> bytes = PeekBytes(*board_, kSector2, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bytes[i], i % 2 ? 0xFF : Pattern(16)[i]) << i;
    EXPECT_EQ(Poll(), uint32_t(Pattern(2)[0] | 0xFF00));

    // The fault stays armed.
    JedecErase(*board_, 2, kU1, kU2, kSector2, 0x30);
    clock_->AdvanceMicros(600000000);
    EXPECT_NE(Poll(), Poll());
}

TEST_F(JedecStatus, ProgrammingShowsTheComplementOfDq7AndFailsOnAZeroThatMustBecomeOne)
{
    Make();
    const uint32_t at = kBase + 0x100;
    auto program = [&](uint32_t value) {
        board_->BusWrite(kU1, 2, 0xAAAA);
        board_->BusWrite(kU2, 2, 0x5555);
        board_->BusWrite(kU1, 2, 0xA0A0);
        board_->BusWrite(at, 2, value);
    };
    program(0x0F80);
    uint32_t busy = Read(*board_, at, 2);
    EXPECT_EQ(busy & 0x80, 0x00u);   // complement of 0x80
    EXPECT_EQ(busy & 0x8000, 0x8000u); // complement of 0x0F
    clock_->AdvanceMicros(20);
    EXPECT_EQ(Read(*board_, at, 2), 0x0F80u);

    program(0x0FFF); // lane 0 would need 0x80 -> 0xFF
    clock_->AdvanceMicros(20);
    uint32_t a = Read(*board_, at, 2), b = Read(*board_, at, 2);
    EXPECT_EQ(a & 0x20, 0x20u);
    EXPECT_EQ((a ^ b) & 0x40, 0x40u);
    JedecReset(*board_, 2, kU1, kU2);
    EXPECT_EQ(Read(*board_, at, 2), 0x0F80u);
}

TEST(JedecNoFailureBit, FailedEraseReturnsToReadModeWithoutDq5)
{
    auto clock = std::make_shared<CManualClock>();
    // Code 24 (x16, byte/word addressing): U1 0xAAAA, U2 0x5554.
    auto board = MakeBoard("flash \"Atmel  AT49x4096A (256K x 16)\" base=0 bus=16 sector-erase=500us\n"
                           "fault erase-fail 0x4000\n",
                           clock);
    ASSERT_EQ(FirmwareProgram(*board, 24, 2, ~(0x80000u - 1), 0x4000, Pattern(8)), 0);
    JedecErase(*board, 2, 0xAAAA, 0x5554, 0x4000, 0x30);
    EXPECT_EQ(Read(*board, 0x4000, 2) & 0x80, 0u);
    clock->AdvanceMicros(500);
    uint32_t a = Read(*board, 0x4000, 2), b = Read(*board, 0x4000, 2);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, uint32_t(Pattern(8)[0] | Pattern(8)[1] << 8));
}

TEST(JedecStuckBits, StuckBitsFailEraseAndProgramming)
{
    auto board = MakeBoard("flash \"AMD  Am29F010\" base=0 bus=8\n"
                           "fault stuck 0x4010 bit=3 value=0\n"
                           "fault stuck 0x8020 bit=0 value=1\n");
    EXPECT_EQ(PeekBytes(*board, 0x4010, 1)[0], 0xF7);

    JedecErase(*board, 1, 0x5555, 0x2AAA, 0x4000, 0x30); // sector 1 holds the bit stuck at 0
    uint32_t a = Read(*board, 0x4000, 1);
    EXPECT_EQ(a & 0x20, 0x20u);
    JedecReset(*board, 1, 0x5555, 0x2AAA);

    auto program = [&](uint32_t at, uint8_t value) {
        board->BusWrite(0x5555, 1, 0xAA);
        board->BusWrite(0x2AAA, 1, 0x55);
        board->BusWrite(0x5555, 1, 0xA0);
        board->BusWrite(at, 1, value);
    };
    program(0x8021, 0x00);
    EXPECT_EQ(Read(*board, 0x8021, 1), 0x00u);
    program(0x8020, 0x00);
    EXPECT_EQ(Read(*board, 0x8020, 1) & 0x20, 0x20u);
    JedecReset(*board, 1, 0x5555, 0x2AAA);
    EXPECT_EQ(Read(*board, 0x8020, 1), 0x01u);

    board->ClearFaults();
    JedecErase(*board, 1, 0x5555, 0x2AAA, 0x8000, 0x30);
    EXPECT_EQ(Read(*board, 0x8020, 1), 0xFFu);
}

// The host's erase poll: previous value all ones is done; a lane that is
// not all ones while its previous value had bit 5 (of the lane's low byte)
// is a failure; otherwise the time limit. One poll per simulated millisecond.
enum class EPollResult { Done, Failed, TimedOut };

EPollResult HostPoll(CSimBoardModel& board, CManualClock& clock, uint32_t address, int busBytes,
                     int deviceWidth, bool failureBit, uint64_t timeoutMs)
{
    const uint64_t start = clock.NowMicros();
    const uint32_t ones = Replicated(0xFF, busBytes);
    uint32_t previous = Read(board, address, busBytes);
    for (;;) {
        if (previous == ones)
            return EPollResult::Done;
        clock.AdvanceMicros(1000);
        uint32_t current = Read(board, address, busBytes);
        for (int lane = 0; failureBit && lane < busBytes / deviceWidth; ++lane) {
            uint32_t shift = 8 * lane * deviceWidth;
            uint32_t laneOnes = deviceWidth == 4 ? 0xFFFFFFFF : ((1u << (8 * deviceWidth)) - 1);
            if (((current >> shift) & laneOnes) != laneOnes && (previous >> shift & 0x20))
                return EPollResult::Failed;
        }
        if (clock.NowMicros() - start > timeoutMs * 1000)
            return EPollResult::TimedOut;
        previous = current;
    }
}

TEST(JedecHostPolling, TwoX16ChipsOnA32BitBusReportDoneFailureAndTimeout)
{
    // Code 12 on a 32-bit bus: U1 = bank + 0x15554, U2 = bank + 0xAAA8; sector 1 at device 0x4000.
    struct {
        const char* fault;
        EPollResult result;
    } cases[] = {
        {"", EPollResult::Done},
        {"fault erase-fail 0x02008002\n", EPollResult::Failed},   // lane 1
        {"fault erase-hang 0x02008000\n", EPollResult::TimedOut}, // lane 0
    };
    for (const auto& c : cases) {
        auto clock = std::make_shared<CManualClock>();
        auto board = MakeBoard(std::string("flash \"AMD  Am29LV400B (256K x 16)\" base=0x02000000 bus=32 "
                                           "sector-erase=50ms\n") +
                                   c.fault,
                               clock);
        JedecErase(*board, 4, 0x02015554, 0x0200AAA8, 0x02008000, 0x30);
        EXPECT_EQ(HostPoll(*board, *clock, 0x02008000, 4, 2, true, 60000), c.result) << c.fault;
        JedecReset(*board, 4, 0x02015554, 0x0200AAA8);
        EXPECT_EQ(Read(*board, 0x02008000, 4), 0xFFFFFFFFu) << "nothing was there to keep: " << c.fault;
    }
}

TEST(JedecHostPolling, ChipsWithoutFailureBitLeaveTheHostToItsTimeout)
{
    auto clock = std::make_shared<CManualClock>();
    auto board = MakeBoard("flash \"Atmel  AT49x040 (512K x 8)\" base=0 bus=8 chip-erase=3s\n"
                           "fault erase-fail 0\n",
                           clock);
    // The host polls the first sector's address, which holds data the failed erase leaves there.
    ASSERT_EQ(FirmwareProgram(*board, 22, 1, ~(0x80000u - 1), 0, Pattern(4)), 0);
    JedecErase(*board, 1, 0x5555, 0x2AAA, 0x5555, 0x10);
    EXPECT_EQ(HostPoll(*board, *clock, 0, 1, 1, false, 300000), EPollResult::TimedOut);
    board->ClearFaults();
    JedecErase(*board, 1, 0x5555, 0x2AAA, 0x5555, 0x10);
    EXPECT_EQ(HostPoll(*board, *clock, 0, 1, 1, false, 300000), EPollResult::Done);
    EXPECT_GE(clock->NowMicros(), 3000000u);
}

} // namespace
