#include "sim/sim_flash_geometry.h"

#include "catalogue/flash_catalogue.h"

#include <algorithm>
#include <utility>

int CSimFlashGeometry::SectorOf(uint32_t offset) const
{
    auto it = std::upper_bound(sectorStarts.begin(), sectorStarts.end(), offset);
    return int(it - sectorStarts.begin()) - 1;
}

uint32_t CSimFlashGeometry::SectorEnd(int sector) const
{
    return size_t(sector + 1) < sectorStarts.size() ? sectorStarts[sector + 1] : size;
}

// The device rows come from the flash catalogue.
bool LookupSimFlashGeometry(const std::string& name, CSimFlashGeometry& out)
{
    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(name);
    if (!device)
        return false;
    CSimFlashGeometry g;
    g.name = device->name;
    g.deviceWidth = device->deviceWidth;
    g.size = device->DeviceSizeBytes();
    g.pageSize = device->pageSize;
    g.programAlgorithm = device->programAlgorithm;
    g.eraseAlgorithm = device->eraseAlgorithm;
    g.sectorStarts.assign(device->Sectors().begin(), device->Sectors().end());
    out = std::move(g);
    return true;
}
