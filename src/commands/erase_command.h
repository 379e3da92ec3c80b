#pragma once

#include "commands/target_context.h"
#include "flash/erase_sectors_operation.h"
#include "project/erase_map.h"

// The Erase command and its two buttons: "Erase All" erases every bank whole,
// "Erase Sectors..." the sectors chosen on the erase map. The map is the
// project's; StoreBack hands the (possibly changed) selection back.
class CEraseCommand {
public:
    CEraseCommand(CQpgDoc& doc, const STargetContext& context);

    ETargetResult EraseAll();
    ETargetResult EraseSectors(const CEraseSectorsOperation::FChooseSectors& chooseSectors);
    bool StoreBack();
    // How the last erase ended, as values.
    const SOperationResult& Result() const { return lastResult_; }

    CEraseMap eraseMap;

private:
    void Prepare(CEraseOperation& operation) const;

    CQpgDoc& doc_;
    STargetContext context_;
    SOperationResult lastResult_;
};
