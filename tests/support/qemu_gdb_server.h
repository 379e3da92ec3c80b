#pragma once

// qemu-system-arm with its GDB server on a loopback port, the guest halted
// at reset: a board behind a GDB server that no one here wrote (its flash
// models), for the tests of the GDB probe library. Tests skip where QEMU is
// not installed.

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// The path of `name` on PATH, or "" when it is not installed.
inline std::string FindProgramOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            return {};
        start = end + 1;
    }
}

inline constexpr const char* kQemuMissing =
    "qemu-system-arm is not installed (Debian package qemu-system-arm): the GDB server tests need it";

// A loopback port that was free a moment ago.
inline uint16_t FreeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

// QEMU on `machine` with `flashImage` as its parallel flash; `extra`: more
// arguments (e.g. -global settings of the flash model). Its messages go to
// `logPath`. Terminated (and waited for, so the drive file is complete) by
// Stop or when the object goes.
class CQemuGdbServer {
public:
    CQemuGdbServer(const std::string& qemu, const std::string& machine, const std::string& drive,
                   const std::vector<std::string>& extra, uint16_t port, const std::string& logPath)
    {
        std::vector<std::string> args = {qemu,       "-M",      machine, "-accel",   "tcg",  "-display",
                                         "none",     "-nodefaults", "-monitor", "none",   "-serial", "none",
                                         "-nic",     "none",    "-drive",  drive,        "-S",      "-gdb",
                                         "tcp:127.0.0.1:" + std::to_string(port)};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CQemuGdbServer() { Stop(); }

    // Waits until the server takes connections (QEMU needs a moment, more on
    // a loaded machine); false when it never did within `ms`.
    static bool WaitUntilListening(uint16_t port, int ms)
    {
        for (int waited = 0; waited < ms; waited += 20) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(port);
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const bool up = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            close(fd);
            if (up)
                return true;
            usleep(20000);
        }
        return false;
    }
    CQemuGdbServer(const CQemuGdbServer&) = delete;
    CQemuGdbServer& operator=(const CQemuGdbServer&) = delete;

    bool Running() const { return pid_ > 0; }
    void Stop()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};
