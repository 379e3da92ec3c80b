#pragma once

#include "commands/target_context.h"
#include "commands/target_range_model.h"
#include "flash/program_operation.h"

// The Program command: the operation opens with the Program range the
// project prepares, the pre- and post-program lists and the flash geometry;
// Start programs; StoreBack keeps the range in the project.
class CProgramCommand {
public:
    CProgramCommand(CQpgDoc& doc, const STargetContext& context);

    ETargetResult Start() { return operation.Start(); }
    // Start from the desktop, where the range is not what a run loaded:
    // with nothing in the memory image the flash would only be written with
    // 0xFF and reported as programmed, so the box says that nothing is
    // loaded and nothing is sent (InvalidRange).
    ETargetResult StartLoaded();
    bool StoreBack();

    CProgramOperation operation;
    // The dialog's range entry over operation.range.
    CTargetRangeModel rangeEntry;

private:
    CQpgDoc& doc_;
    CMessageBox& box_;
    COperationView& view_;
};
