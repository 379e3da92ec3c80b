#include "commands/verify_command.h"

#include "catalogue/flash_catalogue.h"
#include "project/qpg_doc.h"

CVerifyCommand::CVerifyCommand(CQpgDoc& doc, const STargetContext& context)
    : operation(context.library, context.box, context.view, context.ChannelFor(doc), doc.image, context.clock),
      rangeEntry(operation.range, operation.physical, doc.image, CTargetRangeModel::EFit::UsedRange,
                 CFlashCatalogue::BusWidthBytes(doc.busWidth)),
      doc_(doc)
{
    TakeTargetSettings(doc, operation);
    operation.physical = doc.physicalRange;
    operation.range = doc.VerifyStartRange();
    operation.busWidthBytes = CFlashCatalogue::BusWidthBytes(doc.busWidth);
    operation.flashBase = doc.physicalRange.GetStart();
    operation.banks = static_cast<uint32_t>(doc.bankCount);
    rangeEntry.Show();
}

bool CVerifyCommand::StoreBack()
{
    return doc_.StoreBackVerify(operation.range);
}
