#include "gui/app/qpg_view.h"

#include "gui/report/qt_report_canvas.h"
#include "gui/report/report_printer.h"
#include "project/qpg_doc.h"
#include "report/pdf_report_canvas.h"
#include "report/report_layout.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

// The report is laid out on an A4 page in tenths of a point, as its PDF form.
constexpr int kDpi = CPdfReportCanvas::kUnitsPerInch;
constexpr int kPaperWidth = CPdfReportCanvas::kPaperWidth;
constexpr int kPaperHeight = CPdfReportCanvas::kPaperHeight;
constexpr int kMargin = CPdfReportCanvas::kMargin;
constexpr int kGap = 16; // pixels around and between pages

CQtReportCanvas MeasureCanvas(QPainter* painter)
{
    return CQtReportCanvas(painter, kDpi, kPaperWidth - 2 * kMargin, kPaperHeight - 2 * kMargin);
}

} // namespace

CQpgView::CQpgView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName("view");
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

CQpgView::~CQpgView() = default;

void CQpgView::Refresh(CQpgDoc& doc, const QString& title, const CSettings& settings)
{
    std::vector<uint8_t> project = doc.SaveToBytes();
    if (layout_ && project == shownProject_ && title == shownTitle_)
        return;
    shownProject_ = std::move(project);
    shownTitle_ = title;
    layout_ = std::make_unique<CReportLayout>(CReportPrinter::Content(doc, title, settings));
    CQtReportCanvas measure = MeasureCanvas(nullptr);
    pageCount_ = layout_->CountPages(measure);
    UpdateScrollBars();
    viewport()->update();
}

double CQpgView::Scale() const
{
    // A page at its printed size on a 96 dpi screen, narrower when the window is.
    const double natural = 96.0 / kDpi;
    const double fit = static_cast<double>(viewport()->width() - 2 * kGap) / kPaperWidth;
    return std::max(0.02, std::min(natural, fit));
}

int CQpgView::PageStep() const
{
    return static_cast<int>(kPaperHeight * Scale()) + kGap;
}

void CQpgView::UpdateScrollBars()
{
    const int total = kGap + pageCount_ * PageStep();
    verticalScrollBar()->setRange(0, std::max(0, total - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(std::max(1, PageStep() / 20));
}

void CQpgView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CQpgView::paintEvent(QPaintEvent* event)
{
    pagesPainted_ = 0;
    if (!layout_)
        return;
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double scale = Scale();
    const int paperWidth = static_cast<int>(kPaperWidth * scale);
    const int paperHeight = static_cast<int>(kPaperHeight * scale);
    const int left = std::max(kGap, (viewport()->width() - paperWidth) / 2);
    const int scroll = verticalScrollBar()->value();
    const QRect visible = event->rect();
    // Only the pages that meet the area to paint.
    const int first = std::max(0, (visible.top() + scroll - kGap) / PageStep());
    for (int index = first; index < pageCount_; ++index) {
        const QRect paper(left, kGap + index * PageStep() - scroll, paperWidth, paperHeight);
        if (paper.top() > visible.bottom())
            break;
        if (!paper.intersects(visible))
            continue;
        painter.fillRect(paper, Qt::white);
        painter.setPen(palette().color(QPalette::Shadow));
        painter.drawRect(paper.adjusted(0, 0, -1, -1));
        painter.save();
        painter.translate(paper.left() + kMargin * scale, paper.top() + kMargin * scale);
        painter.scale(scale, scale);
        painter.setPen(Qt::black);
        CQtReportCanvas canvas = MeasureCanvas(&painter);
        layout_->PrintPage(canvas, index + 1);
        painter.restore();
        ++pagesPainted_;
    }
}
