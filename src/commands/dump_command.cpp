#include "commands/dump_command.h"

#include "project/qpg_doc.h"

CDumpCommand::CDumpCommand(CQpgDoc& doc, const STargetContext& context)
    : operation(context.library, context.box, context.view, context.ChannelFor(doc), doc.image, context.clock),
      doc_(doc)
{
    TakeTargetSettings(doc, operation);
    operation.physical = doc.physicalRange;
    operation.range = doc.DumpStartRange();
}

bool CDumpCommand::StoreBack()
{
    return doc_.StoreBackDump(operation.range);
}
