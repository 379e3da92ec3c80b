#include "flash/verify_operation.h"

#include "catalogue/flash_catalogue.h"
#include "probe/target_connection.h"
#include "flash/operation_texts.h"
#include "flash/sector_cover.h"
#include "flash/transfer.h"

ETargetResult CVerifyOperation::Start()
{
    const std::vector<CMemoryRange> covered = spans.empty() ? std::vector<CMemoryRange>{range} : spans;
    for (const CMemoryRange& span : covered)
        if (const ETargetResult checked = BeginWithDevice(span, physical); checked != ETargetResult::Done)
            return checked;
    const std::vector<SFlashSector> flash =
        FlashSectors(SFlashArray{CFlashCatalogue::FindFlashDevice(flashDevice), flashBase, busWidthBytes, banks});
    SSequence sequence;
    sequence.statusText = "Verifying ...";
    sequence.failureBox = "Verifying error!";
    // What the read back found (differing bytes, the first differences,
    // the sectors they lie in) stays in the box after the status line has
    // moved on.
    sequence.failureDetails = [this] { return COperationTexts::Details(result_); };
    return Sequence(sequence, [this, &covered, &flash](CTargetConnection& connection) {
        return CTransfer(connection, image_, view_).VerifySpans(covered, flash);
    });
}

ETargetResult CVerifyOperation::Check(std::vector<bool>& matching)
{
    for (const CMemoryRange& span : spans)
        if (const ETargetResult checked = BeginWithDevice(span, physical); checked != ETargetResult::Done)
            return checked;
    SSequence sequence;
    sequence.statusText = "Comparing ...";
    sequence.failureBox = "Verifying error!";
    return Sequence(sequence, [this, &matching](CTargetConnection& connection) {
        return CTransfer(connection, image_, view_).Matching(spans, matching);
    });
}
