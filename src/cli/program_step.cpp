// program [--range R]: programs a range of the image into target flash.
#include "cli/cli_step.h"
#include "cli/cli_target.h"
#include "target/program_operation.h"

namespace {

class CProgramStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        return CliParseTargetRange(args, "program", false, given_, range_, error);
    }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Program, "program"))
            return kExitFailed;
        CQpgDoc& doc = session.Doc();
        CProgramOperation operation(session.Probe().Library(), session.Box(), session.View(),
                                    CliTargetChannel(session), doc.image);
        operation.range = doc.ProgramStartRange();
        if (!CliTargetRange(session, given_, range_, operation.range))
            return kExitFailed;
        operation.physical = doc.physicalRange;
        operation.targetOptions = doc.targetOptions;
        operation.mainList = doc.mainList;
        operation.preList = doc.preProgramList;
        operation.postList = doc.postProgramList;
        operation.flashDevice = doc.memoryType;
        operation.flashBase = doc.physicalRange.GetStart();
        operation.workspace = CliWorkspace(doc);
        operation.busWidthBytes = doc.BusWidthBytes();
        const ETargetResult result = operation.Start();
        doc.StoreBackProgram(operation.range);
        return CliTargetExit(result);
    }

private:
    bool given_ = false;
    CCliArgs::SRange range_;
};

} // namespace

std::unique_ptr<CCliStep> CreateProgramStep()
{
    return std::make_unique<CProgramStep>();
}
