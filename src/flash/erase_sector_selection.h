#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CEraseMap;

// The state and rules of the "Erase Sectors" dialog, apart from its controls:
// a working copy of the erase map's selection, shown as one check box column
// per bank and one row per sector, in pages of 16 sector rows. The view reads
// the rows of the current page from here, writes the check boxes back with
// SetChecked before it changes the page or confirms, and calls Confirm on
// "Erase". "Cancel" simply drops the object: the map is untouched.
class CEraseSectorSelection {
public:
    static constexpr int kRowsPerPage = 16;

    // The dimensions are the map's. `sectorStarts` is the device's sector
    // table (start of each sector in bytes from the start of one device);
    // `busBytes` the data bus width in bytes, `deviceWidth` the width of one
    // device in bytes.
    CEraseSectorSelection(const CEraseMap& map, std::vector<uint32_t> sectorStarts, uint32_t busBytes,
                          uint32_t deviceWidth);

    int GetBanks() const { return banks; }
    int GetSectors() const { return sectors; }
    int GetPage() const { return page; }
    int GetLastPage() const { return lastPage; }
    bool HasPages() const { return lastPage > 0; }
    // 16 when there is more than one page, else the number of sectors.
    int GetRowsPerPage() const { return HasPages() ? kRowsPerPage : sectors; }

    // The sector that row `row` of the current page shows, and whether it
    // exists (rows past the last sector show nothing and are hidden).
    int GetRowSector(int row) const { return page * kRowsPerPage + row; }
    bool RowExists(int row) const;
    // "%8lX" of the sector's bus offset within its bank (sector start times
    // bus width over device width); empty for a row without a sector.
    std::string GetRowLabel(int row) const;

    bool IsChecked(int bank, int row) const;
    void SetChecked(int bank, int row, bool checked);

    bool CanPrev() const { return page > 0; }
    bool CanNext() const { return page < lastPage; }
    // Change the page by one; false (nothing done) at either end.
    bool Prev();
    bool Next();

    // Writes every (bank, sector) of the working copy into the map.
    void Confirm(CEraseMap& map) const;

private:
    int banks;
    int sectors;
    int page = 0;
    int lastPage = 0;
    std::vector<uint32_t> sectorStarts;
    uint32_t busBytes;
    uint32_t deviceWidth;
    std::vector<uint8_t> working; // banks * sectors, like the map
};
