// The JEDEC fuse file, the logic signature and the firmware image's records.

#include "probe/maintenance/firmware_image.h"
#include "probe/maintenance/firmware_record.h"
#include "probe/maintenance/jedec_file.h"
#include "probe/maintenance/logic_programmer.h"
#include "sim/sim_probe_images.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

// A JEDEC text whose fuse map has `perLine` fuses to a line.
std::string Jedec(size_t perLine, const std::string& lineEnd = "\n", const std::string& suffix = "")
{
    std::string text = "header*" + lineEnd + "QF32160*" + lineEnd + "*L00000" + lineEnd;
    for (int row = 0; row < 134; ++row) {
        const std::string fuses = CSimProbeImages::FuseRow(113, row);
        for (size_t at = 0; at < 240; at += perLine)
            text += fuses.substr(at, perLine) + suffix + lineEnd;
    }
    return text + "*C0000*" + lineEnd;
}

TEST(JedecFile, SixtyFuseLinesAreReadEightyFuseLinesAreNot)
{
    CJedecFile file;
    CJedecFile::FuseMap map;
    ASSERT_EQ(file.ReadText(Jedec(60), map), CJedecFile::EResult::Ok) << file.detail;
    EXPECT_EQ(map[0], CSimProbeImages::FuseRow(113, 0));
    EXPECT_EQ(map[133], CSimProbeImages::FuseRow(113, 133));

    // An 80-fuse line and its newline come as two pieces: the first row
    // takes two lines and gets 160 fuses.
    EXPECT_EQ(file.ReadText(Jedec(80), map), CJedecFile::EResult::BadRow);
    EXPECT_EQ(file.badRow, 0);
    EXPECT_EQ(file.badRowFuses, 160u);
    EXPECT_EQ(file.badRowLine, 4u);
    EXPECT_EQ(file.detail, "line 4: fuse row 0 holds 160 fuses, not 240");
    EXPECT_TRUE(map[0].empty()) << "a failed read leaves no half map";
}

TEST(JedecFile, LineEndsTrailingCharactersAndTheSampleFile)
{
    CJedecFile file;
    CJedecFile::FuseMap map;
    EXPECT_EQ(file.ReadText(Jedec(60, "\r\n"), map), CJedecFile::EResult::Ok) << file.detail;
    EXPECT_EQ(file.ReadText(Jedec(60, "\n", "*"), map), CJedecFile::EResult::Ok) << file.detail;
    EXPECT_EQ(map[5], CSimProbeImages::FuseRow(113, 5));
    EXPECT_EQ(file.ReadText(CSimProbeImages::JedecFile(42), map), CJedecFile::EResult::Ok) << file.detail;
    EXPECT_EQ(map[77], CSimProbeImages::FuseRow(42, 77));

    // A fuse line with another character in it stops the row short.
    std::string spoilt = Jedec(60);
    spoilt[spoilt.find("*L00000\n") + 8 + 61 + 10] = '2';
    EXPECT_EQ(file.ReadText(spoilt, map), CJedecFile::EResult::BadRow);
    EXPECT_EQ(file.badRowFuses, 190u) << "the second line gives its first ten fuses only";
}

TEST(JedecFile, TheFuseMapStartsOnlyAtAnExactLine)
{
    CJedecFile file;
    CJedecFile::FuseMap map;
    for (const char* start : {"*L00000 \n", "*L000000\n", "*L00000*\n", " *L00000\n"}) {
        std::string text = Jedec(60);
        text.replace(text.find("*L00000\n"), 8, start);
        EXPECT_EQ(file.ReadText(text, map), CJedecFile::EResult::NoFuseMap) << start;
    }
    std::string noEnd = Jedec(60);
    noEnd = noEnd.substr(0, noEnd.find("*L00000\n") + 7);
    EXPECT_EQ(file.ReadText(noEnd, map), CJedecFile::EResult::NoFuseMap);
    EXPECT_EQ(file.ReadText("", map), CJedecFile::EResult::NoFuseMap);

    // The file ends before row 133 is complete.
    std::string cut = Jedec(60);
    cut.resize(cut.size() - 70);
    cut = cut.substr(0, cut.rfind('\n', cut.size() - 1));
    EXPECT_EQ(file.ReadText(cut, map), CJedecFile::EResult::BadRow);
    EXPECT_EQ(file.badRow, 133);

    EXPECT_EQ(file.Read("/nonexistent/ARMJED70.113", map), CJedecFile::EResult::CannotOpen);
    EXPECT_EQ(file.detail, "cannot open /nonexistent/ARMJED70.113: No such file or directory");
    EXPECT_EQ(file.Read("", map), CJedecFile::EResult::CannotOpen);
    // A device reports no size and never ends: read up to the limit only.
    EXPECT_EQ(file.Read("/dev/zero", map), CJedecFile::EResult::CannotOpen);
    EXPECT_EQ(file.detail, "/dev/zero is larger than a fuse file can be");
}

TEST(LogicSignature, TextBitsAndPadding)
{
    EXPECT_EQ(CLogicProgrammer::SignatureText(113), "B6001E8113");
    EXPECT_EQ(CLogicProgrammer::SignatureText(7), "B6001E8007");
    const std::string bits = CLogicProgrammer::SignatureBits("B6001E8113");
    ASSERT_EQ(bits.size(), 120u);
    EXPECT_EQ(bits.substr(0, 8), "01000010") << "'B', most significant bit first";
    EXPECT_EQ(bits.substr(72, 8), "00110011") << "'3'";
    EXPECT_EQ(bits.substr(80), std::string(40, '0')) << "bytes past the text are zero";
    EXPECT_EQ(CLogicProgrammer::SignatureBits(""), std::string(120, '0'));
    EXPECT_EQ(CLogicProgrammer::SignatureBits("ABCDEFGHIJKLMNOPQ").substr(112), "01001111") << "15 bytes only";
}

TEST(FirmwareRecord, RecordRules)
{
    struct SCase {
        const char* line;
        bool newline;
        CFirmwareRecord::EKind kind;
        uint32_t address;
        std::vector<uint8_t> data;
        const char* error;
    };
    using K = CFirmwareRecord::EKind;
    const SCase cases[] = {
        {"S1070100AABBCCDDE9", true, K::Data, 0x0100, {0xAA, 0xBB, 0xCC, 0xDD}, ""},
        {"s1070100aabbccdde9", true, K::Data, 0x0100, {0xAA, 0xBB, 0xCC, 0xDD}, ""},
        {"  junk S1070100AABBCCDDE9", true, K::Data, 0x0100, {0xAA, 0xBB, 0xCC, 0xDD}, ""},
        {"S2060100001122C5", true, K::Data, 0x010000, {0x11, 0x22}, ""},
        {"S3060100C0000137", true, K::Data, 0x0100C000, {0x01}, ""},
        {"S30501000000F9", true, K::Data, 0x01000000, {}, ""},
        {"S1070100AABBCCDDEA", true, K::Bad, 0, {}, "checksum wrong"},
        {"S1070100AABBCCDDE9", false, K::Bad, 0, {}, "no line end after the record"},
        {"S1070100AABBCCDDE9 ", true, K::Bad, 0, {}, "length does not match the byte count"},
        {"S1070100AABBCGDDE9", true, K::Bad, 0, {}, "not a hexadecimal digit"},
        {"S1020100", true, K::Bad, 0, {}, "byte count too small for the address"},
        {"S0030000FC", true, K::Skipped, 0, {}, ""},
        {"S0030000FF", true, K::Skipped, 0, {}, ""},
        {"S9030000", true, K::Bad, 0, {}, "length does not match the byte count"},
        {"S70501000000F9", true, K::Skipped, 0, {}, ""},
        {"", true, K::Bad, 0, {}, "no record (no \"S\")"},
        {"1070100AABBCCDDE9", true, K::Bad, 0, {}, "no record (no \"S\")"},
        {"S1", true, K::Bad, 0, {}, "no byte count"},
    };
    for (const SCase& c : cases) {
        uint32_t address = 0;
        std::vector<uint8_t> data;
        std::string error;
        EXPECT_EQ(CFirmwareRecord::Parse(c.line, c.newline, address, data, error), c.kind) << c.line;
        if (c.kind == K::Data) {
            EXPECT_EQ(address, c.address) << c.line;
            EXPECT_EQ(data, c.data) << c.line;
        }
        if (c.kind == K::Bad) {
            EXPECT_EQ(error, c.error) << c.line;
        }
    }
}

TEST(FirmwareImage, PaddingPositionsAndWholeFileChecks)
{
    CFirmwareImage image;
    // Five bytes are sent as eight (three 0xFF); four stay four.
    const std::string text = "S0030000FC\nS30A0100C000010203040525\nS3090100C0100A0B0C0DF7\nS70501000000F9\n";
    ASSERT_EQ(image.ReadText(text), CFirmwareImage::EResult::Ok) << image.detail;
    ASSERT_EQ(image.Blocks().size(), 2u);
    EXPECT_EQ(image.Blocks()[0].data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(image.Blocks()[1].data, (std::vector<uint8_t>{0x0A, 0x0B, 0x0C, 0x0D}));
    EXPECT_EQ(image.Blocks()[0].filePosition, 11u + 25u);
    EXPECT_EQ(image.FileLength(), text.size());

    struct SCase {
        const char* name;
        std::string text;
        size_t line;
        const char* detail;
    };
    const SCase cases[] = {
        {"last record without line end", "S30A0100C000010203040525\nS3090100C0100A0B0C0DF7", 2,
         "line 2: no line end after the record"},
        {"blank line", "S30A0100C000010203040525\n\nS3090100C0100A0B0C0DF7\n", 2, "line 2: no record (no \"S\")"},
        {"loader sector", "S3060100400001B7\n", 1, "line 1: data outside the firmware area"},
        {"setup sector", "S306010080000177\n", 1, "line 1: data outside the firmware area"},
        {"start marker", "S3060104000201F1\n", 1, "line 1: data on the start marker"},
        {"a zero among the marker's erased bytes", "S30D0103FFFC01020304FFFF00FFEC\n", 1,
         "line 1: data on the start marker"},
        {"past the address space", "S30AFFFFFFFC0102030405ED\n", 1, "line 1: data past the end of the address space"},
        {"no data", "S0030000FC\nS70501000000F9\n", 2, "no data records"},
        {"too long", "S0030000FC" + std::string(250, ' ') + "\n", 1, "line 1: longer than 254 characters"},
    };
    for (const SCase& c : cases) {
        EXPECT_EQ(image.ReadText(c.text), CFirmwareImage::EResult::BadRecord) << c.name;
        EXPECT_EQ(image.badLine, c.line) << c.name;
        EXPECT_EQ(image.detail, c.detail) << c.name;
        EXPECT_TRUE(image.Blocks().empty()) << c.name;
    }
    EXPECT_EQ(image.Read(""), CFirmwareImage::EResult::CannotOpen);
    EXPECT_EQ(image.Read("/tmp"), CFirmwareImage::EResult::CannotOpen);
    EXPECT_EQ(image.detail, "cannot open /tmp: Is a directory");
    EXPECT_EQ(image.Read("/dev/zero"), CFirmwareImage::EResult::CannotOpen);
    EXPECT_EQ(image.detail, "/dev/zero is larger than a firmware image can be");
    EXPECT_EQ(image.ReadText(CSimProbeImages::FirmwareImage(114)), CFirmwareImage::EResult::Ok) << image.detail;
    EXPECT_EQ(image.ReadText("s30a0100c000010203040525\r\n"), CFirmwareImage::EResult::Ok) << image.detail;
}

TEST(FirmwareImage, ErasedBytesOnTheMarkerWordAndDataPastTheLastKnownSectorAreTheProbesBusiness)
{
    // 0xFF is what an erased marker word holds: an image may carry it there
    // (its own or its padding's), whole, in part or across the word's start.
    // Where the firmware area ends is not known here: the loader answers
    // for the bytes it cannot program.
    struct SCase {
        const char* name;
        std::string text;
        uint32_t address;
        size_t size;
    };
    const SCase cases[] = {
        {"the whole word erased", "S30901040000FFFFFFFFF5\n", 0x01040000, 4},
        {"across the word's start", "S30E0103FFFC01020304FFFFFFFF05E7\n", 0x0103FFFC, 12},
        {"its last byte and past it", "S30701040003FF07EA\n", 0x01040003, 4},
        {"past the last sector the loader erases", "S3090110000001020304DB\n", 0x01100000, 4},
    };
    for (const SCase& c : cases) {
        CFirmwareImage image;
        ASSERT_EQ(image.ReadText(c.text), CFirmwareImage::EResult::Ok) << c.name << ": " << image.detail;
        ASSERT_EQ(image.Blocks().size(), 1u) << c.name;
        EXPECT_EQ(image.Blocks()[0].address, c.address) << c.name;
        EXPECT_EQ(image.Blocks()[0].data.size(), c.size) << c.name;
    }
}

} // namespace
