#include "report/report_layout.h"

#include "common/text_format.h"

#include <string>

namespace {

using EFont = CReportCanvas::EFont;

// The next piece of a text as the report lays it out: a line break, a tab,
// or a word (a run of characters from "!" upwards followed by its spaces; a
// run of spaces alone counts as a word too). Other control characters are
// skipped.
struct SPiece {
    enum EKind { End, NewLine, Tab, Word } kind = End;
    std::string_view word;
};

SPiece NextPiece(std::string_view text, size_t& pos)
{
    while (pos < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        if (c == '\n') {
            ++pos;
            return {SPiece::NewLine, {}};
        }
        if (c == '\t') {
            ++pos;
            return {SPiece::Tab, {}};
        }
        if (c < ' ') {
            ++pos;
            continue;
        }
        const size_t begin = pos;
        while (pos < text.size() && static_cast<unsigned char>(text[pos]) > ' ')
            ++pos;
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        return {SPiece::Word, text.substr(begin, pos - begin)};
    }
    return {};
}

} // namespace

// One page being laid out: the page frame's measures and the running y0.
class CReportLayout::CPage {
public:
    CPage(CReportCanvas& canvas, bool draw)
        : canvas_(canvas),
          draw_(draw),
          h(canvas.FontHeight(EFont::Normal)),
          w(canvas.AverageCharWidth()),
          boldHeight(canvas.FontHeight(EFont::Bold)),
          titleHeight(canvas.FontHeight(EFont::Title)),
          L(12 * w),
          R(canvas.PageWidth() - 4 * w),
          B(canvas.PageHeight() - 4 * h),
          y0(2 * h)
    {
    }

    void Text(EFont font, int x, int y, std::string_view text)
    {
        if (draw_ && !text.empty())
            canvas_.DrawText(font, x, y, text);
    }
    void RightText(EFont font, int right, int y, std::string_view text)
    {
        Text(font, right - Width(font, text), y, text);
    }
    void Line(int x1, int y1, int x2, int y2)
    {
        if (draw_)
            canvas_.DrawLine(x1, y1, x2, y2);
    }
    int Width(EFont font, std::string_view text) const { return canvas_.TextWidth(font, text); }

    CReportCanvas& canvas_;
    const bool draw_;
    const int h;
    const int w;
    const int boldHeight;
    const int titleHeight;
    const int L;
    const int R;
    const int B;
    int y0;
};

CReportLayout::CReportLayout(CReportContent content) : content_(std::move(content))
{
    Prepare();
}

void CReportLayout::Prepare()
{
    starts_.assign(1, SPageStart{});
    pageCount_ = 0;
}

bool CReportLayout::PrintPage(CReportCanvas& canvas, int page)
{
    if (page < 1)
        return false;
    while (static_cast<int>(starts_.size()) < page && pageCount_ == 0)
        LayOut(canvas, static_cast<int>(starts_.size()), false);
    if (page > static_cast<int>(starts_.size()))
        return false;
    canvas.BeginPage(page);
    LayOut(canvas, page, true);
    canvas.EndPage();
    return true;
}

int CReportLayout::CountPages(CReportCanvas& canvas)
{
    while (pageCount_ == 0)
        LayOut(canvas, static_cast<int>(starts_.size()), false);
    return pageCount_;
}

int CReportLayout::PrintAll(CReportCanvas& canvas)
{
    for (int page = 1; PrintPage(canvas, page); ++page) {
    }
    return pageCount_;
}

void CReportLayout::LayOut(CReportCanvas& canvas, int page, bool draw)
{
    CPage p(canvas, draw);
    const int h = p.h;
    const int w = p.w;
    const int L = p.L;
    const int R = p.R;
    const int B = p.B;

    // Header.
    p.Text(EFont::Normal, L, h, content_.headerLeft);
    p.RightText(EFont::Normal, R, h, content_.headerRight);
    p.Line(L, 2 * h, R, 2 * h);

    SPageStart at = starts_[page - 1];
    // True while nothing of the body has been placed on this page: a section
    // that does not fit even there is drawn anyway (so that a page too small
    // for it cannot make the report endless).
    bool pageEmpty = true;
    bool pageFull = false;

    // A one-line section: the bold title at L, the values at L + 21w and L + 50w.
    const auto row = [&](const CReportContent::SRow& r, int lineOffset) {
        const int y = p.y0 + lineOffset;
        if (y + h > B && !pageEmpty)
            return false;
        p.Text(EFont::Bold, L, y, r.title);
        p.Text(EFont::Normal, L + 21 * w, y, r.second);
        p.Text(EFont::Normal, L + 50 * w, y, r.third);
        p.y0 = y + p.boldHeight;
        return true;
    };

    while (at.section != Complete && !pageFull) {
        bool fits = true;
        switch (at.section) {
        case Title: {
            const int y = p.y0 + 2 * h;
            p.Text(EFont::Title, L, y, content_.setupTitle);
            p.y0 = y + p.titleHeight;
            break;
        }
        case Comment: {
            int x = L;
            int y = p.y0 + h;
            bool cut = false;
            const auto newLine = [&] {
                if (y + 2 * h > B) {
                    cut = true;
                    return;
                }
                x = L;
                y += h;
            };
            size_t pos = 0;
            for (SPiece piece = NextPiece(content_.comment, pos); piece.kind != SPiece::End && !cut;
                 piece = NextPiece(content_.comment, pos)) {
                if (piece.kind == SPiece::NewLine) {
                    newLine();
                } else if (piece.kind == SPiece::Tab) {
                    x = L + ((x - L) / (8 * w) + 1) * 8 * w;
                } else {
                    const int width = p.Width(EFont::Normal, piece.word);
                    if (x > L && x + width > R) {
                        newLine();
                        if (cut)
                            break;
                    }
                    p.Text(EFont::Normal, x, y, piece.word);
                    x += width;
                }
            }
            p.y0 = y;
            break;
        }
        case Load:
            fits = row(content_.operations[0], 2 * h);
            break;
        case Store:
        case Dump:
        case Fill:
        case Checksum:
        case Program:
        case Verify:
            fits = row(content_.operations[at.section - Load], h);
            break;
        case Erase: {
            const bool continued = !at.listTitle;
            const size_t n = content_.erasable ? content_.eraseSectors.size() : 0;
            int y = p.y0 + h;
            const bool roomFor = y + static_cast<int>(n / 15 + 1) * h <= B || p.y0 <= 3 * h;
            if (!continued && !roomFor && !pageEmpty) {
                fits = false;
                break;
            }
            if (!continued) {
                p.Text(EFont::Bold, L, y, "Erase");
                p.Text(EFont::Normal, L + 21 * w, y, "Bank/Sector: ");
            }
            const int left = L + 35 * w;
            int x = left;
            if (!content_.erasable) {
                p.Text(EFont::Normal, x, y, "no erase");
            } else {
                // The list wraps back to L + 35w; where its lines reach the
                // body's end, the page ends and the next page continues the
                // list at the next sector (no selected sector goes unprinted).
                for (size_t i = continued ? at.entry : 0; i < n; ++i) {
                    const std::string word = content_.eraseSectors[i] + (i + 1 < n ? ", " : "");
                    const int width = p.Width(EFont::Normal, word);
                    if (x > left && x + width > R) {
                        if (y + 2 * h > B) {
                            at = {Erase, i, false};
                            pageFull = true;
                            break;
                        }
                        x = left;
                        y += h;
                    }
                    p.Text(EFont::Normal, x, y, word);
                    x += width;
                }
            }
            p.y0 = y + h;
            break;
        }
        case Communication:
            fits = row(content_.communication, h);
            break;
        case MemorySetup: {
            if (p.y0 + 9 * h > B && !pageEmpty) {
                fits = false;
                break;
            }
            int y = p.y0 + h;
            p.Text(EFont::Bold, L, y, "Target Memory Setup");
            y += p.boldHeight;
            for (size_t i = 0; i < content_.memorySetup.size(); ++i) {
                if (i > 0)
                    y += h;
                p.Text(EFont::Normal, L, y, content_.memorySetup[i].label);
                p.Text(EFont::Normal, L + 21 * w, y, content_.memorySetup[i].value);
            }
            p.y0 = y + h;
            break;
        }
        default: { // the five init lists
            const CReportContent::SList& list = content_.lists[at.section - MainList];
            if (list.entries.empty())
                break;
            int y = p.y0 + h;
            // A title goes where there is room for it and one entry below
            // it; otherwise the list starts on the next page.
            if (at.listTitle && !pageEmpty && y + p.boldHeight + h >= B) {
                fits = false;
                break;
            }
            if (at.listTitle) {
                p.Text(EFont::Bold, L, y, list.title);
                y += p.boldHeight;
                at.entry = 0;
                at.listTitle = false;
            }
            bool printed = false;
            while (at.entry < list.entries.size() && (y + h < B || (pageEmpty && !printed))) {
                const auto& entry = list.entries[at.entry++];
                if (!entry)
                    continue;
                DrawEntry(p, *entry, y);
                y += h;
                printed = true;
            }
            p.y0 = y;
            if (at.entry < list.entries.size())
                pageFull = true;
            break;
        }
        }
        if (!fits)
            break;
        pageEmpty = false;
        if (!pageFull) {
            ++at.section;
            at.entry = 0;
            at.listTitle = true;
        }
    }

    // Page end: where the next page starts, or the page count.
    const bool more = at.section != Complete;
    if (more) {
        if (static_cast<int>(starts_.size()) == page)
            starts_.push_back(at);
    } else {
        pageCount_ = page;
    }

    // Footer.
    const int y = canvas.PageHeight() - 3 * h;
    p.Line(L, y, R, y);
    const int textY = y + h / 4;
    p.Text(EFont::Normal, L, textY, "Tarvel");
    if (more || page > 1) {
        const std::string number = Format("%i", page);
        p.Text(EFont::Normal, R / 2 - p.Width(EFont::Normal, number) / 2, textY, number);
    }
    p.RightText(EFont::Normal, R, textY, content_.documentTitle + content_.dateText);
}

// An init list entry's display line at (L, y): its first three tabs move to
// L + 10w, L + 26w and L + 42w, later tabs do not move; a word that would end
// beyond R ends the line.
void CReportLayout::DrawEntry(CPage& p, std::string_view line, int y)
{
    const int stops[3] = {10 * p.w, 26 * p.w, 42 * p.w};
    int tabs = 0;
    int x = p.L;
    size_t pos = 0;
    for (SPiece piece = NextPiece(line, pos); piece.kind != SPiece::End; piece = NextPiece(line, pos)) {
        if (piece.kind == SPiece::Tab) {
            if (tabs < 3)
                x = p.L + stops[tabs++];
        } else if (piece.kind == SPiece::Word) {
            const int width = p.Width(EFont::Normal, piece.word);
            if (x + width > p.R)
                break;
            p.Text(EFont::Normal, x, y, piece.word);
            x += width;
        }
    }
}
