// save [FILE]: writes the project file: to FILE, or to the --project file.
// Another file that already exists is replaced only after a Yes.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "common/text_format.h"

#include <cstdio>
#include <filesystem>

namespace {

class CSaveStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("save", {}, 1, a, error, {}, 0))
            return false;
        if (!a.positionals.empty())
            file_ = a.positionals[0];
        return true;
    }

    bool Check(const SCliRun& run, std::string& error) const override
    {
        if (run.imageOnly) {
            error = "save: --physical works on the image alone, without a project to save";
            return false;
        }
        if (file_.empty() && !run.project) {
            error = "save: FILE is missing (there is no --project file to save to)";
            return false;
        }
        return true;
    }

    int Run(CCliSession& session) override
    {
        CQpgDoc& doc = session.Doc();
        const std::string path = file_.empty() ? session.ProjectPath() : file_;
        std::error_code ec;
        const bool exists = std::filesystem::exists(path, ec);
        const bool own = !session.ProjectPath().empty() && std::filesystem::exists(session.ProjectPath(), ec)
                         && std::filesystem::equivalent(path, session.ProjectPath(), ec);
        if (exists && !own
            && session.Box().Show("File already exists!   Do you want replace it?", "Confirmed", EMsgIcon::Question,
                                  EMsgButtons::YesNo)
                   != EMsgResult::Yes)
            return kExitFailed;
        // Another program's change to this run's own project file is never
        // written over, not even with --yes: the person decides what to keep.
        // The look and the write are one step under the project file lock,
        // so a save that lands between them cannot be lost either.
        std::string why;
        const CQpgDoc::ESaveResult saved = doc.SaveKeepingOtherChanges(path, session.Box(), &why);
        if (saved == CQpgDoc::ESaveResult::ChangedOnDisk) {
            std::fprintf(stderr,
                         "tarvel-cli: save: the project file %s changed on disk since this run read it (%s); "
                         "not saved, so that change is kept\n",
                         path.c_str(), why.c_str());
            return kExitFailed;
        }
        if (saved != CQpgDoc::ESaveResult::Saved)
            return kExitFailed;
        session.View().SetStatus(Format("Project saved to %s", path.c_str()));
        return kExitOk;
    }

private:
    std::string file_;
};

} // namespace

std::unique_ptr<CCliStep> CreateSaveStep()
{
    return std::make_unique<CSaveStep>();
}
