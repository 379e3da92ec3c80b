// tarvel-cli on a project file: setup and save, then load, checksum and store
// in the project's memory range; the init lists, show, devices, autoload,
// and the refusals, each with the system's own message and exit code.
#include "cli_runner.h"
#include "project/qpg_doc.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>

namespace {

const char* const kDevice = "AMD  Am29LV160BB (1M x 16)";
const std::string kSetup = "setup --device \"AMD  Am29LV160BB (1M x 16)\" --bus 16 --base 08000000";

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CliProject : public ::testing::Test {
protected:
    CliProject()
    {
        // 16 bytes at 0x08000000 and 4 at 0x08000100.
        WriteFileBytes(dir.File("fw.hex"), ":020000040800F2\n"
                                           ":10000000000102030405060708090A0B0C0D0E0F78\n"
                                           ":04010000DEADBEEFC3\n"
                                           ":00000001FF\n");
    }
    SCliRun Cli(const std::string& arguments) { return RunCli(dir, arguments); }

    // The project file as the document reads it.
    bool ReadProject(const std::string& name, CQpgDoc& doc)
    {
        std::string error;
        const std::string bytes = ReadFileBytes(dir.File(name));
        const bool ok =
            doc.ReadFromBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, error);
        EXPECT_TRUE(ok) << error;
        return ok;
    }

    CTempDir dir;
};

} // namespace

TEST_F(CliProject, SetupSaveThenLoadChecksumAndStoreInTheProjectsRange)
{
    SCliRun run = Cli("--project p.tvl " + kSetup + " save");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "setup: device \"AMD  Am29LV160BB (1M x 16)\" (row 74)")) << run.err;
    EXPECT_TRUE(Has(run.err, "memory range 08000000 - 081FFFFF")) << run.err;
    CQpgDoc doc(false);
    ASSERT_TRUE(ReadProject("p.tvl", doc));
    EXPECT_EQ(doc.memoryType, kDevice);
    EXPECT_EQ(doc.busWidth, 1);
    EXPECT_EQ(doc.physicalRange, CMemoryRange(0x08000000, 0x200000, 1));
    EXPECT_EQ(doc.eraseMap.GetSectors(), 35);

    // --yes may stand after the steps.
    run = Cli("--project p.tvl load fw.hex checksum --range 08000000+200000 --unit byte "
              "store out.s19 --range 08000000+200000 --yes");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // 0x00+..+0x0F + DE+AD+BE+EF, and 0xFF for every other byte of the 2 MiB.
    EXPECT_EQ(run.out, "Checksum: 1FDFEFC4\n");
    EXPECT_TRUE(Has(run.err, "Loading of 20 bytes successful terminated !")) << run.err;
    EXPECT_TRUE(Has(run.err, "Storing of 64 bytes successful terminated !")) << run.err;
    EXPECT_TRUE(Has(run.err, "are not saved")) << run.err; // the load and store values changed the project
    const std::string s19 = ReadFileBytes(dir.File("out.s19"));
    EXPECT_TRUE(Has(s19, "S32508000000000102030405060708090A0B0C0D0E0F")) << s19;
    EXPECT_TRUE(Has(s19, "S32508000100DEADBEEF")) << s19;

    // A load outside the physical range: the loader's warning with both ranges.
    run = Cli("--project p.tvl load fw.hex --offset 10000000");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(Has(run.err, "Warning: Some of 20 loaded bytes are outside of the defined memory range !!\n\n"
                             "Memory range:\t08000000 - 081FFFFF Hex\nFile range:\t18000000 - 18000103 Hex"))
        << run.err;
}

TEST_F(CliProject, SaveKeepsTheLoadAndStoreValuesAndAutoloadRunsOnOpen)
{
    ASSERT_EQ(Cli("--project p.tvl " + kSetup + " save").exitCode, 0);
    SCliRun run = Cli("--project p.tvl load fw.hex store out.s19 --range 08000000+10 save show");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Load:            \"fw.hex\", offset 00000000, autoload off")) << run.out;
    EXPECT_TRUE(Has(run.out, "Store:           \"out.s19\", 08000000 - 0800000F (00000010 bytes)")) << run.out;
    EXPECT_FALSE(Has(run.err, "are not saved"));

    // A project with autoload set loads its program file when it is opened.
    CQpgDoc doc(false);
    ASSERT_TRUE(ReadProject("p.tvl", doc));
    doc.autoload = true;
    CScriptedMessageBox box;
    ASSERT_TRUE(doc.Save(dir.File("auto.tvl"), box));
    run = Cli("--project auto.tvl checksum --range 08000100+4 --unit byte");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Checksum: 00000338\n");
    EXPECT_TRUE(Has(run.err, "Loading of 20 bytes successful terminated !")) << run.err;

    // Its program file gone: the Load report, and nothing runs on the empty image.
    std::remove(dir.File("fw.hex").c_str());
    run = Cli("--project auto.tvl checksum --range 08000100+4 --unit byte");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "Error: Can not open file !\nLoading process aborted...")) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(CliProject, InitListsImportExportAndShow)
{
    // Display lines, as the editor and the report show them.
    WriteFileBytes(dir.File("main.txt"), "WM32\t0xFFE00000\t0x00000001\tremap\nDELAY\t\t10\t\n"
                                         "LOOP\t0x00000004\t0x00000003\tthree times\n");
    SCliRun run = Cli("--project p.tvl " + kSetup + " initlist main main.txt initlist main --export back.txt save");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(dir.File("back.txt")), ReadFileBytes(dir.File("main.txt")));
    CQpgDoc doc(false);
    ASSERT_TRUE(ReadProject("p.tvl", doc));
    EXPECT_EQ(doc.mainList.GetCount(), 3u);

    run = Cli("--project p.tvl show");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Device:          \"AMD  Am29LV160BB (1M x 16)\"\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "Physical range:  08000000 - 081FFFFF (00200000 bytes)\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "Erase map:       1 bank(s) x 35 sector(s), selected: none\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "Init list main:          3 entries\n    WM32\t0xFFE00000\t0x00000001\tremap\n"))
        << run.out;
    EXPECT_TRUE(Has(run.out, "Init list post-program:  0 entries\n")) << run.out;

    // One bad line: the list stays as it was, the line is named.
    WriteFileBytes(dir.File("bad.txt"), "WM32\t0xFFE00000\t0x00000001\t\nPOKE\t0\t0\t\n");
    run = Cli("--project p.tvl initlist main bad.txt save");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "line 2:")) << run.err;
    ASSERT_TRUE(ReadProject("p.tvl", doc));
    EXPECT_EQ(doc.mainList.GetCount(), 3u);

    // An existing export file is replaced only after a yes.
    run = Cli("--project p.tvl initlist pre-erase --export back.txt");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadFileBytes(dir.File("back.txt")), ReadFileBytes(dir.File("main.txt")));
}

TEST_F(CliProject, SetupRefusesWhatTheDialogRefuses)
{
    const struct {
        const char* arguments;
        int exitCode;
        const char* message;
    } cases[] = {
        {"setup --device \"AMD  Am29F010\" --banks 17", 1, "Please enter an integer between 1 and 16."},
        {"setup --device \"LPC2000 Flash (128K)\" --bus 16", 1, "disables the 16 Bit button"},
        {"setup --device \"LPC2000 Flash (128K)\" --base 08000000", 1, "fixes the base address at 00000000"},
        {"setup --device \"LPC2000 Flash (128K)\"", 1,
         "Error: Current flash array overlaps with QDX workspace.\nPlease select another QDX workspace."},
        {"setup --device \"AMD  Am29F010\" --bus 8 --base FFFF0000", 1,
         "Invalid Input: Out of maximum memory address !\n (Endaddress > 0xFFFFFFFF)"},
        {"setup --device \"AMD  Am29F010\" --workspace 1000", 1, "the workspace field is disabled"},
        {"setup --device am29lv160", 2, "candidates:\n  \"AMD  Am29LV160BT (2M x 8)\" (row 71)"},
        {"setup --cpu ARM11", 2, "--cpu wants one of 0 \"ARM7TDMI\""},
        {"setup --bus 64", 2, "--bus wants 8, 16 or 32"},
    };
    for (const auto& c : cases) {
        const SCliRun run = Cli(std::string("--project p.tvl ") + c.arguments + " save");
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.err;
        EXPECT_TRUE(Has(run.err, c.message)) << c.arguments << "\n" << run.err;
        EXPECT_TRUE(ReadFileBytes(dir.File("p.tvl")).empty()) << c.arguments; // save never ran
    }

    // What the dialog allows: case and spacing of the name, codes and names of the lists.
    const SCliRun run = Cli("--project p.tvl setup --device \"lpc2000 flash   (128k)\" --workspace 40000000 "
                            "--cpu arm7tdmi --clock 16mhz --endian big save");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    CQpgDoc doc(false);
    ASSERT_TRUE(ReadProject("p.tvl", doc));
    EXPECT_EQ(doc.memoryType, "LPC2000 Flash (128K)");
    EXPECT_EQ(doc.busWidth, 0);
    EXPECT_TRUE(doc.useTargetAlgorithm);
    EXPECT_EQ(doc.targetOptions, 0x00010001u);
    EXPECT_EQ(doc.physicalRange, CMemoryRange(0, 0x20000, 1));
}

// Values the dialog accepts when set in some order are accepted in one step,
// whatever order the options come in.
TEST_F(CliProject, SetupFindsTheOrderInWhichTheDialogAcceptsTheValues)
{
    for (const char* arguments : {"setup --device \"AMD  Am29F010\" --bus 8 --base FFFE0000",
                                  "setup --base FFFE0000 --bus 8 --device \"AMD  Am29F010\""}) {
        const SCliRun run = Cli(std::string("--project q.tvl ") + arguments + " save");
        ASSERT_EQ(run.exitCode, 0) << arguments << "\n" << run.err;
        CQpgDoc doc(false);
        ASSERT_TRUE(ReadProject("q.tvl", doc));
        EXPECT_EQ(doc.memoryType, "AMD  Am29F010");
        EXPECT_EQ(doc.busWidth, 0);
        EXPECT_EQ(doc.physicalRange, CMemoryRange(0xFFFE0000, 0x20000, 1));
        std::filesystem::remove(dir.File("q.tvl"));
    }
    // What no order makes fit is still refused with the dialog's reason.
    const SCliRun run = Cli("--project q.tvl setup --device \"AMD  Am29F010\" --bus 16 --base FFFE0000");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "Out of maximum memory address !")) << run.err;
}

TEST_F(CliProject, RunsFailSafelyWithTheirReason)
{
    WriteFileBytes(dir.File("other.tvl"), "keep me");
    WriteFileBytes(dir.File("damaged.tvl"), std::string("\x01\x00\x00\x00", 4));
    const struct {
        const char* arguments;
        int exitCode;
        const char* message;
    } cases[] = {
        {"load fw.hex", 1, "load: no flash device is selected"},
        {"--project p.tvl checksum --range 0+4 --unit byte", 1, "checksum: no flash device is selected"},
        {"--project damaged.tvl show", 1, "File-Error: Unexpected file format."},
        {"setup --device NONE save", 2, "save: FILE is missing"},
        {"--physical 0+100 --project p.tvl show", 2, "does not go with --project"},
        {"--physical 0+100 setup --bus 8", 2, "setup belongs to a project"},
        {"--project p.tvl --project q.tvl show", 2, "--project given twice"},
        // Replacing another project file needs a yes.
        {"--project p.tvl setup --device \"AMD  Am29F010\" save other.tvl", 1,
         "Confirmed: File already exists!   Do you want replace it?"},
        {"devices flash9000", 1, "devices: no device name contains \"flash9000\""},
    };
    for (const auto& c : cases) {
        const SCliRun run = Cli(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.err;
        EXPECT_TRUE(Has(run.err, c.message)) << c.arguments << "\n" << run.err;
        EXPECT_EQ(run.out, "") << c.arguments;
    }
    EXPECT_EQ(ReadFileBytes(dir.File("other.tvl")), "keep me");
    EXPECT_EQ(ReadFileBytes(dir.File("damaged.tvl")), std::string("\x01\x00\x00\x00", 4));

    // Devices report no size and never end.
    for (const auto& [arguments, message] : std::vector<std::pair<std::string, std::string>>{
             {kSetup + " load /dev/zero", "Can not open file !"},
             {"initlist main /dev/zero", "initlist main: /dev/zero is not an init list (too large)"}}) {
        const SCliRun run = Cli("--project p.tvl " + arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments << "\n" << run.err;
        EXPECT_TRUE(Has(run.err, message)) << arguments << "\n" << run.err;
    }

    const SCliRun run = Cli("--yes --project p.tvl setup --device \"AMD  Am29F010\" save other.tvl");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    CQpgDoc doc(false);
    ASSERT_TRUE(ReadProject("other.tvl", doc));
    EXPECT_EQ(doc.memoryType, "AMD  Am29F010");
}

TEST_F(CliProject, DevicesListsMatchingRowsWithTheirExactNames)
{
    SCliRun run = Cli("devices \"lpc2000  FLASH\"");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, " 328  \"LPC2000 Flash (128K)\"")) << run.out;
    EXPECT_TRUE(Has(run.out, " 329  \"LPC2000 Flash (256K)\"")) << run.out;
    EXPECT_FALSE(Has(run.out, "AMD"));
    // width, size in bytes, page, program and erase codes, sectors
    EXPECT_TRUE(Has(run.out, "x8      131072     0    42    42      15\n")) << run.out;

    run = Cli("devices \"Am29LV001BT\" --sectors");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "\"AMD  Am29LV001BT\"")) << run.out;
    EXPECT_TRUE(Has(run.out, "sectors: 00000000 00004000 00008000 0000C000 00010000 00014000 00018000 0001C000\n"
                             "              0001D000 0001E000\n"))
        << run.out;
}

// A project file with a bus width no dialog writes: the run shows it as
// such, refuses to program before the probe is touched (it once programmed
// the whole physical range), and a save keeps the value as read.
TEST_F(CliProject, AHostileBusWidthIsShownRefusedAndKept)
{
    ASSERT_EQ(Cli(kSetup + " save board.tvl").exitCode, 0);
    CQpgDoc doc;
    ASSERT_TRUE(ReadProject("board.tvl", doc));
    doc.busWidth = 0xFFFF;
    const std::vector<uint8_t> bytes = doc.SaveToBytes();
    WriteFileBytes(dir.File("board.tvl"), std::string(bytes.begin(), bytes.end()));

    const SCliRun show = Cli("--project board.tvl show");
    EXPECT_TRUE(Has(show.out, "Data bus:        code 65535 (not 8, 16 or 32 bit)")) << show.out;
    const SCliRun program = Cli("--sim default --project board.tvl load fw.hex program");
    EXPECT_EQ(program.exitCode, 1);
    EXPECT_TRUE(Has(program.err, "The project's data bus width is not valid (the project file holds code 65535)"))
        << program.err;
    EXPECT_FALSE(Has(program.err, "Connecting")) << program.err;
    // Erase names the code as the file has it too, not as a bus of 0 bits.
    const SCliRun erase = Cli("--sim default --project board.tvl erase --all");
    EXPECT_EQ(erase.exitCode, 1);
    EXPECT_TRUE(Has(erase.err, "The project's data bus width is not valid (the project file holds code 65535)"))
        << erase.err;
    EXPECT_FALSE(Has(erase.err, "0 bits")) << erase.err;
    EXPECT_FALSE(Has(erase.err, "Connecting")) << erase.err;
    ASSERT_EQ(Cli("--project board.tvl fill --range 08000000+10 --pattern 1 --unit byte save").exitCode, 0);
    CQpgDoc back;
    ASSERT_TRUE(ReadProject("board.tvl", back));
    EXPECT_EQ(back.busWidth, 0xFFFF);
}

TEST_F(CliProject, TwoSavesOfOneProjectAtOnceNeverLoseAnEdit)
{
    ASSERT_EQ(Cli("--project p.tvl " + kSetup + " save").exitCode, 0);
    const std::string cli = std::string("'").append(TARVEL_BINARY_DIR).append("/tarvel-cli'");
    // Either order is right, and both may save when one starts after the
    // other's save; the point is that neither loses the other's edit.
    for (int round = 1; round <= 12; ++round) {
        std::string ip = "10.0.0.", list = "l";
        ip += std::to_string(round);
        list += std::to_string(round) + ".txt";
        WriteFileBytes(dir.File(list), "DELAY\t\t" + std::to_string(round) + "\t\n");
        // Both started together; each prints its exit code, its stderr kept apart.
        const std::string command = "cd '" + dir.Path().string() + "' && TMPDIR='" + dir.Path().string() + "'; (" +
                                    cli + " --project p.tvl comm --ip " + ip + " save 2>a.err </dev/null; echo a$?) & (" +
                                    cli + " --project p.tvl initlist post-erase " + list +
                                    " save 2>b.err </dev/null; echo b$?) & wait";
        const std::string out = ShellOutput(command);
        const bool aSaved = Has(out, "a0");
        const bool bSaved = Has(out, "b0");
        ASSERT_TRUE(aSaved || bSaved) << out;
        CQpgDoc after(false);
        ASSERT_TRUE(ReadProject("p.tvl", after));
        // What a run said it saved is in the file; what it refused is not.
        EXPECT_EQ(after.probeAddress == ip, aSaved) << out;
        std::string line;
        const bool listThere = after.postEraseList.GetCount() == 1 && after.postEraseList.GetItemDisplayLine(0, line) &&
                               line == "DELAY\t\t" + std::to_string(round) + "\t";
        EXPECT_EQ(listThere, bSaved) << out << " " << line;
        for (const char* loser : {"a", "b"}) {
            if (Has(out, std::string(loser) + "0"))
                continue;
            EXPECT_TRUE(Has(out, std::string(loser) + "1")) << out;
            EXPECT_TRUE(Has(ReadFileBytes(dir.File(std::string(loser) + ".err")),
                            "changed on disk since this run read it (another program changed it); not saved"))
                << ReadFileBytes(dir.File(std::string(loser) + ".err"));
        }
    }
}
