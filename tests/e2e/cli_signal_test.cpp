// tarvel-cli ended by a signal: the memory image's backing file and its
// directory go with it, and a second instance never touches the first one's.
#include "cli_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> ImageDirs(const fs::path& dir)
{
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind("tarvel-cli-", 0) == 0)
            found.push_back(e.path());
    return found;
}

// Starts tarvel-cli in `dir` without waiting for it.
pid_t StartCli(const CTempDir& dir, const std::string& arguments, const std::string& prefix = "")
{
    const std::string command = prefix + "cd '" + dir.Path().string() + "' && TMPDIR='" + dir.Path().string() + "' exec '" +
                                std::string(TARVEL_BINARY_DIR) + "/tarvel-cli' " + arguments +
                                " </dev/null >/dev/null 2>'" + dir.File("first.txt") + "'";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    return pid;
}

TEST(CliSignals, TheImageGoesWithTheProgramAndASecondInstanceKeepsItsOwn)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        CTempDir dir;
        WriteFileBytes(dir.File("delay.txt"), "DELAY\t\t29999\tlong enough to be interrupted\n");
        // A pre-erase list that keeps the first instance waiting on the host.
        const pid_t first = StartCli(
            dir, "--sim '" + std::string(TARVEL_TEST_DATA_DIR) + "/../../boards/demo.board' setup --device "
                 "\"AMD  Am29LV160MB (1M x 16)\" --bus 16 --base 80000000 initlist pre-erase delay.txt erase --all");
        ASSERT_GT(first, 0);
        ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(dir.File("first.txt")).find("Processing init list") !=
                                         std::string::npos; },
                            20000))
            << ReadFileBytes(dir.File("first.txt"));
        const std::vector<fs::path> firstDirs = ImageDirs(dir.Path());
        ASSERT_EQ(firstDirs.size(), 1u);
        // The image's file is open but has no name: nothing of it can stay.
        EXPECT_TRUE(fs::is_empty(firstDirs[0]));

        // A second instance in the same places runs to its end beside it.
        const SCliRun second = RunCli(dir, "--physical 0+1000 fill --range 0+10 --pattern 55 --unit byte "
                                           "checksum --range 0+10 --unit byte");
        EXPECT_EQ(second.exitCode, 0) << second.err;
        EXPECT_EQ(ImageDirs(dir.Path()), firstDirs) << "the first run's directory is left alone";

        ASSERT_EQ(kill(first, signal), 0);
        int status = 0;
        ASSERT_EQ(waitpid(first, &status, 0), first);
        ASSERT_TRUE(WIFEXITED(status)) << signal;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_TRUE(ImageDirs(dir.Path()).empty()) << "signal " << signal;
    }
}

// Started under nohup, a hang-up does not end a run (nor remove its image).
TEST(CliSignals, AnIgnoredHangUpStaysIgnored)
{
    CTempDir dir;
    WriteFileBytes(dir.File("delay.txt"), "DELAY\t\t29999\twait\n");
    const pid_t cli = StartCli(
        dir, "--sim '" + std::string(TARVEL_TEST_DATA_DIR) + "/../../boards/demo.board' setup --device "
             "\"AMD  Am29LV160MB (1M x 16)\" --bus 16 --base 80000000 initlist pre-erase delay.txt erase --all",
        "trap '' HUP; ");
    ASSERT_GT(cli, 0);
    ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(dir.File("first.txt")).find("Processing init list") !=
                                     std::string::npos; },
                        20000));
    ASSERT_EQ(kill(cli, SIGHUP), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(waitpid(cli, nullptr, WNOHANG), 0) << "a hang-up ended the run";
    EXPECT_EQ(ImageDirs(dir.Path()).size(), 1u);
    ASSERT_EQ(kill(cli, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(waitpid(cli, &status, 0), cli);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM);
    EXPECT_TRUE(ImageDirs(dir.Path()).empty());
}

} // namespace
