#include "gui/report/report_printer.h"

#include "common/settings.h"
#include "gui/report/qt_report_canvas.h"
#include "project/safe_file_writer.h"
#include "report/pdf_report_canvas.h"
#include "report/report_date.h"
#include "report/report_layout.h"

#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

namespace {

// A canvas for `printer`'s printable page at its resolution.
CQtReportCanvas PrinterCanvas(QPrinter& printer, QPainter* painter)
{
    const int dpi = printer.resolution();
    const QRect page = printer.pageLayout().paintRectPixels(dpi);
    return CQtReportCanvas(painter, dpi, page.width(), page.height());
}

} // namespace

CReportPrinter::CReportPrinter(QWidget* parent)
    : parent_(parent), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
}

CReportPrinter::~CReportPrinter() = default;

CReportContent CReportPrinter::Content(const CQpgDoc& doc, const QString& title, const CSettings& settings)
{
    return CReportContent(doc, title.toStdString(), CReportDate::Today(CReportDate::ReportForm(settings)));
}

int CReportPrinter::PrintPages(QPrinter& printer, CReportLayout& layout)
{
    layout.Prepare();
    const bool range = printer.printRange() == QPrinter::PageRange;
    if (range && printer.fromPage() > 1)
        return 0;
    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    CQtReportCanvas canvas = PrinterCanvas(printer, &painter);
    int last = layout.CountPages(canvas);
    if (range && printer.toPage() > 0 && printer.toPage() < last)
        last = printer.toPage();
    for (int page = 1; page <= last; ++page) {
        if (page > 1)
            printer.newPage();
        layout.PrintPage(canvas, page);
    }
    painter.end();
    return last;
}

bool CReportPrinter::Print(const CReportContent& content)
{
    CReportLayout layout(content);
    CQtReportCanvas measure = PrinterCanvas(*printer_, nullptr);
    const int pages = layout.CountPages(measure);
    QPrintDialog dialog(printer_.get(), parent_);
    dialog.setMinMax(1, pages);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return PrintPages(*printer_, layout) > 0;
}

void CReportPrinter::Preview(const CReportContent& content, int pagesShown)
{
    CReportLayout layout(content);
    // The preview shows every page, whatever range the last print run asked for.
    printer_->setPrintRange(QPrinter::AllPages);
    QPrintPreviewDialog preview(printer_.get(), parent_);
    preview.setObjectName("printPreview");
    preview.setWindowTitle(QObject::tr("Print Preview"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&layout](QPrinter* printer) { PrintPages(*printer, layout); });
    if (auto* widget = preview.findChild<QPrintPreviewWidget*>()) {
        if (pagesShown >= 2)
            widget->setViewMode(QPrintPreviewWidget::FacingPagesView);
        else
            widget->setViewMode(QPrintPreviewWidget::SinglePageView);
    }
    preview.resize(parent_ ? parent_->size() : QSize(800, 900));
    preview.exec();
}

void CReportPrinter::Setup()
{
    QPageSetupDialog dialog(printer_.get(), parent_);
    dialog.exec();
}

bool CReportPrinter::ExportPdf(const CReportContent& content, const std::string& path, std::string& error)
{
    CReportLayout layout(content);
    CPdfReportCanvas pdf;
    layout.PrintAll(pdf);
    const std::string bytes = pdf.Document(content.documentTitle);
    CSafeFileWriter writer;
    return writer.Write(path, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, error);
}
