// EraseFlash end to end: the real link library against the in-process
// simulated probe, whose board models the flash chips at the bus level. Every
// erase algorithm code the catalogue uses, on 8-, 16- and 32-bit buses with
// one to four devices side by side and more than one bank: a pattern is
// programmed at the start, middle and end of every sector first, and
// afterwards the erased sectors must read all 0xFF and the others must still
// hold their pattern.
#include "support/recording_operation_view.h"
#include "support/sim_fixture.h"

#include "common/clock.h"
#include "probe/probe_status.h"
#include "support/manual_clock.h"
#include "flash/erase_flash.h"
#include "project/erase_map.h"
#include "catalogue/flash_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kWorkspace = 0x40000000;
constexpr uint32_t kChunk = 16;

using Selection = std::vector<std::pair<int, int>>;

// A byte of the pattern at `address`; never 0xFF, so that an erased byte
// always differs from it.
uint8_t PatternByte(uint32_t address)
{
    const uint8_t b = static_cast<uint8_t>((address >> 4) * 29 + address * 7 + 0x11);
    return b == 0xFF ? 0x5A : b;
}

// One flash line of a board, with what the host knows about it.
class CFlashUnderTest {
public:
    CFlashUnderTest(const std::string& deviceName, uint32_t busBytes, uint32_t banks, uint32_t base)
        : device(CFlashCatalogue::FindFlashDevice(deviceName)), busBytes(busBytes), banks(banks), base(base)
    {
        EXPECT_NE(device, nullptr) << deviceName;
    }

    std::string BoardLine(const std::string& timing = "sector-erase=1ms chip-erase=3ms") const
    {
        return "flash \"" + std::string(device->name) + "\" base=" + std::to_string(base) +
               " bus=" + std::to_string(busBytes * 8) + " banks=" + std::to_string(banks) + " " + timing + "\n";
    }
    uint32_t Code() const { return device->eraseAlgorithm; }
    uint32_t Sectors() const { return device->sectorCount; }
    uint32_t BankSize() const { return CFlashCatalogue::BankSize(*device, busBytes); }
    uint32_t SectorAddress(uint32_t bank, uint32_t sector) const
    {
        return base + bank * BankSize() + CFlashCatalogue::SectorBusOffset(*device, sector, busBytes);
    }
    uint32_t SectorBusSize(uint32_t sector) const
    {
        return device->SectorSize(sector) * CFlashCatalogue::Lanes(*device, busBytes);
    }
    // Where the pattern goes: the first, a middle and the last 16 bytes.
    std::vector<uint32_t> Chunks(uint32_t bank, uint32_t sector) const
    {
        const uint32_t start = SectorAddress(bank, sector);
        const uint32_t size = SectorBusSize(sector);
        return {start, start + (size / 2 & ~(kChunk - 1)), start + size - kChunk};
    }
    // p1 of FlashSetup for programming: the device size for 42 and 46, else
    // the bank mask.
    uint32_t SetupP1() const
    {
        return Code() == 42 || Code() == 46 ? device->DeviceSizeBytes() : 0u - BankSize();
    }
    SEraseTarget Target(bool eraseAll, const Selection& selection) const
    {
        CEraseMap map;
        map.Resize(static_cast<int>(banks), static_cast<int>(Sectors()));
        for (auto [bank, sector] : selection)
            map.SelectSector(bank, sector, 1);
        return SEraseTarget::ForDevice(*device, busBytes, banks, base, kWorkspace, eraseAll, map);
    }

    const SFlashDevice* device;
    uint32_t busBytes;
    uint32_t banks;
    uint32_t base;
};

std::string BoardText(const CFlashUnderTest& flash, const std::string& extra = "",
                      const std::string& timing = "sector-erase=1ms chip-erase=3ms")
{
    return "ram 0x40000000 64K\n" + flash.BoardLine(timing) + extra;
}

// Programs the pattern into every chunk of every sector of every bank.
void ProgramPatterns(CSimFixture& sim, const CFlashUnderTest& flash)
{
    for (uint32_t bank = 0; bank < flash.banks; ++bank)
        for (uint32_t sector = 0; sector < flash.Sectors(); ++sector)
            for (uint32_t at : flash.Chunks(bank, sector)) {
                std::vector<uint8_t> bytes(kChunk);
                for (uint32_t i = 0; i < kChunk; ++i)
                    bytes[i] = PatternByte(at + i);
                ASSERT_EQ(sim.Program(static_cast<uint8_t>(flash.device->programAlgorithm),
                                      static_cast<uint8_t>(flash.busBytes), flash.SetupP1(), at, bytes, kWorkspace),
                          0)
                    << std::hex << at;
            }
}

enum class EState { Erased, Pattern };

// Whether every chunk of the sector reads erased or holds its pattern.
::testing::AssertionResult SectorIs(CSimFixture& sim, const CFlashUnderTest& flash, uint32_t bank, uint32_t sector,
                                    EState state)
{
    for (uint32_t at : flash.Chunks(bank, sector)) {
        std::vector<uint8_t> bytes;
        if (!sim.Peek(at, kChunk, bytes))
            return ::testing::AssertionFailure() << "no memory at " << std::hex << at;
        for (uint32_t i = 0; i < kChunk; ++i) {
            const uint8_t want = state == EState::Erased ? 0xFF : PatternByte(at + i);
            if (bytes[i] != want)
                return ::testing::AssertionFailure()
                       << "bank " << bank << " sector " << sector << ": byte at 0x" << std::hex << at + i << " is 0x"
                       << int(bytes[i]) << ", expected 0x" << int(want);
        }
    }
    return ::testing::AssertionSuccess();
}

// What an erase shows and reports.
struct SEraseRun {
    bool ok = false;
    CRecordingOperationView view;
    std::vector<int> reported;
};

void RunErase(CSimFixture& sim, CClock& clock, const SEraseTarget& target, SEraseRun& run)
{
    CLinkLibrary& library = sim.Library();
    run.ok = EraseFlash(library, clock, run.view, target, [&](int status, const std::string&) {
        run.reported.push_back(status);
        run.view.SetStatus(library.LinkErrorText(status));
        return false;
    }).Ok();
}

// ---- Every code, every bus ---------------------------------------------------

struct SCase {
    const char* what;
    const char* device;
    uint32_t busBytes;
    uint32_t banks;
    uint32_t base;
    bool eraseAll;
    Selection selection;
    const char* success;
};

const char* const kHostText = "Memory successful erased !";

const SCase kCases[] = {
    // JEDEC, x8 addressing
    {"2: two x8 lanes, two banks, bank walk", "AMD  Am29F040", 2, 2, 0x01000000, false, {{0, 1}, {1, 0}, {1, 7}},
     kHostText},
    {"2: erase all on two banks", "AMD  Am29F040", 2, 2, 0x01000000, true, {}, kHostText},
    {"2: boot sectors, 8-bit bus", "AMD  Am29LV001BT", 1, 1, 0x01800000, false, {{0, 0}, {0, 8}, {0, 9}}, kHostText},
    {"31: four x8 lanes on a 32-bit bus", "AMD  Am29LV017M", 4, 1, 0x07000000, false, {{0, 0}, {0, 31}}, kHostText},
    {"22: one sector per chip, second bank", "Atmel  AT49x040 (512K x 8)", 1, 2, 0x04000000, false, {{1, 0}},
     kHostText},
    {"22: erase all", "Atmel  AT49x040 (512K x 8)", 1, 1, 0x04000000, true, {}, kHostText},
    // JEDEC, byte/word addressing
    {"11: two x8 lanes", "AMD  Am29LV400B (512K x 8)", 2, 1, 0x02000000, false, {{0, 0}, {0, 5}, {0, 10}},
     kHostText},
    {"12: two x16 lanes on a 32-bit bus, two banks", "AMD  Am29LV400B (256K x 16)", 4, 2, 0x03000000, false,
     {{0, 3}, {1, 10}}, kHostText},
    {"12: erase all, x16 on a 16-bit bus", "AMD  Am29LV400B (256K x 16)", 2, 1, 0x03000000, true, {}, kHostText},
    {"23: four x8 lanes", "Atmel  AT49x4096A (512K x 8)", 4, 1, 0x05000000, false, {{0, 1}, {0, 3}}, kHostText},
    {"23: erase all, 8-bit bus", "Atmel  AT49x4096A (512K x 8)", 1, 1, 0x05000000, true, {}, kHostText},
    {"24: two x16 lanes", "Atmel  AT49x4096A (256K x 16)", 4, 1, 0x06000000, false, {{0, 0}, {0, 2}}, kHostText},
    {"24: 128 sectors", "SST 39VF400A (256K x 16)", 2, 1, 0x06000000, false, {{0, 64}, {0, 127}}, kHostText},
    {"32: x8 on an 8-bit bus", "AMD  Am29LV160MB (2M x 8)", 1, 1, 0x08000000, false, {{0, 0}, {0, 4}, {0, 34}},
     kHostText},
    {"33: x16 on a 16-bit bus, two banks", "AMD  Am29LV160MB (1M x 16)", 2, 2, 0x09000000, false, {{1, 3}, {1, 4}},
     kHostText},
    // JEDEC, x16/x32 addressing
    {"35: two x16 lanes", "AMD  Am29PL320DB (2M x 16)", 4, 1, 0x10000000, false, {{0, 0}, {0, 9}, {0, 18}},
     kHostText},
    {"35: erase all, x16 on a 16-bit bus", "AMD  Am29PL320DB (2M x 16)", 2, 1, 0x10000000, true, {}, kHostText},
    {"36: x32", "AMD  Am29PL320DB (1M x 32)", 4, 2, 0x11000000, false, {{0, 2}, {1, 18}}, kHostText},
    // Intel block erase
    {"5: two x8 lanes", "Intel  28F004B5-T", 2, 1, 0x01000000, false, {{0, 0}, {0, 6}}, kHostText},
    {"5: four x8 lanes, erase all", "Intel  28F001BX-T", 4, 1, 0x01000000, true, {}, kHostText},
    {"6: x16 on a 16-bit bus, two banks", "Intel  28F400B5-B (256K x 16)", 2, 2, 0x02000000, false,
     {{0, 2}, {1, 6}}, kHostText},
    {"29: x8 on an 8-bit bus", "Intel  28F320J3 (4M x 8)", 1, 1, 0x04000000, false, {{0, 1}, {0, 31}}, kHostText},
    {"30: two x16 lanes on a 32-bit bus", "Intel  28F320J3 (2M x 16)", 4, 1, 0x08000000, false, {{0, 0}, {0, 17}},
     kHostText},
    {"49: 16-bit block erase", "STR91xF Flash (512K+32K)", 2, 1, 0x07000000, false, {{0, 1}, {0, 11}}, kHostText},
    {"49: erase all", "STR91xF Flash (512K+32K)", 2, 1, 0x07000000, true, {}, kHostText},
    // On-chip, by the probe's firmware
    {"40: mass erase", "MAC7112 Program Flash (256K)", 4, 1, 0x01000000, true, {}, nullptr},
    {"40: sectors", "MAC7112 Program Flash (256K)", 4, 1, 0x01000000, false, {{0, 0}, {0, 63}}, nullptr},
    {"41: sectors", "MAC7100 Data Flash (32K)", 2, 1, 0x02000000, false, {{0, 5}, {0, 6}}, nullptr},
    {"42: mask", "LPC2138/48 Flash (512K)", 1, 1, 0x00000000, false, {{0, 0}, {0, 26}}, "Memory successful erased"},
    {"43: mask", "STR71xF Flash (256K)", 4, 1, 0x03000000, false, {{0, 2}, {0, 7}}, nullptr},
    {"43: mask from bit 16", "STR71xF Flash (16K)", 4, 1, 0x03400000, false, {{0, 1}}, nullptr},
    {"44: sectors", "ADuC7000 Flash", 2, 1, 0x04000000, false, {{0, 0}, {0, 123}}, "Memory successful erased"},
    {"44: whole device", "ADuC7000 Flash", 2, 1, 0x04000000, true, {}, "Memory successful erased"},
    {"45: mask", "ST30F772 Flash (256K)", 4, 1, 0x05000000, false, {{0, 7}}, nullptr},
    {"46: sectors", "AT91SAM7S32 Flash", 4, 1, 0x06000000, false, {{0, 1}, {0, 127}}, "Memory successful erased"},
    {"46: whole device", "AT91SAM7S32 Flash", 4, 1, 0x06000000, true, {}, "Memory successful erased"},
};

void PrintTo(const SCase& c, std::ostream* os)
{
    *os << c.what;
}

class EraseEveryFamily : public ::testing::TestWithParam<SCase> {};

TEST_P(EraseEveryFamily, ErasesExactlyTheChosenSectors)
{
    const SCase& c = GetParam();
    const CFlashUnderTest flash(c.device, c.busBytes, c.banks, c.base);
    ASSERT_NE(flash.device, nullptr);
    CSimFixture sim(BoardText(flash));
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    ProgramPatterns(sim, flash);

    SEraseRun run;
    RunErase(sim, CSystemClock::Instance(), flash.Target(c.eraseAll, c.selection), run);
    ASSERT_TRUE(run.ok) << run.view.Status();
    EXPECT_TRUE(run.reported.empty());
    if (c.success)
        EXPECT_EQ(run.view.Status(), c.success);
    else
        EXPECT_EQ(run.view.Status().rfind("Memory successful erased (Erase Time: ", 0), 0u) << run.view.Status();
    ASSERT_FALSE(run.view.progress.empty());
    EXPECT_EQ(run.view.progress.back(), 100);

    // On-chip flash takes its selection from bank 0 and is one bank.
    for (uint32_t bank = 0; bank < flash.banks; ++bank)
        for (uint32_t sector = 0; sector < flash.Sectors(); ++sector) {
            bool chosen = c.eraseAll;
            for (auto [b, s] : c.selection)
                chosen = chosen || (uint32_t(b) == bank && uint32_t(s) == sector);
            EXPECT_TRUE(SectorIs(sim, flash, bank, sector, chosen ? EState::Erased : EState::Pattern));
        }
}

INSTANTIATE_TEST_SUITE_P(Sim, EraseEveryFamily, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SCase>& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name + "_" + std::to_string(info.index);
                         });

TEST(EraseEveryFamilyCoverage, EveryEraseCodeOfTheCatalogueHasACase)
{
    std::vector<uint32_t> covered;
    for (const SCase& c : kCases)
        covered.push_back(CFlashCatalogue::FindFlashDevice(c.device)->eraseAlgorithm);
    for (int i = 1; i < CFlashCatalogue::FlashDeviceCount(); ++i) {
        const uint32_t code = CFlashCatalogue::FlashDeviceAt(i)->eraseAlgorithm;
        if (code != 0) {
            EXPECT_NE(std::find(covered.begin(), covered.end(), code), covered.end()) << "code " << code;
        }
    }
}

// ---- Failures ----------------------------------------------------------------

struct SFailureCase {
    const char* what;
    const char* device;
    uint32_t busBytes;
    uint32_t base;
    const char* fault;       // a fault line
    bool eraseAll;
    Selection selection;
    const char* text;
    // Sectors that must be erased and untouched afterwards.
    std::vector<int> erased;
    std::vector<int> untouched;
};

const SFailureCase kFailures[] = {
    {"DQ5 of an x16 chip", "AMD  Am29LV160MB (1M x 16)", 2, 0x09000000, "fault erase-fail 0x09008000", false,
     {{0, 2}, {0, 3}, {0, 4}}, "Erasing failed at bank  0 sector  3 ! \nProcess aborted...", {2}, {4, 5}},
    {"DQ5 of the high x8 lane", "AMD  Am29F040", 2, 0x01000000, "fault erase-fail 0x01040001", false,
     {{0, 1}, {0, 2}}, "Erasing failed at bank  0 sector  2 ! \nProcess aborted...", {1}, {3}},
    {"DQ5 during a chip erase", "AMD  Am29LV400B (256K x 16)", 4, 0x03000000, "fault erase-fail 0x03000002", true,
     {}, "Erasing failed at bank  0 ! \nProcess aborted...", {}, {}},
    {"Intel status of the high x8 lane", "Intel  28F004B5-T", 2, 0x01000000, "fault erase-fail 0x01000001", false,
     {{0, 0}, {0, 1}}, "Erasing failed at bank  0 sector  0 ! \nProcess aborted...", {}, {1}},
    {"Intel status of an x16 lane on a 32-bit bus", "Intel  28F320J3 (2M x 16)", 4, 0x08000000,
     "fault erase-fail 0x08040002", false, {{0, 0}, {0, 1}, {0, 2}},
     "Erasing failed at bank  0 sector  1 ! \nProcess aborted...", {0}, {2}},
    {"code 49 status", "STR91xF Flash (512K+32K)", 2, 0x07000000, "fault erase-fail 0x07010000", false,
     {{0, 0}, {0, 1}}, "Erasing failed at sector  1 ! \nProcess aborted...", {0}, {2}},
    {"on-chip 40 names the failing sector", "MAC7112 Program Flash (256K)", 4, 0x01000000,
     "fault erase-fail 0x01002000", false, {{0, 1}, {0, 2}, {0, 3}}, "Erasing failed at 0x01002000", {1}, {3}},
    {"on-chip 42", "LPC2138/48 Flash (512K)", 1, 0x00000000, "fault erase-fail 0x00001000", false, {{0, 1}},
     "Erasing failed", {}, {0}},
    {"on-chip 44 per sector", "ADuC7000 Flash", 2, 0x04000000, "fault erase-fail 0x04000200", false,
     {{0, 0}, {0, 1}}, "Erasing failed", {0}, {2}},
};

void PrintTo(const SFailureCase& c, std::ostream* os)
{
    *os << c.what;
}

class EraseFailures : public ::testing::TestWithParam<SFailureCase> {};

TEST_P(EraseFailures, StopWithTheFamilysTextAndKeepWhatWasErased)
{
    const SFailureCase& c = GetParam();
    const CFlashUnderTest flash(c.device, c.busBytes, 1, c.base);
    ASSERT_NE(flash.device, nullptr);
    CSimFixture sim(BoardText(flash, std::string(c.fault) + "\n"));
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    ProgramPatterns(sim, flash);

    SEraseRun run;
    RunErase(sim, CSystemClock::Instance(), flash.Target(c.eraseAll, c.selection), run);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.view.Status(), c.text);
    EXPECT_TRUE(run.reported.empty());
    for (int s : c.erased)
        EXPECT_TRUE(SectorIs(sim, flash, 0, uint32_t(s), EState::Erased));
    for (int s : c.untouched)
        EXPECT_TRUE(SectorIs(sim, flash, 0, uint32_t(s), EState::Pattern));
}

INSTANTIATE_TEST_SUITE_P(Sim, EraseFailures, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<SFailureCase>& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name + "_" + std::to_string(info.index);
                         });

// ---- Timeouts: erases that never finish, on a clock that runs fast ----------

struct STimeoutCase {
    const char* what;
    const char* device;
    uint32_t busBytes;
    uint32_t base;
    const char* fault;
    bool eraseAll;
    Selection selection;
    const char* text;
    uint64_t timeoutMs;
};

const STimeoutCase kTimeouts[] = {
    {"JEDEC sector", "AMD  Am29LV160MB (1M x 16)", 2, 0x09000000, "fault erase-hang 0x09008000", false,
     {{0, 2}, {0, 3}}, "Erasing timeout at bank  0 sector  3 ! \nProcess aborted...", 60000},
    {"JEDEC chip erase", "AMD  Am29F040", 1, 0x01000000, "fault erase-hang 0x01010000", true, {},
     "Erasing timeout at bank  0 ! \nProcess aborted...", 300000},
    {"no failure bit: a failed erase only times out", "Atmel  AT49x4096A (512K x 8)", 1, 0x05000000,
     "fault erase-fail 0x05000000", false, {{0, 0}}, "Erasing timeout at bank  0 sector  0 ! \nProcess aborted...",
     60000},
    {"Intel", "Intel  28F400B5-B (256K x 16)", 2, 0x02000000, "fault erase-hang 0x02006000", false, {{0, 2}},
     "Erasing timeout at bank  0 sector  2 ! \nProcess aborted...", 60000},
    {"code 49", "STR91xF Flash (512K+32K)", 2, 0x07000000, "fault erase-hang 0x07000000", false, {{0, 0}},
     "Erasing timeout at sector  0 ! \nProcess aborted...", 60000},
    {"on-chip, bounded", "STR71xF Flash (256K)", 4, 0x03000000, "fault erase-hang 0x03000000", true, {},
     "Erasing timeout", 300000},
};

void PrintTo(const STimeoutCase& c, std::ostream* os)
{
    *os << c.what;
}

class EraseTimeouts : public ::testing::TestWithParam<STimeoutCase> {};

TEST_P(EraseTimeouts, EndAfterTheirTimeoutOfTheHostClock)
{
    const STimeoutCase& c = GetParam();
    const CFlashUnderTest flash(c.device, c.busBytes, 1, c.base);
    ASSERT_NE(flash.device, nullptr);
    // Devices that do not hang finish at once.
    CSimFixture sim(BoardText(flash, std::string(c.fault) + "\n", ""));
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    ProgramPatterns(sim, flash);

    // Every reading of the host clock moves it 1000 ms: the timeout comes
    // after a few hundred polls, not minutes.
    CManualClock clock(1000);
    const uint32_t before = sim.RequestsReceived();
    SEraseRun run;
    RunErase(sim, clock, flash.Target(c.eraseAll, c.selection), run);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.view.Status(), c.text);
    EXPECT_TRUE(run.reported.empty());
    EXPECT_GE(sim.RequestsReceived() - before, c.timeoutMs / 1000);
    EXPECT_LT(sim.RequestsReceived() - before, c.timeoutMs / 1000 * 3);
}

INSTANTIATE_TEST_SUITE_P(Sim, EraseTimeouts, ::testing::ValuesIn(kTimeouts),
                         [](const ::testing::TestParamInfo<STimeoutCase>& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name + "_" + std::to_string(info.index);
                         });

TEST(EraseTimeoutRecovery, AJedecChipThatTimedOutIsResetAndErasesAgain)
{
    const CFlashUnderTest flash("AMD  Am29LV160MB (1M x 16)", 2, 1, 0x09000000);
    CSimFixture sim(BoardText(flash, "fault erase-hang 0x09008000\n", ""));
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    ProgramPatterns(sim, flash);
    CManualClock clock(1000);
    SEraseRun first;
    RunErase(sim, clock, flash.Target(false, {{0, 3}}), first);
    ASSERT_FALSE(first.ok);
    // The reset abandoned the erase: sector 3 is as it was, and the chip
    // answers the next erase.
    EXPECT_TRUE(SectorIs(sim, flash, 0, 3, EState::Pattern));
    SEraseRun second;
    RunErase(sim, CSystemClock::Instance(), flash.Target(false, {{0, 4}}), second);
    EXPECT_TRUE(second.ok) << second.view.Status();
    EXPECT_TRUE(SectorIs(sim, flash, 0, 4, EState::Erased));
}

// ---- Library errors ----------------------------------------------------------

TEST(EraseLibraryErrors, ADroppedReplyMidEraseIsReportedAndStopsTheErase)
{
    const CFlashUnderTest flash("AMD  Am29F040", 2, 2, 0x01000000);
    // The third request after the open (the third unlock write) gets no reply.
    CSimFixture::SOptions options;
    options.faults.dropReplyTo = CSimFixture::HandshakeRequests() + 3;
    CManualClock linkClock; // the dropped reply times out at once
    options.linkClock = &linkClock;
    CSimFixture sim(BoardText(flash), options);
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    ProgramPatterns(sim, flash);

    SEraseRun run;
    RunErase(sim, CSystemClock::Instance(), flash.Target(false, {{0, 1}, {1, 1}}), run);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.reported, std::vector<int>{kStatusTimeout});
    EXPECT_EQ(run.view.Status(), sim.Library().LinkErrorText(kStatusTimeout));
    EXPECT_EQ(run.view.statuses.front(), "Erasing  bank  0 sector  1");
    // Nothing was erased, and the second bank was never started.
    EXPECT_TRUE(SectorIs(sim, flash, 0, 1, EState::Pattern));
    EXPECT_TRUE(SectorIs(sim, flash, 1, 1, EState::Pattern));
    for (const std::string& text : run.view.statuses)
        EXPECT_EQ(text.find("bank  1"), std::string::npos) << text;
}

TEST(EraseLibraryErrors, AFlashBehindAnUnsetChipSelectIsReported)
{
    const CFlashUnderTest flash("AMD  Am29LV160MB (1M x 16)", 2, 1, 0x09000000);
    CSimFixture selected("ram 0x40000000 64K\n"
                         "flash \"AMD  Am29LV160MB (1M x 16)\" base=0x09000000 bus=16 cs=0xFFE00000:0x00003C01\n");
    ASSERT_TRUE(selected.Ok()) << selected.Error();
    SEraseRun run;
    RunErase(selected, CSystemClock::Instance(), flash.Target(false, {{0, 0}}), run);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.reported, std::vector<int>{kStatusTargetAccessError});

    // Once an init list has set the register, the same erase goes through.
    ASSERT_TRUE(selected.BusWrite(0xFFE00000, 4, 0x00003C01));
    SEraseRun again;
    RunErase(selected, CSystemClock::Instance(), flash.Target(false, {{0, 0}}), again);
    EXPECT_TRUE(again.ok) << again.view.Status();
}

TEST(EraseLibraryErrors, AnOnChipRequestTheProbeRefusesIsReported)
{
    // Code 42 needs its workspace in RAM; a board without RAM there refuses.
    const CFlashUnderTest flash("LPC2138/48 Flash (512K)", 1, 1, 0);
    CSimFixture sim(flash.BoardLine());
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    SEraseRun run;
    RunErase(sim, CSystemClock::Instance(), flash.Target(true, {}), run);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.reported, std::vector<int>{kStatusNoAlgorithmRam});
    EXPECT_EQ(run.view.Status(), "RAM for algorithm code not present.");
}

} // namespace
