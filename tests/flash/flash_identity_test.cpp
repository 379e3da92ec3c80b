// Reading what the flash says about itself and comparing it with the
// project's device, against the simulated chips: every catalogue row of the
// JEDEC and Intel families on its own bus and side by side, the slips a
// project makes (top for bottom boot, another size, another command set,
// another device count), chips without CFI, and the array read after.

#include "flash/device_check.h"
#include "flash/flash_identity.h"

#include "catalogue/flash_catalogue.h"
#include "common/text_format.h"
#include "probe/probe_status.h"
#include "sim/board_file.h"
#include "sim/sim_board_model.h"
#include "support/null_probe_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

constexpr uint32_t kBase = 0x10000000;

// Bus cycles straight onto a simulated board, without a link.
class CBoardBus final : public CNullProbeLibrary {
public:
    explicit CBoardBus(CSimBoardModel& board) : board_(board) {}

    int TargetWrite8(uint32_t a, uint32_t v) override { return Write(a, 1, v); }
    int TargetWrite16(uint32_t a, uint32_t v) override { return Write(a, 2, v); }
    int TargetWrite32(uint32_t a, uint32_t v) override { return Write(a, 4, v); }
    int TargetRead8(uint32_t a, uint8_t& v) override { return ReadAs(a, 1, v); }
    int TargetRead16(uint32_t a, uint16_t& v) override { return ReadAs(a, 2, v); }
    int TargetRead32(uint32_t a, uint32_t& v) override { return ReadAs(a, 4, v); }

    int cycles = 0;

private:
    int Write(uint32_t a, int width, uint32_t v)
    {
        ++cycles;
        return board_.BusWrite(a, width, v) ? kStatusOk : kStatusTargetAccessError;
    }
    template <class T>
    int ReadAs(uint32_t a, int width, T& v)
    {
        ++cycles;
        uint32_t value = 0;
        if (!board_.BusRead(a, width, value))
            return kStatusTargetAccessError;
        v = static_cast<T>(value);
        return kStatusOk;
    }
    CSimBoardModel& board_;
};

std::unique_ptr<CSimBoardModel> Board(const std::string& text)
{
    CBoardFile file;
    std::string error;
    EXPECT_TRUE(CBoardFile::Parse(text, file, error)) << error;
    auto board = std::make_unique<CSimBoardModel>(nullptr);
    EXPECT_TRUE(board->Build(file, error)) << error;
    return board;
}

std::string FlashLine(const char* device, uint32_t busBytes, uint32_t banks = 1, const char* extra = "")
{
    return Format("flash \"%s\" base=0x%08X bus=%u banks=%u %s\n", device, kBase, busBytes * 8, banks, extra);
}

SFlashArray Array(const char* device, uint32_t busBytes, uint32_t banks = 1)
{
    return SFlashArray{CFlashCatalogue::FindFlashDevice(device), kBase, busBytes, banks};
}

bool Fits(const std::vector<const SFlashDevice*>& rows, const char* name)
{
    return std::any_of(rows.begin(), rows.end(), [&](const SFlashDevice* r) { return std::string(r->name) == name; });
}

// Every row whose family has an identity is found to be itself, alone on
// its narrowest bus and with devices side by side on a 32-bit bus.
TEST(FlashIdentity, EveryJedecAndIntelRowIdentifiesAsItself)
{
    int rows = 0;
    for (int i = 1; i < CFlashCatalogue::FlashDeviceCount(); ++i) {
        const SFlashDevice& row = *CFlashCatalogue::FlashDeviceAt(i);
        std::string why;
        if (!CFlashIdentify::Supported(row, why))
            continue;
        ++rows;
        for (uint32_t bus : {row.deviceWidth, 4u}) {
            SCOPED_TRACE(Format("%s on %u bits", row.name, bus * 8));
            auto board = Board(FlashLine(row.name, bus));
            CBoardBus library(*board);
            const SDeviceCheckResult result = CDeviceCheck::Run(library, Array(row.name, bus));
            ASSERT_EQ(result.outcome, SDeviceCheckResult::EOutcome::Match) << result.summary << "\n"
                                                                          << result.Message();
            EXPECT_TRUE(Fits(CDeviceCheck::Fits(result.banks.at(0), bus), row.name));
            EXPECT_TRUE(result.banks[0].codesRead);
        }
    }
    EXPECT_GT(rows, 250);
}

struct SSlip {
    const char* name;
    std::string board;    // the board file's flash line
    const char* project;  // the project's device
    uint32_t busBytes;
    SDeviceCheckResult::EOutcome outcome;
    const char* differences; // Mismatch: the "They differ in" text
    const char* fits;        // Mismatch: a row that fits what was found (nullptr: none expected)
};

TEST(FlashIdentity, SlipsAreFoundAndNamed)
{
    using enum SDeviceCheckResult::EOutcome;
    const SSlip slips[] = {
        {"top boot for bottom boot", FlashLine("AMD  Am29LV160MB (1M x 16)", 2), "AMD  Am29LV160MT (1M x 16)", 2,
         Mismatch, "They differ in the sector layout.", "AMD  Am29LV160MB (1M x 16)"},
        {"bottom boot for top boot", FlashLine("AMD  Am29LV800BT (512K x 16)", 2), "AMD  Am29LV800BB (512K x 16)", 2,
         Mismatch, "They differ in the sector layout.", "AMD  Am29LV800BT (512K x 16)"},
        {"another size", FlashLine("AMD  Am29LV320DB (2M x 16)", 2), "AMD  Am29LV160MB (1M x 16)", 2, Mismatch,
         "They differ in the size of a device, the sector layout.", "AMD  Am29LV320DB (2M x 16)"},
        {"Intel chip, JEDEC project", FlashLine("Intel  28F128J3 (8M x 16)", 2), "Spansion  S29GL128N (8M x 16)", 2,
         Mismatch, "They differ in the command set.", "Intel  28F128J3 (8M x 16)"},
        {"two x8 chips where the project has one x16", FlashLine("AMD  Am29LV160MB (2M x 8)", 2),
         "AMD  Am29LV320MB (2M x 16)", 2, Mismatch,
         "They differ in the number of devices on the bus, the size of a device, the sector layout.",
         "AMD  Am29LV160MB (2M x 8)"},
        {"one x16 chip where the project has two x8", FlashLine("AMD  Am29F800B (512K x 16)", 2),
         "AMD  Am29F800B (1024K x 8)", 2, Mismatch, "They differ in the number of devices on the bus.",
         "AMD  Am29F800B (512K x 16)"},
        {"the same geometry under another name", FlashLine("AMD  Am29LV160BB (1M x 16)", 2),
         "AMD  Am29LV160MB (1M x 16)", 2, Match, "", nullptr},
        {"no CFI", FlashLine("AMD  Am29LV160MT (1M x 16)", 2, 1, "cfi=no"), "AMD  Am29LV160MB (1M x 16)", 2,
         NotChecked, "", nullptr},
        {"nothing answering (RAM)", "ram 0x10000000 4M\n", "AMD  Am29LV160MB (1M x 16)", 2, NotChecked, "", nullptr},
        {"on-chip flash", "flash \"LPC2000 Flash (128K)\" base=0 bus=8\n", "LPC2000 Flash (128K)", 1, Skipped, "",
         nullptr},
        {"page-write chip", FlashLine("Atmel  AT29C020", 1), "Atmel  AT29C020", 1, Skipped, "", nullptr},
    };
    for (const SSlip& s : slips) {
        SCOPED_TRACE(s.name);
        auto board = Board(s.board);
        CBoardBus library(*board);
        SFlashArray array = Array(s.project, s.busBytes);
        if (s.outcome == SDeviceCheckResult::EOutcome::Skipped)
            array.base = 0;
        const SDeviceCheckResult result = CDeviceCheck::Run(library, array);
        EXPECT_EQ(result.outcome, s.outcome) << result.summary;
        EXPECT_TRUE(result.summary.starts_with("Device check: ")) << result.summary;
        if (s.outcome == SDeviceCheckResult::EOutcome::Skipped) {
            EXPECT_EQ(library.cycles, 0);
        }
        if (s.outcome != SDeviceCheckResult::EOutcome::Mismatch)
            continue;
        EXPECT_EQ(result.differences, s.differences);
        EXPECT_TRUE(Fits(result.fits, s.fits)) << result.Message();
        EXPECT_FALSE(Fits(result.fits, s.project)) << result.Message();
        const std::string message = result.Message();
        EXPECT_NE(message.find(s.project), std::string::npos) << message;
        EXPECT_NE(message.find("Catalogue rows that fit: "), std::string::npos) << message;
    }
}

TEST(FlashIdentity, TheSlipMessageNamesBothLayouts)
{
    auto board = Board(FlashLine("AMD  Am29LV160MB (1M x 16)", 2));
    CBoardBus library(*board);
    const auto result = CDeviceCheck::Run(library, Array("AMD  Am29LV160MT (1M x 16)", 2));
    EXPECT_EQ(result.found, "Found at bank 0 (0x10000000): JEDEC command set, 1 device of 16 bits, 2048 KiB each, "
                            "35 sectors: 1 x 16 KiB, 2 x 8 KiB, 1 x 32 KiB, 31 x 64 KiB (bottom boot).");
    EXPECT_EQ(result.expected, "The project expects \"AMD  Am29LV160MT (1M x 16)\": JEDEC command set, 1 device of "
                               "16 bits, 2048 KiB each, 35 sectors: 31 x 64 KiB, 1 x 32 KiB, 2 x 8 KiB, 1 x 16 KiB "
                               "(top boot).");
}

// After the reads every chip reads its cells again, in every bank.
TEST(FlashIdentity, TheArrayReadsAsBeforeAfterTheReads)
{
    for (const char* device : {"AMD  Am29LV160MB (1M x 16)", "Intel  28F320J3 (2M x 16)", "AMD  Am29LV065D"}) {
        SCOPED_TRACE(device);
        const uint32_t bus = 4;
        auto board = Board(FlashLine(device, bus, 2));
        CBoardBus library(*board);
        const SFlashArray array = Array(device, bus, 2);
        const uint32_t bank = CFlashCatalogue::BankSize(*array.device, bus);
        // Cells that differ from the erased state and from the codes: written
        // with the family's program command on one word per bank.
        const bool intel = CFlashAlgorithms::Find(array.device->eraseAlgorithm).eraseFamily == EEraseFamily::IntelBlock;
        std::vector<uint32_t> words;
        for (uint32_t b = 0; b < 2; ++b) {
            const uint32_t at = kBase + b * bank;
            const uint32_t lanes = bus / array.device->deviceWidth;
            const uint32_t u = array.device->deviceWidth == 1 ? 0x5555 : 0xAAAA;
            if (intel) {
                board->BusWrite(at, 4, 0x40404040);
                board->BusWrite(at, 4, 0x12345678 ^ b);
                board->BusWrite(at, 4, 0xFFFFFFFF);
            } else {
                const uint32_t u2 = array.device->deviceWidth == 1 ? 0x2AAA : 0x5554;
                board->BusWrite(at + u * lanes, 4, 0xAAAAAAAA);
                board->BusWrite(at + u2 * lanes, 4, 0x55555555);
                board->BusWrite(at + u * lanes, 4, 0xA0A0A0A0);
                board->BusWrite(at, 4, 0x12345678 ^ b);
            }
        }
        std::vector<uint32_t> before;
        for (uint32_t b = 0; b < 2; ++b)
            for (uint32_t k = 0; k < 0x100; k += 4) {
                uint32_t v = 0;
                ASSERT_TRUE(board->BusRead(kBase + b * bank + k, 4, v));
                before.push_back(v);
            }
        ASSERT_EQ(before[0], 0x12345678u);
        std::vector<SFlashIdentity> banks;
        int status = 0;
        ASSERT_EQ(CFlashIdentify::Read(library, array, banks, status), CFlashIdentify::EOutcome::Read);
        ASSERT_EQ(banks.size(), 2u);
        for (const SFlashIdentity& id : banks) {
            EXPECT_TRUE(id.Usable());
            EXPECT_TRUE(id.backInReadMode);
        }
        size_t i = 0;
        for (uint32_t b = 0; b < 2; ++b)
            for (uint32_t k = 0; k < 0x100; k += 4) {
                uint32_t v = 0;
                ASSERT_TRUE(board->BusRead(kBase + b * bank + k, 4, v));
                EXPECT_EQ(v, before[i++]) << std::hex << kBase + b * bank + k;
            }
    }
}

TEST(FlashIdentity, WithoutADeviceBankZeroIsFoundAtAnyStep)
{
    struct SCase {
        const char* device;
        uint32_t bus;
    } cases[] = {{"AMD  Am29LV160MB (1M x 16)", 2}, {"AMD  Am29LV160MB (2M x 8)", 2},
                 {"AMD  Am29F040", 1},            {"Intel  28F128J3 (8M x 16)", 4},
                 {"AMD  Am29PL320DB (2M x 16)", 4}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.device);
        auto board = Board(FlashLine(c.device, c.bus, 1, "id=0x01:0x2249"));
        CBoardBus library(*board);
        std::vector<SFlashIdentity> banks;
        int status = 0;
        ASSERT_EQ(CFlashIdentify::Read(library, SFlashArray{nullptr, kBase, c.bus, 4}, banks, status),
                  CFlashIdentify::EOutcome::Read);
        ASSERT_EQ(banks.size(), 1u);
        EXPECT_TRUE(banks[0].Usable());
        EXPECT_TRUE(banks[0].backInReadMode);
        EXPECT_TRUE(Fits(CDeviceCheck::Fits(banks[0], c.bus), c.device));
        EXPECT_TRUE(banks[0].codesRead);
        EXPECT_EQ(banks[0].manufacturer, 0x01);
        EXPECT_EQ(banks[0].device, banks[0].deviceWidth == 1 ? 0x49u : 0x2249u);
    }
}

TEST(FlashIdentity, ABusErrorIsReported)
{
    auto board = Board("ram 0x40000000 4K\n");
    CBoardBus library(*board);
    const auto result = CDeviceCheck::Run(library, Array("AMD  Am29LV160MB (1M x 16)", 2));
    EXPECT_EQ(result.outcome, SDeviceCheckResult::EOutcome::LibraryError);
    EXPECT_EQ(result.status, kStatusTargetAccessError);
    EXPECT_FALSE(result.Passes());
}

} // namespace
