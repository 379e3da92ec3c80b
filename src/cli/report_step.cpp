// report --text | --pdf FILE: the setup report as the desktop program prints
// it: as plain text on standard output (sections, lines and page breaks as
// on paper, a form feed between pages), or as a PDF file ("-": standard
// output). The PDF is written by the core, without a printer or a display.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "common/text_format.h"
#include "project/safe_file_writer.h"
#include "report/pdf_report_canvas.h"
#include "report/report_date.h"
#include "report/report_layout.h"
#include "report/text_report_canvas.h"

#include <cstdio>
#include <filesystem>

namespace {

bool WriteOut(const std::string& path, const std::string& bytes, std::string& error)
{
    if (path == "-") {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
            error = "report: writing to standard output failed";
            return false;
        }
        return true;
    }
    CSafeFileWriter writer;
    return writer.Write(path, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, error);
}

class CReportStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("report", {"--pdf"}, 0, a, error, {"--text"}))
            return false;
        text_ = a.Has("--text");
        if (a.Has("--pdf"))
            pdf_ = a.options.at("--pdf");
        if (text_ == !pdf_.empty()) {
            error = "report: give either --text or --pdf FILE";
            return false;
        }
        return true;
    }

    bool Check(const SCliRun& run, std::string& error) const override
    {
        if (run.imageOnly) {
            error = "report: --physical works on the image alone, without a project to report";
            return false;
        }
        return true;
    }

    int Run(CCliSession& session) override
    {
        const CQpgDoc& doc = session.Doc();
        const std::string title = doc.GetPathName().empty()
                                      ? std::string("Untitled")
                                      : std::filesystem::path(doc.GetPathName()).filename().string();
        const CReportDate::SIntl intl = CReportDate::ReportForm(session.Settings());
        CReportLayout layout(CReportContent(doc, title, CReportDate::Today(intl)));
        CPdfReportCanvas pdf;
        if (text_) {
            CTextReportCanvas text(pdf);
            layout.PrintAll(text);
            std::string error;
            if (!WriteOut("-", text.Text(), error)) {
                session.Box().Show(error, "File-Error", EMsgIcon::Stop, EMsgButtons::Ok);
                return kExitFailed;
            }
            return kExitOk;
        }
        const int pages = layout.PrintAll(pdf);
        std::string error;
        if (!WriteOut(pdf_, pdf.Document(title), error)) {
            session.Box().Show(error, "File-Error", EMsgIcon::Stop, EMsgButtons::Ok);
            return kExitFailed;
        }
        if (pdf_ != "-")
            session.View().SetStatus(Format("Report of %d page%s written to %s", pages, pages == 1 ? "" : "s",
                                            pdf_.c_str()));
        return kExitOk;
    }

private:
    bool text_ = false;
    std::string pdf_;
};

} // namespace

std::unique_ptr<CCliStep> CreateReportStep()
{
    return std::make_unique<CReportStep>();
}
