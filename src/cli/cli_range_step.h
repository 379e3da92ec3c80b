#pragma once

// What the range-taking target steps (dump, verify, program) share: an
// optional (or, for dump, required) --range that replaces the command's
// starting range, and the run of the command itself.
//
// Without --range, program and verify cover what this run wrote into the
// image (loads, the project's autoload, fill, dump): every written range in
// turn over one connection; with nothing written they fail. The range kept in
// the project is used only with "--range stored": a range saved by an earlier run must never
// cut a later run's file short. An empty kept range is refused, and program
// and verify over a kept range this run wrote nothing into fail: they would
// program or compare erased bytes the run never meant. Only a range given
// on the command line is taken as it is.

#include "cli/cli_step.h"
#include "cli/cli_flash_plan.h"
#include "cli/cli_target.h"

#include "common/text_format.h"

#include <cstdio>
#include <string>
#include <vector>

class CCliRangeStep : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        return CliParseTargetRange(args, name_, required_, given_, stored_, range_, error,
                                   allowDryRun_ ? &dryRun_ : nullptr);
    }

    // A dry run sends nothing: it runs once, whatever the probes.
    bool DryRun() const { return dryRun_; }

protected:
    // `stored`: the project's field that "--range stored" takes.
    CCliRangeStep(const char* name, bool required, CMemoryRange CQpgDoc::*stored)
        : name_(name), required_(required), storedField_(stored)
    {
    }

    // The command opens as its dialog would, takes the given --range (a
    // refused range stops the step: its message was shown), runs and stores
    // back.
    // `writesImage`: the command reads target memory into the image (dump),
    // which then counts as written by this run.
    template <class TCommand>
    int RunCommand(CCliSession& session, CQpgDoc::ECommand id, bool writesImage = false)
    {
        if (!session.Allows(id, name_))
            return kExitFailed;
        if (dryRun_)
            return PrintDryRun<TCommand>(session);
        if constexpr (requires(TCommand& c) { c.operation.spans; }) {
            if (!given_ && !required_)
                return RunOverWritten<TCommand>(session);
        }
        TCommand command(session.Doc(), CliTargetContext(session));
        if (stored_) {
            if (!TakeStoredRange(session, writesImage, command.operation.range))
                return kExitFailed;
        } else if (!CliTargetRange(session, given_, range_, command.operation.range)) {
            return kExitFailed;
        }
        const ETargetResult result = command.Start();
        Report(session, command.operation.Result(), {command.operation.range});
        command.StoreBack();
        if (writesImage && result == ETargetResult::Done)
            session.RecordWritten(command.operation.range);
        return CliTargetExit(result);
    }

    // The command once for every range this run wrote into the image. The
    // project's range is left as it was: these ranges were not asked for.
    template <class TCommand>
    int RunOverWritten(CCliSession& session)
    {
        const std::vector<CMemoryRange> ranges = session.WrittenRanges();
        if (ranges.empty()) {
            std::fprintf(stderr, "tarvel-cli: %s: nothing loaded in this run: load a file or give --range\n", name_);
            return kExitFailed;
        }
        TCommand command(session.Doc(), CliTargetContext(session));
        command.operation.spans = ranges;
        const ETargetResult result = command.Start();
        Report(session, command.operation.Result(), ranges);
        return CliTargetExit(result);
    }

    // --dry-run: the spans the step would cover, nothing sent.
    template <class TCommand>
    int PrintDryRun(CCliSession& session)
    {
        std::vector<CMemoryRange> spans = session.WrittenRanges();
        if (given_) {
            TCommand command(session.Doc(), CliTargetContext(session));
            if (stored_ ? !TakeStoredRange(session, false, command.operation.range)
                        : !CliTargetRange(session, given_, range_, command.operation.range))
                return kExitFailed;
            spans = {command.operation.range};
        } else if (spans.empty()) {
            std::fprintf(stderr, "tarvel-cli: %s: nothing loaded in this run: load a file or give --range\n", name_);
            return kExitFailed;
        }
        CliPrintDryRun(name_, {}, spans);
        return kExitOk;
    }

    // Notes the operation's result for the step's report; a failed verify's
    // read back is printed under its failure.
    static void Report(CCliSession& session, const SOperationResult& result, const std::vector<CMemoryRange>& spans)
    {
        session.NoteResult(result, spans);
        CliPrintDiagnosis(result);
    }

    bool allowDryRun_ = false;

private:
    // "--range stored": the project's range as it is kept (the operation
    // checks it against the physical range). False (message printed) when
    // it is empty or, for a step that sends the image, this run wrote
    // nothing into it.
    bool TakeStoredRange(CCliSession& session, bool writesImage, CMemoryRange& range) const
    {
        const CMemoryRange& stored = session.Doc().*storedField_;
        if (stored.GetSize() == 0) {
            std::fprintf(stderr, "tarvel-cli: %s: the project keeps no %s range: give --range R\n", name_, name_);
            return false;
        }
        if (!writesImage && !session.WroteInto(stored)) {
            std::fprintf(stderr,
                         "tarvel-cli: %s: this run wrote nothing into the project's %s range %08lX - %08lX: load "
                         "a file first, or give the range with --range R\n",
                         name_, name_, static_cast<unsigned long>(stored.GetStart()),
                         static_cast<unsigned long>(stored.GetEnd()));
            return false;
        }
        range = stored;
        return true;
    }

    bool dryRun_ = false;
    const char* name_;
    bool required_;
    CMemoryRange CQpgDoc::*storedField_;
    bool given_ = false;
    bool stored_ = false;
    CCliArgs::SRange range_;
};
