// Every fault the simulated probe offers, against every target operation,
// driven through the command classes as a front end drives them. For each:
// the operation fails with the system's message, the link is closed, no call
// waits longer than its timeout, the project and (except for Dump, which is
// meant to fill it) the memory image are unchanged, and once a passing fault
// is over the same command succeeds on the same probe.

#include "support/fault_cycle.h"
#include "support/manual_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

using namespace fault_cycle;

struct SFault {
    const char* name;
    std::string board;                        // board faults
    std::function<void(SSimFaults&, uint32_t)> arm; // link faults, at request n
    bool passes;                              // over after one request: a retry succeeds
    std::vector<EOp> ops;                     // the operations it can touch
};

const std::vector<EOp> kAllOps = {EOp::EraseAll, EOp::EraseSectors, EOp::Program, EOp::Verify, EOp::Dump,
                                  EOp::LinkTest};

std::vector<SFault> Faults()
{
    auto none = [](SSimFaults&, uint32_t) {};
    return {
        {"refused connection", "", [](SSimFaults& f, uint32_t) { f.refuseConnection = true; }, false, kAllOps},
        {"dropped reply", "", [](SSimFaults& f, uint32_t n) { f.dropReplyTo = n; }, true, kAllOps},
        {"late reply", "", [](SSimFaults& f, uint32_t n) { f.delayReplyTo = n; f.delayMs = 6000; }, true, kAllOps},
        {"wrong reply", "", [](SSimFaults& f, uint32_t n) { f.wrongEchoTo = n; }, true, kAllOps},
        {"over-long reply", "", [](SSimFaults& f, uint32_t n) { f.wrongLengthTo = n; }, true, kAllOps},
        {"link cut mid-stream", "", [](SSimFaults& f, uint32_t n) { f.cutAt = n; }, true, kAllOps},
        {"probe stops answering", "", [](SSimFaults& f, uint32_t n) { f.silentFrom = n; }, false, kAllOps},
        {"erase failure", kEraseFail, none, false, {EOp::EraseAll, EOp::EraseSectors}},
        {"erase never finishes", kEraseHang, none, false, {EOp::EraseAll, EOp::EraseSectors}},
        {"stuck bit", kStuckBit, none, false, {EOp::Program, EOp::Verify}},
    };
}

// What must run on the probe before the operation can succeed.
std::vector<EOp> Preparation(EOp op)
{
    return op == EOp::Verify ? std::vector<EOp>{EOp::Program} : std::vector<EOp>{};
}

class FaultInjection : public ::testing::TestWithParam<size_t> {};

TEST_P(FaultInjection, FailsCleanlyAndLosesNothing)
{
    const SFault fault = Faults()[GetParam()];
    for (const EOp op : fault.ops) {
        SCOPED_TRACE(std::string(fault.name) + " / " + Name(op));
        // Host waits (erase polling) run on a clock that moves 100 ms a reading.
        CManualClock clock(100);
        // Where the operation's requests lie: a clean run counts them.
        uint32_t before = 0, after = 0;
        std::vector<uint8_t> meantProject; // the project after a clean run (erase sectors keeps its selection)
        {
            CSimFixture clean(Board(), CSimFixture::Tcp());
            CProject project;
            CTimedLibrary library;
            for (const EOp step : Preparation(op))
                ASSERT_TRUE(RunCommand(step, project, library, clean.ChannelText(), clock).done);
            before = clean.Link().RequestsReceived();
            const SOutcome outcome = RunCommand(op, project, library, clean.ChannelText(), clock);
            ASSERT_TRUE(outcome.done) << outcome.message;
            after = clean.Link().RequestsReceived();
            meantProject = project.doc.SaveToBytes();
        }
        ASSERT_GT(after, before);
        SSimFaults faults;
        // The middle request of the operation; for an erase, whose polls vary
        // in number with the time the chip takes, the first request after
        // connecting (Hello, TargetConnect, start, main list), which is the
        // first bus cycle of the erase.
        const bool erase = op == EOp::EraseAll || op == EOp::EraseSectors;
        ASSERT_TRUE(!erase || after - before >= 5u);
        fault.arm(faults, erase ? before + 5 : before + 1 + (after - before) / 2);
        CSimFixture sim(Board(fault.board), CSimFixture::Tcp(faults));
        CProject project;
        ASSERT_TRUE(project.ok);
        CTimedLibrary library;
        for (const EOp step : Preparation(op)) {
            // A stuck bit fails the programming that prepares a verify.
            const bool prepared = faults.refuseConnection || RunCommand(step, project, library, sim.ChannelText(), clock).done;
            ASSERT_TRUE(prepared || !fault.board.empty());
        }
        const std::vector<uint8_t> image = project.Image();
        const std::vector<uint8_t> projectFile = project.doc.SaveToBytes();
        const std::vector<uint8_t> flash = sim.Peek(kDemoFlashBase, kLength);

        const SOutcome outcome = RunCommand(op, project, library, sim.ChannelText(), clock);
        std::printf("| %s | %s | %s | %s | %ld |\n", fault.name, Name(op), outcome.done ? "done" : "failed",
                    outcome.message.c_str(), library.worstOverrunMs);

        EXPECT_FALSE(outcome.done);
        EXPECT_FALSE(outcome.message.empty());
        EXPECT_FALSE(library.link.IsOpen());
        EXPECT_LE(library.worstOverrunMs, kMarginMs) << library.worstCall;
        EXPECT_TRUE(project.doc.SaveToBytes() == meantProject);
        if (op != EOp::EraseSectors) {
            EXPECT_TRUE(meantProject == projectFile);
        }
        if (op != EOp::Dump) {
            EXPECT_TRUE(project.Image() == image);
        }
        if (op == EOp::Verify || op == EOp::Dump || op == EOp::LinkTest) {
            EXPECT_TRUE(sim.Peek(kDemoFlashBase, kLength) == flash); // reading changes no flash
        }
        if (fault.passes) {
            const SOutcome retry = RunCommand(op, project, library, sim.ChannelText(), clock);
            EXPECT_TRUE(retry.done) << retry.message;
            EXPECT_FALSE(library.link.IsOpen());
            if (op == EOp::Program) {
                EXPECT_TRUE(sim.Peek(kDemoFlashBase, kLength) == image) << "the flash holds the image";
            }
            if (op == EOp::Dump) {
                EXPECT_TRUE(project.Image() == sim.Peek(kDemoFlashBase, kLength)) << "the image holds the flash";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFault, FaultInjection, ::testing::Range<size_t>(0, 10),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             std::string name = Faults()[info.param].name;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
