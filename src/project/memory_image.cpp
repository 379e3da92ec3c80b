#include "project/memory_image.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

bool WriteAll(int fd, const uint8_t* data, size_t n, uint64_t offset)
{
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, data, n, static_cast<off_t>(offset));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        data += w;
        n -= static_cast<size_t>(w);
        offset += static_cast<uint64_t>(w);
    }
    return true;
}

} // namespace

CMemoryImage::~CMemoryImage()
{
    if (isOpen_) {
        ::close(fd_);
        ::unlink(fullPath_.c_str());
    }
}

int CMemoryImage::Open(uint32_t base)
{
    std::error_code ec;
    const auto path = std::filesystem::absolute(kFileName, ec);
    if (ec)
        return 1;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return 1;
    if (isOpen_) {
        ::close(fd_);
    }
    fd_ = fd;
    fullPath_ = path.string();
    isOpen_ = true;
    base_ = base;
    firstOffset_ = 0;
    usedLength_ = 0;
    return 0;
}

bool CMemoryImage::PadWithFF(uint64_t from, uint64_t to)
{
    uint8_t ff[4096];
    std::memset(ff, 0xFF, sizeof ff);
    while (from < to) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(sizeof ff, to - from));
        if (!WriteAll(fd_, ff, n, from))
            return false;
        from += n;
    }
    return true;
}

int CMemoryImage::WriteBlock(uint32_t address, const uint8_t* data, uint32_t count)
{
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
    if (!isOpen_)
        return 3;

    const uint64_t end = uint64_t{firstOffset_} + usedLength_;
    if (usedLength_ == 0) {
        firstOffset_ = offset;
        if (::ftruncate(fd_, offset) != 0)
            return 3;
    } else if (offset > end) {
        if (!PadWithFF(end, offset))
            return 3;
    }
    if (!WriteAll(fd_, data, count, offset))
        return 3;
    const uint64_t blockEnd = uint64_t{offset} + count;
    if (usedLength_ != 0 && blockEnd < firstOffset_) {
        if (!PadWithFF(blockEnd, firstOffset_))
            return 3;
    }
    if (usedLength_ == 0) {
        usedLength_ = count;
        return result;
    }
    if (offset < firstOffset_) {
        usedLength_ += firstOffset_ - offset;
        firstOffset_ = offset;
    }
    if (blockEnd > uint64_t{firstOffset_} + usedLength_)
        usedLength_ = static_cast<uint32_t>(blockEnd - firstOffset_);
    return result;
}

void CMemoryImage::ReadBlock(uint32_t address, uint8_t* buffer, uint32_t count)
{
    std::memset(buffer, 0xFF, count);
    if (!isOpen_ || usedLength_ == 0 || count == 0)
        return;
    // Work in offsets relative to base, as 64-bit numbers, so that addresses
    // below the base and reads that run past 0xFFFFFFFF are plain arithmetic.
    const int64_t rel = int64_t{address} - int64_t{base_};
    const int64_t lo = std::max<int64_t>(rel, firstOffset_);
    const int64_t hi = std::min<int64_t>(rel + count, int64_t{firstOffset_} + usedLength_);
    if (lo >= hi)
        return;
    uint8_t* out = buffer + (lo - rel);
    size_t n = static_cast<size_t>(hi - lo);
    off_t pos = static_cast<off_t>(lo);
    while (n > 0) {
        const ssize_t r = ::pread(fd_, out, n, pos);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return;
        out += r;
        n -= static_cast<size_t>(r);
        pos += r;
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
    if (uint64_t{newBase} + firstOffset_ + usedLength_ > 0xFFFFFFFFull)
        Clear();
}

void CMemoryImage::Clear()
{
    firstOffset_ = 0;
    usedLength_ = 0;
    if (isOpen_)
        (void)::ftruncate(fd_, 0);
}

uint32_t CMemoryImage::Checksum(const CMemoryRange& range, int unit, bool littleEndian)
{
    uint32_t sum = 0;
    uint32_t a = range.start;
    uint32_t remaining = range.size;
    const uint32_t u = (unit == 4 || unit == 2) ? static_cast<uint32_t>(unit) : 1;
    uint8_t chunk[4096];
    while (remaining >= u) {
        const uint32_t n = std::min<uint32_t>(remaining, sizeof chunk);
        ReadBlock(a, chunk, n);
        const uint32_t groups = n / u;
        for (uint32_t g = 0; g < groups; ++g) {
            const uint8_t* p = chunk + g * u;
            if (u == 4)
                sum += littleEndian ? (p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24)
                                    : (uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]);
            else if (u == 2)
                sum += littleEndian ? (p[0] | p[1] << 8) : (p[0] << 8 | p[1]);
            else
                sum += p[0];
        }
        remaining -= n;
        a += n;
    }
    return sum;
}
