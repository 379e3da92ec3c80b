#pragma once

#include "support/temp_dir.h"

#include <cstdio>
#include <string>
#include <sys/wait.h>

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
    const std::string command = "cd '" + dir.Path().string() + "' && TMPDIR='" + dir.Path().string() + "' " +
                                environment + " '" + std::string(TARVEL_BINARY_DIR) + "/tarvel-cli' " + arguments +
                                " <'" + input + "' 2>'" + err + "'";
    SCliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        run.out.append(buf, n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFileBytes(err);
    return run;
}
