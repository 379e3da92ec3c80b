// Carrying out erase plans over a scripted library: polling rules per lane,
// timeouts on a manual clock, the reset and clear-status rules, library
// errors, progress and texts, and the on-chip command frames.
#include "erase_fake_library.h"

#include "probe/probe_status.h"
#include "support/manual_clock.h"
#include "support/recording_operation_view.h"
#include "flash/erase_flash.h"
#include "flash/erase_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::vector<uint32_t> kFourSectors = {0x0000, 0x4000, 0x8000, 0xC000};

SEraseTarget Target(uint32_t code, uint32_t busBytes, uint32_t deviceWidth, uint32_t banks, uint32_t base,
                    bool eraseAll, const std::vector<std::pair<uint32_t, uint32_t>>& selected = {})
{
    SEraseTarget t;
    t.eraseAlgorithm = code;
    t.busWidthBytes = busBytes;
    t.deviceWidth = deviceWidth;
    t.deviceSizeBytes = 0x10000;
    t.sectorStarts = kFourSectors;
    t.banks = banks;
    t.base = base;
    t.eraseAll = eraseAll;
    t.selected.assign(banks, std::vector<bool>(kFourSectors.size(), false));
    for (auto [bank, sector] : selected)
        t.selected.at(bank).at(sector) = true;
    return t;
}

class EraseFlashTest : public ::testing::Test {
protected:
    bool Erase(const SEraseTarget& target)
    {
        return EraseFlash(library, clock, view, target, [this](int status, const std::string& context) {
            reported.push_back({status, context});
            view.SetStatus("reported " + std::to_string(status));
            return false;
        }).Ok();
    }
    size_t CountReads(uint32_t address) const
    {
        size_t n = 0;
        for (const SFakeCall& c : library.Reads())
            n += c.address == address;
        return n;
    }
    bool Wrote(int width, uint32_t address, uint32_t value) const
    {
        for (const SFakeCall& c : library.Writes())
            if (c.IsWrite(width, address, value))
                return true;
        return false;
    }

    CFakeFlashLibrary library;
    CManualClock clock;
    CRecordingOperationView view;
    std::vector<std::pair<int, std::string>> reported; // status, the access named
};

// ---- Intel ----------------------------------------------------------------

TEST_F(EraseFlashTest, IntelStatusOfTwoX8LanesFailsOnAnErrorBitOnceBothAreReady)
{
    // Lane 1 not ready (0x0080) keeps polling; then lane 1 ready and lane 0
    // ready with bits 3 to 6 set (0x80FF) fails the sector.
    library.readScript = {0x0080, 0x0080, 0x80FF};
    EXPECT_FALSE(Erase(Target(5, 2, 1, 1, 0x1000000, false, {{0, 1}})));
    const uint32_t at = 0x1000000 + 0x4000 * 2;
    EXPECT_EQ(CountReads(at), 3u + 1u); // three polls and the read after read-array
    EXPECT_TRUE(Wrote(2, at, 0x2020));
    EXPECT_TRUE(Wrote(2, at, 0xD0D0));
    EXPECT_TRUE(Wrote(2, at, 0x5050));
    EXPECT_TRUE(Wrote(2, at, 0xFFFF));
    EXPECT_EQ(view.Status(), "Erasing failed at bank  0 sector  1 ! \nProcess aborted...");
    EXPECT_TRUE(reported.empty());
}

TEST_F(EraseFlashTest, IntelSectorsAreDoneWhenEveryLaneIsReadyWithoutErrors)
{
    library.readScript = {0x0080};
    library.onRead = [](uint32_t, int) { return 0x8080u; };
    EXPECT_TRUE(Erase(Target(5, 2, 1, 1, 0, false, {{0, 0}, {0, 3}})));
    EXPECT_EQ(view.statuses, (std::vector<std::string>{"Erasing  bank  0 sector  0", "Erasing  bank  0 sector  3",
                                                       "Memory successful erased !"}));
    EXPECT_EQ(view.progress, (std::vector<int>{50, 100, 100}));
}

TEST_F(EraseFlashTest, IntelX16LanesLookOnlyAtTheLowByteOfEachDevice)
{
    // 32-bit bus, two x16 devices: M = 0x00FF00FF. High bytes never count.
    library.readScript = {0x7F807F80};
    EXPECT_TRUE(Erase(Target(30, 4, 2, 1, 0, false, {{0, 2}})));
    library.calls.clear();
    library.onRead = [](uint32_t, int) { return 0x00800008u; };
    clock.SetStep(1000);
    EXPECT_FALSE(Erase(Target(30, 4, 2, 1, 0, false, {{0, 2}})));
    EXPECT_EQ(view.Status(), "Erasing timeout at bank  0 sector  2 ! \nProcess aborted...");
}

TEST_F(EraseFlashTest, Code49PollsSixteenBitStatusAndCountsItsClosingWrites)
{
    library.readScript = {0x0000, 0x0080};
    EXPECT_TRUE(Erase(Target(49, 2, 2, 1, 0x7000000, false, {{0, 2}})));
    EXPECT_TRUE(Wrote(2, 0x7008000, 0x50));
    EXPECT_TRUE(Wrote(2, 0x7008000, 0xFFFF));
    EXPECT_EQ(view.statuses.front(), "Erasing sector  2");

    library.calls.clear();
    library.readScript = {0x00A0};
    EXPECT_FALSE(Erase(Target(49, 2, 2, 1, 0x7000000, false, {{0, 2}})));
    EXPECT_EQ(view.Status(), "Erasing failed at sector  2 ! \nProcess aborted...");

    // A closing write that fails turns a good pass into a reported error.
    library.calls.clear();
    library.readScript = {0x0080};
    library.failCall = 4; // 0x20, 0xD0, the poll, then 0x50
    library.failStatus = kStatusTargetAccessError;
    EXPECT_FALSE(Erase(Target(49, 2, 2, 1, 0x7000000, false, {{0, 2}})));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].first, kStatusTargetAccessError);
}

// ---- JEDEC polling ----------------------------------------------------------

TEST_F(EraseFlashTest, JedecFailsWhenALaneThatShowedDq5StaysBusy)
{
    // 32-bit bus, two x16 lanes: lane 1 shows DQ5, then still is not all ones.
    library.readScript = {0x00080008, 0x00280008, 0x00280008};
    EXPECT_FALSE(Erase(Target(12, 4, 2, 1, 0, false, {{0, 1}})));
    EXPECT_EQ(view.Status(), "Erasing failed at bank  0 sector  1 ! \nProcess aborted...");
    // The reset sequence follows the failure.
    const std::vector<SFakeCall> writes = library.Writes();
    ASSERT_EQ(writes.size(), 9u);
    EXPECT_TRUE(writes[8].IsWrite(4, 0x15554, 0xF0F0F0F0));
}

TEST_F(EraseFlashTest, JedecDq5OfALaneThatIsAlreadyDoneOrInTheHighByteIsNoFailure)
{
    struct SCase {
        const char* what;
        std::deque<uint32_t> reads;
    };
    const SCase cases[] = {
        {"lane 0 finished first (0xFFFF has bit 5)", {0x0008FFFF, 0x0008FFFF, 0xFFFFFFFF}},
        {"bit 5 of an x16 lane's high byte", {0x20082008, 0x20082008, 0xFFFFFFFF}},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        library.calls.clear();
        library.readScript = c.reads;
        EXPECT_TRUE(Erase(Target(12, 4, 2, 1, 0, false, {{0, 1}})));
        EXPECT_EQ(view.Status(), "Memory successful erased !");
    }
}

TEST_F(EraseFlashTest, JedecTimeoutsRunFromTheFirstCommandAndEndOnlyWhenExceeded)
{
    // Every clock reading moves 1000 ms: the sector's 60000 ms have passed
    // (not exceeded) at the 60th check, exceeded at the 61st.
    clock.SetStep(1000);
    library.onRead = [](uint32_t, int) { return 0x08u; };
    EXPECT_FALSE(Erase(Target(2, 1, 1, 1, 0, false, {{0, 2}})));
    EXPECT_EQ(view.Status(), "Erasing timeout at bank  0 sector  2 ! \nProcess aborted...");
    EXPECT_EQ(CountReads(0x8000), 1u + 61u);
    EXPECT_TRUE(Wrote(1, 0x5555, 0xF0));

    library.calls.clear();
    EXPECT_FALSE(Erase(Target(2, 1, 1, 2, 0, true)));
    EXPECT_EQ(view.Status(), "Erasing timeout at bank  0 ! \nProcess aborted...");
    EXPECT_EQ(CountReads(0), 1u + 301u);
}

TEST_F(EraseFlashTest, CodesWithoutFailureBitOnlyTimeOutAndResetOnlyThen)
{
    // Cells that come back not erased (bit 5 set) are no failure for 22: the
    // pass runs into its timeout, and only then is the reset written.
    clock.SetStep(1000);
    library.onRead = [](uint32_t, int) { return 0x20u; };
    EXPECT_FALSE(Erase(Target(22, 1, 1, 1, 0, false, {{0, 0}})));
    EXPECT_EQ(view.Status(), "Erasing timeout at bank  0 sector  0 ! \nProcess aborted...");
    EXPECT_TRUE(Wrote(1, 0x5555, 0xF0));

    library.calls.clear();
    library.onRead = nullptr;
    EXPECT_TRUE(Erase(Target(24, 2, 2, 1, 0, false, {{0, 0}})));
    EXPECT_EQ(library.Writes().size(), 6u); // the erase cycles, no reset
}

TEST_F(EraseFlashTest, Codes37And38ReadTheSectorAddressXor4BeforeEveryPollRead)
{
    library.readScript = {0x0, 0x00200020, 0x0, 0x00280028, 0x0, 0xFFFFFFFF};
    EXPECT_TRUE(Erase(Target(37, 4, 2, 1, 0, false, {{0, 1}})));
    const std::vector<SFakeCall> reads = library.Reads();
    ASSERT_EQ(reads.size(), 6u);
    for (size_t i = 0; i < reads.size(); ++i)
        EXPECT_EQ(reads[i].address, i % 2 == 0 ? 0x8004u : 0x8000u) << i;
    EXPECT_TRUE(Wrote(4, 0xAAA8, 0xF0F0F0F0)); // reset always written
}

TEST_F(EraseFlashTest, AStopDuringAPassWaitsForItsEndAndNamesWhatIsErased)
{
    // The sector stays busy for three more polls after the stop, as a
    // device does: the pass is polled to its end, never left half erased.
    struct SCase {
        const char* what;
        bool eraseAll;
        std::vector<std::pair<uint32_t, uint32_t>> selected;
        uint32_t banks;
        const char* waiting;
        const char* result;
    };
    const SCase cases[] = {
        {"sector erase", false, {{0, 1}, {0, 2}}, 1, "Stopping ...: waiting for the erase of bank  0 sector  1 to end",
         "Erasing stopped: erased bank  0 sector  1 (1 of 2 sectors); the others were not erased."},
        {"chip erase of two banks", true, {}, 2,
         "Stopping ...: a chip erase cannot be stopped once begun; waiting for the end of the erase of bank  0 (the "
         "whole bank is erased)",
         "Erasing stopped: erased bank  0 (whole) (1 of 2 banks); the others were not erased."},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        library.calls.clear();
        view.statuses.clear();
        int busy = 3;
        library.onRead = [&busy](uint32_t, int) { return busy-- > 0 ? 0x08u : 0xFFu; };
        view.cancelAfterEvents = 0; // asked for from the start
        const SOperationResult result =
            EraseFlash(library, clock, view, Target(22, 1, 1, c.banks, 0, c.eraseAll, c.selected));
        EXPECT_EQ(result.status, EOperationStatus::Cancelled);
        EXPECT_EQ(busy, -1) << "polled until the device said done";
        ASSERT_GE(view.statuses.size(), 3u);
        EXPECT_EQ(view.statuses[1], c.waiting);
        EXPECT_EQ(view.Status(), c.result);
        EXPECT_EQ(result.erasedPasses.size(), 1u);
        for (const SFakeCall& w : library.Writes())
            EXPECT_LT(w.address, 0x10000u) << "nothing of the next pass went out";
    }
    view.cancelAfterEvents = -1;
}

TEST_F(EraseFlashTest, AStopDuringTheLastChipEraseLetsItEndAndSaysTheChipWasErased)
{
    int busy = 2;
    library.onRead = [&busy](uint32_t, int) { return busy-- > 0 ? 0x08u : 0xFFu; };
    view.cancelAfterEvents = 0;
    const SOperationResult result = EraseFlash(library, clock, view, Target(2, 1, 1, 1, 0, true));
    EXPECT_TRUE(result.Ok());
    EXPECT_EQ(view.Status(), "Memory successful erased !");
    EXPECT_NE(std::find(view.statuses.begin(), view.statuses.end(),
                        "Stopping ...: a chip erase cannot be stopped once begun; waiting for the end of the erase of "
                        "bank  0 (the whole bank is erased)"),
              view.statuses.end());
    view.cancelAfterEvents = -1;
}

TEST_F(EraseFlashTest, FailuresComeBackAsValues)
{
    clock.SetStep(1000);
    library.onRead = [](uint32_t, int) { return 0x08u; };
    const SOperationResult result = EraseFlash(library, clock, view, Target(2, 1, 1, 2, 0, false, {{1, 3}}));
    EXPECT_EQ(result.status, EOperationStatus::TimedOut);
    EXPECT_EQ(result.bank, 1);
    EXPECT_EQ(result.sector, 3);
    EXPECT_EQ(result.address, 0x1C000u);
}

TEST_F(EraseFlashTest, OnChipSelectionOutsideBankZeroErasesNothingAndFails)
{
    // These devices erase bank 0's selection only; after a device change a
    // project may hold a selection in another bank.
    for (uint32_t code : {40u, 42u, 43u, 44u}) {
        library.calls.clear();
        const SOperationResult result = EraseFlash(library, clock, view, Target(code, 4, 4, 2, 0, false, {{1, 2}}));
        EXPECT_EQ(result.status, EOperationStatus::NotPossible) << code;
        EXPECT_TRUE(library.Frames().empty()) << code;
        EXPECT_EQ(view.Status().rfind("Erasing failed: no sector of bank 0 is selected", 0), 0u) << code;
    }
}

// ---- Selection, progress, code 0 -------------------------------------------

TEST_F(EraseFlashTest, ABankWithNothingSelectedCostsNoLibraryCall)
{
    EXPECT_TRUE(Erase(Target(2, 1, 1, 3, 0, false, {{1, 0}})));
    for (const SFakeCall& c : library.calls)
        EXPECT_TRUE(c.address >= 0x10000 && c.address < 0x20000) << std::hex << c.address;
    EXPECT_FALSE(library.calls.empty());

    library.calls.clear();
    view.statuses.clear();
    EXPECT_TRUE(Erase(Target(2, 1, 1, 3, 0, false)));
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(view.statuses, std::vector<std::string>{"Memory successful erased !"});
}

TEST_F(EraseFlashTest, Code0ErasesNothingAndSucceeds)
{
    SEraseTarget t = Target(0, 2, 2, 1, 0, true);
    EXPECT_TRUE(Erase(t));
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(view.statuses, std::vector<std::string>{"Memory successful erased !"});
    EXPECT_EQ(view.progress, std::vector<int>{100});
}

TEST_F(EraseFlashTest, ProgressCountsSectorsOfEraseAllPasses)
{
    // Erase all of 3 banks: each whole-bank pass accounts for 4 sectors of 12.
    EXPECT_TRUE(Erase(Target(11, 1, 1, 3, 0, true)));
    EXPECT_EQ(view.progress, (std::vector<int>{33, 66, 100, 100}));
}

TEST_F(EraseFlashTest, ARefusedPlanShowsItsReasonAndSendsNothing)
{
    EXPECT_FALSE(Erase(Target(12, 1, 2, 1, 0, true)));
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(view.Status(), "A device of 16 bits does not fit a data bus of 8 bits!");
}

// ---- Library errors ---------------------------------------------------------

TEST_F(EraseFlashTest, ALibraryErrorIsReportedAndStopsTheErase)
{
    struct SCase {
        const char* what;
        uint32_t code;
        size_t failCall;
        size_t resetWrites; // reset cycles written after the error
        const char* access; // the failed access, named in front of the reason
    };
    const SCase cases[] = {
        {"third unlock write, code 2", 2, 3, 3, "Erasing bank  0 sector  0, writing at address 0x00005555"},
        {"first poll read, code 2", 2, 7, 3, "Erasing bank  0 sector  0, reading at address 0x00000000"},
        {"third unlock write, code 23 (no reset)", 23, 3, 0, "Erasing bank  0 sector  0, writing at address 0x0000AAAA"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        library.calls.clear();
        reported.clear();
        library.failCall = c.failCall;
        library.failStatus = kStatusConnectionLost;
        EXPECT_FALSE(Erase(Target(c.code, 1, 1, 2, 0, false, {{0, 0}, {1, 0}})));
        ASSERT_EQ(reported.size(), 1u);
        EXPECT_EQ(reported[0], std::make_pair(int(kStatusConnectionLost), std::string(c.access)));
        EXPECT_EQ(view.Status(), "reported " + std::to_string(kStatusConnectionLost));
        // Nothing of bank 1 is touched, and no reads follow the error.
        EXPECT_EQ(library.calls.size(), c.failCall + c.resetWrites);
        for (size_t i = c.failCall; i < library.calls.size(); ++i)
            EXPECT_EQ(library.calls[i].kind, SFakeCall::EKind::Write);
    }
}

TEST_F(EraseFlashTest, WithoutAReportRoutineTheLibraryTextGoesToTheStatusLine)
{
    library.failCall = 1;
    library.failStatus = kStatusTimeout;
    EXPECT_FALSE(EraseFlash(library, clock, view, Target(2, 1, 1, 1, 0, true)));
    EXPECT_EQ(view.Status(), "Erasing bank  0, writing at address 0x00005555: " + ProbeStatusText(kStatusTimeout));
}

// ---- Round trips between passes ---------------------------------------------

// The accesses of a plan carried out without a failure, in order: each pass's
// command cycles, one poll read (the device is done at once) and, where its
// rule writes them after a pass that succeeded, its closing cycles.
std::vector<SFakeCall> PlannedCalls(const SEraseTarget& target)
{
    CErasePlan plan;
    std::string error;
    EXPECT_TRUE(CErasePlan::Build(target, plan, error)) << error;
    std::vector<SFakeCall> calls;
    auto add = [&](const SBusCycle& c) {
        calls.push_back({c.read ? SFakeCall::EKind::Read : SFakeCall::EKind::Write, int(plan.accessWidth), c.address,
                         c.read ? 0 : c.value, 0, {}});
    };
    for (const SErasePass& pass : plan.passes) {
        for (const SBusCycle& c : pass.commands)
            add(c);
        if (plan.pollRule == EPollRule::JedecDummyRead)
            add({true, pass.dummyReadAddress, 0});
        add({true, pass.pollAddress, 0});
        if (plan.finishRule != EFinishRule::AfterTimeout)
            for (const SBusCycle& c : pass.finish)
                add(c);
    }
    return calls;
}

bool SameAccesses(const std::vector<SFakeCall>& a, const std::vector<SFakeCall>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].width != b[i].width || a[i].address != b[i].address ||
            (a[i].kind == SFakeCall::EKind::Write && a[i].value != b[i].value))
            return false;
    return true;
}

TEST_F(EraseFlashTest, ClosingCyclesAndTheNextUnlockCyclesShareOneBatch)
{
    struct SCase {
        const char* what;
        uint32_t code;
        uint32_t busBytes;        // with devices as wide as the bus
        uint32_t doneValue;       // what a poll read of a finished sector gives
        std::vector<int> batches; // TargetCycles calls, one round trip each
    };
    const SCase cases[] = {
        // unlock, start, [poll], reset + next unlock, start, [poll], ..., reset alone
        {"JEDEC with failure bit", 2, 1, 0xFF, {5, 1, 3 + 5, 1, 3 + 5, 1, 3}},
        {"JEDEC with dummy reads", 37, 2, 0xFFFF, {5, 1, 3 + 5, 1, 3 + 5, 1, 3}},
        {"JEDEC without failure bit: no reset after a good pass", 22, 1, 0xFF, {5, 1, 5, 1, 5, 1}},
        {"Intel: the erase setup goes alone", 5, 1, 0x80, {1, 1, 3, 1, 1, 3, 1, 1, 3}},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        library.calls.clear();
        library.batches.clear();
        view.statuses.clear();
        const uint32_t done = c.doneValue;
        library.onRead = [done](uint32_t, int) { return done; };
        const SEraseTarget target = Target(c.code, c.busBytes, c.busBytes, 1, 0, false, {{0, 0}, {0, 2}, {0, 3}});
        EXPECT_TRUE(Erase(target));
        EXPECT_EQ(library.batches, c.batches);
        // The device sees the same accesses in the same order as before.
        EXPECT_TRUE(SameAccesses(library.calls, PlannedCalls(target)));
        EXPECT_EQ(view.statuses, (std::vector<std::string>{"Erasing  bank  0 sector  0", "Erasing  bank  0 sector  2",
                                                           "Erasing  bank  0 sector  3", "Memory successful erased !"}));
    }
}

// Code 2, sectors 0 and 1 of bank 0 (x8): the calls are pass 0's unlock
// cycles (1-5), its start (6), its poll (7), then the batch of its reset
// (8-10) and pass 1's unlock cycles (11-15), pass 1's start (16).
TEST_F(EraseFlashTest, AFailingUnlockCycleInTheSharedBatchStopsBeforeTheNextStart)
{
    for (const bool goesOn : {false, true}) {
        SCOPED_TRACE(goesOn ? "library goes on after a failure" : "library stops at a failure");
        library.calls.clear();
        library.batches.clear();
        view.statuses.clear();
        view.progress.clear();
        reported.clear();
        library.batchGoesOn = goesOn;
        library.failCall = 12; // pass 1's 0x55 to 0x2AAA
        library.failStatus = kStatusTargetAccessError;
        EXPECT_FALSE(Erase(Target(2, 1, 1, 1, 0, false, {{0, 0}, {0, 1}})));
        ASSERT_EQ(reported.size(), 1u);
        EXPECT_EQ(reported[0], std::make_pair(int(kStatusTargetAccessError),
                                              std::string("Erasing bank  0 sector  1, writing at address 0x00002AAA")));
        EXPECT_EQ(view.statuses, (std::vector<std::string>{"Erasing  bank  0 sector  0", "Erasing  bank  0 sector  1",
                                                           "reported " + std::to_string(kStatusTargetAccessError)}));
        EXPECT_EQ(view.progress, std::vector<int>{50});
        EXPECT_FALSE(Wrote(1, 0x4000, 0x30)); // sector 1 is never started
        // Pass 1 ends with its reset, alone.
        const std::vector<SFakeCall> writes = library.Writes();
        ASSERT_GE(writes.size(), 3u);
        EXPECT_TRUE(writes.back().IsWrite(1, 0x5555, 0xF0));
        EXPECT_EQ(library.batches.back(), 3);
    }
}

TEST_F(EraseFlashTest, AFailingResetInTheSharedBatchIsIgnoredAndTheNextPassStartsFromAWholeReset)
{
    struct SCase {
        const char* what;
        bool goesOn;
        size_t failCall;
    };
    const SCase cases[] = {
        {"first reset cycle, library stops", false, 8},
        {"first reset cycle, library goes on", true, 8},
        {"the 0xF0 itself, library goes on", true, 10},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        library.calls.clear();
        view.statuses.clear();
        reported.clear();
        library.batchGoesOn = c.goesOn;
        library.failCall = c.failCall;
        library.failStatus = kStatusTargetAccessError;
        EXPECT_TRUE(Erase(Target(2, 1, 1, 1, 0, false, {{0, 0}, {0, 1}})));
        EXPECT_TRUE(reported.empty());
        EXPECT_EQ(view.Status(), "Memory successful erased !");
        // Whatever the library carried out after the failure, a whole reset
        // and then pass 1's unlock cycles alone come right before its start.
        const std::vector<SFakeCall> writes = library.Writes();
        size_t start = 0;
        while (start < writes.size() && !writes[start].IsWrite(1, 0x4000, 0x30))
            ++start;
        ASSERT_LT(start, writes.size());
        ASSERT_GE(start, 8u);
        const std::vector<std::pair<uint32_t, uint32_t>> before = {
            {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0xF0}, {0x5555, 0xAA},
            {0x2AAA, 0x55}, {0x5555, 0x80}, {0x5555, 0xAA}, {0x2AAA, 0x55}};
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_TRUE(writes[start - 8 + i].IsWrite(1, before[i].first, before[i].second)) << i;
    }
}

TEST_F(EraseFlashTest, Code49AFailingClosingCycleFailsItsPassAndTheNextNeverStarts)
{
    // Sectors 1 and 2 (0x4000, 0x8000 on a 16-bit bus): 0x20, 0xD0, the
    // poll, then pass 0's 0x50 fails.
    for (const bool goesOn : {false, true}) {
        SCOPED_TRACE(goesOn ? "library goes on after a failure" : "library stops at a failure");
        library.calls.clear();
        view.statuses.clear();
        reported.clear();
        library.batchGoesOn = goesOn;
        library.onRead = [](uint32_t, int) { return 0x0080u; };
        library.failCall = 4;
        library.failStatus = kStatusTargetAccessError;
        const SOperationResult result = EraseFlash(library, clock, view, Target(49, 2, 2, 1, 0, false, {{0, 1}, {0, 2}}),
                                                   [this](int status, const std::string& context) {
                                                       reported.push_back({status, context});
                                                       return false;
                                                   });
        EXPECT_EQ(result.status, EOperationStatus::ProbeError);
        ASSERT_EQ(reported.size(), 1u);
        EXPECT_EQ(reported[0], std::make_pair(int(kStatusTargetAccessError),
                                              std::string("Erasing sector  1, writing at address 0x00004000")));
        EXPECT_EQ(view.statuses, std::vector<std::string>{"Erasing sector  1"});
        for (const SFakeCall& call : library.calls)
            EXPECT_NE(call.address, 0x8000u) << "pass 1 touched";
    }
}

TEST_F(EraseFlashTest, AStopAskedForDuringAPassStartsNoFurtherPass)
{
    struct SCase {
        const char* what;
        uint32_t code;
        uint32_t doneValue;
        size_t closingWrites; // what follows pass 0's poll
    };
    const SCase cases[] = {
        {"JEDEC: the reset goes alone", 2, 0xFF, 3},
        {"JEDEC without failure bit: nothing", 22, 0xFF, 0},
        {"Intel", 5, 0x80, 2},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        library.calls.clear();
        view.statuses.clear();
        view.progress.clear();
        view.cancelAfterEvents = -1;
        const uint32_t done = c.doneValue;
        // The stop is asked for while pass 0's poll finds the sector done.
        library.onRead = [this, done](uint32_t, int) {
            view.cancelAfterEvents = 0;
            return done;
        };
        const SOperationResult result =
            EraseFlash(library, clock, view, Target(c.code, 1, 1, 1, 0, false, {{0, 0}, {0, 1}}));
        EXPECT_EQ(result.status, EOperationStatus::Cancelled);
        EXPECT_EQ(result.sector, 1); // where it stopped
        EXPECT_EQ(view.statuses, (std::vector<std::string>{"Erasing  bank  0 sector  0",
                                                           "Erasing stopped: erased bank  0 sector  0 (1 of 2 "
                                                           "sectors); the others were not erased."}));
        EXPECT_EQ(view.progress, std::vector<int>{50});
        const std::vector<SFakeCall> writes = library.Writes();
        EXPECT_EQ(writes.size(), (c.code == 5 ? 2u : 6u) + c.closingWrites);
        for (const SFakeCall& w : writes)
            EXPECT_NE(w.address, 0x4000u);
    }
    view.cancelAfterEvents = -1;
}

// ---- On-chip families -------------------------------------------------------

TEST_F(EraseFlashTest, OnChipMaskEraseSendsOneRequestAndPollsWhileBusy)
{
    library.eraseStates = {{2, 0}, {2, 0}, {0, 1234}};
    SEraseTarget t = Target(42, 1, 1, 1, 0, false, {{0, 1}, {0, 2}});
    t.workspace = 0x40000000;
    EXPECT_TRUE(Erase(t));
    const std::vector<SFakeCall> frames = library.Frames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].request, (std::vector<uint8_t>{kCmdFlashErase, 42, 0, 0, 1, 0, 0, 0, 0, 0, 6, 0x40, 0, 0,
                                                       0, 0, 0, 0, 0}));
    for (size_t i = 1; i < 4; ++i)
        EXPECT_EQ(frames[i].command, kCmdFlashEraseStatus);
    EXPECT_EQ(view.Status(), "Memory successful erased");
    EXPECT_EQ(view.progress.back(), 100);
}

TEST_F(EraseFlashTest, OnChipTextsOfTheFamilies)
{
    struct SCase {
        uint32_t code;
        uint32_t busBytes;
        std::deque<std::pair<uint8_t, uint32_t>> states;
        bool ok;
        const char* text;
    };
    const SCase cases[] = {
        {40, 4, {{0, 10}, {0, 20}}, true, "Memory successful erased (Erase Time: 30 ms)"},
        {41, 2, {{0, 70000}, {0, 1}}, true, "Memory successful erased (Erase Time: 70001 ms)"},
        {40, 4, {{0, 10}, {1, 0x01006000}}, false, "Erasing failed at 0x01006000"},
        {41, 2, {{2, 0x01002000}}, false, "Erasing failed at 0x01002000"},
        {43, 4, {{2, 0}, {0, 456}}, true, "Memory successful erased (Erase Time: 456 ms)"},
        {45, 4, {{1, 0}}, false, "Erasing failed"},
        {44, 2, {{0, 5}}, true, "Memory successful erased"},
        {46, 4, {{2, 0}, {0, 5}, {2, 0}, {1, 0}}, false, "Erasing failed"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.code) + " " + c.text);
        library.calls.clear();
        library.eraseStates = c.states;
        EXPECT_EQ(Erase(Target(c.code, c.busBytes, c.busBytes, 1, 0x1000000, false, {{0, 1}, {0, 3}})), c.ok);
        EXPECT_EQ(view.Status(), c.text);
    }
}

TEST_F(EraseFlashTest, AnOnChipEraseThatStaysBusyEndsAfterItsBound)
{
    clock.SetStep(1000);
    library.eraseStates = {{2, 0x1000000}};
    EXPECT_FALSE(Erase(Target(44, 2, 2, 1, 0x1000000, true)));
    EXPECT_EQ(view.Status(), "Erasing timeout");
    // One request, and status polls until more than 300000 ms have passed.
    EXPECT_EQ(library.Frames().size(), 1u + 301u);
}

TEST_F(EraseFlashTest, OnChipRefusalsAndLinkErrorsAreReported)
{
    library.eraseReply = 3; // the probe finds no RAM for its algorithm
    EXPECT_FALSE(Erase(Target(42, 1, 1, 1, 0, true)));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].first, kStatusNoAlgorithmRam);
    EXPECT_EQ(library.Frames().size(), 1u);

    reported.clear();
    library.calls.clear();
    library.eraseReply = 0;
    library.failCall = 2; // the status poll
    library.failStatus = kStatusTimeout;
    EXPECT_FALSE(Erase(Target(46, 4, 4, 1, 0, false, {{0, 0}, {0, 1}})));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].first, kStatusTimeout);
    EXPECT_EQ(library.Frames().size(), 2u);
}

} // namespace
