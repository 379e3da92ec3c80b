// qdx7000-sim as a separate process, reached by the link library over TCP on
// loopback and over a pseudo-terminal through the serial transport.

#include "probe/link/link_library.h"
#include "probe/probe_frames.h"
#include "probe/probe_status.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A board of RAM only, the same whatever the simulator's default board is:
// 4 MiB that programs like erased flash at 0, 64 KiB of workspace.
const std::vector<std::string> kRamBoard = {"--ram", "0:400000", "--ram", "40000000:10000:0"};

std::vector<std::string> WithRamBoard(std::vector<std::string> args)
{
    args.insert(args.end(), kRamBoard.begin(), kRamBoard.end());
    return args;
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
