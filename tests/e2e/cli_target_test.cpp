// tarvel-cli against a simulated probe: setup, fill or load, erase, program,
// verify and dump, checked by what the simulated flash holds afterwards, and
// every failure by its exit code and the system's own text. The probe runs
// in this test process (--probe 127.0.0.1:PORT), so the test can look at
// the board; a few runs use the program's own in-process probe (--sim).
#include "cli_runner.h"
#include "support/temp_dir.h"
#include "catalogue/flash_catalogue.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"
#include "project/qpg_doc.h"
#include "support/recording_operation_view.h"
#include "support/scripted_message_box.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

const std::string kSetup = "setup --device \"AMD  Am29LV160MB (1M x 16)\" --bus 16 --base 80000000";

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CliTarget : public ::testing::Test {
protected:
    SCliRun Cli(CSimFixture& sim, const std::string& steps)
    {
        return RunCli(dir, "--probe 127.0.0.1:" + std::to_string(sim.Port()) + " " + kSetup + " " + steps);
    }

    CTempDir dir;
};

TEST_F(CliTarget, ProgramVerifyAndDumpThroughTheProbe)
{
    CSimFixture sim{CSimFixture::Tcp()};
    SCliRun run = Cli(sim, "fill --range 80000100+200 --pattern 12345678 --unit long "
                           "program --range 80000100+200 verify --range 80000100+200");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "512 bytes successful programmed")) << run.err;
    EXPECT_TRUE(Has(run.err, "512 bytes successful verified")) << run.err;
    const std::vector<uint8_t> flash = sim.Peek(kDemoFlashBase + 0x100, 0x200);
    for (size_t i = 0; i < flash.size(); i += 4)
        ASSERT_EQ(std::vector<uint8_t>(flash.begin() + i, flash.begin() + i + 4),
                  (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}))
            << i;
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0xFF, 1)[0], 0xFF);
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x300, 1)[0], 0xFF);

    // A new run reads it back into an empty image and stores it.
    run = Cli(sim, "dump --range 80000100+8 store out.s19 --range 80000100+8");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "8 bytes successful dumped")) << run.err;
    EXPECT_TRUE(Has(ReadFileBytes(dir.File("out.s19")), "800001007856341278563412")) << ReadFileBytes(dir.File("out.s19"));
}

TEST_F(CliTarget, ProgramWithoutRangeTakesTheImagesUsedRange)
{
    CSimFixture sim{CSimFixture::Tcp()};
    SCliRun run = Cli(sim, "fill --range 80001000+10 --pattern A5 --unit byte program");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "16 bytes successful programmed")) << run.err;
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x1000, 16), std::vector<uint8_t>(16, 0xA5));
}

TEST_F(CliTarget, InProcessSimulatorRunsTheWholeCycle)
{
    SCliRun run = RunCli(dir, "--sim default " + kSetup +
                                  " fill --range 80000000+1000 --pattern C3 --unit byte program verify"
                                  " dump --range 80000000+1000 checksum --range 80000000+1000 --unit byte");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "4096 bytes successful verified")) << run.err;
    EXPECT_EQ(run.out, "Checksum: 000C3000\n");
    // The image alone has no device: the command itself refuses.
    run = RunCli(dir, "--sim default --physical 0+1000 verify --range 0+10");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "Error: No valid memory device selected!")) << run.err;
    run = RunCli(dir, "--sim no-such.board " + kSetup + " verify");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(Has(run.err, "no-such.board")) << run.err;
}

struct SFailureCase {
    const char* name;
    std::string board;
    uint16_t firmwareKind;
    SSimFaults faults;
    std::string steps;
    std::vector<std::string> texts;
};

TEST_F(CliTarget, EveryFailureEndsWithItsTextAndANonZeroExitCode)
{
    std::string longList;
    for (int i = 0; i < 129; ++i)
        longList += "NOP\t\t\t\n";
    WriteFileBytes(dir.File("long.txt"), longList);
    WriteFileBytes(dir.File("bad-post.txt"), "WM32\t0x10000000\t0x00000001\tno memory here\n");
    const std::string fill = "fill --range 80000800+10 --pattern A7 --unit byte ";
    SSimFaults drop;
    // hello, connect, start programming, main list, FlashSetup, StreamBegin
    // (the device check, which would read the flash before FlashSetup, is off)
    drop.dropReplyTo = 6;
    const SFailureCase cases[] = {
        {"stuck bit", std::string(CBoardFile::DefaultText()) + "fault stuck 0x80000805 bit=1 value=0\n", 10, {},
         fill + "program",
         {"Programming target memory failed at address 0x80000805.", "Error: Programming error!"}},
        {"verify mismatch", CBoardFile::DefaultText(), 10, {}, fill + "verify",
         {"Verify failed at address 80000800. Image = A7, Target = FF", "Error: Verifying error!"}},
        {"firmware", CBoardFile::DefaultText(), 9, {}, "dump --range 80000000+10",
         {"Error: Invalid firmware loaded!", "Connecting to QDX failed!"}},
        {"main list", CBoardFile::DefaultText(), 10, {}, "initlist main long.txt " + fill + "program",
         {"Init list is to long!", "Error: Processing target init list failed!"}},
        {"post-list", CBoardFile::DefaultText(), 10, {}, "initlist post-program bad-post.txt " + fill + "program",
         {"successful programmed", "Error: Programming error!"}},
        {"dropped reply", CBoardFile::DefaultText(), 10, drop, "--no-device-check " + fill + "program",
         {"Error: Programming error!"}},
        {"no device", CBoardFile::DefaultText(), 10, {}, "setup --device NONE verify --range 80000000+10",
         {"no flash device is selected"}},
    };
    for (const SFailureCase& c : cases) {
        SProbeSimConfig config;
        config.firmwareKind = c.firmwareKind;
        CSimFixture sim(c.board, CSimFixture::Tcp(c.faults, config));
        const SCliRun run = Cli(sim, c.steps + " dump --range 80000000+10");
        EXPECT_EQ(run.exitCode, 1) << c.name << "\n" << run.err;
        for (const std::string& text : c.texts)
            EXPECT_TRUE(Has(run.err, text)) << c.name << ": " << text << "\n" << run.err;
        // The run stopped at the failing step.
        EXPECT_FALSE(Has(run.err, "bytes successful dumped")) << c.name;
    }
}

TEST_F(CliTarget, EraseSectorsAndEraseAllThroughTheCli)
{
    CSimFixture sim{CSimFixture::Tcp()};
    const SFlashDevice& device = *CFlashCatalogue::FindFlashDevice(kDemoDevice);
    const uint32_t sector1 = device.SectorStart(1), sector2 = device.SectorStart(2);
    SCliRun run = Cli(sim, "fill --range 80000000+20000 --pattern 00 --unit byte program erase --sectors 0/1");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "Erasing ...")) << run.err;
    EXPECT_TRUE(Has(run.err, "Memory successful erased !")) << run.err;
    EXPECT_EQ(sim.Peek(kDemoFlashBase + sector1 - 1, 1)[0], 0x00);
    EXPECT_EQ(sim.Peek(kDemoFlashBase + sector1, 1)[0], 0xFF);
    EXPECT_EQ(sim.Peek(kDemoFlashBase + sector2 - 1, 1)[0], 0xFF);
    EXPECT_EQ(sim.Peek(kDemoFlashBase + sector2, 1)[0], 0x00);

    // A selection outside the flash is refused before anything is sent.
    run = Cli(sim, "erase --sectors 3/0");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(Has(run.err, "Connecting to QDX")) << run.err;
    EXPECT_EQ(sim.Peek(kDemoFlashBase, 1)[0], 0x00);

    // A failing post-erase list fails the command although the flash was erased.
    WriteFileBytes(dir.File("bad-post.txt"), "WM32\t0x10000000\t0x00000001\n");
    run = Cli(sim, "initlist post-erase bad-post.txt erase --all");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "Memory successful erased !")) << run.err;
    EXPECT_TRUE(Has(run.err, "Error: Erasing error!")) << run.err;
    EXPECT_EQ(sim.Peek(kDemoFlashBase, 1)[0], 0xFF);
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x1FFFF, 1)[0], 0xFF);
}

TEST_F(CliTarget, AnEraseMapWiderThanTheProjectIsClippedWhereverItIsUsed)
{
    CSimFixture sim{CSimFixture::Tcp()};
    ASSERT_EQ(Cli(sim, "fill --range 80000000+20000 --pattern 00 --unit byte program save p.tvl").exitCode, 0);
    // The file's map: 300 banks of 256 sectors, selected only beyond the
    // project's one bank of 35 sectors.
    CQpgDoc doc(false);
    CRecordingOperationView view;
    CScriptedMessageBox box;
    ASSERT_TRUE(doc.Open(dir.File("p.tvl"), view, box));
    doc.eraseMap.Resize(300, 256);
    doc.eraseMap.SelectSector(299, 0, 1);
    doc.eraseMap.SelectSector(0, 200, 1);
    ASSERT_TRUE(doc.Save(dir.File("p.tvl"), box));
    const std::string stored = ReadFileBytes(dir.File("p.tvl"));
    const std::string probe = "--probe 127.0.0.1:" + std::to_string(sim.Port());

    SCliRun run = RunCli(dir, "--project p.tvl show");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Erase map:       1 bank(s) x 35 sector(s), selected: none (the file holds 300 x 256, "
                             "beyond the project's banks and device: not used)\n"))
        << run.out;
    EXPECT_LT(run.out.size(), 4000u);

    // A sector of a bank the project does not have is refused before the probe is asked.
    run = RunCli(dir, "--project p.tvl " + probe + " erase --sectors 299/0");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "sector 299/0 lies outside the erase map (1 bank of 35 sectors)")) << run.err;
    EXPECT_FALSE(Has(run.err, "successful erased")) << run.err;

    // A real one is erased alone, and the save keeps the rest of the map as read.
    run = RunCli(dir, "--project p.tvl " + probe + " erase --sectors 0/1 save");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "Memory successful erased !")) << run.err;
    const uint32_t sector1 = CFlashCatalogue::FindFlashDevice(kDemoDevice)->SectorStart(1);
    EXPECT_EQ(sim.Peek(kDemoFlashBase, 1)[0], 0x00);
    EXPECT_EQ(sim.Peek(kDemoFlashBase + sector1, 1)[0], 0xFF);
    ASSERT_TRUE(doc.Open(dir.File("p.tvl"), view, box));
    EXPECT_EQ(doc.eraseMap.GetBanks(), 300);
    EXPECT_EQ(doc.eraseMap.FormatSelection(), "0/1, 0/200, 299/0") << "beyond the project: kept as read";
    EXPECT_EQ(ReadFileBytes(dir.File("p.tvl")).size(), stored.size());
}

TEST_F(CliTarget, EraseFailureOfTheFaultyBoard)
{
    CSimFixture sim(std::string(CBoardFile::DefaultText()) + "fault erase-fail 0x80008000\n", CSimFixture::Tcp());
    const SCliRun run = Cli(sim, "erase --sectors 0/2,0/3,0/4 dump --range 80000000+10");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "Erasing failed at bank  0 sector  3 ! \nProcess aborted...")) << run.err;
    EXPECT_TRUE(Has(run.err, "Error: Erasing error!")) << run.err;
    EXPECT_FALSE(Has(run.err, "bytes successful dumped"));
}

TEST_F(CliTarget, CommTestsTheLinkAndKeepsTheChannelInTheProject)
{
    CSimFixture sim{CSimFixture::Tcp()};
    SCliRun run = Cli(sim, "comm --channel network --ip 127.0.0.1 --test save p.tvl");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "Communication Test: Link to QDX successful tested!")) << run.err;
    run = RunCli(dir, "--project p.tvl show");
    EXPECT_TRUE(Has(run.out, "127.0.0.1")) << run.out;

    run = RunCli(dir, "--probe 127.0.0.1:1 comm --test");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "Communication Test: Link test failed with error -")) << run.err;
    run = RunCli(dir, "comm --channel network --ip 1.2.3");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "Invalid IP address!")) << run.err;
}

} // namespace

namespace {

// Ctrl-C while programming: the transfer stops between blocks, the connection
// is ended, the run says so and exits 130; the next step never runs.
TEST(CliInterrupt, CtrlCStopsProgrammingInOrder)
{
    CTempDir dir;
    // A probe behind a 100 kB/s link: 1 MiB takes ten seconds, the stop comes long before.
    const std::string bin = std::string(TARVEL_BINARY_DIR);
    const std::string script =
        "cd '" + dir.Path().string() + "' && export TMPDIR='" + dir.Path().string() + "'; '" + bin +
        "/qdx7000-sim' --port 0 --bandwidth 100000 >sim.txt & s=$!; "
        "for i in $(seq 200); do grep -q listening sim.txt && break; sleep 0.05; done; "
        "port=$(sed -n 's/^listening [0-9.]*:\\([0-9]*\\)$/\\1/p' sim.txt); '" + bin +
        "/tarvel-cli' --probe 127.0.0.1:$port " + kSetup +
        " fill --range 80000000+100000 --pattern 00 --unit byte program verify </dev/null 2>err.txt & p=$!; "
        "for i in $(seq 400); do grep -q 'Programming 1048576' err.txt 2>/dev/null && break; sleep 0.05; done; "
        "sleep 0.5; kill -INT $p; wait $p; echo $?; kill $s; wait $s";
    const std::string exitCode = ShellOutput(script);
    const std::string err = ReadFileBytes(dir.File("err.txt"));
    EXPECT_EQ(exitCode, "130\n") << err;
    EXPECT_TRUE(Has(err, "Programming cancelled at address 80")) << err;
    EXPECT_FALSE(Has(err, "successful programmed")) << err;
    EXPECT_FALSE(Has(err, "Verifying")) << err;
    EXPECT_TRUE(Has(err, "Stopping: the operation ends")) << err;
    // The image's private directory (in TMPDIR) went with the program.
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_NE(entry.path().filename().string().rfind("tarvel-cli-", 0), 0u) << entry.path();
}

} // namespace
