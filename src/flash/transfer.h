#pragma once

#include "common/operation_view.h"
#include "flash/operation_result.h"
#include "flash/sector_cover.h"
#include "project/memory_range.h"

#include <cstdint>
#include <string>
#include <vector>

class CMemoryImage;
class CProgressUpdate;
class CTargetConnection;

// What programming needs to know about the flash: the selected device's
// catalogue record and the project's bus and addresses.
struct SProgramTarget {
    uint32_t programAlgorithm = 0;
    uint32_t deviceWidth = 0;      // bytes of one device's data bus: 1, 2 or 4
    uint32_t deviceSize = 0;       // bytes of one device
    uint32_t pageSize = 0;         // 0 or 256 (page-write devices)
    uint32_t busWidthBytes = 0;    // the target's data bus: 1, 2 or 4
    uint32_t flashBase = 0;
    uint32_t workspace = 0xFFFFFFFF; // 0xFFFFFFFF: the project has no workspace
};

// The program, verify and dump transfers between the memory image and target
// flash, over a target connection that is open. Each shows its progress, and
// its result or failure in the status line; a failure ends it at once and
// leaves the connection open for the post-list and the disconnect.
class CTransfer {
public:
    static constexpr uint32_t kBlockSize = 1024;       // verify and dump blocks; program default
    static constexpr uint32_t kSmallBlockSize = 64; // algorithms with small blocks

    CTransfer(CTargetConnection& connection, CMemoryImage& image, COperationView& view)
        : connection_(connection), image_(image), view_(view)
    {
    }

    // Each answers how it ended; the status line already holds the text.
    [[nodiscard]] SOperationResult ProgramRange(const CMemoryRange& range, const SProgramTarget& target);
    // A verify that fails reads the target back from the failing address to
    // the range's end and keeps what differs in the result's diagnosis;
    // `flash` (the array's sectors in address order) names their sectors.
    [[nodiscard]] SOperationResult VerifyRange(const CMemoryRange& range, const std::vector<SFlashSector>& flash = {});
    [[nodiscard]] SOperationResult DumpRange(const CMemoryRange& range);

    // Each span in turn over the one connection; the first that does not
    // pass ends it and is answered. When all pass: Done, with the bytes and
    // times of all spans.
    [[nodiscard]] SOperationResult ProgramSpans(const std::vector<CMemoryRange>& spans, const SProgramTarget& target);
    [[nodiscard]] SOperationResult DumpSpans(const std::vector<CMemoryRange>& spans);
    // Compares each span with target flash, each in a verify stream of its
    // own, without stopping at a difference: `matching[i]` says whether span
    // i already holds the image. Done, or the probe error that ended it.
    [[nodiscard]] SOperationResult Matching(const std::vector<CMemoryRange>& spans, std::vector<bool>& matching);
    [[nodiscard]] SOperationResult VerifySpans(const std::vector<CMemoryRange>& spans,
                                               const std::vector<SFlashSector>& flash = {});

    // Program block size for a target; 0 when the device width is 0 (no device).
    static uint32_t BlockSize(const SProgramTarget& target);
    // Length of the first program block: up to the next block boundary
    // counted from the flash base, at most `size`.
    static uint32_t FirstBlockLength(uint32_t start, uint32_t size, uint32_t flashBase, uint32_t blockSize);
    // The program result line for `size` bytes in `elapsedMs` (0 counts as 1):
    // kB/s when the rate is 3 bytes per millisecond or more, else Byte/s.
    static std::string ProgramRateText(uint32_t size, uint64_t elapsedMs);

private:
    // How a stream of image blocks ended: the probe's status (after StreamEnd
    // on every path that opened the stream), whether the person stopped it,
    // and where it stood.
    struct SStreamEnd {
        int status = 0;
        uint32_t failAddress = 0;
        bool cancelled = false;
        uint32_t address = 0;
        uint64_t doneBytes = 0;
    };
    // Streams the image's bytes of `range` in `mode`, the first block
    // `firstLength` long, the others `blockSize`; `status` is the setup's
    // (a failed setup opens no stream).
    SStreamEnd Stream(const CMemoryRange& range, int status, int mode, uint32_t firstLength, uint32_t blockSize,
                      CProgressUpdate& progress);
    // A stream that ended on a probe or link error: what the probe had
    // acknowledged of `range` by then.
    static void NoteAcknowledged(SOperationResult& result, const CMemoryRange& range, const SStreamEnd& end);
    // A stream that passed or was stopped: sets `result` (Done or Cancelled)
    // and answers true; false leaves the failure to the caller.
    bool Ended(const SStreamEnd& end, CProgressUpdate& progress, SOperationResult& result);

    // Runs `transfer` on each span (see ProgramSpans).
    template <class TTransfer>
    SOperationResult EachSpan(const std::vector<CMemoryRange>& spans, TTransfer transfer);
    // Reads the target back from `from` to the end of `range` and compares.
    SVerifyDiagnosis Diagnose(const CMemoryRange& range, uint32_t from, const std::vector<SFlashSector>& flash);

    // Shows the result's text (probe errors through the connection's texts) and answers it.
    SOperationResult Finish(SOperationResult result, uint32_t reportAddress);
    SOperationResult Fail(SOperationResult result, EOperationStatus status, int probeStatus = 0)
    {
        result.status = status;
        result.probeStatus = probeStatus;
        return Finish(result, result.address);
    }

    CTargetConnection& connection_;
    CMemoryImage& image_;
    COperationView& view_;
};
