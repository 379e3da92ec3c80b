#pragma once

#include "report/report_canvas.h"

#include <string>
#include <vector>

// The report as a PDF document, without a printer or a display: A4 pages with
// a printable area a quarter inch inside the paper's edge (as a printer
// gives), text in the regular and bold sans-serif faces every PDF reader
// carries, measured with their own widths (CBaseFontWidths). Device units are
// tenths of a point (720 per inch).
class CPdfReportCanvas final : public CReportCanvas {
public:
    static constexpr int kUnitsPerInch = 720;
    static constexpr int kPaperWidth = 5953;  // A4, 210 mm
    static constexpr int kPaperHeight = 8419; // 297 mm
    static constexpr int kMargin = 180;       // a quarter inch

    int PageWidth() const override { return kPaperWidth - 2 * kMargin; }
    int PageHeight() const override { return kPaperHeight - 2 * kMargin; }
    int FontHeight(EFont font) const override;
    int AverageCharWidth() const override;
    int TextWidth(EFont font, std::string_view text) const override;

    void BeginPage(int page) override;
    void EndPage() override;
    void DrawText(EFont font, int x, int y, std::string_view text) override;
    void DrawLine(int x1, int y1, int x2, int y2) override;

    int PageCount() const { return static_cast<int>(pages_.size()); }
    // The PDF file of the pages drawn so far; `title` goes into its document
    // information.
    std::string Document(const std::string& title) const;

private:
    std::vector<std::string> pages_;
    std::string current_;
};
