// The programming call's port onto one flash bank: where it opens, that its
// cycles are the board's cycle for cycle (status, toggle and DQ5, stuck
// bits, program and erase times), and that programming through it ends as
// programming through the board does.

#include "sim/sim_flash_array.h"
#include "sim/sim_flash_bank_port.h"
#include "sim_flash_test_board.h"

#include "common/text_format.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr uint32_t kBase = 0x01000000;
constexpr uint32_t kBank = 0x200000; // one 1M x 16 chip per bank on a 16-bit bus
constexpr uint32_t kBankMask = ~(kBank - 1);
constexpr const char* kChip = "AMD  Am29LV160MB (1M x 16)";
// Where the chip decodes its unlock cycles, as bus offsets from a bank's start.
constexpr uint32_t kUnlock1 = 0xAAAA, kUnlock2 = 0x5554;

struct COpenCase {
    const char* what;
    const char* flash; // the flash line's keys after the device name
    uint32_t busBytes;
    uint32_t first, last; // offsets from kBase
    bool opens;
};

TEST(SimFlashBankPort, OpensOnlyForOneDeviceWideBankAtItsBusWidth)
{
    const COpenCase cases[] = {
        {"inside one bank", "bus=16 banks=2", 2, kBank, kBank + kUnlock1, true},
        {"the whole of the last bank", "bus=16 banks=2", 2, kBank, 2 * kBank - 2, true},
        {"across two banks", "bus=16 banks=2", 2, kBank - 2, kBank, false},
        {"past the array's end", "bus=16 banks=2", 2, kBank, 2 * kBank, false},
        {"two devices side by side", "bus=32 banks=2", 4, 0, 0x100, false},
        {"cycles narrower than the bus", "bus=16 banks=2", 1, 0, 0x100, false},
        {"an address off the bus width", "bus=16 banks=2", 2, 1, 0x100, false},
        {"last before first", "bus=16 banks=2", 2, 0x100, 0, false},
    };
    for (const COpenCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto board = MakeBoard(Format("flash \"%s\" base=0x%08X %s\n", kChip, kBase, c.flash));
        CSimFlashArray* array = board->FlashAt(kBase);
        ASSERT_NE(array, nullptr);
        EXPECT_EQ(CSimFlashBankPort::Open(*array, c.busBytes, kBase + c.first, kBase + c.last).has_value(), c.opens);
    }
}

// One of two identical boards with program and erase times and the given
// faults, on its own clock.
struct CTwin {
    std::shared_ptr<CManualClock> clock = std::make_shared<CManualClock>();
    std::unique_ptr<CSimBoardModel> board;

    explicit CTwin(const std::string& faults)
    {
        board = MakeBoard(Format("flash \"%s\" base=0x%08X bus=16 banks=2 program=3us sector-erase=40us\n", kChip,
                                 kBase) +
                              faults,
                          clock);
    }
};

TEST(SimFlashBankPort, ItsCyclesAreTheBoardsCycleForCycle)
{
    // Random command sequences on the second bank: programs (some onto the
    // stuck bits, some turning zeros back to ones), sector erases (one of a
    // sector that fails), resets, stray writes, status and array reads, with
    // time passing in between. Every read must answer alike.
    const std::string faults = Format("fault stuck 0x%08X bit=2 value=0\n"
                                      "fault stuck 0x%08X bit=7 value=1\n"
                                      "fault erase-fail 0x%08X\n",
                                      kBase + kBank + 0x31, kBase + kBank + 0x1002, kBase + kBank + 0x6000);
    CTwin direct(faults), board(faults);
    CSimFlashArray* array = direct.board->FlashAt(kBase + kBank);
    ASSERT_NE(array, nullptr);
    auto port = CSimFlashBankPort::Open(*array, 2, kBase + kBank, kBase + 2 * kBank - 2);
    ASSERT_TRUE(port.has_value());

    const uint32_t bank = kBase + kBank;
    std::mt19937 random(24);
    const auto word = [&] { return bank + (random() % 0x4000) * 2; }; // the first 32 KiB: sectors 0 to 2
    const auto write = [&](uint32_t address, uint32_t value) {
        port->Write(address, value);
        board.board->BusWrite(address, 2, value);
    };
    const auto command = [&](const std::vector<std::pair<uint32_t, uint32_t>>& cycles) {
        for (auto [address, value] : cycles)
            write(address, value);
    };
    int reads = 0;
    for (int step = 0; step < 4000; ++step) {
        switch (random() % 8) {
        case 0:
        case 1:
            command({{bank + kUnlock1, 0xAA}, {bank + kUnlock2, 0x55}, {bank + kUnlock1, 0xA0},
                     {step % 5 ? word() : bank + 0x30, random() & 0xFFFF}});
            break;
        case 2:
            if (random() % 16 == 0)
                command({{bank + kUnlock1, 0xAA}, {bank + kUnlock2, 0x55}, {bank + kUnlock1, 0x80},
                         {bank + kUnlock1, 0xAA}, {bank + kUnlock2, 0x55},
                         {random() % 2 ? bank + 0x6000 : bank + 0x4000, 0x30}});
            break;
        case 3:
            write(random() % 2 ? word() : bank + kUnlock1, random() % 2 ? 0xF0 : random() & 0xFFFF);
            break;
        case 4: {
            const uint64_t micros = random() % 50;
            direct.clock->AdvanceMicros(micros);
            board.clock->AdvanceMicros(micros);
            break;
        }
        default: {
            const uint32_t address = word();
            uint32_t viaPort = 0;
            ASSERT_TRUE(port->Read(address, viaPort));
            ASSERT_EQ(viaPort, Read(*board.board, address, 2)) << "step " << step << " at " << std::hex << address;
            ++reads;
        }
        }
    }
    EXPECT_GT(reads, 1000);
    EXPECT_EQ(PeekBytes(*direct.board, bank, 0x8000), PeekBytes(*board.board, bank, 0x8000));
}

struct CProgramCase {
    const char* what;
    uint32_t failAt; // offset from the bank boundary of a bit stuck at 1 (0: none)
};

TEST(FirmwareProgramsThroughABankPort, AsThroughTheBoard)
{
    // The same random block, straddling the boundary of the two banks, once
    // in one call (its cycles span two banks: the board routes each) and
    // once in two calls split at the boundary (each in one bank: the port).
    // Status, failing address and the bytes must come out the same.
    const CProgramCase cases[] = {
        {"no fault", 0},
        {"a stuck bit in the first bank", kBank - 0x1F3},
        {"a stuck bit in the second bank", kBank + 0x2A5},
    };
    const uint32_t start = kBase + kBank - 0x800, split = kBase + kBank;
    std::mt19937 random(7);
    for (const CProgramCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> data(0x1000);
        for (uint8_t& b : data)
            b = uint8_t(random() & 0x7F); // bit 7 clear everywhere: a bit stuck at 1 fails
        const std::string fault = c.failAt ? Format("fault stuck 0x%08X bit=7 value=1\n", kBase + c.failAt) : "";
        CTwin ported(fault), routed(fault);

        uint32_t routedFail = 0;
        const int routedStatus = FirmwareProgram(*routed.board, 33, 2, kBankMask, start, data, &routedFail);

        uint32_t portedFail = 0;
        const std::vector<uint8_t> low(data.begin(), data.begin() + (split - start));
        const std::vector<uint8_t> high(data.begin() + (split - start), data.end());
        int portedStatus = FirmwareProgram(*ported.board, 33, 2, kBankMask, start, low, &portedFail);
        if (portedStatus == 0)
            portedStatus = FirmwareProgram(*ported.board, 33, 2, kBankMask, split, high, &portedFail);

        EXPECT_EQ(portedStatus, routedStatus);
        if (c.failAt) {
            EXPECT_EQ(routedStatus, -1206);
            EXPECT_EQ(routedFail, kBase + c.failAt);
            EXPECT_EQ(portedFail, kBase + c.failAt);
        } else {
            EXPECT_EQ(routedStatus, 0);
        }
        EXPECT_EQ(PeekBytes(*ported.board, start, uint32_t(data.size())),
                  PeekBytes(*routed.board, start, uint32_t(data.size())));
        EXPECT_EQ(ported.clock->NowMicros(), routed.clock->NowMicros());
    }
}

} // namespace
