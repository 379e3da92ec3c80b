#pragma once

#include "report/report_canvas.h"

#include <string>
#include <vector>

// The report as plain text, for logs and diffs: laid out with the measures of
// another canvas (the PDF's, so lines and pages break where they break
// there), each distinct text position becoming one line, a gap of a blank line
// or more becoming one blank line, columns placed at their position in
// average character widths, drawn lines as dashes, and a form feed before
// every page after the first.
class CTextReportCanvas final : public CReportCanvas {
public:
    explicit CTextReportCanvas(const CReportCanvas& measures) : measures_(measures) {}

    int PageWidth() const override { return measures_.PageWidth(); }
    int PageHeight() const override { return measures_.PageHeight(); }
    int FontHeight(EFont font) const override { return measures_.FontHeight(font); }
    int AverageCharWidth() const override { return measures_.AverageCharWidth(); }
    int TextWidth(EFont font, std::string_view text) const override { return measures_.TextWidth(font, text); }

    void BeginPage(int page) override;
    void EndPage() override;
    void DrawText(EFont font, int x, int y, std::string_view text) override;
    void DrawLine(int x1, int y1, int x2, int y2) override;

    // The pages drawn so far.
    const std::string& Text() const { return text_; }

private:
    struct SRun {
        int y;
        int x;
        std::string text;
    };

    const CReportCanvas& measures_;
    std::vector<SRun> runs_;
    std::string text_;
    int pages_ = 0;
};
