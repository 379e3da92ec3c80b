#pragma once

#include "commands/target_context.h"
#include "commands/target_range_model.h"
#include "flash/verify_operation.h"

// The Verify command: the operation opens with the Verify range the project
// prepares; Start compares target flash with the image; StoreBack keeps the range.
class CVerifyCommand {
public:
    CVerifyCommand(CQpgDoc& doc, const STargetContext& context);

    ETargetResult Start() { return operation.Start(); }
    bool StoreBack();

    CVerifyOperation operation;
    // The dialog's range entry over operation.range.
    CTargetRangeModel rangeEntry;

private:
    CQpgDoc& doc_;
};
