#pragma once

#include "report/report_content.h"

#include <QString>

#include <memory>
#include <string>

class CQpgDoc;
class CReportLayout;
class CSettings;
class QPrinter;
class QWidget;

// The setup report's printing in the desktop program: File "&Print..." (the
// print dialog, then the pages), "Print Pre&view" (the pages in a preview
// window), "P&rint Setup..." (paper and printer for both) and "Export Report
// as PDF..." (the PDF form of the core, the same file tarvel-cli writes).
// One printer's settings are kept for the whole run.
class CReportPrinter {
public:
    explicit CReportPrinter(QWidget* parent);
    ~CReportPrinter();

    // The report of `doc` as the main window shows it: its title and today's
    // date in the regional form (the "intl" settings, else the system locale's
    // short date).
    static CReportContent Content(const CQpgDoc& doc, const QString& title, const CSettings& settings);

    // Prints the report on `printer` from page 1 to its last page or the
    // printer's last requested page. A run whose first requested page is not
    // page 1 prints nothing (pages are laid out from the first). Answers the
    // number of pages printed.
    static int PrintPages(QPrinter& printer, CReportLayout& layout);

    bool Print(const CReportContent& content);
    void Preview(const CReportContent& content, int pagesShown);
    void Setup();
    // Writes the PDF form to `path`; false with `error` set when it could not.
    static bool ExportPdf(const CReportContent& content, const std::string& path, std::string& error);

    QPrinter& Printer() { return *printer_; }

private:
    QWidget* parent_;
    std::unique_ptr<QPrinter> printer_;
};
