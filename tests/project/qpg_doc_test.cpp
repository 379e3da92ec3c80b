// The project document: its file layout, byte for byte, reading hostile
// files, the atomic save, the after-read steps and the command rules.
#include "allocation_watch.h"
#include "files/program_file_readers.h"
#include "commands/load_command.h"
#include "common/channel_text.h"
#include "project/archive.h"
#include "project/project_file_lock.h"
#include "project/qpg_doc.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"
#include "project/code_item.h"
#include "catalogue/flash_catalogue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const char* const kDevice = "AMD  Am29LV160BB (1M x 16)";

// ---- An encoder of the file format written apart from the archive class ----

void Put8(Bytes& b, uint8_t v) { b.push_back(v); }
void Put16(Bytes& b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v)
{
    Put16(b, static_cast<uint16_t>(v));
    Put16(b, static_cast<uint16_t>(v >> 16));
}
void PutText(Bytes& b, const std::string& s)
{
    if (s.size() < 0xFF) {
        Put8(b, static_cast<uint8_t>(s.size()));
    } else if (s.size() < 0xFFFE) {
        Put8(b, 0xFF);
        Put16(b, static_cast<uint16_t>(s.size()));
    } else {
        Put8(b, 0xFF);
        Put16(b, 0xFFFF);
        Put32(b, static_cast<uint32_t>(s.size()));
    }
    b.insert(b.end(), s.begin(), s.end());
}
void PutRange(Bytes& b, uint32_t start, uint32_t size, uint16_t mode)
{
    Put32(b, start);
    Put32(b, size);
    Put16(b, mode);
}

// The items of the file in layout order (1..42); a test may replace any of
// them by other bytes.
using Items = std::map<int, Bytes>;

Items NewProjectItems()
{
    Items it;
    auto w16 = [](uint16_t v) { Bytes b; Put16(b, v); return b; };
    auto w32 = [](uint32_t v) { Bytes b; Put32(b, v); return b; };
    auto txt = [](const std::string& s) { Bytes b; PutText(b, s); return b; };
    auto range = [] { Bytes b; PutRange(b, 0, 0, 1); return b; };
    it[1] = w16(1);
    it[2] = w16(0);
    it[3] = w16(0);
    it[4] = w16(0);
    it[5] = w16(0);
    it[6] = txt("111.111.111.111");
    it[7] = txt("255.255.255.255");
    it[8] = txt("255.255.255.255");
    it[9] = txt("");
    it[10] = w32(0xFFFFFFFF);
    it[11] = w16(2);
    it[12] = w16(0);
    it[13] = w16(1);
    it[14] = w32(0);
    it[15] = Bytes{0};
    it[16] = w32(0);
    it[17] = txt("");
    it[18] = w16(1);
    it[19] = w16(1);
    it[20] = txt("NONE");
    it[21] = w32(0);
    it[22] = Bytes{0};
    it[23] = w32(2);
    it[24] = txt("header left");
    it[25] = txt("header right");
    it[26] = txt("setup title");
    it[27] = txt("");
    it[28] = w16(1);
    it[29] = w32(0);
    it[30] = Bytes{0, 0, 0, 0, 0, 0}; // erase map: no bytes, 0 banks, 0 sectors
    for (int i : {31, 32, 33, 34, 40, 41, 42})
        it[i] = range();
    for (int i = 35; i <= 39; ++i)
        it[i] = w16(0);
    return it;
}

Bytes Join(const Items& items)
{
    Bytes all;
    for (const auto& [index, bytes] : items)
        all.insert(all.end(), bytes.begin(), bytes.end());
    return all;
}

Bytes NewProjectBytes()
{
    return Join(NewProjectItems());
}

// The init list form: count, then tagged entries. The class is named once,
// in the first new-class tag of the file; later entries refer to it.
struct SListWriter {
    uint32_t nextIndex = 1;
    uint32_t classIndex = 0;
    Bytes Write(const CCodeList& list)
    {
        Bytes b;
        Put16(b, static_cast<uint16_t>(list.GetCount()));
        for (size_t i = 0; i < list.GetCount(); ++i) {
            const CCodeItem* item = list.GetAt(i);
            if (!item) {
                Put16(b, 0);
                continue;
            }
            if (classIndex == 0) {
                Put16(b, 0xFFFF);
                Put16(b, 0); // schema
                Put16(b, 9);
                const std::string name = "CCodeItem";
                b.insert(b.end(), name.begin(), name.end());
                classIndex = nextIndex++;
            } else {
                Put16(b, static_cast<uint16_t>(0x8000 | classIndex));
            }
            ++nextIndex; // the entry's own object index
            PutText(b, item->GetText());
        }
        return b;
    }
};

// A project with every field away from its default, all five lists with
// entries of every action type and an empty slot, and an erase map.
void FillProject(CQpgDoc& doc, size_t longText = 70000)
{
    doc.targetBaud = 3;
    doc.targetChannel = 4;
    doc.loaderBaud = 4;
    doc.loaderChannel = 2;
    doc.probeAddress = "192.168.17.5";
    doc.subnetMask = "255.255.0.0";
    doc.gateway = "192.168.17.1";
    doc.physicalRange.Set(0x08000000, 0x00200000, 1);
    doc.storeRange.Set(0x08000000, 0x0800FFFF, 0);
    doc.storeFileName = "out.s19";
    doc.fillRange.Set(0x08001000, 0x100, 1);
    doc.fillPattern = 0x12345678;
    doc.fillUnit = 1;
    doc.checksumRange.Set(0x08000000, 0x1000, 1);
    doc.checksumDest = 0x08001FFC;
    doc.checksumType = 2;
    doc.checksumDestType = 0;
    doc.autoload = false; // the file name below does not exist
    doc.loadOffset = 0x100;
    doc.loadFileName = "fw.hex";
    doc.bankCount = 2;
    doc.busWidth = 1;
    doc.memoryType = kDevice;
    doc.workspace = 0x40000000;
    doc.useTargetAlgorithm = true;
    doc.targetOptions = 0x00010D03;
    doc.headerLeft = std::string(300, 'L');
    doc.headerRight = "right";
    doc.setupTitle = "title";
    doc.comment.clear();
    for (size_t i = 0; i < longText; ++i)
        doc.comment.push_back(static_cast<char>('a' + i % 26));
    doc.editUnit = 2;
    doc.editAddress = 0x08000100;
    doc.eraseMap.Resize(2, 35);
    doc.eraseMap.SelectSector(0, 1, 1);
    doc.eraseMap.SelectSector(1, 34, 1);
    for (int code = 0; code < CCodeItem::kActionCount; ++code) {
        CCodeList& list = doc.InitList(static_cast<CQpgDoc::EInitList>(code % CQpgDoc::kInitListCount));
        list.Add(CCodeItem(code, 0xFFE00000u + static_cast<uint32_t>(code) * 4, 0x100u + static_cast<uint32_t>(code),
                           "entry " + std::to_string(code)));
    }
    doc.preProgramList.Add(std::unique_ptr<CCodeItem>()); // an empty slot
    doc.programRange.Set(0x08000000, 0x10000, 1);
    doc.verifyRange.Set(0x08000000, 0x0801FFFF, 0);
    doc.dumpRange.Set(0x08100000, 0x400, 1);
}

// The bytes of FillProject's document, built item by item.
Bytes FilledProjectBytes(const CQpgDoc& doc)
{
    Items it = NewProjectItems();
    auto w16 = [](uint16_t v) { Bytes b; Put16(b, v); return b; };
    auto w32 = [](uint32_t v) { Bytes b; Put32(b, v); return b; };
    auto txt = [](const std::string& s) { Bytes b; PutText(b, s); return b; };
    it[2] = w16(3);
    it[3] = w16(4);
    it[4] = w16(4);
    it[5] = w16(2);
    it[6] = txt("192.168.17.5");
    it[7] = txt("255.255.0.0");
    it[8] = txt("192.168.17.1");
    it[9] = txt("out.s19");
    it[10] = w32(0x12345678);
    it[11] = w16(1);
    it[12] = w16(2);
    it[13] = w16(0);
    it[14] = w32(0x08001FFC);
    it[15] = Bytes{0};
    it[16] = w32(0x100);
    it[17] = txt("fw.hex");
    it[18] = w16(2);
    it[19] = w16(1);
    it[20] = txt(kDevice);
    it[21] = w32(0x40000000);
    it[22] = Bytes{1};
    it[23] = w32(0x00010D03);
    it[24] = txt(doc.headerLeft);
    it[25] = txt("right");
    it[26] = txt("title");
    it[27] = txt(doc.comment);
    it[28] = w16(2);
    it[29] = w32(0x08000100);
    Bytes map;
    Put16(map, 70);
    for (int bank = 0; bank < 2; ++bank)
        for (int sector = 0; sector < 35; ++sector)
            map.push_back((bank == 0 && sector == 1) || (bank == 1 && sector == 34) ? 1 : 0);
    Put16(map, 2);
    Put16(map, 35);
    it[30] = map;
    auto range = [](uint32_t s, uint32_t n, uint16_t m) { Bytes b; PutRange(b, s, n, m); return b; };
    it[31] = range(0x08000000, 0x00200000, 1);
    it[32] = range(0x08000000, 0x10000, 0);
    it[33] = range(0x08001000, 0x100, 1);
    it[34] = range(0x08000000, 0x1000, 1);
    SListWriter lists;
    it[35] = lists.Write(doc.mainList);
    it[36] = lists.Write(doc.preProgramList);
    it[37] = lists.Write(doc.postProgramList);
    it[38] = lists.Write(doc.preEraseList);
    it[39] = lists.Write(doc.postEraseList);
    it[40] = range(0x08000000, 0x10000, 1);
    it[41] = range(0x08000000, 0x20000, 0);
    it[42] = range(0x08100000, 0x400, 1);
    return Join(it);
}

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string ToString(const Bytes& b) { return std::string(b.begin(), b.end()); }

size_t CountOf(const Bytes& haystack, const std::string& needle)
{
    const std::string h = ToString(haystack);
    size_t n = 0;
    for (size_t p = h.find(needle); p != std::string::npos; p = h.find(needle, p + 1))
        ++n;
    return n;
}

class QpgDoc : public ::testing::Test {
protected:
    QpgDoc() : dir(true) {}
    CTempDir dir; // entered: the image keeps its backing file here
    CScriptedMessageBox box;
    CRecordingOperationView view;
};

} // namespace

// ---- The file layout --------------------------------------------------------

TEST_F(QpgDoc, NewProjectSavedAtOnceIsTheDocumentedLayout)
{
    CQpgDoc doc;
    ASSERT_EQ(doc.ImageOpenResult(), 0);
    const Bytes expected = NewProjectBytes();
    // Spot checks of the start, as the layout table reads it.
    const Bytes head = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 15};
    ASSERT_TRUE(std::equal(head.begin(), head.end(), expected.begin()));

    EXPECT_EQ(doc.SaveToBytes(), expected);
    ASSERT_TRUE(doc.Save(dir.File("new.tvl"), box));
    EXPECT_EQ(ReadFileBytes(dir.File("new.tvl")), ToString(expected));
    EXPECT_TRUE(box.shown.empty());

    // Reset brings every field back: a filled project resets to the same bytes.
    FillProject(doc);
    doc.Reset();
    EXPECT_EQ(doc.SaveToBytes(), expected);
}

TEST_F(QpgDoc, FullProjectSavesInTheFormatAndReadsBackUnchanged)
{
    CQpgDoc doc;
    FillProject(doc);
    const Bytes expected = FilledProjectBytes(doc);
    ASSERT_TRUE(doc.Save(dir.File("full.tvl"), box));
    const Bytes written = ToBytes(ReadFileBytes(dir.File("full.tvl")));
    EXPECT_EQ(written, expected);
    // The entries' class is named once; every later entry refers to it.
    EXPECT_EQ(CountOf(written, "CCodeItem"), 1u);
    EXPECT_EQ(CountOf(written, std::string("\x01\x80", 2)), CCodeItem::kActionCount - 1u);

    CQpgDoc back;
    ASSERT_TRUE(back.Open(dir.File("full.tvl"), view, box)) << (box.shown.empty() ? "" : box.shown[0].text);
    EXPECT_FALSE(back.IsModified());
    EXPECT_EQ(back.GetPathName(), dir.File("full.tvl"));
    EXPECT_EQ(back.SaveToBytes(), expected);
    EXPECT_EQ(back.headerLeft.size(), 300u);
    EXPECT_EQ(back.comment, doc.comment);
    EXPECT_EQ(back.memoryType, kDevice);
    for (int l = 0; l < CQpgDoc::kInitListCount; ++l) {
        const auto which = static_cast<CQpgDoc::EInitList>(l);
        EXPECT_TRUE(back.InitList(which) == doc.InitList(which)) << l;
    }
    EXPECT_TRUE(back.eraseMap.IsSectorSelected(1, 34));
    EXPECT_EQ(back.physicalRange, doc.physicalRange);
    EXPECT_EQ(back.verifyRange, doc.verifyRange);
    EXPECT_TRUE(box.shown.empty());
}

// ---- Hostile files ----------------------------------------------------------

TEST_F(QpgDoc, FileCutAtEveryBytePositionIsRefusedAndLeavesTheDocumentReset)
{
    CQpgDoc source;
    FillProject(source, 40); // short texts keep the loop quick; every item is there
    const Bytes full = source.SaveToBytes();
    const Bytes reset = NewProjectBytes();
    CQpgDoc doc;
    for (size_t n = 0; n < full.size(); ++n) {
        FillProject(doc, 10);
        std::string error;
        bool read;
        size_t largest;
        {
            CAllocationWatch watch;
            read = doc.ReadFromBytes(std::span<const uint8_t>(full.data(), n), error);
            largest = watch.Largest();
        }
        ASSERT_FALSE(read) << "cut at " << n;
        EXPECT_FALSE(error.empty()) << n;
        EXPECT_LE(largest, n + 1024) << n;
        ASSERT_EQ(doc.SaveToBytes(), reset) << "not reset after a cut at " << n;
    }
    std::string error;
    EXPECT_TRUE(doc.ReadFromBytes(full, error)) << error;
}

TEST_F(QpgDoc, HostileCountsLengthsClassesAndReferencesAreRefused)
{
    auto bytes = [](std::initializer_list<uint32_t> words16, std::initializer_list<uint32_t> words32 = {}) {
        Bytes b;
        for (uint32_t w : words16)
            Put16(b, static_cast<uint16_t>(w));
        for (uint32_t w : words32)
            Put32(b, w);
        return b;
    };
    auto tagged = [](uint16_t tag, const std::string& name) {
        Bytes b;
        Put16(b, tag);
        if (tag == 0xFFFF) {
            Put16(b, 0);
            Put16(b, static_cast<uint16_t>(name.size()));
            b.insert(b.end(), name.begin(), name.end());
        }
        return b;
    };
    auto entry = [](const std::string& text) { Bytes b; PutText(b, text); return b; };
    auto cat = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const auto& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const Bytes goodEntry = entry("WM32\t00000000\t00000001\t");
    const struct {
        const char* what;
        int item;
        Bytes replacement;
    } cases[] = {
        {"text of 0xFFFF..FFFF characters", 6, cat({Bytes{0xFF}, bytes({0xFFFF}, {0xFFFFFFFF})})},
        {"text of 0xFFFD characters", 6, cat({Bytes{0xFF}, bytes({0xFFFD})})},
        {"wide-character text", 6, cat({Bytes{0xFF}, bytes({0xFFFE}), Bytes{2, 'a', 0}})},
        {"list count 0xFFFF", 35, bytes({0xFFFE})},
        {"list count 0xFFFFFFFF", 35, cat({bytes({0xFFFF}, {0xFFFFFFFF})})},
        {"erase map of 0xFFFFFFFF bytes", 30, cat({bytes({0xFFFF}, {0xFFFFFFFF})})},
        {"erase map count and size disagree", 30, cat({bytes({2}), Bytes{1, 0}, bytes({2, 2})})},
        {"wrong class name", 35, cat({bytes({1}), tagged(0xFFFF, "CCodeIten"), goodEntry})},
        {"class name of 0xFFFF characters", 35, cat({bytes({1, 0xFFFF, 0, 0xFFFF})})},
        {"other schema", 35, cat({bytes({1, 0xFFFF, 1, 9}), ToBytes("CCodeItem"), goodEntry})},
        {"reference to an object that is not there", 35, cat({bytes({1}), tagged(5, "")})},
        {"reference to the class as an object", 35,
         cat({bytes({2}), tagged(0xFFFF, "CCodeItem"), goodEntry, tagged(1, "")})},
        {"reference to a class that is not there", 35, cat({bytes({1}), tagged(0x8007, "")})},
        {"wide reference that points nowhere", 35, cat({bytes({1, 0x7FFF}, {0x7FFFFFFF})})},
    };
    for (const auto& c : cases) {
        Items items = NewProjectItems();
        items[c.item] = c.replacement;
        items[15] = Bytes{1}; // autoload set: it must not run after a failed read
        items[17] = Bytes{7, 'x', '.', 'h', 'e', 'x', 'x', 'x'};
        const Bytes file = Join(items);
        WriteFileBytes(dir.File("bad.tvl"), ToString(file));

        CQpgDoc doc;
        FillProject(doc, 10);
        CScriptedMessageBox fileBox;
        bool opened;
        size_t largest;
        {
            CAllocationWatch watch;
            opened = doc.Open(dir.File("bad.tvl"), view, fileBox);
            largest = watch.Largest();
        }
        EXPECT_FALSE(opened) << c.what;
        EXPECT_LE(largest, file.size() + 1024) << c.what;
        ASSERT_EQ(fileBox.shown.size(), 1u) << c.what; // the format error only: no autoload report
        EXPECT_EQ(fileBox.shown[0].text.rfind("Unexpected file format.\n", 0), 0u) << fileBox.shown[0].text;
        EXPECT_EQ(fileBox.shown[0].caption, "File-Error");
        EXPECT_EQ(fileBox.shown[0].icon, EMsgIcon::Stop);
        EXPECT_EQ(doc.AutoloadResult(), -1) << c.what;
        EXPECT_EQ(doc.SaveToBytes(), NewProjectBytes()) << c.what;
        EXPECT_EQ(doc.GetPathName(), "") << c.what;
    }
}

TEST_F(QpgDoc, FileThatCannotBeReadLeavesTheDocumentAsItWas)
{
    CQpgDoc doc;
    doc.memoryType = kDevice;
    doc.SetModifiedFlag();
    EXPECT_FALSE(doc.Open(dir.File("missing.tvl"), view, box));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text.rfind("Failed to open document.\n", 0), 0u) << box.shown[0].text;
    EXPECT_EQ(box.shown[0].caption, "File-Error");
    EXPECT_EQ(doc.memoryType, kDevice);
    EXPECT_TRUE(doc.IsModified());
}

// ---- Saving -----------------------------------------------------------------

namespace {

// Fails one system call of the save: the write after `writeBudget` bytes,
// the sync, or the rename.
class CFailingOps final : public CSafeFileWriter::COps {
public:
    enum class EFail { Write, Fsync, Rename };
    CFailingOps(EFail fail, size_t writeBudget) : fail_(fail), budget_(writeBudget) {}
    ssize_t Write(int fd, const void* data, size_t n) override
    {
        if (fail_ != EFail::Write)
            return COps::Write(fd, data, n);
        if (budget_ == 0) {
            errno = ENOSPC;
            return -1;
        }
        const size_t part = n < budget_ ? n : budget_;
        budget_ -= part;
        return COps::Write(fd, data, part);
    }
    int Fsync(int fd) override
    {
        if (fail_ == EFail::Fsync) {
            errno = EIO;
            return -1;
        }
        return COps::Fsync(fd);
    }
    int Rename(const char* from, const char* to) override
    {
        if (fail_ == EFail::Rename) {
            errno = EXDEV;
            return -1;
        }
        return COps::Rename(from, to);
    }

private:
    EFail fail_;
    size_t budget_;
};

} // namespace

TEST_F(QpgDoc, FailedSaveLeavesThePreviousFileIntact)
{
    const std::string path = dir.File("project.tvl");
    CQpgDoc doc;
    FillProject(doc);
    ASSERT_TRUE(doc.Save(path, box));
    ::chmod(path.c_str(), 0640);
    const std::string before = ReadFileBytes(path);

    doc.comment = "changed";
    doc.SetModifiedFlag();
    const struct {
        CFailingOps::EFail fail;
        size_t budget;
    } cases[] = {
        {CFailingOps::EFail::Write, 0},
        {CFailingOps::EFail::Write, 100}, // midway
        {CFailingOps::EFail::Fsync, 0},
        {CFailingOps::EFail::Rename, 0},
    };
    for (const auto& c : cases) {
        CScriptedMessageBox saveBox;
        CFailingOps ops(c.fail, c.budget);
        EXPECT_FALSE(doc.Save(path, saveBox, ops));
        ASSERT_EQ(saveBox.shown.size(), 1u);
        EXPECT_EQ(saveBox.shown[0].text.rfind("Failed to save document.\n", 0), 0u) << saveBox.shown[0].text;
        EXPECT_EQ(saveBox.shown[0].caption, "File-Error");
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_TRUE(doc.IsModified());
        // No temporary file is left behind.
        size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            files += e.path().filename().string().rfind(".project.tvl", 0) == 0;
        EXPECT_EQ(files, 0u);
    }

    ASSERT_TRUE(doc.Save(path, box));
    EXPECT_FALSE(doc.IsModified());
    CQpgDoc back;
    ASSERT_TRUE(back.Open(path, view, box));
    EXPECT_EQ(back.comment, "changed");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the replaced file's permissions are kept
}

// ---- The file on disk and other programs -------------------------------------

TEST_F(QpgDoc, ProjectFileChangedTellsAChangeByAnotherProgramFromOurOwnSaves)
{
    const std::string path = dir.File("project.tvl");
    CQpgDoc mine;
    FillProject(mine);
    EXPECT_FALSE(mine.ProjectFileChanged()) << "no file yet, nothing to lose";
    ASSERT_TRUE(mine.Save(path, box));
    EXPECT_FALSE(mine.ProjectFileChanged()) << "our own save";

    CQpgDoc theirs;
    ASSERT_TRUE(theirs.Open(path, view, box));
    EXPECT_FALSE(theirs.ProjectFileChanged());
    // Touched, or written again with the same bytes: nothing would be lost.
    ::utimensat(AT_FDCWD, path.c_str(), nullptr, 0);
    EXPECT_FALSE(mine.ProjectFileChanged());
    ASSERT_TRUE(theirs.Save(path, box));
    EXPECT_FALSE(mine.ProjectFileChanged());

    // Changed in place with the same size, within one clock tick: the bytes tell.
    std::string bytes = ReadFileBytes(path);
    bytes.back() ^= 1;
    WriteFileBytes(path, bytes);
    std::string why;
    EXPECT_TRUE(mine.ProjectFileChanged(&why));
    EXPECT_EQ(why, "another program changed it");
    EXPECT_TRUE(theirs.ProjectFileChanged());
    // Opening it again takes the new content as read.
    ASSERT_TRUE(theirs.Open(path, view, box));
    EXPECT_FALSE(theirs.ProjectFileChanged());

    // Removed: a save loses nothing. Made where there was none: it would.
    std::filesystem::remove(path);
    EXPECT_FALSE(theirs.ProjectFileChanged());
    CQpgDoc fresh;
    fresh.SetPathName(path);
    EXPECT_FALSE(fresh.ProjectFileChanged());
    ASSERT_TRUE(mine.Save(path, box));
    EXPECT_TRUE(fresh.ProjectFileChanged(&why));
    EXPECT_EQ(why, "it was created by another program");
    EXPECT_TRUE(fresh.DiskStamp().MetadataDiffers(path));
    EXPECT_FALSE(mine.DiskStamp().MetadataDiffers(path));
}

TEST_F(QpgDoc, TheLookAtTheFileAndTheWriteAreOneStepUnderTheLock)
{
    const std::string path = dir.File("project.tvl");
    CQpgDoc mine;
    FillProject(mine);
    ASSERT_TRUE(mine.Save(path, box));
    CQpgDoc theirs;
    ASSERT_TRUE(theirs.Open(path, view, box));
    theirs.comment = "theirs";
    const Bytes theirBytes = theirs.SaveToBytes();
    mine.comment = "mine";

    // Another writer holds the lock, passes its own look and renames its
    // file in while mine waits: mine then sees that file and keeps it.
    CProjectFileLock other;
    std::string error;
    ASSERT_TRUE(other.Take(path, error)) << error;
    std::atomic<bool> released = false;
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        WriteFileBytes(dir.File("new"), std::string(theirBytes.begin(), theirBytes.end()));
        std::filesystem::rename(dir.File("new"), path);
        released = true;
        other.Release();
    });
    std::string why;
    const CQpgDoc::ESaveResult result = mine.SaveKeepingOtherChanges(path, box, &why);
    const bool waited = released;
    writer.join();
    EXPECT_TRUE(waited) << "the save went ahead while another held the lock";
    EXPECT_EQ(result, CQpgDoc::ESaveResult::ChangedOnDisk);
    EXPECT_EQ(why, "another program changed it");
    EXPECT_EQ(ReadFileBytes(path), std::string(theirBytes.begin(), theirBytes.end()));
    EXPECT_TRUE(box.shown.empty());

    // Opened again, the next save goes through; a plain Save replaces
    // whatever is there.
    ASSERT_TRUE(theirs.Open(path, view, box));
    theirs.comment = "again";
    EXPECT_EQ(theirs.SaveKeepingOtherChanges(path, box), CQpgDoc::ESaveResult::Saved);
    EXPECT_TRUE(mine.Save(path, box));
    CQpgDoc back;
    ASSERT_TRUE(back.Open(path, view, box));
    EXPECT_EQ(back.comment, "mine");

    // A holder that never lets go: the wait ends with a reason, through a
    // symbolic link too (the lock is the target's).
    ASSERT_TRUE(other.Take(path, error)) << error;
    std::filesystem::create_symlink(path, dir.File("link.tvl"));
    CProjectFileLock late;
    EXPECT_FALSE(late.Take(dir.File("link.tvl"), error, 50));
    EXPECT_EQ(error, dir.File("link.tvl") + " is being saved by another program; try again when it is done");
    EXPECT_FALSE(late.Held());
    other.Release();
    EXPECT_TRUE(late.Take(dir.File("link.tvl"), error, 50)) << error;
}

TEST_F(QpgDoc, AWritersNewFileGoesWithASignalAndAfterItsProcessDied)
{
    const std::string path = dir.File("project.tvl");
    // A writer under way: its new file is named for the handler to remove.
    {
        CSafeFileWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Begin(path, error)) << error;
        ASSERT_TRUE(writer.Append("abc", 3, error));
        size_t temps = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            temps += e.path().filename().string().rfind(".project.tvl.tmp-", 0) == 0;
        EXPECT_EQ(temps, 1u);
        CSafeFileWriter::RemovePendingTempFile();
        temps = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            temps += e.path().filename().string().rfind(".project.tvl.tmp-", 0) == 0;
        EXPECT_EQ(temps, 0u);
    }
    // Left by a process that is gone (a child that ended), or by one alive.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = dir.File(".project.tvl.tmp-" + std::to_string(child) + "-3");
    const std::string alive = dir.File(".project.tvl.tmp-1-0"); // init never ends
    const std::string other = dir.File(".other.tvl.tmp-" + std::to_string(child) + "-0");
    // Killed but not yet reaped; and this process's own number on a file
    // written before it started (the number given again), beside a file of
    // its own from now.
    const pid_t zombie = ::fork();
    if (zombie == 0)
        ::_exit(0);
    ASSERT_GT(zombie, 0);
    bool ended = false;
    for (int tries = 0; tries < 500 && !ended; ++tries) {
        ended = ReadFileBytes("/proc/" + std::to_string(zombie) + "/stat").find(") Z ") != std::string::npos;
        if (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(ended);
    const std::string unreaped = dir.File(".project.tvl.tmp-" + std::to_string(zombie) + "-0");
    const std::string reused = dir.File(".project.tvl.tmp-" + std::to_string(::getpid()) + "-1");
    const std::string mine = dir.File(".project.tvl.tmp-" + std::to_string(::getpid()) + "-2");
    for (const std::string& f : {dead, alive, other, unreaped, reused, mine})
        WriteFileBytes(f, "half");
    const struct timespec dayAgo[2] = {{::time(nullptr) - 86400, 0}, {::time(nullptr) - 86400, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, reused.c_str(), dayAgo, 0), 0);
    CQpgDoc doc;
    ASSERT_TRUE(doc.Save(path, box));
    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_FALSE(std::filesystem::exists(unreaped));
    EXPECT_FALSE(std::filesystem::exists(reused));
    EXPECT_TRUE(std::filesystem::exists(mine));
    EXPECT_TRUE(std::filesystem::exists(alive));
    EXPECT_TRUE(std::filesystem::exists(other)) << "only the files of the target written";
    ASSERT_EQ(::waitpid(zombie, nullptr, 0), zombie);
}

// ---- After the read ---------------------------------------------------------

TEST_F(QpgDoc, MemoryTypeThatIsNotExactlyACatalogueNameReadsBackAsNone)
{
    const struct {
        std::string stored;
        std::string read;
    } cases[] = {
        {kDevice, kDevice},
        {"amd  am29lv160bb (1m x 16)", "NONE"},
        {"AMD Am29LV160BB (1M x 16)", "NONE"}, // one space where the catalogue has two
        {"AMD  Am29LV160BB (1M x 16) ", "NONE"},
        {"Flash 3000", "NONE"},
        {"none", "NONE"},
        {"NONE", "NONE"},
        {"", "NONE"},
    };
    for (const auto& c : cases) {
        CQpgDoc source(false);
        source.memoryType = c.stored;
        const Bytes file = source.SaveToBytes();
        CQpgDoc doc(false);
        std::string error;
        ASSERT_TRUE(doc.ReadFromBytes(file, error)) << error;
        EXPECT_EQ(doc.memoryType, c.read) << '"' << c.stored << '"';
    }
}

TEST_F(QpgDoc, ImageBaseFollowsThePhysicalRangeAndAutoloadLoadsTheProgram)
{
    // Two data records from 0x08000000: they land at image offset 0.
    WriteFileBytes(dir.File("fw.s19"), "S0030000FC\n"
                                       "S30A080000000001020304E3\n"
                                       "S30708000005AABB86\n"
                                       "S70508000000F2\n");
    CQpgDoc source(false);
    source.physicalRange.Set(0x08000000, 0x200000, 1);
    source.memoryType = kDevice;
    source.autoload = true;
    source.loadFileName = dir.File("fw.s19");
    source.targetChannel = 4;
    source.probeAddress = "10.0.0.7";
    ASSERT_TRUE(source.Save(dir.File("auto.tvl"), box));

    CQpgDoc doc;
    doc.autoloadHandler = &CLoadCommand::RunAutoload;
    ASSERT_TRUE(doc.Open(dir.File("auto.tvl"), view, box));
    EXPECT_TRUE(box.shown.empty()) << box.shown[0].text;
    EXPECT_EQ(doc.image.GetBase(), 0x08000000u);
    EXPECT_EQ(doc.AutoloadResult(), kLoadOk);
    EXPECT_FALSE(doc.openingForAutoload);
    EXPECT_EQ(doc.image.GetFirstOffset(), 0u);
    EXPECT_EQ(doc.image.GetUsedLength(), 7u);
    EXPECT_EQ(doc.image.ReadByte(0x08000006), 0xBB);
    EXPECT_EQ(view.LastStatus(), "Loading of 7 bytes successful terminated ! (S-record file)");
    EXPECT_FALSE(doc.IsModified()); // the load took the project's own values
    EXPECT_EQ(doc.ChannelText(), "NETWORK 10.0.0.7 1");

    // A missing program file: the project is open, the Load report was shown.
    std::filesystem::remove(dir.File("fw.s19"));
    CScriptedMessageBox missing;
    ASSERT_TRUE(doc.Open(dir.File("auto.tvl"), view, missing));
    EXPECT_EQ(doc.AutoloadResult(), kLoadCannotOpen);
    ASSERT_EQ(missing.shown.size(), 1u);
    EXPECT_EQ(missing.shown[0].text,
              "Can not open file !\nLoading process aborted...\n\n" + dir.File("fw.s19") + ": No such file or directory");
    EXPECT_TRUE(doc.image.IsEmpty()); // the open emptied the image
    EXPECT_EQ(doc.memoryType, kDevice);
}

TEST(ChannelText, NamesThePortAndBaudOrTheNetworkAddress)
{
    const struct {
        int channel;
        int baud;
        const char* ip;
        const char* text;
    } cases[] = {
        {0, 0, "", "COM1 9600"},     {1, 2, "", "COM2 38400"},   {3, 4, "", "COM4 115200"},
        {2, 5, "", "COM3"},          {0, -1, "", "COM1"},        {4, 0, "10.1.2.3", "NETWORK 10.1.2.3 1"},
        {5, 0, "10.1.2.3", "NETWORK 10.1.2.3 2"},
    };
    std::string text;
    for (const auto& c : cases) {
        text = ChannelTextFor(text, c.channel, c.baud, c.ip);
        EXPECT_EQ(text, c.text) << c.channel << "/" << c.baud;
    }
    // channels above 5 leave the text alone
    EXPECT_EQ(ChannelTextFor(text, 6, 0, "1.1.1.1"), "NETWORK 10.1.2.3 2");
}

// ---- The command rules ------------------------------------------------------

TEST_F(QpgDoc, PrepareRangeTakesTheStoredRangeTheFallbackOrThePhysicalRange)
{
    CQpgDoc doc(false);
    doc.physicalRange.Set(0x1000, 0x1000, 1);
    const CMemoryRange physical = doc.physicalRange;
    const CMemoryRange inside(0x1100, 0x10, 1);
    const CMemoryRange atEnd(0x1FF0, 0x10, 1);
    const CMemoryRange pastEnd(0x1FF0, 0x11, 1);
    const CMemoryRange below(0xFFF, 0x10, 1);
    const CMemoryRange empty(0x1100, 0, 1);
    const struct {
        CMemoryRange stored, fallback, chosen;
    } cases[] = {
        {inside, atEnd, inside},    {atEnd, inside, atEnd},     {pastEnd, inside, inside},
        {below, atEnd, atEnd},      {empty, inside, inside},    {pastEnd, below, physical},
        {empty, empty, physical},
    };
    for (const auto& c : cases) {
        const CMemoryRange r = doc.PrepareRange(c.stored, c.fallback);
        EXPECT_EQ(r, c.chosen) << std::hex << c.stored.GetStart() << "+" << c.stored.GetSize();
    }
    // Nothing lies inside an empty physical range.
    doc.physicalRange.Set(0, 0, 1);
    EXPECT_EQ(doc.PrepareRange(inside, inside), doc.physicalRange);

    // Program and Verify fall back on the used extent in whole bus units.
    CQpgDoc withImage;
    withImage.physicalRange.Set(0x1000, 0x1000, 1);
    withImage.image.SetBase(0x1000);
    withImage.busWidth = 2;
    const uint8_t two[2] = {1, 2};
    ASSERT_EQ(withImage.image.WriteBlock(0x1101, two, 2), 0);
    EXPECT_EQ(withImage.ProgramStartRange(), CMemoryRange(0x1100, 4, 1));
    EXPECT_EQ(withImage.StoreStartRange(), CMemoryRange(0x1101, 2, 1));
    withImage.busWidth = 999; // out of range from a damaged file: whole bytes
    EXPECT_EQ(withImage.VerifyStartRange(), CMemoryRange(0x1101, 2, 1));
}

TEST_F(QpgDoc, CommandsNeedADeviceAndEraseNeedsAnEraseAlgorithm)
{
    using C = CQpgDoc::ECommand;
    const C needDevice[] = {C::Checksum, C::Clear, C::Dump,    C::Edit,  C::Fill,
                            C::Load,     C::Store, C::Program, C::Verify};
    const C always[] = {C::Communication, C::Firmware,       C::TargetMemory,   C::MainList,
                        C::PreEraseList,  C::PostEraseList, C::PreProgramList, C::PostProgramList,
                        C::PrintComment};
    const struct {
        const char* memoryType;
        bool device;
        bool erase;
    } cases[] = {
        {"NONE", false, false},
        {kDevice, true, true},
        {"Atmel  AT29C020", true, false}, // page-write device: no separate erase
        {"ACME  unknown", true, false},   // only reachable before the after-read step
    };
    for (const auto& c : cases) {
        CQpgDoc doc(false);
        doc.memoryType = c.memoryType;
        for (C cmd : needDevice)
            EXPECT_EQ(doc.IsCommandEnabled(cmd), c.device) << c.memoryType << " " << static_cast<int>(cmd);
        for (C cmd : always)
            EXPECT_TRUE(doc.IsCommandEnabled(cmd)) << c.memoryType << " " << static_cast<int>(cmd);
        EXPECT_EQ(doc.IsCommandEnabled(C::Erase), c.erase) << c.memoryType;
    }
}

TEST_F(QpgDoc, StoreBackCopiesAndMarksModifiedOnlyOnAChange)
{
    CQpgDoc doc(false);
    EXPECT_FALSE(doc.StoreBackLoad("", 0, false));
    EXPECT_FALSE(doc.StoreBackStore(CMemoryRange(), ""));
    EXPECT_FALSE(doc.StoreBackFill(CMemoryRange(), 0xFFFFFFFF, 2));
    EXPECT_FALSE(doc.StoreBackChecksum(CMemoryRange(), 0, 0, 1));
    EXPECT_FALSE(doc.StoreBackEdit(1, 0));
    EXPECT_FALSE(doc.StoreBackProgram(CMemoryRange()));
    EXPECT_FALSE(doc.StoreBackInitList(CQpgDoc::PostEraseList, CCodeList()));
    EXPECT_FALSE(doc.StoreBackErase());
    EXPECT_FALSE(doc.IsModified());

    // The entry mode alone is a change; file names compare case-sensitively.
    EXPECT_TRUE(doc.StoreBackProgram(CMemoryRange(0, 0, 0)));
    EXPECT_TRUE(doc.IsModified());
    doc.SetModifiedFlag(false);
    doc.loadFileName = "fw.hex";
    EXPECT_TRUE(doc.StoreBackLoad("FW.hex", 0, false));
    EXPECT_EQ(doc.loadFileName, "FW.hex");
    EXPECT_TRUE(doc.IsModified());

    doc.SetModifiedFlag(false);
    CCodeList list;
    list.Add(CCodeItem(CCodeItem::Delay, 0, 10, ""));
    EXPECT_TRUE(doc.StoreBackInitList(CQpgDoc::PostEraseList, list));
    EXPECT_TRUE(doc.postEraseList == list);
    EXPECT_EQ(doc.mainList.GetCount(), 0u);

    // Communication: only an accepted dialog stores; the text follows the project.
    doc.SetModifiedFlag(false);
    EXPECT_FALSE(doc.StoreBackCommunication(false, 4, 0, "1.2.3.4"));
    EXPECT_EQ(doc.ChannelText(), "COM1 9600");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.StoreBackCommunication(true, 4, 0, "1.2.3.4"));
    EXPECT_EQ(doc.ChannelText(), "NETWORK 1.2.3.4 1");
    // The probe update dialog stores its own channel; the text stays on the target's.
    EXPECT_TRUE(doc.StoreBackFirmware(true, 1, 2, "5.6.7.8", "255.0.0.0", "5.6.7.1"));
    EXPECT_EQ(doc.loaderChannel, 1);
    EXPECT_EQ(doc.subnetMask, "255.0.0.0");
    EXPECT_EQ(doc.ChannelText(), "NETWORK 5.6.7.8 1");

    // Print comment marks modified without comparing.
    doc.SetModifiedFlag(false);
    doc.StoreBackPrintComment(doc.headerLeft, doc.headerRight, doc.setupTitle, doc.comment);
    EXPECT_TRUE(doc.IsModified());

    // Erase: the map's own flag moves to the project.
    doc.SetModifiedFlag(false);
    doc.eraseMap.Resize(1, 4);
    doc.eraseMap.SelectSector(0, 2, 1);
    EXPECT_TRUE(doc.StoreBackErase());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(doc.eraseMap.IsModified());
}

TEST_F(QpgDoc, ClearAsksAndLeavesTheModifiedFlagAlone)
{
    CQpgDoc doc;
    const uint8_t b = 0x5A;
    ASSERT_EQ(doc.image.WriteBlock(0x10, &b, 1), 0);
    box.Answer(EMsgResult::No);
    EXPECT_FALSE(doc.ClearImage(box));
    EXPECT_FALSE(doc.image.IsEmpty());
    box.Answer(EMsgResult::Yes);
    EXPECT_TRUE(doc.ClearImage(box));
    EXPECT_TRUE(doc.image.IsEmpty());
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0].text, "Are you sure to clear the entire memory image?");
    EXPECT_EQ(box.shown[0].buttons, EMsgButtons::YesNo);
    EXPECT_FALSE(doc.IsModified());
}
