// tarvel-cli through a GDB server (--probe gdb:HOST:PORT) to QEMU's ARM
// machines, whose flash models no one here wrote: musicpal (ARM926, JEDEC
// flash on a 16-bit bus at 0xFE000000) and versatilepb (two Intel x16 chips
// side by side on a 32-bit bus at 0x34000000). The bytes in QEMU's drive file
// must equal what was flashed. Skipped where qemu-system-arm is missing.

#include "cli_runner.h"
#include "support/qemu_gdb_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {

std::string RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

class CliThroughGdbServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        qemu_ = FindProgramOnPath("qemu-system-arm");
        if (qemu_.empty())
            GTEST_SKIP() << kQemuMissing;
    }

    // Starts QEMU on `machine` with a drive of `image` bytes.
    void Start(const std::string& machine, const std::string& image, const std::vector<std::string>& extra = {},
               bool readOnly = false)
    {
        drive_ = dir_.File("flash.bin");
        WriteFileBytes(drive_, image);
        port_ = FreeLoopbackPort();
        ASSERT_NE(port_, 0);
        server_ = std::make_unique<CQemuGdbServer>(
            qemu_, machine, "if=pflash,format=raw,file=" + drive_ + (readOnly ? ",readonly=on" : ""), extra, port_,
            dir_.File("qemu.log"));
        ASSERT_TRUE(server_->Running());
        ASSERT_TRUE(CQemuGdbServer::WaitUntilListening(port_, 20000)) << ReadFileBytes(dir_.File("qemu.log"));
    }
    std::string Probe() const { return "--probe gdb:127.0.0.1:" + std::to_string(port_) + " "; }
    // QEMU's drive file once QEMU has ended.
    std::string Drive()
    {
        server_->Stop();
        return ReadFileBytes(drive_);
    }

    CTempDir dir_;
    std::string qemu_;
    std::string drive_;
    uint16_t port_ = 0;
    std::unique_ptr<CQemuGdbServer> server_;
};

const char* const kJedecSetup = "setup --device \"AMD  Am29LV640MH/L (4M x 16)\" --bus 16 --base FE000000 ";
const char* const kIntelSetup = "setup --device \"Intel  28F256J3 (16M x 16)\" --bus 32 --base 34000000 ";
const std::vector<std::string> kTwoX16OnThirtyTwoBits = {"-global", "driver=cfi.pflash01,property=device-width,value=2"};

} // namespace

TEST_F(CliThroughGdbServer, JedecProgramVerifyAndDumpReachTheDriveAndAChangedImageFailsVerify)
{
    Start("musicpal", std::string(8 << 20, '\xff'));
    const std::string data = RandomBytes(1536, 1);
    WriteFileBytes(dir_.File("data.bin"), data);

    SCliRun run = RunCli(dir_, Probe() + kJedecSetup +
                                   "load data.bin --format binary --offset FE000101 program verify "
                                   "dump --range FE000101+600 store dump.s19 --range FE000101+600 --yes");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    // The dump read the flash back into the image: its store is the data.
    std::string dumped = data;
    dumped[5] = static_cast<char>(~dumped[5]);
    WriteFileBytes(dir_.File("changed.bin"), dumped);
    run = RunCli(dir_, Probe() + kJedecSetup + "load changed.bin --format binary --offset FE000101 verify");
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find("FE000106"), std::string::npos) << run.out << run.err;

    const std::string drive = Drive();
    EXPECT_EQ(drive.substr(0x101, data.size()), data);
    EXPECT_EQ(drive.find_first_not_of('\xff', 0), 0x101u);
    EXPECT_EQ(drive.find_first_not_of('\xff', 0x101 + data.size()), std::string::npos);
    EXPECT_TRUE(ReadFileBytes(dir_.File("dump.s19")).size() > 1200);
}

TEST_F(CliThroughGdbServer, JedecFlashErasesTheSectorTouchedAndKeepsItsNeighbours)
{
    // QEMU's erase is a timer, which runs only while the guest does: the
    // library lets it run while it polls the busy chip.
    std::string image(8 << 20, '\x5a');
    Start("musicpal", image);
    const std::string data = RandomBytes(512, 4);
    WriteFileBytes(dir_.File("data.bin"), data);

    const SCliRun run = RunCli(dir_, Probe() + kJedecSetup + "flash data.bin --format binary --offset FE010010");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;

    const std::string drive = Drive();
    constexpr size_t kSector = 64 << 10;
    EXPECT_EQ(drive.substr(0, kSector), image.substr(0, kSector));
    EXPECT_EQ(drive.substr(2 * kSector), image.substr(2 * kSector));
    EXPECT_EQ(drive.substr(kSector, 0x10), std::string(0x10, '\xff'));
    EXPECT_EQ(drive.substr(kSector + 0x10, data.size()), data);
    EXPECT_EQ(drive.find_first_not_of('\xff', kSector + 0x10 + data.size()), 2 * kSector);
}

TEST_F(CliThroughGdbServer, IntelFlashErasesTheSectorsTouchedAndKeepsTheirNeighbours)
{
    // 64 MiB of a pattern; the sectors are 2 x 128 KiB = 256 KiB on this bus.
    std::string image(64 << 20, '\0');
    for (size_t i = 0; i < 3 << 18; ++i)
        image[i] = static_cast<char>(i * 13 + 7);
    Start("versatilepb", image, kTwoX16OnThirtyTwoBits);
    const std::string data = RandomBytes(2048, 2);
    WriteFileBytes(dir_.File("data.bin"), data);

    const SCliRun run = RunCli(dir_, Probe() + kIntelSetup + "flash data.bin --format binary --offset 34040010");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;

    const std::string drive = Drive();
    constexpr size_t kSector = 256 << 10;
    EXPECT_EQ(drive.substr(0, kSector), image.substr(0, kSector));                  // before: kept
    EXPECT_EQ(drive.substr(2 * kSector, kSector), image.substr(2 * kSector, kSector)); // after: kept
    EXPECT_EQ(drive.substr(kSector, 0x10), std::string(0x10, '\xff'));               // erased
    EXPECT_EQ(drive.substr(kSector + 0x10, data.size()), data);
    EXPECT_EQ(drive.find_first_not_of('\xff', kSector + 0x10 + data.size()), 2 * kSector);
}

TEST_F(CliThroughGdbServer, AReadOnlyIntelDriveFailsProgramWithItsAddress)
{
    Start("versatilepb", std::string(64 << 20, '\xff'), kTwoX16OnThirtyTwoBits, true);
    WriteFileBytes(dir_.File("data.bin"), RandomBytes(64, 3));
    const SCliRun run = RunCli(dir_, Probe() + kIntelSetup + "load data.bin --format binary --offset 34000020 program");
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find("0x34000020"), std::string::npos) << run.out << run.err;
}

TEST_F(CliThroughGdbServer, TheProbesOwnStepsSayThatTheyNeedAQdx7000)
{
    Start("musicpal", std::string(8 << 20, '\xff'));
    const SCliRun run = RunCli(dir_, Probe() + "probe-info");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("needs a QDX7000"), std::string::npos) << run.out << run.err;
}
