#pragma once

#include "probe/maintenance/update_setup_model.h"

#include <string>

class CQpgDoc;
class CMessageBox;
class COperationView;
class CProbeLibrary;

// The "Firmware..." command: the update dialog's model starts with the
// project's loader port (loaderChannel, loaderBaud) and the probe's network
// setup (probeAddress, subnetMask, gateway) and is opened (newest versions
// scanned in `programDirectory`); the front end drives its buttons;
// StoreBack hands the five values back to the project when the dialog ended
// with OK (marking it modified when they changed) and, either way, puts the
// project's own channel text back.
class CProbeUpdateCommand {
public:
    CProbeUpdateCommand(CQpgDoc& doc, CProbeLibrary& library, COperationView& view, CMessageBox& box,
                        const std::string& programDirectory);

    bool StoreBack(bool accepted);

    CUpdateSetupModel model;

private:
    CQpgDoc& doc_;
};
