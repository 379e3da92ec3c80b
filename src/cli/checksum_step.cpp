// checksum --range R --unit U [--store HEX --dest-unit U]: sums a range of
// the image, prints the sum on stdout and can store it into the image.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "common/text_format.h"
#include "commands/checksum_command.h"

#include <cstdio>

namespace {

class CChecksumStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("checksum", {"--range", "--unit", "--store", "--dest-unit"}, 0, a, error))
            return false;
        if (!a.Has("--range") || !a.Has("--unit")) {
            error = "checksum: wants --range R --unit byte|word|long";
            return false;
        }
        if (!CCliArgs::ParseRangeOption("checksum", a.options["--range"], range_, error))
            return false;
        if (!CCliArgs::ParseUnitOption("checksum", "--unit", a.options["--unit"], unitIndex_, error))
            return false;
        if (a.Has("--store") != a.Has("--dest-unit")) {
            error = "checksum: --store HEX and --dest-unit go together";
            return false;
        }
        store_ = a.Has("--store");
        if (store_ && !CCliArgs::ParseHex(a.options["--store"], dest_)) {
            error = "checksum: --store wants a hexadecimal address of up to 8 digits";
            return false;
        }
        if (store_ && !CCliArgs::ParseUnitOption("checksum", "--dest-unit", a.options["--dest-unit"], destUnitIndex_, error))
            return false;
        return true;
    }

    bool StopsInOrder() const override { return false; }

    int Run(CCliSession& session) override
    {
        if (!session.Allows(CQpgDoc::ECommand::Checksum, "checksum"))
            return kExitFailed;
        CQpgDoc& doc = session.Doc();
        CChecksumCommand command(doc);
        CChecksumModel& model = command.model;
        model.entry.SetFields(range_.start, range_.second, range_.lengthMode);
        model.SetSourceUnitIndex(unitIndex_);
        model.SetDestUnitIndex(destUnitIndex_);
        if (store_)
            model.dest.SetValue(dest_);
        const bool calculated = command.Calculate(session.View(), session.Box());
        // The destination goes back into the project only when it was given.
        const auto storeBack = [&] {
            if (!store_) {
                model.SetDestUnitIndex(doc.checksumDestType);
                model.dest.SetValue(doc.checksumDest);
            }
            command.StoreBack();
        };
        if (!calculated) {
            storeBack();
            return kExitFailed;
        }
        std::printf("Checksum: %s\n", model.ChecksumText().c_str());
        std::fflush(stdout);
        if (!store_) {
            storeBack();
            return kExitOk;
        }
        const CChecksumModel::EStoreResult result = command.StoreSum(session.Box());
        storeBack();
        switch (result) {
        case CChecksumModel::EStoreResult::Stored:
            session.View().SetStatus(Format("Checksum %s stored at %08lX", model.ChecksumText().c_str(),
                                            static_cast<unsigned long>(dest_)));
            return kExitOk;
        case CChecksumModel::EStoreResult::WriteFailed:
            session.Box().Show("Can not write to memory image !", "Error", EMsgIcon::Stop, EMsgButtons::Ok);
            return kExitFailed;
        default:
            return kExitFailed; // refused or declined: the message was shown
        }
    }

private:
    CCliArgs::SRange range_;
    int unitIndex_ = 0;
    int destUnitIndex_ = 2; // without --store the sum is shown whole
    bool store_ = false;
    uint32_t dest_ = 0;
};

} // namespace

std::unique_ptr<CCliStep> CreateChecksumStep()
{
    return std::make_unique<CChecksumStep>();
}
