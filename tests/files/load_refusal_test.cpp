// Record files with a bad line are refused whole, with the line and the
// reason, and every load that does not complete leaves the image as it was.
#include "files/program_file_readers.h"
#include "files/srecord_writer.h"
#include "files_test_support.h"
#include "support/elf_builder.h"

#include <cstring>

namespace {

using Reader = int (*)(const std::string&, CMemoryImage&, uint32_t&, CMemoryRange&, const CMemoryRange&, uint32_t,
                       SLoadReport*);

std::string Rec(int type, uint32_t address, std::vector<uint8_t> data)
{
    return FormatSRecord(type, address, data.data(), data.size()) + "\n";
}

// The text with every line ended by a lone CR.
std::string CrOnly(std::string text)
{
    for (char& c : text)
        if (c == '\n')
            c = '\r';
    return text;
}

std::vector<uint8_t> Pattern(size_t n, int seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 13 + seed);
    return v;
}

// The image before each load: bytes at 0x0FF0..0x100F that every refused
// file overwrites in part, so that a missing rollback shows.
class RefusalTest : public FilesTest {
protected:
    void SetUp() override
    {
        FilesTest::SetUp();
        ASSERT_EQ(image.WriteBlock(0x0FF0, before_.data(), static_cast<uint32_t>(before_.size())), 0);
    }

    void ExpectImageUnchanged()
    {
        EXPECT_EQ(Read(0x0FF0, 0x20), before_);
        EXPECT_EQ(image.GetUsedRange(1).GetStart(), 0x0FF0u);
        EXPECT_EQ(image.GetUsedRange(1).GetSize(), 0x20u);
        EXPECT_EQ(Read(0x2000, 4), Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    }

    const std::vector<uint8_t> before_ = Pattern(0x20, 5);
};

struct SRefusal {
    const char* name;
    Reader reader;
    std::string content;
    unsigned long line;
    const char* reason;
};

void PrintTo(const SRefusal& c, std::ostream* os)
{
    *os << c.name;
}

class RefusalTable : public RefusalTest, public ::testing::WithParamInterface<SRefusal> {};

TEST_P(RefusalTable, NamesTheLineAndReasonAndLeavesTheImage)
{
    const SRefusal& c = GetParam();
    uint32_t bytes = 0;
    CMemoryRange range;
    SLoadReport problem;
    EXPECT_EQ(c.reader(Write("bad", c.content), image, bytes, range, physical, 0, &problem), kLoadRefused);
    EXPECT_EQ(problem.line, c.line);
    EXPECT_EQ(problem.reason, c.reason);
    ExpectImageUnchanged();
}

// Good records first, written over the old bytes and beyond them.
const std::string kSGood = Rec(0, 0, {'h'}) + Rec(1, 0x1000, Pattern(32, 1)) + Rec(1, 0x2000, {1, 2});
const std::string kHexGood = ":020000040000FA\n:0410000001020304E2\n:02200000AABB79\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, RefusalTable,
    ::testing::Values(
        SRefusal{"s_checksum", LoadSRecordFile, kSGood + "S1050102030400\n" + Rec(9, 0, {}), 4,
                 "checksum mismatch (the record says 00, its bytes give F0)"},
        SRefusal{"s_checksum_first_line", LoadSRecordFile, "S1050102030400\n" + kSGood, 1,
                 "checksum mismatch (the record says 00, its bytes give F0)"},
        SRefusal{"s_non_hex", LoadSRecordFile, kSGood + "S1050102G30400\n", 4,
                 "'G' in column 9 is not a hexadecimal digit"},
        SRefusal{"s_non_hex_in_count", LoadSRecordFile, kSGood + "S1Z50102030400\n", 4,
                 "'Z' in column 3 is not a hexadecimal digit"},
        SRefusal{"s_length_past_line", LoadSRecordFile, kSGood + "S10F0010010203\n", 4,
                 "the record's length (15 bytes) runs past the end of the line"},
        SRefusal{"s_line_too_long", LoadSRecordFile, kSGood + "S9030000FC" + std::string(520, ' ') + "\n", 4,
                 "line longer than 519 characters"},
        SRefusal{"s_type_4", LoadSRecordFile, kSGood + "S4030000FC\n", 4, "S4 records are not supported"},
        SRefusal{"s_type_not_digit", LoadSRecordFile, kSGood + "  SX030000FC\n", 4,
                 "'S' in column 3 is not followed by a record type digit"},
        SRefusal{"s_count_too_small", LoadSRecordFile, kSGood + "S302000000FD\n", 4,
                 "S3 record of length 2 cannot hold its address and checksum"},
        SRefusal{"s_count_zero", LoadSRecordFile, kSGood + "S100\n", 4, "record length 0"},
        SRefusal{"s_after_blank_lines", LoadSRecordFile, kSGood + "\n\n" + "S1050102030400\n", 6,
                 "checksum mismatch (the record says 00, its bytes give F0)"},
        SRefusal{"hex_checksum", LoadIntelHexFile, kHexGood + ":0201020001027B\n", 4,
                 "checksum mismatch (the record says 7B, its bytes give F8)"},
        SRefusal{"hex_non_hex", LoadIntelHexFile, kHexGood + ":02010200x1027B\n", 4,
                 "'x' in column 10 is not a hexadecimal digit"},
        SRefusal{"hex_no_colon", LoadIntelHexFile, kHexGood + "0201020001027B\n", 4,
                 "the line does not begin with ':'"},
        SRefusal{"hex_length_past_line", LoadIntelHexFile, kHexGood + ":1001020001027B\n", 4,
                 "the record's length (16 bytes) runs past the end of the line"},
        SRefusal{"hex_too_short", LoadIntelHexFile, kHexGood + ":0201\n", 4, "the line is too short for a record"},
        SRefusal{"hex_unknown_type", LoadIntelHexFile, kHexGood + ":00000006FA\n", 4, "unknown record type 06"},
        SRefusal{"hex_wrong_length_for_type", LoadIntelHexFile, kHexGood + ":0100000400FB\n", 4,
                 "a record of type 04 with 1 data bytes (it has 2)"},
        SRefusal{"hex_line_too_long", LoadIntelHexFile, kHexGood + ":00000001FF" + std::string(540, ' ') + "\n", 4,
                 "line longer than 549 characters"},
        SRefusal{"hex_checksum_first_line", LoadIntelHexFile, ":0201020001027B\n", 1,
                 "checksum mismatch (the record says 7B, its bytes give F8)"},
        // A file that opens like a record file is one: a damaged first line
        // refuses it rather than letting it through as binary data.
        SRefusal{"s_first_line_odd_digit_count", LoadSRecordFile,
                 FormatSRecord(1, 0x1000, Pattern(4, 1).data(), 4) + "7\n" + kSGood, 1,
                 "'7' in column 19 follows the record's checksum"},
        SRefusal{"s_first_line_type_4", LoadSRecordFile, "S4030000FC\n" + kSGood, 1, "S4 records are not supported"},
        SRefusal{"s_first_line_bad_digit", LoadSRecordFile, "S1040010G1AA\n", 1,
                 "'G' in column 9 is not a hexadecimal digit"},
        SRefusal{"s_first_line_too_long", LoadSRecordFile, "S1" + std::string(600, '0') + "\n", 1,
                 "line longer than 519 characters"},
        SRefusal{"s_digits_after_checksum", LoadSRecordFile, kSGood + "S10501020304F000\n", 4,
                 "'0' in column 15 follows the record's checksum"},
        SRefusal{"s_byte_order_mark_then_damage", LoadSRecordFile, "\xEF\xBB\xBFS1050102030400\n", 1,
                 "checksum mismatch (the record says 00, its bytes give F0)"},
        SRefusal{"s_cr_only_lines_are_counted", LoadSRecordFile,
                 CrOnly(Rec(0, 0, {'h'}) + "\n" + Rec(1, 0x1000, {1}) + "S1050102030400\n"),
                 4, "checksum mismatch (the record says 00, its bytes give F0)"},
        SRefusal{"s_header_and_end_only", LoadSRecordFile, Rec(0, 0, {'h'}) + Rec(9, 0, {}), 0,
                 "the file holds no data"},
        SRefusal{"hex_first_line_bad_length", LoadIntelHexFile, ":01002000770\n" + kHexGood, 1,
                 "the record's length (1 bytes) runs past the end of the line"},
        SRefusal{"hex_first_line_unknown_type", LoadIntelHexFile, ":00000006FA\n" + kHexGood, 1,
                 "unknown record type 06"},
        SRefusal{"hex_first_line_indented", LoadIntelHexFile, "  " + kHexGood, 1, "the line does not begin with ':'"},
        SRefusal{"hex_digits_after_checksum", LoadIntelHexFile, kHexGood + ":02200000AABB7900\n", 4,
                 "'0' in column 16 follows the record's checksum"},
        SRefusal{"hex_end_record_only", LoadIntelHexFile, ":00000001FF\r\n", 0, "the file holds no data"}),
    [](const auto& info) { return std::string(info.param.name); });

// Files whose first line is no record are still not of that format: nothing
// is refused and the next reader gets them.
TEST_F(RefusalTest, FirstLineDecidesTheFormat)
{
    uint32_t bytes = 0;
    CMemoryRange range;
    SLoadReport problem;
    const std::string notS = "S is a letter\n" + kSGood;
    EXPECT_EQ(LoadSRecordFile(Write("a", notS), image, bytes, range, physical, 0, &problem), kLoadNotFormat);
    EXPECT_EQ(LoadIntelHexFile(Write("b", "x" + kHexGood), image, bytes, range, physical, 0, &problem),
              kLoadNotFormat);
    EXPECT_EQ(LoadIntelHexFile(Write("c", kSGood), image, bytes, range, physical, 0, &problem), kLoadNotFormat);
    ExpectImageUnchanged();
}

// A refused load that overwrote many chunks of a large image, partly, across
// the old extent's edges and in its pending cache, takes every byte back;
// afterwards the image grows as if the refused load never happened.
TEST_F(FilesTest, RollbackRestoresALargeOverwrittenImage)
{
    const std::vector<uint8_t> old = Pattern(300 * 1024 + 7, 9);
    const uint32_t oldStart = 0x10003; // not on a chunk boundary
    ASSERT_EQ(image.WriteBlock(oldStart, old.data(), static_cast<uint32_t>(old.size())), 0);

    // Runs of records from the top down: each run ends the image's pending
    // cache, so the overwritten bytes reach its file.
    std::string text = Rec(0, 0, {'x'});
    for (uint32_t run = 0x78000; run >= 0x8000; run -= 0x8000) {
        for (uint32_t a = run; a < run + 0x8000; a += 32)
            text += FormatSRecord(3, a, Pattern(32, static_cast<int>(a)).data(), 32) + "\n";
    }
    text += "S30900001000GG0000\n";
    uint32_t bytes = 0;
    CMemoryRange range;
    SLoadReport problem;
    ASSERT_EQ(LoadSRecordFile(Write("big.s19", text), image, bytes, range, physical, 0, &problem), kLoadRefused);
    EXPECT_EQ(problem.line, 1u + (0x80000 - 0x8000) / 32 + 1);

    EXPECT_EQ(image.GetUsedRange(1).GetStart(), oldStart);
    EXPECT_EQ(image.GetUsedRange(1).GetSize(), old.size());
    EXPECT_EQ(Read(oldStart, static_cast<uint32_t>(old.size())), old);
    EXPECT_EQ(Read(0x8000, 8), std::vector<uint8_t>(8, 0xFF));

    // Growing the image down and up again: the refused bytes stay gone.
    ASSERT_EQ(image.WriteByte(0x1000, 0x11), 0);
    ASSERT_EQ(image.WriteByte(0x90000, 0x22), 0);
    ASSERT_EQ(image.Flush(), 0);
    EXPECT_EQ(Read(0x8000, 8), std::vector<uint8_t>(8, 0xFF));
    EXPECT_EQ(Read(oldStart + static_cast<uint32_t>(old.size()), 8), std::vector<uint8_t>(8, 0xFF));
    EXPECT_EQ(Read(oldStart, static_cast<uint32_t>(old.size())), old);
    EXPECT_EQ(image.ReadByte(0x90000), 0x22);
}

// ---- ELF ----

TEST_F(FilesTest, ElfSegmentsLoadAtTheirPhysicalAddressesInBothByteOrders)
{
    const auto text = Pattern(1000, 1);
    const auto data = Pattern(40, 2);
    const std::vector<SElfSegment> segments = {
        {1, 0x1000, 0x1000, text, 1000},
        {1, 0x20000000, 0x1400, data, 400}, // .data runs at 0x20000000, its bytes are stored at 0x1400
        {6, 0, 0x5000, Bytes({9, 9}), 2},  // not loadable
    };
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        image.Clear();
        uint32_t bytes = 0;
        CMemoryRange range;
        ASSERT_EQ(LoadElfFile(Write("fw.elf", Elf(segments, big)), image, bytes, range, physical, 0x100, nullptr),
                  kLoadOk);
        EXPECT_EQ(bytes, 1040u);
        EXPECT_EQ(range.GetStart(), 0x1100u);
        EXPECT_EQ(range.GetEnd(), 0x1527u);
        EXPECT_EQ(Read(0x1100, 1000), text);
        EXPECT_EQ(Read(0x1500, 40), data);
        EXPECT_EQ(Read(0x1528, 4), Bytes({0xFF, 0xFF, 0xFF, 0xFF})); // .bss is not flash content
        EXPECT_EQ(image.ReadByte(0x5100), 0xFF);
    }
}

TEST_F(FilesTest, ElfKindsThatCannotBeLoadedAreRefused)
{
    const std::vector<SElfSegment> one = {{1, 0x100, 0x100, Bytes({1, 2, 3}), 3}};
    std::string cut = Elf(one, false);
    cut.resize(cut.size() - 1);
    const struct {
        std::string content;
        const char* reason;
    } cases[] = {
        {Elf(one, false, 2), "a 64-bit ELF file: only 32-bit ELF files can be loaded"},
        {Elf(one, true, 1, 1), "a relocatable object file: only linked executables can be loaded"},
        {Elf(one, false, 1, 4), "an ELF file of type 4: only executables can be loaded"},
        {Elf({}, false), "the ELF file has no program headers"},
        {Elf({{6, 0, 0, Bytes({1}), 1}}, false), "the ELF file has no loadable segment with file bytes"},
        {cut, "segment 0 (3 bytes at file offset 0x54) runs past the end of the file"},
        {std::string("\x7F" "ELF\x01\x01", 6), "the ELF header is cut short"},
        {Elf(one, false, 1, 2, 3), "an ELF file for x86 (machine 3): only ARM ELF files can be loaded"},
        {Elf(one, true, 1, 2, 0x1234), "an ELF file for machine 4660: only ARM ELF files can be loaded"},
    };
    ASSERT_EQ(image.WriteByte(0x100, 0x77), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        uint32_t bytes = 0;
        CMemoryRange range;
        SLoadReport problem;
        EXPECT_EQ(LoadElfFile(Write("x.elf", c.content), image, bytes, range, physical, 0, &problem), kLoadRefused);
        EXPECT_EQ(problem.reason, c.reason);
        EXPECT_EQ(problem.line, 0u);
        EXPECT_EQ(Read(0x100, 2), Bytes({0x77, 0xFF}));
    }
    uint32_t bytes = 0;
    CMemoryRange range;
    EXPECT_EQ(LoadElfFile(Write("y", "\x7F" "EL"), image, bytes, range, physical, 0, nullptr), kLoadNotFormat);
}

} // namespace
