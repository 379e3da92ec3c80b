#include "flash/dump_operation.h"
#include "flash/program_operation.h"
#include "flash/verify_operation.h"

#include "probe/target_connection.h"
#include "project/memory_image.h"
#include "probe/probe_frames.h"
#include "support/manual_clock.h"
#include "support/scripted_message_box.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

namespace {

const CMemoryRange kDemoPhysical(kDemoFlashBase, kDemoFlashSize, 1);

std::vector<uint8_t> Pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(seed ^ (i * 13) ^ (i >> 7));
    return bytes;
}

CCodeList OneWrite(uint32_t address, uint32_t value)
{
    CCodeList list;
    list.Add(CCodeItem(CCodeItem::Wm32, address, value, ""));
    return list;
}

// Target commands against the demo board.
class TargetOperationTest : public ::testing::Test {
protected:
    // `manualLink`: the link measures its timeouts on the test's manual
    // clock too, so that a reply that never comes times out at once.
    explicit TargetOperationTest(const std::string& board = CBoardFile::DefaultText(), const SSimFaults& faults = {},
                                 bool manualLink = false)
        : sim(board, CSimFixture::Tcp(faults)), library(manualLink ? static_cast<CClock&>(clock) : CSystemClock::Instance())
    {
        EXPECT_EQ(image.Open(kDemoFlashBase), 0);
    }

    template <class TOperation>
    void Prepare(TOperation& operation, uint32_t start, uint32_t size)
    {
        operation.flashDevice = kDemoDevice;
        operation.physical = kDemoPhysical;
        operation.range = CMemoryRange(start, size, 1);
        operation.mainList = OneWrite(kDemoRamBase, 0x600DF00D);
    }
    CProgramOperation Program(uint32_t start, uint32_t size)
    {
        CProgramOperation operation(library, box, view, sim.ChannelText(), image, clock);
        Prepare(operation, start, size);
        operation.flashBase = kDemoFlashBase;
        operation.busWidthBytes = 2;
        operation.preList = OneWrite(kDemoRamBase + 0x10, 0x11111111);
        operation.postList = OneWrite(kDemoRamBase + 0x20, 0x22222222);
        return operation;
    }
    void Fill(uint32_t address, const std::vector<uint8_t>& bytes)
    {
        ASSERT_EQ(image.WriteBlock(address, bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
    }
    // Every command ends with the connection ended and the cursor restored.
    void ExpectEnded()
    {
        EXPECT_FALSE(library.linkOpen);
        EXPECT_EQ(view.cursorDepth, 0);
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : box.shown) {
            EXPECT_EQ(shown.caption, "Error") << shown.text;
            texts.push_back(shown.text);
        }
        return texts;
    }
    uint32_t Ram(uint32_t address)
    {
        const std::vector<uint8_t> b = sim.Peek(address, 4);
        return b[0] | b[1] << 8 | b[2] << 16 | uint32_t(b[3]) << 24;
    }

    CManualClock clock{1};
    CSimFixture sim;
    CRecordingLibrary library;
    CScriptedMessageBox box;
    CRecordingOperationView view;
    CMemoryImage image;
};

TEST_F(TargetOperationTest, ProgramRunsListsAroundTheTransferAndVerifyAndDumpAgree)
{
    const uint32_t start = kDemoFlashBase + 0x20000;
    const std::vector<uint8_t> bytes = Pattern(5000, 0x3C);
    Fill(start, bytes);
    CProgramOperation program = Program(start, 5000);
    EXPECT_EQ(program.Start(), ETargetResult::Done) << view.LastStatus();
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(sim.Peek(start, 5000), bytes);
    EXPECT_EQ(Ram(kDemoRamBase + 0x10), 0x11111111u); // pre-list
    EXPECT_EQ(Ram(kDemoRamBase + 0x20), 0x22222222u); // post-list
    ASSERT_EQ(library.loadedLists.size(), 1u);
    EXPECT_EQ(library.loadedLists[0][0].value, 0x600DF00Du);
    EXPECT_EQ(view.statuses[2], "Processing init list ...");
    EXPECT_EQ(view.statuses[3], "Device check: the flash matches \"AMD  Am29LV160MB (1M x 16)\".");
    EXPECT_EQ(view.statuses[4], "Programming ...");
    EXPECT_EQ(view.LastStatus().rfind("5000 bytes successful programmed", 0), 0u) << view.LastStatus();
    ExpectEnded();

    CVerifyOperation verify(library, box, view, sim.ChannelText(), image, clock);
    Prepare(verify, start, 5000);
    EXPECT_EQ(verify.Start(), ETargetResult::Done) << view.LastStatus();
    EXPECT_EQ(view.LastStatus().rfind("5000 bytes successful verified", 0), 0u) << view.LastStatus();
    ExpectEnded();

    image.Clear();
    CDumpOperation dump(library, box, view, sim.ChannelText(), image, clock);
    Prepare(dump, start - 16, 5032);
    EXPECT_EQ(dump.Start(), ETargetResult::Done) << view.LastStatus();
    std::vector<uint8_t> dumped(5000);
    image.ReadBlock(start, dumped.data(), 5000);
    EXPECT_EQ(dumped, bytes);
    EXPECT_EQ(image.ReadByte(start - 1), 0xFF);
    EXPECT_TRUE(box.shown.empty());
    ExpectEnded();
}

TEST_F(TargetOperationTest, NoDeviceStopsEveryCommandBeforeAnyProbeTraffic)
{
    CProgramOperation program = Program(kDemoFlashBase, 16);
    CVerifyOperation verify(library, box, view, sim.ChannelText(), image, clock);
    CDumpOperation dump(library, box, view, sim.ChannelText(), image, clock);
    Prepare(verify, kDemoFlashBase, 16);
    Prepare(dump, kDemoFlashBase, 16);
    for (const char* name : {"NONE", "", "No such flash"}) {
        program.flashDevice = verify.flashDevice = dump.flashDevice = name;
        EXPECT_EQ(program.Start(), ETargetResult::NoDevice);
        EXPECT_EQ(verify.Start(), ETargetResult::NoDevice);
        EXPECT_EQ(dump.Start(), ETargetResult::NoDevice);
    }
    EXPECT_EQ(library.opens, 0);
    EXPECT_EQ(sim.Link().RequestsReceived(), 0u);
    ASSERT_EQ(box.shown.size(), 9u);
    for (const std::string& text : BoxTexts())
        EXPECT_EQ(text, "No valid memory device selected!");
}

TEST_F(TargetOperationTest, RangeOutsideThePhysicalRangeIsRefusedBeforeConnecting)
{
    CProgramOperation program = Program(kDemoFlashBase + kDemoFlashSize - 8, 16);
    EXPECT_EQ(program.Start(), ETargetResult::InvalidRange);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].caption, "Invalid Input");
    EXPECT_EQ(library.opens, 0);
}

TEST_F(TargetOperationTest, MainListOf129StopsEveryCommandWithTheInitListBox)
{
    CCodeList tooLong;
    for (int i = 0; i < 129; ++i)
        tooLong.Add(CCodeItem(CCodeItem::Nop, 0, 0, ""));
    Fill(kDemoFlashBase, Pattern(64, 1));
    CProgramOperation program = Program(kDemoFlashBase, 64);
    CVerifyOperation verify(library, box, view, sim.ChannelText(), image, clock);
    CDumpOperation dump(library, box, view, sim.ChannelText(), image, clock);
    Prepare(verify, kDemoFlashBase, 64);
    Prepare(dump, kDemoFlashBase, 64);
    program.mainList = verify.mainList = dump.mainList = tooLong;
    for (int i = 0; i < 3; ++i) {
        const ETargetResult result = i == 0 ? program.Start() : i == 1 ? verify.Start() : dump.Start();
        EXPECT_EQ(result, ETargetResult::InitListFailed) << i;
        EXPECT_EQ(view.LastStatus(), "Init list is to long!") << i;
        ExpectEnded();
    }
    EXPECT_TRUE(library.loadedLists.empty());
    EXPECT_TRUE(library.blocks.empty());
    EXPECT_EQ(Ram(kDemoRamBase + 0x10), 0u) << "the pre-list must not run";
    EXPECT_EQ(library.opens, 0) << "refused before the probe is touched";
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(3, "Processing target init list failed!"));
    EXPECT_EQ(sim.Peek(kDemoFlashBase, 1)[0], 0xFF);
}

// A list that cannot run is found before the flash is changed, not after,
// and the status line names the list and the entry.
TEST_F(TargetOperationTest, EveryListIsCheckedBeforeTheProbeIsTouched)
{
    CCodeList loopFirst;
    loopFirst.Add(CCodeItem(CCodeItem::Loop, 0, 2, "")); // repeats the two entries before the first
    Fill(kDemoFlashBase, Pattern(64, 1));
    for (const char* list : {"Main", "Pre-program", "Post-program"}) {
        box.shown.clear();
        CProgramOperation program = Program(kDemoFlashBase, 64);
        const std::string name = list;
        (name == "Main" ? program.mainList : name == "Pre-program" ? program.preList : program.postList) = loopFirst;
        EXPECT_EQ(program.Start(), ETargetResult::InitListFailed);
        EXPECT_EQ(view.LastStatus().rfind(name + " init list, entry 1 (LOOP", 0), 0u) << view.LastStatus();
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Processing target init list failed!"});
    }
    EXPECT_EQ(library.opens, 0);
    EXPECT_EQ(sim.Peek(kDemoFlashBase, 1)[0], 0xFF) << "the flash was not programmed";
}

TEST_F(TargetOperationTest, FailingPreListSkipsTheOperation)
{
    Fill(kDemoFlashBase, Pattern(64, 1));
    CProgramOperation program = Program(kDemoFlashBase, 64);
    program.preList = OneWrite(0x10000000, 1); // no memory there
    EXPECT_EQ(program.Start(), ETargetResult::InitListFailed);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Processing target init list failed!"});
    EXPECT_TRUE(library.blocks.empty());
    EXPECT_EQ(Ram(kDemoRamBase + 0x20), 0u) << "no post-list without the operation";
    ExpectEnded();
}

TEST_F(TargetOperationTest, FailingPostListFailsAProgramThatWorked)
{
    const std::vector<uint8_t> bytes = Pattern(256, 9);
    Fill(kDemoFlashBase, bytes);
    CProgramOperation program = Program(kDemoFlashBase, 256);
    program.postList = OneWrite(0x10000000, 1);
    EXPECT_EQ(program.Start(), ETargetResult::OperationFailed);
    EXPECT_EQ(sim.Peek(kDemoFlashBase, 256), bytes) << "the flash was programmed";
    EXPECT_EQ(view.LastStatus(), "Post-program init list, entry 1 (WM32 0x10000000 0x00000001): " +
                                     library.LinkErrorText(kStatusTargetAccessError));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Programming error!"});
    ExpectEnded();
}

TEST_F(TargetOperationTest, VerifyMismatchShowsTheVerifyBox)
{
    Fill(kDemoFlashBase + 0x1000, {0x12});
    CVerifyOperation verify(library, box, view, sim.ChannelText(), image, clock);
    Prepare(verify, kDemoFlashBase, 0x2000);
    EXPECT_EQ(verify.Start(), ETargetResult::OperationFailed);
    EXPECT_EQ(view.LastStatus(), "Verify failed at address 80001000. Image = 12, Target = FF");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Verifying error!"});
    ExpectEnded();
}

TEST_F(TargetOperationTest, WrongFirmwareShowsOnlyTheConnectBox)
{
    CSimFixture loaderSim(CSimFixture::Tcp({}, SProbeSimConfig{.firmwareKind = 1}));
    CDumpOperation dump(library, box, view, loaderSim.ChannelText(), image, clock);
    Prepare(dump, kDemoFlashBase, 16);
    EXPECT_EQ(dump.Start(), ETargetResult::ConnectFailed);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Invalid firmware loaded!"});
    EXPECT_EQ(view.LastStatus(), "Connecting to QDX failed!");
    ExpectEnded();
}

class StuckBitOperationTest : public TargetOperationTest {
protected:
    StuckBitOperationTest()
        : TargetOperationTest(std::string(CBoardFile::DefaultText()) + "fault stuck 0x80000101 bit=0 value=0\n")
    {
    }
};

TEST_F(StuckBitOperationTest, ProgrammingFailureStillRunsThePostList)
{
    Fill(kDemoFlashBase, std::vector<uint8_t>(0x400, 0x5B));
    CProgramOperation program = Program(kDemoFlashBase, 0x400);
    EXPECT_EQ(program.Start(), ETargetResult::OperationFailed);
    EXPECT_EQ(view.LastStatus(), "Programming target memory failed at address 0x80000101.");
    EXPECT_EQ(Ram(kDemoRamBase + 0x20), 0x22222222u) << "the post-list ran";
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Programming error!"});
    ExpectEnded();
}

class DroppedReplyOperationTest : public TargetOperationTest {
protected:
    // Requests: 1 hello, 2 connect, 3 start programming, 4 main list,
    // 5 pre-list write, 6 FlashSetup.
    static SSimFaults DropSix()
    {
        SSimFaults faults;
        faults.dropReplyTo = 6;
        return faults;
    }
    DroppedReplyOperationTest() : TargetOperationTest(CBoardFile::DefaultText(), DropSix(), true) {}
};

TEST_F(DroppedReplyOperationTest, DroppedReplyFailsTheCommandWithinItsTimeout)
{
    Fill(kDemoFlashBase, Pattern(64, 3));
    CProgramOperation program = Program(kDemoFlashBase, 64);
    program.deviceCheck = EDeviceCheck::Off; // the dropped reply is the setup's, counted without the check's reads
    const uint64_t start = clock.NowMs();
    EXPECT_EQ(program.Start(), ETargetResult::OperationFailed);
    const uint64_t elapsed = clock.NowMs() - start;
    EXPECT_GE(elapsed, uint64_t(CProbeFrames::kFlashTimeoutMs)) << "the setup's timeout was waited";
    EXPECT_LT(elapsed, uint64_t(CProbeFrames::kFlashTimeoutMs) * 2) << "one timeout, not more";
    ASSERT_FALSE(library.commands.empty());
    EXPECT_EQ(library.commands.back(), kCmdFlashSetup);
    EXPECT_TRUE(library.blocks.empty());
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Programming error!"});
    EXPECT_EQ(sim.Peek(kDemoFlashBase, 1)[0], 0xFF);
    ExpectEnded();
}

TEST(ProgramSecurityBits, AskedOnlyForCode40RangesThatHoldTheByteWithOtherBits)
{
    const uint32_t address = CProgramOperation::kSecurityAddress;
    struct SCase {
        const char* device;
        uint32_t start, size;
        uint8_t imageByte;
        bool asked;
    } cases[] = {
        {"MAC7112 Program Flash (256K)", address - 0x17, 0x100, 0xFF, true},
        {"MAC7112 Program Flash (256K)", address, 1, 0x00, true},
        {"MAC7112 Program Flash (256K)", address - 0x17, 0x100, 0xFE, false}, // bits 10
        {"MAC7112 Program Flash (256K)", address + 1, 0x100, 0xFF, false},
        {"MAC7112 Program Flash (256K)", address - 0x100, 0x100, 0xFF, false},
        {kDemoDevice, address - 0x17, 0x100, 0xFF, false},
    };
    for (const SCase& c : cases) {
        CRecordingLibrary library;
        CScriptedMessageBox box;
        CRecordingOperationView view;
        CMemoryImage image;
        ASSERT_EQ(image.Open(0xFC000000), 0);
        ASSERT_EQ(image.WriteByte(address, c.imageByte), 0);
        // Nothing listens on this port: a command that goes on fails to connect.
        CProgramOperation program(library, box, view, "NETWORK 127.0.0.1:1 1", image);
        program.flashDevice = c.device;
        program.physical = CMemoryRange(0xFC000000, 0x01000000, 1);
        program.range = CMemoryRange(c.start, c.size, 1);
        program.busWidthBytes = 4;
        if (c.asked)
            box.Answer(EMsgResult::Cancel);
        const ETargetResult result = program.Start();
        ASSERT_FALSE(box.shown.empty());
        if (c.asked) {
            EXPECT_EQ(result, ETargetResult::Cancelled);
            EXPECT_EQ(box.shown[0].text, "The security bits will be changed to 10 (not Secured) !");
            EXPECT_EQ(box.shown[0].caption, "WARNING");
            EXPECT_EQ(box.shown[0].icon, EMsgIcon::Exclamation);
            EXPECT_EQ(box.shown[0].buttons, EMsgButtons::OkCancel);
            EXPECT_EQ(library.opens, 0);
        } else {
            EXPECT_EQ(result, ETargetResult::ConnectFailed) << c.start;
            EXPECT_NE(box.shown[0].caption, "WARNING") << c.start;
        }
    }
    // OK goes on to the connect.
    CRecordingLibrary library;
    CScriptedMessageBox box;
    CRecordingOperationView view;
    CMemoryImage image;
    ASSERT_EQ(image.Open(0xFC000000), 0);
    CProgramOperation program(library, box, view, "NETWORK 127.0.0.1:1 1", image);
    program.flashDevice = "MAC7112 Program Flash (256K)";
    program.physical = CMemoryRange(0xFC000000, 0x01000000, 1);
    program.range = CMemoryRange(address, 1, 1);
    program.busWidthBytes = 4;
    box.Answer(EMsgResult::Ok);
    EXPECT_EQ(program.Start(), ETargetResult::ConnectFailed);
    EXPECT_EQ(library.opens, 1);
}

} // namespace
