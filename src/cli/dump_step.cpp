// dump --range R: reads a range of target memory into the image.
#include "cli/cli_range_step.h"
#include "commands/dump_command.h"

namespace {

class CDumpStep final : public CCliRangeStep {
public:
    CDumpStep() : CCliRangeStep("dump", true, &CQpgDoc::dumpRange) {}

    ECliStepPlace Place() const override { return ECliStepPlace::OneProbe; }

    int Run(CCliSession& session) override
    {
        return RunCommand<CDumpCommand>(session, CQpgDoc::ECommand::Dump, true);
    }
};

} // namespace

std::unique_ptr<CCliStep> CreateDumpStep()
{
    return std::make_unique<CDumpStep>();
}
