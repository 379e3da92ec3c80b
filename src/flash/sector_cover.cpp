#include "flash/sector_cover.h"

#include "catalogue/flash_catalogue.h"
#include "project/erase_map.h"

int SelectSectorsTouching(const SFlashArray& array, const std::vector<CMemoryRange>& ranges, CEraseMap& map)
{
    const SFlashDevice& device = *array.device;
    const uint32_t sectors = device.sectorCount;
    map.Resize(static_cast<int>(array.banks), static_cast<int>(sectors));
    map.ClearAll();
    const uint64_t bankSize = CFlashCatalogue::BankSize(device, array.busWidthBytes);
    const uint32_t lanes = CFlashCatalogue::Lanes(device, array.busWidthBytes);
    int selected = 0;
    for (uint32_t bank = 0; bank < array.banks; ++bank) {
        for (uint32_t sector = 0; sector < sectors; ++sector) {
            const uint64_t lo = uint64_t{array.base} + bank * bankSize
                                + CFlashCatalogue::SectorBusOffset(device, sector, array.busWidthBytes);
            const uint64_t hi = lo + uint64_t{device.SectorSize(sector)} * lanes; // exclusive
            for (const CMemoryRange& r : ranges) {
                const uint64_t start = r.GetStart();
                const uint64_t end = start + r.GetSize();
                if (r.GetSize() > 0 && start < hi && end > lo) {
                    map.SelectSector(static_cast<int>(bank), static_cast<int>(sector), 1);
                    ++selected;
                    break;
                }
            }
        }
    }
    return selected;
}
