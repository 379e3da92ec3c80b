#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

// Writes a whole file so that a failure never leaves half of it behind where
// that can be helped. Where the bytes go depends on the target:
//
// - Replace (the usual case): the bytes go into a new file beside the target,
//   are synced to disk, and that file is renamed over the target (and the
//   directory synced), so the name holds either the old content or the new
//   one. On any failure the new file is removed and the target is left as it
//   was. The file takes the permissions of the file it replaces (a new one:
//   0666 less the umask).
// - In place: a regular file that has other hard links (a rename would cut
//   them off), or whose directory cannot take a new file, is truncated,
//   written and synced itself.
// - Special: a target that exists and is not a regular file (a device, a
//   FIFO, a terminal) is opened and written as it is; there is nothing to
//   sync or rename.
// - Stream: a descriptor the caller hands in (standard output) is written
//   and left open.
//
// A target that is a symbolic link is written through it, also when the file
// it names does not exist yet.
//
// The new file of a Replace is named ".NAME.tmp-PID-N" beside the target.
// RemovePendingTempFile (async-signal-safe) removes the one under way, for a
// program's signal handler; files of this name left by a process that is
// gone (killed outright) are removed by the next Begin on the same target.
//
// Durable (the default): the file is synced before the rename and the
// directory after it, so the new content survives a power failure. Not
// durable (exports that can be written again, where a sync would cost more
// than the writing): the system is asked to start writing the file out while
// it is written, but nothing waits for the disk; the rename still never
// leaves a half file behind a failed write.
class CSafeFileWriter {
public:
    // The system calls that can fail while the bytes go out, behind an
    // interface so that tests can make a write fail midway.
    class COps {
    public:
        virtual ~COps() = default;
        // Creates a new file that must not exist yet (the file beside the target).
        virtual int CreateNew(const char* path);
        virtual ssize_t Write(int fd, const void* data, size_t n);
        virtual int Fsync(int fd);
        // Asks the system to start writing [from, from + length) of the file
        // to disk, and with `wait` to wait until it is written. A hint only.
        virtual void WriteBack(int fd, uint64_t from, uint64_t length, bool wait);
        virtual int Rename(const char* from, const char* to);
    };
    static COps& SystemOps();

    // Removes the new file of the Replace under way, if any. Only plain
    // system calls: a signal handler may call it before the program ends.
    static void RemovePendingTempFile();

    enum class EMode { None, Replace, InPlace, Special, Stream };

    explicit CSafeFileWriter(COps& ops = SystemOps()) : ops_(ops) {}
    // An unfinished Replace removes its new file.
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // Opens the way to `path`; false with `error` saying why.
    bool Begin(const std::string& path, std::string& error);
    // Writes to `fd`, which stays open; `name` is what messages call it.
    void BeginStream(int fd, const std::string& name);
    // Appends bytes; false with `error` (the write is then abandoned).
    bool Append(const void* data, size_t n, std::string& error);
    // Finishes the file: syncs and puts it in place. False with `error`.
    bool Commit(std::string& error);
    // Gives up: a new file beside the target is removed.
    void Abandon();

    EMode Mode() const { return mode_; }
    void SetDurable(bool durable) { durable_ = durable; }

    // Begin, Append and Commit in one: true when `path` now holds `bytes`.
    bool Write(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

    static constexpr uint64_t kWriteBackStep = 8u << 20;

    // The file a write to `path` reaches: `path` with its symbolic links
    // followed, also to a name that does not exist yet. False with `error`
    // on a loop of links.
    static bool FollowLinks(const std::string& path, std::string& target, std::string& error);

private:
    bool Fail(std::string& error, const std::string& what, int err);

    COps& ops_;
    EMode mode_ = EMode::None;
    int fd_ = -1;
    std::string path_;   // as given, for messages
    std::string target_; // the file that is written or replaced
    std::string temp_;   // the new file beside it (Replace)
    std::string dir_;
    bool durable_ = true;
    uint64_t written_ = 0;
    uint64_t startedTo_ = 0;
    uint64_t waitedTo_ = 0;
    void StartWriteBack();
};
