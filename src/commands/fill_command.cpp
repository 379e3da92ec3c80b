#include "commands/fill_command.h"

#include "project/qpg_doc.h"

CFillCommand::CFillCommand(CQpgDoc& doc) : model(doc.image, doc.physicalRange), doc_(doc)
{
    model.SetRange(doc.FillStartRange());
    model.SetUnitIndex(doc.fillUnit);
    model.SetPattern(doc.fillPattern);
}

bool CFillCommand::StoreBack()
{
    return doc_.StoreBackFill(model.Range(), model.PatternValue(), model.UnitIndex());
}
