// program [--range R]: programs a range of the image into target flash.
#include "cli/cli_range_step.h"
#include "commands/program_command.h"

namespace {

class CProgramStep final : public CCliRangeStep {
public:
    CProgramStep() : CCliRangeStep("program", false, &CQpgDoc::programRange) { allowDryRun_ = true; }

    // A dry run sends nothing, but in a gang each probe prints its plan.
    ECliStepPlace Place() const override { return ECliStepPlace::Target; }

    int Run(CCliSession& session) override
    {
        return RunCommand<CProgramCommand>(session, CQpgDoc::ECommand::Program);
    }
};

} // namespace

std::unique_ptr<CCliStep> CreateProgramStep()
{
    return std::make_unique<CProgramStep>();
}
