// program [--range R]: programs a range of the image into target flash.
#include "cli/cli_range_step.h"
#include "flash/program_operation.h"

namespace {

class CProgramStep final : public CCliRangeStep {
public:
    CProgramStep() : CCliRangeStep("program", false) {}

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Program, "program"))
            return kExitFailed;
        CQpgDoc& doc = session.Doc();
        CProgramOperation operation(session.Probe().Library(), session.Box(), session.View(),
                                    CliTargetChannel(session), doc.image);
        if (!Prepare(session, doc.ProgramStartRange(), operation))
            return kExitFailed;
        operation.preList = doc.preProgramList;
        operation.postList = doc.postProgramList;
        operation.flashBase = doc.physicalRange.GetStart();
        operation.workspace = CliWorkspace(doc);
        operation.busWidthBytes = doc.BusWidthBytes();
        const ETargetResult result = operation.Start();
        doc.StoreBackProgram(operation.range);
        return CliTargetExit(result);
    }
};

} // namespace

std::unique_ptr<CCliStep> CreateProgramStep()
{
    return std::make_unique<CProgramStep>();
}
