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
    bool StoreBack();

    CProgramOperation operation;
    // The dialog's range entry over operation.range.
    CTargetRangeModel rangeEntry;

private:
    CQpgDoc& doc_;
};
