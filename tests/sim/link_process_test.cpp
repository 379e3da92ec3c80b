// qdx7000-sim as a separate process, reached by the link library over TCP on
// loopback and over a pseudo-terminal through the serial transport.

#include "probe/link/link_library.h"
#include "probe/probe_frames.h"
#include "probe/probe_status.h"

#include <gtest/gtest.h>

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

namespace {

using Bytes = std::vector<uint8_t>;

// The simulator program with its standard output on a pipe; stopped (and if
// need be killed) when the object goes.
class CSimProcess {
public:
    explicit CSimProcess(const std::vector<std::string>& args)
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

// A board of RAM only, the same whatever the simulator's default board is:
// 4 MiB that programs like erased flash at 0, 64 KiB of workspace.
const std::vector<std::string> kRamBoard = {"--ram", "0:400000", "--ram", "40000000:10000:0"};

std::vector<std::string> WithRamBoard(std::vector<std::string> args)
{
    args.insert(args.end(), kRamBoard.begin(), kRamBoard.end());
    return args;
}

// Reads "<word> <value>" from the simulator's output.
std::string Announced(CSimProcess& process, const std::string& word)
{
    std::string line;
    while (process.ReadLine(line, 5000)) {
        if (line.rfind(word + " ", 0) == 0)
            return line.substr(word.size() + 1);
    }
    return {};
}

void ProgramAndReadBack(CLinkLibrary& library, uint32_t address, size_t size)
{
    Bytes data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(i * 31 + 7);
    CProbeFrames frames(library);
    ASSERT_EQ(frames.StartProgramming(), 0);
    ASSERT_EQ(frames.FlashSetup(12, 2, 0xFFC00000, 0x40000000, 0), 0);
    ASSERT_EQ(library.StreamBegin(kStreamProgram, 1), 0);
    for (size_t at = 0; at < size; at += 1024)
        ASSERT_EQ(library.StreamBlock(address + static_cast<uint32_t>(at), 1024, data.data() + at), 0);
    uint32_t failAddress = 0;
    ASSERT_EQ(library.StreamEnd(failAddress), 0);
    Bytes back(size);
    ASSERT_EQ(library.TargetReadBlock(address, 0, static_cast<uint32_t>(size), back.data()), 0);
    EXPECT_EQ(back, data);
}

TEST(LinkProcess, TheSimulatorOverTcpOnLoopback)
{
    CSimProcess sim(WithRamBoard({"--port", "0", "--serial", "9876540001"}));
    ASSERT_TRUE(sim.Running());
    const std::string address = Announced(sim, "listening");
    ASSERT_FALSE(address.empty());

    CLinkLibrary library;
    ASSERT_EQ(library.LinkOpen("NETWORK " + address + " 1"), 0);
    SProbeIdentification id;
    ASSERT_EQ(library.TargetConnect(id), 0);
    EXPECT_EQ(id.firmwareKind, 10);
    EXPECT_EQ(id.serialNumber, "9876540001");
    ProgramAndReadBack(library, 0x10000, 64 * 1024);
    library.TargetDisconnect();
    library.LinkClose();

    // A new connection after the old one is closed.
    ASSERT_EQ(library.LinkOpen("NETWORK " + address + " 1"), 0);
    uint32_t value = 0;
    EXPECT_EQ(library.TargetRead32(0x10000, value), 0);
    EXPECT_EQ(value, 0x64452607u) << "bytes 7, 38, 69, 100 of the first block";
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(LinkProcess, TheSimulatorOverAPseudoTerminalAsComPort)
{
    CSimProcess sim(WithRamBoard({"--no-tcp", "--pty", "--loader"}));
    ASSERT_TRUE(sim.Running());
    const std::string path = Announced(sim, "pty");
    ASSERT_FALSE(path.empty());

    CLinkLibrary library;
    library.Settings().Set(ESetting::SerialDevice2, path);
    EXPECT_EQ(library.LinkCheckSerialPort(1, 4), 0);
    ASSERT_EQ(library.LinkOpen("COM2 57600"), 0);
    EXPECT_TRUE(library.LoaderRunning());
    CProbeFrames frames(library);
    SLoaderIdentity identity;
    ASSERT_EQ(frames.LoaderIdentify(identity), 0);
    EXPECT_EQ(identity.loaderVersion, 105);
    EXPECT_EQ(frames.StartFirmware(), 0);
    ProgramAndReadBack(library, 0x0, 8 * 1024);
    library.LinkClose();

    // The port can be opened again, at another rate.
    ASSERT_EQ(library.LinkOpen("COM2 115200"), 0);
    SProbeIdentification id;
    EXPECT_EQ(library.TargetConnect(id), 0);
    EXPECT_EQ(id.firmwareKind, 10);
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(LinkProcess, ALineCutOnThePseudoTerminalLeavesItForTheNextHost)
{
    // The line goes dead at the fifth request, as a pulled cable: no answer,
    // and none to this host's later requests either.
    CSimProcess sim(WithRamBoard({"--no-tcp", "--pty", "--loader", "--cut", "5"}));
    ASSERT_TRUE(sim.Running());
    const std::string path = Announced(sim, "pty");
    ASSERT_FALSE(path.empty());

    CLinkLibrary library;
    library.Settings().Set(ESetting::SerialDevice1, path);
    ASSERT_EQ(library.LinkOpen("COM1 57600"), 0);
    CProbeFrames frames(library);
    SLoaderIdentity identity;
    int answered = 0;
    while (answered < 10 && frames.LoaderIdentify(identity) == 0)
        ++answered;
    ASSERT_LT(answered, 10) << "the line was never cut";
    EXPECT_NE(frames.LoaderIdentify(identity), 0) << "a cut line stays dead for its host";
    library.LinkClose();
    ASSERT_EQ(access(path.c_str(), F_OK), 0) << "the terminal is still there";

    // The next host opens the same terminal and is served as usual.
    ASSERT_EQ(library.LinkOpen("COM1 57600"), 0);
    ASSERT_EQ(frames.LoaderIdentify(identity), 0);
    EXPECT_EQ(identity.loaderVersion, 105);
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(LinkProcess, ARefusingSimulatorAndBadOptions)
{
    CSimProcess refusing({"--port", "0", "--refuse"});
    const std::string address = Announced(refusing, "listening");
    ASSERT_FALSE(address.empty());
    CLinkLibrary library;
    EXPECT_EQ(library.LinkOpen("NETWORK " + address + " 1"), kStatusConnectionRefused);

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--port", "70000"}, {"--delay-reply", "3"}, {"--ram", "0:0"}, {"--frobnicate"}, {"--no-tcp"},
             {"--ram", "0:1000", "--ram", "800:10"}, {"--ram", "0:1000", "--board", "x.board"},
             {"--board", "/dev/zero"}}) {
        CSimProcess bad(args);
        EXPECT_EQ(bad.Wait(5000), 2) << args[0];
    }
}

} // namespace
