#pragma once

#include "flash/erase_operation.h"

#include <functional>

// The "Erase Sectors..." command: lets the person choose sectors in the erase
// map, then erases only those.
class CEraseSectorsOperation final : public CEraseOperation {
public:
    // Shows the sector choice on the erase map (its dimensions are the
    // project's banks and the device's sectors); false when cancelled.
    using FChooseSectors = std::function<bool(CEraseMap& eraseMap)>;


    using CEraseOperation::CEraseOperation;

    // Cancelled when the choice is cancelled; NothingSelected (the status
    // line says so, no box) when no sector of the project's banks and device
    // is selected, unless the device's erase algorithm needs no selection.
    ETargetResult Start(const FChooseSectors& chooseSectors);
};
