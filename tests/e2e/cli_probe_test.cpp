// tarvel-cli's probe maintenance steps: probe-info, probe-update and
// probe-netsetup against a simulated probe, with the sample firmware and
// logic files that the build places next to tarvel-cli.
#include "cli_runner.h"
#include "probe/probe_frames.h"
#include "sim/sim_probe_images.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CliProbe : public ::testing::Test {
protected:
    void SetUp() override { ::unsetenv("TARVEL_PROGRAM_DIR"); }
    void TearDown() override
    {
        ::unsetenv("TARVEL_PROGRAM_DIR");
        ::unsetenv("TARVEL_COM2");
    }

    void Start(const SProbeSimConfig& config = {})
    {
        sim = std::make_unique<CSimFixture>("ram 0x40000000 4K\n", CSimFixture::Tcp({}, config));
        ASSERT_TRUE(sim->Ok()) << sim->Error();
        const std::string channel = sim->ChannelText();  // "NETWORK 127.0.0.1:PORT 1"
        probe = "--probe " + channel.substr(8, channel.size() - 10);
    }

    CTempDir dir;
    std::unique_ptr<CSimFixture> sim;
    std::string probe;
};

TEST_F(CliProbe, UpdateFromTheBuildTreeWithTheInProcessProbe)
{
    // The sample files lie next to tarvel-cli; nothing points elsewhere.
    const SCliRun run = RunCli(dir, "--sim default probe-info probe-update probe-info");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "SN:  1234560001\nMAC: 0A4D17123456\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "Firmware  1.13      1.14\nLogic     1.12      1.13\n"
                             "An update is available: run probe-update.")) << run.out;
    EXPECT_TRUE(Has(run.out, "Firmware  1.14      1.14\nLogic     1.13      1.13\n")) << run.out;
    EXPECT_TRUE(Has(run.err, "Firmware: Programming Flash ... passed!\n")) << run.err;
    EXPECT_TRUE(Has(run.err, "Updating firmware and logic passed!\nStarting firmware please wait....\n")) << run.err;
    EXPECT_FALSE(Has(run.err, "% )")) << "percentages are a progress bar, not lines";
}

TEST_F(CliProbe, UpdateWritesTheFilesIntoTheProbeAndTheNextRunFindsNothingNewer)
{
    Start();
    SCliRun run = RunCli(dir, probe + " probe-update");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The firmware's progress counts the bytes of its file, the logic's its rows.
    const size_t firmwareBytes = CSimProbeImages::FirmwareImage(114).size();
    EXPECT_TRUE(Has(run.err, "Firmware: " + std::to_string(firmwareBytes) + " of " + std::to_string(firmwareBytes) +
                                 " bytes (100 %)")) << run.err;
    EXPECT_TRUE(Has(run.err, "Logic: 134 of 134 rows (100 %)")) << run.err;
    {
        auto lock = sim->Link().LockProbe();
        CSimLoader& loader = sim->Probe().Loader();
        EXPECT_EQ(loader.FirmwareVersion(), 114);
        EXPECT_EQ(loader.LogicVersion(), 113);
        EXPECT_EQ(loader.LogicRow(99), CSimProbeImages::FuseRow(113, 99));
    }
    EXPECT_FALSE(sim->Probe().LoaderRunning()) << "the step ends by starting the firmware";

    run = RunCli(dir, probe + " probe-update");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Firmware and logic are up to date.")) << run.out;
}

TEST_F(CliProbe, ProgramDirectorySettingAMissingLogicFileAndABadFirmwareFile)
{
    Start();
    WriteFileBytes(dir.File("QX7ARMFW.150"), CSimProbeImages::FirmwareImage(150));
    ::setenv("TARVEL_PROGRAM_DIR", dir.Path().c_str(), 1);
    // Without a logic file the good firmware still goes in (it comes first);
    // the logic fails, naming the file it looked for and where, and so does
    // the run.
    SCliRun run = RunCli(dir, probe + " probe-update");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "Firmware: Programming Flash ... passed!\n")) << run.err;
    EXPECT_TRUE(Has(run.err, "Logic: Cannot open JEDEC file!\n")) << run.err;
    EXPECT_TRUE(Has(run.err, "Logic: there is no file ARMJED70.nnn in " + dir.Path().string() + "\n")) << run.err;
    EXPECT_TRUE(Has(run.err, "Updating firmware and logic failed!")) << run.err;
    EXPECT_FALSE(Has(run.out, "up to date")) << run.out;
    {
        auto lock = sim->Link().LockProbe();
        EXPECT_EQ(sim->Probe().Loader().FirmwareVersion(), 150);
        EXPECT_EQ(sim->Probe().Loader().LogicVersion(), 112) << "the logic is not touched";
    }
    std::filesystem::remove(dir.File("QX7ARMFW.150"));
    run = RunCli(dir, probe + " probe-info");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Firmware  1.50      unknown\nLogic     1.12      unknown\n")) << run.out;
    EXPECT_FALSE(Has(run.out, "An update is available")) << run.out;
    EXPECT_TRUE(Has(run.err, "tarvel-cli: probe-info: no firmware file QX7ARMFW.nnn in " + dir.Path().string()))
        << run.err;

    // A bad firmware record stops the update before the probe is touched.
    std::string image = CSimProbeImages::FirmwareImage(151);
    image.insert(image.find('\n') + 1, "S3 not a record\n");
    WriteFileBytes(dir.File("QX7ARMFW.151"), image);
    WriteFileBytes(dir.File("ARMJED70.151"), CSimProbeImages::JedecFile(151));
    run = RunCli(dir, probe + " probe-update");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.out, "Firmware  unknown   1.51\nLogic     unknown   1.51\n")) << run.out;
    EXPECT_FALSE(Has(run.out, "no firmware that starts")) << "the dialog's unknown is no answer of the loader";
    EXPECT_TRUE(Has(run.err, "Firmware: bad record in QX7ARMFW.151, line 2: ")) << run.err;
    EXPECT_TRUE(Has(run.err, "Firmware update failed!")) << run.err;
    EXPECT_TRUE(Has(run.err, "Updating firmware and logic failed!")) << run.err;
    auto lock = sim->Link().LockProbe();
    EXPECT_EQ(sim->Probe().Loader().FirmwareVersion(), 150) << "the firmware is untouched";
    EXPECT_EQ(sim->Probe().Loader().LogicVersion(), 112) << "and the logic too";
}

TEST_F(CliProbe, AProbeWithoutAFirmwareThatStartsIsNeverUpToDate)
{
    // Nothing on disk is newer than the probe's logic, and there is no
    // firmware image: the probe still needs a firmware.
    SProbeSimConfig config;
    config.logicVersion = 113;
    Start(config);
    {
        auto lock = sim->Link().LockProbe();
        // The marker's sector erased: the loader starts nothing.
        const uint8_t erase[] = {kCmdEraseProbeSector, 0x01, 0x04, 0x00, 0x00};
        std::vector<uint8_t> reply;
        ASSERT_TRUE(sim->Probe().Loader().HandleCommand(erase, sizeof erase, reply));
        ASSERT_FALSE(sim->Probe().Loader().FirmwareStartable());
    }
    WriteFileBytes(dir.File("ARMJED70.113"), CSimProbeImages::JedecFile(113));
    ::setenv("TARVEL_PROGRAM_DIR", dir.Path().c_str(), 1);
    const SCliRun run = RunCli(dir, probe + " probe-update");
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_FALSE(Has(run.out, "up to date")) << run.out;
    EXPECT_TRUE(Has(run.err, "Firmware: the probe holds no firmware that starts, and there is no file "
                             "QX7ARMFW.nnn in " + dir.Path().string() + "\n")) << run.err;
    EXPECT_TRUE(Has(run.err, "Firmware update failed!")) << run.err;
    EXPECT_TRUE(Has(run.err, "Updating firmware and logic failed!")) << run.err;
}

TEST_F(CliProbe, NetworkSetupIsWrittenAndKeptInTheProject)
{
    Start();
    SCliRun run = RunCli(dir, "--project p.tvl " + probe +
                                  " probe-netsetup --ip 10.0.0.5 --mask 255.0.0.0 --gateway 10.0.0.1 save");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "Writing setup data passed\n")) << run.err;
    {
        auto lock = sim->Link().LockProbe();
        std::vector<uint8_t> record;
        ASSERT_TRUE(sim->Probe().Loader().ReadFlash(0x01008000, 20, record));
        EXPECT_EQ(record, (std::vector<uint8_t>{0x0A, 0x4D, 0x17, 0x12, 0x34, 0x56, 0xFF, 0xFF, 10, 0, 0, 5, 255, 0,
                                                0, 0, 10, 0, 0, 1}));
    }
    // The project keeps the address: the next run connects with it unchanged.
    run = RunCli(dir, "--project p.tvl " + probe + " probe-info");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string project = ReadFileBytes(dir.File("p.tvl"));
    EXPECT_TRUE(Has(project, "10.0.0.5")) << "probeAddress";
    EXPECT_TRUE(Has(project, "255.0.0.0"));
}

TEST_F(CliProbe, FailuresExitNonZeroWithTheSystemsText)
{
    struct SCase {
        const char* name;
        std::string args;
        int exitCode;
        const char* text;
    };
    Start();
    SProbeSimConfig noLoader;
    noLoader.loaderVersion = 0;
    CSimFixture empty("ram 0x40000000 4K\n", CSimFixture::Tcp({}, noLoader));
    ASSERT_TRUE(empty.Ok()) << empty.Error();
    const std::string emptyChannel = empty.ChannelText();
    const std::string emptyProbe = "--probe " + emptyChannel.substr(8, emptyChannel.size() - 10);
    const SCase cases[] = {
        {"invalid ip", probe + " probe-netsetup --ip 1.2.3 --mask 255.0.0.0 --gateway 1.2.3.4", 1,
         "Invalid IP address!"},
        {"invalid mask", probe + " probe-netsetup --ip 1.2.3.4 --mask abc --gateway 1.2.3.1", 1,
         "Invalid subnet mask!"},
        {"invalid gateway", probe + " probe-netsetup --ip 1.2.3.4 --mask 255.0.0.0 --gateway 1.2.3", 1,
         "Invalid default gateway!"},
        {"missing option", probe + " probe-netsetup --ip 1.2.3.4", 2, "wants --ip A --mask M --gateway G"},
        {"no probe", "--probe 127.0.0.1:1 probe-info", 1, "Cannot connect to QDX loader!"},
        {"no loader", emptyProbe + " probe-update", 1, "There is no QDX7000 connected!"},
    };
    for (const SCase& c : cases) {
        const SCliRun run = RunCli(dir, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << "\n" << run.err;
        EXPECT_TRUE(Has(run.err, c.text)) << c.name << "\n" << run.err;
    }
}

TEST_F(CliProbe, LoaderPortOptionsReachASerialLineAndStayInTheProject)
{
    CSimFixture::SOptions options;
    options.transport = CSimFixture::ETransport::Pty;
    CSimFixture serial = CSimFixture::OnRamBoard(options, {{0x40000000, 0x1000, 0}});
    ASSERT_TRUE(serial.Ok()) << serial.Error();
    ::setenv("TARVEL_COM2", serial.PtyPath().c_str(), 1);

    SCliRun run = RunCli(dir, "--project p.tvl probe-info --port COM2 --baud 19200 save");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Firmware  1.13      1.14")) << run.out;
    // The next run finds the loader on the port the project now keeps.
    run = RunCli(dir, "--project p.tvl probe-info");
    EXPECT_EQ(run.exitCode, 0) << run.err;

    run = RunCli(dir, "probe-info --port COM5");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "probe-info: --port wants COM1, COM2, COM3 or COM4")) << run.err;
    run = RunCli(dir, "probe-update --baud 115200");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "probe-update: --baud wants 9600, 19200, 38400 or 57600")) << run.err;
}

} // namespace
