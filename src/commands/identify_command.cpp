#include "commands/identify_command.h"

#include "catalogue/flash_catalogue.h"
#include "project/qpg_doc.h"

CIdentifyCommand::CIdentifyCommand(CQpgDoc& doc, const STargetContext& context)
    : operation(context.library, context.box, context.view, context.ChannelFor(doc), context.clock)
{
    TakeTargetSettings(doc, operation);
    operation.flashBase = doc.physicalRange.GetStart();
    operation.busWidthBytes = CFlashCatalogue::BusWidthBytes(doc.busWidth);
}
