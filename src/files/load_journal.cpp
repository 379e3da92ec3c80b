#include "files/load_journal.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

CLoadJournal::CLoadJournal(CMemoryImage& image) : image_(image)
{
    marked_ = image_.Mark(mark_) == 0;
    base_ = image_.GetBase();
    markFirst_ = mark_.firstOffset;
    markLength_ = mark_.usedLength;
    markEnd_ = int64_t{markFirst_} + markLength_;
    if (markLength_ > 0) {
        const uint64_t chunks = (markEnd_ - 1) / kChunk - markFirst_ / kChunk + 1;
        savedChunks_.assign(static_cast<size_t>((chunks + 63) / 64), 0);
    }
}

CLoadJournal::~CLoadJournal()
{
    if (fd_ >= 0)
        ::close(fd_);
}

// An unnamed file in the directory of the image's backing file: it needs no
// name, and it vanishes with the descriptor whatever happens to the program.
bool CLoadJournal::OpenFile()
{
    const std::string& path = image_.GetPath();
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
#ifdef O_TMPFILE
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (fd_ < 0) {
        std::string name = dir + "/.load-journal-XXXXXX";
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0)
            ::unlink(name.c_str());
    }
    return fd_ >= 0;
}

bool CLoadJournal::Save(uint32_t address, uint32_t count)
{
    const int64_t rel = int64_t{address} - base_;
    const int64_t lo = std::max<int64_t>(rel, markFirst_);
    const int64_t hi = std::min<int64_t>(rel + count, markEnd_);
    const uint64_t firstChunk = markFirst_ / kChunk;
    for (uint64_t chunk = static_cast<uint64_t>(lo) / kChunk; chunk * kChunk < static_cast<uint64_t>(hi); ++chunk) {
        const uint64_t bit = chunk - firstChunk;
        uint64_t& word = savedChunks_[bit / 64];
        if (word & (uint64_t{1} << (bit % 64)))
            continue;
        if (fd_ < 0 && !OpenFile())
            return false;
        const uint64_t from = std::max<uint64_t>(chunk * kChunk, markFirst_);
        const uint64_t to = std::min<uint64_t>((chunk + 1) * kChunk, static_cast<uint64_t>(markEnd_));
        const auto n = static_cast<uint32_t>(to - from);
        buffer_.resize(kChunk);
        image_.ReadBlock(static_cast<uint32_t>(base_ + static_cast<int64_t>(from)), buffer_.data(), n);
        size_t done = 0;
        while (done < n) {
            const ssize_t w = ::pwrite(fd_, buffer_.data() + done, n - done, static_cast<off_t>(fileLength_ + done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            done += static_cast<size_t>(w);
        }
        saved_.push_back({static_cast<uint32_t>(from), n, fileLength_});
        fileLength_ += n;
        word |= uint64_t{1} << (bit % 64);
    }
    return true;
}

bool CLoadJournal::Rollback()
{
    if (!marked_)
        return true; // nothing was written: the load stopped before its first byte
    image_.ShrinkTo(mark_);
    bool ok = true;
    buffer_.resize(kChunk);
    for (const SSaved& s : saved_) {
        size_t done = 0;
        while (done < s.length) {
            const ssize_t r = ::pread(fd_, buffer_.data() + done, s.length - done, static_cast<off_t>(s.at + done));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            done += static_cast<size_t>(r);
        }
        if (done != s.length
            || image_.WriteBlock(static_cast<uint32_t>(base_ + s.offset), buffer_.data(), s.length) != 0)
            ok = false;
    }
    saved_.clear();
    std::fill(savedChunks_.begin(), savedChunks_.end(), 0);
    fileLength_ = 0;
    return ok;
}
