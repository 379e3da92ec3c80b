// The simulated probe's flash-programming firmware through the link library:
// firmware commands, target accesses, the main init list, and the program and
// verify streams.

#include "sim_link_test.h"

#include "probe/probe_status.h"

#include <chrono>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes(n);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

using SimFirmware = SimLinkTest;

TEST_F(SimFirmware, ConnectReportsTheFlashProgrammingFirmware)
{
    SProbeIdentification id;
    ASSERT_EQ(library.TargetConnect(id), 0);
    EXPECT_EQ(id.firmwareKind, 10);
    EXPECT_EQ(id.firmwareVersion, 113);
    EXPECT_EQ(id.serialNumber, "1234560001");
    EXPECT_EQ(frames.StartProgramming(), 0);
    library.TargetDisconnect();
}

TEST_F(SimFirmware, FlashSetupStatusesComeFromTheBoard)
{
    EXPECT_EQ(frames.FlashSetup(12, 4, 0xFFF00000, kSimRamBase, 0), 0);
    EXPECT_EQ(frames.FlashSetup(12, 4, 0xFFF00000, 0xFFFFFFFF, 0), 0) << "no workspace";
    EXPECT_EQ(frames.FlashSetup(12, 3, 0xFFF00000, kSimRamBase, 0), kStatusInvalidParameter);
    EXPECT_EQ(frames.FlashSetup(12, 2, 0xFFF00000, 0x30000000, 0), kStatusNoAlgorithmRam);
    EXPECT_EQ(frames.FlashSetup(12, 2, 0xFFF00000, kSimRamBase + kSimRamSize - 100, 0), kStatusNoAlgorithmRam);
    EXPECT_EQ(frames.FlashSetup(1, 0, 0, 0, 0), 0);
    EXPECT_EQ(frames.FlashSetup(0, 0, 0, 0, 0), 0);
}

TEST_F(SimFirmware, OnChipEraseAndItsStatus)
{
    sim.Poke(0x3000, Bytes(16, 0x00));
    uint8_t state = 9;
    uint32_t value = 9;
    ASSERT_EQ(frames.FlashErase(40, 1, 0, 0x3004, kSimRamBase, 0), 0);
    ASSERT_EQ(frames.FlashEraseStatus(state, value), 0);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(sim.Peek(0x3000, 16), Bytes(16, 0xFF));

    ASSERT_EQ(frames.FlashErase(40, 1, 0, 0x20000000, kSimRamBase, 0), 0);
    ASSERT_EQ(frames.FlashEraseStatus(state, value), 0);
    EXPECT_NE(state, 0) << "nothing to erase there";
    EXPECT_EQ(value, 0x20000000u);
    EXPECT_EQ(frames.FlashErase(40, 7, 0, 0x3000, kSimRamBase, 0), kStatusInvalidMode);
}

TEST_F(SimFirmware, SingleAccessesUseLittleEndianLanes)
{
    ASSERT_EQ(library.TargetWrite32(kSimRamBase, 0x11223344), 0);
    ASSERT_EQ(library.TargetWrite16(kSimRamBase + 4, 0xAABBCCDD), 0) << "only the low half is written";
    ASSERT_EQ(library.TargetWrite8(kSimRamBase + 6, 0x1FF), 0);
    EXPECT_EQ(sim.Peek(kSimRamBase, 8), (Bytes{0x44, 0x33, 0x22, 0x11, 0xDD, 0xCC, 0xFF, 0x00}));
    uint8_t b = 0;
    uint16_t h = 0;
    uint32_t w = 0;
    ASSERT_EQ(library.TargetRead8(kSimRamBase + 1, b), 0);
    ASSERT_EQ(library.TargetRead16(kSimRamBase + 2, h), 0);
    ASSERT_EQ(library.TargetRead32(kSimRamBase + 4, w), 0);
    EXPECT_EQ(b, 0x33);
    EXPECT_EQ(h, 0x1122);
    EXPECT_EQ(w, 0x00FFCCDDu);

    w = 7;
    EXPECT_EQ(library.TargetRead32(0x20000000, w), kStatusTargetAccessError);
    EXPECT_EQ(w, 7u) << "untouched on failure";
    EXPECT_EQ(library.TargetWrite8(0x20000000, 1), kStatusTargetAccessError);
}

TEST_F(SimFirmware, BlocksOfAnyLengthAndAlignment)
{
    const Bytes data = RandomBytes(40000, 1);
    ASSERT_EQ(library.TargetWriteBlock(kSimRamBase + 3, 0, static_cast<uint32_t>(data.size()), data.data()), 0);
    EXPECT_EQ(sim.Peek(kSimRamBase + 3, static_cast<uint32_t>(data.size())), data);
    Bytes back(data.size());
    ASSERT_EQ(library.TargetReadBlock(kSimRamBase + 3, 0, static_cast<uint32_t>(back.size()), back.data()), 0);
    EXPECT_EQ(back, data);

    Bytes across(64);
    EXPECT_EQ(library.TargetReadBlock(kSimRamBase + kSimRamSize - 32, 0, 64, across.data()),
              kStatusTargetAccessError);
    EXPECT_EQ(library.TargetReadBlock(0, 0, 0, nullptr), 0);
}

TEST_F(SimFirmware, RegisterWritesReachTheBoard)
{
    const SProbeRegisterId ids[3] = {{600, 13}, {601, 0}, {614, 0}};
    const uint32_t values[3] = {0x40001000, 0xD3, 0x00050078};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(library.TargetWriteRegisters(1, &ids[i], &values[i]), 0);
    auto lock = sim.Link().LockProbe();
    ASSERT_EQ(sim.RamBoard().Registers().size(), 3u);
    EXPECT_EQ(sim.RamBoard().Registers()[0].first, (std::pair<uint16_t, uint16_t>(600, 13)));
    EXPECT_EQ(sim.RamBoard().Registers()[0].second, 0x40001000u);
    EXPECT_EQ(sim.RamBoard().Registers()[2].first.first, 614);
}

SInitListRecord Entry(uint16_t type, uint32_t address, uint32_t value)
{
    SInitListRecord record;
    record.type = type;
    record.address = address;
    record.value = value;
    return record;
}

TEST_F(SimFirmware, TheMainInitListIsKeptAndRun)
{
    const std::vector<SInitListRecord> list = {
        Entry(kInitNop, 0, 0),
        Entry(kInitWm32, kSimRamBase + 0x100, 0xA0A0A0A0),
        Entry(kInitWm8, kSimRamBase + 0x104, 0x5B),
        Entry(kInitLoop, 0x10, 3),
        Entry(kInitRm32, kSimRamBase, 0),
        Entry(kInitWgpr, 7, 0x1234),
        Entry(kInitWcpsr, 0, 0xD3),
        Entry(kInitWcp15, 0x0102, 0x78),
        Entry(kInitMmap, 0, 0xFFFF),
        Entry(kInitDelay, 0, 120),
        Entry(kInitWm16, kSimRamBase + 0x200, 0xBEEF),
    };
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(library.TargetLoadInitList(0, 0x00010502, static_cast<int>(list.size()), list.data()), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120)) << "the DELAY is waited";

    // The loop ran the two writes three times, at offsets 0, 0x10 and 0x20.
    for (uint32_t offset : {0x00u, 0x10u, 0x20u}) {
        EXPECT_EQ(sim.Peek(kSimRamBase + 0x100 + offset, 5), (Bytes{0xA0, 0xA0, 0xA0, 0xA0, 0x5B})) << offset;
    }
    EXPECT_EQ(sim.Peek(kSimRamBase + 0x130, 5), Bytes(5, 0x00));
    EXPECT_EQ(sim.Peek(kSimRamBase + 0x200, 2), (Bytes{0xEF, 0xBE})) << "the offset is cleared after the loop";

    auto lock = sim.Link().LockProbe();
    const auto& regs = sim.RamBoard().Registers();
    ASSERT_EQ(regs.size(), 3u);
    EXPECT_EQ(regs[0].first, (std::pair<uint16_t, uint16_t>(600, 7)));
    EXPECT_EQ(regs[1].first, (std::pair<uint16_t, uint16_t>(601, 0)));
    EXPECT_EQ(regs[2].first, (std::pair<uint16_t, uint16_t>(614, 0x0102)));
    EXPECT_EQ(sim.Probe().Firmware().TargetOptions(), 0x00010502u);
    EXPECT_EQ(sim.Probe().Firmware().InitList().size(), list.size());
}

TEST_F(SimFirmware, InitListFailures)
{
    const std::vector<SInitListRecord> unmapped = {Entry(kInitWm32, 0x20000000, 1)};
    EXPECT_EQ(library.TargetLoadInitList(0, 2, 1, unmapped.data()), kStatusTargetAccessError);
    const std::vector<SInitListRecord> loopAtStart = {Entry(kInitNop, 0, 0), Entry(kInitLoop, 4, 2)};
    EXPECT_EQ(library.TargetLoadInitList(0, 2, 2, loopAtStart.data()), kStatusInvalidArgument);
    const std::vector<SInitListRecord> badType = {Entry(14, 0, 0)};
    EXPECT_EQ(library.TargetLoadInitList(0, 2, 1, badType.data()), kStatusInvalidArgument);

    // A wait the host never allows is refused at once, before any entry runs.
    const std::vector<SInitListRecord> endlessDelay = {Entry(kInitWm8, kSimRamBase, 0x5A),
                                                       Entry(kInitDelay, 0, 0xFFFFFFFF)};
    EXPECT_EQ(library.TargetLoadInitList(0, 2, 2, endlessDelay.data()), kStatusInitListDelay);
    uint8_t untouched = 0;
    EXPECT_EQ(library.TargetRead8(kSimRamBase, untouched), 0);
    EXPECT_NE(untouched, 0x5Au);
    const std::vector<SInitListRecord> full(kMaxInitListEntries, Entry(kInitWm8, kSimRamBase, 1));
    EXPECT_EQ(library.TargetLoadInitList(0, 2, kMaxInitListEntries, full.data()), 0);
    EXPECT_EQ(library.TargetLoadInitList(0, 2, 0, nullptr), 0);
}

TEST_F(SimFirmware, ProgramAndVerifyStreamsWithManyBlocksOnTheirWay)
{
    const Bytes image = RandomBytes(256 * 1024, 2);
    const uint32_t base = 0x20000;
    ASSERT_EQ(frames.FlashSetup(12, 2, 0xFFF00000, kSimRamBase, 0), 0);
    ASSERT_EQ(library.StreamBegin(kStreamProgram, 1), 0);
    for (uint32_t at = 0; at < image.size(); at += 1024)
        ASSERT_EQ(library.StreamBlock(base + at, 1024, image.data() + at), 0) << at;
    uint32_t failAddress = 1;
    ASSERT_EQ(library.StreamEnd(failAddress), 0);
    EXPECT_EQ(sim.Peek(base, static_cast<uint32_t>(image.size())), image);

    ASSERT_EQ(frames.FlashSetup(1, 0, 0, 0, 0), 0);
    ASSERT_EQ(library.StreamBegin(kStreamVerify, 1), 0);
    ASSERT_EQ(library.StreamBlock(base, static_cast<uint32_t>(image.size()), image.data()), 0);
    ASSERT_EQ(library.StreamEnd(failAddress), 0);

    Bytes changed = image;
    changed[0x1FFFF] ^= 0x01;
    ASSERT_EQ(library.StreamBegin(kStreamVerify, 1), 0);
    int status = 0;
    for (uint32_t at = 0; at < changed.size() && status == 0; at += 1024)
        status = library.StreamBlock(base + at, 1024, changed.data() + at);
    EXPECT_TRUE(status == 0 || status == kStatusCompareFailed);
    EXPECT_EQ(library.StreamEnd(failAddress), kStatusCompareFailed);
    EXPECT_EQ(failAddress, base + 0x1FFFF);
}

TEST_F(SimFirmware, AProgramFailureIsReportedWithItsAddressAndStopsTheStream)
{
    sim.Poke(0x8345, {0x00});
    ASSERT_EQ(frames.FlashSetup(12, 2, 0xFFF00000, kSimRamBase, 0), 0);
    // Two blocks on their way at most: the failure of the second block must
    // come back through one of the next StreamBlock calls.
    library.SetStreamWindow(2 * 1100);
    ASSERT_EQ(library.StreamBegin(kStreamProgram, 1), 0);
    const Bytes block(1024, 0x5A);
    int status = 0;
    uint32_t at = 0x8000;
    for (; at < 0x18000 && status == 0; at += 1024)
        status = library.StreamBlock(at, 1024, block.data());
    EXPECT_EQ(status, kStatusCompareFailed);
    EXPECT_LE(at, 0x8000u + 5 * 1024);
    // Once the host knows, further blocks are not even sent.
    const uint32_t requests = sim.Link().RequestsReceived();
    EXPECT_EQ(library.StreamBlock(0x18000, 1024, block.data()), kStatusCompareFailed);
    EXPECT_EQ(sim.Link().RequestsReceived(), requests);

    uint32_t failAddress = 0;
    EXPECT_EQ(library.StreamEnd(failAddress), kStatusCompareFailed);
    EXPECT_EQ(failAddress, 0x8345u);
    // The probe programmed nothing after the failing block.
    EXPECT_EQ(sim.Peek(0x8000, 0x345), Bytes(0x345, 0x5A));
    EXPECT_EQ(sim.Peek(0x8400, 0x400), Bytes(0x400, 0xFF));

    // The link is fine for what comes next.
    uint32_t value = 0;
    EXPECT_EQ(library.TargetRead32(0x8340, value), 0);
}

TEST_F(SimFirmware, StreamsUsedOutOfOrder)
{
    const uint8_t byte = 0;
    uint32_t failAddress = 0;
    EXPECT_EQ(library.StreamBlock(0, 1, &byte), kStatusStreamState);
    EXPECT_EQ(library.StreamEnd(failAddress), kStatusStreamState);
    EXPECT_EQ(library.StreamBegin(5, 1), kStatusInvalidArgument);
    ASSERT_EQ(library.StreamBegin(kStreamProgram, 1), 0);
    EXPECT_EQ(library.StreamBegin(kStreamProgram, 1), kStatusStreamState);
    EXPECT_EQ(library.StreamEnd(failAddress), 0);
}

} // namespace
