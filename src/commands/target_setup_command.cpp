#include "commands/target_setup_command.h"

#include "project/qpg_doc.h"

CTargetSetupCommand::CTargetSetupCommand(CQpgDoc& doc) : setup(CTargetMemorySetup::RecordOf(doc)), doc_(doc) {}

bool CTargetSetupCommand::StoreBack()
{
    if (!confirmed_)
        return false;
    setup.ApplyTo(doc_);
    return true;
}
