#pragma once

#include "files/load_journal.h"
#include "files/program_file_readers.h"
#include "project/memory_range.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>

class CMemoryImage;

// What every reader keeps while it writes a file into the image: the byte
// count, the lowest and highest address written and whether any block fell
// outside the image window. A load is all or nothing: unless Finish() is
// reached, the tracker takes every write back when it goes out of scope, so
// a reader that gives up (not its format, a bad line, a read error, a failed
// image) leaves the image as it was before the load.
class CLoadTracker {
public:
    // `report`, when given, gets the spans written when the load is kept.
    CLoadTracker(CMemoryImage& image, uint32_t& bytesLoaded, SLoadReport* report = nullptr);
    ~CLoadTracker();
    CLoadTracker(const CLoadTracker&) = delete;
    CLoadTracker& operator=(const CLoadTracker&) = delete;

    // Counts `count` bytes, widens the file range over them and writes them
    // at `address`. False when the image failed (the reader stops with 4).
    // Small blocks that continue one another inside the image window (the
    // records of a file written upwards) are gathered into one run and
    // placed together: the same bytes land at the same addresses, and the
    // overlap search and the journal look at a run once instead of at every
    // record. A failing image may therefore show at a later Write or at
    // Finish.
    bool Write(uint32_t address, const uint8_t* data, uint32_t count)
    {
        Count(count);
        if (runLength_ != 0 && address == runEnd_ && count <= kRunSize - runLength_ && address + uint64_t{count} <= runLimit_) {
            std::memcpy(run_.get() + runLength_, data, count);
            runLength_ += count;
            runEnd_ += count;
            return true;
        }
        return Gather(address, data, count);
    }
    // The two halves of Write, for readers that count a block before they
    // have read all of it.
    void Count(uint32_t count) { bytesLoaded_ += count; }
    bool Place(uint32_t address, const uint8_t* data, uint32_t count)
    {
        return PlaceRun() && PlaceNow(address, data, count);
    }

    enum class ECopied {
        Done,        // placed: `placed` bytes, fewer than asked only when the file ended first
        Plain,       // not placed: the reader reads the bytes and places them itself
        ImageFailed, // the image failed (the reader stops with 4)
        ReadFailed,  // the file could not be read (the reader stops with 1)
    };
    // Places `count` bytes of the open file `fd` from `fileOffset` at
    // `address` as Place does, but lets the image copy them from file to
    // file, so that they never pass through this process. Only a block
    // wholly inside the image window and over no byte this load wrote
    // before (whose bytes would have to be compared) is taken; for others
    // the answer is Plain. Counts nothing.
    ECopied PlaceFromFile(uint32_t address, int fd, uint64_t fileOffset, uint32_t count, uint32_t& placed);

    // As Write, but large blocks that lie wholly inside the image window are
    // written at once and all others in pieces of `piece` bytes, so that the
    // image ends up exactly as with piecewise writes.
    bool WriteInPieces(uint32_t address, const uint8_t* data, uint32_t count, uint32_t piece);

    // Keeps the load, sets `fileRange` = Set(lowest, highest, 0) and answers
    // 3 when a block lay outside the window or the range is not inside
    // `physical`, else 0; 4 (kLoadImageFailed) when the image failed on the
    // last gathered run, and then the load is taken back. A file that wrote
    // no byte has an empty range, which counts as inside.
    int Finish(CMemoryRange& fileRange, const CMemoryRange& physical);
    // The same with the range's ends given (the binary reader's rule).
    int Finish(uint32_t lowest, uint32_t highest, CMemoryRange& fileRange, const CMemoryRange& physical);

    uint32_t Highest() const { return highest_; }
    // True once a data byte was counted.
    bool WroteData() const { return bytesLoaded_ > 0; }

private:
    // Places the gathered run, if any; false when the image failed.
    bool PlaceRun();
    // Starts a new run with the block, or places it at once when it cannot
    // be gathered (too large, or not wholly inside the image window).
    bool Gather(uint32_t address, const uint8_t* data, uint32_t count);
    bool PlaceNow(uint32_t address, const uint8_t* data, uint32_t count);

    CMemoryImage& image_;
    uint32_t& bytesLoaded_;
    uint32_t lowest_ = 0xFFFFFFFF;
    uint32_t highest_ = 0;
    bool outside_ = false;
    CLoadJournal journal_;
    bool kept_ = false;
    // The spans written, in the order written; [first, end) with 64-bit ends.
    SLoadReport* report_;
    std::vector<std::pair<uint64_t, uint64_t>> spans_;
    static constexpr size_t kMaxSpans = size_t{1} << 20;

    // Widens the range and the report's spans over the block.
    void NoteRange(uint32_t address, uint32_t count);
    // True when [begin, end) holds an address this load wrote before.
    bool LiesOverWritten(uint64_t begin, uint64_t end) const;
    // Notes the block in `written_` and, until one is found, looks for an
    // earlier block of this load under it that held other bytes.
    void NoteOverlap(uint32_t address, const uint8_t* data, uint32_t count);
    // The first address of [begin, end) where the image (what this load
    // wrote before) differs from `data`; end when none.
    uint64_t FirstDifference(uint64_t begin, uint64_t end, const uint8_t* data);
    // The addresses this load wrote, as disjoint [first, end) blocks, and the
    // block written last (where a sequential file goes on).
    std::map<uint64_t, uint64_t> written_;
    std::map<uint64_t, uint64_t>::iterator last_ = written_.end();
    // The gathered run: [runEnd_ - runLength_, runEnd_), inside the window,
    // which ends (at most at 4 GiB) at runLimit_.
    static constexpr uint32_t kRunSize = 64 * 1024;
    std::unique_ptr<uint8_t[]> run_;
    uint32_t runLength_ = 0;
    uint64_t runEnd_ = 0;
    uint64_t runLimit_ = 0;
    bool overlapKnown_ = false; // an overlap with other bytes was found, or tracking gave up
    bool overlap_ = false;
    uint32_t overlapAddress_ = 0;
};
