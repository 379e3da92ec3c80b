#include "project/project_file_stamp.h"

#include "project/project_file.h"
#include "project/qpg_doc.h"

#include <cerrno>
#include <sys/stat.h>
#include <vector>

namespace {

// FNV-1a, 64 bits: enough to tell two versions of one small file apart.
uint64_t HashOf(std::span<const uint8_t> bytes)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    return h;
}

int64_t Nanoseconds(const struct timespec& t)
{
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

} // namespace

CProjectFileStamp CProjectFileStamp::OfBytes(const std::string& path, std::span<const uint8_t> bytes)
{
    CProjectFileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return stamp;
    stamp.exists_ = true;
    stamp.device_ = st.st_dev;
    stamp.inode_ = st.st_ino;
    stamp.size_ = bytes.size();
    stamp.mtimeNs_ = Nanoseconds(st.st_mtim);
    stamp.ctimeNs_ = Nanoseconds(st.st_ctim);
    stamp.hash_ = HashOf(bytes);
    return stamp;
}

CProjectFileStamp CProjectFileStamp::OfFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    std::string error;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return CProjectFileStamp{};
    if (!CProjectFile::ReadWholeFile(path, CQpgDoc::kMaxFileSize, bytes, error)) {
        // There, but not readable as a project file: a stamp that matches no
        // readable content.
        CProjectFileStamp stamp = OfBytes(path, {});
        stamp.size_ = UINT64_MAX;
        return stamp;
    }
    return OfBytes(path, bytes);
}

bool CProjectFileStamp::MetadataDiffers(const std::string& path) const
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return exists_;
    return !exists_ || st.st_dev != device_ || st.st_ino != inode_ || static_cast<uint64_t>(st.st_size) != size_ ||
           Nanoseconds(st.st_mtim) != mtimeNs_ || Nanoseconds(st.st_ctim) != ctimeNs_;
}

bool CProjectFileStamp::ChangedOnDisk(const std::string& path, std::string* why) const
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false; // removed (or never there): a save loses nothing
    if (!exists_) {
        if (why)
            *why = "it was created by another program";
        return true;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!CProjectFile::ReadWholeFile(path, CQpgDoc::kMaxFileSize, bytes, error)) {
        if (why)
            *why = "it can no longer be read (" + error + ")";
        return true;
    }
    if (bytes.size() != size_ || HashOf(bytes) != hash_) {
        if (why)
            *why = "another program changed it";
        return true;
    }
    return false;
}
