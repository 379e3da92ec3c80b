// Program and verify through the command classes against a simulated board:
// a range of many spans (a scattered file) runs over one connection, and a
// failed verify reads the target back and explains what differs.
#include "commands/erase_command.h"
#include "commands/program_command.h"
#include "commands/verify_command.h"
#include "probe/probe_frames.h"
#include "flash/operation_texts.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"
#include "project/qpg_doc.h"
#include "support/recording_operation_view.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kRamMarker = kDemoRamBase + 0x100;

CCodeList OneWrite(uint32_t address, uint32_t value)
{
    CCodeList list;
    list.Add(CCodeItem(CCodeItem::Wm32, address, value, ""));
    return list;
}

class SpansTest : public ::testing::Test {
  protected:
    explicit SpansTest(const std::string& board = CBoardFile::DefaultText()) : sim(board, CSimFixture::Tcp())
    {
        EXPECT_EQ(doc.image.Open(0, dir.Path().string()), 0);
        doc.memoryType = kDemoDevice;
        doc.busWidth = 1; // 16 bits
        doc.physicalRange.Set(kDemoFlashBase, kDemoFlashSize, 1);
        doc.image.SetBase(kDemoFlashBase);
    }

    STargetContext Context() { return STargetContext{library, box, view, sim.ChannelText()}; }

    // Writes `count` spans of `size` bytes, `step` apart, from the flash base.
    std::vector<CMemoryRange> WriteSpans(int count, uint32_t size = 16, uint32_t step = 0x400)
    {
        std::vector<CMemoryRange> spans;
        for (int i = 0; i < count; ++i) {
            const uint32_t at = kDemoFlashBase + static_cast<uint32_t>(i) * step;
            std::vector<uint8_t> bytes(size);
            for (size_t k = 0; k < bytes.size(); ++k)
                bytes[k] = static_cast<uint8_t>(i * 7 + k);
            EXPECT_EQ(doc.image.WriteBlock(at, bytes.data(), size), 0);
            spans.push_back(CMemoryRange(at, size, true));
        }
        return spans;
    }

    size_t FlashSetups() const { return static_cast<size_t>(std::count(library.commands.begin(), library.commands.end(), kCmdFlashSetup)); }

    CSimFixture sim;
    CRecordingLibrary library;
    CTempDir dir;
    CQpgDoc doc{false};
    CScriptedMessageBox box;
    CRecordingOperationView view;
};

TEST_F(SpansTest, ScatteredSpansProgramAndVerifyOverOneConnectionEach)
{
    const std::vector<CMemoryRange> spans = WriteSpans(40);
    // The lists count their runs in target RAM: the pre-list adds nothing
    // visible, so each list writes its own marker value.
    doc.preProgramList = OneWrite(kRamMarker, 0x11111111);
    doc.postProgramList = OneWrite(kRamMarker + 4, 0x22222222);

    CProgramCommand program(doc, Context());
    program.operation.spans = spans;
    ASSERT_EQ(program.Start(), ETargetResult::Done) << view.LastStatus();
    EXPECT_EQ(library.opens, 1);
    EXPECT_EQ(library.disconnects, 1);
    EXPECT_EQ(library.loadedLists.size(), 1u); // the main list, once
    size_t preWrites = 0, postWrites = 0;
    for (const auto& w : library.writes) {
        preWrites += w.address == kRamMarker;
        postWrites += w.address == kRamMarker + 4;
    }
    EXPECT_EQ(preWrites, 1u);
    EXPECT_EQ(postWrites, 1u);
    // One setup and one stream for the step; every block carries its span's address.
    EXPECT_EQ(library.streamModes, std::vector<int>{kStreamProgram});
    EXPECT_EQ(FlashSetups(), 1u);
    ASSERT_EQ(library.blocks.size(), 40u);
    for (size_t i = 0; i < spans.size(); ++i)
        EXPECT_EQ(library.blocks[i].address, spans[i].GetStart()) << i;
    const SOperationResult& programmed = program.operation.Result();
    EXPECT_TRUE(programmed.Ok());
    EXPECT_EQ(programmed.bytes, 40u * 16);
    EXPECT_EQ(programmed.spans, 40u);
    EXPECT_EQ(view.LastStatus().rfind("40 spans: 640 bytes successful programmed", 0), 0u)
        << view.LastStatus();
    for (const CMemoryRange& s : spans) {
        std::vector<uint8_t> image(16);
        doc.image.ReadBlock(s.GetStart(), image.data(), 16);
        ASSERT_EQ(sim.Peek(s.GetStart(), 16), image) << std::hex << s.GetStart();
    }

    CVerifyCommand verify(doc, Context());
    verify.operation.spans = spans;
    ASSERT_EQ(verify.Start(), ETargetResult::Done) << view.LastStatus();
    EXPECT_EQ(library.opens, 2);
    EXPECT_EQ(verify.operation.Result().bytes, 640u);
    EXPECT_EQ(library.streamModes, (std::vector<int>{kStreamProgram, kStreamVerify}));
    EXPECT_EQ(FlashSetups(), 3u); // the verify's setup and the one that leaves verify mode
    // One status line for the step's start and one for its end, not one per span.
    size_t spanLines = 0;
    for (const std::string& status : view.statuses)
        spanLines += status.find("16 bytes") != std::string::npos;
    EXPECT_EQ(spanLines, 0u);
    EXPECT_NE(std::find(view.statuses.begin(), view.statuses.end(), "Verifying 640 bytes in 40 spans ..."),
              view.statuses.end());
    EXPECT_EQ(view.details.size(), 80u); // a detail line per span and step, for --verbose
    EXPECT_EQ(view.details.back(), "  Verifying span 40 of 40: 80009C00..80009C0F (16 bytes)");
}

// A scattered file of 200 spans: a failure in the 150th names its exact
// address, and the spans after it are left alone.
class StuckInSpan150Test : public SpansTest {
  protected:
    static constexpr uint32_t kStuck = kDemoFlashBase + 149 * 0x400 + 5;
    StuckInSpan150Test()
        : SpansTest(std::string(CBoardFile::DefaultText()) + "fault stuck 0x80025405 bit=3 value=0\n")
    {
        static_assert(kStuck == 0x80025405);
    }
};

TEST_F(StuckInSpan150Test, TheFailureAddressIsExactAndTheSpanIsNamed)
{
    const std::vector<CMemoryRange> spans = WriteSpans(200);
    // Bit 3 of the image byte there is 1: the stuck bit cannot hold it.
    const uint8_t byte = doc.image.ReadByte(kStuck);
    ASSERT_NE(byte & 0x08, 0) << std::hex << unsigned(byte);
    CProgramCommand program(doc, Context());
    program.operation.spans = spans;
    EXPECT_EQ(program.Start(), ETargetResult::OperationFailed);
    const SOperationResult& r = program.operation.Result();
    EXPECT_EQ(r.status, EOperationStatus::ProgramFailed);
    EXPECT_EQ(r.address, kStuck);
    EXPECT_EQ(r.spans, 150u);
    EXPECT_EQ(r.doneBytes, 149u * 16 + 5);
    EXPECT_EQ(library.streamModes.size(), 1u);
    EXPECT_NE(std::find(view.statuses.begin(), view.statuses.end(),
                        "Programming target memory failed at address 0x80025405."),
              view.statuses.end());
    // The spans before it are programmed, the one after it is not.
    std::vector<uint8_t> image(16);
    doc.image.ReadBlock(spans[148].GetStart(), image.data(), 16);
    EXPECT_EQ(sim.Peek(spans[148].GetStart(), 16), image);
    EXPECT_EQ(sim.Peek(spans[199].GetStart(), 16), std::vector<uint8_t>(16, 0xFF));

    // Verify of the same file: the first difference is the stuck bit, and
    // the read back covers the rest of span 150 and every span after it.
    CVerifyCommand verify(doc, Context());
    verify.operation.spans = spans;
    EXPECT_EQ(verify.Start(), ETargetResult::OperationFailed);
    const SOperationResult& v = verify.operation.Result();
    EXPECT_EQ(v.status, EOperationStatus::CompareFailed);
    EXPECT_EQ(v.address, kStuck);
    EXPECT_EQ(v.spans, 150u);
    ASSERT_TRUE(v.diagnosis.has_value());
    EXPECT_TRUE(v.diagnosis->Complete()) << v.diagnosis->stoppedBy;
    EXPECT_EQ(v.diagnosis->rangeBytes, 11u + 50 * 16);
    EXPECT_EQ(v.diagnosis->bytesRead, v.diagnosis->rangeBytes);
    EXPECT_EQ(library.streamModes.size(), 2u);
}

TEST_F(SpansTest, StopInTheMiddleOfAScatteredStreamGivesItsExactAddress)
{
    // Spans of 2048 bytes (two blocks each), 0x1000 apart: the stop comes
    // after the first block of the 3rd span.
    const std::vector<CMemoryRange> spans = WriteSpans(8, 0x800, 0x1000);
    view.cancelAfterEvents = 5;
    CProgramCommand program(doc, Context());
    program.operation.spans = spans;
    EXPECT_EQ(program.Start(), ETargetResult::Stopped);
    const SOperationResult& r = program.operation.Result();
    EXPECT_EQ(r.status, EOperationStatus::Cancelled);
    EXPECT_EQ(r.address, kDemoFlashBase + 0x2400);
    EXPECT_EQ(r.doneBytes, 5u * 1024);
    EXPECT_EQ(r.spans, 3u);
    EXPECT_NE(std::find(view.statuses.begin(), view.statuses.end(),
                        "Programming cancelled at address 80002400 after 5120 of 16384 bytes."),
              view.statuses.end());
    EXPECT_EQ(library.streamModes.size(), 1u);
    // What was sent is programmed; nothing from the stop on.
    std::vector<uint8_t> image(0x400);
    doc.image.ReadBlock(kDemoFlashBase + 0x2000, image.data(), 0x400);
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x2000, 0x400), image);
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x2400, 0x400), std::vector<uint8_t>(0x400, 0xFF));
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x3000, 16), std::vector<uint8_t>(16, 0xFF));
}

TEST_F(SpansTest, AFailingSpanEndsTheRunAndNamesItsAddress)
{
    std::vector<CMemoryRange> spans = WriteSpans(3);
    // Span 2 lies outside the physical range: nothing is sent at all.
    spans.insert(spans.begin() + 1, CMemoryRange(kDemoFlashBase + kDemoFlashSize - 8, 16, true));
    CProgramCommand program(doc, Context());
    program.operation.spans = spans;
    EXPECT_EQ(program.Start(), ETargetResult::InvalidRange);
    EXPECT_EQ(library.opens, 0);

    // Verify of blank flash fails in the first span; the later spans are not streamed.
    spans = WriteSpans(3);
    CVerifyCommand verify(doc, Context());
    verify.operation.spans = spans;
    EXPECT_EQ(verify.Start(), ETargetResult::OperationFailed);
    EXPECT_EQ(library.opens, 1);
    EXPECT_EQ(library.streamModes.size(), 1u);
    const SOperationResult& r = verify.operation.Result();
    EXPECT_EQ(r.status, EOperationStatus::CompareFailed);
    EXPECT_EQ(r.spans, 1u);
    EXPECT_EQ(r.address, kDemoFlashBase); // the image's first byte is 00, blank flash reads FF
}

// Two bits stuck at 0, a sector left unerased and four bytes never
// programmed: the read back counts each exactly.
class DiagnosisTest : public SpansTest {
  protected:
    DiagnosisTest()
        : SpansTest(std::string(CBoardFile::DefaultText()) + "fault stuck 0x80000011 bit=3 value=0\n"
                                                             "fault stuck 0x80000102 bit=0 value=0\n")
    {
    }
};

TEST_F(DiagnosisTest, AFailedVerifyCountsTheDifferencesBothWaysAndNamesTheSectors)
{
    // Sector 1 (from 0x80004000) holds 0x0F in 16 bytes from an earlier
    // image and is not erased for the new one, which wants 0xFF there.
    std::vector<uint8_t> bytes(16, 0x0F);
    ASSERT_EQ(doc.image.WriteBlock(kDemoFlashBase + 0x4000, bytes.data(), 16), 0);
    CProgramCommand program(doc, Context());
    program.operation.range.Set(kDemoFlashBase + 0x4000, 16, true);
    ASSERT_EQ(program.Start(), ETargetResult::Done) << view.LastStatus();
    // The new image: 0xFF everywhere but four bytes of 0x00 at 0x80000300
    // that were never programmed.
    bytes.assign(0x4010, 0xFF);
    bytes[0x300] = bytes[0x301] = bytes[0x302] = bytes[0x303] = 0x00;
    ASSERT_EQ(doc.image.WriteBlock(kDemoFlashBase, bytes.data(), 0x4010), 0);

    CVerifyCommand verify(doc, Context());
    verify.operation.range.Set(kDemoFlashBase, 0x4010, true);
    ASSERT_EQ(verify.Start(), ETargetResult::OperationFailed);
    const SOperationResult& r = verify.operation.Result();
    ASSERT_EQ(r.status, EOperationStatus::CompareFailed);
    EXPECT_EQ(r.address, 0x80000011u);
    EXPECT_EQ(r.targetByte, 0xF7);
    ASSERT_TRUE(r.diagnosis.has_value());
    const SVerifyDiagnosis& d = *r.diagnosis;
    EXPECT_TRUE(d.Complete()) << d.stoppedBy;
    EXPECT_EQ(d.from, 0x80000011u);
    EXPECT_EQ(d.bytesRead, 0x4010u - 0x11);
    EXPECT_EQ(d.differingBytes, 2u + 4 + 16);
    EXPECT_EQ(d.bitsReadZero, 1u + 1 + 16 * 4); // stuck bits and the unerased sector
    EXPECT_EQ(d.bitsReadOne, 4u * 8);           // the bytes never programmed
    ASSERT_EQ(d.first.size(), SVerifyDiagnosis::kListed);
    const std::vector<uint32_t> expected = {
        0x80000011, 0x80000102, 0x80000300, 0x80000301, 0x80000302, 0x80000303, 0x80004000, 0x80004001,
        0x80004002, 0x80004003, 0x80004004, 0x80004005, 0x80004006, 0x80004007, 0x80004008, 0x80004009};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(d.first[i].address, expected[i]) << i;
    EXPECT_EQ(d.first[1].imageByte, 0xFF);
    EXPECT_EQ(d.first[1].targetByte, 0xFE);
    EXPECT_EQ(d.first[2].targetByte, 0xFF);
    ASSERT_EQ(d.sectors.size(), 2u);
    EXPECT_EQ(d.sectors[0].sector, 0u);
    EXPECT_EQ(d.sectors[1].sector, 1u);
    const std::string text = COperationTexts::Details(r); // the failure box's details
    EXPECT_EQ(text, d.Text());
    EXPECT_NE(text.find("22 bytes differ"), std::string::npos) << text;
    EXPECT_NE(text.find("80000011  Image = FF, Target = F7"), std::string::npos) << text;
    EXPECT_NE(text.find("bank 0 sector 1 (80004000..80005FFF)"), std::string::npos) << text;
}

TEST_F(DiagnosisTest, TheReadBackCoversEverySpanAfterTheFirstDifference)
{
    // Span 2 (in sector 1) holds 0x00 from an earlier image; the new one
    // wants 0x5A there: 256 bytes not erased. Span 1 (blank, the image FF)
    // differs only at the stuck bit at 0x80000011.
    const CMemoryRange first(kDemoFlashBase, 0x40, true), second(kDemoFlashBase + 0x4000, 0x100, true);
    std::vector<uint8_t> bytes(0x100, 0x00);
    ASSERT_EQ(doc.image.WriteBlock(second.GetStart(), bytes.data(), 0x100), 0);
    CProgramCommand program(doc, Context());
    program.operation.range = second;
    ASSERT_EQ(program.Start(), ETargetResult::Done) << view.LastStatus();
    bytes.assign(0x100, 0x5A);
    ASSERT_EQ(doc.image.WriteBlock(second.GetStart(), bytes.data(), 0x100), 0);
    bytes.assign(0x40, 0xFF);
    ASSERT_EQ(doc.image.WriteBlock(first.GetStart(), bytes.data(), 0x40), 0);

    CVerifyCommand verify(doc, Context());
    verify.operation.spans = {first, second};
    ASSERT_EQ(verify.Start(), ETargetResult::OperationFailed);
    const SOperationResult& r = verify.operation.Result();
    EXPECT_EQ(r.address, 0x80000011u);
    EXPECT_EQ(r.spans, 1u);
    ASSERT_TRUE(r.diagnosis.has_value());
    const SVerifyDiagnosis& d = *r.diagnosis;
    EXPECT_TRUE(d.Complete()) << d.stoppedBy;
    EXPECT_EQ(d.rangeBytes, 0x40u - 0x11 + 0x100);
    EXPECT_EQ(d.bytesRead, d.rangeBytes);
    EXPECT_EQ(d.differingBytes, 1u + 0x100);
    EXPECT_EQ(d.bitsReadZero, 1u + 0x100 * 4);
    ASSERT_EQ(d.sectors.size(), 2u);
    EXPECT_EQ(d.sectors[0].sector, 0u);
    EXPECT_EQ(d.sectors[1].sector, 1u);
    EXPECT_NE(d.Text().find("257 bytes differ"), std::string::npos) << d.Text();
}

TEST_F(DiagnosisTest, AVerifyThatPassesReadsNothingBack)
{
    std::vector<uint8_t> bytes(0x40, 0xA5);
    ASSERT_EQ(doc.image.WriteBlock(kDemoFlashBase + 0x1000, bytes.data(), 0x40), 0);
    CProgramCommand program(doc, Context());
    program.operation.range.Set(kDemoFlashBase + 0x1000, 0x40, true);
    ASSERT_EQ(program.Start(), ETargetResult::Done);
    CVerifyCommand verify(doc, Context());
    verify.operation.range.Set(kDemoFlashBase + 0x1000, 0x40, true);
    const size_t before = library.commands.size();
    ASSERT_EQ(verify.Start(), ETargetResult::Done);
    EXPECT_FALSE(verify.operation.Result().diagnosis.has_value());
    // The same frames as any passing verify: setup, the stream, the setup
    // that leaves verify mode; no read back.
    for (const std::string& status : view.statuses)
        EXPECT_EQ(status.find("Reading back"), std::string::npos) << status;
    EXPECT_GT(library.commands.size(), before);
}

} // namespace
