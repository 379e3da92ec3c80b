// probe-info: connects to the probe's loader and prints its serial number,
// MAC address and the current and newest versions; ends by starting the
// firmware.
#include "cli/cli_args.h"
#include "cli/cli_probe_maintenance.h"
#include "cli/cli_step.h"

namespace {

class CProbeInfoStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        return args.TakeStep("probe-info", {"--port", "--baud"}, 0, a, error) && port_.Parse(a, "probe-info", error);
    }

    ECliStepPlace Place() const override { return ECliStepPlace::OneProbe; }

    int Run(CCliSession& session) override
    {
        CCliProbeMaintenance maintenance(session);
        maintenance.UsePort(port_);
        CUpdateSetupModel& model = maintenance.Model();
        if (!model.TakeValues())
            return kExitFailed;
        const bool connected = maintenance.Connect("probe-info");
        if (connected) {
            maintenance.PrintVersions();
            maintenance.ReportMissingFiles("probe-info"); // a note: the versions were read
        }
        return maintenance.Finish(connected ? kExitOk : kExitFailed);
    }

private:
    SCliLoaderPort port_;
};

} // namespace

std::unique_ptr<CCliStep> CreateProbeInfoStep()
{
    return std::make_unique<CProbeInfoStep>();
}
