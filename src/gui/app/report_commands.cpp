#include "gui/app/report_commands.h"

#include "commands/print_comment_command.h"
#include "common/message_box.h"
#include "common/settings.h"
#include "gui/app/file_commands.h"
#include "gui/dialogs/print_comment_dialog.h"
#include "gui/report/report_printer.h"
#include "gui/widgets/file_chooser.h"
#include "project/qpg_doc.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QStatusBar>

CReportCommands::CReportCommands(const SWindowContext& window, CQpgDoc& doc, CSettings& settings,
                                 CFileChooser& chooser)
    : window_(window), doc_(doc), settings_(settings), chooser_(chooser),
      printer_(std::make_unique<CReportPrinter>(&window.window))
{
}

CReportCommands::~CReportCommands() = default;

void CReportCommands::PrintReport()
{
    printer_->Print(CReportPrinter::Content(doc_, CFileCommands::DocumentTitle(doc_), settings_));
}

void CReportCommands::PreviewReport()
{
    printer_->Preview(CReportPrinter::Content(doc_, CFileCommands::DocumentTitle(doc_), settings_),
                      static_cast<int>(settings_.GetInt(ESetting::PreviewPages, 1)));
}

void CReportCommands::PrintSetup()
{
    printer_->Setup();
}

void CReportCommands::EditPrintComment()
{
    CPrintCommentCommand command(doc_);
    CPrintCommentDialog dialog(command, &window_.window, window_.dialogServices().help);
    if (dialog.exec() == QDialog::Accepted)
        command.StoreBack(doc_);
    window_.updateCommands();
}

bool CReportCommands::ExportReportPdf()
{
    const QString base = doc_.GetPathName().empty() ? QString::fromLatin1(CFileCommands::kUntitled)
                                                    : QFileInfo(QString::fromStdString(doc_.GetPathName()))
                                                          .completeBaseName();
    const auto path = chooser_.ChooseSave(&window_.window, "PDF Files (*.pdf) | *.pdf||", base.toStdString() + ".pdf", true);
    if (!path)
        return false;
    std::string error;
    if (!CReportPrinter::ExportPdf(CReportPrinter::Content(doc_, CFileCommands::DocumentTitle(doc_), settings_), *path, error)) {
        window_.box.Show(error, "File-Error", EMsgIcon::Stop, EMsgButtons::Ok);
        return false;
    }
    window_.window.statusBar()->showMessage(QMainWindow::tr("Report written to %1").arg(QString::fromStdString(*path)), 5000);
    return true;
}
