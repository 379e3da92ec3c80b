// probe-update: connects to the probe's loader and updates firmware and
// logic to the newest files in the program directory (Update); ends by
// starting the firmware.
#include "cli/cli_args.h"
#include "cli/cli_probe_maintenance.h"
#include "cli/cli_step.h"

namespace {

class CProbeUpdateStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        return args.TakeStep("probe-update", {"--port", "--baud"}, 0, a, error) && port_.Parse(a, "probe-update", error);
    }

    ECliStepPlace Place() const override { return ECliStepPlace::OneProbe; }

    int Run(CCliSession& session) override
    {
        CCliProbeMaintenance maintenance(session);
        maintenance.UsePort(port_);
        CUpdateSetupModel& model = maintenance.Model();
        if (!model.TakeValues())
            return kExitFailed;
        if (!maintenance.Connect("probe-update"))
            return maintenance.Finish(kExitFailed);
        // A missing file fails its own part in the update, which names it
        // and where it was looked for; the other part still goes in when
        // its turn comes (the firmware first).
        if (!model.UpdateEnabled()) {
            // The Update button stays disabled: the probe runs a firmware,
            // its logic version is known, and nothing newer is on disk.
            std::printf("Firmware and logic are up to date.\n");
            maintenance.PrintVersions();
            return maintenance.Finish(kExitOk);
        }
        const bool updated = model.Update();
        maintenance.PrintVersions(updated);
        return maintenance.Finish(updated ? kExitOk : kExitFailed);
    }

private:
    SCliLoaderPort port_;
};

} // namespace

std::unique_ptr<CCliStep> CreateProbeUpdateStep()
{
    return std::make_unique<CProbeUpdateStep>();
}
