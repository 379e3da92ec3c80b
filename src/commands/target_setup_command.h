#pragma once

#include "flash/target_memory_setup.h"

class CQpgDoc;

// The Target Memory Setup command: the dialog's state opens with the
// project's target description; Confirm is OK's reading and checks; StoreBack
// takes a confirmed description into the project (physical range, image base,
// erase map follow).
class CTargetSetupCommand {
public:
    explicit CTargetSetupCommand(CQpgDoc& doc);

    bool Confirm(CMessageBox& box) { return setup.Confirm(box); }
    void StoreBack();

    CTargetMemorySetup setup;

private:
    CQpgDoc& doc_;
};
