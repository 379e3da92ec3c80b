#pragma once

#include <cstdint>
#include <span>
#include <string>

// What a project file held when this program last read or wrote it, so that
// a save can tell whether another program changed the file since: two
// programs on one project must not silently drop each other's changes.
//
// The stamp keeps the file's identity and times (device, inode, size,
// modification and change time in nanoseconds) and a hash of its bytes. The
// bytes decide: a file touched but not changed counts as unchanged, and a
// change that keeps size and times (a second write within one clock tick of
// the file system) is still seen, because the file is read again (project
// files are a few KiB).
class CProjectFileStamp {
public:
    // No file: a new project that has not been saved, or a path that did not
    // exist when it was looked at.
    CProjectFileStamp() = default;

    // The file at `path` holds `bytes` (it was just read or written).
    static CProjectFileStamp OfBytes(const std::string& path, std::span<const uint8_t> bytes);
    // The file at `path` as it is now; a missing file gives a stamp of no file.
    static CProjectFileStamp OfFile(const std::string& path);

    // Whether the file at `path` is not what this stamp recorded, in a way a
    // save over it would lose: it was made where there was none, or its
    // bytes differ (or can no longer be read). A file removed since is no
    // change: saving it again loses nothing. `why` (optional) says which.
    bool ChangedOnDisk(const std::string& path, std::string* why = nullptr) const;

    // A cheap first look for a program that watches the file: true when the
    // identity, size or times differ (ChangedOnDisk then decides).
    bool MetadataDiffers(const std::string& path) const;

    bool Exists() const { return exists_; }

private:
    bool exists_ = false;
    uint64_t device_ = 0;
    uint64_t inode_ = 0;
    uint64_t size_ = 0;
    int64_t mtimeNs_ = 0;
    int64_t ctimeNs_ = 0;
    uint64_t hash_ = 0;
};
