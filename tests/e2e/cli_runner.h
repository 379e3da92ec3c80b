#pragma once

#include "support/temp_dir.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>

// Standard output of a shell command; its wait status in `status` when given.
inline std::string ShellOutput(const std::string& command, int* status = nullptr)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, n);
    const int ended = ::pclose(pipe);
    if (status)
        *status = ended;
    return out;
}

// Runs the built tarvel-cli in a directory with no terminal on stdin, and
// keeps its exit code, stdout and stderr. `environment`: more variables for
// the run ("NAME='value' ..."); `input`: the file on its standard input.
struct SCliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline SCliRun RunCli(const CTempDir& dir, const std::string& arguments, const std::string& environment = "",
                      const std::string& input = "/dev/null")
{
    const std::string err = dir.File("stderr.txt");
    // Restore files of flash --keep-unwritten stay in the test's directory.
    const std::string command = "cd '" + dir.Path().string() + "' && TMPDIR='" + dir.Path().string() + "' " +
                                "TARVEL_STATE_DIR='" + dir.Path().string() + "/state' " + environment + " '" +
                                std::string(TARVEL_BINARY_DIR) + "/tarvel-cli' " + arguments +
                                " <'" + input + "' 2>'" + err + "'";
    SCliRun run;
    int status = -1;
    run.out = ShellOutput(command, &status);
    run.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFileBytes(err);
    return run;
}

// Polls `done` every 20 ms until it holds or `ms` have passed.
inline bool WaitFor(const std::function<bool()>& done, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}
