#pragma once

// What the range-taking target steps (dump, verify, program) share: an
// optional (or, for dump, required) --range that replaces the command's
// starting range, and what every target command takes from the project.

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

    // Sets the operation's range (the command's starting range, or the given
    // --range), its physical range and the project's target settings. False
    // when the given range is refused (the message was shown).
    template <class TOperation>
    bool Prepare(CCliSession& session, const CMemoryRange& startRange, TOperation& operation) const
    {
        operation.range = startRange;
        if (!CliTargetRange(session, given_, range_, operation.range))
            return false;
        const CQpgDoc& doc = session.Doc();
        operation.physical = doc.physicalRange;
        CliTargetSettings(doc, operation);
        return true;
    }

private:
    const char* name_;
    bool required_;
    bool given_ = false;
    CCliArgs::SRange range_;
};
