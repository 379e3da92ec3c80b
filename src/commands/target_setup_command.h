#pragma once

#include "commands/target_context.h"
#include "flash/target_memory_setup.h"
#include "flash/target_operation.h"

#include <string>
#include <vector>

class CQpgDoc;
struct SFlashDevice;

// The Target Memory Setup command: the dialog's state opens with the
// project's target description; Confirm is OK's reading and checks; StoreBack
// takes a confirmed description into the project (physical range, image base,
// erase map follow) and leaves the project alone when nothing was confirmed
// (Cancel).
class CTargetSetupCommand {
public:
    explicit CTargetSetupCommand(CQpgDoc& doc);

    bool Confirm(CMessageBox& box) { return confirmed_ = setup.Confirm(box); }
    // True when a confirmed description went into the project.
    bool StoreBack();

    // "Identify": asks the flash what it is with the values the controls
    // were last read into (ReadControls), through `context`: the catalogue
    // rows that fit bank 0 and the report of every bank (CIdentifyOperation).
    ETargetResult Identify(const STargetContext& context, std::vector<const SFlashDevice*>& fits,
                           std::string& report);

    CTargetMemorySetup setup;

private:
    CQpgDoc& doc_;
    bool confirmed_ = false;
};
