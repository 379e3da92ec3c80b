// The erase walk as plain values: families, unlock addresses per width and
// lanes, replicated and masked command values, poll rules, timeouts, texts,
// selections and the on-chip requests, all without a probe.
#include "project/erase_map.h"
#include "flash/erase_plan.h"
#include "flash/operation_texts.h"
#include "catalogue/flash_catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Cycles = std::vector<SBusCycle>;

SBusCycle W(uint32_t address, uint32_t value)
{
    return {false, address, value};
}

// A target of `banks` banks of devices with sectors at `starts`; `selected`
// lists (bank, sector) pairs.
SEraseTarget Target(uint32_t code, uint32_t busBytes, uint32_t deviceWidth, uint32_t deviceSize,
                    std::vector<uint32_t> starts, uint32_t banks, uint32_t base, bool eraseAll,
                    const std::vector<std::pair<uint32_t, uint32_t>>& selected = {})
{
    SEraseTarget t;
    t.eraseAlgorithm = code;
    t.busWidthBytes = busBytes;
    t.deviceWidth = deviceWidth;
    t.deviceSizeBytes = deviceSize;
    t.sectorStarts = std::move(starts);
    t.banks = banks;
    t.base = base;
    t.eraseAll = eraseAll;
    t.selected.assign(banks, std::vector<bool>(t.sectorStarts.size(), false));
    for (auto [bank, sector] : selected)
        t.selected.at(bank).at(sector) = true;
    return t;
}

const std::vector<uint32_t> kFourSectors = {0x0000, 0x4000, 0x8000, 0xC000};

CErasePlan Plan(const SEraseTarget& target)
{
    CErasePlan plan;
    std::string error;
    EXPECT_TRUE(CErasePlan::Build(target, plan, error)) << error;
    return plan;
}

TEST(ErasePlan, TwoX16DevicesOfCode12OnA32BitBusUnlockAtTheirLaneOffsets)
{
    // Bank size 2 x 64 KiB; bank 1 starts at 0x20000 above the base.
    const CErasePlan plan = Plan(Target(12, 4, 2, 0x10000, kFourSectors, 2, 0x80000000, false, {{1, 2}}));
    ASSERT_EQ(plan.passes.size(), 1u);
    const SErasePass& pass = plan.passes[0];
    const uint32_t bank = 0x80020000;
    const uint32_t sector = bank + 0x8000 * 2;
    EXPECT_EQ(plan.accessWidth, 4u);
    EXPECT_EQ(pass.commands, (Cycles{W(bank + 0x15554, 0xAAAAAAAA), W(bank + 0xAAA8, 0x55555555),
                                     W(bank + 0x15554, 0x80808080), W(bank + 0x15554, 0xAAAAAAAA),
                                     W(bank + 0xAAA8, 0x55555555), W(sector, 0x30303030)}));
    EXPECT_EQ(pass.finish, (Cycles{W(bank + 0x15554, 0xAAAAAAAA), W(bank + 0xAAA8, 0x55555555),
                                   W(bank + 0x15554, 0xF0F0F0F0)}));
    EXPECT_EQ(pass.pollAddress, sector);
    EXPECT_EQ(pass.timeoutMs, 60000u);
    EXPECT_EQ(plan.pollRule, EPollRule::JedecFailureBit);
    EXPECT_EQ(plan.finishRule, EFinishRule::Always);
    EXPECT_EQ(plan.laneWidth, 2u);
    EXPECT_EQ(COperationTexts::PassStarted(pass), "Erasing  bank  1 sector  2");
    EXPECT_EQ(COperationTexts::PassFailed(pass), "Erasing failed at bank  1 sector  2 ! \nProcess aborted...");
    EXPECT_EQ(COperationTexts::PassTimedOut(pass), "Erasing timeout at bank  1 sector  2 ! \nProcess aborted...");
    EXPECT_EQ(plan.progressTotal, 1u);
}

TEST(ErasePlan, EraseAllOnTwoBanksOfCode2IsOneChipErasePerBank)
{
    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice("AMD  Am29F040");
    ASSERT_NE(device, nullptr);
    CEraseMap map;
    map.Resize(2, static_cast<int>(device->sectorCount));
    const CErasePlan plan = Plan(SEraseTarget::ForDevice(*device, 1, 2, 0x01000000, 0xFFFFFFFF, true, map));
    ASSERT_EQ(plan.passes.size(), 2u);
    for (uint32_t bank = 0; bank < 2; ++bank) {
        const SErasePass& pass = plan.passes[bank];
        const uint32_t start = 0x01000000 + bank * 0x80000;
        EXPECT_EQ(pass.sector, -1);
        EXPECT_EQ(pass.commands, (Cycles{W(start + 0x5555, 0xAA), W(start + 0x2AAA, 0x55), W(start + 0x5555, 0x80),
                                         W(start + 0x5555, 0xAA), W(start + 0x2AAA, 0x55),
                                         W(start + 0x5555, 0x10)}));
        EXPECT_EQ(pass.pollAddress, start);
        EXPECT_EQ(pass.timeoutMs, 300000u);
        EXPECT_EQ(pass.progressStep, device->sectorCount);
    }
    EXPECT_EQ(COperationTexts::PassStarted(plan.passes[1]), "Erasing  bank  1");
    EXPECT_EQ(COperationTexts::PassFailed(plan.passes[1]), "Erasing failed at bank  1 ! \nProcess aborted...");
    EXPECT_EQ(COperationTexts::PassTimedOut(plan.passes[1]), "Erasing timeout at bank  1 ! \nProcess aborted...");
    EXPECT_EQ(plan.progressTotal, 2u * device->sectorCount);
}

TEST(ErasePlan, UnlockAddressesFollowTheFamilyDeviceWidthAndLanes)
{
    struct SCase {
        uint32_t code, busBytes, deviceWidth, u1, u2;
    };
    const SCase cases[] = {
        {2, 1, 1, 0x5555, 0x2AAA},      {31, 2, 1, 0xAAAA, 0x5554},     {22, 4, 1, 0x15554, 0xAAA8},
        {11, 1, 1, 0xAAAA, 0x5555},     {23, 4, 1, 0x2AAA8, 0x15554},   {12, 2, 2, 0xAAAA, 0x5554},
        {33, 4, 2, 0x15554, 0xAAA8},    {35, 2, 2, 0x5554, 0xAAA8},     {36, 4, 4, 0x15554, 0xAAA8},
        {37, 4, 2, 0xAAA8, 0x15550},    {38, 4, 4, 0x15554, 0xAAA8},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.code) + " bus " + std::to_string(c.busBytes));
        const CErasePlan plan = Plan(Target(c.code, c.busBytes, c.deviceWidth, 0x40000, kFourSectors, 1, 0x1000000,
                                            false, {{0, 1}}));
        ASSERT_EQ(plan.passes.size(), 1u);
        const Cycles& cmd = plan.passes[0].commands;
        ASSERT_EQ(cmd.size(), 6u);
        EXPECT_EQ(cmd[0].address, 0x1000000 + c.u1);
        EXPECT_EQ(cmd[1].address, 0x1000000 + c.u2);
        const uint32_t lanes = c.busBytes / c.deviceWidth;
        EXPECT_EQ(cmd[5].address, 0x1000000 + 0x4000 * lanes);
        EXPECT_EQ(plan.accessWidth, c.busBytes);
    }
}

TEST(ErasePlan, PollAndResetRulesOfTheJedecCodes)
{
    struct SCase {
        uint32_t code, deviceWidth;
        EPollRule poll;
        EFinishRule finish;
    };
    const SCase cases[] = {
        {2, 1, EPollRule::JedecFailureBit, EFinishRule::Always},
        {36, 4, EPollRule::JedecFailureBit, EFinishRule::Always},
        {22, 1, EPollRule::JedecNoFailureBit, EFinishRule::AfterTimeout},
        {23, 1, EPollRule::JedecNoFailureBit, EFinishRule::AfterTimeout},
        {24, 2, EPollRule::JedecNoFailureBit, EFinishRule::AfterTimeout},
        {37, 2, EPollRule::JedecDummyRead, EFinishRule::Always},
        {38, 4, EPollRule::JedecDummyRead, EFinishRule::Always},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.code));
        const CErasePlan plan = Plan(Target(c.code, 4, c.deviceWidth, 0x40000, kFourSectors, 1, 0, false, {{0, 3}}));
        EXPECT_EQ(plan.pollRule, c.poll);
        EXPECT_EQ(plan.finishRule, c.finish);
        EXPECT_EQ(plan.passes.at(0).dummyReadAddress, plan.passes.at(0).pollAddress ^ 4u);
    }
}

TEST(ErasePlan, SectorPassesFollowTheSelectionAndSkipBanksWithNothingSelected)
{
    const CErasePlan plan = Plan(Target(2, 1, 1, 0x10000, kFourSectors, 3, 0, false, {{0, 3}, {2, 0}, {2, 2}}));
    ASSERT_EQ(plan.passes.size(), 3u);
    EXPECT_EQ(plan.passes[0].bank, 0u);
    EXPECT_EQ(plan.passes[0].sector, 3);
    EXPECT_EQ(plan.passes[1].bank, 2u);
    EXPECT_EQ(plan.passes[1].sector, 0);
    EXPECT_EQ(plan.passes[1].pollAddress, 0x20000u);
    EXPECT_EQ(plan.passes[2].pollAddress, 0x28000u);
    EXPECT_EQ(plan.progressTotal, 3u);
}

TEST(ErasePlan, AlgorithmCodesWithoutAFamilyPlanNothing)
{
    for (uint32_t code : {0u, 1u, 16u, 27u, 28u, 50u}) {
        SCOPED_TRACE(code);
        // The geometry of a code without a family is never looked at.
        const CErasePlan plan = Plan(Target(code, 0, 0, 0, {}, 0, 0, true));
        EXPECT_EQ(plan.family, EEraseFamily::None);
        EXPECT_TRUE(plan.passes.empty());
        EXPECT_TRUE(plan.requests.empty());
    }
}

TEST(ErasePlan, IntelLaneMaskShapesEveryCommandValue)
{
    struct SCase {
        uint32_t code, busBytes, deviceWidth, mask, erase, confirm, clear;
    };
    const SCase cases[] = {
        {29, 1, 1, 0xFF, 0x20, 0xD0, 0x50},
        {5, 2, 1, 0xFFFF, 0x2020, 0xD0D0, 0x5050},
        {6, 2, 2, 0x00FF, 0x0020, 0x00D0, 0x0050},
        {5, 4, 1, 0xFFFFFFFF, 0x20202020, 0xD0D0D0D0, 0x50505050},
        {30, 4, 2, 0x00FF00FF, 0x00200020, 0x00D000D0, 0x00500050},
        {34, 4, 4, 0xFF, 0x20, 0xD0, 0x50},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.code) + " bus " + std::to_string(c.busBytes));
        const CErasePlan plan = Plan(Target(c.code, c.busBytes, c.deviceWidth, 0x40000, kFourSectors, 1, 0x2000000,
                                            false, {{0, 2}}));
        ASSERT_EQ(plan.passes.size(), 1u);
        const uint32_t at = 0x2000000 + 0x8000 * (c.busBytes / c.deviceWidth);
        EXPECT_EQ(plan.family, EEraseFamily::IntelBlock);
        EXPECT_EQ(plan.laneMask, c.mask);
        EXPECT_EQ(plan.pollRule, EPollRule::IntelStatus);
        EXPECT_EQ(plan.passes[0].commands, (Cycles{W(at, c.erase), W(at, c.confirm)}));
        EXPECT_EQ(plan.passes[0].finish, (Cycles{W(at, c.clear), W(at, c.mask), SBusCycle{true, at, 0}}));
        EXPECT_EQ(plan.passes[0].timeoutMs, 60000u);
    }
}

TEST(ErasePlan, IntelEraseAllIsEverySectorOfEveryBank)
{
    const CErasePlan plan = Plan(Target(5, 2, 1, 0x10000, kFourSectors, 2, 0, true));
    ASSERT_EQ(plan.passes.size(), 8u);
    EXPECT_EQ(COperationTexts::PassStarted(plan.passes[7]), "Erasing  bank  1 sector  3");
    EXPECT_EQ(plan.passes[7].pollAddress, 0x20000u + 0xC000 * 2);
    EXPECT_EQ(COperationTexts::PassFailed(plan.passes[7]), "Erasing failed at bank  1 sector  3 ! \nProcess aborted...");
    EXPECT_EQ(plan.progressTotal, 8u);
}

TEST(ErasePlan, Code49UsesBank0sSelectionWith16BitCycles)
{
    const CErasePlan plan = Plan(Target(49, 2, 2, 0x10000, kFourSectors, 2, 0x7000000, false, {{0, 1}, {1, 3}}));
    // Bank 1's own choice (sector 3) does not count; bank 0's sector 1 is
    // erased in both banks.
    ASSERT_EQ(plan.passes.size(), 2u);
    EXPECT_EQ(plan.family, EEraseFamily::IntelBank0);
    EXPECT_EQ(plan.accessWidth, 2u);
    EXPECT_EQ(plan.pollRule, EPollRule::Intel16Status);
    EXPECT_EQ(plan.finishRule, EFinishRule::AlwaysCounted);
    const uint32_t at = 0x7000000 + 0x10000 + 0x4000;
    EXPECT_EQ(plan.passes[1].commands, (Cycles{W(at, 0x20), W(at, 0xD0)}));
    EXPECT_EQ(plan.passes[1].finish, (Cycles{W(at, 0x50), W(at, 0xFFFF)}));
    EXPECT_EQ(COperationTexts::PassStarted(plan.passes[1]), "Erasing sector  1");
    EXPECT_EQ(COperationTexts::PassFailed(plan.passes[1]), "Erasing failed at sector  1 ! \nProcess aborted...");
    EXPECT_EQ(COperationTexts::PassTimedOut(plan.passes[1]), "Erasing timeout at sector  1 ! \nProcess aborted...");
    EXPECT_EQ(plan.progressTotal, 2u);
}

TEST(ErasePlan, OnChipRequestsPerFamily)
{
    using R = SOnChipRequest;
    using Reqs = std::vector<R>;
    const uint32_t ws = 0x40000000;
    const std::vector<uint32_t> eight = {0, 0x2000, 0x4000, 0x6000, 0x8000, 0xA000, 0xC000, 0xE000};
    struct SCase {
        uint32_t code;
        uint32_t busBytes;
        std::vector<uint32_t> starts;
        bool eraseAll;
        Reqs requests;
        EOnChipPoll poll;
        EOnChipTime time;
    };
    const std::vector<uint32_t> two = {0, 0x2000};
    const SCase cases[] = {
        {40, 4, eight, true, Reqs{R{0, 0, 0x1000000, ws, 0}}, EOnChipPoll::Once, EOnChipTime::Sum},
        {40, 4, eight, false, Reqs{R{1, 0, 0x1002000, ws, 0}, R{1, 0, 0x1006000, ws, 0}}, EOnChipPoll::Once,
         EOnChipTime::Sum},
        {41, 2, two, true, Reqs{R{1, 0, 0x1000000, ws, 0}, R{1, 0, 0x1002000, ws, 0}}, EOnChipPoll::Once,
         EOnChipTime::Sum},
        {42, 1, eight, false, Reqs{R{0, 0x10000, 0x0A, ws, 0}}, EOnChipPoll::WhileBusy, EOnChipTime::None},
        {42, 1, eight, true, Reqs{R{0, 0x10000, 0xFF, ws, 0}}, EOnChipPoll::WhileBusy, EOnChipTime::None},
        {43, 4, eight, false, Reqs{R{0, 0x10000, 0x0A, ws, 0}}, EOnChipPoll::WhileBusy, EOnChipTime::Last},
        {43, 4, two, true, Reqs{R{0, 0x10000, 0x30000, ws, 0}}, EOnChipPoll::WhileBusy, EOnChipTime::Last},
        {45, 4, two, false, Reqs{R{0, 0x10000, 0x20000, ws, 0}}, EOnChipPoll::WhileBusy, EOnChipTime::Last},
        {44, 2, eight, true, Reqs{R{0, 0, 0x1000000, ws, 0}}, EOnChipPoll::WhileBusy, EOnChipTime::None},
        {44, 2, eight, false, Reqs{R{1, 0, 0x1002000, ws, 0}, R{1, 0, 0x1006000, ws, 0}}, EOnChipPoll::WhileBusy,
         EOnChipTime::None},
        {46, 4, eight, true, Reqs{R{0, 0x10000, 0x1000000, ws, 0}}, EOnChipPoll::WhileBusy, EOnChipTime::None},
        {46, 4, eight, false, Reqs{R{1, 0x10000, 0x1002000, ws, 0}, R{1, 0x10000, 0x1006000, ws, 0}},
         EOnChipPoll::WhileBusy, EOnChipTime::None},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.code) + (c.eraseAll ? " all" : " selected"));
        const uint32_t base = c.code == 42 ? 0 : 0x1000000;
        // Sectors 1 and 3 of bank 0 are selected; bank 1's choice is never used.
        SEraseTarget t = Target(c.code, c.busBytes, c.busBytes, 0x10000, c.starts, 2, base, c.eraseAll,
                                {{0, 1}, {1, 0}});
        if (c.starts.size() > 3)
            t.selected[0][3] = true;
        t.workspace = ws;
        const CErasePlan plan = Plan(t);
        EXPECT_EQ(plan.family, EEraseFamily::OnChip);
        EXPECT_EQ(plan.requests, c.requests);
        EXPECT_EQ(plan.onChipPoll, c.poll);
        EXPECT_EQ(plan.onChipTime, c.time);
        EXPECT_EQ(plan.failureNamesAddress, c.code == 40 || c.code == 41);
        EXPECT_EQ(plan.progressTotal, c.requests.size());
    }
}

TEST(ErasePlan, OnChipWithoutWorkspacePassesAllOnesAndNothingSelectedInBank0IsRefused)
{
    // Sectors selected in bank 1 only: the on-chip families look at bank 0
    // alone, so the erase must fail instead of reporting success.
    for (uint32_t code : {40u, 42u, 43u, 44u, 46u}) {
        SCOPED_TRACE(code);
        SEraseTarget none = Target(code, 4, 4, 0x10000, kFourSectors, 2, 0, false, {{1, 0}, {1, 2}});
        CErasePlan plan;
        std::string error;
        EXPECT_FALSE(CErasePlan::Build(none, plan, error));
        EXPECT_EQ(error, "Erasing failed: no sector of bank 0 is selected (on-chip flash erases the sectors "
                         "selected in bank 0) ! \nProcess aborted...");
    }
    SEraseTarget t = Target(42, 1, 1, 0x10000, kFourSectors, 1, 0, false);
    EXPECT_EQ(t.workspace, 0xFFFFFFFFu);
    t.selected[0][0] = true;
    EXPECT_EQ(Plan(t).requests.at(0).p3, 0xFFFFFFFFu);
}

TEST(ErasePlan, GeometryTheFamilyCannotHandleIsRefusedWithAReason)
{
    struct SCase {
        const char* what;
        SEraseTarget target;
        const char* error;
    };
    std::vector<uint32_t> unordered = {0, 0x8000, 0x4000};
    std::vector<uint32_t> manySectors(33);
    for (uint32_t i = 0; i < manySectors.size(); ++i)
        manySectors[i] = i * 0x100;
    const SCase cases[] = {
        {"x16 device on an 8-bit bus", Target(12, 1, 2, 0x10000, kFourSectors, 1, 0, true),
         "A device of 16 bits does not fit a data bus of 8 bits!"},
        {"bus of 3 bytes", Target(2, 3, 1, 0x10000, kFourSectors, 1, 0, true),
         "A device of 8 bits does not fit a data bus of 24 bits!"},
        {"no banks", Target(2, 1, 1, 0x10000, kFourSectors, 0, 0, true), "Invalid number of banks (0)!"},
        {"17 banks", Target(2, 1, 1, 0x10000, kFourSectors, 17, 0, true), "Invalid number of banks (17)!"},
        {"sectors out of order", Target(2, 1, 1, 0x10000, unordered, 1, 0, true),
         "Invalid sector table of the memory device!"},
        {"no sectors", Target(2, 1, 1, 0x10000, {}, 1, 0, true), "Invalid sector table of the memory device!"},
        {"sector past the device", Target(2, 1, 1, 0x8000, kFourSectors, 1, 0, true),
         "Invalid sector table of the memory device!"},
        {"past 4 GiB", Target(2, 1, 1, 0x10000, kFourSectors, 2, 0xFFFF0000, true),
         "The flash array does not fit the address space!"},
        {"x8 addressing with x16 device", Target(2, 2, 2, 0x10000, kFourSectors, 1, 0, true),
         "Erase algorithm 2 is not defined for devices of 16 bits!"},
        {"x16/x32 addressing with x8 device", Target(35, 2, 1, 0x10000, kFourSectors, 1, 0, true),
         "Erase algorithm 35 is not defined for devices of 8 bits!"},
        {"code 49 on a 32-bit bus", Target(49, 4, 2, 0x10000, kFourSectors, 1, 0, true),
         "Erase algorithm 49 needs a 16-bit device on a 16-bit data bus!"},
        {"33 sectors under a 32-bit mask", Target(42, 1, 1, 0x10000, manySectors, 1, 0, true),
         "Erase algorithm 42 cannot select more than 32 sectors!"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        CErasePlan plan;
        std::string error;
        EXPECT_FALSE(CErasePlan::Build(c.target, plan, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(ErasePlan, EveryCatalogueDeviceWithAnEraseFamilyPlansOnItsOwnBus)
{
    // Each device on the narrowest bus it fits, one bank and two banks, erase
    // all: a plan with work in it (on-chip flash: requests; others: passes).
    int planned = 0;
    for (int i = 1; i < CFlashCatalogue::FlashDeviceCount(); ++i) {
        const SFlashDevice& device = *CFlashCatalogue::FlashDeviceAt(i);
        if (CErasePlan::FamilyOf(device.eraseAlgorithm) == EEraseFamily::None)
            continue;
        SCOPED_TRACE(device.name);
        CEraseMap map;
        map.Resize(2, static_cast<int>(device.sectorCount));
        const uint32_t banks = CErasePlan::FamilyOf(device.eraseAlgorithm) == EEraseFamily::OnChip ? 1 : 2;
        const SEraseTarget t =
            SEraseTarget::ForDevice(device, device.deviceWidth, banks, 0, SEraseTarget::kNoWorkspace, true, map);
        CErasePlan plan;
        std::string error;
        ASSERT_TRUE(CErasePlan::Build(t, plan, error)) << error;
        EXPECT_FALSE(plan.passes.empty() && plan.requests.empty());
        ++planned;
    }
    EXPECT_GT(planned, 300);
}

TEST(EraseTarget, ForDeviceCopiesTheRowAndTheSelection)
{
    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice("AMD  Am29LV400B (256K x 16)");
    ASSERT_NE(device, nullptr);
    CEraseMap map;
    map.Resize(2, static_cast<int>(device->sectorCount));
    map.SelectSector(1, 4, 1);
    const SEraseTarget t = SEraseTarget::ForDevice(*device, 4, 2, 0x3000000, 0x40000000, false, map);
    EXPECT_EQ(t.eraseAlgorithm, 12u);
    EXPECT_EQ(t.deviceWidth, 2u);
    EXPECT_EQ(t.deviceSizeBytes, 512u * 1024);
    EXPECT_EQ(t.sectorStarts.size(), device->sectorCount);
    EXPECT_EQ(t.sectorStarts.back(), device->sectorTable[device->sectorCount - 1]);
    EXPECT_EQ(t.workspace, 0x40000000u);
    EXPECT_TRUE(t.IsSelected(1, 4));
    EXPECT_FALSE(t.IsSelected(0, 4));
    EXPECT_FALSE(t.IsSelected(2, 0));
}

} // namespace
