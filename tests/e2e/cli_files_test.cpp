// tarvel-cli end to end: the built program on fixture files, checked by its
// exit code, its stdout and stderr, and the files it writes.
#include "cli_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

// The image alone, over the whole image window: no project, no device.
const std::string kImage = "--physical 0+10000000 ";

using SRun = SCliRun;

class CliFiles : public ::testing::Test {
protected:
    SRun Cli(const std::string& arguments) { return RunCli(dir, arguments); }

    std::string Sample() const { return std::string(TARVEL_TEST_DATA_DIR) + "/files/sample.hex"; }

    CTempDir dir;
};

TEST_F(CliFiles, LoadChecksumStoreRunsInOrder)
{
    const SRun run = Cli(kImage + "load '" + Sample() + "' checksum --range 0..103 --unit byte store out.s19 --range 0..103");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // 0+1+..+31 + 4 * 0xFF + 0x21+..+0x28 + 0xDE+0xAD+0xBE+0xEF + 0xFF fill in between
    EXPECT_EQ(run.out, "Checksum: 0000DD74\n");
    EXPECT_NE(run.err.find("Loading of 48 bytes successful terminated !"), std::string::npos);
    // Whole 32-byte blocks are stored: 0..1F, 20..3F, and the last 4 bytes at 100.
    EXPECT_NE(run.err.find("Storing of 68 bytes successful terminated !"), std::string::npos);
    const std::string file = ReadFileBytes(dir.File("out.s19"));
    EXPECT_EQ(file.substr(0, 4), "S01D");
    EXPECT_NE(file.find("\r\nS1230000000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1FEC\r\n"),
              std::string::npos);
    EXPECT_EQ(file.substr(file.size() - 12), "S9030000FC\r\n");
    // The image's backing file went with the run.
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(e.path().filename().string().rfind("tarvel-cli-", 0), std::string::npos) << e.path();
}

TEST_F(CliFiles, TheImageLivesInTheImageDirectoryOfTheEnvironment)
{
    const std::filesystem::path images = dir.Path() / "images";
    std::filesystem::create_directory(images);
    const std::string fill = kImage + "fill --range 0..FF --pattern 5A --unit byte checksum --range 0..FF --unit byte";
    const SRun run = RunCli(dir, fill, "TARVEL_IMAGE_DIR='" + images.string() + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Checksum: 00005A00\n");
    EXPECT_TRUE(std::filesystem::is_empty(images)) << "its private directory went with the run";

    const std::string missing = (dir.Path() / "missing").string();
    const SRun failed = RunCli(dir, fill, "TARVEL_IMAGE_DIR='" + missing + "'");
    EXPECT_NE(failed.exitCode, 0);
    EXPECT_NE(failed.err.find("cannot create a directory for the memory image in " + missing), std::string::npos)
        << failed.err;
}

TEST_F(CliFiles, ExistingFileIsKeptWithoutYes)
{
    WriteFileBytes(dir.File("out.s19"), "keep me");
    SRun run = Cli(kImage + "fill --range 0+10 --pattern 55 --unit byte store out.s19 --range 0+10");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Confirmed: File already exists!   Do you want replace it?"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(dir.File("out.s19")), "keep me");

    run = Cli(kImage + "--yes fill --range 0+10 --pattern 55 --unit byte store out.s19 --range 0+10");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(ReadFileBytes(dir.File("out.s19")).find("S1130000555555555555555555555555555555559C"),
              std::string::npos);
}

TEST_F(CliFiles, FailuresStopTheRunWithTheSystemsMessage)
{
    struct {
        const char* arguments;
        int exitCode;
        const char* message;
    } cases[] = {
        {"--physical 0+10000000 load missing.hex checksum --range 0+4 --unit byte", 1,
         "Error: Can not open file !\nLoading process aborted..."},
        {"--physical 0+10000000 checksum --range 0FFFFFF0+20 --unit byte", 1,
         "Invalid Input: Out of physical memory range !\n (Base: 00000000, Size: 10000000)"},
        {"--physical 1000+100 fill --range 1000..0FFF --pattern 0 --unit word", 1,
         "Invalid Input: Start address should not be greater than end address !"},
        {"load", 2, "load: FILE is missing"},
        {"frobnicate", 2, "unknown step 'frobnicate'"},
        {"fill --range 0+10 --pattern 1234 --unit byte", 2, "--pattern wants a hexadecimal number of up to 2 digits"},
        {"checksum --range 0+zz --unit byte", 2, "--range wants START..END or START+LENGTH"},
        {"--yes --no checksum --range 0+4 --unit byte", 2, "--yes and --no exclude each other"},
    };
    for (const auto& c : cases) {
        const SRun run = Cli(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << "\n" << run.err;
        EXPECT_EQ(run.out, "") << c.arguments; // the failing step printed no result
    }
}

TEST_F(CliFiles, LoadOutsideTheRangeIsAnExitCodeOfItsOwn)
{
    const std::string args = kImage + "load '" + Sample() + "' --offset 0FFFFFF0 checksum --range 0FFFFFF0+10 --unit byte";
    SRun run = Cli(args);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("Warning: Some of 48 loaded bytes are outside of the defined memory range !!"),
              std::string::npos);
    EXPECT_EQ(run.out, "Checksum: 00000078\n"); // the later step still ran
    run = Cli("--allow-outside " + args);
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(CliFiles, ChecksumStoreAsksInsideItsRange)
{
    SRun run = Cli(kImage + "load '" + Sample() + "' checksum --range 0+10 --unit byte --store 8 --dest-unit word");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Information: The checksum store address is inside the calculated checksum range !"),
              std::string::npos);
    run = Cli(kImage + "--yes load '" + Sample() + "' checksum --range 0+10 --unit byte --store 8 --dest-unit word "
              "checksum --range 8+2 --unit word");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Checksum: 0078\nChecksum: 00000078\n");
}

TEST_F(CliFiles, HelpNamesStepsAndExitCodes)
{
    const SRun run = Cli("--help");
    EXPECT_EQ(run.exitCode, 0);
    for (const char* text : {"load FILE [--offset HEX] [--format auto|srec|hex|elf|abs|binary]", "store FILE --range R",
                             "--allow-outside", "Exit codes:", "probe-info [P]", "probe-update [P]",
                             "probe-netsetup --ip A", "TARVEL_COM1 .. TARVEL_COM4", "TARVEL_PROGRAM_DIR",
                             "130  Ctrl-C", "ELF (32-bit ARM executables"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
    EXPECT_EQ(Cli("-h").out, run.out);
}

// Options stand before, between or after the steps, in their short forms
// and with "=" as well; after "--" a word that begins with "-" is a file.
TEST_F(CliFiles, OptionsAnywhereInEveryForm)
{
    const std::string fill = "fill --range 0..F --pattern 5A --unit byte";
    const std::string sum = "checksum --range 0..F --unit byte";
    const struct {
        std::string arguments;
        std::string out;
    } cases[] = {
        {"--physical 0+10000 " + fill + " --quiet " + sum, "Checksum: 000005A0\n"},
        {fill + " -q " + sum + " --physical=0+10000", "Checksum: 000005A0\n"},
        {"--physical=0+10000 -q fill --range=0..F --pattern=5A --unit=byte " + sum, "Checksum: 000005A0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const SRun run = Cli(c.arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(Cli("-V").out.rfind("tarvel-cli ", 0), 0u);

    WriteFileBytes(dir.File("-dash.hex"), ":0400000001020304F2\n");
    SRun run = Cli("--physical 0+10000 -q -- load -dash.hex checksum --range 0..3 --unit byte");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Checksum: 0000000A\n");

    // --quiet keeps questions that --yes answers and notes to itself.
    WriteFileBytes(dir.File("out.s19"), "old");
    run = Cli("--project q.tvl --yes --quiet setup --device \"AMD  Am29F010\" --bus 8 --base 0 " + fill +
              " store out.s19 --range 0..F");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(ReadFileBytes(dir.File("out.s19")), "old");
}

} // namespace
