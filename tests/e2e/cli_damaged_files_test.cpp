// tarvel-cli against a simulated probe with files that used to end in flash
// with exit code 0: a damaged first line, text that is no record file, an ELF
// file for another machine, a kept range nothing was loaded into, an erase
// range below the flash. Each stops the run with exit code 1 and its message;
// the flash, dumped back, holds what it held, and the project file is as it
// was. Sound files in the less common shapes (CR line ends, a byte-order
// mark, an ELF file with padding between its sections) program exactly their
// bytes.
#include "cli_runner.h"
#include "program_file_texts.h"
#include "common/text_format.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"
#include "support/elf_builder.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

const std::string kSetup = "setup --device \"AMD  Am29LV160MB (1M x 16)\" --bus 16 --base 80000000";

std::string CrOnly(std::string text)
{
    for (char& c : text)
        if (c == '\n')
            c = '\r';
    return text;
}

class CliDamagedFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The flash holds a pattern in its first 64 KiB, and a project is
        // saved with it.
        WriteFileBytes(dir.File("old.s19"), SRecords(kDemoFlashBase, Pattern(0x10000, 1)));
        const SCliRun run = Cli(kSetup + " --project p.tvl load old.s19 erase --all program save");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        project_ = ReadFileBytes(dir.File("p.tvl"));
        flash_ = DumpedBack();
    }

    SCliRun Cli(const std::string& steps)
    {
        return RunCli(dir, "--probe 127.0.0.1:" + std::to_string(sim.Port()) + " " + steps);
    }

    // The first 64 KiB of flash as tarvel-cli dumps them back, stored as
    // S-records.
    std::string DumpedBack()
    {
        const SCliRun run = Cli(kSetup + " dump --range 80000000+10000 store - --range 80000000+10000");
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    }

    // Runs `steps` on the saved project, ending with save: a step that fails
    // must stop the run before the flash or the project file change.
    void ExpectRefused(const std::string& steps, const std::string& message)
    {
        SCOPED_TRACE(steps);
        const SCliRun run = Cli("--project p.tvl " + steps + " save");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(Has(run.err, message)) << run.err;
        EXPECT_FALSE(Has(run.err, "Erasing")) << run.err;
        EXPECT_FALSE(Has(run.err, "successful programmed")) << run.err;
        EXPECT_TRUE(ReadFileBytes(dir.File("p.tvl")) == project_) << "the project file changed";
        EXPECT_TRUE(DumpedBack() == flash_) << "the flash changed";
    }

    CTempDir dir;
    CSimFixture sim{CSimFixture::Tcp()};
    std::string project_;
    std::string flash_;
};

TEST_F(CliDamagedFiles, DamagedAndForeignProgramFilesNeverReachTheFlash)
{
    const std::string good = SRecords(kDemoFlashBase, Pattern(64, 9));
    std::string oddFirst = good;
    oddFirst.insert(oddFirst.find('\n'), "0"); // an odd digit count on the first line
    std::string trailing = good;
    trailing.insert(trailing.find('\n', trailing.find('\n') + 1), "00"); // digits after line 2's checksum
    const struct {
        const char* file;
        std::string content;
        std::string message;
    } cases[] = {
        {"odd.s19", oddFirst, "Error: odd.s19, line 1: '0' in column 13 follows the record's checksum !"},
        {"type.hex", ":00000006FA\n:0400000001020304F2\n", "Error: type.hex, line 1: unknown record type 06 !"},
        {"length.hex", ":05000000010203F7\n", "Error: length.hex, line 1: the record's length (5 bytes) runs past"},
        {"trailing.s19", trailing, "Error: trailing.s19, line 2: '0' in column 79 follows the record's checksum !"},
        {"bom.s19", "\xEF\xBB\xBF" + CrOnly(good + "S3XX\n"),
         "Error: bom.s19, line 5: 'X' in column 3 is not a hexadecimal digit !"},
        {"blank.s19", "\n\n  \n", "Error: blank.s19: a text file, but no S-record or Intel HEX file"},
        {"notes.txt", "firmware 1.2 for board A\n", "Error: notes.txt: a text file, but no S-record or Intel HEX"},
        {"empty.bin", "", "Error: empty.bin: the file is empty !"},
        {"header.s19", SRecords(kDemoFlashBase, {}), "Error: header.s19: the file holds no data !"},
        {"x86.elf", Elf({{1, 0x80000000, 0x80000000, Pattern(32, 2), 32}}, false, 1, 2, 3),
         "Error: x86.elf: an ELF file for x86 (machine 3): only ARM ELF files can be loaded !"},
    };
    for (const auto& c : cases) {
        WriteFileBytes(dir.File(c.file), c.content);
        ExpectRefused(std::string("load ") + c.file + " erase --all program verify", c.message);
    }
    // The text rule names its way out; flash - reads standard input and
    // refuses what load refuses.
    const SCliRun run = RunCli(dir, "--probe 127.0.0.1:" + std::to_string(sim.Port()) + " --project p.tvl flash -",
                               "", dir.File("notes.txt"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "tarvel-cli: give --format binary to load a text file's characters as they are"))
        << run.err;
    EXPECT_TRUE(DumpedBack() == flash_) << "the flash changed";
}

TEST_F(CliDamagedFiles, RangesNothingWasLoadedIntoAreRefused)
{
    // The saved project keeps no program or verify range yet.
    ExpectRefused("program --range stored verify --range stored",
                  "tarvel-cli: program: the project keeps no program range: give --range R");
    // A range given explicitly is taken as it is, and kept.
    SCliRun run = Cli("--project p.tvl load old.s19 program --range 80000000+100 save");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    project_ = ReadFileBytes(dir.File("p.tvl"));
    ExpectRefused("program --range stored",
                  "tarvel-cli: program: this run wrote nothing into the project's program range 80000000 - 800000FF");
    WriteFileBytes(dir.File("far.s19"), SRecords(kDemoFlashBase + 0x100000, Pattern(16, 4)));
    ExpectRefused("load far.s19 program --range stored", "this run wrote nothing into the project's program range");

    // erase --range below the flash: refused as program refuses it, where
    // it used to erase sector 0.
    ExpectRefused("erase --range 7FFFF000+2000", "Invalid Input: Out of physical memory range !");
}

TEST_F(CliDamagedFiles, SoundFilesInEveryShapeProgramExactlyTheirBytes)
{
    // CR line ends and a byte-order mark.
    const auto data = Pattern(100, 5);
    WriteFileBytes(dir.File("cr.s19"), "\xEF\xBB\xBF" + CrOnly(SRecords(kDemoFlashBase + 0x20000, data)));
    SCliRun run = Cli(kSetup + " load cr.s19 erase --range 80020000+64 program verify");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "Loading of 100 bytes successful terminated ! (S-record file)")) << run.err;
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x20000, 100), data);

    // An ELF file whose segment covers its headers and the padding after
    // .text: only the sections reach the flash, the rest stays erased.
    const uint32_t at = kDemoFlashBase + 0x30000;
    const auto text = Pattern(0x32, 6);
    const auto rodata = Pattern(0x20, 7);
    WriteFileBytes(dir.File("fw.elf"),
                   ElfWithSections(false, 0x200, {{0, at, at, 0x200, 0x200}},
                                   {{1, 6, at + 0x100, 0x100, 0x32}, {1, 2, at + 0x140, 0x140, 0x20}},
                                   {{0x100, text}, {0x140, rodata}}));
    run = Cli(kSetup + " flash fw.elf");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<uint8_t> expected(0x200, 0xFF);
    std::copy(text.begin(), text.end(), expected.begin() + 0x100);
    std::copy(rodata.begin(), rodata.end(), expected.begin() + 0x140);
    EXPECT_EQ(sim.Peek(at, 0x200), expected);

    // A text file loads as binary data when asked for by name.
    WriteFileBytes(dir.File("notes.txt"), "firmware 1.2\n");
    run = Cli(kSetup + " load notes.txt --format binary --offset 80040000 erase --range 80040000+10 program");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "Loading of 13 bytes successful terminated ! (binary file)")) << run.err;
    const std::string expectedText = "firmware 1.2\n";
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x40000, 13), std::vector<uint8_t>(expectedText.begin(), expectedText.end()));
}

// Started with standard output closed, store - writes into /dev/null; the
// memory image's backing file, which would have taken descriptor 1, keeps
// the loaded bytes.
TEST(CliDescriptors, AClosedStandardOutputNeverTakesTheImage)
{
    CTempDir dir;
    WriteFileBytes(dir.File("in.s19"), SRecords(0x100, Pattern(40, 3)));
    const std::string steps = "--physical 0+10000 load in.s19 store - --range 100+28 store out.s19 --range 100+28";
    const std::string command = "cd '" + dir.Path().string() + "' && TMPDIR='" + dir.Path().string() + "' '" +
                                std::string(TARVEL_BINARY_DIR) + "/tarvel-cli' " + steps + " </dev/null >&- 2>&-";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const SCliRun reference = RunCli(dir, "--physical 0+10000 load in.s19 store - --range 100+28");
    ASSERT_EQ(reference.exitCode, 0) << reference.err;
    EXPECT_EQ(ReadFileBytes(dir.File("out.s19")), reference.out);
}

} // namespace
