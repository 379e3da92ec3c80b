#include "cli/cli_run_directory.h"

#include "cli/cli_interrupt.h"
#include "common/cleanup_signals.h"
#include "project/safe_file_writer.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Kept ready for the signal handler, which may only make plain system calls.
// A path is written while the signals wait, so the handler never sees half.
char gRunDir[PATH_MAX];
char gSpoolPath[PATH_MAX];

extern "C" void RemoveRunFilesAndExit(int signal)
{
    if (signal != SIGPIPE && CliInterruptTake(signal))
        return; // a stop request: the operation in hand ends in order
    CliInterruptWriteExitNote();
    CSafeFileWriter::RemovePendingTempFile();
    if (gSpoolPath[0])
        ::unlink(gSpoolPath);
    if (gRunDir[0])
        ::rmdir(gRunDir);
    ::_exit(128 + signal);
}

// Sets `target` to `text` with the cleaned signals held back.
void SetForHandler(char* target, size_t size, const std::string& text)
{
    const CCleanupSignalsHeld held;
    std::snprintf(target, size, "%s", text.c_str());
}

void SetHandlers()
{
    // A hang-up the program was started to ignore (nohup) stays ignored:
    // closing the terminal must not end a programming run. SIGINT is taken
    // even when ignored (a background job's): it stops a run in order.
    for (int s : kCleanupSignals) {
        struct sigaction action {};
        if (s == SIGHUP && sigaction(s, nullptr, &action) == 0 && action.sa_handler == SIG_IGN)
            continue;
        action = {};
        action.sa_handler = RemoveRunFilesAndExit;
        sigemptyset(&action.sa_mask);
        sigaction(s, &action, nullptr);
    }
}

} // namespace

namespace {

// The process id in a run directory's name "tarvel-cli-PID-XXXXXX", or 0.
pid_t RunPid(std::string_view name)
{
    const std::string_view prefix = CCliRunDirectory::kPrefix;
    if (name.substr(0, prefix.size()) != prefix)
        return 0;
    name.remove_prefix(prefix.size());
    const size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9 || name.size() != dash + 7)
        return 0;
    long pid = 0;
    for (char c : name.substr(0, dash)) {
        if (c < '0' || c > '9')
            return 0;
        pid = pid * 10 + (c - '0');
    }
    return static_cast<pid_t>(pid);
}

// Whether `name` is a file a run makes in its directory.
bool IsRunFile(std::string_view name)
{
    if (name == CCliRunDirectory::kStandardInputName || name == "memimage.qpg")
        return true;
    // "memimage.N.qpg"
    if (name.size() < 14 || name.substr(0, 9) != "memimage." || name.substr(name.size() - 4) != ".qpg")
        return false;
    for (char c : name.substr(9, name.size() - 13))
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

CCliRunDirectory::~CCliRunDirectory()
{
    RemoveSpool();
    if (!path_.empty())
        ::rmdir(path_.c_str());
    gRunDir[0] = '\0';
}

int CCliRunDirectory::RemoveLeftovers(const std::string& parent)
{
    DIR* dir = ::opendir(parent.c_str());
    if (!dir)
        return 0;
    const int parentFd = ::dirfd(dir);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t pid = RunPid(entry->d_name);
        if (pid <= 0 || pid == ::getpid())
            continue;
        struct stat st {};
        if (::fstatat(parentFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::getuid())
            continue;
        // A live process (of any user: EPERM) keeps its directory.
        if (::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        const int fd = ::openat(parentFd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (DIR* run = ::fdopendir(fd)) {
            while (const dirent* file = ::readdir(run)) {
                struct stat fst {};
                if (IsRunFile(file->d_name) && ::fstatat(fd, file->d_name, &fst, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISREG(fst.st_mode))
                    ::unlinkat(fd, file->d_name, 0);
            }
            ::closedir(run); // closes fd
        } else {
            ::close(fd);
        }
        if (::unlinkat(parentFd, entry->d_name, AT_REMOVEDIR) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

bool CCliRunDirectory::Create(const std::string& parent, std::string& error)
{
    RemoveLeftovers(parent);
    std::string templ = parent + "/" + kPrefix + std::to_string(::getpid()) + "-XXXXXX";
    if (!::mkdtemp(templ.data())) {
        error = "cannot create a directory for the memory image in " + parent + ": " + std::strerror(errno);
        return false;
    }
    path_ = templ;
    SetForHandler(gRunDir, sizeof gRunDir, path_);
    SetHandlers();
    return true;
}

bool CCliRunDirectory::SpoolStandardInput(std::string& path)
{
    RemoveSpool();
    path = path_ + "/" + kStandardInputName;
    SetForHandler(gSpoolPath, sizeof gSpoolPath, path);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::fprintf(stderr, "tarvel-cli: cannot keep standard input in %s: %s\n", path.c_str(), std::strerror(errno));
        RemoveSpool();
        return false;
    }
    static char buffer[1 << 16];
    uint64_t total = 0;
    int err = 0;
    bool tooLarge = false;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : 0;
            break;
        }
        total += static_cast<uint64_t>(n);
        if (total > kMaxStandardInput) {
            tooLarge = true;
            break;
        }
        for (ssize_t done = 0; err == 0 && done < n;) {
            const ssize_t w = ::write(fd, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                err = w == 0 ? EIO : errno;
            else
                done += w;
        }
        if (err != 0)
            break;
    }
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (tooLarge) {
        std::fprintf(stderr, "tarvel-cli: standard input holds more than %llu MiB; no program file is that large\n",
                     static_cast<unsigned long long>(kMaxStandardInput >> 20));
        RemoveSpool();
        return false;
    }
    if (err != 0) {
        std::fprintf(stderr, "tarvel-cli: cannot read standard input: %s\n", std::strerror(err));
        RemoveSpool();
        return false;
    }
    return true;
}

void CCliRunDirectory::RemoveSpool()
{
    if (!gSpoolPath[0])
        return;
    ::unlink(gSpoolPath);
    SetForHandler(gSpoolPath, sizeof gSpoolPath, "");
}
