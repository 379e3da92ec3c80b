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
    // Bytes of reads sent at once: a few round trips' worth on a fast link,
    // under a second on a slow one, so that Stop is seen in time.
    static constexpr uint32_t kReadBatchBytes = 16 * 1024;
    // Bytes of the image read at once for a stream's blocks.
    static constexpr uint32_t kImagePieceBytes = 64 * 1024;

    CTransfer(CTargetConnection& connection, CMemoryImage& image, COperationView& view)
        : connection_(connection), image_(image), view_(view)
    {
    }

    // Each answers how it ended; the status line already holds the text.
    // The Range forms are the Spans forms over one span.
    [[nodiscard]] SOperationResult ProgramRange(const CMemoryRange& range, const SProgramTarget& target);
    [[nodiscard]] SOperationResult VerifyRange(const CMemoryRange& range, const std::vector<SFlashSector>& flash = {});
    [[nodiscard]] SOperationResult DumpRange(const CMemoryRange& range);

    // The spans of one step (a scattered file's written ranges, in address
    // order) in one transfer: program and verify set the algorithm up once
    // and stream the blocks of every span within one StreamBegin / StreamEnd
    // (every block carries its address; the first block of each span keeps
    // the alignment of its algorithm), so the spans cost the round trips of
    // one. Empty spans are passed over. The failure address, the cancel
    // address and the verify diagnosis are those of the span they fall in;
    // `spans` of the result counts the spans started.
    [[nodiscard]] SOperationResult ProgramSpans(const std::vector<CMemoryRange>& spans, const SProgramTarget& target);
    // A verify that fails reads the target back from the failing address to
    // the end of its span and every span after it (the probe compares no
    // further once a stream failed), and keeps what differs in the result's
    // diagnosis; `flash` (the array's sectors in address order) names their
    // sectors. The read back stops after ReadBackLimit() bytes and says so.
    [[nodiscard]] SOperationResult VerifySpans(const std::vector<CMemoryRange>& spans,
                                               const std::vector<SFlashSector>& flash = {});
    [[nodiscard]] SOperationResult DumpSpans(const std::vector<CMemoryRange>& spans);
    // Compares each span with target flash without stopping at a difference:
    // `matching[i]` says whether span i already holds the image. The spans go
    // in one verify stream; a difference ends a stream, so the spans after
    // the differing one go on in the next. Done, or the probe error that
    // ended it.
    [[nodiscard]] SOperationResult Matching(const std::vector<CMemoryRange>& spans, std::vector<bool>& matching);

    // Most bytes a failed verify reads back for its diagnosis.
    static constexpr uint64_t kReadBackLimit = 16u * 1024 * 1024;
    void SetReadBackLimit(uint64_t bytes) { readBackLimit_ = bytes; }

    // Program block size for a target; 0 when the device width is 0 (no device).
    static uint32_t BlockSize(const SProgramTarget& target);
    // Length of the first program block: up to the next block boundary
    // counted from the flash base, at most `size`.
    static uint32_t FirstBlockLength(uint32_t start, uint32_t size, uint32_t flashBase, uint32_t blockSize);
    // The program result line for `size` bytes in `elapsedMs` (0 counts as 1):
    // kB/s when the rate is 3 bytes per millisecond or more, else Byte/s.
    static std::string ProgramRateText(uint32_t size, uint64_t elapsedMs);

private:
    // How the blocks of a span are cut: `blockSize` bytes each, the first
    // up to the next block boundary counted from `base` when `aligned`.
    struct SBlocking {
        uint32_t blockSize = kBlockSize;
        bool aligned = false;
        uint32_t base = 0;
        uint32_t First(const CMemoryRange& span) const;
    };
    // How a stream of image blocks ended: the probe's status (after StreamEnd
    // on every path that opened the stream), whether the person stopped it,
    // where it stood (the next address to send, in span `span`) and the bytes
    // sent, counted from the step's first span.
    struct SStreamEnd {
        int status = 0;
        uint32_t failAddress = 0;
        bool cancelled = false;
        uint32_t address = 0;
        size_t span = 0;
        uint64_t doneBytes = 0;
    };
    // Streams the image's bytes of spans[first..] in `mode` in one stream;
    // `status` is the setup's (a failed setup opens no stream). Progress
    // counts `doneBefore` + the bytes sent of `total`.
    SStreamEnd Stream(const std::vector<CMemoryRange>& spans, size_t first, int status, int mode,
                      const SBlocking& blocking, CProgressUpdate& progress, uint64_t total, uint64_t doneBefore);
    // A stream that ended on a probe or link error: what the probe had
    // acknowledged of the spans by then (bytes, and the last byte's address).
    static void NoteAcknowledged(SOperationResult& result, const std::vector<CMemoryRange>& spans,
                                 const SStreamEnd& end);
    // A stream that passed or was stopped: sets `result` (Done or Cancelled)
    // and answers true; false leaves the failure to the caller.
    bool Ended(const SStreamEnd& end, CProgressUpdate& progress, SOperationResult& result);
    // A span's own line (shown with the step's details only).
    void SpanLine(const char* verb, size_t index, size_t count, const CMemoryRange& span);

    // A piece of target memory to read: [start, end), in span `span`.
    struct SPiece {
        uint64_t start = 0;
        uint64_t end = 0;
        size_t span = 0;
    };
    // How reading pieces ended: `address` is the first byte not taken.
    struct SReadEnd {
        int status = 0;       // the probe's, of the read that failed
        bool cancelled = false;
        bool refused = false; // `take` answered false
        bool limited = false; // `limit` bytes were taken
        uint32_t address = 0;
        uint64_t bytes = 0;
    };
    // Reads `pieces` in blocks of kBlockSize, a batch of blocks at a time
    // without a round trip between them (TargetReadBlocks), handing each
    // block in order to `take(address, bytes, length)` (false stops). Stop
    // is asked between batches; at most `limit` bytes are read.
    template <class TTake>
    SReadEnd ReadPieces(const std::vector<SPiece>& pieces, uint64_t limit, bool spanLines, TTake take);

    // Reads the target back from `from` (in spans[index]) to the end of that
    // span and through every later span, and compares.
    SVerifyDiagnosis Diagnose(const std::vector<CMemoryRange>& spans, size_t index, uint32_t from,
                              const std::vector<SFlashSector>& flash);

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
    uint64_t readBackLimit_ = kReadBackLimit;
};
