// comm [--channel COM1..COM4|network] [--baud N] [--ip ADDRESS] [--test]:
// the Communication Setup; --test runs its link test.
#include "cli/cli_step.h"
#include "cli/cli_target.h"
#include "commands/comm_setup_command.h"

namespace {

const char* const kChannels[] = {"COM1", "COM2", "COM3", "COM4", "network"};
const char* const kBauds[] = {"9600", "19200", "38400", "57600", "115200"};

class CCommStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("comm", {"--channel", "--baud", "--ip"}, 0, a, error, {"--test"}))
            return false;
        test_ = a.Has("--test");
        if (a.Has("--channel") && !Index(kChannels, a.options["--channel"], channel_)) {
            error = "comm: --channel wants COM1, COM2, COM3, COM4 or network";
            return false;
        }
        if (a.Has("--baud") && !Index(kBauds, a.options["--baud"], baud_)) {
            error = "comm: --baud wants 9600, 19200, 38400, 57600 or 115200";
            return false;
        }
        if (a.Has("--ip")) {
            ip_ = a.options["--ip"];
            if (ip_.size() > CCommSetup::kMaxIpLength) {
                error = "comm: --ip holds at most 15 characters";
                return false;
            }
            hasIp_ = true;
        }
        return true;
    }

    // The link test reaches each probe; the settings alone are the project's.
    ECliStepPlace Place() const override { return test_ ? ECliStepPlace::Target : ECliStepPlace::Image; }

    int Run(CCliSession& session) override
    {
        CCommSetupCommand command(session.Doc(), session.Probe().Library(), session.Box());
        SCommSettings& settings = command.settings;
        if (channel_ >= 0)
            settings.channel = channel_;
        if (baud_ >= 0)
            settings.baud = baud_;
        if (hasIp_)
            settings.ipAddress = ip_;
        if (test_ && !command.TestLink(session.View(), session.Probe().ChannelText(""))) {
            command.StoreBack(false);
            return kExitFailed;
        }
        const bool changes = channel_ >= 0 || baud_ >= 0 || hasIp_;
        if (changes && !command.Accept()) {
            command.StoreBack(false);
            return kExitFailed;
        }
        command.StoreBack(changes);
        return kExitOk;
    }

private:
    template <size_t N>
    static bool Index(const char* const (&names)[N], const std::string& text, int& index)
    {
        for (size_t i = 0; i < N; ++i) {
            if (text == names[i]) {
                index = static_cast<int>(i);
                return true;
            }
        }
        return false;
    }

    int channel_ = -1;
    int baud_ = -1;
    std::string ip_;
    bool hasIp_ = false;
    bool test_ = false;
};

} // namespace

std::unique_ptr<CCliStep> CreateCommStep()
{
    return std::make_unique<CCommStep>();
}
