// erase --all | erase --sectors B/S,...: erases the whole flash array, or
// the listed sectors (which become the project's erase selection).
#include "cli/cli_step.h"
#include "cli/cli_target.h"
#include "commands/erase_command.h"

namespace {

class CEraseStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("erase", {"--sectors"}, 0, a, error, {"--all"}))
            return false;
        all_ = a.Has("--all");
        if (all_ == a.Has("--sectors")) {
            error = "erase: wants --all or --sectors B/S,...";
            return false;
        }
        if (!all_) {
            sectors_ = a.options["--sectors"];
            if (sectors_.empty()) {
                error = "erase: --sectors wants a list of bank/sector pairs such as 0/1,0/2";
                return false;
            }
        }
        return true;
    }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Erase, "erase"))
            return kExitFailed;
        CEraseCommand command(session.Doc(), CliTargetContext(session));
        ETargetResult result;
        if (all_) {
            result = command.EraseAll();
        } else {
            result = command.EraseSectors([&](CEraseMap& map) {
                std::string error;
                if (map.SetSelection(sectors_, error))
                    return true;
                session.Box().Show(error, "Invalid Input", EMsgIcon::Exclamation, EMsgButtons::Ok);
                return false;
            });
            if (result == ETargetResult::NothingSelected)
                session.View().SetStatus("No sector selected: nothing was erased.");
        }
        command.StoreBack();
        return CliTargetExit(result);
    }

private:
    bool all_ = false;
    std::string sectors_;
};

} // namespace

std::unique_ptr<CCliStep> CreateEraseStep()
{
    return std::make_unique<CEraseStep>();
}
