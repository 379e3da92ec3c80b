#include "commands/comm_setup_command.h"

#include "project/qpg_doc.h"

CCommSetupCommand::CCommSetupCommand(CQpgDoc& doc, CProbeLibrary& library, CMessageBox& box)
    : settings{doc.targetChannel, doc.targetBaud, doc.probeAddress}, doc_(doc), setup_(library, box)
{
}

bool CCommSetupCommand::StoreBack(bool accepted)
{
    return doc_.StoreBackCommunication(accepted, settings.channel, settings.baud, settings.ipAddress);
}
