// erase --all | erase --sectors B/S,...: erases the whole flash array, or
// the listed sectors (which become the project's erase selection).
#include "cli/cli_step.h"
#include "cli/cli_target.h"
#include "flash/erase_all_operation.h"
#include "flash/erase_sectors_operation.h"

namespace {

class CEraseStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("erase", {"--sectors"}, 0, a, error, {"--all"}))
            return false;
        all_ = a.Has("--all");
        if (all_ == a.Has("--sectors")) {
            error = "erase: wants --all or --sectors B/S,...";
            return false;
        }
        if (!all_) {
            sectors_ = a.options["--sectors"];
            if (sectors_.empty()) {
                error = "erase: --sectors wants a list of bank/sector pairs such as 0/1,0/2";
                return false;
            }
        }
        return true;
    }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Erase, "erase"))
            return kExitFailed;
        CQpgDoc& doc = session.Doc();
        ETargetResult result;
        if (all_) {
            CEraseAllOperation operation(session.Probe().Library(), session.Box(), session.View(),
                                         CliTargetChannel(session));
            Fill(operation, doc);
            result = operation.Start();
            doc.eraseMap = operation.eraseMap;
        } else {
            CEraseSectorsOperation operation(session.Probe().Library(), session.Box(), session.View(),
                                             CliTargetChannel(session));
            Fill(operation, doc);
            result = operation.Start([&](CEraseMap& map) {
                std::string error;
                if (map.SetSelection(sectors_, error))
                    return true;
                session.Box().Show(error, "Invalid Input", EMsgIcon::Exclamation, EMsgButtons::Ok);
                return false;
            });
            if (result == ETargetResult::NothingSelected)
                session.View().SetStatus("No sector selected: nothing was erased.");
            doc.eraseMap = operation.eraseMap;
        }
        doc.StoreBackErase();
        return CliTargetExit(result);
    }

private:
    static void Fill(CEraseOperation& operation, const CQpgDoc& doc)
    {
        CliTargetSettings(doc, operation);
        operation.preList = doc.preEraseList;
        operation.postList = doc.postEraseList;
        operation.eraseMap = doc.eraseMap;
        operation.flashBase = doc.physicalRange.GetStart();
        operation.workspace = CliWorkspace(doc);
        operation.banks = static_cast<uint32_t>(doc.bankCount);
        operation.busWidthBytes = doc.BusWidthBytes();
    }

    bool all_ = false;
    std::string sectors_;
};

} // namespace

std::unique_ptr<CCliStep> CreateEraseStep()
{
    return std::make_unique<CEraseStep>();
}
