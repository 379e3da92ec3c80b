#include "flash/transfer.h"

#include "common/text_format.h"
#include "probe/probe_status.h"
#include "probe/target_connection.h"
#include "project/memory_image.h"
#include "catalogue/flash_catalogue.h"
#include "flash/operation_texts.h"
#include "flash/progress_update.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t kVerifyAlgorithm = 1;
constexpr uint32_t kPageWriteSize = 256;

uint64_t Elapsed(CClock& clock, uint64_t startMs)
{
    const uint64_t elapsed = clock.NowMs() - startMs;
    return elapsed == 0 ? 1 : elapsed;
}

unsigned long Ul(uint64_t v)
{
    return static_cast<unsigned long>(v);
}

} // namespace

uint32_t CTransfer::BlockSize(const SProgramTarget& target)
{
    if (CFlashAlgorithms::Find(target.programAlgorithm).smallBlocks)
        return kSmallBlockSize;
    if (target.pageSize == 0)
        return kBlockSize;
    if (target.deviceWidth == 0)
        return 0;
    return target.pageSize * target.busWidthBytes / target.deviceWidth;
}

uint32_t CTransfer::FirstBlockLength(uint32_t start, uint32_t size, uint32_t flashBase, uint32_t blockSize)
{
    // Unsigned arithmetic: a start below the base still lands on the base's
    // block boundaries, since block sizes are powers of two.
    const uint32_t length = blockSize - (start - flashBase) % blockSize;
    return std::min(length, size);
}

std::string CTransfer::ProgramRateText(uint32_t size, uint64_t elapsedMs)
{
    return COperationTexts::ProgramRate(size, elapsedMs);
}

SOperationResult CTransfer::Finish(SOperationResult result, uint32_t reportAddress)
{
    switch (result.status) {
    case EOperationStatus::ProbeError:
        connection_.ReportStatus(&view_, result.probeStatus, 0);
        break;
    case EOperationStatus::ProgramFailed:
        connection_.ReportStatus(&view_, kStatusProgramFailedAt, reportAddress);
        break;
    default:
        view_.SetStatus(COperationTexts::Result(result));
        break;
    }
    return result;
}

CTransfer::SStreamEnd CTransfer::Stream(const CMemoryRange& range, int status, int mode, uint32_t firstLength,
                                         uint32_t blockSize, CProgressUpdate& progress)
{
    CProbeLibrary& library = connection_.Library();
    const uint32_t size = range.GetSize();
    if (status == kStatusOk)
        status = library.StreamBegin(mode, 1);

    // The library asks the person's wish while it waits for acks, so that a
    // stop is taken within a fraction of a second whatever the link's rate.
    struct SStopCheck {
        CProbeLibrary& library;
        ~SStopCheck() { library.SetStopCheck({}); }
    } stopCheck{library};
    library.SetStopCheck([this] { return view_.CancelRequested(); });

    SStreamEnd end;
    std::vector<uint8_t> block(std::max(blockSize, firstLength));
    uint32_t address = range.GetStart();
    uint32_t remaining = size;
    uint32_t length = firstLength;
    while (remaining > 0 && status == kStatusOk) {
        if (view_.CancelRequested()) {
            end.cancelled = true;
            break;
        }
        image_.ReadBlock(address, block.data(), length);
        status = library.StreamBlock(address, length, block.data());
        if (status == kStatusStopped) {
            // Stopped while waiting for room: this block was not sent.
            status = kStatusOk;
            end.cancelled = true;
            break;
        }
        address += length;
        remaining -= length;
        length = std::min(blockSize, remaining);
        // What the probe has acknowledged, never what is only on its way.
        progress.Update(size, library.StreamAcknowledged(size - remaining));
    }
    if (end.cancelled)
        view_.SetStatus("Stopping ...");
    // The stream is ended on every path that opened it: the probe finishes
    // the blocks it has and reports the first failure among them.
    if (status == kStatusOk || status == kStatusCompareFailed)
        status = library.StreamEnd(end.failAddress);
    end.status = status;
    end.address = address;
    // After StreamEnd every block sent is either acknowledged or lost.
    end.doneBytes = library.StreamAcknowledged(size - remaining);
    if (end.doneBytes > 0)
        progress.Update(size, end.doneBytes);
    return end;
}

void CTransfer::NoteAcknowledged(SOperationResult& result, const CMemoryRange& range, const SStreamEnd& end)
{
    result.doneBytes = end.doneBytes;
    if (end.doneBytes > 0)
        result.lastAcknowledged = static_cast<uint32_t>(range.GetStart() + end.doneBytes - 1);
}

bool CTransfer::Ended(const SStreamEnd& end, CProgressUpdate& progress, SOperationResult& result)
{
    if (end.status != kStatusOk)
        return false;
    if (end.cancelled) {
        result.address = end.address;
        result.doneBytes = end.doneBytes;
        result = Fail(result, EOperationStatus::Cancelled);
        return true;
    }
    progress.Finish();
    result = Finish(result, 0);
    return true;
}

SOperationResult CTransfer::ProgramRange(const CMemoryRange& range, const SProgramTarget& target)
{
    SOperationResult result{EOperationKind::Program};
    const uint32_t size = range.GetSize();
    result.bytes = size;
    if (size == 0)
        return Fail(result, EOperationStatus::EmptyRange);
    view_.SetStatus(Format("Programming %lu bytes...", Ul(size)));

    const uint32_t blockSize = BlockSize(target);
    if (blockSize == 0)
        return Fail(result, EOperationStatus::ProbeError, kStatusInvalidParameter);
    const uint32_t length = FirstBlockLength(range.GetStart(), size, target.flashBase, blockSize);

    // Some algorithms take the device size; the others the mask of the
    // address bits above one bank.
    const uint32_t p1 = CFlashAlgorithms::Find(target.programAlgorithm).sizeInSetup
                            ? target.deviceSize
                            : 0u - CFlashCatalogue::BankSize(target.busWidthBytes, target.deviceWidth,
                                                             target.deviceSize);
    int status = connection_.Frames().FlashSetup(static_cast<uint8_t>(target.programAlgorithm),
                                                 static_cast<uint8_t>(target.busWidthBytes), p1, target.workspace, 0);
    const uint64_t startMs = connection_.Clock().NowMs();
    if (target.pageSize != 0 && target.pageSize != kPageWriteSize)
        status = kStatusPageDataFailed;

    CProgressUpdate progress(view_, EOperationKind::Program);
    const SStreamEnd end = Stream(range, status, kStreamProgram, length, blockSize, progress);
    result.elapsedMs = Elapsed(connection_.Clock(), startMs);
    if (Ended(end, progress, result))
        return result;
    if (end.status == kStatusCompareFailed || end.status == kStatusProgramFailedAt) {
        result.address = end.failAddress;
        result.doneBytes = end.failAddress > range.GetStart() ? end.failAddress - range.GetStart() : 0;
        result.probeStatus = kStatusProgramFailedAt;
        result.status = EOperationStatus::ProgramFailed;
        return Finish(result, end.failAddress);
    }
    NoteAcknowledged(result, range, end);
    return Fail(result, EOperationStatus::ProbeError, end.status);
}

template <class TTransfer>
SOperationResult CTransfer::EachSpan(const std::vector<CMemoryRange>& spans, TTransfer transfer)
{
    SOperationResult total;
    for (const CMemoryRange& span : spans) {
        SOperationResult result = transfer(span);
        result.spans = total.spans + 1;
        result.doneBytes += total.bytes;
        if (!result.Ok()) {
            // The spans before were acknowledged whole.
            if (!result.lastAcknowledged && result.status == EOperationStatus::ProbeError && total.spans > 0)
                result.lastAcknowledged = (&span)[-1].GetEnd();
            return result;
        }
        total.kind = result.kind;
        total.spans = result.spans;
        total.bytes += result.bytes;
        total.elapsedMs += result.elapsedMs;
    }
    total.doneBytes = total.bytes;
    if (spans.size() > 1)
        view_.SetStatus(Format("%lu spans: ", Ul(spans.size())) + COperationTexts::Result(total));
    return total;
}

SOperationResult CTransfer::ProgramSpans(const std::vector<CMemoryRange>& spans, const SProgramTarget& target)
{
    return EachSpan(spans, [&](const CMemoryRange& span) { return ProgramRange(span, target); });
}

SOperationResult CTransfer::VerifySpans(const std::vector<CMemoryRange>& spans, const std::vector<SFlashSector>& flash)
{
    return EachSpan(spans, [&](const CMemoryRange& span) { return VerifyRange(span, flash); });
}

SOperationResult CTransfer::DumpSpans(const std::vector<CMemoryRange>& spans)
{
    return EachSpan(spans, [&](const CMemoryRange& span) { return DumpRange(span); });
}

SOperationResult CTransfer::Matching(const std::vector<CMemoryRange>& spans, std::vector<bool>& matching)
{
    SOperationResult result{EOperationKind::Verify};
    matching.assign(spans.size(), false);
    const uint64_t startMs = connection_.Clock().NowMs();
    CProgressUpdate progress(view_, EOperationKind::Verify);
    for (size_t i = 0; i < spans.size(); ++i) {
        const uint32_t size = spans[i].GetSize();
        result.bytes += size;
        if (size == 0) {
            matching[i] = true;
            continue;
        }
        const int status = connection_.Frames().FlashSetup(kVerifyAlgorithm, 0, 0, 0, 0);
        const SStreamEnd end = Stream(spans[i], status, kStreamVerify, std::min(kBlockSize, size), kBlockSize, progress);
        connection_.Frames().FlashSetup(0, 0, 0, 0, 0);
        if (end.status == kStatusOk && end.cancelled) {
            result.address = end.address;
            result.elapsedMs = Elapsed(connection_.Clock(), startMs);
            return Fail(result, EOperationStatus::Cancelled);
        }
        if (end.status != kStatusOk && end.status != kStatusCompareFailed) {
            result.elapsedMs = Elapsed(connection_.Clock(), startMs);
            return Fail(result, EOperationStatus::ProbeError, end.status);
        }
        matching[i] = end.status == kStatusOk;
    }
    result.elapsedMs = Elapsed(connection_.Clock(), startMs);
    progress.Finish();
    return result;
}

SVerifyDiagnosis CTransfer::Diagnose(const CMemoryRange& range, uint32_t from, const std::vector<SFlashSector>& flash)
{
    SVerifyDiagnosis diagnosis;
    diagnosis.from = from;
    const uint64_t end = uint64_t{range.GetStart()} + range.GetSize();
    diagnosis.rangeBytes = end > from ? end - from : 0;
    view_.SetStatus(Format("Reading back %lu bytes from address %08lX ...", Ul(diagnosis.rangeBytes), Ul(from)));
    CProbeLibrary& library = connection_.Library();
    std::vector<uint8_t> target(kBlockSize);
    std::vector<uint8_t> image(kBlockSize);
    uint64_t address = from;
    while (address < end) {
        if (view_.CancelRequested()) {
            diagnosis.stoppedBy = "it was stopped.";
            break;
        }
        const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(kBlockSize, end - address));
        const uint32_t at = static_cast<uint32_t>(address);
        if (const int status = library.TargetReadBlock(at, 0, length, target.data()); status != kStatusOk) {
            diagnosis.stoppedBy = Format("reading at address %08lX failed (%s).", Ul(at),
                                         connection_.StatusText(status, at).c_str());
            break;
        }
        image_.ReadBlock(at, image.data(), length);
        diagnosis.Add(at, image.data(), target.data(), length, flash);
        address += length;
    }
    return diagnosis;
}

SOperationResult CTransfer::VerifyRange(const CMemoryRange& range, const std::vector<SFlashSector>& flash)
{
    SOperationResult result{EOperationKind::Verify};
    const uint32_t size = range.GetSize();
    result.bytes = size;
    if (size == 0)
        return Fail(result, EOperationStatus::EmptyRange);
    view_.SetStatus(Format("Verifying %lu bytes ...", Ul(size)));

    const int status = connection_.Frames().FlashSetup(kVerifyAlgorithm, 0, 0, 0, 0);
    const uint64_t startMs = connection_.Clock().NowMs();
    CProgressUpdate progress(view_, EOperationKind::Verify);
    const SStreamEnd end = Stream(range, status, kStreamVerify, std::min(kBlockSize, size), kBlockSize, progress);
    result.elapsedMs = Elapsed(connection_.Clock(), startMs);
    connection_.Frames().FlashSetup(0, 0, 0, 0, 0); // leaves verify mode; its result does not matter

    if (Ended(end, progress, result))
        return result;
    if (end.status == kStatusCompareFailed) {
        uint8_t targetByte = 0;
        connection_.Library().TargetRead8(end.failAddress, targetByte);
        result.address = end.failAddress;
        result.imageByte = image_.ReadByte(end.failAddress);
        result.targetByte = targetByte;
        result.probeStatus = end.status;
        result.diagnosis = Diagnose(range, end.failAddress, flash);
        return Fail(result, EOperationStatus::CompareFailed, end.status);
    }
    NoteAcknowledged(result, range, end);
    return Fail(result, EOperationStatus::ProbeError, end.status);
}

SOperationResult CTransfer::DumpRange(const CMemoryRange& range)
{
    SOperationResult result{EOperationKind::Dump};
    const uint32_t size = range.GetSize();
    result.bytes = size;
    view_.SetStatus(Format("Dumping %lu bytes ...", Ul(size)));
    const uint64_t startMs = connection_.Clock().NowMs();

    CProbeLibrary& library = connection_.Library();
    CProgressUpdate progress(view_, EOperationKind::Dump);
    std::vector<uint8_t> block(kBlockSize);
    uint32_t address = range.GetStart();
    uint32_t remaining = size;
    while (remaining > 0) {
        if (view_.CancelRequested()) {
            result.address = address;
            result.doneBytes = size - remaining;
            return Fail(result, EOperationStatus::Cancelled);
        }
        const uint32_t length = std::min(kBlockSize, remaining);
        const int status = library.TargetReadBlock(address, 0, length, block.data());
        if (status != kStatusOk) {
            // The block's address goes in front of the probe's reason.
            result.status = EOperationStatus::ProbeError;
            result.probeStatus = status;
            result.address = address;
            result.doneBytes = size - remaining;
            connection_.ReportStatusIn(&view_, status,
                                       Format("Reading target memory at address 0x%08lX", Ul(address)));
            return result;
        }
        // A dump that cannot be kept must not be reported as done.
        if (image_.WriteBlock(address, block.data(), length) != 0) {
            result.address = address;
            return Fail(result, EOperationStatus::ImageWriteFailed);
        }
        address += length;
        remaining -= length;
        progress.Update(size, size - remaining);
    }
    progress.Finish();
    result.elapsedMs = Elapsed(connection_.Clock(), startMs);
    return Finish(result, 0);
}
