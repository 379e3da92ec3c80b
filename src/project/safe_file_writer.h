#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

// Writes a whole file so that the name holds either the old content or the new
// one, never a mix: the bytes go into a new file beside the target, are synced
// to disk, and that file is renamed over the target. On any failure the new
// file is removed and the target is left as it was.
//
// The file takes the permissions of the file it replaces (a new one: 0666
// less the umask); a target that is a symbolic link is written through it.
class CSafeFileWriter {
public:
    // The system calls that can fail while the bytes go out, behind an
    // interface so that tests can make a write fail midway.
    class COps {
    public:
        virtual ~COps() = default;
        virtual ssize_t Write(int fd, const void* data, size_t n);
        virtual int Fsync(int fd);
        virtual int Rename(const char* from, const char* to);
    };
    static COps& SystemOps();

    explicit CSafeFileWriter(COps& ops = SystemOps()) : ops_(ops) {}

    // True when `path` now holds `bytes`; false with `error` saying why.
    bool Write(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

private:
    COps& ops_;
};
