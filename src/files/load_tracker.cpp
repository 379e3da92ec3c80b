#include "files/load_tracker.h"

#include "project/memory_image.h"

#include <algorithm>

CLoadTracker::CLoadTracker(CMemoryImage& image, uint32_t& bytesLoaded, SLoadReport* report)
    : image_(image), bytesLoaded_(bytesLoaded), journal_(image), report_(report)
{
    bytesLoaded_ = 0;
}

CLoadTracker::~CLoadTracker()
{
    if (!kept_)
        (void)journal_.Rollback();
}

bool CLoadTracker::PlaceRun()
{
    if (runLength_ == 0)
        return true;
    const uint32_t length = runLength_;
    runLength_ = 0;
    return PlaceNow(static_cast<uint32_t>(runEnd_ - length), run_.get(), length);
}

bool CLoadTracker::Gather(uint32_t address, const uint8_t* data, uint32_t count)
{
    // An image that is not open takes nothing: say so at once.
    if (!image_.IsOpen() || !journal_.Marked() || !PlaceRun())
        return false;
    const uint64_t base = image_.GetBase();
    const uint64_t limit = std::min<uint64_t>(base + CMemoryImage::kWindowSize, 0x100000000ull);
    if (count == 0 || count > kRunSize / 2 || address < base || address + uint64_t{count} > limit)
        return PlaceNow(address, data, count);
    if (!run_)
        run_ = std::make_unique<uint8_t[]>(kRunSize);
    std::memcpy(run_.get(), data, count);
    runLength_ = count;
    runEnd_ = address + uint64_t{count};
    runLimit_ = limit;
    return true;
}

bool CLoadTracker::PlaceNow(uint32_t address, const uint8_t* data, uint32_t count)
{
    if (count == 0)
        return true; // an empty record writes nothing and covers no address
    NoteRange(address, count);
    if (!overlapKnown_)
        NoteOverlap(address, data, count);
    if (!journal_.Marked() || (journal_.Touches(address, count) && !journal_.Save(address, count)))
        return false;
    const int r = image_.WriteBlock(address, data, count);
    if (r == 3)
        return false;
    if (r == 2)
        outside_ = true;
    return true;
}

CLoadTracker::ECopied CLoadTracker::PlaceFromFile(uint32_t address, int fd, uint64_t fileOffset, uint32_t count,
                                                  uint32_t& placed)
{
    placed = 0;
    if (!PlaceRun())
        return ECopied::ImageFailed;
    const uint32_t base = image_.GetBase();
    const uint64_t end = uint64_t{address} + count;
    if (count == 0 || address < base || end - base > CMemoryImage::kWindowSize || end > 0x100000000ull
        || (!overlapKnown_ && LiesOverWritten(address, end)))
        return ECopied::Plain;
    if (!journal_.Marked() || (journal_.Touches(address, count) && !journal_.Save(address, count)))
        return ECopied::ImageFailed;
    const int r = image_.CopyFromFile(address, fd, fileOffset, count, placed);
    if (placed > 0) {
        NoteRange(address, placed);
        // Nothing of this load lies under the block: no byte is compared.
        if (!overlapKnown_)
            NoteOverlap(address, nullptr, placed);
    }
    if (r == 4)
        return ECopied::ReadFailed;
    return r == 0 ? ECopied::Done : ECopied::ImageFailed;
}

bool CLoadTracker::LiesOverWritten(uint64_t begin, uint64_t end) const
{
    const auto above = written_.upper_bound(begin);
    if (above != written_.end() && above->first < end)
        return true;
    return above != written_.begin() && std::prev(above)->second > begin;
}

void CLoadTracker::NoteRange(uint32_t address, uint32_t count)
{
    if (address < lowest_)
        lowest_ = address;
    // A block that runs past 0xFFFFFFFF ends the range at the top of the
    // address space rather than wrapping it to a low address.
    const uint64_t last64 = uint64_t{address} + count - 1;
    const uint32_t last = last64 > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(last64);
    if (last > highest_)
        highest_ = last;
    if (report_) {
        // Sequential files extend the last span; a file whose pieces come in
        // any order is merged at the end (beyond kMaxSpans it becomes one).
        const uint64_t end = last64 + 1 > 0x100000000ull ? 0x100000000ull : last64 + 1;
        if (!spans_.empty() && address >= spans_.back().first && address <= spans_.back().second)
            spans_.back().second = std::max(spans_.back().second, end);
        else if (spans_.size() < kMaxSpans)
            spans_.emplace_back(address, end);
        else
            spans_ = {{std::min<uint64_t>(spans_.front().first, address), std::max(spans_.back().second, end)}};
    }
}

void CLoadTracker::NoteOverlap(uint32_t address, const uint8_t* data, uint32_t count)
{
    const uint64_t begin = address;
    const uint64_t end = std::min<uint64_t>(begin + count, 0x100000000ull);
    const auto check = [&](uint64_t lo, uint64_t hi) {
        if (lo >= hi || overlap_)
            return;
        const uint64_t at = FirstDifference(lo, hi, data + (lo - begin));
        if (at < hi) {
            overlap_ = overlapKnown_ = true;
            overlapAddress_ = static_cast<uint32_t>(at);
        }
    };
    // A sequential file goes on where its last block ended: one comparison.
    if (last_ != written_.end() && last_->first <= begin && last_->second >= begin) {
        // Most files are written upwards, so the block written last is
        // mostly the highest one: that is asked first, as stepping past the
        // map's last element climbs the whole tree.
        const bool highest = last_ == std::prev(written_.end());
        const auto next = highest ? written_.end() : std::next(last_);
        if (next == written_.end() || next->first > end) {
            check(begin, std::min(last_->second, end));
            last_->second = std::max(last_->second, end);
            return;
        }
    }
    auto it = written_.upper_bound(begin);
    if (it != written_.begin() && std::prev(it)->second >= begin)
        --it;
    uint64_t lo = begin;
    uint64_t hi = end;
    while (it != written_.end() && it->first <= end) {
        check(std::max(it->first, begin), std::min(it->second, end));
        lo = std::min(lo, it->first);
        hi = std::max(hi, it->second);
        it = written_.erase(it);
    }
    last_ = written_.emplace_hint(it, lo, hi);
    // A file of very many holes: the search for overlaps gives up rather
    // than hold more memory than the load itself.
    if (written_.size() > kMaxSpans) {
        overlapKnown_ = true;
        written_.clear();
        last_ = written_.end();
    }
}

uint64_t CLoadTracker::FirstDifference(uint64_t begin, uint64_t end, const uint8_t* data)
{
    uint8_t held[4096];
    for (uint64_t at = begin; at < end;) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(sizeof held, end - at));
        image_.ReadBlock(static_cast<uint32_t>(at), held, n);
        for (uint32_t i = 0; i < n; ++i) {
            if (held[i] != data[at - begin + i])
                return at + i;
        }
        at += n;
    }
    return end;
}

bool CLoadTracker::WriteInPieces(uint32_t address, const uint8_t* data, uint32_t count, uint32_t piece)
{
    const uint32_t base = image_.GetBase();
    const uint64_t last = uint64_t{address} + count - 1;
    const bool inside = count > 0 && address >= base && last <= 0xFFFFFFFFull &&
                        last - base < CMemoryImage::kWindowSize;
    if (inside || count <= piece)
        return Write(address, data, count);
    for (uint32_t done = 0; done < count; done += piece) {
        const uint32_t n = count - done < piece ? count - done : piece;
        if (!Write(address + done, data + done, n))
            return false;
    }
    return true;
}

int CLoadTracker::Finish(CMemoryRange& fileRange, const CMemoryRange& physical)
{
    // The range covers the gathered run too.
    if (!PlaceRun())
        return kLoadImageFailed;
    return Finish(lowest_, highest_, fileRange, physical);
}

int CLoadTracker::Finish(uint32_t lowest, uint32_t highest, CMemoryRange& fileRange,
                         const CMemoryRange& physical)
{
    if (!PlaceRun())
        return kLoadImageFailed;
    kept_ = true;
    if (report_) {
        report_->overlap = overlap_;
        report_->overlapAddress = overlapAddress_;
        std::sort(spans_.begin(), spans_.end());
        report_->spans.clear();
        for (size_t i = 0; i < spans_.size();) {
            uint64_t lo = spans_[i].first;
            uint64_t hi = spans_[i].second;
            for (++i; i < spans_.size() && spans_[i].first <= hi; ++i)
                hi = std::max(hi, spans_[i].second);
            report_->spans.emplace_back(static_cast<uint32_t>(lo), static_cast<uint32_t>(hi - 1), 0);
        }
    }
    fileRange.Set(lowest, highest, 0);
    const bool inside = fileRange.GetSize() == 0 || fileRange.CheckInside(physical, "", nullptr);
    return outside_ || !inside ? 3 : 0;
}
