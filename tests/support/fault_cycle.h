#pragma once

// Target commands driven as a front end drives them, against the simulated
// demo board, with every probe call timed against its timeout: what the
// fault-injection tests and the soak run share.

#include "catalogue/flash_catalogue.h"
#include "commands/comm_setup_command.h"
#include "commands/dump_command.h"
#include "commands/erase_command.h"
#include "commands/program_command.h"
#include "commands/target_setup_command.h"
#include "commands/verify_command.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"
#include "project/qpg_doc.h"
#include "support/recording_operation_view.h"
#include "support/relay_probe_library.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace fault_cycle {

using Clock = std::chrono::steady_clock;

// The demo board, erasing in a millisecond, with the given extra lines.
inline std::string Board(const std::string& faults = "")
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

// The link library, with every call that waits timed against the timeout it
// may wait.
class CTimedLibrary final : public CRelayProbeLibrary {
public:
    CTimedLibrary() : CRelayProbeLibrary(link) {}

    int LinkOpen(const std::string& c) override
    {
        return Timed("LinkOpen", CLinkLibrary::kTcpConnectTimeoutMs + CLinkLibrary::kHelloTimeoutMs,
                     [&] { return link.LinkOpen(c); });
    }
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
inline const char* Name(EOp op)
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
        ok = doc.image.Open(kDemoFlashBase) == 0;
        CTargetSetupCommand setup(doc);
        setup.setup.Open("");
        setup.setup.SelectMemoryType(CFlashCatalogue::FlashDeviceIndex(CFlashCatalogue::FindFlashDevice(kDemoDevice)),
                                     box);
        setup.setup.SelectBusWidth(1);
        setup.setup.baseField.SetValue(kDemoFlashBase);
        ok = setup.Confirm(box) && ok;
        setup.StoreBack();
        std::vector<uint8_t> data(kLength);
        for (uint32_t i = 0; i < kLength; ++i)
            data[i] = static_cast<uint8_t>((i * 7) ^ 0xA5);
        ok = doc.image.WriteBlock(kDemoFlashBase, data.data(), kLength) == 0 && ok;
    }
    std::vector<uint8_t> Image()
    {
        std::vector<uint8_t> bytes(kLength);
        doc.image.ReadBlock(kDemoFlashBase, bytes.data(), kLength);
        return bytes;
    }

    CYesBox box;
    CQpgDoc doc{false};
    bool ok = false; // the image opened, the setup was confirmed, the data written
};

struct SOutcome {
    bool done = false;
    std::string message; // the last box and the last status line
};

// Runs one command as a front end does: open from the project, start, store back.
inline SOutcome RunCommand(EOp op, CProject& project, CTimedLibrary& library, const std::string& channel, CClock& clock)
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

} // namespace fault_cycle
