// Every fault the simulated probe offers, against every target operation,
// driven through the command classes as a front end drives them. For each:
// the operation fails with the system's message, the link is closed, no call
// waits longer than its timeout, the project and (except for Dump, which is
// meant to fill it) the memory image are unchanged, and once a passing fault
// is over the same command succeeds on the same probe.

#include "commands/comm_setup_command.h"
#include "commands/dump_command.h"
#include "commands/erase_command.h"
#include "commands/program_command.h"
#include "commands/target_setup_command.h"
#include "commands/verify_command.h"
#include "catalogue/flash_catalogue.h"
#include "flash/transfer_sim_fixture.h"
#include "project/qpg_doc.h"
#include "support/manual_clock.h"
#include "support/recording_operation_view.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

// The demo board, erasing in a millisecond, with the given extra lines.
std::string Board(const std::string& faults = "")
{
    return "ram   0x40000000 256K\n"
           "flash \"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 bus=16 sector-erase=1ms chip-erase=1ms\n" +
           faults;
}
const char* const kEraseFail = "fault erase-fail 0x80008000\n"; // sector 3
const char* const kEraseHang = "fault erase-hang 0x80008000\n";
const char* const kStuckBit = "fault stuck 0x80000010 bit=2 value=0\n";

constexpr uint32_t kLength = 0x10000; // sectors 0 to 3 of the chip
constexpr int kSectors = 4;
constexpr int kMarginMs = 1500; // for a loaded machine

// Every question is answered Yes; every box is kept.
class CYesBox final : public CMessageBox {
public:
    EMsgResult Show(const std::string& text, const std::string&, EMsgIcon, EMsgButtons buttons) override
    {
        shown.push_back(text);
        return buttons == EMsgButtons::Ok ? EMsgResult::Ok : EMsgResult::Yes;
    }
    std::vector<std::string> shown;
};

// The link library, with every call timed against the timeout it may wait.
class CTimedLibrary final : public CProbeLibrary {
public:
    int LinkOpen(const std::string& c) override
    {
        return Timed("LinkOpen", CLinkLibrary::kTcpConnectTimeoutMs + CLinkLibrary::kHelloTimeoutMs,
                     [&] { return link.LinkOpen(c); });
    }
    int LinkCheckSerialPort(int c, int b) override { return link.LinkCheckSerialPort(c, b); }
    int32_t LinkParseAddress(const std::string& t) override { return link.LinkParseAddress(t); }
    void LinkClose() override { link.LinkClose(); }
    int LinkTransact(int n, const uint8_t* rq, int cap, uint8_t* rp, int timeoutMs) override
    {
        return Timed("LinkTransact", timeoutMs, [&] { return link.LinkTransact(n, rq, cap, rp, timeoutMs); });
    }
    int StreamBegin(int m, int f) override
    {
        return Timed("StreamBegin", CLinkLibrary::kTargetCallTimeoutMs, [&] { return link.StreamBegin(m, f); });
    }
    int StreamBlock(uint32_t a, uint32_t l, const uint8_t* b) override
    {
        return Timed("StreamBlock", CLinkLibrary::kStreamBlockTimeoutMs, [&] { return link.StreamBlock(a, l, b); });
    }
    int StreamEnd(uint32_t& f) override
    {
        return Timed("StreamEnd", CLinkLibrary::kStreamEndTimeoutMs, [&] { return link.StreamEnd(f); });
    }
    int TargetConnect(SProbeIdentification& id) override
    {
        return Timed("TargetConnect", CLinkLibrary::kTargetCallTimeoutMs, [&] { return link.TargetConnect(id); });
    }
    void TargetDisconnect() override
    {
        Timed("TargetDisconnect", CLinkLibrary::kTargetCallTimeoutMs, [&] {
            link.TargetDisconnect();
            return 0;
        });
    }
    int TargetWriteRegisters(int n, const SProbeRegisterId* i, const uint32_t* v) override
    {
        return Timed("TargetWriteRegisters", CLinkLibrary::kTargetCallTimeoutMs,
                     [&] { return link.TargetWriteRegisters(n, i, v); });
    }
    int TargetReadBlock(uint32_t a, int r, uint32_t l, uint8_t* b) override
    {
        // One block timeout per chunk the library splits the block into.
        const int chunks = static_cast<int>((l + CLinkLibrary::kMaxBlockChunk - 1) / CLinkLibrary::kMaxBlockChunk);
        return Timed("TargetReadBlock", CLinkLibrary::kBlockTimeoutMs * std::max(chunks, 1),
                     [&] { return link.TargetReadBlock(a, r, l, b); });
    }
    int TargetWriteBlock(uint32_t a, int r, uint32_t l, const uint8_t* b) override
    {
        const int chunks = static_cast<int>((l + CLinkLibrary::kMaxBlockChunk - 1) / CLinkLibrary::kMaxBlockChunk);
        return Timed("TargetWriteBlock", CLinkLibrary::kBlockTimeoutMs * std::max(chunks, 1),
                     [&] { return link.TargetWriteBlock(a, r, l, b); });
    }
    int TargetLoadInitList(int r, uint32_t o, int n, const SInitListRecord* rec) override
    {
        return Timed("TargetLoadInitList", CLinkLibrary::kInitListTimeoutMs,
                     [&] { return link.TargetLoadInitList(r, o, n, rec); });
    }
    int TargetWrite8(uint32_t a, uint32_t v) override { return Single("TargetWrite8", [&] { return link.TargetWrite8(a, v); }); }
    int TargetWrite16(uint32_t a, uint32_t v) override { return Single("TargetWrite16", [&] { return link.TargetWrite16(a, v); }); }
    int TargetWrite32(uint32_t a, uint32_t v) override { return Single("TargetWrite32", [&] { return link.TargetWrite32(a, v); }); }
    int TargetRead8(uint32_t a, uint8_t& v) override { return Single("TargetRead8", [&] { return link.TargetRead8(a, v); }); }
    int TargetRead16(uint32_t a, uint16_t& v) override { return Single("TargetRead16", [&] { return link.TargetRead16(a, v); }); }
    int TargetRead32(uint32_t a, uint32_t& v) override { return Single("TargetRead32", [&] { return link.TargetRead32(a, v); }); }
    std::string LinkErrorText(int status) override { return link.LinkErrorText(status); }

    CLinkLibrary link;
    long worstOverrunMs = -1000000; // the longest wait past a call's timeout
    std::string worstCall;

private:
    int Timed(const char* name, int timeoutMs, const std::function<int()>& call)
    {
        const auto start = Clock::now();
        const int status = call();
        const long waited =
            static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        if (waited - timeoutMs > worstOverrunMs) {
            worstOverrunMs = waited - timeoutMs;
            worstCall = name;
        }
        return status;
    }
    int Single(const char* name, const std::function<int()>& call)
    {
        return Timed(name, CLinkLibrary::kTargetCallTimeoutMs, call);
    }
};

enum class EOp { EraseAll, EraseSectors, Program, Verify, Dump, LinkTest };
const char* Name(EOp op)
{
    switch (op) {
    case EOp::EraseAll: return "erase all";
    case EOp::EraseSectors: return "erase sectors";
    case EOp::Program: return "program";
    case EOp::Verify: return "verify";
    case EOp::Dump: return "dump";
    case EOp::LinkTest: return "link test";
    }
    return "?";
}

// A project for the demo chip with 64 KiB of data in its image.
class CProject {
public:
    CProject()
    {
        EXPECT_EQ(doc.image.Open(kDemoFlashBase), 0);
        CTargetSetupCommand setup(doc);
        setup.setup.Open("");
        setup.setup.SelectMemoryType(CFlashCatalogue::FlashDeviceIndex(CFlashCatalogue::FindFlashDevice(kDemoDevice)),
                                     box);
        setup.setup.SelectBusWidth(1);
        setup.setup.baseField.SetValue(kDemoFlashBase);
        EXPECT_TRUE(setup.Confirm(box));
        setup.StoreBack();
        std::vector<uint8_t> data(kLength);
        for (uint32_t i = 0; i < kLength; ++i)
            data[i] = static_cast<uint8_t>((i * 7) ^ 0xA5);
        EXPECT_EQ(doc.image.WriteBlock(kDemoFlashBase, data.data(), kLength), 0);
    }
    std::vector<uint8_t> Image()
    {
        std::vector<uint8_t> bytes(kLength);
        doc.image.ReadBlock(kDemoFlashBase, bytes.data(), kLength);
        return bytes;
    }

    CYesBox box;
    CQpgDoc doc{false};
};

struct SOutcome {
    bool done = false;
    std::string message; // the last box and the last status line
};

// Runs one command as a front end does: open from the project, start, store back.
SOutcome RunCommand(EOp op, CProject& project, CTimedLibrary& library, const std::string& channel, CClock& clock)
{
    CRecordingOperationView view;
    project.box.shown.clear();
    STargetContext context{library, project.box, view, channel, clock};
    const CMemoryRange range(kDemoFlashBase, kLength, 1);
    SOutcome outcome;
    switch (op) {
    case EOp::EraseAll: {
        CEraseCommand command(project.doc, context);
        outcome.done = command.EraseAll() == ETargetResult::Done;
        command.StoreBack();
        break;
    }
    case EOp::EraseSectors: {
        CEraseCommand command(project.doc, context);
        outcome.done = command.EraseSectors([](CEraseMap& map) {
            map.ClearAll();
            for (int s = 0; s < kSectors; ++s)
                map.SelectSector(0, s, 1);
            return true;
        }) == ETargetResult::Done;
        command.StoreBack();
        break;
    }
    case EOp::Program: {
        CProgramCommand command(project.doc, context);
        command.operation.range = range;
        outcome.done = command.Start() == ETargetResult::Done;
        break;
    }
    case EOp::Verify: {
        CVerifyCommand command(project.doc, context);
        command.operation.range = range;
        outcome.done = command.Start() == ETargetResult::Done;
        break;
    }
    case EOp::Dump: {
        CDumpCommand command(project.doc, context);
        command.operation.range = range;
        outcome.done = command.Start() == ETargetResult::Done;
        break;
    }
    case EOp::LinkTest: {
        CCommSetupCommand command(project.doc, library, project.box);
        outcome.done = command.TestLink(view, channel);
        command.StoreBack(false);
        break;
    }
    }
    // The box says what failed, the status line why.
    outcome.message = !project.box.shown.empty() ? project.box.shown.back() : "";
    std::string why;
    for (const std::string& status : view.statuses)
        if (!status.empty())
            why = status;
    if (!why.empty() && why != outcome.message)
        outcome.message += (outcome.message.empty() ? "" : " / ") + why;
    return outcome;
}

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
            CSimBoardUnderTest clean(Board());
            CProject project;
            CTimedLibrary library;
            for (const EOp step : Preparation(op))
                ASSERT_TRUE(RunCommand(step, project, library, clean.Channel(), clock).done);
            before = clean.link->RequestsReceived();
            const SOutcome outcome = RunCommand(op, project, library, clean.Channel(), clock);
            ASSERT_TRUE(outcome.done) << outcome.message;
            after = clean.link->RequestsReceived();
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
        CSimBoardUnderTest sim(Board(fault.board), {}, faults);
        CProject project;
        CTimedLibrary library;
        for (const EOp step : Preparation(op)) {
            // A stuck bit fails the programming that prepares a verify.
            const bool prepared = faults.refuseConnection || RunCommand(step, project, library, sim.Channel(), clock).done;
            ASSERT_TRUE(prepared || !fault.board.empty());
        }
        const std::vector<uint8_t> image = project.Image();
        const std::vector<uint8_t> projectFile = project.doc.SaveToBytes();
        const std::vector<uint8_t> flash = sim.Peek(kDemoFlashBase, kLength);

        const SOutcome outcome = RunCommand(op, project, library, sim.Channel(), clock);
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
            const SOutcome retry = RunCommand(op, project, library, sim.Channel(), clock);
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
