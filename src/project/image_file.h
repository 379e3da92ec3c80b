#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The memory image's backing file in a directory given by its owner (the
// current one when none is given), held under an exclusive advisory lock
// (flock) for as long as it is open.
//
// Two programs started in the same directory must not share one image file:
// the second would empty the first one's image and both would write into it.
// So Create() first tries "memimage.qpg"; when another image holds that file
// locked, it takes the first free of "memimage.1.qpg" .. "memimage.99.qpg",
// also locked. The lock is taken before the file is emptied, so a file in use
// is never touched. Remove() deletes only the file this object created (by its
// full path, and only while that path still names the file it holds open).
// A left-over file of a crashed program is not locked and is simply reused.
// On a file system without flock support the file is used unlocked.
class CImageFile {
public:
    static constexpr const char* kFileName = "memimage.qpg";
    static constexpr int kMaxAlternatives = 99;

    CImageFile() = default;
    ~CImageFile() { Remove(); }
    CImageFile(const CImageFile&) = delete;
    CImageFile& operator=(const CImageFile&) = delete;

    // Creates (or empties) and locks the backing file in `directory` (the
    // current directory when empty); false when no file could be created.
    bool Create(const std::string& directory = {});
    // Closes and deletes the file, when one is open.
    void Remove();
    // Deletes the file's name now and keeps using the open file: nothing of
    // it can outlive the program, however it ends. Another image may then
    // make a new file of that name; this one is not touched by it.
    bool Unlink();

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return fullPath_; }

    // Reads up to `count` bytes at `offset`; the number read (short at the
    // file's end), or -1 on an error.
    ptrdiff_t ReadAt(uint8_t* buffer, size_t count, uint64_t offset);
    // All or nothing from the caller's view: false when any byte failed.
    bool WriteAt(const uint8_t* data, size_t count, uint64_t offset);
    // Writes 0xFF bytes over [from, to), in large pieces.
    bool FillFF(uint64_t from, uint64_t to);

    enum class ECopy {
        Done,         // all `count` bytes copied
        SourceEnded,  // the source ended first: `copied` bytes came
        SourceFailed, // the source could not be read
        TargetFailed, // this file could not be written
    };
    // Copies `count` bytes of the open file `source` from `sourceOffset` to
    // `offset` in this file. The kernel copies them from file to file where
    // it can (no byte passes through this process); otherwise, and for the
    // image's own file, they go through a small buffer. `copied` says how
    // many bytes were written, whatever the answer.
    ECopy CopyFrom(int source, uint64_t sourceOffset, size_t count, uint64_t offset, size_t& copied);
    bool Truncate(uint64_t length);

private:
    enum class EAttempt { Opened, Busy, Raced, Failed };
    EAttempt TryName(const std::string& name);
    bool StillNamesOurFile() const;

    int fd_ = -1;
    std::string fullPath_;
};
