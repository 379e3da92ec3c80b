#include "project/archive.h"
#include "project/code_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct CTypeCase {
    int code;
    uint32_t address, value;
    const char* comment;
    const char* text;    // the stored entry text
    const char* display; // the display line
};

// One entry of every action type, with its stored text and display line.
const CTypeCase kEveryType[] = {
    {CCodeItem::Nop, 0, 0, "idle", "NOP\t00000000\t00000000\tidle", "NOP\t\t\tidle"},
    {CCodeItem::Delay, 0, 100, "wait", "DELAY\t00000000\t00000064\twait", "DELAY\t\t100\twait"},
    {CCodeItem::Wm8, 0xE01FC040, 0xAB, "", "WM8\tE01FC040\t000000AB\t", "WM8\t0xE01FC040\t0xAB\t"},
    {CCodeItem::Wm16, 0x100, 0xFFFF, "Bus Config", "WM16\t00000100\t0000FFFF\tBus Config",
     "WM16\t0x00000100\t0xFFFF\tBus Config"},
    {CCodeItem::Wm32, 0xFFFFF124, 1, "x", "WM32\tFFFFF124\t00000001\tx", "WM32\t0xFFFFF124\t0x00000001\tx"},
    {CCodeItem::Wgpr, 13, 0x20000000, "sp", "WGPR\t0000000D\t20000000\tsp", "WGPR\t13\t0x20000000\tsp"},
    {CCodeItem::Wcpsr, 0, 0xD3, "svc", "WCPSR\t00000000\t000000D3\tsvc", "WCPSR\t\t0x000000D3\tsvc"},
    {CCodeItem::Wcp15, 0x0F01, 0x78, "", "WCP15\t00000F01\t00000078\t", "WCP15\t0x0F01\t0x00000078\t"},
    {CCodeItem::Mmap, 0, 0x001FFFFF, "ram", "MMAP\t00000000\t001FFFFF\tram", "MMAP\t0x00000000\t0x001FFFFF\tram"},
    {CCodeItem::Rm8, 0x40000000, 0, "", "RM8\t40000000\t00000000\t", "RM8\t0x40000000\t\t"},
    {CCodeItem::Rm16, 0x40000002, 0, "", "RM16\t40000002\t00000000\t", "RM16\t0x40000002\t\t"},
    {CCodeItem::Rm32, 0x40000004, 0, "id", "RM32\t40000004\t00000000\tid", "RM32\t0x40000004\t\tid"},
    {CCodeItem::Exec, 0x40000000, 500, "run", "EXEC\t40000000\t000001F4\trun", "EXEC\t0x40000000\t0x000001F4\trun"},
    {CCodeItem::Loop, 4, 10, "again", "LOOP\t00000004\t0000000A\tagain", "LOOP\t0x00000004\t0x0000000A\tagain"},
};

CCodeList EveryTypeList()
{
    CCodeList list;
    for (const auto& c : kEveryType)
        list.Add(CCodeItem(c.code, c.address, c.value, c.comment));
    return list;
}

Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}
Bytes StoredString(const std::string& s) { return Cat({{static_cast<uint8_t>(s.size())}, Str(s)}); }
const Bytes kNewCodeItemClass = Cat({{0xFF, 0xFF, 0x00, 0x00, 0x09, 0x00}, Str("CCodeItem")});

} // namespace

TEST(CodeItem, EveryTypeStoresDisplaysAndParsesBack)
{
    for (const auto& c : kEveryType) {
        SCOPED_TRACE(c.text);
        const CCodeItem item(c.code, c.address, c.value, c.comment);
        EXPECT_EQ(item.GetText(), c.text);
        EXPECT_EQ(item.GetDisplayLine(), c.display);

        int code = -1;
        uint32_t address = 1, value = 1;
        std::string comment;
        item.GetFields(code, address, value, comment);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(address, c.address);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(comment, c.comment);

        // The display line parses back to the same entry, leniently and strictly.
        EXPECT_EQ(CCodeItem(std::string(c.display)), item);
        CCodeItem strict;
        std::string reason;
        EXPECT_TRUE(CCodeItem::ParseLine(c.display, strict, reason)) << reason;
        EXPECT_EQ(strict, item);
    }
}

TEST(CodeItem, NamesOfTheActionTypes)
{
    EXPECT_STREQ(CCodeItem::GetMnemonic(0), "NOP");
    EXPECT_STREQ(CCodeItem::GetMnemonic(13), "LOOP");
    EXPECT_STREQ(CCodeItem::GetEditorText(8), "<reserved>");
    EXPECT_STREQ(CCodeItem::GetEditorText(12), "Execute");
    EXPECT_EQ(CCodeItem::GetMnemonic(14), nullptr);
    EXPECT_EQ(CCodeItem::GetMnemonic(-1), nullptr);
    EXPECT_EQ(CCodeItem::FindMnemonic("WCP15"), 7);
    EXPECT_EQ(CCodeItem::FindMnemonic("wcp15"), -1);
}

TEST(CodeItem, ShortHexColumnsWidenForLargerNumbers)
{
    EXPECT_EQ(CCodeItem(CCodeItem::Wm8, 0, 0x1234, "").GetDisplayLine(), "WM8\t0x00000000\t0x1234\t");
    EXPECT_EQ(CCodeItem(CCodeItem::Wm16, 0, 0x12345, "").GetDisplayLine(), "WM16\t0x00000000\t0x12345\t");
    EXPECT_EQ(CCodeItem(CCodeItem::Wcp15, 0x12345, 0, "").GetDisplayLine(), "WCP15\t0x12345\t0x00000000\t");
    // ...and still parse back exactly.
    const CCodeItem wide(CCodeItem::Wm8, 0, 0x1234, "");
    EXPECT_EQ(CCodeItem(wide.GetDisplayLine()), wide);
}

TEST(CodeItem, CommentsAreCutToOneHundredAndCannotSplitColumns)
{
    const std::string longComment(150, 'c');
    CCodeItem item(CCodeItem::Nop, 0, 0, longComment);
    int code;
    uint32_t a, v;
    std::string comment;
    item.GetFields(code, a, v, comment);
    EXPECT_EQ(comment, std::string(100, 'c'));

    item.SetFields(CCodeItem::Wm32, 1, 2, "a\tb\r\nc");
    EXPECT_EQ(item.GetText(), "WM32\t00000001\t00000002\ta b  c");

    // A code outside the table is stored as a NOP rather than read out of bounds.
    item.SetFields(99, 1, 2, "");
    EXPECT_EQ(item.GetText(), "NOP\t00000001\t00000002\t");
}

TEST(CodeItem, LineParseIsLenientAsTheEditorNeeds)
{
    // Case of the first three columns does not matter; the comment keeps its case.
    EXPECT_EQ(CCodeItem(std::string("wm16\t0x100\t0xffff\tBus Config")).GetText(),
              "WM16\t00000100\t0000FFFF\tBus Config");
    // An unknown type becomes NOP with the line's address, value and comment.
    EXPECT_EQ(CCodeItem(std::string("FOO\t0x10\t5\tmy Note")).GetText(), "NOP\t00000010\t00000005\tmy Note");
    // A fifth column is ignored; a missing column is empty.
    EXPECT_EQ(CCodeItem(std::string("WM32\t1\t2\tc\tdropped")).GetText(), "WM32\t00000001\t00000002\tc");
    EXPECT_EQ(CCodeItem(std::string("RM32\t0x20")).GetText(), "RM32\t00000020\t00000000\t");
    // Columns are cut to 255 characters; the comment is cut to 100 only on display.
    const CCodeItem longComment(std::string("NOP\t\t\t") + std::string(300, 'k'));
    EXPECT_EQ(longComment.GetText(), "NOP\t00000000\t00000000\t" + std::string(255, 'k'));
    EXPECT_EQ(longComment.GetDisplayLine(), "NOP\t\t\t" + std::string(100, 'k'));

    struct Case {
        const char* column;
        uint32_t value;
    } numbers[] = {
        {"13", 13},           {"0x13", 0x13},       {"013", 013},          {"", 0},
        {"zz", 0},            {"12zz", 12},         {" 7", 7},             {"0xFFFFFFFF", 0xFFFFFFFF},
        {"0x80000000", 0x80000000u}, {"-1", 0xFFFFFFFF}, {"0x123456789", 0x23456789}, {"08", 0},
    };
    for (const auto& n : numbers) {
        const CCodeItem item(std::string("WM32\t") + n.column + "\t\t");
        int code;
        uint32_t address = 1, value = 1;
        std::string comment;
        item.GetFields(code, address, value, comment);
        EXPECT_EQ(address, n.value) << '"' << n.column << '"';
    }
}

TEST(CodeItem, FieldParseOfStoredTextsFromAFile)
{
    struct Case {
        const char* text;
        int code;
        uint32_t address, value;
        const char* comment;
        const char* display;
    } cases[] = {
        {"XYZ\t00000010\t00000020\tc", CCodeItem::Wm32, 0x10, 0x20, "c", "XYZ\t0x00000010\t0x00000020\tc"},
        {"", CCodeItem::Wm32, 0, 0, "", "\t0x00000000\t0x00000000\t"},
        {"WM8\tzz\t12\tc", CCodeItem::Wm8, 0, 0, "c", "WM8\t0x00000000\t0x00\tc"},
        {"WM8 10 20", CCodeItem::Wm8, 0x10, 0x20, "", "WM8\t0x00000010\t0x20\t"},
        {"DELAY\t0\t3E8\ta\tb", CCodeItem::Delay, 0, 1000, "a\tb", "DELAY\t\t1000\ta\tb"},
    };
    for (const auto& c : cases) {
        CCodeItem item;
        item.SetText(c.text);
        int code = -1;
        uint32_t address = 1, value = 1;
        std::string comment;
        item.GetFields(code, address, value, comment);
        EXPECT_EQ(code, c.code) << c.text;
        EXPECT_EQ(address, c.address) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(comment, c.comment) << c.text;
        EXPECT_EQ(item.GetDisplayLine(), c.display) << c.text;
    }
}

TEST(CodeItem, StrictParseNamesWhatIsWrongAndChangesNothing)
{
    struct Case {
        std::string line;
        const char* reason;
    } cases[] = {
        {"FOO\t0x10\t\t", "unknown action type \"FOO\""},
        {"\t1\t2\t", "no action type"},
        {"WM32\t0x1G\t\t", "address \"0x1G\" is not a number from 0 to 0xFFFFFFFF"},
        {"WM32\t0x100000000\t\t", "address \"0x100000000\" is not a number from 0 to 0xFFFFFFFF"},
        {"WM32\t0\t-1\t", "value \"-1\" is not a number from 0 to 0xFFFFFFFF"},
        {"WM32\t1\t2\tc\textra", "more than four tab-separated columns"},
        {"NOP\t\t\t" + std::string(101, 'c'), "the comment is longer than 100 characters"},
        {"NOP\t" + std::string(256, '1') + "\t\t", "the address column is longer than 255 characters"},
        {"DELAY\t\t30000\t", "a delay of 30000 ms is not below 30000 ms"},
        {"EXEC\t0x100\t0xFFFFFFFF\t", "a run time of 4294967295 ms is not below 30000 ms"},
    };
    for (const auto& c : cases) {
        CCodeItem item(CCodeItem::Nop, 0, 0, "before");
        std::string reason;
        EXPECT_FALSE(CCodeItem::ParseLine(c.line, item, reason)) << c.line;
        EXPECT_EQ(reason, c.reason);
        EXPECT_EQ(item.GetText(), "NOP\t00000000\t00000000\tbefore");
    }
    CCodeItem item;
    std::string reason;
    EXPECT_TRUE(CCodeItem::ParseLine(" delay \t\t 100 \tok", item, reason)) << reason;
    EXPECT_EQ(item.GetText(), "DELAY\t00000000\t00000064\tok");
    EXPECT_TRUE(CCodeItem::ParseLine("DELAY\t\t29999\t", item, reason)) << reason;
    EXPECT_TRUE(CCodeItem::ParseLine(" delay \t\t 100 \tok", item, reason)) << reason;
    EXPECT_EQ(item.GetText(), "DELAY\t00000000\t00000064\tok");
    EXPECT_TRUE(CCodeItem::ParseLine("NOP", item, reason)) << reason;
    EXPECT_EQ(item.GetText(), "NOP\t00000000\t00000000\t");
}

TEST(CodeList, EmptyListIsTwoZeroBytes)
{
    CCodeList list;
    CArchive out;
    list.Serialize(out);
    EXPECT_EQ(out.GetBuffer(), (Bytes{0x00, 0x00}));
}

TEST(CodeList, EntriesAreTaggedObjectsClassTagOnceThenReference)
{
    CCodeList list;
    list.Add(CCodeItem(CCodeItem::Wm32, 0xFFFFF124, 1, "x"));
    list.Add(std::unique_ptr<CCodeItem>());
    list.Add(CCodeItem(CCodeItem::Delay, 0, 100, ""));
    CArchive out;
    list.Serialize(out);
    ASSERT_TRUE(out.Ok());
    EXPECT_EQ(out.GetBuffer(), Cat({{0x03, 0x00}, kNewCodeItemClass, StoredString("WM32\tFFFFF124\t00000001\tx"),
                                    {0x00, 0x00},
                                    {0x01, 0x80}, StoredString("DELAY\t00000000\t00000064\t")}));

    CCodeList back;
    CArchive in(out.GetBuffer());
    back.Serialize(in);
    ASSERT_TRUE(in.Ok()) << in.GetErrorText();
    EXPECT_EQ(back, list);

    int code = 7;
    uint32_t address = 7, value = 7;
    std::string line = "x";
    EXPECT_FALSE(back.GetItemFields(1, code, address, value));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(address, 0u);
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(back.GetItemDisplayLine(1, line));
    EXPECT_EQ(line, "");
    EXPECT_FALSE(back.GetItemFields(3, code, address, value));
    EXPECT_TRUE(back.GetItemFields(2, code, address, value));
    EXPECT_EQ(code, CCodeItem::Delay);
    EXPECT_EQ(value, 100u);
}

TEST(CodeList, EveryTypeRoundTripsThroughTheArchiveAcrossLists)
{
    // Two lists in one archive share the running index: the second list's
    // first entry uses the class reference, not a second class tag.
    const CCodeList first = EveryTypeList();
    CCodeList second;
    second.Add(CCodeItem(CCodeItem::Loop, 8, 3, "more"));
    CArchive out;
    CCodeList a = first, b = second;
    a.Serialize(out);
    const size_t firstEnd = out.GetBuffer().size();
    b.Serialize(out);
    EXPECT_EQ(out.GetBuffer()[firstEnd + 2], 0x01);
    EXPECT_EQ(out.GetBuffer()[firstEnd + 3], 0x80);

    CCodeList readA, readB;
    CArchive in(out.GetBuffer());
    readA.Serialize(in);
    readB.Serialize(in);
    ASSERT_TRUE(in.Ok()) << in.GetErrorText();
    EXPECT_EQ(readA, first);
    EXPECT_EQ(readB, second);
}

TEST(CodeList, SeventyThousandEntriesUseTheLongCount)
{
    CCodeList list;
    for (uint32_t i = 0; i < 70000; ++i)
        list.Add(CCodeItem(CCodeItem::Wm32, i, ~i, ""));
    CArchive out;
    list.Serialize(out);
    ASSERT_TRUE(out.Ok());
    EXPECT_EQ(Bytes(out.GetBuffer().begin(), out.GetBuffer().begin() + 6),
              (Bytes{0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
    CCodeList back;
    CArchive in(out.GetBuffer());
    back.Serialize(in);
    ASSERT_TRUE(in.Ok()) << in.GetErrorText();
    EXPECT_EQ(back, list);
}

TEST(CodeList, AReferenceToAnEarlierEntryReadsAsACopy)
{
    const std::string text = "WM8\t00000001\t00000002\tshared";
    const Bytes buf = Cat({{0x02, 0x00}, kNewCodeItemClass, StoredString(text), {0x02, 0x00}});
    CCodeList list;
    CArchive in(buf);
    list.Serialize(in);
    ASSERT_TRUE(in.Ok()) << in.GetErrorText();
    ASSERT_EQ(list.GetCount(), 2u);
    ASSERT_NE(list.GetAt(0), list.GetAt(1));
    EXPECT_EQ(list.GetAt(1)->GetText(), text);
    // Owned separately: deleting the list frees each once (no double delete).
    list.DeleteAll();
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(CodeList, ReferencesMayNotCopyMoreThanTheFileHolds)
{
    // One long entry and two-byte references to it: each reference would copy
    // the whole text, so three of them already ask for more than the file's size.
    const std::string text = "WM8\t00000001\t00000002\t" + std::string(200, 'c');
    const Bytes head = Cat({kNewCodeItemClass, StoredString(text)});
    const Bytes fits = Cat({{0x02, 0x00}, head, {0x02, 0x00}});
    const Bytes tooMany = Cat({{0x04, 0x00}, head, {0x02, 0x00, 0x02, 0x00, 0x02, 0x00}});

    CCodeList list;
    CArchive ok(fits);
    list.Serialize(ok);
    ASSERT_TRUE(ok.Ok()) << ok.GetErrorText();
    EXPECT_EQ(list.GetAt(1)->GetText(), text);

    list = EveryTypeList();
    CArchive in(tooMany);
    list.Serialize(in);
    EXPECT_EQ(in.GetError(), EArchiveError::TooLarge);
    EXPECT_NE(in.GetErrorText().find("copy more than the file's own"), std::string::npos) << in.GetErrorText();
    EXPECT_EQ(list, EveryTypeList());
}

TEST(CodeList, ABadFileLeavesTheListUnchanged)
{
    const Bytes cases[] = {
        // a dangling reference: index 3 is not given yet
        Cat({{0x02, 0x00}, kNewCodeItemClass, StoredString("NOP\t0\t0\t"), {0x03, 0x00}}),
        // a reference to the class, not an entry
        Cat({{0x02, 0x00}, kNewCodeItemClass, StoredString("NOP\t0\t0\t"), {0x01, 0x00}}),
        // another class where an entry belongs
        Cat({{0x01, 0x00}, {0xFF, 0xFF, 0x00, 0x00, 0x09, 0x00}, Str("CEraseMap")}),
        // more entries than the file holds
        Cat({{0x03, 0x00}, kNewCodeItemClass, StoredString("NOP\t0\t0\t"), {0x00, 0x00}}),
    };
    for (const auto& buf : cases) {
        CCodeList list = EveryTypeList();
        CArchive in(buf);
        list.Serialize(in);
        EXPECT_FALSE(in.Ok());
        EXPECT_EQ(list, EveryTypeList());
    }
}

TEST(CodeList, TextLinesRoundTripEveryType)
{
    CCodeList list = EveryTypeList();
    list.Add(std::unique_ptr<CCodeItem>()); // empty slots are not exported
    const std::string text = list.ToLines();
    std::string expected;
    for (const auto& c : kEveryType)
        expected += std::string(c.display) + "\n";
    EXPECT_EQ(text, expected);

    CCodeList back;
    std::string errors;
    ASSERT_TRUE(back.ParseLines(text, errors)) << errors;
    EXPECT_EQ(back, EveryTypeList());
}

// A project file can hold a comment that ends in carriage returns; each
// round trip through the text form must keep all of them.
TEST(CodeList, ACommentEndingInCarriageReturnsSurvivesTheTextForm)
{
    CCodeList list;
    auto item = std::make_unique<CCodeItem>();
    item->SetText("WM32\t00000010\t00000001\tnote\r\r");
    list.Add(std::move(item));
    CCodeList back = list;
    for (int round = 0; round < 3; ++round) {
        std::string errors;
        ASSERT_TRUE(back.ParseLines(back.ToLines(), errors)) << errors;
    }
    ASSERT_EQ(back.GetCount(), 1u);
    EXPECT_EQ(back.GetAt(0)->GetDisplayLine(), list.GetAt(0)->GetDisplayLine());
}

TEST(CodeList, ParseLinesAcceptsCrLfAndBlankLines)
{
    CCodeList list;
    std::string errors;
    ASSERT_TRUE(list.ParseLines("WM32\t0x10\t0x1\ta\r\n\r\n   \nDELAY\t\t5\tb", errors)) << errors;
    ASSERT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.GetAt(0)->GetText(), "WM32\t00000010\t00000001\ta");
    EXPECT_EQ(list.GetAt(1)->GetText(), "DELAY\t00000000\t00000005\tb");
    ASSERT_TRUE(list.ParseLines("", errors));
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(CodeList, ParseLinesReportsEveryBadLineAndChangesNothing)
{
    CCodeList list = EveryTypeList();
    std::string errors;
    EXPECT_FALSE(list.ParseLines("NOP\t\t\tok\nFOO\t1\t2\t\n\nWM8\t0x10\t0xZZ\t\n", errors));
    EXPECT_EQ(errors, "line 2: unknown action type \"FOO\"\n"
                      "line 4: value \"0xZZ\" is not a number from 0 to 0xFFFFFFFF");
    EXPECT_EQ(list, EveryTypeList());
    // Columns lined up with spaces: the message says what separates them.
    EXPECT_FALSE(list.ParseLines("WM32    0x10    0x1\n", errors));
    EXPECT_EQ(errors, "line 1: unknown action type \"WM32    0x10    0x1\" (the columns are separated by TAB "
                      "characters, not spaces)");
}

TEST(CodeList, CopiesAreDeep)
{
    CCodeList original = EveryTypeList();
    CCodeList copy = original;
    copy.GetAt(0)->SetFields(CCodeItem::Wm8, 1, 2, "changed");
    EXPECT_EQ(original.GetAt(0)->GetText(), kEveryType[0].text);
    EXPECT_NE(copy, original);
}
