// store FILE --range R: writes a range of the image as an S-record file.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "files/store_model.h"

namespace {

class CStoreStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("store", {"--range"}, 1, a, error))
            return false;
        if (a.positionals.empty() || !a.Has("--range")) {
            error = "store: wants FILE and --range R";
            return false;
        }
        file_ = a.positionals[0];
        if (!CCliArgs::ParseRangeOption("store", a.options["--range"], range_, error))
            return false;
        return true;
    }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Store, "store"))
            return kExitFailed;
        CQpgDoc& doc = session.Doc();
        CStoreModel model(doc.image, doc.physicalRange);
        model.SetRange(doc.StoreStartRange()); // what the dialog opens with
        model.entry.SetFields(range_.start, range_.second, range_.lengthMode);
        model.fileName = file_;
        const bool stored = model.Store(session.View(), session.Box());
        doc.StoreBackStore(model.Range(), model.fileName);
        return stored ? kExitOk : kExitFailed;
    }

private:
    std::string file_;
    CCliArgs::SRange range_;
};

} // namespace

std::unique_ptr<CCliStep> CreateStoreStep()
{
    return std::make_unique<CStoreStep>();
}
