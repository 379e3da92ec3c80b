#include "commands/target_setup_command.h"

#include "project/qpg_doc.h"

CTargetSetupCommand::CTargetSetupCommand(CQpgDoc& doc) : setup(CTargetMemorySetup::RecordOf(doc)), doc_(doc) {}

void CTargetSetupCommand::StoreBack()
{
    setup.ApplyTo(doc_);
}
