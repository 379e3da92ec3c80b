#include "flash/erase_sector_selection.h"

#include "common/text_format.h"
#include "project/erase_map.h"

CEraseSectorSelection::CEraseSectorSelection(const CEraseMap& map, std::vector<uint32_t> starts, uint32_t bus,
                                             uint32_t width)
    : banks(map.GetBanks()), sectors(map.GetSectors()), sectorStarts(std::move(starts)), busBytes(bus),
      deviceWidth(width == 0 ? 1 : width)
{
    lastPage = sectors > 0 ? (sectors - 1) / kRowsPerPage : 0;
    working.resize(static_cast<size_t>(banks) * static_cast<size_t>(sectors));
    for (int bank = 0; bank < banks; ++bank)
        for (int sector = 0; sector < sectors; ++sector)
            working[static_cast<size_t>(bank) * sectors + sector] = map.IsSectorSelected(bank, sector) ? 1 : 0;
}

bool CEraseSectorSelection::RowExists(int row) const
{
    return row >= 0 && row < kRowsPerPage && GetRowSector(row) < sectors;
}

std::string CEraseSectorSelection::GetRowLabel(int row) const
{
    if (!RowExists(row))
        return {};
    const auto sector = static_cast<size_t>(GetRowSector(row));
    if (sector >= sectorStarts.size())
        return {};
    const uint64_t offset = uint64_t{sectorStarts[sector]} * busBytes / deviceWidth;
    return Format("%8lX", static_cast<unsigned long>(static_cast<uint32_t>(offset)));
}

bool CEraseSectorSelection::IsChecked(int bank, int row) const
{
    if (bank < 0 || bank >= banks || !RowExists(row))
        return false;
    return working[static_cast<size_t>(bank) * sectors + GetRowSector(row)] != 0;
}

void CEraseSectorSelection::SetChecked(int bank, int row, bool checked)
{
    if (bank < 0 || bank >= banks || !RowExists(row))
        return;
    working[static_cast<size_t>(bank) * sectors + GetRowSector(row)] = checked ? 1 : 0;
}

bool CEraseSectorSelection::Prev()
{
    if (!CanPrev())
        return false;
    --page;
    return true;
}

bool CEraseSectorSelection::Next()
{
    if (!CanNext())
        return false;
    ++page;
    return true;
}

void CEraseSectorSelection::Confirm(CEraseMap& map) const
{
    for (int bank = 0; bank < banks; ++bank)
        for (int sector = 0; sector < sectors; ++sector)
            map.SelectSector(bank, sector, working[static_cast<size_t>(bank) * sectors + sector]);
}
