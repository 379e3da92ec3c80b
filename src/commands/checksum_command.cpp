#include "commands/checksum_command.h"

#include "project/qpg_doc.h"

CChecksumCommand::CChecksumCommand(CQpgDoc& doc) : model(doc.image, doc.physicalRange), doc_(doc)
{
    model.SetRange(doc.ChecksumStartRange());
    model.SetSourceUnitIndex(doc.checksumType);
    model.SetDestUnitIndex(doc.checksumDestType);
    model.dest.SetValue(doc.checksumDest);
}

bool CChecksumCommand::StoreBack()
{
    return doc_.StoreBackChecksum(model.Range(), model.dest.Value(), model.SourceUnitIndex(), model.DestUnitIndex());
}
