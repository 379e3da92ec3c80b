#pragma once

#include "gui/app/window_context.h"

#include <memory>

class CFileChooser;
class CQpgDoc;
class CReportPrinter;
class CSettings;

// The setup report's commands of the File menu: "&Print...", "Print
// Pre&view", "P&rint Setup...", "Print &Comment..." and "Export Report as
// PDF...". One printer's settings are kept for the whole run.
class CReportCommands {
public:
    CReportCommands(const SWindowContext& window, CQpgDoc& doc, CSettings& settings, CFileChooser& chooser);
    ~CReportCommands();

    void PrintReport();
    void PreviewReport();
    void PrintSetup();
    void EditPrintComment();
    bool ExportReportPdf();
    CReportPrinter& Printer() { return *printer_; }

private:
    SWindowContext window_;
    CQpgDoc& doc_;
    CSettings& settings_;
    CFileChooser& chooser_;
    std::unique_ptr<CReportPrinter> printer_;
};
