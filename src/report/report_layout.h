#pragma once

#include "report/report_canvas.h"
#include "report/report_content.h"

#include <cstddef>
#include <string_view>
#include <vector>

// The pages of the setup report: a header, the setup title, the comment, one
// line for each image and target command, the erase selection, the channel,
// the target memory setup and the five init lists, and a footer with the
// program name, the page number, the project's title and the date.
//
// Sections are laid out in a fixed order; each one (but the title and the
// comment) moves whole to the next page when it does not fit, while the
// comment and the erase list are cut at the body's end and an init list
// continues on the next page at its next entry, without its title. Every
// page's starting point is kept in a table, so a page can be produced again,
// in any order, with the same content; the table grows as far as the report
// needs (a report never loses pages).
//
// All positions are in the canvas's device units, in multiples of the normal
// font's height h and average character width w.
class CReportLayout {
public:
    // The sections in their order; Complete means the report has ended.
    enum ESection : int {
        Title = 0,
        Comment,
        Load,
        Store,
        Dump,
        Fill,
        Checksum,
        Program,
        Verify,
        Erase,
        Communication,
        MemorySetup,
        MainList,
        PreEraseList,
        PostEraseList,
        PreProgramList,
        PostProgramList,
        Complete,
    };

    // Where a page starts: its section and, within an init list, the entry
    // index and whether the list's title is still to be drawn.
    struct SPageStart {
        int section = Title;
        size_t entry = 0;
        bool listTitle = true;
        bool operator==(const SPageStart&) const = default;
    };

    explicit CReportLayout(CReportContent content);

    // Forgets every page's start (a new print run): page 1 starts at the title.
    void Prepare();

    // Draws page `page` (1, 2, ...) on `canvas`, between its BeginPage and
    // EndPage. Pages not yet laid out before it are laid out first without
    // drawing. False, with nothing drawn, when the report has fewer pages.
    bool PrintPage(CReportCanvas& canvas, int page);
    // Lays out every page without drawing and answers the page count.
    int CountPages(CReportCanvas& canvas);
    // Draws every page in order; answers the page count.
    int PrintAll(CReportCanvas& canvas);

    // The number of pages once the last one has been laid out; 0 before.
    int PageCount() const { return pageCount_; }
    // The page-start table as far as it is known (entry 0 is page 1).
    const std::vector<SPageStart>& PageStarts() const { return starts_; }
    const CReportContent& Content() const { return content_; }

private:
    class CPage;

    // Lays out page `page` whose start is known; records the next page's
    // start, or the page count when the report ends on it.
    void LayOut(CReportCanvas& canvas, int page, bool draw);
    static void DrawEntry(CPage& page, std::string_view line, int y);

    CReportContent content_;
    std::vector<SPageStart> starts_;
    int pageCount_ = 0;
};
