// The report's PDF and plain text forms.
#include "project/code_item.h"
#include "project/qpg_doc.h"
#include "report/base_font_widths.h"
#include "report/pdf_report_canvas.h"
#include "report/report_layout.h"
#include "report/text_report_canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

namespace {

TEST(BaseFontWidths, MeasuresInWinAnsiWhateverTheEncoding)
{
    // UTF-8 and Windows-1252 bytes give the same characters.
    EXPECT_EQ(CBaseFontWidths::ToWinAnsi("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"), "Gr\xFC\xDF" "e \x80");
    EXPECT_EQ(CBaseFontWidths::ToWinAnsi("Gr\xFC\xDF" "e"), "Gr\xFC\xDF" "e");
    // Characters the code page lacks, and bytes it leaves undefined, become "?".
    EXPECT_EQ(CBaseFontWidths::ToWinAnsi("\xE6\x97\xA5 \x81"), "? ?");
    // A truncated sequence is not UTF-8.
    EXPECT_EQ(CBaseFontWidths::ToWinAnsi("a\xC3"), "a\xC3");
    // "W" is wider in bold than "i"; both faces' digits are equal.
    EXPECT_EQ(CBaseFontWidths::TextWidth(false, "0123456789", 1000), 5560);
    EXPECT_EQ(CBaseFontWidths::TextWidth(true, "0123456789", 1000), 5560);
    EXPECT_EQ(CBaseFontWidths::TextWidth(false, "Wi", 1000), 944 + 222);
    EXPECT_EQ(CBaseFontWidths::TextWidth(true, "Wi", 1000), 944 + 278);
    EXPECT_EQ(CBaseFontWidths::TextWidth(false, "\xC3\xBC", 1000), 556);
}

TEST(PdfReportCanvas, WritesAWellFormedDocument)
{
    CQpgDoc doc(false);
    doc.setupTitle = "Board (rev. B) \\ 100% \xC3\xBC";
    for (int i = 0; i < 150; ++i)
        doc.mainList.Add(CCodeItem(CCodeItem::Wm32, 0x1000 + 4 * i, i, "item" + std::to_string(i)));
    CReportLayout layout(CReportContent(doc, "board.tvl", " / 6.12.2026"));
    CPdfReportCanvas canvas;
    EXPECT_EQ(canvas.FontHeight(CReportCanvas::EFont::Normal), 90);
    EXPECT_EQ(canvas.FontHeight(CReportCanvas::EFont::Title), 140);
    EXPECT_EQ(canvas.AverageCharWidth(), 40); // 0.441 of the font size
    const int pages = layout.PrintAll(canvas);
    EXPECT_EQ(pages, 3);
    const std::string pdf = canvas.Document("board.tvl");

    ASSERT_EQ(pdf.rfind("%PDF-1.4\n", 0), 0u);
    ASSERT_GE(pdf.size(), 6u);
    EXPECT_EQ(pdf.substr(pdf.size() - 6), "%%EOF\n");
    EXPECT_NE(pdf.find("/Count 3 >>"), std::string::npos);
    // Every cross-reference entry points at its object.
    const size_t xref = std::stoul(pdf.substr(pdf.rfind("startxref\n") + 10));
    const size_t objects = 5 + 2 * static_cast<size_t>(pages);
    const std::string header = "xref\n0 " + std::to_string(objects + 1) + "\n";
    ASSERT_EQ(pdf.compare(xref, header.size(), header), 0);
    for (size_t i = 1; i <= objects; ++i) {
        const size_t offset = std::stoul(pdf.substr(xref + header.size() + 20 * i, 10));
        const std::string object = std::to_string(i) + " 0 obj\n";
        EXPECT_EQ(pdf.compare(offset, object.size(), object), 0) << i;
    }
    // Each content stream's length is right.
    const std::regex stream(R"(<< /Length (\d+) >>\nstream\n)");
    int streams = 0;
    for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), stream); it != std::sregex_iterator(); ++it) {
        const size_t end = static_cast<size_t>(it->position()) + it->length() + std::stoul((*it)[1]);
        EXPECT_EQ(pdf.compare(end, 9, "endstream"), 0);
        ++streams;
    }
    EXPECT_EQ(streams, pages);
    // Text as string literals with escapes, the title in the bold 14 pt face.
    EXPECT_TRUE(std::regex_search(pdf, std::regex(R"(/F2 14 Tf 66\.0 [0-9.]+ Td \(Board \\\(rev\. B\\\) \\\\ 100% \\374\) Tj)")));
    EXPECT_NE(pdf.find("(Tarvel) Tj"), std::string::npos);
}

TEST(TextReportCanvas, SameLinesAndPageBreaksAsThePdf)
{
    CQpgDoc doc(false);
    doc.comment = "First paragraph.\nSecond\tone.";
    for (int i = 0; i < 150; ++i)
        doc.mainList.Add(CCodeItem(CCodeItem::Wm32, 0x1000 + 4 * i, i, "item" + std::to_string(i)));
    CPdfReportCanvas measures;
    CReportLayout layout(CReportContent(doc, "board.tvl", " / 6.12.2026"));
    CTextReportCanvas text(measures);
    ASSERT_EQ(layout.PrintAll(text), 3);
    const std::string out = text.Text();

    EXPECT_EQ(std::count(out.begin(), out.end(), '\f'), 2);
    const size_t page2 = out.find('\f');
    // The first lines of page 1: header, rule, title, the comment's lines.
    const std::string expectedStart = "            header left";
    EXPECT_EQ(out.rfind(expectedStart, 0), 0u) << out.substr(0, 200);
    EXPECT_TRUE(std::regex_search(out.substr(0, page2), std::regex("\n {12}-{100,}\n\n {12}setup title\n\n {12}First paragraph.\n {12}Second +one.\n\n {12}Load +Offset: 0x00000000\n")))
        << out.substr(0, 600);
    EXPECT_TRUE(std::regex_search(out, std::regex("\n {12}Tarvel +1 +board.tvl / 6.12.2026\n\f")));
    EXPECT_TRUE(std::regex_search(out, std::regex("\n {12}Tarvel +3 +board.tvl / 6.12.2026\n$")));
    EXPECT_TRUE(std::regex_search(out, std::regex("\n {12}Target Main Initlist\n {12}WM32 +0x00001000 +0x00000000 +item0\n")));
    // Page 3 continues the list without its title.
    const std::string last = out.substr(out.rfind('\f'));
    EXPECT_EQ(last.find("Initlist"), std::string::npos);
    EXPECT_NE(last.find(" item149\n"), std::string::npos);
    // Exactly the lines of every entry, each once.
    for (int i = 0; i < 150; ++i) {
        const std::string entry = " item" + std::to_string(i) + "\n";
        EXPECT_NE(out.find(entry), std::string::npos) << i;
        EXPECT_EQ(out.find(entry), out.rfind(entry)) << i;
    }
}

} // namespace
