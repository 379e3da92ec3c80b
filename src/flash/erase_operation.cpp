#include "flash/erase_operation.h"

#include "probe/target_connection.h"
#include "flash/erase_flash.h"
#include "flash/erase_plan.h"
#include "flash/erase_target.h"
#include "catalogue/flash_catalogue.h"

bool CEraseOperation::FindDevice()
{
    device_ = CFlashCatalogue::FindFlashDevice(flashDevice);
    return device_ != nullptr;
}

ETargetResult CEraseOperation::Erase(bool eraseAll, const CEraseMap& selection)
{
    if (!BusWidthValid(busWidthBytes))
        return ETargetResult::InvalidSetup;
    const SEraseTarget target =
        SEraseTarget::ForDevice(*device_, busWidthBytes, banks, flashBase, workspace, eraseAll, selection);
    // The plan is built again once connected; building it here refuses a
    // bus width, bank count or base address that cannot be erased before the
    // probe is touched.
    {
        CErasePlan plan;
        std::string error;
        if (!CErasePlan::Build(target, plan, error)) {
            view_.SetStatus(error);
            box_.Show(error, "Error", EMsgIcon::Stop, EMsgButtons::Ok);
            return ETargetResult::InvalidSetup;
        }
    }
    SSequence sequence;
    sequence.preList = &preList;
    sequence.preListName = "Pre-erase init list";
    sequence.postListName = "Post-erase init list";
    sequence.statusText = "Erasing ...";
    sequence.postList = &postList;
    sequence.failureBox = "Erasing error!";
    const SFlashArray array{device_, flashBase, busWidthBytes, banks};
    sequence.identify = &array;
    // The cause in full in the box's details: the status line is one line
    // of a dialog's width, and a link failure's text is long.
    std::string cause;
    sequence.failureDetails = [&cause] { return cause; };
    return Sequence(sequence, [this, &target, &cause](CTargetConnection& connection) {
        return EraseFlash(library_, clock_, view_, target,
                          [this, &connection, &cause](int status, const std::string& context) {
                              const std::string text = connection.StatusText(status, 0);
                              cause = context.empty() ? text : context + ": " + text;
                              return connection.ReportStatusIn(&view_, status, context);
                          });
    });
}
