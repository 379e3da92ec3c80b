// flash FILE [--offset HEX] [--format F]: the production job in one step: loads the file,
// erases exactly the sectors its data touches (every bank), programs and
// verifies what it loaded.
#include "cli/cli_load_file.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "cli/cli_target.h"
#include "commands/load_command.h"
#include "commands/program_command.h"
#include "commands/verify_command.h"
#include "files/program_file_readers.h"

#include <cstdio>

namespace {

class CFlashStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override { return CliParseLoadArgs(args, "flash", args_, error); }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Load, "flash") || !session.Allows(CQpgDoc::ECommand::Program, "flash"))
            return kExitFailed;
        CQpgDoc& doc = session.Doc();
        CLoadCommand load(doc);
        const int loaded = CliLoadFile(session, args_, load);
        if (loaded != kLoadOk && loaded != kLoadOutside)
            return kExitFailed;
        const std::vector<CMemoryRange> ranges = session.AlignedInside(load.model.Report().spans);
        if (ranges.empty()) {
            std::fprintf(stderr, "tarvel-cli: flash: %s holds no data inside the memory range\n", args_.file.c_str());
            return kExitFailed;
        }
        if (const int erased = CliEraseTouched(session, ranges, "flash"); erased != kExitOk)
            return erased;
        for (const CMemoryRange& r : ranges) {
            CProgramCommand program(doc, CliTargetContext(session));
            program.operation.range = r;
            if (const ETargetResult result = program.Start(); result != ETargetResult::Done)
                return CliTargetExit(result);
        }
        for (const CMemoryRange& r : ranges) {
            CVerifyCommand verify(doc, CliTargetContext(session));
            verify.operation.range = r;
            if (const ETargetResult result = verify.Start(); result != ETargetResult::Done)
                return CliTargetExit(result);
        }
        return kExitOk;
    }

private:
    SCliLoadArgs args_;
};

} // namespace

std::unique_ptr<CCliStep> CreateFlashStep()
{
    return std::make_unique<CFlashStep>();
}
