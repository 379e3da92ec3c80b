#pragma once

// qdx7000-sim as a separate process, for tests that reach it as a user's
// programs do (over TCP or its pseudo-terminal).

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

// The simulator program with its standard output on a pipe; stopped (and if
// need be killed) when the object goes.
class CSimProcess {
public:
    // `errorPath`: a file for the simulator's log (standard error), which is
    // otherwise the test's own.
    explicit CSimProcess(const std::vector<std::string>& args, const std::string& errorPath = {})
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> all = {std::string(TARVEL_BINARY_DIR) + "/qdx7000-sim"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        if (!errorPath.empty())
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out_ = fds[0];
    }
    ~CSimProcess()
    {
        Stop();
        if (out_ >= 0)
            close(out_);
    }

    bool Running() const { return pid_ > 0; }

    // The next line of output, waiting at most `timeoutMs`.
    bool ReadLine(std::string& line, int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (const size_t nl = buffer_.find('\n'); nl != std::string::npos) {
                line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now()).count();
            pollfd pfd{out_, POLLIN, 0};
            if (left <= 0 || poll(&pfd, 1, static_cast<int>(left)) <= 0)
                return false;
            char chunk[256];
            const ssize_t n = read(out_, chunk, sizeof chunk);
            if (n <= 0)
                return false;
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    // Waits for the process to end by itself; its exit code, or -1.
    int Wait(int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (pid_ > 0) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (std::chrono::steady_clock::now() > deadline)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    int Stop()
    {
        if (pid_ <= 0)
            return -1;
        kill(pid_, SIGTERM);
        const int code = Wait(5000);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        return code;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

// Reads "<word> <value>" from the simulator's output.
inline std::string Announced(CSimProcess& process, const std::string& word)
{
    std::string line;
    while (process.ReadLine(line, 5000)) {
        if (line.rfind(word + " ", 0) == 0)
            return line.substr(word.size() + 1);
    }
    return {};
}

