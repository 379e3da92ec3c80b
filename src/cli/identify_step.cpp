// identify: runs the main init list and prints what the flash of each bank
// reports (codes, CFI geometry) and the catalogue rows that fit.
#include "cli/cli_step.h"
#include "cli/cli_target.h"
#include "commands/identify_command.h"

#include <cstdio>

namespace {

class CIdentifyStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        return args.TakeStep("identify", {}, 0, a, error);
    }

    ECliStepPlace Place() const override { return ECliStepPlace::Target; }

    int Run(CCliSession& session) override
    {
        if (session.ImageOnly()) {
            std::fprintf(stderr, "tarvel-cli: identify: needs a project's bus width and base, not --physical\n");
            return kExitFailed;
        }
        CIdentifyCommand command(session.Doc(), CliTargetContext(session));
        const ETargetResult result = command.Start();
        session.NoteResult(command.operation.Result(), {});
        if (result != ETargetResult::Done)
            return CliTargetExit(result);
        std::fputs(command.operation.Report().c_str(), stdout);
        return kExitOk;
    }
};

} // namespace

std::unique_ptr<CCliStep> CreateIdentifyStep()
{
    return std::make_unique<CIdentifyStep>();
}
