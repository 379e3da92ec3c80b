#pragma once

#include "commands/target_context.h"
#include "flash/verify_operation.h"

// The Verify command: the operation opens with the Verify range the project
// prepares; Start compares target flash with the image; StoreBack keeps the range.
class CVerifyCommand {
public:
    CVerifyCommand(CQpgDoc& doc, const STargetContext& context);

    ETargetResult Start() { return operation.Start(); }
    bool StoreBack();

    CVerifyOperation operation;

private:
    CQpgDoc& doc_;
};
