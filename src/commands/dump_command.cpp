#include "commands/dump_command.h"

#include "project/qpg_doc.h"

CDumpCommand::CDumpCommand(CQpgDoc& doc, const STargetContext& context)
    : operation(context.library, context.box, context.view, context.ChannelFor(doc), doc.image, context.clock),
      rangeEntry(operation.range, operation.physical, doc.image, CTargetRangeModel::EFit::Physical, 1),
      doc_(doc)
{
    TakeTargetSettings(doc, operation);
    operation.physical = doc.physicalRange;
    operation.range = doc.DumpStartRange();
    rangeEntry.Show();
}

bool CDumpCommand::StoreBack()
{
    return doc_.StoreBackDump(operation.range);
}
