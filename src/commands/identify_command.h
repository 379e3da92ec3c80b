#pragma once

#include "commands/target_context.h"
#include "flash/identify_operation.h"

class CQpgDoc;

// Identify (tarvel-cli identify, the Identify button of the target memory
// setup): the operation opens with the project's device, bus width, base and
// banks; a dialog that edits them sets its own before Start.
class CIdentifyCommand {
public:
    CIdentifyCommand(CQpgDoc& doc, const STargetContext& context);

    ETargetResult Start() { return operation.Start(); }

    CIdentifyOperation operation;
};
