// load FILE [--offset HEX]: reads a program file into the image.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "commands/load_command.h"
#include "files/program_file_readers.h"

namespace {

class CLoadStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("load", {"--offset"}, 1, a, error))
            return false;
        if (a.positionals.empty()) {
            error = "load: FILE is missing";
            return false;
        }
        file_ = a.positionals[0];
        if (a.Has("--offset") && !CCliArgs::ParseHex(a.options["--offset"], offset_)) {
            error = "load: --offset wants a hexadecimal number of up to 8 digits";
            return false;
        }
        return true;
    }

    bool StopsInOrder() const override { return false; }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Load, "load"))
            return kExitFailed;
        CQpgDoc& doc = session.Doc();
        CLoadCommand command(doc);
        // "-": standard input, kept in a file of the run's own directory so
        // that the readers can try it in turn.
        std::string input = file_;
        if (file_ == "-" && !session.SpoolStandardInput(input))
            return kExitFailed;
        command.model.fileName = input;
        command.model.offset.SetValue(offset_);
        const int result = command.Load(session.View(), session.Box());
        if (file_ == "-") {
            session.RemoveSpool();
            command.model.fileName = doc.loadFileName; // the project keeps its own program file
        }
        command.StoreBack();
        if (result == kLoadOk || result == kLoadOutside)
            for (const CMemoryRange& span : command.model.Report().spans)
                session.RecordWritten(span);
        switch (result) {
        case kLoadOk:
            return kExitOk;
        case kLoadOutside:
            session.outsideSeen = true; // a warning: the run goes on, its exit code tells
            return kExitOk;
        default:
            return kExitFailed;
        }
    }

private:
    std::string file_;
    uint32_t offset_ = 0;
};

} // namespace

std::unique_ptr<CCliStep> CreateLoadStep()
{
    return std::make_unique<CLoadStep>();
}
