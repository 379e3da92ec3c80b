#pragma once

#include "commands/target_context.h"
#include "commands/target_range_model.h"
#include "flash/dump_operation.h"

// The Dump command: the operation opens with the Dump range the project
// prepares; Start reads target memory into the image; StoreBack keeps the range.
class CDumpCommand {
public:
    CDumpCommand(CQpgDoc& doc, const STargetContext& context);

    ETargetResult Start() { return operation.Start(); }
    bool StoreBack();

    CDumpOperation operation;
    // The dialog's range entry over operation.range.
    CTargetRangeModel rangeEntry;

private:
    CQpgDoc& doc_;
};
