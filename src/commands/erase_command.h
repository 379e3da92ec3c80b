#pragma once

#include "commands/target_context.h"
#include "flash/erase_sector_selection.h"
#include "flash/erase_sectors_operation.h"
#include "project/erase_map.h"

#include <optional>

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

    // Whether "Erase Sectors..." has anything to choose: not for one bank
    // of a device with one sector (nor without a known device).
    bool CanChooseSectors() const;
    // The "Erase Sectors" dialog's working copy of `map`, with the project's
    // device and bus; none without a known device.
    std::optional<CEraseSectorSelection> SectorSelection(const CEraseMap& map) const;

    CEraseMap eraseMap;

private:
    void Prepare(CEraseOperation& operation) const;

    CQpgDoc& doc_;
    STargetContext context_;
    SOperationResult lastResult_;
};
