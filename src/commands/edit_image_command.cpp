#include "commands/edit_image_command.h"

#include "project/qpg_doc.h"

CEditImageCommand::CEditImageCommand(CQpgDoc& doc)
    : model(doc.image, doc.physicalRange, !doc.IsBigEndian(), doc.editUnit, doc.editAddress), doc_(doc)
{
}

bool CEditImageCommand::StoreBack()
{
    return doc_.StoreBackEdit(model.UnitIndex(), model.CurrentAddress());
}
