#include "files/program_file_readers.h"
#include "files/srecord_writer.h"
#include "files/store_model.h"
#include "files_test_support.h"

#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

std::vector<uint8_t> Counting(size_t n)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i);
    return v;
}

TEST(FormatSRecord, LinesOfEveryWrittenType)
{
    const auto data = Counting(32);
    EXPECT_EQ(FormatSRecord(1, 0, data.data(), 32),
              "S1230000000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1FEC");
    EXPECT_EQ(FormatSRecord(9, 0, nullptr, 0), "S9030000FC");
    EXPECT_EQ(FormatSRecord(2, 0x123456, data.data(), 1), "S205123456005E");
    EXPECT_EQ(FormatSRecord(3, 0x89ABCDEF, data.data() + 0xA, 1), "S30689ABCDEF0AFF");
    EXPECT_EQ(FormatSRecord(8, 0x123456, nullptr, 0), "S8041234565F");
    EXPECT_EQ(FormatSRecord(7, 0x89ABCDEF, nullptr, 0), "S70589ABCDEF0A");
    const std::string header = kSRecordHeader;
    EXPECT_EQ(FormatSRecord(0, 0, reinterpret_cast<const uint8_t*>(header.data()), header.size()).substr(0, 12),
              "S01D00005155");
    EXPECT_EQ(FormatSRecord(4, 0, data.data(), 1), "");
    const std::vector<uint8_t> tooLong(251);
    EXPECT_EQ(FormatSRecord(3, 0, tooLong.data(), tooLong.size()), "");
}

class StoreTest : public FilesTest {
protected:
    bool Store(uint32_t start, uint32_t second, int lengthMode)
    {
        model.entry.Show(CMemoryRange(start, second, lengthMode));
        return model.Store(view, box);
    }

    std::string Header() const
    {
        const std::string h = kSRecordHeader;
        return FormatSRecord(0, 0, reinterpret_cast<const uint8_t*>(h.data()), h.size()) + "\r\n";
    }

    // The file as the 32-byte algorithm writes it, one block at a time.
    std::string Expected(uint32_t start, uint32_t size, int dataType, int endType)
    {
        std::string out = Header();
        for (uint64_t a = start; a < uint64_t{start} + size; a += 32) {
            const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(32, uint64_t{start} + size - a));
            const auto block = Read(static_cast<uint32_t>(a), n);
            if (std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0xFF; }))
                continue;
            out += FormatSRecord(dataType, static_cast<uint32_t>(a), block.data(), n) + "\r\n";
        }
        return out + FormatSRecord(endType, start, nullptr, 0) + "\r\n";
    }

    std::vector<std::string> TempLeftovers()
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
            const std::string name = e.path().filename().string();
            if (name.rfind(".out.s19.", 0) == 0)
                names.push_back(name);
        }
        return names;
    }

    CStoreModel model{image, physical};
    CRecordingOperationView view;
    CScriptedMessageBox box;
    std::string out = dir.File("out.s19");
};

TEST_F(StoreTest, ThirtyTwoBytesGiveHeaderOneRecordAndEnd)
{
    const auto data = Counting(32);
    image.WriteBlock(0, data.data(), 32);
    model.fileName = out;
    ASSERT_TRUE(Store(0, 0x1F, 0));
    EXPECT_EQ(ReadFileBytes(out), Header() +
                                      "S1230000000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1FEC\r\n"
                                      "S9030000FC\r\n");
    EXPECT_EQ(view.statuses, (std::vector<std::string>{"", "Storing S-Record file... please wait!",
                                                       "Storing of 32 bytes successful terminated !"}));
    EXPECT_EQ(view.cursor, (std::vector<bool>{true, false}));
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(StoreTest, RecordTypesFollowTheEndAddress)
{
    struct {
        uint32_t start, end;
        const char* data;
        const char* end_;
    } cases[] = {{0xFFF0, 0xFFFF, "S1", "S9"}, {0xFFF0, 0x10000, "S2", "S8"},
                 {0xFFFFF0, 0xFFFFFF, "S2", "S8"}, {0xFFFFF0, 0x1000000, "S3", "S7"}};
    image.WriteByte(0xFFF0, 1);
    image.WriteByte(0xFFFFF0, 2);
    model.fileName = out;
    for (const auto& c : cases) {
        box.Answer(EMsgResult::Yes);
        ASSERT_TRUE(Store(c.start, c.end, 0));
        const std::string file = ReadFileBytes(out);
        const size_t second = file.find("\r\n") + 2;
        EXPECT_EQ(file.substr(second, 2), c.data) << std::hex << c.end;
        const size_t last = file.rfind("\r\n", file.size() - 3) + 2;
        EXPECT_EQ(file.substr(last), FormatSRecord(c.end_[1] - '0', c.start, nullptr, 0) + "\r\n");
    }
}

TEST_F(StoreTest, SkipsAllFFBlocksCountedFromTheRangeStart)
{
    // 40 bytes from 0x105: the first 32 are 0xFF, the last 8 are data.
    const auto data = Counting(8);
    image.WriteBlock(0x105 + 32, data.data(), 8);
    image.WriteByte(0x100, 0); // makes the image hold 0xFF before the data
    model.fileName = out;
    ASSERT_TRUE(Store(0x105, 40, 1));
    EXPECT_EQ(ReadFileBytes(out), Header() + FormatSRecord(1, 0x125, data.data(), 8) + "\r\n" +
                                      FormatSRecord(9, 0x105, nullptr, 0) + "\r\n");
    EXPECT_EQ(view.LastStatus(), "Storing of 8 bytes successful terminated !");
}

TEST_F(StoreTest, EmptyImageWritesHeaderAndEndOnly)
{
    model.fileName = out;
    ASSERT_TRUE(Store(0x2000, 0x1000, 1));
    EXPECT_EQ(ReadFileBytes(out), Header() + "S9032000DC\r\n");
    EXPECT_EQ(view.LastStatus(), "Storing of 0 bytes successful terminated !");
}

TEST_F(StoreTest, LargeRangeMatchesTheBlockByBlockAlgorithm)
{
    // Data across the writer's 1 MiB spans, from an unaligned start, with
    // gaps of 0xFF and blocks that are partly 0xFF.
    std::vector<uint8_t> data(3 * (1u << 20) + 77);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (i / 1000) % 3 == 0 ? 0xFF : static_cast<uint8_t>(i * 13);
    image.WriteBlock(0x01000013, data.data(), static_cast<uint32_t>(data.size()));
    model.fileName = out;
    ASSERT_TRUE(Store(0x01000013, static_cast<uint32_t>(data.size()), 1));
    EXPECT_EQ(ReadFileBytes(out), Expected(0x01000013, static_cast<uint32_t>(data.size()), 3, 7));

    // And it reads back to the same bytes.
    CMemoryImage other;
    {
        CTempDir elsewhere(true);
        ASSERT_EQ(other.Open(0), 0);
    }
    uint32_t bytes = 0;
    CMemoryRange range;
    ASSERT_EQ(LoadSRecordFile(out, other, bytes, range, physical, 0), 0);
    std::vector<uint8_t> back(data.size());
    other.ReadBlock(0x01000013, back.data(), static_cast<uint32_t>(back.size()));
    EXPECT_EQ(back, data);
}

TEST_F(StoreTest, ReplaceQuestionGuardsAnExistingFile)
{
    WriteFileBytes(out, "precious");
    image.WriteByte(0x10, 0x42);
    model.fileName = out;
    box.Answer(EMsgResult::No);
    EXPECT_FALSE(Store(0, 0x100, 1));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "File already exists!   Do you want replace it?");
    EXPECT_EQ(box.shown[0].caption, "Confirmed");
    EXPECT_EQ(box.shown[0].buttons, EMsgButtons::YesNo);
    EXPECT_EQ(ReadFileBytes(out), "precious");

    ::chmod(out.c_str(), 0640);
    box.Answer(EMsgResult::Yes);
    EXPECT_TRUE(Store(0, 0x100, 1));
    EXPECT_NE(ReadFileBytes(out).find("S1230000FFFF"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the replaced file keeps its mode
    EXPECT_TRUE(TempLeftovers().empty());
}

TEST_F(StoreTest, RangeChecksComeFirstAndWriteNothing)
{
    model.fileName = out;
    EXPECT_FALSE(Store(0x100, 0, 1));
    EXPECT_FALSE(Store(0x0FFFFFF0, 0x20, 1));
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0].text, "Code size is 0 !");
    EXPECT_EQ(box.shown[1].text, "Out of physical memory range !\n (Base: 00000000, Size: 10000000)");
    EXPECT_EQ(box.shown[1].caption, "Invalid Input");
    EXPECT_EQ(model.entry.FailedField(), CRangeEntry::EField::Start);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(view.statuses.empty());
}

TEST_F(StoreTest, FileThatCannotBeOpenedIsReported)
{
    model.fileName = dir.File("no-such-dir/out.s19");
    EXPECT_FALSE(Store(0, 0x10, 1));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "File " + model.fileName + " could not be opened !\ncannot create a file in " +
                                     dir.File("no-such-dir") + ": No such file or directory");
    EXPECT_EQ(box.shown[0].caption, "File-Error");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Stop);
    EXPECT_EQ(view.statuses, std::vector<std::string>{""});

    box.shown.clear();
    model.fileName = dir.Path().string(); // a directory
    box.Answer(EMsgResult::Yes);
    EXPECT_FALSE(Store(0, 0x10, 1));
    EXPECT_EQ(box.shown.back().text, "File " + model.fileName + " could not be opened !\n" + model.fileName +
                                         " is a directory");
}

TEST_F(StoreTest, WriteFailureKeepsTheOldFileAndLeavesNoHalfFile)
{
    std::vector<uint8_t> data(64 * 1024, 0x5A);
    image.WriteBlock(0, data.data(), static_cast<uint32_t>(data.size()));
    WriteFileBytes(out, "previous contents");
    model.fileName = out;
    box.Answer(EMsgResult::Yes);

    // Files may grow to 4 KiB only: the write of ~140 KiB of records fails.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool stored = Store(0, static_cast<uint32_t>(data.size()), 1);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(stored);
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[1].text, "File " + out + " could not be written !\ncannot write " + out + ": File too large");
    EXPECT_EQ(box.shown[1].caption, "File-Error");
    EXPECT_EQ(view.LastStatus(), "");
    EXPECT_EQ(ReadFileBytes(out), "previous contents");
    EXPECT_TRUE(TempLeftovers().empty());
}

TEST_F(StoreTest, SymbolicLinkKeepsPointingAtTheReplacedFile)
{
    const std::string real = dir.File("real.s19");
    WriteFileBytes(real, "old");
    std::filesystem::create_symlink(real, out);
    image.WriteByte(0, 1);
    model.fileName = out;
    box.Answer(EMsgResult::Yes);
    ASSERT_TRUE(Store(0, 1, 1));
    EXPECT_TRUE(std::filesystem::is_symlink(out));
    EXPECT_EQ(ReadFileBytes(real).substr(0, 4), "S01D");

    // A link to a file not yet there (relative, through a second link)
    // makes that file and stays a link.
    std::filesystem::remove(out);
    std::filesystem::create_directory(dir.File("sub"));
    std::filesystem::create_symlink("sub/hop", out);
    std::filesystem::create_symlink("new.s19", dir.File("sub/hop"));
    box.Answer(EMsgResult::Yes);
    ASSERT_TRUE(Store(0, 1, 1));
    EXPECT_TRUE(std::filesystem::is_symlink(out));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("sub/hop")));
    EXPECT_EQ(ReadFileBytes(dir.File("sub/new.s19")).substr(0, 4), "S01D");
}

// Targets that a rename must not replace: a second name of the file (a hard
// link), a FIFO, and standard output handed in as a descriptor.
TEST_F(StoreTest, HardLinkedFileIsWrittenInPlace)
{
    WriteFileBytes(out, "old");
    const std::string other = dir.File("other-name.s19");
    ASSERT_EQ(::link(out.c_str(), other.c_str()), 0);
    image.WriteByte(0, 1);
    model.fileName = out;
    box.Answer(EMsgResult::Yes);
    ASSERT_TRUE(Store(0, 1, 1));
    struct stat a {}, b {};
    ASSERT_EQ(::stat(out.c_str(), &a), 0);
    ASSERT_EQ(::stat(other.c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino);
    EXPECT_EQ(a.st_nlink, 2u);
    EXPECT_EQ(ReadFileBytes(other), Expected(0, 1, 1, 9));
    EXPECT_TRUE(TempLeftovers().empty());
}

// The directory refuses new files (a read-only directory; as root the
// permission is not enforced, so the refusal comes through the seam).
class CNoNewFiles final : public CSafeFileWriter::COps {
public:
    int CreateNew(const char*) override
    {
        errno = EACCES;
        return -1;
    }
};

TEST_F(StoreTest, DirectoryWithoutRoomForANewFileWritesTheFileInPlace)
{
    image.WriteByte(0, 1);
    WriteFileBytes(out, "old contents, longer than the new file will be ............................................");
    CNoNewFiles ops;
    CSRecordWriter writer(ops);
    ASSERT_EQ(writer.Create(out), kStoreOk);
    uint32_t stored = 0;
    ASSERT_EQ(writer.Write(image, CMemoryRange(0, 1, 1), stored), kStoreOk);
    EXPECT_EQ(ReadFileBytes(out), Expected(0, 1, 1, 9));

    CSRecordWriter fresh(ops);
    EXPECT_EQ(fresh.Create(dir.File("new.s19")), kStoreCannotOpen);
    EXPECT_EQ(fresh.Error(), "cannot create a file in " + dir.Path().string() + ": Permission denied");
}

// A signal that arrives while the new file is made (during open(), so it is
// taken right after it) or while it is renamed: a front end's handler
// removes the pending new file, and must find its name in place.
volatile sig_atomic_t gCleanups = 0;
extern "C" void CleanUpOnSignal(int)
{
    CSafeFileWriter::RemovePendingTempFile();
    gCleanups = gCleanups + 1;
}

class CSignalDuring final : public CSafeFileWriter::COps {
public:
    bool inCreate = true;
    int CreateNew(const char* path) override
    {
        const int fd = CSafeFileWriter::SystemOps().CreateNew(path);
        if (inCreate)
            ::raise(SIGTERM);
        return fd;
    }
    int Rename(const char* from, const char* to) override
    {
        const int r = CSafeFileWriter::SystemOps().Rename(from, to);
        if (!inCreate)
            ::raise(SIGTERM);
        return r;
    }
};

TEST_F(StoreTest, ASignalWhileTheNewFileIsMadeOrRenamedFindsItsNameInPlace)
{
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = CleanUpOnSignal;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGTERM, &action, &previous), 0);
    image.WriteByte(0, 1);
    for (const bool inCreate : {true, false}) {
        WriteFileBytes(out, "old");
        gCleanups = 0;
        CSignalDuring ops;
        ops.inCreate = inCreate;
        CSRecordWriter writer(ops);
        ASSERT_EQ(writer.Create(out), kStoreOk);
        uint32_t stored = 0;
        const int written = writer.Write(image, CMemoryRange(0, 1, 1), stored);
        EXPECT_EQ(gCleanups, 1) << "in create: " << inCreate;
        // The handler removed the new file: nothing of it stays beside the
        // target, which still holds the old bytes (when the signal came
        // during the make) or the whole new ones (during the rename).
        EXPECT_TRUE(TempLeftovers().empty()) << "in create: " << inCreate;
        if (inCreate) {
            EXPECT_EQ(ReadFileBytes(out), "old");
        } else {
            EXPECT_EQ(written, kStoreOk);
            EXPECT_EQ(ReadFileBytes(out), Expected(0, 1, 1, 9));
        }
    }
    sigaction(SIGTERM, &previous, nullptr);
}

TEST_F(StoreTest, FifoAndStreamGetTheRecordsAsTheyAre)
{
    image.WriteBlock(0x100, Counting(100).data(), 100);
    const std::string expected = Expected(0x100, 100, 1, 9);

    const std::string fifo = dir.File("pipe.s19");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFileBytes(fifo); });
    model.fileName = fifo;
    box.Answer(EMsgResult::Yes);
    const bool stored = Store(0x100, 100, 1);
    reader.join();
    EXPECT_TRUE(stored);
    EXPECT_EQ(received, expected);
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    model.fileName = "-";
    model.streamFd = fds[1];
    box.shown.clear();
    ASSERT_TRUE(Store(0x100, 100, 1));
    EXPECT_TRUE(box.shown.empty()); // no replace question for a stream
    EXPECT_EQ(::fcntl(fds[1], F_GETFD), 0) << "the descriptor stays open";
    ::close(fds[1]);
    std::string piped(expected.size() + 10, '\0');
    piped.resize(static_cast<size_t>(::read(fds[0], piped.data(), piped.size())));
    ::close(fds[0]);
    EXPECT_EQ(piped, expected);
}

TEST_F(StoreTest, FitToMemoryImage)
{
    // The fields are read first: their message shows, the fit goes on.
    model.FitToMemoryImage(box); // empty image: the physical range
    EXPECT_EQ(model.Range(), CMemoryRange(0, 0x10000000, 1));
    EXPECT_EQ(model.entry.second.text, "10000000");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Code size is 0 !");
    box.shown.clear();

    image.WriteByte(0x1003, 1);
    image.WriteByte(0x1010, 1);
    model.entry.Show(CMemoryRange(0x20, 0x30, 0));
    model.FitToMemoryImage(box);
    EXPECT_EQ(model.Range(), CMemoryRange(0x1003, 0xE, 1));
    EXPECT_EQ(model.entry.start.text, "00001003");
    EXPECT_EQ(model.entry.second.text, "0000000E");
    EXPECT_EQ(model.entry.LengthMode(), 1);

    // A used extent outside the physical range is not taken.
    CStoreModel narrow(image, CMemoryRange(0x2000, 0x100, 1));
    narrow.entry.Show(CMemoryRange(0x2000, 0x10, 1));
    narrow.FitToMemoryImage(box);
    EXPECT_EQ(narrow.Range(), CMemoryRange(0x2000, 0x100, 1));
    EXPECT_TRUE(box.shown.empty());
}

} // namespace
