// verify [--range R]: compares target flash with a range of the image.
#include "cli/cli_step.h"
#include "cli/cli_target.h"
#include "target/verify_operation.h"

namespace {

class CVerifyStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        return CliParseTargetRange(args, "verify", false, given_, range_, error);
    }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Verify, "verify"))
            return kExitFailed;
        CQpgDoc& doc = session.Doc();
        CVerifyOperation operation(session.Probe().Library(), session.Box(), session.View(),
                                   CliTargetChannel(session), doc.image);
        operation.range = doc.VerifyStartRange();
        if (!CliTargetRange(session, given_, range_, operation.range))
            return kExitFailed;
        operation.physical = doc.physicalRange;
        operation.targetOptions = doc.targetOptions;
        operation.mainList = doc.mainList;
        operation.flashDevice = doc.memoryType;
        operation.busWidthBytes = doc.BusWidthBytes();
        const ETargetResult result = operation.Start();
        doc.StoreBackVerify(operation.range);
        return CliTargetExit(result);
    }

private:
    bool given_ = false;
    CCliArgs::SRange range_;
};

} // namespace

std::unique_ptr<CCliStep> CreateVerifyStep()
{
    return std::make_unique<CVerifyStep>();
}
