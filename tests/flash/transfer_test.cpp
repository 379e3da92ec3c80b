#include "flash/transfer.h"

#include "probe/target_connection.h"
#include "project/memory_image.h"
#include "support/manual_clock.h"
#include "support/scripted_message_box.h"
#include "catalogue/flash_catalogue.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>


namespace {

SProgramTarget DemoTarget()
{
    SProgramTarget target;
    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(kDemoDevice);
    EXPECT_NE(device, nullptr);
    target.programAlgorithm = device->programAlgorithm;
    target.deviceWidth = device->deviceWidth;
    target.deviceSize = device->DeviceSizeBytes();
    target.pageSize = device->pageSize;
    target.busWidthBytes = 2;
    target.flashBase = kDemoFlashBase;
    return target;
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return bytes;
}

// A connected target on a simulated board, and an image over its flash.
class TransferTest : public ::testing::Test {
protected:
    explicit TransferTest(const std::string& board = CBoardFile::DefaultText()) : sim(board, CSimFixture::Tcp())
    {
        EXPECT_EQ(image.Open(kDemoFlashBase), 0);
        EXPECT_TRUE(connection.ConnectTarget(&view));
    }

    void Fill(uint32_t address, const std::vector<uint8_t>& bytes)
    {
        ASSERT_EQ(image.WriteBlock(address, bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
    }

    CSimFixture sim;
    CRecordingLibrary library;
    CScriptedMessageBox box;
    CRecordingOperationView view;
    CManualClock clock{1};
    CTargetConnection connection{library, box, sim.ChannelText(), clock};
    CMemoryImage image;
    CTransfer transfer{connection, image, view};
};

TEST_F(TransferTest, ProgramsTheRangeInBlocksAlignedToTheFlashBase)
{
    const uint32_t start = kDemoFlashBase + 0x3FE;
    const std::vector<uint8_t> bytes = Pattern(10, 0x30);
    Fill(start, bytes);
    ASSERT_TRUE(transfer.ProgramRange(CMemoryRange(start, 10, 1), DemoTarget())) << view.LastStatus();
    ASSERT_EQ(library.blocks.size(), 2u);
    EXPECT_EQ(library.blocks[0].address, start);
    EXPECT_EQ(library.blocks[0].length, 2u);
    EXPECT_EQ(library.blocks[1].address, start + 2);
    EXPECT_EQ(library.blocks[1].length, 8u);
    EXPECT_EQ(library.streamModes, std::vector<int>{kStreamProgram});
    EXPECT_EQ(view.statuses[1], "Programming 10 bytes...");
    EXPECT_EQ(view.LastStatus().rfind("10 bytes successful programmed", 0), 0u) << view.LastStatus();
    EXPECT_EQ(view.progress.back(), 100);
    EXPECT_EQ(sim.Peek(start, 10), bytes);
    EXPECT_EQ(sim.Peek(start - 1, 1)[0], 0xFF);
    EXPECT_EQ(sim.Peek(start + 10, 1)[0], 0xFF);
}

TEST_F(TransferTest, ProgramsVerifiesAndDumpsALargerRange)
{
    const uint32_t start = kDemoFlashBase + 0x10000;
    const std::vector<uint8_t> bytes = Pattern(40000, 0x5A);
    Fill(start, bytes);
    const CMemoryRange range(start, 40000, 1);
    ASSERT_TRUE(transfer.ProgramRange(range, DemoTarget())) << view.LastStatus();
    EXPECT_EQ(library.blocks.size(), 40u); // 40000 bytes from an aligned start: 39 x 1024 + 64
    EXPECT_EQ(sim.Peek(start, 40000), bytes);
    // Progress moves once per percent at most and ends at 100.
    EXPECT_LE(view.progress.size(), 102u);
    EXPECT_TRUE(std::is_sorted(view.progress.begin(), view.progress.end()));

    ASSERT_TRUE(transfer.VerifyRange(range)) << view.LastStatus();
    EXPECT_EQ(view.LastStatus().rfind("40000 bytes successful verified", 0), 0u) << view.LastStatus();

    image.Clear();
    ASSERT_TRUE(transfer.DumpRange(range)) << view.LastStatus();
    EXPECT_EQ(view.LastStatus().rfind("40000 bytes successful dumped", 0), 0u) << view.LastStatus();
    std::vector<uint8_t> dumped(40000);
    image.ReadBlock(start, dumped.data(), 40000);
    EXPECT_EQ(dumped, bytes);
}

TEST_F(TransferTest, ProgressComesAsTypedEventsOfAcknowledgedBytes)
{
    Fill(kDemoFlashBase, Pattern(3000, 3));
    ASSERT_TRUE(transfer.ProgramRange(CMemoryRange(kDemoFlashBase, 3000, 1), DemoTarget()).Ok());
    // One event per block (1024 + 1024 + 952) with what the probe had
    // acknowledged by then, never more than was sent; a last one once all is.
    ASSERT_EQ(view.events.size(), 4u);
    const uint64_t sent[] = {1024, 2048, 3000, 3000};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(view.events[i].kind, EOperationKind::Program);
        EXPECT_LE(view.events[i].done, sent[i]) << i;
        EXPECT_EQ(view.events[i].total, 3000u);
        if (i > 0) {
            EXPECT_GE(view.events[i].done, view.events[i - 1].done) << i;
        }
    }
    EXPECT_EQ(view.events[3].done, 3000u);
}

TEST_F(TransferTest, ACancelBetweenBlocksEndsTheStreamAndSaysWhere)
{
    const std::vector<uint8_t> bytes = Pattern(8192, 9);
    Fill(kDemoFlashBase, bytes);
    view.cancelAfterEvents = 2;
    const SOperationResult result = transfer.ProgramRange(CMemoryRange(kDemoFlashBase, 8192, 1), DemoTarget());
    EXPECT_EQ(result.status, EOperationStatus::Cancelled);
    EXPECT_EQ(result.doneBytes, 2048u);
    EXPECT_EQ(result.address, kDemoFlashBase + 2048);
    EXPECT_EQ(view.LastStatus(), "Programming cancelled at address 80000800 after 2048 of 8192 bytes.");
    EXPECT_EQ(library.blocks.size(), 2u);
    // The two blocks sent are programmed, nothing after them.
    EXPECT_EQ(sim.Peek(kDemoFlashBase, 2048), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2048));
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 2048, 1)[0], 0xFF);
    // The probe is left in order: the next transfer works.
    view.cancelAfterEvents = -1;
    EXPECT_TRUE(transfer.VerifyRange(CMemoryRange(kDemoFlashBase, 2048, 1)).Ok()) << view.LastStatus();

    view.cancelAfterEvents = 0;
    EXPECT_EQ(transfer.DumpRange(CMemoryRange(kDemoFlashBase, 4096, 1)).status, EOperationStatus::Cancelled);
    EXPECT_EQ(view.LastStatus(), "Dumping cancelled at address 80000000 after 0 of 4096 bytes.");
}

TEST_F(TransferTest, VerifyMismatchNamesAddressImageAndTargetBytes)
{
    Fill(kDemoFlashBase + 0x1000, {0x12});
    const SOperationResult result = transfer.VerifyRange(CMemoryRange(kDemoFlashBase, 0x2000, 1));
    EXPECT_EQ(result.status, EOperationStatus::CompareFailed);
    EXPECT_EQ(result.address, kDemoFlashBase + 0x1000);
    EXPECT_EQ(result.imageByte, 0x12);
    EXPECT_EQ(result.targetByte, 0xFF);
    EXPECT_EQ(view.LastStatus(), "Verify failed at address 80001000. Image = 12, Target = FF");
    // The verify mode is left with a FlashSetup of zeros afterwards.
    ASSERT_GE(library.commands.size(), 2u);
    EXPECT_EQ(library.commands.back(), kCmdFlashSetup);
}

TEST_F(TransferTest, SizeZeroSendsNothing)
{
    const size_t before = library.commands.size();
    EXPECT_FALSE(transfer.ProgramRange(CMemoryRange(kDemoFlashBase, 0, 1), DemoTarget()));
    EXPECT_EQ(view.LastStatus(), "Program code size is 0 !");
    EXPECT_FALSE(transfer.VerifyRange(CMemoryRange(kDemoFlashBase, 0, 1)));
    EXPECT_EQ(view.LastStatus(), "Verify code size is 0!");
    EXPECT_EQ(library.commands.size(), before);
    EXPECT_TRUE(library.streamModes.empty());
}

TEST_F(TransferTest, PageSizeOf512FailsAfterFlashSetup)
{
    SProgramTarget target = DemoTarget();
    target.pageSize = 512;
    Fill(kDemoFlashBase, Pattern(16, 1));
    EXPECT_FALSE(transfer.ProgramRange(CMemoryRange(kDemoFlashBase, 16, 1), target));
    EXPECT_EQ(view.LastStatus(), "Loading page data failed.");
    ASSERT_FALSE(library.commands.empty());
    EXPECT_EQ(library.commands.back(), kCmdFlashSetup);
    EXPECT_TRUE(library.streamModes.empty());
    EXPECT_TRUE(library.blocks.empty());
    EXPECT_EQ(sim.Peek(kDemoFlashBase, 1)[0], 0xFF);
}

TEST_F(TransferTest, DumpOfUnansweredMemoryReportsTheLibraryText)
{
    EXPECT_FALSE(transfer.DumpRange(CMemoryRange(0x10000000, 0x800, 1)));
    EXPECT_EQ(view.LastStatus(), "Reading target memory at address 0x10000000: " +
                                     library.LinkErrorText(kStatusTargetAccessError));
}

TEST_F(TransferTest, DumpThatTheImageCannotHoldIsAFailure)
{
    // RAM below the image's base: the target answers, the image cannot keep it.
    EXPECT_FALSE(transfer.DumpRange(CMemoryRange(kDemoRamBase, 0x10, 1)));
    EXPECT_EQ(view.LastStatus(), "Writing the memory image failed at address 0x40000000.");
}

TEST_F(TransferTest, AReadBackStoppedByItsLimitSaysSo)
{
    // Blank flash, an image of 0x12: every byte differs.
    const std::vector<CMemoryRange> spans = {CMemoryRange(kDemoFlashBase, 0x1000, 1),
                                             CMemoryRange(kDemoFlashBase + 0x4000, 0x1000, 1)};
    for (const CMemoryRange& s : spans)
        Fill(s.GetStart(), std::vector<uint8_t>(s.GetSize(), 0x12));
    transfer.SetReadBackLimit(0x1800);
    const SOperationResult r = transfer.VerifySpans(spans);
    ASSERT_EQ(r.status, EOperationStatus::CompareFailed);
    ASSERT_TRUE(r.diagnosis.has_value());
    EXPECT_FALSE(r.diagnosis->Complete());
    EXPECT_EQ(r.diagnosis->rangeBytes, 0x2000u);
    EXPECT_EQ(r.diagnosis->bytesRead, 0x1800u);
    EXPECT_EQ(r.diagnosis->differingBytes, 0x1800u);
    EXPECT_EQ(r.diagnosis->stoppedBy, "it reached its limit of 6144 bytes.");
    EXPECT_NE(r.diagnosis->Text().find("The read back ended early: it reached its limit"), std::string::npos);
}

TEST_F(TransferTest, MatchingFindsEveryDifferingSpanInFewStreams)
{
    // Five spans; the 2nd and 4th differ from blank flash, the others are FF.
    std::vector<CMemoryRange> spans;
    for (uint32_t i = 0; i < 5; ++i) {
        spans.emplace_back(kDemoFlashBase + i * 0x800, 0x100, 1);
        Fill(spans.back().GetStart(), std::vector<uint8_t>(0x100, i % 2 ? 0x00 : 0xFF));
    }
    std::vector<bool> matching;
    const SOperationResult r = transfer.Matching(spans, matching);
    ASSERT_TRUE(r.Ok()) << view.LastStatus();
    EXPECT_EQ(matching, (std::vector<bool>{true, false, true, false, true}));
    // A stream to the first difference, one on to the next, one to the end.
    EXPECT_EQ(library.streamModes, std::vector<int>(3, kStreamVerify));
    EXPECT_EQ(view.events.back().total, 0x500u);
}

TEST_F(TransferTest, DumpSpansReadsEachSpanAndStopsAtItsExactAddress)
{
    const std::vector<CMemoryRange> spans = {CMemoryRange(kDemoFlashBase + 0x100, 0x20, 1),
                                             CMemoryRange(kDemoFlashBase + 0x2000, 0x800, 1)};
    Fill(kDemoFlashBase + 0x100, Pattern(0x20, 1));
    Fill(kDemoFlashBase + 0x2000, Pattern(0x8000, 2));
    ASSERT_TRUE(transfer.ProgramSpans({spans[0], CMemoryRange(kDemoFlashBase + 0x2000, 0x8000, 1)}, DemoTarget()));
    image.Clear();
    const SOperationResult r = transfer.DumpSpans(spans);
    ASSERT_TRUE(r.Ok()) << view.LastStatus();
    EXPECT_EQ(view.LastStatus().rfind("2 spans: 2080 bytes successful dumped", 0), 0u) << view.LastStatus();
    std::vector<uint8_t> dumped(0x800);
    image.ReadBlock(kDemoFlashBase + 0x2000, dumped.data(), 0x800);
    EXPECT_EQ(dumped, Pattern(0x800, 2));
    EXPECT_EQ(image.ReadByte(kDemoFlashBase + 0x120), 0xFF); // between the spans: not read

    // Stop is asked between batches of reads (16 KiB): the first batch
    // takes the small span and 15 blocks of the large one.
    const std::vector<CMemoryRange> large = {spans[0], CMemoryRange(kDemoFlashBase + 0x2000, 0x8000, 1)};
    image.Clear();
    view.events.clear();
    view.cancelAfterEvents = 2;
    const SOperationResult stopped = transfer.DumpSpans(large);
    EXPECT_EQ(stopped.status, EOperationStatus::Cancelled);
    EXPECT_EQ(stopped.address, kDemoFlashBase + 0x2000 + 15 * 0x400);
    EXPECT_EQ(stopped.doneBytes, 0x20u + 15 * 0x400);
    EXPECT_EQ(view.LastStatus(), "Dumping cancelled at address 80005C00 after 15392 of 32800 bytes.");
    EXPECT_EQ(image.ReadByte(kDemoFlashBase + 0x5BFF), Pattern(0x8000, 2)[0x3BFF]);
    EXPECT_EQ(image.ReadByte(kDemoFlashBase + 0x5C00), 0xFF);
}

class StuckBitTransferTest : public TransferTest {
protected:
    StuckBitTransferTest()
        : TransferTest(std::string(CBoardFile::DefaultText()) + "fault stuck 0x80000805 bit=1 value=0\n")
    {
    }
};

TEST_F(StuckBitTransferTest, ProgrammingFailureNamesTheAddress)
{
    Fill(kDemoFlashBase, std::vector<uint8_t>(0x1000, 0xA7)); // bit 1 set everywhere
    const SOperationResult result = transfer.ProgramRange(CMemoryRange(kDemoFlashBase, 0x1000, 1), DemoTarget());
    EXPECT_EQ(result.status, EOperationStatus::ProgramFailed);
    EXPECT_EQ(result.address, 0x80000805u);
    EXPECT_EQ(view.LastStatus(), "Programming target memory failed at address 0x80000805.");
    // What was programmed before the failure stays programmed.
    EXPECT_EQ(sim.Peek(kDemoFlashBase, 1)[0], 0xA7);
}

TEST(TransferRules, BlockSizes)
{
    struct SCase {
        uint32_t algorithm, pageSize, bus, width, expected;
    } cases[] = {
        {16, 256, 2, 2, 64}, {33, 0, 2, 2, 1024}, {27, 256, 1, 1, 256}, {28, 256, 2, 2, 256},
        {27, 256, 4, 1, 1024}, {28, 256, 2, 4, 128}, {27, 512, 1, 1, 512}, {27, 256, 1, 0, 0},
    };
    for (const SCase& c : cases) {
        SProgramTarget target;
        target.programAlgorithm = c.algorithm;
        target.pageSize = c.pageSize;
        target.busWidthBytes = c.bus;
        target.deviceWidth = c.width;
        EXPECT_EQ(CTransfer::BlockSize(target), c.expected) << c.algorithm << "/" << c.pageSize;
    }
    EXPECT_EQ(CTransfer::FirstBlockLength(0x800003FE, 10, 0x80000000, 1024), 2u);
    EXPECT_EQ(CTransfer::FirstBlockLength(0x80000400, 10, 0x80000000, 1024), 10u);
    EXPECT_EQ(CTransfer::FirstBlockLength(0x80000400, 5000, 0x80000000, 1024), 1024u);
    EXPECT_EQ(CTransfer::FirstBlockLength(0x7FFFFFF0, 100, 0x80000000, 64), 16u); // start below the base
}

TEST(TransferRules, ProgramRateTexts)
{
    EXPECT_EQ(CTransfer::ProgramRateText(2000, 1000), "2000 bytes successful programmed (2000 Byte/s)");
    EXPECT_EQ(CTransfer::ProgramRateText(3000, 1000), "3000 bytes successful programmed (3 kB/s)");
    // Under a tenth of a second no rate is given: it would say more about the clock than the link.
    EXPECT_EQ(CTransfer::ProgramRateText(10, 0), "10 bytes successful programmed");
    EXPECT_EQ(CTransfer::ProgramRateText(44, 99), "44 bytes successful programmed");
    EXPECT_EQ(CTransfer::ProgramRateText(440, 100), "440 bytes successful programmed (4 kB/s)");
    EXPECT_EQ(CTransfer::ProgramRateText(0xFFFFFFFF, 1000000), "4294967295 bytes successful programmed (4294 kB/s)");
    EXPECT_EQ(CTransfer::ProgramRateText(0xFFFFFFFF, 2000000), "4294967295 bytes successful programmed (2147 kB/s)");
    EXPECT_EQ(CTransfer::ProgramRateText(5000, 2000000), "5000 bytes successful programmed (2 Byte/s)");
}

} // namespace
