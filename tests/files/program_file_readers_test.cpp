#include "files/load_model.h"
#include "files/program_file_readers.h"
#include "files/srecord_writer.h"
#include "files_test_support.h"

#include <random>

namespace {

using Reader = int (*)(const std::string&, CMemoryImage&, uint32_t&, CMemoryRange&, const CMemoryRange&, uint32_t,
                       SLoadReport*);

// One S-record line with a correct checksum, for building fixtures in place.
std::string Rec(int type, uint32_t address, std::vector<uint8_t> data)
{
    return FormatSRecord(type, address, data.data(), data.size()) + "\n";
}

struct SReaderCase {
    const char* name;
    Reader reader;
    std::string content;
    uint32_t offset;
    int result;
    uint32_t bytesLoaded;
    uint32_t rangeStart; // checked when the result is 0 or 3
    uint32_t rangeEnd;
    uint32_t probe;      // an address whose bytes are checked
    std::vector<uint8_t> expected;
};

void PrintTo(const SReaderCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReaderTable : public FilesTest, public ::testing::WithParamInterface<SReaderCase> {};

TEST_P(ReaderTable, ResultCountRangeAndBytes)
{
    const SReaderCase& c = GetParam();
    const std::string path = Write("input", c.content);
    uint32_t bytes = 12345;
    CMemoryRange range(7, 7, 1);
    EXPECT_EQ(c.reader(path, image, bytes, range, physical, c.offset, nullptr), c.result);
    EXPECT_EQ(bytes, c.bytesLoaded);
    if (c.result == 0 || c.result == 3) {
        EXPECT_EQ(range.GetStart(), c.rangeStart);
        EXPECT_EQ(range.GetEnd(), c.rangeEnd);
        EXPECT_FALSE(range.IsLengthMode());
    }
    EXPECT_EQ(Read(c.probe, static_cast<uint32_t>(c.expected.size())), c.expected);
}

const std::string kRecord13 = Rec(1, 0x0010, {1, 2, 3});

INSTANTIATE_TEST_SUITE_P(
    SRecord, ReaderTable,
    ::testing::Values(
        SReaderCase{"data_header_trailer_and_text", LoadSRecordFile,
                    Rec(0, 0, {'h', 'i'}) + "a line without the letter\n" + Rec(1, 0x10, {1, 2, 3}) +
                        Rec(2, 0x012345, {9}) + Rec(3, 0x00100000, {7, 8}) + Rec(9, 0x0010, {}),
                    0, 0, 6, 0x10, 0x00100001, 0x10, Bytes({1, 2, 3, 0xFF})},
        SReaderCase{"lower_case_line_reads_like_upper", LoadSRecordFile, "s1060010a1b2c3d3\n", 0, 0, 3, 0x10, 0x12,
                    0x10, Bytes({0xA1, 0xB2, 0xC3})},
        SReaderCase{"record_after_leading_text_and_crlf", LoadSRecordFile,
                    "  " + Rec(1, 0x20, {0x55}) + "xx  S9030000FC  \r\n", 0, 0, 1, 0x20, 0x20, 0x20, Bytes({0x55})},
        SReaderCase{"offset_wraps_around", LoadSRecordFile, Rec(3, 0xFFFFFF00, {1, 2}), 0x200, 0, 2, 0x100, 0x101,
                    0x100, Bytes({1, 2})},
        SReaderCase{"first_record_s7_opens_an_srecord_file", LoadSRecordFile,
                    Rec(7, 0, {}) + Rec(1, 0x10, {1}), 0, 0, 1, 0x10, 0x10, 0x10, Bytes({1})},
        SReaderCase{"first_line_without_record", LoadSRecordFile, "text\n" + Rec(1, 0x10, {1}), 0, 2, 0, 0, 0, 0x10,
                    Bytes({0xFF})},
        SReaderCase{"blank_lines_are_skipped", LoadSRecordFile, "\n \t\r\n" + Rec(1, 0x10, {1}) + "\n", 0, 0, 1, 0x10,
                    0x10, 0x10, Bytes({1})},
        SReaderCase{"blank_lines_only", LoadSRecordFile, "\n\n", 0, 2, 0, 0, 0, 0, Bytes({0xFF})},
        SReaderCase{"empty_file", LoadSRecordFile, "", 0, 2, 0, 0, 0, 0, Bytes({0xFF})},
        SReaderCase{"type_not_a_digit", LoadSRecordFile, "SX030000FC\n", 0, 2, 0, 0, 0, 0, Bytes({0xFF})},
        SReaderCase{"line_of_519_characters_is_read", LoadSRecordFile,
                    kRecord13.substr(0, kRecord13.size() - 1) + std::string(519 - (kRecord13.size() - 1), ' ') +
                        "\n",
                    0, 0, 3, 0x10, 0x12, 0x10, Bytes({1, 2, 3})},
        SReaderCase{"record_running_past_4GiB_is_outside", LoadSRecordFile,
                    Rec(3, 0xFFFFFFF0, std::vector<uint8_t>(32, 0xAB)), 0, 3, 32, 0xFFFFFFF0, 0xFFFFFFFF, 0,
                    Bytes({0xFF})},
        SReaderCase{"beyond_the_image_window_is_outside", LoadSRecordFile,
                    Rec(3, 0x0FFFFFFF, {1}) + Rec(3, 0x10000000, {2}), 0, 3, 2, 0x0FFFFFFF, 0x10000000, 0x0FFFFFFF,
                    Bytes({1})},
        SReaderCase{"empty_data_record_covers_no_address", LoadSRecordFile,
                    Rec(1, 0x0000, {}) + Rec(1, 0x40, {4}), 0, 0, 1, 0x40, 0x40, 0x40, Bytes({4})}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    IntelHex, ReaderTable,
    ::testing::Values(
        SReaderCase{"extended_linear_address", LoadIntelHexFile,
                    ":020000040800F2\n:0400000001020304F2\n:00000001FF\n", 0x10, 0, 4, 0x08000010, 0x08000013,
                    0x08000010, Bytes({1, 2, 3, 4})},
        SReaderCase{"extended_segment_address", LoadIntelHexFile, ":020000021000EC\n:02010000AABB98\n", 0, 0, 2,
                    0x10100, 0x10101, 0x10100, Bytes({0xAA, 0xBB})},
        SReaderCase{"lower_case_data", LoadIntelHexFile, ":02001000ab0c37\r\n", 0, 0, 2, 0x10, 0x11, 0x10,
                    Bytes({0xAB, 0x0C})},
        SReaderCase{"records_after_end_record_are_read", LoadIntelHexFile, ":00000001FF\n:010020007768\n", 0, 0, 1,
                    0x20, 0x20, 0x20, Bytes({0x77})},
        SReaderCase{"blank_lines_are_skipped", LoadIntelHexFile, "\n:010020007768\n\n  \r\n", 0, 0, 1, 0x20,
                    0x20, 0x20, Bytes({0x77})},
        SReaderCase{"blank_lines_only", LoadIntelHexFile, " \n\r\n\t\n", 0, 2, 0, 0, 0, 0, Bytes({0xFF})},
        SReaderCase{"outside_physical_range_is_a_warning", LoadIntelHexFile,
                    ":020000041000EA\n:0100000055AA\n", 0, 3, 1, 0x10000000, 0x10000000, 0, Bytes({0xFF})}),
    [](const auto& info) { return std::string(info.param.name); });

// An absolute file: the header, then blocks of (length, address, data) and
// the zero-length end block.
std::string AbsFile(const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& blocks, bool endBlock = true)
{
    std::string s = "\xFE\x81";
    s += std::string(10, '\x01');
    s += std::string("one\0two\0three\0four\0five\0", 24);
    s += std::string(4, '\x02');
    for (const auto& [address, data] : blocks) {
        s += static_cast<char>(data.size() >> 8);
        s += static_cast<char>(data.size());
        for (int i = 3; i >= 0; --i)
            s += static_cast<char>(address >> (8 * i));
        s.append(data.begin(), data.end());
    }
    if (endBlock)
        s += std::string(2, '\0');
    return s;
}

std::vector<uint8_t> Pattern(size_t n, int seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 7 + seed);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Abs, ReaderTable,
    ::testing::Values(
        SReaderCase{"blocks_larger_than_a_piece", LoadAbsFile, AbsFile({{0x100, Pattern(1300, 1)}, {0x20, {9}}}),
                    0x1000, 0, 1301, 0x1020, 0x1613, 0x1100, Pattern(1300, 1)},
        SReaderCase{"header_cut_short", LoadAbsFile, AbsFile({{0x100, {1}}}).substr(0, 20), 0, 2, 0, 0, 0, 0x100,
                    Bytes({0xFF})},
        SReaderCase{"fifth_string_ends_with_the_file", LoadAbsFile,
                    std::string("\xFE\x81", 2) + std::string(10, '\x01') + std::string("a\0b\0c\0d\0e", 9), 0, 2,
                    0, 0, 0, 0, Bytes({0xFF})},
        SReaderCase{"missing_end_block_takes_back_what_was_written", LoadAbsFile, AbsFile({{0x100, {1, 2}}}, false),
                    0, 2, 2, 0, 0, 0x100, Bytes({0xFF, 0xFF})},
        SReaderCase{"block_cut_short_takes_back_its_pieces", LoadAbsFile,
                    AbsFile({{0x100, Pattern(600, 3)}}).substr(0, 46 + 512 + 10), 0, 2, 600, 0, 0, 0x100,
                    std::vector<uint8_t>(512, 0xFF)},
        SReaderCase{"not_the_magic", LoadAbsFile, "\xFE\x80rest", 0, 2, 0, 0, 0, 0, Bytes({0xFF})}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Binary, ReaderTable,
    ::testing::Values(
        SReaderCase{"3000_bytes_at_0x1000", LoadBinaryFile,
                    std::string(reinterpret_cast<const char*>(Pattern(3000, 5).data()), 3000), 0x1000, 0, 3000,
                    0x1000, 0x1BB7, 0x1000, Pattern(3000, 5)},
        SReaderCase{"empty_file", LoadBinaryFile, "", 0x1000, 0, 0, 0x1000, 0, 0x1000, Bytes({0xFF})},
        // The block that crosses the window's end is dropped piece by piece,
        // as 1 KiB reads always did: the pieces below the end still land.
        SReaderCase{"crossing_the_window_end_keeps_whole_pieces", LoadBinaryFile,
                    std::string(reinterpret_cast<const char*>(Pattern(3000, 9).data()), 3000), 0x0FFFF800, 3, 3000,
                    0x0FFFF800, 0x100003B7, 0x0FFFF800, Pattern(2048, 9)},
        // Past the top of the address space from its offset: refused whole,
        // nothing wraps onto address 0.
        SReaderCase{"running_past_4GiB_is_refused", LoadBinaryFile, std::string(2048, 'x'), 0xFFFFFC00, 5, 0, 0, 0,
                    0, Bytes({0xFF})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FilesTest, BinaryBelowTheBaseWritesThePartAboveIt)
{
    image.SetBase(0x1000);
    const auto data = Pattern(2048, 2);
    const std::string path = Write("below.bin", std::string(data.begin(), data.end()));
    uint32_t bytes = 0;
    CMemoryRange range;
    EXPECT_EQ(LoadBinaryFile(path, image, bytes, range, CMemoryRange(0x1000, 0x10000, 1), 0xC00), 3);
    EXPECT_EQ(bytes, 2048u);
    EXPECT_EQ(Read(0x1000, 1024), std::vector<uint8_t>(data.begin() + 1024, data.end()));
}

// A binary file copied into an image that holds bytes around it and below
// it: it replaces what lies under it, the rest stays, the gap between reads
// as 0xFF, and a refused load after it puts back exactly this state.
TEST_F(FilesTest, BinaryOverHeldBytesReplacesOnlyWhatLiesUnderIt)
{
    const auto held = Pattern(0x3000, 4);
    ASSERT_EQ(image.WriteBlock(0x10000, held.data(), 0x3000), 0);
    const auto data = Pattern(0x1800, 9);
    uint32_t bytes = 0;
    CMemoryRange range;
    ASSERT_EQ(LoadBinaryFile(Write("over.bin", std::string(data.begin(), data.end())), image, bytes, range,
                             physical, 0x12000),
              0);
    EXPECT_EQ(bytes, 0x1800u);
    EXPECT_EQ(range.GetStart(), 0x12000u);
    EXPECT_EQ(range.GetEnd(), 0x137FFu);
    std::vector<uint8_t> expected = held;
    expected.resize(0x3800, 0xFF);
    std::copy(data.begin(), data.end(), expected.begin() + 0x2000);
    EXPECT_EQ(Read(0x10000, 0x3800), expected);
    // Below the image: the gap up to it stays 0xFF.
    ASSERT_EQ(LoadBinaryFile(Write("low.bin", "\x11\x22"), image, bytes, range, physical, 0x8000), 0);
    EXPECT_EQ(Read(0x8000, 4), Bytes({0x11, 0x22, 0xFF, 0xFF}));
    EXPECT_EQ(Read(0xFFFE, 4), Bytes({0xFF, 0xFF, held[0], held[1]}));
    const auto before = Read(0x8000, 0xB800);
    ASSERT_EQ(LoadSRecordFile(Write("bad.s19", Rec(1, 0x9000, {1, 2, 3}) + "S1050020GG00\n"), image, bytes, range,
                              physical, 0),
              kLoadRefused);
    EXPECT_EQ(Read(0x8000, 0xB800), before);
}

TEST_F(FilesTest, EveryReaderAnswersOneForMissingFilesAndDirectories)
{
    for (Reader reader : {LoadElfFile, LoadAbsFile, LoadSRecordFile, LoadIntelHexFile, LoadBinaryFile}) {
        uint32_t bytes = 9;
        CMemoryRange range;
        EXPECT_EQ(reader(dir.File("missing"), image, bytes, range, physical, 0, nullptr), 1);
        EXPECT_EQ(reader(dir.Path().string(), image, bytes, range, physical, 0, nullptr), 1);
        EXPECT_EQ(bytes, 0u);
    }
}

TEST_F(FilesTest, SRecordLinesAcrossBufferBoundaries)
{
    // Enough records that lines straddle the reader's 1 MiB buffer.
    std::string text = Rec(0, 0, {'h'});
    std::vector<uint8_t> expected;
    for (uint32_t a = 0; expected.size() < 3 * (1u << 20) / 2; a += 32) {
        auto data = Pattern(32, static_cast<int>(a >> 5));
        text += FormatSRecord(3, 0x100000 + a, data.data(), data.size()) + "\r\n";
        expected.insert(expected.end(), data.begin(), data.end());
    }
    const std::string path = Write("big.s19", text);
    uint32_t bytes = 0;
    CMemoryRange range;
    ASSERT_EQ(LoadSRecordFile(path, image, bytes, range, physical, 0), 0);
    EXPECT_EQ(bytes, expected.size());
    EXPECT_EQ(Read(0x100000, static_cast<uint32_t>(expected.size())), expected);
}

TEST(SRecordLine, DecodesTheFirstSAndItsFields)
{
    SSRecord r;
    const std::string line = "  text s2070123450a0B0C6E \t ";
    ASSERT_EQ(DecodeSRecordLine(line.data(), line.size(), r), ESRecordLine::Record);
    EXPECT_EQ(r.type, 2);
    EXPECT_EQ(r.count, 7);
    EXPECT_EQ(r.Address(), 0x012345u);
    EXPECT_TRUE(r.ChecksumOk());
    // Only blanks may follow the checksum.
    const std::string trailing = "s2070123450a0B0C6E trailing";
    std::string reason;
    EXPECT_EQ(DecodeSRecordLine(trailing.data(), trailing.size(), r, &reason), ESRecordLine::Malformed);
    EXPECT_EQ(reason, "'t' in column 20 follows the record's checksum");
    const std::string none = "no record here!";
    EXPECT_EQ(DecodeSRecordLine(none.data(), 2, r), ESRecordLine::NoRecord);
    const std::string justS = "S";
    EXPECT_EQ(DecodeSRecordLine(justS.data(), justS.size(), r), ESRecordLine::Malformed);
    const std::string zeroCount = "S900";
    EXPECT_EQ(DecodeSRecordLine(zeroCount.data(), zeroCount.size(), r), ESRecordLine::Malformed);
}

// ---- the load sequence (the Load dialog's rules) ----

class LoadModelTest : public FilesTest {
protected:
    int LoadText(const std::string& content, uint32_t offset = 0)
    {
        model.fileName = Write("program", content);
        model.offset.SetValue(offset);
        return model.Load(view, box);
    }

    CLoadModel model{image, physical};
    CRecordingOperationView view;
    CScriptedMessageBox box;
};

TEST_F(LoadModelTest, TriesTheReadersInOrderAndReportsSuccess)
{
    EXPECT_EQ(LoadText(":010020007768\n"), 0);
    EXPECT_EQ(view.statuses,
              (std::vector<std::string>{"", "Loading ELF File... please wait!", "Loading ABS-file... please wait!",
                                        "Loading S-Record File... please wait!",
                                        "Loading Intel HEX File... please wait!", "",
                                        "Loading of 1 bytes successful terminated ! (Intel HEX file)"}));
    EXPECT_EQ(view.cursor, (std::vector<bool>{true, false, true, false, true, false, true, false}));
    EXPECT_TRUE(box.shown.empty());
    EXPECT_FALSE(model.CloseRequested());
}

// A record file with one bad line is refused whole: the box names the file,
// the line and the reason, no further reader runs, and the image holds what
// it held before the load.
TEST_F(LoadModelTest, CorruptedRecordFilesAreRefusedWithFileLineAndReason)
{
    const struct {
        const char* name;
        std::string content;
        const char* message;
    } cases[] = {
        {"srec_checksum", Rec(0, 0, {}) + Rec(1, 0x100, {1, 2}) + "S1050102030400\n",
         "line 3: checksum mismatch (the record says 00, its bytes give F0) !"},
        {"hex_checksum", ":020000040000FA\n:020100000102FA\n:0201020001027B\n",
         "line 3: checksum mismatch (the record says 7B, its bytes give F8) !"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        image.Clear();
        ASSERT_EQ(image.WriteBlock(0x100, Bytes({0xAA, 0xBB}).data(), 2), 0);
        box.shown.clear();
        view.statuses.clear();
        EXPECT_EQ(LoadText(c.content, 0), kLoadRefused);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text, model.fileName + ", " + c.message +
                                         "\nThe memory image is unchanged.\nLoading process aborted...");
        EXPECT_EQ(box.shown[0].caption, "Error");
        EXPECT_EQ(box.shown[0].icon, EMsgIcon::Stop);
        EXPECT_EQ(std::count(view.statuses.begin(), view.statuses.end(), "Loading Binary File... please wait!"), 0);
        EXPECT_EQ(Read(0x100, 4), Bytes({0xAA, 0xBB, 0xFF, 0xFF}));
        EXPECT_EQ(image.GetUsedRange(1).GetStart(), 0x100u);
        EXPECT_EQ(image.GetUsedRange(1).GetSize(), 2u);
    }
}

TEST_F(LoadModelTest, ShortAbsHeaderFallsThroughToBinary)
{
    const std::string content("\xFE\x81\x00\x01", 4);
    EXPECT_EQ(LoadText(content, 0x100), 0);
    EXPECT_EQ(ReadString(0x100, 4), content);
}

TEST_F(LoadModelTest, ReportsEachFailureWithItsBox)
{
    model.fileName = dir.File("does-not-exist");
    EXPECT_EQ(model.Load(view, box), 1);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Can not open file !\nLoading process aborted...\n\n" + model.fileName +
                                     ": No such file or directory");
    EXPECT_EQ(box.shown[0].caption, "Error");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Stop);
    EXPECT_EQ(view.LastStatus(), "");

    box.shown.clear();
    EXPECT_EQ(LoadText(Rec(3, 0x0FFFFFF0, std::vector<uint8_t>(32, 1))), 3);
    EXPECT_EQ(view.LastStatus(), "Loading of 32 bytes successful terminated ! (S-record file)");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Some of 32 loaded bytes are outside of the defined memory range !!\n\n"
                                 "Memory range:\t00000000 - 0FFFFFFF Hex\nFile range:\t0FFFFFF0 - 1000000F Hex\n");
    EXPECT_EQ(box.shown[0].caption, "Warning");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Exclamation);
}

TEST_F(LoadModelTest, OnlyARegularFileIsRead)
{
    // /dev/zero never ends; a pipe would be used up by the first reader.
    model.fileName = "/dev/zero";
    EXPECT_EQ(model.Load(view, box), 1);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Can not open file !\nLoading process aborted...\n\n/dev/zero: not a regular file (a device, "
                                 "pipe or socket cannot be loaded)");
    EXPECT_EQ(model.BytesLoaded(), 0u);
}

TEST_F(LoadModelTest, ImageFailureIsFatal)
{
    CMemoryImage closed; // never opened: every write fails
    CLoadModel failing(closed, physical);
    failing.fileName = Write("p.hex", ":010020007768\n:010021007866\n");
    EXPECT_EQ(failing.Load(view, box), 4);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Can not write to memory image !\nLoading aborted...");
    EXPECT_EQ(box.shown[0].caption, "Fatal Error");
    EXPECT_EQ(failing.BytesLoaded(), 1u);
}

TEST_F(LoadModelTest, AutoloadClosesOnlyAfterSuccess)
{
    model.openedForAutoload = true;
    EXPECT_EQ(LoadText(Rec(1, 0x10, {1})), 0);
    EXPECT_TRUE(model.CloseRequested());
    EXPECT_EQ(LoadText(Rec(3, 0x20000000, {1})), 3);
    EXPECT_FALSE(model.CloseRequested());
}

// ---- fuzzing: mutated and random inputs through the whole load sequence ----

std::string Mutate(std::string s, std::mt19937& rng)
{
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits && !s.empty(); ++e) {
        const size_t at = rng() % s.size();
        switch (rng() % 6) {
        case 0: s[at] = static_cast<char>(rng()); break;
        case 1: s.erase(at, rng() % 16); break;
        case 2: s.insert(at, std::string(rng() % 600, static_cast<char>("S0F:\n\r 9"[rng() % 8]))); break;
        case 3: s.resize(at); break;
        case 4: s[at] = "0123456789ABCDEFSs:\n"[rng() % 20]; break;
        default: s.insert(at, s.substr(rng() % s.size(), rng() % 64)); break;
        }
    }
    return s;
}

TEST_F(FilesTest, FuzzedInputsNeverBreakTheLoadSequence)
{
    std::mt19937 rng(20240611);
    const std::vector<std::string> seeds = {
        Rec(0, 0, {'h'}) + Rec(1, 0x100, Pattern(20, 1)) + Rec(2, 0xFFFF00, Pattern(32, 2)) +
            Rec(3, 0x0FFFFFF0, Pattern(32, 3)) + Rec(9, 0, {}),
        ":020000040800F2\n:10000000000102030405060708090A0B0C0D0E0F78\n:020000021000EC\n:0400100001020304E2\n"
        ":00000001FF\n",
        AbsFile({{0x200, Pattern(700, 4)}, {0xFFFFFFF0, Pattern(40, 5)}}),
    };
    for (int i = 0; i < 400; ++i) {
        std::string input;
        if (i % 8 == 7) {
            input.resize(rng() % 3000);
            for (char& c : input)
                c = static_cast<char>(rng());
        } else {
            input = Mutate(seeds[static_cast<size_t>(i) % seeds.size()], rng);
        }
        CScriptedMessageBox box;
        CNullOperationView view;
        CLoadModel model(image, physical);
        model.textRule = CLoadModel::ETextRule::Refuse;
        model.fileName = Write("fuzz", input);
        model.offset.SetValue(i % 5 == 0 ? 0xFFFFFF00u : static_cast<uint32_t>(rng() % 0x2000));
        const CMemoryRange before = image.GetUsedRange(1);
        const uint32_t sumBefore = image.Checksum(before, 1, true);
        const int result = model.Load(view, box);
        ASSERT_TRUE(result == 0 || result == 3 || result == kLoadRefused) << "input " << i << " gave " << result;
        if (result == kLoadRefused) {
            // A refused file leaves the image as it was.
            ASSERT_EQ(image.GetUsedRange(1).GetStart(), before.GetStart());
            ASSERT_EQ(image.GetUsedRange(1).GetSize(), before.GetSize());
            ASSERT_EQ(image.Checksum(before, 1, true), sumBefore);
        }
        ASSERT_EQ(box.unexpectedQuestions, 0);

        // The image stays consistent: within the window, 0xFF outside its
        // used extent, and a block read equals the same bytes read one by one.
        const CMemoryRange used = image.GetUsedRange(1);
        ASSERT_LE(uint64_t{image.GetFirstOffset()} + image.GetUsedLength(), uint64_t{CMemoryImage::kWindowSize});
        if (used.GetSize() > 0) {
            const uint32_t probe = used.GetStart() + static_cast<uint32_t>(rng() % used.GetSize());
            const auto block = Read(probe, 64);
            for (uint32_t k = 0; k < 64; k += 13)
                ASSERT_EQ(block[k], image.ReadByte(probe + k));
            if (used.GetStart() > 0) {
                ASSERT_EQ(image.ReadByte(used.GetStart() - 1), 0xFF);
            }
            ASSERT_EQ(image.ReadByte(used.GetStart() + used.GetSize()), 0xFF);
        }
        if (i % 50 == 49)
            image.Clear();
    }
}

} // namespace
