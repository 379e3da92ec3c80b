// load FILE [--offset HEX] [--format F]: reads a program file into the image.
#include "cli/cli_load_file.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "commands/load_command.h"
#include "files/program_file_readers.h"

namespace {

class CLoadStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override { return CliParseLoadArgs(args, "load", args_, error); }

    bool StopsInOrder() const override { return false; }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Load, "load"))
            return kExitFailed;
        CLoadCommand command(session.Doc());
        const int result = CliLoadFile(session, args_, command);
        return result == kLoadOk || result == kLoadOutside ? kExitOk : kExitFailed;
    }

private:
    SCliLoadArgs args_;
};

} // namespace

std::unique_ptr<CCliStep> CreateLoadStep()
{
    return std::make_unique<CLoadStep>();
}
