// dump --range R: reads target memory into the image.
#include "cli/cli_step.h"
#include "cli/cli_target.h"
#include "target/dump_operation.h"

namespace {

class CDumpStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        return CliParseTargetRange(args, "dump", true, given_, range_, error);
    }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Dump, "dump"))
            return kExitFailed;
        CQpgDoc& doc = session.Doc();
        CDumpOperation operation(session.Probe().Library(), session.Box(), session.View(),
                                 CliTargetChannel(session), doc.image);
        operation.range = doc.DumpStartRange();
        if (!CliTargetRange(session, given_, range_, operation.range))
            return kExitFailed;
        operation.physical = doc.physicalRange;
        operation.targetOptions = doc.targetOptions;
        operation.mainList = doc.mainList;
        operation.flashDevice = doc.memoryType;
        const ETargetResult result = operation.Start();
        doc.StoreBackDump(operation.range);
        return CliTargetExit(result);
    }

private:
    bool given_ = false;
    CCliArgs::SRange range_;
};

} // namespace

std::unique_ptr<CCliStep> CreateDumpStep()
{
    return std::make_unique<CDumpStep>();
}
