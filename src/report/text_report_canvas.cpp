#include "report/text_report_canvas.h"

#include <algorithm>

void CTextReportCanvas::BeginPage(int)
{
    runs_.clear();
}

void CTextReportCanvas::DrawText(EFont, int x, int y, std::string_view text)
{
    runs_.push_back({y, x, std::string(text)});
}

void CTextReportCanvas::DrawLine(int x1, int y1, int x2, int)
{
    // The report draws horizontal lines only.
    const int w = std::max(1, AverageCharWidth());
    const int from = std::min(x1, x2);
    const int count = std::max(1, (std::max(x1, x2) - from) / w);
    runs_.push_back({y1, from, std::string(static_cast<size_t>(count), '-')});
}

void CTextReportCanvas::EndPage()
{
    const int h = std::max(1, FontHeight(EFont::Normal));
    const int w = std::max(1, AverageCharWidth());
    std::stable_sort(runs_.begin(), runs_.end(),
                     [](const SRun& a, const SRun& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    if (pages_++ > 0)
        text_ += '\f';
    std::string line;
    const auto flush = [&] {
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        text_ += line + '\n';
        line.clear();
    };
    for (size_t i = 0; i < runs_.size(); ++i) {
        const SRun& run = runs_[i];
        if (i > 0 && run.y != runs_[i - 1].y) {
            flush();
            if (run.y - runs_[i - 1].y > h + h / 2)
                text_ += '\n';
        }
        const size_t column = static_cast<size_t>(std::max(0, run.x) / w);
        if (line.size() < column)
            line.append(column - line.size(), ' ');
        else if (!line.empty() && line.back() != ' ')
            line += ' ';
        line += run.text;
    }
    if (!runs_.empty())
        flush();
    runs_.clear();
}
