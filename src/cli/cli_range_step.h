#pragma once

// What the range-taking target steps (dump, verify, program) share: an
// optional (or, for dump, required) --range that replaces the command's
// starting range, and the run of the command itself.

#include "cli/cli_step.h"
#include "cli/cli_target.h"

#include <string>

class CCliRangeStep : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        return CliParseTargetRange(args, name_, required_, given_, range_, error);
    }

protected:
    CCliRangeStep(const char* name, bool required) : name_(name), required_(required) {}

    // The command opens as its dialog would, takes the given --range (a
    // refused range stops the step: its message was shown), runs and stores
    // back.
    template <class TCommand>
    int RunCommand(CCliSession& session, CQpgDoc::ECommand id)
    {
        if (!session.Allows(id, name_))
            return kExitFailed;
        TCommand command(session.Doc(), CliTargetContext(session));
        if (!CliTargetRange(session, given_, range_, command.operation.range))
            return kExitFailed;
        const ETargetResult result = command.Start();
        command.StoreBack();
        return CliTargetExit(result);
    }

private:
    const char* name_;
    bool required_;
    bool given_ = false;
    CCliArgs::SRange range_;
};
