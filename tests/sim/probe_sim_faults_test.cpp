// Link faults of the simulated probe, as the link library and the command
// frames see them. Request 1 is the handshake of the open.

#include "sim_link_test.h"

#include "probe/probe_status.h"
#include "support/manual_clock.h"

#include <chrono>

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

struct SFaultyLink {
    // `clock`: what the link measures its timeouts on.
    explicit SFaultyLink(const SSimFaults& faults, const SProbeSimConfig& config = {},
                         CClock& clock = CSystemClock::Instance())
        : sim(CSimFixture::OnRamBoard(Options(faults, config, clock)))
    {
        openStatus = library.LinkOpen(sim.ChannelText());
    }
    static CSimFixture::SOptions Options(const SSimFaults& faults, const SProbeSimConfig& config, CClock& clock)
    {
        CSimFixture::SOptions options = CSimFixture::Tcp(faults, config);
        options.linkClock = &clock;
        return options;
    }
    CSimFixture sim;
    CLinkLibrary& library = sim.Library();
    CProbeFrames frames{library};
    int openStatus = 0;
};

TEST(SimFaults, ADroppedReplyTimesOutAndTheLinkGoesOn)
{
    SSimFaults faults;
    faults.dropReplyTo = 2;
    SFaultyLink link(faults);
    ASSERT_EQ(link.openStatus, 0);
    const uint8_t request[1] = {kCmdFlashEraseStatus};
    uint8_t reply[1500];
    const auto start = Clock::now();
    EXPECT_EQ(link.library.LinkTransact(1, request, 1500, reply, 200), kStatusTimeout);
    EXPECT_GE(ElapsedMs(start), 200);
    EXPECT_EQ(link.frames.FlashSetup(1, 0, 0, 0, 0), 0);
}

TEST(SimFaults, ALateReplyIsNotTakenForTheNextCommandsReply)
{
    // The late reply is FlashEraseStatus's six bytes; taken for FlashSetup's
    // reply it would read as an unexpected reply.
    SSimFaults faults;
    faults.delayReplyTo = 2;
    faults.delayMs = 300;
    SFaultyLink link(faults);
    ASSERT_EQ(link.openStatus, 0);
    const uint8_t request[1] = {kCmdFlashEraseStatus};
    uint8_t reply[1500];
    EXPECT_EQ(link.library.LinkTransact(1, request, 1500, reply, 100), kStatusTimeout);
    EXPECT_EQ(link.frames.FlashSetup(12, 2, 0xFFF00000, kSimRamBase, 0), 0);
    EXPECT_EQ(link.library.DroppedReplies(), 1u);
}

TEST(SimFaults, AStreamBlockWithoutReplyEndsTheStreamWithATimeout)
{
    // Requests: 1 handshake, 2 FlashSetup, 3 StreamBegin, 4 the first block.
    SSimFaults faults;
    faults.dropReplyTo = 4;
    CManualClock clock;
    SFaultyLink link(faults, {}, clock);
    ASSERT_EQ(link.openStatus, 0);
    ASSERT_EQ(link.frames.FlashSetup(12, 2, 0xFFF00000, kSimRamBase, 0), 0);
    ASSERT_EQ(link.library.StreamBegin(kStreamProgram, 1), 0);
    const Bytes block(1024, 0x11);
    for (uint32_t at = 0; at < 8 * 1024; at += 1024)
        ASSERT_EQ(link.library.StreamBlock(at, 1024, block.data()), 0);
    const uint64_t start = clock.NowMs();
    uint32_t failAddress = 0;
    EXPECT_EQ(link.library.StreamEnd(failAddress), kStatusTimeout);
    EXPECT_GE(clock.NowMs() - start, uint64_t(CLinkLibrary::kStreamBlockTimeoutMs));
    EXPECT_LE(clock.NowMs() - start, uint64_t(CLinkLibrary::kStreamBlockTimeoutMs) + 300);
    // The probe did program every block; the link goes on.
    EXPECT_EQ(link.sim.Peek(0, 8 * 1024), Bytes(8 * 1024, 0x11));
    uint32_t value = 0;
    EXPECT_EQ(link.library.TargetRead32(0, value), 0);
    EXPECT_EQ(value, 0x11111111u);
}

TEST(SimFaults, SpoiltRepliesGiveUnexpectedReply)
{
    SSimFaults faults;
    faults.wrongEchoTo = 2;
    faults.wrongLengthTo = 3;
    SFaultyLink link(faults);
    ASSERT_EQ(link.openStatus, 0);
    EXPECT_EQ(link.frames.FlashSetup(1, 0, 0, 0, 0), kStatusUnexpectedReply);
    EXPECT_EQ(link.frames.FlashSetup(1, 0, 0, 0, 0), kStatusUnexpectedReply);
    EXPECT_EQ(link.frames.FlashSetup(1, 0, 0, 0, 0), 0);

    SSimFaults typed;
    typed.wrongEchoTo = 2;
    typed.wrongLengthTo = 3;
    SFaultyLink other(typed);
    ASSERT_EQ(other.openStatus, 0);
    uint32_t value = 0;
    EXPECT_EQ(other.library.TargetRead32(kSimRamBase, value), kStatusUnexpectedReply);
    EXPECT_EQ(other.library.TargetRead32(kSimRamBase, value), kStatusUnexpectedReply);
    EXPECT_EQ(other.library.TargetRead32(kSimRamBase, value), 0);
}

TEST(SimFaults, EndedFaultsLeaveEveryLaterRequestAnsweredSoundly)
{
    // Faults armed for requests 3 to 6 (and silence from 7), ended after
    // request 2: none of them acts any more.
    SSimFaults faults;
    faults.wrongEchoTo = 3;
    faults.wrongLengthTo = 4;
    faults.dropReplyTo = 5;
    faults.cutAt = 6;
    faults.silentFrom = 7;
    SFaultyLink link(faults);
    ASSERT_EQ(link.openStatus, 0);
    ASSERT_EQ(link.frames.FlashSetup(1, 0, 0, 0, 0), 0);
    link.sim.Link().EndFaults();
    for (int request = 3; request <= 8; ++request)
        EXPECT_EQ(link.frames.FlashSetup(1, 0, 0, 0, 0), 0) << "request " << request;
}

TEST(SimFaults, ARefusedConnection)
{
    SSimFaults faults;
    faults.refuseConnection = true;
    SFaultyLink link(faults);
    EXPECT_EQ(link.openStatus, kStatusConnectionRefused);
    EXPECT_FALSE(link.library.IsOpen());
}

TEST(SimFaults, AnotherFirmwareKindAndALoaderVersionOfZero)
{
    SProbeSimConfig config;
    config.firmwareKind = 9;
    config.loaderVersion = 0;
    SFaultyLink link({}, config);
    ASSERT_EQ(link.openStatus, 0);
    SProbeIdentification id;
    ASSERT_EQ(link.library.TargetConnect(id), 0);
    EXPECT_EQ(id.firmwareKind, 9);
    SLoaderIdentity loader;
    ASSERT_EQ(link.frames.LoaderIdentify(loader), 0);
    EXPECT_EQ(loader.loaderVersion, 0);
}

TEST(SimFaults, RoundTripTimeAndBandwidthSlowTheLinkDown)
{
    SSimFaults faults;
    faults.roundTripMs = 80;
    faults.bandwidth = 100000;
    SFaultyLink link(faults);
    ASSERT_EQ(link.openStatus, 0);
    auto start = Clock::now();
    EXPECT_EQ(link.frames.StartProgramming(), 0);
    EXPECT_GE(ElapsedMs(start), 80);
    // 16 KiB back at 100 000 bytes per second: at least 160 ms more.
    Bytes block(16384);
    start = Clock::now();
    EXPECT_EQ(link.library.TargetReadBlock(kSimFlashBase, 0, 16384, block.data()), 0);
    EXPECT_GE(ElapsedMs(start), 80 + 160);
}

TEST(SimFaults, ASerialLineWithChecksumsOverASocketPair)
{
    CSimFixture::SOptions options;
    options.transport = CSimFixture::ETransport::SerialPair;
    options.bytesPerSecond = 11520;
    CSimFixture sim = CSimFixture::OnRamBoard(options, {{0, 0x10000, 0xFF}});
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    CLinkLibrary& library = sim.Library();
    CProbeFrames frames(library);
    ASSERT_EQ(frames.FlashSetup(12, 1, 0xFFFF0000, 0xFFFFFFFF, 0), 0);
    Bytes data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 13);
    ASSERT_EQ(library.StreamBegin(kStreamProgram, 1), 0);
    for (uint32_t at = 0; at < data.size(); at += 1000)
        ASSERT_EQ(library.StreamBlock(at, 1000, data.data() + at), 0);
    uint32_t failAddress = 0;
    ASSERT_EQ(library.StreamEnd(failAddress), 0);
    Bytes back(data.size());
    ASSERT_EQ(library.TargetReadBlock(0, 0, static_cast<uint32_t>(back.size()), back.data()), 0);
    EXPECT_EQ(back, data);
}

} // namespace
