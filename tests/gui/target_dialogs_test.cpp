// The Dump, Program, Verify and Erase dialogs driven as a person does, against
// the in-process simulated probe over a real TCP link: the status texts, the
// boxes, what reaches the board and the image, the range going back to the
// project, and the window staying alive (and stoppable) while an operation runs.
#include "commands/dump_command.h"
#include "commands/erase_command.h"
#include "commands/program_command.h"
#include "commands/verify_command.h"
#include "gui/dialogs/dump_dialog.h"
#include "gui/dialogs/erase_dialog.h"
#include "gui/dialogs/erase_sectors_dialog.h"
#include "gui/dialogs/program_dialog.h"
#include "gui/dialogs/verify_dialog.h"
#include "gui/gui_test_support.h"
#include "gui/widgets/worker_bridge.h"
#include "project/qpg_doc.h"
#include "support/scripted_message_box.h"
#include "support/sim_fixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <vector>

namespace {

constexpr const char* kDevice = "AMD  Am29LV160MB (1M x 16)";
constexpr uint32_t kBase = 0x80000000;
constexpr uint32_t kFlashSize = 0x200000;
constexpr const char* kDemoBoard = "ram 0x40000000 256K\n"
                                   "flash \"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 bus=16 "
                                   "sector-erase=1ms chip-erase=5ms program=0us\n";

std::vector<uint8_t> Pattern(uint32_t count, uint8_t seed = 0)
{
    std::vector<uint8_t> bytes(count);
    for (uint32_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>((i * 13 + seed + (i >> 8)) & 0xFF);
    return bytes;
}

// Runs `work` on the Erase Sectors grid once it is up. The grid opens while
// the operation's worker waits for it, so it is looked for by a timer rather
// than by a wait of the one-shot kind, which would sit under the grid's loop.
void WhenGrid(std::function<void(QWidget*)> work)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, work] {
        QWidget* window = QApplication::activeModalWidget();
        if (!window || window->objectName() != "eraseSectorsDialog")
            return;
        timer->stop();
        timer->deleteLater();
        work(window);
    });
    timer->start(5);
}

class TargetDialogs : public ::testing::Test {
protected:
    TargetDialogs()
    {
        doc.memoryType = kDevice;
        doc.busWidth = 1;
        doc.bankCount = 1;
        doc.physicalRange = CMemoryRange(kBase, kFlashSize, 1);
        doc.image.SetBase(kBase);
        doc.eraseMap.Resize(1, 35);
        doc.eraseMap.ClearModified();
    }

    // The simulated probe, on a loopback port the dialogs' link opens.
    void StartSim(const std::string& board = kDemoBoard, const SSimFaults& faults = {})
    {
        sim = std::make_unique<CSimFixture>(board, CSimFixture::Tcp(faults));
        ASSERT_TRUE(sim->Ok()) << sim->Error();
    }
    STargetContext Context() { return STargetContext{library, bridge, bridge, sim ? sim->ChannelText() : ""}; }
    SDialogServices Services() { return SDialogServices{&box, nullptr}; }

    void Put(uint32_t address, const std::vector<uint8_t>& bytes)
    {
        ASSERT_EQ(doc.image.WriteBlock(address, bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
    }
    std::vector<uint8_t> Board(uint32_t address, uint32_t count)
    {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(sim->Peek(address, count, bytes));
        return bytes;
    }
    // Types the range into a range dialog, in length mode.
    static void EnterRange(QWidget* dialog, const char* start, const char* length)
    {
        Click(dialog, "lengthRadio");
        Type(dialog, "startEdit", start);
        Type(dialog, "secondEdit", length);
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : box.shown)
            texts.push_back(shown.text);
        return texts;
    }

    CQpgDoc doc;
    CScriptedMessageBox box;
    std::unique_ptr<CSimFixture> sim;
    CLinkLibrary library;
    CWorkerBridge bridge;
};

// ---- The operations ----------------------------------------------------------------

TEST_F(TargetDialogs, ProgramVerifyAndDumpWorkEndToEndAndLeaveTheLinkClosed)
{
    StartSim();
    const std::vector<uint8_t> bytes = Pattern(0x3000, 5);
    Put(kBase + 0x1000, bytes);

    {
        CProgramCommand command(doc, Context());
        CProgramDialog dialog(command, bridge, Services());
        ShowForTest(&dialog);
        EnterRange(&dialog, "80001000", "3000");
        Click(&dialog, "startButton");
        EXPECT_EQ(dialog.LastResult(), ETargetResult::Done);
        EXPECT_TRUE(Text(&dialog, "statusLine").startsWith("12288 bytes successful programmed"))
            << Text(&dialog, "statusLine").toStdString();
        EXPECT_EQ(Child<QProgressBar>(&dialog, "progressBar")->value(), 100);
        EXPECT_EQ(Board(kBase + 0x1000, 0x3000), bytes);
        EXPECT_FALSE(library.IsOpen());
    }
    {
        CVerifyCommand command(doc, Context());
        CVerifyDialog dialog(command, bridge, Services());
        ShowForTest(&dialog);
        EnterRange(&dialog, "80001000", "3000");
        Click(&dialog, "startButton");
        EXPECT_EQ(dialog.LastResult(), ETargetResult::Done);
        EXPECT_TRUE(Text(&dialog, "statusLine").startsWith("12288 bytes successful verified"));
    }
    doc.image.Clear();
    {
        CDumpCommand command(doc, Context());
        CDumpDialog dialog(command, bridge, Services());
        ShowForTest(&dialog);
        EnterRange(&dialog, "80001000", "3000");
        Click(&dialog, "startButton");
        EXPECT_EQ(dialog.LastResult(), ETargetResult::Done);
        EXPECT_TRUE(Text(&dialog, "statusLine").startsWith("12288 bytes successful dumped"));
    }
    std::vector<uint8_t> dumped(0x3000);
    doc.image.ReadBlock(kBase + 0x1000, dumped.data(), 0x3000);
    EXPECT_EQ(dumped, bytes);
    EXPECT_TRUE(box.shown.empty()) << box.shown.front().text;
    EXPECT_FALSE(library.IsOpen());
}

TEST_F(TargetDialogs, EraseAllAndEraseSectorsEraseWhatTheyShould)
{
    StartSim();
    const std::vector<uint8_t> bytes = Pattern(0x20000, 9);
    ASSERT_EQ(sim->Program(33, 2, 0u - kFlashSize, kBase, bytes), 0);

    CEraseCommand command(doc, Context());
    CEraseDialog dialog(command, bridge, Services());
    ShowForTest(&dialog);

    // Sectors of the bottom-boot device: 16K, 8K, 8K, 32K, then 64K each; one
    // x16 device on the 16-bit bus, so the bus offsets are the device's.
    WhenGrid([](QWidget* grid) {
        EXPECT_EQ(Text(grid, "rowLabel2"), "    6000");
        Click(grid, "sector_0_2");
        Click(grid, "eraseButton");
    });
    Click(&dialog, "eraseSectorsButton");
    EXPECT_EQ(dialog.LastResult(), ETargetResult::Done);
    EXPECT_EQ(Text(&dialog, "statusLine"), "Memory successful erased !");
    EXPECT_TRUE(sim->AllBytesAre(kBase + 0x6000, 0x2000, 0xFF));
    EXPECT_EQ(Board(kBase, 0x6000), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 0x6000));
    EXPECT_EQ(Board(kBase + 0x8000, 0x100), std::vector<uint8_t>(bytes.begin() + 0x8000, bytes.begin() + 0x8100));

    Click(&dialog, "eraseAllButton");
    EXPECT_EQ(dialog.LastResult(), ETargetResult::Done);
    EXPECT_EQ(Text(&dialog, "statusLine"), "Memory successful erased !");
    EXPECT_TRUE(sim->AllBytesAre(kBase, 0x20000, 0xFF));
    EXPECT_TRUE(box.shown.empty());

    dialog.accept();
    EXPECT_TRUE(command.StoreBack());
    EXPECT_TRUE(doc.eraseMap.IsSectorSelected(0, 2));
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(TargetDialogs, EraseSectorsCancelledOrWithNothingChosenSendsNothing)
{
    StartSim();
    CEraseCommand command(doc, Context());
    CEraseDialog dialog(command, bridge, Services());
    ShowForTest(&dialog);
    const uint32_t before = sim->RequestsReceived();

    WhenGrid([](QWidget* grid) {
        Click(grid, "sector_0_4");
        Click(grid, "cancelButton");
    });
    Click(&dialog, "eraseSectorsButton");
    EXPECT_EQ(dialog.LastResult(), ETargetResult::Cancelled);
    EXPECT_FALSE(command.eraseMap.IsModified());

    WhenGrid([](QWidget* grid) { Click(grid, "eraseButton"); });
    Click(&dialog, "eraseSectorsButton");
    EXPECT_EQ(dialog.LastResult(), ETargetResult::NothingSelected);
    EXPECT_EQ(Text(&dialog, "statusLine"), "No sector selected: nothing was erased.");

    EXPECT_EQ(sim->RequestsReceived(), before);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(command.eraseMap.CountSelected(), 0);
}

TEST_F(TargetDialogs, AnEraseMapWiderThanTheProjectShowsAndErasesOnlyItsBanks)
{
    StartSim();
    // As read from a file: 4 banks of 40 sectors for one bank of a 35-sector
    // device, selected only where the project has no sector.
    doc.eraseMap.Resize(4, 40);
    doc.eraseMap.SelectSector(3, 0, 1);
    doc.eraseMap.SelectSector(0, 38, 1);
    CEraseCommand command(doc, Context());
    CEraseDialog dialog(command, bridge, Services());
    ShowForTest(&dialog);
    const uint32_t before = sim->RequestsReceived();

    int headers = -1;
    bool pastTheDevice = true;
    WhenGrid([&](QWidget* grid) {
        headers = static_cast<int>(grid->findChildren<QLabel*>(QRegularExpression("^bankHeader")).size());
        // Page 3 of 16 rows ends with the device's last sector, 34.
        Click(grid, "nextButton");
        Click(grid, "nextButton");
        pastTheDevice = grid->findChild<QWidget*>("sector_0_3")->isVisible();
        Click(grid, "eraseButton");
    });
    Click(&dialog, "eraseSectorsButton");
    EXPECT_EQ(headers, 1);
    EXPECT_FALSE(pastTheDevice);
    EXPECT_EQ(dialog.LastResult(), ETargetResult::NothingSelected);
    EXPECT_EQ(Text(&dialog, "statusLine"), "No sector selected: nothing was erased.");
    EXPECT_EQ(sim->RequestsReceived(), before);
    EXPECT_TRUE(box.shown.empty());
    dialog.accept();
    command.StoreBack();
    EXPECT_EQ(doc.eraseMap.GetBanks(), 4) << "the stored map stays as read";
    EXPECT_TRUE(doc.eraseMap.IsSectorSelected(3, 0));
}

TEST_F(TargetDialogs, EveryCommandStopsWithoutADeviceBeforeAnyProbeTraffic)
{
    StartSim();
    doc.memoryType = "NONE";
    const uint32_t before = sim->RequestsReceived();
    {
        CProgramCommand command(doc, Context());
        CProgramDialog dialog(command, bridge, Services());
        Click(&dialog, "startButton");
    }
    {
        CVerifyCommand command(doc, Context());
        CVerifyDialog dialog(command, bridge, Services());
        Click(&dialog, "startButton");
    }
    {
        CDumpCommand command(doc, Context());
        CDumpDialog dialog(command, bridge, Services());
        Click(&dialog, "startButton");
    }
    {
        CEraseCommand command(doc, Context());
        CEraseDialog dialog(command, bridge, Services());
        EXPECT_FALSE(Child<QPushButton>(&dialog, "eraseSectorsButton")->isEnabled());
        dialog.EraseAll();
        dialog.EraseSectors();
    }
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(5, "No valid memory device selected!"));
    for (const auto& shown : box.shown) {
        EXPECT_EQ(shown.caption, "Error");
        EXPECT_EQ(shown.icon, EMsgIcon::Stop);
    }
    EXPECT_EQ(sim->RequestsReceived(), before);
}

TEST_F(TargetDialogs, ListFailuresGiveTheirStatusAndOneBox)
{
    StartSim();
    // A post-erase list that writes where the board has nothing fails after a good erase.
    doc.postEraseList.Add(CCodeItem(CCodeItem::FindMnemonic("WM32"), 0x20000000, 1, ""));
    {
        CEraseCommand command(doc, Context());
        CEraseDialog dialog(command, bridge, Services());
        Click(&dialog, "eraseAllButton");
        EXPECT_EQ(dialog.LastResult(), ETargetResult::OperationFailed);
        EXPECT_TRUE(Text(&dialog, "statusLine").startsWith("Post-erase init list")) << Text(&dialog, "statusLine").toStdString();
    }
    EXPECT_TRUE(sim->AllBytesAre(kBase, kFlashSize, 0xFF));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Erasing error!"});

    // A main list of 129 entries stops every command before the operation.
    box.shown.clear();
    Put(kBase, {1, 2}); // something to program
    for (int i = 0; i < 129; ++i)
        doc.mainList.Add(CCodeItem(CCodeItem::FindMnemonic("NOP"), 0, 0, ""));
    {
        CProgramCommand command(doc, Context());
        CProgramDialog dialog(command, bridge, Services());
        Click(&dialog, "startButton");
        EXPECT_EQ(dialog.LastResult(), ETargetResult::InitListFailed);
        EXPECT_TRUE(Text(&dialog, "statusLine").endsWith("Init list is to long!"))
            << Text(&dialog, "statusLine").toStdString();
    }
    {
        CEraseCommand command(doc, Context());
        CEraseDialog dialog(command, bridge, Services());
        Click(&dialog, "eraseAllButton");
        EXPECT_EQ(dialog.LastResult(), ETargetResult::InitListFailed);
    }
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(2, "Processing target init list failed!"));
    EXPECT_FALSE(library.IsOpen());
}

TEST_F(TargetDialogs, AStuckBitFailsProgramWithItsAddress)
{
    StartSim(std::string(kDemoBoard) + "fault stuck 0x80000010 bit=2 value=0\n");
    Put(kBase, std::vector<uint8_t>(0x100, 0xFF));
    CProgramCommand command(doc, Context());
    CProgramDialog dialog(command, bridge, Services());
    EnterRange(&dialog, "80000000", "100");
    Click(&dialog, "startButton");
    EXPECT_EQ(dialog.LastResult(), ETargetResult::OperationFailed);
    EXPECT_EQ(Text(&dialog, "statusLine"), "Programming target memory failed at address 0x80000010.");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Programming error!"});
}

TEST_F(TargetDialogs, ALinkFaultGivesOneBoxAndTheDialogPassesOnTheRetry)
{
    struct Case {
        const char* name;
        SSimFaults faults;
    };
    SSimFaults refuse;
    refuse.refuseConnection = true;
    SSimFaults drop;
    drop.dropReplyTo = 3; // the dialog's link is the probe's only host: its third request, the open's included
    for (const Case& c : {Case{"refused connection", refuse}, Case{"dropped reply", drop}}) {
        SCOPED_TRACE(c.name);
        box.shown.clear();
        StartSim(kDemoBoard, c.faults);
        Put(kBase, Pattern(0x800));
        CProgramCommand command(doc, Context());
        CProgramDialog dialog(command, bridge, Services());
        ShowForTest(&dialog);
        EnterRange(&dialog, "80000000", "800");
        Click(&dialog, "startButton");
        EXPECT_NE(dialog.LastResult(), ETargetResult::Done);
        EXPECT_EQ(box.shown.size(), 1u);
        EXPECT_FALSE(library.IsOpen());
        EXPECT_TRUE(Child<QPushButton>(&dialog, "startButton")->isEnabled());

        sim->Link().EndFaults();
        Click(&dialog, "startButton");
        EXPECT_EQ(dialog.LastResult(), ETargetResult::Done) << Text(&dialog, "statusLine").toStdString();
        EXPECT_EQ(Board(kBase, 0x800), Pattern(0x800));
        EXPECT_EQ(BoxTexts().size(), 1u) << ::testing::PrintToString(BoxTexts());
    }
}

TEST_F(TargetDialogs, AVerifyFailureShowsItsBoxWithWhatTheReadBackFoundAsDetails)
{
    StartSim();
    Put(kBase, Pattern(0x400));
    ASSERT_EQ(sim->Program(33, 2, 0u - kFlashSize, kBase, Pattern(0x400)), 0);
    doc.image.WriteByte(kBase + 0x123, static_cast<uint8_t>(Pattern(0x400)[0x123] ^ 0x10));
    CVerifyCommand command(doc, Context());
    CVerifyDialog dialog(command, bridge, Services());
    EnterRange(&dialog, "80000000", "400");
    Click(&dialog, "startButton");
    EXPECT_EQ(dialog.LastResult(), ETargetResult::OperationFailed);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Verifying error!");
    EXPECT_EQ(box.shown[0].caption, "Error");
    // The status line names the first difference; the box's details hold
    // what the read back found: the count, the byte, the bits, the sector.
    const std::string status = Text(&dialog, "statusLine").toStdString();
    EXPECT_NE(status.find("80000123"), std::string::npos) << status;
    const std::string& details = box.shown[0].details;
    for (const char* part : {"from address 80000123: 1 bytes differ.", "Bits reading 0 where the image has 1: 1",
                             "Bits reading 1 where the image has 0: 0", "bank 0 sector 0 (80000000..80003FFF)"})
        EXPECT_NE(details.find(part), std::string::npos) << part << "\n" << details;
    const auto pattern = Pattern(0x400);
    char line[64];
    std::snprintf(line, sizeof line, "80000123  Image = %02X, Target = %02X", pattern[0x123] ^ 0x10, pattern[0x123]);
    EXPECT_NE(details.find(line), std::string::npos) << line << "\n" << details;
}

// ---- The window while an operation runs ----------------------------------------------

TEST_F(TargetDialogs, TheBarAndTheStatusLineMoveWhileATransferRuns)
{
    StartSim();
    Put(kBase, Pattern(0x100000));
    CProgramCommand command(doc, Context());
    CProgramDialog dialog(command, bridge, Services());
    ShowForTest(&dialog);
    EnterRange(&dialog, "80000000", "100000");

    // Sampled by a timer of the user-interface thread: only a thread that
    // keeps serving its events meanwhile sees the values between start and end.
    auto* bar = Child<QProgressBar>(&dialog, "progressBar");
    std::set<int> positions;
    std::set<QString> statuses;
    bool stopEnabled = false, startEnabled = true;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (!dialog.Busy())
            return;
        positions.insert(bar->value());
        statuses.insert(Text(&dialog, "statusLine"));
        stopEnabled = stopEnabled || Child<QPushButton>(&dialog, "stopButton")->isEnabled();
        startEnabled = startEnabled && Child<QPushButton>(&dialog, "startButton")->isEnabled();
    });
    sampler.start(2);
    Click(&dialog, "startButton");
    sampler.stop();

    EXPECT_EQ(dialog.LastResult(), ETargetResult::Done);
    EXPECT_GE(positions.size(), 3u);
    int running = 0;
    for (const QString& s : statuses)
        // (a rate joins them from 0.1 s on, which a fast transfer may not reach)
        running += s.startsWith("Programming ") && s.contains(" of 1048576 bytes (");
    EXPECT_GE(running, 2) << "running status lines seen: " << running;
    EXPECT_TRUE(stopEnabled);
    EXPECT_FALSE(startEnabled);
    EXPECT_FALSE(Child<QPushButton>(&dialog, "stopButton")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(&dialog, "startButton")->isEnabled());
}

TEST_F(TargetDialogs, StopEndsALongProgramAndTheDialogStaysUsable)
{
    StartSim();
    Put(kBase, Pattern(kFlashSize));
    CProgramCommand command(doc, Context());
    CProgramDialog dialog(command, bridge, Services());
    ShowForTest(&dialog);
    EnterRange(&dialog, "80000000", "200000");

    // Stop (the button, then Escape on a second run) once the bar has moved.
    auto* bar = Child<QProgressBar>(&dialog, "progressBar");
    bool useEscape = false;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
        if (value >= 3 && value < 100 && dialog.Busy()) {
            if (useEscape)
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                Click(&dialog, "stopButton");
        }
    });
    for (bool escape : {false, true}) {
        useEscape = escape;
        Click(&dialog, "startButton");
        EXPECT_EQ(dialog.LastResult(), ETargetResult::Stopped);
        EXPECT_TRUE(Text(&dialog, "statusLine").startsWith("Programming cancelled at address"))
            << Text(&dialog, "statusLine").toStdString();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(library.IsOpen());
    }
    EXPECT_TRUE(box.shown.empty());

    // The retry over a short range passes.
    QObject::disconnect(bar, nullptr, nullptr, nullptr);
    EnterRange(&dialog, "80000000", "400");
    Click(&dialog, "startButton");
    EXPECT_EQ(dialog.LastResult(), ETargetResult::Done);
}

// The project names the top-boot variant of the board's bottom-boot chip:
// Erase All asks before it erases, No (the default) erases nothing, Yes goes on.
TEST_F(TargetDialogs, AFlashThatIsNotTheProjectsDeviceIsAskedAboutNoByDefault)
{
    StartSim();
    ASSERT_EQ(sim->Program(33, 2, 0u - kFlashSize, kBase, {0x12, 0x34}), 0);
    doc.memoryType = "AMD  Am29LV160MT (1M x 16)";
    CEraseCommand command(doc, Context());
    CEraseDialog dialog(command, bridge, Services());
    ShowForTest(&dialog);

    box.Answer(EMsgResult::No);
    Click(&dialog, "eraseAllButton");
    EXPECT_EQ(dialog.LastResult(), ETargetResult::DeviceRefused);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].caption, "Warning");
    EXPECT_EQ(box.shown[0].buttons, EMsgButtons::YesNoDefaultNo);
    const std::string& text = box.shown[0].text;
    EXPECT_NE(text.find("They differ in the sector layout."), std::string::npos) << text;
    EXPECT_NE(text.find("Catalogue rows that fit: "), std::string::npos) << text;
    EXPECT_NE(text.find("\"AMD  Am29LV160MB (1M x 16)\""), std::string::npos) << text;
    EXPECT_EQ(Text(&dialog, "statusLine"), "Device check: the flash does not match \"AMD  Am29LV160MT (1M x 16)\" "
                                           "(the sector layout). Nothing was erased or programmed.");
    EXPECT_EQ(Board(kBase, 2), (std::vector<uint8_t>{0x12, 0x34}));
    EXPECT_FALSE(library.IsOpen());

    box.Answer(EMsgResult::Yes);
    Click(&dialog, "eraseAllButton");
    EXPECT_EQ(dialog.LastResult(), ETargetResult::Done);
    EXPECT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(Board(kBase, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
}

TEST_F(TargetDialogs, ASecurityBitsQuestionAnsweredCancelSendsNothing)
{
    StartSim();
    doc.memoryType = "MAC7112 Program Flash (256K)";
    doc.busWidth = 2;
    doc.physicalRange = CMemoryRange(0xFC100000, 0x1000, 1);
    doc.image.SetBase(0xFC100000);
    Put(0xFC100400, {1, 2});
    const uint32_t before = sim->RequestsReceived();
    box.Answer(EMsgResult::Cancel);
    CProgramCommand command(doc, Context());
    CProgramDialog dialog(command, bridge, Services());
    EnterRange(&dialog, "FC100400", "100");
    Click(&dialog, "startButton");
    EXPECT_EQ(dialog.LastResult(), ETargetResult::Cancelled);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "The security bits will be changed to 10 (not Secured) !");
    EXPECT_EQ(box.shown[0].caption, "WARNING");
    EXPECT_EQ(sim->RequestsReceived(), before);
}

// ---- The range entry ------------------------------------------------------------------

TEST_F(TargetDialogs, FitToMemoryImageTakesTheAlignedUsedRangeElseThePhysicalRange)
{
    struct Case {
        uint32_t at; // where the image holds four bytes
        const char* start;
        const char* length;
    };
    // Bytes outside the flash: the whole flash is the range to fit.
    for (const Case& c : {Case{kBase + 0x103, "80000102", "00000006"}, Case{kBase - 0x100, "80000000", "00200000"}}) {
        doc.image.Clear();
        doc.image.SetBase(c.at < kBase ? c.at : kBase);
        Put(c.at, {1, 2, 3, 4});
        CProgramCommand program(doc, Context());
        CProgramDialog programDialog(program, bridge, Services());
        CVerifyCommand verify(doc, Context());
        CVerifyDialog verifyDialog(verify, bridge, Services());
        CDumpCommand dump(doc, Context());
        CDumpDialog dumpDialog(dump, bridge, Services());
        for (QWidget* dialog : std::vector<QWidget*>{&programDialog, &verifyDialog}) {
            Click(dialog, "fitButton");
            EXPECT_EQ(Text(dialog, "startEdit"), c.start);
            EXPECT_EQ(Text(dialog, "secondEdit"), c.length);
        }
        Click(&dumpDialog, "fitButton");
        EXPECT_EQ(Text(&dumpDialog, "startEdit"), "80000000");
        EXPECT_EQ(Text(&dumpDialog, "secondEdit"), "00200000");
    }
}

TEST_F(TargetDialogs, WithNothingLoadedProgramSaysSoAndSendsNothing)
{
    StartSim();
    doc.image.Clear();
    CProgramCommand command(doc, Context());
    CProgramDialog dialog(command, bridge, Services());
    ShowForTest(&dialog);
    EnterRange(&dialog, "80000100", "100");
    Click(&dialog, "fitButton");
    EXPECT_EQ(Text(&dialog, "statusLine"), CTargetRangeModel::kNothingLoaded);
    EXPECT_EQ(Text(&dialog, "startEdit"), "80000100") << "the range stays; the whole flash is not taken";
    EXPECT_EQ(Text(&dialog, "secondEdit"), "100");

    const auto before = sim->RequestsReceived();
    Click(&dialog, "startButton");
    EXPECT_EQ(dialog.LastResult(), ETargetResult::InvalidRange);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{CTargetRangeModel::kNothingLoaded});
    EXPECT_EQ(Text(&dialog, "statusLine"), CTargetRangeModel::kNothingLoaded);
    EXPECT_EQ(sim->RequestsReceived(), before) << "nothing reached the probe";
}

TEST_F(TargetDialogs, LengthAndEndAddressConvertAndABadRangeKeepsTheDialogOpen)
{
    StartSim();
    CVerifyCommand command(doc, Context());
    CVerifyDialog dialog(command, bridge, Services());
    ShowForTest(&dialog);
    EnterRange(&dialog, "80000100", "100");
    Click(&dialog, "endRadio");
    EXPECT_EQ(Text(&dialog, "secondEdit"), "800001FF");
    Click(&dialog, "lengthRadio");
    EXPECT_EQ(Text(&dialog, "secondEdit"), "00000100");

    // Past the physical range: a box, the dialog open, nothing sent.
    const uint32_t before = sim->RequestsReceived();
    EnterRange(&dialog, "801FFF00", "200");
    Click(&dialog, "startButton");
    EXPECT_EQ(box.shown.size(), 1u);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(sim->RequestsReceived(), before);
}

TEST_F(TargetDialogs, CloseStoresTheRangeBackOnlyWhenItDiffers)
{
    doc.programRange = CMemoryRange(kBase + 0x100, 0x200, 1);
    {
        CProgramCommand command(doc, Context());
        CProgramDialog dialog(command, bridge, Services());
        EXPECT_EQ(Text(&dialog, "startEdit"), "80000100");
        EXPECT_EQ(Text(&dialog, "secondEdit"), "00000200");
        Click(&dialog, "closeButton");
        EXPECT_FALSE(command.StoreBack());
    }
    EXPECT_FALSE(doc.IsModified());
    {
        CProgramCommand command(doc, Context());
        CProgramDialog dialog(command, bridge, Services());
        Type(&dialog, "secondEdit", "300");
        Click(&dialog, "closeButton");
        EXPECT_TRUE(command.StoreBack());
    }
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.programRange, CMemoryRange(kBase + 0x100, 0x300, 1));

    // A range the checks refuse is not taken on the way out.
    doc.SetModifiedFlag(false);
    {
        CProgramCommand command(doc, Context());
        CProgramDialog dialog(command, bridge, Services());
        Type(&dialog, "startEdit", "10");
        dialog.reject();
        EXPECT_FALSE(command.StoreBack());
    }
    EXPECT_EQ(doc.programRange, CMemoryRange(kBase + 0x100, 0x300, 1));
    EXPECT_TRUE(box.shown.empty());
}

// ---- Erase Sectors grid -----------------------------------------------------------------

TEST_F(TargetDialogs, TheSectorGridPagesBySixteenRowsAndLabelsBusOffsets)
{
    struct Case {
        const char* device;
        int busWidth;
        int sectors;
        bool pages;
    };
    for (const Case& c : {Case{"AMD  Am29F080", 0, 16, false}, Case{"LPC2000 Flash (256K)", 2, 17, true}}) {
        SCOPED_TRACE(c.device);
        doc.memoryType = c.device;
        doc.busWidth = c.busWidth;
        doc.eraseMap.Resize(1, c.sectors);
        CEraseCommand command(doc, Context());
        auto selection = command.SectorSelection(doc.eraseMap);
        ASSERT_TRUE(selection);
        CEraseMap map = doc.eraseMap;
        CEraseSectorsDialog grid(*selection, map);
        ShowForTest(&grid);
        EXPECT_EQ(Child<QPushButton>(&grid, "nextButton")->isVisible(), c.pages);
        EXPECT_EQ(Child<QPushButton>(&grid, "prevButton")->isVisible(), c.pages);
        EXPECT_EQ(grid.findChild<QCheckBox*>("sector_0_16"), nullptr);
        if (!c.pages)
            continue;
        // Page 2 shows one row; a choice there survives going back.
        Click(&grid, "nextButton");
        EXPECT_TRUE(Child<QCheckBox>(&grid, "sector_0_0")->isVisible());
        EXPECT_FALSE(Child<QCheckBox>(&grid, "sector_0_1")->isVisible());
        EXPECT_EQ(Text(&grid, "rowLabel1"), "");
        EXPECT_FALSE(Child<QPushButton>(&grid, "nextButton")->isEnabled());
        Click(&grid, "sector_0_0");
        Click(&grid, "prevButton");
        Click(&grid, "sector_0_3");
        Click(&grid, "eraseButton");
        EXPECT_EQ(map.FormatSelection(), "0/3, 0/16");
    }

    // Two x8 devices side by side on a 16-bit bus double every offset.
    doc.memoryType = "AMD  Am29LV001BT";
    doc.busWidth = 1;
    doc.bankCount = 2;
    doc.eraseMap.Resize(2, 10);
    CEraseCommand command(doc, Context());
    auto selection = command.SectorSelection(doc.eraseMap);
    ASSERT_TRUE(selection);
    CEraseMap map = doc.eraseMap;
    CEraseSectorsDialog grid(*selection, map);
    const char* labels[] = {"       0", "    8000", "   10000", "   18000", "   20000",
                            "   28000", "   30000", "   38000", "   3A000", "   3C000"};
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(Text(&grid, QStringLiteral("rowLabel%1").arg(row).toLatin1().constData()), labels[row]);
    EXPECT_EQ(Text(&grid, "bankHeader1"), "1");
    Click(&grid, "sector_1_9");
    Click(&grid, "cancelButton");
    EXPECT_EQ(map.CountSelected(), 0);
}

TEST_F(TargetDialogs, EraseSectorsIsOffForOneBankOfAOneSectorDevice)
{
    doc.memoryType = "LPC2000 Flash (256K)";
    CEraseCommand many(doc, Context());
    EXPECT_TRUE(many.CanChooseSectors());
    doc.memoryType = "Atmel  AT49x040 (512K x 8)"; // one sector, erased whole
    CEraseCommand one(doc, Context());
    EXPECT_FALSE(one.CanChooseSectors());
    doc.bankCount = 2;
    CEraseCommand two(doc, Context());
    EXPECT_TRUE(two.CanChooseSectors());
}

} // namespace
