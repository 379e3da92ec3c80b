#include "project/memory_image.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Read(CMemoryImage& img, uint32_t address, uint32_t count)
{
    std::vector<uint8_t> b(count);
    img.ReadBlock(address, b.data(), count);
    return b;
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return v;
}

class MemoryImageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(img.Open(0), 0); }

    CTempDir dir{true};
    CMemoryImage img;
};

} // namespace

TEST(MemoryImageFile, OpenCreatesTheBackingFileAndTheDestructorDeletesIt)
{
    CTempDir dir(true);
    auto img = std::make_unique<CMemoryImage>();
    ASSERT_EQ(img->Open(0x100), 0);
    EXPECT_TRUE(img->IsOpen());
    EXPECT_EQ(img->GetBase(), 0x100u);
    EXPECT_EQ(img->GetPath(), dir.File("memimage.qpg"));
    EXPECT_TRUE(fs::exists(dir.File("memimage.qpg")));
    ASSERT_EQ(img->WriteByte(0x110, 1), 0); // left pending
    // Deleted by its full path, even after the current directory changed.
    fs::current_path(fs::temp_directory_path());
    img.reset();
    EXPECT_FALSE(fs::exists(dir.File("memimage.qpg")));
}

TEST(MemoryImageFile, TheBackingFileGoesIntoTheDirectoryGiven)
{
    CTempDir cwd(true);
    CTempDir dir;
    CMemoryImage first, second;
    ASSERT_EQ(first.Open(0, dir.Path().string()), 0);
    ASSERT_EQ(second.Open(0, dir.Path().string()), 0);
    EXPECT_EQ(first.GetPath(), dir.File("memimage.qpg"));
    EXPECT_EQ(second.GetPath(), dir.File("memimage.1.qpg")) << "the first one's file is locked";
    EXPECT_FALSE(fs::exists(cwd.File("memimage.qpg")));
    CMemoryImage nowhere;
    EXPECT_EQ(nowhere.Open(0, dir.File("missing")), 1);
    EXPECT_FALSE(nowhere.IsOpen());
}

TEST_F(MemoryImageTest, EmptyImageAndBytesOutsideTheExtentReadAsFF)
{
    EXPECT_EQ(Read(img, 0, 16), std::vector<uint8_t>(16, 0xFF));
    EXPECT_EQ(img.ReadLong(0xFFFFFFFC, true), 0xFFFFFFFFu);
    ASSERT_EQ(img.WriteLong(0x1000, 0x11223344, true), 0);
    const auto b = Read(img, 0xFFE, 8);
    EXPECT_EQ(b, (std::vector<uint8_t>{0xFF, 0xFF, 0x44, 0x33, 0x22, 0x11, 0xFF, 0xFF}));
    // A read that runs past 0xFFFFFFFF does not wrap around to address 0.
    img.SetBase(0);
    ASSERT_EQ(img.WriteByte(0, 0x5A), 0);
    EXPECT_EQ(Read(img, 0xFFFFFFFE, 4), std::vector<uint8_t>(4, 0xFF));
}

TEST_F(MemoryImageTest, AWriteBelowTheExtentFillsTheGapWithFF)
{
    const auto hi = Pattern(16, 1), lo = Pattern(16, 100);
    ASSERT_EQ(img.WriteBlock(0x100, hi.data(), 16), 0);
    ASSERT_EQ(img.WriteBlock(0x10, lo.data(), 16), 0);
    EXPECT_EQ(img.GetFirstOffset(), 0x10u);
    EXPECT_EQ(img.GetUsedLength(), 0x100u);
    std::vector<uint8_t> expect(0x100, 0xFF);
    std::copy(lo.begin(), lo.end(), expect.begin());
    std::copy(hi.begin(), hi.end(), expect.begin() + 0xF0);
    EXPECT_EQ(Read(img, 0x10, 0x100), expect);

    // On disk: the file's length is the extent's end and the gap holds 0xFF.
    ASSERT_EQ(img.Flush(), 0);
    const std::string file = ReadFileBytes(img.GetPath());
    ASSERT_EQ(file.size(), 0x110u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 0x10, file.end()), expect);
}

TEST_F(MemoryImageTest, WritesAtTheEdgesOfTheWindow)
{
    struct Case {
        uint32_t base, address, count;
        int result;
        uint32_t firstOffset, usedLength; // afterwards (0, 0: nothing written)
    } cases[] = {
        {0x1000, 0x1000 - 4, 8, 2, 0, 4},               // the part at and above base is written
        {0x1000, 0x1000 - 8, 8, 2, 0, 0},               // wholly below base
        {0x1000, 0x1000 + 0x10000000 - 4, 5, 2, 0, 0}, // last byte at base + 0x10000000
        {0x1000, 0x1000 + 0x10000000 - 4, 4, 0, 0x0FFFFFFC, 4}, // ends at base + 0x0FFFFFFF
        {0, 0xFFFFFFF0, 0x20, 2, 0, 0},                 // wraps past 0xFFFFFFFF
        {0xF0000000, 0xFFFFFFFE, 2, 0, 0x0FFFFFFE, 2},  // the top byte of the address space
        {0x1000, 0x2000, 0, 0, 0, 0},                   // nothing to write
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.base << " " << c.address << " " << c.count);
        img.Clear();
        img.SetBase(c.base);
        const auto data = Pattern(c.count, 9);
        EXPECT_EQ(img.WriteBlock(c.address, data.data(), c.count), c.result);
        EXPECT_EQ(img.GetFirstOffset(), c.firstOffset);
        EXPECT_EQ(img.GetUsedLength(), c.usedLength);
        if (c.usedLength != 0) {
            const uint32_t at = c.base + c.firstOffset;
            EXPECT_EQ(Read(img, at, c.usedLength),
                      std::vector<uint8_t>(data.end() - c.usedLength, data.end()));
        }
    }
}

TEST_F(MemoryImageTest, GetUsedRangeWidensToTheAlignment)
{
    const auto data = Pattern(6, 3);
    ASSERT_EQ(img.WriteBlock(0x1001, data.data(), 6), 0);
    struct Case {
        uint32_t alignment, start, size;
    } cases[] = {{1, 0x1001, 6}, {2, 0x1000, 8}, {4, 0x1000, 8}, {8, 0x1000, 8}, {16, 0x1000, 16}};
    for (const auto& c : cases) {
        const CMemoryRange r = img.GetUsedRange(c.alignment);
        EXPECT_EQ(r.start, c.start) << c.alignment;
        EXPECT_EQ(r.size, c.size) << c.alignment;
        EXPECT_EQ(r.lengthMode, 1);
    }
    // An extent that ends at the very top of the address space.
    img.Clear();
    img.SetBase(0xF0000000);
    ASSERT_EQ(img.WriteByte(0xFFFFFFFF, 0x42), 0);
    EXPECT_EQ(img.GetUsedRange(1), CMemoryRange(0xFFFFFFFF, 1, 1));
    EXPECT_EQ(img.GetUsedRange(4), CMemoryRange(0xFFFFFFFC, 4, 1));
}

TEST_F(MemoryImageTest, SetBaseMovesTheContentOrClearsItWhenItWouldPassTheTop)
{
    ASSERT_EQ(img.WriteByte(0x10, 0xAB), 0);
    img.SetBase(0x01000000);
    EXPECT_EQ(img.ReadByte(0x01000010), 0xAB);
    EXPECT_EQ(img.ReadByte(0x10), 0xFF);

    img.Clear();
    img.SetBase(0);
    const auto data = Pattern(0x200, 1);
    ASSERT_EQ(img.WriteBlock(0, data.data(), 0x200), 0);
    img.SetBase(0xFFFFFF00);
    EXPECT_TRUE(img.IsEmpty());
    EXPECT_EQ(img.ReadByte(0xFFFFFF00), 0xFF);

    // Content whose last byte is exactly 0xFFFFFFFF still fits and stays.
    img.SetBase(0xFFFFFF00);
    ASSERT_EQ(img.WriteBlock(0xFFFFFF00, data.data(), 0x100), 0);
    img.SetBase(0xFFFFFF00);
    EXPECT_EQ(img.GetUsedLength(), 0x100u);
    EXPECT_EQ(img.ReadByte(0xFFFFFFFF), data[0xFF]);
}

TEST_F(MemoryImageTest, ClearEmptiesTheImageAndTheFile)
{
    const auto data = Pattern(100, 5);
    ASSERT_EQ(img.WriteBlock(0x400, data.data(), 100), 0);
    ASSERT_EQ(img.Flush(), 0);
    ASSERT_EQ(img.WriteBlock(0x800, data.data(), 100), 0); // still pending
    img.Clear();
    EXPECT_TRUE(img.IsEmpty());
    EXPECT_EQ(fs::file_size(img.GetPath()), 0u);
    EXPECT_EQ(Read(img, 0x400, 100), std::vector<uint8_t>(100, 0xFF));
    EXPECT_EQ(Read(img, 0x800, 100), std::vector<uint8_t>(100, 0xFF));
    // The next write starts a new extent, and nothing of the old one comes back.
    ASSERT_EQ(img.WriteByte(0x900, 1), 0);
    EXPECT_EQ(img.GetFirstOffset(), 0x900u);
    EXPECT_EQ(img.GetUsedLength(), 1u);
    ASSERT_EQ(img.WriteByte(0x300, 2), 0);
    EXPECT_EQ(Read(img, 0x400, 100), std::vector<uint8_t>(100, 0xFF));
    ASSERT_EQ(img.Flush(), 0);
    EXPECT_EQ(fs::file_size(img.GetPath()), 0x901u);
}

TEST_F(MemoryImageTest, WordsAndLongsInBothByteOrders)
{
    ASSERT_EQ(img.WriteWord(0x10, 0x1234, true), 0);
    ASSERT_EQ(img.WriteWord(0x12, 0x1234, false), 0);
    ASSERT_EQ(img.WriteLong(0x14, 0x11223344, true), 0);
    ASSERT_EQ(img.WriteLong(0x18, 0x11223344, false), 0);
    EXPECT_EQ(Read(img, 0x10, 12), (std::vector<uint8_t>{0x34, 0x12, 0x12, 0x34, 0x44, 0x33, 0x22, 0x11, 0x11,
                                                         0x22, 0x33, 0x44}));
    EXPECT_EQ(img.ReadWord(0x10, true), 0x1234);
    EXPECT_EQ(img.ReadWord(0x10, false), 0x3412);
    EXPECT_EQ(img.ReadLong(0x14, true), 0x11223344u);
    EXPECT_EQ(img.ReadLong(0x18, false), 0x11223344u);
    EXPECT_EQ(img.ReadLong(0x14, false), 0x44332211u);
}

TEST_F(MemoryImageTest, ChecksumByUnitAndByteOrder)
{
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    ASSERT_EQ(img.WriteBlock(0x100, bytes, 6), 0);
    struct Case {
        uint32_t start, size;
        int unit;
        bool little;
        uint32_t sum;
    } cases[] = {
        {0x100, 6, 4, true, 0x04030201},  // one long, the last 2 bytes ignored
        {0x100, 6, 4, false, 0x01020304},
        {0x100, 3, 4, true, 0},           // not one whole long
        {0x100, 6, 2, true, 0x0201 + 0x0403 + 0x0605},
        {0x100, 5, 2, false, 0x0102 + 0x0304},
        {0x100, 6, 1, true, 21},
        {0x100, 2, 3, true, 3},           // another unit sums bytes
        {0x0FE, 4, 1, true, 0xFF + 0xFF + 1 + 2},   // outside the extent: 0xFF
        {0x0FE, 8, 4, false, 0xFFFF0102 + 0x03040506},
        {0x103, 4, 4, true, 0xFF060504},  // 04 05 06 FF
        {0x200, 0x10000, 4, true, 0xFFFFC000}, // 0x4000 longs of 0xFFFFFFFF
        {0, 0, 1, true, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(img.Checksum(CMemoryRange(c.start, c.size, 1), c.unit, c.little), c.sum)
            << std::hex << c.start << " " << c.size << " unit " << c.unit << " le " << c.little;
    }
}

TEST_F(MemoryImageTest, ChecksumOfARangeBelowTheBase)
{
    img.SetBase(0x1000);
    const uint8_t bytes[] = {1, 2, 3, 4};
    ASSERT_EQ(img.WriteBlock(0x1000, bytes, 4), 0);
    // 0xFFE..0x1005: FF FF 01 02 | 03 04 FF FF
    EXPECT_EQ(img.Checksum(CMemoryRange(0xFFE, 8, 1), 4, true), 0x0201FFFFu + 0xFFFF0403u);
    EXPECT_EQ(img.Checksum(CMemoryRange(0xFFE, 8, 1), 1, true), 4 * 0xFFu + 10);
}

TEST_F(MemoryImageTest, ALargeChecksumMatchesByteByByteSummation)
{
    // Several chunks, an odd start and end, pending bytes and a gap.
    const auto a = Pattern(3 * CMemoryImage::kChecksumChunk + 123, 17);
    ASSERT_EQ(img.WriteBlock(0x13, a.data(), static_cast<uint32_t>(a.size())), 0);
    const auto b = Pattern(5000, 99);
    ASSERT_EQ(img.WriteBlock(0x13 + a.size() + 7000, b.data(), 5000), 0);
    const CMemoryRange r(0x11, static_cast<uint32_t>(a.size() + 14000), 1);
    const auto bytes = Read(img, r.start, r.size);
    for (int unit : {1, 2, 4}) {
        for (bool little : {true, false}) {
            uint32_t sum = 0;
            for (size_t i = 0; i + unit <= bytes.size(); i += unit) {
                uint32_t v = 0;
                for (int k = 0; k < unit; ++k)
                    v |= uint32_t{bytes[i + k]} << (8 * (little ? k : unit - 1 - k));
                sum += v;
            }
            EXPECT_EQ(img.Checksum(r, unit, little), sum) << unit << " " << little;
        }
    }
}

// The backing file cannot be made: every read gives 0xFF, every write 3.
TEST(MemoryImageNoFile, ReadsGiveFFAndWritesFail)
{
    enum class EWay { DirectoryInTheWay, DirectoryRemoved, DirectoryReadOnly };
    for (EWay way : {EWay::DirectoryInTheWay, EWay::DirectoryRemoved, EWay::DirectoryReadOnly}) {
        SCOPED_TRACE(static_cast<int>(way));
        CTempDir dir(true);
        fs::path cwd = dir.Path();
        if (way == EWay::DirectoryInTheWay) {
            fs::create_directory(dir.Path() / "memimage.qpg");
        } else if (way == EWay::DirectoryRemoved) {
            cwd = dir.Path() / "gone";
            fs::create_directory(cwd);
            fs::current_path(cwd);
            fs::remove(cwd);
        } else {
            if (geteuid() == 0)
                continue; // root writes into read-only directories
            fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
        }
        {
            CMemoryImage img;
            EXPECT_EQ(img.Open(0), 1);
            EXPECT_FALSE(img.IsOpen());
            const auto data = Pattern(64, 1);
            EXPECT_EQ(img.WriteBlock(0x100, data.data(), 64), 3);
            EXPECT_EQ(img.WriteByte(0, 1), 3);
            EXPECT_EQ(img.WriteBlock(0xFFFFFFF0, data.data(), 64), 2); // outside the window: still 2
            EXPECT_TRUE(img.IsEmpty());
            EXPECT_EQ(Read(img, 0x100, 64), std::vector<uint8_t>(64, 0xFF));
            EXPECT_EQ(img.Checksum(CMemoryRange(0x100, 8, 1), 1, true), 8 * 0xFFu);
            EXPECT_EQ(img.Flush(), 0);
        }
        fs::current_path(dir.Path());
        fs::permissions(dir.Path(), fs::perms::owner_all);
        EXPECT_TRUE(way != EWay::DirectoryInTheWay || fs::is_directory(dir.Path() / "memimage.qpg"));
    }
}

// Writes fail once the file would pass RLIMIT_FSIZE (SIGXFSZ ignored, so the
// kernel answers EFBIG). Runs in a child process, so the limit stays there.
TEST(MemoryImageWriteError, AFailingFileGivesThreeAndLosesNothingAccepted)
{
    auto scenario = []() -> std::string {
        CTempDir dir(true);
        constexpr rlim_t kLimit = 1 << 20;
        rlimit lim{};
        getrlimit(RLIMIT_FSIZE, &lim);
        const rlimit low{kLimit, lim.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        if (setrlimit(RLIMIT_FSIZE, &low) != 0)
            return "setrlimit";
        CMemoryImage img(64 * 1024);
        if (img.Open(0) != 0)
            return "open";

        // Sequential 32-byte blocks until the file runs into the limit.
        const auto data = Pattern(2 << 20, 3);
        uint32_t accepted = 0;
        int result = 0;
        while (accepted < data.size() && (result = img.WriteBlock(accepted, data.data() + accepted, 32)) == 0)
            accepted += 32;
        if (result != 3)
            return "no write failed";
        if (accepted < kLimit || accepted > kLimit + 64 * 1024)
            return "failed at an unexpected place: " + std::to_string(accepted);
        if (img.GetFirstOffset() != 0 || img.GetUsedLength() != accepted)
            return "the extent covers the failed block";
        std::vector<uint8_t> back(accepted);
        img.ReadBlock(0, back.data(), accepted);
        if (!std::equal(back.begin(), back.end(), data.begin()))
            return "accepted bytes were lost";
        if (img.Flush() != 3)
            return "flush passed the limit";

        // Every write that needs the file now fails and changes nothing.
        if (img.WriteBlock(0x800000, data.data(), 16) != 3)
            return "gap write";
        if (img.WriteBlock(0, data.data(), 0x20000) != 3)
            return "large write";
        if (img.GetUsedLength() != accepted)
            return "extent changed by failed writes";

        // Once the file may grow again, everything reaches it.
        setrlimit(RLIMIT_FSIZE, &lim);
        if (img.Flush() != 0)
            return "flush after the limit was lifted";
        const std::string file = ReadFileBytes(img.GetPath());
        if (file.size() != accepted || !std::equal(file.begin(), file.end(), data.begin(),
                                                   [](char c, uint8_t d) { return static_cast<uint8_t>(c) == d; }))
            return "file differs";
        return "";
    };
    EXPECT_EXIT(
        {
            const std::string failure = scenario();
            fprintf(stderr, "%s", failure.empty() ? "passed" : failure.c_str());
            std::exit(failure.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "passed");
}

TEST(MemoryImageSharing, TwoImagesInOneDirectoryKeepTheirOwnFiles)
{
    CTempDir dir(true);
    auto first = std::make_unique<CMemoryImage>();
    auto second = std::make_unique<CMemoryImage>();
    ASSERT_EQ(first->Open(0), 0);
    ASSERT_EQ(second->Open(0), 0);
    EXPECT_EQ(first->GetPath(), dir.File("memimage.qpg"));
    EXPECT_EQ(second->GetPath(), dir.File("memimage.1.qpg"));
    const auto a = Pattern(300, 1), b = Pattern(300, 2);
    ASSERT_EQ(first->WriteBlock(0x100, a.data(), 300), 0);
    ASSERT_EQ(second->WriteBlock(0x100, b.data(), 300), 0);
    ASSERT_EQ(first->Flush(), 0);
    ASSERT_EQ(second->Flush(), 0);
    EXPECT_EQ(Read(*first, 0x100, 300), a);
    EXPECT_EQ(Read(*second, 0x100, 300), b);

    // Reopening an image empties it in place and keeps its file.
    ASSERT_EQ(second->Open(0), 0);
    EXPECT_EQ(second->GetPath(), dir.File("memimage.1.qpg"));
    EXPECT_TRUE(second->IsEmpty());
    EXPECT_EQ(Read(*first, 0x100, 300), a);

    second.reset();
    EXPECT_FALSE(fs::exists(dir.File("memimage.1.qpg")));
    EXPECT_EQ(Read(*first, 0x100, 300), a);
    // The name is free again for the next image.
    CMemoryImage third;
    ASSERT_EQ(third.Open(0), 0);
    EXPECT_EQ(third.GetPath(), dir.File("memimage.1.qpg"));
    first.reset();
    EXPECT_FALSE(fs::exists(dir.File("memimage.qpg")));
    EXPECT_TRUE(fs::exists(dir.File("memimage.1.qpg")));
}

TEST(MemoryImageSharing, AFileLockedByAnotherProcessIsLeftAlone)
{
    CTempDir dir(true);
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int code = 1;
        {
            CMemoryImage img;
            const uint8_t value = 0xC3;
            if (img.Open(0) == 0 && img.WriteBlock(0, &value, 1) == 0 && img.Flush() == 0)
                code = 0;
            char c = static_cast<char>('0' + code);
            (void)!write(toParent[1], &c, 1);
            (void)!read(toChild[0], &c, 1);
            if (img.ReadByte(0) != 0xC3)
                code = 2;
        }
        _exit(code);
    }
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    ASSERT_EQ(c, '0');
    {
        CMemoryImage img;
        ASSERT_EQ(img.Open(0), 0);
        EXPECT_EQ(img.GetPath(), dir.File("memimage.1.qpg"));
        ASSERT_EQ(img.WriteByte(0, 0x11), 0);
        ASSERT_EQ(img.Flush(), 0);
        EXPECT_EQ(ReadFileBytes(dir.File("memimage.qpg")), std::string(1, '\xC3'));
    }
    EXPECT_TRUE(fs::exists(dir.File("memimage.qpg")));
    ASSERT_EQ(write(toChild[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::exists(dir.File("memimage.qpg")));
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        close(fd);

    // A file left behind by a program that ended without deleting it is not
    // locked: it is taken over and emptied.
    WriteFileBytes(dir.File("memimage.qpg"), "stale");
    CMemoryImage img;
    ASSERT_EQ(img.Open(0), 0);
    EXPECT_EQ(img.GetPath(), dir.File("memimage.qpg"));
    EXPECT_EQ(fs::file_size(img.GetPath()), 0u);
}
