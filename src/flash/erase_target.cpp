#include "flash/erase_target.h"

#include "project/erase_map.h"
#include "catalogue/flash_catalogue.h"

SEraseTarget SEraseTarget::ForDevice(const SFlashDevice& device, uint32_t busWidthBytes, uint32_t banks,
                                     uint32_t base, uint32_t workspace, bool eraseAll, const CEraseMap& eraseMap)
{
    SEraseTarget target;
    target.eraseAlgorithm = device.eraseAlgorithm;
    target.busWidthBytes = busWidthBytes;
    target.deviceWidth = device.deviceWidth;
    target.deviceSizeBytes = device.DeviceSizeBytes();
    if (device.sectorTable)
        target.sectorStarts.assign(device.sectorTable, device.sectorTable + device.sectorCount);
    target.banks = banks;
    target.base = base;
    target.workspace = workspace;
    target.eraseAll = eraseAll;
    // More banks than a project can have are refused by the plan; copy none.
    const uint32_t rows = banks <= kMaxBanks ? banks : 0;
    target.selected.assign(rows, std::vector<bool>(target.sectorStarts.size(), false));
    for (uint32_t bank = 0; bank < rows; ++bank)
        for (uint32_t sector = 0; sector < target.sectorStarts.size(); ++sector)
            target.selected[bank][sector] = eraseMap.IsSectorSelected(static_cast<int>(bank), static_cast<int>(sector));
    return target;
}
