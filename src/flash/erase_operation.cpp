#include "flash/erase_operation.h"

#include "probe/target_connection.h"
#include "flash/erase_flash.h"
#include "flash/erase_target.h"
#include "catalogue/flash_catalogue.h"

bool CEraseOperation::FindDevice()
{
    device_ = CFlashCatalogue::FindFlashDevice(flashDevice);
    return device_ != nullptr;
}

ETargetResult CEraseOperation::Erase(bool eraseAll)
{
    const SEraseTarget target =
        SEraseTarget::ForDevice(*device_, busWidthBytes, banks, flashBase, workspace, eraseAll, eraseMap);
    SSequence sequence;
    sequence.preList = &preList;
    sequence.preListName = "Pre-erase init list";
    sequence.postListName = "Post-erase init list";
    sequence.statusText = "Erasing ...";
    sequence.postList = &postList;
    sequence.failureBox = "Erasing error!";
    return Sequence(sequence, [this, &target](CTargetConnection& connection) {
        return EraseFlash(library_, clock_, view_, target, [this, &connection](int status, const std::string& context) {
            return connection.ReportStatusIn(&view_, status, context);
        });
    });
}
