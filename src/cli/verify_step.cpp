// verify [--range R]: compares target flash with a range of the image.
#include "cli/cli_range_step.h"
#include "commands/verify_command.h"

namespace {

class CVerifyStep final : public CCliRangeStep {
public:
    CVerifyStep() : CCliRangeStep("verify", false, &CQpgDoc::verifyRange) {}

    ECliStepPlace Place() const override { return ECliStepPlace::Target; }

    int Run(CCliSession& session) override
    {
        return RunCommand<CVerifyCommand>(session, CQpgDoc::ECommand::Verify);
    }
};

} // namespace

std::unique_ptr<CCliStep> CreateVerifyStep()
{
    return std::make_unique<CVerifyStep>();
}
