#include "commands/probe_update_command.h"

#include "probe/channel_text.h"
#include "project/qpg_doc.h"

CProbeUpdateCommand::CProbeUpdateCommand(CQpgDoc& doc, CProbeLibrary& library, COperationView& view,
                                         CMessageBox& box, const std::string& programDirectory)
    : model(library, view, box, programDirectory), doc_(doc)
{
    model.channel = doc.loaderChannel;
    model.baud = doc.loaderBaud;
    model.ipAddress = doc.probeAddress;
    model.subnetMask = doc.subnetMask;
    model.defaultGateway = doc.gateway;
    model.Open();
}

bool CProbeUpdateCommand::StoreBack(bool accepted)
{
    const bool changed = doc_.StoreBackFirmware(accepted, model.channel, model.baud, model.ipAddress, model.subnetMask,
                                  model.defaultGateway);
    // The link's channel goes back to the project's own, whatever the dialog set for its test or loader.
    SetChannelText(doc_.targetChannel, doc_.targetBaud, doc_.probeAddress);
    return changed;
}
