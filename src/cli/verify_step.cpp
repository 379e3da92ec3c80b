// verify [--range R]: compares target flash with a range of the image.
#include "cli/cli_range_step.h"
#include "flash/verify_operation.h"

namespace {

class CVerifyStep final : public CCliRangeStep {
public:
    CVerifyStep() : CCliRangeStep("verify", false) {}

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Verify, "verify"))
            return kExitFailed;
        CQpgDoc& doc = session.Doc();
        CVerifyOperation operation(session.Probe().Library(), session.Box(), session.View(),
                                   CliTargetChannel(session), doc.image);
        if (!Prepare(session, doc.VerifyStartRange(), operation))
            return kExitFailed;
        operation.busWidthBytes = doc.BusWidthBytes();
        const ETargetResult result = operation.Start();
        doc.StoreBackVerify(operation.range);
        return CliTargetExit(result);
    }
};

} // namespace

std::unique_ptr<CCliStep> CreateVerifyStep()
{
    return std::make_unique<CVerifyStep>();
}
