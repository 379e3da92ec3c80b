#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Which version of a file is on disk: its identity (device, inode), size and
// time of last change. A program that keeps a project open takes the stamp
// when it reads or writes the file and compares it before it writes again,
// so that a change made meanwhile by another program (tarvel-cli, an editor,
// a copy) is noticed before it is overwritten.
class CFileStamp {
public:
    // The stamp of `path` now; nothing when the file cannot be examined
    // (it is gone, or a folder on its way cannot be read).
    static std::optional<CFileStamp> Of(const std::string& path);

    bool operator==(const CFileStamp&) const = default;

private:
    uint64_t device_ = 0;
    uint64_t inode_ = 0;
    uint64_t size_ = 0;
    int64_t changedSeconds_ = 0;
    int64_t changedNanoseconds_ = 0;
};
