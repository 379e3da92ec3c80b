#pragma once

#include "flash/target_memory_setup.h"

class CQpgDoc;

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

    CTargetMemorySetup setup;

private:
    CQpgDoc& doc_;
    bool confirmed_ = false;
};
