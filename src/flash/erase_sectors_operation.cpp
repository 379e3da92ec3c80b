#include "flash/erase_sectors_operation.h"

#include "catalogue/flash_catalogue.h"
#include "flash/erase_target.h"

#include <algorithm>

ETargetResult CEraseSectorsOperation::Start(const FChooseSectors& chooseSectors)
{
    Begin();
    if (!FindDevice())
        return NoDevice();
    // The choice is shown, counted and erased on the map as this project's
    // banks and device see it: a map read from a file with more banks or
    // sectors than that keeps the rest, untouched and unused.
    CEraseMap shown = eraseMap.Clipped(static_cast<int>(std::min<uint32_t>(banks, SEraseTarget::kMaxBanks)),
                                       static_cast<int>(device_->sectorCount));
    if (chooseSectors && !chooseSectors(shown))
        return ETargetResult::Cancelled;
    eraseMap.TakeSelection(shown);
    if (shown.CountSelected() == 0 && !CFlashAlgorithms::Find(device_->eraseAlgorithm).eraseWithoutSelection) {
        view_.SetStatus("No sector selected: nothing was erased.");
        return ETargetResult::NothingSelected;
    }
    return Erase(false, shown);
}
