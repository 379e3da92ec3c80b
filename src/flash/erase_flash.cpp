#include "flash/erase_flash.h"

#include "flash/intel_erase.h"
#include "flash/jedec_erase.h"

#include "flash/operation_texts.h"

#include "common/clock.h"
#include "common/operation_view.h"
#include "common/text_format.h"
#include "probe/probe_frames.h"
#include "probe/probe_library.h"
#include "flash/progress_update.h"

#include <algorithm>
#include <utility>

CEraseFlash::CEraseFlash(CProbeLibrary& library, CClock& clock, COperationView& view, FEraseReportStatus reportStatus)
    : library_(library), clock_(clock), view_(view), reportStatus_(std::move(reportStatus))
{
}

SOperationResult CEraseFlash::Run(const CErasePlan& plan)
{
    const uint64_t startMs = clock_.NowMs();
    erased_.clear();
    SOperationResult done{EOperationKind::Erase};
    switch (plan.family) {
    case EEraseFamily::OnChip:
        return RunOnChip(plan);
    case EEraseFamily::None:
        break;
    default:
        if (SOperationResult result = RunHostPasses(plan); !result.Ok()) {
            result.erasedPasses = ErasedPasses();
            result.elapsedMs = clock_.NowMs() - startMs;
            return result;
        }
        break;
    }
    CProgressUpdate(view_, EOperationKind::Erase).Finish();
    done.erasedPasses = ErasedPasses();
    done.elapsedMs = clock_.NowMs() - startMs;
    view_.SetStatus(COperationTexts::Result(done));
    return done;
}

SOperationResult CEraseFlash::RunHostPasses(const CErasePlan& plan)
{
    CProgressUpdate progress(view_, EOperationKind::Erase);
    uint64_t done = 0;
    lead_ = {};
    erased_.clear();
    stopShown_ = false;
    for (size_t i = 0; i < plan.passes.size(); ++i) {
        const SErasePass& pass = plan.passes[i];
        const SErasePass* next = i + 1 < plan.passes.size() ? &plan.passes[i + 1] : nullptr;
        view_.SetStatus(COperationTexts::PassStarted(pass));
        SOperationResult result{EOperationKind::Erase};
        result.bank = static_cast<int>(pass.bank);
        result.sector = pass.sector;
        result.address = pass.pollAddress;
        int status = 0;
        bool stop = false;
        switch (RunPass(plan, pass, next, status, stop)) {
        case EOutcome::Done:
            break;
        case EOutcome::Failed:
            view_.SetStatus(COperationTexts::PassFailed(pass));
            result.status = EOperationStatus::DeviceFailed;
            return result;
        case EOutcome::TimedOut:
            view_.SetStatus(COperationTexts::PassTimedOut(pass));
            result.status = EOperationStatus::TimedOut;
            return result;
        case EOutcome::Cancelled:
            result.status = EOperationStatus::Cancelled;
            view_.SetStatus(COperationTexts::Stopped(erased_, plan.passes.size()));
            return result;
        case EOutcome::LibraryError:
            return LibraryFailure(status, COperationTexts::PassAccess(pass, failedAddress_, failedRead_));
        }
        done += pass.progressStep;
        erased_.push_back(&pass);
        progress.Update(plan.progressTotal, done);
        if (stop) {
            // Stopped before the next pass, which the result names.
            result.bank = static_cast<int>(next->bank);
            result.sector = next->sector;
            result.address = next->pollAddress;
            result.status = EOperationStatus::Cancelled;
            view_.SetStatus(COperationTexts::Stopped(erased_, plan.passes.size()));
            return result;
        }
    }
    return SOperationResult{EOperationKind::Erase};
}

std::vector<std::pair<int, int>> CEraseFlash::ErasedPasses() const
{
    std::vector<std::pair<int, int>> passes;
    for (const SErasePass* pass : erased_)
        passes.emplace_back(static_cast<int>(pass->bank), pass->sector);
    return passes;
}

SOperationResult CEraseFlash::LibraryFailure(int status, const std::string& context)
{
    Report(status, context);
    SOperationResult result{EOperationKind::Erase};
    result.status = EOperationStatus::ProbeError;
    result.probeStatus = status;
    return result;
}

CEraseFlash::EOutcome CEraseFlash::RunPass(const CErasePlan& plan, const SErasePass& pass, const SErasePass* next,
                                           int& status, bool& stopBeforeNext)
{
    // The last command cycle starts the erase: it goes out only once every
    // cycle before it has succeeded, so that a failing cycle still stops the
    // sequence before anything is erased. The cycles before it change
    // nothing on their own and go out back to back, alone or behind the
    // closing cycles of the pass before (lead_).
    const SLead lead = std::exchange(lead_, SLead{});
    const uint64_t start = lead.sent ? lead.startMs : clock_.NowMs();
    status = 0;
    if (lead.sent) {
        status = lead.status;
        lastAddress_ = lead.address;
        lastRead_ = lead.read;
    } else if (pass.commands.size() > 1) {
        status = Cycles({pass.commands.begin(), pass.commands.end() - 1}, plan.accessWidth, false);
    }
    if (status == 0 && !pass.commands.empty())
        status = Cycles({pass.commands.back()}, plan.accessWidth, false);

    EOutcome outcome = EOutcome::LibraryError;
    if (status == 0) {
        polling_ = &pass;
        if (plan.pollRule == EPollRule::IntelStatus || plan.pollRule == EPollRule::Intel16Status)
            outcome = CIntelErase::Poll(plan, pass, start, *this, status);
        else
            outcome = CJedecErase::Poll(plan, pass, start, *this, status);
        polling_ = nullptr;
    }
    // The closing cycles below make accesses of their own.
    failedAddress_ = lastAddress_;
    failedRead_ = lastRead_;
    // Asked once, before anything of the next pass goes out.
    stopBeforeNext = outcome == EOutcome::Done && next && view_.CancelRequested();

    switch (plan.finishRule) {
    case EFinishRule::Always:
        if (outcome == EOutcome::Done && next && !stopBeforeNext && plan.leadFollowsFinish)
            FinishWithLead(plan, pass, *next);
        else
            Cycles(pass.finish, plan.accessWidth, true);
        break;
    case EFinishRule::AfterTimeout:
        if (outcome == EOutcome::TimedOut || outcome == EOutcome::Cancelled)
            Cycles(pass.finish, plan.accessWidth, true);
        break;
    case EFinishRule::AlwaysCounted:
        // The pass's own result comes first; a failing closing cycle fails a
        // pass that had succeeded.
        if (const int finishStatus = Cycles(pass.finish, plan.accessWidth, false);
            finishStatus != 0 && outcome == EOutcome::Done) {
            outcome = EOutcome::LibraryError;
            status = finishStatus;
            failedAddress_ = lastAddress_;
            failedRead_ = lastRead_;
        }
        break;
    }
    return outcome;
}

void CEraseFlash::FinishWithLead(const CErasePlan& plan, const SErasePass& pass, const SErasePass& next)
{
    std::vector<SBusCycle> batch = pass.finish;
    const size_t closing = batch.size();
    if (next.commands.size() > 1)
        batch.insert(batch.end(), next.commands.begin(), next.commands.end() - 1);
    lead_.startMs = clock_.NowMs();
    size_t failed = 0;
    const int status = Batch(batch, 0, plan.accessWidth, failed);
    if (status == 0 || failed >= closing) {
        // The closing cycles went through: what failed (if anything) is the
        // next pass's, which reports it before its start cycle.
        lead_.sent = true;
        lead_.status = status;
        lead_.address = lastAddress_;
        lead_.read = lastRead_;
        return;
    }
    // A closing cycle failed, which the rule ignores. The library may or may
    // not have carried out the next pass's cycles after it: the closing
    // cycles go out once more, whole, which ends any sequence left half done,
    // and the next pass sends its cycles alone.
    Cycles(pass.finish, plan.accessWidth, true);
}

SOperationResult CEraseFlash::RunOnChip(const CErasePlan& plan)
{
    CProbeFrames frames(library_);
    CProgressUpdate progress(view_, EOperationKind::Erase);
    SOperationResult result{EOperationKind::Erase};
    stopShown_ = false;
    const uint8_t algorithm = static_cast<uint8_t>(plan.algorithm);
    uint64_t timeSum = 0;
    uint32_t lastValue = 0;
    uint64_t done = 0;
    for (const SOnChipRequest& request : plan.requests) {
        int status = frames.FlashErase(algorithm, request.mode, request.p1, request.p2, request.p3, request.p4);
        if (status != 0)
            return LibraryFailure(status);
        uint8_t state = 0;
        uint32_t value = 0;
        const uint64_t start = clock_.NowMs();
        for (;;) {
            if ((status = frames.FlashEraseStatus(state, value)) != 0)
                return LibraryFailure(status);
            if (plan.onChipPoll == EOnChipPoll::Once || state != 2)
                break;
            if (!stopShown_ && view_.CancelRequested()) {
                stopShown_ = true;
                view_.SetStatus("Stopping ...: the probe finishes the erase it has begun; waiting for its end");
            }
            // The firmware's erase has no end of its own when a sector never
            // finishes: give up after a bound instead of polling forever.
            if (TimedOut(start, CErasePlan::kOnChipTimeoutMs)) {
                view_.SetStatus("Erasing timeout");
                result.status = EOperationStatus::TimedOut;
                return result;
            }
        }
        if (state != 0) {
            view_.SetStatus(plan.failureNamesAddress ? Format("Erasing failed at 0x%08lX", static_cast<unsigned long>(value))
                                                     : std::string("Erasing failed"));
            result.status = EOperationStatus::DeviceFailed;
            if (plan.failureNamesAddress)
                result.address = value;
            return result;
        }
        timeSum += value;
        lastValue = value;
        progress.Update(plan.progressTotal, ++done);
        // The firmware erases a request whole; a stop waits for the request in hand.
        if (done < plan.requests.size() && view_.CancelRequested()) {
            result.status = EOperationStatus::Cancelled;
            view_.SetStatus(Format("Erasing stopped: %llu of %zu erase requests done; the rest was not erased.",
                                   static_cast<unsigned long long>(done), plan.requests.size()));
            return result;
        }
    }
    progress.Finish();
    result.elapsedMs = plan.onChipTime == EOnChipTime::Sum ? timeSum : lastValue;
    switch (plan.onChipTime) {
    case EOnChipTime::Sum:
        view_.SetStatus(Format("Memory successful erased (Erase Time: %llu ms)", static_cast<unsigned long long>(timeSum)));
        break;
    case EOnChipTime::Last:
        view_.SetStatus(Format("Memory successful erased (Erase Time: %u ms)", lastValue));
        break;
    case EOnChipTime::None:
        view_.SetStatus("Memory successful erased");
        break;
    }
    return result;
}

int CEraseFlash::Cycles(const std::vector<SBusCycle>& cycles, uint32_t widthBytes, bool throughFailures)
{
    int first = 0;
    for (size_t from = 0; from < cycles.size();) {
        size_t failed = 0;
        const int status = Batch(cycles, from, widthBytes, failed);
        if (status == 0)
            break;
        if (first == 0)
            first = status;
        if (!throughFailures)
            break;
        from = failed + 1;
    }
    return first;
}

int CEraseFlash::Batch(const std::vector<SBusCycle>& cycles, size_t from, uint32_t widthBytes, size_t& failed)
{
    failed = cycles.size();
    if (from >= cycles.size())
        return 0;
    std::vector<SProbeBusCycle> bus;
    for (size_t i = from; i < cycles.size(); ++i)
        bus.push_back({cycles[i].address, cycles[i].value, static_cast<uint8_t>(widthBytes), cycles[i].read});
    int index = 0;
    const int status = library_.TargetCycles(static_cast<int>(bus.size()), bus.data(), index);
    failed = from + static_cast<size_t>(std::max(index, 0));
    const SBusCycle& last = cycles[std::min(failed, cycles.size() - 1)];
    lastAddress_ = last.address;
    lastRead_ = last.read;
    return status;
}

int CEraseFlash::Read(uint32_t address, uint32_t widthBytes, uint32_t& value)
{
    lastAddress_ = address;
    lastRead_ = true;
    int status;
    switch (widthBytes) {
    case 1: {
        uint8_t v = 0;
        status = library_.TargetRead8(address, v);
        value = v;
        break;
    }
    case 2: {
        uint16_t v = 0;
        status = library_.TargetRead16(address, v);
        value = v;
        break;
    }
    default:
        status = library_.TargetRead32(address, value);
        break;
    }
    return status;
}

bool CEraseFlash::TimedOut(uint64_t startMs, uint64_t timeoutMs)
{
    return clock_.NowMs() - startMs > timeoutMs;
}

void CEraseFlash::NoteStop()
{
    if (stopShown_ || !polling_ || !view_.CancelRequested())
        return;
    stopShown_ = true;
    view_.SetStatus(COperationTexts::StopWaits(*polling_));
}

void CEraseFlash::Report(int status, const std::string& context)
{
    if (reportStatus_)
        reportStatus_(status, context);
    else
        view_.SetStatus(context.empty() ? library_.LinkErrorText(status) : context + ": " + library_.LinkErrorText(status));
}

SOperationResult EraseFlash(CProbeLibrary& library, CClock& clock, COperationView& view, const SEraseTarget& target,
                            const FEraseReportStatus& reportStatus)
{
    CErasePlan plan;
    std::string error;
    if (!CErasePlan::Build(target, plan, error)) {
        view.SetStatus(error);
        SOperationResult refused{EOperationKind::Erase};
        refused.status = EOperationStatus::NotPossible;
        return refused;
    }
    return CEraseFlash(library, clock, view, reportStatus).Run(plan);
}
