// flash FILE [--offset HEX] [--format F] [--changed-only] [--keep-unwritten]
// [--dry-run]: the production job in one step: loads the file, erases
// exactly the sectors its data touches (every bank), programs and verifies
// what it loaded. --changed-only first compares each touched sector with the
// image and leaves those that already hold it alone; --keep-unwritten reads
// back the bytes of each erased sector the image does not cover and programs
// them again; --dry-run prints the plan and sends nothing.
#include "cli/cli_args.h"
#include "cli/cli_load_file.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "cli/cli_target.h"
#include "catalogue/flash_catalogue.h"
#include "cli/cli_flash_plan.h"
#include "cli/cli_interrupt.h"
#include "cli/cli_kept_bytes.h"
#include "commands/dump_command.h"
#include "commands/load_command.h"
#include "common/text_format.h"
#include "flash/erase_plan.h"
#include "commands/program_command.h"
#include "commands/verify_command.h"
#include "files/program_file_readers.h"

#include <algorithm>
#include <cstdio>

namespace {

class CFlashStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        if (!CliParseLoadArgs(args, "flash", args_, error, {"--changed-only", "--keep-unwritten", "--dry-run"}))
            return false;
        const auto given = [this](const char* flag) {
            return std::find(args_.flags.begin(), args_.flags.end(), flag) != args_.flags.end();
        };
        changedOnly_ = given("--changed-only");
        keepUnwritten_ = given("--keep-unwritten");
        dryRun_ = given("--dry-run");
        return true;
    }

    // A dry run sends nothing, but prints each probe's plan; the bytes kept
    // around the image are read into the one memory image, so that wants a
    // single probe.
    ECliStepPlace Place() const override
    {
        return !dryRun_ && keepUnwritten_ ? ECliStepPlace::OneProbe : ECliStepPlace::Target;
    }
    std::string OneProbeWhy() const override { return "flash --keep-unwritten"; }

    // The load, once: with several probes it runs before the probes do.
    int Prepare(CCliSession& session) override
    {
        prepared_ = true;
        if (!session.Allows(CQpgDoc::ECommand::Load, "flash") || !session.Allows(CQpgDoc::ECommand::Program, "flash"))
            return kExitFailed;
        CLoadCommand load(session.Doc());
        const int loaded = CliLoadFile(session, args_, load);
        if (loaded != kLoadOk && loaded != kLoadOutside)
            return kExitFailed;
        ranges_ = session.AlignedInside(load.model.Report().spans);
        if (ranges_.empty()) {
            std::fprintf(stderr, "tarvel-cli: flash: %s holds no data inside the memory range\n", args_.file.c_str());
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
        if (!dryRun_)
            if (const int stopped = StopBetweenPhases(); stopped != kExitOk)
                return stopped;
        CQpgDoc& doc = session.Doc();
        const SFlashArray array = CliFlashArray(session);
        const bool erases = array.device && CErasePlan::FamilyOf(array.device->eraseAlgorithm) != EEraseFamily::None;
        std::vector<SFlashSector> sectors = SectorsTouching(array, ranges_);
        std::vector<CMemoryRange> work = ranges_;
        if (changedOnly_ && !dryRun_) {
            if (const int checked = DropUnchanged(session, sectors, work); checked != kExitOk || work.empty())
                return checked;
            if (const int stopped = StopBetweenPhases(); stopped != kExitOk)
                return stopped;
        }
        std::string restoreFile;
        if (keepUnwritten_ && erases) {
            // The neighbours of the image in each sector to be erased: read
            // into the image first, programmed again with it.
            std::vector<CMemoryRange> gaps, whole;
            for (const SFlashSector& s : sectors) {
                for (const CMemoryRange& g : CliGapsIn(s, work))
                    gaps.push_back(g);
                const uint64_t end = std::min<uint64_t>(s.start + s.size, 0x100000000ull);
                whole.emplace_back(s.start, static_cast<uint32_t>(end - s.start), 1);
            }
            if (!dryRun_ && !whole.empty() && RefuseOverLeftover(session, whole))
                return kExitFailed;
            if (!gaps.empty() && !dryRun_) {
                CDumpCommand dump(doc, CliTargetContext(session));
                dump.operation.spans = gaps;
                const ETargetResult read = dump.Start();
                session.NoteResult(dump.operation.Result(), {});
                if (read != ETargetResult::Done)
                    return CliTargetExit(read);
                // Before anything is erased the kept bytes are on disk.
                std::string error;
                restoreFile = CCliKeptBytes::Save(session.Image(), gaps, error);
                if (restoreFile.empty()) {
                    std::fprintf(stderr, "tarvel-cli: flash: the bytes to keep cannot be saved (%s); nothing was "
                                         "erased\n", error.c_str());
                    return kExitFailed;
                }
                uint64_t kept = 0;
                for (const CMemoryRange& g : gaps)
                    kept += g.GetSize();
                session.View().SetStatus(Format("flash: %llu bytes around the image are kept in %s until they are "
                                                "back in flash",
                                                static_cast<unsigned long long>(kept), restoreFile.c_str()));
                if (const int stopped = StopBetweenPhases(); stopped != kExitOk) {
                    std::remove(restoreFile.c_str()); // nothing erased yet: the flash holds them
                    return stopped;
                }
            }
            work = session.AlignedInside(whole);
        }
        if (dryRun_) {
            CliPrintDryRun("flash", erases ? sectors : std::vector<SFlashSector>{}, work);
            return kExitOk;
        }
        if (restoreFile.empty())
            return EraseProgramVerify(session, work, ranges_, true);
        // From the first erase until the kept bytes are back and verified, a
        // stop waits; a run that dies anyway names the file.
        const std::string hint =
            CCliKeptBytes::RestoreHint(restoreFile, session.ProjectPath(), session.Probe().Address());
        const std::string note = "\ntarvel-cli: flash: the bytes kept around the image may not be back in flash; "
                                 "they are in " + restoreFile + "; " + hint + "\n";
        CliInterruptSetExitNote(note.c_str());
        session.View().HoldStops(true, "Stopping ...: waiting until the kept bytes are back in flash and verified "
                                       "(Ctrl-C again ends at once and leaves them in " + restoreFile + ")");
        const int code = EraseProgramVerify(session, work, work, false);
        session.View().HoldStops(false);
        CliInterruptSetExitNote(nullptr);
        if (code == kExitOk) {
            std::remove(restoreFile.c_str());
            session.View().SetStatus("flash: the kept bytes are back in flash and verified; " + restoreFile +
                                     " removed");
        } else {
            std::fprintf(stderr, "tarvel-cli: flash: the bytes kept around the image are in %s; %s\n",
                         restoreFile.c_str(), hint.c_str());
        }
        if (code == kExitOk && CliInterruptRequested())
            return CliStopExitCode();
        return code;
    }

private:
    // A stop asked for between two phases: no further connection is opened.
    static int StopBetweenPhases()
    {
        if (!CliInterruptRequested())
            return kExitOk;
        std::fprintf(stderr, "tarvel-cli: flash: stopped before the next phase; no further connection was made\n");
        return CliStopExitCode();
    }

    // Erases the sectors `work` touches, programs `work` and verifies
    // `verified`; `stoppable`: a stop is taken between these phases.
    int EraseProgramVerify(CCliSession& session, const std::vector<CMemoryRange>& work,
                           const std::vector<CMemoryRange>& verified, bool stoppable)
    {
        CQpgDoc& doc = session.Doc();
        if (const int erased = CliEraseTouched(session, work, "flash"); erased != kExitOk)
            return erased;
        if (const int stopped = stoppable ? StopBetweenPhases() : kExitOk; stopped != kExitOk)
            return stopped;
        CProgramCommand program(doc, CliTargetContext(session));
        program.operation.spans = work;
        ETargetResult result = program.Start();
        // The step's range: the spans it programmed.
        session.NoteResult(program.operation.Result(), work);
        if (result != ETargetResult::Done)
            return CliTargetExit(result);
        if (const int stopped = stoppable ? StopBetweenPhases() : kExitOk; stopped != kExitOk)
            return stopped;
        CVerifyCommand verify(doc, CliTargetContext(session));
        verify.operation.spans = verified;
        result = verify.Start();
        session.NoteResult(verify.operation.Result(), {});
        CliPrintDiagnosis(verify.operation.Result());
        return CliTargetExit(result);
    }

    // An earlier run's restore file over these sectors: its bytes may be
    // missing from flash, and reading them back now would make the loss
    // permanent. Refused, naming the file and how to put it back.
    bool RefuseOverLeftover(CCliSession& session, const std::vector<CMemoryRange>& sectors) const
    {
        const uint32_t first = sectors.front().GetStart();
        const uint32_t last = sectors.back().GetEnd();
        for (const SCliRestoreFile& f : CCliKeptBytes::Leftovers()) {
            if (f.last < first || f.first > last)
                continue;
            std::fprintf(stderr,
                         "tarvel-cli: flash: an earlier --keep-unwritten run did not end: the bytes it kept around "
                         "its image are in %s and may be missing from flash; %s; nothing was erased\n",
                         f.path.c_str(),
                         CCliKeptBytes::RestoreHint(f.path, session.ProjectPath(), session.Probe().Address()).c_str());
            return true;
        }
        return false;
    }

    // --changed-only: compares each touched sector's part of the image with
    // the target in one connection and keeps in `sectors` and `work` only
    // the sectors that differ (and their parts of the image).
    int DropUnchanged(CCliSession& session, std::vector<SFlashSector>& sectors, std::vector<CMemoryRange>& work)
    {
        std::vector<CMemoryRange> pieces;
        std::vector<size_t> owner; // the sector of each piece
        for (size_t i = 0; i < sectors.size(); ++i)
            for (const CMemoryRange& p : CliPiecesIn(sectors[i], work)) {
                pieces.push_back(p);
                owner.push_back(i);
            }
        CVerifyCommand check(session.Doc(), CliTargetContext(session));
        check.operation.spans = pieces;
        std::vector<bool> matching;
        const ETargetResult result = check.operation.Check(matching);
        session.NoteResult(check.operation.Result(), {});
        if (result != ETargetResult::Done)
            return CliTargetExit(result);
        std::vector<bool> changed(sectors.size(), false);
        for (size_t k = 0; k < pieces.size(); ++k)
            if (!matching[k])
                changed[owner[k]] = true;
        std::vector<SFlashSector> kept, skippedSectors;
        work.clear();
        for (size_t k = 0; k < pieces.size(); ++k)
            if (changed[owner[k]])
                work.push_back(pieces[k]);
        for (size_t i = 0; i < sectors.size(); ++i)
            (changed[i] ? kept : skippedSectors).push_back(sectors[i]);
        session.NoteSkipped(skippedSectors);
        const size_t skipped = sectors.size() - kept.size();
        session.View().SetStatus(Format("flash: %zu of %zu sector(s) already hold the image: skipped (not erased, "
                                        "not programmed)",
                                        skipped, sectors.size()));
        sectors = kept;
        return kExitOk;
    }

    bool changedOnly_ = false;
    bool keepUnwritten_ = false;
    bool dryRun_ = false;
    SCliLoadArgs args_;
    bool prepared_ = false;
    std::vector<CMemoryRange> ranges_;
};

} // namespace

std::unique_ptr<CCliStep> CreateFlashStep()
{
    return std::make_unique<CFlashStep>();
}
