// tarvel-cli against a simulated probe, as a production line runs it: the
// files that used to end as a wrong flash with exit code 0 or 3 (a range kept
// from an earlier run, an empty image, a bad record file, an ELF file taken
// as binary) now stop the run with their message, and the flash keeps what it
// held; the one-shot flash step erases exactly the sectors the data touches.
#include "catalogue/flash_catalogue.h"
#include "common/text_format.h"
#include "cli_runner.h"
#include "program_file_texts.h"
#include "files/srecord_writer.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"
#include "support/elf_builder.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string kSetup = "setup --device \"AMD  Am29LV160MB (1M x 16)\" --bus 16 --base 80000000";

// An Intel HEX file of the bytes at `address` (below 64 KiB of its 64 KiB page), 16 per record.
std::string IntelHex(uint32_t address, const std::vector<uint8_t>& data)
{
    auto record = [](uint32_t type, uint32_t at, const uint8_t* bytes, size_t n) {
        std::vector<uint8_t> r = {static_cast<uint8_t>(n), static_cast<uint8_t>(at >> 8), static_cast<uint8_t>(at),
                                  static_cast<uint8_t>(type)};
        r.insert(r.end(), bytes, bytes + n);
        uint8_t sum = 0;
        for (uint8_t b : r)
            sum = static_cast<uint8_t>(sum + b);
        r.push_back(static_cast<uint8_t>(-sum));
        std::string line = ":";
        for (uint8_t b : r) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", b);
            line += hex;
        }
        return line + "\n";
    };
    const uint8_t upper[2] = {static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16)};
    std::string s = record(4, 0, upper, 2);
    for (size_t i = 0; i < data.size(); i += 16)
        s += record(0, (address & 0xFFFF) + static_cast<uint32_t>(i), data.data() + i,
                    std::min<size_t>(16, data.size() - i));
    return s + ":00000001FF\n";
}

// Another hexadecimal digit in place of `c`.
void Corrupt(char& c)
{
    c = c == '0' ? '1' : '0';
}

class CliLoader : public ::testing::Test {
protected:
    SCliRun Cli(const std::string& steps) { return RunCli(dir, Probe() + " " + steps); }
    SCliRun CliSetup(const std::string& steps) { return Cli(kSetup + " " + steps); }
    std::string Probe() const { return "--probe 127.0.0.1:" + std::to_string(sim.Port()); }
    std::string Write(const std::string& name, const std::string& bytes)
    {
        WriteFileBytes(dir.File(name), bytes);
        return name;
    }

    // Programs `byte` into the first and last 16 bytes of every sector.
    void PatternInEverySector(const char* byte)
    {
        std::string steps = "erase --all";
        for (uint32_t s = 0; s < device->sectorCount; ++s) {
            const uint32_t lo = kDemoFlashBase + device->SectorStart(s);
            const uint32_t size = device->SectorSize(s);
            steps += Format(" fill --range %X+10 --pattern %s --unit byte fill --range %X+10 --pattern %s --unit byte",
                            lo, byte, lo + size - 16, byte);
        }
        const SCliRun run = CliSetup(steps + " program verify");
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }

    // True when the first and last 16 bytes of sector `s` hold `value`.
    bool SectorEdgesHold(uint32_t s, uint8_t value)
    {
        const uint32_t lo = kDemoFlashBase + device->SectorStart(s);
        const std::vector<uint8_t> expected(16, value);
        return sim.Peek(lo, 16) == expected && sim.Peek(lo + device->SectorSize(s) - 16, 16) == expected;
    }

    CTempDir dir;
    CSimFixture sim{CSimFixture::Tcp()};
    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(kDemoDevice);
};

TEST_F(CliLoader, ARangeKeptInTheProjectNeverCutsALaterRunShort)
{
    Write("small.s19", SRecords(kDemoFlashBase, Pattern(90, 1)));
    const auto big = Pattern(5000, 2);
    Write("big.hex", IntelHex(kDemoFlashBase, big));
    SCliRun run = CliSetup("--project r.tvl load small.s19 erase --all program verify program --range 80000000+10 "
                           "save");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "90 bytes successful programmed")) << run.err;

    run = Cli("--project r.tvl load big.hex erase --all program verify show");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "5000 bytes successful programmed")) << run.err;
    EXPECT_TRUE(Has(run.err, "5000 bytes successful verified")) << run.err;
    EXPECT_EQ(sim.Peek(kDemoFlashBase, 5000), big);
    EXPECT_TRUE(Has(run.out + run.err, "Program:         80000000 - 8000000F")) << run.out << run.err;

    // The kept range only when asked for.
    run = Cli("--project r.tvl load big.hex program --range stored");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "16 bytes successful programmed")) << run.err;
}

TEST_F(CliLoader, AnEmptyImageProgramsNothingAndFails)
{
    PatternInEverySector("5A");
    Write("empty.hex", ":00000001FF\n");
    SCliRun run = CliSetup("load empty.hex program verify");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "Error: empty.hex: the file holds no data !")) << run.err;
    EXPECT_FALSE(Has(run.err, "successful programmed")) << run.err;
    run = CliSetup("program verify");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "tarvel-cli: program: nothing loaded in this run: load a file or give --range"))
        << run.err;
    EXPECT_FALSE(Has(run.err, "successful programmed")) << run.err;
    // A project whose load was saved: each run starts with an empty image.
    run = CliSetup("--project p.tvl save");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = Cli("--project p.tvl verify");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "tarvel-cli: verify: nothing loaded in this run")) << run.err;
    EXPECT_TRUE(SectorEdgesHold(0, 0x5A));
}

TEST_F(CliLoader, FilesTheReadersRefuseStopTheRunAndTheFlashKeepsItsContents)
{
    PatternInEverySector("5A");
    std::string badChecksum = SRecords(kDemoFlashBase, Pattern(32 * 120, 3));
    size_t line100 = 0;
    for (int i = 0; i < 99; ++i)
        line100 = badChecksum.find('\n', line100) + 1;
    Corrupt(badChecksum[badChecksum.find('\n', line100) - 1]); // the checksum's last digit
    std::string nonHex = SRecords(kDemoFlashBase, Pattern(64, 4));
    nonHex[nonHex.find("S3") + 14] = 'x';
    const std::string longLine = SRecords(kDemoFlashBase, Pattern(64, 5)) + "S7" + std::string(600, '0') + "\n";
    std::string hexSum = IntelHex(kDemoFlashBase, Pattern(64, 6));
    Corrupt(hexSum[hexSum.find("\n", hexSum.find("\n:10") + 1) - 1]); // line 2's checksum
    const struct {
        std::string file;
        std::string content;
        std::string message;
    } cases[] = {
        {"bad.s19", badChecksum, "bad.s19, line 100: checksum mismatch"},
        {"nonhex.s19", nonHex, "nonhex.s19, line 2: 'x' in column 15 is not a hexadecimal digit"},
        {"long.s19", longLine, "long.s19, line 5: line longer than 519 characters"},
        {"sum.hex", hexSum, "sum.hex, line 2: checksum mismatch"},
        {"fw64.elf", Elf({{1, 0x80000000, 0x80000000, Pattern(16, 7), 16}}, false, 2),
         "fw64.elf: a 64-bit ELF file: only 32-bit ELF files can be loaded"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Write(c.file, c.content);
        const SCliRun run = CliSetup("load " + c.file + " erase --all program verify");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(Has(run.err, "Error: " + c.message)) << run.err;
        EXPECT_TRUE(Has(run.err, " !\nThe memory image is unchanged.\nLoading process aborted...")) << run.err;
        EXPECT_FALSE(Has(run.err, "Loading Binary File")) << run.err;
        EXPECT_FALSE(Has(run.err, "Erasing")) << run.err;
        EXPECT_TRUE(SectorEdgesHold(0, 0x5A));
    }
}

TEST_F(CliLoader, IntelHexEndingInABlankLineAndAnElfFileProgramTheirBytes)
{
    const auto data = Pattern(100, 8);
    Write("blank.hex", IntelHex(kDemoFlashBase + 0x100, data) + "\n\n");
    SCliRun run = CliSetup("load blank.hex erase --all program verify");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x100, 100), data);

    const auto code = Pattern(300, 9);
    Write("fw.elf", Elf({{1, 0x08000000, 0x80001000, code, 300}}, true));
    run = CliSetup("load fw.elf erase --all program verify");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "300 bytes successful programmed")) << run.err;
    EXPECT_EQ(sim.Peek(kDemoFlashBase + 0x1000, 300), code);
}

TEST_F(CliLoader, FlashErasesExactlyTheSectorsTheFileTouches)
{
    PatternInEverySector("5A");
    // One segment across the boundary of sectors 0 and 1, one inside sector 10.
    const uint32_t boundary = kDemoFlashBase + device->SectorStart(1);
    const uint32_t inTen = kDemoFlashBase + device->SectorStart(10) + 0x100;
    const auto a = Pattern(16, 10);
    const auto b = Pattern(32, 11);
    Write("fw.elf", Elf({{1, boundary - 8, boundary - 8, a, 16}, {1, inTen, inTen, b, 64}}, false));
    const SCliRun run = CliSetup("flash fw.elf");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(sim.Peek(boundary - 8, 16), a);
    EXPECT_EQ(sim.Peek(inTen, 32), b);
    for (uint32_t s = 0; s < device->sectorCount; ++s) {
        SCOPED_TRACE("sector " + std::to_string(s));
        if (s == 0 || s == 1 || s == 10) {
            // Erased: the edge the file's data does not reach reads 0xFF.
            const uint32_t lo = kDemoFlashBase + device->SectorStart(s);
            const uint32_t edge = s == 1 ? lo + device->SectorSize(s) - 16 : lo;
            EXPECT_EQ(sim.Peek(edge, 16), std::vector<uint8_t>(16, 0xFF));
        } else {
            EXPECT_TRUE(SectorEdgesHold(s, 0x5A));
        }
    }
    // Both sections' spans in one verify, one line for the step.
    EXPECT_TRUE(Has(run.err, "2 spans: 48 bytes successful verified")) << run.err;
}

TEST_F(CliLoader, EraseRangeErasesTheSectorsItTouches)
{
    PatternInEverySector("5A");
    const uint32_t two = kDemoFlashBase + device->SectorStart(2);
    const SCliRun run = CliSetup(Format("erase --range %X+2", two - 1));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (uint32_t s = 0; s < 5; ++s)
        EXPECT_EQ(SectorEdgesHold(s, 0x5A), s != 1 && s != 2) << s;
}

TEST_F(CliLoader, StoreWritesFifosHardLinksAndStandardOutputAsTheyAre)
{
    Write("in.s19", SRecords(0x100, Pattern(40, 12)));
    const std::string image = "--physical 0+10000 load in.s19 ";

    const std::string fifo = dir.File("pipe.s19");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFileBytes(fifo); });
    SCliRun run = RunCli(dir, "--yes " + image + "store pipe.s19 --range 100+28");
    reader.join();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(received, FormatSRecord(1, 0x100, Pattern(32, 12).data(), 32))) << received;

    Write("a.s19", "old");
    ASSERT_EQ(::link(dir.File("a.s19").c_str(), dir.File("b.s19").c_str()), 0);
    run = RunCli(dir, "--yes " + image + "store a.s19 --range 100+28");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(dir.File("b.s19")), received);

    run = RunCli(dir, image + "store - --range 100+28");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, received);
}

// A device change from 2 banks to an on-chip device (one flash array, so one
// bank), then an erase with a selection only in bank 1: there is no bank 1
// any more; the erase is refused instead of reporting success.
TEST(CliOnChip, ErasingWithNothingSelectedInBank0Fails)
{
    CTempDir dir;
    SCliRun run = RunCli(dir, "--project oc.tvl setup --device \"AMD  Am29F010\" --bus 8 --base 0 --banks 2 "
                              "setup --device \"MAC7112 Program Flash (256K)\" save");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string board = std::string(TARVEL_TEST_DATA_DIR) + "/../../boards/onchip.board";
    run = RunCli(dir, "--project oc.tvl --sim '" + board + "' erase --sectors 1/0");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "sector 1/0 lies outside the erase map (1 bank of")) << run.err;
    EXPECT_FALSE(Has(run.err, "successful erased")) << run.err;
}

// Not on a terminal: one progress line at every 10 % (with bytes, rate and
// time), no bar; --quiet keeps only what went wrong and the results.
TEST_F(CliLoader, ProgressInALogAndQuietRuns)
{
    Write("data.s19", SRecords(kDemoFlashBase, Pattern(64 * 1024, 13)));
    SCliRun run = CliSetup("load data.s19 erase --range 80000000+10000 program");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // A line for every tenth the probe's acks cross (on this fast link much
    // of the range is on its way at once, so tenths pass between two lines),
    // never one for bytes only sent, and the last at 100 %.
    size_t lines = 0;
    for (size_t at = run.err.find("Programming: "); at != std::string::npos; at = run.err.find("Programming: ", at + 1))
        ++lines;
    EXPECT_GE(lines, 1u) << run.err;
    EXPECT_LE(lines, 10u) << run.err;
    EXPECT_TRUE(Has(run.err, "Programming: 65536 of 65536 bytes (100 %), ")) << run.err;
    EXPECT_FALSE(Has(run.err, "\r")) << run.err;
    EXPECT_TRUE(Has(run.err, "Connecting to QDX ... (NETWORK 127.0.0.1:")) << run.err;

    run = Cli("--quiet " + kSetup + " load data.s19 verify checksum --range 80000000+10 --unit byte");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(Has(run.out, "Checksum: ")) << run.out;
    run = Cli("--quiet " + kSetup + " load data.s19 verify --range 90000000+10");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "Out of physical memory range")) << run.err;
}

} // namespace
