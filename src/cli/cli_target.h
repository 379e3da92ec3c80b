#pragma once

// What the target steps (comm, erase, program, verify, dump) share.

#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "flash/target_operation.h"

#include <string>

// The channel text a target command opens: --probe / --sim, else the project's.
inline std::string CliTargetChannel(CCliSession& session)
{
    return session.Probe().ChannelText(session.Doc().ChannelText());
}

// Workspace address of the project: 0xFFFFFFFF when the target algorithm is off.
inline uint32_t CliWorkspace(const CQpgDoc& doc)
{
    return doc.useTargetAlgorithm ? doc.workspace : 0xFFFFFFFF;
}

// A --range given to a step replaces the command's starting range; it is
// checked as the dialog checks what is typed (the message is shown).
inline bool CliTargetRange(CCliSession& session, bool given, const CCliArgs::SRange& r, CMemoryRange& range)
{
    if (!given)
        return true;
    if (!CMemoryRange::ValidateRange(r.start, r.second, r.lengthMode, &session.Box()))
        return false;
    range.Set(r.start, r.second, r.lengthMode);
    return true;
}

// Parses the optional (or, with `required`, mandatory) --range of a step.
inline bool CliParseTargetRange(CCliArgs& args, const char* step, bool required, bool& given, CCliArgs::SRange& range,
                                std::string& error)
{
    CCliArgs::SStepArgs a;
    if (!args.TakeStep(step, {"--range"}, 0, a, error))
        return false;
    given = a.Has("--range");
    if (required && !given) {
        error = std::string(step) + ": wants --range R";
        return false;
    }
    if (given && !CCliArgs::ParseRangeOption(step, a.options["--range"], range, error))
        return false;
    return true;
}

// The target configuration word, the main init list and the device, as
// every target command takes them from the project.
inline void CliTargetSettings(const CQpgDoc& doc, CTargetOperation& operation)
{
    operation.targetOptions = doc.targetOptions;
    operation.mainList = doc.mainList;
    operation.flashDevice = doc.memoryType;
}

inline int CliTargetExit(ETargetResult result)
{
    return result == ETargetResult::Done ? kExitOk : kExitFailed;
}
