// store FILE --range R: writes a range of the image as an S-record file.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"

#include <cstdio>
#include <unistd.h>
#include "commands/store_command.h"

namespace {

class CStoreStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("store", {"--range"}, 1, a, error))
            return false;
        if (a.positionals.empty() || !a.Has("--range")) {
            error = "store: wants FILE and --range R";
            return false;
        }
        file_ = a.positionals[0];
        if (!CCliArgs::ParseRangeOption("store", a.options["--range"], range_, error))
            return false;
        return true;
    }

    bool StopsInOrder() const override { return false; }
    bool WritesStandardOutput() const override { return file_ == "-"; }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Store, "store"))
            return kExitFailed;
        CStoreCommand command(session.Doc());
        command.model.entry.SetFields(range_.start, range_.second, range_.lengthMode);
        command.model.fileName = file_;
        if (file_ == "-") {
            std::fflush(stdout);
            command.model.streamFd = STDOUT_FILENO; // "-": the records go to standard output
        }
        const bool stored = command.Store(session.View(), session.Box());
        if (file_ == "-")
            command.model.fileName = session.Doc().storeFileName; // the project keeps its own file name
        command.StoreBack();
        return stored ? kExitOk : kExitFailed;
    }

private:
    std::string file_;
    CCliArgs::SRange range_;
};

} // namespace

std::unique_ptr<CCliStep> CreateStoreStep()
{
    return std::make_unique<CStoreStep>();
}
