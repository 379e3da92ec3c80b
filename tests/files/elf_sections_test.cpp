// ELF files as a linker lays them out: what reaches the image is the bytes of
// the allocated sections with data, at their load addresses; the headers a
// segment covers, the alignment padding between sections and .bss stay
// 0xFF. The image is compared byte for byte with the one expected.
#include "files/load_model.h"
#include "files/program_file_readers.h"
#include "files_test_support.h"
#include "support/elf_builder.h"
#include "support/recording_operation_view.h"

namespace {

constexpr uint32_t kFlash = 0x08000000;

std::vector<uint8_t> Pattern(size_t n, int seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 5 + seed);
    return v;
}

// One segment from file offset 0 (the ELF and program headers, .text, 16
// bytes of alignment padding, .rodata, zeros to its end) and a .data segment
// that runs in RAM and is stored after .rodata; .bss and a non-allocated
// section (.comment) lie beside them.
struct SLinkedElf {
    std::vector<uint8_t> text = Pattern(0x30, 1);
    std::vector<uint8_t> rodata = Pattern(0x20, 2);
    std::vector<uint8_t> data = Pattern(0x10, 3);

    std::string File(bool big) const
    {
        return ElfWithSections(big, 0x240,
                               {{0, kFlash, kFlash, 0x200, 0x200}, {0x200, 0x20000000, kFlash + 0x160, 0x10, 0x40}},
                               {
                                   {1, 6, kFlash + 0x100, 0x100, 0x30},     // .text
                                   {1, 2, kFlash + 0x140, 0x140, 0x20},     // .rodata
                                   {1, 3, 0x20000000, 0x200, 0x10},         // .data
                                   {8, 3, 0x20000010, 0x210, 0x30},         // .bss
                                   {1, 0, 0, 0x210, 0x30},                  // .comment
                               },
                               {{0x100, text}, {0x140, rodata}, {0x200, data}, {0x210, std::vector<uint8_t>(0x30, 'c')}});
    }

    // The flash from kFlash to kFlash + 0x200 as the file should leave it.
    std::vector<uint8_t> Expected() const
    {
        std::vector<uint8_t> flash(0x200, 0xFF);
        std::copy(text.begin(), text.end(), flash.begin() + 0x100);
        std::copy(rodata.begin(), rodata.end(), flash.begin() + 0x140);
        std::copy(data.begin(), data.end(), flash.begin() + 0x160);
        return flash;
    }
};

TEST_F(FilesTest, ElfSectionsLoadAtTheirLoadAddressesAndNothingElse)
{
    const SLinkedElf elf;
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        image.Clear();
        uint32_t bytes = 0;
        CMemoryRange range;
        SLoadReport report;
        ASSERT_EQ(LoadElfFile(Write("fw.elf", elf.File(big)), image, bytes, range, physical, 0, &report), kLoadOk);
        EXPECT_EQ(Read(kFlash, 0x200), elf.Expected());
        EXPECT_EQ(bytes, 0x60u);
        EXPECT_EQ(range.GetStart(), kFlash + 0x100);
        EXPECT_EQ(range.GetEnd(), kFlash + 0x16F);
        EXPECT_EQ(image.ReadByte(0x20000000), 0xFF);
        EXPECT_TRUE(report.elf);
        EXPECT_EQ(report.elfBigEndian, big);
    }
}

TEST_F(FilesTest, ElfSectionTablesThatCannotBeReadAreRefused)
{
    const SLinkedElf elf;
    std::string cut = elf.File(false);
    cut.resize(cut.size() - 1);
    std::string noData = ElfWithSections(false, 0x100, {{0, kFlash, kFlash, 0x100, 0x140}},
                                         {{8, 3, kFlash + 0x100, 0x100, 0x40}}, {});
    std::string pastEnd = elf.File(false);
    pastEnd[0x240 + 40 + 21] = 0x7F; // .text: 0x7F30 bytes
    const struct {
        std::string content;
        const char* reason;
    } cases[] = {
        {cut, "the section header table runs past the end of the file"},
        {noData, "the ELF file has no allocated section with data"},
        {pastEnd, "section 1 (32560 bytes at file offset 0x100) runs past the end of the file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        uint32_t bytes = 0;
        CMemoryRange range;
        SLoadReport report;
        EXPECT_EQ(LoadElfFile(Write("bad.elf", c.content), image, bytes, range, physical, 0, &report), kLoadRefused);
        EXPECT_EQ(report.reason, c.reason);
        EXPECT_EQ(image.GetUsedRange(1).GetSize(), 0u);
    }
}

// Sections over bytes the image held before, a section outside every
// segment that lies over one loaded before it with other bytes (the overlap
// is reported and the later bytes stay) and one that runs past the image
// window (which writes nothing): each is placed as a reader that copies
// every byte through its own buffer places it.
TEST_F(FilesTest, ElfSectionsOverHeldBytesOverlapsAndTheWindowEnd)
{
    const std::vector<uint8_t> held = Pattern(0x400, 7);
    ASSERT_EQ(image.WriteBlock(kFlash, held.data(), 0x400), 0);
    const std::vector<uint8_t> text = Pattern(0x30, 1);
    const std::vector<uint8_t> patch = Pattern(0x20, 100);
    const std::vector<uint8_t> tail = Pattern(0x20, 200);
    const std::string file = ElfWithSections(
        false, 0x340, {{0, kFlash, kFlash, 0x200, 0x200}},
        {
            {1, 6, kFlash + 0x100, 0x100, 0x30},    // .text, in the segment
            {1, 2, kFlash + 0x120, 0x300, 0x20},    // outside every segment, over the end of .text
            {1, 2, 0x0FFFFFF0, 0x320, 0x20},        // across the end of the image window
        },
        {{0x100, text}, {0x300, patch}, {0x320, tail}});
    uint32_t bytes = 0;
    CMemoryRange range;
    SLoadReport report;
    ASSERT_EQ(LoadElfFile(Write("over.elf", file), image, bytes, range, physical, 0, &report), kLoadOutside);
    std::vector<uint8_t> expected = held;
    std::copy(text.begin(), text.end(), expected.begin() + 0x100);
    std::copy(patch.begin(), patch.end(), expected.begin() + 0x120);
    EXPECT_EQ(Read(kFlash, 0x400), expected);
    EXPECT_EQ(Read(0x0FFFFFF0, 0x10), std::vector<uint8_t>(0x10, 0xFF)); // a block past the window writes nothing
    EXPECT_EQ(bytes, 0x70u);
    EXPECT_TRUE(report.overlap);
    EXPECT_EQ(report.overlapAddress, kFlash + 0x120);
}

// An ELF file of the other byte order than the target's loads with a
// warning; one of the same order loads without.
TEST_F(FilesTest, ElfOfTheOtherByteOrderLoadsWithAWarning)
{
    const SLinkedElf elf;
    for (bool targetBig : {false, true}) {
        for (bool fileBig : {false, true}) {
            SCOPED_TRACE(std::string(fileBig ? "big" : "little") + " file, " + (targetBig ? "big" : "little") +
                         " target");
            CLoadModel model(image, physical);
            CRecordingOperationView view;
            CScriptedMessageBox box;
            model.fileName = Write("fw.elf", elf.File(fileBig));
            model.bigEndianTarget = targetBig;
            ASSERT_EQ(model.Load(view, box), kLoadOk);
            EXPECT_EQ(view.LastStatus(), "Loading of 96 bytes successful terminated ! (ELF file)");
            if (fileBig == targetBig) {
                EXPECT_TRUE(box.shown.empty());
                continue;
            }
            ASSERT_EQ(box.shown.size(), 1u);
            EXPECT_EQ(box.shown[0].caption, "Warning");
            EXPECT_EQ(box.shown[0].text, model.fileName + " is a " + (fileBig ? "big" : "little") +
                                             "-endian ELF file, but the target is set up " +
                                             (targetBig ? "big" : "little") +
                                             "-endian.\nIts bytes were loaded as the file holds them.");
            EXPECT_EQ(Read(kFlash, 0x200), elf.Expected());
        }
    }
}

} // namespace
