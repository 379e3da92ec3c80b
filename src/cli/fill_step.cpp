// fill --range R --pattern HEX --unit byte|word|long: fills a range of the image.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "common/text_format.h"
#include "commands/fill_command.h"

namespace {

class CFillStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("fill", {"--range", "--pattern", "--unit"}, 0, a, error))
            return false;
        if (!a.Has("--range") || !a.Has("--pattern") || !a.Has("--unit")) {
            error = "fill: wants --range R --pattern HEX --unit byte|word|long";
            return false;
        }
        if (!CCliArgs::ParseRangeOption("fill", a.options["--range"], range_, error))
            return false;
        if (!CCliArgs::ParseUnitOption("fill", "--unit", a.options["--unit"], unitIndex_, error))
            return false;
        const int digits = 2 * CFillModel::UnitOfIndex(unitIndex_);
        if (!CCliArgs::ParseHex(a.options["--pattern"], pattern_) || CHexField::Mask(pattern_, digits) != pattern_) {
            error = Format("fill: --pattern wants a hexadecimal number of up to %d digits for a %s", digits,
                           a.options["--unit"].c_str());
            return false;
        }
        return true;
    }

    bool StopsInOrder() const override { return false; }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Fill, "fill"))
            return kExitFailed;
        CFillCommand command(session.Doc());
        CFillModel& model = command.model;
        model.entry.SetFields(range_.start, range_.second, range_.lengthMode);
        model.SetUnitIndex(unitIndex_);
        model.SetPattern(pattern_);
        const bool filled = command.Fill(session.View(), session.Box());
        command.StoreBack();
        if (!filled)
            return kExitFailed;
        session.RecordWritten(model.Range());
        session.View().SetStatus(Format("Filled %08lX - %08lX with %s", static_cast<unsigned long>(model.Range().GetStart()),
                                        static_cast<unsigned long>(model.Range().GetEnd()),
                                        model.pattern.text.c_str()));
        return kExitOk;
    }

private:
    CCliArgs::SRange range_;
    int unitIndex_ = 0;
    uint32_t pattern_ = 0;
};

} // namespace

std::unique_ptr<CCliStep> CreateFillStep()
{
    return std::make_unique<CFillStep>();
}
