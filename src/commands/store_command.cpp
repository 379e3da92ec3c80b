#include "commands/store_command.h"

#include "project/qpg_doc.h"

CStoreCommand::CStoreCommand(CQpgDoc& doc) : model(doc.image, doc.physicalRange), doc_(doc)
{
    model.SetRange(doc.StoreStartRange());
    model.fileName = doc.storeFileName;
}

bool CStoreCommand::StoreBack()
{
    return doc_.StoreBackStore(model.Range(), model.fileName);
}
