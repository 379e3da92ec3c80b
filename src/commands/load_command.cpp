#include "commands/load_command.h"

#include "project/qpg_doc.h"

CLoadCommand::CLoadCommand(CQpgDoc& doc) : model(doc.image, doc.physicalRange), doc_(doc)
{
    model.fileName = doc.loadFileName;
    model.offset.SetValue(doc.loadOffset);
    model.autoload = doc.autoload;
    model.openedForAutoload = doc.openingForAutoload;
    model.bigEndianTarget = doc.IsBigEndian();
}

int CLoadCommand::Load(COperationView& view, CMessageBox& box)
{
    return model.Load(view, box);
}

bool CLoadCommand::StoreBack()
{
    return doc_.StoreBackLoad(model.fileName, model.offset.Value(), model.autoload);
}

int CLoadCommand::RunAutoload(CQpgDoc& doc, COperationView& view, CMessageBox& box)
{
    CLoadCommand command(doc);
    const int result = command.Load(view, box);
    command.StoreBack();
    return result;
}
