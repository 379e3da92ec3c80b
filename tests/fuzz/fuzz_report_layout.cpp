// The setup report laid out from a project file: whatever file the reader
// accepts makes a report that ends, whose pages come out the same in any
// order (the page-start table), and whose PDF is written whole.
#include "project/qpg_doc.h"
#include "report/pdf_report_canvas.h"
#include "report/report_content.h"
#include "report/report_layout.h"
#include "report/text_report_canvas.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

std::string Page(CReportLayout& layout, const CReportCanvas& measures, int page)
{
    CTextReportCanvas text(measures);
    Check(layout.PrintPage(text, page));
    return text.Text();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CQpgDoc doc(false);
    std::string error;
    if (!doc.ReadFromBytes(std::span<const uint8_t>(data, size), error))
        return 0;
    CReportLayout layout(CReportContent(doc, "fuzz.tvl", "01.01.2026"));
    CPdfReportCanvas pdf;
    const int pages = layout.PrintAll(pdf);
    Check(pages >= 1 && pages == pdf.PageCount() && pages == layout.PageCount());
    Check(!pdf.Document("fuzz.tvl").empty());

    // Backwards, each page again: the same text as in order.
    std::vector<std::string> forward;
    for (int page = 1; page <= pages; ++page)
        forward.push_back(Page(layout, pdf, page));
    CReportLayout fresh(CReportContent(doc, "fuzz.tvl", "01.01.2026"));
    for (int page = pages; page >= 1; --page)
        Check(Page(fresh, pdf, page) == forward[static_cast<size_t>(page - 1)]);
    CTextReportCanvas past(pdf);
    Check(!fresh.PrintPage(past, pages + 1));
    return 0;
}
