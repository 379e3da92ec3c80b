// Nothing of a tarvel-cli run stays behind in its temporary directory, however
// the run ends: at its end, by SIGINT, SIGTERM, SIGHUP or SIGPIPE, and after a
// kill -9 the next run clears up. Ctrl-C outside a target operation ends the
// run at once; a binary file that runs past the address space is refused; a
// save never writes over another program's change to the project.
#include "cli_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr const char* kDevice = "\"AMD  Am29LV160MB (1M x 16)\"";

// Every file and directory under `dir`, counted.
size_t Entries(const fs::path& dir)
{
    size_t n = 0;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it)
        ++n;
    return n;
}

// A run directory with a given file in it, once one exists.
bool RunFileExists(const fs::path& tmp, const char* name)
{
    for (const auto& e : fs::directory_iterator(tmp))
        if (e.path().filename().string().rfind("tarvel-cli-", 0) == 0 && fs::exists(e.path() / name))
            return true;
    return false;
}

int ExitOf(pid_t pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The test's own directory holds the run's files; its "tmp" is the run's
// TMPDIR and holds nothing else, so every entry there is the run's.
class CliLeftovers : public ::testing::Test {
protected:
    CliLeftovers() { fs::create_directory(Tmp()); }

    fs::path Tmp() const { return dir.Path() / "tmp"; }

    // Starts `cd DIR && TMPDIR=DIR/tmp exec tarvel-cli ARGS` under bash with
    // `redirections` (stdin and stdout), stderr to err.txt.
    pid_t Start(const std::string& arguments, const std::string& redirections)
    {
        const std::string command = "cd '" + dir.Path().string() + "' && TMPDIR='" + Tmp().string() + "' exec '" +
                                    std::string(TARVEL_BINARY_DIR) + "/tarvel-cli' " + arguments + " " +
                                    redirections + " 2>err.txt";
        const char* argv[] = {"/bin/bash", "-c", command.c_str(), nullptr};
        pid_t pid = -1;
        if (posix_spawn(&pid, "/bin/bash", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            return -1;
        return pid;
    }
    SCliRun Run(const std::string& arguments) { return RunCli(dir, arguments, "TMPDIR='" + Tmp().string() + "'"); }
    std::string Err() const { return ReadFileBytes(dir.File("err.txt")); }

    // A FIFO whose writing end the test holds open: a `load -` reading it
    // waits until the test closes it.
    int OpenFifo()
    {
        const std::string fifo = dir.File("in.fifo");
        EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        return ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
    }

    CTempDir dir;
};

TEST_F(CliLeftovers, ARunLeavesNothingWhenItEndsOrIsEndedBySignal)
{
    // To its end, with standard input loaded.
    WriteFileBytes(dir.File("in.s19"), "S1070000112233444E\nS9030000FC\n");
    const pid_t done = Start("--physical 0+1000 load - store out.s19 --range 0+4", "<in.s19 >/dev/null");
    EXPECT_EQ(ExitOf(done), 0) << Err();
    EXPECT_TRUE(fs::exists(dir.File("out.s19")));
    EXPECT_EQ(Entries(Tmp()), 0u);

    // Ended while it waits for standard input: Ctrl-C outside a target
    // operation ends the run at once, before its next step.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        fs::remove(dir.File("in.fifo"));
        fs::remove(dir.File("out2.s19"));
        const int fifo = OpenFifo();
        ASSERT_GE(fifo, 0);
        ASSERT_EQ(::write(fifo, "S1070000", 8), 8);
        const pid_t run = Start("--physical 0+1000 load - store out2.s19 --range 0+4", "<in.fifo >/dev/null");
        ASSERT_TRUE(WaitFor([&] { return RunFileExists(Tmp(), "standard-input"); }, 20000)) << Err();
        ASSERT_EQ(::kill(run, signal), 0);
        EXPECT_EQ(ExitOf(run), 128 + signal) << "signal " << signal << ": " << Err();
        ::close(fifo);
        EXPECT_FALSE(fs::exists(dir.File("out2.s19"))) << "signal " << signal;
        EXPECT_EQ(Entries(Tmp()), 0u) << "signal " << signal;
    }

    // Standard output closed early: SIGPIPE ends the store and the run.
    const pid_t piped = Start("--physical 0+400000 fill --range 0+400000 --pattern 55 --unit byte store - --range "
                              "0+400000",
                              "</dev/null | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}");
    EXPECT_EQ(ExitOf(piped), 128 + SIGPIPE) << Err();
    EXPECT_EQ(Entries(Tmp()), 0u);
}

// Signals at spread-out points of a long store over an existing file: the
// file is always the old one or the whole new one (the whole new one when the
// run exits 0), and no temporary file stays beside it or in TMPDIR.
TEST_F(CliLeftovers, ASignalAtAnyPointOfAStoreLeavesTheOldFileOrTheWholeNewOne)
{
    const std::string out = dir.File("out.s19");
    const std::string steps = "--yes --physical 0+1000000 fill --range 0+1000000 --pattern 5A --unit byte store "
                              "out.s19 --range 0+1000000";
    // One whole run gives the new file and how long a run takes here.
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(ExitOf(Start(steps, "</dev/null >/dev/null")), 0) << Err();
    const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin);
    const std::string whole = ReadFileBytes(out);
    ASSERT_GT(whole.size(), 16u * 1024 * 1024);
    const std::string old = "S1070000112233444E\nS9030000FC\n";

    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGKILL};
    unsigned seed = 12345; // the same points on every run of the test
    int ended = 0;
    for (int i = 0; i < 24; ++i) {
        WriteFileBytes(out, old);
        seed = seed * 1103515245u + 12345u;
        const auto delay = std::chrono::microseconds((seed >> 8) % (runTime.count() + 1));
        const int signal = signals[i % 4];
        const pid_t run = Start(steps, "</dev/null >/dev/null");
        ASSERT_GT(run, 0);
        std::this_thread::sleep_for(delay);
        ::kill(run, signal);
        const int code = ExitOf(run);
        const std::string now = ReadFileBytes(out);
        if (code == 0) {
            EXPECT_EQ(now.size(), whole.size()) << "signal " << signal << " after " << delay.count() << " us";
            EXPECT_TRUE(now == whole) << "signal " << signal << " after " << delay.count() << " us";
        } else {
            ++ended;
            // -1: ended by the signal itself, before the run had set its
            // handlers (nothing of it is written yet) or by SIGKILL.
            if (code != -1) {
                EXPECT_EQ(code, 128 + signal) << Err();
            }
            EXPECT_TRUE(now == old || now == whole)
                << "signal " << signal << " after " << delay.count() << " us: " << now.size() << " bytes";
        }
        // What a killed run left, the next run that stores there clears away.
        if (signal == SIGKILL) {
            ASSERT_EQ(ExitOf(Start(steps, "</dev/null >/dev/null")), 0) << Err();
        }
        EXPECT_EQ(Entries(Tmp()), 0u) << "signal " << signal << " after " << delay.count() << " us";
        for (const auto& e : fs::directory_iterator(dir.Path())) {
            EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos)
                << e.path() << ", signal " << signal << " after " << delay.count() << " us";
        }
    }
    EXPECT_GT(ended, 0) << "no signal arrived before its run ended";
}

TEST_F(CliLeftovers, TheRunAfterAKillMinus9RemovesOnlyWhatDeadRunsLeft)
{
    const int fifo = OpenFifo();
    ASSERT_GE(fifo, 0);
    const pid_t killed = Start("--physical 0+1000 load -", "<in.fifo >/dev/null");
    ASSERT_TRUE(WaitFor([&] { return RunFileExists(Tmp(), "standard-input"); }, 20000)) << Err();
    ASSERT_EQ(::kill(killed, SIGKILL), 0);
    EXPECT_EQ(ExitOf(killed), -1);
    ::close(fifo);
    ASSERT_EQ(Entries(Tmp()), 2u) << "the dead run's directory and its copy of standard input";

    // Beside it: the directory of a live process, and one of a dead process
    // that holds a file no run makes.
    const fs::path live = Tmp() / ("tarvel-cli-" + std::to_string(::getpid()) + "-AbCdEf");
    const fs::path foreign = Tmp() / ("tarvel-cli-" + std::to_string(killed) + "-XyZxYz");
    fs::create_directory(live);
    fs::create_directory(foreign);
    WriteFileBytes((foreign / "notes.txt").string(), "not ours");
    WriteFileBytes((foreign / "memimage.qpg").string(), "");

    // A project with a writer's file of the dead run beside it, and one of
    // this (live) process.
    ASSERT_EQ(Run("--project p.tvl setup --device " + std::string(kDevice) + " save").exitCode, 0);
    const std::string deadTemp = dir.File(".p.tvl.tmp-" + std::to_string(killed) + "-0");
    const std::string liveTemp = dir.File(".p.tvl.tmp-" + std::to_string(::getpid()) + "-0");
    WriteFileBytes(deadTemp, "half");
    WriteFileBytes(liveTemp, "half");

    const SCliRun next = Run("--project p.tvl fill --range 0+10 --pattern 1 --unit byte save");
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_FALSE(fs::exists(deadTemp));
    EXPECT_TRUE(fs::exists(liveTemp));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(foreign / "notes.txt"));
    EXPECT_FALSE(fs::exists(foreign / "memimage.qpg"));
    EXPECT_EQ(Entries(Tmp()), 3u) << "the live directory, and the foreign one with its file";
}

TEST_F(CliLeftovers, ABinaryFileRunningPastTheAddressSpaceIsRefusedWhole)
{
    // 4 GiB + 4 KiB, sparse: its first bytes would wrap onto address 0.
    const std::string big = dir.File("big.bin");
    {
        const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "\x11\x22", 2, 0), 2);
        ASSERT_EQ(::ftruncate(fd, (off_t{1} << 32) + 4096), 0);
        ::close(fd);
    }
    for (const char* offset : {"0", "F0000000"}) {
        const SCliRun run = Run("--allow-outside --physical 0+1000 fill --range 0+2 --pattern AA --unit byte load "
                                "big.bin --offset " + std::string(offset) + " store out.s19 --range 0+2");
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("longer than the"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(dir.File("out.s19")));
    }
    // A small file that runs past the top from its offset is refused as well.
    WriteFileBytes(dir.File("small.bin"), std::string(0x20, '\x03')); // not text: text is no binary file
    const SCliRun top = Run("--allow-outside --physical FFFFF000+1000 load small.bin --offset FFFFFFF0");
    EXPECT_EQ(top.exitCode, 1) << top.err;
    EXPECT_NE(top.err.find("longer than the 16 bytes"), std::string::npos) << top.err;
    EXPECT_EQ(Entries(Tmp()), 0u);
}

TEST_F(CliLeftovers, ASaveNeverWritesOverAnotherRunsChange)
{
    ASSERT_EQ(Run("--project p.tvl setup --device " + std::string(kDevice) + " save").exitCode, 0);
    // The first run has read the project and waits for its program file.
    const int fifo = OpenFifo();
    ASSERT_GE(fifo, 0);
    const pid_t first = Start("--yes --project p.tvl load - save", "<in.fifo >/dev/null");
    ASSERT_TRUE(WaitFor([&] { return RunFileExists(Tmp(), "standard-input"); }, 20000)) << Err();
    // Meanwhile a second run changes and saves it.
    const SCliRun second = Run("--project p.tvl fill --range 0+10 --pattern 5A --unit byte save");
    ASSERT_EQ(second.exitCode, 0) << second.err;
    const std::string secondBytes = ReadFileBytes(dir.File("p.tvl"));
    const std::string s19 = "S1070000112233444E\nS9030000FC\n";
    ASSERT_EQ(::write(fifo, s19.data(), s19.size()), static_cast<ssize_t>(s19.size()));
    ::close(fifo);
    EXPECT_EQ(ExitOf(first), 1) << Err();
    EXPECT_NE(Err().find("p.tvl changed on disk"), std::string::npos) << Err();
    EXPECT_EQ(ReadFileBytes(dir.File("p.tvl")), secondBytes) << "the second run's change is kept";

    // A project made where there was none is another program's too.
    const int fifo2 = ::open(dir.File("in.fifo").c_str(), O_RDWR | O_CLOEXEC);
    const pid_t maker =
        Start("--yes --project new.tvl setup --device " + std::string(kDevice) + " load - save", "<in.fifo >/dev/null");
    ASSERT_TRUE(WaitFor([&] { return RunFileExists(Tmp(), "standard-input"); }, 20000)) << Err();
    ASSERT_EQ(Run("--project new.tvl save").exitCode, 0);
    ASSERT_EQ(::write(fifo2, s19.data(), s19.size()), static_cast<ssize_t>(s19.size()));
    ::close(fifo2);
    EXPECT_EQ(ExitOf(maker), 1) << Err();
    EXPECT_NE(Err().find("new.tvl changed on disk"), std::string::npos) << Err();
}

} // namespace
