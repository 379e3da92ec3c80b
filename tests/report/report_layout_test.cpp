// The setup report's layout over a canvas with fixed measures: every
// character is w = 10 units wide, the normal and bold fonts are h = 10 high,
// the title font 20; a page is 1000 x 400 units, so L = 120, R = 960 and
// the body ends at B = 360. A default project just fits on one page.
#include "catalogue/flash_catalogue.h"
#include "project/code_item.h"
#include "project/qpg_doc.h"
#include "report/report_content.h"
#include "report/report_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using EFont = CReportCanvas::EFont;

struct SDrawn {
    int page;
    EFont font;
    int x;
    int y;
    std::string text;
    bool operator==(const SDrawn&) const = default;
};

class CFixedCanvas final : public CReportCanvas {
public:
    explicit CFixedCanvas(int height = 400) : height_(height) {}
    int PageWidth() const override { return 1000; }
    int PageHeight() const override { return height_; }
    int FontHeight(EFont font) const override { return font == EFont::Title ? 20 : 10; }
    int AverageCharWidth() const override { return 10; }
    int TextWidth(EFont, std::string_view text) const override { return 10 * static_cast<int>(text.size()); }
    void BeginPage(int page) override { page_ = page; }
    void DrawText(EFont font, int x, int y, std::string_view text) override
    {
        drawn.push_back({page_, font, x, y, std::string(text)});
    }
    void DrawLine(int x1, int y1, int x2, int y2) override
    {
        drawn.push_back({page_, EFont::Normal, x1, y1, "line to " + std::to_string(x2) + "," + std::to_string(y2)});
    }

    // What page `page` shows, top to bottom.
    std::vector<SDrawn> Page(int page) const
    {
        std::vector<SDrawn> out;
        for (const SDrawn& d : drawn)
            if (d.page == page)
                out.push_back(d);
        return out;
    }
    // The footer's texts of a page (at y = 400 - 3h + h / 4).
    std::vector<std::pair<int, std::string>> Footer(int page) const
    {
        std::vector<std::pair<int, std::string>> out;
        for (const SDrawn& d : drawn)
            if (d.page == page && d.y == height_ - 28)
                out.emplace_back(d.x, d.text);
        return out;
    }
    const SDrawn* Find(int page, const std::string& text) const
    {
        for (const SDrawn& d : drawn)
            if (d.page == page && d.text == text)
                return &d;
        return nullptr;
    }

    std::vector<SDrawn> drawn;

private:
    int height_;
    int page_ = 0;
};

constexpr int L = 120;
constexpr int R = 960;

CReportContent Content(const CQpgDoc& doc)
{
    return CReportContent(doc, "proj.tvl", " / 12.6.26");
}

void AddEntries(CCodeList& list, int count)
{
    for (int i = 0; i < count; ++i)
        list.Add(CCodeItem(CCodeItem::Wm32, 0x1000 + 4 * i, i, "entry" + std::to_string(i)));
}

// The first catalogue device that erases by sectors, and one that cannot.
std::string Device(bool erasable)
{
    for (int i = 1; i < CFlashCatalogue::FlashDeviceCount(); ++i) {
        const SFlashDevice* d = CFlashCatalogue::FlashDeviceAt(i);
        if ((d->eraseAlgorithm != 0) == erasable && (!erasable || d->sectorCount >= 4))
            return d->name;
    }
    return {};
}

TEST(ReportLayout, DefaultProjectIsOnePageWithEverySectionAndNoPageNumber)
{
    CQpgDoc doc(false);
    CReportLayout layout(Content(doc));
    CFixedCanvas canvas;
    EXPECT_EQ(layout.PrintAll(canvas), 1);

    // Header and its rule, the title, every section title in order.
    const SDrawn* left = canvas.Find(1, "header left");
    ASSERT_TRUE(left);
    EXPECT_EQ(left->x, L);
    EXPECT_EQ(left->y, 10);
    const SDrawn* right = canvas.Find(1, "header right");
    ASSERT_TRUE(right);
    EXPECT_EQ(right->x + 10 * 12, R);
    EXPECT_TRUE(canvas.Find(1, "line to 960,20"));
    const SDrawn* title = canvas.Find(1, "setup title");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->font, EFont::Title);
    EXPECT_EQ(title->y, 40);
    int lastY = title->y;
    for (const char* section : {"Load", "Store", "Dump", "Fill", "Checksum", "Program", "Verify", "Erase",
                                "Communication", "Target Memory Setup"}) {
        const SDrawn* d = canvas.Find(1, section);
        ASSERT_TRUE(d) << section;
        EXPECT_EQ(d->font, EFont::Bold) << section;
        EXPECT_EQ(d->x, L) << section;
        EXPECT_GT(d->y, lastY) << section;
        lastY = d->y;
    }
    EXPECT_EQ(canvas.Find(1, "Load")->y, 90); // two lines below the comment's place
    const SDrawn* offset = canvas.Find(1, "Offset: 0x00000000");
    ASSERT_TRUE(offset);
    EXPECT_EQ(offset->x, L + 210);
    const SDrawn* checksum = canvas.Find(1, "Type: BYTE   Destination: 0x00000000   Type: WORD");
    ASSERT_TRUE(checksum);
    EXPECT_EQ(checksum->x, L + 500);
    EXPECT_TRUE(canvas.Find(1, "0x00000000...0x00000000"));
    EXPECT_TRUE(canvas.Find(1, "Pattern: 0xFFFFFFFF"));
    EXPECT_TRUE(canvas.Find(1, "COM1 / 9600 bps"));
    for (const char* value : {"Memory Type:", "NONE", "16 Bit", "8 MHz", "none", "ARM7TDMI", "Little"})
        EXPECT_TRUE(canvas.Find(1, value)) << value;
    EXPECT_EQ(canvas.Find(1, "Endian:")->y, 350); // the last line just above B

    // Footer: rule, program name, title and date right-aligned, no number.
    EXPECT_TRUE(canvas.Find(1, "line to 960,370"));
    const std::vector<std::pair<int, std::string>> footer = {{L, "Tarvel"}, {R - 10 * 18, "proj.tvl / 12.6.26"}};
    EXPECT_EQ(canvas.Footer(1), footer);
    EXPECT_FALSE(layout.PrintPage(canvas, 2));
}

TEST(ReportLayout, EraseSectionListsTheSelectionOrSaysNoErase)
{
    const std::string erasable = Device(true);
    const std::string pageWrite = Device(false);
    ASSERT_FALSE(erasable.empty());
    ASSERT_FALSE(pageWrite.empty());
    struct SCase {
        std::string device;
        std::vector<std::pair<int, int>> selected;
        std::vector<std::string> expected; // texts at L + 35w, in order
    } cases[] = {
        {"NONE", {}, {"no erase"}},
        {"Not A Device", {{0, 1}}, {"no erase"}},
        {pageWrite, {{0, 1}}, {"no erase"}},
        {erasable, {}, {}},
        {erasable, {{1, 0}, {0, 3}, {0, 1}}, {"0/1, ", "0/3, ", "1/0"}},
        // The map has a bank more than the project: that bank is not listed.
        {erasable, {{2, 0}, {0, 1}}, {"0/1"}},
    };
    for (const SCase& c : cases) {
        CQpgDoc doc(false);
        doc.memoryType = c.device;
        doc.bankCount = 2;
        doc.eraseMap.Resize(3, 8);
        for (auto [bank, sector] : c.selected)
            doc.eraseMap.SelectSector(bank, sector, 1);
        CReportLayout layout(Content(doc));
        CFixedCanvas canvas;
        layout.PrintAll(canvas);
        const SDrawn* label = canvas.Find(1, "Bank/Sector: ");
        ASSERT_TRUE(label) << c.device;
        EXPECT_EQ(label->x, L + 210);
        std::vector<std::string> list;
        for (const SDrawn& d : canvas.drawn)
            if (d.y == label->y && d.x >= L + 350)
                list.push_back(d.text);
        EXPECT_EQ(list, c.expected) << c.device;
    }
}

TEST(ReportLayout, InitListContinuesOnTheNextPageWithoutItsTitle)
{
    CQpgDoc doc(false);
    AddEntries(doc.mainList, 40);
    doc.mainList.Add(std::unique_ptr<CCodeItem>()); // an empty slot prints no line
    AddEntries(doc.preEraseList, 1);
    CReportLayout layout(Content(doc));
    CFixedCanvas canvas;
    ASSERT_EQ(layout.PrintAll(canvas), 3);

    // No room below the setup for the title and an entry: the list starts on page 2.
    EXPECT_FALSE(canvas.Find(1, "Target Main Initlist"));
    const SDrawn* title = canvas.Find(2, "Target Main Initlist");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->y, 30);
    // Entries from y = 40 while y + h < B: 31 of them, then page 3 goes on.
    EXPECT_TRUE(canvas.Find(2, "entry30"));
    EXPECT_FALSE(canvas.Find(2, "entry31"));
    EXPECT_FALSE(canvas.Find(3, "Target Main Initlist"));
    const SDrawn* next = canvas.Find(3, "entry31");
    ASSERT_TRUE(next);
    EXPECT_EQ(next->y, 30);
    EXPECT_TRUE(canvas.Find(3, "entry39"));
    // The next list's title is drawn again.
    EXPECT_TRUE(canvas.Find(3, "Target Pre-Erase Initlist"));
    const SDrawn* first = canvas.Find(2, "WM32");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->x, L);
    const std::vector<CReportLayout::SPageStart> starts = {
        {CReportLayout::Title, 0, true}, {CReportLayout::MainList, 0, true}, {CReportLayout::MainList, 31, false}};
    EXPECT_EQ(layout.PageStarts(), starts);

    // Every page of a report of several pages carries its number, centred at R / 2.
    for (int page = 1; page <= 3; ++page) {
        const std::vector<std::pair<int, std::string>> footer = {
            {L, "Tarvel"}, {R / 2 - 5, std::to_string(page)}, {R - 10 * 18, "proj.tvl / 12.6.26"}};
        EXPECT_EQ(canvas.Footer(page), footer) << page;
    }
}

TEST(ReportLayout, CommentWrapsWordsKeepsLongWordsAndFollowsTabsAndLineBreaks)
{
    const std::string longWord(100, 'x'); // 1000 units: wider than the line
    struct SCase {
        std::string comment;
        std::vector<std::pair<int, int>> positions; // (x, y) of each word in order
    } cases[] = {
        // "ab\tc": the tab moves to the next multiple of 8w from L.
        {"ab\tcd", {{L, 70}, {L + 80, 70}}},
        {"abcdefgh\tc", {{L, 70}, {L + 160, 70}}},
        // A line break; other control characters are skipped.
        {"ab\ncd\x01" "ef", {{L, 70}, {L, 80}, {L + 20, 80}}},
        // Too wide for the line: the word moves to the next line, and a word
        // longer than the line is drawn anyway, past R.
        {"ab " + longWord + " cd", {{L, 70}, {L, 80}, {L, 90}}},
        // A word ending exactly at R stays on the line.
        {std::string(78, 'y') + " " + std::string(5, 'z'), {{L, 70}, {L + 790, 70}}},
    };
    for (const SCase& c : cases) {
        CQpgDoc doc(false);
        doc.comment = c.comment;
        CReportLayout layout(Content(doc));
        CFixedCanvas canvas;
        layout.PrintAll(canvas);
        std::vector<std::pair<int, int>> positions;
        for (const SDrawn& d : canvas.Page(1))
            if (d.y >= 70 && d.font == EFont::Normal && d.y < canvas.Find(1, "Load")->y)
                positions.emplace_back(d.x, d.y);
        EXPECT_EQ(positions, c.positions) << c.comment;
    }
}

TEST(ReportLayout, CommentIsCutAtTheBodyEndAndTheSectionsMoveOn)
{
    CQpgDoc doc(false);
    for (int i = 0; i < 60; ++i)
        doc.comment += "row" + std::to_string(i) + "\n";
    CReportLayout layout(Content(doc));
    CFixedCanvas canvas;
    EXPECT_EQ(layout.PrintAll(canvas), 2);
    int lowest = 0;
    for (const SDrawn& d : canvas.Page(1))
        if (d.text.rfind("row", 0) == 0)
            lowest = std::max(lowest, d.y);
    EXPECT_EQ(lowest, 350);
    EXPECT_TRUE(canvas.Find(1, "row28"));
    EXPECT_FALSE(canvas.Find(1, "row29"));
    EXPECT_FALSE(canvas.Find(2, "row29"));
    EXPECT_FALSE(canvas.Find(1, "Load"));
    EXPECT_EQ(canvas.Find(2, "Load")->y, 40);
}

TEST(ReportLayout, InitListTabsStopAtThreeColumnsAndALongWordEndsTheLine)
{
    CQpgDoc doc(false);
    CReportContent content = Content(doc);
    content.lists[0].entries = {std::string("WM32\t0x1\t0x2\tcomment\tafter"),
                                std::string("a\tb\t") + std::string(57, 'w') + " tail"};
    CReportLayout layout(content);
    CFixedCanvas canvas(800);
    layout.PrintAll(canvas);
    const int y = canvas.Find(1, "WM32")->y;
    std::vector<std::pair<int, std::string>> line1, line2;
    for (const SDrawn& d : canvas.drawn) {
        if (d.y == y)
            line1.emplace_back(d.x, d.text);
        if (d.y == y + 10)
            line2.emplace_back(d.x, d.text);
    }
    // The fourth tab does not move: "after" follows "comment" directly.
    const std::vector<std::pair<int, std::string>> expected1 = {
        {L, "WM32"}, {L + 100, "0x1"}, {L + 260, "0x2"}, {L + 420, "comment"}, {L + 490, "after"}};
    EXPECT_EQ(line1, expected1);
    // 58 characters from L + 260 end at 960 = R: drawn; "tail" would pass R.
    const std::vector<std::pair<int, std::string>> expected2 = {
        {L, "a"}, {L + 100, "b"}, {L + 260, std::string(57, 'w') + " "}};
    EXPECT_EQ(line2, expected2);
}

// A report far longer than 19 pages keeps every page and every entry, once.
TEST(ReportLayout, LongReportKeepsEveryPageAndEntry)
{
    CQpgDoc doc(false);
    AddEntries(doc.mainList, 1000);
    AddEntries(doc.postProgramList, 1000);
    CReportLayout layout(Content(doc));
    CFixedCanvas canvas;
    const int pages = layout.PrintAll(canvas);
    EXPECT_GT(pages, 60);
    std::vector<std::string> comments;
    for (const SDrawn& d : canvas.drawn)
        if (d.text.rfind("entry", 0) == 0)
            comments.push_back(d.text);
    ASSERT_EQ(comments.size(), 2000u);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(comments[i], "entry" + std::to_string(i));
        EXPECT_EQ(comments[1000 + i], "entry" + std::to_string(i));
    }
    EXPECT_TRUE(canvas.Find(pages, std::to_string(pages)));
}

TEST(ReportLayout, PagesProducedOutOfOrderShowTheSameContent)
{
    CQpgDoc doc(false);
    AddEntries(doc.mainList, 70);
    doc.comment = "some words\tand a tab";
    CReportLayout inOrder(Content(doc));
    CFixedCanvas reference;
    ASSERT_EQ(inOrder.PrintAll(reference), 4);

    CReportLayout layout(Content(doc));
    doc.comment = "changed after the run began";
    CFixedCanvas canvas;
    for (int page : {3, 1, 4, 2, 3, 1, 2, 4}) {
        canvas.drawn.clear();
        ASSERT_TRUE(layout.PrintPage(canvas, page));
        EXPECT_EQ(canvas.drawn, reference.Page(page)) << page;
    }
    EXPECT_FALSE(layout.PrintPage(canvas, 5));
    EXPECT_FALSE(layout.PrintPage(canvas, 0));
    // A new run starts again from page 1.
    layout.Prepare();
    EXPECT_EQ(layout.PageCount(), 0);
    EXPECT_EQ(layout.CountPages(canvas), 4);
}

// A selection too long for its page continues on the next one; no selected
// sector is left out.
TEST(ReportLayout, LongEraseListContinuesOnTheNextPage)
{
    const std::string device = Device(true);
    uint32_t sectors = 0;
    ASSERT_TRUE(CFlashCatalogue::GetFlashSectorCount(device, sectors));
    CQpgDoc doc(false);
    doc.memoryType = device;
    doc.bankCount = 16;
    doc.eraseMap.Resize(16, static_cast<int>(sectors));
    std::vector<std::string> expected;
    for (int bank = 0; bank < 16; ++bank)
        for (int sector = 0; sector < static_cast<int>(sectors); ++sector) {
            doc.eraseMap.SelectSector(bank, sector, 1);
            expected.push_back(std::to_string(bank) + "/" + std::to_string(sector));
        }
    CReportLayout layout(Content(doc));
    CFixedCanvas canvas;
    const int pages = layout.PrintAll(canvas);
    EXPECT_GE(pages, 2);
    std::vector<std::string> listed;
    std::vector<int> listPages;
    for (const SDrawn& d : canvas.drawn) {
        if (d.x >= L + 350 && d.text.find('/') != std::string::npos && d.text.find("Tarvel") == std::string::npos
            && d.text.find("proj") == std::string::npos) {
            std::string t = d.text;
            if (t.size() > 2 && t.substr(t.size() - 2) == ", ")
                t.resize(t.size() - 2);
            listed.push_back(t);
            listPages.push_back(d.page);
            EXPECT_LE(d.y + 10, 360) << t;
        }
    }
    EXPECT_EQ(listed, expected);
    ASSERT_FALSE(listPages.empty());
    EXPECT_EQ(listPages.front(), 1);
    EXPECT_EQ(listPages.back(), 2);
    EXPECT_EQ(std::count_if(canvas.drawn.begin(), canvas.drawn.end(), [](const SDrawn& d) { return d.text == "Erase"; }),
              1);
}

// A page too small for a section still ends: the section is drawn at its top.
TEST(ReportLayout, PageTooSmallForASectionStillEnds)
{
    CQpgDoc doc(false);
    AddEntries(doc.mainList, 3);
    CReportLayout layout(Content(doc));
    CFixedCanvas canvas(90); // B = 50: less than the memory setup needs
    const int pages = layout.CountPages(canvas);
    EXPECT_GT(pages, 5);
    layout.PrintAll(canvas);
    for (const char* text : {"Load", "Verify", "Target Memory Setup", "Endian:", "entry0", "entry2"})
        EXPECT_TRUE(std::any_of(canvas.drawn.begin(), canvas.drawn.end(),
                                [&](const SDrawn& d) { return d.text == text; }))
            << text;
}

TEST(ReportContent, TextsOfTheTargetAndChannel)
{
    CQpgDoc doc(false);
    doc.targetChannel = 4;
    doc.probeAddress = "10.0.0.7";
    doc.busWidth = 2;
    doc.bankCount = 3;
    doc.physicalRange.SetStart(0x80000000);
    doc.useTargetAlgorithm = true;
    doc.workspace = 0x40000000;
    doc.targetOptions = 0x010F00; // adaptive clock, CPU 15, big-endian
    doc.storeRange = CMemoryRange(0x100, 0x200, 1);
    const CReportContent c = Content(doc);
    EXPECT_EQ(c.communication.second, "Network / 10.0.0.7");
    EXPECT_EQ(c.operations[1].second, "0x00000100...0x000002FF");
    const std::vector<std::string> values = {"NONE", "32 Bit", "3", "0x80000000", "Adaptive", "0x40000000", "FA526",
                                             "Big"};
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(c.memorySetup[i].value, values[i]) << c.memorySetup[i].label;

    // Codes a damaged project file may hold are named by their number.
    doc.targetChannel = 0;
    doc.targetBaud = 9;
    doc.busWidth = 7;
    doc.checksumType = 5;
    doc.targetOptions = 0x2A0B;
    const CReportContent d = Content(doc);
    EXPECT_EQ(d.communication.second, "COM1 / unknown (9) bps");
    EXPECT_EQ(d.memorySetup[1].value, "unknown (7)");
    EXPECT_EQ(d.memorySetup[4].value, "unknown (11)");
    EXPECT_EQ(d.memorySetup[6].value, "unknown (42)");
    EXPECT_EQ(d.operations[4].third, "Type: unknown (5)   Destination: 0x00000000   Type: WORD");
}

} // namespace
