// tarvel-cli against boards whose flash is one of QEMU's flash models (the
// board file's qemu-flash statement): an oracle that this project did not
// write. The host's erase cycles and the probe firmware's program cycles go
// to QEMU's JEDEC model (cfi.pflash02) and Intel model (cfi.pflash01), and
// what QEMU stored in its drive file must be the image byte for byte.
//
// What QEMU cannot stand for (byte-mode unlock codes 11, 23 and 32, codes 35
// to 38, JEDEC chips side by side, any JEDEC failure as the model has no DQ5,
// Intel program over programmed cells and a missing erase confirm, where the
// model is lenient, Intel boot-block layouts, page-write chips, on-chip flash)
// is refused by the board (tests/sim/qemu_flash_board_test.cpp) and stays
// with the simulator's own models: a green run here says nothing about it.
#include "cli_runner.h"
#include "catalogue/flash_catalogue.h"
#include "support/qemu_skip.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kBase = 0x80000000;
constexpr uint64_t MiB = 1024 * 1024;

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string Hex(uint64_t v)
{
    char buffer[20];
    std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(v));
    return buffer;
}

struct SQemuBoardCase {
    const char* name;
    const char* machine;
    const char* device;
    uint32_t busBits;
    uint32_t banks;
    const char* regions; // "" for the machine's own blocks
    uint64_t driveBytes;
    uint32_t eraseBank;  // the sector erased on its own
    uint32_t eraseSector;
};

void PrintTo(const SQemuBoardCase& c, std::ostream* os)
{
    *os << c.name;
}

// One chip per lane group on the 8- and 16-bit JEDEC buses, boot sectors at
// the bottom and the top, 4 KiB sectors, a one-sector chip; Intel chips one,
// two and four side by side on 16- and 32-bit buses.
const SQemuBoardCase kCases[] = {
    {"Jedec2_X8_BottomBoot", "xilinx-zynq-a9", "AMD  Am29LV008BB", 8, 1, "1x16K,2x8K,1x32K,1023x64K", 64 * MiB, 0,
     2},
    {"Jedec31_X8_Uniform", "xilinx-zynq-a9", "AMD  Am29LV017M", 8, 1, "1024x64K", 64 * MiB, 0, 1},
    {"Jedec22_X8_OneSectorTwoBanks", "xilinx-zynq-a9", "Atmel  AT49F080 (1M x 8)", 8, 2, "64x1M", 64 * MiB, 0, 0},
    {"Jedec12_X16_BottomBoot", "musicpal", "AMD  Am29LV160BB (1M x 16)", 16, 1, "1x16K,2x8K,1x32K,127x64K",
     8 * MiB, 0, 1},
    {"Jedec24_X16_4KSectorsTwoBanks", "musicpal", "SST 39VF1601 (1M x 16)", 16, 2, "2048x4K", 8 * MiB, 1, 1},
    {"Jedec33_X16_TopBoot", "musicpal", "AMD  Am29LV640MT (4M x 16)", 16, 1, "127x64K,8x8K", 8 * MiB, 0, 127},
    {"Intel30_OneX16On16", "connex", "Intel  28F128J3 (8M x 16)", 16, 1, "", 16 * MiB, 0, 1},
    {"Intel5_TwoX8On16TwoBanks", "connex", "Intel  28F016SA (2M x 8)", 16, 2, "", 16 * MiB, 1, 0},
    {"Intel30_TwoX16On32TwoBanks", "versatilepb", "Intel  28F128J3 (8M x 16)", 32, 2, "", 64 * MiB, 0, 127},
    {"Intel5_FourX8On32TwoBanks", "versatilepb", "Intel  28F016SA (2M x 8)", 32, 2, "", 64 * MiB, 1, 1},
};

// A run of random bytes at a bus address.
struct SSpan {
    uint32_t address;
    std::string bytes;
};

class QemuBoard : public ::testing::TestWithParam<SQemuBoardCase> {
protected:
    void SetUp() override
    {
        const SQemuBoardCase& c = GetParam();
        device = CFlashCatalogue::FindFlashDevice(c.device);
        ASSERT_NE(device, nullptr) << c.device;
        busBytes = c.busBits / 8;
        bankSize = CFlashCatalogue::BankSize(*device, busBytes);
        regionSize = uint64_t(bankSize) * c.banks;
    }

    uint32_t SectorAddress(uint32_t bank, uint32_t sector) const
    {
        return kBase + bank * bankSize + CFlashCatalogue::SectorBusOffset(*device, sector, busBytes);
    }

    std::string BoardText(const std::string& drive, bool readOnly = false) const
    {
        const SQemuBoardCase& c = GetParam();
        return "board QEMU " + std::string(c.machine) + "\nram 0x40000000 64K\nqemu-flash " + c.machine +
               " device=\"" + c.device + "\" base=0x" + Hex(kBase) + " bus=" + std::to_string(c.busBits) +
               " banks=" + std::to_string(c.banks) + (*c.regions ? std::string(" regions=") + c.regions : "") +
               " drive=" + drive + (readOnly ? " read-only" : "") + "\n";
    }

    std::string Setup() const
    {
        const SQemuBoardCase& c = GetParam();
        return "setup --device \"" + std::string(c.device) + "\" --bus " + std::to_string(c.busBits) +
               " --base " + Hex(kBase) + " --banks " + std::to_string(c.banks);
    }

    // Spans across the sector boundaries around the erased sector, across
    // every bank boundary, and at the region's two ends.
    std::vector<SSpan> Spans() const
    {
        const SQemuBoardCase& c = GetParam();
        std::set<uint32_t> at = {kBase, uint32_t(kBase + regionSize - 0x200)};
        const uint32_t erased = SectorAddress(c.eraseBank, c.eraseSector);
        const uint32_t erasedEnd = erased + device->SectorSize(c.eraseSector) * (busBytes / device->deviceWidth);
        if (erased > kBase)
            at.insert(erased - 0x300);
        if (erasedEnd < kBase + regionSize)
            at.insert(erasedEnd - 0x300);
        for (uint32_t bank = 1; bank < c.banks; ++bank)
            at.insert(kBase + bank * bankSize - 0x300);
        std::mt19937 random(0x5EED + unsigned(at.size()));
        std::vector<SSpan> spans;
        for (uint32_t a : at) {
            SSpan span{a, std::string(a == kBase || a + 0x200 == kBase + regionSize ? 0x200 : 0x600, '\0')};
            for (char& ch : span.bytes)
                ch = char(random() & 0xFF);
            spans.push_back(span);
        }
        return spans;
    }

    // The drive's first regionSize bytes as they must be after `spans` were
    // programmed into an erased region and then `erasedSector` was erased.
    std::string Expected(const std::vector<SSpan>& spans, bool sectorErased) const
    {
        const SQemuBoardCase& c = GetParam();
        std::string want(regionSize, '\xFF');
        for (const SSpan& s : spans)
            want.replace(s.address - kBase, s.bytes.size(), s.bytes);
        if (sectorErased) {
            const uint32_t start = SectorAddress(c.eraseBank, c.eraseSector) - kBase;
            const uint32_t size = device->SectorSize(c.eraseSector) * (busBytes / device->deviceWidth);
            want.replace(start, size, std::string(size, '\xFF'));
        }
        return want;
    }

    // A drive of the machine's size that reads neither erased nor as any
    // span, so that an erase that did nothing shows.
    void WriteUsedDrive(const std::string& path) const
    {
        std::ofstream out(path, std::ios::binary);
        const std::string block(MiB, '\x5A');
        for (uint64_t done = 0; done < GetParam().driveBytes; done += MiB)
            out.write(block.data(), std::streamsize(block.size()));
    }

    const SFlashDevice* device = nullptr;
    uint32_t busBytes = 0;
    uint32_t bankSize = 0;
    uint64_t regionSize = 0;
    CTempDir dir;
};

// The offset of the first byte where two byte strings differ, for messages
// that do not print megabytes.
std::string FirstDifference(const std::string& got, const std::string& want)
{
    if (got.size() != want.size())
        return "sizes differ: " + std::to_string(got.size()) + " / " + std::to_string(want.size());
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i])
            return "first difference at region offset 0x" + Hex(i) + ": drive " + Hex(uint8_t(got[i])) +
                   ", expected " + Hex(uint8_t(want[i]));
    return "";
}

// The data bytes of an S-record file at their addresses.
std::string SRecordBytes(const std::string& text, uint32_t from, size_t length)
{
    std::string out(length, '\xFF');
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos)
            eol = text.size();
        const std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (line.size() < 4 || line[0] != 'S' || line[1] < '1' || line[1] > '3')
            continue;
        const int addressBytes = line[1] - '0' + 1;
        const size_t count = std::stoul(line.substr(2, 2), nullptr, 16);
        const uint32_t address = uint32_t(std::stoul(line.substr(4, size_t(addressBytes) * 2), nullptr, 16));
        for (size_t i = 0; i + size_t(addressBytes) + 1 < count; ++i) {
            const uint8_t b = uint8_t(std::stoul(line.substr(4 + size_t(addressBytes) * 2 + i * 2, 2), nullptr, 16));
            if (address + i >= from && address + i < from + length)
                out[address + i - from] = char(b);
        }
    }
    return out;
}

TEST_P(QemuBoard, EraseProgramVerifyDumpAndStoreMatchQemusDrive)
{
    TARVEL_SKIP_WITHOUT_QEMU();
    const SQemuBoardCase& c = GetParam();
    const std::string drive = dir.File("flash.img");
    WriteUsedDrive(drive);
    WriteFileBytes(dir.File("qemu.board"), BoardText(drive));
    const std::vector<SSpan> spans = Spans();

    std::string steps = Setup();
    for (size_t i = 0; i < spans.size(); ++i) {
        const std::string file = "span" + std::to_string(i) + ".bin";
        WriteFileBytes(dir.File(file), spans[i].bytes);
        steps += " load " + file + " --format binary --offset " + Hex(spans[i].address);
    }
    steps += " erase --all";
    for (const SSpan& s : spans)
        steps += " program --range " + Hex(s.address) + "+" + Hex(s.bytes.size());
    for (const SSpan& s : spans)
        steps += " verify --range " + Hex(s.address) + "+" + Hex(s.bytes.size());
    steps += " erase --sectors " + std::to_string(c.eraseBank) + "/" + std::to_string(c.eraseSector);
    for (size_t i = 0; i < spans.size(); ++i) {
        const std::string range = Hex(spans[i].address) + "+" + Hex(spans[i].bytes.size());
        steps += " dump --range " + range + " store dump" + std::to_string(i) + ".s19 --range " + range;
    }
    // The region is the first part of QEMU's larger chip, whose CFI table
    // tells its own size and blocks: the device check is not what these
    // boards judge.
    const SCliRun run = RunCli(dir, "--sim qemu.board --no-device-check " + steps);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "Memory successful erased !")) << run.err;
    EXPECT_TRUE(Has(run.err, " bytes successful verified")) << run.err;

    // The run has ended, and QEMU with it: its drive is the image.
    const std::string want = Expected(spans, true);
    const std::string got = ReadFileBytes(drive);
    ASSERT_EQ(got.size(), c.driveBytes);
    const std::string region = got.substr(0, regionSize);
    EXPECT_TRUE(region == want) << FirstDifference(region, want);

    // What was dumped and stored is what the flash holds.
    for (size_t i = 0; i < spans.size(); ++i) {
        const std::string stored = ReadFileBytes(dir.File("dump" + std::to_string(i) + ".s19"));
        const std::string bytes = SRecordBytes(stored, spans[i].address, spans[i].bytes.size());
        EXPECT_TRUE(bytes == want.substr(spans[i].address - kBase, spans[i].bytes.size()))
            << "span at " << Hex(spans[i].address);
    }
}

INSTANTIATE_TEST_SUITE_P(Models, QemuBoard, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SQemuBoardCase>& info) { return info.param.name; });

// QEMU's Intel model refuses a program and an erase on a read-only drive with
// its status bits: both fail with their messages and exit 1.
TEST(QemuBoardFailure, ReadOnlyIntelDriveFailsProgramAndErase)
{
    TARVEL_SKIP_WITHOUT_QEMU();
    CTempDir dir;
    const std::string drive = dir.File("flash.img");
    WriteFileBytes(drive, std::string(16 * MiB, '\xFF'));
    WriteFileBytes(dir.File("ro.board"), "ram 0x40000000 64K\nqemu-flash connex device=\"Intel  28F128J3 (8M x 16)\" "
                                         "base=0x80000000 bus=16 drive=" + drive + " read-only\n");
    const std::string setup = "setup --device \"Intel  28F128J3 (8M x 16)\" --bus 16 --base 80000000";
    SCliRun run = RunCli(dir, "--sim ro.board " + setup +
                                  " fill --range 80020000+100 --pattern 1234 --unit word program --range 80020000+100");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(Has(run.err, "Programming target memory failed at address 0x80020000.")) << run.err;
    run = RunCli(dir, "--sim ro.board " + setup + " erase --sectors 0/1");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(Has(run.err, "Erasing failed at bank  0 sector  1 !")) << run.err;
    EXPECT_TRUE(ReadFileBytes(drive) == std::string(16 * MiB, '\xFF')) << "the read-only drive changed";
}

// QEMU's JEDEC model reports no failure (no DQ5): on a read-only drive it
// programs nothing and says nothing. The firmware's read-back still finds
// the first byte that did not take.
TEST(QemuBoardFailure, ReadOnlyJedecDriveIsCaughtByTheReadBack)
{
    TARVEL_SKIP_WITHOUT_QEMU();
    CTempDir dir;
    const std::string drive = dir.File("flash.img");
    WriteFileBytes(drive, std::string(8 * MiB, '\xFF'));
    WriteFileBytes(dir.File("ro.board"), "ram 0x40000000 64K\nqemu-flash musicpal device=\"AMD  Am29LV640MB (4M x 16)\" "
                                         "base=0x80000000 bus=16 regions=8x8K,127x64K drive=" + drive + " read-only\n");
    const SCliRun run = RunCli(dir, "--sim ro.board setup --device \"AMD  Am29LV640MB (4M x 16)\" --bus 16 --base "
                                    "80000000 fill --range 80004000+100 --pattern 00FF --unit word "
                                    "program --range 80004000+100");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    // The word 00FF is bytes FF 00: the first byte reads as asked, the second not.
    EXPECT_TRUE(Has(run.err, "Programming target memory failed at address 0x80004001.")) << run.err;
    EXPECT_TRUE(ReadFileBytes(drive) == std::string(8 * MiB, '\xFF')) << "the read-only drive changed";
}

// Whether a process whose command line names `text` is running.
bool ProcessNaming(const std::string& text)
{
    DIR* proc = opendir("/proc");
    bool found = false;
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        const std::string cmdline = ReadFileBytes(std::string("/proc/") + entry->d_name + "/cmdline");
        found |= cmdline.find(text) != std::string::npos && cmdline.find("qemu-system-arm") != std::string::npos;
    }
    if (proc)
        closedir(proc);
    return found;
}

// qdx7000-sim starts QEMU for the board and stops it when it is stopped.
TEST(QemuBoardProcess, QemuEndsWithTheSimulator)
{
    TARVEL_SKIP_WITHOUT_QEMU();
    CTempDir dir;
    const std::string drive = dir.File("ends-with-sim.img");
    WriteFileBytes(dir.File("q.board"), "qemu-flash musicpal device=\"AMD  Am29LV640MB (4M x 16)\" base=0x80000000 "
                                        "bus=16 regions=8x8K,127x64K drive=" + drive + "\n");
    {
        CSimProcess sim({"--port", "0", "--board", dir.File("q.board")}, dir.File("sim.err"));
        std::string line;
        ASSERT_TRUE(sim.ReadLine(line, 10000)) << ReadFileBytes(dir.File("sim.err"));
        EXPECT_TRUE(ProcessNaming(drive));
    }
    EXPECT_TRUE(WaitFor([&] { return !ProcessNaming(drive); }, 5000));
}

// Without qemu-system-arm the simulator says what is missing.
TEST(QemuBoardProcess, MissingQemuIsNamed)
{
    CTempDir dir;
    WriteFileBytes(dir.File("q.board"), "qemu-flash connex device=\"Intel  28F128J3 (8M x 16)\" base=0 bus=16\n");
    const SCliRun run = RunCli(dir, "--sim q.board show", "PATH=/nonexistent");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(Has(run.err, "line 1: qemu-flash needs qemu-system-arm, which is not installed here")) << run.err;
}

} // namespace
