// The setup report in the desktop program: the Qt canvas measures as the PDF
// form does, the Print Comment dialog, printing from page 1 only, the report
// view of the main window and the PDF export.
#include "gui/app/main_frame.h"
#include "gui/app/qpg_app.h"
#include "gui/app/qpg_view.h"
#include "gui/app/qt_settings_store.h"
#include "commands/print_comment_command.h"
#include "gui/dialogs/print_comment_dialog.h"
#include "gui/gui_test_support.h"
#include "gui/report/qt_report_canvas.h"
#include "gui/report/report_printer.h"
#include "project/code_item.h"
#include "project/qpg_doc.h"
#include "report/base_font_widths.h"
#include "report/report_layout.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"

#include <QFontInfo>
#include <QPlainTextEdit>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using EFont = CReportCanvas::EFont;

// "Arial" resolves to a face with Arial's widths, so the printed pages break
// where the PDF form's do.
TEST(QtReportCanvas, ArialMeasuresAsTheBaseFontWidths)
{
    const QFontInfo info(CQtReportCanvas::Font(EFont::Normal, 90));
    EXPECT_TRUE(info.family().contains("Liberation Sans") || info.family() == "Arial")
        << info.family().toStdString() << ": install fonts-liberation2";
    CQtReportCanvas canvas(nullptr, 720, 5593, 8059);
    EXPECT_EQ(canvas.FontHeight(EFont::Normal), 90);
    EXPECT_EQ(canvas.FontHeight(EFont::Title), 140);
    EXPECT_NEAR(canvas.AverageCharWidth(), 40, 1);
    for (const char* text : {"Target Memory Setup", "0x00000000...0x0000FFFF", "WM32", "The quick brown fox, 1234!",
                             "AMD  Am29LV160BB (1M x 16)", "Gr\xC3\xBC\xC3\x9F" "e"}) {
        EXPECT_NEAR(canvas.TextWidth(EFont::Normal, text), CBaseFontWidths::TextWidth(false, text, 90), 2) << text;
        EXPECT_NEAR(canvas.TextWidth(EFont::Bold, text), CBaseFontWidths::TextWidth(true, text, 90), 2) << text;
        EXPECT_NEAR(canvas.TextWidth(EFont::Title, text), CBaseFontWidths::TextWidth(true, text, 140), 3) << text;
    }
    // A text that is not UTF-8 is read as Windows-1252.
    EXPECT_EQ(CQtReportCanvas::ToQString("Gr\xFC\xDF" "e"), QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e"));
}

TEST(PrintCommentDialog, EditsTheFourTextsAndStoresThemBackOnOk)
{
    CQpgDoc doc(false);
    doc.comment = "First line\r\nsecond line";
    CPrintCommentCommand command(doc);
    CPrintCommentDialog dialog(command);
    ShowForTest(&dialog);
    EXPECT_EQ(dialog.windowTitle(), "Print Comment");
    for (const char* name : {"leftHeaderEdit", "rightHeaderEdit", "titleEdit"})
        EXPECT_EQ(Child<QLineEdit>(&dialog, name)->maxLength(), 80) << name;
    EXPECT_EQ(Text(&dialog, "leftHeaderEdit"), "header left");
    EXPECT_EQ(Text(&dialog, "titleEdit"), "setup title");
    auto* comment = Child<QPlainTextEdit>(&dialog, "commentEdit");
    EXPECT_EQ(comment->toPlainText(), "First line\nsecond line");

    Type(&dialog, "titleEdit", QString(100, 'T'));
    EXPECT_EQ(Text(&dialog, "titleEdit").size(), 80);
    comment->setFocus();
    comment->moveCursor(QTextCursor::End);
    QTest::keyClick(comment, Qt::Key_Return);
    QTest::keyClicks(comment, "third");
    QTest::keyClick(comment, Qt::Key_Tab);
    QTest::keyClicks(comment, "column");
    EXPECT_TRUE(dialog.isVisible()); // Return started a new line, it did not press OK
    EXPECT_TRUE(comment->hasFocus()) << "Tab typed a tab";
    Click(&dialog, "okButton");
    EXPECT_FALSE(dialog.isVisible());
    command.StoreBack(doc);
    EXPECT_EQ(doc.setupTitle, std::string(80, 'T'));
    EXPECT_EQ(doc.comment, "First line\r\nsecond line\r\nthird\tcolumn");
    EXPECT_TRUE(doc.IsModified());
}

TEST(PrintCommentDialog, OkWithoutChangesStillMarksModifiedAndCancelChangesNothing)
{
    CQpgDoc doc(false);
    doc.comment = "kept\r\nas it is";
    {
        CPrintCommentCommand command(doc);
        CPrintCommentDialog dialog(command);
        ShowForTest(&dialog);
        Type(&dialog, "leftHeaderEdit", "changed");
        Click(&dialog, "cancelButton");
        EXPECT_EQ(command.headerLeft, "header left");
    }
    EXPECT_FALSE(doc.IsModified());
    CPrintCommentCommand command(doc);
    CPrintCommentDialog dialog(command);
    ShowForTest(&dialog);
    Click(&dialog, "okButton");
    const std::vector<uint8_t> before = doc.SaveToBytes();
    command.StoreBack(doc);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.SaveToBytes(), before); // the file form is unchanged, line breaks included
}

TEST(ReportPrinter, PrintsFromPageOneOnlyAndUpToTheLastRequestedPage)
{
    CTempDir dir;
    CQpgDoc doc(false);
    for (int i = 0; i < 200; ++i)
        doc.mainList.Add(CCodeItem(CCodeItem::Wm32, 0x1000 + 4 * i, i, "entry"));
    CReportLayout layout(CReportContent(doc, "board.tvl", " / 6.12.2026"));
    const std::string path = dir.File("printed.pdf");

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(path));
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 3);
    EXPECT_EQ(CReportPrinter::PrintPages(printer, layout), 0);
    EXPECT_FALSE(std::filesystem::exists(path));

    printer.setFromTo(1, 2);
    EXPECT_EQ(CReportPrinter::PrintPages(printer, layout), 2);
    EXPECT_GT(std::filesystem::file_size(path), 0u);

    printer.setPrintRange(QPrinter::AllPages);
    const int all = CReportPrinter::PrintPages(printer, layout);
    EXPECT_GE(all, 3);
    EXPECT_EQ(all, layout.PageCount());
}

class ReportInMainFrame : public ::testing::Test {
protected:
    ReportInMainFrame()
        : store(QString::fromStdString(dir.File("settings.ini"))),
          app(store, &box, &chooser, [](const char*) -> const char* { return nullptr; })
    {
        EXPECT_TRUE(app.InitInstance({"tarvel"}));
    }

    CTempDir dir;
    CScriptedMessageBox box;
    CScriptedFileChooser chooser;
    CQtSettingsStore store;
    CQpgApp app;
};

TEST_F(ReportInMainFrame, ViewFollowsTheProjectAndPaintsOnlyThePagesInView)
{
    CMainFrame& frame = app.Frame();
    frame.resize(900, 700);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    CQpgView* view = frame.View();
    EXPECT_EQ(view->PageCount(), 1);
    view->viewport()->grab();
    EXPECT_EQ(view->PagesPainted(), 1);

    for (int i = 0; i < 400; ++i)
        app.Doc().mainList.Add(CCodeItem(CCodeItem::Wm32, 0x1000 + 4 * i, i, "entry"));
    frame.UpdateCommands();
    EXPECT_GE(view->PageCount(), 6);
    view->viewport()->grab();
    EXPECT_GE(view->PagesPainted(), 1);
    EXPECT_LE(view->PagesPainted(), 2);
}

TEST_F(ReportInMainFrame, PrintCommentAndPdfExportFromTheFileMenu)
{
    CMainFrame& frame = app.Frame();
    WhenModal([](QWidget* dialog) {
        Type(dialog, "titleEdit", "Board X");
        Click(dialog, "okButton");
    });
    frame.Action(static_cast<int>(CQpgDoc::ECommand::PrintComment))->trigger();
    EXPECT_EQ(app.Doc().setupTitle, "Board X");
    EXPECT_TRUE(app.Doc().IsModified());

    const std::string path = dir.File("report.pdf");
    chooser.answers.push_back(path);
    frame.Action(CMainFrame::FileExportPdf)->trigger();
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0], "save-confirmed|PDF Files (*.pdf) | *.pdf|||Untitled.pdf");
    const std::string pdf = ReadFileBytes(path);
    EXPECT_EQ(pdf.rfind("%PDF-1.4", 0), 0u);
    EXPECT_NE(pdf.find("(Board X) Tj"), std::string::npos);

    // A file that cannot be written is named in a box; nothing is left behind.
    chooser.answers.push_back(dir.File("no/such/dir/report.pdf"));
    frame.Action(CMainFrame::FileExportPdf)->trigger();
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].caption, "File-Error");
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
}

} // namespace

namespace {

// After a print run of pages 2 to 3 (which printed nothing), the preview
// still shows the whole report.
TEST(ReportPrinter, PreviewShowsEveryPageAfterARangedRun)
{
    CQpgDoc doc(false);
    for (int i = 0; i < 200; ++i)
        doc.mainList.Add(CCodeItem(CCodeItem::Wm32, 0x1000 + 4 * i, i, "entry"));
    CReportPrinter printer(nullptr);
    printer.Printer().setPrintRange(QPrinter::PageRange);
    printer.Printer().setFromTo(2, 3);
    int pages = 0;
    WhenModal([&pages](QWidget* window) {
        auto* widget = window->findChild<QPrintPreviewWidget*>();
        ASSERT_NE(widget, nullptr);
        (void)QTest::qWaitFor([widget] { return widget->pageCount() > 0; }, 5000);
        pages = widget->pageCount();
        window->close();
    });
    printer.Preview(CReportContent(doc, "board.tvl", ""), 1);
    EXPECT_GE(pages, 3);
}

} // namespace
