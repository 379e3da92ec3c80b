// tarvel-cli asks the flash what it is before it erases or programs: the
// slip of a top-boot row for the demo board's bottom-boot chip is refused
// before any erase (the board's bytes stay as they were), --no-device-check
// goes on, a chip without CFI is "not checked", and identify names the demo
// device among the rows that fit.
#include "cli_runner.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

const char* kTopBoot = "AMD  Am29LV160MT (1M x 16)";

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CliDeviceCheck : public ::testing::Test {
protected:
    CliDeviceCheck()
    {
        // 4 bytes at 801FC000: in the top-boot layout a 16 KiB sector of its
        // own, on the bottom-boot chip inside the last 64 KiB sector.
        std::ofstream(dir.File("four.s19")) << "S309801FC0001234567883\n";
    }
    SCliRun Cli(CSimFixture& sim, const std::string& device, const std::string& steps)
    {
        return RunCli(dir, "--probe 127.0.0.1:" + std::to_string(sim.Port()) + " setup --device \"" + device +
                               "\" --bus 16 --base 80000000 " + steps);
    }
    // A mark in the demo chip's last sector, outside the 4 bytes.
    static void Mark(CSimFixture& sim)
    {
        ASSERT_EQ(sim.Program(33, 2, ~(kDemoFlashSize - 1), kDemoFlashBase + 0x1F0000, {0xA5, 0x5A}), 0);
    }

    CTempDir dir;
};

TEST_F(CliDeviceCheck, TheTopBootSlipIsRefusedBeforeAnyErase)
{
    CSimFixture sim{CSimFixture::Tcp()};
    Mark(sim);
    const SCliRun run = Cli(sim, kTopBoot, "flash four.s19");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(Has(run.err, "The flash on the board does not match the project's device.")) << run.err;
    EXPECT_TRUE(Has(run.err, "They differ in the sector layout.")) << run.err;
    EXPECT_TRUE(Has(run.err, "Catalogue rows that fit: ")) << run.err;
    EXPECT_TRUE(Has(run.err, "\"AMD  Am29LV160MB (1M x 16)\"")) << run.err;
    EXPECT_TRUE(Has(run.err, "--no-device-check")) << run.err;
    EXPECT_FALSE(Has(run.err, "successful erased")) << run.err;
    EXPECT_FALSE(Has(run.err, "successful programmed")) << run.err;
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x1F0000, 2), (std::vector<uint8_t>{0xA5, 0x5A}));
    EXPECT_TRUE(sim.AllBytesAre(kDemoFlashBase + 0x1FC000, 4, 0xFF));

    // Program alone is refused the same way.
    const SCliRun program = Cli(sim, kTopBoot, "load four.s19 program");
    EXPECT_EQ(program.exitCode, 1) << program.err;
    EXPECT_TRUE(sim.AllBytesAre(kDemoFlashBase + 0x1FC000, 4, 0xFF));
}

TEST_F(CliDeviceCheck, NoDeviceCheckGoesOnWithoutAsking)
{
    CSimFixture sim{CSimFixture::Tcp()};
    Mark(sim);
    const SCliRun run = Cli(sim, kTopBoot, "--no-device-check flash four.s19");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(Has(run.err, "does not match")) << run.err;
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x1FC000, 4), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}));
    // The wrong plan erased the whole 64 KiB sector of the real chip.
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x1F0000, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
}

TEST_F(CliDeviceCheck, TheRightDeviceAndAChipWithoutCfiGoOn)
{
    CSimFixture right{CSimFixture::Tcp()};
    SCliRun run = Cli(right, kDemoDevice, "flash four.s19");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "Device check: the flash matches \"AMD  Am29LV160MB (1M x 16)\".")) << run.err;

    CSimFixture silent{std::string("flash \"") + kDemoDevice + "\" base=0x80000000 bus=16 cfi=no\n",
                       CSimFixture::Tcp()};
    run = Cli(silent, kTopBoot, "flash four.s19");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "Device check: not checked (the flash did not answer the CFI query).")) << run.err;
    EXPECT_EQ(silent.Peek(kDemoFlashBase + 0x1FC000, 4), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}));
}

TEST_F(CliDeviceCheck, IdentifyNamesTheDemoDeviceAmongItsFits)
{
    CSimFixture sim{CSimFixture::Tcp()};
    SCliRun run = Cli(sim, kDemoDevice, "identify");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "bank 0 at 0x80000000: manufacturer 0x01, device 0x004E; CFI: command set 0x0002"))
        << run.out;
    EXPECT_TRUE(Has(run.out, "  JEDEC command set, 1 device of 16 bits, 2048 KiB each, 35 sectors: 1 x 16 KiB, "
                             "2 x 8 KiB, 1 x 32 KiB, 31 x 64 KiB (bottom boot)\n"))
        << run.out;
    EXPECT_TRUE(Has(run.out, "    \"AMD  Am29LV160MB (1M x 16)\"\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "the project's device \"AMD  Am29LV160MB (1M x 16)\" matches")) << run.out;

    // The slip: identify says where the project's device differs.
    run = Cli(sim, kTopBoot, "identify");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "does not match: They differ in the sector layout.")) << run.out;

    // Without a device, on the project's bus and base.
    run = RunCli(dir, "--probe 127.0.0.1:" + std::to_string(sim.Port()) + " setup --bus 16 --base 80000000 identify");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "    \"AMD  Am29LV160MB (1M x 16)\"\n")) << run.out;
}

} // namespace
