#include "flash/sector_cover.h"

#include "catalogue/flash_catalogue.h"
#include "project/erase_map.h"

std::vector<SFlashSector> FlashSectors(const SFlashArray& array)
{
    std::vector<SFlashSector> sectors;
    if (!array.device)
        return sectors;
    const SFlashDevice& device = *array.device;
    const uint64_t bankSize = CFlashCatalogue::BankSize(device, array.busWidthBytes);
    const uint32_t lanes = CFlashCatalogue::Lanes(device, array.busWidthBytes);
    for (uint32_t bank = 0; bank < array.banks; ++bank) {
        for (uint32_t sector = 0; sector < device.sectorCount; ++sector) {
            const uint64_t lo = uint64_t{array.base} + bank * bankSize
                                + CFlashCatalogue::SectorBusOffset(device, sector, array.busWidthBytes);
            if (lo > 0xFFFFFFFFu)
                return sectors; // the array runs past the address space: the rest cannot be reached
            sectors.push_back({bank, sector, static_cast<uint32_t>(lo), uint64_t{device.SectorSize(sector)} * lanes});
        }
    }
    return sectors;
}

std::vector<SFlashSector> SectorsTouching(const SFlashArray& array, const std::vector<CMemoryRange>& ranges)
{
    std::vector<SFlashSector> touched;
    for (const SFlashSector& s : FlashSectors(array)) {
        for (const CMemoryRange& r : ranges) {
            const uint64_t start = r.GetStart();
            const uint64_t end = start + r.GetSize();
            if (r.GetSize() > 0 && start < s.start + s.size && end > s.start) {
                touched.push_back(s);
                break;
            }
        }
    }
    return touched;
}

int SelectSectorsTouching(const SFlashArray& array, const std::vector<CMemoryRange>& ranges, CEraseMap& map)
{
    map.Resize(static_cast<int>(array.banks), static_cast<int>(array.device->sectorCount));
    map.ClearAll();
    const std::vector<SFlashSector> touched = SectorsTouching(array, ranges);
    for (const SFlashSector& s : touched)
        map.SelectSector(static_cast<int>(s.bank), static_cast<int>(s.sector), 1);
    return static_cast<int>(touched.size());
}
