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
        // A step over several spans says so in front of its result line.
        view_.SetStatus(result.Ok() && result.spans > 1
                            ? Format("%lu spans: ", Ul(result.spans)) + COperationTexts::Result(result)
                            : COperationTexts::Result(result));
        break;
    }
    return result;
}

namespace {

uint64_t TotalBytes(const std::vector<CMemoryRange>& spans)
{
    uint64_t total = 0;
    for (const CMemoryRange& span : spans)
        total += span.GetSize();
    return total;
}

// The index of the span holding `address` from `first` on (spans.size()
// when none does), and the bytes of the spans before it from `first`.
size_t SpanHolding(const std::vector<CMemoryRange>& spans, size_t first, uint32_t address, uint64_t* before = nullptr)
{
    uint64_t bytes = 0;
    for (size_t i = first; i < spans.size(); ++i) {
        const uint64_t start = spans[i].GetStart();
        if (address >= start && address - start < spans[i].GetSize()) {
            if (before)
                *before = bytes;
            return i;
        }
        bytes += spans[i].GetSize();
    }
    if (before)
        *before = bytes;
    return spans.size();
}

} // namespace

uint32_t CTransfer::SBlocking::First(const CMemoryRange& span) const
{
    return aligned ? FirstBlockLength(span.GetStart(), span.GetSize(), base, blockSize)
                   : std::min(blockSize, span.GetSize());
}

void CTransfer::SpanLine(const char* verb, size_t index, size_t count, const CMemoryRange& span)
{
    if (count > 1)
        view_.Detail(Format("  %s span %lu of %lu: %08lX..%08lX (%lu bytes)", verb, Ul(index + 1), Ul(count),
                            Ul(span.GetStart()), Ul(span.GetEnd()), Ul(span.GetSize())));
}

CTransfer::SStreamEnd CTransfer::Stream(const std::vector<CMemoryRange>& spans, size_t first, int status, int mode,
                                         const SBlocking& blocking, CProgressUpdate& progress, uint64_t total,
                                         uint64_t doneBefore)
{
    CProbeLibrary& library = connection_.Library();
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
    end.span = first;
    end.doneBytes = doneBefore;
    if (first < spans.size())
        end.address = spans[first].GetStart();
    // The image is read a piece at a time and the blocks cut from it: one
    // read of the image's file per piece instead of one per block.
    std::vector<uint8_t> piece(std::max(kImagePieceBytes, blocking.blockSize));
    uint64_t pieceStart = 0, pieceEnd = 0;
    const char* verb = mode == kStreamProgram ? "Programming" : "Verifying";
    for (size_t i = first; i < spans.size() && status == kStatusOk && !end.cancelled; ++i) {
        const CMemoryRange& span = spans[i];
        uint32_t remaining = span.GetSize();
        if (remaining == 0)
            continue;
        end.span = i;
        end.address = span.GetStart();
        SpanLine(verb, i, spans.size(), span);
        uint32_t length = blocking.First(span);
        while (remaining > 0 && status == kStatusOk) {
            if (view_.CancelRequested()) {
                end.cancelled = true;
                break;
            }
            if (end.address < pieceStart || uint64_t{end.address} + length > pieceEnd) {
                const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(piece.size(), remaining));
                image_.ReadBlock(end.address, piece.data(), take);
                pieceStart = end.address;
                pieceEnd = pieceStart + take;
            }
            status = library.StreamBlock(end.address, length, piece.data() + (end.address - pieceStart));
            if (status == kStatusStopped) {
                // Stopped while waiting for room: this block was not sent.
                status = kStatusOk;
                end.cancelled = true;
                break;
            }
            end.address += length;
            remaining -= length;
            end.doneBytes += length;
            length = std::min(blocking.blockSize, remaining);
            // What the probe has acknowledged, never what is only on its way;
            // a stream that goes on after a difference starts behind what the
            // one before it sent: the bar never moves back.
            progress.Update(total, std::max<uint64_t>(doneBefore + library.StreamAcknowledged(end.doneBytes - doneBefore),
                                                      progress.LastDone()));
        }
    }
    if (end.cancelled)
        view_.SetStatus("Stopping ...");
    // The stream is ended on every path that opened it: the probe finishes
    // the blocks it has and reports the first failure among them.
    if (status == kStatusOk || status == kStatusCompareFailed)
        status = library.StreamEnd(end.failAddress);
    end.status = status;
    // After StreamEnd every block sent is either acknowledged or lost.
    end.doneBytes = doneBefore + library.StreamAcknowledged(end.doneBytes - doneBefore);
    if (end.doneBytes > doneBefore)
        progress.Update(total, std::max<uint64_t>(end.doneBytes, progress.LastDone()));
    return end;
}

void CTransfer::NoteAcknowledged(SOperationResult& result, const std::vector<CMemoryRange>& spans,
                                 const SStreamEnd& end)
{
    result.doneBytes = end.doneBytes;
    result.spans = static_cast<uint32_t>(end.span + 1);
    // The last byte the probe acknowledged: the step's acknowledged bytes
    // counted through its spans.
    uint64_t before = 0;
    for (const CMemoryRange& span : spans) {
        if (end.doneBytes == 0)
            break;
        if (end.doneBytes <= before + span.GetSize()) {
            result.lastAcknowledged = static_cast<uint32_t>(span.GetStart() + (end.doneBytes - before) - 1);
            break;
        }
        before += span.GetSize();
    }
}

bool CTransfer::Ended(const SStreamEnd& end, CProgressUpdate& progress, SOperationResult& result)
{
    if (end.status != kStatusOk)
        return false;
    if (end.cancelled) {
        result.address = end.address;
        result.doneBytes = end.doneBytes;
        result.spans = static_cast<uint32_t>(end.span + 1);
        result = Fail(result, EOperationStatus::Cancelled);
        return true;
    }
    progress.Finish();
    result.doneBytes = result.bytes;
    result = Finish(result, 0);
    return true;
}

SOperationResult CTransfer::ProgramRange(const CMemoryRange& range, const SProgramTarget& target)
{
    return ProgramSpans({range}, target);
}

SOperationResult CTransfer::VerifyRange(const CMemoryRange& range, const std::vector<SFlashSector>& flash)
{
    return VerifySpans({range}, flash);
}

SOperationResult CTransfer::DumpRange(const CMemoryRange& range)
{
    return DumpSpans({range});
}

SOperationResult CTransfer::ProgramSpans(const std::vector<CMemoryRange>& spans, const SProgramTarget& target)
{
    SOperationResult result{EOperationKind::Program};
    const uint64_t size = TotalBytes(spans);
    result.bytes = size;
    result.spans = static_cast<uint32_t>(spans.size());
    if (size == 0)
        return Fail(result, EOperationStatus::EmptyRange);
    view_.SetStatus(spans.size() > 1 ? Format("Programming %lu bytes in %lu spans...", Ul(size), Ul(spans.size()))
                                     : Format("Programming %lu bytes...", Ul(size)));

    const uint32_t blockSize = BlockSize(target);
    if (blockSize == 0)
        return Fail(result, EOperationStatus::ProbeError, kStatusInvalidParameter);

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
    const SStreamEnd end =
        Stream(spans, 0, status, kStreamProgram, SBlocking{blockSize, true, target.flashBase}, progress, size, 0);
    result.elapsedMs = Elapsed(connection_.Clock(), startMs);
    if (Ended(end, progress, result))
        return result;
    if (end.status == kStatusCompareFailed || end.status == kStatusProgramFailedAt) {
        uint64_t before = 0;
        const size_t failed = SpanHolding(spans, 0, end.failAddress, &before);
        result.spans = static_cast<uint32_t>(failed < spans.size() ? failed + 1 : end.span + 1);
        result.doneBytes = failed < spans.size() ? before + (end.failAddress - spans[failed].GetStart()) : 0;
        result.address = end.failAddress;
        result.probeStatus = kStatusProgramFailedAt;
        result.status = EOperationStatus::ProgramFailed;
        return Finish(result, end.failAddress);
    }
    NoteAcknowledged(result, spans, end);
    return Fail(result, EOperationStatus::ProbeError, end.status);
}

SOperationResult CTransfer::VerifySpans(const std::vector<CMemoryRange>& spans, const std::vector<SFlashSector>& flash)
{
    SOperationResult result{EOperationKind::Verify};
    const uint64_t size = TotalBytes(spans);
    result.bytes = size;
    result.spans = static_cast<uint32_t>(spans.size());
    if (size == 0)
        return Fail(result, EOperationStatus::EmptyRange);
    view_.SetStatus(spans.size() > 1 ? Format("Verifying %lu bytes in %lu spans ...", Ul(size), Ul(spans.size()))
                                     : Format("Verifying %lu bytes ...", Ul(size)));

    const int status = connection_.Frames().FlashSetup(kVerifyAlgorithm, 0, 0, 0, 0);
    const uint64_t startMs = connection_.Clock().NowMs();
    CProgressUpdate progress(view_, EOperationKind::Verify);
    const SStreamEnd end = Stream(spans, 0, status, kStreamVerify, SBlocking{}, progress, size, 0);
    result.elapsedMs = Elapsed(connection_.Clock(), startMs);
    connection_.Frames().FlashSetup(0, 0, 0, 0, 0); // leaves verify mode; its result does not matter

    if (Ended(end, progress, result))
        return result;
    if (end.status == kStatusCompareFailed) {
        uint64_t before = 0;
        size_t failed = SpanHolding(spans, 0, end.failAddress, &before);
        uint8_t targetByte = 0;
        connection_.Library().TargetRead8(end.failAddress, targetByte);
        result.address = end.failAddress;
        result.imageByte = image_.ReadByte(end.failAddress);
        result.targetByte = targetByte;
        result.probeStatus = end.status;
        if (failed == spans.size())
            failed = end.span; // the probe named an address outside the spans: read back from where it stood
        else
            result.doneBytes = before + (end.failAddress - spans[failed].GetStart());
        result.spans = static_cast<uint32_t>(failed + 1);
        result.diagnosis = Diagnose(spans, failed, end.failAddress, flash);
        return Fail(result, EOperationStatus::CompareFailed, end.status);
    }
    NoteAcknowledged(result, spans, end);
    return Fail(result, EOperationStatus::ProbeError, end.status);
}

SOperationResult CTransfer::Matching(const std::vector<CMemoryRange>& spans, std::vector<bool>& matching)
{
    SOperationResult result{EOperationKind::Verify};
    matching.assign(spans.size(), true);
    const uint64_t total = TotalBytes(spans);
    result.bytes = total;
    result.spans = static_cast<uint32_t>(spans.size());
    if (total == 0)
        return result;
    const uint64_t startMs = connection_.Clock().NowMs();
    CProgressUpdate progress(view_, EOperationKind::Verify);
    const int setup = connection_.Frames().FlashSetup(kVerifyAlgorithm, 0, 0, 0, 0);
    size_t next = 0;
    uint64_t doneBefore = 0;
    SStreamEnd end;
    while (next < spans.size()) {
        end = Stream(spans, next, setup, kStreamVerify, SBlocking{}, progress, total, doneBefore);
        if (end.status != kStatusCompareFailed)
            break;
        // The span that differs; the probe compared nothing after it.
        uint64_t before = 0;
        size_t differs = SpanHolding(spans, next, end.failAddress, &before);
        if (differs == spans.size())
            differs = end.span;
        matching[differs] = false;
        doneBefore += before + spans[differs].GetSize();
        next = differs + 1;
    }
    connection_.Frames().FlashSetup(0, 0, 0, 0, 0);
    result.elapsedMs = Elapsed(connection_.Clock(), startMs);
    if (end.status == kStatusOk && end.cancelled) {
        result.address = end.address;
        result.doneBytes = end.doneBytes;
        return Fail(result, EOperationStatus::Cancelled);
    }
    if (end.status != kStatusOk && end.status != kStatusCompareFailed)
        return Fail(result, EOperationStatus::ProbeError, end.status);
    result.doneBytes = total;
    progress.Finish();
    return result;
}

template <class TTake>
CTransfer::SReadEnd CTransfer::ReadPieces(const std::vector<SPiece>& pieces, uint64_t limit, bool spanLines,
                                          TTake take)
{
    SReadEnd end;
    if (!pieces.empty())
        end.address = static_cast<uint32_t>(pieces.front().start);
    std::vector<uint8_t> buffer(kReadBatchBytes);
    std::vector<SProbeReadBlock> batch;
    size_t piece = 0;
    uint64_t next = pieces.empty() ? 0 : pieces.front().start;
    const size_t spanCount = pieces.empty() ? 0 : pieces.back().span + 1;
    while (piece < pieces.size()) {
        if (end.bytes >= limit) {
            end.limited = true;
            return end;
        }
        if (view_.CancelRequested()) {
            end.cancelled = true;
            return end;
        }
        // The next blocks, up to a batch's bytes and the limit.
        batch.clear();
        uint32_t used = 0;
        uint64_t room = limit - end.bytes; // the limit's
        while (piece < pieces.size() && room > 0) {
            const uint32_t length = static_cast<uint32_t>(
                std::min<uint64_t>({kBlockSize, pieces[piece].end - next, room}));
            if (used + length > kReadBatchBytes)
                break;
            if (next == pieces[piece].start && spanLines)
                SpanLine("Dumping", pieces[piece].span, spanCount,
                         CMemoryRange(static_cast<uint32_t>(next), static_cast<uint32_t>(pieces[piece].end - next), 1));
            batch.push_back({static_cast<uint32_t>(next), length, buffer.data() + used});
            used += length;
            room -= length;
            next += length;
            if (next == pieces[piece].end && ++piece < pieces.size())
                next = pieces[piece].start;
        }
        int failed = 0;
        const int status = connection_.Library().TargetReadBlocks(static_cast<int>(batch.size()), batch.data(), failed);
        const size_t good = status == kStatusOk ? batch.size() : std::min<size_t>(static_cast<size_t>(failed), batch.size());
        for (size_t i = 0; i < good; ++i) {
            end.address = batch[i].address;
            if (!take(batch[i].address, batch[i].buffer, batch[i].length)) {
                end.refused = true;
                return end;
            }
            end.bytes += batch[i].length;
            end.address = batch[i].address + batch[i].length;
        }
        if (status != kStatusOk) {
            end.status = status;
            end.address = good < batch.size() ? batch[good].address : end.address;
            return end;
        }
        if (piece < pieces.size())
            end.address = static_cast<uint32_t>(next);
    }
    return end;
}

SVerifyDiagnosis CTransfer::Diagnose(const std::vector<CMemoryRange>& spans, size_t index, uint32_t from,
                                     const std::vector<SFlashSector>& flash)
{
    SVerifyDiagnosis diagnosis;
    diagnosis.from = from;
    // The pieces to read: the rest of the failing span, then every later one.
    std::vector<SPiece> pieces;
    for (size_t i = index; i < spans.size(); ++i) {
        uint64_t start = spans[i].GetStart();
        const uint64_t end = start + spans[i].GetSize();
        if (i == index)
            start = std::max<uint64_t>(start, from);
        if (end > start) {
            pieces.push_back({start, end, i});
            diagnosis.rangeBytes += end - start;
        }
    }
    view_.SetStatus(pieces.size() > 1 ? Format("Reading back %lu bytes in %lu spans from address %08lX ...",
                                               Ul(diagnosis.rangeBytes), Ul(pieces.size()), Ul(from))
                                      : Format("Reading back %lu bytes from address %08lX ...",
                                               Ul(diagnosis.rangeBytes), Ul(from)));
    std::vector<uint8_t> image(kBlockSize);
    const SReadEnd end =
        ReadPieces(pieces, readBackLimit_, false, [&](uint32_t address, const uint8_t* target, uint32_t length) {
            image_.ReadBlock(address, image.data(), length);
            diagnosis.Add(address, image.data(), target, length, flash);
            return true;
        });
    if (end.cancelled)
        diagnosis.stoppedBy = "it was stopped.";
    else if (end.limited && end.bytes < diagnosis.rangeBytes)
        diagnosis.stoppedBy = Format("it reached its limit of %lu bytes.", Ul(readBackLimit_));
    else if (end.status != kStatusOk)
        diagnosis.stoppedBy = Format("reading at address %08lX failed (%s).", Ul(end.address),
                                     connection_.StatusText(end.status, end.address).c_str());
    return diagnosis;
}

SOperationResult CTransfer::DumpSpans(const std::vector<CMemoryRange>& spans)
{
    SOperationResult result{EOperationKind::Dump};
    const uint64_t size = TotalBytes(spans);
    result.bytes = size;
    result.spans = static_cast<uint32_t>(spans.size());
    view_.SetStatus(spans.size() > 1 ? Format("Dumping %lu bytes in %lu spans ...", Ul(size), Ul(spans.size()))
                                     : Format("Dumping %lu bytes ...", Ul(size)));
    const uint64_t startMs = connection_.Clock().NowMs();

    std::vector<SPiece> pieces;
    for (size_t i = 0; i < spans.size(); ++i)
        if (spans[i].GetSize() != 0)
            pieces.push_back({spans[i].GetStart(), uint64_t{spans[i].GetStart()} + spans[i].GetSize(), i});
    CProgressUpdate progress(view_, EOperationKind::Dump);
    uint64_t done = 0;
    bool imageFailed = false;
    const SReadEnd end =
        ReadPieces(pieces, UINT64_MAX, spans.size() > 1, [&](uint32_t address, const uint8_t* bytes, uint32_t length) {
            // A dump that cannot be kept must not be reported as done.
            if (image_.WriteBlock(address, bytes, length) != 0) {
                imageFailed = true;
                return false;
            }
            done += length;
            progress.Update(size, done);
            return true;
        });
    result.address = end.address;
    result.doneBytes = done;
    const size_t at = SpanHolding(spans, 0, end.address);
    if (at < spans.size())
        result.spans = static_cast<uint32_t>(at + 1);
    if (end.cancelled)
        return Fail(result, EOperationStatus::Cancelled);
    if (imageFailed)
        return Fail(result, EOperationStatus::ImageWriteFailed);
    if (end.status != kStatusOk) {
        // The block's address goes in front of the probe's reason.
        result.status = EOperationStatus::ProbeError;
        result.probeStatus = end.status;
        connection_.ReportStatusIn(&view_, end.status,
                                   Format("Reading target memory at address 0x%08lX", Ul(end.address)));
        return result;
    }
    progress.Finish();
    result.address = 0;
    result.spans = static_cast<uint32_t>(spans.size());
    result.elapsedMs = Elapsed(connection_.Clock(), startMs);
    return Finish(result, 0);
}
