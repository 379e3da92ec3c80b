// probe-netsetup --ip A --mask M --gateway G: connects to the probe's loader
// and writes the probe's network setup (Transmit); the three values go back
// into the project as the dialog's OK takes them; ends by starting the
// firmware.
#include "cli/cli_args.h"
#include "cli/cli_probe_maintenance.h"
#include "cli/cli_step.h"

namespace {

class CProbeNetSetupStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("probe-netsetup", {"--ip", "--mask", "--gateway", "--port", "--baud"}, 0, a, error) ||
            !port_.Parse(a, "probe-netsetup", error))
            return false;
        if (!a.Has("--ip") || !a.Has("--mask") || !a.Has("--gateway")) {
            error = "probe-netsetup: wants --ip A --mask M --gateway G";
            return false;
        }
        ip_ = a.options["--ip"];
        mask_ = a.options["--mask"];
        gateway_ = a.options["--gateway"];
        for (const std::string* text : {&ip_, &mask_, &gateway_}) {
            if (text->size() > kMaxAddressLength) {
                error = "probe-netsetup: an address holds at most 15 characters";
                return false;
            }
        }
        return true;
    }

    ECliStepPlace Place() const override { return ECliStepPlace::OneProbe; }

    int Run(CCliSession& session) override
    {
        CCliProbeMaintenance maintenance(session);
        maintenance.UsePort(port_);
        CUpdateSetupModel& model = maintenance.Model();
        model.ipAddress = ip_;
        model.subnetMask = mask_;
        model.defaultGateway = gateway_;
        // All three addresses are checked before the probe is reached.
        if (!model.TakeNetworkValues())
            return kExitFailed;
        if (!maintenance.Connect("probe-netsetup"))
            return maintenance.Finish(kExitFailed);
        const bool written = model.Transmit();
        return maintenance.Finish(written ? kExitOk : kExitFailed);
    }

private:
    static constexpr size_t kMaxAddressLength = 15;
    SCliLoaderPort port_;
    std::string ip_;
    std::string mask_;
    std::string gateway_;
};

} // namespace

std::unique_ptr<CCliStep> CreateProbeNetSetupStep()
{
    return std::make_unique<CProbeNetSetupStep>();
}
