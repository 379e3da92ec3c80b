// The CFI reader and the device check against flash models this project did
// not write: QEMU's JEDEC model (cfi.pflash02, bottom and top boot) and Intel
// model (cfi.pflash01, one x16 chip and two side by side), behind the
// simulator's qemu-flash boards, through tarvel-cli identify and flash.
#include "cli_runner.h"
#include "support/qemu_skip.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

struct SQemuIdentityCase {
    const char* name;
    const char* board;   // the qemu-flash line
    const char* project; // the project's device
    int busBits;
    const char* geometry; // what identify must print for bank 0
    bool matches;
};

class CliQemuIdentity : public ::testing::Test {
protected:
    SCliRun Run(const std::string& board, const std::string& device, int busBits, const std::string& steps)
    {
        std::ofstream(dir.File("qemu.board")) << "ram 0x40000000 64K\n" << board << "\n";
        return RunCli(dir, "--sim qemu.board setup --device \"" + device + "\" --bus " + std::to_string(busBits) +
                               " --base 80000000 " + steps);
    }
    CTempDir dir;
};

TEST_F(CliQemuIdentity, QemusModelsAreIdentifiedAndChecked)
{
    TARVEL_SKIP_WITHOUT_QEMU();
    const SQemuIdentityCase cases[] = {
        {"JEDEC bottom boot", "qemu-flash musicpal device=\"AMD  Am29LV640MB (4M x 16)\" base=0x80000000 bus=16 "
                              "regions=8x8K,127x64K",
         "AMD  Am29LV640MB (4M x 16)", 16,
         "  JEDEC command set, 1 device of 16 bits, 8192 KiB each, 135 sectors: 8 x 8 KiB, 127 x 64 KiB (bottom boot)",
         true},
        {"JEDEC top boot", "qemu-flash musicpal device=\"AMD  Am29LV640MT (4M x 16)\" base=0x80000000 bus=16 "
                           "regions=127x64K,8x8K",
         "AMD  Am29LV640MT (4M x 16)", 16,
         "  JEDEC command set, 1 device of 16 bits, 8192 KiB each, 135 sectors: 127 x 64 KiB, 8 x 8 KiB (top boot)",
         true},
        {"JEDEC top boot, project bottom boot", "qemu-flash musicpal device=\"AMD  Am29LV640MT (4M x 16)\" "
                                                "base=0x80000000 bus=16 regions=127x64K,8x8K",
         "AMD  Am29LV640MB (4M x 16)", 16, "127 x 64 KiB, 8 x 8 KiB (top boot)", false},
        {"Intel uniform x16", "qemu-flash connex device=\"Intel  28F128J3 (8M x 16)\" base=0x80000000 bus=16",
         "Intel  28F128J3 (8M x 16)", 16,
         "  Intel command set, 1 device of 16 bits, 16384 KiB each, 128 sectors: 128 x 128 KiB", true},
        {"Intel two x16 side by side", "qemu-flash versatilepb device=\"Intel  28F256J3 (16M x 16)\" "
                                       "base=0x80000000 bus=32",
         "Intel  28F256J3 (16M x 16)", 32,
         "  Intel command set, 2 devices of 16 bits, 32768 KiB each, 256 sectors: 256 x 128 KiB", true},
    };
    for (const SQemuIdentityCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SCliRun run = Run(c.board, c.project, c.busBits, "identify");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(Has(run.out, std::string(c.geometry) + "\n")) << run.out;
        EXPECT_TRUE(Has(run.out, "    \"" + std::string(c.matches ? c.project : "AMD  Am29LV640MT (4M x 16)") +
                                     "\"\n"))
            << run.out;
        EXPECT_TRUE(Has(run.out, c.matches ? "\" matches\n" : "does not match: They differ in the sector layout."))
            << run.out;
    }
}

TEST_F(CliQemuIdentity, TheSlipIsRefusedBeforeAnyEraseOfQemusChip)
{
    TARVEL_SKIP_WITHOUT_QEMU();
    std::ofstream(dir.File("four.s19")) << "S309801FC0001234567883\n";
    const std::string board = "qemu-flash musicpal device=\"AMD  Am29LV640MB (4M x 16)\" base=0x80000000 bus=16 "
                              "regions=8x8K,127x64K";
    SCliRun run = Run(board, "AMD  Am29LV640MT (4M x 16)", 16, "flash four.s19 dump --range 801FC000+4");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(Has(run.err, "They differ in the sector layout.")) << run.err;
    EXPECT_FALSE(Has(run.err, "successful erased")) << run.err;
    EXPECT_FALSE(Has(run.err, "successful programmed")) << run.err;

    run = Run(board, "AMD  Am29LV640MB (4M x 16)", 16, "flash four.s19");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "Device check: the flash matches \"AMD  Am29LV640MB (4M x 16)\".")) << run.err;
}

} // namespace
