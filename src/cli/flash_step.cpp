// flash FILE [--offset HEX]: the production job in one step: loads the file,
// erases exactly the sectors its data touches (every bank), programs and
// verifies what it loaded.
#include "cli/cli_args.h"
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
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("flash", {"--offset"}, 1, a, error))
            return false;
        if (a.positionals.empty()) {
            error = "flash: FILE is missing";
            return false;
        }
        file_ = a.positionals[0];
        if (a.Has("--offset") && !CCliArgs::ParseHex(a.options["--offset"], offset_)) {
            error = "flash: --offset wants a hexadecimal number of up to 8 digits";
            return false;
        }
        return true;
    }

    ECliStepPlace Place() const override { return ECliStepPlace::Target; }

    // The load, once: with several probes it runs before the probes do.
    int Prepare(CCliSession& session) override
    {
        prepared_ = true;
        if (!session.Allows(CQpgDoc::ECommand::Load, "flash") || !session.Allows(CQpgDoc::ECommand::Program, "flash"))
            return kExitFailed;
        CLoadCommand load(session.Doc());
        load.model.fileName = file_;
        load.model.offset.SetValue(offset_);
        const int loaded = load.Load(session.View(), session.Box());
        load.StoreBack();
        if (loaded != kLoadOk && loaded != kLoadOutside)
            return kExitFailed;
        if (loaded == kLoadOutside)
            session.outsideSeen = true;
        for (const CMemoryRange& span : load.model.Report().spans)
            session.RecordWritten(span);
        ranges_ = session.AlignedInside(load.model.Report().spans);
        if (ranges_.empty()) {
            std::fprintf(stderr, "tarvel-cli: flash: %s holds no data inside the memory range\n", file_.c_str());
            return kExitFailed;
        }
        return kExitOk;
    }

    // Erase, program and verify, each over one connection for all spans.
    int Run(CCliSession& session) override
    {
        if (!prepared_)
            if (const int prepared = Prepare(session); prepared != kExitOk)
                return prepared;
        CQpgDoc& doc = session.Doc();
        if (const int erased = CliEraseTouched(session, ranges_, "flash"); erased != kExitOk)
            return erased;
        CProgramCommand program(doc, CliTargetContext(session));
        program.operation.spans = ranges_;
        ETargetResult result = program.Start();
        session.NoteResult(program.operation.Result(), ranges_);
        if (result != ETargetResult::Done)
            return CliTargetExit(result);
        CVerifyCommand verify(doc, CliTargetContext(session));
        verify.operation.spans = ranges_;
        result = verify.Start();
        session.NoteResult(verify.operation.Result(), ranges_);
        CliPrintDiagnosis(verify.operation.Result());
        return CliTargetExit(result);
    }

private:
    std::string file_;
    uint32_t offset_ = 0;
    bool prepared_ = false;
    std::vector<CMemoryRange> ranges_;
};

} // namespace

std::unique_ptr<CCliStep> CreateFlashStep()
{
    return std::make_unique<CFlashStep>();
}
