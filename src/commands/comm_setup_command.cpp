#include "commands/comm_setup_command.h"

#include "probe/channel_text.h"
#include "project/qpg_doc.h"

CCommSetupCommand::CCommSetupCommand(CQpgDoc& doc, CProbeLibrary& library, CMessageBox& box)
    : settings{doc.targetChannel, doc.targetBaud, doc.probeAddress}, doc_(doc), setup_(library, box)
{
}

bool CCommSetupCommand::StoreBack(bool accepted)
{
    const bool changed = doc_.StoreBackCommunication(accepted, settings.channel, settings.baud, settings.ipAddress);
    // The link's channel goes back to the project's own, whatever the dialog set for its test or loader.
    SetChannelText(doc_.targetChannel, doc_.targetBaud, doc_.probeAddress);
    return changed;
}
