// tarvel-cli report: the setup report of a saved project as a PDF, read back
// with pdftotext, and as plain text with the same pages; the refusals.
#include "cli_runner.h"
#include "project/code_item.h"
#include "project/qpg_doc.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CliReport : public ::testing::Test {
protected:
    // A project with a multi-paragraph comment and a main list of 150 entries.
    CliReport()
    {
        CQpgDoc doc(false);
        doc.headerLeft = "Line 3 programming station";
        doc.headerRight = "Board X-200 rev. C";
        doc.setupTitle = "X-200 boot flash";
        doc.comment = "The boot flash of the X-200 board.\n\nSecond paragraph:\tthe chip select is set by the "
                      "main list, whose entries run over more than one page.";
        doc.memoryType = "AMD  Am29LV160BB (1M x 16)";
        for (int i = 0; i < 150; ++i)
            doc.mainList.Add(CCodeItem(CCodeItem::Wm32, 0xFFE00000 + 4 * i, i, "step" + std::to_string(i)));
        CScriptedMessageBox box;
        EXPECT_TRUE(doc.Save(dir.File("x200.tvl"), box));
    }

    CTempDir dir;
};

TEST_F(CliReport, PdfHoldsEverySectionTheContinuedListAndTheFooter)
{
    ASSERT_EQ(std::system("command -v pdftotext >/dev/null"), 0) << "pdftotext (poppler-utils) is not installed";
    const SCliRun run = RunCli(dir, "--project x200.tvl report --pdf x200.pdf",
                               "TARVEL_INTL_IDATE=1 TARVEL_INTL_SDATE=. TARVEL_INTL_SSHORTDATE=dd.MM.yyyy");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "Report of 3 pages written to x200.pdf")) << run.err;
    const std::string text = ShellOutput("pdftotext '" + dir.File("x200.pdf") + "' -");

    for (const char* part : {"Line 3 programming station", "Board X-200 rev. C", "X-200 boot flash",
                             "The boot flash of the X-200 board.", "Second paragraph:", "Load", "Store", "Dump",
                             "Fill", "Checksum", "Program", "Verify", "Erase", "Bank/Sector:", "Communication",
                             "COM1 / 9600 bps", "Target Memory Setup", "AMD Am29LV160BB (1M x 16)",
                             "Target Main Initlist", "step0", "step149"})
        EXPECT_TRUE(Has(text, part)) << part;
    // The list's title once, though it runs over three pages.
    EXPECT_EQ(text.find("Target Main Initlist"), text.rfind("Target Main Initlist"));
    const std::vector<std::string> pages = [&] {
        std::vector<std::string> out;
        size_t from = 0;
        for (size_t ff; (ff = text.find('\f', from)) != std::string::npos; from = ff + 1)
            out.push_back(text.substr(from, ff - from));
        return out;
    }();
    ASSERT_EQ(pages.size(), 3u);
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "x200.tvl / %d.%m.%Y", std::localtime(&now));
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_TRUE(Has(pages[i], "Tarvel")) << i;
        EXPECT_TRUE(Has(pages[i], std::string(1, '\n').append(std::to_string(i + 1)).append(1, '\n'))) << i;
        EXPECT_TRUE(Has(pages[i], date)) << date << "\n" << pages[i];
    }
    EXPECT_TRUE(Has(pages[2], "step149"));
    EXPECT_FALSE(Has(pages[2], "step0\n"));

    // The text form has the same pages.
    const SCliRun textRun = RunCli(dir, "--project x200.tvl report --text");
    ASSERT_EQ(textRun.exitCode, 0) << textRun.err;
    EXPECT_EQ(std::count(textRun.out.begin(), textRun.out.end(), '\f'), 2);
    // Every list entry is on the text page of the same number as in the PDF.
    size_t from = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        const size_t end = i + 1 < pages.size() ? textRun.out.find('\f', from) : textRun.out.size();
        const std::string textPage = textRun.out.substr(from, end - from);
        for (int k = 0; k < 150; ++k) {
            const std::string entry = "step" + std::to_string(k) + "\n";
            EXPECT_EQ(Has(textPage, entry), Has(pages[i], entry)) << "page " << i + 1 << ", " << entry;
        }
        from = end + 1;
    }
}

TEST_F(CliReport, RefusalsLeaveNoFile)
{
    const SCliRun both = RunCli(dir, "--project x200.tvl report --text --pdf a.pdf");
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_TRUE(Has(both.err, "report: give either --text or --pdf FILE")) << both.err;
    const SCliRun none = RunCli(dir, "--project x200.tvl report");
    EXPECT_EQ(none.exitCode, 2);

    const SCliRun missing = RunCli(dir, "--project x200.tvl report --pdf no/such/dir/x.pdf");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(Has(missing.err, "File-Error: cannot create a file in no/such/dir")) << missing.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));

    // The PDF goes to standard output with "-".
    const SCliRun out = RunCli(dir, "--project x200.tvl report --pdf -");
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.out.rfind("%PDF-1.4", 0), 0u);
}

} // namespace
