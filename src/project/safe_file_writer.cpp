#include "project/safe_file_writer.h"

#include "common/cleanup_signals.h"
#include "common/text_format.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The new file of the Replace under way, for RemovePendingTempFile, which a
// signal handler calls: the flag is cleared while the path changes.
char gPendingTemp[PATH_MAX];
volatile std::sig_atomic_t gPendingSet = 0;

void SetPending(const std::string& path)
{
    gPendingSet = 0;
    std::snprintf(gPendingTemp, sizeof gPendingTemp, "%s", path.c_str());
    gPendingSet = path.empty() || path.size() >= sizeof gPendingTemp ? 0 : 1;
}

// Seconds since the epoch at which process `pid` started, from /proc; 0
// when unknown. `zombie` tells a process that has ended but is not yet
// reaped (it never writes again).
time_t ProcessStart(long pid, bool& zombie)
{
    zombie = false;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    FILE* f = std::fopen(path, "re");
    if (!f)
        return 0;
    char line[1024];
    const size_t n = std::fread(line, 1, sizeof line - 1, f);
    std::fclose(f);
    line[n] = '\0';
    // "pid (comm) state ppid ...": the name may hold anything, so the fields
    // are counted from its last parenthesis.
    const char* p = std::strrchr(line, ')');
    if (!p)
        return 0;
    char state = 0;
    unsigned long long startTicks = 0;
    // state is field 3, starttime field 22.
    if (std::sscanf(p + 1, " %c %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %llu", &state,
                    &startTicks) != 2)
        return 0;
    zombie = state == 'Z' || state == 'X';
    static const time_t bootTime = [] {
        time_t boot = 0;
        if (FILE* stat = std::fopen("/proc/stat", "re")) {
            char text[256];
            while (std::fgets(text, sizeof text, stat)) {
                long long value = 0;
                if (std::sscanf(text, "btime %lld", &value) == 1) {
                    boot = static_cast<time_t>(value);
                    break;
                }
            }
            std::fclose(stat);
        }
        return boot;
    }();
    const long ticks = ::sysconf(_SC_CLK_TCK);
    if (bootTime == 0 || ticks <= 0)
        return 0;
    return bootTime + static_cast<time_t>(startTicks / static_cast<unsigned long long>(ticks));
}

// Whether the writer of a new file last written at `written` (seconds),
// named for process `pid`, is gone: no such process, one that has ended and
// waits to be reaped, or one that started after the file was last written
// (the number was given again to a new process, this one included).
bool WriterGone(long pid, time_t written)
{
    if (pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return true;
    bool zombie = false;
    const time_t start = ProcessStart(pid, zombie);
    if (zombie)
        return true;
    // Start times are whole seconds after the boot time: a margin of two
    // keeps a file of the running writer.
    return start != 0 && start > written + 2;
}

// Removes the new files ".NAME.tmp-PID-N" that writers to `name` in `dir`
// left when their process was killed: only regular files of this user, only
// of writers that are gone (WriterGone).
void RemoveStaleTemps(const std::string& dir, const std::string& name)
{
    const std::string prefix = "." + name + ".tmp-";
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return;
    const int dirFd = ::dirfd(d);
    while (const dirent* entry = ::readdir(d)) {
        const std::string_view entryName = entry->d_name;
        if (entryName.substr(0, prefix.size()) != prefix)
            continue;
        std::string_view rest = entryName.substr(prefix.size());
        const size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos || dash > 9 || dash + 1 == rest.size())
            continue;
        long pid = 0;
        bool digits = true;
        for (size_t i = 0; i < rest.size(); ++i) {
            const char c = rest[i];
            if (i == dash)
                continue;
            if (c < '0' || c > '9')
                digits = false;
            else if (i < dash)
                pid = pid * 10 + (c - '0');
        }
        if (!digits || pid <= 0)
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::getuid())
            continue;
        if (!WriterGone(pid, st.st_mtim.tv_sec))
            continue;
        ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(d);
}

} // namespace

void CSafeFileWriter::RemovePendingTempFile()
{
    if (gPendingSet)
        ::unlink(gPendingTemp);
}

int CSafeFileWriter::COps::CreateNew(const char* path)
{
    return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

ssize_t CSafeFileWriter::COps::Write(int fd, const void* data, size_t n)
{
    return ::write(fd, data, n);
}

int CSafeFileWriter::COps::Fsync(int fd)
{
    return ::fsync(fd);
}

void CSafeFileWriter::COps::WriteBack(int fd, uint64_t from, uint64_t length, bool wait)
{
#ifdef SYNC_FILE_RANGE_WRITE
    const unsigned flags =
        wait ? SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER : SYNC_FILE_RANGE_WRITE;
    (void)::sync_file_range(fd, static_cast<off_t>(from), static_cast<off_t>(length), flags);
#else
    (void)fd, (void)from, (void)length, (void)wait;
#endif
}

int CSafeFileWriter::COps::Rename(const char* from, const char* to)
{
    return ::rename(from, to);
}

CSafeFileWriter::COps& CSafeFileWriter::SystemOps()
{
    static COps ops;
    return ops;
}

bool CSafeFileWriter::FollowLinks(const std::string& path, std::string& target, std::string& error)
{
    namespace fs = std::filesystem;
    fs::path at = path;
    std::error_code ec;
    for (int hop = 0; fs::is_symlink(fs::symlink_status(at, ec)); ++hop) {
        if (hop == 40) {
            error = Format("%s: too many levels of symbolic links", path.c_str());
            return false;
        }
        const fs::path link = fs::read_symlink(at, ec);
        if (ec)
            break;
        at = link.is_absolute() ? link : at.parent_path() / link;
    }
    target = at.string();
    return true;
}

CSafeFileWriter::~CSafeFileWriter()
{
    Abandon();
}

void CSafeFileWriter::Abandon()
{
    if (fd_ >= 0 && mode_ != EMode::Stream)
        ::close(fd_);
    fd_ = -1;
    if (mode_ == EMode::Replace && !temp_.empty()) {
        ::unlink(temp_.c_str());
        SetPending("");
    }
    temp_.clear();
    mode_ = EMode::None;
}

bool CSafeFileWriter::Fail(std::string& error, const std::string& what, int err)
{
    error = Format("%s %s: %s", what.c_str(), path_.c_str(), std::strerror(err));
    Abandon();
    return false;
}

bool CSafeFileWriter::Begin(const std::string& path, std::string& error)
{
    namespace fs = std::filesystem;
    Abandon();
    path_ = path;
    if (path.empty()) {
        error = "no file name";
        return false;
    }
    // Write through a symbolic link to the file it names, also when that file
    // does not exist yet (the link then makes it, and stays a link).
    if (!FollowLinks(path, target_, error))
        return false;
    const fs::path target = target_;
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        error = Format("%s is a directory", path.c_str());
        return false;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        // A device, FIFO or terminal: written as it is.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd_ < 0)
            return Fail(error, "cannot open", errno);
        mode_ = EMode::Special;
        return true;
    }
    const auto inPlace = [&] {
        fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd_ < 0)
            return Fail(error, "cannot open", errno);
        mode_ = EMode::InPlace;
        written_ = startedTo_ = waitedTo_ = 0;
        return true;
    };
    if (exists && old.st_nlink > 1)
        return inPlace(); // a rename would cut the other names off

    // A new name beside the target, so that the rename stays on one file system.
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    dir_ = dir.string();
    RemoveStaleTemps(dir_, target.filename().string());
    const std::string stem = Format(".%s.tmp-%ld-", target.filename().c_str(), static_cast<long>(::getpid()));
    // A signal that comes while the new file is made is taken only once its
    // name is recorded for the cleanup (a signal during the open() would
    // otherwise be taken right after it, the file not yet known).
    std::optional<CCleanupSignalsHeld> held(std::in_place);
    for (unsigned attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = (dir / Format("%s%u", stem.c_str(), attempt)).string();
        fd_ = ops_.CreateNew(temp_.c_str());
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ >= 0)
        SetPending(temp_);
    held.reset();
    if (fd_ < 0) {
        const int err = errno;
        temp_.clear();
        if (exists && (err == EACCES || err == EPERM || err == EROFS))
            return inPlace(); // the directory takes no new file, the file itself may still be written
        error = Format("cannot create a file in %s: %s", dir.c_str(), std::strerror(err));
        return false;
    }
    mode_ = EMode::Replace;
    written_ = startedTo_ = waitedTo_ = 0;
    if (exists && ::fchmod(fd_, old.st_mode & 07777) != 0)
        return Fail(error, "cannot set the permissions of", errno);
    return true;
}

void CSafeFileWriter::BeginStream(int fd, const std::string& name)
{
    Abandon();
    fd_ = fd;
    path_ = name;
    mode_ = EMode::Stream;
}

bool CSafeFileWriter::Append(const void* data, size_t n, std::string& error)
{
    if (fd_ < 0) {
        error = "no file is open";
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ops_.Write(fd_, p + done, n - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return Fail(error, "cannot write", w == 0 ? EIO : errno);
        done += static_cast<size_t>(w);
    }
    written_ += n;
    StartWriteBack();
    return true;
}

// A large file that is synced at the end reaches the disk while it is still
// being written: every kWriteBackStep bytes the kernel is asked to start
// writing the new step out, and the step before it is waited for, so the
// disk works alongside the formatting and the final sync waits only for the
// last steps instead of for the whole file.
void CSafeFileWriter::StartWriteBack()
{
    if ((mode_ == EMode::Replace || mode_ == EMode::InPlace) && written_ - startedTo_ >= kWriteBackStep) {
        ops_.WriteBack(fd_, startedTo_, written_ - startedTo_, false);
        if (durable_ && startedTo_ > waitedTo_) {
            ops_.WriteBack(fd_, waitedTo_, startedTo_ - waitedTo_, true);
            waitedTo_ = startedTo_;
        }
        startedTo_ = written_;
    }
}

bool CSafeFileWriter::Commit(std::string& error)
{
    if (fd_ < 0) {
        error = "no file is open";
        return false;
    }
    const EMode mode = mode_;
    if (mode == EMode::Stream) {
        fd_ = -1;
        mode_ = EMode::None;
        return true;
    }
    if (durable_ && (mode == EMode::Replace || mode == EMode::InPlace) && ops_.Fsync(fd_) != 0)
        return Fail(error, "cannot write", errno);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0)
        return Fail(error, "cannot write", errno);
    if (mode != EMode::Replace) {
        mode_ = EMode::None;
        return true;
    }
    {
        // The name is forgotten together with the rename, so that the
        // handler never removes a name that is no longer this writer's.
        const CCleanupSignalsHeld held;
        if (ops_.Rename(temp_.c_str(), target_.c_str()) != 0)
            return Fail(error, "cannot replace", errno);
        SetPending("");
    }
    temp_.clear();
    mode_ = EMode::None;
    if (!durable_)
        return true;
    // Make the rename itself durable; a failure here cannot undo it.
    const int dirFd = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool CSafeFileWriter::Write(const std::string& path, std::span<const uint8_t> bytes, std::string& error)
{
    return Begin(path, error) && Append(bytes.data(), bytes.size(), error) && Commit(error);
}
