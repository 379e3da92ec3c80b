#pragma once

#include "cli/cli_interrupt.h"

// What the target steps (comm, erase, program, verify, dump) share.

#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "commands/target_context.h"
#include "flash/operation_texts.h"
#include "flash/target_operation.h"

#include <cstdio>
#include <string>
#include <vector>

// The probe, person and channel a target command works with: --probe /
// --sim when given, else the project's channel.
inline STargetContext CliTargetContext(CCliSession& session)
{
    STargetContext context{session.Probe().Library(), session.Box(), session.View(),
                           session.Probe().ChannelText(session.Doc().ChannelText())};
    context.deviceCheck = session.deviceCheck;
    return context;
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

// Parses the optional (or, with `required`, mandatory) --range of a step;
// "--range stored" asks for the range kept in the project.
// `dryRun`: the step takes --dry-run too (nullptr: it does not).
inline bool CliParseTargetRange(CCliArgs& args, const char* step, bool required, bool& given, bool& stored,
                                CCliArgs::SRange& range, std::string& error, bool* dryRun = nullptr)
{
    CCliArgs::SStepArgs a;
    if (!args.TakeStep(step, {"--range"}, 0, a, error, dryRun ? std::vector<std::string>{"--dry-run"}
                                                              : std::vector<std::string>{}))
        return false;
    if (dryRun)
        *dryRun = a.Has("--dry-run");
    given = a.Has("--range");
    stored = given && a.options["--range"] == "stored";
    if (required && !given) {
        error = std::string(step) + ": wants --range R";
        return false;
    }
    if (given && !stored && !CCliArgs::ParseRangeOption(step, a.options["--range"], range, error))
        return false;
    return true;
}

// What a failed verify found on reading the target back, on stderr (also
// when quiet: it belongs to the failure's message).
inline void CliPrintDiagnosis(const SOperationResult& result)
{
    if (const std::string details = COperationTexts::Details(result); !details.empty())
        std::fprintf(stderr, "%s\n", details.c_str());
}

inline int CliTargetExit(ETargetResult result)
{
    switch (result) {
    case ETargetResult::Done:
        return kExitOk;
    case ETargetResult::Stopped:
        return CliStopExitCode();
    case ETargetResult::DeviceRefused:
        std::fprintf(stderr, "tarvel-cli: stopped by the device check before any erase or program: choose the "
                             "right device with setup --device (identify lists the rows that fit), or give "
                             "--no-device-check to go on without it\n");
        return kExitFailed;
    default:
        return kExitFailed;
    }
}

// Erases the sectors that `ranges` touch, in every bank; the project's erase
// selection is left as it was. A device without an erase algorithm (it is
// erased as it is written) skips the erase.
int CliEraseTouched(CCliSession& session, const std::vector<CMemoryRange>& ranges, const char* step);
