// Printing the setup report through the print system, as a person prints it:
// File > Print..., the queue chosen in the print dialog, Print; then the pages
// that came out of the queue are read back. tests/print/private-cups runs
// this program against a print server of its own and names the queue and
// the file its device writes.
#include "gui/app/main_frame.h"
#include "gui/app/qpg_app.h"
#include "gui/app/qt_settings_store.h"
#include "gui/gui_test_support.h"
#include "project/code_item.h"
#include "project/qpg_doc.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"

#include <QComboBox>
#include <QDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// The text of the PDF's pages (pdftotext), one string per page.
std::vector<std::string> PageTexts(const std::string& pdf)
{
    QProcess info;
    info.start("pdfinfo", {QString::fromStdString(pdf)});
    if (!info.waitForFinished(30000) || info.exitCode() != 0) {
        ADD_FAILURE() << "pdfinfo could not read " << pdf << ": " << info.readAllStandardError().toStdString();
        return {};
    }
    int pages = 0;
    for (const QByteArray& line : info.readAllStandardOutput().split('\n'))
        if (line.startsWith("Pages:"))
            pages = line.mid(6).trimmed().toInt();
    std::vector<std::string> texts;
    for (int page = 1; page <= pages; ++page) {
        QProcess text;
        text.start("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), "-layout",
                                 QString::fromStdString(pdf), "-"});
        EXPECT_TRUE(text.waitForFinished(30000));
        texts.push_back(text.readAllStandardOutput().toStdString());
    }
    return texts;
}

size_t Count(const std::string& text, const std::string& word)
{
    size_t n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

TEST(PrintThroughThePrintSystem, TheReportComesOutOfTheQueueChosenInThePrintDialog)
{
    const char* queue = std::getenv("TARVEL_PRINT_QUEUE");
    const char* output = std::getenv("TARVEL_PRINT_OUTPUT");
    if (!queue || !output)
        GTEST_SKIP() << "needs the print server that tests/print/private-cups starts";
    const QString queueName = QString::fromLatin1(queue);
    EXPECT_TRUE(QPrinterInfo::availablePrinterNames().contains(queueName)) << queue;

    CTempDir dir;
    CScriptedMessageBox box;
    CScriptedFileChooser chooser;
    CQtSettingsStore store(QString::fromStdString(dir.File("settings.ini")));
    CQpgApp app(store, &box, &chooser, [](const char*) -> const char* { return nullptr; });
    ASSERT_TRUE(app.InitInstance({"tarvel"}));
    CQpgDoc& doc = app.Doc();
    doc.headerLeft = "Line 3";
    doc.headerRight = "Rev B";
    doc.setupTitle = "Bench seven";
    doc.comment = "Printed through the print system.";
    // Enough entries for several pages: each must come out exactly once.
    constexpr int kEntries = 150;
    for (int i = 0; i < kEntries; ++i) {
        char comment[16];
        std::snprintf(comment, sizeof comment, "step%03d", i);
        doc.mainList.Add(CCodeItem(CCodeItem::Wm32, 0x1000 + 4 * i, i, comment));
    }

    bool listed = false;
    bool pressed = false;
    WhenModal([&](QWidget* dialog) {
        // The queue is offered among the printers; the person picks it and presses Print.
        for (auto* printers : dialog->findChildren<QComboBox*>()) {
            const int index = printers->findText(queueName);
            if (index >= 0) {
                listed = true;
                printers->setCurrentIndex(index);
            }
        }
        for (auto* button : dialog->findChildren<QPushButton*>()) {
            if (listed && button->text().remove('&') == "Print" && button->isEnabled()) {
                pressed = true;
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
        static_cast<QDialog*>(dialog)->reject();
    });
    TriggerAction(app.Frame().Action(CMainFrame::FilePrint));
    ASSERT_TRUE(listed) << "the print dialog does not offer " << queue;
    ASSERT_TRUE(pressed) << "no Print button";
    EXPECT_TRUE(box.shown.empty());

    // The job passes through the server to the queue's device.
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(output); }, 30000))
        << "nothing came out of the queue";
    ASSERT_EQ(ReadFileBytes(output).rfind("%PDF-", 0), 0u);
    const std::vector<std::string> pages = PageTexts(output);
    ASSERT_GE(pages.size(), 3u);
    EXPECT_NE(pages[0].find("Bench seven"), std::string::npos) << pages[0];
    EXPECT_NE(pages[0].find("Printed through the print system."), std::string::npos);
    EXPECT_NE(pages[0].find("Target Memory Setup"), std::string::npos);
    EXPECT_NE(pages[0].find("Target Main Initlist"), std::string::npos);
    std::string all;
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string& page = pages[i];
        EXPECT_NE(page.find("Line 3"), std::string::npos) << "page " << i + 1;
        EXPECT_NE(page.find("Rev B"), std::string::npos) << "page " << i + 1;
        EXPECT_NE(page.find("Tarvel"), std::string::npos) << "page " << i + 1;
        // The footer's page number, alone between the program name and the project title.
        EXPECT_NE(page.find(" " + std::to_string(i + 1) + " "), std::string::npos) << "page " << i + 1;
        all += page;
    }
    EXPECT_EQ(Count(all, "Target Main Initlist"), 1u);
    for (int i = 0; i < kEntries; ++i) {
        char comment[16];
        std::snprintf(comment, sizeof comment, "step%03d", i);
        EXPECT_EQ(Count(all, comment), 1u) << comment;
    }
}

} // namespace
