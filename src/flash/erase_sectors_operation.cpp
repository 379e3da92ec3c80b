#include "flash/erase_sectors_operation.h"

#include "catalogue/flash_catalogue.h"

ETargetResult CEraseSectorsOperation::Start(const FChooseSectors& chooseSectors)
{
    Begin();
    if (!FindDevice())
        return NoDevice();
    if (chooseSectors && !chooseSectors(eraseMap))
        return ETargetResult::Cancelled;
    if (eraseMap.CountSelected() == 0 && !CFlashAlgorithms::Find(device_->eraseAlgorithm).eraseWithoutSelection)
        return ETargetResult::NothingSelected;
    return Erase(false);
}
