#include "project/image_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace {

// One shared block of 0xFF bytes; FillFF hands it to the kernel many times
// over in one vectored write instead of holding a large buffer.
constexpr size_t kFFBlock = 64 * 1024;
constexpr int kFFVectors = 64; // 4 MiB per call

const uint8_t* FFBlock()
{
    static const std::vector<uint8_t> block(kFFBlock, 0xFF);
    return block.data();
}

} // namespace

bool CImageFile::Create(const std::string& directory)
{
    Remove();
    // Without a lock held by someone else, the plain name; otherwise the
    // first numbered name that is free.
    for (int n = 0; n <= kMaxAlternatives; ++n) {
        const std::string name = n == 0 ? std::string(kFileName) : "memimage." + std::to_string(n) + ".qpg";
        // A few rounds in case the file is deleted under us by its owner
        // between our open and our lock.
        for (int round = 0; round < 3; ++round) {
            const EAttempt a = TryName(directory.empty() ? name : (std::filesystem::path(directory) / name).string());
            if (a == EAttempt::Opened)
                return true;
            if (a == EAttempt::Failed && n == 0)
                return false; // the plain name cannot be made: no image at all
            if (a != EAttempt::Raced)
                break;
            // Raced with the owner's deletion: try the same name again.
        }
    }
    return false;
}

CImageFile::EAttempt CImageFile::TryName(const std::string& name)
{
    std::error_code ec;
    const auto path = std::filesystem::absolute(name, ec);
    if (ec)
        return EAttempt::Failed;
    // No O_TRUNC here: the file may be another image's, which must stay
    // intact until we hold the lock.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return EAttempt::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK || err == EINTR) {
            ::close(fd);
            return EAttempt::Busy;
        }
        // No locking on this file system: go on without it.
    }
    fd_ = fd;
    fullPath_ = path.string();
    if (!StillNamesOurFile()) {
        // The owner deleted the file between our open and our lock.
        ::close(fd_);
        fd_ = -1;
        fullPath_.clear();
        return EAttempt::Raced;
    }
    if (::ftruncate(fd_, 0) != 0) {
        Remove();
        return EAttempt::Failed;
    }
    return EAttempt::Opened;
}

bool CImageFile::StillNamesOurFile() const
{
    struct stat mine, named;
    if (::fstat(fd_, &mine) != 0 || ::stat(fullPath_.c_str(), &named) != 0)
        return false;
    return mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
}

void CImageFile::Remove()
{
    if (fd_ < 0)
        return;
    // Delete while still holding the lock, so that nobody takes the name
    // over in between; a waiter that locks the unlinked file notices it.
    if (StillNamesOurFile())
        ::unlink(fullPath_.c_str());
    ::close(fd_);
    fd_ = -1;
    fullPath_.clear();
}

bool CImageFile::Unlink()
{
    if (fd_ < 0 || !StillNamesOurFile())
        return false;
    return ::unlink(fullPath_.c_str()) == 0;
}

ptrdiff_t CImageFile::ReadAt(uint8_t* buffer, size_t count, uint64_t offset)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t r = ::pread(fd_, buffer + done, count - done, static_cast<off_t>(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        done += static_cast<size_t>(r);
    }
    return static_cast<ptrdiff_t>(done);
}

bool CImageFile::WriteAt(const uint8_t* data, size_t count, uint64_t offset)
{
    while (count > 0) {
        const ssize_t w = ::pwrite(fd_, data, count, static_cast<off_t>(offset));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        data += w;
        count -= static_cast<size_t>(w);
        offset += static_cast<uint64_t>(w);
    }
    return true;
}

bool CImageFile::FillFF(uint64_t from, uint64_t to)
{
    const uint8_t* ff = FFBlock();
    iovec vec[kFFVectors];
    while (from < to) {
        const uint64_t want = std::min<uint64_t>(to - from, uint64_t{kFFBlock} * kFFVectors);
        int n = 0;
        for (uint64_t left = want; left > 0; ++n) {
            const size_t len = static_cast<size_t>(std::min<uint64_t>(left, kFFBlock));
            vec[n].iov_base = const_cast<uint8_t*>(ff);
            vec[n].iov_len = len;
            left -= len;
        }
        const ssize_t w = ::pwritev(fd_, vec, n, static_cast<off_t>(from));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        from += static_cast<uint64_t>(w);
    }
    return true;
}

CImageFile::ECopy CImageFile::CopyFrom(int source, uint64_t sourceOffset, size_t count, uint64_t offset,
                                        size_t& copied)
{
    copied = 0;
    // copy_file_range refuses overlapping ranges of one file, and a load of
    // the image's own file must read it as it was: that goes the plain way.
    struct stat from {}, to {};
    bool inKernel = ::fstat(source, &from) == 0 && ::fstat(fd_, &to) == 0
                    && !(from.st_dev == to.st_dev && from.st_ino == to.st_ino);
    while (inKernel && copied < count) {
        loff_t in = static_cast<loff_t>(sourceOffset + copied);
        loff_t out = static_cast<loff_t>(offset + copied);
        const ssize_t n = ::copy_file_range(source, &in, fd_, &out, count - copied, 0);
        if (n > 0)
            copied += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            // Not supported between these files, an error, or no byte (some
            // file systems answer 0 before the end): the plain reads and
            // writes below tell which side failed and where the file ends.
            inKernel = false;
    }
    if (copied == count)
        return ECopy::Done;
    constexpr size_t kBuffer = 256 * 1024;
    const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kBuffer);
    while (copied < count) {
        const size_t want = std::min(kBuffer, count - copied);
        const ssize_t n = ::pread(source, buffer.get(), want, static_cast<off_t>(sourceOffset + copied));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ECopy::SourceFailed;
        if (n == 0)
            return ECopy::SourceEnded;
        if (!WriteAt(buffer.get(), static_cast<size_t>(n), offset + copied))
            return ECopy::TargetFailed;
        copied += static_cast<size_t>(n);
    }
    return ECopy::Done;
}

bool CImageFile::Truncate(uint64_t length)
{
    while (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}
