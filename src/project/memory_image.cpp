#include "project/memory_image.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// Adds every byte of p[0, n) into lanes[i % 8]. The inner loop sums eight
// bytes at a time in 16-bit fields of two 64-bit words (even and odd byte
// positions), which the compiler turns into wide vector adds; a field takes
// at most 256 words * 255 before it is folded into the 64-bit lane totals.
void AddLaneSums(const uint8_t* p, size_t n, uint64_t lanes[8])
{
    constexpr uint64_t kMask = 0x00FF00FF00FF00FFull;
    constexpr size_t kBlockWords = 256;
    size_t words = n / 8;
    while (words > 0) {
        const size_t block = std::min(words, kBlockWords);
        uint64_t even = 0;
        uint64_t odd = 0;
        for (size_t i = 0; i < block; ++i) {
            uint64_t w;
            std::memcpy(&w, p + 8 * i, 8);
            even += w & kMask;
            odd += (w >> 8) & kMask;
        }
        for (int f = 0; f < 4; ++f) {
            const uint64_t e = (even >> (16 * f)) & 0xFFFF;
            const uint64_t o = (odd >> (16 * f)) & 0xFFFF;
            if constexpr (std::endian::native == std::endian::little) {
                lanes[2 * f] += e;
                lanes[2 * f + 1] += o;
            } else {
                lanes[7 - 2 * f] += e;
                lanes[6 - 2 * f] += o;
            }
        }
        p += 8 * block;
        words -= block;
    }
    for (size_t i = 0; i < n % 8; ++i)
        lanes[i] += p[i];
}

// How many of the positions [a, b) are congruent to k modulo 4.
uint64_t CountInLane(uint64_t a, uint64_t b, unsigned k)
{
    auto below = [k](uint64_t x) { return (x + 3 - k) / 4; }; // positions [0, x)
    return below(b) - below(a);
}

} // namespace

int CMemoryImage::Open(uint32_t base, const std::string& directory)
{
    base_ = base;
    if (isOpen_) {
        Clear();
        return 0;
    }
    firstOffset_ = 0;
    usedLength_ = 0;
    fileFirst_ = fileEnd_ = 0;
    pendingLength_ = 0;
    isOpen_ = file_.Create(directory);
    return isOpen_ ? 0 : 1;
}

int CMemoryImage::WriteBlock(uint32_t address, const uint8_t* data, uint32_t count)
{
    // The loaders' common case first: a block that continues the pending run
    // inside the window and fits into the cache.
    const uint64_t offset64 = uint64_t{address} - base_;
    if (pendingLength_ != 0 && address >= base_ && offset64 == pendingStart_ + pendingLength_
        && count <= cacheSize_ - pendingLength_ && offset64 + count <= kWindowSize
        && uint64_t{address} + count <= 0x100000000ull) {
        std::memcpy(cache_.get() + pendingLength_, data, count);
        pendingLength_ += count;
        const uint64_t end = offset64 + count;
        if (end > uint64_t{firstOffset_} + usedLength_)
            usedLength_ = static_cast<uint32_t>(end - firstOffset_);
        return 0;
    }

    if (count == 0)
        return 0;
    const uint32_t last = address + count - 1;
    if (last < address || last < base_ || last - base_ >= kWindowSize)
        return 2;
    int result = 0;
    uint32_t offset = 0;
    if (address < base_) {
        const uint32_t drop = base_ - address;
        data += drop;
        count -= drop;
        result = 2;
    } else {
        offset = address - base_;
    }
    if (!isOpen_ || !Store(offset, data, count))
        return 3;
    Widen(offset, uint64_t{offset} + count);
    return result;
}

void CMemoryImage::Widen(uint64_t offset, uint64_t end)
{
    if (usedLength_ == 0) {
        firstOffset_ = static_cast<uint32_t>(offset);
        usedLength_ = static_cast<uint32_t>(end - offset);
    } else {
        const uint64_t lo = std::min<uint64_t>(firstOffset_, offset);
        const uint64_t hi = std::max<uint64_t>(uint64_t{firstOffset_} + usedLength_, end);
        firstOffset_ = static_cast<uint32_t>(lo);
        usedLength_ = static_cast<uint32_t>(hi - lo);
    }
}

int CMemoryImage::CopyFromFile(uint32_t address, int fd, uint64_t fileOffset, uint32_t count, uint32_t& copied)
{
    copied = 0;
    const uint64_t offset = uint64_t{address} - base_;
    if (address < base_ || offset + count > kWindowSize || uint64_t{address} + count > 0x100000000ull)
        return 2;
    if (count == 0)
        return 0;
    // Pending bytes go first, so that the file holds all that was written.
    if (!isOpen_ || Flush() != 0)
        return 3;
    // As WriteThrough: the gap the block opens above what the file holds
    // is filled before, the one below it after the copy (the file may end
    // early and the block be shorter than asked).
    const bool held = FileHolds();
    if (held ? offset > fileEnd_ && !file_.FillFF(fileEnd_, offset) : !file_.Truncate(offset)) {
        (void)file_.Truncate(held ? fileEnd_ : 0);
        return 3;
    }
    size_t done = 0;
    const CImageFile::ECopy r = file_.CopyFrom(fd, fileOffset, count, offset, done);
    const uint64_t end = offset + done;
    const bool failed = r == CImageFile::ECopy::SourceFailed || r == CImageFile::ECopy::TargetFailed;
    if (failed || done == 0 || (held && end < fileFirst_ && !file_.FillFF(end, fileFirst_))) {
        // Cut back to what the file held, so that its length keeps
        // matching the written span.
        (void)file_.Truncate(held ? fileEnd_ : 0);
        if (failed)
            return r == CImageFile::ECopy::SourceFailed ? 4 : 3;
        return done == 0 ? 0 : 3;
    }
    fileFirst_ = held ? std::min(fileFirst_, offset) : offset;
    fileEnd_ = held ? std::max(fileEnd_, end) : end;
    Widen(offset, end);
    copied = static_cast<uint32_t>(done);
    return 0;
}

// Puts a block into the pending run when it continues it, else writes the run
// out and starts a new one (or writes a block larger than the cache directly).
bool CMemoryImage::Store(uint64_t offset, const uint8_t* data, size_t count)
{
    const uint64_t end = offset + count;
    if (pendingLength_ > 0) {
        const uint64_t pendingEnd = pendingStart_ + pendingLength_;
        if (offset >= pendingStart_ && end - pendingStart_ <= cacheSize_) {
            uint8_t* at = cache_.get() + (offset - pendingStart_);
            if (offset <= pendingEnd) {
                std::memcpy(at, data, count);
                pendingLength_ = std::max<size_t>(pendingLength_, static_cast<size_t>(end - pendingStart_));
                return true;
            }
            // The gap above the run reads as 0xFF unless the file holds bytes there.
            if (!FileHolds() || pendingEnd >= fileEnd_ || offset <= fileFirst_) {
                std::memset(cache_.get() + pendingLength_, 0xFF, static_cast<size_t>(offset - pendingEnd));
                std::memcpy(at, data, count);
                pendingLength_ = static_cast<size_t>(end - pendingStart_);
                return true;
            }
        }
        if (Flush() != 0)
            return false;
    }
    if (count > cacheSize_)
        return WriteThrough(offset, data, count);
    if (!cache_)
        cache_ = std::make_unique_for_overwrite<uint8_t[]>(cacheSize_);
    std::memcpy(cache_.get(), data, count);
    pendingStart_ = offset;
    pendingLength_ = count;
    return true;
}

// Writes a block into the file, filling with 0xFF every gap it opens between
// itself and what the file holds. On failure the file is cut back to what it
// held, so that its length keeps matching the written span.
bool CMemoryImage::WriteThrough(uint64_t offset, const uint8_t* data, size_t count)
{
    const uint64_t end = offset + count;
    bool ok;
    if (!FileHolds()) {
        ok = file_.Truncate(offset) && file_.WriteAt(data, count, offset);
    } else {
        ok = (offset <= fileEnd_ || file_.FillFF(fileEnd_, offset)) && file_.WriteAt(data, count, offset)
             && (end >= fileFirst_ || file_.FillFF(end, fileFirst_));
    }
    if (!ok) {
        (void)file_.Truncate(FileHolds() ? fileEnd_ : 0);
        return false;
    }
    if (!FileHolds()) {
        fileFirst_ = offset;
        fileEnd_ = end;
    } else {
        fileFirst_ = std::min(fileFirst_, offset);
        fileEnd_ = std::max(fileEnd_, end);
    }
    return true;
}

int CMemoryImage::Flush()
{
    if (pendingLength_ == 0)
        return 0;
    if (!WriteThrough(pendingStart_, cache_.get(), pendingLength_))
        return 3;
    pendingLength_ = 0;
    return 0;
}

int CMemoryImage::Mark(SExtent& mark)
{
    mark.firstOffset = firstOffset_;
    mark.usedLength = usedLength_;
    return Flush();
}

void CMemoryImage::ShrinkTo(const SExtent& mark)
{
    pendingLength_ = 0;
    if (mark.usedLength == 0) {
        Clear();
        return;
    }
    firstOffset_ = mark.firstOffset;
    usedLength_ = mark.usedLength;
    // The file keeps only what lies inside the mark; a later write that opens
    // a gap to it fills the gap with 0xFF, so nothing written since shows.
    const uint64_t end = uint64_t{mark.firstOffset} + mark.usedLength;
    fileFirst_ = std::max<uint64_t>(fileFirst_, mark.firstOffset);
    fileEnd_ = std::min<uint64_t>(fileEnd_, end);
    if (fileEnd_ <= fileFirst_)
        fileFirst_ = fileEnd_ = 0;
    if (isOpen_)
        (void)file_.Truncate(fileEnd_);
}

void CMemoryImage::ReadBlock(uint32_t address, uint8_t* buffer, uint32_t count)
{
    // Offsets relative to base as signed 64-bit numbers: addresses below the
    // base and reads past 0xFFFFFFFF are plain arithmetic.
    const int64_t rel = int64_t{address} - int64_t{base_};
    const int64_t lo = std::max<int64_t>(rel, firstOffset_);
    const int64_t hi = std::min<int64_t>(rel + count, int64_t{firstOffset_} + usedLength_);
    if (!isOpen_ || usedLength_ == 0 || lo >= hi) {
        std::memset(buffer, 0xFF, count);
        return;
    }
    std::memset(buffer, 0xFF, static_cast<size_t>(lo - rel));
    ReadExtent(static_cast<uint64_t>(lo), static_cast<uint64_t>(hi), buffer + (lo - rel));
    std::memset(buffer + (hi - rel), 0xFF, static_cast<size_t>(rel + count - hi));
}

// Fills out[0, hi - lo) with the image bytes at offsets [lo, hi), which lie
// inside the used extent: one read of what the file holds, 0xFF for gaps, and
// the pending run laid over it.
void CMemoryImage::ReadExtent(uint64_t lo, uint64_t hi, uint8_t* out)
{
    const uint64_t fileLo = std::max(lo, fileFirst_);
    const uint64_t fileHi = std::min(hi, fileEnd_);
    if (FileHolds() && fileLo < fileHi) {
        std::memset(out, 0xFF, static_cast<size_t>(fileLo - lo));
        const ptrdiff_t got = file_.ReadAt(out + (fileLo - lo), static_cast<size_t>(fileHi - fileLo), fileLo);
        const uint64_t valid = fileLo + static_cast<uint64_t>(std::max<ptrdiff_t>(got, 0));
        std::memset(out + (valid - lo), 0xFF, static_cast<size_t>(hi - valid));
    } else {
        std::memset(out, 0xFF, static_cast<size_t>(hi - lo));
    }
    if (pendingLength_ > 0) {
        const uint64_t pl = std::max(lo, pendingStart_);
        const uint64_t ph = std::min(hi, pendingStart_ + pendingLength_);
        if (pl < ph)
            std::memcpy(out + (pl - lo), cache_.get() + (pl - pendingStart_), static_cast<size_t>(ph - pl));
    }
}

int CMemoryImage::WriteByte(uint32_t address, uint8_t value)
{
    return WriteBlock(address, &value, 1);
}

int CMemoryImage::WriteWord(uint32_t address, uint16_t value, bool littleEndian)
{
    uint8_t b[2];
    if (littleEndian) {
        b[0] = static_cast<uint8_t>(value);
        b[1] = static_cast<uint8_t>(value >> 8);
    } else {
        b[0] = static_cast<uint8_t>(value >> 8);
        b[1] = static_cast<uint8_t>(value);
    }
    return WriteBlock(address, b, 2);
}

int CMemoryImage::WriteLong(uint32_t address, uint32_t value, bool littleEndian)
{
    uint8_t b[4];
    for (int i = 0; i < 4; ++i) {
        const int shift = littleEndian ? 8 * i : 8 * (3 - i);
        b[i] = static_cast<uint8_t>(value >> shift);
    }
    return WriteBlock(address, b, 4);
}

uint8_t CMemoryImage::ReadByte(uint32_t address)
{
    uint8_t b;
    ReadBlock(address, &b, 1);
    return b;
}

uint16_t CMemoryImage::ReadWord(uint32_t address, bool littleEndian)
{
    uint8_t b[2];
    ReadBlock(address, b, 2);
    return littleEndian ? static_cast<uint16_t>(b[0] | b[1] << 8) : static_cast<uint16_t>(b[0] << 8 | b[1]);
}

uint32_t CMemoryImage::ReadLong(uint32_t address, bool littleEndian)
{
    uint8_t b[4];
    ReadBlock(address, b, 4);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const int shift = littleEndian ? 8 * i : 8 * (3 - i);
        v |= uint32_t{b[i]} << shift;
    }
    return v;
}

CMemoryRange CMemoryImage::GetUsedRange(uint32_t a) const
{
    const uint32_t lo = base_ + firstOffset_;
    const uint32_t hi = lo + usedLength_;
    CMemoryRange r;
    r.start = lo & ~(a - 1);
    r.size = ((hi + a - 1) & ~(a - 1)) - r.start;
    r.lengthMode = 1;
    return r;
}

void CMemoryImage::SetBase(uint32_t newBase)
{
    base_ = newBase;
    // The content keeps its offsets; it is dropped only when its last byte
    // would lie above 0xFFFFFFFF.
    if (usedLength_ != 0 && uint64_t{newBase} + firstOffset_ + usedLength_ - 1 > 0xFFFFFFFFull)
        Clear();
}

void CMemoryImage::Clear()
{
    firstOffset_ = 0;
    usedLength_ = 0;
    fileFirst_ = fileEnd_ = 0;
    pendingLength_ = 0;
    if (isOpen_)
        (void)file_.Truncate(0);
}

uint8_t* CMemoryImage::Scratch()
{
    if (!scratch_)
        scratch_ = std::make_unique_for_overwrite<uint8_t[]>(kChecksumChunk);
    return scratch_.get();
}

uint32_t CMemoryImage::Checksum(const CMemoryRange& range, int unit, bool littleEndian)
{
    const uint32_t u = (unit == 4 || unit == 2) ? static_cast<uint32_t>(unit) : 1;
    // Only whole groups count; a partial one at the end is ignored.
    const uint64_t counted = range.size - range.size % u;
    // lane[k]: the sum of the counted bytes at positions k, k+4, k+8, ...
    // from the start of the range. Every unit and byte order is a weighted
    // sum of these four.
    uint64_t lane[4] = {};
    auto addFF = [&lane](uint64_t from, uint64_t to) {
        for (unsigned k = 0; k < 4; ++k)
            lane[k] += 0xFFull * CountInLane(from, to, k);
    };

    const int64_t rel0 = int64_t{range.start} - int64_t{base_};
    const int64_t rel1 = rel0 + static_cast<int64_t>(counted);
    const int64_t inLo = std::max<int64_t>(rel0, firstOffset_);
    const int64_t inHi = std::min<int64_t>(rel1, int64_t{firstOffset_} + usedLength_);
    if (!isOpen_ || usedLength_ == 0 || inLo >= inHi) {
        addFF(0, counted);
    } else {
        // Outside the used extent every byte is 0xFF: counted, not read.
        addFF(0, static_cast<uint64_t>(inLo - rel0));
        addFF(static_cast<uint64_t>(inHi - rel0), counted);
        uint8_t* chunk = Scratch();
        for (uint64_t pos = static_cast<uint64_t>(inLo); pos < static_cast<uint64_t>(inHi);) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(kChecksumChunk, static_cast<uint64_t>(inHi) - pos));
            ReadExtent(pos, pos + n, chunk);
            uint64_t sums[8] = {};
            AddLaneSums(chunk, n, sums);
            const uint64_t phase = pos - static_cast<uint64_t>(rel0);
            for (unsigned j = 0; j < 8; ++j)
                lane[(phase + j) % 4] += sums[j];
            pos += n;
        }
    }

    uint64_t sum;
    if (u == 4) {
        sum = littleEndian ? lane[0] + (lane[1] << 8) + (lane[2] << 16) + (lane[3] << 24)
                           : (lane[0] << 24) + (lane[1] << 16) + (lane[2] << 8) + lane[3];
    } else if (u == 2) {
        const uint64_t even = lane[0] + lane[2];
        const uint64_t odd = lane[1] + lane[3];
        sum = littleEndian ? even + (odd << 8) : (even << 8) + odd;
    } else {
        sum = lane[0] + lane[1] + lane[2] + lane[3];
    }
    return static_cast<uint32_t>(sum);
}
