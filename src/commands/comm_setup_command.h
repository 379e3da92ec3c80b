#pragma once

#include "probe/comm_setup.h"

class CQpgDoc;

// The Communication Setup command: the settings open with the project's
// target channel, baud rate and IP address; Accept is the dialog's OK
// check, TestLink its Test button; StoreBack keeps accepted values and
// rebuilds the channel text either way.
class CCommSetupCommand {
public:
    CCommSetupCommand(CQpgDoc& doc, CProbeLibrary& library, CMessageBox& box);

    bool Accept() { return setup_.Accept(settings); }
    // `channelOverride`: a probe named elsewhere than in the settings.
    bool TestLink(COperationView& view, const std::string& channelOverride = "")
    {
        return setup_.TestLink(settings, view, channelOverride);
    }
    bool StoreBack(bool accepted);

    SCommSettings settings;

private:
    CQpgDoc& doc_;
    CCommSetup setup_;
};
