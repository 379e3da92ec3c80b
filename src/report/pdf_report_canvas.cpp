#include "report/pdf_report_canvas.h"

#include "common/text_format.h"
#include "report/base_font_widths.h"

#include <cmath>

namespace {

// The faces' ascent (the top of the character cell to the baseline) in
// thousandths of the font size.
constexpr int kAscent = 905;

bool IsBold(CReportCanvas::EFont font)
{
    return font != CReportCanvas::EFont::Normal;
}

// A PDF string literal: parentheses and backslashes escaped, bytes outside
// printable ASCII as octal escapes.
std::string Literal(std::string_view bytes)
{
    std::string out = "(";
    for (unsigned char c : bytes) {
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            out += Format("\\%03o", c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + ")";
}

// Device units (tenths of a point) as points.
std::string Points(double units)
{
    return Format("%.1f", units / 10.0);
}

} // namespace

int CPdfReportCanvas::FontHeight(EFont font) const
{
    return (font == EFont::Title ? 14 : 9) * kUnitsPerInch / 72;
}

int CPdfReportCanvas::AverageCharWidth() const
{
    const int size = FontHeight(EFont::Normal);
    const double average = CBaseFontWidths::AverageWidth(
        [](char c) { return CBaseFontWidths::Width(false, static_cast<unsigned char>(c)); });
    return static_cast<int>(std::lround(average * size / 1000.0));
}

int CPdfReportCanvas::TextWidth(EFont font, std::string_view text) const
{
    return CBaseFontWidths::TextWidth(IsBold(font), text, FontHeight(font));
}

void CPdfReportCanvas::BeginPage(int)
{
    current_ = "0.5 w\n";
}

void CPdfReportCanvas::EndPage()
{
    pages_.push_back(std::move(current_));
    current_.clear();
}

void CPdfReportCanvas::DrawText(EFont font, int x, int y, std::string_view text)
{
    const int size = FontHeight(font);
    const double baseline = kPaperHeight - (kMargin + y + size * kAscent / 1000.0);
    current_ += Format("BT /%s %d Tf %s %s Td ", IsBold(font) ? "F2" : "F1", size / 10,
                       Points(kMargin + x).c_str(), Points(baseline).c_str())
                + Literal(CBaseFontWidths::ToWinAnsi(text)) + " Tj ET\n";
}

void CPdfReportCanvas::DrawLine(int x1, int y1, int x2, int y2)
{
    current_ += Points(kMargin + x1) + " " + Points(kPaperHeight - kMargin - y1) + " m " + Points(kMargin + x2)
                + " " + Points(kPaperHeight - kMargin - y2) + " l S\n";
}

std::string CPdfReportCanvas::Document(const std::string& title) const
{
    // Objects: 1 catalogue, 2 page tree, 3 and 4 the fonts, 5 the document
    // information, then a page and its content stream for every page.
    std::vector<std::string> objects;
    std::string kids;
    for (size_t i = 0; i < pages_.size(); ++i)
        kids += Format("%zu 0 R ", 6 + 2 * i);
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    objects.push_back(Format("<< /Type /Pages /Kids [%s] /Count %zu >>", kids.c_str(), pages_.size()));
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>");
    objects.push_back("<< /Title " + Literal(CBaseFontWidths::ToWinAnsi(title)) + " /Creator (Tarvel) >>");
    for (size_t i = 0; i < pages_.size(); ++i) {
        objects.push_back(Format("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %s %s] "
                                 "/Resources << /Font << /F1 3 0 R /F2 4 0 R >> >> /Contents %zu 0 R >>",
                                 Points(kPaperWidth).c_str(), Points(kPaperHeight).c_str(), 7 + 2 * i));
        objects.push_back(Format("<< /Length %zu >>\nstream\n", pages_[i].size()) + pages_[i] + "endstream");
    }

    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += Format("%zu 0 obj\n", i + 1) + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += Format("xref\n0 %zu\n0000000000 65535 f \n", objects.size() + 1);
    for (size_t offset : offsets)
        pdf += Format("%010zu 00000 n \n", offset);
    pdf += Format("trailer\n<< /Size %zu /Root 1 0 R /Info 5 0 R >>\nstartxref\n%zu\n%%%%EOF\n", objects.size() + 1,
                  xref);
    return pdf;
}
