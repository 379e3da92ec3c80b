// erase --all | erase --sectors B/S,... | erase --range R: erases the whole
// flash array, or the listed sectors (which become the project's erase
// selection), or the sectors a range touches in any bank (the project's
// selection stays as it was).
#include "cli/cli_step.h"
#include "cli/cli_target.h"
#include "catalogue/flash_catalogue.h"
#include "cli/cli_flash_plan.h"
#include "commands/erase_command.h"

namespace {

class CEraseStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("erase", {"--sectors", "--range"}, 0, a, error, {"--all", "--dry-run"}))
            return false;
        dryRun_ = a.Has("--dry-run");
        all_ = a.Has("--all");
        byRange_ = a.Has("--range");
        if (int(all_) + int(a.Has("--sectors")) + int(byRange_) != 1) {
            error = "erase: wants one of --all, --sectors B/S,... or --range R";
            return false;
        }
        if (byRange_)
            return CCliArgs::ParseRangeOption("erase", a.options["--range"], range_, error);
        if (!all_) {
            sectors_ = a.options["--sectors"];
            if (sectors_.empty()) {
                error = "erase: --sectors wants a list of bank/sector pairs such as 0/1,0/2";
                return false;
            }
        }
        return true;
    }

    // A dry run sends nothing, but in a gang each probe prints its plan.
    ECliStepPlace Place() const override { return ECliStepPlace::Target; }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Erase, "erase"))
            return kExitFailed;
        if (dryRun_)
            return PrintDryRun(session);
        CEraseCommand command(session.Doc(), CliTargetContext(session));
        ETargetResult result;
        if (all_) {
            result = command.EraseAll();
        } else if (byRange_) {
            CMemoryRange range;
            // As program, verify and dump: a range that is not inside the
            // flash is refused (with the same message), never cut to it.
            if (!CliTargetRange(session, true, range_, range) ||
                !range.CheckInside(session.Physical(), "", &session.Box()))
                return kExitFailed;
            return CliEraseTouched(session, {range}, "erase");
        } else {
            result = command.EraseSectors([&](CEraseMap& map) {
                std::string error;
                if (map.SetSelection(sectors_, error))
                    return true;
                session.Box().Show(error, "Invalid Input", EMsgIcon::Exclamation, EMsgButtons::Ok);
                return false;
            });
        }
        // What an erase that reports no passes (the on-chip families) erased when it passed.
        std::vector<SFlashSector> planned;
        if (const SFlashArray array = CliFlashArray(session); array.device)
            for (const SFlashSector& s : FlashSectors(array))
                if (all_ || session.Doc().eraseMap.IsSectorSelected(static_cast<int>(s.bank), static_cast<int>(s.sector)))
                    planned.push_back(s);
        session.NoteResult(command.Result(), {}, planned);
        command.StoreBack();
        return CliTargetExit(result);
    }

private:
    // --dry-run: the sectors the step would erase, nothing sent.
    int PrintDryRun(CCliSession& session)
    {
        const SFlashArray array = CliFlashArray(session);
        if (!array.device) {
            session.Box().Show("No valid memory device selected!", "Error", EMsgIcon::Stop, EMsgButtons::Ok);
            return kExitFailed;
        }
        std::vector<SFlashSector> sectors;
        if (all_) {
            sectors = FlashSectors(array);
        } else if (byRange_) {
            CMemoryRange range;
            if (!CliTargetRange(session, true, range_, range))
                return kExitFailed;
            sectors = SectorsTouching(array, {range});
        } else {
            CEraseMap map = session.Doc().eraseMap;
            map.Resize(static_cast<int>(array.banks), static_cast<int>(array.device->sectorCount));
            std::string error;
            if (!map.SetSelection(sectors_, error)) {
                session.Box().Show(error, "Invalid Input", EMsgIcon::Exclamation, EMsgButtons::Ok);
                return kExitFailed;
            }
            for (const SFlashSector& s : FlashSectors(array))
                if (map.IsSectorSelected(static_cast<int>(s.bank), static_cast<int>(s.sector)))
                    sectors.push_back(s);
        }
        CliPrintDryRun("erase", sectors, {});
        return kExitOk;
    }

    bool dryRun_ = false;
    bool all_ = false;
    bool byRange_ = false;
    CCliArgs::SRange range_;
    std::string sectors_;
};

} // namespace

std::unique_ptr<CCliStep> CreateEraseStep()
{
    return std::make_unique<CEraseStep>();
}
