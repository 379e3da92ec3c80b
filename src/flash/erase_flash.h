#pragma once

#include "flash/erase_plan.h"
#include "flash/erase_poll_bus.h"
#include "flash/operation_result.h"
#include "flash/erase_target.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CClock;
class COperationView;
class CProbeLibrary;

// Turns a nonzero library status into the status line's message (the target
// connection's ReportStatusIn: -4101..-4105 have fixed texts, other codes the
// library's LinkErrorText), after `context`, which names the bus access that
// failed ("Erasing bank  0 sector  3, writing at address 0x80008AAA"; empty
// where the probe's own erase failed). Its result is not used by the erase.
using FEraseReportStatus = std::function<bool(int status, const std::string& context)>;

// Carries out an erase plan over an open target connection: the host writes
// the JEDEC and Intel command cycles with TargetWrite8/16/32 and polls with
// TargetRead8/16/32 (each family's rules in jedec_erase.* and intel_erase.*); the on-chip families go through the FlashErase and
// FlashEraseStatus command frames. Time is read from `clock` (timeouts of
// minutes run in no time under a manual clock); polling never pauses.
//
// Everything the person sees goes to `view`: the text of every pass, the
// progress bar (CProgressUpdate) and the result text; library errors go
// through `reportStatus`, or, when it is empty, the library's LinkErrorText
// into the status line.
class CEraseFlash : private CErasePollBus {
public:
    CEraseFlash(CProbeLibrary& library, CClock& clock, COperationView& view, FEraseReportStatus reportStatus = {});

    // Done when every pass succeeded; the last text shown is then the
    // success text. On failure the status line holds the reason. Sectors
    // erased before a failure stay erased. The view's cancel request is
    // asked between polls (a cancelled pass still writes its closing cycles)
    // and before the next pass: no pass starts once a stop was asked for.
    [[nodiscard]] SOperationResult Run(const CErasePlan& plan);

private:
    using EOutcome = EPollOutcome;

    SOperationResult RunHostPasses(const CErasePlan& plan);
    SOperationResult RunOnChip(const CErasePlan& plan);
    SOperationResult LibraryFailure(int status, const std::string& context = "");
    // One pass; `next` is the pass after it (null for the last one).
    // `stopBeforeNext` tells whether a stop was asked for before `next`.
    EOutcome RunPass(const CErasePlan& plan, const SErasePass& pass, const SErasePass* next, int& status,
                     bool& stopBeforeNext);
    // The closing cycles of a pass that succeeded and the cycles before the
    // start cycle of `next` in one batch; their result waits in lead_ for
    // the next pass. A failing closing cycle is ignored (rule Always).
    void FinishWithLead(const CErasePlan& plan, const SErasePass& pass, const SErasePass& next);
    // The cycles of a command sequence, which need no answer in between
    // (TargetCycles): the first failing status, its access noted as the last.
    // `throughFailures`: the cycles after a failing one are carried out too.
    int Cycles(const std::vector<SBusCycle>& cycles, uint32_t widthBytes, bool throughFailures);
    // One TargetCycles call for cycles[from...]: its status, the index of the
    // failing cycle (within `cycles`) in `failed`, that access noted as the last.
    int Batch(const std::vector<SBusCycle>& cycles, size_t from, uint32_t widthBytes, size_t& failed);
    // The bus the family's poll reads (CJedecErase, CIntelErase).
    int Read(uint32_t address, uint32_t widthBytes, uint32_t& value) override;
    bool TimedOut(uint64_t startMs, uint64_t timeoutMs) override;
    void NoteStop() override;
    // The passes done so far, as the result names them.
    std::vector<std::pair<int, int>> ErasedPasses() const;
    void Report(int status, const std::string& context);

    CProbeLibrary& library_;
    CClock& clock_;
    COperationView& view_;
    FEraseReportStatus reportStatus_;
    // The pass being polled, and whether a stop was shown during it.
    const SErasePass* polling_ = nullptr;
    bool stopShown_ = false;
    // The passes done so far (for the text of a stop).
    std::vector<const SErasePass*> erased_;
    // The last bus access Cycle or Read made: named when it fails.
    uint32_t lastAddress_ = 0;
    bool lastRead_ = false;
    // The access that failed a pass (kept from lastAddress_ before the closing cycles).
    uint32_t failedAddress_ = 0;
    bool failedRead_ = false;
    // The cycles before the next pass's start cycle, when they went out with
    // the closing cycles of the pass before: their status and failing access,
    // and the time taken before them (the next pass's timeout runs from it).
    struct SLead {
        bool sent = false;
        int status = 0;
        uint32_t address = 0;
        bool read = false;
        uint64_t startMs = 0;
    };
    SLead lead_;
};

// The erase dispatcher: plans the erase of `target` and carries it out. A
// target the plan refuses shows the plan's reason and sends nothing. A code
// without an algorithm family (0 among them) erases nothing and succeeds.
// Success texts: "Memory successful erased !" for the host-driven families,
// the on-chip family's own text otherwise.
[[nodiscard]] SOperationResult EraseFlash(CProbeLibrary& library, CClock& clock, COperationView& view,
                                          const SEraseTarget& target, const FEraseReportStatus& reportStatus = {});
