#include "common/operation_view.h"
#include "files/checksum_model.h"
#include "files/edit_image_model.h"
#include "files/fill_model.h"
#include "common/hex_field.h"
#include "files/range_entry.h"
#include "files_test_support.h"

namespace {

// ---- hexadecimal fields and the shared range entry ----

TEST(HexField, ReadsTextTheWayTheFieldDoes)
{
    struct {
        const char* text;
        int digits;
        uint32_t value;
    } cases[] = {
        {"", 8, 0},          {"zz", 8, 0},      {"1a2B", 8, 0x1A2B},    {"12G4", 8, 0x12},
        {"123", 2, 0x23},    {"12345678", 4, 0x5678}, {"-1", 8, 0xFFFFFFFF}, {"-1", 2, 0xFF},
        {"0x10", 8, 0x10},   {"  7f", 2, 0x7F}, {"FFFFFFFF", 8, 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        CHexField f(c.digits);
        f.text = c.text;
        EXPECT_EQ(f.Value(), c.value) << '"' << c.text << "\" with " << c.digits << " digits";
    }
    CHexField f(4);
    f.SetValue(0x12345678);
    EXPECT_EQ(f.text, "5678");
    f.SetValue(0xA);
    EXPECT_EQ(f.text, "000A");
    EXPECT_EQ(CHexField::Normalize("a1-.g\x08z"), "A1-.\x08");
}

TEST(RangeEntry, ModeSwitchConvertsTheShownNumber)
{
    CRangeEntry e;
    e.Show(CMemoryRange(0x100, 0x20, 1));
    EXPECT_EQ(e.second.text, "00000020");
    EXPECT_FALSE(e.SelectMode(1)); // the current mode: nothing happens
    EXPECT_TRUE(e.SelectMode(0));
    EXPECT_EQ(e.second.text, "0000011F");
    EXPECT_TRUE(e.SelectMode(1));
    EXPECT_EQ(e.second.text, "00000020");

    e.second.text = "0"; // length 0 shows end 0
    e.SelectMode(0);
    EXPECT_EQ(e.second.text, "00000000");
    e.start.text = "200"; // end below start shows length 0
    e.second.text = "100";
    e.SelectMode(1);
    EXPECT_EQ(e.second.text, "00000000");
}

TEST(RangeEntry, ReadChecksInOrderAndNamesTheField)
{
    const CMemoryRange physical(0x1000, 0x1000, 1);
    CScriptedMessageBox box;
    CRangeEntry e;
    CMemoryRange out(1, 1, 1);
    e.Show(CMemoryRange(0x100, 0xFF, 0)); // end below start
    e.start.text = "100";
    e.second.text = "FF";
    EXPECT_FALSE(e.Read(physical, &box, out));
    EXPECT_EQ(e.FailedField(), CRangeEntry::EField::Second);
    e.start.text = "1800";
    e.second.text = "2000";
    EXPECT_FALSE(e.Read(physical, &box, out));
    EXPECT_EQ(e.FailedField(), CRangeEntry::EField::Start);
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0].text, "Start address should not be greater than end address !");
    EXPECT_EQ(box.shown[1].text, "Out of physical memory range !\n (Base: 00001000, Size: 00001000)");
    EXPECT_EQ(out, CMemoryRange(1, 1, 1)); // untouched on failure

    e.second.text = "1FFF";
    EXPECT_TRUE(e.Read(physical, &box, out));
    EXPECT_EQ(out, CMemoryRange(0x1800, 0x1FFF, 0));
}

// ---- Fill ----

class FillTest : public FilesTest {
protected:
    bool Fill(uint32_t start, uint32_t length, int unitIndex, uint32_t pattern)
    {
        model.entry.Show(CMemoryRange(start, length, 1));
        model.SetUnitIndex(unitIndex);
        model.SetPattern(pattern);
        return model.Fill(view, box);
    }

    CFillModel model{image, physical};
    CRecordingOperationView view;
    CScriptedMessageBox box;
};

TEST_F(FillTest, WritesWholeUnitsLeastSignificantByteFirst)
{
    struct {
        int unitIndex;
        uint32_t pattern;
        uint32_t length;
        std::vector<uint8_t> expected; // 12 bytes from the start
    } cases[] = {
        {1, 0x1234, 10, Bytes({0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0xFF, 0xFF})},
        {2, 0xAABBCCDD, 10, Bytes({0xDD, 0xCC, 0xBB, 0xAA, 0xDD, 0xCC, 0xBB, 0xAA, 0xFF, 0xFF, 0xFF, 0xFF})},
        {0, 0x5A, 3, Bytes({0x5A, 0x5A, 0x5A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        {1, 0x1234, 1, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
    };
    for (const auto& c : cases) {
        image.Clear();
        image.WriteByte(0x1FF, 0); // the image holds 0xFF around the fill
        ASSERT_TRUE(Fill(0x200, c.length, c.unitIndex, c.pattern));
        EXPECT_EQ(Read(0x200, 12), c.expected) << "unit " << c.unitIndex << " length " << c.length;
    }
    EXPECT_EQ(view.cursorDepth, 0);
}

TEST_F(FillTest, LongFillAcrossChunksLeavesThePartialUnit)
{
    image.WriteBlock(0x3000 + 10001, Bytes({0x11, 0x22, 0x33}).data(), 3);
    ASSERT_TRUE(Fill(0x3000, 10003, 2, 0x04030201));
    const auto got = Read(0x3000, 10004);
    for (uint32_t i = 0; i < 10000; ++i)
        ASSERT_EQ(got[i], (i % 4) + 1) << i;
    EXPECT_EQ(got[10000], 0xFF);
    EXPECT_EQ(got[10001], 0x11); // the last 3 bytes are no whole long
    EXPECT_EQ(got[10003], 0x33);
}

TEST_F(FillTest, PatternIsWhatTheImageReadsBack)
{
    // At the last byte of the window the word cannot be written: the image
    // reads 0xFF there, and that is what the fill repeats.
    image.WriteByte(0x0FFFFFFC, 0);
    ASSERT_TRUE(Fill(0x0FFFFFFC, 4, 0, 0x77));
    EXPECT_EQ(Read(0x0FFFFFFC, 4), Bytes({0x77, 0x77, 0x77, 0x77}));
}

TEST_F(FillTest, SizeChangeKeepsAndMasksThePattern)
{
    model.SetUnitIndex(2);
    model.pattern.text = "12345678";
    model.SetUnitIndex(0);
    EXPECT_EQ(model.pattern.text, "78");
    model.SetUnitIndex(1);
    EXPECT_EQ(model.pattern.text, "0078");
    EXPECT_EQ(model.PatternValue(), 0x78u);
}

TEST_F(FillTest, RefusedRangeWritesNothing)
{
    EXPECT_FALSE(Fill(0x0FFFFFF0, 0x20, 0, 0));
    EXPECT_EQ(box.shown.size(), 1u);
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_TRUE(view.cursor.empty());
}

// ---- Checksum ----

class ChecksumTest : public FilesTest {
protected:
    void SetUp() override
    {
        FilesTest::SetUp();
        image.WriteBlock(0x100, Bytes({1, 2, 3, 4}).data(), 4);
        model.entry.Show(CMemoryRange(0x100, 4, 1));
    }

    CChecksumModel model{image, physical};
    CRecordingOperationView view;
    CScriptedMessageBox box;
};

TEST_F(ChecksumTest, SumsInTheSourceUnitAndShowsTheDestinationDigits)
{
    struct {
        int source, dest;
        uint32_t sum;
        const char* shown;
    } cases[] = {{0, 2, 0x0000000A, "0000000A"}, {1, 2, 0x00000604, "00000604"},
                 {2, 2, 0x04030201, "04030201"}, {2, 1, 0x04030201, "0201"}, {2, 0, 0x04030201, "01"}};
    for (const auto& c : cases) {
        model.SetSourceUnitIndex(c.source);
        model.SetDestUnitIndex(c.dest);
        ASSERT_TRUE(model.Calculate(view, box));
        EXPECT_EQ(model.Sum(), c.sum);
        EXPECT_EQ(model.ChecksumText(), c.shown);
        EXPECT_TRUE(model.StoreEnabled());
    }
}

TEST_F(ChecksumTest, ChangesThrowTheSumAway)
{
    EXPECT_FALSE(model.StoreEnabled()); // disabled when the dialog opens
    EXPECT_EQ(model.Store(box), CChecksumModel::EStoreResult::NotCalculated);
    const auto calculateThen = [&](auto change) {
        model.Calculate(view, box);
        EXPECT_TRUE(model.StoreEnabled());
        change();
        EXPECT_FALSE(model.StoreEnabled());
        EXPECT_EQ(model.ChecksumText(), "");
    };
    calculateThen([&] { model.SetSourceUnitIndex(1); });
    calculateThen([&] { model.SetDestUnitIndex(2); });
    calculateThen([&] { model.SelectMode(0); });
    calculateThen([&] { model.RangeEdited(); });
    model.Calculate(view, box);
    model.SetSourceUnitIndex(model.SourceUnitIndex()); // the same unit: the sum stays
    EXPECT_TRUE(model.StoreEnabled());
}

TEST_F(ChecksumTest, StoresTheLowPartLittleEndian)
{
    image.WriteBlock(0x104, std::vector<uint8_t>(0x102, 1).data(), 0x102);
    model.entry.Show(CMemoryRange(0x100, 0x106, 1));
    model.SetDestUnitIndex(0);
    ASSERT_TRUE(model.Calculate(view, box));
    EXPECT_EQ(model.Sum(), 0x10Cu); // 1+2+3+4 + 0x102 ones
    EXPECT_EQ(model.ChecksumText(), "0C");
    model.dest.SetValue(0x300);
    EXPECT_EQ(model.Store(box), CChecksumModel::EStoreResult::Stored);
    EXPECT_EQ(Read(0x300, 2), Bytes({0x0C, 0xFF}));

    model.SetDestUnitIndex(2);
    model.Calculate(view, box);
    model.dest.SetValue(0x310);
    EXPECT_EQ(model.Store(box), CChecksumModel::EStoreResult::Stored);
    EXPECT_EQ(Read(0x310, 4), Bytes({0x0C, 0x01, 0, 0}));
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(ChecksumTest, AsksBeforeStoringInsideTheSourceRange)
{
    model.entry.Show(CMemoryRange(0x100, 0x1FF, 0));
    model.SetDestUnitIndex(1);
    model.Calculate(view, box);
    model.dest.SetValue(0x100);
    box.Answer(EMsgResult::No);
    EXPECT_EQ(model.Store(box), CChecksumModel::EStoreResult::Declined);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              "The checksum store address is inside the calculated checksum range !\nDo you wish to store it ?");
    EXPECT_EQ(box.shown[0].caption, "Information");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Exclamation);
    EXPECT_EQ(Read(0x100, 2), Bytes({1, 2}));

    box.Answer(EMsgResult::Yes);
    EXPECT_EQ(model.Store(box), CChecksumModel::EStoreResult::Stored);
    EXPECT_EQ(Read(0x100, 2), Bytes({0x0E, 0xFB})); // 1+2+3+4 + 252 * 0xFF

    model.dest.SetValue(0xFF); // the word 0xFF..0x100 touches the range
    box.Answer(EMsgResult::No);
    EXPECT_EQ(model.Store(box), CChecksumModel::EStoreResult::Declined);
    model.dest.SetValue(0x200); // just past the end: no question
    box.shown.clear();
    EXPECT_EQ(model.Store(box), CChecksumModel::EStoreResult::Stored);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(ChecksumTest, DestinationOutsideThePhysicalRangeIsRefused)
{
    model.SetDestUnitIndex(2);
    model.Calculate(view, box);
    for (uint32_t dest : {0x0FFFFFFEu, 0xFFFFFFFEu}) {
        box.shown.clear();
        model.dest.SetValue(dest);
        EXPECT_EQ(model.Store(box), CChecksumModel::EStoreResult::Refused);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text,
                  "Destination address is out of physical memory range !\n (Base: 00000000, Size: 10000000)");
    }
    // The top of the address space inside a physical range that reaches it.
    CChecksumModel top(image, CMemoryRange(0xF0000000, 0x10000000, 1));
    top.entry.Show(CMemoryRange(0xF0000000, 4, 1));
    top.SetDestUnitIndex(2);
    top.Calculate(view, box);
    top.dest.SetValue(0xFFFFFFFE);
    box.shown.clear();
    EXPECT_EQ(top.Store(box), CChecksumModel::EStoreResult::Refused);
    EXPECT_EQ(box.shown.size(), 1u);
}

// ---- Edit Memory Image ----

class EditTest : public FilesTest {
protected:
    CRecordingOperationView view;
};

TEST_F(EditTest, ShowsUnitsInTheTargetByteOrder)
{
    image.WriteBlock(0, Bytes({0x12, 0x34, 0x56, 0x78}).data(), 4);
    CEditImageModel big(image, physical, false, 1, 0);
    CEditImageModel little(image, physical, true, 1, 0);
    EXPECT_EQ(big.ItemText(0, 0), " 1234");
    EXPECT_EQ(little.ItemText(0, 0), " 3412");
    EXPECT_EQ(big.data.text, "1234");
    EXPECT_EQ(big.Columns(), 8);
    big.SetUnitIndex(2);
    EXPECT_EQ(big.Columns(), 4);
    EXPECT_EQ(big.ItemText(0, 0), " 12345678");
    EXPECT_EQ(big.data.text, "12345678");
    big.SetUnitIndex(0);
    EXPECT_EQ(big.ItemText(0, 1), " 34");
    EXPECT_EQ(big.ItemText(7, 15), " FF");
    EXPECT_EQ(big.AddressLine(7), " 00000070");
}

TEST_F(EditTest, StoreWritesAndMovesToTheNextUnit)
{
    CEditImageModel edit(image, physical, true, 0, 0x10);
    edit.data.text = "55";
    edit.Store(view);
    EXPECT_EQ(image.ReadByte(0x10), 0x55);
    EXPECT_EQ(edit.address.text, "00000011");
    EXPECT_EQ(edit.data.text, "FF");
    EXPECT_EQ(edit.Focus(), CEditImageModel::EFocus::Data);
    EXPECT_EQ(edit.Top(), 0x10u);
    EXPECT_EQ(edit.ItemText(0, 0), " 55");
    EXPECT_EQ(view.cursor, (std::vector<bool>{true, false}));

    edit.SetUnitIndex(2);
    edit.address.text = "20";
    edit.data.text = "AABBCCDD";
    edit.Store(view);
    EXPECT_EQ(Read(0x20, 4), Bytes({0xDD, 0xCC, 0xBB, 0xAA}));
    EXPECT_EQ(edit.CurrentAddress(), 0x24u);
}

TEST_F(EditTest, ClicksShowTheAddressUnderThem)
{
    CEditImageModel edit(image, physical, true, 1, 0x100);
    edit.ClickDataItem(2, 3);
    EXPECT_EQ(edit.address.text, "00000126");
    EXPECT_EQ(edit.Focus(), CEditImageModel::EFocus::Data);
    edit.ClickAddressLine(5);
    EXPECT_EQ(edit.address.text, "00000150");
    EXPECT_EQ(edit.Focus(), CEditImageModel::EFocus::Address);
    edit.ClickDataItem(0, 8); // no such column in word units
    EXPECT_EQ(edit.address.text, "00000150");
}

TEST_F(EditTest, GoToKeepsThePageInsideThePhysicalRange)
{
    const CMemoryRange phys(0x1008, 0x1000, 1); // 0x1008 .. 0x2007
    struct {
        uint32_t address, top;
    } cases[] = {{0x1500, 0x1500}, {0x1517, 0x1510}, {0x10, 0x1000}, {0x2000, 0x1F90}, {0xFFFFFFFF, 0x1F90}};
    CEditImageModel edit(image, phys, true, 0, 0x1500);
    for (const auto& c : cases) {
        edit.address.SetValue(c.address);
        edit.GoTo();
        EXPECT_EQ(edit.Top(), c.top) << std::hex << c.address;
        EXPECT_EQ(edit.CurrentAddress(), c.address);
    }
}

TEST_F(EditTest, OpensAtTheUsedExtent)
{
    image.WriteByte(0x1234, 1);
    CEditImageModel edit(image, physical, true, 0, 0x1234);
    EXPECT_EQ(edit.Top(), 0x1230u);
    EXPECT_EQ(edit.address.text, "00001234");
    EXPECT_EQ(edit.data.text, "01");
}

TEST_F(EditTest, ScrollBarRangesAndMoves)
{
    struct {
        uint32_t size;
        int max;
    } ranges[] = {{100, 128}, {1000, 873}, {0x100000, 100}};
    for (const auto& r : ranges)
        EXPECT_EQ(CEditImageModel(image, CMemoryRange(0, r.size, 1), true, 0, 0).ScrollMax(), r.max) << r.size;

    using S = CEditImageModel::EScroll;
    CEditImageModel edit(image, CMemoryRange(0x1000, 0x400, 1), true, 0, 0x1000);
    EXPECT_EQ(edit.Top(), 0x1000u);
    edit.Scroll(S::LineUp);
    EXPECT_EQ(edit.Top(), 0x1000u); // would leave the range
    edit.Scroll(S::LineDown);
    EXPECT_EQ(edit.Top(), 0x1010u);
    EXPECT_EQ(edit.ScrollPosition(), 0x10);
    edit.Scroll(S::PageUp);
    EXPECT_EQ(edit.Top(), 0x1000u);
    edit.Scroll(S::PageDown);
    edit.Scroll(S::PageDown);
    EXPECT_EQ(edit.Top(), 0x1100u);
    edit.Scroll(S::ThumbPosition, 0x3F0);
    EXPECT_EQ(edit.Top(), 0x1380u); // clamped to the last page
    edit.Scroll(S::LineDown);
    EXPECT_EQ(edit.Top(), 0x1380u);
    edit.Scroll(S::PageDown);
    EXPECT_EQ(edit.Top(), 0x1380u);
    edit.Scroll(S::ThumbTrack, 0);
    edit.Scroll(S::Top);
    EXPECT_EQ(edit.Top(), 0x1380u); // other codes do nothing
    edit.Scroll(S::ThumbPosition, 0x20);
    EXPECT_EQ(edit.Top(), 0x1020u);

    // A big range scrolls in steps of (size - 127) / 100 + 1.
    CEditImageModel wide(image, CMemoryRange(0, 0x100000, 1), true, 0, 0);
    wide.Scroll(S::ThumbPosition, 50);
    EXPECT_EQ(wide.Top(), 50u * ((0x100000 - 127) / 100 + 1) & ~15u);
    EXPECT_EQ(wide.ScrollPosition(), 49); // the top was rounded down to 16
}

TEST_F(EditTest, EmptyPhysicalRangeFollowsGoToAndDoesNotScroll)
{
    CEditImageModel edit(image, CMemoryRange(0x5000, 0, 1), true, 0, 0x12345);
    EXPECT_EQ(edit.Top(), 0x12340u);
    EXPECT_EQ(edit.ScrollMax(), 0);
    edit.Scroll(CEditImageModel::EScroll::PageDown);
    EXPECT_EQ(edit.Top(), 0x12340u);
    edit.address.SetValue(0xFFFFFFF0);
    edit.GoTo();
    EXPECT_EQ(edit.Top(), 0xFFFFFF80u); // the page stays inside the address space
    EXPECT_EQ(edit.AddressLine(7), " FFFFFFF0");
}

} // namespace
