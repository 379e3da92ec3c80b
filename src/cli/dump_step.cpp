// dump --range R: reads target memory into the image.
#include "cli/cli_range_step.h"
#include "flash/dump_operation.h"

namespace {

class CDumpStep final : public CCliRangeStep {
public:
    CDumpStep() : CCliRangeStep("dump", true) {}

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Dump, "dump"))
            return kExitFailed;
        CQpgDoc& doc = session.Doc();
        CDumpOperation operation(session.Probe().Library(), session.Box(), session.View(),
                                 CliTargetChannel(session), doc.image);
        if (!Prepare(session, doc.DumpStartRange(), operation))
            return kExitFailed;
        const ETargetResult result = operation.Start();
        doc.StoreBackDump(operation.range);
        return CliTargetExit(result);
    }
};

} // namespace

std::unique_ptr<CCliStep> CreateDumpStep()
{
    return std::make_unique<CDumpStep>();
}
